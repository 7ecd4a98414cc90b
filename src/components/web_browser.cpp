#include "components/web_browser.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineScript>
#include <QWebEngineView>

#include "components/web_page.h"

namespace {

WebBrowser::UrlOpener& opener() {
  static WebBrowser::UrlOpener installed;
  return installed;
}

// The program's own scripts run in a world of their own: they see the page's
// document but the page's scripts cannot see or tamper with them.
constexpr auto kWorld = QWebEngineScript::ApplicationWorld;

}  // namespace

WebBrowser::WebBrowser(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QWebEngineView(this);
  view_->setObjectName(QStringLiteral("WebBrowserView"));
  page_ = new WebPage(view_);
  view_->setPage(page_);
  // Files dropped on the preview are meant for the window around it.
  view_->setAcceptDrops(false);
  layout->addWidget(view_);
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool) { emit DownloadComplete(); });
}

WebBrowser::~WebBrowser() = default;

bool WebBrowser::Silent() const { return page_->silent; }

void WebBrowser::setSilent(bool silent) { page_->silent = silent; }

void WebBrowser::Navigate2(const QString& path) {
  if (path.isEmpty()) return;
  view_->load(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

QString WebBrowser::LocationPath() const {
  const QUrl url = page_->url();
  return url.isLocalFile() ? url.toLocalFile() : QString();
}

void WebBrowser::setDesignMode(const QString& value) {
  const QString quoted = value == u"On" ? QStringLiteral("'On'") : QStringLiteral("'off'");
  page_->runJavaScript(QStringLiteral("document.designMode = %1;").arg(quoted), kWorld);
}

void WebBrowser::readDesignMode(std::function<void(const QString&)> done) const {
  page_->runJavaScript(QStringLiteral("document.designMode"), kWorld,
                       [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

void WebBrowser::readMarkup(std::function<void(const QString&)> done) const {
  page_->runJavaScript(
      QStringLiteral("document.documentElement ? document.documentElement.outerHTML : ''"), kWorld,
      [done = std::move(done)](const QVariant& v) { done(v.toString()); });
}

void WebBrowser::setExternalOpener(UrlOpener o) { opener() = std::move(o); }

void WebBrowser::openExternally(const QUrl& url) {
  if (opener())
    opener()(url);
  else
    QDesktopServices::openUrl(url);
}
