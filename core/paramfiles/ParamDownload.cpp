#include "paramfiles/ParamDownload.h"

#include <algorithm>

#include "link/Commands.h"
#include "link/TelegramData.h"
#include "link/ThrdComm.h"
#include "model/DriveModel.h"

namespace zeb7 {

std::string TDownloadSummary::Line() const {
  return "written=" + std::to_string(Written) + " limited=" + std::to_string(Limited) +
         " refused=" + std::to_string(Refused) + " lost=" + std::to_string(Lost) +
         " obsolete=" + std::to_string(Obsolete);
}

TParamDownload::TParamDownload(ITelegramLink& link, TParameterList& params) : link_(link), params_(params) {}

void TParamDownload::Start(std::vector<TParamSetting> settings, int obsolete) {
  std::sort(settings.begin(), settings.end(), [](const auto& a, const auto& b) { return a.Key < b.Key; });
  settings_.clear();
  byKey_.clear();
  for (auto& s : settings)
    if (byKey_.emplace(s.Key, settings_.size()).second) settings_.push_back(std::move(s));
  outcome_.assign(settings_.size(), TOutcome::Pending);
  next_ = 0;
  unresolved_ = 0;
  error_.clear();
  summary_ = {};
  summary_.Obsolete = obsolete;
  active_ = true;
  started_ = true;
}

int TParamDownload::Progress() const {
  if (settings_.empty()) return 100;
  return std::min<int>(100, static_cast<int>((next_ + 1) * 100 / settings_.size()));
}

void TParamDownload::Log(const std::string& s) {
  if (OnLog) OnLog(s);
}

void TParamDownload::Pump() {
  if (!active_) return;
  if (!AllPosted()) {
    if (!link_.Opened()) {
      Stop("The port is closed: the download stopped after " + std::to_string(next_) + " of " +
           std::to_string(settings_.size()) + " values");
      return;
    }
    if (DriveDisabled && !DriveDisabled()) {
      Stop("The drive is enabled: the download stopped after " + std::to_string(next_) + " of " +
           std::to_string(settings_.size()) + " values");
      return;
    }
    if (link_.GetSendQueueSize() > kQueueBusy) return;
  }
  while (!AllPosted()) {
    const TParamSetting& s = settings_[next_];
    int queued = link_.GetSendQueueSize();
    const TParameter* p = params_.Find(s.Key);
    const uint16_t checksum = p ? p->P.wChecksum : 0;
    if (!p || checksum == 0) {
      Log("Parameter " + s.Label + " is no longer in the database");
      Resolve(outcome_[next_], TOutcome::Lost);
      ++next_;
      continue;
    }
    auto tele = std::make_unique<TTelegram>(this);
    tele->bCommand = kCmdSetValue;
    tele->bTarget = static_cast<uint8_t>(s.Key / 65536);
    // Writes of different parameters need no order among them: the window of
    // three stays full instead of waiting for each answer.
    tele->fCritical = false;
    tele->iRetry = kTransmissions;
    tele->bLength = 12;
    tdata::SetWord(*tele, 0, static_cast<uint32_t>(s.Key % 65536));
    tdata::SetWord(*tele, 2, checksum);
    tdata::SetInt64(*tele, 4, s.Value);
    ++unresolved_;
    ++next_;
    link_.PostTelegram(std::move(tele));
    ++queued;
    if (queued >= kQueueFull) break;
  }
  CheckFinished();
}

bool TParamDownload::Ours(const TTelegram& tele) const {
  return tele.pOwner == this && tele.bCommand == kCmdSetValue && started_;
}

TParamDownload::TOutcome* TParamDownload::OutcomeOf(const TTelegram& tele, const TParamSetting** setting) {
  if (!Ours(tele)) return nullptr;
  const int32_t key = ParamKey(tdata::Word(tele, 0), tele.bTarget);
  auto it = byKey_.find(key);
  if (it == byKey_.end() || it->second >= next_) return nullptr;
  *setting = &settings_[it->second];
  return &outcome_[it->second];
}

void TParamDownload::Resolve(TOutcome& o, TOutcome value) {
  if (o != TOutcome::Pending) return;
  o = value;
  switch (value) {
    case TOutcome::Written: ++summary_.Written; break;
    case TOutcome::Limited: ++summary_.Limited; break;
    case TOutcome::Refused: ++summary_.Refused; break;
    default: ++summary_.Lost; break;
  }
}

bool TParamDownload::OnAnswer(const TTelegram& tele) {
  const TParamSetting* s = nullptr;
  TOutcome* o = OutcomeOf(tele, &s);
  if (!o) return false;
  if (*o == TOutcome::Pending) {
    --unresolved_;
    if (tele.bLength < 8) {
      Log("Parameter " + s->Label + ": the drive answered without a value");
      Resolve(*o, TOutcome::Lost);
    } else {
      const int64_t v = tele.bLength >= 12 ? tdata::Int64(tele, 4)
                                           : static_cast<int64_t>(static_cast<int32_t>(tdata::DWord(tele, 4)));
      if (v == s->Value) {
        Resolve(*o, TOutcome::Written);
      } else {
        Log("Parameter " + s->Label + " was limited to " + std::to_string(v) + " (file: " +
            std::to_string(s->Value) + ")");
        Resolve(*o, TOutcome::Limited);
      }
    }
  }
  Pump();
  CheckFinished();
  return true;
}

bool TParamDownload::OnRefused(const TTelegram& tele) {
  const TParamSetting* s = nullptr;
  TOutcome* o = OutcomeOf(tele, &s);
  if (!o) return false;
  if (*o == TOutcome::Pending) {
    --unresolved_;
    Log("Parameter " + s->Label + " was refused by the drive");
    Resolve(*o, TOutcome::Refused);
  }
  Pump();
  CheckFinished();
  return true;
}

bool TParamDownload::OnBareAck(const TTelegram& tele) {
  const TParamSetting* s = nullptr;
  TOutcome* o = OutcomeOf(tele, &s);
  if (!o) return false;
  if (*o == TOutcome::Pending) {
    --unresolved_;
    Log("Parameter " + s->Label + ": the drive acknowledged without a value");
    Resolve(*o, TOutcome::Lost);
  }
  Pump();
  CheckFinished();
  return true;
}

bool TParamDownload::OnLost(const TTelegram& tele) {
  const TParamSetting* s = nullptr;
  TOutcome* o = OutcomeOf(tele, &s);
  if (!o) return false;
  if (*o == TOutcome::Pending) {
    --unresolved_;
    Log("Parameter " + s->Label + ": no answer from the drive");
    Resolve(*o, TOutcome::Lost);
  }
  Pump();
  CheckFinished();
  return true;
}

void TParamDownload::CheckFinished() {
  if (!active_ || !AllPosted() || unresolved_ > 0) return;
  active_ = false;
}

void TParamDownload::Stop(const std::string& error) {
  error_ = error;
  Log(error);
  GiveUp(error);
}

void TParamDownload::GiveUp(const std::string& why) {
  if (error_.empty()) error_ = why;
  for (size_t i = 0; i < outcome_.size(); ++i) {
    if (outcome_[i] != TOutcome::Pending) continue;
    Resolve(outcome_[i], TOutcome::Lost);
  }
  next_ = settings_.size();
  unresolved_ = 0;
  active_ = false;
}

void TParamDownload::Cancel() {
  if (!active_) return;
  GiveUp("Cancelled");
}

// --- the link tap ----------------------------------------------------------------

TParamDownloadTap::TParamDownloadTap(TCommInterface& comm, TDriveModel& model, TParamDownload& download)
    : comm_(comm), dl_(download) {
  // Callbacks run in slot order: take the model's out and put them back behind ours.
  const bool running = model.ExchVars.boRunning;
  if (running) model.Stop();
  comm_.AddReceiveFunction(TelegramFunction(&dl_, [this](std::unique_ptr<TTelegram>& t) {
    if (t) dl_.OnAnswer(*t);
    return false;
  }));
  comm_.AddNakFunction(TelegramFunction(&dl_, [this](std::unique_ptr<TTelegram>& t) {
    if (t) dl_.OnRefused(*t);
    return false;
  }));
  comm_.AddAckFunction(TelegramFunction(&dl_, [this](std::unique_ptr<TTelegram>& t) {
    if (t) dl_.OnBareAck(*t);
    return false;
  }));
  // Nobody else takes lost writes: handled here, without the link's error line per value.
  comm_.AddMissingAckFunction(TelegramFunction(&dl_, [this](std::unique_ptr<TTelegram>& t) {
    return t && dl_.OnLost(*t);
  }));
  if (running) model.Run(comm);
}

TParamDownloadTap::~TParamDownloadTap() {
  const auto key = TelegramFunction(&dl_, [](std::unique_ptr<TTelegram>&) { return false; });
  comm_.RemoveReceiveFunction(key);
  comm_.RemoveNakFunction(key);
  comm_.RemoveAckFunction(key);
  comm_.RemoveMissingAckFunction(key);
}

// --- disabling first ------------------------------------------------------------------

void TDriveDisabler::Begin() {
  attempts_ = 0;
  model_.ExchVars.SendCommand(kDriveCmdDisable);
}

bool TDriveDisabler::Disabled() const { return model_.Status.DownButton() == dbDisableDrive; }

bool TDriveDisabler::Tick() {
  if (Disabled()) return true;
  if (attempts_ >= kAttempts) return true;
  ++attempts_;
  model_.ExchVars.SendCommand(kDriveCmdDisable);
  return false;
}

}  // namespace zeb7
