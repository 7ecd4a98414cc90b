// The shipped back-button template in the real engine: a visitor who presses
// Back on a page holding it lands on the page it names.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "editor/web_browser.h"
#include "support/msg_box_recorder.h"
#include "support/page_script.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/pro_options.h"

class BackButtonTest final : public QObject {
  Q_OBJECT

 private slots:
  void backLeadsToTarget_data();
  void backLeadsToTarget();
};

namespace {

QByteArray page(const QByteArray& title) {
  return "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>" + title +
         "</title></head>\r\n<body><p id=\"p\">" + title + "</p></body></html>\r\n";
}

bool load(WebBrowser& browser, const QString& path) {
  QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
  browser.Navigate2(path);
  return done.wait(20000) && browser.LocationPath() == path;
}

// A click on the page, as a visitor's, and once the page has taken it in.
bool clickOnPage(WebBrowser& browser) {
  browser.view()->setFocus();
  QTest::mouseClick(browser.view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
  for (int i = 0; i < 200; ++i)
    if (pagescript::run(&browser, QStringLiteral("navigator.userActivation.hasBeenActive"))
            .toBool())
      return true;
  return false;
}

QString shownFile(const WebBrowser& browser) {
  return QFileInfo(browser.LocationPath()).fileName();
}

}  // namespace

void BackButtonTest::backLeadsToTarget_data() {
  QTest::addColumn<bool>("insert");
  QTest::addColumn<QString>("landsOn");
  QTest::addColumn<QString>("query");
  QTest::newRow("no redirect: back to where the visitor came from")
      << false << QStringLiteral("start.html") << QString();
  QTest::newRow("redirect inserted: back to the target")
      << true << QStringLiteral("target.html") << QString();
  QTest::newRow("address with quotes, ampersands and angle brackets")
      << true << QStringLiteral("target.html") << QStringLiteral("?a=\"x\"&b=<y>'z'");
}

void BackButtonTest::backLeadsToTarget() {
  QFETCH(bool, insert);
  QFETCH(QString, landsOn);
  QFETCH(QString, query);

  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString start = dir.filePath(QStringLiteral("start.html"));
  const QString target = dir.filePath(QStringLiteral("target.html"));
  const QString sales = dir.filePath(QStringLiteral("sales.html"));
  testfiles::write(start, page("start"));
  testfiles::write(target, page("target"));
  testfiles::write(sales, page("sales"));

  WebBrowser browser;
  browser.resize(400, 300);
  browser.show();
  QVERIFY(load(browser, start));

  if (insert) {
    // As the user does it: the shipped template, the URL typed, "Insert Code".
    // A page beside it stands for the web address: the preview leaves for
    // no web address, and a page reaches no file: address.
    QComboBox pageList;
    pageList.setEditable(true);
    pageList.setEditText(sales);
    MsgBoxRecorder rec;
    auto* w = new frmPRO(&pageList, nullptr);
    w->findChild<QLineEdit*>(QStringLiteral("txtBackRedirect"))
        ->setText(QStringLiteral("target.html") + query);
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmdUpdate_2")), Qt::LeftButton);
    QCOMPARE(rec.calls.size(), 1);
    QCOMPARE(rec.calls[0].prompt, QStringLiteral("Done!"));
    w->close();
  }

  QVERIFY(load(browser, sales));
  // Browsers let a page keep a visitor only once the visitor has used it:
  // Back skips history entries a page added before any click or key press.
  QVERIFY(clickOnPage(browser));

  QSignalSpy moved(browser.view(), &QWebEngineView::urlChanged);
  browser.view()->page()->triggerAction(QWebEnginePage::Back);
  while (shownFile(browser) != landsOn && moved.wait(20000)) {
  }
  QCOMPARE(shownFile(browser), landsOn);
}

QV_TEST_MAIN(BackButtonTest)
#include "back_button_test.moc"
