// The pure parts of publishing: which files may leave the machine, the names
// sent to a server, and what changed.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>

#include "publish/publish_files.h"
#include "publish/publish_plan.h"
#include "publish/remote_paths.h"
#include "publish_test_util.h"

using namespace publishTest;

class PublishPathsTest final : public QObject {
  Q_OBJECT

 private slots:
  void remoteNames_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("remotePath");
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("command");
    QTest::newRow("sftp absolute")
        << int(Protocol::Sftp) << "/www/offer/"
        << "img/a b.png" << QByteArray("sftp://h:22/www/offer/img/.a%20b.png.qvpart")
        << "/www/offer/img/.a b.png.qvpart";
    QTest::newRow("sftp login folder")
        << int(Protocol::Sftp) << "~/www"
        << "ä.html" << QByteArray("sftp://h:22/~/www/.%C3%A4.html.qvpart")
        << QStringLiteral("www/.ä.html.qvpart");
    QTest::newRow("ftp relative") << int(Protocol::Ftp) << "public_html\\offer"
                                  << "x.html"
                                  << QByteArray("ftp://h:22/public_html/offer/.x.html.qvpart")
                                  << "public_html/offer/.x.html.qvpart";
    QTest::newRow("ftp absolute") << int(Protocol::Ftps) << "/srv"
                                  << "x.html" << QByteArray("ftp://h:22/%2F/srv/.x.html.qvpart")
                                  << "/srv/.x.html.qvpart";
    QTest::newRow("root") << int(Protocol::Sftp) << "/"
                          << "x.html" << QByteArray("sftp://h:22/.x.html.qvpart")
                          << "/.x.html.qvpart";
    QTest::newRow("a name that looks encoded")
        << int(Protocol::Sftp) << ""
        << "50%25 off#1.html" << QByteArray("sftp://h:22/~/.50%2525%20off%231.html.qvpart")
        << ".50%25 off#1.html.qvpart";
  }
  void remoteNames() {
    QFETCH(int, protocol);
    QFETCH(QString, typed);
    QFETCH(QString, remotePath);
    QFETCH(QByteArray, url);
    QFETCH(QString, command);
    const QString folder = remotePaths::normalFolder(typed);
    const QString part = remotePaths::partName(remotePath.section('/', -1));
    QCOMPARE(remotePaths::url(Protocol(protocol), "h", 22, folder, remotePath, part), url);
    QCOMPARE(remotePaths::commandPath(folder, remotePath, part), command);
  }

  void sftpArgumentKeepsQuotesAndSpacesInside() {
    QCOMPARE(remotePaths::sftpArgument("/a b/\"q\"\\x"), QByteArray("\"/a b/\\\"q\\\"\\\\x\""));
  }

  void stateAgainstWhatWasSent_data() {
    QTest::addColumn<QByteArray>("sha");
    QTest::addColumn<QByteArray>("remembered");  // "-" = never sent
    QTest::addColumn<int>("state");
    QTest::newRow("never sent") << QByteArray("aa") << QByteArray("-") << int(FileState::New);
    QTest::newRow("same digest") << QByteArray("aa") << QByteArray("aa")
                                 << int(FileState::Unchanged);
    QTest::newRow("other digest") << QByteArray("aa") << QByteArray("bb")
                                  << int(FileState::Changed);
    QTest::newRow("unreadable now") << QByteArray() << QByteArray() << int(FileState::Changed);
  }
  void stateAgainstWhatWasSent() {
    QFETCH(QByteArray, sha);
    QFETCH(QByteArray, remembered);
    QFETCH(int, state);
    PublishFile f;
    f.remotePath = "a.html";
    f.sha256 = sha;
    QHash<QString, QByteArray> sent;
    if (remembered != "-") sent.insert("a.html", remembered);
    QCOMPARE(int(stateOf(f, sent)), state);
    const auto items = uploadItems({f}, sent);
    QCOMPARE(items.size(), std::size_t(state == int(FileState::Unchanged) ? 0 : 1));
    if (!items.empty()) QCOMPARE(items[0].replaces, state != int(FileState::New));
    // The user's ticks rule over the states.
    QCOMPARE(uploadItems({f}, sent, {true}).size(), std::size_t(1));
    QCOMPARE(uploadItems({f}, sent, {false}).size(), std::size_t(0));
  }

  // A page set from a stranger may hold links that lead out of its folder.
  void filesOnDiskNeverLeaveThePageFolder() {
    QTemporaryDir dir;
    const QString site = dir.filePath("site");
    write(dir.filePath("outside.png"), "secret");
    write(dir.filePath("home/.ssh/id_rsa"), "key");
    write(site + "/hidden/.x.png", "h");
    write(site + "/ok.png", "ok");
    QFile::link(dir.filePath("outside.png"), site + "/link-out.png");
    QFile::link(site + "/hidden/.x.png", site + "/link-hidden.png");
    QFile::link(site + "/ok.png", site + "/link-in.png");
    QFile::link(dir.filePath("home"), site + "/home");
    QVERIFY(mkfifo(QFile::encodeName(site + "/pipe.png").constData(), 0600) == 0);
    write(site + "/index.html",
          "<img src=link-out.png><img src=link-hidden.png><img src=link-in.png>"
          "<img src=home/.ssh/id_rsa><img src=pipe.png><img src=ok.png><img src=missing.png>"
          "<a href=\"index.html\">self</a>");
    QStringList skipped;
    const auto files = filesToPublish({site + "/index.html", site + "/none.html"}, &skipped);
    QStringList names;
    for (const PublishFile& f : files) names << f.remotePath;
    QCOMPARE(names, (QStringList{"link-in.png", "ok.png", "index.html"}));
    QCOMPARE(files[0].sha256, fileSha256(site + "/ok.png"));
    QCOMPARE(files[0].size, 2);
    QVERIFY(files[2].isPage);
    QVERIFY(skipped.contains("link-out.png"));
    QVERIFY(skipped.contains("pipe.png"));
    QVERIFY(skipped.contains(site + "/none.html"));
  }
};

QTEST_GUILESS_MAIN(PublishPathsTest)
#include "publish_paths_test.moc"
