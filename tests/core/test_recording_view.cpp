// The whole-recording viewer's core: the pyramid's answers against a plain pass over the
// lines, the X it chooses, and raw and engineering-units files read back against the
// golden corpus.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FakePrompts.h"
#include "Fifo.h"
#include "FileBytes.h"
#include "core/data/DeviceFile.h"
#include "core/viewer/RangeExport.h"
#include "core/viewer/RecordingLoad.h"

namespace kivo::test {
namespace {

const std::string kReplay = std::string(KIVO_SOURCE_DIR) + "/tests/replay/";

// Lines of random values about 1000 with a few gaps; time either on every line (several
// lines a second) or on none.
RecordingData RandomRecording(std::size_t lines, bool withTime, std::mt19937& random) {
    RecordingData data({{"a", 0, ""}, {"b", 0, ""}});
    std::normal_distribution<float> value(1000.0F, 3.0F);
    std::uniform_int_distribution<int> gap(0, 99);
    for (std::size_t i = 0; i < lines; ++i) {
        const float row[2] = {gap(random) == 0 ? NAN : value(random), value(random) * 0.001F};
        data.Append(row, withTime ? std::optional<std::int64_t>(1100000000 + i / 3) : std::nullopt);
    }
    data.Finish();
    return data;
}

TEST(RecordingData, StatisticsAndEnvelopesMatchAPlainPassOverTheLines) {
    std::mt19937 random(7);
    for (const bool withTime : {false, true}) {
        // Enough lines for four levels of the pyramid, and a ragged end.
        const RecordingData data = RandomRecording(70001, withTime, random);
        ASSERT_EQ(data.TimeAxis(), withTime);
        std::uniform_int_distribution<std::size_t> line(0, data.Lines());
        for (int trial = 0; trial < 200; ++trial) {
            std::size_t first = line(random), last = line(random);
            if (first > last) std::swap(first, last);
            const int channel = trial % 2;
            double sum = 0, squares = 0, low = INFINITY, high = -INFINITY;
            std::int64_t count = 0;
            for (std::size_t i = first; i < last; ++i) {
                const double v = data.Value(channel, i);
                if (!std::isfinite(v)) continue;
                ++count, sum += v, squares += v * v;
                low = std::min(low, v), high = std::max(high, v);
            }
            const RangeStatistics s = data.Statistics(channel, first, last);
            ASSERT_EQ(s.count, count) << first << ".." << last;
            if (count == 0) continue;
            EXPECT_EQ(s.minimum, low);
            EXPECT_EQ(s.maximum, high);
            EXPECT_NEAR(s.mean, sum / count, 1e-9 * std::abs(sum / count));
            if (count > 1) {
                const double sd = std::sqrt((squares - sum * sum / count) / (count - 1));
                EXPECT_NEAR(s.standardDeviation, sd, 1e-6 * sd + 1e-9);
            }
        }

        // Zooms from a few lines to the whole recording, at odd edges.
        std::uniform_real_distribution<double> fraction(0.0, 1.0);
        const double x0 = data.X(0), span = data.X(data.Lines() - 1) - x0;
        std::vector<EnvelopePoint> envelope;
        for (int trial = 0; trial < 60; ++trial) {
            const double width = span * std::pow(10.0, -5.0 * fraction(random));
            const double lowX = x0 - 0.1 * span + fraction(random) * 1.2 * span;
            const double highX = lowX + width;
            const int columns = 1 + trial * 17 % 700;
            const int channel = trial % 2;
            data.Envelope(channel, lowX, highX, columns, envelope);

            std::vector<EnvelopePoint> expected;
            std::size_t first = data.Lines(), last = 0;
            for (std::size_t i = 0; i < data.Lines(); ++i) {
                if (data.X(i) >= lowX && data.X(i) <= highX)
                    first = std::min(first, i), last = i + 1;
            }
            if (first >= last) first = last = 0;
            const auto single = [&](std::size_t i) {
                const float v = data.Value(channel, i);
                if (std::isfinite(v)) expected.push_back({data.X(i), v, v});
            };
            if (last > first && first > 0) single(first - 1);
            if (last - first <= 2 * static_cast<std::size_t>(columns)) {
                for (std::size_t i = first; i < last; ++i) single(i);
            } else {
                const double step = (highX - lowX) / columns;
                std::vector<EnvelopePoint> column(static_cast<std::size_t>(columns),
                                                  {0, INFINITY, -INFINITY});
                for (std::size_t i = first; i < last; ++i) {
                    const double x = data.X(i);
                    int c = std::clamp(static_cast<int>((x - lowX) / step), 0, columns - 1);
                    while (c + 1 < columns && x >= lowX + step * (c + 1)) ++c;
                    while (c > 0 && x < lowX + step * c) --c;
                    const float v = data.Value(channel, i);
                    if (!std::isfinite(v)) continue;
                    auto& p = column[static_cast<std::size_t>(c)];
                    p.x = lowX + step * (c + 0.5);
                    p.low = std::min(p.low, v), p.high = std::max(p.high, v);
                }
                for (const EnvelopePoint& p : column)
                    if (p.low <= p.high) expected.push_back(p);
            }
            if (last > first && last < data.Lines()) single(last);
            if (last == first) continue;  // nothing visible: only the neighbours matter less
            ASSERT_EQ(envelope.size(), expected.size()) << trial;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                ASSERT_DOUBLE_EQ(envelope[i].x, expected[i].x) << trial << " " << i;
                ASSERT_EQ(envelope[i].low, expected[i].low) << trial << " " << i;
                ASSERT_EQ(envelope[i].high, expected[i].high) << trial << " " << i;
            }
        }
    }
}

TEST(RecordingData, TakesTheMetersTimeOnlyWhenEveryLineHasOneAndItNeverGoesBack) {
    struct Case {
        std::vector<std::optional<std::int64_t>> times;
        bool timeAxis;
    };
    const Case cases[] = {
        {{100, 100, 101, 105}, true},        {{100, std::nullopt, 101}, false},
        {{std::nullopt, 100}, false},        {{100, 101, 99}, false},  // the clock was set back
        {{0, std::int64_t{1} << 32}, false},  // beyond what a line's offset holds
    };
    for (const Case& c : cases) {
        RecordingData data({{"a", 0, ""}});
        const float value = 1.0F;
        for (const auto& time : c.times) data.Append(&value, time);
        data.Finish();
        EXPECT_EQ(data.TimeAxis(), c.timeAxis) << c.times.size();
        const double x1 = data.X(1);
        EXPECT_EQ(x1, c.timeAxis ? static_cast<double>(*c.times[1]) : 2.0);
        EXPECT_EQ(data.Nearest(x1 + 0.4), c.timeAxis && c.times[0] == c.times[1] ? 0u : 1u);
    }
}

ViewerDevice Bb9Device() {
    ViewerDevice device;
    std::ifstream file(kReplay + "bb9_sea.dev");
    FakePrompts prompts;
    EXPECT_TRUE(ReadDeviceFile(file, device.calibration, device.deviceName, prompts));
    return device;
}

// The raw file through the chain and the expected engineering-units file (checked against
// the formulas by a second implementation) must show the same lines.
TEST(LoadRecording, RawThroughTheChainShowsWhatTheExpectedEngFileHolds) {
    LoadProgress progress;
    const LoadedRecording raw = LoadRecording(kReplay + "bb9_sea.raw", Bb9Device(), progress);
    ASSERT_TRUE(raw.data) << raw.error;
    EXPECT_EQ(progress.bytesRead, progress.totalBytes);
    LoadProgress engProgress;
    const LoadedRecording eng =
        LoadRecording(kReplay + "bb9_sea.expected.eng", std::nullopt, engProgress);
    ASSERT_TRUE(eng.data) << eng.error;
    const RecordingData& r = *raw.data;
    const RecordingData& e = *eng.data;
    ASSERT_EQ(r.Lines(), e.Lines());
    ASSERT_EQ(r.ChannelCount(), 10);  // nine Betas and the temperature
    // A month-99 line among dated ones: sample numbers.
    EXPECT_FALSE(r.TimeAxis());
    EXPECT_FALSE(e.TimeAxis());
    int matched = 0, cut = 0;
    for (int c = 0; c < r.ChannelCount(); ++c) {
        int ec = 0;
        while (ec < e.ChannelCount() && e.Channel(ec).name != r.Channel(c).name) ++ec;
        ASSERT_LT(ec, e.ChannelCount()) << r.Channel(c).name;
        for (std::size_t i = 0; i < r.Lines(); ++i) {
            const float engValue = e.Value(ec, i);
            if (engValue >= 99990.0F) {  // the live chart leaves such values off
                EXPECT_TRUE(std::isnan(r.Value(c, i)));
                ++cut;
                continue;
            }
            EXPECT_NEAR(r.Value(c, i), engValue, 5e-7 + 5e-5 * std::abs(engValue))
                << r.Channel(c).name << " line " << i;
            ++matched;
        }
    }
    EXPECT_GT(matched, 70);
    EXPECT_GT(cut, 0);
}

// A meter kept in another zone than UTC: its times are read in that zone.
TEST(LoadRecording, MeterTimesAreReadInTheZoneTheMetersClockWasSetIn) {
    ScratchDirectory folder;
    const std::string path = folder.path + "/halifax.raw";
    std::ofstream(path) << "12/08/26\t10\t20\t30\t40\t50\t60\t70\t80\t90\t22:47:18\t1000\r\n"
                        << "12/08/26\t10\t20\t30\t40\t50\t60\t70\t80\t90\t22:47:19\t1000\r\n";
    ViewerDevice device = Bb9Device();
    LoadProgress utcProgress;
    const LoadedRecording utc = LoadRecording(path, device, utcProgress);
    device.facts.meterClock = MeterClockZone::Parse("-04:00").value();
    LoadProgress zonedProgress;
    const LoadedRecording zoned = LoadRecording(path, device, zonedProgress);
    ASSERT_TRUE(utc.data && zoned.data) << utc.error << zoned.error;
    ASSERT_TRUE(utc.data->TimeAxis() && zoned.data->TimeAxis());
    EXPECT_EQ(utc.data->X(0), 1796770038.0);  // 2026-12-08T22:47:18Z
    EXPECT_EQ(zoned.data->X(0) - utc.data->X(0), 4 * 3600.0);
}

TEST(LoadRecording, TellsWhyAFileShowsNothing) {
    ScratchDirectory scratch;
    WriteBytes(scratch.File("replies.raw"), "VER KIVO BB9 1.16\r\nOK\r\n");
    WriteBytes(scratch.File("other.eng"), "Some\theading\r\n1\t2\r\n");
    // Opening a FIFO waited for a writer for ever, deaf to Cancel.
    const FifoGuard fifoRaw(scratch.File("fifo.raw"));
    const FifoGuard fifoEng(scratch.File("fifo.eng"));
    struct Case {
        std::string path;
        bool withDevice;
        bool cancel;
        const char* error;  // nullptr: cancelled
    };
    const Case cases[] = {
        {scratch.File("missing.raw"), true, false, "Cannot read"},
        {scratch.File("replies.raw"), true, false, "No data line of this device file in"},
        {kReplay + "bb9_sea.raw", false, false, "Load a Device File"},
        {scratch.File("other.eng"), false, false, "Not an engineering-units file"},
        {kReplay + "bb9_sea.raw", true, true, nullptr},
        {scratch.File("fifo.raw"), true, false, "Not a regular file"},
        {scratch.File("fifo.eng"), false, false, "Not a regular file"},
        {"/dev/zero", true, false, "Not a regular file"},
        {scratch.path, true, false, "Not a regular file"},
    };
    for (const Case& c : cases) {
        LoadProgress progress;
        progress.cancel = c.cancel;
        const LoadedRecording loaded = LoadRecording(
            c.path, c.withDevice ? std::optional<ViewerDevice>(Bb9Device()) : std::nullopt,
            progress);
        EXPECT_FALSE(loaded.data) << c.path;
        EXPECT_EQ(loaded.cancelled, c.error == nullptr) << c.path;
        if (c.error) {
            EXPECT_EQ(loaded.error.rfind(c.error, 0), 0u) << loaded.error;
        }
    }
    EXPECT_FALSE(fifoRaw.Released());
    EXPECT_FALSE(fifoEng.Released());
}

// The lines left out were left out without a word; a line of megabytes was held whole.
TEST(LoadRecording, CountsTheLinesItRefusesByReason) {
    ScratchDirectory scratch;
    std::istringstream sea(ReadBytes(kReplay + "bb9_sea.raw"));
    std::string first, second;
    std::getline(sea, first);  // the meter's identification, not wanted here
    std::getline(sea, first);
    std::getline(sea, second);
    const std::string endless(8 << 20, '7');
    WriteBytes(scratch.File("cast.raw"),
               first + "\n1\t2\r\nVER KIVO\r\n" + endless + "\r\n" + second + "\n" + first);
    std::istringstream expected(ReadBytes(kReplay + "bb9_sea.expected.eng"));
    std::string heading, record;
    std::getline(expected, heading);
    std::getline(expected, record);
    WriteBytes(scratch.File("cast.eng"),
               heading + "\n" + record + "\n1\t2\r\n" + endless + "\r\n" + record + "\n");
    struct Case {
        std::string path;
        std::size_t lines;
        RefusedLines refused;
        const char* told;
    };
    const Case cases[] = {
        {scratch.File("cast.raw"),
         2,
         {1, 1, 1, 1},
         "4 lines refused: 1 column count, 1 not a data line, 1 too long, 1 unfinished last line"},
        {scratch.File("cast.eng"), 2, {1, 0, 1, 0}, "2 lines refused: 1 column count, 1 too long"},
        {kReplay + "bb9_sea.expected.eng", 0, {}, ""},
    };
    for (const Case& c : cases) {
        LoadProgress progress;
        const LoadedRecording loaded = LoadRecording(c.path, Bb9Device(), progress);
        ASSERT_TRUE(loaded.data) << loaded.error;
        if (c.lines > 0) {
            EXPECT_EQ(loaded.data->Lines(), c.lines) << c.path;
        }
        EXPECT_EQ(loaded.refused.columnCount, c.refused.columnCount) << c.path;
        EXPECT_EQ(loaded.refused.notDataLine, c.refused.notDataLine) << c.path;
        EXPECT_EQ(loaded.refused.tooLong, c.refused.tooLong) << c.path;
        EXPECT_EQ(loaded.refused.unfinished, c.refused.unfinished) << c.path;
        EXPECT_EQ(RefusedText(loaded.refused), c.told);
    }
}

// A sparse file of 10 TB: the columns were reserved by its size (an uncaught bad_alloc),
// and an engineering-units file of one endless line was held whole. Cancel ends either.
TEST(LoadRecording, AHugeSparseFileIsReadInBoundedPiecesUntilCancelled) {
    ScratchDirectory scratch;
    std::istringstream sea(ReadBytes(kReplay + "bb9_sea.raw"));
    std::string line;
    std::getline(sea, line);
    std::getline(sea, line);
    std::istringstream expected(ReadBytes(kReplay + "bb9_sea.expected.eng"));
    std::string heading;
    std::getline(expected, heading);
    const std::pair<std::string, std::string> files[] = {{"huge.raw", line + "\n" + line + "\n"},
                                                         {"huge.eng", heading + "\n"}};
    for (const auto& [name, head] : files) {
        SCOPED_TRACE(name);
        const std::string path = scratch.File(name);
        WriteBytes(path, head);
        if (::truncate(path.c_str(), static_cast<off_t>(10) << 40) != 0)
            GTEST_SKIP() << "no 10 TB sparse file here";
        LoadProgress progress;
        LoadedRecording loaded;
        std::thread worker([&] { loaded = LoadRecording(path, Bb9Device(), progress); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (progress.bytesRead < (64 << 20) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        progress.cancel = true;
        worker.join();
        EXPECT_TRUE(loaded.cancelled) << loaded.error;
        EXPECT_GE(progress.bytesRead, 64 << 20);
    }
}

// The visible range goes out at the chain's full precision, only its lines.
TEST(ExportRange, WritesOnlyTheLinesAskedFor) {
    ScratchDirectory scratch;
    LoadProgress progress;
    RangeExportJob job;
    job.rawPath = kReplay + "bb9_sea.raw";
    job.outputPath = scratch.File("range.csv");
    job.device = Bb9Device();
    job.firstLine = 1;
    job.lastLine = 4;
    const RangeExportResult result = ExportRange(job, progress);
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.records, 3u);
    std::istringstream csv(ReadBytes(job.outputPath));
    std::vector<std::string> rows;
    for (std::string row; std::getline(csv, row);) {
        if (row.rfind('#', 0) != 0) rows.push_back(row);  // the header of facts
    }
    ASSERT_EQ(rows.size(), 4u);
    // Records 1..3 of the expected file: 09:30:02, 09:30:03, 09:30:04.
    EXPECT_NE(rows[1].find("T09:30:02"), std::string::npos) << rows[1];
    EXPECT_NE(rows[3].find("T09:30:04"), std::string::npos) << rows[3];

    job.firstLine = job.lastLine = 100;  // beyond the recording: nothing, and no file left
    job.outputPath = scratch.File("empty.csv");
    const RangeExportResult empty = ExportRange(job, progress);
    EXPECT_FALSE(empty.written);
    EXPECT_FALSE(empty.error.empty());
    EXPECT_FALSE(std::filesystem::exists(job.outputPath));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path),
                            std::filesystem::directory_iterator()),
              1);  // range.csv alone: no temporary left beside it
}

}  // namespace
}  // namespace kivo::test
