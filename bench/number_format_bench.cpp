#include "number_format/number_format.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

namespace {

constexpr std::array codes = {
    "General", "0.00", "#,##0_);[Red](#,##0)", "0%", "0.00E+00", "# ?/?", "m/d/yyyy", "h:mm:ss AM/PM",
    "[h]:mm:ss", "@", "[>100]0;[<-100]m/d/yyyy;0", R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))",
};

std::vector<double> sample_values(size_t n) {
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = double(int64_t(i * 2654435761u % 2001) - 1000) * 0.37;
    return v;
}

// Formats parsed once, then a million values classified per iteration.
void BM_numfmt_classify(benchmark::State& state) {
    std::vector<vex::numfmt::number_format_t> formats;
    for (const char* c : codes) formats.emplace_back(c);
    const auto values = sample_values(1'000'000);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (size_t i = 0; i < values.size(); ++i) sum += uint32_t(formats[i % formats.size()].get_format_type(values[i]));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * values.size()));
}
BENCHMARK(BM_numfmt_classify)->Unit(benchmark::kMillisecond);

// Parsing the same dozen codes, as a style lookup that builds its format per call does.
void BM_numfmt_parse(benchmark::State& state) {
    for (auto _ : state) {
        for (const char* c : codes) {
            vex::numfmt::number_format_t f(c);
            benchmark::DoNotOptimize(f);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations() * codes.size()));
}
BENCHMARK(BM_numfmt_parse);

} // namespace
