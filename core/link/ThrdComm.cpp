#include "link/ThrdComm.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <string_view>

#include "link/TextCodec.h"

namespace zeb7 {

namespace {

constexpr uint32_t kAnswerTimeoutMs = 200;
constexpr uint32_t kPauseSleepMs = 50;
constexpr uint32_t kReopenSleepMs = 200;
constexpr uint32_t kTerminateWaitMs = 300;
constexpr uint32_t kSuspendWaitMs = 1000;
constexpr int32_t kWindow = 3;
constexpr int32_t kAgeLimit = 6;
constexpr int32_t kTransmitQueueLimit = 100;

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return std::string(buf, n < 0 ? 0 : std::min<size_t>(n, sizeof buf - 1));
}

int NiceOf(TThreadPriority p) {
  switch (p) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -15;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// TQueueExecutor

struct TQueueExecutor::TTask {
  std::function<void()> Fn;
  bool fStarted = false;
  bool fDone = false;
  std::exception_ptr Exception;
};

TQueueExecutor::TQueueExecutor() : FMainThread(std::this_thread::get_id()) {}

TQueueExecutor::~TQueueExecutor() = default;

bool TQueueExecutor::IsMainThread() const { return FMainThread.load() == std::this_thread::get_id(); }

void TQueueExecutor::SetMainThread() { FMainThread = std::this_thread::get_id(); }

bool TQueueExecutor::RunSync(const std::function<void()>& fn, const std::atomic<bool>& abort) {
  if (IsMainThread()) {
    fn();
    return true;
  }
  auto task = std::make_shared<TTask>();
  task->Fn = fn;
  {
    std::lock_guard lock(FLock);
    if (abort) return false;
    FQueue.push_back(task);
  }
  FMainWake.notify_one();
  if (Notify) Notify();
  std::unique_lock lock(FLock);
  FWorkerWake.wait(lock, [&] { return task->fDone || (abort && !task->fStarted); });
  if (!task->fDone) {
    FQueue.erase(std::remove(FQueue.begin(), FQueue.end(), task), FQueue.end());
    return false;
  }
  lock.unlock();
  if (task->Exception) std::rethrow_exception(task->Exception);
  return true;
}

void TQueueExecutor::ProcessPending() {
  for (;;) {
    std::shared_ptr<TTask> task;
    {
      std::lock_guard lock(FLock);
      if (FQueue.empty()) return;
      task = FQueue.front();
      FQueue.pop_front();
      task->fStarted = true;
    }
    try {
      task->Fn();
    } catch (...) {
      task->Exception = std::current_exception();
    }
    {
      std::lock_guard lock(FLock);
      task->fDone = true;
    }
    FWorkerWake.notify_all();
  }
}

void TQueueExecutor::WakeWaiters() {
  { std::lock_guard lock(FLock); }
  FWorkerWake.notify_all();
}

bool TQueueExecutor::WaitAndProcess(uint32_t ms) {
  bool any = false;
  {
    std::unique_lock lock(FLock);
    any = FMainWake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !FQueue.empty(); });
  }
  if (any) ProcessPending();
  return any;
}

// ---------------------------------------------------------------------------
// Ident order

int CompareIdent(uint8_t a, uint8_t b) { return static_cast<int8_t>(static_cast<uint8_t>(a - b)); }

// ---------------------------------------------------------------------------
// TCommThread

TCommThread::TCommThread(TTelegramQueue& sendQueue, std::atomic<int32_t>& sendQueueSize,
                         TMainThreadExecutor& executor, TLinkClock& clock, std::unique_ptr<TSerialPort> port)
    : FSendQueue(sendQueue),
      piSendQueueSize(sendQueueSize),
      FExecutor(executor),
      FClock(clock),
      FComm(std::make_unique<TComm32>(std::move(port), clock)),
      TelHistoryList([](const TTelegram* a, const TTelegram* b) { return CompareIdent(a->bIdent, b->bIdent); },
                     [](const TTelegram* a, const uint8_t& key) { return CompareIdent(a->bIdent, key); }, false),
      TelRepeatList([](const TTelegram* a, const TTelegram* b) { return CompareIdent(a->bIdent, b->bIdent); },
                    [](const TTelegram* a, const uint8_t& key) { return CompareIdent(a->bIdent, key); }, true) {
  FComm->ComMessageFunction = [this](const std::string& s) { Error(s); };
  FComm->WaitFunction = [this](uint32_t ms) { PortWait(ms); };
}

TCommThread::~TCommThread() {
  Terminate();
  Join();
  FComm->Close();
  FreeHistoryAndRepeats();
  NewSendTele.reset();
}

void TCommThread::Start() {
  if (FThread.joinable()) return;
  FTerminated = false;
  FThread = std::thread([this] { Execute(); });
}

void TCommThread::Terminate() {
  FTerminated = true;
  FExecutor.WakeWaiters();
}

void TCommThread::Join() {
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void TCommThread::RunCycle() {
  if (FThread.joinable()) return;
  Cycle();
}

void TCommThread::Execute() {
  FFinished = false;
  FNativeId = static_cast<int>(::syscall(SYS_gettid));
  SetPriority(FPriority);
  fCheckTimeout = false;
  while (!FTerminated) Cycle();
  FFinished = true;
  FExecutor.WakeWaiters();
}

void TCommThread::SetPriority(TThreadPriority p) {
  FPriority = p;
  // Raising needs privileges; a refusal keeps the current priority.
  if (const int tid = FNativeId) (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceOf(p));
}

// --- waiting ---------------------------------------------------------------

void TCommThread::WorkerSleep(uint32_t ms) {
  // In slices, so that termination is noticed quickly.
  while (ms > 0 && !FTerminated) {
    const uint32_t slice = std::min<uint32_t>(ms, 10);
    FClock.Sleep(slice);
    ms -= slice;
  }
}

void TCommThread::WaitServing(uint32_t ms, const std::function<bool()>& done) {
  const uint32_t start = FClock.Tick();
  for (;;) {
    FExecutor.ProcessPending();
    if (done && done()) return;
    const uint32_t elapsed = FClock.Tick() - start;
    if (elapsed >= ms) return;
    FClock.Sleep(std::min<uint32_t>(2, ms - elapsed));
  }
}

void TCommThread::PortWait(uint32_t ms) {
  if (FExecutor.IsMainThread())
    WaitServing(ms, nullptr);
  else
    WorkerSleep(ms);
}

bool TCommThread::Synchronize(const std::function<void()>& fn) {
  return FExecutor.RunSync(
      [&] {
        struct Depth {
          std::atomic<int>& d;
          explicit Depth(std::atomic<int>& x) : d(x) { ++d; }
          ~Depth() { --d; }
        } depth(FHandOverDepth);
        fn();
      },
      FTerminated);
}

// --- messages --------------------------------------------------------------

void TCommThread::Deliver(const TMessageFunction& sink, const std::string& s) {
  if (!sink) return;
  Synchronize([&] {
    // A failing sink must not take the loop down with it.
    try {
      sink(s);
    } catch (...) {
    }
  });
}

void TCommThread::Error(const std::string& s) {
  if (fInIdle && !FExecutor.IsMainThread()) {
    FDeferredMessages.emplace_back(false, s);
    return;
  }
  TMessageFunction sink;
  {
    std::lock_guard lock(FSlotLock);
    sink = OnErrorMessage;
  }
  Deliver(sink, s);
}

bool TCommThread::DebugEnabled() const {
  std::lock_guard lock(FSlotLock);
  return static_cast<bool>(OnDebugMessage);
}

void TCommThread::Debug(const std::string& s) {
  if (fInIdle && !FExecutor.IsMainThread()) {
    FDeferredMessages.emplace_back(true, s);
    return;
  }
  TMessageFunction sink;
  {
    std::lock_guard lock(FSlotLock);
    sink = OnDebugMessage;
  }
  Deliver(sink, s);
}

void TCommThread::SetOnErrorMessage(TMessageFunction fn) {
  std::lock_guard lock(FSlotLock);
  OnErrorMessage = std::move(fn);
}

void TCommThread::SetOnDebugMessage(TMessageFunction fn) {
  std::lock_guard lock(FSlotLock);
  OnDebugMessage = std::move(fn);
}

uint32_t TCommThread::Tick4() const { return FClock.Tick() % 10000; }

void TCommThread::SetFrameObserver(TFrameObserver fn) {
  std::lock_guard lock(FSlotLock);
  fFrameObserved = static_cast<bool>(fn);
  OnFrame = std::move(fn);
}

void TCommThread::ObserveFrame(bool transmitted, const TTelegram& tele) {
  if (!fFrameObserved) return;
  TFrameObserver fn;
  {
    std::lock_guard lock(FSlotLock);
    fn = OnFrame;
  }
  if (!fn) return;
  std::array<uint8_t, kMaxEncodedTelegram> wire;
  const int32_t n = EncodeTelegram(tele, wire.data(), static_cast<int32_t>(wire.size()));
  try {
    fn(transmitted, tele, wire.data(), n > 0 ? static_cast<size_t>(n) : 0, FClock.Tick());
  } catch (...) {
    // an observer's fault must not stop the link
  }
}

std::string TCommThread::TransmitLine(const TTelegram& t) const {
  const auto& d = t.baData;
  return Format("%4u: TRANSMIT:  Id: %3d; Target: %d; Cmd: %3d; Data: %2X %2X %2X %2X %2X %2X %2X %2X ...", Tick4(),
                t.bIdent, t.bTarget, t.bCommand, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]);
}

// --- slot tables -------------------------------------------------------------

void TCommThread::AddFunction(TSlotKind kind, const TTelegramFunction& fn) {
  if (!fn) return;
  std::lock_guard lock(FSlotLock);
  auto& slots = FSlots[kind];
  for (const auto& s : slots)
    if (s && s.Key == fn.Key) return;
  for (auto& s : slots) {
    if (!s) {
      s = fn;
      return;
    }
  }
  // All slots taken: dropped without notice.
}

void TCommThread::RemoveFunction(TSlotKind kind, const TTelegramFunction& fn) {
  {
    std::lock_guard lock(FSlotLock);
    for (auto& s : FSlots[kind])
      if (s && s.Key == fn.Key) s = {};
  }
  // Wait for a call of this kind running on another thread; the lock is
  // recursive, so a callback removing itself does not wait for itself.
  std::lock_guard call(FCallLocks[kind]);
}

void TCommThread::AddIdleFunction(const TWakeUpFunction& fn) {
  if (!fn) return;
  std::lock_guard lock(FSlotLock);
  auto& slots = FIdleSlots;
  if (slots[0] && slots[0].Key == fn.Key) return;
  for (int32_t i = 1; i < kCallbackSlots; ++i)
    if (slots[i] && slots[i].Key == fn.Key) slots[i] = {};
  int32_t firstEmpty = kCallbackSlots - 1;
  for (int32_t i = 0; i < kCallbackSlots - 1; ++i) {
    if (!slots[i]) {
      firstEmpty = i;
      break;
    }
  }
  // Shifting into slot 10 loses what was there when slots 0..9 were full.
  for (int32_t i = firstEmpty; i > 0; --i) slots[i] = slots[i - 1];
  slots[0] = fn;
}

void TCommThread::RemoveIdleFunction(const TWakeUpFunction& fn) {
  {
    std::lock_guard lock(FSlotLock);
    auto& slots = FIdleSlots;
    for (int32_t i = 0; i < kCallbackSlots;) {
      if (slots[i] && slots[i].Key == fn.Key) {
        for (int32_t j = i; j < kCallbackSlots - 1; ++j) slots[j] = slots[j + 1];
        slots[kCallbackSlots - 1] = {};
      } else {
        ++i;
      }
    }
  }
  // An idle call in flight in the worker finishes before removal returns.
  std::lock_guard call(FIdleCallLock);
}

TTelegramFunction TCommThread::Slot(TSlotKind kind, int32_t index) const {
  std::lock_guard lock(FSlotLock);
  return index >= 0 && index < kCallbackSlots ? FSlots[kind][index] : TTelegramFunction{};
}

TWakeUpFunction TCommThread::IdleSlot(int32_t index) const {
  std::lock_guard lock(FSlotLock);
  return index >= 0 && index < kCallbackSlots ? FIdleSlots[index] : TWakeUpFunction{};
}

bool TCommThread::CallIdle() {
  bool posted = false;
  {
    std::lock_guard call(FIdleCallLock);
    TWakeUpFunction fn;
    {
      std::lock_guard lock(FSlotLock);
      fn = FIdleSlots[0];
    }
    if (!fn) return false;
    const int32_t before = piSendQueueSize;
    struct InIdle {
      bool& f;
      explicit InIdle(bool& x) : f(x) { f = true; }
      ~InIdle() { f = false; }
    } inIdle(fInIdle);
    fn.Fn();
    posted = piSendQueueSize > before;
  }
  // Outside the call lock, so that a removal waiting for the idle call cannot
  // block the main thread that these messages need.
  std::vector<std::pair<bool, std::string>> messages;
  messages.swap(FDeferredMessages);
  for (const auto& [debug, text] : messages) debug ? Debug(text) : Error(text);
  return posted;
}

bool TCommThread::WouldFetch() const {
  return !NewSendTele && TelRepeatList.Count() == 0 && TelHistoryList.Count() < kWindow &&
         !(TelHistoryList.Count() > 0 && TelHistoryList.At(0)->fCritical);
}

void TCommThread::FetchOnMainThread() {
  NewSendTele.reset(FSendQueue.FifoOut2());
  piSendQueueSize = FSendQueue.Count();
}

void TCommThread::Dispatch(TSlotKind kind, const TTelegram& tele, bool prefetch) {
  auto copy = std::make_unique<TTelegram>(tele);
  bool handled = false;
  Synchronize([&] {
    // After the callbacks, which may have posted: the fetch sees the queue
    // exactly as a separate hand-over right after this one would.
    struct Prefetch {
      TCommThread& t;
      bool on;
      ~Prefetch() {
        if (on && !t.NewSendTele && t.FSendQueue.Count() > 0) t.FetchOnMainThread();
      }
    } fetchAfter{*this, prefetch};
    std::lock_guard call(FCallLocks[kind]);
    for (int32_t i = 0; i < kCallbackSlots && !handled; ++i) {
      TTelegramFunction fn;
      {
        std::lock_guard lock(FSlotLock);
        fn = FSlots[kind][i];
      }
      if (!fn) continue;
      if (kind == skReceive) {
        try {
          handled = fn.Fn(copy);
        } catch (const std::exception& e) {
          Error(std::string("Thread: OnReceiveFuncs ") + e.what());
          handled = true;  // the dispatch ends; no fall-through message
        } catch (...) {
          Error("Thread: OnReceiveFuncs unknown exception");
          handled = true;
        }
      } else {
        handled = fn.Fn(copy);
      }
      // A callback that took the copy handled it, whatever it returned.
      if (!copy) handled = true;
    }
  });
  // Whatever the callbacks left is freed with `copy`.
  if (handled) return;
  if (kind == skNak) Error("Negative Response");
  if (kind == skMissingAck) Error("Transmitting Telegram: No Response");
}

// --- the loop ------------------------------------------------------------------

void TCommThread::UpdateCounts() {
  iHistCount = TelHistoryList.Count();
  iRepeatCount = TelRepeatList.Count();
}

void TCommThread::FreeHistoryAndRepeats() {
  TelRepeatList.FreeAll();
  TelHistoryList.FreeAll();
  UpdateCounts();
}

void TCommThread::Cycle() {
  if (ThreadPausingRequest) {
    ThreadIsPausing = true;
    WorkerSleep(kPauseSleepMs);
    return;
  }
  ThreadIsPausing = false;
  try {
    if (fFlushSendQueue.exchange(false)) FreeHistoryAndRepeats();
    if (!FComm->Opened()) {
      WorkerSleep(kReopenSleepMs);
      CallIdle();
      if (!FTerminated) FComm->Open();
      return;
    }
    if (fPauseCommunication) {
      WorkerSleep(kPauseSleepMs);
      return;
    }
    const bool received = ReceiveStep();
    const bool sent = SendStep();
    if (TimeoutExpired()) TimeoutStep();
    if (!received && !sent) FComm->WaitForInput(1);
  } catch (const std::exception& e) {
    Error(std::string("Thread: ") + e.what());
  } catch (...) {
    Error("Thread: unknown exception");
  }
}

bool TCommThread::ReceiveStep() {
  switch (FComm->ReceiveTelegram(RecTele)) {
    case deMissingChars: return false;
    case deChecksum: Error("Received Checksum Error"); return true;
    case deWrongHeader: Error("Received Format Error"); return true;
    case deTooLong: Error("Receive: Telegram too long"); return true;
    case deOK: break;
  }
  const TTelegramType type = RecTele.ttType;
  ObserveFrame(false, RecTele);  // before matching fills in the request's data
  if (type == ttNak) ++iNak;
  const bool matched = MatchAnswer(RecTele);
  if (matched) Dispatch(type == ttNormal ? skReceive : (type == ttAck ? skAck : skNak), RecTele, WouldFetch());
  if (!DebugEnabled()) return true;

  const TTelegram& t = RecTele;
  const auto& d = t.baData;
  const uint32_t tick = Tick4();
  if (type == ttNormal) {
    if (matched) {
      std::string text;
      for (int32_t i = 0; i < t.bLength; ++i) {
        if (d[i] < 0x10)
          text += ' ';
        else  // telegram texts are 8-bit Windows-1252; the program works in UTF-8
          text += Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(&d[i]), 1));
      }
      Debug(Format("%4u: R: Data;  Id: %3d; Target: %d; Cmd: %3d; Data: %2X %2X %2X %2X %2X %2X %2X %2X ...(%s)",
                   tick, t.bIdent, t.bTarget, t.bCommand, d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7],
                   text.c_str()));
    } else {
      Debug(Format("R: Data;  Id: %3d; Target: %d; Cmd: %3d UNKNOWN", t.bIdent, t.bTarget, t.bCommand));
    }
  } else if (type == ttAck) {
    if (matched)
      Debug(Format("%4u: R: Ack;   Id: %3d; Target: %d; Cmd: %3d", tick, t.bIdent, t.bTarget, t.bCommand));
    else
      Debug(Format("%4u: R: Ack;   Id: %3d UNKNOWN", tick, t.bIdent));
  } else {
    if (matched)
      Debug(Format("%4u: R: Nak;   Id: %3d; Target: %d; Cmd: %3d", tick, t.bIdent, t.bTarget, t.bCommand));
    else
      Debug(Format("%4u: R: Nak;   Id: %3d; UNKNOWN", tick, t.bIdent));
  }
  return true;
}

bool TCommThread::MatchAnswer(TTelegram& rec) {
  lTimeoutLimit = FClock.Tick() + kAnswerTimeoutMs;
  fCheckTimeout = true;
  const int32_t idx = TelHistoryList.IndexOf2(rec.bIdent);
  if (idx < 0) {
    ++iBad;
    return false;
  }
  TTelegram* entry = TelHistoryList.At(idx);
  if (rec.ttType == ttAck || rec.ttType == ttNak) {
    const TTelegramType type = rec.ttType;
    rec.Assign(*entry);
    rec.ttType = type;
  } else {
    rec.pOwner = entry->pOwner;
  }
  if (entry->bTarget != rec.bTarget && DebugEnabled()) Debug("Different Target");
  TelHistoryList.AtFree(idx);
  ++iGood;
  // Older telegrams were overtaken by this answer.
  for (int32_t i = idx - 1; i >= 0; --i) {
    TTelegram* older = TelHistoryList.At(i);
    if (++older->iAge >= kAgeLimit) {
      TelHistoryList.AtDelete(i);
      TelRepeatList.Insert(older);
    }
  }
  UpdateCounts();
  return true;
}

bool TCommThread::SendStep() {
  // The window rules first: they need no system call, and while they hold
  // nothing would be sent whatever the transmit queue holds.
  if (TelHistoryList.Count() >= kWindow) return false;
  if (TelHistoryList.Count() > 0 && TelHistoryList.At(0)->fCritical) return false;
  if (FComm->GetOutCount() > kTransmitQueueLimit) {
    // Reported once per episode, not on every cycle while it drains.
    if (!fOverflowReported) Error("Transmit buffer overflow");
    fOverflowReported = true;
    return false;
  }
  fOverflowReported = false;

  std::unique_ptr<TTelegram> tele;
  if (TelRepeatList.Count() > 0) {
    tele.reset(TelRepeatList.At(0));
    TelRepeatList.AtDelete(0);
    UpdateCounts();
    if (--tele->iRetry <= 0) {
      ++iBad;
      Dispatch(skMissingAck, *tele);
      return false;
    }
    if (DebugEnabled()) Debug("Repeat Transmission:");
    ++iRepeated;
  } else {
    if (!NewSendTele && piSendQueueSize > 0) Synchronize([&] { FetchOnMainThread(); });
    if (!NewSendTele) return CallIdle();
    if (NewSendTele->fCritical && TelHistoryList.Count() > 0) return false;
    tele = std::move(NewSendTele);
  }

  ++bId;
  tele->ttType = ttNormal;
  tele->bIdent = bId;
  if (!FComm->SendTelegram(*tele)) {
    Error("Telegram transmittet...ERROR");
    TelRepeatList.Insert(tele.release());
    --bId;
    UpdateCounts();
    return true;
  }
  lTimeoutLimit = FClock.Tick() + kAnswerTimeoutMs;
  fCheckTimeout = true;
  tele->iAge = 0;
  ObserveFrame(true, *tele);
  const std::string line = DebugEnabled() ? TransmitLine(*tele) : std::string();
  TTelegram* raw = tele.release();
  // An ident still unanswered after a full circle cannot happen with the
  // window of three; should it, the telegram is repeated rather than lost.
  if (!TelHistoryList.Insert(raw)) TelRepeatList.Insert(raw);
  UpdateCounts();
  if (!line.empty()) Debug(line);
  return true;
}

bool TCommThread::TimeoutExpired() {
  if (!fCheckTimeout) return false;
  const uint32_t now = FClock.Tick();
  if (!TickAfter(now, lTimeoutLimit)) return false;
  lTimeoutLimit = now + kAnswerTimeoutMs;
  return true;
}

void TCommThread::TimeoutStep() {
  if (TelHistoryList.Count() == 0) return;
  if (FComm->Opened()) {
    FComm->Close();
    FComm->Open();
  }
  while (TelHistoryList.Count() > 0) {
    TTelegram* t = TelHistoryList.At(0);
    TelHistoryList.AtDelete(0);
    TelRepeatList.Insert(t);
  }
  UpdateCounts();
}

// ---------------------------------------------------------------------------
// TCommInterface

TCommInterface::TCommInterface(TMainThreadExecutor& executor, TLinkClock& clock, std::unique_ptr<TSerialPort> port)
    : CommThread(std::make_unique<TCommThread>(SendQueue, iSendQueueSize, executor, clock, std::move(port))) {}

TCommInterface::~TCommInterface() {
  Terminate();
  CommThread.reset();
  SendQueue.FreeAll();
}

void TCommInterface::WaitForTermination(uint32_t ms) {
  if (!CommThread->Started() || CommThread->InsideHandOver()) return;
  CommThread->WaitServing(ms, [this] { return CommThread->Finished(); });
}

void TCommInterface::Terminate() {
  CommThread->Terminate();
  WaitForTermination(kTerminateWaitMs);
}

void TCommInterface::Suspend() {
  CommThread->ThreadPausingRequest = true;
  if (!CommThread->Started() || CommThread->Terminated() || CommThread->InsideHandOver()) return;
  CommThread->WaitServing(kSuspendWaitMs, [this] { return CommThread->ThreadIsPausing.load(); });
}

void TCommInterface::Resume() {
  CommThread->ThreadPausingRequest = false;
  if (!CommThread->Started()) CommThread->Start();
}

bool TCommInterface::OpenCom() { return CommThread->Comm().Open(); }
void TCommInterface::CloseCom() { CommThread->Comm().Close(); }
bool TCommInterface::Opened() const { return CommThread->Comm().Opened(); }
int32_t TCommInterface::ComPort() const { return CommThread->Comm().Port(); }
void TCommInterface::SetComPort(int32_t value) { CommThread->Comm().SetPort(value); }
TPortTable& TCommInterface::PortTable() { return CommThread->Comm().PortTable(); }

void TCommInterface::PostTelegram(std::unique_ptr<TTelegram> tele) { PostTelegram(tele.release()); }

void TCommInterface::PostTelegram(TTelegram* tele) {
  if (!tele) return;
  SendQueue.FifoIn(tele);
  iSendQueueSize = SendQueue.Count();
}

void TCommInterface::PostPriorityTelegram(std::unique_ptr<TTelegram> tele) { PostPriorityTelegram(tele.release()); }

void TCommInterface::PostPriorityTelegram(TTelegram* tele) {
  if (!tele) return;
  SendQueue.LifoIn(tele);
  iSendQueueSize = SendQueue.Count();
}

int32_t TCommInterface::GetSendQueueSize() const { return SendQueue.Count(); }

void TCommInterface::FlushSendQueue() {
  SendQueue.FreeAll();
  iSendQueueSize = 0;
  CommThread->fFlushSendQueue = true;
}

void TCommInterface::PauseCommunication(bool doPause) { CommThread->fPauseCommunication = doPause; }

void TCommInterface::AddReceiveFunction(const TTelegramFunction& fn) { CommThread->AddFunction(TCommThread::skReceive, fn); }
void TCommInterface::RemoveReceiveFunction(const TTelegramFunction& fn) { CommThread->RemoveFunction(TCommThread::skReceive, fn); }
void TCommInterface::AddAckFunction(const TTelegramFunction& fn) { CommThread->AddFunction(TCommThread::skAck, fn); }
void TCommInterface::RemoveAckFunction(const TTelegramFunction& fn) { CommThread->RemoveFunction(TCommThread::skAck, fn); }
void TCommInterface::AddNakFunction(const TTelegramFunction& fn) { CommThread->AddFunction(TCommThread::skNak, fn); }
void TCommInterface::RemoveNakFunction(const TTelegramFunction& fn) { CommThread->RemoveFunction(TCommThread::skNak, fn); }
void TCommInterface::AddMissingAckFunction(const TTelegramFunction& fn) { CommThread->AddFunction(TCommThread::skMissingAck, fn); }
void TCommInterface::RemoveMissingAckFunction(const TTelegramFunction& fn) {
  CommThread->RemoveFunction(TCommThread::skMissingAck, fn);
}
void TCommInterface::AddIdleFunction(const TWakeUpFunction& fn) { CommThread->AddIdleFunction(fn); }
void TCommInterface::RemoveIdleFunction(const TWakeUpFunction& fn) { CommThread->RemoveIdleFunction(fn); }
void TCommInterface::SetOnErrorMessage(TMessageFunction fn) { CommThread->SetOnErrorMessage(std::move(fn)); }
void TCommInterface::SetOnDebugMessage(TMessageFunction fn) { CommThread->SetOnDebugMessage(std::move(fn)); }
void TCommInterface::SetFrameObserver(TCommThread::TFrameObserver fn) {
  CommThread->SetFrameObserver(std::move(fn));
}

}  // namespace zeb7
