#include "mta/table/utils/run_store.h"
#include "mta/types/rc_record.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using vex::mta::run_store_t;

namespace {

using store_t = run_store_t<int>;

// Runs sorted, starting at first, no two equal neighbours, and the same values
// as the plain model.
void expect_matches(const store_t& s, const std::vector<int>& model) {
    const auto& runs = s.runs();
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(int(runs.front().start), s.first());
    for (size_t i = 1; i < runs.size(); ++i) {
        EXPECT_LT(runs[i - 1].start, runs[i].start);
        EXPECT_NE(runs[i - 1].value, runs[i].value) << "equal neighbours at run " << i;
    }
    for (int i = s.first(); i <= s.last(); ++i) ASSERT_EQ(s.value_at(i), model[i - s.first()]) << "index " << i;
}

using runs = std::vector<std::pair<uint32_t, int>>;  // start, value

runs runs_of(const store_t& s) {
    runs out;
    for (const auto& r : s.runs()) out.emplace_back(r.start, r.value);
    return out;
}

} // namespace

TEST(run_store, starts_as_one_default_run_and_finds_runs) {
    store_t s(1, 100, 0);
    EXPECT_EQ(s.runs().size(), 1u);
    EXPECT_FALSE(s.run_index_of(0) || s.run_index_of(101));
    s.assign(10, 19, 5);
    EXPECT_EQ(runs_of(s), (runs{{1, 0}, {10, 5}, {20, 0}}));
    EXPECT_EQ(std::tuple(*s.run_index_of(9), *s.run_index_of(10), *s.run_index_of(100)), std::tuple(0u, 1u, 2u));
    EXPECT_EQ(std::pair(s.run_end(1), s.run_end(2)), std::pair(19, 100));
    EXPECT_TRUE(s.all_default_in(20, 500));
    EXPECT_FALSE(s.all_default_in(19, 5));
}

TEST(run_store, assign_clamps_orders_and_joins_equal_neighbours) {
    store_t s(1, 100, 0);
    s.assign(50, 200, 3);     // clamped to 100
    s.assign(-5, 0, 9);       // wholly outside
    s.assign(40, 30, 3);      // reversed, then joins nothing yet
    EXPECT_EQ(runs_of(s), (runs{{1, 0}, {30, 3}, {41, 0}, {50, 3}}));
    s.assign(41, 49, 3);      // fills the gap: one run
    EXPECT_EQ(runs_of(s), (runs{{1, 0}, {30, 3}}));
    s.assign(1, 100, 0);
    EXPECT_EQ(runs_of(s), (runs{{1, 0}}));
}

TEST(run_store, erase_joins_the_runs_it_brings_together) {
    store_t s(0, 14, 0);
    for (auto [first, last, v] : {std::tuple(0, 4, 7), {5, 9, 8}, {10, 14, 7}}) s.assign(first, last, v);
    s.erase(5, 9);
    // The two 7-runs meet; the freed tail takes the default.
    EXPECT_EQ(runs_of(s), (runs{{0, 7}, {10, 0}}));
    s.erase(0, 14);
    EXPECT_EQ(runs_of(s), (runs{{0, 0}}));
    s.erase(3, 2);    // inverted: nothing
    s.erase(10, 15);  // past the end: nothing
    s.insert(1, 20);  // everything pushed off
    EXPECT_EQ(runs_of(s), (runs{{0, 0}}));
}

TEST(run_store, random_edits_match_a_plain_model) {
    std::mt19937 rng(42);
    for (int round = 0; round < 20; ++round) {
        const int first = round % 3, last = first + 40;
        store_t s(first, last, 0);
        std::vector<int> model(last - first + 1, 0);
        for (int step = 0; step < 150; ++step) {
            int a = first + int(rng() % 41), b = first + int(rng() % 41);
            const int op = int(rng() % 3);
            if (op == 0) {
                const int v = int(rng() % 3);
                s.assign(a, b, v);
                for (int i = std::min(a, b); i <= std::max(a, b); ++i) model[i - first] = v;
            } else if (op == 1) {
                if (a > b) std::swap(a, b);
                s.erase(a, b);
                model.erase(model.begin() + (a - first), model.begin() + (b - first) + 1);
                model.resize(last - first + 1, 0);
            } else {
                const int n = 1 + int(rng() % 48);  // now and then past the end
                s.insert(a, n);
                model.insert(model.begin() + (a - first), n, 0);
                model.resize(last - first + 1);
            }
            expect_matches(s, model);
            if (testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(run_store, column_records_ignore_the_two_high_flag_bits) {
    using vex::mta::rc_record_t;
    run_store_t<rc_record_t, vex::mta::col_record_equal> cols(1, 10, {});
    cols.assign(3, 4, rc_record_t{0, 0x40});
    EXPECT_EQ(cols.runs().size(), 1u);
    run_store_t<rc_record_t, vex::mta::row_record_equal> rows(1, 10, {});
    rows.assign(3, 4, rc_record_t{0, 0x40});
    EXPECT_EQ(rows.runs().size(), 3u);
    rows.assign(3, 4, rc_record_t{2, rc_record_t::hidden});
    EXPECT_EQ(rows.value_at(4).xf, 2);
}
