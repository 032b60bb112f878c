#include "gui/displays/ThumbWheelWin.h"

#include <QPointer>

namespace zeb7::gui {

TThumbWheelWin::TThumbWheelWin(QWidget* parent, zeb7::TDriveModel* model)
    : TNumericDisplayWin(parent, model, zeb7::dcThumbWheel) {
  SyncFromCore();
}

QPushButton* TThumbWheelWin::Button(int tag, bool up) const {
  for (QPushButton* b : aButtons)
    if (b->isVisible() && b->property("tag").toInt() == tag && b->property("up").toBool() == up) return b;
  return nullptr;
}

void TThumbWheelWin::ClickTag(int tag) {
  QPointer<TThumbWheelWin> self(this);
  if (!Wheel().Click(tag) || !self) return;
  if (Binding().OnEingabe) Binding().OnEingabe();
}

void TThumbWheelWin::UpdateControls() {
  TNumericDisplayWin::UpdateControls();
  if (aStaticText.isEmpty()) return;
  const auto& buttons = Wheel().Buttons();
  QFont bold;
  bold.setBold(true);
  bold.setPixelSize(11);
  while (aButtons.size() < static_cast<int>(buttons.size())) {
    auto* b = new QPushButton(this);
    b->setFont(bold);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, b] { ClickTag(b->property("tag").toInt()); });
    aButtons << b;
  }
  for (int i = 0; i < aButtons.size(); ++i) {
    QPushButton* b = aButtons[i];
    if (i >= static_cast<int>(buttons.size())) {
      b->hide();
      continue;
    }
    const zeb7::TWheelButton& w = buttons[static_cast<size_t>(i)];
    b->setGeometry(w.Left, w.Top, 12, 13);
    b->setText(w.Up ? "+" : "-");
    b->setProperty("tag", w.Tag);
    b->setProperty("up", w.Up);
    b->setVisible(w.Visible);
  }
}

}  // namespace zeb7::gui
