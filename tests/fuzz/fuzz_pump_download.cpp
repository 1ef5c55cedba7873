// Fuzz target pump_download: a memory download started, then arbitrary bytes from the meter
// on the port. Every byte up to the read in which "etx" (any case) completes goes to the
// receive file unchanged; what follows is ordinary input for the line pump. Without the
// marker the download times out with everything in the file.
//
// Byte 0 chooses: bit 0 fluoro.dev loaded (else no device file), bit 1 Cancel pressed right
// after the start, bit 2 alternate commands. The sessions live from input to input, so the
// end-marker window carries over between downloads as it does in a run.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "PumpSession.h"

namespace kivo::fuzz {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// How many bytes of `bytes` the download takes, reading `perRead` bytes a tick and starting
// from the marker window `window`; nothing if the marker never completes.
std::optional<std::size_t> BytesUpToMarker(std::string_view window, std::string_view bytes,
                                           std::size_t perRead) {
    std::array<char, 3> last{LowerAscii(window[0]), LowerAscii(window[1]), LowerAscii(window[2])};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        last = {last[1], last[2], LowerAscii(bytes[i])};
        if (last[0] == 'e' && last[1] == 't' && last[2] == 'x') {
            return std::min(bytes.size(), (i / perRead + 1) * perRead);  // the whole read
        }
    }
    return std::nullopt;
}

void Download(PumpSession& pump, bool cancel, std::string_view body) {
    Session& session = pump.session();
    const std::string receivePath = pump.folder().File("receive.raw");
    const std::string window(session.Download().EndMarkerWindow());
    const std::uint64_t memoBefore = pump.session().Shown().memo.total;
    const std::uint64_t bytesBefore = session.State().BytesRead;

    pump.port().written.clear();
    // The last input's lines are long past: a meter that streams is stopped before "$get",
    // which the session's own tests cover; here the meter is quiet.
    pump.clock().Advance(60000);
    FUZZ_CHECK(session.StartDownload(receivePath));
    if (cancel) session.BitBtnCancelClick();
    pump.port().incoming.assign(body.data(), body.size());
    // At most one read a tick, then the 60-tick time-out when the marker never comes.
    const std::size_t tickLimit = body.size() / 100 + MemoryDownload::kIdleTicks + 10;
    for (std::size_t tick = 0; tick < tickLimit; ++tick) {
        if (!session.Download().Active() && pump.port().incoming.empty()) break;
        session.Timer55msTimer();
    }
    FUZZ_CHECK(!session.Download().Active());
    FUZZ_CHECK(pump.port().incoming.empty());

    const std::optional<std::size_t> marked =
        BytesUpToMarker(window, body, MemoryDownload::kMaxRead);
    const std::size_t taken = marked.value_or(body.size());
    const DownloadState expectedStatus = cancel   ? DownloadState::Cancelled
                                         : marked ? DownloadState::Complete
                                                  : DownloadState::Incomplete;
    if (session.Download().Status() != expectedStatus) {
        std::fprintf(stderr, "window before the start \"%s\", status %d, expected %d, taken %zu\n",
                     window.c_str(), static_cast<int>(session.Download().Status()),
                     static_cast<int>(expectedStatus), taken);
    }
    FUZZ_CHECK(session.Download().Status() == expectedStatus);
    FUZZ_CHECK(session.State().DownloadStatus == expectedStatus);
    FUZZ_CHECK(session.State().DownloadByteCount == static_cast<std::int64_t>(taken));
    FUZZ_CHECK(ReadWhole(receivePath) == body.substr(0, taken));

    // The rest went through the line pump: one memo line per LF, counted as read.
    const std::string_view rest = body.substr(taken);
    FUZZ_CHECK(pump.session().Shown().memo.total - memoBefore == CountOf(rest, "\n"));
    FUZZ_CHECK(session.State().BytesRead - bytesBefore == rest.size());
    FUZZ_CHECK(pump.port().written == (cancel ? "$get\r\n!!!!!" : "$get\r\n"));
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
    pump.SetAlternateCommands((data[0] & 4u) != 0);
    Download(pump, (data[0] & 2u) != 0, Body(data, size, 1));
    return 0;
}
