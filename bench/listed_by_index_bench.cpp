// Lists a host walks by index or by cell through the exports, 2,000 and 8,000
// entries long: hyperlinks deleted from the first and looked up cell by cell,
// defined names and editable ranges deleted from the first. Each call costs
// about the same however long the list is, so 8,000 take within about six
// times what 2,000 take.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

namespace {

struct sheet_t {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Data");
    ~sheet_t() { doc_release(doc); }
};

// `fill` untimed on a fresh sheet, then `walk` timed; `left` says what is wrong after.
void walk(benchmark::State& state, const std::function<void(sheet_t&, int)>& fill,
          const std::function<void(sheet_t&, int)>& timed, const std::function<const char*(sheet_t&)>& left) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        sheet_t sheet;
        fill(sheet, n);
        state.ResumeTiming();
        timed(sheet, n);
        state.PauseTiming();
        const char* fault = left(sheet);
        state.ResumeTiming();
        if (fault) {
            state.SkipWithError(fault);
            break;
        }
    }
}

void add_links(sheet_t& sheet, int n) {
    for (int i = 1; i <= n; ++i) ws_add_hyperlink(sheet.ws, "https://example.com/", i, 1, i, 1);
}

void hyperlinks_deleted_from_the_first(benchmark::State& state) {
    walk(state, add_links, [](sheet_t& sheet, int n) { for (int i = 0; i < n; ++i) ws_delete_hyperlink(sheet.ws, 0); },
         [](sheet_t& sheet) { return ws_hyperlink_num(sheet.ws) != 0 ? "a link was kept" : nullptr; });
}

void hyperlinks_found_by_cell(benchmark::State& state) {
    walk(state, add_links,
         [](sheet_t& sheet, int n) {
             for (int i = 1; i <= n; ++i) benchmark::DoNotOptimize(ws_hyperlink_index(sheet.ws, i, 1));
         },
         [](sheet_t& sheet) { return ws_hyperlink_index(sheet.ws, 7, 1) != 6 ? "a cell's link was not found" : nullptr; });
}

void defined_names_deleted_from_the_first(benchmark::State& state) {
    walk(state,
         [](sheet_t& sheet, int n) {
             for (int i = 1; i <= n; ++i)
                 wb_set_defined_name(sheet.wb, ("Name_" + std::to_string(i)).c_str(), "Data!$A$1", nullptr);
         },
         [](sheet_t& sheet, int n) { for (int i = 0; i < n; ++i) wb_delete_defined_name(sheet.wb, 0); },
         [](sheet_t& sheet) { return wb_defined_name_num(sheet.wb) != 0 ? "a name was kept" : nullptr; });
}

void editable_ranges_deleted_from_the_first(benchmark::State& state) {
    walk(state,
         [](sheet_t& sheet, int n) { for (int i = 1; i <= n; ++i) ws_set_editable_range(sheet.ws, i, 1, i, 1); },
         [](sheet_t& sheet, int n) { for (int i = 0; i < n; ++i) ws_delete_editable_range(sheet.ws, 0); },
         [](sheet_t& sheet) { return ws_editable_range_count(sheet.ws) != 0 ? "a range was kept" : nullptr; });
}

BENCHMARK(hyperlinks_deleted_from_the_first)->Arg(2000)->Arg(8000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(hyperlinks_found_by_cell)->Arg(2000)->Arg(8000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(defined_names_deleted_from_the_first)->Arg(2000)->Arg(8000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(editable_ranges_deleted_from_the_first)->Arg(2000)->Arg(8000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace
