#pragma once
#include <QPlainTextEdit>
#include <QWidget>

namespace zeb7::gui {

// "Project State": a tool window that stays on top and collects the
// synchronisation log. It is never cleared.
class TFrmProjectState : public QWidget {
  Q_OBJECT
 public:
  explicit TFrmProjectState(QWidget* parent = nullptr);
  // Safe from any thread: lines from elsewhere are queued to the window's thread.
  void Log(const QString& line);
  QPlainTextEdit* Memo1;
};

}  // namespace zeb7::gui
