// The sheet's formula path end to end: 100,000 chained formulas (An = A(n-1)+1)
// set through Table::set_formula, each parsed, checked and tracked, with the
// heap bytes each formula cell costs; then one row inserted at the top, which
// moves every formula and rewrites every text and token; and small formulas
// recalculated serially and through the batched parallel queue.

#include "mta/formula/formula_cell.h"
#include "mta/formula/recalc_queue.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"
#include "mta/types/document_model_access.h"

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
        for (int row = 2; row <= chain + 1; ++row) out.push_back("A" + std::to_string(row - 1) + "+1");
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
        if (!moved || moved->expression() != "A" + std::to_string(chain + 1) + "+1")
            state.SkipWithError("the formulas were not rewritten");
        t.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * chain);
}
BENCHMARK(formula_model_insert_row_over_chain)->Unit(benchmark::kMillisecond)->Iterations(3);

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

} // namespace
