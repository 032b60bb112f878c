#pragma once
// A firmware image loaded for flash programming: the packets of the image file cut into program
// blocks of at most 64 bytes, in file order, with the address range they cover.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware/ReadHex.h"

namespace zeb7 {

struct TDownloadObject {
  std::uint32_t uAddress = 0;  // flash address of baData[0]
  std::array<std::uint8_t, 64> baData{};
  std::uint8_t bLength = 0;    // 1..64
};

class TDownloadImage {
 public:
  static constexpr std::uint32_t kNoLowerAddress = 0x7FFFFFFF;  // lower bound of an empty image

  // Sees every packet as the reader hands it out (before it is cut into blocks).
  using TPacketObserver = std::function<void(const THexPacket&)>;

  // Reads the file exactly as flash programming does. On any failure the block list is left empty,
  // the reader's reason and a summary line have gone to `log`, and false is returned.
  bool LoadHexFile(const std::string& fileName, const TLogFunction& log, const TPacketObserver& onPacket = {});

  void Clear();

  const std::vector<TDownloadObject>& DataList() const { return dataList_; }
  // Lowest block address, and the address after the highest block byte.
  std::uint32_t uLowerProgAddr() const { return uLowerProgAddr_; }
  std::uint32_t uUpperProgAddr() const { return uUpperProgAddr_; }
  std::uint64_t ByteCount() const;

 private:
  void AddPacket(const THexPacket& packet);

  THexReader reader_;
  std::vector<TDownloadObject> dataList_;
  std::uint32_t uLowerProgAddr_ = kNoLowerAddress;
  std::uint32_t uUpperProgAddr_ = 0;
};

// The `digits` lowest hex digits of `value`, upper case, with "." after every digit whose position
// (0 = least significant) is a non-zero multiple of 4: AddrToHex(0x12000, 6) == "01.2000".
std::string AddrToHex(std::uint32_t value, int digits);

}  // namespace zeb7
