#pragma once
// Per-target synchronisation record, read by the request cycle in the worker
// thread and written by the version handling in the main thread.
#include <array>
#include <atomic>
#include <cstdint>

namespace zeb7 {

inline constexpr int kTargetCount = 10;

enum TProjState : uint8_t {
  statLoadingPrj,
  statVolatileStrings,
  statComparingVersion,
  statComparingGroups,
  statComparingGroupDescr,
  statComparingGroupParents,
  statComparingParameters,
  statDone,
};

const char* ProjStateName(TProjState state);

struct TTargetInfo {
  std::atomic<bool> fNotPresent{false};
  std::atomic<bool> fVersionSeen{false};
  std::atomic<int32_t> iNakCount{0};
  int32_t iVersionCount = 0;
  std::atomic<TProjState> TargetState{statLoadingPrj};
  uint32_t Version = 0;
  int32_t ParamVersion = 0;
  uint32_t Checksum = 0;
  int32_t TypePlateCount = 0;
  int32_t DriveModeCount = 0;
  int32_t GroupCount = 0;
  int32_t ParamCount = 0;

  // "Filled with zeros": present, state statLoadingPrj, checksum 0.
  void Clear();
};

using TTargetInfoArray = std::array<TTargetInfo, kTargetCount>;

}  // namespace zeb7
