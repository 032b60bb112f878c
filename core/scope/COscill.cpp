#include "scope/COscill.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zeb7 {

namespace {

constexpr double kInt64Limit = 9223372036854775808.0;

std::optional<int32_t> RoundToInt32(double v) {
  const double r = std::nearbyint(v);  // halves to even
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return std::nullopt;
  return static_cast<int32_t>(r);
}

// |v| as decimal digits: value = 0.d1d2...dn x 10^iExp (15 significant digits,
// which is what a double carries; printing more would expose binary noise).
struct TDecimal {
  std::string sDigits;
  int32_t iExp = 0;
};

TDecimal ToDecimal(double a) {
  TDecimal d;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, 14);
  std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
  const size_t e = s.find('e');
  d.sDigits.push_back(s[0]);
  d.sDigits.append(s.substr(2, e - 2));
  d.iExp = std::atoi(std::string(s.substr(e + 1)).c_str()) + 1;
  if (a == 0.0) d.iExp = 0;
  return d;
}

// Keeps the first iKeep digits, rounding half away from zero.
void RoundDigits(TDecimal& d, int32_t iKeep) {
  if (iKeep < 0) {
    d.sDigits.clear();
    return;
  }
  if (static_cast<size_t>(iKeep) >= d.sDigits.size()) return;
  const bool boUp = d.sDigits[static_cast<size_t>(iKeep)] >= '5';
  d.sDigits.resize(static_cast<size_t>(iKeep));
  if (!boUp) return;
  int32_t i = iKeep - 1;
  for (; i >= 0; --i) {
    char& c = d.sDigits[static_cast<size_t>(i)];
    if (c == '9') {
      c = '0';
    } else {
      ++c;
      break;
    }
  }
  if (i < 0) {  // carried out of the first digit
    d.sDigits.insert(d.sDigits.begin(), '1');
    ++d.iExp;
  }
}

char DigitAt(const TDecimal& d, int32_t i) {
  return (i >= 0 && static_cast<size_t>(i) < d.sDigits.size()) ? d.sDigits[static_cast<size_t>(i)] : '0';
}

bool AllZero(const std::string& s) { return s.find_first_not_of("0.E-+") == std::string::npos; }

}  // namespace

double OsciLog10(double x) { return std::log(x) / kOsciLn10; }
double OsciPow10(double y) { return std::exp(y * kOsciLn10); }

TYRange AutoScaleLimits(double dMin, double dMax) {
  if (-dMax > dMin && 0 < dMax && dMax < -dMin / 5)
    dMax = -dMin / 5;
  else if (dMin < 0 && dMin > -dMax / 5)
    dMin = -dMax / 5;
  if (dMin == 0 && dMax == 0) return TYRange{-1.0, 1.0};
  return TYRange{dMin, dMax};
}

TYRange AutoScale(std::span<const std::span<const double>> curves) {
  double dMin = 0.0, dMax = 0.0;
  for (const auto& curve : curves)
    for (double v : curve) {
      if (v > dMax) dMax = v;
      if (v < dMin) dMin = v;
    }
  return AutoScaleLimits(dMin, dMax);
}

std::optional<double> TickStep(double& dLo, double& dHi, int32_t iTicks) {
  if (dHi - dLo < 0.0001) {
    dLo = -1.0;
    dHi = 1.0;
  }
  if (iTicks <= 0) return std::nullopt;
  const double q = (dHi - dLo) / iTicks;
  if (!(q > 0.0) || !std::isfinite(q)) return std::nullopt;
  const double b = OsciLog10(q);
  const double c = (b + 100.0) - std::trunc(b + 100.0);
  const double m = c < 0.3 ? 1.0 : c < 0.6 ? 2.0 : c < 0.7 ? 4.0 : 5.0;
  const double dStep = OsciPow10(b - c) * m;
  if (!(dStep > 0.0) || !std::isfinite(dStep)) return std::nullopt;
  return dStep;
}

int32_t YTickCount(int32_t iHeight, int32_t h) { return h > 0 ? (iHeight - 3 * h) / (2 * h) : 0; }
int32_t XTickCount(int32_t iWidth, int32_t h) { return h > 0 ? (iWidth - 2 * h) / (5 * h) : 0; }

std::optional<std::pair<int64_t, int64_t>> TickIndexRange(double dLo, double dHi, double dStep) {
  if (dStep == 0.0) return std::nullopt;
  const double k1 = std::nearbyint(dLo / dStep), k2 = std::nearbyint(dHi / dStep);
  if (!(k1 > -kInt64Limit && k1 < kInt64Limit && k2 > -kInt64Limit && k2 < kInt64Limit)) return std::nullopt;
  return std::make_pair(static_cast<int64_t>(k1), static_cast<int64_t>(k2));
}

double XLabelValue(double x, double dXStep, double dXMod) {
  if (!(dXStep / 10000 < dXMod)) return x;
  if (dXMod == 0.0) return 0.0;  // division by zero
  const double q = x / dXMod;
  if (!std::isfinite(q)) return 0.0;
  const double r = dXMod * (q - std::trunc(q));
  return std::isfinite(r) ? r : 0.0;
}

int32_t TickLabelMagnitude(double v) {
  const double a = std::fabs(v);
  if (a < 1e-12) return -20;
  const double l = OsciLog10(a) + 0.0005;
  if (!std::isfinite(l)) return 1;
  return static_cast<int32_t>(std::trunc(l));  // toward zero: 0.1 counts as 0, not -1
}

std::string_view TickLabelPattern(double v) {
  const int32_t r = TickLabelMagnitude(v);
  if (r >= 4) return "0.0E-0";
  switch (r) {
    case 3: return "#00";
    case 2: return "00";
    case 1: return "0.0";
    case 0: return "0.00";
    case -1: return ".000";
    default: return r >= -10 ? "0.0E-0" : "0.0";
  }
}

std::string TickLabel(double v) { return FormatFloat(TickLabelPattern(v), v); }

std::string FormatFloat(std::string_view sPattern, double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";

  const size_t ePos = sPattern.find_first_of("Ee");
  const std::string_view mant = sPattern.substr(0, ePos);
  const size_t dot = mant.find('.');
  const std::string_view intPart = mant.substr(0, dot);
  const std::string_view fracPart = dot == std::string_view::npos ? std::string_view() : mant.substr(dot + 1);
  int32_t iMinInt = 0, iDecimals = 0, iMinDecimals = 0;
  for (char c : intPart) iMinInt += c == '0';
  for (char c : fracPart)
    if (c == '0' || c == '#') {
      ++iDecimals;
      if (c == '0') iMinDecimals = iDecimals;
    }

  TDecimal d = ToDecimal(std::fabs(v));
  std::string out;
  if (ePos == std::string_view::npos) {
    RoundDigits(d, d.iExp + iDecimals);
    std::string sInt;
    for (int32_t i = 0; i < d.iExp; ++i) sInt.push_back(DigitAt(d, i));
    if (!sInt.empty() && sInt.find_first_not_of('0') == std::string::npos) sInt.clear();
    if (static_cast<int32_t>(sInt.size()) < iMinInt) sInt.insert(0, static_cast<size_t>(iMinInt) - sInt.size(), '0');
    std::string sFrac;
    for (int32_t j = 0; j < iDecimals; ++j) sFrac.push_back(DigitAt(d, d.iExp + j));
    while (static_cast<int32_t>(sFrac.size()) > iMinDecimals && sFrac.back() == '0') sFrac.pop_back();
    out = sInt;
    if (!sFrac.empty()) out += "." + sFrac;
    if (out.empty()) out.push_back('0');
  } else {
    const std::string_view expPart = sPattern.substr(ePos + 1);
    const bool boPlus = !expPart.empty() && expPart[0] == '+';
    int32_t iExpDigits = 0;
    for (char c : expPart) iExpDigits += c == '0';
    const int32_t iIntDigits = std::max<int32_t>(1, iMinInt);
    int32_t iExp = 0;
    if (!d.sDigits.empty() && d.sDigits.find_first_not_of('0') != std::string::npos) {
      RoundDigits(d, iIntDigits + iDecimals);
      iExp = d.iExp - iIntDigits;
    }
    for (int32_t i = 0; i < iIntDigits; ++i) out.push_back(DigitAt(d, i));
    std::string sFrac;
    for (int32_t j = 0; j < iDecimals; ++j) sFrac.push_back(DigitAt(d, iIntDigits + j));
    while (static_cast<int32_t>(sFrac.size()) > iMinDecimals && sFrac.back() == '0') sFrac.pop_back();
    if (!sFrac.empty()) out += "." + sFrac;
    std::string sExp = std::to_string(std::abs(iExp));
    if (static_cast<int32_t>(sExp.size()) < iExpDigits) sExp.insert(0, static_cast<size_t>(iExpDigits) - sExp.size(), '0');
    out += sPattern[ePos];
    if (iExp < 0)
      out += '-';
    else if (boPlus)
      out += '+';
    out += sExp;
  }
  if (v < 0 && !AllZero(out.substr(0, out.find_first_of("Ee")))) out.insert(0, 1, '-');
  return out;
}

TChartMargins ScreenMargins(int32_t h) {
  h = std::abs(h);
  return TChartMargins{6 * h, 2 * h, 2 * h, 2 * h};
}

TChartMargins PageMargins(int32_t h) {
  h = std::abs(h);
  return TChartMargins{6 * h, 2 * h, 10 * h, 2 * h};
}

std::optional<double> ScaleFactor(int32_t iPixels, double dRange) {
  if (dRange == 0.0) return std::nullopt;
  const double f = iPixels / dRange;
  if (!std::isfinite(f)) return std::nullopt;
  return f;
}

std::optional<int32_t> XToPixel(double x, double dXMinCirc, double dXFactor, int32_t iLeftMargin) {
  auto r = RoundToInt32((x - dXMinCirc) * dXFactor);
  if (!r) return std::nullopt;
  return RoundToInt32(static_cast<double>(*r) + iLeftMargin);
}

std::optional<int32_t> YToPixel(double y, double dYMin, double dYFactor, int32_t iMaxY) {
  auto r = RoundToInt32((y - dYMin) * dYFactor);
  if (!r) return std::nullopt;
  return RoundToInt32(static_cast<double>(iMaxY) - *r);
}

std::optional<int32_t> SampleToPixel(int32_t k, double dXFactor0, int32_t iLeftMargin) {
  auto r = RoundToInt32(k * dXFactor0);
  if (!r) return std::nullopt;
  return RoundToInt32(static_cast<double>(*r) + iLeftMargin);
}

double YLabelColumn(double dXMinCirc, double dXMaxCirc) {
  return (dXMinCirc <= 0.0 && 0.0 <= dXMaxCirc) ? 0.0 : dXMinCirc;
}

std::optional<int32_t> CircularStartIndex(int32_t n, double dXCircularOffset, double dXMin, double dXMax) {
  if (n <= 0) return 0;
  if (dXMax == dXMin) return std::nullopt;
  const double q = dXCircularOffset / (dXMax - dXMin);
  if (!std::isfinite(q)) return std::nullopt;
  double f = q - std::trunc(q);
  if (f < 0) f += 1.0;
  // A tiny negative fraction plus 1 rounds to 1.0, which would start one past
  // the last sample.
  const int32_t s = static_cast<int32_t>(std::trunc(n * f));
  return s >= n ? n - 1 : s;
}

}  // namespace zeb7
