#include "errors.h"
#include "mta/table/table/table.h"
#include "what_of.h"

#include <gtest/gtest.h>

using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr int64_t default_row = 190500, default_col = 657225;

bool custom_flag(uint32_t record) { return (record >> 16 & 1) != 0; }

} // namespace

TEST(table_sizes, a_new_sheet_is_all_default) {
    Table t({}, all_rows, all_cols);
    EXPECT_TRUE(t.is_default_row_height(1, 1048576));
    EXPECT_TRUE(t.is_default_col_width(16384, 0));
    EXPECT_FALSE(t.is_default_row_height(0, 0));  // outside the table
    EXPECT_FALSE(t.get_custom_row_height(1, 3, 0));
    EXPECT_FALSE(t.get_custom_col_width(2, 2, 0));
    EXPECT_EQ(t.get_default_row_height(0), 15.0);
    EXPECT_EQ(t.get_default_col_width(0), 8.625);
    EXPECT_EQ(t.get_default_row_height(2), 190500.0 / 36000);
}

TEST(table_sizes, custom_heights_sum_over_their_span) {
    Table t({0, 0, 0, int64_t(all_rows) * default_row}, all_rows, all_cols);
    t.set_custom_row_height(2, 4, 20, 0);
    EXPECT_EQ(t.get_custom_row_height(2, 4, 0), 60.0);
    EXPECT_EQ(t.get_custom_row_height(4, 2, 0), 60.0);  // either order
    EXPECT_FALSE(t.get_custom_row_height(1, 4, 0));     // row 1 is default
    EXPECT_FALSE(t.is_default_row_height(1, 2));
    EXPECT_TRUE(t.is_default_row_height(5, 0));
    EXPECT_TRUE(custom_flag(t.get_row_record(3)));
    EXPECT_FALSE(custom_flag(t.get_row_record(5)));
    EXPECT_EQ(t.extent().height, int64_t(all_rows) * default_row + 3 * (254000 - default_row));
    EXPECT_EQ(t.get_custom_row_height(2, 2, 7), 0.0);
    EXPECT_EQ(what_of<general_error>([&] { t.get_custom_row_height(2, 1048577, 0); }),
              "general error: Key out of range.");

    t.set_custom_row_height(3, 3, 500, 0);  // capped
    EXPECT_EQ(t.get_custom_row_height(3, 3, 0), 409.0);
    EXPECT_EQ(t.get_custom_row_height(2, 4, 0), 449.0);
    EXPECT_EQ(t.extent().height, int64_t(all_rows) * default_row + 2 * (254000 - default_row) + 5194300 - default_row);
}

TEST(table_sizes, bad_spans_change_nothing) {
    Table t({}, all_rows, all_cols);
    t.set_custom_row_height(4, 2, 20, 0);
    t.set_custom_row_height(1, 1048577, 20, 0);
    t.set_custom_row_height(1, 1, -1, 0);
    t.set_custom_row_height(1, 1, NAN, 0);
    t.set_custom_col_width(3, 1, 10, 0);
    t.set_custom_col_width(0, 1, 10, 0);
    t.set_custom_col_width(1, 1, -0.5, 0);
    EXPECT_TRUE(t.is_default_row_height(1, 1048576));
    EXPECT_TRUE(t.is_default_col_width(1, 16384));
    EXPECT_EQ(t.extent().height, 0);
}

TEST(table_sizes, widths_in_each_unit) {
    Table t({}, all_rows, all_cols);
    t.set_custom_col_width(2, 3, 10, 0);
    EXPECT_EQ(t.get_custom_col_width(2, 2, 0), 10.625);
    EXPECT_EQ(t.get_custom_col_width(2, 3, 0), 21.25);
    EXPECT_TRUE(custom_flag(t.get_col_record(3)));
    EXPECT_EQ(t.extent().width, 2 * (809625 - default_col));
    t.set_custom_col_width(4, 4, 1.5, 1);
    EXPECT_DOUBLE_EQ(*t.get_custom_col_width(4, 4, 1), 1.5);
    t.set_custom_col_width(5, 5, 30, 2);
    EXPECT_DOUBLE_EQ(*t.get_custom_col_width(5, 5, 2), 30.0);
    t.set_custom_row_height(6, 6, 12.5, 2);
    EXPECT_DOUBLE_EQ(*t.get_custom_row_height(6, 6, 2), 12.5);
    t.set_custom_row_height(7, 7, 0.5, 1);
    EXPECT_DOUBLE_EQ(*t.get_custom_row_height(7, 7, 1), 0.5);
}

TEST(table_sizes, widths_read_from_a_file) {
    Table t({}, all_rows, all_cols);
    t.save_columns_width_(3, 1, 300);  // capped, no padding, no flag
    EXPECT_EQ(t.get_custom_col_width(1, 1, 0), 255.0);
    EXPECT_FALSE(custom_flag(t.get_col_record(1)));
    EXPECT_EQ(t.extent().width, 0);
    t.save_columns_width_(4, 4, 9.140625);
    EXPECT_NEAR(*t.get_custom_col_width(4, 4, 0), 9.140625, 1e-4);  // to the nearest EMU
    t.save_columns_width_(5, 5, -3);  // corrupt widths read as zero
    t.save_columns_width_(6, 6, NAN);
    EXPECT_EQ(t.get_custom_col_width(5, 6, 0), 0.0);
    EXPECT_EQ(what_of<general_error>([&] { t.save_columns_width_(1, 16385, 10); }),
              "load error: Error reading column width.");
}

// Sizes follow the rows: inserted ones are default, the rest move with their rows.
TEST(table_sizes, sizes_follow_inserted_and_deleted_rows_and_columns) {
    Table t({0, 0, int64_t(all_cols) * default_col, int64_t(all_rows) * default_row}, all_rows, all_cols);
    const int64_t height = t.extent().height;
    t.set_custom_row_height(2, 4, 20, 0);
    t.insert_row_sizes(3, 3);
    EXPECT_EQ(t.get_custom_row_height(2, 2, 0), 20.0);
    EXPECT_TRUE(t.is_default_row_height(3, 5));
    EXPECT_EQ(t.get_custom_row_height(6, 7, 0), 40.0);
    EXPECT_TRUE(t.is_default_row_height(8, 0));
    EXPECT_EQ(t.extent().height, height + 3 * (254000 - default_row));

    t.delete_row_sizes(3, 6);
    EXPECT_EQ(t.get_custom_row_height(2, 3, 0), 40.0);
    EXPECT_TRUE(t.is_default_row_height(4, 1048576));
    EXPECT_EQ(t.extent().height, height + 2 * (254000 - default_row));

    // A sized last row pushed off the end leaves the total.
    t.set_custom_row_height(1048576, 1048576, 30, 0);
    t.insert_row_sizes(1, 1);
    EXPECT_EQ(t.get_custom_row_height(3, 4, 0), 40.0);
    EXPECT_TRUE(t.is_default_row_height(1048576, 0));
    EXPECT_EQ(t.extent().height, height + 2 * (254000 - default_row));

    t.set_custom_col_width(10, 10, 10, 0);
    t.insert_col_sizes(1, 2);
    EXPECT_EQ(t.get_custom_col_width(12, 12, 0), 10.625);
    t.delete_col_sizes(12, 11);
    EXPECT_TRUE(t.is_default_col_width(1, 16384));
    EXPECT_EQ(t.extent().width, int64_t(all_cols) * default_col);
}
