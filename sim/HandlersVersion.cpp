// Command 3: firmware version, global checksum and table sizes (24 bytes).
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

namespace zeb7::sim {

namespace {

void version(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  const SimTarget& t = drive.description().targets[req.bTarget];
  tdata::SetDWord(ans, 0, t.version);
  tdata::SetDWord(ans, 4, t.globalChecksum());
  tdata::SetWord(ans, 8, uint32_t(t.driveModes.size()));
  tdata::SetWord(ans, 10, uint32_t(t.groups.size()));
  tdata::SetWord(ans, 12, uint32_t(t.typePlate.size()));
  tdata::SetWord(ans, 14, t.word7);
  tdata::SetWord(ans, 16, t.word8);
  tdata::SetWord(ans, 18, t.paramVersion);
  tdata::SetWord(ans, 20, t.word10);
  tdata::SetWord(ans, 22, uint32_t(t.parameters.size()));
  ans.bLength = 24;
}

}  // namespace

void registerVersionCommands(VirtualDrive& drive) { drive.setHandler(kCmdVersion, version); }

}  // namespace zeb7::sim
