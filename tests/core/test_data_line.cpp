#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "DecimalCommaLocale.h"
#include "FakePrompts.h"
#include "core/chain/DataChain.h"
#include "core/data/DataLine.h"
#include "core/data/DeviceFile.h"

namespace kivo {
namespace {

using test::FakePrompts;

class FixedClock final : public Clock {
public:
    LocalTime now{2004, 3, 5, 7, 8, 9};
    LocalTime Now() override { return now; }
};

TEST(SplitDataLine, FieldKindsAndRefusals) {
    struct Case {
        const char* line;
        bool alternate;
        int fields;
    };
    const Case cases[] = {
        {"12\t34", false, 2},
        {"-12.5", false, 1},
        {"1.5E3", false, 0},  // a letter
        {"12 34", false, 0},  // a blank
        {"+5", false, 0},
        {"KIVO FL v1.16", false, 0},
        {"", false, 0},
        {"5\t", false, 0},  // trailing TAB: empty last field
        {"\t5", false, 0},
        {"5\t\t6", false, 0},
        {"-", false, 0},
        {".", false, 0},
        {"--5", false, 0},
        {"12:30", false, 0},  // one colon
        {"12:30:45", false, 1},
        {"1:2:3:4", false, 0},
        {"11/20/03", false, 1},
        {"11/20", false, 0},
        {"11/20/03:12", false, 1},  // two slashes, one colon: a date
        {"11/20:30:45", false, 0},  // two colons decide: a time, but "11/" breaks it
        {"12:30:x5", false, 0},
        {"112003\t123045\t7", true, 3},
        {"112003\t123045\t11/20/03\t1", true, 4},
        {"11/20/03\t123045\t7", true, 0},  // no separators in the compact date
        {"112003\t12:30:45\t7", true, 0},
        {"1120\t123045", true, 0},   // compact date without its year
        {"11200\t123045", true, 2},  // "%2d" takes the single digit: year 0
        {"12\t34", true, 0},         // first fields are not compact dates
        {"5\r", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SplitLine split;
        EXPECT_EQ(SplitDataLine(c.line, c.alternate, split), c.fields);
        if (c.fields == 0) {
            EXPECT_FALSE(split.date.has_value());
            EXPECT_FALSE(split.time.has_value());
        }
    }
}

TEST(SplitDataLine, ValuesDatesAndTimes) {
    SplitLine split;
    ASSERT_EQ(SplitDataLine("11/20/03\t12:30:45\t-12.5\t4050\t1.2.3\t7-3\t.5", false, split), 7);
    ASSERT_TRUE(split.date.has_value());
    EXPECT_EQ(split.date->month, 11);
    EXPECT_EQ(split.date->day, 20);
    EXPECT_EQ(split.date->year, 3);
    ASSERT_TRUE(split.time.has_value());
    EXPECT_EQ(split.time->hour, 12);
    EXPECT_EQ(split.time->minute, 30);
    EXPECT_EQ(split.time->second, 45);
    EXPECT_EQ(split.values[2], -12.5);
    EXPECT_EQ(split.values[3], 4050.0);
    EXPECT_EQ(split.values[4], 1.2);  // the rest after a number is ignored
    EXPECT_EQ(split.values[5], 7.0);
    EXPECT_EQ(split.values[6], 0.5);

    ASSERT_EQ(SplitDataLine("112003\t123045\t0.25", true, split), 3);
    ASSERT_TRUE(split.date && split.time);
    EXPECT_EQ(split.date->month, 11);
    EXPECT_EQ(split.date->day, 20);
    EXPECT_EQ(split.date->year, 3);
    EXPECT_EQ(split.time->hour, 12);
    EXPECT_EQ(split.time->minute, 30);
    EXPECT_EQ(split.time->second, 45);
    EXPECT_EQ(split.values[2], 0.25);
}

TEST(SplitDataLine, FixedLimitsRefuseSafely) {
    SplitLine split;
    const std::string longest(kMaxFieldLength, '1');
    EXPECT_EQ(SplitDataLine("7\t" + longest, false, split), 2);
    EXPECT_EQ(SplitDataLine("7\t" + longest + "1", false, split), 0);

    std::string fields = "1";
    for (int i = 1; i < kSlots; ++i) fields += "\t" + std::to_string(i + 1);
    ASSERT_EQ(SplitDataLine(fields, false, split), kSlots);
    EXPECT_EQ(split.values[kSlots - 1], 75.0);
    EXPECT_EQ(SplitDataLine(fields + "\t76", false, split), 0);
}

TEST(SplitDataLine, NumbersIgnoreADecimalCommaLocale) {
    SplitLine split;
    int fields = 0;
    {
        const DecimalCommaLocale locale;
        if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
        fields = SplitDataLine("12.5\t-0.125", false, split);
    }
    ASSERT_EQ(fields, 2);
    EXPECT_EQ(split.values[0], 12.5);
    EXPECT_EQ(split.values[1], -0.125);
}

// The data chain with a device file loaded from text.
class ParseDataLineTest : public ::testing::Test {
protected:
    DeviceCalibration cal;
    std::unique_ptr<DataChain> chain = std::make_unique<DataChain>(cal);
    FixedClock clock;
    FakePrompts prompts;
    std::vector<ColumnMismatch> mismatches;  // the events the operator must be told of
    bool deviceLoaded = false;
    bool alternate = false;

    const LineCounts& Counts() const { return chain->Counts(); }
    const Sample& Current() const { return chain->Current(); }
    const MeterClock& meterClock() const { return Current().meterClock; }
    const HostClockSnapshot& host() const { return Current().hostClock; }

    void LoadDevice(const std::string& text) {
        std::istringstream in(text);
        std::string name;
        chain->DeviceFileLoaded();
        ASSERT_TRUE(ReadDeviceFile(in, cal, name, prompts));
        deviceLoaded = true;
    }

    bool Parse(const std::string& line) {
        const LineOutcome outcome =
            chain->Accept(line, deviceLoaded, {alternate, false, false}, clock);
        if (outcome.mismatch) mismatches.push_back(*outcome.mismatch);
        return outcome.dataLine;
    }
};

constexpr const char* kFluoro =
    "FL\nColumns=6\nDate=1\nTime=2\nCHL=3 0.0121 50\nCHLREF=4\nNTU=5 1 0\niTemp=6 0.01 -10\n";

TEST_F(ParseDataLineTest, StoresRawValuesByTypeAndCapturesFirstReference) {
    LoadDevice(kFluoro);
    ASSERT_TRUE(Parse("11/20/03\t12:30:45\t4050\t2001\t130\t3000"));
    EXPECT_EQ(Current().counts[25], 4050.0);
    EXPECT_EQ(Current().counts[31], 2001.0);
    EXPECT_EQ(Current().counts[52], 130.0);
    EXPECT_EQ(Current().counts[39], 3000.0);
    EXPECT_EQ(Current().rawITemp, 3000.0);
    EXPECT_EQ(Current().firstReference[31], 2001.0);
    EXPECT_EQ(Current().counts[1], 0.0);  // date and time columns store nothing
    EXPECT_EQ(Current().counts[2], 0.0);

    ASSERT_TRUE(Parse("11/20/03\t12:30:46\t4060\t1990\t131\t3001"));
    EXPECT_EQ(Current().counts[31], 1990.0);
    EXPECT_EQ(Current().firstReference[31], 2001.0);  // only the first after the load

    LoadDevice(kFluoro);  // a load re-arms the capture
    ASSERT_TRUE(Parse("11/20/03\t12:30:47\t4060\t1980\t131\t3001"));
    EXPECT_EQ(Current().firstReference[31], 1980.0);
}

TEST_F(ParseDataLineTest, MeterAndHostClocks) {
    LoadDevice(kFluoro);
    ASSERT_TRUE(Parse("11/20/03\t12:30:45\t1\t2\t3\t4"));
    EXPECT_EQ(meterClock().month, 11);
    EXPECT_EQ(meterClock().day, 20);
    EXPECT_EQ(meterClock().year, 3);
    EXPECT_EQ(meterClock().hour, 12);
    EXPECT_EQ(meterClock().minute, 30);
    EXPECT_EQ(meterClock().second, 45);
    EXPECT_EQ(host().year, 4);
    EXPECT_EQ(host().month, 3);
    EXPECT_EQ(host().day, 5);
    EXPECT_EQ(host().hour, 7);
    EXPECT_EQ(host().second, 9);

    // A line without date and time fields leaves the meter clock as it was.
    LoadDevice("N\nColumns=2\nCHL=1 1 0\nNTU=2 1 0\n");
    clock.now.second = 10;
    ASSERT_TRUE(Parse("5\t6"));
    EXPECT_EQ(meterClock().month, 11);
    EXPECT_EQ(meterClock().second, 45);
    EXPECT_EQ(host().second, 10);
}

TEST_F(ParseDataLineTest, RefusedLinesGoToTheReplyParserWithoutCountingAMismatch) {
    LoadDevice(kFluoro);
    for (const char* line : {"KIVO FL v1.16", "AVE 10", "1\t2\t3\t4\t5\t6 ", ""}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(Parse(line));
        EXPECT_EQ(Counts().MismatchCount, 0);
    }
    EXPECT_EQ(Counts().DataLineCount, 0.0);
}

TEST_F(ParseDataLineTest, SixthMismatchInARowWarnsOnce) {
    LoadDevice("M\nColumns=5\nCHL=1 1 0\n");
    const std::string shortLine = "1\t2\t3\t4";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(Parse(shortLine));
        EXPECT_TRUE(mismatches.empty());
        EXPECT_FALSE(Parse(shortLine));
        ASSERT_EQ(mismatches.size(), 1u);
        EXPECT_EQ(mismatches[0].found, 4);
        EXPECT_EQ(mismatches[0].expected, 5);
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(Parse(shortLine + "\t5\t6"));
        EXPECT_EQ(mismatches.size(), 1u);
        EXPECT_EQ(Counts().MismatchCount, 11);

        // A good line ends the run; the next run warns again.
        EXPECT_TRUE(Parse(shortLine + "\t5"));
        EXPECT_EQ(Counts().MismatchCount, 0);
        mismatches.clear();
    }
}

TEST_F(ParseDataLineTest, WithoutDeviceFileEveryLineIsData) {
    cal.definitionCount = 3;  // must not reach into fields the line lacks
    cal.columnType[0] = 25;
    cal.columnType[1] = 25;
    cal.columnType[2] = 52;
    EXPECT_TRUE(Parse("KIVO FL v1.16 S/N 0107"));
    EXPECT_TRUE(Parse("12"));
    EXPECT_EQ(Current().counts[25], 12.0);
    EXPECT_EQ(Current().counts[52], 0.0);
    EXPECT_EQ(Counts().DataLineCount, 2.0);
    EXPECT_EQ(meterClock().month, 99);
}

TEST_F(ParseDataLineTest, SampleNumberStartsAtZeroWithDateAndOneWithout) {
    struct Case {
        const char* device;
        const char* line;
        double firstX;
    };
    const Case cases[] = {
        {"D\nColumns=2\nDate=1\nCHL=2 1 0\n", "11/20/03\t5", 0.0},
        {"N\nColumns=2\nTime=1\nCHL=2 1 0\n", "12:30:45\t5", 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        chain = std::make_unique<DataChain>(cal);
        EXPECT_EQ(Counts().SampleX, 0.01);
        LoadDevice(c.device);
        ASSERT_TRUE(Parse(c.line));
        EXPECT_EQ(Counts().SampleX, c.firstX);
        EXPECT_EQ(Counts().FirstLineCount, 1.0);
        ASSERT_TRUE(Parse(c.line));
        EXPECT_EQ(Counts().SampleX, c.firstX + 1.0);
        LoadDevice(c.device);  // a new device file does not restart the count
        ASSERT_TRUE(Parse(c.line));
        EXPECT_EQ(Counts().SampleX, c.firstX + 2.0);
        EXPECT_EQ(Counts().DataLineCount, 3.0);
    }
}

TEST_F(ParseDataLineTest, AlternateModeReadsCompactDateAndTime) {
    alternate = true;
    LoadDevice("A\nColumns=3\nDate=1\nTime=2\nCHL=3 1 0\n");
    ASSERT_TRUE(Parse("112003\t123045\t4050"));
    EXPECT_EQ(meterClock().month, 11);
    EXPECT_EQ(meterClock().day, 20);
    EXPECT_EQ(meterClock().year, 3);
    EXPECT_EQ(meterClock().hour, 12);
    EXPECT_EQ(meterClock().minute, 30);
    EXPECT_EQ(meterClock().second, 45);
    EXPECT_EQ(Current().counts[25], 4050.0);
    EXPECT_FALSE(Parse("11/20/03\t12:30:45\t4050"));
}

}  // namespace
}  // namespace kivo
