// AppendFixed and AppendInt2 against snprintf itself, whose bytes they replace in the
// engineering-units file and the readout.
//
// The random cases draw KIVO_FORMAT_VALUES values of each kind per format (default 20000,
// about 165000 values per record format, a second in all, a second and a half under
// AddressSanitizer) from the seed KIVO_FORMAT_SEED (default 1). The long run, about 100
// million values per record format (some ten minutes in an optimised build):
//   KIVO_FORMAT_VALUES=12000000 tests/core_tests --gtest_filter='FixedFormat.*'
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/text/FixedFormat.h"

namespace kivo {
namespace {

struct Format {
    int width;
    int precision;
};

// The file's and the readout's formats: "%8.6lf", "%6.4lf", "%5.1lf", "%1.0lf", "%4.2lf",
// "%3.1lf", "%4.0lf", "%1lf".
const Format kRecordFormats[] = {{8, 6}, {6, 4}, {5, 1}, {1, 0}, {4, 2}, {3, 1}, {4, 0}, {1, 6}};

// printf's own corners: left alignment, the default precision, precisions past the fast
// range, a field wider than any number here.
const Format kOtherFormats[] = {{-8, 6}, {-1, 0}, {10, -1}, {0, 10}, {0, 17}, {30, 12}, {0, 60}};

std::size_t ValuesPerKind() {
    const char* text = std::getenv("KIVO_FORMAT_VALUES");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 20000;
}

std::uint64_t Seed() {
    const char* text = std::getenv("KIVO_FORMAT_SEED");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 1;
}

std::string Printf(double value, Format format) {
    char buffer[512];
    const int length =
        std::snprintf(buffer, sizeof buffer, "%*.*f", format.width, format.precision, value);
    if (length < static_cast<int>(sizeof buffer))
        return std::string(buffer, static_cast<std::size_t>(length));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), "%*.*f", format.width, format.precision, value);
    text.pop_back();
    return text;
}

// Compares one value at a time; keeps the first few differences for the failure message.
// Output goes after a prefix, so writing over what was there, or padding in the wrong
// place, shows too.
class Comparison {
public:
    void Check(double value, Format format) {
        out_.assign("x\t");
        AppendFixed(out_, value, format.width, format.precision);
        const std::string expected = Printf(value, format);
        ++checked_;
        if (out_.compare(2, std::string::npos, expected) == 0 && out_.compare(0, 2, "x\t") == 0)
            return;
        if (++differences_ > 5) return;
        char hex[64];
        std::snprintf(hex, sizeof hex, "%a", value);
        report_ += "\n  %" + std::to_string(format.width) + "." + std::to_string(format.precision) +
                   "f of " + hex + ": printf \"" + expected + "\", AppendFixed \"" +
                   out_.substr(2) + "\"";
    }
    void Near(double value, Format format, int ulps) {
        double below = value;
        double above = value;
        Check(value, format);
        for (int step = 0; step < ulps; ++step) {
            below = std::nextafter(below, -HUGE_VAL);
            above = std::nextafter(above, HUGE_VAL);
            Check(below, format);
            Check(above, format);
        }
    }
    void ExpectNone() const {
        EXPECT_EQ(differences_, 0u) << "of " << checked_ << " values:" << report_;
        EXPECT_GT(checked_, 0u);
    }

private:
    std::string out_;
    std::string report_;
    std::size_t checked_ = 0;
    std::size_t differences_ = 0;
};

// Every value that tends to break a formatter, for one format.
void CheckCorners(Comparison& comparison, Format format) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double value :
         {0.0,          -0.0,    HUGE_VAL, -HUGE_VAL, nan,         -nan,   DBL_MIN,
          DBL_TRUE_MIN, DBL_MAX, 1e300,    1e9,       999999999.5, 0.5,    1.5,
          2.5,          0.125,   0.375,    1e-9,      65535.0,     70000.0}) {
        comparison.Near(value, format, 2);
        comparison.Near(-value, format, 2);
    }
    const int precision = format.precision < 0 ? 6 : format.precision;
    for (int exponent = -12; exponent <= 22; ++exponent) {
        const double power = std::pow(10.0, exponent);
        // A carry through every digit (9.99...5 up to 10.00...) and the power itself.
        const double carry = power - 0.5 * std::pow(10.0, -precision);
        for (const double value : {power, carry}) {
            comparison.Near(value, format, 3);
            comparison.Near(-value, format, 3);
        }
    }
}

// The kinds of random values; each draws `count` values for one format.
void CheckRandom(Comparison& comparison, Format format, std::size_t count,
                 std::mt19937_64& random) {
    const int precision = format.precision < 0 ? 6 : format.precision;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> counts(0, 70000);
    std::uniform_int_distribution<int> darks(0, 200);
    std::uniform_int_distribution<int> bits(1, 53);
    const auto sign = [&random](double value) { return (random() & 1) != 0 ? -value : value; };
    // Any bit pattern: every exponent, subnormals, NaN payloads. Their hundreds of digits make
    // printf slow, so fewer of them.
    for (std::size_t i = 0; i < count / 4; ++i) {
        const std::uint64_t pattern = random();
        double value = 0;
        std::memcpy(&value, &pattern, sizeof value);
        comparison.Check(value, format);
    }
    for (std::size_t i = 0; i < count; ++i) {
        // Magnitudes spread evenly over the exponents a reading can have.
        comparison.Check(
            sign((1.0 + unit(random)) * std::pow(10.0, std::floor(unit(random) * 24.0) - 12.0)),
            format);
        // Counts less a dark count, times a calibration scale.
        const double scale = unit(random) * std::pow(10.0, std::floor(unit(random) * 8.0) - 7.0);
        comparison.Check((counts(random) - darks(random)) * scale, format);
        // Exact ties: an odd multiple of 2^-(precision+1) is k + 1/2 units of the last place.
        const std::uint64_t odd = (random() >> (64 - bits(random))) | 1;
        comparison.Near(sign(std::ldexp(static_cast<double>(odd), -(precision + 1))), format, 1);
        // The double nearest a halfway point, which lies just above or just below it.
        const double halfway = (std::floor(unit(random) * 1e6) + 0.5) * std::pow(10.0, -precision);
        comparison.Near(sign(halfway), format, 1);
    }
}

TEST(FixedFormat, RecordFormatsMatchPrintf) {
    std::mt19937_64 random(Seed());
    for (const Format format : kRecordFormats) {
        Comparison comparison;
        CheckCorners(comparison, format);
        CheckRandom(comparison, format, ValuesPerKind(), random);
        comparison.ExpectNone();
    }
}

TEST(FixedFormat, NarrowWidthsAndOtherFormatsMatchPrintf) {
    std::mt19937_64 random(Seed() + 1);
    std::vector<Format> formats(std::begin(kOtherFormats), std::end(kOtherFormats));
    for (int width = 0; width <= 3; ++width) {
        for (int precision = 0; precision <= 8; ++precision) formats.push_back({width, precision});
    }
    for (const Format format : formats) {
        Comparison comparison;
        CheckCorners(comparison, format);
        CheckRandom(comparison, format, ValuesPerKind() / 20, random);
        comparison.ExpectNone();
    }
}

TEST(FixedFormat, Int2MatchesPrintf) {
    std::vector<int> values = {INT_MIN, INT_MIN + 1, INT_MAX, -100000, 100000};
    for (int value = -1000; value <= 1000; ++value) values.push_back(value);
    for (const int value : values) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%02d", value);
        std::string out = "x\t";
        AppendInt2(out, value);
        EXPECT_EQ(out, std::string("x\t") + expected) << value;
    }
}

}  // namespace
}  // namespace kivo
