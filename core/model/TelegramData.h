#pragma once
// Little-endian access to telegram data as the model's handlers read it.
#include <cstdint>
#include <string>

#include "link/C167Comm.h"

namespace zeb7::tdata {

inline uint8_t Byte(const TTelegram& t, int i) { return t.baData[i]; }
inline uint16_t Word(const TTelegram& t, int i) {
  return static_cast<uint16_t>(t.baData[i] | (t.baData[i + 1] << 8));
}
inline uint32_t DWord(const TTelegram& t, int i) {
  return static_cast<uint32_t>(Word(t, i)) | (static_cast<uint32_t>(Word(t, i + 2)) << 16);
}
inline void SetWord(TTelegram& t, int i, uint32_t v) {
  t.baData[i] = static_cast<uint8_t>(v & 0xFF);
  t.baData[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
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

}  // namespace zeb7::tdata
