#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/main_window.h"
#include "editor/web_browser.h"
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
  void pastedCodeShowsInTheMainWindow();

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

// As a user would: open the window, paste the code, insert, and the main
// window's preview shows the rewritten page.
void InsertCodeOpeningTest::pastedCodeShowsInTheMainWindow() {
  auto* browser = main_->findChild<WebBrowser*>(QStringLiteral("WebBrowser1"));
  const QString page = main_->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText();
  // The start page first, so that its end of loading is not taken for ours.
  QTRY_VERIFY_WITH_TIMEOUT(browser->LocationPath().endsWith(QStringLiteral("blank.html")) &&
                               !browser->view()->page()->isLoading(),
                           15000);
  clickOpen();
  Form3* window = openWindows().first();
  auto* code = window->findChild<QPlainTextEdit*>(QStringLiteral("txtToReplace"));
  QGuiApplication::clipboard()->setText(
      QStringLiteral("<a id=\"buy\" href=\"https://pay.example\">Buy</a>"));
  code->setFocus();
  QTest::keyClick(code, Qt::Key_V, Qt::ControlModifier);
  QVERIFY(code->toPlainText().startsWith(QStringLiteral("<a id=")));

  MsgBoxRecorder rec;
  QSignalSpy loaded(browser, &WebBrowser::DownloadComplete);
  QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].prompt, QStringLiteral("Done!"));
  QVERIFY(loaded.wait(15000));
  QCOMPARE(browser->LocationPath(), page);
  QString markup;
  browser->readMarkup([&markup](const QString& m) { markup = m; });
  QTRY_VERIFY(!markup.isEmpty());
  QVERIFY2(
      markup.contains(QStringLiteral("<p><a id=\"buy\" href=\"https://pay.example\">Buy</a></p>")),
      qPrintable(markup));
}

QV_TEST_MAIN(InsertCodeOpeningTest)
#include "insert_code_opening_test.moc"
