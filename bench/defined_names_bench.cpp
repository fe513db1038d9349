// Defining a name through the exports beside 1,000 and 100,000 formulas that
// do not read it (the cost per name should not grow with them), and a name of
// 300 separate cells deleted and defined again, over the same cells or others,
// while 100 or 1,000 formulas read it (the cost should grow with the readers,
// no faster). Last, a reader of a chain of 20 or 40 names each reading the
// next twice (nm_0 = nm_1+nm_1, ...), filed when set and when its book is
// loaded: read once per name, twice the names cost about twice as much; read
// again at each use, each name would double the cost. Last, a sheet added
// beside 1,000 and 100,000 formulas.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct book_t {
    plover_document_t* doc = nullptr;
    plover_workbook_t* wb = nullptr;
    plover_worksheet_t* ws = nullptr;

    book_t() : doc(doc_create()), wb(doc_get_workbook(doc)), ws(wb_add_worksheet(wb, "Sheet1")) {}
    ~book_t() { doc_release(doc); }
    book_t(const book_t&) = delete;
    book_t& operator=(const book_t&) = delete;
};

constexpr int names_per_round = 100;

void defined_names_define_beside(benchmark::State& state) {
    const int formulas = int(state.range(0));
    book_t book;
    for (int row = 1; row <= formulas; ++row) ws_set_formula(book.ws, row, 2, ("A" + std::to_string(row) + "*2").c_str());
    std::vector<std::string> names;
    for (int i = 0; i < names_per_round; ++i) names.push_back("Rate" + std::to_string(i));
    for (auto _ : state) {
        for (const std::string& name : names) wb_set_defined_name(book.wb, name.c_str(), "Sheet1!$A$1", nullptr);
        state.PauseTiming();
        while (wb_defined_name_num(book.wb) > 0) wb_delete_defined_name(book.wb, 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * names_per_round);
}
BENCHMARK(defined_names_define_beside)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The same beside 1,000 or 10,000 names defined before, none read by a formula.
void defined_names_define_among(benchmark::State& state) {
    const int before = int(state.range(0));
    book_t book;
    for (int i = 0; i < before; ++i) wb_set_defined_name(book.wb, ("Old" + std::to_string(i)).c_str(), "Sheet1!$A$1", nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < names_per_round; ++i) names.push_back("Rate" + std::to_string(i));
    for (auto _ : state) {
        for (const std::string& name : names) wb_set_defined_name(book.wb, name.c_str(), "Sheet1!$A$1", nullptr);
        state.PauseTiming();
        while (wb_defined_name_num(book.wb) > before) wb_delete_defined_name(book.wb, before);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * names_per_round);
}
BENCHMARK(defined_names_define_among)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// 300 separate cells of column A, every other row from `first`.
std::string separate_cells(int first) {
    std::string cells;
    for (int i = 0; i < 300; ++i) cells += (i ? ",Sheet1!$A$" : "Sheet1!$A$") + std::to_string(first + 2 * i);
    return cells;
}

// Deleted and defined again over the same cells, or (`elsewhere`) over the
// cells between them, as each round alternates.
void redefine(benchmark::State& state, bool elsewhere) {
    const int readers = int(state.range(0));
    book_t book;
    const std::string cells[] = {separate_cells(1), separate_cells(elsewhere ? 2 : 1)};
    wb_set_defined_name(book.wb, "Cells", cells[0].c_str(), nullptr);
    for (int row = 1; row <= readers; ++row) ws_set_formula(book.ws, row, 3, "SUM(Cells)");
    size_t round = 0;
    for (auto _ : state) {
        wb_delete_defined_name(book.wb, 0);
        wb_set_defined_name(book.wb, "Cells", cells[++round % 2].c_str(), nullptr);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void defined_names_redefine_read_by(benchmark::State& state) { redefine(state, false); }
BENCHMARK(defined_names_redefine_read_by)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void defined_names_redefine_elsewhere_read_by(benchmark::State& state) { redefine(state, true); }
BENCHMARK(defined_names_redefine_elsewhere_read_by)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void define_chain(plover_workbook_t* wb, int length) {
    for (int i = length - 1; i >= 0; --i) {
        const std::string next = "nm_" + std::to_string(i + 1);
        const std::string text = i == length - 1 ? "Sheet1!$A$1" : next + "+" + next;
        wb_set_defined_name(wb, ("nm_" + std::to_string(i)).c_str(), text.c_str(), nullptr);
    }
}

// Whether D1 (nm_0, its result given) loses its result when A1 changes.
bool follows_last_cell(plover_worksheet_t* ws) {
    ws_set_formula_num(ws, 1, 4, 7);
    ws_set_num(ws, 1, 1, 2);
    return ws_cell_type(ws, 1, 4) != CELLTYPE_NUMBER;
}

// Growth of the resident high-water mark over the resident bytes at `since`.
size_t peak_growth(size_t since) {
    return bench_memory::status_bytes("VmHWM") - std::min(since, bench_memory::status_bytes("VmHWM"));
}

// Each round files D1 anew while no name's reading is kept: a name defined
// and deleted beside the chain forgets them all.
void defined_names_file_chain_reader(benchmark::State& state) {
    book_t book;
    define_chain(book.wb, int(state.range(0)));
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        wb_set_defined_name(book.wb, "Other", "Sheet1!$B$1", nullptr);
        wb_delete_defined_name(book.wb, wb_defined_name_num(book.wb) - 1);
        bench_memory::reset_peak_rss();
        const size_t before = bench_memory::status_bytes("VmRSS");
        state.ResumeTiming();
        ws_set_formula(book.ws, 1, 4, "nm_0");
        state.PauseTiming();
        peak = std::max(peak, peak_growth(before));
        state.ResumeTiming();
    }
    if (!follows_last_cell(book.ws)) state.SkipWithError("the reader does not follow the chain's cell");
    state.counters["peak_rss_growth"] = double(peak);
}
BENCHMARK(defined_names_file_chain_reader)->Arg(20)->Arg(40)->Iterations(500)->Unit(benchmark::kMicrosecond);

void defined_names_load_chain(benchmark::State& state) {
    const std::string path = (bench_scratch::dir() / ("chain" + std::to_string(state.range(0)) + ".xlsx")).string();
    {
        book_t book;
        define_chain(book.wb, int(state.range(0)));
        ws_set_formula(book.ws, 1, 4, "nm_0");
        ws_set_formula_num(book.ws, 1, 4, 7);
        doc_save(book.doc, path.c_str());
    }
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench_memory::reset_peak_rss();
        const size_t before = bench_memory::status_bytes("VmRSS");
        state.ResumeTiming();
        plover_document_t* doc = doc_load(path.c_str());
        state.PauseTiming();
        peak = std::max(peak, peak_growth(before));
        if (!doc || !follows_last_cell(wb_get_sheet(doc_get_workbook(doc), 0)))
            state.SkipWithError("the loaded reader does not follow the chain's cell");
        doc_release(doc);
        state.ResumeTiming();
    }
    state.counters["peak_rss_growth"] = double(peak);
}
BENCHMARK(defined_names_load_chain)->Arg(20)->Arg(40)->Iterations(200)->Unit(benchmark::kMicrosecond);

// A sheet added beside 1,000 or 100,000 formulas, half of them naming another
// sheet: formulas that named it before it existed are read again, and only
// those should be looked at.
void defined_names_add_sheet_beside(benchmark::State& state) {
    const int formulas = int(state.range(0));
    book_t book;
    wb_add_worksheet(book.wb, "Data");
    for (int row = 1; row <= formulas; ++row)
        ws_set_formula(book.ws, row, 2, (std::string(row % 2 ? "Data!A" : "A") + std::to_string(row) + "*2").c_str());
    int added = 0;
    for (auto _ : state)
        for (int i = 0; i < names_per_round / 10; ++i) wb_add_worksheet(book.wb, ("Later" + std::to_string(++added)).c_str());
    state.SetItemsProcessed(added);
}
BENCHMARK(defined_names_add_sheet_beside)->Arg(1000)->Arg(100000)->Iterations(10)->Unit(benchmark::kMicrosecond);

} // namespace
