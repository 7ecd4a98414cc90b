// LoadText + SaveText and the byte cycle of a page against `cp` of the same
// bytes, and the peak memory of one text cycle measured in a child process.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "files/v_file.h"

namespace {

QTemporaryDir& workDir() {
  static QTemporaryDir dir;
  return dir;
}

QString pageOf(qsizetype megabytes) {
  const QString path = workDir().filePath(QStringLiteral("page%1.htm").arg(megabytes));
  if (!QFile::exists(path)) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) std::abort();
    const QByteArray line("<p>Prøv dette — en linje med tekst [BUYBUTTON].</p>\r\n");
    for (qsizetype written = 0; written < megabytes * 1024 * 1024; written += line.size())
      f.write(line);
  }
  return path;
}

void BM_LoadSave(benchmark::State& state) {
  const QString path = pageOf(state.range(0));
  for (auto _ : state) {
    TextBuffer buffer;
    if (!vFile::LoadText(buffer, path).ok()) state.SkipWithError("load failed");
    if (!vFile::SaveText(buffer, path).ok()) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

// The cycle the code tools make: the bytes as they are, one read, one write.
void BM_LoadSaveBytes(benchmark::State& state) {
  const QString path = pageOf(state.range(0));
  for (auto _ : state) {
    QByteArray bytes;
    if (!vFile::LoadBytes(bytes, path).ok()) state.SkipWithError("load failed");
    if (!vFile::SaveBytes(bytes, path).ok()) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

void BM_Cp(benchmark::State& state) {
  const QString path = pageOf(state.range(0));
  const QByteArray command = QStringLiteral("cp '%1' '%1.copy'").arg(path).toLocal8Bit();
  for (auto _ : state)
    if (std::system(command.constData()) != 0) state.SkipWithError("cp failed");
  state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

// cp copies inside the kernel (copy_file_range) without the bytes passing
// through memory; dd reads and writes them, as any editor must.
void BM_Dd(benchmark::State& state) {
  const QString path = pageOf(state.range(0));
  const QByteArray command =
      QStringLiteral("dd if='%1' of='%1.dd' bs=4M status=none").arg(path).toLocal8Bit();
  for (auto _ : state)
    if (std::system(command.constData()) != 0) state.SkipWithError("dd failed");
  state.SetBytesProcessed(state.iterations() * QFileInfo(path).size());
}

long kilobytesOf(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
  return 0;
}

// Child mode: one cycle on the given file, then the peak memory it took.
int peakChild(const QString& path) {
  const long before = kilobytesOf("VmRSS:");
  TextBuffer buffer;
  if (!vFile::LoadText(buffer, path).ok() || !vFile::SaveText(buffer, path).ok()) return 1;
  std::printf("%ld\n", kilobytesOf("VmHWM:") - before);
  return 0;
}

void reportPeaks(const char* self) {
  for (qsizetype mb : {10, 100}) {
    const QString path = pageOf(mb);
    QProcess child;
    child.start(QString::fromLocal8Bit(self), {QStringLiteral("--peak"), path});
    child.waitForFinished(-1);
    const double extraMb = child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
    const double fileMb = QFileInfo(path).size() / 1048576.0;
    std::printf("peak memory of one cycle on %.0f MB: %.0f MB above start (%.2fx the file)\n",
                fileMb, extraMb, extraMb / fileMb);
  }
}

}  // namespace

BENCHMARK(BM_LoadSave)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadSaveBytes)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cp)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dd)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (argc == 3 && qstrcmp(argv[1], "--peak") == 0)
    return peakChild(QString::fromLocal8Bit(argv[2]));
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  reportPeaks(argv[0]);
  return 0;
}
