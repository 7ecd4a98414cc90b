// The pages' own scheme: the mapping between files and addresses, and what
// the preview shows and saves through it.
#include "engine/page_scheme.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

class PageSchemeTest final : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    externalopener::setOpener([](const QUrl&) {});
  }

  void servableComponents_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("servable");
    QTest::newRow("file beside the page") << "style.css" << true;
    QTest::newRow("file in a subfolder") << "img/logo.png" << true;
    QTest::newRow("doubled slash") << "img//logo.png" << true;
    QTest::newRow("name with a dot inside") << "offer.htm.txt" << true;
    QTest::newRow("hidden file") << ".bashrc" << false;
    QTest::newRow("file in a hidden folder") << ".ssh/id_rsa" << false;
    QTest::newRow("hidden file in a subfolder") << "img/.env" << false;
    QTest::newRow("parent folder") << "../secret.txt" << false;
    QTest::newRow("this folder") << "./page.htm" << false;
  }
  void servableComponents() {
    QFETCH(QString, relative);
    QFETCH(bool, servable);
    QCOMPARE(pagescheme::servableComponents(relative).has_value(), servable);
  }

  void fileNamesRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "index.html";
    QTest::newRow("spaces and non-ASCII") << "my page ø ü.htm";
    QTest::newRow("URL characters") << "a#b?c%41&d=e;f.htm";
    QTest::newRow("not named .htm") << "offer.htm.txt";
    QTest::newRow("hidden page") << ".draft.htm";
  }
  // Whatever the page's name, its address leads back to exactly that file,
  // served as the listed page.
  void fileNamesRoundTrip() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(name);
    const QUrl url = pagescheme::urlOf(path);
    QCOMPARE(url.scheme(), QLatin1String(pagescheme::kScheme));
    QCOMPARE(pagescheme::pathOf(url), path);
    // As the engine hands it back: parsed again from its text.
    QCOMPARE(pagescheme::pathOf(QUrl(url.toString(QUrl::FullyEncoded))), path);
    const auto served = pagescheme::servedFor(url);
    QVERIFY(served);
    QVERIFY(served->listed);
    QCOMPARE(served->path, path);
  }

  // Each folder is an origin of its own; an address of a folder no page was
  // shown from leads nowhere.
  void foldersAreOrigins() {
    QTemporaryDir dir;
    const QUrl a = pagescheme::urlOf(dir.filePath("a/page.htm"));
    const QUrl b = pagescheme::urlOf(dir.filePath("b/page.htm"));
    QVERIFY(a.host() != b.host());
    QCOMPARE(pagescheme::urlOf(dir.filePath("a/other.htm")).host(), a.host());
    QUrl unknown = a;
    unknown.setHost(pagescheme::hostFor(dir.filePath("c")));
    QCOMPARE(pagescheme::pathOf(unknown), QString());
    QVERIFY(!pagescheme::servedFor(unknown));
    QVERIFY(!pagescheme::servedFor(QUrl::fromLocalFile(dir.filePath("a/page.htm"))));
    // Below the folder, only what is not hidden.
    QVERIFY(pagescheme::servedFor(a.resolved(QUrl("img/logo.png"))));
    QVERIFY(!pagescheme::servedFor(a.resolved(QUrl(".git/config"))));
  }

  // A page in a hidden folder is still shown with its own style and image:
  // only what lies below the page's folder is looked at.
  void aPageInAHiddenFolderShowsWithItsResources() {
    QTemporaryDir dir;
    const QString site = dir.filePath(".cache/site");
    QDir().mkpath(site + "/img");
    testfiles::write(site + "/style.css", "p { color: rgb(4, 5, 6); }");
    testfiles::write(site + "/img/pic.svg",
                     "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='3'></svg>");
    const QString page = site + "/page.htm";
    testfiles::write(page, "<link rel=stylesheet href=style.css><p>Offer</p><img src=img/pic.svg>");
    WebBrowser browser;
    QVERIFY(driver::load(&browser, page));
    QVERIFY(driver::waitFor([&] {
      return driver::js(&browser, QStringLiteral("getComputedStyle(document.querySelector('p'))"
                                                 ".color + ' ' + document.images[0].naturalWidth"))
                 .toString() == u"rgb(4, 5, 6) 7";
    }));
    QCOMPARE(browser.LocationPath(), page);
  }

  // A page the list holds under another name than .htm is shown, edited and
  // saved as the HTML page it is, never as the engine's text view of it.
  void aPageNamedOtherwiseIsEditedAsHtml() {
    QTemporaryDir dir;
    const QByteArray bytes =
        "<!DOCTYPE html>\r\n<html><head><title>Offer</title></head>\r\n"
        "<body><p id=\"first\">Hello</p><p>[BUYBUTTON]</p></body></html>\r\n";
    const QString page = dir.filePath("offer.htm.txt");
    testfiles::write(page, bytes);
    testfiles::write(dir.filePath("next.htm"), "<p>next</p>");
    WebBrowser browser;
    browser.resize(600, 400);
    browser.show();
    browser.state()->setEditing(true);
    QVERIFY(driver::load(&browser, page));
    QCOMPARE(driver::js(&browser, QStringLiteral("document.querySelectorAll('p').length")).toInt(),
             2);
    browser.setDesignMode(QStringLiteral("On"));
    QCOMPARE(driver::designMode(&browser), QStringLiteral("on"));
    QVERIFY(driver::typeInto(&browser, QStringLiteral("#first"), QStringLiteral(" there")));
    MsgBoxRecorder answers(MsgAnswer::Save);
    QVERIFY(driver::load(&browser, dir.filePath("next.htm")));
    QCOMPARE(answers.calls.size(), 1);
    QCOMPARE(testfiles::read(page), QByteArray(bytes).replace("Hello", "Hello there"));
  }
};

QV_TEST_MAIN(PageSchemeTest)
#include "page_scheme_test.moc"
