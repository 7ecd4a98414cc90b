#include "editor/web_browser.h"

#include <QEvent>
#include <QFileInfo>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "editor/edit_session.h"
#include "engine/external_opener.h"
#include "engine/page_scheme.h"
#include "engine/web_page.h"
#include "files/page_limit.h"

namespace {

// The program's own scripts run in a world of their own, also with the
// page's scripts off.
constexpr auto kWorld = QWebEngineScript::ApplicationWorld;
// How often a document being loaded without scripts is asked whether its
// parsing has ended: the engine has no signal for it.
constexpr int kReadyPollMs = 20;

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
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("WebBrowserView"));
  session_ = new EditSession(this);
  connect(session_, &EditSession::EditsKept, this, &WebBrowser::EditsKept);
  connect(session_, &EditSession::inputBlocked, this, &WebBrowser::blockInput);
  connect(session_, &EditSession::showAgain, this,
          [this](const QString& path) { startLoad(urlOf(path), pageScripts_); });
  usePage(new WebPage(view_));
  // Files dropped on the preview are meant for the window around it.
  view_->setAcceptDrops(false);
  layout->addWidget(view_);
  readyPoll_ = new QTimer(this);
  readyPoll_->setInterval(kReadyPollMs);
  connect(readyPoll_, &QTimer::timeout, this, &WebBrowser::pollReady);
  connect(view_, &QWebEngineView::loadStarted, this, [this] {
    // A document holding edits refuses every navigation of its own (a meta
    // refresh, a reload): it stays, and so does what is known about it.
    if (page_->holdsEdits || page_->refusedLeave) return;
    // Whatever else starts a load, the document it replaces is gone.
    forgetDocument();
    readyTold_ = false;
  });
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
    if (page_->holdsEdits && !ok) return;  // the end of such a refused navigation
    readyPoll_->stop();
    // The page is shown again after a save: it takes input again.
    blockInput(false);
    if (std::exchange(page_->refusedLeave, false) && !ok) {
      // Only the page's attempt to leave failed; the page itself is shown,
      // and may have been reported already.
      if (documentOk_) return;
      ok = true;
    }
    documentOk_ = ok && !LocationPath().isEmpty();
    if (documentOk_ && !readyTold_) documentReady();
    designAfterLoad_ = false;
    if (!spare_) {
      // The next fresh page starts its renderer once the page shown has
      // loaded: an empty document assigns it to no site, so any page may
      // load in it.
      spare_ = new WebPage(view_);
      connect(spare_, &QWebEnginePage::loadFinished, this, [this, page = spare_] {
        if (page == spare_) spareReady_ = true;
      });
      spare_->load(QUrl(QStringLiteral("about:blank")));
    }
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
  if (session_->busy()) return;
  if (!session_->active()) {
    startLoad(urlOf(std::exchange(pendingPath_, {})), pageScripts_);
    return;
  }
  QPointer<WebBrowser> self(this);
  session_->offerSave(MsgButtons::SaveDiscard, [self](EditSession::Leave leave) {
    if (!self || self->destroying_) return;
    const QString next = std::exchange(self->pendingPath_, {});
    if (leave == EditSession::Leave::Go && !next.isEmpty())
      self->startLoad(urlOf(next), self->pageScripts_);
  });
}

QUrl WebBrowser::urlOf(const QString& path) { return pagescheme::urlOf(path); }

bool WebBrowser::editing() const { return session_->active(); }

void WebBrowser::forgetDocument() {
  session_->end();
  page_->holdsEdits = false;
  documentOk_ = false;
}

void WebBrowser::usePage(WebPage* page) {
  page_ = page;
  // A renderer that died took the document and its edits with it; what is
  // shown now is nothing anyone could save or leave with a question.
  connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
    forgetDocument();
    blockInput(false);
  });
  view_->setPage(page_);
}

void WebBrowser::startLoad(const QUrl& url, bool scripts) {
  // A page's script may never end, and its renderer then takes no other
  // load. A load without scripts (the editor's) after a document whose
  // scripts ran gets a page of its own, and with it a renderer of its own;
  // the old page goes, and its renderer with it.
  // A fresh page also starts from an empty document, so the document whose
  // parsing is watched below is this load's, never the one it replaces.
  if (!scripts && !page_->url().isEmpty()) {
    WebPage* old = page_;
    // A spare still loading its empty document would report that load as this one's.
    usePage(spareReady_ ? std::exchange(spare_, nullptr) : new WebPage(view_));
    spareReady_ = false;
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
  ++loads_;
  readyTold_ = false;
  askingReady_ = false;
  loading_ = scripts ? QUrl() : url;
  if (scripts)
    readyPoll_->stop();
  else
    readyPoll_->start();
}

void WebBrowser::pollReady() {
  if (askingReady_) return;
  askingReady_ = true;
  const int load = loads_;
  QPointer<WebBrowser> self(this);
  page_->runJavaScript(QStringLiteral("document.readyState === 'loading' ? '' : location.href"),
                       kWorld, [self, load](const QVariant& href) {
                         if (!self || self->destroying_ || self->loads_ != load) return;
                         self->askingReady_ = false;
                         if (self->readyTold_ || !self->readyPoll_->isActive()) return;
                         // Until the file's document is there, the page holds an empty one.
                         if (QUrl(href.toString()) != self->loading_) return;
                         self->readyPoll_->stop();
                         self->documentOk_ = !self->LocationPath().isEmpty();
                         if (self->documentOk_) self->documentReady();
                       });
}

void WebBrowser::documentReady() {
  readyTold_ = true;
  if (std::exchange(designAfterLoad_, false)) setDesignMode(QStringLiteral("On"));
  emit DocumentReady();
}

QString WebBrowser::LocationPath() const { return pagescheme::pathOf(page_->url()); }

void WebBrowser::setDesignMode(const QString& value) {
  if (value != u"On") {
    // Edits made so far stay with the session: the document still holds them.
    page_->runJavaScript(QStringLiteral("document.designMode = 'off';"), kWorld);
    return;
  }
  if (documentScripts_) {
    // Loaded again in any case, so a navigation the page is attempting (and
    // will be refused) at this moment does not make the request go unheard.
    if (LocationPath().isEmpty()) return;
    designAfterLoad_ = true;
    startLoad(page_->url(), false);
    return;
  }
  // An error page or an empty view has nothing of the user's to edit.
  if (!documentOk_) return;
  page_->holdsEdits = true;
  session_->edit(LocationPath(), page_);
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
