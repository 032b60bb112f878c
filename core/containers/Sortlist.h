#pragma once
// Sorted list of object references with pluggable compare functions.
// The list never owns its items: only the Free* operations delete them.
//
// The binary search is deliberately hand-written: some orders kept here (the
// telegram ident circle) are not strict weak orderings, so std::lower_bound and
// friends would be undefined behaviour on them.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace zeb7 {

// One value of a composite key (Search3/IndexOf3).
using TVariant = std::variant<int64_t, double, std::string>;
using TVariantList = std::vector<TVariant>;

template <class T, class Key = int32_t>
class TSortedList {
 public:
  using TCompareFunction = std::function<int(const T* obj1, const T* obj2)>;
  using TCompareFunction2 = std::function<int(const T* obj1, const Key& key)>;
  using TCompareFunction3 = std::function<int(const T* obj1, const TVariantList& keys)>;
  using TUserFunction = std::function<void(T* obj)>;

  TSortedList(TCompareFunction compare, bool duplicates)
      : FDuplicates(duplicates), FCompareFunction(std::move(compare)) {}
  TSortedList(TCompareFunction compare, TCompareFunction2 compare2, bool duplicates)
      : FDuplicates(duplicates), FCompareFunction(std::move(compare)),
        FCompareFunction2(std::move(compare2)) {}
  TSortedList(TCompareFunction compare, TCompareFunction3 compare3, bool duplicates)
      : FDuplicates(duplicates), FCompareFunction(std::move(compare)),
        FCompareFunction3(std::move(compare3)) {}

  // Destroying the list frees its storage, never its items.
  ~TSortedList() = default;
  TSortedList(const TSortedList&) = delete;
  TSortedList& operator=(const TSortedList&) = delete;
  TSortedList(TSortedList&&) noexcept = default;
  TSortedList& operator=(TSortedList&&) noexcept = default;

  bool Search(const T* key, int32_t& index) const {
    if (!FCompareFunction) {
      index = 0;
      return false;
    }
    return BinarySearch([&](const T* item) { return FCompareFunction(item, key); }, index);
  }
  bool Search2(const Key& key, int32_t& index) const {
    if (!FCompareFunction2) {
      index = 0;
      return false;
    }
    return BinarySearch([&](const T* item) { return FCompareFunction2(item, key); }, index);
  }
  bool Search3(const TVariantList& keys, int32_t& index) const {
    if (!FCompareFunction3) {
      index = 0;
      return false;
    }
    return BinarySearch([&](const T* item) { return FCompareFunction3(item, keys); }, index);
  }

  // With duplicates allowed a new item goes in front of its equals.
  bool Insert(T* item) {
    int32_t index = 0;
    if (Search(item, index) && !FDuplicates) return false;
    FList.insert(FList.begin() + index, item);
    return true;
  }

  // Without duplicates: the position of an item with the same key.
  // With duplicates: the position of the identical object, or -1.
  int32_t IndexOf(const T* item) const {
    int32_t index = 0;
    if (!Search(item, index)) return -1;
    if (!FDuplicates) return index;
    for (int32_t i = index; i < Count(); ++i)
      if (FList[i] == item) return i;
    return -1;
  }
  int32_t IndexOf2(const Key& key) const {
    int32_t index = 0;
    return Search2(key, index) ? index : -1;
  }
  int32_t IndexOf3(const TVariantList& keys) const {
    int32_t index = 0;
    return Search3(keys, index) ? index : -1;
  }

  T* At(int32_t index) const { return ValidIndex(index) ? FList[index] : nullptr; }
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }

  void AtDelete(int32_t index) {
    if (!ValidIndex(index)) return;
    FList.erase(FList.begin() + index);
    Shrink();
  }
  void DeleteItem(const T* item) {
    int32_t index = IndexOf(item);
    if (index >= 0) AtDelete(index);
  }
  void AtFree(int32_t index) {
    if (!ValidIndex(index)) return;
    T* item = FList[index];
    FList.erase(FList.begin() + index);
    delete item;
  }
  void FreeItem(const T* item) {
    int32_t index = IndexOf(item);
    if (index < 0) return;
    AtFree(index);
    Shrink();
  }
  void DeleteAll() {
    FList.clear();
    FList.shrink_to_fit();
  }
  void FreeAll() {
    for (int32_t i = Count() - 1; i >= 0; --i) delete FList[i];
    DeleteAll();
  }

  bool Equals(const TSortedList& other) const { return FList == other.FList; }

  // The count is taken once; items removed by the function are not visited.
  void ForEach(const TUserFunction& fn) const {
    const int32_t n = Count();
    for (int32_t i = 0; i < n && i < Count(); ++i) fn(FList[i]);
  }

  bool Duplicates() const { return FDuplicates; }
  int32_t Capacity() const { return static_cast<int32_t>(FList.capacity()); }
  // Grows or shrinks the storage; never below the count.
  void SetCapacity(int32_t capacity) {
    if (capacity < Count()) capacity = Count();
    if (capacity > Capacity()) {
      FList.reserve(capacity);
    } else if (capacity < Capacity()) {
      std::vector<T*> copy;
      copy.reserve(capacity);
      copy.assign(FList.begin(), FList.end());
      FList.swap(copy);
    }
  }

  typename std::vector<T*>::const_iterator begin() const { return FList.begin(); }
  typename std::vector<T*>::const_iterator end() const { return FList.end(); }

 private:
  bool ValidIndex(int32_t index) const { return index >= 0 && index < Count(); }

  template <class Cmp>
  bool BinarySearch(Cmp compare, int32_t& index) const {
    int32_t lo = 0;
    int32_t hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
      const int32_t mid = lo + (hi - lo) / 2;
      const int c = compare(FList[mid]);
      if (c < 0) {
        lo = mid + 1;
      } else {
        hi = mid - 1;
        if (c == 0) {
          found = true;
          if (!FDuplicates) lo = mid;
        }
      }
    }
    index = lo;
    return found;
  }

  void Shrink() {
    if (Capacity() > 2 * Count() + 100) SetCapacity(Count());
  }

  std::vector<T*> FList;
  bool FDuplicates = false;
  TCompareFunction FCompareFunction;
  TCompareFunction2 FCompareFunction2;
  TCompareFunction3 FCompareFunction3;
};

}  // namespace zeb7
