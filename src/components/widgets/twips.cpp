#include "widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace twips {

int toPixels(double twips, double dpi) { return int(std::lround(twips * dpi / kPerInch)); }

int fromPixels(int pixels, double dpi) { return int(std::lround(pixels * kPerInch / dpi)); }

double dpiOf(const QWidget* widget) {
  if (widget) return widget->logicalDpiX();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    return screen->logicalDotsPerInchX();
  return 96.0;
}

void place(QWidget* widget, int left, int top, int width, int height) {
  const double dpi = dpiOf(widget);
  widget->setGeometry(toPixels(left, dpi), toPixels(top, dpi), toPixels(width, dpi),
                      toPixels(height, dpi));
}

}  // namespace twips
