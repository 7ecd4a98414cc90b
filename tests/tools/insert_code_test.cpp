#include "tools/insert_code.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "engine/page_scheme.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/tool_host.h"
#include "support/write_denied.h"

namespace {

template <typename W>
W* child(QWidget* window, const char* name) {
  return window->findChild<W*>(QString::fromLatin1(name));
}

// Whatever a control shows must fit in it with this machine's fonts.
bool showsWhole(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap())
    return label->heightForWidth(label->width()) <= label->height();
  return w->sizeHint().width() <= w->width();
}

}  // namespace

// The Insert Code window on its own, with a page list and a real browser
// standing in for the main window's.
class InsertCodeTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void controlsAndLayout();
  void insertion_data();
  void insertion();
  void worksOnThePageCurrentAtEachClick();
  void typedLineBreaksArePlainLineBreaks();
  void failure_data();
  void failure();
  void linkBuilder_data();
  void linkBuilder();
  void closeButtonUnloads();

 private:
  // Shows path in the browser and waits until it has loaded.
  void show(const QString& path);
  void click(const char* button) {
    QTest::mouseClick(child<QPushButton>(form_, button), Qt::LeftButton);
  }

  QWidget host_;
  QComboBox* pageList_ = nullptr;
  WebBrowser* browser_ = nullptr;
  QPointer<Form3> form_;
  QTemporaryDir dir_;
};

void InsertCodeTest::initTestCase() {
  tooltest::buildHost(host_, pageList_, browser_);
  QVERIFY(dir_.isValid());
}

void InsertCodeTest::init() {
  form_ = new Form3(pageList_, browser_, &host_);
  form_->show();
}

void InsertCodeTest::cleanup() { delete form_; }

void InsertCodeTest::show(const QString& path) {
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  browser_->Navigate2(path);
  QVERIFY(loaded.wait(15000));
  QCOMPARE(browser_->LocationPath(), path);
}

void InsertCodeTest::controlsAndLayout() {
  QCOMPARE(form_->objectName(), QStringLiteral("Form3"));
  QCOMPARE(form_->windowTitle(), QStringLiteral("Insert Code"));
  QVERIFY(!form_->isModal());
  QCOMPARE(child<QLineEdit>(form_, "txtToFind")->text(), QStringLiteral("[BUYBUTTON]"));
  QCOMPARE(child<QPlainTextEdit>(form_, "txtToReplace")->toPlainText(), QString());
  QCOMPARE(child<QLineEdit>(form_, "txtLinkUrl")->text(), QStringLiteral("http://"));
  QCOMPARE(child<QLineEdit>(form_, "txtLinkTitle")->text(), QString());
  QCOMPARE(child<QPushButton>(form_, "Command1")->text(), QStringLiteral("Insert HTML Code"));
  QCOMPARE(child<QPushButton>(form_, "Command3")->text(), QStringLiteral("Add Link to HTML Code"));
  QCOMPARE(child<QPushButton>(form_, "Command2")->text(), QStringLiteral("Close"));
  QCOMPARE(form_->findChildren<QPlainTextEdit*>().size(), 1);  // txtHTMLFile is no widget

  // Labels by text: the bold ones, and the instructions inside their frame.
  auto label = [this](const QString& text) -> QLabel* {
    for (QLabel* l : form_->findChildren<QLabel*>())
      if (l->text() == text) return l;
    return nullptr;
  };
  QLabel* tagLabel = label(QStringLiteral("Tag to Find:"));
  QLabel* codeLabel = label(QStringLiteral("Replace with the following HTML code:"));
  QLabel* linkHeading = label(QStringLiteral("Want to Add a Link to the HTML Code?"));
  QLabel* urlLabel = label(QStringLiteral("Enter the URL:"));
  QLabel* titleLabel = label(QStringLiteral("Enter the Link Title:"));
  QLabel* howTo = label(QStringLiteral(
      "You can use this module to insert a buy button code or any other kind of code (opt-in form "
      "code etc).  To use this function, first insert the tag ([BUYBUTTON] or another one that you "
      "can create), inside your document. "));
  QLabel* then =
      label(QStringLiteral("Then enter the HTML code that will be used to replace your "
                           "tag and click the \"Insert HTML Code\" button."));
  for (QLabel* l : {tagLabel, codeLabel, linkHeading, urlLabel, titleLabel, howTo, then})
    QVERIFY(l);
  for (QLabel* l : {tagLabel, codeLabel, linkHeading}) QVERIFY(l->font().bold());
  auto* frame = child<QGroupBox>(form_, "Frame1");
  QCOMPARE(frame->title(), QStringLiteral("Instructions"));
  QVERIFY(frame->font().bold());
  QVERIFY(!howTo->font().bold());
  QCOMPARE(howTo->parentWidget(), frame);
  QCOMPARE(then->parentWidget(), frame);

  // Top to bottom: tag row, code box, link builder, instructions, buttons.
  auto* find = child<QWidget>(form_, "txtToFind");
  auto* code = child<QWidget>(form_, "txtToReplace");
  auto* url = child<QWidget>(form_, "txtLinkUrl");
  auto* title = child<QWidget>(form_, "txtLinkTitle");
  auto* addLink = child<QWidget>(form_, "Command3");
  auto* insert = child<QWidget>(form_, "Command1");
  auto* close = child<QWidget>(form_, "Command2");
  QVERIFY(tagLabel->geometry().right() < find->x());
  QVERIFY(find->geometry().bottom() < codeLabel->y());
  QVERIFY(codeLabel->geometry().bottom() < code->y());
  QVERIFY(code->width() > form_->width() * 9 / 10);
  QVERIFY(code->geometry().bottom() < linkHeading->y());
  QVERIFY(linkHeading->geometry().bottom() < urlLabel->y());
  QCOMPARE(url->y(), title->y());
  QVERIFY(url->geometry().right() < title->x() && title->geometry().right() < addLink->x());
  QVERIFY(addLink->geometry().bottom() < frame->y());
  QVERIFY(frame->geometry().bottom() < insert->y());
  QCOMPARE(insert->y(), close->y());
  QVERIFY(insert->geometry().right() < close->x());

  for (QWidget* w : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVERIFY2(form_->rect().contains(w->geometry()), qPrintable(w->objectName()));
    QVERIFY2(showsWhole(w), qPrintable(w->objectName()));
  }
  for (QLabel* l : {howTo, then}) {
    QVERIFY(frame->rect().contains(l->geometry()));
    QVERIFY(showsWhole(l));
  }

  // The code box is first in the tab order: it has the focus on opening.
  form_->activateWindow();
  QTRY_COMPARE(form_->focusWidget(), code);
  // Tab leaves the code box for the tag box rather than typing a tab.
  QTest::keyClick(code, Qt::Key_Tab);
  QCOMPARE(form_->focusWidget(), find);
  QCOMPARE(child<QPlainTextEdit>(form_, "txtToReplace")->toPlainText(), QString());
}

void InsertCodeTest::insertion_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("tag");
  QTest::addColumn<QString>("code");
  QTest::addColumn<QByteArray>("expected");

  const QByteArray head = "<html><head><meta charset=\"utf-8\"></head><body>";
  const QString button =
      QStringLiteral("<form action=\"https://pay.example\"><input type=submit></form>");
  QTest::newRow("three tags replaced in one click")
      << head + "<p>[BUYBUTTON]</p>[BUYBUTTON]<div>[BUYBUTTON]</div>"
      << "[BUYBUTTON]" << button
      << head + "<p>" + button.toUtf8() + "</p>" + button.toUtf8() + "<div>" + button.toUtf8() +
             "</div>";
  QTest::newRow("no tag: written back unchanged")
      << head + "<p>hello</p>"
      << "[BUYBUTTON]" << button << head + "<p>hello</p>";
  QTest::newRow("empty tag: written back unchanged")
      << head + "<p>[BUYBUTTON]</p>" << QString() << button << head + "<p>[BUYBUTTON]</p>";
  QTest::newRow("empty code box removes every tag") << head + "a[BUYBUTTON]b[BUYBUTTON]"
                                                    << "[BUYBUTTON]" << QString() << head + "ab";
  QTest::newRow("code kept as typed: lines, tabs, no-break space")
      << head + "[BUYBUTTON]"
      << "[BUYBUTTON]" << QStringLiteral("<p>\n\tA\u00A0B</p>\n")
      << head +
             "<p>\n\tA\xC2\xA0"
             "B</p>\n";
  QTest::newRow("non-ASCII code into a windows-1252 page: references")
      << QByteArray(
             "<html><head><meta charset=windows-1252></head>\r\n<p>caf\xE9 [BUYBUTTON]\x80</p>\r\n")
      << "[BUYBUTTON]" << QStringLiteral("<b>Größe – 9 €</b>")
      << QByteArray(
             "<html><head><meta charset=windows-1252></head>\r\n<p>caf\xE9 <b>Gr&#246;&#223;e "
             "&#8211; 9 &#8364;</b>\x80</p>\r\n");
  QTest::newRow("UTF-8 page with BOM and CRLF keeps both")
      << QByteArray("\xEF\xBB\xBF<p>\xC3\xA9t\xC3\xA9\r\n[BUYBUTTON]\r\n</p>") << "[BUYBUTTON]"
      << QStringLiteral("<b>€</b>")
      << QByteArray("\xEF\xBB\xBF<p>\xC3\xA9t\xC3\xA9\r\n<b>\xE2\x82\xAC</b>\r\n</p>");
}

void InsertCodeTest::insertion() {
  QFETCH(QByteArray, page);
  QFETCH(QString, tag);
  QFETCH(QString, code);
  QFETCH(QByteArray, expected);

  const QString path = dir_.filePath(QStringLiteral("sales.htm"));
  testfiles::write(path, page);
  pageList_->setEditText(path);
  child<QLineEdit>(form_, "txtToFind")->setText(tag);
  child<QPlainTextEdit>(form_, "txtToReplace")->setPlainText(code);

  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  click("Command1");
  QCOMPARE(testfiles::read(path), expected);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Done!"));
  QCOMPARE(rec.calls[0].title, QStringLiteral("Done"));
  QCOMPARE(rec.calls[0].icon, MsgIcon::Information);
  QCOMPARE(rec.calls[0].buttons, MsgButtons::OkOnly);
  QVERIFY(loaded.wait(15000));
  QCOMPARE(browser_->LocationPath(), path);
  // The window stays open with its texts as they were.
  QVERIFY(form_->isVisible());
  QCOMPARE(child<QLineEdit>(form_, "txtToFind")->text(), tag);
  QCOMPARE(child<QPlainTextEdit>(form_, "txtToReplace")
               ->document()
               ->toRawText()
               .replace(QChar::ParagraphSeparator, QLatin1Char('\n')),
           code);
}

void InsertCodeTest::typedLineBreaksArePlainLineBreaks() {
  const QString path = dir_.filePath(QStringLiteral("typed.htm"));
  testfiles::write(path, "x[BUYBUTTON]y");
  pageList_->setEditText(path);
  auto* box = child<QPlainTextEdit>(form_, "txtToReplace");
  box->setFocus();
  QTest::keyClicks(box, "a");
  QTest::keyClick(box, Qt::Key_Return);
  QTest::keyClicks(box, "b");
  QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(box, "c");
  MsgBoxRecorder rec;
  click("Command1");
  QCOMPARE(testfiles::read(path), QByteArray("xa\nb\ncy"));
}

void InsertCodeTest::worksOnThePageCurrentAtEachClick() {
  const QString a = dir_.filePath(QStringLiteral("a.htm"));
  const QString b = dir_.filePath(QStringLiteral("b.htm"));
  testfiles::write(a, "A [BUYBUTTON]");
  testfiles::write(b, "B [BUYBUTTON]");
  child<QPlainTextEdit>(form_, "txtToReplace")->setPlainText(QStringLiteral("<i>[BUYBUTTON]</i>"));

  MsgBoxRecorder rec;
  QSignalSpy loaded(browser_, &WebBrowser::DownloadComplete);
  pageList_->setEditText(a);
  click("Command1");
  QCOMPARE(testfiles::read(a), QByteArray("A <i>[BUYBUTTON]</i>"));
  QVERIFY(loaded.wait(15000));
  QCOMPARE(browser_->LocationPath(), a);
  // The main window stays usable: another page is chosen between two clicks.
  pageList_->setEditText(b);
  click("Command1");
  QCOMPARE(testfiles::read(b), QByteArray("B <i>[BUYBUTTON]</i>"));
  QCOMPARE(testfiles::read(a), QByteArray("A <i>[BUYBUTTON]</i>"));
  QVERIFY(loaded.wait(15000));
  QCOMPARE(browser_->LocationPath(), b);
  // Again on the same page: the tag that came in with the code is replaced.
  click("Command1");
  QCOMPARE(testfiles::read(b), QByteArray("B <i><i>[BUYBUTTON]</i></i>"));
  QCOMPARE(rec.calls.size(), 3);
  QVERIFY(loaded.wait(15000));
}

void InsertCodeTest::failure_data() {
  QTest::addColumn<QString>("page");  // relative to the test folder
  QTest::addColumn<bool>("readOnly");
  QTest::addColumn<QString>("prompt");  // what the message starts with

  QTest::newRow("page deleted meanwhile")
      << "gone.htm" << false << "Could not read gone.htm: the file does not exist.";
  QTest::newRow("folder gone") << "nofolder/page.htm" << false
                               << "Could not read page.htm: the file does not exist.";
  QTest::newRow("page is a folder")
      << "folder.htm" << false << "Could not read folder.htm: it is a folder, not a file.";
  QTest::newRow("no page name") << QString() << false
                                << "Could not read the page: no file name was given.";
  QTest::newRow("read-only file") << "locked.htm" << true
                                  << "Could not save locked.htm: the file is read-only.";
}

// A page that cannot be read or written: the message names the file and the
// reason, nothing is written, no "Done!" and the browser is not sent anywhere.
void InsertCodeTest::failure() {
  QFETCH(QString, page);
  QFETCH(bool, readOnly);
  QFETCH(QString, prompt);

  QTemporaryDir dir;
  const QString marker = dir.filePath(QStringLiteral("marker.html"));
  testfiles::write(marker, "<p>shown before</p>");
  QDir(dir.path()).mkdir(QStringLiteral("folder.htm"));
  const QByteArray content = "<p>[BUYBUTTON]</p>";
  const QString path = page.isEmpty() ? QString() : dir.filePath(page);
  if (readOnly) testfiles::write(path, content);
  show(marker);
  pageList_->setEditText(path);
  child<QPlainTextEdit>(form_, "txtToReplace")->setPlainText(QStringLiteral("<b>code</b>"));

  MsgBoxRecorder rec;
  {
    const WriteDenied denied(readOnly ? QStringList{path} : QStringList{}, {dir.path()});
    if (!denied.active()) QSKIP("cannot take write access away from this process");
    click("Command1");
  }
  QCOMPARE(rec.calls.size(), 1);
  QVERIFY2(rec.calls[0].prompt.startsWith(prompt), qPrintable(rec.calls[0].prompt));
  QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
  if (readOnly) QCOMPARE(testfiles::read(path), content);
  if (!readOnly && !page.isEmpty()) QVERIFY(!QFileInfo(path).isFile());
  // No reload was asked for: the browser's last request is still the marker.
  QCOMPARE(browser_->view()->page()->requestedUrl(), pagescheme::urlOf(marker));
  QVERIFY(form_->isVisible());
}

void InsertCodeTest::linkBuilder_data() {
  QTest::addColumn<QString>("box");
  QTest::addColumn<int>("anchor");
  QTest::addColumn<int>("caret");
  QTest::addColumn<QString>("url");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("expected");

  QTest::newRow("initial boxes into the empty code box")
      << QString() << 0 << 0 << "http://" << QString() << "<a href=\"http://\"></a>";
  QTest::newRow("at the caret") << "<p></p>" << 3 << 3 << "http://x.example"
                                << "X"
                                << "<p><a href=\"http://x.example\">X</a></p>";
  QTest::newRow("replaces the selection") << "<p>OLD</p>" << 3 << 6 << "u"
                                          << "t"
                                          << "<p><a href=\"u\">t</a></p>";
  QTest::newRow("selection made backwards") << "<p>OLD</p>" << 6 << 3 << "u"
                                            << "t"
                                            << "<p><a href=\"u\">t</a></p>";
}

void InsertCodeTest::linkBuilder() {
  QFETCH(QString, box);
  QFETCH(int, anchor);
  QFETCH(int, caret);
  QFETCH(QString, url);
  QFETCH(QString, title);
  QFETCH(QString, expected);

  auto* code = child<QPlainTextEdit>(form_, "txtToReplace");
  if (!box.isEmpty()) {
    code->setPlainText(box);
    QTextCursor cursor = code->textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(caret, QTextCursor::KeepAnchor);
    code->setTextCursor(cursor);
  }
  auto* urlBox = child<QLineEdit>(form_, "txtLinkUrl");
  auto* titleBox = child<QLineEdit>(form_, "txtLinkTitle");
  urlBox->setText(url);
  titleBox->setText(title);

  MsgBoxRecorder rec;
  click("Command3");
  QCOMPARE(code->toPlainText(), expected);
  const int linkEnd =
      std::min(anchor, caret) + int(expected.size() - box.size()) + std::abs(caret - anchor);
  QCOMPARE(code->textCursor().position(), linkEnd);
  QVERIFY(!code->textCursor().hasSelection());
  QCOMPARE(urlBox->text(), url);
  QCOMPARE(titleBox->text(), title);
  QVERIFY(rec.calls.isEmpty());
}

void InsertCodeTest::closeButtonUnloads() {
  click("Command2");
  QVERIFY(!form_->isVisible());
  QTRY_VERIFY(form_.isNull());
}

QV_TEST_MAIN(InsertCodeTest)
#include "insert_code_test.moc"
