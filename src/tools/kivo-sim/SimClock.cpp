#include "SimClock.h"

#include <cstdio>
#include <ctime>

namespace kivo::sim {
namespace {

constexpr long long kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days method).
long long DaysFromCivil(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<long long>(era) * 146097 + dayOfEra - 719468;
}

CivilTime CivilFromSeconds(long long seconds) {
    long long days = seconds / kSecondsPerDay;
    long long rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    civil.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    civil.hour = static_cast<int>(rest / 3600);
    civil.minute = static_cast<int>(rest / 60 % 60);
    civil.second = static_cast<int>(rest % 60);
    return civil;
}

long long SecondsFromCivil(const CivilTime& civil) {
    return DaysFromCivil(civil.year, civil.month, civil.day) * kSecondsPerDay +
           civil.hour * 3600LL + civil.minute * 60LL + civil.second;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool ValidDate(int year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool ValidTime(int hour, int minute, int second) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
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
