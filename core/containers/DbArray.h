#pragma once
// Fixed-length array of doubles; reads past the end yield 0.0 and writes
// past the end are ignored.
#include <cstdint>
#include <memory>

namespace zeb7 {

class TDoubleArray {
 public:
  explicit TDoubleArray(int32_t size);
  // Duplicates another array.
  TDoubleArray(const TDoubleArray& oldArray);
  TDoubleArray& operator=(const TDoubleArray&) = delete;

  double GetAt(int32_t iIndex) const;
  void SetAt(int32_t iIndex, double value);
  int32_t Items() const { return iItems; }

 private:
  std::unique_ptr<double[]> pArray;
  int32_t iArraySize = 0;  // bytes allocated
  int32_t iItems = 0;
  static constexpr int32_t iSizeOfItem = 8;
};

}  // namespace zeb7
