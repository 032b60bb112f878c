#include "gui/workspace/DlgNewElement.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zeb7::gui {

TFormNewElement::TFormNewElement(QWidget* parent) : QDialog(parent) {
  setObjectName("FormNewElement");
  setWindowTitle("New Element");
  auto* lay = new QVBoxLayout(this);
  auto* box = new QGroupBox("Choose Element", this);
  auto* bl = new QVBoxLayout(box);
  RadioGroup1 = new QButtonGroup(this);
  int id = 0;
  for (zeb7::TDisplayClass c : zeb7::kNewElementClasses) {
    auto* r = new QRadioButton(QString::fromLatin1(zeb7::NewElementCaption(c)), box);
    RadioGroup1->addButton(r, id++);
    bl->addWidget(r);
  }
  RadioGroup1->button(0)->setChecked(true);
  lay->addWidget(box);
  lay->addWidget(new QLabel("Caption", this));
  EditCaption = new QLineEdit(this);
  EditCaption->setObjectName("EditCaption");
  lay->addWidget(EditCaption);
  auto* buttons = new QHBoxLayout;
  ButtonCreate = new QPushButton("Create", this);
  ButtonCancel = new QPushButton("Cancel", this);
  ButtonCreate->setDefault(true);
  buttons->addWidget(ButtonCreate);
  buttons->addWidget(ButtonCancel);
  lay->addLayout(buttons);
  connect(ButtonCreate, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

zeb7::TDisplayClass TFormNewElement::ChosenClass() const {
  const int id = RadioGroup1->checkedId();
  return id >= 0 && id < 6 ? zeb7::kNewElementClasses[id] : zeb7::dcNumeric;
}

}  // namespace zeb7::gui
