#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// SHA-256 of some bytes, as 64 lower-case hex digits: what `sha256sum` prints.
std::string Sha256Hex(std::string_view bytes);

// SHA-256 of a regular file's contents; nothing when it cannot be read (a FIFO, a device
// or a folder is never opened for it). Files stamped into exports and the event log are
// identified this way, so a reader can tell whether two files came from one calibration.
std::optional<std::string> Sha256HexOfFile(const std::string& path);

}  // namespace kivo
