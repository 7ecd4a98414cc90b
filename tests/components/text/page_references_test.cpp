// Which files a page and its style sheets name, and which of them lie
// inside the page's own folder.
#include "text/page_references.h"

#include <QTest>

class PageReferencesTest final : public QObject {
  Q_OBJECT

  static QStringList values(const QList<pagerefs::Reference>& refs) {
    QStringList out;
    for (const auto& r : refs) out << r.value;
    return out;
  }

 private slots:
  void referencesInPage_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("double, single and no quotes")
        << QByteArray("<img src=\"a.png\"><script src='b.js'></script><a href=c.zip>")
        << QStringList{"a.png", "b.js", "c.zip"};
    QTest::newRow("upper-case names, spaces around =")
        << QByteArray("<IMG SRC = \"A.PNG\"><LINK HREF='s.css'>") << QStringList{"A.PNG", "s.css"};
    QTest::newRow("srcset candidates")
        << QByteArray("<img srcset=\"s.jpg 1x, l.jpg 2x\">") << QStringList{"s.jpg", "l.jpg"};
    QTest::newRow("poster, object data, body background, inline url()")
        << QByteArray(
               "<video poster=p.jpg><object data=f.swf><body background=bg.gif>"
               "<div style=\"background:url('d.png')\">")
        << QStringList{"p.jpg", "f.swf", "bg.gif", "d.png"};
    QTest::newRow("data- and x- attributes are not addresses")
        << QByteArray("<img data-src=\"lazy.png\" xhref=\"x\">") << QStringList{};
    QTest::newRow("entity in a value")
        << QByteArray("<a href=\"get.php?a=1&amp;b=2\">") << QStringList{"get.php?a=1&b=2"};
    QTest::newRow("UTF-8 name") << QByteArray("<img src=\"b\xc3\xa4r.png\">")
                                << QStringList{QStringLiteral("bär.png")};
    QTest::newRow("style element: url() and @import, CSS comments skipped")
        << QByteArray(
               "<style>@import url(base.css); /* url(old.png) */ b{background:url(\"b.png\")}"
               "</style>")
        << QStringList{"base.css", "b.png"};
    QTest::newRow("entity-quoted url() in a style attribute")
        << QByteArray("<p style=\"background:url(&quot;q.png&quot;)\">") << QStringList{"q.png"};
    QTest::newRow("old browsers' conditional comment, document.write")
        << QByteArray(
               "<!--[if IE]><script src=ie.js></script><![endif]-->"
               "<script>document.write('<img src=\"w.gif\">')</script>")
        << QStringList{"ie.js", "w.gif"};
    QTest::newRow("address with &copy= stays as written")
        << QByteArray("<a href=\"buy.php?x=1&copy=2\">") << QStringList{"buy.php?x=1&copy=2"};
    QTest::newRow("a tag the page never ends names nothing")
        << QByteArray("<img src=a.png><img src=\"b.png") << QStringList{"a.png"};
  }
  void referencesInPage() {
    QFETCH(QByteArray, page);
    QFETCH(QStringList, expected);
    QCOMPARE(values(pagerefs::inPage(page)), expected);
  }

  void referencesInStyleSheet() {
    QCOMPARE(
        values(pagerefs::inStyleSheet(
            "@import 'base.css'; @font-face{src:url(\"f.woff2\") format('woff2'), url(f.ttf)}")),
        (QStringList{"base.css", "f.woff2", "f.ttf"}));
  }

  // What the page check leaves out (comments, scripts) and where each reference is.
  void sourcesAndPlaces() {
    const QByteArray page =
        "<!-- <img src=c.png> -->\n<img src=a.png>\n<script>x='<img src=s.png>'</script>"
        "<p style='background:url(p.png)'>";
    const auto all = pagerefs::inPage(page);
    QCOMPARE(values(all), (QStringList{"c.png", "a.png", "s.png", "p.png"}));
    QCOMPARE(all[0].source, pagerefs::Source::Hidden);
    QCOMPARE(all[1].source, pagerefs::Source::Markup);
    QCOMPARE(all[2].source, pagerefs::Source::Hidden);
    QCOMPARE(all[3].source, pagerefs::Source::Style);
    QCOMPARE(all[1].at, page.indexOf("a.png"));
    QCOMPARE(all[3].at, page.indexOf("p.png"));
    QCOMPARE(all[3].attributeValue, QStringLiteral("background:url(p.png)"));
    QCOMPARE(values(pagerefs::inPage(page, false)), (QStringList{"a.png", "p.png"}));
  }

  void insideFolderPath_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("expected");  // "" = refused
    QTest::newRow("plain") << "img/a.png"
                           << ""
                           << "img/a.png";
    QTest::newRow("dot segments") << "./img/../img/./a.png"
                                  << ""
                                  << "img/a.png";
    QTest::newRow("query and fragment dropped") << "a.css?v=2#x"
                                                << ""
                                                << "a.css";
    QTest::newRow("percent-encoded space") << "my%20pic.png"
                                           << ""
                                           << "my pic.png";
    QTest::newRow("backslashes as browsers read them") << "img\\a.png"
                                                       << ""
                                                       << "img/a.png";
    QTest::newRow("from a style sheet's folder") << "../fonts/f.woff"
                                                 << "css"
                                                 << "fonts/f.woff";
    QTest::newRow("parent of the page folder") << "../secret.txt"
                                               << ""
                                               << "";
    QTest::newRow("ssh key two levels up") << "../../.ssh/id_rsa"
                                           << ""
                                           << "";
    QTest::newRow("up and back down") << "../site/a.png"
                                      << ""
                                      << "";
    QTest::newRow("encoded parent steps") << "%2E%2E/%2E%2E/etc/passwd"
                                          << ""
                                          << "";
    QTest::newRow("encoded slash") << "..%2F..%2Fetc%2Fpasswd"
                                   << ""
                                   << "";
    QTest::newRow("encoded backslash") << "..%5Csecret"
                                       << ""
                                       << "";
    QTest::newRow("backslash parent steps") << "..\\..\\secret"
                                            << ""
                                            << "";
    QTest::newRow("style sheet climbing out") << "../../x.png"
                                              << "css"
                                              << "";
    QTest::newRow("site-absolute") << "/etc/passwd"
                                   << ""
                                   << "";
    QTest::newRow("network path") << "//evil.example/a.png"
                                  << ""
                                  << "";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << ""
                                  << "";
    QTest::newRow("drive letter") << "C:/Windows/win.ini"
                                  << ""
                                  << "";
    QTest::newRow("web address") << "https://example.com/a.png"
                                 << ""
                                 << "";
    QTest::newRow("mailto") << "mailto:me@example.com"
                            << ""
                            << "";
    QTest::newRow("javascript") << "javascript:alert(1)"
                                << ""
                                << "";
    QTest::newRow("fragment only") << "#top"
                                   << ""
                                   << "";
    QTest::newRow("hidden file") << ".htaccess"
                                 << ""
                                 << "";
    QTest::newRow("hidden folder") << "img/.git/config"
                                   << ""
                                   << "";
    QTest::newRow("a folder") << "img/"
                              << ""
                              << "";
    QTest::newRow("line break in a name") << "a%0D%0ADELE%20index.html"
                                          << ""
                                          << "";
    QTest::newRow("NUL in a name") << "a%00.png"
                                   << ""
                                   << "";
  }
  void insideFolderPath() {
    QFETCH(QString, reference);
    QFETCH(QString, from);
    QFETCH(QString, expected);
    QCOMPARE(pagerefs::insideFolderPath(reference, from).value_or(QString()), expected);
  }
};

QTEST_GUILESS_MAIN(PageReferencesTest)
#include "page_references_test.moc"
