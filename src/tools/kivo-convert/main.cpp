// kivo-convert: recorded raw files into an engineering-units file, through the same core
// as the window, so the bytes are the ones the window would have recorded.
#include <cstdio>
#include <fstream>
#include <vector>

#include "KivoVersion.h"
#include "core/files/RegularFile.h"
#include "core/host/HeadlessView.h"
#include "core/host/Session.h"
#include "core/settings/LastRbs.h"
#include "tools/common/ConsolePrompts.h"
#include "tools/common/NoSerialPort.h"
#include "tools/common/OutputFiles.h"
#include "tools/kivo-convert/ConvertOptions.h"

namespace {

// Exit statuses, as --help and the manual page give them.
constexpr int kDone = 0;
constexpr int kFileFailed = 1;
constexpr int kUsage = 2;
constexpr int kNoRecord = 3;

int Fail(const std::string& message, int status = kFileFailed) {
    std::fprintf(stderr, "kivo-convert: %s\n", message.c_str());
    return status;
}

// What the run came to, so that a file of nothing but a heading is never taken for a result.
void TellSummary(const kivo::Session& session) {
    const kivo::DataLineParser& lines = session.DataLines();
    std::fprintf(stderr,
                 "kivo-convert: %.0f %s written; lines refused: %lld overflow, %lld column "
                 "mismatch, %lld not a data line\n",
                 lines.DataLineCount, lines.DataLineCount == 1 ? "record" : "records",
                 session.OverflowCount(), static_cast<long long>(lines.WrongColumnLineCount),
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
    const std::string outputName =
        options.outputPath.empty() ? std::string("/dev/stdout") : options.outputPath;
    std::vector<std::string> inputs = options.rawFiles;
    inputs.push_back(options.devicePath);
    if (!options.settingsPath.empty()) inputs.push_back(options.settingsPath);
    for (const std::string& input : inputs) {
        if (kivo::SameFile(outputName, input)) {
            return Fail("the output '" + outputName + "' is the input '" + input +
                            "'; refusing to write over it",
                        kUsage);
        }
    }

    kivo::NoSerialPort port;
    kivo::HeadlessView view;
    kivo::ConsolePrompts prompts("kivo-convert");
    kivo::SystemClock clock;
    kivo::Session session(
        kivo::Seams{port, view, prompts, clock, kivo::ComPortMap{}, nullptr, "", false});
    kivo::SharedState& state = session.State();

    if (!options.settingsPath.empty()) {
        std::optional<kivo::LastRbs> settings;
        if (kivo::IsRegularFile(options.settingsPath)) {
            std::ifstream file(options.settingsPath);
            if (file) settings = kivo::ReadLastRbs(file);
        }
        if (!settings) return Fail("cannot read the settings in '" + options.settingsPath + "'");
        state.RefChannelCorrection = settings->values[kivo::LastRbs::RefChannelCorrection];
        state.TempCorrection = settings->values[kivo::LastRbs::TempCorrection];
        state.alternateCommands = settings->values[kivo::LastRbs::AlternateCommands] != 0;
    }
    if (options.alternate) state.alternateCommands = true;
    if (options.refCorrection) state.RefChannelCorrection = 1;
    if (options.tempCorrection) state.TempCorrection = 1;

    if (!kivo::IsRegularFile(options.devicePath)) {
        return Fail("cannot open the device file '" + options.devicePath + "'");
    }
    if (!session.LoadDeviceFile(options.devicePath)) {
        return Fail("the device file '" + options.devicePath + "' does not load");
    }
    // Every raw file must be readable before anything is written.
    for (const std::string& raw : options.rawFiles) {
        if (!std::ifstream(raw, std::ios::binary)) return Fail("cannot read '" + raw + "'");
    }
    kivo::StagedOutput output(options.outputPath);
    if (!output.Ready()) return Fail(output.Error());
    if (!session.StartEngrRecording(output.WritePath())) return kFileFailed;  // already told

    int status = kDone;
    std::vector<char> chunk(64 * 1024);
    for (const std::string& raw : options.rawFiles) {
        std::ifstream in(raw, std::ios::binary);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const std::streamsize got = in.gcount();
            if (got > 0) session.FeedBytes(chunk.data(), static_cast<std::size_t>(got));
        }
        if (in.bad()) {
            Fail("reading '" + raw + "' failed");
            status = kFileFailed;
            break;
        }
        if (!state.EngrRecording) {  // a write failed; already told
            status = kFileFailed;
            break;
        }
    }
    session.BTStopRecordClick();
    if (prompts.Saw("File Error")) status = kFileFailed;
    if (status == kDone && session.DataLines().DataLineCount == 0) status = kNoRecord;
    if (status == kDone && !output.Commit()) status = Fail(output.Error());
    if (status != kDone && !options.outputPath.empty()) {
        std::fprintf(stderr, "kivo-convert: nothing written to '%s'\n", options.outputPath.c_str());
    }
    TellSummary(session);
    return status;
}
