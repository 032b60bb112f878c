#include "gui/displays/DispLedWin.h"

#include "gui/displays/LedPictures.h"

namespace zeb7::gui {

TDispLedWin::TDispLedWin(QWidget* parent, zeb7::TDriveModel* model) : TDisplayWin(parent, model, zeb7::dcLed) {
  MyLabel = new QLabel(this);
  MyLabel->setObjectName("MyLabel");
  MyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  LedImage = new QLabel(this);
  LedImage->setObjectName("LedImage");
  LedImage->setAttribute(Qt::WA_TransparentForMouseEvents);
  SyncFromCore();
}

void TDispLedWin::UpdateControls() {
  if (!LedImage) return;
  const std::string& t = Led().Text();
  MyLabel->setText(QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())));
  MyLabel->setGeometry(60, 20, std::max(20, MyLabel->sizeHint().width()), 20);
  const zeb7::TLedPicture p = Led().Picture();
  shown_ = QString::fromLatin1(zeb7::LedResourceName(p));
  LedImage->setPixmap(LedPixmap(p));
  LedImage->setGeometry(34, MyLabel->y() - 6 + 4, 24, 24);
}

}  // namespace zeb7::gui
