#pragma once
// The recorder upload window: a small application-modal dialog over the core
// upload (core/scope/RecorderUpload). Its waits run a nested event loop with
// a timer, so the program stays responsive and can still quit.
#include <QDialog>
#include <functional>
#include <memory>

#include "scope/RecorderUpload.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace zeb7::gui {

class TRecorderUpload : public QDialog, public zeb7::IRecorderUploadHost {
  Q_OBJECT
 public:
  explicit TRecorderUpload(QWidget* parent = nullptr);
  ~TRecorderUpload() override;

  // The link to upload over and what surrounds the upload; before FormShow.
  void Attach(zeb7::TCommInterface* comm, zeb7::TRecorderUploadHooks hooks);
  // Shows the window and takes the link over; FormHide gives it back.
  void FormShow();
  void FormHide();
  bool StartUpload(int32_t iRecorder, zeb7::TStoreFunction store, int32_t iRecorderSize);
  zeb7::TRecorderUpload* Upload() { return upload_.get(); }

  void ButtonCancelClick();
  // The link goes away (program end): the upload lets go of it at once.
  void Abandon();
  // Asks "Upload läuft. Wirklich abbrechen?"; tests replace it.
  std::function<bool()> ConfirmCancel;

  // IRecorderUploadHost
  void ShowStatus(const std::string& s) override;
  void ShowError(const std::string& s) override;
  void SetProgress(int32_t iValue, int32_t iMax) override;
  void SetCaption(const std::string& s) override;
  void Wait(const std::function<bool()>& done, uint32_t ms) override;
  bool Quitting() const override { return quitting_; }

  QPushButton* ButtonCancel;
  QLabel* PanelStatus;
  QProgressBar* ProgressBar1;
  QLabel* PanelError;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  zeb7::TCommInterface* comm_ = nullptr;
  zeb7::TRecorderUploadHooks hooks_;
  std::unique_ptr<zeb7::TRecorderUpload> upload_;
  bool quitting_ = false;
};

}  // namespace zeb7::gui
