// The pure parts of link and picture editing: the address check, what a
// picture file is, where a copy goes and how the page names it.
#include <QTest>

#include "text/image_file.h"
#include "text/link_address.h"

using linkaddress::Kind;
Q_DECLARE_METATYPE(linkaddress::Kind)

class LinkImageTextTest final : public QObject {
  Q_OBJECT
 private slots:
  void addressCheck_data();
  void addressCheck();
  void imageKind_data();
  void imageKind();
  void freeName();
  void relativeSrc_data();
  void relativeSrc();
};

void LinkImageTextTest::addressCheck_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<Kind>("kind");
  QTest::addColumn<QString>("address");  // what goes into href
  QTest::addColumn<QString>("file");     // a relative address's file

  QTest::newRow("web") << "https://pay.example/buy?id=1" << Kind::Web
                       << "https://pay.example/buy?id=1"
                       << "";
  QTest::newRow("web, blanks around dropped")
      << "  http://a.example/  " << Kind::Web << "http://a.example/"
      << "";
  QTest::newRow("web, upper-case scheme") << "HTTPS://A.EXAMPLE" << Kind::Web << "HTTPS://A.EXAMPLE"
                                          << "";
  QTest::newRow("scheme-relative") << "//cdn.example/x" << Kind::Web << "//cdn.example/x"
                                   << "";
  QTest::newRow("web without host") << "http://" << Kind::Refused << "http://"
                                    << "";
  QTest::newRow("mail") << "mailto:me@example.com" << Kind::Mail << "mailto:me@example.com"
                        << "";
  QTest::newRow("mail without address") << "mailto:" << Kind::Refused << "mailto:"
                                        << "";
  QTest::newRow("phone") << "tel:+15551234" << Kind::Phone << "tel:+15551234"
                         << "";
  QTest::newRow("anchor") << "#order" << Kind::Anchor << "#order"
                          << "";
  QTest::newRow("relative file") << "thanks.html" << Kind::Relative << "thanks.html"
                                 << "thanks.html";
  QTest::newRow("relative, query and fragment are not the file")
      << "sub/dl%20page.htm?x=1#top" << Kind::Relative << "sub/dl%20page.htm?x=1#top"
      << "sub/dl page.htm";
  QTest::newRow("relative, only a query") << "?ref=1" << Kind::Relative << "?ref=1"
                                          << "";
  QTest::newRow("colon after a slash is a path") << "a/b:c.htm" << Kind::Relative << "a/b:c.htm"
                                                 << "a/b:c.htm";
  QTest::newRow("empty") << "   " << Kind::Refused << ""
                         << "";
  // Every way a browser would still run a script.
  for (const char* script :
       {"javascript:alert(1)", "JaVaScRiPt:alert(1)", " \tjavascript:alert(1)",
        "java\tscript:alert(1)", "java&#115;cript:alert(1)", "java&#x73;cript:alert(1)",
        "javascript&colon;alert(1)", "&#106;avascript:x", "jav&Tab;ascript:x", "vbscript:msgbox(1)",
        "data:text/html,<script>alert(1)</script>"})
    QTest::newRow(script) << QString::fromLatin1(script) << Kind::Refused
                          << QString::fromLatin1(script).trimmed() << "";
  QTest::newRow("control character") << QStringLiteral("http://a.example/\x01") << Kind::Refused
                                     << QStringLiteral("http://a.example/\x01") << "";
  QTest::newRow("other scheme") << "ftp://files.example/" << Kind::Refused << "ftp://files.example/"
                                << "";
  QTest::newRow("a Windows path") << "C:\\pages\\x.htm" << Kind::Refused << "C:\\pages\\x.htm"
                                  << "";
  QTest::newRow("script name inside a path is harmless")
      << "javascript.html" << Kind::Relative << "javascript.html"
      << "javascript.html";
}

void LinkImageTextTest::addressCheck() {
  QFETCH(QString, typed);
  QFETCH(Kind, kind);
  QFETCH(QString, address);
  QFETCH(QString, file);
  const linkaddress::Verdict v = linkaddress::check(typed);
  QCOMPARE(v.kind, kind);
  QCOMPARE(v.address, address);
  QCOMPARE(v.file, file);
  QCOMPARE(v.why.isEmpty(), kind != Kind::Refused);
  if (typed.contains(u"script:") || typed.contains(u"cript&"))
    QVERIFY2(v.why.contains(u"script"), qPrintable(v.why));
}

void LinkImageTextTest::imageKind_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("kind");
  QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << "png";
  QTest::newRow("jpeg") << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10) << "jpeg";
  QTest::newRow("gif") << QByteArray("GIF89a\x01\0\x01\0", 10) << "gif";
  QTest::newRow("webp") << QByteArray("RIFF\x24\0\0\0WEBPVP8 ", 16) << "webp";
  QTest::newRow("riff that is a sound") << QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16) << "";
  QTest::newRow("svg") << QByteArray("<svg xmlns='http://www.w3.org/2000/svg'/>") << "svg";
  QTest::newRow("svg after declaration, comment and doctype")
      << QByteArray(
             "\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- a <svg> -->\n<!DOCTYPE svg>\n"
             "<svg width='1'></svg>")
      << "svg";
  QTest::newRow("prefixed svg") << QByteArray("<svg:svg xmlns:svg='x'/>") << "svg";
  QTest::newRow("html that mentions svg") << QByteArray("<html><svg></svg></html>") << "";
  QTest::newRow("html named .png") << QByteArray("<!DOCTYPE html><p>hi") << "";
  QTest::newRow("program") << QByteArray(
                                  "\x7F"
                                  "ELF\x02\x01",
                                  6)
                           << "";
  QTest::newRow("empty") << QByteArray() << "";
  QTest::newRow("png cut short") << QByteArray("\x89PNG") << "";
}

void LinkImageTextTest::imageKind() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, kind);
  QCOMPARE(imagefile::kindOf(bytes), kind);
}

void LinkImageTextTest::freeName() {
  const QStringList taken{"cover.png", "cover-2.png", "README", "a.b.gif"};
  const auto exists = [&](const QString& n) { return taken.contains(n); };
  QCOMPARE(imagefile::freeName("photo.png", exists), QStringLiteral("photo.png"));
  QCOMPARE(imagefile::freeName("cover.png", exists), QStringLiteral("cover-3.png"));
  QCOMPARE(imagefile::freeName("README", exists), QStringLiteral("README-2"));
  QCOMPARE(imagefile::freeName("a.b.gif", exists), QStringLiteral("a.b-2.gif"));
}

void LinkImageTextTest::relativeSrc_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("src");
  QTest::newRow("beside the page") << "/site/cover.png"
                                   << "cover.png";
  QTest::newRow("in a sub-folder") << "/site/img/a b.png"
                                   << "img/a%20b.png";
  QTest::newRow("characters that end or break an address") << "/site/x#1?&\"'<>%.png"
                                                           << "x%231%3F%26%22%27%3C%3E%25.png";
  QTest::newRow("non-ASCII as UTF-8") << "/site/café.png"
                                      << "caf%C3%A9.png";
  QTest::newRow("a file named like the parent") << "/site/..x.png"
                                                << "..x.png";
  QTest::newRow("outside") << "/other/c.png"
                           << "../other/c.png";
}

void LinkImageTextTest::relativeSrc() {
  QFETCH(QString, file);
  QFETCH(QString, src);
  QCOMPARE(imagefile::relativeSrc("/site", file), src);
}

QTEST_GUILESS_MAIN(LinkImageTextTest)
#include "link_image_text_test.moc"
