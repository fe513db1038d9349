// The value guard on a crowded sheet: 10,000 tables and 100,000 merged ranges,
// then a value set into every cell of a 1,000 x 100 block that crosses them.
// Each write asks whether its cell is a table header or covered by a merge;
// that answer must cost a lookup, not a walk over every table and merge, so the
// crowded sheet should run close to the empty one.

#include "mta/table/table/table.h"
#include "text_utils.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using vex::mta::Table;

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr int block_rows = 1000, block_cols = 100;

vex::range_t cells(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1, 1, 0, 0}, {0, r2, c2, 1, 0, 0}};
}

// Tables of 3 x 2 cells in rows 1 to 400, then merges of 1 x 2 cells in rows 401
// to 1400, each with a blank row or column beside it.
std::unique_ptr<Table> crowded_sheet() {
    auto t = std::make_unique<Table>(vex::mta::extent_t{}, all_rows, all_cols);
    int n = 0;
    for (int r = 1; r <= 400; r += 4)
        for (int c = 1; c <= 300; c += 3)
            t->tabledefs().add(0, vex::concat({"T", std::to_string(++n)}).c_str(), cells(r, c, r + 2, c + 1));
    for (int r = 401; r <= 1400; ++r)
        for (int c = 1; c <= 300; c += 3) t->merged_cells().merge(cells(r, c, r, c + 1), true);
    return t;
}

void write_block(benchmark::State& state, Table& t) {
    for (auto _ : state) {
        int stored = 0;
        for (int c = 1; c <= block_cols; ++c)
            for (int r = 1; r <= block_rows; ++r) stored += t.set_num(r, c, r * 0.5);
        benchmark::DoNotOptimize(stored);
    }
    state.SetItemsProcessed(state.iterations() * block_rows * block_cols);
}

void BM_guard_empty_sheet(benchmark::State& state) {
    Table t({}, all_rows, all_cols);
    write_block(state, t);
}
BENCHMARK(BM_guard_empty_sheet)->Unit(benchmark::kMillisecond);

void BM_guard_10k_tables_100k_merges(benchmark::State& state) {
    static const auto t = crowded_sheet();
    state.counters["tables"] = double(t->tabledefs().size());
    state.counters["merges"] = double(t->merged_cells().size());
    write_block(state, *t);
}
BENCHMARK(BM_guard_10k_tables_100k_merges)->Unit(benchmark::kMillisecond);

void BM_build_10k_tables_100k_merges(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(crowded_sheet());
}
BENCHMARK(BM_build_10k_tables_100k_merges)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
