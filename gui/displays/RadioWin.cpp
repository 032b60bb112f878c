#include "gui/displays/RadioWin.h"

#include <QPointer>

namespace zeb7::gui {

TRadioWin::TRadioWin(QWidget* parent, zeb7::TDriveModel* model) : TDisplayWin(parent, model, zeb7::dcRadio) {
  SyncFromCore();
}

void TRadioWin::ClickItem(int i) {
  if (fNoUserClick) return;
  QPointer<TRadioWin> self(this);
  const bool send = Radio().Click(i);
  if (!self) return;
  UpdateControls();  // the click toggled the button; the core decides what is checked
  if (send && Binding().OnEingabe) Binding().OnEingabe();
}

void TRadioWin::UpdateControls() {
  fNoUserClick = true;
  const auto& places = Radio().Buttons();
  while (aRadioButtons.size() < static_cast<int>(places.size())) {
    auto* b = new QRadioButton(this);
    b->setAutoExclusive(false);
    const int index = static_cast<int>(aRadioButtons.size());
    connect(b, &QRadioButton::clicked, this, [this, index] { ClickItem(index); });
    aRadioButtons << b;
  }
  // Buttons beyond the items go; deferred, as a click handler may be running.
  while (aRadioButtons.size() > static_cast<int>(places.size())) aRadioButtons.takeLast()->deleteLater();
  for (int i = 0; i < aRadioButtons.size(); ++i) {
    const zeb7::TItemPlace& p = places[static_cast<size_t>(i)];
    QRadioButton* b = aRadioButtons[i];
    b->setGeometry(p.Left, p.Top, p.Width, 17);
    b->setText(QString::fromLatin1(p.Text.data(), static_cast<qsizetype>(p.Text.size())));
    b->setChecked(p.Checked);
    b->show();
  }
  fNoUserClick = false;
}

}  // namespace zeb7::gui
