#pragma once
// The six 24 x 24 LED pictures, painted once at first use; the top-left pixel
// is transparent background.
#include <QPixmap>

#include "displays/DisplayKinds.h"

namespace zeb7::gui {

const QPixmap& LedPixmap(zeb7::TLedPicture picture);
// The picture of a resource name ("GRUEN24X24" ...); the grey one for unknown names.
const QPixmap& LedPixmapByName(const QString& name);

}  // namespace zeb7::gui
