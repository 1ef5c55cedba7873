#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/position/PositionFix.h"

namespace kivo {

// True when the file's first line that is not blank begins as an NMEA 0183 sentence ("$" or
// "!").
bool LooksLikeNmea(const std::string& path);

// The fixes of an NMEA 0183 log (GGA and RMC sentences with their dates), decoded by gpsd's
// own gpsdecode (package gpsd-clients) and read back through libgps: one fix per cycle of
// sentences, in the log's order. Nothing, and `error` set, when gpsdecode cannot be run or
// fails.
std::optional<std::vector<PositionFix>> ReadNmeaLog(const std::string& path, std::string& error);

}  // namespace kivo
