// Fuzz target: the device file loader on whatever a hand-edited *.dev file can hold; and,
// when the file loads, the per-line chain (conversion, readout, chart, engineering-units
// record) run on the calibration it gave, with both corrections on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "PumpSession.h"
#include "core/data/DeviceFile.h"

namespace kivo::fuzz {
namespace {

constexpr const char* kNameBefore = "(the name before the load)";
constexpr std::size_t kPieceLength = 98;  // the loader's fgets-sized pieces

// The loader alone: what a load leaves behind, loaded or not.
bool CheckLoad(const std::string& bytes) {
    std::istringstream in(bytes);
    DeviceCalibration cal;
    std::string name = kNameBefore;
    CountingPrompts prompts;
    const bool loaded = ReadDeviceFile(in, cal, name, prompts);
    // A column defined twice warns once; the load may still fail with a warning of its own.
    FUZZ_CHECK(prompts.warnings <= 2);
    if (!loaded) {
        FUZZ_CHECK(cal.definitionCount == 0);  // nothing of a failed file is processed
        FUZZ_CHECK(name == kNameBefore);
        return false;
    }
    FUZZ_CHECK(prompts.warnings <= 1);
    for (std::size_t type = 0; type < cal.scale.size(); ++type) {
        FUZZ_CHECK(std::isfinite(cal.scale[type]) && std::isfinite(cal.offset[type]));
    }
    FUZZ_CHECK(cal.definitionCount >= 0);
    FUZZ_CHECK(cal.definitionCount <= cal.declaredColumns);
    FUZZ_CHECK(cal.declaredColumns <= kSlots);
    for (const std::int32_t type : cal.columnType) FUZZ_CHECK(IsSlot(type));
    FUZZ_CHECK(cal.engrUnits.size() <= DeviceCalibration::kMaxEngrUnits);
    FUZZ_CHECK(name.size() <= kPieceLength);
    FUZZ_CHECK(name.find_first_of("\t\r\n") == std::string::npos);
    return true;
}

// A data line that fits the loaded file: its date and time where the file puts them,
// `number` in every other column.
std::string DataLineFor(const DeviceCalibration& cal, const char* number) {
    std::string line;
    for (int i = 0; i < cal.declaredColumns; ++i) {
        if (i > 0) line += '\t';
        const int type = cal.columnType[static_cast<std::size_t>(i)];
        line += type == column::kDate ? "11/20/03" : type == column::kTime ? "12:30:45" : number;
    }
    return line + "\n";
}

// Field count of one CR LF-ended record; -1 when it is not one line ended by CR LF.
int FieldsOf(std::string_view record) {
    if (record.size() < 2 || record.substr(record.size() - 2) != "\r\n") return -1;
    if (record.find_first_of("\r\n") != record.size() - 2) return -1;
    return static_cast<int>(CountOf(record, "\t")) + 1;
}

void CheckRecordFile(const std::string& path) {
    const std::string text = ReadWhole(path);
    std::size_t start = 0;
    int headingFields = -1;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        FUZZ_CHECK(end != std::string::npos);
        const int fields = FieldsOf(std::string_view(text).substr(start, end + 1 - start));
        FUZZ_CHECK(fields > 0);
        if (headingFields < 0) headingFields = fields;
        FUZZ_CHECK(fields == headingFields);  // every record under its heading
        start = end + 1;
    }
}

// The same bytes as a file, loaded by a session as the menu does, then three lines.
void RunChain(PumpSession& pump, const std::string& bytes, std::uint8_t choices) {
    Session& session = pump.session();
    const std::string devicePath = pump.folder().File("fuzz.dev");
    const std::string engrPath = pump.folder().File("fuzz.eng");
    WriteWhole(devicePath, bytes);
    FUZZ_CHECK(session.LoadDeviceFile(devicePath));

    SharedState& state = session.State();
    state.RefChannelCorrection = 1;
    state.TempCorrection = 1;
    state.PlotType = choices & 1;
    state.BBPlotChoice = (choices >> 1) & 3;
    state.ITempPlot = state.XTempPlot = state.PresPlot = 1;
    state.powerUser = (choices >> 3) & 1;
    static constexpr int kStatsModes[] = {0, 1, 15, 60};
    state.StatsMode = kStatsModes[(choices >> 4) & 3];
    FUZZ_CHECK(session.Recording().StartEngrRecording(engrPath));

    const DeviceCalibration& cal = session.Calibration();
    const std::string lines =
        DataLineFor(cal, "4050") + DataLineFor(cal, "0") + DataLineFor(cal, "-1.5");
    session.FeedBytes(lines.data(), lines.size());
    session.Timer55msTimer();
    session.Timer500msTimer();
    FUZZ_CHECK(session.Recording().EngrActive());
    session.Recording().StopAll();
    CheckRecordFile(engrPath);
}

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo::fuzz;
    static const auto pump = std::make_unique<PumpSession>("");
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (CheckLoad(bytes)) RunChain(*pump, bytes, size > 0 ? data[size - 1] : 0);
    return 0;
}
