#include "widgets/look.h"

#include <QWidget>

namespace look {

QFont font(const QString& family, qreal points, bool bold, bool underline) {
  QFont f(family);
  f.setPointSizeF(points);
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

void setTextColor(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::WindowText, color);
  p.setColor(QPalette::Text, color);
  widget->setPalette(p);
}

void setBackground(QWidget* widget, const QColor& color) {
  QPalette p = widget->palette();
  p.setColor(QPalette::Window, color);
  p.setColor(QPalette::Base, color);
  widget->setPalette(p);
  widget->setAutoFillBackground(true);
}

QColor fromBgr(unsigned bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

}  // namespace look
