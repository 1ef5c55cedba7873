#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kivo {

// The time coordinate of an export: unique and increasing, so that xarray's
// sel(method="nearest") and interp, and pandas' time index, work on it.
//
// The meter prints whole seconds: at 4 Hz four records share one. The n records in a row
// that share a second s get s + k/n (k = 0 .. n-1), spread evenly within it. A record whose
// time would not come after the one before it (the meter's clock went back, or more than
// kMaxPerSecond records share a second) and a record without a valid date get the time of
// the record before plus kStep; records before the first valid date get the first date's
// time less kStep for each. The meter's own time is kept beside the axis for such records.
//
// A second's records are held until the next second begins (their count is not known
// before), so at most kMaxPerSecond records are held, however long the recording.
class TimeAxis {
public:
    static constexpr double kStep = 0.001;              // [s]
    static constexpr std::size_t kMaxPerSecond = 1024;  // a stuck clock's records still move on

    // The next record's time [s since 1970 UTC, whole], or nothing without a valid date.
    void Add(std::optional<std::int64_t> second);
    // Ends the second still open (the end of the records): every record added gets its time.
    void Close();
    // The times decided since the last call, in record order; a record without one is NaN
    // (only when no record ever had a valid date).
    std::vector<double> TakeDecided();
    std::size_t Decided() const { return decided_.size(); }
    // Records added whose time is not decided yet.
    std::size_t Held() const { return groupCount_ + undated_; }

private:
    void CloseGroup();
    void Place(double time);

    std::vector<double> decided_;
    std::optional<double> last_;  // the last time decided
    std::int64_t groupSecond_ = 0;
    std::size_t groupCount_ = 0;
    std::size_t undated_ = 0;  // before the first valid date
};

}  // namespace kivo
