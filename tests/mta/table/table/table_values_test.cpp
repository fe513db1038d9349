#include "mta/table/table/table.h"

#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/style_manager.h"
#include "run_message.h"
#include "mta/table/sample_styles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

using vex::mta::cell_type_values;
using vex::mta::cell_value_kind;
using vex::mta::error_value_enum;
using vex::mta::style_settings_t;
using vex::mta::Table;
using namespace sample;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

} // namespace

TEST(table_values, numbers_read_back_bit_for_bit) {
    Table t({}, all_rows, all_cols);
    const double values[] = {
        0.0, -0.0, 2.0, 2.5, 0.1 + 0.2, 1e-17, -1e-300, 5e-324, 1e20, -1e20,
        2147483647.0, -2147483648.0, 2147483648.0, 3e9, -3e9, 9007199254740993.0,
        -9223372036854775808.0, 9223372036854775808.0, 1.7976931348623157e308,
        std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
    };
    int row = 0;
    for (double v : values) {
        ASSERT_TRUE(t.set_num(++row, 3, v));
        auto c = t.get_cell(row, 3);
        EXPECT_EQ(c.get_cell_type(), cell_type_values::number) << v;
        ASSERT_TRUE(c.get_num()) << v;
        EXPECT_EQ(std::bit_cast<uint64_t>(*c.get_num()), std::bit_cast<uint64_t>(v)) << v;
    }
    // Exactly integral values are stored as integers, every other one as a double.
    const auto kind = [&](double v) {
        t.set_num(1, 1, v);
        return t.get_cell(1, 1).kind();
    };
    EXPECT_EQ(kind(2.0), cell_value_kind::int32);
    EXPECT_EQ(kind(-2147483648.0), cell_value_kind::int32);
    EXPECT_EQ(kind(3e9), cell_value_kind::int64);
    EXPECT_EQ(kind(-3e9), cell_value_kind::int64);
    EXPECT_EQ(kind(1e-17), cell_value_kind::number);
    EXPECT_EQ(kind(-0.0), cell_value_kind::number);
    EXPECT_EQ(kind(1e20), cell_value_kind::number);
    EXPECT_EQ(kind(9223372036854775808.0), cell_value_kind::number);
}

TEST(table_values, booleans_errors_and_overwrites) {
    Table t({}, all_rows, all_cols);
    EXPECT_TRUE(t.set_boolean(1, 1, true));
    EXPECT_TRUE(t.set_boolean(2, 1, false));
    EXPECT_EQ(*t.get_cell(1, 1).get_boolean(), true);
    EXPECT_EQ(*t.get_cell(2, 1).get_boolean(), false);

    for (int e = 0; e < vex::mta::error_value_count; ++e) {
        ASSERT_TRUE(t.set_error(e + 1, 2, static_cast<error_value_enum>(e)));
        auto c = t.get_cell(e + 1, 2);
        EXPECT_EQ(c.get_cell_type(), cell_type_values::error);
        EXPECT_EQ(vex::mta::cell_t::get_error_string(*c.get_error()),
                  vex::mta::cell_t::get_error_string(static_cast<error_value_enum>(e)));
    }
    EXPECT_EQ(vex::mta::cell_t::get_error_string(*t.get_cell(8, 2).get_error()), "#GETTING_DATA");
    EXPECT_EQ(vex::mta::cell_t::get_error_string(*t.get_cell(9, 2).get_error()), "#SPILL!");

    // An invalid error value is refused and leaves the cell as it was.
    vex::set_run_message("");
    EXPECT_FALSE(t.set_error(1, 2, static_cast<error_value_enum>(9)));
    EXPECT_EQ(last_message(), "code: Invalid parameter value. Please refer to enum ErrorCodeEnum in enum.h");
    EXPECT_EQ(*t.get_cell(1, 2).get_error(), error_value_enum::null);

    // A formula cell is replaced like any other value.
    t.create_column_if_not_exists(3).set_value(1, new vex::mta::formula::formula_cell({0, 1, 3, 0, 0, 0}, "1+1"));
    EXPECT_TRUE(t.contains_formula(1, 3));
    EXPECT_TRUE(t.set_num(1, 3, 4.0));
    EXPECT_FALSE(t.contains_formula(1, 3));
    EXPECT_EQ(*t.get_cell(1, 3).get_num(), 4.0);
    EXPECT_TRUE(t.set_text(1, 3, "text now"));
    EXPECT_FALSE(t.get_cell(1, 3).get_num());
}

TEST(table_values, texts_share_pool_entries) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.set_text(1, 1, "shared value text"));
    ASSERT_TRUE(t.set_text(5, 7, "shared value text"));
    const auto a = t.get_cell(1, 1), b = t.get_cell(5, 7);
    EXPECT_EQ(a.kind(), cell_value_kind::text);
    EXPECT_EQ(a.string_index(), b.string_index());
    EXPECT_EQ(*b.get_text(), "shared value text");

    uint32_t preserve = 9;
    t.set_text(2, 1, " leading blank in a cell");
    vex::mta::get_string_pool().string_at(t.get_cell(2, 1).string_index(), &preserve);
    EXPECT_EQ(preserve, 1u);

    // An empty text empties the cell; the cell keeps its style.
    t.set_cell_style(1, 1, font_style(1));
    const uint16_t xf = own_xf(t, 1, 1);
    ASSERT_NE(xf, 0);
    EXPECT_TRUE(t.set_text(1, 1, ""));
    EXPECT_EQ(t.get_cell(1, 1).kind(), cell_value_kind::none);
    EXPECT_EQ(t.get_cell(1, 1).style_index(), xf);
}

TEST(table_values, rich_text_with_and_without_a_style) {
    Table t({}, all_rows, all_cols);
    vex::mta::richtext_t rt;
    rt.append({0, "rich ", {}});
    rt.append({0, "value", {}});
    ASSERT_TRUE(t.set_richtext(1, 1, rt));
    auto c = t.get_cell(1, 1);
    EXPECT_EQ(c.kind(), cell_value_kind::rich_text);
    EXPECT_EQ(*c.get_text(), "rich value");
    ASSERT_NE(c.get_richtext(), nullptr);
    EXPECT_EQ(*c.get_richtext(), rt);

    const uint16_t xf = t.get_style_manager()->intern_style(font_style(1));
    ASSERT_TRUE(t.set_richtext(2, 1, rt, &xf));
    EXPECT_EQ(t.get_cell(2, 1).style_index(), xf);
    EXPECT_EQ(t.get_cell(2, 1).string_index(), c.string_index());

    const uint16_t unknown = 999;
    EXPECT_FALSE(t.set_richtext(3, 1, rt, &unknown));
    EXPECT_EQ(last_message(), "No such style id.");
    EXPECT_EQ(t.get_cell(3, 1).kind(), cell_value_kind::none);
}

TEST(table_values, dates_keep_their_serial_and_the_style_they_show) {
    Table t({}, all_rows, all_cols);
    auto& m = *t.get_style_manager();
    const vex::datetime_t when = vex::serial_to_ticks(45292.75);  // 2024-01-01 18:00
    ASSERT_TRUE(t.set_datetime(1, 1, when));
    auto c = t.get_cell(1, 1);
    EXPECT_EQ(c.kind(), cell_value_kind::number);
    EXPECT_EQ(c.get_cell_type(), cell_type_values::datetime);
    EXPECT_EQ(std::bit_cast<uint64_t>(*c.get_num()), std::bit_cast<uint64_t>(vex::ticks_to_serial(when)));
    EXPECT_EQ(c.get_datetime()->ticks, when.ticks);
    EXPECT_EQ(m.get_style_settings(c.style_index()).numfmt_id(), 14);

    // A bold cell stays bold.
    t.set_cell_style(2, 1, font_style(1));
    t.set_datetime(2, 1, when);
    auto s = m.get_style_settings(t.get_cell(2, 1).style_index());
    EXPECT_EQ(s.numfmt_id(), 14);
    EXPECT_EQ(s.font().bold, 1);

    // So does a date in a bold row or a filled column.
    t.set_row_style(5, 5, font_style(1));
    t.set_col_style(4, 4, fill_style(0xFFFF0000));
    t.set_datetime(5, 4, when);
    s = m.get_style_settings(t.get_cell(5, 4).style_index());
    EXPECT_EQ(s.numfmt_id(), 14);
    EXPECT_EQ(s.font().bold, 1);
    EXPECT_EQ(s.fill().pattern.fg.rgb, 0xFFFF0000u);
}

TEST(table_values, refusals_leave_the_message_and_the_cell) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 7);
    vex::mta::richtext_t rt;
    rt.append({0, "x", {}});
    const auto refused = [&](bool ok) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(last_message(), "Cell coordinate out of range.");
        vex::set_run_message("");
    };
    for (auto [r, c] : {std::pair{0, 1}, {1, 0}, {1048577, 1}, {1, 16385}, {-5, -5}}) {
        refused(t.set_num(r, c, 1));
        refused(t.set_boolean(r, c, true));
        refused(t.set_error(r, c, error_value_enum::na));
        refused(t.set_text(r, c, "x", true));
        refused(t.set_richtext(r, c, rt));
        refused(t.set_datetime(r, c, {}));
    }
    EXPECT_EQ(t.columns().count(), 1);
    EXPECT_EQ(*t.get_cell(1, 1).get_num(), 7.0);

    // A smaller table refuses what lies beyond it.
    Table small({}, 10, 5);
    EXPECT_FALSE(small.set_num(11, 1, 1));
    EXPECT_FALSE(small.set_text(1, 6, "x"));
    EXPECT_TRUE(small.set_num(10, 5, 1));
}

TEST(table_values, values_take_the_row_and_column_style) {
    Table t({}, all_rows, all_cols);
    t.set_col_style(3, 3, font_style(1));
    t.set_row_style(4, 4, fill_style(0xFF00FF00));
    t.set_num(5, 3, 1);
    t.set_text(4, 1, "in the row");
    t.set_boolean(4, 3, true);
    t.set_num(6, 6, 1);
    auto& m = *t.get_style_manager();
    EXPECT_EQ(m.get_style_settings(own_xf(t, 5, 3)).font().bold, 1);
    EXPECT_EQ(m.get_style_settings(own_xf(t, 4, 1)).fill().pattern.fg.rgb, 0xFF00FF00u);
    const auto both = m.get_style_settings(own_xf(t, 4, 3));
    EXPECT_EQ(both.font().bold, 1);
    EXPECT_EQ(both.fill().pattern.fg.rgb, 0xFF00FF00u);
    EXPECT_EQ(own_xf(t, 6, 6), 0);

    // A cell with a style of its own keeps it.
    t.set_cell_style(10, 3, fill_style(0xFF0000FF));
    const uint16_t own = own_xf(t, 10, 3);
    t.set_num(10, 3, 2);
    EXPECT_EQ(own_xf(t, 10, 3), own);
}

TEST(table_values, clearing_gives_the_row_style_back) {
    Table t({}, all_rows, all_cols);
    t.set_row_style(2, 2, fill_style(0xFFFF0000));
    for (int c = 1; c <= 3; ++c)
        for (int r = 1; r <= 3; ++r) t.set_num(r, c, r * 10 + c);
    const uint16_t row_xf = static_cast<uint16_t>(t.get_row_record(2) & 0xffff);
    ASSERT_NE(row_xf, 0);
    // C2 takes a border on top of the row style: borders do not count.
    vex::mta::border_t b;
    b.set_edge(vex::mta::border_side::bottom, 1, {});
    style_settings_t framed;
    framed.set_border(b);
    t.set_cell_style(2, 3, framed);
    ASSERT_NE(own_xf(t, 2, 3), own_xf(t, 2, 1));
    // B2 takes a bold font as well: it keeps its style.
    t.set_cell_style(2, 2, font_style(1));
    // D2, outside the cleared range, keeps what it took.
    t.set_num(2, 4, 1);

    t.clear_contents(range(1, 1, 3, 3));
    for (int c = 1; c <= 3; ++c)
        for (int r = 1; r <= 3; ++r) EXPECT_EQ(t.get_cell(r, c).kind(), cell_value_kind::none);
    EXPECT_EQ(own_xf(t, 2, 1), 0);
    EXPECT_EQ(own_xf(t, 2, 3), 0);
    EXPECT_NE(own_xf(t, 2, 2), 0);
    EXPECT_NE(own_xf(t, 2, 4), 0);
    EXPECT_EQ(t.get_cell_style(2, 1).fill().pattern.fg.rgb, 0xFFFF0000u) << "shown through the row";
}

TEST(table_values, clearing_gives_nothing_back_where_row_and_column_are_both_styled) {
    Table t({}, all_rows, all_cols);
    t.set_row_style(2, 2, fill_style(0xFFFF0000));
    t.set_col_style(2, 2, fill_style(0xFFFF0000));
    t.set_num(2, 2, 1);  // takes the row style with the column's over it
    t.set_num(5, 2, 1);  // takes the column style
    const uint16_t crossing = own_xf(t, 2, 2);
    ASSERT_NE(crossing, 0);
    t.clear_contents(range(1, 1, 10, 10));
    EXPECT_EQ(own_xf(t, 2, 2), crossing);
    EXPECT_EQ(own_xf(t, 5, 2), 0);
}

TEST(table_values, clearing_clamps_to_the_sheet) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 1);
    t.set_num(1048576, 16384, 1);
    t.set_num(5, 5, 1);
    // Both corners outside: nothing happens.
    t.clear_contents(range(0, 0, 1048577, 16385));
    EXPECT_EQ(t.get_cell(1, 1).kind(), cell_value_kind::int32);
    // One corner inside: clamped, corners in either order.
    t.clear_contents(range(5, 5, 0, 0));
    EXPECT_EQ(t.get_cell(1, 1).kind(), cell_value_kind::none);
    EXPECT_EQ(t.get_cell(5, 5).kind(), cell_value_kind::none);
    EXPECT_EQ(t.columns().count(), 16384);
    t.clear_contents(range(2, 2, 1048577, 16385));
    EXPECT_EQ(t.get_cell(1048576, 16384).kind(), cell_value_kind::none);
    EXPECT_EQ(t.columns().count(), 1) << "trimmed";
}

TEST(table_values, clearing_a_whole_sheet_with_styled_columns) {
    Table t({}, all_rows, all_cols);
    t.set_col_style(2, 4, font_style(1));
    t.set_row_style(7, 7, fill_style(0xFF123456));
    t.set_col_style(16384, 16384, fill_style(0xFF654321));
    for (int r = 1; r <= 1000; ++r) t.set_num(r, 3, r);
    t.set_text(1048576, 16384, "corner");
    t.clear_contents(range(1, 1, 1048576, 16384));
    EXPECT_EQ(t.last_used_row(0, 0), 7) << "row 7 crossed styled columns";
    for (int r : {1, 500, 1000}) EXPECT_EQ(own_xf(t, r, 3), 0) << r;
    EXPECT_EQ(own_xf(t, 1048576, 16384), 0);
    EXPECT_NE(own_xf(t, 7, 3), 0) << "the crossing of row 7 and column C keeps both styles";
    EXPECT_EQ(t.get_cell(1000, 3).kind(), cell_value_kind::none);
    EXPECT_EQ(t.get_cell_style(500, 3).font().bold, 1) << "shown through the column";
}
