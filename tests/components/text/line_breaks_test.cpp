// Line breaks as a file spells them, carried back onto the engine's markup
// when a whole page is written.
#include "text/line_breaks.h"

#include <QTest>

class LineBreaksTest final : public QObject {
  Q_OBJECT
 private slots:
  void lines_data();
  void lines();
  void follow_data();
  void follow();
};

void LineBreaksTest::lines_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QByteArray>("usual");
  QTest::newRow("LF only") << QByteArray("a\nb\n") << QByteArray("a\nb\n") << QByteArray("\n");
  QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n") << QByteArray("\r\n");
  QTest::newRow("lone CR") << QByteArray("a\rb\r") << QByteArray("a\nb\n") << QByteArray("\r");
  QTest::newRow("CR CR LF reads as two")
      << QByteArray("a\r\r\nb\r\r\nc\r\n") << QByteArray("a\n\nb\n\nc\n") << QByteArray("\r\r\n");
  QTest::newRow("CR at the very end") << QByteArray("a\r") << QByteArray("a\n") << QByteArray("\r");
}

void LineBreaksTest::lines() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, usual);
  const linebreaks::Lines l = linebreaks::lines(file);
  QCOMPARE(l.text, text);
  QCOMPARE(l.usual, usual);
  // Every character of the text maps to the same character of the file.
  for (qsizetype i = 0; i < text.size(); ++i)
    if (text[i] != '\n') QCOMPARE(file[l.fileAt(i)], text[i]);
  QCOMPARE(l.fileAt(text.size()), file.size());
}

void LineBreaksTest::follow_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("text");  // the whole page as the engine writes it
  QTest::addColumn<QByteArray>("expected");
  QTest::newRow("CR CR LF stays one break, not two CR LFs")
      << QByteArray("<HTML>\r\r\n<BODY>\r\r\n<P>One\r\r\n<P>Two\r\r\n</BODY></HTML>\r\r\n")
      << QByteArray("<html><head></head><body>\n\n<p>One\n\n</p><p>Two\n\n\n\n</p></body></html>")
      << QByteArray(
             "<html><head></head><body>\r\r\n<p>One\r\r\n</p><p>Two\r\r\n\r\r\n</p></body></html>");
  QTest::newRow("mixed: each break as the file has it at that line")
      << QByteArray("<p>a</p>\r\n<p>b</p>\n<p>c</p>\r<p>d</p>\r\n")
      << QByteArray("<p>a</p>\n<p>b</p>\n<p>c</p>\n<p>d</p>\n")
      << QByteArray("<p>a</p>\r\n<p>b</p>\n<p>c</p>\r<p>d</p>\r\n");
  QTest::newRow("a new line is written the usual way")
      << QByteArray("<p>a</p>\r\n<p>b</p>\r\n<p>c</p>\n")
      << QByteArray("<p>a</p>\n<p>new</p>\n<p>b</p>\n<p>c</p>\n")
      << QByteArray("<p>a</p>\r\n<p>new</p>\r\n<p>b</p>\r\n<p>c</p>\n");
  QTest::newRow("LF file untouched")
      << QByteArray("<p>a</p>\n") << QByteArray("<p>b</p>\n") << QByteArray("<p>b</p>\n");
}

void LineBreaksTest::follow() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, expected);
  QCOMPARE(linebreaks::follow(file, linebreaks::lines(file), text), expected);
}

QTEST_APPLESS_MAIN(LineBreaksTest)
#include "line_breaks_test.moc"
