// The zone of the meter's clock: what the operator may write, and civil times to UTC and
// back, across the two changes of the clocks a year.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "core/data/MeterClockZone.h"
#include "core/export/ExportColumns.h"

namespace kivo::test {
namespace {

// The computer's zone for one test, given as a POSIX rule so no zone database is needed.
class ZoneForTest {
public:
    explicit ZoneForTest(const char* rule) {
        if (const char* before = std::getenv("TZ")) before_ = before;
        ::setenv("TZ", rule, 1);
        ::tzset();
    }
    ~ZoneForTest() {
        if (before_) {
            ::setenv("TZ", before_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ZoneForTest(const ZoneForTest&) = delete;
    ZoneForTest& operator=(const ZoneForTest&) = delete;

private:
    std::optional<std::string> before_;
};

// Atlantic time, as Halifax keeps it: UTC-4, UTC-3 from the second Sunday of March (02:00)
// to the first Sunday of November (02:00).
constexpr const char* kAtlantic = "AST4ADT,M3.2.0,M11.1.0";

std::int64_t Utc(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<std::int64_t>(SecondsSinceEpoch({year, month, day, hour, minute, second}));
}

TEST(MeterClockZone, ReadsWhatTheOperatorWritesAndWritesItBack) {
    struct Case {
        const char* text;
        const char* reads;  // nullptr: refused
    };
    const Case cases[] = {
        {"utc", "utc"},       {"UTC", "utc"},       {"Local", "local"},   {"+02:00", "+02:00"},
        {"-04:00", "-04:00"}, {"+05:45", "+05:45"}, {"-14:00", "-14:00"}, {"+00:00", "+00:00"},
        {"-14:01", nullptr},  {"+2:00", nullptr},   {"04:00", nullptr},   {"+02:60", nullptr},
        {"+02:00 ", nullptr}, {"", nullptr},        {"gmt", nullptr},     {"+0200", nullptr},
    };
    for (const Case& c : cases) {
        const std::optional<MeterClockZone> zone = MeterClockZone::Parse(c.text);
        if (c.reads == nullptr) {
            EXPECT_FALSE(zone.has_value()) << c.text;
            continue;
        }
        ASSERT_TRUE(zone.has_value()) << c.text;
        EXPECT_EQ(zone->Text(), c.reads);
        EXPECT_EQ(MeterClockZone::Parse(zone->Text()), zone);
    }
    EXPECT_EQ(MeterClockZone::Parse("-04:00")->OffsetMinutes(), -240);
    EXPECT_EQ(MeterClockZone::Parse("-04:30")->Description(), "UTC-04:30");
    EXPECT_EQ(MeterClockZone().Description(), "UTC");
}

TEST(MeterClockZone, AFixedOffsetIsTakenOffBothWays) {
    const CalendarTime civil{2003, 11, 20, 22, 30, 45};
    const MeterClockZone atlantic = *MeterClockZone::Parse("-04:00");
    EXPECT_EQ(atlantic.UtcSeconds(civil), Utc(2003, 11, 21, 2, 30, 45));
    EXPECT_EQ(MeterClockZone::Utc().UtcSeconds(civil), Utc(2003, 11, 20, 22, 30, 45));
    EXPECT_EQ(MeterClockZone::Parse("+05:45")->UtcSeconds(civil), Utc(2003, 11, 20, 16, 45, 45));
    const CalendarTime back = atlantic.CivilTime(Utc(2003, 11, 21, 2, 30, 45));
    EXPECT_EQ(IsoText(back), "2003-11-20T22:30:45");
    EXPECT_FALSE(atlantic.UtcSeconds({2003, 2, 29, 0, 0, 0}).has_value());
}

TEST(MeterClockZone, LocalTimeFollowsTheComputersRulesAtEachDate) {
    const ZoneForTest zone(kAtlantic);
    const MeterClockZone local = MeterClockZone::Local();
    struct Case {
        CalendarTime civil;
        std::int64_t utc;
    };
    const Case cases[] = {
        {{2024, 1, 15, 12, 0, 0}, Utc(2024, 1, 15, 16, 0, 0)},  // winter: UTC-4
        {{2024, 7, 1, 12, 0, 0}, Utc(2024, 7, 1, 15, 0, 0)},    // summer: UTC-3
        {{2024, 3, 10, 1, 59, 59}, Utc(2024, 3, 10, 5, 59, 59)},
        {{2024, 3, 10, 3, 0, 0}, Utc(2024, 3, 10, 6, 0, 0)},
        // 02:30 never happened that night: a clock not moved on shows it at 06:30 UTC.
        {{2024, 3, 10, 2, 30, 0}, Utc(2024, 3, 10, 6, 30, 0)},
        // 01:30 happened twice in November: the first, still summer time, is taken.
        {{2024, 11, 3, 1, 30, 0}, Utc(2024, 11, 3, 4, 30, 0)},
        {{2024, 11, 3, 2, 30, 0}, Utc(2024, 11, 3, 6, 30, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(local.UtcSeconds(c.civil), c.utc) << IsoText(c.civil);
    }
    EXPECT_EQ(IsoText(local.CivilTime(Utc(2024, 7, 1, 15, 0, 0))), "2024-07-01T12:00:00");
    EXPECT_EQ(IsoText(local.CivilTime(Utc(2024, 11, 3, 5, 30, 0))), "2024-11-03T01:30:00");
    EXPECT_EQ(local.Description(), std::string("local time of the computer (") + kAtlantic + ")");
}

TEST(UtcCalendarTime, IsTheInverseOfSecondsSinceEpoch) {
    EXPECT_EQ(SecondsSinceEpoch({1970, 1, 1, 0, 0, 0}), 0.0);
    EXPECT_EQ(SecondsSinceEpoch({2000, 3, 1, 0, 0, 1}), 951868801.0);
    EXPECT_EQ(SecondsSinceEpoch({1969, 12, 31, 23, 59, 59}), -1.0);
    // Every 37 hours and a bit from 1960 to 2100: leap days, century years, negative times.
    for (std::int64_t t = Utc(1960, 1, 1, 0, 0, 0); t < Utc(2100, 12, 31, 0, 0, 0);
         t += 37 * 3600 + 17) {
        const CalendarTime civil = UtcCalendarTime(t);
        ASSERT_TRUE(IsCalendarTime(civil)) << t;
        ASSERT_EQ(static_cast<std::int64_t>(SecondsSinceEpoch(civil)), t);
    }
}

}  // namespace
}  // namespace kivo::test
