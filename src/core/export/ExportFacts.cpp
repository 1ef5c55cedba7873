#include "core/export/ExportFacts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <fstream>
#include <utility>

#include "core/data/ColumnKinds.h"
#include "core/files/FileDigest.h"
#include "core/files/RegularFile.h"
#include "core/text/CFormat.h"

namespace kivo {

namespace {

std::string QualityControlText(const QualitySettings& quality) {
    std::string text =
        "Quality tests after the IOOS QARTOD manuals on each count column, shared by the "
        "values it gives: saturation, flat line, spike, rate of change and gross range; each "
        "NAME_qc holds the worst of its tests: 1 pass, 2 not evaluated, 3 suspect, 4 fail, 9 "
        "missing. ";
    if (quality.FromFile()) return text + "Thresholds from the QC file named in qc_file.";
    return text +
           "No QC file: saturation at 4095 counts or 0 and flat line (10 equal counts "
           "in a row suspect, 20 fail) only; the other tests were not evaluated.";
}

// The facts the program states; the operator may add to them but never change one.
constexpr std::string_view kProgramFacts[] = {
    "Conventions",
    "source",
    "history",
    "date_created",
    "standard_name_vocabulary",
    "device_file",
    "device_file_first_line",
    "device_file_sha256",
    "meter_identification",
    "meter_clock_zone",
    "alternate_commands",
    "reference_correction",
    "temperature_correction",
    "scattering_angle",
    "scattering_angle_radians",
    "chi_factor",
    "salinity",
    "water_type",
    "wavelengths",
    "scattering_comment",
    "cast_detection",
    "bin_averaging",
    "featureType",
    "cdm_data_type",
    "time_coverage_start",
    "time_coverage_end",
    "geospatial_lat_min",
    "geospatial_lat_max",
    "geospatial_lon_min",
    "geospatial_lon_max",
    "geospatial_lat_units",
    "geospatial_lon_units",
};

std::string ShortestFloat(double value) {
    const auto single = static_cast<float>(value);
    if (!std::isfinite(single)) return ShortestText(value);
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, single);
    return std::string(text, result.ptr);
}

// What the values are about, for catalogues that search by keyword.
std::string Keywords(const std::vector<ExportColumn>& columns) {
    std::vector<std::string> words;
    const auto add = [&words](std::initializer_list<const char*> more) {
        for (const char* word : more) {
            if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
        }
    };
    for (const ExportColumn& c : columns) {
        if (IsScattering(c.type)) {
            add({"ocean optics", "volume scattering function", "particulate backscattering",
                 "backscattering coefficient"});
            continue;
        }
        switch (c.type) {
            case column::kChl:
                add({"chlorophyll", "fluorescence"});
                break;
            case column::kCdom:
                add({"CDOM", "fluorescence"});
                break;
            case column::kUranine:
            case column::kRhodamine:
                add({"tracer dye", "fluorescence"});
                break;
            case column::kPhycocyanin:
                add({"phycocyanin", "fluorescence"});
                break;
            case column::kPhycoerythrin:
                add({"phycoerythrin", "fluorescence"});
                break;
            case column::kLss:
            case column::kNtu:
                add({"turbidity"});
                break;
            case column::kVsf100:
            case column::kVsf125:
            case column::kVsf150:
                add({"ocean optics", "volume scattering function"});
                break;
            case column::kXTemp:
                add({"water temperature"});
                break;
            case column::kPres:
                add({"water pressure"});
                break;
            default:
                break;
        }
    }
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + word;
    return text;
}

bool HasScattering(const std::vector<ExportColumn>& columns) {
    return std::any_of(columns.begin(), columns.end(),
                       [](const ExportColumn& c) { return IsScattering(c.type); });
}

}  // namespace

Fact Fact::Words(std::string name, std::string text) {
    Fact fact;
    fact.name = std::move(name);
    fact.text = std::move(text);
    return fact;
}

Fact Fact::Integers(std::string name, const std::vector<int>& values) {
    Fact fact;
    fact.name = std::move(name);
    fact.type = Type::Integers;
    fact.numbers.assign(values.begin(), values.end());
    return fact;
}

Fact Fact::Number(std::string name, double value) {
    Fact fact;
    fact.name = std::move(name);
    const bool single = static_cast<double>(static_cast<float>(value)) == value;
    fact.type = single ? Type::Float : Type::Double;
    fact.numbers = {value};
    return fact;
}

std::string FactText(const Fact& fact) {
    if (fact.type == Fact::Type::Text) return fact.text;
    std::string text;
    for (const double number : fact.numbers) {
        if (!text.empty()) text += ' ';
        switch (fact.type) {
            case Fact::Type::Integers:
                text += std::to_string(static_cast<long long>(number));
                break;
            case Fact::Type::Float:
                text += ShortestFloat(number);
                break;
            default:
                text += ShortestText(number);
                break;
        }
    }
    return text;
}

bool IsProgramFact(std::string_view name) {
    return std::find(std::begin(kProgramFacts), std::end(kProgramFacts), name) !=
           std::end(kProgramFacts);
}

std::string UtcText(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    const CNumericLocale cLocale;
    return FormatC("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                   utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

DeviceFileFacts DescribeDeviceFile(const std::string& path) {
    DeviceFileFacts facts;
    if (path.empty()) return facts;
    const std::string::size_type slash = path.rfind('/');
    facts.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!IsRegularFile(path)) return facts;
    std::ifstream file(path, std::ios::binary);
    std::getline(file, facts.firstLine);
    while (!facts.firstLine.empty() &&
           (facts.firstLine.back() == '\r' || facts.firstLine.back() == '\n'))
        facts.firstLine.pop_back();
    facts.sha256 = Sha256HexOfFile(path).value_or(std::string());
    return facts;
}

std::vector<Fact> GlobalFacts(const DeviceCalibration& cal, const std::string& deviceName,
                              const ExportOptions& options,
                              const std::vector<ExportColumn>& columns,
                              const std::string& created) {
    const std::string title = deviceName.empty() ? std::string("KIVO meter recording") : deviceName;
    std::string history = created + " " + options.software;
    if (!options.commandLine.empty()) history += ": " + options.commandLine;
    std::vector<Fact> facts = {
        Fact::Words("Conventions", "CF-1.8, ACDD-1.3"),
        Fact::Words("title", title),
        Fact::Words("summary", "Engineering-unit values of the meter \"" + title +
                                   "\", one record per data line, as the .eng file holds them "
                                   "but at full precision, with the calibration that made "
                                   "them."),
        Fact::Words("keywords", Keywords(columns)),
        Fact::Words("source", options.software),
        Fact::Words("history", history),
        Fact::Words("date_created", created),
        Fact::Words("standard_name_vocabulary", "CF Standard Name Table"),
        Fact::Words("device_file", options.deviceFile.name),
        Fact::Words("device_file_first_line", options.deviceFile.firstLine),
        Fact::Words("device_file_sha256", options.deviceFile.sha256),
        Fact::Words("meter_identification", options.meterIdentification),
        Fact::Words("meter_clock_zone", options.meterClock.Description()),
        Fact::Integers("alternate_commands", {options.alternateMode ? 1 : 0}),
        Fact::Integers("reference_correction", {options.refCorrection ? 1 : 0}),
        Fact::Integers("temperature_correction", {options.tempCorrection ? 1 : 0}),
        Fact::Words("cast_detection", options.castDetection),
    };
    if (options.quality) {
        facts.push_back(Fact::Words("quality_control", QualityControlText(*options.quality)));
        facts.push_back(Fact::Words("qc_file", options.quality->Name()));
        facts.push_back(Fact::Words("qc_file_sha256", options.quality->Sha256()));
    }
    if (HasScattering(columns)) {
        std::vector<int> wavelengths;
        for (const ExportColumn& c : columns) {
            if (c.quantity == Quantity::Beta) wavelengths.push_back(c.wavelength);
        }
        // Back to the degrees the device file gave, less the rounding of the way there.
        const double degrees = std::round(cal.theta * 180.0 / 3.1415 * 1e4) / 1e4;
        facts.push_back(Fact::Number("scattering_angle", degrees));
        facts.push_back(Fact::Number("scattering_angle_radians", cal.theta));
        facts.push_back(Fact::Number("chi_factor", cal.chi));
        facts.push_back(Fact::Number("salinity", cal.salinity));
        facts.push_back(Fact::Words("water_type", cal.waterType == 0 ? "pure water" : "sea water"));
        facts.push_back(Fact::Integers("wavelengths", wavelengths));
        facts.push_back(Fact::Words(
            "scattering_comment",
            "Beta of the water at scattering_angle_radians, salinity and the wavelength is taken "
            "from Beta to give Betap; bbp = 2 x 3.1415 x chi_factor x Betap (pi taken as 3.1415, "
            "as the meter's own software does); bb = bbp plus half the water's scattering "
            "coefficient (pure or sea water)."));
    }
    // An empty fact says nothing: no device file, no identification line seen.
    facts.erase(
        std::remove_if(facts.begin(), facts.end(),
                       [](const Fact& f) { return f.type == Fact::Type::Text && f.text.empty(); }),
        facts.end());
    for (const auto& [name, value] : options.attributes) {
        if (IsProgramFact(name)) continue;  // refused where the attributes were read
        const auto same = std::find_if(facts.begin(), facts.end(),
                                       [&name = name](const Fact& f) { return f.name == name; });
        if (same != facts.end()) {
            *same = Fact::Words(name, value);
        } else {
            facts.push_back(Fact::Words(name, value));
        }
    }
    // The station window's fields, typed for this recording, win over the metadata file's.
    for (const auto& [name, value] : options.station.Cleaned().Fields()) {
        if (value.empty()) continue;
        const auto same = std::find_if(facts.begin(), facts.end(),
                                       [name = name](const Fact& f) { return f.name == name; });
        if (same != facts.end()) {
            *same = Fact::Words(name, value);
        } else {
            facts.push_back(Fact::Words(name, value));
        }
    }
    return facts;
}

std::vector<Fact> CalibrationFacts(const DeviceCalibration& cal, int deviceColumn) {
    std::vector<Fact> facts;
    if (deviceColumn < 1 || deviceColumn > kSlots) return facts;
    const int type = cal.columnType[static_cast<std::size_t>(deviceColumn - 1)];
    const auto slot = static_cast<std::size_t>(type);
    facts.push_back(Fact::Integers("device_column", {deviceColumn}));
    if (IsScattering(type)) {
        facts.push_back(Fact::Words("device_file_key", "Lambda="));
        facts.push_back(Fact::Number("calibration_scale", cal.scale[slot]));
        facts.push_back(Fact::Number("calibration_dark_counts", cal.offset[slot]));
        facts.push_back(Fact::Words("calibration_formula",
                                    "Beta = (counts - calibration_dark_counts) * "
                                    "calibration_scale"));
        return facts;
    }
    if (IsScatteringReference(type)) {
        facts.push_back(Fact::Words("device_file_key", "Lambdaref="));
        facts.push_back(Fact::Number("calibration_scale", cal.scale[slot]));
        facts.push_back(Fact::Number("calibration_offset", cal.offset[slot]));
        facts.push_back(Fact::Words(
            "calibration_formula",
            "the reference correction divides the channel's counts by (counts / first counts "
            "after the device file was loaded * calibration_scale + calibration_offset)"));
        return facts;
    }
    const ColumnKind* kind = ColumnKindOf(type);
    if (kind == nullptr) return facts;
    facts.push_back(Fact::Words("device_file_key", std::string(kind->keys[0].text)));
    switch (kind->convertBy) {
        case ConvertBy::LessDark:
            facts.push_back(Fact::Number("calibration_scale", cal.scale[slot]));
            facts.push_back(Fact::Number("calibration_dark_counts", cal.offset[slot]));
            facts.push_back(Fact::Words("calibration_formula",
                                        "(counts - calibration_dark_counts) * calibration_scale"));
            break;
        case ConvertBy::Linear:
            facts.push_back(Fact::Number("calibration_slope", cal.scale[slot]));
            facts.push_back(Fact::Number("calibration_intercept", cal.offset[slot]));
            facts.push_back(Fact::Words("calibration_formula",
                                        "counts * calibration_slope + calibration_intercept"));
            break;
        case ConvertBy::AsSent:
            facts.push_back(Fact::Words("calibration_formula", "counts, as the meter sent them"));
            break;
        case ConvertBy::Nothing:
            break;
    }
    return facts;
}

}  // namespace kivo
