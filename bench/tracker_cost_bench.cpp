// What the dependency tracker costs an edit, through the exports.
//
// Beside a column of running totals (B r = SUM($A$1:A r), every range holding
// $A$1), one row inserted below them, one column inserted and one range shifted
// in an unused column: each moves no formula and changes no reading, so 32,000
// rows should cost at most about what 8,000 do (within 6 times); then a ledger
// whose void records are deleted bottom up. Then 120 rows inserted one by one
// at the top of Sheet2 while 20,000 formulas of Sheet1 read it or their own
// sheet: the last ten should cost about what the first ten did ("ratio" at
// most 2). Then a small document released, and one of its sheets deleted,
// while a book of 1,000 or 100,000 formulas is open: within 3 times of each
// other. Last, releasing a book of one-formula sheets and a book of sheet
// spans: "ratio" (release over build) at most 1.

#include "plover.h"
#include "tests/api/book_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

using api_test::book_t;

// A r = r, B r = SUM($A$1:A r) from row 1 to row n.
plover_worksheet_t* running_totals(book_t& book, int n) {
    plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Ledger");
    for (int r = 1; r <= n; ++r) {
        ws_set_num(ws, r, 1, r);
        ws_set_formula(ws, r, 2, ("SUM($A$1:A" + std::to_string(r) + ")").c_str());
    }
    return ws;
}

enum edit_t { row_below, column, shift_unused };

// Each iteration makes the edit (timed) and takes it back (untimed).
void running_total_edit(benchmark::State& state) {
    const auto edit = edit_t(state.range(0));
    const int n = int(state.range(1));
    book_t book;
    plover_worksheet_t* ws = running_totals(book, n);
    for (auto _ : state) {
        int done = 0;
        switch (edit) {
        case row_below: done = ws_insert_row(ws, n + 2, 1); break;
        case column: done = ws_insert_col(ws, 3, 1); break;
        case shift_unused: done = ws_shift_range_down(ws, 4, 4, 1, 1); break;
        }
        state.PauseTiming();
        if (done != 1) state.SkipWithError(run_msg());
        switch (edit) {
        case row_below: ws_delete_row(ws, n + 2, n + 2); break;
        case column: ws_delete_col(ws, 3, 3); break;
        case shift_unused: ws_shift_range_up(ws, 4, 4, 1, 1); break;
        }
        state.ResumeTiming();
    }
    const char* last = ws_get_formula_expr(ws, n, 2);
    if (!last || std::string(last) != "SUM($A$1:A" + std::to_string(n) + ")") state.SkipWithError("the totals moved");
    state.SetLabel(edit == row_below ? "row below" : edit == column ? "column" : "shift in unused column");
}
BENCHMARK(running_total_edit)
    ->ArgsProduct({{row_below, column, shift_unused}, {8000, 32000}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Every tenth record, with the two after it, is void: the runs are deleted
// from the bottom, each with one call.
void running_total_ledger_voids_deleted(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        plover_worksheet_t* ws = running_totals(*book, n);
        state.ResumeTiming();
        for (int r = (n - 3) / 10 * 10 + 1; r >= 1; r -= 10)
            if (ws_delete_row(ws, r, r + 2) != 1) state.SkipWithError(run_msg());
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(running_total_ledger_voids_deleted)->Arg(1000)->Arg(4000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Sheet1 row i: Sheet2!A(i+1) or, every other row, B(i*2).
void inserts_on_read_sheet(benchmark::State& state) {
    constexpr int readers = 20000, inserts = 120;
    for (auto _ : state) {
        state.PauseTiming();
        book_t book;
        plover_worksheet_t* s1 = wb_add_worksheet(book.wb, "Sheet1");
        plover_worksheet_t* s2 = wb_add_worksheet(book.wb, "Sheet2");
        for (int i = 1; i <= readers; ++i) {
            const std::string text = i % 2 ? "Sheet2!A" + std::to_string(i + 1) : "B" + std::to_string(i * 2);
            ws_set_formula(s1, i, 1, text.c_str());
        }
        std::vector<double> each;
        for (int k = 0; k < inserts; ++k) {
            const auto start = clock_type::now();
            if (ws_insert_row(s2, 1, 1) != 1) state.SkipWithError(run_msg());
            each.push_back(ms_since(start));
        }
        double first = 0, last = 0;
        for (int k = 0; k < 10; ++k) first += each[k], last += each[inserts - 1 - k];
        state.counters["first_ten_ms"] = first;
        state.counters["last_ten_ms"] = last;
        state.counters["ratio"] = last / first;
        state.ResumeTiming();
    }
}
BENCHMARK(inserts_on_read_sheet)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

// A book of `count` formulas over one sheet's numbers.
void open_big_book(book_t& book, int count) {
    plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Data");
    for (int r = 1; r <= count; ++r) {
        ws_set_num(ws, r, 1, r);
        ws_set_formula(ws, r, 2, ("A" + std::to_string(r) + "*2").c_str());
    }
}

// Five sheets, each with a number and a formula reading it and the sheet before.
void small_book(book_t& book) {
    for (int s = 1; s <= 5; ++s) {
        plover_worksheet_t* ws = wb_add_worksheet(book.wb, ("S" + std::to_string(s)).c_str());
        ws_set_num(ws, 1, 1, s);
        ws_set_formula(ws, 1, 2, s == 1 ? "A1*2" : ("A1+S" + std::to_string(s - 1) + "!B1").c_str());
    }
}

// Timed: the small book released (0) or its last sheet deleted (1).
void small_book_beside(benchmark::State& state) {
    const bool sheet = state.range(0) != 0;
    book_t big;
    open_big_book(big, int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        auto small = std::make_unique<book_t>();
        small_book(*small);
        state.ResumeTiming();
        if (sheet) wb_delete_sheet(small->wb, 4);
        else small.reset();
        state.PauseTiming();
        small.reset();
        state.ResumeTiming();
    }
    state.SetLabel(sheet ? "sheet deleted" : "released");
}
BENCHMARK(small_book_beside)
    ->ArgsProduct({{0, 1}, {1000, 100000}})
    ->Iterations(20)
    ->Unit(benchmark::kMicrosecond);

// A book of n sheets: with spans, every tenth sheet K holds
// SUM(Sheet1:SheetK!B1); without, each sheet holds one formula over its A1.
void book_built_then_released(benchmark::State& state) {
    const bool spans = state.range(0) != 0;
    const int n = int(state.range(1));
    for (auto _ : state) {
        const auto start = clock_type::now();
        book_t* book = new book_t;
        for (int k = 1; k <= n; ++k) {
            plover_worksheet_t* ws = wb_add_worksheet(book->wb, ("Sheet" + std::to_string(k)).c_str());
            if (!spans) ws_set_formula(ws, 1, 2, "A1*2");
            else if (k % 10 == 0) ws_set_formula(ws, 1, 1, ("SUM(Sheet1:Sheet" + std::to_string(k) + "!B1)").c_str());
        }
        const double built = ms_since(start);
        const auto released_at = clock_type::now();
        delete book;
        const double released = ms_since(released_at);
        state.counters["build_ms"] = built;
        state.counters["release_ms"] = released;
        state.counters["ratio"] = released / built;
    }
    state.SetLabel(spans ? "spans" : "one formula a sheet");
}
BENCHMARK(book_built_then_released)
    ->Args({0, 4000})
    ->Args({1, 1000})
    ->Args({1, 2000})
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace
