// What a page says about itself before it goes online: placeholders left in
// it, whom its payment links pay, its title, alt text, http:// resources, and
// which local files and web addresses it uses.
#include "text/page_check.h"

#include <QTest>

#include "text/page_check_payments.h"
#include "text/page_check_placeholders.h"

using namespace pagecheck;

namespace {

// "line kind severity-letter" for each problem, in order.
QStringList summary(const FileFindings& f) {
  QStringList out;
  for (const Problem& p : f.problems)
    out << QStringLiteral("%1 %2 %3")
               .arg(p.line)
               .arg(kindText(p.kind), severityText(p.severity).left(1));
  return out;
}

const QByteArray kHead = "<html><head><title>Offer</title></head><body>\n";

}  // namespace

class PageCheckTest final : public QObject {
  Q_OBJECT

 private slots:
  void placeholders_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("upper-case tags") << QByteArray("Buy: [BUYBUTTON] by [YOUR NAME], [AFF_ID-2].")
                                     << QStringList{"[BUYBUTTON]", "[YOUR NAME]", "[AFF_ID-2]"};
    QTest::newRow("not tags: lower case, short, CDATA, footnote")
        << QByteArray("[Note] [OK] <![CDATA[x]]> see [1] and [ TAG]") << QStringList{};
    QTest::newRow("template braces on one line")
        << QByteArray("Hi {{first_name}}, {{ price }} {{\nnot}}")
        << QStringList{"{{first_name}}", "{{ price }}"};
    QTest::newRow("INSERT … HERE in capitals") << QByteArray("INSERT YOUR AFFILIATE LINK HERE")
                                               << QStringList{"INSERT YOUR AFFILIATE LINK HERE"};
    QTest::newRow("insert … here in brackets")
        << QByteArray("(insert your photo here) [Insert name here]")
        << QStringList{"insert your photo here", "Insert name here"};
    QTest::newRow("everyday prose is no placeholder")
        << QByteArray("Insert the disc and click here. INSERTION HERE. INSERT it. Then HERE.")
        << QStringList{};
    QTest::newRow("the buyer's domain and e-mail")
        << QByteArray(
               "Visit yourdomain.com or www.your-site.net/x; mail your@email.com, "
               "YourEmail@gmail.com.")
        << QStringList{"yourdomain.com", "your-site.net", "your@email.com", "YourEmail@gmail.com"};
    QTest::newRow("example addresses")
        << QByteArray("name@example.com http://www.example.org/a example.net")
        << QStringList{"example.com", "example.org", "example.net"};
    QTest::newRow("not examples") << QByteArray("counterexample.com examples.com example.community")
                                  << QStringList{};
    QTest::newRow("one e-mail placeholder reported once")
        << QByteArray("your@example.com") << QStringList{"your@example.com"};
  }
  void placeholders() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, found);
    QList<Placeholder> out;
    findPlaceholders(text, 0, text.size(), out);
    QStringList got;
    for (const Placeholder& p : out) {
      got << p.found;
      QCOMPARE(QString::fromUtf8(text.mid(p.at, p.found.toUtf8().size())), p.found);
    }
    QCOMPARE(got, found);
  }

  void payments_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("pays");  // "service|account", "" = no payment link
    QTest::newRow("PayPal business, encoded")
        << "https://www.paypal.com/cgi-bin/webscr?cmd=_xclick&business=seller%40mail.com&amount=7"
        << "PayPal|seller@mail.com";
    QTest::newRow("PayPal hosted button")
        << "https://www.paypal.com/cgi-bin/webscr?cmd=_s-xclick&hosted_button_id=ABC123"
        << "PayPal button|ABC123";
    QTest::newRow("PayPal checkout without account") << "https://www.paypal.com/cgi-bin/webscr"
                                                     << "PayPal|";
    QTest::newRow("paypal.me") << "https://paypal.me/JaneSeller/9"
                               << "PayPal.Me|JaneSeller";
    QTest::newRow("paypal.com/paypalme") << "https://www.paypal.com/paypalme/jane"
                                         << "PayPal.Me|jane";
    QTest::newRow("PayPal's home page") << "https://www.paypal.com/"
                                        << "";
    QTest::newRow("ClickBank hoplink") << "http://bob42.vendorx.hop.clickbank.net/?tid=p1"
                                       << "ClickBank hoplink|bob42";
    QTest::newRow("ClickBank hoplink by query")
        << "https://hop.clickbank.net/?affiliate=bob42&vendor=vendorx"
        << "ClickBank hoplink|bob42";
    QTest::newRow("ClickBank order link") << "http://1.vendorx.pay.clickbank.net"
                                          << "ClickBank order link|vendorx";
    QTest::newRow("JVZoo buy button") << "https://www.jvzoo.com/b/12345/67890/2"
                                      << "JVZoo product|12345";
    QTest::newRow("JVZoo affiliate") << "https://jvz3.com/c/555/777"
                                     << "JVZoo affiliate|555";
    QTest::newRow("WarriorPlus affiliate") << "https://warriorplus.com/o2/a/x1y2z3/0"
                                           << "WarriorPlus affiliate|x1y2z3";
    QTest::newRow("Gumroad seller") << "https://jane.gumroad.com/l/ebook"
                                    << "Gumroad product|ebook";
    QTest::newRow("Gumroad subdomain") << "https://jane.gumroad.com/"
                                       << "Gumroad|jane";
    QTest::newRow("Stripe payment link") << "https://buy.stripe.com/test_28o5kZ"
                                         << "Stripe payment link|test_28o5kZ";
    QTest::newRow("Digistore24 affiliate") << "https://www.digistore24.com/redir/123/bob/"
                                           << "Digistore24 affiliate|bob";
    QTest::newRow("Amazon associate tag") << "https://www.amazon.co.uk/dp/B00X?tag=bob-21"
                                          << "Amazon associate|bob-21";
    QTest::newRow("protocol-relative") << "//paypal.me/jane"
                                       << "PayPal.Me|jane";
    QTest::newRow("relative path that looks like a host") << "paypal.me/jane"
                                                          << "";
    QTest::newRow("mailto") << "mailto:jane@paypal.com"
                            << "";
    QTest::newRow("ordinary site") << "https://example.com/?business=x"
                                   << "";
  }
  void payments() {
    QFETCH(QString, address);
    QFETCH(QString, pays);
    const auto p = paymentOf(address);
    QCOMPARE(p ? p->service + u'|' + p->account : QString(), pays);
  }

  void pageProblems_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QStringList>("problems");
    QTest::newRow("clean page") << QByteArray(
                                       "<p>Hello</p><img src=a.png alt=''>\n<a href=x.html>x</a>")
                                << "" << QStringList{};
    QTest::newRow("placeholder in text and in an address")
        << QByteArray("<p>[BUYBUTTON]</p>\n<a href=\"http://yourdomain.com/buy\">b</a>") << ""
        << QStringList{"2 leftover placeholder W", "3 leftover placeholder W"};
    QTest::newRow("placeholders nobody sees are left alone")
        << QByteArray(
               "<!-- [BUYBUTTON] --><script>var s='[YOUR NAME]'</script>"
               "<p class=\"{{c}}\" onclick=\"x('[X]')\">ok</p>")
        << "" << QStringList{};
    QTest::newRow("image without alt")
        << QByteArray("\n<img src=a.png>") << "" << QStringList{"3 image without alt N"};
    QTest::newRow("http:// resources, not links")
        << QByteArray(
               "<img src='http://cdn.x/a.png' alt=a>\n<a href='http://x.com'>x</a>\n"
               "<link rel=stylesheet href=http://x/s.css>\n<p "
               "style='background:url(http://x/b.png)'>")
        << ""
        << QStringList{"2 http:// resource W", "4 http:// resource W", "5 http:// resource W"};
    QTest::newRow("payment link before any account is named")
        << QByteArray("<a href='https://paypal.me/other'>pay</a>") << ""
        << QStringList{"2 payment link N"};
    QTest::newRow("another seller's PayPal link")
        << QByteArray("<a href='https://paypal.me/other'>pay</a>") << "me@mine.com, myaff"
        << QStringList{"2 payment link not yours E"};
    QTest::newRow("the user's own links, any letter case")
        << QByteArray(
               "<a href='https://www.paypal.com/cgi-bin/webscr?business=ME%40Mine.com'>p</a>"
               "<a href='http://MYAFF.vendor.hop.clickbank.net'>h</a>")
        << " me@mine.com ,myaff" << QStringList{};
    QTest::newRow("a PayPal form is reported at the field naming its account")
        << QByteArray(
               "<form action=\"https://www.paypal.com/cgi-bin/webscr\" method=post>\n"
               "<input type=hidden name=cmd value=_xclick>\n"
               "<input type=hidden name=\"business\" value=\"other@seller.com\">\n"
               "<input type=image src=buy.gif alt=Buy></form>")
        << "me@mine.com" << QStringList{"4 payment link not yours E"};
    QTest::newRow("a PayPal form paying the user")
        << QByteArray(
               "<form action=\"https://www.paypal.com/cgi-bin/webscr\">"
               "<input name=hosted_button_id value=MYBTN></form>")
        << "mybtn" << QStringList{};
    QTest::newRow("a form that does not say whom it pays")
        << QByteArray("<form action=\"https://www.paypal.com/cgi-bin/webscr\"></form>")
        << "me@mine.com" << QStringList{"2 payment link not yours E"};
  }
  void pageProblems() {
    QFETCH(QByteArray, body);
    QFETCH(QString, mine);
    QFETCH(QStringList, problems);
    QCOMPARE(summary(checkPage(kHead + body, Identities(mine))), problems);
  }

  void title_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("problems");
    QTest::newRow("titled") << QByteArray("<TITLE>Offer</TITLE>") << QStringList{};
    QTest::newRow("no title") << QByteArray("<head></head><p>x") << QStringList{"0 no title W"};
    QTest::newRow("blank title") << QByteArray("<title> \n</title>") << QStringList{"0 no title W"};
    QTest::newRow("a title inside a comment does not count")
        << QByteArray("<!-- <title>x</title> -->") << QStringList{"0 no title W"};
  }
  void title() {
    QFETCH(QByteArray, page);
    QFETCH(QStringList, problems);
    QCOMPARE(summary(checkPage(page, Identities())), problems);
  }

  void localFilesAndWebAddresses() {
    const QByteArray page =
        kHead +
        "<link rel=\"StyleSheet\" href=\"css/Site.css?v=2\">\n"
        "<style>@import 'more.css'; p{background:url(img/p%20q.png)}</style>\n"
        "<img srcset=\"s.jpg 1x, l.jpg 2x\" alt=x><a href=\"terms.HTML#top\">t</a>\n"
        "<a href=\"[BUYLINK]\">b</a><a href=\"mailto:a@b.c\">m</a><a href=#x>x</a>\n"
        "<a href=\"https://site.com/a#frag\">w</a><img src=\"//cdn.net/x.png\" alt=x>\n"
        "<!-- <img src=old.png> --><a href=\"../other/page.html\">o</a>";
    const FileFindings f = checkPage(page, Identities());
    QStringList locals;
    for (const LocalUse& u : f.locals)
      locals << QStringLiteral("%1 %2%3%4")
                    .arg(u.line)
                    .arg(u.path, u.styleSheet ? " css" : "", u.page ? " page" : "");
    QCOMPARE(locals,
             (QStringList{"2 css/Site.css css", "3 more.css css", "3 img/p q.png", "4 s.jpg",
                          "4 l.jpg", "4 terms.HTML page", "7 ../other/page.html page"}));
    QStringList web;
    for (const WebUse& w : f.web) web << QStringLiteral("%1 %2").arg(w.line).arg(w.address);
    QCOMPARE(web, (QStringList{"6 https://site.com/a", "6 https://cdn.net/x.png"}));
    // Found again in the shown page by the attribute that holds it.
    QCOMPARE(f.locals[0].where.attribute, QStringLiteral("href"));
    QCOMPARE(f.locals[0].where.value, QStringLiteral("css/Site.css?v=2"));
    QVERIFY(f.locals[1].where.attribute.isEmpty());  // in a style element: the page only
  }

  void lines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");  // of the "X"
    QTest::newRow("LF") << QByteArray("a\nb\nX") << 3;
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n\r\nX") << 4;
    QTest::newRow("CR only (old Mac)") << QByteArray("a\rb\rX") << 3;
    QTest::newRow("first line") << QByteArray("X\n") << 1;
  }
  void lines() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QCOMPARE(LineIndex(bytes).lineAt(bytes.indexOf('X')), line);
  }

  // A page made to hurt the scanner: tags never ended, quotes never closed,
  // thousands of '<'. It must end, quickly, and find what comes before.
  void hostileMarkupEnds_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("unended tags") << QByteArray("<img src=a.png>") +
                                         QByteArray("<a x", 2).repeated(200000);
    QTest::newRow("open quote") << QByteArray("<img src=a.png><a href=\"") +
                                       QByteArray("<b x=1>").repeated(100000);
    QTest::newRow("unended comment and script")
        << QByteArray("<img src=a.png><!--") + QByteArray("<script>").repeated(100000);
  }
  void hostileMarkupEnds() {
    QFETCH(QByteArray, page);
    const FileFindings f = checkPage(page, Identities());
    QVERIFY(!f.locals.isEmpty());
    QCOMPARE(f.locals.first().path, QStringLiteral("a.png"));
  }
};

QTEST_GUILESS_MAIN(PageCheckTest)
#include "page_check_test.moc"
