#include "editor/web_browser.h"

#include <QEvent>
#include <QFileInfo>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "editor/edit_session.h"
#include "editor/editing_state.h"
#include "engine/external_opener.h"
#include "engine/page_scheme.h"
#include "engine/page_scripts.h"
#include "engine/web_page.h"
#include "files/page_limit.h"

namespace {

// How often a document being loaded without scripts is asked whether its
// parsing has ended: the engine has no signal for it.
constexpr int kReadyPollMs = 5;
// Past this a page viewed is not loaded a second time ahead of Edit Page: a
// document takes over a hundred times its size in memory, and the preview
// would grow by more than a third.
constexpr qint64 kPreparedUpTo = 256 * 1024;

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("WebBrowserView"));
  state_ = new EditingState(this);
  session_ = new EditSession(state_, this);
  connect(session_, &EditSession::EditsKept, this, &WebBrowser::EditsKept);
  connect(session_, &EditSession::inputBlocked, this, &WebBrowser::blockInput);
  connect(session_, &EditSession::showAgain, this,
          [this](const QString& path) { startLoad(urlOf(path)); });
  usePage(new WebPage(view_));
  // Files dropped on the preview are meant for the window around it.
  view_->setAcceptDrops(false);
  // The device view follows the state; the windows only ask it.
  connect(state_, &EditingState::changed, this, [this] {
    if (state_->device() != shownDevice_) showDevice();
  });
  readyPoll_ = new QTimer(this);
  readyPoll_->setInterval(kReadyPollMs);
  connect(readyPoll_, &QTimer::timeout, this, &WebBrowser::pollReady);
  connect(view_, &QWebEngineView::loadStarted, this, [this] {
    // A document holding edits refuses every navigation of its own (a meta
    // refresh, a reload): it stays, and so does what is known about it.
    if (state_->holdsEdit() || page_->refusedLeave) return;
    // The zoom of a device view holds for every document shown in it.
    page_->setZoomFactor(fit_.zoom);
    // A load the program asked for is under way already; any other one (the
    // page's own) replaces the document shown.
    forgetDocument();
    if (state_->stage() != EditingState::Stage::Loading) state_->documentReplaced();
  });
  connect(view_, &QWebEngineView::loadFinished, this, &WebBrowser::loadFinished);
  // A device view lays the page out by its viewport tag as soon as its head
  // is in, not only once its last picture has come.
  connect(view_, &QWebEngineView::loadProgress, this, [this] {
    if (state_->stage() == EditingState::Stage::Loading) readViewport();
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
  // Nothing the page does from here on is news to anyone: the windows that
  // listen may be half gone themselves.
  state_->blockSignals(true);
  session_->end();
  blockInput(false);
  delete view_;
}

bool WebBrowser::Silent() const { return page_->silent; }

void WebBrowser::setSilent(bool silent) { page_->silent = silent; }

void WebBrowser::Navigate2(const QString& path) {
  if (path.isEmpty()) return;
  // A request made while the user is being asked replaces any earlier one.
  pendingPath_ = path;
  if (state_->busy()) return;
  if (!state_->holdsEdit()) {
    startLoad(urlOf(std::exchange(pendingPath_, {})));
    return;
  }
  QPointer<WebBrowser> self(this);
  session_->offerSave(MsgButtons::SaveDiscard, [self](EditSession::Leave leave) {
    if (!self || self->destroying_) return;
    const QString next = std::exchange(self->pendingPath_, {});
    if (leave == EditSession::Leave::Go && !next.isEmpty()) self->startLoad(urlOf(next));
  });
}

QUrl WebBrowser::urlOf(const QString& path) { return pagescheme::urlOf(path); }

void WebBrowser::forgetDocument(bool keepCopy) { session_->end(keepCopy); }

void WebBrowser::usePage(WebPage* page) {
  page_ = page;
  page_->holdsEdits = [state = QPointer<EditingState>(state_)] {
    return state && state->holdsEdit();
  };
  // A renderer that died took the document and its edits with it; what is
  // shown now is nothing anyone could save or leave with a question.
  connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this, page] {
    if (page != page_) return;
    // The kept copy of its edits is what is left of them: the next start offers it.
    forgetDocument(true);
    state_->documentLost();
    blockInput(false);
  });
  page_->setZoomFactor(fit_.zoom);
  view_->setPage(page_);
}

WebBrowser::Spare WebBrowser::takeSpare(const QUrl& url) {
  Spare spare = std::exchange(spare_, {});
  if (!spare.page) return {};
  const bool same = spare.url == url;
  // The file viewed is the file to edit only while it is not written since.
  if (same && !spare.waiting && spare.stamp.sameAs(filestamp::of(pagescheme::pathOf(url))))
    return spare;
  // A spare still loading would report that load as this one's, and one
  // holding the file as it was would pass for its new document.
  if (!spare.loaded || same) {
    spare.page->deleteLater();
    return {};
  }
  spare.url = QUrl();
  return spare;
}

void WebBrowser::startLoad(const QUrl& url) {
  const bool scripts = state_->pageScripts();
  // A page's script may never end, and its renderer then takes no other
  // load. A load without scripts (the editor's) after a document whose
  // scripts ran gets a page of its own, and with it a renderer of its own;
  // the old page goes, and its renderer with it.
  // A fresh page also starts from an empty document, so the document whose
  // parsing is watched below is this load's, never the one it replaces.
  Spare spare;
  if (!scripts && !page_->url().isEmpty()) {
    WebPage* old = page_;
    spare = takeSpare(url);
    usePage(spare.page ? spare.page.data() : new WebPage(view_));
    page_->silent = old->silent;
    old->deleteLater();
  }
  forgetDocument();
  page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, scripts);
  const QString path = pagescheme::pathOf(url);
  if (const Status shown = pagelimit::showable(path); !shown && QFileInfo::exists(path)) {
    // A page too big for the engine (it would take minutes and gigabytes,
    // then likely die), a pipe or a device: a note stands in for the page,
    // which is no file and so cannot be edited or saved.
    state_->loadStarted(QUrl(), scripts);
    const QString name = QFileInfo(path).fileName().toHtmlEscaped();
    page_->setHtml(
        QStringLiteral("<p style=\"font: 10pt sans-serif\">%1</p>")
            .arg(pagelimit::tooLarge(path)
                     ? QStringLiteral("%1 is not shown: %2.").arg(name, shown.why().toHtmlEscaped())
                     : QStringLiteral("Could not read %1: %2.")
                           .arg(name, shown.why().toHtmlEscaped())));
    return;
  }
  state_->loadStarted(url, scripts);
  askingReady_ = false;
  if (spare.page && spare.url == url) {
    // Its load is this one: what it told of it is told again, or its end is
    // still to come.
    if (spare.loaded)
      QMetaObject::invokeMethod(
          this,
          [this, load = state_->load(), ok = spare.ok] {
            if (!destroying_ && state_->load() == load) loadFinished(ok);
          },
          Qt::QueuedConnection);
    else
      readyPoll_->start();
    return;
  }
  view_->load(url);
  // The engine says when a load ends, not when its document is parsed: a
  // load without scripts is asked until it is, so it can be edited at once.
  if (scripts)
    readyPoll_->stop();
  else
    readyPoll_->start();
}

void WebBrowser::loadFinished(bool ok) {
  if (state_->holdsEdit() && !ok) return;  // the end of such a refused navigation
  readyPoll_->stop();
  // The page is shown again after a save: it takes input again.
  blockInput(false);
  if (std::exchange(page_->refusedLeave, false) && !ok) {
    // Only the page's attempt to leave failed; the page itself is shown,
    // and may have been reported already.
    if (state_->documentOk()) return;
    ok = true;
  }
  const bool told = state_->stage() == EditingState::Stage::Parsed;
  const bool file = ok && !LocationPath().isEmpty();
  state_->loadEnded(file);
  page_->setZoomFactor(fit_.zoom);
  if (file && !told) documentReady();
  // A page's scripts may have added or changed its viewport tag meanwhile.
  if (file) readViewport();
  // The next page opened for editing starts in a renderer already running:
  // Edit Page waits for no renderer to start, nor, for a page of a usual
  // size, for the page to load.
  const bool prepare =
      file && state_->scriptsRan() && QFileInfo(LocationPath()).size() <= kPreparedUpTo;
  startSpare(prepare ? page_->url() : QUrl());
  emit DownloadComplete();
}

void WebBrowser::startSpare(const QUrl& prepared) {
  if (destroying_) return;
  const FileStamp stamp =
      prepared.isEmpty() ? FileStamp() : filestamp::of(pagescheme::pathOf(prepared));
  if (spare_.page && spare_.url == prepared && (prepared.isEmpty() || spare_.stamp.sameAs(stamp)))
    return;
  const bool ended = spare_.page && spare_.loaded;
  spare_.url = prepared;
  spare_.stamp = stamp;
  spare_.loaded = spare_.ok = false;
  // The spare's renderer is running already: it takes the next document
  // once its last load has ended, so that load's end is not taken for it.
  if (ended) {
    loadSpare();
    return;
  }
  if (spare_.page) {
    spare_.waiting = true;
    return;
  }
  spare_.page = new WebPage(view_);
  spare_.page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  connect(spare_.page, &QWebEnginePage::loadFinished, this, [this, page = spare_.page](bool ok) {
    if (page != spare_.page || spare_.loaded) return;
    if (std::exchange(spare_.waiting, false)) {
      loadSpare();
      return;
    }
    spare_.loaded = true;
    spare_.ok = ok;
  });
  // A spare whose renderer died holds nothing a load could be told from.
  connect(spare_.page, &QWebEnginePage::renderProcessTerminated, this, [this, page = spare_.page] {
    if (page != spare_.page) return;
    page->deleteLater();
    spare_ = {};
  });
  loadSpare();
}

void WebBrowser::loadSpare() {
  // Its document is the file's alone: a refresh or a redirect it asks for
  // on its own is refused.
  spare_.page->holdsEdits = [asked = false]() mutable { return std::exchange(asked, true); };
  // An empty document assigns the renderer to no site, so any page may load in it.
  spare_.page->load(spare_.url.isEmpty() ? QUrl(QStringLiteral("about:blank")) : spare_.url);
}

void WebBrowser::pollReady() {
  if (askingReady_) return;
  askingReady_ = true;
  const int load = state_->load();
  QPointer<WebBrowser> self(this);
  pagescripts::call(page_, QStringLiteral("readyHref"), {}, [self, load](const QVariant& href) {
    if (!self || self->destroying_ || self->state_->load() != load) return;
    self->askingReady_ = false;
    if (self->state_->stage() != EditingState::Stage::Loading || !self->readyPoll_->isActive())
      return;
    // Until the file's document is there, the page holds an empty one.
    if (QUrl(href.toString()) != self->state_->url()) return;
    self->readyPoll_->stop();
    if (self->LocationPath().isEmpty()) return;
    self->state_->documentParsed();
    self->documentReady();
  });
}

void WebBrowser::documentReady() {
  // The user is editing: the document takes typing now, while its images and
  // web fonts may still be on their way.
  if (state_->editing()) setDesignMode(QStringLiteral("On"));
  readViewport();
  emit DocumentReady();
}

QString WebBrowser::LocationPath() const { return pagescheme::pathOf(page_->url()); }

void WebBrowser::setDesignMode(const QString& value) {
  if (value != u"On") {
    // Edits made so far stay with the session: the document still holds them.
    pagescripts::call(page_, QStringLiteral("leaveDesignMode"));
    return;
  }
  if (state_->scriptsRan()) {
    // Loaded again in any case, so a navigation the page is attempting (and
    // will be refused) at this moment does not make the request go unheard.
    if (LocationPath().isEmpty()) return;
    state_->setEditing(true);
    startLoad(page_->url());
    return;
  }
  // An error page or an empty view has nothing of the user's to edit.
  if (!state_->documentOk()) return;
  session_->edit(LocationPath(), page_);
}

void WebBrowser::readDesignMode(std::function<void(const QString&)> done) const {
  pagescripts::call(page_, QStringLiteral("designMode"), {},
                    [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

void WebBrowser::readMarkup(std::function<void(const QString&)> done) const {
  pagescripts::call(page_, QStringLiteral("markup"), {},
                    [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

void WebBrowser::blockInput(bool blocked) {
  if (!blocked) {
    for (const QPointer<QWidget>& w : std::exchange(blocked_, {}))
      if (w) {
        w->removeEventFilter(this);
        w->unsetCursor();
      }
    return;
  }
  if (!blocked_.isEmpty()) return;
  // Keys, clicks and drops meant for the document are held back here, before
  // the engine sees them; the engine's own widget shows a busy cursor.
  for (QWidget* w : {static_cast<QWidget*>(view_), view_->focusProxy()}) {
    if (!w) continue;
    w->installEventFilter(this);
    w->setCursor(Qt::BusyCursor);
    blocked_ << w;
  }
}

bool WebBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (!blocked_.isEmpty() && isInput(event->type())) {
    event->accept();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void WebBrowser::openShownPageExternally() {
  const QString path = LocationPath();
  if (!path.isEmpty()) externalopener::open(QUrl::fromLocalFile(path));
}
