#pragma once
// "Loading Parameters from Disk": disables the drive, makes sure the database
// is complete, matches the file and writes its values, paced by the 100 ms
// timer. The work is core::TParamDownload; this dialog is its view and its
// clock, so every wait runs in the event loop and keeps the link served.
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "paramfiles/ParamDownload.h"

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace zeb7 {
class TDriveModel;
class TCommInterface;
}  // namespace zeb7

namespace zeb7::gui {

enum TParamUpDownloadState { statIdle, statDownload, statUpload };

class TParamDownloadDlg : public QDialog {
  Q_OBJECT
 public:
  TParamDownloadDlg(zeb7::TDriveModel* model, QWidget* parent);
  ~TParamDownloadDlg() override;

  // Where the link comes from when a download starts (the main window's).
  std::function<zeb7::TCommInterface*()> CommProvider;

  // Starts a download of the file's [Parameters]; with `onlyKeys`, only those
  // parameters are written.
  void StartParameterDownload(const QString& sFilename, std::optional<std::set<int32_t>> onlyKeys = std::nullopt);

  TParamUpDownloadState ParamUpDownloadState = statIdle;
  bool Busy() const { return phase_ != phIdle; }
  const zeb7::TDownloadSummary& Summary() const { return summary_; }
  QStringList LogLines() const;

  QPlainTextEdit* Memo1;
  QProgressBar* ProgressBar1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QTimer* Timer1;

 signals:
  void Finished();

 private:
  enum TPhase { phIdle, phDisabling, phDatabase, phDownload };
  void Log(const std::string& latin1);
  void Timer1Timer();
  void BeginDownload();
  void End();
  void CancelBtnClick();

  zeb7::TDriveModel* model_;
  TPhase phase_ = phIdle;
  std::vector<zeb7::TParamLine> lines_;
  std::optional<std::set<int32_t>> onlyKeys_;
  std::unique_ptr<zeb7::TDriveDisabler> disabler_;
  std::unique_ptr<zeb7::TParamDownload> download_;
  std::unique_ptr<zeb7::TParamDownloadTap> tap_;
  zeb7::TCommInterface* comm_ = nullptr;
  int databaseTicks_ = 0;
  zeb7::TDownloadSummary summary_;
};

}  // namespace zeb7::gui
