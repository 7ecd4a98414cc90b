// Edit and save, by both methods, on every kind of strange file: a clear
// message where the file cannot be edited or written, the file untouched
// then, and the edits saved where the file is fine.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include "app/main_window.h"
#include "editor/web_browser.h"
#include "help/save_switch.h"
#include "support/bad_inputs.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "support/write_denied.h"

namespace {

const QString kEditPage = QStringLiteral("Edit Page");
const QString kSaveDiscard = QStringLiteral("Save / Discard Changes");

void setSwitch(bool on) {
  if (on)
    testfiles::write(saveswitch::path(), QByteArray());
  else
    QFile::remove(saveswitch::path());
}

}  // namespace

class BadInputEditTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void normalSave_data() { rows(); }
  void normalSave() { editAndSave(false); }
  void alternativeSave_data() { rows(); }
  void alternativeSave() { editAndSave(true); }
  void endlessScript();

 private:
  void rows();
  void editAndSave(bool alternative);
  QPushButton* button(const char* name) { return form_->findChild<QPushButton*>(name); }
  QComboBox* combo() { return form_->findChild<QComboBox*>("Combo1"); }
  WebBrowser* browser() { return form_->findChild<WebBrowser*>("WebBrowser1"); }

  QTemporaryDir bigDir_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Form2> form_;
};

void BadInputEditTest::initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

void BadInputEditTest::init() {
  setSwitch(false);
  dir_ = std::make_unique<QTemporaryDir>();
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();
  form_->show();
  QVERIFY(driver::waitLoaded(browser()));  // the start page
}

void BadInputEditTest::cleanup() {
  form_.reset();
  setSwitch(false);
}

void BadInputEditTest::rows() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("refused");    // the message "Edit Page" gives instead
  QTest::addColumn<QString>("saveFails");  // the message saving gives instead
  const QString absent = QStringLiteral("Could not edit page.htm: the file does not exist.");
  for (const QString& kind : badinputs::kinds()) {
    QString refused, saveFails;
    if (kind == u"missing file" || kind == u"deleted between listed and used")
      refused = absent;
    else if (kind == u"folder")
      refused = QStringLiteral("Could not edit page.htm: it is a folder, not a file.");
    else if (kind == u"200 MB page")
      refused = QStringLiteral(
          "Could not edit big.htm: it is too large for the editor (200 MB; the limit is 20 MB).");
    else if (kind == u"named pipe" || kind == u"link to a device")
      refused = QStringLiteral("Could not edit page.htm: it is not a regular file.");
    else if (kind == u"binary file")
      refused =
          QStringLiteral("Could not edit page.htm: it is not a text page (it holds NUL bytes).");
    else if (kind == u"read-only file")
      refused = QStringLiteral("Could not edit page.htm: the file is read-only.");
    else if (kind == u"read-only folder")
      saveFails = QStringLiteral("Could not save page.htm: ");
    QTest::newRow(qPrintable(kind)) << kind << refused << saveFails;
  }
  QTest::newRow("deleted while being edited")
      << QStringLiteral("deleted while being edited") << QString() << QString();
}

void BadInputEditTest::editAndSave(bool alternative) {
  QFETCH(QString, kind);
  QFETCH(QString, refused);
  QFETCH(QString, saveFails);
  const bool deleteWhileEditing = kind == u"deleted while being edited";
  const badinputs::Input in = badinputs::make(
      deleteWhileEditing ? QStringLiteral("0-byte file") : kind, dir_->path(), bigDir_.path());
  const QByteArray before = testfiles::read(in.target);

  // Shown in the preview first, as the page list shows a chosen page.
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  combo()->addItem(in.path);
  QVERIFY(driver::waitFor([&] { return !loaded.isEmpty(); }, 30000));
  if (in.deleteBeforeUse) QVERIFY(QFile::remove(in.path));

  MsgBoxRecorder rec(alternative ? MsgAnswer::Yes : MsgAnswer::Save);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  if (!refused.isEmpty()) {
    QCOMPARE(rec.calls.size(), 1);
    QCOMPARE(rec.calls[0].prompt.section(QLatin1Char('\n'), 0, 0), refused);
    QCOMPARE(rec.calls[0].title, QStringLiteral("File Error"));
    QCOMPARE(button("Command2")->text(), kEditPage);
    QVERIFY(combo()->isEnabled());
    if (!in.deleteBeforeUse) QCOMPARE(testfiles::read(in.target), before);
    // A page too big for the engine was never given to it: a note stands in.
    if (kind == u"200 MB page") QCOMPARE(browser()->LocationPath(), QString());
    return;
  }
  QVERIFY(rec.calls.isEmpty());
  QVERIFY(driver::waitFor([&] { return driver::designMode(browser()) == u"on"; }, 30000));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), QStringLiteral("zebra")));
  if (deleteWhileEditing) QVERIFY(QFile::remove(in.path));
  setSwitch(alternative);

  {
    std::optional<WriteDenied> denied;
    // The save asks for the switch file beside the test: its folder must stay
    // reachable for the process acting as nobody, also in a private clone.
    if (!in.denied.isEmpty())
      denied.emplace(in.denied,
                     QStringList{dir_->path(), QFileInfo(saveswitch::path()).absolutePath()});
    if (denied && !denied->active()) QSKIP("cannot take write access away from this process");
    QTest::mouseClick(button("Command2"), Qt::LeftButton);
    QVERIFY(driver::waitFor(
        [&] {
          for (const MsgBoxCall& call : rec.calls)
            if (call.title == u"File Error" || call.prompt == u"Done!") return true;
          return !alternative && button("Command2")->text() == kEditPage &&
                 testfiles::read(in.target).contains("zebra");
        },
        30000));
  }
  QCOMPARE(rec.calls[0].prompt,
           alternative ? QStringLiteral("Save changes?")
                       : QStringLiteral("Save changes to %1?").arg(QFileInfo(in.path).fileName()));
  if (!saveFails.isEmpty()) {
    QCOMPARE(rec.calls.size(), 2);
    QVERIFY2(rec.calls[1].prompt.startsWith(saveFails), qPrintable(rec.calls[1].prompt));
    QCOMPARE(testfiles::read(in.target), before);
    // Still editing, the edits still there to be saved once the file allows.
    QVERIFY(driver::waitFor([&] { return button("Command2")->text() == kSaveDiscard; }));
    QVERIFY(driver::markup(browser()).contains("zebra"));
    return;
  }
  const QByteArray after = testfiles::read(in.target);
  QVERIFY2(after.contains("zebra"), after.left(300).constData());
  QCOMPARE(QFileInfo(in.path).isSymLink(), kind == u"symbolic link");
  if (kind == u"invalid UTF-8") {
    // The bytes the engine could not read as UTF-8 are as they were.
    QVERIFY(after.startsWith(before.left(before.indexOf("<body>"))));
  }
  QVERIFY(driver::waitFor([&] { return button("Command2")->text() == kEditPage; }));
}

// A page whose script never ends: the window stays responsive, and Edit Page
// (page scripts off) gets the whole page, editable and saved as usual.
void BadInputEditTest::endlessScript() {
  const QString path = dir_->filePath(QStringLiteral("loop.htm"));
  testfiles::write(path,
                   "<html><head><title>Loop</title></head><body><p id=\"first\">Buy now</p>"
                   "<script>for (;;) {}</script><p>after</p></body></html>");
  combo()->addItem(path);
  QTimer tick;
  QSignalSpy ticks(&tick, &QTimer::timeout);
  tick.start(10);
  QVERIFY(driver::waitFor([&] { return ticks.size() >= 20; }, 5000));

  MsgBoxRecorder rec(MsgAnswer::Save);
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return driver::designMode(browser()) == u"on"; }, 30000));
  QVERIFY(driver::markup(browser()).contains("<p>after</p>"));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), QStringLiteral("zebra")));
  QTest::mouseClick(button("Command2"), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return testfiles::read(path).contains("Buy nowzebra"); }, 30000));
  QVERIFY(testfiles::read(path).contains("<script>for (;;) {}</script><p>after</p>"));
}

QV_TEST_MAIN(BadInputEditTest)
#include "bad_input_edit_test.moc"
