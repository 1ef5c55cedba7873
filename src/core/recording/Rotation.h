#pragma once

#include <cstdint>
#include <string>

namespace kivo {

// Files by the clock: a recording cut into pieces at UTC boundaries, each a whole file of its
// kind, so that ship data systems and processing scripts get hourly or daily files.
//
// Boundaries are whole multiples of the period since 1970-01-01 00:00:00 UTC: an hour starts
// at hh:00:00, a day at 00:00:00 UTC (UTC has no leap seconds in this count), and a period of
// 600 s at every ten minutes.
std::int64_t PeriodStart(std::int64_t utcSeconds, std::int64_t periodSeconds);

// "cast.raw" begun at 2026-12-10 09:00:00 UTC -> "cast_20261210T090000Z.raw"; the stamp goes
// before the last extension of the name (not of a folder), or at the end without one.
std::string RotatedPath(const std::string& path, std::int64_t startUtcSeconds);

}  // namespace kivo
