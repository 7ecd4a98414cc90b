// What keeping the page history costs the Insert Code cycle (read the page,
// replace every tag, write it back): each iteration runs the cycle once with
// recording off and once with it on, so both figures come from the same run.
// Afterwards: how much history 100 edits of a 100 KB page leave behind.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "files/history_action.h"
#include "files/page_history.h"
#include "files/v_file.h"
#include "tools/text_edits.h"

namespace {

const QString kTagA = QStringLiteral("[BUYBUTTON]");
const QString kTagB = QStringLiteral("[BUYNOW]");

// A UTF-8 page of about size bytes with ten tags spread over it.
QByteArray makePage(qsizetype size) {
  const QByteArray line =
      "<p class=\"lead\">Grüße aus Köln – the best offer you will see this year, order now.</p>\n";
  QByteArray page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n";
  page.reserve(size + 200);
  const qsizetype lines = size / line.size();
  for (qsizetype i = 0; i < lines; ++i) {
    if (i % std::max<qsizetype>(1, lines / 10) == 0) page += "[BUYBUTTON]";
    page += line;
  }
  return page + "</body></html>\n";
}

// One cycle; the tags swap names at every turn so every write changes the page.
bool insertionCycle(const QString& path, bool& aToB) {
  TextBuffer work;
  if (!vFile::LoadText(work, path)) return false;
  work.text = textedits::replaceTag(work.text, aToB ? kTagA : kTagB, aToB ? kTagB : kTagA);
  aToB = !aToB;
  const history::Action action(QStringLiteral("Insert Code"));
  return vFile::SaveText(work, path).ok();
}

qint64 folderBytes(const QString& folder) {
  qint64 total = 0;
  QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) total += QFileInfo(it.next()).size();
  return total;
}

void BM_InsertCodeCycleWithHistory(benchmark::State& state) {
  QTemporaryDir dir;
  const QString plain = dir.filePath(QStringLiteral("plain.htm"));
  const QString recorded = dir.filePath(QStringLiteral("recorded.htm"));
  const QString root = dir.filePath(QStringLiteral("history"));
  const QByteArray page = makePage(state.range(0));
  for (const QString& p : {plain, recorded}) {
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly) || f.write(page) != page.size()) std::abort();
  }
  bool plainTurn = true, recordedTurn = true;
  qint64 withoutNs = 0, withNs = 0;
  QElapsedTimer timer;
  for (auto _ : state) {
    history::setRoot({});
    timer.start();
    if (!insertionCycle(plain, plainTurn)) state.SkipWithError("cycle failed");
    withoutNs += timer.nsecsElapsed();
    history::setRoot(root);
    timer.start();
    if (!insertionCycle(recorded, recordedTurn)) state.SkipWithError("recorded cycle failed");
    withNs += timer.nsecsElapsed();
  }
  history::setRoot({});
  const double n = double(state.iterations());
  state.counters["without_ms"] = double(withoutNs) / n / 1e6;
  state.counters["with_ms"] = double(withNs) / n / 1e6;
  state.counters["ratio"] = double(withNs) / double(std::max<qint64>(withoutNs, 1));
  state.counters["history_MB"] = double(folderBytes(root)) / (1 << 20);
}

BENCHMARK(BM_InsertCodeCycleWithHistory)
    ->Arg(100 << 10)
    ->Arg(10 << 20)
    ->Arg(100 << 20)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// 100 edits of a 100 KB page, each changing a few words somewhere in it.
void reportHistoryAfterHundredEdits() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sales.htm"));
  const QString root = dir.filePath(QStringLiteral("history"));
  QByteArray page = makePage(100 << 10);
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(page) != page.size()) std::abort();
  }
  history::setRoot(root);
  for (int edit = 1; edit <= 100; ++edit) {
    page.replace(qsizetype(edit) * 997 % (page.size() - 40), 6, "EDITED");
    if (!vFile::SaveBytes(page, path)) std::abort();
  }
  std::printf("history after 100 edits of a %lld KB page: %lld entries kept, %.2f MB on disk\n",
              qlonglong(page.size() >> 10),
              qlonglong(QDir(history::folderOf(path)).entryList({QStringLiteral("*.json")}).size()),
              double(folderBytes(root)) / (1 << 20));
  history::setRoot({});
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  reportHistoryAfterHundredEdits();
  return 0;
}
