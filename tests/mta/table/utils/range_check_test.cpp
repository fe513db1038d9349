#include "mta/table/utils/range_check.h"

#include "mta/table/sample_styles.h"

#include <gtest/gtest.h>

using vex::mta::range_check_t;
using vex::mta::Table;
using sample::last_message;

namespace {

struct range_check : testing::Test {
    void SetUp() override { vex::set_run_message(""); }
    Table table{{}, 1048576, 16384};
    range_check_t check{table};
};

} // namespace

TEST_F(range_check, ranges_validate_then_order_and_deletes_order_then_validate) {
    using check_fn = bool (range_check_t::*)(int&, int&) const;
    const struct {
        check_fn fn;
        int a, b;
        const char* message;  // empty: accepted
        int a_after, b_after;
    } cases[] = {
        {&range_check_t::check_row_range, 9, 3, "", 3, 9},
        {&range_check_t::check_row_range, 0, 3, "Start row or end row out of range.", 0, 3},
        {&range_check_t::check_col_range, 16385, 2, "Start column or end column out of range.", 16385, 2},
        {&range_check_t::check_delete_rows, 9, 0, "Delete row out of range.", 0, 9},
        {&range_check_t::check_delete_cols, 16384, 16385, "Delete column out of range.", 16384, 16385},
    };
    for (const auto& c : cases) {
        vex::set_run_message("");
        int a = c.a, b = c.b;
        EXPECT_EQ((check.*c.fn)(a, b), *c.message == 0) << c.a << "," << c.b;
        EXPECT_EQ(last_message(), c.message);
        EXPECT_EQ(std::pair(a, b), std::pair(c.a_after, c.b_after));
    }
}

TEST_F(range_check, insert_tests_the_position_before_the_count) {
    const struct {
        bool rows;
        int at, count;
        const char* message;
    } cases[] = {
        {true, 1, 0, "Insert at least one row."},
        {true, 0, 5, "Insert row out of range."},
        {false, 16385, -1, "Insert column out of range."},
        {false, 3, -1, "Insert at least one column."},
    };
    for (const auto& c : cases) {
        int n = c.count;
        EXPECT_FALSE(c.rows ? check.check_insert_rows(c.at, n) : check.check_insert_cols(c.at, n)) << c.message;
        EXPECT_EQ(last_message(), c.message);
    }
}

TEST_F(range_check, insert_count_shrinks_to_the_room_left) {
    // A styled but empty cell is in use as well.
    table.create_column_if_not_exists(2).set_xf(1048570, 3);
    int n = 10;
    EXPECT_TRUE(check.check_insert_rows(10, n));
    EXPECT_EQ(n, 6);
    EXPECT_EQ(last_message(), "");

    table.create_column_if_not_exists(16380).set_value(1, 1.0);
    n = 100;
    EXPECT_TRUE(check.check_insert_cols(1, n));
    EXPECT_EQ(n, 4);
    table.create_column_if_not_exists(16384).set_value(2, true);
    n = 1;
    EXPECT_TRUE(check.check_insert_cols(1, n));
    EXPECT_EQ(n, 0) << "no room left";
}

TEST(range_check_small_table, uses_the_table_extent) {
    Table small({}, 50, 100);
    EXPECT_TRUE(small.is_valid_col(100));
    EXPECT_FALSE(small.is_valid_col(101) || small.is_valid_row(51));
    EXPECT_FALSE(small.is_valid_range({{0, 1, 1, 0, 0, 0}, {0, 51, 1, 0, 0, 0}}));
    EXPECT_TRUE(small.is_valid_range({{9, 50, 100, 1, 0, 0}, {0, 1, 1, 0, 0, 0}}));
    int a = 1, b = 51;
    EXPECT_FALSE(range_check_t(small).check_row_range(a, b));
}
