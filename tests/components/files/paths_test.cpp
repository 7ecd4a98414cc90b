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
