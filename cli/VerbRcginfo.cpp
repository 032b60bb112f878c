// rcginfo FILE: checks an oscillogram file and prints what it holds.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "Verb.h"
#include "scope/OscillData.h"

namespace zeb7ctl {
namespace {

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

template <size_t N>
std::string Choice(int32_t index, const std::array<std::string_view, N>& items) {
  if (index < 0) return std::to_string(index) + " (none)";
  return std::to_string(index) + " (" + std::string(items[static_cast<size_t>(index)]) + ")";
}

int RunRcginfo(const std::string& file) {
  zeb7::TOscillData d;
  std::string err;
  if (!zeb7::LoadOscillogram(file, d, err)) {
    std::cerr << "zeb7ctl rcginfo: " << err << "\n";
    return kExitFailure;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  std::printf("file=%s bytes=%llu\n", file.c_str(), ec ? 0ull : static_cast<unsigned long long>(size));
  std::printf("magic=0x%08X format=%u recorder=%d channels=%d points=%d\n", zeb7::kRcgMagic, zeb7::kRcgVersion,
              d.iUploadRecorder, zeb7::kOscChannels, zeb7::kOscPoints);
  for (size_t c = 0; c < d.asName.size(); ++c) {
    const auto& samples = d.iaRecorderData[c];
    const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
    std::printf("channel=%zu name=%s shown=%d formula=%s min=%d max=%d\n", c, Quoted(d.asName[c]).c_str(),
                d.aboChecked[c] ? 1 : 0, Quoted(d.asFormula[c]).c_str(), *lo, *hi);
  }
  std::printf("zoom_x=%s zoom_y=%s max_y=%s min_y=%s\n", Choice(d.iZoomXIndex, zeb7::kZoomItems).c_str(),
              Choice(d.iZoomYIndex, zeb7::kZoomItems).c_str(), Choice(d.iMaxYIndex, zeb7::kMaxYItems).c_str(),
              Choice(d.iMinYIndex, zeb7::kMinYItems).c_str());
  return kExitOk;
}

const VerbRegistrar kRcginfo{Verb{[](CLI::App& app, const GlobalOptions&) {
  auto file = std::make_shared<std::string>();
  auto* sc = app.add_subcommand("rcginfo", "check an oscillogram file (.rcg) and print its header and channels");
  sc->add_option("FILE", *file, "oscillogram file")->required();
  return std::function<int()>([file] { return RunRcginfo(*file); });
}}};

}  // namespace
}  // namespace zeb7ctl
