#pragma once
// The drive's three flash memories and its service mode, shared by the flash
// command handlers, the control channel and zeb7-sim's flash dump.
//
// Layout (plausible for the parts, small enough for tests):
//   0x10 "STR710"  base 0x000000, 512 KiB, 4 KiB pages
//   0x20 "DSP"     base 0x100000, 256 KiB, 4 KiB pages
//   0x30 "FPGA"    base 0x200000,   1 MiB, 4 KiB pages
// Erased bytes read 0xFF. Programming refuses addresses outside the target and
// bytes that are neither erased nor already holding the value written (so that a
// repeated block after a lost answer is harmless).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zeb7::sim {

class VirtualDrive;

struct SimFlashTarget {
  uint16_t number = 0;
  const char* name = "";
  uint32_t base = 0;
  uint32_t pageSize = 0x1000;
  uint16_t id = 0;  // reported flash identification word
  std::vector<uint8_t> bytes;
  bool contains(uint32_t address, uint32_t length) const {
    return address >= base && uint64_t(address) + length <= uint64_t(base) + bytes.size();
  }
};

// Flash error codes reported in byte 2 of a flash state answer.
inline constexpr int8_t kSimFlashErrAddress = -1;     // outside the target
inline constexpr int8_t kSimFlashErrNotErased = -2;   // programming over data
inline constexpr int8_t kSimFlashErrNotConnected = -3;
inline constexpr int8_t kSimFlashErrInjected = -5;    // asked for by the control channel

struct SimFlash {
  SimFlash();
  SimFlashTarget* target(uint16_t number);

  std::vector<SimFlashTarget> targets;
  uint8_t serviceState = 1;     // 1 normal, 2 disconnected, 3 connecting, 4 connected
  uint16_t connected = 0;       // flash target of the service link
  int connectPolls = 0;         // state polls still answered "connecting"
  uint8_t flashState = 0;
  int8_t flashError = 0;
  // Control channel: the next program or erase after `failAfter` more succeeds fails.
  int failAfter = -1;
  // Control channel: answers to program requests withheld after `silentAfter` more.
  int silentAfter = -1;
  int silentCount = 0;
  bool stayConnecting = false;  // never finishes connecting
  // Control channel: a worn cell that stays erased while programming reports success.
  int64_t stuckAddress = -1;
};

// The flash of a drive (created by registerFlashCommands); the caller holds the drive's mutex.
SimFlash& simFlash(VirtualDrive& drive);

// Writes each target's whole flash to DIR/flash-0xNN.bin (atomically); "" or the reason.
std::string dumpSimFlash(const SimFlash& flash, const std::string& dir);

// Control commands of the flash (see ControlCommands.h); "" or why not; `handled`
// tells whether `op` was one of them.
std::string applyFlashControl(VirtualDrive& drive, const std::string& op, const std::string& jsonLine,
                              bool& handled);

}  // namespace zeb7::sim
