// The device view of the browser: the page laid out at a phone's or tablet's
// width, its screen kept at its size and scaled down to fit the preview.
// Only the view's size, the page's zoom and the user agent of later loads
// change; the document and its edit are left exactly as they are.
#include <QPalette>
#include <QPointer>
#include <QResizeEvent>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "editor/editing_state.h"
#include "editor/web_browser.h"
#include "engine/page_scripts.h"
#include "engine/web_page.h"

namespace {

// Room around the device screen, so it reads as a screen and not a page.
constexpr int kMargin = 8;

const QString& engineAgent() {
  static const QString agent = WebPage::sharedProfile()->httpUserAgent();
  return agent;
}

}  // namespace

void WebBrowser::showDevice() {
  const bool wasDesktop = shownDevice_.desktop();
  shownDevice_ = state_->device();
  // Per profile, which all previews share: the next load tells it. The
  // document shown is not loaded again, so its edits and scroll stay.
  const QString& agent = engineAgent();
  WebPage::sharedProfile()->setHttpUserAgent(deviceview::userAgent(agent, shownDevice_));
  setAutoFillBackground(!shownDevice_.desktop());
  if (!shownDevice_.desktop() && wasDesktop) {
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(96, 96, 96));
    setPalette(p);
  }
  placeView();
  if (!shownDevice_.desktop()) readViewport();
}

void WebBrowser::readViewport() {
  if (shownDevice_.desktop() || !state_->documentOk()) return;
  const int load = state_->load();
  QPointer<WebBrowser> self(this);
  pagescripts::call(page_, QStringLiteral("viewport"), {}, [self, load](const QVariant& v) {
    if (!self || self->destroying_ || self->state_->load() != load) return;
    std::optional<QString> content;
    if (!v.isNull() && v.isValid()) content = v.toString();
    if (content == self->viewport_) return;
    self->viewport_ = content;
    self->placeView();
  });
}

void WebBrowser::placeView() {
  if (shownDevice_.desktop()) {
    // Exactly the plain view: the whole browser, the page at its own size.
    fit_ = {};
    layoutWidth_ = 0;
    view_->setGeometry(rect());
    page_->setZoomFactor(1.0);
    emit DeviceShown();
    return;
  }
  const QSize screen = shownDevice_.screen();
  layoutWidth_ = deviceview::layoutWidth(viewport_, screen.width());
  const QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
  fit_ = deviceview::fit(screen, area.size(), layoutWidth_);
  // Centred across; a screen cut to fit keeps its top in sight.
  const int x = area.left() + std::max(0, (area.width() - fit_.shown.width()) / 2);
  view_->setGeometry(QRect(QPoint(x, area.top()), fit_.shown));
  page_->setZoomFactor(fit_.zoom);
  emit DeviceShown();
}

void WebBrowser::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeView();
}
