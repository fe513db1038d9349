#include "mta/table/style/rc/rc_hw.h"

#include "errors.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

using vex::mta::rc_hw;
using store_t = rc_hw<int, int64_t>;

namespace {

constexpr int64_t M = store_t::marker;
using seg = std::tuple<int, int, int64_t>;

std::vector<seg> segs(const store_t& s) {
    std::vector<seg> out;
    for (const auto& x : s.segments()) out.emplace_back(x.start, x.end, x.value);
    return out;
}

} // namespace

TEST(rc_hw, assign_splits_and_joins_segments) {
    store_t s(1, 100);
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 100, M}}));
    s.assign(10, 20, 5);
    s.assign(30, 25, 5);  // either order
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 9, M}, {10, 20, 5}, {21, 24, M}, {25, 30, 5}, {31, 100, M}}));
    s.assign(21, 24, 5);  // fills the gap: one segment
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 9, M}, {10, 30, 5}, {31, 100, M}}));
    s.assign(15, 15, 7);
    s.assign(-5, 3, 1);  // clamped
    s.assign(95, 500, 2);
    s.assign(200, 300, 9);  // wholly outside
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 3, 1}, {4, 9, M}, {10, 14, 5}, {15, 15, 7}, {16, 30, 5}, {31, 94, M},
                                         {95, 100, 2}}));
    s.assign(1, 100, M);
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 100, M}}));
    const auto found = s.lookup(50);
    ASSERT_TRUE(found);
    EXPECT_EQ(std::tuple(found->start, found->end, found->value), seg(1, 100, M));
    EXPECT_FALSE(s.lookup(0));
    EXPECT_FALSE(s.lookup(101));
}

TEST(rc_hw, many_segments_stay_consistent) {
    store_t s(1, 1048576);
    for (int i = 1; i <= 2000; i += 2) s.assign(i, i, i);
    EXPECT_EQ(s.segments().size(), 2000u);
    EXPECT_EQ(s.lookup(999)->value, 999);
    EXPECT_EQ(s.lookup(1000)->value, M);
    EXPECT_EQ(s.get_sum_value(0, 1, 2000), 1000 * 1000);  // 1 + 3 + ... + 1999
    for (int i = 2; i <= 2000; i += 2) s.assign(i, i, M);
    EXPECT_EQ(s.lookup(2)->value, M);
}

TEST(rc_hw, sums_count_markers_as_the_default_and_saturate) {
    store_t s(1, 1048576);
    s.assign(2, 4, 254000);
    EXPECT_EQ(s.get_sum_value(190500, 2, 4), 762000);
    EXPECT_EQ(s.get_sum_value(190500, 1, 5), 762000 + 2 * 190500);
    EXPECT_EQ(s.get_sum_value(190500, 5, 4), 0);
    EXPECT_EQ(what_of<general_error>([&] { s.get_sum_value(0, 0, 4); }), "general error: Key out of range.");
    EXPECT_EQ(what_of<general_error>([&] { s.get_sum_value(0, 5, 1048577); }), "general error: Key out of range.");
    s.assign(1, 1048576, std::numeric_limits<int64_t>::max() / 2);
    EXPECT_EQ(s.get_sum_value(0, 1, 3), std::numeric_limits<int64_t>::max());
    const int64_t low = std::numeric_limits<int64_t>::min() / 2;
    s.assign(1, 1, low);
    s.assign(2, 2, low + 1);
    s.assign(3, 3, low);
    EXPECT_EQ(s.get_sum_value(0, 1, 3), std::numeric_limits<int64_t>::min());
}

// Inserted keys take the marker, later ones move, the end drops off.
TEST(rc_hw, insert_and_erase_move_the_segments) {
    store_t s(1, 20);
    s.assign(5, 6, 50);
    s.assign(18, 20, 90);
    s.insert(5, 3);
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 7, M}, {8, 9, 50}, {10, 20, M}}));
    s.insert(9, 20);  // splits the run; its second half is pushed off the end
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 7, M}, {8, 8, 50}, {9, 20, M}}));
    s.insert(0, 1);
    s.insert(21, 1);
    s.insert(3, 0);
    EXPECT_EQ(segs(s), (std::vector<seg>{{1, 7, M}, {8, 8, 50}, {9, 20, M}}));

    store_t e(1, 20);
    e.assign(3, 4, 30);
    e.assign(10, 20, 70);
    e.erase(2, 3);  // cuts into the first run
    EXPECT_EQ(segs(e), (std::vector<seg>{{1, 1, M}, {2, 2, 30}, {3, 7, M}, {8, 18, 70}, {19, 20, M}}));
    e.erase(1, 20);
    EXPECT_EQ(segs(e), (std::vector<seg>{{1, 20, M}}));
    e.erase(5, 21);  // outside: nothing
    e.erase(6, 5);
    EXPECT_EQ(segs(e), (std::vector<seg>{{1, 20, M}}));
}

TEST(size_units, conversions_to_emu) {
    struct row {
        double value;
        int unit;
        int64_t rows, cols;
    };
    const row cases[] = {
        {20, 0, 254000, 1571625},     // 20 points; 20 characters: 165 pixels
        {500, 0, 5194300, 19431000},  // caps: 409 points, 255 characters
        {10, 0, 127000, 809625},      // 10 characters read 10.625
        {1, 1, 914400, 914400},
        {10, 2, 360000, 360000},
        {1, 3, 0, 0},
        {1, -1, 0, 0},
        {NAN, 0, 0, 0},
        {1000, 1, 5194300, 19431000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vex::mta::row_height_to_emu(c.value, c.unit), c.rows) << c.value << " " << c.unit;
        EXPECT_EQ(vex::mta::col_width_to_emu(c.value, c.unit), c.cols) << c.value << " " << c.unit;
    }
    EXPECT_EQ(vex::mta::col_width_to_emu(8, 0), 657225);
    EXPECT_DOUBLE_EQ(vex::mta::emu_to_col_width(809625, 0), 10.625);
    EXPECT_EQ(vex::mta::emu_to_row_height(914400, 7), 0.0);
}

// Changes in place, checked against a plain per-key model: spans in every
// order, across and inside segments, with shifts between them.
TEST(rc_hw, changes_in_place_match_a_plain_model) {
    constexpr int last = 300;
    store_t s(1, last);
    std::vector<int64_t> model(last + 1, M);
    std::mt19937 rng(11);
    for (int step = 0; step < 3000; ++step) {
        const int a = 1 + int(rng() % last), b = 1 + int(rng() % last);
        if (step % 97 == 0) {
            const int n = 1 + int(rng() % 5);
            s.insert(a, n);
            model.insert(model.begin() + a, size_t(n), M);
            model.resize(last + 1);
        } else if (step % 89 == 0) {
            s.erase(std::min(a, b), std::max(a, b));
            model.erase(model.begin() + std::min(a, b), model.begin() + std::max(a, b) + 1);
            model.resize(last + 1, M);
        } else {
            const int64_t v = rng() % 4 == 0 ? M : int64_t(rng() % 3);
            s.assign(a, b, v);
            for (int k = std::min(a, b); k <= std::max(a, b); ++k) model[size_t(k)] = v;
        }
        std::vector<seg> want;
        for (int k = 1; k <= last; ++k)
            if (want.empty() || std::get<2>(want.back()) != model[size_t(k)])
                want.emplace_back(k, k, model[size_t(k)]);
            else
                std::get<1>(want.back()) = k;
        ASSERT_EQ(segs(s), want) << "step " << step;
    }
    int64_t sum = 0;
    for (int k = 20; k <= 200; ++k) sum += model[size_t(k)] == M ? 10 : model[size_t(k)];
    EXPECT_EQ(s.get_sum_value(10, 20, 200), sum);
}
