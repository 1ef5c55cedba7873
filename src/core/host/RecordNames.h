#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kivo {

// "1024 bytes": a file's size as the event log tells it.
inline std::string BytesText(std::int64_t bytes) { return std::to_string(bytes) + " bytes"; }

// "KIVO9-123" of "/home/op/KIVO9-123.dev": a file's name without folder and extension.
std::string FileStem(const std::string& path);

// A record file's name that needs no typing: "<stem>_<yyyymmddThhmmssZ>.<extension>" in
// `folder` (empty: the current one), at the UTC time given. A name `exists` says is taken
// is never proposed: the time steps on a second at a time until one is free.
std::string ProposeRecordPath(const std::string& folder, const std::string& stem,
                              std::int64_t utcMilliseconds, const std::string& extension,
                              const std::function<bool(const std::string&)>& exists);

}  // namespace kivo
