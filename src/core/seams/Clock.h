#pragma once

#include <cstdint>
#include <string>

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
    // The zone's short name of the local time ("AST", "CET"), as the desktop shows it.
    virtual std::string LocalZoneName();
    // The zone Now() tells the time in: its short name.
    virtual std::string ZoneName() { return LocalZoneName(); }
    // UtcMilliseconds as a date and a time of day in UTC.
    LocalTime UtcNow();
};

// The host's clock as the meter is set from it and as its time is shown beside the meter's:
// UTC unless the operator chose the local time. Ship and mooring data are kept in UTC, and a
// meter kept in local time would repeat an hour at every change back from summer time.
class MeterSettingClock final : public Clock {
public:
    explicit MeterSettingClock(Clock& host) : host_(host) {}
    void UseLocalTime(bool local) { local_ = local; }
    bool LocalTimeUsed() const { return local_; }
    std::string ZoneName() override { return local_ ? host_.LocalZoneName() : "UTC"; }

    LocalTime Now() override { return local_ ? host_.Now() : host_.UtcNow(); }
    std::int64_t UtcMilliseconds() override { return host_.UtcMilliseconds(); }
    std::int64_t SteadyMilliseconds() override { return host_.SteadyMilliseconds(); }
    std::string LocalZoneName() override { return host_.LocalZoneName(); }

private:
    Clock& host_;
    bool local_ = false;
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
