// The page text edits of the Pro options window, string in, string out.
#include <optional>

#include "support/test_main.h"
#include "tools/page_edits.h"
#include "tools/panel_stack.h"

class PageEditsTest final : public QObject {
  Q_OBJECT

 private slots:
  void insertHeadCode_data();
  void insertHeadCode();
  void updatePageTitle_data();
  void updatePageTitle();
  void fillBackTemplate_data();
  void fillBackTemplate();
  void restack_data();
  void restack();
};

namespace {

// A byte 0xE9 of a single-byte page, as a text buffer holds it.
const QString kByteE9 = QString(QChar(0xF7E9));

}  // namespace

void PageEditsTest::insertHeadCode_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("code");
  QTest::addColumn<bool>("found");
  QTest::addColumn<QString>("expected");

  auto row = [](const char* name, const QString& page, const QString& code,
                const QString& expected) {
    QTest::newRow(name) << page << code << true << expected;
  };
  auto none = [](const char* name, const QString& page) {
    QTest::newRow(name) << page << QStringLiteral("X") << false << QString();
  };

  row("lower-case tag", "<html><head><title>t</title></head><body></body></html>", "X",
      "<html><head><title>t</title>X</head><body></body></html>");
  row("upper-case tag becomes lower-case", "<HEAD></HEAD><BODY>", "X", "<HEAD>X</head><BODY>");
  row("capitalised tag", "<Head></Head>", "X", "<Head>X</head>");
  row("</Head> before </head>: only </Head> gets the code", "a</head>b</Head>c</head>", "X",
      "a</head>bX</head>c</head>");
  row("</HEAD> before </head>", "a</head>b</HEAD>", "X", "a</head>bX</head>");
  row("tag twice (comment): code before both", "<head><!-- </head> --></head>", "X",
      "<head><!-- X</head> -->X</head>");
  row("empty code still rewrites the tag", "<HEAD></HEAD>", "", "<HEAD></head>");
  row("multi-line code as it stands", "<head></head>", "<script>\r\na();\n</script>",
      "<head><script>\r\na();\n</script></head>");
  row("code holding the tag is not searched again", "<head></Head>", "</Head>",
      "<head></Head></head>");
  row("CRLF and other bytes kept", "\xEF\xBB\xBF<head>\r\n<meta>\r\n</head>\r\n" + kByteE9, "X",
      "\xEF\xBB\xBF<head>\r\n<meta>\r\nX</head>\r\n" + kByteE9);
  row("tag is the whole page", "</head>", "X", "X</head>");
  row("tags side by side, page ends with one", "a</HEAD></HEAD>", "X", "aX</head>X</head>");
  none("tag cut short at the end", "/<head></head");
  none("no closing head tag", "<html><head><title>t</title><body></body></html>");
  none("other mix of cases", "<head></hEAD>");
  none("blank before the bracket", "<head></head >");
  none("split over two lines", "<head></head\r\n>");
  none("empty page", "");
}

void PageEditsTest::insertHeadCode() {
  QFETCH(QString, page);
  QFETCH(QString, code);
  QFETCH(bool, found);
  QFETCH(QString, expected);

  const std::optional<QString> result = pageedits::insertHeadCode(page, code);
  QCOMPARE(result.has_value(), found);
  if (found) QCOMPARE(*result, expected);
}

void PageEditsTest::updatePageTitle_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("title");
  QTest::addColumn<bool>("found");
  QTest::addColumn<QString>("expected");
  QTest::addColumn<bool>("stable");  // a second update with the same text changes nothing

  auto row = [](const char* name, const QString& page, const QString& title,
                const QString& expected, bool stable = true) {
    QTest::newRow(name) << page << title << true << expected << stable;
  };
  auto none = [](const char* name, const QString& page) {
    QTest::newRow(name) << page << QStringLiteral("T") << false << QString() << true;
  };

  row("no title yet", "<head><meta></head><body>", "T",
      "<head><meta><title>T</title></head><body>");
  row("upper-case head tag becomes lower-case", "<HEAD></HEAD>", "T",
      "<HEAD><title>T</title></head>");
  row("</HEAD> before </head>: only </HEAD> gets the title", "a</head>b</HEAD>", "T",
      "a</head>b<title>T</title></head>", false);
  row("existing title replaced", "<head><title>Old</title>\r\n</head>", "T",
      "<head>\r\n<title>T</title></head>");
  row("existing upper-case title", "<HEAD><TITLE>Old</TITLE></HEAD>", "T",
      "<HEAD><title>T</title></head>");
  row("closing title tag in any case", "<head><Title>Old</tITLE></head>", "T",
      "<head><title>T</title></head>");
  row("every title in the head goes", "<head><title>A</title><TITLE>B</TITLE></head>", "T",
      "<head><title>T</title></head>");
  row("&, < and > escaped", "<head></head>", "Tips & <Tricks>",
      "<head><title>Tips &amp; &lt;Tricks&gt;</title></head>");
  row("text is never taken as markup", "<head></head>", "&amp; \"q\"",
      "<head><title>&amp;amp; \"q\"</title></head>");
  row("empty title", "<head><title>Old</title></head>", "", "<head><title></title></head>");
  row("svg title in the body kept", "<head></head><body><svg><title>icon</title></svg></body>", "T",
      "<head><title>T</title></head><body><svg><title>icon</title></svg></body>");
  row("tag twice: a second update replaces both titles",
      "<head><!-- <title>A</title></head> --><title>A</title></head>", "T",
      "<head><!-- <title>T</title></head> --><title>T</title></head>");
  row("unclosed title left: its end is unknown", "<head><title>Old</head>", "T",
      "<head><title>Old<title>T</title></head>", false);
  row("CRLF and other bytes kept", "<head>\r\n<title>" + kByteE9 + "</title>\r\n</head>\r\n", "T",
      "<head>\r\n\r\n<title>T</title></head>\r\n");
  none("only </Head>: nothing, silently", "<head><title>Old</title></Head>");
  none("no closing head tag", "<title>Old</title><body>");
}

void PageEditsTest::updatePageTitle() {
  QFETCH(QString, page);
  QFETCH(QString, title);
  QFETCH(bool, found);
  QFETCH(QString, expected);
  QFETCH(bool, stable);

  const std::optional<QString> result = pageedits::updatePageTitle(page, title);
  QCOMPARE(result.has_value(), found);
  if (!found) return;
  QCOMPARE(*result, expected);
  if (stable) QCOMPARE(pageedits::updatePageTitle(*result, title).value(), expected);
}

void PageEditsTest::fillBackTemplate_data() {
  QTest::addColumn<QString>("templateText");
  QTest::addColumn<QString>("url");
  QTest::addColumn<QString>("expected");

  QTest::newRow("placeholder once") << "<a href=\"[LOCATION]\">"
                                    << "http://x.org/"
                                    << "<a href=\"http://x.org/\">";
  QTest::newRow("placeholder twice: both filled") << "[LOCATION] and [LOCATION]"
                                                  << "u"
                                                  << "u and u";
  QTest::newRow("no placeholder: unchanged") << "<script></script>"
                                             << "u"
                                             << "<script></script>";
  QTest::newRow("other case is not the placeholder") << "[location][LOCATION]"
                                                     << "u"
                                                     << "[location]u";
  QTest::newRow("url exactly as typed") << "'[LOCATION]'"
                                        << " http://a.b/?q=\"x\"&y=é "
                                        << "' http://a.b/?q=\"x\"&y=é '";
  QTest::newRow("url holding the placeholder is not filled again") << "[LOCATION]"
                                                                   << "[LOCATION]x"
                                                                   << "[LOCATION]x";
  QTest::newRow("empty url") << "a[LOCATION]b"
                             << ""
                             << "ab";
  QTest::newRow("empty template") << ""
                                  << "u"
                                  << "";
}

void PageEditsTest::fillBackTemplate() {
  QFETCH(QString, templateText);
  QFETCH(QString, url);
  QFETCH(QString, expected);
  QCOMPARE(pageedits::fillBackTemplate(templateText, url), expected);
}

void PageEditsTest::restack_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<QList<float>>("tops");

  // Panels 405 high when closed; open 2715, 4065 and 4875.
  QTest::newRow("page title open") << 0 << QList<float>{45, 3565, 2960};
  QTest::newRow("head code open") << 1 << QList<float>{45, 1255, 650};
  QTest::newRow("back button open") << 2 << QList<float>{45, 5725, 650};
}

void PageEditsTest::restack() {
  QFETCH(int, index);
  QFETCH(QList<float>, tops);

  const std::array<bool, 3> open = panelstack::expandedStates(index);
  constexpr std::array<float, 3> kOpen{2715, 4065, 4875};
  std::array<float, 3> heights{};
  for (int i = 0; i < 3; ++i) {
    QCOMPARE(open[i], i == index);
    heights[i] = open[i] ? kOpen[i] : 405;
  }
  const std::array<float, 3> result = panelstack::restack(45, heights);
  QCOMPARE(QList<float>(result.begin(), result.end()), tops);
}

QV_TEST_MAIN(PageEditsTest)
#include "page_edits_test.moc"
