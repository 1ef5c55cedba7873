// kivo-convert: recorded raw files into an engineering-units file, through the window's own
// data chain with only the engineering-units recorder attached, so the bytes are the ones
// the window would have recorded; or, on request, into a CSV or NetCDF file of the same
// values at full precision, through an exporter as the chain's only sink.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KivoVersion.h"
#include "core/data/DeviceFile.h"
#include "core/export/ExportAttributes.h"
#include "core/export/ProfileExport.h"
#include "core/export/RawExport.h"
#include "core/export/TrackFile.h"
#include "core/files/OutputFile.h"
#include "core/files/RegularFile.h"
#include "core/position/Track.h"
#include "core/quality/QualitySettings.h"
#include "core/settings/LastRbs.h"
#include "gps/NmeaLog.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ConsolePrompts.h"
#include "tools/kivo-convert/ConvertOptions.h"

namespace {

// Exit statuses, as --help and the manual page give them.
constexpr int kDone = 0;
constexpr int kFileFailed = 1;
constexpr int kUsage = 2;
constexpr int kNoRecord = 3;

// The stop signal that came during the run, 0 while none has. A handler may do no more than
// set it; the loop looks at it between reads and removes the staged file on its way out.
volatile std::sig_atomic_t stopSignal = 0;

void NoteStop(int signal) { stopSignal = signal; }

// Without SA_RESTART, so a read waiting on a pipe ends at once too.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int Fail(const std::string& message, int status = kFileFailed) {
    std::fprintf(stderr, "kivo-convert: %s\n", message.c_str());
    return status;
}

// What became of the records: all written, none (a staged file not put in place), or an
// unknown part of them (a pipe or device that failed on the way).
enum class Written { All, None, Part };

// What the run came to, so that a file of nothing but a heading is never taken for a result,
// nor a failed run for a complete one.
void TellSummary(const kivo::LineCounts& lines, long long overflows, Written written) {
    const double records = lines.DataLineCount;
    const char* const noun = records == 1 ? "record" : "records";
    char count[96];
    if (written == Written::All || records == 0) {
        std::snprintf(count, sizeof count, "%.0f %s written", records, noun);
    } else if (written == Written::None) {
        std::snprintf(count, sizeof count, "0 records written (%.0f converted)", records);
    } else {
        std::snprintf(count, sizeof count, "fewer than %.0f %s written (the output failed)",
                      records, noun);
    }
    std::fprintf(stderr,
                 "kivo-convert: %s; lines refused: %lld overflow, %lld column "
                 "mismatch, %lld not a data line\n",
                 count, overflows, static_cast<long long>(lines.WrongColumnLineCount),
                 static_cast<long long>(lines.NotDataLineCount));
}

}  // namespace

int main(int argc, char** argv) {
    using kivo::ParsedConvertLine;
    const ParsedConvertLine parsed =
        kivo::ParseConvertOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case ParsedConvertLine::Kind::Help:
            std::fputs(kivo::ConvertUsage().c_str(), stdout);
            return kDone;
        case ParsedConvertLine::Kind::Version:
            std::puts("kivo-convert " KIVO_VERSION);
            return kDone;
        case ParsedConvertLine::Kind::Error:
            std::fprintf(stderr, "kivo-convert: %s (see --help)\n", parsed.error.c_str());
            return kUsage;
        case ParsedConvertLine::Kind::Run:
            break;
    }
    const kivo::ConvertOptions& options = parsed.options;

    // The output never replaces what the run reads: `-o cast.raw cast.raw` would leave a
    // heading where the recording was. Standard output appended to the device file counts too.
    const std::string outputName = options.outputPath.empty()
                                       ? std::string(kivo::OutputFile::kStandardOutput)
                                       : options.outputPath;
    kivo::FileRegistry reading;
    std::vector<kivo::FileRegistry::Registration> inputs;
    for (const std::string& raw : options.rawFiles)
        inputs.push_back(reading.Register(raw, kivo::roles::kConvertInput));
    inputs.push_back(reading.Register(options.devicePath, kivo::roles::kDeviceFile));
    inputs.push_back(reading.Register(options.settingsPath, kivo::roles::kConvertSettings));
    for (const std::string& file : options.attributeFiles)
        inputs.push_back(reading.Register(file, kivo::roles::kConvertInput));
    for (const std::string& file : options.trackFiles)
        inputs.push_back(reading.Register(file, kivo::roles::kConvertInput));
    inputs.push_back(reading.Register(options.qcPath, kivo::roles::kConvertInput));
    CatchStopSignals();
    // Opened (a staged file beside it) but nothing written yet; a refusal leaves it untouched.
    kivo::OutputFile output = kivo::OutputFile::Open(
        &reading, outputName, kivo::roles::kConvertOutput, kivo::OutputMode::Staged);
    if (output.Refused()) {
        return Fail(
            "the output '" + outputName + "' is " + output.Holder() + "; refusing to write over it",
            kUsage);
    }

    kivo::ConsolePrompts prompts("kivo-convert");
    kivo::ChainOptions chainOptions;
    if (!options.settingsPath.empty()) {
        std::optional<kivo::LastRbs> settings;
        if (kivo::IsRegularFile(options.settingsPath)) {
            std::ifstream file(options.settingsPath);
            if (file) settings = kivo::ReadLastRbs(file);
        }
        if (!settings) return Fail("cannot read the settings in '" + options.settingsPath + "'");
        chainOptions.refCorrection = settings->values[kivo::LastRbs::RefChannelCorrection] != 0;
        chainOptions.tempCorrection = settings->values[kivo::LastRbs::TempCorrection] != 0;
        chainOptions.alternateMode = settings->values[kivo::LastRbs::AlternateCommands] != 0;
    }
    if (options.alternate) chainOptions.alternateMode = true;
    if (options.refCorrection) chainOptions.refCorrection = true;
    if (options.tempCorrection) chainOptions.tempCorrection = true;

    if (!kivo::IsRegularFile(options.devicePath)) {
        return Fail("cannot open the device file '" + options.devicePath + "'");
    }
    kivo::RawExportJob job;
    job.rawPaths = options.rawFiles;
    job.format = options.format;
    job.options = chainOptions;
    job.casts = options.casts;
    job.binSize = options.binSize;
    {
        std::ifstream file(options.devicePath);
        if (!file || !kivo::ReadDeviceFile(file, job.calibration, job.deviceName, prompts)) {
            prompts.ShowWarning("Device File Error",
                                "Missing or Invalid device file '" + options.devicePath + "'");
            return Fail("the device file '" + options.devicePath + "' does not load");
        }
    }
    if (options.casts && !kivo::HasPressureColumn(job.calibration)) {
        return Fail("the device file '" + options.devicePath +
                        "' has no pressure column (PRES=): --casts cannot tell casts from it",
                    kUsage);
    }
    // The files' attributes first, then those of the command line, which win.
    kivo::Attributes& attributes = job.facts.attributes;
    for (const std::string& file : options.attributeFiles) {
        if (!kivo::IsRegularFile(file) || !std::ifstream(file))
            return Fail("cannot read the attributes in '" + file + "'");
        if (const auto why = kivo::ReadAttributeFile(file, attributes, false))
            return Fail(*why, kUsage);
    }
    for (const auto& [name, value] : options.attributes)
        kivo::AddAttribute(attributes, name, value);
    // The tracks are read whole before anything is written: a bad row stops the run.
    if (!options.trackFiles.empty()) {
        std::vector<kivo::PositionFix> fixes;
        std::string names;
        for (const std::string& file : options.trackFiles) {
            if (!kivo::IsRegularFile(file)) return Fail("cannot read the track '" + file + "'");
            std::string error;
            std::optional<std::vector<kivo::PositionFix>> read;
            if (kivo::LooksLikeNmea(file)) {
                read = kivo::ReadNmeaLog(file, error);
            } else {
                std::ifstream in(file, std::ios::binary);
                read = kivo::ReadTrackCsv(in, error);
            }
            if (!read) return Fail("the track '" + file + "': " + error, kUsage);
            fixes.insert(fixes.end(), read->begin(), read->end());
            names += (names.empty() ? "" : ", ") + std::filesystem::path(file).filename().string();
        }
        const auto track = std::make_shared<const kivo::Track>(std::move(fixes));
        const double gap = options.trackGapSeconds;
        kivo::PositionColumns& position = job.facts.position;
        position.kind = kivo::PositionKind::Track;
        position.at = [track, gap](double time) { return track->At(time, gap); };
        char gapText[64];
        std::snprintf(gapText, sizeof gapText, "%g", gap);
        position.source = "the track " + names + " (" + std::to_string(track->Size()) +
                          " fixes; none for a record more than " + gapText + " s from the nearest)";
    }
    // The QC file is read whole before anything is written: a bad line stops the run.
    if (options.qcOff) {
        job.facts.quality.reset();
    } else if (!options.qcPath.empty()) {
        if (!kivo::IsRegularFile(options.qcPath))
            return Fail("cannot read the QC file '" + options.qcPath + "'");
        std::string error;
        job.facts.quality = kivo::QualitySettings::Load(options.qcPath, error);
        if (!job.facts.quality) return Fail(error, kUsage);
    }
    job.facts.qualityDetail = options.qcDetail;
    // Every raw file must be readable before anything is written.
    for (const std::string& raw : options.rawFiles) {
        if (!std::ifstream(raw, std::ios::binary)) return Fail("cannot read '" + raw + "'");
    }
    if (!output.Ok()) return Fail(output.Error());
    if (options.format != kivo::ExportFormat::Eng) {
        job.facts.software = "kivo-convert " KIVO_VERSION;
        job.facts.commandLine = kivo::CommandLineText(argc, argv);
        job.facts.meterClock = options.meterClock;
        job.facts.deviceFile = kivo::DescribeDeviceFile(options.devicePath);
    }
    kivo::RawExportWatch watch;
    watch.cancelled = [] { return stopSignal != 0; };
    watch.prompts = &prompts;
    const kivo::RawExportResult result = kivo::ExportRawFiles(job, output, std::move(watch));

    using End = kivo::RawExportResult::End;
    int status = kDone;
    switch (result.end) {
        case End::Written:
        case End::Cancelled:
            break;
        case End::NotStarted:
            return kFileFailed;  // told
        case End::NoRecord:
            status = kNoRecord;
            break;
        case End::CannotOpen:
        case End::ReadFailed:
            status = Fail("reading '" + result.rawPath + "' failed");
            break;
        case End::Refused:
            status = Fail(result.failure);
            break;
        case End::WriteFailed:
            status = kFileFailed;  // told
            break;
    }
    if (stopSignal != 0) {
        // The usual status of a program a signal ended.
        Fail("stopped by signal " + std::to_string(stopSignal));
        status = 128 + stopSignal;
    }
    const bool staged = output.WritePath() != output.Path();
    if (status != kDone && staged) {
        std::fprintf(stderr, "kivo-convert: nothing written to '%s'\n", options.outputPath.c_str());
    }
    const Written written = status == kDone ? Written::All : staged ? Written::None : Written::Part;
    TellSummary(result.lines, result.overflows, written);
    return status;  // a staged file not put in place is removed as `output` goes
}
