// An edit of a loaded cell keeps every part of the look the cell shows that
// the edit does not replace, however few apply attributes the producer wrote.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/interface/saved_styles_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

using namespace package_test;

namespace {

// Cell format 1: italic green 14-pt font, solid DDDDFF fill, thin left and
// double bottom border, "0.000"; `apply` goes on its xf element.
std::string styles_part(const std::string& style_xf_apply, const std::string& apply) {
    return "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/></numFmts>"
           "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
           "<font><i val=\"1\"/><color rgb=\"FF008000\"/><sz val=\"14\"/><name val=\"Calibri\"/></font></fonts>"
           "<fills count=\"3\"><fill><patternFill/></fill><fill><patternFill patternType=\"gray125\"/></fill>"
           "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFDDDDFF\"/><bgColor rgb=\"FFDDDDFF\"/>"
           "</patternFill></fill></fills>"
           "<borders count=\"2\"><border><left/><right/><top/><bottom/><diagonal/></border>"
           "<border><left style=\"thin\"><color rgb=\"FF000000\"/></left><right/><top/>"
           "<bottom style=\"double\"><color rgb=\"FF000000\"/></bottom><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"" +
           style_xf_apply + "/></cellStyleXfs><cellXfs count=\"2\">"
           "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
           "<xf numFmtId=\"164\" fontId=\"1\" fillId=\"2\" borderId=\"1\" xfId=\"0\"" +
           apply + "/></cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
           "</cellStyles>";
}

struct producer_t {
    const char* name;
    std::string styles;
};

const producer_t producers[] = {
    {"openpyxl", styles_part("", " pivotButton=\"0\" quotePrefix=\"0\"")},
    {"LibreOffice",
     styles_part(" applyFont=\"true\" applyBorder=\"true\" applyAlignment=\"true\" applyProtection=\"true\"",
                 " applyFont=\"true\" applyBorder=\"true\" applyAlignment=\"false\" applyProtection=\"false\"")},
    {"every part applied",
     styles_part("", " applyNumberFormat=\"1\" applyFont=\"1\" applyFill=\"1\" applyBorder=\"1\"")},
};

plover_style_t* bold_handle(plover_workbook_t* wb) {
    plover_style_t* bold = wb_make_normal_style(wb);
    style_set_bold(bold, 1);
    return bold;
}

// What the getter shows of a cell's look.
using look_t = std::tuple<int, int, int, int, unsigned, int, int, std::string, int>;

look_t look_of(plover_worksheet_t* ws, int row, int col) {
    plover_style_t* s = ws_cell_style(ws, row, col);
    if (!s) return {};
    const char* code = style_numfmt_code(s);
    return {style_italic(s),        style_font_size(s),          style_bold(s),
            style_underlined(s),    style_pattern_fg_color(s),   style_border(s, BORDER_LEFT),
            style_border(s, BORDER_BOTTOM), code ? code : "<none>", style_cell_locked(s)};
}

using edit_t = std::function<int(plover_workbook_t*, plover_worksheet_t*)>;

struct edit_row_t {
    const char* what;
    edit_t edit;
    look_t look;            // of A2 afterwards
    const char* numfmt_id;  // on the saved xf of A2
};

const look_t loaded_look{1, 14, 0, 0, 0xFFDDDDFFu, BORDERSTYLE_THIN, BORDERSTYLE_DOUBLE, "0.000", 1};
const look_t bold_look{0, 11, 1, 0, 0xFFDDDDFFu, BORDERSTYLE_THIN, BORDERSTYLE_DOUBLE, "0.000", 1};

const edit_row_t edits[] = {
    {"merge", [](plover_workbook_t*, plover_worksheet_t* ws) { return ws_merge(ws, 2, 1, 2, 2); }, loaded_look, "164"},
    {"datetime", [](plover_workbook_t*, plover_worksheet_t* ws) { return ws_set_datetime(ws, 2, 1, 45000.5); },
     {1, 14, 0, 0, 0xFFDDDDFFu, BORDERSTYLE_THIN, BORDERSTYLE_DOUBLE, "m/d/yyyy", 1}, "14"},
    {"bold handle on the cell",
     [](plover_workbook_t* wb, plover_worksheet_t* ws) { return ws_set_cell_style(ws, 2, 1, bold_handle(wb)), 1; },
     bold_look, "164"},
    {"bold handle on a range",
     [](plover_workbook_t* wb, plover_worksheet_t* ws) {
         return ws_set_range_style(ws, 1, 1, 3, 1, bold_handle(wb)), 1;
     },
     bold_look, "164"},
    {"bold handle on the row",
     [](plover_workbook_t* wb, plover_worksheet_t* ws) { return ws_set_row_style(ws, 2, 2, bold_handle(wb)), 1; },
     bold_look, "164"},
    {"bold handle on the column",
     [](plover_workbook_t* wb, plover_worksheet_t* ws) { return ws_set_col_style(ws, 1, 1, bold_handle(wb)), 1; },
     bold_look, "164"},
    {"hyperlink",
     [](plover_workbook_t*, plover_worksheet_t* ws) { return ws_add_hyperlink(ws, "https://example.com/", 2, 1, 2, 1); },
     {1, 14, 0, UNDERLINE_SINGLE, 0xFFDDDDFFu, BORDERSTYLE_THIN, BORDERSTYLE_DOUBLE, "0.000", 1}, "164"},
    // Every cell outside the range is unlocked.
    {"protect range", [](plover_workbook_t*, plover_worksheet_t* ws) { return ws_protect_range(ws, 5, 3, 5, 3); },
     {1, 14, 0, 0, 0xFFDDDDFFu, BORDERSTYLE_THIN, BORDERSTYLE_DOUBLE, "0.000", 0}, "164"},
};

} // namespace

TEST(edited_loaded_looks, every_part_the_edit_leaves_stays) {
    const std::string body = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>2.5</v></c></row></sheetData>";
    for (const auto& p : producers) {
        for (const auto& e : edits) {
            const std::string what = std::string(p.name) + ", " + e.what;
            scratch_dir dir;
            write_zip(dir / "in.xlsx", reader_test::with_styles(reader_test::sheet_package(body), p.styles));
            plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
            ASSERT_NE(doc, nullptr) << what << ": " << run_msg();
            plover_workbook_t* wb = doc_get_workbook(doc);
            plover_worksheet_t* ws = wb_get_sheet(wb, 0);
            ASSERT_EQ(look_of(ws, 2, 1), loaded_look) << what << ": as loaded";
            ASSERT_EQ(e.edit(wb, ws), 1) << what << ": " << run_msg();
            EXPECT_EQ(look_of(ws, 2, 1), e.look) << what;
            ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << what << ": " << run_msg();
            doc_release(doc);

            const entries_t saved = read_zip(dir / "out.xlsx");
            const std::string xf = saved_styles::saved_xf(saved, "A2");
            EXPECT_EQ(std::tuple(saved_styles::attribute(xf, "numFmtId"), saved_styles::attribute(xf, "fillId"),
                                 saved_styles::attribute(xf, "borderId")),
                      std::tuple(std::string(e.numfmt_id), std::string("2"), std::string("1")))
                << what << ": " << xf;
            plover_document_t* again = doc_load((dir / "out.xlsx").c_str());
            ASSERT_NE(again, nullptr) << what << ": " << run_msg();
            EXPECT_EQ(look_of(wb_get_sheet(doc_get_workbook(again), 0), 2, 1), e.look) << what << ": saved copy";
            doc_release(again);
        }
    }
}

TEST(edited_loaded_looks, openpyxl_reads_the_kept_looks) {
    scratch_dir dir;
    // Each edit has a cell of its own: A2-A8 by row, D2 for the column.
    ASSERT_EQ(writer_test::run_python_file(dir, R"(
import sys, openpyxl
from openpyxl.styles import Border, Font, PatternFill, Side
wb = openpyxl.Workbook()
ws = wb.active
for ref in ["A2", "A3", "A4", "A5", "A6", "A7", "A8", "D2"]:
    c = ws[ref]
    c.value = 2.5
    c.font = Font(i=True, color="FF008000", sz=14)
    c.fill = PatternFill("solid", fgColor="FFDDDDFF")
    c.border = Border(left=Side("thin"), bottom=Side("double"))
    c.number_format = "0.000"
wb.save(sys.argv[1])
)", {dir / "in.xlsx"}), 0);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_get_sheet(wb, 0);
    ASSERT_EQ(ws_merge(ws, 2, 1, 2, 2), 1) << run_msg();
    ASSERT_EQ(ws_set_datetime(ws, 3, 1, 45000.5), 1) << run_msg();
    ws_set_cell_style(ws, 4, 1, bold_handle(wb));
    ws_set_range_style(ws, 5, 1, 5, 2, bold_handle(wb));
    ws_set_row_style(ws, 6, 6, bold_handle(wb));
    ws_set_col_style(ws, 4, 4, bold_handle(wb));
    ASSERT_EQ(ws_add_hyperlink(ws, "https://example.com/", 7, 1, 7, 1), 1) << run_msg();
    // Last, as it unlocks every cell but F10.
    ASSERT_EQ(ws_protect_range(ws, 10, 6, 10, 6), 1) << run_msg();
    ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    EXPECT_EQ(writer_test::run_python_file(dir, R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
def look(ref):
    c = ws[ref]
    return (bool(c.font.i), int(c.font.sz), bool(c.font.b), c.fill.fgColor.rgb, c.border.left.style,
            c.border.bottom.style, c.number_format, c.protection.locked)
kept = (True, 14, False, "FFDDDDFF", "thin", "double", "0.000", False)
bold = (False, 11, True, "FFDDDDFF", "thin", "double", "0.000", False)
want = {"A2": kept, "A3": kept[:6] + ("mm-dd-yy", False), "A4": bold, "A5": bold, "A6": bold, "D2": bold,
        "A7": kept, "A8": kept}
got = {ref: look(ref) for ref in want}
assert got == want, got
)", {dir / "out.xlsx"}), 0);
}
