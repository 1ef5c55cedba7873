#include "core/text/ScanNumbers.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace kivo {
namespace {

constexpr bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::size_t SkipSpace(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
    return pos;
}

// from_chars reports a number beyond the type's range without a value; strtof gives an
// infinity when it is too large and zero when too small. Out-of-range numbers are extreme,
// so the sign of (leading digit position + exponent) tells the two apart.
bool TooLarge(std::string_view number, bool hex) {
    const std::size_t mark = number.find_first_of(hex ? "pP" : "eE");
    const std::string_view mantissa = number.substr(0, mark);
    long exponent = 0;
    if (mark != std::string_view::npos) {
        std::size_t p = mark + 1;
        const bool negative = p < number.size() && number[p] == '-';
        if (p < number.size() && (number[p] == '-' || number[p] == '+')) ++p;
        for (; p < number.size() && IsDigit(number[p]); ++p) {
            if (exponent < 1000000) exponent = exponent * 10 + (number[p] - '0');
        }
        if (negative) exponent = -exponent;
    }
    long position = 0;  // of the leading non-zero digit, 0 for the units digit
    const std::size_t point = mantissa.find('.');
    const std::string_view whole = mantissa.substr(0, point);
    const std::size_t firstNonZero = whole.find_first_not_of('0');
    if (firstNonZero != std::string_view::npos) {
        position = static_cast<long>(whole.size() - firstNonZero) - 1;
    } else if (point != std::string_view::npos) {
        const std::string_view fraction = mantissa.substr(point + 1);
        const std::size_t nonZero = fraction.find_first_not_of('0');
        position =
            -static_cast<long>(nonZero == std::string_view::npos ? fraction.size() : nonZero) - 1;
    }
    return (hex ? position * 4 : position) + exponent >= 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

// scanf reads on as long as the characters could still begin a number and fails if they do
// not make one: a "0x" without a digit or point after it, and an "infinity" cut short.
// strtof reads the "0" or the "inf" of them instead.
bool ScanfRefuses(std::string_view number) {
    if (StartsWithNoCase(number, "0x")) {
        return number.size() == 2 || !(IsHexDigit(number[2]) || number[2] == '.');
    }
    return StartsWithNoCase(number, "infi") && !StartsWithNoCase(number, "infinity");
}

enum class Reading { Strtof, Scanf };

template <typename Real>
std::optional<Real> ScanReal(std::string_view text, std::size_t& pos, Reading reading) {
    std::size_t p = SkipSpace(text, pos);
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    // from_chars takes a sign of its own; one sign is all strtof allows.
    if (p >= text.size() || text[p] == '-' || text[p] == '+') return std::nullopt;
    if (reading == Reading::Scanf && ScanfRefuses(text.substr(p))) return std::nullopt;

    const char* const begin = text.data() + p;
    const char* const end = text.data() + text.size();
    Real value{};
    std::from_chars_result result{begin, std::errc::invalid_argument};
    bool hex = false;
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X') &&
        (IsHexDigit(begin[2]) || begin[2] == '.')) {
        result = std::from_chars(begin + 2, end, value, std::chars_format::hex);
        hex = result.ec != std::errc::invalid_argument;
    }
    if (!hex) result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return std::nullopt;
    if (result.ec == std::errc::result_out_of_range) {
        const std::string_view number(begin, static_cast<std::size_t>(result.ptr - begin));
        value = TooLarge(hex ? number.substr(2) : number, hex)
                    ? std::numeric_limits<Real>::infinity()
                    : Real{0};
    }
    pos = static_cast<std::size_t>(result.ptr - text.data());
    return negative ? -value : value;
}

struct Integer {
    bool negative;
    std::int64_t magnitude;  // held at 2^32: past every 32-bit range, whatever the sign

    std::int64_t Signed() const { return negative ? -magnitude : magnitude; }
};

// The sign and digits of "%d" or "%u"; the width counts the sign.
std::optional<Integer> ScanInteger(std::string_view text, std::size_t& pos, int maxWidth) {
    std::size_t p = SkipSpace(text, pos);
    const std::size_t limit =
        maxWidth > 0 ? std::min(text.size(), p + static_cast<std::size_t>(maxWidth)) : text.size();
    Integer number{false, 0};
    if (p < limit && (text[p] == '+' || text[p] == '-')) {
        number.negative = text[p] == '-';
        ++p;
    }
    constexpr std::int64_t kCeiling = std::int64_t{1} << 32;
    const std::size_t firstDigit = p;
    for (; p < limit && IsDigit(text[p]); ++p) {
        number.magnitude = std::min(kCeiling, number.magnitude * 10 + (text[p] - '0'));
    }
    if (p == firstDigit) return std::nullopt;
    pos = p;
    return number;
}

}  // namespace

std::optional<std::int32_t> ScanInt(std::string_view text, std::size_t& pos, int maxWidth,
                                    IntOverflow overflow) {
    std::size_t end = pos;
    const std::optional<Integer> number = ScanInteger(text, end, maxWidth);
    if (!number) return std::nullopt;
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::int64_t value = number->Signed();
    if (overflow == IntOverflow::Refuse && (value < kMin || value > kMax)) return std::nullopt;
    pos = end;
    return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

std::optional<std::uint32_t> ScanUnsigned(std::string_view text, std::size_t& pos) {
    std::size_t end = pos;
    const std::optional<Integer> number = ScanInteger(text, end, 0);
    if (!number || number->magnitude > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    pos = end;
    const auto magnitude = static_cast<std::uint32_t>(number->magnitude);
    return number->negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
}

std::optional<float> ScanFloat(std::string_view text, std::size_t& pos) {
    return ScanReal<float>(text, pos, Reading::Strtof);
}

std::optional<double> ScanDouble(std::string_view text, std::size_t& pos) {
    return ScanReal<double>(text, pos, Reading::Strtof);
}

std::optional<long double> ScanLongDouble(std::string_view text, std::size_t& pos) {
    return ScanReal<long double>(text, pos, Reading::Scanf);
}

std::optional<std::string_view> ScanToken(std::string_view text, std::size_t& pos,
                                          std::size_t width) {
    const std::size_t start = SkipSpace(text, pos);
    std::size_t end = start;
    while (end < text.size() && end - start < width && !IsCSpace(text[end])) ++end;
    if (end == start) return std::nullopt;
    pos = end;
    return text.substr(start, end - start);
}

bool ScanLiteral(std::string_view text, std::size_t& pos, char expected) {
    if (pos >= text.size() || text[pos] != expected) return false;
    ++pos;
    return true;
}

}  // namespace kivo
