#include "engine/web_page.h"

#include <QApplication>
#include <QCoreApplication>
#include <QJsonArray>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "engine/external_opener.h"
#include "engine/page_files.h"
#include "engine/page_scheme.h"
#include "engine/page_scheme_handler.h"
#include "engine/page_scripts.h"

namespace {

bool isPreviewable(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == QLatin1String(pagescheme::kScheme) || scheme == u"about" || scheme == u"data" ||
         scheme == u"blob";
}

// What a page may load from its folder: what it shows and runs. The loads
// that hand a script the bytes themselves (XHR and fetch, event streams,
// workers, preloads for a fetch) get nothing, as a browser gives a page
// opened from disk nothing of them. Empty for those; otherwise what the file
// host is told the load is for.
QByteArray loadOf(QWebEngineUrlRequestInfo::ResourceType type) {
  using Info = QWebEngineUrlRequestInfo;
  switch (type) {
    case Info::ResourceTypeFontResource:
      return pagefiles::kLoadFont;
    case Info::ResourceTypeScript:
      return pagefiles::kLoadScript;
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeObject:
      return QByteArrayLiteral("document");
    case Info::ResourceTypeStylesheet:
    case Info::ResourceTypeImage:
    case Info::ResourceTypeMedia:
    case Info::ResourceTypeFavicon:
      return QByteArrayLiteral("show");
    default:
      return {};
  }
}

// The folder an address belongs to, on the page scheme or its file host.
QString folderHostOf(const QUrl& url) {
  if (url.scheme() == QLatin1String(pagescheme::kScheme)) return url.host();
  const QString origin = pagescheme::pageOriginOf(url);
  return origin.isEmpty() ? QString() : QUrl(origin).host();
}

// Pages are served through their own scheme; nothing a page asks for may come
// from a file: address (or from the program's own resources). The page
// scheme serves the page's document only: every other file of its folder
// comes from the folder's file host (page_files.h), an origin that grants
// the page no read of it.
class FileAddressGuard final : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    if (scheme == u"file" || scheme == u"qrc") info.block(true);
    const bool onScheme = scheme == QLatin1String(pagescheme::kScheme);
    if (!onScheme && !pagescheme::isFileUrl(url)) return;
    const bool mainFrame = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
    if (mainFrame) {
      if (!onScheme) info.block(true);
      return;
    }
    const QByteArray load = loadOf(info.resourceType());
    // A page uses its own folder's files, not another folder's.
    const QString from = folderHostOf(info.initiator());
    if (load.isEmpty() || (!from.isEmpty() && from != folderHostOf(url))) {
      info.block(true);
      return;
    }
    // Said on every load, redirected or asked for on the file host itself:
    // what the page's script puts in a request never stands.
    info.setHttpHeader(pagefiles::kLoadHeader, load);
    if (onScheme) info.redirect(pagescheme::fileUrlOf(url));
  }
};

// Sees the user's own clicks and Enter keys on any preview before the engine
// does: page scripts cannot make these events, so the link they land on is
// the one the user meant.
class UserInputWatch final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::KeyPress)
      return false;
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    QWebEngineView* view = nullptr;
    for (QWidget* w = widget; w && !view; w = w->parentWidget())
      view = qobject_cast<QWebEngineView*>(w);
    auto* page = view ? qobject_cast<WebPage*>(view->page()) : nullptr;
    if (!page) return false;
    if (type == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat())
        page->openUserLink(std::nullopt);
      return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const QPoint at = widget->mapTo(view, mouse->position().toPoint());
    if (type == QEvent::MouseButtonPress) {
      pressedAt_ = at;
      pressedOn_ = page;
    } else if (pressedOn_ == page &&
               (at - pressedAt_).manhattanLength() <= QApplication::startDragDistance()) {
      // A press and release in one place: a click, not a drag or a selection.
      pressedOn_ = nullptr;
      page->openUserLink(at);
    }
    return false;
  }

 private:
  QPoint pressedAt_;
  QPointer<WebPage> pressedOn_;
};

}  // namespace

QWebEngineProfile* WebPage::sharedProfile() {
  static QWebEngineProfile* profile = [] {
    // No storage name: off the record, nothing written to the user's home.
    auto* p = new QWebEngineProfile(QCoreApplication::instance());
    p->installUrlSchemeHandler(pagescheme::kScheme, new PageSchemeHandler(p));
    p->setUrlRequestInterceptor(new FileAddressGuard(p));
    p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    auto* s = p->settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    // The engine would hand mailto:, irc: and the like to the desktop itself
    // after any click. Let it ask acceptNavigationRequest about every one
    // instead, which refuses them all (only openUserLink opens anything) and
    // marks the refusal, so that the failed load the engine then reports is
    // not taken for the page's own.
    s->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    return p;
  }();
  return profile;
}

WebPage::WebPage(QObject* parent) : QWebEnginePage(sharedProfile(), parent) {
  pagescripts::install(this);
  static auto* watch = [] {
    auto* w = new UserInputWatch(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(w);
    return w;
  }();
  Q_UNUSED(watch);
}

void WebPage::openUserLink(std::optional<QPoint> viewPos) {
  // The point in CSS pixels, or nulls for the focused link.
  QJsonArray at{QJsonValue(), QJsonValue()};
  if (viewPos) {
    const QPointF point = QPointF(*viewPos) / zoomFactor();
    at = {point.x(), point.y()};
  }
  pagescripts::call(this, QStringLiteral("userLink"), at, [](const QVariant& href) {
    const QUrl url(href.toString());
    if (externalopener::opensOutside(url)) externalopener::open(url);
  });
}

bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (isMainFrame && holdsEdits && holdsEdits()) return false;
  // The preview stays on the pages' own addresses. The link the user clicked
  // went to the default browser already (openUserLink); whatever else wants
  // to leave, a script's click included, goes nowhere.
  // A frame's links stay within its folder's file host, where its document is.
  const bool accept =
      isPreviewable(url) ||
      (!isMainFrame && (type != NavigationTypeLinkClicked || pagescheme::isFileUrl(url)));
  if (isMainFrame) refusedLeave = !accept;
  return accept;
}

// No page opens a window; a link asking for one that the user clicked went
// to the default browser already.
QWebEnginePage* WebPage::createWindow(WebWindowType) { return nullptr; }

void WebPage::javaScriptAlert(const QUrl& origin, const QString& msg) {
  if (!silent) QWebEnginePage::javaScriptAlert(origin, msg);
}

bool WebPage::javaScriptConfirm(const QUrl& origin, const QString& msg) {
  // The engine asks a page's leave-this-page question (beforeunload) with this
  // fixed text. Silent answers it "leave": the program, not the page, decides
  // when the preview moves on. A page's own confirm() gets "cancel".
  static const QString leaveQuestion = QCoreApplication::translate(
      "QWebEnginePage",
      "Are you sure you want to leave this page? Changes that you made may not be saved.");
  if (silent) return msg == leaveQuestion;
  return QWebEnginePage::javaScriptConfirm(origin, msg);
}

bool WebPage::javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                               QString* result) {
  return silent ? false : QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
}
