// A million numbers (whole and fractional mixed) and a million texts (100,000
// distinct) set and read back through the worksheet exports, against the same
// work on the cell store alone: the handle's frame should cost little over it.

#include "bench/memory_counters.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "mta/table/cell/cell_getters.h"
#include "mta/table/table/table.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int rows = 10000, cols = 100;  // a million cells

double number_at(int n) { return n % 2 ? double(n) : n + 0.25; }

const std::vector<std::string>& texts() {
    static const std::vector<std::string> t = [] {
        std::vector<std::string> v;
        for (int i = 0; i < 100000; ++i) v.push_back("text value " + std::to_string(i));
        return v;
    }();
    return t;
}

// The fill and read-back of `set` and `get` over a million cells, timed; the
// sheet that `make` builds and `drop` frees is not.
template <class Make, class Drop, class Work>
void measure(benchmark::State& state, Make make, Drop drop, Work work) {
    double heap = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool rss = bench_memory::reset_peak_rss();
        const size_t rss_before = bench_memory::status_bytes("VmRSS");
        const size_t heap_before = bench_memory::heap_in_use();
        auto sheet = make();
        state.ResumeTiming();
        work(sheet);
        state.PauseTiming();
        heap = double(bench_memory::heap_in_use() - heap_before) / double(rows * cols);
        peak = rss ? double(bench_memory::status_bytes("VmHWM") - rss_before) / double(rows * cols) : 0;
        drop(sheet);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * rows * cols);
    state.counters["heap_bytes_per_cell"] = heap;
    state.counters["peak_rss_per_cell"] = peak;
}

struct export_sheet {
    plover_document_t* doc = nullptr;
    plover_worksheet_t* ws = nullptr;
};

export_sheet make_export_sheet() {
    export_sheet s;
    s.doc = doc_create();
    s.ws = wb_add_worksheet(doc_get_workbook(s.doc), "Bench");
    return s;
}

void drop_export_sheet(export_sheet& s) { doc_release(s.doc); }

// The same sheet of a document, reached without the handles: its string pool is
// the workbook's, as through the exports.
struct store_sheet {
    export_sheet s = make_export_sheet();
    vex::mta::Table* t = static_cast<vex::iWorksheet_impl*>(s.ws)->worktable()->sheet();
};

std::unique_ptr<store_sheet> make_store_sheet() { return std::make_unique<store_sheet>(); }
void drop_store_sheet(std::unique_ptr<store_sheet>& s) { drop_export_sheet(s->s); }

void BM_export_numbers(benchmark::State& state) {
    measure(state, make_export_sheet, drop_export_sheet, [](export_sheet& s) {
        int n = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) ws_set_num(s.ws, r, c, number_at(n++));
        double sum = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) sum += ws_get_num(s.ws, r, c);
        benchmark::DoNotOptimize(sum);
    });
}
BENCHMARK(BM_export_numbers)->Unit(benchmark::kMillisecond);

void BM_store_numbers(benchmark::State& state) {
    measure(state, make_store_sheet, drop_store_sheet, [](std::unique_ptr<store_sheet>& s) {
        vex::mta::Table* t = s->t;
        int n = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) t->set_num(r, c, number_at(n++));
        double sum = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) sum += vex::mta::cell_getters::get_num(*t, r, c);
        benchmark::DoNotOptimize(sum);
    });
}
BENCHMARK(BM_store_numbers)->Unit(benchmark::kMillisecond);

void BM_export_texts(benchmark::State& state) {
    const auto& words = texts();
    measure(state, make_export_sheet, drop_export_sheet, [&](export_sheet& s) {
        size_t n = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) ws_set_text(s.ws, r, c, words[n++ % words.size()].c_str());
        size_t bytes = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) bytes += ws_get_text(s.ws, r, c)[0];
        benchmark::DoNotOptimize(bytes);
    });
}
BENCHMARK(BM_export_texts)->Unit(benchmark::kMillisecond);

void BM_store_texts(benchmark::State& state) {
    const auto& words = texts();
    measure(state, make_store_sheet, drop_store_sheet, [&](std::unique_ptr<store_sheet>& s) {
        vex::mta::Table* t = s->t;
        size_t n = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) t->set_text(r, c, words[n++ % words.size()]);
        size_t bytes = 0;
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) bytes += vex::mta::cell_getters::get_text(*t, r, c)[0];
        benchmark::DoNotOptimize(bytes);
    });
}
BENCHMARK(BM_store_texts)->Unit(benchmark::kMillisecond);

} // namespace
