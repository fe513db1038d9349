// Pictures and merged ranges added to one sheet through the exports, 1,000,
// 2,000 and 4,000 of them. Every picture shows the same image file, so the
// workbook keeps one copy of its bytes. The time per object must not grow with
// the count: "per_object" is reported for each size. Reading the merged ranges
// by index, 5,000 and 20,000 of them, likewise, with the peak resident bytes.

#include "bench/memory_counters.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A PNG header of 64 x 48 pixels and some bytes after it.
struct picture_file {
    std::string path;
    picture_file() {
        std::string t = (fs::temp_directory_path() / "plover_bench_XXXXXX").string();
        if (::mkdtemp(t.data())) path = (fs::path(t) / "shared.png").string();
        std::vector<char> b = {'\x89', 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                               0,      0,   0,   64,  0,  0,  0,  48};
        b.resize(2048, 7);
        std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
    }
    ~picture_file() {
        std::error_code ec;
        fs::remove_all(fs::path(path).parent_path(), ec);
    }
};

const picture_file& shared_picture() {
    static const picture_file file;
    return file;
}

void per_object(benchmark::State& state, int64_t n) {
    state.counters["per_object"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Pictures on a grid of 2 x 2 cells, 50 across.
void add_pictures(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string& file = shared_picture().path;
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            const int row = 1 + (i / 50) * 2, col = 1 + (i % 50) * 2;
            if (ws_add_cell_image(ws, file.c_str(), row, col, row + 1, col + 1) < 0) {
                state.SkipWithError("a picture was refused");
                break;
            }
        }
        state.PauseTiming();
        if (ws_image_num(ws) != n) state.SkipWithError("pictures missing");
        doc_release(doc);
        state.ResumeTiming();
    }
    per_object(state, n);
}

// Merged ranges of 2 x 3 cells, apart, 100 across.
void add_merges(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Merges");
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) {
            const int row = 1 + (i / 100) * 3, col = 1 + (i % 100) * 4;
            if (ws_merge(ws, row, col, row + 1, col + 2) != 1) {
                state.SkipWithError("a merge was refused");
                break;
            }
        }
        state.PauseTiming();
        if (ws_merged_num(ws) != n) state.SkipWithError("merges missing");
        doc_release(doc);
        state.ResumeTiming();
    }
    per_object(state, n);
}

// Every merged range read by its index, after they were all added.
void read_merges_by_index(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Merges");
    for (int i = 0; i < n; ++i) {
        const int row = 1 + (i / 100) * 3, col = 1 + (i % 100) * 4;
        ws_merge(ws, row, col, row + 1, col + 2);
    }
    if (ws_merged_num(ws) != n) state.SkipWithError("merges missing");
    bench_memory::reset_peak_rss();
    long rows = 0;
    for (auto _ : state) {
        rows = 0;
        for (int i = 0; i < n; ++i) {
            int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
            ws_merged_range(ws, i, &r1, &c1, &r2, &c2);
            rows += r2 - r1 + 1;
        }
    }
    if (rows != 2L * n) state.SkipWithError("a range was not read");
    doc_release(doc);
    per_object(state, n);
    state.counters["peak_MB"] = double(bench_memory::status_bytes("VmHWM")) / (1 << 20);
}

} // namespace

BENCHMARK(read_merges_by_index)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(add_pictures)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(add_merges)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
