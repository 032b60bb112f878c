#pragma once
// The communication worker (TCommThread) and the facade the rest of the
// system uses (TCommInterface).
//
// Threads: the worker owns the port. Every callback dispatch, every fetch
// from the send queue and every message reaches the main thread through a
// synchronous hand-over (TMainThreadExecutor) while the worker waits. Idle
// functions are the exception: they run in the worker and must only read
// state and post telegrams.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>
#include <utility>
#include <vector>

#include "containers/FifoThreadList.h"
#include "containers/Sortlist.h"
#include "link/C167Comm.h"

namespace zeb7 {

// ---------------------------------------------------------------------------
// Hand-over to the main thread

class TMainThreadExecutor {
 public:
  virtual ~TMainThreadExecutor() = default;
  virtual bool IsMainThread() const = 0;
  // Runs `fn` on the main thread and waits for it; runs it directly when the
  // caller is the main thread. Returns false without running it when `abort`
  // becomes true before the main thread has picked it up. An exception thrown
  // by `fn` is rethrown in the caller.
  virtual bool RunSync(const std::function<void()>& fn, const std::atomic<bool>& abort) = 0;
  // Main thread: runs every hand-over that is waiting.
  virtual void ProcessPending() = 0;
  // Wakes waiting RunSync calls so that they re-check their abort flag.
  virtual void WakeWaiters() = 0;
};

// A queue that the main thread drains while the worker waits. The CLI and the
// tests drain it in their loops (WaitAndProcess); the GUI sets Notify to post
// a ProcessPending call into its event loop.
class TQueueExecutor : public TMainThreadExecutor {
 public:
  // The constructing thread is the main thread.
  TQueueExecutor();
  ~TQueueExecutor() override;

  bool IsMainThread() const override;
  bool RunSync(const std::function<void()>& fn, const std::atomic<bool>& abort) override;
  void ProcessPending() override;
  void WakeWaiters() override;

  // Main thread: waits at most `ms` for a hand-over and runs what is waiting.
  // Returns whether anything ran.
  bool WaitAndProcess(uint32_t ms);
  // Makes the calling thread the main thread.
  void SetMainThread();
  // Called (in the worker) whenever a hand-over is queued. Set it before the
  // worker starts.
  std::function<void()> Notify;

 private:
  struct TTask;
  std::atomic<std::thread::id> FMainThread;
  mutable std::mutex FLock;
  std::condition_variable FMainWake;
  std::condition_variable FWorkerWake;
  std::deque<std::shared_ptr<TTask>> FQueue;
};

// ---------------------------------------------------------------------------
// Callbacks

// Identity of a callback: the function alone, not the object it is bound to.
class TFunctionKey {
 public:
  TFunctionKey() = default;
  // A member function (any object of the class shares the identity).
  template <class M>
  static TFunctionKey OfMember(M method) {
    static_assert(sizeof(M) <= sizeof(TFunctionKey::aBytes));
    TFunctionKey k;
    std::memcpy(k.aBytes.data(), &method, sizeof(M));
    k.pType = &typeid(M);
    return k;
  }
  // Any address chosen by the caller (free functions, lambdas).
  static TFunctionKey OfAddress(const void* p) {
    TFunctionKey k;
    std::memcpy(k.aBytes.data(), &p, sizeof p);
    k.pType = &typeid(const void*);
    return k;
  }
  bool operator==(const TFunctionKey& o) const {
    return pType == o.pType && (pType == nullptr || *pType == *o.pType) && aBytes == o.aBytes;
  }
  bool Empty() const { return pType == nullptr; }

 private:
  std::array<unsigned char, 2 * sizeof(void*)> aBytes{};
  const std::type_info* pType = nullptr;
};

template <class Sig>
struct TCallback {
  TFunctionKey Key;
  std::function<Sig> Fn;
  explicit operator bool() const { return static_cast<bool>(Fn) && !Key.Empty(); }
};

// A receive, acknowledge, negative-acknowledge or missing-acknowledge
// callback. Returning true handles the telegram and ends the dispatch; the
// callback may move the copy out of the pointer to keep it. Whatever is left
// in the pointer is freed by the link, also when the callback throws.
using TTelegramFunction = TCallback<bool(std::unique_ptr<TTelegram>& tele)>;
// An idle function; runs in the worker thread.
using TWakeUpFunction = TCallback<void()>;
using TMessageFunction = std::function<void(const std::string& s)>;

template <class C>
TTelegramFunction TelegramFunction(C* obj, bool (C::*method)(std::unique_ptr<TTelegram>&)) {
  return {TFunctionKey::OfMember(method), [obj, method](std::unique_ptr<TTelegram>& t) { return (obj->*method)(t); }};
}
template <class C>
TWakeUpFunction WakeUpFunction(C* obj, void (C::*method)()) {
  return {TFunctionKey::OfMember(method), [obj, method] { (obj->*method)(); }};
}
inline TTelegramFunction TelegramFunction(const void* key, std::function<bool(std::unique_ptr<TTelegram>&)> fn) {
  return {TFunctionKey::OfAddress(key), std::move(fn)};
}
inline TWakeUpFunction WakeUpFunction(const void* key, std::function<void()> fn) {
  return {TFunctionKey::OfAddress(key), std::move(fn)};
}

constexpr int32_t kCallbackSlots = 11;

// ---------------------------------------------------------------------------
// The worker

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

using TTelegramQueue = TThreadFifo<TTelegram>;

class TCommThread {
 public:
  enum TSlotKind { skReceive, skAck, skNak, skMissingAck, skCount };

  TCommThread(TTelegramQueue& sendQueue, std::atomic<int32_t>& sendQueueSize, TMainThreadExecutor& executor,
              TLinkClock& clock = SteadyClock(), std::unique_ptr<TSerialPort> port = nullptr);
  // Terminates and joins the worker, closes the port, frees what it owns.
  ~TCommThread();
  TCommThread(const TCommThread&) = delete;
  TCommThread& operator=(const TCommThread&) = delete;

  // Starts the worker thread (once).
  void Start();
  bool Started() const { return FThread.joinable(); }
  // Asks the loop to end and aborts hand-overs that the main thread has not
  // picked up yet.
  void Terminate();
  bool Terminated() const { return FTerminated; }
  // Joins the worker if it runs.
  void Join();
  // Set when the loop has ended; reset when it starts.
  bool Finished() const { return FFinished; }

  // One cycle of the loop on the calling thread, for tests that drive the
  // link without a worker thread. Only while the worker was never started.
  void RunCycle();

  // Slot tables, guarded. Removal returns only once a call of that kind
  // running on another thread has finished; a callback may remove itself.
  void AddFunction(TSlotKind kind, const TTelegramFunction& fn);
  void RemoveFunction(TSlotKind kind, const TTelegramFunction& fn);
  void AddIdleFunction(const TWakeUpFunction& fn);
  void RemoveIdleFunction(const TWakeUpFunction& fn);
  TTelegramFunction Slot(TSlotKind kind, int32_t index) const;
  TWakeUpFunction IdleSlot(int32_t index) const;
  void SetOnErrorMessage(TMessageFunction fn);
  void SetOnDebugMessage(TMessageFunction fn);
  // Observer of every frame the worker writes or decodes, called in the
  // worker: direction, the telegram, its frame bytes (as encoded; for a
  // received frame the decoded telegram encoded again) and the link tick.
  // It must only copy what it needs and return.
  using TFrameObserver =
      std::function<void(bool transmitted, const TTelegram& tele, const uint8_t* wire, size_t length, uint32_t tick)>;
  void SetFrameObserver(TFrameObserver fn);

  void SetPriority(TThreadPriority p);
  TThreadPriority Priority() const { return FPriority; }

  TComm32& Comm() { return *FComm; }
  TMainThreadExecutor& Executor() { return FExecutor; }
  TLinkClock& Clock() { return FClock; }

  // Main thread: waits up to `ms` for `done`, serving hand-overs meanwhile.
  void WaitServing(uint32_t ms, const std::function<bool()>& done);
  // True while the calling main thread runs one of this worker's hand-overs:
  // the worker is blocked on it then, so waiting for the worker is futile.
  bool InsideHandOver() const { return FHandOverDepth > 0 && FExecutor.IsMainThread(); }

  // Requests and counters: written by one thread, read by the other.
  std::atomic<bool> fFlushSendQueue{false};
  std::atomic<bool> fPauseCommunication{false};
  std::atomic<bool> ThreadPausingRequest{false};
  std::atomic<bool> ThreadIsPausing{false};
  std::atomic<int32_t> iHistCount{0};
  std::atomic<int32_t> iRepeatCount{0};
  std::atomic<int32_t> iGood{0};
  std::atomic<int32_t> iRepeated{0};
  std::atomic<int32_t> iBad{0};
  std::atomic<int32_t> iNak{0};

  // Worker state, exposed read-only for tests.
  uint8_t LastIdent() const { return bId; }
  bool HasPendingTelegram() const { return static_cast<bool>(NewSendTele); }
  const TTelegram* HistoryAt(int32_t i) const { return TelHistoryList.At(i); }
  const TTelegram* RepeatAt(int32_t i) const { return TelRepeatList.At(i); }

 private:
  void Execute();
  void Cycle();
  bool ReceiveStep();
  bool SendStep();
  bool TimeoutExpired();
  void TimeoutStep();
  bool MatchAnswer(TTelegram& rec);
  // Runs the callbacks of `kind` on a copy of `tele` in the main thread.
  // With `prefetch`, the same hand-over then fetches the next queued
  // telegram, which the send step would otherwise fetch in a second one.
  void Dispatch(TSlotKind kind, const TTelegram& tele, bool prefetch = false);
  bool WouldFetch() const;
  void FetchOnMainThread();
  // Returns whether the idle function queued a telegram.
  bool CallIdle();
  void FreeHistoryAndRepeats();
  void UpdateCounts();
  void Error(const std::string& s);
  void Debug(const std::string& s);
  bool DebugEnabled() const;
  void Deliver(const TMessageFunction& sink, const std::string& s);
  bool Synchronize(const std::function<void()>& fn);
  void WorkerSleep(uint32_t ms);
  void PortWait(uint32_t ms);
  std::string TransmitLine(const TTelegram& t) const;
  uint32_t Tick4() const;

  TTelegramQueue& FSendQueue;
  std::atomic<int32_t>& piSendQueueSize;
  TMainThreadExecutor& FExecutor;
  TLinkClock& FClock;
  std::unique_ptr<TComm32> FComm;

  std::thread FThread;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  std::atomic<int> FNativeId{0};

  uint32_t lTimeoutLimit = 0;
  bool fCheckTimeout = false;
  bool fOverflowReported = false;
  // Messages raised inside an idle function wait until it has returned:
  // idle functions never hand over synchronously.
  bool fInIdle = false;
  std::vector<std::pair<bool, std::string>> FDeferredMessages;  // (debug?, text)
  std::atomic<int> FHandOverDepth{0};

  mutable std::mutex FSlotLock;  // slot tables and sinks
  std::array<std::array<TTelegramFunction, kCallbackSlots>, skCount> FSlots;
  std::array<TWakeUpFunction, kCallbackSlots> FIdleSlots;
  TMessageFunction OnErrorMessage;
  TMessageFunction OnDebugMessage;
  TFrameObserver OnFrame;
  std::atomic<bool> fFrameObserved{false};
  void ObserveFrame(bool transmitted, const TTelegram& tele);
  // Held while a callback of that kind runs; removal waits on it from other
  // threads, so a removed callback is never running once removal returns.
  std::array<std::recursive_mutex, skCount> FCallLocks;
  std::recursive_mutex FIdleCallLock;

  TSortedList<TTelegram, uint8_t> TelHistoryList;
  TSortedList<TTelegram, uint8_t> TelRepeatList;
  uint8_t bId = 1;
  std::unique_ptr<TTelegram> NewSendTele;
  TTelegram RecTele;
};

// Ident order on a circle of 256: (a - b) as a signed byte. Not a strict weak
// ordering, so it is only used with TSortedList's own search.
int CompareIdent(uint8_t a, uint8_t b);

// ---------------------------------------------------------------------------
// The facade

class TCommInterface {
 public:
  // The executor and the clock must outlive the interface. Without a port
  // the POSIX serial port is used.
  explicit TCommInterface(TMainThreadExecutor& executor, TLinkClock& clock = SteadyClock(),
                          std::unique_ptr<TSerialPort> port = nullptr);
  // Terminates the worker (bounded wait serving hand-overs), joins it, frees
  // every queued telegram.
  ~TCommInterface();
  TCommInterface(const TCommInterface&) = delete;
  TCommInterface& operator=(const TCommInterface&) = delete;

  // Lifecycle
  void Terminate();
  // Asks the worker to pause and waits (bounded, serving hand-overs) until it
  // does, so that the port can be changed safely.
  void Suspend();
  // Clears the pause request; starts the worker the first time.
  void Resume();

  // Port
  bool OpenCom();
  void CloseCom();
  bool Opened() const;
  int32_t ComPort() const;
  void SetComPort(int32_t value);
  TPortTable& PortTable();

  // Sending; posting hands the telegram to the link.
  void PostTelegram(std::unique_ptr<TTelegram> tele);
  // Takes ownership; posting an object that is still queued again has no effect.
  void PostTelegram(TTelegram* tele);
  void PostPriorityTelegram(std::unique_ptr<TTelegram> tele);
  void PostPriorityTelegram(TTelegram* tele);
  int32_t GetSendQueueSize() const;
  void FlushSendQueue();
  void PauseCommunication(bool doPause);

  // Callbacks (11 slots per kind; the idle list is a stack topped by slot 0)
  void AddReceiveFunction(const TTelegramFunction& fn);
  void RemoveReceiveFunction(const TTelegramFunction& fn);
  void AddAckFunction(const TTelegramFunction& fn);
  void RemoveAckFunction(const TTelegramFunction& fn);
  void AddNakFunction(const TTelegramFunction& fn);
  void RemoveNakFunction(const TTelegramFunction& fn);
  void AddMissingAckFunction(const TTelegramFunction& fn);
  void RemoveMissingAckFunction(const TTelegramFunction& fn);
  void AddIdleFunction(const TWakeUpFunction& fn);
  void RemoveIdleFunction(const TWakeUpFunction& fn);
  void SetOnErrorMessage(TMessageFunction fn);
  void SetOnDebugMessage(TMessageFunction fn);
  void SetFrameObserver(TCommThread::TFrameObserver fn);

  // Statistics
  int32_t Good() const { return CommThread->iGood; }
  int32_t Repeated() const { return CommThread->iRepeated; }
  int32_t Bad() const { return CommThread->iBad; }
  int32_t Nak() const { return CommThread->iNak; }
  int32_t HistCount() const { return CommThread->iHistCount; }
  int32_t RepeatCount() const { return CommThread->iRepeatCount; }
  TThreadPriority Priority() const { return CommThread->Priority(); }
  void SetPriority(TThreadPriority p) { CommThread->SetPriority(p); }

  // The worker, for tests (single cycles) and diagnostics.
  TCommThread& Thread() { return *CommThread; }

 private:
  void WaitForTermination(uint32_t ms);

  TTelegramQueue SendQueue;
  std::atomic<int32_t> iSendQueueSize{0};
  std::unique_ptr<TCommThread> CommThread;
};

}  // namespace zeb7
