#include "editor/web_browser.h"

#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "support/browser_driver.h"
#include "support/page_script.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// Loads a page and waits until its scripts have reported by setting the title.
QString titleAfterLoading(WebBrowser& browser, const QString& path, const QString& untilPrefix) {
  QSignalSpy titles(browser.view(), &QWebEngineView::titleChanged);
  browser.Navigate2(path);
  while (!browser.view()->title().startsWith(untilPrefix))
    if (!titles.wait(20000)) break;
  return browser.view()->title();
}

}  // namespace

// The preview: loads plain file paths, reports every finished load, and keeps
// untrusted pages away from the user's files and the web.
class WebBrowserTest final : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    opened.clear();
    externalopener::setOpener([this](const QUrl& url) { opened << url; });
  }

  void loadsAPlainPathAndReportsIt() {
    QTemporaryDir dir;
    const QString path = dir.filePath("my page ø.htm");
    testfiles::write(path, "<html><head></head><body><p>Hello</p></body></html>");
    WebBrowser browser;
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(path);
    QVERIFY(done.wait(20000));
    QCOMPARE(done.size(), 1);
    QCOMPARE(browser.LocationPath(), path);
    QVERIFY(pagescript::answer<QString>([&](auto cb) {
              browser.readMarkup(cb);
            }).contains("<p>Hello</p>"));

    // The page's scripts ran, so it is loaded again without them first.
    browser.setDesignMode(QStringLiteral("On"));
    QVERIFY(done.wait(20000));
    QCOMPARE(pagescript::answer<QString>([&](auto cb) { browser.readDesignMode(cb); }),
             QStringLiteral("on"));
    browser.setDesignMode(QStringLiteral("off"));
    QCOMPARE(pagescript::answer<QString>([&](auto cb) { browser.readDesignMode(cb); }),
             QStringLiteral("off"));
  }

  void badPathsStillEndTheLoad_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << "missing.htm";
    QTest::newRow("folder") << "folder.htm";
    QTest::newRow("binary file") << "binary.htm";
    QTest::newRow("named pipe") << "pipe.htm";
    QTest::newRow("link to a device") << "zero.htm";
  }
  // Every load ends, and what is not a regular file is never opened: a note
  // says why in place of the page, and it is not a page to edit.
  void badPathsStillEndTheLoad() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder.htm");
    testfiles::write(dir.filePath("binary.htm"), QByteArray("\x00\x01\xFF\xFE\x89PNG", 8));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.htm")).constData(), 0644), 0);
    QVERIFY(QFile::link("/dev/zero", dir.filePath("zero.htm")));
    WebBrowser browser;
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(dir.filePath(name));
    QVERIFY(done.wait(20000));
    if (name == u"pipe.htm" || name == u"zero.htm") {
      QCOMPARE(driver::js(&browser, QStringLiteral("document.body.innerText")).toString(),
               QStringLiteral("Could not read %1: it is not a regular file.").arg(name));
      QCOMPARE(browser.LocationPath(), QString());
    }
  }

  void silentSuppressesPageDialogs() {
    QTemporaryDir dir;
    const QString path = dir.filePath("dialogs.htm");
    testfiles::write(path,
                     "<script>alert('a'); var c = confirm('b'); var p = prompt('c', 'd');"
                     "document.title = 'after:' + c + ':' + p;</script>");
    WebBrowser browser;
    browser.setSilent(true);
    QCOMPARE(titleAfterLoading(browser, path, "after:"), QStringLiteral("after:false:null"));
  }

  void noPageRequestHoldsThePreview_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("a hundred alerts") << QByteArray("for (var i = 0; i < 100; ++i) alert(i);");
    QTest::newRow("print") << QByteArray("print();");
    QTest::newRow("file chooser") << QByteArray(
        "var f = document.createElement('input'); f.type = 'file';"
        " document.body.appendChild(f); f.click();");
    QTest::newRow("full screen") << QByteArray("document.documentElement.requestFullscreen();");
    QTest::newRow("location and notifications") << QByteArray(
        "navigator.geolocation.getCurrentPosition(function () {});"
        " Notification.requestPermission();");
  }
  // Under Silent nothing a page asks for at load opens a window or waits for
  // an answer: its next statement runs at once.
  void noPageRequestHoldsThePreview() {
    QFETCH(QByteArray, request);
    QTemporaryDir dir;
    const QString path = dir.filePath("asks.htm");
    testfiles::write(path, "<body><script>" + request + " document.title = 'after';</script>");
    WebBrowser browser;
    browser.setSilent(true);
    browser.show();
    QCOMPARE(titleAfterLoading(browser, path, "after"), QStringLiteral("after"));
    for (QWidget* w : QApplication::topLevelWidgets())
      QVERIFY2(!w->isVisible() || w == &browser, qPrintable(w->metaObject()->className()));
  }

  void aLeavePageHandlerDoesNotHoldThePreview() {
    QTemporaryDir dir;
    const QString exitPopup = dir.filePath("exit.htm");
    testfiles::write(exitPopup,
                     "<script>addEventListener('beforeunload', function (e) {"
                     "e.preventDefault(); e.returnValue = 'Wait!'; });</script>"
                     "<p style='height:300px'>Offer</p>");
    const QString next = dir.filePath("next.htm");
    testfiles::write(next, "<p>next</p>");
    WebBrowser browser;
    browser.setSilent(true);
    browser.resize(400, 300);
    browser.show();
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(exitPopup);
    QVERIFY(done.wait(20000));
    // The handler only counts once the visitor has touched the page.
    QTest::mouseClick(browser.view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, 20));
    browser.Navigate2(next);
    QVERIFY(done.wait(20000));
    QCOMPARE(browser.LocationPath(), next);
  }

  // A page shows its own folder's images, and reads no file: not the one
  // above, not even the data beside it.
  void pagesReadTheirOwnFolderOnly() {
    QTemporaryDir dir;
    testfiles::write(dir.filePath("secret.txt"), "SECRET");
    QDir(dir.path()).mkdir("site");
    testfiles::write(dir.filePath("site/own.txt"), "OWN");
    testfiles::write(dir.filePath("site/pic.svg"),
                     "<svg xmlns='http://www.w3.org/2000/svg' width='7' height='5'></svg>");
    const QString path = dir.filePath("site/reader.htm");
    testfiles::write(path, R"(<img id="i" src="pic.svg"><script>
      const results = {};
      function report(k, v) { results[k] = v;
        if (Object.keys(results).length === 4)
          document.title = 'done fetch=' + results.fetch + ' xhr=' + results.xhr +
              ' own=' + results.own + ' img=' + results.img; }
      fetch('../secret.txt').then(r => r.text()).then(t => report('fetch', t), () => report('fetch', 'blocked'));
      function xhr(k, u) {
        const x = new XMLHttpRequest();
        x.onload = () => report(k, x.status === 200 ? x.responseText : 'blocked');
        x.onerror = () => report(k, 'blocked');
        try { x.open('GET', u); x.send(); } catch (e) { report(k, 'blocked'); }
      }
      xhr('xhr', '../secret.txt');
      xhr('own', 'own.txt');
      const i = document.getElementById('i');
      if (i.complete) report('img', i.naturalWidth); else i.onload = () => report('img', i.naturalWidth);
      i.onerror = () => report('img', 'failed');
    </script>)");
    WebBrowser browser;
    QCOMPARE(titleAfterLoading(browser, path, "done "),
             QStringLiteral("done fetch=blocked xhr=blocked own=blocked img=7"));
  }

  void pagesOpenNoPopups() {
    QTemporaryDir dir;
    testfiles::write(dir.filePath("other.htm"), "<p>other</p>");
    const QString path = dir.filePath("popup.htm");
    testfiles::write(path,
                     "<script>var w = window.open('other.htm');"
                     "document.title = 'popup:' + (w === null);</script>");
    WebBrowser browser;
    QCOMPARE(titleAfterLoading(browser, path, "popup:"), QStringLiteral("popup:true"));
    QVERIFY(opened.isEmpty());
  }

  void pagesCannotReachOtherLocalFiles_data() {
    QTest::addColumn<QString>("attempt");  // script that reports through report(text)
    QTest::newRow("fetch by absolute file address")
        << "fetch(secret).then(r => r.text()).then(report, () => report('blocked'));";
    QTest::newRow("synchronous XHR")
        << "try { const x = new XMLHttpRequest(); x.open('GET', secret, false); x.send();"
           " report(x.responseText); } catch (e) { report('blocked'); }";
    QTest::newRow("frame read from script")
        << "const f = document.createElement('iframe'); f.src = secret;"
           " f.onload = () => { try { report(f.contentDocument.body.textContent || 'blocked'); }"
           " catch (e) { report('blocked'); } }; document.body.appendChild(f);"
           " setTimeout(() => report('blocked'), 3000);";
    QTest::newRow("worker fetching the file")
        << "const w = new Worker(URL.createObjectURL(new Blob(['fetch(\\'' + secret +"
           " '\\').then(r => r.text()).then(t => postMessage(t), () => "
           "postMessage(\\'blocked\\'))'])));"
           " w.onmessage = e => report(e.data);";
  }
  void pagesCannotReachOtherLocalFiles() {
    QFETCH(QString, attempt);
    QTemporaryDir dir;
    const QString secretPath = dir.filePath("secret.txt");
    testfiles::write(secretPath, "SECRET");
    const QString path = dir.filePath("reader.htm");
    testfiles::write(
        path, "<body><script>const secret = '" + QUrl::fromLocalFile(secretPath).toEncoded() +
                  "'; function report(t) { if (!document.title) document.title = 'done ' + t; }\n" +
                  attempt.toUtf8() + "</script></body>");
    WebBrowser browser;
    QCOMPARE(titleAfterLoading(browser, path, "done "), QStringLiteral("done blocked"));
  }

  void aPageCannotTakeThePreviewToTheWeb_data() {
    QTest::addColumn<QByteArray>("leave");
    QTest::newRow("location set by script")
        << QByteArray("<script>location.href = 'https://example.com/away';</script>");
    QTest::newRow("location replaced by script")
        << QByteArray("<script>location.replace('https://example.com/away');</script>");
    QTest::newRow("meta refresh") << QByteArray(
        "<meta http-equiv=\"refresh\" content=\"0; url=https://example.com/away\">");
    QTest::newRow("link clicked by script") << QByteArray(
        "<a id=a href=\"https://example.com/away\">x</a>"
        "<script>document.getElementById('a').click();</script>");
    QTest::newRow("new-window link clicked by script") << QByteArray(
        "<a id=a target=_blank href=\"https://example.com/away\">x</a>"
        "<script>document.getElementById('a').click();</script>");
    QTest::newRow("mail address set by script")
        << QByteArray("<script>location.href = 'mailto:someone@example.com';</script>");
    QTest::newRow("chat link clicked by script") << QByteArray(
        "<a id=a href=\"irc://example.com/room\">x</a>"
        "<script>document.getElementById('a').click();</script>");
    QTest::newRow("form sent at load") << QByteArray(
        "<form id=f action=\"https://example.com/away\"></form>"
        "<script>document.getElementById('f').submit();</script>");
  }
  // The page stays, stays editable, and nothing opens in the default browser:
  // only a link the user clicks leaves the preview.
  void aPageCannotTakeThePreviewToTheWeb() {
    QFETCH(QByteArray, leave);
    QTemporaryDir dir;
    const QString path = dir.filePath("away.htm");
    testfiles::write(path, "<html><head>" + leave + "</head><body><p>Offer</p></body></html>");
    WebBrowser browser;
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(path);
    QVERIFY(done.wait(20000));
    // (A script that leaves while the page loads stops the parser, as in any
    // browser: the preview may show less than the file holds; the editor,
    // without the page's scripts, gets all of it.)
    QCOMPARE(browser.LocationPath(), path);
    QVERIFY(opened.isEmpty());
    browser.state()->setEditing(true);
    browser.setDesignMode(QStringLiteral("On"));
    QVERIFY(driver::waitFor([&] {
      return pagescript::answer<QString>([&](auto cb) { browser.readDesignMode(cb); }) == u"on";
    }));
    QCOMPARE(browser.LocationPath(), path);
    QVERIFY(pagescript::answer<QString>([&](auto cb) {
              browser.readMarkup(cb);
            }).contains("<p>Offer</p>"));
    QVERIFY(opened.isEmpty());
  }

  void anEndlessScriptDoesNotHoldTheEditor_data() {
    QTest::addColumn<QByteArray>("loop");
    QTest::newRow("loop while loading") << QByteArray("<script>for (;;) {}</script>");
    QTest::newRow("loop after loading")
        << QByteArray("<script>setTimeout(function () { for (;;) {} }, 0);</script>");
  }
  // A page whose script never ends hangs its renderer, not the program: the
  // editor (page scripts off) gets the whole page from a renderer of its own,
  // and the hung renderer is ended.
  void anEndlessScriptDoesNotHoldTheEditor() {
    QFETCH(QByteArray, loop);
    QTemporaryDir dir;
    const QString path = dir.filePath("loop.htm");
    testfiles::write(path, "<html><head><title>looping</title></head><body><p>Offer</p>" + loop +
                               "<p>after</p></body></html>");
    WebBrowser browser;
    browser.resize(400, 300);
    browser.show();
    QSignalSpy titled(browser.view(), &QWebEngineView::titleChanged);
    browser.Navigate2(path);
    QVERIFY(titled.wait(20000));  // the page is there, its loop running
    const qint64 hung = browser.view()->page()->renderProcessPid();
    // The program's own event loop keeps running meanwhile.
    QTimer tick;
    QSignalSpy ticks(&tick, &QTimer::timeout);
    tick.start(10);
    QVERIFY(driver::waitFor([&] { return ticks.size() >= 20; }, 5000));

    browser.state()->setEditing(true);
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(path);
    QVERIFY(
        driver::waitFor([&] { return !done.isEmpty() && browser.LocationPath() == path; }, 30000));
    browser.setDesignMode(QStringLiteral("On"));
    QVERIFY(driver::waitFor(
        [&] {
          return pagescript::answer<QString>([&](auto cb) { browser.readDesignMode(cb); }) == u"on";
        },
        30000));
    QVERIFY(pagescript::answer<QString>([&](auto cb) {
              browser.readMarkup(cb);
            }).contains("<p>after</p>"));
#ifdef Q_OS_LINUX
    // The hung renderer does not go on burning a processor.
    QVERIFY(
        driver::waitFor([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(hung)); }));
#endif
  }

  void webLinksOpenInTheDefaultBrowser() {
    QTemporaryDir dir;
    const QString path = dir.filePath("links.htm");
    testfiles::write(path,
                     "<a id='web' href='https://example.com/offer'>web</a>"
                     "<a id='tab' target='_blank' href='http://example.org/tab'>tab</a>");
    WebBrowser browser;
    browser.resize(400, 300);
    browser.show();
    QSignalSpy done(&browser, &WebBrowser::DownloadComplete);
    browser.Navigate2(path);
    QVERIFY(done.wait(20000));
    QTest::mouseClick(browser.view()->focusProxy(), Qt::LeftButton, {}, QPoint(12, 14));
    QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 20000);
    QCOMPARE(opened.first(), QUrl("https://example.com/offer"));
    // The preview stays on the local page.
    QCOMPARE(browser.LocationPath(), path);
  }

 private:
  QList<QUrl> opened;
};

QV_TEST_MAIN(WebBrowserTest)
#include "web_browser_test.moc"
