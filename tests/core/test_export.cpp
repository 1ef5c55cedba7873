// The exporters' own faults that the corpus round trip (tests/system/test_export.cpp) cannot
// reach: records across the NetCDF batch boundary, calendar edges, RFC 4180 quoting and
// failures told once.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "FakePrompts.h"
#include "FileBytes.h"
#include "core/chain/DataChain.h"
#include "core/data/DeviceFile.h"
#include "core/export/CsvExporter.h"
#include "core/export/NetcdfExporter.h"

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
    EXPECT_EQ(SecondsSinceEpoch({1970, 1, 1, 0, 0, 0}), 0.0);
    EXPECT_EQ(SecondsSinceEpoch({2000, 3, 1, 0, 0, 1}), 951868801.0);
    EXPECT_EQ(SecondsSinceEpoch({1969, 12, 31, 23, 59, 59}), -1.0);
}

TEST(CsvField, QuotesOnlyFieldsThatWouldSplitTheLine) {
    EXPECT_EQ(CsvField("iEngr(FTU)"), "iEngr(FTU)");
    EXPECT_EQ(CsvField("iEngr(mg,l)"), "\"iEngr(mg,l)\"");
    EXPECT_EQ(CsvField("iEngr(\"x\")"), "\"iEngr(\"\"x\"\")\"");
}

TEST(ShortestText, ReadsBackAsTheSameDouble) {
    for (const double value : {1.2e-5, 0.1 + 0.2, -0.0, 48.39999973773956, 1e300, 5e-324}) {
        EXPECT_EQ(std::strtod(ShortestText(value).c_str(), nullptr), value) << ShortestText(value);
    }
    EXPECT_EQ(ShortestText(0.000125), "0.000125");
    EXPECT_EQ(ShortestText(-std::numeric_limits<double>::quiet_NaN()), "nan");
    EXPECT_EQ(ShortestText(-std::numeric_limits<double>::infinity()), "-inf");
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
    // Line n: 11/20/03, n seconds after 00:00:00, counts 1000 + n.
    void Feed(int lines) {
        for (int end = fed + lines; fed < end; ++fed) {
            const int n = fed;
            char line[64];
            std::snprintf(line, sizeof line, "11/20/03\t%02d:%02d:%02d\t%d", n / 3600, n / 60 % 60,
                          n % 60, 1000 + n);
            chain.Accept(line, true, ChainOptions{}, clock);
        }
    }
};

// A logger syncs whenever it likes, so batches start anywhere.
TEST(NetcdfExporter, KeepsEveryRecordInPlaceAcrossBatchesAndSyncs) {
    ChlRun run;
    ReportLog log;
    NetcdfExporter exporter(log.Reporter());
    const std::string path = run.scratch.File("run.nc");
    ASSERT_TRUE(exporter.Start(path, run.calibration, run.deviceName, ExportOptions{"test 1", ""}));
    run.chain.AddSink(exporter);
    const int lines = static_cast<int>(2 * NetcdfExporter::kBatch + 3);
    run.Feed(static_cast<int>(NetcdfExporter::kBatch / 2));
    EXPECT_TRUE(exporter.Sync());
    run.Feed(lines - run.fed);
    ASSERT_TRUE(exporter.Finish());
    EXPECT_TRUE(log.messages.empty());

    int ncid = -1;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &ncid), NC_NOERR);
    int dimension = -1;
    std::size_t length = 0;
    ASSERT_EQ(nc_inq_dimid(ncid, "time", &dimension), NC_NOERR);
    ASSERT_EQ(nc_inq_dimlen(ncid, dimension, &length), NC_NOERR);
    EXPECT_EQ(length, static_cast<std::size_t>(lines));
    const auto read = [&](const char* name) {
        int varid = -1;
        std::vector<double> values(length);
        EXPECT_EQ(nc_inq_varid(ncid, name, &varid), NC_NOERR) << name;
        EXPECT_EQ(nc_get_var_double(ncid, varid, values.data()), NC_NOERR) << name;
        return values;
    };
    const std::vector<double> time = read("time");
    const std::vector<double> counts = read("counts_3");
    const std::vector<double> chl = read("chl");
    nc_close(ncid);
    const double midnight = SecondsSinceEpoch({2003, 11, 20, 0, 0, 0});
    for (int n = 0; n < lines; ++n) {
        const auto i = static_cast<std::size_t>(n);
        ASSERT_EQ(time[i], midnight + n) << n;
        ASSERT_EQ(counts[i], 1000 + n) << n;
        ASSERT_NEAR(chl[i], (950 + n) * 0.0121, 1e-6) << n;
    }
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
