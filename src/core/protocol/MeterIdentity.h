#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kivo {

// The serial number a meter's identification line or a device file's first line names:
// "VER 2.1 KIVO-BB9 SN 0042" -> "42"; also "S/N:0042", "sn#42". Compared without case and
// without leading zeros, so "SN 0042" and "sn 42" are one meter. None when the text names
// none.
std::optional<std::string> SerialNumberIn(std::string_view text);

// The warning when the meter and the loaded device file name different serial numbers;
// none when they agree or either names none.
struct DeviceMismatch {
    std::string meterSerial;
    std::string deviceSerial;
};
std::optional<DeviceMismatch> CheckDeviceAgainstMeter(std::string_view identification,
                                                      std::string_view deviceTitle);

inline constexpr const char* kDeviceMismatchCaption = "Device File May Belong to Another Meter";
std::string DeviceMismatchText(const DeviceMismatch& mismatch, const std::string& devicePath);

}  // namespace kivo
