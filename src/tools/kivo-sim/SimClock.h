#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kivo::sim {

struct CivilTime {
    int year = 2000;  // full year
    int month = 1;    // 1-12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The meter's own clock: runs with real time from whatever it was last set to.
class SimClock {
public:
    explicit SimClock(const CivilTime& start);

    CivilTime Now() const;
    // Each refuses values that are no time or date and then leaves the clock as it was.
    bool SetTime(int hour, int minute, int second);
    bool SetDate(int month, int day, int twoDigitYear);

private:
    void Restart(long long secondsSinceEpoch);

    long long baseSeconds_ = 0;
    std::chrono::steady_clock::time_point baseAt_;
};

CivilTime HostLocalTime();

// "hhmmss" or "mmddyy": exactly six digits read as three two-digit numbers.
bool SplitSixDigits(const std::string& text, int& first, int& second, int& third);

// "MMDDYYHHMMSS" as given to --clock.
std::optional<CivilTime> ParseClockText(const std::string& text);

// Date and time as the meter prints them: "MM/DD/YY" and "HH:MM:SS", or "MMDDYY" and "HHMMSS".
std::string FormatDate(const CivilTime& time, bool compact);
std::string FormatTime(const CivilTime& time, bool compact);

}  // namespace kivo::sim
