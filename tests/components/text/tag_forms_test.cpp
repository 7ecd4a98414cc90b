// Tags read by what they are, whatever their spelling, and positions mapped
// back to where each tag is written.
#include "text/tag_forms.h"

#include <QTest>

class TagFormsTest final : public QObject {
  Q_OBJECT
 private slots:
  void oneWay_data();
  void oneWay();
  void positions();
};

void TagFormsTest::oneWay_data() {
  QTest::addColumn<QByteArray>("markup");
  QTest::addColumn<QByteArray>("expected");
  const QByteArray p = "<p id=\"b\" class=\"MsoNormal\">x</p>";
  QTest::newRow("engine spelling") << p << p;
  QTest::newRow("upper case, unquoted") << QByteArray("<P ID=b CLASS=MsoNormal>x</P>") << p;
  QTest::newRow("single quotes, spaces, self-closing slash")
      << QByteArray("<p  id='b'\r\n class = \"MsoNormal\" />x</p >") << p;
  QTest::newRow("attribute without value")
      << QByteArray("<INPUT CHECKED>") << QByteArray("<input checked=\"\">");
  QTest::newRow("entities in values read") << QByteArray("<a href=\"a?x=1&amp;y=&quot;2&quot;\">")
                                           << QByteArray("<a href=\"a?x=1&y=\"2\"\">");
  QTest::newRow("comment and text stay")
      << QByteArray("<!-- <P ID=b> -->a < b") << QByteArray("<!-- <P ID=b> -->a < b");
  QTest::newRow("declarations read as comments, the doctype as written")
      << QByteArray("<!DOCTYPE html><?xml version=\"1.0\"?><![if !vml]>x<![endif]>")
      << QByteArray("<!DOCTYPE html><!--?xml version=\"1.0\"?--><!--[if !vml]-->x<!--[endif]-->");
  QTest::newRow("references as the engine writes them")
      << QByteArray("&nbsp &#160; &#65; &AMP &lt &eacute; &nbsp; &amp; &unknown;")
      << QByteArray("&nbsp; &nbsp; A &amp; &lt; &eacute; &nbsp; &amp; &unknown;");
  QTest::newRow("unended tag stays text") << QByteArray("x<P ID=b") << QByteArray("x<P ID=b");
}

void TagFormsTest::oneWay() {
  QFETCH(QByteArray, markup);
  QFETCH(QByteArray, expected);
  QCOMPARE(tagforms::of(markup).text, expected);
  QCOMPARE(tagforms::of(QString::fromLatin1(markup)).text, QString::fromLatin1(expected));
}

void TagFormsTest::positions() {
  const QByteArray markup = "ab<P ID=x>cd</P>";
  const tagforms::Forms<QByteArray> f = tagforms::of(markup);  // "ab<p id=\"x\">cd</p>"
  QCOMPARE(f.toForm(1), 1);
  QCOMPARE(f.toForm(2), 2);    // a tag's start
  QCOMPARE(f.toForm(5), -1);   // inside a tag
  QCOMPARE(f.toForm(10), 12);  // the text after it
  QCOMPARE(f.toSource(12), 10);
  QCOMPARE(f.toSource(4), -1);
  QCOMPARE(f.toSource(f.text.size()), markup.size());
  QCOMPARE(f.tagStart(5), 2);
  QCOMPARE(f.tagEnd(5), 10);
  QCOMPARE(f.tagEnd(11), 11);  // in text: stays
}

QTEST_APPLESS_MAIN(TagFormsTest)
#include "tag_forms_test.moc"
