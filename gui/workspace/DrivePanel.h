#pragma once
// The drive panel at the bottom of the main window: drive buttons, the (hidden)
// parameter-set bar, the status message list and the two error fields. It only
// renders; the drive-status logic decides what is down, enabled and shown.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

namespace zeb7 {
class TDriveStatus;
}

class QToolButton;
class QPlainTextEdit;
class QLineEdit;
class QLabel;

namespace zeb7::gui {

class TDrivePanel : public QWidget {
  Q_OBJECT
 public:
  enum DriveButton { dbNone = -1, dbEnable = 0, dbDisable = 1, dbControlByATA = 2 };
  static constexpr int kMaxStatusLines = 31;

  explicit TDrivePanel(QWidget* parent = nullptr);

  // Rendering, each with boNoUserInput set meanwhile.
  void SetDriveButtonDown(DriveButton which);
  void SetDisableCaption(bool driveError);  // "Reset Drive Error" in bold red
  void SetCommandButtonsEnabled(bool enabled);
  void SetParamSets(int active, uint16_t validMask);
  void ShowStatusMessage(const QString& line);
  void SetControllerError(const QString& text);
  void SetRuntimeError(const QString& text);
  void ShowMessageFields();
  // Everything at once from the drive status.
  void Render(const zeb7::TDriveStatus& status);

  bool NoUserInput() const { return boNoUserInput; }
  // Default of the rename dialog: the parameter version of target 0.
  void SetParamVersion(const QString& v) { sParamVersion = v; }

  QToolButton* SpeedButtonEnableDrive;
  QToolButton* SpeedButtonDisableDrive;
  QToolButton* SpeedButtonControlByATA;
  QToolButton* SpeedButtonFlash;
  QWidget* PanelParamSet;
  std::array<QToolButton*, 16> ParamSetButtons{};
  QToolButton* BtnDeleteParameterSet;
  QToolButton* BtnRenameParameterVersion;
  QPlainTextEdit* Memo1;
  QLineEdit* EditControllerError;
  QLineEdit* EditRuntimeError;

  // Validation of the rename dialog's entry (0..255); replaceable by the model's.
  std::function<bool(const QString&)> ValidParamVersion;
  // Asks for the parameter version, pre-filled with `current`: "???" replaces an
  // invalid entry and the question comes again. Empty when cancelled.
  QString AskParamVersion(const QString& current);

 signals:
  // User clicks (clicked(), never a state change made by a status answer).
  void ControlByATAClicked();
  void DisableDriveClicked();
  void EnableDriveClicked();
  void WriteFlashClicked();
  void ParamSetClicked(int tag);
  // A valid entry of the rename dialog.
  void ParamVersionEntered(const QString& entry);
  // "Delete actual parameter set in flash ?" answered with Yes.
  void DeleteParamSetConfirmed();

 private:
  void DriveButtonClicked(QToolButton* b);
  QString renderedMessages_;
  bool boNoUserInput = false;
  QString sParamVersion = "0";
};

}  // namespace zeb7::gui
