// Protecting whole rows beside styling them, from the call to the saved file:
// the locked state over rows 1 to 1,000 of every column goes to the rows'
// styles as a style does, so the two must cost about the same. Reports the
// size of the file.

#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

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

} // namespace
