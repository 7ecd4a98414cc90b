// The edit-and-save cycle on big pages, against the time the engine takes
// just to load the same page: "Edit Page" until the page is editable, and
// "Save / Discard Changes" until the file is written, by both save methods.
#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "editor/web_browser.h"
#include "engine_bench.h"
#include "help/save_switch.h"
#include "widgets/msg_box.h"

namespace {

using namespace enginebench;

QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Big</title>"
      "<script>document.title = 'changed by script';</script></head>\n<body>\n";
  for (int i = 0; page.size() < bytes; ++i)
    page += "<p id=\"p" + QByteArray::number(i) +
            "\">Order today and get the <b>bonus pack</b> free: caf\xC3\xA9 \xE2\x80\x94 "
            "<a href=\"#top\">more</a> of what you need, delivered instantly.</p>\n";
  page += "</body>\n</html>\n";
  return page;
}

// Until the document shown has painted its first text: a page loaded out of
// sight is only shown once it is painted at the view's size, and the work it
// leaves undone would otherwise be counted against the next step.
void waitPainted(WebBrowser* browser) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (js(browser, QStringLiteral("performance.getEntriesByName('first-contentful-paint').length"))
            .toInt() > 0)
      loop.quit();
  });
  poll.start(1);
  runLoop(loop, 120000);
}

// Medians, so one slow start of a renderer does not stand for the rest.
double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void BM_EditCycle(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  const QByteArray original = pageOfSize(state.range(0));
  if (!writePage(path, original)) {
    state.SkipWithError("cannot write the page");
    return;
  }

  Form2 form;
  form.findChild<QTimer*>("Timer1")->stop();
  form.show();
  auto* browser = form.findChild<WebBrowser*>("WebBrowser1");
  auto* edit = form.findChild<QPushButton*>("Command2");
  waitLoaded(browser);  // the start page
  // The page list holds the page, as after the welcome window.
  form.findChild<QComboBox*>("Combo1")->addItem(path);
  waitLoaded(browser);

  bool written = false;
  setMsgBoxHandler([&](const MsgBoxCall& call) {
    if (call.prompt == u"Done!") written = true;
    if (call.buttons == MsgButtons::YesNo) return MsgAnswer::Yes;
    if (call.buttons == MsgButtons::SaveDiscard) return MsgAnswer::Save;
    return MsgAnswer::Ok;
  });
  const auto typeSomething = [&] {
    js(browser, QStringLiteral("var p = document.getElementById('p0'); var r = "
                               "document.createRange(); r.selectNodeContents(p); "
                               "r.collapse(false); getSelection().removeAllRanges(); "
                               "getSelection().addRange(r); "
                               "document.execCommand('insertText', false, 'zebra');"));
  };
  // QV_BENCH_READ_MS: the user reads the page that long before Edit Page
  // (the bench clicks as soon as the page is painted otherwise).
  const int readMs = qEnvironmentVariableIntValue("QV_BENCH_READ_MS");
  const auto enterEditing = [&] {
    if (readMs > 0) {
      QEventLoop reading;
      QTimer::singleShot(readMs, &reading, &QEventLoop::quit);
      reading.exec();
    }
    QElapsedTimer clock;
    clock.start();
    QSignalSpy loaded(browser, &WebBrowser::DownloadComplete);
    edit->click();
    // Editable: design mode is on, whether or not the load has ended.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (js(browser, QStringLiteral("document.designMode")).toString() == u"on") loop.quit();
    });
    poll.start(1);
    runLoop(loop);
    const double editable = clock.nsecsElapsed() / 1e9;
    if (loaded.isEmpty()) loaded.wait(120000);
    waitPainted(browser);
    return editable;
  };

  std::vector<double> load, enter, saveAlt, saveNormal, reloads;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    browser->Navigate2(path);
    waitLoaded(browser);
    waitPainted(browser);
    const double thisLoad = clock.nsecsElapsed() / 1e9;
    load.push_back(thisLoad);

    // Alternative method: until "Done!" says the file is written.
    enter.push_back(enterEditing());
    typeSomething();
    QFile(saveswitch::path()).open(QIODevice::WriteOnly);
    written = false;
    clock.restart();
    {
      QSignalSpy reloaded(browser, &WebBrowser::DownloadComplete);
      edit->click();
      QEventLoop loop;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (written) loop.quit();
      });
      poll.start(1);
      runLoop(loop);
      saveAlt.push_back(clock.nsecsElapsed() / 1e9);
      if (reloaded.isEmpty()) reloaded.wait(120000);
      waitPainted(browser);
    }
    QFile::remove(saveswitch::path());

    // Normal method: the offer saves until the file is written, and the
    // page is shown again.
    enter.push_back(enterEditing());
    typeSomething();
    const qint64 sizeBefore = QFileInfo(path).size();
    clock.restart();
    {
      QEventLoop loop;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (QFileInfo(path).size() != sizeBefore) loop.quit();
      });
      poll.start(1);
      QSignalSpy reloaded(browser, &WebBrowser::DownloadComplete);
      edit->click();
      runLoop(loop);
      saveNormal.push_back(clock.nsecsElapsed() / 1e9);
      if (reloaded.isEmpty()) reloaded.wait(120000);
      waitPainted(browser);
      reloads.push_back(clock.nsecsElapsed() / 1e9);
    }
    state.SetIterationTime(thisLoad);
  }
  setMsgBoxHandler({});
  const double plain = median(load);
  state.counters["load_s"] = plain;
  state.counters["edit_s"] = median(enter);
  state.counters["save_alt_s"] = median(saveAlt);
  state.counters["save_normal_s"] = median(saveNormal);
  state.counters["edit_x_load"] = median(enter) / plain;
  state.counters["alt_x_load"] = median(saveAlt) / plain;
  state.counters["normal_x_load"] = median(saveNormal) / plain;
  state.counters["normal_and_reload_x_load"] = median(reloads) / plain;
  state.counters["peak_MB"] = familyMB("VmHWM:");
  state.counters["peak_main_MB"] = selfMB("VmHWM:");
  state.counters["saved_bytes"] = double(QFile(path).size());
}

// The same pages only loaded, for the memory the engine needs anyway (run
// it in a process of its own: peaks only grow).
void BM_LoadOnly(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  if (!writePage(path, pageOfSize(state.range(0)))) {
    state.SkipWithError("cannot write the page");
    return;
  }
  WebBrowser browser;
  browser.resize(800, 600);
  browser.show();
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    browser.Navigate2(path);
    waitLoaded(&browser);
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
  state.counters["peak_MB"] = familyMB("VmHWM:");
  state.counters["peak_main_MB"] = selfMB("VmHWM:");
}

// The same page sizes and settings for the load and the edit cycle.
void pageSizes(benchmark::internal::Benchmark* b) {
  b->Arg(100 * 1024)->Arg(1024 * 1024)->Arg(10 * 1024 * 1024);
  b->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_LoadOnly)->Apply(pageSizes);
BENCHMARK(BM_EditCycle)->Apply(pageSizes);

}  // namespace

int main(int argc, char** argv) { return enginebench::runBenchmarks(argc, argv); }
