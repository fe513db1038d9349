#include "mta/table/utils/range_check.h"

#include "mta/table/table/table.h"
#include "run_message.h"

#include <gtest/gtest.h>

using vex::mta::range_check_t;
using vex::mta::Table;

namespace {

std::string last_message() { return vex::get_run_message().str(); }

struct range_check : testing::Test {
    void SetUp() override { vex::set_run_message(""); }
    Table table{{}, 1048576, 16384};
    range_check_t check{table};
};

} // namespace

TEST_F(range_check, row_and_column_ranges_validate_then_order) {
    int a = 9, b = 3;
    EXPECT_TRUE(check.check_row_range(a, b));
    EXPECT_EQ(std::pair(a, b), std::pair(3, 9));
    EXPECT_EQ(last_message(), "");
    a = 0, b = 3;
    EXPECT_FALSE(check.check_row_range(a, b));
    EXPECT_EQ(last_message(), "Start row or end row out of range.");
    EXPECT_EQ(std::pair(a, b), std::pair(0, 3));
    a = 16385, b = 2;
    EXPECT_FALSE(check.check_col_range(a, b));
    EXPECT_EQ(last_message(), "Start column or end column out of range.");
    EXPECT_EQ(std::pair(a, b), std::pair(16385, 2));
}

TEST_F(range_check, delete_checks_order_before_they_validate) {
    int a = 9, b = 0;
    EXPECT_FALSE(check.check_delete_rows(a, b));
    EXPECT_EQ(last_message(), "Delete row out of range.");
    EXPECT_EQ(std::pair(a, b), std::pair(0, 9));
    a = 16384, b = 16385;
    EXPECT_FALSE(check.check_delete_cols(a, b));
    EXPECT_EQ(last_message(), "Delete column out of range.");
    a = 5, b = 2;
    EXPECT_TRUE(check.check_delete_cols(a, b));
    EXPECT_EQ(a, 2);
}

TEST_F(range_check, insert_tests_the_position_before_the_count) {
    int n = 0;
    EXPECT_FALSE(check.check_insert_rows(1, n));
    EXPECT_EQ(last_message(), "Insert at least one row.");
    n = 5;
    EXPECT_FALSE(check.check_insert_rows(0, n));
    EXPECT_EQ(last_message(), "Insert row out of range.");
    n = -1;
    EXPECT_FALSE(check.check_insert_cols(16385, n));
    EXPECT_EQ(last_message(), "Insert column out of range.");
    EXPECT_FALSE(check.check_insert_cols(3, n));
    EXPECT_EQ(last_message(), "Insert at least one column.");
}

TEST_F(range_check, insert_count_shrinks_to_the_room_left) {
    // A styled but empty cell is in use as well.
    table.create_column_if_not_exists(2).set_xf(1048570, 3);
    int n = 10;
    EXPECT_TRUE(check.check_insert_rows(10, n));
    EXPECT_EQ(n, 6);
    EXPECT_EQ(last_message(), "");
    n = 6;
    EXPECT_TRUE(check.check_insert_rows(10, n));
    EXPECT_EQ(n, 6);

    table.create_column_if_not_exists(16380).set_value(1, 1.0);
    n = 100;
    EXPECT_TRUE(check.check_insert_cols(1, n));
    EXPECT_EQ(n, 4);
    table.create_column_if_not_exists(16384).set_value(2, true);
    n = 1;
    EXPECT_TRUE(check.check_insert_cols(1, n));
    EXPECT_EQ(n, 0);
}

TEST(range_check_small_table, uses_the_table_extent) {
    Table small({}, 50, 100);
    EXPECT_TRUE(small.is_valid_col(100));
    EXPECT_FALSE(small.is_valid_col(101) || small.is_valid_row(51));
    EXPECT_FALSE(small.is_valid_range({{0, 1, 1, 0, 0, 0}, {0, 51, 1, 0, 0, 0}}));
    EXPECT_TRUE(small.is_valid_range({{9, 50, 100, 1, 0, 0}, {0, 1, 1, 0, 0, 0}}));
    int a = 1, b = 51;
    EXPECT_FALSE(range_check_t(small).check_row_range(a, b));

    Table full({}, 1048576, 16384);
    EXPECT_TRUE(full.is_valid_col(16384));
    EXPECT_FALSE(full.is_valid_col(16385) || full.is_valid_cell(1048577, 1) || full.is_valid_cell(1, 0));
}
