// hexinfo FILE [--packets]: reads a firmware image the way flash programming does and sums it up.
#include <cstdio>
#include <iostream>
#include <string>

#include "Verb.h"
#include "firmware/DownloadImage.h"

namespace zeb7ctl {
namespace {

struct HexinfoOptions {
  std::string file;
  bool packets = false;
};

int RunHexinfo(const HexinfoOptions& o) {
  zeb7::TDownloadImage image;
  std::uint64_t packetCount = 0;
  std::string line;
  auto onPacket = [&](const zeb7::THexPacket& p) {
    ++packetCount;
    if (!o.packets) return;
    static const char kHex[] = "0123456789ABCDEF";
    char head[32];
    std::snprintf(head, sizeof head, "0x%X %u ", p.uAddress, static_cast<unsigned>(p.bLength));
    line = head;
    for (unsigned i = 0; i < p.bLength; ++i) {
      line += kHex[p.baData[i] >> 4];
      line += kHex[p.baData[i] & 0xF];
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  };
  auto toStderr = [](const std::string& text) { std::cerr << text << "\n"; };
  if (!image.LoadHexFile(o.file, toStderr, onPacket)) return kExitFailure;
  std::printf("packets=%llu bytes=%llu blocks=%zu lower=0x%X upper=0x%X\n",
              static_cast<unsigned long long>(packetCount), static_cast<unsigned long long>(image.ByteCount()),
              image.DataList().size(), image.uLowerProgAddr(), image.uUpperProgAddr());
  return kExitOk;
}

const VerbRegistrar kHexinfo{Verb{[](CLI::App& app, const GlobalOptions&) {
  auto o = std::make_shared<HexinfoOptions>();
  auto* sc = app.add_subcommand("hexinfo", "read a firmware image (Intel HEX or S-record) as flash programming does");
  sc->add_option("FILE", o->file, "image file")->required();
  sc->add_flag("--packets", o->packets, "list every packet: address, length, bytes");
  return std::function<int()>([o] { return RunHexinfo(*o); });
}}};

}  // namespace
}  // namespace zeb7ctl
