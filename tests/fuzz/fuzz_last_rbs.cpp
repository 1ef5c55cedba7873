// Fuzz target: the last.rbs reader, on whatever a hand-edited settings file holds. What it
// reads must be written back and read again unchanged. Then a fresh session restores the
// file on its first one-second tick (next to a copy of fluoro.dev, the name the seeds use),
// and runs a data line and a reply under whatever it restored: values out of range are
// applied as they are, so the per-line chain must take them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "MemorySerialPort.h"
#include "core/host/Session.h"
#include "core/settings/LastRbs.h"

namespace kivo::fuzz {
namespace {

constexpr std::size_t kNameRoom = 199;
constexpr const char* kDeviceName = "fluoro.dev";

std::optional<LastRbs> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadLastRbs(in);
}

void CheckRoundTrip(const LastRbs& settings) {
    FUZZ_CHECK(settings.deviceFile.size() <= kNameRoom);
    FUZZ_CHECK(settings.deviceFile.find_first_of("\r\n") == std::string::npos);
    const std::optional<LastRbs> again = Read(FormatLastRbs(settings));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->values == settings.values);
    FUZZ_CHECK(again->deviceFile == settings.deviceFile);
}

// The folder a session restores from, with the device file the seeds name.
struct SettingsFolder {
    ScratchFolder folder;
    SettingsFolder() { std::filesystem::copy_file(DeviceFilePath(0), folder.File(kDeviceName)); }
};

void CheckRestore(const SettingsFolder& settingsFolder, const std::string& text,
                  const LastRbs* settings) {
    WriteWhole(settingsFolder.folder.File(kLastRbsName), text);
    MemorySerialPort port;
    CountingPrompts prompts;
    FixedClock clock;
    ComPortMap ports;
    for (int n = 1; n <= ComPortMap::kPorts; ++n)
        ports.Map(n, "/dev/kivo-fuzz-com" + std::to_string(n));
    port.openable = {"/dev/kivo-fuzz-com1", "/dev/kivo-fuzz-com3"};
    Session session(Seams{port, prompts, clock, ports, [](int) {}, settingsFolder.folder.Path()});
    session.Timer55msTimer();
    session.Timer1SecondTimer();

    const SharedState& state = session.State();
    // Only a file that names a device file that loads is applied at all; any readable file
    // of the folder loads (a title line is all a device file needs), fluoro.dev certainly.
    if (settings != nullptr && settings->deviceFile == kDeviceName) {
        FUZZ_CHECK(!state.DevicePath.empty());
    }
    if (settings == nullptr) FUZZ_CHECK(state.DevicePath.empty());
    if (!state.DevicePath.empty()) {
        const auto& v = settings->values;
        FUZZ_CHECK(state.DevicePath == settings->deviceFile);
        FUZZ_CHECK(state.powerUser == v[LastRbs::PowerUser]);
        FUZZ_CHECK(state.StatsMode == v[LastRbs::StatsMode]);
        FUZZ_CHECK(state.PlotType == v[LastRbs::PlotType]);
        FUZZ_CHECK(state.BBPlotChoice == v[LastRbs::BBPlotChoice]);
        FUZZ_CHECK(state.ITempPlot == v[LastRbs::ITempPlot]);
        FUZZ_CHECK(state.XTempPlot == v[LastRbs::XTempPlot]);
        FUZZ_CHECK(state.PresPlot == v[LastRbs::PresPlot]);
        FUZZ_CHECK(state.RefChannelCorrection == v[LastRbs::RefChannelCorrection]);
        FUZZ_CHECK(state.TempCorrection == v[LastRbs::TempCorrection]);
        FUZZ_CHECK(state.alternateCommands == (v[LastRbs::AlternateCommands] != 0));
    }
    const std::string lines =
        "11/20/03\t12:30:45\t4050\t1000\t240\t3000\n112003\t123046\t4060\t1001\t250\t3010\n"
        "VER KIVO FL 1.16\n";
    session.FeedBytes(lines.data(), lines.size());
    session.Timer55msTimer();
    session.Timer500msTimer();
    session.Timer1SecondTimer();
}

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::fuzz;
    static const auto settingsFolder = std::make_unique<SettingsFolder>();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<kivo::LastRbs> settings = Read(text);
    if (settings) CheckRoundTrip(*settings);
    // A name with a directory would send the restore outside the scratch folder.
    if (settings && settings->deviceFile.find('/') != std::string::npos) return 0;
    CheckRestore(*settingsFolder, text, settings ? &*settings : nullptr);
    return 0;
}
