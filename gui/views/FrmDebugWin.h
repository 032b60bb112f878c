#pragma once
// "DebugWin": one line per display window, on request.
#include <QWidget>

class QPlainTextEdit;

namespace zeb7::gui {

class TFrmDebugWin : public QWidget {
  Q_OBJECT
 public:
  explicit TFrmDebugWin(QWidget* parent);
  void AddLine(const QString& s);

  QPlainTextEdit* Memo1;
};

}  // namespace zeb7::gui
