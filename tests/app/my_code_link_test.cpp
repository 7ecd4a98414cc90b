// My Code from the main window: the header link and Ctrl+Shift+Y, and a kept
// code put at the caret of the code view or of the page being edited.
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "app/main_window_layout.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/snippet_store.h"
#include "tools/snippets_window.h"
#include "widgets/link_label.h"

class MyCodeLinkTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
  void init();
  void cleanup();
  void linkAndKeysOpenOneWindow();
  void whileViewingItSaysWhereCodeGoes();
  void codeViewTakesItWithThePagesLineBreaks();
  void pageBeingEditedTakesItAsHtml();

 private:
  QPushButton* button(const char* name) { return form_->findChild<QPushButton*>(name); }
  WebBrowser* browser() { return form_->findChild<WebBrowser*>("WebBrowser1"); }
  QsciScintilla* code() { return form_->findChild<QsciScintilla*>("txtCode"); }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Form2> form_;
  QString page_;
};

void MyCodeLinkTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();
  form_->resize(1100, 760);
  form_->show();
  QVERIFY(driver::waitLoaded(browser()));
  page_ = testfiles::copyPage(
      QDir(testfiles::ownPagesDir()).filePath(QStringLiteral("cp1252-crlf-upper.htm")),
      dir_->path());
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  form_->findChild<QComboBox*>("Combo1")->addItem(page_);
  QVERIFY(loaded.wait(30000));
}

void MyCodeLinkTest::cleanup() {
  snippetstore::setFile({});
  MsgBoxRecorder answers(MsgAnswer::Discard);
  form_.reset();
}

void MyCodeLinkTest::linkAndKeysOpenOneWindow() {
  MsgBoxRecorder quiet;
  QTest::keyClick(form_.get(), Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(form_->findChildren<frmSnippets*>().size(), 1);
  QVERIFY(form_->findChild<frmSnippets*>("frmSnippets")->isVisible());
  auto* link = form_->findChild<LinkLabel*>("lblMyCode");
  QCOMPARE(link->parentWidget()->objectName(), QStringLiteral("Picture2"));
  QVERIFY(link->toolTip().contains(QStringLiteral("Ctrl+Shift+Y")));
  QTest::mouseClick(link, Qt::LeftButton);
  QCOMPARE(form_->findChildren<frmSnippets*>().size(), 1);
  // Left of Check, wide enough for its words.
  const MainWindowLayout l = layoutForWidth(16515);
  QCOMPARE(l.lblMyCodeLeft + MainWindowMetrics{}.lblMyCodeWidth + 100, l.lblCheckLeft);
  QVERIFY(link->width() >= link->fontMetrics().horizontalAdvance(link->text()));
}

void MyCodeLinkTest::whileViewingItSaysWhereCodeGoes() {
  const QByteArray before = testfiles::read(page_);
  MsgBoxRecorder messages;
  form_->insertSnippet(QStringLiteral("<b>x</b>"));
  QCOMPARE(messages.calls.size(), 1);
  QVERIFY(messages.calls[0].prompt.contains(QStringLiteral("Edit Page")));
  QCOMPARE(testfiles::read(page_), before);
}

void MyCodeLinkTest::codeViewTakesItWithThePagesLineBreaks() {
  QTest::mouseClick(button("cmdViewCode"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return browser()->state()->codeShown(); }));
  snippetstore::setFile(dir_->filePath(QStringLiteral("snippets.json")));
  QVERIFY(snippetstore::save(
      {{QStringLiteral("Note & more"), QStringLiteral("<!-- a -->\n<!-- b -->"), {}}},
      snippetstore::file()));
  code()->setCursorPosition(0, 0);
  // From the code's own menu.
  emit code()->customContextMenuRequested(QPoint(5, 5));
  auto* mine = form_->findChild<QMenu*>(QStringLiteral("mnuCodeMyCode"));
  QVERIFY(mine);
  QCOMPARE(mine->actions().size(), 1);
  QCOMPARE(mine->actions().first()->text(), QStringLiteral("Note && more"));
  mine->actions().first()->trigger();
  QVERIFY(code()->text().startsWith(QStringLiteral("<!-- a -->\r\n<!-- b -->")));
  QVERIFY(code()->isModified());
  MsgBoxRecorder answers(MsgAnswer::Discard);
}

void MyCodeLinkTest::pageBeingEditedTakesItAsHtml() {
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QVERIFY(loaded.wait(30000));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("h1"), QStringLiteral(" Typed")));
  MsgBoxRecorder none;
  form_->insertSnippet(
      QStringLiteral("<b id=\"mine\">Buy now</b><script>document.title='x'</script>"));
  QVERIFY(driver::waitFor([&] { return driver::markup(browser()).contains("id=\"mine\""); }));
  loaded.clear();
  QTest::keyClick(browser()->view()->focusProxy(), Qt::Key_S, Qt::ControlModifier);
  QVERIFY(loaded.wait(30000));
  QCOMPARE(none.calls.size(), 0);
  const QByteArray saved = testfiles::read(page_);
  QVERIFY(saved.contains("Typed<b id=\"mine\">Buy now</b>"));
  // Put in inert: its script did not run.
  QVERIFY(driver::js(browser(), QStringLiteral("document.title")).toString() != u"x");
}

QV_TEST_MAIN(MyCodeLinkTest)
#include "my_code_link_test.moc"
