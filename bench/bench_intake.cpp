// File intake at scale: a drop of many paths read by ProcessHDrop, and "Ok" in
// picker mode handing a folder of many pages to the page list.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>
#include <map>
#include <memory>

#include "intake/drop_handle.h"
#include "intake/folder_list.h"
#include "intake/html_file_list.h"
#include "intake/mod_ole.h"
#include "intake/welcome.h"

namespace {

QString pageName(int i) { return QStringLiteral("page_%1.htm").arg(i, 5, 10, QLatin1Char('0')); }

void ProcessHDrop(benchmark::State& state) {
  const int n = int(state.range(0));
  QMimeData data;
  QList<QUrl> urls;
  for (int i = 0; i < n; ++i)
    urls.append(
        QUrl::fromLocalFile(QStringLiteral("/home/user/Sites/reseller pack/") + pageName(i)));
  data.setUrls(urls);
  QLabel status;
  for (auto _ : state) {
    QListWidget lstFiles;
    MimeDropHandle drop(&data);
    modOle::ProcessHDrop(drop, &lstFiles, &status);
    benchmark::DoNotOptimize(lstFiles.count());
    state.PauseTiming();
    if (lstFiles.count() != n) state.SkipWithError("paths lost");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// One folder of n pages per size, made once.
const QString& folderOf(int n) {
  static std::map<int, std::unique_ptr<QTemporaryDir>> made;
  static std::map<int, QString> paths;
  if (!made.count(n)) {
    auto dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < n; ++i) {
      QFile f(dir->filePath(pageName(i)));
      if (f.open(QIODevice::WriteOnly)) f.write("<html></html>");
    }
    paths[n] = dir->path();
    made[n] = std::move(dir);
  }
  return paths[n];
}

void PickerOk(benchmark::State& state) {
  const int n = int(state.range(0));
  const QString folder = folderOf(n);
  for (auto _ : state) {
    state.PauseTiming();
    QComboBox pageList;
    pageList.setEditable(true);
    QPointer<frmdropfiles> window = new frmdropfiles(&pageList);
    window->Label5_Click();
    window->findChild<FolderList*>(QStringLiteral("Dir1"))->setPath(folder);
    state.ResumeTiming();

    window->cmdOk_Click();

    state.PauseTiming();
    if (pageList.count() != n) state.SkipWithError("pages lost");
    delete window;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// What the user waits for before that: the file list reading the folder.
void PickerListFolder(benchmark::State& state) {
  const int n = int(state.range(0));
  const QString folder = folderOf(n);
  HtmlFileList files;
  for (auto _ : state) {
    files.setPath(folder);
    benchmark::DoNotOptimize(files.count());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(ProcessHDrop)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PickerOk)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PickerListFolder)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
