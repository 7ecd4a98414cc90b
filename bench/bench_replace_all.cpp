// ReplaceAll throughput on page-sized texts: MB of text per second.
#include <benchmark/benchmark.h>

#include "text/v_parser.h"

namespace {

QString makeText(qsizetype megabytes, int matches) {
  const qsizetype size = megabytes * 1024 * 1024;
  QString text = QStringLiteral("<p>Lorem ipsum dolor sit amet, consectetur adipiscing.</p>\n")
                     .repeated(size / 60 + 1)
                     .left(size);
  const QString tag = QStringLiteral("[BUYBUTTON]");
  if (matches > 0) {
    const qsizetype step = (size - tag.size()) / matches;
    for (int i = 0; i < matches; ++i) text.replace(i * step, tag.size(), tag);
  }
  return text;
}

void BM_ReplaceAll(benchmark::State& state) {
  const QString text = makeText(state.range(0), int(state.range(1)));
  const QString find = QStringLiteral("[BUYBUTTON]");
  const QString code = QStringLiteral("<a href=\"https://pay.example/\">Buy now</a>");
  for (auto _ : state) benchmark::DoNotOptimize(vParser::ReplaceAll(text, find, code, 0));
  state.SetBytesProcessed(state.iterations() * text.size());
  state.counters["MB"] = double(state.range(0));
  state.counters["matches"] = double(state.range(1));
}

}  // namespace

BENCHMARK(BM_ReplaceAll)
    ->ArgsProduct({{1, 10, 100}, {0, 1, 100000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
