#pragma once

// One row per column kind: everything the loader, the conversion, the readout, the chart
// and the engineering-units recorder need to know about a kind, so that a new kind is one
// new row rather than a case in each of them.
//
// Two families stay outside the table:
//  - scattering channels (codes 7-24, "Lambda="/"Lambdaref="): one key gives nine codes by
//    column number, four values per channel, and their names, titles and colours come from
//    the wavelength in the device file; each reader keeps one IsScattering branch for them;
//  - the device file's parameter keys ("Columns=", "Salinity=", "ASV1=" ...), which set no
//    column and live with the loader.
// The meter-converted value (IENGR) is a row; its `meterUnits` flag adds the units the
// device file gives.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/data/ColumnTypes.h"
#include "core/data/DeviceCalibration.h"
#include "core/data/EngineeringValues.h"

namespace kivo {

// A device-file key, compared without regard to case on its first `compareLength`
// characters.
struct DeviceKey {
    std::string_view text;
    std::size_t compareLength = 0;
};

// What follows the key: "%d" (column) or "%d %f %f" (column, scale, offset).
enum class KeyShape { Column, ColumnScaleOffset };

enum class Role { Other, Measurement, Reference };

// How the engineering value comes from the (corrected) count.
enum class ConvertBy {
    Nothing,
    LessDark,  // (count - offset) x scale: offset is the dark count
    Linear,    // count x scale + offset: slope and intercept
    AsSent,    // the meter converted it itself
};

// Where a kind's engineering value is held: a member of its own or its code's slot of a
// per-code array.
struct EngineeringSlot {
    double EngineeringValues::*single = nullptr;
    std::array<double, kSlots> EngineeringValues::*perCode = nullptr;
};

// A printf "%W.Plf" as width and precision, so that formats stay literal.
struct Fixed {
    int width = 0;
    int precision = 0;
};

// A chart colour by its components; the chart packs them.
struct ChartColour {
    std::uint32_t red = 0;
    std::uint32_t green = 0;
    std::uint32_t blue = 0;
};

// Which operator choice, besides the plot type, a kind's chart values wait for.
enum class PlotSwitch { Always, ITemp, XTemp, Pressure };

struct ColumnKind {
    int code = 0;
    std::array<DeviceKey, 2> keys{};  // the second is empty but for "N/U="
    KeyShape shape = KeyShape::Column;
    Role role = Role::Other;
    std::int32_t KindCounters::*counter = nullptr;

    ConvertBy convertBy = ConvertBy::Nothing;
    EngineeringSlot engineering{};
    const char* engHeading = nullptr;  // nullptr: no field in the .eng file
    Fixed engField{};

    const char* rawName = nullptr;    // raw-count readout; nullptr: no title
    const char* titleName = nullptr;  // engineering readout "<name>: <value><unit>"
    Fixed titleValue{};
    const char* titleUnit = "";
    bool meterUnits = false;  // heading and titles add the device file's "iengrunits="

    const char* chartTitle = nullptr;  // nullptr: no chart channel
    ChartColour chartColour{};
    bool plotsEngineering = false;  // false: plots counts even in engineering units
    PlotSwitch plotSwitch = PlotSwitch::Always;
};

namespace column_kind_rows {

constexpr ColumnKind KeyOnly(int code, DeviceKey key, Role role = Role::Other,
                             DeviceKey alternative = {}) {
    ColumnKind k;
    k.code = code;
    k.keys = {key, alternative};
    k.role = role;
    return k;
}

// The texts of a measured kind, in the order the rows give them.
struct Texts {
    const char* engHeading;
    const char* rawName;
    const char* titleName;
    Fixed titleValue;
    const char* titleUnit;
    const char* chartTitle;
    ChartColour chartColour;
};

// How a measured kind is counted in the device file and converted, and where its
// engineering value is kept.
struct Converted {
    std::int32_t KindCounters::*counter;
    ConvertBy convertBy;
    EngineeringSlot slot;
};

// A kind the meter measures: a scale-offset key, one "%6.4lf" field in the .eng file
// (WithEngField changes it), a readout title and a chart channel.
constexpr ColumnKind Measured(int code, DeviceKey key, const Converted& converted,
                              const Texts& texts, bool plotsEngineering) {
    ColumnKind k;
    k.code = code;
    k.keys = {key, DeviceKey{}};
    k.shape = KeyShape::ColumnScaleOffset;
    k.role = Role::Measurement;
    k.counter = converted.counter;
    k.convertBy = converted.convertBy;
    k.engineering = converted.slot;
    k.engHeading = texts.engHeading;
    k.engField = Fixed{6, 4};
    k.rawName = texts.rawName;
    k.titleName = texts.titleName;
    k.titleValue = texts.titleValue;
    k.titleUnit = texts.titleUnit;
    k.chartTitle = texts.chartTitle;
    k.chartColour = texts.chartColour;
    k.plotsEngineering = plotsEngineering;
    return k;
}

constexpr ColumnKind With(ColumnKind k, PlotSwitch plotSwitch) {
    k.plotSwitch = plotSwitch;
    return k;
}

constexpr ColumnKind WithEngField(ColumnKind k, Fixed engField) {
    k.engField = engField;
    return k;
}

constexpr ColumnKind MeterConverted(ColumnKind k) {
    k.shape = KeyShape::Column;
    k.meterUnits = true;
    return k;
}

using EV = EngineeringValues;
using KC = KindCounters;
constexpr EngineeringSlot Single(double EV::*member) { return {member, nullptr}; }
constexpr EngineeringSlot Vsf() { return {nullptr, &EV::vsf}; }
constexpr bool kDyeCounts = false;  // the dyes and CDOM keep plotting counts
constexpr bool kEngineering = true;

// Measured rows: code, key, {counter, conversion, engineering value}, then the texts
// {.eng heading, raw-mode name, title name, title value, title unit, chart title, colour},
// then whether engineering units plot the engineering value. The chart titles are the
// meter's own ("B125):" included); the readout replaces them with the first data line.
// LSS is headed "NTU" in the .eng file, as files always were.
inline constexpr std::array kRows{
    KeyOnly(column::kDate, {"Date=", 5}),
    KeyOnly(column::kTime, {"Time=", 5}),
    Measured(column::kChl, {"CHL=", 4}, {&KC::chl, ConvertBy::LessDark, Single(&EV::chl)},
             {"CHL(ug/l)", "CHL", "CHL", {4, 2}, " ug/l", "CHL:", {255, 0, 255}}, kEngineering),
    Measured(column::kCdom, {"CDOM=", 5}, {&KC::cdom, ConvertBy::LessDark, Single(&EV::cdom)},
             {"CDOM(raw)", "CDOM", "CDOM", {4, 0}, " ppb", "CDOM:", {128, 0, 128}}, kDyeCounts),
    Measured(column::kUranine, {"URANINE=", 8},
             {&KC::uranine, ConvertBy::LessDark, Single(&EV::uranine)},
             {"ur(raw)", "ur", "UR", {4, 0}, " ppb", "ur:", {128, 0, 128}}, kDyeCounts),
    Measured(column::kPhycocyanin, {"PHYCOCYANINE=", 13},
             {&KC::phycocyanin, ConvertBy::LessDark, Single(&EV::phycocyanin)},
             {"pcyan(raw)", "pcyan", "PC", {4, 0}, " ppb", "pcyanine:", {255, 0, 0}}, kDyeCounts),
    Measured(column::kPhycoerythrin, {"PHYCOERYTHRIN=", 14},
             {&KC::phycoerythrin, ConvertBy::LessDark, Single(&EV::phycoerythrin)},
             {"peryth(raw)", "peryth", "PE", {4, 0}, " ppb", "perythrin:", {0, 128, 0}},
             kDyeCounts),
    Measured(column::kRhodamine, {"RHODAMINE=", 10},
             {&KC::rhodamine, ConvertBy::LessDark, Single(&EV::rhodamine)},
             {"rhod(raw)", "rhd", "RHD", {4, 0}, " ppb", "rhodamine:", {128, 0, 128}}, kDyeCounts),
    // "CHLREF=" is told apart on its first five characters only; device files rely on it.
    KeyOnly(column::kChlRef, {"CHLREF=", 5}, Role::Reference),
    KeyOnly(column::kCdomRef, {"CDOMREF=", 8}, Role::Reference),
    KeyOnly(column::kUranineRef, {"URANINEREF=", 11}, Role::Reference),
    KeyOnly(column::kPhycocyaninRef, {"PHYCOCYANINEREF=", 16}, Role::Reference),
    KeyOnly(column::kPhycoerythrinRef, {"PHYCOERYTHRINREF=", 17}, Role::Reference),
    KeyOnly(column::kRhodamineRef, {"RHODAMINEREF=", 13}, Role::Reference),
    Measured(column::kLss, {"LSS=", 4}, {&KC::lss, ConvertBy::LessDark, Single(&EV::lss)},
             {"NTU", "LSS", "LSS Cp", {4, 2}, "", "LSS:", {255, 255, 255}}, kEngineering),
    KeyOnly(column::kLssRef, {"LSSREF=", 7}, Role::Reference),
    With(Measured(
             column::kITemp, {"iTemp=", 6}, {&KC::iTemp, ConvertBy::Linear, Single(&EV::iTemp)},
             {"iTemp(C)", "iTemp", "iTemp", {3, 1}, " C", "iTemp:", {128, 128, 128}}, kEngineering),
         PlotSwitch::ITemp),
    With(Measured(
             column::kXTemp, {"xTemp=", 6}, {&KC::xTemp, ConvertBy::Linear, Single(&EV::xTemp)},
             {"xTemp(C)", "xTemp", "xTemp", {3, 1}, " C", "xTemp:", {192, 192, 192}}, kEngineering),
         PlotSwitch::XTemp),
    With(WithEngField(
             Measured(column::kPres, {"PRES=", 5},
                      {&KC::pressure, ConvertBy::Linear, Single(&EV::pressure)},
                      {"Pres(dbar)", "Pres", "Pres", {3, 1}, " dbar", "Pres:", {255, 255, 255}},
                      kEngineering),
             Fixed{5, 1}),
         PlotSwitch::Pressure),
    KeyOnly(column::kIgnored, {"REF=", 4}, Role::Other, {"N/U=", 4}),
    MeterConverted(Measured(
        column::kIEngr, {"IENGR=", 6}, {&KC::meterEngr, ConvertBy::AsSent, Single(&EV::meterEngr)},
        {"iEngr", "iEngr", "iENGR", {4, 2}, " ", "iEngr:", {255, 255, 255}}, kEngineering)),
    Measured(column::kNtu, {"NTU=", 4}, {&KC::ntu, ConvertBy::LessDark, Single(&EV::ntu)},
             {"NTU", "NTU", "NTU", {4, 2}, "", "NTU:", {255, 255, 255}}, kEngineering),
    KeyOnly(column::kNtuRef, {"NTUREF=", 7}, Role::Reference),
    Measured(column::kVsf100, {"VSF100=", 7}, {&KC::volumeScattering, ConvertBy::LessDark, Vsf()},
             {"B(100)", "B(100)", "B(100)", {6, 4}, " 1/(m.ster)", "B(100):", {255, 255, 0}},
             kEngineering),
    Measured(column::kVsf125, {"VSF125=", 7}, {&KC::volumeScattering, ConvertBy::LessDark, Vsf()},
             {"B(125)", "B(125)", "B(125)", {6, 4}, " 1/(m.ster)", "B125):", {255, 0, 0}},
             kEngineering),
    Measured(column::kVsf150, {"VSF150=", 7}, {&KC::volumeScattering, ConvertBy::LessDark, Vsf()},
             {"B(150)", "B(150)", "B(150)", {6, 4}, " 1/(m.ster)", "B(150)", {255, 0, 255}},
             kEngineering),
};

// Row index by code, -1 for a code without a row.
constexpr std::array<int, kSlots> IndexByCode() {
    std::array<int, kSlots> index{};
    for (int& i : index) i = -1;
    for (std::size_t r = 0; r < kRows.size(); ++r) {
        index[static_cast<std::size_t>(kRows[r].code)] = static_cast<int>(r);
    }
    return index;
}
inline constexpr std::array<int, kSlots> kIndexByCode = IndexByCode();

}  // namespace column_kind_rows

inline constexpr const auto& kColumnKinds = column_kind_rows::kRows;

// The row of a column type, or nullptr for a type without one (scattering, unused codes).
constexpr const ColumnKind* ColumnKindOf(int code) {
    if (!IsSlot(code)) return nullptr;
    const int row = column_kind_rows::kIndexByCode[static_cast<std::size_t>(code)];
    return row < 0 ? nullptr : &kColumnKinds[static_cast<std::size_t>(row)];
}

// The engineering value of a kind's column of type `code` in `values` (const or not), or
// nullptr when the kind has none.
template <typename Values>
auto* EngineeringSlotOf(const ColumnKind& kind, int code, Values& values) {
    using Slot = decltype(&(values.*kind.engineering.single));
    if (kind.engineering.single != nullptr) return &(values.*kind.engineering.single);
    if (kind.engineering.perCode != nullptr) {
        return &(values.*kind.engineering.perCode)[static_cast<std::size_t>(code)];
    }
    return Slot{nullptr};
}

namespace column_kind_rows {

// Every row's code is unique, every code the predicates of ColumnTypes.h call a reference
// or a measurement has a row that says so (scattering aside), and every kind whose
// engineering value is recorded, shown or plotted gets one from the conversion.
constexpr bool RowsAgreeWithColumnTypes() {
    for (std::size_t a = 0; a < kRows.size(); ++a) {
        if (!IsSlot(kRows[a].code) ||
            kIndexByCode[static_cast<std::size_t>(kRows[a].code)] != static_cast<int>(a)) {
            return false;
        }
    }
    for (int code = 0; code < kSlots; ++code) {
        if (IsScattering(code) || IsScatteringReference(code)) continue;
        // By index, not by pointer: a sanitizer build cannot compare a pointer into the
        // table with nullptr at compile time.
        const int index = kIndexByCode[static_cast<std::size_t>(code)];
        const Role role = index < 0 ? Role::Other : kRows[static_cast<std::size_t>(index)].role;
        if ((role == Role::Reference) != IsReference(code)) return false;
        if ((role == Role::Measurement) != IsMeasurement(code)) return false;
    }
    // A kind that records, shows or plots its engineering value has one.
    for (const ColumnKind& kind : kRows) {
        const bool hasValue =
            kind.engineering.single != nullptr || kind.engineering.perCode != nullptr;
        const bool usesValue =
            kind.engHeading != nullptr || kind.titleName != nullptr || kind.plotsEngineering;
        if (usesValue && (!hasValue || kind.convertBy == ConvertBy::Nothing)) return false;
    }
    return true;
}
static_assert(RowsAgreeWithColumnTypes(), "column kind rows disagree with ColumnTypes.h");

}  // namespace column_kind_rows

}  // namespace kivo
