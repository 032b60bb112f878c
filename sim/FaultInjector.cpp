#include "FaultInjector.h"

namespace zeb7::sim {

namespace {
constexpr uint8_t kDle = 0x31;
}

std::string FaultDecision::describe() const {
  std::string s;
  auto add = [&s](const char* w) {
    if (!s.empty()) s += '+';
    s += w;
  };
  if (drop) add("drop");
  if (nak) add("nak");
  if (delay) add("delay");
  if (corruption == Corruption::Checksum) add("corrupt-checksum");
  if (corruption == Corruption::Stuffing) add("corrupt-stuffing");
  if (!garbage.empty()) add("garbage");
  return s;
}

FaultDecision FaultInjector::decide() {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  FaultDecision d;
  const double dropDraw = u(rng_), nakDraw = u(rng_), delayDraw = u(rng_), corruptDraw = u(rng_),
               kindDraw = u(rng_), garbageDraw = u(rng_);
  const uint64_t bits = rng_();
  d.drop = dropDraw < rates_.drop;
  d.nak = nakDraw < rates_.nak;
  d.delay = delayDraw < rates_.delay;
  if (corruptDraw < rates_.corrupt) d.corruption = kindDraw < 0.5 ? Corruption::Checksum : Corruption::Stuffing;
  d.position = uint32_t(bits);
  if (garbageDraw < rates_.garbage) {
    // 1 to 8 noise bytes; never the frame escape, so noise cannot open a frame.
    const int n = 1 + int((bits >> 32) & 7);
    uint64_t b = bits >> 35;
    for (int i = 0; i < n; ++i) {
      uint8_t byte = uint8_t((b >> (i * 3)) * 37 + i * 91 + 7);
      if (byte == kDle) byte = 0x55;
      d.garbage.push_back(byte);
    }
  }
  if (d.drop) {
    d.nak = d.delay = false;
    d.corruption = Corruption::None;
    d.garbage.clear();
  }
  return d;
}

void FaultInjector::corrupt(std::vector<uint8_t>& frame, Corruption how, uint32_t position) {
  if (frame.size() < 4) return;
  if (how == Corruption::Checksum) {
    frame.back() = uint8_t(frame.back() ^ 0x5A);
  } else if (how == Corruption::Stuffing) {
    // Between the two header bytes and the checksum; 0x7F after the escape is never
    // a stuffing byte nor a frame type.
    const size_t body = frame.size() - 3;
    const size_t at = 2 + (body ? position % body : 0);
    frame.insert(frame.begin() + long(at), {kDle, 0x7F});
  }
}

}  // namespace zeb7::sim
