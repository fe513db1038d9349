// A style handle set on a cell gives the cell the look it stands for and the
// named style it derives from: named styles however made, and the style of a
// cell from a file whose cell formats mark no part as applied.
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
using saved_styles::saved_xf;

namespace {

// As openpyxl writes them: a bold cell A1 and a named style "Loud" (bold on
// red), no apply attributes anywhere.
const std::string openpyxl_styles =
    "<fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
    "<font><b val=\"1\"/><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
    "<fills count=\"3\"><fill><patternFill/></fill><fill><patternFill patternType=\"gray125\"/></fill>"
    "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFF0000\"/></patternFill></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
    "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" pivotButton=\"0\" quotePrefix=\"0\"/>"
    "</cellXfs><cellStyles count=\"2\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
    "<cellStyle name=\"Loud\" xfId=\"1\"/></cellStyles>";

// The openpyxl book above with the host's steps: A2 takes A1's style, A3
// "Loud", A4 and A5 a custom "Mine" and the handle it was made from.
void style_the_cells(plover_workbook_t* wb) {
    plover_worksheet_t* ws = wb_get_sheet(wb, 0);
    ws_set_cell_style(ws, 2, 1, ws_get_cell_style(ws, 1, 1));
    ws_set_cell_style(ws, 3, 1, wb_get_named_style(wb, "Loud"));
    plover_style_t* cs = wb_make_normal_style(wb);
    style_set_bold(cs, 1);
    style_set_numfmt(cs, "0.000");
    ws_set_cell_style(ws, 4, 1, wb_add_custom_style(wb, "Mine", cs));
    ws_set_cell_style(ws, 5, 1, cs);
}

} // namespace

TEST(named_styles_on_cells, each_handle_gives_its_look_and_parent) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", reader_test::with_styles(reader_test::sheet_package(
                                   "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row></sheetData>"),
                                                      openpyxl_styles));
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_get_sheet(wb, 0);
    style_the_cells(wb);
    plover_style_t* green = wb_make_normal_style(wb);
    style_set_fill_pattern(green, 1);
    style_set_pattern_fg_color(green, 0xFF00FF00);

    const std::function<void()> no_step = [] {};
    const std::string whole_bold = R"(<xf numFmtId="0" fontId="1" fillId="0" borderId="0" xfId="0" )"
                                   R"(applyNumberFormat="1" applyFont="1" applyFill="1" applyBorder="1" )"
                                   R"(applyAlignment="1" applyProtection="1"/>)";
    struct row_t {
        const char* what;
        int row;
        std::function<void()> before;  // for the rows that style their cell here
        int bold;
        unsigned fill, font_color;
        const char* numfmt;
        std::string xf;
    } rows[] = {
        {"copied from the openpyxl cell", 2, no_step, 1, 0, 0, "General", whole_bold},
        {"loaded named style", 3, no_step, 1, 0xFFFF0000, 0, "General",
         R"(<xf numFmtId="0" fontId="1" fillId="2" borderId="0" xfId="1"/>)"},
        {"custom style", 4, no_step, 1, 0, 0, "0.000",
         R"(<xf numFmtId="164" fontId="1" fillId="0" borderId="0" xfId="2"/>)"},
        {"the settings the custom style was made from", 5, no_step, 1, 0, 0, "0.000",
         R"(<xf numFmtId="164" fontId="1" fillId="0" borderId="0" xfId="2" applyNumberFormat="1" applyFont="1"/>)"},
        {"built-in style before it is in use", 6, [&] { ws_set_cell_style(ws, 6, 1, wb_get_named_style(wb, "good")); },
         0, 0xFFC6EFCE, 0xFF006100, "General",
         R"(<xf numFmtId="0" fontId="2" fillId="3" borderId="0" xfId="3" applyFont="1" applyFill="1"/>)"},
        {"built-in style in use", 7, [&] { ws_set_cell_style(ws, 7, 1, wb_get_named_style(wb, "good")); },
         0, 0xFFC6EFCE, 0xFF006100, "General",
         R"(<xf numFmtId="0" fontId="2" fillId="3" borderId="0" xfId="3"/>)"},
        {"modified built-in style", 8,
         [&] {
             ASSERT_EQ(wb_modify_named_style(wb, "good", green), 1) << run_msg();
             ws_set_cell_style(ws, 8, 1, wb_get_named_style(wb, "good"));
         },
         0, 0xFF00FF00, 0, "General", R"(<xf numFmtId="0" fontId="0" fillId="4" borderId="0" xfId="3"/>)"},
        {"copied from a bold cell onto a filled one", 9,
         [&] {
             plover_style_t* bold = wb_make_normal_style(wb);
             style_set_bold(bold, 1);
             ws_set_cell_style(ws, 10, 1, bold);
             ws_set_cell_style(ws, 9, 1, green);
             ws_set_cell_style(ws, 9, 1, ws_get_cell_style(ws, 10, 1));
         },
         1, 0, 0, "General", whole_bold},
    };
    for (const auto& r : rows) {
        r.before();
        plover_style_t* got = ws_get_cell_style(ws, r.row, 1);
        ASSERT_NE(got, nullptr) << r.what << ": " << run_msg();
        EXPECT_EQ(std::tuple(style_bold(got), style_pattern_fg_color(got), style_font_color(got),
                             std::string(style_numfmt_code(got))),
                  std::tuple(r.bold, r.fill, r.font_color, std::string(r.numfmt)))
            << r.what;
    }
    ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const entries_t saved = read_zip(dir / "out.xlsx");
    for (const auto& r : rows) EXPECT_EQ(saved_xf(saved, "A" + std::to_string(r.row)), r.xf) << r.what;
    const std::string styles = find(saved, "xl/styles.xml");
    EXPECT_NE(styles.find("<cellStyle name=\"Mine\" xfId=\"2\"/><cellStyle name=\"good\" xfId=\"3\" builtinId=\"26\" "
                          "customBuiltin=\"1\"/>"),
              std::string::npos)
        << styles;
}

TEST(named_styles_on_cells, openpyxl_reads_the_styles_set_on_its_cells) {
    scratch_dir dir;
    ASSERT_EQ(writer_test::run_python_file(dir, R"(
import sys, openpyxl
from openpyxl.styles import Font, NamedStyle, PatternFill
wb = openpyxl.Workbook()
wb.add_named_style(NamedStyle("Loud", font=Font(b=True), fill=PatternFill("solid", fgColor="FFFF0000")))
wb.active["A1"] = 1
wb.active["A1"].font = Font(b=True)
wb.save(sys.argv[1])
)", {dir / "in.xlsx"}), 0);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    style_the_cells(doc_get_workbook(doc));
    ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    EXPECT_EQ(writer_test::run_python_file(dir, R"(
import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
got = [(c.style, bool(c.font.b), c.fill.fgColor.rgb if c.fill.fill_type else None, c.number_format)
       for c in (ws["A2"], ws["A3"], ws["A4"], ws["A5"])]
assert got == [("Normal", True, None, "General"), ("Loud", True, "FFFF0000", "General"),
               ("Mine", True, None, "0.000"), ("Mine", True, None, "0.000")], got
)", {dir / "out.xlsx"}), 0);
}

namespace {

using handle_maker_t = std::function<plover_style_t*(plover_workbook_t*, plover_worksheet_t*)>;
using route_t = std::function<void(plover_worksheet_t*, plover_style_t*)>;

plover_style_t* with_fill(plover_style_t* s, unsigned argb) {
    style_set_fill_pattern(s, 1);
    style_set_pattern_fg_color(s, argb);
    return s;
}

} // namespace

TEST(named_styles_on_cells, every_handle_applies_by_every_route) {
    // B2 is italic on yellow before the handle comes; the other book lives
    // until the end, as a host's would.
    plover_document_t* other = doc_create();
    ASSERT_NE(other, nullptr) << run_msg();
    plover_workbook_t* far_book = doc_get_workbook(other);
    ASSERT_NE(wb_add_worksheet(far_book, "Far"), nullptr) << run_msg();
    plover_style_t* far = with_fill(wb_make_normal_style(far_book), 0xFF0000FF);
    style_set_bold(far, 1);
    ASSERT_NE(wb_add_custom_style(far_book, "Far", far), nullptr) << run_msg();
    struct handle_row_t {
        const char* what;
        handle_maker_t make;
        int bold, italic;
        unsigned fill;
        const char* parent;
    } handles[] = {
        {"custom",
         [](plover_workbook_t* wb, plover_worksheet_t*) {
             return wb_add_custom_style(wb, "Mine", with_fill(wb_make_normal_style(wb), 0xFF00FF00));
         },
         0, 0, 0xFF00FF00, "Mine"},
        {"loaded", [](plover_workbook_t* wb, plover_worksheet_t*) { return wb_get_named_style(wb, "Loud"); }, 1, 0,
         0xFFFF0000, "Loud"},
        {"built-in before use", [](plover_workbook_t* wb, plover_worksheet_t*) { return wb_get_named_style(wb, "good"); },
         0, 0, 0xFFC6EFCE, "good"},
        {"built-in in use",
         [](plover_workbook_t* wb, plover_worksheet_t* ws) {
             ws_set_cell_style(ws, 9, 9, wb_get_named_style(wb, "good"));
             return wb_get_named_style(wb, "good");
         },
         0, 0, 0xFFC6EFCE, "good"},
        {"from another workbook",
         [&](plover_workbook_t*, plover_worksheet_t*) { return wb_get_named_style(far_book, "Far"); },
         1, 0, 0xFF0000FF, "Normal"},
        {"custom looking like Normal",
         [](plover_workbook_t* wb, plover_worksheet_t*) {
             return wb_add_custom_style(wb, "Plain", wb_make_normal_style(wb));
         },
         0, 0, 0, "Plain"},
        {"normal with bold set",
         [](plover_workbook_t* wb, plover_worksheet_t*) {
             plover_style_t* bold = wb_make_normal_style(wb);
             style_set_bold(bold, 1);
             return bold;
         },
         1, 0, 0xFFFFFF00, "Normal"},
        {"Normal as it is", [](plover_workbook_t* wb, plover_worksheet_t*) { return wb_get_named_style(wb, "Normal"); },
         0, 1, 0xFFFFFF00, "Normal"},
    };
    const struct {
        const char* what;
        route_t apply;
    } routes[] = {
        {"cell", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_cell_style(ws, 2, 2, s); }},
        {"range", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_range_style(ws, 2, 2, 3, 3, s); }},
        {"row", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_row_style(ws, 2, 2, s); }},
        {"column", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_col_style(ws, 2, 2, s); }},
    };
    for (const auto& h : handles) {
        for (const auto& r : routes) {
            const std::string what = std::string(h.what) + " by " + r.what;
            scratch_dir dir;
            write_zip(dir / "in.xlsx", reader_test::with_styles(reader_test::sheet_package(
                                           "<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row></sheetData>"),
                                                              openpyxl_styles));
            plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
            ASSERT_NE(doc, nullptr) << what << ": " << run_msg();
            plover_workbook_t* wb = doc_get_workbook(doc);
            plover_worksheet_t* ws = wb_get_sheet(wb, 0);
            plover_style_t* before = with_fill(wb_make_normal_style(wb), 0xFFFFFF00);
            style_set_italic(before, 1);
            ws_set_cell_style(ws, 2, 2, before);
            plover_style_t* handle = h.make(wb, ws);
            ASSERT_NE(handle, nullptr) << what << ": " << run_msg();
            r.apply(ws, handle);

            plover_style_t* got = ws_cell_style(ws, 2, 2);
            ASSERT_NE(got, nullptr) << what << ": " << run_msg();
            EXPECT_EQ(std::tuple(style_bold(got), style_italic(got), style_pattern_fg_color(got)),
                      std::tuple(h.bold, h.italic, h.fill))
                << what;
            ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << what << ": " << run_msg();
            doc_release(doc);
            EXPECT_EQ(saved_styles::parent_name(read_zip(dir / "out.xlsx"), "B2"), h.parent) << what;
        }
    }
    doc_release(other);
}

// Bold green "Theirs" of another book on B2, which with row 2 and column B
// has openpyxl's double bottom border and format 49: every route gives
// Theirs' look alone, and a whole row or column gives it to its empty cells
// (D2, B5) through the record the sheet saves.
TEST(named_styles_on_cells, another_books_style_gives_one_look_by_every_route) {
    plover_document_t* other = doc_create();
    plover_workbook_t* far_book = doc_get_workbook(other);
    ASSERT_NE(wb_add_worksheet(far_book, "Far"), nullptr) << run_msg();
    plover_style_t* made = wb_make_normal_style(far_book);
    style_set_bold(made, 1);
    style_set_font_color(made, 0xFF00B050);
    plover_style_t* theirs = wb_add_custom_style(far_book, "Theirs", made);
    const std::string styles =
        "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts><fills count=\"2\"><fill>"
        "<patternFill/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills><borders count=\"2\"><border>"
        "<left/><right/><top/><bottom/><diagonal/></border><border><left/><right/><top/><bottom style=\"double\"/>"
        "<diagonal/></border></borders><cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" borderId=\"1\" xfId=\"0\"/></cellXfs>";
    const struct {
        const char* what;
        route_t apply;
        int empty_row, empty_col;
        const char *record, *attribute;
    } routes[] = {
        {"cell", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_cell_style(ws, 2, 2, s); }, 2, 2, "", ""},
        {"range", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_range_style(ws, 2, 2, 3, 3, s); }, 2, 2, "", ""},
        {"row", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_row_style(ws, 2, 2, s); }, 2, 4, "<row r=\"2\"", "s"},
        {"column", [](plover_worksheet_t* ws, plover_style_t* s) { ws_set_col_style(ws, 2, 2, s); }, 5, 2,
         "<col min=\"2\"", "style"},
    };
    std::string by_cell;
    for (const auto& r : routes) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::with_styles(reader_test::sheet_package(
                                       "<cols><col min=\"2\" max=\"2\" width=\"9\" style=\"1\"/></cols><sheetData>"
                                       "<row r=\"2\" s=\"1\" customFormat=\"1\"><c r=\"B2\" s=\"1\"><v>1</v></c>"
                                       "</row></sheetData>"), styles));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << r.what << ": " << run_msg();
        plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
        r.apply(ws, theirs);
        for (const auto& [row, col] : {std::pair(2, 2), std::pair(r.empty_row, r.empty_col)}) {
            plover_style_t* got = ws_cell_style(ws, row, col);
            ASSERT_NE(got, nullptr) << r.what << ": " << run_msg();
            EXPECT_EQ(std::tuple(style_bold(got), style_font_color(got), style_border(got, BORDER_BOTTOM),
                                 std::string(style_numfmt_code(got))),
                      std::tuple(1, 0xFF00B050u, 0, std::string("General")))
                << r.what << " " << row << "," << col;
        }
        ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << r.what << ": " << run_msg();
        doc_release(doc);
        const entries_t saved = read_zip(dir / "out.xlsx");
        if (by_cell.empty()) by_cell = saved_xf(saved, "B2");
        EXPECT_EQ(saved_xf(saved, "B2"), by_cell) << r.what;
        if (*r.record) {
            EXPECT_EQ(saved_styles::record_xf(saved, r.record, r.attribute), by_cell) << r.what;
        }
    }
    doc_release(other);
}
