#pragma once
// The main window's link as the oscillogram window uses it for an upload.
#include "gui/scope/FrmOscill.h"

namespace zeb7::gui {

class TMainForm;

// The link's interface (none without a link), the polling to stop and to
// resume (only while online) and the main window's error sink to hand back.
TScopeLink ScopeLinkOf(TMainForm& main);

}  // namespace zeb7::gui
