#include "mta/table/utils/table_definition/tabledef_list.h"

#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using sample::last_message;
using sample::range;
using vex::mta::Table;
using vex::mta::tabledef_t;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;
constexpr int last_row = 1048576, last_col = 16384;
constexpr const char* would_move = "The operation would move cells in a table.";

std::vector<std::string> list_names(const Table& t) {
    std::vector<std::string> out;
    for (const auto& [name, def] : t.tabledefs().all()) out.emplace_back(name);
    return out;
}

} // namespace

TEST(tabledef_list, add_refusals_in_order) {
    Table t({}, all_rows, all_cols);
    auto& list = t.tabledefs();
    ASSERT_NE(list.add(0, "T", range(2, 2, 4, 4)), nullptr);
    const struct {
        int type;
        const char* name;
        vex::range_t r;
        const char* message;
    } cases[] = {
        {1, "", range(10, 1, 11, 1), "This table type is not supported."},
        {0, "", range(10, 1, 11, 1), "Table name cannot be empty."},
        {0, nullptr, range(10, 1, 11, 1), "Table name cannot be empty."},
        {0, "T", range(3, 3, 5, 5), "Table name already exists."},
        {0, "U", range(4, 4, 5, 5), "The range intersects with other ranges."},
        {0, "U", range(21, 1, 22, 3), "The range of the table includes a partial area of merged cells."},
    };
    ASSERT_TRUE(t.merged_cells().merge(range(22, 3, 22, 4), true));
    for (const auto& c : cases) {
        EXPECT_EQ(list.add(c.type, c.name, c.r), nullptr) << c.message;
        EXPECT_EQ(last_message(), c.message);
    }
    EXPECT_EQ(list.size(), 1u);

    // A merged range wholly inside the table is unmerged.
    ASSERT_TRUE(t.merged_cells().merge(range(31, 2, 31, 3), true));
    ASSERT_NE(list.add(0, "U", range(30, 1, 32, 3)), nullptr);
    EXPECT_EQ(t.merged_cells().size(), 1u);
}

TEST(tabledef_list, lookups_keep_insertion_order) {
    Table t({}, all_rows, all_cols);
    auto& list = t.tabledefs();
    for (const char* n : {"Sales", "Costs", "Alpha", "Zed"}) {
        const int row = int(list.size()) * 3 + 1;
        ASSERT_NE(list.add(0, n, range(row, 1, row + 1, 2)), nullptr);
    }
    EXPECT_EQ(list_names(t), (std::vector<std::string>{"Sales", "Costs", "Alpha", "Zed"}));
    EXPECT_EQ(list.name_at(2), "Alpha");
    EXPECT_EQ(list.name_at(5), "");
    EXPECT_EQ(last_message(), "Table definition index out of range.");
    EXPECT_EQ(list.find(""), nullptr);
    EXPECT_EQ(list.find("costs"), nullptr);
    EXPECT_EQ(list.find_name("Costs"), "Costs");
    EXPECT_EQ(list.find_name("nope"), "");

    tabledef_t* costs = list.find("Costs");
    EXPECT_EQ(list.rename("Costs", "Zed"), nullptr);
    EXPECT_EQ(last_message(), "The new name already exists.");
    EXPECT_EQ(list.rename("Nope", "New"), nullptr);
    EXPECT_EQ(list.rename("Costs", ""), nullptr);
    EXPECT_EQ(list.rename("Costs", "Expenses"), costs);
    EXPECT_EQ(list.find("Expenses"), costs);
    EXPECT_EQ(list.find("Costs"), nullptr);
    EXPECT_EQ(costs->display_name(), "Costs");
    EXPECT_EQ(list_names(t), (std::vector<std::string>{"Sales", "Expenses", "Alpha", "Zed"}));

    list.remove("Sales");
    list.remove("Sales");
    EXPECT_EQ(list_names(t), (std::vector<std::string>{"Expenses", "Alpha", "Zed"}));
    EXPECT_TRUE(list.intersects(range(5, 2, 9, 9)));
    EXPECT_TRUE(list.is_free_of_tables(range(1, 1, 2, 9)));
}

TEST(tabledef_list, shift_guards) {
    enum op_t { insert_rows, insert_cols, delete_rows, delete_cols };
    const struct {
        op_t op;
        int a, b, c;  // band, then the point or first deleted index
        int d;        // last deleted index
        const char* message;
    } cases[] = {
        {insert_rows, 3, 4, 1, 0, would_move},
        {insert_rows, 1, last_col, 1, 0, nullptr},
        {insert_rows, 1, 3, 6, 0, nullptr},  // below the table
        {insert_cols, 3, 9, 3, 0, would_move},
        {insert_cols, 1, last_row, 3, 0, nullptr},
        {delete_cols, 3, 9, 3, 3, would_move},
        {delete_cols, 1, last_row, 3, 3, nullptr},
        {delete_rows, 1, 3, 3, 3, would_move},
        {delete_rows, 1, last_col, 3, 5, "The operation would delete all cells in a table."},
        {delete_rows, 1, last_col, 3, 3, "The operation would delete all cells in a table."},
        {delete_rows, 1, last_col, 2, 3, "The operation would delete table header."},
        {delete_rows, 1, last_col, 1, 2, "The operation would delete table header."},
        {delete_rows, 1, last_col, 4, 5, nullptr},
        {delete_rows, 1, last_col, 2, 5, nullptr},
        {delete_rows, 1, last_col, 0, 5, "Delete row out of range."},
    };
    for (const auto& c : cases) {
        Table t({}, all_rows, all_cols);
        ASSERT_NE(t.tabledefs().add(0, "T", range(2, 2, 5, 4)), nullptr);
        vex::set_run_message("");
        const auto& list = t.tabledefs();
        bool ok = false;
        switch (c.op) {
        case insert_rows: ok = list.check_insert_rows(c.a, c.b, c.c); break;
        case insert_cols: ok = list.check_insert_columns(c.a, c.b, c.c); break;
        case delete_rows: ok = list.check_delete_rows(c.a, c.b, c.c, c.d); break;
        case delete_cols: ok = list.check_delete_columns(c.a, c.b, c.c); break;
        }
        EXPECT_EQ(ok, c.message == nullptr) << c.op << " " << c.c << " " << c.d;
        EXPECT_EQ(last_message(), c.message ? c.message : "") << c.op << " " << c.c << " " << c.d;
    }
}

TEST(tabledef_list, shifts_move_grow_shrink_and_remove) {
    const auto with_table = [](auto&& shift) {
        Table t({}, all_rows, all_cols);
        tabledef_t* d = t.tabledefs().add(0, "T", range(2, 2, 5, 4));
        for (int i = 0; i < 3; ++i) t.set_text(2, 2 + i, d->column_name(i), true);
        EXPECT_TRUE(shift(t.tabledefs()));
        const tabledef_t* after = t.tabledefs().find("T");
        return after ? after->range() : vex::range_t{};
    };
    using list_t = vex::mta::tabledef_list_t;
    EXPECT_EQ(with_table([](list_t& l) { return l.on_insert_rows(1, last_col, 1, 1); }), range(3, 2, 6, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_insert_rows(1, last_col, 3, 1); }), range(2, 2, 6, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_insert_rows(1, last_col, 2, 2); }), range(4, 2, 7, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_rows(1, last_col, 4, 5); }), range(2, 2, 3, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_rows(1, last_col, 1, 1); }), range(1, 2, 4, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_rows(1, last_col, 4, 9); }), range(2, 2, 3, 4));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_rows(1, last_col, 2, 5); }), vex::range_t{});
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_columns(1, last_row, 3, 3); }), range(2, 2, 5, 3));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_columns(1, last_row, 1, 2); }), range(2, 1, 5, 2));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_columns(1, last_row, 1, 1); }), range(2, 1, 5, 3));
    EXPECT_EQ(with_table([](list_t& l) { return l.on_delete_columns(2, 5, 2, 4); }), vex::range_t{});
    EXPECT_EQ(with_table([](list_t& l) { return l.on_insert_columns(1, last_row, 2, 2); }), range(2, 4, 5, 6));

    // Columns: the deleted ones go, the inserted ones get generated names.
    Table t({}, all_rows, all_cols);
    tabledef_t* d = t.tabledefs().add(0, "T", range(2, 2, 5, 4));
    ASSERT_TRUE(t.tabledefs().on_delete_columns(1, last_row, 1, 2));
    EXPECT_EQ(d->column_name(0), "Column2");
    ASSERT_TRUE(t.tabledefs().on_insert_columns(1, last_row, 2, 2));
    EXPECT_EQ(d->range(), range(2, 1, 5, 4));
    // "Column3" counts, whatever its case.
    EXPECT_EQ(d->column_name(1), "column4");
    EXPECT_EQ(d->column_name(2), "column5");
    EXPECT_EQ(*t.get_cell(2, 3).get_text(), "column5");
    EXPECT_EQ(d->column_at(3).id, 4);

    EXPECT_FALSE(t.tabledefs().on_delete_rows(1, last_col, 3, 3));
    EXPECT_EQ(last_message(), "The operation would delete all cells in a table.");
    EXPECT_EQ(d->range(), range(2, 1, 5, 4));
}

TEST(tabledef_list, a_deletion_over_the_whole_table_destroys_it) {
    Table t({}, all_rows, all_cols);
    ASSERT_NE(t.tabledefs().add(0, "T", range(2, 2, 5, 4)), nullptr);
    ASSERT_NE(t.tabledefs().add(0, "U", range(7, 2, 8, 4)), nullptr);
    ASSERT_TRUE(t.tabledefs().on_delete_rows(1, last_col, 2, 5));
    EXPECT_EQ(list_names(t), std::vector<std::string>{"U"});
    EXPECT_EQ(t.tabledefs().find("U")->range(), range(3, 2, 4, 4));
    // The header guard follows the move.
    EXPECT_TRUE(t.set_num(2, 2, 1));
    EXPECT_FALSE(t.set_num(3, 2, 1));
}

TEST(tabledef_list, clearing_removes_tables_or_restores_headers) {
    Table t({}, all_rows, all_cols);
    for (const char* n : {"T", "U"}) {
        const int row = t.tabledefs().size() ? 10 : 2;
        tabledef_t* d = t.tabledefs().add(0, n, range(row, 2, row + 3, 4));
        for (int i = 0; i < 3; ++i) t.set_text(row, 2 + i, d->column_name(i), true);
    }
    t.set_text(10, 3, "scribbled", true);
    t.clear_contents(range(1, 1, 6, 9));
    EXPECT_EQ(list_names(t), std::vector<std::string>{"U"});
    t.clear_contents(range(10, 3, 11, 3));
    EXPECT_EQ(*t.get_cell(10, 3).get_text(), "Column2");
    EXPECT_EQ(t.get_cell(11, 3).kind(), vex::mta::cell_value_kind::none);
}
