// Row heights set one row at a time, through the exports and by a load: rows
// alternating between two custom heights (every row its own segment) beside
// rows of one height (one segment). The alternating case must stay within a
// small factor of the equal one; each reports its peak resident bytes.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr int set_rows = 100000;
constexpr int loaded_rows = 160000;

double height_of(int row, bool alternating) {
    return alternating && row % 2 ? 21.0 : 15.0;
}

void report_peak(benchmark::State& state) {
    state.counters["peak_MB"] = double(bench_memory::status_bytes("VmHWM")) / (1 << 20);
}

// range(0): 1 alternating heights, 0 one height.
void BM_row_heights_set(benchmark::State& state) {
    const bool alternating = state.range(0) != 0;
    bench_memory::reset_peak_rss();
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Rows");
        state.ResumeTiming();
        for (int r = 1; r <= set_rows; ++r) ws_set_custom_row_height(ws, r, r, height_of(r, alternating), 0);
        state.PauseTiming();
        double got = 0;
        if (ws_get_custom_row_height(ws, set_rows - 1, set_rows - 1, &got, 0) != 1 ||
            got != height_of(set_rows - 1, alternating))
            state.SkipWithError("a height was not set");
        doc_release(doc);
        state.ResumeTiming();
    }
    state.SetLabel(alternating ? "alternating" : "equal");
    report_peak(state);
}
BENCHMARK(BM_row_heights_set)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// A saved sheet of one number per row, each row with its custom height.
const std::string& heights_file(bool alternating) {
    static std::string paths[2];
    std::string& path = paths[alternating];
    if (!path.empty()) return path;
    path = (bench_scratch::dir() / (alternating ? "alternating.xlsx" : "equal.xlsx")).string();
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Rows");
    for (int r = 1; r <= loaded_rows; ++r) {
        ws_set_num(ws, r, 1, r);
        ws_set_custom_row_height(ws, r, r, height_of(r, alternating), 0);
    }
    if (doc_save(doc, path.c_str()) != 1) path.clear();
    doc_release(doc);
    return path;
}

void BM_row_heights_load(benchmark::State& state) {
    const bool alternating = state.range(0) != 0;
    const std::string& path = heights_file(alternating);
    if (path.empty()) {
        state.SkipWithError("the sheet could not be saved");
        return;
    }
    bench_memory::reset_peak_rss();
    for (auto _ : state) {
        plover_document_t* doc = doc_load(path.c_str());
        state.PauseTiming();
        double got = 0;
        if (!doc || ws_get_custom_row_height(wb_get_sheet(doc_get_workbook(doc), 0), 3, 3, &got, 0) != 1 ||
            got != height_of(3, alternating))
            state.SkipWithError("the heights did not load");
        doc_release(doc);
        state.ResumeTiming();
    }
    state.SetLabel(alternating ? "alternating" : "equal");
    report_peak(state);
}
BENCHMARK(BM_row_heights_load)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
