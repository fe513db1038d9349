// One row inserted at the top of a sheet of 1,000,000 rows x 10 columns of
// numbers, then deleted again. The cost should be the moving of the cells (one
// block per column), not a walk over the sheet's 1,048,576 rows.

#include "mta/table/table/table.h"

#include <benchmark/benchmark.h>

namespace {

using vex::mta::Table;

constexpr int used_rows = 1000000, used_cols = 10;

void insert_and_delete_top_row(benchmark::State& state) {
    Table t({}, 1048576, 16384);
    for (int c = 1; c <= used_cols; ++c) {
        auto& column = t.create_column_if_not_exists(c);
        for (int r = 1; r <= used_rows; ++r) column.set_value(r, double(r));
    }
    for (auto _ : state) {
        if (!t.shift_range_down(1, 16384, 1, 1) || !t.shift_range_up(1, 16384, 1, 1))
            state.SkipWithError("shift refused");
    }
    state.SetLabel("one insert plus one delete per iteration");
}

BENCHMARK(insert_and_delete_top_row)->Unit(benchmark::kMillisecond);

} // namespace
