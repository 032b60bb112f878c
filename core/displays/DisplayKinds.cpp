#include "displays/DisplayKinds.h"

#include "link/TextCodec.h"

namespace zeb7 {
namespace {

struct TKind {
  TDisplayClass cls;
  const char* keyword;
  const char* className;
  const char* newElement;
};

constexpr TKind kKinds[] = {
    {dcNumeric, "NUMERIC", "TNumericDisplayWin", "Numeric Display"},
    {dcThumbWheel, "THUMB", "TThumbWheelWin", "Thumb Wheel Switch"},
    {dcCheck, "CHECK", "TDispCheckWin", "Check Box"},
    {dcRadio, "RADIO", "TRadioWin", "Radio Box"},
    {dcLedArray, "LEDARRAY", "TLedArrayWin", ""},
    {dcLedRadio, "LEDRADIO", "TLedRadioWin", ""},
    {dcLed, "LED", "TDispLedWin", "Single LED"},
    {dcDisplayWin, "WIN", "TDisplayWin", "Group Box"},
    {dcSheet, "SHEET", "TScrollingTabSheet", ""},
};

const TKind* Find(TDisplayClass c) {
  for (const auto& k : kKinds)
    if (k.cls == c) return &k;
  return nullptr;
}

}  // namespace

TDisplayClass DisplayClassForParameter(std::string_view control) {
  std::string up = AsciiUpper(control);
  for (const auto& k : kKinds)
    if (HasParameter(k.cls) && up == k.keyword) return k.cls;
  return dcNone;
}

TDisplayClass DisplayClassFromControl(std::string_view control) {
  for (const auto& k : kKinds)
    if (control == k.keyword) return k.cls;
  return dcNone;
}

TDisplayClass DisplayClassFromClassName(std::string_view className) {
  if (className == "TTabSheet") return dcSheet;
  for (const auto& k : kKinds)
    if (k.cls != dcSheet && className == k.className) return k.cls;
  return dcNone;
}

const char* ControlKeyword(TDisplayClass c) {
  const TKind* k = Find(c);
  return k ? k->keyword : "";
}

const char* DisplayClassName(TDisplayClass c) {
  const TKind* k = Find(c);
  return k ? k->className : "";
}

std::string UniqueNameBase(TDisplayClass c) {
  std::string n = DisplayClassName(c);
  if (!n.empty() && n[0] == 'T') n.erase(0, 1);
  if (n.size() > 32) n.resize(32);
  return n;
}

std::string UniqueComponentName(const std::string& base, const std::function<bool(const std::string&)>& taken) {
  for (int i = 1;; ++i) {
    std::string name = base + std::to_string(i);
    if (!taken || !taken(name) || i == 1000000) return name;
  }
}

const char* NewElementCaption(TDisplayClass c) {
  const TKind* k = Find(c);
  return k ? k->newElement : "";
}

const char* LedResourceName(TLedPicture p) {
  switch (p) {
    case lpGreen: return "GRUEN24X24";
    case lpRed: return "ROT24X24";
    case lpWhite: return "WEISS24X24";
    case lpYellow: return "GELB24X24";
    case lpBlue: return "BLAU24X24";
    case lpGrey: break;
  }
  return "GRAU24X24";
}

bool LedPictureOfLetter(char letter, TLedPicture& picture) {
  switch (letter) {
    case 'B': case 'b': picture = lpBlue; return true;
    case 'G': case 'g': picture = lpGreen; return true;
    case 'R': case 'r': picture = lpRed; return true;
    case 'W': case 'w': picture = lpWhite; return true;
    case 'Y': case 'y': picture = lpYellow; return true;
    default: return false;
  }
}

}  // namespace zeb7
