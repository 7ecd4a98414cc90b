#include "files/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "files/v_tools.h"
#include "support/test_files.h"

// Joining the program's folder and a file name, and what counts as a file.
class PathsTest final : public QObject {
  Q_OBJECT

 private slots:
  void joins_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("oneSeparator");
    QTest::addColumn<QString>("asTheyStand");
    QTest::newRow("windows folder") << "C:\\Pages"
                                    << "\\"
                                    << "C:\\Pages\\save.alt"
                                    << "C:\\Pages\\save.alt";
    QTest::newRow("windows drive root") << "C:\\"
                                        << "\\"
                                        << "C:\\save.alt"
                                        << "C:\\\\save.alt";
    QTest::newRow("network folder") << "\\\\server\\share\\app"
                                    << "\\"
                                    << "\\\\server\\share\\app\\save.alt"
                                    << "\\\\server\\share\\app\\save.alt";
    QTest::newRow("unix folder") << "/opt/quorvane"
                                 << "/"
                                 << "/opt/quorvane/save.alt"
                                 << "/opt/quorvane/save.alt";
    QTest::newRow("unix root") << "/"
                               << "/"
                               << "/save.alt"
                               << "//save.alt";
  }
  void joins() {
    QFETCH(QString, folder);
    QFETCH(QString, separator);
    QFETCH(QString, oneSeparator);
    QFETCH(QString, asTheyStand);
    const QString name = QStringLiteral("save.alt");
    QCOMPARE(paths::joinOneSeparator(folder, name, separator.at(0)), oneSeparator);
    QCOMPARE(paths::joinAsTheyStand(folder, name, separator.at(0)), asTheyStand);
  }

  void besideTheProgram() {
    QVERIFY(vTools::Exists(paths::besideExecutable(QStringLiteral("blank.html"))));
    QCOMPARE(
        QFileInfo(paths::besideExecutableAsIs(QStringLiteral("blank.html"))).canonicalFilePath(),
        QFileInfo(paths::besideExecutable(QStringLiteral("blank.html"))).canonicalFilePath());
  }

  // Where a file really is decides whether it is inside a page's folder: a
  // link may point anywhere, a name may only look like the folder's.
  void regularFileInside_data() {
    QTest::addColumn<QString>("path");  // below the test's folder
    QTest::addColumn<bool>("inside");   // of "site"
    QTest::newRow("beside the page") << "site/cover.png" << true;
    QTest::newRow("in a sub-folder") << "site/img/a.png" << true;
    QTest::newRow("named like the parent") << "site/..x.png" << false;
    QTest::newRow("in a hidden folder") << "site/.git/config" << false;
    QTest::newRow("a hidden file") << "site/.env" << false;
    QTest::newRow("a link inside pointing out") << "site/out.png" << false;
    QTest::newRow("a link inside pointing in") << "site/alias.png" << true;
    QTest::newRow("a folder whose name starts like it") << "site2/x.png" << false;
    QTest::newRow("the folder itself") << "site" << false;
    QTest::newRow("a sub-folder") << "site/img" << false;
    QTest::newRow("missing") << "site/none.png" << false;
    QTest::newRow("climbing out and back") << "site/img/../cover.png" << true;
  }
  void regularFileInside() {
    QFETCH(QString, path);
    QFETCH(bool, inside);
    QTemporaryDir dir;
    for (const char* file : {"site/cover.png", "site/img/a.png", "site/..x.png", "site/.git/config",
                             "site/.env", "site2/x.png", "secret.png"}) {
      QDir(dir.path()).mkpath(QFileInfo(dir.filePath(file)).path());
      testfiles::write(dir.filePath(file), "x");
    }
    QFile::link(dir.filePath("secret.png"), dir.filePath("site/out.png"));
    QFile::link(dir.filePath("site/cover.png"), dir.filePath("site/alias.png"));
    const QString found = paths::regularFileInside(dir.filePath(path), dir.filePath("site"));
    QCOMPARE(!found.isEmpty(), inside);
    if (inside) QVERIFY(found.startsWith(QFileInfo(dir.filePath("site")).canonicalFilePath()));
    // A link to the folder stands for the folder.
    QFile::link(dir.filePath("site"), dir.filePath("link-to-site"));
    QCOMPARE(!paths::regularFileInside(dir.filePath(path), dir.filePath("link-to-site")).isEmpty(),
             inside);
  }

  void existsMeansAFile() {
    QTemporaryDir dir;
    testfiles::write(dir.filePath("empty.alt"), {});
    QDir(dir.path()).mkdir("folder.alt");
    QVERIFY(vTools::Exists(dir.filePath("empty.alt"), false));
    QVERIFY(!vTools::Exists(dir.filePath("folder.alt"), false));
    QVERIFY(!vTools::Exists(dir.filePath("missing.alt"), false));
    QVERIFY(!vTools::Exists(QString(), false));
  }
};

QTEST_GUILESS_MAIN(PathsTest)
#include "paths_test.moc"
