#pragma once

#include <cstddef>
#include <vector>

#include "core/chain/Sample.h"
#include "core/data/DeviceCalibration.h"
#include "core/export/ExportColumns.h"
#include "core/quality/ChannelQuality.h"
#include "core/quality/QualitySettings.h"

namespace kivo {

// The quality flags of every exported value of a recording, record by record: one channel
// of tests per count column, shared by the engineering fields that column gives. A record's
// flags are decided when the next record comes (the spike test looks at it), or at Finish.
class RecordQuality {
public:
    RecordQuality(const DeviceCalibration& calibration, bool alternateMode,
                  const QualitySettings& settings);

    // Takes the next record; true when the record before is decided now.
    bool Push(const Sample& sample);
    // Takes a record from its fields (by device column, 0-based) and engineering values.
    bool Push(const SplitLine& fields, const EngineeringValues& engineering);
    // Decides the last record; false when there is none.
    bool Finish();

    // The decided record's flags: of each field of EngineeringColumns (in its order), of each
    // count column of CountColumns, and the worst of them all.
    const ValueFlags& Engineering(std::size_t column) const;
    const ValueFlags& Counts(std::size_t column) const;
    QualityFlag Record() const;
    // The newest record's, its spike yet to be evaluated.
    const ValueFlags& NewestEngineering(std::size_t column) const;
    const ValueFlags& NewestCounts(std::size_t column) const;

    const std::vector<ExportColumn>& EngineeringList() const { return engineering_; }
    const std::vector<CountColumn>& CountList() const { return counts_; }
    // The thresholds of each count column's channel.
    const ChannelThresholds& ThresholdsOf(std::size_t countColumn) const;

private:
    struct Place {
        std::size_t channel = 0;
        std::size_t value = 0;  // 0 the counts, 1 ... the quantities
    };
    bool alternateMode_;
    std::vector<ExportColumn> engineering_;
    std::vector<CountColumn> counts_;
    std::vector<ChannelQuality> channels_;              // one per count column
    std::vector<std::vector<std::size_t>> quantities_;  // each channel's engineering fields
    std::vector<Place> engineeringPlace_;
    std::vector<double> values_;
    SplitLine fields_;
};

}  // namespace kivo
