#include "intake/mod_ole.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <stdexcept>

#include "intake/drop_handle.h"
#include "support/simulated_drop.h"
#include "support/test_main.h"

namespace {

// A drop whose entries script the shell's answers: "<len0>" reports length 0,
// "<copy0>" fails the copy, "<throw>" fails the whole read. It also checks
// that the reader sizes its buffer from the length and stops after release.
class ScriptedDrop final : public DropHandle {
 public:
  explicit ScriptedDrop(QStringList entries) : entries_(std::move(entries)) {}

  quint32 DragQueryFileW(quint32 index, char16_t* buffer, quint32 size) override {
    if (finishes > 0) misuse = true;
    if (index == kCountQuery) return quint32(entries_.size());
    const QString& e = entries_.at(index);
    if (e == u"<throw>") throw std::runtime_error("drop failed");
    if (e == u"<len0>") return 0;
    if (!buffer) return quint32(e.size());
    if (size != quint32(e.size()) + 1) misuse = true;
    if (e == u"<copy0>") return 0;
    std::copy_n(reinterpret_cast<const char16_t*>(e.utf16()), e.size(), buffer);
    buffer[e.size()] = u'\0';
    return quint32(e.size());
  }
  void DragFinish() override { ++finishes; }

  int finishes = 0;
  bool misuse = false;

 private:
  QStringList entries_;
};

QStringList entriesOf(const QListWidget& list) {
  QStringList all;
  for (int i = 0; i < list.count(); ++i) all.append(list.item(i)->text());
  return all;
}

// Stands in for the welcome window: the two controls the drop handling writes.
struct DropWindow {
  DropWindow() {
    (new QListWidget(&window))->setObjectName(QStringLiteral("lstFiles"));
    (new QLabel(QStringLiteral("before"), &window))->setObjectName(QStringLiteral("Label1"));
    window.resize(300, 200);
    modOle::setDropWindow(&window);
    modOle::HookDropWindow();
    window.setAcceptDrops(true);
    window.show();
  }
  QListWidget* list() { return window.findChild<QListWidget*>(QStringLiteral("lstFiles")); }
  QLabel* status() { return window.findChild<QLabel*>(QStringLiteral("Label1")); }
  QDialog window;
};

const QString kLong =
    QStringLiteral("/pages/") + QString(3985, QLatin1Char('d')) + QStringLiteral(".htm");

}  // namespace

class ModOleTest final : public QObject {
  Q_OBJECT
 private slots:
  void processHDrop_data();
  void processHDrop();
  void readsShellAnswersFromDraggedUrls();
  void dropsReachTheHookedWindowOnly();
  void otherEventsReachTheWindowUnchanged();
  void takesDropsAsCopies_data();
  void takesDropsAsCopies();
};

void ModOleTest::processHDrop_data() {
  QTest::addColumn<QStringList>("earlier");
  QTest::addColumn<QStringList>("dropped");
  QTest::addColumn<QStringList>("listed");
  QTest::addColumn<QString>("status");
  const QString done = modOle::kDone;
  const QString none = modOle::kNoValidFiles;

  QTest::newRow("html files among a text file, drop order kept")
      << QStringList() << QStringList{"/p/a.htm", "/p/b.txt", "/p/c.html"}
      << QStringList{"/p/a.htm", "/p/c.html"} << done;
  QTest::newRow("only text files on a fresh window")
      << QStringList() << QStringList{"/p/a.txt", "/p/b.txt"} << QStringList() << none;
  QTest::newRow("only text files after an earlier drop")
      << QStringList{"/p/x.htm"} << QStringList{"/p/a.txt"} << QStringList{"/p/x.htm"} << done;
  QTest::newRow("letter case counts; .htm anywhere passes")
      << QStringList()
      << QStringList{"/p/PAGE.HTM", "/p/Index.Htm", "/p/page.HTML", "/p/page.htm.bak",
                     "/p/notes.htm.txt"}
      << QStringList{"/p/page.htm.bak", "/p/notes.htm.txt"} << done;
  QTest::newRow("a folder named like a page, and what lies in it")
      << QStringList() << QStringList{"/p/site.htm", "/p/site.htm/readme.txt", "/p/site"}
      << QStringList{"/p/site.htm", "/p/site.htm/readme.txt"} << done;
  QTest::newRow("same file twice stands twice")
      << QStringList{"/p/a.htm"} << QStringList{"/p/a.htm"} << QStringList{"/p/a.htm", "/p/a.htm"}
      << done;
  QTest::newRow("zero files on a fresh window")
      << QStringList() << QStringList() << QStringList() << none;
  QTest::newRow("zero files after an earlier drop")
      << QStringList{"/p/a.htm"} << QStringList() << QStringList{"/p/a.htm"} << done;
  QTest::newRow("spaces, quotes and non-ASCII read as they are")
      << QStringList() << QStringList{QString::fromUtf8("/p/my \"best\" 'pagé' 日本.htm")}
      << QStringList{QString::fromUtf8("/p/my \"best\" 'pagé' 日本.htm")} << done;
  QTest::newRow("a name starting with U+FEFF or U+FFFE read as it is")
      << QStringList() << QStringList{QStringLiteral("\uFEFFa.htm"), QStringLiteral("\uFFFEb.htm")}
      << QStringList{QStringLiteral("\uFEFFa.htm"), QStringLiteral("\uFFFEb.htm")} << done;
  QTest::newRow("4,000-character path read whole")
      << QStringList() << QStringList{kLong} << QStringList{kLong} << done;
  QTest::newRow("a path of length 0 is skipped, the rest read")
      << QStringList() << QStringList{"/p/a.htm", "<len0>", "/p/c.htm"}
      << QStringList{"/p/a.htm", "/p/c.htm"} << done;
  QTest::newRow("a failed copy is skipped, the rest read")
      << QStringList() << QStringList{"<copy0>", "/p/c.htm"} << QStringList{"/p/c.htm"} << done;
  QTest::newRow("nothing usable at all")
      << QStringList() << QStringList{"<len0>", "<copy0>"} << QStringList() << none;
  QTest::newRow("a failure part way keeps what was read, status untouched")
      << QStringList() << QStringList{"/p/a.htm", "<throw>", "/p/c.htm"} << QStringList{"/p/a.htm"}
      << QStringLiteral("before");
}

void ModOleTest::processHDrop() {
  QFETCH(QStringList, earlier);
  QFETCH(QStringList, dropped);
  QFETCH(QStringList, listed);
  QFETCH(QString, status);
  QListWidget lstFiles;
  lstFiles.addItems(earlier);
  QLabel Label1(QStringLiteral("before"));
  ScriptedDrop drop(dropped);

  modOle::ProcessHDrop(drop, &lstFiles, &Label1);

  QCOMPARE(entriesOf(lstFiles), listed);
  QCOMPARE(Label1.text(), status);
  QCOMPARE(drop.finishes, 1);
  QVERIFY2(!drop.misuse, "buffer not sized from the length, or read after release");
}

void ModOleTest::readsShellAnswersFromDraggedUrls() {
  const std::unique_ptr<QMimeData> data(
      fileDragData({"/p/a.htm", "https://example.com/b.htm", "/p/c d.html"}));
  MimeDropHandle drop(data.get());
  QCOMPARE(drop.DragQueryFileW(DropHandle::kCountQuery, nullptr, 0), 3u);
  QCOMPARE(drop.DragQueryFileW(0, nullptr, 0), 8u);
  QCOMPARE(drop.DragQueryFileW(1, nullptr, 0), 0u);  // a web address has no path
  char16_t small[4] = {u'x', u'x', u'x', u'x'};
  QCOMPARE(drop.DragQueryFileW(0, small, 4), 3u);
  QCOMPARE(QString::fromUtf16(small, lstrlenW(small)), QStringLiteral("/p/"));
  QCOMPARE(drop.DragQueryFileW(7, nullptr, 0), 0u);

  QListWidget lstFiles;
  QLabel Label1;
  modOle::ProcessHDrop(drop, &lstFiles, &Label1);
  QCOMPARE(entriesOf(lstFiles), (QStringList{"/p/a.htm", "/p/c d.html"}));
  QVERIFY(drop.finished());
  QCOMPARE(drop.DragQueryFileW(DropHandle::kCountQuery, nullptr, 0), 0u);
}

void ModOleTest::dropsReachTheHookedWindowOnly() {
  DropWindow w;
  QCOMPARE(modOle::PrevWndProc(), &w.window);
  const std::unique_ptr<QMimeData> data(fileDragData({"/p/a.htm", "/p/b.txt"}));
  QCOMPARE(simulateDrop(w.status(), data.get()), Qt::CopyAction);
  QCOMPARE(entriesOf(*w.list()), QStringList{"/p/a.htm"});
  QCOMPARE(w.status()->text(), modOle::kDone);

  // The hook is back after the drop: the next one is taken as well.
  QCOMPARE(simulateDrop(&w.window, data.get()), Qt::CopyAction);
  QCOMPARE(w.list()->count(), 2);

  modOle::UnhookDropWindow();
  QCOMPARE(simulateDrop(&w.window, data.get()), Qt::IgnoreAction);
  QCOMPARE(w.list()->count(), 2);
}

void ModOleTest::otherEventsReachTheWindowUnchanged() {
  DropWindow w;
  QSignalSpy rejected(&w.window, &QDialog::rejected);
  QTest::keyClick(&w.window, Qt::Key_Escape);
  QCOMPARE(rejected.count(), 1);
  // Dragged text is no file drop: the window's own handling (which refuses it) decides.
  QMimeData text;
  text.setText(QStringLiteral("/p/a.htm"));
  w.window.show();
  QCOMPARE(simulateDrop(&w.window, &text), Qt::IgnoreAction);
  QCOMPARE(w.list()->count(), 0);
  QCOMPARE(w.status()->text(), QStringLiteral("before"));
}

void ModOleTest::takesDropsAsCopies_data() {
  QTest::addColumn<int>("offered");
  QTest::addColumn<int>("result");
  QTest::newRow("copy or move offered: copy")
      << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::CopyAction);
  QTest::newRow("move only: refused, the source keeps its files")
      << int(Qt::MoveAction) << int(Qt::IgnoreAction);
}

void ModOleTest::takesDropsAsCopies() {
  QFETCH(int, offered);
  QFETCH(int, result);
  DropWindow w;
  const std::unique_ptr<QMimeData> data(fileDragData({"/p/a.htm"}));
  QCOMPARE(int(simulateDrop(&w.window, data.get(), Qt::DropActions(offered))), result);
  QCOMPARE(w.list()->count(), result == Qt::CopyAction ? 1 : 0);
}

QV_TEST_MAIN(ModOleTest)
#include "mod_ole_test.moc"
