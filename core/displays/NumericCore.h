#pragma once
// Numeric display and thumb wheel: digit cells, sign, point, unit, and the
// click arithmetic of the thumb wheel buttons. The widget places one cell per
// Cells() entry, the dot at DotLeft(), the unit at UnitLeft(), and for the
// thumb wheel the Buttons(); a button press calls Click(tag) and, when it
// returns true, sends the value (OnEingabe).
#include <cstdint>
#include <string>
#include <vector>

#include "displays/DisplayCore.h"

namespace zeb7 {

inline constexpr int kMaxDigits = 12;
inline constexpr uint8_t kFormatHex = 100;
inline constexpr uint8_t kFormatFloat = 110;

// One digit cell: index 0 is the rightmost; index Digits() is the sign cell.
struct TDigitCell {
  int32_t Left = 0;
  bool Visible = true;
  char Text = ' ';  // '0'..'9', 'A'..'F', ' ', '+', '-', '$'
};

// A thumb wheel button ("+" above, "-" below its cell).
struct TWheelButton {
  int32_t Left = 0;
  int32_t Top = 0;  // 20 up, 53 down
  int32_t Tag = 0;  // up i + 1, down -(i + 1), sign cell 0
  bool Up = true;
  bool Visible = true;
};

// Parsed numeric control properties.
struct TNumericProps {
  bool Signed = false;
  uint8_t Format = 0;  // 0..10, 100 hexadecimal, 110 floating point
  int32_t Digits = 5;  // cells without the sign cell
  double Factor = 1.0;
  std::string Unit;
};
TNumericProps ParseNumericProps(std::string_view props);

class TNumericDisplayCore : public TDisplayCore {
 public:
  explicit TNumericDisplayCore(TDisplayClass cls = dcNumeric);

  bool SetRawValue(int64_t raw) override;
  int64_t GetRawValue() const override;
  void SetControlProperties(std::string props) override;
  void SetEinheit(std::string unit) override;
  void SetZahlenformat(uint8_t format) override;
  void SetCaption(std::string latin1) override;
  void RefreshDisplay() override;
  void OptimalSize() override;
  void WriteRecord(TProjectItem& rec) const override;
  void ReadRecord(const TProjectItem& rec) override;

  int32_t Digits() const { return fDigits_; }
  // Raised to the minimum of the format and sign, lowered to 12.
  void SetDigits(int32_t n);
  int32_t Einrueckung() const { return fDigitLeft_; }
  void SetEinrueckung(int32_t n);
  bool MitVorzeichen() const { return fMitVorzeichen_; }
  void SetMitVorzeichen(bool b);
  bool Sign() const { return boSign_; }
  int32_t DotPos() const { return iDotPos_; }
  // Digits after the point (0 for integer, hexadecimal and floating point).
  int32_t Decimals() const;

  // Cells 0..Digits(), the last one the sign cell.
  const std::vector<TDigitCell>& Cells() const { return cells_; }
  // The shown digits from left to right, e.g. "   12.34" style: sign (when
  // visible), cells, "." at the point. For tests and the CLI.
  std::string ShownText() const;
  // Left of the decimal point dot; -10 (outside) when there is none.
  int32_t DotLeft() const { return dotLeft_; }
  int32_t UnitLeft() const { return unitLeft_; }
  int32_t UnitWidth() const { return unitWidth_; }
  // "HEX" in hexadecimal format, else the unit; visible when not empty.
  std::string UnitText() const;
  bool UnitVisible() const { return !UnitText().empty(); }

 protected:
  void Layout() override;
  void ApplyProps(const TNumericProps& p);

  int32_t fDigits_ = 5;
  int32_t fDigitLeft_ = 50;
  bool boSign_ = false;
  int32_t iDotPos_ = -1;
  bool fMitVorzeichen_ = true;
  std::vector<TDigitCell> cells_;
  int32_t dotLeft_ = -10, unitLeft_ = 0, unitWidth_ = 0;
};

class TThumbWheelCore : public TNumericDisplayCore {
 public:
  TThumbWheelCore();

  // The button with tag t was clicked: the new value is computed and the
  // display refreshed. Returns true: the value must be sent (even when it
  // did not change, as the drive expects every click).
  bool Click(int32_t tag);
  const std::vector<TWheelButton>& Buttons() const { return buttons_; }

 protected:
  void Layout() override;

  std::vector<TWheelButton> buttons_;
};

}  // namespace zeb7
