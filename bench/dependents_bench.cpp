// ws_set_num over cells that no formula reads, on a sheet without formulas and
// on one whose 10,000 formulas read another column: a change looks for the
// formulas whose results it makes stale, and that look must cost next to
// nothing when there are none. Beside them the hard case: every number set is
// read by a formula and a chain of two, whose results are dropped. Then a
// column of running totals (Bn = SUM($A$1:An), each reading every A cell above
// it) with every A cell set once, as a host filling data under such a column
// does: a formula whose result is gone is not looked for again, so twice the
// rows must cost about twice the time. Last, loading a sheet of 100,000
// formulas, each parsed and tracked.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
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

void set_num_under_running_totals(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        for (int r = 1; r <= count; ++r)
            if (!ws_set_formula(book->ws, r, 2, ("SUM($A$1:A" + std::to_string(r) + ")").c_str()))
                throw std::runtime_error(run_msg());
        ws_set_formula_num(book->ws, count, 2, 1);
        state.ResumeTiming();
        for (int r = 1; r <= count; ++r) ws_set_num(book->ws, r, 1, r);
        state.PauseTiming();
        // 0 where a change leaves the running totals their stale results.
        state.counters["last_total_dropped"] = ws_cell_type(book->ws, count, 2) != CELLTYPE_NUMBER;
        book.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(set_num_under_running_totals)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Bn = An*2+SUM(Cn:Dn), saved once before the clock runs.
void load_formulas(benchmark::State& state) {
    constexpr int count = 100000;
    const std::string path = (std::filesystem::temp_directory_path() / "plover_load_formulas_bench.xlsx").string();
    {
        book_t book;
        for (int r = 1; r <= count; ++r) {
            const std::string n = std::to_string(r);
            ws_set_num(book.ws, r, 1, r);
            ws_set_formula(book.ws, r, 2, ("A" + n + "*2+SUM(C" + n + ":D" + n + ")").c_str());
            ws_set_formula_num(book.ws, r, 2, 2.0 * r);
        }
        if (!doc_save(book.doc, path.c_str())) throw std::runtime_error(run_msg());
    }
    for (auto _ : state) {
        plover_document_t* doc = load_document(path.c_str());
        state.PauseTiming();
        const bool loaded = doc && ws_get_num(wb_get_sheet(doc_get_workbook(doc), 0), count, 2) == 2.0 * count;
        doc_release(doc);
        state.ResumeTiming();
        if (!loaded) {
            state.SkipWithError("the formulas were not loaded");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(load_formulas)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
