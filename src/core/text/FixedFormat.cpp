#include "core/text/FixedFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kivo {

namespace {

// The largest finite double has 309 digits before the point.
constexpr std::size_t kMaxIntegerDigits = 309;

// Pads what was written from `start` with spaces to `width`; a negative width pads on the
// right, as printf's '-' flag does.
void Pad(std::string& out, std::size_t start, int width) {
    const bool left = width < 0;
    const std::size_t field = left ? static_cast<std::size_t>(-static_cast<long long>(width))
                                   : static_cast<std::size_t>(width);
    const std::size_t length = out.size() - start;
    if (length >= field) return;
    if (left)
        out.append(field - length, ' ');
    else
        out.insert(start, field - length, ' ');
}

void AppendPadded(std::string& out, const char* text, std::size_t length, int width) {
    const std::size_t start = out.size();
    out.append(text, length);
    Pad(out, start, width);
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Uint128;

// Below this magnitude and up to this precision, magnitude * 10^precision fits 64 bits.
constexpr double kFastLimit = 1e9;
constexpr int kFastMaxPrecision = 9;
constexpr std::uint64_t kPowersOfTen[kFastMaxPrecision + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// magnitude * 10^precision rounded half to even, from the exact binary value: the double is
// mantissa / 2^shift, so the product is an integer quotient and a remainder against half of
// 2^shift. The product stays below 2^83 and fits 128 bits.
std::uint64_t ScaleAndRound(double magnitude, int precision) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biasedExponent = static_cast<int>(bits >> 52) & 0x7ff;
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int shift = 1074;  // subnormal
    if (biasedExponent != 0) {
        mantissa |= std::uint64_t{1} << 52;
        shift = 1075 - biasedExponent;  // at least 23 below kFastLimit
    }
    if (shift >= 128) return 0;  // far below half a unit of the last place
    const Uint128 scaled = static_cast<Uint128>(mantissa) * kPowersOfTen[precision];
    std::uint64_t quotient = static_cast<std::uint64_t>(scaled >> shift);
    const Uint128 rest = scaled - (static_cast<Uint128>(quotient) << shift);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    if (rest > half || (rest == half && (quotient & 1) != 0)) ++quotient;
    return quotient;
}

// The common case: written right to left into a small buffer, then padded.
void AppendFixedFast(std::string& out, double value, int width, int precision) {
    const std::uint64_t scaled = ScaleAndRound(std::fabs(value), precision);
    // Both parts stay below 2^32, where dividing by ten is cheaper.
    std::uint32_t integer = static_cast<std::uint32_t>(scaled / kPowersOfTen[precision]);
    std::uint32_t decimals = static_cast<std::uint32_t>(scaled % kPowersOfTen[precision]);
    char buffer[32];  // sign, 10 integer digits, point, 9 decimals
    char* const end = buffer + sizeof buffer;
    char* first = end;
    for (int i = 0; i < precision; ++i) {
        *--first = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    if (precision > 0) *--first = '.';
    do {
        *--first = static_cast<char>('0' + integer % 10);
        integer /= 10;
    } while (integer != 0);
    if (std::signbit(value)) *--first = '-';
    const std::size_t length = static_cast<std::size_t>(end - first);
    const std::size_t start = out.size();
    // Leading spaces go in first: no shifting the digits along afterwards.
    if (width > 0 && length < static_cast<std::size_t>(width))
        out.append(static_cast<std::size_t>(width) - length, ' ');
    out.append(first, length);
    if (width < 0) Pad(out, start, width);
}
#endif

}  // namespace

void AppendFixed(std::string& out, double value, int width, int precision) {
    if (precision < 0) precision = 6;
    if (std::isnan(value)) {
        if (std::signbit(value))
            AppendPadded(out, "-nan", 4, width);
        else
            AppendPadded(out, "nan", 3, width);
        return;
    }
    if (std::isinf(value)) {
        if (value < 0)
            AppendPadded(out, "-inf", 4, width);
        else
            AppendPadded(out, "inf", 3, width);
        return;
    }
#if defined(__SIZEOF_INT128__)
    if (precision <= kFastMaxPrecision && std::fabs(value) < kFastLimit) {
        AppendFixedFast(out, value, width, precision);
        return;
    }
#endif
    // Huge values and long precisions: to_chars rounds the exact binary value half to even, as
    // glibc's printf does.
    const std::size_t start = out.size();
    const std::size_t bound = 1 + kMaxIntegerDigits + 1 + static_cast<std::size_t>(precision);
    out.resize(start + bound);
    char* const first = &out[start];
    const std::to_chars_result result =
        std::to_chars(first, first + bound, value, std::chars_format::fixed, precision);
    out.resize(start + static_cast<std::size_t>(result.ptr - first));
    Pad(out, start, width);
}

void AppendInt2(std::string& out, int value) {
    if (value >= 0 && value < 10) {
        out += '0';
        out += static_cast<char>('0' + value);
        return;
    }
    char buffer[12];  // "-2147483648"
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace kivo
