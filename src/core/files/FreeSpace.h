#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kivo {

// The bytes an ordinary program may still write on the file system that holds `path` (a
// file or a folder); nothing when it cannot be told.
std::optional<std::int64_t> FreeBytesAt(const std::string& path);

}  // namespace kivo
