#include "mta/table/cell/cell.h"

#include "errors.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <stdexcept>

using vex::mta::cell_t;
using vex::mta::cell_type_values;
using vex::mta::cell_value_kind;
using vex::mta::error_value_enum;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

uint16_t format_style(Table& t, const char* code) {
    vex::mta::style_settings_t s;
    s.set_numfmt_code(code);
    return t.get_style_manager()->intern_style(s);
}

} // namespace

TEST(cell, error_literals) {
    const char* literals[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?",
                              "#NUM!", "#N/A",    "#GETTING_DATA", "#SPILL!"};
    for (int i = 0; i < vex::mta::error_value_count; ++i)
        EXPECT_EQ(cell_t::get_error_string(static_cast<error_value_enum>(i)), literals[i]);
    for (int bad : {9, -1}) {
        try {
            cell_t::get_error_string(static_cast<error_value_enum>(bad));
            FAIL() << bad;
        } catch (const mta_error& e) {
            EXPECT_STREQ(e.what(), "mtads error: haha, An error occurred within the program.");
        }
    }
}

TEST(cell, snapshot_of_every_stored_kind) {
    Table t({}, all_rows, all_cols);
    auto& column = t.create_column_if_not_exists(2);
    column.set_value(1, int32_t{-7});
    column.set_value(2, int64_t{1} << 40);
    column.set_value(3, 2.5);
    column.set_value(4, true);
    column.set_value(5, vex::mta::mtv_error_type{8});
    const int32_t plain = t.get_string_pool().add_string(0, "snapshot text");
    column.set_value(6, vex::mta::mtv_string_type{plain});
    column.set_value(7, new vex::mta::formula::formula_cell({0, 7, 2, 0, 0, 0}, "SUM(A1:A3)"));

    const cell_value_kind kinds[] = {cell_value_kind::int32,   cell_value_kind::int64, cell_value_kind::number,
                                     cell_value_kind::boolean, cell_value_kind::error, cell_value_kind::text,
                                     cell_value_kind::formula, cell_value_kind::none};
    // Each getter answers for its own kinds only.
    for (int row = 1; row <= 8; ++row) {
        cell_t c = t.get_cell(row, 2);
        EXPECT_EQ(c.kind(), kinds[row - 1]) << row;
        EXPECT_EQ(c.get_num().has_value(), row <= 3) << row;
        EXPECT_EQ(c.get_boolean().has_value(), row == 4) << row;
        EXPECT_EQ(c.get_error().has_value(), row == 5) << row;
        EXPECT_EQ(c.get_text().has_value(), row == 6) << row;
        EXPECT_EQ(c.string_index(), row == 6 ? plain : -1) << row;
        EXPECT_EQ(c.get_formula_expr().empty(), row != 7) << row;
        EXPECT_EQ(c.get_richtext(), nullptr) << row;
    }
    EXPECT_EQ(t.get_cell(2, 2).get_num(), 1099511627776.0);
    EXPECT_EQ(t.get_cell(5, 2).get_error(), error_value_enum::spill);
    EXPECT_EQ(t.get_cell(8, 2).get_cell_type(), cell_type_values::empty);
}

TEST(cell, positions_past_the_columns_and_outside_the_table) {
    Table t({}, all_rows, all_cols);
    t.set_col_record(50, 50, 0x00040000);  // a record alone makes no column
    EXPECT_EQ(t.get_cell(1048576, 16384).kind(), cell_value_kind::none);
    EXPECT_EQ(t.get_cell(1048576, 50).style_index(), 0);
    for (auto [r, c] : {std::pair{0, 1}, {1, 0}, {1048577, 1}, {1, 16385}}) {
        try {
            t.get_cell(r, c);
            FAIL() << r << "," << c;
        } catch (const mta_error& e) {
            EXPECT_STREQ(e.what(), "mtads error: Fatal error: Illegal cell coordinates.");
        }
    }
}

TEST(cell, a_corrupt_error_code_is_refused) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(1).set_value(1, vex::mta::mtv_error_type{9});
    try {
        t.get_cell(1, 1);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Enumeration subscript out of bounds: 9");
    }
}

TEST(cell, numbers_under_a_date_format_read_as_dates) {
    Table t({}, all_rows, all_cols);
    auto& column = t.create_column_if_not_exists(1);
    const uint16_t date = format_style(t, "yyyy-mm-dd");
    column.set_value(1, int32_t{45000});
    column.set_value(2, int64_t{1} << 33);
    column.set_value(3, 45000.25);
    column.set_value(4, -3.0);  // the zero section decides, not the value
    column.set_value(5, true);
    column.set_xf(1, 5, date);
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(t.get_cell(r, 1).get_cell_type(), cell_type_values::datetime) << r;
    EXPECT_EQ(t.get_cell(3, 1).get_datetime()->ticks, vex::serial_to_ticks(45000.25).ticks);
    EXPECT_EQ(t.get_cell(5, 1).get_cell_type(), cell_type_values::boolean);
    EXPECT_FALSE(t.get_cell(5, 1).get_datetime());

    // A date in the negative section only is not a date.
    column.set_xf(4, format_style(t, "0.00;yyyy-mm-dd"));
    EXPECT_EQ(t.get_cell(4, 1).get_cell_type(), cell_type_values::number);
    EXPECT_FALSE(t.get_cell(4, 1).get_datetime());
}
