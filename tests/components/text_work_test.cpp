#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "components/paths.h"
#include "components/twips.h"
#include "components/v_frame.h"
#include "components/v_parser.h"
#include "components/v_tools.h"
#include "support/test_files.h"
#include "support/test_main.h"

// The small text and layout helpers every window relies on.
class TestTextWork final : public QObject {
  Q_OBJECT

 private slots:
  void replaceAll_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every occurrence") << "a[B]b[B]c[B]"
                                      << "[B]"
                                      << "X"
                                      << "aXbXcX";
    QTest::newRow("letter case counts") << "[b][B]"
                                        << "[B]"
                                        << "X"
                                        << "[b]X";
    QTest::newRow("no overlap, left to right") << "aaaaa"
                                               << "aa"
                                               << "X"
                                               << "XXa";
    QTest::newRow("inserted text not searched") << "a"
                                                << "a"
                                                << "aa"
                                                << "aa";
    QTest::newRow("replacement holds the find") << "[B][B]"
                                                << "[B]"
                                                << "[B][B]"
                                                << "[B][B][B][B]";
    QTest::newRow("empty find changes nothing") << "abc"
                                                << ""
                                                << "X"
                                                << "abc";
    QTest::newRow("empty replacement removes") << "x[B]y"
                                               << "[B]"
                                               << ""
                                               << "xy";
    QTest::newRow("absent") << "abc"
                            << "[B]"
                            << "X"
                            << "abc";
    QTest::newRow("whole text") << "[B]"
                                << "[B]"
                                << ""
                                << "";
    QTest::newRow("doubled backslash at a join") << "C:\\\\save.alt"
                                                 << "\\\\"
                                                 << "\\"
                                                 << "C:\\save.alt";
  }
  void replaceAll() {
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(vParser::ReplaceAll(text, find, replacement, 0), expected);
  }

  void replaceAllManyMatches() {
    // 100,000 matches must be one pass, not one rescan per match.
    const QString text = QStringLiteral("ab[T]").repeated(100000);
    const QString result = vParser::ReplaceAll(text, QStringLiteral("[T]"), QStringLiteral("<b>"));
    QCOMPARE(result.size(), text.size());
    QCOMPARE(result.count(QStringLiteral("<b>")), 100000);
    QVERIFY(!result.contains(QStringLiteral("[T]")));
  }

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

  void twipsAtNinetySixDpi() {
    QCOMPARE(twips::toPixels(1440, 96), 96);
    QCOMPARE(twips::toPixels(405, 96), 27);
    QCOMPARE(twips::fromPixels(96, 96), 1440);
    QCOMPARE(twips::toPixels(twips::fromPixels(1093, 96), 96), 1093);
  }

  void panelHeightFollowsAtOnce() {
    vFrame panel;
    panel.setWidth(11580);
    panel.setExpandedvalue(4875);
    panel.setExpanded(false);
    QCOMPARE(panel.Height(), vFrame::kClosedHeight);
    QCOMPARE(panel.height(), twips::toPixels(405, twips::dpiOf(&panel)));
    panel.setExpanded(true);
    QCOMPARE(panel.Height(), 4875);
    panel.setTop(650);
    QCOMPARE(panel.Top(), 650);
    QCOMPARE(panel.y(), twips::toPixels(650, twips::dpiOf(&panel)));
  }
};

QV_TEST_MAIN(TestTextWork)
#include "text_work_test.moc"
