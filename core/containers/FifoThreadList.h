#pragma once
// Lock-protected FIFO of object references, shared between threads (the
// telegram send queue). Every operation holds the lock for its whole duration.
// The lock is recursive so that a ForEach function or a holder of
// GetLockedList may still call the queue's own operations.
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace zeb7 {

template <class T>
class TThreadFifo {
 public:
  using TUserFunction = std::function<void(T* obj)>;
  using TList = std::deque<T*>;

  TThreadFifo() = default;
  TThreadFifo(const TThreadFifo&) = delete;
  TThreadFifo& operator=(const TThreadFifo&) = delete;

  // An object that is already queued is not queued twice.
  void FifoIn(T* item) {
    std::lock_guard lock(FLock);
    for (T* queued : FList)
      if (queued == item) return;
    FList.push_back(item);
  }
  void LifoIn(T* item) {
    std::lock_guard lock(FLock);
    FList.push_front(item);
  }
  void Insert(int32_t index, T* item) {
    std::lock_guard lock(FLock);
    if (index < 0) index = 0;
    if (index > static_cast<int32_t>(FList.size())) index = static_cast<int32_t>(FList.size());
    FList.insert(FList.begin() + index, item);
  }
  bool FifoOut(T*& item) {
    std::lock_guard lock(FLock);
    if (FList.empty()) {
      item = nullptr;
      return false;
    }
    item = FList.front();
    FList.pop_front();
    return true;
  }
  T* FifoOut2() {
    T* item = nullptr;
    FifoOut(item);
    return item;
  }

  T* At(int32_t index) const {
    std::lock_guard lock(FLock);
    return index >= 0 && index < static_cast<int32_t>(FList.size()) ? FList[index] : nullptr;
  }
  int32_t Count() const {
    std::lock_guard lock(FLock);
    return static_cast<int32_t>(FList.size());
  }

  void DeleteAll() {
    std::lock_guard lock(FLock);
    FList.clear();
  }
  void FreeAll() {
    std::lock_guard lock(FLock);
    while (!FList.empty()) {
      T* item = FList.back();
      FList.pop_back();
      delete item;
    }
  }

  void ForEach(const TUserFunction& fn) const {
    std::lock_guard lock(FLock);
    const int32_t n = static_cast<int32_t>(FList.size());
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(FList.size()); ++i) fn(FList[i]);
  }

  // Takes the lock; the caller must release it with UnlockList.
  TList& GetLockedList() {
    FLock.lock();
    return FList;
  }
  void UnlockList() { FLock.unlock(); }

 private:
  mutable std::recursive_mutex FLock;
  TList FList;
};

}  // namespace zeb7
