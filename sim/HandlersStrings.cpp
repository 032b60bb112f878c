// Commands 30, 31, 32, 38, 39 (string reads, modes 0 and 1) and 33 (type plate write).
#include "VirtualDrive.h"

namespace zeb7::sim {

namespace {

// The table a string command addresses; nullptr when the drive has no such table.
const std::vector<std::string>* table(SimTarget& t, uint8_t command, std::vector<std::string>& scratch) {
  switch (command) {
    case 30:
    case 38:
    case 39:
      if (command == 38 && !t.hasGroupDescriptions) return nullptr;
      if (command == 39 && !t.hasGroupParents) return nullptr;
      scratch.clear();
      for (const auto& g : t.groups)
        scratch.push_back(command == 30 ? g.name : command == 38 ? g.description : g.parent);
      return &scratch;
    case 31: return &t.driveModes;
    case 32: return &t.typePlate;
    default: return nullptr;
  }
}

void readString(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  std::vector<std::string> scratch;
  const auto* tab = table(drive.description().targets[req.bTarget], req.bCommand, scratch);
  if (!tab || req.bLength < 2 || get16(req, 0) >= tab->size()) {
    ans.ttType = ttNak;
    return;
  }
  const int index = get16(req, 0);
  const std::string& s = (*tab)[size_t(index)];
  put16(ans, 0, uint32_t(index));
  put16(ans, 2, stringChecksum(index, s));
  const int mode = req.bLength >= 3 ? req.baData[2] : 0;
  ans.bLength = 4;
  if (mode == 0) ans.bLength = uint8_t(4 + putText(ans, 4, s, 255 - 5));
}

// The write names the checksum of the line it replaces; a repeat of a write that
// already took effect finds the new text in place and is acknowledged again.
void writeTypePlate(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  auto& lines = drive.description().targets[req.bTarget].typePlate;
  if (req.bLength < 4 || get16(req, 0) >= lines.size()) {
    ans.ttType = ttNak;
    return;
  }
  const int index = get16(req, 0);
  const std::string text = getText(req, 4);
  std::string& line = lines[size_t(index)];
  if (line != text && get16(req, 2) != stringChecksum(index, line)) {
    ans.ttType = ttNak;
    return;
  }
  line = text;
  ans.ttType = ttAck;
}

}  // namespace

void registerStringCommands(VirtualDrive& drive) {
  for (uint8_t c : {30, 31, 32, 38, 39}) drive.setHandler(c, readString);
  drive.setHandler(33, writeTypePlate);
}

}  // namespace zeb7::sim
