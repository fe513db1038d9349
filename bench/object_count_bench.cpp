// Loads, saves and additions whose cost must follow the number of objects, each
// at n and 4n: hyperlinks and tables on one sheet read back from a file, many
// sheets with a table or a picture each saved and read back, editable ranges
// added and read back, sheets added one by one. "per_object" stays flat from n to 4n when the
// cost is linear.

#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string scratch_file(const std::string& stem) { return (bench_scratch::dir() / (stem + ".xlsx")).string(); }

void per_object(benchmark::State& state, int64_t n) {
    state.counters["per_object"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Fills a new document with fill(workbook, n), saves it once and releases it.
template <class Fill>
std::string saved_file(const std::string& stem, int n, Fill fill) {
    const std::string path = scratch_file(stem + "_" + std::to_string(n));
    plover_document_t* doc = doc_create();
    fill(doc_get_workbook(doc), n);
    const bool saved = doc_save(doc, path.c_str()) != 0;
    doc_release(doc);
    if (!saved) throw std::runtime_error(run_msg());
    return path;
}

// Loads path in the timed loop; check tells whether what was read is whole.
template <class Check>
void measure_load(benchmark::State& state, const std::string& path, Check check) {
    for (auto _ : state) {
        plover_document_t* doc = doc_load(path.c_str());
        state.PauseTiming();
        if (!doc || !check(doc_get_workbook(doc))) state.SkipWithError("the file does not read back");
        doc_release(doc);
        state.ResumeTiming();
    }
    per_object(state, state.range(0));
}

plover_worksheet_t* first_sheet(plover_workbook_t* wb) { return wb_get_sheet(wb, 0); }

// A PNG header of 64 x 48 pixels and some bytes after it, in the scratch directory.
const std::string& picture_file() {
    static const std::string path = [] {
        const std::string p = (bench_scratch::dir() / "picture.png").string();
        std::vector<char> b = {'\x89', 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                               0,      0,   0,   64,  0,  0,  0,  48};
        b.resize(2048, 7);
        std::ofstream(p, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
        return p;
    }();
    return path;
}

// Three rows by two columns, one under the other with a blank row between.
void add_table(plover_worksheet_t* ws, int i) {
    const std::string name = "Sales_" + std::to_string(i + 1);
    if (!ws_add_tabledef(ws, name.c_str(), i * 4 + 1, 1, i * 4 + 3, 2)) throw std::runtime_error(run_msg());
}

// ---- hyperlinks ----------------------------------------------------------------

// One link per row, each to an address of its own (a relationship each).
void BM_load_hyperlinks(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string path = saved_file("links", n, [](plover_workbook_t* wb, int count) {
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Links");
        for (int i = 1; i <= count; ++i)
            ws_add_hyperlink(ws, ("https://example.com/page" + std::to_string(i)).c_str(), i, 1, i, 1);
    });
    measure_load(state, path, [n](plover_workbook_t* wb) { return ws_hyperlink_num(first_sheet(wb)) == n; });
}
BENCHMARK(BM_load_hyperlinks)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- tables ----------------------------------------------------------------------

void BM_load_tables(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string path = saved_file("tables", n, [](plover_workbook_t* wb, int count) {
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Tables");
        for (int i = 0; i < count; ++i) add_table(ws, i);
    });
    measure_load(state, path, [n](plover_workbook_t* wb) { return ws_tabledef_count(first_sheet(wb)) == n; });
}
BENCHMARK(BM_load_tables)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- many sheets with a table each ---------------------------------------------

void fill_sheets_with_tables(plover_workbook_t* wb, int n) {
    for (int i = 0; i < n; ++i) add_table(wb_add_worksheet(wb, nullptr), i);
}

void fill_sheets_with_pictures(plover_workbook_t* wb, int n) {
    for (int i = 0; i < n; ++i)
        if (ws_add_cell_image(wb_add_worksheet(wb, nullptr), picture_file().c_str(), 2, 2, 4, 4) < 0)
            throw std::runtime_error(run_msg());
}

template <class Fill>
void save_sheets(benchmark::State& state, const char* stem, Fill fill) {
    const int n = int(state.range(0));
    plover_document_t* doc = doc_create();
    fill(doc_get_workbook(doc), n);
    const std::string path = scratch_file(stem + std::to_string(n));
    for (auto _ : state)
        if (!doc_save(doc, path.c_str())) state.SkipWithError(run_msg());
    doc_release(doc);
    per_object(state, n);
}

void BM_save_sheets_with_tables(benchmark::State& state) {
    save_sheets(state, "sheet_tables_save_", fill_sheets_with_tables);
}
BENCHMARK(BM_save_sheets_with_tables)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_save_sheets_with_pictures(benchmark::State& state) {
    save_sheets(state, "sheet_pictures_save_", fill_sheets_with_pictures);
}
BENCHMARK(BM_save_sheets_with_pictures)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_load_sheets_with_tables(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string path = saved_file("sheet_tables", n, fill_sheets_with_tables);
    measure_load(state, path, [n](plover_workbook_t* wb) {
        return int(wb_sheet_count(wb)) == n && ws_tabledef_count(wb_get_sheet(wb, n - 1)) == 1;
    });
}
BENCHMARK(BM_load_sheets_with_tables)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- editable ranges -------------------------------------------------------------

// One range per row, named "Range 1", "Range 2", ...
void add_editable_ranges(plover_worksheet_t* ws, int n) {
    for (int i = 1; i <= n; ++i)
        if (!ws_set_editable_range(ws, i, 1, i, 2)) throw std::runtime_error(run_msg());
}

void BM_add_editable_ranges(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Ranges");
        state.ResumeTiming();
        add_editable_ranges(ws, n);
        state.PauseTiming();
        if (ws_editable_range_count(ws) != n) state.SkipWithError("ranges missing");
        doc_release(doc);
        state.ResumeTiming();
    }
    per_object(state, n);
}
BENCHMARK(BM_add_editable_ranges)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_load_editable_ranges(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string path = saved_file("ranges", n, [](plover_workbook_t* wb, int count) {
        add_editable_ranges(wb_add_worksheet(wb, "Ranges"), count);
    });
    measure_load(state, path, [n](plover_workbook_t* wb) { return ws_editable_range_count(first_sheet(wb)) == n; });
}
BENCHMARK(BM_load_editable_ranges)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- sheets added one by one -----------------------------------------------------

void BM_add_worksheets(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i)
            if (!wb_add_worksheet(wb, nullptr)) state.SkipWithError(run_msg());
        state.PauseTiming();
        if (int(wb_sheet_count(wb)) != n) state.SkipWithError("sheets missing");
        doc_release(doc);
        state.ResumeTiming();
    }
    per_object(state, n);
}
BENCHMARK(BM_add_worksheets)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
