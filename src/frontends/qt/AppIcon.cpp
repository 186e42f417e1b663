#include "frontends/qt/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace frontends::qt {

namespace {

// A camera body with its lens, and a chip with a download arrow: a camera
// whose memory is written.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2D, 0x4F, 0x7C));
  p.drawRoundedRect(QRectF(2, 8, 28, 20), 4, 4);
  p.drawRoundedRect(QRectF(9, 5, 10, 5), 1.5, 1.5);

  p.setBrush(QColor(0xE8, 0xEE, 0xF5));
  p.drawEllipse(QPointF(14, 18), 7.5, 7.5);
  p.setBrush(QColor(0x1B, 0x2A, 0x3D));
  p.drawEllipse(QPointF(14, 18), 5, 5);
  p.setBrush(QColor(0x7F, 0xB2, 0xE5));
  p.drawEllipse(QPointF(12.5, 16.5), 1.6, 1.6);

  p.setBrush(QColor(0x3C, 0xB3, 0x4A));
  QPainterPath arrow;
  arrow.moveTo(25, 12);
  arrow.lineTo(25, 17);
  arrow.lineTo(28, 17);
  arrow.lineTo(24, 22);
  arrow.lineTo(20, 17);
  arrow.lineTo(23, 17);
  arrow.lineTo(23, 12);
  arrow.closeSubpath();
  p.drawPath(arrow);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace frontends::qt
