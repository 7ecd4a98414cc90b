#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;

// The few look settings the windows use, written once.
namespace look {

QFont font(const QString& family, qreal points, bool bold = false, bool underline = false);
void setTextColor(QWidget* widget, const QColor& color);
void setBackground(QWidget* widget, const QColor& color);
// A colour as the classic designs write it: &HBBGGRR.
QColor fromBgr(unsigned bgr);

}  // namespace look
