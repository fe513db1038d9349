// What a save costs for the shape of what it writes, each hard case beside its
// easy twin: a column of numbers with and without one far cell (the width of a
// sheet must not multiply its rows); a style, a protection or a link over a
// nearly whole sheet beside the same over one row (the form written must not
// grow with the cells covered); a column of 60,000 distinct styles beside one
// of 1,000 (finding a column's style must not grow with their number);
// protection or a link over whole rows beside a style over them; a style over
// whole rows but column A beside the same over whole rows; a style over
// B2:XFD1048576 with and without a bold row 1 (a row style must not make every
// cell be written); and 1,000 to 20,000 small sheets (the time per sheet must
// not grow with their number). Each reports peak resident bytes of the save
// and the size of the file.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

constexpr int last_row = 1048576, last_col = 16384;

std::string scratch_file(const std::string& stem) { return (bench_scratch::dir() / (stem + ".xlsx")).string(); }

// Saves doc to path in the timed loop, reporting peak resident bytes over the
// save and the file's size.
void measure_save(benchmark::State& state, plover_document_t* doc, const std::string& path) {
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool rss = bench_memory::reset_peak_rss();
        const size_t rss_before = bench_memory::status_bytes("VmRSS");
        state.ResumeTiming();
        if (!doc_save(doc, path.c_str())) throw std::runtime_error(run_msg());
        state.PauseTiming();
        peak = rss ? double(bench_memory::status_bytes("VmHWM") - rss_before) : 0;
        state.ResumeTiming();
    }
    state.counters["peak_rss_bytes"] = peak;
    state.counters["file_bytes"] = double(std::filesystem::file_size(path));
}

// ---- one far cell ---------------------------------------------------------------

// 100,000 numbers in column A; arg 0 = 1 adds one in XFD1, arg 1 = 1 saves
// the sheet as loaded from a file of that shape.
void BM_save_far_cell(benchmark::State& state) {
    const bool far = state.range(0) != 0, loaded = state.range(1) != 0;
    const std::string stem = std::string(far ? "far_cell" : "narrow") + (loaded ? "_loaded" : "");
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Numbers");
    for (int r = 1; r <= 100000; ++r) ws_set_num(ws, r, 1, r + 0.5);
    if (far) ws_set_num(ws, 1, last_col, 7);
    if (loaded) {
        const std::string source = scratch_file(stem + "_source");
        if (!doc_save(doc, source.c_str())) throw std::runtime_error(run_msg());
        doc_release(doc);
        doc = doc_load(source.c_str());
        if (!doc) throw std::runtime_error(run_msg());
    }
    const std::string path = scratch_file(stem);
    measure_save(state, doc, path);
    doc_release(doc);
    plover_document_t* back = doc_load(path.c_str());
    plover_worksheet_t* sheet = back ? wb_get_sheet(doc_get_workbook(back), 0) : nullptr;
    if (!sheet || ws_get_num(sheet, 100000, 1) != 100000.5 || (far && ws_get_num(sheet, 1, last_col) != 7))
        state.SkipWithError("the saved cells do not read back");
    doc_release(back);
    state.SetLabel(std::string(far ? "A1:A100000 and XFD1" : "A1:A100000") + (loaded ? ", loaded" : ""));
}
BENCHMARK(BM_save_far_cell)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// ---- a nearly whole sheet -------------------------------------------------------

enum class over { style, protection, link };

void apply(plover_worksheet_t* ws, plover_style_t* bold, over what, int r1, int c1, int r2, int c2) {
    switch (what) {
    case over::style: ws_set_range_style(ws, r1, c1, r2, c2, bold); break;
    case over::protection: ws_protect_range(ws, r1, c1, r2, c2); break;
    case over::link: ws_add_hyperlink(ws, "Sheet1!A1", r1, c1, r2, c2); break;
    }
}

// Arg 0 picks the call; arg 1 is 0 for B1:XFD1, 1 for B2:XFD1048576.
void BM_save_range_over_sheet(benchmark::State& state) {
    const auto what = over(state.range(0));
    const bool whole = state.range(1) != 0;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    plover_style_t* bold = wb_make_normal_style(wb);
    style_set_bold(bold, 1);
    if (whole)
        apply(ws, bold, what, 2, 2, last_row, last_col);
    else
        apply(ws, bold, what, 1, 2, 1, last_col);
    style_release(bold);
    const std::string path = scratch_file("range_" + std::to_string(state.range(0)) + "_" + std::to_string(whole));
    measure_save(state, doc, path);
    doc_release(doc);
    static const char* const names[] = {"style", "protect", "link"};
    state.SetLabel(std::string(names[state.range(0)]) + (whole ? " B2:XFD1048576" : " B1:XFD1"));
}
BENCHMARK(BM_save_range_over_sheet)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// ---- distinct styles in a column -------------------------------------------------

// 960,000 numbers in column A in runs of one font colour each, arg distinct colours.
void BM_save_column_styles(benchmark::State& state) {
    const int styles = int(state.range(0)), cells = 960000, run = cells / styles;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    for (int r = 1; r <= cells; ++r) ws_set_num(ws, r, 1, r);
    plover_style_t* style = wb_make_normal_style(wb);
    for (int i = 0; i < styles; ++i) {
        style_set_font_color(style, 0xFF000000u | unsigned(i + 1));
        ws_set_range_style(ws, i * run + 1, 1, (i + 1) * run, 1, style);
    }
    style_release(style);
    const std::string path = scratch_file("column_styles_" + std::to_string(styles));
    measure_save(state, doc, path);
    doc_release(doc);
    state.SetLabel(std::to_string(styles) + " styles over A1:A960000");
}
BENCHMARK(BM_save_column_styles)->Arg(1000)->Arg(60000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// ---- whole rows ----------------------------------------------------------------

// Saves a sheet the callback shaped, labelled.
template <class F>
void save_shaped(benchmark::State& state, const std::string& stem, const std::string& label, F&& shape) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    plover_style_t* bold = wb_make_normal_style(wb);
    style_set_bold(bold, 1);
    shape(ws, bold);
    style_release(bold);
    measure_save(state, doc, scratch_file(stem));
    doc_release(doc);
    state.SetLabel(label);
}

// Arg 0 picks the call over A1:XFD1000: the style is the easy twin.
void BM_save_whole_rows(benchmark::State& state) {
    const auto what = over(state.range(0));
    static const char* const names[] = {"style", "protect", "link"};
    save_shaped(state, "whole_rows_" + std::to_string(state.range(0)), std::string(names[state.range(0)]) + " A1:XFD1000",
                [&](plover_worksheet_t* ws, plover_style_t* bold) { apply(ws, bold, what, 1, 1, 1000, last_col); });
}
BENCHMARK(BM_save_whole_rows)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A style over rows 1 to arg 0, from column A (arg 1 = 0, the easy twin) or B.
void BM_save_rows_but_first_column(benchmark::State& state) {
    const int rows = int(state.range(0)), first = state.range(1) ? 2 : 1;
    const std::string range = std::string(first == 2 ? "B1" : "A1") + ":XFD" + std::to_string(rows);
    save_shaped(state, "rows_from_" + std::to_string(first) + "_" + std::to_string(rows), "style " + range,
                [&](plover_worksheet_t* ws, plover_style_t* bold) { ws_set_range_style(ws, 1, first, rows, last_col, bold); });
}
BENCHMARK(BM_save_rows_but_first_column)
    ->ArgsProduct({{1000, 600000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// A style over B2:XFD1048576, arg 0 = 1 on a sheet whose row 1 is bold first.
void BM_save_sheet_with_bold_row(benchmark::State& state) {
    const bool bold_row = state.range(0) != 0;
    save_shaped(state, "bold_row_" + std::to_string(bold_row), bold_row ? "row 1 bold, B2:XFD1048576" : "B2:XFD1048576",
                [&](plover_worksheet_t* ws, plover_style_t* bold) {
                    if (bold_row) ws_set_range_style(ws, 1, 1, 1, last_col, bold);
                    plover_style_t* italic = bold;
                    style_set_bold(italic, 0);
                    style_set_italic(italic, 1);
                    ws_set_range_style(ws, 2, 2, last_row, last_col, italic);
                });
}
BENCHMARK(BM_save_sheet_with_bold_row)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// ---- many sheets ----------------------------------------------------------------

void BM_save_sheets(benchmark::State& state) {
    const int n = int(state.range(0));
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    for (int i = 1; i <= n; ++i) ws_set_num(wb_add_worksheet(wb, nullptr), 1, 1, i);
    const std::string path = scratch_file("sheets_" + std::to_string(n));
    measure_save(state, doc, path);
    doc_release(doc);
    plover_document_t* back = doc_load(path.c_str());
    if (!back || wb_sheet_count(doc_get_workbook(back)) != unsigned(n)) state.SkipWithError("the sheets do not read back");
    doc_release(back);
    // Seconds per sheet.
    state.counters["per_sheet"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_save_sheets)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
