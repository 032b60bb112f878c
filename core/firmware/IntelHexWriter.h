#pragma once
// Writes blocks read back from flash as an Intel HEX file: 16-byte data records, extended linear
// address records, upper-case digits, CR LF line ends. Lines of sixteen 0xFF bytes (erased flash)
// are left out, except the last line.
#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>

#include "firmware/ReadHex.h"  // TLogFunction

namespace zeb7 {

struct TPacket {
  std::int32_t iAddr = 0;     // flash address of the block
  bool Initialized = false;   // the block's data has arrived
  std::array<std::uint8_t, 64> baData{};
};

// `blocks` must be ordered by address. The data ends at the first block that does not follow its
// predecessor ("Address Error!") or has not arrived ("Uninitialized data!"); the file is still
// closed with the end record. Progress and problems go to `log`.
bool WriteIntelHex(std::ostream& out, std::span<const TPacket> blocks, const TLogFunction& log);

// As above into a file, replacing it only once the whole text has been written.
// Logs "Error writing file" and returns false when the file cannot be written.
bool WriteIntelHexFile(const std::string& fileName, std::span<const TPacket> blocks, const TLogFunction& log);

// ":02000004" + high 16 bits of `address` + checksum, without the line end.
std::string ExtendedLinearAddressRecord(std::uint32_t address);

}  // namespace zeb7
