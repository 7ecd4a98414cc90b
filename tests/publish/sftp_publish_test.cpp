// Publishing to a real OpenSSH server on 127.0.0.1: what is sent, that a
// visitor never sees half a file, and that the server's identity is checked.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "publish_test_util.h"
#include "test_servers.h"

using namespace publishTest;
using testServers::SshServer;

class SftpPublishTest final : public QObject {
  Q_OBJECT

  std::unique_ptr<testServers::TestAccount> account_;
  std::unique_ptr<SshServer> server_;
  QTemporaryDir work_;
  QString keyA_, keyB_;

  Site site(const QString& folder, const QString& password = {}) const {
    Site s;
    s.protocol = Protocol::Sftp;
    s.host = QStringLiteral("127.0.0.1");
    s.port = server_->port();
    s.user = account_->name;
    s.password = password.isEmpty() ? account_->password : password;
    s.remoteFolder = remotePaths::normalFolder(account_->home + QLatin1Char('/') + folder);
    return s;
  }
  Trust trusted() const {
    Trust t;
    t.knownHostsFile = work_.filePath(QStringLiteral("no_known_hosts"));
    t.acceptedHostKey = SshServer::publicLine(keyA_);
    return t;
  }
  QString local(const QString& name) const {
    return work_.filePath(QStringLiteral("pages/") + name);
  }

 private slots:
  void initTestCase() {
    if (const QString why = testServers::skipReason(); !why.isEmpty()) QSKIP(qPrintable(why));
    account_ = std::make_unique<testServers::TestAccount>();
    QVERIFY2(account_->ok(), "could not create the test account");
    server_ = std::make_unique<SshServer>(*account_);
    keyA_ = work_.filePath(QStringLiteral("key_a"));
    keyB_ = work_.filePath(QStringLiteral("key_b"));
    QVERIFY2(server_->start(keyA_), qPrintable(server_->error()));
    Transfer::initialise();
  }

  void cleanupTestCase() {
    server_.reset();
    account_.reset();
  }

  void firstPublishSendsAllThenOnlyWhatChanged() {
    write(local("index.html"),
          "<html><head><link rel=stylesheet href='style.css'></head><body>"
          "<img src=\"img/logo.png\"><a href=\"../secret.txt\">x</a><img src='/etc/passwd'>"
          "<img src=\"http://example.com/a.png\"><img src=\".hidden/k.png\"></body></html>");
    write(local("terms.html"), "<p>Terms</p>");
    write(local("style.css"),
          "body{background:url(fonts/../img/bg.gif)} @font-face{src:url('fonts/a.woff')}");
    write(local("img/logo.png"), QByteArray(5000, 'L'));
    write(local("img/bg.gif"), "GIF89a");
    write(local("fonts/a.woff"), "wOFF");
    write(local(".hidden/k.png"), "hidden");
    write(work_.filePath(QStringLiteral("secret.txt")), "secret");
    const QStringList pages{local("index.html"), local("terms.html")};
    SiteStore store(work_.filePath(QStringLiteral("first.ini")));
    const Site s = site(QStringLiteral("first"));

    Published p = publish(s, trusted(), store, pages);
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    const QStringList all{"fonts/a.woff", "img/bg.gif", "img/logo.png",
                          "index.html",   "style.css",  "terms.html"};
    QStringList sent = p.sent;
    sent.sort();
    QCOMPARE(sent, all);
    // Only the files themselves: no temporary or set-aside copies remain.
    QCOMPARE(remoteFiles(s.remoteFolder), all);
    QCOMPARE(read(s.remoteFolder + "/img/logo.png"), read(local("img/logo.png")));
    // Pictures and styles go up before the pages that show them.
    QVERIFY(p.sent.indexOf("img/logo.png") < p.sent.indexOf("index.html"));

    write(local("terms.html"), "<p>Terms, edited</p>");
    p = publish(s, trusted(), store, pages);
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(p.sent, QStringList{"terms.html"});
    QCOMPARE(read(s.remoteFolder + "/terms.html"), QByteArray("<p>Terms, edited</p>"));
    QCOMPARE(remoteFiles(s.remoteFolder), all);

    p = publish(s, trusted(), store, pages);
    QVERIFY(p.outcome.ok());
    QCOMPARE(p.sent, QStringList());
  }

  void cancelKeepsTheOldFileAndLeavesNoTemporaryOne() {
    const QByteArray old(4 << 20, 'o');
    write(local("cancel/big.bin"), old);
    write(local("cancel/page.html"), "<a href=big.bin>download</a>");
    SiteStore store(work_.filePath(QStringLiteral("cancel.ini")));
    const Site s = site(QStringLiteral("cancel"));
    const QStringList pages{local("cancel/page.html")};
    QVERIFY(publish(s, trusted(), store, pages).outcome.ok());

    write(local("cancel/big.bin"), QByteArray(8 << 20, 'n'));
    std::atomic_bool cancel = false;
    const Published p = publish(s, trusted(), store, pages, cancel, [&](qint64 sent) {
      if (sent > (1 << 20)) cancel = true;
    });
    QCOMPARE(p.outcome.failure, Failure::Cancelled);
    QCOMPARE(p.sent, QStringList());
    QCOMPARE(read(s.remoteFolder + "/big.bin"), old);
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{"big.bin", "page.html"}));
    // Not remembered as sent: the next publish sends it.
    QCOMPARE(publish(s, trusted(), store, pages).sent, QStringList{"big.bin"});
  }

  void wrongPasswordIsRefusedLogin() {
    SiteStore store(work_.filePath(QStringLiteral("pw.ini")));
    write(local("pw/a.html"), "a");
    const Published p = publish(site(QStringLiteral("pw"), QStringLiteral("wrong")), trusted(),
                                store, {local("pw/a.html")});
    QCOMPARE(p.outcome.failure, Failure::LoginRefused);
    QVERIFY(p.outcome.why.contains("login refused"));
    QVERIFY(!QFileInfo::exists(account_->home + "/pw"));
    QCOMPARE(Transfer(site({}, QStringLiteral("wrong")), trusted()).test().failure,
             Failure::LoginRefused);
  }

  void unknownHostKeyIsShownAndNothingSent() {
    write(local("hk/a.html"), "a");
    const Site s = site(QStringLiteral("hk"));
    Trust t = trusted();
    t.acceptedHostKey.clear();
    SiteStore store(work_.filePath(QStringLiteral("hk.ini")));
    Published p = publish(s, t, store, {local("hk/a.html")});
    QCOMPARE(p.outcome.failure, Failure::HostKeyUnknown);
    QCOMPARE(p.outcome.fingerprint, SshServer::fingerprintOf(keyA_));
    QCOMPARE(p.outcome.presentedKey, SshServer::publicLine(keyA_));
    QVERIFY(!QFileInfo::exists(s.remoteFolder));

    // The key the user accepted, or one in OpenSSH's list, lets it in.
    t.acceptedHostKey = p.outcome.presentedKey;
    QVERIFY(Transfer(s, t).test().ok());
    t.acceptedHostKey.clear();
    t.knownHostsFile = work_.filePath(QStringLiteral("known_hosts"));
    write(t.knownHostsFile, QStringLiteral("[127.0.0.1]:%1 ").arg(s.port).toUtf8() +
                                SshServer::publicLine(keyA_) + '\n');
    QVERIFY(Transfer(s, t).test().ok());
  }

  void changedHostKeyIsRefused() {
    const Site before = site(QStringLiteral("hk2"));
    QVERIFY2(server_->start(keyB_), qPrintable(server_->error()));
    Site s = before;
    s.port = server_->port();
    Trust accepted = trusted();
    Trust known;
    known.knownHostsFile = work_.filePath(QStringLiteral("known_hosts_b"));
    write(known.knownHostsFile, QStringLiteral("[127.0.0.1]:%1 ").arg(s.port).toUtf8() +
                                    SshServer::publicLine(keyA_) + '\n');
    const Outcome fromOurs = Transfer(s, accepted).test();
    const Outcome fromOpenSsh = Transfer(s, known).test();
    // The user checked the new key and put it in OpenSSH's list: it is let in.
    Trust updated = accepted;
    updated.knownHostsFile = work_.filePath(QStringLiteral("known_hosts_updated"));
    write(updated.knownHostsFile, QStringLiteral("[127.0.0.1]:%1 ").arg(s.port).toUtf8() +
                                      SshServer::publicLine(keyB_) + '\n');
    const Outcome afterUpdate = Transfer(s, updated).test();
    QVERIFY2(server_->start(keyA_), qPrintable(server_->error()));
    QVERIFY2(afterUpdate.ok(), qPrintable(afterUpdate.why));
    for (const Outcome& o : {fromOurs, fromOpenSsh}) {
      QCOMPARE(o.failure, Failure::HostKeyChanged);
      QVERIFY(o.why.startsWith("host key changed"));
      // Never offered for acceptance.
      QVERIFY(o.presentedKey.isEmpty());
    }
  }

  void missingFoldersAreCreatedAndOddNamesKept() {
    write(local("odd/über uns.html"), "<img src=\"bilder/mein%20bild%20%C3%A4.png\">");
    write(local("odd/bilder/mein bild ä.png"), "PNG");
    SiteStore store(work_.filePath(QStringLiteral("odd.ini")));
    const Site s = site(QStringLiteral("not/yet/there"));
    const Published p = publish(s, trusted(), store, {local("odd/über uns.html")});
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(remoteFiles(s.remoteFolder), (QStringList{QStringLiteral("bilder/mein bild ä.png"),
                                                       QStringLiteral("über uns.html")}));
    QCOMPARE(read(s.remoteFolder + QStringLiteral("/bilder/mein bild ä.png")), QByteArray("PNG"));
  }

  void aFileThereAlreadyIsReplaced() {
    // Put there by another program: not in our record, yet replaced whole.
    const Site s = site(QStringLiteral("there"));
    QDir().mkpath(s.remoteFolder);
    write(s.remoteFolder + "/a.html", "old");
    QProcess::execute("chown", {"-R", account_->name, account_->home + "/there"});
    write(local("there/a.html"), "new");
    SiteStore store(work_.filePath(QStringLiteral("there.ini")));
    const Published p = publish(s, trusted(), store, {local("there/a.html")});
    QVERIFY2(p.outcome.ok(), qPrintable(p.outcome.why));
    QCOMPARE(read(s.remoteFolder + "/a.html"), QByteArray("new"));
    QCOMPARE(remoteFiles(s.remoteFolder), QStringList{"a.html"});
  }
};

QTEST_GUILESS_MAIN(SftpPublishTest)
#include "sftp_publish_test.moc"
