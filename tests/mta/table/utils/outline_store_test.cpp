#include "mta/table/utils/outline_store.h"

#include "run_message.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>
#include <vector>

using vex::mta::outline_store_t;

namespace {

using runs = std::vector<std::pair<uint32_t, int32_t>>;  // start, value

runs runs_of(const outline_store_t& s) {
    runs out;
    for (const auto& r : s.runs().runs()) out.emplace_back(r.start, r.value);
    return out;
}

struct outline_store : testing::Test {
    void SetUp() override { vex::set_run_message(""); }
    outline_store_t rows{1, 1048576};
};

} // namespace

TEST_F(outline_store, grouping_ungrouping_and_the_eight_level_limit) {
    rows.group_outline(3, 5, false);
    rows.group_outline(5, 3, false);  // either order
    rows.ungroup_outline(4, 4);
    EXPECT_EQ(runs_of(rows), (runs{{1, 0}, {3, 2}, {4, 1}, {5, 2}, {6, 0}}));
    EXPECT_EQ(std::pair(rows.max_outline_level(), rows.outline_level(1048577)), std::pair(2L, -1L));
    EXPECT_EQ(std::pair(rows.first_non_default(), rows.last_non_default()), std::pair(std::optional(3), std::optional(5)));

    rows.reset();
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(rows.group_outline(5, 7, false));
    rows.group_outline(2, 5, false);  // rows 2 to 4 at 1, row 5 at 8
    const runs before = runs_of(rows);
    EXPECT_FALSE(rows.group_outline(5, 7, false));  // the ninth
    EXPECT_EQ(vex::get_run_message().str(), "The highest level of the outline is 8.");
    EXPECT_FALSE(rows.group_outline(2, 5, false));  // the shallower rows are not deepened either
    vex::set_run_message("");
    EXPECT_TRUE(rows.group_outline(0, 5, false));  // leaves the store: nothing, silently
    EXPECT_EQ(runs_of(rows), before);
    EXPECT_EQ(vex::get_run_message().str(), "");
    EXPECT_EQ(rows.max_outline_level(), 8);
}

TEST_F(outline_store, collapsed_levels_keep_their_sign) {
    bool collapsed = false;
    rows.group_outline(2, 3, true);
    EXPECT_EQ(rows.outline_level(2, collapsed), 1);
    EXPECT_TRUE(collapsed);
    rows.group_outline(2, 3, false);
    rows.ungroup_outline(2, 3);
    rows.set_outline_collapsed(3, false);
    EXPECT_EQ(runs_of(rows), (runs{{1, 0}, {2, -1}, {3, 1}, {4, 0}}));
}

TEST_F(outline_store, levels_from_files_past_32_bits_of_magnitude) {
    outline_store_t cols(1, 16384);
    cols.set_level(2, 2, INT_MIN);
    cols.set_level(4, 4, INT_MAX);
    EXPECT_EQ(cols.max_outline_level(), 2147483648LL);
    cols.set_outline_collapsed(2, false);  // +2^31 has no 32-bit form: the largest level
    EXPECT_EQ(cols.runs().value_at(2), INT_MAX);
    EXPECT_FALSE(cols.insert(5, 1));  // right after a level of INT_MAX
    EXPECT_EQ(vex::get_run_message().str(), "Out of range.");
    EXPECT_EQ(cols.last_non_default(), 4);
}

TEST_F(outline_store, insertion_opens_level_0_inside_a_group_and_erasure_closes_up) {
    rows.group_outline(3, 6, false);
    EXPECT_TRUE(rows.insert(4, 2));
    EXPECT_EQ(runs_of(rows), (runs{{1, 0}, {3, 1}, {4, 0}, {6, 1}, {9, 0}}));

    outline_store_t cols(1, 16384);
    cols.group_outline(5, 5, false);
    cols.group_outline(16383, 16384, false);
    cols.erase(2, 2);  // columns 2 and 3
    const runs after{{1, 0}, {3, 1}, {4, 0}, {16381, 1}, {16383, 0}};  // the last two freed
    EXPECT_EQ(runs_of(cols), after);
    cols.erase(5, 0);
    cols.erase(16384, 2);  // past the end: nothing
    EXPECT_EQ(runs_of(cols), after);
}

TEST_F(outline_store, the_next_shallower_index_closes_a_group) {
    rows.group_outline(2, 6, true);   // level 1, collapsed
    rows.group_outline(3, 4, false);  // level 2 inside it
    const std::pair<int64_t, int64_t> rows_and_ends[] = {{2, 7}, {3, 5}, {4, 5}, {5, 7}, {7, 1048577}, {1048576, 1048577}, {0, 1048577}};
    for (const auto& [row, end] : rows_and_ends) EXPECT_EQ(rows.next_shallower(row), end) << row;
}
