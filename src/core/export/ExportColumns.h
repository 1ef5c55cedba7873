#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/data/Conversion.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/MeterClock.h"
#include "core/data/MeterClockZone.h"

namespace kivo {

// Which value of a column an exported field holds: the four of a scattering channel, or the
// one value of any other recorded kind.
enum class Quantity { Beta, Betap, Bbp, Bb, Single };

// One engineering-units field of the .eng file, described for files that carry their own
// metadata. The list follows the .eng heading field for field.
struct ExportColumn {
    std::string heading;       // exactly as in the .eng heading
    std::string name;          // a variable name, unique within the list
    std::string longName;      // what it is, in words
    std::string units;         // UDUNITS spelling ("1" for a plain number)
    std::string standardName;  // CF standard name, empty when none fits
    int wavelength = 0;        // [nm], scattering channels; 0 for none
    int deviceColumn = 0;      // 1-based column of the device file
    int type = 0;              // its column type code
    Quantity quantity = Quantity::Single;
};

// The raw counts of one column of the data line (measurements and references).
struct CountColumn {
    std::string name;
    std::string longName;
    int deviceColumn = 0;  // 1-based
};

// The fields of the .eng heading for this calibration, in its order.
std::vector<ExportColumn> EngineeringColumns(const DeviceCalibration& calibration);
// The columns whose counts are kept: every measurement and reference column.
std::vector<CountColumn> CountColumns(const DeviceCalibration& calibration,
                                      const std::vector<ExportColumn>& engineering);

double EngineeringValue(const ExportColumn& column, const EngineeringValues& values);

// The meter's date and time as a calendar time, or nothing when it has no date (month 99)
// or is no valid time. Two-digit years are 1970-2069.
std::optional<CalendarTime> MeterCalendarTime(const MeterClock& clock);
// "2003-11-20T09:15:00"
std::string IsoText(const CalendarTime& time);

// The shortest text that reads back as the same double; "nan", "inf", "-inf" otherwise.
std::string ShortestText(double value);

}  // namespace kivo
