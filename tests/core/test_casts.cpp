// Casts told from the pressure alone, and their bin averages, on synthetic casts whose true
// phases are known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/profile/Casts.h"
#include "core/profile/ProfileBins.h"

namespace kivo {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A stretch of a made-up cast: its true phase, how long it lasts [s] and the pressure it
// ends at [dbar], reached at an even speed from where the last one ended.
struct Leg {
    CastPhase phase;
    double seconds;
    double to;
};

struct Series {
    std::vector<double> seconds;
    std::vector<double> pressure;
    std::vector<CastPhase> truth;
    std::vector<int> truthCast;
};

// `rate` samples a second; heave of `heave` dbar at an 8 s period on every sample in the water.
Series Make(const std::vector<Leg>& legs, double heave, double rate = 2.0) {
    Series series;
    double start = 0.0;
    double from = 0.0;
    int cast = 0;
    CastPhase last = CastPhase::Deck;
    for (const Leg& leg : legs) {
        if (leg.phase == CastPhase::Soak && last == CastPhase::Deck) ++cast;
        if (leg.phase == CastPhase::Down && last == CastPhase::Deck) ++cast;
        const int samples = static_cast<int>(leg.seconds * rate);
        for (int k = 0; k < samples; ++k) {
            const double t = start + k / rate;
            double p = from + (leg.to - from) * (k / rate) / leg.seconds;
            if (leg.phase != CastPhase::Deck) p += heave * std::sin(2 * kPi * t / 8.0);
            series.seconds.push_back(t);
            series.pressure.push_back(p);
            series.truth.push_back(leg.phase);
            series.truthCast.push_back(leg.phase == CastPhase::Deck ? 0 : cast);
        }
        start += leg.seconds;
        from = leg.to;
        last = leg.phase;
    }
    return series;
}

// A full cast to `depth`: deck, a soak at 5 dbar and back up to 1.5, down at 0.5 dbar/s,
// 20 s at the bottom, up at 1 dbar/s, deck.
std::vector<Leg> FullCast(double depth) {
    return {{CastPhase::Deck, 30, 0.0},
            {CastPhase::Soak, 5, 5.0},
            {CastPhase::Soak, 60, 5.0},
            {CastPhase::Soak, 7, 1.5},
            {CastPhase::Down, (depth - 1.5) / 0.5, depth},
            {CastPhase::Bottom, 20, depth},
            {CastPhase::Up, depth, 0.0},
            {CastPhase::Deck, 30, 0.0}};
}

struct CastCase {
    std::string name;
    std::vector<Leg> legs;
    double heave;
    int casts;
};

void PrintTo(const CastCase& c, std::ostream* out) { *out << c.name; }

std::vector<Leg> Concat(std::vector<Leg> a, const std::vector<Leg>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CastPhases : public ::testing::TestWithParam<CastCase> {};

// Every sample gets its true phase and cast, except within the speed window's reach of a
// change of phase, where the truth itself is a matter of seconds.
TEST_P(CastPhases, AgreeWithTheTruthAwayFromTheTurns) {
    const CastCase& c = GetParam();
    const Series s = Make(c.legs, c.heave);
    const CastThresholds thresholds;
    const std::vector<CastMark> marks = FindCasts(s.seconds, s.pressure, thresholds);
    ASSERT_EQ(marks.size(), s.pressure.size());

    int castsFound = 0;
    std::set<CastPhase> compared;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        castsFound = std::max(castsFound, marks[i].cast);
        bool nearTurn = false;
        for (std::size_t j = 0; j < marks.size(); ++j) {
            if (std::abs(s.seconds[j] - s.seconds[i]) > thresholds.window / 2 + 1) continue;
            if (s.truth[j] != s.truth[i]) nearTurn = true;
        }
        if (nearTurn) continue;
        compared.insert(s.truth[i]);
        EXPECT_EQ(CastPhaseName(marks[i].phase), std::string(CastPhaseName(s.truth[i])))
            << "sample " << i << " at " << s.seconds[i] << " s, " << s.pressure[i] << " dbar";
        EXPECT_EQ(marks[i].cast, s.truthCast[i]) << "sample " << i;
    }
    EXPECT_EQ(castsFound, c.casts);
    // Every phase of the truth was compared somewhere.
    EXPECT_EQ(compared, std::set<CastPhase>(s.truth.begin(), s.truth.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Casts, CastPhases,
    ::testing::Values(
        CastCase{"TwoCastsWithHeave", Concat(FullCast(60), FullCast(40)), 0.8, 2},
        CastCase{"CalmWater", FullCast(30), 0.0, 1},
        CastCase{"ShallowCast",
                 {{CastPhase::Deck, 20, 0},
                  {CastPhase::Down, 16, 8},
                  {CastPhase::Bottom, 20, 8},
                  {CastPhase::Up, 16, 0},
                  {CastPhase::Deck, 20, 0}},
                 0.0,
                 1},
        CastCase{"NoSoak",
                 {{CastPhase::Deck, 20, 0},
                  {CastPhase::Down, 80, 40},
                  {CastPhase::Bottom, 20, 40},
                  {CastPhase::Up, 40, 0},
                  {CastPhase::Deck, 20, 0}},
                 0.8,
                 1},
        // In and out of the water, never deeper than a frame hanging on the ship's side.
        CastCase{"NeverLeavesTheSurface",
                 {{CastPhase::Deck, 100, 1.5}, {CastPhase::Deck, 100, 0.3}},
                 0.0,
                 0}),
    [](const ::testing::TestParamInfo<CastCase>& info) { return info.param.name; });

// A sample of a down trace is a loop exactly when it is not deeper than every one before it
// in the trace; of an up trace, when it is not shallower.
TEST(CastLoops, AreTheSamplesThatAreNoNewExtreme) {
    const Series s = Make(FullCast(60), 0.8);
    const std::vector<CastMark> marks = FindCasts(s.seconds, s.pressure);
    double deepest = -1e9;
    double shallowest = 1e9;
    int loops = 0;
    CastPhase trace = CastPhase::Deck;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const CastMark& m = marks[i];
        if (m.phase != trace) {
            trace = m.phase;
            deepest = -1e9;
            shallowest = 1e9;
        }
        if (m.phase == CastPhase::Down) {
            EXPECT_EQ(m.loop, !(s.pressure[i] > deepest)) << i;
            deepest = std::max(deepest, s.pressure[i]);
        } else if (m.phase == CastPhase::Up) {
            EXPECT_EQ(m.loop, !(s.pressure[i] < shallowest)) << i;
            shallowest = std::min(shallowest, s.pressure[i]);
        } else {
            EXPECT_FALSE(m.loop) << i;
        }
        loops += m.loop;
    }
    // Heave of 0.8 dbar at 8 s is faster than a 0.5 dbar/s descent: there are loops to find.
    EXPECT_GT(loops, 10);
}

TEST(CastFinding, TakesNothingItCannotUse) {
    EXPECT_TRUE(FindCasts({}, {}).empty());
    // Times and pressures that do not pair up: every sample on deck rather than a guess.
    const std::vector<CastMark> marks = FindCasts({0, 1}, {10, 20, 30});
    ASSERT_EQ(marks.size(), 3u);
    for (const CastMark& m : marks) EXPECT_EQ(m, CastMark{});
    // A sample without a pressure in the middle of a descent does not break the trace.
    const Series s = Make(FullCast(40), 0.0);
    std::size_t gap = 0;
    while (!(s.truth[gap] == CastPhase::Down && s.pressure[gap] > 20)) ++gap;
    std::vector<double> pressure = s.pressure;
    pressure[gap] = std::nan("");
    const std::vector<CastMark> withGap = FindCasts(s.seconds, pressure);
    for (const std::size_t i : {gap - 20, gap - 1, gap + 1, gap + 20})
        EXPECT_EQ(withGap[i], (CastMark{CastPhase::Down, 1, false})) << i;
}

TEST(PressureBins, HoldTheirLowerEdgeAndNotTheirUpper) {
    struct Row {
        double pressure;
        double size;
        long bin;
    };
    for (const Row& r : {Row{0.49, 1, 0}, Row{0.5, 1, 1}, Row{1.49, 1, 1}, Row{-0.5, 1, 0},
                         Row{-0.51, 1, -1}, Row{2.5, 5, 1}, Row{2.49, 5, 0}, Row{12.4, 0.5, 25}})
        EXPECT_EQ(PressureBin(r.pressure, r.size), r.bin) << r.pressure << " in " << r.size;
}

// Means per trace and bin over the samples that count: down or up, no loop; a value missing
// in one sample is the mean of the others.
TEST(ProfileBinner, AveragesEachTraceAndBinOverItsCountingSamples) {
    ProfileBinner binner(1.0, 2);
    const CastMark down{CastPhase::Down, 1, false};
    const CastMark downLoop{CastPhase::Down, 1, true};
    const CastMark up{CastPhase::Up, 1, false};
    binner.Add({CastPhase::Soak, 1, false}, 0, 0.6, {100, 100});
    binner.Add(down, 1, 0.6, {1, 10});
    binner.Add(down, 2, 1.2, {3, std::nan("")});
    binner.Add(downLoop, 3, 1.1, {100, 100});
    binner.Add(down, 4, 2.7, {5, 50});
    binner.Add({CastPhase::Bottom, 1, false}, 5, 2.8, {100, 100});
    binner.Add(up, 6, 1.4, {7, 70});
    binner.Add(up, 7, 0.9, {9, 90});

    const std::vector<Profile> profiles = binner.Profiles();
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].direction, CastPhase::Down);
    EXPECT_EQ(profiles[0].startSeconds, 1);
    ASSERT_EQ(profiles[0].bins.size(), 2u);
    EXPECT_EQ(profiles[0].bins[0].centre, 1.0);
    EXPECT_EQ(profiles[0].bins[0].samples, 2u);
    EXPECT_DOUBLE_EQ(profiles[0].bins[0].means[0], 2.0);
    EXPECT_DOUBLE_EQ(profiles[0].bins[0].means[1], 10.0);
    EXPECT_EQ(profiles[0].bins[1].centre, 3.0);
    EXPECT_DOUBLE_EQ(profiles[0].bins[1].means[1], 50.0);

    EXPECT_EQ(profiles[1].direction, CastPhase::Up);
    EXPECT_EQ(profiles[1].cast, 1);
    ASSERT_EQ(profiles[1].bins.size(), 1u);
    EXPECT_EQ(profiles[1].bins[0].samples, 2u);
    EXPECT_DOUBLE_EQ(profiles[1].bins[0].means[0], 8.0);
}

}  // namespace
}  // namespace kivo
