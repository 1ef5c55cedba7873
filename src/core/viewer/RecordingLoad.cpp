#include "core/viewer/RecordingLoad.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <fstream>
#include <limits>
#include <string_view>
#include <utility>

#include "core/data/ColumnTypes.h"
#include "core/data/DeviceFile.h"
#include "core/data/Statistics.h"
#include "core/export/ExportColumns.h"
#include "core/host/LineAssembler.h"
#include "core/host/RecordedLineFeeder.h"
#include "core/plot/PlotView.h"
#include "core/plot/Readout.h"
#include "core/protocol/ReplyParser.h"

namespace kivo {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// What a float cannot hold (beyond 3.4e38, inf, nan) is no value to draw.
float AsFloat(double value) {
    const auto narrow = static_cast<float>(value);
    return std::isfinite(narrow) ? narrow : kNoValue;
}

std::optional<std::int64_t> MeterSeconds(const MeterClock& clock) {
    const std::optional<CalendarTime> time = MeterCalendarTime(clock);
    if (!time) return std::nullopt;
    return static_cast<std::int64_t>(SecondsSinceEpoch(*time));
}

std::int64_t FileSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return static_cast<std::int64_t>(status.st_size);
}

// Each sample's plotted values into the recording's columns.
class ChannelCollector final : public SampleSink {
public:
    ChannelCollector(RecordingData& data, const DeviceCalibration& calibration,
                     std::vector<int> positions, int scatteringQuantity)
        : data_(data), calibration_(calibration), positions_(std::move(positions)) {
        choices_.PlotType = plot_type::kEngineeringUnits;
        choices_.BBPlotChoice = scatteringQuantity;
        choices_.ITempPlot = choices_.XTempPlot = choices_.PresPlot = 1;
        row_.resize(positions_.size());
    }
    void OnSample(const Sample& sample) override {
        for (std::size_t c = 0; c < positions_.size(); ++c) {
            const int type = calibration_.columnType[static_cast<std::size_t>(positions_[c])];
            const double value = PlottedValue(type, choices_, sample.counts, sample.engineering);
            // What the live chart leaves off, the viewer leaves off.
            row_[c] = value < kPlotCut ? AsFloat(value) : kNoValue;
        }
        data_.Append(row_.data(), MeterSeconds(sample.meterClock));
    }

private:
    RecordingData& data_;
    const DeviceCalibration& calibration_;
    const std::vector<int> positions_;
    PlotChoices choices_;
    std::vector<float> row_;
};

LoadedRecording LoadRaw(const std::string& path, const ViewerDevice& device,
                        LoadProgress& progress) {
    LoadedRecording result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "Cannot read\n" + path;
        return result;
    }
    progress.totalBytes = FileSize(path);
    DeviceCalibration calibration = device.calibration;
    std::vector<int> positions;
    auto data = std::make_unique<RecordingData>(
        RawChannels(calibration, device.scatteringQuantity, positions));
    DataChain chain(calibration);
    chain.DeviceFileLoaded();
    ChannelCollector collector(*data, calibration, positions, device.scatteringQuantity);
    chain.AddSink(collector);
    RecordedLineFeeder feeder(chain, device.options);
    LineAssembler assembler;
    std::vector<char> chunk(256 * 1024);
    bool reserved = false;
    while (in && !progress.cancel) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got > 0) assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
        progress.bytesRead += got;
        // The lines of the first piece tell how many the whole file holds, so the columns
        // grow once instead of doubling all the way.
        if (!reserved && data->Lines() > 0) {
            reserved = true;
            const double perLine = static_cast<double>(got) / static_cast<double>(data->Lines());
            data->Reserve(static_cast<std::size_t>(
                static_cast<double>(progress.totalBytes) / perLine * 1.02 + 16.0));
        }
    }
    if (progress.cancel) {
        result.cancelled = true;
        return result;
    }
    if (in.bad()) {
        result.error = "Reading failed\n" + path;
        return result;
    }
    if (data->Lines() == 0) {
        result.error = "No data line of this device file in\n" + path;
        return result;
    }
    data->Finish();
    result.data = std::move(data);
    return result;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

std::optional<double> Number(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    return value;
}

// "052104" (or "05212004") and "093001": the meter's clock of an engineering-units record.
std::optional<std::int64_t> EngTime(std::string_view date, std::string_view time) {
    const auto digits = [](std::string_view text, std::size_t at, std::size_t count) {
        int value = 0;
        for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    const auto allDigits = [](std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((date.size() != 6 && date.size() != 8) || time.size() != 6 || !allDigits(date) ||
        !allDigits(time))
        return std::nullopt;
    MeterClock clock;
    clock.month = digits(date, 0, 2);
    clock.day = digits(date, 2, 2);
    clock.year = digits(date, 4, date.size() - 4);
    clock.hour = digits(time, 0, 2);
    clock.minute = digits(time, 2, 2);
    clock.second = digits(time, 4, 2);
    return MeterSeconds(clock);
}

// A scattering heading ("Beta(412)") takes its wavelength's colour, as the live chart does;
// the rest take turns in a few colours that read on the chart's black.
std::uint32_t HeadingColour(const std::string& heading, std::size_t index) {
    const std::size_t open = heading.find('(');
    int nanometres = 0;
    if (open != std::string::npos) {
        const char* begin = heading.data() + open + 1;
        const auto [end, error] =
            std::from_chars(begin, heading.data() + heading.size(), nanometres);
        if (error == std::errc() && end != begin && *end == ')' && nanometres >= 300 &&
            nanometres <= 900)
            return WavelengthColour(nanometres);
    }
    constexpr std::uint32_t kTurns[] = {Rgb(0, 255, 0),   Rgb(255, 255, 0), Rgb(0, 255, 255),
                                        Rgb(255, 0, 255), Rgb(255, 128, 0), Rgb(255, 255, 255)};
    return kTurns[index % (sizeof kTurns / sizeof kTurns[0])];
}

LoadedRecording LoadEng(const std::string& path, LoadProgress& progress) {
    LoadedRecording result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "Cannot read\n" + path;
        return result;
    }
    progress.totalBytes = FileSize(path);
    std::string line;
    const auto next = [&]() -> bool {
        if (!std::getline(in, line)) return false;
        progress.bytesRead += static_cast<std::int64_t>(line.size() + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    };
    const std::vector<std::string_view> heading =
        next() ? SplitTabs(line) : std::vector<std::string_view>{};
    if (heading.size() < 4 || heading[0] != "Count" || heading[1] != "Date" ||
        heading[2] != "Time") {
        result.error = "Not an engineering-units file (no \"Count Date Time\" heading)\n" + path;
        return result;
    }
    std::vector<ViewerChannel> channels;
    for (std::size_t i = 3; i < heading.size(); ++i) {
        ViewerChannel channel;
        channel.name = std::string(heading[i]);
        channel.colour = HeadingColour(channel.name, channels.size());
        channels.push_back(std::move(channel));
    }
    const std::size_t count = channels.size();
    auto data = std::make_unique<RecordingData>(std::move(channels));
    std::vector<float> row(count);
    while (!progress.cancel && next()) {
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != count + 3) continue;  // not a record of this heading
        for (std::size_t c = 0; c < count; ++c) {
            const std::optional<double> value = Number(fields[c + 3]);
            row[c] = value ? AsFloat(*value) : kNoValue;
        }
        data->Append(row.data(), EngTime(fields[1], fields[2]));
    }
    if (progress.cancel) {
        result.cancelled = true;
        return result;
    }
    if (data->Lines() == 0) {
        result.error = "No record in\n" + path;
        return result;
    }
    data->Finish();
    result.data = std::move(data);
    return result;
}

}  // namespace

bool IsEngineeringFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return end == ".eng";
}

std::vector<ViewerChannel> RawChannels(const DeviceCalibration& calibration, int scatteringQuantity,
                                       std::vector<int>& positions) {
    positions.clear();
    std::vector<ViewerChannel> channels;
    const std::vector<ExportColumn> headings = EngineeringColumns(calibration);
    const Quantity quantities[] = {Quantity::Beta, Quantity::Betap, Quantity::Bbp, Quantity::Bb};
    const int columns = std::clamp(calibration.definitionCount, 0, kSlots);
    for (int i = 0; i < columns; ++i) {
        const int type = calibration.columnType[static_cast<std::size_t>(i)];
        ChannelLook look;
        if (!IsSlot(type) || !HasChannel(type) || !ChannelLookOf(type, calibration, look)) continue;
        ViewerChannel channel;
        channel.colour = look.colour;
        channel.name = look.title.data();
        channel.axisLabel = QuantityLabel(type, scatteringQuantity, calibration);
        // The .eng heading names it where the file has one for what is plotted.
        const bool scattering = IsScattering(type);
        const Quantity quantity = scattering && scatteringQuantity >= 0 && scatteringQuantity < 4
                                      ? quantities[scatteringQuantity]
                                      : Quantity::Single;
        for (const ExportColumn& column : headings) {
            if (column.deviceColumn == i + 1 && column.quantity == quantity)
                channel.name = column.heading;
        }
        channels.push_back(std::move(channel));
        positions.push_back(i);
    }
    return channels;
}

LoadedRecording LoadRecording(const std::string& path, const std::optional<ViewerDevice>& device,
                              LoadProgress& progress) {
    if (IsEngineeringFile(path)) return LoadEng(path, progress);
    if (!device) {
        LoadedRecording result;
        result.error = "Load a Device File before opening a raw recording";
        return result;
    }
    return LoadRaw(path, *device, progress);
}

}  // namespace kivo
