#pragma once
// The main window's parameter file and inspection entries: "Sa&ve Parameters
// as...", "Load &Parameters...", "Exa&mine Parameter file...", "&Parameters"
// (the tree) and "&Show Communication". Connected once after the menus exist.
#include <QString>

namespace zeb7::gui {

class TMainForm;

void ConnectParameterFileMenus(TMainForm& main);

// The save command without its dialog: waits (serving the link) until the
// database is complete, then writes. False with `error` when the drive does
// not finish or the file cannot be written.
bool SaveParametersTo(TMainForm& main, const QString& file, QString& error, int completeLimitMs = 30000);

}  // namespace zeb7::gui
