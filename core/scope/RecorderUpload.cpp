#include "scope/RecorderUpload.h"

#include <chrono>
#include <cstdio>

#include "link/Commands.h"
#include "link/TelegramData.h"

namespace zeb7 {

namespace {
constexpr int32_t kStartRetries = 20;
// Slice of one wait; the host returns earlier when its condition holds.
constexpr uint32_t kWaitSliceMs = 50;
}  // namespace

std::string UnsupportedCommandText(int32_t iCommand) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " Nicht unterst\u00fctztes Kommando %d", iCommand);
  return buf;
}

std::string UploadDoneText(int32_t iBytes, uint32_t iElapsedMs) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "Upload fertig: %d Bytes [%u sec]", iBytes, iElapsedMs / 1000);
  return buf;
}

std::string UploadCaption(uint32_t iRecorder) { return "Upload Recorder " + std::to_string(iRecorder); }

TRecorderUpload::TRecorderUpload(TCommInterface& comm, IRecorderUploadHost& host, TRecorderUploadHooks hooks)
    : FComm(&comm), FHost(host), FHooks(std::move(hooks)) {}

TRecorderUpload::~TRecorderUpload() { Release(); }

uint32_t TRecorderUpload::Tick() const {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TRecorderUpload::Prepare() {
  iBytesReceived = 0;
  iTelegramsReceived = 0;
  iPointsReceived = 0;
  boErrors = boCancel = boUploadDone = false;
  boEndConfirmed = boEndAnswered = false;
  iUploadAddress = 0;
  FHost.SetProgress(0, iRecorderSize > 0 ? iRecorderSize : 1);
  FHost.ShowStatus("");
  FHost.ShowError("");
  if (boPrepared || !FComm) return;
  boPrepared = true;
  if (FHooks.StopPolling) FHooks.StopPolling();
  FSavedPriority = FComm->Priority();
  FComm->SetPriority(tpHigher);
  boPriorityRaised = true;
  FComm->SetOnErrorMessage([this](const std::string& s) { FHost.ShowError(s); });
  FComm->AddReceiveFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderTelegram));
  FComm->AddAckFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderAck));
  FComm->AddNakFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderNak));
  FComm->AddMissingAckFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderMissingAck));
}

void TRecorderUpload::Abandon() {
  Release();
  FComm = nullptr;
}

void TRecorderUpload::Release() {
  if (!boPrepared || !FComm) return;
  boPrepared = false;
  RestorePriority();
  FComm->RemoveReceiveFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderTelegram));
  FComm->RemoveAckFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderAck));
  FComm->RemoveNakFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderNak));
  FComm->RemoveMissingAckFunction(TelegramFunction(this, &TRecorderUpload::OnRecorderMissingAck));
  // Hand the sink back rather than clearing it: the status line must keep
  // reporting link errors after the upload.
  FComm->SetOnErrorMessage(FHooks.PreviousErrorSink);
  if (FHooks.RunPolling) FHooks.RunPolling();
}

void TRecorderUpload::RestorePriority() {
  if (!boPriorityRaised || !FComm) return;
  boPriorityRaised = false;
  FComm->SetPriority(FSavedPriority);
}

void TRecorderUpload::Fail(const std::string& s) {
  boErrors = true;
  FHost.ShowError(s);
}

bool TRecorderUpload::OnRecorderTelegram(std::unique_ptr<TTelegram>& t) {
  if (t->bCommand == kCmdUploadEnd && t->pOwner == this) {
    boEndConfirmed = boEndAnswered = true;
    return true;
  }
  if (t->bCommand != kCmdUploadBlock || t->bLength < 4) return false;
  if (tdata::Word(*t, 0) != iUploadRecorder) return false;
  const int32_t iPoint = tdata::SignedWord(*t, 2);
  if (iPoint < 0) return false;
  ++iTelegramsReceived;
  if (iPoint < iRecorderSize && !FReceived[static_cast<size_t>(iPoint)]) {
    FReceived[static_cast<size_t>(iPoint)] = true;
    ++iPointsReceived;
  }
  const int32_t nValues = t->bLength / 2 - 2;
  for (int32_t i = 0; i < nValues; ++i) {
    if (StoreFunction) StoreFunction(iPoint, i, tdata::SignedWord(*t, 4 + 2 * i));
    iBytesReceived += 2;
  }
  return true;
}

bool TRecorderUpload::OnRecorderAck(std::unique_ptr<TTelegram>& t) {
  if (t->pOwner != this) return false;
  if (t->bCommand == kCmdUploadEnd) boEndConfirmed = boEndAnswered = true;
  return true;
}

bool TRecorderUpload::OnRecorderNak(std::unique_ptr<TTelegram>& t) {
  if (t->pOwner != this) return false;
  if (t->bCommand == kCmdUploadEnd) boEndAnswered = true;
  Fail(UnsupportedCommandText(t->bCommand));
  return true;
}

bool TRecorderUpload::OnRecorderMissingAck(std::unique_ptr<TTelegram>& t) {
  if (t->bCommand < kCmdUploadStart || t->bCommand > kCmdUploadEnd) return false;
  if (t->bCommand == kCmdUploadEnd) boEndAnswered = true;
  Fail(recorder_texts::kSendTimeout);
  return true;
}

void TRecorderUpload::RequestPoints() {
  while (!boUploadDone && !Stopped()) {
    if (iTelegramsReceived >= 1 && iTelegramsReceived <= 9) FHost.ShowStatus(recorder_texts::kRunning);
    FHost.SetProgress(iPointsReceived, iRecorderSize);
    auto t = std::make_unique<TTelegram>(this);
    t->bCommand = kCmdUploadBlock;
    t->bTarget = static_cast<uint8_t>(iUploadRecorder);
    t->bLength = 4;
    tdata::SetWord(*t, 0, iUploadRecorder);
    tdata::SetWord(*t, 2, static_cast<uint32_t>(iUploadAddress));
    if (++iUploadAddress >= iRecorderSize) boUploadDone = true;
    auto room = [this] { return Stopped() || (FComm->Opened() && FComm->GetSendQueueSize() <= iMaxQueued); };
    while (!room()) FHost.Wait(room, kWaitSliceMs);
    if (!Stopped()) FComm->PostTelegram(std::move(t));
  }
}

void TRecorderUpload::WaitForPoints() {
  auto done = [this] { return Stopped() || iPointsReceived >= iRecorderSize; };
  int32_t iLastCount = iTelegramsReceived;
  uint32_t iLastProgress = Tick();
  while (!done()) {
    FHost.Wait(done, kWaitSliceMs);
    FHost.SetProgress(iPointsReceived, iRecorderSize);
    if (iTelegramsReceived != iLastCount) {
      iLastCount = iTelegramsReceived;
      iLastProgress = Tick();
      FHost.ShowStatus(recorder_texts::kRunning);
    } else if (iStallTimeoutMs > 0 && Tick() - iLastProgress >= iStallTimeoutMs) {
      Fail(recorder_texts::kSendTimeout);
    }
  }
}

void TRecorderUpload::EndUploadMode() {
  if (!FComm) return;
  if (Stopped()) {
    FComm->FlushSendQueue();
    FHost.ShowStatus(recorder_texts::kCancelling);
  } else {
    FHost.ShowStatus(recorder_texts::kEnding);
  }
  boEndConfirmed = boEndAnswered = false;
  auto t = std::make_unique<TTelegram>(this);
  t->bCommand = kCmdUploadEnd;
  t->bTarget = static_cast<uint8_t>(iUploadRecorder);
  t->bLength = 0;
  t->fCritical = true;
  FComm->PostTelegram(std::move(t));
  RestorePriority();
  // Command 52's own answer ends the wait, not a count of answers: late
  // point answers must not be taken for it.
  if (!FComm->Opened()) return;
  auto done = [this] { return boEndAnswered || !FComm || FHost.Quitting(); };
  const uint32_t start = Tick();
  while (!done() && Tick() - start < iEndTimeoutMs) FHost.Wait(done, kWaitSliceMs);
  if (!boEndAnswered && FComm && !FHost.Quitting()) Fail(recorder_texts::kSendTimeout);
}

bool TRecorderUpload::StartUpload(uint32_t iRecorder, TStoreFunction store, int32_t iSize) {
  if (!FComm || !FComm->Opened()) {
    FHost.ShowError(recorder_texts::kPortNotReady);
    return false;
  }
  boCanClose = false;
  boErrors = boUploadDone = boEndConfirmed = boEndAnswered = false;
  iBytesReceived = iTelegramsReceived = iPointsReceived = 0;
  iUploadAddress = 0;
  iUploadRecorder = iRecorder;
  StoreFunction = std::move(store);
  iRecorderSize = iSize > 0 ? iSize : 0;
  FReceived.assign(static_cast<size_t>(iRecorderSize), false);
  FHost.SetProgress(0, iRecorderSize);
  FHost.SetCaption(UploadCaption(iRecorder));

  auto start = std::make_unique<TTelegram>(this);
  start->bCommand = kCmdUploadStart;
  start->bTarget = 0;
  start->bLength = 2;
  start->iRetry = kStartRetries;
  start->fCritical = true;
  tdata::SetWord(*start, 0, iRecorder);
  FComm->PostTelegram(std::move(start));
  FHost.ShowStatus(recorder_texts::kPreparing);
  iStartTime = Tick();
  if (iRecorderSize == 0) boUploadDone = true;

  RequestPoints();
  WaitForPoints();
  EndUploadMode();

  const bool ok = !Stopped() && boEndConfirmed && iPointsReceived >= iRecorderSize;
  if (ok) {
    FHost.ShowStatus(UploadDoneText(iBytesReceived, Tick() - iStartTime));
  } else {
    FHost.ShowStatus(recorder_texts::kCancelled);
  }
  boCanClose = true;
  if (boErrors && boWaitForCancelAfterError) {
    auto cancelled = [this] { return boCancel || !FComm || FHost.Quitting(); };
    while (!cancelled()) FHost.Wait(cancelled, kWaitSliceMs);
  }
  StoreFunction = nullptr;
  return ok;
}

}  // namespace zeb7
