// The user's browser opens only at the user's own click (or Enter) on a link,
// once per click, and only for web and mail addresses: a page's script that
// keeps clicking links opens nothing, before or after the user's clicks.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "support/browser_driver.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// Links in fixed places; a timer clicks the script's own links (and tries
// every other way out) every 50 ms and counts its rounds in the title.
const QByteArray kPage =
    "<!DOCTYPE html><html><head><style>\n"
    "  body { margin: 0; font: 16px sans-serif; }\n"
    "  a, p { position: absolute; left: 0; height: 30px; width: 200px; margin: 0; display: block; "
    "}\n"
    "</style></head><body>\n"
    "<a id=\"user\" href=\"https://example.com/offer\" style=\"top: 0\">offer</a>\n"
    "<p id=\"text\" style=\"top: 40px\">just text</p>\n"
    "<a id=\"mail\" href=\"mailto:someone@example.com\" style=\"top: 80px\">mail</a>\n"
    "<a id=\"irc\" href=\"irc://example.com/room\" style=\"top: 120px\">chat</a>\n"
    "<a id=\"tab\" href=\"https://example.com/tab\" target=\"_blank\" style=\"top: "
    "160px\">tab</a>\n"
    "<a id=\"script\" href=\"https://example.com/script\" style=\"top: 300px\">theirs</a>\n"
    "<a id=\"scripttab\" href=\"https://example.com/script-tab\" target=\"_blank\" style=\"top: "
    "340px\">x</a>\n"
    "<script>\n"
    "  var rounds = 0;\n"
    "  document.getElementById('user').addEventListener('click', function () {\n"
    "    document.getElementById('script').click();\n"
    "  });\n"
    "  setInterval(function () {\n"
    "    document.getElementById('script').click();\n"
    "    document.getElementById('scripttab').click();\n"
    "    window.open('https://example.com/popup');\n"
    "    document.getElementById('irc').click();\n"
    "    if (rounds % 10 == 5) location.href = 'mailto:page@example.com';\n"
    "    document.title = 'round ' + (++rounds);\n"
    "  }, 50);\n"
    "</script></body></html>";

}  // namespace

class UserClickTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    opened.clear();
    externalopener::setOpener([this](const QUrl& url) { opened << url; });
  }

  void onlyTheUsersClickOpensTheLink() {
    QTemporaryDir dir;
    const QString path = dir.filePath("links.htm");
    testfiles::write(path, kPage);
    WebBrowser browser;
    browser.resize(400, 420);
    browser.show();
    QVERIFY(driver::load(&browser, path));
    QWidget* input = browser.view()->focusProxy();
    QVERIFY(input);

    waitRounds(browser, 20);  // a second of the script clicking on its own
    QCOMPARE(opened, QList<QUrl>{});

    // A click beside the links gives the script's clicks nothing.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 50));
    waitRounds(browser, 50);
    QCOMPARE(opened, QList<QUrl>{});

    // The user's click opens that link, once, though the page clicks its own
    // link in the same moment and then keeps clicking.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 10));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 20000);
    QCOMPARE(opened.first(), QUrl("https://example.com/offer"));
    waitRounds(browser, 50);
    QCOMPARE(opened.size(), 1);

    // A link that asks for a new window, and a mail address.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 170));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 2, 20000);
    QCOMPARE(opened.last(), QUrl("https://example.com/tab"));
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 90));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 3, 20000);
    QCOMPARE(opened.last(), QUrl("mailto:someone@example.com"));

    // Enter on the focused link is the user's click too.
    driver::js(&browser, QStringLiteral("document.getElementById('user').focus()"));
    QTest::keyClick(input, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 4, 20000);
    QCOMPARE(opened.last(), QUrl("https://example.com/offer"));

    // Other schemes never leave, clicked or not.
    QTest::mouseClick(input, Qt::LeftButton, {}, QPoint(20, 130));
    waitRounds(browser, 50);
    QCOMPARE(opened.size(), 4);
    QCOMPARE(browser.LocationPath(), path);
  }

  // Dragging across a link (selecting text) is no click on it, and a link in
  // a page being edited only takes the caret.
  void noClickNoOpening() {
    QTemporaryDir dir;
    const QString path = dir.filePath("links.htm");
    testfiles::write(path, kPage);
    WebBrowser browser;
    browser.resize(400, 420);
    browser.show();
    QVERIFY(driver::load(&browser, path));
    QWidget* input = browser.view()->focusProxy();
    QTest::mousePress(input, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(input, QPoint(150, 60));
    QTest::mouseRelease(input, Qt::LeftButton, {}, QPoint(150, 60));
    waitRounds(browser, 20);
    QCOMPARE(opened, QList<QUrl>{});

    browser.state()->setEditing(true);
    browser.setDesignMode(QStringLiteral("On"));
    QVERIFY(driver::waitLoaded(&browser));
    QVERIFY(driver::waitFor([&] { return driver::designMode(&browser) == u"on"; }, 60000));
    QTest::mouseClick(input = browser.view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::keyClick(input, Qt::Key_Return);
    // Nothing runs in the page now to count with; the program's scripts are
    // answered in order, so once a later one is, the clicks were handled.
    QVERIFY(driver::js(&browser, QStringLiteral("document.body.isContentEditable")).toBool());
    QCOMPARE(opened, QList<QUrl>{});
  }

 private:
  // Waits until the page's timer has run n more rounds.
  static void waitRounds(WebBrowser& browser, int n) {
    const int from = round(browser);
    QVERIFY(driver::waitFor([&] { return round(browser) >= from + n; }, 60000));
  }
  static int round(WebBrowser& browser) { return browser.view()->title().section(u' ', 1).toInt(); }

  QList<QUrl> opened;
};

QV_TEST_MAIN(UserClickTest)
#include "user_click_test.moc"
