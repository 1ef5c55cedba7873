#pragma once

#include <cstddef>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/quality/QualityTests.h"

namespace kivo {

// The limits of one quantity's gross-range test, in its own units.
struct QuantityRanges {
    std::optional<ValueRange> fail;
    std::optional<ValueRange> suspect;
};

// Everything the tests of one channel (a count column of the device file) need.
struct ChannelThresholds {
    static constexpr double kDefaultCeiling = 4095.0;  // a 12-bit converter [counts]

    double ceiling = kDefaultCeiling;
    FlatLineThresholds flatLine;
    std::optional<SpikeThresholds> spike;
    std::optional<RateOfChangeThresholds> rateOfChange;
    QuantityRanges counts;  // [counts]
    // By the name a QC file gives: a variable's name ("bbp_470") or the quantity's
    // ("bbp"); Ranges picks the one a later, narrower section set.
    struct Named {
        QuantityRanges ranges;
        int rank = 0;
    };
    std::map<std::string, Named> quantities;

    // The ranges of the quantity called `name` in files, whose kind is called `base` (the
    // same for all but scattering channels); no ranges when none were given.
    QuantityRanges Ranges(const std::string& name, const std::string& base) const;
};

// The thresholds of a QC file: `key = value` lines in sections [all], [KIND] (a column
// kind by its device-file key without "=": CHL, Lambda, PRES ..., any case) and
// [column N]; a later, narrower section wins. Without a file the saturation and flat-line
// tests run with their defaults and the rest are not evaluated.
class QualitySettings {
public:
    // The defaults: no file.
    QualitySettings() = default;
    // The thresholds of the QC file read from `in` (called `name` in messages), or nothing
    // and `error` set to "NAME line N: what is wrong".
    static std::optional<QualitySettings> Parse(std::istream& in, const std::string& name,
                                                std::string& error);
    static std::optional<QualitySettings> Load(const std::string& path, std::string& error);

    // The thresholds of the device file's column `deviceColumn` (1-based) of the kind whose
    // device-file key is `kindKey` ("Lambda", "CHL" ...).
    ChannelThresholds For(const std::string& kindKey, int deviceColumn) const;

    bool FromFile() const { return fromFile_; }
    const std::string& Path() const { return path_; }
    // The file's name without its folder; empty without a file.
    std::string Name() const;
    // Of the file's bytes; empty without a file.
    const std::string& Sha256() const { return sha256_; }

    struct Assignment {
        std::string key;
        std::vector<double> numbers;
    };

private:
    struct Section {
        enum class Scope { All, Kind, Column };
        Scope scope = Scope::All;
        std::string kind;  // lower case
        int column = 0;
        std::vector<Assignment> assignments;
    };
    bool fromFile_ = false;
    std::string path_;
    std::string sha256_;
    std::vector<Section> sections_;
};

// The device-file key of a column type without its "=": "Lambda" for the scattering
// channels, "CHL", "PRES" ...; empty for a type without one.
std::string KindKeyOf(int type);

}  // namespace kivo
