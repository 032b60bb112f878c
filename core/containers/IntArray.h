#pragma once
// Sparse array integer index -> integer value; absent indices read as 0.
#include <cstdint>

#include "containers/Sortlist.h"

namespace zeb7 {

class TIntArray {
 public:
  struct TElement {
    int32_t iIndex = 0;
    int32_t iValue = 0;
  };

  TIntArray();
  ~TIntArray();
  TIntArray(const TIntArray&) = delete;
  TIntArray& operator=(const TIntArray&) = delete;

  int32_t GetItem(int32_t index) const;
  void SetItem(int32_t index, int32_t value);
  int32_t Count() const;
  // Enumerates the stored elements in ascending index order.
  bool ListValue(int32_t listIndex, int32_t& index, int32_t& value) const;
  void AtDelete(int32_t index);
  void AtFree(int32_t index);
  void DeleteAll();
  void FreeAll();

 private:
  TSortedList<TElement, int32_t> ElementList;
};

}  // namespace zeb7
