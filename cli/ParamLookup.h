#pragma once
// Finding a parameter named on the command line, for get and set.
#include "DriveSession.h"

#include <string>

namespace zeb7ctl {

// The parameter with that firmware name (UTF-8 on the command line) on
// `target`, or nullptr after printing why.
zeb7::TParameter* findParameter(DriveSession& session, const std::string& name, int target);

// Registers a probe with the parameter and waits for the next value it gets.
// False with `why` when none comes.
bool awaitValue(DriveSession& session, zeb7::TParameter& p, ValueProbe& probe, size_t count, std::string& why);

}  // namespace zeb7ctl
