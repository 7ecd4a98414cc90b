// Find and replace across pages. Two figures:
// - 100 pages of 100 KB with a phrase ten times in each page's text: search
//   and replace every match (read, search, re-read, check, write atomically,
//   history kept) against one `sed -i` over copies of the same files, in the
//   same run, and against that `sed -i` followed by `sync` of the files
//   (x_sed_synced): our writer makes each page durable before it replaces the
//   old one, sed does not. batch:0 writes page by page (one sync each), as the
//   one-page writer does; batch:1 as the window does, through the batch writer;
//   search_ms is the part of our time spent searching;
// - 1,000 pages of 100 KB searched through the Find and Replace window: the
//   longest time the window did not answer, whether it showed progress, and
//   how soon Close ends a search under way.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <ctime>

#include "files/page_history.h"
#include "tools/find_window.h"
#include "tools/page_batch.h"

namespace {

constexpr qsizetype kPageSize = 100 * 1024;
constexpr int kMatchesPerPage = 10;

// About 100 KB of a sales page, the phrase in its text kMatchesPerPage times.
QByteArray makePage(int n) {
  QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Offer " +
                    QByteArray::number(n) +
                    "</title>\n<style>p { margin: 0 }</style></head>\n<body>\n";
  const QByteArray line =
      "<p class=\"lead\">Grüße – the best offer you will see this year, <b>order</b> now.</p>\n";
  const qsizetype lines = kPageSize / line.size();
  const qsizetype every = lines / kMatchesPerPage;
  for (qsizetype i = 0; i < lines; ++i) {
    if (i % every == every / 2 && i / every < kMatchesPerPage)
      page += "<p>Sold by Acme Corp, your trusted seller.</p>\n";
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

// CPU seconds of this process, and of its finished children (sed, sync):
// the figures that a machine shared with other work disturbs least.
double ownCpu() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
double childrenCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void BM_ReplaceAcrossPagesVsSed(benchmark::State& state) {
  const int pages = int(state.range(0));
  const auto mode = state.range(1) ? pagesearch::Mode::Code : pagesearch::Mode::Text;
  const bool batched = state.range(2) != 0;
  // QV_BENCH_NO_HISTORY=1 leaves the history out, to see what it costs.
  const bool keepHistory = !qEnvironmentVariableIsSet("QV_BENCH_NO_HISTORY");
  QTemporaryDir dir;
  QDir(dir.path()).mkdir(QStringLiteral("ours"));
  QDir(dir.path()).mkdir(QStringLiteral("sed"));
  QList<QByteArray> originals;
  QStringList ours, theirs;
  QByteArray sed = "sed -i 's/Acme Corp/Zed Inc/g'";
  // The same with every file made durable, as our atomic writer does.
  QByteArray sync = "sync";
  for (int i = 0; i < pages; ++i) {
    originals.append(makePage(i));
    ours.append(dir.filePath(QStringLiteral("ours/page%1.htm").arg(i)));
    theirs.append(dir.filePath(QStringLiteral("sed/page%1.htm").arg(i)));
    sed += " '" + theirs.back().toLocal8Bit() + "'";
    sync += " '" + theirs.back().toLocal8Bit() + "'";
  }
  const pagesearch::Options options{QStringLiteral("Acme Corp"), mode, true, false};

  double oursSeconds = 0, sedSeconds = 0, syncSeconds = 0, oursCpu = 0, sedCpu = 0;
  double searchSeconds = 0;  // of oursSeconds, the search alone
  double writeSeconds = 0;   // of oursSeconds, the batch's writing
  qsizetype replaced = 0;
  for (auto _ : state) {
    // A history of its own each round: one that holds the old bytes already
    // keeps no copy, and a user's replace always keeps one.
    QTemporaryDir historyRoot;
    if (keepHistory) history::setRoot(historyRoot.path());
    for (int i = 0; i < pages; ++i) {
      write(ours[i], originals[i]);
      write(theirs[i], originals[i]);
    }
    // Neither side pays for flushing the set-up: our syncs would otherwise
    // write sed's copies too, and leave sed's sync less to do.
    ::sync();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = ownCpu();
    replaced = 0;
    pagebatch::PageBatch batch(QStringLiteral("Find and Replace"));
    for (const QString& path : ours) {
      QElapsedTimer searching;
      searching.start();
      const pagebatch::SearchedPage found = pagebatch::searchPage(path, options);
      searchSeconds += searching.nsecsElapsed() * 1e-9;
      QList<int> all;
      for (int m = 0; m < found.matches.size(); ++m) all.append(m);
      if (batched)
        batch.add(path, pagebatch::replacementIn(found, all, QStringLiteral("Zed Inc"), mode));
      else
        replaced += pagebatch::replaceInPage(found, all, QStringLiteral("Zed Inc"), mode).changes;
    }
    QElapsedTimer writing;
    writing.start();
    for (const pagebatch::PageOutcome& o : batch.finish()) replaced += o.changes;
    writeSeconds += writing.nsecsElapsed() * 1e-9;
    const double oursNow = timer.nsecsElapsed() * 1e-9;
    oursCpu += ownCpu() - cpuBefore;
    const double childrenBefore = childrenCpu();
    timer.start();
    if (std::system(sed.constData()) != 0) state.SkipWithError("sed failed");
    sedCpu += childrenCpu() - childrenBefore;
    sedSeconds += timer.nsecsElapsed() * 1e-9;
    if (std::system(sync.constData()) != 0) state.SkipWithError("sync failed");
    syncSeconds += timer.nsecsElapsed() * 1e-9;
    oursSeconds += oursNow;
    state.SetIterationTime(oursNow);
  }
  for (int i = 0; i < pages; ++i)
    if (read(ours[i]) != read(theirs[i])) state.SkipWithError("result differs from sed's");
  if (replaced != qsizetype(pages) * kMatchesPerPage) state.SkipWithError("matches missed");
  history::setRoot({});
  state.counters["pages"] = pages;
  state.counters["page_KB"] = double(originals[0].size()) / 1024;
  state.counters["sed_ms"] = 1000 * sedSeconds / double(state.iterations());
  state.counters["search_ms"] = 1000 * searchSeconds / double(state.iterations());
  state.counters["write_ms"] = 1000 * writeSeconds / double(state.iterations());
  state.counters["x_sed"] = oursSeconds / sedSeconds;
  state.counters["x_sed_synced"] = oursSeconds / syncSeconds;
  state.counters["x_sed_cpu"] = oursCpu / sedCpu;
}

// Runs the event loop until done() holds, noting the longest time between
// two turns of a 5 ms timer: how long the window could not answer.
double longestStallMs(const std::function<bool()>& done) {
  QElapsedTimer since;
  since.start();
  double longest = 0;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    longest = std::max(longest, since.nsecsElapsed() * 1e-6);
    since.restart();
  });
  tick.start();
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  return longest;
}

void BM_FindInThousandPagesThroughTheWindow(benchmark::State& state) {
  const int pages = int(state.range(0));
  QTemporaryDir dir;
  QComboBox list;
  for (int i = 0; i < pages; ++i) {
    const QString path = dir.filePath(QStringLiteral("page%1.htm").arg(i));
    write(path, makePage(i));
    list.addItem(path);
  }
  double stall = 0, closeMs = 0, findSeconds = 0;
  bool progressShown = false;
  for (auto _ : state) {
    QPointer<frmFind> window = new frmFind(&list, nullptr);
    window->show();
    window->findChild<QLineEdit*>(QStringLiteral("txtFind"))->setText(QStringLiteral("acme corp"));
    auto* progress = window->findChild<QProgressBar*>(QStringLiteral("prgProgress"));
    QElapsedTimer timer;
    timer.start();
    window->cmdFind_Click();
    stall = longestStallMs([&] {
      progressShown = progressShown || progress->isVisible();
      return !window->busy();
    });
    findSeconds = timer.nsecsElapsed() * 1e-9;
    state.SetIterationTime(findSeconds);

    // Close half way through a second search.
    window->cmdFind_Click();
    QElapsedTimer half;
    half.start();
    longestStallMs([&] { return half.elapsed() > findSeconds * 500; });
    timer.start();
    window->cmdClose_Click();
    longestStallMs([&] { return window.isNull(); });
    closeMs = timer.nsecsElapsed() * 1e-6;
  }
  state.counters["pages"] = pages;
  state.counters["find_s"] = findSeconds;
  state.counters["longest_stall_ms"] = stall;
  state.counters["progress_shown"] = progressShown ? 1 : 0;
  state.counters["close_ms"] = closeMs;
}

}  // namespace

BENCHMARK(BM_ReplaceAcrossPagesVsSed)
    ->ArgNames({"pages", "code", "batch"})
    ->ArgsProduct({{100}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_FindInThousandPagesThroughTheWindow)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
