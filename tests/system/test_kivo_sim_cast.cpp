// The CTD casts kivo-sim acts out, read the way an oceanographer reads a pressure record.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "../core/FakePrompts.h"
#include "SimProcess.h"
#include "core/data/DeviceFile.h"
#include "tools/kivo-sim/CastProfile.h"

namespace kivo::test {
namespace {

using sim::CastRoutine;

const std::string kCtdDevice = std::string(KIVO_SOURCE_DIR) + "/demo/kivo-bb3-ctd.dev";

DeviceCalibration Load(std::istream& file) {
    DeviceCalibration calibration;
    std::string name;
    FakePrompts prompts;
    EXPECT_TRUE(ReadDeviceFile(file, calibration, name, prompts));
    return calibration;
}

DeviceCalibration LoadFile(const std::string& path) {
    std::ifstream file(path);
    return Load(file);
}

// What the host reads: the count the meter sends, converted with the device file.
double Received(double pressure, const DeviceCalibration& device) {
    return sim::PressureCount(pressure, device) * device.scale[column::kPres] +
           device.offset[column::kPres];
}

// Pressure at each whole second, as a meter at 1 line/s sends it.
struct Record {
    std::vector<double> p;

    double Max(int from, int to) const { return *std::max_element(At(from), At(to)); }
    double Min(int from, int to) const { return *std::min_element(At(from), At(to)); }
    double Mean(int from, int to) const {
        return std::accumulate(At(from), At(to), 0.0) / (to - from);
    }
    int FirstAbove(double level, int from) const {
        int t = from;
        while (p[static_cast<std::size_t>(t)] <= level) ++t;
        return t;
    }
    int LastAbove(double level, int to) const {
        int t = to;
        while (p[static_cast<std::size_t>(t)] <= level) --t;
        return t;
    }

private:
    std::vector<double>::const_iterator At(int t) const { return p.begin() + t; }
};

TEST(SimulatedCast, DeckSoakDownBottomUpDeckAndAgain) {
    const DeviceCalibration device = LoadFile(kCtdDevice);
    for (const double depth : {150.0, 60.0}) {
        SCOPED_TRACE(depth);
        const CastRoutine routine(depth);
        // 30 s deck, 5 s lowering, 60 s soak, 4 s raising, down from 1 dbar, 20 s bottom, up.
        const int period = static_cast<int>(2 * depth) + 118;
        Record record;
        for (int t = 0; t < 2 * period + 60; ++t)
            record.p.push_back(Received(routine.PressureAt(t), device));

        for (int cast = 0; cast < 2; ++cast) {
            SCOPED_TRACE(cast);
            const int start = cast * period;
            EXPECT_NEAR(record.Min(start, start + 30), 0.0, 0.03);
            EXPECT_NEAR(record.Max(start, start + 30), 0.0, 0.03);
            // The soak: held at 5 dbar, moved by the heave.
            EXPECT_NEAR(record.Mean(start + 39, start + 95), 5.0, 0.2);
            EXPECT_GT(record.Max(start + 39, start + 95) - record.Min(start + 39, start + 95), 2.0);
            EXPECT_LT(record.Max(start + 39, start + 95), 6.6);
            // Raised to about 1 dbar before going down, still in the water.
            EXPECT_GT(record.Min(start + 95, start + 104), 0.2);
            EXPECT_LT(record.Min(start + 95, start + 104), 1.5);

            const int bottom = start + 99 + static_cast<int>(depth);
            EXPECT_GT(record.Max(bottom - 5, bottom + 25), depth + 1.0);
            EXPECT_LT(record.Max(bottom - 5, bottom + 25), depth + 1.6);
            EXPECT_NEAR(record.Mean(bottom, bottom + 16), depth, 0.4);

            const int down20 = record.FirstAbove(0.2 * depth, start + 100);
            const int down80 = record.FirstAbove(0.8 * depth, down20);
            EXPECT_NEAR(0.6 * depth / (down80 - down20), 1.0, 0.12);
            const int up80 = record.LastAbove(0.8 * depth, start + period - 1);
            const int up20 = record.LastAbove(0.2 * depth, start + period - 1);
            EXPECT_NEAR(0.6 * depth / (up20 - up80), 1.0, 0.12);
            EXPECT_GT(up80, bottom + 19);

            // The heave sends the frame up now and then on its way down.
            int notNewMaxima = 0;
            for (int t = down20 + 1; t <= down80; ++t) {
                if (record.Max(down20, t) >= record.p[static_cast<std::size_t>(t)]) ++notNewMaxima;
            }
            EXPECT_GE(notNewMaxima, 3);

            // Back on deck until the next cast begins.
            EXPECT_GT(record.Min(up20, start + period - 1), 0.0);
            EXPECT_NEAR(record.Max(start + period, start + period + 30), 0.0, 0.03);
        }
    }
}

TEST(SimulatedCast, ScatteringShowsOneLayerAtFortyPercentOfTheDepth) {
    for (const double depth : {150.0, 60.0}) {
        SCOPED_TRACE(depth);
        const CastRoutine routine(depth);
        double peakAt = 0.0;
        for (double p = 0.0; p <= depth; p += 0.5) {
            if (routine.Scattering(p) > routine.Scattering(peakAt)) peakAt = p;
        }
        EXPECT_NEAR(peakAt, 0.4 * depth, 0.5);
        // About 10 dbar thick, over a background that fades with depth.
        EXPECT_GT(routine.Scattering(peakAt), 2.0 * routine.Scattering(peakAt + 12.0));
        EXPECT_GT(routine.Scattering(peakAt + 4.0), 1.5 * routine.Scattering(peakAt + 12.0));
        EXPECT_LT(routine.Scattering(depth), routine.Scattering(0.0));
        EXPECT_GT(routine.Scattering(depth), 0.5 * routine.Scattering(0.0));
    }
}

TEST(SimulatedCast, NeedsAPressureColumnTheMeterSends) {
    struct Case {
        const char* device;
        bool refused;
    };
    const Case cases[] = {
        {"M\nColumns=3\nDate=1\nLambda=2 1e-6 50 470 470\nPRES=3 0.05 -2.5\n", false},
        {"M\nColumns=2\nDate=1\nLambda=2 1e-6 50 470 470\n", true},
        // Defined, but beyond the columns a data line carries.
        {"M\nColumns=2\nDate=1\nPRES=3 0.05 -2.5\n", true},
        {"M\nColumns=2\nDate=1\nPRES=2 0 0\n", true},
    };
    for (const Case& c : cases) {
        std::istringstream file(c.device);
        EXPECT_EQ(sim::CastRefusal(Load(file)).has_value(), c.refused) << c.device;
    }
}

// The demo file on the real meter: on deck, at the start, it sends 0 dbar.
TEST(SimulatedCast, StreamsTheDemoDeviceFileFromTheDeck) {
    const DeviceCalibration device = LoadFile(kCtdDevice);
    ASSERT_EQ(device.columnType[6], column::kPres);
    SimProcess sim({"--dev", kCtdDevice, "--cast", "150", "--autorun", "--rate", "20"});
    PtyClient port(sim.PortPath());
    for (int lines = 0; lines < 5;) {
        const std::optional<std::string> line = port.ReadLine(milliseconds(5000));
        ASSERT_TRUE(line.has_value());
        if (line->rfind("VER", 0) == 0) continue;
        std::vector<std::string> fields;
        std::stringstream stream(*line);
        for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 7u) << *line;
        EXPECT_NEAR(
            std::stod(fields[6]) * device.scale[column::kPres] + device.offset[column::kPres], 0.0,
            1e-6)
            << *line;
        for (std::size_t column = 1; column <= 3; ++column)
            EXPECT_GT(std::stoi(fields[column]), 300) << *line;
        ++lines;
    }
}

}  // namespace
}  // namespace kivo::test
