// Start-up: process start until the main window shows blank.html, against a
// bare program showing one QWebEngineView of the same page. Each iteration
// starts a fresh process of this same binary in one of two probe modes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "editor/web_browser.h"
#include "engine/engine_environment.h"
#include "files/paths.h"

namespace {

const char* self = nullptr;

void runProbe(benchmark::State& state, const char* mode) {
  for (auto _ : state) {
    QProcess child;
    child.start(QString::fromLocal8Bit(self), {QString::fromLatin1(mode)});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) state.SkipWithError("probe failed");
  }
}

void BM_BareView(benchmark::State& state) { runProbe(state, "--bare"); }
void BM_Quorvane(benchmark::State& state) { runProbe(state, "--quorvane"); }

int probe(int argc, char** argv, bool bare) {
  prepareEngineEnvironment();
  QApplication app(argc, argv);
  const QString blank = paths::besideExecutableAsIs(QStringLiteral("blank.html"));
  if (bare) {
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool) { _exit(0); });
    view.load(QUrl::fromLocalFile(blank));
    view.show();
    return app.exec();
  }
  Form2 window;
  auto* browser = window.findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
  QObject::connect(browser, &WebBrowser::DownloadComplete, [] { _exit(0); });
  window.show();
  return app.exec();
}

}  // namespace

BENCHMARK(BM_BareView)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Quorvane)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  if (argc == 2 && qstrcmp(argv[1], "--bare") == 0) return probe(argc, argv, true);
  if (argc == 2 && qstrcmp(argv[1], "--quorvane") == 0) return probe(argc, argv, false);
  self = argv[0];
  // Headless machines measure on the offscreen platform; the probes inherit it.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
