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

using fill_t = std::function<void(plover_workbook_t*, plover_worksheet_t*)>;

void column_a(plover_workbook_t*, plover_worksheet_t* ws) {
    for (int r = 1; r <= 3; ++r) ws_set_num(ws, r, 1, r);
}

} // namespace

TEST(stale_results_after_moves, edits_that_move_or_resize_what_a_formula_reads_drop_its_result) {
    // The formula at `at` with its result; the edit moves it to `now`; then its
    // result is given again and `then` set to 500. `expected`: after the edit,
    // after the value set.
    const struct {
        const char* what;
        fill_t fill;
        const char* at;
        const char* formula;
        double result;
        fill_t edit;
        const char* now;
        const char* then;
        const char* expected;
    } rows[] = {
        {"whole column, row inserted on top", column_a, "C1", "SUM(A:A)", 6,
         [](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, "C2", "A1", "dd"},
        {"whole column, cells shifted down from the top", column_a, "C1", "SUM(A:A)", 6,
         [](auto*, auto* ws) { ws_shift_range_down(ws, 1, 1, 1, 1); }, "C1", "A1", "dd"},
        {"whole row, column inserted at the left",
         [](auto*, auto* ws) { for (int c = 1; c <= 3; ++c) ws_set_num(ws, 2, c, c); }, "A5", "SUM(2:2)", 6,
         [](auto*, auto* ws) { ws_insert_col(ws, 1, 1); }, "B5", "A2", "dd"},
        {"whole column, column inserted after it", column_a, "C1", "SUM(A:A)", 6,
         [](auto*, auto* ws) { ws_insert_col(ws, 2, 1); }, "D1", "A1", "kd"},
        {"ROWS widened", column_a, "C1", "ROWS(A1:A3)", 3, [](auto*, auto* ws) { ws_insert_row(ws, 2, 1); }, "C1",
         "A4", "dd"},
        {"COUNTIF widened", column_a, "C1", "COUNTIF(A1:A3,\"<>5\")", 3,
         [](auto*, auto* ws) { ws_insert_row(ws, 2, 1); }, "C1", "A2", "dd"},
        {"VLOOKUP widened",
         [](auto*, auto* ws) {
             for (int r = 1; r <= 3; ++r) ws_set_num(ws, r, 1, r), ws_set_num(ws, r, 3, 100 * r);
         },
         "F1", "VLOOKUP(2,A1:C3,3,FALSE)", 200, [](auto*, auto* ws) { ws_insert_col(ws, 3, 1); }, "G1", "D2", "dd"},
        {"COUNTBLANK narrowed", column_a, "C1", "COUNTBLANK(A1:A5)", 2,
         [](auto*, auto* ws) { ws_delete_row(ws, 4, 4); }, "C1", "A4", "dd"},
        {"SUMIF over cells shifted inside",
         [](auto*, auto* ws) {
             for (int r = 1; r <= 4; ++r) ws_set_text(ws, r, 1, r % 2 ? "x" : "y"), ws_set_num(ws, r, 2, r);
         },
         "D1", "SUMIF(A:A,\"x\",B:B)", 4, [](auto*, auto* ws) { ws_shift_range_down(ws, 2, 2, 2, 1); }, "D1", "B1",
         "dd"},
        {"INDEX over cells shifted inside",
         [](auto*, auto* ws) { for (int r = 1; r <= 4; ++r) ws_set_num(ws, r, 2, r); }, "D1", "INDEX(B:B,2)", 2,
         [](auto*, auto* ws) { ws_shift_range_down(ws, 2, 2, 2, 1); }, "D1", "B2", "dd"},
        {"ROW() of a moved cell", column_a, "B5", "ROW()", 5, [](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, "B6",
         "A1", "dk"},
        {"COLUMN() of a moved cell", column_a, "E1", "COLUMN()", 5, [](auto*, auto* ws) { ws_insert_col(ws, 1, 1); },
         "F1", "A1", "dk"},
        {"ROW of a moved reference", column_a, "C1", "ROW(A3)", 3, [](auto*, auto* ws) { ws_insert_row(ws, 2, 1); },
         "C1", "A1", "dk"},
        {"range below the insert", column_a, "C1", "SUM(A1:A3)", 6, [](auto*, auto* ws) { ws_insert_row(ws, 5, 1); },
         "C1", "A2", "kd"},
        {"range moving whole", column_a, "C1", "SUM(A1:A3)", 6, [](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, "C2",
         "A4", "kd"},
        {"moved name", [](auto* wb, auto* ws) { ws_set_num(ws, 2, 2, 2), wb_set_defined_name(wb, "One", "Sheet1!$B$2", nullptr); },
         "C1", "One*2", 4, [](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, "C2", "B3", "kd"},
        {"moved name over cells the edit changes",
         [](auto* wb, auto* ws) {
             ws_set_num(ws, 2, 2, 2), ws_set_num(ws, 2, 3, 3), ws_set_num(ws, 3, 2, 4), ws_set_num(ws, 3, 3, 5);
             ws_set_formula(ws, 2, 4, "B2*C2"), ws_set_formula_num(ws, 2, 4, 6);
             ws_set_formula(ws, 3, 4, "B3*C3"), ws_set_formula_num(ws, 3, 4, 20);
             wb_set_defined_name(wb, "Lines", "Sheet1!$D$2:$D$3", nullptr);
         },
         "F1", "SUM(Lines)", 26, [](auto*, auto* ws) { ws_delete_col(ws, 3, 3); }, "E1", "C2", "dd"},
        {"name cut by a delete",
         [](auto* wb, auto* ws) {
             for (int r = 2; r <= 5; ++r) ws_set_num(ws, r, 2, r);
             wb_set_defined_name(wb, "Col", "Sheet1!$B$2:$B$5", nullptr);
         },
         "D1", "SUM(Col)", 14, [](auto*, auto* ws) { ws_delete_row(ws, 3, 3); }, "D1", "B4", "dd"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        r.fill(wb, ws);
        const at_t at = cell_at(r.at), now = cell_at(r.now), then = cell_at(r.then);
        ASSERT_EQ(ws_set_formula(ws, at.row, at.col, r.formula), 1) << run_msg();
        ASSERT_EQ(ws_set_formula_num(ws, at.row, at.col, r.result), 1) << run_msg();
        r.edit(wb, ws);
        std::string got(1, outcome(doc, r.now, r.result));
        ASSERT_EQ(ws_set_formula_num(ws, now.row, now.col, r.result), 1) << run_msg();
        ws_set_num(ws, then.row, then.col, 500);
        got += outcome(doc, r.now, r.result);
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
        fill_t edit;
        const char* valued;  // B1..B3 and C1..C3: v kept a value, - none
    } rows[] = {
        {"A2 set", [](auto*, auto* ws) { ws_set_num(ws, 2, 1, 10); }, "v-v---"},
        {"A3 set", [](auto*, auto* ws) { ws_set_num(ws, 3, 1, 10); }, "vv----"},
        {"A shifted down inside the array", [](auto*, auto* ws) { ws_shift_range_down(ws, 1, 1, 2, 1); }, "vvv---"},
        {"row inserted below", [](auto*, auto* ws) { ws_insert_row(ws, 5, 1); }, "vvvvvv"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::sheet_package(body));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        r.edit(doc_get_workbook(doc), sheet(doc, 0));
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
    entries_t book;
    {
        plover_document_t* made = doc_create();
        plover_workbook_t* wb = doc_get_workbook(made);
        for (const char* name : {"S1", "S2"}) {
            plover_worksheet_t* ws = wb_add_worksheet(wb, name);
            for (int r = 1; r <= 3; ++r) ws_set_num(ws, r, 1, r);
        }
        wb_add_worksheet(wb, "Out");
        book = saved(made, dir);
        doc_release(made);
    }
    for (auto& [name, bytes] : book) {
        if (name != "xl/worksheets/sheet3.xml") continue;
        const size_t at = bytes.find("<sheetData");
        const size_t closed = bytes.find("</sheetData>", at);
        const size_t end = closed == std::string::npos ? bytes.find("/>", at) + 2 : closed + 12;
        ASSERT_NE(at, std::string::npos) << bytes;
        bytes.replace(at, end - at,
                      "<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">SUM(S1:S2!A1)</f>"
                      "<v>2</v></c></row><row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
                      "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>6</v></c></row></sheetData>");
    }
    write_zip(dir / "in.xlsx", book);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ws_set_num(sheet(doc, 1), 2, 1, 10);
    const std::string out = find(saved(doc, scratch_dir()), "xl/worksheets/sheet3.xml");
    std::string got;
    for (const char* ref : {"A1", "A2", "A3"})
        got += element(out, std::string("<c r=\"") + ref + "\"", "</c>").find("<v>") != std::string::npos ? 'v' : '-';
    EXPECT_EQ(got, "v-v");
    doc_release(doc);
}
