#include "text_utils.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> references(int n) {
    std::vector<std::string> refs;
    refs.reserve(n);
    for (int i = 0; i < n; ++i) refs.push_back(vex::row_col_to_string(1 + (i * 7919) % 1048576, 1 + (i * 31) % 16384));
    return refs;
}

void BM_a1_parse(benchmark::State& state) {
    const auto refs = references(4096);
    for (auto _ : state) {
        for (const auto& r : refs) {
            vex::coord_t c;
            vex::string_to_coord(r.c_str(), c);
            benchmark::DoNotOptimize(c);
        }
    }
    state.SetItemsProcessed(state.iterations() * refs.size());
}
BENCHMARK(BM_a1_parse);

void BM_a1_format(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < 4096; ++i) {
            auto s = vex::row_col_to_string(1 + (i * 7919) % 1048576, 1 + (i * 31) % 16384);
            benchmark::DoNotOptimize(s);
        }
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_a1_format);

} // namespace
