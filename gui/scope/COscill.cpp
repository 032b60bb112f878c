#include "gui/scope/COscill.h"

#include <QPaintEvent>
#include <QPainter>
#include <span>

namespace zeb7::gui {

namespace {
constexpr int kScreenFontHeight = 11;
constexpr int kPageFontHeight = 40;  // 4 mm
QColor ToColor(TRgb c) { return QColor(c.r, c.g, c.b); }
}  // namespace

TOsci::TOsci(QWidget* parent) : QWidget(parent) {
  for (int i = 0; i < kOsciCurves; ++i) FGraphColor[static_cast<size_t>(i)] = ToColor(kOsciDefaultColors[i]);
  QFont f = font();
  f.setPixelSize(kScreenFontHeight);
  setFont(f);
  setAutoFillBackground(false);
}

void TOsci::Changed() {
  boModified = true;
  if (boAutoRedraw) update();
}

void TOsci::SetCurve(const std::vector<double>& adCurve, int iNr, bool boRefresh) {
  if (iNr < 0 || iNr >= kOsciCurves) return;
  FCurve[static_cast<size_t>(iNr)] = adCurve;
  boModified = true;
  if (boRefresh) update();
}

void TOsci::Clear(int iNr) {
  if (iNr < 0 || iNr >= kOsciCurves) return;
  FCurve[static_cast<size_t>(iNr)].clear();
  boModified = true;
  update();
}

void TOsci::ClearAll() {
  for (auto& c : FCurve) c.clear();
  boModified = true;
  update();
}

void TOsci::Redraw() {
  if (boModified) update();
}

void TOsci::SetYRange(bool boRefresh, double dMin, double dMax) {
  dYMin = dMin;
  dYMax = dMax;
  boModified = true;
  if (boRefresh && !boAutoScaling) update();
}

void TOsci::SetGraphColor(int iIndex, QColor c) {
  if (iIndex < 0 || iIndex >= kOsciCurves) return;
  FGraphColor[static_cast<size_t>(iIndex)] = c;
  Changed();
}
QColor TOsci::GetGraphColor(int iIndex) const {
  return iIndex < 0 || iIndex >= kOsciCurves ? QColor(0, 0, 0) : FGraphColor[static_cast<size_t>(iIndex)];
}
void TOsci::SetGraphStyle(int iIndex, TGraphStyle s) {
  if (iIndex < 0 || iIndex >= kOsciCurves) return;
  FGraphStyle[static_cast<size_t>(iIndex)] = s;
  Changed();
}
TGraphStyle TOsci::GetGraphStyle(int iIndex) const {
  return iIndex < 0 || iIndex >= kOsciCurves ? gsSingleLine : FGraphStyle[static_cast<size_t>(iIndex)];
}

void TOsci::SetTitle(const QString& s) {
  if (s == sTitle) return;
  sTitle = s;
  Changed();
}
void TOsci::SetTextXAxis(const QString& s) {
  if (s == sTextXAxis) return;
  sTextXAxis = s;
  Changed();
}
void TOsci::SetTextYAxis(const QString& s) {
  if (s == sTextYAxis) return;
  sTextYAxis = s;
  Changed();
}
void TOsci::SetXMin(double v) {
  if (v == dXMin) return;
  dXMin = v;
  dXMinCirc = dXMin + dXCircularOffset;
  dXMaxCirc = dXMax + dXCircularOffset;
  Changed();
}
void TOsci::SetXMax(double v) {
  if (v == dXMax) return;
  dXMax = v;
  dXMinCirc = dXMin + dXCircularOffset;
  dXMaxCirc = dXMax + dXCircularOffset;
  Changed();
}
void TOsci::SetXMod(double v) {
  if (v == dXMod) return;
  dXMod = v;
  Changed();
}
void TOsci::SetXCircularOffset(double v) {
  if (v < 0) v = 0;
  if (v == dXCircularOffset) return;
  dXCircularOffset = v;
  dXMinCirc = dXMin + dXCircularOffset;
  dXMaxCirc = dXMax + dXCircularOffset;
  Changed();
}
void TOsci::SetYMin(double v) {
  if (v == dYMin) return;
  dYMin = v;
  Changed();
}
void TOsci::SetYMax(double v) {
  if (v == dYMax) return;
  dYMax = v;
  Changed();
}
void TOsci::SetAutoRedraw(bool b) {
  if (b == boAutoRedraw) return;
  boAutoRedraw = b;
  if (b && boModified) update();
}
void TOsci::SetAutoScaling(bool b) {
  if (b != boAutoScaling) {
    boAutoScaling = b;
    boModified = true;
  }
  if (boModified) update();
}

void TOsci::paintEvent(QPaintEvent*) {
  QPainter p(this);
  PaintScreen(p, width(), height());
}

void TOsci::PaintScreen(QPainter& p, int iWidth, int iHeight) {
  p.setFont(font());
  const int h = font().pixelSize() > 0 ? font().pixelSize() : kScreenFontHeight;
  Draw(p, iWidth, iHeight, h, ScreenMargins(h));
}

void TOsci::Paint2(QPainter& p, int iPageWidth, int iPageHeight) {
  QFont f("Arial");
  f.setPixelSize(kPageFontHeight);
  p.setFont(f);
  Draw(p, iPageWidth, iPageHeight, kPageFontHeight, PageMargins(kPageFontHeight));
}

void TOsci::Draw(QPainter& p, int iWidth, int iHeight, int h, TChartMargins m) {
  ++iPaints;
  iLeftMargin = m.iLeft;
  iRightMargin = m.iRight;
  iTopMargin = m.iTop;
  iBottomMargin = m.iBottom;
  iMaxX = iWidth - iRightMargin;
  iMaxY = iHeight - iBottomMargin;
  for (auto& l : aLastPolyline) l.clear();
  if (iMaxX < iLeftMargin + iMinWidth || iMaxY < iTopMargin + iMinHeight) return;
  const bool boScaled = ScaleAndAxes(p, iWidth, iHeight, h);
  if (boScaled || boHaveScale)
    for (int i = 0; i < kOsciCurves; ++i)
      if (!FCurve[static_cast<size_t>(i)].empty()) DrawCurve(p, i);
  boModified = false;
}

bool TOsci::ScaleAndAxes(QPainter& p, int iWidth, int iHeight, int h) {
  if (boAutoScaling) {
    std::vector<std::span<const double>> spans;
    for (const auto& c : FCurve) spans.emplace_back(c);
    const TYRange r = AutoScale(spans);
    dYMin = r.dMin;
    dYMax = r.dMax;
  }
  const auto fx = ScaleFactor(iMaxX - iLeftMargin, dXMaxCirc - dXMinCirc);
  const auto fy = ScaleFactor(iMaxY - iTopMargin, dYMax - dYMin);
  if (!fx || !fy) {
    // The previous scale stays for the curves; no infinity reaches a pixel.
    dXFactor = dGoodXFactor;
    dYFactor = dGoodYFactor;
    return false;
  }
  dXFactor = dGoodXFactor = *fx;
  dYFactor = dGoodYFactor = *fy;
  dGoodYMin = dYMin;
  boHaveScale = true;
  const std::vector<double>* first = nullptr;
  for (const auto& c : FCurve)
    if (!c.empty()) {
      first = &c;
      break;
    }
  if (!first) return true;
  dXFactor0 = static_cast<double>(iMaxX - iLeftMargin) / static_cast<double>(first->size());
  double lo = dYMin, hi = dYMax;
  const auto ys = TickStep(lo, hi, YTickCount(iHeight, h));
  double xlo = dXMinCirc, xhi = dXMaxCirc;
  const auto xs = TickStep(xlo, xhi, XTickCount(iWidth, h));
  if (!ys || !xs) return true;
  dYStep = *ys;
  dXStep = *xs;
  DrawAxes(p, h);
  return true;
}

void TOsci::DrawAxes(QPainter& p, int h) {
  p.fillRect(QRect(0, 0, iMaxX + iRightMargin, iMaxY + iBottomMargin), Qt::white);
  const QFontMetrics fm = p.fontMetrics();
  const auto px0 = XToPixel(0.0, dXMinCirc, dXFactor, iLeftMargin);
  const auto py0 = YToPixel(0.0, dYMin, dYFactor, iMaxY);
  p.setPen(QPen(Qt::black, 3));
  if (px0 && *px0 >= iLeftMargin && *px0 <= iMaxX) p.drawLine(*px0, iMaxY, *px0, iTopMargin);
  if (py0 && *py0 >= iTopMargin && *py0 <= iMaxY) p.drawLine(iLeftMargin, *py0, iMaxX, *py0);
  p.setPen(QPen(Qt::black, 1));

  if (const auto kr = TickIndexRange(dXMinCirc, dXMaxCirc, dXStep)) {
    for (int64_t k = kr->first; k <= kr->second; ++k) {
      const double x = static_cast<double>(k) * dXStep;
      const auto px = XToPixel(x, dXMinCirc, dXFactor, iLeftMargin);
      if (!px || !(*px > iLeftMargin - 5 && *px < iMaxX + 5)) continue;
      p.drawLine(*px, iTopMargin, *px, iMaxY);
      const QString s = QString::fromStdString(TickLabel(XLabelValue(x, dXStep, dXMod)));
      const int w = fm.horizontalAdvance(s);
      p.drawText(QRect(*px - w / 2 - 1, py0.value_or(iMaxY) + h / 2, w + 2, fm.height()),
                 Qt::AlignHCenter | Qt::AlignTop, s);
    }
  }
  const auto col = XToPixel(YLabelColumn(dXMinCirc, dXMaxCirc), dXMinCirc, dXFactor, iLeftMargin);
  if (const auto kr = TickIndexRange(dYMin, dYMax, dYStep)) {
    for (int64_t k = kr->first; k <= kr->second; ++k) {
      const double y = static_cast<double>(k) * dYStep;
      const auto py = YToPixel(y, dYMin, dYFactor, iMaxY);
      if (!py || !(*py > iTopMargin - 5 && *py < iMaxY + 5)) continue;
      p.drawLine(iLeftMargin, *py, iMaxX, *py);
      const QString s = QString::fromStdString(TickLabel(y));
      const int right = col.value_or(iLeftMargin) - 2;
      p.drawText(QRect(right - iLeftMargin, *py - fm.height() / 2, iLeftMargin, fm.height()),
                 Qt::AlignRight | Qt::AlignVCenter, s);
    }
  }
  const int titleTop = iTopMargin - 5 * fm.height() / 3;
  if (!sTitle.isEmpty())
    p.drawText(QRect(0, titleTop, iMaxX, fm.height()), Qt::AlignRight | Qt::AlignTop, sTitle);
  const QString xCap = "  " + sTextXAxis + "  ";
  p.drawText(iMaxX - fm.horizontalAdvance(sTextXAxis), iMaxY + fm.height() / 2 + fm.ascent(), xCap);
  const int yw = fm.horizontalAdvance(sTextYAxis);
  p.drawText(iLeftMargin - yw / 2, titleTop + fm.ascent(), sTextYAxis);
}

void TOsci::DrawCurve(QPainter& p, int i) {
  const auto& c = FCurve[static_cast<size_t>(i)];
  const int32_t n = static_cast<int32_t>(c.size());
  const auto s = CircularStartIndex(n, dXCircularOffset, dXMin, dXMax);
  if (!s) return;
  const double yMin = dGoodYMin;
  std::vector<QPoint> pts;
  pts.reserve(c.size());
  for (int32_t d = 0; d < n; ++d) {
    const auto px = SampleToPixel(d, dXFactor0, iLeftMargin);
    const auto py = YToPixel(c[static_cast<size_t>((*s + d) % n)], yMin, dYFactor, iMaxY);
    if (!px || !py) return;  // an arithmetic error skips the curve
    pts.emplace_back(*px, *py);
  }
  const QColor color = FGraphColor[static_cast<size_t>(i)];
  if (FGraphStyle[static_cast<size_t>(i)] == gsDoubleLine) {
    p.setPen(QPen(color, 3));
    p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    p.setPen(QPen(Qt::white, 1));
  } else {
    p.setPen(QPen(color, 2));
  }
  p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
  p.setPen(QPen(Qt::black, 1));
  aLastPolyline[static_cast<size_t>(i)] = std::move(pts);
}

}  // namespace zeb7::gui
