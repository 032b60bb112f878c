#include "model/DriveModel.h"

#include "link/ThrdComm.h"

namespace zeb7 {

namespace {
TParameterList::TGroupNameLists GroupNames(TStringLists& s) {
  TParameterList::TGroupNameLists lists{};
  for (int t = 0; t < kTargetCount; ++t) lists[t] = s.GroupNameLists[t].get();
  return lists;
}
}  // namespace

TDriveModel::TDriveModel()
    : Strings(Context),
      ParameterList(Context, TargetInfo, GroupNames(Strings)),
      ProjectState(Context, TargetInfo, ParameterList, Strings),
      Status(TargetInfo),
      ExchVars(Context, TargetInfo, ParameterList, Strings, ProjectState, Status) {
  Status.SendCommand = [this](uint16_t command) { ExchVars.SendCommand(command); };
}

void TDriveModel::Run(TCommInterface& comm) {
  if (!ExchVars.boRunning) comm.AddNakFunction(TelegramFunction(&ProjectState, &TFrmProjectState::OnNakTelegram));
  ExchVars.Run(comm);
  comm_ = &comm;
}

void TDriveModel::Stop() {
  if (!comm_) return;
  ExchVars.Stop();
  comm_->RemoveNakFunction(TelegramFunction(&ProjectState, &TFrmProjectState::OnNakTelegram));
}

}  // namespace zeb7
