#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editor/web_browser.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/tool_host.h"
#include "tools/find_window.h"

namespace {

template <typename W>
W* child(QWidget* window, const char* name) {
  return window->findChild<W*>(QString::fromLatin1(name));
}

// A phrase that stands in the text, an attribute, a comment and a script.
const QByteArray kSales =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Acme Corp</title>\n"
    "<script>var seller = \"Acme Corp\";</script></head>\n"
    "<body><!-- made by Acme Corp -->\n<img src=\"logo.png\" alt=\"Acme Corp\">\n"
    "<p>Welcome to Acme\n  Corp &amp; friends.</p></body></html>\n";
const QByteArray kSalesDone =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Zed &amp; Co</title>\n"
    "<script>var seller = \"Acme Corp\";</script></head>\n"
    "<body><!-- made by Acme Corp -->\n<img src=\"logo.png\" alt=\"Acme Corp\">\n"
    "<p>Welcome to Zed &amp; Co &amp; friends.</p></body></html>\n";
// An old page: windows-1252 and CRLF.
const QByteArray kTerms =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
    "</head>\r\n<body>\r\n<p>Acme&nbsp;Corp \x96 caf\xE9</p>\r\n<p>ACME "
    "CORP</p>\r\n</body></html>\r\n";
const QByteArray kTermsDone =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
    "</head>\r\n<body>\r\n<p>Zed &amp; Co \x96 caf\xE9</p>\r\n<p>Zed &amp; "
    "Co</p>\r\n</body></html>\r\n";
const QByteArray kThanks = "<html><body><p>Thank you!</p></body></html>";

}  // namespace

// The Find and Replace window with a page list and a real browser standing in
// for the main window's.
class FindReplaceTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void controls();
  void replaceAcrossPages();
  void uncheckedMatchStays();
  void currentPageOnly();
  void failuresArePerPage();
  void closeStopsALongSearch();

 private:
  void find(const QString& text);
  QString page(const char* name, const QByteArray& bytes) {
    const QString path = dir_.filePath(QString::fromLatin1(name));
    testfiles::write(path, bytes);
    return path;
  }
  void click(const char* button) {
    QTest::mouseClick(child<QPushButton>(form_, button), Qt::LeftButton);
  }
  QTreeWidget* list() { return child<QTreeWidget>(form_, "lstMatches"); }
  QString summary() { return child<QLabel>(form_, "lblSummary")->text(); }

  QWidget host_;
  QComboBox* pageList_ = nullptr;
  WebBrowser* browser_ = nullptr;
  QPointer<frmFind> form_;
  QTemporaryDir dir_;
};

void FindReplaceTest::initTestCase() {
  tooltest::buildHost(host_, pageList_, browser_);
  QVERIFY(dir_.isValid());
}

void FindReplaceTest::init() {
  pageList_->clear();
  form_ = new frmFind(pageList_, browser_, &host_);
  form_->show();
}

void FindReplaceTest::cleanup() { delete form_; }

void FindReplaceTest::find(const QString& text) {
  child<QLineEdit>(form_, "txtFind")->setText(text);
  QSignalSpy done(form_.data(), &frmFind::searchDone);
  click("cmdFind");
  if (done.isEmpty()) QVERIFY(done.wait(30000));
}

void FindReplaceTest::controls() {
  QCOMPARE(form_->windowTitle(), QStringLiteral("Find and Replace"));
  QVERIFY(!form_->isModal());
  QVERIFY(child<QRadioButton>(form_, "optText")->isChecked());
  QCOMPARE(child<QRadioButton>(form_, "optText")->text(), QStringLiteral("Text on the page"));
  QCOMPARE(child<QRadioButton>(form_, "optCode")->text(), QStringLiteral("HTML code"));
  QVERIFY(child<QCheckBox>(form_, "chkAllPages")->isChecked());
  QCOMPARE(child<QCheckBox>(form_, "chkAllPages")->text(), QStringLiteral("All pages in the list"));
  QVERIFY(!child<QCheckBox>(form_, "chkMatchCase")->isChecked());
  QVERIFY(!child<QCheckBox>(form_, "chkWholeWord")->isChecked());
  QCOMPARE(child<QPushButton>(form_, "cmdFind")->text(), QStringLiteral("Find"));
  QCOMPARE(child<QPushButton>(form_, "cmdReplace")->text(), QStringLiteral("Replace Checked"));
  QCOMPARE(child<QPushButton>(form_, "cmdClose")->text(), QStringLiteral("Close"));
  QVERIFY(child<QLineEdit>(form_, "txtReplace"));
  // Nothing found yet: nothing to replace.
  QVERIFY(!child<QPushButton>(form_, "cmdReplace")->isEnabled());
  for (QWidget* w : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    QVERIFY2(form_->rect().contains(w->geometry()), qPrintable(w->objectName()));
  for (const char* name : {"optText", "optCode", "chkAllPages", "chkMatchCase", "chkWholeWord",
                           "cmdFind", "cmdReplace", "cmdClose"}) {
    QWidget* w = child<QWidget>(form_, name);
    QVERIFY2(w->sizeHint().width() <= w->width(), name);
  }
}

// The old seller's name across the list: every match is listed, only visible
// text is changed, every other byte of every page stays.
void FindReplaceTest::replaceAcrossPages() {
  const QString sales = page("sales.htm", kSales);
  const QString terms = page("terms.html", kTerms);
  const QString thanks = page("thanks.html", kThanks);
  // The same page twice in the list is searched once.
  pageList_->addItems({sales, terms, thanks, sales});
  pageList_->setEditText(terms);

  find(QStringLiteral("acme corp"));
  QCOMPARE(summary(), QStringLiteral("4 matches in 2 pages"));
  QCOMPARE(list()->topLevelItemCount(), 4);
  const QTreeWidgetItem* first = list()->topLevelItem(0);
  QCOMPARE(first->text(0), QStringLiteral("sales.htm"));
  QCOMPARE(first->text(1), QStringLiteral("2"));
  QCOMPARE(first->checkState(0), Qt::Checked);
  QVERIFY(first->text(2).contains(QStringLiteral("\u00BBAcme Corp\u00AB")));
  QCOMPARE(list()->topLevelItem(1)->text(1), QStringLiteral("6"));
  QVERIFY(list()->topLevelItem(1)->text(2).contains(QStringLiteral("\u00BBAcme Corp\u00AB &")));
  QCOMPARE(list()->topLevelItem(2)->text(0), QStringLiteral("terms.html"));
  QCOMPARE(list()->topLevelItem(2)->text(1), QStringLiteral("3"));

  child<QLineEdit>(form_, "txtReplace")->setText(QStringLiteral("Zed & Co"));
  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  QSignalSpy done(form_.data(), &frmFind::replaceDone);
  click("cmdReplace");
  if (done.isEmpty()) QVERIFY(done.wait(30000));
  QCOMPARE(testfiles::read(sales), kSalesDone);
  QCOMPARE(testfiles::read(terms), kTermsDone);
  QCOMPARE(testfiles::read(thanks), kThanks);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].title, QStringLiteral("Find and Replace"));
  QCOMPARE(rec.calls[0].icon, MsgIcon::Information);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Replaced 4 matches in 2 pages.\n\n"
                                               "sales.htm: replaced 2\nterms.html: replaced 2"));
  // The matches are gone with the old bytes; the preview shows the current page.
  QCOMPARE(list()->topLevelItemCount(), 0);
  QVERIFY(!child<QPushButton>(form_, "cmdReplace")->isEnabled());
  if (loaded.isEmpty()) QVERIFY(loaded.wait(30000));
  QCOMPARE(browser_->LocationPath(), terms);

  find(QStringLiteral("acme corp"));
  QCOMPARE(summary(), QStringLiteral("No matches"));
}

void FindReplaceTest::uncheckedMatchStays() {
  const QString a = page("a.htm", "<p>Acme</p><p>Acme</p>");
  pageList_->addItem(a);
  child<QRadioButton>(form_, "optCode")->setChecked(true);
  find(QStringLiteral("<p>Acme"));
  QCOMPARE(summary(), QStringLiteral("2 matches in 1 page"));
  list()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  child<QLineEdit>(form_, "txtReplace")->setText(QStringLiteral("<p><b>Zed</b>"));
  MsgBoxRecorder rec;
  QSignalSpy done(form_.data(), &frmFind::replaceDone);
  click("cmdReplace");
  if (done.isEmpty()) QVERIFY(done.wait(30000));
  // Code mode writes the replacement as typed.
  QCOMPARE(testfiles::read(a), QByteArray("<p>Acme</p><p><b>Zed</b></p>"));
  // With every match unticked there is nothing to replace.
  find(QStringLiteral("Zed"));
  list()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  QVERIFY(!child<QPushButton>(form_, "cmdReplace")->isEnabled());
}

void FindReplaceTest::currentPageOnly() {
  const QString a = page("one.htm", "<p>Acme</p>");
  const QString b = page("two.htm", "<p>Acme</p>");
  pageList_->addItems({a, b});
  pageList_->setEditText(b);
  child<QCheckBox>(form_, "chkAllPages")->setChecked(false);
  find(QStringLiteral("Acme"));
  QCOMPARE(summary(), QStringLiteral("1 match in 1 page"));
  QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("two.htm"));
  // A page typed into an empty list is the one page there is.
  pageList_->clear();
  pageList_->setEditText(a);
  child<QCheckBox>(form_, "chkAllPages")->setChecked(true);
  find(QStringLiteral("Acme"));
  QCOMPARE(summary(), QStringLiteral("1 match in 1 page"));
  QCOMPARE(list()->topLevelItem(0)->text(0), QStringLiteral("one.htm"));
}

// A page that cannot be read or written, or that changed after the search,
// is reported and left alone; the other pages are still done.
void FindReplaceTest::failuresArePerPage() {
  const QString good = page("good.htm", "<p>Acme</p>");
  const QString locked = page("locked.htm", "<p>Acme</p>");
  const QString changed = page("changed.htm", "<p>Acme</p>");
  const QString gone = page("gone.htm", "<p>Acme</p>");
  const QString missing = dir_.filePath(QStringLiteral("missing.htm"));
  pageList_->addItems({good, locked, changed, gone, missing});
  find(QStringLiteral("Acme"));
  QCOMPARE(summary(), QStringLiteral("4 matches in 4 pages (1 page not searched)"));
  QCOMPARE(list()->topLevelItemCount(), 5);
  QVERIFY(list()->topLevelItem(4)->text(2).contains(QStringLiteral("the file does not exist")));

  QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup);
  testfiles::write(changed, "<p>Acme, edited elsewhere</p>");
  QFile::remove(gone);
  child<QLineEdit>(form_, "txtReplace")->setText(QStringLiteral("Zed"));
  MsgBoxRecorder rec;
  QSignalSpy done(form_.data(), &frmFind::replaceDone);
  click("cmdReplace");
  if (done.isEmpty()) QVERIFY(done.wait(30000));
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

  QCOMPARE(testfiles::read(good), QByteArray("<p>Zed</p>"));
  QCOMPARE(testfiles::read(locked), QByteArray("<p>Acme</p>"));
  QCOMPARE(testfiles::read(changed), QByteArray("<p>Acme, edited elsewhere</p>"));
  QVERIFY(!QFile::exists(gone));
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].icon, MsgIcon::Warning);
  QCOMPARE(rec.calls[0].prompt,
           QStringLiteral("Replaced 1 match in 1 page. 3 pages were not written.\n\n"
                          "locked.htm: failed, could not be saved: the file is read-only\n"
                          "changed.htm: failed, changed since the search\n"
                          "gone.htm: failed, could not be read: the file does not exist\n"
                          "good.htm: replaced 1"));
  QCOMPARE(summary(), QStringLiteral("Replaced 1 match in 1 page. 3 pages were not written."));
}

// Many pages: the window answers while it searches, shows how far it got,
// and Close ends the search.
void FindReplaceTest::closeStopsALongSearch() {
  const QByteArray big = QByteArray("<p>Lorem ipsum Acme dolor sit amet.</p>\n").repeated(20000);
  const QString path = page("big.htm", big);
  for (int i = 0; i < 400; ++i) pageList_->addItem(path + QStringLiteral("?") + QString::number(i));
  // Four hundred spellings of missing files are quick; a few real big pages are not.
  for (int i = 0; i < 40; ++i) {
    const QString copy = dir_.filePath(QStringLiteral("big%1.htm").arg(i));
    QFile::copy(path, copy);
    pageList_->addItem(copy);
  }
  child<QLineEdit>(form_, "txtFind")->setText(QStringLiteral("acme"));
  click("cmdFind");
  QVERIFY(form_->busy());
  // The event loop runs between slices: a timer fires while the search goes on.
  bool ticked = false;
  QTimer::singleShot(0, [&ticked] { ticked = true; });
  QTRY_VERIFY(ticked);
  QVERIFY(form_->busy());
  QPointer<frmFind> window = form_;
  QTest::mouseClick(child<QPushButton>(form_, "cmdClose"), Qt::LeftButton);
  QTRY_VERIFY(window.isNull());
}

QV_TEST_MAIN(FindReplaceTest)
#include "find_replace_test.moc"
