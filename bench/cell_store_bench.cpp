// Filling a sheet's cell store the way callers do: numbers through set_num
// (whole and fractional mixed), texts through set_text with the strings added to
// the pool during the fill, kinds alternating down and across columns, and parsed
// rows through the row import. Reported per cell: live heap bytes after the fill,
// peak resident bytes over it, and the time to tear the sheet down.

#include "bench/memory_counters.h"
#include "mta/formula/formula_cell.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/table/table.h"
#include "mta/types/imported_row_cells.h"

#include <benchmark/benchmark.h>
#include <ixion/model_context.hpp>

#include <chrono>
#include <memory>
#include <string>

namespace {

using vex::mta::cell_value_kind;
using vex::mta::Table;

using bench_memory::heap_in_use;
using bench_memory::reset_peak_rss;
using bench_memory::status_bytes;

// Times `fill(model, iteration)` over `cells` cells on a model that `make` builds
// untimed, and reports the memory the fill left.
template <class Make, class Fill>
void measure_model(benchmark::State& state, size_t cells, Make make, Fill fill) {
    double heap = 0, peak = 0, teardown_ms = 0;
    int iteration = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool rss = reset_peak_rss();
        const size_t rss_before = status_bytes("VmRSS");
        const size_t heap_before = heap_in_use();
        auto table = make();
        state.ResumeTiming();
        fill(*table, iteration++);
        state.PauseTiming();
        heap = double(heap_in_use() - heap_before) / double(cells);
        peak = rss ? double(status_bytes("VmHWM") - rss_before) / double(cells) : 0;
        const auto t0 = std::chrono::steady_clock::now();
        table.reset();
        teardown_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(cells));
    state.counters["heap_bytes_per_cell"] = heap;
    state.counters["peak_rss_per_cell"] = peak;
    state.counters["teardown_ms"] = teardown_ms;
}

template <class Fill>
void measure(benchmark::State& state, size_t cells, Fill fill) {
    measure_model(state, cells, [] { return std::make_unique<Table>(vex::mta::extent_t{}, 1048576, 16384); }, fill);
}

// 1, 1.5, 3, 3.5, ...: whole and fractional values alternate down every column.
double mixed(int row, int col) {
    return row % 2 ? double(row + col) : row + col + 0.5;
}

constexpr int number_rows = 500000, number_cols = 20;  // 10,000,000 numbers

void BM_set_num_mixed_row_major(benchmark::State& s) {
    measure(s, size_t(number_rows) * number_cols, [](Table& t, int) {
        for (int r = 1; r <= number_rows; ++r)
            for (int c = 1; c <= number_cols; ++c) t.set_num(r, c, mixed(r, c));
    });
}

void BM_set_num_mixed_column_major(benchmark::State& s) {
    measure(s, size_t(number_rows) * number_cols, [](Table& t, int) {
        for (int c = 1; c <= number_cols; ++c)
            for (int r = 1; r <= number_rows; ++r) t.set_num(r, c, mixed(r, c));
    });
}

// The peer: ixion's model, one sheet of the same size, the same values in the
// same order.
std::unique_ptr<ixion::model_context> ixion_sheet() {
    auto cxt = std::make_unique<ixion::model_context>(ixion::rc_size_t(1048576, 16384));
    cxt->append_sheet("Sheet1");
    return cxt;
}

void BM_ixion_set_numeric_cell_row_major(benchmark::State& s) {
    measure_model(s, size_t(number_rows) * number_cols, ixion_sheet, [](ixion::model_context& cxt, int) {
        for (int r = 1; r <= number_rows; ++r)
            for (int c = 1; c <= number_cols; ++c) cxt.set_numeric_cell({0, r - 1, c - 1}, mixed(r, c));
    });
}

void BM_ixion_set_numeric_cell_column_major(benchmark::State& s) {
    measure_model(s, size_t(number_rows) * number_cols, ixion_sheet, [](ixion::model_context& cxt, int) {
        for (int c = 1; c <= number_cols; ++c)
            for (int r = 1; r <= number_rows; ++r) cxt.set_numeric_cell({0, r - 1, c - 1}, mixed(r, c));
    });
}

constexpr int text_rows = 100000, text_cols = 10, distinct_texts = 100000;  // 1,000,000 texts

// New texts for every run, so that each fill adds its own to the pool.
std::string text_of(int iteration, int n) {
    return "text " + std::to_string(iteration) + "/" + std::to_string((n % distinct_texts) * 7919);
}

void BM_set_text_row_major(benchmark::State& s) {
    measure(s, size_t(text_rows) * text_cols, [](Table& t, int iteration) {
        int n = 0;
        for (int r = 1; r <= text_rows; ++r)
            for (int c = 1; c <= text_cols; ++c) t.set_text(r, c, text_of(iteration, n++));
    });
}

// Numbers and texts alternate down each column and across each row: every cell
// is a block of its own, the store's worst case.
void BM_set_alternating_kinds(benchmark::State& s) {
    measure(s, size_t(text_rows) * text_cols, [](Table& t, int iteration) {
        int n = 0;
        for (int r = 1; r <= text_rows; ++r)
            for (int c = 1; c <= text_cols; ++c) {
                if ((r + c) % 2) t.set_num(r, c, mixed(r, c));
                else t.set_text(r, c, text_of(iteration, n++));
            }
    });
}

// ---- row import --------------------------------------------------------------------

constexpr uint32_t import_rows = 1000000, import_cols = 10;

// One row buffer reused the way the reader reuses it: the records are written in
// place, the store takes the row.
struct row_maker {
    vex::mta::imported_row_cells row;
    explicit row_maker(bool mixed_kinds) {
        for (uint32_t c = 1; c <= import_cols; ++c) {
            vex::mta::trival_cell_t cell;
            cell.row = 1;
            cell.col = c;
            cell.kind = uint8_t(cell_value_kind::number);
            if (mixed_kinds && c >= 6 && c <= 9) cell.kind = uint8_t(cell_value_kind::text);
            if (mixed_kinds && c == 10) {
                cell.kind = uint8_t(cell_value_kind::formula);
                cell.formula = "SUM(A1:E1)";
                cell.value_kind = uint8_t(cell_value_kind::number);
            }
            cell.value = 0.0;
            row.append(cell);
        }
    }
    const vex::mta::imported_row_cells& at(uint32_t r, const int32_t* pooled) {
        row.row = r;
        for (auto& cell : row.cells) {
            cell.row = r;
            if (cell.kind == uint8_t(cell_value_kind::text)) {
                cell.value = pooled[(r * 4 + cell.col) % distinct_texts];
                continue;
            }
            // The reader makes a whole number a 32-bit integer record.
            const bool whole = r % 2;
            const auto kind = uint8_t(whole ? cell_value_kind::int32 : cell_value_kind::number);
            if (whole) cell.value = int32_t(r + cell.col);
            else cell.value = r + cell.col + 0.5;
            (cell.kind == uint8_t(cell_value_kind::formula) ? cell.value_kind : cell.kind) = kind;
        }
        return row;
    }
};

const int32_t* pooled_texts() {
    // The shared strings are read, and pooled, before the sheets; the store keeps
    // only their indexes, so one pool outside the measured tables serves them all.
    static vex::mta::string_pool_t pool;
    static const std::vector<int32_t> all = [] {
        std::vector<int32_t> v;
        for (int i = 0; i < distinct_texts; ++i)
            v.push_back(pool.add_string(0, "shared " + std::to_string(i * 7919)));
        return v;
    }();
    return all.data();
}

// Numbers only, whole and fractional alternating down every column.
void BM_import_numbers(benchmark::State& s) {
    row_maker maker(false);
    measure(s, size_t(import_rows) * import_cols, [&](Table& t, int) {
        for (uint32_t r = 1; r <= import_rows; ++r) t.set_imported_row_cells_(maker.at(r, nullptr));
    });
}

// Five numbers, four pooled strings and a formula with its cached result per row.
void BM_import_mixed_rows(benchmark::State& s) {
    const int32_t* pooled = pooled_texts();
    row_maker maker(true);
    measure(s, size_t(import_rows) * import_cols, [&](Table& t, int) {
        for (uint32_t r = 1; r <= import_rows; ++r) t.set_imported_row_cells_(maker.at(r, pooled));
    });
    s.counters["formula_record_bytes"] = double(sizeof(vex::mta::formula::formula_cell));
}

// Formulas only, each with its cached number: the heap a formula cell costs,
// its record and the column's pointer to it (the texts are short enough to be
// kept inside the record).
void BM_import_formulas(benchmark::State& s) {
    constexpr uint32_t rows = 100000;
    vex::mta::imported_row_cells row;
    for (uint32_t c = 1; c <= import_cols; ++c) {
        vex::mta::trival_cell_t cell;
        cell.row = 1;
        cell.col = c;
        cell.kind = uint8_t(cell_value_kind::formula);
        cell.formula = "SUM(A1:E1)";
        cell.value_kind = uint8_t(cell_value_kind::number);
        cell.value = 1.5;
        row.append(cell);
    }
    measure(s, size_t(rows) * import_cols, [&](Table& t, int) {
        for (uint32_t r = 1; r <= rows; ++r) {
            row.row = r;
            for (auto& cell : row.cells) cell.row = r;
            t.set_imported_row_cells_(row);
        }
    });
    s.counters["formula_record_bytes"] = double(sizeof(vex::mta::formula::formula_cell));
}

BENCHMARK(BM_set_num_mixed_row_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_set_num_mixed_column_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ixion_set_numeric_cell_row_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ixion_set_numeric_cell_column_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_set_text_row_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_set_alternating_kinds)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_import_numbers)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_import_mixed_rows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_import_formulas)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
