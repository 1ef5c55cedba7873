// kivo-convert: recorded raw files into an engineering-units file, through the same core
// as the window, so the bytes are the ones the window would have recorded.
#include <cstdio>
#include <fstream>
#include <vector>

#include "core/host/HeadlessView.h"
#include "core/host/Session.h"
#include "core/settings/LastRbs.h"
#include "tools/common/ConsolePrompts.h"
#include "tools/common/NoSerialPort.h"
#include "tools/kivo-convert/ConvertOptions.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "kivo-convert: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using kivo::ParsedConvertLine;
    const ParsedConvertLine parsed =
        kivo::ParseConvertOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case ParsedConvertLine::Kind::Help:
            std::fputs(kivo::ConvertUsage().c_str(), stdout);
            return 0;
        case ParsedConvertLine::Kind::Version:
            std::puts("kivo-convert 1.16");
            return 0;
        case ParsedConvertLine::Kind::Error:
            std::fprintf(stderr, "kivo-convert: %s (see --help)\n", parsed.error.c_str());
            return 2;
        case ParsedConvertLine::Kind::Run:
            break;
    }
    const kivo::ConvertOptions& options = parsed.options;

    kivo::NoSerialPort port;
    kivo::HeadlessView view;
    kivo::ConsolePrompts prompts("kivo-convert");
    kivo::SystemClock clock;
    kivo::Session session(kivo::Seams{port, view, prompts, clock, kivo::ComPortMap{}, nullptr, "",
                                      false});
    kivo::SharedState& state = session.State();

    if (!options.settingsPath.empty()) {
        std::ifstream file(options.settingsPath);
        const std::optional<kivo::LastRbs> settings = file ? kivo::ReadLastRbs(file) : std::nullopt;
        if (!settings) return Fail("cannot read the settings in '" + options.settingsPath + "'");
        state.RefChannelCorrection = settings->values[kivo::LastRbs::RefChannelCorrection];
        state.TempCorrection = settings->values[kivo::LastRbs::TempCorrection];
        state.alternateCommands = settings->values[kivo::LastRbs::AlternateCommands] != 0;
    }
    if (options.alternate) state.alternateCommands = true;
    if (options.refCorrection) state.RefChannelCorrection = 1;
    if (options.tempCorrection) state.TempCorrection = 1;

    if (!std::ifstream(options.devicePath)) {
        return Fail("cannot open the device file '" + options.devicePath + "'");
    }
    if (!session.LoadDeviceFile(options.devicePath)) {
        return Fail("the device file '" + options.devicePath + "' does not load");
    }
    // Every raw file must be readable before anything is written.
    for (const std::string& raw : options.rawFiles) {
        if (!std::ifstream(raw, std::ios::binary)) return Fail("cannot read '" + raw + "'");
    }
    const std::string output = options.outputPath.empty() ? "/dev/stdout" : options.outputPath;
    if (!session.StartEngrRecording(output)) return 1;  // the reason is already told

    std::vector<char> chunk(64 * 1024);
    for (const std::string& raw : options.rawFiles) {
        std::ifstream in(raw, std::ios::binary);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const std::streamsize got = in.gcount();
            if (got > 0) session.FeedBytes(chunk.data(), static_cast<std::size_t>(got));
        }
        if (in.bad()) return Fail("reading '" + raw + "' failed");
        if (!state.EngrRecording) return 1;  // a write failed; already told
    }
    session.BTStopRecordClick();
    return prompts.Saw("File Error") ? 1 : 0;
}
