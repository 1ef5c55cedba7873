#include "core/export/ExportColumns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <set>

#include "core/data/ColumnKinds.h"
#include "core/recording/EngrRecording.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

// What an exported file says about a kind that records one .eng field; which kinds those are
// and where their values are held comes from the column kind table.
struct KindFacts {
    int code;
    const char* name;
    const char* longName;
    const char* units;  // nullptr: the device file's "iengrunits=", or "1" without one
    const char* standardName;
};

// The dyes and CDOM are calibrated to parts per billion; turbidity and the LSS value are
// plain numbers to UDUNITS.
constexpr KindFacts kKinds[] = {
    {column::kChl, "chl", "chlorophyll concentration from fluorescence", "ug L-1", ""},
    {column::kCdom, "cdom", "CDOM fluorescence in parts per billion", "1e-9", ""},
    {column::kUranine, "uranine", "uranine fluorescence in parts per billion", "1e-9", ""},
    {column::kPhycocyanin, "phycocyanin", "phycocyanin fluorescence in parts per billion", "1e-9",
     ""},
    {column::kPhycoerythrin, "phycoerythrin", "phycoerythrin fluorescence in parts per billion",
     "1e-9", ""},
    {column::kRhodamine, "rhodamine", "rhodamine fluorescence in parts per billion", "1e-9", ""},
    {column::kLss, "lss", "light scattering sensor value (LSS Cp)", "1", ""},
    {column::kNtu, "turbidity", "turbidity in NTU", "1", "sea_water_turbidity"},
    {column::kITemp, "internal_temperature", "temperature inside the meter", "degree_Celsius", ""},
    {column::kXTemp, "temperature", "water temperature", "degree_Celsius", "sea_water_temperature"},
    {column::kPres, "pressure", "water pressure", "dbar", "sea_water_pressure"},
    {column::kIEngr, "meter_value", "value the meter converted itself", nullptr, ""},
    {column::kVsf100, "vsf_100", "volume scattering function at 100 degrees", "m-1 sr-1", ""},
    {column::kVsf125, "vsf_125", "volume scattering function at 125 degrees", "m-1 sr-1", ""},
    {column::kVsf150, "vsf_150", "volume scattering function at 150 degrees", "m-1 sr-1", ""},
};

constexpr const KindFacts* FactsOf(int type) {
    for (const KindFacts& facts : kKinds) {
        if (facts.code == type) return &facts;
    }
    return nullptr;
}

// A kind that gains a .eng field gains its export facts too.
constexpr bool EveryRecordedKindHasFacts() {
    for (const ColumnKind& kind : kColumnKinds) {
        if (kind.engHeading != nullptr && FactsOf(kind.code) == nullptr) return false;
    }
    return true;
}
static_assert(EveryRecordedKindHasFacts(), "a kind with a .eng field has no export facts");

// The kind's row when it records one .eng field.
const ColumnKind* RecordedKindOf(int type) {
    const ColumnKind* kind = ColumnKindOf(type);
    return kind != nullptr && kind->engHeading != nullptr ? kind : nullptr;
}

// The .eng heading's fields after "Count", "Date" and "Time".
std::vector<std::string> EngHeadings(const DeviceCalibration& calibration) {
    std::string line = EngrHeading(calibration, calibration.definitionCount);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    fields.erase(fields.begin(), fields.begin() + std::min<std::size_t>(3, fields.size()));
    return fields;
}

// `base`, or `base_2`, `base_3` ... when it is taken.
std::string UniqueName(const std::string& base, std::set<std::string>& taken) {
    std::string name = base;
    for (int n = 2; !taken.insert(name).second; ++n) name = base + "_" + std::to_string(n);
    return name;
}

int ColumnsOf(const DeviceCalibration& calibration) {
    return std::clamp(static_cast<int>(calibration.definitionCount), 0, kSlots);
}

}  // namespace

std::vector<ExportColumn> EngineeringColumns(const DeviceCalibration& cal) {
    const CNumericLocale cLocale;
    std::vector<ExportColumn> columns;
    std::set<std::string> taken{"time", "obs"};
    for (int i = 0; i < ColumnsOf(cal); ++i) {
        const int type = cal.columnType[i];
        if (IsScattering(type)) {
            const int lambda = cal.wavelength[type];
            const double degrees = cal.theta * 180.0 / 3.1415;
            const std::string at = FormatC(" at %d nm", lambda);
            const std::string angle = FormatC(" at %.0f degrees", degrees);
            struct Part {
                Quantity quantity;
                const char* base;
                std::string longName;
                const char* units;
            };
            const Part parts[] = {
                {Quantity::Beta, "beta", "volume scattering function" + angle + at, "m-1 sr-1"},
                {Quantity::Betap, "betap", "particulate volume scattering function" + angle + at,
                 "m-1 sr-1"},
                {Quantity::Bbp, "bbp", "particulate backscattering coefficient" + at, "m-1"},
                {Quantity::Bb, "bb", "total backscattering coefficient" + at, "m-1"},
            };
            for (const Part& part : parts) {
                ExportColumn c;
                c.name = UniqueName(FormatC("%s_%d", part.base, lambda), taken);
                c.longName = part.longName;
                c.units = part.units;
                c.wavelength = lambda;
                c.deviceColumn = i + 1;
                c.type = type;
                c.quantity = part.quantity;
                columns.push_back(c);
            }
        } else if (RecordedKindOf(type) != nullptr) {
            const KindFacts* facts = FactsOf(type);
            ExportColumn c;
            c.name = UniqueName(facts->name, taken);
            c.longName = facts->longName;
            c.units = facts->units != nullptr ? facts->units
                      : cal.engrUnits.empty() ? "1"
                                              : cal.engrUnits;
            c.standardName = facts->standardName;
            c.deviceColumn = i + 1;
            c.type = type;
            columns.push_back(c);
        }
    }
    // The headings come from the .eng writer itself, so the two files never disagree on a name.
    const std::vector<std::string> headings = EngHeadings(cal);
    for (std::size_t i = 0; i < columns.size() && i < headings.size(); ++i)
        columns[i].heading = headings[i];
    return columns;
}

std::vector<CountColumn> CountColumns(const DeviceCalibration& cal,
                                      const std::vector<ExportColumn>& engineering) {
    std::set<std::string> taken;
    for (const ExportColumn& c : engineering) taken.insert(c.name);
    std::vector<CountColumn> columns;
    for (int i = 0; i < ColumnsOf(cal); ++i) {
        const int type = cal.columnType[i];
        if (!IsMeasurement(type) && !IsReference(type)) continue;
        CountColumn c;
        c.deviceColumn = i + 1;
        c.name = UniqueName(FormatC("counts_%d", i + 1), taken);
        c.longName = FormatC(
            IsReference(type) ? "raw counts of column %d (a reference)" : "raw counts of column %d",
            i + 1);
        columns.push_back(c);
    }
    return columns;
}

double EngineeringValue(const ExportColumn& column, const EngineeringValues& values) {
    const auto slot = static_cast<std::size_t>(column.type);
    switch (column.quantity) {
        case Quantity::Beta:
            return values.beta[slot];
        case Quantity::Betap:
            return values.betap[slot];
        case Quantity::Bbp:
            return values.bbp[slot];
        case Quantity::Bb:
            return values.bb[slot];
        case Quantity::Single:
            break;
    }
    const ColumnKind* kind = RecordedKindOf(column.type);
    const double* value = kind != nullptr ? EngineeringSlotOf(*kind, column.type, values) : nullptr;
    return value != nullptr ? *value : 0.0;
}

std::optional<CalendarTime> MeterCalendarTime(const MeterClock& clock) {
    int year = 0;
    if (clock.year >= 0 && clock.year < 70) {
        year = 2000 + clock.year;
    } else if (clock.year >= 70 && clock.year < 100) {
        year = 1900 + clock.year;
    } else if (clock.year >= 1900 && clock.year <= 9999) {  // a date field with the century
        year = clock.year;
    } else {
        return std::nullopt;
    }
    const CalendarTime t{year, clock.month, clock.day, clock.hour, clock.minute, clock.second};
    return IsCalendarTime(t) ? std::optional<CalendarTime>(t) : std::nullopt;
}

std::string IsoText(const CalendarTime& t) {
    const CNumericLocale cLocale;
    return FormatC("%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                   t.second);
}

std::string ShortestText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace kivo
