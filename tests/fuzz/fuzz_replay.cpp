// Fuzz target replay: an arbitrary file replayed as a raw file, one piece of a line per tick,
// through the same pump as the port's bytes. The reader reads line ends as text mode does
// (a CR right before an LF is dropped), so every byte but those CRs reaches the pump and
// every LF ends one memo line.
//
// Byte 0 chooses: bit 0 fluoro.dev loaded (else no device file), bit 1 alternate commands;
// the rest is the file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "PumpSession.h"

namespace kivo::fuzz {
namespace {

void Replay(PumpSession& pump, std::string_view file) {
    Session& session = pump.session();
    const std::string path = pump.folder().File("replay.raw");
    WriteWhole(path, file);
    const std::uint64_t memoBefore = pump.session().Shown().memo.total;
    const std::uint64_t bytesBefore = session.State().BytesRead;

    FUZZ_CHECK(session.OpenReplay(path));
    session.BTStartClick();
    FUZZ_CHECK(session.State().ReplayRunning);
    // One tick per piece of at most 98 characters, one more to meet the end.
    for (std::size_t tick = 0; tick < file.size() + 3 && session.State().ReplayRunning; ++tick) {
        session.Timer55msTimer();
    }
    FUZZ_CHECK(!session.State().ReplayRunning);
    FUZZ_CHECK(session.State().ReplayMode);  // paused at the end, not switched back

    FUZZ_CHECK(session.State().BytesRead - bytesBefore == file.size() - CountOf(file, "\r\n"));
    FUZZ_CHECK(pump.session().Shown().memo.total - memoBefore == CountOf(file, "\n"));
    session.RealTimeDataClick();
}

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::fuzz;
    // Kept for the whole process, as the window keeps its session.
    static const auto bare = std::make_unique<PumpSession>("");
    static const auto withDevice = std::make_unique<PumpSession>(DeviceFilePath(0));
    if (size < 1) return 0;
    PumpSession& pump = (data[0] & 1u) != 0 ? *withDevice : *bare;
    pump.SetAlternateCommands((data[0] & 2u) != 0);
    Replay(pump, Body(data, size, 1));
    return 0;
}
