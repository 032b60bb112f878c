#pragma once
// Arithmetic of the oscillogram chart: Y auto-scaling, tick steps, tick
// labels, value-to-pixel mapping and the circular start index. Pure
// functions, so the painting code stays thin and the numbers are testable
// without a canvas. std::nullopt stands for an arithmetic error, which the
// painter answers by skipping the axes or the curve concerned.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace zeb7 {

enum TGraphStyle : uint8_t { gsSingleLine = 0, gsDoubleLine = 1 };

constexpr int32_t kOsciCurves = 12;

struct TRgb {
  uint8_t r, g, b;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};
// Default curve colours of the chart: black, maroon, red, fuchsia, teal,
// lime, blue, purple, gray, white, green, navy.
inline constexpr TRgb kOsciDefaultColors[kOsciCurves] = {
    {0, 0, 0},   {128, 0, 0},   {255, 0, 0},     {255, 0, 255},   {0, 128, 128}, {0, 255, 0},
    {0, 0, 255}, {128, 0, 128}, {128, 128, 128}, {255, 255, 255}, {0, 128, 0},   {0, 0, 128}};

struct TYRange {
  double dMin = -1.0;
  double dMax = 1.0;
};

// The chart computes decimal logarithms and powers with this constant instead
// of ln 10; tick steps near a power of ten depend on the difference.
constexpr double kOsciLn10 = 2.302585093;
double OsciLog10(double x);
double OsciPow10(double y);

// Widens the smaller side of [dMin, dMax] (which must contain 0) to a fifth
// of the larger side; an all-zero range becomes -1..1.
TYRange AutoScaleLimits(double dMin, double dMax);
// Y range of the given curves (empty spans are absent curves).
TYRange AutoScale(std::span<const std::span<const double>> curves);

// Tick step for lo..hi with iTicks ticks. A range narrower than 0.0001
// becomes -1..1 in place.
std::optional<double> TickStep(double& dLo, double& dHi, int32_t iTicks);

// Number of ticks for a plot of the given size and font height h.
int32_t YTickCount(int32_t iHeight, int32_t h);
int32_t XTickCount(int32_t iWidth, int32_t h);

// Grid indices k from round(lo / step) to round(hi / step).
std::optional<std::pair<int64_t, int64_t>> TickIndexRange(double dLo, double dHi, double dStep);

// Value shown under an X grid line: x, or x modulo dXMod when the step is
// fine enough for the modulus to matter.
double XLabelValue(double x, double dXStep, double dXMod);

// Decimal exponent class of a tick label and the float pattern it picks.
int32_t TickLabelMagnitude(double v);
std::string_view TickLabelPattern(double v);
std::string TickLabel(double v);

// Float formatting with a pattern of "0" (mandatory digit), "#" (optional
// digit), "." and an optional "E-0"/"E+0" exponent; halves away from zero.
std::string FormatFloat(std::string_view sPattern, double v);

struct TChartMargins {
  int32_t iLeft = 50;
  int32_t iRight = 20;
  int32_t iTop = 30;
  int32_t iBottom = 20;
};
// Margins from the font height: on screen 6h/2h/2h/2h, on paper the top is 10h.
TChartMargins ScreenMargins(int32_t h);
TChartMargins PageMargins(int32_t h);

// Pixels per unit for a plot span; nullopt for an empty or invalid range.
std::optional<double> ScaleFactor(int32_t iPixels, double dRange);

std::optional<int32_t> XToPixel(double x, double dXMinCirc, double dXFactor, int32_t iLeftMargin);
std::optional<int32_t> YToPixel(double y, double dYMin, double dYFactor, int32_t iMaxY);
std::optional<int32_t> SampleToPixel(int32_t k, double dXFactor0, int32_t iLeftMargin);

// The X value whose column carries the Y labels.
double YLabelColumn(double dXMinCirc, double dXMaxCirc);

// First sample drawn for a ring buffer of n samples shifted by dXCircularOffset
// over the X range dXMin..dXMax; always within 0..n-1 for n > 0.
std::optional<int32_t> CircularStartIndex(int32_t n, double dXCircularOffset, double dXMin, double dXMax);

}  // namespace zeb7
