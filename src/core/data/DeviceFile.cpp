#include "core/data/DeviceFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "core/data/ColumnKinds.h"
#include "core/text/ScanNumbers.h"

namespace kivo {
namespace {

constexpr std::size_t kPieceLength = 98;
constexpr const char* kErrorCaption = "KIVO Device File Error";
constexpr const char* kWarningCaption = "KIVO Device File Warning";

enum class KeyKind {
    DeclaredColumns,  // "Columns=": column count
    Column,           // column number only
    ColumnScaleOffset,
    Lambda,
    LambdaRef,
    Salinity,
    Theta,
    XFactor,
    Asv,
    MaxVoltage,
    EngrColumn,
    EngrUnits,
    WaterPure,
    WaterSea,
};

struct Key {
    std::string_view text;
    std::size_t compareLength;
    KeyKind kind;
    int code;  // the column type it gives, or the ASV index
};

// The keys that set a parameter or a scattering channel; the keys of the other column
// kinds come from their rows in kColumnKinds.
constexpr Key kParameterKeys[] = {
    {"Columns=", 8, KeyKind::DeclaredColumns, column::kDeclaredCount},
    {"Salinity=", 9, KeyKind::Salinity, column::kSalinityKey},
    {"Theta=", 6, KeyKind::Theta, column::kThetaKey},
    {"XFACTOR=", 8, KeyKind::XFactor, column::kXFactorKey},
    {"Lambda=", 7, KeyKind::Lambda, column::kLambdaKey},
    {"Lambdaref=", 10, KeyKind::LambdaRef, column::kLambdaRefKey},
    {"ASV1=", 5, KeyKind::Asv, 0},
    {"ASV2=", 5, KeyKind::Asv, 1},
    {"ASV4=", 5, KeyKind::Asv, 2},
    {"maxvoltage=", 11, KeyKind::MaxVoltage, column::kMaxVoltageKey},
    {"iengrscaleoffset=", 17, KeyKind::EngrColumn, column::kEngrScaleOffsetKey},
    {"iengrunits=", 11, KeyKind::EngrUnits, column::kEngrUnitsKey},
    {"Water=PURE", 10, KeyKind::WaterPure, 0},
    {"Water=SEA", 9, KeyKind::WaterSea, 1},
};

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

constexpr bool StartsWithKey(std::string_view line, std::string_view key, std::size_t length) {
    if (line.size() < length || key.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(line[i]) != LowerAscii(key[i])) return false;
    }
    return true;
}

constexpr Key KeyOfRow(const ColumnKind& kind, const DeviceKey& key) {
    const KeyKind keyKind =
        kind.shape == KeyShape::Column ? KeyKind::Column : KeyKind::ColumnScaleOffset;
    return Key{key.text, key.compareLength, keyKind, kind.code};
}

// Every key the loader knows, in the order it tries them.
template <typename Visit>
constexpr const Key* ForEachKey(Visit&& visit, Key& scratch) {
    for (const Key& key : kParameterKeys) {
        if (visit(key)) return &key;
    }
    for (const ColumnKind& kind : kColumnKinds) {
        for (const DeviceKey& key : kind.keys) {
            if (key.text.empty()) continue;
            scratch = KeyOfRow(kind, key);
            if (visit(scratch)) return &scratch;
        }
    }
    return nullptr;
}

// No key matches the compared start of another, so the order of the lists decides nothing.
constexpr bool KeysAreUnambiguous() {
    Key outer{};
    Key inner{};
    bool clash = false;
    ForEachKey(
        [&](const Key& a) {
            const Key first = a;
            ForEachKey(
                [&](const Key& b) {
                    const bool same = first.text == b.text;
                    if (!same && (StartsWithKey(b.text, first.text, first.compareLength) ||
                                  StartsWithKey(first.text, b.text, b.compareLength))) {
                        clash = true;
                    }
                    return clash;
                },
                inner);
            return clash;
        },
        outer);
    return !clash;
}
static_assert(KeysAreUnambiguous(), "a device-file key shadows another");

std::optional<Key> FindKey(std::string_view line) {
    Key scratch{};
    const Key* found = ForEachKey(
        [line](const Key& key) { return StartsWithKey(line, key.text, key.compareLength); },
        scratch);
    if (found == nullptr) return std::nullopt;
    return *found;
}

// One piece of a line, the way fgets with a 99-byte buffer reads it in text mode.
bool ReadPiece(std::istream& in, std::string& piece) {
    piece.clear();
    while (piece.size() < kPieceLength) {
        int c = in.get();
        if (c == std::char_traits<char>::eof()) break;
        if (c == '\r' && in.peek() == '\n') c = in.get();
        piece.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !piece.empty();
}

enum class LineResult { Ok, Invalid, ColumnBeyondTable };

// Reads "%d" then `count` times "%f" from the value text.
struct Numbers {
    std::int32_t column = 0;
    std::array<float, 4> values{};
};

std::optional<Numbers> ScanColumnAndNumbers(std::string_view value, std::size_t count) {
    std::size_t pos = 0;
    Numbers numbers;
    const auto column = ScanInt(value, pos);
    if (!column) return std::nullopt;
    numbers.column = *column;
    for (std::size_t i = 0; i < count; ++i) {
        const auto number = ScanFloat(value, pos);
        if (!number || !std::isfinite(*number)) return std::nullopt;
        numbers.values[i] = *number;
    }
    return numbers;
}

std::optional<std::int32_t> TruncateToInt(float value) {
    // Cast only what fits: a wavelength beyond the 32-bit range is not a wavelength.
    if (!std::isfinite(value) || value <= -2147483648.0f || value >= 2147483648.0f) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

bool IsPrintable(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u <= 0x7e;
}

// Handles one key line; `defined` receives the column the line defined, if any.
LineResult HandleKeyLine(const Key& key, std::string_view value, DeviceCalibration& cal,
                         int& defined) {
    defined = 0;
    std::size_t pos = 0;
    switch (key.kind) {
        case KeyKind::Salinity:
        case KeyKind::Theta:
        case KeyKind::XFactor:
        case KeyKind::Asv:
        case KeyKind::MaxVoltage: {
            const auto number = ScanFloat(value, pos);
            if (!number || !std::isfinite(*number)) return LineResult::Invalid;
            const double widened = *number;
            if (key.kind == KeyKind::Salinity) cal.salinity = widened;
            if (key.kind == KeyKind::Theta) cal.theta = DegreesToRadians(widened);
            if (key.kind == KeyKind::XFactor) cal.chi = widened;
            if (key.kind == KeyKind::Asv) cal.asvFullScale[key.code] = *number;
            if (key.kind == KeyKind::MaxVoltage) cal.maxVoltage = *number;
            return LineResult::Ok;
        }
        case KeyKind::EngrColumn: {
            const auto column = ScanInt(value, pos);
            if (!column) return LineResult::Invalid;
            cal.engrColumn = *column;
            return LineResult::Ok;
        }
        case KeyKind::EngrUnits: {
            std::size_t end = 0;
            while (end < value.size() && IsPrintable(value[end])) ++end;
            cal.engrUnits = std::string(value.substr(0, std::min(end, cal.kMaxEngrUnits)));
            return LineResult::Ok;
        }
        case KeyKind::WaterPure:
        case KeyKind::WaterSea:
            cal.waterType = key.code;
            return LineResult::Ok;
        default:
            break;
    }

    // Column keys.
    std::size_t count = 0;
    if (key.kind == KeyKind::ColumnScaleOffset || key.kind == KeyKind::LambdaRef) count = 2;
    if (key.kind == KeyKind::Lambda) count = 4;
    const auto numbers = ScanColumnAndNumbers(value, count);
    if (!numbers) return LineResult::Invalid;
    const int n = numbers->column;
    if (n > kSlots) return LineResult::ColumnBeyondTable;
    if (n < 1) return LineResult::Invalid;
    const bool scatteringKey = key.kind == KeyKind::Lambda || key.kind == KeyKind::LambdaRef;
    if (scatteringKey && (n < 2 || n > 10)) return LineResult::Invalid;

    const auto a = static_cast<double>(numbers->values[0]);
    const auto b = static_cast<double>(numbers->values[1]);
    std::int32_t& type = cal.columnType[n - 1];
    switch (key.kind) {
        case KeyKind::DeclaredColumns:
            cal.declaredColumns = n;
            type = column::kDeclaredCount;
            cal.scale[type] = 1.0;
            cal.offset[type] = 0.0;
            return LineResult::Ok;
        case KeyKind::Column:
            type = key.code;
            cal.scale[type] = 1.0;
            cal.offset[type] = 0.0;
            break;
        case KeyKind::ColumnScaleOffset:
            type = key.code;
            cal.scale[type] = a;
            cal.offset[type] = b;
            break;
        case KeyKind::Lambda: {
            const auto wavelength = TruncateToInt(numbers->values[2]);
            const auto colourWavelength = TruncateToInt(numbers->values[3]);
            if (!wavelength || !colourWavelength) return LineResult::Invalid;
            type = column::kFirstScattering - 2 + n;
            cal.scale[type] = a;
            cal.offset[type] = b;
            cal.wavelength[type] = *wavelength;
            cal.channelColour[type] = WavelengthColour(*colourWavelength);
            break;
        }
        case KeyKind::LambdaRef:
            type = column::kFirstScatteringRef - 2 + n;
            cal.scale[type] = a;
            cal.offset[type] = b;
            break;
        default:
            return LineResult::Ok;
    }
    ++cal.definitionCount;
    defined = n;
    return LineResult::Ok;
}

bool Fail(DeviceCalibration& cal) {
    cal.definitionCount = 0;
    return false;
}

}  // namespace

bool ReadDeviceFile(std::istream& in, DeviceCalibration& cal, std::string& deviceName,
                    Prompts& prompts) {
    cal.ResetForLoad();
    std::string piece;
    if (!ReadPiece(in, piece)) return Fail(cal);
    std::string title = piece.substr(0, piece.find_first_of("\r\n"));
    std::array<bool, kSlots> columnDefined{};
    bool toldRepeat = false;  // one warning a load, however many lines repeat

    while (ReadPiece(in, piece)) {
        const std::optional<Key> key = FindKey(piece);
        if (!key) continue;
        const std::string_view value = std::string_view(piece).substr(piece.rfind('=') + 1);
        int defined = 0;
        const LineResult result = HandleKeyLine(*key, value, cal, defined);
        if (result == LineResult::ColumnBeyondTable) return Fail(cal);
        if (result == LineResult::Invalid) {
            std::array<char, 160> text{};
            std::snprintf(text.data(), text.size(), "Invalid Line '%s' in *.dev file",
                          piece.c_str());
            prompts.ShowWarning(kErrorCaption, text.data());
            return Fail(cal);
        }
        if (defined > 0 && columnDefined[defined - 1] && !toldRepeat) {
            toldRepeat = true;
            const std::string line = piece.substr(0, piece.find_first_of("\r\n"));
            prompts.ShowWarning(kWarningCaption, "Column " + std::to_string(defined) +
                                                     " Defined Twice in *.dev file: Line '" + line +
                                                     "' replaces the earlier definition");
        }
        if (defined > 0) columnDefined[defined - 1] = true;
        if (defined > 0 && defined == cal.engrColumn) {
            const int type = cal.columnType[defined - 1];
            cal.engrScale = static_cast<float>(cal.scale[type]);
            cal.engrOffset = static_cast<float>(cal.offset[type]);
        }
    }

    if (cal.definitionCount > cal.declaredColumns) {
        std::array<char, 100> text{};
        std::snprintf(text.data(), text.size(), "More Data Fields (%d) than Columns (%d) in *.dev",
                      static_cast<int>(cal.definitionCount), static_cast<int>(cal.declaredColumns));
        prompts.ShowWarning(kErrorCaption, text.data());
        return Fail(cal);
    }
    if (cal.maxVoltage > 0.0f) {
        for (float& fullScale : cal.asvFullScale) fullScale *= cal.maxVoltage;
    }
    for (char& c : title) {
        if (c == '\t') c = ' ';
    }
    deviceName = title;
    return true;
}

std::uint32_t WavelengthColour(int nanometres) {
    const float w = std::clamp(static_cast<float>(nanometres), 380.0f, 780.0f);
    float r = 1.0f;
    float g = 0.0f;
    float b = 0.0f;
    // A boundary wavelength belongs to the later band.
    if (w < 440.0f) {
        r = (440.0f - w) / 60.0f;
        b = 1.0f;
    } else if (w < 490.0f) {
        r = 0.0f;
        g = (w - 440.0f) / 50.0f;
        b = 1.0f;
    } else if (w < 510.0f) {
        r = 0.0f;
        g = 1.0f;
        b = (510.0f - w) / 20.0f;
    } else if (w < 580.0f) {
        r = (w - 510.0f) / 70.0f;
        g = 1.0f;
    } else if (w < 690.0f) {
        g = (690.0f - w) / 110.0f;
    }
    float intensity = 1.0f;
    if (w > 700.0f) {
        intensity = 0.3f + 0.7f * (780.0f - w) / 80.0f;
    } else if (w <= 420.0f) {
        intensity = 0.3f + 0.7f * (w - 380.0f) / 40.0f;
    }
    const auto component = [intensity](float factor) {
        return static_cast<std::uint32_t>(255.0f * intensity * factor);
    };
    return component(r) + 256u * component(g) + 65536u * component(b);
}

void CountKinds(DeviceCalibration& cal, int columnCount) {
    KindCounters& k = cal.kinds;
    k = KindCounters{};
    const int last = std::min(columnCount, kSlots);
    for (int i = 0; i < last; ++i) {
        const int t = cal.columnType[i];
        if (IsScattering(t)) ++k.scattering;
        const ColumnKind* kind = ColumnKindOf(t);
        if (kind != nullptr && kind->counter != nullptr) ++(k.*kind->counter);
    }
}

PlotSelectorVisibility VisiblePlotSelectors(const DeviceCalibration& cal, bool engrUnitsSelected) {
    PlotSelectorVisibility v;
    v.plotType = cal.kinds.Any();
    v.scattering = cal.kinds.scattering != 0 && engrUnitsSelected;
    v.iTemp = cal.kinds.iTemp != 0;
    v.xTemp = cal.kinds.xTemp != 0;
    v.pressure = cal.kinds.pressure != 0;
    v.hideFlSetup = !(cal.asvFullScale[1] > 0.0f);
    return v;
}

}  // namespace kivo
