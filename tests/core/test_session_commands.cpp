#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "SessionFixture.h"

namespace kivo::test {
namespace {

struct ButtonCase;
// The button's handler, given what the window would pass it.
using Handler = std::function<void(Session&, const ButtonCase&)>;

struct ButtonCase {
    const char* name;
    Handler handler;
    bool alternate = false;
    bool powerUser = false;
    std::string editText;  // what the operator typed beside the button
    std::string sent;
    bool notStored = false;  // the "Setup Not Stored" panel appears
    int activePage = PageSetup;
    std::uint32_t loggingOn = 0;
    std::uint32_t engrOutputOn = 0;
    int analogItem = 1;
    bool answerYes = false;  // the answer to a question the button asks first
};

class MeterButtons : public ::testing::TestWithParam<ButtonCase> {};

TEST_P(MeterButtons, SendExactlyTheirCommand) {
    const ButtonCase& c = GetParam();
    SessionFixture f;
    f.clock.now = LocalTime{2004, 3, 5, 7, 8, 9};
    f.OpenMeterPort();
    f.Ticks(10);  // let the automatic "$mnu" go first
    f.port.written.clear();
    if (c.alternate) f.session.Meter().ToggleAlternateCommands();
    f.session.State().powerUser = c.powerUser ? 1 : 0;
    f.session.Meter().Setup().loggingOn = c.loggingOn;
    f.session.Meter().Setup().engrOutputOn = c.engrOutputOn;
    f.prompts.yesNoAnswers.push_back(c.answerYes);

    c.handler(f.session, c);

    EXPECT_EQ(f.port.written, c.sent);
    EXPECT_EQ(f.Shown().setup.setupStored == false, c.notStored);
}

ButtonCase Case(const char* name, Handler handler, std::string sent, bool notStored = false) {
    ButtonCase c;
    c.name = name;
    c.handler = std::move(handler);
    c.sent = std::move(sent);
    c.notStored = notStored;
    return c;
}

ButtonCase Case(const char* name, void (Session::*handler)(), std::string sent,
                bool notStored = false) {
    return Case(
        name, [handler](Session& s, const ButtonCase&) { (s.*handler)(); }, std::move(sent),
        notStored);
}

ButtonCase Case(const char* name, void (MeterCommander::*command)(), std::string sent,
                bool notStored = false) {
    return Case(
        name, [command](Session& s, const ButtonCase&) { (s.Meter().*command)(); }, std::move(sent),
        notStored);
}

ButtonCase Case(const char* name, void (MeterCommander::*command)(const std::string&),
                std::string sent, bool notStored = false) {
    return Case(
        name, [command](Session& s, const ButtonCase& c) { (s.Meter().*command)(c.editText); },
        std::move(sent), notStored);
}

ButtonCase WithEdit(ButtonCase c, const char* text) {
    c.editText = text;
    return c;
}

// The reload buttons are told whether the Advanced Setup page is in front.
void Reload(Session& s, const ButtonCase& c) {
    s.Meter().ReloadStoredSetup(c.activePage == PageAdvanced);
}
void AnalogRange(Session& s, const ButtonCase& c) { s.Meter().SetAnalogRange(c.analogItem); }

ButtonCase Alternate(ButtonCase c) {
    c.alternate = true;
    return c;
}

ButtonCase Yes(ButtonCase c) {
    c.answerYes = true;
    return c;
}

ButtonCase PowerUser(ButtonCase c) {
    c.powerUser = true;
    return c;
}

std::vector<ButtonCase> Cases() {
    std::vector<ButtonCase> cases = {
        Case("Start", &Session::BTStartClick, "$run\r\n"),
        Case("StopIsFiveBytes", &Session::BTStopClick, "!!!!!"),
        Case("Cancel", &Session::BitBtnCancelClick, "!!!!!"),
        WithEdit(Case("Average", &MeterCommander::SetAverage, "$AVE 60\r\n", true), "60"),
        WithEdit(Case("AverageEmptyBox", &MeterCommander::SetAverage, "$AVE \r\n", true), ""),
        WithEdit(Case("Packet", &MeterCommander::SetSampleCount, "$PKT 0\r\n", true), "0"),
        WithEdit(Case("Cycles", &MeterCommander::SetCycleCount, "$SET 1\r\n", true), "1"),
        WithEdit(
            Case("IntervalDefault", &MeterCommander::SetCycleInterval, "$INT HHMMSS\r\n", true),
            "HHMMSS"),
        Case("GetRamSetup", &MeterCommander::AskSetup, "$mnu\r\n"),
        Case("GetDateTimeSetup", &MeterCommander::AskDateAndTime, "$mnu\r\n"),
        Alternate(
            Case("GetDateTimeAlternate", &MeterCommander::AskDateAndTime, "$clk\r\n$dat\r\n")),
        Case("LoggingOn", &MeterCommander::ToggleLogging, "$REC 1\r\n", true),
        Yes(Case("Erase", &MeterCommander::EraseMemory, "$emc\r\n")),
        // The computer's UTC clock (2026-12-08 16:02:03), not its local one.
        Case("SetDateAndTime", &MeterCommander::SetMeterClock, "$CLK 160203\r\n$DAT 120826\r\n"),
        Alternate(Case("SetDateAlternate", &MeterCommander::SetMeterClock, "$SDT 120826\r\n")),
        Alternate(Case("SetTimeAlternate", &MeterCommander::SetMeterTime, "$SCK 160203\r\n")),
        Case("OpenShutter", &MeterCommander::OpenShutter, "$mvs 1\r\n"),
        Case("CloseShutter", &MeterCommander::CloseShutter, "$mvs 0\r\n"),
        Case("Store", &MeterCommander::StoreSetup, "$sto\r\n"),
        Case("ReloadOnSetupPage", Reload, "$rls\r\n"),
        Case("GetTiming", &MeterCommander::AskTimings, "$par\r\n"),
        Case("GetFLSetup", &MeterCommander::AskFlSetup, "$par\r\n"),
        Case("Ph1OnNormalUser", &MeterCommander::SetPh1OnTime, ""),
        Case("SwapNormalUser", &MeterCommander::SwapTimings, ""),
        PowerUser(WithEdit(Case("Ph1On", &MeterCommander::SetPh1OnTime, "$01n=7\r\n", true), "7")),
        PowerUser(
            WithEdit(Case("Ph1Off", &MeterCommander::SetPh1OffTime, "$01f 7\r\n", true), "7")),
        PowerUser(
            WithEdit(Case("Ph11On", &MeterCommander::SetPh11OnTime, "$11n=7\r\n", true), "7")),
        PowerUser(
            WithEdit(Case("Ph11Off", &MeterCommander::SetPh11OffTime, "$11f=7\r\n", true), "7")),
        PowerUser(Case("Swap", &MeterCommander::SwapTimings, "$swp\r\n", true)),
        Case("OneMeasurement", &MeterCommander::MeasureOnce, "$one\r\n"),
        WithEdit(Case("HexDump", &MeterCommander::HexDump, "$hex 1\r\n"), "1"),
        Case("AnalogRangeStd", AnalogRange, "$ASV 2\r\n", true),
        Case("EngrOutputOn", &MeterCommander::ToggleEngrOutput, "$cal 1\r\n", true),
        WithEdit(Case("ScaleRoundsToNearest", &MeterCommander::SetEngrScale, "$ugl 31\r\n", true),
                 "0.0031"),
        WithEdit(Case("ScaleNotANumber", &MeterCommander::SetEngrScale, "", true), "abc"),
        WithEdit(Case("ScaleOutOfRange", &MeterCommander::SetEngrScale, ""), "0.0256"),
        WithEdit(Case("Offset", &MeterCommander::SetEngrOffset, "$off 12\r\n", true), "12abc"),
        WithEdit(Case("OffsetOutOfRange", &MeterCommander::SetEngrOffset, ""), "128"),
        // Too long for the meter's command buffer: refused whole, never cut.
        WithEdit(Case("AverageTooLong", &MeterCommander::SetAverage, "", true),
                 "123456789012345678901234567890123456789012345678901234567890123456789012345678"
                 "9012345678901234567890123456789012345"),
    };
    ButtonCase reloadAdvanced = Case("ReloadOnAdvancedPage", Reload, "$rls\r\n$par\r\n");
    reloadAdvanced.activePage = PageAdvanced;
    cases.push_back(reloadAdvanced);
    ButtonCase loggingOff = Case("LoggingOff", &MeterCommander::ToggleLogging, "$REC 0\r\n", true);
    loggingOff.loggingOn = 1;
    cases.push_back(loggingOff);
    ButtonCase calOff =
        Case("EngrOutputOff", &MeterCommander::ToggleEngrOutput, "$cal 0\r\n", true);
    calOff.engrOutputOn = 1;
    cases.push_back(calOff);
    ButtonCase wide = Case("AnalogRangeWide", AnalogRange, "$ASV 4\r\n", true);
    wide.analogItem = 2;
    cases.push_back(wide);
    ButtonCase none = Case("AnalogRangeNoSelection", AnalogRange, "$ASV 2\r\n", true);
    none.analogItem = -1;
    cases.push_back(none);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, MeterButtons, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ButtonCase>& info) {
                             return info.param.name;
                         });

TEST(MeterButtons, WarningsTellWhyNothingWasSent) {
    SessionFixture f;
    f.OpenMeterPort();
    f.session.Meter().SetAverage(std::string(120, '9'));
    ASSERT_EQ(f.prompts.warnings.size(), 1u);
    EXPECT_EQ(f.prompts.warnings[0].caption, "Entry Too Long");
    f.session.Meter().SetEngrScale("0.00009");
    ASSERT_EQ(f.prompts.warnings.size(), 2u);
    EXPECT_EQ(f.prompts.warnings[1].caption, "Warning - Invalid Entry");
    EXPECT_EQ(f.prompts.warnings[1].text, "The valid range for the engr scale is 0.0001-0.0255");
    f.session.Meter().SetEngrOffset("-1");
    EXPECT_EQ(f.prompts.warnings[2].text, "The valid range for the ug/l offset is 0-127");
    f.session.Meter().Setup().engrOutputOn = 1;
    f.session.Meter().ToggleEngrOutput();
    EXPECT_EQ(f.prompts.warnings[3].caption, "**** Device File Warning ****");
    EXPECT_EQ(f.prompts.warnings[3].text,
              "By Turning the Internally Calculated Engineering Units Off,\nYou Will Be Required "
              "to Load a Device File Without the Engineering Units Enabled");
}

TEST(MeterButtons, AnEntryWithALineBreakIsToldSoNotTooLong) {
    for (const char lineBreak : {'\r', '\n', '\0'}) {
        SessionFixture f;
        f.OpenMeterPort();
        f.session.Meter().SetCycleInterval(std::string("000030") + lineBreak + "$emc");
        EXPECT_EQ(f.port.written, "");
        ASSERT_EQ(f.prompts.warnings.size(), 1u);
        EXPECT_EQ(f.prompts.warnings[0].caption, "Warning - Invalid Entry");
        EXPECT_EQ(f.prompts.warnings[0].text,
                  "The entry holds a line break (CR, LF or NUL), which would end the meter "
                  "command early and send the rest as a command of its own.\nNothing was sent.");
    }
}

TEST(MeterButtons, CommandsWithoutAnOpenPortAreLostQuietly) {
    SessionFixture f;
    f.session.BTStartClick();
    f.session.Meter().SetAverage("60");
    EXPECT_EQ(f.port.written, "");
    EXPECT_TRUE(f.prompts.messages.empty());
    EXPECT_EQ(f.Shown().setup.setupStored, false);  // the indicator shows all the same
}

TEST(DataStream, ReplayModeSendsNothingAndPausesOrResumes) {
    SessionFixture f;
    f.OpenMeterPort();
    f.session.State().ReplayMode = true;
    f.session.BTStartClick();
    EXPECT_TRUE(f.session.State().ReplayRunning);
    EXPECT_EQ(f.Shown().startButton, "Resume Replay");
    f.session.BTStopClick();
    EXPECT_FALSE(f.session.State().ReplayRunning);
    f.session.BitBtnCancelClick();
    EXPECT_EQ(f.session.State().DownloadStatus, DownloadState::Cancelled);
    EXPECT_EQ(f.port.written, "");
}

TEST(DataStream, StartRestartsTheRateMeasurement) {
    SessionFixture f;
    f.session.State().RateLineCount = 7;
    f.session.BTStartClick();
    EXPECT_EQ(f.session.State().RateLineCount, -1);
}

TEST(CommandMode, AlternateCommandsChangeTheWindow) {
    SessionFixture f;
    f.session.Meter().ToggleAlternateCommands();
    EXPECT_TRUE(f.session.State().alternateCommands);
    EXPECT_EQ(f.Shown().alternateCommands, true);
    EXPECT_EQ(f.Shown().advancedPage, false);

    f.session.Meter().ToggleAlternateCommands();
    EXPECT_EQ(f.Shown().alternateCommands, false);
    EXPECT_EQ(f.Shown().advancedPage, false);  // its menu item is not checked

    // With "Advanced Setup" checked, leaving alternate mode shows its tab again.
    f.session.Meter().ToggleAdvancedSetup();
    EXPECT_EQ(f.Shown().advancedSetup, true);
    EXPECT_EQ(f.Shown().advancedPage, true);
    EXPECT_EQ(f.Shown().requestedPage, PageAdvanced);
    EXPECT_EQ(f.Shown().pageRequests, 1u);
    f.session.Meter().ToggleAlternateCommands();
    EXPECT_EQ(f.Shown().advancedPage, false);
    f.session.Meter().ToggleAlternateCommands();
    EXPECT_EQ(f.Shown().advancedPage, true);
    f.session.Meter().ToggleAdvancedSetup();
    EXPECT_EQ(f.Shown().advancedPage, false);
}

TEST(PowerUser, PasswordAndPanel) {
    SessionFixture f;
    f.session.Meter().TogglePowerUser();
    EXPECT_EQ(f.Shown().passwordRequests, 1u);
    f.session.Meter().EnterPassword("MarbleOwl");
    EXPECT_EQ(f.session.State().powerUser, 1);
    f.session.Meter().TogglePowerUser();  // leaves at once, no password window
    EXPECT_EQ(f.session.State().powerUser, 0);
    EXPECT_EQ(f.Shown().passwordRequests, 1u);
    f.session.Meter().EnterPassword("MarbleOwlish");
    EXPECT_EQ(f.session.State().powerUser, 1);
    f.session.Meter().EnterPassword("marbleowl");
    EXPECT_EQ(f.session.State().powerUser, 0);
}

}  // namespace
}  // namespace kivo::test
