#include "mta/table/formula_model/table_formula_model.h"

#include "errors.h"
#include "mta/table/sample_styles.h"
#include "tests/heap_in_use.h"
#include "tests/mta/table/formula_model/book_fixture.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

using formula_model_test::book_t;
using formula_model_test::cell_range;
using formula_model_test::dependents;
using formula_model_test::text_at;
using formula_model_test::tracked;
using sample::last_message;
using vex::mta::Table;
using vex::mta::formula::formula_attributes_t;
using vex::mta::formula::formula_cell;

TEST(table_formula_model, the_set_path_refuses_faults_and_keeps_missing_vocabulary_unparsed) {
    book_t book;
    Table& t = book.add("Sheet1");
    const struct {
        const char* text;
        const char* message;  // null: stored
        bool parsed;
    } cases[] = {
        {"1+", "Error in parsing formula: 1+", false},
        {"(1+2", "Error in parsing formula: (1+2", false},
        {"A1:", "Error in parsing formula: A1:", false},
        {"SUM(1,2", "Incomplete parentheses.", false},
        {"\"abc", "Error in parsing formula: \"abc", false},
        {"'Sheet1!A1", "Error in parsing formula: 'Sheet1!A1", false},
        {"A1&", "Error in parsing formula: A1&", false},
        {"1+2)", "Error in parsing formula: 1+2)", false},
        {"==1", "Error in parsing formula: =1", false},
        {"A1&B1", nullptr, false},
        {"Total*2", nullptr, false},
        {"#N/A", nullptr, false},
        {"1E5+1", nullptr, false},
        {"NOSUCH(A1)", nullptr, false},
        {"A1+1", nullptr, true},
        {"SUM(A1:A3)*2", nullptr, true},
    };
    int row = 10;
    for (const auto& c : cases) {
        ++row;
        vex::set_run_message("before");
        const bool stored = t.set_formula(row, 2, c.text);
        EXPECT_EQ(stored, c.message == nullptr) << c.text;
        EXPECT_EQ(last_message(), c.message ? c.message : "before") << c.text;
        EXPECT_EQ(text_at(t, row, 2), c.message ? "-" : c.text);
        if (!stored) continue;
        const formula_cell* cell = t.get_formula_cell(row, 2);
        EXPECT_EQ(bool(cell->parsed), c.parsed) << c.text;
        EXPECT_TRUE(tracked(t, row, 2)) << c.text;  // an unparsed one from its lenient reading
        EXPECT_EQ(cell->tokens.empty(), !c.parsed) << c.text;
    }
    vex::set_run_message("before");
    EXPECT_FALSE(t.set_formula(1, 1, "9" + std::string(400, '9')));
    EXPECT_EQ(last_message().rfind("value overflow: ", 0), 0u) << last_message();
}

// Each text is written in row 1 and reads A1 unless it names no cell.
TEST(table_formula_model, valid_texts_are_parsed_and_tracked) {
    book_t book;
    Table& t = book.add("Sheet1");
    const struct {
        const char* text;
        bool reads_a1;
    } cases[] = {
        {"TRUE", false},          {"IF(A1>0,TRUE,FALSE)", true}, {"A1=TRUE", true},   {"NOT(TRUE)", false},
        {"AND(A1,TRUE)", true},   {"{TRUE,FALSE}", false},       {"+1", false},       {"+A1+B1", true},
        {"-+1", false},           {"A1*+1", true},               {"(+1)", false},     {"SUM(+1)", false},
        {"1+2", false},           {"2*-3", false},               {"A1<=B1", true},    {"A1 <= B1", true},
        {"SUM((A1),B1)", true},   {"{1,-2;3,4}", false},         {"TRUE()+A1", true}, {"-A1%", true},
        {"B2+\tA1", true},        {"IF(B2>0,\r\nA1,\n1)", true},
    };
    int col = 1;
    for (const auto& c : cases) {
        ++col;
        vex::set_run_message("before");
        ASSERT_TRUE(t.set_formula(1, col, c.text)) << c.text << ": " << last_message();
        EXPECT_EQ(last_message(), "before") << c.text;
        EXPECT_TRUE(t.get_formula_cell(1, col)->parsed) << c.text;
        EXPECT_TRUE(tracked(t, 1, col)) << c.text;
        const auto readers = dependents(t, 1, 1);
        EXPECT_EQ(std::find(readers.begin(), readers.end(), cell_range(t, 1, col)) != readers.end(), c.reads_a1)
            << c.text;
    }
}

TEST(table_formula_model, an_overwrite_is_tracked_as_the_new_formula) {
    book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_formula(1, 2, "A1+1"));
    ASSERT_TRUE(t.set_formula(1, 2, "A1+2"));
    EXPECT_EQ(dependents(t, 1, 1), std::vector{cell_range(t, 1, 2)});
    ASSERT_TRUE(t.set_formula(1, 2, "C1"));
    EXPECT_TRUE(dependents(t, 1, 1).empty());
    EXPECT_EQ(dependents(t, 1, 3), std::vector{cell_range(t, 1, 2)});
    t.set_num(1, 2, 4.0);  // a value replaces the formula: nothing is left tracked
    EXPECT_TRUE(dependents(t, 1, 3).empty());
    EXPECT_TRUE(t.get_formula_model()->query_tracked_ranges(cell_range(t, 1, 2)).empty());
}

// Evaluating "cornerb:cornera" finds the range B3:A5, not the two cells the
// formula was registered with; forgetting it removes what was registered.
TEST(table_formula_model, an_evaluated_formula_is_forgotten_as_it_was_registered) {
    book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_defined_name({"cornerb", vex::mta::workbook_scope}, "Sheet1!$B$3")) << last_message();
    ASSERT_TRUE(t.set_defined_name({"cornera", vex::mta::workbook_scope}, "Sheet1!$A$5")) << last_message();
    ASSERT_TRUE(t.set_formula(1, 4, "cornerb:cornera"));
    ASSERT_EQ(dependents(t, 5, 1), std::vector{cell_range(t, 1, 4)});
    try {
        t.get_formula_model()->recalc_all();
    } catch (const std::exception&) {
        // A range is no result: the evaluation has run all the same.
    }
    ASSERT_TRUE(t.set_formula(1, 4, "1"));
    EXPECT_TRUE(dependents(t, 5, 1).empty());
    EXPECT_TRUE(dependents(t, 3, 2).empty());
    EXPECT_TRUE(dependents(t, 4, 1).empty());
}

// Each overwrite forgets two referenced cells for good: what the tracker
// kept for them is given back while the sheet lives.
TEST(table_formula_model, overwriting_one_cell_keeps_the_tracker_flat) {
    book_t book;
    Table& t = book.add("Sheet1");
    const auto overwrite = [&](unsigned n) {
        return t.set_formula(1, 3, vex::concat({"A", std::to_string(n), "+B", std::to_string(n)}));
    };
    for (unsigned n = 1; n <= 100; ++n) ASSERT_TRUE(overwrite(n));
    const size_t baseline = heap_test::heap_in_use();
    for (unsigned n = 101; n <= 100 + 2 * heap_test::memory_rounds; ++n) ASSERT_TRUE(overwrite(n));
    // Unbounded, the rounds leave several hundred bytes each.
    EXPECT_LT(heap_test::heap_in_use(), baseline + 64 * 1024);
    const unsigned last = 100 + 2 * heap_test::memory_rounds;
    EXPECT_EQ(dependents(t, int(last), 2), std::vector{cell_range(t, 1, 3)});
    EXPECT_TRUE(dependents(t, int(last) - 1, 2).empty());
}

// A tree rebuilt without its dead entries takes insertions after it: a rebuilt
// tree moved into place kept parent pointers into its old root.
TEST(table_formula_model, a_compacted_tracker_takes_new_formulas) {
    book_t book;
    Table& t = book.add("Sheet1");
    const int rows = 30000;
    const auto refer = [&](int row, const char* column) {
        return t.set_formula(row, 3, column + std::to_string(row));
    };
    for (int r = 1; r <= rows; ++r) ASSERT_TRUE(refer(r, "A"));
    for (int r = 1; r <= rows; ++r) ASSERT_TRUE(refer(r, "B"));
    for (int r = 1; r <= rows; ++r) ASSERT_TRUE(refer(r, "D"));
    EXPECT_TRUE(dependents(t, rows, 2).empty());
    EXPECT_EQ(dependents(t, rows, 4), std::vector{cell_range(t, rows, 3)});
}

TEST(table_formula_model, shared_followers_need_their_master) {
    book_t book;
    Table& t = book.add("Sheet1");
    auto* model = t.get_formula_model();
    const int32_t grid = int32_t(t.sheet_id());
    const auto built = [&](int row, const char* text, bool master) {
        formula_attributes_t a;
        a.type = 1;
        a.shared_index = 4;
        if (master) a.ref = {{grid, 1, 2, 1, 0, 0}, {grid, 2, 2, 1, 0, 0}};
        auto cell = std::make_unique<formula_cell>(&model->context(), vex::coord_t{grid, row, 2, 0, 0, 0}, text);
        cell->set_attributes(a);
        cell->tokens.emplace_back(vex::coord_t{grid, 1, 0, 1, 0, 0});  // the cell to the left
        cell->parsed = 1;
        return cell;
    };
    auto early = built(2, "", false);
    try {
        model->set_formula(early.get());
        ADD_FAILURE() << "a follower without its master was taken";
    } catch (const formula_exception& e) {
        EXPECT_EQ(e.message(), "Shared formula not found.");
    }
    EXPECT_EQ(t.get_formula_cell(2, 2), nullptr);
    EXPECT_TRUE(dependents(t, 2, 1).empty());

    auto master = built(1, "A1*2", true);
    model->set_formula(master.release());
    model->set_formula(early.release());
    ASSERT_NE(model->shared_formula(4), nullptr);
    EXPECT_EQ(model->shared_formula(4)->use_count, 2u);
    EXPECT_EQ(model->shared_formula(4)->text, "A1*2");
    EXPECT_EQ(dependents(t, 2, 1), std::vector{cell_range(t, 2, 2)});

    const vex::range_t both{{grid, 1, 2, 1, 0, 0}, {grid, 2, 2, 1, 0, 0}};
    EXPECT_EQ(model->query_tracked_ranges(both).size(), 2u);
    model->remove_formulas(both);
    EXPECT_TRUE(model->query_tracked_ranges(both).empty());
    EXPECT_EQ(text_at(t, 1, 2) + "|" + text_at(t, 2, 2), "A1*2|");  // the cells stay

    const struct {
        vex::range_t range;
        const char* message;
    } refused[] = {
        {{{grid + 1, 1, 1, 1, 0, 0}, {grid + 1, 3, 4, 1, 0, 0}},
         "the range:(1,1,3,4) is not on the current grid while removing formulas in a range."},
        {{{grid, 1, 1, 1, 0, 0}, {grid + 1, 3, 4, 1, 0, 0}},
         "the range:(1,1,3,4) is not on the same grid while removing formulas in a range."},
    };
    for (const auto& r : refused) {
        try {
            model->remove_formulas(r.range);
            ADD_FAILURE() << r.message;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), r.message);
        }
    }
}

TEST(table_formula_model, recalculation_evaluates_its_own_workbook_and_skips_unparsed_cells) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    Table& s2 = book.add("Sheet2");
    book_t other;
    Table& o1 = other.add("Sheet1");
    for (Table* t : {&s1, &s2, &o1}) {
        ASSERT_TRUE(t->set_formula(1, 1, "2*3"));
        ASSERT_TRUE(t->set_formula(2, 1, "1+1"));
        ASSERT_TRUE(t->set_formula(3, 1, "Missing+1"));  // unparsed
    }
    s1.get_formula_model()->recalc_all();
    for (int row : {1, 2}) EXPECT_TRUE(s1.get_formula_cell(row, 1)->has_result()) << row;
    EXPECT_FALSE(s1.get_formula_cell(3, 1)->has_result());
    EXPECT_FALSE(s2.get_formula_cell(1, 1)->has_result());
    s2.get_formula_model()->recalc_range({{int32_t(s2.sheet_id()), 2, 1, 1, 0, 0}, {int32_t(s2.sheet_id()), 3, 1, 1, 0, 0}});
    EXPECT_TRUE(s2.get_formula_cell(2, 1)->has_result());
    EXPECT_FALSE(s2.get_formula_cell(1, 1)->has_result());

    // A volatile formula is cleared by every set of its workbook, never of another.
    ASSERT_TRUE(s1.set_formula(5, 1, "NOW()"));
    s1.get_formula_cell(5, 1)->set_result(vex::mta::formula::formula_result_t(1.0));
    ASSERT_TRUE(o1.set_formula(6, 1, "1+2"));
    EXPECT_TRUE(s1.get_formula_cell(5, 1)->has_result());
    ASSERT_TRUE(s2.set_formula(6, 1, "1+2"));
    EXPECT_FALSE(s1.get_formula_cell(5, 1)->has_result());
    book.drop(0);  // the volatile cell goes with its sheet
    ASSERT_TRUE(s2.set_formula(7, 1, "3+4"));
    ASSERT_TRUE(o1.set_formula(7, 1, "3+4"));
}

TEST(table_formula_model, a_sheet_destroyed_after_many_overwrites_leaves_nothing_tracked) {
    book_t book;
    Table& t = book.add("Sheet1");
    Table& keep = book.add("Sheet2");
    ASSERT_TRUE(keep.set_formula(1, 1, "Sheet1!A5+1"));
    const int32_t grid = int32_t(t.sheet_id());
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(t.set_formula(1 + i % 100, 1 + i % 7, vex::concat({"A", std::to_string(i + 1), "+1"})));
    EXPECT_EQ(t.get_formula_model()->query_tracked_ranges({{grid, 1, 1, 1, 0, 0}, {grid, 100, 7, 1, 0, 0}}).size(), 700u);
    book.drop(0);
    auto& tracker = vex::mta::formula::get_cell_tracker();
    EXPECT_TRUE(tracker.query({{grid, 1, 1, 1, 0, 0}, {grid, 1048576, 16384, 1, 0, 0}}).empty());
    EXPECT_TRUE(tracker.dependents_of({{grid, 1, 1, 1, 0, 0}, {grid, 1048576, 16384, 1, 0, 0}}).empty());
    ASSERT_TRUE(keep.set_formula(1, 1, "2"));
}

// A volatile formula may read any cell: a number that no formula reads drops
// its result, as a new formula does.
TEST(table_formula_model, a_value_nothing_reads_drops_a_volatile_result) {
    book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_formula(5, 1, "NOW()"));
    t.get_formula_cell(5, 1)->set_result(vex::mta::formula::formula_result_t(2.0));
    ASSERT_TRUE(t.set_num(9, 9, 1));
    EXPECT_FALSE(t.get_formula_cell(5, 1)->has_result());
    t.get_formula_cell(5, 1)->set_result(vex::mta::formula::formula_result_t(2.0));
    ASSERT_TRUE(t.set_formula(9, 9, "1"));
    EXPECT_TRUE(t.get_formula_cell(5, 1)->result_dropped());
    ASSERT_TRUE(t.set_num(5, 1, 0));
}
