// The feed for the ship's data system: each sample as one datagram, beside the recordings.
#include <optional>
#include <string>

#include "core/host/RecordNames.h"
#include "core/host/Session.h"

namespace kivo {

namespace {

// The device file's name without folder and extension: "kivo-bb9" for a meter's kivo-bb9.dev.
std::string DefaultTag(const std::string& devicePath) {
    return devicePath.empty() ? std::string("kivo") : FileStem(devicePath);
}

}  // namespace

bool Session::SetShipFeed(const ShipFeedSettings& settings, std::string* error) {
    const bool changed = settings != keptPorts_.feed;
    if (!changed && settings.enabled == feed_.Active()) return true;
    keptPorts_.feed = settings;
    if (changed) SavePortSettings();
    if (feed_.Active()) {
        LogEvent(feed_.Name() + " stopped, " + std::to_string(feed_.Sent()) + " lines sent, " +
                 std::to_string(feed_.NotSent()) + " not sent");
        feed_.Stop();
    }
    if (!settings.enabled) return true;
    std::string why;
    if (const std::optional<std::string> problem = FeedTagProblem(settings.tag)) {
        why = *problem;
    } else {
        const std::string tag = settings.tag.empty() ? DefaultTag(state_.DevicePath) : settings.tag;
        if (feed_.Start(settings.host, settings.port, tag,
                        CsvLayoutOf(calibration_, recording_.LiveCsvFacts()), why)) {
            LogEvent(feed_.Name() + " started, tag " + tag);
            return true;
        }
    }
    if (error) {
        *error = why;
    } else {
        seams_.prompts.ShowWarning(
            "Ship Feed", "The UDP feed to " + settings.Address() + " cannot start: " + why + ".");
    }
    return false;
}

void Session::ShipFeedClick() {
    if (const std::optional<ShipFeedSettings> answer = seams_.prompts.AskShipFeed(keptPorts_.feed))
        SetShipFeed(*answer);
}

void Session::RefreshShipFeed() {
    if (!feed_.Active()) return;
    feed_.SetLayout(CsvLayoutOf(calibration_, recording_.LiveCsvFacts()));
    if (keptPorts_.feed.tag.empty()) feed_.SetTag(DefaultTag(state_.DevicePath));
}

}  // namespace kivo
