// The editor's link and picture edits over whole pages: our own test pages
// and, when present, the shared corpus of real ones. For each page: change
// the first link's address, change an address several links share, change
// the first picture's file, insert a picture. Saved, each file must differ
// from the original only in what was edited: the bytes outside are counted
// (the goal is none) and the way the save was written is reported.
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <memory>

#include "editor/document_ops.h"
#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/editor_menu.h"

namespace {

const QByteArray kNewAddress = "https://measure.example/new-address";
const QByteArray kNewPicture = "measure-new.png";

// Bytes in which a and b differ: the longer of the two middles left when
// their common start and end are taken off.
qsizetype differingBytes(const QByteArray& a, const QByteArray& b) {
  qsizetype start = 0;
  while (start < a.size() && start < b.size() && a[start] == b[start]) ++start;
  qsizetype end = 0;
  while (end < a.size() - start && end < b.size() - start &&
         a[a.size() - 1 - end] == b[b.size() - 1 - end])
    ++end;
  return std::max(a.size() - start - end, b.size() - start - end);
}

enum class Edit { FirstLink, SharedAddress, FirstPicture, InsertPicture };
const char* name(Edit e) {
  switch (e) {
    case Edit::FirstLink:
      return "first link's address";
    case Edit::SharedAddress:
      return "address shared by links";
    case Edit::FirstPicture:
      return "first picture's file";
    case Edit::InsertPicture:
      return "insert a picture";
  }
  return "";
}

// Our own pages, one for each trait real pages have.
const QList<std::pair<const char*, QByteArray>> kOwnPages{
    {"lower case, quoted",
     "<!DOCTYPE html>\n<html><head><title>T</title></head><body>\n<p>Buy <a href=\"pay.html\">"
     "now</a> or <a href=\"pay.html\">here</a>.</p>\n<p><img src=\"a.png\" alt=\"A\"></p>\n"
     "</body></html>\n"},
    {"upper case, unquoted, CRLF",
     "<HTML>\r\n<HEAD><TITLE>T</TITLE></HEAD>\r\n<BODY BGCOLOR=white>\r\n<P>Buy <A HREF=pay.html>"
     "now</A>\r\n<P><A HREF=pay.html><IMG SRC=a.png WIDTH=5></A>\r\n</BODY></HTML>\r\n"},
    {"single-byte charset",
     "<html><head><meta charset=\"windows-1252\"><title>Caf\xE9</title></head><body>"
     "<p>Caf\xE9 <a href='http://old.example/x?a=1&amp;b=2'>buy</a> <a "
     "href='http://old.example/x?a=1&amp;b=2'>\xE9t\xE9</a></p><p><img src='a.png'></p>"
     "</body></html>"},
    {"no head, comments and a script",
     "<body><!-- <a href=x> --><script>var s='<a href=\"y\">';</script><p><a href=\"#top\">top"
     "</a> <a href=\"#top\">again</a> <img src=\"b.gif\"></p></body>"},
};

}  // namespace

class EditorCorpusTest final : public QObject {
  Q_OBJECT
 private slots:
  void ownPages_data();
  void ownPages();
  void corpus();

 private:
  struct Result {
    bool done = false;       // the page has what the edit needs
    qsizetype outside = -1;  // bytes changed outside the edit
    QString way;
  };
  // Edits a copy of the page at path the way named, saves it, and measures.
  Result measure(const QString& path, Edit edit);
};

void EditorCorpusTest::ownPages_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<int>("edit");
  QTest::addColumn<QString>("whole");  // why the whole page is written; empty: only the edit
  // Every edit is written alone: an address spelled "&amp;" in two links,
  // and upper-case, unquoted HREF=pay, are each placed by their whole tag.
  for (const auto& [title, page] : kOwnPages)
    for (Edit e : {Edit::FirstLink, Edit::SharedAddress, Edit::FirstPicture, Edit::InsertPicture})
      QTest::addRow("%s: %s", title, name(e)) << page << int(e) << QString();
  // The project's own test pages.
  QDirIterator pages(testfiles::ownPagesDir(), {"*.htm", "*.html"}, QDir::Files);
  while (pages.hasNext()) {
    const QString path = pages.next();
    for (Edit e : {Edit::FirstLink, Edit::SharedAddress, Edit::FirstPicture, Edit::InsertPicture})
      QTest::addRow("%s: %s", qPrintable(QFileInfo(path).fileName()), name(e))
          << testfiles::read(path) << int(e) << QString();
  }
}

void EditorCorpusTest::ownPages() {
  QFETCH(QByteArray, page);
  QFETCH(int, edit);
  QFETCH(QString, whole);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("page.html"));
  testfiles::write(path, page);
  const Result r = measure(path, Edit(edit));
  if (!r.done) QSKIP("the page has nothing this edit needs");
  qInfo("outside the edit: %lld bytes; saved %s", static_cast<long long>(r.outside),
        qPrintable(r.way));
  if (!whole.isEmpty()) {
    QCOMPARE(r.way, QStringLiteral("whole page (%1)").arg(whole));
    return;
  }
  QCOMPARE(r.way, QStringLiteral("only the edit"));
  // A tag the file spells otherwise than the engine (HREF=pay.html) keeps
  // its spelling: only the value changes.
  QCOMPARE(r.outside, 0);
}

void EditorCorpusTest::corpus() {
  QStringList pages;
  for (const QString& page : testfiles::pages())
    if (!page.startsWith(testfiles::ownPagesDir() + u'/')) pages << page;
  if (pages.isEmpty() || pages.first().isEmpty()) QSKIP(qPrintable(testfiles::corpusMissing()));
  int met = 0, total = 0;
  for (const QString& page : pages) {
    for (Edit e : {Edit::FirstLink, Edit::SharedAddress, Edit::FirstPicture, Edit::InsertPicture}) {
      QTemporaryDir dir;
      const QString path = testfiles::copyPage(page, dir.path());
      const Result r = measure(path, e);
      if (!r.done) {
        qInfo("| %s | %s | - | nothing to edit |", qPrintable(testfiles::pageName(page)), name(e));
        continue;
      }
      ++total;
      if (r.outside == 0) ++met;
      qInfo("| %s | %s | %lld | %s |", qPrintable(testfiles::pageName(page)), name(e),
            static_cast<long long>(r.outside), qPrintable(r.way));
      QVERIFY2(r.outside >= 0, qPrintable(page));
    }
  }
  qInfo("goal met (no byte outside the edit) in %d of %d edits", met, total);
}

EditorCorpusTest::Result EditorCorpusTest::measure(const QString& path, Edit edit) {
  Result result;
  QByteArray original = testfiles::read(path);
  auto browser = std::make_unique<WebBrowser>();
  browser->setSilent(true);
  browser->resize(800, 600);
  browser->show();
  auto* menu = new EditorMenu(browser.get());
  Q_UNUSED(menu);
  browser->state()->setEditing(true);
  if (!driver::load(browser.get(), path)) return result;
  browser->setDesignMode(QStringLiteral("On"));
  if (driver::designMode(browser.get()) != u"on") return result;

  const auto op = [&](const QString& operation, const QJsonArray& args) {
    QVariant out;
    bool finished = false;
    documentops::run(browser.get(), operation, args, browser.get(), [&](const QVariant& v) {
      out = v;
      finished = true;
    });
    driver::waitFor([&] { return finished; }, 30000);
    return out;
  };
  // What the saved file is turned back with, to compare it with the original.
  QByteArray from, to;
  switch (edit) {
    case Edit::FirstLink: {
      const QString old =
          driver::js(browser.get(),
                     "(function(){var a=document.querySelector('a[href]');if(!a)return null;"
                     "var r=document.createRange();r.selectNodeContents(a);r.collapse(true);"
                     "getSelection().removeAllRanges();getSelection().addRange(r);"
                     "return a.getAttribute('href');})()")
              .toString();
      if (old.isEmpty() || !op("caret", {}).toMap().contains("link")) return result;
      op("setLink", {QString::fromLatin1(kNewAddress), QJsonValue(), QJsonValue()});
      from = kNewAddress;
      to = old.toUtf8();
      break;
    }
    case Edit::SharedAddress: {
      QString shared;
      for (const QVariant& v : op("links", {}).toList())
        if (v.toMap().value("count").toInt() > 1) {
          shared = v.toMap().value("href").toString();
          break;
        }
      if (shared.isEmpty()) return result;
      op("replace", {shared, QString::fromLatin1(kNewAddress)});
      from = kNewAddress;
      to = shared.toUtf8();
      break;
    }
    case Edit::FirstPicture: {
      // The picture is pointed at as a user would: its centre, else just
      // inside its corner (a round picture, or one half covered).
      const QVariantMap at =
          driver::js(browser.get(),
                     "(function(){var i=document.querySelector('img[src]');if(!i)return null;"
                     "i.scrollIntoView({block:'center'});var b=i.getBoundingClientRect();"
                     "return {points:[[b.x+b.width/2,b.y+b.height/2],[b.x+2,b.y+2]],"
                     "src:i.getAttribute('src')};})()")
              .toMap();
      if (at.isEmpty()) return result;
      QVariantMap found;
      for (const QVariant& point : at.value("points").toList()) {
        const QVariantList xy = point.toList();
        found = op("at", {qRound(xy[0].toDouble()), qRound(xy[1].toDouble())}).toMap();
        if (!found.value("image").toMap().isEmpty()) break;
      }
      if (found.value("image").toMap().isEmpty()) return result;
      const QVariantMap img = found.value("image").toMap();
      op("setImage", {QString::fromLatin1(kNewPicture), img.value("alt").toString(),
                      img.value("width").toString(), img.value("height").toString()});
      from = kNewPicture;
      to = at.value("src").toString().toUtf8();
      break;
    }
    case Edit::InsertPicture: {
      driver::js(browser.get(),
                 "(function(){var b=document.body;if(!b)return 0;var r=document.createRange();"
                 "r.selectNodeContents(b);r.collapse(true);getSelection().removeAllRanges();"
                 "getSelection().addRange(r);return 1;})()");
      op("caret", {});
      op("insertImage", {QString::fromLatin1(kNewPicture), QString(), QString(), QString()});
      from = "<img src=\"" + kNewPicture + "\">";
      break;
    }
  }
  MsgBoxRecorder rec(MsgAnswer::Save);
  QTemporaryDir other;
  const QString next = other.filePath(QStringLiteral("next.htm"));
  testfiles::write(next, "<p>next</p>");
  browser->state()->setEditing(false);
  if (!driver::load(browser.get(), next)) return result;
  QByteArray saved = testfiles::read(path);
  result.done = true;
  // A UTF-16 page is compared in UTF-8, a byte for each ASCII character.
  if (original.startsWith("\xFF\xFE") || original.startsWith("\xFE\xFF")) {
    const auto utf8 = [](const QByteArray& bytes) {
      QStringDecoder decoder(QStringDecoder::Utf16);
      const QString text = decoder.decode(bytes);
      return text.toUtf8();
    };
    original = utf8(original);
    saved = utf8(saved);
  }
  if (!saved.contains(from)) return result;  // the edit was not written
  // The old value as the file spells it ("&" may stand as "&amp;").
  if (!to.isEmpty() && !original.contains(to)) {
    const QByteArray escaped = QByteArray(to).replace("&", "&amp;");
    if (original.contains(escaped)) to = escaped;
  }
  saved.replace(from, to);
  result.outside = differingBytes(original, saved);
  result.way = browser->session()->lastSaveWay().minimal
                   ? QStringLiteral("only the edit")
                   : QStringLiteral("whole page (%1)").arg(browser->session()->lastSaveWay().why);
  return result;
}

QV_TEST_MAIN(EditorCorpusTest)
#include "editor_corpus_test.moc"
