#include "link/PortTable.h"

#include "link/StableNames.h"

#include <algorithm>
#include <filesystem>

namespace zeb7 {

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      // Compare values by length after skipping leading zeros, then digits.
      size_t zi = i, zj = j;
      while (zi + 1 < ei && a[zi] == '0') ++zi;
      while (zj + 1 < ej && b[zj] == '0') ++zj;
      if (ei - zi != ej - zj) return ei - zi < ej - zj;
      const int c = a.compare(zi, ei - zi, b, zj, ej - zj);
      if (c != 0) return c < 0;
      if (ei - i != ej - j) return ei - i < ej - j;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

TPortTable::TPortTable(std::string sysClassTty, std::string devDir)
    : sSysClassTty(std::move(sysClassTty)), sDevDir(std::move(devDir)) {}

void TPortTable::SetEntry(int32_t nPort, const std::string& path) {
  if (nPort < 1 || nPort > kMaxPort) return;
  std::lock_guard lock(FLock);
  aEntries[nPort] = path;
}

std::string TPortTable::Entry(int32_t nPort) const {
  if (nPort < 1 || nPort > kMaxPort) return {};
  std::lock_guard lock(FLock);
  return aEntries[nPort];
}

void TPortTable::ClearEntries() {
  std::lock_guard lock(FLock);
  for (auto& e : aEntries) e.clear();
}

void TPortTable::SetSystemFolders(const std::string& sysClassTty, const std::string& devDir) {
  std::lock_guard lock(FLock);
  sSysClassTty = sysClassTty;
  sDevDir = devDir;
}

std::vector<std::string> TPortTable::SystemDevices() const {
  namespace fs = std::filesystem;
  std::string sysDir, devDir;
  {
    std::lock_guard lock(FLock);
    sysDir = sSysClassTty;
    devDir = sDevDir;
  }
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(sysDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("ttyUSB", 0) != 0 && name.rfind("ttyACM", 0) != 0 && name.rfind("ttyS", 0) != 0) continue;
    std::error_code ec2;
    if (!fs::exists(it->path() / "device", ec2)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const auto& n : names) paths.push_back(devDir + "/" + n);
  return paths;
}

std::array<std::string, TPortTable::kMaxPort + 1> TPortTable::Map() const {
  namespace fs = std::filesystem;
  std::array<std::string, kMaxPort + 1> map;
  std::string devDir;
  {
    std::lock_guard lock(FLock);
    map = aEntries;
    devDir = sDevDir;
  }
  // The devices the explicit entries reach, links resolved, so a device bound
  // by its by-id name is not offered again under its kernel name.
  auto real = [](const std::string& p) {
    std::error_code ec;
    const fs::path r = fs::weakly_canonical(p, ec);
    return ec ? p : r.string();
  };
  std::vector<std::string> taken;
  for (int32_t n = 1; n <= kMaxPort; ++n)
    if (!map[n].empty()) taken.push_back(real(map[n]));
  size_t next = 0;
  const std::vector<std::string> system = SystemDevices();
  auto isTaken = [&](const std::string& dev) {
    return std::find(taken.begin(), taken.end(), real(dev)) != taken.end();
  };
  for (int32_t n = 1; n <= kMaxPort; ++n) {
    if (!map[n].empty()) continue;
    while (next < system.size() && isTaken(system[next])) ++next;
    if (next >= system.size()) break;
    // A filled-in number names the device by its stable name where it has
    // one: the port then follows the adapter when it comes back as another ttyUSB.
    const std::string stable = StableSerialNameOf(system[next], devDir);
    map[n] = stable.empty() ? system[next] : stable;
    ++next;
  }
  return map;
}

std::string TPortTable::DevicePath(int32_t nPort) const {
  if (nPort < 1 || nPort > kMaxPort) return {};
  const std::string explicitPath = Entry(nPort);
  if (!explicitPath.empty()) return explicitPath;
  return Map()[nPort];
}

std::string TPortTable::DisplayName(int32_t nPort) const {
  const std::string path = DevicePath(nPort);
  return path.empty() ? "COM" + std::to_string(nPort) : path;
}

}  // namespace zeb7
