#include "Zeb7Version.h"

namespace zeb7 {
const char* versionString() { return "0.1"; }
}
