// Protecting whole rows beside styling them, from the call to the saved file:
// the locked state over rows 1 to 1,000 of every column goes to the rows'
// styles as a style does, so the two must cost about the same. Reports the
// size of the file; the per-row run reports the time of a row.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

// Arg 0: 0 styles A1:XFD1000 bold (the twin), 1 protects it.
void BM_whole_rows_call_and_save(benchmark::State& state) {
    const bool protect = state.range(0) != 0;
    const std::string path = (bench_scratch::dir() / (protect ? "protect_rows.xlsx" : "style_rows.xlsx")).string();
    for (auto _ : state) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        if (protect) {
            ws_protect_range(ws, 1, 1, 1000, 16384);
        } else {
            plover_style_t* bold = wb_make_normal_style(wb);
            style_set_bold(bold, 1);
            ws_set_range_style(ws, 1, 1, 1000, 16384, bold);
            style_release(bold);
        }
        if (!doc_save(doc, path.c_str())) throw std::runtime_error(run_msg());
        doc_release(doc);
    }
    state.counters["file_bytes"] = double(std::filesystem::file_size(path));
    state.SetLabel(protect ? "protect A1:XFD1000" : "style A1:XFD1000");
}
BENCHMARK(BM_whole_rows_call_and_save)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One call per row, every other row of A1:XFD(2n): each protection unlocks the
// whole sheet again before it locks its row, so the sheet already holds the
// rows before it. The cost of a row must not grow with them, nor stray far
// from styling the same row. Arg 0: 0 styles each row bold (the twin), 1
// protects it; arg 1: the rows.
void BM_alternate_whole_rows(benchmark::State& state) {
    const bool protect = state.range(0) != 0;
    const int n = int(state.range(1));
    bool done = true;
    double teardown_ms = 0, peak_rss = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench_memory::reset_peak_rss();
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        plover_style_t* bold = wb_make_normal_style(wb);
        style_set_bold(bold, 1);
        state.ResumeTiming();
        for (int r = 1; r < 2 * n; r += 2) {
            if (!protect)
                ws_set_range_style(ws, r, 1, r, 16384, bold);
            else if (!ws_protect_range(ws, r, 1, r, 16384))
                throw std::runtime_error(run_msg());
        }
        state.PauseTiming();
        peak_rss = double(bench_memory::status_bytes("VmHWM"));
        for (const int r : {1, 2, 2 * n - 1, 2 * n}) {
            plover_style_t* s = ws_cell_style(ws, r, r % 16384 + 1);
            // Each protection unlocks the rows before it: only its own stays locked.
            done = done && (protect ? style_cell_locked(s) == (r == 2 * n - 1) : style_bold(s) == r % 2);
        }
        style_release(bold);
        const auto start = std::chrono::steady_clock::now();
        doc_release(doc);
        teardown_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.ResumeTiming();
    }
    if (!done) state.SkipWithError("a row does not show what its call gave it");
    state.counters["per_row"] =
        benchmark::Counter(double(n) * double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_rss"] = peak_rss;
    state.counters["teardown_ms"] = teardown_ms;
    state.SetLabel(protect ? "protect alternate rows" : "style alternate rows");
}
BENCHMARK(BM_alternate_whole_rows)
    ->ArgsProduct({{0, 1}, {1000, 4000}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
