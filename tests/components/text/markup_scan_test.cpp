// Where a comment ends, as a browser reads it: every reader of a page (the
// prologue, tag forms, page search, the early charset, picture kinds) takes
// this one answer, so a comment cannot hide markup from one and show it to
// another.
#include "text/markup_scan.h"

#include <QTest>

class MarkupScanTest final : public QObject {
  Q_OBJECT
 private slots:
  void commentEnd_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("end");  // -1: never closed
    QTest::newRow("plain") << QByteArray("<!-- a -->b") << 10;
    QTest::newRow("empty") << QByteArray("<!---->b") << 7;
    QTest::newRow("<!--> is whole") << QByteArray("<!-->b-->") << 5;
    QTest::newRow("<!---> is whole") << QByteArray("<!--->b-->") << 6;
    QTest::newRow("--!> closes") << QByteArray("<!-- a --!><p>-->") << 11;
    QTest::newRow("first close wins") << QByteArray("<!-- a --> b -->") << 10;
    QTest::newRow("dashes before the close") << QByteArray("<!-- a --->") << 11;
    QTest::newRow("never closed") << QByteArray("<!-- a -- >") << -1;
    QTest::newRow("cut short") << QByteArray("<!--") << -1;
  }
  void commentEnd() {
    QFETCH(QByteArray, text);
    QFETCH(int, end);
    QVERIFY(markupscan::commentAt(QByteArrayView(text), 0));
    QCOMPARE(markupscan::commentEnd(QByteArrayView(text), 0), end);
    // Text and bytes read alike.
    const QString asText = QString::fromLatin1(text);
    QCOMPARE(markupscan::commentEnd(QStringView(asText), 0), end);
  }
};

QTEST_APPLESS_MAIN(MarkupScanTest)
#include "markup_scan_test.moc"
