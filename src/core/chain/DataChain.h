#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceCalibration.h"
#include "core/seams/Clock.h"

namespace kivo {

// The switches that change what a line means or how its counts are corrected.
struct ChainOptions {
    bool alternateMode = false;   // six-digit date and time as the first two fields
    bool refCorrection = false;   // scattering counts over their reference channel
    bool tempCorrection = false;  // scattering counts for the internal temperature
};

// Lines taken and refused over the whole run. Neither a new device file nor restarting the
// stream resets them.
struct LineCounts {
    double DataLineCount = 0.0;
    double FirstLineCount = 0.0;
    double SampleX = 0.01;           // X of the latest data line
    std::int32_t MismatchCount = 0;  // wrong field counts in a row
    // Lines refused while a device file is loaded, by reason.
    std::int64_t NotDataLineCount = 0;      // no data line at all: a reply or noise
    std::int64_t WrongColumnLineCount = 0;  // a data line with another field count
};

// The sixth line in a row whose field count differs from the device file's "Columns=".
struct ColumnMismatch {
    int found = 0;
    int expected = 0;
};

// The warning the operator gets for it.
inline constexpr const char* kColumnMismatchCaption =
    "Possible Mis-Match between Device File and Meter";
// "Execution Error - Columns found 4 != Columns Expected 6"
std::string ColumnMismatchText(const ColumnMismatch& mismatch);

// What became of one line.
struct LineOutcome {
    bool dataLine = false;                   // false: hand it on to the reply parser
    std::optional<ColumnMismatch> mismatch;  // the operator must be told
};

// From a received line to engineering values: parse, take the counts, correct, convert, then
// hand the sample to every sink in the order they were added. The window, replay, kivo-log
// and kivo-convert all run their lines through one of these; each adds only the sinks it
// needs.
class DataChain {
public:
    explicit DataChain(const DeviceCalibration& calibration) : calibration_(calibration) {}
    DataChain(const DataChain&) = delete;
    DataChain& operator=(const DataChain&) = delete;

    void AddSink(SampleSink& sink) { sinks_.push_back(&sink); }

    // A device file was loaded: the next reading of each reference column is its first.
    void DeviceFileLoaded();

    // One line without its line end. With no device file loaded every line is data (and
    // counted, though nothing is converted); with one loaded a line must have as many fields
    // as it declares.
    LineOutcome Accept(std::string_view line, bool deviceLoaded, const ChainOptions& options,
                       Clock& hostClock);

    const LineCounts& Counts() const { return counts_; }
    const Sample& Current() const { return sample_; }
    // The meter's clock: data lines set it, and so do the meter's date and time replies.
    MeterClock& MeterTime() { return sample_.meterClock; }
    HostClockSnapshot& HostTime() { return sample_.hostClock; }

private:
    // Stores a data line's field values by type and counts it.
    void TakeValues(const SplitLine& fields, int fieldCount, Clock& hostClock);

    const DeviceCalibration& calibration_;
    std::vector<SampleSink*> sinks_;
    LineCounts counts_;
    Sample sample_;
    WaterScatteringCache water_;
};

}  // namespace kivo
