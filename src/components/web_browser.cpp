#include "components/web_browser.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "components/engine_parse.h"
#include "components/minimal_save.h"
#include "components/page_limit.h"
#include "components/page_scheme.h"
#include "components/v_file.h"
#include "components/web_page.h"

namespace {

WebBrowser::UrlOpener& opener() {
  static WebBrowser::UrlOpener installed;
  return installed;
}

// The program's own scripts run in a world of their own: they see the page's
// document but the page's scripts cannot see or tamper with them, and they
// run even when the page's scripts are off.
constexpr auto kWorld = QWebEngineScript::ApplicationWorld;

// Any change to the document after it became editable marks it changed:
// typing, pasting, undo, bold and the like all change the DOM.
const QString kEnterDesignMode = QStringLiteral(R"(
(function () {
  if (!window.__quorvaneEdits) {
    var edits = window.__quorvaneEdits = { changed: false };
    new MutationObserver(function () { edits.changed = true; }).observe(document,
        { subtree: true, childList: true, attributes: true, characterData: true });
  }
  document.designMode = 'On';
})())");
const QString kChanged =
    QStringLiteral("!!(window.__quorvaneEdits && window.__quorvaneEdits.changed)");
const QString kForget =
    QStringLiteral("if (window.__quorvaneEdits) window.__quorvaneEdits.changed = false;");
const QString kPageAndCharset = QStringLiteral(
    "({ charset: document.characterSet, markup: document.documentElement ? "
    "document.documentElement.outerHTML : '' })");

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("WebBrowserView"));
  usePage(new WebPage(view_));
  // Files dropped on the preview are meant for the window around it.
  view_->setAcceptDrops(false);
  layout->addWidget(view_);
  connect(view_, &QWebEngineView::loadStarted, this, [this] {
    // A document holding edits refuses every navigation of its own (a meta
    // refresh, a reload): it stays, and so does what is known about it.
    if (page_->holdsEdits || page_->refusedLeave) return;
    // Whatever else starts a load, the document it replaces is gone.
    forgetDocument();
  });
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
    if (page_->holdsEdits && !ok) return;  // the end of such a refused navigation
    if (std::exchange(page_->refusedLeave, false) && !ok) {
      // Only the page's attempt to leave failed; the page itself is shown,
      // and may have been reported already.
      if (documentOk_) return;
      ok = true;
    }
    documentOk_ = ok && !pagescheme::pathOf(page_->url()).isEmpty();
    if (std::exchange(designAfterLoad_, false) && documentOk_) setDesignMode(QStringLiteral("On"));
    emit DownloadComplete();
  });
  // Preview in the default browser; the main window's shortcut list promises it.
  auto* preview = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this);
  preview->setContext(Qt::WindowShortcut);
  connect(preview, &QShortcut::activated, this, &WebBrowser::openShownPageExternally);
}

WebBrowser::~WebBrowser() {
  // Script callbacks still pending run as the page goes: let them find the
  // browser whole and know it is going, rather than half destroyed.
  destroying_ = true;
  delete view_;
}

bool WebBrowser::Silent() const { return page_->silent; }

void WebBrowser::setSilent(bool silent) { page_->silent = silent; }

void WebBrowser::Navigate2(const QString& path) {
  if (path.isEmpty()) return;
  // A request made while the user is being asked replaces any earlier one.
  pendingPath_ = path;
  if (leaving_) return;
  if (!tracked_) {
    startLoad(pagescheme::urlOf(std::exchange(pendingPath_, {})), pageScripts_);
    return;
  }
  leaving_ = true;
  offerSave(MsgButtons::SaveDiscard, [this](Leave leave) {
    leaving_ = false;
    const QString next = std::exchange(pendingPath_, {});
    if (leave == Leave::Go && !next.isEmpty()) startLoad(pagescheme::urlOf(next), pageScripts_);
  });
}

void WebBrowser::forgetDocument() {
  tracked_ = false;
  page_->holdsEdits = false;
  documentOk_ = false;
  traits_.reset();
  fileBytes_.reset();
  markupBefore_.reset();
}

void WebBrowser::usePage(WebPage* page) {
  page_ = page;
  // A renderer that died took the document and its edits with it; what is
  // shown now is nothing anyone could save or leave with a question.
  connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
    tracked_ = false;
    page_->holdsEdits = false;
    documentOk_ = false;
    leaving_ = false;
  });
  view_->setPage(page_);
}

void WebBrowser::startLoad(const QUrl& url, bool scripts) {
  // A page's script may never end, and its renderer then takes no other
  // load. A load without scripts (the editor's) after a document whose
  // scripts ran gets a page of its own, and with it a renderer of its own;
  // the old page goes, and its renderer with it.
  if (documentScripts_ && !scripts && !page_->url().isEmpty()) {
    WebPage* old = page_;
    usePage(new WebPage(view_));
    page_->silent = old->silent;
    old->deleteLater();
  }
  forgetDocument();
  documentScripts_ = scripts;
  page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scripts);
  const QString path = pagescheme::pathOf(url);
  if (const Status shown = pagelimit::showable(path); !shown && QFileInfo::exists(path)) {
    // A page too big for the engine (it would take minutes and gigabytes,
    // then likely die), a pipe or a device: a note stands in for the page,
    // which is no file and so cannot be edited or saved.
    const QString name = QFileInfo(path).fileName().toHtmlEscaped();
    page_->setHtml(
        QStringLiteral("<p style=\"font: 10pt sans-serif\">%1</p>")
            .arg(pagelimit::tooLarge(path)
                     ? QStringLiteral("%1 is not shown: %2.").arg(name, shown.why().toHtmlEscaped())
                     : QStringLiteral("Could not read %1: %2.")
                           .arg(name, shown.why().toHtmlEscaped())));
    return;
  }
  view_->load(url);
}

QString WebBrowser::LocationPath() const { return pagescheme::pathOf(page_->url()); }

void WebBrowser::setDesignMode(const QString& value) {
  if (value != u"On") {
    // Edits made so far stay watched: the document still holds them.
    page_->runJavaScript(QStringLiteral("document.designMode = 'off';"), kWorld);
    return;
  }
  // An error page or an empty view has nothing of the user's to edit.
  if (!documentOk_) return;
  if (documentScripts_) {
    designAfterLoad_ = true;
    startLoad(page_->url(), false);
    return;
  }
  if (!tracked_) {
    editedPath_ = LocationPath();
    fileTraits();
    tracked_ = true;
    page_->holdsEdits = true;
    // The markup before any edit: run before design mode is on, so before
    // the user can type anything.
    markupBefore_.reset();
    const int session = ++editSession_;
    QPointer<WebBrowser> self(this);
    page_->runJavaScript(kPageAndCharset, kWorld, [self, session](const QVariant& v) {
      if (!self || self->destroying_ || self->editSession_ != session || !self->tracked_) return;
      const QVariantMap page = v.toMap();
      self->markupBefore_ = page.value(QStringLiteral("markup")).toString();
      self->charsetBefore_ = page.value(QStringLiteral("charset")).toString();
    });
  }
  page_->runJavaScript(kEnterDesignMode, kWorld);
}

void WebBrowser::readDesignMode(std::function<void(const QString&)> done) const {
  page_->runJavaScript(QStringLiteral("document.designMode"), kWorld,
                       [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

void WebBrowser::setPageScripts(bool on) { pageScripts_ = on; }

void WebBrowser::readMarkup(std::function<void(const QString&)> done) const {
  page_->runJavaScript(
      QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"), kWorld,
      [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

const pagetext::FileTraits& WebBrowser::fileTraits() {
  if (!traits_) {
    // Read when the document becomes editable: the doctype and the bytes
    // the document was made from, not what the file holds by the time of saving.
    QByteArray bytes;
    if (vFile::LoadBytes(bytes, LocationPath())) {
      fileBytes_ = std::move(bytes);
      traits_ = pagetext::traitsOf(*fileBytes_);
    } else {
      fileBytes_.reset();
      traits_ = pagetext::FileTraits{};
    }
  }
  return *traits_;
}

void WebBrowser::readDocument(DocumentDone done) {
  if (!documentOk_) {
    done(Status::failure(QStringLiteral("the page is not open in the browser")), {}, {});
    return;
  }
  page_->runJavaScript(kPageAndCharset, kWorld, [done = std::move(done)](const QVariant& v) {
    const QVariantMap page = v.toMap();
    const QString markup = page.value(QStringLiteral("markup")).toString();
    if (markup.isEmpty()) {
      done(Status::failure(QStringLiteral("the browser holds no document")), {}, {});
      return;
    }
    done(Status::success(), markup, page.value(QStringLiteral("charset")).toString());
  });
}

void WebBrowser::readPageText(PageTextDone done) {
  const pagetext::FileTraits traits = fileTraits();
  readDocument([traits, done = std::move(done)](const Status& read, const QString& markup,
                                                const QString& charset) {
    if (!read) {
      done(read, TextBuffer{});
      return;
    }
    const auto bytes = pagetext::savedBytes(traits, markup, charset);
    if (!bytes) {
      done(Status::failure(QStringLiteral("its character set (%1) cannot be written").arg(charset)),
           TextBuffer{});
      return;
    }
    done(Status::success(), vFile::decode(*bytes));
  });
}

void WebBrowser::readChanged(std::function<void(bool)> done) const {
  if (!tracked_) {
    done(false);
    return;
  }
  page_->runJavaScript(kChanged, kWorld,
                       [done = std::move(done)](const QVariant& v) { done(v.toBool()); });
}

void WebBrowser::forgetEdits() {
  if (tracked_) page_->runJavaScript(kForget, kWorld);
}

void WebBrowser::offerSave(MsgButtons buttons, std::function<void(Leave)> done) {
  QPointer<WebBrowser> self(this);
  readChanged([self, buttons, done = std::move(done)](bool changed) {
    if (!self || self->destroying_) return;
    if (!changed) {
      done(Leave::Go);
      return;
    }
    const QString path = self->editedPath_;
    const MsgAnswer answer =
        MsgBox(QStringLiteral("Save changes to %1?").arg(QFileInfo(path).fileName()), buttons,
               MsgIcon::Question, QStringLiteral("Save"), self->window());
    if (!self) return;
    if (answer == MsgAnswer::Discard) {
      done(Leave::Go);
    } else if (answer == MsgAnswer::Cancel) {
      done(Leave::Stay);
    } else {
      self->saveTo(path, [done](bool saved) { done(saved ? Leave::Go : Leave::Stay); });
    }
  });
}

void WebBrowser::saveTo(const QString& path, std::function<void(bool saved)> done) {
  QPointer<WebBrowser> self(this);
  fileTraits();
  readDocument([self, path, done = std::move(done)](const Status& read, const QString& markup,
                                                    const QString& charset) {
    if (!self || self->destroying_) return;
    if (!read) {
      FileErrorMsg(QStringLiteral("save"), path, read.why(), self->window());
      emit self->EditsKept();
      done(false);
      return;
    }
    if (self->changedOnDisk(path)) {
      const MsgAnswer answer =
          MsgBox(QStringLiteral("%1 was changed by another program since you "
                                "began editing. Overwrite it with your edits?")
                     .arg(QFileInfo(path).fileName()),
                 MsgButtons::YesNo, MsgIcon::Warning, QStringLiteral("Save"), self->window());
      if (!self) return;
      if (answer != MsgAnswer::Yes) {
        emit self->EditsKept();
        done(false);
        return;
      }
    }
    self->writeEdits(path, markup, charset, done);
  });
}

bool WebBrowser::changedOnDisk(const QString& path) const {
  if (!fileBytes_) return false;
  QByteArray now;
  // A file that cannot be read now is for the write to report.
  if (!QFileInfo(path).isFile() || !vFile::LoadBytes(now, path)) return false;
  return now != *fileBytes_;
}

void WebBrowser::writeEdits(const QString& path, const QString& markup, const QString& charset,
                            std::function<void(bool saved)> done) {
  const pagetext::FileTraits& traits = fileTraits();
  const std::optional<QByteArray> whole = pagetext::savedBytes(traits, markup, charset);
  if (!whole) {
    FileErrorMsg(QStringLiteral("save"), path,
                 QStringLiteral("its character set (%1) cannot be written").arg(charset), window());
    emit EditsKept();
    done(false);
    return;
  }
  const auto writeWhole = [this, path, markup, whole, done](const QString& why) {
    writeBytes(path, *whole, markup, SaveWay{false, why}, done);
  };
  if (!fileBytes_ || !markupBefore_) {
    writeWhole(QStringLiteral("the page as it was before editing is not known"));
    return;
  }
  if (charsetBefore_ != charset) {
    writeWhole(QStringLiteral("the page's character set changed while editing"));
    return;
  }
  const minimalsave::Patch patch =
      minimalsave::patch(*fileBytes_, *markupBefore_, markup,
                         minimalsave::Spelling{charset, traits.plainAscii, traits.crlf});
  if (!patch.bytes) {
    writeWhole(patch.why);
    return;
  }
  // Nothing is written that the engine would read as another page than the
  // one edited: the whole page is the safe way then.
  QPointer<WebBrowser> self(this);
  const QByteArray bytes = *patch.bytes;
  engineparse::parse(
      bytes, this,
      [self, path, markup, charset, bytes, writeWhole,
       done](std::optional<engineparse::Parsed> parsed) {
        if (!self) return;
        if (!parsed)
          writeWhole(QStringLiteral("the browser could not read the changed file"));
        else if (parsed->charset != charset)
          writeWhole(QStringLiteral("the changed file reads in another character set"));
        else if (parsed->markup != markup)
          writeWhole(QStringLiteral("the changed file reads as another page"));
        else
          self->writeBytes(path, bytes, markup, SaveWay{true, {}}, done);
      });
}

void WebBrowser::writeBytes(const QString& path, const QByteArray& bytes, const QString& markup,
                            SaveWay way, std::function<void(bool saved)> done) {
  if (const Status status = vFile::SaveBytes(bytes, path); !status) {
    FileErrorMsg(QStringLiteral("save"), path, status.why(), window());
    emit EditsKept();
    done(false);
    return;
  }
  lastSaveWay_ = std::move(way);
  // Later saves of the same document start from what is in the file now.
  fileBytes_ = bytes;
  markupBefore_ = markup;
  forgetEdits();
  done(true);
}

void WebBrowser::settleEdits(std::function<void(bool)> done) {
  if (!tracked_) {
    done(true);
    return;
  }
  if (leaving_) {
    done(false);
    return;
  }
  leaving_ = true;
  QPointer<WebBrowser> self(this);
  offerSave(MsgButtons::SaveDiscardCancel, [self, done = std::move(done)](Leave leave) {
    if (!self) return;
    self->leaving_ = false;
    // Saved or discarded: the editor shows the file again, so discarded
    // edits cannot come back with a later save, and no reload asks again.
    if (leave == Leave::Go)
      self->startLoad(pagescheme::urlOf(self->editedPath_), self->pageScripts_);
    done(leave == Leave::Go);
  });
}

bool WebBrowser::readyToClose(std::function<void()> closeAgain) {
  if (closeApproved_ || !tracked_) return true;
  if (leaving_) return false;
  leaving_ = true;
  QPointer<WebBrowser> self(this);
  offerSave(MsgButtons::SaveDiscardCancel, [self, closeAgain = std::move(closeAgain)](Leave leave) {
    if (!self) return;
    self->leaving_ = false;
    if (leave == Leave::Stay) return;
    self->closeApproved_ = true;
    closeAgain();
    if (self) self->closeApproved_ = false;
  });
  return false;
}

void WebBrowser::openShownPageExternally() {
  const QString path = LocationPath();
  if (!path.isEmpty()) openExternally(QUrl::fromLocalFile(path));
}

void WebBrowser::setExternalOpener(UrlOpener o) { opener() = std::move(o); }

void WebBrowser::openExternally(const QUrl& url) {
  if (opener())
    opener()(url);
  else
    QDesktopServices::openUrl(url);
}
