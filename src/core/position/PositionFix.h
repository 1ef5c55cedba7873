#pragma once

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>

namespace kivo {

// What a receiver says it has: no position at all, or a position in two or three dimensions.
enum class FixMode { None, TwoD, ThreeD };

// One position report, as gpsd hands it on or as a track file keeps it.
struct PositionFix {
    static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

    double time = kUnknown;  // the fix's own UTC time [s since 1970]; NaN when none was given
    double lat = kUnknown;   // [degrees north]
    double lon = kUnknown;   // [degrees east]
    FixMode mode = FixMode::None;
    double speed = kUnknown;   // over ground [m/s]
    double course = kUnknown;  // over ground [degrees from true north]

    bool HasPosition() const {
        return mode != FixMode::None && std::isfinite(lat) && std::isfinite(lon);
    }
};

// "2D", "3D"; empty for no fix.
inline std::string FixModeText(FixMode mode) {
    switch (mode) {
        case FixMode::TwoD:
            return "2D";
        case FixMode::ThreeD:
            return "3D";
        case FixMode::None:
            break;
    }
    return {};
}

// Where each record of an export was made.
enum class PositionKind {
    None,      // no position columns
    Track,     // lat and lon, interpolated afterwards from track files
    Receiver,  // lat, lon, gps_time and fix: the receiver's latest fix as the line arrived
};

struct PositionColumns {
    PositionKind kind = PositionKind::None;
    // The position of the record whose UTC time [s since 1970] is given (NaN: the record has
    // none); nothing where none is known. A receiver's ignores the time and gives its latest
    // fix, or nothing when that is lost or too old.
    std::function<std::optional<PositionFix>(double utcSeconds)> at = {};
    // How the positions were had, for the file's story ("gpsd at localhost:2947").
    std::string source = {};
};

}  // namespace kivo
