// What a number in the engineering-units file costs: "%8.6lf" (the scattering values) and
// "%6.4lf" (most other fields) through snprintf, through AppendFormat as the file has written
// them, and through AppendFixed, which writes the same bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/text/CFormat.h"
#include "core/text/FixedFormat.h"

namespace {

// Readings as a recording has them: counts less a dark count, times a calibration scale.
const std::vector<double>& Readings() {
    static const std::vector<double> values = [] {
        std::mt19937_64 random(7);
        std::uniform_int_distribution<int> counts(0, 70000);
        std::uniform_int_distribution<int> darks(0, 200);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        std::vector<double> readings(4096);
        for (double& reading : readings) {
            const double scale =
                unit(random) * std::pow(10.0, std::floor(unit(random) * 8.0) - 7.0);
            reading = (counts(random) - darks(random)) * scale;
        }
        return readings;
    }();
    return values;
}

// One line's worth of fields per pass, into a string kept from pass to pass as a record
// line is.
constexpr std::size_t kFieldsPerLine = 64;

template <typename Write>
void RunFields(benchmark::State& state, Write write) {
    const std::vector<double>& values = Readings();
    std::string line;
    std::size_t next = 0;
    for (auto _ : state) {
        line.clear();
        for (std::size_t field = 0; field < kFieldsPerLine; ++field) {
            write(line, values[next]);
            next = (next + 1) % values.size();
        }
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFieldsPerLine));
}

void Snprintf(benchmark::State& state, const char* format) {
    RunFields(state, [format](std::string& line, double value) {
        char buffer[64];
        const int length = std::snprintf(buffer, sizeof buffer, format, value);
        line.append(buffer, static_cast<std::size_t>(length));
    });
}

void AppendFormatC(benchmark::State& state, const char* format) {
    const kivo::CNumericLocale cLocale;
    RunFields(state, [format](std::string& line, double value) {
        kivo::AppendFormat(line, format, value);
    });
}

void AppendFixed(benchmark::State& state, int width, int precision) {
    RunFields(state, [width, precision](std::string& line, double value) {
        kivo::AppendFixed(line, value, width, precision);
    });
}

}  // namespace

BENCHMARK_CAPTURE(Snprintf, f8_6, "%8.6lf");
BENCHMARK_CAPTURE(AppendFormatC, f8_6, "%8.6lf");
BENCHMARK_CAPTURE(AppendFixed, f8_6, 8, 6);
BENCHMARK_CAPTURE(Snprintf, f6_4, "%6.4lf");
BENCHMARK_CAPTURE(AppendFormatC, f6_4, "%6.4lf");
BENCHMARK_CAPTURE(AppendFixed, f6_4, 6, 4);

BENCHMARK_MAIN();
