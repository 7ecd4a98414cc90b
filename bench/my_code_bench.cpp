// My Code across pages. Two figures:
// - "Used on" over 1,000 pages of 100 KB, the code on every tenth page and an
//   earlier code on every twentieth: every page read and looked through;
// - updating 100 pages of 100 KB that hold the old code three times each
//   (looked for again, as the update button does, then written atomically
//   with the old bytes kept in the history)
//   against one `sed -i` over copies of the same files in the same run, and
//   against that `sed -i` followed by `sync` of the files (x_sed_synced).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "files/page_history.h"
#include "tools/snippet_pages.h"

namespace {

constexpr qsizetype kPageSize = 100 * 1024;
const QString kOld = QStringLiteral("<a href=\"https://pay.example/buy?price=10\">Buy now</a>");
const QString kNew = QStringLiteral("<a href=\"https://pay.example/buy?price=12\">Buy now</a>");

// About 100 KB of a sales page with the code in it `times` times.
QByteArray makePage(int n, const QString& code, int times) {
  QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Offer " +
                    QByteArray::number(n) + "</title></head>\n<body>\n";
  const QByteArray line =
      "<p class=\"lead\">Grüße – the best offer you will see this year, <b>order</b> now.</p>\n";
  const qsizetype lines = kPageSize / line.size();
  for (qsizetype i = 0; i < lines; ++i) {
    if (times > 0 && i % (lines / times) == lines / times / 2) page += code.toUtf8() + "\n";
    page += line;
  }
  return page + "</body></html>\n";
}

void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

QByteArray read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void BM_UsedOnThousandPages(benchmark::State& state) {
  const int pages = int(state.range(0));
  QTemporaryDir dir;
  QStringList paths;
  for (int i = 0; i < pages; ++i) {
    paths.append(dir.filePath(QStringLiteral("page%1.htm").arg(i)));
    write(paths.back(), i % 10 == 0   ? makePage(i, kNew, 1)
                        : i % 20 == 5 ? makePage(i, kOld, 1)
                                      : makePage(i, {}, 0));
  }
  int used = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    const QList<snippetpages::PageUse> uses = snippetpages::usedOn(paths, {kNew, kOld});
    state.SetIterationTime(timer.nsecsElapsed() * 1e-9);
    used = 0;
    for (const auto& u : uses) used += u.use.places.isEmpty() ? 0 : 1;
  }
  if (used != pages / 10 + pages / 20) state.SkipWithError("pages missed");
  state.counters["pages"] = pages;
  state.counters["used_on"] = used;
}

void BM_UpdateHundredPagesVsSed(benchmark::State& state) {
  const int pages = int(state.range(0));
  QTemporaryDir dir;
  QDir(dir.path()).mkdir(QStringLiteral("ours"));
  QDir(dir.path()).mkdir(QStringLiteral("sed"));
  QList<QByteArray> originals;
  QStringList ours, theirs;
  QByteArray sed = "sed -i 's#" + kOld.toUtf8() + "#" + kNew.toUtf8() + "#g'";
  QByteArray sync = "sync";
  for (int i = 0; i < pages; ++i) {
    originals.append(makePage(i, kOld, 3));
    ours.append(dir.filePath(QStringLiteral("ours/page%1.htm").arg(i)));
    theirs.append(dir.filePath(QStringLiteral("sed/page%1.htm").arg(i)));
    sed += " '" + theirs.back().toLocal8Bit() + "'";
    sync += " '" + theirs.back().toLocal8Bit() + "'";
  }
  double oursSeconds = 0, sedSeconds = 0, syncSeconds = 0;
  int written = 0;
  for (auto _ : state) {
    // The old bytes kept as the update keeps them, in a history of its own
    // each round (one that holds them already keeps no copy).
    QTemporaryDir historyRoot;
    history::setRoot(historyRoot.path());
    for (int i = 0; i < pages; ++i) {
      write(ours[i], originals[i]);
      write(theirs[i], originals[i]);
    }
    ::sync();  // neither side pays for flushing the set-up
    QElapsedTimer timer;
    timer.start();
    written = 0;
    for (const auto& o : snippetpages::update(snippetpages::usedOn(ours, {kNew, kOld}), kNew))
      written += o.changes > 0 ? 1 : 0;
    const double oursNow = timer.nsecsElapsed() * 1e-9;
    timer.start();
    if (std::system(sed.constData()) != 0) state.SkipWithError("sed failed");
    sedSeconds += timer.nsecsElapsed() * 1e-9;
    if (std::system(sync.constData()) != 0) state.SkipWithError("sync failed");
    syncSeconds += timer.nsecsElapsed() * 1e-9;
    oursSeconds += oursNow;
    state.SetIterationTime(oursNow);
  }
  for (int i = 0; i < pages; ++i)
    if (read(ours[i]) != read(theirs[i])) state.SkipWithError("result differs from sed's");
  if (written != pages) state.SkipWithError("pages missed");
  history::setRoot({});
  state.counters["pages"] = pages;
  state.counters["sed_ms"] = 1000 * sedSeconds / double(state.iterations());
  state.counters["x_sed"] = oursSeconds / sedSeconds;
  state.counters["x_sed_synced"] = oursSeconds / syncSeconds;
}

}  // namespace

BENCHMARK(BM_UsedOnThousandPages)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_UpdateHundredPagesVsSed)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
