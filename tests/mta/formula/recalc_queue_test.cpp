#include "mta/formula/recalc_queue.h"

#include "mta/formula/formula_cell.h"
#include "mta/formula/formula_model_context.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::mta::Table;

namespace {

struct recalc_queue_test : ::testing::Test {
    Table table{{}, 100, 20};
    formula_model_context& context = table.get_formula_model()->context();
    std::vector<std::unique_ptr<formula_cell>> owned;
    std::atomic<int> started{0}, running{0}, most_running{0}, finished{0};

    // Cell i computes i + 1.
    std::vector<formula_cell*> make_cells(int n) {
        std::vector<formula_cell*> out;
        for (int i = 0; i < n; ++i) {
            owned.push_back(std::make_unique<formula_cell>(&context, coord_t{0, i + 1, 1, 1, 0, 0}, "f"));
            owned.back()->tokens = {token_t(double(i)), token_t(int32_t(op_add)), token_t(1.0)};
            out.push_back(owned.back().get());
        }
        return out;
    }
    // Runs tasks on std::async, counting them; `fail_at` makes that task throw
    // after its cell was evaluated.
    task_launcher_t counting(int fail_at = -1) {
        return [this, fail_at](std::function<void()> task) {
            const int index = started++;
            return std::async(std::launch::async, [this, task = std::move(task), index, fail_at] {
                const int now = ++running;
                for (int seen = most_running; now > seen && !most_running.compare_exchange_weak(seen, now);) {
                }
                struct leave {
                    recalc_queue_test* t;
                    ~leave() { --t->running, ++t->finished; }
                } guard{this};
                task();
                if (index == fail_at) throw formula_error(10, "No data or wrong type of data on the stack.");
            });
        };
    }
    void expect_results(int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(owned[i]->has_result()) << i;
            EXPECT_EQ(std::get<double>(*owned[i]->result()), i + 1.0);
        }
    }
};

TEST_F(recalc_queue_test, every_cell_once_within_the_limit) {
    recalc_batch(make_cells(50), 0).run(counting());
    EXPECT_EQ(started, 50);
    EXPECT_EQ(finished, 50);
    expect_results(50);
    EXPECT_LE(uint64_t(most_running), recalc_batch::effective_limit(0, std::thread::hardware_concurrency()) + 1);

    most_running = 0;
    recalc_batch(make_cells(2), 1).run(counting());
    // The second starts once the first has done its work; the first's thread
    // may still be returning then, as in the count above.
    EXPECT_LE(most_running, 2);

    recalc_batch({}, 0).run(counting());
    recalc_batch({}, 0).run();
    EXPECT_EQ(started, 52);

    owned.clear();
    recalc_batch(make_cells(30), 3).run();
    expect_results(30);
}

TEST_F(recalc_queue_test, limits_default_to_the_hardware_but_never_below_two) {
    EXPECT_EQ(recalc_batch::effective_limit(0, 0), 2u);
    EXPECT_EQ(recalc_batch::effective_limit(0, 1), 2u);
    EXPECT_EQ(recalc_batch::effective_limit(0, 8), 8u);
    EXPECT_EQ(recalc_batch::effective_limit(3, 8), 3u);
}

TEST_F(recalc_queue_test, a_failing_task_is_rethrown_after_every_started_task) {
    const auto cells = make_cells(20);
    try {
        recalc_batch(cells, 2).run(counting(2));
        FAIL() << "the third task's error is lost";
    } catch (const formula_error& e) {
        EXPECT_EQ(e.code(), 10u);
    }
    EXPECT_EQ(running, 0);
    EXPECT_EQ(finished.load(), started.load());
    EXPECT_LT(started, 20);

    // The process lives on and the queue still works.
    recalc_batch(cells, 0).run();
    expect_results(20);
}

TEST_F(recalc_queue_test, the_worker_pool_rethrows_a_cell_error_and_stays_usable) {
    const auto cells = make_cells(20);
    const auto tokens = owned[3]->tokens;
    owned[3]->tokens = {token_t(1.0), token_t(int32_t(op_range)), token_t(coord_t{0, 1, 2, 1, 1, 1})};
    for (uint64_t limit : {1u, 0u}) EXPECT_THROW(recalc_batch(cells, limit).run(), formula_error);
    expect_results(3);
    owned[3]->tokens = tokens;
    recalc_batch(cells, 0).run();
    expect_results(20);
}

TEST_F(recalc_queue_test, a_failing_launcher_reports_its_error) {
    const auto cells = make_cells(10);
    auto inner = counting();
    int calls = 0;
    const task_launcher_t launch = [&](std::function<void()> task) {
        if (++calls == 5) throw std::runtime_error("no thread to be had");
        return inner(std::move(task));
    };
    EXPECT_THROW(recalc_batch(cells, 2).run(launch), std::runtime_error);
    EXPECT_EQ(finished, 4);
    expect_results(4);
    EXPECT_FALSE(owned[4]->has_result());
}

} // namespace

TEST_F(recalc_queue_test, the_workers_take_runs_of_cells_in_list_order) {
    EXPECT_EQ(recalc_batch::cells_per_task(10, 8), 1u);
    EXPECT_EQ(recalc_batch::cells_per_task(100000, 8), 1538u);
    EXPECT_EQ(recalc_batch::cells_per_task(10000000, 2), 4096u);
    for (const int n : {1, 7, 5000}) {
        auto cells = make_cells(n);
        recalc_batch(cells, 3).run();
        expect_results(n);
        owned.clear();
    }
}
