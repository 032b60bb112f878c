#include "containers/DbArray.h"

#include <algorithm>

namespace zeb7 {

// Values start at 0.0 rather than indeterminate: a read before the first
// write must not be undefined behaviour.
TDoubleArray::TDoubleArray(int32_t size)
    : pArray(size > 0 ? std::make_unique<double[]>(size) : nullptr),
      iArraySize(size > 0 ? size * iSizeOfItem : 0),
      iItems(size > 0 ? size : 0) {}

TDoubleArray::TDoubleArray(const TDoubleArray& oldArray) : TDoubleArray(oldArray.iItems) {
  if (iItems > 0) std::copy_n(oldArray.pArray.get(), iItems, pArray.get());
}

double TDoubleArray::GetAt(int32_t iIndex) const {
  return iIndex >= 0 && iIndex < iItems ? pArray[iIndex] : 0.0;
}

void TDoubleArray::SetAt(int32_t iIndex, double value) {
  if (iIndex >= 0 && iIndex < iItems) pArray[iIndex] = value;
}

}  // namespace zeb7
