// ws_set_num over cells that no formula reads, on a sheet without formulas and
// on one whose 10,000 formulas read another column: a change looks for the
// formulas whose results it makes stale, and that look must cost next to
// nothing when there are none. Beside them the hard case: every number set is
// read by a formula and a chain of two, whose results are dropped.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>

namespace {

constexpr int rows = 100000;
constexpr int formulas = 10000;

struct book_t {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    ~book_t() { doc_release(doc); }
};

// Column D reads column C (D = C * 2) and column E reads D, on the first rows.
void add_formulas(plover_worksheet_t* ws) {
    for (int r = 1; r <= formulas; ++r) {
        ws_set_num(ws, r, 3, r);
        const std::string row = std::to_string(r);
        if (!ws_set_formula(ws, r, 4, ("C" + row + "*2").c_str()) || !ws_set_formula(ws, r, 5, ("D" + row + "+1").c_str()))
            throw std::runtime_error(run_msg());
    }
}

void set_column(benchmark::State& state, plover_worksheet_t* ws, int col, int count) {
    double n = 0;
    for (auto _ : state) {
        for (int r = 1; r <= count; ++r) ws_set_num(ws, r, col, n + r);
        n += 1;
    }
    if (ws_get_num(ws, count, col) != n - 1 + count) state.SkipWithError("the numbers were not set");
    state.SetItemsProcessed(state.iterations() * count);
}

void set_num_without_formulas(benchmark::State& state) {
    book_t book;
    set_column(state, book.ws, 1, rows);
}
BENCHMARK(set_num_without_formulas)->Unit(benchmark::kMillisecond);

void set_num_beside_formulas(benchmark::State& state) {
    book_t book;
    add_formulas(book.ws);
    set_column(state, book.ws, 1, rows);
}
BENCHMARK(set_num_beside_formulas)->Unit(benchmark::kMillisecond);

void set_num_read_by_formulas(benchmark::State& state) {
    book_t book;
    add_formulas(book.ws);
    set_column(state, book.ws, 3, formulas);
}
BENCHMARK(set_num_read_by_formulas)->Unit(benchmark::kMillisecond);

} // namespace
