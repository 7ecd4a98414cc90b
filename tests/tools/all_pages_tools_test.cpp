// The code tools on every page of the list: Insert Code's chkAllPages and the
// head-code panel's chkAllPagesHead, with the real browser engine.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/tool_host.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

namespace {

template <typename W>
W* child(QWidget* window, const char* name) {
  return window->findChild<W*>(QString::fromLatin1(name));
}

void click(QWidget* window, const char* name) {
  QTest::mouseClick(child<QWidget>(window, name), Qt::LeftButton);
}

}  // namespace

class AllPagesToolsTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void insertCodeInEveryPage();
  void headCodeInEveryPage();
  void untickedStaysOnTheCurrentPage();

 private:
  QString page(const char* name, const QByteArray& bytes) {
    const QString path = dir_->filePath(QString::fromLatin1(name));
    testfiles::write(path, bytes);
    return path;
  }

  QWidget host_;
  QComboBox* pageList_ = nullptr;
  WebBrowser* browser_ = nullptr;
  std::unique_ptr<QTemporaryDir> dir_;
};

void AllPagesToolsTest::initTestCase() { tooltest::buildHost(host_, pageList_, browser_); }

void AllPagesToolsTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  QVERIFY(dir_->isValid());
  pageList_->clear();
}

void AllPagesToolsTest::insertCodeInEveryPage() {
  const QString sales = page("sales.htm", "<p>[BUYBUTTON]</p><p>[BUYBUTTON]</p>");
  const QString order =
      page("order.htm", "<meta charset=windows-1252>\r\n<p>caf\xE9 [BUYBUTTON]</p>\r\n");
  const QString terms = page("terms.htm", "<p>no tag here</p>");
  const QString locked = page("locked.htm", "<p>[BUYBUTTON]</p>");
  QFile::setPermissions(locked, QFile::ReadOwner);
  pageList_->addItems({sales, order, terms, locked, sales});
  pageList_->setEditText(order);

  QPointer<Form3> form = new Form3(pageList_, browser_, &host_);
  form->show();
  auto* all = child<QCheckBox>(form, "chkAllPages");
  QCOMPARE(all->text(), QStringLiteral("In every page of the list"));
  QVERIFY(!all->isChecked());
  // Under the tag box, above the code box's label.
  auto* tag = child<QWidget>(form, "txtToFind");
  QVERIFY(all->y() > tag->geometry().bottom());
  QVERIFY(all->geometry().bottom() < child<QWidget>(form, "Label2")->y());
  QVERIFY(all->sizeHint().width() <= all->width());

  all->setChecked(true);
  child<QPlainTextEdit>(form, "txtToReplace")->setPlainText(QStringLiteral("<b>Buy – now</b>"));
  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  click(form, "Command1");
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

  // An ASCII page that names no charset gets a reference, as after one page.
  QCOMPARE(testfiles::read(sales),
           QByteArray("<p><b>Buy &#8211; now</b></p><p><b>Buy &#8211; now</b></p>"));
  QCOMPARE(testfiles::read(order),
           QByteArray("<meta charset=windows-1252>\r\n<p>caf\xE9 <b>Buy &#8211; now</b></p>\r\n"));
  QCOMPARE(testfiles::read(terms), QByteArray("<p>no tag here</p>"));
  QCOMPARE(testfiles::read(locked), QByteArray("<p>[BUYBUTTON]</p>"));
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].title, QStringLiteral("Done"));
  QCOMPARE(rec.calls[0].icon, MsgIcon::Warning);
  QCOMPARE(rec.calls[0].prompt,
           QStringLiteral("3 tags replaced in 2 of 4 pages.\n\nNot done:\n"
                          "locked.htm: could not be saved: the file is read-only"));
  if (loaded.isEmpty()) QVERIFY(loaded.wait(30000));
  QCOMPARE(browser_->LocationPath(), order);
  delete form;
}

void AllPagesToolsTest::headCodeInEveryPage() {
  const QString lower =
      page("lower.htm", "<html><head><title>a</title></head><body></body></html>");
  const QString upper = page("upper.htm", "<HTML><HEAD></HEAD><BODY></BODY></HTML>");
  const QString none = page("nohead.htm", "<p>just a fragment</p>");
  pageList_->addItems({lower, upper, none});
  pageList_->setEditText(lower);

  QPointer<frmPRO> form = new frmPRO(pageList_, browser_);
  form->show();
  click(form, "lblMenu_1");
  auto* all = child<QCheckBox>(form, "chkAllPagesHead");
  QCOMPARE(all->text(), QStringLiteral("In every page of the list"));
  QVERIFY(!all->isChecked());
  QVERIFY(all->isVisible());
  QVERIFY(all->y() > child<QWidget>(form, "txtRetargeting")->geometry().bottom());
  QVERIFY(all->sizeHint().width() <= all->width());

  all->setChecked(true);
  child<QPlainTextEdit>(form, "txtRetargeting")
      ->setPlainText(QStringLiteral("<script>t()</script>"));
  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  click(form, "cmdUpdate_1");
  QCOMPARE(
      testfiles::read(lower),
      QByteArray("<html><head><title>a</title><script>t()</script></head><body></body></html>"));
  QCOMPARE(testfiles::read(upper),
           QByteArray("<HTML><HEAD><script>t()</script></head><BODY></BODY></HTML>"));
  QCOMPARE(testfiles::read(none), QByteArray("<p>just a fragment</p>"));
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt,
           QStringLiteral("Code inserted before 2 closing head tags in 2 of 3 pages.\n\nNot done:\n"
                          "nohead.htm: the <HEAD> tag is missing"));
  if (loaded.isEmpty()) QVERIFY(loaded.wait(30000));
  QCOMPARE(browser_->LocationPath(), lower);
  form->close();
}

// Unticked, each tool works on the current page alone and says "Done!".
void AllPagesToolsTest::untickedStaysOnTheCurrentPage() {
  const QString a = page("a.htm", "<head></head>[BUYBUTTON]");
  const QString b = page("b.htm", "<head></head>[BUYBUTTON]");
  pageList_->addItems({a, b});
  pageList_->setEditText(b);
  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);

  QPointer<Form3> insert = new Form3(pageList_, browser_, &host_);
  child<QPlainTextEdit>(insert, "txtToReplace")->setPlainText(QStringLiteral("X"));
  click(insert, "Command1");
  delete insert;
  QPointer<frmPRO> pro = new frmPRO(pageList_, browser_);
  pro->show();
  click(pro, "lblMenu_1");
  child<QPlainTextEdit>(pro, "txtRetargeting")->setPlainText(QStringLiteral("Y"));
  click(pro, "cmdUpdate_1");
  pro->close();

  QCOMPARE(testfiles::read(a), QByteArray("<head></head>[BUYBUTTON]"));
  QCOMPARE(testfiles::read(b), QByteArray("<head>Y</head>X"));
  QCOMPARE(rec.calls.size(), 2);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Done!"));
  QCOMPARE(rec.calls[1].prompt, QStringLiteral("Done!"));
  if (loaded.isEmpty()) QVERIFY(loaded.wait(30000));
}

QV_TEST_MAIN(AllPagesToolsTest)
#include "all_pages_tools_test.moc"
