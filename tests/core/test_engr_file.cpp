#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "DecimalCommaLocale.h"
#include "FakePrompts.h"
#include "FileBytes.h"
#include "core/data/DeviceFile.h"
#include "core/recording/EngrRecording.h"
#include "core/recording/Recorders.h"

namespace kivo {
namespace {

DeviceCalibration Load(const std::string& name) {
    DeviceCalibration calibration;
    std::string deviceName;
    test::FakePrompts prompts;
    std::ifstream in(std::string(KIVO_TEST_DATA) + "/" + name, std::ios::binary);
    EXPECT_TRUE(ReadDeviceFile(in, calibration, deviceName, prompts)) << name;
    EXPECT_TRUE(prompts.warnings.empty()) << name;
    return calibration;
}

// A calibration with the given column types in columns 1, 2, ...
DeviceCalibration Columns(const std::vector<int>& types) {
    DeviceCalibration calibration;
    for (std::size_t i = 0; i < types.size(); ++i) {
        calibration.columnType[i] = types[i];
    }
    calibration.definitionCount = static_cast<std::int32_t>(types.size());
    return calibration;
}

MeterClock At(int month, int day, int year, int hour, int minute, int second) {
    MeterClock clock;
    clock.month = month;
    clock.day = day;
    clock.year = year;
    clock.hour = hour;
    clock.minute = minute;
    clock.second = second;
    return clock;
}

TEST(EngrHeading, DeviceFilesInTheTestData) {
    struct Case {
        const char* file;
        const char* heading;
    };
    const Case cases[] = {
        {"fluoro.dev", "Count\tDate\tTime\tCHL(ug/l)\tNTU\tiTemp(C)\r\n"},
        {"scatter_ref.dev",
         "Count\tDate\tTime"
         "\tBeta(470)\tBetap(470)\tbbp(470)\tbb(470))"
         "\tBeta(532)\tBetap(532)\tbbp(532)\tbb(532))"
         "\tBeta(650)\tBetap(650)\tbbp(650)\tbb(650))\tiTemp(C)\r\n"},
        {"every_type.dev",
         "Count\tDate\tTime"
         "\tBeta(470)\tBetap(470)\tbbp(470)\tbb(470))"
         "\tBeta(532)\tBetap(532)\tbbp(532)\tbb(532))"
         "\tB(100)\tB(125)\tB(150)\tCHL(ug/l)\tiEngr(mg/m^3)\tpcyan(raw)\tperyth(raw)"
         "\tur(raw)\trhod(raw)\tCDOM(raw)\tNTU\tNTU\tiTemp(C)\txTemp(C)\tPres(dbar)\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const DeviceCalibration calibration = Load(c.file);
        EXPECT_EQ(EngrHeading(calibration, calibration.definitionCount), c.heading);
    }
}

TEST(EngrRecord, EveryRecordedTypeInColumnOrder) {
    const DeviceCalibration loaded = Load("every_type.dev");
    DeviceCalibration calibration = loaded;
    EngineeringValues v;
    v.vsf[column::kVsf100] = 0.0123;
    v.vsf[column::kVsf125] = 0.00456;
    v.vsf[column::kVsf150] = 12.5;
    v.beta[7] = 0.001234;
    v.betap[7] = 0.000987;
    v.bbp[7] = 0.004321;
    v.bb[7] = 0.005432;
    v.beta[8] = -0.0000004;  // rounds to a negative zero
    v.betap[8] = 1.5;
    v.bbp[8] = 99999.0;  // the "nothing plotted" marker is written as it is
    v.bb[8] = 0.0000004;
    v.chl = 1.2345;
    v.meterEngr = 7.0;
    v.phycocyanin = 0.5;
    v.phycoerythrin = -2.25;
    v.uranine = 100.0;
    v.rhodamine = 12345.678;
    v.cdom = 3.0;
    v.lss = 0.0625;
    v.ntu = 42.0;
    v.iTemp = 21.5;
    v.xTemp = -1.75;
    v.pressure = 12.34;
    EXPECT_EQ(
        EngrRecord(12.0, At(12, 5, 3, 14, 30, 5), calibration, calibration.definitionCount, v),
        "12\t120503\t143005"
        "\t0.001234\t0.000987\t0.004321\t0.005432"
        "\t-0.000000\t1.500000\t99999.000000\t0.000000"
        "\t0.0123\t0.0046\t12.5000\t1.2345\t7.0000\t0.5000\t-2.2500"
        "\t100.0000\t12345.6780\t3.0000\t0.0625\t42.0000\t21.5000\t-1.7500\t 12.3\r\n");
}

TEST(EngrRecord, TheExampleOfFiveColumns) {
    DeviceCalibration calibration =
        Columns({column::kDate, column::kTime, 8, column::kChl, column::kITemp});
    calibration.wavelength[8] = 470;
    EngineeringValues v;
    v.beta[8] = 0.001234;
    v.betap[8] = 0.000987;
    v.bbp[8] = 0.004321;
    v.bb[8] = 0.005432;
    v.chl = 1.2345;
    v.iTemp = 21.5;
    EXPECT_EQ(
        EngrHeading(calibration, 5),
        "Count\tDate\tTime\tBeta(470)\tBetap(470)\tbbp(470)\tbb(470))\tCHL(ug/l)\tiTemp(C)\r\n");
    EXPECT_EQ(EngrRecord(12.0, At(12, 5, 3, 14, 30, 5), calibration, 5, v),
              "12\t120503\t143005\t0.001234\t0.000987\t0.004321\t0.005432\t1.2345\t21.5000\r\n");
}

TEST(EngrRecord, FieldFormats) {
    struct Case {
        const char* name;
        int type;
        double value;
        const char* piece;
    };
    const Case cases[] = {
        {"pressure: one decimal, at least five wide", column::kPres, 12.34, "\t 12.3"},
        {"pressure wider than five", column::kPres, 1234.56, "\t1234.6"},
        {"negative pressure", column::kPres, -0.04, "\t -0.0"},
        {"temperature: four decimals", column::kITemp, 21.5, "\t21.5000"},
        {"small value is padded to six", column::kXTemp, 0.5, "\t0.5000"},
        {"NTU", column::kNtu, 0.00004, "\t0.0000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceCalibration calibration = Columns({c.type});
        EngineeringValues v;
        v.pressure = v.iTemp = v.xTemp = v.ntu = c.value;
        EXPECT_EQ(EngrRecord(1.0, At(1, 2, 3, 4, 5, 6), calibration, 1, v),
                  std::string("1\t010203\t040506") + c.piece + "\r\n");
    }
}

TEST(EngrRecord, FixedFields) {
    struct Case {
        double sampleX;
        MeterClock clock;
        const char* line;
    };
    const Case cases[] = {
        {0.01, MeterClock{}, "0\t990000\t000000\r\n"},  // before any line; no date sent
        {1234567.0, At(11, 20, 3, 23, 59, 58), "1234567\t112003\t235958\r\n"},
        {7.6, At(1, 1, 0, 0, 0, 0), "8\t010100\t000000\r\n"},
    };
    const DeviceCalibration none;
    for (const Case& c : cases) {
        EXPECT_EQ(EngrRecord(c.sampleX, c.clock, none, 0, EngineeringValues{}), c.line);
    }
    EXPECT_EQ(EngrHeading(none, 0), "Count\tDate\tTime\r\n");
}

TEST(EngrRecord, UnrecordedColumnsAddNothing) {
    const std::vector<int> recorded = {column::kChl, column::kPres};
    const std::vector<int> withOthers = {
        column::kDate, column::kChl, column::kChlRef, column::kIgnored, column::kTime,
        column::kPres, 17,           column::kNtuRef, column::kLssRef};
    const DeviceCalibration plain = Columns(recorded);
    const DeviceCalibration mixed = Columns(withOthers);
    EngineeringValues v;
    v.chl = 2.0;
    v.pressure = 3.0;
    const MeterClock clock = At(3, 4, 5, 6, 7, 8);
    EXPECT_EQ(EngrHeading(mixed, mixed.definitionCount), EngrHeading(plain, 2));
    EXPECT_EQ(EngrRecord(5.0, clock, mixed, mixed.definitionCount, v),
              EngrRecord(5.0, clock, plain, 2, v));
}

TEST(EngrRecord, ColumnCountIsHeldToTheTable) {
    DeviceCalibration calibration;
    calibration.columnType.fill(column::kChl);
    EngineeringValues v;
    v.chl = 1.0;
    std::string expected = "9\t990000\t000000";
    for (int i = 0; i < kSlots; ++i) expected += "\t1.0000";
    expected += "\r\n";
    EXPECT_EQ(EngrRecord(9.0, MeterClock{}, calibration, 1000, v), expected);
    EXPECT_EQ(EngrRecord(9.0, MeterClock{}, calibration, -3, v), "9\t990000\t000000\r\n");
    EXPECT_EQ(EngrHeading(calibration, 2), "Count\tDate\tTime\tCHL(ug/l)\tCHL(ug/l)\r\n");
}

TEST(EngrRecord, HugeValuesAreWrittenWhole) {
    const DeviceCalibration calibration = Columns({column::kChl});
    EngineeringValues v;
    v.chl = 1e300;
    const std::string line = EngrRecord(1.0, MeterClock{}, calibration, 1, v);
    EXPECT_EQ(line.size(), std::string("1\t990000\t000000\t").size() + 301 + 5 + 2);
    EXPECT_EQ(line.substr(line.size() - 7), ".0000\r\n");
}

TEST(EngrRecord, DecimalCommaLocaleChangesNothing) {
    DeviceCalibration calibration = Columns({7, column::kPres});
    calibration.wavelength[7] = 470;
    EngineeringValues v;
    v.beta[7] = 0.25;
    v.pressure = 12.34;
    std::string line;
    {
        const DecimalCommaLocale locale;
        if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
        line = EngrRecord(2.0, MeterClock{}, calibration, 2, v);
    }
    EXPECT_EQ(line, "2\t990000\t000000\t0.250000\t0.000000\t0.000000\t0.000000\t 12.3\r\n");
}

TEST(EngrFile, HeadingThenRecordsAndTheByteCount) {
    const DeviceCalibration calibration = Load("fluoro.dev");
    test::ScratchDirectory dir;
    EngrRecorder recorder(calibration, nullptr);
    ASSERT_TRUE(recorder.Start(dir.File("data.eng")));
    Sample sample;
    sample.engineering.chl = 0.5;
    sample.engineering.ntu = 1.25;
    sample.engineering.iTemp = 20.0;
    for (const int second : {45, 46}) {
        sample.x = second - 44;
        sample.meterClock = At(11, 20, 3, 12, 30, second);
        recorder.OnSample(sample);
    }
    ASSERT_TRUE(recorder.Active());
    const std::string expected =
        "Count\tDate\tTime\tCHL(ug/l)\tNTU\tiTemp(C)\r\n"
        "1\t112003\t123045\t0.5000\t1.2500\t20.0000\r\n"
        "2\t112003\t123046\t0.5000\t1.2500\t20.0000\r\n";
    EXPECT_EQ(recorder.ByteCount(), static_cast<std::int64_t>(expected.size()));
    recorder.Stop();
    EXPECT_EQ(test::ReadBytes(dir.File("data.eng")), expected);
}

}  // namespace
}  // namespace kivo
