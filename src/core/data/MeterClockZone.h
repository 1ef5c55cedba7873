#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// A civil date and time without a zone: what a meter's clock shows.
struct CalendarTime {
    int year = 0;  // full year
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A date the calendar has and a time of day (no leap second).
bool IsCalendarTime(const CalendarTime& time);
// Seconds since 1970-01-01 00:00:00, the time taken as UTC (proleptic Gregorian calendar).
double SecondsSinceEpoch(const CalendarTime& time);
// The UTC calendar time of seconds since 1970.
CalendarTime UtcCalendarTime(std::int64_t seconds);

// The zone the meter's clock was set in. The meter keeps no zone of its own: a clock set
// from a computer in local time reads back local time, and a file that calls it UTC is off
// by the zone's offset (four hours for an operator on Atlantic daylight time).
//  - Utc: the default, and what the window sets the meter to unless told otherwise;
//  - Local: the zone rules of the computer that reads it, at each record's own date (so a
//    recording across a summer-time change stays right);
//  - a fixed offset east of UTC, "+02:00" or "-04:00", for a clock set elsewhere.
class MeterClockZone {
public:
    enum class Kind { Utc, Local, Fixed };

    MeterClockZone() = default;
    static MeterClockZone Utc() { return {}; }
    static MeterClockZone Local() { return MeterClockZone(Kind::Local, 0); }
    // Minutes east of UTC, -14:00 to +14:00; nothing outside that.
    static std::optional<MeterClockZone> FixedOffset(int minutesEast);
    // "utc", "local" or "+HH:MM" / "-HH:MM" (letter case aside); nothing for anything else.
    static std::optional<MeterClockZone> Parse(std::string_view text);

    Kind ZoneKind() const { return kind_; }
    int OffsetMinutes() const { return offsetMinutes_; }
    // What Parse reads back: "utc", "local", "-04:00".
    std::string Text() const;
    // For a file's readers: "UTC", "UTC-04:00", "local time of the computer (America/Halifax)".
    std::string Description() const;

    // The UTC seconds of the meter's civil time in this zone; nothing for a civil time the
    // calendar does not have. A local time that happens twice (the hour the clocks go back)
    // is taken as the first, in summer time; one that never happens (the hour skipped in
    // spring) counts on from the hour before, as a clock that was not moved would.
    std::optional<std::int64_t> UtcSeconds(const CalendarTime& civil) const;
    // The meter's civil time at a UTC moment: what to set its clock to.
    CalendarTime CivilTime(std::int64_t utcSeconds) const;

    bool operator==(const MeterClockZone& other) const {
        return kind_ == other.kind_ && offsetMinutes_ == other.offsetMinutes_;
    }
    bool operator!=(const MeterClockZone& other) const { return !(*this == other); }

private:
    MeterClockZone(Kind kind, int offsetMinutes) : kind_(kind), offsetMinutes_(offsetMinutes) {}

    Kind kind_ = Kind::Utc;
    int offsetMinutes_ = 0;
};

// The computer's zone as its user knows it: TZ, else the zone /etc/localtime links to, else
// the zone's abbreviations ("EST/EDT").
std::string LocalZoneName();

}  // namespace kivo
