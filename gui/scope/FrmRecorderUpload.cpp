#include "gui/scope/FrmRecorderUpload.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace zeb7::gui {

namespace {
constexpr int kCheckIntervalMs = 2;
}

TRecorderUpload::TRecorderUpload(QWidget* parent) : QDialog(parent) {
  setObjectName("RecorderUpload");
  setWindowTitle("Upload");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  // Application-modal: "&Laden" and the rest of the program cannot re-enter.
  setWindowModality(Qt::ApplicationModal);
  auto* lay = new QVBoxLayout(this);
  PanelStatus = new QLabel(this);
  PanelStatus->setObjectName("PanelStatus");
  PanelStatus->setFrameShape(QFrame::Panel);
  PanelStatus->setFrameShadow(QFrame::Sunken);
  PanelStatus->setMinimumWidth(320);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  PanelError = new QLabel(this);
  PanelError->setObjectName("PanelError");
  PanelError->setFrameShape(QFrame::Panel);
  PanelError->setFrameShadow(QFrame::Sunken);
  PanelError->setStyleSheet("color: red;");
  PanelError->setWordWrap(true);
  ButtonCancel = new QPushButton("&Abbrechen", this);
  ButtonCancel->setObjectName("ButtonCancel");
  lay->addWidget(PanelStatus);
  lay->addWidget(ProgressBar1);
  lay->addWidget(PanelError);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ButtonCancel);
  row->addStretch();
  lay->addLayout(row);
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { ButtonCancelClick(); });
  ConfirmCancel = [this] {
    return QMessageBox::question(this, windowTitle(), QString::fromUtf8(zeb7::recorder_texts::kConfirmCancel),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  };
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { quitting_ = true; });
}

TRecorderUpload::~TRecorderUpload() { upload_.reset(); }

void TRecorderUpload::Attach(zeb7::TCommInterface* comm, zeb7::TRecorderUploadHooks hooks) {
  if (upload_ && upload_->Prepared()) return;
  comm_ = comm;
  hooks_ = std::move(hooks);
  upload_.reset();
  if (comm_) {
    upload_ = std::make_unique<zeb7::TRecorderUpload>(*comm_, *this, hooks_);
    upload_->boWaitForCancelAfterError = true;
  }
}

void TRecorderUpload::FormShow() {
  show();
  raise();
  if (upload_) upload_->Prepare();
}

void TRecorderUpload::FormHide() {
  if (upload_) upload_->Release();
  hide();
}

bool TRecorderUpload::StartUpload(int32_t iRecorder, zeb7::TStoreFunction store, int32_t iRecorderSize) {
  if (!upload_) {
    ShowError(zeb7::recorder_texts::kPortNotReady);
    return false;
  }
  if (iRecorder < 0) iRecorder = 0;
  return upload_->StartUpload(static_cast<uint32_t>(iRecorder), std::move(store), iRecorderSize);
}

void TRecorderUpload::ButtonCancelClick() {
  if (!upload_) {
    hide();
    return;
  }
  if (upload_->boErrors || upload_->boCanClose) {
    upload_->Cancel();
    return;
  }
  if (ConfirmCancel && ConfirmCancel()) upload_->Cancel();
}

void TRecorderUpload::Abandon() {
  quitting_ = true;
  if (upload_) upload_->Abandon();
  hide();
}

void TRecorderUpload::reject() { ButtonCancelClick(); }

void TRecorderUpload::closeEvent(QCloseEvent* e) {
  if (upload_ && !upload_->boCanClose) {
    e->ignore();
    ButtonCancelClick();
    return;
  }
  // After an error the upload waits for the user: closing is that answer.
  if (upload_) upload_->Cancel();
  QDialog::closeEvent(e);
}

void TRecorderUpload::ShowStatus(const std::string& s) {
  PanelStatus->setStyleSheet("color: black;");
  PanelStatus->setText(s.empty() ? QString() : " " + QString::fromUtf8(s));
  PanelStatus->repaint();
}

void TRecorderUpload::ShowError(const std::string& s) {
  PanelError->setText(s.empty() ? QString() : " " + QString::fromUtf8(s));
}

void TRecorderUpload::SetProgress(int32_t iValue, int32_t iMax) {
  ProgressBar1->setMaximum(iMax > 0 ? iMax : 1);
  ProgressBar1->setValue(iValue);
}

void TRecorderUpload::SetCaption(const std::string& s) { setWindowTitle(QString::fromUtf8(s)); }

void TRecorderUpload::Wait(const std::function<bool()>& done, uint32_t ms) {
  if (quitting_ || done()) return;
  QEventLoop loop;
  bool ours = false;
  QTimer check;
  check.setTimerType(Qt::PreciseTimer);
  check.setInterval(kCheckIntervalMs);
  connect(&check, &QTimer::timeout, &loop, [&] {
    if (quitting_ || done()) {
      ours = true;
      loop.quit();
    }
  });
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, &loop, [&] {
    ours = true;
    loop.quit();
  });
  check.start();
  limit.start(static_cast<int>(ms));
  loop.exec();
  // Ended by someone else: the application is exiting its loops.
  if (!ours) quitting_ = true;
}

}  // namespace zeb7::gui
