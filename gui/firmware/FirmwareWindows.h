#pragma once
// The firmware windows of the main window: created hidden with it, opened from
// the service menu, their settings read at start and written at exit.
namespace zeb7::gui {

class TMainForm;

// Creates "Firmware Maintenance" and "Upload Controller Data", binds and enables
// their menu entries and reads their settings.
void AttachFirmwareWindows(TMainForm& main);
// Program exit: closes them whatever the drive does, writes their settings and
// lets go of the link (call before the link is freed).
void DetachFirmwareWindows(TMainForm& main);

}  // namespace zeb7::gui
