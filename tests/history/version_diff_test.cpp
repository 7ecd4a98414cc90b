// What the history window shows between a version and the page now.
#include "history/version_diff.h"

#include <QTest>

#include "support/test_main.h"

class VersionDiffTest final : public QObject {
  Q_OBJECT

 private slots:
  void describeChanges_data();
  void describeChanges();
};

namespace {

const QString kLegend = QStringLiteral("- only in this version\n+ only in the page as it is now\n");

QByteArray numbered(int from, int to) {
  QByteArray out;
  for (int i = from; i <= to; ++i) out += QByteArray::number(i) + '\n';
  return out;
}

}  // namespace

void VersionDiffTest::describeChanges_data() {
  QTest::addColumn<QByteArray>("version");
  QTest::addColumn<QByteArray>("now");
  QTest::addColumn<QString>("expected");
  QTest::newRow("same bytes") << QByteArray("<p>a</p>") << QByteArray("<p>a</p>")
                              << QStringLiteral(
                                     "This version is the same as the page as it is now.");
  QTest::newRow("one line changed") << QByteArray("a\nb\nc\n") << QByteArray("a\nB\nc\n")
                                    << kLegend + QStringLiteral("\nLine 1:\n  a\n- b\n+ B\n  c\n");
  QTest::newRow("line added at the end, two lines of context")
      << numbered(1, 5) << numbered(1, 6) << kLegend + QStringLiteral("\nLine 4:\n  4\n  5\n+ 6\n");
  QTest::newRow("last line removed") << QByteArray("a\nb\n") << QByteArray("a\n")
                                     << kLegend + QStringLiteral("\nLine 1:\n  a\n- b\n");
  QTest::newRow("changes far apart shown apart")
      << numbered(1, 12) << QByteArray("1\ntwo\n3\n4\n5\n6\n7\n8\n9\nten\n11\n12\n")
      << kLegend + QStringLiteral(
                       "\nLine 1:\n  1\n- 2\n+ two\n  3\n  4\n"
                       "\nLine 8:\n  8\n  9\n- 10\n+ ten\n  11\n  12\n");
  QTest::newRow("line ends only")
      << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n")
      << kLegend + QStringLiteral("\nOnly the line endings or invisible characters differ.\n");
  QTest::newRow("single-byte page shown in its charset")
      << QByteArray("caf\xe9\n") << QByteArray("cafe\n")
      << kLegend + QStringLiteral("\nLine 1:\n- caf\u00e9\n+ cafe\n");
  QTest::newRow("UTF-8 page") << QByteArray(
                                     "Gr\xc3\xbc\xc3\x9f"
                                     "e\n")
                              << QByteArray("Hallo\n")
                              << kLegend +
                                     QStringLiteral("\nLine 1:\n- Gr\u00fc\u00dfe\n+ Hallo\n");
  QTest::newRow("very long line cut short")
      << QByteArray(1000, 'x') << QByteArray(1000, 'y')
      << kLegend + QStringLiteral("\nLine 1:\n- ") + QString(300, u'x') +
             QStringLiteral(" … (700 more characters)\n+ ") + QString(300, u'y') +
             QStringLiteral(" … (700 more characters)\n");
  QTest::newRow("page now empty") << QByteArray("<p>gone</p>") << QByteArray()
                                  << kLegend + QStringLiteral("\nLine 1:\n- <p>gone</p>\n");
}

void VersionDiffTest::describeChanges() {
  QFETCH(QByteArray, version);
  QFETCH(QByteArray, now);
  QFETCH(QString, expected);
  QCOMPARE(versiondiff::describeChanges(version, now), expected);
}

QV_TEST_MAIN(VersionDiffTest)
#include "version_diff_test.moc"
