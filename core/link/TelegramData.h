#pragma once
// Little-endian access to telegram data, and the checksum of controller strings.
// Shared by the model, the virtual drive, the CLI and the tests.
#include <cstdint>
#include <string>

#include "link/C167Comm.h"
#include "link/Commands.h"

namespace zeb7::tdata {

inline uint8_t Byte(const TTelegram& t, int i) { return t.baData[i]; }
inline uint16_t Word(const TTelegram& t, int i) {
  return static_cast<uint16_t>(t.baData[i] | (t.baData[i + 1] << 8));
}
inline int16_t SignedWord(const TTelegram& t, int i) { return static_cast<int16_t>(Word(t, i)); }
inline uint32_t DWord(const TTelegram& t, int i) {
  return static_cast<uint32_t>(Word(t, i)) | (static_cast<uint32_t>(Word(t, i + 2)) << 16);
}
inline uint64_t QWord(const TTelegram& t, int i) {
  return static_cast<uint64_t>(DWord(t, i)) | (static_cast<uint64_t>(DWord(t, i + 4)) << 32);
}
inline int64_t Int64(const TTelegram& t, int i) { return static_cast<int64_t>(QWord(t, i)); }

inline void SetByte(TTelegram& t, int i, uint32_t v) { t.baData[i] = static_cast<uint8_t>(v & 0xFF); }
inline void SetWord(TTelegram& t, int i, uint32_t v) {
  t.baData[i] = static_cast<uint8_t>(v & 0xFF);
  t.baData[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
inline void SetDWord(TTelegram& t, int i, uint32_t v) {
  SetWord(t, i, v & 0xFFFF);
  SetWord(t, i + 2, v >> 16);
}
inline void SetQWord(TTelegram& t, int i, uint64_t v) {
  SetDWord(t, i, static_cast<uint32_t>(v));
  SetDWord(t, i + 4, static_cast<uint32_t>(v >> 32));
}
inline void SetInt64(TTelegram& t, int i, int64_t v) { SetQWord(t, i, static_cast<uint64_t>(v)); }

// Bytes `from` up to the first zero byte, the end of the data (bLength) or
// `maxChars` characters, one character per byte.
inline std::string Text(const TTelegram& t, int from, int maxChars = 255) {
  std::string s;
  for (int i = from; i < t.bLength && i - from < maxChars; ++i) {
    if (t.baData[i] == 0) break;
    s += static_cast<char>(t.baData[i]);
  }
  return s;
}
// Stores at most `maxChars` characters of `latin1` and a terminating zero at
// `from`; returns the number of bytes written including the zero. Never writes
// past the data array.
inline int SetText(TTelegram& t, int from, const std::string& latin1, int maxChars = kMaxSentTextChars) {
  int n = 0;
  const int room = kTelegramDataSize - from - 1;
  for (unsigned char c : latin1) {
    if (n >= maxChars || n >= room) break;
    t.baData[from + n++] = c;
  }
  t.baData[from + n] = 0;
  return n + 1;
}

// Checksum of a controller string as the drive computes it: index plus the
// Latin-1 code units, folded into 0x1111..0xBBBA.
inline uint16_t StringChecksum(int index, const std::string& latin1) {
  uint16_t s = static_cast<uint16_t>(index & 0xFFFF);
  for (unsigned char c : latin1) s = static_cast<uint16_t>(s + c);
  return static_cast<uint16_t>(s % 0xAAAA + 0x1111);
}

}  // namespace zeb7::tdata
