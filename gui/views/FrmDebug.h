#pragma once
// "Telegramme": the communication thread's debug lines live (at most 401),
// and beside them every frame on the line with direction, time, decoded fields
// and raw bytes; the frames can be captured to a file as JSON lines.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paramfiles/TelegramCapture.h"

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace zeb7 {
class TCommInterface;
}

namespace zeb7::gui {

class TFormDebug : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMaxLines = 401;

  explicit TFormDebug(QWidget* parent);
  ~TFormDebug() override;

  // The link whose lines are shown (may change or vanish: asked each time).
  std::function<zeb7::TCommInterface*()> CommProvider;

  void AddLine(const QString& line);
  void ButtonPauseClick();
  void ButtonClearClick();
  // Capture: start collecting frames for `path`; stop writes them (atomically).
  void StartCapture(const QString& path);
  bool StopCapture(QString* error = nullptr);
  bool Capturing() const { return !capturePath_.isEmpty(); }
  // Takes the frames observed so far into the frame list (and the capture).
  void DrainFrames();

  bool boPause = false;
  QPlainTextEdit* Memo1;
  QPlainTextEdit* MemoFrames;
  QPushButton* ButtonPause;
  QPushButton* ButtonClear;
  QPushButton* ButtonCapture;
  QPushButton* ButtonClose;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void Register();
  void Unregister();
  static void Append(QPlainTextEdit* memo, const QString& line);

  std::shared_ptr<zeb7::TTelegramCapture> capture_;
  zeb7::TCommInterface* registered_ = nullptr;
  QTimer* drain_;
  QString capturePath_;
  std::vector<std::string> captured_;
};

}  // namespace zeb7::gui
