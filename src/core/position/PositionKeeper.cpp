#include "core/position/PositionKeeper.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kivo {

namespace {

constexpr std::size_t kKeptNotices = 50;

// Degrees and minutes to the thousandth, the rounding carried into the degree: 59.9996′ is
// the next degree's 00.000′, never 60.000′.
std::string DegreesMinutes(double degrees, int degreeDigits, char positive, char negative) {
    if (!std::isfinite(degrees)) return "-";
    const long long thousandths = std::llround(std::fabs(degrees) * 60000.0);
    char text[48];
    std::snprintf(text, sizeof text, "%0*lld\u00b0%02lld.%03lld\u2032%c", degreeDigits,
                  thousandths / 60000, thousandths % 60000 / 1000, thousandths % 1000,
                  degrees < 0 && thousandths != 0 ? negative : positive);
    return text;
}

}  // namespace

std::string LatitudeText(double degrees) { return DegreesMinutes(degrees, 2, 'N', 'S'); }
std::string LongitudeText(double degrees) { return DegreesMinutes(degrees, 3, 'E', 'W'); }

std::optional<GpsSettings> ParseGpsAddress(const std::string& text) {
    if (text.empty()) return std::nullopt;
    GpsSettings settings;
    settings.enabled = true;
    std::string portText;
    if (!text.empty() && text.front() == '[') {  // "[::1]:2947"
        const auto close = text.find(']');
        if (close == std::string::npos || close == 1) return std::nullopt;
        settings.host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return std::nullopt;
            portText = text.substr(close + 2);
            if (portText.empty()) return std::nullopt;
        }
    } else {
        const auto colon = text.find(':');
        // Two colons: a bare IPv6 address, without a port.
        if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
            settings.host = text.substr(0, colon);
            portText = text.substr(colon + 1);
            if (portText.empty()) return std::nullopt;
        } else if (!text.empty()) {
            settings.host = text;
        }
    }
    if (settings.host.empty()) return std::nullopt;
    for (const char c : settings.host) {
        if (c == ' ' || c == '\t' || c == '/') return std::nullopt;
    }
    if (!portText.empty()) {
        char* end = nullptr;
        const long port = std::strtol(portText.c_str(), &end, 10);
        if (*end != '\0' || port < 1 || port > 65535) return std::nullopt;
        settings.port = static_cast<int>(port);
    }
    return settings;
}

PositionKeeper::~PositionKeeper() {
    if (links_.source != nullptr && link_ != Link::Closed) links_.source->Close();
}

void PositionKeeper::Apply(const GpsSettings& settings, std::int64_t nowMs) {
    const bool was = On();
    const GpsSettings before = settings_;
    settings_ = settings;
    if (was && before == settings_) return;
    if (was) {
        links_.source->Close();
        link_ = Link::Closed;
        Tell("GPS off");
    }
    last_.reset();
    lost_ = false;
    hadFix_ = false;
    if (!settings_.enabled) return;
    if (links_.source == nullptr) {
        Tell("GPS: this program was built without gpsd; no position can be had");
        return;
    }
    links_.source->Open(settings_.host, settings_.port);
    link_ = Link::Trying;
    lastAtMs_ = nowMs;
    Tell("GPS on: gpsd at " + settings_.Address());
}

void PositionKeeper::Tick(std::int64_t nowMs) {
    if (!On()) return;
    for (const PositionReport& report : links_.source->Take()) {
        switch (report.kind) {
            case PositionReport::Kind::Connected:
                if (link_ == Link::Unreachable || link_ == Link::Gone)
                    Tell("GPS: gpsd at " + settings_.Address() + " is back");
                link_ = Link::Connected;
                break;
            case PositionReport::Kind::Unreachable:
                // Told once, however often the source tries again.
                if (link_ != Link::Unreachable && link_ != Link::Gone)
                    Tell("GPS: gpsd at " + settings_.Address() + " cannot be reached (" +
                         report.detail + "); trying again");
                if (link_ != Link::Gone) link_ = Link::Unreachable;
                break;
            case PositionReport::Kind::Gone:
                if (link_ != Link::Gone)
                    Tell("GPS: gpsd at " + settings_.Address() + " went away; trying again");
                link_ = Link::Gone;
                break;
            case PositionReport::Kind::Fix:
                if (report.fix.HasPosition()) {
                    if (lost_ || !hadFix_)
                        Tell("GPS: " + FixModeText(report.fix.mode) + " fix at " +
                             LatitudeText(report.fix.lat) + " " + LongitudeText(report.fix.lon));
                    last_ = report.fix;
                    lastAtMs_ = nowMs;
                    lost_ = false;
                    hadFix_ = true;
                    if (links_.onFix) links_.onFix(report.fix);
                } else if (report.fix.mode == FixMode::None && hadFix_ && !lost_) {
                    lost_ = true;
                    Tell("GPS: the receiver lost its fix");
                }
                break;
        }
    }
    if (hadFix_ && !lost_ && nowMs - lastAtMs_ > kFreshMs) {
        lost_ = true;
        Tell("GPS: no fix for " + std::to_string(kFreshMs / 1000) + " s");
    }
}

std::optional<PositionFix> PositionKeeper::Current(std::int64_t nowMs) const {
    if (!On() || !last_ || lost_ || nowMs - lastAtMs_ > kFreshMs) return std::nullopt;
    return last_;
}

std::optional<GpsStatus> PositionKeeper::Status(std::int64_t nowMs) const {
    if (!settings_.enabled) return std::nullopt;
    if (links_.source == nullptr) return GpsStatus{"GPS: not built in", true};
    if (link_ == Link::Unreachable || link_ == Link::Gone)
        return GpsStatus{"GPS: gpsd at " + settings_.Address() + " not reached", true};
    if (!last_) return GpsStatus{"GPS: no fix", true};
    const std::int64_t ageSeconds = (nowMs - lastAtMs_) / 1000;
    const std::string text = "GPS " + LatitudeText(last_->lat) + " " + LongitudeText(last_->lon) +
                             " \u00b7 " +
                             (lost_ ? std::string("no fix") : FixModeText(last_->mode)) +
                             " \u00b7 " + std::to_string(ageSeconds) + " s";
    return GpsStatus{text, lost_ || nowMs - lastAtMs_ > kFreshMs};
}

std::deque<std::string> PositionKeeper::TakeNotices() { return std::exchange(notices_, {}); }

void PositionKeeper::Tell(const std::string& text) {
    if (links_.tell) links_.tell(text);
    notices_.push_back(text);
    if (notices_.size() > kKeptNotices) notices_.pop_front();
}

}  // namespace kivo
