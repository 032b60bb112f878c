#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace zeb7::gui {

// Not modal: "OK" only hides it again.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QLabel* ProductName;
  QLabel* Version;
  QPushButton* OKButton;
};

}  // namespace zeb7::gui
