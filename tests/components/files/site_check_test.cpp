// The pages of a list checked with the files they use on disk: missing
// files, letter case, names that differ only in case, places outside the
// pages' folders, style sheets that import themselves, and bad input that
// must never stop the check.
#include "files/site_check.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "support/bad_inputs.h"
#include "support/core_test_main.h"
#include "support/test_files.h"

using namespace pagecheck;

namespace {

void write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  testfiles::write(path, bytes);
}

const QByteArray kHead = "<html><head><title>Offer</title></head><body>\n";

// "file:line kind severity-letter" for each problem.
QStringList summary(const QList<Problem>& problems, const QString& base) {
  QStringList out;
  for (const Problem& p : problems)
    out << QStringLiteral("%1:%2 %3 %4")
               .arg(QDir(base).relativeFilePath(p.file))
               .arg(p.line)
               .arg(kindText(p.kind), severityText(p.severity).left(1));
  return out;
}

}  // namespace

class SiteCheckTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QTemporaryDir bigDir_;
  QString site_;

 private slots:
  void initTestCase() {
    site_ = dir_.filePath("site");
    write(site_ + "/images/cover.gif", "GIF89a");
    write(site_ + "/img/ok.png", "png");
    write(site_ + "/twins/A.png", "a");
    write(site_ + "/twins/a.png", "a");
    write(site_ + "/.hidden/x.png", "h");
    write(dir_.filePath("outside.png"), "secret");
    write(dir_.filePath("other/page.html"), "<title>o</title>");
    QFile::link(dir_.filePath("outside.png"), site_ + "/link-out.png");
    QFile::link(site_ + "/img/ok.png", site_ + "/link-in.png");
    QFile::link(dir_.filePath("other"), site_ + "/other");
    QVERIFY(::mkfifo(QFile::encodeName(site_ + "/pipe.png").constData(), 0600) == 0);
    write(site_ + "/css/self.css", "@import 'self.css';");
    write(site_ + "/css/a.css", "@import url(b.css);");
    write(site_ + "/css/b.css", "p{}\n@import \"a.css\";");
    write(site_ + "/css/site.css",
          "body{background:url(../images/cover.gif)}\n@font-face{src:url(../fonts/f.woff)}\n"
          "p{background:url(http://cdn.example/p.png)}");
  }

  void referencesOnDisk_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("problems");
    QTest::newRow("there, exactly")
        << QByteArray("<img src=img/ok.png alt=x><a href=img/>i</a>") << QStringList{};
    QTest::newRow("missing style sheet") << QByteArray("<link rel=stylesheet href=missing.css>")
                                         << QStringList{"p.html:2 missing file E"};
    QTest::newRow("letter case differs, in a folder name and a file name")
        << QByteArray("<img src=\"Images/Cover.gif\" alt=c>")
        << QStringList{"p.html:2 letter case differs E"};
    QTest::newRow("two names differ only in case")
        << QByteArray("<img src=twins/a.png alt=a>")
        << QStringList{"p.html:2 names differ only in case W"};
    QTest::newRow("a link inside the folder is followed")
        << QByteArray("<img src=link-in.png alt=x>") << QStringList{};
    QTest::newRow("a link out of the folder is not")
        << QByteArray("<img src=link-out.png alt=x><a href=other/page.html>o</a>")
        << QStringList{"p.html:2 outside the pages' folders W",
                       "p.html:2 outside the pages' folders W"};
    QTest::newRow("a page above the folder")
        << QByteArray("<a href=\"../other/page.html\">o</a><img src=../outside.png alt=o>")
        << QStringList{"p.html:2 outside the pages' folders W",
                       "p.html:2 outside the pages' folders W"};
    QTest::newRow("a pipe is no picture")
        << QByteArray("<img src=pipe.png alt=p>") << QStringList{"p.html:2 missing file E"};
    QTest::newRow("a hidden file is not published")
        << QByteArray("<img src=.hidden/x.png alt=h>") << QStringList{"p.html:2 missing file E"};
    QTest::newRow("a style sheet's own files, from its folder")
        << QByteArray("<link rel=stylesheet href=css/site.css>")
        << QStringList{"css/site.css:2 missing file E", "css/site.css:3 http:// resource W"};
    QTest::newRow("a style sheet importing itself")
        << QByteArray("<link rel=stylesheet href=css/self.css>")
        << QStringList{"css/self.css:1 style sheet imports itself W"};
    QTest::newRow("two style sheets importing each other")
        << QByteArray("<style>@import 'css/a.css';</style>")
        << QStringList{"css/b.css:2 style sheet imports itself W"};
  }
  void referencesOnDisk() {
    QFETCH(QByteArray, body);
    QFETCH(QStringList, problems);
    const QString page = site_ + "/p.html";
    write(page, kHead + body);
    QCOMPARE(summary(sitecheck::checkPages({page}, {}), site_), problems);
  }

  // Each bad file is one row with its reason, and the pages after it are still checked.
  void badInputIsARowAndTheCheckGoesOn_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>(
        "first");  // the bad page's first row: kind, severity, words of the reason
    QTest::newRow("missing file") << "missing file"
                                  << "missing file|E|does not exist";
    QTest::newRow("folder") << "folder"
                            << "not checked|E|a folder";
    QTest::newRow("named pipe") << "named pipe"
                                << "not checked|E|not a regular file";
    QTest::newRow("link to a device") << "link to a device"
                                      << "not checked|E|not a regular file";
    QTest::newRow("binary file") << "binary file"
                                 << "not checked|W|NUL bytes";
    QTest::newRow("200 MB page") << "200 MB page"
                                 << "not checked|W|too large to check (over 20 MB)";
    QTest::newRow("deleted between listed and used") << "deleted between listed and used"
                                                     << "missing file|E|does not exist";
    QTest::newRow("0-byte file") << "0-byte file"
                                 << "no title|W|no title";
    QTest::newRow("invalid UTF-8") << "invalid UTF-8"
                                   << "leftover placeholder|W|[BUYBUTTON]";
    QTest::newRow("symbolic link") << "symbolic link"
                                   << "leftover placeholder|W|[BUYBUTTON]";
    QTest::newRow("path with spaces, quotes and non-ASCII")
        << "path with spaces, quotes and non-ASCII"
        << "leftover placeholder|W|[BUYBUTTON]";
  }
  void badInputIsARowAndTheCheckGoesOn() {
    QFETCH(QString, kind);
    QFETCH(QString, first);
    QTemporaryDir dir;
    const badinputs::Input in = badinputs::make(kind, dir.path(), bigDir_.path());
    if (in.deleteBeforeUse) QFile::remove(in.target);
    const QString good = dir.filePath("good.html");
    write(good, "<p>[YOUR NAME]</p>");
    const QList<Problem> problems = sitecheck::checkPages({in.path, good}, {});
    QVERIFY(!problems.isEmpty());
    const QStringList want = first.split('|');
    QCOMPARE(problems.first().file, in.path);
    QCOMPARE(kindText(problems.first().kind), want[0]);
    QCOMPARE(severityText(problems.first().severity).left(1), want[1]);
    QVERIFY2(problems.first().detail.contains(want[2]), qPrintable(problems.first().detail));
    QCOMPARE(problems.last().file, good);
    QCOMPARE(problems.last().kind, Kind::Placeholder);
  }

  void webAddressesAreAskedOnceWhereverUsed() {
    const QString a = site_ + "/wa.html";
    const QString b = site_ + "/wb.html";
    write(a, kHead + "<a href='https://x.com/a#top'>x</a><img src='https://x.com/b.png' alt=b>");
    write(b, kHead + "\n<a href='https://x.com/a'>x</a>");
    sitecheck::Run run({a, b, a}, {});
    QCOMPARE(run.total(), qsizetype(2));  // the same page twice is checked once
    while (!run.finished()) run.next();
    const auto& web = run.webAddresses();
    QCOMPARE(web.size(), qsizetype(2));
    QCOMPARE(web[0].address, QStringLiteral("https://x.com/a"));
    QCOMPARE(web[0].uses.size(), qsizetype(2));
    QCOMPARE(web[0].uses[1].file, b);
    QCOMPARE(web[0].uses[1].line, 3);
  }

  void identitiesAreKeptInTheSettings() {
    const QString settings = dir_.filePath("check.ini");
    QCOMPARE(sitecheck::savedIdentities(settings), QString());
    sitecheck::saveIdentities(settings, "me@mine.com, myaff");
    QCOMPARE(sitecheck::savedIdentities(settings), QStringLiteral("me@mine.com, myaff"));
  }
};

QV_CORE_TEST_MAIN(SiteCheckTest)
#include "site_check_test.moc"
