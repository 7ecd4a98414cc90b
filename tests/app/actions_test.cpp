// The main window's one list of actions: the menu with every action and its
// key, entries that cannot run said so, the keys, the Keyboard Shortcuts
// window, and the guide over the empty preview.
#include "app/actions.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/main_window.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/modal_steps.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "widgets/link_label.h"

class ActionsTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir;
  std::unique_ptr<Form2> form;
  QComboBox* combo = nullptr;
  WebBrowser* browser = nullptr;
  QString page;

  QMenu* menu() { return form->findChild<QMenu*>("mnuMain"); }
  QAction* entry(const char* name) { return menu()->findChild<QAction*>(name); }
  // The menu as the user opens it: its entries as things stand now.
  void openMenu() { emit menu()->aboutToShow(); }
  void addPage() {
    QSignalSpy done(browser, &WebBrowser::DownloadComplete);
    combo->addItem(page);
    combo->setCurrentIndex(0);
    QVERIFY(done.wait(20000));
  }

 private slots:
  // The device chosen and other settings go to a test folder, never the user's.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    page = dir.filePath("sales.htm");
    testfiles::write(page, "<html><body><p>A</p></body></html>");
    form = std::make_unique<Form2>();
    form->findChild<QTimer*>("Timer1")->stop();
    combo = form->findChild<QComboBox*>("Combo1");
    browser = form->findChild<WebBrowser*>("WebBrowser1");
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  void cleanup() { form.reset(); }

  void eachActionHasItsKeys_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("keys");
    QTest::newRow("save") << "actSave"
                          << "Ctrl+S";
    QTest::newRow("find") << "actFind"
                          << "Ctrl+H, Ctrl+F";
    QTest::newRow("links") << "actLinks"
                           << "Ctrl+Shift+K";
    QTest::newRow("undo the last change") << "actUndoChange"
                                          << "Ctrl+Shift+Z";
    QTest::newRow("publish") << "actPublish"
                             << "Ctrl+Shift+U";
    QTest::newRow("check") << "actCheck"
                           << "Ctrl+Shift+C";
    QTest::newRow("code") << "actViewCode"
                          << "Ctrl+U";
    QTest::newRow("device") << "actDevice"
                            << "Ctrl+Shift+M";
    QTest::newRow("history") << "actHistory"
                             << "Ctrl+Shift+H";
    QTest::newRow("menu") << "actMenu"
                          << "F10";
    QTest::newRow("about: none") << "actAbout"
                                 << "";
  }
  void eachActionHasItsKeys() {
    QFETCH(QString, name);
    QFETCH(QString, keys);
    const Action* a = actions::find(form->actionList(), name);
    QVERIFY(a);
    QCOMPARE(actions::keyText(*a), keys);
    QVERIFY2(actions::clashes(form->actionList()).isEmpty(),
             qPrintable(actions::clashes(form->actionList()).join(", ")));
  }

  void theMenuListsEveryActionWithItsKey() {
    openMenu();
    for (const Action& a : form->actionList()) {
      if (!a.inMenu) continue;
      QAction* e = menu()->findChild<QAction*>(a.name);
      QVERIFY2(e, qPrintable(a.name));
      QVERIFY2(!a.keys.isEmpty() == e->text().endsWith('\t' + actions::keyText(a)),
               qPrintable(e->text()));
      QVERIFY2(e->toolTip().startsWith(a.tip), qPrintable(a.name));
    }
    for (const char* group : {"mnuPages", "mnuEdit", "mnuView", "mnuCode", "mnuHelp"}) {
      auto* sub = menu()->findChild<QMenu*>(group);
      QVERIFY2(sub, group);
      // The group's entry is titled with the group, whatever its entries are.
      QCOMPARE(sub->menuAction()->text(), sub->title());
    }
  }

  void whatCannotRunIsDisabledWithItsReason() {
    openMenu();
    QVERIFY(!entry("actInsertCode")->isEnabled());
    QVERIFY(entry("actInsertCode")->toolTip().contains("Add a page first."));
    QVERIFY(!entry("actFind")->isEnabled());
    QVERIFY(entry("actAbout")->isEnabled());
    QVERIFY(entry("actAddPages")->isEnabled());
    addPage();
    openMenu();
    QVERIFY(entry("actInsertCode")->isEnabled());
    QVERIFY(!entry("actInsertCode")->toolTip().contains("Not now"));
    QVERIFY(!entry("actLinks")->isEnabled());
    QCOMPARE(entry("actEdit")->text(), QStringLiteral("Edit Page"));

    browser->state()->setEditing(true);
    openMenu();
    QCOMPARE(entry("actEdit")->text(), QStringLiteral("Save / Discard Changes"));
    for (const char* name : {"actAddPages", "actPublish", "actInsertCode", "actUndoChange"}) {
      QVERIFY2(!entry(name)->isEnabled(), name);
      QVERIFY2(entry(name)->toolTip().contains("Save or discard your changes"), name);
    }
    // The header link says so too, while staying a link.
    QVERIFY(form->findChild<LinkLabel*>("lblPublish")->toolTip().contains("Save or discard"));
    // A stale entry does not run: the state is asked again at the click.
    MsgBoxRecorder messages;
    entry("actPublish")->trigger();
    QVERIFY(!form->findChild<QDialog*>("frmPublish"));
    browser->state()->setEditing(false);
    QVERIFY(!form->findChild<LinkLabel*>("lblPublish")->toolTip().contains("Not now"));
  }

  void entriesRunFromTheMenu() {
    addPage();
    openMenu();
    entry("actShortcuts")->trigger();
    auto* keys = form->findChild<QDialog*>("frmShortcuts");
    QVERIFY(keys);
    auto* list = keys->findChild<QTreeWidget*>("lstShortcuts");
    QVERIFY(!list->findItems("Ctrl+Shift+K", Qt::MatchExactly | Qt::MatchRecursive, 1).isEmpty());
    QVERIFY(!list->findItems("Ctrl+B, Ctrl+I, Ctrl+U", Qt::MatchExactly | Qt::MatchRecursive, 1)
                 .isEmpty());
    keys->close();

    bool aboutShown = false;
    whenModal("frmAbout", [&](QWidget* w) {
      aboutShown = true;
      static_cast<QDialog*>(w)->reject();
    });
    entry("actAbout")->trigger();
    QVERIFY(aboutShown);

    const bool desktop = browser->state()->device().desktop();
    entry("actDevice")->trigger();
    QCOMPARE(browser->state()->device().desktop(), !desktop);
    entry("actViewSplit")->trigger();
    QCOMPARE(browser->state()->view(), EditingState::View::Split);
    openMenu();
    QVERIFY(entry("actViewSplit")->isChecked());
    QVERIFY(!entry("actViewPage")->isChecked());
    entry("actViewPage")->trigger();
    QCOMPARE(browser->state()->view(), EditingState::View::Page);
  }

  void f10OpensTheMenu() {
    QTimer::singleShot(0, this, [this] {
      QTRY_VERIFY(menu()->isVisible());
      menu()->close();
    });
    QTest::keyClick(form.get(), Qt::Key_F10);
    QTRY_VERIFY(!menu()->isVisible());
  }

  void tabFollowsTheLayout() {
    const QStringList expected = {"cmdMenu",       "cmdViewPage", "cmdViewCode", "cmdViewSplit",
                                  "cmdPro",        "Combo1",      "Command5",    "Command2",
                                  "Command1",      "cmdAddPages", "cboDevice",   "cmdRotate",
                                  "cmdSavePicture"};
    QStringList seen;
    QWidget* w = form->findChild<QWidget*>("cmdMenu");
    for (int i = 0; i < 500 && seen.size() < expected.size(); ++i, w = w->nextInFocusChain())
      if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
        seen << w->objectName();
    QCOMPARE(seen, expected);
  }

  void theEmptyWindowGuides() {
    auto* guide = form->findChild<QWidget*>("frGuide");
    auto* add = form->findChild<QPushButton*>("cmdAddPages");
    QVERIFY(guide && add);
    QVERIFY(guide->isVisible());
    QCOMPARE(guide->geometry(), form->findChild<QWidget*>("splView")->geometry());
    // The three steps show whole, not cut to the heading's height.
    auto* steps = form->findChild<QLabel*>("lblGuide");
    QVERIFY(steps->height() >= steps->heightForWidth(steps->width()));
    bool welcomed = false;
    whenModal("frmdropfiles", [&](QWidget* w) {
      welcomed = true;
      static_cast<QDialog*>(w)->reject();
    });
    QTest::mouseClick(add, Qt::LeftButton);
    QVERIFY(welcomed);
    addPage();
    QVERIFY(!guide->isVisible());
    combo->clear();
    QVERIFY(guide->isVisible());
  }
};

QV_TEST_MAIN(ActionsTest)
#include "actions_test.moc"
