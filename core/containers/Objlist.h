#pragma once
// Plain list of object references in insertion order. Never owns its items:
// only the Free* operations delete them.
#include <cstdint>
#include <functional>
#include <vector>

namespace zeb7 {

template <class T>
class TObjectList {
 public:
  using TUserFunction = std::function<void(T* obj)>;

  TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  TObjectList(TObjectList&&) noexcept = default;
  TObjectList& operator=(TObjectList&&) noexcept = default;

  int32_t Add(T* item) {
    FList.push_back(item);
    return Count() - 1;
  }
  // Positions past the end append.
  void Insert(int32_t index, T* item) {
    if (index < 0) index = 0;
    if (index > Count()) index = Count();
    FList.insert(FList.begin() + index, item);
  }
  T* GetAt(int32_t index) const { return ValidIndex(index) ? FList[index] : nullptr; }
  void SetAt(int32_t index, T* item) {
    if (index < 0) return;
    if (index >= Count()) FList.resize(static_cast<size_t>(index) + 1, nullptr);
    FList[index] = item;
  }
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  // Lengthens with nil entries or truncates (truncated items are not freed).
  void SetCount(int32_t count) { FList.resize(count < 0 ? 0 : static_cast<size_t>(count), nullptr); }

  int32_t IndexOf(const T* item) const {
    for (int32_t i = 0; i < Count(); ++i)
      if (FList[i] == item) return i;
    return -1;
  }

  void AtClear(int32_t index) { AtDelete(index); }
  void AtDelete(int32_t index) {
    if (ValidIndex(index)) FList.erase(FList.begin() + index);
  }
  void DeleteItem(const T* item) { AtDelete(IndexOf(item)); }
  void DeleteAll() {
    while (!FList.empty()) FList.pop_back();
  }

  void AtFree(int32_t index) {
    if (!ValidIndex(index)) return;
    T* item = FList[index];
    FList.erase(FList.begin() + index);
    delete item;
  }
  void FreeItem(const T* item) { AtFree(IndexOf(item)); }
  void FreeAll() {
    for (int32_t i = Count() - 1; i >= 0; --i) {
      T* item = FList[i];
      FList.pop_back();
      delete item;
    }
    FList.shrink_to_fit();
  }

  // Shares the other list's objects.
  void Assign(const TObjectList& other) {
    if (&other == this) return;
    DeleteAll();
    for (T* item : other.FList) Add(item);
  }

  bool Equals(const TObjectList& other) const { return FList == other.FList; }

  // The count is taken once; items removed by the function are not visited.
  void ForEach(const TUserFunction& fn) const {
    const int32_t n = Count();
    for (int32_t i = 0; i < n && i < Count(); ++i) fn(FList[i]);
  }

  typename std::vector<T*>::const_iterator begin() const { return FList.begin(); }
  typename std::vector<T*>::const_iterator end() const { return FList.end(); }

 private:
  bool ValidIndex(int32_t index) const { return index >= 0 && index < Count(); }

  std::vector<T*> FList;
};

}  // namespace zeb7
