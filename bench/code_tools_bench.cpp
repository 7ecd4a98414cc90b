// The code tools on big pages, each against the command doing the same job on
// a copy of the same file, in one run; rounds alternate between them and the
// figures are medians:
//   tag   Insert Code's cycle (read, replace every tag, write)  vs sed -i
//   head  head-code insertion                                   vs sed -i
//   cycle the read + write cycle alone                          vs cp
// "bytes" is the way the windows take (the page's own bytes), "text" the way
// through the decoded text (LoadText, edit, SaveText) that they took before.
// Peak memory is measured once per case in a fresh process of this program.
// Each timed step starts with nothing left to write back (sync), so no step
// pays for the writes of the one before; since our save waits for its bytes
// to reach the disk (fsync) and sed -i and cp do not, each reference also runs
// once followed by a sync of its file ("durable"). QV_BENCH_DIR picks the folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "files/v_file.h"
#include "tools/byte_edits.h"
#include "tools/text_edits.h"

namespace {

const QString kTag = QStringLiteral("[BUYBUTTON]");
const QString kButton = QStringLiteral(
    "<form action=\"https://www.paypal.com/cgi-bin/webscr\" method=\"post\" target=\"_top\">"
    "<input type=\"hidden\" name=\"cmd\" value=\"_s-xclick\">"
    "<input type=\"hidden\" name=\"hosted_button_id\" value=\"ABCDEFGH12345\">"
    "<input type=\"image\" src=\"https://www.paypalobjects.com/en_US/i/btn/btn_buynowCC_LG.gif\" "
    "border=\"0\" name=\"submit\" alt=\"Buy now\"></form>");
const QString kHeadCode =
    QStringLiteral("<script async src=\"https://www.example.com/tag.js?id=UA-1\"></script>");

enum class Tool { Tag, Head, Cycle };

// A UTF-8 page of about size bytes, one closing head tag, tags spread evenly.
QByteArray makePage(qsizetype size, int tags) {
  const QByteArray line =
      "<p class=\"lead\">Gr\xC3\xBC\xC3\x9F"
      "e aus K\xC3\xB6ln \xE2\x80\x93 the best offer you "
      "will see this year, order now.</p>\n";
  QByteArray page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Offer</title>\n</head>"
      "<body>\n";
  page.reserve(size + tags * 16);
  const qsizetype lines = size / line.size();
  const qsizetype every = std::max<qsizetype>(1, lines / std::max(tags, 1));
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

QByteArray read(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) std::abort();
  return f.readAll();
}

bool bytesWay(Tool tool, const QString& path) {
  QByteArray page;
  if (!vFile::LoadBytes(page, path)) return false;
  if (tool == Tool::Tag) page = byteedits::replaceTag(std::move(page), kTag, kButton);
  if (tool == Tool::Head) {
    std::optional<QByteArray> edited = byteedits::insertHeadCode(std::move(page), kHeadCode);
    if (!edited) return false;
    page = std::move(*edited);
  }
  return vFile::SaveBytes(page, path).ok();
}

bool textWay(Tool tool, const QString& path) {
  TextBuffer page;
  if (!vFile::LoadText(page, path)) return false;
  if (tool == Tool::Tag) page.text = textedits::replaceTag(page.text, kTag, kButton);
  if (tool == Tool::Head) {
    std::optional<QString> edited = textedits::insertHeadCode(std::move(page.text), kHeadCode);
    if (!edited) return false;
    page.text = std::move(*edited);
  }
  return vFile::SaveText(page, path).ok();
}

QByteArray quoted(const QString& s) { return "'" + s.toLocal8Bit() + "'"; }

// The command doing the same job on path.
QByteArray reference(Tool tool, const QString& path, const QString& script) {
  if (tool == Tool::Cycle) return "cp " + quoted(path) + " " + quoted(path + ".copy");
  return "sed -i -f " + quoted(script) + " " + quoted(path);
}

// The file the reference writes.
QString durableTarget(Tool tool, const QString& path) {
  return tool == Tool::Cycle ? path + ".copy" : path;
}

QByteArray sedScript(Tool tool) {
  if (tool == Tool::Tag)
    return "s/\\[BUYBUTTON\\]/" + kButton.toUtf8().replace("/", "\\/") + "/g\n";
  return "s#</head>#" + kHeadCode.toUtf8() + "</head>#g\n";
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

// How far one run raises resident memory, in a fresh copy of this program so
// that nothing of the benchmark itself counts.
long peakGrowth(Tool tool, bool bytes, const QString& path) {
  const QByteArray command = quoted(QCoreApplication::applicationFilePath()) + " --peak " +
                             QByteArray::number(int(tool)) + (bytes ? " bytes " : " text ") +
                             quoted(path);
  FILE* child = popen(command.constData(), "r");
  if (!child) return -1;
  long growth = -1;
  if (std::fscanf(child, "%ld", &growth) != 1) growth = -1;
  return pclose(child) == 0 ? growth : -1;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double timed(const std::function<bool()>& step, benchmark::State& state) {
  ::sync();
  QElapsedTimer timer;
  timer.start();
  if (!step()) state.SkipWithError("step failed");
  return timer.nsecsElapsed() * 1e-6;
}

QString benchDir() {
  const QByteArray chosen = qgetenv("QV_BENCH_DIR");
  return chosen.isEmpty() ? QString() : QString::fromLocal8Bit(chosen) + "/qv-bench-XXXXXX";
}

void BM_Tool(benchmark::State& state) {
  const auto tool = Tool(state.range(0));
  const qsizetype size = state.range(1) * 1024 * 1024;
  const int tags = int(state.range(2));
  QTemporaryDir dir(benchDir());
  const QString ours = dir.filePath(QStringLiteral("sales.htm"));
  const QString before = dir.filePath(QStringLiteral("sales-text.htm"));
  const QString theirs = dir.filePath(QStringLiteral("sales-ref.htm"));
  const QString durable = dir.filePath(QStringLiteral("sales-durable.htm"));
  const QString script = dir.filePath(QStringLiteral("edit.sed"));
  const QByteArray original = makePage(size, tags);
  write(script, sedScript(tool));

  std::vector<double> bytesMs, textMs, refMs, durableMs;
  for (auto _ : state) {
    for (const QString& path : {ours, before, theirs, durable}) write(path, original);
    const QByteArray command = reference(tool, theirs, script);
    // The reference made as durable as our save: its file flushed to disk.
    const QByteArray durableCommand =
        reference(tool, durable, script) + " && sync " + quoted(durableTarget(tool, durable));
    // The order turns each round, so that none always goes first.
    const int turn = int(bytesMs.size() % 4);
    double b = 0, t = 0, r = 0, d = 0;
    for (int k = 0; k < 4; ++k) {
      switch ((turn + k) % 4) {
        case 0:
          b = timed([&] { return bytesWay(tool, ours); }, state);
          break;
        case 1:
          t = timed([&] { return textWay(tool, before); }, state);
          break;
        case 2:
          r = timed([&] { return std::system(command.constData()) == 0; }, state);
          break;
        default:
          d = timed([&] { return std::system(durableCommand.constData()) == 0; }, state);
      }
    }
    bytesMs.push_back(b);
    textMs.push_back(t);
    refMs.push_back(r);
    durableMs.push_back(d);
    state.SetIterationTime(b * 1e-3);
  }
  const QByteArray expected = tool == Tool::Cycle ? original : read(theirs);
  if (read(ours) != expected || read(before) != expected)
    state.SkipWithError("result differs from the reference's");

  write(ours, original);
  const long peakBytes = peakGrowth(tool, true, ours);
  write(ours, original);
  const long peakText = peakGrowth(tool, false, ours);
  state.counters["page_MB"] = double(original.size()) / (1024 * 1024);
  state.counters["bytes_ms"] = median(bytesMs);
  state.counters["text_ms"] = median(textMs);
  state.counters["ref_ms"] = median(refMs);
  state.counters["bytes_x_ref"] = median(bytesMs) / median(refMs);
  state.counters["text_x_ref"] = median(textMs) / median(refMs);
  state.counters["bytes_x_durable_ref"] = median(bytesMs) / median(durableMs);
  state.counters["bytes_peak_x_page"] = double(peakBytes) / double(original.size());
  state.counters["text_peak_x_page"] = double(peakText) / double(original.size());
  // Many long codes make the page grow: measured against the bigger file too.
  const double larger = double(std::max(original.size(), expected.size()));
  state.counters["bytes_peak_x_larger"] = double(peakBytes) / larger;
}

}  // namespace

// Rounds fall with the page size. Args: tool, MB, tags.
BENCHMARK(BM_Tool)
    ->ArgNames({"tool", "MB", "tags"})
    ->Args({int(Tool::Tag), 1, 1})
    ->Args({int(Tool::Tag), 1, 10000})
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tool)
    ->ArgNames({"tool", "MB", "tags"})
    ->Args({int(Tool::Tag), 10, 1})
    ->Args({int(Tool::Tag), 10, 10000})
    ->Args({int(Tool::Head), 10, 0})
    ->Args({int(Tool::Cycle), 10, 0})
    ->Iterations(7)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tool)
    ->ArgNames({"tool", "MB", "tags"})
    ->Args({int(Tool::Tag), 100, 1})
    ->Args({int(Tool::Tag), 100, 10000})
    ->Args({int(Tool::Head), 100, 0})
    ->Args({int(Tool::Cycle), 100, 0})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The child of peakGrowth: one run, then how far memory rose.
  if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
    const long start = statusBytes("VmRSS:");
    const auto tool = Tool(std::atoi(argv[2]));
    const QString path = QString::fromLocal8Bit(argv[4]);
    if (!(std::strcmp(argv[3], "bytes") == 0 ? bytesWay(tool, path) : textWay(tool, path)))
      return 1;
    std::printf("%ld\n", statusBytes("VmHWM:") - start);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
