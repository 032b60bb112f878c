#pragma once
// The one owner of the drive data model: target records, string lists,
// parameter database, synchronisation, drive status and the dispatcher, wired
// together and created in one place.
#include <memory>
#include <mutex>

#include "model/DriveStatus.h"
#include "model/ExchVars.h"
#include "model/FrmProjectDatabase.h"
#include "model/ModelEvents.h"
#include "model/TargetInfo.h"
#include "model/UParam.h"
#include "model/UParamGrp.h"

namespace zeb7 {

class TDriveModel {
 public:
  TDriveModel();
  TDriveModel(const TDriveModel&) = delete;
  TDriveModel& operator=(const TDriveModel&) = delete;

  // For readers outside the main thread's handlers (a front end whose answers
  // arrive on another thread): hold it while walking the lists.
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(Context.Mutex); }

  // Starts the data exchange the way the main window does: the negative-answer
  // routing first (so it sees refusals before the dispatcher), then the
  // dispatcher and the idle poller. Stop undoes it.
  void Run(TCommInterface& comm);
  void Stop();

  TModelContext Context;
  TTargetInfoArray TargetInfo;
  TStringLists Strings;
  TParameterList ParameterList;
  TFrmProjectState ProjectState;
  TDriveStatus Status;
  TDMExchVars ExchVars;

 private:
  TCommInterface* comm_ = nullptr;
};

}  // namespace zeb7
