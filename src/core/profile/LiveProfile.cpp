#include "core/profile/LiveProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

namespace kivo {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The highest cast number among the marks; 0 when none is a cast.
int LatestCast(const std::vector<CastMark>& marks) {
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark)
        if (mark->cast > 0) return mark->cast;
    return 0;
}

// "12:04:10Z"
std::string UtcTimeOfDay(double seconds) {
    const auto whole = static_cast<std::time_t>(std::floor(seconds));
    std::tm parts{};
    gmtime_r(&whole, &parts);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02dZ", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string Dbar(double pressure) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dbar", pressure);
    return text;
}

}  // namespace

std::string CastStatusText(const ProfileView& view) {
    if (!view.pressureColumn) return "";
    const std::string phase = CastPhaseName(view.phase);
    if (view.cast == 0) return "No cast yet \u00b7 " + phase;
    std::string text = "Cast " + std::to_string(view.cast) + " \u00b7 " + phase;
    if (std::isfinite(view.deepest)) text += " \u00b7 " + Dbar(view.deepest);
    return text;
}

LiveProfile::LiveProfile(Clock& clock, std::size_t limit)
    : clock_(clock), limit_(std::max<std::size_t>(limit, 2)) {}

void LiveProfile::Reset(bool pressureColumn, std::vector<ProfileChannel> channels,
                        ValuesOf valuesOf) {
    valuesOf_ = std::move(valuesOf);
    seconds_.clear();
    pressure_.clear();
    values_.assign(channels.size(), {});
    castsDropped_ = 0;
    downTold_ = 0;
    bottomTold_ = 0;
    fresh_ = false;
    events_.clear();
    const std::uint64_t revision = view_.revision;
    view_ = ProfileView{};
    view_.revision = revision + 1;
    view_.pressureColumn = pressureColumn;
    view_.traces.assign(channels.size(), {});
    view_.channels = std::move(channels);
}

void LiveProfile::ForgetValues() {
    for (std::vector<double>& channel : values_) std::fill(channel.begin(), channel.end(), kNaN);
    for (ProfileTraces& traces : view_.traces) traces = {};
    ++view_.revision;
}

void LiveProfile::SetQuantity(const std::string& quantity) {
    if (quantity == view_.quantity) return;
    view_.quantity = quantity;
    ++view_.revision;
}

void LiveProfile::OnSample(const Sample& sample) {
    if (!view_.pressureColumn) return;
    scratch_.assign(values_.size(), kNaN);
    if (valuesOf_) valuesOf_(sample, scratch_);
    Add(static_cast<double>(clock_.UtcMilliseconds()) / 1000.0, sample.engineering.pressure,
        scratch_);
}

void LiveProfile::Add(double seconds, double pressure, const std::vector<double>& values) {
    if (!view_.pressureColumn) return;
    seconds_.push_back(seconds);
    pressure_.push_back(pressure);
    for (std::size_t c = 0; c < values_.size(); ++c)
        values_[c].push_back(c < values.size() ? values[c] : kNaN);
    fresh_ = true;
    // An owner that never refreshes still keeps a bounded store.
    if (seconds_.size() >= 2 * limit_) Refresh();
}

void LiveProfile::Drop(std::size_t count) {
    const auto erase = [count](std::vector<double>& v) {
        v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(count, v.size())));
    };
    erase(seconds_);
    erase(pressure_);
    for (std::vector<double>& channel : values_) erase(channel);
}

void LiveProfile::Refresh() {
    if (!fresh_) return;
    fresh_ = false;
    std::vector<CastMark> marks = FindCasts(seconds_, pressure_);
    int latest = LatestCast(marks);
    // Samples before the first `count` are let go; the casts wholly among them are counted, so
    // that the casts kept keep their numbers.
    const auto dropFirst = [&](std::size_t count) {
        if (count == 0) return;
        int before = 0;
        for (std::size_t i = 0; i < count; ++i) before = std::max(before, marks[i].cast);
        const int dropped =
            count < marks.size() && marks[count].cast == before && before > 0 ? before - 1 : before;
        Drop(count);
        marks.erase(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(count));
        for (CastMark& mark : marks)
            if (mark.cast > 0) mark.cast -= dropped;
        castsDropped_ += dropped;
        if (latest > 0) latest -= dropped;
    };
    if (latest >= 2) {
        const auto first = std::find_if(marks.begin(), marks.end(), [&](const CastMark& mark) {
            return mark.cast == latest - 1;
        });
        dropFirst(static_cast<std::size_t>(first - marks.begin()));
    }
    if (marks.size() > limit_) {
        std::size_t count = marks.size() - limit_;
        // The previous cast is kept whole or not at all: its last part alone might not reach
        // a cast's depth and the numbers after it would slip. Only the current cast is cut.
        const int straddled = marks[count].cast;
        if (straddled > 0 && straddled != latest)
            while (count < marks.size() && marks[count].cast == straddled) ++count;
        dropFirst(count);
    }
    Publish(marks, latest);
    TellEvents(marks, latest);
}

void LiveProfile::Publish(const std::vector<CastMark>& marks, int latest) {
    view_.cast = latest > 0 ? latest + castsDropped_ : castsDropped_;
    view_.deepest = kNaN;
    std::size_t deepestAt = marks.size();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (latest == 0 || marks[i].cast != latest || !std::isfinite(pressure_[i])) continue;
        if (!(pressure_[i] <= view_.deepest)) {
            view_.deepest = pressure_[i];
            deepestAt = i;
        }
    }
    view_.phase = marks.empty() ? CastPhase::Deck : marks.back().phase;
    // While the frame goes down, ship heave lifts it above its deepest now and then and the
    // samples since read as the bottom; they are the descent until the deepest is a speed
    // window old.
    const CastThresholds thresholds;
    const bool bottomSettled =
        deepestAt < marks.size() && seconds_.back() - seconds_[deepestAt] >= thresholds.window;
    if ((view_.phase == CastPhase::Bottom || view_.phase == CastPhase::Up) && !bottomSettled)
        view_.phase = CastPhase::Down;

    for (std::size_t c = 0; c < values_.size(); ++c) {
        ProfileTraces& traces = view_.traces[c];
        traces = {};
        for (std::size_t i = 0; i < marks.size(); ++i) {
            const double value = values_[c][i];
            if (!std::isfinite(value) || !std::isfinite(pressure_[i])) continue;
            const ProfilePoint point{value, pressure_[i]};
            const CastMark& mark = marks[i];
            if (latest > 0 && mark.cast == latest) {
                if (mark.phase == CastPhase::Down) traces.down.push_back(point);
                if (mark.phase == CastPhase::Up) traces.up.push_back(point);
            } else if (latest > 1 && mark.cast == latest - 1 && mark.phase != CastPhase::Soak) {
                traces.previous.push_back(point);
            }
        }
    }
    ++view_.revision;
}

void LiveProfile::TellEvents(const std::vector<CastMark>& marks, int latest) {
    if (latest == 0 || marks.empty()) return;
    const int cast = latest + castsDropped_;
    // A cast that ended before it was told (nothing refreshed while it lasted) is not told
    // late.
    if (marks.back().cast != latest) {
        downTold_ = std::max(downTold_, cast);
        bottomTold_ = std::max(bottomTold_, cast);
        return;
    }
    // The frame lowered to its soak depth and held there reads as a short cast's descent and
    // bottom until it goes deeper: a descent is told once it spans two speed windows, and
    // the bottom only after a descent that was told.
    const CastThresholds thresholds;
    if (cast > downTold_) {
        double first = std::numeric_limits<double>::quiet_NaN();
        double last = first;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (marks[i].cast != latest || marks[i].phase != CastPhase::Down) continue;
            if (std::isnan(first)) first = seconds_[i];
            last = seconds_[i];
        }
        if (last - first >= 2 * thresholds.window) {
            events_.push_back("cast " + std::to_string(cast) + " down at " + UtcTimeOfDay(first));
            downTold_ = cast;
        }
    }
    const bool pastBottom = view_.phase == CastPhase::Bottom || view_.phase == CastPhase::Up;
    if (cast > bottomTold_ && downTold_ >= cast && pastBottom && std::isfinite(view_.deepest)) {
        events_.push_back("bottom " + Dbar(view_.deepest));
        bottomTold_ = cast;
    }
}

std::vector<std::string> LiveProfile::TakeEvents() { return std::exchange(events_, {}); }

}  // namespace kivo
