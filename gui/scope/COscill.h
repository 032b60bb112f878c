#pragma once
// The oscillogram chart control: up to 12 curves of equal-spaced samples over
// a grid with automatic ticks, drawn on screen (paintEvent) and on a page
// whose logical unit is 0.1 mm (Paint2). The arithmetic is core/scope/COscill.
#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "scope/COscill.h"

class QPainter;

namespace zeb7::gui {

class TOsci : public QWidget {
  Q_OBJECT
 public:
  explicit TOsci(QWidget* parent = nullptr);

  void SetCurve(const std::vector<double>& adCurve, int iNr, bool boRefresh);
  void Clear(int iNr);
  void ClearAll();
  void Redraw();
  void SetYRange(bool boRefresh, double dMin, double dMax);
  void SetGraphColor(int iIndex, QColor c);
  QColor GetGraphColor(int iIndex) const;
  void SetGraphStyle(int iIndex, TGraphStyle s);
  TGraphStyle GetGraphStyle(int iIndex) const;
  const std::vector<double>& Curve(int iNr) const { return FCurve[static_cast<size_t>(iNr)]; }
  bool HasCurve(int iNr) const { return iNr >= 0 && iNr < kOsciCurves && !FCurve[static_cast<size_t>(iNr)].empty(); }

  // Draws the chart on a page canvas (0.1 mm per unit) of the given size.
  void Paint2(QPainter& p, int iPageWidth, int iPageHeight);
  // Draws the screen chart onto any painter (the widget, an image).
  void PaintScreen(QPainter& p, int iWidth, int iHeight);

  // Properties: a setter given the current value does nothing.
  void SetTitle(const QString& s);
  void SetTextXAxis(const QString& s);
  void SetTextYAxis(const QString& s);
  void SetXMin(double v);
  void SetXMax(double v);
  void SetXMod(double v);
  void SetXCircularOffset(double v);
  void SetYMin(double v);
  void SetYMax(double v);
  void SetAutoRedraw(bool b);
  void SetAutoScaling(bool b);
  bool AutoScaling() const { return boAutoScaling; }
  bool AutoRedraw() const { return boAutoRedraw; }
  bool Modified() const { return boModified; }

  // State of the last paint, as the tests and the window read it.
  double dXMin = 0, dXMax = 1, dYMin = -1, dYMax = 1;
  double dXStep = 0, dYStep = 0, dXMod = 0, dXCircularOffset = 0;
  double dXMinCirc = 0, dXMaxCirc = 1;
  int iMinWidth = 40, iMinHeight = 40;
  int iLeftMargin = 50, iRightMargin = 20, iTopMargin = 30, iBottomMargin = 20;
  int iMaxX = 0, iMaxY = 0;
  double dXFactor = 0, dYFactor = 0, dXFactor0 = 0;
  QString sTitle, sTextXAxis = "X", sTextYAxis = "Y";
  // Pixel points of each curve in the last paint (empty when not drawn).
  std::array<std::vector<QPoint>, kOsciCurves> aLastPolyline;
  int iPaints = 0;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void Changed();
  void Draw(QPainter& p, int iWidth, int iHeight, int h, TChartMargins m);
  bool ScaleAndAxes(QPainter& p, int iWidth, int iHeight, int h);
  void DrawAxes(QPainter& p, int h);
  void DrawCurve(QPainter& p, int i);

  std::array<std::vector<double>, kOsciCurves> FCurve;
  std::array<QColor, kOsciCurves> FGraphColor;
  std::array<TGraphStyle, kOsciCurves> FGraphStyle{};
  bool boAutoScaling = true;
  bool boAutoRedraw = false;
  bool boModified = true;
  bool boHaveScale = false;  // a valid Y scale exists from an earlier paint
  double dGoodYMin = -1, dGoodYFactor = 0, dGoodXFactor = 0;
};

}  // namespace zeb7::gui
