#pragma once
// FIFO of object references for use by one thread. Never owns its items:
// only FreeAll deletes them.
#include <cstdint>
#include <deque>
#include <functional>

namespace zeb7 {

template <class T>
class TFifo {
 public:
  using TUserFunction = std::function<void(T* obj)>;

  TFifo() = default;
  TFifo(const TFifo&) = delete;
  TFifo& operator=(const TFifo&) = delete;

  void FifoIn(T* item) { FList.push_back(item); }
  void LifoIn(T* item) { FList.push_front(item); }
  bool FifoOut(T*& item) {
    if (FList.empty()) {
      item = nullptr;
      return false;
    }
    item = FList.front();
    FList.pop_front();
    return true;
  }

  T* At(int32_t index) const { return index >= 0 && index < Count() ? FList[index] : nullptr; }
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  bool Equals(const TFifo& other) const { return FList == other.FList; }

  void ForEach(const TUserFunction& fn) const {
    const int32_t n = Count();
    for (int32_t i = 0; i < n && i < Count(); ++i) fn(FList[i]);
  }

  void DeleteAll() { FList.clear(); }
  void FreeAll() {
    while (!FList.empty()) {
      T* item = FList.back();
      FList.pop_back();
      delete item;
    }
  }

 private:
  std::deque<T*> FList;
};

}  // namespace zeb7
