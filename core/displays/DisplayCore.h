#pragma once
// The state and every computation of one display window, without painting.
// A widget holds one TDisplayCore (made by CreateDisplayCore for its class),
// forwards size changes and clicks into it, and paints what the read-only
// accessors say: LabelText, GroupSubNames, Marker, caption style. Texts are
// Latin-1 as the model keeps them; the *Utf8 accessors are for drawing.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "displays/DisplayKinds.h"
#include "displays/FocusGeometry.h"
#include "model/DisplayLink.h"
#include "model/UParam.h"

namespace zeb7 {

struct TProjectItem;

enum TLanguage : uint8_t { LangGerman, LangEnglish };

// Fonts whose text widths the core needs.
enum TFontRole : uint8_t {
  frCaption,  // caption label: bold, 11 px
  frGroup,    // group sub-names: Arial 10 px (measured along the rotated line)
  frText,     // item texts, check box and LED labels, unit text
};
// Pixel width of a Latin-1 text in a font. The GUI supplies QFontMetrics.
using TTextWidth = std::function<int32_t(std::string_view latin1, TFontRole role)>;
// A fixed estimate (7 px a character for bold texts, 6 otherwise) for the CLI and tests.
int32_t EstimatedTextWidth(std::string_view latin1, TFontRole role);

// What the state marker shows.
enum TStateMarker : uint8_t { smNone, smQuestion, smCross };
TStateMarker MarkerOf(TDispWinState state);

// Caption and frame look by user class: 1 and others bold black (others with
// a 2 px frame), 2 regular gray with a gray frame.
struct TDisplayLook {
  bool BoldCaption = true;
  bool Gray = false;
  int32_t FramePenWidth = 2;
};

class TDisplayCore {
 public:
  explicit TDisplayCore(TDisplayClass cls = dcDisplayWin);
  virtual ~TDisplayCore();
  TDisplayCore(const TDisplayCore&) = delete;
  TDisplayCore& operator=(const TDisplayCore&) = delete;

  TDisplayClass Class() const { return class_; }
  bool HasParameter() const { return zeb7::HasParameter(class_); }

  // The display's copy of the descriptor; ParamState and DisplayUpToDate unused.
  TDispParam LocalParam;

  // ----- verification state; true when it changed (repaint)
  TDispWinState DispWinState() const { return state_; }
  bool SetDispWinState(TDispWinState s);
  // A group box has no parameter and never shows a marker.
  TStateMarker Marker() const { return HasParameter() ? MarkerOf(state_) : smNone; }

  // ----- raw value and value
  bool IsFloatParam() const { return LocalParam.iTypeNr < 0; }
  // The drive's value arrived. Returns true when the display changed.
  virtual bool SetRawValue(int64_t raw);
  // The raw value to send.
  virtual int64_t GetRawValue() const;
  // The stored raw value (the numeric display derives GetRawValue from Value).
  int64_t StoredRawValue() const { return i64RawValue_; }
  long double Value() const { return fValue_; }
  // Returns true when the display changed.
  bool SetValue(long double x);
  double Umrechnungsfaktor() const { return fUmrechnungsfaktor_; }
  void SetUmrechnungsfaktor(double f);
  void SetFactorThousandths(int32_t n) { SetUmrechnungsfaktor(n / 1000.0); }
  int32_t FactorThousandths() const;
  const std::string& Einheit() const { return fEinheit_; }
  virtual void SetEinheit(std::string unit);
  uint8_t Zahlenformat() const { return fZahlenformat_; }
  virtual void SetZahlenformat(uint8_t format);

  // ----- texts
  const std::string& Caption() const { return myCaption_; }
  virtual void SetCaption(std::string latin1);
  // "<target> caption", as the caption label shows it.
  std::string LabelText() const;
  std::string LabelTextUtf8() const;
  void SetTarget(int32_t target);
  int32_t Target() const { return LocalParam.iMyTarget; }
  const std::string& GroupName() const { return LocalParam.sGroupName; }
  // Also re-breaks the sub-names for the current height.
  void SetGroupName(std::string latin1);
  const std::array<std::string, 3>& GroupSubNames() const { return groupSubNames_; }
  std::string GroupSubNameUtf8(int i) const;
  const std::string& ControlProperties() const { return LocalParam.sControlProperties; }
  virtual void SetControlProperties(std::string props);
  TLanguage Language() const { return language_; }
  void SetLanguage(TLanguage l) { language_ = l; }
  TDisplayLook Look() const;

  // ----- geometry (relative to the parent: a sheet's content or a group box)
  const TRect& Bounds() const { return bounds_; }
  // Re-breaks the group name when the height changed, runs the layout.
  void SetBounds(const TRect& r);
  void MoveTo(int32_t left, int32_t top);
  int32_t DefaultHeight() const { return defaultHeight_; }
  int32_t DefaultWidth() const { return defaultWidth_; }
  int32_t OptimalWidth() const { return optimalWidth_; }
  int32_t OptimalHeight() const { return optimalHeight_; }
  bool CreatedFromIniFile() const { return createdFromIniFile_; }
  void SetCreatedFromIniFile(bool b) { createdFromIniFile_ = b; }
  // Width for the caption (or the optimal width), height at the optimum, on the raster.
  virtual void OptimalSize();
  // Move/resize of design mode.
  TFocusDrag Drag;

  // ----- text measurement (default: EstimatedTextWidth)
  void SetTextWidth(TTextWidth f);
  int32_t TextWidth(std::string_view latin1, TFontRole role) const;

  // ----- repaint
  // Recomputes what the widget shows; counts and calls OnChanged.
  virtual void RefreshDisplay();
  // Called after every RefreshDisplay and state change: the widget repaints.
  std::function<void()> OnChanged;
  int RefreshCount() const { return refreshCount_; }

  // ----- descriptor comparisons of the refresh message and of updates
  // Equal in checksum, index, group number, group name, type number, control,
  // control properties and user class: the display is verified.
  bool MatchesDescriptor(const TDispParam& p) const;
  // Different in checksum, index, group number, type number, control, control
  // properties, user class or target: the display must be rebuilt.
  bool DiffersFrom(const TDispParam& p) const;
  // Takes caption, group name and number, type number, firmware name,
  // checksum, index, target, control properties and user class.
  void TakeDescriptor(const TDispParam& p);
  // Takes the bounds of a window this one replaces (Assign).
  void Assign(const TDisplayCore& src);

  // "dwsVerified; Speed; G1; 5|0; " for the debug list.
  std::string DebugQueryText() const;

  // ----- project file record (keys of the display sections)
  virtual void WriteRecord(TProjectItem& rec) const;
  // Takes everything but name and parent from the record; the record's
  // group number is already adjusted against the group table.
  virtual void ReadRecord(const TProjectItem& rec);

 protected:
  virtual void Layout() {}
  void Changed();
  void BreakGroupName();

  TDisplayClass class_;
  TDispWinState state_ = dwsVerified;
  std::array<std::string, 3> groupSubNames_;
  std::string myCaption_;
  bool fIstEingabe_ = false;
  double fUmrechnungsfaktor_ = 1.0;
  long double fValue_ = 0;
  int64_t i64RawValue_ = 0;
  std::string fEinheit_;
  uint8_t fZahlenformat_ = 0;
  TLanguage language_ = LangEnglish;
  int32_t defaultHeight_ = 23, defaultWidth_ = 168;
  int32_t optimalHeight_ = 23, optimalWidth_ = 168;
  mutable bool createdFromIniFile_ = false;  // also set by writing
  TRect bounds_{0, 0, 168, 23};
  TTextWidth textWidth_;
  int refreshCount_ = 0;
};

// A core of the class (dcDisplayWin for the group box); nullptr for dcNone and dcSheet.
std::unique_ptr<TDisplayCore> CreateDisplayCore(TDisplayClass cls);

// What the display shows, as one line of Latin-1 text: the cells of a
// numeric display ("+  12.34 V"), "[x] text" for a check box, the checked
// radio item, the lit LEDs. For the command line and the debug list.
std::string DisplayValueText(const TDisplayCore& core);

// Menu texts of the two languages, UTF-8.
const char* DeleteMenuText(TLanguage l);       // "&Delete"
const char* DeleteQuestionText(TLanguage l);   // "Are you shure to delete?"

}  // namespace zeb7
