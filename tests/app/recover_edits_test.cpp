// Unsaved edits survive a crash: kept while the user types, offered at the
// next start before the welcome window, shown being edited, and saved as
// only the edits with the usual question when the file changed meanwhile.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/unsaved_keeper.h"
#include "editor/web_browser.h"
#include "files/unsaved_edits.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

const QByteArray kPage =
    "<HTML><HEAD><TITLE>Sales</TITLE></HEAD>\r\n"
    "<BODY>\r\n<P ID=first>Buy now</P>\r\n<P ID=second>&nbsp;Second</P>\r\n</BODY></HTML>\r\n";
const QString kTyped = QStringLiteral(" Typed");

QStringList prompts(const MsgBoxRecorder& rec) {
  QStringList out;
  for (const MsgBoxCall& call : rec.calls) out << call.prompt;
  return out;
}

}  // namespace

Q_DECLARE_METATYPE(MsgAnswer)

class RecoverEditsTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void recovered_data();
  void recovered();
  void declined();

 private:
  WebBrowser* browser() { return form_->findChild<WebBrowser*>("WebBrowser1"); }
  QComboBox* combo() { return form_->findChild<QComboBox*>("Combo1"); }
  void startForm();
  // Edits the page, types, and leaves what a crash would: the kept copy.
  void crashAfterTyping();

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Form2> form_;
  QString page_;
};

void RecoverEditsTest::initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

void RecoverEditsTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  unsavededits::setRoot(dir_->filePath(QStringLiteral("unsaved")));
  page_ = dir_->filePath(QStringLiteral("sales.htm"));
  testfiles::write(page_, kPage);
}

void RecoverEditsTest::cleanup() {
  form_.reset();
  unsavededits::setRoot({});
}

void RecoverEditsTest::startForm() {
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();
  form_->show();
  QVERIFY(driver::waitLoaded(browser()));
}

void RecoverEditsTest::crashAfterTyping() {
  startForm();
  {
    QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
    combo()->addItem(page_);
    QVERIFY(loaded.wait(30000));
  }
  MsgBoxRecorder rec(MsgAnswer::Discard);
  QSignalSpy edited(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(form_->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  QVERIFY(edited.wait(30000));
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QSignalSpy kept(browser()->session()->keeper(), &UnsavedKeeper::kept);
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), kTyped));
  // Kept by the next tick: well within the time a crash may lose.
  QVERIFY(kept.wait(UnsavedKeeper::kMostAgeMs + 1000));
  QCOMPARE(kept.first().first().toString(), QString());
  const std::vector<unsavededits::Kept> pending = unsavededits::pending();
  QCOMPARE(pending.size(), std::size_t(1));
  QVERIFY(pending[0].markupNow.contains(kTyped));
  // A crash leaves the kept files behind; closing with Discard removes them.
  QDir folder(unsavededits::root());
  QMap<QString, QByteArray> files;
  for (const QString& name : folder.entryList(QDir::Files))
    files.insert(name, testfiles::read(folder.filePath(name)));
  form_.reset();
  QVERIFY(unsavededits::pending().empty());
  for (auto it = files.cbegin(); it != files.cend(); ++it)
    testfiles::write(folder.filePath(it.key()), it.value());
}

void RecoverEditsTest::recovered_data() {
  QTest::addColumn<QByteArray>("changedSince");  // what another program wrote meanwhile
  QTest::addColumn<MsgAnswer>("overwrite");      // the answer to "changed by another program"
  QTest::newRow("file as it was") << QByteArray() << MsgAnswer::Yes;
  QTest::newRow("file changed since, not overwritten")
      << QByteArray("<p>theirs</p>") << MsgAnswer::No;
  QTest::newRow("file changed since, overwritten") << QByteArray("<p>theirs</p>") << MsgAnswer::Yes;
}

void RecoverEditsTest::recovered() {
  QFETCH(QByteArray, changedSince);
  QFETCH(MsgAnswer, overwrite);
  crashAfterTyping();
  if (QTest::currentTestFailed()) return;
  if (!changedSince.isEmpty()) testfiles::write(page_, changedSince);

  startForm();
  MsgBoxRecorder rec(MsgAnswer::Yes);
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  form_->Timer1_Timer();
  QCOMPARE(prompts(rec),
           QStringList{QStringLiteral(
               "Quorvane closed before your changes to sales.htm were saved. Recover them?")});
  QVERIFY(!form_->welcomeShowing());
  QCOMPARE(combo()->currentText(), page_);
  QVERIFY(browser()->state()->editing());
  QVERIFY(loaded.wait(30000));
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QTRY_VERIFY(driver::markup(browser()).contains(kTyped));

  rec.calls.clear();
  rec.queue({MsgAnswer::Save, overwrite});
  QSignalSpy shown(browser(), &WebBrowser::DownloadComplete);
  QSignalSpy kept(browser(), &WebBrowser::EditsKept);
  QTest::mouseClick(form_->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  // Not overwritten: the edits stay in the editor; else the page is shown again.
  QVERIFY(overwrite == MsgAnswer::No ? kept.count() > 0 || kept.wait(30000) : shown.wait(30000));
  const QByteArray now = testfiles::read(page_);
  if (changedSince.isEmpty()) {
    QCOMPARE(prompts(rec), QStringList{QStringLiteral("Save changes to sales.htm?")});
  } else {
    QCOMPARE(rec.calls.size(), 2);
    QVERIFY(rec.calls[1].prompt.contains(u"was changed by another program"));
  }
  if (overwrite == MsgAnswer::No) {
    QCOMPARE(now, changedSince);
    QVERIFY(browser()->state()->editing());
    return;
  }
  // Only the typed text went into the bytes the edit began from.
  QByteArray expected = kPage;
  expected.insert(expected.indexOf("Buy now") + 7, kTyped.toLatin1());
  QCOMPARE(now, expected);
  QVERIFY(browser()->session()->lastSaveWay().minimal);
  QTRY_VERIFY(unsavededits::pending().empty());
}

void RecoverEditsTest::declined() {
  crashAfterTyping();
  if (QTest::currentTestFailed()) return;
  startForm();
  MsgBoxRecorder rec(MsgAnswer::No);
  // No: the copy goes and the program starts as always, with the welcome
  // window (modal: it is seen and closed from inside its own loop).
  bool welcomed = false;
  QTimer closer;
  connect(&closer, &QTimer::timeout, this, [&] {
    if (!form_->welcomeShowing()) return;
    welcomed = true;
    form_->findChild<QDialog*>(QStringLiteral("frmdropfiles"))->close();
  });
  closer.start(50);
  form_->Timer1_Timer();
  QVERIFY(welcomed);
  QCOMPARE(rec.calls.size(), 1);
  QVERIFY(unsavededits::pending().empty());
  QVERIFY(QDir(unsavededits::root()).entryList(QDir::Files).isEmpty());
  QCOMPARE(testfiles::read(page_), kPage);
}

QV_TEST_MAIN(RecoverEditsTest)
#include "recover_edits_test.moc"
