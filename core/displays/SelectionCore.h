#pragma once
// Radio group, check box, single LED, LED group and LED array. The widget
// shows the items of Buttons()/Labels() at their positions, the LED pictures
// of LedPictures(), and reports user clicks (Qt's clicked, never toggled) to
// Click(); a true result means: send the value (OnEingabe).
#include <cstdint>
#include <string>
#include <vector>

#include "displays/DisplayCore.h"

namespace zeb7 {

inline constexpr int kMaxRadioItems = 30;
inline constexpr int kMaxLedItems = 29;

// One radio button or LED label.
struct TItemPlace {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  std::string Text;  // Latin-1
  bool Checked = false;
};

class TRadioCore : public TDisplayCore {
 public:
  TRadioCore();
  bool SetRawValue(int64_t raw) override;
  void SetControlProperties(std::string props) override;
  void RefreshDisplay() override;

  // Every item text of the properties (fields 0..100), also those not shown.
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  // The shown buttons, at most 30.
  const std::vector<TItemPlace>& Buttons() const { return buttons_; }
  // The checked button, -1 for none.
  int32_t CheckedIndex() const { return checked_; }
  // The user clicked button i: true when it exists (send the value).
  bool Click(int32_t i);

 private:
  void Rebuild();
  std::vector<std::string> items_;
  std::vector<TItemPlace> buttons_;
  int32_t checked_ = -1;
};

class TCheckCore : public TDisplayCore {
 public:
  TCheckCore();
  bool SetRawValue(int64_t raw) override;
  void SetControlProperties(std::string props) override;
  void RefreshDisplay() override;

  const std::string& Text() const { return text_; }
  void SetText(std::string latin1);
  bool Checked() const { return checked_; }
  // The user set the box to `checked`: always true (send 1 or 0).
  bool Click(bool checked);
  // The check box: at (40, 20), height 20, up to 12 px before the right edge.
  TRect BoxBounds() const;

 private:
  std::string text_ = "???";
  bool checked_ = false;
};

class TLedCore : public TDisplayCore {
 public:
  TLedCore();
  bool SetRawValue(int64_t raw) override;
  void SetControlProperties(std::string props) override;
  void RefreshDisplay() override;

  const std::string& Text() const { return text_; }
  void SetText(std::string latin1);
  bool Lit() const { return GetRawValue() != 0; }
  TLedPicture Picture() const;
  char ColorOn() const { return colorOn_; }
  char ColorOff() const { return colorOff_; }

 private:
  std::string text_ = "???";
  char colorOn_ = 'R';
  char colorOff_ = ' ';
};

class TLedRadioCore : public TDisplayCore {
 public:
  explicit TLedRadioCore(TDisplayClass cls = dcLedRadio);
  bool SetRawValue(int64_t raw) override;
  void SetControlProperties(std::string props) override;
  void RefreshDisplay() override;

  const std::vector<std::string>& Items() const { return items_; }
  const std::string& LedColors() const { return ledColors_; }
  // The shown labels, at most 29; the LED of label i sits at (34, top - 6).
  const std::vector<TItemPlace>& Labels() const { return labels_; }
  // One picture per shown label.
  std::vector<TLedPicture> LedPictures() const;
  virtual bool LedLit(int32_t i) const;

 protected:
  void Rebuild();
  std::vector<std::string> items_;
  std::string ledColors_ = "G";
  std::vector<TItemPlace> labels_;
};

class TLedArrayCore : public TLedRadioCore {
 public:
  TLedArrayCore();
  bool LedLit(int32_t i) const override;
};

}  // namespace zeb7
