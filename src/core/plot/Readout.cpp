#include "core/plot/Readout.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/ColumnKinds.h"

namespace kivo {

namespace {

// Temperature and pressure channels plot only while their choice is on; -1 (no item
// selected) counts as on.
bool QuantityChosen(const ColumnKind* kind, const PlotChoices& choices) {
    switch (kind == nullptr ? PlotSwitch::Always : kind->plotSwitch) {
        case PlotSwitch::ITemp:
            return choices.ITempPlot != 0;
        case PlotSwitch::XTemp:
            return choices.XTempPlot != 0;
        case PlotSwitch::Pressure:
            return choices.PresPlot != 0;
        case PlotSwitch::Always:
            break;
    }
    return true;
}

double EngineeringValueOf(int type, int bbPlotChoice, double raw, const EngineeringValues& v) {
    if (IsScattering(type)) {
        const auto t = static_cast<std::size_t>(type);
        switch (bbPlotChoice) {
            case scattering_quantity::kBeta:
                return v.beta[t];
            case scattering_quantity::kBetap:
                return v.betap[t];
            case scattering_quantity::kBbp:
                return v.bbp[t];
            case scattering_quantity::kBb:
                return v.bb[t];
            default:
                return raw;
        }
    }
    const ColumnKind* kind = ColumnKindOf(type);
    if (kind == nullptr || !kind->plotsEngineering) return raw;
    const double* value = EngineeringSlotOf(*kind, type, v);
    return value == nullptr ? raw : *value;
}

}  // namespace

std::string QuantityLabel(int type, int scatteringQuantity, const DeviceCalibration& calibration) {
    static constexpr const char* kScattering[] = {"Beta [1/(m sr)]", "Beta_p [1/(m sr)]",
                                                  "bbp [1/m]", "bb [1/m]"};
    const ColumnKind* kind = ColumnKindOf(type);
    if (kind == nullptr)
        return kScattering[scatteringQuantity >= 0 && scatteringQuantity < 4 ? scatteringQuantity
                                                                             : 0];
    if (kind->titleName == nullptr) return "";
    std::string unit = kind->meterUnits ? calibration.engrUnits : kind->titleUnit;
    unit.erase(0, unit.find_first_not_of(' '));
    std::string label = kind->titleName;
    if (!unit.empty()) label += " [" + unit + "]";
    return label;
}

std::string YAxisLabel(int columnCount, const PlotChoices& choices,
                       const DeviceCalibration& calibration) {
    if (choices.PlotType == plot_type::kRawCounts) return "Counts";
    if (choices.PlotType != plot_type::kEngineeringUnits) return "";
    std::vector<std::string> labels;
    const int columns = std::clamp(columnCount, 0, kSlots);
    for (int i = 0; i < columns; ++i) {
        const int type = calibration.columnType[static_cast<std::size_t>(i)];
        if (!IsSlot(type) || !HasChannel(type)) continue;
        const ColumnKind* kind = ColumnKindOf(type);
        if (!QuantityChosen(kind, choices)) continue;
        const std::string label = QuantityLabel(type, choices.BBPlotChoice, calibration);
        if (!label.empty() && std::find(labels.begin(), labels.end(), label) == labels.end())
            labels.push_back(label);
    }
    std::string text;
    for (const std::string& label : labels) text += (text.empty() ? "" : ", ") + label;
    return text;
}

double PlottedValue(int type, const PlotChoices& choices, const RawTable& rawValues,
                    const EngineeringValues& engineering) {
    if (!IsSlot(type) || !HasChannel(type) || !QuantityChosen(ColumnKindOf(type), choices)) {
        return kNothingPlotted;
    }
    const double raw = rawValues[static_cast<std::size_t>(type)];
    switch (choices.PlotType) {
        case plot_type::kRawCounts:
            return raw;
        case plot_type::kEngineeringUnits:
            return EngineeringValueOf(type, choices.BBPlotChoice, raw, engineering);
        default:
            return kNothingPlotted;
    }
}

void ChannelFeed::OnSample(const Sample& sample) {
    const int columns = std::clamp(calibration_.definitionCount, 0, kSlots);
    const bool shown = TitleShowsStatistic(choices.powerUser, choices.StatsMode);
    for (int i = 0; i < columns; ++i) {
        const auto position = static_cast<std::size_t>(i);
        const int type = calibration_.columnType[position];
        if (!IsSlot(type)) continue;
        PushSample(stats_, type, sample.counts[static_cast<std::size_t>(type)]);
        // Right after this column's sample: a later column of the same kind pushes again.
        statistics_[position] =
            shown ? ChannelStatistic(stats_, type, choices.StatsMode) : kNoStatistic;
        PlotSample(chart_, channelOfColumn_[position], sample.x,
                   PlottedValue(type, choices, sample.counts, sample.engineering));
    }
    titleChoices_ = choices;
    titlesPending_ = true;
}

void ChannelFeed::PublishTitles(const Sample& latest) {
    if (!titlesPending_) return;
    titlesPending_ = false;
    chart_.SetAxisLabels(kSampleAxisLabel,
                         YAxisLabel(calibration_.definitionCount, titleChoices_, calibration_));
    const int columns = std::clamp(calibration_.definitionCount, 0, kSlots);
    TitleBuffer title;
    std::array<char, 32> nameScratch{};
    for (int i = 0; i < columns; ++i) {
        const auto position = static_cast<std::size_t>(i);
        const int type = calibration_.columnType[position];
        if (!IsSlot(type)) continue;
        const double raw = latest.counts[static_cast<std::size_t>(type)];
        const double statistic = statistics_[position];
        std::string_view text;
        if (titleChoices_.PlotType == plot_type::kRawCounts) {
            if (const char* name = RawModeName(type, calibration_, nameScratch)) {
                const ColumnKind* kind = ColumnKindOf(type);
                const StatisticChoice choice{titleChoices_.powerUser, titleChoices_.StatsMode};
                text = kind != nullptr && kind->meterUnits
                           ? FormatEngrTitle(title, name, raw, calibration_.engrUnits, statistic,
                                             choice)
                           : FormatCountsTitle(title, name, raw, statistic, choice);
            }
        } else if (titleChoices_.PlotType == plot_type::kEngineeringUnits) {
            text = FormatEngineeringTitle(title, type, titleChoices_.BBPlotChoice, calibration_,
                                          raw, latest.engineering);
        }
        if (!text.empty()) chart_.SetTitleText(channelOfColumn_[position], text);
    }
}

}  // namespace kivo
