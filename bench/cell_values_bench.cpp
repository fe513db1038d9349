// Cell values through the sheet's setters and snapshots: a million mixed cells
// set and read back, and a whole-sheet clear over a few styled columns, which
// must cost the stored runs, not the seventeen billion cells of the range.

#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using vex::mta::Table;

constexpr unsigned all_rows = 1048576, all_cols = 16384;

vex::mta::style_settings_t bold() {
    vex::mta::font_t f;
    f.name = "Arial";
    f.size = 10;
    f.bold = 1;
    vex::mta::style_settings_t s;
    s.set_font(f);
    return s;
}

// Eight kinds in turn: int32, int64, double, text, boolean, error, date, rich text.
void set_mixed(Table& t, int rows, int cols, const std::vector<std::string>& texts,
               const vex::mta::richtext_t& rich) {
    int n = 0;
    for (int r = 1; r <= rows; ++r) {
        for (int c = 1; c <= cols; ++c, ++n) {
            switch (n & 7) {
            case 0: t.set_num(r, c, double(n)); break;
            case 1: t.set_num(r, c, 5e9 + n); break;
            case 2: t.set_num(r, c, n * 0.1); break;
            case 3: t.set_text(r, c, texts[size_t(n) % texts.size()]); break;
            case 4: t.set_boolean(r, c, (n & 8) != 0); break;
            case 5: t.set_error(r, c, static_cast<vex::mta::error_value_enum>(n % 9)); break;
            case 6: t.set_datetime(r, c, vex::serial_to_ticks(45000.0 + n * 1e-3)); break;
            default: t.set_richtext(r, c, rich); break;
            }
        }
    }
}

void BM_set_and_read_mixed_cells(benchmark::State& state) {
    const int rows = 1000, cols = 1000;
    std::vector<std::string> texts;
    for (int i = 0; i < 10000; ++i) texts.push_back("text value " + std::to_string(i));
    vex::mta::richtext_t rich;
    rich.append({0, "rich ", {}});
    rich.append({0, "value", {}});
    for (auto _ : state) {
        auto table = std::make_unique<Table>(vex::mta::extent_t{}, all_rows, all_cols);
        Table& t = *table;
        t.set_col_style(10, 20, bold());
        set_mixed(t, rows, cols, texts, rich);
        double sum = 0;
        size_t text_bytes = 0;
        for (int r = 1; r <= rows; ++r) {
            for (int c = 1; c <= cols; ++c) {
                auto cell = t.get_cell(r, c);
                benchmark::DoNotOptimize(cell.get_cell_type());
                if (auto v = cell.get_num()) sum += *v;
                if (auto s = cell.get_text()) text_bytes += s->size();
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(text_bytes);
        state.PauseTiming();
        table.reset();  // the teardown is not timed
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * rows * cols * 2);
}
BENCHMARK(BM_set_and_read_mixed_cells)->Unit(benchmark::kMillisecond);

// A sheet with values in columns A to J, four styled columns with values that
// took their style, a styled row crossing them, then A1:XFD1048576 cleared.
void BM_clear_whole_sheet(benchmark::State& state) {
    const vex::range_t sheet{{0, 1, 1, 1, 0, 0}, {0, 1048576, 16384, 1, 0, 0}};
    for (auto _ : state) {
        state.PauseTiming();
        auto t = std::make_unique<Table>(vex::mta::extent_t{}, all_rows, all_cols);
        for (int c : {2, 5, 9, 16384}) t->set_col_style(c, c, bold());
        t->set_row_style(100, 100, bold());
        for (int c = 1; c <= 10; ++c)
            for (int r = 1; r <= 20000; ++r) t->set_num(r, c, r);
        t->set_text(1048576, 16384, "corner");
        state.ResumeTiming();
        t->clear_contents(sheet);
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_clear_whole_sheet)->Unit(benchmark::kMillisecond);

// Styling and clearing styles over the whole sheet.
void BM_style_and_clear_styles_whole_sheet(benchmark::State& state) {
    const vex::range_t sheet{{0, 1, 1, 1, 0, 0}, {0, 1048576, 16384, 1, 0, 0}};
    for (auto _ : state) {
        state.PauseTiming();
        auto t = std::make_unique<Table>(vex::mta::extent_t{}, all_rows, all_cols);
        for (int c = 1; c <= 10; ++c)
            for (int r = 1; r <= 1000; ++r) t->set_num(r, c, r);
        state.ResumeTiming();
        t->set_range_style(sheet, bold());
        t->clear_styles(sheet);
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_style_and_clear_styles_whole_sheet)->Unit(benchmark::kMillisecond);

// A column whose cells alternate between two styles (state.range(0) runs), then
// styled bold as a whole: the time grows with the runs, not with their square.
void BM_style_column_of_many_runs(benchmark::State& state) {
    const int runs = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto t = std::make_unique<Table>(vex::mta::extent_t{}, all_rows, all_cols);
        for (int r = 1; r <= runs; ++r) {
            vex::mta::fill_t f;
            f.pattern.type = 1;
            f.pattern.fg = vex::mta::color_t::from_rgb(r % 2 ? 0xFF0000FFu : 0xFF00FF00u);
            vex::mta::style_settings_t s;
            s.set_fill(f);
            t->set_num(r, 2, r);
            t->set_cell_style(r, 2, s);
        }
        state.ResumeTiming();
        t->set_col_style(2, 2, bold());
        state.PauseTiming();
        t.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_style_column_of_many_runs)->Arg(20000)->Arg(80000)->Unit(benchmark::kMillisecond);

} // namespace
