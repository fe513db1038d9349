#include "mta/table/utils/table_definition/tabledef.h"

#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using sample::last_message;
using sample::range;
using vex::mta::Table;
using vex::mta::tabledef_t;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

std::string text_at(const Table& t, int row, int col) {
    auto v = t.get_cell(row, col).get_text();
    return v ? std::string(*v) : std::string();
}

std::vector<std::string> names(const tabledef_t& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.column_count(); ++i) out.emplace_back(d.column_name(i));
    return out;
}

// A table with its header names written, as the worktable adds one.
tabledef_t* add_table(Table& t, const char* name, const vex::range_t& r) {
    tabledef_t* d = t.tabledefs().add(0, name, r);
    if (d)
        for (int i = 0; i < d->column_count(); ++i) t.set_text(r.first.row, r.first.col + i, d->column_name(i), true);
    return d;
}

} // namespace

TEST(tabledef, new_table_defaults) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(2, 2, 5, 4));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(names(*d), (std::vector<std::string>{"Column1", "Column2", "Column3"}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d->column_at(i).id, i + 1);
    EXPECT_EQ(text_at(t, 2, 3), "Column2");
    EXPECT_EQ(d->display_name(), "T");
    EXPECT_EQ(d->style_name(), "TableStyleMedium2");
    EXPECT_EQ(d->data_cell_style(), "TableStyleMedium2");
    EXPECT_EQ(d->row_strips(), 1);
    EXPECT_EQ(d->header_range(), range(2, 2, 2, 4));
    EXPECT_EQ(d->get_attributes().headerRowCount, 1);
    EXPECT_EQ(d->column_at(99), vex::mta::tabledef_column_t{});
    EXPECT_EQ(d->column_name(-1), "");
    EXPECT_EQ(d->totals_row_func(3), 0);
}

TEST(tabledef, ids_are_never_handed_out_twice) {
    Table t({}, all_rows, all_cols);
    tabledef_t* read = t.tabledefs().add(0, "Read", range(1, 1, 2, 2));
    ASSERT_NE(read, nullptr);
    auto a = read->get_attributes();
    a.id = a.id + 1000;  // as a file gives it
    read->set_attributes(a);
    tabledef_t* made = t.tabledefs().add(0, "Made", range(4, 1, 5, 2));
    ASSERT_NE(made, nullptr);
    EXPECT_GT(made->get_attributes().id, a.id);
    // A lower id read later does not lower the counter.
    a.id = 1;
    read->set_attributes(a);
    EXPECT_GT(t.tabledefs().add(0, "Next", range(7, 1, 8, 2))->get_attributes().id, made->get_attributes().id);
}

TEST(tabledef, next_column_name) {
    const struct {
        std::vector<std::string> names;
        const char* next;
    } cases[] = {
        {{"Column0", "column7"}, "column8"},
        {{"Column0"}, "column1"},
        {{"columnX", "COLUMN 12abc", "column+3"}, "column13"},
        {{"column-5", "column", "colum9"}, "column1"},
        {{"column99999999999", "column4"}, "column5"},  // past 32 bits: skipped
        {{"column2147483647"}, "column2147483648"},
        {{"column+-3", "Column\t9"}, "column10"},
    };
    for (const auto& c : cases) {
        Table t({}, all_rows, all_cols);
        tabledef_t* d = t.tabledefs().add(0, "T", range(1, 1, 2, int(c.names.size())));
        std::deque<vex::mta::tabledef_column_t> columns(c.names.size());
        for (size_t i = 0; i < c.names.size(); ++i) columns[i].name = c.names[i];
        d->set_columns(columns);
        EXPECT_EQ(d->next_column_name(), c.next) << c.names[0];
    }
}

TEST(tabledef, column_names) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(2, 2, 5, 4));
    EXPECT_TRUE(d->set_column_name(1, "x"));
    EXPECT_EQ(text_at(t, 2, 3), "x");
    EXPECT_FALSE(d->set_column_name(2, "x"));
    EXPECT_EQ(last_message(), "The setting column name already exists.");
    EXPECT_FALSE(d->set_column_name(1, "x"));
    EXPECT_EQ(last_message(), "The setting column name already exists.");
    EXPECT_FALSE(d->set_column_name(3, "y"));
    EXPECT_EQ(last_message(), "The column index is out of range.");
    EXPECT_EQ(names(*d), (std::vector<std::string>{"Column1", "x", "Column3"}));
    // A name given up is free for another column; the new one is taken, in any case.
    EXPECT_TRUE(d->set_column_name(1, "X"));
    EXPECT_TRUE(d->set_column_name(0, "Column3x"));
    EXPECT_TRUE(d->set_column_name(2, "column1"));
    EXPECT_FALSE(d->set_column_name(0, "x"));
    EXPECT_EQ(names(*d), (std::vector<std::string>{"Column3x", "X", "column1"}));

    std::deque<vex::mta::tabledef_column_t> two(2);
    EXPECT_EQ(what_of([&] { d->set_columns(two); }),
              "mtads error: The number of columns added does not match the number of columns in table.");
    EXPECT_EQ(two.size(), 2u);
    EXPECT_EQ(d->column_count(), 3);
}

// A file may name two columns alike but for case; the index keys only the
// later one, and it may not take the earlier one's name either.
TEST(tabledef, columns_read_alike_but_for_case) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(2, 2, 5, 3));
    std::deque<vex::mta::tabledef_column_t> columns(2);
    columns[0].name = "H2";
    columns[1].name = "h2";
    d->set_columns(columns);
    EXPECT_FALSE(d->set_column_name(1, "H2"));
    EXPECT_EQ(last_message(), "The setting column name already exists.");
    // Renamed, the later one leaves the earlier one its name.
    EXPECT_TRUE(d->set_column_name(1, "Other"));
    EXPECT_FALSE(d->set_column_name(1, "h2"));
}

TEST(tabledef, header_cells_are_guarded) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(2, 2, 5, 4));
    EXPECT_FALSE(t.set_num(2, 3, 1));
    EXPECT_EQ(last_message(), "The cell is the header cell of table and cannot have a value set.");
    EXPECT_TRUE(t.set_text(2, 3, "forced", true));
    EXPECT_TRUE(t.set_num(3, 3, 1));
    EXPECT_TRUE(t.set_num(2, 5, 1));

    // Without a header row there is nothing to guard.
    auto a = d->get_attributes();
    a.headerRowCount = 0;
    d->set_attributes(a);
    EXPECT_TRUE(t.set_num(2, 3, 1));
    // And back: the guard follows the header row, whatever the list has indexed.
    a.headerRowCount = 1;
    d->set_attributes(a);
    EXPECT_FALSE(t.set_num(2, 4, 1));
    EXPECT_EQ(t.tabledefs().header_at(2, 4), d);
}

TEST(tabledef, totals_row) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(1, 1, 4, 3));
    ASSERT_TRUE(d->set_display_total(true));
    EXPECT_EQ(d->range(), range(1, 1, 5, 3));
    EXPECT_EQ(text_at(t, 5, 1), "Total");
    EXPECT_EQ(d->column_at(0).totalsRowLabel, "Total");
    EXPECT_EQ(d->totals_row_shown(), 1);
    ASSERT_TRUE(d->set_display_total(true));
    EXPECT_EQ(d->range(), range(1, 1, 5, 3));
    t.set_num(5, 3, 9);
    ASSERT_TRUE(d->set_display_total(false));
    EXPECT_EQ(d->range(), range(1, 1, 4, 3));
    EXPECT_EQ(t.get_cell(5, 1).kind(), vex::mta::cell_value_kind::none);
    EXPECT_EQ(t.get_cell(5, 3).kind(), vex::mta::cell_value_kind::none);
    EXPECT_EQ(d->totals_row_shown(), 0);

    // A label set beforehand is the one written.
    d->set_totals_row_label("Sum");
    ASSERT_TRUE(d->set_display_total(true));
    EXPECT_EQ(text_at(t, 5, 1), "Sum");
    ASSERT_TRUE(d->set_display_total(false));

    constexpr const char* no_room = "The totals row would leave the sheet or overlap another table or merged range.";
    ASSERT_NE(add_table(t, "Below", range(5, 3, 6, 4)), nullptr);
    EXPECT_FALSE(d->set_display_total(true));
    EXPECT_EQ(last_message(), no_room);
    t.tabledefs().remove("Below");
    ASSERT_TRUE(t.merged_cells().merge(range(5, 2, 6, 2), true));
    EXPECT_FALSE(d->set_display_total(true));
    EXPECT_EQ(last_message(), no_room);
    t.merged_cells().unmerge(5, 2);
    t.set_num(5, 2, 1);
    EXPECT_FALSE(d->set_display_total(true));
    EXPECT_EQ(last_message(), "The totals row would overwrite cells below the table.");
    EXPECT_EQ(d->range(), range(1, 1, 4, 3));
    EXPECT_EQ(t.get_cell(5, 2).get_num(), 1.0);

    tabledef_t* bottom = add_table(t, "Bottom", range(1048575, 1, 1048576, 2));
    EXPECT_FALSE(bottom->set_display_total(true));
    EXPECT_EQ(last_message(), no_room);
    EXPECT_EQ(bottom->totals_row_shown(), 0);
}

// Deleting the rows that hold the totals row ends it: turning it off later must
// not clear the data row that is now last.
TEST(tabledef, deleting_the_totals_row_ends_it) {
    for (const bool whole_rows : {true, false}) {
        Table t({}, all_rows, all_cols);
        tabledef_t* d = add_table(t, "T", range(2, 2, 6, 4));
        ASSERT_TRUE(d->set_display_total(true));
        ASSERT_EQ(d->range(), range(2, 2, 7, 4));
        for (int c = 2; c <= 4; ++c) t.set_num(5, c, 50 + c);
        ASSERT_TRUE(whole_rows ? t.shift_range_up(1, all_cols, 6, 7) : t.shift_range_up(2, 4, 6, 7));
        EXPECT_EQ(d->range(), range(2, 2, 5, 4));
        EXPECT_EQ(d->totals_row_shown(), 0);
        EXPECT_TRUE(d->set_display_total(false));
        EXPECT_EQ(d->range(), range(2, 2, 5, 4));
        for (int c = 2; c <= 4; ++c) EXPECT_EQ(t.get_cell(5, c).get_num(), 50.0 + c) << c;

    }
}

TEST(tabledef, styles) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = t.tabledefs().add(0, "T", range(1, 1, 2, 2));
    t.set_num(1, 9, 0);  // clears the last message
    d->set_style_name("NoSuchStyle");
    EXPECT_EQ(d->style_name(), "TableStyleMedium2");
    d->set_style_name("TableStyleLight1");
    EXPECT_EQ(d->style_name(), "TableStyleLight1");
    EXPECT_FALSE(d->set_style_info("NoSuchStyle", 0, 1, 1, 1));
    EXPECT_EQ(last_message(), "No such table style: NoSuchStyle");
    EXPECT_EQ(d->style_info().col_stripes, 0);
    EXPECT_TRUE(d->set_style_info("TableStyleDark2", 0, 1, 1, 0));
    const auto info = d->style_info();
    EXPECT_EQ(info.name, "TableStyleDark2");
    EXPECT_EQ(info.row_stripes + info.col_stripes * 2 + info.first_col * 4 + info.last_col * 8, 6);
    // Cell styles are named cell styles: any name read from a file is kept.
    d->set_data_cell_style("My data");
    d->set_header_row_cell_style("Heading 1");
    d->set_totals_row_cell_style("");
    EXPECT_EQ(d->data_cell_style(), "My data");
    EXPECT_EQ(d->header_row_cell_style(), "Heading 1");
    EXPECT_EQ(d->totals_row_cell_style(), "");
}

TEST(tabledef, inserting_and_deleting_columns) {
    Table t({}, all_rows, all_cols);
    tabledef_t* d = add_table(t, "T", range(2, 2, 5, 4));
    // Inserting at the front takes the sheet column that moved the table right.
    ASSERT_TRUE(d->insert_column(0, "A"));
    EXPECT_EQ(d->range(), range(2, 2, 5, 5));
    EXPECT_EQ(names(*d), (std::vector<std::string>{"A", "Column1", "Column2", "Column3"}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d->column_at(i).id, i + 1);
    EXPECT_EQ(text_at(t, 2, 2), "A");

    ASSERT_TRUE(d->insert_column(2, "B"));
    EXPECT_EQ(d->range(), range(2, 2, 5, 6));
    EXPECT_EQ(names(*d), (std::vector<std::string>{"A", "Column1", "B", "Column2", "Column3"}));
    EXPECT_EQ(text_at(t, 2, 4), "B");

    EXPECT_FALSE(d->insert_column(5, "C"));
    EXPECT_EQ(last_message(), "The column index is out of range.");
    EXPECT_FALSE(d->insert_column(1, "B"));
    EXPECT_EQ(last_message(), "The column name already exists.");

    EXPECT_TRUE(d->delete_column("Column1"));
    EXPECT_EQ(names(*d), (std::vector<std::string>{"A", "B", "Column2", "Column3"}));
    EXPECT_EQ(d->range(), range(2, 2, 5, 5));
    EXPECT_FALSE(d->delete_column("nope"));
    EXPECT_FALSE(d->delete_column(""));
    EXPECT_FALSE(d->delete_column_by_index(4));
    EXPECT_EQ(last_message(), "Index out of range.");
    EXPECT_TRUE(d->delete_column_by_index(3));
    EXPECT_EQ(names(*d), (std::vector<std::string>{"A", "B", "Column2"}));

    tabledef_t* edge = add_table(t, "Edge", range(10, 16383, 11, 16384));
    EXPECT_FALSE(edge->insert_column(0, "x"));
    EXPECT_EQ(last_message(), "The rightmost column of the table is already the largest column number.");
}
