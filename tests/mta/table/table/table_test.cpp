#include "mta/table/table/table.h"

#include "errors.h"

#include <gtest/gtest.h>

#include <stdexcept>

using vex::mta::Column;
using vex::mta::formula::formula_cell;
using vex::mta::mtv_error_type;
using vex::mta::mtv_string_type;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

mdds::mtv::element_t type_at(const Column& c, int row) { return c.cells().get_type(size_t(row) - 1); }

formula_cell* formula_at(int row, int col, const char* text = "1+1") {
    return new formula_cell({0, row, col, 0, 0, 0}, text);
}

} // namespace

TEST(table, columns_stop_at_the_sheet_edge) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(16384).set_value(1, 2.5);
    EXPECT_EQ(t.columns().count(), 16384);
    try {
        t.create_column_if_not_exists(16385);
        FAIL() << "no exception";
    } catch (const mta_error& e) {
        EXPECT_STREQ(e.what(), "mtads error: fatal error: column out of range.");
    }
    EXPECT_THROW(t.create_column_if_not_exists(0), mta_error);
    Table narrow({}, 10, 100);
    EXPECT_THROW(narrow.create_column_if_not_exists(101), mta_error);
    EXPECT_EQ(narrow.create_column_if_not_exists(100).size(), 10u);
    EXPECT_THROW(Table({}, 0, 10), mta_error);
    EXPECT_THROW(Table({}, 10, 16385), mta_error);
}

TEST(table, used_rows_and_columns_come_from_values_and_styles) {
    Table t({}, all_rows, all_cols);
    EXPECT_EQ(t.columns().count(), 1);
    EXPECT_TRUE(t.find_column(1)->is_blank());
    EXPECT_EQ(t.first_used_row() + t.first_used_col() + t.last_used_row(0, 0) + t.last_used_col(0, 0), 0);
    t.create_column_if_not_exists(3).set_value(7, 1.0);
    t.create_column_if_not_exists(5).set_xf(2, 4);  // styled, no value
    t.create_column_if_not_exists(9);                // made, never used
    t.create_column_if_not_exists(2).set_value(40, mtv_string_type{3});
    EXPECT_EQ(t.first_used_row(), 2);
    EXPECT_EQ(t.first_used_col(), 2);
    EXPECT_EQ(t.last_used_row(0, 0), 40);
    EXPECT_EQ(t.last_used_row(5, 3), 7);
    EXPECT_EQ(t.last_used_row(6, 100), 0);
    EXPECT_EQ(t.last_used_col(0, 0), 5);
    EXPECT_EQ(t.last_used_col(10, 3), 3);
    EXPECT_EQ(t.last_used_col(41, 100), 0);

    t.trim_columns();
    EXPECT_EQ(t.columns().count(), 5);
    t.find_column(5)->clear_styles(1, all_rows);
    t.find_column(3)->erase_values(1, 100);
    t.find_column(2)->erase_values(40, 40);
    t.trim_columns();
    EXPECT_EQ(t.columns().count(), 1);
    EXPECT_EQ(t.last_used_row(0, 0), 0);
}

TEST(table, strings_and_errors_keep_blocks_of_their_own) {
    Table t({}, all_rows, all_cols);
    Column& c = t.create_column_if_not_exists(1);
    c.set_value(1, int32_t(5));
    c.set_value(2, mtv_string_type{5});
    c.set_value(3, mtv_error_type{3});
    EXPECT_EQ(type_at(c, 1), mdds::mtv::element_type_int32);
    EXPECT_EQ(type_at(c, 2), vex::mta::element_type_string_index);
    EXPECT_EQ(type_at(c, 3), vex::mta::element_type_error);
    EXPECT_THROW(c.set_value(all_rows + 1, 1.0), std::out_of_range);
}

TEST(table, formula_block_owns_its_cells) {
    // Leaks and double deletes show under the sanitizer build.
    Table t({}, 100, 10);
    Column& c = t.create_column_if_not_exists(2);
    for (int r = 1; r <= 6; ++r) c.set_value(r, formula_at(r, 2));
    EXPECT_EQ(type_at(c, 3), vex::mta::element_type_formula);
    EXPECT_EQ(c.cells().get<formula_cell*>(3)->row(), 4);

    c.set_value(1, 3.0);                      // overwrite one
    c.set_value(2, formula_at(2, 2, "A1"));  // replace one
    c.erase_values(3, 3);                     // erase one
    c.delete_rows(4, 4);                      // delete one
    c.insert_rows(1, 97);                     // push one off the end
    EXPECT_EQ(type_at(c, 98), mdds::mtv::element_type_double);
    EXPECT_EQ(c.cells().get<formula_cell*>(98)->expression(), "A1");
    EXPECT_EQ(c.last_used_row(), 99);
    t.create_column_if_not_exists(5).set_value(50, formula_at(50, 5));
    // The rest goes with the table.
}

TEST(table, column_rows_move_with_their_styles) {
    Table t({}, 20, 4);
    Column& c = t.create_column_if_not_exists(1);
    c.set_value(5, 1.0);
    c.set_value(6, 2.0);
    c.set_xf(6, 9);
    c.insert_rows(5, 3);
    EXPECT_TRUE(c.cells().is_empty(4));
    EXPECT_EQ(c.cells().get<double>(8), 2.0);
    EXPECT_EQ(c.get_xf(9), 9);
    EXPECT_EQ(c.get_xf(6), 0);

    c.delete_rows(1, 7);
    EXPECT_EQ(c.cells().get<double>(0), 1.0);
    EXPECT_EQ(c.get_xf(2), 9);
    EXPECT_EQ(c.size(), 20u);
    EXPECT_TRUE(c.has_content_in(20, 2));
    EXPECT_FALSE(c.has_content_in(3, 20));
    try {
        c.delete_rows(5, 4);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Start row is larger than the end row.");
    }
}

TEST(table, row_spans_reaching_above_row_1_are_clamped) {
    Table t({}, 20, 4);
    Column& c = t.create_column_if_not_exists(1);
    c.set_value(1, 1.0);
    EXPECT_TRUE(c.has_content_in(-3, 2));
    EXPECT_EQ(t.last_used_col(-1, 5), 1);
    c.erase_values(-1, 1);
    EXPECT_TRUE(c.is_blank());
}
