#pragma once

namespace zeb7 {
const char* versionString();
}
