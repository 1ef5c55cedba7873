#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/data/Conversion.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/MeterClock.h"

namespace kivo {

// Engineering-units file (*.eng): a heading line, then one record per accepted data line.
// Fields are TAB-separated, lines end in CR LF. After "Count", "Date" and "Time" come the
// fields of columns 1..definitionCount in column order: four for a "Lambda=" column, one
// for each other recorded type, none for date, time, reference and ignored columns.

// The heading line, line end included.
std::string EngrHeading(const DeviceCalibration& calibration, int definitionCount);

// One record line, line end included: the sample number (the chart's X), the meter's date
// as month day year and time as hour minute second, and the column values.
// A record's numbers after Count, Date and Time, in the order of the heading, with the
// width and precision each is printed with.
struct EngrField {
    double value;
    int width;
    int precision;
};
void GatherEngrFields(const DeviceCalibration& calibration, int definitionCount,
                      const EngineeringValues& values, std::vector<EngrField>& fields);
// One record line from the gathered numbers, line end included.
void AppendEngrFields(std::string& line, double sampleX, const MeterClock& meterClock,
                      const EngrField* fields, std::size_t count);

void AppendEngrRecord(std::string& line, double sampleX, const MeterClock& meterClock,
                      const DeviceCalibration& calibration, int definitionCount,
                      const EngineeringValues& values);
std::string EngrRecord(double sampleX, const MeterClock& meterClock,
                       const DeviceCalibration& calibration, int definitionCount,
                       const EngineeringValues& values);

}  // namespace kivo
