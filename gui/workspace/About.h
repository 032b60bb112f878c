#pragma once
#include <QDialog>
#include <QIcon>

class QLabel;
class QPushButton;

namespace zeb7::gui {

// The program's icon (the packaged one, built into the program).
QIcon ProgramIcon();

// Not modal: "OK" only hides it again.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
  QLabel* Logo;
  QLabel* ProductName;
  QLabel* Version;
  QPushButton* OKButton;
};

}  // namespace zeb7::gui
