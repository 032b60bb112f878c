#include "model/ExchVars.h"

#include <algorithm>
#include <mutex>

#include "link/ThrdComm.h"
#include "model/DisplayLink.h"
#include "model/DriveStatus.h"
#include "model/FrmProjectDatabase.h"
#include "model/ModelEvents.h"
#include "link/TelegramData.h"
#include "model/UParam.h"
#include "model/UParamGrp.h"

namespace zeb7 {

namespace {
constexpr int kMaxStringChars = 100;
}

TDMExchVars::TDMExchVars(TModelContext& ctx, TTargetInfoArray& targets, TParameterList& params,
                         TStringLists& strings, TFrmProjectState& project, TDriveStatus& status)
    : ctx_(ctx), targets_(targets), params_(params), strings_(strings), project_(project), status_(status) {}

bool TCommInterfaceLink::Opened() const { return comm_.Opened(); }
int TCommInterfaceLink::GetSendQueueSize() const { return comm_.GetSendQueueSize(); }
void TCommInterfaceLink::PostTelegram(std::unique_ptr<TTelegram> tele) { comm_.PostTelegram(std::move(tele)); }

void TDMExchVars::Run(TCommInterface& comm) {
  if (boRunning) return;
  if (comm_ != &comm) {
    commLink_ = std::make_unique<TCommInterfaceLink>(comm);
    comm_ = &comm;
  }
  link_ = commLink_.get();
  comm.AddIdleFunction(WakeUpFunction(this, &TDMExchVars::IdleProc));
  const TTelegramFunction dispatcher = TelegramFunction(this, &TDMExchVars::OnTelegram);
  comm.AddReceiveFunction(dispatcher);
  comm.AddNakFunction(dispatcher);
  comm.AddAckFunction(dispatcher);
  boRunning = true;
}

void TDMExchVars::Stop() {
  if (!boRunning || !comm_) return;
  comm_->RemoveIdleFunction(WakeUpFunction(this, &TDMExchVars::IdleProc));
  const TTelegramFunction dispatcher = TelegramFunction(this, &TDMExchVars::OnTelegram);
  comm_->RemoveReceiveFunction(dispatcher);
  comm_->RemoveAckFunction(dispatcher);
  comm_->RemoveNakFunction(dispatcher);
  boRunning = false;
}

bool TDMExchVars::OnTelegram(std::unique_ptr<TTelegram>& tele) {
  if (!tele || !Dispatch(*tele)) return false;
  tele.reset();  // accepted: this callback owns the copy
  return true;
}

bool TDMExchVars::Idle() {
  ITelegramLink* link = link_;
  if (!link || !link->Opened() || link->GetSendQueueSize() >= kMaxQueuedPolls) return false;
  auto tele = std::make_unique<TTelegram>();
  bool filled;
  {
    // The producers walk the lists; the main thread must not insert or free meanwhile.
    std::lock_guard lock(ctx_.Mutex);
    filled = status_.MakeTelegram(*tele);
    for (int t = 0; !filled && t < kTargetCount; ++t) {
      filled = strings_.GroupDescriptionLists[t]->MakeTelegram(*tele) ||
               strings_.GroupParentLists[t]->MakeTelegram(*tele) || strings_.GroupNameLists[t]->MakeTelegram(*tele) ||
               strings_.DriveModeList.MakeTelegram(*tele) || strings_.TypePlateLists[t]->MakeTelegram(*tele);
    }
    if (!filled) filled = params_.MakeTelegram(*tele);
  }
  if (!filled) return false;
  link->PostTelegram(std::move(tele));
  return true;
}

bool TDMExchVars::Dispatch(const TTelegram& tele) {
  if (tele.bTarget >= kTargetCount) return false;
  std::lock_guard lock(ctx_.Mutex);
  switch (tele.bCommand) {
    case kCmdVersion:
      return project_.HandleVersionTelegram(tele);
    case kCmdStatus:
      status_.HandleStatusTelegram(tele);
      return true;
    case kCmdStatusMessage:
    case kCmdControllerError:
    case kCmdRuntimeError:
      status_.HandleErrorTelegram(tele);
      return true;
    default:
      break;
  }
  const int t = tele.bTarget;
  return params_.HandleTelegram(tele) || strings_.GroupNameLists[t]->HandleTelegram(tele) ||
         strings_.GroupDescriptionLists[t]->HandleTelegram(tele) ||
         strings_.GroupParentLists[t]->HandleTelegram(tele) || strings_.DriveModeList.HandleTelegram(tele) ||
         strings_.TypePlateLists[t]->HandleTelegram(tele);
}

int TDMExchVars::SendMonitorData(int32_t index, int32_t target, int32_t checksum, int64_t newValue, bool,
                                 int retry) {
  ITelegramLink* link = link_;
  if (!link) return 0;
  const int queued = link->GetSendQueueSize();
  if (!link->Opened()) return queued;
  auto tele = std::make_unique<TTelegram>();
  tele->bCommand = kCmdSetValue;
  tele->bTarget = static_cast<uint8_t>(target);
  tele->fCritical = true;
  tele->iRetry = retry;
  tele->bLength = 12;
  tdata::SetWord(*tele, 0, static_cast<uint32_t>(index));
  tdata::SetWord(*tele, 2, static_cast<uint32_t>(checksum));
  const auto v = static_cast<uint64_t>(newValue);
  for (int i = 0; i < 8; ++i) tele->baData[4 + i] = static_cast<uint8_t>(v >> (8 * i));
  link->PostTelegram(std::move(tele));
  return queued + 1;
}

void TDMExchVars::SendeNeuenWert(IDisplayWin* sender) {
  if (!sender) return;
  std::lock_guard lock(ctx_.Mutex);
  const TDispParam& local = sender->GetLocalParam();
  TParameter* p = params_.Find(local.iMyIndex, local.iMyTarget);
  if (!p || local.iMyTarget < 0) return;
  if (local.wChecksum != p->P.wChecksum) {
    p->VerifyAll();  // the window's descriptor is stale: verify before any write
    return;
  }
  if (p->P.wChecksum == 0) return;
  if (p->ParamState() != ParamStateAllOK) return;
  SendMonitorData(local.iMyIndex, local.iMyTarget, p->P.wChecksum, sender->GetRawValue(), false, 5);
  // answers to reads sent before the write must not overwrite the new value
  p->fUseGetParamValue2 = !p->fUseGetParamValue2;
}

void TDMExchVars::SendCommand(uint16_t command) {
  uint16_t seq = commandSequence_;
  seq = seq >= 65534 ? 1 : static_cast<uint16_t>(seq + 1);
  commandSequence_ = seq;
  ITelegramLink* link = link_;
  if (!link || !link->Opened()) return;
  for (int t = 0; t < kTargetCount; ++t) {
    if (targets_[t].fNotPresent) continue;
    auto tele = std::make_unique<TTelegram>();
    tele->bCommand = kCmdDriveCommand;
    tele->bTarget = static_cast<uint8_t>(t);
    tele->iRetry = 5;
    tele->bLength = 4;
    tdata::SetWord(*tele, 0, command);
    tdata::SetWord(*tele, 2, seq);
    link->PostTelegram(std::move(tele));
  }
}

void TDMExchVars::SendString(int command, int target, int index, int checksum, const std::string& text) {
  ITelegramLink* link = link_;
  if (!link || !link->Opened()) return;
  auto tele = std::make_unique<TTelegram>();
  tele->bCommand = static_cast<uint8_t>(command);
  tele->bTarget = static_cast<uint8_t>(target);
  tele->iRetry = 5;
  tdata::SetWord(*tele, 0, static_cast<uint32_t>(index));
  tdata::SetWord(*tele, 2, static_cast<uint32_t>(checksum));
  const int n = std::min<int>(static_cast<int>(text.size()), kMaxStringChars);
  for (int i = 0; i < n; ++i) tele->baData[4 + i] = static_cast<uint8_t>(text[static_cast<size_t>(i)]);
  tele->baData[4 + n] = 0;
  tele->bLength = static_cast<uint8_t>(5 + n);
  link->PostTelegram(std::move(tele));
}

void TDMExchVars::WriteTypePlateLine(int target, int index, const std::string& text) {
  if (target < 0 || target >= kTargetCount) return;
  std::lock_guard lock(ctx_.Mutex);
  TControllerString& line = strings_.TypePlateLists[target]->GetControllerString(index);
  SendString(kCmdWriteTypePlate, target, index, line.wChecksum, text);
  line.VerifyAll();
}

}  // namespace zeb7
