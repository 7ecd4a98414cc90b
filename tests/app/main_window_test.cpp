#include "app/main_window.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window_layout.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/msg_box_recorder.h"
#include "support/page_script.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

QString designModeOf(WebBrowser* browser) {
  return pagescript::answer<QString>([&](auto reply) { browser->readDesignMode(reply); });
}

void activate(QWidget* window) {
  QEvent event(QEvent::WindowActivate);
  QApplication::sendEvent(window, &event);
}

}  // namespace

// The main window: start-up, layout, the page list and the preview.
class MainWindowTest final : public QObject {
  Q_OBJECT

  std::unique_ptr<Form2> form;
  QComboBox* combo = nullptr;
  WebBrowser* browser = nullptr;
  QPushButton* edit = nullptr;
  QTemporaryDir dir;
  QString pageA, pageB;

  // A started load shows at once as a loadStarted of the engine's view.
  bool loadsOnCall(const std::function<void()>& action) {
    QSignalSpy started(browser->view(), &QWebEngineView::loadStarted);
    action();
    return started.wait(1500);
  }

  bool showAndWait(const std::function<void()>& action) {
    QSignalSpy done(browser, &WebBrowser::DownloadComplete);
    action();
    return done.wait(20000);
  }

 private slots:
  void layoutRule_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("expected");  // browser, shortcuts, combo, +, edit, add, help, pro
    QTest::newRow("10000 wide") << 10000
                                << QList<int>{9000, 9000, 5000, 5505, 6070, 8345, 12060, 6500};
    QTest::newRow("as designed") << 16515
                                 << QList<int>{15515, 15515, 8257, 8762, 9327, 11602, 15317, 13015};
    QTest::newRow("narrower than 1000") << 600 << QList<int>{0, 0, 300, 805, 1370, 3645, 7360, 0};
    QTest::newRow("no width at all") << 0 << QList<int>{0, 0, 0, 505, 1070, 3345, 7060, 0};
  }
  void layoutRule() {
    QFETCH(int, width);
    QFETCH(QList<int>, expected);
    const MainWindowLayout l = layoutForWidth(width);
    QCOMPARE((QList<int>{l.browserWidth, l.shortcutsWidth, l.comboWidth, l.command5Left,
                         l.command2Left, l.command1Left, l.lblHelpLeft, l.cmdProLeft}),
             expected);
  }

  void initTestCase() {
    pageA = dir.filePath("sales page.htm");
    pageB = dir.filePath("thanks-ø.html");
    testfiles::write(pageA, "<html><body><p>A</p></body></html>");
    testfiles::write(pageB, "<html><body><p>B</p></body></html>");
  }

  void init() {
    form = std::make_unique<Form2>();
    form->findChild<QTimer*>("Timer1")->stop();
    combo = form->findChild<QComboBox*>("Combo1");
    browser = form->findChild<WebBrowser*>("WebBrowser1");
    edit = form->findChild<QPushButton*>("Command2");
    QVERIFY(combo && browser && edit);
  }
  void cleanup() { form.reset(); }

  void startsWithItsControlsAndTheStartPage() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Quorvane " QV_VERSION));
    QCOMPARE(form->findChild<QLabel*>("lblAppName")->text(), QStringLiteral("Quorvane"));
    QCOMPARE(combo->count(), 0);
    QCOMPARE(combo->currentText(), QString());
    QVERIFY(browser->Silent());
    QCOMPARE(edit->text(), QStringLiteral("Edit Page"));
    for (const char* name : {"Picture2", "cmdPro", "Command5", "Command1", "lblHelp", "frShortcuts",
                             "Label1", "Label2"})
      QVERIFY2(form->findChild<QWidget*>(name), name);
    QCOMPARE(form->findChild<QPushButton*>("Command1")->text(),
             QStringLiteral("Add HTML Code (Buy Button etc)"));
    QSignalSpy done(browser, &WebBrowser::DownloadComplete);
    if (browser->LocationPath().isEmpty()) QVERIFY(done.wait(20000));
    QVERIFY(browser->LocationPath().endsWith("/blank.html"));
    QCOMPARE(designModeOf(browser), QStringLiteral("off"));
  }

  void toolsRefuseWithoutACurrentPage_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("withEntries");
    QTest::newRow("insert code, empty list") << "Command1" << false;
    QTest::newRow("pro options, empty list") << "cmdPro" << false;
    QTest::newRow("insert code, entries but no text") << "Command1" << true;
    QTest::newRow("pro options, entries but no text") << "cmdPro" << true;
  }
  void toolsRefuseWithoutACurrentPage() {
    QFETCH(QString, button);
    QFETCH(bool, withEntries);
    if (withEntries) {
      combo->addItems({pageA, pageB});
      combo->setCurrentIndex(-1);
      combo->setEditText(QString());
    }
    MsgBoxRecorder messages;
    QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(messages.calls.size(), 1);
    QCOMPARE(messages.calls[0].prompt, QStringLiteral("Please add a page before."));
    QCOMPARE(messages.calls[0].title, QStringLiteral("Missing Info"));
    QCOMPARE(messages.calls[0].icon, MsgIcon::Information);
    QCOMPARE(messages.calls[0].buttons, MsgButtons::OkOnly);
    QVERIFY(!form->findChild<QDialog*>("Form3"));
    QVERIFY(!form->findChild<QDialog*>("frmPRO"));
  }

  void choosingAnEntryShowsItTypingDoesNot() {
    combo->addItems({pageA, pageB, pageA});
    QCOMPARE(combo->count(), 3);  // duplicates stand twice
    QVERIFY(showAndWait([&] { combo->setCurrentIndex(1); }));
    QCOMPARE(browser->LocationPath(), pageB);
    QVERIFY(!loadsOnCall([&] { QTest::keyClicks(combo->lineEdit(), "/typed/page.htm"); }));
    QCOMPARE(form->currentPage(), combo->currentText());
    QVERIFY(showAndWait([&] { combo->setCurrentIndex(0); }));
    QCOMPARE(browser->LocationPath(), pageA);
  }

  void everyLoadSetsDesignModeFromTheState() {
    combo->addItem(pageA);
    QVERIFY(showAndWait([&] { combo->setCurrentIndex(0); }));
    QCOMPARE(designModeOf(browser), QStringLiteral("off"));
    browser->state()->setEditing(true);
    QCOMPARE(edit->text(), QStringLiteral("Save / Discard Changes"));
    // Loaded without the page's scripts, and editable.
    QVERIFY(showAndWait([&] { browser->Navigate2(pageA); }));
    QCOMPARE(designModeOf(browser), QStringLiteral("on"));
    browser->state()->setEditing(false);
    QCOMPARE(edit->text(), QStringLiteral("Edit Page"));
  }

  void activationReloadsOnlyFromAnotherWindowOfOurs() {
    QDialog other(form.get());
    QMessageBox box(form.get());
    combo->addItem(pageA);
    QVERIFY(showAndWait([&] { combo->setCurrentIndex(0); }));

    activate(&other);
    QVERIFY(loadsOnCall([&] { activate(form.get()); }));
    QVERIFY(showAndWait([] {}));
    // Back from another application: the last active window was this one.
    QVERIFY(!loadsOnCall([&] { activate(form.get()); }));
    activate(&box);
    QVERIFY(!loadsOnCall([&] { activate(form.get()); }));
    // Not while editing, and not with an empty list.
    browser->state()->setEditing(true);
    activate(&other);
    QVERIFY(!loadsOnCall([&] { activate(form.get()); }));
    browser->state()->setEditing(false);
    // A window that deletes itself on closing is gone before the main window
    // hears that it is active again.
    auto* closing = new QDialog(form.get());
    activate(closing);
    delete closing;
    QVERIFY(loadsOnCall([&] { activate(form.get()); }));
    QVERIFY(showAndWait([] {}));
    combo->clear();
    activate(&other);
    QVERIFY(!loadsOnCall([&] { activate(form.get()); }));
  }

  void resizingAppliesTheRule() {
    form->show();
    form->resize(800, 600);
    auto* web = form->findChild<WebBrowser*>("WebBrowser1");
    auto* plus = form->findChild<QPushButton*>("Command5");
    QCOMPARE(plus->x(), combo->x() + combo->width() + qRound(100 * 96 / 1440.0));
    QVERIFY(web->width() > 0 && web->width() < form->width());
    form->resize(40, 300);  // far narrower than 1000 twips
    QCOMPARE(web->width(), 0);
    QVERIFY(combo->width() >= 0);
  }
};

QV_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
