#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kivo::sim {

class LineLayout;

// The meter's internal memory: a repeatable image of logged records that "$get" sends and
// "$emc" erases.
class MeterMemory {
public:
    static constexpr std::size_t kPageBytes = 264;
    static constexpr char kEndMarker[] = "etx";

    // `records` makes the logged lines; none: a date, a time and three counts each.
    MeterMemory(std::size_t size, std::uint32_t seed, LineLayout* records);

    const std::string& Image() const { return image_; }
    int PagesUsed() const;
    void Erase() { image_.clear(); }
    // Four lines of sixteen bytes from the start of a page, as "$hex" shows them.
    std::vector<std::string> HexDump(long page) const;

private:
    std::string image_;
};

}  // namespace kivo::sim
