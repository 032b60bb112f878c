#include "firmware/FrmDownLogic.h"

#include <chrono>
#include <algorithm>
#include <cmath>
#include <map>
#include <cstdio>

#include "firmware/ChkInput.h"
#include "link/TelegramData.h"

namespace zeb7 {

namespace {

template <class... A>
std::string Format(const char* fmt, A... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

uint32_t SteadyTick() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

constexpr uint32_t kConnectSeconds = 10;
constexpr uint32_t kNormalModeSeconds = 3;

}  // namespace

const char* DownloadStateName(TDownloadState s) {
  static const char* const kNames[] = {"dlsNormalMode",        "dlsStartConnect",   "dlsWaitForConnect",
                                       "dlsConnected",         "dlsStartDisconnect", "dlsWaitForDisconnect",
                                       "dlsDisconnected",      "dlsErasing",        "dlsWaitForErasure",
                                       "dlsErased",            "dlsProgramming",    "dlsWaitForProgramming",
                                       "dlsProgrammed",        "dlsStartNormalMode", "dlsWaitNormalMode",
                                       "dlsError",             "dlsVerifying",      "dlsWaitForVerify"};
  const int i = static_cast<int>(s);
  return i >= 0 && i < static_cast<int>(std::size(kNames)) ? kNames[i] : "?";
}

bool ControlsFor(TDownloadState s, TControlEnable& e) {
  e = {};
  switch (s) {
    case dlsNormalMode:
    case dlsDisconnected:
    case dlsError:
      e.RunAll = e.Connect = e.File = e.Tabs = e.Cancel = true;
      return true;
    case dlsStartConnect:
    case dlsWaitForConnect:
    case dlsStartDisconnect:
    case dlsWaitForDisconnect:
    case dlsWaitNormalMode:
      e.File = e.Cancel = true;
      return true;
    case dlsConnected:
      e.File = e.Cancel = e.Disconnect = e.Program = e.Erase = true;
      return true;
    case dlsErasing:
    case dlsWaitForErasure:
    case dlsProgramming:
    case dlsWaitForProgramming:
    case dlsVerifying:
    case dlsWaitForVerify:
      e.Cancel = true;
      return true;
    case dlsErased:
      e.File = e.Cancel = e.Disconnect = e.Program = true;
      return true;
    case dlsProgrammed:
      e.File = e.Cancel = e.Disconnect = true;
      return true;
    case dlsStartNormalMode:
      return false;
  }
  return false;
}

int FlashTargetIndex(const std::string& name) {
  for (int i = 0; i < kFlashTargetCount; ++i)
    if (name == kFlashTargetNames[i]) return i;
  return -1;
}

TDownloadLogic::TDownloadLogic(TCommInterface& comm, IDownloadView& view, TPostFunction post)
    : FComm(comm), FView(view), FPost(std::move(post)), FTick(SteadyTick), FReader(comm) {
  for (int i = 0; i < kFlashTargetCount; ++i) aFromAddr[i] = aToAddr[i] = "0x000000";
}

TDownloadLogic::~TDownloadLogic() {
  if (FShown) Close();
}

// --- output, always through the main thread ----------------------------------------

void TDownloadLogic::Post(std::function<void()> fn) {
  if (FPost) FPost(std::move(fn));
}
void TDownloadLogic::Log(const std::string& s) {
  Post([this, s] { FView.LogMessage(s); });
}
void TDownloadLogic::SpiLabel(const std::string& s) {
  Post([this, s] { FView.SetSpiLabel(s); });
}
void TDownloadLogic::FlashLabel(const std::string& s) {
  Post([this, s] { FView.SetFlashLabel(s); });
}
void TDownloadLogic::CommStatus(const std::string& s) {
  SpiLabel(s);
  Log(s);
}
void TDownloadLogic::FlashStatus(const std::string& s) {
  FlashLabel(s);
  Log(s);
}
void TDownloadLogic::Progress(int p) {
  Post([this, p] { FView.SetProgress(p); });
}

// --- state ---------------------------------------------------------------------------

bool TDownloadLogic::Transition(TDownloadState from, TDownloadState v) {
  if (from == v) return false;
  TDownloadState target = v;
  const bool runAll = FDoRunAll;
  if (runAll) {
    if (v == dlsConnected) target = dlsErasing;
    if (v == dlsErased) target = dlsProgramming;
    if (v == dlsProgrammed) target = dlsStartDisconnect;
  }
  if (!FState.compare_exchange_strong(from, target)) return false;

  if (v == dlsProgrammed) FProgrammed = true;
  switch (v) {
    case dlsNormalMode: Log("----------------"); break;
    case dlsConnected: CommStatus("connected"); break;
    case dlsDisconnected: CommStatus("disconnected"); break;
    case dlsErased: FlashStatus("erased"); break;
    case dlsProgrammed: FlashStatus("programmed"); break;
    case dlsError: CommStatus("ERROR"); break;
    default: break;
  }
  bool enableByTable = !runAll;
  if (runAll) {
    TControlEnable onlyCancel;
    onlyCancel.Cancel = true;
    Post([this, onlyCancel] { FView.EnableControls(onlyCancel); });
    if (v == dlsDisconnected || v == dlsError) {
      FDoRunAll = false;
      enableByTable = true;  // the chain has ended: the controls of the state apply
    }
  }
  TControlEnable e;
  if (enableByTable && ControlsFor(target, e)) Post([this, e] { FView.EnableControls(e); });
  switch (target) {
    case dlsStartConnect: CommStatus("connecting..."); break;
    case dlsStartDisconnect: CommStatus("disconnecting..."); break;
    case dlsErasing:
      FlashStatus("erasing...");
      FFlashModified = true;
      break;
    case dlsProgramming:
      FlashStatus("programming...");
      FFlashModified = true;
      FVerified = false;
      FProgrammed = false;
      break;
    case dlsVerifying: FlashStatus("verifying..."); break;
    case dlsStartNormalMode: CommStatus("resetting system..."); break;
    default: break;
  }
  return true;
}

void TDownloadLogic::SetState(TDownloadState v) {
  for (;;) {
    const TDownloadState cur = FState.load();
    if (cur == v || Transition(cur, v)) return;
  }
}

// --- lifecycle -----------------------------------------------------------------------

void TDownloadLogic::RegisterCallbacks() {
  FComm.AddReceiveFunction(TelegramFunction(this, &TDownloadLogic::OnFlashTelegram));
  FComm.AddMissingAckFunction(TelegramFunction(this, &TDownloadLogic::OnMissingAck));
  FComm.AddNakFunction(TelegramFunction(this, &TDownloadLogic::OnNak));
  FComm.AddIdleFunction(WakeUpFunction(this, &TDownloadLogic::OnIdle));
}

void TDownloadLogic::RemoveCallbacks() {
  FComm.RemoveIdleFunction(WakeUpFunction(this, &TDownloadLogic::OnIdle));
  FComm.RemoveReceiveFunction(TelegramFunction(this, &TDownloadLogic::OnFlashTelegram));
  FComm.RemoveMissingAckFunction(TelegramFunction(this, &TDownloadLogic::OnMissingAck));
  FComm.RemoveNakFunction(TelegramFunction(this, &TDownloadLogic::OnNak));
}

bool TDownloadLogic::Show(bool parameterDownloadRunning) {
  if (parameterDownloadRunning) {
    Log("A parameter download is running; wait until it has finished.");
    return false;
  }
  FDoRunAll = false;
  FState = dlsStartConnect;  // so that the next line reports and enables as for a fresh start
  SetState(dlsNormalMode);
  FTeleCounter = 0;
  FRefusedCloses = 0;
  Progress(0);
  if (!FShown) FSavedPriority = FComm.Priority();
  FComm.SetPriority(tpHigher);
  RegisterCallbacks();
  FComm.FlushSendQueue();
  FShown = true;
  return true;
}

TDownloadLogic::TCloseAnswer TDownloadLogic::CloseQuery() {
  if (FState == dlsNormalMode) return caClose;
  SetState(dlsStartNormalMode);
  return ++FRefusedCloses >= kRefusalsBeforeAsking ? caAskUser : caRefused;
}

void TDownloadLogic::Close() {
  {
    std::lock_guard lock(FPostLock);
    FDoRunAll = false;
    SetState(dlsNormalMode);
  }
  RemoveCallbacks();
  FReader.Clear();
  FImage.Clear();
  if (FShown) FComm.SetPriority(FSavedPriority);
  FShown = false;
  FRefusedCloses = 0;
  TControlEnable e;
  e.RunAll = e.Connect = e.File = e.Tabs = e.Cancel = true;
  Post([this, e] { FView.EnableControls(e); });
}

// --- image and erase setup -----------------------------------------------------------

bool TDownloadLogic::LoadHexFile() {
  const std::string& name = aFilename[iTab];
  std::vector<std::string> lines;
  const bool ok = FImage.LoadHexFile(name, [&lines](const std::string& s) { lines.push_back(s); });
  for (const auto& s : lines) Log(s);
  if (!ok) return false;
  if (FImage.DataList().empty()) {
    // Nothing to program: the erase range would run from 0x7FFFFFFF down to 0.
    Log("File " + name + " holds no data!");
    return false;
  }
  return true;
}

bool TDownloadLogic::CheckEraseSetup() {
  switch (aErasureMode[iTab]) {
    case 0: {
      if (!LoadHexFile()) return false;
      FLowerErase = static_cast<int32_t>(FImage.uLowerProgAddr());
      FUpperErase = static_cast<int32_t>(FImage.uUpperProgAddr());
      aFromAddr[iTab] = "0x" + AddrToHex(FImage.uLowerProgAddr(), 6);
      aToAddr[iTab] = "0x" + AddrToHex(FImage.uUpperProgAddr(), 6);
      const std::string from = aFromAddr[iTab], to = aToAddr[iTab];
      Post([this, from, to] { FView.ShowEraseRange(from, to); });
      return true;
    }
    case 1: {
      int32_t from = 0, to = 0;
      if (!ParseNumber(aFromAddr[iTab], from) || from < 0 || from > 0xFFFFFF) {
        Log("\"Start Address\": Invalid number");
        return false;
      }
      if (!ParseNumber(aToAddr[iTab], to) || to < 0 || to > 0xFFFFFF || to < from) {
        Log("\"End Address\": Invalid number");
        return false;
      }
      FLowerErase = from;
      FUpperErase = to;
      return true;
    }
    default:
      return true;
  }
}

// --- buttons -------------------------------------------------------------------------

void TDownloadLogic::ConnectClick() {
  FDoRunAll = false;
  SetState(dlsStartConnect);
}

bool TDownloadLogic::EraseClick() {
  if (!CheckEraseSetup()) return false;
  FEraseMode = aErasureMode[iTab];
  SetState(dlsErasing);
  return true;
}

bool TDownloadLogic::ProgramClick() {
  if (!LoadHexFile()) return false;
  SetState(dlsProgramming);
  return true;
}

void TDownloadLogic::DisconnectClick() { SetState(dlsStartDisconnect); }

void TDownloadLogic::CancelClick() {
  std::lock_guard lock(FPostLock);
  const TDownloadState s = FState;
  if (s == dlsNormalMode || s == dlsDisconnected) return;
  FDoRunAll = false;
  SetState(dlsStartDisconnect);
  // Blocks still queued would go on being programmed.
  FlushLocked();
}

bool TDownloadLogic::RunAllClick() {
  if (!CheckEraseSetup() || !LoadHexFile()) return false;
  FEraseMode = aErasureMode[iTab];
  RegisterCallbacks();
  FComm.FlushSendQueue();
  FDoRunAll = true;
  SetState(dlsStartConnect);
  return true;
}

void TDownloadLogic::ExitServiceModeClick() {
  if (FFlashModified) {
    if (OnFlashModifiedExit) OnFlashModifiedExit();
    FFlashModified = false;
  }
  Post([this] { FView.CloseWindow(); });
}

void TDownloadLogic::FlushLocked() {
  FComm.FlushSendQueue();
  FReader.Clear();
}

// --- telegrams -----------------------------------------------------------------------

void TDownloadLogic::PostSimple(uint8_t command, uint8_t target, int retries) {
  auto t = std::make_unique<TTelegram>(this);
  t->bCommand = command;
  t->bTarget = target;
  t->iRetry = retries;
  FComm.PostTelegram(std::move(t));
}

void TDownloadLogic::PostErase() {
  auto t = std::make_unique<TTelegram>(this);
  t->bTarget = static_cast<uint8_t>(FTargetFlash.load());
  t->fCritical = true;
  if (FEraseMode == 2) {
    t->bCommand = kCmdFlashEraseAll;
  } else {
    t->bCommand = kCmdFlashErase;
    t->bLength = 8;
    tdata::SetDWord(*t, 0, static_cast<uint32_t>(FLowerErase));
    tdata::SetDWord(*t, 4, static_cast<uint32_t>(FUpperErase));
  }
  FComm.PostTelegram(std::move(t));
}

void TDownloadLogic::PostProgramBlocks() {
  for (const TDownloadObject& b : FImage.DataList()) {
    // Cancel takes the lock for its flush; a block is never queued behind it.
    if (FState != dlsWaitForProgramming) return;
    auto t = std::make_unique<TTelegram>(this);
    t->bCommand = kCmdFlashProgram;
    t->bTarget = static_cast<uint8_t>(FTargetFlash.load());
    t->bLength = static_cast<uint8_t>(4 + b.bLength);
    tdata::SetDWord(*t, 0, b.uAddress);
    std::copy(b.baData.begin(), b.baData.begin() + b.bLength, t->baData.begin() + 4);
    FComm.PostTelegram(std::move(t));
  }
}

bool TDownloadLogic::OnFlashTelegram(std::unique_ptr<TTelegram>& tele) {
  if (!tele) return false;
  if (FReader.OnTelegram(tele)) return true;
  if (!Mine(*tele)) return false;
  if (tele->bCommand >= kCmdFlashState && tele->bCommand <= kCmdFlashProgram)
    OnFlashAnswer(*tele);
  else if (tele->bCommand >= kCmdServiceConnect && tele->bCommand <= kCmdNormalMode)
    OnServiceAnswer(*tele);
  return true;
}

void TDownloadLogic::OnFlashAnswer(const TTelegram& t) {
  if (t.bLength < kFlashAnswerLength) return;  // no stale bytes of an earlier answer
  FFlashState = t.baData[0];
  FFlashError = static_cast<int8_t>(t.baData[2]);
  const int32_t id = tdata::SignedWord(t, 4);
  switch (t.baData[0]) {
    case kFlashStateError: {
      FlashLabel(Format("FLASH ERROR %d, ID = 0x%X", int(FFlashError.load()), static_cast<unsigned>(id)));
      std::lock_guard lock(FPostLock);
      SetState(dlsError);
      FlushLocked();  // the rest of the image must not be programmed after an error
      break;
    }
    case kFlashStateErasing: FlashLabel("erasing..."); break;
    case kFlashStateErased:
      FlashLabel("erased");
      Transition(dlsWaitForErasure, dlsErased);
      break;
    case kFlashStateProgramming: FlashLabel("programing..."); break;
    case kFlashStateBlockProgrammed: {
      // Only confirmations of program blocks during the wait count; a late one
      // after a Cancel or an error must not complete a programming.
      if (t.bCommand != kCmdFlashProgram || FState != dlsWaitForProgramming) break;
      const int32_t n = ++FTeleCounter;
      const int32_t total = static_cast<int32_t>(FImage.DataList().size());
      if (n == total) {
        if (fVerify) {
          Transition(dlsWaitForProgramming, dlsVerifying);
        } else if (Transition(dlsWaitForProgramming, dlsProgrammed)) {
          Progress(100);
          FlashLabel("PROGRAMMED");
        }
      } else if (n % 20 == 0) {
        FlashLabel("programming...");
        Progress(total > 0 ? static_cast<int>(std::lround(100.0 * n / total)) : 0);
      }
      break;
    }
    default: break;
  }
}

void TDownloadLogic::OnServiceAnswer(const TTelegram& t) {
  if (t.bLength < 1) return;
  FServiceState = t.baData[0];
  switch (t.baData[0] & 0x7F) {
    case kServiceNormalMode:
      SpiLabel("Normal Mode");
      if (Transition(dlsWaitNormalMode, dlsNormalMode)) Post([this] { FView.CloseWindow(); });
      break;
    case kServiceDisconnected:
      SpiLabel("disconnected");
      if (!Transition(dlsNormalMode, dlsDisconnected)) Transition(dlsWaitForDisconnect, dlsDisconnected);
      break;
    case kServiceConnecting: SpiLabel("connecting..."); break;
    case kServiceConnected:
      SpiLabel("CONNECTED");
      Transition(dlsWaitForConnect, dlsConnected);
      break;
    case kServiceSpiError: SpiLabel("SPI COMM. ERROR"); break;
    default: break;
  }
}

bool TDownloadLogic::OnMissingAck(std::unique_ptr<TTelegram>& tele) {
  if (!tele) return false;
  if (FReader.OnMissingAck(tele)) return true;
  if (!Mine(*tele)) return false;
  ++FLost;
  {
    std::lock_guard lock(FPostLock);
    FComm.FlushSendQueue();
  }
  Log(Format("No Response (cmd = %d)!", int(tele->bCommand)));
  return true;
}

bool TDownloadLogic::OnNak(std::unique_ptr<TTelegram>& tele) {
  if (!tele) return false;
  return FReader.OnNak(tele);
}

// --- the idle function (worker thread) ----------------------------------------------

void TDownloadLogic::IdleWait(TDownloadState s, uint32_t seconds) {
  if ((FTick() - FStartTick) * 0.001 > seconds) {
    if (s == dlsWaitNormalMode) {
      // The close is attempted again: normal mode is asked for once more.
      Transition(s, dlsStartNormalMode);
      return;
    }
    if (Transition(s, dlsError)) {
      FlushLocked();
      Log("Timeout!");
    }
    return;
  }
  PostSimple(kCmdServiceState, 0, 10);
}

bool TDownloadLogic::CompareReadBack(std::string& why) const {
  const std::vector<TPacket> blocks = FReader.Blocks();
  std::map<uint32_t, const TPacket*> byAddress;
  for (const auto& p : blocks) byAddress[static_cast<uint32_t>(p.iAddr)] = &p;
  for (const TDownloadObject& b : FImage.DataList()) {
    auto it = byAddress.find(b.uAddress);
    if (it == byAddress.end() || !it->second->Initialized) {
      why = Format("Verify: block 0x%X was not read back", b.uAddress);
      return false;
    }
    for (int i = 0; i < b.bLength; ++i) {
      if (it->second->baData[i] != b.baData[i]) {
        why = Format("Verify error at 0x%X: 0x%02X <> 0x%02X", b.uAddress + i, it->second->baData[i], b.baData[i]);
        return false;
      }
    }
  }
  return true;
}

void TDownloadLogic::IdleVerify(TDownloadState s) {
  if (s == dlsVerifying) {
    if (!Transition(s, dlsWaitForVerify)) return;
    std::vector<uint32_t> addresses;
    addresses.reserve(FImage.DataList().size());
    for (const auto& b : FImage.DataList()) addresses.push_back(b.uAddress);
    FReader.Start(FTargetFlash, addresses);
    return;
  }
  bool repeated = false;
  const auto step = FReader.Step(repeated);
  if (step == TFlashBlockReader::rsWaiting) {
    if (repeated) Log("Repeat...");
    return;
  }
  if (step == TFlashBlockReader::rsIdle) return;
  FReader.PostEnd();
  std::string why;
  const bool ok = step == TFlashBlockReader::rsComplete && CompareReadBack(why);
  if (step == TFlashBlockReader::rsRefused) why = Format("Verify: the drive refused to read 0x%X", FReader.RefusedAddress());
  FReader.Clear();
  if (ok) {
    FVerified = true;
    Log(Format("verified %llu bytes", static_cast<unsigned long long>(FImage.ByteCount())));
    if (Transition(s, dlsProgrammed)) {
      Progress(100);
      FlashLabel("PROGRAMMED");
    }
  } else if (Transition(s, dlsError)) {
    FlashStatus(why);
  }
}

void TDownloadLogic::OnIdle() {
  try {
    // Posting with the port closed would queue a request every 200 ms; posting
    // while ours are still queued would pile them up.
    if (!FComm.Opened() || FComm.GetSendQueueSize() > 0) return;
    std::lock_guard lock(FPostLock);
    const TDownloadState s = FState;
    const uint8_t tab = static_cast<uint8_t>(kFlashTargets[static_cast<size_t>(iTab) % kFlashTargetCount]);
    switch (s) {
      case dlsStartConnect:
      case dlsStartDisconnect:
      case dlsStartNormalMode: {
        const TDownloadState next = s == dlsStartConnect      ? dlsWaitForConnect
                                    : s == dlsStartDisconnect ? dlsWaitForDisconnect
                                                              : dlsWaitNormalMode;
        FStartTick = FTick();
        if (!Transition(s, next)) return;
        FTargetFlash = tab;
        FTeleCounter = 0;
        Progress(0);
        if (s == dlsStartConnect) {
          auto t = std::make_unique<TTelegram>(this);
          t->bCommand = kCmdServiceConnect;
          t->bLength = 1;
          t->baData[0] = tab;
          FComm.PostTelegram(std::move(t));
        } else {
          PostSimple(s == dlsStartDisconnect ? kCmdServiceDisconnect : kCmdNormalMode, 0);
        }
        break;
      }
      case dlsWaitForConnect:
      case dlsWaitForDisconnect: IdleWait(s, kConnectSeconds); break;
      case dlsWaitNormalMode: IdleWait(s, kNormalModeSeconds); break;
      case dlsErasing:
        if (!Transition(s, dlsWaitForErasure)) return;
        PostSimple(kCmdFlashState, static_cast<uint8_t>(FTargetFlash.load()), 10);
        PostErase();
        break;
      case dlsProgramming:
        FStartTick = FTick();
        FTeleCounter = 0;
        if (!Transition(s, dlsWaitForProgramming)) return;
        PostSimple(kCmdFlashState, static_cast<uint8_t>(FTargetFlash.load()), 10);
        PostProgramBlocks();
        break;
      case dlsVerifying:
      case dlsWaitForVerify: IdleVerify(s); break;
      case dlsWaitForErasure:
      case dlsErased:
      case dlsWaitForProgramming:
      case dlsProgrammed:
        PostSimple(kCmdFlashState, static_cast<uint8_t>(FTargetFlash.load()), 10);
        PostSimple(kCmdServiceState, 0, 10);
        break;
      case dlsNormalMode:
      case dlsConnected:
      case dlsDisconnected:
      case dlsError: PostSimple(kCmdServiceState, 0, 10); break;
    }
  } catch (...) {
    // A failed post is not worth ending the worker's cycle for.
  }
}

}  // namespace zeb7
