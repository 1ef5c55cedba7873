#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The scanf conversions the files and the meter's replies use ("%d", "%2d", "%u", "%f",
// "%lf", "%Lf", "%Ns" and ordinary characters), in the "C" locale whatever locale the process
// runs under: a decimal comma never changes what a device file, a data line or a reply means.
// Each function starts at `pos`, skips leading white space as scanf does (an ordinary
// character does not), and on success moves `pos` past the characters it used; on failure
// `pos` is left where it was.

namespace kivo {

// The white space of the "C" locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What "%d" does with a number beyond the 32-bit range, which C leaves undefined.
enum class IntOverflow {
    Saturate,  // held at the range's ends
    Refuse,    // the conversion fails
};

// "%d" (maxWidth 0) or "%Nd": optional sign and at least one digit; the width counts the sign.
std::optional<std::int32_t> ScanInt(std::string_view text, std::size_t& pos, int maxWidth = 0,
                                    IntOverflow overflow = IntOverflow::Saturate);

// "%u": C takes a sign here too and negates modulo 2^32 ("-1" is 4294967295). A magnitude
// beyond 32 bits fails.
std::optional<std::uint32_t> ScanUnsigned(std::string_view text, std::size_t& pos);

// "%f": the longest prefix strtof accepts (decimal or hexadecimal, inf, nan), rounded once
// to single precision. Overflow gives an infinity, underflow zero, both with the sign.
std::optional<float> ScanFloat(std::string_view text, std::size_t& pos);

// "%lf": as ScanFloat, in double precision.
std::optional<double> ScanDouble(std::string_view text, std::size_t& pos);

// "%Lf": as ScanFloat in long double precision, except where scanf and strtof part: a "0x"
// with neither a hexadecimal digit nor a point after it, and an "infinity" cut short
// ("infin"), fail rather than read as 0 and an infinity.
std::optional<long double> ScanLongDouble(std::string_view text, std::size_t& pos);

// "%Ns": the next run of non-blank characters, at most `width` of them.
std::optional<std::string_view> ScanToken(std::string_view text, std::size_t& pos,
                                          std::size_t width);

// An ordinary format character: it must be the very next character.
bool ScanLiteral(std::string_view text, std::size_t& pos, char expected);

}  // namespace kivo
