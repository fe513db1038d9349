#include "mta/table/sample_styles.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using vex::mta::border_side;
using vex::mta::style_settings_t;
using vex::mta::Table;
using namespace sample;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr uint32_t thin = 1, thick = 13;

// Thick outer edges, thin inner ones.
style_settings_t framed() {
    vex::mta::border_t b;
    for (auto side : {border_side::left, border_side::right, border_side::top, border_side::bottom})
        b.set_edge(side, thick, {});
    b.set_edge(border_side::horizontal, thin, {});
    b.set_edge(border_side::vertical, thin, {});
    style_settings_t s;
    s.set_border(b);
    return s;
}

bool is_bold(const style_settings_t& s) { return s.font().bold == 1; }
uint32_t fill_of(const style_settings_t& s) { return s.fill().pattern.fg.rgb; }

using edges_t = std::array<uint32_t, 4>;  // left, right, top, bottom

edges_t edges(const Table& t, int row, int col) {
    const auto b = t.get_cell_style(row, col).border();
    return {b.edge(border_side::left).style, b.edge(border_side::right).style, b.edge(border_side::top).style,
            b.edge(border_side::bottom).style};
}

} // namespace

TEST(table_styles, a_border_on_a_range_goes_to_its_edges) {
    Table t({}, all_rows, all_cols);
    t.set_range_style(range(2, 2, 4, 4), framed());  // a block
    t.set_range_style(range(6, 1, 6, 3), framed());  // one row
    t.set_range_style(range(8, 5, 10, 5), framed()); // one column
    t.set_range_style(range(9, 9, 9, 9), framed());  // one cell
    const struct {
        int row, col;
        edges_t e;
    } cases[] = {
        {2, 2, {thick, thin, thick, thin}}, {2, 3, {thin, thin, thick, thin}}, {3, 3, {thin, thin, thin, thin}},
        {4, 4, {thin, thick, thin, thick}}, {6, 1, {thick, thin, thick, thick}}, {6, 2, {thin, thin, thick, thick}},
        {6, 3, {thin, thick, thick, thick}}, {8, 5, {thick, thick, thick, thin}}, {9, 5, {thick, thick, thin, thin}},
        {10, 5, {thick, thick, thin, thick}}, {9, 9, {thick, thick, thick, thick}},
    };
    for (const auto& c : cases) EXPECT_EQ(edges(t, c.row, c.col), c.e) << c.row << "," << c.col;
    EXPECT_EQ(own_xf(t, 1, 2), 0);
    EXPECT_EQ(own_xf(t, 5, 5), 0);
}

TEST(table_styles, a_styled_row_and_column_meet_in_a_cell) {
    // Row first, then the column.
    Table t({}, all_rows, all_cols);
    t.set_row_style(3, 3, fill_style(0xFFFF0000));
    t.set_col_style(3, 3, font_style(1));
    EXPECT_NE(own_xf(t, 3, 3), 0);
    EXPECT_TRUE(is_bold(t.get_cell_style(3, 3)));
    EXPECT_EQ(fill_of(t.get_cell_style(3, 3)), 0xFFFF0000u);

    // Column first, then the row, with values in the column: its cells in the
    // row keep the column style under the row's; a later row style wins where
    // they differ, and the empty cells keep the row's earlier style.
    Table u({}, all_rows, all_cols);
    u.set_num(1, 1, 1);
    u.set_num(5, 3, 1);
    u.set_col_style(3, 3, font_style(1));
    u.set_row_style(5, 5, fill_style(0xFFFF0000));
    EXPECT_TRUE(is_bold(u.get_cell_style(5, 3)));
    EXPECT_EQ(fill_of(u.get_cell_style(5, 3)), 0xFFFF0000u);
    u.set_row_style(5, 5, font_style(0, 1));
    for (int c : {1, 3}) {
        EXPECT_EQ(u.get_cell_style(5, c).font().italic, 1) << c;
        EXPECT_EQ(fill_of(u.get_cell_style(5, c)), 0xFFFF0000u) << c;
    }
    EXPECT_FALSE(is_bold(u.get_cell_style(5, 3)));

    // A valued cell that shows its row's style, as a loaded sheet has them.
    Table w({}, all_rows, all_cols);
    w.set_row_record(5, 5, w.get_style_manager()->intern_style(fill_style(0xFF0000FF)));
    w.create_column_if_not_exists(3).set_value(5, 1.5);
    w.set_col_style(3, 3, font_style(1));
    EXPECT_TRUE(is_bold(w.get_cell_style(5, 3)));
    EXPECT_EQ(fill_of(w.get_cell_style(5, 3)), 0xFF0000FFu);
}

// A row style laid over styled columns wins where they differ in every row,
// the first included, whether or not the columns hold cells: whole rows
// protected on a sheet whose columns are unlocked are locked.
TEST(table_styles, a_row_style_wins_over_styled_columns_without_cells) {
    const auto locking = [](uint8_t locked) {
        style_settings_t s;
        s.set_protection({0, locked});
        return s;
    };
    for (int last : {1, 3}) {
        Table t({}, all_rows, all_cols);
        t.set_col_style(1, int(all_cols), locking(0));
        t.set_col_style(3, 3, font_style(1));
        t.set_row_style(1, last, locking(1));
        t.set_row_style(1, last, font_style(0, 1));
        for (int r = 1; r <= last; ++r)
            for (int c : {1, 3, int(all_cols)}) {
                const style_settings_t shown = t.get_cell_style(r, c);
                EXPECT_EQ(std::tuple(shown.protection().locked, shown.font().bold, shown.font().italic), std::tuple(1, 0, 1))
                    << last << ": " << r << "," << c;
            }
        EXPECT_EQ(t.get_cell_style(last + 1, 2).protection().locked, 0);
        EXPECT_TRUE(is_bold(t.get_cell_style(last + 1, 3)));
    }
}

TEST(table_styles, a_cell_style_is_laid_over_what_the_cell_shows) {
    Table t({}, all_rows, all_cols);
    t.set_col_style(2, 2, font_style(1));
    t.set_cell_style(4, 2, fill_style(0xFF00FF00));
    EXPECT_TRUE(is_bold(t.get_cell_style(4, 2)));
    EXPECT_EQ(fill_of(t.get_cell_style(4, 2)), 0xFF00FF00u);

    t.set_cell_style(1, 1, t.get_style_manager()->get_style_settings(0));
    EXPECT_EQ(own_xf(t, 1, 1), 0) << "the normal style is index 0";
    t.set_cell_style(1, 16385, fill_style(1));
    EXPECT_EQ(last_message(), "Invalid row or column.");
    EXPECT_EQ(t.get_cell_style(0, 0), style_settings_t{});
}

TEST(table_styles, whole_columns_and_rows_are_records_not_cells) {
    Table t({}, all_rows, all_cols);
    t.set_range_style(range(1, 3, 1048576, 3), font_style(1));
    EXPECT_TRUE(is_bold(t.col_style(3)));
    EXPECT_EQ(t.col_records().runs().size(), 3u);
    EXPECT_EQ(t.columns().count(), 1) << "no cell took an index";

    t.set_range_style(range(5, 1, 6, 16384), fill_style(0xFF0000FF));
    EXPECT_EQ(fill_of(t.row_style(6)), 0xFF0000FFu);
    // Only the crossings with column C hold indexes.
    EXPECT_EQ(t.columns().count(), 3);
    EXPECT_NE(own_xf(t, 5, 3), 0);
    EXPECT_EQ(t.last_used_row(0, 0), 6);

    // The whole sheet: every column record, once.
    Table u({}, all_rows, all_cols);
    u.set_range_style(range(1, 1, 1048576, 16384), fill_style(0xFF00FF00));
    EXPECT_EQ(u.col_records().runs().size(), 1u) << "without borders, every column alike";
    EXPECT_EQ(fill_of(u.get_cell_style(1000, 1000)), 0xFF00FF00u);
    u.set_range_style(range(1, 1, 1048576, 16384), framed());
    EXPECT_EQ(u.col_records().runs().size(), 3u) << "first, middle and last columns";
    EXPECT_EQ(u.columns().count(), 1);
}

TEST(table_styles, styling_a_column_of_many_style_runs) {
    // Each cell keeps its own fill under the column's font, run by run.
    Table t({}, all_rows, all_cols);
    for (int r = 1; r <= 2000; ++r) t.set_cell_style(r, 2, fill_style(r % 2 ? 0xFF0000FFu : 0xFF00FF00u));
    t.set_col_style(2, 2, font_style(1));
    for (int r : {1, 2, 1999, 2000}) {
        EXPECT_TRUE(is_bold(t.get_cell_style(r, 2))) << r;
        EXPECT_EQ(fill_of(t.get_cell_style(r, 2)), r % 2 ? 0xFF0000FFu : 0xFF00FF00u) << r;
    }
}

TEST(table_styles, records_and_their_flags) {
    Table t({}, all_rows, all_cols);
    t.set_row_hidden(5, true);
    t.set_row_style(5, 5, font_style(1));
    EXPECT_TRUE(t.row_hidden(5)) << "styling keeps the row hidden";
    t.remove_row_style(5, 5);
    EXPECT_TRUE(t.row_hidden(5));
    EXPECT_FALSE(is_bold(t.row_style(5)));

    // Removing a column style leaves the cells' own indexes.
    t.set_col_style(6, 6, font_style(1));
    t.set_num(2, 6, 1);
    const uint16_t xf = own_xf(t, 2, 6);
    ASSERT_NE(xf, 0);
    t.remove_col_style(7, 6);  // high to low: nothing
    EXPECT_TRUE(is_bold(t.col_style(6)));
    t.remove_col_style(6, 6);
    EXPECT_FALSE(is_bold(t.col_style(6)));
    EXPECT_EQ(own_xf(t, 2, 6), xf);
}

TEST(table_styles, bad_rows_and_columns_are_refused) {
    Table t({}, all_rows, all_cols);
    const std::pair<std::function<void()>, const char*> calls[] = {
        {[&] { EXPECT_EQ(t.get_row_record(0), 0u); }, "Row out of range."},
        {[&] { EXPECT_FALSE(t.col_hidden(16385)); }, "Column out of range."},
        {[&] { t.set_row_hidden(1048577, true); }, "Row out of range."},
        {[&] { t.set_col_record(0, 3, 1); }, "Column out of range."},
        {[&] { EXPECT_EQ(t.row_style(0), style_settings_t{}); }, "Row out of range."},
        {[&] { t.set_col_style(0, 3, font_style(1)); }, ""},  // span setters ignore bad ends silently
        {[&] { t.set_row_style(2, 1048577, font_style(1)); }, ""},
    };
    for (const auto& [call, message] : calls) {
        vex::set_run_message("");
        call();
        EXPECT_EQ(last_message(), message);
    }
    EXPECT_EQ(t.col_records().runs().size(), 1u);
    EXPECT_EQ(t.row_records().runs().size(), 1u);
}

TEST(table_styles, clearing_styles_over_a_range) {
    Table t({}, all_rows, all_cols);
    t.set_range_style(range(1, 1, 10, 10), fill_style(0xFF00FF00));
    t.set_num(3, 3, 1);
    t.clear_styles(range(2, 2, 4, 4));
    EXPECT_EQ(own_xf(t, 3, 3), 0);
    EXPECT_NE(own_xf(t, 1, 1), 0);
    EXPECT_EQ(t.get_cell(3, 3).kind(), vex::mta::cell_value_kind::number) << "values stay";
    t.clear_styles(range(0, 0, 1048576, 16384));
    EXPECT_EQ(own_xf(t, 1, 1), 0);
    EXPECT_EQ(t.columns().count(), 3) << "trimmed to the last value";
}
