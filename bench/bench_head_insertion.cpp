// Head-code insertion on big pages, against sed -i doing the same insertion on
// a copy of the same file. Both read the file, insert, and write it back.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include "files/v_file.h"
#include "text/text_buffer.h"
#include "tools/byte_edits.h"
#include "tools/text_edits.h"

namespace {

const QByteArray kCode = "<script async src=\"https://www.example.com/tag.js?id=UA-1\"></script>";

// A UTF-8 page of about megabytes MB: a usual head, then long body text.
QByteArray makePage(int megabytes) {
  const QByteArray head =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Big page</title>\n<link rel=\"stylesheet\" href=\"css/styles.css\">\n</head>\n"
      "<body>\n";
  const QByteArray line =
      "<p class=\"lead\">Caf\xC3\xA9 text of a sales page, with a <a href=\"buy.html\">link</a> "
      "and some more words to make a line of usual length.</p>\n";
  const qsizetype size = qsizetype(megabytes) * 1024 * 1024;
  QByteArray page = head + line.repeated((size - head.size()) / line.size());
  page += "</body>\n</html>\n";
  return page;
}

struct Fixture {
  QTemporaryDir dir;
  std::map<int, QString> originals;

  const QString& original(int megabytes) {
    auto it = originals.find(megabytes);
    if (it != originals.end()) return it->second;
    const QString path = dir.filePath(QStringLiteral("page-%1.html").arg(megabytes));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(makePage(megabytes));
    return originals.emplace(megabytes, path).first->second;
  }

  QString freshCopy(int megabytes) {
    const QString copy = dir.filePath(QStringLiteral("work.html"));
    QFile::remove(copy);
    QFile::copy(original(megabytes), copy);
    return copy;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_InsertHeadCode(benchmark::State& state) {
  const int mb = int(state.range(0));
  const QString code = QString::fromLatin1(kCode);
  for (auto _ : state) {
    state.PauseTiming();
    const QString path = fixture().freshCopy(mb);
    state.ResumeTiming();
    // As the window does it: the page's own bytes, one read, one write.
    QByteArray page;
    if (!vFile::LoadBytes(page, path)) state.SkipWithError("read failed");
    std::optional<QByteArray> edited = byteedits::insertHeadCode(std::move(page), code);
    if (!edited) state.SkipWithError("no head tag");
    if (!vFile::SaveBytes(*edited, path)) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * qint64(mb) * 1024 * 1024);
}

// sed -i with the same text; durable=1 also flushes the file to disk
// afterwards, as the program's own save does before it replaces the file.
void BM_SedInsert(benchmark::State& state) {
  const int mb = int(state.range(0));
  const bool durable = state.range(1) != 0;
  const QString script = QStringLiteral("s#</head>#%1</head>#g").arg(QString::fromLatin1(kCode));
  for (auto _ : state) {
    state.PauseTiming();
    const QString path = fixture().freshCopy(mb);
    state.ResumeTiming();
    if (QProcess::execute(QStringLiteral("sed"), {QStringLiteral("-i"), script, path}) != 0)
      state.SkipWithError("sed failed");
    if (durable && QProcess::execute(QStringLiteral("sync"), {path}) != 0)
      state.SkipWithError("sync failed");
  }
  state.SetBytesProcessed(state.iterations() * qint64(mb) * 1024 * 1024);
}

// The text edit alone, without reading or writing.
void BM_InsertHeadCodeTextOnly(benchmark::State& state) {
  const int mb = int(state.range(0));
  TextBuffer page;
  if (!vFile::LoadText(page, fixture().original(mb))) state.SkipWithError("read failed");
  const QString code = QString::fromLatin1(kCode);
  for (auto _ : state) {
    state.PauseTiming();
    QString work(page.text.constData(), page.text.size());  // a text of its own, as after a read
    state.ResumeTiming();
    benchmark::DoNotOptimize(textedits::insertHeadCode(std::move(work), code));
  }
  state.SetBytesProcessed(state.iterations() * qint64(mb) * 1024 * 1024);
}

}  // namespace

BENCHMARK(BM_InsertHeadCode)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SedInsert)
    ->Args({10, 0})
    ->Args({100, 0})
    ->Args({10, 1})
    ->Args({100, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_InsertHeadCodeTextOnly)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
