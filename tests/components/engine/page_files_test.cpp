// A page folder's file host: what the web proxy answers for each request the
// engine (or anything else that names the host) can make, and a large file
// streamed through the proxy itself.
#include "engine/page_files.h"

#include <QDir>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "engine/page_scheme.h"
#include "engine/web_proxy.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

QByteArray statusOf(const QByteArray& head) { return head.left(head.indexOf("\r\n")).mid(9); }

}  // namespace

class PageFilesTest final : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;
  QString page_;

 private slots:
  void initTestCase() {
    const QDir d(dir_.path());
    d.mkpath("shop/fonts");
    d.mkpath("shop/.private");
    d.mkpath("outside");
    testfiles::write(d.filePath("shop/offer.htm"), "<p>Offer</p>");
    testfiles::write(d.filePath("shop/notes.txt"), "0123456789");
    testfiles::write(d.filePath("shop/app.js"), "var a = 1;");
    testfiles::write(d.filePath("shop/fonts/own.woff"), "wOFF");
    testfiles::write(d.filePath("shop/.env"), "TOKEN");
    testfiles::write(d.filePath("shop/.private/key.txt"), "KEY");
    testfiles::write(d.filePath("outside/secret.txt"), "SECRET");
    QVERIFY(QFile::link(d.filePath("outside/secret.txt"), d.filePath("shop/link.txt")));
    QVERIFY(QFile::link(d.filePath("shop/notes.txt"), d.filePath("shop/inside.txt")));
    page_ = d.filePath("shop/offer.htm");
  }

  void answers_data() {
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("file");    // relative to the page's folder
    QTest::addColumn<QString>("origin");  // "page" for the page's own origin
    QTest::addColumn<QByteArray>("load");
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QByteArray>("body");
    struct Case {
      const char *name, *method, *file, *origin, *load, *range, *status;
      bool granted;
      const char* body;
    };
    const char* whole = "0123456789";
    const Case cases[] = {
        {"image or style", "GET", "notes.txt", "", "show", "", "200 OK", false, whole},
        {"the page shows a file", "GET", "notes.txt", "page", "show", "", "200 OK", false, whole},
        {"font for its page", "GET", "fonts/own.woff", "page", "font", "", "200 OK", true, "wOFF"},
        {"font for another origin", "GET", "fonts/own.woff", "quorvane-page://pother", "font", "",
         "200 OK", false, "wOFF"},
        {"module for its page", "GET", "app.js", "page", "script", "", "200 OK", true,
         "var a = 1;"},
        {"text file as a script", "GET", "notes.txt", "page", "script", "", "200 OK", false, whole},
        {"load not said", "GET", "app.js", "page", "", "", "200 OK", false, "var a = 1;"},
        {"link inside the folder", "GET", "inside.txt", "", "show", "", "200 OK", false, whole},
        {"range", "GET", "notes.txt", "", "show", "bytes=2-5", "206 Partial Content", false,
         "2345"},
        {"open range", "GET", "notes.txt", "", "show", "bytes=7-", "206 Partial Content", false,
         "789"},
        {"last bytes", "GET", "notes.txt", "", "show", "bytes=-3", "206 Partial Content", false,
         "789"},
        {"range past the end", "GET", "notes.txt", "", "show", "bytes=10-",
         "416 Range Not Satisfiable", false, ""},
        {"several ranges", "GET", "notes.txt", "", "show", "bytes=0-1,4-5", "200 OK", false, whole},
        {"head", "HEAD", "notes.txt", "", "show", "", "200 OK", false, ""},
        {"preflight of its page", "OPTIONS", "app.js", "page", "", "", "204 No Content", true, ""},
        {"preflight of another", "OPTIONS", "app.js", "null", "", "", "204 No Content", false, ""},
        {"post", "POST", "notes.txt", "page", "show", "", "405 Method Not Allowed", false, ""},
    };
    for (const Case& c : cases)
      QTest::newRow(c.name) << QByteArray(c.method) << c.file << c.origin << QByteArray(c.load)
                            << QByteArray(c.range) << QByteArray(c.status) << c.granted
                            << QByteArray(c.body);
    for (const char* refused : {"missing.txt", ".env", ".private/key.txt", "link.txt", "fonts",
                                "../outside/secret.txt", "%2e%2e/outside/secret.txt"})
      QTest::addRow("refused: %s", refused)
          << QByteArray("GET") << refused << "page" << QByteArray("font") << QByteArray()
          << QByteArray("404 Not Found") << false << QByteArray();
  }
  void answers() {
    QFETCH(QByteArray, method);
    QFETCH(QString, file);
    QFETCH(QString, origin);
    QFETCH(QByteArray, load);
    QFETCH(QByteArray, range);
    QFETCH(QByteArray, status);
    QFETCH(bool, granted);
    QFETCH(QByteArray, body);
    const QUrl pageUrl = pagescheme::urlOf(page_);
    const QUrl url = pagescheme::fileUrlOf(pageUrl).resolved(QUrl(file));
    const QString own = pagescheme::pageOriginOf(url);
    QCOMPARE(own, pageUrl.scheme() + "://" + pageUrl.host());
    const QByteArray from = (origin == u"page" ? own : origin).toLatin1();

    const pagefiles::Answer answer = pagefiles::answer({method, url, from, range, load});
    QCOMPARE(statusOf(answer.head), status);
    const QByteArray allowed = pagefiles::headerValue(answer.head, "Access-Control-Allow-Origin");
    QCOMPARE(allowed, granted ? from : QByteArray());
    if (status.startsWith('2'))
      QCOMPARE(pagefiles::headerValue(answer.head, "Content-Security-Policy"),
               "sandbox allow-scripts allow-forms");
    const QByteArray sent = answer.body ? answer.body->read(answer.length) : QByteArray();
    QCOMPARE(sent, body);
    if (answer.body)
      QCOMPARE(pagefiles::headerValue(answer.head, "Content-Length").toLongLong(), answer.length);
  }

  // Only the page scheme's own folders, on their file host of this run.
  void otherHostsServeNothing_data() {
    QTest::addColumn<QString>("address");
    const QUrl file = pagescheme::fileUrlOf(pagescheme::urlOf(page_)).resolved(QUrl("notes.txt"));
    QUrl otherPort = file;
    otherPort.setPort(8080);
    QUrl https = file;
    https.setScheme("https");
    QUrl noSecret = file;
    noSecret.setHost(pagescheme::urlOf(page_).host() + ".invalid");
    QUrl unknownFolder = file;
    unknownFolder.setHost("p0000" + file.host().mid(5));
    QTest::newRow("another port") << otherPort.toString();
    QTest::newRow("https") << https.toString();
    QTest::newRow("without the run's secret") << noSecret.toString();
    QTest::newRow("a folder never shown") << unknownFolder.toString();
    QTest::newRow("the page scheme") << pagescheme::urlOf(page_).toString();
  }
  void otherHostsServeNothing() {
    QFETCH(QString, address);
    const QUrl url(address);
    QVERIFY(!pagescheme::servedForFile(url));
    QCOMPARE(statusOf(pagefiles::answer({"GET", url, {}, {}, "show"}).head), "404 Not Found");
  }

  // Through the proxy: a file larger than what it holds for a slow reader
  // arrives whole, and a range of it arrives exactly.
  void aLargeFileIsStreamed() {
    QByteArray big(9 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i) big[i] = char((i * 7 + i / 251) & 0xff);
    testfiles::write(QDir(dir_.path()).filePath("shop/clip.bin"), big);
    const QUrl url = pagescheme::fileUrlOf(pagescheme::urlOf(page_)).resolved(QUrl("clip.bin"));
    for (const QByteArray& range : {QByteArray(), QByteArray("bytes=1000000-1999999")}) {
      QTcpSocket socket;
      socket.connectToHost(QHostAddress::LocalHost, WebProxy::instance()->port());
      QVERIFY(socket.waitForConnected(5000));
      socket.write("GET " + url.toEncoded() + " HTTP/1.1\r\nHost: " + url.host().toLatin1() +
                   (range.isEmpty() ? QByteArray() : "\r\nRange: " + range) + "\r\n\r\n");
      QByteArray got;
      while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        got += socket.readAll();
      got += socket.readAll();
      const qsizetype end = got.indexOf("\r\n\r\n");
      QVERIFY(end > 0);
      const QByteArray body = got.mid(end + 4);
      if (range.isEmpty())
        QVERIFY(body == big);
      else
        QVERIFY(body == big.mid(1000000, 1000000));
    }
  }
};

QV_TEST_MAIN(PageFilesTest)
#include "page_files_test.moc"
