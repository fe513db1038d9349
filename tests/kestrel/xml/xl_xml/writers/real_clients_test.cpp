// Real clients over whole saved packages: a workbook built through the exports
// with everything the writers write, read by openpyxl and LibreOffice.

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "plover.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

using namespace package_test;

namespace {

namespace mta = vex::mta;

// Each test's files, LibreOffice profile and picture in a directory of its own.
struct real_clients : ::testing::Test {
    scratch_dir dir;
    std::string picture = dir / "red.png";
    void SetUp() override { std::ofstream(picture, std::ios::binary) << red_png; }
};

mta::comment_store_t& comments_of(plover_worksheet_t* ws) {
    return static_cast<vex::iWorksheet_impl*>(ws)->worktable()->sheet()->comments();
}

mta::richtext_t note(const char* text) {
    mta::richtext_segment_t s;
    s.text = text;
    mta::richtext_t t;
    t.append(std::move(s));
    return t;
}

plover_style_t* new_style(plover_workbook_t* wb) { return wb_make_normal_style(wb); }

// Builds, through the exports, a workbook using every writer. The values are
// the ones the client scripts expect.
void build_everything(plover_workbook_t* wb, const std::string& picture) {
    wb_set_date1904(wb, 1);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Data & more");
    plover_worksheet_t* objects = wb_add_worksheet(wb, "Objects");
    plover_worksheet_t* hidden = wb_add_worksheet(wb, "Hidden");
    ASSERT_TRUE(ws && objects && hidden);
    wb_set_sheet_state(wb, 2, SHEETSTATE_HIDDEN);

    // Values: numbers, texts, booleans, errors.
    ASSERT_TRUE(ws_set_num(ws, 1, 1, 0.1234567891234));
    ASSERT_TRUE(ws_set_num(ws, 2, 1, 1e-7));
    ASSERT_TRUE(ws_set_num(ws, 3, 1, -123456789012.5));
    ASSERT_TRUE(ws_set_text(ws, 1, 2, "a\x01" "b\tc"));
    ASSERT_TRUE(ws_set_text(ws, 2, 2, "_x0041_"));
    ASSERT_TRUE(ws_set_text(ws, 3, 2, "line\nbreak <&> \"q\" Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac"));
    ASSERT_TRUE(ws_set_text(ws, 4, 2, " padded "));
    ASSERT_TRUE(ws_set_boolean(ws, 1, 3, 1));
    ASSERT_TRUE(ws_set_boolean(ws, 2, 3, 0));
    for (int code = ERRORCODE_NULL; code <= ERRORCODE_NA; ++code) ASSERT_TRUE(ws_set_error(ws, code, 4, code));

    // Formulas with their cached results of each type.
    ASSERT_TRUE(ws_set_formula(ws, 1, 5, "A1*2"));
    ASSERT_TRUE(ws_set_formula(ws, 2, 5, "\"ab\"&\"c\""));
    ASSERT_TRUE(ws_set_formula(ws, 3, 5, "A1>0"));
    ASSERT_TRUE(ws_set_formula(ws, 4, 5, "1/0"));
    ASSERT_TRUE(ws_set_formula(ws, 5, 5, "SUM(A1:A2)"));
    ASSERT_TRUE(ws_set_formula_num(ws, 1, 5, 0.2469135782468));
    ASSERT_TRUE(ws_set_formula_string(ws, 2, 5, "abc"));
    ASSERT_TRUE(ws_set_formula_boolean(ws, 3, 5, 1));
    ASSERT_TRUE(ws_set_formula_error(ws, 4, 5, ERRORCODE_DIV0));
    ASSERT_TRUE(ws_set_formula_num(ws, 5, 5, 0.1234568891234));

    // Rich text: bold, coloured superscript, underlined.
    plover_richtext_t* rt = wb_make_richtext(wb);
    plover_style_t* bold = new_style(wb);
    style_set_font(bold, "Arial", 12);
    style_set_bold(bold, 1);
    plover_style_t* sup = new_style(wb);
    style_set_font_vert_align(sup, VERTALIGN_SUPERSCRIPT);
    style_set_font_color(sup, 0xFFFF0000);
    plover_style_t* under = new_style(wb);
    style_set_underline(under, UNDERLINE_DOUBLE);
    style_set_italic(under, 1);
    rt_append(rt, "E=mc", bold);
    rt_append(rt, "2", sup);
    rt_append(rt, " said", under);
    ASSERT_TRUE(ws_set_richtext(ws, 1, 6, rt));
    rt_release(rt);

    // A date in the 1904 system, shown as ISO so the CSV does not follow a locale.
    plover_style_t* date = new_style(wb);
    ASSERT_TRUE(style_set_numfmt(date, "yyyy-mm-dd"));
    ASSERT_TRUE(ws_set_num(ws, 1, 7, encode_date1904(2024, 2, 29)));
    ws_set_cell_style(ws, 1, 7, date);

    // Styles of every kind.
    plover_style_t* styled = new_style(wb);
    style_set_numfmt(styled, "#,##0.000;[Red]-#,##0.000");
    style_set_font(styled, "Courier New", 14);
    style_set_strikeout(styled, 1);
    style_set_fill_pattern(styled, PATTERN_LIGHT_TRELLIS);
    style_set_pattern_fg_color(styled, 0xFF00FF00);
    style_set_pattern_bg_color(styled, 0xFF0000FF);
    style_set_border(styled, BORDER_OUTLINE, BORDERSTYLE_MEDIUM_DASH_DOT);
    style_set_border_color(styled, BORDER_LEFT, 0xFF123456);
    style_set_border(styled, BORDER_DIAGONAL_DOWN, BORDERSTYLE_HAIR);
    style_set_border(styled, BORDER_DIAGONAL_UP, BORDERSTYLE_DOUBLE);
    style_set_align_h(styled, HALIGN_CENTER_CONTINUOUS);
    style_set_align_v(styled, VALIGN_TOP);
    style_set_wrap(styled, 1);
    style_set_rotation(styled, -45);
    style_set_indent(styled, 2);
    style_set_cell_locked(styled, 0);
    style_set_cell_hidden(styled, 1);
    ws_set_cell_style(ws, 3, 1, styled);
    ws_set_range_style(ws, 5, 1, 6, 3, styled);
    plover_style_t* shrink = new_style(wb);
    style_set_shrink_to_fit(shrink, 1);
    style_set_align_h(shrink, HALIGN_DISTRIBUTED);
    style_set_fill_pattern(shrink, PATTERN_SOLID);
    style_set_pattern_fg_color(shrink, 0xFFFFFF00);
    ws_set_row_style(ws, 8, 8, shrink);
    ws_set_col_style(ws, 12, 12, shrink);
    ASSERT_NE(wb_add_custom_style(wb, "Warning", shrink), nullptr);
    ASSERT_TRUE(wb_set_defined_name(wb, "Values", "'Data & more'!$A$1:$A$3", nullptr));
    ASSERT_TRUE(wb_set_defined_name(wb, "Local", "'Data & more'!$B$1", "Objects"));

    // Sizes, hidden rows and columns, outlines, merges.
    ws_set_custom_col_width(ws, 2, 2, 30.5, COLWIDTH_CHARACTERS);
    ws_set_custom_row_height(ws, 3, 3, 40.25, ROWHEIGHT_POINTS);
    ASSERT_TRUE(ws_set_text(ws, 10, 1, "in a hidden row"));
    ws_set_row_hidden(ws, 10, 10, 1);
    ASSERT_TRUE(ws_set_text(ws, 1, 8, "in a hidden column"));
    ws_set_col_hidden(ws, 8, 8, 1);
    ASSERT_TRUE(ws_set_num(ws, 12, 1, 12));
    ws_group_rows(ws, 12, 14, 0);
    ws_group_rows(ws, 13, 13, 1);
    ws_group_cols(ws, 10, 11, 0);
    ws_set_group_summary_below(ws, 0);
    ASSERT_TRUE(ws_set_text(ws, 20, 1, "merged"));
    ASSERT_TRUE(ws_merge(ws, 20, 1, 21, 3));

    // Links, protection, view, page setup and breaks.
    ASSERT_TRUE(ws_set_text(ws, 22, 1, "site"));
    ASSERT_TRUE(ws_add_hyperlink(ws, "https://example.com/a?b=1&c=2", 22, 1, 22, 1));
    ASSERT_TRUE(ws_add_hyperlink(ws, "Objects!B2", 23, 1, 23, 2));
    ASSERT_TRUE(ws_set_editable_range(ws, 30, 1, 31, 2));
    ASSERT_TRUE(ws_protect(ws, PROTECT_DEFAULT, "test"));
    ws_set_zoom(ws, 120);
    ws_set_split_cell(ws, 2, 2);
    ws_set_display_gridlines(ws, 0);
    ws_set_left_margin(ws, 0.5);
    ws_set_top_margin(ws, 1.25);
    ASSERT_TRUE(ws_set_paper(ws, PAPER_LETTER));
    ws_set_page_orientation(ws, PAGEORIENT_LANDSCAPE);
    ws_set_print_scale(ws, 85);
    ws_set_print_gridlines(ws, 1);
    ws_set_print_headings(ws, 1);
    ws_set_h_centered_printing(ws, 1);
    ws_set_print_errors(ws, PRINTERROR_DASH);
    ws_set_page_header(ws, "&CPage &P of &N");
    ws_set_page_footer(ws, "&L&\"Arial,Bold\"Footer & more");
    ASSERT_TRUE(ws_set_row_break(ws, 15, 1));
    ASSERT_TRUE(ws_set_col_break(ws, 5, 1));
    ASSERT_TRUE(comments_of(ws).add(1, 1, note("first note"), "Ann"));

    // The second sheet: a table, a picture and comments; the third is hidden.
    const char* header[] = {"Name", "Qty", "Price"};
    for (int c = 0; c < 3; ++c) ASSERT_TRUE(ws_set_text(objects, 1, c + 1, header[c]));
    for (int r = 2; r <= 4; ++r) {
        ASSERT_TRUE(ws_set_text(objects, r, 1, ("item " + std::to_string(r - 1)).c_str()));
        ASSERT_TRUE(ws_set_num(objects, r, 2, r * 10));
        ASSERT_TRUE(ws_set_num(objects, r, 3, r + 0.25));
    }
    plover_tabledef_t* td = ws_add_tabledef(objects, "Stock", 1, 1, 4, 3);
    ASSERT_NE(td, nullptr);
    td_set_preset_style(td, 9);
    ASSERT_GE(ws_add_image_with_one_cell(objects, picture.c_str(), 2, 6, 40, 30, 1.0, 3, 4), 0);
    ASSERT_GE(ws_add_image_with_two_cells(objects, picture.c_str(), 8, 6, 10, 8, 1, 2, 3, 4), 0);
    ASSERT_TRUE(comments_of(objects).add(5, 3, note("second note"), "Bob"));
    ASSERT_TRUE(comments_of(objects).add(6, 1, note("third"), "Ann"));
    ASSERT_TRUE(ws_set_text(hidden, 1, 1, "secret"));
    // Last: in manual mode the formulas above would have no results to write.
    wb_set_calc_mode(wb, CALCTYPE_MANUAL);
}

// The values every client must see, by sheet and cell; then the checks.
const std::string everything_check = R"PY(import csv, math, os, sys, warnings, zipfile
import xml.dom.minidom
warnings.simplefilter("error")
import openpyxl

path, csv_dir, csv_stem = sys.argv[1], sys.argv[2], sys.argv[3]
E = lambda text: ("error", text)
expected = {
    "Data & more": {
        "A1": 0.1234567891234, "A2": 1e-7, "A3": -123456789012.5,
        "B1": "a\x01b\tc", "B2": "_x0041_",
        "B3": "line\nbreak <&> \"q\" Gr\u00fc\u00dfe \u20ac", "B4": " padded ",
        "C1": True, "C2": False,
        "D1": E("#NULL!"), "D2": E("#DIV/0!"), "D3": E("#VALUE!"), "D4": E("#REF!"),
        "D5": E("#NAME?"), "D6": E("#NUM!"), "D7": E("#N/A"),
        "E1": 0.2469135782468, "E2": "abc", "E3": True, "E4": E("#DIV/0!"), "E5": 0.1234568891234,
        "F1": "E=mc2 said", "G1": "date", "H1": "in a hidden column",
        "A10": "in a hidden row", "A12": 12, "A20": "merged", "A22": "site",
    },
    "Objects": {
        "A1": "Name", "B1": "Qty", "C1": "Price",
        "A2": "item 1", "B2": 20, "C2": 2.25, "A3": "item 2", "B3": 30, "C3": 3.25,
        "A4": "item 3", "B4": 40, "C4": 4.25,
    },
    "Hidden": {"A1": "secret"},
}
# openpyxl leaves the escape of a control character as it stands.
escaped = {"B1": "a_x0001_b\tc"}
formulas = {"E1": "=A1*2", "E2": "=\"ab\"&\"c\"", "E3": "=A1>0", "E4": "=1/0", "E5": "=SUM(A1:A2)"}

# Every XML entry is well-formed; every number a cell stores parses back exactly.
z = zipfile.ZipFile(path)
assert z.testzip() is None
for name in z.namelist():
    if name.endswith((".xml", ".rels", ".vml")):
        xml.dom.minidom.parseString(z.read(name))
sheet1 = xml.dom.minidom.parseString(z.read("xl/worksheets/sheet1.xml"))
for c in sheet1.getElementsByTagName("c"):
    ref, v = c.getAttribute("r"), c.getElementsByTagName("v")
    want = expected["Data & more"].get(ref)
    if v and c.getAttribute("t") in ("", "n") and isinstance(want, float):
        assert float(v[0].firstChild.data) == want, (ref, v[0].firstChild.data)

# openpyxl: without a warning, the same values, formulas and settings.
wb = openpyxl.load_workbook(path)
values = openpyxl.load_workbook(path, data_only=True)
assert wb.sheetnames == list(expected), wb.sheetnames
assert wb.epoch.year == 1904 and wb.calculation.calcMode == "manual"
assert wb["Hidden"].sheet_state == "hidden"
for sheet, cells in expected.items():
    for ref, want in cells.items():
        got = values[sheet][ref].value
        if sheet == "Data & more" and ref in escaped:
            want = escaped[ref]
        if ref in formulas and sheet == "Data & more":
            assert wb[sheet][ref].value == formulas[ref], (ref, wb[sheet][ref].value)
        if want == "date":
            assert got.isoformat() == "2024-02-29T00:00:00", got
        elif isinstance(want, tuple):
            assert got == want[1], (sheet, ref, got)
        else:
            assert got == want and type(got) == type(want) or (isinstance(want, (int, float)) and got == want), \
                (sheet, ref, got, want)
ws = wb["Data & more"]
assert ws.row_dimensions[10].hidden and ws.column_dimensions["H"].hidden
assert ws.row_dimensions[3].height == 40.25, ws.row_dimensions[3].height
assert ws.row_dimensions[13].outline_level == 2 and ws.row_dimensions[12].outline_level == 1
assert [str(r) for r in ws.merged_cells.ranges] == ["A20:C21"]
assert ws.protection.sheet and ws.protection.password == "CBEB"
assert ws["A22"].hyperlink.target == "https://example.com/a?b=1&c=2", ws["A22"].hyperlink
assert ws["A23"].hyperlink.location == "Objects!B2", ws["A23"].hyperlink
assert ws.page_setup.orientation == "landscape" and ws.page_setup.scale == 85
assert ws.page_margins.left == 0.5 and ws.page_margins.top == 1.25
# A break before row 15 follows row 14.
assert [b.id for b in ws.row_breaks.brk] == [14] and [b.id for b in ws.col_breaks.brk] == [4]
assert ws.sheet_view.zoomScale == 120 and ws.sheet_view.pane.topLeftCell == "B2", ws.sheet_view.pane
assert ws["A1"].comment.text == "first note" and ws["A1"].comment.author == "Ann"
a3 = ws["A3"]
assert a3.number_format == "#,##0.000;[Red]-#,##0.000" and a3.font.name == "Courier New" and a3.font.strike
assert a3.fill.patternType == "lightTrellis" and a3.border.left.style == "mediumDashDot"
assert a3.border.diagonalDown and a3.alignment.wrap_text and a3.protection.hidden and not a3.protection.locked
assert ws["G1"].number_format == "yyyy-mm-dd"
objects = wb["Objects"]
assert list(objects.tables) == ["Stock"] and objects.tables["Stock"].ref == "A1:C4"
assert len(objects._images) == 2, objects._images
assert objects["C5"].comment.text == "second note" and objects["A6"].comment.author == "Ann"
assert [(d.name, d.localSheetId) for d in wb.defined_names.definedName] == [("Values", None), ("Local", 1)]
assert "Warning" in wb.named_styles

# LibreOffice: one CSV per sheet, the same values.
def cell_text(want):
    if want == "date": return "2024-02-29"
    if isinstance(want, tuple): return want[1]
    if isinstance(want, bool): return "TRUE" if want else "FALSE"
    return want
for sheet, cells in expected.items():
    with open(os.path.join(csv_dir, csv_stem + "-" + sheet + ".csv"), newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    for ref, want in cells.items():
        col, row = openpyxl.utils.cell.coordinate_from_string(ref)
        col = openpyxl.utils.cell.column_index_from_string(col)
        got = rows[row - 1][col - 1] if row <= len(rows) and col <= len(rows[row - 1]) else None
        want = cell_text(want)
        if isinstance(want, (int, float)):
            assert got is not None and float(got) == want, (sheet, ref, got, want)
        else:
            assert got == want, (sheet, ref, got, want)
)PY";

} // namespace

TEST_F(real_clients, everything_the_writers_write_reads_the_same_in_openpyxl_and_libreoffice) {
    plover_document_t* doc = doc_create();
    build_everything(doc_get_workbook(doc), picture);
    const std::string path = dir / "book.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    // LibreOffice shows booleans, errors and text results as 0 in a workbook
    // calculated by hand, so it reads the same book saved in automatic mode.
    wb_set_calc_mode(doc_get_workbook(doc), CALCTYPE_AUTO);
    const std::string automatic = dir / "automatic.xlsx";
    ASSERT_EQ(doc_save(doc, automatic.c_str()), 1) << run_msg();
    doc_release(doc);
    // The settings the clients check come back through the exports too.
    doc = doc_load(path.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(wb_get_calc_mode(doc_get_workbook(doc)), CALCTYPE_MANUAL);
    EXPECT_EQ(wb_is_date1904(doc_get_workbook(doc)), 1);
    doc_release(doc);

    const std::string csv_dir = dir / "csv";
    EXPECT_EQ(writer_test::convert_to_csv(dir, {automatic}, csv_dir), 0) << slurp(dir / "soffice.log");
    EXPECT_EQ(writer_test::run_python_file(dir, everything_check, {path, csv_dir, "automatic"}), 0) << slurp(dir / "soffice.log");
}

namespace {

// Foreign files: openpyxl, xlsxwriter (shared and inline strings) and
// LibreOffice's own saves of the first two. The same content in each.
const std::string make_foreign_files = R"PY(import datetime, os, sys, zipfile
import openpyxl, xlsxwriter
from openpyxl.comments import Comment
from openpyxl.drawing.image import Image
from openpyxl.worksheet.table import Table

out, png = sys.argv[1], sys.argv[2]

def rewrite(path, edits):
    """Rewrites entries of a package in place: {entry: [(old, new), ...]}."""
    with zipfile.ZipFile(path) as z:
        entries = [(i, z.read(i.filename)) for i in z.infolist()]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in entries:
            for old, new in edits.get(info.filename, []):
                assert old in data, (info.filename, old)
                data = data.replace(old, new)
            z.writestr(info, data)

# openpyxl: a format numbered 200 and a row marked hidden="0" are set by hand.
wb = openpyxl.Workbook()
wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
ws = wb.active
ws.title = "Values"
ws["A1"] = 0.1234567891234
ws["A2"] = "text"
ws["A3"] = "=\"a\"&\"b\""
ws["A4"] = datetime.date(2024, 2, 29)
ws["A4"].number_format = "yyyy-mm-dd"
ws["A5"] = 1.5
ws["A5"].number_format = "0.0000"
ws["A6"] = "hidden"
ws.row_dimensions[6].hidden = True
ws["A7"] = "shown"
objects = wb.create_sheet("Objects")
for row in [["Name", "Qty"], ["a", 1], ["b", 2]]:
    objects.append(row)
objects.add_table(Table(displayName="Stock", ref="A1:B3"))
objects.auto_filter.ref = "D1:D3"
objects["D2"].comment = Comment("note", "Ann")
objects.add_image(Image(png), "F2")
path = os.path.join(out, "openpyxl.xlsx")
wb.save(path)
rewrite(path, {"xl/styles.xml": [(b'numFmtId="164"', b'numFmtId="200"')],
               "xl/worksheets/sheet1.xml": [(b'<row r="7"', b'<row r="7" hidden="0"')]})

def xlsxwriter_book(name, options):
    wb = xlsxwriter.Workbook(os.path.join(out, name), dict(options, date_1904=True))
    ws = wb.add_worksheet("Values")
    sup = wb.add_format({"font_script": 1})
    ws.write_number("A1", 0.1234567891234)
    ws.write_rich_string("B1", "x", sup, "2")
    ws.write_string("A2", "text")
    ws.write_formula("A3", "=\"a\"&\"b\"", None, "ab")
    ws.write_datetime("A4", datetime.datetime(2024, 2, 29), wb.add_format({"num_format": "yyyy-mm-dd"}))
    ws.write_number("A5", 1.5, wb.add_format({"num_format": "0.0000"}))
    ws.write_string("A6", "hidden")
    ws.set_row(5, None, None, {"hidden": True})
    ws.write_string("A7", "shown")
    objects = wb.add_worksheet("Objects")
    if not options:
        objects.add_table("A1:B3", {"name": "Stock", "data": [["a", 1], ["b", 2]],
                                    "columns": [{"header": "Name"}, {"header": "Qty"}]})
    else:
        objects.write_row("A1", ["Name", "Qty"])
    objects.autofilter("D1:D3")
    objects.write_comment("D2", "note", {"author": "Ann"})
    objects.insert_image("F2", png)
    wb.close()

xlsxwriter_book("xlsxwriter.xlsx", {})
xlsxwriter_book("inline.xlsx", {"constant_memory": True})
with zipfile.ZipFile(os.path.join(out, "inline.xlsx")) as z:
    assert b't="inlineStr"' in z.read("xl/worksheets/sheet1.xml")
)PY";

struct origin_t {
    const char* file;
    bool rich;    // B1 holds "x" and a superscript "2"
    bool table;   // xlsxwriter writes no table with inline strings
    bool cached;  // openpyxl writes formulas without their results
    const char* date_code;
};

const origin_t origins[] = {
    {"openpyxl.xlsx", false, true, false, "yyyy-mm-dd"},
    {"xlsxwriter.xlsx", true, true, true, "yyyy-mm-dd"},
    {"inline.xlsx", true, false, true, "yyyy-mm-dd"},
    // LibreOffice escapes the dashes.
    {"lo/openpyxl.xlsx", false, true, true, "yyyy\\-mm\\-dd"},
    {"lo/xlsxwriter.xlsx", true, true, true, "yyyy\\-mm\\-dd"},
};

std::string text_or_null(const char* text) { return text ? text : "(null)"; }

// What every producer wrote, read through the exports.
void expect_foreign_content(plover_document_t* doc, const origin_t& o) {
    SCOPED_TRACE(o.file);
    plover_workbook_t* wb = doc_get_workbook(doc);
    EXPECT_EQ(wb_is_date1904(wb), 1);
    ASSERT_EQ(wb_sheet_count(wb), 2u);
    plover_worksheet_t* ws = wb_get_sheet(wb, 0);
    EXPECT_EQ(text_or_null(ws_name(ws)), "Values");
    EXPECT_EQ(ws_get_num(ws, 1, 1), 0.1234567891234);
    EXPECT_EQ(text_or_null(ws_get_text(ws, 2, 1)), "text");
    EXPECT_EQ(text_or_null(ws_get_formula_expr(ws, 3, 1)), "\"a\"&\"b\"");
    if (o.cached) {
        EXPECT_EQ(ws_cell_type(ws, 3, 1), CELLTYPE_TEXT);
        EXPECT_EQ(text_or_null(ws_get_text(ws, 3, 1)), "ab");
    }
    EXPECT_EQ(ws_get_datetime(ws, 4, 1), encode_date1904(2024, 2, 29));
    EXPECT_EQ(text_or_null(style_numfmt_code(ws_cell_style(ws, 4, 1))), o.date_code);
    EXPECT_EQ(ws_get_num(ws, 5, 1), 1.5);
    EXPECT_EQ(text_or_null(style_numfmt_code(ws_cell_style(ws, 5, 1))), "0.0000");
    EXPECT_EQ(ws_row_hidden(ws, 6), 1);
    EXPECT_EQ(ws_row_hidden(ws, 7), 0);
    EXPECT_EQ(text_or_null(ws_get_text(ws, 7, 1)), "shown");
    if (o.rich) {
        EXPECT_EQ(ws_contains_richtext(ws, 1, 2), 1);
        EXPECT_EQ(text_or_null(ws_get_text(ws, 1, 2)), "x2");
        const mta::richtext_t* rich = static_cast<vex::iWorksheet_impl*>(ws)->worktable()->sheet()->get_cell(1, 2).get_richtext();
        ASSERT_NE(rich, nullptr);
        ASSERT_EQ(rich->segments_num(), 2u);
        EXPECT_EQ(rich->segments()[1].font.vert_align, VERTALIGN_SUPERSCRIPT);
    }
    plover_worksheet_t* objects = wb_get_sheet(wb, 1);
    EXPECT_EQ(text_or_null(ws_get_text(objects, 1, 1)), "Name");
    EXPECT_EQ(ws_tabledef_count(objects), o.table ? 1 : 0);
    if (o.table) {
        EXPECT_EQ(text_or_null(ws_get_tabledef_name(objects, 0)), "Stock");
    }
    EXPECT_EQ(ws_image_num(objects), 1);
    mta::comment_store_t& notes = comments_of(objects);
    ASSERT_EQ(notes.size(), 1u);
    ASSERT_NE(notes.find(2, 4), nullptr);
    mta::richtext_t note = *notes.find(2, 4);
    EXPECT_EQ(note.plain_text(), "note");
}

// openpyxl reads what the library saved from each foreign file.
const std::string foreign_saved_check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
for path in sys.argv[1:]:
    wb = openpyxl.load_workbook(path)
    values = openpyxl.load_workbook(path, data_only=True)["Values"]
    assert wb.epoch.year == 1904, path
    ws = wb["Values"]
    assert ws["A1"].value == 0.1234567891234 and ws["A2"].value == "text", path
    assert ws["A3"].value == "=\"a\"&\"b\"", (path, ws["A3"].value)
    assert ws["A4"].value.isoformat() == "2024-02-29T00:00:00" and ws["A4"].number_format in ("yyyy-mm-dd", "yyyy\\-mm\\-dd"), path
    assert ws["A5"].value == 1.5 and ws["A5"].number_format == "0.0000", path
    assert ws.row_dimensions[6].hidden and not ws.row_dimensions[7].hidden, path
    objects = wb["Objects"]
    assert objects["D2"].comment.text == "note", path
    assert len(objects._images) == 1, path
    if "inline" not in path:
        assert list(objects.tables) == ["Stock"], path
        assert values["A3"].value == "ab" or "saved_openpyxl" in path, (path, values["A3"].value)
)PY";

} // namespace

TEST_F(real_clients, foreign_files_load_with_their_values_save_and_reload) {
    ASSERT_EQ(writer_test::run_python_file(dir, make_foreign_files, {dir.path.string(), picture}), 0);
    ASSERT_EQ(writer_test::run_soffice(dir, "xlsx", {dir / "openpyxl.xlsx", dir / "xlsxwriter.xlsx"}, dir / "lo"), 0)
        << slurp(dir / "soffice.log");

    std::vector<std::string> saved;
    for (const origin_t& o : origins) {
        plover_document_t* doc = doc_load((dir / o.file).c_str());
        ASSERT_NE(doc, nullptr) << o.file << ": " << run_msg();
        expect_foreign_content(doc, o);
        std::string name = o.file;
        std::replace(name.begin(), name.end(), '/', '_');
        saved.push_back(dir / ("saved_" + name));
        EXPECT_EQ(doc_save(doc, saved.back().c_str()), 1) << run_msg();
        doc_release(doc);

        doc = doc_load(saved.back().c_str());
        ASSERT_NE(doc, nullptr) << saved.back() << ": " << run_msg();
        expect_foreign_content(doc, o);
        doc_release(doc);
        writer_test::expect_valid_package(saved.back());
        if (o.rich) {
            EXPECT_NE(find(read_zip(saved.back()), "xl/sharedStrings.xml").find("<vertAlign val=\"superscript\"/>"),
                      std::string::npos);
        }
    }
    EXPECT_EQ(writer_test::run_python_file(dir, foreign_saved_check, saved), 0);
}

// Saved corpus packages with tables, pictures, comments, charts and buttons: LibreOffice shows
// every sheet of the saved copy as it shows the original, and openpyxl loads it.
TEST_F(real_clients, saved_corpus_packages_convert_like_their_originals) {
    std::vector<std::string> stems;
    for (const auto& e : fs::directory_iterator(PLOVER_EXCEL)) {
        const std::string stem = e.path().stem().string();
        if (e.path().extension() != ".xlsx") continue;
        for (const char* kind : {"table", "image", "comment", "chart_", "button", "header_image"})
            if (stem.rfind(kind, 0) == 0) stems.push_back(stem);
    }
    std::sort(stems.begin(), stems.end());
    std::vector<std::string> files;
    std::vector<std::string> saved;
    for (const std::string& stem : stems) {
        const std::string original = std::string(PLOVER_EXCEL) + stem + ".xlsx";
        plover_document_t* doc = doc_load(original.c_str());
        ASSERT_NE(doc, nullptr) << stem << ": " << run_msg();
        saved.push_back(dir / (stem + "_saved.xlsx"));
        EXPECT_EQ(doc_save(doc, saved.back().c_str()), 1) << stem << ": " << run_msg();
        doc_release(doc);
        files.push_back(original);
        files.push_back(saved.back());
    }
    const std::string csv_dir = dir / "csv";
    ASSERT_EQ(writer_test::convert_to_csv(dir, files, csv_dir), 0) << slurp(dir / "soffice.log");

    size_t sheets = 0;
    for (const std::string& stem : stems) {
        for (const auto& entry : fs::directory_iterator(csv_dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(stem + "-", 0) != 0) continue;
            ++sheets;
            const std::string copy = csv_dir + "/" + stem + "_saved-" + name.substr(stem.size() + 1);
            ASSERT_TRUE(fs::exists(copy)) << copy;
            EXPECT_EQ(slurp(copy), slurp(entry.path().string())) << name;
        }
    }
    EXPECT_GE(sheets, stems.size());
    const std::string load_all = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
for path in sys.argv[1:]:
    openpyxl.load_workbook(path)
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, load_all, saved), 0);
}

namespace {

// Workbook and sheet settings as openpyxl writes them, then the same values
// read from plover's saved copies; a host's print gridlines on a second sheet.
const char* const make_settings = R"PY(import sys, openpyxl
from openpyxl.workbook.protection import WorkbookProtection
from openpyxl.worksheet.protection import SheetProtection
wb = openpyxl.Workbook()
wb.code_name = "ThisWorkbook"
wb.security = WorkbookProtection(lockStructure=True, workbookAlgorithmName="SHA-512",
                                 workbookHashValue="aGFzaA==", workbookSaltValue="c2FsdA==", workbookSpinCount=100000)
wb.calculation.iterate = True
wb.calculation.iterateCount = 50
wb.calculation.fullCalcOnLoad = True
ws = wb.active
ws["A1"] = 1
ws.protection = SheetProtection(sheet=True, algorithmName="SHA-512", hashValue="aGFzaA==", saltValue="c2FsdA==",
                                spinCount=100000)
ws.print_options.gridLines = True
ws.print_options.headings = True
ws.print_options.horizontalCentered = True
wb.create_sheet("Second")
wb.save(sys.argv[1])
)PY";

const char* const check_settings = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
for path in sys.argv[1:]:
    wb = openpyxl.load_workbook(path)
    assert wb.code_name == "ThisWorkbook", wb.code_name
    s = wb.security
    assert s.lockStructure and s.workbookAlgorithmName == "SHA-512", s
    assert s.workbookHashValue == "aGFzaA==" and s.workbookSaltValue == "c2FsdA==", s
    assert s.workbookSpinCount == 100000, s
    c = wb.calculation
    assert c.iterate and c.iterateCount == 50 and c.fullCalcOnLoad, c
    ws = wb["Sheet"]
    p = ws.protection
    assert p.sheet and p.algorithmName == "SHA-512" and p.hashValue == "aGFzaA==", p
    assert p.saltValue == "c2FsdA==" and p.spinCount == 100000, p
    o = ws.print_options
    assert o.gridLines and o.headings and o.horizontalCentered and o.gridLinesSet is not False, o
    o = wb["Second"].print_options
    assert o.gridLines and o.gridLinesSet is not False, o
)PY";

} // namespace

TEST_F(real_clients, settings_saved_read_the_same_in_openpyxl) {
    const std::string made = dir / "made.xlsx", saved = dir / "saved.xlsx", again = dir / "again.xlsx";
    ASSERT_EQ(writer_test::run_python_file(dir, make_settings, {made}), 0);
    plover_document_t* doc = doc_load(made.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ws_set_print_gridlines(wb_get_sheet(doc_get_workbook(doc), 1), 1);
    ASSERT_EQ(doc_save(doc, saved.c_str()), 1) << run_msg();
    doc_release(doc);
    doc = doc_load(saved.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ASSERT_EQ(doc_save(doc, again.c_str()), 1) << run_msg();
    doc_release(doc);
    EXPECT_EQ(writer_test::run_python_file(dir, check_settings, {saved, again}), 0);
}

namespace {

// What XlsxWriter and openpyxl write for filters, a shown note, a table
// without its totals row, a picture placed between pixels and a link whose
// target holds "_x0041_".
const char* const make_producer_files = R"PY(import sys, zipfile, xlsxwriter, openpyxl
from openpyxl.drawing.image import Image
from openpyxl.drawing.spreadsheet_drawing import OneCellAnchor, AnchorMarker
from openpyxl.drawing.xdr import XDRPositiveSize2D
xw_path, op_path, png = sys.argv[1:4]
wb = xlsxwriter.Workbook(xw_path)
ws = wb.add_worksheet("Sales")
for r, row in enumerate([["Item", "Amount", "Region"], ["a", 3000, "East"], ["b", 1000, "West"], ["c", 2500, "North"]]):
    ws.write_row(r, 0, row)
ws.autofilter("A1:C4")
ws.filter_column(1, "x > 2000")
ws.filter_column_list(2, ["East", "West"])
ws.write_comment("B2", "shown", {"visible": True, "width": 192, "color": "#ccffcc", "author": "Ann"})
stock = wb.add_worksheet("Stock")
stock.add_table("A1:C3", {"name": "Stock", "data": [["a", 1, "East"], ["b", 2, "West"]],
                          "columns": [{"header": "Item"}, {"header": "Qty"}, {"header": "Region"}]})
wb.close()
# XlsxWriter writes no criteria into a table's filter: added by hand.
with zipfile.ZipFile(xw_path) as z:
    entries = [(i, z.read(i.filename)) for i in z.infolist()]
with zipfile.ZipFile(xw_path, "w", zipfile.ZIP_DEFLATED) as z:
    for info, data in entries:
        if info.filename == "xl/tables/table1.xml":
            assert b'<autoFilter ref="A1:C3"/>' in data and b'totalsRowShown="0"' in data, data
            data = data.replace(b'<autoFilter ref="A1:C3"/>', b'<autoFilter ref="A1:C3"><filterColumn colId="1">'
                                b'<customFilters><customFilter operator="greaterThan" val="1"/></customFilters>'
                                b'</filterColumn><filterColumn colId="2"><filters><filter val="East"/>'
                                b'<filter val="West"/></filters></filterColumn></autoFilter>')
        z.writestr(info, data)
wb = openpyxl.Workbook()
ws = wb.active
ws["A1"] = "link"
ws["A1"].hyperlink = "https://example.com/file_x0041_.pdf"
img = Image(png)
img.anchor = OneCellAnchor(_from=AnchorMarker(col=5, colOff=47520, row=1, rowOff=19050),
                           ext=XDRPositiveSize2D(38100, 28575))
ws.add_image(img)
wb.save(op_path)
)PY";

// openpyxl reads the saved copies: every filter column and value, the note
// (its shape read from the drawing), the table and the link target.
const char* const check_producer_files = R"PY(import sys, warnings, zipfile
warnings.simplefilter("error")
import openpyxl
xw_path, op_path = sys.argv[1:3]
wb = openpyxl.load_workbook(xw_path)
ws = wb["Sales"]
columns = ws.auto_filter.filterColumn
assert [c.colId for c in columns] == [1, 2], columns
assert columns[0].customFilters.customFilter[0].val == "2000", columns[0]
assert columns[1].filters.filter == ["East", "West"], columns[1]
assert ws["B2"].comment.text == "shown", ws["B2"].comment
z = zipfile.ZipFile(xw_path)
vml = [z.read(n).decode() for n in z.namelist() if n.endswith(".vml")]
assert len(vml) == 1 and "visibility:visible" in vml[0] and "width:144pt" in vml[0], vml
assert 'fillcolor="#ccffcc"' in vml[0] and "<x:Visible/>" in vml[0], vml
t = wb["Stock"].tables["Stock"]
assert t.totalsRowShown is False, t.totalsRowShown
columns = t.autoFilter.filterColumn
assert [c.colId for c in columns] == [1, 2], columns
assert columns[1].filters.filter == ["East", "West"], columns[1]
ws = openpyxl.load_workbook(op_path).active
assert ws["A1"].hyperlink.target == "https://example.com/file_x0041_.pdf", ws["A1"].hyperlink.target
assert len(ws._images) == 1
)PY";

} // namespace

TEST_F(real_clients, producer_filters_notes_tables_pictures_and_links_survive_a_save) {
    const std::string xw = dir / "xlsxwriter.xlsx", op = dir / "openpyxl.xlsx";
    ASSERT_EQ(writer_test::run_python_file(dir, make_producer_files, {xw, op, picture}), 0);
    struct case_t {
        std::string path;
        std::vector<std::pair<std::string, std::string>> saved;  // an entry's name ending, a text it holds
    };
    const case_t cases[] = {
        {xw,
         {{"sheet1.xml", R"(<filterColumn colId="1"><customFilters><customFilter operator="greaterThan" val="2000"/>)"},
          {"sheet1.xml", R"(<filterColumn colId="2"><filters><filter val="East"/><filter val="West"/></filters>)"},
          {".vml", "width:144pt;"},
          {".vml", R"(visibility:visible' fillcolor="#ccffcc")"},
          {".vml", "<x:Column>1</x:Column><x:Visible/>"},
          {"table1.xml", R"(totalsRowShown="0")"},
          {"table1.xml", R"(<filterColumn colId="2"><filters><filter val="East"/><filter val="West"/></filters>)"}}},
        {op,
         {{"drawing1.xml", "<xdr:colOff>47520</xdr:colOff>"},
          {"drawing1.xml", "<xdr:rowOff>19050</xdr:rowOff>"},
          {"sheet1.xml.rels", R"(Target="https://example.com/file_x0041_.pdf")"}}},
    };
    std::vector<std::string> saved;
    for (const case_t& c : cases) {
        plover_document_t* doc = doc_load(c.path.c_str());
        ASSERT_NE(doc, nullptr) << c.path << ": " << run_msg();
        saved.push_back(c.path + ".saved.xlsx");
        ASSERT_EQ(doc_save(doc, saved.back().c_str()), 1) << run_msg();
        doc_release(doc);
        const entries_t entries = read_zip(saved.back());
        for (const auto& [ending, text] : c.saved) {
            const auto holds = [&](const auto& e) { return e.first.ends_with(ending) && e.second.find(text) != std::string::npos; };
            EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), holds)) << c.path << ": " << ending << " " << text;
        }
    }
    EXPECT_EQ(writer_test::run_python_file(dir, check_producer_files, saved), 0);
}

// A sheet and a table renamed, then a column of the table: LibreOffice,
// computing the saved formulas, finds every sheet, table and column they name.
TEST_F(real_clients, renamed_sheets_and_tables_compute_in_libreoffice) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* data = wb_add_worksheet(wb, "Sheet1");
    plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
    for (int r = 1; r <= 3; ++r) ws_set_num(data, r, 1, r);
    ws_set_text(data, 1, 3, "Val");
    for (int r = 2; r <= 4; ++r) ws_set_num(data, r, 3, r);
    plover_tabledef_t* td = ws_add_tabledef(data, "Tbl", 1, 3, 4, 3);
    ASSERT_NE(td, nullptr) << run_msg();
    ASSERT_EQ(wb_set_defined_name(wb, "Two", "Sheet1!$A$2", nullptr), 1) << run_msg();
    for (const auto& [row, formula] : {std::pair{1, "Sheet1!A1*10"}, {2, "SUM(Tbl[Val])"}, {3, "Two*2"},
                                       {4, "SUM(Sheet1!A1:A3)+COUNT(Tbl)"}})
        ASSERT_EQ(ws_set_formula(out, row, 1, formula), 1) << formula << ": " << run_msg();
    wb_rename_sheet(wb, 0, "My Data");
    td_set_display_name(td, "Sales");
    ASSERT_EQ(td_set_col_name(td, 0, "Amount"), 1) << run_msg();
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 4, 1)), "SUM('My Data'!A1:A3)+COUNT(Sales)");
    const std::string path = dir / "renamed.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string csv_dir = dir / "csv";
    ASSERT_EQ(writer_test::convert_to_csv(dir, {path}, csv_dir), 0) << slurp(dir / "soffice.log");
    EXPECT_EQ(slurp(csv_dir + "/renamed-Out.csv"), "10\n9\n4\n9\n");
}
