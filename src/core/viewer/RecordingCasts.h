#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "core/profile/Casts.h"

namespace kivo {

class RecordingData;
struct RangeStatistics;

// Which traces of a recording's casts the profile view shows.
enum class TraceChoice { Down, Up, Both };

struct CastChoice {
    int cast = 0;  // 1, 2 ...; 0: every cast
    TraceChoice traces = TraceChoice::Both;
};

// One run of a cast's down or up trace: lines [first, last), in the order they were taken.
struct CastTrace {
    int cast = 0;
    CastPhase direction = CastPhase::Down;
    std::size_t first = 0;
    std::size_t last = 0;

    bool operator==(const CastTrace& other) const {
        return cast == other.cast && direction == other.direction && first == other.first &&
               last == other.last;
    }
};

// A point of a drawn profile: one line's value at its pressure, or the lowest and highest
// value of a trace's lines within one pixel row, at the row's centre.
struct ProfileEnvelopePoint {
    double pressure = 0.0;  // [dbar]
    float low = 0.0F;
    float high = 0.0F;
};

// The region of the profile chart the cursor is looked for in: a value's distance counts
// against `valueSpan`, a pressure's against `pressureSpan`, so that both count as the screen
// shows them.
struct CursorScale {
    double pressureSpan = 1.0;  // [dbar]
    double valueSpan = 1.0;
};

// Each line's pressure and its place in a cast, kept beside a recording's values, from which
// the profile view draws the chosen casts and traces with pressure as the vertical.
//
// A trace may hold many more lines than the chart has pixel rows (a slow descent at a few
// Hz): drawn like that it is reduced to the band of values in each row, as the time chart
// does with its columns; a trace of fewer lines is drawn line by line, loops and all.
class RecordingCasts {
public:
    // One pressure [dbar] and one mark per line of the recording.
    RecordingCasts(std::vector<float> pressure, std::vector<CastMark> marks);

    std::size_t Lines() const { return pressure_.size(); }
    int CastCount() const { return castCount_; }
    float Pressure(std::size_t line) const { return pressure_[line]; }
    const CastMark& Mark(std::size_t line) const { return marks_[line]; }

    // The runs of the chosen traces, in the recording's order.
    std::vector<CastTrace> Traces(const CastChoice& choice) const;
    // The shallowest and deepest pressure of `traces`; none when they hold no pressure.
    std::optional<std::pair<double, double>> PressureExtent(
        const std::vector<CastTrace>& traces) const;

    // The profile of `channel` along `trace`, for pressures in [low, high] drawn `rows`
    // pixels high: line by line in the order taken, or per pixel row by increasing pressure.
    void Envelope(const RecordingData& data, int channel, const CastTrace& trace,
                  std::pair<double, double> pressures, int rows,
                  std::vector<ProfileEnvelopePoint>& out) const;

    // The values of `channel` in the lines of `traces` whose pressure is within
    // [low, high].
    RangeStatistics Statistics(const RecordingData& data, int channel,
                               const std::vector<CastTrace>& traces,
                               std::pair<double, double> pressures) const;

    // The line of `traces` whose point is nearest `at` = {pressure, value of `channel`},
    // with its distance in spans; none when no line has both.
    std::optional<std::pair<std::size_t, double>> Nearest(const RecordingData& data, int channel,
                                                          const std::vector<CastTrace>& traces,
                                                          std::pair<double, double> at,
                                                          const CursorScale& scale) const;

private:
    std::vector<float> pressure_;
    std::vector<CastMark> marks_;
    std::vector<CastTrace> runs_;  // every down and up run
    int castCount_ = 0;
};

}  // namespace kivo
