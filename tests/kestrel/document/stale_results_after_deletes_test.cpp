// An edit that deletes cells a formula reads, cuts a range it reads, or takes
// away a name or a sheet it reads drops the formula's result and its
// dependents', and the save asks readers to recompute; formulas whose cells
// only moved keep theirs.

#include "plover.h"
#include "tests/kestrel/document/stale_results_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

using namespace package_test;

TEST(stale_results_after_deletes, a_formula_reading_what_an_edit_took_loses_its_result) {
    // Sheet1 A1:A3 1, 2, 3, Sheet2!A3 1, Val Sheet1!$A$1, Rng Sheet1!$A$1:$A$3;
    // J1 the formula (result 7), K1 J1+1 (8). Each edit gives where J1 goes.
    const struct {
        std::function<void(plover_workbook_t*, plover_worksheet_t*)> edit;
        const char* at;
    } edits[] = {
        {[](auto*, auto* ws) { ws_delete_row(ws, 3, 3); }, "J1"},
        {[](auto*, auto* ws) { ws_delete_col(ws, 1, 1); }, "I1"},
        {[](auto*, auto* ws) { ws_shift_range_up(ws, 1, 1, 4, 1); }, "J1"},
        {[](auto*, auto* ws) { ws_shift_range_left(ws, 2, 3, 2, 1); }, "J1"},
        {[](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, "J2"},
        {[](auto*, auto* ws) { ws_delete_row(ws, 5, 5); }, "J1"},
        {[](auto* wb, auto*) { while (wb_defined_name_num(wb) > 0) wb_delete_defined_name(wb, 0); }, "J1"},
        {[](auto* wb, auto*) { wb_delete_sheet(wb, 1); }, "J1"},
    };
    // k kept, d dropped. A span of sheets moves with none of them: what an edit
    // moves inside it is read no more.
    const std::pair<const char*, std::string> rows[] = {
        {"A3*10", "ddddkkkk"}, {"SUM(A1:A3)", "ddddkkkk"}, {"SUM(A:A)", "ddddddkk"}, {"Val*10", "kdkkkkdk"},
        {"SUM(Rng)", "ddddkkdk"}, {"Sheet2!A3*10", "kkkkkkkd"}, {"SUM(Sheet1:Sheet2!A3)", "dddddkkd"},
        {"A3&\"x\"", "ddddkkkk"},
    };
    for (const auto& [formula, outcomes] : rows) {
        std::string got;
        for (size_t e = 0; e < outcomes.size(); ++e) {
            plover_document_t* doc = doc_create();
            plover_workbook_t* wb = doc_get_workbook(doc);
            plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
            ws_set_num(wb_add_worksheet(wb, "Sheet2"), 3, 1, 1);
            for (int row = 1; row <= 3; ++row) ws_set_num(ws, row, 1, row);
            wb_set_defined_name(wb, "Val", "Sheet1!$A$1", nullptr);
            wb_set_defined_name(wb, "Rng", "Sheet1!$A$1:$A$3", nullptr);
            ws_set_formula(ws, 1, 10, formula);
            ws_set_formula(ws, 1, 11, "J1+1");
            ASSERT_EQ(ws_set_formula_num(ws, 1, 10, 7) + ws_set_formula_num(ws, 1, 11, 8), 2) << run_msg();
            edits[e].edit(wb, ws);
            int row = 0, col = 0;
            a1_to_row_col(edits[e].at, &row, &col);
            const auto num = [&](int c) { return ws_cell_type(ws, row, c) == CELLTYPE_NUMBER ? ws_get_num(ws, row, c) : 0; };
            scratch_dir dir;
            const entries_t copy = saved(doc, dir);
            const bool full = calc_pr(copy) == "<calcPr fullCalcOnLoad=\"1\"/>";
            const bool kept = cell_xml(copy, edits[e].at).find("<v>7</v>") != std::string::npos;
            got += num(col) == 7 && num(col + 1) == 8 && kept && !full ? 'k'
                   : num(col) + num(col + 1) == 0 && !kept && full     ? 'd'
                                                                       : '?';
            doc_release(doc);
        }
        EXPECT_EQ(got, outcomes) << formula;
    }
}

// "A!#REF!", whose cells went before their sheet, loses the sheet's name with it.
TEST(stale_results_after_deletes, a_deleted_sheet_leaves_no_name_of_it_in_references_already_gone) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* a = wb_add_worksheet(wb, "A");
    ws_set_formula(wb_add_worksheet(wb, "B"), 1, 1, "A!A3*2");
    wb_set_defined_name(wb, "Pt", "A!$A$3", nullptr);
    ws_delete_row(a, 3, 3);
    wb_delete_sheet(wb, 0);
    EXPECT_EQ(std::string(ws_get_formula_expr(sheet(doc, 0), 1, 1)), "#REF!*2");
    scratch_dir dir;
    EXPECT_EQ(element(find(saved(doc, dir), "xl/workbook.xml"), "<definedNames>", "</definedNames>"),
              "<definedNames><definedName name=\"Pt\">#REF!</definedName></definedNames>");
    doc_release(doc);
}

// A span of sheets reads the sheets between its ends in the workbook's order,
// keeps its text through edits of one sheet, and names no sheet that is gone.
TEST(stale_results_after_deletes, a_span_of_sheets_reads_the_sheets_between_its_ends) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* s1 = wb_add_worksheet(wb, "S1");
    wb_add_worksheet(wb, "S3");
    plover_worksheet_t* s2 = wb_insert_worksheet(wb, 1, "S2");  // made last, placed between
    plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
    ASSERT_EQ(ws_set_formula(out, 1, 1, "SUM(S1:S3!A1)"), 1) << run_msg();
    const auto dropped = [&] {
        const bool gone = ws_cell_type(out, 1, 1) != CELLTYPE_NUMBER;
        ws_set_formula_num(out, 1, 1, 5);
        return gone;
    };
    ws_set_formula_num(out, 1, 1, 5);
    ws_set_num(s2, 1, 1, 4);
    EXPECT_TRUE(dropped());
    ws_insert_row(s1, 1, 1);
    EXPECT_TRUE(dropped());
    ws_delete_row(s1, 5, 5);
    EXPECT_FALSE(dropped());
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), "SUM(S1:S3!A1)");
    // Sheets moved into or out of the span, or inserted in it, change what it reads.
    wb_shift_sheet(wb, 3, 0);  // Out, S1, S2, S3
    EXPECT_FALSE(dropped());
    wb_shift_sheet(wb, 2, 3);  // Out, S1, S3, S2
    EXPECT_TRUE(dropped());
    ws_set_num(s2, 1, 1, 6);
    EXPECT_FALSE(dropped());
    wb_shift_sheet(wb, 3, 2);  // Out, S1, S2, S3
    EXPECT_TRUE(dropped());
    plover_worksheet_t* s4 = wb_insert_worksheet(wb, 2, "S4");
    EXPECT_TRUE(dropped());
    ws_set_num(s4, 1, 1, 7);
    EXPECT_TRUE(dropped());
    wb_delete_sheet(wb, 2);  // Out, S1, S2, S3 again
    EXPECT_TRUE(dropped());
    wb_delete_sheet(wb, 2);
    EXPECT_TRUE(dropped());
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), "SUM(S1:S3!A1)");
    wb_delete_sheet(wb, 2);
    EXPECT_TRUE(dropped());
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), "SUM(S1!A1)");
    doc_release(doc);
}

// A structured reference reads its table wherever the table stands: a row
// deleted from it or inserted in it drops the result, and the widened table is
// what is read next.
TEST(stale_results_after_deletes, a_table_reference_reads_its_table_as_rows_come_and_go) {
    const struct {
        std::function<void(plover_worksheet_t*)> edit;
        bool dropped;
    } rows[] = {
        {[](auto* ws) { ASSERT_EQ(ws_delete_row(ws, 4, 4), 1) << run_msg(); }, true},
        {[](auto* ws) { ws_insert_row(ws, 3, 1); }, true},
        {[](auto* ws) { ws_insert_row(ws, 3, 1), ws_set_formula_num(ws, 1, 8, 6), ws_set_num(ws, 5, 4, 50); }, true},
        {[](auto* ws) { ws_insert_row(ws, 5, 1), ws_set_num(ws, 5, 4, 50); }, false},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        ws_set_text(ws, 1, 4, "Val");
        for (int r = 2; r <= 4; ++r) ws_set_num(ws, r, 4, r - 1);
        ASSERT_NE(ws_add_tabledef(ws, "Tbl", 1, 4, 4, 4), nullptr) << run_msg();
        ws_set_formula(ws, 1, 8, "SUM(Tbl[Val])");
        ws_set_formula_num(ws, 1, 8, 6);
        rows[i].edit(ws);
        EXPECT_EQ(ws_cell_type(ws, 1, 8) != CELLTYPE_NUMBER, rows[i].dropped) << i;
        doc_release(doc);
    }
}

// Loaded: S!A1:A2 a group filled down from SUM(A:C!B1), B2 of A, B and C 10, 20
// and 40 (A2 70). A follower reads its span as the group's text at its cell:
// a sheet of the span gone, moved out or inserted in it drops its result too.
TEST(stale_results_after_deletes, followers_of_a_span_group_follow_the_sheets_of_the_span) {
    const struct {
        const char* what;
        std::function<void(plover_workbook_t*)> edit;
    } rows[] = {
        {"middle sheet deleted", [](auto* wb) { wb_delete_sheet(wb, 2); }},
        {"last sheet deleted", [](auto* wb) { wb_delete_sheet(wb, 3); }},
        {"sheet inserted inside", [](auto* wb) { ws_set_num(wb_insert_worksheet(wb, 2, "N"), 2, 2, 100); }},
        {"sheet moved out", [](auto* wb) { wb_shift_sheet(wb, 2, 3); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        scratch_dir dir;
        const auto build = [](plover_workbook_t* wb) {
            wb_add_worksheet(wb, "S");
            for (const auto& [name, value] : {std::pair{"A", 10}, {"B", 20}, {"C", 40}}) {
                plover_worksheet_t* ws = wb_add_worksheet(wb, name);
                ws_set_num(ws, 1, 2, value / 10), ws_set_num(ws, 2, 2, value);
            }
        };
        plover_document_t* doc = loaded_with_sheet_data(
            dir, build, "xl/worksheets/sheet1.xml",
            "<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A2\" si=\"0\">SUM(A:C!B1)</f>"
            "<v>7</v></c></row><row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>70</v></c></row></sheetData>");
        ASSERT_NE(doc, nullptr) << run_msg();
        r.edit(doc_get_workbook(doc));
        plover_worksheet_t* s = sheet(doc, 0);
        const auto results = [&] {
            const std::string out = find(saved(doc, scratch_dir()), "xl/worksheets/sheet1.xml");
            std::string got;
            for (int row = 1; row <= 2; ++row) {
                const std::string ref = "A" + std::to_string(row);
                const bool written = element(out, "<c r=\"" + ref + "\"", "</c>").find("<v>") != std::string::npos;
                got += ws_cell_type(s, row, 1) == CELLTYPE_NUMBER || written ? 'v' : '-';
            }
            return got;
        };
        std::string got = results();
        // Given again, the results go when a cell the span still reads changes.
        ws_set_formula_num(s, 1, 1, 1), ws_set_formula_num(s, 2, 1, 2);
        ws_set_num(sheet(doc, 1), 1, 2, 5), ws_set_num(sheet(doc, 1), 2, 2, 50);
        got += results();
        EXPECT_EQ(got, "----");
        doc_release(doc);
    }
}

// Two documents of one shape open side by side: the other one released, or
// one of its sheets deleted, leaves this one's formulas reading their cells.
TEST(stale_results_after_deletes, another_document_going_leaves_the_readers_of_this_one) {
    const struct {
        const char* what;
        std::function<void(plover_document_t*)> edit;
    } rows[] = {
        {"released", [](auto* doc) { doc_release(doc); }},
        {"sheet read deleted", [](auto* doc) { wb_delete_sheet(doc_get_workbook(doc), 0), doc_release(doc); }},
        {"sheet of readers deleted", [](auto* doc) { wb_delete_sheet(doc_get_workbook(doc), 1), doc_release(doc); }},
    };
    // Sheet2 reads Sheet1!A1 alone, through a span and on its own sheet.
    const char* formulas[] = {"Sheet1!A1*2", "SUM(Sheet1:Sheet3!A1)", "A1+Sheet1!A1"};
    const auto build = [&](plover_document_t* doc) {
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* s1 = wb_add_worksheet(wb, "Sheet1");
        plover_worksheet_t* s2 = wb_add_worksheet(wb, "Sheet2");
        wb_add_worksheet(wb, "Sheet3");
        ws_set_num(s1, 1, 1, 1);
        for (int col = 2; col <= 4; ++col) ws_set_formula(s2, 1, col, formulas[col - 2]);
    };
    for (const auto& r : rows)
        for (const bool first : {true, false}) {
            SCOPED_TRACE(std::string(r.what) + (first ? ", made first" : ", made last"));
            plover_document_t* other = first ? doc_create() : nullptr;
            if (other) build(other);
            plover_document_t* doc = doc_create();
            build(doc);
            if (!other) build(other = doc_create());
            plover_worksheet_t* s2 = sheet(doc, 1);
            for (int col = 2; col <= 4; ++col) ws_set_formula_num(s2, 1, col, 5);
            r.edit(other);
            ws_set_num(sheet(doc, 0), 1, 1, 3);
            std::string got;
            for (int col = 2; col <= 4; ++col) got += ws_cell_type(s2, 1, col) == CELLTYPE_NUMBER ? 'k' : 'd';
            EXPECT_EQ(got, "ddd");
            doc_release(doc);
        }
}
