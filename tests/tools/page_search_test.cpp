#include "tools/page_search.h"

#include <QRandomGenerator>
#include <QTest>

#include "files/v_file.h"
#include "text/html_entities.h"
#include "text/text_codec.h"

using pagesearch::Mode;

namespace {

pagesearch::Found search(const QByteArray& bytes, const pagesearch::Options& options) {
  const TextBuffer page = textcodec::decode(bytes);
  return pagesearch::findMatches(page, pagesearch::codingOf(bytes, page.encoding), options);
}

// The page with every match replaced, the way the window writes it.
QByteArray replaced(const QByteArray& bytes, const pagesearch::Options& options,
                    const QString& with) {
  const TextBuffer page = textcodec::decode(bytes);
  const pagesearch::PageCoding coding = pagesearch::codingOf(bytes, page.encoding);
  QList<pagesearch::ByteRange> ranges;
  for (const auto& m : pagesearch::findMatches(page, coding, options).matches)
    ranges.append({m.byteStart, m.byteEnd});
  return pagesearch::spliceBytes(bytes, ranges,
                                 pagesearch::replacementBytes(with, options.mode, coding));
}

}  // namespace

class PageSearchTest final : public QObject {
  Q_OBJECT
 private slots:
  void textMode_data();
  void textMode();
  void codeMode_data();
  void codeMode();
  void whereMatchesAre();
  void refusedCharset();
  void randomPagesMatchOnlyText();
  void byRunsAsWhole();
  void references_data();
  void references();
};

void PageSearchTest::textMode_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("find");
  QTest::addColumn<bool>("matchCase");
  QTest::addColumn<bool>("wholeWord");
  QTest::addColumn<QString>("with");
  QTest::addColumn<QByteArray>("expected");

  const QByteArray utf8 = "<meta charset=\"utf-8\">";
  QTest::newRow("attribute, comment, script and style stay; text changes")
      << utf8 +
             "<p title=\"Acme Corp\">Acme Corp</p><!-- Acme Corp --><script>var s=\"Acme "
             "Corp\";</script><style>/* Acme Corp */</style><img alt='Acme Corp'> Acme Corp"
      << "Acme Corp" << false << false << "Zed Inc"
      << utf8 +
             "<p title=\"Acme Corp\">Zed Inc</p><!-- Acme Corp --><script>var s=\"Acme "
             "Corp\";</script><style>/* Acme Corp */</style><img alt='Acme Corp'> Zed Inc";
  QTest::newRow("upper-case script and unquoted attribute")
      << QByteArray("<SCRIPT type=text/javascript>Acme()</SCRIPT ><a href=Acme>Acme</a>") << "acme"
      << false << false << "Zed"
      << QByteArray("<SCRIPT type=text/javascript>Acme()</SCRIPT ><a href=Acme>Zed</a>");
  QTest::newRow("quoted > inside an attribute is not the tag's end")
      << QByteArray("<a title=\"x > Acme\" data-x='Acme>'>Acme</a>") << "Acme" << false << false
      << "Zed" << QByteArray("<a title=\"x > Acme\" data-x='Acme>'>Zed</a>");
  QTest::newRow("unclosed comment hides the rest")
      << QByteArray("Acme <!-- Acme") << "Acme" << false << false << "Zed"
      << QByteArray("Zed <!-- Acme");
  QTest::newRow("empty comment <!--> ends at once")
      << QByteArray("<!-->Acme") << "Acme" << false << false << "Zed" << QByteArray("<!-->Zed");
  QTest::newRow("a lone < is text")
      << QByteArray("1 < 2 Acme") << "Acme" << false << false << "Zed" << QByteArray("1 < 2 Zed");
  QTest::newRow("doctype and processing instruction skipped")
      << QByteArray("<!DOCTYPE Acme><?xml Acme?>Acme") << "Acme" << false << false << "Zed"
      << QByteArray("<!DOCTYPE Acme><?xml Acme?>Zed");
  QTest::newRow("title text is text")
      << QByteArray("<title>Acme <b> Shop</title>Acme") << "Acme <b> Shop" << false << false
      << "Zed" << QByteArray("<title>Zed</title>Acme");
  QTest::newRow("&amp; matches & and the replacement's & is escaped")
      << utf8 + "<p>Smith &amp; Co</p>"
      << "Smith & Co" << false << false << "Tom & <Jerry>"
      << utf8 + "<p>Tom &amp; &lt;Jerry&gt;</p>";
  QTest::newRow("named, decimal and hex references match their character")
      << utf8 + "Caf&eacute; Caf&#233; Caf&#xE9; Caf\xC3\xA9"
      << "café" << false << false << "Bar" << utf8 + "Bar Bar Bar Bar";
  QTest::newRow("line breaks, tabs and &nbsp; match one space")
      << QByteArray("<p>Acme\r\n\t  Corp, Acme&nbsp;Corp, Acme \xC2\xA0 Corp</p>") << "Acme  Corp"
      << false << false << "Zed" << QByteArray("<p>Zed, Zed, Zed</p>");
  QTest::newRow("a tag between the words: no match, no markup lost")
      << QByteArray("Acme <b>Corp</b>") << "Acme Corp" << false << false << "Zed"
      << QByteArray("Acme <b>Corp</b>");
  QTest::newRow("case ignored unless asked")
      << QByteArray("ACME acme Acme") << "acme" << false << false << "x" << QByteArray("x x x");
  QTest::newRow("match case") << QByteArray("ACME acme Acme") << "Acme" << true << false << "x"
                              << QByteArray("ACME acme x");
  QTest::newRow("whole words") << QByteArray("Acmeville Acme SuperAcme Acme_1 (Acme)") << "Acme"
                               << false << true << "Z"
                               << QByteArray("Acmeville Z SuperAcme Acme_1 (Z)");
  QTest::newRow("windows-1252 page: é read from its byte, written back as a byte")
      << QByteArray("<meta charset=windows-1252>\r\n<p>Caf\xE9 cr\xE8me \x80 5</p>\r\n") << "café"
      << false << false << "Thé \u2713"
      << QByteArray("<meta charset=windows-1252>\r\n<p>Th\xE9 &#10003; cr\xE8me \x80 5</p>\r\n");
  QTest::newRow("ISO-8859-1 page: the euro byte is windows-1252's")
      << QByteArray(
             "<meta http-equiv=\"Content-Type\" content=\"text/html; "
             "charset=iso-8859-1\">Price \x80 5")
      << "\u20AC 5" << false << false << "\u20AC 9"
      << QByteArray(
             "<meta http-equiv=\"Content-Type\" content=\"text/html; "
             "charset=iso-8859-1\">Price \x80 9");
  QTest::newRow("ISO-8859-2 page: its own letters")
      << QByteArray("<meta charset=iso-8859-2><p>\xA3\xF3\x64\xBC</p>") << "Łódź" << false << false
      << "Kraków" << QByteArray("<meta charset=iso-8859-2><p>Krak\xF3w</p>");
  QTest::newRow("ASCII page naming no charset: references only")
      << QByteArray("<p>Acme</p>") << "Acme" << false << false << "Café"
      << QByteArray("<p>Caf&#233;</p>");
  QTest::newRow("UTF-8 with BOM, CRLF, characters before the match")
      << QByteArray("\xEF\xBB\xBF<p>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\nAcme</p>\r\n") << "acme"
      << false << false << "\u00D8re"
      << QByteArray("\xEF\xBB\xBF<p>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\r\n\xC3\x98re</p>\r\n");
  QTest::newRow("invalid UTF-8 elsewhere: bytes kept")
      << QByteArray("<meta charset=utf-8><p>\xFF\xFE Acme</p>") << "Acme" << false << false << "é"
      << QByteArray("<meta charset=utf-8><p>\xFF\xFE \xC3\xA9</p>");
  QTest::newRow("empty find text finds nothing")
      << QByteArray("<p>Acme</p>") << "" << false << false << "x" << QByteArray("<p>Acme</p>");
  QTest::newRow("textarea keeps entities, tags inside are text")
      << QByteArray("<textarea>&lt;b&gt;Acme</textarea>Acme") << "<b>Acme" << false << false << "Z"
      << QByteArray("<textarea>Z</textarea>Acme");
}

void PageSearchTest::textMode() {
  QFETCH(QByteArray, page);
  QFETCH(QString, find);
  QFETCH(bool, matchCase);
  QFETCH(bool, wholeWord);
  QFETCH(QString, with);
  QFETCH(QByteArray, expected);
  const pagesearch::Options options{find, Mode::Text, matchCase, wholeWord};
  QCOMPARE(replaced(page, options, with), expected);
}

void PageSearchTest::codeMode_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("find");
  QTest::addColumn<bool>("matchCase");
  QTest::addColumn<QString>("with");
  QTest::addColumn<QByteArray>("expected");

  QTest::newRow("attribute and text alike, replacement as typed")
      << QByteArray("<p title=\"Acme\">Acme &amp;</p>") << "Acme &amp;" << true << "<b>Z</b> &"
      << QByteArray("<p title=\"Acme\"><b>Z</b> &</p>");
  QTest::newRow("case as chosen") << QByteArray("[BUYBUTTON] [buybutton]") << "[BuyButton]" << false
                                  << "<i/>" << QByteArray("<i/> <i/>");
  QTest::newRow("white space is exact") << QByteArray("Acme  Corp Acme Corp") << "Acme Corp" << true
                                        << "Z" << QByteArray("Acme  Corp Z");
  QTest::newRow("windows-1252 page: typed é finds its byte")
      << QByteArray("<meta charset=windows-1252><a title=\"caf\xE9\">") << "café" << true << "thé"
      << QByteArray("<meta charset=windows-1252><a title=\"th\xE9\">");
}

void PageSearchTest::codeMode() {
  QFETCH(QByteArray, page);
  QFETCH(QString, find);
  QFETCH(bool, matchCase);
  QFETCH(QString, with);
  QFETCH(QByteArray, expected);
  const pagesearch::Options options{find, Mode::Code, matchCase, false};
  QCOMPARE(replaced(page, options, with), expected);
}

// What the list shows: line, the text around the match, and the offsets.
void PageSearchTest::whereMatchesAre() {
  const QByteArray page =
      "<html>\r\n<body>\r\n<p>First   line</p>\r\r<p>Caf&eacute; <b>Acme</b> tail</p>\n";
  const pagesearch::Found text = search(page, {QStringLiteral("acme"), Mode::Text, false, false});
  QCOMPARE(text.matches.size(), 1);
  const pagesearch::Match& m = text.matches[0];
  QCOMPARE(m.line, 5);  // CR LF, CR LF, CR, CR
  QCOMPARE(m.found, QStringLiteral("Acme"));
  QCOMPARE(page.mid(m.byteStart, m.byteEnd - m.byteStart), QByteArray("Acme"));
  // The visible text around it: tags gone, references read, spaces collapsed.
  QCOMPARE(m.before, QStringLiteral(" First line Café "));
  QCOMPARE(m.after, QStringLiteral(" tail "));

  const pagesearch::Found code = search(page, {QStringLiteral("acme"), Mode::Code, false, false});
  QCOMPARE(code.matches.size(), 1);
  QVERIFY(code.matches[0].before.endsWith(QStringLiteral("Caf&eacute; <b>")));
  QCOMPARE(code.matches[0].byteStart, m.byteStart);

  // A long page: context is cut to a few words each side.
  const QByteArray longPage =
      QByteArray("word ").repeated(100) + "Acme" + QByteArray(" word").repeated(100);
  const pagesearch::Found cut = search(longPage, {QStringLiteral("Acme"), Mode::Text, true, false});
  QCOMPARE(cut.matches.size(), 1);
  QVERIFY(cut.matches[0].before.size() <= 40 && cut.matches[0].after.size() <= 40);
}

// Where an ASCII byte may be half of a character, the page is not touched.
void PageSearchTest::refusedCharset() {
  const QByteArray sjis = "<meta charset=shift_jis><p>\x83\x41 Acme</p>";
  const pagesearch::Found found = search(sjis, {QStringLiteral("A"), Mode::Text, true, false});
  QVERIFY(found.matches.isEmpty());
  QVERIFY(found.refused.contains(QStringLiteral("shift_jis")));
  // A UTF-16 file read byte by byte: a replacement would shift its characters.
  const QByteArray utf16 = QByteArray("\xFF\xFE<\0p\0>\0A\0", 10);
  const pagesearch::Found wide = search(utf16, {QStringLiteral("A"), Mode::Code, true, false});
  QVERIFY(wide.matches.isEmpty());
  QVERIFY(wide.refused.contains(QStringLiteral("UTF-16")));
  // The same charset with nothing but ASCII in it is safe.
  QCOMPARE(search("<meta charset=shift_jis><p>Acme</p>", {QStringLiteral("Acme")}).matches.size(),
           1);
}

// Pages put together at random from text and markup that both hold the
// phrase: every match lies in text, and every phrase in text is found (also
// written with a reference).
void PageSearchTest::randomPagesMatchOnlyText() {
  const QList<QByteArray> text = {"word ", "more words ", "&amp; ", "caf\xC3\xA9 ", "\r\n  "};
  const QList<QByteArray> phrase = {"Acme ", "ACME\n", "Ac&#109;e ", "Acm&#x65;&nbsp;"};
  const QList<QByteArray> markup = {"<p class=\"Acme\">",
                                    "<a title='x > Acme'>",
                                    "</p>",
                                    "<!-- Acme -->",
                                    "<script>var a = \"Acme </p>\";</script>",
                                    "<style>.Acme{}</style>",
                                    "<img alt=Acme>",
                                    "<!DOCTYPE Acme>",
                                    "<SCRIPT>Acme</SCRIPT>"};
  QRandomGenerator random(21);
  for (int round = 0; round < 300; ++round) {
    QByteArray page = "<meta charset=utf-8>";
    QList<std::pair<qsizetype, qsizetype>> markupAt;
    int expected = 0;
    for (int piece = 0; piece < 40; ++piece) {
      const int kind = random.bounded(3);
      const QList<QByteArray>& from = kind == 0 ? text : kind == 1 ? phrase : markup;
      const QByteArray& add = from[random.bounded(int(from.size()))];
      if (kind == 1) ++expected;
      if (kind == 2) markupAt.append({page.size(), page.size() + add.size()});
      page += add;
    }
    const pagesearch::Found found =
        search(page, {QStringLiteral("acme"), Mode::Text, false, false});
    QCOMPARE(found.matches.size(), expected);
    for (const pagesearch::Match& m : found.matches)
      for (const auto& [from, to] : markupAt)
        QVERIFY2(m.byteEnd <= from || m.byteStart >= to, page.constData());
  }
}

// The search that reads only runs near a possible match finds exactly what
// the search over the whole visible text finds, context and places included,
// on pages made to trip it: references standing for the find text's letters,
// markup and raw text holding it, unclosed comments and titles, white space
// of every kind, letters whose case folds to ASCII, other charsets. In code
// mode, the search of a UTF-8 page's bytes finds what the search of its
// decoded text finds.
void PageSearchTest::byRunsAsWhole() {
  const QList<QByteArray> pieces = {"Acme Corp ",
                                    "acme\r\ncorp",
                                    "ACME\tCORP",
                                    "Acme&nbsp;Corp",
                                    "Ac&#109;e C&#x6F;rp",
                                    "&Acme; ",
                                    "&amp;",
                                    "&ampcorp",
                                    "&copy2024",
                                    "&#",
                                    "&",
                                    "a < b ",
                                    "<3 acme",
                                    "corp",
                                    "\xE2\x84\xAA"
                                    "cme ",  // the Kelvin sign folds to k
                                    "\xC5\xBF",
                                    "\xC2\xA0",
                                    "\xEF\xBF\xBF",
                                    "\xF0\x9F\x98\x80"
                                    "Acme",
                                    "gr\xC3\xBC\xC3\x9F\xE2\x80\x93",
                                    "\r",
                                    "\xEF\xBB\xBF",
                                    " ",
                                    "\r\n",
                                    "\n\n  \t",
                                    "x",
                                    "corporate acme_corp",
                                    "<p class=\"Acme Corp\">",
                                    "<a title='x > Acme'>",
                                    "</p>",
                                    "<b>",
                                    "</b>",
                                    "<br/>",
                                    "<!-- Acme Corp -->",
                                    "<!-- open Acme",
                                    "<!>",
                                    "<?xml acme?>",
                                    "</ corp>",
                                    "</",
                                    "<!DOCTYPE acme>",
                                    "<script>Acme \"</p>\" Corp</script>",
                                    "<style>.acme{}</style ",
                                    "<title>Acme &amp; Corp < x</title>",
                                    "<TITLE>acme corp",
                                    "<textarea>a<b>Acme</textarea>",
                                    "<xmp><b>acme corp</b></xmp>",
                                    "<SCRIPT>acme</SCRIPT >",
                                    "<iframe>acme"};
  const QList<QByteArray> heads = {"<meta charset=utf-8>",
                                   "",
                                   "\xEF\xBB\xBF",
                                   "<meta charset=windows-1252>\xE9\xA0\x80",
                                   "<meta charset=iso-8859-7>\xE1",
                                   "<meta charset=shift_jis>",
                                   "\xFF\xFE<\0p\0>\0"};
  const QStringList finds = {QStringLiteral("acme corp"),
                             QStringLiteral("Acme"),
                             QStringLiteral(" corp"),
                             QStringLiteral("corp\u00A0acme"),
                             QStringLiteral("a"),
                             QStringLiteral("&"),
                             QStringLiteral("< b"),
                             QStringLiteral("k"),
                             QStringLiteral("  "),
                             QStringLiteral("p co"),
                             QStringLiteral("\u017F"),
                             QStringLiteral("acme_corp"),
                             QString::fromUtf8("\xF0\x9F\x98\x80"
                                               "A"),
                             QString(QChar(0xD83D))};
  QRandomGenerator random(35);
  for (int round = 0; round < 1500; ++round) {
    QByteArray page = heads[random.bounded(int(heads.size()))];
    for (int piece = random.bounded(1, 60); piece > 0; --piece)
      page += pieces[random.bounded(int(pieces.size()))];
    const TextBuffer decoded = textcodec::decode(page);
    const pagesearch::PageCoding coding = pagesearch::codingOf(page, decoded.encoding);
    const pagesearch::Options options{finds[random.bounded(int(finds.size()))], Mode::Text,
                                      random.bounded(2) == 1, random.bounded(2) == 1};
    const pagesearch::Found fast = pagesearch::findMatches(decoded, coding, options);
    const pagesearch::Found whole = pagesearch::findMatchesWhole(decoded, coding, options);
    const QByteArray what = options.find.toUtf8() + " in " + page.toPercentEncoding(" <>/=\"'!&;#");
    QVERIFY2(fast.refused == whole.refused, what.constData());
    QVERIFY2(fast.matches.size() == whole.matches.size(), what.constData());
    for (qsizetype i = 0; i < fast.matches.size(); ++i) {
      const pagesearch::Match& a = fast.matches[i];
      const pagesearch::Match& b = whole.matches[i];
      QVERIFY2(a.start == b.start && a.end == b.end && a.byteStart == b.byteStart &&
                   a.byteEnd == b.byteEnd && a.line == b.line,
               what.constData());
      QVERIFY2(a.before == b.before && a.found == b.found && a.after == b.after, what.constData());
    }
    const pagesearch::Options code{options.find, Mode::Code, options.matchCase, false};
    const std::optional<pagesearch::Found> inBytes =
        pagesearch::findCodeInUtf8(page, decoded.encoding, code);
    if (!inBytes) continue;
    QVERIFY2(decoded.encoding == TextEncoding::Utf8 || decoded.encoding == TextEncoding::Utf8Bom,
             what.constData());
    const pagesearch::Found decodedCode = pagesearch::findMatches(decoded, coding, code);
    QVERIFY2(inBytes->matches.size() == decodedCode.matches.size(), what.constData());
    for (qsizetype i = 0; i < inBytes->matches.size(); ++i) {
      const pagesearch::Match& a = inBytes->matches[i];
      const pagesearch::Match& b = decodedCode.matches[i];
      QVERIFY2(a.start == b.start && a.end == b.end && a.byteStart == b.byteStart &&
                   a.byteEnd == b.byteEnd && a.line == b.line,
               what.constData());
      QVERIFY2(a.before == b.before && a.found == b.found && a.after == b.after, what.constData());
    }
  }
}

void PageSearchTest::references_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<uint>("character");
  QTest::addColumn<int>("length");

  QTest::newRow("named") << "&amp;x" << uint('&') << 5;
  QTest::newRow("upper-case legacy") << "&AMP;" << uint('&') << 5;
  QTest::newRow("Latin-1 name without ;") << "&eacute x" << 0xE9u << 7;
  QTest::newRow("legacy prefix of a longer run") << "&copy2024" << 0xA9u << 5;
  QTest::newRow("later name needs its ;") << "&hellip x" << 0u << 0;
  QTest::newRow("later name") << "&hellip;" << 0x2026u << 8;
  QTest::newRow("unknown name") << "&acmecorp;" << 0u << 0;
  QTest::newRow("bare &") << "& x" << 0u << 0;
  QTest::newRow("decimal") << "&#233;" << 0xE9u << 6;
  QTest::newRow("hex, no ;") << "&#xe9 " << 0xE9u << 5;
  QTest::newRow("windows-1252 remap") << "&#150;" << 0x2013u << 6;
  QTest::newRow("zero is the replacement character") << "&#0;" << 0xFFFDu << 4;
  QTest::newRow("beyond Unicode") << "&#99999999999;" << 0xFFFDu << 14;
  QTest::newRow("astral") << "&#x1F600;" << 0x1F600u << 9;
  QTest::newRow("no digits") << "&#;" << 0u << 0;
}

void PageSearchTest::references() {
  QFETCH(QString, text);
  QFETCH(uint, character);
  QFETCH(int, length);
  const htmlentities::Reference ref = htmlentities::decodeAt(text, 0);
  QCOMPARE(int(ref.length), length);
  if (length > 0) QCOMPARE(uint(ref.character), character);
}

QTEST_GUILESS_MAIN(PageSearchTest)
#include "page_search_test.moc"
