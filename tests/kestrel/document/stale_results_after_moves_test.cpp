// An edit that moves or resizes what a formula reads, or moves a formula that
// reads its own position, drops the formula's result though no value it reads
// changed; a range lying before the edit or moving whole keeps it. Once the
// result is given again, a value set in what the formula now reads drops it.

#include "plover.h"
#include "tests/kestrel/document/stale_results_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace package_test;

namespace {

struct at_t {
    int row = 0, col = 0;
};

at_t cell_at(const char* ref) {
    at_t at;
    a1_to_row_col(ref, &at.row, &at.col);
    return at;
}

// 'k' when the getter, the saved <v>, the copy's calcPr and a reload of it all
// keep the result, 'd' when they all show it dropped, '?' otherwise.
char outcome(plover_document_t* doc, const char* ref, double result) {
    const at_t at = cell_at(ref);
    plover_worksheet_t* ws = sheet(doc, 0);
    const bool held = ws_cell_type(ws, at.row, at.col) == CELLTYPE_NUMBER && ws_get_num(ws, at.row, at.col) == result;
    scratch_dir dir;
    const entries_t copy = saved(doc, dir);
    const bool full = calc_pr(copy) == "<calcPr fullCalcOnLoad=\"1\"/>";
    const bool written = cell_xml(copy, ref).find("<v>") != std::string::npos;
    // The document holds its saved file: the copy is read from another.
    write_zip(dir / "again.xlsx", copy);
    plover_document_t* again = doc_load((dir / "again.xlsx").c_str());
    const bool reloaded = again && ws_cell_type(sheet(again, 0), at.row, at.col) == CELLTYPE_NUMBER &&
                          ws_get_num(sheet(again, 0), at.row, at.col) == result;
    if (again) doc_release(again);
    if (held && written && !full && reloaded) return 'k';
    if (!held && !written && full && !reloaded) return 'd';
    return '?';
}

using edit_t = std::function<void(plover_worksheet_t*)>;

// A1:A3 1..3, B1:B5 1..5, C1:C3 100..300, D2 B2*C2 (6) and D3 B3*C3 (12),
// E1:E4 x, y, x, y; One names B2, Lines D2:D3, Col B2:B5; table T over J6:K9
// (x a, b, c; y 1, 2, 3).
plover_document_t* moves_book() {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    for (int r = 1; r <= 5; ++r) {
        if (r <= 3) ws_set_num(ws, r, 1, r), ws_set_num(ws, r, 3, 100 * r);
        if (r <= 4) ws_set_text(ws, r, 5, r % 2 ? "x" : "y");
        ws_set_num(ws, r, 2, r);
    }
    for (int r = 2; r <= 3; ++r) {
        ws_set_formula(ws, r, 4, ("B" + std::to_string(r) + "*C" + std::to_string(r)).c_str());
        ws_set_formula_num(ws, r, 4, 6 * (r - 1));
    }
    wb_set_defined_name(wb, "One", "Sheet1!$B$2", nullptr);
    wb_set_defined_name(wb, "Lines", "Sheet1!$D$2:$D$3", nullptr);
    wb_set_defined_name(wb, "Col", "Sheet1!$B$2:$B$5", nullptr);
    ws_set_text(ws, 6, 10, "x"), ws_set_text(ws, 6, 11, "y");
    for (int r = 7; r <= 9; ++r) ws_set_text(ws, r, 10, std::string(1, char('a' + r - 7)).c_str()), ws_set_num(ws, r, 11, r - 6);
    EXPECT_NE(ws_add_tabledef(ws, "T", 6, 10, 9, 11), nullptr) << run_msg();
    return doc;
}

} // namespace

TEST(stale_results_after_moves, edits_that_move_or_resize_what_a_formula_reads_drop_its_result) {
    // The formula goes to H5 with the result 7; the edit moves it to `now`;
    // then its result is given again and `then` set. `expected`: after the
    // edit, after the value set.
    const struct {
        const char* formula;
        edit_t edit;
        const char* now;
        const char* then;
        const char* expected;
    } rows[] = {
        {"SUM(A:A)", [](auto* ws) { ws_insert_row(ws, 1, 1); }, "H6", "A1", "dd"},
        {"SUM(A:A)", [](auto* ws) { ws_shift_range_down(ws, 1, 1, 1, 1); }, "H5", "A1", "dd"},
        {"SUM(2:2)", [](auto* ws) { ws_insert_col(ws, 1, 1); }, "I5", "A2", "dd"},
        {"SUM(A:A)", [](auto* ws) { ws_insert_col(ws, 2, 1); }, "I5", "A1", "kd"},
        {"ROWS(A1:A3)", [](auto* ws) { ws_insert_row(ws, 2, 1); }, "H6", "A4", "dd"},
        {"COUNTIF(A1:A3,\"<>5\")", [](auto* ws) { ws_insert_row(ws, 2, 1); }, "H6", "A2", "dd"},
        {"VLOOKUP(2,A1:C3,3,FALSE)", [](auto* ws) { ws_insert_col(ws, 3, 1); }, "I5", "D2", "dd"},
        {"COUNTBLANK(A1:A5)", [](auto* ws) { ws_delete_row(ws, 4, 4); }, "H4", "A4", "dd"},
        {"SUMIF(E:E,\"x\",B:B)", [](auto* ws) { ws_shift_range_down(ws, 2, 2, 2, 1); }, "H5", "B1", "dd"},
        {"INDEX(B:B,2)", [](auto* ws) { ws_shift_range_down(ws, 2, 2, 2, 1); }, "H5", "B2", "dd"},
        {"INDIRECT(\"A2\")*10", [](auto* ws) { ws_insert_row(ws, 2, 1); }, "H6", "A1", "dd"},
        {"ROW()", [](auto* ws) { ws_insert_row(ws, 1, 1); }, "H6", "A1", "dk"},
        {"COLUMN()", [](auto* ws) { ws_insert_col(ws, 1, 1); }, "I5", "A1", "dk"},
        {"ROW(A3)", [](auto* ws) { ws_insert_row(ws, 2, 1); }, "H6", "A1", "dk"},
        {"SUM(A1:A3)", [](auto* ws) { ws_insert_row(ws, 4, 1); }, "H6", "A2", "kd"},
        {"SUM(A1:A3)", [](auto* ws) { ws_insert_row(ws, 1, 1); }, "H6", "A4", "kd"},
        {"One*2", [](auto* ws) { ws_insert_row(ws, 1, 1); }, "H6", "B3", "kd"},
        {"SUM(Lines)", [](auto* ws) { ws_delete_col(ws, 3, 3); }, "G5", "C2", "dd"},
        {"SUM(Col)", [](auto* ws) { ws_delete_row(ws, 3, 3); }, "H4", "B4", "dd"},
        // Rows opened at a table's first data row grow it, though the cells it
        // covered move whole; a table moving whole is read at its new place.
        {"ROWS(T)", [](auto* ws) { ws_shift_range_down(ws, 10, 11, 7, 1); }, "H5", "J8", "dd"},
        {"INDEX(T[x],1)", [](auto* ws) { ws_insert_row(ws, 1, 1); }, "H6", "J8", "kd"},
        {"COLUMNS(T)", [](auto* ws) { td_insert_col(ws_get_tabledef_by_name(ws, "T"), 0, "w"); }, "H5", "J8", "dd"},
        {"ROWS(T[#All])", [](auto* ws) { td_set_display_total(ws_get_tabledef_by_name(ws, "T"), 1); }, "H5", "J8", "dd"},
        // A record read from beside its table is the one on the formula's
        // row: the formula moved without the table, or the table without it.
        {"T[@y]*2", [](auto* ws) { ws_shift_range_down(ws, 8, 8, 1, 3); }, "H8", "K8", "dd"},
        {"T[@y]*2", [](auto* ws) { ASSERT_EQ(ws_shift_range_up(ws, 10, 11, 3, 2), 1) << run_msg(); }, "H5", "K5", "dd"},
        // A running total stays filed as it read when the edit moves nothing
        // it reads, and is filed anew when the edit stretches it.
        {"SUM($A$1:A3)", [](auto* ws) { ws_insert_row(ws, 6, 1); }, "H5", "A2", "kd"},
        {"SUM($A$1:A3)", [](auto* ws) { ws_insert_col(ws, 9, 1); }, "H5", "A3", "kd"},
        {"SUM($A$1:A3)", [](auto* ws) { ws_shift_range_down(ws, 6, 6, 1, 1); }, "H5", "A1", "kd"},
        {"SUM($A$1:A3)", [](auto* ws) { ws_shift_range_down(ws, 1, 1, 2, 1); }, "H5", "A4", "dd"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.formula);
        plover_document_t* doc = moves_book();
        plover_worksheet_t* ws = sheet(doc, 0);
        ASSERT_EQ(ws_set_formula(ws, 5, 8, r.formula) + ws_set_formula_num(ws, 5, 8, 7), 2) << run_msg();
        r.edit(ws);
        std::string got(1, outcome(doc, r.now, 7));
        const at_t now = cell_at(r.now), then = cell_at(r.then);
        ASSERT_EQ(ws_set_formula_num(ws, now.row, now.col, 7), 1) << run_msg();
        ws_set_num(ws, then.row, then.col, 500);
        got += outcome(doc, r.now, 7);
        EXPECT_EQ(got, r.expected);
        doc_release(doc);
    }
}

// Loaded: an array over C1:C3 reading A1:A3, and B1:B3 a shared group whose
// text is kept unparsed ("&"). Each edit names the cells that lose their values.
TEST(stale_results_after_moves, arrays_drop_together_and_unparsed_followers_are_followed) {
    const std::string body =
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" t=\"str\"><f t=\"shared\" ref=\"B1:B3\" si=\"0\">"
        "A1&amp;\"x\"</f><v>1x</v></c><c r=\"C1\"><f t=\"array\" ref=\"C1:C3\">A1:A3*2</f><v>2</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\" t=\"str\"><f t=\"shared\" si=\"0\"/><v>2x</v></c>"
        "<c r=\"C2\"><v>4</v></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\" t=\"str\">"
        "<f t=\"shared\" si=\"0\"/><v>3x</v></c><c r=\"C3\"><v>6</v></c></row></sheetData>";
    const struct {
        const char* what;
        edit_t edit;
        const char* valued;  // B1..B3 and C1..C3: v kept a value, - none
    } rows[] = {
        {"A2 set", [](auto* ws) { ws_set_num(ws, 2, 1, 10); }, "v-v---"},
        {"A3 set", [](auto* ws) { ws_set_num(ws, 3, 1, 10); }, "vv----"},
        {"A shifted down inside the array", [](auto* ws) { ws_shift_range_down(ws, 1, 1, 2, 1); }, "vvv---"},
        {"row inserted below", [](auto* ws) { ws_insert_row(ws, 5, 1); }, "vvvvvv"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::sheet_package(body));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        r.edit(sheet(doc, 0));
        const entries_t copy = saved(doc, dir);
        std::string got;
        for (const char* ref : {"B1", "B2", "B3", "C1", "C2", "C3"})
            got += cell_xml(copy, ref).find("<v>") != std::string::npos ? 'v' : '-';
        EXPECT_EQ(got, r.valued);
        EXPECT_EQ(calc_pr(copy), r.valued == std::string("vvvvvv") ? "" : "<calcPr fullCalcOnLoad=\"1\"/>");
        doc_release(doc);
    }
}

// Out!A1:A3 a group filled down from SUM(S1:S2!A1), a span the parser keeps
// unparsed: each follower reads its own row of both sheets.
TEST(stale_results_after_moves, followers_of_a_group_over_a_span_of_sheets_are_followed) {
    scratch_dir dir;
    const auto build = [](plover_workbook_t* wb) {
        for (const char* name : {"S1", "S2"}) {
            plover_worksheet_t* ws = wb_add_worksheet(wb, name);
            for (int r = 1; r <= 3; ++r) ws_set_num(ws, r, 1, r);
        }
        wb_add_worksheet(wb, "Out");
    };
    plover_document_t* doc = loaded_with_sheet_data(
        dir, build, "xl/worksheets/sheet3.xml",
        "<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">SUM(S1:S2!A1)</f>"
        "<v>2</v></c></row><row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
        "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>6</v></c></row></sheetData>");
    ASSERT_NE(doc, nullptr) << run_msg();
    ws_set_num(sheet(doc, 1), 2, 1, 10);
    const std::string out = find(saved(doc, scratch_dir()), "xl/worksheets/sheet3.xml");
    std::string got;
    for (const char* ref : {"A1", "A2", "A3"})
        got += element(out, std::string("<c r=\"") + ref + "\"", "</c>").find("<v>") != std::string::npos ? 'v' : '-';
    EXPECT_EQ(got, "v-v");
    // Narrowed to one sheet by a deletion, the span follows the rows opened
    // there: each follower is filed at its row's new place.
    wb_delete_sheet(doc_get_workbook(doc), 0);
    ASSERT_EQ(ws_insert_row(sheet(doc, 0), 1, 1), 1) << run_msg();
    plover_worksheet_t* outs = sheet(doc, 1);
    EXPECT_EQ(std::string(ws_get_formula_expr(outs, 2, 1)), "SUM(S2!A3)");
    for (int r = 1; r <= 3; ++r) ws_set_formula_num(outs, r, 1, 1);
    ws_set_num(sheet(doc, 0), 3, 1, 20);
    EXPECT_EQ(ws_cell_type(outs, 1, 1), CELLTYPE_NUMBER);
    EXPECT_NE(ws_cell_type(outs, 2, 1), CELLTYPE_NUMBER);
    doc_release(doc);
}
