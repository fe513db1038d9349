// Defined names through the workbook: kept by the workbook, reached through
// its first worksheet.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <string>

using api_test::book_t;

TEST(workbook_names, a_book_without_sheets_has_none) {
    book_t b;
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", "Sheet1!$A$1", nullptr), 0);
    EXPECT_STREQ(run_msg(), "Cannot define a name as there is no worksheet available.");
    EXPECT_EQ(wb_defined_name_num(b.wb), 0);
    EXPECT_EQ(wb_get_defined_name(b.wb, 0, nullptr), nullptr);
    EXPECT_EQ(wb_get_local_name(b.wb, 0), nullptr);
    EXPECT_EQ(wb_get_defined_name_expr(b.wb, 0), nullptr);
    wb_delete_defined_name(b.wb, 0);
}

TEST(workbook_names, names_are_listed_in_order) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    EXPECT_EQ(wb_set_defined_name(b.wb, nullptr, "A!$A$1", nullptr), 0);
    EXPECT_STREQ(run_msg(), "The defined name can not be empty.");
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", nullptr, nullptr), 0);
    EXPECT_STREQ(run_msg(), "The defined name expression can not be empty.");
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", "A!$A$1", "Nowhere"), 0);
    EXPECT_STREQ(run_msg(), "No such local name.");
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", "", nullptr), 0);
    EXPECT_STREQ(run_msg(), "Defined name parsing error.");
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", "A!$A$1", "bad \xC3("), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");

    ASSERT_EQ(wb_set_defined_name(b.wb, "total", "A!$A$1", nullptr), 1);
    ASSERT_EQ(wb_set_defined_name(b.wb, "part", "A!$B$2", ""), 1);
    ASSERT_EQ(wb_set_defined_name(b.wb, "rest", "A!$C$3", nullptr), 1);
    EXPECT_EQ(wb_set_defined_name(b.wb, "total", "A!$A$2", nullptr), 0);
    EXPECT_STREQ(run_msg(), "Duplicate defined name.");
    EXPECT_EQ(wb_defined_name_num(b.wb), 3);

    int local = 7;
    EXPECT_STREQ(wb_get_defined_name(b.wb, 0, &local), "total");
    EXPECT_EQ(local, 0);
    EXPECT_EQ(wb_get_local_name(b.wb, 0), nullptr);
    EXPECT_STREQ(wb_get_defined_name(b.wb, 1, nullptr), "part");
    EXPECT_STREQ(wb_get_defined_name_expr(b.wb, 1), "A!$B$2");
    EXPECT_EQ(wb_get_defined_name(b.wb, 3, &local), nullptr);
    EXPECT_EQ(wb_get_defined_name(b.wb, -1, nullptr), nullptr);
    EXPECT_EQ(wb_get_defined_name_expr(b.wb, 3), nullptr);
    EXPECT_EQ(wb_get_local_name(b.wb, -1), nullptr);

    wb_delete_defined_name(b.wb, 3);
    wb_delete_defined_name(b.wb, -1);
    EXPECT_EQ(wb_defined_name_num(b.wb), 3);
    wb_delete_defined_name(b.wb, 1);
    EXPECT_EQ(wb_defined_name_num(b.wb), 2);
    EXPECT_STREQ(wb_get_defined_name_expr(b.wb, 0), "A!$A$1");
    EXPECT_STREQ(wb_get_defined_name(b.wb, 1, nullptr), "rest");
    // The deleted name may come back.
    EXPECT_EQ(wb_set_defined_name(b.wb, "part", "A!$D$4", nullptr), 1);
    EXPECT_STREQ(wb_get_defined_name_expr(b.wb, 2), "A!$D$4");
}

// The workbook owns its names, shared by its sheets: a name local to another
// sheet is found, and the first sheet going takes neither kind with it.
TEST(workbook_names, local_names_and_the_first_sheet_going) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    ASSERT_EQ(wb_set_defined_name(b.wb, "here", "B!$A$1", "B"), 1) << run_msg();
    ASSERT_EQ(wb_set_defined_name(b.wb, "all", "A!$A$1", nullptr), 1) << run_msg();
    wb_delete_sheet(b.wb, 0);
    ASSERT_EQ(wb_defined_name_num(b.wb), 2);
    int local = -1;
    EXPECT_STREQ(wb_get_defined_name(b.wb, 0, &local), "here");
    EXPECT_EQ(local, 1);
    EXPECT_STREQ(wb_get_local_name(b.wb, 0), "B");
    EXPECT_STREQ(wb_get_defined_name(b.wb, 1, &local), "all");
    EXPECT_EQ(local, 0);
}

TEST(workbook_names, one_name_in_two_scopes) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    ASSERT_EQ(wb_set_defined_name(b.wb, "rate", "A!$A$1", nullptr), 1) << run_msg();
    ASSERT_EQ(wb_set_defined_name(b.wb, "rate", "B!$A$1", "B"), 1) << run_msg();
    ASSERT_EQ(wb_set_defined_name(b.wb, "rate", "A!$B$1", "A"), 1) << run_msg();
    EXPECT_EQ(wb_set_defined_name(b.wb, "rate", "B!$C$1", "B"), 0);
    EXPECT_STREQ(run_msg(), "Duplicate defined name.");
    ASSERT_EQ(wb_defined_name_num(b.wb), 3);

    // Deleting the local one of sheet B leaves the other two in their order.
    EXPECT_STREQ(wb_get_local_name(b.wb, 1), "B");
    wb_delete_defined_name(b.wb, 1);
    ASSERT_EQ(wb_defined_name_num(b.wb), 2);
    int local = -1;
    EXPECT_STREQ(wb_get_defined_name(b.wb, 0, &local), "rate");
    EXPECT_EQ(local, 0);
    EXPECT_STREQ(wb_get_defined_name(b.wb, 1, &local), "rate");
    EXPECT_EQ(local, 1);
    EXPECT_STREQ(wb_get_local_name(b.wb, 1), "A");
    EXPECT_STREQ(wb_get_defined_name_expr(b.wb, 1), "A!$B$1");
    // The workbook-wide one goes the same way.
    wb_delete_defined_name(b.wb, 0);
    EXPECT_EQ(wb_defined_name_num(b.wb), 1);
    EXPECT_STREQ(wb_get_local_name(b.wb, 0), "A");
}

// A table's name or display name, on whatever sheet it stands, is no name to
// define, in any scope; once the table goes with its rows, it is.
TEST(workbook_names, table_names_of_any_sheet_are_refused_while_the_table_stands) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "B");
    plover_tabledef_t* td = ws_add_tabledef(ws, "Sales", 1, 1, 3, 2);
    ASSERT_NE(td, nullptr) << run_msg();
    td_set_display_name(td, "Shown");
    for (const char* scope : {static_cast<const char*>(nullptr), "A"})
        for (const char* name : {"sales", "SHOWN"}) {
            EXPECT_EQ(wb_set_defined_name(b.wb, name, "A!$A$1", scope), 0) << name;
            EXPECT_STREQ(run_msg(), "Invalid defined name.") << name;
        }
    // A local name's sheet is named in its own spelling.
    EXPECT_EQ(wb_set_defined_name(b.wb, "x", "A!$A$1", "b"), 0);
    EXPECT_STREQ(run_msg(), "No such local name.");
    ASSERT_EQ(ws_delete_row(ws, 1, 3), 1) << run_msg();
    EXPECT_EQ(wb_set_defined_name(b.wb, "sales", "A!$A$1", "B"), 1) << run_msg();
    EXPECT_EQ(wb_set_defined_name(b.wb, "Shown", "A!$A$1", nullptr), 1) << run_msg();
}

// A reference must name its sheet, wherever it stands in the expression; a
// refused name leaves the list as it was.
TEST(workbook_names, references_need_their_sheet_name) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    ASSERT_EQ(wb_set_defined_name(b.wb, "kept", "A!$A$1", nullptr), 1) << run_msg();
    const char* unqualified[] = {"$A$1", "A1:B2", "A!$A$1+B2", "SUM(A1:A3)", "$1:$1", "$C:$D", "A!$A$1,$B$2"};
    for (const char* expression : unqualified)
        for (const char* local : {static_cast<const char*>(nullptr), "B"}) {
            EXPECT_EQ(wb_set_defined_name(b.wb, "bare", expression, local), 0) << expression;
            EXPECT_STREQ(run_msg(), "Please add the sheet name and '!' before the cell and range references.")
                << expression;
        }
    EXPECT_EQ(wb_defined_name_num(b.wb), 1);
    const char* qualified[] = {"'A'!A1:B2", "SUM(A!$A$1:$A$3)+B!C3", "B!$1:$1", "A!$A:$A,A!$1:$1", "42", "kept*2"};
    int n = 1;
    for (const char* expression : qualified) {
        const std::string name = "ok_" + std::to_string(n);
        EXPECT_EQ(wb_set_defined_name(b.wb, name.c_str(), expression, nullptr), 1) << expression << ": " << run_msg();
        EXPECT_STREQ(wb_get_defined_name_expr(b.wb, n), expression);
        ++n;
    }
}

// Names other applications refuse, or would read as a cell and shift with its rows.
TEST(workbook_names, names_others_would_refuse_are_refused) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    const std::string too_long(256, 'n');
    for (const char* bad : {"", "A1", "N1", "xfd1048576", "R1C1", "r", "C", "RC", "R2C3", "has space", "1st", ".x",
                            "a-b", "a!b", "a\tb", "a\"b", too_long.c_str()}) {
        EXPECT_EQ(wb_set_defined_name(b.wb, bad, "A!$A$1", nullptr), 0) << bad;
        EXPECT_STREQ(run_msg(), "Invalid defined name.") << bad;
    }
    EXPECT_EQ(wb_defined_name_num(b.wb), 0);
    const std::string longest(255, 'n');
    for (const char* good : {"_x", "\\x", "x.y", "n1x", "XFE1", "A1048577", "R1C16385", "été", "Tax_Rate?",
                             "_xlnm.Print_Area", longest.c_str()})
        EXPECT_EQ(wb_set_defined_name(b.wb, good, "A!$A$1", nullptr), 1) << good << ": " << run_msg();
}

// Valid expressions are kept and their references follow inserted rows.
TEST(workbook_names, valid_expressions_follow_inserted_rows) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Sheet1");
    const struct {
        const char* expression;
        const char* after;  // once two rows are inserted at the top
    } cases[] = {
        {"IF(Sheet1!$A$1>0,TRUE,FALSE)", "IF(Sheet1!$A$3>0,TRUE,FALSE)"},
        {"Sheet1!$A$1=TRUE", "Sheet1!$A$3=TRUE"},
        {"TRUE", "TRUE"},
        {"{TRUE,FALSE}", "{TRUE,FALSE}"},
        {"+Sheet1!$A$1+Sheet1!$B$1", "+Sheet1!$A$3+Sheet1!$B$3"},
        {"-+1", "-+1"},
        {"SUM(+Sheet1!$C$2)", "SUM(+Sheet1!$C$4)"},
        {"Sheet1!$A$1+\nSheet1!$B$1", "Sheet1!$A$3+\nSheet1!$B$3"},
        {"Sheet1!$A$1*\r\n\tSheet1!$B$1", "Sheet1!$A$3*\r\n\tSheet1!$B$3"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "name_" + std::to_string(n++);
        ASSERT_EQ(wb_set_defined_name(b.wb, name.c_str(), c.expression, nullptr), 1) << c.expression << ": " << run_msg();
    }
    ASSERT_EQ(ws_insert_row(ws, 1, 2), 1) << run_msg();
    n = 0;
    for (const auto& c : cases) EXPECT_STREQ(wb_get_defined_name_expr(b.wb, n++), c.after) << c.expression;
}

// Cells deleted in a band of rows: a name the band cuts across keeps its
// cells, one wholly inside the band follows them.
TEST(workbook_names, a_band_moves_only_the_ranges_wholly_inside_it) {
    const struct {
        int last_row;  // of the band that starts at row 1
        const char* expression;
        const char* after;  // once C1:C<last_row> is deleted, cells moving left
    } cases[] = {
        {4, "Sheet1!$E$1:$F$20", "Sheet1!$E$1:$F$20"},
        {20, "Sheet1!$E$1:$F$20", "Sheet1!$D$1:$E$20"},
        {4, "Sheet1!$E$1:F20", "Sheet1!$E$1:F20"},
        {20, "Sheet1!$E$1:F20", "Sheet1!$D$1:F20"},
    };
    for (const auto& c : cases) {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Sheet1");
        ASSERT_EQ(wb_set_defined_name(b.wb, "area", c.expression, nullptr), 1) << run_msg();
        ASSERT_EQ(ws_shift_range_left(ws, 1, c.last_row, 4, 1), 1) << run_msg();
        EXPECT_STREQ(wb_get_defined_name_expr(b.wb, 0), c.after) << c.expression << " rows 1-" << c.last_row;
    }
}

// Names alike but for case, in any script, are one name within a scope (the
// refusals of ASCII ones are in refused_arguments); another scope may hold
// them, and a name that only begins with TRUE or FALSE is a name.
TEST(workbook_names, names_alike_but_for_case_within_a_scope) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    const struct {
        const char* name;
        const char* local;
        int added;
    } cases[] = {
        {"Été", nullptr, 1}, {"éTÉ", nullptr, 0}, {"ÉTÉ", "B", 1}, {"TRUE1", nullptr, 1}, {"FALSE.x", "B", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(wb_set_defined_name(b.wb, c.name, "A!$A$1", c.local), c.added) << c.name << ": " << run_msg();
}
