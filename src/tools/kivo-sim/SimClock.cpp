#include "SimClock.h"

#include <cstdio>
#include <ctime>

#include "core/data/MeterClockZone.h"

namespace kivo::sim {
namespace {

// The calendar arithmetic is the core's: seconds since 1970 of a civil time and back.
CivilTime CivilFromSeconds(long long seconds) {
    const CalendarTime t = UtcCalendarTime(seconds);
    return CivilTime{t.year, t.month, t.day, t.hour, t.minute, t.second};
}

long long SecondsFromCivil(const CivilTime& civil) {
    return static_cast<long long>(SecondsSinceEpoch(
        CalendarTime{civil.year, civil.month, civil.day, civil.hour, civil.minute, civil.second}));
}

bool ValidDate(int year, int month, int day) {
    return IsCalendarTime(CalendarTime{year, month, day, 0, 0, 0});
}

bool ValidTime(int hour, int minute, int second) {
    return IsCalendarTime(CalendarTime{2000, 1, 1, hour, minute, second});
}

}  // namespace

SimClock::SimClock(const CivilTime& start) { Restart(SecondsFromCivil(start)); }

void SimClock::Restart(long long secondsSinceEpoch) {
    baseSeconds_ = secondsSinceEpoch;
    baseAt_ = std::chrono::steady_clock::now();
}

CivilTime SimClock::Now() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - baseAt_);
    return CivilFromSeconds(baseSeconds_ + elapsed.count());
}

bool SimClock::SetTime(int hour, int minute, int second) {
    if (!ValidTime(hour, minute, second)) return false;
    CivilTime now = Now();
    now.hour = hour;
    now.minute = minute;
    now.second = second;
    Restart(SecondsFromCivil(now));
    return true;
}

bool SimClock::SetDate(int month, int day, int twoDigitYear) {
    if (twoDigitYear < 0 || twoDigitYear > 99) return false;
    const int year = 2000 + twoDigitYear;
    if (!ValidDate(year, month, day)) return false;
    CivilTime now = Now();
    now.year = year;
    now.month = month;
    now.day = day;
    Restart(SecondsFromCivil(now));
    return true;
}

CivilTime HostLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    CivilTime civil;
    civil.year = local.tm_year + 1900;
    civil.month = local.tm_mon + 1;
    civil.day = local.tm_mday;
    civil.hour = local.tm_hour;
    civil.minute = local.tm_min;
    civil.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // no leap second on the meter
    return civil;
}

bool SplitSixDigits(const std::string& text, int& first, int& second, int& third) {
    if (text.size() != 6) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const auto pair = [&text](std::size_t at) {
        return (text[at] - '0') * 10 + (text[at + 1] - '0');
    };
    first = pair(0);
    second = pair(2);
    third = pair(4);
    return true;
}

std::optional<CivilTime> ParseClockText(const std::string& text) {
    if (text.size() != 12) return std::nullopt;
    CivilTime civil;
    int twoDigitYear = 0;
    if (!SplitSixDigits(text.substr(0, 6), civil.month, civil.day, twoDigitYear) ||
        !SplitSixDigits(text.substr(6), civil.hour, civil.minute, civil.second)) {
        return std::nullopt;
    }
    civil.year = 2000 + twoDigitYear;
    if (!ValidDate(civil.year, civil.month, civil.day) ||
        !ValidTime(civil.hour, civil.minute, civil.second)) {
        return std::nullopt;
    }
    return civil;
}

std::string FormatDate(const CivilTime& time, bool compact) {
    char text[32];
    std::snprintf(text, sizeof text, compact ? "%02d%02d%02d" : "%02d/%02d/%02d", time.month,
                  time.day, time.year % 100);
    return text;
}

std::string FormatTime(const CivilTime& time, bool compact) {
    char text[32];
    std::snprintf(text, sizeof text, compact ? "%02d%02d%02d" : "%02d:%02d:%02d", time.hour,
                  time.minute, time.second);
    return text;
}

}  // namespace kivo::sim
