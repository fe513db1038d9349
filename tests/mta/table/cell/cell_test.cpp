#include "mta/table/cell/cell.h"

#include "errors.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <variant>

using vex::mta::cell_t;
using vex::mta::cell_type_values;
using vex::mta::cell_value_kind;
using vex::mta::error_value_enum;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

uint16_t date_style(Table& t, const char* code) {
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
    EXPECT_EQ(cell_t::get_error_string(error_value_enum::getting_data).size(), 13u);
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
    const int32_t plain = vex::mta::get_string_pool().add_string(0, "snapshot text");
    column.set_value(6, vex::mta::mtv_string_type{plain});
    column.set_value(7, new vex::mta::formula::formula_cell({0, 7, 2, 0, 0, 0}, "SUM(A1:A3)"));
    column.set_xf(3, 0);

    struct expected_t {
        int row;
        cell_value_kind kind;
        cell_type_values type;
    } rows[] = {
        {1, cell_value_kind::int32, cell_type_values::number},
        {2, cell_value_kind::int64, cell_type_values::number},
        {3, cell_value_kind::number, cell_type_values::number},
        {4, cell_value_kind::boolean, cell_type_values::boolean},
        {5, cell_value_kind::error, cell_type_values::error},
        {6, cell_value_kind::text, cell_type_values::text},
        {7, cell_value_kind::formula, cell_type_values::uncalculated},
        {8, cell_value_kind::none, cell_type_values::empty},
    };
    for (const auto& e : rows) {
        cell_t c = t.get_cell(e.row, 2);
        EXPECT_EQ(c.kind(), e.kind) << e.row;
        EXPECT_EQ(c.get_cell_type(), e.type) << e.row;
        EXPECT_EQ(c.row(), e.row);
        EXPECT_EQ(c.col(), 2);
        EXPECT_EQ(c.value().has_value(), e.kind != cell_value_kind::none) << e.row;
        EXPECT_EQ(c.string_index(), e.row == 6 ? plain : -1) << e.row;
        EXPECT_EQ(c.get_num().has_value(), e.row <= 3) << e.row;
        EXPECT_EQ(c.get_error().has_value(), e.row == 5) << e.row;
        EXPECT_EQ(c.get_formula_expr().empty(), e.row != 7) << e.row;
        EXPECT_EQ(c.get_richtext(), nullptr);
    }
    EXPECT_EQ(*t.get_cell(1, 2).get_num(), -7.0);
    EXPECT_EQ(*t.get_cell(2, 2).get_num(), 1099511627776.0);
    EXPECT_EQ(*t.get_cell(4, 2).get_boolean(), true);
    EXPECT_EQ(*t.get_cell(5, 2).get_error(), error_value_enum::spill);
    EXPECT_EQ(*t.get_cell(6, 2).get_text(), "snapshot text");
    EXPECT_EQ(t.get_cell(7, 2).get_formula_expr(), "SUM(A1:A3)");
    EXPECT_TRUE(t.contains_formula(7, 2));
    EXPECT_FALSE(t.contains_formula(6, 2));
    EXPECT_FALSE(t.contains_formula(0, 2));
}

TEST(cell, rich_text_cells_have_their_own_kind) {
    Table t({}, all_rows, all_cols);
    vex::mta::richtext_t rt;
    rt.append({0, "bold ", {}});
    rt.append({0, "part", {}});
    const int32_t index = vex::mta::get_string_pool().add_rich_text(rt);
    t.create_column_if_not_exists(1).set_value(1, vex::mta::mtv_string_type{index});
    cell_t c = t.get_cell(1, 1);
    EXPECT_EQ(c.kind(), cell_value_kind::rich_text);
    EXPECT_EQ(c.get_cell_type(), cell_type_values::text);
    EXPECT_EQ(*c.get_text(), "bold part");
    ASSERT_NE(c.get_richtext(), nullptr);
    EXPECT_EQ(*c.get_richtext(), rt);
}

TEST(cell, positions_past_the_columns_and_outside_the_table) {
    Table t({}, all_rows, all_cols);
    t.set_col_record(50, 50, 0x00040000);  // a record alone makes no column
    cell_t far = t.get_cell(1048576, 16384);
    EXPECT_EQ(far.kind(), cell_value_kind::none);
    EXPECT_EQ(far.get_cell_type(), cell_type_values::empty);
    EXPECT_EQ(far.style_index(), 0);
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
    const uint16_t date = date_style(t, "yyyy-mm-dd");
    column.set_value(1, int32_t{45000});
    column.set_value(2, int64_t{1} << 33);
    column.set_value(3, 45000.25);
    column.set_value(4, -3.0);  // the zero section decides, not the value
    for (int r = 1; r <= 4; ++r) column.set_xf(r, date);
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(t.get_cell(r, 1).get_cell_type(), cell_type_values::datetime) << r;

    cell_t c = t.get_cell(3, 1);
    ASSERT_TRUE(c.get_datetime());
    EXPECT_EQ(c.get_datetime()->ticks, vex::serial_to_ticks(45000.25).ticks);

    // The negative section of a number format is not a date: only the zero section counts.
    const uint16_t mixed = date_style(t, "0.00;yyyy-mm-dd");
    column.set_xf(4, mixed);
    EXPECT_EQ(t.get_cell(4, 1).get_cell_type(), cell_type_values::number);
    EXPECT_FALSE(t.get_cell(4, 1).get_datetime());
    column.set_value(5, true);
    column.set_xf(5, date);
    EXPECT_EQ(t.get_cell(5, 1).get_cell_type(), cell_type_values::boolean);
    EXPECT_FALSE(t.get_cell(5, 1).get_datetime());
}

TEST(cell, a_value_that_does_not_match_its_kind_throws) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(1).set_value(1, 1.5);
    const cell_t c = t.get_cell(1, 1);
    EXPECT_THROW(std::get<bool>(*c.value()), std::bad_variant_access);
}
