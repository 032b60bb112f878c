#pragma once
// "Firmware Maintenance": the view of the flash programming logic. The logic
// (core/firmware/FrmDownLogic.h) decides; this window shows and forwards clicks.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "firmware/FrmDownLogic.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabBar;

namespace zeb7 {
class TCustomIniFile;
class TCommInterface;
}  // namespace zeb7

namespace zeb7::gui {

class TFormDownload : public QDialog, public IDownloadView {
  Q_OBJECT
 public:
  explicit TFormDownload(QWidget* parent = nullptr);
  ~TFormDownload() override;

  // The link the window works on; set once it exists.
  void SetComm(TCommInterface* comm);
  // Asked when the window opens: a running parameter download refuses it.
  std::function<bool()> ParameterDownloadRunning;
  // Exit Service Mode after a flash change: the drive's parameters are read again.
  std::function<void()> OnFlashModifiedExit;

  // Opens the window; false (with a message) when it may not open now.
  bool ShowForm();
  // Program exit: closes whatever the drive does.
  void ProgramExit();

  void GetSettings(const TCustomIniFile& ini);
  void SaveSettings(TCustomIniFile& ini) const;

  TDownloadLogic* Logic() { return logic_.get(); }

  // IDownloadView (main thread, through queued calls).
  void LogMessage(const std::string& s) override;
  void SetSpiLabel(const std::string& s) override;
  void SetFlashLabel(const std::string& s) override;
  void SetProgress(int percent) override;
  void EnableControls(const TControlEnable& e) override;
  void ShowEraseRange(const std::string& from, const std::string& to) override;
  void CloseWindow() override;

  // Controls, named as the window's components.
  QTabBar* TCTarget;
  QGroupBox* RadioGroupErasureMode;
  std::array<QRadioButton*, 3> ErasureModes;
  QLineEdit *EditFromAddr, *EditToAddr, *EditFilename;
  QPushButton *ButtonBrowseFile, *ButtonSpiConnect, *ButtonErase, *ButtonProgram, *ButtonDisconnect,
      *ButtonRunAll, *ButtonCancel, *ButtonExitServiceMode;
  QCheckBox* CheckVerify;
  QPlainTextEdit* Memo1;
  QProgressBar* ProgressBar1;
  QLabel *LabelSpiStatus, *LabelFlashStatus;
  // The file dialog's starting folder.
  QString InitialDir;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;  // the Esc key is Cancel

 private:
  void BuildControls();
  void TCTargetChange(int tab);
  void EditFilenameChange();
  void ButtonBrowseFileClick();
  void PushToLogic();
  void Post(std::function<void()> fn);

  struct TTargets {
    std::array<std::string, kFlashTargetCount> aFilename, aFromAddr, aToAddr;
    std::array<int, kFlashTargetCount> aErasureMode{};
  } targets_;
  bool boUpdating = false;
  bool forceClose_ = false;
  TCommInterface* comm_ = nullptr;
  std::unique_ptr<TDownloadLogic> logic_;
};

}  // namespace zeb7::gui
