#pragma once
// Stable names of serial devices: the links udev keeps in <dev>/serial/by-id
// ("usb-FTDI_FT232R_A1B2C3-if00-port0" -> ../../ttyUSB0). The same adapter keeps
// its link when it comes back as another ttyUSB number, so a port bound to the
// link follows it; the device folder is a parameter so tests can fake it.
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace zeb7 {

inline std::string SerialByIdFolder(const std::string& devDir = "/dev") { return devDir + "/serial/by-id"; }

// (link path, device it points to) for every link in the by-id folder, sorted by
// link name; broken links are left out. Empty when the folder does not exist.
inline std::vector<std::pair<std::string, std::string>> StableSerialNames(const std::string& devDir = "/dev") {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::string, std::string>> out;
  std::error_code ec;
  const fs::path folder = SerialByIdFolder(devDir);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e2;
    if (!it->is_symlink(e2)) continue;
    fs::path target = fs::read_symlink(it->path(), e2);
    if (e2) continue;
    if (target.is_relative()) target = folder / target;
    fs::path device = fs::weakly_canonical(target, e2);
    if (e2 || !fs::exists(device, e2)) continue;
    out.emplace_back(it->path().string(), device.string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The by-id link that points to `device` (itself a kernel name or a link), or ""
// when there is none.
inline std::string StableSerialNameOf(const std::string& device, const std::string& devDir = "/dev") {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (device.empty()) return "";
  if (device.rfind(SerialByIdFolder(devDir) + "/", 0) == 0) return device;  // already stable
  const fs::path real = fs::weakly_canonical(device, ec);
  if (ec) return "";
  for (const auto& [link, dev] : StableSerialNames(devDir))
    if (dev == real.string()) return link;
  return "";
}

}  // namespace zeb7
