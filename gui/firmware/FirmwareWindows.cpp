#include "gui/firmware/FirmwareWindows.h"

#include <QAction>

#include "gui/firmware/FrmDown.h"
#include "gui/firmware/FrmUpload.h"
#include "gui/link/CommDriveLink.h"
#include "gui/workspace/Main.h"
#include "workspace/IniFiles.h"
#include "workspace/Settings.h"

namespace zeb7::gui {

namespace {
TCommInterface* CommOf(TMainForm& main) {
  auto* link = dynamic_cast<TCommDriveLink*>(main.Link());
  return link ? &link->Comm() : nullptr;
}
}  // namespace

void AttachFirmwareWindows(TMainForm& main) {
  main.FormDownload = new TFormDownload(&main);
  main.FormUpload = new TFormUpload(&main);
  {
    TIniFile ini(SettingsFileName());
    main.FormDownload->GetSettings(ini);
    main.FormUpload->GetSettings(ini);
  }
  main.FormDownload->OnFlashModifiedExit = [&main] { main.RereadParametersClick(); };
  main.FirmwareUpdateTool1->setEnabled(true);
  QObject::connect(main.FirmwareUpdateTool1, &QAction::triggered, &main, [&main] {
    main.FormDownload->SetComm(CommOf(main));
    main.FormDownload->ShowForm();
  });
  main.UploadControllerFlash1->setEnabled(true);
  QObject::connect(main.UploadControllerFlash1, &QAction::triggered, &main, [&main] {
    main.FormUpload->SetComm(CommOf(main));
    main.FormUpload->show();
    main.FormUpload->raise();
  });
}

void DetachFirmwareWindows(TMainForm& main) {
  if (!main.FormDownload || !main.FormUpload) return;
  main.FormDownload->ProgramExit();
  main.FormUpload->hide();
  TIniFile ini(SettingsFileName());
  main.FormDownload->SaveSettings(ini);
  main.FormUpload->SaveSettings(ini);
  main.FormDownload->SetComm(nullptr);
  main.FormUpload->SetComm(nullptr);
}

}  // namespace zeb7::gui
