#include "core/protocol/MeterIdentity.h"

#include <cstddef>

namespace kivo {

namespace {
bool IsAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "SN" or "S/N" at `at`, standing as a word of its own: the length of the marker, or 0.
std::size_t MarkerAt(std::string_view text, std::size_t at) {
    if (at > 0 && IsAlnum(text[at - 1])) return 0;
    if (Upper(text[at]) != 'S') return 0;
    std::size_t next = at + 1;
    if (next < text.size() && text[next] == '/') ++next;
    if (next >= text.size() || Upper(text[next]) != 'N') return 0;
    ++next;
    if (next < text.size() && IsAlnum(text[next])) return 0;  // "SNOW", "SN2" is no marker
    return next - at;
}
}  // namespace

std::optional<std::string> SerialNumberIn(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::size_t marker = MarkerAt(text, at);
        if (marker == 0) continue;
        std::size_t pos = at + marker;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ':' ||
                                     text[pos] == '#' || text[pos] == '=' || text[pos] == '.'))
            ++pos;
        std::string serial;
        while (pos < text.size() && (IsAlnum(text[pos]) || text[pos] == '-'))
            serial += Upper(text[pos++]);
        const std::size_t first = serial.find_first_not_of('0');
        if (serial.empty()) continue;
        return first == std::string::npos ? std::string("0") : serial.substr(first);
    }
    return std::nullopt;
}

std::optional<DeviceMismatch> CheckDeviceAgainstMeter(std::string_view identification,
                                                      std::string_view deviceTitle) {
    const std::optional<std::string> meter = SerialNumberIn(identification);
    const std::optional<std::string> device = SerialNumberIn(deviceTitle);
    if (!meter || !device || *meter == *device) return std::nullopt;
    return DeviceMismatch{*meter, *device};
}

std::string DeviceMismatchText(const DeviceMismatch& mismatch, const std::string& devicePath) {
    return "The meter says it is serial number " + mismatch.meterSerial +
           ", but the device file\n" + devicePath + "\nis for serial number " +
           mismatch.deviceSerial +
           ".\nIts calibration may not be this meter's: the engineering units would be wrong. "
           "Load this meter's device file.";
}

}  // namespace kivo
