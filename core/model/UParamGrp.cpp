#include "model/UParamGrp.h"

#include <algorithm>
#include <mutex>

#include "model/ModelEvents.h"
#include "link/TelegramData.h"

namespace zeb7 {

namespace {
constexpr int kBackOffLimit = 500;
constexpr int kBackOffSkip = 480;
}  // namespace

// ---- TControllerString ----

uint16_t TControllerString::CalcChecksum() const {
  uint16_t s = static_cast<uint16_t>(iMyIndex & 0xFFFF);
  for (unsigned char c : sCaption) s = static_cast<uint16_t>(s + c);
  return static_cast<uint16_t>(s % 0xAAAA + 0x1111);
}

void TControllerString::VerifyAll() {
  if (!sCaption.empty()) wChecksum = CalcChecksum();
  ControllerStringState = VerifyChecksum | VerifyCaption;
}

int TControllerString::Verified() const {
  TControllerStringState st = ControllerStringState;
  int absent = ((st & VerifyChecksum) ? 0 : 1) + ((st & VerifyCaption) ? 0 : 1);
  return 50 * absent;
}

int TControllerString::VerifiedOrNAK() const { return iNakCounter > 0 ? 100 : Verified(); }

// ---- TControllerStringList ----

TControllerStringList::TControllerStringList(int myCommand, int myMessage, int myTarget, bool acceptNak,
                                             TModelContext& ctx)
    : MyCommand(myCommand), iMyMessage(myMessage), MyTarget(myTarget), AcceptNAK(acceptNak), ctx_(ctx) {}

size_t TControllerStringList::LowerBound(int32_t index) const {
  auto it = std::lower_bound(strings_.begin(), strings_.end(), index,
                             [](const auto& s, int32_t i) { return s->iMyIndex < i; });
  return static_cast<size_t>(it - strings_.begin());
}

TControllerString* TControllerStringList::At(int pos) const {
  if (pos < 0 || pos >= Count()) return nullptr;
  return strings_[static_cast<size_t>(pos)].get();
}

TControllerString* TControllerStringList::Find(int32_t index) const {
  size_t pos = LowerBound(index);
  if (pos < strings_.size() && strings_[pos]->iMyIndex == index) return strings_[pos].get();
  return nullptr;
}

TControllerString& TControllerStringList::GetControllerString(int32_t index) {
  std::lock_guard lock(ctx_.Mutex);
  size_t pos = LowerBound(index);
  if (pos < strings_.size() && strings_[pos]->iMyIndex == index) return *strings_[pos];
  auto it = strings_.insert(strings_.begin() + static_cast<ptrdiff_t>(pos),
                            std::make_unique<TControllerString>(index));
  return **it;
}

void TControllerStringList::SetControllerString(int32_t index, const std::string& caption) {
  std::lock_guard lock(ctx_.Mutex);
  TControllerString& s = GetControllerString(index);
  s.sCaption = caption;
  s.wChecksum = s.CalcChecksum();
}

std::string TControllerStringList::GetString(int32_t index) const {
  const TControllerString* s = Find(index);
  return s ? s->sCaption : std::string();
}

void TControllerStringList::RequestAllStrings(int32_t stringCount) {
  std::lock_guard lock(ctx_.Mutex);
  while (!strings_.empty() && strings_.back()->iMyIndex >= stringCount) strings_.pop_back();
  for (int32_t i = 0; i < stringCount; ++i) GetControllerString(i).VerifyAll();
}

int TControllerStringList::Verified() const {
  if (strings_.empty()) return 100;
  int64_t sum = 0;
  for (const auto& s : strings_) sum += AcceptNAK ? s->VerifiedOrNAK() : s->Verified();
  return static_cast<int>(sum / static_cast<int64_t>(strings_.size()));
}

void TControllerStringList::FreeAll() {
  std::lock_guard lock(ctx_.Mutex);
  strings_.clear();
  CurrentListIndex = -1;
}

bool TControllerStringList::MakeTelegram(TTelegram& tele) {
  std::lock_guard lock(ctx_.Mutex);
  if (strings_.empty() || Verified() == 100) return false;
  tele.bTarget = static_cast<uint8_t>(MyTarget);
  const int count = Count();
  for (int n = 0; n < count; ++n) {
    // signed: a stale position beyond a shrunk list must wrap, not run on
    if (CurrentListIndex >= count) CurrentListIndex = -1;
    int pos = ++CurrentListIndex;
    TControllerString* s = At(pos);
    if (!s) continue;
    if (s->iNakCounter >= kBackOffSkip) {
      --s->iNakCounter;
      continue;
    }
    if (s->iAckCounter >= kBackOffSkip) {
      --s->iAckCounter;
      continue;
    }
    TControllerStringState st = s->ControllerStringState;
    int mode;
    if (st & VerifyCaption)
      mode = 0;
    else if (st & VerifyChecksum)
      mode = 1;
    else
      continue;
    tele.bCommand = static_cast<uint8_t>(MyCommand);
    tdata::SetWord(tele, 0, static_cast<uint32_t>(s->iMyIndex));
    tele.baData[2] = static_cast<uint8_t>(mode);
    tele.bLength = 3;
    return true;
  }
  return false;
}

bool TControllerStringList::HandleTelegram(const TTelegram& tele) {
  if (tele.bCommand != MyCommand || tele.bTarget != MyTarget) return false;
  std::lock_guard lock(ctx_.Mutex);
  const int32_t index = tdata::Word(tele, 0);  // 0..65535, never negative
  if (tele.ttType == ttAck) {
    TControllerString& s = GetControllerString(index);
    if (s.iAckCounter < kBackOffLimit) s.iAckCounter += 200;
    return true;
  }
  if (tele.ttType == ttNak) {
    TControllerString& s = GetControllerString(index);
    if (s.iNakCounter < kBackOffLimit) s.iNakCounter += 50;
    return true;
  }
  if (tele.bLength < 4) return true;  // no index and checksum: nothing to confirm
  TControllerString& s = GetControllerString(index);
  s.iNakCounter = 0;
  s.iAckCounter = 0;
  const uint16_t checksum = tdata::Word(tele, 2);
  TControllerStringState st = s.ControllerStringState;
  if (checksum != s.wChecksum) {
    s.fModified = true;
    s.wChecksum = checksum;
    st = VerifyCaption;
  }
  st &= static_cast<TControllerStringState>(~VerifyChecksum);
  if (tele.bLength > 4) {
    std::string text = tdata::Text(tele, 4);
    if (text != s.sCaption) {
      s.fModified = true;
      s.sCaption = std::move(text);
    }
    st &= static_cast<TControllerStringState>(~VerifyCaption);
  }
  s.ControllerStringState = st;
  if (st == 0 && s.fModified && iMyMessage != 0) ctx_.Broadcast(iMyMessage, 1);
  return true;
}

// ---- TStringLists ----

TStringLists::TStringLists(TModelContext& ctx) : DriveModeList(kCmdDriveMode, 0, 0, false, ctx) {
  for (int t = 0; t < kTargetCount; ++t) {
    GroupNameLists[t] = std::make_unique<TControllerStringList>(kCmdGroupName, 0, t, false, ctx);
    GroupDescriptionLists[t] = std::make_unique<TControllerStringList>(kCmdGroupDescription, 0, t, true, ctx);
    GroupParentLists[t] = std::make_unique<TControllerStringList>(kCmdGroupParent, 0, t, true, ctx);
    TypePlateLists[t] =
        std::make_unique<TControllerStringList>(kCmdTypePlate, WM_TYPEPLATE_CHANGED, t, false, ctx);
  }
}

void TStringLists::FreeAll() {
  DriveModeList.FreeAll();
  for (int t = 0; t < kTargetCount; ++t) {
    GroupNameLists[t]->FreeAll();
    GroupDescriptionLists[t]->FreeAll();
    GroupParentLists[t]->FreeAll();
    TypePlateLists[t]->FreeAll();
  }
}

}  // namespace zeb7
