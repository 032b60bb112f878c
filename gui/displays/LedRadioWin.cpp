#include "gui/displays/LedRadioWin.h"

#include "gui/displays/LedPictures.h"

namespace zeb7::gui {

TLedRadioWin::TLedRadioWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls)
    : TDisplayWin(parent, model, cls) {
  SyncFromCore();
}

void TLedRadioWin::UpdateControls() {
  const auto& labels = Leds().Labels();
  const std::vector<zeb7::TLedPicture> pictures = Leds().LedPictures();
  const int n = static_cast<int>(labels.size());
  while (aLedCaptions.size() < n) {
    auto* l = new QLabel(this);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* img = new QLabel(this);
    img->setAttribute(Qt::WA_TransparentForMouseEvents);
    aLedCaptions << l;
    aLedImages << img;
  }
  while (aLedCaptions.size() > n) {
    delete aLedCaptions.takeLast();
    delete aLedImages.takeLast();
  }
  shown_.clear();
  for (int i = 0; i < n; ++i) {
    const zeb7::TItemPlace& p = labels[static_cast<size_t>(i)];
    aLedCaptions[i]->setGeometry(p.Left, p.Top, p.Width, 16);
    aLedCaptions[i]->setText(QString::fromLatin1(p.Text.data(), static_cast<qsizetype>(p.Text.size())));
    aLedCaptions[i]->show();
    const zeb7::TLedPicture pic = i < static_cast<int>(pictures.size()) ? pictures[static_cast<size_t>(i)] : zeb7::lpGrey;
    aLedImages[i]->setPixmap(LedPixmap(pic));
    aLedImages[i]->setGeometry(34, p.Top - 6 + 2, 24, 24);
    aLedImages[i]->show();
    shown_ << QString::fromLatin1(zeb7::LedResourceName(pic));
  }
}

}  // namespace zeb7::gui
