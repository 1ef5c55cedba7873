// The live profile fed sample by sample as the meter sends them, refreshed as the window's
// tick would: phases, events and points of synthetic casts whose truth is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "core/profile/LiveProfile.h"

namespace kivo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStart = 1700000000.0;  // 2023-11-14 22:13:20 UTC

class FixedClock final : public Clock {
public:
    LocalTime Now() override { return {}; }
};

// One cast at `rate` samples a second with heave, as a CTD frame goes: deck, soak at 5 dbar,
// up to 1 dbar, down at 1 dbar/s to `depth`, a pause, up at 1 dbar/s, deck. The time the
// descent truly began is kept.
struct Cast {
    std::vector<double> seconds;
    std::vector<double> pressure;
    double descentStart = 0.0;
    double ascentStart = 0.0;
};

void AppendCast(Cast& cast, double depth, double rate = 4.0) {
    struct Leg {
        double seconds;
        double to;
    };
    const Leg legs[] = {{30, 0},     {5, 5},     {40, 5}, {4, 1}, {depth - 1, depth},
                        {20, depth}, {depth, 0}, {30, 0}};
    double t = cast.seconds.empty() ? kStart : cast.seconds.back() + 1.0 / rate;
    double from = 0.0;
    for (std::size_t l = 0; l < std::size(legs); ++l) {
        if (l == 4) cast.descentStart = t;
        if (l == 6) cast.ascentStart = t;
        const int samples = static_cast<int>(legs[l].seconds * rate);
        for (int k = 0; k < samples; ++k) {
            const double level = from + (legs[l].to - from) * k / samples;
            const double heave = std::min(1.5, level / 2.0);
            cast.seconds.push_back(t);
            cast.pressure.push_back(level + heave * std::sin(2 * kPi * t / 8.0));
            t += 1.0 / rate;
        }
        from = legs[l].to;
    }
}

// A channel whose value tells the pressure it was taken at, so that a point paired with
// another sample's pressure shows.
double ValueAt(double pressure) { return 2.0 * pressure + 1.0; }

struct Fed {
    std::vector<std::string> events;
    std::vector<CastPhase> phases;  // after each refresh
    std::vector<double> phaseTimes;
};

// Feeds every sample, refreshing each simulated half second as the window does.
Fed Feed(LiveProfile& profile, const Cast& cast, std::size_t from = 0) {
    Fed fed;
    double lastRefresh = -1e300;
    for (std::size_t i = from; i < cast.seconds.size(); ++i) {
        profile.Add(cast.seconds[i], cast.pressure[i], {ValueAt(cast.pressure[i])});
        if (cast.seconds[i] - lastRefresh < 0.5) continue;
        lastRefresh = cast.seconds[i];
        profile.Refresh();
        for (const std::string& event : profile.TakeEvents()) fed.events.push_back(event);
        fed.phases.push_back(profile.View().phase);
        fed.phaseTimes.push_back(cast.seconds[i]);
    }
    profile.Refresh();
    for (const std::string& event : profile.TakeEvents()) fed.events.push_back(event);
    return fed;
}

double SecondsOfDay(const std::string& hhmmssz) {
    int h = 0, m = 0, s = 0;
    EXPECT_EQ(std::sscanf(hhmmssz.c_str(), "%d:%d:%dZ", &h, &m, &s), 3) << hhmmssz;
    return h * 3600.0 + m * 60.0 + s;
}

void ExpectPointsTrue(const std::vector<ProfilePoint>& points, const char* trace) {
    for (const ProfilePoint& point : points)
        ASSERT_DOUBLE_EQ(point.value, ValueAt(point.pressure)) << trace;
}

TEST(LiveProfile, OneCastIsToldOnceWithItsDescentTimeAndBottom) {
    FixedClock clock;
    LiveProfile profile(clock);
    profile.Reset(true, {{"470 nm", 0xff0000}}, {});
    Cast cast;
    AppendCast(cast, 60.0);
    const Fed fed = Feed(profile, cast);

    ASSERT_EQ(fed.events.size(), 2u) << ::testing::PrintToString(fed.events);
    ASSERT_EQ(fed.events[0].rfind("cast 1 down at ", 0), 0u) << fed.events[0];
    const double told = SecondsOfDay(fed.events[0].substr(15));
    const double truth = std::fmod(cast.descentStart, 86400.0);
    EXPECT_NEAR(told, truth, 6.0) << fed.events[0];
    // The deepest the heave took the frame to, not the winch's depth.
    double deepest = 0;
    for (double p : cast.pressure) deepest = std::max(deepest, p);
    char expected[32];
    std::snprintf(expected, sizeof expected, "bottom %.1f dbar", deepest);
    EXPECT_EQ(fed.events[1], expected);

    // Heave never makes the descent read as the bottom or the ascent, live.
    for (std::size_t k = 0; k < fed.phases.size(); ++k) {
        const bool descending =
            fed.phaseTimes[k] > cast.descentStart + 10 && fed.phaseTimes[k] < cast.ascentStart - 20;
        if (descending) {
            ASSERT_EQ(fed.phases[k], CastPhase::Down) << "at " << fed.phaseTimes[k] - kStart;
        }
    }
    const ProfileView& view = profile.View();
    EXPECT_EQ(view.cast, 1);
    EXPECT_EQ(view.phase, CastPhase::Deck);
    ASSERT_EQ(view.traces.size(), 1u);
    EXPECT_GT(view.traces[0].down.size(), 150u);
    EXPECT_GT(view.traces[0].up.size(), 150u);
    EXPECT_TRUE(view.traces[0].previous.empty());
    ExpectPointsTrue(view.traces[0].down, "down");
    ExpectPointsTrue(view.traces[0].up, "up");
    EXPECT_EQ(CastStatusText(view),
              std::string("Cast 1 \u00b7 deck \u00b7 ") + std::string(expected).substr(7));
}

// The samples kept are let go from the front, by whole casts or by the limit; the casts keep
// their numbers and every point keeps its own pressure.
TEST(LiveProfile, LaterCastsKeepTheirNumbersAsOlderSamplesAreLetGo) {
    struct Case {
        const char* name;
        std::size_t limit;
    };
    for (const Case& c : {Case{"whole casts", LiveProfile::kDefaultLimit}, Case{"limit", 1200}}) {
        SCOPED_TRACE(c.name);
        FixedClock clock;
        LiveProfile profile(clock, c.limit);
        profile.Reset(true, {{"CHL", 0x00ff00}}, {});
        Cast casts;
        std::size_t thirdStarts = 0;
        for (double depth : {30.0, 40.0, 50.0, 35.0}) {
            if (depth == 50.0) thirdStarts = casts.seconds.size();
            AppendCast(casts, depth);
        }
        const Fed fed = Feed(profile, casts);

        std::vector<std::string> downs;
        for (const std::string& event : fed.events)
            if (event.rfind("cast ", 0) == 0) downs.push_back(event.substr(0, 11));
        EXPECT_EQ(downs, (std::vector<std::string>{"cast 1 down", "cast 2 down", "cast 3 down",
                                                   "cast 4 down"}));
        EXPECT_EQ(fed.events.size(), 8u) << ::testing::PrintToString(fed.events);
        const ProfileView& view = profile.View();
        EXPECT_EQ(view.cast, 4);
        EXPECT_NEAR(view.deepest, 35.0, 1.6);
        EXPECT_LE(profile.KeptSamples(), std::min(c.limit, casts.seconds.size() - thirdStarts));
        // The previous cast is cast 3's 50 dbar descent and ascent, unless the limit let it go
        // (it is kept whole or not at all).
        double previousDeepest = 0;
        for (const ProfilePoint& point : view.traces[0].previous)
            previousDeepest = std::max(previousDeepest, point.pressure);
        if (c.limit == LiveProfile::kDefaultLimit)
            EXPECT_NEAR(previousDeepest, 50.0, 1.6);
        else
            EXPECT_TRUE(view.traces[0].previous.empty());
        ExpectPointsTrue(view.traces[0].previous, "previous");
        ExpectPointsTrue(view.traces[0].down, "down");
        ExpectPointsTrue(view.traces[0].up, "up");
    }
}

TEST(LiveProfile, WithoutAPressureColumnNothingIsKeptToldOrGuessed) {
    FixedClock clock;
    LiveProfile profile(clock);
    profile.Reset(false, {{"470 nm", 0xff0000}}, {});
    Cast cast;
    AppendCast(cast, 20.0);
    const Fed fed = Feed(profile, cast);
    EXPECT_TRUE(fed.events.empty());
    EXPECT_EQ(profile.KeptSamples(), 0u);
    EXPECT_FALSE(profile.View().pressureColumn);
    EXPECT_EQ(profile.View().cast, 0);
    EXPECT_EQ(CastStatusText(profile.View()), "");
}

// Another plot choice: the points go, the cast and its phase stay.
TEST(LiveProfile, ForgettingTheValuesKeepsTheCast) {
    FixedClock clock;
    LiveProfile profile(clock);
    profile.Reset(true, {{"470 nm", 0xff0000}}, {});
    Cast cast;
    AppendCast(cast, 30.0);
    const std::size_t halfway = 95 * 4;  // in the descent, about 16 dbar down
    Cast first = cast;
    first.seconds.resize(halfway);
    first.pressure.resize(halfway);
    Feed(profile, first);
    const int castBefore = profile.View().cast;
    profile.ForgetValues();
    EXPECT_TRUE(profile.View().traces[0].down.empty());
    profile.Refresh();  // nothing new: the points stay gone
    EXPECT_TRUE(profile.View().traces[0].down.empty());
    const Fed rest = Feed(profile, cast, halfway);
    EXPECT_EQ(profile.View().cast, castBefore);
    for (const ProfilePoint& point : profile.View().traces[0].down)
        ASSERT_GT(point.pressure, cast.pressure[halfway] - 3.1);
    EXPECT_GT(profile.View().traces[0].up.size(), 100u);
    // The descent was too short to tell before the values went; it is told all the same.
    ASSERT_EQ(rest.events.size(), 2u) << ::testing::PrintToString(rest.events);
    EXPECT_EQ(rest.events[1], "bottom 31.5 dbar");
}

TEST(LiveProfile, StatusText) {
    ProfileView view;
    view.pressureColumn = true;
    EXPECT_EQ(CastStatusText(view), "No cast yet \u00b7 deck");
    view.cast = 3;
    view.phase = CastPhase::Down;
    view.deepest = 148.24;
    EXPECT_EQ(CastStatusText(view), "Cast 3 \u00b7 down \u00b7 148.2 dbar");
}

}  // namespace
}  // namespace kivo
