#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// Number reading with the C library's scanf conversions ("%d", "%2d", "%f", "%lf") in the
// "C" locale, whatever locale the process runs under: a decimal comma never changes what a
// device file or a data line means. Each function starts at `pos`, skips leading white space
// as scanf does, and on success moves `pos` past the characters it used; on failure `pos`
// is left where it was.

namespace kivo {

// "%d" (maxWidth 0) or "%Nd": optional sign and at least one digit; the width counts the
// sign. Values beyond the 32-bit range are held at its ends.
std::optional<std::int32_t> ScanInt(std::string_view text, std::size_t& pos, int maxWidth = 0);

// "%f": the longest prefix strtof accepts (decimal or hexadecimal, inf, nan), rounded once
// to single precision. Overflow gives an infinity, underflow zero, both with the sign.
std::optional<float> ScanFloat(std::string_view text, std::size_t& pos);

// "%lf": as ScanFloat, in double precision.
std::optional<double> ScanDouble(std::string_view text, std::size_t& pos);

// The white space of the "C" locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace kivo
