#include "components/web_page.h"

#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include "components/external_opener.h"

namespace {

bool isLocal(const QUrl& url) {
  const QString scheme = url.scheme();
  return scheme == u"file" || scheme == u"about" || scheme == u"data" || scheme == u"blob" ||
         scheme == u"qrc";
}

// A local page may load its own images, styles and scripts, but may not read
// other local files through XHR/fetch or pull them into sub-frames.
class LocalReadGuard final : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    if (!info.requestUrl().isLocalFile()) return;
    switch (info.resourceType()) {
      case QWebEngineUrlRequestInfo::ResourceTypeXhr:
      case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
      case QWebEngineUrlRequestInfo::ResourceTypeObject:
      case QWebEngineUrlRequestInfo::ResourceTypePluginResource:
      case QWebEngineUrlRequestInfo::ResourceTypePing:
      case QWebEngineUrlRequestInfo::ResourceTypeWorker:
      case QWebEngineUrlRequestInfo::ResourceTypeSharedWorker:
      case QWebEngineUrlRequestInfo::ResourceTypeServiceWorker:
        info.block(true);
        break;
      default:
        break;
    }
  }
};

// Catches where a link that asked for a new window was going, and sends it
// to the default browser; the page itself is never shown.
class NewWindowCatcher final : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
    if (!isLocal(url)) externalopener::open(url);
    deleteLater();
    return false;
  }
};

}  // namespace

QWebEngineProfile* WebPage::sharedProfile() {
  static QWebEngineProfile* profile = [] {
    // No storage name: off the record, nothing written to the user's home.
    auto* p = new QWebEngineProfile(QCoreApplication::instance());
    p->setUrlRequestInterceptor(new LocalReadGuard(p));
    p->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    auto* s = p->settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    return p;
  }();
  return profile;
}

WebPage::WebPage(QObject* parent) : QWebEnginePage(sharedProfile(), parent) {}

bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
  if (holdsEdits && isMainFrame) return false;
  // The preview stays on local pages: a web link the user clicked opens in
  // the default browser, anything a script started is dropped.
  const bool accept = isLocal(url) || (!isMainFrame && type != NavigationTypeLinkClicked);
  if (!accept && type == NavigationTypeLinkClicked && isMainFrame) {
    // A script can click a link as well as the user can: only a page the user
    // has clicked or typed in may open the default browser. (The click on the
    // link itself uses up the engine's short-lived activation, so what is
    // asked is whether the user has ever acted on the page.)
    runJavaScript(QStringLiteral("navigator.userActivation.hasBeenActive"),
                  QWebEngineScript::ApplicationWorld, [url](const QVariant& active) {
                    if (active.toBool()) externalopener::open(url);
                  });
  }
  if (isMainFrame) refusedLeave = !accept;
  return accept;
}

QWebEnginePage* WebPage::createWindow(WebWindowType) {
  return new NewWindowCatcher(profile(), this);
}

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
