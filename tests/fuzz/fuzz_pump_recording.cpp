// Fuzz target pump_recording: arbitrary bytes from the meter through the whole receive pump
// with a device file loaded and both raw and engineering-units recording on. This is also
// kivo-convert's input path: a raw file fed through Session::FeedBytes with a device file
// loaded and the engineering-units file recording.
//
// Two header bytes choose the session (one per test device file, kept from input to input)
// and the operator's choices, including values out of range, which a hand-edited last.rbs
// restores as they are:
//   byte 0: bits 0-1 device file, bit 2 alternate commands, bit 3 reference correction,
//           bit 4 temperature correction, bit 5 power user, bits 6-7 PlotType (0, 1, 2, -1)
//   byte 1: bits 0-2 BBPlotChoice, bits 3-4 StatsMode (0, 1, 15, 60), bit 5 StatsMode 7
//           instead, bit 6 temperatures and pressure plotted, bit 7 through the port and
//           the 55 ms tick instead of FeedBytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "PumpSession.h"

namespace kivo::fuzz {
namespace {

// Record files are started again once they grow past these sizes [bytes].
constexpr std::int64_t kRawFileLimit = 1 << 20;
constexpr std::int64_t kEngrFileLimit = 4 << 20;

bool DataLineCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '/' || c == ':' || c == '\t';
}

// Splits CR LF-ended records; false when the text is not whole records.
template <typename EachRecord>
bool ForEachRecord(std::string_view text, EachRecord each) {
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) return false;
        const std::string_view record = text.substr(0, end);
        if (record.find_first_of("\r\n") != std::string_view::npos) return false;
        each(record);
        text.remove_prefix(end + 2);
    }
    return true;
}

class Recorder {
public:
    explicit Recorder(std::size_t device)
        : pump_(DeviceFilePath(device)),
          rawPath_(pump_.folder().File("record.raw")),
          engrPath_(pump_.folder().File("record.eng")) {
        StartFiles();
    }

    void Take(const std::uint8_t header[2], std::string_view body) {
        ApplyChoices(header[0], header[1]);
        Session& session = pump_.session();
        const std::uint64_t memoBefore = pump_.session().Shown().memo.total;
        const std::uint64_t bytesBefore = session.State().BytesRead;
        pump_.port().written.clear();  // the automatic "$mnu" requests, unread

        // A line end first, so the line left open by the previous input ends here.
        std::string bytes = "\n";
        bytes.append(body);
        if ((header[1] & 0x80u) != 0) {
            pump_.port().incoming = bytes;
            // 1000 bytes a tick; a few more ticks than needed can only find it empty.
            for (std::size_t tick = 0; tick <= bytes.size() / 100 + 2; ++tick) {
                session.Timer55msTimer();
            }
            FUZZ_CHECK(pump_.port().incoming.empty());
        } else {
            session.FeedBytes(bytes.data(), bytes.size());
            session.Timer55msTimer();  // flushes the record files
        }
        session.Timer500msTimer();
        if (++inputs_ % 64 == 0) session.Timer1SecondTimer();

        // Every LF gives one memo line, every byte counts as read.
        FUZZ_CHECK(pump_.session().Shown().memo.total - memoBefore == CountOf(bytes, "\n"));
        FUZZ_CHECK(session.State().BytesRead - bytesBefore == bytes.size());
        CheckFiles();
        if (session.Status().rawBytes > kRawFileLimit ||
            session.Status().engBytes > kEngrFileLimit) {
            StartFiles();
        }
    }

private:
    void ApplyChoices(std::uint8_t first, std::uint8_t second) {
        static constexpr std::array<int, 4> kPlotTypes{0, 1, 2, -1};
        static constexpr std::array<int, 8> kBBChoices{0, 1, 2, 3, 4, -1, 7, 1000};
        static constexpr std::array<int, 4> kStatsModes{0, 1, 15, 60};
        pump_.SetAlternateCommands((first & 0x04u) != 0);
        SharedState& state = pump_.session().State();
        state.RefChannelCorrection = (first >> 3) & 1;
        state.TempCorrection = (first >> 4) & 1;
        state.powerUser = (first >> 5) & 1;
        const int plotType = kPlotTypes[(first >> 6) & 3u];
        if (state.PlotType != plotType) {
            pump_.session().Plot().ChoosePlotType(plotType);
        }
        state.BBPlotChoice = kBBChoices[second & 7u];
        state.StatsMode = (second & 0x20u) != 0 ? 7 : kStatsModes[(second >> 3) & 3u];
        const int plotted = (second >> 6) & 1;
        state.ITempPlot = state.XTempPlot = state.PresPlot = plotted;
    }

    void StartFiles() {
        Session& session = pump_.session();
        FUZZ_CHECK(session.Recording().StartRawRecording(rawPath_));
        FUZZ_CHECK(session.Recording().StartEngrRecording(engrPath_));
        rawChecked_ = 0;
        engrChecked_ = 0;
        engrFields_ = -1;
    }

    // The files hold what the counters say, and only whole records: in the raw file accepted
    // data lines of the device file's column count, in the engineering-units file records
    // of the heading's field count.
    void CheckFiles() {
        const SessionStatus status = pump_.session().Status();
        FUZZ_CHECK(status.rawRecording && status.engRecording);
        FUZZ_CHECK(FileSize(rawPath_) == status.rawBytes);
        FUZZ_CHECK(FileSize(engrPath_) == status.engBytes);

        const auto columns =
            static_cast<std::size_t>(pump_.session().Calibration().declaredColumns);
        FUZZ_CHECK(ForEachRecord(ReadFrom(rawPath_, rawChecked_), [columns](std::string_view line) {
            for (const char c : line) FUZZ_CHECK(DataLineCharacter(c));
            FUZZ_CHECK(CountOf(line, "\t") + 1 == columns);
        }));
        rawChecked_ = status.rawBytes;

        FUZZ_CHECK(ForEachRecord(ReadFrom(engrPath_, engrChecked_), [this](std::string_view line) {
            const int fields = static_cast<int>(CountOf(line, "\t")) + 1;
            if (engrFields_ < 0) engrFields_ = fields;  // the heading
            FUZZ_CHECK(fields == engrFields_);
        }));
        engrChecked_ = status.engBytes;
    }

    PumpSession pump_;
    std::string rawPath_;
    std::string engrPath_;
    std::int64_t rawChecked_ = 0;
    std::int64_t engrChecked_ = 0;
    int engrFields_ = -1;
    std::uint64_t inputs_ = 0;
};

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::fuzz;
    // One session per device file for the whole process, as a long run keeps its own.
    static std::array<std::unique_ptr<Recorder>, kDeviceFileCount> recorders;
    if (size < 2) return 0;
    std::unique_ptr<Recorder>& recorder = recorders[data[0] % kDeviceFileCount];
    if (!recorder) recorder = std::make_unique<Recorder>(data[0] % kDeviceFileCount);
    recorder->Take(data, Body(data, size, 2));
    return 0;
}
