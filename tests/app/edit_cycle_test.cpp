#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "files/page_history.h"
#include "help/save_switch.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/insert_code.h"
#include "tools/pro_options.h"

namespace {

const QByteArray kPage =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
    "<html><head><title>Sales</title>"
    "<script>document.write('<p id=\"written\">x</p>')</script></head>\n"
    "<body><p id=\"first\">Buy now</p></body>\n</html>\n";

const QString kEditPage = QStringLiteral("Edit Page");
const QString kSaveDiscard = QStringLiteral("Save / Discard Changes");

QStringList prompts(const MsgBoxRecorder& rec) {
  QStringList out;
  for (const MsgBoxCall& call : rec.calls) out << call.prompt;
  return out;
}

void setSwitch(bool on) {
  if (on)
    testfiles::write(saveswitch::path(), QByteArray());
  else
    QFile::remove(saveswitch::path());
}

}  // namespace

class EditCycleTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void missingPage_data();
  void missingPage();
  void enterEditing();
  void endEditing_data();
  void endEditing();
  void failedSave_data();
  void failedSave();
  void closing_data();
  void closing();
  void everyPage_data();
  void everyPage();
  void alternativeSaveWritesTheEditedFile();
  void discardedEditsLeaveTheEditor();
  void toolRewriteWhileEditing_data();
  void toolRewriteWhileEditing();

 private:
  QPushButton* button(const char* name) { return form_->findChild<QPushButton*>(name); }
  QComboBox* combo() { return form_->findChild<QComboBox*>("Combo1"); }
  WebBrowser* browser() { return form_->findChild<WebBrowser*>("WebBrowser1"); }
  bool showPage(const QString& path);
  bool pressEdit();  // Command2, then wait for the load it asks for
  bool controlsEnabled(bool enabled);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Form2> form_;
  QString page_;
};

void EditCycleTest::initTestCase() {
  // Closing the main window in a test must not end the test run.
  QApplication::setQuitOnLastWindowClosed(false);
}

void EditCycleTest::init() {
  setSwitch(false);
  dir_ = std::make_unique<QTemporaryDir>();
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();
  form_->show();
  // A load asked for while the start page still loads may never end.
  QVERIFY(driver::waitLoaded(browser()));
  page_ = dir_->filePath(QStringLiteral("sales.htm"));
  testfiles::write(page_, kPage);
}

void EditCycleTest::cleanup() {
  form_.reset();
  setSwitch(false);
}

bool EditCycleTest::showPage(const QString& path) {
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  combo()->addItem(path);
  return loaded.wait(30000) && browser()->LocationPath() == path;
}

bool EditCycleTest::pressEdit() {
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  return loaded.wait(30000);
}

bool EditCycleTest::controlsEnabled(bool enabled) {
  return button("Command5")->isEnabled() == enabled && combo()->isEnabled() == enabled &&
         button("Command1")->isEnabled() == enabled && button("cmdPro")->isEnabled() &&
         button("Command2")->isEnabled();
}

void EditCycleTest::missingPage_data() {
  QTest::addColumn<bool>("editing");
  QTest::newRow("empty page list") << false;
  QTest::newRow("page list emptied while editing") << true;
}

void EditCycleTest::missingPage() {
  QFETCH(bool, editing);
  if (editing) {
    QVERIFY(showPage(page_));
    MsgBoxRecorder none;
    QVERIFY(pressEdit());
    combo()->setEditText(QString());
  }
  MsgBoxRecorder rec;
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt,
           QStringLiteral("Please add one or more web pages (.htm / .html files) to edit first."));
  QCOMPARE(rec.calls[0].title, QStringLiteral("Missing Info"));
  QCOMPARE(rec.calls[0].icon, MsgIcon::Information);
  QCOMPARE(button("Command2")->text(), editing ? kSaveDiscard : kEditPage);
  QVERIFY(controlsEnabled(!editing));
}

void EditCycleTest::enterEditing() {
  QVERIFY(showPage(page_));
  MsgBoxRecorder rec;
  QVERIFY(pressEdit());
  QCOMPARE(button("Command2")->text(), kSaveDiscard);
  QVERIFY(controlsEnabled(false));
  QCOMPARE(browser()->LocationPath(), page_);
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  // What is edited is the file's own markup, not what its script wrote.
  QCOMPARE(driver::js(browser(), QStringLiteral("!!document.getElementById('written')")),
           QVariant(false));
  QVERIFY(rec.calls.isEmpty());
}

void EditCycleTest::endEditing_data() {
  QTest::addColumn<bool>("switchOn");
  QTest::addColumn<bool>("typed");
  QTest::addColumn<MsgAnswer>("answer");
  QTest::addColumn<QStringList>("expected");
  QTest::addColumn<bool>("saved");
  const QString offer = QStringLiteral("Save changes to sales.htm?");
  const QString ask = QStringLiteral("Save changes?");
  const QString done = QStringLiteral("Done!");
  QTest::newRow("normal: browser offers, save")
      << false << true << MsgAnswer::Save << QStringList{offer} << true;
  QTest::newRow("normal: browser offers, discard")
      << false << true << MsgAnswer::Discard << QStringList{offer} << false;
  QTest::newRow("normal: unchanged page asks nothing")
      << false << false << MsgAnswer::Save << QStringList{} << false;
  QTest::newRow("alternative: yes saves, one question")
      << true << true << MsgAnswer::Yes << QStringList{ask, done} << true;
  QTest::newRow("alternative: no still says done")
      << true << true << MsgAnswer::No << QStringList{ask, done} << false;
}

void EditCycleTest::endEditing() {
  QFETCH(bool, switchOn);
  QFETCH(bool, typed);
  QFETCH(MsgAnswer, answer);
  QFETCH(QStringList, expected);
  QFETCH(bool, saved);
  QVERIFY(showPage(page_));
  QVERIFY(pressEdit());
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  if (typed) QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), "zebra"));
  // The switch is tested when editing ends, so it may change while editing.
  setSwitch(switchOn);

  MsgBoxRecorder rec(answer);
  QVERIFY(pressEdit());
  QCOMPARE(prompts(rec), expected);
  if (switchOn) {
    QCOMPARE(rec.calls[0].title, QStringLiteral("Save"));
    QCOMPARE(rec.calls[0].buttons, MsgButtons::YesNo);
    QCOMPARE(rec.calls[0].icon, MsgIcon::Question);
    QCOMPARE(rec.calls[1].title, QStringLiteral("Done"));
  }
  QCOMPARE(button("Command2")->text(), kEditPage);
  QVERIFY(controlsEnabled(true));
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("off"));

  const QByteArray bytes = testfiles::read(page_);
  if (!saved) {
    QCOMPARE(bytes, kPage);
    return;
  }
  QVERIFY(bytes.startsWith(
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html>"));
  QVERIFY(bytes.contains("<p id=\"first\">Buy nowzebra</p>"));
  QCOMPARE(bytes.count("<p id=\"written\">"), 1);  // the script's own text, nothing it wrote
  QVERIFY(driver::markup(browser()).contains("Buy nowzebra"));
  // Either way of saving keeps the page as it was.
  const std::vector<history::Version> kept = history::versions(page_);
  QCOMPARE(kept.size(), 1u);
  QCOMPARE(kept[0].action, QStringLiteral("Edit"));
  QByteArray before;
  QVERIFY(history::readVersion(page_, kept[0], before));
  QCOMPARE(before, kPage);
}

void EditCycleTest::failedSave_data() {
  QTest::addColumn<bool>("switchOn");
  QTest::newRow("normal method") << false;
  QTest::newRow("alternative method") << true;
}

void EditCycleTest::failedSave() {
  QFETCH(bool, switchOn);
  QVERIFY(showPage(page_));
  QVERIFY(pressEdit());
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), "zebra"));
  setSwitch(switchOn);
  // The page's file turned into a folder: the write must fail, whoever runs this.
  QVERIFY(QFile::remove(page_));
  QVERIFY(QDir().mkdir(page_));

  MsgBoxRecorder rec(switchOn ? MsgAnswer::Yes : MsgAnswer::Save);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return rec.calls.size() == 2; }));
  QCOMPARE(rec.calls[1].title, QStringLiteral("File Error"));
  QVERIFY(rec.calls[1].prompt.startsWith(
      QStringLiteral("Could not save sales.htm: it is a folder, not a file.")));
  // No "Done!", no reload: the edits are still there, still editable.
  QVERIFY(driver::waitFor([&] { return button("Command2")->text() == kSaveDiscard; }));
  QVERIFY(controlsEnabled(false));
  QCOMPARE(rec.calls.size(), 2);
  QCOMPARE(browser()->LocationPath(), page_);
  QVERIFY(driver::markup(browser()).contains("Buy nowzebra"));
  QCOMPARE(driver::designMode(browser()), QStringLiteral("on"));

  // Once the file can be written again, the same edits are saved.
  QVERIFY(QDir().rmdir(page_));
  rec.calls.clear();
  QVERIFY(pressEdit());
  QVERIFY(testfiles::read(page_).contains("Buy nowzebra"));
}

void EditCycleTest::closing_data() {
  QTest::addColumn<bool>("typed");
  QTest::addColumn<MsgAnswer>("answer");
  QTest::addColumn<bool>("closed");
  QTest::addColumn<bool>("saved");
  QTest::newRow("cancel keeps the program and the edits")
      << true << MsgAnswer::Cancel << false << false;
  QTest::newRow("discard closes") << true << MsgAnswer::Discard << true << false;
  QTest::newRow("save closes after writing") << true << MsgAnswer::Save << true << true;
  QTest::newRow("unchanged page closes unasked") << false << MsgAnswer::Cancel << true << false;
}

void EditCycleTest::closing() {
  QFETCH(bool, typed);
  QFETCH(MsgAnswer, answer);
  QFETCH(bool, closed);
  QFETCH(bool, saved);
  QVERIFY(showPage(page_));
  QVERIFY(pressEdit());
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  if (typed) QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), "zebra"));

  MsgBoxRecorder rec(answer);
  form_->close();
  if (closed) {
    QVERIFY(driver::waitFor([&] { return !form_->isVisible(); }));
  } else {
    QVERIFY(driver::waitFor([&] { return !rec.calls.isEmpty(); }));
    QVERIFY(form_->isVisible());
    QCOMPARE(button("Command2")->text(), kSaveDiscard);
    QVERIFY(driver::markup(browser()).contains("Buy nowzebra"));
  }
  QCOMPARE(rec.calls.size(), typed ? 1 : 0);
  if (typed) {
    QCOMPARE(rec.calls[0].prompt, QStringLiteral("Save changes to sales.htm?"));
    QCOMPARE(rec.calls[0].buttons, MsgButtons::SaveDiscardCancel);
  }
  QCOMPARE(testfiles::read(page_).contains("Buy nowzebra"), saved);
}

void EditCycleTest::everyPage_data() {
  QTest::addColumn<QString>("page");
  for (const QString& page : testfiles::pages())
    QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
}

// Every real page survives the cycle: the word typed is saved, and nothing
// else changes that a browser would see.
void EditCycleTest::everyPage() {
  QFETCH(QString, page);
  QV_SKIP_ABSENT_CORPUS(page);
  const QString path = testfiles::copyPage(page, dir_->path());
  const QByteArray original = testfiles::read(path);

  // The page as the file itself makes it, scripts off, for comparison.
  WebBrowser reader;
  reader.state()->setEditing(true);
  reader.resize(800, 600);
  reader.show();
  const QString shape = QStringLiteral(
      "[document.characterSet, document.getElementsByTagName('*').length,"
      " document.documentElement.textContent].join('\\u0001')");
  QVERIFY(driver::load(&reader, path));
  const QStringList before = driver::js(&reader, shape).toString().split(QChar(1));

  QVERIFY(showPage(path));
  MsgBoxRecorder rec(MsgAnswer::Save);
  QSignalSpy editing(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  // A page the editor refuses says so at once.
  QVERIFY2(rec.calls.isEmpty(), qPrintable(rec.calls.value(0).prompt));
  QVERIFY(editing.count() > 0 || editing.wait(30000));
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("p"), "Quorvaneword"));
  QVERIFY(pressEdit());
  QCOMPARE(prompts(rec),
           QStringList{QStringLiteral("Save changes to %1?").arg(QFileInfo(path).fileName())});

  const QByteArray saved = testfiles::read(path);
  // The byte order mark stays, and with it UTF-16 and its byte order.
  for (const char* bom : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"})
    QCOMPARE(saved.startsWith(bom), original.startsWith(bom));
  static const QRegularExpression doctype(QStringLiteral("<!DOCTYPE[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
  const auto declared = doctype.match(QString::fromLatin1(original));
  if (declared.hasMatch())
    QCOMPARE(saved.left(declared.capturedEnd()), original.left(declared.capturedEnd()));

  QVERIFY(driver::load(&reader, path));
  const QStringList after = driver::js(&reader, shape).toString().split(QChar(1));
  QCOMPARE(after.value(0), before.value(0));  // charset
  QCOMPARE(after.value(1), before.value(1));  // no element added or lost
  QVERIFY(after.value(2).contains(QStringLiteral("Quorvaneword")));
  // The editor may tidy collapsible whitespace where the user typed.
  QCOMPARE(QString(after.value(2)).remove(QStringLiteral("Quorvaneword")).simplified(),
           before.value(2).simplified());
}

// The page list can come to name another page while one is being edited (a
// drop replaced it and leaving the edited page failed); the edits still
// belong to the page they were made in.
void EditCycleTest::alternativeSaveWritesTheEditedFile() {
  const QString other = dir_->filePath(QStringLiteral("other.htm"));
  testfiles::write(other, "<p>other</p>");
  QVERIFY(showPage(page_));
  {
    MsgBoxRecorder none;
    QVERIFY(pressEdit());
  }
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), "#first", " Typed"));
  {
    const QSignalBlocker quiet(combo());
    combo()->clear();
    combo()->addItem(other);
    combo()->setEditText(other);
  }
  setSwitch(true);
  MsgBoxRecorder rec(MsgAnswer::Yes);
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return prompts(rec).contains(QStringLiteral("Done!")); }));
  QVERIFY(testfiles::read(page_).contains(" Typed"));
  QCOMPARE(testfiles::read(other), QByteArray("<p>other</p>"));
}

// Discarding the edits for a tool that then writes nothing (no closing head
// tag here) must not leave them in the editor for a later save.
void EditCycleTest::discardedEditsLeaveTheEditor() {
  testfiles::write(page_, "<html><body><p id=\"first\">Buy now</p></body></html>");
  QVERIFY(showPage(page_));
  {
    MsgBoxRecorder none;
    QVERIFY(pressEdit());
  }
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), "#first", " Typed"));

  frmPRO pro(combo(), browser(), form_.get());
  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Discard});
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(pro.findChild<QPushButton*>("cmdUpdate_1"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return rec.calls.size() == 2; }));
  QCOMPARE(rec.calls[1].title, QStringLiteral("Broken HTML File"));
  QVERIFY(!loaded.isEmpty() || loaded.wait(30000));
  QVERIFY(!driver::markup(browser()).contains(" Typed"));
  QCOMPARE(button("Command2")->text(), kSaveDiscard);
}

void EditCycleTest::toolRewriteWhileEditing_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("keepsTyped");
  QTest::addColumn<bool>("keepsCode");
  QTest::newRow("save the edits first") << int(MsgAnswer::Save) << true << true;
  QTest::newRow("discard the edits") << int(MsgAnswer::Discard) << false << true;
  QTest::newRow("cancel the insertion") << int(MsgAnswer::Cancel) << false << false;
}

// The Insert Code window stays open and usable while the main window edits
// the same page: its rewrite and the unsaved edits must not undo each other.
void EditCycleTest::toolRewriteWhileEditing() {
  QFETCH(int, answer);
  QFETCH(bool, keepsTyped);
  QFETCH(bool, keepsCode);
  testfiles::write(page_,
                   "<html><head><title>T</title></head>"
                   "<body><p id=\"first\">Buy now</p><p>[BUYBUTTON]</p></body></html>");
  QVERIFY(showPage(page_));
  QTest::mouseClick(button("Command1"), Qt::LeftButton);
  auto* tool = form_->findChild<Form3*>("Form3");
  QVERIFY(tool);
  tool->findChild<QPlainTextEdit*>("txtToReplace")->setPlainText("<b>PAY</b>");
  {
    MsgBoxRecorder none;
    QVERIFY(pressEdit());
  }
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), "#first", " Typed"));

  MsgBoxRecorder rec;
  rec.queue({MsgAnswer(answer)});
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(tool->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return !rec.calls.isEmpty(); }));
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Save changes to sales.htm?"));
  if (keepsCode) QVERIFY(!loaded.isEmpty() || loaded.wait(30000));
  const QByteArray file = testfiles::read(page_);
  QCOMPARE(file.contains(" Typed"), keepsTyped);
  QCOMPARE(file.contains("<b>PAY</b>"), keepsCode);
  QCOMPARE(file.contains("[BUYBUTTON]"), !keepsCode);
  QCOMPARE(prompts(rec).count(QStringLiteral("Save changes to sales.htm?")), 1);
  QCOMPARE(prompts(rec).contains(QStringLiteral("Done!")), keepsCode);
  if (!keepsCode) {  // cancelled: still editing, the edits still there
    QVERIFY(browser()->state()->holdsEdit());
    QVERIFY(driver::markup(browser()).contains(" Typed"));
  }
}

QV_TEST_MAIN(EditCycleTest)
#include "edit_cycle_test.moc"
