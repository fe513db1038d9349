// Rows hidden and grouped one call at a time, as hosts do in loops. A hide, a
// show or a group should cost what it changes, not what the sheet holds:
// - hiding n rows one by one beside 10,000 formulas B i*2 (2,000 and 8,000
//   rows): 8,000 should take at most six times what 2,000 take;
// - grouping n pairs of rows of an empty sheet (8,000 and 32,000): at most
//   six times;
// - showing again, from the first, every other row of 2n hidden one by one
//   beside those formulas, and taking apart, from the first, n grouped pairs
//   of rows (2,000 and 8,000): at most six times;
// - one row hidden and shown again on a sheet holding a table of n records
//   with a column [@Qty]*[@Price] and its results (5,000 and 80,000): the
//   larger at most three times the smaller.
// Each case checks once, untimed, that the edit took and that the formulas
// kept their results.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace {

constexpr int formula_rows = 10000;

// A i = B i*2 with its result, for i up to formula_rows.
void doubled_column(plover_worksheet_t* ws) {
    for (int i = 1; i <= formula_rows; ++i) {
        ws_set_num(ws, i, 2, 1);
        ws_set_formula(ws, i, 1, ("B" + std::to_string(i) + "*2").c_str());
        ws_set_formula_num(ws, i, 1, 2);
    }
}

// Times `edit` on a new sheet that `fill` prepared; `took` tells, once and
// untimed, whether the edit did what was asked.
template <class Fill, class Edit, class Took>
void on_new_sheet(benchmark::State& state, const char* per, Fill fill, Edit edit, Took took) {
    const int n = int(state.range(0));
    bool checked = false;
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        fill(ws);
        state.ResumeTiming();
        edit(ws, n);
        state.PauseTiming();
        const bool failed = !checked && !took(ws, n);
        checked = true;
        doc_release(doc);
        if (failed) {
            state.SkipWithError("the edit or the results are not as expected");
            break;
        }
        state.ResumeTiming();
    }
    state.counters[per] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void rows_hidden_one_by_one(benchmark::State& state) {
    on_new_sheet(
        state, "per_row", doubled_column,
        [](plover_worksheet_t* ws, int n) {
            for (int r = 1; r <= n; ++r) ws_set_row_hidden(ws, r, r, 1);
        },
        [](plover_worksheet_t* ws, int n) {
            return ws_row_hidden(ws, n) && !ws_row_hidden(ws, n + 1) && ws_cell_type(ws, n, 1) == CELLTYPE_NUMBER;
        });
}

void row_pairs_grouped(benchmark::State& state) {
    on_new_sheet(
        state, "per_pair", [](plover_worksheet_t*) {},
        [](plover_worksheet_t* ws, int n) {
            for (int i = 0; i < n; ++i) ws_group_rows(ws, 3 * i + 1, 3 * i + 2, 0);
        },
        [](plover_worksheet_t* ws, int n) {
            return ws_row_outline_level(ws, 3 * n - 1, nullptr) == 1 && ws_row_outline_level(ws, 3 * n, nullptr) == 0;
        });
}

// Each edit near the last one, as a loop from the first row makes them.
void every_other_row_shown_again(benchmark::State& state) {
    const int n = int(state.range(0));
    on_new_sheet(
        state, "per_row",
        [n](plover_worksheet_t* ws) {
            doubled_column(ws);
            for (int i = 1; i <= n; ++i) ws_set_row_hidden(ws, 2 * i, 2 * i, 1);
        },
        [](plover_worksheet_t* ws, int n) {
            for (int i = 1; i <= n; ++i) ws_set_row_hidden(ws, 2 * i, 2 * i, 0);
        },
        [](plover_worksheet_t* ws, int n) {
            const int last = 2 * std::min(n, formula_rows / 2);
            return !ws_row_hidden(ws, 2 * n) && ws_cell_type(ws, last, 1) == CELLTYPE_NUMBER;
        });
}

void row_pairs_ungrouped(benchmark::State& state) {
    const int n = int(state.range(0));
    on_new_sheet(
        state, "per_pair",
        [n](plover_worksheet_t* ws) {
            for (int i = 0; i < n; ++i) ws_group_rows(ws, 3 * i + 1, 3 * i + 2, 0);
        },
        [](plover_worksheet_t* ws, int n) {
            for (int i = 0; i < n; ++i) ws_ungroup_rows(ws, 3 * i + 1, 3 * i + 2);
        },
        [](plover_worksheet_t* ws, int n) { return ws_row_outline_level(ws, 3 * n - 1, nullptr) == 0; });
}

void row_hidden_beside_a_table(benchmark::State& state) {
    const int n = int(state.range(0));
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    const char* headers[] = {"Qty", "Price", "Amount"};
    for (int c = 1; c <= 3; ++c) ws_set_text(ws, 1, c, headers[c - 1]);
    if (!ws_add_tabledef(ws, "T", 1, 1, n + 1, 3)) state.SkipWithError("the table was refused");
    // Values first: a value set later would drop the results.
    for (int r = 2; r <= n + 1; ++r) {
        ws_set_num(ws, r, 1, 2);
        ws_set_num(ws, r, 2, 3);
    }
    for (int r = 2; r <= n + 1; ++r) ws_set_formula(ws, r, 3, "[@Qty]*[@Price]");
    for (int r = 2; r <= n + 1; ++r) ws_set_formula_num(ws, r, 3, 6);
    int row = 2;
    for (auto _ : state) {
        ws_set_row_hidden(ws, row, row, 1);
        ws_set_row_hidden(ws, row, row, 0);
        row = row > n ? 2 : row + 1;
    }
    if (ws_row_hidden(ws, 2) || ws_cell_type(ws, 2, 3) != CELLTYPE_NUMBER || ws_cell_type(ws, n + 1, 3) != CELLTYPE_NUMBER)
        state.SkipWithError("the rows or the results are not as expected");
    doc_release(doc);
}

BENCHMARK(rows_hidden_one_by_one)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(row_pairs_grouped)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(every_other_row_shown_again)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(row_pairs_ungrouped)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(row_hidden_beside_a_table)->Arg(5000)->Arg(80000)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
