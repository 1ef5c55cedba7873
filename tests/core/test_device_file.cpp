#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "FakePrompts.h"
#include "core/data/DeviceFile.h"

namespace kivo {
namespace {

using test::FakePrompts;

constexpr const char* kCaption = "KIVO Device File Error";

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

struct Loaded {
    bool ok = false;
    DeviceCalibration cal;
    std::string name = "KIVO Sensor";
    FakePrompts prompts;
};

void LoadInto(Loaded& loaded, const std::string& text) {
    std::istringstream in(text);
    loaded.ok = ReadDeviceFile(in, loaded.cal, loaded.name, loaded.prompts);
}

Loaded Load(const std::string& text) {
    Loaded loaded;
    LoadInto(loaded, text);
    return loaded;
}

TEST(DeviceFile, EveryColumnKeyGivesItsCodeWhateverTheLetterCase) {
    struct Case {
        const char* line;
        int code;
    };
    const Case cases[] = {
        {"Date=3", 1},
        {"TIME=3", 2},
        {"chl=3 0.0121 50", 25},
        {"Cdom=3 1 2", 26},
        {"uranine=3 1 2", 27},
        {"PhycoCyanine=3 1 2", 28},
        {"phycoerythrin=3 1 2", 29},
        {"Rhodamine=3 1 2", 30},
        {"chlref=3", 31},
        {"CDOMREF=3", 32},
        {"UranineRef=3", 33},
        {"PHYCOCYANINEREF=3", 34},
        {"PHYCOERYTHRINREF=3", 35},
        {"RHODAMINEREF=3", 36},
        {"lss=3 1 2", 37},
        {"LSSREF=3", 38},
        {"ITEMP=3 1 2", 39},
        {"XTEMP=3 1 2", 40},
        {"pres=3 1 2", 41},
        {"REF=3", 42},
        {"n/u=3", 42},
        {"iengr=3", 51},
        {"ntu=3 1 2", 52},
        {"NTUref=3", 53},
        {"vsf100=3 1 2", 54},
        {"VSF125=3 1 2", 55},
        {"Vsf150=3 1 2", 56},
        {"LAMBDA=3 1 2 470 470", 8},
        {"lambdaREF=3 1 2", 17},
    };
    for (const Case& c : cases) {
        const Loaded loaded = Load(std::string("Meter\nColumns=3\n") + c.line + "\n");
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(loaded.ok);
        EXPECT_EQ(loaded.cal.columnType[2], c.code);
        EXPECT_EQ(loaded.cal.definitionCount, 1);
    }
}

TEST(DeviceFile, ScaleAndDarkAreReadInSinglePrecision) {
    const Loaded loaded = Load("Meter\nColumns=3\nchl=3 0.0121 50\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.scale[25], static_cast<double>(0.0121f));
    EXPECT_NE(loaded.cal.scale[25], 0.0121);
    EXPECT_EQ(loaded.cal.offset[25], 50.0);
}

TEST(DeviceFile, LinesWithoutKeyAreSkipped) {
    const Loaded loaded =
        Load("Meter\r\n\r\n; comment\r\n  CHL=3 1 2\r\nChlorophyll sensor\r\nColumns=2\r\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.definitionCount, 0);
    EXPECT_EQ(loaded.cal.columnType[2], 0);
    EXPECT_EQ(loaded.cal.declaredColumns, 2);
    EXPECT_TRUE(loaded.prompts.warnings.empty());
}

TEST(DeviceFile, InvalidLinesQuoteThePieceAsReadAndFailTheLoad) {
    struct Case {
        const char* line;
        const char* quoted;
    };
    const Case cases[] = {
        {"CHL=3 0.0121\n", "CHL=3 0.0121\n"},    // one number short
        {"CHL=3 0.0121\r\n", "CHL=3 0.0121\n"},  // CR LF reads as LF
        {"CHL=3 0.0121", "CHL=3 0.0121"},        // last line without line end
        {"Columns=x\n", "Columns=x\n"},
        {"Salinity=\n", "Salinity=\n"},
        {"Lambda=3 1 2 470\n", "Lambda=3 1 2 470\n"},
        {"CHL=0 1 2\n", "CHL=0 1 2\n"},  // column numbers start at 1
        {"Date=-2\n", "Date=-2\n"},
        {"Columns=0\n", "Columns=0\n"},
        {"Lambda=11 1 2 470 470\n", "Lambda=11 1 2 470 470\n"},  // only columns 2-10
        {"Lambda=1 1 2 470 470\n", "Lambda=1 1 2 470 470\n"},
        {"Lambdaref=11 1 2\n", "Lambdaref=11 1 2\n"},
        {"Lambda=3 1 2 1e20 470\n", "Lambda=3 1 2 1e20 470\n"},
        {"iengrscaleoffset=three\n", "iengrscaleoffset=three\n"},
        // Numbers that are not finite would turn every value of their column into one.
        {"CHL=3 1e400 50\n", "CHL=3 1e400 50\n"},
        {"CHL=3 0.0121 -inf\n", "CHL=3 0.0121 -inf\n"},
        {"Lambdaref=3 nan 2\n", "Lambdaref=3 nan 2\n"},
        {"Salinity=NAN\n", "Salinity=NAN\n"},
        {"XFACTOR=1e39\n", "XFACTOR=1e39\n"},  // beyond single precision
        {"maxvoltage=INF\n", "maxvoltage=INF\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Loaded loaded = Load(std::string("Meter\nColumns=5\nDate=1\n") + c.line);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(loaded.cal.definitionCount, 0);
        EXPECT_EQ(loaded.name, "KIVO Sensor");
        ASSERT_EQ(loaded.prompts.warnings.size(), 1u);
        EXPECT_EQ(loaded.prompts.warnings[0].caption, kCaption);
        EXPECT_EQ(loaded.prompts.warnings[0].text,
                  std::string("Invalid Line '") + c.quoted + "' in *.dev file");
    }
}

TEST(DeviceFile, ColumnBeyondTheTableFailsWithoutWarning) {
    for (const char* line : {"Columns=76\n", "CHL=76 1 2\n", "Lambda=99 1 2 3 4\n"}) {
        SCOPED_TRACE(line);
        const Loaded loaded = Load(std::string("Meter\nColumns=3\nDate=1\n") + line);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(loaded.cal.definitionCount, 0);
        EXPECT_TRUE(loaded.prompts.warnings.empty());
    }
    EXPECT_TRUE(Load("Meter\nColumns=75\nCHL=75 1 2\n").ok);
}

TEST(DeviceFile, MoreDefinitionsThanDeclaredColumnsFails) {
    const Loaded loaded = Load("Meter\nColumns=3\nDate=1\nTime=2\nCHL=3 1 2\nCHLREF=4\n");
    EXPECT_FALSE(loaded.ok);
    EXPECT_EQ(loaded.cal.definitionCount, 0);
    ASSERT_EQ(loaded.prompts.warnings.size(), 1u);
    EXPECT_EQ(loaded.prompts.warnings[0].caption, kCaption);
    EXPECT_EQ(loaded.prompts.warnings[0].text, "More Data Fields (4) than Columns (3) in *.dev");
    // What was read before the failure stays.
    EXPECT_EQ(loaded.cal.columnType[3], 31);
}

TEST(DeviceFile, AColumnDefinedTwiceWarnsOnceAndLoadsAsBefore) {
    const Loaded loaded =
        Load("Meter\nColumns=5\nDate=1\nCHL=2 0.5 7\nNTU=2 3 4\r\nTime=2\nCHLREF=3\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.columnType[1], 2);  // the last line's type
    EXPECT_EQ(loaded.cal.definitionCount, 5);
    ASSERT_EQ(loaded.prompts.warnings.size(), 1u);
    EXPECT_EQ(loaded.prompts.warnings[0].caption, "KIVO Device File Warning");
    EXPECT_EQ(loaded.prompts.warnings[0].text,
              "Column 2 Defined Twice in *.dev file: Line 'NTU=2 3 4' replaces the earlier "
              "definition");
}

TEST(DeviceFile, TitleOnlyLoadsAndEmptyFileFails) {
    const Loaded titleOnly = Load("KIVO\tFL 0107\r\n");
    EXPECT_TRUE(titleOnly.ok);
    EXPECT_EQ(titleOnly.name, "KIVO FL 0107");
    EXPECT_EQ(titleOnly.cal.definitionCount, 0);

    const Loaded empty = Load("");
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.name, "KIVO Sensor");
    EXPECT_TRUE(empty.prompts.warnings.empty());
}

TEST(DeviceFile, LinesAreReadInPiecesOf98Characters) {
    // The title's rest beyond 98 characters is a line of its own, here a key line.
    const std::string longTitle(98, 'T');
    const Loaded title = Load(longTitle + "Salinity=20\n");
    ASSERT_TRUE(title.ok);
    EXPECT_EQ(title.name, longTitle);
    EXPECT_EQ(title.cal.salinity, 20.0);

    // A line of exactly 98 characters leaves its line end as an empty line.
    const std::string padded = "Salinity=30" + std::string(87, ' ');
    ASSERT_EQ(padded.size(), 98u);
    const Loaded exact = Load("Meter\n" + padded + "\nXFACTOR=2\n");
    ASSERT_TRUE(exact.ok);
    EXPECT_EQ(exact.cal.salinity, 30.0);
    EXPECT_EQ(exact.cal.chi, 2.0);

    // Units longer than 83 characters are cut; the piece ends at 98 characters.
    const std::string units(120, 'u');
    const Loaded cut = Load("Meter\niengrunits=" + units + "\n");
    ASSERT_TRUE(cut.ok);
    EXPECT_EQ(cut.cal.engrUnits, std::string(83, 'u'));
    const Loaded shortUnits = Load("Meter\niengrunits=ug/l\r\n");
    EXPECT_EQ(shortUnits.cal.engrUnits, "ug/l");
}

TEST(DeviceFile, ThetaInRadiansAndParametersSurviveTheNextLoad) {
    Loaded loaded;
    LoadInto(loaded, "Meter\nTheta=117\nSalinity=35\nXFACTOR=0.9\nWater=PURE\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(Printed("%8.6lf", loaded.cal.theta), "2.041975");
    EXPECT_EQ(loaded.cal.theta, DeviceCalibration{}.theta);
    EXPECT_EQ(loaded.cal.waterType, 0);

    LoadInto(loaded, "Other\nTheta=90\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(Printed("%8.6lf", loaded.cal.theta), "1.570750");
    EXPECT_EQ(loaded.cal.salinity, 35.0);
    EXPECT_EQ(Printed("%3.1lf", loaded.cal.chi), "0.9");
    EXPECT_EQ(loaded.cal.waterType, 0);

    LoadInto(loaded, "Third\nwater=sea\n");
    EXPECT_EQ(Printed("%8.6lf", loaded.cal.theta), "1.570750");
    EXPECT_EQ(loaded.cal.waterType, 1);
}

TEST(DeviceFile, EachLoadResetsTheTables) {
    Loaded loaded;
    LoadInto(loaded, "A\nColumns=4\nCHL=3 2 5\nLambda=4 1 2 470 470\nASV2=1\nmaxvoltage=2\n");
    ASSERT_TRUE(loaded.ok);

    LoadInto(loaded, "B\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.columnType[2], 0);
    EXPECT_EQ(loaded.cal.scale[25], 1.0);
    EXPECT_EQ(loaded.cal.offset[25], 0.0);
    EXPECT_EQ(loaded.cal.wavelength[9], 0);
    EXPECT_EQ(loaded.cal.channelColour[9], 255u * 65536u);
    EXPECT_EQ(loaded.cal.asvFullScale[1], 0.0f);
    EXPECT_EQ(loaded.cal.maxVoltage, 0.0f);
    EXPECT_EQ(loaded.cal.declaredColumns, 4);  // no "Columns=" in B
}

TEST(DeviceFile, ProgramStartValues) {
    DeviceCalibration cal;
    cal.scale[3] = 5.0;
    cal.salinity = 1.0;
    cal.declaredColumns = 9;
    cal.ResetToProgramStart();
    EXPECT_EQ(cal.scale[3], 1.0);
    EXPECT_EQ(Printed("%8.6lf", cal.theta), "2.041975");
    EXPECT_EQ(cal.salinity, 32.0);
    EXPECT_EQ(cal.chi, 1.1);
    EXPECT_EQ(cal.waterType, 1);
    EXPECT_EQ(cal.declaredColumns, 0);
    EXPECT_EQ(cal.engrScale, -1.0f);
}

TEST(DeviceFile, AnalogFullScalesAreMultipliedByMaxVoltage) {
    const Loaded loaded = Load("Meter\nASV1=0.5\nASV2=0.25\nmaxvoltage=4.0\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.asvFullScale[0], 2.0f);
    EXPECT_EQ(loaded.cal.asvFullScale[1], 1.0f);
    EXPECT_EQ(loaded.cal.asvFullScale[2], 0.0f);

    const Loaded noMax = Load("Meter\nASV4=0.125\n");
    EXPECT_EQ(noMax.cal.asvFullScale[2], 0.125f);
}

TEST(DeviceFile, EngineeringScaleIsCopiedOnlyWhenItsColumnFollows) {
    const Loaded before = Load("Meter\nColumns=3\niengrscaleoffset=3\nCHL=3 0.0121 50\n");
    ASSERT_TRUE(before.ok);
    EXPECT_EQ(before.cal.engrScale, 0.0121f);
    EXPECT_EQ(before.cal.engrOffset, 50.0f);
    EXPECT_EQ(before.cal.engrColumn, 3);

    const Loaded after = Load("Meter\nColumns=3\nCHL=3 0.0121 50\niengrscaleoffset=3\n");
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.cal.engrScale, -1.0f);
    EXPECT_EQ(after.cal.engrOffset, 0.0f);
}

TEST(DeviceFile, LambdaLinesGiveScatteringCodesWavelengthAndColour) {
    const Loaded loaded = Load(
        "Meter\nColumns=4\nLambda=2 1.5 10 532 532\nLambdaref=2 9 9\nLambda=3 2.5e-6 50 "
        "470.9 470\nLambdaref=4 0.5 3\n");
    ASSERT_TRUE(loaded.ok);
    // A "Lambdaref=" for a column already defined re-types it.
    EXPECT_EQ(loaded.cal.columnType[1], 16);
    EXPECT_EQ(loaded.cal.columnType[2], 8);
    EXPECT_EQ(loaded.cal.columnType[3], 18);
    EXPECT_EQ(loaded.cal.wavelength[7], 532);
    EXPECT_EQ(loaded.cal.wavelength[8], 470);  // truncated toward zero
    EXPECT_EQ(loaded.cal.scale[8], static_cast<double>(2.5e-6f));
    EXPECT_EQ(loaded.cal.offset[8], 50.0);
    const std::uint32_t colour = loaded.cal.channelColour[8];
    EXPECT_EQ(colour % 256, 0u);
    EXPECT_EQ(colour / 256 % 256, 153u);
    EXPECT_EQ(colour / 65536, 255u);
    EXPECT_EQ(loaded.cal.scale[18], 0.5);
    EXPECT_EQ(loaded.cal.offset[18], 3.0);
    EXPECT_EQ(loaded.cal.definitionCount, 4);
}

TEST(DeviceFile, LinesWithTheSameKeyShareOneSlot) {
    const Loaded loaded = Load("Meter\nColumns=4\nCHL=3 1 2\nCHL=4 7 8\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.columnType[2], 25);
    EXPECT_EQ(loaded.cal.columnType[3], 25);
    EXPECT_EQ(loaded.cal.scale[25], 7.0);
    EXPECT_EQ(loaded.cal.offset[25], 8.0);
}

TEST(DeviceFile, ValueStartsAfterTheLastEqualsSign) {
    const Loaded loaded = Load("Meter\nColumns=4\nCHL=9=3 1 2\nSalinity=5 = 31.5 psu\n");
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.cal.columnType[2], 25);
    EXPECT_EQ(loaded.cal.salinity, 31.5);
}

TEST(DeviceFile, SharedDeviceFilesLoad) {
    struct Case {
        const char* file;
        int definitions;
        int iTempColumn;
    };
    for (const Case c :
         {Case{"fluoro.dev", 6, 6}, Case{"scatter9.dev", 12, 12}, Case{"scatter_ref.dev", 9, 9}}) {
        SCOPED_TRACE(c.file);
        std::ifstream in(std::string(KIVO_TEST_DATA) + "/" + c.file);
        ASSERT_TRUE(in.is_open());
        DeviceCalibration cal;
        std::string name;
        FakePrompts prompts;
        ASSERT_TRUE(ReadDeviceFile(in, cal, name, prompts));
        EXPECT_EQ(cal.definitionCount, c.definitions);
        EXPECT_EQ(cal.declaredColumns, c.definitions);
        EXPECT_EQ(cal.columnType[c.iTempColumn - 1], 39);
        EXPECT_FALSE(name.empty());
    }
}

TEST(WavelengthColour, BandsEdgesAndIntensity) {
    struct Case {
        int nm;
        unsigned r, g, b;
    };
    const Case cases[] = {
        {380, 76, 0, 76},   {400, 110, 0, 165}, {420, 85, 0, 255},  {440, 0, 0, 255},
        {470, 0, 153, 255}, {490, 0, 255, 255}, {500, 0, 255, 127}, {510, 0, 255, 0},
        {545, 127, 255, 0}, {580, 255, 255, 0}, {600, 255, 208, 0}, {650, 255, 92, 0},
        {690, 255, 0, 0},   {700, 255, 0, 0},   {740, 165, 0, 0},   {780, 76, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nm);
        EXPECT_EQ(WavelengthColour(c.nm), c.r + 256 * c.g + 65536 * c.b);
    }
    EXPECT_EQ(WavelengthColour(300), WavelengthColour(380));
    EXPECT_EQ(WavelengthColour(0), WavelengthColour(380));
    EXPECT_EQ(WavelengthColour(1200), WavelengthColour(780));
}

TEST(DeviceKinds, CountsAndPlotSelectors) {
    std::istringstream in(
        "Meter\nColumns=8\nDate=1\nLambda=2 1 0 470 470\nLambda=3 1 0 532 532\nCHL=4 1 0\n"
        "iTemp=5 1 0\nPRES=6 1 0\nVSF150=7 1 0\nIENGR=8\n");
    DeviceCalibration cal;
    std::string name;
    FakePrompts prompts;
    ASSERT_TRUE(ReadDeviceFile(in, cal, name, prompts));
    cal.kinds.ntu = 7;  // stale count from an earlier file
    CountKinds(cal, cal.definitionCount);
    EXPECT_EQ(cal.kinds.scattering, 2);
    EXPECT_EQ(cal.kinds.chl, 1);
    EXPECT_EQ(cal.kinds.iTemp, 1);
    EXPECT_EQ(cal.kinds.pressure, 1);
    EXPECT_EQ(cal.kinds.volumeScattering, 1);
    EXPECT_EQ(cal.kinds.meterEngr, 1);
    EXPECT_EQ(cal.kinds.ntu, 0);
    EXPECT_EQ(cal.kinds.xTemp, 0);

    const PlotSelectorVisibility raw = VisiblePlotSelectors(cal, false);
    EXPECT_TRUE(raw.plotType);
    EXPECT_FALSE(raw.scattering);
    EXPECT_TRUE(raw.iTemp);
    EXPECT_FALSE(raw.xTemp);
    EXPECT_TRUE(raw.pressure);
    EXPECT_TRUE(raw.hideFlSetup);
    EXPECT_TRUE(VisiblePlotSelectors(cal, true).scattering);

    CountKinds(cal, 1);  // the date column only
    const PlotSelectorVisibility none = VisiblePlotSelectors(cal, true);
    EXPECT_FALSE(none.plotType);
    EXPECT_FALSE(none.scattering);
    EXPECT_FALSE(none.iTemp);

    cal.asvFullScale[1] = 0.5f;
    EXPECT_FALSE(VisiblePlotSelectors(cal, false).hideFlSetup);
}

}  // namespace
}  // namespace kivo
