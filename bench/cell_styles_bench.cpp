// Styling cells through the exports: a million cells from a thousand distinct
// style handles (each record interned once), against the cell store's own
// set_cell_style; and one style laid over a whole column.

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int rows = 10000, cols = 100;  // a million cells
constexpr int handles = 1000;

struct styled_book {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Bench");
    std::vector<plover_style_t*> styles;

    styled_book() {
        for (int i = 0; i < handles; ++i) {
            plover_style_t* s = wb_make_normal_style(wb);
            style_set_font_size(s, 1 + i);
            style_set_fill_pattern(s, i % 19);
            styles.push_back(s);
        }
    }
    styled_book(const styled_book&) = delete;
    styled_book& operator=(const styled_book&) = delete;
    ~styled_book() { doc_release(doc); }

    vex::mta::Table& table() const { return *static_cast<vex::iWorksheet_impl*>(ws)->worktable()->sheet(); }
    size_t cell_formats() const {
        const vex::mta::style_manager_t& m = *table().get_style_manager();
        const auto lock = m.lock();
        return m.get_impl().cell_xfs.size();
    }
};

// Each pass styles every cell of a fresh book; `style_cell` does one cell.
template <class StyleCell>
void style_a_million(benchmark::State& state, StyleCell style_cell) {
    double new_records = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<styled_book>();
        const size_t before = book->cell_formats();
        state.ResumeTiming();
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) style_cell(*book, r, c, size_t(r * cols + c) % handles);
        state.PauseTiming();
        new_records = double(book->cell_formats() - before);
        book.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * rows * cols);
    state.counters["new_cell_formats"] = new_records;
}

void BM_ws_set_cell_style(benchmark::State& state) {
    style_a_million(state, [](styled_book& b, int r, int c, size_t i) { ws_set_cell_style(b.ws, r, c, b.styles[i]); });
}
BENCHMARK(BM_ws_set_cell_style)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same work on the cell store alone, with the settings already copied out.
void BM_table_set_cell_style(benchmark::State& state) {
    std::vector<vex::mta::style_settings_t> settings;
    const styled_book* filled_for = nullptr;
    style_a_million(state, [&](styled_book& b, int r, int c, size_t i) {
        if (filled_for != &b) {
            state.PauseTiming();
            settings.clear();
            for (plover_style_t* h : b.styles) settings.push_back(static_cast<vex::iStyle_impl*>(h)->settings());
            filled_for = &b;
            state.ResumeTiming();
        }
        b.table().set_cell_style(r, c, settings[i]);
    });
}
BENCHMARK(BM_table_set_cell_style)->Unit(benchmark::kMillisecond)->Iterations(3);

// A style over all 1,048,576 rows of one column becomes one column record.
void BM_set_range_style_whole_column(benchmark::State& state) {
    styled_book book;
    int col = 1;
    for (auto _ : state) {
        ws_set_range_style(book.ws, 1, col, 1048576, col, book.styles[size_t(col) % handles]);
        col = col % 16384 + 1;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1048576);
}
BENCHMARK(BM_set_range_style_whole_column)->Unit(benchmark::kMicrosecond);

} // namespace
