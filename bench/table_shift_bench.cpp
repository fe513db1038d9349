// Rows inserted into a full sheet and deleted again. At the top of columns that
// are one block each nothing is copied: the cost is the moving of the blocks, not
// a walk over the sheet's 1,048,576 rows. In the middle of such a column the block
// is split and joined again, so every cell below is copied; in columns whose
// numbers and texts alternate every cell is a block of its own. Each case checks
// once, untimed, that the cells moved and came back, and reports the time per
// moved cell.

#include "mta/table/table/table.h"
#include "text_utils.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using vex::mta::Table;

constexpr int all_cols = 16384;

// Numbers r in rows 1..rows of columns 1..cols, or, with alternate, numbers in
// the odd rows and texts in the even ones.
void fill(Table& t, int rows, int cols, bool alternate) {
    for (int c = 1; c <= cols; ++c) {
        auto& column = t.create_column_if_not_exists(c);
        for (int r = 1; r <= rows; ++r) {
            if (alternate && r % 2 == 0) t.set_text(r, c, vex::concat({"t", std::to_string(r % 1000)}));
            else column.set_value(r, double(r));
        }
    }
}

// The cell of row r holds what row `from` held before the moves.
bool holds(const Table& t, int r, int c, int from, bool alternate) {
    const auto cell = t.get_cell(r, c);
    if (alternate && from % 2 == 0) {
        const auto text = cell.get_text();
        return text && *text == vex::concat({"t", std::to_string(from % 1000)});
    }
    const auto num = cell.get_num();
    return num && *num == double(from);
}

// One row inserted at `at` and deleted again, `rows` by `cols` filled.
void insert_and_delete(benchmark::State& state, int rows, int cols, int at, bool alternate) {
    Table t({}, 1048576, all_cols);
    fill(t, rows, cols, alternate);
    // Untimed: the row below the gap holds what `at` held, the gap is empty, and
    // the deletion brings every row back.
    bool moved = t.shift_range_down(1, all_cols, at, 1);
    for (int c = 1; c <= cols && moved; ++c)
        moved = t.get_cell(at, c).kind() == vex::mta::cell_value_kind::none && holds(t, at + 1, c, at, alternate) &&
                holds(t, rows + 1, c, rows, alternate);
    moved = moved && t.shift_range_up(1, all_cols, at, at);
    for (int c = 1; c <= cols && moved; ++c)
        moved = holds(t, at, c, at, alternate) && holds(t, rows, c, rows, alternate);
    if (!moved) {
        state.SkipWithError("the cells did not move");
        return;
    }
    for (auto _ : state) {
        if (!t.shift_range_down(1, all_cols, at, 1) || !t.shift_range_up(1, all_cols, at, at))
            state.SkipWithError("shift refused");
    }
    // Each pair moves the cells from `at` down and back.
    const double moved_per_pair = 2.0 * double(rows - at + 1) * cols;
    state.counters["moved_cells_per_pair"] = moved_per_pair;
    state.counters["time_per_moved_cell"] = benchmark::Counter(moved_per_pair * double(state.iterations()),
                                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel("one insert plus one delete per iteration");
}

void insert_and_delete_top_row(benchmark::State& state) {
    insert_and_delete(state, 1000000, 10, 1, false);
}

void insert_and_delete_middle_row(benchmark::State& state) {
    insert_and_delete(state, 1000000, 10, 500000, false);
}

void insert_and_delete_top_row_alternating_kinds(benchmark::State& state) {
    insert_and_delete(state, 1000000, 10, 1, true);
}

BENCHMARK(insert_and_delete_top_row)->Unit(benchmark::kMillisecond);
BENCHMARK(insert_and_delete_middle_row)->Unit(benchmark::kMillisecond);
BENCHMARK(insert_and_delete_top_row_alternating_kinds)->Unit(benchmark::kMillisecond);

} // namespace
