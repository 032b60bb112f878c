#include "displays/SelectionCore.h"

#include <algorithm>

#include "displays/DisplayMath.h"
#include "displays/NumericCore.h"

namespace zeb7 {
namespace {

// Fields first..last of the properties, up to the first missing one.
std::vector<std::string> FieldsFrom(std::string_view props, int first, int last) {
  std::vector<std::string> out;
  static const std::string kMissing("\x01missing");
  for (int i = first; i <= last; ++i) {
    std::string f = ExtractString(props, i, kMissing);
    if (f == kMissing) break;
    out.push_back(std::move(f));
  }
  return out;
}

// Top of item i of n in a window of that height.
int32_t ItemTop(int32_t height, int32_t i, int32_t n) {
  return static_cast<int32_t>(static_cast<int64_t>(height) * (2 * i + 2) / (2 * n + 3));
}

}  // namespace

// ------------------------------------------------------------------ radio

TRadioCore::TRadioCore() : TDisplayCore(dcRadio) {}

bool TRadioCore::SetRawValue(int64_t raw) {
  bool changed = false;
  if (raw >= 0 && raw < static_cast<int64_t>(buttons_.size()) && checked_ != raw) {
    checked_ = static_cast<int32_t>(raw);
    for (size_t i = 0; i < buttons_.size(); ++i) buttons_[i].Checked = static_cast<int32_t>(i) == checked_;
    changed = true;
  }
  if (raw != i64RawValue_) {
    i64RawValue_ = raw;
    fValue_ = static_cast<long double>(raw);
    changed = true;
  }
  if (changed && OnChanged) OnChanged();
  return changed;
}

void TRadioCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  SetItems(FieldsFrom(LocalParam.sControlProperties, 0, 100));
}

void TRadioCore::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  RefreshDisplay();
}

void TRadioCore::Rebuild() {
  const int32_t n = static_cast<int32_t>(std::min<size_t>(items_.size(), kMaxRadioItems));
  int32_t w = 0;
  for (int32_t i = 0; i < n; ++i) w = std::max(w, TextWidth(items_[i], frText));
  optimalWidth_ = w + 72;
  optimalHeight_ = 15 * n + 30;
  buttons_.resize(n);
  checked_ = -1;
  for (int32_t i = 0; i < n; ++i) {
    TItemPlace& b = buttons_[i];
    b.Left = 40;
    b.Top = ItemTop(bounds_.Height, i, n);
    b.Width = w + 20;
    b.Text = items_[i];
    b.Checked = i64RawValue_ == i;
    if (b.Checked) checked_ = i;
  }
}

void TRadioCore::RefreshDisplay() {
  Rebuild();
  TDisplayCore::RefreshDisplay();
}

bool TRadioCore::Click(int32_t i) {
  if (i < 0 || i >= static_cast<int32_t>(buttons_.size())) return false;
  SetRawValue(i);
  return true;
}

// ------------------------------------------------------------------ check box

TCheckCore::TCheckCore() : TDisplayCore(dcCheck) {
  optimalWidth_ = 100;
  optimalHeight_ = 50;
}

bool TCheckCore::SetRawValue(int64_t raw) {
  bool checked = raw != 0;
  bool changed = checked != checked_ || raw != i64RawValue_;
  checked_ = checked;
  if (raw != i64RawValue_) {
    i64RawValue_ = raw;
    fValue_ = static_cast<long double>(raw);
    RefreshDisplay();
  } else if (changed && OnChanged) {
    OnChanged();
  }
  return changed;
}

void TCheckCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  SetText(ExtractString(LocalParam.sControlProperties, 0, "???"));
}

void TCheckCore::SetText(std::string latin1) {
  text_ = std::move(latin1);
  optimalWidth_ = TextWidth(text_, frText) + 40;
  RefreshDisplay();
}

bool TCheckCore::Click(bool checked) {
  SetRawValue(checked ? 1 : 0);
  return true;
}

TRect TCheckCore::BoxBounds() const { return TRect{40, 20, std::max(0, bounds_.Width - 12 - 40), 20}; }

void TCheckCore::RefreshDisplay() { TDisplayCore::RefreshDisplay(); }

// ------------------------------------------------------------------ single LED

TLedCore::TLedCore() : TDisplayCore(dcLed) {
  optimalWidth_ = 100;
  optimalHeight_ = 50;
}

bool TLedCore::SetRawValue(int64_t raw) {
  if (raw == i64RawValue_) return false;
  i64RawValue_ = raw;
  fValue_ = static_cast<long double>(raw);
  RefreshDisplay();
  return true;
}

void TLedCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  std::string colours = ExtractString(LocalParam.sControlProperties, 0, "R");
  colorOn_ = colours.empty() ? 'R' : colours[0];
  colorOff_ = colours.size() > 1 ? colours[1] : ' ';
  SetText(ExtractString(LocalParam.sControlProperties, 1, "???"));
}

void TLedCore::SetText(std::string latin1) {
  text_ = std::move(latin1);
  RefreshDisplay();
}

TLedPicture TLedCore::Picture() const {
  TLedPicture p = lpGrey;
  if (Lit()) {
    if (!LedPictureOfLetter(colorOn_, p) || p == lpBlue) p = lpBlue;
    return p;
  }
  if (!LedPictureOfLetter(colorOff_, p)) p = lpGrey;
  return p;
}

void TLedCore::RefreshDisplay() {
  optimalWidth_ = TextWidth(text_, frText) + 72;
  TDisplayCore::RefreshDisplay();
}

// ------------------------------------------------------------------ LED group and array

TLedRadioCore::TLedRadioCore(TDisplayClass cls) : TDisplayCore(cls) {
  optimalWidth_ = 100;
  optimalHeight_ = 50;
}

bool TLedRadioCore::SetRawValue(int64_t raw) {
  if (raw == i64RawValue_) return false;
  i64RawValue_ = raw;
  fValue_ = static_cast<long double>(raw);
  RefreshDisplay();
  return true;
}

void TLedRadioCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  ledColors_ = ExtractString(LocalParam.sControlProperties, 0, "G");
  items_ = FieldsFrom(LocalParam.sControlProperties, 1, 30);
  RefreshDisplay();
}

void TLedRadioCore::Rebuild() {
  int32_t w = 0;
  for (const auto& it : items_) w = std::max(w, TextWidth(it, frText));
  optimalWidth_ = w + 92;
  optimalHeight_ = 15 * static_cast<int32_t>(items_.size()) + 30;
  const int32_t n = static_cast<int32_t>(std::min<size_t>(items_.size(), kMaxLedItems));
  labels_.resize(n);
  for (int32_t i = 0; i < n; ++i) {
    labels_[i].Left = 60;
    labels_[i].Top = ItemTop(bounds_.Height, i, n);
    labels_[i].Width = w + 20;
    labels_[i].Text = items_[i];
    labels_[i].Checked = LedLit(i);
  }
}

void TLedRadioCore::RefreshDisplay() {
  Rebuild();
  TDisplayCore::RefreshDisplay();
}

bool TLedRadioCore::LedLit(int32_t i) const { return i64RawValue_ == i; }

std::vector<TLedPicture> TLedRadioCore::LedPictures() const {
  std::vector<TLedPicture> out;
  for (size_t i = 0; i < labels_.size(); ++i) {
    TLedPicture p = lpGrey;
    if (LedLit(static_cast<int32_t>(i))) {
      char letter = ledColors_.empty() ? 'G' : (i < ledColors_.size() ? ledColors_[i] : ledColors_.back());
      if (!LedPictureOfLetter(letter, p)) p = lpBlue;  // as the single LED does
    }
    out.push_back(p);
  }
  return out;
}

TLedArrayCore::TLedArrayCore() : TLedRadioCore(dcLedArray) {}

bool TLedArrayCore::LedLit(int32_t i) const {
  return i >= 0 && i < 64 && ((static_cast<uint64_t>(i64RawValue_) >> i) & 1) != 0;
}

}  // namespace zeb7

namespace zeb7 {

std::string DisplayValueText(const TDisplayCore& core) {
  switch (core.Class()) {
    case dcNumeric:
    case dcThumbWheel: {
      const auto& n = static_cast<const TNumericDisplayCore&>(core);
      std::string s = n.ShownText();
      if (n.UnitVisible()) s += " " + n.UnitText();
      return s;
    }
    case dcCheck: {
      const auto& c = static_cast<const TCheckCore&>(core);
      return std::string(c.Checked() ? "[x] " : "[ ] ") + c.Text();
    }
    case dcRadio: {
      const auto& r = static_cast<const TRadioCore&>(core);
      int32_t i = r.CheckedIndex();
      return i >= 0 ? "(o) " + r.Buttons()[i].Text : std::string("( )");
    }
    case dcLed: {
      const auto& l = static_cast<const TLedCore&>(core);
      return std::string(l.Lit() ? "(*) " : "( ) ") + l.Text();
    }
    case dcLedRadio:
    case dcLedArray: {
      const auto& l = static_cast<const TLedRadioCore&>(core);
      std::string s;
      for (size_t i = 0; i < l.Labels().size(); ++i) {
        if (!s.empty()) s += ' ';
        s += std::string(l.LedLit(static_cast<int32_t>(i)) ? "(*)" : "( )") + l.Labels()[i].Text;
      }
      return s;
    }
    case dcDisplayWin: case dcNone: case dcSheet: break;
  }
  return {};
}

}  // namespace zeb7
