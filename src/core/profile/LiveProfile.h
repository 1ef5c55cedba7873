#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/chain/Sample.h"
#include "core/profile/Casts.h"
#include "core/seams/Clock.h"

namespace kivo {

// One value of a channel at the pressure it was taken at.
struct ProfilePoint {
    double value = 0.0;
    double pressure = 0.0;  // [dbar]
};

// A plotted channel of the profile view: its legend name and the strip chart's colour.
struct ProfileChannel {
    std::string name;
    std::uint32_t colour = 0;
};

// One channel's points, in the order they were taken.
struct ProfileTraces {
    std::vector<ProfilePoint> down;      // the current cast's descent
    std::vector<ProfilePoint> up;        // its ascent
    std::vector<ProfilePoint> previous;  // the cast before it, from its descent to its ascent
};

// What the live profile shows, as data; `revision` counts every change.
struct ProfileView {
    std::uint64_t revision = 0;
    bool pressureColumn = false;        // false: nothing is told, nothing guessed
    int cast = 0;                       // the latest cast seen, under way or just over; 0: none yet
    CastPhase phase = CastPhase::Deck;  // of the latest sample
    double deepest = std::numeric_limits<double>::quiet_NaN();  // [dbar] of the latest cast
    std::string quantity;  // the X axis: what the channels plot, with units
    std::vector<ProfileChannel> channels;
    std::vector<ProfileTraces> traces;  // by channel
};

// "Cast 3 · down · 148.2 dbar"; "No cast yet · deck" before the first; empty without a
// pressure column.
std::string CastStatusText(const ProfileView& view);

// The live profile: each sample's host time, pressure and plotted values are kept from the
// start of the cast before the current one (at most `limit` samples); Refresh tells the casts
// apart again over all of them, since a phase told live can change as later samples arrive,
// and publishes the current and previous casts' traces and the events of the cast under way.
class LiveProfile final : public SampleSink {
public:
    static constexpr std::size_t kDefaultLimit = 50000;
    // The values of a sample, one per channel in order; NaN where a channel has none.
    using ValuesOf = std::function<void(const Sample& sample, std::vector<double>& values)>;

    explicit LiveProfile(Clock& clock, std::size_t limit = kDefaultLimit);
    LiveProfile(const LiveProfile&) = delete;
    LiveProfile& operator=(const LiveProfile&) = delete;

    // A device file was loaded: whether it has a pressure column and what is plotted. Every
    // sample and cast so far is forgotten.
    void Reset(bool pressureColumn, std::vector<ProfileChannel> channels, ValuesOf valuesOf);
    // The plot choices changed: the values so far meant something else. Pressures and casts
    // are kept.
    void ForgetValues();
    void SetQuantity(const std::string& quantity);

    void OnSample(const Sample& sample) override;
    // One sample at `seconds` (UTC) and `pressure` [dbar]; `values` by channel.
    void Add(double seconds, double pressure, const std::vector<double>& values);

    // Tells the casts apart over the samples kept, when any came since the last time.
    void Refresh();
    // The events since the last call, each told once: "cast 3 down at 12:04:10Z" when the
    // descent of the cast under way is first seen, "bottom 148.2 dbar" when its bottom or
    // ascent is.
    std::vector<std::string> TakeEvents();

    const ProfileView& View() const { return view_; }
    std::size_t KeptSamples() const { return seconds_.size(); }

private:
    void Drop(std::size_t count);
    void Publish(const std::vector<CastMark>& marks, int latest);
    void TellEvents(const std::vector<CastMark>& marks, int latest);

    Clock& clock_;
    std::size_t limit_;
    ValuesOf valuesOf_;
    std::vector<double> seconds_;
    std::vector<double> pressure_;
    std::vector<std::vector<double>> values_;  // by channel, then by sample
    std::vector<double> scratch_;
    int castsDropped_ = 0;  // casts before the samples kept: the first kept is cast this + 1
    int downTold_ = 0;      // the last cast whose descent was told (or is over untold)
    int bottomTold_ = 0;
    bool fresh_ = false;  // samples came since the last Refresh
    std::vector<std::string> events_;
    ProfileView view_;
};

}  // namespace kivo
