#pragma once

#include <cstdint>

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
    // Milliseconds since 1970-01-01 00:00:00 UTC: the time of the event log and of the CSV
    // file's host column. By default the system's clock, so clocks made for other tests keep
    // working.
    virtual std::int64_t UtcMilliseconds();
    // Milliseconds of a clock that never steps (a time server setting the clock at sea must
    // not start or end a stall): only differences mean anything.
    virtual std::int64_t SteadyMilliseconds();
};

// The real local clock.
class SystemClock final : public Clock {
public:
    LocalTime Now() override;
};

// The local clock read once, at construction: for work whose host time goes into nothing
// (a file converted or looked at), where asking the system twice a line would cost more than
// the rest of the line.
class FrozenClock final : public Clock {
public:
    LocalTime Now() override { return now_; }

private:
    LocalTime now_ = SystemClock().Now();
};

}  // namespace kivo
