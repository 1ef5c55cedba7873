#pragma once

#include <string>

namespace kivo {

// True when `path` (symbolic links followed) names a regular file. Settings and device
// files are opened only then: a FIFO would block the open, a device such as /dev/zero
// never ends, and a folder cannot be read; all of them are treated like a missing file.
// Never blocks.
bool IsRegularFile(const std::string& path);

}  // namespace kivo
