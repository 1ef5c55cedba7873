#include "core/viewer/RecordingLoad.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "core/chain/LineAssembler.h"
#include "core/data/ColumnTypes.h"
#include "core/data/DeviceFile.h"
#include "core/data/Statistics.h"
#include "core/export/ExportColumns.h"
#include "core/export/ProfileExport.h"
#include "core/export/RecordQuality.h"
#include "core/plot/PlotView.h"
#include "core/plot/Readout.h"
#include "core/protocol/ReplyParser.h"
#include "core/recording/RecordedLineFeeder.h"

namespace kivo {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// What a float cannot hold (beyond 3.4e38, inf, nan) is no value to draw.
float AsFloat(double value) {
    const auto narrow = static_cast<float>(value);
    return std::isfinite(narrow) ? narrow : kNoValue;
}

// The meter's date and time as UTC seconds, read in the zone its clock was set in.
std::optional<std::int64_t> MeterSeconds(const MeterClock& clock,
                                         const MeterClockZone& zone = MeterClockZone::Utc()) {
    const std::optional<CalendarTime> time = MeterCalendarTime(clock);
    if (!time) return std::nullopt;
    return zone.UtcSeconds(*time);
}

constexpr std::size_t kPiece = 256 * 1024;  // read between two looks at Cancel [bytes]
// The columns grow once by what the first piece suggests, but never by more than this
// [lines]: a sparse file's size says nothing of its lines.
constexpr double kMostReserved = 16.0 * 1024 * 1024;

// A recording opened for reading. The open does not wait (a FIFO would wait for a writer)
// and anything but a regular file is refused before a read.
class InputFile {
public:
    explicit InputFile(const std::string& path)
        : descriptor_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        struct stat status {};
        regular_ =
            descriptor_ >= 0 && ::fstat(descriptor_, &status) == 0 && S_ISREG(status.st_mode);
        if (regular_) size_ = static_cast<std::int64_t>(status.st_size);
    }
    ~InputFile() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Empty when it can be read; otherwise what the operator is told.
    std::string Problem(const std::string& path) const {
        if (descriptor_ < 0) return "Cannot read\n" + path;
        if (!regular_) return "Not a regular file (a pipe, a device or a folder)\n" + path;
        return {};
    }
    std::int64_t Size() const { return size_; }
    // Bytes read into `into`: 0 at the end, -1 when reading failed.
    long Read(char* into, std::size_t size) {
        while (true) {
            const ssize_t got = ::read(descriptor_, into, size);
            if (got >= 0 || errno != EINTR) return static_cast<long>(got);
        }
    }

private:
    const int descriptor_;
    bool regular_ = false;
    std::int64_t size_ = 0;
};

// The lines of an engineering-units file, LF ended, read in pieces.
class LineReader {
public:
    LineReader(InputFile& file, LoadProgress& progress)
        : file_(file), progress_(progress), piece_(kPiece) {}

    // The next line without its LF; false at the end, on Cancel or when reading failed. A
    // line longer than kMaxEngLineLength is skipped to its end and counted; a last line
    // without LF is given as it is.
    bool Next(std::string& line) {
        line.clear();
        bool overlong = false;
        while (true) {
            if (at_ == end_ && !Refill()) break;
            const char* start = piece_.data() + at_;
            const auto* lineEnd = static_cast<const char*>(std::memchr(start, '\n', end_ - at_));
            const std::size_t count =
                lineEnd != nullptr ? static_cast<std::size_t>(lineEnd - start) : end_ - at_;
            if (!overlong && line.size() + count > kMaxEngLineLength) {
                overlong = true;
                std::string().swap(line);
            }
            if (!overlong) line.append(start, count);
            at_ += count;
            if (lineEnd == nullptr) continue;
            ++at_;
            if (!overlong) return true;
            ++tooLong_;
            overlong = false;
        }
        if (progress_.cancel || failed_) return false;
        if (overlong) ++tooLong_;
        return !overlong && !line.empty();
    }
    bool Failed() const { return failed_; }
    std::int64_t TooLong() const { return tooLong_; }

private:
    bool Refill() {
        if (ended_ || failed_ || progress_.cancel) return false;
        const long got = file_.Read(piece_.data(), piece_.size());
        if (got <= 0) {
            (got == 0 ? ended_ : failed_) = true;
            return false;
        }
        progress_.bytesRead += got;
        at_ = 0;
        end_ = static_cast<std::size_t>(got);
        return true;
    }

    InputFile& file_;
    LoadProgress& progress_;
    std::vector<char> piece_;
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    std::int64_t tooLong_ = 0;
};

// The recorded lines through the chain, counting those too long to be lines.
class CountingFeeder final : public LineSink {
public:
    CountingFeeder(DataChain& chain, const ChainOptions& options) : feeder_(chain, options) {}
    void OnLine(const std::string& line) override {
        // The end of an overlong line ends an empty one: the same line, counted once.
        if (line.empty() && std::exchange(afterOverflow_, false)) return;
        afterOverflow_ = false;
        feeder_.OnLine(line);
    }
    void OnOverflow() override {
        ++overflows_;
        afterOverflow_ = true;
    }
    std::int64_t Overflows() const { return overflows_; }

private:
    RecordedLineFeeder feeder_;
    std::int64_t overflows_ = 0;
    bool afterOverflow_ = false;
};

// Each sample's plotted values into the recording's columns.
class ChannelCollector final : public SampleSink {
public:
    ChannelCollector(RecordingData& data, const DeviceCalibration& calibration,
                     std::vector<int> positions, int scatteringQuantity, MeterClockZone zone)
        : data_(data), calibration_(calibration), positions_(std::move(positions)), zone_(zone) {
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
        data_.Append(row_.data(), MeterSeconds(sample.meterClock, zone_));
    }

private:
    RecordingData& data_;
    const DeviceCalibration& calibration_;
    const std::vector<int> positions_;
    const MeterClockZone zone_;
    PlotChoices choices_;
    std::vector<float> row_;
};

// Each line's quality flags, per plotted channel the worst of its column's values (the
// counts and every engineering field of the column). A line's flags are decided by the next.
class QualityCollector final : public SampleSink {
public:
    QualityCollector(const DeviceCalibration& calibration, bool alternateMode,
                     const QualitySettings& settings, const std::vector<int>& positions)
        : quality_(calibration, alternateMode, settings), flags_(positions.size()) {
        for (const int position : positions) {
            Sources sources;
            const int column = position + 1;
            const std::vector<CountColumn>& counts = quality_.CountList();
            for (std::size_t c = 0; c < counts.size(); ++c)
                if (counts[c].deviceColumn == column) sources.counts.push_back(c);
            const std::vector<ExportColumn>& fields = quality_.EngineeringList();
            for (std::size_t e = 0; e < fields.size(); ++e)
                if (fields[e].deviceColumn == column) sources.fields.push_back(e);
            sources_.push_back(std::move(sources));
        }
    }
    void OnSample(const Sample& sample) override {
        if (quality_.Push(sample)) Take();
    }
    std::vector<std::vector<std::uint8_t>> Flags() {
        if (quality_.Finish()) Take();
        return std::move(flags_);
    }

private:
    struct Sources {
        std::vector<std::size_t> counts;
        std::vector<std::size_t> fields;
    };
    void Take() {
        for (std::size_t c = 0; c < sources_.size(); ++c) {
            QualityFlag worst = QualityFlag::NotEvaluated;
            for (const std::size_t i : sources_[c].counts)
                worst = Worse(worst, quality_.Counts(i).aggregate);
            for (const std::size_t e : sources_[c].fields)
                worst = Worse(worst, quality_.Engineering(e).aggregate);
            flags_[c].push_back(static_cast<std::uint8_t>(worst));
        }
    }

    RecordQuality quality_;
    std::vector<Sources> sources_;
    std::vector<std::vector<std::uint8_t>> flags_;
};

// Each line's pressure for the profile view, and its time for telling the casts: the same
// times an export with casts takes, so that cast N in the view is cast N in its export.
class CastCollector final : public SampleSink {
public:
    explicit CastCollector(MeterClockZone zone) : timeline_(zone) {}
    void OnSample(const Sample& sample) override {
        timeline_.OnSample(sample);
        pressure_.push_back(AsFloat(sample.engineering.pressure));
    }
    std::unique_ptr<const RecordingCasts> Casts(const CastThresholds& thresholds) {
        return std::make_unique<const RecordingCasts>(std::move(pressure_),
                                                      timeline_.Marks(thresholds));
    }

private:
    CastTimeline timeline_;
    std::vector<float> pressure_;
};

LoadedRecording LoadRaw(const std::string& path, const ViewerDevice& device,
                        LoadProgress& progress) {
    LoadedRecording result;
    InputFile in(path);
    result.error = in.Problem(path);
    if (!result.error.empty()) return result;
    progress.totalBytes = in.Size();
    DeviceCalibration calibration = device.calibration;
    std::vector<int> positions;
    auto data = std::make_unique<RecordingData>(
        RawChannels(calibration, device.scatteringQuantity, positions));
    DataChain chain(calibration);
    chain.DeviceFileLoaded();
    ChannelCollector collector(*data, calibration, positions, device.scatteringQuantity,
                               device.facts.meterClock);
    chain.AddSink(collector);
    std::optional<CastCollector> casts;
    if (HasPressureColumn(calibration)) chain.AddSink(casts.emplace(device.facts.meterClock));
    std::optional<QualityCollector> quality;
    if (device.facts.quality) {
        chain.AddSink(quality.emplace(calibration, device.options.alternateMode,
                                      *device.facts.quality, positions));
    }
    CountingFeeder feeder(chain, device.options);
    LineAssembler assembler;
    std::vector<char> piece(kPiece);
    bool reserved = false;
    long got = 0;
    while (!progress.cancel && (got = in.Read(piece.data(), piece.size())) > 0) {
        assembler.Feed(piece.data(), static_cast<std::size_t>(got), feeder);
        progress.bytesRead += got;
        // The lines of the first piece tell how many the whole file holds, so the columns
        // grow once instead of doubling all the way.
        if (!reserved && data->Lines() > 0) {
            reserved = true;
            const double perLine = static_cast<double>(got) / static_cast<double>(data->Lines());
            data->Reserve(static_cast<std::size_t>(std::min(
                static_cast<double>(progress.totalBytes) / perLine * 1.02 + 16.0, kMostReserved)));
        }
    }
    if (progress.cancel) {
        result.cancelled = true;
        return result;
    }
    if (got < 0) {
        result.error = "Reading failed\n" + path;
        return result;
    }
    result.refused.columnCount = chain.Counts().WrongColumnLineCount;
    result.refused.notDataLine = chain.Counts().NotDataLineCount;
    result.refused.tooLong = feeder.Overflows();
    result.refused.unfinished = assembler.Pending().empty() ? 0 : 1;
    if (data->Lines() == 0) {
        result.error = "No data line of this device file in\n" + path;
        return result;
    }
    data->Finish();
    if (casts) data->KeepCasts(casts->Casts(device.casts));
    if (quality) data->KeepFlags(quality->Flags());
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
    InputFile in(path);
    result.error = in.Problem(path);
    if (!result.error.empty()) return result;
    progress.totalBytes = in.Size();
    LineReader lines(in, progress);
    std::string line;
    const auto next = [&]() -> bool {
        if (!lines.Next(line)) return false;
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
        if (fields.size() != count + 3) {  // not a record of this heading
            ++result.refused.columnCount;
            continue;
        }
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
    if (lines.Failed()) {
        result.error = "Reading failed\n" + path;
        return result;
    }
    result.refused.tooLong = lines.TooLong();
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
        channel.pressure = type == column::kPres;
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

std::string RefusedText(const RefusedLines& refused) {
    const std::pair<std::int64_t, const char*> reasons[] = {
        {refused.columnCount, "column count"},
        {refused.notDataLine, "not a data line"},
        {refused.tooLong, "too long"},
        {refused.unfinished, "unfinished last line"}};
    std::int64_t total = 0;
    std::string parts;
    for (const auto& [count, reason] : reasons) {
        if (count == 0) continue;
        total += count;
        parts += (parts.empty() ? "" : ", ") + std::to_string(count) + " " + reason;
    }
    if (total == 0) return {};
    return std::to_string(total) + (total == 1 ? " line" : " lines") + " refused: " + parts;
}

LoadedRecording LoadRecording(const std::string& path, const std::optional<ViewerDevice>& device,
                              LoadProgress& progress) {
    try {
        if (IsEngineeringFile(path)) return LoadEng(path, progress);
        if (!device) {
            LoadedRecording result;
            result.error = "Load a Device File before opening a raw recording";
            return result;
        }
        return LoadRaw(path, *device, progress);
    } catch (const std::bad_alloc&) {
        LoadedRecording result;
        result.error = "Not enough memory to hold the whole recording\n" + path;
        return result;
    }
}

}  // namespace kivo
