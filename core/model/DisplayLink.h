#pragma once
// What the parameter database does to the display windows that show a
// parameter. The GUI's display windows implement IDisplayWin; the core never
// sees a widget.
#include <cstdint>
#include <vector>

namespace zeb7 {

struct TDispParam;

// Verification state of a display window against the database.
enum TDispWinState : uint8_t {
  dwsVerified,
  dwsNotVerified,
  dwsNotValid,
  dwsUpdated,
  dwsReplaced,
  dwsUpdateFromParam,
};

const char* DispWinStateName(TDispWinState state);

class IDisplayWin;
// Display windows registered with one parameter, not owned.
using TDisplayList = std::vector<IDisplayWin*>;

class IDisplayWin {
 public:
  virtual ~IDisplayWin() = default;
  // The drive's raw value for this window's parameter.
  virtual void SetRawValue(int64_t raw) = 0;
  // The raw value the user entered (sent by SendeNeuenWert).
  virtual int64_t GetRawValue() const = 0;
  // The window's own copy of the descriptor (target, index, checksum, name ...).
  virtual const TDispParam& GetLocalParam() const = 0;
  virtual void SetDispWinState(TDispWinState state) = 0;
  // The drive reported a changed descriptor: bring the window up to date. A
  // window whose control kind changed replaces itself in `list` by one of the
  // right class and releases itself later.
  virtual void UpdateDisplayWinFromParameter(const TDispParam& param, TDisplayList& list) = 0;
};

}  // namespace zeb7
