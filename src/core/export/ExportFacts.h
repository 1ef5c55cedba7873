#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/DeviceCalibration.h"
#include "core/export/ExportColumns.h"
#include "core/export/Exporter.h"

namespace kivo {

// One thing an exported file says about itself: a NetCDF attribute, a "# name: value" line
// of a CSV header. The device file's numbers were read in single precision, so a number a
// float holds exactly is kept as one ("0.0121f", shown 0.0121): widened, it is exactly the
// number the conversion used; any other number is kept as a double.
struct Fact {
    enum class Type { Text, Integers, Float, Double };
    std::string name;
    Type type = Type::Text;
    std::string text;
    std::vector<double> numbers;

    static Fact Words(std::string name, std::string text);
    static Fact Integers(std::string name, const std::vector<int>& values);
    static Fact Number(std::string name, double value);
};

// A fact's value as a header line shows it: numbers apart by blanks, each the shortest text
// that reads back as the same float or double.
std::string FactText(const Fact& fact);

// The global facts, in the order a reader looks for them: the ACDD and CF attributes, the
// device file and the meter, the processing, the scattering parameters when the device file
// has scattering channels, then the operator's own attributes (which may replace the title,
// summary and keywords, but no fact the program states).
std::vector<Fact> GlobalFacts(const DeviceCalibration& calibration, const std::string& deviceName,
                              const ExportOptions& options,
                              const std::vector<ExportColumn>& columns, const std::string& created);

// The calibration of a device-file column, enough to compute its engineering value from its
// counts: the device-file key, then scale and dark counts, or slope and intercept (nothing
// more for a column the meter converted or a reference without numbers).
std::vector<Fact> CalibrationFacts(const DeviceCalibration& calibration, int deviceColumn);

// Names the program states itself; an operator's attribute of one of these names is refused.
bool IsProgramFact(std::string_view name);

// "2026-12-08T16:02:03Z"
std::string UtcText(std::time_t when);

}  // namespace kivo
