#include "gui/displays/LedPictures.h"

#include <QPainter>
#include <QRadialGradient>
#include <array>

namespace zeb7::gui {

namespace {

QColor BaseColor(zeb7::TLedPicture p) {
  switch (p) {
    case zeb7::lpGreen: return QColor(0, 200, 0);
    case zeb7::lpRed: return QColor(230, 0, 0);
    case zeb7::lpWhite: return QColor(250, 250, 250);
    case zeb7::lpYellow: return QColor(255, 220, 0);
    case zeb7::lpBlue: return QColor(0, 90, 255);
    case zeb7::lpGrey: break;
  }
  return QColor(150, 150, 150);
}

QPixmap Paint(zeb7::TLedPicture p) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter g(&pm);
  g.setRenderHint(QPainter::Antialiasing);
  const QColor c = BaseColor(p);
  QRadialGradient grad(QPointF(9, 9), 11);
  grad.setColorAt(0, c.lighter(p == zeb7::lpGrey ? 120 : 170));
  grad.setColorAt(1, c.darker(p == zeb7::lpGrey ? 110 : 140));
  g.setBrush(grad);
  g.setPen(QPen(QColor(60, 60, 60), 1));
  g.drawEllipse(QRectF(3.5, 3.5, 17, 17));
  return pm;
}

}  // namespace

const QPixmap& LedPixmap(zeb7::TLedPicture picture) {
  static const std::array<QPixmap, 6> pictures = [] {
    std::array<QPixmap, 6> a;
    for (int i = 0; i < 6; ++i) a[i] = Paint(static_cast<zeb7::TLedPicture>(i));
    return a;
  }();
  const int i = static_cast<int>(picture);
  return pictures[static_cast<size_t>(i >= 0 && i < 6 ? i : zeb7::lpGrey)];
}

const QPixmap& LedPixmapByName(const QString& name) {
  for (int i = 0; i < 6; ++i) {
    const auto p = static_cast<zeb7::TLedPicture>(i);
    if (name == QLatin1String(zeb7::LedResourceName(p))) return LedPixmap(p);
  }
  return LedPixmap(zeb7::lpGrey);
}

}  // namespace zeb7::gui
