#include "containers/IntArray.h"

#include "containers/ObjArray.h"

namespace zeb7 {

TIntArray::TIntArray()
    : ElementList([](const TElement* a, const TElement* b) { return CompareIndex(a->iIndex, b->iIndex); },
                  [](const TElement* a, const int32_t& key) { return CompareIndex(a->iIndex, key); }, false) {}

TIntArray::~TIntArray() { ElementList.FreeAll(); }

int32_t TIntArray::GetItem(int32_t index) const {
  int32_t pos = 0;
  return ElementList.Search2(index, pos) ? ElementList.At(pos)->iValue : 0;
}

void TIntArray::SetItem(int32_t index, int32_t value) {
  int32_t pos = 0;
  if (ElementList.Search2(index, pos))
    ElementList.At(pos)->iValue = value;
  else
    ElementList.Insert(new TElement{index, value});
}

int32_t TIntArray::Count() const { return ElementList.Count(); }

bool TIntArray::ListValue(int32_t listIndex, int32_t& index, int32_t& value) const {
  const TElement* e = ElementList.At(listIndex);
  if (!e) return false;
  index = e->iIndex;
  value = e->iValue;
  return true;
}

void TIntArray::AtDelete(int32_t index) {
  int32_t pos = 0;
  if (ElementList.Search2(index, pos)) ElementList.AtFree(pos);
}

void TIntArray::AtFree(int32_t index) { AtDelete(index); }
void TIntArray::DeleteAll() { ElementList.FreeAll(); }
void TIntArray::FreeAll() { ElementList.FreeAll(); }

}  // namespace zeb7
