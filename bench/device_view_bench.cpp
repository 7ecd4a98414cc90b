// The device views on a 1 MB page: switching Desktop → Phone → Desktop
// against a plain load of the same page, and the memory of the program and
// its engine processes with the phone view open against the desktop view.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <functional>

#include "editor/device_view.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine_bench.h"

namespace {

using namespace enginebench;

// A responsive page: the phone lays it out anew at its own width.
QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Big</title>"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<style>@media (max-width: 480px) { p { font-size: 18px } }</style></head>\n<body>\n";
  for (int i = 0; page.size() < bytes; ++i)
    page += "<p id=\"p" + QByteArray::number(i) +
            "\">Order today and get the <b>bonus pack</b> free: caf\xC3\xA9 \xE2\x80\x94 "
            "<a href=\"#top\">more</a> of what you need, delivered instantly.</p>\n";
  page += "</body>\n</html>\n";
  return page;
}

// Polls until cond holds (or two minutes pass).
void waitUntil(const std::function<bool()>& cond) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (cond()) loop.quit();
  });
  poll.start(1);
  runLoop(loop, 120000);
}

// The page sees this width across and is laid out at it: reading a layout
// value makes the engine finish the layout the new width asks for.
void waitLaidOutAt(WebBrowser* browser, int width) {
  waitUntil([&] { return js(browser, QStringLiteral("window.innerWidth")).toInt() == width; });
  js(browser, QStringLiteral("document.body.offsetHeight"));
}

void waitPainted(WebBrowser* browser) {
  waitUntil([&] {
    return js(browser,
              QStringLiteral("performance.getEntriesByName('first-contentful-paint').length"))
               .toInt() > 0;
  });
}

// Lets the engine finish what the last step left (paints, freed memory).
void settle(int ms) {
  QEventLoop loop;
  runLoop(loop, ms);
}

void BM_DeviceSwitch(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.htm"));
  if (!writePage(path, pageOfSize(state.range(0)))) {
    state.SkipWithError("cannot write the page");
    return;
  }
  WebBrowser browser;
  browser.resize(1000, 700);
  browser.show();
  browser.Navigate2(path);  // the first load starts the renderer: not counted
  waitLoaded(&browser);
  waitPainted(&browser);

  double load = 0, toPhone = 0, toDesktop = 0, desktopMB = 0, phoneMB = 0;
  double loadCpu = 0, toPhoneCpu = 0, toDesktopCpu = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    double cpu = familyCpuSeconds();
    browser.Navigate2(path);
    waitLoaded(&browser);
    waitPainted(&browser);
    load = clock.nsecsElapsed() / 1e9;
    loadCpu = familyCpuSeconds() - cpu;
    const int desktopWidth = browser.view()->width();
    waitLaidOutAt(&browser, desktopWidth);
    settle(2000);
    desktopMB = familyPssMB();

    clock.restart();
    cpu = familyCpuSeconds();
    browser.state()->setDevice(deviceview::preset(DeviceView::Kind::Phone));
    waitLaidOutAt(&browser, 390);
    toPhone = clock.nsecsElapsed() / 1e9;
    toPhoneCpu = familyCpuSeconds() - cpu;
    settle(2000);
    phoneMB = familyPssMB();

    clock.restart();
    cpu = familyCpuSeconds();
    browser.state()->setDevice(deviceview::desktop());
    waitLaidOutAt(&browser, desktopWidth);
    toDesktop = clock.nsecsElapsed() / 1e9;
    toDesktopCpu = familyCpuSeconds() - cpu;
    state.SetIterationTime(load);
  }
  state.counters["load_s"] = load;
  state.counters["to_phone_s"] = toPhone;
  state.counters["to_desktop_s"] = toDesktop;
  state.counters["to_phone_x_load"] = toPhone / load;
  state.counters["to_desktop_x_load"] = toDesktop / load;
  // The same in CPU time, which waiting for a shared machine does not swell.
  state.counters["to_phone_x_load_cpu"] = toPhoneCpu / loadCpu;
  state.counters["to_desktop_x_load_cpu"] = toDesktopCpu / loadCpu;
  state.counters["load_cpu_s"] = loadCpu;
  state.counters["desktop_pss_MB"] = desktopMB;
  state.counters["phone_pss_MB"] = phoneMB;
  state.counters["phone_x_desktop_memory"] = phoneMB / desktopMB;
}

BENCHMARK(BM_DeviceSwitch)
    ->Arg(1024 * 1024)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return enginebench::runBenchmarks(argc, argv); }
