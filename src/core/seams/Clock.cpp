#include "core/seams/Clock.h"

#include <chrono>
#include <ctime>

namespace kivo {

namespace {
LocalTime FromParts(const std::tm& parts) {
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    return t;
}
}  // namespace

LocalTime SystemClock::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return FromParts(parts);
}

LocalTime Clock::UtcNow() {
    const std::int64_t ms = UtcMilliseconds();
    // Whole seconds toward the past, also before 1970.
    const std::int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    const auto now = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&now, &parts);
    return FromParts(parts);
}

std::string Clock::LocalZoneName() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    char name[64] = {};
    if (std::strftime(name, sizeof name, "%Z", &parts) == 0) return "local";
    return name;
}

std::int64_t Clock::UtcMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t Clock::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kivo
