#include "gui/displays/DispCheckWin.h"

#include <QPointer>

namespace zeb7::gui {

TDispCheckWin::TDispCheckWin(QWidget* parent, zeb7::TDriveModel* model)
    : TDisplayWin(parent, model, zeb7::dcCheck) {
  CheckBox = new QCheckBox(this);
  CheckBox->setObjectName("CheckBox");
  connect(CheckBox, &QCheckBox::clicked, this, [this](bool c) { UserClicked(c); });
  SyncFromCore();
}

void TDispCheckWin::UserClicked(bool checked) {
  if (fNoUserClick) return;
  QPointer<TDispCheckWin> self(this);
  const bool send = Check().Click(checked);
  if (!self) return;
  UpdateControls();
  if (send && Binding().OnEingabe) Binding().OnEingabe();
}

void TDispCheckWin::UpdateControls() {
  if (!CheckBox) return;
  fNoUserClick = true;
  const zeb7::TRect r = Check().BoxBounds();
  CheckBox->setGeometry(r.Left, r.Top, std::max(0, r.Width), r.Height);
  const std::string& t = Check().Text();
  CheckBox->setText(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
  CheckBox->setChecked(Check().Checked());
  fNoUserClick = false;
}

}  // namespace zeb7::gui
