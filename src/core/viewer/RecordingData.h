#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/quality/QualityTests.h"
#include "core/viewer/RecordingCasts.h"

namespace kivo {

// One plotted quantity of a recording: what the live chart would show for a column.
struct ViewerChannel {
    std::string name;                 // "Beta(412)", "iTemp(C)"
    std::uint32_t colour = 0xffffff;  // R + 256 G + 65536 B
    std::string axisLabel;            // quantity and unit, "Beta [1/(m sr)]"; empty: not known
    bool pressure = false;            // the pressure column: the profile view's vertical
};

// The values of one channel over a range of lines; only finite values count.
struct RangeStatistics {
    std::int64_t count = 0;
    double mean = std::numeric_limits<double>::quiet_NaN();
    double standardDeviation = std::numeric_limits<double>::quiet_NaN();  // n - 1
    double minimum = std::numeric_limits<double>::quiet_NaN();
    double maximum = std::numeric_limits<double>::quiet_NaN();
};

// The flags of one channel over a range of lines that did not pass.
struct FlagCounts {
    std::int64_t suspect = 0;
    std::int64_t fail = 0;
    std::int64_t missing = 0;
};

// One point of a drawn envelope: the lowest and highest value of the lines that fall in a
// pixel column (or one line's value twice when the lines are fewer than the columns).
struct EnvelopePoint {
    double x = 0.0;
    float low = 0.0F;
    float high = 0.0F;
};

// A whole recording kept for looking at: the lines' X and one float per channel and line,
// column by column, with a pyramid of block summaries (lowest, highest, count, sums) so
// that the extent or the statistics of any range cost O(log lines), and a chart of any
// zoom is drawn in O(pixel columns · log lines).
//
// Floats: a chart is a few hundred pixels high and the statistics are read to four to six
// significant digits, while a float carries seven; the counts a meter sends (below 2^24)
// are kept exactly. Sums are accumulated in double about each channel's first value, so a
// small spread around a large level keeps its digits.
//
// X is the meter's date and time [s since 1970, taken as UTC] when every line carries one
// and it never goes back, unless the sample number is asked for; otherwise the sample number
// (1, 2, ...).
class RecordingData {
public:
    static constexpr std::size_t kBaseBlock = 64;  // lines per block of the lowest level
    static constexpr std::size_t kFanOut = 8;      // blocks per block of the next level

    explicit RecordingData(std::vector<ViewerChannel> channels);

    // ---- building: Append every line, then Finish once ----
    void Reserve(std::size_t lines);
    // `values` holds one finite value or NaN (nothing to plot) per channel; `time` is the
    // meter's.
    void Append(const float* values, std::optional<std::int64_t> time);
    void Finish();

    // ---- reading ----
    std::size_t Lines() const { return lines_; }
    int ChannelCount() const { return static_cast<int>(channels_.size()); }
    const ViewerChannel& Channel(int channel) const {
        return channels_[static_cast<std::size_t>(channel)];
    }
    // X is the meter's time.
    bool TimeAxis() const { return timeAxis_ && !sampleAxis_; }
    // Every line carries the meter's time, never going back: X can be the time.
    bool HasTimes() const { return timeAxis_; }
    // X the sample number even where the meter's times would do.
    void UseSampleAxis(bool sample) { sampleAxis_ = sample; }
    // The meter's time of `line` [s since 1970]; only when HasTimes().
    double MeterTime(std::size_t line) const {
        return static_cast<double>(timeBase_ + seconds_[line]);
    }
    // Each line's pressure and cast, when the recording has a pressure column.
    void KeepCasts(std::unique_ptr<const RecordingCasts> casts) { casts_ = std::move(casts); }
    const RecordingCasts* Casts() const { return casts_.get(); }
    double X(std::size_t line) const;
    float Value(int channel, std::size_t line) const {
        return values_[static_cast<std::size_t>(channel)][line];
    }
    // The lines [first, last) whose X lies within [low, high].
    std::pair<std::size_t, std::size_t> LinesWithin(double low, double high) const;
    // The line whose X is nearest `x` (the first of equals); Lines() when there are none.
    std::size_t Nearest(double x) const;

    RangeStatistics Statistics(int channel, std::size_t first, std::size_t last) const;
    // The meter's usual time from one line to the next [s], from the recording's own times
    // (the median over runs of lines, so that pauses do not count); none without a time axis.
    std::optional<double> SampleInterval() const { return sampleInterval_; }
    // Whether the data paused between line `line - 1` and `line` long enough to break the
    // drawn line there (more than five sample intervals).
    bool GapBefore(std::size_t line) const;

    // The envelope of `channel` over X in [low, high] drawn `columns` pixels wide, with the
    // nearest line outside each end so that a line runs on to the edge. Where the data
    // paused (GapBefore) a point with NaN for both values stands between the two sides of
    // the pause: the line is broken there, not drawn across.
    void Envelope(int channel, double low, double high, int columns,
                  std::vector<EnvelopePoint>& out) const;

    // ---- quality flags (a raw recording's), one byte per channel and line ----
    // After Finish: each channel's flag per line (QualityFlag values).
    void KeepFlags(std::vector<std::vector<std::uint8_t>> flags);
    bool HasFlags() const { return !flags_.empty(); }
    // Pass when the recording has no flags.
    QualityFlag Flag(int channel, std::size_t line) const;
    FlagCounts CountFlags(int channel, std::size_t first, std::size_t last) const;
    // The lines of a channel flagged suspect, fail or missing, in order.
    const std::vector<std::uint32_t>& FlaggedLines(int channel) const {
        static const std::vector<std::uint32_t> none;
        return flagged_.empty() ? none : flagged_[static_cast<std::size_t>(channel)];
    }
    // Failed values left out of the statistics, the envelopes and Value(), or taken back.
    void LeaveOutFailed(bool leaveOut);
    bool LeavingOutFailed() const { return !keptValues_.empty(); }

    // Memory held by the lines' values, their X and the pyramid [bytes].
    std::size_t BytesKept() const;

private:
    struct Block {
        float low = std::numeric_limits<float>::infinity();
        float high = -std::numeric_limits<float>::infinity();
        std::uint32_t count = 0;
        double sum = 0.0;         // of (value - reference)
        double sumSquares = 0.0;  // of (value - reference)^2
    };
    using Level = std::vector<Block>;

    void AddValue(Block& block, float value, double reference) const;
    static void Merge(Block& into, const Block& block);
    // The summary of lines [first, last) of `channel`.
    Block Summary(int channel, std::size_t first, std::size_t last) const;
    // Only its lowest and highest value, the envelope's share: floats alone, no sums.
    void Extent(int channel, std::size_t first, std::size_t last, float& low, float& high) const;
    void SummariseLevels(std::size_t level, std::size_t first, std::size_t last,
                         const std::vector<Level>& levels, Block& into) const;
    std::size_t FirstAtOrAbove(double x) const;
    void BuildPyramid(std::size_t channel);
    std::optional<double> EstimateSampleInterval() const;

    std::vector<ViewerChannel> channels_;
    std::size_t lines_ = 0;
    std::vector<std::vector<float>> values_;   // per channel
    std::vector<double> reference_;            // per channel: its first finite value
    std::vector<std::vector<Level>> pyramid_;  // per channel, lowest level first
    // The meter's time of each line, from timeBase_ [s]; dropped when a line has none.
    std::vector<std::int32_t> seconds_;
    std::int64_t timeBase_ = 0;
    bool timeAxis_ = true;
    bool sampleAxis_ = false;
    std::optional<double> sampleInterval_;
    std::unique_ptr<const RecordingCasts> casts_;
    std::vector<std::vector<std::uint8_t>> flags_;     // per channel; empty: none
    std::vector<std::vector<std::uint32_t>> flagged_;  // per channel: the lines not passed
    std::vector<std::vector<float>> keptValues_;       // while failed values are left out
};

}  // namespace kivo
