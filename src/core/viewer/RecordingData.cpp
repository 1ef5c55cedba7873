#include "core/viewer/RecordingData.h"

#include <algorithm>
#include <cmath>

#include "core/plot/LineGaps.h"

namespace kivo {

namespace {

// Lines per run over which the viewer measures the sample interval: enough that the whole
// seconds of the meter's clock average out for a meter at a few Hz.
constexpr std::size_t kIntervalRun = 16;
// The meter's clock counts whole seconds, so a pause of N seconds between two lines may
// be as short as N - 1.
constexpr double kClockResolution = 1.0;

}  // namespace

RecordingData::RecordingData(std::vector<ViewerChannel> channels)
    : channels_(std::move(channels)),
      values_(channels_.size()),
      reference_(channels_.size(), 0.0),
      pyramid_(channels_.size()) {}

void RecordingData::Reserve(std::size_t lines) {
    for (std::vector<float>& column : values_) column.reserve(lines);
    if (timeAxis_) seconds_.reserve(lines);
}

void RecordingData::Append(const float* values, std::optional<std::int64_t> time) {
    for (std::size_t c = 0; c < values_.size(); ++c) values_[c].push_back(values[c]);
    if (timeAxis_) {
        if (lines_ == 0 && time) timeBase_ = *time;
        const std::int64_t offset = time ? *time - timeBase_ : -1;
        const bool goesOn = time && offset >= (seconds_.empty() ? 0 : seconds_.back()) &&
                            offset <= std::numeric_limits<std::int32_t>::max();
        if (goesOn) {
            seconds_.push_back(static_cast<std::int32_t>(offset));
        } else {
            timeAxis_ = false;
            std::vector<std::int32_t>().swap(seconds_);
        }
    }
    ++lines_;
}

void RecordingData::AddValue(Block& block, float value, double reference) const {
    if (!std::isfinite(value)) return;
    block.low = std::min(block.low, value);
    block.high = std::max(block.high, value);
    ++block.count;
    const double d = static_cast<double>(value) - reference;
    block.sum += d;
    block.sumSquares += d * d;
}

void RecordingData::Merge(Block& into, const Block& block) {
    into.low = std::min(into.low, block.low);
    into.high = std::max(into.high, block.high);
    into.count += block.count;
    into.sum += block.sum;
    into.sumSquares += block.sumSquares;
}

void RecordingData::Finish() {
    if (lines_ == 0) timeAxis_ = false;
    for (std::size_t c = 0; c < values_.size(); ++c) {
        std::vector<float>& column = values_[c];
        column.shrink_to_fit();
        const auto finite =
            std::find_if(column.begin(), column.end(), [](float v) { return std::isfinite(v); });
        reference_[c] = finite == column.end() ? 0.0 : static_cast<double>(*finite);
        BuildPyramid(c);
    }
    seconds_.shrink_to_fit();
    sampleInterval_ = EstimateSampleInterval();
}

void RecordingData::BuildPyramid(std::size_t c) {
    const std::vector<float>& column = values_[c];
    std::vector<Level>& levels = pyramid_[c];
    levels.clear();
    Level base(lines_ / kBaseBlock);
    for (std::size_t b = 0; b < base.size(); ++b) {
        for (std::size_t i = b * kBaseBlock; i < (b + 1) * kBaseBlock; ++i)
            AddValue(base[b], column[i], reference_[c]);
    }
    levels.push_back(std::move(base));
    while (levels.back().size() >= kFanOut) {
        const Level& below = levels.back();
        Level above(below.size() / kFanOut);
        for (std::size_t b = 0; b < above.size(); ++b) {
            for (std::size_t i = b * kFanOut; i < (b + 1) * kFanOut; ++i) Merge(above[b], below[i]);
        }
        levels.push_back(std::move(above));
    }
}

void RecordingData::KeepFlags(std::vector<std::vector<std::uint8_t>> flags) {
    LeaveOutFailed(false);
    flags_ = std::move(flags);
    flags_.resize(values_.size());
    flagged_.assign(values_.size(), {});
    for (std::size_t c = 0; c < flags_.size(); ++c) {
        flags_[c].resize(lines_, static_cast<std::uint8_t>(QualityFlag::Pass));
        for (std::size_t line = 0; line < lines_; ++line) {
            const auto flag = static_cast<QualityFlag>(flags_[c][line]);
            if (flag == QualityFlag::Suspect || flag == QualityFlag::Fail ||
                flag == QualityFlag::Missing)
                flagged_[c].push_back(static_cast<std::uint32_t>(line));
        }
    }
}

QualityFlag RecordingData::Flag(int channel, std::size_t line) const {
    if (flags_.empty()) return QualityFlag::Pass;
    return static_cast<QualityFlag>(flags_[static_cast<std::size_t>(channel)][line]);
}

FlagCounts RecordingData::CountFlags(int channel, std::size_t first, std::size_t last) const {
    FlagCounts counts;
    if (flags_.empty()) return counts;
    const std::vector<std::uint8_t>& column = flags_[static_cast<std::size_t>(channel)];
    const std::vector<std::uint32_t>& flagged = flagged_[static_cast<std::size_t>(channel)];
    const auto begin = std::lower_bound(flagged.begin(), flagged.end(), first);
    const auto end = std::lower_bound(begin, flagged.end(), last);
    for (auto at = begin; at != end; ++at) {
        switch (static_cast<QualityFlag>(column[*at])) {
            case QualityFlag::Suspect:
                ++counts.suspect;
                break;
            case QualityFlag::Fail:
                ++counts.fail;
                break;
            case QualityFlag::Missing:
                ++counts.missing;
                break;
            case QualityFlag::Pass:
            case QualityFlag::NotEvaluated:
                break;
        }
    }
    return counts;
}

void RecordingData::LeaveOutFailed(bool leaveOut) {
    if (leaveOut == LeavingOutFailed() || (leaveOut && flags_.empty())) return;
    if (leaveOut) {
        keptValues_ = values_;
        for (std::size_t c = 0; c < values_.size(); ++c) {
            for (std::size_t line = 0; line < lines_; ++line) {
                if (flags_[c][line] == static_cast<std::uint8_t>(QualityFlag::Fail))
                    values_[c][line] = std::numeric_limits<float>::quiet_NaN();
            }
        }
    } else {
        values_.swap(keptValues_);
        keptValues_.clear();
    }
    for (std::size_t c = 0; c < values_.size(); ++c) BuildPyramid(c);
}

std::optional<double> RecordingData::EstimateSampleInterval() const {
    if (!timeAxis_ || lines_ < 2) return std::nullopt;
    const std::size_t run = std::min(kIntervalRun, lines_ - 1);
    std::vector<double> intervals;
    for (std::size_t i = 0; i + run < lines_; i += run)
        intervals.push_back((X(i + run) - X(i)) / static_cast<double>(run));
    const auto middle = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    if (!(*middle > 0.0)) return std::nullopt;
    return *middle;
}

bool RecordingData::GapBefore(std::size_t line) const {
    if (!TimeAxis() || !sampleInterval_ || line == 0 || line >= lines_) return false;
    return BreaksLine(X(line) - X(line - 1) - kClockResolution, *sampleInterval_);
}

double RecordingData::X(std::size_t line) const {
    return TimeAxis() ? static_cast<double>(timeBase_ + seconds_[line])
                      : static_cast<double>(line + 1);
}

std::size_t RecordingData::FirstAtOrAbove(double x) const {
    if (!TimeAxis()) {
        // X(i) = i + 1 >= x
        if (!(x > 1.0)) return 0;
        if (x > static_cast<double>(lines_)) return lines_;
        return static_cast<std::size_t>(std::ceil(x)) - 1;
    }
    const auto it =
        std::lower_bound(seconds_.begin(), seconds_.end(), x, [this](std::int32_t s, double value) {
            return static_cast<double>(timeBase_ + s) < value;
        });
    return static_cast<std::size_t>(it - seconds_.begin());
}

std::pair<std::size_t, std::size_t> RecordingData::LinesWithin(double low, double high) const {
    const std::size_t first = FirstAtOrAbove(low);
    std::size_t last = first;
    if (!TimeAxis()) {
        // X(i) = i + 1 <= high
        if (high >= static_cast<double>(lines_)) {
            last = lines_;
        } else if (high >= 1.0) {
            last = static_cast<std::size_t>(std::floor(high));
        } else {
            last = 0;
        }
    } else {
        const auto it = std::upper_bound(seconds_.begin(), seconds_.end(), high,
                                         [this](double value, std::int32_t s) {
                                             return value < static_cast<double>(timeBase_ + s);
                                         });
        last = static_cast<std::size_t>(it - seconds_.begin());
    }
    return {first, std::max(first, last)};
}

std::size_t RecordingData::Nearest(double x) const {
    if (lines_ == 0) return 0;
    const std::size_t above = FirstAtOrAbove(x);
    if (above == 0) return 0;
    if (above == lines_) return FirstAtOrAbove(X(lines_ - 1));
    const double below = X(above - 1);
    return x - below <= X(above) - x ? FirstAtOrAbove(below) : above;
}

RecordingData::Block RecordingData::Summary(int channel, std::size_t first,
                                            std::size_t last) const {
    const auto c = static_cast<std::size_t>(channel);
    const std::vector<float>& column = values_[c];
    const double reference = reference_[c];
    Block block;
    last = std::min(last, lines_);
    if (first >= last) return block;
    if (last - first < 2 * kBaseBlock) {
        for (std::size_t i = first; i < last; ++i) AddValue(block, column[i], reference);
        return block;
    }
    const std::size_t a = (first + kBaseBlock - 1) / kBaseBlock;
    const std::size_t z = last / kBaseBlock;
    for (std::size_t i = first; i < a * kBaseBlock; ++i) AddValue(block, column[i], reference);
    for (std::size_t i = z * kBaseBlock; i < last; ++i) AddValue(block, column[i], reference);
    if (a < z) SummariseLevels(0, a, z, pyramid_[c], block);
    return block;
}

void RecordingData::SummariseLevels(std::size_t level, std::size_t first, std::size_t last,
                                    const std::vector<Level>& levels, Block& into) const {
    const Level& blocks = levels[level];
    if (level + 1 >= levels.size() || last - first < 2 * kFanOut) {
        for (std::size_t i = first; i < last; ++i) Merge(into, blocks[i]);
        return;
    }
    const std::size_t a = (first + kFanOut - 1) / kFanOut;
    const std::size_t z = last / kFanOut;
    for (std::size_t i = first; i < a * kFanOut; ++i) Merge(into, blocks[i]);
    for (std::size_t i = z * kFanOut; i < last; ++i) Merge(into, blocks[i]);
    if (a < z) SummariseLevels(level + 1, a, z, levels, into);
}

void RecordingData::Extent(int channel, std::size_t first, std::size_t last, float& low,
                           float& high) const {
    const auto c = static_cast<std::size_t>(channel);
    const float* column = values_[c].data();
    // NaN fails both comparisons, so a gap is passed over without a test of its own.
    const auto scan = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const float v = column[i];
            low = v < low ? v : low;
            high = v > high ? v : high;
        }
    };
    if (last - first < 2 * kBaseBlock) return scan(first, last);
    std::size_t a = (first + kBaseBlock - 1) / kBaseBlock;
    std::size_t z = last / kBaseBlock;
    scan(first, a * kBaseBlock);
    scan(z * kBaseBlock, last);
    const std::vector<Level>& levels = pyramid_[c];
    for (std::size_t level = 0; a < z; ++level) {
        const Level& blocks = levels[level];
        const auto merge = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                low = std::min(low, blocks[i].low);
                high = std::max(high, blocks[i].high);
            }
        };
        if (level + 1 >= levels.size() || z - a < 2 * kFanOut) return merge(a, z);
        const std::size_t up = (a + kFanOut - 1) / kFanOut;
        const std::size_t down = z / kFanOut;
        merge(a, up * kFanOut);
        merge(down * kFanOut, z);
        a = up;
        z = down;
    }
}

RangeStatistics RecordingData::Statistics(int channel, std::size_t first, std::size_t last) const {
    const Block block = Summary(channel, first, last);
    RangeStatistics statistics;
    statistics.count = block.count;
    if (block.count == 0) return statistics;
    const double n = block.count;
    const double reference = reference_[static_cast<std::size_t>(channel)];
    statistics.mean = reference + block.sum / n;
    statistics.minimum = block.low;
    statistics.maximum = block.high;
    if (block.count > 1) {
        const double squares = block.sumSquares - block.sum * block.sum / n;
        statistics.standardDeviation = std::sqrt(std::max(0.0, squares) / (n - 1.0));
    }
    return statistics;
}

void RecordingData::Envelope(int channel, double low, double high, int columns,
                             std::vector<EnvelopePoint>& out) const {
    out.clear();
    if (lines_ == 0 || columns <= 0 || !(high > low)) return;
    const auto [first, last] = LinesWithin(low, high);
    const std::vector<float>& column = values_[static_cast<std::size_t>(channel)];
    constexpr float kGap = std::numeric_limits<float>::quiet_NaN();
    bool broken = false;  // a pause since the last point put out
    const auto put = [&](double x, float bottom, float top) {
        if (broken && !out.empty()) out.push_back({(out.back().x + x) / 2.0, kGap, kGap});
        broken = false;
        out.push_back({x, bottom, top});
    };
    const auto single = [&](std::size_t line) {
        broken = broken || GapBefore(line);
        const float v = column[line];
        if (std::isfinite(v)) put(X(line), v, v);
    };
    if (first > 0) single(first - 1);
    const auto width = static_cast<std::size_t>(columns);
    if (last - first <= 2 * width) {
        for (std::size_t i = first; i < last; ++i) single(i);
    } else {
        const double step = (high - low) / columns;
        std::size_t start = first;
        for (std::size_t c = 0; c < width && start < last; ++c) {
            const std::size_t end =
                c + 1 == width ? last
                               : std::clamp(FirstAtOrAbove(low + step * static_cast<double>(c + 1)),
                                            start, last);
            if (end == start) continue;
            // A pause within a pixel column cannot be seen; one between two can.
            broken = broken || GapBefore(start);
            float bottom = std::numeric_limits<float>::infinity();
            float top = -bottom;
            Extent(channel, start, end, bottom, top);
            if (bottom <= top) put(low + step * (static_cast<double>(c) + 0.5), bottom, top);
            start = end;
        }
    }
    if (last < lines_) single(last);
}

std::size_t RecordingData::BytesKept() const {
    std::size_t bytes = seconds_.capacity() * sizeof(std::int32_t);
    if (casts_) bytes += casts_->Lines() * (sizeof(float) + sizeof(CastMark));
    for (std::size_t c = 0; c < values_.size(); ++c) {
        bytes += values_[c].capacity() * sizeof(float);
        for (const Level& level : pyramid_[c]) bytes += level.capacity() * sizeof(Block);
    }
    for (const std::vector<std::uint8_t>& column : flags_) bytes += column.capacity();
    for (const std::vector<std::uint32_t>& lines : flagged_) bytes += lines.capacity() * 4;
    for (const std::vector<float>& column : keptValues_) bytes += column.capacity() * sizeof(float);
    return bytes;
}

}  // namespace kivo
