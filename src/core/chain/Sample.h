#pragma once

#include <array>
#include <string_view>

#include "core/data/ColumnTypes.h"
#include "core/data/Conversion.h"
#include "core/data/MeterClock.h"

namespace kivo {

// A reference reading is captured while its first-reference slot is above this: a device
// file load arms every slot; before any load none is armed.
inline constexpr double kReferenceCaptureAbove = 9999.0;
inline constexpr double kReferenceArmed = 9999.9;
inline constexpr double kReferenceNotArmed = -9999.9;

// One accepted data line's worth of facts, as the data chain hands it to its sinks.
//
// The tables are indexed by column type code, not by position: columns of one kind share a
// slot, and a kind the current device file does not define keeps what earlier lines left in
// it. So the chain keeps one sample and updates it in place; a sink that wants to keep
// anything copies it during OnSample.
struct Sample {
    std::string_view line;  // the accepted line as received, without its line end
    double index = 0.0;     // data lines accepted so far, this one included (1, 2, ...)
    double x = 0.01;        // the chart's X and the record's Count: 0, 1, 2 ... (1, 2 ... without
                            // a date)
    MeterClock meterClock;  // the meter's date and time after this line (replies set it too)
    HostClockSnapshot hostClock;  // the host's time when this line arrived

    RawTable counts{};      // per type code; scattering channels corrected when asked
    double rawITemp = 0.0;  // the internal temperature's counts, before any correction
    // The first reading of each reference column after the device file was loaded; above
    // 9999.0 while none was taken.
    std::array<double, kSlots> firstReference = NotArmed();
    EngineeringValues engineering;

    static std::array<double, kSlots> NotArmed() {
        std::array<double, kSlots> table{};
        table.fill(kReferenceNotArmed);
        return table;
    }
};

// Takes the samples of a data chain: recorders, the readout and chart, exporters.
class SampleSink {
public:
    virtual ~SampleSink() = default;
    virtual void OnSample(const Sample& sample) = 0;
};

}  // namespace kivo
