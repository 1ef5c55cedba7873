#include "core/export/RawExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/chain/LineAssembler.h"
#include "core/export/CsvExporter.h"
#include "core/export/ExportAttributes.h"
#include "core/export/NetcdfExporter.h"
#include "core/export/ProfileExport.h"
#include "core/recording/PipelinedRecorder.h"
#include "core/recording/RecordedLineFeeder.h"

namespace kivo {
namespace {

// The engineering-units file as an export: the bytes the window records.
class EngrExporter final : public Exporter {
public:
    explicit EngrExporter(Reporter report) : Exporter(report), report_(std::move(report)) {}
    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& /*deviceName*/, const ExportOptions& /*options*/) override {
        recorder_.emplace(calibration, report_);
        return recorder_->Start(path) && recorder_->Active();
    }
    void OnSample(const Sample& sample) override { recorder_->OnSample(sample); }
    bool Flush() override { return Active(); }
    bool Sync() override { return Active(); }
    bool Finish() override { return recorder_->Stop(); }
    bool Active() const override { return recorder_ && recorder_->Active(); }

private:
    const Reporter report_;
    // Formatting is half the work: the records are formatted and written on a second core.
    mutable std::optional<PipelinedEngrRecorder> recorder_;
};

// Bin-averaged profiles as an export: the samples go into the bins, and the file is written
// whole at the end.
class ProfileExporter final : public Exporter {
public:
    ProfileExporter(ExportFormat format, ProfileFile file, CastBinning binning, Reporter report)
        : Exporter(report),
          format_(format),
          file_(std::move(file)),
          binning_(std::move(binning)),
          report_(std::move(report)) {}
    bool Start(const std::string& path, const DeviceCalibration& calibration,
               const std::string& deviceName, const ExportOptions& options) override {
        path_ = path;
        calibration_ = calibration;
        file_.deviceName = deviceName;
        file_.options = options;
        if (options.quality)
            binning_.UseQuality(calibration, options.alternateMode, *options.quality);
        active_ = true;
        return true;
    }
    void OnSample(const Sample& sample) override { binning_.OnSample(sample); }
    bool Flush() override { return active_; }
    bool Sync() override { return active_; }
    bool Finish() override {
        if (!active_) return false;
        active_ = false;
        file_.profiles = binning_.Profiles();
        return format_ == ExportFormat::Netcdf
                   ? WriteProfileNetcdf(path_, calibration_, file_, report_)
                   : WriteProfileCsv(path_, calibration_, file_, report_);
    }
    bool Active() const override { return active_; }

private:
    const ExportFormat format_;
    ProfileFile file_;
    CastBinning binning_;
    const Reporter report_;
    std::string path_;
    DeviceCalibration calibration_;
    bool active_ = false;
};

std::unique_ptr<Exporter> MakeExporter(ExportFormat format, Exporter::Reporter report) {
    switch (format) {
        case ExportFormat::Eng:
            return std::make_unique<EngrExporter>(std::move(report));
        case ExportFormat::Csv:
            return std::make_unique<CsvExporter>(std::move(report));
        case ExportFormat::Netcdf:
            break;
    }
    return std::make_unique<NetcdfExporter>(std::move(report));
}

// Hands on the samples of the wanted lines only.
class RangeFilter final : public SampleSink {
public:
    RangeFilter(SampleSink& sink, std::size_t first, std::size_t last)
        : sink_(sink), first_(first), last_(last) {}
    // Of the range, only the lines whose place in it is true; the rest of it is left out.
    void KeepOnly(std::vector<bool> kept) { kept_ = std::move(kept); }
    void OnSample(const Sample& sample) override {
        const auto line = static_cast<std::size_t>(sample.index) - 1;
        if (line >= first_ && line < last_ && Kept(line - first_)) {
            sink_.OnSample(sample);
            ++passed_;
        }
        done_ = line + 1 >= last_;
    }
    bool Done() const { return done_; }
    std::size_t Passed() const { return passed_; }

private:
    bool Kept(std::size_t at) const { return !kept_ || (at < kept_->size() && (*kept_)[at]); }

    SampleSink& sink_;
    const std::size_t first_;
    const std::size_t last_;
    std::optional<std::vector<bool>> kept_;
    std::size_t passed_ = 0;
    bool done_ = false;
};

// With a cast asked for, which records of the range belong to it; its marks and times alone
// are left for the export.
std::vector<bool> KeepCast(int cast, std::vector<CastMark>& marks, std::vector<double>& seconds) {
    std::vector<bool> kept(marks.size());
    std::size_t to = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        kept[i] = marks[i].cast == cast;
        if (!kept[i]) continue;
        marks[to] = marks[i];
        if (i < seconds.size()) seconds[to] = seconds[i];
        ++to;
    }
    marks.resize(to);
    seconds.resize(std::min(seconds.size(), to));
    return kept;
}

// A raw file open for reading with read() itself: a stream would go on waiting after a stop
// signal (EINTR).
class RawInput {
public:
    explicit RawInput(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    RawInput(const RawInput&) = delete;
    RawInput& operator=(const RawInput&) = delete;
    ~RawInput() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Open() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

private:
    const int fd_;
};

std::int64_t RegularFileBytes(const std::vector<std::string>& paths) {
    std::int64_t total = 0;
    for (const std::string& path : paths) {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            total += static_cast<std::int64_t>(status.st_size);
    }
    return total;
}

// The first pass of a profile export: every record's time and pressure, through a chain of
// its own, without telling anything (the second pass tells what there is to tell). False
// when a file could not be read or the run was cancelled; the second pass says which.
bool FindRecordCasts(const RawExportJob& job, const std::function<bool()>& cancelled,
                     std::vector<CastMark>& marks, std::vector<double>& seconds) {
    CastTimeline timeline(job.facts.meterClock);
    DataChain chain(job.calibration);
    chain.DeviceFileLoaded();
    RangeFilter filter(timeline, job.firstLine, job.lastLine);
    RecordedLineFeeder feeder(chain, job.options, nullptr);
    LineAssembler assembler;
    chain.AddSink(filter);
    std::vector<char> chunk(64 * 1024);
    for (const std::string& path : job.rawPaths) {
        const RawInput input(path);
        if (!input.Open()) return false;
        while (!filter.Done()) {
            if (cancelled()) return false;
            const ssize_t got = ::read(input.Descriptor(), chunk.data(), chunk.size());
            if (got == 0) break;
            if (got > 0)
                assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
            else if (errno != EINTR)
                return false;
        }
        if (filter.Done()) break;
    }
    marks = timeline.Marks(*job.casts);
    seconds = timeline.Seconds();
    return true;
}

}  // namespace

RawExportResult ExportRawFiles(const RawExportJob& job, OutputFile& output, RawExportWatch watch) {
    using End = RawExportResult::End;
    RawExportResult result;
    const auto cancelled = [&watch] { return watch.cancelled && watch.cancelled(); };
    const auto ended = [&result](End end, std::string why = {}) {
        result.end = end;
        if (!why.empty()) result.failure = std::move(why);
        return result;
    };
    if (job.rawPaths.empty()) return ended(End::NoRecord);
    auto input = std::make_unique<RawInput>(job.rawPaths.front());
    if (!input->Open()) {
        result.rawPath = job.rawPaths.front();
        return ended(cancelled() ? End::Cancelled : End::CannotOpen);
    }
    if (watch.sized) watch.sized(RegularFileBytes(job.rawPaths));
    if (!output.Ok()) return ended(End::Refused, output.Error());
    ExportOptions facts = job.facts;
    facts.alternateMode = job.options.alternateMode;
    facts.refCorrection = job.options.refCorrection;
    facts.tempCorrection = job.options.tempCorrection;
    if (!job.attributeFile.empty()) {
        if (const std::optional<std::string> why =
                ReadAttributeFile(job.attributeFile, facts.attributes, true))
            return ended(End::Refused, *why);
    }

    bool told = false;
    const auto report = [&](const std::string& message) {
        if (!told) result.failure = message;
        told = true;
        if (watch.prompts != nullptr) watch.prompts->ShowWarning("File Error", message);
    };
    std::unique_ptr<Exporter> exporter;
    std::optional<std::vector<bool>> kept;
    if (job.casts && job.format != ExportFormat::Eng) {
        if (!HasPressureColumn(job.calibration))
            return ended(End::Refused,
                         "The device file has no pressure column (PRES=): no cast "
                         "can be told from it");
        std::vector<CastMark> marks;
        std::vector<double> seconds;
        // A file that cannot be read is found again by the second pass, and told there.
        FindRecordCasts(job, cancelled, marks, seconds);
        if (job.onlyCast > 0) kept = KeepCast(job.onlyCast, marks, seconds);
        facts.castDetection = CastProcessingText(*job.casts);
        if (job.binSize > 0) {
            ProfileFile file;
            file.binSize = job.binSize;
            file.thresholds = *job.casts;
            exporter = std::make_unique<ProfileExporter>(
                job.format, std::move(file),
                CastBinning(job.calibration, std::move(marks), std::move(seconds), job.binSize),
                report);
        } else {
            facts.casts = std::make_shared<const std::vector<CastMark>>(std::move(marks));
        }
    }
    if (!exporter) exporter = MakeExporter(job.format, report);
    const DeviceCalibration calibration = job.calibration;
    DataChain chain(calibration);
    chain.DeviceFileLoaded();
    RangeFilter filter(*exporter, job.firstLine, job.lastLine);
    if (kept) filter.KeepOnly(std::move(*kept));
    RecordedLineFeeder feeder(chain, job.options, watch.prompts);
    LineAssembler assembler;
    if (!exporter->Start(output.WritePath(), calibration, job.deviceName, facts))
        return ended(End::NotStarted);
    chain.AddSink(filter);

    std::optional<End> end;
    std::vector<char> chunk(64 * 1024);
    for (std::size_t file = 0; !end && file < job.rawPaths.size(); ++file) {
        const std::string& path = job.rawPaths[file];
        if (file > 0) input = std::make_unique<RawInput>(path);
        bool failed = !input->Open();
        while (!failed && !cancelled() && !filter.Done() && exporter->Active()) {
            const ssize_t got = ::read(input->Descriptor(), chunk.data(), chunk.size());
            if (got == 0) break;
            if (got > 0) {
                assembler.Feed(chunk.data(), static_cast<std::size_t>(got), feeder);
                if (watch.read) watch.read(got);
            } else if (errno != EINTR) {
                failed = true;
            }
        }
        if (cancelled()) {
            end = End::Cancelled;
        } else if (failed) {
            end = End::ReadFailed;
            result.rawPath = path;
        } else if (!exporter->Active()) {
            end = End::WriteFailed;
        } else if (filter.Done()) {
            break;
        }
    }
    if (exporter->Active() && !exporter->Finish() && !end) end = End::WriteFailed;
    result.records = filter.Passed();
    result.lines = chain.Counts();
    result.overflows = feeder.Overflows();
    if (told && !end) end = End::WriteFailed;
    if (end) return ended(*end);
    if (result.records == 0) return ended(End::NoRecord);
    if (!output.Commit()) return ended(End::Refused, output.Error());
    return ended(End::Written);
}

std::string RawExportFailureText(const RawExportResult& result, const std::string& outputPath) {
    using End = RawExportResult::End;
    switch (result.end) {
        case End::CannotOpen:
            return "Cannot read\n" + result.rawPath;
        case End::ReadFailed:
            return "Reading failed\n" + result.rawPath;
        case End::Refused:
            return result.failure;
        case End::NotStarted:
        case End::WriteFailed:
            return result.failure.empty() ? "Cannot write\n" + outputPath : result.failure;
        case End::Written:
        case End::Cancelled:
        case End::NoRecord:
            break;
    }
    return {};
}

}  // namespace kivo
