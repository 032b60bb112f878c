#include "firmware/FrmUploadLogic.h"

#include <cstdio>
#include <cstring>

#include "firmware/ChkInput.h"
#include "link/TelegramData.h"

namespace zeb7 {

namespace {

std::unique_ptr<TTelegram> UploadTelegram(const void* owner, uint8_t command, int retries, bool critical) {
  auto t = std::make_unique<TTelegram>(owner);
  t->bCommand = command;
  t->bTarget = 0;
  t->iRetry = retries;
  t->fCritical = critical;
  return t;
}

std::string Hex(const char* fmt, uint32_t v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

}  // namespace

// --- TFlashBlockReader -------------------------------------------------------------

bool TFlashBlockReader::LinkQuiet(TCommInterface& comm) {
  return comm.GetSendQueueSize() == 0 && comm.HistCount() == 0 && comm.RepeatCount() == 0;
}

void TFlashBlockReader::PostRead(uint32_t address) {
  auto t = UploadTelegram(this, kCmdUploadBlock, 3, false);
  t->bLength = 4;
  tdata::SetDWord(*t, 0, address);
  FComm.PostTelegram(std::move(t));
}

void TFlashBlockReader::Start(uint16_t flashTarget, const std::vector<uint32_t>& addresses) {
  {
    std::lock_guard lock(FLock);
    FBlocks.clear();
    for (uint32_t a : addresses) {
      TPacket p;
      p.iAddr = static_cast<int32_t>(a);
      FBlocks.emplace(a, p);
    }
    iExpectedPackets = static_cast<int32_t>(FBlocks.size());
    iReceivedPackets = 0;
    FRefused = false;
    FActive = true;
  }
  auto start = UploadTelegram(this, kCmdUploadStart, 10, true);
  start->bLength = 2;
  tdata::SetWord(*start, 0, flashTarget);
  FComm.PostTelegram(std::move(start));
  std::vector<uint32_t> order;
  {
    std::lock_guard lock(FLock);
    for (const auto& [a, p] : FBlocks) order.push_back(a);
  }
  for (uint32_t a : order) PostRead(a);
}

void TFlashBlockReader::Clear() {
  std::lock_guard lock(FLock);
  FBlocks.clear();
  FActive = false;
  iExpectedPackets = 0;
  iReceivedPackets = 0;
}

void TFlashBlockReader::PostEnd() {
  auto end = UploadTelegram(this, kCmdUploadEnd, 10, true);
  FComm.PostTelegram(std::move(end));
}

bool TFlashBlockReader::OnTelegram(std::unique_ptr<TTelegram>& tele) {
  if (!tele || !Mine(*tele)) return false;
  // A short answer would leave old bytes in the block: ignore it, it is read again.
  if (tele->bLength < kFlashBlockAnswerLength) return true;
  const uint32_t address = tdata::DWord(*tele, 0);
  std::lock_guard lock(FLock);
  auto it = FBlocks.find(address);
  if (it == FBlocks.end()) return true;
  if (!it->second.Initialized) ++iReceivedPackets;
  it->second.Initialized = true;
  std::memcpy(it->second.baData.data(), tele->baData.data() + 4, kFlashBlockBytes);
  return true;
}

bool TFlashBlockReader::OnNak(std::unique_ptr<TTelegram>& tele) {
  if (!tele || tele->pOwner != this) return false;
  if (tele->bCommand == kCmdUploadBlock || tele->bCommand == kCmdUploadStart) {
    // The drive does not have this range (or no upload source): asking again is futile.
    uRefusedAddress = tele->bCommand == kCmdUploadBlock ? tdata::DWord(*tele, 0) : 0;
    FRefused = true;
  }
  return true;
}

bool TFlashBlockReader::OnMissingAck(std::unique_ptr<TTelegram>& tele) {
  // A lost block request is asked again by Step; lost start or end commands fail
  // the blocks' requests, which then show as missing.
  return tele && tele->pOwner == this;
}

TFlashBlockReader::TStep TFlashBlockReader::Step(bool& repeated) {
  repeated = false;
  if (!FActive) return rsIdle;
  if (FRefused) return rsRefused;
  if (iReceivedPackets >= iExpectedPackets) return rsComplete;
  if (!LinkQuiet(FComm)) return rsWaiting;
  std::vector<uint32_t> missing;
  {
    std::lock_guard lock(FLock);
    for (const auto& [a, p] : FBlocks)
      if (!p.Initialized) missing.push_back(a);
  }
  for (uint32_t a : missing) PostRead(a);
  repeated = !missing.empty();
  return rsWaiting;
}

std::vector<TPacket> TFlashBlockReader::Blocks() const {
  std::lock_guard lock(FLock);
  std::vector<TPacket> out;
  out.reserve(FBlocks.size());
  for (const auto& [a, p] : FBlocks) out.push_back(p);
  return out;
}

// --- TUploadLogic ------------------------------------------------------------------

TUploadLogic::TUploadLogic(TCommInterface& comm, IUploadView& view, TPostFunction post)
    : FComm(comm), FView(view), FPost(std::move(post)), FReader(comm) {}

TUploadLogic::~TUploadLogic() { Unregister(); }

void TUploadLogic::Post(std::function<void()> fn) {
  if (FPost) FPost(std::move(fn));
}

std::vector<uint32_t> TUploadLogic::BlockAddresses(uint32_t start, uint32_t sizeKB) {
  std::vector<uint32_t> out;
  const uint64_t end = static_cast<uint64_t>(start) + static_cast<uint64_t>(sizeKB) * 1024;
  uint64_t a = start & ~0xFull;
  do {
    out.push_back(static_cast<uint32_t>(a));
    a += kFlashBlockBytes;
  } while (a < end);
  return out;
}

void TUploadLogic::Register() {
  FComm.AddReceiveFunction(TelegramFunction(this, &TUploadLogic::OnUploadTelegram));
  FComm.AddNakFunction(TelegramFunction(this, &TUploadLogic::OnUploadNak));
  FComm.AddMissingAckFunction(TelegramFunction(this, &TUploadLogic::OnUploadMissingAck));
}

void TUploadLogic::Unregister() {
  FComm.RemoveIdleFunction(WakeUpFunction(this, &TUploadLogic::OnUploadIdle));
  FComm.RemoveReceiveFunction(TelegramFunction(this, &TUploadLogic::OnUploadTelegram));
  FComm.RemoveNakFunction(TelegramFunction(this, &TUploadLogic::OnUploadNak));
  FComm.RemoveMissingAckFunction(TelegramFunction(this, &TUploadLogic::OnUploadMissingAck));
}

bool TUploadLogic::Start(uint16_t flashTarget, const std::string& startText, const std::string& sizeText,
                         const std::string& fileName) {
  if (FRunning) return false;
  int32_t start = 0, size = 0;
  if (!ParseNumber(startText, start) || start < 0 || start > 0x1000000) {
    FView.MarkStartAddrInvalid(true);
    return false;
  }
  if (!ParseNumber(sizeText, size) || size < 0 || size > 16384) {
    FView.MarkSizeInvalid(true);
    return false;
  }
  FFileName = fileName;
  FView.SetProgress(0);
  FView.LogMessage("--------------------");
  FView.LogMessage("Start upload...");
  FView.MarkStartAddrInvalid(false);
  FView.MarkSizeInvalid(false);
  FResult = urRunning;
  FRunning = true;
  Register();
  FReader.Start(flashTarget, BlockAddresses(static_cast<uint32_t>(start), static_cast<uint32_t>(size)));
  // The idle function only once every request is queued: it would ask for them again.
  FComm.AddIdleFunction(WakeUpFunction(this, &TUploadLogic::OnUploadIdle));
  FView.EnableButtons(false);
  return true;
}

void TUploadLogic::Cancel() {
  {
    std::lock_guard lock(FIdleLock);
    FRunning = false;
    FComm.FlushSendQueue();
  }
  Unregister();
  FReader.Clear();
  if (FResult == urRunning) FResult = urNone;
  FView.SetProgress(0);
  FView.EnableButtons(true);
  FView.LogMessage("Canceled");
}

bool TUploadLogic::OnUploadTelegram(std::unique_ptr<TTelegram>& t) {
  if (!FReader.OnTelegram(t)) return false;
  const int32_t expected = FReader.Expected();
  if (expected > 0) FView.SetProgress(static_cast<int>(int64_t(FReader.Received()) * 100 / expected));
  return true;
}

bool TUploadLogic::OnUploadNak(std::unique_ptr<TTelegram>& t) { return FReader.OnNak(t); }
bool TUploadLogic::OnUploadMissingAck(std::unique_ptr<TTelegram>& t) { return FReader.OnMissingAck(t); }

void TUploadLogic::Finish(TResult r) {
  FResult = r;
  FRunning = false;
}

// Worker thread: decides, posts telegrams, and hands everything the window sees
// or the file system gets to the main thread.
void TUploadLogic::OnUploadIdle() {
  std::lock_guard lock(FIdleLock);
  if (!FRunning || !FComm.Opened() || FComm.GetSendQueueSize() > 0) return;
  bool repeated = false;
  const TFlashBlockReader::TStep step = FReader.Step(repeated);
  if (step == TFlashBlockReader::rsWaiting) {
    if (repeated) Post([this] { FView.LogMessage("Repeat..."); });
    return;
  }
  if (step != TFlashBlockReader::rsComplete && step != TFlashBlockReader::rsRefused) return;
  FReader.PostEnd();
  FRunning = false;
  if (step == TFlashBlockReader::rsRefused) {
    const uint32_t at = FReader.RefusedAddress();
    Post([this, at] {
      FView.LogMessage(Hex("The drive refused to read 0x%X", at));
      FReader.Clear();
      Unregister();
      FView.EnableButtons(true);
      FResult = urFailed;
    });
    return;
  }
  auto blocks = std::make_shared<std::vector<TPacket>>(FReader.Blocks());
  Post([this, blocks] {
    FView.LogMessage("Write hex file");
    const bool ok = WriteIntelHexFile(FFileName, *blocks, [this](const std::string& s) { FView.LogMessage(s); });
    FReader.Clear();
    if (ok) FView.LogMessage("Done!");
    Unregister();
    FView.EnableButtons(true);
    FResult = ok ? urWritten : urFailed;
  });
}

}  // namespace zeb7
