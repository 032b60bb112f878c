// Feeds arbitrary bytes as an image file through the reader and the block list; images of modest
// size are written back as Intel HEX and must read back to the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/DownloadImage.h"
#include "firmware/IntelHexWriter.h"

namespace {

// A RAM-backed folder keeps the per-input file writes cheap.
std::string TempName(const char* tag) {
  const char* dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/zeb7_fuzz_" + tag + "_" + std::to_string(::getpid());
}

bool WriteFile(const std::string& name, const void* data, std::size_t size) {
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::map<std::uint32_t, std::uint8_t> Bytes(const zeb7::TDownloadImage& image) {
  std::map<std::uint32_t, std::uint8_t> m;
  for (const auto& b : image.DataList()) {
    if (b.bLength == 0 || b.bLength > 64) __builtin_trap();
    for (unsigned i = 0; i < b.bLength; ++i) m[b.uAddress + i] = b.baData[i];
  }
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string in = TempName("in"), out = TempName("out");
  static const bool cleanup = [] {
    std::atexit([] {
      std::remove(in.c_str());
      std::remove(out.c_str());
    });
    return true;
  }();
  (void)cleanup;
  if (!WriteFile(in, data, size)) return 0;
  zeb7::TDownloadImage image;
  std::size_t messages = 0;
  auto log = [&](const std::string&) { ++messages; };
  auto onPacket = [](const zeb7::THexPacket& p) {
    if (p.bLength > 240) __builtin_trap();
  };
  if (!image.LoadHexFile(in, log, onPacket)) {
    if (messages == 0 || !image.DataList().empty()) __builtin_trap();  // every failure is reported
    return 0;
  }
  const auto bytes = Bytes(image);
  if (bytes.empty() || bytes.rbegin()->first - bytes.begin()->first > 0x4000) return 0;

  const std::uint32_t first = bytes.begin()->first & ~63u;
  const std::uint32_t end = (bytes.rbegin()->first & ~63u) + 64;  // may wrap to 0 at the top
  std::vector<zeb7::TPacket> blocks;
  for (std::uint32_t a = first; a != end; a += 64) {
    zeb7::TPacket p;
    p.iAddr = static_cast<std::int32_t>(a);
    p.Initialized = true;
    for (std::uint32_t i = 0; i < 64; ++i) {
      const auto it = bytes.find(a + i);
      p.baData[i] = it == bytes.end() ? 0xFF : it->second;
    }
    blocks.push_back(p);
  }
  if (!zeb7::WriteIntelHexFile(out, blocks, {})) __builtin_trap();
  zeb7::TDownloadImage again;
  if (!again.LoadHexFile(out, {})) __builtin_trap();
  const auto back = Bytes(again);
  for (const auto& [a, v] : back) {
    const auto it = bytes.find(a);
    if ((it == bytes.end() ? 0xFF : it->second) != v) __builtin_trap();
  }
  for (const auto& [a, v] : bytes) {
    const auto it = back.find(a);
    if ((it == back.end() ? 0xFF : it->second) != v) __builtin_trap();
  }
  return 0;
}
