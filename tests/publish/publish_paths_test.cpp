// The pure parts of publishing: which files a page names, which of them may
// leave the machine, the names sent to a server, and what changed.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QTest>

#include "publish/page_assets.h"
#include "publish/publish_files.h"
#include "publish/publish_plan.h"
#include "publish/remote_paths.h"
#include "publish_test_util.h"

using namespace publishTest;

class PublishPathsTest final : public QObject {
  Q_OBJECT

 private slots:
  void referencesInPage_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("double, single and no quotes")
        << QByteArray("<img src=\"a.png\"><script src='b.js'></script><a href=c.zip>")
        << QStringList{"a.png", "b.js", "c.zip"};
    QTest::newRow("upper-case names, spaces around =")
        << QByteArray("<IMG SRC = \"A.PNG\"><LINK HREF='s.css'>") << QStringList{"A.PNG", "s.css"};
    QTest::newRow("srcset candidates")
        << QByteArray("<img srcset=\"s.jpg 1x, l.jpg 2x\">") << QStringList{"s.jpg", "l.jpg"};
    QTest::newRow("poster, object data, body background, inline url()")
        << QByteArray(
               "<video poster=p.jpg><object data=f.swf><body background=bg.gif>"
               "<div style=\"background:url('d.png')\">")
        << QStringList{"p.jpg", "f.swf", "bg.gif", "d.png"};
    QTest::newRow("data- and x- attributes are not addresses")
        << QByteArray("<img data-src=\"lazy.png\" xhref=\"x\">") << QStringList{};
    QTest::newRow("entity in a value")
        << QByteArray("<a href=\"get.php?a=1&amp;b=2\">") << QStringList{"get.php?a=1&b=2"};
    QTest::newRow("UTF-8 name") << QByteArray("<img src=\"b\xc3\xa4r.png\">")
                                << QStringList{QStringLiteral("bär.png")};
  }
  void referencesInPage() {
    QFETCH(QByteArray, page);
    QFETCH(QStringList, expected);
    QCOMPARE(pageAssets::referencesInPage(page), expected);
  }

  void referencesInStyleSheet() {
    QCOMPARE(
        pageAssets::referencesInStyleSheet(
            "@import 'base.css'; @font-face{src:url(\"f.woff2\") format('woff2'), url(f.ttf)}"),
        (QStringList{"f.woff2", "f.ttf", "base.css"}));
  }

  void insideFolderPath_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("expected");  // "" = refused
    QTest::newRow("plain") << "img/a.png"
                           << ""
                           << "img/a.png";
    QTest::newRow("dot segments") << "./img/../img/./a.png"
                                  << ""
                                  << "img/a.png";
    QTest::newRow("query and fragment dropped") << "a.css?v=2#x"
                                                << ""
                                                << "a.css";
    QTest::newRow("percent-encoded space") << "my%20pic.png"
                                           << ""
                                           << "my pic.png";
    QTest::newRow("backslashes as browsers read them") << "img\\a.png"
                                                       << ""
                                                       << "img/a.png";
    QTest::newRow("from a style sheet's folder") << "../fonts/f.woff"
                                                 << "css"
                                                 << "fonts/f.woff";
    QTest::newRow("parent of the page folder") << "../secret.txt"
                                               << ""
                                               << "";
    QTest::newRow("ssh key two levels up") << "../../.ssh/id_rsa"
                                           << ""
                                           << "";
    QTest::newRow("up and back down") << "../site/a.png"
                                      << ""
                                      << "";
    QTest::newRow("encoded parent steps") << "%2E%2E/%2E%2E/etc/passwd"
                                          << ""
                                          << "";
    QTest::newRow("encoded slash") << "..%2F..%2Fetc%2Fpasswd"
                                   << ""
                                   << "";
    QTest::newRow("encoded backslash") << "..%5Csecret"
                                       << ""
                                       << "";
    QTest::newRow("backslash parent steps") << "..\\..\\secret"
                                            << ""
                                            << "";
    QTest::newRow("style sheet climbing out") << "../../x.png"
                                              << "css"
                                              << "";
    QTest::newRow("site-absolute") << "/etc/passwd"
                                   << ""
                                   << "";
    QTest::newRow("network path") << "//evil.example/a.png"
                                  << ""
                                  << "";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << ""
                                  << "";
    QTest::newRow("drive letter") << "C:/Windows/win.ini"
                                  << ""
                                  << "";
    QTest::newRow("web address") << "https://example.com/a.png"
                                 << ""
                                 << "";
    QTest::newRow("mailto") << "mailto:me@example.com"
                            << ""
                            << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << ""
                                << "";
    QTest::newRow("fragment only") << "#top"
                                   << ""
                                   << "";
    QTest::newRow("hidden file") << ".htaccess"
                                 << ""
                                 << "";
    QTest::newRow("hidden folder") << "img/.git/config"
                                   << ""
                                   << "";
    QTest::newRow("a folder") << "img/"
                              << ""
                              << "";
    QTest::newRow("line break in a name") << "a%0D%0ADELE%20index.html"
                                          << ""
                                          << "";
    QTest::newRow("NUL in a name") << "a%00.png"
                                   << ""
                                   << "";
  }
  void insideFolderPath() {
    QFETCH(QString, reference);
    QFETCH(QString, from);
    QFETCH(QString, expected);
    QCOMPARE(pageAssets::insideFolderPath(reference, from).value_or(QString()), expected);
  }

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
