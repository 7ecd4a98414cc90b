// The Insert Code cycle (read the page, replace every tag, write it back
// atomically) against sed -i doing the same replacement on a copy of the same
// file, interleaved in one run. Also the cycle's peak memory, measured in a
// fresh process so nothing of the benchmark itself is counted.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/v_file.h"
#include "tools/byte_edits.h"

namespace {

const QString kTag = QStringLiteral("[BUYBUTTON]");
const QString kCode = QStringLiteral(
    "<form action=\"https://www.paypal.com/cgi-bin/webscr\" method=\"post\" target=\"_top\">"
    "<input type=\"hidden\" name=\"cmd\" value=\"_s-xclick\">"
    "<input type=\"hidden\" name=\"hosted_button_id\" value=\"ABCDEFGH12345\">"
    "<input type=\"image\" src=\"https://www.paypalobjects.com/en_US/i/btn/btn_buynowCC_LG.gif\" "
    "border=\"0\" name=\"submit\" alt=\"Buy now\"></form>");

// A UTF-8 page of about size bytes with tags spread evenly at line starts.
QByteArray makePage(qsizetype size, int tags) {
  const QByteArray line =
      "<p class=\"lead\">Grüße aus Köln – the best offer you will see this year, order now.</p>\n";
  QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n";
  page.reserve(size + tags * 16);
  const qsizetype lines = size / line.size();
  const qsizetype every = std::max<qsizetype>(1, lines / tags);
  int placed = 0;
  for (qsizetype i = 0; i < lines; ++i) {
    if (placed < tags && i % every == every / 2) {
      page += "[BUYBUTTON]";
      ++placed;
    }
    page += line;
  }
  page += "</body></html>\n";
  return page;
}

void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

// As the window does it: the page's own bytes, one read, one write.
bool insertionCycle(const QString& path) {
  QByteArray page;
  if (!vFile::LoadBytes(page, path)) return false;
  page = byteedits::replaceTag(std::move(page), kTag, kCode);
  return vFile::SaveBytes(page, path).ok();
}

// A figure from /proc/self/status, in bytes ("VmRSS", "VmHWM").
long statusBytes(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(std::strlen(field) + 1).trimmed().split(' ')[0].toLong() * 1024;
  return -1;
}

// How far the cycle raises the resident memory above where it started, run
// once in a fresh copy of this program: the benchmark's own buffers and what
// fork would share with it must not count.
long cyclePeakGrowth(const QString& path) {
  const QByteArray command = "'" + QCoreApplication::applicationFilePath().toLocal8Bit() +
                             "' --cycle-once '" + path.toLocal8Bit() + "'";
  FILE* child = popen(command.constData(), "r");
  if (!child) return -1;
  long growth = -1;
  if (std::fscanf(child, "%ld", &growth) != 1) growth = -1;
  return pclose(child) == 0 ? growth : -1;
}

void BM_InsertCycleVsSed(benchmark::State& state) {
  const qsizetype size = state.range(0) * 1024 * 1024;
  const int tags = int(state.range(1));
  QTemporaryDir dir;
  const QString page = dir.filePath(QStringLiteral("sales.htm"));
  const QString copy = dir.filePath(QStringLiteral("sales-sed.htm"));
  const QString script = dir.filePath(QStringLiteral("replace.sed"));
  const QByteArray original = makePage(size, tags);
  write(script, "s/\\[BUYBUTTON\\]/" + kCode.toUtf8().replace("/", "\\/") + "/g\n");
  const QByteArray sed = "sed -i -f '" + script.toLocal8Bit() + "' '" + copy.toLocal8Bit() + "'";

  double oursSeconds = 0, sedSeconds = 0;
  for (auto _ : state) {
    write(page, original);
    write(copy, original);
    QElapsedTimer timer;
    timer.start();
    if (!insertionCycle(page)) state.SkipWithError("cycle failed");
    const double ours = timer.nsecsElapsed() * 1e-9;
    timer.start();
    if (std::system(sed.constData()) != 0) state.SkipWithError("sed failed");
    sedSeconds += timer.nsecsElapsed() * 1e-9;
    oursSeconds += ours;
    state.SetIterationTime(ours);
  }
  QFile ours(page), theirs(copy);
  if (!ours.open(QIODevice::ReadOnly) || !theirs.open(QIODevice::ReadOnly) ||
      ours.readAll() != theirs.readAll())
    state.SkipWithError("result differs from sed's");

  write(page, original);
  const long growth = cyclePeakGrowth(page);
  if (growth < 0) state.SkipWithError("no peak memory figure");
  state.counters["page_MB"] = double(original.size()) / (1024 * 1024);
  state.counters["sed_ms"] = 1000 * sedSeconds / double(state.iterations());
  state.counters["x_sed"] = oursSeconds / sedSeconds;
  state.counters["peak_x_page"] = double(growth) / double(original.size());
  // Many long codes make the page grow: measured against the bigger file too.
  state.counters["peak_x_larger"] =
      double(growth) / double(std::max(original.size(), QFileInfo(copy).size()));
}

}  // namespace

// Fewer rounds for the bigger pages; sed and the cycle alternate in each.
BENCHMARK(BM_InsertCycleVsSed)
    ->Args({1, 1})
    ->Args({1, 10000})
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertCycleVsSed)
    ->Args({10, 1})
    ->Args({10, 10000})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertCycleVsSed)
    ->Args({100, 1})
    ->Args({100, 10000})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The child of cyclePeakGrowth: one cycle, then how far memory rose.
  if (argc == 3 && std::strcmp(argv[1], "--cycle-once") == 0) {
    const long before = statusBytes("VmRSS:");
    if (!insertionCycle(QString::fromLocal8Bit(argv[2]))) return 1;
    std::printf("%ld\n", statusBytes("VmHWM:") - before);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
