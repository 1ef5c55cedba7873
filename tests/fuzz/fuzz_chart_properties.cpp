// Fuzz target: the chart properties file (kivoiocomp.rbs), which the operator may edit or
// damage by hand. A file is either refused whole or read; what was read is written back and
// must read again to the same properties, and within the ranges the chart draws with.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "FuzzSupport.h"
#include "core/plot/ChartProperties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<ChartProperties> read = ReadChartProperties(text);
    if (!read) return 0;
    FUZZ_CHECK(read->lineWidth >= kMinLineWidth && read->lineWidth <= kMaxLineWidth);
    for (const int fontSize : {read->titleFontSize, read->axisFontSize, read->legendFontSize}) {
        FUZZ_CHECK(fontSize >= kMinFontSize && fontSize <= kMaxFontSize);
    }
    for (const std::uint32_t colour : {read->background, read->plotArea, read->text, read->grid}) {
        FUZZ_CHECK(colour <= 0xFFFFFFu);
    }
    const std::optional<ChartProperties> again = ReadChartProperties(WriteChartProperties(*read));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *read);
    return 0;
}
