#pragma once
// Sparse array integer index -> object reference, kept as a sorted list of
// elements so that a lookup is a binary search on the index. The held objects
// are only deleted by AtFree and FreeAll.
#include <cstdint>

#include "containers/Sortlist.h"

namespace zeb7 {

// Compares instead of subtracting: the difference of two extreme indices
// does not fit in 32 bits.
inline int CompareIndex(int32_t a, int32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

template <class T>
class TObjectArray {
 public:
  struct TElement {
    int32_t iIndex = 0;
    T* Obj = nullptr;
  };

  TObjectArray()
      : ElementList([](const TElement* a, const TElement* b) { return CompareIndex(a->iIndex, b->iIndex); },
                    [](const TElement* a, const int32_t& key) { return CompareIndex(a->iIndex, key); },
                    false) {}
  // Removes the elements; the held objects stay alive.
  ~TObjectArray() { DeleteAll(); }
  TObjectArray(const TObjectArray&) = delete;
  TObjectArray& operator=(const TObjectArray&) = delete;

  T* GetItem(int32_t index) const {
    int32_t pos = 0;
    return ElementList.Search2(index, pos) ? ElementList.At(pos)->Obj : nullptr;
  }
  // An existing element gets the new object; the previous one is not freed.
  void SetItem(int32_t index, T* obj) {
    int32_t pos = 0;
    if (ElementList.Search2(index, pos)) {
      ElementList.At(pos)->Obj = obj;
      return;
    }
    ElementList.Insert(new TElement{index, obj});
  }
  int32_t Count() const { return ElementList.Count(); }

  // Enumerates the stored elements in ascending index order.
  bool InitializedElement(int32_t listIndex, int32_t& arrayIndex, T*& element) const {
    const TElement* e = ElementList.At(listIndex);
    if (!e) return false;
    arrayIndex = e->iIndex;
    element = e->Obj;
    return true;
  }

  void AtDelete(int32_t index) {
    int32_t pos = 0;
    if (ElementList.Search2(index, pos)) ElementList.AtFree(pos);
  }
  void AtFree(int32_t index) {
    int32_t pos = 0;
    if (!ElementList.Search2(index, pos)) return;
    T* obj = ElementList.At(pos)->Obj;
    ElementList.AtFree(pos);
    delete obj;
  }
  void DeleteAll() { ElementList.FreeAll(); }
  void FreeAll() {
    for (int32_t i = ElementList.Count() - 1; i >= 0; --i) {
      T* obj = ElementList.At(i)->Obj;
      ElementList.AtFree(i);
      delete obj;
    }
    ElementList.DeleteAll();
  }

 private:
  TSortedList<TElement, int32_t> ElementList;
};

}  // namespace zeb7
