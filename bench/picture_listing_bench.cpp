// A host listing a sheet's pictures by index through the exports: ws_image_num
// and then ws_get_image_id for each index, over 2,000 and 8,000 pictures. Each
// call should cost about the same whatever the number of pictures, so 8,000
// should take about four times 2,000 ("per_picture" flat). Each case checks
// once, untimed, that the listing gives the ids in the order of adding. Last,
// the pictures removed cell by cell with ws_remove_image: each call finds its
// cell's pictures, not every picture of the sheet.

#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A 16 x 8 PNG header: only headers are read.
const std::string& picture_file() {
    static const std::string path = [] {
        const std::string file = (bench_scratch::dir() / "listed.png").string();
        const unsigned char bytes[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                       0,    0,   0,   16,  0,  0,  0,  8,  8, 2, 0, 0, 0, 0, 0, 0, 0};
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
        return file;
    }();
    return path;
}

void pictures_listed_by_index(benchmark::State& state) {
    const int n = int(state.range(0));
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
    // A second sheet's pictures share the manager and must not be listed.
    plover_worksheet_t* other = wb_add_worksheet(doc_get_workbook(doc), "Other");
    std::vector<int> added;
    for (int i = 0; i < n; ++i) {
        added.push_back(ws_add_image_with_one_cell(ws, picture_file().c_str(), i + 1, 2, 0, 0, 1.0, 0, 0));
        ws_add_image_with_one_cell(other, picture_file().c_str(), i + 1, 2, 0, 0, 1.0, 0, 0);
    }
    std::vector<int> listed(size_t(n), 0);
    for (auto _ : state) {
        const int count = ws_image_num(ws);
        for (int i = 0; i < count; ++i) listed[size_t(i)] = ws_get_image_id(ws, i);
        benchmark::DoNotOptimize(listed.data());
    }
    if (listed != added || ws_image_num(ws) != n) state.SkipWithError("the pictures are not listed as added");
    doc_release(doc);
    state.counters["per_picture"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(pictures_listed_by_index)->Arg(2000)->Arg(8000)->Unit(benchmark::kMicrosecond);

void pictures_removed_by_cell(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
        for (int i = 0; i < n; ++i) ws_add_image_with_one_cell(ws, picture_file().c_str(), i + 1, 2, 0, 0, 1.0, 0, 0);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) ws_remove_image(ws, i + 1, 2);
        state.PauseTiming();
        const bool kept = ws_image_num(ws) != 0;
        doc_release(doc);
        state.ResumeTiming();
        if (kept) {
            state.SkipWithError("a picture was kept");
            break;
        }
    }
}

BENCHMARK(pictures_removed_by_cell)->Arg(2000)->Arg(8000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace
