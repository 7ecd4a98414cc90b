#include "intake/welcome.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "intake/drive_list.h"
#include "intake/folder_list.h"
#include "intake/html_file_list.h"
#include "intake/mod_ole.h"
#include "intake/welcome_picture.h"
#include "support/simulated_drop.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "widgets/twips.h"

namespace {

template <typename W = QWidget>
W* child(QWidget* w, const char* name) {
  return w->findChild<W*>(QString::fromLatin1(name));
}

QStringList itemsOf(const QComboBox& c) {
  QStringList all;
  for (int i = 0; i < c.count(); ++i) all.append(c.itemText(i));
  return all;
}

QStringList itemsOf(const QListWidget* l) {
  QStringList all;
  for (int i = 0; i < l->count(); ++i) all.append(l->item(i)->text());
  return all;
}

QString in(const QTemporaryDir& dir, const QString& name) {
  return QDir::toNativeSeparators(dir.filePath(name));
}

// A welcome window over a page list, shown (not modal) so drops can reach it.
struct Welcome {
  explicit Welcome(QStringList pages = {}) {
    pageList.setEditable(true);
    pageList.addItems(pages);
    window = new frmdropfiles(&pageList);
    window->show();
  }
  ~Welcome() { delete window; }
  void drop(const QStringList& paths, const char* over = "Label1") {
    const std::unique_ptr<QMimeData> data(fileDragData(paths));
    QCOMPARE(simulateDrop(child(window, over), data.get()), Qt::CopyAction);
  }
  void toPicker(const QString& folder) {
    QTest::mouseClick(child(window, "Label5"), Qt::LeftButton);
    QVERIFY(child(window, "picNoDragAndDrop")->isVisible());
    QVERIFY(child<FolderList>(window, "Dir1")->setPath(folder));
  }
  void press(const char* button) { QTest::mouseClick(child(window, button), Qt::LeftButton); }

  QComboBox pageList;
  QPointer<frmdropfiles> window;
};

}  // namespace

class WelcomeTest final : public QObject {
  Q_OBJECT
 private slots:
  void controlsAsDesigned_data();
  void controlsAsDesigned();
  void windowAsDesigned();
  void pictureIsSquareAndDrawn();
  void dropsLandAnywhereInBothModes_data();
  void dropsLandAnywhereInBothModes();
  void okHandsOverTheDroppedPages();
  void okInPickerModeHandsOverEveryListedFile();
  void pickerListsOnlyVisibleHtmlFilesByName();
  void pickerJoinsWithOneSeparator_data();
  void pickerJoinsWithOneSeparator();
  void okWithNothingSelectsTheLastEntry_data();
  void okWithNothingSelectsTheLastEntry();
  void otherWaysOutHandNothingOver_data();
  void otherWaysOutHandNothingOver();
  void folderChangeRefreshesTheFiles();
  void unreadableDriveOrFolderKeepsTheLists();
  void unloadStopsTakingDrops();
};

void WelcomeTest::controlsAsDesigned_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("twipsRect");  // relative to the control's container
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("family");
  QTest::addColumn<qreal>("points");
  QTest::addColumn<bool>("underline");
  QTest::addColumn<QColor>("color");
  const QColor c00000(0, 0, 192), c800000(0, 0, 128), c404040(64, 64, 64);
  const QString sans = QStringLiteral("MS Sans Serif"), verdana = QStringLiteral("Verdana");
  QTest::newRow("Label5") << "Label5" << QRect(7425, 135, 4515, 240)
                          << "Don't Want to Use Drag and Drop? Click Here" << sans << 8.25 << true
                          << c00000;
  QTest::newRow("Label2") << "Label2" << QRect(1080, 630, 10545, 1185)
                          << "What Do You Want To Resell Today?" << verdana << 24.0 << false
                          << c800000;
  QTest::newRow("Label1") << "Label1" << QRect(1080, 1665, 10545, 1185)
                          << frmdropfiles::kInitialStatus << verdana << 20.25 << false << c00000;
  QTest::newRow("Label3") << "Label3" << QRect(1080, 5895, 10545, 1185)
                          << "Then you'll be able to quickly add your buy button to your page, "
                             "make text modifications etc."
                          << verdana << 15.75 << false << c404040;
  QTest::newRow("Label4") << "Label4" << QRect(1035, 6885, 10545, 690)
                          << "Always make backups of your files before making any changes."
                          << verdana << 15.75 << false << c800000;
  QTest::newRow("Label7") << "Label7" << QRect(6390, 225, 4515, 240) << "Back to Drag and Drop"
                          << sans << 8.25 << true << c00000;
  QTest::newRow("Label6") << "Label6" << QRect(225, 630, 10545, 690)
                          << "Select a Folder with .htm / .html files." << verdana << 15.75 << false
                          << c800000;
  for (const auto& [name, rect] : std::initializer_list<std::pair<const char*, QRect>>{
           {"Image1", {5085, 2925, 2670, 2670}},
           {"cmdOk", {3915, 7560, 2310, 645}},
           {"cmdUnload", {6345, 7560, 2310, 645}},
           {"picNoDragAndDrop", {810, 135, 11265, 6630}},
           {"Drive1", {900, 1485, 3570, 315}},
           {"Dir1", {855, 1935, 3570, 4140}},
           {"File1", {4815, 1575, 5640, 4380}}})
    QTest::newRow(name) << name << rect << QString() << QString() << 0.0 << false << QColor();
}

void WelcomeTest::controlsAsDesigned() {
  QFETCH(QString, name);
  QFETCH(QRect, twipsRect);
  QFETCH(QString, text);
  QFETCH(QString, family);
  QFETCH(qreal, points);
  QFETCH(bool, underline);
  QFETCH(QColor, color);
  Welcome w;
  auto* control = w.window->findChild<QWidget*>(name);
  QVERIFY(control);
  const double dpi = twips::dpiOf(control);
  auto px = [dpi](int t) { return twips::toPixels(t, dpi); };
  QCOMPARE(control->geometry(), QRect(px(twipsRect.x()), px(twipsRect.y()), px(twipsRect.width()),
                                      px(twipsRect.height())));
  if (family.isEmpty()) return;
  auto* label = qobject_cast<QLabel*>(control);
  QCOMPARE(label->text(), text);
  QCOMPARE(label->font().family(), family);
  QCOMPARE(label->font().pointSizeF(), points);
  QCOMPARE(label->font().underline(), underline);
  QCOMPARE(label->font().bold(), underline);  // the two links are bold, the captions not
  QCOMPARE(label->palette().color(QPalette::WindowText), color);
}

void WelcomeTest::windowAsDesigned() {
  Welcome w;
  frmdropfiles* win = w.window;
  QCOMPARE(win->windowTitle(), QStringLiteral("Welcome"));
  const double dpi = twips::dpiOf(win);
  const QSize client(twips::toPixels(12660, dpi), twips::toPixels(8490, dpi));
  QCOMPARE(win->size(), client);
  QCOMPARE(win->minimumSize(), client);
  QCOMPARE(win->maximumSize(), client);
  QVERIFY(!(win->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QCOMPARE(win->palette().color(QPalette::Window), QColor(Qt::white));
  QVERIFY(child(win, "picNoDragAndDrop")->isHidden());
  QVERIFY(child(win, "lstFiles")->isHidden());
  QCOMPARE(win->focusWidget(), child(win, "cmdOk"));
  QCOMPARE(child<QPushButton>(win, "cmdOk")->text(), QStringLiteral("Ok"));
  QCOMPARE(child<QPushButton>(win, "cmdUnload")->text(), QStringLiteral("Cancel"));
  // Tab runs Ok, Cancel, then back to Ok while the picker is hidden.
  QCOMPARE(child(win, "cmdOk")->nextInFocusChain(), child(win, "cmdUnload"));
  // The three lists start at the working folder.
  QCOMPARE(child<FolderList>(win, "Dir1")->path(), QDir::toNativeSeparators(QDir::currentPath()));
  QCOMPARE(child<HtmlFileList>(win, "File1")->path(),
           QDir::toNativeSeparators(QDir::currentPath()));
}

void WelcomeTest::pictureIsSquareAndDrawn() {
  const QImage picture = drawWelcomePicture();
  QCOMPARE(picture.size(), QSize(178, 178));
  // White at the corners to sit on the window; drawn in between.
  QCOMPARE(picture.pixelColor(0, 0), QColor(Qt::white));
  QCOMPARE(picture.pixelColor(177, 177), QColor(Qt::white));
  QSet<QRgb> colours;
  for (int y = 0; y < 178; y += 3)
    for (int x = 0; x < 178; x += 3) colours.insert(picture.pixel(x, y));
  QVERIFY2(colours.size() > 10, "the picture is (nearly) blank");
  Welcome w;
  QCOMPARE(child<QLabel>(w.window, "Image1")->pixmap().size(), QSize(178, 178));
  // At 200 % it is drawn with twice the pixels, the same picture in the same place.
  const QImage sharp = drawWelcomePicture(2.0);
  QCOMPARE(sharp.size(), QSize(356, 356));
  QCOMPARE(sharp.deviceIndependentSize(), QSizeF(178, 178));
  QCOMPARE(
      sharp.scaled(178, 178, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(89, 70),
      picture.pixelColor(89, 70));
}

void WelcomeTest::dropsLandAnywhereInBothModes_data() {
  QTest::addColumn<bool>("picker");
  QTest::addColumn<QString>("over");
  for (const char* name : {"Label2", "Label1", "Image1", "Label4", "cmdOk"})
    QTest::newRow(name) << false << QString::fromLatin1(name);
  for (const char* name : {"Label6", "File1", "Dir1", "Drive1"})
    QTest::addRow("picker %s", name) << true << QString::fromLatin1(name);
}

void WelcomeTest::dropsLandAnywhereInBothModes() {
  QFETCH(bool, picker);
  QFETCH(QString, over);
  Welcome w;
  if (picker) w.window->Label5_Click();
  w.drop({"/p/a.htm", "/p/b.txt"}, over.toLatin1().constData());
  QCOMPARE(itemsOf(child<QListWidget>(w.window, "lstFiles")), QStringList{"/p/a.htm"});
  QCOMPARE(child<QLabel>(w.window, "Label1")->text(), modOle::kDone);
  QVERIFY(w.pageList.count() == 0);  // nothing reaches the page list before "Ok"
}

void WelcomeTest::okHandsOverTheDroppedPages() {
  Welcome w({"/old/one.htm"});
  w.drop({"/p/a.htm", "/p/b.txt"});
  w.drop({"/p/c.html", "/p/a.htm"});
  // A visit to the picker and back keeps what was dropped.
  w.window->Label5_Click();
  w.window->Label7_Click();
  w.press("cmdOk");
  QCOMPARE(itemsOf(w.pageList), (QStringList{"/old/one.htm", "/p/a.htm", "/p/c.html", "/p/a.htm"}));
  QCOMPARE(w.pageList.currentIndex(), 3);
  QCOMPARE(w.pageList.currentText(), QStringLiteral("/p/a.htm"));
  QTRY_VERIFY(w.window.isNull());
}

void WelcomeTest::okInPickerModeHandsOverEveryListedFile() {
  QTemporaryDir dir;
  for (const char* name : {"b.htm", "a.html", "INDEX.HTM"})
    testfiles::write(dir.filePath(name), "x");
  Welcome w;
  w.drop({"/p/dropped.htm"});
  w.toPicker(dir.path());
  w.press("cmdOk");
  QCOMPARE(itemsOf(w.pageList),
           (QStringList{in(dir, "a.html"), in(dir, "b.htm"), in(dir, "INDEX.HTM")}));
  QCOMPARE(w.pageList.currentIndex(), 2);
  QTRY_VERIFY(w.window.isNull());
}

void WelcomeTest::pickerListsOnlyVisibleHtmlFilesByName() {
  QTemporaryDir dir;
  for (const char* name : {"zeta.HTML", "Alpha.htm", "beta.Htm", "notes.txt", "page.htm.bak",
                           ".hidden.htm", "sales.htmx"})
    testfiles::write(dir.filePath(name), "x");
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.htm")));
  HtmlFileList files;
  files.setPath(dir.path());
  QCOMPARE(itemsOf(&files), (QStringList{"Alpha.htm", "beta.Htm", "zeta.HTML"}));
  files.setPath(dir.filePath(QStringLiteral("missing")));
  QCOMPARE(files.count(), 0);
}

void WelcomeTest::pickerJoinsWithOneSeparator_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("joined");
  QTest::newRow("folder") << "/pages"
                          << "/pages/a.htm";
  QTest::newRow("drive root") << "/"
                              << "/a.htm";
  QTest::newRow("spaces and non-ASCII kept")
      << QString::fromUtf8("/my pagés") << QString::fromUtf8("/my pagés/a.htm");
}

void WelcomeTest::pickerJoinsWithOneSeparator() {
  QFETCH(QString, folder);
  QFETCH(QString, joined);
  HtmlFileList files;
  files.setPath(folder);
  files.clear();
  files.addItem(QStringLiteral("a.htm"));
  QCOMPARE(files.fullPaths(), QStringList{QDir::toNativeSeparators(joined)});
}

void WelcomeTest::okWithNothingSelectsTheLastEntry_data() {
  QTest::addColumn<QStringList>("pages");
  QTest::addColumn<int>("selected");
  QTest::newRow("five entries") << QStringList{"/1.htm", "/2.htm", "/3.htm", "/4.htm", "/5.htm"}
                                << 4;
  QTest::newRow("empty page list") << QStringList() << -1;
}

void WelcomeTest::okWithNothingSelectsTheLastEntry() {
  QFETCH(QStringList, pages);
  QFETCH(int, selected);
  Welcome w(pages);
  w.pageList.setCurrentIndex(0);
  w.pageList.setEditText(QStringLiteral("typed"));
  w.press("cmdOk");
  QCOMPARE(itemsOf(w.pageList), pages);
  QCOMPARE(w.pageList.currentIndex(), selected);
  if (selected >= 0) QCOMPARE(w.pageList.currentText(), pages.last());
  QTRY_VERIFY(w.window.isNull());
}

void WelcomeTest::otherWaysOutHandNothingOver_data() {
  QTest::addColumn<QString>("way");
  QTest::newRow("Cancel") << "cancel";
  QTest::newRow("Esc") << "esc";
  QTest::newRow("close box") << "close";
}

void WelcomeTest::otherWaysOutHandNothingOver() {
  QFETCH(QString, way);
  Welcome w({"/old/one.htm"});
  w.drop({"/p/a.htm"});
  if (way == u"cancel") w.press("cmdUnload");
  if (way == u"esc") QTest::keyClick(child(w.window, "cmdOk"), Qt::Key_Escape);
  if (way == u"close") w.window->close();
  QTRY_VERIFY(w.window.isNull());
  QCOMPARE(itemsOf(w.pageList), QStringList{"/old/one.htm"});
  QCOMPARE(w.pageList.currentIndex(), 0);
}

void WelcomeTest::folderChangeRefreshesTheFiles() {
  QTemporaryDir dir;
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
  testfiles::write(dir.filePath(QStringLiteral("top.htm")), "x");
  testfiles::write(dir.filePath(QStringLiteral("sub/inner.html")), "x");
  Welcome w;
  w.toPicker(dir.path());
  auto* files = child<HtmlFileList>(w.window, "File1");
  QCOMPARE(itemsOf(files), QStringList{"top.htm"});
  // Enter on a subfolder opens it, as a double-click does.
  auto* folders = child<FolderList>(w.window, "Dir1");
  const auto found =
      folders->findItems(QStringLiteral("sub"), Qt::MatchExactly | Qt::MatchRecursive);
  QCOMPARE(found.size(), 1);
  folders->setCurrentItem(found.first());
  QTest::keyClick(folders, Qt::Key_Return);
  QCOMPARE(folders->path(), in(dir, "sub"));
  QCOMPARE(itemsOf(files), QStringList{"inner.html"});
}

void WelcomeTest::unreadableDriveOrFolderKeepsTheLists() {
  QTemporaryDir dir;
  testfiles::write(dir.filePath(QStringLiteral("a.htm")), "x");
  Welcome w;
  w.toPicker(dir.path());
  auto* drives = child<DriveList>(w.window, "Drive1");
  drives->addItem(QStringLiteral("/no-such-volume"), QStringLiteral("/no-such-volume"));
  drives->setCurrentIndex(drives->count() - 1);
  auto* folders = child<FolderList>(w.window, "Dir1");
  QCOMPARE(folders->path(), QDir::toNativeSeparators(dir.path()));
  QVERIFY(!folders->setPath(dir.filePath(QStringLiteral("a.htm"))));  // a file is no folder
  QVERIFY(!folders->setPath(dir.filePath(QStringLiteral("gone"))));
  QCOMPARE(folders->path(), QDir::toNativeSeparators(dir.path()));
  QCOMPARE(itemsOf(child<HtmlFileList>(w.window, "File1")), QStringList{"a.htm"});
}

void WelcomeTest::unloadStopsTakingDrops() {
  Welcome w;
  w.window->setAttribute(Qt::WA_DeleteOnClose, false);
  w.drop({"/p/a.htm"});
  w.window->close();
  QVERIFY(!w.window->acceptDrops());
  w.window->show();  // shown again without a fresh load: no drops taken
  const std::unique_ptr<QMimeData> data(fileDragData({"/p/b.htm"}));
  QCOMPARE(simulateDrop(w.window, data.get()), Qt::IgnoreAction);
  QCOMPARE(child<QListWidget>(w.window, "lstFiles")->count(), 1);
}

QV_TEST_MAIN(WelcomeTest)
#include "welcome_test.moc"
