// Whole rows inserted above everything a sheet holds, through the exports: the
// shift moves every formula (1,600, 6,400 and 100,000 of them) or every merged range
// (10,000 and 40,000). Each iteration inserts one row at the top and deletes it
// again, so the sheet stays the same; a shift should cost in proportion to what
// it moves, so "per_moved" must not grow with the count. Each case checks once,
// untimed, that what moved came back where it was.

#include "plover.h"
#include "text_utils.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

void per_moved(benchmark::State& state, int64_t n) {
    // An insert and a delete per iteration each move n.
    state.counters["per_moved"] = benchmark::Counter(double(2 * n), benchmark::Counter::kIsIterationInvariantRate |
                                                                        benchmark::Counter::kInvert);
}

// Rows 2.. hold a number in A and, in B, a formula over its row, the one above
// (a running total) and one rate cell that every formula names.
void insert_row_above_formulas(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Formulas");
    for (int r = 2; r <= n + 1; ++r) {
        ws_set_num(ws, r, 1, double(r));
        const std::string row = std::to_string(r), above = std::to_string(r - 1);
        ws_set_formula(ws, r, 2, ("A" + row + "*$C$1+B" + above).c_str());
    }
    if (ws_insert_row(ws, 1, 1) != 1 || ws_delete_row(ws, 1, 0) != 1) state.SkipWithError("shift refused");
    const std::string last = vex::concat({"A", std::to_string(n + 1), "*$C$1+B", std::to_string(n)});
    const char* text = ws_get_formula_expr(ws, n + 1, 2);
    if (!text || last != text) state.SkipWithError("the formulas did not come back");
    for (auto _ : state) {
        if (ws_insert_row(ws, 1, 1) != 1 || ws_delete_row(ws, 1, 0) != 1) state.SkipWithError("shift refused");
    }
    per_moved(state, n);
    doc_release(doc);
}

// Merged ranges of 2 x 3 cells from row 2, apart, 100 across.
void insert_row_above_merges(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Merges");
    const auto corner = [](int i, int& row, int& col) { row = 2 + (i / 100) * 3, col = 1 + (i % 100) * 4; };
    for (int i = 0; i < n; ++i) {
        int row = 0, col = 0;
        corner(i, row, col);
        ws_merge(ws, row, col, row + 1, col + 2);
    }
    if (ws_insert_row(ws, 1, 1) != 1 || ws_delete_row(ws, 1, 0) != 1) state.SkipWithError("shift refused");
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0, row = 0, col = 0;
    corner(n - 1, row, col);
    bool back = ws_merged_num(ws) == n;
    for (int i = 0; i < n && back; ++i) {
        ws_merged_range(ws, i, &r1, &c1, &r2, &c2);
        back = r1 >= 2 && r2 == r1 + 1 && (r1 - 2) % 3 == 0 && c2 == c1 + 2 && r1 <= row;
    }
    if (!back) state.SkipWithError("the merged ranges did not come back");
    for (auto _ : state) {
        if (ws_insert_row(ws, 1, 1) != 1 || ws_delete_row(ws, 1, 0) != 1) state.SkipWithError("shift refused");
    }
    per_moved(state, n);
    doc_release(doc);
}

// A row inserted and deleted on a small sheet beside another of 10,000 or
// 40,000 formulas naming nothing there: the other sheet is not read, so the
// two cost about the same.
void insert_row_beside_a_large_sheet(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* large = wb_add_worksheet(wb, "Large");
    plover_worksheet_t* small = wb_add_worksheet(wb, "Small");
    for (int r = 1; r <= n; ++r) ws_set_formula(large, r, 2, ("A" + std::to_string(r) + "*2").c_str());
    ws_set_formula(small, 1, 1, "SUM(B1:B10)");
    for (auto _ : state)
        if (ws_insert_row(small, 5, 1) != 1 || ws_delete_row(small, 5, 5) != 1) state.SkipWithError("shift refused");
    const char* text = ws_get_formula_expr(small, 1, 1);
    if (!text || std::string(text) != "SUM(B1:B10)") state.SkipWithError("the formula did not come back");
    doc_release(doc);
}

BENCHMARK(insert_row_above_formulas)->Arg(1600)->Arg(6400)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(insert_row_beside_a_large_sheet)->Arg(10000)->Arg(40000)->Unit(benchmark::kMicrosecond);
BENCHMARK(insert_row_above_merges)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace
