#include "core/quality/QualitySettings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/data/ColumnKinds.h"
#include "core/data/ColumnTypes.h"
#include "core/files/FileDigest.h"

namespace kivo {

namespace {

std::string Trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The numbers of a value, apart by blanks; nothing when one is no finite number. The
// locale never decides what a decimal point is.
std::optional<std::vector<double>> Numbers(const std::string& text) {
    std::vector<double> numbers;
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (;;) {
        while (at < end && std::isspace(static_cast<unsigned char>(*at))) ++at;
        if (at == end) break;
        double value = 0.0;
        const char* start = *at == '+' ? at + 1 : at;
        const auto [next, error] = std::from_chars(start, end, value);
        if (error != std::errc() || !std::isfinite(value) ||
            (next < end && !std::isspace(static_cast<unsigned char>(*next)))) {
            return std::nullopt;
        }
        numbers.push_back(value);
        at = next;
    }
    return numbers;
}

enum class Shape { One, Pair, Counts, Rate };

// The most samples a window may hold: a day at one line a second, and each channel keeps
// its window in memory.
constexpr double kMostSamples = 86400;

// What a key takes, or nothing for a key no test knows.
std::optional<Shape> ShapeOf(const std::string& key) {
    const std::size_t dot = key.find('.');
    const std::string test = dot == std::string::npos ? key : key.substr(dot + 1);
    if (dot != std::string::npos)
        return (test == "gross_range" || test == "gross_range_suspect") && dot > 0
                   ? std::optional<Shape>(Shape::Pair)
                   : std::nullopt;
    if (test == "ceiling" || test == "flat_line_tolerance") return Shape::One;
    if (test == "spike" || test == "gross_range" || test == "gross_range_suspect")
        return Shape::Pair;
    if (test == "flat_line") return Shape::Counts;
    if (test == "rate_of_change") return Shape::Rate;
    return std::nullopt;
}

// Why the numbers do not fit the key; empty when they do.
std::string Refusal(const std::string& key, Shape shape, const std::vector<double>& n) {
    const std::size_t wanted = shape == Shape::One ? 1 : 2;
    if (n.size() != wanted) return key + " takes " + (wanted == 1 ? "one number" : "two numbers");
    const bool whole = std::all_of(n.begin(), n.end(), [](double v) { return v == std::floor(v); });
    const bool range = key.find("gross_range") != std::string::npos;
    if (range)
        return n[0] <= n[1] ? "" : key + ": the first number (the least) is above the second";
    if (std::any_of(n.begin(), n.end(), [](double v) { return v < 0.0; }))
        return key + " takes no negative number";
    const std::string most = std::to_string(static_cast<int>(kMostSamples));
    if (shape == Shape::Counts && (!whole || n[0] > kMostSamples || n[1] > kMostSamples))
        return key + " takes whole numbers of samples up to " + most;
    if (shape == Shape::Rate && (n[1] != std::floor(n[1]) || n[1] < 2 || n[1] > kMostSamples))
        return key + ": the number of samples is a whole number from 2 to " + most;
    if (key == "ceiling" && n[0] <= 0.0) return "ceiling must be above 0";
    return "";
}

void Apply(const QualitySettings::Assignment& a, int rank, ChannelThresholds& t,
           bool& grossRangeGiven) {
    const std::vector<double>& n = a.numbers;
    const std::size_t dot = a.key.find('.');
    if (dot != std::string::npos) {
        ChannelThresholds::Named& named = t.quantities[Lower(a.key.substr(0, dot))];
        named.rank = rank;
        const ValueRange range{n[0], n[1]};
        if (a.key.compare(dot + 1, std::string::npos, "gross_range") == 0) {
            named.ranges.fail = range;
        } else {
            named.ranges.suspect = range;
        }
        return;
    }
    if (a.key == "ceiling") t.ceiling = n[0];
    if (a.key == "flat_line_tolerance") t.flatLine.tolerance = n[0];
    if (a.key == "flat_line") {
        t.flatLine.suspect = static_cast<int>(n[0]);
        t.flatLine.fail = static_cast<int>(n[1]);
    }
    if (a.key == "spike") t.spike = SpikeThresholds{n[0], n[1]};
    if (a.key == "rate_of_change")
        t.rateOfChange = RateOfChangeThresholds{n[0], static_cast<int>(n[1])};
    if (a.key == "gross_range") {
        t.counts.fail = ValueRange{n[0], n[1]};
        grossRangeGiven = true;
    }
    if (a.key == "gross_range_suspect") t.counts.suspect = ValueRange{n[0], n[1]};
}

}  // namespace

QuantityRanges ChannelThresholds::Ranges(const std::string& name, const std::string& base) const {
    const auto full = quantities.find(Lower(name));
    const auto kind = quantities.find(Lower(base));
    if (full == quantities.end())
        return kind == quantities.end() ? QuantityRanges{} : kind->second.ranges;
    if (kind == quantities.end() || full->second.rank >= kind->second.rank)
        return full->second.ranges;
    return kind->second.ranges;
}

std::optional<QualitySettings> QualitySettings::Parse(std::istream& in, const std::string& name,
                                                      std::string& error) {
    QualitySettings settings;
    settings.fromFile_ = true;
    settings.path_ = name;
    settings.sections_.push_back(Section{});  // lines before any heading apply to all
    int number = 0;
    const auto refuse = [&](const std::string& why) {
        error = name + " line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (line.back() != ']') return refuse("a section heading ends in ']'");
            const std::string title = Lower(Trimmed(line.substr(1, line.size() - 2)));
            Section section;
            if (title == "all") {
                section.scope = Section::Scope::All;
            } else if (title.rfind("column", 0) == 0 && title.size() > 6 &&
                       std::isspace(static_cast<unsigned char>(title[6]))) {
                const std::optional<std::vector<double>> column = Numbers(title.substr(6));
                if (!column || column->size() != 1 || (*column)[0] < 1 || (*column)[0] > kSlots ||
                    (*column)[0] != std::floor((*column)[0])) {
                    return refuse("a column is a number from 1 to " + std::to_string(kSlots));
                }
                section.scope = Section::Scope::Column;
                section.column = static_cast<int>((*column)[0]);
            } else if (!title.empty() && title.find_first_of(" \t=") == std::string::npos) {
                section.scope = Section::Scope::Kind;
                section.kind = title;
            } else {
                return refuse("a section is [all], [KIND] or [column N]");
            }
            settings.sections_.push_back(std::move(section));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) return refuse("a line is key = value");
        const std::string key = Lower(Trimmed(line.substr(0, equals)));
        const std::optional<Shape> shape = ShapeOf(key);
        if (!shape) return refuse("no test knows the key '" + key + "'");
        const std::optional<std::vector<double>> numbers = Numbers(line.substr(equals + 1));
        if (!numbers) return refuse(key + " takes numbers");
        if (const std::string why = Refusal(key, *shape, *numbers); !why.empty())
            return refuse(why);
        settings.sections_.back().assignments.push_back(Assignment{key, *numbers});
    }
    if (in.bad()) {
        error = name + ": cannot be read";
        return std::nullopt;
    }
    return settings;
}

std::optional<QualitySettings> QualitySettings::Load(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    const bool opened = file.is_open();
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (!opened || file.bad()) {
        error = "cannot read the QC file '" + path + "'";
        return std::nullopt;
    }
    std::istringstream in(bytes);
    std::optional<QualitySettings> settings = Parse(in, path, error);
    if (settings) settings->sha256_ = Sha256Hex(bytes);
    return settings;
}

std::string QualitySettings::Name() const {
    return std::filesystem::path(path_).filename().string();
}

ChannelThresholds QualitySettings::For(const std::string& kindKey, int deviceColumn) const {
    ChannelThresholds thresholds;
    bool grossRangeGiven = false;
    const std::string kind = Lower(kindKey);
    // Temperatures and pressure may sit still for minutes: not flat-lined unless a file says.
    if (kind == "itemp" || kind == "xtemp" || kind == "pres") thresholds.flatLine = {0, 0, 0.0};
    int rank = 0;
    for (const Section::Scope scope :
         {Section::Scope::All, Section::Scope::Kind, Section::Scope::Column}) {
        for (const Section& section : sections_) {
            if (section.scope != scope) continue;
            if (scope == Section::Scope::Kind && section.kind != kind) continue;
            if (scope == Section::Scope::Column && section.column != deviceColumn) continue;
            for (const Assignment& a : section.assignments)
                Apply(a, ++rank, thresholds, grossRangeGiven);
        }
    }
    // With a file, the counts cannot leave the converter's range.
    if (fromFile_ && !grossRangeGiven) thresholds.counts.fail = ValueRange{0.0, thresholds.ceiling};
    return thresholds;
}

std::string KindKeyOf(int type) {
    if (IsScattering(type)) return "Lambda";
    if (IsScatteringReference(type)) return "Lambdaref";
    const ColumnKind* kind = ColumnKindOf(type);
    if (kind == nullptr) return "";
    std::string key(kind->keys[0].text);
    if (!key.empty() && key.back() == '=') key.pop_back();
    return key;
}

}  // namespace kivo
