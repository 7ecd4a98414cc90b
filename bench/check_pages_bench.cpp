// Checking pages before they go online. Three figures:
// - 1,000 pages of 100 KB, each using 20 local files (and with one leftover
//   placeholder, so the list fills as it goes), checked through the Check
//   Pages window without web addresses: the time to the last row, and the
//   longest time the window did not answer;
// - the same check without a window, against reading the same bytes alone
//   (x_read: what the check costs beyond the disk);
// - 200 distinct web addresses on a local server that answers each after
//   1 s, asked through the window (eight at a time, through the proxy).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <ctime>

#include "engine/web_proxy.h"
#include "files/site_check.h"
#include "files/v_file.h"
#include "support/web_test_server.h"
#include "tools/check_window.h"

namespace {

constexpr qsizetype kPageSize = 100 * 1024;
constexpr int kFilesPerPage = 20;
constexpr int kPictures = 100;

QByteArray makePage(int n) {
  QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Offer " +
                    QByteArray::number(n) +
                    "</title>\n<link rel=\"stylesheet\" href=\"css/site.css\"></head>\n<body>\n"
                    "<p>Order now: [BUYBUTTON]</p>\n";
  for (int k = 1; k < kFilesPerPage; ++k)
    page += "<img src=\"img/p" + QByteArray::number((n + k) % kPictures) + ".png\" alt=\"p\">\n";
  const QByteArray line =
      "<p class=\"lead\">Grüße – the best offer you will see this year, <b>order</b> now.</p>\n";
  while (page.size() < kPageSize) page += line;
  return page + "</body></html>\n";
}

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Stall {
  double wallMs = 0;  // the longest time between two turns of a 5 ms timer
  double cpuMs = 0;   // the most processor time the window's thread spent between two turns
  double processCpuS = 0;
};

// Runs the event loop until done() holds, noting how long the window could
// not answer: by the clock, and (as this machine is shared) by the window
// thread's own processor time, which other programs do not inflate.
Stall longestStall(const std::function<bool()>& done) {
  Stall s;
  QElapsedTimer since;
  since.start();
  double threadCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const double processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    s.wallMs = std::max(s.wallMs, since.nsecsElapsed() * 1e-6);
    since.restart();
    const double now = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    s.cpuMs = std::max(s.cpuMs, (now - threadCpu) * 1000);
    threadCpu = now;
  });
  tick.start();
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  s.processCpuS = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpu;
  return s;
}

struct Site {
  QTemporaryDir dir;
  QStringList pages;
  explicit Site(int count) {
    write(dir.filePath("css/site.css"), "body{background:url(../img/p0.png)}");
    for (int i = 0; i < kPictures; ++i)
      write(dir.filePath(QStringLiteral("img/p%1.png").arg(i)), "png");
    for (int i = 0; i < count; ++i) {
      pages << dir.filePath(QStringLiteral("page%1.html").arg(i));
      write(pages.last(), makePage(i));
    }
  }
};

void BM_CheckThousandPagesThroughTheWindow(benchmark::State& state) {
  Site site(int(state.range(0)));
  QComboBox list;
  list.addItems(site.pages);
  QTemporaryDir settings;
  Stall stall;
  double seconds = 0;
  int rows = 0;
  for (auto _ : state) {
    // Opening the window starts the check.
    QElapsedTimer timer;
    timer.start();
    QPointer<frmCheck> window = new frmCheck(&list, nullptr, nullptr, settings.filePath("c.ini"));
    window->show();
    bool done = false;
    QObject::connect(window, &frmCheck::checkDone, [&] { done = true; });
    stall = longestStall([&] { return done; });
    seconds = timer.nsecsElapsed() * 1e-9;
    state.SetIterationTime(seconds);
    rows = window->findChild<QTreeWidget*>(QStringLiteral("lstProblems"))->topLevelItemCount();
    delete window;
  }
  state.counters["pages"] = double(site.pages.size());
  state.counters["check_s"] = seconds;
  state.counters["check_cpu_s"] = stall.processCpuS;
  state.counters["rows"] = rows;
  state.counters["longest_stall_ms"] = stall.wallMs;
  state.counters["longest_stall_cpu_ms"] = stall.cpuMs;
}

void BM_CheckThousandPagesAgainstReading(benchmark::State& state) {
  Site site(int(state.range(0)));
  double checkSeconds = 0, readSeconds = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    const auto problems = sitecheck::checkPages(site.pages, {});
    checkSeconds += timer.nsecsElapsed() * 1e-9;
    benchmark::DoNotOptimize(problems);
    timer.start();
    qsizetype bytes = 0;
    for (const QString& page : site.pages) {
      QByteArray b;
      if (vFile::LoadBytes(b, page)) bytes += b.size();
    }
    readSeconds += timer.nsecsElapsed() * 1e-9;
    benchmark::DoNotOptimize(bytes);
    state.SetIterationTime(timer.nsecsElapsed() * 1e-9);
  }
  state.counters["check_ms"] = 1000 * checkSeconds / double(state.iterations());
  state.counters["read_ms"] = 1000 * readSeconds / double(state.iterations());
  state.counters["x_read"] = checkSeconds / readSeconds;
}

void BM_AskWebAddressesThroughTheWindow(benchmark::State& state) {
  const int count = int(state.range(0));
  WebTestServer server;
  if (!server.start()) std::abort();
  server.answerOthers({200, 1000, false, 0});
  // Distinct hosts, as a real site's links are: each a name the proxy sends
  // to the local server.
  QByteArray page = "<title>Links</title>\n";
  for (int i = 0; i < count; ++i) {
    const QString host = QStringLiteral("site%1.test").arg(i);
    WebProxy::instance()->mapHost(host, QStringLiteral("127.0.0.1"), server.port());
    page += "<a href=\"http://" + host.toUtf8() + "/page" + QByteArray::number(i) + "\">x</a>\n";
  }
  QTemporaryDir dir;
  write(dir.filePath("links.html"), page);
  QComboBox list;
  list.addItem(dir.filePath("links.html"));
  double seconds = 0;
  Stall stall;
  int rows = 0;
  for (auto _ : state) {
    QPointer<frmCheck> window = new frmCheck(&list, nullptr, nullptr, dir.filePath("c.ini"));
    window->findChild<QCheckBox*>(QStringLiteral("chkWebLinks"))->setChecked(true);
    window->show();
    QElapsedTimer timer;
    timer.start();
    bool done = false;
    QObject::connect(window, &frmCheck::checkDone, [&] { done = true; });
    stall = longestStall([&] { return done; });
    seconds = timer.nsecsElapsed() * 1e-9;
    state.SetIterationTime(seconds);
    rows = window->findChild<QTreeWidget*>(QStringLiteral("lstProblems"))->topLevelItemCount();
    delete window;
  }
  state.counters["addresses"] = count;
  state.counters["ask_s"] = seconds;
  state.counters["rows"] = rows;
  state.counters["longest_stall_ms"] = stall.wallMs;
}

}  // namespace

BENCHMARK(BM_CheckThousandPagesThroughTheWindow)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_CheckThousandPagesAgainstReading)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK(BM_AskWebAddressesThroughTheWindow)
    ->Arg(200)
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
