#pragma once
// Port numbers 1..20 as the user knows them, mapped onto the system's serial
// devices.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace zeb7 {

// Maps port numbers 1..20 to device paths: an explicit entry wins; numbers
// without one are filled, in order, with the system's serial devices that are
// not bound explicitly.
class TPortTable {
 public:
  static constexpr int32_t kMaxPort = 20;

  explicit TPortTable(std::string sysClassTty = "/sys/class/tty", std::string devDir = "/dev");

  // An empty path removes the entry. Numbers outside 1..20 are ignored.
  void SetEntry(int32_t nPort, const std::string& path);
  std::string Entry(int32_t nPort) const;
  void ClearEntries();
  // Where the system's devices are looked up (tests point this elsewhere).
  void SetSystemFolders(const std::string& sysClassTty, const std::string& devDir);

  // The device for `nPort`, or "" when there is none.
  std::string DevicePath(int32_t nPort) const;
  // The device path, or "COM<n>" when the number has no device.
  std::string DisplayName(int32_t nPort) const;
  // Index 1..20 holds the device of that number ("" when none).
  std::array<std::string, kMaxPort + 1> Map() const;
  // ttyUSB*, ttyACM* and ttyS* under the tty class that have a device
  // behind them, naturally sorted, as paths in the device folder.
  std::vector<std::string> SystemDevices() const;

 private:
  mutable std::mutex FLock;
  std::string sSysClassTty;
  std::string sDevDir;
  std::array<std::string, kMaxPort + 1> aEntries;
};

// Compares embedded digit runs by value ("ttyS2" < "ttyS10").
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace zeb7
