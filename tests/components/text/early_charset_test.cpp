#include "text/early_charset.h"

#include <QTest>

// A label is given only where the engine's first look at the page is sure to
// find the same one: anything the engine could read otherwise gives none.
class EarlyCharsetTest final : public QObject {
  Q_OBJECT

 private slots:
  void of_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("label");
    const QByteArray doctype = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n";
    QTest::newRow("meta charset") << doctype + "<meta charset=\"utf-8\"><title>x"
                                  << QByteArray("utf-8");
    QTest::newRow("unquoted, upper case")
        << QByteArray("<HTML><HEAD><META CHARSET=ISO-8859-1>") << QByteArray("ISO-8859-1");
    QTest::newRow("http-equiv content")
        << QByteArray(
               "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">")
        << QByteArray("windows-1251");
    QTest::newRow("content before http-equiv")
        << QByteArray("<meta content='text/html;charset=\"koi8-r\"' http-equiv=content-type>")
        << QByteArray("koi8-r");
    QTest::newRow("content without http-equiv declares nothing")
        << QByteArray("<meta content=\"text/html; charset=koi8-r\"><p>") << QByteArray();
    QTest::newRow("the first of two charset attributes")
        << QByteArray("<meta charset=koi8-r charset=utf-8>") << QByteArray("koi8-r");
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF<p>caf\xC3\xA9") << QByteArray("utf-8");
    QTest::newRow("after a comment, a title and a link")
        << QByteArray(
               "<!-- <meta charset=koi8-r> --><title><meta charset=koi8-r></title>"
               "<link rel=stylesheet href=a.css><meta charset=utf-8>")
        << QByteArray("utf-8");
    QTest::newRow("nothing declared") << doctype + "<title>x</title></head><body>" << QByteArray();
    QTest::newRow("after a script")
        << QByteArray("<script>var a;</script><meta charset=utf-8>") << QByteArray();
    QTest::newRow("after a style")
        << QByteArray("<style>p{}</style><meta charset=utf-8>") << QByteArray();
    QTest::newRow("after text") << QByteArray("hello<meta charset=utf-8>") << QByteArray();
    QTest::newRow("a comment closed early by <!-->")
        << QByteArray("<!--><script> --><meta charset=utf-8>") << QByteArray();
    QTest::newRow("a comment closed by --!>")
        << QByteArray("<!-- a --!><script> --><meta charset=utf-8>") << QByteArray();
    QTest::newRow("a title not plainly closed")
        << QByteArray("<title>a</titlex><meta charset=koi8-r></title><meta charset=utf-8>")
        << QByteArray();
    QTest::newRow("a quote inside a name")
        << QByteArray("<meta a\"b=1 charset=utf-8>") << QByteArray();
    QTest::newRow("a character reference in the label")
        << QByteArray("<meta charset=\"utf&#45;8\">") << QByteArray();
    QTest::newRow("past the first 1024 bytes")
        << QByteArray("<!--" + QByteArray(1100, 'x') + "--><meta charset=utf-8>") << QByteArray();
    QTest::newRow("cut off in the tag") << QByteArray("<meta charset=\"utf-8") << QByteArray();
  }
  void of() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, label);
    QCOMPARE(earlycharset::labelOf(head), label);
  }
};

QTEST_GUILESS_MAIN(EarlyCharsetTest)
#include "early_charset_test.moc"
