#include "gui/paramfiles/FrmParamDownload.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "link/TextCodec.h"
#include "link/ThrdComm.h"
#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {
constexpr int kDatabaseTicks = 100;  // 100 x 100 ms for the database to complete
}

TParamDownloadDlg::TParamDownloadDlg(zeb7::TDriveModel* model, QWidget* parent) : QDialog(parent), model_(model) {
  setObjectName("ParamDownloadDlg");
  setWindowTitle("Loading Parameters from Disk");
  auto* layout = new QVBoxLayout(this);
  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameShape(QFrame::StyledPanel);
  auto* inner = new QVBoxLayout(bevel);
  Memo1 = new QPlainTextEdit(bevel);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ProgressBar1 = new QProgressBar(bevel);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  inner->addWidget(Memo1);
  inner->addWidget(ProgressBar1);
  layout->addWidget(bevel);
  auto* buttons = new QHBoxLayout;
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
  resize(480, 360);
  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { hide(); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
}

TParamDownloadDlg::~TParamDownloadDlg() {
  tap_.reset();  // off the link before the download goes
}

QStringList TParamDownloadDlg::LogLines() const { return Memo1->toPlainText().split('\n'); }

void TParamDownloadDlg::Log(const std::string& latin1) {
  Memo1->appendPlainText(QString::fromStdString(zeb7::Latin1ToUtf8(latin1)));
}

void TParamDownloadDlg::StartParameterDownload(const QString& sFilename, std::optional<std::set<int32_t>> onlyKeys) {
  End();
  ProgressBar1->setValue(0);
  OKBtn->setEnabled(false);
  Memo1->clear();
  summary_ = {};
  onlyKeys_ = std::move(onlyKeys);
  std::vector<std::string> lines;
  std::string error;
  Log("Loading File " + zeb7::Utf8ToLatin1(sFilename.toStdString()) + "...");
  if (!zeb7::ReadFileLines(sFilename.toStdString(), lines, error) ||
      !zeb7::ReadParametersSection(lines, lines_, error)) {
    Log(zeb7::Utf8ToLatin1(error) + ": nothing was written");
    return;  // OK stays disabled; Cancel closes
  }
  comm_ = CommProvider ? CommProvider() : nullptr;
  if (!model_ || !comm_) {
    Log("No connection to the drive: nothing was written");
    return;
  }
  disabler_ = std::make_unique<zeb7::TDriveDisabler>(*model_);
  disabler_->Begin();
  phase_ = phDisabling;
  Timer1->start();
}

void TParamDownloadDlg::Timer1Timer() {
  switch (phase_) {
    case phIdle:
      Timer1->stop();
      return;
    case phDisabling:
      if (!disabler_->Tick()) return;
      if (!disabler_->Disabled()) {
        Log("The drive did not report itself disabled: no parameters were written");
        End();
        OKBtn->setEnabled(true);
        emit Finished();
        return;
      }
      phase_ = phDatabase;
      databaseTicks_ = 0;
      if (!zeb7::DatabaseComplete(*model_)) {
        Log("Updating Parameter Database ...");
        ParamUpDownloadState = statDownload;
        model_->ProjectState.SearchParams();
      }
      [[fallthrough]];
    case phDatabase:
      if (!zeb7::DatabaseComplete(*model_) && ++databaseTicks_ < kDatabaseTicks) return;
      BeginDownload();
      [[fallthrough]];
    case phDownload:
      if (!download_) return;
      download_->Pump();
      ProgressBar1->setValue(download_->Progress());
      if (!download_->Finished()) return;
      summary_ = download_->Summary();
      Log("Parameter Download Done");
      Log(summary_.Line());
      End();
      ProgressBar1->setValue(100);
      OKBtn->setEnabled(true);
      emit Finished();
      return;
  }
}

void TParamDownloadDlg::BeginDownload() {
  zeb7::TParamMatch match;
  {
    auto lock = model_->Lock();
    match = zeb7::MatchParameters(lines_, model_->ParameterList);
  }
  for (const auto& l : match.ObsoleteMessages) Log(l);
  if (match.Obsolete > 0) Log(std::to_string(match.Obsolete) + " Parameters were obsolete");
  if (onlyKeys_) {
    std::erase_if(match.Settings, [this](const zeb7::TParamSetting& s) { return !onlyKeys_->count(s.Key); });
  }
  download_ = std::make_unique<zeb7::TParamDownload>(*model_->ExchVars.Link(), model_->ParameterList);
  download_->OnLog = [this](const std::string& s) { Log(s); };
  download_->DriveDisabled = [this] { return model_->Status.DownButton() == zeb7::dbDisableDrive; };
  tap_ = std::make_unique<zeb7::TParamDownloadTap>(*comm_, *model_, *download_);
  download_->Start(match.Settings, match.Obsolete);
  phase_ = phDownload;
}

void TParamDownloadDlg::End() {
  Timer1->stop();
  tap_.reset();
  phase_ = phIdle;
  ParamUpDownloadState = statIdle;
}

void TParamDownloadDlg::CancelBtnClick() {
  if (download_ && download_->Active()) download_->Cancel();  // values already queued still go out
  End();
  download_.reset();
  lines_.clear();
  hide();
}

}  // namespace zeb7::gui
