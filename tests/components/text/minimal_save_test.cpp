#include "text/minimal_save.h"

#include <QTest>

using minimalsave::Spelling;
using minimalsave::Stretch;

namespace {

QString applied(const QString& before, const std::vector<Stretch>& stretches) {
  QString out;
  qsizetype done = 0;
  for (const Stretch& s : stretches) {
    out += before.mid(done, s.from - done) + s.text;
    done = s.to;
  }
  return out + before.mid(done);
}

// A long page of numbered paragraphs, as a 10 MB page would be, only smaller.
QString longPage(int paragraphs) {
  QString page = QStringLiteral("<html><head></head><body>\n");
  for (int i = 0; i < paragraphs; ++i)
    page += QStringLiteral("<p id=\"p%1\">Order today, item %1.</p>\n").arg(i);
  return page + QStringLiteral("</body></html>");
}

}  // namespace

class MinimalSaveTest final : public QObject {
  Q_OBJECT
 private slots:
  void stretches_data();
  void stretches();
  void patch_data();
  void patch();
};

void MinimalSaveTest::stretches_data() {
  QTest::addColumn<QString>("before");
  QTest::addColumn<QString>("after");
  QTest::addColumn<int>("count");
  const QString page = longPage(4000);
  QString twoEdits = page;
  twoEdits.replace(QStringLiteral("item 10."), QStringLiteral("item ten."));
  twoEdits.replace(QStringLiteral("item 3990."), QStringLiteral("item 3990, now."));
  QTest::newRow("nothing changed") << page << page << 0;
  QTest::newRow("typed at the end of a paragraph")
      << QStringLiteral("<p>Hello</p>") << QStringLiteral("<p>Hellozebra</p>") << 1;
  QTest::newRow("word deleted") << QStringLiteral("<p>Buy the best now</p>")
                                << QStringLiteral("<p>Buy the now</p>") << 1;
  QTest::newRow("bold around a word is one change")
      << QStringLiteral("<p>Hello world</p>") << QStringLiteral("<p><b>Hello</b> world</p>") << 1;
  QTest::newRow("edits far apart in a long page stay apart") << page << twoEdits << 2;
  QTest::newRow("surrogate pair never split")
      << QStringLiteral("<p>a\U0001F600b</p>") << QStringLiteral("<p>a\U0001F601b</p>") << 1;
  QTest::newRow("everything replaced")
      << QStringLiteral("<html><body>old</body></html>") << QStringLiteral("<p>new</p>") << 1;
}

void MinimalSaveTest::stretches() {
  QFETCH(QString, before);
  QFETCH(QString, after);
  QFETCH(int, count);
  const auto found = minimalsave::stretches(before, after);
  QVERIFY(found);
  QCOMPARE(int(found->size()), count);
  QCOMPARE(applied(before, *found), after);
  for (const Stretch& s : *found) {
    QVERIFY(!s.text.startsWith(QChar(0xDE01)) && !s.text.endsWith(QChar(0xD83D)));
    QVERIFY(s.from == 0 || !before[s.from].isLowSurrogate());
  }
}

void MinimalSaveTest::patch_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("before");  // what the engine made of the file
  QTest::addColumn<QString>("after");   // the same after editing
  QTest::addColumn<QString>("charset");
  QTest::addColumn<bool>("crlf");
  QTest::addColumn<QByteArray>("expected");  // empty: no patch, the whole page is written
  const QString wrap = QStringLiteral("<html><head></head><body>%1</body></html>");

  QTest::newRow("typed word, same spelling")
      << QByteArray("<!doctype html>\n<html><head></head><body><p>Hello</p></body></html>\n")
      << wrap.arg("<p>Hello</p>") << wrap.arg("<p>Hellozebra</p>") << "UTF-8" << false
      << QByteArray("<!doctype html>\n<html><head></head><body><p>Hellozebra</p></body></html>\n");
  QTest::newRow("upper-case tags and implied head")
      << QByteArray("<HTML><BODY BGCOLOR=white><P>Hello world</P></BODY></HTML>")
      << QStringLiteral(
             "<html><head></head><body bgcolor=\"white\"><p>Hello world</p></body></html>")
      << QStringLiteral(
             "<html><head></head><body bgcolor=\"white\"><p>Hello world zebra</p></body></html>")
      << "windows-1252" << false
      << QByteArray("<HTML><BODY BGCOLOR=white><P>Hello world zebra</P></BODY></HTML>");
  QTest::newRow("CRLF kept, pasted line gets CRLF")
      << QByteArray("<html>\r\n<body>\r\n<p>One\r\ntwo</p>\r\n</body>\r\n</html>\r\n")
      << QStringLiteral("<html><head></head><body>\n<p>One\ntwo</p>\n\n</body></html>")
      << QStringLiteral("<html><head></head><body>\n<p>One\ntwo\nthree</p>\n\n</body></html>")
      << "UTF-8" << true
      << QByteArray("<html>\r\n<body>\r\n<p>One\r\ntwo\r\nthree</p>\r\n</body>\r\n</html>\r\n");
  QTest::newRow("CR CR LF: a join across the break is placed")
      << QByteArray("<P>One</P>\r\r\n<P>Two</P>\r\r\n") << wrap.arg("<p>One</p>\n\n<p>Two</p>\n\n")
      << wrap.arg("<p>OneTwo</p>\n\n") << "UTF-8" << true << QByteArray("<P>OneTwo</P>\r\r\n");
  QTest::newRow("CR CR LF: a new line is written as the file writes lines")
      << QByteArray("<p>One</p>\r\r\n<p>Two</p>\r\r\n") << wrap.arg("<p>One</p>\n\n<p>Two</p>\n\n")
      << wrap.arg("<p>One</p>\n\n<p>Two\n\nthree</p>\n\n") << "UTF-8" << true
      << QByteArray("<p>One</p>\r\r\n<p>Two\r\r\nthree</p>\r\r\n");
  QTest::newRow("lone CR: an edit spanning lines is placed")
      << QByteArray("<p>One\rtwo</p>\r<p>Three</p>\r")
      << wrap.arg("<p>One\ntwo</p>\n<p>Three</p>\n") << wrap.arg("<p>One</p>\n<p>Three</p>\n")
      << "UTF-8" << false << QByteArray("<p>One</p>\r<p>Three</p>\r");
  QTest::newRow("mixed breaks: each kept where it is")
      << QByteArray("<p>a</p>\r\n<p>b</p>\n<p>c</p>\r<p>d</p>")
      << wrap.arg("<p>a</p>\n<p>b</p>\n<p>c</p>\n<p>d</p>")
      << wrap.arg("<p>a</p>\n<p>bc</p>\n<p>d</p>") << "UTF-8" << true
      << QByteArray("<p>a</p>\r\n<p>bc</p>\r<p>d</p>");
  QTest::newRow("join across upper-case tags and unquoted attributes")
      << QByteArray("<P ID=a CLASS=MsoNormal>One</P>\r\n<P ID=b>Two</P>\r\n")
      << wrap.arg("<p id=\"a\" class=\"MsoNormal\">One</p>\n<p id=\"b\">Two</p>\n")
      << wrap.arg("<p id=\"a\" class=\"MsoNormal\">One Two</p>\n") << "UTF-8" << true
      << QByteArray("<P ID=a CLASS=MsoNormal>One Two</P>\r\n");
  QTest::newRow("join where the file leaves out the paragraph's end")
      << QByteArray("<P ALIGN=CENTER>Buy today<BR>\r\n<P>Second one\r\n</BODY>")
      << wrap.arg("<p align=\"CENTER\">Buy today<br>\n</p><p>Second one\n</p>")
      << wrap.arg("<p align=\"CENTER\">Buy today Second one\n</p>") << "UTF-8" << true
      << QByteArray("<P ALIGN=CENTER>Buy today Second one\r\n</BODY>");
  QTest::newRow("join of two cells of a table without its body tag")
      << QByteArray("<TABLE><TR><TD>One<TD>Two</TABLE>")
      << wrap.arg("<table><tbody><tr><td>One</td><td>Two</td></tr></tbody></table>")
      << wrap.arg("<table><tbody><tr><td>One Two</td></tr></tbody></table>") << "UTF-8" << false
      << QByteArray("<TABLE><TR><TD>One Two</TABLE>");
  QTest::newRow("join across a self-closed tag")
      << QByteArray("<P>One<BR/>\r\nTwo</P>") << wrap.arg("<p>One<br>\nTwo</p>")
      << wrap.arg("<p>OneTwo</p>") << "UTF-8" << true << QByteArray("<P>OneTwo</P>");
  QTest::newRow("a changed attribute: only its value is written")
      << QByteArray("<P ALIGN=left>Same</P><P ALIGN=left>Other</P>")
      << wrap.arg("<p align=\"left\">Same</p><p align=\"left\">Other</p>")
      << wrap.arg("<p align=\"left\">Same</p><p align=\"center\">Other</p>") << "UTF-8" << false
      << QByteArray("<P ALIGN=left>Same</P><P ALIGN=center>Other</P>");
  // Links and pictures changed from the Link, Links and Image windows on a
  // page spelled the old way: only the values move.
  const QString links = QStringLiteral(
      "<p><a id=\"a1\" href=\"%1\">One</a>\n<a id=\"a2\" href=\"%1\">Two</a></p>\n\n");
  QTest::newRow("one address changed in two links quoted differently, CRLF")
      << QByteArray(
             "<HTML><BODY>\r\n<P><A ID=a1 HREF=\"old.htm\">One</A>\r\n"
             "<a id=a2 href='old.htm'>Two</a></P>\r\n</BODY></HTML>\r\n")
      << wrap.arg(links.arg("old.htm")) << wrap.arg(links.arg("https://new.example/?a=1&amp;b=2"))
      << "UTF-8" << true
      << QByteArray(
             "<HTML><BODY>\r\n<P><A ID=a1 HREF=\"https://new.example/?a=1&amp;b=2\">One</A>"
             "\r\n<a id=a2 href='https://new.example/?a=1&amp;b=2'>Two</a></P>\r\n"
             "</BODY></HTML>\r\n");
  QTest::newRow("unquoted value that needs quotes takes the tag's own")
      << QByteArray("<P><A HREF=old.htm TITLE='Buy'>One</A></P>")
      << wrap.arg("<p><a href=\"old.htm\" title=\"Buy\">One</a></p>")
      << wrap.arg("<p><a href=\"my page.htm\" title=\"Buy\">One</a></p>") << "UTF-8" << false
      << QByteArray("<P><A HREF='my page.htm' TITLE='Buy'>One</A></P>");
  QTest::newRow("attribute added in the tag's case, one removed with its space")
      << QByteArray("<P><A HREF=x.htm  NAME=top\r\n>One</A></P>")
      << wrap.arg("<p><a href=\"x.htm\" name=\"top\">One</a></p>")
      << wrap.arg("<p><a href=\"x.htm\" target=\"_blank\" rel=\"noopener\">One</a></p>") << "UTF-8"
      << false << QByteArray("<P><A HREF=x.htm TARGET=\"_blank\" REL=\"noopener\"\r\n>One</A></P>");
  QTest::newRow("picture: source, text and size in place, quote in a single-quoted value")
      << QByteArray("<P><IMG SRC=a.gif WIDTH=10 ALT='Old' BORDER=0></P>")
      << wrap.arg("<p><img src=\"a.gif\" width=\"10\" alt=\"Old\" border=\"0\"></p>")
      << wrap.arg("<p><img src=\"b.png\" width=\"20\" alt=\"It's new\" border=\"0\"></p>")
      << "UTF-8" << false
      << QByteArray("<P><IMG SRC=b.png WIDTH=20 ALT='It&#39;s new' BORDER=0></P>");
  QTest::newRow("link removed: its tags go, its text stays")
      << QByteArray("<P>Buy <A HREF=x.htm>this pack</A> today</P>")
      << wrap.arg("<p>Buy <a href=\"x.htm\">this pack</a> today</p>")
      << wrap.arg("<p>Buy this pack today</p>") << "UTF-8" << false
      << QByteArray("<P>Buy this pack today</P>");
  QTest::newRow("windows-1252 bytes")
      << QByteArray("<p>caf\xE9 noir</p>") << wrap.arg(QStringLiteral("<p>caf\u00E9 noir</p>"))
      << wrap.arg(QStringLiteral("<p>caf\u00E9 noir \u00E0 \u20AC2</p>")) << "windows-1252" << false
      << QByteArray(
             "<p>caf\xE9 noir \xE0 \x80"
             "2</p>");
  QTest::newRow("comments and odd attribute quoting")
      << QByteArray("<!-- top --><p class=intro title='a \"b\"'>Hi there</p><!-- end -->")
      << wrap.arg(
             "<!-- top --><p class=\"intro\" title=\"a &quot;b&quot;\">Hi there</p><!-- end -->")
      << wrap.arg(
             "<!-- top --><p class=\"intro\" title=\"a &quot;b&quot;\">Hi there, you</p><!-- end "
             "-->")
      << "UTF-8" << false
      << QByteArray("<!-- top --><p class=intro title='a \"b\"'>Hi there, you</p><!-- end -->");
  QTest::newRow("entity spelled otherwise next to the edit")
      << QByteArray("<p>Fish &#38; chips</p>") << wrap.arg("<p>Fish &amp; chips</p>")
      << wrap.arg("<p>Fish &amp; chips today</p>") << "UTF-8" << false
      << QByteArray("<p>Fish &#38; chips today</p>");
  QTest::newRow("word deleted") << QByteArray("<P>Buy the best now</P>")
                                << wrap.arg("<p>Buy the best now</p>")
                                << wrap.arg("<p>Buy the now</p>") << "UTF-8" << false
                                << QByteArray("<P>Buy the now</P>");
  QTest::newRow("word made bold") << QByteArray("<p>Hello world</p>")
                                  << wrap.arg("<p>Hello world</p>")
                                  << wrap.arg("<p><b>Hello</b> world</p>") << "UTF-8" << false
                                  << QByteArray("<p><b>Hello</b> world</p>");
  QTest::newRow("nothing changed")
      << QByteArray("<P>x</P>") << wrap.arg("<p>x</p>") << wrap.arg("<p>x</p>") << "UTF-8" << false
      << QByteArray("<P>x</P>");
  QTest::newRow("upper-case markup placed where the other side is spelled otherwise")
      << QByteArray("<P id=a>Same</P><P id=a>Same</P>")
      << wrap.arg("<p id=\"a\">Same</p><p id=\"a\">Same</p>")
      << wrap.arg("<p id=\"a\">SameX</p><p id=\"a\">Same</p>") << "UTF-8" << false
      << QByteArray("<P id=a>SameX</P><P id=a>Same</P>");
  QTest::newRow("ambiguous place: falls back")
      << QByteArray("<P id=a>Same</P><P id=a>Same</P><P id=a>Same</P>")
      << wrap.arg("<p id=\"a\">Same</p><p id=\"a\">Same</p><p id=\"a\">Same</p>")
      << wrap.arg("<p id=\"a\">Same</p><p id=\"a\">SameX</p><p id=\"a\">Same</p>") << "UTF-8"
      << false << QByteArray();
  // References and declarations the engine writes its own way are placed
  // as what they read as.
  QTest::newRow("deleted reference spelled otherwise")
      << QByteArray("<P>Fish &#38; chips</P>") << wrap.arg("<p>Fish &amp; chips</p>")
      << wrap.arg("<p>Fish chips</p>") << "UTF-8" << false << QByteArray("<P>Fish chips</P>");
  QTest::newRow("no-break space without its ;")
      << QByteArray("<TD>&nbsp</TD><TD>x</TD>")
      << wrap.arg("<table><tbody><tr><td>&nbsp;</td><td>x</td></tr></tbody></table>")
      << wrap.arg("<table><tbody><tr><td></td><td>x</td></tr></tbody></table>") << "UTF-8" << false
      << QByteArray("<TD></TD><TD>x</TD>");
  QTest::newRow("a join over a declaration read as a comment")
      << QByteArray("<P>One</P>\n<P><![if !x]>&nbsp;<![endif]></P>\n<P>Two</P>")
      << wrap.arg("<p>One</p>\n<p><!--[if !x]-->&nbsp;<!--[endif]--></p>\n<p>Two</p>")
      << wrap.arg("<p>One Two</p>") << "UTF-8" << false << QByteArray("<P>One Two</P>");
  QTest::newRow("a change right after a tag's <")
      << QByteArray("<P><STRONG><FONT COLOR=red>Change</FONT></STRONG></P>")
      << wrap.arg("<p><strong><font color=\"red\">Change</font></strong></p>")
      << wrap.arg("<p><font color=\"red\" style=\"\">Change</font></p>") << "UTF-8" << false
      << QByteArray("<P><FONT COLOR=red STYLE=\"\">Change</FONT></P>");
  // The browser keeps the first of two attributes of one name; the change
  // is never carried into the wrong one.
  QTest::newRow("an attribute written twice: falls back")
      << QByteArray("<P>Go <A HREF=x HREF=y>there</A></P>")
      << wrap.arg("<p>Go <a href=\"x\">there</a></p>") << wrap.arg("<p>Go <a>there</a></p>")
      << "UTF-8" << false << QByteArray();
  // The second change's markup stands before the first change too; the
  // file holds the changes in order.
  QTest::newRow("placed past the change before")
      << QByteArray("<P>Two</P>\n<p class=\"m\">\n\nX</p>\n<P>Three</P>\n<P CLASS=m>\n\nY</P>")
      << wrap.arg("<p>Two</p>\n<p class=\"m\">\n\nX</p>\n<p>Three</p>\n<p class=\"m\">\n\nY</p>")
      << wrap.arg("<p>Two</p>\n<p class=\"m\">\n\nX</p>\n<p>Threes</p>\n<p class=\"m\">\nY</p>")
      << "UTF-8" << false
      << QByteArray("<P>Two</P>\n<p class=\"m\">\n\nX</p>\n<P>Threes</P>\n<P CLASS=m>\nY</P>");
  QTest::newRow("unwritable charset: falls back")
      << QByteArray("<p>x</p>") << wrap.arg("<p>x</p>") << wrap.arg("<p>xy</p>") << "UTF-16LE"
      << false << QByteArray();
}

void MinimalSaveTest::patch() {
  QFETCH(QByteArray, file);
  QFETCH(QString, before);
  QFETCH(QString, after);
  QFETCH(QString, charset);
  QFETCH(bool, crlf);
  QFETCH(QByteArray, expected);
  const minimalsave::Patch patch =
      minimalsave::patch(file, before, after, Spelling{charset, false, crlf});
  if (expected.isEmpty()) {
    QVERIFY2(!patch.bytes, patch.bytes ? patch.bytes->constData() : "");
    QVERIFY(!patch.why.isEmpty());
    return;
  }
  QVERIFY2(patch.bytes, qPrintable(patch.why));
  QCOMPARE(*patch.bytes, expected);
}

QTEST_GUILESS_MAIN(MinimalSaveTest)
#include "minimal_save_test.moc"
