#include "firmware/DownloadImage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace zeb7 {

namespace {
bool FileExists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}
}  // namespace

void TDownloadImage::Clear() {
  dataList_.clear();
  uLowerProgAddr_ = kNoLowerAddress;
  uUpperProgAddr_ = 0;
}

std::uint64_t TDownloadImage::ByteCount() const {
  std::uint64_t n = 0;
  for (const auto& b : dataList_) n += b.bLength;
  return n;
}

void TDownloadImage::AddPacket(const THexPacket& packet) {
  for (std::size_t offset = 0; offset < packet.bLength; offset += 64) {
    TDownloadObject block;
    block.uAddress = packet.uAddress + static_cast<std::uint32_t>(offset);
    block.bLength = static_cast<std::uint8_t>(std::min<std::size_t>(64, packet.bLength - offset));
    std::memcpy(block.baData.data(), packet.baData.data() + offset, block.bLength);
    // The first block sets the lower bound outright, so images above 0x7FFFFFFF get their true start.
    if (dataList_.empty() || block.uAddress < uLowerProgAddr_) uLowerProgAddr_ = block.uAddress;
    uUpperProgAddr_ = std::max(uUpperProgAddr_, block.uAddress + block.bLength);
    dataList_.push_back(block);
  }
}

bool TDownloadImage::LoadHexFile(const std::string& fileName, const TLogFunction& log,
                                 const TPacketObserver& onPacket) {
  auto say = [&](const std::string& text) {
    if (log) log(text);
  };
  Clear();
  if (!FileExists(fileName)) {
    say("File " + fileName + " not found!");
    return false;
  }
  if (!reader_.OpenHexFile(fileName, log)) {
    say("File " + fileName + " does not contain Hex data!");
    return false;
  }
  THexPacket packet;
  THexResult result = hrNotOpen;
  try {
    while ((result = reader_.ReadHexPacket(packet, log)) == hrPacket) {
      if (onPacket) onPacket(packet);
      AddPacket(packet);
    }
  } catch (const EHexReadError& e) {
    say(e.what());
    result = hrNotOpen;
  }
  if (result == hrEndOfData) return true;
  say("Error reading Hex file " + fileName + "!");
  Clear();
  return false;
}

std::string AddrToHex(std::uint32_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int pos = std::min(digits, 16) - 1; pos >= 0; --pos) {
    const unsigned nibble = pos < 8 ? (value >> (4 * pos)) & 0xF : 0;
    out += kHex[nibble];
    if (pos != 0 && pos % 4 == 0) out += '.';
  }
  return out;
}

}  // namespace zeb7
