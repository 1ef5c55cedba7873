// Inputs the fuzz targets (tests/fuzz) found to crash the program or to make it compute
// with undefined behaviour, kept as unit tests of the modules they broke. The inputs
// themselves are under tests/fuzz/regressions/<target>/.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "core/protocol/ReplyParser.h"
#include "core/protocol/SetupDisplay.h"
#include "core/seams/Clock.h"

namespace kivo::test {
namespace {

class StoppedClock final : public Clock {
public:
    LocalTime Now() override { return LocalTime{2004, 3, 5, 7, 8, 9}; }
};

// reply/mem_int32_min_free_pages: "MEM" carries any 32-bit count, and the free memory is
// 4095 pages minus it, which for counts near the bottom of the range does not fit 32 bits.
TEST(FuzzRegressions, MemoryLabelsForEveryReportedPageCount) {
    constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();
    struct Case {
        std::int32_t pages;
        const char* used;
        const char* free;
    };
    const Case cases[] = {
        {kLowest, "Used:  -553648128 K  -52441604.0 %", "Free:  553649183 K  52441704.0 %"},
        // The first count whose free pages (2^31) leave the 32-bit range.
        {-2147479553, "Used:  -553647072 K  -52441504.0 %", "Free:  553648128 K  52441604.0 %"},
        {kHighest, "Used:  553648127 K  52441604.0 %", "Free:  -553647072 K  -52441504.0 %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MemoryUsedLabel(c.pages), c.used) << c.pages;
        EXPECT_EQ(MemoryFreeLabel(c.pages), c.free) << c.pages;
    }
}

TEST(FuzzRegressions, LowestMemoryReplyReachesTheSetupPage) {
    SetupState setup;
    MeterClock meterClock;
    HostClockSnapshot hostClock;
    StoppedClock clock;
    SetupPanel panel;
    ReplyTarget target{setup, meterClock, hostClock, clock};
    ParseReply("VER", target);
    ParseReply("MEM-2147483648", target);
    RefreshSetupDisplay(setup, ShownClocks{meterClock, hostClock, "UTC", 0.0}, DeviceCalibration{},
                        panel);
    EXPECT_EQ(setup.memoryUsedPages, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(panel.memoryFree, "Free:  553649183 K  52441704.0 %");
}

}  // namespace
}  // namespace kivo::test
