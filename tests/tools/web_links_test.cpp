// Web addresses asked whether they answer: HEAD, then GET when HEAD is
// refused, a few at a time, each within a time limit, through the program's
// proxy; Cancel stops at once.
#include "tools/web_links.h"

#include <QSignalSpy>
#include <QTest>

#include "engine/web_proxy.h"
#include "support/test_main.h"
#include "support/web_test_server.h"

class WebLinksTest final : public QObject {
  Q_OBJECT

  WebTestServer server_;

  // index -> "ok" or why not, once every address answered.
  QStringList ask(const QStringList& addresses, WebLinkLimits limits = {}) {
    WebLinkCheck check(nullptr, limits);
    QStringList out(addresses.size());
    connect(&check, &WebLinkCheck::answered, this,
            [&](int i, bool ok, const QString& why) { out[i] = ok ? QStringLiteral("ok") : why; });
    QSignalSpy finished(&check, &WebLinkCheck::finished);
    check.start(addresses);
    if (!finished.wait(30000)) return {};
    return out;
  }

 private slots:
  void initTestCase() { QVERIFY(server_.start()); }

  void answers_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("headStatus");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("answers") << 200 << 0 << false << "ok" << QStringList{"HEAD"};
    QTest::newRow("not found") << 404 << 0 << false << "404 Status 404" << QStringList{"HEAD"};
    QTest::newRow("HEAD refused, GET answers")
        << 200 << 405 << false << "ok" << QStringList{"HEAD", "GET"};
    QTest::newRow("server error to both")
        << 500 << 0 << false << "500 Status 500" << QStringList{"HEAD", "GET"};
    QTest::newRow("never answers")
        << 200 << 0 << true << "no answer within 1 s" << QStringList{"HEAD"};
  }
  void answers() {
    QFETCH(int, status);
    QFETCH(int, headStatus);
    QFETCH(bool, silent);
    QFETCH(QString, expected);
    QFETCH(QStringList, requests);
    const QString path = QStringLiteral("/%1").arg(QTest::currentDataTag()).replace(' ', '-');
    server_.answer(path, {status, 0, silent, headStatus});
    server_.seen.clear();
    QCOMPARE(ask({server_.url(path)}, {8, 1000}), QStringList{expected});
    QStringList methods;
    for (const QString& s : server_.seen) methods << s.section(' ', 0, 0);
    QCOMPARE(methods, requests);
  }

  void noSuchHostIsAnAnswer() {
    QCOMPARE(ask({"http://no-such-host.invalid/", "https://no-such-host.invalid/"}),
             (QStringList{"no such host",
                          "the server could not be reached (no such host, or no answer)"}));
  }

  // Twenty hosts (each a name the proxy sends to the test server), each
  // answering after a while: eight at a time, never more.
  void eightAtATime() {
    QStringList addresses;
    for (int i = 0; i < 20; ++i) {
      const QString host = QStringLiteral("host%1.test").arg(i);
      WebProxy::instance()->mapHost(host, "127.0.0.1", server_.port());
      addresses << QStringLiteral("http://%1/slow%2").arg(host).arg(i);
      server_.answer(QStringLiteral("/slow%1").arg(i), {200, 300, false, 0});
    }
    server_.mostOpen = 0;
    QCOMPARE(ask(addresses), QStringList(20, "ok"));
    QCOMPARE(server_.mostOpen, 8);
  }

  void cancelStopsAtOnce() {
    server_.answerOthers({200, 0, true, 0});
    WebLinkCheck check;
    QSignalSpy answered(&check, &WebLinkCheck::answered);
    QSignalSpy finished(&check, &WebLinkCheck::finished);
    QStringList addresses;
    for (int i = 0; i < 12; ++i) {
      const QString host = QStringLiteral("quiet%1.test").arg(i);
      WebProxy::instance()->mapHost(host, "127.0.0.1", server_.port());
      addresses << QStringLiteral("http://%1/silent%2").arg(host).arg(i);
    }
    check.start(addresses);
    QTRY_COMPARE(server_.seen.filter("silent").size(), 8);
    check.cancel();
    QVERIFY(!check.running());
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    QCOMPARE(answered.size(), 0);
    QCOMPARE(finished.size(), 0);
    QCOMPARE(server_.seen.filter("silent").size(), 8);  // nothing more was asked
    server_.answerOthers({});
  }
};

QV_TEST_MAIN(WebLinksTest)
#include "web_links_test.moc"
