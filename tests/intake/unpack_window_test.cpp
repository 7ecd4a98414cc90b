#include "intake/unpack_window.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "intake/folder_list.h"
#include "intake/html_file_list.h"
#include "intake/mod_ole.h"
#include "intake/welcome.h"
#include "support/modal_steps.h"
#include "support/msg_box_recorder.h"
#include "support/simulated_drop.h"
#include "support/test_archives.h"
#include "support/test_main.h"

using testarchive::Entry;
using testarchive::Format;

namespace {

template <typename W = QWidget>
W* child(QWidget* w, const char* name) {
  return w->findChild<W*>(QString::fromLatin1(name));
}

QStringList itemsOf(const QListWidget* l) {
  QStringList all;
  for (int i = 0; i < l->count(); ++i) all.append(l->item(i)->text());
  return all;
}

void click(QWidget* window, const char* button) {
  QTest::mouseClick(child(window, button), Qt::LeftButton);
}

const QList<Entry> kProduct{{"Download Page/download.html", "<html>download</html>"},
                            {"Sales Page/index.html", "<html>sales</html>"},
                            {"Sales Page/logo.png", "png"}};

// The welcome window over a page list, shown so drops reach it.
struct Welcome {
  Welcome() {
    pageList.setEditable(true);
    window = new frmdropfiles(&pageList);
    window->show();
  }
  ~Welcome() { delete window; }
  void drop(const QStringList& paths) {
    const std::unique_ptr<QMimeData> data(fileDragData(paths));
    QCOMPARE(simulateDrop(child(window, "Label1"), data.get()), Qt::CopyAction);
  }
  QListWidget* files() { return child<QListWidget>(window, "lstFiles"); }
  QString status() { return child<QLabel>(window, "Label1")->text(); }

  QComboBox pageList;
  QPointer<frmdropfiles> window;
};

}  // namespace

class UnpackWindowTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void droppedArchiveListsItsPages();
  void cancelBeforeUnpackingLeavesNothing();
  void passwordIsAskedInTheWindow();
  void unsafeEntriesAreNamedToTheUser();
  void pickerUnpacksTheChosenArchive();

 private:
  QString pagesRoot() const { return QDir(home_.path()).filePath("Quorvane Pages"); }
  QString made(const QString& name, const QList<Entry>& entries, const QByteArray& password = {}) {
    const QString path = QDir(store_.path()).filePath(name);
    if (!testarchive::write(path, Format::Zip, entries, password)) qFatal("cannot write");
    return path;
  }
  QTemporaryDir home_, store_;
};

void UnpackWindowTest::initTestCase() {
  // The default folder is under the home folder: a temporary one here.
  qputenv("HOME", QFile::encodeName(home_.path()));
  QCOMPARE(QDir::homePath(), home_.path());
}

void UnpackWindowTest::droppedArchiveListsItsPages() {
  QDir(pagesRoot()).removeRecursively();
  const QString zip = made("Product.zip", kProduct);
  const QString page = QDir(store_.path()).filePath("extra.htm");
  QVERIFY(testarchive::writeAll(page, "<html>"));
  MsgBoxRecorder messages;
  Welcome w;
  QString offered;
  whenModal<frmUnpack>("frmUnpack", [&](frmUnpack* u) {
    offered = child<QLineEdit>(u, "txtUnpackTo")->text();
    click(u, "cmdUnpack");
  });
  w.drop({zip, page});

  const QString folder = QDir(pagesRoot()).filePath("Product");
  QTRY_COMPARE(itemsOf(w.files()), QStringList({page, folder + "/Sales Page/index.html",
                                                folder + "/Download Page/download.html"}));
  QCOMPARE(offered, folder);
  QCOMPARE(w.status(), modOle::kDone);
  QCOMPARE(testarchive::readAll(folder + "/Sales Page/index.html"),
           QByteArray("<html>sales</html>"));
  QCOMPARE(messages.calls.size(), 0);

  // A second drop of the same archive goes to a new folder beside the first.
  whenModal<frmUnpack>("frmUnpack", [&](frmUnpack* u) {
    offered = child<QLineEdit>(u, "txtUnpackTo")->text();
    click(u, "cmdCancel");
  });
  w.drop({zip});
  QTRY_COMPARE(offered, folder + " (2)");
}

void UnpackWindowTest::cancelBeforeUnpackingLeavesNothing() {
  QDir(pagesRoot()).removeRecursively();
  const QString zip = made("Product.zip", kProduct);
  Welcome w;
  whenModal<frmUnpack>("frmUnpack", [](frmUnpack* u) { click(u, "cmdCancel"); });
  w.drop({zip});
  QTRY_COMPARE(w.status(), modOle::kNoValidFiles);
  QCOMPARE(w.files()->count(), 0);
  QVERIFY(!QFileInfo::exists(pagesRoot()));
}

void UnpackWindowTest::passwordIsAskedInTheWindow() {
  QDir(pagesRoot()).removeRecursively();
  const QString zip = made("Locked.zip", {{"index.html", "<html>locked</html>"}}, "s3cret");
  MsgBoxRecorder messages;
  Welcome w;
  whenModal<frmUnpack>("frmUnpack", [](frmUnpack* u) { click(u, "cmdUnpack"); });
  whenTrue(
      [] {
        auto* u = shownModal("frmUnpack");
        return u && child(u, "txtPassword")->isVisible();
      },
      [] {
        QWidget* u = shownModal("frmUnpack");
        QTest::keyClicks(child(u, "txtPassword"), "s3cret");
        click(u, "cmdUnpack");
      });
  w.drop({zip});
  QTRY_COMPARE(itemsOf(w.files()), QStringList{QDir(pagesRoot()).filePath("Locked/index.html")});
  QCOMPARE(messages.calls.size(), 0);
}

void UnpackWindowTest::unsafeEntriesAreNamedToTheUser() {
  QDir(pagesRoot()).removeRecursively();
  const QString zip = made("Odd.zip", {{"../../.bashrc", "x"},
                                       {"link", "/etc", Entry::Symlink},
                                       {"index.html", "<html>"},
                                       {"bonus.zip", "PK"}});
  MsgBoxRecorder messages;
  Welcome w;
  whenModal<frmUnpack>("frmUnpack", [](frmUnpack* u) { click(u, "cmdUnpack"); });
  w.drop({zip});
  QTRY_COMPARE(w.files()->count(), 1);
  QCOMPARE(messages.calls.size(), 1);
  const QString told = messages.calls[0].prompt;
  for (const char* named : {"../../.bashrc", "link: it is a link", "bonus.zip"})
    QVERIFY2(told.contains(QLatin1String(named)), qPrintable(told));
}

void UnpackWindowTest::pickerUnpacksTheChosenArchive() {
  QDir(pagesRoot()).removeRecursively();
  QTemporaryDir folder;
  QVERIFY(testarchive::write(folder.filePath("Product.zip"), Format::Zip, kProduct));
  QVERIFY(testarchive::writeAll(folder.filePath("a.htm"), "<html>"));
  Welcome w;
  QTest::mouseClick(child(w.window, "Label5"), Qt::LeftButton);
  QVERIFY(child<FolderList>(w.window, "Dir1")->setPath(folder.path()));
  auto* list = child<HtmlFileList>(w.window, "File1");
  QCOMPARE(itemsOf(list), QStringList({"a.htm", "Product.zip"}));
  list->setCurrentRow(1);

  whenModal<frmUnpack>("frmUnpack", [](frmUnpack* u) { click(u, "cmdUnpack"); });
  click(w.window, "cmdOk");
  QTRY_VERIFY(!w.window);
  const QString product = QDir(pagesRoot()).filePath("Product");
  QCOMPARE(w.pageList.count(), 2);
  QCOMPARE(w.pageList.itemText(0), product + "/Sales Page/index.html");
  QCOMPARE(w.pageList.currentText(), product + "/Download Page/download.html");
}

QV_TEST_MAIN(UnpackWindowTest)
#include "unpack_window_test.moc"
