// Fuzz target: the reply parser on lines from the meter (LF-separated in the input), each
// followed by the half-second setup display that shows what the replies set. The same lines
// are parsed a second time with their ASCII letters in lower case: keywords and values are
// read without regard to case, so both runs must end in the same setup.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/protocol/ReplyParser.h"
#include "core/protocol/SetupDisplay.h"

namespace kivo::fuzz {
namespace {

constexpr std::size_t kCycleIntervalLength = 39;
constexpr std::size_t kCaptionLength = 199;
constexpr std::string_view kKeywords[] = {"AVE", "CAL", "CLK", "DAT", "INT", "MEM",
                                          "PKT", "OFF", "UGL", "01N", "01F", "11N",
                                          "11F", "REC", "SET", "ASV", "VER"};

bool SameSetup(const SetupState& a, const SetupState& b) {
    return a.meterIdentified == b.meterIdentified && a.averageCount == b.averageCount &&
           a.sampleCount == b.sampleCount && a.cycleCount == b.cycleCount &&
           a.cycleInterval == b.cycleInterval && a.loggingOn == b.loggingOn &&
           a.engrOutputOn == b.engrOutputOn && a.analogRange == b.analogRange &&
           a.uglScaleCode == b.uglScaleCode && a.uglScaleFresh == b.uglScaleFresh &&
           a.uglOffset == b.uglOffset && a.uglOffsetFresh == b.uglOffsetFresh &&
           a.ph1OnTime == b.ph1OnTime && a.ph1OffTime == b.ph1OffTime &&
           a.ph11OnTime == b.ph11OnTime && a.ph11OffTime == b.ph11OffTime &&
           a.ph1OnKnown == b.ph1OnKnown && a.ph1OffKnown == b.ph1OffKnown &&
           a.ph11OnKnown == b.ph11OnKnown && a.ph11OffKnown == b.ph11OffKnown &&
           a.memoryUsedPages == b.memoryUsedPages && a.reloadPending == b.reloadPending;
}

bool SameClock(const MeterClock& a, const MeterClock& b) {
    return a.month == b.month && a.day == b.day && a.year == b.year && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

std::string UpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// The line as the meter's C string: up to its first NUL.
bool StartsWithKeyword(std::string_view line) {
    const std::string upper = UpperAscii(line.substr(0, line.find('\0')));
    if (upper.rfind("DONE", 0) == 0) return true;
    for (const std::string_view keyword : kKeywords) {
        if (upper.rfind(keyword, 0) == 0) return true;
    }
    return false;
}

struct Meter {
    SetupState setup;
    MeterClock meterClock;
    HostClockSnapshot hostClock;
    FixedClock clock;
    DeviceCalibration calibration;
    SetupPanel panel;
    std::string caption;
    int memoryFullShows = 0;

    void Take(const std::string& line) {
        ReplyTarget target{setup, meterClock, hostClock, clock};
        const ReplyChanges changes = ParseReply(line, target);
        if (changes.identified) caption = FormatTitle(setup.identification);
        if (changes.memoryFull) ++memoryFullShows;
        FUZZ_CHECK(setup.cycleInterval.size() <= kCycleIntervalLength);
        FUZZ_CHECK(caption.size() <= kCaptionLength);
    }
    void Display() {
        RefreshSetupDisplay(setup, ShownClocks{meterClock, hostClock, "UTC", 7.0}, calibration,
                            panel);
    }
};

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::fuzz;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        lines.emplace_back(input.substr(start, end - start));
        start = end + 1;
    }

    Meter asReceived;
    Meter lowerCase;
    for (const std::string& line : lines) {
        const kivo::SetupState setupBefore = asReceived.setup;
        const kivo::MeterClock clockBefore = asReceived.meterClock;
        const std::string captionBefore = asReceived.caption;
        asReceived.Take(line);
        if (!StartsWithKeyword(line)) {
            FUZZ_CHECK(SameSetup(asReceived.setup, setupBefore));
            FUZZ_CHECK(SameClock(asReceived.meterClock, clockBefore));
            FUZZ_CHECK(asReceived.caption == captionBefore);
        }
        asReceived.Display();

        lowerCase.Take(LowerAscii(line));
        lowerCase.Display();
        FUZZ_CHECK(SameSetup(asReceived.setup, lowerCase.setup));
        FUZZ_CHECK(SameClock(asReceived.meterClock, lowerCase.meterClock));
        FUZZ_CHECK(asReceived.memoryFullShows == lowerCase.memoryFullShows);
    }
    return 0;
}
