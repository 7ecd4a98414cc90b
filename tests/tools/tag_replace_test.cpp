#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "files/v_file.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/text_edits.h"

namespace {

const QString kTag = QStringLiteral("[BUYBUTTON]");

// A held byte of a non-UTF-8 page, as the page text carries it.
QString heldByte(unsigned char b) { return QString(QChar(char16_t(0xF700 + b))); }

// Adds the tag to raw page bytes where no character can be split: right after
// the first line break, after the first line break past the middle, and at the
// very end.
QByteArray withTags(QByteArray bytes) {
  const QByteArray tag = kTag.toLatin1();
  bytes.append(tag);
  const qsizetype middle = bytes.indexOf('\n', bytes.size() / 2);
  if (middle >= 0) bytes.insert(middle + 1, tag);
  const qsizetype first = bytes.indexOf('\n');
  if (first >= 0) bytes.insert(first + 1, tag);
  return bytes;
}

// Whether a page tells a browser it is UTF-8 (by byte order mark or charset).
bool saysUtf8(const QByteArray& bytes) {
  static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?utf-8"),
                                          QRegularExpression::CaseInsensitiveOption);
  return bytes.startsWith("\xEF\xBB\xBF") || charset.match(QString::fromLatin1(bytes)).hasMatch();
}

}  // namespace

class TagReplaceTest final : public QObject {
  Q_OBJECT
 private slots:
  void replaceTag_data();
  void replaceTag();
  void manyTagsInOnePass();
  void linkHtml_data();
  void linkHtml();
  void everyPageKeepsEveryOtherByte_data();
  void everyPageKeepsEveryOtherByte();
};

void TagReplaceTest::replaceTag_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("tag");
  QTest::addColumn<QString>("code");
  QTest::addColumn<QString>("expected");

  const QString code = QStringLiteral("<form action=\"https://pay.example/buy\"></form>");
  QTest::newRow("tag three times") << "<p>[BUYBUTTON]</p>[BUYBUTTON]\n[BUYBUTTON]" << kTag << code
                                   << "<p>" + code + "</p>" + code + "\n" + code;
  QTest::newRow("other letter case left alone") << "[buybutton] [BuyButton] [BUYBUTTON ]" << kTag
                                                << code << "[buybutton] [BuyButton] [BUYBUTTON ]";
  QTest::newRow("tag absent: text unchanged")
      << "<html><body>x</body></html>" << kTag << code << "<html><body>x</body></html>";
  QTest::newRow("empty tag: text unchanged")
      << "<p>[BUYBUTTON]</p>" << QString() << code << "<p>[BUYBUTTON]</p>";
  QTest::newRow("empty code removes every tag")
      << "a[BUYBUTTON]b[BUYBUTTON]c" << kTag << QString() << "abc";
  QTest::newRow("adjacent tags") << "[BUYBUTTON][BUYBUTTON]" << kTag << "X"
                                 << "XX";
  QTest::newRow("overlapping candidates taken left to right") << "aaaaa"
                                                              << "aa"
                                                              << "b"
                                                              << "bba";
  QTest::newRow("code holding the tag is not searched again")
      << "[BUYBUTTON]" << kTag << "<b>[BUYBUTTON]</b>"
      << "<b>[BUYBUTTON]</b>";
  QTest::newRow("CRLF around the tag kept") << "a\r\n[BUYBUTTON]\r\nb\r\n"
                                            << kTag << "X"
                                            << "a\r\nX\r\nb\r\n";
  QTest::newRow("code inserted as typed: LF, tabs, NUL, no-break space")
      << "<p>[BUYBUTTON]</p>" << kTag << QStringLiteral("a\n\tb\u00A0c") + QChar(0)
      << QStringLiteral("<p>a\n\tb\u00A0c") + QChar(0) + "</p>";
  QTest::newRow("held bytes of a legacy page untouched")
      << "caf" + heldByte(0xE9) + " [BUYBUTTON] " + heldByte(0x80) << kTag << "X"
      << "caf" + heldByte(0xE9) + " X " + heldByte(0x80);
  QTest::newRow("tag of other characters") << "<!--PAY-->|<!--PAY-->"
                                           << "<!--PAY-->"
                                           << "€"
                                           << "€|€";
}

void TagReplaceTest::replaceTag() {
  QFETCH(QString, page);
  QFETCH(QString, tag);
  QFETCH(QString, code);
  QFETCH(QString, expected);
  QCOMPARE(textedits::replaceTag(page, tag, code), expected);
}

void TagReplaceTest::manyTagsInOnePass() {
  // 100,000 tags, each replaced by code longer than the tag, between text.
  const QString unit = QStringLiteral("<td>[BUYBUTTON]</td>\r\n");
  const QString page = unit.repeated(100000);
  const QString code = QStringLiteral("<a href=\"https://pay.example/?id=42\">Buy now</a>");
  const QString result = textedits::replaceTag(page, kTag, code);
  QCOMPARE(result.size(), page.size() + 100000 * (code.size() - kTag.size()));
  QCOMPARE(result.count(code), 100000);
  QVERIFY(!result.contains(kTag));
  QCOMPARE(result.left(30), ("<td>" + code + "</td>\r\n").left(30));
}

void TagReplaceTest::linkHtml_data() {
  QTest::addColumn<QString>("url");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("expected");
  QTest::newRow("initial boxes") << "http://" << QString() << "<a href=\"http://\"></a>";
  QTest::newRow("both empty") << QString() << QString() << "<a href=\"\"></a>";
  QTest::newRow("plain link") << "https://shop.example/buy"
                              << "Buy Now"
                              << "<a href=\"https://shop.example/buy\">Buy Now</a>";
  QTest::newRow("nothing trimmed or escaped")
      << " http://x.example/?a=1&b=\"2\" "
      << " <b>Get it</b> & more "
      << "<a href=\" http://x.example/?a=1&b=\"2\" \"> <b>Get it</b> & more </a>";
  QTest::newRow("non-ASCII kept") << "http://bücher.example/"
                                  << "Jetzt kaufen – 9 €"
                                  << "<a href=\"http://bücher.example/\">Jetzt kaufen – 9 €</a>";
}

void TagReplaceTest::linkHtml() {
  QFETCH(QString, url);
  QFETCH(QString, title);
  QFETCH(QString, expected);
  QCOMPARE(textedits::linkHtml(url, title), expected);
}

void TagReplaceTest::everyPageKeepsEveryOtherByte_data() {
  QTest::addColumn<QString>("page");
  for (const QString& page : testfiles::pages())
    QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
}

// The insertion cycle on real pages with tags added: read, replace, write.
// Everything but the tags must come back byte for byte, whatever the page's
// encoding, byte order mark or line endings; non-ASCII code goes in as UTF-8
// into a UTF-8 page and as character references into a legacy one.
void TagReplaceTest::everyPageKeepsEveryOtherByte() {
  QFETCH(QString, page);
  QV_SKIP_ABSENT_CORPUS(page);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = testfiles::copyPage(page, dir.path());
  const QByteArray tagged = withTags(testfiles::read(path));
  testfiles::write(path, tagged);

  const QString asciiCode = QStringLiteral("<a href=\"https://pay.example/?a=1&amp;b=2\">Buy</a>");
  const QString mixedCode = QStringLiteral("<b>Jetzt kaufen – 9 €</b>");
  for (const QString& code : {asciiCode, mixedCode}) {
    testfiles::write(path, tagged);
    TextBuffer work;
    QVERIFY(vFile::LoadText(work, path).ok());
    work.text = textedits::replaceTag(work.text, kTag, code);
    QVERIFY(vFile::SaveText(work, path).ok());
    const QByteArray written = testfiles::read(path);

    QByteArray expected = tagged;
    if (code == asciiCode || saysUtf8(tagged))
      expected.replace(kTag.toLatin1(), code.toUtf8());
    else
      expected.replace(kTag.toLatin1(), "<b>Jetzt kaufen &#8211; 9 &#8364;</b>");
    QCOMPARE(written, expected);
  }
}

QV_TEST_MAIN(TagReplaceTest)
#include "tag_replace_test.moc"
