#include "intake/welcome_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <algorithm>

namespace {

const QColor kBlue(0, 0, 192);
const QColor kNavy(0, 0, 128);
const QColor kHalo(229, 237, 252);
const QColor kPaperEdge(150, 160, 190);
const QColor kTextLine(200, 206, 222);
const QColor kBadge(28, 150, 84);

// A sheet of paper with its top right corner folded down.
QPainterPath sheet(const QRectF& r, qreal fold) {
  QPainterPath p;
  p.moveTo(r.topLeft());
  p.lineTo(r.right() - fold, r.top());
  p.lineTo(r.right(), r.top() + fold);
  p.lineTo(r.bottomRight());
  p.lineTo(r.bottomLeft());
  p.closeSubpath();
  return p;
}

void drawPage(QPainter& p, const QRectF& r, const QColor& edge) {
  const qreal fold = 16;
  p.setPen(QPen(edge, 2));
  p.setBrush(Qt::white);
  p.drawPath(sheet(r, fold));
  QPainterPath corner;
  corner.moveTo(r.right() - fold, r.top());
  corner.lineTo(r.right() - fold, r.top() + fold);
  corner.lineTo(r.right(), r.top() + fold);
  corner.closeSubpath();
  p.setBrush(kHalo);
  p.drawPath(corner);
}

}  // namespace

QImage drawWelcomePicture(qreal devicePixelRatio) {
  const qreal ratio = std::max(devicePixelRatio, 1.0);
  const int side = qCeil(kWelcomePictureSize * ratio);
  QImage image(side, side, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  p.setPen(Qt::NoPen);
  p.setBrush(kHalo);
  p.drawEllipse(QPointF(89, 92), 82, 82);

  // A second page behind, tilted, says "one or more".
  p.save();
  p.translate(82, 90);
  p.rotate(-10);
  drawPage(p, QRectF(-36, -48, 72, 96), kPaperEdge);
  p.restore();

  const QRectF front(60, 42, 72, 96);
  drawPage(p, front, kBlue);

  // A heading and lines of text.
  p.setPen(Qt::NoPen);
  p.setBrush(kNavy);
  p.drawRoundedRect(QRectF(front.left() + 9, front.top() + 12, 34, 6), 2, 2);
  p.setBrush(kTextLine);
  for (int i = 0; i < 4; ++i) {
    const qreal width = i == 3 ? 34 : 54;
    p.drawRoundedRect(QRectF(front.left() + 9, front.top() + 26 + i * 9, width, 4), 2, 2);
  }

  // The file kind, as a label across the foot of the page.
  const QRectF tag(front.left() + 9, front.bottom() - 28, 54, 18);
  p.setBrush(kBlue);
  p.drawRoundedRect(tag, 4, 4);
  QFont font(QStringLiteral("Verdana"));
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(tag, Qt::AlignCenter, QStringLiteral("HTML"));

  // A round badge with an arrow pointing down into the page: drop it here.
  const QPointF badge(136, 46);
  p.setPen(QPen(Qt::white, 3));
  p.setBrush(kBadge);
  p.drawEllipse(badge, 21, 21);
  QPainterPath arrow;
  arrow.moveTo(badge.x() - 4, badge.y() - 11);
  arrow.lineTo(badge.x() + 4, badge.y() - 11);
  arrow.lineTo(badge.x() + 4, badge.y() + 1);
  arrow.lineTo(badge.x() + 10, badge.y() + 1);
  arrow.lineTo(badge.x(), badge.y() + 12);
  arrow.lineTo(badge.x() - 10, badge.y() + 1);
  arrow.lineTo(badge.x() - 4, badge.y() + 1);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(arrow);

  p.end();
  return image;
}
