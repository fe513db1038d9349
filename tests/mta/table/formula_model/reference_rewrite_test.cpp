// Formulas in cells and defined names after rows or columns are inserted or
// deleted: references follow their cells, texts change only where a changed
// reference was written, and the tracker ends with the new references.

#include "mta/table/formula_model/reference_rewrite.h"

#include "mta/table/formula_model/edit_reach.h"

#include "mta/formula/token.h"
#include "mta/table/sample_styles.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "tests/mta/table/formula_model/book_fixture.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using formula_model_test::book_t;
using formula_model_test::cell_range;
using formula_model_test::dependents;
using formula_model_test::text_at;
using formula_model_test::tracked;
using sample::last_message;
using vex::mta::Table;
using vex::mta::workbook_scope;
using vex::mta::formula::op_error;

TEST(formula_rewrite, cells_follow_inserted_rows) {
    book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_formula(10, 1, "=A1+A7+SUM(A4:A8)+SUM(A5:A6)"));
    ASSERT_TRUE(t.set_formula(1, 3, "A7&\"x\""));  // unparsed
    ASSERT_TRUE(t.set_formula(2, 3, "  $A$7 + A$1:$A7 "));
    ASSERT_TRUE(t.set_formula(3, 3, "5:7"));
    ASSERT_TRUE(t.set_formula(4, 3, "Sheet1!A1:B9"));
    ASSERT_TRUE(t.set_formula(5, 3, "Sheet2!A7+A1"));  // Sheet2 names no sheet
    ASSERT_TRUE(t.shift_range_down(1, 16384, 5, 2));
    EXPECT_EQ(text_at(t, 10, 1), "-");
    EXPECT_EQ(text_at(t, 12, 1), "A1+A9+SUM(A4:A10)+SUM(A7:A8)");
    EXPECT_EQ(text_at(t, 1, 3), "A9&\"x\"");
    EXPECT_EQ(text_at(t, 2, 3), "$A$9 + A$1:$A9");
    EXPECT_EQ(text_at(t, 3, 3), "7:9");
    EXPECT_EQ(text_at(t, 4, 3), "Sheet1!A1:B11");
    EXPECT_EQ(text_at(t, 7, 3), "Sheet2!A7+A1");  // moved, naming nothing that moved
    // The moved formula is tracked at its new place with its new reference.
    EXPECT_TRUE(tracked(t, 12, 1));
    // Every form reads what its text names: the unparsed one, whole rows and ranges too.
    EXPECT_EQ(dependents(t, 9, 1), (std::vector{cell_range(t, 1, 3), cell_range(t, 2, 3), cell_range(t, 3, 3),
                                                cell_range(t, 4, 3), cell_range(t, 12, 1)}));
    EXPECT_EQ(dependents(t, 7, 1),
              (std::vector{cell_range(t, 2, 3), cell_range(t, 3, 3), cell_range(t, 4, 3), cell_range(t, 12, 1)}));
    EXPECT_EQ(dependents(t, 1, 1),
              (std::vector{cell_range(t, 2, 3), cell_range(t, 4, 3), cell_range(t, 7, 3), cell_range(t, 12, 1)}));
    // The tokens name the same cells as the text: set again, they are equal.
    const auto tokens = t.get_formula_cell(12, 1)->tokens;
    ASSERT_TRUE(t.set_formula(12, 1, text_at(t, 12, 1)));
    ASSERT_EQ(tokens.size(), t.get_formula_cell(12, 1)->tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) EXPECT_EQ(tokens[i].operand, t.get_formula_cell(12, 1)->tokens[i].operand) << i;
}

// A row shift passes over a formula above it when it reads no row from the
// shift down: the last row read on its own sheet, or none to tell.
TEST(formula_rewrite, the_last_row_a_formula_reads_on_its_sheet) {
    constexpr int unsure = std::numeric_limits<int>::max();
    book_t book;
    Table& t = book.add("Sheet1");
    book.add("Sheet2");
    ASSERT_TRUE(t.add_defined_name("Rate", "Sheet1!$B$2", {}, workbook_scope));
    const struct {
        const char* text;
        int last;
    } rows[] = {
        {"A1+A7+SUM(A4:A8)", 8},      {"SUM(B$3:$B2)", 3},        {"Sheet2!A900+A2", 2},
        {"SUM(A:A)", 1048576},         {"4:6", 6},                 {"SUM(Sheet1:Sheet2!A5)", unsure},
        {"Rate*2", unsure},            {"OFFSET(A1,2,0)", unsure}, {"NOW()+A2", unsure},
        {"SUM(T[Qty])", unsure},       {"[1]Sheet1!A1+A2", unsure},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(t.set_formula(1, 5, r.text)) << r.text;
        const auto* cell = t.get_formula_cell(1, 5);
        ASSERT_NE(cell, nullptr) << r.text;
        const int last = cell->parsed ? vex::mta::formula::last_row_read(t.get_formula_model()->context(),
                                                                          cell->position(), cell->tokens)
                                      : unsure;
        EXPECT_EQ(last, r.last) << r.text;
    }
}

TEST(formula_rewrite, deleted_references_become_ref_errors) {
    book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_formula(1, 5, "B1+C1"));
    ASSERT_TRUE(t.set_formula(2, 5, "SUM(A1:C1)+SUM(B1:B3)"));
    ASSERT_TRUE(t.set_formula(3, 5, "Sheet1!$B$2*2"));
    ASSERT_TRUE(t.shift_range_left(1, 1048576, 2, 2));
    EXPECT_EQ(text_at(t, 1, 4), "#REF!+B1");
    EXPECT_EQ(text_at(t, 2, 4), "SUM(A1:B1)+SUM(#REF!)");
    EXPECT_EQ(text_at(t, 3, 4), "Sheet1!#REF!*2");
    const auto& tokens = t.get_formula_cell(1, 4)->tokens;
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].opcode, op_error);
    EXPECT_EQ(dependents(t, 1, 2), (std::vector{cell_range(t, 1, 4), cell_range(t, 2, 4)}));

    // Rows deleted within a band of columns: a range reaching outside it stays.
    ASSERT_TRUE(t.set_formula(20, 1, "A25+B25+A21:A30+A21:B30"));
    ASSERT_TRUE(t.shift_range_up(1, 1, 22, 23));
    EXPECT_EQ(text_at(t, 20, 1), "A23+B25+A21:A28+A21:B30");
}

TEST(formula_rewrite, other_sheets_follow_the_changed_one) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    Table& s2 = book.add("Sheet2");
    ASSERT_TRUE(s2.set_formula(1, 1, "Sheet1!B3+B3"));
    ASSERT_TRUE(s2.set_formula(2, 1, "'Sheet1'!B3:C4&Sheet1!B3"));  // unparsed
    ASSERT_TRUE(s1.set_formula(5, 5, "Sheet2!B3"));
    ASSERT_TRUE(s1.shift_range_right(1, 1048576, 2, 1));
    EXPECT_EQ(text_at(s2, 1, 1), "Sheet1!C3+B3");
    EXPECT_EQ(text_at(s2, 2, 1), "'Sheet1'!C3:D4&Sheet1!C3");
    EXPECT_EQ(text_at(s1, 5, 6), "Sheet2!B3");
    EXPECT_EQ(dependents(s1, 3, 3), (std::vector{cell_range(s2, 1, 1), cell_range(s2, 2, 1)}));
    EXPECT_TRUE(dependents(s1, 3, 2).empty());
    // The formula that moved still reads Sheet2!B3.
    EXPECT_EQ(dependents(s2, 3, 2), (std::vector{cell_range(s1, 5, 6), cell_range(s2, 1, 1)}));
}

TEST(formula_rewrite, a_shared_group_stays_consistent) {
    book_t book;
    Table& t = book.add("Sheet1");
    auto* model = t.get_formula_model();
    const int32_t grid = int32_t(t.sheet_id());
    for (int row : {2, 3}) {
        vex::mta::formula::formula_attributes_t a;
        a.type = 1;
        a.shared_index = 0;
        if (row == 2) a.ref = {{grid, 2, 2, 1, 0, 0}, {grid, 3, 2, 1, 0, 0}};
        auto* cell = new vex::mta::formula::formula_cell(vex::coord_t{grid, row, 2, 0, 0, 0}, row == 2 ? "A2*2" : "", a);
        model->import_formula(cell);
    }
    model->parse_imported();
    ASSERT_TRUE(tracked(t, 2, 2) && tracked(t, 3, 2));
    ASSERT_TRUE(t.shift_range_down(1, 16384, 1, 1));
    EXPECT_EQ(text_at(t, 3, 2), "A3*2");
    EXPECT_EQ(text_at(t, 4, 2), "");
    const auto& a = t.get_formula_cell(3, 2)->attributes();
    EXPECT_EQ(std::pair(a.ref.first.row, a.ref.last.row), std::pair(3, 4));
    EXPECT_EQ(t.get_formula_cell(3, 2)->tokens[0].operand, t.get_formula_cell(4, 2)->tokens[0].operand);
    EXPECT_EQ(dependents(t, 4, 1), std::vector{cell_range(t, 4, 2)});
    EXPECT_EQ(model->shared_formula(0)->text, "A3*2");
    EXPECT_EQ(model->shared_formula(0)->master.row, 3);
}

TEST(defined_name_rewrite, absolute_references_follow_deleted_columns_and_rows) {
    const struct {
        bool rows;
        int band1, band2, first, last;
        const char* before;
        const char* after;
    } cases[] = {
        {false, 1, 1048576, 3, 3, "Sheet1!$D$5", "Sheet1!$C$5"},
        {false, 1, 1048576, 3, 3, "Sheet1!$C$5", "Sheet1!#REF!"},
        {false, 1, 1048576, 3, 3, "Sheet1!D5", "Sheet1!D5"},
        {false, 1, 4, 3, 3, "Sheet1!$D$5", "Sheet1!$D$5"},
        {false, 1, 10, 3, 3, "Sheet1!$E$1:$F$2", "Sheet1!$D$1:$E$2"},
        {false, 1, 10, 3, 3, "Sheet1!$B$1:$D$2", "Sheet1!$B$1:$C$2"},
        {false, 1, 10, 3, 3, "Sheet1!$C$1:$C$2", "Sheet1!#REF!"},
        // A range the band cuts across stays; one wholly inside it moves.
        {false, 1, 4, 3, 3, "Sheet1!$E$1:$F$20", "Sheet1!$E$1:$F$20"},
        {false, 1, 20, 3, 3, "Sheet1!$E$1:$F$20", "Sheet1!$D$1:$E$20"},
        {false, 1, 4, 3, 3, "Sheet1!$E$1:F20", "Sheet1!$E$1:F20"},
        {false, 1, 4, 3, 3, "Sheet1!E1:$F$20", "Sheet1!E1:$F$20"},
        {false, 1, 4, 3, 3, "Sheet1!$C$1:D20", "Sheet1!$C$1:D20"},
        {true, 1, 2, 2, 3, "Sheet1!$A$5:C9", "Sheet1!$A$5:C9"},
        {false, 1, 1048576, 3, 3, "Sheet2!$D$5", "Sheet2!$D$5"},
        {true, 1, 16384, 2, 3, "Sheet1!$A$5", "Sheet1!$A$3"},
        {true, 1, 16384, 2, 3, "Sheet1!$A$2", "Sheet1!#REF!"},
        {true, 1, 16384, 2, 3, "Sheet1!$A$1:$B$9*2", "Sheet1!$A$1:$B$7*2"},
        {true, 1, 16384, 2, 3, "SUM(Sheet1!$A$5,'Sheet1'!$B$6)", "SUM(Sheet1!$A$3,'Sheet1'!$B$4)"},
    };
    for (const auto& c : cases) {
        book_t book;
        Table& s1 = book.add("Sheet1");
        book.add("Sheet2");
        ASSERT_TRUE(s1.set_defined_name({"n", workbook_scope}, c.before)) << c.before << ": " << last_message();
        auto* names = s1.get_defined_names();
        const auto tokens_before = *names->tokens_of({"n", workbook_scope});
        if (c.rows)
            names->on_delete_rows(s1, c.band1, c.band2, c.first, c.last);
        else
            names->on_delete_cols(s1, c.band1, c.band2, c.first, c.last);
        EXPECT_EQ(names->expression_at(0), c.after) << c.before;
        // The tokens say what the text says.
        ASSERT_TRUE(s1.set_defined_name({"check", workbook_scope}, c.after) ||
                    std::string(c.after).find("#REF!") != std::string::npos);
        if (const auto* expected = names->tokens_of({"check", workbook_scope})) {
            const auto& got = *names->tokens_of({"n", workbook_scope});
            ASSERT_EQ(got.size(), expected->size()) << c.before;
            for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].operand, (*expected)[i].operand) << c.before;
        } else {
            const auto& got = *names->tokens_of({"n", workbook_scope});
            EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](const auto& t) { return t.opcode == op_error; }));
        }
    }
}

// A range of one absolute corner that lies wholly in the deleted block is gone.
TEST(defined_name_rewrite, a_range_with_one_absolute_corner_inside_the_deleted_block) {
    for (const char* text : {"Sheet1!$C$1:D2", "Sheet1!C$1:$D$2"}) {
        book_t book;
        Table& s1 = book.add("Sheet1");
        ASSERT_TRUE(s1.set_defined_name({"n", workbook_scope}, text)) << text << ": " << last_message();
        auto* names = s1.get_defined_names();
        names->on_delete_cols(s1, 1, 1048576, 3, 4);
        EXPECT_EQ(names->expression_at(0), "Sheet1!#REF!") << text;
    }
}

TEST(defined_name_rewrite, names_get_tokens_and_refusals_change_nothing) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    vex::set_run_message("");
    EXPECT_FALSE(s1.set_defined_name({"bare", workbook_scope}, "A1:A10"));
    EXPECT_EQ(last_message(), "Please add the sheet name and '!' before the cell and range references.");
    EXPECT_FALSE(s1.set_defined_name({"bad", workbook_scope}, "1+"));
    EXPECT_FALSE(s1.set_defined_name({"bad", workbook_scope}, "Nothing"));
    EXPECT_EQ(last_message(), "Defined name parsing error.");
    // The reader's path keeps any text; a parsable one gets its tokens.
    vex::set_run_message("kept");
    EXPECT_TRUE(s1.add_defined_name("Loaded", "Sheet1!$B$2", {}, workbook_scope));
    EXPECT_TRUE(s1.add_defined_name("Broken", "[1]Sheet1!#REF!", {}, workbook_scope));
    EXPECT_EQ(last_message(), "kept");
    EXPECT_EQ(s1.get_defined_names()->tokens_of({"Loaded", workbook_scope})->size(), 1u);
    EXPECT_TRUE(s1.get_defined_names()->tokens_of({"Broken", workbook_scope})->empty());
    // A formula may use a name once it is defined.
    EXPECT_TRUE(s1.set_formula(1, 1, "Loaded*2"));
    EXPECT_TRUE(s1.get_formula_cell(1, 1)->parsed);

    s1.get_defined_names()->on_delete_cols(s1, 1, 1048576, 0, 2);
    EXPECT_EQ(last_message(), "Delete column out of range.");
    EXPECT_EQ(s1.get_defined_names()->expression_at(0), "Sheet1!$B$2");
    ASSERT_TRUE(s1.shift_range_up(1, 16384, 1, 1));
    EXPECT_EQ(s1.get_defined_names()->expression_at(0), "Sheet1!$B$1");
    ASSERT_TRUE(s1.shift_range_down(1, 16384, 1, 3));
    EXPECT_EQ(s1.get_defined_names()->expression_at(0), "Sheet1!$B$4");
    EXPECT_EQ(s1.get_defined_names()->expression_at(1), "[1]Sheet1!#REF!");
}

TEST(hyperlink_address, links_are_classified_by_the_formula_parser) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    book.add("Sheet2");
    ASSERT_TRUE(s1.set_defined_name({"Totals", workbook_scope}, "Sheet1!$A$1:$A$3"));
    const std::pair<const char*, bool> cases[] = {
        {"Sheet2!A1", false}, {"B3:C4", false}, {"Totals", false}, {"https://example.com/a?b=1", true},
        {"SUM(1,2", true},    {"A1+1", true},   {"99" "9999999999999999999999999999999999999999999999999999999999999999999999"
                                                "9999999999999999999999999999999999999999999999999999999999999999999999"
                                                "9999999999999999999999999999999999999999999999999999999999999999999999"
                                                "9999999999999999999999999999999999999999999999999999999999999999999999"
                                                "99999999999999999999999999999999999999999999999999999999999999999999",
                                          true},
    };
    size_t i = 0;
    for (const auto& [address, external] : cases) {
        vex::set_run_message("before");
        ASSERT_TRUE(s1.hyperlinks().add({{0, 1, 1, 1, 0, 0}, {0, 1, 1, 1, 0, 0}}, address));
        EXPECT_EQ(s1.hyperlinks().is_external(i++), external) << address;
        EXPECT_EQ(last_message(), "before") << address;
    }
}

TEST(sheet_rename_rewrite, qualifiers_naming_the_sheet_take_its_new_name) {
    book_t book;
    Table& s1 = book.add("Sheet1");
    book.add("Sheet3");
    auto& context = s1.get_formula_model()->context();
    const vex::coord_t origin{int32_t(s1.sheet_id()), 1, 1, 0, 0, 0};
    const struct {
        const char* text;
        const char* to;
        const char* renamed;  // "=" unchanged
    } rows[] = {
        {"sheet1!$A$1:B2+Sheet3!A1", "My Data", "'My Data'!$A$1:B2+Sheet3!A1"},
        {"'Sheet1'!A1:'Sheet1'!B2", "Data", "'Data'!A1:'Data'!B2"},
        {"Sheet1!A1:Sheet1!B2", "It's", "'It''s'!A1:'It''s'!B2"},
        {"SUM(Sheet1:Sheet3!A1)", "R2C2", "SUM('R2C2:Sheet3'!A1)"},
        {"SUM('Sheet1:Sheet3'!A1)", "Alpha", "SUM(Alpha:Sheet3!A1)"},
        {"SUM('Sheet3:Sheet1'!A1)", "My Data", "SUM('Sheet3:My Data'!A1)"},
        // A span quoted in parts is written quoted as one.
        {"SUM(Sheet3:'Sheet1'!A1)", "Neu 1", "SUM('Sheet3:Neu 1'!A1)"},
        {"SUM('Sheet1':Sheet3!A1)", "Data", "SUM(Data:Sheet3!A1)"},
        {"Sheet1!#REF!+1", "True", "'True'!#REF!+1"},
        {"Sheet1!1:3+Sheet1!B:B", "Data", "Data!1:3+Data!B:B"},
        {"\"Sheet1!A1\"&Sheet3!A1&A1", "Data", "="},
        {"'[1]Sheet1'!A1+[1]Sheet1!A1", "Data", "="},
    };
    for (const auto& row : rows) {
        const auto got = vex::mta::formula::rename_sheet_references(context, origin, row.text, "Sheet1", row.to);
        EXPECT_EQ(got ? *got : "=", row.renamed) << row.text;
    }
}

TEST(table_rename_rewrite, structured_references_follow_table_and_column_names) {
    book_t book;
    Table& t = book.add("Sheet1");
    auto& context = t.get_formula_model()->context();
    const vex::coord_t origin{int32_t(t.sheet_id()), 1, 1, 0, 0, 0};
    // The formulas stand in Tbl: "[Val]" alone names its column.
    t.tabledefs().add(0, "Tbl", {{int32_t(t.sheet_id()), 1, 1, 1, 0, 0}, {int32_t(t.sheet_id()), 4, 2, 1, 0, 0}});
    using change_t = vex::mta::formula::table_rename_t;
    const change_t table{"Tbl", "Sales", {}, {}, false};
    const change_t column{"Tbl", {}, "Val", "Net [EUR]", false};
    const change_t gone{"Tbl", {}, {}, {}, true};
    change_t lost{"Tbl"};  // Val deleted of Val, Qty, Tax
    lost.columns = {"Val", "Qty", "Tax"};
    lost.first_gone = lost.last_gone = 0;
    const struct {
        const char* text;
        const change_t& change;
        const char* rewritten;  // "=" unchanged
    } rows[] = {
        {"SUM(tbl[Val])+Tbl2[Val]", table, "SUM(Sales[Val])+Tbl2[Val]"},
        {"SUM(Tbl[val])", column, "SUM(Tbl[Net '[EUR']])"},
        {"Tbl[@Val]+Tbl[@ Qty ]", column, "Tbl[@[Net '[EUR']]]+Tbl[@ Qty ]"},
        {"SUM(Tbl[[#Data],[Val]:[Qty]])", column, "SUM(Tbl[[#Data],[Net '[EUR']]:[Qty]])"},
        {"SUM(Other[Val])&\"Tbl[Val]\"", column, "="},
        {"SUM(Tbl[Val],Tbl[#All])", gone, "SUM(#REF!,#REF!)"},
        {"SUBTOTAL(109,[Val])+[Qty]", column, "SUBTOTAL(109,[Net '[EUR']])+[Qty]"},
        {"SUBTOTAL(109,[Val])", table, "="},
        {"SUBTOTAL(109,[Val])", gone, "SUBTOTAL(109,#REF!)"},
        {"Tbl[[#This Row],Val]*[[#This Row], Qty]", column, "Tbl[[#This Row],[Net '[EUR']]]*[[#This Row], Qty]"},
        {"SUM(Tbl[Val])+Tbl[@Qty]+[[#This Row],val]", lost, "SUM(#REF!)+Tbl[@Qty]+#REF!"},
        {"SUM(Tbl[[Val]:[Tax]])+SUM(Tbl[[Tax]:[Qty]])", lost, "SUM(Tbl[[Qty]:[Tax]])+SUM(Tbl[[Tax]:[Qty]])"},
    };
    for (const auto& row : rows) {
        const auto got = vex::mta::formula::rewrite_table_references(context, origin, row.text, row.change);
        EXPECT_EQ(got ? *got : "=", row.rewritten) << row.text;
    }
}
