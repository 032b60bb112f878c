// Commands 100-103 (service mode) and 70-73 (flash state, erase, program), and the
// flash read-back as upload sources 0x10, 0x20 and 0x30 (commands 50-52).
#include "SimFlash.h"
#include "VirtualDrive.h"
#include "link/TelegramData.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace zeb7::sim {

namespace {

std::mutex gRegistryLock;
std::map<const VirtualDrive*, std::weak_ptr<SimFlash>> gRegistry;

// How many state polls a connect answers "connecting" before "connected".
constexpr int kConnectPolls = 2;

void serviceAnswer(const SimFlash& f, TTelegram& ans) {
  ans.bLength = 2;
  tdata::SetByte(ans, 0, f.serviceState);
}

void flashAnswer(const SimFlash& f, const SimFlashTarget* t, TTelegram& ans) {
  ans.bLength = kFlashAnswerLength;
  tdata::SetByte(ans, 0, f.flashState);
  tdata::SetByte(ans, 2, uint8_t(f.flashError));
  tdata::SetWord(ans, 4, t ? t->id : 0);
}

void fail(SimFlash& f, int8_t code) {
  f.flashState = kFlashStateError;
  f.flashError = code;
}

// The connected target addressed by a flash command, or an error reported.
SimFlashTarget* flashTargetOf(SimFlash& f, const TTelegram& req) {
  if (f.serviceState != kServiceConnected || f.connected != req.bTarget) {
    fail(f, kSimFlashErrNotConnected);
    return nullptr;
  }
  return f.target(req.bTarget);
}

// An injected failure of the next program or erase.
bool injectedFailure(SimFlash& f) {
  if (f.failAfter < 0) return false;
  if (f.failAfter-- > 0) return false;
  fail(f, kSimFlashErrInjected);
  return true;
}

void onService(SimFlash& f, const TTelegram& req, TTelegram& ans) {
  switch (req.bCommand) {
    case kCmdServiceConnect:
      if (req.bLength < 1 || !f.target(req.baData[0])) {
        ans.ttType = ttNak;
        return;
      }
      f.connected = req.baData[0];
      f.serviceState = kServiceConnecting;
      f.connectPolls = kConnectPolls;
      f.flashState = 0;
      f.flashError = 0;
      break;
    case kCmdServiceState:
      if (f.serviceState == kServiceConnecting && !f.stayConnecting && f.connectPolls-- <= 0)
        f.serviceState = kServiceConnected;
      break;
    case kCmdServiceDisconnect: f.serviceState = kServiceDisconnected; break;
    case kCmdNormalMode:
      f.serviceState = kServiceNormalMode;
      f.connected = 0;
      break;
  }
  serviceAnswer(f, ans);
}

void onErase(SimFlash& f, const TTelegram& req, TTelegram& ans) {
  SimFlashTarget* t = flashTargetOf(f, req);
  if (t && !injectedFailure(f)) {
    uint32_t from = t->base, to = t->base + uint32_t(t->bytes.size());
    if (req.bCommand == kCmdFlashErase) {
      from = tdata::DWord(req, 0);
      to = std::max(tdata::DWord(req, 4), from + 1);
    }
    if (req.bCommand == kCmdFlashErase && (req.bLength < 8 || !t->contains(from, to - from))) {
      fail(f, kSimFlashErrAddress);
    } else {
      // Whole pages: the first and the last page touched are erased entirely.
      const uint32_t first = (from - t->base) / t->pageSize * t->pageSize;
      const uint32_t last = std::min<uint32_t>(uint32_t(t->bytes.size()),
                                               ((to - t->base) + t->pageSize - 1) / t->pageSize * t->pageSize);
      std::fill(t->bytes.begin() + first, t->bytes.begin() + last, 0xFF);
      f.flashState = kFlashStateErased;
      f.flashError = 0;
    }
  }
  flashAnswer(f, t, ans);
}

void onProgram(SimFlash& f, const TTelegram& req, TTelegram& ans) {
  if (f.silentAfter >= 0 && f.silentAfter-- == 0) {
    f.silentAfter = f.silentCount > 1 ? 0 : -1;
    --f.silentCount;
    ans.ttType = ttNone;  // the request is taken, the answer never comes
    return;
  }
  SimFlashTarget* t = flashTargetOf(f, req);
  if (t && !injectedFailure(f)) {
    const uint32_t address = tdata::DWord(req, 0);
    const uint32_t n = req.bLength > 4 ? uint32_t(req.bLength - 4) : 0;
    if (n == 0 || n > kFlashBlockBytes || !t->contains(address, n)) {
      fail(f, kSimFlashErrAddress);
    } else {
      uint8_t* at = t->bytes.data() + (address - t->base);
      const uint8_t* src = req.baData.data() + 4;
      bool ok = true;
      for (uint32_t i = 0; i < n && ok; ++i) ok = at[i] == 0xFF || at[i] == src[i];
      if (!ok) {
        fail(f, kSimFlashErrNotErased);
      } else {
        std::copy(src, src + n, at);
        if (f.stuckAddress >= address && f.stuckAddress < int64_t(address) + n) at[f.stuckAddress - address] = 0xFF;
        f.flashState = kFlashStateBlockProgrammed;
        f.flashError = 0;
      }
    }
  }
  flashAnswer(f, t, ans);
}

void onFlashState(SimFlash& f, const TTelegram& req, TTelegram& ans) { flashAnswer(f, f.target(req.bTarget), ans); }

// Upload source: a block read names its 32-bit address in words 0 and 1.
void readBlock(SimFlash& f, uint16_t number, const TTelegram& req, TTelegram& ans) {
  const SimFlashTarget* t = f.target(number);
  const uint32_t address = tdata::DWord(req, 0);
  if (!t || req.bLength < 4 || !t->contains(address, kFlashBlockBytes)) {
    ans.ttType = ttNak;
    return;
  }
  ans.bLength = kFlashBlockAnswerLength;
  tdata::SetDWord(ans, 0, address);
  std::copy_n(t->bytes.begin() + (address - t->base), kFlashBlockBytes, ans.baData.begin() + 4);
}

}  // namespace

SimFlash::SimFlash() {
  const struct {
    uint16_t number;
    const char* name;
    uint32_t base, size;
    uint16_t id;
  } kLayout[] = {{kFlashTargetSTR710, "STR710", 0x000000, 512 * 1024, 0x0710},
                 {kFlashTargetDSP, "DSP", 0x100000, 256 * 1024, 0x0320},
                 {kFlashTargetFPGA, "FPGA", 0x200000, 1024 * 1024, 0x0F30}};
  for (const auto& l : kLayout) {
    SimFlashTarget t;
    t.number = l.number;
    t.name = l.name;
    t.base = l.base;
    t.id = l.id;
    t.bytes.assign(l.size, 0xFF);
    targets.push_back(std::move(t));
  }
}

SimFlashTarget* SimFlash::target(uint16_t number) {
  for (auto& t : targets)
    if (t.number == number) return &t;
  return nullptr;
}

SimFlash& simFlash(VirtualDrive& drive) {
  std::lock_guard lock(gRegistryLock);
  auto sp = gRegistry[&drive].lock();
  if (!sp) throw std::logic_error("drive without flash");
  return *sp;  // kept alive by the drive's handlers
}

std::string dumpSimFlash(const SimFlash& flash, const std::string& dir) {
  for (const auto& t : flash.targets) {
    char name[32];
    std::snprintf(name, sizeof name, "/flash-0x%02X.bin", unsigned(t.number));
    std::string error;
    if (!WriteFileAtomically(dir + name, std::string_view(reinterpret_cast<const char*>(t.bytes.data()), t.bytes.size()),
                             error))
      return error;
  }
  return {};
}

std::string applyFlashControl(VirtualDrive& drive, const std::string& op, const std::string& jsonLine,
                              bool& handled) {
  handled = op == "flash-fail" || op == "flash-silent" || op == "flash-stay-connecting" || op == "dump-flash" ||
            op == "flash-stuck";
  if (!handled) return {};
  const nlohmann::json j = nlohmann::json::parse(jsonLine);
  SimFlash& f = simFlash(drive);
  if (op == "flash-fail") {
    f.failAfter = j.value("after", 0);
  } else if (op == "flash-silent") {
    f.silentAfter = j.value("after", 0);
    f.silentCount = std::max(1, j.value("count", 1));
  } else if (op == "flash-stuck") {
    f.stuckAddress = j.value("address", int64_t(-1));
  } else if (op == "flash-stay-connecting") {
    f.stayConnecting = j.value("on", true);
  } else {
    return dumpSimFlash(f, j.at("dir").get<std::string>());
  }
  return {};
}

void registerFlashCommands(VirtualDrive& drive) {
  auto flash = std::make_shared<SimFlash>();
  {
    std::lock_guard lock(gRegistryLock);
    for (auto it = gRegistry.begin(); it != gRegistry.end();)
      it = it->second.expired() ? gRegistry.erase(it) : std::next(it);
    gRegistry[&drive] = flash;
  }
  auto bind = [flash](void (*fn)(SimFlash&, const TTelegram&, TTelegram&)) {
    return [flash, fn](VirtualDrive&, const TTelegram& req, TTelegram& ans) { fn(*flash, req, ans); };
  };
  for (uint8_t c : {kCmdServiceConnect, kCmdServiceState, kCmdServiceDisconnect, kCmdNormalMode})
    drive.setHandler(c, bind(onService));
  drive.setHandler(kCmdFlashState, bind(onFlashState));
  drive.setHandler(kCmdFlashErase, bind(onErase));
  drive.setHandler(kCmdFlashEraseAll, bind(onErase));
  drive.setHandler(kCmdFlashProgram, bind(onProgram));
  for (uint16_t n : {kFlashTargetSTR710, kFlashTargetDSP, kFlashTargetFPGA})
    drive.setUploadSource(n, [flash, n](VirtualDrive&, const TTelegram& req, TTelegram& ans) {
      readBlock(*flash, n, req, ans);
    });
}

}  // namespace zeb7::sim
