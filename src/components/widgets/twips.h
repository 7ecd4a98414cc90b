#pragma once

class QWidget;

// Positions and sizes are designed in twips (1/1440 inch).
namespace twips {

constexpr int kPerInch = 1440;

int toPixels(double twips, double dpi);
int fromPixels(int pixels, double dpi);

// The logical DPI the widget is shown at (96 offscreen and under Xvfb).
double dpiOf(const QWidget* widget);

// Sets a widget's geometry from twips, relative to its parent.
void place(QWidget* widget, int left, int top, int width, int height);

}  // namespace twips
