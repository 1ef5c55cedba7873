#pragma once

namespace kivo {

// The host's local date and time, as the operator's wall clock shows it.
struct LocalTime {
    int year = 2000;  // full year, e.g. 2004
    int month = 1;    // 1-12
    int day = 1;      // 1-31
    int hour = 0;     // 0-23
    int minute = 0;
    int second = 0;
};

// Two-digit year as the meter wants it: years since 1900, less 100 once past 99.
inline int TwoDigitYear(int fullYear) {
    int sinceNineteenHundred = fullYear - 1900;
    while (sinceNineteenHundred > 99) sinceNineteenHundred -= 100;
    return sinceNineteenHundred;
}

// Where the host's time comes from; tests set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
};

// The real local clock.
class SystemClock final : public Clock {
public:
    LocalTime Now() override;
};

}  // namespace kivo
