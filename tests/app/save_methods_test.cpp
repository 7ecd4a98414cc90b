// Both save methods (the browser's offer when leaving, and the "Save
// changes?" question of the save switch) write an edit the same way: the same
// minimal bytes, the same question before overwriting another program's
// change, and no input taken while the save is under way.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "help/save_switch.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// Spelled the way old editors wrote pages, none of it the engine's way.
const QByteArray kPage =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<HTML><HEAD>\r\n"
    "<TITLE>Sales</TITLE>\r\n</HEAD>\r\n<BODY BGCOLOR=white>\r\n"
    "<P ID=first CLASS=MsoNormal>Buy now\r\n<P ID=second>Today only</P>\r\n</BODY></HTML>\r\n";
// Only the typed word changes; the editor drops the collapsible line break it typed over.
const QByteArray kTyped = QByteArray(kPage).replace("Buy now\r\n", "Buy nowzebra");
const QByteArray kTheirs = QByteArray(kPage).replace("Today only", "Their change");

const QString kEditPage = QStringLiteral("Edit Page");
const QString kSaveDiscard = QStringLiteral("Save / Discard Changes");

void setSwitch(bool on) {
  if (on)
    testfiles::write(saveswitch::path(), QByteArray());
  else
    QFile::remove(saveswitch::path());
}

QStringList prompts(const MsgBoxRecorder& rec) {
  QStringList out;
  for (const MsgBoxCall& call : rec.calls) out << call.prompt;
  return out;
}

// A page of about size bytes, big enough that its save takes seconds.
QByteArray bigPage(qsizetype size) {
  QByteArray page = "<HTML><HEAD><TITLE>Big</TITLE></HEAD>\r\n<BODY>\r\n";
  for (int i = 0; page.size() < size; ++i)
    page += "<P ID=p" + QByteArray::number(i) + " CLASS=MsoNormal>Offer " + QByteArray::number(i) +
            ": order today and get the <B>bonus pack</B> free, "
            "<A HREF='#top'>more</A> of what you need.</P>\r\n";
  return page + "</BODY></HTML>\r\n";
}

}  // namespace

class SaveMethodsTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void init();
  void cleanup();
  void sameWrite_data();
  void sameWrite();
  void noInputDuringSave_data();
  void noInputDuringSave();

 private:
  QPushButton* command2() { return form_->findChild<QPushButton*>("Command2"); }
  WebBrowser* browser() { return form_->findChild<WebBrowser*>("WebBrowser1"); }
  // Shows path from the page list and presses Edit Page.
  bool startEditing(const QString& path);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<Form2> form_;
};

void SaveMethodsTest::initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

void SaveMethodsTest::init() {
  setSwitch(false);
  dir_ = std::make_unique<QTemporaryDir>();
  form_ = std::make_unique<Form2>();
  form_->findChild<QTimer*>("Timer1")->stop();
  form_->show();
  QVERIFY(driver::waitLoaded(browser()));  // the start page
}

void SaveMethodsTest::cleanup() {
  form_.reset();
  setSwitch(false);
}

bool SaveMethodsTest::startEditing(const QString& path) {
  QSignalSpy shown(browser(), &WebBrowser::DownloadComplete);
  form_->findChild<QComboBox*>("Combo1")->addItem(path);
  if (!shown.wait(60000)) return false;
  QSignalSpy editable(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(command2(), Qt::LeftButton);
  return editable.wait(60000) &&
         driver::waitFor([&] { return driver::designMode(browser()) == u"on"; }, 30000);
}

void SaveMethodsTest::sameWrite_data() {
  QTest::addColumn<bool>("alternative");
  QTest::addColumn<int>("theirs");  // 0: nobody else wrote; else the answer to overwrite
  QTest::addColumn<QByteArray>("expected");
  for (const bool alternative : {false, true}) {
    const char* method = alternative ? "alternative" : "normal";
    QTest::addRow("%s: only the typed word is written", method) << alternative << 0 << kTyped;
    QTest::addRow("%s: changed by another program, yes overwrites", method)
        << alternative << int(MsgAnswer::Yes) << kTyped;
    QTest::addRow("%s: changed by another program, no keeps theirs", method)
        << alternative << int(MsgAnswer::No) << kTheirs;
  }
}

void SaveMethodsTest::sameWrite() {
  QFETCH(bool, alternative);
  QFETCH(int, theirs);
  QFETCH(QByteArray, expected);
  const QString path = dir_->filePath(QStringLiteral("sales.htm"));
  testfiles::write(path, kPage);
  QVERIFY(startEditing(path));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), QStringLiteral("zebra")));
  if (theirs) testfiles::write(path, kTheirs);
  setSwitch(alternative);

  MsgBoxRecorder rec;
  QList<MsgAnswer> answers{alternative ? MsgAnswer::Yes : MsgAnswer::Save};
  QStringList expectedPrompts{alternative ? QStringLiteral("Save changes?")
                                          : QStringLiteral("Save changes to sales.htm?")};
  if (theirs) {
    answers << MsgAnswer(theirs);
    expectedPrompts << QStringLiteral(
        "sales.htm was changed by another program since you began editing. Overwrite it "
        "with your edits?");
  }
  const bool saved = theirs != int(MsgAnswer::No);
  if (alternative && saved) expectedPrompts << QStringLiteral("Done!");
  rec.queue(answers);
  QTest::mouseClick(command2(), Qt::LeftButton);
  QVERIFY2(driver::waitFor([&] { return prompts(rec).size() >= expectedPrompts.size(); }, 30000),
           qPrintable(prompts(rec).join(u'|')));
  QCOMPARE(prompts(rec), expectedPrompts);
  // The normal method writes after its question, once the engine has checked.
  QVERIFY(driver::waitFor([&] { return command2()->text() == (saved ? kEditPage : kSaveDiscard); },
                          30000));
  QVERIFY(driver::waitFor([&] { return testfiles::read(path) == expected; }, 30000));
  QCOMPARE(testfiles::read(path), expected);
  if (!saved) {
    // Still editing, the edits still there, and the page takes typing again.
    QVERIFY(driver::waitFor([&] { return driver::designMode(browser()) == u"on"; }));
    QVERIFY(driver::typeInto(browser(), QStringLiteral("#second"), QStringLiteral("lion")));
    QVERIFY(driver::markup(browser()).contains("Buy nowzebra"));
    return;
  }
  QVERIFY(browser()->session()->lastSaveWay().minimal);
  QVERIFY(driver::waitFor([&] { return driver::markup(browser()).contains("Buy nowzebra"); }));
}

void SaveMethodsTest::noInputDuringSave_data() {
  QTest::addColumn<bool>("alternative");
  QTest::newRow("normal") << false;
  QTest::newRow("alternative") << true;
}

// Words typed after the answer to save, while the engine checks and writes a
// big page, would show in the document and then vanish with the reload: the
// document takes no input until it is shown again.
void SaveMethodsTest::noInputDuringSave() {
  QFETCH(bool, alternative);
  const QString path = dir_->filePath(QStringLiteral("big.htm"));
  const QByteArray page = bigPage(3 * 1024 * 1024);
  testfiles::write(path, page);
  QVERIFY(startEditing(path));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#p0"), QStringLiteral("zebra")));
  setSwitch(alternative);

  // From the moment the save begins, a key every 50 ms into the editor.
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  int typed = 0;
  bool lionShown = false;
  bool saving = false;
  QTimer typist;
  connect(&typist, &QTimer::timeout, this, [&] {
    if (!saving || !loaded.isEmpty()) return;
    QWidget* target = browser()->view()->focusProxy();
    QTest::keyClicks(target ? target : browser()->view(), QStringLiteral("lion"));
    ++typed;
  });
  typist.start(50);
  QElapsedTimer clock;
  connect(browser()->session(), &EditSession::inputBlocked, this, [&](bool blocked) {
    if (blocked) clock.start();
    saving = blocked;
  });

  MsgBoxRecorder rec(alternative ? MsgAnswer::Yes : MsgAnswer::Save);
  QTest::mouseClick(command2(), Qt::LeftButton);
  QVERIFY(driver::waitFor(
      [&] {
        if (saving && driver::markup(browser()).contains("lion")) lionShown = true;
        return !loaded.isEmpty() && command2()->text() == kEditPage;
      },
      120000));
  typist.stop();
  qInfo("save until shown again: %lld ms, %d keystrokes refused", clock.elapsed(), typed);
  QVERIFY2(typed >= 3, "the save ended before anything could be typed");
  QVERIFY(!lionShown);
  const QByteArray bytes = testfiles::read(path);
  // The word typed before the save, and nothing else.
  QCOMPARE(QByteArray(bytes).replace("zebra", ""), page);
  QVERIFY(browser()->session()->lastSaveWay().minimal);
  QVERIFY(!driver::markup(browser()).contains("lion"));
  // Shown again, the page takes input again.
  QSignalSpy editable(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(command2(), Qt::LeftButton);
  QVERIFY(editable.wait(60000));
  QVERIFY(driver::waitFor([&] { return driver::designMode(browser()) == u"on"; }, 30000));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#p1"), QStringLiteral("tiger")));
  // The checker of a big page is let go after its check: the next save has
  // one of its own and is still checked and written minimally.
  QSignalSpy shownAgain(browser(), &WebBrowser::DownloadComplete);
  QTest::mouseClick(command2(), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return !shownAgain.isEmpty() && command2()->text() == kEditPage; },
                          120000));
  QCOMPARE(testfiles::read(path).replace("zebra", "").replace("tiger", ""), page);
  QVERIFY(testfiles::read(path).contains("tiger"));
  QVERIFY(browser()->session()->lastSaveWay().minimal);
}

QV_TEST_MAIN(SaveMethodsTest)
#include "save_methods_test.moc"
