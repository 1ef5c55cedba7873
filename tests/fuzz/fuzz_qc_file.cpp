// Fuzz target: the QC file reader, on whatever a hand-edited thresholds file holds, then the
// tests of one channel under the thresholds it gave, over counts taken from the same bytes
// (the file's own bytes as counts, missing ones among them). Every flag is one of the five,
// a missing value is flagged missing and nothing else is, and every sample is decided once.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/quality/ChannelQuality.h"
#include "core/quality/QualitySettings.h"

namespace kivo::fuzz {
namespace {

bool Known(QualityFlag flag) {
    switch (flag) {
        case QualityFlag::Pass:
        case QualityFlag::NotEvaluated:
        case QualityFlag::Suspect:
        case QualityFlag::Fail:
        case QualityFlag::Missing:
            return true;
    }
    return false;
}

void CheckFlags(const std::vector<ValueFlags>& flags, double count,
                const std::vector<double>& quantities) {
    for (std::size_t v = 0; v < flags.size(); ++v) {
        const ValueFlags& f = flags[v];
        for (const QualityFlag flag :
             {f.saturation, f.flatLine, f.spike, f.rateOfChange, f.grossRange, f.aggregate})
            FUZZ_CHECK(Known(flag));
        const double value = v == 0 ? count : quantities[v - 1];
        FUZZ_CHECK((f.aggregate == QualityFlag::Missing) == std::isnan(value));
    }
}

}  // namespace
}  // namespace kivo::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    using namespace kivo::fuzz;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    const std::optional<QualitySettings> settings = QualitySettings::Parse(in, "fuzz.qc", error);
    FUZZ_CHECK(settings.has_value() == error.empty());
    if (!settings) return 0;
    for (const char* kind : {"Lambda", "CHL", "PRES", ""}) {
        ChannelQuality channel(settings->For(kind, 3), {{"bbp_470", "bbp"}, {"chl", "chl"}});
        std::size_t pushed = 0;
        std::size_t decided = 0;
        std::vector<double> counts;
        std::vector<std::vector<double>> quantities;
        for (std::size_t i = 0; i < size && i < 512; ++i) {
            const double count = data[i] == 0xff ? NAN : static_cast<double>(data[i]) * 17.0;
            const std::vector<double> values = {count * 1e-5, data[i] == 0xfe ? NAN : count};
            if (channel.Push(count, values)) {
                ++decided;
                CheckFlags(channel.Decided(), counts.back(), quantities.back());
            }
            CheckFlags(channel.Newest(), count, values);
            counts.push_back(count);
            quantities.push_back(values);
            ++pushed;
        }
        if (channel.Finish()) {
            ++decided;
            CheckFlags(channel.Decided(), counts.back(), quantities.back());
        }
        FUZZ_CHECK(decided == pushed);
    }
    return 0;
}
