#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <csignal>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "editor/unsaved_keeper.h"
#include "editor/web_browser.h"
#include "engine/external_opener.h"
#include "support/browser_driver.h"
#include "support/msg_box_recorder.h"
#include "support/test_files.h"
#include "support/test_main.h"

namespace {

const QByteArray kPage =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n"
    "<html><head><title>Sales</title></head>\n"
    "<body><p id=\"first\">Hello</p><p id=\"second\">World</p></body>\n</html>\n";

// Changes itself while loading and keeps changing afterwards.
const QByteArray kScriptedPage =
    "<!DOCTYPE html>\n<html><head><title>s</title>"
    "<script>document.write('<p id=\"written\">by script</p>');</script></head>"
    "<body><p id=\"first\">Hello</p>"
    "<script>document.body.setAttribute('data-counter', '1');"
    "setInterval(function () { document.getElementById('first').title = Date.now(); }, 5);"
    "</script></body></html>";

// text in UTF-16 with its byte order mark.
QByteArray utf16(const QString& text, bool little) {
  QByteArray out = little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
  for (const QChar c : text) {
    const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
    out.append(little ? lo : hi).append(little ? hi : lo);
  }
  return out;
}

}  // namespace

class WebBrowserEditTest final : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void scriptOutputNeverEdited_data();
  void scriptOutputNeverEdited();
  void leavingAsks_data();
  void leavingAsks();
  void failedSaveKeepsEdits_data();
  void failedSaveKeepsEdits();
  void errorPageNotEditable();
  void editKeys_data();
  void editKeys();
  void ctrlNOpensShownPage();
  void charsetKept_data();
  void charsetKept();
  void pageNavigationKeepsEdits();
  void minimalSave_data();
  void minimalSave();
  void authorSpacesKept_data();
  void authorSpacesKept();
  void changedOnDisk_data();
  void changedOnDisk();
  void toolSettlingAsksNothingMore();
  void renderersOnlyForEdits();
  void preparedEditLoad_data();
  void preparedEditLoad();
  void deadSpareNotTaken();

 private:
  QString write(const QString& name, const QByteArray& bytes);
  // Shown, editable browser holding path, as the main window makes it.
  bool edit(const QString& path);
  // Leaves the edited page answering Save, as the main window's normal method does.
  // Saves by loading another page, or to (the same page again, as the main window does).
  bool saveByLeaving(MsgAnswer onChangedFile = MsgAnswer::Yes, const QString& to = {});

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<WebBrowser> browser_;
};

void WebBrowserEditTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  browser_ = std::make_unique<WebBrowser>();
  browser_->setSilent(true);
  browser_->resize(800, 600);
  browser_->show();
}

QString WebBrowserEditTest::write(const QString& name, const QByteArray& bytes) {
  const QString path = dir_->filePath(name);
  testfiles::write(path, bytes);
  return path;
}

bool WebBrowserEditTest::edit(const QString& path) {
  browser_->state()->setEditing(true);
  if (!driver::load(browser_.get(), path)) return false;
  browser_->setDesignMode(QStringLiteral("On"));
  return driver::designMode(browser_.get()) == u"on";
}

void WebBrowserEditTest::scriptOutputNeverEdited_data() {
  QTest::addColumn<bool>("scriptsOffBeforeLoad");
  QTest::newRow("editing load without scripts") << true;
  QTest::newRow("page whose scripts ran is reloaded without them") << false;
}

void WebBrowserEditTest::scriptOutputNeverEdited() {
  QFETCH(bool, scriptsOffBeforeLoad);
  const QString path = write(QStringLiteral("scripted.html"), kScriptedPage);
  browser_->state()->setEditing(scriptsOffBeforeLoad);
  QVERIFY(driver::load(browser_.get(), path));
  if (!scriptsOffBeforeLoad) QVERIFY(driver::markup(browser_.get()).contains("by script"));
  QSignalSpy loads(browser_.get(), &WebBrowser::DownloadComplete);
  browser_->setDesignMode(QStringLiteral("On"));
  if (!scriptsOffBeforeLoad) QVERIFY(loads.wait(30000));
  QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));
  QCOMPARE(driver::js(browser_.get(),
                      QStringLiteral("[!!document.getElementById('written'),"
                                     " document.body.hasAttribute('data-counter'),"
                                     " document.getElementById('first').hasAttribute('title')]"
                                     ".join()")),
           QVariant(QStringLiteral("false,false,false")));
  bool changed = true;
  browser_->session()->readChanged([&](bool c) { changed = c; });
  QVERIFY(driver::waitFor([&] { return !changed; }));
}

void WebBrowserEditTest::leavingAsks_data() {
  QTest::addColumn<bool>("typed");
  QTest::addColumn<MsgAnswer>("answer");
  QTest::addColumn<bool>("fileChanged");
  QTest::newRow("unchanged document asks nothing") << false << MsgAnswer::Save << false;
  QTest::newRow("save writes the file it came from") << true << MsgAnswer::Save << true;
  QTest::newRow("discard leaves the file") << true << MsgAnswer::Discard << false;
}

void WebBrowserEditTest::leavingAsks() {
  QFETCH(bool, typed);
  QFETCH(MsgAnswer, answer);
  QFETCH(bool, fileChanged);
  const QString path = write(QStringLiteral("sales.htm"), kPage);
  const QString other = write(QStringLiteral("other.htm"), "<p>other</p>");
  QVERIFY(edit(path));
  if (typed) QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));

  MsgBoxRecorder rec(answer);
  QVERIFY(driver::load(browser_.get(), other));
  QCOMPARE(browser_->LocationPath(), other);
  QCOMPARE(rec.calls.size(), typed ? 1 : 0);
  if (typed) {
    QCOMPARE(rec.calls[0].prompt, QStringLiteral("Save changes to sales.htm?"));
    QCOMPARE(rec.calls[0].buttons, MsgButtons::SaveDiscard);
  }
  const QByteArray bytes = testfiles::read(path);
  QCOMPARE(bytes != kPage, fileChanged);
  if (fileChanged) {
    QVERIFY(bytes.startsWith("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html>"));
    QVERIFY(bytes.contains("<p id=\"first\">Hellozebra</p>"));
    QVERIFY(bytes.contains("<p id=\"second\">World</p>"));
  }
}

void WebBrowserEditTest::failedSaveKeepsEdits_data() {
  QTest::addColumn<bool>("same");
  QTest::newRow("leaving for another page") << false;
  QTest::newRow("showing the page again") << true;
}

void WebBrowserEditTest::failedSaveKeepsEdits() {
  QFETCH(bool, same);
  const QString path = write(QStringLiteral("locked.htm"), kPage);
  const QString other = same ? path : write(QStringLiteral("other.htm"), "<p>other</p>");
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  // The file became a folder: no user, not even root, can save over that.
  QVERIFY(QFile::remove(path));
  QVERIFY(QDir().mkdir(path));

  MsgBoxRecorder rec(MsgAnswer::Save);
  QSignalSpy kept(browser_.get(), &WebBrowser::EditsKept);
  browser_->Navigate2(other);
  QVERIFY(kept.wait(15000));
  QCOMPARE(rec.calls.size(), 2);
  QCOMPARE(rec.calls[1].title, QStringLiteral("File Error"));
  QVERIFY(rec.calls[1].prompt.startsWith("Could not save locked.htm: it is a folder, not a file."));
  QCOMPARE(browser_->LocationPath(), path);
  QVERIFY(driver::markup(browser_.get()).contains("Hellozebra"));
  QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));

  // Once the file can be written, the same edits are saved.
  QVERIFY(QDir().rmdir(path));
  rec.calls.clear();
  QVERIFY(driver::load(browser_.get(), other));
  QVERIFY(testfiles::read(path).contains("Hellozebra"));
  QCOMPARE(browser_->LocationPath(), other);
}

void WebBrowserEditTest::errorPageNotEditable() {
  MsgBoxRecorder rec(MsgAnswer::Save);
  QVERIFY(edit(dir_->filePath(QStringLiteral("missing.htm"))) == false);
  QVERIFY(driver::load(browser_.get(), write(QStringLiteral("a.htm"), kPage)));
  QVERIFY(rec.calls.isEmpty());
  QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("missing.htm"))));
}

void WebBrowserEditTest::editKeys_data() {
  QTest::addColumn<QKeySequence>("keys");
  QTest::addColumn<QString>("expected");
  QTest::newRow("Ctrl+B bold") << QKeySequence(QStringLiteral("Ctrl+B"))
                               << QStringLiteral("<b>Hello</b>");
  QTest::newRow("Ctrl+I italics") << QKeySequence(QStringLiteral("Ctrl+I"))
                                  << QStringLiteral("<i>Hello</i>");
  QTest::newRow("Ctrl+U underline")
      << QKeySequence(QStringLiteral("Ctrl+U")) << QStringLiteral("<u>Hello</u>");
  QTest::newRow("Ctrl+V paste") << QKeySequence(QStringLiteral("Ctrl+V"))
                                << QStringLiteral("<p id=\"first\">pasted</p>");
  QTest::newRow("Ctrl+Z undo") << QKeySequence(QStringLiteral("Ctrl+Z"))
                               << QStringLiteral("<p id=\"first\">Hello</p>");
}

void WebBrowserEditTest::editKeys() {
  QFETCH(QKeySequence, keys);
  QFETCH(QString, expected);
  QVERIFY(edit(write(QStringLiteral("keys.htm"), kPage)));
  if (keys == QKeySequence(QStringLiteral("Ctrl+Z")))
    QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  QApplication::clipboard()->setText(QStringLiteral("pasted"));
  // The word "Hello" selected, as a user would before pressing a key.
  driver::js(browser_.get(),
             QStringLiteral("var r = document.createRange();"
                            "r.selectNodeContents(document.getElementById('first'));"
                            "getSelection().removeAllRanges(); getSelection().addRange(r);"));
  if (keys == QKeySequence(QStringLiteral("Ctrl+Z")))
    driver::js(browser_.get(), QStringLiteral("getSelection().collapseToEnd()"));
  QTest::keySequence(browser_->view()->focusProxy(), keys);
  QVERIFY2(driver::waitFor([&] { return driver::markup(browser_.get()).contains(expected); }),
           qPrintable(driver::markup(browser_.get())));
}

void WebBrowserEditTest::ctrlNOpensShownPage() {
  QList<QUrl> opened;
  externalopener::setOpener([&](const QUrl& url) { opened << url; });
  const QString path = write(QStringLiteral("shown.htm"), kPage);
  QVERIFY(edit(path));
  browser_->view()->setFocus();
  QTest::keySequence(browser_->view()->focusProxy(), QKeySequence(QStringLiteral("Ctrl+N")));
  externalopener::setOpener({});
  QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(path)});
}

void WebBrowserEditTest::charsetKept_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("start");
  QTest::addColumn<QByteArray>("saved");
  QTest::newRow("windows-1252 stays windows-1252")
      << QByteArray(
             "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"></head>"
             "<body><p>caf\xE9 \x93q\x94</p></body></html>")
      << QByteArray("<!DOCTYPE html>\n<html>") << QByteArray("caf\xE9 \x93q\x94\x80&#9731;</p>");
  QTest::newRow("utf-8 byte order mark stays")
      << QByteArray("\xEF\xBB\xBF<!doctype html>\n<html><body><p>caf\xC3\xA9</p></body></html>")
      << QByteArray("\xEF\xBB\xBF<!doctype html>\n<html>")
      << QByteArray("caf\xC3\xA9\xE2\x82\xAC\xE2\x98\x83</p>");
  QTest::newRow("undeclared ascii page stays ascii")
      << QByteArray("<html><body><p>cafe</p></body></html>") << QByteArray("<html>")
      << QByteArray("cafe&#8364;&#9731;</p>");
}

void WebBrowserEditTest::charsetKept() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, start);
  QFETCH(QByteArray, saved);
  const QString path = write(QStringLiteral("charset.htm"), file);
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("p"), QStringLiteral("\u20AC\u2603")));
  MsgBoxRecorder rec(MsgAnswer::Save);
  QVERIFY(driver::load(browser_.get(), write(QStringLiteral("next.htm"), "<p>next</p>")));
  const QByteArray bytes = testfiles::read(path);
  QVERIFY2(bytes.startsWith(start), bytes.constData());
  QVERIFY2(bytes.contains(saved), bytes.constData());
}

// A page that refreshes itself must not take the edits with it, nor make
// the browser forget that it holds them.
void WebBrowserEditTest::pageNavigationKeepsEdits() {
  write("other.htm", "<p>other</p>");
  const QString path = write("refresh.htm",
                             "<html><head><meta http-equiv=\"refresh\" content=\"1;url=other.htm\">"
                             "</head><body><p id=\"first\">Hello</p></body></html>");
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), "#first", " there"));
  QSignalSpy finished(browser_->view(), &QWebEngineView::loadFinished);
  QVERIFY(finished.wait(20000));  // the refused refresh
  QVERIFY(browser_->state()->holdsEdit());
  QCOMPARE(browser_->LocationPath(), path);
  QVERIFY(driver::markup(browser_.get()).contains("Hello there"));

  MsgBoxRecorder rec(MsgAnswer::Save);
  QVERIFY(driver::load(browser_.get(), write("next.htm", "<p>next</p>")));
  QCOMPARE(rec.calls.size(), 1);
  QVERIFY(testfiles::read(path).contains("Hello there"));
}

bool WebBrowserEditTest::saveByLeaving(MsgAnswer onChangedFile, const QString& to) {
  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Save, onChangedFile});
  return driver::load(browser_.get(),
                      to.isEmpty() ? write(QStringLiteral("next.htm"), "<p>next</p>") : to);
}

void WebBrowserEditTest::minimalSave_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QByteArray>("expected");  // empty: the whole page is written
  QTest::addColumn<QString>("why");
  // The editor drops the collapsible line break it typed over; nothing else changes.
  QTest::newRow("only the typed word changes the file")
      << QByteArray(
             "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<HTML><HEAD>\r\n"
             "<TITLE>Sales</TITLE>\r\n<BODY BGCOLOR=white>\r\n<P ID=first>Hello &amp; "
             "welcome\r\n<P>World</P>\r\n</BODY></HTML>\r\n")
      << QByteArray(
             "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\r\n<HTML><HEAD>\r\n"
             "<TITLE>Sales</TITLE>\r\n<BODY BGCOLOR=white>\r\n<P ID=first>Hello &amp; "
             "welcomezebra<P>World</P>\r\n</BODY></HTML>\r\n")
      << QString();
  // The same text thrice; only the first tag, read by what it is, tells them apart.
  QTest::newRow("tags spelled otherwise still place the change")
      << QByteArray("<P id=first>Same</P><P id=x>Same</P><P id=x>Same</P>")
      << QByteArray("<P id=first>Samezebra</P><P id=x>Same</P><P id=x>Same</P>") << QString();
  // The text typed after stands, spelled alike, only in the title: the change
  // would land there, and reading the result shows it.
  QTest::newRow("a wrong place is caught before writing: whole page")
      << QByteArray("<title>Hello</title><p id=first>Hell&#111;</P>") << QByteArray()
      << QStringLiteral("the changed file reads as another page");
  for (const bool little : {true, false})
    QTest::addRow("UTF-16 %s: only the typed word, in its byte order", little ? "LE" : "BE")
        << utf16(QStringLiteral("<HTML><BODY>\r\n<P ID=first>H\u00E9llo</P>\r\n</BODY></HTML>\r\n"),
                 little)
        << utf16(QStringLiteral(
                     "<HTML><BODY>\r\n<P ID=first>H\u00E9llozebra</P>\r\n</BODY></HTML>\r\n"),
                 little)
        << QString();
}

void WebBrowserEditTest::minimalSave() {
  QFETCH(QByteArray, file);
  QFETCH(QByteArray, expected);
  QFETCH(QString, why);
  const QString path = write(QStringLiteral("sales.htm"), file);
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  const QString edited = driver::markup(browser_.get());
  // The page is shown again as the file now holds it, also where the bytes
  // first meant for it were read as another page.
  QVERIFY(saveByLeaving(MsgAnswer::Yes, path));
  const QString shown = driver::markup(browser_.get());
  const QByteArray bytes = testfiles::read(path);
  QCOMPARE(browser_->session()->lastSaveWay().why, why);
  QCOMPARE(browser_->session()->lastSaveWay().minimal, !expected.isEmpty());
  QVERIFY(driver::load(browser_.get(), path));
  QCOMPARE(shown, driver::markup(browser_.get()));
  if (!expected.isEmpty()) {
    QCOMPARE(bytes, expected);
    return;
  }
  // The whole page, as the engine held it with the edit.
  QCOMPARE(shown, edited);
}

void WebBrowserEditTest::authorSpacesKept_data() {
  QTest::addColumn<int>("caret");  // in the paragraph's text
  QTest::addColumn<QByteArray>("expected");
  const QByteArray page = "<P ID=first>Price:&nbsp;ten&nbsp;dollars</P>\r\n";
  QTest::newRow("typed after an &nbsp;")
      << 7 << QByteArray(page).replace("&nbsp;ten", "&nbsp;Xten");
  QTest::newRow("typed before an &nbsp;") << 6 << QByteArray(page).replace(":&nbsp;", ":X&nbsp;");
  QTest::newRow("typed between two") << 10 << QByteArray(page).replace("ten&nbsp;", "tenX&nbsp;");
}

// The editor turns the author's &nbsp; next to typed text into a space
// where it looks the same; the file keeps the author's.
void WebBrowserEditTest::authorSpacesKept() {
  QFETCH(int, caret);
  QFETCH(QByteArray, expected);
  const QString path =
      write(QStringLiteral("price.htm"), "<P ID=first>Price:&nbsp;ten&nbsp;dollars</P>\r\n");
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), QString()));
  driver::js(browser_.get(),
             QStringLiteral("(function () { var t = document.getElementById('first').firstChild;"
                            " getSelection().collapse(t, %1); })()")
                 .arg(caret));
  QTest::keyClicks(browser_->view()->focusProxy(), QStringLiteral("X"));
  QVERIFY(driver::waitFor([&] { return driver::markup(browser_.get()).contains(u'X'); }));
  QVERIFY(saveByLeaving(MsgAnswer::Yes, path));
  QCOMPARE(testfiles::read(path), expected);
  QVERIFY(browser_->session()->lastSaveWay().minimal);
}

void WebBrowserEditTest::changedOnDisk_data() {
  QTest::addColumn<MsgAnswer>("answer");
  QTest::addColumn<bool>("overwritten");
  QTest::newRow("yes writes the edits over the other program's") << MsgAnswer::Yes << true;
  QTest::newRow("no keeps both, still editing") << MsgAnswer::No << false;
}

void WebBrowserEditTest::changedOnDisk() {
  QFETCH(MsgAnswer, answer);
  QFETCH(bool, overwritten);
  const QString path = write(QStringLiteral("index.html"), kPage);
  const QString other = write(QStringLiteral("other.htm"), "<p>other</p>");
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  const QByteArray theirs = QByteArray(kPage).replace("World", "Their world");
  testfiles::write(path, theirs);

  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Save, answer});
  QSignalSpy kept(browser_.get(), &WebBrowser::EditsKept);
  QSignalSpy loaded(browser_.get(), &WebBrowser::DownloadComplete);
  browser_->Navigate2(other);
  QVERIFY(overwritten ? loaded.wait(30000) : kept.wait(30000));
  QCOMPARE(rec.calls.size(), 2);
  QCOMPARE(rec.calls[1].prompt,
           QStringLiteral("index.html was changed by another program since you began editing. "
                          "Overwrite it with your edits?"));
  QCOMPARE(rec.calls[1].buttons, MsgButtons::YesNo);
  const QByteArray bytes = testfiles::read(path);
  if (overwritten) {
    QVERIFY(bytes.contains("Hellozebra"));
    QVERIFY(!bytes.contains("Their world"));
    QCOMPARE(browser_->LocationPath(), other);
    return;
  }
  QCOMPARE(bytes, theirs);
  QCOMPARE(browser_->LocationPath(), path);
  QVERIFY(browser_->state()->holdsEdit());
  QVERIFY(driver::markup(browser_.get()).contains("Hellozebra"));
  QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));
}

// A tool that settles the edits and then rewrites the file, and a second
// save in the same editing, are the program's own writes: no question.
void WebBrowserEditTest::toolSettlingAsksNothingMore() {
  const QString path = write(QStringLiteral("sales.htm"), kPage);
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  MsgBoxRecorder rec;
  rec.queue({MsgAnswer::Save});
  bool proceed = false;
  QSignalSpy loaded(browser_.get(), &WebBrowser::DownloadComplete);
  browser_->session()->settleEdits([&](bool go) {
    proceed = go;
    // The tool's rewrite, as Insert Code makes it.
    testfiles::write(path, testfiles::read(path).replace("</head>", "<meta name=x></head>"));
  });
  QVERIFY(driver::waitFor([&] { return proceed; }));
  QVERIFY(!loaded.isEmpty() || loaded.wait(30000));
  QCOMPARE(rec.calls.size(), 1);
  browser_->setDesignMode(QStringLiteral("On"));
  QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#second"), "lion"));
  rec.queue({MsgAnswer::Save});
  QVERIFY(driver::load(browser_.get(), write(QStringLiteral("next.htm"), "<p>next</p>")));
  QCOMPARE(rec.calls.size(), 2);
  QCOMPARE(rec.calls[1].prompt, QStringLiteral("Save changes to sales.htm?"));
  const QByteArray bytes = testfiles::read(path);
  QVERIFY(bytes.contains("Hellozebra</p><p id=\"second\">Worldlion</p>"));
  QVERIFY(bytes.contains("<meta name=x></head>"));
  QVERIFY(browser_->session()->lastSaveWay().minimal);
}

// Renderers of their own: viewing a page adds only the spare for the next
// Edit Page; the save's checker comes with editing and stays for the next.
void WebBrowserEditTest::renderersOnlyForEdits() {
  // The page shown and a spare for the next page opened for editing; the
  // save's checker only once the user edits, kept for the next edit.
  const auto pages = [this] { return browser_->findChildren<QWebEnginePage*>().size(); };
  const QString path = write(QStringLiteral("sales.htm"), kPage);
  QVERIFY(driver::load(browser_.get(), path));
  QVERIFY(driver::waitFor([&] { return pages() == 2; }));
  QVERIFY(edit(path));
  QVERIFY(driver::typeInto(browser_.get(), QStringLiteral("#first"), "zebra"));
  QVERIFY(driver::waitFor([&] { return pages() == 3; }));

  browser_->state()->setEditing(false);
  MsgBoxRecorder rec(MsgAnswer::Save);
  QVERIFY(driver::load(browser_.get(), path));
  QCOMPARE(rec.calls.size(), 1);
  QVERIFY(testfiles::read(path).contains("<p id=\"first\">Hellozebra</p>"));
  QTest::qWait(200);
  QCOMPARE(pages(), 3);
}

// The page viewed is loaded ahead of Edit Page without its scripts; what
// Edit Page then shows is still the file as it is now, and the page itself.
void WebBrowserEditTest::preparedEditLoad_data() {
  QTest::addColumn<QByteArray>("page");
  QTest::addColumn<QByteArray>("written");  // over the file after it is viewed
  QTest::newRow("file written since it was viewed")
      << kPage << QByteArray(kPage).replace("World", "Changed world");
  // Without scripts the page asks to go elsewhere at once.
  QTest::newRow("page that leaves when its scripts are off")
      << QByteArray(kPage).replace("<body>",
                                   "<body><noscript><meta http-equiv=\"refresh\" "
                                   "content=\"0;url=other.htm\"></noscript>")
      << QByteArray();
}

void WebBrowserEditTest::preparedEditLoad() {
  QFETCH(QByteArray, page);
  QFETCH(QByteArray, written);
  write(QStringLiteral("other.htm"), "<p>other</p>");
  const QString path = write(QStringLiteral("sales.htm"), page);
  QVERIFY(driver::load(browser_.get(), path));
  QTest::qWait(1000);  // the spare's load ends meanwhile
  if (!written.isEmpty()) testfiles::write(path, written);
  browser_->state()->setEditing(true);
  QSignalSpy loaded(browser_.get(), &WebBrowser::DownloadComplete);
  browser_->setDesignMode(QStringLiteral("On"));
  QVERIFY(loaded.wait(30000));
  QCOMPARE(driver::designMode(browser_.get()), QStringLiteral("on"));
  QCOMPARE(browser_->LocationPath(), path);
  QVERIFY(driver::markup(browser_.get()).contains(written.isEmpty() ? "World" : "Changed world"));
}

// A spare whose renderer died is not taken for the page it had loaded.
void WebBrowserEditTest::deadSpareNotTaken() {
  const QString path = write(QStringLiteral("sales.htm"), kPage);
  QVERIFY(driver::load(browser_.get(), path));
  QWebEnginePage* spare = nullptr;
  QVERIFY(driver::waitFor([&] {
    for (QWebEnginePage* p : browser_->findChildren<QWebEnginePage*>())
      if (p != browser_->view()->page() && p->url().fileName() == u"sales.htm") spare = p;
    return spare && spare->renderProcessPid() > 0;
  }));
  QVERIFY(spare->renderProcessPid() != browser_->view()->page()->renderProcessPid());
  QSignalSpy died(spare, &QWebEnginePage::renderProcessTerminated);
  ::kill(pid_t(spare->renderProcessPid()), SIGKILL);
  QVERIFY(died.wait(30000));
  browser_->state()->setEditing(true);
  QSignalSpy loaded(browser_.get(), &WebBrowser::DownloadComplete);
  browser_->setDesignMode(QStringLiteral("On"));
  QVERIFY(loaded.wait(30000));
  QVERIFY(driver::waitFor([&] { return driver::designMode(browser_.get()) == u"on"; }));
  QVERIFY(driver::markup(browser_.get()).contains("World"));
}

QV_TEST_MAIN(WebBrowserEditTest)
#include "web_browser_edit_test.moc"
