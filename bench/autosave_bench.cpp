// Keeping the unsaved document against a crash while the user types on a big
// page: the longest the program's own thread stalls (against the same typing
// with nothing kept), the longest the renderer spends reading the document
// for one keeping, and what one keeping costs the program's thread.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/unsaved_keeper.h"
#include "editor/web_browser.h"
#include "engine_bench.h"
#include "files/unsaved_edits.h"

namespace {

using namespace enginebench;

QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\r\n<HTML><HEAD><META charset=utf-8><TITLE>Big</TITLE></HEAD>\r\n"
      "<BODY>\r\n";
  for (int i = 0; page.size() < bytes; ++i)
    page += "<P id=\"p" + QByteArray::number(i) +
            "\">Order today and get the <B>bonus pack</B> free: caf\xC3\xA9 \xE2\x80\x94 "
            "<A href='#top'>more</A> of what you need, delivered instantly.</P>\r\n";
  page += "</BODY>\r\n</HTML>\r\n";
  return page;
}

// Types a character every 60 ms (a quick typist) for seconds, and measures
// the longest gap between two turns of the program's event loop.
double typeFor(WebBrowser* browser, int seconds) {
  js(browser, QStringLiteral("var p = document.getElementById('p0'), r = document.createRange();"
                             "r.selectNodeContents(p); r.collapse(false);"
                             "getSelection().removeAllRanges(); getSelection().addRange(r);"));
  QEventLoop loop;
  QElapsedTimer since, total;
  double longest = 0;
  QTimer beat, keys;
  QObject::connect(&beat, &QTimer::timeout, [&] {
    longest = std::max(longest, since.nsecsElapsed() / 1e6);
    since.restart();
    if (total.elapsed() > seconds * 1000) loop.quit();
  });
  QObject::connect(&keys, &QTimer::timeout, [&] {
    js(browser, QStringLiteral("document.execCommand('insertText', false, 'z')"));
    since.restart();  // the step of typing itself is not the keeper's stall
  });
  since.start();
  total.start();
  beat.start(1);
  keys.start(60);
  runLoop(loop, seconds * 1000 + 60000);
  return longest;
}

void BM_TypingWhileKept(benchmark::State& state) {
  QTemporaryDir dir;
  unsavededits::setRoot(dir.filePath(QStringLiteral("unsaved")));
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  WebBrowser browser;
  browser.setSilent(true);
  browser.resize(800, 600);
  browser.show();
  browser.state()->setEditing(true);
  if (!writePage(path, pageOfSize(state.range(0)))) {
    state.SkipWithError("cannot write the page");
    return;
  }
  browser.Navigate2(path);
  waitLoaded(&browser);
  browser.setDesignMode(QStringLiteral("On"));
  UnsavedKeeper* keeper = browser.session()->keeper();
  double kept = 0, bare = 0;
  int keptCount = 0;
  QObject::connect(keeper, &UnsavedKeeper::kept, [&] { ++keptCount; });
  for (auto _ : state) {
    // The first keys on a page cost the engine work of its own, once (30 ms
    // here): typed before either measure, so neither pays for it.
    typeFor(&browser, 1);
    kept = typeFor(&browser, 8);
    // The same typing with nothing kept, for reference.
    keeper->stop(true);
    bare = typeFor(&browser, 8);
    state.SetIterationTime(8);
  }
  state.counters["longest_stall_kept_ms"] = kept;
  state.counters["longest_stall_bare_ms"] = bare;
  state.counters["renderer_read_longest_ms"] = keeper->longestReadMs();
  state.counters["own_thread_longest_ms"] = keeper->longestOwnMs();
  state.counters["copies_written"] = keptCount;
  unsavededits::setRoot({});
}

BENCHMARK(BM_TypingWhileKept)
    ->Arg(1024 * 1024)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return enginebench::runBenchmarks(argc, argv); }
