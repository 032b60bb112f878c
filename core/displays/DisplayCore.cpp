#include "displays/DisplayCore.h"

#include <cstdio>

#include "displays/DisplayMath.h"
#include "displays/NumericCore.h"
#include "displays/SelectionCore.h"
#include "link/TextCodec.h"
#include "workspace/ProjectDocument.h"

namespace zeb7 {

int32_t EstimatedTextWidth(std::string_view latin1, TFontRole role) {
  return static_cast<int32_t>(latin1.size()) * (role == frCaption ? 7 : 6);
}

TStateMarker MarkerOf(TDispWinState state) {
  if (state == dwsVerified) return smNone;
  if (state == dwsNotValid) return smCross;
  return smQuestion;
}

TDisplayCore::TDisplayCore(TDisplayClass cls) : class_(cls) {
  LocalParam.iMyIndex = -1;
  LocalParam.iMyTarget = -1;
  LocalParam.sControl = ControlKeyword(cls);
}

TDisplayCore::~TDisplayCore() = default;

bool TDisplayCore::SetDispWinState(TDispWinState s) {
  if (s == state_) return false;
  state_ = s;
  if (OnChanged) OnChanged();
  return true;
}

bool TDisplayCore::SetRawValue(int64_t raw) {
  if (IsFloatParam()) {
    float v = ToSingle(static_cast<long double>(RawToSingle(raw)) * fUmrechnungsfaktor_);
    if (static_cast<long double>(v) == fValue_) return false;
    fValue_ = v;
    i64RawValue_ = SingleToRaw(v);
  } else {
    if (raw == i64RawValue_) return false;
    i64RawValue_ = raw;
    fValue_ = static_cast<long double>(raw) * fUmrechnungsfaktor_;
  }
  RefreshDisplay();
  return true;
}

int64_t TDisplayCore::GetRawValue() const {
  if (IsFloatParam()) return SingleToRaw(ToSingle(fValue_));
  return i64RawValue_;
}

bool TDisplayCore::SetValue(long double x) {
  int64_t raw = IsFloatParam() ? SingleToRaw(ToSingle(x / fUmrechnungsfaktor_))
                               : ExtendedToInt64(x / fUmrechnungsfaktor_);
  if (raw == i64RawValue_) return false;
  fValue_ = x;
  i64RawValue_ = raw;
  RefreshDisplay();
  return true;
}

void TDisplayCore::SetUmrechnungsfaktor(double f) {
  fUmrechnungsfaktor_ = f;
  if (fIstEingabe_)
    i64RawValue_ = ExtendedToInt64(fValue_ / f);
  else
    fValue_ = static_cast<long double>(i64RawValue_) * f;
  RefreshDisplay();
}

int32_t TDisplayCore::FactorThousandths() const { return RoundI(static_cast<long double>(fUmrechnungsfaktor_) * 1000); }

void TDisplayCore::SetEinheit(std::string unit) {
  fEinheit_ = std::move(unit);
  RefreshDisplay();
}

void TDisplayCore::SetZahlenformat(uint8_t format) {
  fZahlenformat_ = format;
  RefreshDisplay();
}

void TDisplayCore::SetCaption(std::string latin1) {
  LocalParam.sCaption = latin1;
  myCaption_ = std::move(latin1);
  Changed();
}

std::string TDisplayCore::LabelText() const {
  return "<" + std::to_string(LocalParam.iMyTarget) + "> " + myCaption_;
}

std::string TDisplayCore::LabelTextUtf8() const { return Latin1ToUtf8(LabelText()); }

void TDisplayCore::SetTarget(int32_t target) {
  LocalParam.iMyTarget = target;
  SetCaption(myCaption_);
}

void TDisplayCore::SetGroupName(std::string latin1) {
  LocalParam.sGroupName = std::move(latin1);
  BreakGroupName();
  RefreshDisplay();
}

std::string TDisplayCore::GroupSubNameUtf8(int i) const {
  return (i >= 0 && i < 3) ? Latin1ToUtf8(groupSubNames_[i]) : std::string();
}

void TDisplayCore::BreakGroupName() {
  groupSubNames_ = {};
  const std::string& g = LocalParam.sGroupName;
  size_t hash = g.rfind('#');
  std::string text = AsciiUpper(hash == std::string::npos ? std::string_view(g) : std::string_view(g).substr(hash + 1));
  const int32_t avail = bounds_.Height - 20;
  for (int i = 0; i < 3; ++i) {
    if (TextWidth(text, frGroup) <= avail) {
      groupSubNames_[i] = text;
      break;
    }
    size_t n = 0;
    while (n < text.size() && TextWidth(std::string_view(text).substr(0, n + 1), frGroup) <= avail) ++n;
    auto firstOf = [&](char c) {
      size_t p = text.find(c);
      return p == std::string::npos ? size_t(0) : p + 1;  // 1-based, 0 for none
    };
    size_t b = firstOf(' ');
    if (b < 2 || b > n + 1) b = firstOf('-');
    if (b < 2 || b > n + 1) {
      groupSubNames_[i] = text.substr(0, n);
      text.erase(0, n);
    } else {
      groupSubNames_[i] = text.substr(0, std::min(n, b - 1));
      text.erase(0, b);
    }
  }
}

void TDisplayCore::SetControlProperties(std::string props) {
  LocalParam.sControlProperties = std::move(props);
  RefreshDisplay();
}

TDisplayLook TDisplayCore::Look() const {
  TDisplayLook l;
  if (LocalParam.iUserClass == 1) {
    l.FramePenWidth = 1;
  } else if (LocalParam.iUserClass == 2) {
    l.BoldCaption = false;
    l.Gray = true;
    l.FramePenWidth = 1;
  }
  return l;
}

void TDisplayCore::SetBounds(const TRect& r) {
  bool resized = r.Width != bounds_.Width || r.Height != bounds_.Height;
  bounds_ = r;
  if (!resized) return;
  BreakGroupName();
  Layout();
  RefreshDisplay();
}

void TDisplayCore::MoveTo(int32_t left, int32_t top) {
  bounds_.Left = left;
  bounds_.Top = top;
}

void TDisplayCore::OptimalSize() {
  int32_t w = TextWidth(LabelText(), frCaption) + 2 * 8;
  int32_t target = NearestRaster(std::max(w, optimalWidth_), true);
  TRect r = bounds_;
  if (!(createdFromIniFile_ && r.Width >= target)) r.Width = target;
  r.Height = NearestRaster(optimalHeight_, true);
  SetBounds(r);
}

void TDisplayCore::SetTextWidth(TTextWidth f) {
  textWidth_ = std::move(f);
  BreakGroupName();
  Layout();
  RefreshDisplay();
}

int32_t TDisplayCore::TextWidth(std::string_view latin1, TFontRole role) const {
  return textWidth_ ? textWidth_(latin1, role) : EstimatedTextWidth(latin1, role);
}

void TDisplayCore::RefreshDisplay() { Changed(); }

void TDisplayCore::Changed() {
  ++refreshCount_;
  if (OnChanged) OnChanged();
}

bool TDisplayCore::MatchesDescriptor(const TDispParam& p) const {
  const TDispParam& l = LocalParam;
  return l.wChecksum == p.wChecksum && l.iMyIndex == p.iMyIndex && l.iGroupNr == p.iGroupNr &&
         l.sGroupName == p.sGroupName && l.iTypeNr == p.iTypeNr && AsciiUpper(l.sControl) == AsciiUpper(p.sControl) &&
         l.sControlProperties == p.sControlProperties && l.iUserClass == p.iUserClass;
}

bool TDisplayCore::DiffersFrom(const TDispParam& p) const {
  const TDispParam& l = LocalParam;
  return l.wChecksum != p.wChecksum || l.iMyIndex != p.iMyIndex || l.iGroupNr != p.iGroupNr ||
         l.iTypeNr != p.iTypeNr || AsciiUpper(l.sControl) != AsciiUpper(p.sControl) ||
         l.sControlProperties != p.sControlProperties || l.iUserClass != p.iUserClass ||
         l.iMyTarget != p.iMyTarget;
}

void TDisplayCore::TakeDescriptor(const TDispParam& p) {
  LocalParam.iGroupNr = p.iGroupNr;
  LocalParam.iTypeNr = p.iTypeNr;
  LocalParam.sFirmwareName = p.sFirmwareName;
  LocalParam.wChecksum = p.wChecksum;
  LocalParam.iMyIndex = p.iMyIndex;
  LocalParam.iUserClass = p.iUserClass;
  LocalParam.iMyTarget = p.iMyTarget;
  SetCaption(p.sCaption);
  SetGroupName(p.sGroupName);
  SetControlProperties(p.sControlProperties);
}

void TDisplayCore::Assign(const TDisplayCore& src) {
  SetBounds(src.bounds_);
  textWidth_ = src.textWidth_;
  language_ = src.language_;
}

std::string TDisplayCore::DebugQueryText() const {
  return std::string(DispWinStateName(state_)) + "; " + myCaption_ + "; " + LocalParam.sGroupName + "; " +
         LocalParam.sControlProperties + "; ";
}

void TDisplayCore::WriteRecord(TProjectItem& rec) const {
  rec.Class = class_;
  rec.Index = LocalParam.iMyIndex;
  rec.FwName = LocalParam.sFirmwareName;
  rec.Checksum = LocalParam.wChecksum;
  rec.Group = LocalParam.sGroupName;
  rec.GroupNr = LocalParam.iGroupNr;
  rec.TypeNr = LocalParam.iTypeNr;
  rec.UserClass = LocalParam.iUserClass;
  rec.Target = LocalParam.iMyTarget;
  rec.Caption = myCaption_;
  rec.ControlProperties = LocalParam.sControlProperties;
  rec.Height = bounds_.Height;
  rec.Width = bounds_.Width;
  rec.Top = bounds_.Top;
  rec.Left = bounds_.Left;
  createdFromIniFile_ = true;
}

void TDisplayCore::ReadRecord(const TProjectItem& rec) {
  LocalParam.iMyIndex = rec.Index;
  LocalParam.sFirmwareName = rec.FwName;
  LocalParam.wChecksum = rec.Checksum;
  LocalParam.iGroupNr = rec.GroupNr;
  LocalParam.iTypeNr = rec.TypeNr;
  LocalParam.iUserClass = rec.UserClass;
  SetTarget(rec.Target);
  SetGroupName(rec.Group);
  SetCaption(rec.Caption);
  SetControlProperties(rec.ControlProperties);
  createdFromIniFile_ = true;
  SetBounds(TRect{rec.Left, rec.Top, rec.Width, rec.Height});
}

std::unique_ptr<TDisplayCore> CreateDisplayCore(TDisplayClass cls) {
  switch (cls) {
    case dcDisplayWin: return std::make_unique<TDisplayCore>(dcDisplayWin);
    case dcNumeric: return std::make_unique<TNumericDisplayCore>();
    case dcThumbWheel: return std::make_unique<TThumbWheelCore>();
    case dcCheck: return std::make_unique<TCheckCore>();
    case dcRadio: return std::make_unique<TRadioCore>();
    case dcLedArray: return std::make_unique<TLedArrayCore>();
    case dcLedRadio: return std::make_unique<TLedRadioCore>();
    case dcLed: return std::make_unique<TLedCore>();
    case dcNone: case dcSheet: break;
  }
  return nullptr;
}

const char* DeleteMenuText(TLanguage l) { return l == LangGerman ? "&L\xC3\xB6schen" : "&Delete"; }
const char* DeleteQuestionText(TLanguage l) {
  return l == LangGerman ? "Element wirklich l\xC3\xB6schen?" : "Are you shure to delete?";
}

}  // namespace zeb7
