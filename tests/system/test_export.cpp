// kivo-convert's CSV and NetCDF files, read back with what their users read them with
// (pandas, xarray, ncdump) by tests/export/check_export.py and compared with the golden
// engineering-units files: the same values to the printed digits and more, the meter's
// times, units on every variable.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "../replay/ReplayCorpus.h"
#include "SimProcess.h"

namespace kivo::test {
namespace {

// The first python3 on the path, or the system's, that has the readers; empty when none.
std::string PythonWithReaders() {
    std::vector<std::string> candidates;
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty()) candidates.push_back(folder + "/python3");
    }
    candidates.push_back("/usr/bin/python3");
    for (const std::string& python : candidates) {
        if (::access(python.c_str(), X_OK) != 0) continue;
        const ProcessResult probe =
            RunToExit(python, {"-c", "import pandas, xarray, netCDF4"}, milliseconds(60000));
        if (probe.exitCode == 0) return python;
    }
    return {};
}

class ExportedCorpus : public testing::TestWithParam<ReplayCase> {};

TEST_P(ExportedCorpus, ReadsBackAsTheEngineeringUnitsFile) {
    static const std::string python = PythonWithReaders();
    if (python.empty()) {
        GTEST_SKIP() << "no python3 with pandas, xarray and netCDF4 (scripts/install-deps "
                        "installs python3-pandas python3-xarray python3-netcdf4)";
    }
    const ReplayCase& c = GetParam();
    ScratchDirectory scratch;
    ASSERT_FALSE(scratch.path.empty());
    const auto convert = [&](const std::string& format, const std::string& output) {
        std::vector<std::string> arguments = {"--dev", c.File(".dev"), "--format", format};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.insert(arguments.end(), {"-o", output, c.File(".raw")});
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(run.exitCode, 0) << format << ": " << run.err;
    };
    convert("eng", scratch.File("run.eng"));
    convert("csv", scratch.File("run.csv"));
    convert("netcdf", scratch.File("run.nc"));
    EXPECT_EQ(ReadBytes(scratch.File("run.eng")), ReadBytes(c.File(".expected.eng")));

    const ProcessResult check =
        RunToExit(python,
                  {std::string(KIVO_SOURCE_DIR) + "/tests/export/check_export.py", "--eng",
                   c.File(".expected.eng"), "--dev", c.File(".dev"), "--csv",
                   scratch.File("run.csv"), "--nc", scratch.File("run.nc")},
                  milliseconds(60000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ExportedCorpus, testing::ValuesIn(ReplayCorpus()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace kivo::test
