// How long a meter may be silent before it is told as stalled: its pace, its cycles, or
// the operator's word.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "SessionFixture.h"
#include "core/host/StallWatch.h"

namespace kivo::test {
namespace {

TEST(StallLimit, FollowsThePaceTheCyclesOrTheHand) {
    struct Case {
        const char* name;
        StallRhythm rhythm;
        std::int64_t limitMs;
    };
    const std::optional<std::int64_t> none;
    const Case cases[] = {
        {"no cycles, 1 Hz: three intervals", {1.0f, none, none}, 3000},
        {"no cycles, 0.5 Hz", {0.5f, none, none}, 6000},
        {"no cycles, fast: never under 3 s", {20.0f, none, none}, 3000},
        {"cycles of 15 s at 1 Hz", {1.0f, 15000, none}, 18000},
        {"cycles of 15 s at 0.5 Hz", {0.5f, 15000, none}, 21000},
        {"cycles of 15 s at 20 Hz", {20.0f, 15000, none}, 15150},
        {"rate unknown, no cycles", {std::nullopt, none, none}, 3000},
        {"rate unknown, cycles of 15 s", {std::nullopt, 15000, none}, 18000},
        {"rate zero counts as unknown", {0.0f, 15000, none}, 18000},
        {"by hand over the cycles", {1.0f, 15000, 5000}, 5000},
        {"by hand may be short", {std::nullopt, none, 1000}, 1000},
        {"by hand beats a slow rate", {0.01f, none, 60000}, 60000},
    };
    for (const Case& c : cases) EXPECT_EQ(StallWatch::LimitMs(c.rhythm), c.limitMs) << c.name;
}

TEST(StallLimit, CycleIntervalAsTheMeterSpellsIt) {
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"000015", 15000},          {"001500", 900000},       {"010000", 3600000},
        {"00:00:15", 15000},        {"000000", std::nullopt},  // no cycles: the meter streams
        {"hhmmss", std::nullopt},                              // nothing reported yet
        {"HHMMSS", std::nullopt},   {"0015", std::nullopt},   {"0000150", std::nullopt},
        {"00-00-15", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, ms] : cases) EXPECT_EQ(CycleIntervalMs(text), ms) << text;
}

// The session takes the cycle interval from the meter's setup reply and the limit by hand
// from its owner; the first second of silence that makes a stall, after one data line.
TEST(StallLimit, TheSessionWaitsForTheMetersNextCycle) {
    struct Case {
        const char* name;
        const char* setupReply;
        std::optional<std::int64_t> byHandMs;
        int stallsAfterSeconds;
    };
    const Case cases[] = {
        {"streaming meter", "", std::nullopt, 3},
        {"meter that cycles every 10 s", "INT 000010\r\n", std::nullopt, 13},
        {"meter that does not cycle", "INT 000000\r\n", std::nullopt, 3},
        {"cycles, but a limit by hand", "INT 000010\r\n", 5000, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MeterSession f;
        f.session.SetStallLimit(c.byHandMs);
        f.Receive(c.setupReply);
        f.session.BTStartClick();
        f.Receive("11/20/03\t12:30:45\t4050\t1000\t240\t3000\r\n");
        int seconds = 0;
        while (!f.session.Status().stalled && seconds < 30) {
            f.clock.Advance(1000);
            f.Ticks(1);
            ++seconds;
        }
        EXPECT_EQ(seconds, c.stallsAfterSeconds);
    }
}

}  // namespace
}  // namespace kivo::test
