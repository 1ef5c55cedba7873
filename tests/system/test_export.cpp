// kivo-convert's CSV and NetCDF files, read back with what their users read them with
// (pandas, xarray, ncdump) by tests/export/check_export.py and compared with the golden
// engineering-units files: the same values to the printed digits and more, the meter's
// times in UTC, units on every variable, a time axis xarray's sel and interp work on, and
// attributes that recompute the values from the counts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../core/FileBytes.h"
#include "../replay/ReplayCorpus.h"
#include "SimProcess.h"
#include "core/data/MeterClockZone.h"
#include "core/export/TrackFile.h"

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
            RunToExit(python, {"-c", "import pandas, xarray, netCDF4, scipy"}, milliseconds(60000));
        if (probe.exitCode == 0) return python;
    }
    return {};
}

const std::string kCheck = std::string(KIVO_SOURCE_DIR) + "/tests/export/check_export.py";

class ExportedCorpus : public testing::TestWithParam<ReplayCase> {};

TEST_P(ExportedCorpus, ReadsBackAsTheEngineeringUnitsFile) {
    static const std::string python = PythonWithReaders();
    if (python.empty()) {
        GTEST_SKIP() << "no python3 with pandas, xarray, netCDF4 and SciPy (scripts/install-deps "
                        "installs python3-pandas python3-xarray python3-netcdf4 python3-scipy)";
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
                  {kCheck, "--eng", c.File(".expected.eng"), "--dev", c.File(".dev"), "--csv",
                   scratch.File("run.csv"), "--nc", scratch.File("run.nc")},
                  milliseconds(60000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ExportedCorpus, testing::ValuesIn(ReplayCorpus()),
                         [](const testing::TestParamInfo<ReplayCase>& info) {
                             return info.param.name;
                         });

// A meter sending four lines a second, across midnight, whose clock was set four hours behind
// UTC, exported with the operator's attributes from the command line and from a file.
TEST(Exported, AFourHertzRecordingInUtcWithTheOperatorsAttributes) {
    const std::string python = PythonWithReaders();
    if (python.empty()) GTEST_SKIP() << "no python3 with pandas, xarray, netCDF4 and SciPy";
    ScratchDirectory scratch;
    ASSERT_FALSE(scratch.path.empty());
    const std::string device = scratch.File("chl4hz.dev");
    WriteBytes(device,
               "KIVO CHL 4 Hz test meter\r\nColumns=4\r\nDate=1\r\nTime=2\r\nCHL=3 0.0121 50\r\n"
               "iTemp=4 0.01 -10\r\n");
    std::string raw;
    for (int i = 0; i < 48; ++i) {
        const int second = 23 * 3600 + 59 * 60 + 55 + i / 4;  // 23:59:55 on, 12 seconds
        char line[96];
        std::snprintf(line, sizeof line, "11/%02d/03\t%02d:%02d:%02d\t%d\t%d\r\n",
                      20 + second / 86400, second / 3600 % 24, second / 60 % 60, second % 60,
                      1000 + i * 37 % 400, 3000 + i % 7);
        raw += line;
    }
    WriteBytes(scratch.File("run.raw"), raw);
    WriteBytes(scratch.File("cruise.txt"), "# for every cast of the cruise\nproject = Line P\n");
    const auto convert = [&](const std::string& format, const std::string& output) {
        std::vector<std::string> arguments = {"--dev", device, "--format", format, "-o", output};
        if (format != "eng") {
            arguments.insert(arguments.end(),
                             {"--meter-clock", "-04:00", "--attrs", scratch.File("cruise.txt"),
                              "--attr", "institution=Ocean Institute"});
        }
        arguments.push_back(scratch.File("run.raw"));
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(run.exitCode, 0) << format << ": " << run.err;
    };
    convert("eng", scratch.File("run.eng"));
    convert("csv", scratch.File("run.csv"));
    convert("netcdf", scratch.File("run.nc"));
    const ProcessResult check =
        RunToExit(python,
                  {kCheck, "--eng", scratch.File("run.eng"), "--dev", device, "--csv",
                   scratch.File("run.csv"), "--nc", scratch.File("run.nc"), "--meter-clock=-04:00",
                   "--expect-attr", "institution=Ocean Institute", "--expect-attr",
                   "project=Line P", "--expect-attr", "meter_clock_zone=UTC-04:00"},
                  milliseconds(60000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

// Two casts with heave, recorded at 4 Hz: the bin averages of the profile files are pandas'
// means of the samples file's down and up records per bin, loops left out.
TEST(Exported, CastsBinnedAsPandasBinsTheirSamples) {
    const std::string python = PythonWithReaders();
    if (python.empty()) GTEST_SKIP() << "no python3 with pandas, xarray, netCDF4 and SciPy";
    ScratchDirectory scratch;
    ASSERT_FALSE(scratch.path.empty());
    const std::string device = scratch.File("bb-ctd.dev");
    WriteBytes(device,
               "KIVO BB CTD test meter\r\nColumns=5\r\nDate=1\r\nTime=2\r\n"
               "Lambda=3 2.20e-6 55 470 470\r\nPRES=4 0.01 -0.5\r\niTemp=5 0.01 -10\r\n");
    // Deck, a soak at 5 dbar and back to 1.5, down at 0.5 dbar/s with heave of 0.8 dbar at
    // 8 s (faster than the descent: loops), 20 s at the bottom, up at 1 dbar/s, deck; twice.
    struct Leg {
        double seconds;
        double to;
        bool inWater;
    };
    std::vector<Leg> legs;
    for (const double depth : {40.0, 25.0}) {
        const std::vector<Leg> cast = {{30, 0, false},
                                       {5, 5, true},
                                       {60, 5, true},
                                       {7, 1.5, true},
                                       {(depth - 1.5) / 0.5, depth, true},
                                       {20, depth, true},
                                       {depth, 0, true}};
        legs.insert(legs.end(), cast.begin(), cast.end());
    }
    legs.push_back({30, 0, false});
    std::string raw;
    double from = 0;
    int tick = 0;
    for (const Leg& leg : legs) {
        for (int k = 0; k < static_cast<int>(leg.seconds * 4); ++k, ++tick) {
            const double t = tick / 4.0;
            double p = from + (leg.to - from) * (k / 4.0) / leg.seconds;
            if (leg.inWater) p += 0.8 * std::sin(2 * 3.14159265358979 * t / 8.0);
            // A layer at 15 dbar brightens the scattering.
            const int counts =
                300 + static_cast<int>(2000 * std::exp(-(p - 15) * (p - 15) / 8)) + tick * 7 % 13;
            const int second = 12 * 3600 + tick / 4;
            char line[96];
            std::snprintf(line, sizeof line, "11/20/03\t%02d:%02d:%02d\t%d\t%d\t%d\r\n",
                          second / 3600, second / 60 % 60, second % 60, counts,
                          std::max(0, static_cast<int>(std::lround((p + 0.5) / 0.01))),
                          2500 + tick % 5);
            raw += line;
        }
        from = leg.to;
    }
    WriteBytes(scratch.File("run.raw"), raw);
    const auto convert = [&](const std::vector<std::string>& options, const std::string& output) {
        std::vector<std::string> arguments = {"--dev", device, "--casts", "-o", output};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(scratch.File("run.raw"));
        const ProcessResult run = RunToExit(KIVO_CONVERT_PATH, arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
    };
    convert({"--format", "csv"}, scratch.File("samples.csv"));
    convert({"--format", "netcdf", "--bin", "1"}, scratch.File("profiles.nc"));
    convert({"--format", "csv", "--bin", "1"}, scratch.File("profiles.csv"));
    const ProcessResult check =
        RunToExit(python,
                  {std::string(KIVO_SOURCE_DIR) + "/tests/export/check_profiles.py", "--samples",
                   scratch.File("samples.csv"), "--nc", scratch.File("profiles.nc"), "--csv",
                   scratch.File("profiles.csv"), "--bin", "1", "--casts", "2"},
                  milliseconds(60000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

    // With a track, each profile gets the ship's position at its first record: a track moving
    // evenly (a fix every 10 s) interpolates to the same line exactly.
    const double t0 = SecondsSinceEpoch({2003, 11, 20, 11, 59, 0});
    std::string track = "time,lat,lon\n";
    for (int k = 0; k <= 80; ++k) {
        char row[96];
        const int second = 11 * 3600 + 59 * 60 + k * 10;
        std::snprintf(row, sizeof row, "2003-11-20T%02d:%02d:%02dZ,%.4f,%.4f\n", second / 3600,
                      second / 60 % 60, second % 60, 44 + 0.0001 * k, -63 + 0.0002 * k);
        track += row;
    }
    WriteBytes(scratch.File("track.csv"), track);
    convert({"--format", "csv", "--bin", "1", "--track", scratch.File("track.csv")},
            scratch.File("placed.csv"));
    std::istringstream placed(ReadBytes(scratch.File("placed.csv")));
    std::size_t rows = 0;
    for (std::string line; std::getline(placed, line);) {
        if (line.empty() || line[0] == '#' || line.rfind("cast,", 0) == 0) continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        ASSERT_GE(f.size(), 5u) << line;
        const std::optional<double> time = ParseIsoTime(f[2]);
        ASSERT_TRUE(time) << line;
        const double k = (*time - t0) / 10;
        EXPECT_NEAR(std::stod(f[3]), 44 + 0.0001 * k, 1e-9) << line;
        EXPECT_NEAR(std::stod(f[4]), -63 + 0.0002 * k, 1e-9) << line;
        ++rows;
    }
    EXPECT_GT(rows, 20u);
}

// kivo-convert --track against positions computed from the definition in Python: a track CSV
// and an NMEA log decoded by gpsd, read back with xarray and pandas.
TEST(Exported, PositionsFromATrackAreTheIndependentInterpolation) {
    static const std::string python = PythonWithReaders();
    if (python.empty()) GTEST_SKIP() << "no python3 with pandas and xarray";
    ScratchDirectory scratch;
    const ProcessResult check =
        RunToExit(python,
                  {std::string(KIVO_SOURCE_DIR) + "/tests/export/check_track.py", "--convert",
                   KIVO_CONVERT_PATH, "--dev", std::string(KIVO_TEST_DATA) + "/fluoro.dev",
                   "--scratch", scratch.path},
                  milliseconds(60000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

// kivo-convert --qc against flags computed from their written definitions in Python: a made
// recording with in-air lines at the ceiling, a stuck channel and spikes, read back with xarray
// and pandas; every flag variable compared exactly.
TEST(Exported, QualityFlagsAreTheIndependentReading) {
    static const std::string python = PythonWithReaders();
    if (python.empty()) GTEST_SKIP() << "no python3 with pandas and xarray";
    ScratchDirectory scratch;
    const ProcessResult check = RunToExit(
        python,
        {std::string(KIVO_SOURCE_DIR) + "/tests/export/check_quality.py", "--convert",
         KIVO_CONVERT_PATH, "--dev", std::string(KIVO_SOURCE_DIR) + "/demo/kivo-bb3-ctd.dev",
         "--qc", std::string(KIVO_SOURCE_DIR) + "/demo/kivo-demo.qc", "--work", scratch.path},
        milliseconds(120000));
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

}  // namespace
}  // namespace kivo::test
