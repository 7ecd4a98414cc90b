#include "engine_bench.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include "editor/web_browser.h"
#include "engine/engine_environment.h"
#include "support/page_script.h"

namespace enginebench {

void runLoop(QEventLoop& loop, int timeoutMs) {
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
}

QVariant js(WebBrowser* browser, const QString& script) {
  return pagescript::run(browser, script, 300000);
}

bool waitLoaded(WebBrowser* browser, int timeoutMs) {
  QSignalSpy spy(browser, &WebBrowser::DownloadComplete);
  return spy.wait(timeoutMs);
}

bool writePage(const QString& path, const QByteArray& bytes) {
  QFile out(path);
  return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
}

double statusMB(const QString& pid, const char* field) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024;
  return 0;
}

QStringList processFamily() {
  QStringList family{QString::number(QCoreApplication::applicationPid())};
  const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (bool grew = true; grew;) {
    grew = false;
    for (const QString& pid : all) {
      if (family.contains(pid)) continue;
      QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
      if (!stat.open(QIODevice::ReadOnly)) continue;
      const QByteArray line = stat.readAll();
      // The parent is the second field after the command, which may hold spaces.
      const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
      if (fields.size() > 1 && family.contains(QString::fromLatin1(fields[1]))) {
        family << pid;
        grew = true;
      }
    }
  }
  return family;
}

double familyMB(const char* field) {
  double mb = 0;
  for (const QString& pid : processFamily()) {
    mb += statusMB(pid, field);
    // Which process holds the memory: QV_BENCH_PROCS=1 names each one.
    if (qEnvironmentVariableIsSet("QV_BENCH_PROCS"))
      qInfo("pid %s %s %.0f rss %.0f", qPrintable(pid), field, statusMB(pid, field),
            statusMB(pid, "VmRSS:"));
  }
  return mb;
}

double familyPssMB() {
  double mb = 0;
  for (const QString& pid : processFamily()) {
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& line : rollup.readAll().split('\n'))
      if (line.startsWith("Pss:")) {
        const double own = line.mid(4).trimmed().split(' ').first().toDouble() / 1024;
        mb += own;
        // Which process holds it: QV_BENCH_PROCS=1 names each one.
        if (qEnvironmentVariableIsSet("QV_BENCH_PROCS")) {
          QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
          cmd.open(QIODevice::ReadOnly);
          const QByteArray type = cmd.readAll().replace('\0', ' ');
          const qsizetype at = type.indexOf("--type=");
          qInfo("pid %s pss %.0f %s", qPrintable(pid), own,
                at < 0 ? "main" : type.mid(at, type.indexOf(' ', at) - at).constData());
        }
      }
  }
  return mb;
}

double familyCpuSeconds() {
  static const double tick = double(sysconf(_SC_CLK_TCK));
  double seconds = 0;
  for (const QString& pid : processFamily()) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray line = stat.readAll();
    // utime and stime: the 12th and 13th fields after the command.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 12) seconds += (fields[11].toDouble() + fields[12].toDouble()) / tick;
  }
  return seconds;
}

double selfMB(const char* field) {
  return statusMB(QString::number(QCoreApplication::applicationPid()), field);
}

int runBenchmarks(int argc, char** argv) {
  prepareEngineEnvironment();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace enginebench
