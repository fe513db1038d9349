// Sheets added one by one through the exports to a new workbook, 2,000 or
// 8,000 of them: with default names (Sheet1, Sheet2, ...), with given names
// (Sh1, Sh2, ...), and with given names beside a summary sheet whose row i
// reads Sh<i>!A1 before that sheet exists, so that each add reads again the one
// formula naming it. An add should cost what it changes, not what the workbook
// holds: "per_sheet" must not grow with the count, and 8,000 sheets should take
// about four times what 2,000 take. Each case checks once, untimed, the last
// sheet's name and, beside the summary, that the last row's result goes when
// the cell it reads changes.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

enum class naming_t { default_names, given_names, named_ahead };

// Row i of the summary: Sh<i>!A1*2 with the result 2.
plover_worksheet_t* summary(plover_workbook_t* wb, int n) {
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Summary");
    for (int i = 1; i <= n; ++i) {
        ws_set_formula(ws, i, 1, ("Sh" + std::to_string(i) + "!A1*2").c_str());
        ws_set_formula_num(ws, i, 1, 2);
    }
    return ws;
}

// Whether the sheets came with the names asked for and, beside the summary,
// the last one's formula reads the last sheet added.
bool added_as_asked(plover_workbook_t* wb, plover_worksheet_t* ahead, int n, const std::string& last) {
    const int count = wb_sheet_count(wb);
    if (count != n + (ahead ? 1 : 0)) return false;
    const char* name = wb_sheet_name(wb, count - 1);
    if (!name || last != name) return false;
    if (!ahead) return true;
    ws_set_num(wb_get_sheet(wb, count - 1), 1, 1, 5);
    return ws_cell_type(ahead, n, 1) != CELLTYPE_NUMBER;
}

void add_sheets(benchmark::State& state, naming_t naming) {
    const int n = int(state.range(0));
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) names.push_back((naming == naming_t::default_names ? "Sheet" : "Sh") + std::to_string(i));
    bool checked = false;
    for (auto _ : state) {
        state.PauseTiming();
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ahead = naming == naming_t::named_ahead ? summary(wb, n) : nullptr;
        state.ResumeTiming();
        for (const std::string& name : names)
            wb_add_worksheet(wb, naming == naming_t::default_names ? nullptr : name.c_str());
        state.PauseTiming();
        if (!checked && !added_as_asked(wb, ahead, n, names.back())) state.SkipWithError("the sheets are not as asked");
        checked = true;
        doc_release(doc);
        state.ResumeTiming();
    }
    state.counters["per_sheet"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void sheets_added_with_default_names(benchmark::State& state) { add_sheets(state, naming_t::default_names); }
void sheets_added_with_given_names(benchmark::State& state) { add_sheets(state, naming_t::given_names); }
void sheets_added_named_ahead(benchmark::State& state) { add_sheets(state, naming_t::named_ahead); }

BENCHMARK(sheets_added_with_default_names)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);
BENCHMARK(sheets_added_with_given_names)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);
BENCHMARK(sheets_added_named_ahead)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

} // namespace
