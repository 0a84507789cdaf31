#include "ui/qt/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace segjoin {
namespace {

// Three short segments on the left join into one long file on the right.
QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 32.0, size / 32.0);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x6f, 0xb2));
  painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

  painter.setBrush(Qt::white);
  for (int row = 0; row < 3; ++row)
    painter.drawRoundedRect(QRectF(5, 6.5 + row * 7, 8, 5), 1.5, 1.5);
  painter.drawRoundedRect(QRectF(20, 6.5, 7, 19), 1.5, 1.5);

  QPen arrow(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(arrow);
  painter.setBrush(Qt::NoBrush);
  painter.drawPolyline(QPolygonF({{14.5, 12}, {17.5, 16}, {14.5, 20}}));
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace segjoin
