// Commands 10 to 15 (value and descriptor reads) and 20 (value write).
#include "VirtualDrive.h"

#include <algorithm>

namespace zeb7::sim {

namespace {

// The parameter addressed by data word 0, or nullptr (the request is refused).
SimParameter* addressed(VirtualDrive& drive, const TTelegram& req, int& index) {
  if (req.bLength < 2) return nullptr;
  index = get16(req, 0);
  auto& params = drive.description().targets[req.bTarget].parameters;
  if (index >= int(params.size())) return nullptr;
  return &params[size_t(index)];
}

void putValue(TTelegram& ans, int index, const SimParameter& p) {
  put16(ans, 0, uint32_t(index));
  put16(ans, 2, p.checksum(index));
  const uint64_t v = uint64_t(p.value);
  put32(ans, 4, uint32_t(v));
  if (p.wide) {
    put32(ans, 8, uint32_t(v >> 32));
    ans.bLength = 12;
  } else {
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
  put16(ans, 0, uint32_t(index));
  put16(ans, 2, p->checksum(index));
  put8(ans, 4, p->bGroup);
  put8(ans, 5, uint8_t(p->iType));
  const std::string* text = nullptr;
  switch (req.bCommand) {
    case 12: text = &p->sFirmwareName; break;
    case 13: text = &p->sControl; break;
    case 14: text = &p->sCaption; break;
    default: text = &p->sControlProperties; break;
  }
  ans.bLength = uint8_t(6 + putText(ans, 6, *text, 255 - 7));
}

// A write carries index, the descriptor checksum the PC holds and the new value; a
// stale checksum means the PC's idea of the parameter is out of date: refuse it.
void writeValue(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  int index = 0;
  SimParameter* p = addressed(drive, req, index);
  if (!p || req.bLength < 8 || get16(req, 2) != p->checksum(index)) {
    ans.ttType = ttNak;
    return;
  }
  int64_t v;
  if (req.bLength >= 12)
    v = int64_t(uint64_t(get32(req, 4)) | (uint64_t(get32(req, 8)) << 32));
  else
    v = int64_t(int32_t(get32(req, 4)));
  if (!p->wide) v = int64_t(int32_t(uint32_t(v)));
  if (p->minValue) v = std::max(v, *p->minValue);
  if (p->maxValue) v = std::min(v, *p->maxValue);
  p->value = v;
  putValue(ans, index, *p);
}

}  // namespace

void registerParameterCommands(VirtualDrive& drive) {
  drive.setHandler(10, readValue);
  drive.setHandler(11, readValue);
  for (uint8_t c = 12; c <= 15; ++c) drive.setHandler(c, readDescriptor);
  drive.setHandler(20, writeValue);
}

}  // namespace zeb7::sim
