#pragma once
// The drive panel at the bottom of the main window: drive buttons, the (hidden)
// parameter-set bar, the status message list and the two error fields. It only
// renders; the drive-status logic decides what is down, enabled and shown.
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

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

  bool NoUserInput() const { return boNoUserInput; }
  // Default of the rename dialog: the parameter version of target 0.
  void SetParamVersion(int v) { iParamVersion = v; }

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

  // Asks for the parameter version: pre-filled with `current`; "???" replaces an
  // entry outside 0..255 and the question comes again. -1 when cancelled.
  static int AskParamVersion(QWidget* parent, int current);

 signals:
  // A drive command code (command 21) chosen by the user.
  void CommandRequested(int code);

 private:
  void DriveButtonClicked(QToolButton* b, int code);
  bool boNoUserInput = false;
  int iParamVersion = 0;
};

}  // namespace zeb7::gui
