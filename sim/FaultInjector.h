#pragma once
// Line faults of the virtual drive, decided per answer from a seeded generator so a
// run with the same seed and the same request sequence injects the same faults.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zeb7::sim {

struct FaultRates {
  double drop = 0;      // answer not sent
  double corrupt = 0;   // answer sent with a wrong checksum or broken stuffing
  double delay = 0;     // answer sent after delayMs
  double nak = 0;       // negative acknowledge instead of the answer
  double garbage = 0;   // noise bytes before the answer
  int delayMs = 250;
  uint64_t seed = 1;

  bool any() const { return drop > 0 || corrupt > 0 || delay > 0 || nak > 0 || garbage > 0; }
};

enum class Corruption { None, Checksum, Stuffing };

struct FaultDecision {
  bool drop = false;
  bool nak = false;
  bool delay = false;
  Corruption corruption = Corruption::None;
  std::vector<uint8_t> garbage;
  uint32_t position = 0;  // where a stuffing fault goes (scaled to the frame)

  std::string describe() const;  // "drop", "nak+delay", ... ; empty when clean
};

class FaultInjector {
 public:
  explicit FaultInjector(const FaultRates& rates) : rates_(rates), rng_(rates.seed) {}

  // Always consumes the same number of draws, whatever is decided.
  FaultDecision decide();
  const FaultRates& rates() const { return rates_; }

  // Breaks an encoded frame: a wrong checksum byte, or a frame escape inside the body
  // followed by a byte that is not the stuffing byte.
  static void corrupt(std::vector<uint8_t>& frame, Corruption how, uint32_t position);

 private:
  FaultRates rates_;
  std::mt19937_64 rng_;
};

}  // namespace zeb7::sim
