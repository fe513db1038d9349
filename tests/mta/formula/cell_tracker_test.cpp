#include "mta/formula/cell_tracker.h"

#include "mta/formula/formula_cell.h"
#include "mta/formula/formula_model_context.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>
#include <vector>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::range_t;
using vex::mta::Table;

namespace {

range_t box(int32_t r1, int32_t c1, int32_t r2, int32_t c2, int32_t grid = 0, int32_t last_grid = INT32_MIN) {
    return {{grid, r1, c1, 1, 0, 0}, {last_grid == INT32_MIN ? grid : last_grid, r2, c2, 1, 0, 0}};
}

struct cell_tracker_test : ::testing::Test {
    Table table{{}, 100, 20};
    formula_model_context& context = table.get_formula_model()->context();
    int32_t grid = context.get_sheet_size(context.get_sheet_id()).first.grid_id;
    cell_tracker_t tracker;
    std::vector<std::unique_ptr<formula_cell>> cells;

    range_t at(int32_t row, int32_t col) { return box(row, col, row, col, grid); }
    token_t ref(int32_t row, int32_t col) { return token_t(coord_t{grid, row, col, 1, 1, 1}); }

    // A formula at (row, col) adding one to each referenced cell, filed nowhere.
    formula_cell* unfiled(int32_t row, int32_t col, std::vector<std::pair<int32_t, int32_t>> refs) {
        cells.push_back(std::make_unique<formula_cell>(&context, coord_t{grid, row, col, 1, 0, 0}, "f"));
        formula_cell* cell = cells.back().get();
        cell->tokens.push_back(token_t(1.0));
        for (auto [r, c] : refs) {
            cell->tokens.push_back(token_t(int32_t(op_add)));
            cell->tokens.push_back(ref(r, c));
        }
        return cell;
    }
    // The same, registered with the tracker.
    formula_cell* formula(int32_t row, int32_t col, std::vector<std::pair<int32_t, int32_t>> refs) {
        formula_cell* cell = unfiled(row, col, std::move(refs));
        tracker.register_formula(cell);
        return cell;
    }
};

TEST_F(cell_tracker_test, chains_and_cycles_list_each_formula_once_in_order) {
    formula_cell* b1 = formula(1, 2, {{1, 1}});
    formula(1, 3, {{1, 2}});
    EXPECT_EQ(b1->state(), formula_cell_state::registered);
    EXPECT_EQ(tracker.get_dirty_ranges({at(1, 1)}), (std::vector{at(1, 2), at(1, 3)}));
    EXPECT_TRUE(tracker.get_dirty_ranges({at(9, 9)}).empty());

    cell_tracker_t cyclic;
    cyclic.add(at(5, 1), at(5, 2));  // A5 = B5 + 1
    cyclic.add(at(5, 2), at(5, 1));  // B5 = A5 + 1
    const auto order = cyclic.get_dirty_ranges({at(5, 1)});
    ASSERT_EQ(order.size(), 2u);
    EXPECT_NE(order[0], order[1]);
    EXPECT_EQ(order, cyclic.get_dirty_ranges({at(5, 1)}));
}

TEST_F(cell_tracker_test, entries_come_and_go_with_their_formulas) {
    formula_cell* twice = formula(2, 1, {{1, 1}, {1, 1}});
    EXPECT_EQ(tracker.dependents_of(at(1, 1)), std::vector{at(2, 1)});
    EXPECT_EQ(tracker.query(box(1, 1, 10, 10, grid)), std::vector{at(2, 1)});

    twice->volatile_flag = 1;
    tracker.add_volatile(at(2, 1));
    EXPECT_EQ(tracker.get_dirty_ranges({}), std::vector{at(2, 1)});
    tracker.unregister_formula(twice);
    EXPECT_TRUE(tracker.dependents_of(at(1, 1)).empty());
    EXPECT_TRUE(tracker.query(box(1, 1, 10, 10, grid)).empty());
    EXPECT_TRUE(tracker.get_dirty_ranges({}).empty());

    tracker.add(at(4, 4), box(2, 2, 3, 3, grid));
    tracker.add(at(4, 5), box(2, 2, 3, 3, grid));
    tracker.remove(box(2, 2, 3, 3, grid), at(4, 4));
    EXPECT_EQ(tracker.dependents_of(box(3, 3, 3, 3, grid)), std::vector{at(4, 5)});
    tracker.remove(box(2, 2, 3, 3, grid), at(4, 5));
    EXPECT_TRUE(tracker.dependents_of(box(1, 1, 9, 9, grid)).empty());
}

// Many formulas naming one cell, volatile ones among them: members keep their
// order through removals, and a hold leaves forgotten entries to be revived.
TEST_F(cell_tracker_test, long_dependent_sets_keep_their_order_through_removals) {
    constexpr int32_t n = 40;
    for (int32_t row = 1; row <= n; ++row) formula(row, 2, {{1, 1}})->volatile_flag = row % 2;
    for (int32_t row = 1; row <= n; row += 2) tracker.add_volatile(at(row, 2));
    std::vector<range_t> odd, even;
    for (int32_t row = 1; row <= n; ++row) (row % 2 ? odd : even).push_back(at(row, 2));
    {
        const cell_tracker_t::compaction_hold_t hold(tracker);
        for (int32_t row = 2; row <= n; row += 2) tracker.unregister_formula(cells[size_t(row - 1)].get());
        EXPECT_EQ(tracker.dependents_of(at(1, 1)), odd);
        for (int32_t row = 1; row <= n; row += 2) tracker.unregister_formula(cells[size_t(row - 1)].get());
        EXPECT_TRUE(tracker.dependents_of(at(1, 1)).empty());
        EXPECT_TRUE(tracker.get_dirty_ranges({}).empty());
        for (int32_t row = 2; row <= n; row += 2) tracker.register_formula(cells[size_t(row - 1)].get());
    }
    EXPECT_EQ(tracker.dependents_of(at(1, 1)), even);
    EXPECT_EQ(tracker.query(box(1, 2, n, 2, grid)).size(), even.size());
    for (int32_t row = 1; row <= n; row += 2) tracker.register_formula(cells[size_t(row - 1)].get());
    std::vector<range_t> all = even;
    all.insert(all.end(), odd.begin(), odd.end());
    EXPECT_EQ(tracker.dependents_of(at(1, 1)), all);
    EXPECT_EQ(tracker.get_dirty_ranges({}), odd);  // the volatile ones
}

TEST_F(cell_tracker_test, grids_of_references_and_refusals) {
    const range_t src = box(1, 1, 1, 1, 7);
    tracker.add(src, box(1, 1, 2, 2, 2, 4));
    for (int32_t g : {2, 3, 4}) EXPECT_EQ(tracker.dependents_of(box(2, 2, 2, 2, g)), std::vector{src});
    EXPECT_TRUE(tracker.dependents_of(box(2, 2, 2, 2, 5)).empty());
    tracker.add(src, box(1, 1, 1, 1, 9, 8));
    EXPECT_TRUE(tracker.dependents_of(box(1, 1, 1, 1, 8)).empty());
    // Grid ids count unsigned: a span up to the last one ends.
    tracker.add(src, box(1, 1, 1, 1, -3, -1));
    EXPECT_EQ(tracker.dependents_of(box(1, 1, 1, 1, -1)), std::vector{src});

    const range_t two_grids = box(1, 2, 3, 4, 1, 2);
    EXPECT_EQ(what_of<std::invalid_argument>([&] { tracker.add(two_grids, src); }),
              "cell_tracker_t::add: invalid formula range: (1,2,3,4)");
    EXPECT_EQ(what_of<std::invalid_argument>([&] { tracker.remove(src, two_grids); }),
              "cell_tracker_t::remove: invalid source range: src=(1,2,3,4)");
    EXPECT_EQ(what_of<std::invalid_argument>([&] { tracker.query(two_grids); }), "range:(1,2,3,4)");
    EXPECT_TRUE(tracker.dependents_of(box(1, 2, 3, 4, 1)).empty());

    // A purged grid answers nothing, and its formulas leave other grids' entries.
    tracker.add(box(1, 1, 1, 1, 2), box(5, 5, 5, 5, 3));
    tracker.purge_grid(2);
    EXPECT_TRUE(tracker.dependents_of(box(1, 1, 9, 9, 2)).empty());
    EXPECT_TRUE(tracker.dependents_of(box(5, 5, 5, 5, 3)).empty());
    EXPECT_EQ(tracker.dependents_of(box(2, 2, 2, 2, 3)), std::vector{src});
}

TEST_F(cell_tracker_test, sheet_orders_put_precedents_first) {
    formula(1, 3, {{1, 2}});  // C1 reads B1
    formula(1, 2, {{1, 1}});  // B1 reads A1
    formula(1, 1, {});        // A1 reads nothing
    formula(3, 1, {{1, 3}});  // A3 reads C1
    for (formula_cell* c : {cells[0].get(), cells[1].get(), cells[2].get(), cells[3].get()})
        table.store_formula_cell(c);
    const auto all = tracker.order_all(context);
    ASSERT_EQ(all.size(), 4u);
    auto pos = [&](const range_t& r) { return std::find(all.begin(), all.end(), r) - all.begin(); };
    EXPECT_LT(pos(at(1, 1)), pos(at(1, 2)));
    EXPECT_LT(pos(at(1, 2)), pos(at(1, 3)));
    EXPECT_LT(pos(at(1, 3)), pos(at(3, 1)));
    EXPECT_EQ(tracker.order_range(box(1, 2, 1, 3, grid), context), (std::vector{at(1, 2), at(1, 3)}));
    EXPECT_TRUE(tracker.order_range(box(1, 1, 1, 3, grid + 1), context).empty());
    for (auto& c : cells) c.release();  // the table owns them now
}

TEST_F(cell_tracker_test, the_store_unregisters_the_cells_it_erases_or_destroys) {
    cell_tracker_t& shared = get_cell_tracker();
    const range_t everything = box(1, 1, 100, 20, grid);
    {
        Table sheet{{}, 100, 20};
        formula_model_context& own = sheet.get_formula_model()->context();
        for (int32_t row : {7, 8}) {
            auto* cell = new formula_cell(&own, coord_t{grid, row, 2, 1, 0, 0}, "f");
            cell->tokens = {ref(row - 1, 2)};
            shared.register_formula(cell);
            sheet.store_formula_cell(cell);
        }
        EXPECT_EQ(shared.query(everything), (std::vector{at(7, 2), at(8, 2)}));
        sheet.set_num(7, 2, 1.0);  // overwritten
        EXPECT_EQ(shared.query(everything), std::vector{at(8, 2)});
        EXPECT_TRUE(shared.dependents_of(at(6, 2)).empty());
    }  // destroyed with its sheet
    EXPECT_TRUE(shared.query(everything).empty());
    EXPECT_TRUE(shared.dependents_of(at(7, 2)).empty());
}

TEST(range_graph, long_chain_orders_without_recursion_and_alike_every_time) {
    range_graph_t graph;
    auto at = [](int32_t row) { return range_t{{1, row, 1, 1, 0, 0}, {1, row, 1, 1, 0, 0}}; };
    for (int32_t row = 100000; row > 1; --row) graph.add_edge(at(row), at(row - 1));
    graph.add_edge(at(2), at(1));
    const auto order = graph.topological_order();
    ASSERT_EQ(order.size(), 100000u);
    for (int32_t row = 1; row <= 100000; ++row) ASSERT_EQ(order[row - 1], at(row));
    EXPECT_EQ(order, graph.topological_order());
    EXPECT_EQ(&get_cell_tracker(), &get_cell_tracker());
}

} // namespace

// F5, one of twenty readers of C3, is overwritten and then reads C3 again.
TEST_F(cell_tracker_test, a_long_dependent_list_takes_a_member_back_once) {
    std::vector<range_t> all;
    for (int32_t row = 1; row <= 20; ++row) all.push_back(at(row, 6)), formula(row, 6, {{3, 3}});
    tracker.unregister_formula(cells[4].get());
    formula(5, 6, {{3, 3}});
    std::vector<range_t> back = tracker.dependents_of(at(3, 3));
    std::sort(back.begin(), back.end(), [](const range_t& a, const range_t& b) { return a.first.row < b.first.row; });
    EXPECT_EQ(back, all);
}

// A grid of a few entries is scanned and a larger one searched through trees:
// every entry stays found as a grid grows past a few, filed one by one or in
// one batch, shrinks back to a few and grows again.
TEST_F(cell_tracker_test, a_grid_finds_its_entries_as_it_grows_shrinks_and_grows_again) {
    const auto sorted = [](std::vector<range_t> v) {
        std::sort(v.begin(), v.end(), [](const range_t& a, const range_t& b) { return a.first.row < b.first.row; });
        return v;
    };
    const auto expect_found = [&](const cell_tracker_t& t, const std::vector<int32_t>& rows) {
        std::vector<range_t> want;
        for (const int32_t row : rows) {
            want.push_back(at(row, 2));
            EXPECT_EQ(t.dependents_of(at(row, 1)), std::vector{at(row, 2)}) << "row " << row;
        }
        EXPECT_EQ(sorted(t.query(box(1, 2, 30, 2, grid))), want);
        EXPECT_EQ(sorted(t.dependents_of(box(1, 1, 30, 1, grid))), want);
    };
    std::vector<int32_t> rows;
    for (int32_t row = 1; row <= 12; ++row) {
        formula(row, 2, {{row, 1}});
        rows.push_back(row);
        expect_found(tracker, rows);
    }
    for (int32_t row = 1; row <= 9; ++row) tracker.unregister_formula(cells[size_t(row - 1)].get());
    expect_found(tracker, {10, 11, 12});
    EXPECT_TRUE(tracker.dependents_of(at(4, 1)).empty());
    for (int32_t row = 1; row <= 9; ++row) formula(row, 2, {{row, 1}});
    expect_found(tracker, rows);

    for (const int32_t count : {5, 12}) {
        cell_tracker_t batched;
        std::vector<int32_t> filed;
        {
            cell_tracker_t::batch_t batch(batched);
            for (int32_t row = 1; row <= count; ++row) {
                batch.add(unfiled(row, 2, {{row, 1}}));
                filed.push_back(row);
            }
        }
        expect_found(batched, filed);
    }
}
