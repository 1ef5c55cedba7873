#include "core/settings/PortSettings.h"

#include <cstddef>
#include <cstdlib>

namespace kivo {

namespace {
std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}
}  // namespace

PortSettings ReadPortSettings(std::istream& in) {
    PortSettings settings;
    std::string section;
    std::string line;
    while (std::getline(in, line)) {
        line = Trimmed(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        if (section == "ports" && key.size() == 4 && key.compare(0, 3, "COM") == 0 &&
            key[3] >= '1' && key[3] <= '8') {
            settings.devices[static_cast<std::size_t>(key[3] - '1')] = value;
        } else if (section == "folders" && key == "records") {
            settings.recordFolder = value;
        } else if (section == "meter" && key == "clock") {
            settings.meterClockLocal = value == "local";
        } else if (section == "view" && key == "profile") {
            settings.profileView = value == "on";
        } else if (section == "gps") {
            if (key == "enabled") settings.gps.enabled = value == "on";
            if (key == "host" && !value.empty()) settings.gps.host = value;
            if (key == "port") {
                const int port = std::atoi(value.c_str());
                if (port >= 1 && port <= 65535) settings.gps.port = port;
            }
        } else if (section == "feed") {
            if (key == "enabled") settings.feed.enabled = value == "on";
            if (key == "host") settings.feed.host = value;
            if (key == "port") {
                const int port = std::atoi(value.c_str());
                if (port >= 1 && port <= 65535) settings.feed.port = port;
            }
            if (key == "tag") settings.feed.tag = value;
        } else if (section == "quality" && key == "file") {
            settings.qualityFile = value;
        } else if (section == "station") {
            StationHeader& station = settings.station;
            if (key == "station") station.station = value;
            if (key == "cast") station.cast = value;
            if (key == "operator") station.operatorName = value;
            if (key == "notes") station.notes = value;
        }
    }
    return settings;
}

std::string FormatPortSettings(const PortSettings& settings) {
    std::string text =
        "# KIVO View: the device each COM port stands for, where recordings were last made, and "
        "the zone the meter's clock is set in.\n[ports]\n";
    for (std::size_t n = 0; n < settings.devices.size(); ++n) {
        if (!settings.devices[n].empty())
            text += "COM" + std::to_string(n + 1) + "=" + settings.devices[n] + "\n";
    }
    text += "[folders]\n";
    if (!settings.recordFolder.empty()) text += "records=" + settings.recordFolder + "\n";
    text += std::string("[meter]\nclock=") + (settings.meterClockLocal ? "local" : "utc") + "\n";
    // Written only when on: a file saved with the view off reads as it always did.
    if (settings.profileView) text += "[view]\nprofile=on\n";
    // Likewise only once a GPS was chosen.
    const GpsSettings unchosen;
    if (!(settings.gps == unchosen)) {
        text += std::string("[gps]\nenabled=") + (settings.gps.enabled ? "on" : "off") +
                "\nhost=" + settings.gps.host + "\nport=" + std::to_string(settings.gps.port) +
                "\n";
    }
    // Likewise only once a feed was chosen.
    if (settings.feed != ShipFeedSettings{}) {
        text += std::string("[feed]\nenabled=") + (settings.feed.enabled ? "on" : "off") +
                "\nhost=" + settings.feed.host + "\nport=" + std::to_string(settings.feed.port) +
                "\ntag=" + settings.feed.tag + "\n";
    }
    // Likewise only once a QC file was chosen.
    if (!settings.qualityFile.empty()) text += "[quality]\nfile=" + settings.qualityFile + "\n";
    // Likewise only once the station window has been filled in.
    const StationHeader station = settings.station.Cleaned();
    if (!station.Empty()) {
        text += "[station]\n";
        for (const auto& [name, value] : station.Fields())
            text += std::string(name) + "=" + value + "\n";
    }
    return text;
}

}  // namespace kivo
