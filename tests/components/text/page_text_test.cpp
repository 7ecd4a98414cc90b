#include "text/page_text.h"

#include <QTest>

#include "text/text_codec.h"

class PageTextTest final : public QObject {
  Q_OBJECT
 private slots:
  void prologue_data();
  void prologue();
  void traits_data();
  void traits();
  void encode_data();
  void encode();
  void saved_data();
  void saved();
  void unknownCharsetRefused();
  void savedTextRoundTripsThroughTextBuffer();
};

void PageTextTest::prologue_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("prologue");
  QTest::newRow("html5 doctype") << QByteArray("<!DOCTYPE html>\n<html><p>x</p></html>")
                                 << QByteArray("<!DOCTYPE html>\n");
  QTest::newRow("old doctype kept as written")
      << QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n<HTML>")
      << QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\r\n");
  QTest::newRow("xml declaration and doctype")
      << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE html>\n<html>")
      << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE html>\n");
  QTest::newRow("comments before root")
      << QByteArray("<!--TOOLBAR_START--><!--TOOLBAR_END-->\n<HTML xmlns:my>")
      << QByteArray("<!--TOOLBAR_START--><!--TOOLBAR_END-->\n");
  QTest::newRow("conditional comments holding html tags")
      << QByteArray(
             "<!DOCTYPE html>\n<!--[if IE 8]> <html class=\"ie\"> <![endif]-->\n"
             "<!--[if gt IE 8]><!--> <html class=\"no-js\"> <!--<![endif]-->")
      << QByteArray(
             "<!DOCTYPE html>\n<!--[if IE 8]> <html class=\"ie\"> <![endif]-->\n"
             "<!--[if gt IE 8]><!--> ");
  QTest::newRow("byte order mark left out")
      << QByteArray("\xEF\xBB\xBF<!DOCTYPE html>\n<html>") << QByteArray("<!DOCTYPE html>\n");
  QTest::newRow("no doctype") << QByteArray("<html><head>") << QByteArray();
  QTest::newRow("fragment page") << QByteArray("Hello <b>you</b>") << QByteArray();
  QTest::newRow("unterminated comment stops")
      << QByteArray("<!DOCTYPE html><!-- never closed <p>") << QByteArray("<!DOCTYPE html>");
  QTest::newRow("empty comment form")
      << QByteArray("<!--><!DOCTYPE html><html>") << QByteArray("<!--><!DOCTYPE html>");
}

void PageTextTest::prologue() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, prologue);
  QCOMPARE(pagetext::prologueOf(file), prologue);
}

void PageTextTest::traits_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<bool>("bom");
  QTest::addColumn<bool>("plainAscii");
  QTest::addColumn<bool>("crlf");
  QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF<html>\n") << true << false << false;
  QTest::newRow("ascii, nothing declared")
      << QByteArray("<html>\n</html>") << false << true << false;
  QTest::newRow("ascii declaring its charset")
      << QByteArray("<meta charset=\"windows-1252\">\n") << false << false << false;
  QTest::newRow("xml encoding counts as declared")
      << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n") << false << false << false;
  QTest::newRow("latin-1 bytes") << QByteArray("<p>caf\xE9</p>\r\n") << false << false << true;
  QTest::newRow("crlf") << QByteArray("<html>\r\n<body>\r\n") << false << true << true;
  QTest::newRow("crlf later than the first line does not count")
      << QByteArray("<html>\n<body>\r\n") << false << true << false;
}

void PageTextTest::traits() {
  QFETCH(QByteArray, file);
  const pagetext::FileTraits t = pagetext::traitsOf(file);
  QTEST(t.bom, "bom");
  QTEST(t.plainAscii, "plainAscii");
  QTEST(t.crlf, "crlf");
}

void PageTextTest::encode_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("charset");
  QTest::addColumn<QByteArray>("bytes");
  QTest::newRow("utf-8") << QStringLiteral("caf\u00E9 \u2603") << QStringLiteral("UTF-8")
                         << QByteArray("caf\xC3\xA9 \xE2\x98\x83");
  QTest::newRow("windows-1252 latin letters")
      << QStringLiteral("caf\u00E9") << QStringLiteral("windows-1252") << QByteArray("caf\xE9");
  QTest::newRow("windows-1252 euro and quotes")
      << QStringLiteral("\u20AC \u201Cq\u201D") << QStringLiteral("windows-1252")
      << QByteArray("\x80 \x93q\x94");
  QTest::newRow("windows-1252 unmapped bytes come back")
      << QStringLiteral("\u0081\u008D\u009D") << QStringLiteral("windows-1252")
      << QByteArray("\x81\x8D\x9D");
  QTest::newRow("windows-1252 cannot hold it")
      << QStringLiteral("a\u2603b") << QStringLiteral("windows-1252") << QByteArray("a&#9731;b");
  QTest::newRow("astral character is one reference")
      << QString::fromUtf8("x\xF0\x9F\x98\x80") << QStringLiteral("windows-1252")
      << QByteArray("x&#128512;");
  QTest::newRow("private-use character stays a reference")
      << QStringLiteral("\uF7E9") << QStringLiteral("windows-1252") << QByteArray("&#63465;");
  QTest::newRow("iso-8859-2 through the converter")
      << QStringLiteral("\u0141\u00F3d\u017A \u20AC") << QStringLiteral("ISO-8859-2")
      << QByteArray(
             "\xA3\xF3"
             "d\xBC &#8364;");
  QTest::newRow("shift_jis") << QStringLiteral("\u65E5\u672C") << QStringLiteral("Shift_JIS")
                             << QByteArray("\x93\xFA\x96{");
}

void PageTextTest::encode() {
  QFETCH(QString, text);
  QFETCH(QString, charset);
  const auto bytes = pagetext::encodeIn(text, charset);
  QVERIFY(bytes.has_value());
  QTEST(*bytes, "bytes");
}

void PageTextTest::saved_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("markup");
  QTest::addColumn<QString>("charset");
  QTest::addColumn<QByteArray>("saved");
  QTest::newRow("doctype as the file wrote it")
      << QByteArray("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\n<HTML><P>x")
      << QStringLiteral("<html><head></head><body><p>x!</p></body></html>")
      << QStringLiteral("windows-1252")
      << QByteArray(
             "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2 Final//EN\">\n"
             "<html><head></head><body><p>x!</p></body></html>");
  QTest::newRow("bom kept") << QByteArray("\xEF\xBB\xBF<!DOCTYPE html>\n<html>\xC3\xA9")
                            << QStringLiteral("<html>\u00E9</html>") << QStringLiteral("UTF-8")
                            << QByteArray("\xEF\xBB\xBF<!DOCTYPE html>\n<html>\xC3\xA9</html>");
  QTest::newRow("crlf file keeps crlf")
      << QByteArray("<!DOCTYPE html>\r\n<html>\r\n<p>a</p>\r\n</html>\r\n")
      << QStringLiteral("<html><body>\n<p>a b</p>\n</body></html>") << QStringLiteral("UTF-8")
      << QByteArray("<!DOCTYPE html>\r\n<html><body>\r\n<p>a b</p>\r\n</body></html>");
  QTest::newRow("undeclared ascii file stays ascii")
      << QByteArray("<html><p>a</p></html>") << QStringLiteral("<html><p>\u00E9\u20AC</p></html>")
      << QStringLiteral("windows-1252") << QByteArray("<html><p>&#233;&#8364;</p></html>");
  QTest::newRow("latin-1 page stays single-byte")
      << QByteArray("<meta charset=iso-8859-1><p>caf\xE9")
      << QStringLiteral("<html>caf\u00E9 \u2603</html>") << QStringLiteral("windows-1252")
      << QByteArray("<html>caf\xE9 &#9731;</html>");
}

void PageTextTest::saved() {
  QFETCH(QByteArray, file);
  QFETCH(QString, markup);
  QFETCH(QString, charset);
  const auto bytes = pagetext::savedBytes(pagetext::traitsOf(file), markup, charset);
  QVERIFY(bytes.has_value());
  QTEST(*bytes, "saved");
}

void PageTextTest::unknownCharsetRefused() {
  const auto traits = pagetext::traitsOf(QByteArray("<meta charset=x-made-up><p>\xE9"));
  QVERIFY(
      !pagetext::savedBytes(traits, QStringLiteral("<html></html>"), QStringLiteral("x-made-up"))
           .has_value());
}

// The alternative method writes through a TextBuffer: whatever the charset,
// what reaches the file must be exactly the bytes assembled here.
void PageTextTest::savedTextRoundTripsThroughTextBuffer() {
  const QList<QByteArray> samples = {
      QByteArray("<html>caf\xE9 &#9731;</html>"), QByteArray("\xEF\xBB\xBF<html>\xC3\xA9</html>"),
      QByteArray("<html>\xC3\xA9</html>"), QByteArray("<html>\xEF\x9E\x80 \x81</html>"),
      QByteArray("<html>ascii</html>")};
  for (const QByteArray& bytes : samples)
    QCOMPARE(textcodec::encode(textcodec::decode(bytes)), bytes);
}

QTEST_GUILESS_MAIN(PageTextTest)
#include "page_text_test.moc"
