// Fuzz target: the data line parser, in normal and alternate-command mode, with one of the
// test device files loaded or none. The first byte chooses (bits 0-2: device file 0-3, 4 and
// up none; bit 3: alternate commands); the rest is lines separated by LF, as the pump would
// hand them over one by one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/chain/DataChain.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceFile.h"

namespace kivo::fuzz {
namespace {

struct LoadedFiles {
    std::array<DeviceCalibration, kDeviceFileCount> calibrations;
    LoadedFiles() {
        for (std::size_t i = 0; i < kDeviceFileCount; ++i) {
            std::ifstream in(DeviceFilePath(i));
            std::string name;
            CountingPrompts prompts;
            if (!ReadDeviceFile(in, calibrations[i], name, prompts)) {
                std::fprintf(stderr, "kivo fuzz: %s does not load\n", DeviceFilePath(i).c_str());
                std::abort();
            }
        }
    }
};

bool AllowedInDataLine(char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '/' || c == ':' || c == '\t';
}

// What the splitter promises about a line it takes: fields of the allowed characters only,
// none empty or overlong, at most one per slot.
void CheckSplit(std::string_view line, bool alternate, int fields) {
    FUZZ_CHECK(fields >= 0 && fields <= kSlots);
    if (fields == 0) return;
    FUZZ_CHECK(static_cast<std::size_t>(fields) == CountOf(line, "\t") + 1);
    std::size_t fieldLength = 0;
    for (const char c : line) {
        FUZZ_CHECK(AllowedInDataLine(c));
        fieldLength = c == '\t' ? 0 : fieldLength + 1;
        FUZZ_CHECK(fieldLength <= kMaxFieldLength);
    }
    FUZZ_CHECK(line.front() != '\t' && line.back() != '\t');
    FUZZ_CHECK(line.find("\t\t") == std::string_view::npos);
    // In alternate mode the first two fields are the compact date and time, without
    // separators. The counters still apply to the second field: with two slashes it is read
    // as a date (colons or not), with 99 and no colon as a compact date.
    if (alternate) {
        const std::size_t firstEnd = line.find('\t');
        const std::string_view first = line.substr(0, firstEnd);
        FUZZ_CHECK(first.find_first_of("/:") == std::string_view::npos);
        if (firstEnd != std::string_view::npos) {
            const std::string_view second =
                line.substr(firstEnd + 1).substr(0, line.substr(firstEnd + 1).find('\t'));
            const std::size_t slashes = CountOf(second, "/");
            FUZZ_CHECK(slashes == 0 || slashes == 2 ||
                       slashes == static_cast<std::size_t>(kCompactMark));
            if (slashes != 2) FUZZ_CHECK(second.find(':') == std::string_view::npos);
        }
    }
}

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    using namespace kivo::fuzz;
    static const LoadedFiles files;
    if (size == 0) return 0;
    const std::size_t choice = data[0] & 7u;
    const bool deviceLoaded = choice < kDeviceFileCount;
    const bool alternate = (data[0] & 8u) != 0;
    DeviceCalibration cal = deviceLoaded ? files.calibrations[choice] : DeviceCalibration{};

    DataChain chain(cal);
    FixedClock clock;
    std::uint64_t warnings = 0;
    int mismatchRun = 0;  // mismatching lines in a row, as the warning counts them
    std::uint64_t expectedWarnings = 0;

    std::string_view rest = Body(data, size, 1);
    while (true) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);

        SplitLine split;
        const int fields = SplitDataLine(line, alternate, split);
        CheckSplit(line, alternate, fields);

        const double countBefore = chain.Counts().DataLineCount;
        const LineOutcome outcome =
            chain.Accept(line, deviceLoaded, {alternate, true, true}, clock);
        const bool taken = outcome.dataLine;
        if (outcome.mismatch) ++warnings;
        const bool fits = fields != 0 && fields == cal.declaredColumns;
        // A device file loaded: only a line of its column count is data. None: every line.
        FUZZ_CHECK(taken == (!deviceLoaded || fits));
        if (taken) {
            FUZZ_CHECK(chain.Counts().DataLineCount == countBefore + 1.0);
            FUZZ_CHECK(chain.Counts().MismatchCount == 0);
            mismatchRun = 0;
        } else {
            FUZZ_CHECK(chain.Counts().DataLineCount == countBefore);
            if (fields != 0) {
                if (mismatchRun == 5) ++expectedWarnings;  // once per run, on its sixth line
                ++mismatchRun;
            }
        }
        FUZZ_CHECK(warnings == expectedWarnings);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return 0;
}
