// Hyperlinks and tables added to one sheet through the exports, 1,000, 2,000
// and 4,000 of them: each addition must cost the same however many the sheet
// holds already, so the time per object stays flat from one size to the next.
// Links alternate between a place in the workbook and an external address;
// tables are laid down a column (the easy case) and across a row band, where
// every new table sits beside all the others. Last, tables added beside 1,000
// or 100,000 formulas that name none of them: only the formulas that spelled a
// table before it existed are read again, so the cost per table should not
// grow with the others.

#include "bench/memory_counters.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

struct sheet_t {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Data");
    ~sheet_t() { doc_release(doc); }
};

// prefix1, prefix2, ...
std::vector<std::string> numbered(const char* prefix, int n) {
    std::vector<std::string> out;
    for (int i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

template <class Add>
void measure(benchmark::State& state, Add add) {
    const int n = int(state.range(0));
    double heap = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto* sheet = new sheet_t;
        const size_t before = bench_memory::heap_in_use();
        state.ResumeTiming();
        const int added = add(*sheet, n);
        state.PauseTiming();
        heap = double(bench_memory::heap_in_use() - before) / n;
        if (added != n) state.SkipWithError("not every object was added");
        delete sheet;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
    state.counters["heap_bytes_per_object"] = heap;
}

void BM_add_hyperlinks(benchmark::State& state) {
    const std::vector<std::string> external = numbered("https://example.com/page", int(state.range(0)));
    const std::vector<std::string> internal = numbered("Data!A", int(state.range(0)));
    measure(state, [&](sheet_t& s, int n) {
        int added = 0;
        for (int i = 0; i < n; ++i) {
            const std::string& address = i % 2 ? external[size_t(i)] : internal[size_t(i)];
            added += ws_add_hyperlink(s.ws, address.c_str(), i + 1, 2, i + 1, 3);
        }
        return added == n && ws_hyperlink_num(s.ws) == n ? n : added;
    });
}
BENCHMARK(BM_add_hyperlinks)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

template <class Place>
void add_tables(benchmark::State& state, Place place) {
    const std::vector<std::string> names = numbered("Sales_", int(state.range(0)));
    measure(state, [&](sheet_t& s, int n) {
        int added = 0;
        for (int i = 0; i < n; ++i) {
            const auto [row, col] = place(i);
            added += ws_add_tabledef(s.ws, names[size_t(i)].c_str(), row, col, row + 2, col + 1) != nullptr;
        }
        return ws_tabledef_count(s.ws) == added ? added : -1;
    });
}

// One under the other, a blank row between.
void BM_add_tables_down(benchmark::State& state) {
    add_tables(state, [](int i) { return std::pair{i * 4 + 1, 1}; });
}
BENCHMARK(BM_add_tables_down)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

// Side by side in bands of 1,000, a blank column between.
void BM_add_tables_across(benchmark::State& state) {
    add_tables(state, [](int i) { return std::pair{(i / 1000) * 4 + 1, (i % 1000) * 3 + 1}; });
}
BENCHMARK(BM_add_tables_across)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);

void BM_add_tables_beside_formulas(benchmark::State& state) {
    const int formulas = int(state.range(0));
    sheet_t s;
    for (int row = 1; row <= formulas; ++row) ws_set_formula(s.ws, row, 2, ("A" + std::to_string(row) + "*2").c_str());
    // Spells the first table before it exists: adding it drops the result.
    ws_set_formula(s.ws, 1, 3, "ROWS(Later1[#Data])");
    ws_set_formula_num(s.ws, 1, 3, 42);
    int added = 0;
    for (auto _ : state)
        for (int i = 0; i < 20; ++i, ++added) {
            const std::string name = "Later" + std::to_string(added + 1);
            if (!ws_add_tabledef(s.ws, name.c_str(), added * 4 + 1, 10, added * 4 + 3, 11))
                state.SkipWithError("a table was refused");
        }
    if (ws_cell_type(s.ws, 1, 3) == CELLTYPE_NUMBER) state.SkipWithError("the formula spelling the table kept its result");
    state.SetItemsProcessed(added);
}
BENCHMARK(BM_add_tables_beside_formulas)->Arg(1000)->Arg(100000)->Iterations(10)->Unit(benchmark::kMicrosecond);

} // namespace
