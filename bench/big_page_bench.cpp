// How the engine copes with ever bigger pages: the time until a page is shown
// and the memory the engine's processes need for it. A watchdog ends a run
// that passes the memory or time budget, so a page too big to show is
// reported as such rather than taking the machine down.
//
// Run each size in a process of its own (peaks only grow):
//   big_page_bench --benchmark_filter='BM_Show/10'
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "components/engine_environment.h"
#include "components/web_browser.h"

namespace {

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

QStringList processFamily() {
  const QString self = QString::number(QCoreApplication::applicationPid());
  QStringList family{self};
  const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (bool grew = true; grew;) {
    grew = false;
    for (const QString& pid : all) {
      if (family.contains(pid)) continue;
      QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
      if (!stat.open(QIODevice::ReadOnly)) continue;
      const QByteArray line = stat.readAll();
      const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
      if (fields.size() > 1 && family.contains(QString::fromLatin1(fields[1]))) {
        family << pid;
        grew = true;
      }
    }
  }
  return family;
}

double statusMB(const QString& pid, const char* field) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024;
  return 0;
}

double sumOverFamily(const char* field) {
  double mb = 0;
  for (const QString& pid : processFamily()) mb += statusMB(pid, field);
  return mb;
}

void BM_Show(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  {
    QFile out(path);
    const QByteArray bytes = pageOfSize(state.range(0) * 1024 * 1024);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
      state.SkipWithError("cannot write the page");
      return;
    }
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
      peakNow = std::max(peakNow, sumOverFamily("VmRSS:"));
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
  state.counters["peak_MB"] = sumOverFamily("VmHWM:");
  state.counters["peak_main_MB"] =
      statusMB(QString::number(QCoreApplication::applicationPid()), "VmHWM:");
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

int main(int argc, char** argv) {
  prepareEngineEnvironment();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
