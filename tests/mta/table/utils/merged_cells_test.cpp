#include "mta/table/utils/merged_cells.h"

#include "mta/formula/formula_cell.h"
#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"
#include "tests/mta/table/formula_model/book_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using sample::last_message;
using sample::range;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr int last_col = 16384;
constexpr const char* would_unmerge = "This operation will cause some merged cells to unmerge.";

std::string text_at(const Table& t, int row, int col) {
    auto v = t.get_cell(row, col).get_text();
    return v ? std::string(*v) : std::string("<none>");
}

// Corners as "r1,c1:r2,c2", in search order.
std::vector<std::string> merges(const Table& t) {
    std::vector<std::string> out;
    for (const auto& r : t.merged_cells().get_all())
        out.push_back(std::to_string(r.first.row) + "," + std::to_string(r.first.col) + ":" +
                      std::to_string(r.last.row) + "," + std::to_string(r.last.col));
    return out;
}

} // namespace

TEST(merged_cells, merge_gathers_the_first_value_into_the_top_left) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.set_text(1, 2, "x"));
    ASSERT_TRUE(t.merged_cells().merge(range(1, 1, 3, 3), false));
    EXPECT_EQ(text_at(t, 1, 1), "x");
    EXPECT_EQ(t.get_cell(1, 2).kind(), vex::mta::cell_value_kind::none);

    // Reading order: row 1 before row 2, whatever the column.
    Table u({}, all_rows, all_cols);
    u.set_num(2, 1, 7);
    u.set_num(1, 3, 5);
    u.set_boolean(3, 2, true);
    ASSERT_TRUE(u.merged_cells().merge(range(1, 1, 3, 3), false));
    EXPECT_EQ(u.get_cell(1, 1).get_num(), 5.0);
    for (auto [r, c] : {std::pair{1, 3}, {2, 1}, {3, 2}})
        EXPECT_EQ(u.get_cell(r, c).kind(), vex::mta::cell_value_kind::none) << r << "," << c;

    // A value already in the top-left stays.
    Table w({}, all_rows, all_cols);
    w.set_text(1, 1, "kept");
    w.set_text(2, 2, "dropped");
    ASSERT_TRUE(w.merged_cells().merge(range(1, 1, 2, 2), true));
    EXPECT_EQ(text_at(w, 1, 1), "kept");
    EXPECT_EQ(w.get_cell(2, 2).kind(), vex::mta::cell_value_kind::none);
}

TEST(merged_cells, merge_moves_a_formula_cell_once) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(2).set_value(1, new vex::mta::formula::formula_cell({0, 1, 2, 0, 1, 1}, "1+1"));
    ASSERT_TRUE(t.merged_cells().merge(range(1, 1, 3, 3), false));
    ASSERT_TRUE(t.contains_formula(1, 1));
    EXPECT_FALSE(t.contains_formula(1, 2));
    const auto cell = t.get_cell(1, 1);
    EXPECT_EQ(cell.get_formula_expr(), "1+1");
    const auto* f = std::get<vex::mta::formula::formula_cell*>(*cell.value());
    EXPECT_EQ(f->position(), (vex::coord_t{0, 1, 1, 0, 1, 1}));
}

// The formula gathered into the top-left reads what its text says, from there,
// and is tracked as any formula set there: shifts and recalculations reach it.
TEST(merged_cells, a_gathered_formula_is_tracked_where_it_lands) {
    using formula_model_test::book_t;
    using formula_model_test::cell_range;
    using formula_model_test::dependents;
    using formula_model_test::tracked;
    const struct {
        const char* text;
        const char* shifted;  // after a column inserted at D
    } cases[] = {{"E2", "F2"}, {"+E2", "+F2"}, {"$E$2", "$F$2"}, {"Sheet1!E2", "Sheet1!F2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        book_t book;
        Table& t = book.add("Sheet1");
        ASSERT_TRUE(t.set_formula(1, 2, c.text));
        ASSERT_TRUE(t.set_num(2, 5, 9));
        ASSERT_TRUE(t.merged_cells().merge(range(1, 1, 3, 3), false));
        ASSERT_TRUE(tracked(t, 1, 1));
        EXPECT_EQ(dependents(t, 2, 5), std::vector{cell_range(t, 1, 1)});
        const vex::mta::formula::formula_cell* cell = t.get_formula_cell(1, 1);
        t.get_formula_model()->recalc_all();
        ASSERT_TRUE(cell->has_result());
        EXPECT_EQ(std::get<double>(*cell->result()), 9.0);

        ASSERT_TRUE(t.shift_range_right(1, 1048576, 4, 1)) << last_message();
        EXPECT_EQ(formula_model_test::text_at(t, 1, 1), c.shifted);
        EXPECT_EQ(dependents(t, 2, 6), std::vector{cell_range(t, 1, 1)});
        ASSERT_TRUE(t.set_num(2, 6, 7));
        t.get_formula_model()->recalc_all();
        EXPECT_EQ(std::get<double>(*cell->result()), 7.0);
    }
}

TEST(merged_cells, refusals_and_replacements) {
    Table t({}, all_rows, all_cols);
    auto& m = t.merged_cells();
    EXPECT_TRUE(m.merge(range(4, 4, 4, 4), false));
    EXPECT_EQ(m.size(), 0u);

    EXPECT_FALSE(m.merge(range(0, 1, 2, 2), false));
    EXPECT_EQ(last_message(), "The range(0,1,2,2) is invalid.");

    ASSERT_TRUE(m.merge(range(2, 2, 2, 3), false));
    EXPECT_FALSE(m.merge(range(2, 2, 4, 4), false));
    EXPECT_EQ(last_message(), "The range(2,2,4,4) intersects with another merged cells (2, 2) - (2, 3). merging cells failed.");
    EXPECT_EQ(merges(t), std::vector<std::string>{"2,2:2,3"});

    // A range met but not swallowed is replaced.
    Table u({}, all_rows, all_cols);
    ASSERT_TRUE(u.merged_cells().merge(range(1, 1, 3, 3), false));
    ASSERT_TRUE(u.merged_cells().merge(range(4, 4, 2, 2), false));
    EXPECT_EQ(merges(u), std::vector<std::string>{"2,2:4,4"});

    ASSERT_NE(u.tabledefs().add(0, "T", range(10, 1, 12, 3)), nullptr);
    EXPECT_FALSE(u.merged_cells().merge(range(12, 3, 13, 4), false));
    EXPECT_EQ(last_message(), "Merge cell range includes table.");

    vex::range_t out;
    EXPECT_FALSE(u.merged_cells().merged_range(1, out));
    EXPECT_EQ(last_message(), "Index out of range.");
    EXPECT_FALSE(u.merged_cells().merged_range(-1, out));
    ASSERT_TRUE(u.merged_cells().merged_range(0, out));
    EXPECT_EQ(out, (vex::range_t{{0, 2, 2, 1, 0, 0}, {0, 4, 4, 1, 0, 0}}));
}

TEST(merged_cells, covered_cells_refuse_values_and_unmerge) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.merged_cells().merge(range(2, 2, 4, 4), false));
    EXPECT_TRUE(t.set_num(2, 2, 1));
    for (auto [r, c] : {std::pair{3, 2}, {2, 3}, {4, 4}}) {
        EXPECT_FALSE(t.set_text(r, c, "x")) << r << "," << c;
        EXPECT_EQ(last_message(), "The cell has been merged and cannot set a value.");
    }
    EXPECT_TRUE(t.set_text(3, 3, "forced", true));
    EXPECT_TRUE(t.set_num(5, 4, 1));

    EXPECT_EQ(t.merged_cells().unmerge(9, 9), 0);
    EXPECT_EQ(t.merged_cells().unmerge(0, 3), 0);
    EXPECT_EQ(t.merged_cells().unmerge(4, 3), 1);
    EXPECT_EQ(t.merged_cells().size(), 0u);
    EXPECT_TRUE(t.set_num(4, 4, 1));
}

TEST(merged_cells, within_checks) {
    Table t({}, all_rows, all_cols);
    auto& m = t.merged_cells();
    ASSERT_TRUE(m.merge(range(2, 2, 2, 3), true));
    ASSERT_TRUE(m.merge(range(3, 2, 3, 4), true));
    EXPECT_TRUE(m.all_within(range(1, 1, 3, 4)));
    EXPECT_FALSE(m.all_within(range(1, 1, 3, 3)));
    EXPECT_FALSE(m.remove_within(range(1, 1, 3, 3)));
    EXPECT_EQ(m.size(), 2u);
    EXPECT_TRUE(m.remove_within(range(3, 4, 1, 1)));
    EXPECT_EQ(m.size(), 0u);
}

TEST(merged_cells, shifts_move_cut_or_refuse) {
    enum op_t { insert_rows, insert_cols, delete_rows, delete_cols };
    const struct {
        op_t op;
        int a, b, c, d;  // the band, then the point and count or the deleted span
        bool ok;
        std::vector<std::string> after;
    } cases[] = {
        {insert_rows, 1, last_col, 6, 1, false, {"5,3:6,4"}},
        {insert_rows, 1, last_col, 5, 3, true, {"8,3:9,4"}},
        {insert_rows, 5, 9, 5, 3, true, {"5,3:6,4"}},  // another band
        {insert_rows, 1, 3, 5, 3, false, {"5,3:6,4"}},  // cuts the range's columns
        {insert_rows, 1, last_col, 7, 3, true, {"5,3:6,4"}},
        {delete_rows, 1, last_col, 5, 6, true, {}},
        {delete_rows, 1, last_col, 1, 2, true, {"3,3:4,4"}},
        {delete_rows, 1, last_col, 6, 6, false, {"5,3:6,4"}},
        {delete_rows, 1, last_col, 4, 5, true, {"4,3:4,4"}},
        {insert_cols, 1, 1048576, 4, 2, false, {"5,3:6,4"}},
        {insert_cols, 1, 1048576, 3, 2, true, {"5,5:6,6"}},
        {delete_cols, 1, 1048576, 1, 2, true, {"5,1:6,2"}},
        {delete_cols, 1, 1048576, 3, 3, true, {"5,3:6,3"}},
    };
    for (const auto& c : cases) {
        Table t({}, all_rows, all_cols);
        auto& m = t.merged_cells();
        ASSERT_TRUE(m.merge(range(5, 3, 6, 4), true));
        bool guard = false, moved = false;
        switch (c.op) {
        case insert_rows:
            guard = m.can_insert_rows(c.a, c.b, c.c, c.d);
            moved = m.on_insert_rows(c.a, c.b, c.c, c.d);
            break;
        case insert_cols:
            guard = m.can_insert_cols(c.a, c.b, c.c, c.d);
            moved = m.on_insert_cols(c.a, c.b, c.c, c.d);
            break;
        case delete_rows:
            guard = m.can_delete_rows(c.a, c.b, c.c, c.d);
            moved = m.on_delete_rows(c.a, c.b, c.c, c.d);
            break;
        case delete_cols:
            guard = m.can_delete_cols(c.a, c.b, c.c, c.d);
            moved = m.on_delete_cols(c.a, c.b, c.c, c.d);
            break;
        }
        EXPECT_EQ(guard, c.ok) << c.op << " " << c.c;
        EXPECT_EQ(moved, c.ok) << c.op << " " << c.c;
        if (!c.ok) {
            EXPECT_EQ(last_message(), would_unmerge);
        }
        EXPECT_EQ(merges(t), c.after) << c.op << " " << c.c;
    }
}

TEST(merged_cells, deletions_keep_what_is_left) {
    Table t({}, all_rows, all_cols);
    auto& m = t.merged_cells();
    ASSERT_TRUE(m.merge(range(5, 3, 8, 4), true));
    ASSERT_TRUE(m.on_delete_rows(1, last_col, 4, 6));
    EXPECT_EQ(merges(t), std::vector<std::string>{"4,3:5,4"});

    // Bad bounds carry the range check's message; nothing moves.
    EXPECT_FALSE(m.on_delete_rows(0, 3, 1, 2));
    EXPECT_EQ(last_message(), "Start column or end column out of range.");
    EXPECT_FALSE(m.can_insert_rows(1, 3, 0, 1));
    EXPECT_EQ(last_message(), "Starting row out of range.");
    EXPECT_FALSE(m.can_insert_rows(1, 16385, 1, 1));
    EXPECT_EQ(last_message(), "Column out of range.");
    EXPECT_FALSE(m.on_insert_cols(1, 9, 2, 0));
    EXPECT_EQ(last_message(), "Insert at least one column.");

    // Pushed against the sheet's end: cut there, never past it.
    Table u({}, all_rows, all_cols);
    ASSERT_TRUE(u.merged_cells().merge(range(1048570, 1, 1048575, 2), true));
    ASSERT_TRUE(u.merged_cells().on_insert_rows(1, last_col, 1, 3));
    EXPECT_EQ(merges(u), std::vector<std::string>{"1048573,1:1048576,2"});
}

// A deletion that leaves one cell of a range leaves no merge.
TEST(merged_cells, a_range_cut_down_to_one_cell_goes) {
    const struct {
        int last_row;  // of the range from C10 to column D
        bool rows;
        int first, last;
        std::vector<std::string> left;
    } cases[] = {
        {10, false, 3, 3, {}},             // C10:D10, column C
        {10, false, 3, 4, {}},             // C10:D10, columns C:D
        {11, false, 3, 3, {"10,3:11,3"}},  // C10:D11 keeps two cells
        {10, true, 9, 9, {"9,3:9,4"}},     // row 9: the range moves up whole
        {10, false, 2, 2, {"10,2:10,3"}},  // column B: the range moves whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.last_row) + " " + std::to_string(c.rows) + " " + std::to_string(c.first));
        Table t({}, all_rows, all_cols);
        ASSERT_TRUE(t.merged_cells().merge(range(10, 3, c.last_row, 4), true));
        ASSERT_TRUE(c.rows ? t.shift_range_up(1, last_col, c.first, c.last)
                           : t.shift_range_left(1, int(all_rows), c.first, c.last))
            << last_message();
        EXPECT_EQ(merges(t), c.left);
    }
}

// Two values in the first row: the leftmost is gathered, whichever comes later.
TEST(merged_cells, merge_gathers_the_leftmost_value_of_the_first_row) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.set_text(1, 2, "B1"));
    ASSERT_TRUE(t.set_text(1, 3, "C1"));
    ASSERT_TRUE(t.set_text(2, 1, "A2"));
    ASSERT_TRUE(t.merged_cells().merge(range(1, 1, 3, 3), false));
    EXPECT_EQ(text_at(t, 1, 1), "B1");
}

// Thousands of ranges through every shift: removals once corrupted the tree.
TEST(merged_cells, thousands_of_ranges_follow_every_shift) {
    constexpr int n = 3000;  // (2i+1, 5):(2i+1, 6)
    const struct {
        const char* name;
        bool (Table::*shift)(int, int, int, int);
        int a, b, c, d;
        int drow, dcol;
    } cases[] = {
        {"insert rows", &Table::shift_range_down, 1, last_col, 1, 2, 2, 0},
        {"delete rows", &Table::shift_range_up, 1, last_col, 1, 2, -2, 0},  // the first range goes
        {"insert cols", &Table::shift_range_right, 1, 1048576, 3, 2, 0, 2},
        {"delete cols", &Table::shift_range_left, 1, 1048576, 3, 3, 0, -1},
        {"range down", &Table::shift_range_down, 4, 8, 1, 1, 1, 0},
        {"range up", &Table::shift_range_up, 4, 8, 1, 1, -1, 0},  // so does this one
        {"range right", &Table::shift_range_right, 1, 2 * n, 2, 3, 0, 3},
        {"range left", &Table::shift_range_left, 1, 2 * n, 1, 2, 0, -2},
    };
    for (const auto& c : cases) {
        Table t({}, all_rows, all_cols);
        auto& m = t.merged_cells();
        for (int i = 0; i < n; ++i) ASSERT_TRUE(m.merge(range(2 * i + 1, 5, 2 * i + 1, 6), true));
        // Twice, so that the second shift runs on the tree the first one left.
        ASSERT_TRUE((t.*c.shift)(c.a, c.b, c.c, c.d)) << c.name << " " << last_message();
        ASSERT_TRUE((t.*c.shift)(c.a, c.b, c.c, c.d)) << c.name << " " << last_message();
        std::vector<std::string> want;
        for (int i = 0; i < n; ++i) {
            const int row = 2 * i + 1 + 2 * c.drow;
            if (row < 1) continue;
            want.push_back(std::to_string(row) + "," + std::to_string(5 + 2 * c.dcol) + ":" + std::to_string(row) +
                           "," + std::to_string(6 + 2 * c.dcol));
        }
        auto got = merges(t);
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        ASSERT_EQ(got, want) << c.name;
        EXPECT_TRUE(m.is_covered(2 * n - 1 + 2 * c.drow, 6 + 2 * c.dcol)) << c.name;

        for (int i = 0; i < n; ++i) m.unmerge(2 * i + 1 + 2 * c.drow, 5 + 2 * c.dcol);
        EXPECT_EQ(m.size(), 0u) << c.name;
        EXPECT_TRUE(merges(t).empty()) << c.name;
        ASSERT_TRUE(m.merge(range(1, 1, 2, 2), true));
        EXPECT_EQ(merges(t), std::vector<std::string>{"1,1:2,2"});
    }
}

// A shift moving most ranges refills the tree, one moving few moves each of
// them: both leave the same ranges, moved, cut and dropped alike.
TEST(merged_cells, shifts_leave_the_same_ranges_whether_most_or_few_move) {
    const struct {
        const char* name;
        bool (Table::*shift)(int, int, int, int);
        int a, b, c, d;
    } cases[] = {
        {"range down", &Table::shift_range_down, 1, 50, 4, 2},
        {"range up", &Table::shift_range_up, 1, 50, 4, 6},  // cuts the second range
        {"range up over a range", &Table::shift_range_up, 1, 50, 5, 7},
        {"range right", &Table::shift_range_right, 1, 50, 3, 2},
        {"range left", &Table::shift_range_left, 1, 50, 4, 5},
    };
    for (const auto& c : cases) {
        std::vector<std::string> alone, extras;
        for (const bool crowded : {false, true}) {
            Table t({}, all_rows, all_cols);
            auto& m = t.merged_cells();
            // Diagonal 3 x 2 ranges inside the band, and beyond it those that stay.
            for (int i = 0; i < 10; ++i) ASSERT_TRUE(m.merge(range(1 + 4 * i, 1 + 4 * i, 3 + 4 * i, 2 + 4 * i), true));
            for (int i = 0; crowded && i < 40; ++i) {
                const std::string a = std::to_string(200 + 3 * i), b = std::to_string(201 + 3 * i);
                ASSERT_TRUE(m.merge(range(200 + 3 * i, 200 + 3 * i, 201 + 3 * i, 201 + 3 * i), true));
                extras.push_back(a + "," + a + ":" + b + "," + b);
            }
            ASSERT_TRUE((t.*c.shift)(c.a, c.b, c.c, c.d)) << c.name << " " << last_message();
            std::vector<std::string> got = merges(t);
            std::sort(got.begin(), got.end());
            if (!crowded) {
                alone = got;
                continue;
            }
            std::vector<std::string> want = alone;
            want.insert(want.end(), extras.begin(), extras.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(got, want) << c.name;
        }
        EXPECT_GE(alone.size(), 9u) << c.name;
    }
}

// Ranges at the sheet's far corners and rows apart by a million: the tree's
// areas and distances passed what an int holds.
TEST(merged_cells, ranges_across_the_whole_sheet) {
    Table t({}, all_rows, all_cols);
    auto& m = t.merged_cells();
    std::vector<std::string> want;
    for (int i = 0; i < 12; ++i) {
        const int row = i % 2 ? 1000000 : 1;
        ASSERT_TRUE(m.merge(range(row, 2 * i + 1, row + 1, 2 * i + 2), true));
        want.push_back(std::to_string(row) + "," + std::to_string(2 * i + 1) + ":" + std::to_string(row + 1) + "," +
                       std::to_string(2 * i + 2));
    }
    ASSERT_TRUE(m.merge(range(1048575, 16383, 1048576, 16384), true));
    ASSERT_TRUE(m.merge(range(1, 16383, 2, 16384), true));
    ASSERT_TRUE(m.merge(range(1048575, 1, 1048576, 2), true));
    want.insert(want.end(), {"1048575,16383:1048576,16384", "1,16383:2,16384", "1048575,1:1048576,2"});
    auto got = merges(t);
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    EXPECT_TRUE(m.is_covered(1048576, 16384));
    EXPECT_TRUE(m.overlaps(range(1000001, 4, 1000001, 4)));
    EXPECT_EQ(m.unmerge(1048576, 16384), 1);
    EXPECT_EQ(m.size(), 14u);
}
