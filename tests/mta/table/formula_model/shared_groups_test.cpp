// Shared groups as a sheet reader files them, through shifts: a follower
// stays one while it reads as its master's text at its cell and stands in its
// master's range; otherwise it becomes a formula of its own, with the text it
// would have had written out in full, tracked as such.

#include "mta/table/formula_model/table_formula_model.h"

#include "mta/table/sample_styles.h"
#include "tests/mta/table/formula_model/book_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using formula_model_test::book_t;
using formula_model_test::cell_range;
using formula_model_test::dependents;
using formula_model_test::tracked;
using sample::last_message;
using vex::mta::Table;
using vex::mta::formula::formula_attributes_t;
using vex::mta::formula::formula_cell;

namespace {

// Column `col`, rows first..last: one group of index `si` whose first cell holds `text`.
void import_column_group(Table& t, int col, int first, int last, uint32_t si, const char* text) {
    auto* model = t.get_formula_model();
    const int32_t grid = int32_t(t.sheet_id());
    for (int row = first; row <= last; ++row) {
        formula_attributes_t a;
        a.type = 1;
        a.shared_index = si;
        a.flags = 1;  // ca: kept whoever the cell follows
        if (row == first) a.ref = {{grid, first, col, 1, 0, 0}, {grid, last, col, 1, 0, 0}};
        model->import_formula(new formula_cell(vex::coord_t{grid, row, col, 0, 0, 0}, row == first ? text : "", a));
    }
    model->parse_imported();
}

// What a host reads: the follower's derived text where it has none.
std::string read_at(const Table& t, int row, int col) {
    const formula_cell* cell = t.get_formula_cell(row, col);
    if (!cell) return "-";
    const auto text = t.get_formula_model()->shared_text(*cell);
    return text ? *text : std::string(cell->expression());
}

// "s" for a shared follower, "m" for its first cell, "n" for a formula of its own.
std::string roles(const Table& t, int col, int first, int last) {
    std::string out;
    for (int row = first; row <= last; ++row) {
        const formula_cell* cell = t.get_formula_cell(row, col);
        if (!cell) out += '-';
        else if (cell->attributes().type != 1) out += 'n';
        else out += cell->attributes().ref.first.row != 0 ? 'm' : 's';
    }
    return out;
}

} // namespace

TEST(shared_groups, followers_that_no_longer_read_as_their_master_stand_alone) {
    const struct {
        const char* name;
        bool (*shift)(Table&);
        std::vector<std::string> column_b;  // rows 1..5 as read
        const char* roles;                  // rows 1..5
        int ref_last;                       // the first cell's range ends there
    } cases[] = {
        {"row inserted inside", [](Table& t) { return t.shift_range_down(1, 16384, 2, 1); },
         {"C4*2", "-", "C5*2", "C6*2", "-"}, "m-nn-", 4},
        {"row inserted above", [](Table& t) { return t.shift_range_down(1, 16384, 1, 1); },
         {"-", "C4*2", "C5*2", "C6*2", "-"}, "-mss-", 4},
        {"column B shifted down", [](Table& t) { return t.shift_range_down(2, 2, 2, 1); },
         {"C3*2", "-", "C4*2", "C5*2", "-"}, "m-nn-", 4},
        {"column C shifted down", [](Table& t) { return t.shift_range_down(3, 3, 4, 1); },
         {"C3*2", "C5*2", "C6*2", "-", "-"}, "mnn--", 3},
        {"first row deleted", [](Table& t) { return t.shift_range_up(1, 16384, 1, 1); },
         {"C3*2", "C4*2", "-", "-", "-"}, "nn---", 0},
        {"last row deleted", [](Table& t) { return t.shift_range_up(1, 16384, 3, 3); },
         {"#REF!*2", "C3*2", "-", "-", "-"}, "mn---", 2},
        {"first cell carried out of its range", [](Table& t) { return t.shift_range_right(1, 1, 1, 1); },
         {"-", "C4*2", "C5*2", "-", "-"}, "-nn--", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        book_t book;
        Table& t = book.add("Sheet1");
        import_column_group(t, 2, 1, 3, 0, "C3*2");
        ASSERT_TRUE(c.shift(t)) << last_message();
        for (int row = 1; row <= 5; ++row) EXPECT_EQ(read_at(t, row, 2), c.column_b[row - 1]) << "B" << row;
        EXPECT_EQ(roles(t, 2, 1, 5), c.roles);
        if (const formula_cell* master = t.get_formula_model()->shared_master(0)) {
            EXPECT_EQ(master->attributes().ref.last.row, c.ref_last);
        } else {
            EXPECT_EQ(c.ref_last, 0);
        }
        // A cell that stood alone keeps its other attributes.
        for (int row = 1; row <= 5; ++row) {
            if (const formula_cell* cell = t.get_formula_cell(row, 2)) {
                EXPECT_EQ(cell->attributes().flags, 1) << row;
            }
        }
    }
}

// A follower standing alone is tracked with its own references.
TEST(shared_groups, a_follower_standing_alone_is_tracked_by_its_own_references) {
    book_t book;
    Table& t = book.add("Sheet1");
    import_column_group(t, 2, 1, 3, 0, "C3*2");
    ASSERT_TRUE(t.shift_range_down(2, 2, 2, 1));  // B2:B3 to B3:B4, column C stays
    EXPECT_EQ(std::string(t.get_formula_cell(3, 2)->expression()), "C4*2");
    EXPECT_TRUE(tracked(t, 3, 2) && tracked(t, 4, 2));
    EXPECT_EQ(dependents(t, 4, 3), std::vector{cell_range(t, 3, 2)});
    EXPECT_EQ(dependents(t, 5, 3), std::vector{cell_range(t, 4, 2)});
    EXPECT_EQ(dependents(t, 3, 3), std::vector{cell_range(t, 1, 2)});
}

// A group whose first cell was overwritten before the shift: the followers
// keep what they read before it, moved as their own texts.
TEST(shared_groups, followers_of_a_lost_first_cell_stand_alone_at_a_shift) {
    book_t book;
    Table& t = book.add("Sheet1");
    import_column_group(t, 2, 1, 3, 0, "C1*2");
    ASSERT_TRUE(t.set_num(1, 2, 5));
    ASSERT_TRUE(t.shift_range_down(2, 2, 1, 1));
    EXPECT_EQ(roles(t, 2, 1, 4), "--nn");
    EXPECT_EQ(read_at(t, 3, 2), "C2*2");
    EXPECT_EQ(read_at(t, 4, 2), "C3*2");
}

// Another sheet's shift reaches the followers through their own references.
TEST(shared_groups, followers_naming_a_shifted_sheet) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    Table& s2 = book.add("Sheet2");
    import_column_group(s2, 1, 1, 3, 0, "Sheet1!A1*10");
    import_column_group(s2, 2, 1, 3, 1, "Sheet1!$A$1+A1");
    ASSERT_TRUE(s1.shift_range_down(1, 16384, 2, 1));
    EXPECT_EQ(roles(s2, 1, 1, 3), "mnn");
    EXPECT_EQ(roles(s2, 2, 1, 3), "mss");
    EXPECT_EQ(read_at(s2, 1, 1) + " " + read_at(s2, 2, 1) + " " + read_at(s2, 3, 1), "Sheet1!A1*10 Sheet1!A3*10 Sheet1!A4*10");
    EXPECT_EQ(dependents(s1, 3, 1), std::vector{cell_range(s2, 2, 1)});
    ASSERT_TRUE(s1.shift_range_down(1, 16384, 1, 1));
    EXPECT_EQ(roles(s2, 2, 1, 3), "mss");
    EXPECT_EQ(read_at(s2, 3, 2), "Sheet1!$A$2+A3");
}

TEST(shared_groups, the_first_cell_leads_only_inside_its_range) {
    book_t book;
    Table& t = book.add("Sheet1");
    import_column_group(t, 2, 1, 3, 0, "C1*2");
    auto* model = t.get_formula_model();
    ASSERT_EQ(model->shared_master(0), t.get_formula_cell(1, 2));
    EXPECT_EQ(model->shared_master(1), nullptr);
    EXPECT_EQ(model->shared_text(*t.get_formula_cell(3, 2)), "C3*2");
    // Filed outside its own range, a first cell leads nothing.
    formula_cell* master = t.get_formula_cell(1, 2);
    formula_attributes_t a = master->attributes();
    a.ref.first.row = a.ref.last.row = 2;
    master->set_attributes(a);
    EXPECT_EQ(model->shared_master(0), nullptr);
    vex::mta::formula::table_formula_model::stand_alone(*master, "C1*3");
    EXPECT_EQ(master->attributes().type, 0u);
    EXPECT_EQ(master->attributes().ref, formula_attributes_t{}.ref);
    EXPECT_EQ(model->shared_text(*master), std::nullopt);
    EXPECT_EQ(std::string(master->expression()), "C1*3");
}
