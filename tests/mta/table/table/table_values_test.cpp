#include "mta/table/table/table.h"

#include "mta/table/cell/string_pool.h"
#include "mta/table/sample_styles.h"
#include "mta/table/style/manager/style_manager.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <limits>

using vex::mta::cell_type_values;
using vex::mta::cell_value_kind;
using vex::mta::error_value_enum;
using vex::mta::Table;
using namespace sample;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

} // namespace

TEST(table_values, numbers_read_back_bit_for_bit) {
    // Whole numbers too are kept as doubles, so nothing is lost on the way back.
    const double cases[] = {0.0, -0.0, 0.1 + 0.2, 5e-324, -2147483648.0, 2147483648.0, 9007199254740993.0,
                            -9223372036854775808.0, 9223372036854775808.0, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
    Table t({}, all_rows, all_cols);
    int row = 0;
    for (const double v : cases) {
        ASSERT_TRUE(t.set_num(++row, 3, v));
        auto cell = t.get_cell(row, 3);
        EXPECT_EQ(cell.kind(), cell_value_kind::number) << v;
        EXPECT_EQ(cell.get_cell_type(), cell_type_values::number) << v;
        EXPECT_EQ(std::bit_cast<uint64_t>(*cell.get_num()), std::bit_cast<uint64_t>(v)) << v;
    }
}

TEST(table_values, whole_and_fractional_numbers_share_one_block) {
    Table t({}, all_rows, all_cols);
    for (int r = 1; r <= 1000; ++r) ASSERT_TRUE(t.set_num(r, 1, r % 2 ? r : r + 0.5));
    EXPECT_EQ(t.find_column(1)->cells().block_size(), 2u);  // the numbers, then the empty rest
    EXPECT_EQ(*t.get_cell(7, 1).get_num(), 7.0);
    EXPECT_EQ(*t.get_cell(8, 1).get_num(), 8.5);
}

TEST(table_values, booleans_errors_and_overwrites) {
    Table t({}, all_rows, all_cols);
    EXPECT_TRUE(t.set_boolean(1, 1, false));
    EXPECT_EQ(t.get_cell(1, 1).get_boolean(), false);
    for (int e = 0; e < vex::mta::error_value_count; ++e) {
        ASSERT_TRUE(t.set_error(e + 1, 2, static_cast<error_value_enum>(e)));
        EXPECT_EQ(t.get_cell(e + 1, 2).get_error(), static_cast<error_value_enum>(e));
    }
    // An invalid error value is refused and leaves the cell as it was.
    EXPECT_FALSE(t.set_error(1, 2, static_cast<error_value_enum>(9)));
    EXPECT_EQ(last_message(), "code: Invalid parameter value. Please refer to enum ErrorCodeEnum in enum.h");
    EXPECT_EQ(t.get_cell(1, 2).get_error(), error_value_enum::null);

    // A formula cell is replaced like any other value.
    t.create_column_if_not_exists(3).set_value(1, new vex::mta::formula::formula_cell({0, 1, 3, 0, 0, 0}, "1+1"));
    EXPECT_EQ(t.get_cell(1, 3).get_cell_type(), cell_type_values::uncalculated);
    EXPECT_EQ(t.get_cell(1, 3).get_formula_expr(), "1+1");
    EXPECT_TRUE(t.set_num(1, 3, 4.0));
    EXPECT_FALSE(t.contains_formula(1, 3));
}

TEST(table_values, texts_share_pool_entries) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.set_text(1, 1, "shared value text"));
    ASSERT_TRUE(t.set_text(5, 7, "shared value text"));
    EXPECT_EQ(t.get_cell(1, 1).string_index(), t.get_cell(5, 7).string_index());
    EXPECT_EQ(t.get_cell(5, 7).get_text(), "shared value text");

    uint32_t preserve = 9;
    t.set_text(2, 1, "trailing blank in a cell ");
    t.get_string_pool().string_at(t.get_cell(2, 1).string_index(), &preserve);
    EXPECT_EQ(preserve, 1u);

    // An empty text empties the cell; the cell keeps its style.
    t.set_cell_style(1, 1, font_style(1));
    const uint16_t xf = own_xf(t, 1, 1);
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
    EXPECT_EQ(c.get_cell_type(), cell_type_values::text);
    EXPECT_EQ(c.get_text(), "rich value");
    EXPECT_EQ(*c.get_richtext(), rt);

    const uint16_t xf = t.get_style_manager()->intern_style(font_style(1)), unknown = 999;
    ASSERT_TRUE(t.set_richtext(2, 1, rt, &xf));
    EXPECT_EQ(t.get_cell(2, 1).style_index(), xf);
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
    EXPECT_EQ(c.get_cell_type(), cell_type_values::datetime);
    EXPECT_EQ(std::bit_cast<uint64_t>(*c.get_num()), std::bit_cast<uint64_t>(vex::ticks_to_serial(when)));
    EXPECT_EQ(c.get_datetime()->ticks, when.ticks);

    // A bold cell stays bold; so does a date in a bold row and a filled column.
    t.set_cell_style(2, 1, font_style(1));
    t.set_datetime(2, 1, when);
    EXPECT_EQ(m.get_style_settings(own_xf(t, 2, 1)).font().bold, 1);
    t.set_row_style(5, 5, font_style(1));
    t.set_col_style(4, 4, fill_style(0xFFFF0000));
    t.set_datetime(5, 4, when);
    const auto s = m.get_style_settings(own_xf(t, 5, 4));
    EXPECT_EQ(s.numfmt_id(), 14);
    EXPECT_EQ(s.font().bold, 1);
    EXPECT_EQ(s.fill().pattern.fg.rgb, 0xFFFF0000u);
}

TEST(table_values, refusals_leave_the_message_and_the_cell) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 7);
    vex::mta::richtext_t rt;
    rt.append({0, "x", {}});
    const std::function<bool(int, int)> setters[] = {
        [&](int r, int c) { return t.set_num(r, c, 1); },
        [&](int r, int c) { return t.set_boolean(r, c, true); },
        [&](int r, int c) { return t.set_error(r, c, error_value_enum::na); },
        [&](int r, int c) { return t.set_text(r, c, "x", true); },
        [&](int r, int c) { return t.set_richtext(r, c, rt); },
        [&](int r, int c) { return t.set_datetime(r, c, {}); },
    };
    for (auto [r, c] : {std::pair{0, 1}, {1048577, 1}, {1, 16385}}) {
        for (const auto& set : setters) {
            vex::set_run_message("");
            EXPECT_FALSE(set(r, c));
            EXPECT_EQ(last_message(), "Cell coordinate out of range.");
        }
    }
    EXPECT_EQ(t.columns().count(), 1);
    EXPECT_EQ(t.get_cell(1, 1).get_num(), 7.0);
}

TEST(table_values, values_take_the_row_and_column_style) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 3, 1);  // before the column is styled
    t.set_col_style(3, 3, font_style(1));
    t.set_row_style(4, 4, fill_style(0xFF00FF00));
    t.set_boolean(4, 3, true);
    t.set_num(6, 6, 1);
    auto& m = *t.get_style_manager();
    EXPECT_EQ(m.get_style_settings(own_xf(t, 1, 3)).font().bold, 1);
    EXPECT_EQ(own_xf(t, 7, 3), 0);
    EXPECT_EQ(t.get_cell_style(7, 3).font().bold, 1) << "through the column record";
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
    for (int c = 1; c <= 4; ++c) t.set_num(2, c, c);
    // C2 differs from the row style by a border only, B2 by a font as well.
    vex::mta::border_t b;
    b.set_edge(vex::mta::border_side::bottom, 1, {});
    vex::mta::style_settings_t framed;
    framed.set_border(b);
    t.set_cell_style(2, 3, framed);
    t.set_cell_style(2, 2, font_style(1));

    t.clear_contents(range(1, 1, 3, 3));
    EXPECT_EQ(t.get_cell(2, 1).kind(), cell_value_kind::none);
    EXPECT_EQ(own_xf(t, 2, 1), 0);
    EXPECT_EQ(own_xf(t, 2, 3), 0);
    EXPECT_NE(own_xf(t, 2, 2), 0);
    EXPECT_NE(own_xf(t, 2, 4), 0) << "outside the range";

    // Where row and column are both styled nothing is given back.
    t.set_col_style(6, 6, fill_style(0xFFFF0000));
    t.set_num(2, 6, 1);
    t.set_num(5, 6, 1);
    const uint16_t crossing = own_xf(t, 2, 6);
    t.clear_contents(range(1, 6, 10, 6));
    EXPECT_EQ(own_xf(t, 2, 6), crossing);
    EXPECT_EQ(own_xf(t, 5, 6), 0);
}

TEST(table_values, clearing_clamps_to_the_sheet) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 1);
    t.set_num(1048576, 16384, 1);
    t.clear_contents(range(0, 0, 1048577, 16385));  // both corners outside: nothing
    EXPECT_EQ(t.get_cell(1, 1).kind(), cell_value_kind::number);
    t.clear_contents(range(5, 5, 0, 0));  // one corner inside, either order
    EXPECT_EQ(t.get_cell(1, 1).kind(), cell_value_kind::none);
    t.clear_contents(range(2, 2, 1048577, 16385));
    EXPECT_EQ(t.get_cell(1048576, 16384).kind(), cell_value_kind::none);
    EXPECT_EQ(t.columns().count(), 1) << "trimmed";

    // A whole sheet with styled columns and a styled row crossing them.
    t.set_col_style(2, 4, font_style(1));
    t.set_row_style(7, 7, fill_style(0xFF123456));
    for (int r = 1; r <= 1000; ++r) t.set_num(r, 3, r);
    t.clear_contents(range(1, 1, 1048576, 16384));
    EXPECT_EQ(t.last_used_row(0, 0), 7) << "row 7 crossed styled columns";
    EXPECT_EQ(own_xf(t, 500, 3), 0);
    EXPECT_EQ(t.get_cell(1000, 3).kind(), cell_value_kind::none);
}

// The setters' quick paths: the guards skipped only while there is nothing to
// guard, the style hand-down only while no record carries a style, bounds exact
// at both ends of a smaller table.
TEST(table_values, quick_paths_give_way_as_soon_as_there_is_something_to_check) {
    Table t({}, 10, 5);
    for (auto [r, c] : {std::pair{0, 1}, {11, 1}, {1, 0}, {1, 6}, {std::numeric_limits<int>::min(), 1},
                        {std::numeric_limits<int>::max(), 1}, {1, std::numeric_limits<int>::min()}}) {
        EXPECT_FALSE(t.set_num(r, c, 1)) << r << "," << c;
        EXPECT_EQ(last_message(), "Cell coordinate out of range.");
    }
    EXPECT_TRUE(t.set_num(10, 5, 1));
    EXPECT_EQ(t.columns().count(), 5);

    // Hidden rows are records without a style: nothing to hand down.
    t.set_row_hidden(3, true);
    EXPECT_TRUE(t.set_num(3, 2, 1));
    EXPECT_EQ(own_xf(t, 3, 2), 0);
    // The first styled record is heeded at once, also by a column made before it.
    t.set_col_style(2, 2, font_style(1));
    EXPECT_TRUE(t.set_num(4, 2, 1));
    EXPECT_EQ(t.get_style_manager()->get_style_settings(own_xf(t, 4, 2)).font().bold, 1);

    // The first merged range is guarded at once.
    ASSERT_TRUE(t.merged_cells().merge({{0, 6, 1, 1, 0, 0}, {0, 7, 2, 1, 0, 0}}, false));
    EXPECT_TRUE(t.set_num(6, 1, 1));
    EXPECT_FALSE(t.set_num(7, 2, 1));
    EXPECT_EQ(last_message(), "The cell has been merged and cannot set a value.");
    EXPECT_FALSE(t.get_cell(7, 2).get_num());
}
