#include "model/DriveModel.h"

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

}  // namespace zeb7
