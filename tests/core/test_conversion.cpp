#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>

#include "FakePrompts.h"
#include "core/data/Conversion.h"
#include "core/data/DeviceFile.h"

namespace kivo {
namespace {

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

DeviceCalibration LoadCalibration(const std::string& text) {
    std::istringstream in(text);
    DeviceCalibration cal;
    std::string name;
    test::FakePrompts prompts;
    EXPECT_TRUE(ReadDeviceFile(in, cal, name, prompts));
    return cal;
}

constexpr double kTheta = 117.0 * 3.1415 / 180.0;

TEST(ComputeScattering, WorkedExampleAt470nm) {
    const ScatteringResult sea = ComputeScattering(32.0, kTheta, 1.1, 470.0, 1, 0.002);
    EXPECT_EQ(Printed("%.4e", 0.002 - sea.betap), "2.6613e-04");  // water's own Beta
    EXPECT_EQ(Printed("%.5e", sea.betap), "1.73387e-03");
    EXPECT_EQ(Printed("%.5e", sea.bbp), "1.19833e-02");
    EXPECT_EQ(Printed("%.4f", sea.bbp / sea.betap), "6.9113");
    EXPECT_EQ(Printed("%.5e", sea.bb - sea.bbp), "1.90500e-03");
    EXPECT_EQ(Printed("%.5e", sea.bb), "1.38883e-02");

    const ScatteringResult pure = ComputeScattering(32.0, kTheta, 1.1, 470.0, 0, 0.002);
    EXPECT_EQ(pure.betap, sea.betap);
    EXPECT_EQ(pure.bbp, sea.bbp);
    EXPECT_EQ(Printed("%.5e", pure.bb - pure.bbp), "1.46372e-03");
    EXPECT_EQ(Printed("%.5e", pure.bb), "1.34470e-02");
}

TEST(ComputeScattering, WavelengthZeroIsNotPlotted) {
    for (const double wavelength : {0.0, -470.0}) {
        SCOPED_TRACE(wavelength);
        const ScatteringResult r = ComputeScattering(32.0, kTheta, 1.1, wavelength, 1, 0.002);
        EXPECT_EQ(r.betap, kNothingPlotted);
        EXPECT_EQ(r.bbp, kNothingPlotted);
        EXPECT_EQ(r.bb, kNothingPlotted);
    }
}

TEST(ConvertToEngineering, EachKindUsesItsOwnSlotAndFormula) {
    DeviceCalibration cal = LoadCalibration(
        "All\nColumns=13\nCHL=1 2 10\nCDOM=2 3 20\nURANINE=3 4 30\nPHYCOCYANINE=4 5 40\n"
        "PHYCOERYTHRIN=5 6 50\nRHODAMINE=6 7 60\nLSS=7 8 70\nNTU=8 9 80\niTemp=9 2 10\n"
        "xTemp=10 3 20\nPRES=11 4 30\nIENGR=12\nVSF125=13 0.5 100\n");
    RawTable raw{};
    for (double& v : raw) v = 110.0;
    EngineeringValues eng;
    ConvertToEngineering(cal, raw, eng);

    struct Case {
        const char* kind;
        double actual;
        double expected;
    };
    const Case cases[] = {
        {"chl", eng.chl, (110 - 10) * 2.0},
        {"cdom", eng.cdom, (110 - 20) * 3.0},
        {"uranine", eng.uranine, (110 - 30) * 4.0},
        {"phycocyanin", eng.phycocyanin, 350.0},
        {"phycoerythrin", eng.phycoerythrin, 360.0},
        {"rhodamine", eng.rhodamine, 350.0},
        {"lss", eng.lss, 320.0},
        {"ntu", eng.ntu, 270.0},
        {"iTemp", eng.iTemp, 110 * 2.0 + 10},
        {"xTemp", eng.xTemp, 110 * 3.0 + 20},
        {"pressure", eng.pressure, 110 * 4.0 + 30},
        {"meterEngr", eng.meterEngr, 110.0},
        {"vsf125", eng.vsf[55], 5.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(ConvertToEngineering, CalibrationNumbersAsTheFilesPrintThem) {
    DeviceCalibration cal =
        LoadCalibration("FL\nColumns=3\nDate=1\nCHL=2 0.0121 50\niTemp=3 0.01 -10\n");
    RawTable raw{};
    EngineeringValues eng;

    raw[25] = 4050.0;
    raw[39] = 3000.0;
    ConvertToEngineering(cal, raw, eng);
    EXPECT_EQ(Printed("%4.2lf", eng.chl), "48.40");
    // Single-precision 0.0121 shows in the last digits.
    EXPECT_EQ(Printed("%10.7lf", eng.chl), "48.3999997");
    EXPECT_EQ(Printed("%4.2lf", eng.iTemp), "20.00");
    EXPECT_EQ(Printed("%10.7lf", eng.iTemp), "19.9999993");

    raw[25] = 50.0;
    ConvertToEngineering(cal, raw, eng);
    EXPECT_EQ(Printed("%4.2lf", eng.chl), "0.00");
}

TEST(ConvertToEngineering, ScatteringChannelEndToEnd) {
    DeviceCalibration cal =
        LoadCalibration("BB\nColumns=3\nDate=1\nLambda=2 1e-6 50 532 532\nLambda=3 1 0 0 470\n");
    RawTable raw{};
    raw[7] = 2050.0;
    raw[8] = 0.002;
    EngineeringValues eng;
    ConvertToEngineering(cal, raw, eng);
    EXPECT_EQ(Printed("%8.6lf", eng.beta[7]), "0.002000");
    const ScatteringResult expected =
        ComputeScattering(32.0, cal.theta, 1.1, 532.0, 1, eng.beta[7]);
    EXPECT_EQ(eng.betap[7], expected.betap);
    EXPECT_EQ(eng.bbp[7], expected.bbp);
    EXPECT_EQ(eng.bb[7], expected.bb);
    // A channel without a wavelength keeps Beta but is not plotted further.
    EXPECT_EQ(eng.beta[8], 0.002);
    EXPECT_EQ(eng.bb[8], kNothingPlotted);
}

TEST(ConvertToEngineering, KindsNotDefinedKeepEarlierValues) {
    DeviceCalibration cal = LoadCalibration("FL\nColumns=1\nCHL=1 1 0\n");
    RawTable raw{};
    raw[25] = 7.0;
    raw[52] = 9.0;
    EngineeringValues eng;
    eng.ntu = 3.5;
    ConvertToEngineering(cal, raw, eng);
    EXPECT_EQ(eng.chl, 7.0);
    EXPECT_EQ(eng.ntu, 3.5);
}

// Lambdaref column 3 (code 17) is the reference of the Lambda channel in column 4 (code 9).
constexpr const char* kWithReference =
    "BB\nColumns=5\nLambda=2 1 0 470 470\nLambdaref=3 2 0.5\nLambda=4 1 0 532 532\n"
    "iTemp=5 1 0\n";

TEST(CorrectCounts, ReferenceThenTemperature) {
    struct Case {
        const char* name;
        bool reference;
        bool temperature;
        double refReading;
        double expected;  // corrected code 9
    };
    // Divisors: reference 1500 / 1000 x 2 + 0.5 = 3.5; temperature K x 1000 = 1.7944687...
    const Case cases[] = {
        {"none", false, false, 1500.0, 1000.0},
        {"reference", true, false, 1500.0, 1000.0 / 3.5},
        {"temperature", false, true, 1500.0, 557.268},
        {"both", true, true, 1500.0, 159.21942857},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceCalibration cal = LoadCalibration(kWithReference);
        std::array<double, kSlots> firstReference{};
        firstReference[17] = 1000.0;
        RawTable raw{};
        raw[7] = 1000.0;
        raw[9] = 1000.0;
        raw[17] = c.refReading;
        CorrectCounts(cal, raw, 1000.0, firstReference, c.reference, c.temperature);
        EXPECT_NEAR(raw[9], c.expected, 1e-6);
        EXPECT_EQ(raw[7], 1000.0);  // column 2's channel has no reference
        EXPECT_EQ(raw[17], c.refReading);
    }
}

TEST(CorrectCounts, NeutralReferenceLeavesTheChannelUnchanged) {
    DeviceCalibration cal =
        LoadCalibration("BB\nColumns=3\nDate=1\nLambdaref=2 1 0\nLambda=3 1 0 470 470\n");
    std::array<double, kSlots> firstReference{};
    firstReference[16] = 2345.0;
    RawTable raw{};
    raw[8] = 1234.5;
    raw[16] = 2345.0;
    CorrectCounts(cal, raw, 0.0, firstReference, true, false);
    EXPECT_EQ(raw[8], 1234.5);
}

}  // namespace
}  // namespace kivo
