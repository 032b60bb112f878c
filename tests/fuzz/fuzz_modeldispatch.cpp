// Answers of any shape fed to the data model's dispatcher and negative-answer
// routing, interleaved with the idle producer and the main thread's resets and
// lookups. Input: records of kind, command, target, length, data.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "model/DriveModel.h"

namespace {

class NullLink : public zeb7::ITelegramLink {
 public:
  bool Opened() const override { return true; }
  int GetSendQueueSize() const override { return 0; }
  void PostTelegram(std::unique_ptr<zeb7::TTelegram>) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeb7::TDriveModel m;
  NullLink link;
  m.ExchVars.SetLink(&link);
  m.ProjectState.Restart();
  size_t i = 0;
  int records = 0;
  while (i + 4 <= size && records < 400) {
    ++records;
    const uint8_t kind = data[i];
    zeb7::TTelegram t;
    t.ttType = static_cast<zeb7::TTelegramType>(1 + kind % 3);
    t.bCommand = data[i + 1];
    t.bTarget = data[i + 2] % 12;  // mostly valid targets, some above 9
    t.bLength = data[i + 3];
    i += 4;
    for (int k = 0; k < t.bLength && i < size; ++k, ++i) t.baData[static_cast<size_t>(k)] = data[i];
    const bool refusalTaken = t.ttType == zeb7::ttNak && m.ProjectState.HandleNakTelegram(t);
    if (!refusalTaken) m.ExchVars.Dispatch(t);
    m.ExchVars.Idle();
    switch (kind >> 4) {
      case 1:
        m.ProjectState.Reset();
        m.ProjectState.SearchParams();
        break;
      case 2:
        for (int p = 0; p < m.ParameterList.Count(); ++p) (void)m.ParameterList.At(p)->sGroupName();
        break;
      case 3:
        m.Status.ShowStatusMessage("x");
        break;
      default:
        break;
    }
  }
  return 0;
}
