#include "Zeb7Version.h"

// The build passes project(VERSION) in; a build without it still says something true.
#ifndef ZEB7_VERSION
#define ZEB7_VERSION "unknown"
#endif

namespace zeb7 {
const char* versionString() { return ZEB7_VERSION; }
}
