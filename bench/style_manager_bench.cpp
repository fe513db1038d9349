#include "mta/table/style/manager/style_manager.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace vex::mta;

// 1000 distinct styles mixing the parts a sheet typically varies.
std::vector<style_settings_t> distinct_styles() {
    std::vector<style_settings_t> out;
    for (int i = 0; i < 1000; ++i) {
        style_settings_t s;
        font_t f;
        f.name = i % 2 ? "Arial" : "Calibri";
        f.size = 8 + i % 10;
        f.bold = (i / 10) % 2;
        f.color = color_t::from_rgb(0xFF000000u + uint32_t(i / 20));
        s.set_font(f);
        if (i % 3 == 0) {
            fill_t fill;
            fill.pattern = {1, color_t::from_theme(uint16_t(4 + i % 6), 0.3999755851924192), {}};
            s.set_fill(fill);
        }
        if (i % 4 == 0) {
            border_t b;
            b.set_edge(border_side::bottom, 1 + uint32_t(i % 13), {});
            s.set_border(b);
        }
        if (i % 5 == 0) s.set_numfmt_code("0." + std::string(size_t(1 + i % 6), '0'));
        out.push_back(s);
    }
    return out;
}

void BM_style_manager_intern(benchmark::State& state) {
    const auto styles = distinct_styles();
    constexpr size_t draws = 1'000'000;
    size_t records = 0;
    size_t baseline = 0;
    for (auto _ : state) {
        style_manager_t m;
        baseline = m.get_impl().cell_xfs.size();
        uint64_t x = 88172645463325252ull;   // xorshift: a fixed, spread-out draw order
        for (size_t n = 0; n < draws; ++n) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            benchmark::DoNotOptimize(m.intern_style(styles[x % styles.size()]));
        }
        records = m.get_impl().cell_xfs.size();
    }
    if (records != styles.size() + baseline) state.SkipWithError("interning produced duplicate records");
    state.counters["records"] = double(records);
    state.SetItemsProcessed(int64_t(state.iterations() * draws));
}
BENCHMARK(BM_style_manager_intern)->Unit(benchmark::kMillisecond);

} // namespace
