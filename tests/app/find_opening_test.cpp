// Find and Replace as the main window opens it: Ctrl+H or Ctrl+F, one window,
// and edits in the editor settled before the search reads the file.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include "app/main_window.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/find_window.h"

class FindOpeningTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void refusedWithoutPages();
  void bothKeysOpenOneWindow();
  void editsAreSettledBeforeTheSearch();

 private:
  QComboBox* combo() { return main_->findChild<QComboBox*>(QStringLiteral("Combo1")); }
  WebBrowser* browser() { return main_->findChild<WebBrowser*>(QStringLiteral("WebBrowser1")); }
  QList<frmFind*> windows() { return main_->findChildren<frmFind*>(); }

  QPointer<Form2> main_;
  QTemporaryDir dir_;
  QString page_;
};

void FindOpeningTest::init() {
  main_ = new Form2;
  main_->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
  main_->show();
  QVERIFY(QTest::qWaitForWindowExposed(main_));
  page_ = dir_.filePath(QStringLiteral("sales.htm"));
  testfiles::write(page_, "<html><body><p id=\"first\">Acme sells</p></body></html>");
}

void FindOpeningTest::cleanup() { delete main_; }

void FindOpeningTest::refusedWithoutPages() {
  MsgBoxRecorder rec;
  QTest::keyClick(main_, Qt::Key_H, Qt::ControlModifier);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Please add a page before."));
  QCOMPARE(rec.calls[0].title, QStringLiteral("Missing Info"));
  QVERIFY(windows().isEmpty());
}

void FindOpeningTest::bothKeysOpenOneWindow() {
  // A page in the list is enough, even with the page box emptied.
  combo()->addItem(page_);
  combo()->setEditText(QString());
  MsgBoxRecorder rec;
  QTest::keyClick(main_, Qt::Key_H, Qt::ControlModifier);
  QCOMPARE(windows().size(), 1);
  QPointer<frmFind> first = windows().first();
  QVERIFY(first->isVisible());
  QVERIFY(!first->isModal());
  first->findChild<QLineEdit*>(QStringLiteral("txtFind"))->setText(QStringLiteral("Acme"));
  main_->activateWindow();
  QTest::keyClick(main_, Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(windows().size(), 1);
  QCOMPARE(first->findChild<QLineEdit*>(QStringLiteral("txtFind"))->text(), QStringLiteral("Acme"));
  QVERIFY(rec.calls.isEmpty());
}

// Typed edits of the shown page: the search first asks to save them; Cancel
// searches nothing, Save writes them and the search sees them.
void FindOpeningTest::editsAreSettledBeforeTheSearch() {
  QSignalSpy loaded(browser(), &WebBrowser::DownloadComplete);
  combo()->addItem(page_);
  QVERIFY(loaded.wait(30000));
  {
    MsgBoxRecorder none;
    QTest::mouseClick(main_->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    QVERIFY(loaded.wait(30000));
  }
  QTRY_COMPARE(driver::designMode(browser()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser(), QStringLiteral("#first"), QStringLiteral(" Acme")));

  // The keys work with the editor holding the focus.
  browser()->view()->setFocus();
  QTest::keyClick(browser()->view()->focusProxy(), Qt::Key_H, Qt::ControlModifier);
  QTRY_COMPARE(windows().size(), 1);
  frmFind* find = windows().first();
  find->findChild<QLineEdit*>(QStringLiteral("txtFind"))->setText(QStringLiteral("Acme"));
  auto* summary = find->findChild<QLabel*>(QStringLiteral("lblSummary"));

  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Cancel});
  QTest::mouseClick(find->findChild<QPushButton*>(QStringLiteral("cmdFind")), Qt::LeftButton);
  QVERIFY(driver::waitFor([&] { return !rec.calls.isEmpty(); }));
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Save changes to sales.htm?"));
  QCOMPARE(rec.calls[0].buttons, MsgButtons::SaveDiscardCancel);
  QCOMPARE(summary->text(), QString());
  QVERIFY(browser()->state()->holdsEdit());

  rec.queue({MsgAnswer::Save});
  QSignalSpy searched(find, &frmFind::searchDone);
  QTest::mouseClick(find->findChild<QPushButton*>(QStringLiteral("cmdFind")), Qt::LeftButton);
  QVERIFY(searched.wait(30000));
  QCOMPARE(rec.calls.size(), 2);
  QVERIFY(testfiles::read(page_).contains(" Acme"));
  QCOMPARE(summary->text(), QStringLiteral("2 matches in 1 page"));
}

QV_TEST_MAIN(FindOpeningTest)
#include "find_opening_test.moc"
