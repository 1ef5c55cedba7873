#include "core/export/RecordQuality.h"

#include <cmath>

#include "core/data/DataLine.h"

namespace kivo {

namespace {

const char* QuantityBase(Quantity quantity) {
    switch (quantity) {
        case Quantity::Beta:
            return "beta";
        case Quantity::Betap:
            return "betap";
        case Quantity::Bbp:
            return "bbp";
        case Quantity::Bb:
            return "bb";
        case Quantity::Single:
            break;
    }
    return nullptr;
}

}  // namespace

RecordQuality::RecordQuality(const DeviceCalibration& calibration, bool alternateMode,
                             const QualitySettings& settings)
    : alternateMode_(alternateMode),
      engineering_(EngineeringColumns(calibration)),
      counts_(CountColumns(calibration, engineering_)) {
    // A field whose column keeps no counts (none does today) still gets a channel of its own.
    for (const ExportColumn& e : engineering_) {
        bool counted = false;
        for (const CountColumn& c : counts_) counted = counted || c.deviceColumn == e.deviceColumn;
        if (!counted) counts_.push_back(CountColumn{"", "", e.deviceColumn});
    }
    engineeringPlace_.resize(engineering_.size());
    for (std::size_t c = 0; c < counts_.size(); ++c) {
        const int column = counts_[c].deviceColumn;
        std::vector<ChannelQuality::Quantity> names;
        std::vector<std::size_t> fields;
        for (std::size_t e = 0; e < engineering_.size(); ++e) {
            if (engineering_[e].deviceColumn != column) continue;
            const char* base = QuantityBase(engineering_[e].quantity);
            names.push_back({engineering_[e].name, base != nullptr ? base : engineering_[e].name});
            engineeringPlace_[e] = Place{c, fields.size() + 1};
            fields.push_back(e);
        }
        const int type = calibration.columnType[static_cast<std::size_t>(column - 1)];
        channels_.emplace_back(settings.For(KindKeyOf(type), column), names);
        quantities_.push_back(std::move(fields));
    }
}

bool RecordQuality::Push(const Sample& sample) {
    SplitDataLine(sample.line, alternateMode_, fields_);
    return Push(fields_, sample.engineering);
}

bool RecordQuality::Push(const SplitLine& fields, const EngineeringValues& engineering) {
    bool decided = false;
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        values_.clear();
        for (const std::size_t e : quantities_[c])
            values_.push_back(EngineeringValue(engineering_[e], engineering));
        const auto index = static_cast<std::size_t>(counts_[c].deviceColumn - 1);
        decided = channels_[c].Push(fields.values[index], values_) || decided;
    }
    return decided;
}

bool RecordQuality::Finish() {
    bool decided = false;
    for (ChannelQuality& channel : channels_) decided = channel.Finish() || decided;
    return decided;
}

const ValueFlags& RecordQuality::Engineering(std::size_t column) const {
    const Place& place = engineeringPlace_[column];
    return channels_[place.channel].Decided()[place.value];
}

const ValueFlags& RecordQuality::Counts(std::size_t column) const {
    return channels_[column].Decided()[0];
}

const ValueFlags& RecordQuality::NewestEngineering(std::size_t column) const {
    const Place& place = engineeringPlace_[column];
    return channels_[place.channel].Newest()[place.value];
}

const ValueFlags& RecordQuality::NewestCounts(std::size_t column) const {
    return channels_[column].Newest()[0];
}

const ChannelThresholds& RecordQuality::ThresholdsOf(std::size_t countColumn) const {
    return channels_[countColumn].Thresholds();
}

QualityFlag RecordQuality::Record() const {
    QualityFlag worst = QualityFlag::NotEvaluated;
    for (const ChannelQuality& channel : channels_) {
        for (const ValueFlags& flags : channel.Decided()) worst = Worse(worst, flags.aggregate);
    }
    return worst;
}

}  // namespace kivo
