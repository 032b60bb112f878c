#pragma once
// The display classes, the control keywords that choose them (descriptor
// "Control" text and the project file's "Control"/"ClassName" keys), and the
// LED pictures. A widget factory switches over TDisplayClass.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeb7 {

enum TDisplayClass : uint8_t {
  dcNone,        // no display for this keyword
  dcDisplayWin,  // "WIN": the plain base, used as a group box
  dcNumeric,     // "NUMERIC"
  dcThumbWheel,  // "THUMB"
  dcCheck,       // "CHECK"
  dcRadio,       // "RADIO"
  dcLedArray,    // "LEDARRAY"
  dcLedRadio,    // "LEDRADIO"
  dcLed,         // "LED"
  dcSheet,       // "SHEET": a tab sheet in the project file, not a display
};

// Keyword of a parameter descriptor's control text (compared exactly after
// upper-casing ASCII letters). Only the seven parameter classes: "WIN" and
// anything else give dcNone, so no window is built or rebuilt for them.
TDisplayClass DisplayClassForParameter(std::string_view control);
// The project file's "Control" value, exact and case-sensitive, all eight
// display keywords and "SHEET"; dcNone otherwise.
TDisplayClass DisplayClassFromControl(std::string_view control);
// The older "ClassName" value ("TNumericDisplayWin", "TTabSheet", ...).
TDisplayClass DisplayClassFromClassName(std::string_view className);

// "NUMERIC", ..., "WIN", "SHEET"; "" for dcNone.
const char* ControlKeyword(TDisplayClass c);
// "TNumericDisplayWin", ..., "TDisplayWin", "TScrollingTabSheet".
const char* DisplayClassName(TDisplayClass c);
// Base of SetUniqueName: the class name without "T" ("NumericDisplayWin").
std::string UniqueNameBase(TDisplayClass c);
// `base` followed by the smallest number i >= 1 that `taken` refuses
// ("NumericDisplayWin1", "ScrollingTabSheet2"): SetUniqueName and the sheet names.
std::string UniqueComponentName(const std::string& base, const std::function<bool(const std::string&)>& taken);
// Entry of the New Element dialog, "" for classes it does not offer.
const char* NewElementCaption(TDisplayClass c);
// The New Element dialog's radio items in order (Numeric Display, Thumb Wheel
// Switch, Check Box, Radio Box, Group Box, Single LED).
inline constexpr TDisplayClass kNewElementClasses[6] = {dcNumeric, dcThumbWheel, dcCheck,
                                                        dcRadio,   dcDisplayWin, dcLed};

// True for classes that have a parameter (every display except the group box).
inline bool HasParameter(TDisplayClass c) { return c != dcNone && c != dcDisplayWin && c != dcSheet; }
// Numeric display and thumb wheel write "DigLeft".
inline bool IsNumericClass(TDisplayClass c) { return c == dcNumeric || c == dcThumbWheel; }

// The six 24 x 24 LED pictures.
enum TLedPicture : uint8_t { lpGreen, lpRed, lpWhite, lpYellow, lpBlue, lpGrey };
// "GRUEN24X24", "ROT24X24", "WEISS24X24", "GELB24X24", "BLAU24X24", "GRAU24X24".
const char* LedResourceName(TLedPicture p);
// Colour letter (either case) B, G, R, W, Y; false for any other character.
bool LedPictureOfLetter(char letter, TLedPicture& picture);

}  // namespace zeb7
