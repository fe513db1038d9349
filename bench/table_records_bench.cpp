// A host's edits to a table of records with a calculated column, through the
// exports: T over A1:C(n+2), columns Qty, Price and Amount = [@Qty]*[@Price]
// with its results held, a totals row, and two readers of the whole table
// (SUM(T[Amount]), ROWS(T)). One value set into a record, one record appended
// at the last record and one at the totals row: each reads one record, so
// 80,000 records should cost within about 3 times 5,000.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct records_t {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Records");
    int n;

    explicit records_t(int records) : n(records) {
        plover_tabledef_t* td = ws_add_tabledef(ws, "T", 1, 1, n + 1, 3);
        const char* names[] = {"Qty", "Price", "Amount"};
        for (int i = 0; i < 3; ++i) td_set_col_name(td, i, names[i]);
        for (int r = 2; r <= n + 1; ++r) {
            ws_set_num(ws, r, 1, double(r % 7 + 1));
            ws_set_num(ws, r, 2, 2.5);
            ws_set_formula(ws, r, 3, "[@Qty]*[@Price]");
            ws_set_formula_num(ws, r, 3, double(r % 7 + 1) * 2.5);
        }
        td_set_display_total(td, 1);
        ws_set_formula(ws, 1, 5, "SUM(T[Amount])");
        ws_set_formula_num(ws, 1, 5, 1);
        ws_set_formula(ws, 2, 5, "ROWS(T)");
        ws_set_formula_num(ws, 2, 5, double(n));
    }
    ~records_t() { doc_release(doc); }
    // Rows of the last record and of the totals row.
    int last_record() const { return n + 1; }
    int totals() const { return n + 2; }
};

// Each iteration sets the Qty of another record.
void table_records_value_set(benchmark::State& state) {
    records_t t(int(state.range(0)));
    int row = 2;
    for (auto _ : state) {
        ws_set_num(t.ws, row, 1, 9);
        if (++row > t.last_record()) row = 2;
    }
    // 1 when the records the sets left kept their results.
    state.counters["others_kept"] = ws_cell_type(t.ws, t.last_record(), 3) == CELLTYPE_NUMBER;
}

// One row inserted at the last record or at the totals row each iteration:
// the table grows by one record each time.
void append_at(benchmark::State& state, bool at_totals) {
    records_t t(int(state.range(0)));
    int row = at_totals ? t.totals() : t.last_record();
    bool shifted = true;
    for (auto _ : state) shifted = ws_insert_row(t.ws, row++, 1) == 1 && shifted;
    if (!shifted) state.SkipWithError("shift refused");
    // 1 when the records above kept their results.
    state.counters["others_kept"] = ws_cell_type(t.ws, 2, 3) == CELLTYPE_NUMBER;
}

void table_records_append_at_last_record(benchmark::State& state) {
    append_at(state, false);
}

void table_records_append_at_totals_row(benchmark::State& state) {
    append_at(state, true);
}

BENCHMARK(table_records_value_set)->Arg(5000)->Arg(80000)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(table_records_append_at_last_record)->Arg(5000)->Arg(80000)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(table_records_append_at_totals_row)->Arg(5000)->Arg(80000)->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace
