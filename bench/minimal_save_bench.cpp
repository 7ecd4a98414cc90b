// Saving an edited big page: the minimal change (stretches carried onto the
// file's bytes, then read back in the engine) against writing the whole
// serialisation, in the same process on the same page and edit.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine_bench.h"
#include "files/v_file.h"
#include "text/minimal_save.h"
#include "widgets/msg_box.h"

namespace {

using namespace enginebench;

QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\r\n<HTML lang=en><HEAD><META charset=utf-8><TITLE>Big</TITLE></HEAD>\r\n"
      "<BODY>\r\n";
  for (int i = 0; page.size() < bytes; ++i)
    page += "<P id=\"p" + QByteArray::number(i) +
            "\">Order today and get the <B>bonus pack</B> free: caf\xC3\xA9 \xE2\x80\x94 "
            "<A href='#top'>more</A> of what you need, delivered instantly.</P>\r\n";
  page += "</BODY>\r\n</HTML>\r\n";
  return page;
}

bool load(WebBrowser* browser, const QString& path) {
  QSignalSpy spy(browser, &WebBrowser::DownloadComplete);
  browser->Navigate2(path);
  return spy.wait(300000);
}

// Types a word at the end of the first and of a middle paragraph.
void edit(WebBrowser* browser) {
  js(browser,
     QStringLiteral("var ps = document.getElementsByTagName('p');"
                    "[ps[0], ps[Math.floor(ps.length / 2)]].forEach(function (p) {"
                    "  var r = document.createRange(); r.selectNodeContents(p); r.collapse(false);"
                    "  getSelection().removeAllRanges(); getSelection().addRange(r);"
                    "  document.execCommand('insertText', false, 'zebra'); });"));
}

void BM_SaveEdits(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  const QByteArray original = pageOfSize(state.range(0));
  WebBrowser browser;
  browser.setSilent(true);
  browser.resize(800, 600);
  browser.show();
  browser.state()->setEditing(true);
  setMsgBoxHandler([](const MsgBoxCall&) { return MsgAnswer::Save; });

  double whole = 0, minimal = 0, patchOnly = 0;
  bool allMinimal = true;
  for (auto _ : state) {
    if (!writePage(path, original)) {
      state.SkipWithError("cannot write the page");
      break;
    }
    load(&browser, path);
    browser.setDesignMode(QStringLiteral("On"));
    const QString before =
        js(&browser, QStringLiteral("document.documentElement.outerHTML")).toString();
    edit(&browser);
    const QString after =
        js(&browser, QStringLiteral("document.documentElement.outerHTML")).toString();

    // The whole serialisation, as the alternative method and the fallback write it.
    QElapsedTimer clock;
    clock.start();
    {
      QEventLoop loop;
      browser.session()->readPageText([&](const Status& read, const TextBuffer& text) {
        if (read) (void)vFile::SaveText(text, dir.filePath(QStringLiteral("whole.htm")));
        loop.quit();
      });
      runLoop(loop);
    }
    whole += clock.nsecsElapsed() / 1e9;

    // The stretches and their places alone, without the engine's check.
    clock.restart();
    const minimalsave::Patch patch = minimalsave::patch(
        original, before, after, minimalsave::Spelling{QStringLiteral("UTF-8"), false, true});
    patchOnly += clock.nsecsElapsed() / 1e9;
    benchmark::DoNotOptimize(patch.bytes);

    // The normal save, until the edits are settled into the file.
    clock.restart();
    {
      QEventLoop loop;
      browser.session()->settleEdits([&](bool) { loop.quit(); });
      runLoop(loop);
    }
    const double thisSave = clock.nsecsElapsed() / 1e9;
    minimal += thisSave;
    allMinimal = allMinimal && browser.session()->lastSaveWay().minimal;
    state.SetIterationTime(thisSave);
    QSignalSpy reloaded(&browser, &WebBrowser::DownloadComplete);
    reloaded.wait(300000);
  }
  setMsgBoxHandler({});
  const double n = double(state.iterations());
  state.counters["whole_s"] = whole / n;
  state.counters["minimal_s"] = minimal / n;
  state.counters["patch_only_s"] = patchOnly / n;
  state.counters["minimal_x_whole"] = minimal / whole;
  state.counters["patch_only_x_whole"] = patchOnly / whole;
  state.counters["fast_path"] = allMinimal ? 1 : 0;
}

BENCHMARK(BM_SaveEdits)
    ->Arg(1024 * 1024)
    ->Arg(10 * 1024 * 1024)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return enginebench::runBenchmarks(argc, argv); }
