// Real clients over whole saved packages: a workbook built through the exports
// with everything the writers write, read by openpyxl and LibreOffice.

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "plover.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace package_test;

namespace {

namespace mta = vex::mta;

// A 4 by 3 pixel red PNG, whole, so that clients can decode it.
const std::string red_png(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x04\x00\x00\x00\x03\x08\x02\x00"
    "\x00\x00\x3b\x96\x39\x91\x00\x00\x00\x10\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00\x47\x0c\x38\x39\x00\xf5"
    "\x31\x0b\xf5\x35\x7b\xfb\x82\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    73);

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

TEST(real_clients, everything_the_writers_write_reads_the_same_in_openpyxl_and_libreoffice) {
    scratch_dir dir;
    const std::string picture = dir / "red.png";
    std::ofstream(picture, std::ios::binary) << red_png;
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
