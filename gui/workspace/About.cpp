#include "gui/workspace/About.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The resources sit in a static library: without this the linker may drop them.
static void InitAboutResources() { Q_INIT_RESOURCE(About); }

namespace zeb7::gui {

QIcon ProgramIcon() {
  static const bool loaded = (InitAboutResources(), true);
  (void)loaded;
  QIcon icon;
  for (const char* size : {"32", "64", "256"})
    icon.addFile(QString(":/zeb7/zeb7-%1.png").arg(size));
  return icon;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About ZEB7.exe");
  setModal(false);
  setWindowIcon(ProgramIcon());
  auto* lay = new QVBoxLayout(this);
  Logo = new QLabel(this);
  Logo->setObjectName("Logo");
  Logo->setPixmap(ProgramIcon().pixmap(64, 64));
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
  lay->addWidget(Logo);
  lay->addWidget(ProductName);
  lay->addWidget(Version);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(OKButton);
  lay->addLayout(row);
  connect(OKButton, &QPushButton::clicked, this, &QWidget::hide);
}

}  // namespace zeb7::gui
