#include "core/data/MeterClockZone.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace kivo {

namespace {

constexpr int kMaxOffsetMinutes = 14 * 60;

std::int64_t DaysFromCivil(int year, int month, int day) {
    // H. Hinnant's days_from_civil: days from 1970-01-01 of a proleptic Gregorian date.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int monthFromMarch = month > 2 ? month - 3 : month + 9;
    const int dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

std::int64_t WholeSeconds(const CalendarTime& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600LL + t.minute * 60LL +
           t.second;
}

// The computer's local time at a UTC moment, and its offset east of UTC [s] then.
struct LocalReading {
    CalendarTime civil;
    long offset = 0;
};

std::optional<LocalReading> LocalAt(std::int64_t utcSeconds) {
    const auto when = static_cast<std::time_t>(utcSeconds);
    std::tm tm{};
    if (localtime_r(&when, &tm) == nullptr) return std::nullopt;
    LocalReading local;
    local.civil = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    local.offset = tm.tm_gmtoff;
    return local;
}

bool SameCivil(const CalendarTime& a, const CalendarTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

// Local civil time to UTC by the zone's own rules. The offsets in force a day before and a
// day after bracket any change of the clocks; each gives a candidate, kept when the
// computer's clock really shows the civil time then.
std::optional<std::int64_t> LocalToUtc(const CalendarTime& civil) {
    const std::int64_t asUtc = WholeSeconds(civil);
    const std::optional<LocalReading> before = LocalAt(asUtc - 86400);
    const std::optional<LocalReading> after = LocalAt(asUtc + 86400);
    if (!before || !after) return std::nullopt;
    std::optional<std::int64_t> found;
    for (const long offset : {before->offset, after->offset}) {
        const std::int64_t candidate = asUtc - offset;
        const std::optional<LocalReading> shown = LocalAt(candidate);
        if (shown && SameCivil(shown->civil, civil) && (!found || candidate < *found))
            found = candidate;
    }
    // Skipped in spring: the time a clock still on the earlier offset shows.
    return found ? found : std::optional<std::int64_t>(asUtc - before->offset);
}

}  // namespace

bool IsCalendarTime(const CalendarTime& t) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1) return false;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    const int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
    return t.day <= days && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 59;
}

double SecondsSinceEpoch(const CalendarTime& time) {
    return static_cast<double>(WholeSeconds(time));
}

CalendarTime UtcCalendarTime(std::int64_t seconds) {
    // H. Hinnant's civil_from_days.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CalendarTime t;
    t.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    t.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2 ? 1 : 0));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

std::optional<MeterClockZone> MeterClockZone::FixedOffset(int minutesEast) {
    if (minutesEast < -kMaxOffsetMinutes || minutesEast > kMaxOffsetMinutes) return std::nullopt;
    return MeterClockZone(Kind::Fixed, minutesEast);
}

std::optional<MeterClockZone> MeterClockZone::Parse(std::string_view text) {
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "utc") return Utc();
    if (lower == "local") return Local();
    // "+HH:MM" exactly: a sign, two digits, a colon, two digits.
    const auto digit = [&lower](std::size_t i) { return lower[i] >= '0' && lower[i] <= '9'; };
    if (lower.size() != 6 || (lower[0] != '+' && lower[0] != '-') || !digit(1) || !digit(2) ||
        lower[3] != ':' || !digit(4) || !digit(5)) {
        return std::nullopt;
    }
    const int hours = (lower[1] - '0') * 10 + (lower[2] - '0');
    const int minutes = (lower[4] - '0') * 10 + (lower[5] - '0');
    if (minutes > 59) return std::nullopt;
    return FixedOffset((lower[0] == '-' ? -1 : 1) * (hours * 60 + minutes));
}

std::string MeterClockZone::Text() const {
    switch (kind_) {
        case Kind::Utc:
            return "utc";
        case Kind::Local:
            return "local";
        case Kind::Fixed:
            break;
    }
    const int magnitude = offsetMinutes_ < 0 ? -offsetMinutes_ : offsetMinutes_;
    char text[16];
    std::snprintf(text, sizeof text, "%c%02d:%02d", offsetMinutes_ < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

std::string MeterClockZone::Description() const {
    switch (kind_) {
        case Kind::Utc:
            return "UTC";
        case Kind::Local:
            return "local time of the computer (" + LocalZoneName() + ")";
        case Kind::Fixed:
            break;
    }
    return "UTC" + Text();
}

std::optional<std::int64_t> MeterClockZone::UtcSeconds(const CalendarTime& civil) const {
    if (!IsCalendarTime(civil)) return std::nullopt;
    if (kind_ == Kind::Local) return LocalToUtc(civil);
    return WholeSeconds(civil) - offsetMinutes_ * 60LL;
}

CalendarTime MeterClockZone::CivilTime(std::int64_t utcSeconds) const {
    if (kind_ == Kind::Local) {
        if (const std::optional<LocalReading> local = LocalAt(utcSeconds)) return local->civil;
    }
    return UtcCalendarTime(utcSeconds + offsetMinutes_ * 60LL);
}

std::string LocalZoneName() {
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0')
        return tz[0] == ':' ? std::string(tz + 1) : std::string(tz);
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/etc/localtime", target, sizeof target - 1);
    if (length > 0) {
        const std::string link(target, static_cast<std::size_t>(length));
        const std::string::size_type zones = link.find("zoneinfo/");
        if (zones != std::string::npos) return link.substr(zones + 9);
    }
    // The abbreviations are set once the library has read the zone.
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return std::string(tzname[0]) + "/" + tzname[1];
}

}  // namespace kivo
