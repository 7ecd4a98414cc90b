// Finding a kept code in a page's own bytes, and making its old code new.
#include "tools/snippet_use.h"

#include <QTest>

#include "support/core_test_main.h"

namespace {

const QByteArray kCp1252 = "<meta charset=\"windows-1252\">\r\n";

}  // namespace

class SnippetUseTest final : public QObject {
  Q_OBJECT
 private slots:
  void findsTheCodeAsWritten_data();
  void findsTheCodeAsWritten();
  void updatesOnlyTheOldBytes_data();
  void updatesOnlyTheOldBytes();
  void anUpdatedPageHoldsNoOldCode();
};

void SnippetUseTest::findsTheCodeAsWritten_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QStringList>("versions");
  QTest::addColumn<int>("current");
  QTest::addColumn<int>("old");
  QTest::addColumn<bool>("refused");

  const QStringList button{QStringLiteral("<b>Buy: €10</b>")};
  QTest::newRow("utf-8 as written") << QByteArray(
                                           "<meta charset=utf-8><p>x</p><b>Buy: \xE2\x82\xAC"
                                           "10</b><b>Buy: \xE2\x82\xAC"
                                           "10</b>")
                                    << button << 2 << 0 << false;
  QTest::newRow("windows-1252, reference as Insert Code writes it")
      << kCp1252 + "<b>Buy: &#8364;10</b>" << button << 1 << 0 << false;
  QTest::newRow("windows-1252, the charset's own byte") << kCp1252 +
                                                               "<b>Buy: \x80"
                                                               "10</b>"
                                                        << button << 1 << 0 << false;
  QTest::newRow("undeclared page: only the reference") << QByteArray(
                                                              "<b>Buy: \x80"
                                                              "10</b><b>Buy: &#8364;10</b>")
                                                       << button << 1 << 0 << false;
  QTest::newRow("other letter case is another code")
      << QByteArray("<B>Buy: &#8364;10</B>") << button << 0 << 0 << false;
  QTest::newRow("line breaks as the page has them")
      << QByteArray("<p>\r\n<form>\r\n<input>\r\n</form>\r\n<form>\n<input>\n</form>")
      << QStringList{QStringLiteral("<form>\n<input>\n</form>")} << 2 << 0 << false;
  QTest::newRow("old code") << QByteArray("<a href=\"pay?price=10\">Buy</a>")
                            << QStringList{QStringLiteral("<a href=\"pay?price=12\">Buy</a>"),
                                           QStringLiteral("<a href=\"pay?price=10\">Buy</a>")}
                            << 0 << 1 << false;
  QTest::newRow("new code that holds the old is not old")
      << QByteArray("<div><a>Buy</a></div>")
      << QStringList{QStringLiteral("<div><a>Buy</a></div>"), QStringLiteral("<a>Buy</a>")} << 1
      << 0 << false;
  QTest::newRow("old code that holds the new is old")
      << QByteArray("<div><a>Buy</a></div>")
      << QStringList{QStringLiteral("<a>Buy</a>"), QStringLiteral("<div><a>Buy</a></div>")} << 0
      << 1 << false;
  QTest::newRow("a blank code is never looked for")
      << QByteArray("<p> \n </p>") << QStringList{QStringLiteral(" \n "), QStringLiteral(" ")} << 0
      << 0 << false;
  QTest::newRow("utf-16 is not searched")
      << QByteArray("\xFF\xFE<\0b\0>\0", 8) << button << 0 << 0 << true;
  QTest::newRow("shift_jis with its own bytes is not searched")
      << QByteArray("<meta charset=shift_jis><p>\x83\x5C</p>") << button << 0 << 0 << true;
}

void SnippetUseTest::findsTheCodeAsWritten() {
  QFETCH(QByteArray, page);
  QFETCH(QStringList, versions);
  QFETCH(int, current);
  QFETCH(int, old);
  QFETCH(bool, refused);
  const snippetuse::Use use = snippetuse::find(page, versions);
  QCOMPARE(use.current(), current);
  QCOMPARE(use.old(), old);
  QCOMPARE(!use.refused.isEmpty(), refused);
  for (const snippetuse::Place& p : use.places) QVERIFY(p.start < p.end && p.end <= page.size());
}

void SnippetUseTest::updatesOnlyTheOldBytes_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QString>("now");
  QTest::addColumn<QString>("before");
  QTest::addColumn<QByteArray>("expected");

  QTest::newRow("windows-1252: each place keeps its own way of writing")
      << kCp1252 +
             "<b>&#8364;10</b> caf\xE9 <b>\x80"
             "10</b>"
      << QStringLiteral("<b>€12</b>") << QStringLiteral("<b>€10</b>")
      << kCp1252 +
             "<b>&#8364;12</b> caf\xE9 <b>\x80"
             "12</b>";
  QTest::newRow("utf-8 with a byte order mark")
      << QByteArray("\xEF\xBB\xBF<meta charset=utf-8>\xC3\xA9<i>10 \xE2\x82\xAC</i>")
      << QStringLiteral("<i>12 €</i>") << QStringLiteral("<i>10 €</i>")
      << QByteArray("\xEF\xBB\xBF<meta charset=utf-8>\xC3\xA9<i>12 \xE2\x82\xAC</i>");
  QTest::newRow("CR LF kept, the code now left alone")
      << QByteArray("<p>\r\n<form>\r\n</form>\r\n<div>\r\n</div>\r\n")
      << QStringLiteral("<div>\n</div>") << QStringLiteral("<form>\n</form>")
      << QByteArray("<p>\r\n<div>\r\n</div>\r\n<div>\r\n</div>\r\n");
  QTest::newRow("a code the charset lacks becomes a reference")
      << QByteArray("<meta charset=iso-8859-1><b>Buy</b>") << QStringLiteral("<b>Kup → 10 zł</b>")
      << QStringLiteral("<b>Buy</b>")
      << QByteArray("<meta charset=iso-8859-1><b>Kup &#8594; 10 z&#322;</b>");
}

void SnippetUseTest::updatesOnlyTheOldBytes() {
  QFETCH(QByteArray, page);
  QFETCH(QString, now);
  QFETCH(QString, before);
  QFETCH(QByteArray, expected);
  const snippetuse::Use use = snippetuse::find(page, {now, before});
  QCOMPARE(snippetuse::update(page, use, now), expected);
}

void SnippetUseTest::anUpdatedPageHoldsNoOldCode() {
  // Old code inside the new: after one update nothing is old any more, so a
  // second update cannot nest the code again.
  const QString old = QStringLiteral("<a href=\"x\">Buy</a>");
  const QString now = QStringLiteral("<p class=\"buy\"><a href=\"x\">Buy</a></p>");
  const QByteArray page = "<body>" + old.toUtf8() + "<hr>" + old.toUtf8() + "</body>";
  const QByteArray once = snippetuse::update(page, snippetuse::find(page, {now, old}), now);
  const snippetuse::Use again = snippetuse::find(once, {now, old});
  QCOMPARE(again.current(), 2);
  QCOMPARE(again.old(), 0);
  QCOMPARE(snippetuse::update(once, again, now), once);
}

QV_CORE_TEST_MAIN(SnippetUseTest)
#include "snippet_use_test.moc"
