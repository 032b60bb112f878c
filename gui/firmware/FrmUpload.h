#pragma once
// "Upload Controller Data": reads a flash range into an Intel HEX file. The
// logic is core/firmware/FrmUploadLogic.h; this window shows and forwards clicks.
#include <QDialog>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "firmware/FrmDownLogic.h"
#include "firmware/FrmUploadLogic.h"

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabBar;

namespace zeb7 {
class TCustomIniFile;
}

namespace zeb7::gui {

class TFormUpload : public QDialog, public IUploadView {
  Q_OBJECT
 public:
  explicit TFormUpload(QWidget* parent = nullptr);
  ~TFormUpload() override;

  void SetComm(TCommInterface* comm);
  // The browse button marks the project modified.
  std::function<void()> OnProjectModified;

  void GetSettings(const TCustomIniFile& ini);
  void SaveSettings(TCustomIniFile& ini) const;
  TUploadLogic* Logic() { return logic_.get(); }

  // IUploadView (main thread).
  void LogMessage(const std::string& s) override;
  void SetProgress(int percent) override;
  void EnableButtons(bool enabled) override;
  void MarkStartAddrInvalid(bool invalid) override;
  void MarkSizeInvalid(bool invalid) override;

  QTabBar* TCTarget;
  QLineEdit *EditStartAddr, *EditkBytes, *EditFilename;
  QPushButton *ButtonBrowseFile, *ButtonDump, *ButtonCancel, *ButtonDone;
  QPlainTextEdit* Memo1;
  QProgressBar* ProgressBar1;
  QString InitialDir;

 private:
  void TCTargetChange(int tab);
  void EditFilenameChange();
  void ButtonBrowseFileClick();
  void ButtonDumpClick();

  std::array<std::string, kFlashTargetCount> aFilename, aStartAddr, aSize;
  bool boUpdating = false;
  TCommInterface* comm_ = nullptr;
  std::unique_ptr<TUploadLogic> logic_;
};

}  // namespace zeb7::gui
