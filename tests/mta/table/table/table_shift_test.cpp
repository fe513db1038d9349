#include "mta/table/table/table.h"

#include "mta/formula/formula_cell.h"
#include "mta/formula/token.h"
#include "mta/table/sample_styles.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <tuple>
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

// Random shifts on a small sheet against a model in which everything follows the
// identity of its cells: a shift maps each index of the axis to its new place or
// to none. Values and styles, merged ranges, tables with header and totals rows,
// hidden rows and columns with their sizes, outline levels, defined names, links
// and comments are compared after every step; a refused step changes nothing.
// PLOVER_SHIFT_STEPS runs longer, PLOVER_SHIFT_SEED another sequence.
TEST(table_shift, random_shifts_match_a_dense_grid) {
    constexpr int rows = 12, cols = 8;
    const char* env = std::getenv("PLOVER_SHIFT_STEPS");
    const int steps = env ? std::atoi(env) : 400;
    const char* seed = std::getenv("PLOVER_SHIFT_SEED");
    std::mt19937 rng(seed ? static_cast<unsigned>(std::atoi(seed)) : 1234u);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct cell_t {
        double v = NAN;
        uint16_t xf = 0;
    };
    // Per index of one axis: hidden flag, custom size, outline level.
    struct line_t {
        bool hidden = false;
        std::optional<double> size;
        int64_t level = 0;
        bool operator==(const line_t&) const = default;
    };
    struct table_model_t {
        std::string name;
        vex::range_t range;
        int totals;
    };
    struct name_model_t {
        std::string name;
        vex::range_t ref;  // a cell when both corners are equal
        bool single;
        bool is_ref_error = false;
    };
    std::vector<std::vector<cell_t>> grid(rows + 1, std::vector<cell_t>(cols + 1));
    std::vector<line_t> row_lines(rows + 1), col_lines(cols + 1);
    std::vector<vex::range_t> merges{range(2, 2, 3, 3)}, links;
    std::vector<std::pair<int, int>> notes;
    std::vector<table_model_t> tables{{"T", range(7, 5, 9, 6), 1}};
    std::vector<name_model_t> names;

    Table t({}, rows, cols);
    ASSERT_TRUE(t.merged_cells().merge(merges[0], true));
    vex::mta::tabledef_t* td = t.tabledefs().add(0, "T", tables[0].range);
    ASSERT_NE(td, nullptr);
    ASSERT_TRUE(td->set_display_total(true));
    tables[0].range = range(7, 5, 10, 6);
    // Cells are written past the merge's own guard: only their moves are checked.
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
    for (int i = 0; i < 4; ++i) {
        const int r = pick(1, rows), c = pick(1, cols), level = pick(1, 3);
        t.set_row_hidden(r, true);
        row_lines[r].hidden = true;
        t.set_col_hidden(c, true);
        col_lines[c].hidden = true;
        t.set_custom_row_height(r, r, pick(10, 40), 0);
        row_lines[r].size = t.get_custom_row_height(r, r, 0);
        t.set_custom_col_width(c, c, pick(5, 30), 0);
        col_lines[c].size = t.get_custom_col_width(c, c, 0);
        ASSERT_TRUE(t.set_row_outline_level(r, r, level));
        row_lines[r].level = level;
        t.set_col_outline_level(c, c, level);
        col_lines[c].level = level;
    }
    const auto add_link = [&] {
        const vex::range_t r = range(pick(1, rows), pick(1, cols), pick(1, rows), pick(1, cols)).order();
        ASSERT_TRUE(t.add_hyperlink(r, "https://example.com/", true));
        links.push_back(r);
    };
    const auto add_note = [&] {
        const int r = pick(1, rows), c = pick(1, cols);
        vex::mta::richtext_t text;
        text.append(vex::mta::richtext_segment_t{});
        ASSERT_TRUE(t.comments().add(r, c, text, "ann"));
        std::erase(notes, std::pair{r, c});
        notes.emplace_back(r, c);
    };
    const auto add_name = [&](bool single) {
        const int r = pick(1, rows), c = pick(1, cols);
        vex::range_t ref = single ? range(r, c, r, c) : range(r, c, pick(1, rows), pick(1, cols)).order();
        for (auto* corner : {&ref.first, &ref.last}) corner->flag0 = 0, corner->flag1 = corner->flag2 = 1;
        const std::string name = vex::concat({"n", std::to_string(names.size())});
        std::vector<vex::mta::formula::token_t> tokens;
        single ? tokens.emplace_back(ref.first) : tokens.emplace_back(ref);
        ASSERT_NE(t.get_defined_names()->add({name, vex::mta::workbook_scope}, "Sheet1!A1", std::move(tokens)), nullptr);
        names.push_back({name, ref, single});
    };
    // A table lands where no table or merged range is in the way; its totals row
    // writes a text where no value is.
    const auto add_table = [&] {
        const std::string name = vex::concat({"T", std::to_string(tables.size() + 100)});
        const vex::range_t r = range(pick(1, rows), pick(1, cols), pick(1, rows), pick(1, cols)).order();
        if (r.first.row == r.last.row) return;
        vex::mta::tabledef_t* added = t.tabledefs().add(0, name.c_str(), r);
        if (!added) return;
        // Merged ranges inside it are unmerged.
        std::erase_if(merges, [&](const vex::range_t& m) {
            return m.first.row >= r.first.row && m.last.row <= r.last.row && m.first.col >= r.first.col &&
                   m.last.col <= r.last.col;
        });
        tables.push_back({name, r, 0});
        if (pick(0, 1) == 0 || !added->set_display_total(true)) return;
        tables.back().range.last.row += 1;
        tables.back().totals = 1;
        grid[r.last.row + 1][r.first.col].v = NAN;
    };
    for (int i = 0; i < 3; ++i) add_link(), add_note(), add_name(i % 2 == 0);

    // The first difference between the sheet and the model, empty when none.
    const auto difference = [&]() -> std::string {
        for (int r = 1; r <= rows; ++r)
            for (int c = 1; c <= cols; ++c) {
                const double v = value_at(t, r, c);
                if (std::isnan(v) ? !std::isnan(grid[r][c].v) : v != grid[r][c].v) return "value " + std::to_string(r) + "," + std::to_string(c);
                if (xf_at(t, r, c) != grid[r][c].xf) return "style " + std::to_string(r) + "," + std::to_string(c);
            }
        for (int r = 1; r <= rows; ++r)
            if (line_t{t.row_hidden(r), t.get_custom_row_height(r, r, 0), t.row_outline_level(r)} != row_lines[r])
                return "row " + std::to_string(r) + " hidden " + std::to_string(t.row_hidden(r)) + " size " +
                       std::to_string(t.get_custom_row_height(r, r, 0).value_or(-1)) + " level " +
                       std::to_string(t.row_outline_level(r));
        for (int c = 1; c <= cols; ++c)
            if (line_t{t.col_hidden(c), t.get_custom_col_width(c, c, 0), t.col_outline_level(c)} != col_lines[c])
                return "column " + std::to_string(c);
        auto got_merges = t.merged_cells().get_all();
        auto want_merges = merges;
        const auto by_corner = [](const vex::range_t& a, const vex::range_t& b) {
            return std::tie(a.first.row, a.first.col) < std::tie(b.first.row, b.first.col);
        };
        std::sort(got_merges.begin(), got_merges.end(), by_corner);
        std::sort(want_merges.begin(), want_merges.end(), by_corner);
        if (got_merges != want_merges) return "merges";
        if (t.tabledefs().size() != tables.size()) return "table count";
        for (size_t i = 0; i < tables.size(); ++i) {
            const auto* d = t.tabledefs().find(tables[i].name);
            if (d->range() != tables[i].range || d->totals_row_shown() != tables[i].totals)
                return "table " + std::to_string(d->range().first.row) + "," + std::to_string(d->range().first.col) +
                       ":" + std::to_string(d->range().last.row) + "," + std::to_string(d->range().last.col) +
                       " totals " + std::to_string(d->totals_row_shown());
            if (d->column_count() != tables[i].range.last.col - tables[i].range.first.col + 1) return "table columns";
        }
        if (t.hyperlinks().size() != links.size()) return "link count";
        for (size_t i = 0; i < links.size(); ++i)
            if (t.hyperlinks().range_at(i) != links[i]) return "link " + std::to_string(i);
        auto want_notes = notes;
        std::sort(want_notes.begin(), want_notes.end());
        if (t.comments().positions() != want_notes) return "comments";
        for (const auto& n : names) {
            const auto& token = t.get_defined_names()->tokens_of({n.name, vex::mta::workbook_scope})->front();
            if (n.is_ref_error) {
                if (token.opcode != vex::mta::formula::op_error) return "name " + n.name + " is no #REF!";
            } else if (n.single ? token.operand != vex::mta::formula::operand_t(n.ref.first)
                                : token.operand != vex::mta::formula::operand_t(n.ref)) {
                return "name " + n.name;
            }
        }
        return {};
    };
    ASSERT_EQ(difference(), "");

    int done = 0;
    for (int step = 0; step < steps; ++step) {
        if (step % 25 == 24) add_link(), add_note(), add_name(step % 2 == 0), add_table();
        const op_t op = static_cast<op_t>(pick(0, 3));
        const bool on_rows = op == down || op == up, insert = op == down || op == right;
        const int band = on_rows ? cols : rows, axis = on_rows ? rows : cols;
        int a = pick(1, band), b = pick(1, band);
        if (pick(0, 3) == 0) a = 1, b = band;
        const int c = pick(1, axis), d = insert ? pick(1, 3) : pick(1, axis);
        if (!shift(t, op, a, b, c, d)) {
            ASSERT_EQ(difference(), "") << "refused step " << step << " op " << op;
            continue;
        }
        ++done;
        const int lo = std::min(a, b), hi = std::max(a, b);
        const bool whole = lo == 1 && hi == band;
        // Where each index of the axis goes; 0 when it is deleted or pushed off.
        std::vector<int> to(axis + 1);
        const int d1 = std::min(c, d), d2 = std::max(c, d);
        for (int i = 1; i <= axis; ++i) {
            const int moved = insert ? (i < c ? i : i + d) : (i < d1 ? i : i > d2 ? i - (d2 - d1 + 1) : 0);
            to[i] = moved <= axis ? moved : 0;
        }
        const auto along = [&](vex::coord_t& p) -> int32_t& { return on_rows ? p.row : p.col; };
        const auto across = [&](const vex::coord_t& p) { return on_rows ? p.col : p.row; };
        const auto in_band = [&](const vex::range_t& r) {
            return across(r.first) >= lo && across(r.last) <= hi;
        };
        // The span follows its surviving indexes; false when none survives.
        const auto follow = [&](vex::range_t& r) {
            if (!in_band(r)) return true;
            int first = 0, last = 0;
            for (int i = along(r.first); i <= along(r.last); ++i)
                if (to[i]) first = first ? first : to[i], last = to[i];
            if (!first) return false;
            along(r.first) = first;
            along(r.last) = last;
            return true;
        };

        auto cell = [&](int i, int j) -> cell_t& { return on_rows ? grid[i][j] : grid[j][i]; };
        for (int j = lo; j <= hi; ++j) {
            std::vector<cell_t> out(axis + 1);
            for (int i = 1; i <= axis; ++i)
                if (to[i]) out[to[i]] = cell(i, j);
            for (int i = 1; i <= axis; ++i) cell(i, j) = out[i];
        }
        if (whole) {
            auto& lines = on_rows ? row_lines : col_lines;
            std::vector<line_t> out(axis + 1);
            for (int i = 1; i <= axis; ++i)
                if (to[i]) out[to[i]] = lines[i];
            lines = out;
        }
        std::erase_if(merges, [&](vex::range_t& r) { return !follow(r) || r.first == r.last; });
        std::erase_if(links, [&](vex::range_t& r) { return !follow(r); });
        std::erase_if(notes, [&](std::pair<int, int>& n) {
            vex::range_t r = range(n.first, n.second, n.first, n.second);
            if (!follow(r)) return true;
            n = {r.first.row, r.first.col};
            return false;
        });
        std::erase_if(tables, [&](table_model_t& m) {
            const int old_last = along(m.range.last);
            if (!follow(m.range)) return true;
            if (!insert && on_rows && in_band(m.range) && !to[old_last]) m.totals = 0;
            return false;
        });
        // Absolute name references follow deletions as the cells do.
        for (auto& n : names) {
            if (n.is_ref_error || !in_band(n.ref)) continue;
            if (!insert) {
                n.is_ref_error = !follow(n.ref);
                continue;
            }
            const int first = along(n.ref.first), last = along(n.ref.last);
            if (last < c) continue;
            if (first >= c && !to[first]) {
                n.is_ref_error = true;
                continue;
            }
            along(n.ref.first) = to[first];
            along(n.ref.last) = to[last] ? to[last] : axis;
        }
        ASSERT_EQ(difference(), "") << "step " << step << " op " << op << " " << a << " " << b << " " << c << " " << d;
    }
    EXPECT_GT(done, steps / 4);  // the guards let most steps through
}
