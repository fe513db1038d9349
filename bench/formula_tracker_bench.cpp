// The dependency tracker registering a 100,000-formula chain and ordering it
// from its first cell, with the heap bytes each formula cell costs (the cell
// and its tokens and the tracker's entries); and the recalculation queue over
// 100,000 independent cells with 1, 2 and 8 tasks at a time.

#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/recalc_queue.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <vector>

namespace {

using namespace vex::mta::formula;

constexpr int cell_count = 100000;

struct sheet_t {
    vex::mta::Table table{{}, 1048576, 16384};
    model_context& context() { return table.get_formula_model()->context(); }
};

size_t heap_in_use() { return mallinfo2().uordblks; }

void tracker_chain(benchmark::State& state) {
    sheet_t sheet;
    for (auto _ : state) {
        const size_t before = heap_in_use();
        std::vector<std::unique_ptr<formula_cell>> cells;
        cells.reserve(cell_count);
        cell_tracker_t tracker;
        for (int row = 2; row <= cell_count + 1; ++row) {
            cells.push_back(std::make_unique<formula_cell>(&sheet.context(), vex::coord_t{0, row, 1, 1, 0, 0}, "f"));
            cells.back()->tokens = {token_t(vex::coord_t{0, row - 1, 1, 1, 1, 1}), token_t(int32_t(op_add)),
                                    token_t(1.0)};
            tracker.register_formula(cells.back().get());
        }
        const vex::range_t a1{{0, 1, 1, 1, 0, 0}, {0, 1, 1, 1, 0, 0}};
        const auto order = tracker.get_dirty_ranges({a1});
        if (order.size() != size_t(cell_count)) state.SkipWithError("the chain lost formulas");
        state.counters["bytes_per_cell"] = double(heap_in_use() - before) / cell_count;
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * cell_count);
}
BENCHMARK(tracker_chain)->Unit(benchmark::kMillisecond);

void queue_cells(benchmark::State& state) {
    sheet_t sheet;
    std::vector<std::unique_ptr<formula_cell>> owned;
    std::vector<formula_cell*> cells;
    for (int i = 0; i < cell_count; ++i) {
        owned.push_back(std::make_unique<formula_cell>(&sheet.context(), vex::coord_t{0, i + 1, 1, 1, 0, 0}, "f"));
        owned.back()->tokens = {token_t(double(i)), token_t(int32_t(op_mul)), token_t(2.0)};
        cells.push_back(owned.back().get());
    }
    const recalc_batch batch(cells, uint64_t(state.range(0)));
    for (auto _ : state) {
        for (auto& c : owned) c->clear_result();
        batch.run();
    }
    for (int i = 0; i < cell_count; ++i)
        if (!owned[i]->has_result() || std::get<double>(*owned[i]->result()) != 2.0 * i) {
            state.SkipWithError("results differ from the sequential ones");
            break;
        }
    state.SetItemsProcessed(state.iterations() * cell_count);
}
BENCHMARK(queue_cells)->Arg(1)->Arg(2)->Arg(8)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace
