#include "text/v_parser.h"

#include <QTest>

// Replacing every copy of a tag, the way the tools and templates use it.
class VParserTest final : public QObject {
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
};

QTEST_GUILESS_MAIN(VParserTest)
#include "v_parser_test.moc"
