// Commands 10 to 15 (value and descriptor reads) and 20 (value write).
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

#include <algorithm>

namespace zeb7::sim {

namespace {

// The parameter addressed by data word 0, or nullptr (the request is refused).
SimParameter* addressed(VirtualDrive& drive, const TTelegram& req, int& index) {
  if (req.bLength < 2) return nullptr;
  index = tdata::Word(req, 0);
  auto& params = drive.description().targets[req.bTarget].parameters;
  if (index >= int(params.size())) return nullptr;
  return &params[size_t(index)];
}

void putValue(TTelegram& ans, int index, const SimParameter& p) {
  tdata::SetWord(ans, 0, uint32_t(index));
  tdata::SetWord(ans, 2, p.checksum(index));
  if (p.wide) {
    tdata::SetInt64(ans, 4, p.value);
    ans.bLength = 12;
  } else {
    tdata::SetDWord(ans, 4, uint32_t(uint64_t(p.value)));
    ans.bLength = 8;
  }
}

void readValue(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  int index = 0;
  SimParameter* p = addressed(drive, req, index);
  if (!p) {
    ans.ttType = ttNak;
    return;
  }
  putValue(ans, index, *p);
}

void readDescriptor(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  int index = 0;
  SimParameter* p = addressed(drive, req, index);
  if (!p) {
    ans.ttType = ttNak;
    return;
  }
  tdata::SetWord(ans, 0, uint32_t(index));
  tdata::SetWord(ans, 2, p->checksum(index));
  tdata::SetByte(ans, 4, p->bGroup);
  tdata::SetByte(ans, 5, uint8_t(p->iType));
  const std::string* text = nullptr;
  switch (req.bCommand) {
    case kCmdGetFirmwareName: text = &p->sFirmwareName; break;
    case kCmdGetControl: text = &p->sControl; break;
    case kCmdGetCaption: text = &p->sCaption; break;
    default: text = &p->sControlProperties; break;
  }
  ans.bLength = uint8_t(6 + tdata::SetText(ans, 6, *text, 255 - 7));
}

// A write carries index, the descriptor checksum the PC holds and the new value; a
// stale checksum means the PC's idea of the parameter is out of date: refuse it.
void writeValue(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  int index = 0;
  SimParameter* p = addressed(drive, req, index);
  if (!p || req.bLength < 8 || tdata::Word(req, 2) != p->checksum(index)) {
    ans.ttType = ttNak;
    return;
  }
  int64_t v;
  if (req.bLength >= 12)
    v = tdata::Int64(req, 4);
  else
    v = int64_t(int32_t(tdata::DWord(req, 4)));
  if (!p->wide) v = int64_t(int32_t(uint32_t(v)));
  if (p->minValue) v = std::max(v, *p->minValue);
  if (p->maxValue) v = std::min(v, *p->maxValue);
  p->value = v;
  putValue(ans, index, *p);
}

}  // namespace

void registerParameterCommands(VirtualDrive& drive) {
  drive.setHandler(kCmdGetValue, readValue);
  drive.setHandler(kCmdGetValue2, readValue);
  for (uint8_t c : {kCmdGetFirmwareName, kCmdGetControl, kCmdGetCaption, kCmdGetProperties})
    drive.setHandler(c, readDescriptor);
  drive.setHandler(kCmdSetValue, writeValue);
}

}  // namespace zeb7::sim
