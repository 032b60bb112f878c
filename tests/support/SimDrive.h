#pragma once
// The virtual drive for a test: in this process (SimServer in a thread of its own)
// or as a zeb7-sim child on its own pseudo-terminal.
#include <memory>
#include <string>
#include <vector>

#include "DriveDescription.h"
#include "SimProcess.h"
#include "SimServer.h"

namespace zeb7::test {

// A started in-process drive; it stops when the pointer goes.
std::unique_ptr<sim::SimServer> StartSimServer(sim::SimOptions options = {},
                                               sim::DriveDescription drive = sim::defaultDrive());

// zeb7-sim of this build with `args` (e.g. {"--drop", "0.1", "--log", path});
// devicePath() names its terminal.
class SimChild : public sim::SimProcess {
 public:
  explicit SimChild(const std::vector<std::string>& args = {});
};

}  // namespace zeb7::test
