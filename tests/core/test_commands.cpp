#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DecimalCommaLocale.h"
#include "core/protocol/Commands.h"

namespace kivo {
namespace {

struct CommandCase {
    const char* what;
    std::optional<std::string> built;
    std::optional<std::string> expected;
};

TEST(Commands, BuildersGiveTheExactBytes) {
    const LocalTime march2004{2004, 3, 5, 7, 8, 9};
    const LocalTime october2003{2003, 10, 20, 9, 30, 5};
    const LocalTime may2026{2026, 5, 1, 23, 59, 0};
    const LocalTime december1999{1999, 12, 31, 0, 0, 0};
    const LocalTime january2000{2000, 1, 1, 0, 0, 0};
    const std::string fits(kMaxCommandLength - 5, '7');  // every edit keyword is 5 characters
    const std::string oneTooMany = fits + "7";

    const CommandCase cases[] = {
        {"empty average box", BuildEditCommand(EditCommand::Average, ""), "$AVE "},
        {"average", BuildEditCommand(EditCommand::Average, "30"), "$AVE 30"},
        {"untouched interval box", BuildEditCommand(EditCommand::Interval, "HHMMSS"),
         "$INT HHMMSS"},
        {"text not trimmed", BuildEditCommand(EditCommand::Packet, " 12 "), "$PKT  12 "},
        {"text not checked", BuildEditCommand(EditCommand::Sample, "abc"), "$SET abc"},
        {"ph1 on", BuildEditCommand(EditCommand::Ph1OnTime, "5"), "$01n=5"},
        {"ph1 off takes a blank", BuildEditCommand(EditCommand::Ph1OffTime, "5"), "$01f 5"},
        {"ph11 on", BuildEditCommand(EditCommand::Ph11OnTime, "6"), "$11n=6"},
        {"ph11 off", BuildEditCommand(EditCommand::Ph11OffTime, "7"), "$11f=7"},
        {"hex dump", BuildEditCommand(EditCommand::HexDump, "1"), "$hex 1"},
        {"longest that fits", BuildEditCommand(EditCommand::HexDump, fits), "$hex " + fits},
        {"one too long is refused", BuildEditCommand(EditCommand::Average, oneTooMany),
         std::nullopt},
        {"CR would split the line", BuildEditCommand(EditCommand::Average, "3\r$emc"),
         std::nullopt},
        {"LF would split the line", BuildEditCommand(EditCommand::Interval, "3\n$emc"),
         std::nullopt},
        {"NUL would cut the line", BuildEditCommand(EditCommand::Average, std::string("3\0", 2)),
         std::nullopt},

        {"clock", SetClockCommand(march2004), "$CLK 070809"},
        {"date", SetDateCommand(march2004), "$DAT 030504"},
        {"alternate date", SetDateAlternateCommand(march2004), "$SDT 030504"},
        {"alternate time", SetTimeAlternateCommand(march2004), "$SCK 070809"},
        {"clock 09:30:05", SetClockCommand(october2003), "$CLK 093005"},
        {"date 20 October 2003", SetDateCommand(october2003), "$DAT 102003"},
        {"year 2026", SetDateCommand(may2026), "$DAT 050126"},
        {"last second of the day", SetClockCommand(may2026), "$CLK 235900"},
        {"year 1999", SetDateAlternateCommand(december1999), "$SDT 123199"},
        {"year 2000", SetDateCommand(january2000), "$DAT 010100"},

        {"logging off turns it on", LoggingCommand(0), "$REC 1"},
        {"logging on turns it off", LoggingCommand(1), "$REC 0"},
        {"any non-zero is on", LoggingCommand(7), "$REC 0"},
        {"engineering output off", EngrOutputCommand(0), "$cal 1"},
        {"engineering output on", EngrOutputCommand(1), "$cal 0"},
        {"analog range item 0", AnalogRangeCommand(0), "$ASV 1"},
        {"analog range item 1", AnalogRangeCommand(1), "$ASV 2"},
        {"analog range item 2", AnalogRangeCommand(2), "$ASV 4"},
        {"analog range no selection", AnalogRangeCommand(-1), "$ASV 2"},
        {"analog range unknown item", AnalogRangeCommand(3), "$ASV 2"},
        {"scale code", EngrScaleCommand(255), "$ugl 255"},
        {"scale code 1", EngrScaleCommand(1), "$ugl 1"},
        {"offset", EngrOffsetCommand(127), "$off 127"},
        {"offset 0", EngrOffsetCommand(0), "$off 0"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.built, c.expected);
    }
}

struct EntryCase {
    std::string text;
    EntryCheck check;
    long value;
};

void ExpectEntries(EntryResult (*check)(const std::string&), const std::vector<EntryCase>& cases) {
    for (const EntryCase& c : cases) {
        SCOPED_TRACE("entry \"" + c.text + "\"");
        const EntryResult result = check(c.text);
        EXPECT_EQ(result.check, c.check);
        if (c.check == EntryCheck::Accepted) {
            EXPECT_EQ(result.value, c.value);
        }
    }
}

TEST(Commands, ScaleEntry) {
    const std::string longest = "0.001" + std::string(kMaxEntryLength - 5, '0');
    ExpectEntries(CheckScaleEntry, {
                                       {"0.0001", EntryCheck::Accepted, 1},
                                       {"0.0031", EntryCheck::Accepted, 31},
                                       {"0.0255", EntryCheck::Accepted, 255},
                                       {"1e-3", EntryCheck::Accepted, 10},
                                       {" 0.0100xyz", EntryCheck::Accepted, 100},
                                       {"0.00314", EntryCheck::Accepted, 31},
                                       {"0.00316", EntryCheck::Accepted, 32},
                                       // Just under the half in double precision.
                                       {"0.00015", EntryCheck::Accepted, 2},
                                       {"0.0256", EntryCheck::OutOfRange, 0},
                                       {"0.00009", EntryCheck::OutOfRange, 0},
                                       {"-0.001", EntryCheck::OutOfRange, 0},
                                       {"nan", EntryCheck::OutOfRange, 0},
                                       {"inf", EntryCheck::OutOfRange, 0},
                                       {"0,0031", EntryCheck::OutOfRange, 0},  // reads 0
                                       {"abc", EntryCheck::NotANumber, 0},
                                       {"", EntryCheck::NotANumber, 0},
                                       // scanf fails where strtod would read 0 or inf.
                                       {"0x", EntryCheck::NotANumber, 0},
                                       {"0xg", EntryCheck::NotANumber, 0},
                                       {"infin", EntryCheck::NotANumber, 0},
                                       {"0x1p-10", EntryCheck::Accepted, 10},
                                       {longest, EntryCheck::Accepted, 10},
                                       {longest + "0", EntryCheck::TooLong, 0},
                                   });
}

TEST(Commands, EveryFourDecimalScaleSendsItsOwnCode) {
    for (long code = 1; code <= 255; ++code) {
        char text[16];
        std::snprintf(text, sizeof text, "0.%04ld", code);
        const EntryResult result = CheckScaleEntry(text);
        EXPECT_EQ(result.check, EntryCheck::Accepted) << text;
        EXPECT_EQ(result.value, code) << text;
    }
}

TEST(Commands, OffsetEntry) {
    ExpectEntries(CheckOffsetEntry, {
                                        {"127", EntryCheck::Accepted, 127},
                                        {"0", EntryCheck::Accepted, 0},
                                        {"-0", EntryCheck::Accepted, 0},
                                        {" +7", EntryCheck::Accepted, 7},
                                        {"12abc", EntryCheck::Accepted, 12},
                                        {"128", EntryCheck::OutOfRange, 0},
                                        {"-1", EntryCheck::OutOfRange, 0},
                                        {"4294967296", EntryCheck::OutOfRange, 0},
                                        {"99999999999999999999", EntryCheck::OutOfRange, 0},
                                        {"-99999999999999999999", EntryCheck::OutOfRange, 0},
                                        {"abc", EntryCheck::NotANumber, 0},
                                        {"-", EntryCheck::NotANumber, 0},
                                        {"", EntryCheck::NotANumber, 0},
                                        {std::string(100, '1'), EntryCheck::TooLong, 0},
                                    });
}

TEST(Commands, Password) {
    const struct {
        const char* entry;
        bool matches;
    } cases[] = {
        {"MarbleOwl", true},  {"MarbleOwl and more", true}, {"MarbleOw", false},
        {"", false},          {"marbleowl", false},         {"MARBLEOWL", false},
        {"MarbleOwI", false}, {" MarbleOwl", false},
    };
    for (const auto& c : cases) EXPECT_EQ(PasswordMatches(c.entry), c.matches) << c.entry;
}

TEST(Commands, ScaleEntryIgnoresADecimalCommaLocale) {
    const DecimalCommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no decimal-comma locale can be made here";
    double plain = 0.0;
    ASSERT_EQ(std::sscanf("0.5", "%lf", &plain), 1);
    ASSERT_EQ(plain, 0.0) << "the locale does not reach scanf, so this test proves nothing";

    EXPECT_EQ(CheckScaleEntry("0.0031").value, 31);
    EXPECT_EQ(CheckScaleEntry("0.0255").check, EntryCheck::Accepted);
    EXPECT_EQ(CheckScaleEntry("0,0031").check, EntryCheck::OutOfRange);
    EXPECT_EQ(std::string(std::localeconv()->decimal_point), ",") << "locale not restored";
}

}  // namespace
}  // namespace kivo
