// A cell without a record of its own in a styled row and a styled column
// shows its row's style, as spreadsheet applications show it, through the
// exports, after a save and a reload, and in openpyxl for a sheet whose rows
// are protected whole.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace package_test;

namespace {

plover_worksheet_t* sheet0(plover_document_t* doc) { return wb_get_sheet(doc_get_workbook(doc), 0); }

// Columns A:C unlocked (xf 1), row 2 bold and locked (xf 2), no cell records.
entries_t row_and_column_styles() {
    const std::string body =
        R"(<cols><col min="1" max="3" width="9" style="1" customWidth="1"/></cols>)"
        R"(<sheetData><row r="2" s="2" customFormat="1"/></sheetData>)";
    return reader_test::with_styles(
        reader_test::sheet_package(body),
        R"(<fonts count="2"><font/><font><b/></font></fonts><fills count="1"><fill/></fills>)"
        R"(<borders count="1"><border/></borders><cellXfs count="3"><xf/>)"
        R"(<xf applyProtection="1"><protection locked="0"/></xf><xf fontId="1" applyFont="1"/></cellXfs>)");
}

// Locked and bold of B2, E2, B3 and E3.
std::string shown(plover_document_t* d) {
    std::string out;
    for (const auto& [row, col] : {std::pair{2, 2}, {2, 5}, {3, 2}, {3, 5}}) {
        plover_style_t* s = ws_cell_style(sheet0(d), row, col);
        out += std::to_string(style_cell_locked(s)) + std::to_string(style_bold(s)) + " ";
    }
    return out;
}

} // namespace

TEST(row_over_column_styles, a_cell_without_a_record_shows_its_rows_style) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", row_and_column_styles());
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    const std::string expected = "11 11 00 10 ";
    EXPECT_EQ(shown(doc), expected);
    ASSERT_EQ(ws_set_num(sheet0(doc), 2, 3, 5), 1);  // a value keeps what its cell showed
    EXPECT_EQ(shown(doc), expected);
    EXPECT_EQ(style_cell_locked(ws_cell_style(sheet0(doc), 2, 3)), 1);
    ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    doc = doc_load((dir / "out.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(shown(doc), expected);
    EXPECT_EQ(style_bold(ws_cell_style(sheet0(doc), 2, 3)), 1);
    doc_release(doc);
}

// openpyxl reads each cell's lock as a spreadsheet application shows it: a
// cell's own style, else its row's when the row has one, else its column's;
// LibreOffice's copy of the file reads the same. (A client test: the suite is
// one the clients entry runs.)
TEST(openpyxl_load, whole_rows_protected_read_locked_cell_by_cell) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Locked");
    ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, 16384), 1) << run_msg();
    ASSERT_EQ(ws_set_num(ws, 5, 5, 1), 1);
    ASSERT_EQ(ws_set_num(ws, 2000, 5, 2), 1);
    ASSERT_EQ(doc_save(doc, (dir / "locked.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
def locked(r, c):
    if (r, c) in ws._cells:
        return ws._cells[(r, c)].protection.locked
    # openpyxl keeps the style index a row or column is read with (style_id)
    # even where that style equals the default one.
    if r in ws.row_dimensions and ws.row_dimensions[r].style_id:
        return ws.row_dimensions[r].protection.locked
    for d in ws.column_dimensions.values():
        if d.min and d.max and d.min <= c <= d.max and d.style_id:
            return d.protection.locked
    return True
cells = [(1, 1), (1, 16384), (500, 7), (1000, 1), (1000, 16384), (5, 5),
         (1001, 1), (1001, 16384), (2000, 5), (5000, 3), (1048576, 1), (1048576, 16384)]
for path in sys.argv[1:]:
    ws = openpyxl.load_workbook(path).active
    assert ws.protection.sheet, path
    got = [locked(r, c) for r, c in cells]
    assert got == [True] * 6 + [False] * 6, (path, list(zip(cells, got)))
    assert ws["E5"].value == 1 and ws["E2000"].value == 2, path
)PY";
    ASSERT_EQ(writer_test::run_soffice(dir, "xlsx:Calc MS Excel 2007 XML", {dir / "locked.xlsx"}, dir / "office"), 0);
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "locked.xlsx", dir / "office/locked.xlsx"}), 0);
    // The library reads LibreOffice's copy the same way.
    doc = doc_load((dir / "office/locked.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    for (const auto& [row, col, locked] : {std::tuple{1, 1, 1}, {1000, 16384, 1}, {5, 5, 1}, {1001, 1, 0}, {2000, 5, 0}})
        EXPECT_EQ(style_cell_locked(ws_cell_style(sheet0(doc), row, col)), locked) << row << "," << col;
    doc_release(doc);
}
