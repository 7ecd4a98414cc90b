#include "engine/web_proxy.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "editor/edit_session.h"
#include "editor/web_browser.h"
#include "editor/web_wait_note.h"
#include "support/browser_driver.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// A web server on the loopback address that behaves like the servers old
// pages point at: one that answers, one that takes the connection and never
// says a word, one that answers after half a minute.
class TestServer final : public QObject {
 public:
  enum class Kind { Answers, Silent, Late };
  explicit TestServer(Kind kind) : kind_(kind) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = server_.nextPendingConnection()) {
        s->setParent(this);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
      }
    });
  }
  quint16 port() const { return server_.serverPort(); }
  QByteArray received;  // every request head, as the server got it
  int connections = 0;

 private:
  void read(QTcpSocket* s) {
    QByteArray& head = heads_[s];
    head += s->readAll();
    if (!head.contains("\r\n\r\n")) return;
    received += head;
    ++connections;
    if (kind_ == Kind::Silent) return;
    const QByteArray path = head.split(' ').value(1).split('?').value(0);
    QByteArray body = "body { color: rgb(255, 0, 0) }";
    QByteArray type = "text/css";
    if (path.endsWith(".txt")) body = "plain answer", type = "text/plain";
    const QByteArray answer =
        "HTTP/1.1 200 OK\r\nContent-Type: " + type +
        "\r\nConnection: keep-alive\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\n\r\n" + body;
    if (kind_ == Kind::Late)
      QTimer::singleShot(30000, s, [s, answer] { s->write(answer); });
    else
      s->write(answer);
  }
  Kind kind_;
  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> heads_;
};

// Sends one request to the proxy and returns all it answered before closing
// (or before timeoutMs). The test's servers run in this thread: wait on events.
QByteArray ask(const QByteArray& request, int timeoutMs = 15000) {
  QTcpSocket socket;
  QByteArray answer;
  QEventLoop loop;
  QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
  QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
  QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
  QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  socket.connectToHost(QHostAddress::LocalHost, WebProxy::instance()->port());
  loop.exec();
  return answer + socket.readAll();
}

QString pageUsing(const QTemporaryDir& dir, const QString& host) {
  const QString path = dir.filePath(QStringLiteral("offer.htm"));
  testfiles::write(
      path, QStringLiteral(
                "<html><head><link rel=stylesheet href=\"http://%1/style.css\">"
                "<style>@font-face { font-family: F; src: url(http://%1/font.woff) }</style></head>"
                "<body style=\"font-family: F\"><p id=t>Buy now</p>"
                "<img src=\"http://%1/cover.png\"></body></html>")
                .arg(host)
                .toUtf8());
  return path;
}

}  // namespace

class WebProxyTest final : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(WebProxy::instance()->port() != 0); }

  void waitingNote_data() {
    QTest::addColumn<QStringList>("hosts");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing waits") << QStringList{} << QString();
    QTest::newRow("one file") << QStringList{"cdn.example"}
                              << QStringLiteral("Waiting for 1 file from cdn.example…");
    QTest::newRow("two from one host") << QStringList{"cdn.example", "cdn.example"}
                                       << QStringLiteral("Waiting for 2 files from cdn.example…");
    QTest::newRow("several hosts")
        << QStringList{"b.example", "a.example", "b.example"}
        << QStringLiteral("Waiting for 3 files from a.example and 1 more…");
  }
  void waitingNote() {
    QFETCH(QStringList, hosts);
    QFETCH(QString, text);
    QHash<QString, int> waiting;
    for (const QString& h : hosts) ++waiting[h];
    QCOMPARE(waitingText(waiting), text);
  }

  // A plain request reaches the server as a server expects it, and neither
  // side keeps the connection for another request.
  void relaysAPlainRequest() {
    TestServer server(TestServer::Kind::Answers);
    WebProxy::instance()->mapHost(QStringLiteral("shop.test"), QStringLiteral("127.0.0.1"),
                                  server.port());
    const QByteArray answer =
        ask("GET http://shop.test/a.txt?q=1 HTTP/1.1\r\nHost: shop.test\r\nProxy-Connection: "
            "keep-alive\r\nAccept: */*\r\n\r\n");
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY2(answer.endsWith("\r\n\r\nplain answer"), answer.constData());
    QVERIFY(answer.contains("Connection: close\r\n"));
    QVERIFY(!answer.contains("keep-alive"));
    QVERIFY2(server.received.startsWith("GET /a.txt?q=1 HTTP/1.1\r\n"),
             server.received.constData());
    QVERIFY(server.received.contains("Accept: */*\r\n"));
    QVERIFY(!server.received.contains("Proxy-Connection"));
  }

  void tunnelsAConnect() {
    TestServer server(TestServer::Kind::Answers);
    WebProxy::instance()->mapHost(QStringLiteral("secure.test"), QStringLiteral("127.0.0.1"),
                                  server.port());
    const QByteArray answer =
        ask("CONNECT secure.test:443 HTTP/1.1\r\nHost: secure.test:443\r\n\r\n"
            "GET /inner.txt HTTP/1.1\r\nHost: secure.test\r\n\r\n",
            3000);
    QVERIFY2(answer.startsWith("HTTP/1.1 200 Connection Established\r\n\r\nHTTP/1.1 200 OK"),
             answer.constData());
    QVERIFY(server.received.startsWith("GET /inner.txt HTTP/1.1\r\n"));
  }

  // What the proxy says when the server cannot help: at once, never a hang.
  void answersForAServerThatCannot_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("silent server, plain request")
        << QByteArray("GET http://silent.test/s.css HTTP/1.1\r\nHost: silent.test\r\n\r\n")
        << QByteArray("HTTP/1.1 504");
    QTest::newRow("nothing listens")
        << QByteArray("GET http://closed.test/s.css HTTP/1.1\r\nHost: closed.test\r\n\r\n")
        << QByteArray("HTTP/1.1 502");
    QTest::newRow("no such host")
        << QByteArray("GET http://no-such-host.invalid/ HTTP/1.1\r\nHost: x\r\n\r\n")
        << QByteArray("HTTP/1.1 50");  // 502, or 504 where the name lookup itself hangs
    QTest::newRow("not a proxy request")
        << QByteArray("GET /etc/passwd HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        << QByteArray("HTTP/1.1 400");
    QTest::newRow("file address") << QByteArray(
                                         "GET file:///etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n")
                                  << QByteArray("HTTP/1.1 400");
    QTest::newRow("endless head") << QByteArray(70 * 1024, 'a') << QByteArray("HTTP/1.1 431");
  }
  void answersForAServerThatCannot() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    TestServer silent(TestServer::Kind::Silent);
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 closedPort = closed.serverPort();
    closed.close();
    WebProxy* proxy = WebProxy::instance();
    proxy->mapHost(QStringLiteral("silent.test"), QStringLiteral("127.0.0.1"), silent.port());
    proxy->mapHost(QStringLiteral("closed.test"), QStringLiteral("127.0.0.1"), closedPort);
    const QByteArray answer = ask(request);
    QVERIFY2(answer.startsWith(status), answer.left(200).constData());
  }

  // A tunnel whose server stops answering is closed, so the engine gives up
  // that file instead of waiting for minutes.
  void closesASilentTunnel() {
    TestServer silent(TestServer::Kind::Silent);
    WebProxy::instance()->mapHost(QStringLiteral("quiet.test"), QStringLiteral("127.0.0.1"),
                                  silent.port());
    const QByteArray answer =
        ask("CONNECT quiet.test:443 HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\nHost: q\r\n\r\n");
    QCOMPARE(answer, QByteArray("HTTP/1.1 200 Connection Established\r\n\r\n"));
    QCOMPARE(silent.connections, 1);
  }

  // Pages whose web files never come, or come after half a minute, show their
  // text and become editable in seconds; the note says what is awaited while
  // it lasts. A server that answers still styles the page.
  void aPageIsNotHeldByItsWebFiles_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("server answers") << int(TestServer::Kind::Answers);
    QTest::newRow("server never answers") << int(TestServer::Kind::Silent);
    QTest::newRow("server answers after 30 s") << int(TestServer::Kind::Late);
  }
  void aPageIsNotHeldByItsWebFiles() {
    QFETCH(int, kind);
    TestServer server{TestServer::Kind(kind)};
    const QString host = QStringLiteral("cdn%1.test").arg(kind);
    WebProxy::instance()->mapHost(host, QStringLiteral("127.0.0.1"), server.port());
    QTemporaryDir dir;
    const QString page = pageUsing(dir, host);

    QWidget window;
    window.resize(600, 400);
    auto* browser = new WebBrowser(&window);
    browser->resize(600, 400);
    auto* note = new WebWaitNote(WebProxy::instance(), browser);
    window.show();
    QStringList notes;
    connect(WebProxy::instance(), &WebProxy::waitingChanged, note, [&] { notes << note->text(); });

    QElapsedTimer clock;
    QSignalSpy loaded(browser, &WebBrowser::DownloadComplete);
    clock.start();
    browser->Navigate2(page);
    // The bounds are far above what it takes (printed below) and far below
    // what a server that never answers holds a page for without the proxy.
    QVERIFY(driver::waitFor(
        [&] {
          return driver::js(browser, QStringLiteral("performance.getEntriesByName("
                                                    "'first-contentful-paint').length"))
                     .toInt() > 0;
        },
        5000));
    const qint64 painted = clock.elapsed();
    QVERIFY(!loaded.isEmpty() || loaded.wait(15000));
    const qint64 shown = clock.elapsed();
    QCOMPARE(
        driver::js(browser, QStringLiteral("document.getElementById('t').textContent")).toString(),
        QStringLiteral("Buy now"));
    const QString color =
        driver::js(browser, QStringLiteral("getComputedStyle(document.body).color")).toString();
    QCOMPARE(color == u"rgb(255, 0, 0)", kind == int(TestServer::Kind::Answers));

    clock.restart();
    browser->setDesignMode(QStringLiteral("On"));
    QVERIFY(driver::waitFor([&] { return driver::designMode(browser) == u"on"; }, 3000));
    const qint64 editable = clock.elapsed();
    qInfo("%s: text painted after %lld ms, loaded after %lld ms, editable %lld ms after Edit Page",
          QTest::currentDataTag(), painted, shown, editable);

    // Typed while the web files are still awaited, saved as only that stretch.
    const QByteArray before = testfiles::read(page);
    QVERIFY(driver::typeInto(browser, QStringLiteral("#t"), QStringLiteral(" today")));
    bool saved = false;
    browser->session()->save([&](bool ok) { saved = ok; });
    QVERIFY(driver::waitFor([&] { return saved; }, 15000));
    QVERIFY(browser->session()->lastSaveWay().minimal);
    QCOMPARE(testfiles::read(page), QByteArray(before).replace("Buy now", "Buy now today"));

    if (kind != int(TestServer::Kind::Answers)) {
      QVERIFY2(notes.join('|').contains(QStringLiteral("from ") + host),
               qPrintable(notes.join('|')));
      QVERIFY(driver::waitFor([&] { return note->isHidden(); }, 15000));
    }
  }
};

QV_TEST_MAIN(WebProxyTest)
#include "web_proxy_test.moc"
