#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/main_window.h"
#include "editor/web_browser.h"
#include "support/modal_steps.h"
#include "support/simulated_drop.h"
#include "support/test_archives.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

QStringList itemsOf(const QComboBox* c) {
  QStringList all;
  for (int i = 0; i < c->count(); ++i) all.append(c->itemText(i));
  return all;
}

const QStringList kFive{"/1.htm", "/2.htm", "/3.htm", "/4.htm", "/5.htm"};

// The main window, shown, without its start-up welcome window.
struct MainWindow {
  MainWindow() {
    w.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    w.show();
    combo = w.findChild<QComboBox*>(QStringLiteral("Combo1"));
    browser = w.findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
  }
  QWidget* control(const QString& name) { return w.findChild<QWidget*>(name); }
  Form2 w;
  QComboBox* combo = nullptr;
  WebBrowser* browser = nullptr;
};

}  // namespace

class MainWindowDropsTest final : public QObject {
  Q_OBJECT
 private slots:
  void surfaceDropReplacesTheList_data();
  void surfaceDropReplacesTheList();
  void surfaceDropOnThePreviewShowsTheLastPage();
  void listDropReplacesTheListSelectingNothing_data();
  void listDropReplacesTheListSelectingNothing();
  void dropWithoutFileListEmptiesTheList_data();
  void dropWithoutFileListEmptiesTheList();
  void dropOnDisabledListIsASurfaceDrop();
  void droppedArchiveStandsForItsPages();
};

void MainWindowDropsTest::surfaceDropReplacesTheList_data() {
  QTest::addColumn<QString>("over");
  QTest::newRow("preview") << "WebBrowser1";
  QTest::newRow("header band") << "Picture2";
  QTest::newRow("shortcuts panel") << "frShortcuts";
  QTest::newRow("Edit Page button") << "Command2";
}

void MainWindowDropsTest::surfaceDropReplacesTheList() {
  QFETCH(QString, over);
  QTemporaryDir dir;
  const QString page = dir.filePath(QStringLiteral("a.htm"));
  const QString notes = dir.filePath(QStringLiteral("notes.txt"));
  const QString folder = dir.filePath(QStringLiteral("sub folder"));
  testfiles::write(page, "<html><body>a</body></html>");
  testfiles::write(notes, "n");
  QVERIFY(QDir().mkdir(folder));
  MainWindow m;
  m.combo->addItems(kFive);
  m.combo->setCurrentIndex(2);

  const std::unique_ptr<QMimeData> data(fileDragData({page, notes, folder}));
  QCOMPARE(simulateDrop(m.control(over), data.get()), Qt::CopyAction);

  const QStringList expected{QDir::toNativeSeparators(page), QDir::toNativeSeparators(notes),
                             QDir::toNativeSeparators(folder)};
  QCOMPARE(itemsOf(m.combo), expected);
  QCOMPARE(m.combo->currentIndex(), 2);
  QCOMPARE(m.w.currentPage(), expected.last());
}

void MainWindowDropsTest::surfaceDropOnThePreviewShowsTheLastPage() {
  QTemporaryDir dir;
  const QString first = dir.filePath(QStringLiteral("first.htm"));
  const QString last = dir.filePath(QStringLiteral("last page.html"));
  testfiles::write(first, "<html><body>first</body></html>");
  testfiles::write(last, "<html><body>last</body></html>");
  MainWindow m;
  QSignalSpy loads(m.browser, &WebBrowser::DownloadComplete);
  QVERIFY(loads.wait(20000));  // the start page

  const std::unique_ptr<QMimeData> data(
      fileDragData({first, QStringLiteral("https://example.com/x.htm"), last}));
  QCOMPARE(simulateDrop(m.browser, data.get()), Qt::CopyAction);
  // Web addresses carry no path: only the two files stand in the list.
  QCOMPARE(itemsOf(m.combo),
           (QStringList{QDir::toNativeSeparators(first), QDir::toNativeSeparators(last)}));
  QTRY_COMPARE_WITH_TIMEOUT(m.browser->LocationPath(), last, 20000);
}

void MainWindowDropsTest::listDropReplacesTheListSelectingNothing_data() {
  QTest::addColumn<bool>("onTextField");
  QTest::newRow("on the text field") << true;
  QTest::newRow("on the arrow") << false;
}

void MainWindowDropsTest::listDropReplacesTheListSelectingNothing() {
  QFETCH(bool, onTextField);
  MainWindow m;
  m.combo->addItems(kFive);
  m.combo->setCurrentIndex(4);
  QSignalSpy chosen(m.combo, &QComboBox::currentIndexChanged);

  const std::unique_ptr<QMimeData> data(fileDragData({"/p/a.htm", "/p/b.htm"}));
  QWidget* over = onTextField ? static_cast<QWidget*>(m.combo->lineEdit()) : m.combo;
  const QPoint at = onTextField ? QPoint(-1, -1) : QPoint(m.combo->width() - 4, 4);
  QCOMPARE(simulateDrop(over, data.get(), Qt::CopyAction | Qt::MoveAction, at), Qt::CopyAction);

  QCOMPARE(itemsOf(m.combo), (QStringList{"/p/a.htm", "/p/b.htm"}));
  QCOMPARE(m.combo->currentIndex(), -1);
  QCOMPARE(m.w.currentPage(), QString());
  // No entry was chosen on the way, so nothing was asked to load.
  QCOMPARE(chosen.count(), 0);
}

void MainWindowDropsTest::dropWithoutFileListEmptiesTheList_data() {
  QTest::addColumn<bool>("onList");
  QTest::newRow("on the surface") << false;
  QTest::newRow("on the page list") << true;
}

void MainWindowDropsTest::dropWithoutFileListEmptiesTheList() {
  QFETCH(bool, onList);
  MainWindow m;
  m.combo->addItems(kFive);
  // The page list's own text dragged back onto the window.
  QMimeData text;
  text.setText(m.combo->currentText());
  QWidget* over = onList ? static_cast<QWidget*>(m.combo->lineEdit()) : m.browser;
  QCOMPARE(simulateDrop(over, &text), Qt::CopyAction);
  QCOMPARE(m.combo->count(), 0);
  QCOMPARE(m.w.currentPage(), QString());
  // The program goes on: the next drop works as usual.
  const std::unique_ptr<QMimeData> data(fileDragData({"/p/a.htm"}));
  QCOMPARE(simulateDrop(m.browser, data.get()), Qt::CopyAction);
  QCOMPARE(itemsOf(m.combo), QStringList{"/p/a.htm"});
}

void MainWindowDropsTest::dropOnDisabledListIsASurfaceDrop() {
  MainWindow m;
  m.combo->addItems(kFive);
  m.combo->setEnabled(false);  // as while a page is edited
  const std::unique_ptr<QMimeData> data(fileDragData({"/p/a.htm", "/p/b.htm"}));
  QCOMPARE(simulateDrop(m.combo->lineEdit(), data.get()), Qt::CopyAction);
  QCOMPARE(itemsOf(m.combo), (QStringList{"/p/a.htm", "/p/b.htm"}));
  QCOMPARE(m.combo->currentIndex(), 1);
}

void MainWindowDropsTest::droppedArchiveStandsForItsPages() {
  QTemporaryDir dir;
  const QString page = dir.filePath(QStringLiteral("before.htm"));
  testfiles::write(page, "<html></html>");
  const QString zip = dir.filePath(QStringLiteral("Product.zip"));
  QVERIFY(
      testarchive::write(zip, testarchive::Format::Zip,
                         {{"Sales Page/index.html", "<html>sales</html>"}, {"thanks.htm", "t"}}));
  const QString into = dir.filePath(QStringLiteral("unpacked"));
  MainWindow m;
  whenModal("frmUnpack", [&](QWidget* u) {
    u->findChild<QLineEdit*>(QStringLiteral("txtUnpackTo"))->setText(into);
    QTest::mouseClick(u->findChild<QWidget*>(QStringLiteral("cmdUnpack")), Qt::LeftButton);
  });
  const std::unique_ptr<QMimeData> data(fileDragData({page, zip}));
  QCOMPARE(simulateDrop(m.control("Picture2"), data.get()), Qt::CopyAction);
  const QStringList expected{QDir::toNativeSeparators(page),
                             QDir::toNativeSeparators(into + "/Sales Page/index.html"),
                             QDir::toNativeSeparators(into + "/thanks.htm")};
  QTRY_COMPARE(itemsOf(m.combo), expected);
  QCOMPARE(m.combo->currentIndex(), 2);
}

QV_TEST_MAIN(MainWindowDropsTest)
#include "main_window_drops_test.moc"
