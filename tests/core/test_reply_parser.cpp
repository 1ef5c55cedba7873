#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/protocol/ReplyParser.h"

namespace kivo {
namespace {

class FakeClock final : public Clock {
public:
    LocalTime now;
    LocalTime Now() override { return now; }
};

const LocalTime kHostNow{2004, 3, 5, 7, 8, 9};

// Everything a reply may touch.
struct World {
    SetupState setup;
    MeterClock meterClock;
    HostClockSnapshot hostClock;
    ReplyChanges changes;  // what the parse returned
};

std::string Describe(const World& w) {
    const SetupState& s = w.setup;
    const MeterClock& m = w.meterClock;
    const HostClockSnapshot& h = w.hostClock;
    std::string out;
    auto add = [&out](const char* name, long long value) {
        out += std::string(name) + "=" + std::to_string(value) + "\n";
    };
    add("meterIdentified", s.meterIdentified);
    out += "identification=\"" + s.identification + "\"\n";
    add("averageCount", s.averageCount);
    add("sampleCount", s.sampleCount);
    add("cycleCount", s.cycleCount);
    out += "cycleInterval=\"" + s.cycleInterval + "\"\n";
    add("loggingOn", s.loggingOn);
    add("engrOutputOn", s.engrOutputOn);
    add("analogRange", s.analogRange);
    add("uglScaleCode", s.uglScaleCode);
    add("uglScaleFresh", s.uglScaleFresh);
    add("uglOffset", s.uglOffset);
    add("uglOffsetFresh", s.uglOffsetFresh);
    add("ph1OnTime", s.ph1OnTime);
    add("ph1OffTime", s.ph1OffTime);
    add("ph11OnTime", s.ph11OnTime);
    add("ph11OffTime", s.ph11OffTime);
    add("ph1OnKnown", s.ph1OnKnown);
    add("ph1OffKnown", s.ph1OffKnown);
    add("ph11OnKnown", s.ph11OnKnown);
    add("ph11OffKnown", s.ph11OffKnown);
    add("memoryUsedPages", s.memoryUsedPages);
    add("reloadPending", s.reloadPending);
    for (const int v : {m.month, m.day, m.year, m.hour, m.minute, m.second}) add("meter", v);
    for (const int v : {h.hour, h.minute, h.second, h.day, h.month, h.year}) add("host", v);
    add("setupStored", w.changes.setupStored);
    add("memoryFull", w.changes.memoryFull);
    add("identified", w.changes.identified);
    return out;
}

// Expected changes, applied to a copy of the state before the line.
using Change = std::function<void(World&)>;

template <typename T>
Change Set(T SetupState::*field, T value) {
    return [=](World& w) { w.setup.*field = value; };
}

// A signed value together with its "reported" flag.
Change Reported(std::int32_t SetupState::*field, bool SetupState::*flag, std::int32_t value) {
    return [=](World& w) {
        w.setup.*field = value;
        w.setup.*flag = true;
    };
}

Change All(std::vector<Change> changes) {
    return [=](World& w) {
        for (const Change& change : changes) change(w);
    };
}

void HostCaptured(World& w) { w.hostClock = HostClockSnapshot{7, 8, 9, 5, 3, 4}; }

Change MeterTime(int hour, int minute, int second) {
    return [=](World& w) {
        w.meterClock.hour = hour;
        w.meterClock.minute = minute;
        w.meterClock.second = second;
        HostCaptured(w);
    };
}

Change MeterDate(int month, int day, int year) {
    return [=](World& w) {
        w.meterClock.month = month;
        w.meterClock.day = day;
        w.meterClock.year = year;
        HostCaptured(w);
    };
}

void StoreCurrent(World& w) { w.changes.setupStored = true; }

void ReloadSent(World& w) { w.setup.reloadPending = true; }

void MemoryFullShown(World& w) { w.changes.memoryFull = true; }

const std::string kTitle = "KIVO View:  v1.16 10/20/03      KIVO: ";

// The identification kept is the whole line, however long (the caption made of it is cut).
Change Identified(const std::string& caption, const std::string& line = {}) {
    return [=](World& w) {
        w.setup.meterIdentified = true;
        w.setup.identification = line.empty() ? caption.substr(kTitle.size()) : line;
        w.setup.reloadPending = false;
        w.changes.identified = true;
    };
}

const std::string kLongVersion = "VER " + std::string(246, 'x');  // 250 characters
const std::string kLongToken =
    "0123456789abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOP"
    "QRSTUVWXYZ0123456789";

struct ReplyCase {
    std::string line;
    Change given;   // the state before the line, over the start-up values
    Change change;  // what the line changes; empty: nothing
};

TEST(ReplyParser, Grammar) {
    const auto average = [](std::uint32_t n) { return Set(&SetupState::averageCount, n); };
    const ReplyCase cases[] = {
        {"AVE30", {}, average(30)},
        {"AVE 30", {}, average(30)},
        {"ave 30", {}, average(30)},
        {"AVE\t 30 rest", {}, average(30)},
        {"AVE 3.5", {}, average(3)},
        {"AVE -1", {}, average(4294967295u)},
        {"AVE 4294967295", {}, average(4294967295u)},
        {"AVE 4294967296", {}, {}},
        {"AVE=30", {}, {}},
        {"AVE", {}, {}},
        {"AVE -", {}, {}},
        {"cal 1", {}, Set(&SetupState::engrOutputOn, 1u)},
        {"PKT 12", {}, Set(&SetupState::sampleCount, 12u)},
        {"SET 3", {}, Set(&SetupState::cycleCount, 3u)},
        {"REC 1", {}, Set(&SetupState::loggingOn, 1u)},
        {"ASV 4", {}, Set(&SetupState::analogRange, 4u)},

        {"CLK 1:2:3", {}, MeterTime(1, 2, 3)},
        {"CLK 123456", {}, MeterTime(12, 34, 56)},
        {"CLK 12:34:56", {}, MeterTime(12, 34, 56)},
        {"clk12:34:56 more words", {}, MeterTime(12, 34, 56)},
        {"CLK 12345", {}, MeterTime(12, 34, 5)},
        {"CLK 12:34:56" + std::string(230, 'x'), {}, MeterTime(12, 34, 56)},
        {"CLK 123:45:6", {}, {}},
        {"CLK 12.34.56", {}, {}},
        {"CLK 1:2", {}, {}},
        {"CLK 12 34 56", {}, {}},
        {"CLK", {}, {}},
        {"DAT 102003", {}, MeterDate(10, 20, 3)},
        {"DAT 10/20/03", {}, MeterDate(10, 20, 3)},
        {"dat1/2/3", {}, MeterDate(1, 2, 3)},
        {"DAT 10-20-03", {}, MeterDate(10, -2, 0)},
        {"DAT 10/20", {}, {}},
        {"DATE", {}, {}},

        {"DONE", ReloadSent, StoreCurrent},
        {"done", ReloadSent, StoreCurrent},
        {"Done.", {}, StoreCurrent},
        {" DONE", ReloadSent, {}},
        {"DON", ReloadSent, {}},

        {"int 001500", {}, Set<std::string>(&SetupState::cycleInterval, "001500")},
        {"INT 0015 00", {}, Set<std::string>(&SetupState::cycleInterval, "0015")},
        {"INT", {}, {}},
        // The meter's line is a C string: a NUL ends it.
        {std::string("INT AB\0CD", 9), {}, Set<std::string>(&SetupState::cycleInterval, "AB")},
        {"INT " + kLongToken,
         {},
         Set<std::string>(&SetupState::cycleInterval, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ012")},

        {"MEM 4093", {}, Set(&SetupState::memoryUsedPages, 4093)},
        {"MEM 4094", {}, All({Set(&SetupState::memoryUsedPages, 4094), MemoryFullShown})},
        {"mem5000", {}, All({Set(&SetupState::memoryUsedPages, 5000), MemoryFullShown})},
        {"MEM 2147483648", {}, {}},

        {"OFF 12", {}, Reported(&SetupState::uglOffset, &SetupState::uglOffsetFresh, 12)},
        {"UGL 31", {}, Reported(&SetupState::uglScaleCode, &SetupState::uglScaleFresh, 31)},
        {"01N 7", {}, Reported(&SetupState::ph1OnTime, &SetupState::ph1OnKnown, 7)},
        {"01f 8", {}, Reported(&SetupState::ph1OffTime, &SetupState::ph1OffKnown, 8)},
        {"11N 9", {}, Reported(&SetupState::ph11OnTime, &SetupState::ph11OnKnown, 9)},
        {"11F -3", {}, Reported(&SetupState::ph11OffTime, &SetupState::ph11OffKnown, -3)},
        {"01N=7", {}, {}},
        {"UGL", {}, {}},

        {"VER KIVO FL 2.1", {}, Identified(kTitle + "VER KIVO FL 2.1")},
        {"ver Kivo fl", ReloadSent, All({Identified(kTitle + "ver Kivo fl"), StoreCurrent})},
        {"VER, no reload", {}, Identified(kTitle + "VER, no reload")},
        {kLongVersion, {}, Identified((kTitle + kLongVersion).substr(0, 199), kLongVersion)},

        {"", {}, {}},
        {"XYZ 5", {}, {}},
        {" AVE 30", {}, {}},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE("line \"" + c.line + "\"");
        World actual;
        if (c.given) c.given(actual);
        World expected = actual;
        if (c.change) c.change(expected);
        FakeClock clock;
        clock.now = kHostNow;
        ReplyTarget target{actual.setup, actual.meterClock, actual.hostClock, clock};
        actual.changes = ParseReply(c.line, target);
        EXPECT_EQ(Describe(actual), Describe(expected));
    }
}

TEST(ReplyParser, RepliesAccumulateAndMemoryFullRepeats) {
    World w;
    FakeClock clock;
    clock.now = kHostNow;
    ReplyTarget target{w.setup, w.meterClock, w.hostClock, clock};
    int memoryFull = 0;
    for (const char* line : {"AVE 4", "MEM 4095", "DAT 102003", "MEM 4095", "CLK 235959"}) {
        memoryFull += ParseReply(line, target).memoryFull ? 1 : 0;
    }
    EXPECT_EQ(w.setup.averageCount, 4u);
    EXPECT_EQ(memoryFull, 2);
    EXPECT_EQ(w.meterClock.month, 10);
    EXPECT_EQ(w.meterClock.hour, 23);

    // The snapshot follows the host clock at the moment of each accepted reply.
    clock.now = LocalTime{2026, 12, 31, 1, 2, 3};
    ParseReply("CLK 12:00:00", target);
    EXPECT_EQ(w.hostClock.year, 26);
    EXPECT_EQ(w.hostClock.month, 12);
    EXPECT_EQ(w.hostClock.hour, 1);
    clock.now = kHostNow;
    ParseReply("CLK 12.00.00", target);
    EXPECT_EQ(w.hostClock.year, 26) << "a refused CLK must not capture the host clock";
}

TEST(ReplyParser, Title) {
    EXPECT_EQ(FormatTitle(" "), "KIVO View:  v1.16 10/20/03      KIVO:  ");
    EXPECT_EQ(FormatTitle(std::string(161, 'a')), kTitle + std::string(161, 'a'));
    EXPECT_EQ(FormatTitle(std::string(162, 'a')), kTitle + std::string(161, 'a'));
}

}  // namespace
}  // namespace kivo
