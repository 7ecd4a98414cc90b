// The device view of the browser: the page laid out at a phone's or tablet's
// width, its screen kept at its size and scaled down to fit the preview.
// Only the view's size, the page's zoom and the user agent of later loads
// change; the document and its edit are left exactly as they are.
#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
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
  // Hidden while its zoom and size both change, the renderer lays the page
  // out once, at both, when it is shown again; seen, it would lay it out at
  // each in turn, and a switch would cost more than loading the page.
  QWidget* typing = QApplication::focusWidget();
  const bool hadFocus = typing && (typing == view_ || view_->isAncestorOf(typing));
  const bool hide = view_->isVisibleTo(this);
  if (hide) view_->hide();
  placeView();
  if (hide) view_->show();
  if (hadFocus) typing->setFocus(Qt::OtherFocusReason);
  if (!shownDevice_.desktop()) readViewport();
}

void WebBrowser::readViewport() {
  const bool loading = state_->stage() == EditingState::Stage::Loading;
  // Read on the desktop too: a device chosen later lays the page out once,
  // at the width its tag asks for, not first at 980 and then again.
  if (!state_->documentOk() && !loading) return;
  const int load = state_->load();
  QPointer<WebBrowser> self(this);
  pagescripts::call(page_, QStringLiteral("viewport"), {}, [self, load](const QVariant& v) {
    if (!self || self->destroying_ || self->state_->load() != load) return;
    const QVariantMap answer = v.toMap();
    // While loading, the document shown may still be the one before (or an
    // empty one), whose tag says nothing about this page.
    const QUrl url = self->state_->url();
    if (answer.isEmpty() || (!url.isEmpty() && QUrl(answer.value("href").toString()) != url))
      return;
    const QVariant c = answer.value(QStringLiteral("content"));
    std::optional<QString> content;
    if (!c.isNull() && c.isValid()) content = c.toString();
    if (content == self->viewport_) return;
    self->viewport_ = content;
    if (!self->shownDevice_.desktop()) self->placeView();
  });
}

void WebBrowser::placeView() {
  if (picturing_) return;  // placed again once the picture is taken
  if (shownDevice_.desktop()) {
    // Exactly the plain view: the whole browser, the page at its own size.
    fit_ = {};
    layoutWidth_ = 0;
    // The zoom before the size: the renderer then lays the page out once.
    page_->setZoomFactor(1.0);
    view_->setGeometry(rect());
    emit DeviceShown();
    return;
  }
  const QSize screen = shownDevice_.screen();
  layoutWidth_ = deviceview::layoutWidth(viewport_, screen.width());
  const QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
  fit_ = deviceview::fit(screen, area.size(), layoutWidth_);
  // Centred across; a screen cut to fit keeps its top in sight.
  const int x = area.left() + std::max(0, (area.width() - fit_.shown.width()) / 2);
  page_->setZoomFactor(fit_.zoom);
  view_->setGeometry(QRect(QPoint(x, area.top()), fit_.shown));
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
  // Life size: the screen's CSS pixels, the page zoomed as the device does.
  const bool desktop = shownDevice_.desktop();
  const QSize screen = desktop ? view_->size() : shownDevice_.screen();
  const double zoom = desktop ? 1.0 : double(screen.width()) / layoutWidth_;
  picturing_ = true;
  view_->setGeometry(QRect(view_->pos(), screen));
  page_->setZoomFactor(zoom);
  const int load = state_->load();
  QPointer<WebBrowser> self(this);
  // Asks the page until it is laid out at its new size (at most ~2 s), then
  // goes on; the engine has no signal for it.
  auto whenLaidOut = [self, load](QSize css, std::function<void(bool)> then) {
    // The step holds itself only weakly: whoever calls it (the first call,
    // then each pending answer and timer) keeps it alive, so it goes with
    // the last of them rather than never.
    auto first = std::make_shared<std::function<void(int)>>();
    *first = [self, load, css, then, weak = std::weak_ptr(first)](int triesLeft) {
      const auto step = weak.lock();
      if (!self || self->destroying_ || self->state_->load() != load) return then(false);
      pagescripts::call(
          self->page_, QStringLiteral("viewSize"), {},
          [self, css, then, step, triesLeft](const QVariant& v) {
            if (!self || self->destroying_) return then(false);
            const QVariantList wh = v.toList();
            const bool ok = wh.size() == 2 && std::abs(wh[0].toInt() - css.width()) <= 1 &&
                            std::abs(wh[1].toInt() - css.height()) <= 1;
            if (ok || triesLeft == 0) return then(ok);
            QTimer::singleShot(20, self, [step, triesLeft] { (*step)(triesLeft - 1); });
          });
    };
    (*first)(100);
  };
  auto finish = [self, load, done](bool) {
    QImage picture;
    if (self && !self->destroying_) {
      if (self->state_->load() == load) picture = self->view_->grab().toImage();
      self->picturing_ = false;
      self->placeView();
    }
    done(picture);
  };
  auto cssOf = [zoom](QSize px) {
    return QSize(qRound(px.width() / zoom), static_cast<int>(px.height() / zoom));
  };
  // First the page is laid out on the screen at life size, so its height is
  // its height there; then the view takes that height and is painted.
  whenLaidOut(cssOf(screen), [self, load, zoom, screen, whenLaidOut, finish, cssOf](bool) {
    if (!self || self->destroying_ || self->state_->load() != load) return finish(false);
    pagescripts::call(self->page_, QStringLiteral("pageHeight"), {},
                      [self, zoom, screen, whenLaidOut, finish, cssOf](const QVariant& v) {
                        if (!self || self->destroying_) return finish(false);
                        const int height = std::clamp(
                            static_cast<int>(std::ceil(v.toDouble() * zoom)), 1, kMaxPictureHeight);
                        const QSize size(screen.width(), height);
                        self->view_->setGeometry(QRect(self->view_->pos(), size));
                        whenLaidOut(cssOf(size), [self, finish](bool laidOut) {
                          // The new frame reaches the window a little after the layout.
                          QTimer::singleShot(laidOut ? 300 : 0, self, [finish] { finish(true); });
                        });
                      });
  });
}
