#include "mta/table/cell/cell_getters.h"

#include "mta/table/cell/string_pool.h"
#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"
#include "mta/types/imported_row_cells.h"
#include "run_message.h"

#include <gtest/gtest.h>

using vex::mta::error_value_enum;
using vex::mta::Table;
using sample::last_message;
namespace g = vex::mta::cell_getters;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

constexpr const char* not_num =
    "The cell does not contain a numerical value or is a formula cell that has not been calculated yet.";
constexpr const char* not_text =
    "The cell does not contain a string value or is a formula cell that has not been calculated yet.";
constexpr const char* not_bool =
    "The cell does not contain a boolean value or is a formula cell that has not been calculated yet.";
constexpr const char* not_date = "The cell does not contain a datetime value.";
constexpr const char* not_rich = "The cell does not contain a rich text.";
constexpr const char* not_formula = "The cell does not contain a formula.";

} // namespace

TEST(cell_getters, outside_the_sheet_limits) {
    Table t({}, all_rows, all_cols);
    for (const auto& [r, c] : {std::pair{0, 1}, {1, 0}, {1048577, 1}, {1, 16385}}) {
        vex::set_run_message("kept");
        EXPECT_EQ(g::cell_type(t, r, c), -1);
        EXPECT_EQ(g::get_error(t, r, c), -1);
        EXPECT_EQ(g::get_text(t, r, c), nullptr);
        EXPECT_FALSE(g::get_boolean(t, r, c));
        EXPECT_EQ(g::get_datetime(t, r, c), 0.0);
        EXPECT_EQ(g::get_richtext(t, r, c), nullptr);
        EXPECT_EQ(g::get_formula_expr(t, r, c), nullptr);
        EXPECT_EQ(last_message(), "kept") << r << "," << c;
        EXPECT_EQ(g::get_num(t, r, c), 0.0);
        EXPECT_EQ(last_message(), "Illegal row or column number.");
    }
    // Inside the limits but past a smaller table: the snapshot's text.
    Table small({}, 10, 10);
    EXPECT_EQ(g::get_num(small, 11, 1), 0.0);
    EXPECT_EQ(last_message(), "mtads error: Fatal error: Illegal cell coordinates.");
    EXPECT_EQ(g::get_error(small, 1, 11), -1);
}

TEST(cell_getters, each_getter_on_each_kind) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 2.5);
    t.set_text(2, 1, "plain");
    t.set_boolean(3, 1, true);
    t.set_error(4, 1, error_value_enum::getting_data);
    t.set_datetime(5, 1, vex::serial_to_ticks(45000.5));
    vex::mta::richtext_t rich;
    rich.append({0, "rich", {}});
    t.set_richtext(6, 1, rich);
    // cell_type, then per getter: the value or the message left (empty: none).
    const struct {
        int row;
        int type;
        const char* num_msg;
        const char* text_msg;
        const char* bool_msg;
        const char* date_msg;
        const char* rich_msg;
        int error;
    } cases[] = {
        {1, 1, nullptr, not_text, not_bool, not_date, not_rich, 0},
        {2, 2, not_num, nullptr, not_bool, not_date, not_rich, 0},
        {3, 3, not_num, not_text, nullptr, not_date, not_rich, 0},
        {4, 5, not_num, not_text, not_bool, not_date, not_rich, 8},
        {5, 4, nullptr, not_text, not_bool, nullptr, not_rich, 0},
        {6, 2, not_num, nullptr, not_bool, not_date, nullptr, 0},
        {7, 0, not_num, not_text, not_bool, not_date, not_rich, 0},
    };
    const auto check = [&](const char* expected, auto&& call, int row, const char* what) {
        vex::set_run_message("none");
        call();
        EXPECT_EQ(last_message(), expected ? expected : "none") << what << " row " << row;
    };
    for (const auto& c : cases) {
        EXPECT_EQ(g::cell_type(t, c.row, 1), c.type) << c.row;
        check(c.num_msg, [&] { g::get_num(t, c.row, 1); }, c.row, "num");
        check(c.text_msg, [&] { g::get_text(t, c.row, 1); }, c.row, "text");
        check(c.bool_msg, [&] { g::get_boolean(t, c.row, 1); }, c.row, "boolean");
        check(c.date_msg, [&] { g::get_datetime(t, c.row, 1); }, c.row, "datetime");
        check(c.rich_msg, [&] { g::get_richtext(t, c.row, 1); }, c.row, "richtext");
        check(not_formula, [&] { g::get_formula_expr(t, c.row, 1); }, c.row, "formula");
        check(nullptr, [&] { EXPECT_EQ(g::get_error(t, c.row, 1), c.error) << c.row; }, c.row, "error");
    }
    EXPECT_EQ(g::get_num(t, 1, 1), 2.5);
    EXPECT_STREQ(g::get_text(t, 6, 1), "rich");
    EXPECT_EQ(g::get_num(t, 5, 1), 45000.5);
    EXPECT_EQ(g::get_datetime(t, 5, 1), 45000.5);
    const auto copy = g::get_richtext(t, 6, 1);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->plain_text(), "rich");
}

TEST(cell_getters, a_damaged_error_cell_reports_the_exception) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(1).set_value(1, vex::mta::mtv_error_type{12});
    EXPECT_EQ(g::get_error(t, 1, 1), -1);
    EXPECT_EQ(last_message(), "Enumeration subscript out of bounds: 12");
    EXPECT_EQ(g::cell_type(t, 1, 1), -1);
}

TEST(cell_getters, snapshot_of_a_parsed_cell) {
    Table t({}, all_rows, all_cols);
    vex::mta::richtext_t rich;
    rich.append({0, "parsed rich", {}});
    const int32_t rich_index = t.get_string_pool().add_rich_text(rich);
    vex::mta::trival_cell_t c;
    c.row = 3;
    c.col = 4;
    c.kind = uint8_t(vex::mta::cell_value_kind::text);
    c.style = 9;
    c.value = rich_index;
    const vex::mta::cell_t text(&t, c);
    EXPECT_EQ(text.kind(), vex::mta::cell_value_kind::rich_text);
    EXPECT_EQ(text.string_index(), rich_index);
    EXPECT_EQ(text.get_text(), "parsed rich");
    EXPECT_EQ(text.style_index(), 9);

    c.kind = uint8_t(vex::mta::cell_value_kind::datetime);
    c.value = 45000.5;
    vex::mta::cell_t date(&t, c);
    EXPECT_EQ(date.get_cell_type(), vex::mta::cell_type_values::empty);
    EXPECT_EQ(date.get_num(), 45000.5);
    c.kind = uint8_t(vex::mta::cell_value_kind::text);
    EXPECT_THROW(vex::mta::cell_t(&t, c), std::bad_variant_access);
}
