#include "core/protocol/SetupDisplay.h"

#include <cstddef>

#include "core/protocol/ClockLabels.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

constexpr std::int32_t kMemoryPages = 4095;
constexpr std::int32_t kPageBytes = 264;

// Percent of the memory, rounded to single precision before it is printed.
double MemoryPercent(std::int64_t pages) {
    return static_cast<float>(static_cast<double>(pages) * (1.0 / kMemoryPages) * 100.0);
}

std::string MemoryLabel(const char* name, std::int64_t pages) {
    const long kilobytes = static_cast<long>(pages * kPageBytes / 1024);
    return FormatC("%s:  %1ld K  %4.1f %%", name, kilobytes, MemoryPercent(pages));
}

}  // namespace

std::string MemoryUsedLabel(std::int32_t usedPages) { return MemoryLabel("Used", usedPages); }

std::string MemoryFreeLabel(std::int32_t usedPages) {
    // In 64 bits: a "MEM" reply can carry any 32-bit count, and 4095 minus it may not fit.
    return MemoryLabel("Free", std::int64_t{kMemoryPages} - usedPages);
}

std::string EngrScaleLabel(std::int32_t scaleCode) {
    const float scale = static_cast<float>(scaleCode * 0.0001);
    return FormatC("%6.4f", static_cast<double>(scale));
}

void RefreshSetupDisplay(SetupState& setup, const ShownClocks& clocks,
                         const DeviceCalibration& calibration, SetupPanel& panel) {
    if (setup.meterIdentified) {
        panel.average = FormatC("Average: %1u", setup.averageCount);
        panel.samples = FormatC("Number of Sample: %1u", setup.sampleCount);
        panel.cycles = FormatC("Number of Cycles: %1u", setup.cycleCount);
        panel.cycleInterval = "Cycle Interval: " + setup.cycleInterval;
        panel.loggingOn = setup.loggingOn != 0;
        panel.engrOutputOn = setup.engrOutputOn != 0;
        panel.memoryUsed = MemoryUsedLabel(setup.memoryUsedPages);
        panel.memoryFree = MemoryFreeLabel(setup.memoryUsedPages);
        panel.meterClock = MeterClockLabel(clocks.meter, clocks.dataLineCount);
        panel.hostClock = HostClockLabel(clocks.host, clocks.hostZone);
    }
    const struct {
        bool known;
        std::int32_t value;
    } timings[] = {{setup.ph1OnKnown, setup.ph1OnTime},
                   {setup.ph1OffKnown, setup.ph1OffTime},
                   {setup.ph11OnKnown, setup.ph11OnTime},
                   {setup.ph11OffKnown, setup.ph11OffTime}};
    for (std::size_t i = 0; i < panel.timings.size(); ++i) {
        if (timings[i].known) panel.timings[i] = FormatC("%1d", timings[i].value);
    }
    if (setup.uglOffsetFresh) {
        setup.uglOffsetFresh = false;
        panel.meterOffset = FormatC("%1d", setup.uglOffset);
    }
    if (setup.uglScaleFresh) {
        setup.uglScaleFresh = false;
        panel.meterScale = EngrScaleLabel(setup.uglScaleCode);
    }
    const float* fullScale = calibration.asvFullScale.data();
    if (fullScale[1] > 0.0f) {  // NaN fails this test too
        const char* units = calibration.engrUnits.c_str();
        panel.flSetupPage = true;
        panel.hiResRange = FormatC("ASV1:  Hi Resolution   0.0-%3.1f %s",
                                   static_cast<double>(fullScale[0]), units);
        panel.stdResRange = FormatC("ASV2:  Std Resolution  0.0-%3.1f %s",
                                    static_cast<double>(fullScale[1]), units);
        panel.wideRange = FormatC("ASV4:  Wide Range:     0.0-%3.1f %s",
                                  static_cast<double>(fullScale[2]), units);
        panel.analogRange = static_cast<int>(setup.analogRange);
    }
    if (calibration.engrScale > 0.0f) {
        panel.deviceScale = FormatC("%6.4f", static_cast<double>(calibration.engrScale));
        panel.deviceOffset = FormatC("%1.0f", static_cast<double>(calibration.engrOffset));
    }
}

}  // namespace kivo
