// A formula loses its cached result when anything it reads changes: a range, a
// whole row or column, a 3-D range, a name of a range, a table column, a range
// on another sheet, and, for volatile formulas, any cell of the workbook.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/document/stale_results_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

// Sheet1: A1:A5 1..5, B1:B9 1..9, E5 10, table Tbl over D1:D3 (Val; 1, 2),
// the name Rng; Sheet2: A1:A3 1..3, B5 7. The formula goes to Sheet1!H1.
plover_document_t* ranges_book() {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* s1 = wb_add_worksheet(wb, "Sheet1");
    plover_worksheet_t* s2 = wb_add_worksheet(wb, "Sheet2");
    for (int r = 1; r <= 9; ++r) {
        if (r <= 5) ws_set_num(s1, r, 1, r);
        ws_set_num(s1, r, 2, r);
        if (r <= 3) ws_set_num(s2, r, 1, r);
    }
    ws_set_num(s1, 5, 5, 10);
    ws_set_num(s2, 5, 2, 7);
    ws_set_text(s1, 1, 4, "Val");
    ws_set_num(s1, 2, 4, 1);
    ws_set_num(s1, 3, 4, 2);
    ws_add_tabledef(s1, "Tbl", 1, 4, 3, 4);
    wb_set_defined_name(wb, "Rng", "Sheet1!$B$1:$B$9", nullptr);
    return doc;
}

} // namespace

// Each form with its result, then a cell it does not read set (kept, but for a
// volatile formula), then a cell it reads set or cleared (dropped).
TEST(range_results, every_reference_a_formula_reads_drops_its_result) {
    const struct {
        const char* formula;
        int sheet, row, col;  // the cell read
        bool is_volatile = false;
    } rows[] = {
        {"SUM(A1:A3)", 0, 2, 1},     {"SUM(A:A)", 0, 2, 1},        {"SUM(5:5)", 0, 5, 5},
        {"SUM($A$1:$A$5)", 0, 4, 1}, {"MAX(A1:A5)", 0, 5, 1},      {"INDEX(A1:A3,2)", 0, 3, 1},
        {"A2:A3", 0, 3, 1},          {"SUM(Sheet1:Sheet2!B5)", 1, 5, 2}, {"SUM(Sheet1:Sheet2!B5)", 0, 5, 2},
        {"SUM('Sheet1:Sheet2'!A4:B6)", 0, 6, 2},
        {"SUM(Rng)", 0, 7, 2},       {"SUM(Tbl[Val])", 0, 3, 4},    {"SUM(Sheet2!A1:A3)", 1, 2, 1},
        {"A1&\"x\"", 0, 1, 1},       {"INDIRECT(\"A1\")", 0, 1, 1, true}, {"OFFSET(A1,1,0)", 0, 2, 1, true},
        {"B2 & \" \" & A1", 0, 1, 1},
    };
    for (const auto& r : rows)
        for (const bool clear : {false, true}) {
            SCOPED_TRACE(std::string(r.formula) + (clear ? " cleared" : " set"));
            plover_document_t* doc = ranges_book();
            plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
            plover_worksheet_t* read = wb_get_sheet(doc_get_workbook(doc), r.sheet);
            ASSERT_EQ(ws_set_formula(ws, 1, 8, r.formula), 1) << run_msg();
            ASSERT_EQ(ws_set_formula_num(ws, 1, 8, 6), 1) << run_msg();
            ws_set_num(ws, 100, 26, 1);
            EXPECT_EQ(ws_cell_type(ws, 1, 8) == CELLTYPE_NUMBER, !r.is_volatile);
            ws_set_formula_num(ws, 1, 8, 6);
            if (clear) ws_clear_contents(read, r.row, r.col, r.row, r.col);
            else ws_set_num(read, r.row, r.col, 100);
            EXPECT_NE(ws_cell_type(ws, 1, 8), CELLTYPE_NUMBER);
            EXPECT_EQ(calc_pr(saved(doc, scratch_dir())), "<calcPr fullCalcOnLoad=\"1\"/>");
            doc_release(doc);
        }
}

// Loaded formulas, an array formula among them, with A2 or A9 set.
TEST(range_results, loaded_formulas_reading_ranges_drop_their_results) {
    const struct {
        int row;
        const char* b1;
        const char* d1;
        const char* calc_pr;
    } rows[] = {
        {2, "<c r=\"B1\"><f>SUM(A1:A3)</f></c>", "<c r=\"D1\"><f t=\"array\" ref=\"D1:D1\">SUM(A1:A3*2)</f></c>",
         "<calcPr fullCalcOnLoad=\"1\"/>"},
        {9, "<c r=\"B1\"><f>SUM(A1:A3)</f><v>6</v></c>",
         "<c r=\"D1\"><f t=\"array\" ref=\"D1:D1\">SUM(A1:A3*2)</f><v>12</v></c>", ""},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::sheet_package(
                                       "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>SUM(A1:A3)</f>"
                                       "<v>6</v></c><c r=\"D1\"><f t=\"array\" ref=\"D1\">SUM(A1:A3*2)</f><v>12</v></c>"
                                       "</row><row r=\"2\"><c r=\"A2\"><v>2</v></c></row><row r=\"3\"><c r=\"A3\">"
                                       "<v>3</v></c></row></sheetData>"));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        ws_set_num(wb_get_sheet(doc_get_workbook(doc), 0), r.row, 1, 100);
        const entries_t copy = saved(doc, dir);
        doc_release(doc);
        EXPECT_EQ(cell_xml(copy, "B1"), r.b1) << r.row;
        EXPECT_EQ(cell_xml(copy, "D1"), r.d1) << r.row;
        EXPECT_EQ(calc_pr(copy), r.calc_pr) << r.row;
    }
}

TEST(real_clients_range_results, libreoffice_recomputes_totals_of_a_changed_range) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    for (int r = 1; r <= 3; ++r) ws_set_num(ws, r, 1, r);
    const struct { const char* text; double result; } formulas[] = {{"SUM(A1:A3)", 6}, {"SUM(A:A)", 6}, {"MAX(A1:A3)", 3}};
    for (int c = 0; c < 3; ++c) {
        ws_set_formula(ws, 1, 2 + c, formulas[c].text);
        ws_set_formula_num(ws, 1, 2 + c, formulas[c].result);
    }
    ws_set_num(ws, 2, 1, 100);
    const std::string path = dir / "ranges.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string csv_dir = dir / "csv";
    ASSERT_EQ(writer_test::convert_to_csv(dir, {path}, csv_dir), 0) << slurp(dir / "soffice.log");
    EXPECT_EQ(slurp(csv_dir + "/ranges-Sheet1.csv"), "1,104,104,100\n100,,,\n3,,,\n");
}
