#include "core/protocol/SetupDisplay.h"

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
                         const DeviceCalibration& calibration, View& view) {
    if (setup.meterIdentified) {
        view.SetText(Control::LBAVE, FormatC("Average: %1u", setup.averageCount));
        view.SetText(Control::LBNS, FormatC("Number of Sample: %1u", setup.sampleCount));
        view.SetText(Control::LBNC, FormatC("Number of Cycles: %1u", setup.cycleCount));
        view.SetText(Control::LBCI, "Cycle Interval: " + setup.cycleInterval);
        const bool logging = setup.loggingOn != 0;
        view.SetText(Control::LBLog, logging ? "Logging: ON" : "Logging: OFF");
        view.SetText(Control::BTLogging, logging ? "Turn Logging OFF" : "Turn Logging ON");
        const bool engr = setup.engrOutputOn != 0;
        view.SetText(Control::LBCal, engr ? "Engr Output: ON" : "Engr Output: OFF");
        view.SetText(Control::BTCal, engr ? "Turn Engr Output OFF" : "Turn Engr Output ON");
        view.SetText(Control::LBStorageUsed, MemoryUsedLabel(setup.memoryUsedPages));
        view.SetText(Control::LBStorageFree, MemoryFreeLabel(setup.memoryUsedPages));
        view.SetText(Control::LBKIVODandT, MeterClockLabel(clocks.meter, clocks.dataLineCount));
        view.SetText(Control::LBHostDandT, HostClockLabel(clocks.host, clocks.hostZone));
    }
    const struct {
        bool known;
        std::int32_t value;
        Control label;
    } timings[] = {{setup.ph1OnKnown, setup.ph1OnTime, Control::LBph1onTime},
                   {setup.ph1OffKnown, setup.ph1OffTime, Control::LBph1offTime},
                   {setup.ph11OnKnown, setup.ph11OnTime, Control::LBph11onTime},
                   {setup.ph11OffKnown, setup.ph11OffTime, Control::LBph11offTime}};
    for (const auto& timing : timings) {
        if (timing.known) view.SetText(timing.label, FormatC("%1d", timing.value));
    }
    if (setup.uglOffsetFresh) {
        setup.uglOffsetFresh = false;
        view.SetText(Control::LBugloffset, FormatC("%1d", setup.uglOffset));
    }
    if (setup.uglScaleFresh) {
        setup.uglScaleFresh = false;
        view.SetText(Control::LBuglscale, EngrScaleLabel(setup.uglScaleCode));
    }
    const float* fullScale = calibration.asvFullScale.data();
    if (fullScale[1] > 0.0f) {  // NaN fails this test too
        const char* units = calibration.engrUnits.c_str();
        view.SetPageVisible(PageFLSetup, true);
        view.SetText(Control::LBHiRes, FormatC("ASV1:  Hi Resolution   0.0-%3.1f %s",
                                               static_cast<double>(fullScale[0]), units));
        view.SetText(Control::LBStdRes, FormatC("ASV2:  Std Resolution  0.0-%3.1f %s",
                                                static_cast<double>(fullScale[1]), units));
        view.SetText(Control::LBWideRange, FormatC("ASV4:  Wide Range:     0.0-%3.1f %s",
                                                   static_cast<double>(fullScale[2]), units));
        view.SetVisible(Control::HRArrow, setup.analogRange == 1);
        view.SetVisible(Control::SRArrow, setup.analogRange == 2);
        view.SetVisible(Control::WRArrow, setup.analogRange == 4);
    }
    if (calibration.engrScale > 0.0f) {
        view.SetText(Control::LBDFuglscale,
                     FormatC("%6.4f", static_cast<double>(calibration.engrScale)));
        view.SetText(Control::LBDFugloffset,
                     FormatC("%1.0f", static_cast<double>(calibration.engrOffset)));
    }
}

}  // namespace kivo
