// Commands 30, 31, 32, 38, 39 (string reads, modes 0 and 1) and 33 (type plate write).
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

namespace zeb7::sim {

namespace {

// The table a string command addresses; nullptr when the drive has no such table.
const std::vector<std::string>* table(SimTarget& t, uint8_t command, std::vector<std::string>& scratch) {
  switch (command) {
    case kCmdGroupName:
    case kCmdGroupDescription:
    case kCmdGroupParent:
      if (command == kCmdGroupDescription && !t.hasGroupDescriptions) return nullptr;
      if (command == kCmdGroupParent && !t.hasGroupParents) return nullptr;
      scratch.clear();
      for (const auto& g : t.groups)
        scratch.push_back(command == kCmdGroupName          ? g.name
                          : command == kCmdGroupDescription ? g.description
                                                            : g.parent);
      return &scratch;
    case kCmdDriveMode: return &t.driveModes;
    case kCmdTypePlate: return &t.typePlate;
    default: return nullptr;
  }
}

void readString(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  std::vector<std::string> scratch;
  const auto* tab = table(drive.description().targets[req.bTarget], req.bCommand, scratch);
  if (!tab || req.bLength < 2 || tdata::Word(req, 0) >= tab->size()) {
    ans.ttType = ttNak;
    return;
  }
  const int index = tdata::Word(req, 0);
  const std::string& s = (*tab)[size_t(index)];
  tdata::SetWord(ans, 0, uint32_t(index));
  tdata::SetWord(ans, 2, tdata::StringChecksum(index, s));
  const int mode = req.bLength >= 3 ? req.baData[2] : 0;
  ans.bLength = 4;
  if (mode == 0) ans.bLength = uint8_t(4 + tdata::SetText(ans, 4, s, 255 - 5));
}

// The write names the checksum of the line it replaces; a repeat of a write that
// already took effect finds the new text in place and is acknowledged again.
void writeTypePlate(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  auto& lines = drive.description().targets[req.bTarget].typePlate;
  if (req.bLength < 4 || tdata::Word(req, 0) >= lines.size()) {
    ans.ttType = ttNak;
    return;
  }
  const int index = tdata::Word(req, 0);
  const std::string text = tdata::Text(req, 4);
  std::string& line = lines[size_t(index)];
  if (line != text && tdata::Word(req, 2) != tdata::StringChecksum(index, line)) {
    ans.ttType = ttNak;
    return;
  }
  line = text;
  ans.ttType = ttAck;
}

}  // namespace

void registerStringCommands(VirtualDrive& drive) {
  for (uint8_t c : {kCmdGroupName, kCmdDriveMode, kCmdTypePlate, kCmdGroupDescription, kCmdGroupParent})
    drive.setHandler(c, readString);
  drive.setHandler(kCmdWriteTypePlate, writeTypePlate);
}

}  // namespace zeb7::sim
