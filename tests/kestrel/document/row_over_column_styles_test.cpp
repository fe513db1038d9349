// Clients read each cell's lock from its own style, else its row's, else its
// column's: the rows a whole-row protection locks read locked, in the library's
// file and in LibreOffice's copy of it.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

TEST(openpyxl_load, whole_rows_protected_read_locked_cell_by_cell) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Locked");
    ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, 16384), 1) << run_msg();
    ASSERT_EQ(ws_set_num(ws, 5, 5, 1), 1);
    ASSERT_EQ(doc_save(doc, (dir / "locked.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string check = R"PY(import sys, openpyxl
def locked(r, c):
    if (r, c) in ws._cells:
        return ws._cells[(r, c)].protection.locked
    if r in ws.row_dimensions and ws.row_dimensions[r].style_id:
        return ws.row_dimensions[r].protection.locked
    for d in ws.column_dimensions.values():
        if d.min and d.max and d.min <= c <= d.max and d.style_id:
            return d.protection.locked
    return True
cells = [(1, 1), (1000, 16384), (5, 5), (1001, 1), (1048576, 16384)]
for path in sys.argv[1:]:
    ws = openpyxl.load_workbook(path).active
    got = [locked(r, c) for r, c in cells]
    assert got == [True] * 3 + [False] * 2, (path, got)
)PY";
    ASSERT_EQ(writer_test::run_soffice(dir, "xlsx:Calc MS Excel 2007 XML", {dir / "locked.xlsx"}, dir / "office"), 0);
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "locked.xlsx", dir / "office/locked.xlsx"}), 0);
}

// A style laid over every row makes its new styles in the order of the rows
// first showing each, not in the order of their old numbers, so the numbers a
// saved sheet gives its rows stay what they were.
TEST(row_over_column_styles, a_style_over_every_row_numbers_new_styles_down_the_rows) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Rows");
    for (const auto& [row, pattern] : {std::pair{5, 3}, {2, 5}, {9, 3}}) {
        plover_style_t* s = wb_make_normal_style(wb);
        style_set_fill_pattern(s, pattern);
        ws_set_row_style(ws, row, row, s);
    }
    plover_style_t* italic = wb_make_normal_style(wb);
    style_set_italic(italic, 1);
    ws_set_range_style(ws, 1, 1, 1048576, 16384, italic);
    ASSERT_EQ(doc_save(doc, (dir / "rows.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string sheet = find(read_zip(dir / "rows.xlsx"), "xl/worksheets/sheet1.xml");
    std::string rows;
    for (size_t at = sheet.find("<row "); at != std::string::npos; at = sheet.find("<row ", at + 1))
        rows += sheet.substr(at, sheet.find('>', at) - at + 1);
    EXPECT_EQ(rows, R"(<row r="2" s="3" customFormat="1"><row r="5" s="4" customFormat="1"><row r="9" s="4" customFormat="1">)");
}
