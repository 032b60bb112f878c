#include "model/UParam.h"

#include <algorithm>
#include <bit>
#include <mutex>

#include "model/ModelEvents.h"
#include "link/TelegramData.h"
#include "link/TextCodec.h"
#include "model/UParamGrp.h"

namespace zeb7 {

namespace {
constexpr int kBackOffLimit = 500;
constexpr int kBackOffSkip = 480;
// Cycle positions before the parameters: versions of targets 0..9, then their status.
constexpr int32_t kFirstVersionPos = -20;
constexpr int32_t kFirstStatusPos = -10;
constexpr int32_t kWrapPos = -21;

bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
}  // namespace

const char* DispWinStateName(TDispWinState state) {
  switch (state) {
    case dwsVerified: return "dwsVerified";
    case dwsNotVerified: return "dwsNotVerified";
    case dwsNotValid: return "dwsNotValid";
    case dwsUpdated: return "dwsUpdated";
    case dwsReplaced: return "dwsReplaced";
    case dwsUpdateFromParam: return "dwsUpdateFromParam";
  }
  return "?";
}

// ---- TParameter ----

TParameter::TParameter(int32_t index, int32_t target, TParameterList* owner) : owner_(owner) {
  P.iMyIndex = index;
  P.iMyTarget = target;
}

int TParameter::Verified() const { return 20 * std::popcount(static_cast<unsigned>(State.load())); }

void TParameter::UpdateGroupName() {
  if (!owner_ || P.iMyTarget < 0 || P.iMyTarget >= kTargetCount || !owner_->GroupNameLists()[P.iMyTarget]) {
    P.sGroupName = "- ERROR -";
    return;
  }
  P.sGroupName = owner_->GroupNameLists()[P.iMyTarget]->GetString(P.iGroupNr);
}

const std::string& TParameter::sGroupName() {
  UpdateGroupName();
  return P.sGroupName;
}

TDispParam TParameter::Descriptor() {
  UpdateGroupName();
  TDispParam d = P;
  d.ParamState = State;
  return d;
}

void TParameter::AddDisplay(IDisplayWin* win) {
  if (win && std::find(MyDisplayWins.begin(), MyDisplayWins.end(), win) == MyDisplayWins.end())
    MyDisplayWins.push_back(win);
}

// ---- TParameterList ----

TParameterList::TParameterList(TModelContext& ctx, TTargetInfoArray& targets, TGroupNameLists groupNames)
    : ctx_(ctx), targets_(targets), groupNames_(groupNames) {}

size_t TParameterList::LowerBound(int32_t key) const {
  auto it = std::lower_bound(params_.begin(), params_.end(), key,
                             [](const auto& p, int32_t k) { return p->Key() < k; });
  return static_cast<size_t>(it - params_.begin());
}

TParameter* TParameterList::At(int pos) const {
  if (pos < 0 || pos >= Count()) return nullptr;
  return params_[static_cast<size_t>(pos)].get();
}

TParameter* TParameterList::Find(int32_t key) const {
  size_t pos = LowerBound(key);
  if (pos < params_.size() && params_[pos]->Key() == key) return params_[pos].get();
  return nullptr;
}

TParameter& TParameterList::GetParameter(int32_t index, int32_t target) {
  std::lock_guard lock(ctx_.Mutex);
  const int32_t key = ParamKey(index, target);
  size_t pos = LowerBound(key);
  if (pos < params_.size() && params_[pos]->Key() == key) return *params_[pos];
  auto it = params_.insert(params_.begin() + static_cast<ptrdiff_t>(pos),
                           std::make_unique<TParameter>(index & 0xFFFF, target, this));
  return **it;
}

TParameter* TParameterList::GetParameterByName(const std::string& fwName, int32_t target) const {
  for (const auto& p : params_)
    if (p->P.sFirmwareName == fwName && p->P.iMyTarget == target) return p.get();
  return nullptr;
}

TParameter* TParameterList::GetParameterByNameAndGroup(const std::string& grpName, const std::string& fwName,
                                                       int32_t target) {
  for (const auto& p : params_)
    if (p->P.sFirmwareName == fwName && p->P.iMyTarget == target && p->sGroupName() == grpName) return p.get();
  return nullptr;
}

TDisplayList* TParameterList::DispGetParamByIndex(int32_t index, int32_t target, TDispParam& param) {
  TParameter* p = Find(index, target);
  if (!p) return nullptr;
  param = p->Descriptor();
  return &p->MyDisplayWins;
}

TDisplayList* TParameterList::DispGetParamByName(const std::string& fwName, int32_t target, int32_t groupNr,
                                                 TDispParam& param) {
  TDisplayList* found = nullptr;
  for (const auto& p : params_) {
    if (p->P.sFirmwareName == fwName && p->P.iMyTarget == target && p->P.iGroupNr == groupNr) {
      param = p->Descriptor();
      found = &p->MyDisplayWins;
    }
  }
  return found;
}

TDisplayList* TParameterList::DispGetParamByName2(const std::string& fwName, int32_t target,
                                                  const std::string& groupName, TDispParam& param) {
  TDisplayList* found = nullptr;
  for (const auto& p : params_) {
    if (p->P.sFirmwareName == fwName && p->P.iMyTarget == target && p->sGroupName() == groupName) {
      param = p->Descriptor();
      found = &p->MyDisplayWins;
    }
  }
  return found;
}

void TParameterList::RemoveDisplay(IDisplayWin* display) {
  for (const auto& p : params_) {
    auto& wins = p->MyDisplayWins;
    bool removed = false;
    for (size_t i = wins.size(); i-- > 0;)
      if (wins[i] == display) {
        wins.erase(wins.begin() + static_cast<ptrdiff_t>(i));
        removed = true;
      }
    if (removed) p->P.DisplayUpToDate = false;
  }
}

void TParameterList::RemoveAllDisplays() {
  for (const auto& p : params_) {
    p->MyDisplayWins.clear();
    p->P.DisplayUpToDate = false;
  }
}

int TParameterList::Verified() const {
  if (params_.empty()) return 100;
  int64_t sum = 0;
  for (const auto& p : params_) sum += p->Verified();
  return static_cast<int>(sum / static_cast<int64_t>(params_.size()));
}

void TParameterList::FreeAll() {
  std::lock_guard lock(ctx_.Mutex);
  params_.clear();
}

void TParameterList::FreeBeyond(int32_t target, int32_t paramCount) {
  std::lock_guard lock(ctx_.Mutex);
  std::erase_if(params_, [&](const auto& p) {
    return p->P.iMyTarget >= kTargetCount || (p->P.iMyTarget == target && p->P.iMyIndex >= paramCount);
  });
}

bool TParameterList::MakeTelegram(TTelegram& tele) {
  std::lock_guard lock(ctx_.Mutex);
  const int32_t count = Count();
  for (int32_t n = 0; n <= count; ++n) {
    // Compared as signed numbers: the wrap position is negative.
    if (CurrentListIndex >= Count()) {
      TargetToCheck = (TargetToCheck + 1) % kTargetCount;
      CurrentListIndex = kWrapPos;
    }
    const int32_t p = ++CurrentListIndex;
    if (p < kFirstStatusPos) {
      const int t = p - kFirstVersionPos;
      tele.iRetry = 3;
      const TTargetInfo& ti = targets_[t];
      if (ti.fNotPresent) {
        if (!ti.fVersionSeen || t != TargetToCheck) continue;
        tele.iRetry = 0;  // a single probe of an absent target, once per cycle in turn
      }
      tele.bCommand = kCmdVersion;
      tele.bTarget = static_cast<uint8_t>(t);
      tele.bLength = 0;
      return true;
    }
    if (p < 0) {
      const int t = p - kFirstStatusPos;
      if (targets_[t].fNotPresent) continue;
      tele.iRetry = 3;
      tele.bCommand = kCmdStatus;
      tele.bTarget = static_cast<uint8_t>(t);
      tele.bLength = 0;
      return true;
    }
    TParameter* par = At(p);
    if (!par) continue;
    tele.iRetry = 6;
    if (par->iNakCounter >= kBackOffSkip) {
      --par->iNakCounter;
      continue;
    }
    if (par->iAckCounter >= kBackOffSkip) {
      --par->iAckCounter;
      continue;
    }
    const TParamState st = par->State;
    int cmd;
    if (!(st & FirmwareNameOK))
      cmd = kCmdGetFirmwareName;
    else if (!(st & ControlOK))
      cmd = kCmdGetControl;
    else if (!(st & CaptionOK))
      cmd = kCmdGetCaption;
    else if (!(st & PropertiesOK))
      cmd = kCmdGetProperties;
    else if (!(st & ChecksumOK))
      cmd = kCmdGetValue;
    else if (!par->MyDisplayWins.empty())
      cmd = par->fUseGetParamValue2 ? kCmdGetValue2 : kCmdGetValue;
    else
      continue;
    const int32_t key = par->Key();
    tele.bCommand = static_cast<uint8_t>(cmd);
    tele.bTarget = static_cast<uint8_t>(key / 65536);
    tele.bLength = 3;
    tdata::SetWord(tele, 0, static_cast<uint32_t>(key % 65536));
    tele.baData[2] = 0;
    return true;
  }
  return false;
}

bool TParameterList::HandleTelegram(const TTelegram& tele) {
  const int cmd = tele.bCommand;
  if (!((cmd >= kCmdGetValue && cmd <= kCmdGetProperties) || cmd == kCmdSetValue)) return false;
  const int target = tele.bTarget;
  if (target >= kTargetCount) return true;  // never create parameters of targets that cannot exist
  std::lock_guard lock(ctx_.Mutex);
  // Unsigned: a signed read turns 65535 into -1, whose key belongs to the previous target.
  TParameter& p = GetParameter(tdata::Word(tele, 0), target);
  if (tele.ttType == ttAck) {
    if (p.iAckCounter < kBackOffLimit) p.iAckCounter += 200;
    return true;
  }
  if (tele.ttType == ttNak) {
    if (p.iNakCounter < kBackOffLimit) p.iNakCounter += 50;
    return true;
  }
  p.iNakCounter = 0;
  p.iAckCounter = 0;
  TTargetInfo& ti = targets_[target];
  if (ti.fNotPresent) {
    ti.TargetState = statVolatileStrings;
    ti.fNotPresent = false;
  }
  if (cmd == kCmdGetValue || cmd == kCmdGetValue2 || cmd == kCmdSetValue)
    HandleValue(p, tele);
  else
    HandleDescriptor(p, tele);
  return true;
}

void TParameterList::HandleValue(TParameter& p, const TTelegram& tele) {
  // Without the whole 32-bit value the rest of the buffer is not this answer's.
  if (tele.bLength < 8) return;
  const uint16_t checksum = tdata::Word(tele, 2);
  if (checksum != p.P.wChecksum) {
    if (p.iErrorCounter <= 2)
      ++p.iErrorCounter;
    else
      p.State = 0;  // the fourth mismatch in a row: read the descriptor again
    return;
  }
  p.iErrorCounter = 0;
  if ((p.State | ChecksumOK) == ParamStateAllOK) p.State = ParamStateAllOK;
  p.iValue = static_cast<int32_t>(tdata::DWord(tele, 4));
  int64_t raw;
  if (tele.bLength == 12)
    raw = static_cast<int64_t>(static_cast<uint64_t>(tdata::DWord(tele, 4)) |
                               (static_cast<uint64_t>(tdata::DWord(tele, 8)) << 32));
  else
    raw = p.iValue;
  p.i64Value = raw;
  const int cmd = tele.bCommand;
  if (!(cmd == kCmdSetValue || (cmd == kCmdGetValue2) == p.fUseGetParamValue2.load())) return;
  const TDisplayList wins = p.MyDisplayWins;  // a window may unregister itself meanwhile
  for (IDisplayWin* w : wins) {
    try {
      w->SetRawValue(raw);
    } catch (...) {
    }
  }
}

void TParameterList::HandleDescriptor(TParameter& p, const TTelegram& tele) {
  if (tele.bLength <= 6) return;
  std::string text = tdata::Text(tele, 6);
  if (text.size() < 3) return;
  const uint16_t checksum = tdata::Word(tele, 2);
  const int32_t group = tdata::Byte(tele, 4);
  if (p.P.iGroupNr != group) p.fModified = true;
  p.P.iGroupNr = group;
  p.P.iTypeNr = static_cast<int8_t>(tdata::Byte(tele, 5));
  switch (tele.bCommand) {
    case kCmdGetFirmwareName:
      if (p.P.sFirmwareName != text) {
        p.fModified = true;
        p.P.sFirmwareName = text;
        auto& wins = p.MyDisplayWins;
        for (size_t i = wins.size(); i-- > 0;) {
          IDisplayWin* w = wins[i];
          try {
            if (w->GetLocalParam().sFirmwareName != text) {
              wins.erase(wins.begin() + static_cast<ptrdiff_t>(i));
              w->SetDispWinState(dwsNotVerified);
            }
          } catch (...) {
          }
        }
      }
      p.State |= FirmwareNameOK;
      break;
    case kCmdGetControl: {
      std::string upper = AsciiUpper(text);
      if (p.P.sControl != upper) {
        p.fModified = true;
        p.P.sControl = std::move(upper);
      }
      int32_t userClass = !IsLowerAscii(text[1]) ? 0 : !IsLowerAscii(text[0]) ? 1 : 2;
      if (userClass != p.P.iUserClass) p.fModified = true;
      p.P.iUserClass = userClass;
      p.State |= ControlOK;
      break;
    }
    case kCmdGetCaption:
      if (p.P.sCaption != text) {
        p.fModified = true;
        p.P.sCaption = std::move(text);
      }
      p.State |= CaptionOK;
      break;
    case kCmdGetProperties:
      if (p.P.sControlProperties != text) {
        p.fModified = true;
        p.P.sControlProperties = std::move(text);
      }
      p.State |= PropertiesOK;
      break;
    default:
      break;
  }
  if ((p.State | ChecksumOK) != ParamStateAllOK) return;
  if (checksum != p.P.wChecksum) p.fModified = true;
  if (!p.fModified) return;
  p.P.wChecksum = checksum;
  const TDisplayList wins = p.MyDisplayWins;
  for (size_t i = wins.size(); i-- > 0;) {
    IDisplayWin* w = wins[i];
    // skip windows that an earlier update in this walk replaced
    if (std::find(p.MyDisplayWins.begin(), p.MyDisplayWins.end(), w) == p.MyDisplayWins.end()) continue;
    try {
      w->UpdateDisplayWinFromParameter(p.Descriptor(), p.MyDisplayWins);
    } catch (...) {
    }
  }
}

}  // namespace zeb7
