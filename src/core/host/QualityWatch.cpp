#include "core/host/QualityWatch.h"

#include <algorithm>

#include "core/data/ColumnKinds.h"
#include "core/export/ExportColumns.h"

namespace kivo {

namespace {

constexpr std::size_t kNoticesKept = 50;

}  // namespace

void QualityWatch::Use(QualitySettings settings) {
    settings_ = std::move(settings);
    Restart();
}

void QualityWatch::Restart() {
    quality_.reset();
    episodes_.clear();
    failed_.clear();
}

std::string QualityWatch::ChannelName(const DeviceCalibration& calibration, int deviceColumn) {
    const int type = calibration.columnType[static_cast<std::size_t>(deviceColumn - 1)];
    std::string name;
    if (IsScattering(type)) {
        name = std::to_string(calibration.wavelength[static_cast<std::size_t>(type)]) + " nm";
    } else if (const ColumnKind* kind = ColumnKindOf(type); kind && kind->rawName) {
        name = kind->rawName;
    } else {
        name = KindKeyOf(type);
    }
    return name + " (column " + std::to_string(deviceColumn) + ")";
}

void QualityWatch::OnSample(const Sample& sample) {
    const bool alternate = links_.alternateMode && links_.alternateMode();
    if (!quality_ || alternate != alternateMode_) {
        alternateMode_ = alternate;
        quality_.emplace(links_.calibration, alternate, settings_);
        episodes_.assign(quality_->CountList().size(), Episode{});
    }
    SplitDataLine(sample.line, alternateMode_, fields_);
    const bool decided = quality_->Push(fields_, sample.engineering);

    const std::vector<CountColumn>& counts = quality_->CountList();
    const std::vector<ExportColumn>& fields = quality_->EngineeringList();
    failed_.clear();
    for (std::size_t c = 0; c < counts.size() && c < episodes_.size(); ++c) {
        const int column = counts[c].deviceColumn;
        const ValueFlags& newest = quality_->NewestCounts(c);
        // The last value's flag: the newest's, and the one before now its spike is decided.
        QualityFlag worst = newest.aggregate;
        if (decided) worst = Worse(worst, quality_->Counts(c).aggregate);
        for (std::size_t e = 0; e < fields.size(); ++e) {
            if (fields[e].deviceColumn != column) continue;
            worst = Worse(worst, quality_->NewestEngineering(e).aggregate);
            if (decided) worst = Worse(worst, quality_->Engineering(e).aggregate);
        }
        if (worst == QualityFlag::Fail) failed_.push_back(column);

        // The words of a notice are made only when there is one: this runs for every line.
        const auto told = [&](const char* what) {
            const double count = fields_.values[static_cast<std::size_t>(column - 1)];
            return ChannelName(links_.calibration, column) + what + ShortestText(count) + " counts";
        };
        Episode& episode = episodes_[c];
        const bool saturated = newest.saturation == QualityFlag::Fail;
        if (saturated != episode.saturated) {
            episode.saturated = saturated;
            Tell(told(saturated ? " saturated: " : " no longer saturated: "));
        }
        const bool flat = newest.flatLine == QualityFlag::Fail;
        if (flat != episode.flat) {
            episode.flat = flat;
            const int samples = quality_->ThresholdsOf(c).flatLine.fail;
            Tell(flat ? told(" flat-lined: ") + " for " + std::to_string(samples) + " samples"
                      : told(" no longer flat: "));
        }
    }
}

std::vector<std::string> QualityWatch::Problems() const {
    std::vector<std::string> problems;
    if (!quality_) return problems;
    const std::vector<CountColumn>& counts = quality_->CountList();
    for (std::size_t c = 0; c < counts.size() && c < episodes_.size(); ++c) {
        const Episode& episode = episodes_[c];
        if (!episode.saturated && !episode.flat) continue;
        std::string name = ChannelName(links_.calibration, counts[c].deviceColumn);
        name.erase(name.find(" (column"));
        problems.push_back(name + (episode.saturated ? " saturated" : " flat"));
    }
    return problems;
}

std::deque<std::string> QualityWatch::TakeNotices() {
    std::deque<std::string> taken;
    taken.swap(notices_);
    return taken;
}

void QualityWatch::Tell(const std::string& text) {
    const std::string line = "quality: " + text;
    if (links_.log) links_.log(line);
    notices_.push_back(line);
    while (notices_.size() > kNoticesKept) notices_.pop_front();
}

}  // namespace kivo
