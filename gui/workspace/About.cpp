#include "gui/workspace/About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zeb7::gui {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About ZEB7.exe");
  setModal(false);
  auto* lay = new QVBoxLayout(this);
  ProductName = new QLabel(this);
  ProductName->setObjectName("ProductName");
  QFont f = ProductName->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.3);
  ProductName->setFont(f);
  Version = new QLabel(this);
  Version->setObjectName("Version");
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  lay->addWidget(ProductName);
  lay->addWidget(Version);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(OKButton);
  lay->addLayout(row);
  connect(OKButton, &QPushButton::clicked, this, &QWidget::hide);
}

}  // namespace zeb7::gui
