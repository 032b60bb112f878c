#include "link/LinkClock.h"

#include <chrono>
#include <thread>

namespace zeb7 {

uint32_t TSteadyClock::Tick() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TSteadyClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TLinkClock& SteadyClock() {
  static TSteadyClock clock;
  return clock;
}

}  // namespace zeb7
