// The exporters' own faults that the corpus round trip (tests/system/test_export.cpp) cannot
// reach: the time axis, records across the NetCDF batch boundary, the facts a file carries,
// the CSV header and its continuation, calendar edges and failures told once.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FakePrompts.h"
#include "FileBytes.h"
#include "core/chain/DataChain.h"
#include "core/data/DeviceFile.h"
#include "core/export/CsvExporter.h"
#include "core/export/ExportAttributes.h"
#include "core/export/NetcdfExporter.h"
#include "core/export/TimeAxis.h"
#include "core/files/FileDigest.h"
#include "core/viewer/RangeExport.h"

namespace kivo::test {
namespace {

class FixedClock final : public Clock {
public:
    LocalTime Now() override { return {}; }
};

TEST(MeterCalendarTime, TakesOnlyRealDatesAndPutsTwoDigitYearsIn1970To2069) {
    struct Case {
        MeterClock clock;
        const char* iso;  // nullptr: no time
    };
    const Case cases[] = {
        {{11, 20, 3, 9, 15, 0}, "2003-11-20T09:15:00"},
        {{2, 29, 4, 23, 59, 59}, "2004-02-29T23:59:59"},
        {{2, 29, 3, 0, 0, 0}, nullptr},
        {{12, 31, 69, 0, 0, 0}, "2069-12-31T00:00:00"},
        {{1, 1, 70, 0, 0, 0}, "1970-01-01T00:00:00"},
        {{5, 21, 2004, 9, 30, 1}, "2004-05-21T09:30:01"},  // a date field with its century
        {{99, 99, 99, 12, 30, 44}, nullptr},               // the meter sends no date
        {{13, 1, 3, 0, 0, 0}, nullptr},
        {{4, 31, 3, 0, 0, 0}, nullptr},
        {{1, 1, 3, 24, 0, 0}, nullptr},
        {{1, 1, 150, 0, 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        const auto time = MeterCalendarTime(c.clock);
        if (c.iso == nullptr) {
            EXPECT_FALSE(time.has_value()) << IsoText(time.value_or(CalendarTime{}));
            continue;
        }
        ASSERT_TRUE(time.has_value()) << c.iso;
        EXPECT_EQ(IsoText(*time), c.iso);
    }
}

TEST(ShortestText, ReadsBackAsTheSameDouble) {
    for (const double value : {1.2e-5, 0.1 + 0.2, -0.0, 48.39999973773956, 1e300, 5e-324}) {
        EXPECT_EQ(std::strtod(ShortestText(value).c_str(), nullptr), value) << ShortestText(value);
    }
    EXPECT_EQ(ShortestText(0.000125), "0.000125");
    EXPECT_EQ(ShortestText(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(ShortestText(-std::numeric_limits<double>::infinity()), "-inf");
}

// The axis for a run of records, `std::nullopt` standing for a line without a valid date.
std::vector<double> AxisOf(const std::vector<std::optional<std::int64_t>>& seconds) {
    TimeAxis axis;
    for (const auto& second : seconds) axis.Add(second);
    axis.Close();
    return axis.TakeDecided();
}

TEST(TimeAxis, SpreadsASecondsRecordsWithinItAndNeverGoesBack) {
    constexpr std::int64_t s = 1069330245;
    const std::nullopt_t none = std::nullopt;
    const double ms = TimeAxis::kStep;
    struct Case {
        const char* what;
        std::vector<std::optional<std::int64_t>> seconds;
        std::vector<double> times;  // offsets from s
    };
    const Case cases[] = {
        {"4 Hz", {s, s, s, s, s + 1, s + 1, s + 1, s + 1}, {0, .25, .5, .75, 1, 1.25, 1.5, 1.75}},
        {"three, then one", {s, s, s, s + 1}, {0, 1.0 / 3, 2.0 / 3, 1}},
        {"a second skipped", {s, s, s + 2}, {0, .5, 2}},
        {"the clock went back",
         {s + 5, s + 5, s + 3, s + 3, s + 6},
         {5, 5.5, 5.5 + ms, 5.5 + 2 * ms, 6}},
        {"a line without a date", {s, s, none, s + 1}, {0, .5, .5 + ms, 1}},
        {"no date at first", {none, none, s, s}, {-2 * ms, -ms, 0, .5}},
        {"the same second again", {s, s, s + 1, s, s}, {0, .5, 1, 1 + ms, 1 + 2 * ms}},
    };
    for (const Case& c : cases) {
        const std::vector<double> times = AxisOf(c.seconds);
        ASSERT_EQ(times.size(), c.times.size()) << c.what;
        for (std::size_t i = 0; i < times.size(); ++i)
            EXPECT_NEAR(times[i] - static_cast<double>(s), c.times[i], 1e-6) << c.what << " " << i;
    }
    // Never a date: no time at all, rather than one made up.
    const std::vector<double> undated = AxisOf({none, none});
    ASSERT_EQ(undated.size(), 2u);
    EXPECT_TRUE(std::isnan(undated[0]) && std::isnan(undated[1]));
}

// A stuck clock would hold its records for ever: a second's records are let go at the bound,
// and the axis still goes up.
TEST(TimeAxis, HoldsAtMostTheBoundAndStaysIncreasingOnAStuckClock) {
    TimeAxis axis;
    std::vector<double> times;
    const std::size_t records = 3 * TimeAxis::kMaxPerSecond + 5;
    for (std::size_t i = 0; i < records; ++i) {
        axis.Add(1069330245);
        ASSERT_LE(axis.Held(), TimeAxis::kMaxPerSecond);
        for (const double t : axis.TakeDecided()) times.push_back(t);
    }
    axis.Close();
    for (const double t : axis.TakeDecided()) times.push_back(t);
    ASSERT_EQ(times.size(), records);
    for (std::size_t i = 1; i < times.size(); ++i) ASSERT_GT(times[i], times[i - 1]) << i;
}

// A chlorophyll meter's lines through a data chain into an exporter.
struct ChlRun {
    ScratchDirectory scratch;
    DeviceCalibration calibration;
    std::string deviceName;
    DataChain chain{calibration};
    FixedClock clock;
    int fed = 0;

    ChlRun() {
        std::istringstream device("Test CHL meter\nColumns=3\nDate=1\nTime=2\nCHL=3 0.0121 50\n");
        FakePrompts prompts;
        chain.DeviceFileLoaded();
        EXPECT_TRUE(ReadDeviceFile(device, calibration, deviceName, prompts));
    }
    // Line n: 11/20/03, n / perSecond seconds after 00:00:00, counts 1000 + n.
    void Feed(int lines, int perSecond = 1) {
        for (int end = fed + lines; fed < end; ++fed) {
            const int n = fed / perSecond;
            char line[64];
            std::snprintf(line, sizeof line, "11/20/03\t%02d:%02d:%02d\t%d", n / 3600, n / 60 % 60,
                          n % 60, 1000 + fed);
            chain.Accept(line, true, ChainOptions{}, clock);
        }
    }
};

// A NetCDF file read back through the library.
class NetcdfFile {
public:
    explicit NetcdfFile(const std::string& path) {
        EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid_), NC_NOERR) << path;
        int dimension = -1;
        EXPECT_EQ(nc_inq_dimid(ncid_, "time", &dimension), NC_NOERR);
        EXPECT_EQ(nc_inq_dimlen(ncid_, dimension, &records_), NC_NOERR);
    }
    ~NetcdfFile() { nc_close(ncid_); }
    NetcdfFile(const NetcdfFile&) = delete;
    NetcdfFile& operator=(const NetcdfFile&) = delete;

    std::size_t Records() const { return records_; }
    int Id(const char* variable) const {
        if (variable == nullptr) return NC_GLOBAL;
        int varid = -1;
        EXPECT_EQ(nc_inq_varid(ncid_, variable, &varid), NC_NOERR) << variable;
        return varid;
    }
    std::vector<double> Values(const char* variable) const {
        std::vector<double> values(records_);
        EXPECT_EQ(nc_get_var_double(ncid_, Id(variable), values.data()), NC_NOERR) << variable;
        return values;
    }
    // An attribute of a variable (nullptr: a global one) as text, or "" when it is not there.
    std::string Text(const char* variable, const char* name) const {
        std::size_t length = 0;
        if (nc_inq_attlen(ncid_, Id(variable), name, &length) != NC_NOERR) return {};
        std::string text(length, '\0');
        nc_get_att_text(ncid_, Id(variable), name, text.data());
        return text;
    }
    double Number(const char* variable, const char* name) const {
        double value = std::numeric_limits<double>::quiet_NaN();
        nc_get_att_double(ncid_, Id(variable), name, &value);
        return value;
    }

private:
    int ncid_ = -1;
    std::size_t records_ = 0;
};

// A logger syncs whenever it likes, so batches start anywhere, even inside a second whose
// records are still held for their spread.
TEST(NetcdfExporter, KeepsEveryRecordInPlaceAcrossBatchesAndSyncs) {
    ChlRun run;
    ReportLog log;
    NetcdfExporter exporter(log.Reporter());
    const std::string path = run.scratch.File("run.nc");
    ExportOptions options;
    options.software = "test 1";
    ASSERT_TRUE(exporter.Start(path, run.calibration, run.deviceName, options));
    run.chain.AddSink(exporter);
    const int lines = static_cast<int>(2 * NetcdfExporter::kBatch + 3);
    run.Feed(static_cast<int>(NetcdfExporter::kBatch / 2 + 1), 2);
    EXPECT_TRUE(exporter.Sync());
    run.Feed(lines - run.fed, 2);
    ASSERT_TRUE(exporter.Finish());
    EXPECT_TRUE(log.messages.empty());

    const NetcdfFile file(path);
    ASSERT_EQ(file.Records(), static_cast<std::size_t>(lines));
    const std::vector<double> time = file.Values("time");
    const std::vector<double> meterTime = file.Values("meter_time");
    const std::vector<double> counts = file.Values("counts_3");
    const std::vector<double> chl = file.Values("chl");
    const double midnight = SecondsSinceEpoch({2003, 11, 20, 0, 0, 0});
    for (int n = 0; n < lines; ++n) {
        const auto i = static_cast<std::size_t>(n);
        ASSERT_EQ(time[i], midnight + 0.5 * n) << n;
        ASSERT_EQ(meterTime[i], midnight + n / 2) << n;
        ASSERT_EQ(counts[i], 1000 + n) << n;
        ASSERT_NEAR(chl[i], (950 + n) * 0.0121, 1e-6) << n;
    }
}

// The file alone tells how its values were made: the zone of the meter's clock, the device
// file, the operator's attributes, and each column's calibration, which recomputes the values
// from the counts exactly.
TEST(NetcdfExporter, CarriesTheZoneTheCalibrationAndTheStory) {
    ChlRun run;
    const std::string device = run.scratch.File("chl.dev");
    WriteBytes(device, "Test CHL meter\r\nColumns=3\r\nDate=1\r\nTime=2\r\nCHL=3 0.0121 50\r\n");
    ReportLog log;
    NetcdfExporter exporter(log.Reporter());
    const std::string path = run.scratch.File("run.nc");
    ExportOptions options;
    options.software = "test 1";
    options.commandLine = "test --format netcdf";
    options.meterClock = *MeterClockZone::Parse("-04:00");
    options.deviceFile = DescribeDeviceFile(device);
    options.meterIdentification = "VER KIVO CHL 1.16 SN 0001";
    options.attributes = {{"institution", "Ocean Institute"}, {"title", "Cast 7"}};
    std::int64_t host = 1700000000000;
    options.hostUtcMilliseconds = [&host] { return host += 250; };
    ASSERT_TRUE(exporter.Start(path, run.calibration, run.deviceName, options));
    run.chain.AddSink(exporter);
    run.Feed(12, 4);
    ASSERT_TRUE(exporter.Finish());
    EXPECT_TRUE(log.messages.empty());

    const NetcdfFile file(path);
    EXPECT_EQ(file.Text(nullptr, "meter_clock_zone"), "UTC-04:00");
    EXPECT_EQ(file.Text(nullptr, "device_file"), "chl.dev");
    EXPECT_EQ(file.Text(nullptr, "device_file_first_line"), "Test CHL meter");
    EXPECT_EQ(file.Text(nullptr, "device_file_sha256"), Sha256Hex(ReadBytes(device)));
    EXPECT_EQ(file.Text(nullptr, "meter_identification"), "VER KIVO CHL 1.16 SN 0001");
    EXPECT_EQ(file.Text(nullptr, "institution"), "Ocean Institute");
    EXPECT_EQ(file.Text(nullptr, "title"), "Cast 7");
    EXPECT_NE(file.Text(nullptr, "history").find("test 1: test --format netcdf"),
              std::string::npos);
    EXPECT_NE(file.Text(nullptr, "keywords").find("chlorophyll"), std::string::npos);
    EXPECT_EQ(file.Text(nullptr, "time_coverage_start"), "2003-11-20T04:00:00Z");

    // 00:00:00 on the meter's clock, four hours behind UTC.
    const double utc = SecondsSinceEpoch({2003, 11, 20, 4, 0, 0});
    const std::vector<double> time = file.Values("time");
    const std::vector<double> meterTime = file.Values("meter_time");
    const std::vector<double> hostTime = file.Values("host_time");
    for (std::size_t i = 0; i < file.Records(); ++i) {
        EXPECT_EQ(time[i], utc + 0.25 * static_cast<double>(i)) << i;
        EXPECT_EQ(meterTime[i], utc + static_cast<double>(i / 4)) << i;
        EXPECT_EQ(hostTime[i], 1700000000.25 + 0.25 * static_cast<double>(i)) << i;
    }
    EXPECT_EQ(file.Text("counts_3", "device_file_key"), "CHL=");
    const double scale = file.Number("counts_3", "calibration_scale");
    const double dark = file.Number("counts_3", "calibration_dark_counts");
    EXPECT_EQ(scale, static_cast<double>(0.0121f));
    const std::vector<double> counts = file.Values("counts_3");
    const std::vector<double> chl = file.Values("chl");
    for (std::size_t i = 0; i < file.Records(); ++i) EXPECT_EQ((counts[i] - dark) * scale, chl[i]);
}

// The header says what the NetCDF attributes say; a reader skipping "#" lines sees the
// heading and rows; a continued file gets rows only.
TEST(CsvExporter, WritesAHeaderOfFactsCleanNamesAndUtcTimesAndContinuesAFile) {
    ChlRun run;
    ReportLog log;
    const std::string path = run.scratch.File("run.csv");
    ExportOptions options;
    options.software = "test 1";
    options.meterClock = *MeterClockZone::Parse("+02:00");
    options.attributes = {{"project", "Line P"}};
    CsvExporter exporter(log.Reporter());
    ASSERT_TRUE(exporter.Start(path, run.calibration, run.deviceName, options));
    run.chain.AddSink(exporter);
    run.Feed(2);
    ASSERT_TRUE(exporter.Finish());
    const std::string text = ReadBytes(path);
    // The meter's 00:00:00 at UTC+2; every digit of the value, with the device file's scale
    // as the single-precision number it was read as; its quality flag, a pass, at the end.
    const auto row = [](int second, int counts) {
        return "2003-11-19T22:00:0" + std::to_string(second) + "Z," +
               ShortestText((counts - 50) * static_cast<double>(0.0121f)) + ",1\r\n";
    };
    for (const std::string& line : std::vector<std::string>{
             "# title: Test CHL meter\r\n", "# meter_clock_zone: UTC+02:00\r\n",
             "# project: Line P\r\n", "# chl.units: ug L-1\r\n", "# chl.eng_heading: CHL(ug/l)\r\n",
             "# chl.device_column: 3\r\n", "# chl.calibration_scale: 0.0121\r\n",
             "# chl.calibration_dark_counts: 50\r\n",
             "time,chl,chl_qc\r\n" + row(0, 1000) + row(1, 1001)}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " not in\n" << text;
    }
    std::istringstream in(text);
    EXPECT_EQ(CsvHeadingOf(in), "time,chl,chl_qc");
    const std::string heading = "time,chl,chl_qc\r\n";
    EXPECT_EQ(text.find("#", text.find(heading)), std::string::npos);  // no comment after it

    CsvExporter continued(log.Reporter());
    ASSERT_TRUE(continued.Start(OutputFile::Open(nullptr, path, roles::kOutput, OutputMode::Append),
                                run.calibration, run.deviceName, options));
    run.chain.AddSink(continued);
    run.Feed(1);
    ASSERT_TRUE(continued.Finish());
    EXPECT_EQ(ReadBytes(path), text + row(2, 1002));
    EXPECT_TRUE(log.messages.empty());
}

// Positions go beside the times: a track's at the record's own UTC time, a receiver's with
// its fix time and kind; a record without a position gets empty fields, never a zero.
TEST(CsvExporter, PutsPositionsBesideTheTimesAndLeavesUnknownOnesEmpty) {
    struct Case {
        PositionKind kind;
        std::string heading;
        std::vector<std::string> rows;  // the fields after the time, up to the channel
    };
    PositionFix fix;
    fix.time = 1700000000.25;
    fix.lat = 44.636916666666667;
    fix.lon = -63.568316666666667;
    fix.mode = FixMode::ThreeD;
    // Every digit: the text reads back as the same double.
    const std::string place = "44.636916666666664,-63.56831666666667";
    ASSERT_EQ(place, ShortestText(fix.lat) + "," + ShortestText(fix.lon));
    const std::vector<Case> cases = {
        {PositionKind::Track, "time,lat,lon,chl,chl_qc", {place, ","}},
        {PositionKind::Receiver,
         "time,lat,lon,gps_time,fix,chl,chl_qc",
         {place + ",2023-11-14T22:13:20.250Z,3D", ",,,"}},
    };
    for (const Case& c : cases) {
        ChlRun run;
        ReportLog log;
        const std::string path = run.scratch.File("run.csv");
        std::vector<double> asked;
        ExportOptions options;
        options.position.kind = c.kind;
        options.position.source = "the test";
        options.position.at = [&](double utc) -> std::optional<PositionFix> {
            asked.push_back(utc);
            if (asked.size() == 1) return fix;
            PositionFix lost = fix;
            lost.mode = FixMode::None;  // a fix lost keeps its last numbers: not shown
            return lost;
        };
        CsvExporter exporter(log.Reporter());
        ASSERT_TRUE(exporter.Start(path, run.calibration, run.deviceName, options));
        run.chain.AddSink(exporter);
        run.Feed(2);
        ASSERT_TRUE(exporter.Finish());
        std::istringstream in(ReadBytes(path));
        EXPECT_EQ(CsvHeadingOf(in), c.heading);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            std::string line;
            std::getline(in, line);
            const std::string time = "2003-11-20T00:00:0" + std::to_string(i) + "Z,";
            EXPECT_EQ(line.rfind(time + c.rows[i] + ",", 0), 0U) << line;
        }
        EXPECT_EQ(asked, (std::vector<double>{SecondsSinceEpoch({2003, 11, 20, 0, 0, 0}),
                                              SecondsSinceEpoch({2003, 11, 20, 0, 0, 1})}));
        EXPECT_TRUE(log.messages.empty());
    }
}

// The viewer's range export takes the window's facts and its metadata file; a mistake in
// the file stops the export before anything is written, naming the line.
TEST(ExportRange, CarriesTheWindowsFactsAndTheMetadataFilesAttributes) {
    ScratchDirectory scratch;
    const std::string replay = std::string(KIVO_SOURCE_DIR) + "/tests/replay/";
    RangeExportJob job;
    job.rawPath = replay + "bb9_sea.raw";
    job.outputPath = scratch.File("range.nc");
    job.format = ExportFormat::Netcdf;
    {
        std::ifstream file(replay + "bb9_sea.dev");
        FakePrompts prompts;
        ASSERT_TRUE(ReadDeviceFile(file, job.device.calibration, job.device.deviceName, prompts));
    }
    job.device.facts.meterClock = MeterClockZone::Local();
    job.device.facts.deviceFile = DescribeDeviceFile(replay + "bb9_sea.dev");
    job.device.metadataPath = scratch.File("kivoview-metadata.ini");
    WriteBytes(job.device.metadataPath, "institution = Ocean Institute\n");
    job.firstLine = 1;
    job.lastLine = 4;
    LoadProgress progress;
    const RangeExportResult result = ExportRange(job, progress);
    ASSERT_TRUE(result.written) << result.error;
    {
        const NetcdfFile file(job.outputPath);
        EXPECT_EQ(file.Records(), 3u);
        EXPECT_EQ(file.Text(nullptr, "institution"), "Ocean Institute");
        EXPECT_EQ(file.Text(nullptr, "device_file"), "bb9_sea.dev");
        EXPECT_EQ(file.Text(nullptr, "meter_clock_zone").rfind("local time of the computer", 0),
                  0u);
    }

    WriteBytes(job.device.metadataPath, "institution = Ocean Institute\nproject Line P\n");
    job.outputPath = scratch.File("refused.nc");
    const RangeExportResult refused = ExportRange(job, progress);
    EXPECT_FALSE(refused.written);
    EXPECT_NE(refused.error.find("line 2"), std::string::npos) << refused.error;
    EXPECT_FALSE(std::filesystem::exists(job.outputPath));
}

TEST(ExportAttributes, TakesKeyValueLinesAndRefusesWhatWouldNotBeAnAttribute) {
    struct Case {
        const char* lines;
        const char* refusal;  // nullptr: taken
    };
    const Case cases[] = {
        {"institution = Ocean Institute\n# a comment\n; another\n\n  project=Line P  \n", nullptr},
        {"license = CC-BY 4.0 = see the web page\n", nullptr},
        {"institution Ocean Institute\n", "line 1: 'institution Ocean Institute' is not KEY=VALUE"},
        {"\n2nd_station = P4\n", "line 2: '2nd_station' is no attribute name"},
        {"cruise name = PS-123\n", "line 1: 'cruise name' is no attribute name"},
        {"history = made up\n", "line 1: 'history' is written by the program itself"},
        {"device_file_sha256 = 00\n", "line 1: 'device_file_sha256' is written by the program"},
    };
    for (const Case& c : cases) {
        Attributes attributes;
        std::istringstream in(c.lines);
        const std::optional<std::string> refused = ReadAttributeLines(in, attributes);
        if (c.refusal == nullptr) {
            EXPECT_FALSE(refused.has_value()) << c.lines << ": " << refused.value_or("");
        } else {
            ASSERT_TRUE(refused.has_value()) << c.lines;
            EXPECT_EQ(refused->rfind(c.refusal, 0), 0u) << *refused;
        }
    }
    Attributes attributes;
    std::istringstream in("institution = A\nproject = B\n");
    ASSERT_FALSE(ReadAttributeLines(in, attributes));
    ASSERT_FALSE(AddAttribute(attributes, "institution = C"));
    EXPECT_EQ(attributes, (Attributes{{"institution", "C"}, {"project", "B"}}));
    EXPECT_TRUE(AddAttribute(attributes, "comment", "two\nlines").has_value());
    // The window's file is optional; a file asked for is not.
    EXPECT_FALSE(ReadAttributeFile("/no/such/kivoview-metadata.ini", attributes, true));
    EXPECT_TRUE(ReadAttributeFile("/no/such/attributes.txt", attributes, false));
}

TEST(Exporters, AFailureIsToldOnceAndTheExportStops) {
    ChlRun run;
    ReportLog csvLog;
    CsvExporter csv(csvLog.Reporter());
    if (DevFullAvailable()) {
        ASSERT_TRUE(csv.Start("/dev/full", run.calibration, run.deviceName, {}));
        run.chain.AddSink(csv);
    }
    ReportLog ncLog;
    NetcdfExporter netcdf(ncLog.Reporter());
    EXPECT_FALSE(
        netcdf.Start(run.scratch.File("no/such/folder.nc"), run.calibration, run.deviceName, {}));
    EXPECT_FALSE(netcdf.Active());
    ASSERT_EQ(ncLog.messages.size(), 1u);
    EXPECT_NE(ncLog.messages[0].find("no/such/folder.nc"), std::string::npos);

    if (!DevFullAvailable()) GTEST_SKIP() << "no /dev/full";
    run.Feed(3);
    EXPECT_FALSE(csv.Flush());
    EXPECT_FALSE(csv.Active());
    run.Feed(3);
    EXPECT_FALSE(csv.Finish());
    EXPECT_EQ(csvLog.messages.size(), 1u);
}

}  // namespace
}  // namespace kivo::test
