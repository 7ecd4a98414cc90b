// The device view of the browser: the page laid out at a phone's or tablet's
// width, its screen kept at its size and scaled down to fit the preview.
// Only the view's size, the page's zoom and the user agent of later loads
// change; the document and its edit are left exactly as they are.
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <cmath>
#include <memory>

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
  if (picturing_) return;  // placed again once the picture is taken
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

void WebBrowser::takePicture(std::function<void(const QImage&)> done) {
  if (picturing_ || !state_->documentOk()) {
    done({});
    return;
  }
  const int load = state_->load();
  QPointer<WebBrowser> self(this);
  pagescripts::call(page_, QStringLiteral("pageHeight"), {}, [self, load, done](const QVariant& v) {
    if (!self || self->destroying_ || self->state_->load() != load || self->picturing_) {
      done({});
      return;
    }
    // Life size: the screen's CSS pixels, the page zoomed as the device does.
    const bool desktop = self->shownDevice_.desktop();
    const int width = desktop ? self->view_->width() : self->shownDevice_.screen().width();
    const double zoom = desktop ? 1.0 : double(width) / self->layoutWidth_;
    const int height =
        std::clamp(static_cast<int>(std::ceil(v.toDouble() * zoom)), 1, kMaxPictureHeight);
    self->picturing_ = true;
    self->view_->setGeometry(QRect(self->view_->pos(), QSize(width, height)));
    self->page_->setZoomFactor(zoom);
    const int cssHeight = static_cast<int>(height / zoom);
    // The engine lays the page out anew and then paints it: wait until the
    // page sees its new height, then give the frame time to arrive.
    auto step = std::make_shared<std::function<void(int)>>();
    *step = [self, load, done, cssHeight, step](int triesLeft) {
      if (!self || self->destroying_) return done({});
      pagescripts::call(self->page_, QStringLiteral("viewHeight"), {},
                        [self, load, done, cssHeight, step, triesLeft](const QVariant& h) {
                          if (!self || self->destroying_) return done({});
                          const bool laidOut = std::abs(h.toInt() - cssHeight) <= 1;
                          if (!laidOut && triesLeft > 0 && self->state_->load() == load) {
                            QTimer::singleShot(20, self,
                                               [step, triesLeft] { (*step)(triesLeft - 1); });
                            return;
                          }
                          QTimer::singleShot(laidOut ? 300 : 0, self, [self, load, done] {
                            const bool same = self->state_->load() == load;
                            const QImage picture = same ? self->view_->grab().toImage() : QImage();
                            self->picturing_ = false;
                            self->placeView();
                            done(picture);
                          });
                        });
    };
    (*step)(100);
  });
}
