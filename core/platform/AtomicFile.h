#pragma once
// Replaces a file so that a crash, a full disk or a kill at any moment leaves
// either the old or the new content, never a mix: the bytes go to a new file
// beside the target, are flushed to the disk, then renamed over it.
#include <string>
#include <string_view>

namespace zeb7 {

// Writes `bytes` to `path` atomically. On failure nothing at `path` changes,
// the temporary file is removed and `error` says why ("cannot create/write/
// replace "<path>": <reason>"). A symbolic link stays a link (the file it
// points to is replaced); the replaced file's permissions are kept; devices
// and pipes are written in place.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// strerror as a std::string.
std::string ErrnoText(int err);

}  // namespace zeb7
