#pragma once
// "New Element": choose a display class and a caption.
#include <QDialog>

#include "displays/DisplayKinds.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;

namespace zeb7::gui {

class TFormNewElement : public QDialog {
  Q_OBJECT
 public:
  explicit TFormNewElement(QWidget* parent);
  zeb7::TDisplayClass ChosenClass() const;

  QButtonGroup* RadioGroup1;
  QLineEdit* EditCaption;
  QPushButton *ButtonCreate, *ButtonCancel;
};

}  // namespace zeb7::gui
