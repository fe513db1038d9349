// Sheets deleted and inserted through the exports in books of 1,000 and 4,000
// sheets. A delete, an insert or a move should cost what reads the sheets it
// moves or removes, not what the workbook holds: 4,000 should take at most six
// times what 1,000 take.
// - sheets_deleted_from_the_last: n empty sheets after a first one, beside ten
//   names over the first, deleted one by one from the last; and
//   sheets_deleted_from_the_first, the same from the second sheet on.
// - sheet_inserted_among_spans: n sheets, every tenth holding
//   SUM(Sheet1:SheetK!B1), K its own place; one sheet inserted in the middle
//   (and deleted again, untimed); sheet_deleted_among_spans times the delete,
//   sheet_moved_among_spans one sheet of the middle moved a place.
// - sheets_renamed: n empty sheets beside one sheet of formulas reading the
//   first, each renamed once; sheet_moved_first_to_last, the first sheet moved
//   behind the last n times.
// Each case checks once, untimed, what the edits left.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void sheets_deleted(benchmark::State& state, bool from_last) {
    const int n = int(state.range(0));
    bool checked = false;
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        ws_set_num(wb_add_worksheet(wb, "Sheet1"), 1, 1, 2);
        for (int i = 1; i <= 10; ++i) {
            const std::string name = "Name_" + std::to_string(i), text = "Sheet1!$A$" + std::to_string(i) + "*2";
            wb_set_defined_name(wb, name.c_str(), text.c_str(), nullptr);
        }
        for (int i = 0; i < n; ++i) wb_add_worksheet(wb, nullptr);
        state.ResumeTiming();
        for (int i = n; i >= 1; --i) wb_delete_sheet(wb, from_last ? i : 1);
        state.PauseTiming();
        if (!checked && (wb_sheet_count(wb) != 1 || wb_defined_name_num(wb) != 10))
            state.SkipWithError("the sheets or names are not as expected");
        checked = true;
        doc_release(doc);
        state.ResumeTiming();
    }
}

void sheets_deleted_from_the_last(benchmark::State& state) { sheets_deleted(state, true); }
void sheets_deleted_from_the_first(benchmark::State& state) { sheets_deleted(state, false); }

// The book of spans: n sheets, every tenth K holding SUM(Sheet1:SheetK!B1).
struct span_book_t {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    explicit span_book_t(int n) {
        for (int k = 1; k <= n; ++k) {
            plover_worksheet_t* ws = wb_add_worksheet(wb, nullptr);
            ws_set_num(ws, 1, 2, 1);
            if (k % 10 == 0) {
                ws_set_formula(ws, 1, 1, ("SUM(Sheet1:Sheet" + std::to_string(k) + "!B1)").c_str());
                ws_set_formula_num(ws, 1, 1, k);
            }
        }
    }
    ~span_book_t() { doc_release(doc); }
};

void sheet_among_spans(benchmark::State& state, bool time_delete) {
    const int n = int(state.range(0));
    const span_book_t book(n);
    plover_workbook_t* wb = book.wb;
    const int middle = n / 2;
    bool checked = false;
    for (auto _ : state) {
        if (time_delete) state.PauseTiming();
        if (!wb_insert_worksheet(wb, middle, "Inserted")) state.SkipWithError("insert refused");
        if (!time_delete) state.PauseTiming();
        // The span of the last sheet holds the new one: its result went.
        plover_worksheet_t* last = wb_get_sheet(wb, n);
        if (!checked && ws_cell_type(last, 1, 1) == CELLTYPE_NUMBER) state.SkipWithError("a span kept its result");
        ws_set_formula_num(last, 1, 1, n);
        if (time_delete) state.ResumeTiming();
        wb_delete_sheet(wb, middle);
        if (!checked && ws_cell_type(last, 1, 1) == CELLTYPE_NUMBER) state.SkipWithError("a span kept its result");
        checked = true;
        if (!time_delete) state.ResumeTiming();
    }
}

void sheet_inserted_among_spans(benchmark::State& state) { sheet_among_spans(state, false); }
void sheet_deleted_among_spans(benchmark::State& state) { sheet_among_spans(state, true); }

void sheet_moved_among_spans(benchmark::State& state) {
    const int middle = int(state.range(0)) / 2;
    const span_book_t book(int(state.range(0)));
    bool forth = true;
    for (auto _ : state) {
        wb_shift_sheet(book.wb, forth ? middle : middle + 1, forth ? middle + 1 : middle);
        forth = !forth;
    }
}

// The book a host renames or reorders: n empty sheets after one whose 1,000
// formulas read the first.
struct renamed_book_t {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    explicit renamed_book_t(int n) {
        plover_worksheet_t* first = wb_add_worksheet(wb, "Sheet1");
        for (int i = 0; i < n; ++i) wb_add_worksheet(wb, nullptr);
        plover_worksheet_t* reader = wb_add_worksheet(wb, "Reader");
        ws_set_num(first, 1, 1, 2);
        for (int r = 1; r <= 1000; ++r) ws_set_formula(reader, r, 1, "Sheet1!A1*2");
    }
    ~renamed_book_t() { doc_release(doc); }
};

void sheets_renamed(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        renamed_book_t book(n);
        state.ResumeTiming();
        for (int i = 0; i <= n; ++i) wb_rename_sheet(book.wb, unsigned(i), ("Renamed" + std::to_string(i)).c_str());
        state.PauseTiming();
        const char* text = ws_get_formula_expr(wb_get_sheet(book.wb, n + 1), 1000, 1);
        const bool missed = !text || std::string(text) != "Renamed0!A1*2";
        state.ResumeTiming();
        if (missed) {
            state.SkipWithError("a formula missed the rename");
            break;
        }
    }
}

void sheet_moved_first_to_last(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        renamed_book_t book(n);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) wb_shift_sheet(book.wb, 0, n + 1);
        state.PauseTiming();
        const char* text = ws_get_formula_expr(wb_get_sheet(book.wb, 1), 1000, 1);
        const bool moved_otherwise = std::string(wb_sheet_name(book.wb, 2)) != "Sheet1" || !text ||
                                     std::string(text) != "Sheet1!A1*2";
        state.ResumeTiming();
        if (moved_otherwise) {
            state.SkipWithError("the sheets moved otherwise");
            break;
        }
    }
}

// Each case builds a large book: a few iterations, medians of three runs.
BENCHMARK(sheets_deleted_from_the_last)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheets_deleted_from_the_first)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheet_inserted_among_spans)->Arg(1000)->Arg(4000)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheet_deleted_among_spans)->Arg(1000)->Arg(4000)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheets_renamed)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheet_moved_first_to_last)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(sheet_moved_among_spans)->Arg(1000)->Arg(4000)->Iterations(4)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace
