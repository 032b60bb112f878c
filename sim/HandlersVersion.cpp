// Command 3: firmware version, global checksum and table sizes (24 bytes).
#include "VirtualDrive.h"

namespace zeb7::sim {

namespace {

void version(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  const SimTarget& t = drive.description().targets[req.bTarget];
  put32(ans, 0, t.version);
  put32(ans, 4, t.globalChecksum());
  put16(ans, 8, uint32_t(t.driveModes.size()));
  put16(ans, 10, uint32_t(t.groups.size()));
  put16(ans, 12, uint32_t(t.typePlate.size()));
  put16(ans, 14, t.word7);
  put16(ans, 16, t.word8);
  put16(ans, 18, t.paramVersion);
  put16(ans, 20, t.word10);
  put16(ans, 22, uint32_t(t.parameters.size()));
  ans.bLength = 24;
}

}  // namespace

void registerVersionCommands(VirtualDrive& drive) { drive.setHandler(3, version); }

}  // namespace zeb7::sim
