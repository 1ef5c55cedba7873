#include "core/chain/DataChain.h"

#include <algorithm>
#include <limits>

#include "core/text/CFormat.h"

namespace kivo {

std::string ColumnMismatchText(const ColumnMismatch& mismatch) {
    return FormatC("Execution Error - Columns found %d != Columns Expected %d", mismatch.found,
                   mismatch.expected);
}

void DataChain::DeviceFileLoaded() { sample_.firstReference.fill(kReferenceArmed); }

LineOutcome DataChain::Accept(std::string_view line, bool deviceLoaded, const ChainOptions& options,
                              Clock& hostClock) {
    LineOutcome outcome;
    SplitLine fields;
    const int fieldCount = SplitDataLine(line, options.alternateMode, fields);
    if (deviceLoaded) {
        // A reply or noise; never counted as a mismatch.
        if (fieldCount == 0) {
            ++counts_.NotDataLineCount;
            return outcome;
        }
        if (fieldCount != calibration_.declaredColumns) {
            ++counts_.WrongColumnLineCount;
            // Told once per run of mismatching lines, on the sixth.
            if (counts_.MismatchCount == 5) {
                outcome.mismatch = ColumnMismatch{fieldCount, calibration_.declaredColumns};
            }
            if (counts_.MismatchCount < std::numeric_limits<std::int32_t>::max())
                ++counts_.MismatchCount;
            return outcome;
        }
    }
    TakeValues(fields, fieldCount, hostClock);
    CorrectCounts(calibration_, sample_.counts, sample_.rawITemp, sample_.firstReference,
                  options.refCorrection, options.tempCorrection);
    ConvertToEngineering(calibration_, sample_.counts, sample_.engineering, &water_);
    sample_.line = line;
    for (SampleSink* sink : sinks_) sink->OnSample(sample_);
    outcome.dataLine = true;
    return outcome;
}

void DataChain::TakeValues(const SplitLine& fields, int fieldCount, Clock& hostClock) {
    // Only columns the line has: without a device file a line of any length is taken.
    const int columns = std::clamp(std::min(calibration_.definitionCount, fieldCount), 0, kSlots);
    for (int i = 0; i < columns; ++i) {
        const int t = calibration_.columnType[i];
        if (!IsSlot(t)) continue;
        const double v = fields.values[i];
        if (IsReference(t)) {
            sample_.counts[t] = v;
            if (sample_.firstReference[t] > kReferenceCaptureAbove) sample_.firstReference[t] = v;
        } else if (IsMeasurement(t)) {
            sample_.counts[t] = v;
            if (t == column::kITemp) sample_.rawITemp = v;
        }
    }

    counts_.MismatchCount = 0;
    CaptureHostClock(sample_.hostClock, hostClock);
    MeterClock& meter = sample_.meterClock;
    if (fields.date) {
        meter.month = fields.date->month;
        meter.day = fields.date->day;
        meter.year = fields.date->year;
    }
    if (fields.time) {
        meter.hour = fields.time->hour;
        meter.minute = fields.time->minute;
        meter.second = fields.time->second;
    }

    LineCounts& c = counts_;
    c.DataLineCount += 1.0;
    if (c.DataLineCount < c.FirstLineCount || !(c.FirstLineCount > 0.0))
        c.FirstLineCount = c.DataLineCount;
    c.SampleX = meter.month == 99 ? c.DataLineCount : c.DataLineCount - c.FirstLineCount;
    sample_.index = c.DataLineCount;
    sample_.x = c.SampleX;
}

}  // namespace kivo
