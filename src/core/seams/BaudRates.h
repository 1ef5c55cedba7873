#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace kivo {

// The serial speeds a meter talks at, in the order of every speed list: a list item is an
// index into this table. Item 2, 19200, is the speed chosen when none is.
inline constexpr std::array<int, 4> kBaudRates{4800, 9600, 19200, 38400};
inline constexpr int kDefaultBaudItem = 2;

// The item of `rate` in kBaudRates; none for a speed the meters do not have.
constexpr std::optional<int> BaudItemOf(int rate) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == rate) return static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace kivo
