#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "firmware/ReadHex.h"

namespace zeb7::test {


// Collects every message a reader or writer reports.
struct Messages {
  std::vector<std::string> lines;
  TLogFunction Sink() {
    return [this](const std::string& s) { lines.push_back(s); };
  }
};

struct ReadOutcome {
  std::vector<THexPacket> packets;  // every hrPacket
  THexResult last = hrNotOpen;      // the ending result
  std::vector<std::string> messages;
};

// Opens the file (which must succeed) and reads it to its end.
inline ReadOutcome ReadAll(const std::string& file) {
  ReadOutcome out;
  Messages m;
  THexReader reader;
  EXPECT_TRUE(reader.OpenHexFile(file, m.Sink()));
  THexPacket p;
  for (int guard = 0; guard < 100000; ++guard) {
    out.last = reader.ReadHexPacket(p, m.Sink());
    if (out.last != hrPacket) break;
    out.packets.push_back(p);
  }
  out.messages = m.lines;
  return out;
}

// Intel HEX data record with a correct checksum (upper-case digits).
inline std::string IntelData(std::uint32_t address16, const std::vector<std::uint8_t>& data, int type = 0) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = ":";
  unsigned sum = 0;
  auto put = [&](unsigned b) {
    s += kHex[(b >> 4) & 0xF];
    s += kHex[b & 0xF];
    sum += b;
  };
  put(static_cast<unsigned>(data.size()));
  put((address16 >> 8) & 0xFF);
  put(address16 & 0xFF);
  put(static_cast<unsigned>(type));
  for (auto b : data) put(b);
  const unsigned ck = (0x100 - (sum & 0xFF)) & 0xFF;
  s += kHex[ck >> 4];
  s += kHex[ck & 0xF];
  return s;
}

// S3 record with a correct checksum.
inline std::string S3Data(std::uint32_t address, const std::vector<std::uint8_t>& data) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "S3";
  unsigned sum = 0;
  auto put = [&](unsigned b) {
    s += kHex[(b >> 4) & 0xF];
    s += kHex[b & 0xF];
    sum += b;
  };
  put(static_cast<unsigned>(data.size() + 5));
  for (int shift = 24; shift >= 0; shift -= 8) put((address >> shift) & 0xFF);
  for (auto b : data) put(b);
  const unsigned ck = ~sum & 0xFF;
  s += kHex[ck >> 4];
  s += kHex[ck & 0xF];
  return s;
}

inline std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(first + i);
  return v;
}

}  // namespace zeb7::test
