#include "gui/views/FrmDebug.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "link/ThrdComm.h"
#include "platform/AtomicFile.h"

namespace zeb7::gui {

TFormDebug::TFormDebug(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName("FormDebug");
  setWindowTitle("Telegramme");
  auto* layout = new QVBoxLayout(this);
  auto* split = new QSplitter(Qt::Vertical, this);
  QFont mono("Courier");
  mono.setStyleHint(QFont::TypeWriter);
  mono.setPixelSize(13);
  Memo1 = new QPlainTextEdit(split);
  Memo1->setObjectName("Memo1");
  MemoFrames = new QPlainTextEdit(split);
  MemoFrames->setObjectName("MemoFrames");
  for (QPlainTextEdit* m : {Memo1, MemoFrames}) {
    m->setReadOnly(true);
    m->setFont(mono);
    m->setLineWrapMode(QPlainTextEdit::NoWrap);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  layout->addWidget(split, 1);
  auto* panel = new QHBoxLayout;
  ButtonPause = new QPushButton("&Pause", this);
  ButtonClear = new QPushButton(QString::fromUtf8("&Löschen"), this);
  ButtonCapture = new QPushButton("&Aufzeichnen...", this);
  ButtonClose = new QPushButton(QString::fromUtf8("&Schließen"), this);
  panel->addWidget(ButtonPause);
  panel->addWidget(ButtonClear);
  panel->addWidget(ButtonCapture);
  panel->addStretch();
  panel->addWidget(ButtonClose);
  layout->addLayout(panel);
  resize(820, 520);
  drain_ = new QTimer(this);
  drain_->setInterval(100);
  connect(drain_, &QTimer::timeout, this, [this] { DrainFrames(); });
  connect(ButtonPause, &QPushButton::clicked, this, [this] { ButtonPauseClick(); });
  connect(ButtonClear, &QPushButton::clicked, this, [this] { ButtonClearClick(); });
  connect(ButtonClose, &QPushButton::clicked, this, [this] { close(); });
  connect(ButtonCapture, &QPushButton::clicked, this, [this] {
    if (Capturing()) {
      QString error;
      if (!StopCapture(&error)) QMessageBox::critical(this, "Telegramme", error);
      return;
    }
    const QString path = QFileDialog::getSaveFileName(this, "Aufzeichnen", "capture.jsonl", "JSON lines (*.jsonl)");
    if (!path.isEmpty()) StartCapture(path);
  });
}

// The sinks hold guarded references; the link may already be gone here.
TFormDebug::~TFormDebug() = default;

void TFormDebug::Append(QPlainTextEdit* memo, const QString& line) {
  QTextDocument* doc = memo->document();
  if (doc->blockCount() >= kMaxLines) {
    memo->setUpdatesEnabled(false);
    QTextCursor c(doc);
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, doc->blockCount() - (kMaxLines - 1));
    c.removeSelectedText();
    memo->setUpdatesEnabled(true);
  }
  memo->appendPlainText(line);
}

void TFormDebug::AddLine(const QString& line) { Append(Memo1, line); }

void TFormDebug::Register() {
  zeb7::TCommInterface* comm = CommProvider ? CommProvider() : nullptr;
  if (!comm) return;
  registered_ = comm;
  QPointer<TFormDebug> self(this);
  // Delivered in the main thread through the worker's hand-over.
  comm->SetOnDebugMessage([self](const std::string& s) {
    if (self) self->AddLine(QString::fromStdString(s));
  });
  if (!capture_) capture_ = std::make_shared<zeb7::TTelegramCapture>();
  std::weak_ptr<zeb7::TTelegramCapture> cap = capture_;
  comm->SetFrameObserver([cap](bool tx, const zeb7::TTelegram& t, const uint8_t* wire, size_t n, uint32_t) {
    if (auto c = cap.lock()) c->Observe(tx, t, wire, n);
  });
  drain_->start();
}

void TFormDebug::Unregister() {
  // Only the link that is still there: at exit it goes before the windows.
  if (registered_ && registered_ != (CommProvider ? CommProvider() : nullptr)) registered_ = nullptr;
  if (registered_) {
    registered_->SetOnDebugMessage(nullptr);
    if (!Capturing()) registered_->SetFrameObserver(nullptr);
  }
  if (!Capturing()) {
    registered_ = nullptr;
    drain_->stop();
  }
}

void TFormDebug::DrainFrames() {
  if (!capture_) return;
  for (const auto& f : capture_->Take()) {
    if (Capturing()) captured_.push_back(zeb7::CaptureJsonLine(f));
    if (!boPause) Append(MemoFrames, QString::fromStdString(zeb7::CaptureTextLine(f)));
  }
}

void TFormDebug::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  boPause = false;
  ButtonPause->setText("Pause");
  Register();
}

void TFormDebug::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  Unregister();
}

void TFormDebug::ButtonPauseClick() {
  boPause = !boPause;
  if (boPause) {
    if (registered_ && registered_ == (CommProvider ? CommProvider() : nullptr)) registered_->SetOnDebugMessage(nullptr);
    ButtonPause->setText("&Weiter");
  } else {
    Register();
    ButtonPause->setText("&Pause");
  }
}

void TFormDebug::ButtonClearClick() {
  Memo1->clear();
  MemoFrames->clear();
}

void TFormDebug::StartCapture(const QString& path) {
  captured_.clear();
  capturePath_ = path;
  ButtonCapture->setText("Aufzeichnung &beenden");
  if (!registered_) Register();
}

bool TFormDebug::StopCapture(QString* error) {
  DrainFrames();
  std::string bytes;
  for (const auto& l : captured_) bytes += l + "\n";
  std::string why;
  const bool ok = zeb7::WriteFileAtomically(capturePath_.toStdString(), bytes, why);
  if (!ok && error) *error = QString::fromStdString(why);
  capturePath_.clear();
  captured_.clear();
  ButtonCapture->setText("&Aufzeichnen...");
  if (!isVisible()) Unregister();
  return ok;
}

}  // namespace zeb7::gui
