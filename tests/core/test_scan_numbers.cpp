#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "core/text/ScanNumbers.h"

namespace kivo {
namespace {

constexpr std::size_t kRefused = static_cast<std::size_t>(-1);

TEST(ScanInt, ScanfConversions) {
    struct Case {
        const char* text;
        int width;
        std::int32_t value;
        std::size_t end;  // kRefused: nothing read
    };
    const Case cases[] = {
        {" 42", 0, 42, 3},
        {"-7x", 0, -7, 2},
        {"+5", 0, 5, 2},
        {"\t\n12:30", 0, 12, 4},
        {"-", 0, 0, kRefused},
        {"x1", 0, 0, kRefused},
        {"", 0, 0, kRefused},
        {"99999999999", 0, std::numeric_limits<std::int32_t>::max(), 11},
        {"-99999999999", 0, std::numeric_limits<std::int32_t>::min(), 12},
        {"112003", 2, 11, 2},
        {"-12", 2, -1, 2},  // the sign counts toward the width
        {"7", 2, 7, 1},
        {" 45", 2, 45, 3},  // white space does not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::size_t pos = 0;
        const auto value = ScanInt(c.text, pos, c.width);
        if (c.end == kRefused) {
            EXPECT_FALSE(value.has_value());
            EXPECT_EQ(pos, 0u);
        } else {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(*value, c.value);
            EXPECT_EQ(pos, c.end);
        }
    }
}

constexpr std::int64_t kNoValue = std::numeric_limits<std::int64_t>::min();

// What `scan` reads of the whole of `text`; kNoValue when it refuses and leaves pos alone.
template <typename Scan>
std::int64_t ScanWhole(std::string_view text, Scan scan) {
    std::size_t pos = 0;
    const auto value = scan(text, pos);
    if (!value) return pos == 0 ? kNoValue : kNoValue + 1;
    return pos == text.size() ? static_cast<std::int64_t>(*value) : kNoValue + 2;
}

// Files hold a number past 32 bits at the range's end; a reply's field refuses it, and "%u"
// wraps a sign modulo 2^32. The edges are one apart.
TEST(ScanInt, PastThirtyTwoBitsSaturatesOrRefuses) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case {
        const char* text;
        std::int64_t saturated;
        std::int64_t refusing;
        std::int64_t unsignedValue;
    };
    const Case cases[] = {
        {"2147483647", kMax, kMax, 2147483647},
        {"2147483648", kMax, kNoValue, 2147483648},
        {"-2147483648", kMin, kMin, 2147483648},
        {"-2147483649", kMin, kNoValue, 2147483647},
        {"4294967295", kMax, kNoValue, 4294967295},
        {"4294967296", kMax, kNoValue, kNoValue},
        {"-4294967295", kMin, kNoValue, 1},
        {"-4294967296", kMin, kNoValue, kNoValue},
        {"-1", -1, -1, 4294967295},
    };
    const auto saturating = [](std::string_view t, std::size_t& p) { return ScanInt(t, p); };
    const auto refusing = [](std::string_view t, std::size_t& p) {
        return ScanInt(t, p, 0, IntOverflow::Refuse);
    };
    const auto toUnsigned = [](std::string_view t, std::size_t& p) { return ScanUnsigned(t, p); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ScanWhole(c.text, saturating), c.saturated);
        EXPECT_EQ(ScanWhole(c.text, refusing), c.refusing);
        EXPECT_EQ(ScanWhole(c.text, toUnsigned), c.unsignedValue);
    }
}

TEST(ScanFloat, SinglePrecisionLikeScanf) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* text;
        float value;
        std::size_t end;
    };
    const Case cases[] = {
        {"0.0121", 0.0121f, 6},
        {"  50 ", 50.0f, 4},
        {"-2.5e-6", -2.5e-6f, 7},
        {"+1.5E3", 1500.0f, 6},
        {".5", 0.5f, 2},
        {"5.", 5.0f, 2},
        {"1e", 1.0f, 1},
        {"470nm", 470.0f, 3},
        {"1e39", inf, 4},
        {"-1e39", -inf, 5},
        {"1000000000000000000000000000000000000000", inf, 40},
        {"1e-50", 0.0f, 5},
        {"0.00000000000000000000000000000000000000000000000001", 0.0f, 52},
        {"0x10", 16.0f, 4},
        {"0x1p-2", 0.25f, 6},
        {"0x", 0.0f, 1},
        {"INF", inf, 3},
        {"--5", 0.0f, kRefused},
        {"+-5", 0.0f, kRefused},
        {"-", 0.0f, kRefused},
        {"abc", 0.0f, kRefused},
        {"", 0.0f, kRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::size_t pos = 0;
        const auto value = ScanFloat(c.text, pos);
        if (c.end == kRefused) {
            EXPECT_FALSE(value.has_value());
            EXPECT_EQ(pos, 0u);
        } else {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(*value, c.value);
            EXPECT_EQ(pos, c.end);
        }
    }
}

TEST(ScanDouble, DoublePrecisionAndSequences) {
    std::size_t pos = 0;
    const std::string text = "0.1 1e309 -1e-400 7";
    EXPECT_EQ(ScanDouble(text, pos), 0.1);
    EXPECT_EQ(ScanDouble(text, pos), std::numeric_limits<double>::infinity());
    const auto tiny = ScanDouble(text, pos);
    ASSERT_TRUE(tiny.has_value());
    EXPECT_EQ(*tiny, 0.0);
    EXPECT_TRUE(std::signbit(*tiny));
    EXPECT_EQ(ScanDouble(text, pos), 7.0);
    EXPECT_EQ(pos, text.size());
    EXPECT_FALSE(ScanDouble(text, pos).has_value());
}

}  // namespace
}  // namespace kivo
