#pragma once

namespace zeb7 {
// The version of the build (the project's one number), as "0.1".
const char* versionString();
}
