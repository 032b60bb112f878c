#include "displays/NumericCore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "displays/DisplayMath.h"
#include "workspace/ProjectDocument.h"

namespace zeb7 {
namespace {

bool IsFixedPoint(uint8_t format) { return format >= 1 && format <= 10; }

// The lowest 4 * digits bits.
uint64_t HexMask(int32_t digits) {
  if (digits >= 16) return ~uint64_t(0);
  return (uint64_t(1) << (4 * digits)) - 1;
}

}  // namespace

TNumericProps ParseNumericProps(std::string_view props) {
  TNumericProps p;
  std::string f0 = ExtractString(props, 0, "");
  int64_t d = ExtractInteger(props, 0, 5);
  p.Signed = d < 0;
  if (f0.find('x') != std::string::npos) {
    p.Format = kFormatHex;
  } else if (f0.find('f') != std::string::npos) {
    p.Format = kFormatFloat;
  } else {
    int32_t dec = ExtractInteger(props, 1, 0);
    p.Format = (dec >= 1 && dec <= 10) ? static_cast<uint8_t>(dec) : 0;
  }
  int64_t digits = std::llabs(d) + (IsFixedPoint(p.Format) ? p.Format : 0);
  p.Digits = static_cast<int32_t>(std::min<int64_t>(digits, 1000));
  p.Factor = ExtractFloat(props, 2, 1.0);
  p.Unit = ExtractString(props, 3, "");
  return p;
}

TNumericDisplayCore::TNumericDisplayCore(TDisplayClass cls) : TDisplayCore(cls) {
  fIstEingabe_ = true;
  bounds_ = TRect{0, 0, 145, 50};
  cells_.resize(fDigits_ + 1);
  Layout();
}

int32_t TNumericDisplayCore::Decimals() const { return IsFixedPoint(fZahlenformat_) ? fZahlenformat_ : 0; }

bool TNumericDisplayCore::SetRawValue(int64_t raw) {
  if (IsFloatParam()) return TDisplayCore::SetRawValue(raw);
  if (raw == GetRawValue()) return false;
  long double v = fUmrechnungsfaktor_ == 1.0 ? static_cast<long double>(raw)
                                             : static_cast<long double>(raw) * fUmrechnungsfaktor_;
  return SetValue(v);
}

int64_t TNumericDisplayCore::GetRawValue() const {
  if (IsFloatParam()) return SingleToRaw(ToSingle(fValue_ / fUmrechnungsfaktor_));
  return ExtendedToInt64(fValue_ / fUmrechnungsfaktor_);
}

void TNumericDisplayCore::ApplyProps(const TNumericProps& p) {
  fMitVorzeichen_ = p.Signed;
  if (!p.Signed) boSign_ = false;
  fZahlenformat_ = p.Format;
  SetDigits(p.Digits);
  fEinheit_ = p.Unit;
  SetUmrechnungsfaktor(p.Factor);
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  ApplyProps(ParseNumericProps(LocalParam.sControlProperties));
}

void TNumericDisplayCore::SetDigits(int32_t n) {
  int32_t minimum = (fMitVorzeichen_ ? 1 : 0) + (IsFixedPoint(fZahlenformat_) ? fZahlenformat_ + 1 : 1);
  if (n < minimum) n = minimum;
  if (n > kMaxDigits) n = kMaxDigits;
  if (n == fDigits_) return;
  fDigits_ = n;
  cells_.assign(fDigits_ + 1, TDigitCell{});
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetEinrueckung(int32_t n) {
  if (n == fDigitLeft_) return;
  fDigitLeft_ = n;
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetMitVorzeichen(bool b) {
  fMitVorzeichen_ = b;
  if (!b) boSign_ = false;
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetZahlenformat(uint8_t format) {
  fZahlenformat_ = format;
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetEinheit(std::string unit) {
  fEinheit_ = std::move(unit);
  Layout();
  RefreshDisplay();
}

void TNumericDisplayCore::SetCaption(std::string latin1) { TDisplayCore::SetCaption(std::move(latin1)); }

std::string TNumericDisplayCore::UnitText() const { return fZahlenformat_ == kFormatHex ? "HEX" : fEinheit_; }

void TNumericDisplayCore::Layout() {
  if (cells_.size() != static_cast<size_t>(fDigits_ + 1)) cells_.assign(fDigits_ + 1, TDigitCell{});
  iDotPos_ = IsFixedPoint(fZahlenformat_) ? fZahlenformat_ - 1 : -1;
  int32_t n = fDigits_;
  cells_[fDigits_].Visible = fMitVorzeichen_;
  if (!fMitVorzeichen_) n -= 1;
  int32_t x = n * 12 + fDigitLeft_ + (iDotPos_ >= 0 ? 5 : 0);
  unitLeft_ = x + 11;
  unitWidth_ = bounds_.Width - 7 - unitLeft_;
  dotLeft_ = -10;
  for (int32_t i = 0; i <= n; ++i) {
    cells_[i].Left = x - 1;
    if (i < fDigits_) cells_[i].Visible = true;
    if (i == iDotPos_) {
      dotLeft_ = x - 6;
      x -= 5;
    }
    x -= 12;
  }
  optimalWidth_ = unitLeft_ + 24 + (UnitVisible() ? TextWidth(UnitText(), frText) : 0);
  optimalHeight_ = 80;
}

void TNumericDisplayCore::RefreshDisplay() {
  if (cells_.size() != static_cast<size_t>(fDigits_ + 1)) Layout();
  TDigitCell& signCell = cells_[fDigits_];
  if (fZahlenformat_ == kFormatHex) {
    int64_t v = fUmrechnungsfaktor_ != 1.0 ? ExtendedToInt64(fValue_) : i64RawValue_;
    uint64_t u = static_cast<uint64_t>(v) & HexMask(fDigits_);
    for (int32_t i = 0; i < fDigits_; ++i) cells_[i].Text = "0123456789ABCDEF"[(u >> (4 * i)) & 15];
    signCell.Text = '$';
  } else if (fZahlenformat_ == kFormatFloat) {
    // Clamped to the cells like the fixed-point formats; the sign follows the value.
    uint64_t u = AbsClamped(ExtendedToInt64(std::fabs(fValue_)));
    u = std::min<uint64_t>(u, static_cast<uint64_t>(AllNines(fDigits_)));
    for (int32_t i = 0; i < fDigits_; ++i) {
      bool has = i == 0 || u >= static_cast<uint64_t>(Pow10i(i));
      cells_[i].Text = has ? static_cast<char>('0' + (u / Pow10i(i)) % 10) : ' ';
    }
    if (fValue_ < 0 && fMitVorzeichen_) boSign_ = true;
    else if (fValue_ > 0) boSign_ = false;
    signCell.Text = boSign_ ? '-' : '+';
  } else {
    const int32_t f = Decimals();
    int64_t q = ExtendedToInt64(fValue_ * Pow10l(f));
    uint64_t s = std::min<uint64_t>(AbsClamped(q), static_cast<uint64_t>(AllNines(fDigits_)));
    q = (q < 0 && fMitVorzeichen_) ? -static_cast<int64_t>(s) : static_cast<int64_t>(s);
    if (f == 0 && fUmrechnungsfaktor_ == 1.0)
      i64RawValue_ = q;
    else
      i64RawValue_ = ExtendedToInt64((static_cast<long double>(q) / Pow10l(f)) / fUmrechnungsfaktor_);
    for (int32_t i = 0; i < fDigits_; ++i) {
      bool has = i == 0 || s >= static_cast<uint64_t>(Pow10i(i));
      if (has)
        cells_[i].Text = static_cast<char>('0' + (s / Pow10i(i)) % 10);
      else
        cells_[i].Text = i <= iDotPos_ + 1 ? '0' : ' ';
    }
    if (q < 0) boSign_ = true;
    else if (q > 0) boSign_ = false;
    signCell.Text = boSign_ ? '-' : '+';
  }
  TDisplayCore::RefreshDisplay();
}

std::string TNumericDisplayCore::ShownText() const {
  std::string out;
  if (cells_.size() != static_cast<size_t>(fDigits_ + 1)) return out;
  if (cells_[fDigits_].Visible) out += cells_[fDigits_].Text;
  for (int32_t i = fDigits_ - 1; i >= 0; --i) {
    out += cells_[i].Text;
    if (iDotPos_ >= 0 && i == iDotPos_ + 1) out += '.';
  }
  return out;
}

void TNumericDisplayCore::OptimalSize() {
  Layout();
  TDisplayCore::OptimalSize();
}

void TNumericDisplayCore::WriteRecord(TProjectItem& rec) const {
  TDisplayCore::WriteRecord(rec);
  rec.DigLeft = fDigitLeft_;
}

void TNumericDisplayCore::ReadRecord(const TProjectItem& rec) {
  TDisplayCore::ReadRecord(rec);
  SetEinrueckung(rec.DigLeft);
}

// ------------------------------------------------------------------ thumb wheel

TThumbWheelCore::TThumbWheelCore() : TNumericDisplayCore(dcThumbWheel) { Layout(); }

void TThumbWheelCore::Layout() {
  TNumericDisplayCore::Layout();
  buttons_.clear();
  for (int32_t i = 0; i <= fDigits_; ++i) {
    const bool sign = i == fDigits_;
    const int32_t tag = sign ? 0 : i + 1;
    const bool visible = sign ? fMitVorzeichen_ : cells_[i].Visible;
    buttons_.push_back(TWheelButton{cells_[i].Left - 1, 20, tag, true, visible});
    buttons_.push_back(TWheelButton{cells_[i].Left - 1, 53, sign ? 0 : -tag, false, visible});
  }
}

bool TThumbWheelCore::Click(int32_t tag) {
  if (tag > fDigits_ || tag < -fDigits_) return false;
  const int32_t f = Decimals();
  const long double scale = Pow10l(f);
  int64_t b = ExtendedToInt64(fValue_ * scale);
  if (fZahlenformat_ == kFormatHex) {
    if (tag != 0) {
      const int64_t step = int64_t(1) << (4 * (std::abs(tag) - 1));
      if (tag > 0)
        b = b > std::numeric_limits<int64_t>::max() - step ? std::numeric_limits<int64_t>::max() : b + step;
      else
        b = b < std::numeric_limits<int64_t>::min() + step ? std::numeric_limits<int64_t>::min() : b - step;
    }
    if (b < 0) b = 0;
    b = static_cast<int64_t>(static_cast<uint64_t>(b) & HexMask(fDigits_));
  } else {
    if (fZahlenformat_ == kFormatFloat && fValue_ != 0) boSign_ = fValue_ < 0 && fMitVorzeichen_;
    uint64_t u = AbsClamped(b);
    if (tag == 0) {
      if (fMitVorzeichen_) boSign_ = !boSign_;
    } else {
      const uint64_t step = static_cast<uint64_t>(Pow10i(std::abs(tag) - 1));
      if (tag > 0) u += step;
      else u = u < step ? 0 : u - step;
    }
    u = std::min<uint64_t>(u, static_cast<uint64_t>(AllNines(fDigits_)));
    b = boSign_ ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
  }
  fValue_ = static_cast<long double>(b) / scale;
  if (fUmrechnungsfaktor_ == 1.0 && (fZahlenformat_ == 0 || fZahlenformat_ == kFormatHex))
    i64RawValue_ = b;
  else
    i64RawValue_ = ExtendedToInt64(fValue_ / fUmrechnungsfaktor_);
  RefreshDisplay();
  return true;
}

}  // namespace zeb7
