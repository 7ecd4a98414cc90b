#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/main_window.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/insert_code.h"

// The Insert Code window as the main window opens it: without blocking, one at
// a time, afresh after closing, and closed with the main window.
class InsertCodeOpeningTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void refusedWithoutPage();
  void secondOpeningRaisesTheSameWindow();
  void reopeningStartsFromInitialTexts();
  void closesWithMainWindow();

 private:
  void clickOpen() {
    QTest::mouseClick(main_->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  }
  QList<Form3*> openWindows() const { return main_->findChildren<Form3*>(); }

  QPointer<Form2> main_;
  QTemporaryDir dir_;
};

void InsertCodeOpeningTest::init() {
  main_ = new Form2;
  main_->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
  main_->show();
  const QString page = dir_.filePath(QStringLiteral("sales.htm"));
  testfiles::write(page, "<p>[BUYBUTTON]</p>");
  main_->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(page);
}

void InsertCodeOpeningTest::cleanup() { delete main_; }

void InsertCodeOpeningTest::refusedWithoutPage() {
  main_->findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QString());
  MsgBoxRecorder rec;
  clickOpen();
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Please add a page before."));
  QCOMPARE(rec.calls[0].title, QStringLiteral("Missing Info"));
  QVERIFY(openWindows().isEmpty());
}

void InsertCodeOpeningTest::secondOpeningRaisesTheSameWindow() {
  clickOpen();
  QCOMPARE(openWindows().size(), 1);
  QPointer<Form3> first = openWindows().first();
  QVERIFY(first->isVisible());
  QVERIFY(!first->isModal());
  QVERIFY(main_->isEnabled());
  first->findChild<QLineEdit*>(QStringLiteral("txtToFind"))->setText(QStringLiteral("[OPTIN]"));

  // The main window is used meanwhile and comes to the front.
  main_->activateWindow();
  QTRY_VERIFY(main_->isActiveWindow());
  clickOpen();
  QCOMPARE(openWindows().size(), 1);
  QCOMPARE(openWindows().first(), first.data());
  QCOMPARE(first->findChild<QLineEdit*>(QStringLiteral("txtToFind"))->text(),
           QStringLiteral("[OPTIN]"));
  QTRY_VERIFY(first->isActiveWindow());
}

void InsertCodeOpeningTest::reopeningStartsFromInitialTexts() {
  clickOpen();
  QPointer<Form3> first = openWindows().first();
  first->findChild<QLineEdit*>(QStringLiteral("txtToFind"))->setText(QStringLiteral("[OPTIN]"));
  first->findChild<QLineEdit*>(QStringLiteral("txtLinkUrl"))->setText(QStringLiteral("https://x"));
  QTest::mouseClick(first->findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
  QTRY_VERIFY(first.isNull());

  clickOpen();
  QCOMPARE(openWindows().size(), 1);
  Form3* second = openWindows().first();
  QCOMPARE(second->findChild<QLineEdit*>(QStringLiteral("txtToFind"))->text(),
           QStringLiteral("[BUYBUTTON]"));
  QCOMPARE(second->findChild<QLineEdit*>(QStringLiteral("txtLinkUrl"))->text(),
           QStringLiteral("http://"));
}

void InsertCodeOpeningTest::closesWithMainWindow() {
  clickOpen();
  QPointer<Form3> window = openWindows().first();
  main_->close();
  QVERIFY(!window || !window->isVisible());
  QTRY_VERIFY(window.isNull());
}

QV_TEST_MAIN(InsertCodeOpeningTest)
#include "insert_code_opening_test.moc"
