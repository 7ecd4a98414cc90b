// Text-mode replace over real pages and pages of our own (legacy charsets,
// CRLF, entities, comments): a word of the visible text is replaced on every
// page, then the engine reads the page before and after. Prints a table; the
// goal is no byte changed outside the matches and no markup changed at all on
// any page.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/page_batch.h"

namespace {

const QString kWord = QStringLiteral("the");
const QString kWith = QStringLiteral("Zqx");

const QList<std::pair<QString, QByteArray>> kMadePages = {
    {QStringLiteral("made-windows-1252-crlf.htm"),
     "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">"
     "\r\n<title>The shop</title></head>\r\n<body>\r\n<p title=\"the title\">Caf\xE9 \x93the"
     "\x94 for the\r\nbest price.</p>\r\n<script>var the = 1;</script>\r\n</body></html>\r\n"},
    {QStringLiteral("made-iso-8859-1-entities.html"),
     "<html><head><meta charset=iso-8859-1><style>.the{}</style></head><body class=the>"
     "<!-- the comment --><p>Cr\xE8me &amp; the&nbsp;rest, THE end &eacute;t&eacute;</p>"
     "<img alt='the picture'><a href=\"the.htm\">the link</a></body></html>"},
    {QStringLiteral("made-utf8-bom-cr-crlf.htm"),
     "\xEF\xBB\xBF<!DOCTYPE html>\r\r\n<html><body><p>\xC3\x9C"
     "ber the top \xE2\x80\x94 the\xC2\xA0way</p><textarea>the box</textarea></body></html>"},
};

// The document with the text of every text node emptied (script and style
// content kept, it is code): what is left is the markup alone.
const QString kMarkupOnly = QStringLiteral(R"((function () {
  var walker = document.createTreeWalker(document.documentElement, NodeFilter.SHOW_TEXT);
  var node, texts = [];
  while ((node = walker.nextNode())) {
    var p = node.parentNode && node.parentNode.nodeName;
    if (p !== 'SCRIPT' && p !== 'STYLE') texts.push(node);
  }
  texts.forEach(function (t) { t.data = ''; });
  return document.documentElement.outerHTML;
})())");

// Bytes of after that are not where the splice of the matches would put the
// before bytes: 0 when only the matches changed.
qsizetype bytesChangedOutside(const QByteArray& before, const QByteArray& after,
                              const QList<pagesearch::Match>& matches, const QByteArray& with) {
  qsizetype changed = 0;
  qsizetype from = 0;  // in before
  qsizetype at = 0;    // in after
  const auto compare = [&](qsizetype to) {
    for (; from < to; ++from, ++at)
      if (at >= after.size() || after[at] != before[from]) ++changed;
  };
  for (const pagesearch::Match& m : matches) {
    compare(m.byteStart);
    if (after.mid(at, with.size()) != with) changed += with.size();
    at += with.size();
    from = m.byteEnd;
  }
  compare(before.size());
  return changed + std::max<qsizetype>(0, after.size() - at);
}

}  // namespace

class FindReplaceCorpusTest final : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void wordReplacedInVisibleTextOnly_data();
  void wordReplacedInVisibleTextOnly();
  void cleanupTestCase();

 private:
  QString markupOnly(const QString& path);

  WebBrowser* browser_ = nullptr;
  QTemporaryDir dir_;
  QStringList table_;
};

void FindReplaceCorpusTest::initTestCase() {
  browser_ = new WebBrowser;
  browser_->setSilent(true);
  // The file's own markup: what a script would write is not the page's.
  browser_->state()->setEditing(true);
  browser_->resize(800, 600);
  browser_->show();
}

void FindReplaceCorpusTest::cleanupTestCase() {
  qInfo().noquote() << "\npage | matches | bytes changed outside | markup changed\n" +
                           table_.join(u'\n');
  delete browser_;
}

QString FindReplaceCorpusTest::markupOnly(const QString& path) {
  if (!driver::load(browser_, path)) return QStringLiteral("(not loaded)");
  return driver::js(browser_, kMarkupOnly).toString();
}

void FindReplaceCorpusTest::wordReplacedInVisibleTextOnly_data() {
  QTest::addColumn<QString>("source");  // a corpus page, or empty for a made page
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("name");
  for (const auto& [name, bytes] : kMadePages)
    QTest::newRow(qPrintable(name)) << QString() << bytes << name;
  for (const QString& page : testfiles::pages())
    QTest::newRow(qPrintable(page.isEmpty() ? QStringLiteral("corpus") : testfiles::pageName(page)))
        << page << QByteArray() << QString();
}

void FindReplaceCorpusTest::wordReplacedInVisibleTextOnly() {
  QFETCH(QString, source);
  QFETCH(QByteArray, bytes);
  QFETCH(QString, name);
  if (source.isEmpty() && name.isEmpty()) QSKIP(qPrintable(testfiles::corpusMissing()));
  QString path;
  if (source.isEmpty()) {
    path = dir_.filePath(name);
    testfiles::write(path, bytes);
  } else {
    const QString folder = dir_.filePath(QString::number(table_.size()));
    QDir().mkpath(folder);
    path = testfiles::copyPage(source, folder);
  }
  const QByteArray before = testfiles::read(path);
  const QString markupBefore = markupOnly(path);

  const pagesearch::Options options{kWord, pagesearch::Mode::Text, false, true};
  const pagebatch::SearchedPage found = pagebatch::searchPage(path, options);
  // A UTF-16 page is reported as not searched, and left as it is.
  if (source.endsWith(u"utf16-bom.htm")) {
    QVERIFY(found.failure.contains(QStringLiteral("UTF-16")));
    QCOMPARE(testfiles::read(path), before);
    return;
  }
  QVERIFY2(found.failure.isEmpty(), qPrintable(found.failure));
  QList<int> all;
  for (int i = 0; i < found.matches.size(); ++i) all.append(i);
  const pagebatch::PageOutcome outcome =
      pagebatch::replaceInPage(found, all, kWith, pagesearch::Mode::Text);
  QVERIFY2(outcome.failure.isEmpty(), qPrintable(outcome.failure));
  QCOMPARE(outcome.changes, found.matches.size());

  const QByteArray after = testfiles::read(path);
  const qsizetype outside = bytesChangedOutside(
      before, after, found.matches,
      pagesearch::replacementBytes(kWith, pagesearch::Mode::Text, found.coding));
  // Reloading the same path must not be taken for the first load.
  const QString renamed = path + QStringLiteral(".after.htm");
  QFile::copy(path, renamed);
  const QString markupAfter = markupOnly(renamed);
  const bool markupChanged = markupAfter != markupBefore;
  table_.append(QStringLiteral("%1 | %2 | %3 | %4")
                    .arg(QFileInfo(path).dir().dirName() + u'/' + QFileInfo(path).fileName())
                    .arg(found.matches.size())
                    .arg(outside)
                    .arg(markupChanged ? QStringLiteral("yes") : QStringLiteral("no")));
  QCOMPARE(outside, 0);
  QVERIFY(!markupChanged);
  // With the text emptied only code is left: no replacement may be in it.
  QCOMPARE(driver::js(browser_, QStringLiteral("document.documentElement.textContent"))
               .toString()
               .count(kWith),
           0);
}

QV_TEST_MAIN(FindReplaceCorpusTest)
#include "find_replace_corpus_test.moc"
