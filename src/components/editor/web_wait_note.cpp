#include "editor/web_wait_note.h"

#include <QEvent>

#include "engine/web_proxy.h"

WebWaitNote::WebWaitNote(WebProxy* proxy, QWidget* over) : QLabel(over), proxy_(proxy) {
  setObjectName(QStringLiteral("lblWebWait"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setStyleSheet(QStringLiteral(
      "QLabel { background: #f4f4f4; color: #444; border: 1px solid #c8c8c8; padding: 2px 6px; }"));
  hide();
  over->installEventFilter(this);
  connect(proxy_, &WebProxy::waitingChanged, this, &WebWaitNote::update);
  update();
}

bool WebWaitNote::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) place();
  return QLabel::eventFilter(watched, event);
}

void WebWaitNote::update() {
  const QString text = waitingText(proxy_->waiting());
  setText(text);
  setVisible(!text.isEmpty());
  if (!text.isEmpty()) {
    place();
    raise();
  }
}

void WebWaitNote::place() {
  adjustSize();
  const auto* over = parentWidget();
  move(0, over->height() - height());
}
