// Publishing over FTPS and FTP to vsftpd on 127.0.0.1, and to a fake server
// that drops the connection in the middle of a file.
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <future>
#include <thread>

#include "publish_test_util.h"
#include "test_servers.h"

using namespace publishTest;

namespace {

// Speaks just enough FTP to accept a login and a passive upload, then closes
// both connections after the first bytes of the file arrive.
class DroppingFtpServer final {
 public:
  DroppingFtpServer() {
    std::promise<int> listening;
    auto ready = listening.get_future();
    thread_ = std::thread([this, &listening] { serve(listening); });
    port = ready.get();
  }
  ~DroppingFtpServer() { thread_.join(); }
  int port = 0;
  std::atomic_int bytesReceived = 0;

 private:
  // Sockets live in the thread that uses them; blocking waits need no loop.
  void serve(std::promise<int>& listening) {
    QTcpServer control;
    control.listen(QHostAddress::LocalHost, 0);
    listening.set_value(control.serverPort());
    if (!control.waitForNewConnection(30000)) return;
    QTcpSocket* c = control.nextPendingConnection();
    QTcpServer data;
    data.listen(QHostAddress::LocalHost, 0);
    auto say = [c](const QByteArray& line) {
      c->write(line + "\r\n");
      c->waitForBytesWritten(5000);
    };
    say("220 fake");
    while (c->waitForReadyRead(10000) || c->canReadLine()) {
      while (c->canReadLine()) {
        const QByteArray line = c->readLine().trimmed();
        const QByteArray verb = line.split(' ').value(0).toUpper();
        if (verb == "USER")
          say("331 password please");
        else if (verb == "PASS")
          say("230 in");
        else if (verb == "PWD")
          say("257 \"/\"");
        else if (verb == "EPSV")
          say("229 Entering (|||" + QByteArray::number(data.serverPort()) + "|)");
        else if (verb == "STOR") {
          say("150 go ahead");
          if (data.waitForNewConnection(10000)) {
            QTcpSocket* d = data.nextPendingConnection();
            while (bytesReceived < 1000 && d->waitForReadyRead(10000))
              bytesReceived += int(d->readAll().size());
            d->abort();
          }
          c->abort();
          return;
        } else
          say("200 ok");
      }
    }
  }
  std::thread thread_;
};

}  // namespace

class FtpPublishTest final : public QObject {
  Q_OBJECT

  std::unique_ptr<testServers::TestAccount> account_;
  QTemporaryDir work_;

  Site site(const testServers::FtpServer& server, Protocol protocol, const QString& folder) const {
    Site s;
    s.protocol = protocol;
    s.host = QStringLiteral("127.0.0.1");
    s.port = server.port();
    s.user = account_->name;
    s.password = account_->password;
    s.remoteFolder = remotePaths::normalFolder(account_->home + QLatin1Char('/') + folder);
    return s;
  }
  QString local(const QString& name) const {
    return work_.filePath(QStringLiteral("pages/") + name);
  }

 private slots:
  void initTestCase() { Transfer::initialise(); }

  void ftpsAsksOnceForAnUntrustedCertificate() {
    if (const QString why = testServers::skipReason(true); !why.isEmpty()) QSKIP(qPrintable(why));
    account_ = std::make_unique<testServers::TestAccount>();
    QVERIFY(account_->ok());
    testServers::FtpServer server(*account_, true);
    QVERIFY2(server.start(), qPrintable(server.error()));
    write(local("tls/index.html"), "<img src='a b.png'>");
    write(local("tls/a b.png"), "PNG");
    const Site s = site(server, Protocol::Ftps, QStringLiteral("tls/site"));
    SiteStore store(work_.filePath(QStringLiteral("tls.ini")));
    Trust trust;

    Published p = publish(s, trust, store, {local("tls/index.html")});
    QCOMPARE(p.outcome.failure, Failure::CertificateUntrusted);
    QVERIFY(p.outcome.fingerprint.startsWith("SHA256:"));
    QVERIFY(p.outcome.presentedKey.startsWith("sha256//"));
    QVERIFY(!QFileInfo::exists(s.remoteFolder));

    const QByteArray pin = p.outcome.presentedKey;
    trust.pinnedCertificate = pin;
    p = publish(s, trust, store, {local("tls/index.html")});
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{"a b.png", "index.html"}));

    // A republish renames over the old copy.
    write(local("tls/index.html"), "<img src='a b.png'> edited");
    p = publish(s, trust, store, {local("tls/index.html")});
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(p.sent, QStringList{"index.html"});
    QCOMPARE(read(s.remoteFolder + "/index.html"), QByteArray("<img src='a b.png'> edited"));
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{"a b.png", "index.html"}));

    // A different pinned key is a changed certificate, not a pass.
    trust.pinnedCertificate = "sha256//" + QByteArray(32, 'x').toBase64();
    const Outcome changed = Transfer(s, trust).test();
    QCOMPARE(changed.failure, Failure::CertificateUntrusted);
    QVERIFY(changed.why.contains("changed"));

    Site wrong = s;
    wrong.password = QStringLiteral("nope");
    trust.pinnedCertificate = pin;
    QCOMPARE(Transfer(wrong, trust).test().failure, Failure::LoginRefused);
  }

  void plainFtpPublishesAndCancelLeavesNoTemporaryFile() {
    if (const QString why = testServers::skipReason(true); !why.isEmpty()) QSKIP(qPrintable(why));
    if (!account_) account_ = std::make_unique<testServers::TestAccount>();
    testServers::FtpServer server(*account_, false);
    QVERIFY2(server.start(), qPrintable(server.error()));
    write(local("ftp/page.html"), "<a href=file.zip>get it</a>");
    const QByteArray old(2 << 20, 'o');
    write(local("ftp/file.zip"), old);
    const Site s = site(server, Protocol::Ftp, QStringLiteral("ftp"));
    SiteStore store(work_.filePath(QStringLiteral("ftp.ini")));
    Published p = publish(s, {}, store, {local("ftp/page.html")});
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{"file.zip", "page.html"}));

    write(local("ftp/file.zip"), QByteArray(16 << 20, 'n'));
    std::atomic_bool cancel = false;
    p = publish(s, {}, store, {local("ftp/page.html")}, cancel, [&](qint64 sent) {
      if (sent > (1 << 20)) cancel = true;
    });
    QCOMPARE(p.outcome.failure, Failure::Cancelled);
    QCOMPARE(read(s.remoteFolder + "/file.zip"), old);
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{"file.zip", "page.html"}));

    Site wrong = s;
    wrong.password = QStringLiteral("nope");
    QCOMPARE(Transfer(wrong, {}).test().failure, Failure::LoginRefused);
  }

  void aServerThatDropsMidFileIsAFailure() {
    DroppingFtpServer server;
    write(local("drop/big.bin"), QByteArray(4 << 20, 'b'));
    write(local("drop/page.html"), "<a href=big.bin>x</a>");
    Site s;
    s.protocol = Protocol::Ftp;
    s.host = QStringLiteral("127.0.0.1");
    s.port = server.port;
    s.user = QStringLiteral("u");
    s.password = QStringLiteral("p");
    SiteStore store(work_.filePath(QStringLiteral("drop.ini")));
    const Published p = publish(s, {}, store, {local("drop/page.html")});
    QCOMPARE(p.outcome.failure, Failure::ConnectionLost);
    QVERIFY2(p.outcome.why.startsWith("big.bin: the connection was lost"),
             qPrintable(p.outcome.why));
    QVERIFY(server.bytesReceived > 0);
    QCOMPARE(p.sent, QStringList());
    QVERIFY(store.uploaded(fieldsOf(s)).isEmpty());
  }
};

QTEST_GUILESS_MAIN(FtpPublishTest)
#include "ftp_publish_test.moc"
