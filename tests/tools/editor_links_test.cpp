// Links, pictures and spelling in the editor, with the real engine: each
// window driven by its controls' names, each edit saved and the file's bytes
// compared, undo and redo by the keys a user presses.
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <memory>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"
#include "tools/editor_menu.h"
#include "tools/editor_window_driver.h"

namespace {

const QByteArray kPage =
    "<!DOCTYPE html>\r\n<html><head><title>Sale</title></head>\r\n<body>\r\n"
    "<p id=\"a\">Pay <a href=\"http://old.example/pay\" class=\"btn\">here</a> today.</p>\r\n"
    "<p id=\"b\">Or <a href=\"http://old.example/pay\">again</a> and "
    "<a href=\"dl.zip\"><img src=\"cover.png\" alt=\"Cover\" width=\"10\"></a> end.</p>\r\n"
    "<p id=\"c\">Plain words here.</p>\r\n</body></html>\r\n";

// The same page spelled the old way most received pages are.
const QByteArray kOldPage =
    "<HTML><HEAD><TITLE>Sale</TITLE></HEAD>\r\n<BODY>\r\n"
    "<P ID=a>Pay <A HREF=http://old.example/pay CLASS=btn>here</A> today.</P>\r\n"
    "<P ID=b>Or <a href='http://old.example/pay'>again</a> and "
    "<A HREF=\"dl.zip\"><IMG SRC=cover.png ALT=Cover WIDTH=10></A> end.</P>\r\n"
    "<P ID=c>Plain words here.</P>\r\n</BODY></HTML>\r\n";

// A one-pixel PNG.
const QByteArray kPng = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg"
    "==");

template <typename W>
W* child(QWidget* w, const char* name) {
  return w->findChild<W*>(QString::fromLatin1(name));
}

void click(QWidget* w, const char* name) {
  QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton);
}

}  // namespace

class EditorLinksTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void editLinkChangesOnlyItsAddress_data();
  void editLinkChangesOnlyItsAddress();
  void undoAndRedoInOrderWithTyping();
  void refusedAddresses_data();
  void refusedAddresses();
  void missingFileAsksFirst_data();
  void missingFileAsksFirst();
  void makeLinkOverSelectionInNewTab();
  void makeLinkOverALinkNestsNone();
  void removeLinkFromMenu();
  void linksWindowChangesEveryLinkAtOnce_data();
  void linksWindowChangesEveryLinkAtOnce();
  void imageFromOutsideIsCopiedBesideThePage();
  void nonImageRefused();
  void insertImageAtCaret();
  void viewingMenuNeverLeavesThePage_data();
  void viewingMenuNeverLeavesThePage();
  void editingMenuFollowsWhatIsUnderThePointer_data();
  void editingMenuFollowsWhatIsUnderThePointer();
  void spellingSuggestions();

 private:
  bool edit(const QByteArray& bytes = kPage);
  bool save();
  QByteArray saved() const { return testfiles::read(path_); }
  // Ctrl+K with the window answered by act.
  bool linkWindow(const std::function<void(QDialog*)>& act);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<WebBrowser> browser_;
  EditorMenu* menu_ = nullptr;
  QString path_;
};

void EditorLinksTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  browser_ = std::make_unique<WebBrowser>();
  browser_->setSilent(true);
  browser_->resize(800, 600);
  browser_->show();
  menu_ = new EditorMenu(browser_.get());
  path_ = dir_->filePath(QStringLiteral("sales.htm"));
}

void EditorLinksTest::cleanup() {
  browser_.reset();
  dir_.reset();
}

bool EditorLinksTest::edit(const QByteArray& bytes) {
  testfiles::write(path_, bytes);
  browser_->state()->setEditing(true);
  if (!driver::load(browser_.get(), path_)) return false;
  browser_->setDesignMode(QStringLiteral("On"));
  browser_->view()->setFocus();
  return driver::designMode(browser_.get()) == u"on";
}

bool EditorLinksTest::save() {
  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Save});
  const QString next = dir_->filePath(QStringLiteral("next.htm"));
  testfiles::write(next, "<p>next</p>");
  browser_->state()->setEditing(false);
  return driver::load(browser_.get(), next) && rec.calls.size() == 1;
}

bool EditorLinksTest::linkWindow(const std::function<void(QDialog*)>& act) {
  return editordriver::withWindow(
      menu_, "frmLink",
      [this] { QTest::keyClick(browser_->view()->focusProxy(), Qt::Key_K, Qt::ControlModifier); },
      act);
}

void EditorLinksTest::editLinkChangesOnlyItsAddress_data() {
  QTest::addColumn<QString>("url");
  QTest::addColumn<QByteArray>("written");  // as the address stands in the file
  QTest::newRow("plain address") << "https://new.example/buy"
                                 << QByteArray("https://new.example/buy");
  // Quotes, a backslash and a closing script tag stay a value: they neither
  // break the program's own script nor the page's markup.
  QTest::newRow("characters that could break out")
      << R"(https://new.example/?a="1"&b='2'\</script><b>)"
      << QByteArray(R"(https://new.example/?a=&quot;1&quot;&amp;b='2'\</script><b>)");
}

void EditorLinksTest::editLinkChangesOnlyItsAddress() {
  QFETCH(QString, url);
  QFETCH(QByteArray, written);
  QVERIFY(edit());
  MsgBoxRecorder rec;
  editordriver::select(browser_.get(), QStringLiteral("#a a"), true);
  QVERIFY(linkWindow([&](QDialog* w) {
    QCOMPARE(w->windowTitle(), QStringLiteral("Link"));
    QCOMPARE(child<QLineEdit>(w, "txtLinkUrl")->text(), QStringLiteral("http://old.example/pay"));
    QCOMPARE(child<QLineEdit>(w, "txtLinkText")->text(), QStringLiteral("here"));
    QVERIFY(!child<QLineEdit>(w, "txtLinkText")->isReadOnly());
    QVERIFY(child<QPushButton>(w, "cmdRemove")->isVisibleTo(w));
    QCOMPARE(child<QCheckBox>(w, "chkNewWindow")->text(), QStringLiteral("Open in a new tab"));
    child<QLineEdit>(w, "txtLinkUrl")->setText(url);
    click(w, "cmdOk");
  }));
  QVERIFY(rec.calls.isEmpty());
  QCOMPARE(
      driver::js(browser_.get(), "document.querySelector('#a a').getAttribute('href')").toString(),
      url);
  QVERIFY(save());
  QByteArray expected = kPage;
  expected.replace(expected.indexOf("http://old.example/pay"), 22, written);
  QCOMPARE(saved(), expected);
  QVERIFY(browser_->session()->lastSaveWay().minimal);
}

void EditorLinksTest::undoAndRedoInOrderWithTyping() {
  QVERIFY(edit());
  const QString before = driver::markup(browser_.get());
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#c"), "one"));
  const QString typed = driver::markup(browser_.get());
  editordriver::select(browser_.get(), QStringLiteral("#a a"), true);
  QVERIFY(linkWindow([](QDialog* w) {
    child<QLineEdit>(w, "txtLinkUrl")->setText(QStringLiteral("https://new.example/"));
    click(w, "cmdOk");
  }));
  const QString linked = driver::markup(browser_.get());
  QVERIFY(linked != typed);
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#c"), "two"));
  const QString last = driver::markup(browser_.get());
  QWidget* keys = browser_->view()->focusProxy();
  const QList<QString> undone{linked, typed, before};
  for (const QString& expected : undone) {
    QTest::keyClick(keys, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(driver::waitFor([&] { return driver::markup(browser_.get()) == expected; }));
  }
  for (const QString& expected : {typed, linked, last}) {
    QTest::keyClick(keys, Qt::Key_Y, Qt::ControlModifier);
    QVERIFY(driver::waitFor([&] { return driver::markup(browser_.get()) == expected; }));
  }
  // The menu's Undo is the same undo.
  editordriver::select(browser_.get(), QStringLiteral("#c"), true);
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, QStringLiteral("#c"));
  QVERIFY(menu);
  menu->findChild<QAction*>(QStringLiteral("mnuUndo"))->trigger();
  menu->close();
  QVERIFY(driver::waitFor([&] { return driver::markup(browser_.get()) == linked; }));
}

void EditorLinksTest::refusedAddresses_data() {
  QTest::addColumn<QString>("url");
  QTest::newRow("script") << "javascript:alert(document.cookie)";
  QTest::newRow("script, upper case behind blanks") << "  JAVASCRIPT:alert(1)";
  QTest::newRow("script behind a character reference") << "java&#115;cript:alert(1)";
  QTest::newRow("empty") << "";
}

void EditorLinksTest::refusedAddresses() {
  QFETCH(QString, url);
  QVERIFY(edit());
  MsgBoxRecorder rec;
  editordriver::select(browser_.get(), QStringLiteral("#a a"), true);
  QVERIFY(linkWindow([&](QDialog* w) {
    child<QLineEdit>(w, "txtLinkUrl")->setText(url);
    click(w, "cmdOk");
    // Refused: the window stays for another try.
    QVERIFY(w->isVisible());
    click(w, "cmdCancel");
  }));
  QCOMPARE(rec.calls.size(), 1);
  QCOMPARE(rec.calls[0].title, QStringLiteral("Link"));
  if (!url.isEmpty()) QVERIFY(rec.calls[0].prompt.contains(u"cannot run a script"));
  QCOMPARE(driver::js(browser_.get(), "document.querySelector('#a a').getAttribute('href')"),
           QVariant(QStringLiteral("http://old.example/pay")));
  bool changed = true;
  browser_->session()->readChanged([&](bool c) { changed = c; });
  QVERIFY(driver::waitFor([&] { return !changed; }));
}

void EditorLinksTest::missingFileAsksFirst_data() {
  QTest::addColumn<QString>("url");
  QTest::addColumn<MsgAnswer>("answer");
  QTest::addColumn<int>("questions");
  QTest::addColumn<QString>("href");
  QTest::newRow("missing, kept on yes") << "gone.html" << MsgAnswer::Yes << 1 << "gone.html";
  QTest::newRow("missing, not on no")
      << "gone.html" << MsgAnswer::No << 1 << "http://old.example/pay";
  QTest::newRow("present, not asked")
      << "next%20page.htm#top" << MsgAnswer::No << 0 << "next%20page.htm#top";
}

void EditorLinksTest::missingFileAsksFirst() {
  QFETCH(QString, url);
  QFETCH(MsgAnswer, answer);
  QFETCH(int, questions);
  QFETCH(QString, href);
  testfiles::write(dir_->filePath(QStringLiteral("next page.htm")), "<p>x</p>");
  QVERIFY(edit());
  MsgBoxRecorder rec(answer);
  editordriver::select(browser_.get(), QStringLiteral("#a a"), true);
  QVERIFY(linkWindow([&](QDialog* w) {
    child<QLineEdit>(w, "txtLinkUrl")->setText(url);
    click(w, "cmdOk");
    if (w->isVisible()) click(w, "cmdCancel");
  }));
  QCOMPARE(rec.calls.size(), questions);
  if (questions) QCOMPARE(rec.calls[0].buttons, MsgButtons::YesNo);
  QCOMPARE(driver::js(browser_.get(), "document.querySelector('#a a').getAttribute('href')"),
           QVariant(href));
}

void EditorLinksTest::makeLinkOverSelectionInNewTab() {
  QVERIFY(edit());
  driver::js(browser_.get(),
             "var t=document.querySelector('#c').firstChild,r=document.createRange();"
             "r.setStart(t,0);r.setEnd(t,11);getSelection().removeAllRanges();"
             "getSelection().addRange(r);1");
  QVERIFY(linkWindow([](QDialog* w) {
    QCOMPARE(child<QLineEdit>(w, "txtLinkText")->text(), QStringLiteral("Plain words"));
    QVERIFY(child<QLineEdit>(w, "txtLinkText")->isReadOnly());
    QVERIFY(!child<QPushButton>(w, "cmdRemove")->isVisibleTo(w));
    child<QLineEdit>(w, "txtLinkUrl")->setText(QStringLiteral("https://x.example/"));
    child<QCheckBox>(w, "chkNewWindow")->setChecked(true);
    click(w, "cmdOk");
  }));
  QVERIFY(save());
  QByteArray expected = kPage;
  expected.replace("<p id=\"c\">Plain words here.",
                   "<p id=\"c\"><a href=\"https://x.example/\" target=\"_blank\" "
                   "rel=\"noopener\">Plain words</a> here.");
  QCOMPARE(saved(), expected);
}

void EditorLinksTest::makeLinkOverALinkNestsNone() {
  QVERIFY(edit());
  editordriver::select(browser_.get(), QStringLiteral("#a"));
  QVERIFY(linkWindow([](QDialog* w) {
    child<QLineEdit>(w, "txtLinkUrl")->setText(QStringLiteral("https://x.example/"));
    click(w, "cmdOk");
  }));
  QCOMPARE(driver::js(browser_.get(),
                      "[document.querySelectorAll('a a').length,"
                      " document.querySelectorAll('#a a[href=\"https://x.example/\"]').length > 0]"
                      ".join()"),
           QVariant(QStringLiteral("0,true")));
}

void EditorLinksTest::removeLinkFromMenu() {
  QVERIFY(edit());
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, QStringLiteral("#a a"));
  QVERIFY(menu);
  QSignalSpy done(menu_, &EditorMenu::editDone);
  menu->findChild<QAction*>(QStringLiteral("mnuRemoveLink"))->trigger();
  menu->close();
  QVERIFY(done.wait(15000));
  QVERIFY(save());
  QByteArray expected = kPage;
  expected.replace("<a href=\"http://old.example/pay\" class=\"btn\">here</a>", "here");
  QCOMPARE(saved(), expected);
}

void EditorLinksTest::linksWindowChangesEveryLinkAtOnce_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::newRow("lower case, double quotes") << kPage;
  QTest::newRow("upper case, unquoted and single-quoted, CRLF") << kOldPage;
}

// Only the addresses change in the file, each in its tag's own quotes.
void EditorLinksTest::linksWindowChangesEveryLinkAtOnce() {
  QFETCH(QByteArray, page);
  QVERIFY(edit(page));
  MsgBoxRecorder rec;
  QVERIFY(editordriver::withWindow(
      menu_, "frmLinks",
      [this] {
        QTest::keyClick(browser_->view()->focusProxy(), Qt::Key_K,
                        Qt::ControlModifier | Qt::ShiftModifier);
      },
      [this](QDialog* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Links on This Page"));
        auto* list = child<QListWidget>(w, "lstLinks");
        QVERIFY(driver::waitFor([&] { return list->count() == 2; }));
        QVERIFY(list->item(0)->text().contains(u"http://old.example/pay"));
        QVERIFY(list->item(0)->text().contains(u"(2 links)"));
        QVERIFY(list->item(0)->text().contains(u"here"));
        QVERIFY(list->item(1)->text().contains(u"Cover"));  // a picture link by its description
        list->setCurrentRow(0);
        // Choosing shows the links: the first is selected in the page.
        QVERIFY(driver::waitFor([&] {
          return driver::js(browser_.get(), "getSelection().toString()").toString() == u"here";
        }));
        child<QLineEdit>(w, "txtNewUrl")->setText(QStringLiteral("https://mine.example/pay"));
        click(w, "cmdReplaceUrl");
        QVERIFY(driver::waitFor(
            [&] { return list->count() == 2 && list->item(0)->text().contains(u"mine.example"); }));
        click(w, "cmdClose");
      }));
  QVERIFY(rec.calls.isEmpty());
  QVERIFY(save());
  QByteArray expected = page;
  expected.replace("http://old.example/pay", "https://mine.example/pay");
  QCOMPARE(saved(), expected);
  QVERIFY(browser_->session()->lastSaveWay().minimal);
}

void EditorLinksTest::imageFromOutsideIsCopiedBesideThePage() {
  QTemporaryDir elsewhere;
  const QString picture = elsewhere.filePath(QStringLiteral("my cover.png"));
  testfiles::write(picture, kPng);
  // The name is taken beside the page: the copy gets a free one.
  testfiles::write(dir_->filePath(QStringLiteral("my cover.png")), "someone else's");
  QVERIFY(edit());
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, QStringLiteral("img"));
  QVERIFY(menu);
  QVERIFY(editordriver::withWindow(
      menu_, "frmImage",
      [menu] {
        menu->findChild<QAction*>(QStringLiteral("mnuImage"))->trigger();
        menu->close();
      },
      [&](QDialog* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Image"));
        QCOMPARE(child<QLineEdit>(w, "txtImageFile")->text(), QStringLiteral("cover.png"));
        QCOMPARE(child<QLineEdit>(w, "txtAlt")->text(), QStringLiteral("Cover"));
        QCOMPARE(child<QLineEdit>(w, "txtWidth")->text(), QStringLiteral("10"));
        child<QLineEdit>(w, "txtImageFile")->setText(picture);
        child<QLineEdit>(w, "txtWidth")->clear();
        child<QLineEdit>(w, "txtHeight")->setText(QStringLiteral("20"));
        click(w, "cmdOk");
      }));
  QCOMPARE(testfiles::read(dir_->filePath(QStringLiteral("my cover-2.png"))), kPng);
  QCOMPARE(testfiles::read(dir_->filePath(QStringLiteral("my cover.png"))),
           QByteArray("someone else's"));
  QVERIFY(save());
  QByteArray expected = kPage;
  expected.replace("<img src=\"cover.png\" alt=\"Cover\" width=\"10\">",
                   "<img src=\"my%20cover-2.png\" alt=\"Cover\" height=\"20\">");
  QCOMPARE(saved(), expected);
}

void EditorLinksTest::nonImageRefused() {
  const QString fake = dir_->filePath(QStringLiteral("photo.png"));
  testfiles::write(fake, "<html><script>alert(1)</script></html>");
  QVERIFY(edit());
  MsgBoxRecorder rec;
  editordriver::select(browser_.get(), QStringLiteral("#c"), true);
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, QStringLiteral("#c"));
  QVERIFY(menu);
  QVERIFY(editordriver::withWindow(
      menu_, "frmImage",
      [menu] {
        menu->findChild<QAction*>(QStringLiteral("mnuInsertImage"))->trigger();
        menu->close();
      },
      [&](QDialog* w) {
        for (const QString& chosen : {fake, QStringLiteral("javascript:alert(1)"),
                                      dir_->filePath(QStringLiteral("none.png"))}) {
          child<QLineEdit>(w, "txtImageFile")->setText(chosen);
          click(w, "cmdOk");
          QVERIFY(w->isVisible());
        }
        click(w, "cmdCancel");
      }));
  QCOMPARE(rec.calls.size(), 3);
  QVERIFY(rec.calls[0].prompt.contains(u"is not a picture"));
  QVERIFY(rec.calls[1].prompt.contains(u"\"javascript:\""));
  QVERIFY(rec.calls[2].prompt.contains(u"There is no picture file"));
  QVERIFY(!driver::markup(browser_.get()).contains(u"photo.png"));
}

void EditorLinksTest::insertImageAtCaret() {
  QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("img")));
  testfiles::write(dir_->filePath(QStringLiteral("img/new one.png")), kPng);
  QVERIFY(edit());
  MsgBoxRecorder rec;
  // A right-click puts the caret where it clicked: past the end of #b's text.
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, QStringLiteral("#b"));
  QVERIFY(menu);
  QVERIFY(editordriver::withWindow(
      menu_, "frmImage",
      [menu] {
        menu->findChild<QAction*>(QStringLiteral("mnuInsertImage"))->trigger();
        menu->close();
      },
      [&](QDialog* w) {
        QVERIFY(child<QLineEdit>(w, "txtImageFile")->text().isEmpty());
        child<QLineEdit>(w, "txtImageFile")->setText(dir_->filePath("img/new one.png"));
        child<QLineEdit>(w, "txtAlt")->setText(QStringLiteral("Box \"3D\""));
        click(w, "cmdOk");
      }));
  QVERIFY(rec.calls.isEmpty());
  QVERIFY(save());
  QByteArray expected = kPage;
  expected.replace("</a> end.</p>",
                   "</a> end.<img src=\"img/new%20one.png\" alt=\"Box &quot;3D&quot;\"></p>");
  QCOMPARE(saved(), expected);
}

void EditorLinksTest::viewingMenuNeverLeavesThePage_data() {
  QTest::addColumn<QString>("selector");
  QTest::addColumn<QStringList>("menu");
  QTest::addColumn<QString>("opened");
  const QStringList plain{"mnuCopy", "mnuSelectAll"};
  QTest::newRow("text") << "#c" << plain << "";
  QTest::newRow("web link") << "#w" << (plain + QStringList{"mnuOpenLink"})
                            << "https://web.example/";
  QTest::newRow("script link") << "#j" << plain << "";
  QTest::newRow("link to a local program") << "#f" << plain << "";
}

void EditorLinksTest::viewingMenuNeverLeavesThePage() {
  QFETCH(QString, selector);
  QFETCH(QStringList, menu);
  QFETCH(QString, opened);
  testfiles::write(path_,
                   "<p id=c>Words</p><p><a id=w href='https://web.example/'>web</a> "
                   "<a id=j href='javascript:alert(1)'>js</a> "
                   "<a id=f href='file:///bin/sh'>sh</a></p>");
  QVERIFY(driver::load(browser_.get(), path_));
  QList<QUrl> sent;
  externalopener::setOpener([&](const QUrl& url) { sent << url; });
  QMenu* shown = editordriver::rightClick(browser_.get(), menu_, selector);
  QVERIFY(shown);
  QCOMPARE(editordriver::entries(shown), menu);
  if (QAction* open = shown->findChild<QAction*>(QStringLiteral("mnuOpenLink"))) {
    QCOMPARE(open->text(), QStringLiteral("Open Link in Your Browser"));
    open->trigger();
  }
  shown->close();
  externalopener::setOpener({});
  QCOMPARE(sent.size(), opened.isEmpty() ? 0 : 1);
  if (!opened.isEmpty()) QCOMPARE(sent[0], QUrl(opened));
  QCOMPARE(browser_->LocationPath(), path_);
}

void EditorLinksTest::editingMenuFollowsWhatIsUnderThePointer_data() {
  QTest::addColumn<QString>("selector");
  QTest::addColumn<bool>("selectFirst");
  QTest::addColumn<QStringList>("tail");  // the entries after Underline
  QTest::newRow("text") << "#c" << false << QStringList{"mnuInsertImage"};
  QTest::newRow("selected text") << "#c" << true << QStringList{"mnuMakeLink", "mnuInsertImage"};
  QTest::newRow("link") << "#a a" << false
                        << QStringList{"mnuEditLink", "mnuRemoveLink", "mnuInsertImage"};
  QTest::newRow("picture in a link")
      << "img" << false
      << QStringList{"mnuEditLink", "mnuRemoveLink", "mnuImage", "mnuInsertImage"};
}

void EditorLinksTest::editingMenuFollowsWhatIsUnderThePointer() {
  QFETCH(QString, selector);
  QFETCH(bool, selectFirst);
  QFETCH(QStringList, tail);
  QVERIFY(edit());
  if (selectFirst) editordriver::select(browser_.get(), selector);
  QMenu* menu = editordriver::rightClick(browser_.get(), menu_, selector);
  QVERIFY(menu);
  QStringList names = editordriver::entries(menu);
  menu->close();
  names.removeAll(QStringLiteral("mnuSpellingLanguage"));
  QStringList expected{"mnuCut",  "mnuCopy", "mnuPaste",  "mnuPastePlain", "mnuUndo",
                       "mnuRedo", "mnuBold", "mnuItalic", "mnuUnderline"};
  QCOMPARE(names, expected + tail);
  QCOMPARE(menu_->findChild<QMenu*>(), nullptr);  // nothing of the engine's own
}

void EditorLinksTest::spellingSuggestions() {
  if (menu_->languages().isEmpty())
    QSKIP("no spelling dictionaries (scripts/setup.sh installs hunspell-en-us)");
  QVERIFY(edit("<html lang=en><body><p id=s>A wrold of</p></body></html>"));
  QCOMPARE(menu_->language(),
           menu_->languages().contains("en-US") ? QStringLiteral("en-US") : menu_->language());
  driver::js(browser_.get(),
             "var t=document.querySelector('#s').firstChild,r=document.createRange();"
             "r.setStart(t,2);r.setEnd(t,7);window.__w=r;1");
  // The checker works in the background: ask until it has marked the word.
  QAction* suggestion = nullptr;
  QMenu* menu = nullptr;
  QVERIFY(driver::waitFor(
      [&] {
        const QVariantList rect = driver::js(browser_.get(),
                                             "(function(){var b=window.__w.getBoundingClientRect();"
                                             "return [b.x+b.width/2,b.y+b.height/2];})()")
                                      .toList();
        QSignalSpy shown(menu_, &EditorMenu::menuShown);
        QTest::mouseClick(browser_->view()->focusProxy(), Qt::RightButton, {},
                          QPoint(qRound(rect[0].toDouble()), qRound(rect[1].toDouble())));
        if (!shown.wait(10000)) return false;
        menu = shown.first().first().value<QMenu*>();
        for (QAction* a : menu->findChildren<QAction*>(QStringLiteral("mnuSuggestion")))
          if (a->text() == u"world") suggestion = a;
        if (!suggestion) menu->close();
        return suggestion != nullptr;
      },
      60000));
  suggestion->trigger();
  menu->close();
  QVERIFY(driver::waitFor([&] { return driver::markup(browser_.get()).contains(u"A world of"); }));
}

QV_TEST_MAIN(EditorLinksTest)
#include "editor_links_test.moc"
