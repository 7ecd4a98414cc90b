// The memory the program and its engine processes take, against a bare
// QWebEngineView showing the same page, in the same run: the proportional
// set size (Pss of /proc/PID/smaps_rollup, so memory the processes share is
// counted once between them) summed over each process and everything it
// started. Each side runs in a fresh process of this program, one after the
// other, at 100 KB, 1 MB and 10 MB:
//   viewing      the page shown, settled for 2 s
//   editing      Edit Page (the bare view: design mode on), one word typed, 2 s
//   after_save   5 s after a save that keeps editing (Ctrl+S; the bare view
//                writes its markup to the file)
//   closed       5 s after the editor is left with Save and the page shown again
// Usage: memory_bench [size in KB ...]
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <cstdio>

#include "app/main_window.h"
#include "editor/web_browser.h"
#include "engine/engine_environment.h"
#include "engine_bench.h"
#include "widgets/msg_box.h"

namespace {

using namespace enginebench;

const char* const kPhases[] = {"viewing", "editing", "after_save", "closed"};

QByteArray pageOfSize(qsizetype bytes) {
  QByteArray page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Big</title>"
      "</head>\n<body>\n";
  for (int i = 0; page.size() < bytes; ++i)
    page += "<p id=\"p" + QByteArray::number(i) +
            "\">Order today and get the <b>bonus pack</b> free: caf\xC3\xA9 \xE2\x80\x94 "
            "<a href=\"#top\">more</a> of what you need, delivered instantly.</p>\n";
  return page + "</body>\n</html>\n";
}

void settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs an event loop until done() holds (or two minutes pass). A loop, not
// processEvents(): objects the program lets go with deleteLater() go while
// it runs, as they do in the program's own loop.
bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || clock.elapsed() > 120000) loop.quit();
  });
  poll.start(20);
  if (!done()) loop.exec();
  return done();
}

// The program's browser, whose renderer QV_BENCH_PROCS=1 names.
WebBrowser* shown = nullptr;
void report(const char* phase) {
  if (shown && qEnvironmentVariableIsSet("QV_BENCH_PROCS"))
    qInfo("%s: the page shown is in renderer %lld", phase,
          shown->view()->page()->renderProcessPid());
  std::printf("%s %.1f\n", phase, familyPssMB());
  std::fflush(stdout);
}

const QString kType = QStringLiteral(
    "var p = document.getElementById('p0'); var r = document.createRange();"
    "r.selectNodeContents(p); r.collapse(false); getSelection().removeAllRanges();"
    "getSelection().addRange(r); document.execCommand('insertText', false, 'zebra'); true");

QVariant run(QWebEnginePage* page, const QString& script) {
  QVariant result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  waitFor([&] { return done; });
  return result;
}

int bareView(const QString& path) {
  QWebEngineView view;
  view.resize(1024, 768);
  view.show();
  bool loaded = false;
  QObject::connect(&view, &QWebEngineView::loadFinished, [&] { loaded = true; });
  view.load(QUrl::fromLocalFile(path));
  if (!waitFor([&] { return loaded; })) return 1;
  settle(2000);
  report("viewing");
  run(view.page(), QStringLiteral("document.designMode = 'on'"));
  run(view.page(), kType);
  settle(2000);
  report("editing");
  bool saved = false;
  view.page()->toHtml([&](const QString& html) {
    QFile out(path);
    saved = out.open(QIODevice::WriteOnly) && out.write(html.toUtf8()) > 0;
  });
  if (!waitFor([&] { return saved; })) return 1;
  settle(5000);
  report("after_save");
  loaded = false;
  view.reload();
  if (!waitFor([&] { return loaded; })) return 1;
  settle(5000);
  report("closed");
  return 0;
}

int program(const QString& path) {
  Form2 form;
  form.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
  form.show();
  auto* browser = form.findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
  auto* edit = form.findChild<QPushButton*>(QStringLiteral("Command2"));
  shown = browser;
  waitLoaded(browser);  // the start page
  form.findChild<QComboBox*>(QStringLiteral("Combo1"))->addItem(path);
  waitLoaded(browser);
  settle(2000);
  report("viewing");

  setMsgBoxHandler([](const MsgBoxCall& call) {
    if (call.buttons == MsgButtons::YesNo) return MsgAnswer::Yes;
    if (call.buttons == MsgButtons::SaveDiscard || call.buttons == MsgButtons::SaveDiscardCancel)
      return MsgAnswer::Save;
    return MsgAnswer::Ok;
  });
  edit->click();
  if (!waitFor(
          [&] { return js(browser, QStringLiteral("document.designMode")).toString() == u"on"; }))
    return 1;
  js(browser, kType);
  settle(2000);
  report("editing");

  const auto savedThen = [&](const std::function<void()>& save) {
    const qint64 before = QFileInfo(path).size();
    QSignalSpy shown(browser, &WebBrowser::DownloadComplete);
    save();
    if (!waitFor([&] { return QFileInfo(path).size() != before; })) return false;
    if (shown.isEmpty()) shown.wait(120000);
    return true;
  };
  if (!savedThen(
          [&] { QTest::keyClick(browser->view()->focusProxy(), Qt::Key_S, Qt::ControlModifier); }))
    return 1;
  settle(5000);
  report("after_save");
  // Typed again, so leaving asks and saves.
  waitFor([&] { return js(browser, QStringLiteral("document.designMode")).toString() == u"on"; });
  js(browser, kType);
  if (!savedThen([&] { edit->click(); })) return 1;
  settle(5000);
  report("closed");
  setMsgBoxHandler({});
  return 0;
}

// One side's figures, from a fresh process of this program.
QHash<QString, double> measure(const QString& side, const QString& path) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), side, path});
  child.waitForFinished(600000);
  QHash<QString, double> figures;
  for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() == 2) figures.insert(QString::fromLatin1(parts[0]), parts[1].toDouble());
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  prepareEngineEnvironment();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 3 && args[0] == u"--child")
    return args[1] == u"bare" ? bareView(args[2]) : program(args[2]);

  QList<int> sizesKB;
  for (const QString& a : args) sizesKB << a.toInt();
  if (sizesKB.isEmpty()) sizesKB = {100, 1024, 10240};
  std::printf("%-8s %-11s %10s %10s %8s\n", "page", "phase", "ours_MB", "bare_MB", "x_bare");
  for (const int kb : sizesKB) {
    QTemporaryDir dir;
    const QByteArray bytes = pageOfSize(qsizetype(kb) * 1024);
    const QString ours = dir.filePath(QStringLiteral("ours/page.htm"));
    const QString bare = dir.filePath(QStringLiteral("bare/page.htm"));
    QDir(dir.path()).mkpath(QStringLiteral("ours"));
    QDir(dir.path()).mkpath(QStringLiteral("bare"));
    if (!writePage(ours, bytes) || !writePage(bare, bytes)) return 1;
    const QHash<QString, double> a = measure(QStringLiteral("program"), ours);
    const QHash<QString, double> b = measure(QStringLiteral("bare"), bare);
    for (const char* phase : kPhases) {
      const QString key = QString::fromLatin1(phase);
      const double x = b.value(key) > 0 ? a.value(key) / b.value(key) : 0;
      std::printf("%-8s %-11s %10.1f %10.1f %8.2f\n",
                  qPrintable(kb >= 1024 ? QStringLiteral("%1MB").arg(kb / 1024)
                                        : QStringLiteral("%1KB").arg(kb)),
                  phase, a.value(key), b.value(key), x);
    }
    if (a.value(QStringLiteral("editing")) > 0)
      std::printf("%-8s after_save / editing: %.2f\n", "",
                  a.value(QStringLiteral("after_save")) / a.value(QStringLiteral("editing")));
    std::fflush(stdout);
  }
  return 0;
}
