// The sheet's formula path end to end: 100,000 chained formulas (An = A(n-1)+1)
// set through Table::set_formula, each parsed, checked and tracked, with the
// heap bytes each formula cell costs; then one row inserted at the top, which
// moves every formula and rewrites every text and token; the same over a
// column filled down as one shared formula, moved as one group (its
// followers compared by their tokens, no text parsed) and cut by a band (each
// follower's own text moved, and set apart); small formulas
// recalculated serially and through the batched parallel queue; and one cell
// overwritten 1,000 and 400,000 times with a formula reading two new cells,
// with the peak resident memory and the heap left: the tracker should keep no
// more than the last formula needs.

#include "bench/memory_counters.h"
#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/recalc_queue.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"
#include "mta/types/document_model_access.h"
#include "text_utils.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int chain = 100000;

struct a1_access : vex::mta::document_model_access {
    unsigned get_reference_mode() const override { return 3; }
    std::string get_sheet_name(unsigned) const override { return "Sheet1"; }
    std::unordered_set<vex::range_t> resolve_table_reference(const vex::coord_t&, std::string_view, uint32_t,
                                                             std::string_view, std::string_view) const override {
        return {};
    }
    unsigned get_sheet_grid_id(std::string_view) const override { return 0; }
    unsigned get_grid_id(std::string_view, std::string_view, std::string_view) const override { return 0xFFFFFFFF; }
};

size_t heap_in_use() { return mallinfo2().uordblks; }

std::unique_ptr<vex::mta::Table> make_sheet() {
    static uint32_t workbook = 0x60000000;
    auto t = std::make_unique<vex::mta::Table>(vex::mta::extent_t{}, 1048576, 16384);
    t->register_grid(0, ++workbook);
    t->set_document_access(new a1_access);
    return t;
}

// The texts are made before the clock runs: the benchmark times the model.
const std::vector<std::string>& chain_texts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> out;
        for (int row = 2; row <= chain + 1; ++row) out.push_back(vex::concat({"A", std::to_string(row - 1), "+1"}));
        return out;
    }();
    return texts;
}

void set_chain(vex::mta::Table& t) {
    const auto& texts = chain_texts();
    for (int row = 2; row <= chain + 1; ++row) t.set_formula(row, 1, texts[size_t(row - 2)]);
}

void formula_model_set_chain(benchmark::State& state) {
    chain_texts();
    for (auto _ : state) {
        state.PauseTiming();
        auto t = make_sheet();
        const size_t before = heap_in_use();
        state.ResumeTiming();
        set_chain(*t);
        state.PauseTiming();
        state.counters["bytes_per_formula_cell"] = double(heap_in_use() - before) / chain;
        const auto* last = t->get_formula_cell(chain + 1, 1);
        if (!last || !last->parsed || last->state() != vex::mta::formula::formula_cell_state::registered)
            state.SkipWithError("the chain was not parsed and tracked");
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * chain);
}
BENCHMARK(formula_model_set_chain)->Unit(benchmark::kMillisecond)->Iterations(3);

void formula_model_insert_row_over_chain(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto t = make_sheet();
        set_chain(*t);
        state.ResumeTiming();
        t->shift_range_down(1, 16384, 1, 1);
        state.PauseTiming();
        const auto* moved = t->get_formula_cell(chain + 2, 1);
        if (!moved || moved->expression() != vex::concat({"A", std::to_string(chain + 1), "+1"}))
            state.SkipWithError("the formulas were not rewritten");
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * chain);
}
BENCHMARK(formula_model_insert_row_over_chain)->Unit(benchmark::kMillisecond)->Iterations(3);

// A1:A100000 sharing B1*2 as a sheet reader files it.
void fill_shared(vex::mta::Table& t) {
    auto* model = t.get_formula_model();
    const int32_t grid = int32_t(t.sheet_id());
    for (int row = 1; row <= chain; ++row) {
        vex::mta::formula::formula_attributes_t a;
        a.type = 1;
        if (row == 1) a.ref = {{grid, 1, 1, 1, 0, 0}, {grid, chain, 1, 1, 0, 0}};
        model->import_formula(new vex::mta::formula::formula_cell({grid, row, 1, 0, 0, 0}, row == 1 ? "B1*2" : "", a));
    }
    model->parse_imported();
}

// Arg 0: a row inserted at the top of the sheet; 1: at row 2 of column A only,
// which leaves every follower reading B(n-1) as a formula of its own.
void formula_model_insert_row_over_shared_group(benchmark::State& state) {
    const bool band = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto t = make_sheet();
        fill_shared(*t);
        state.ResumeTiming();
        band ? t->shift_range_down(1, 1, 2, 1) : t->shift_range_down(1, 16384, 1, 1);
        state.PauseTiming();
        const auto* last = t->get_formula_cell(chain + 1, 1);
        const bool alone = last && last->attributes().type == 0;
        if (!last || alone != band || (band && last->expression() != vex::concat({"B", std::to_string(chain), "*2"}))) {
            state.SkipWithError("the group did not follow the row");
            break;
        }
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * chain);
}
BENCHMARK(formula_model_insert_row_over_shared_group)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// 100,000 small formulas (n*2) evaluated on one task, and batched over the
// workers (limit 0: the hardware's; -1 evaluates in a plain loop); every cell
// must get its result.
void formula_model_recalc_small_cells(benchmark::State& state) {
    auto t = make_sheet();
    std::vector<vex::mta::formula::formula_cell*> cells;
    for (int row = 1; row <= chain; ++row) {
        t->set_formula(row, 2, std::to_string(row) + "*2");
        cells.push_back(t->get_formula_cell(row, 2));
    }
    const vex::mta::formula::recalc_batch batch(cells, uint64_t(state.range(0)));
    for (auto _ : state) {
        for (auto* c : cells) c->clear_result();
        if (state.range(0) < 0) {
            for (auto* c : cells) c->evaluate();  // on the calling thread, no queue
        } else {
            batch.run();
        }
    }
    for (auto* c : cells)
        if (!c->has_result()) {
            state.SkipWithError("a cell was left without a result");
            break;
        }
    state.SetItemsProcessed(state.iterations() * chain);
}
BENCHMARK(formula_model_recalc_small_cells)->Arg(-1)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void formula_model_overwrite_one_cell(benchmark::State& state) {
    const int overwrites = int(state.range(0));
    double peak_kib = 0, heap_kib = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const bool rss = bench_memory::reset_peak_rss();
        const size_t rss_before = bench_memory::status_bytes("VmRSS");
        const size_t heap_before = bench_memory::heap_in_use();
        auto t = make_sheet();
        state.ResumeTiming();
        std::string text;
        for (int n = 1; n <= overwrites; ++n) {
            text = vex::concat({"A", std::to_string(n), "+B", std::to_string(n)});
            t->set_formula(1, 3, text);
        }
        state.PauseTiming();
        const int32_t grid = int32_t(t->sheet_id());
        const vex::coord_t last{grid, overwrites, 2, 1, 0, 0};
        const bool tracked = vex::mta::formula::get_cell_tracker().dependents_of({last, last}).size() == 1;
        heap_kib = double(bench_memory::heap_in_use() - heap_before) / 1024;
        peak_kib = rss ? double(bench_memory::status_bytes("VmHWM") - rss_before) / 1024 : 0;
        t.reset();
        state.ResumeTiming();
        if (!tracked) state.SkipWithError("the last formula is not tracked");
    }
    state.SetItemsProcessed(state.iterations() * overwrites);
    state.counters["peak_rss_kib"] = peak_kib;
    state.counters["heap_left_kib"] = heap_kib;
}
BENCHMARK(formula_model_overwrite_one_cell)->Arg(1000)->Arg(400000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
