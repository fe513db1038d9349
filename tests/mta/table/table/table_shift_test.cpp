#include "mta/table/table/table.h"

#include "mta/formula/formula_cell.h"
#include "mta/table/sample_styles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using sample::last_message;
using sample::range;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr int last_row = 1048576, last_col = 16384;

enum op_t { down, up, right, left };

bool shift(Table& t, op_t op, int a, int b, int c, int d) {
    switch (op) {
    case down: return t.shift_range_down(a, b, c, d);
    case up: return t.shift_range_up(a, b, c, d);
    case right: return t.shift_range_right(a, b, c, d);
    case left: return t.shift_range_left(a, b, c, d);
    }
    return false;
}

// NaN for an empty cell.
double value_at(const Table& t, int row, int col) {
    const auto* column = t.find_column(col);
    if (!column) return NAN;
    const auto pos = column->position_of(row);
    if (pos.first->type != mdds::mtv::element_type_double) return NAN;
    return vex::mta::column_store_t::get<mdds::mtv::double_element_block>(pos);
}

uint16_t xf_at(const Table& t, int row, int col) {
    const auto* column = t.find_column(col);
    return column ? column->get_xf(row) : 0;
}

void put(Table& t, int row, int col, double v) { t.create_column_if_not_exists(col).set_value(row, v); }

} // namespace

TEST(table_shift, guards_refuse_in_order_and_change_nothing) {
    constexpr const char* unmerge = "This operation will cause some merged cells to unmerge.";
    constexpr const char* push_row = "Cannot insert row because it would push non-empty cells off the end of the table.";
    constexpr const char* push_col =
        "Cannot insert column because it would push non-empty cells off the end of the table.";
    const struct {
        op_t op;
        int a, b, c, d;
        const char* message;
    } cases[] = {
        {down, 1, 3, 0, 1, "Starting row out of range."},
        {down, 0, 3, 1, 1, "Column out of range."},
        {down, 1, last_col + 1, 1, 1, "Column out of range."},
        {down, 1, 3, 1, 0, "Insert at least one row."},
        {down, 1, 3, 1, -5, "Insert at least one row."},
        {down, 1, 3, 1, last_row - 9, push_row},        // C10 holds a value
        {down, 5, 6, 1, last_row - 19, push_row},       // the merge E20:F21 would go
        {down, 8, 8, 1, last_row - 39, push_row},       // the table H30:I40
        {down, 2, 5, 20, 1, unmerge},
        {down, 9, 9, 31, 1, "The operation would move cells in a table."},
        {up, 1, 3, 0, 2, "Row out of range."},
        {up, 1, last_col + 1, 1, 2, "Column out of range."},
        {up, 2, 5, 21, 21, unmerge},
        {up, 1, last_col, 30, 30, "The operation would delete table header."},
        {right, 1, 3, 0, 1, "Starting column out of range."},
        {right, 0, 3, 1, 1, "Row out of range."},
        {right, 1, 3, 1, 0, "Insert at least one column."},
        {right, 10, 10, 1, last_col - 2, push_col},  // C10
        {right, 20, 21, 1, last_col - 5, push_col},  // the merge E20:F21
        {right, 21, 25, 1, 1, unmerge},
        {right, 31, 31, 9, 1, "The operation would move cells in a table."},
        {left, 1, 3, 0, 2, "Column out of range."},
        {left, 0, 3, 1, 2, "Row out of range."},
        {left, 20, 20, 5, 5, unmerge},
        {left, 30, 31, 8, 8, "The operation would move cells in a table."},
    };
    for (const auto& c : cases) {
        Table t({}, all_rows, all_cols);
        put(t, 10, 3, 1.5);
        ASSERT_TRUE(t.merged_cells().merge(range(20, 5, 21, 6), true));
        ASSERT_NE(t.tabledefs().add(0, "T", range(30, 8, 40, 9)), nullptr);
        vex::set_run_message("");
        EXPECT_FALSE(shift(t, c.op, c.a, c.b, c.c, c.d)) << c.op << " " << c.a << " " << c.c;
        EXPECT_EQ(last_message(), c.message) << c.op << " " << c.a << " " << c.c;
        EXPECT_EQ(value_at(t, 10, 3), 1.5);
        EXPECT_EQ(t.merged_cells().get_all(), std::vector{range(20, 5, 21, 6)});
        EXPECT_EQ(t.tabledefs().find("T")->range(), range(30, 8, 40, 9));
    }
}

TEST(table_shift, merges_tables_and_records_follow_the_cells) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.merged_cells().merge(range(5, 3, 6, 4), true));
    ASSERT_NE(t.tabledefs().add(0, "T", range(2, 6, 5, 8)), nullptr);
    t.set_row_record(5, 5, 7);
    ASSERT_TRUE(t.set_row_outline_level(5, 5, 2));
    put(t, 5, 3, 9);

    ASSERT_TRUE(t.shift_range_down(1, last_col, 5, 3));
    EXPECT_EQ(t.merged_cells().get_all(), std::vector{range(8, 3, 9, 4)});
    EXPECT_EQ(t.tabledefs().find("T")->range(), range(2, 6, 8, 8));
    EXPECT_EQ(t.get_row_record(8), 7u);
    EXPECT_EQ(t.get_row_record(5), 0u);
    EXPECT_EQ(t.row_outline_level(8), 2);
    EXPECT_EQ(t.row_outline_level(5), 0);
    EXPECT_EQ(value_at(t, 8, 3), 9);

    ASSERT_TRUE(t.shift_range_up(1, last_col, 1, 1));
    EXPECT_EQ(t.merged_cells().get_all(), std::vector{range(7, 3, 8, 4)});
    EXPECT_EQ(t.tabledefs().find("T")->range(), range(1, 6, 7, 8));
    EXPECT_EQ(t.row_outline_level(7), 2);

    // Whole rows deleted take their outline levels and records with them.
    ASSERT_TRUE(t.set_row_outline_level(20, 20, 3));
    t.set_row_record(20, 20, 6);
    ASSERT_TRUE(t.shift_range_up(1, last_col, 20, 20));
    EXPECT_EQ(t.row_outline_level(20), 0);
    EXPECT_EQ(t.get_row_record(20), 0u);

    // Within a band the records stay and only the band's cells move.
    t.set_row_record(12, 12, 5);
    put(t, 12, 4, 3);
    put(t, 12, 5, 4);
    ASSERT_TRUE(t.shift_range_down(1, 4, 10, 2));
    EXPECT_EQ(t.get_row_record(12), 5u);
    EXPECT_EQ(value_at(t, 14, 4), 3);
    EXPECT_EQ(value_at(t, 12, 5), 4);
    EXPECT_EQ(t.merged_cells().get_all(), std::vector{range(7, 3, 8, 4)});

    ASSERT_TRUE(t.shift_range_left(1, last_row, 1, 1));
    EXPECT_EQ(t.merged_cells().get_all(), std::vector{range(7, 2, 8, 3)});
    EXPECT_EQ(t.tabledefs().find("T")->range(), range(1, 5, 7, 7));
    EXPECT_EQ(value_at(t, 12, 4), 4);
}

TEST(table_shift, used_area_and_column_objects) {
    Table t({}, all_rows, all_cols);
    EXPECT_EQ(t.first_used_row(), 0);
    EXPECT_EQ(t.first_used_col(), 0);
    put(t, 2, 3, 1);
    put(t, 5, 5, 2);
    EXPECT_EQ(t.first_used_row(), 2);
    EXPECT_EQ(t.first_used_col(), 3);
    EXPECT_EQ(t.last_used_row(0, 0), 5);
    EXPECT_EQ(t.last_used_col(0, 0), 5);

    // Deleting whole columns renumbers the ones beyond.
    ASSERT_TRUE(t.shift_range_left(1, last_row, 3, 4));
    EXPECT_EQ(value_at(t, 5, 3), 2);
    EXPECT_TRUE(std::isnan(value_at(t, 2, 3)));
    // A band deletion of the last used column empties only the band.
    t.create_column_if_not_exists(3).set_xf(8, 4);
    ASSERT_TRUE(t.shift_range_left(1, 5, 3, 3));
    EXPECT_TRUE(std::isnan(value_at(t, 5, 3)));
    EXPECT_EQ(xf_at(t, 8, 3), 4);
    // Inserting past the last used column of the band moves no cells.
    ASSERT_TRUE(t.shift_range_right(1, 10, 9, 2));
    EXPECT_EQ(xf_at(t, 8, 3), 4);
    EXPECT_EQ(t.last_used_col(0, 0), 3);
}

TEST(table_shift, formula_cells_keep_their_position) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.set_formula(4, 3, "A1"));
    ASSERT_TRUE(t.set_formula(9, 3, "A2"));
    ASSERT_TRUE(t.shift_range_down(1, 5, 2, 3));
    ASSERT_NE(t.get_formula_cell(7, 3), nullptr);
    EXPECT_EQ(t.get_formula_cell(7, 3)->position(), (vex::coord_t{0, 7, 3, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_right(1, 10, 2, 2));  // a band: cells move between columns
    EXPECT_EQ(t.get_formula_cell(7, 5)->position(), (vex::coord_t{0, 7, 5, 0, 0, 0}));
    EXPECT_EQ(t.get_formula_cell(12, 3)->position(), (vex::coord_t{0, 12, 3, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_right(1, last_row, 1, 1));  // whole columns
    EXPECT_EQ(t.get_formula_cell(7, 6)->position(), (vex::coord_t{0, 7, 6, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_up(1, last_col, 1, 7));  // deletes one formula
    EXPECT_EQ(t.get_formula_cell(5, 4)->position(), (vex::coord_t{0, 5, 4, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_left(1, 3, 2, 5));
    EXPECT_EQ(t.get_formula_cell(5, 4)->position(), (vex::coord_t{0, 5, 4, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_left(4, 9, 2, 3));
    ASSERT_NE(t.get_formula_cell(5, 2), nullptr);
    EXPECT_EQ(t.get_formula_cell(5, 2)->position(), (vex::coord_t{0, 5, 2, 0, 0, 0}));
    ASSERT_TRUE(t.shift_range_left(1, last_row, 1, 1));
    EXPECT_EQ(t.get_formula_cell(5, 1)->position(), (vex::coord_t{0, 5, 1, 0, 0, 0}));
}

// The outline store's refusal is part of the guard: nothing moves.
TEST(table_shift, an_outline_level_without_room_refuses_the_insertion) {
    Table t({}, all_rows, all_cols);
    put(t, 5, 1, 1);
    put(t, 1, 5, 2);
    t.row_outline().set_level(4, 4, 2147483647);
    t.set_col_outline_level(4, 4, -2147483647);
    vex::set_run_message("");
    EXPECT_FALSE(t.shift_range_down(1, last_col, 5, 1));
    EXPECT_EQ(last_message(), "Out of range.");
    EXPECT_FALSE(t.shift_range_right(1, last_row, 5, 2));
    EXPECT_EQ(last_message(), "Out of range.");
    EXPECT_EQ(value_at(t, 5, 1), 1);
    EXPECT_EQ(value_at(t, 1, 5), 2);
    EXPECT_EQ(t.row_outline_level(4), 2147483647);
    EXPECT_EQ(t.row_outline_level(5), 0);
    EXPECT_EQ(t.col_outline_level(4), 2147483647);
    // Within a band the levels do not move, so they do not refuse.
    EXPECT_TRUE(t.shift_range_down(1, 3, 5, 1));
    EXPECT_EQ(value_at(t, 6, 1), 1);
    EXPECT_TRUE(t.shift_range_down(1, last_col, 4, 1));  // opened before the level
    EXPECT_EQ(t.row_outline_level(5), 2147483647);
}

// Links and comments are pushed no further than the table's last row or column:
// the push-off guard counts them like cells.
TEST(table_shift, links_and_comments_count_in_the_push_off_guard) {
    constexpr const char* push_row = "Cannot insert row because it would push non-empty cells off the end of the table.";
    constexpr const char* push_col =
        "Cannot insert column because it would push non-empty cells off the end of the table.";
    vex::mta::richtext_t note;
    note.append(vex::mta::richtext_segment_t{});
    Table t({}, 12, 8);
    ASSERT_TRUE(t.add_hyperlink(range(10, 2, 12, 2), "https://example.com/", true));
    ASSERT_TRUE(t.comments().add(12, 3, note, "ann"));
    vex::set_run_message("");
    EXPECT_FALSE(t.shift_range_down(1, 8, 5, 3));
    EXPECT_EQ(last_message(), push_row);
    EXPECT_FALSE(t.shift_range_down(3, 3, 5, 1));  // the comment alone
    EXPECT_EQ(last_message(), push_row);
    EXPECT_EQ(t.hyperlinks().range_at(0), range(10, 2, 12, 2));
    EXPECT_NE(t.comments().find(12, 3), nullptr);

    ASSERT_TRUE(t.add_hyperlink(range(2, 7, 2, 8), "https://example.com/", true));
    EXPECT_FALSE(t.shift_range_right(1, 12, 6, 1));
    EXPECT_EQ(last_message(), push_col);
    EXPECT_EQ(t.hyperlinks().range_at(1), range(2, 7, 2, 8));

    // A link reaching outside the band stays, so it does not count.
    ASSERT_TRUE(t.add_hyperlink(range(10, 4, 12, 5), "https://example.com/", true));
    EXPECT_TRUE(t.shift_range_down(5, 8, 5, 3));
    EXPECT_EQ(t.hyperlinks().range_at(2), range(10, 4, 12, 5));
    EXPECT_EQ(t.hyperlinks().range_at(0), range(10, 2, 12, 2));
}

// Random shifts on a small sheet against a dense grid. PLOVER_SHIFT_STEPS runs longer.
TEST(table_shift, random_shifts_match_a_dense_grid) {
    constexpr int rows = 12, cols = 8;
    const char* env = std::getenv("PLOVER_SHIFT_STEPS");
    const int steps = env ? std::atoi(env) : 400;
    std::mt19937 rng(1234);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct cell_t {
        double v = NAN;
        uint16_t xf = 0;
    };
    std::vector<std::vector<cell_t>> grid(rows + 1, std::vector<cell_t>(cols + 1));
    Table t({}, rows, cols);
    // Cells are written past the merge's own guard: only their moves are checked.
    ASSERT_TRUE(t.merged_cells().merge(range(2, 2, 3, 3), true));
    ASSERT_NE(t.tabledefs().add(0, "T", range(7, 5, 9, 6)), nullptr);
    for (int i = 0; i < 25; ++i) {
        const int r = pick(1, rows), c = pick(1, cols);
        if (i % 3 == 0) {
            grid[r][c].xf = static_cast<uint16_t>(pick(1, 9));
            t.create_column_if_not_exists(c).set_xf(r, grid[r][c].xf);
        } else {
            grid[r][c].v = i;
            put(t, r, c, i);
        }
    }
    int done = 0;
    for (int step = 0; step < steps; ++step) {
        const op_t op = static_cast<op_t>(pick(0, 3));
        const bool on_rows = op == down || op == up;
        const int band = on_rows ? cols : rows, axis = on_rows ? rows : cols;
        int a = pick(1, band), b = pick(1, band);
        if (pick(0, 3) == 0) a = 1, b = band;
        const int c = pick(1, axis), d = (op == down || op == right) ? pick(1, 3) : pick(1, axis);
        if (!shift(t, op, a, b, c, d)) continue;
        ++done;
        const int lo = std::min(a, b), hi = std::max(a, b);
        auto cell = [&](int i, int j) -> cell_t& { return on_rows ? grid[i][j] : grid[j][i]; };
        for (int j = lo; j <= hi; ++j) {
            std::vector<cell_t> line(axis + 1);
            for (int i = 1; i <= axis; ++i) line[i] = cell(i, j);
            std::vector<cell_t> out(axis + 1);
            if (op == down || op == right) {
                for (int i = 1; i <= axis; ++i)
                    out[i] = i < c ? line[i] : i < c + d ? cell_t{} : line[i - d];
            } else {
                const int d1 = std::min(c, d), d2 = std::max(c, d), n = d2 - d1 + 1;
                for (int i = 1; i <= axis; ++i) out[i] = i < d1 ? line[i] : i + n <= axis ? line[i + n] : cell_t{};
            }
            for (int i = 1; i <= axis; ++i) cell(i, j) = out[i];
        }
        for (int r = 1; r <= rows; ++r) {
            for (int col = 1; col <= cols; ++col) {
                const double v = value_at(t, r, col);
                ASSERT_TRUE(std::isnan(v) ? std::isnan(grid[r][col].v) : v == grid[r][col].v)
                    << "step " << step << " op " << op << " cell " << r << "," << col;
                ASSERT_EQ(xf_at(t, r, col), grid[r][col].xf) << "step " << step << " cell " << r << "," << col;
            }
        }
    }    EXPECT_GT(done, steps / 4);  // the guards let most steps through
}
