#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "core/position/PositionFix.h"
#include "core/position/PositionSource.h"
#include "core/seams/GpsSettings.h"

namespace kivo {

// "HOST[:PORT]" or "[IPV6]:PORT", as --gps takes it; nothing when it is no address.
std::optional<GpsSettings> ParseGpsAddress(const std::string& text);

// What the status area shows of the GPS.
struct GpsStatus {
    std::string text;      // "GPS 44°38.214′N 063°34.101′W · 3D · 1 s"
    bool warning = false;  // red: no fix, one older than kFreshMs, or gpsd not reached
};

// "44°38.214′N" / "063°34.101′W": degrees and minutes to a thousandth, rounded as a whole.
std::string LatitudeText(double degrees);
std::string LongitudeText(double degrees);

// The ship's position as gpsd reports it: the one owner of the GPS choice, the latest fix and
// the news about them. A fix counts for the live files while it is at most kFreshMs old (by
// the computer's clock, when it arrived); older, or reported lost, the files get no position
// and the status area turns red. Each change of the link or of the fix is told once per
// episode, into the event log (and by kivo-log on stderr).
class PositionKeeper {
public:
    static constexpr std::int64_t kFreshMs = 10000;

    struct Links {
        PositionSource* source;  // none: no GPS can be had (told when asked for)
        std::function<void(const std::string&)> tell;
        std::function<void(const PositionFix&)> onFix;  // each fix with a position, as it comes
    };
    explicit PositionKeeper(Links links) : links_(std::move(links)) {}
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;
    ~PositionKeeper();

    // On: the source starts trying to reach gpsd (never waiting for it); off: closed.
    void Apply(const GpsSettings& settings, std::int64_t nowMs);
    const GpsSettings& Settings() const { return settings_; }
    bool On() const { return settings_.enabled && links_.source != nullptr; }

    // Takes what the source has; `nowMs` is the computer's clock [ms, UTC].
    void Tick(std::int64_t nowMs);

    // The latest fix while it is fresh and has a position; nothing otherwise.
    std::optional<PositionFix> Current(std::int64_t nowMs) const;
    // None while the GPS is off.
    std::optional<GpsStatus> Status(std::int64_t nowMs) const;
    // "gpsd at localhost:2947", for the files' story.
    std::string SourceText() const { return "gpsd at " + settings_.Address(); }

    // The notices told so far and not yet taken (kivo-log prints them); the last 50 kept.
    std::deque<std::string> TakeNotices();

private:
    void Tell(const std::string& text);

    Links links_;
    GpsSettings settings_;
    enum class Link { Closed, Trying, Connected, Unreachable, Gone };
    Link link_ = Link::Closed;
    std::optional<PositionFix> last_;  // the latest fix with a position
    std::int64_t lastAtMs_ = 0;        // when it arrived
    bool lost_ = false;                // the receiver said so, or the fix grew old
    bool hadFix_ = false;
    std::deque<std::string> notices_;
};

}  // namespace kivo
