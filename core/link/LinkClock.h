#pragma once
// The link's sense of time: a millisecond tick and a sleep, injectable so that
// tests run the worker's timeouts on a clock of their own.
#include <cstdint>

namespace zeb7 {

// Millisecond tick (wraps at 2^32) and sleep; injectable for tests.
class TLinkClock {
 public:
  virtual ~TLinkClock() = default;
  virtual uint32_t Tick() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

class TSteadyClock : public TLinkClock {
 public:
  uint32_t Tick() override;
  void Sleep(uint32_t ms) override;
};

// The process's real clock.
TLinkClock& SteadyClock();

// Wrap-safe "a is later than b" for millisecond ticks.
inline bool TickAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

}  // namespace zeb7
