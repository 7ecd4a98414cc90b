// The markup kept against a crash is read again only where the document
// changed: after every kind of change it must still be the document's whole
// markup, byte for byte, or a recovered edit would restore another page.
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/unsaved_keeper.h"
#include "editor/web_browser.h"
#include "files/unsaved_edits.h"
#include "support/browser_driver.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

// Nested tables, entities, comments, foreign content, raw text and a
// template: what the pieces must write as the engine does.
const QByteArray kPage =
    "<!DOCTYPE html>\n<HTML><HEAD><TITLE>A &amp; B</TITLE>"
    "<STYLE>p > b { color: red }</STYLE></HEAD>\n<BODY BGCOLOR=\"#FFFFFF\">\n"
    "<!-- top --><TABLE ID=outer><TR><TD><TABLE><TR><TD ID=deep>Deep&nbsp;cell &lt;here&gt;"
    "</TD></TR></TABLE></TD><TD TITLE='say \"hi\"'>Side</TD></TR></TABLE>\n"
    "<P ID=a>First paragraph of the page.</P>\n<P ID=b>Second &amp; last.</P>\n"
    "<svg width=10><circle r=\"1\"/><text>a&lt;b</text></svg>\n"
    "<template id=t><p>kept out</p></template>\n<textarea>x &lt; y</textarea>\n"
    "<script>var s = '<b>';</script>\n<DIV ID=few>" +
    QByteArray("<I>i</I>").repeated(17) + "</DIV>\n</BODY></HTML>\n";

// Puts the caret (or a selection) in the page for the next edit.
const QString kSelect = QStringLiteral(R"(
(function (startSel, startAt, endSel, endAt) {
  var node = function (sel) {
    var el = document.querySelector(sel), w = document.createTreeWalker(el, NodeFilter.SHOW_TEXT);
    return w.nextNode();
  };
  var r = document.createRange();
  r.setStart(node(startSel), startAt);
  r.setEnd(node(endSel || startSel), endSel ? endAt : startAt);
  getSelection().removeAllRanges();
  getSelection().addRange(r);
})(%1))");

// One edit a row, each on the page as the rows before left it.
struct Edit {
  const char* name;
  QString select;  // arguments of kSelect, or empty
  QString script;
  // Not a change the user can make, and not one that marks the page changed:
  // only the read must see it.
  bool unseen = false;
};
const QList<Edit> kEdits = {
    {"typing in a nested cell", "'#deep', 4",
     "document.execCommand('insertText', false, 'x<&\\u00a0y')"},
    {"bold", "'#a', 0, '#a', 5", "document.execCommand('bold')"},
    {"delete across paragraphs", "'#a', 10, '#b', 3", "document.execCommand('delete')"},
    {"paste with a comment and svg", "'#deep', 1",
     "document.execCommand('insertHTML', false, '<!--c--><b>x</b><svg><circle r=\"2\"/></svg>')"},
    {"attribute set",
     {},
     "document.querySelector('#outer td').setAttribute('title', 'a\"b&c\\u00a0<d>')"},
    {"attribute of the root", {}, "document.documentElement.setAttribute('lang', 'fr')"},
    {"a block taken out", {}, "window.__out = document.getElementById('outer'); __out.remove()"},
    // Changed while out of the document, where no change is seen.
    {"the block changed out and put back",
     {},
     "__out.querySelector('td').textContent = 'changed while out';"
     "document.body.insertBefore(__out, document.body.firstChild)"},
    {"the block's inside changed again", "'#deep', 2",
     "document.execCommand('insertText', false, 'again')"},
    {"undo the typing", {}, "document.execCommand('undo')"},
    {"template content",
     {},
     "document.getElementById('t').content.firstChild.textContent = 'n'",
     true},
    {"script text", {}, "document.querySelector('body script').textContent = 'var t = \"</b>\";'"},
    {"a whole paragraph's text", {}, "document.querySelector('p').textContent = '& < > \\u00a0'"},
    // Read in pieces at first, then whole: what was kept of its inside is old.
    {"a block shrinks and changes inside",
     {},
     "var f = document.getElementById('few'); f.lastChild.remove(); f.lastChild.remove();"
     "f.firstChild.textContent = 'changed'"},
    {"the block grows again, its own tag changed",
     {},
     "var f = document.getElementById('few'); f.setAttribute('class', 'grown');"
     "f.insertAdjacentHTML('beforeend', '<u>u</u>'.repeat(5))"},
    // Moved as it is: taken out in one place, put in at another, unchanged.
    {"a paragraph moved to the end", {}, "document.body.appendChild(document.getElementById('b'))"},
    // Sent as a change to what the keeper has: never half a character.
    {"a character beyond the first plane", "'#a', 0",
     "document.execCommand('insertText', false, '\\ud83d\\ude00')"},
    {"the same plane, its second half changed", "'#a', 0, '#a', 2",
     "document.execCommand('insertText', false, '\\ud83d\\ude03')"},
    {"the whole document replaced",
     {},
     "__qv.restoreMarkup('<html><body><p id=z>new <i>page</i></p></body></html>')"},
    {"typing in the new document", "'#z', 2", "document.execCommand('insertText', false, 'ok')"},
};

// Where the kept markup and the document's differ, or "" when they agree.
const QString kCompare = QStringLiteral(R"(
(function () {
  var kept = __qv.keptMarkup(), whole = document.documentElement.outerHTML;
  if (kept === whole) return '';
  var i = 0;
  while (i < kept.length && kept[i] === whole[i]) ++i;
  return 'at ' + i + ': kept "' + kept.substr(i, 60) + '" document "' + whole.substr(i, 60) + '"';
})())");

// A random edit where the user might type, delete, bold or paste.
const QString kRandomEdit = QStringLiteral(R"(
(function (seed) {
  var rnd = function () { seed = (seed * 1103515245 + 12345) % 2147483648; return seed / 2147483648; };
  var texts = [], w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT), n;
  while ((n = w.nextNode())) if (n.data.trim() !== '' && n.parentNode.isContentEditable) texts.push(n);
  if (!texts.length) return;
  var a = texts[Math.floor(rnd() * texts.length)];
  var b = rnd() < 0.3 ? texts[Math.floor(rnd() * texts.length)] : a;
  var r = document.createRange();
  r.setStart(a, Math.floor(rnd() * (a.data.length + 1)));
  try { r.setEnd(b, Math.floor(rnd() * (b.data.length + 1))); } catch (e) {}
  getSelection().removeAllRanges();
  getSelection().addRange(r);
  var what = rnd();
  if (what < 0.4) document.execCommand('insertText', false, 'typed \u00a0&');
  else if (what < 0.6) document.execCommand('delete');
  else if (what < 0.8) document.execCommand('bold');
  else document.execCommand('insertHTML', false, '<p>pasted <b>line</b></p>');
})(%1))");

}  // namespace

class KeptMarkupTest final : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::unique_ptr<WebBrowser> browser_;
  QString base_;  // the document the edit began from

  void open(const QString& path) {
    // A browser of its own each time: leaving an edited page would ask.
    browser_ = std::make_unique<WebBrowser>();
    browser_->setSilent(true);
    browser_->resize(800, 600);
    browser_->show();
    browser_->state()->setEditing(true);
    QVERIFY(driver::load(browser_.get(), path));
    browser_->setDesignMode(QStringLiteral("On"));
    base_ = outerHtml();
  }
  QString outerHtml() {
    return driver::js(browser_.get(), QStringLiteral("document.documentElement.outerHTML"))
        .toString();
  }
  // A read of its own agrees with the document.
  void readAgrees(const QString& context = {}) {
    const QString differs = driver::js(browser_.get(), kCompare).toString();
    QVERIFY2(differs.isEmpty(), qPrintable(context + differs));
  }
  // What the keeper received (after the first time, only the stretch that
  // changed since its last read) and wrote is the document too.
  void keptOnDisk(const QString& context = {}) {
    const QString whole = outerHtml();
    // Nothing to offer yet: what is kept goes when it is looked for.
    if (whole == base_) return;
    browser_->session()->keeper()->tick();
    QString kept;
    if (driver::waitFor([&] {
          for (const unsavededits::Kept& k : unsavededits::pending())
            if ((kept = k.markupNow) == whole) return true;
          return false;
        }))
      return;
    qsizetype i = 0;
    while (i < kept.size() && i < whole.size() && kept[i] == whole[i]) ++i;
    QFAIL(qPrintable(QStringLiteral("%1kept at %2: \"%3\" document \"%4\"")
                         .arg(context)
                         .arg(i)
                         .arg(kept.mid(i, 60), whole.mid(i, 60))));
  }

 private slots:
  void initTestCase() { unsavededits::setRoot(dir_.filePath(QStringLiteral("unsaved"))); }
  void cleanupTestCase() { browser_.reset(); }

  void eachChange_data() {
    QTest::addColumn<int>("edit");
    for (int i = 0; i < kEdits.size(); ++i) QTest::newRow(kEdits[i].name) << i;
  }
  void eachChange() {
    QFETCH(int, edit);
    if (edit == 0) {
      const QString path = dir_.filePath(QStringLiteral("page.htm"));
      testfiles::write(path, kPage);
      open(path);
      readAgrees();  // the first read, from nothing kept
    }
    const Edit& e = kEdits[edit];
    if (!e.select.isEmpty()) driver::js(browser_.get(), kSelect.arg(e.select));
    const QString before = driver::markup(browser_.get());
    driver::js(browser_.get(), e.script);
    QVERIFY(driver::markup(browser_.get()) != before);
    // The keeper's reads follow one another, each sending what changed; a
    // change the keeper does not hear of is checked by a read of its own.
    if (e.unseen)
      readAgrees();
    else
      keptOnDisk();
  }

  // Real pages read ahead and edited at random: each read agrees with the
  // document.
  void realPages_data() {
    QTest::addColumn<QString>("page");
    for (const QString& page : testfiles::pages())
      QTest::newRow(qPrintable(testfiles::pageName(page))) << page;
  }
  void realPages() {
    QFETCH(QString, page);
    QV_SKIP_ABSENT_CORPUS(page);
    QTemporaryDir dir;
    open(testfiles::copyPage(page, dir.path()));
    // Read ahead in slices, as when editing begins; the edits land among them.
    driver::js(browser_.get(), QStringLiteral("__qv.prepareKeptMarkup()"));
    const quint32 seed = QRandomGenerator::global()->generate() % 100000;
    for (int i = 0; i < 12; ++i) {
      driver::js(browser_.get(), kRandomEdit.arg(seed + i));
      keptOnDisk(QStringLiteral("seed %1, edit %2: ").arg(seed).arg(i));
      if (QTest::currentTestFailed()) return;
    }
    readAgrees(QStringLiteral("seed %1: ").arg(seed));
  }
};

QV_TEST_MAIN(KeptMarkupTest)
#include "kept_markup_test.moc"
