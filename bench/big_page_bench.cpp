// How the engine copes with ever bigger pages: the time until a page is shown
// and the memory the engine's processes need for it. A watchdog ends a run
// that passes the memory or time budget, so a page too big to show is
// reported as such rather than taking the machine down.
//
// Run each size in a process of its own (peaks only grow):
//   big_page_bench --benchmark_filter='BM_Show/10'
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "editor/web_browser.h"
#include "engine_bench.h"

namespace {

using namespace enginebench;

constexpr double kMemoryBudgetMB = 8000;
constexpr int kTimeBudgetMs = 300000;

QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Big</title>"
      "</head>\n<body>\n";
  page.reserve(bytes + 512);
  const QByteArray paragraph =
      "<p>Order today and get the <b>bonus pack</b> free: caf\xC3\xA9 \xE2\x80\x94 "
      "<a href=\"#top\">more</a> of what you need, delivered instantly.</p>\n";
  while (page.size() < bytes) page += paragraph;
  page += "</body>\n</html>\n";
  return page;
}

void BM_Show(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  if (!writePage(path, pageOfSize(state.range(0) * 1024 * 1024))) {
    state.SkipWithError("cannot write the page");
    return;
  }
  WebBrowser browser;
  browser.resize(800, 600);
  browser.show();
  double peakNow = 0;
  bool overBudget = false;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(&browser, &WebBrowser::DownloadComplete, &loop, &QEventLoop::quit);
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
      peakNow = std::max(peakNow, familyMB("VmRSS:"));
      if (peakNow > kMemoryBudgetMB || clock.elapsed() > kTimeBudgetMs) {
        overBudget = true;
        loop.quit();
      }
    });
    watchdog.start(250);
    browser.Navigate2(path);
    loop.exec();
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    if (overBudget) break;
  }
  state.counters["over_budget"] = overBudget;
  state.counters["rss_sampled_peak_MB"] = peakNow;
  state.counters["peak_MB"] = familyMB("VmHWM:");
  state.counters["peak_main_MB"] = selfMB("VmHWM:");
  // An over-budget engine is left behind on purpose: end at once.
  if (overBudget) {
    benchmark::Shutdown();
    std::fflush(nullptr);
    std::_Exit(0);
  }
}

BENCHMARK(BM_Show)->Arg(10)->Arg(25)->Arg(50)->Arg(200)->UseManualTime()->Iterations(1)->Unit(
    benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) { return enginebench::runBenchmarks(argc, argv); }
