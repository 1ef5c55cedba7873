#include "core/data/DeviceFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

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

// "CHLREF=" is told apart on its first five characters only; device files rely on it.
constexpr Key kKeys[] = {
    {"Columns=", 8, KeyKind::DeclaredColumns, column::kDeclaredCount},
    {"Date=", 5, KeyKind::Column, column::kDate},
    {"Time=", 5, KeyKind::Column, column::kTime},
    {"Salinity=", 9, KeyKind::Salinity, column::kSalinityKey},
    {"Theta=", 6, KeyKind::Theta, column::kThetaKey},
    {"XFACTOR=", 8, KeyKind::XFactor, column::kXFactorKey},
    {"Lambda=", 7, KeyKind::Lambda, column::kLambdaKey},
    {"Lambdaref=", 10, KeyKind::LambdaRef, column::kLambdaRefKey},
    {"CHL=", 4, KeyKind::ColumnScaleOffset, column::kChl},
    {"CDOM=", 5, KeyKind::ColumnScaleOffset, column::kCdom},
    {"URANINE=", 8, KeyKind::ColumnScaleOffset, column::kUranine},
    {"PHYCOCYANINE=", 13, KeyKind::ColumnScaleOffset, column::kPhycocyanin},
    {"PHYCOERYTHRIN=", 14, KeyKind::ColumnScaleOffset, column::kPhycoerythrin},
    {"RHODAMINE=", 10, KeyKind::ColumnScaleOffset, column::kRhodamine},
    {"CHLREF=", 5, KeyKind::Column, column::kChlRef},
    {"CDOMREF=", 8, KeyKind::Column, column::kCdomRef},
    {"URANINEREF=", 11, KeyKind::Column, column::kUranineRef},
    {"PHYCOCYANINEREF=", 16, KeyKind::Column, column::kPhycocyaninRef},
    {"PHYCOERYTHRINREF=", 17, KeyKind::Column, column::kPhycoerythrinRef},
    {"RHODAMINEREF=", 13, KeyKind::Column, column::kRhodamineRef},
    {"LSS=", 4, KeyKind::ColumnScaleOffset, column::kLss},
    {"LSSREF=", 7, KeyKind::Column, column::kLssRef},
    {"iTemp=", 6, KeyKind::ColumnScaleOffset, column::kITemp},
    {"xTemp=", 6, KeyKind::ColumnScaleOffset, column::kXTemp},
    {"PRES=", 5, KeyKind::ColumnScaleOffset, column::kPres},
    {"REF=", 4, KeyKind::Column, column::kIgnored},
    {"N/U=", 4, KeyKind::Column, column::kIgnored},
    {"ASV1=", 5, KeyKind::Asv, 0},
    {"ASV2=", 5, KeyKind::Asv, 1},
    {"ASV4=", 5, KeyKind::Asv, 2},
    {"maxvoltage=", 11, KeyKind::MaxVoltage, column::kMaxVoltageKey},
    {"iengrscaleoffset=", 17, KeyKind::EngrColumn, column::kEngrScaleOffsetKey},
    {"iengrunits=", 11, KeyKind::EngrUnits, column::kEngrUnitsKey},
    {"IENGR=", 6, KeyKind::Column, column::kIEngr},
    {"NTU=", 4, KeyKind::ColumnScaleOffset, column::kNtu},
    {"NTUREF=", 7, KeyKind::Column, column::kNtuRef},
    {"VSF100=", 7, KeyKind::ColumnScaleOffset, column::kVsf100},
    {"VSF125=", 7, KeyKind::ColumnScaleOffset, column::kVsf125},
    {"VSF150=", 7, KeyKind::ColumnScaleOffset, column::kVsf150},
    {"Water=PURE", 10, KeyKind::WaterPure, 0},
    {"Water=SEA", 9, KeyKind::WaterSea, 1},
};

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

const Key* FindKey(std::string_view line) {
    for (const Key& key : kKeys) {
        if (line.size() < key.compareLength) continue;
        bool same = true;
        for (std::size_t i = 0; i < key.compareLength && same; ++i) {
            same = LowerAscii(line[i]) == LowerAscii(key.text[i]);
        }
        if (same) return &key;
    }
    return nullptr;
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
        const Key* key = FindKey(piece);
        if (key == nullptr) continue;
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
        if (IsVolumeScattering(t)) ++k.volumeScattering;
        switch (t) {
            case column::kIEngr:
                ++k.meterEngr;
                break;
            case column::kChl:
                ++k.chl;
                break;
            case column::kCdom:
                ++k.cdom;
                break;
            case column::kUranine:
                ++k.uranine;
                break;
            case column::kRhodamine:
                ++k.rhodamine;
                break;
            case column::kPhycocyanin:
                ++k.phycocyanin;
                break;
            case column::kPhycoerythrin:
                ++k.phycoerythrin;
                break;
            case column::kLss:
                ++k.lss;
                break;
            case column::kNtu:
                ++k.ntu;
                break;
            case column::kITemp:
                ++k.iTemp;
                break;
            case column::kXTemp:
                ++k.xTemp;
                break;
            case column::kPres:
                ++k.pressure;
                break;
            default:
                break;
        }
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
