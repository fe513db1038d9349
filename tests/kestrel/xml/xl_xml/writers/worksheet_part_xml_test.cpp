#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/cell/cell_getters.h"
#include "mta/table/style/manager/style_manager.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

using namespace package_test;
using writer_test::xml_elements;

namespace {

using k = vex::part_kind_enum;
namespace mta = vex::mta;

// Sheets through their own writer; drawings through stand-ins.
struct saved_sheet {
    scratch_dir dir;
    vex::xml_document_t doc;
    stand_in_writers others{doc, {k::vml_drawing_part}};
    vex::workbook_t* book = nullptr;
    vex::worksheet_t* sheet = nullptr;
    vex::worktable_t* table = nullptr;

    saved_sheet() {
        doc.create_package();
        book = doc.workbook();
        sheet = writer_test::add_sheet(*book, "Data");
        table = sheet ? sheet->worktable() : nullptr;
    }
    std::string path() const { return dir / "book.xlsx"; }
    entries_t save() {
        doc.save(path().c_str(), 2);
        writer_test::expect_valid_package(path());
        return read_zip(path());
    }
    // The saved sheet entry's elements from the one after sheetFormatPr.
    std::vector<std::string> saved_from_cols() {
        const auto elements = xml_elements(find(save(), "xl/worksheets/sheet1.xml"));
        return {elements.begin() + 7, elements.end()};
    }
};

const std::string head = std::string(saved_decl) +
                         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
// The one sheet is the active one: its tab is selected.
const std::string view = R"(<sheetViews><sheetView tabSelected="1" workbookViewId="0"/></sheetViews>)";
const std::string format = R"(<sheetFormatPr defaultRowHeight="15"/>)";

vex::range_t rng(int r1, int c1, int r2, int c2) {
    vex::range_t r;
    r.first.row = r1, r.first.col = c1, r.last.row = r2, r.last.col = c2;
    return r;
}

std::string sheet_text(const std::string& body) { return head + body + "</worksheet>"; }


// Two styles that differ in one font flag each.
std::pair<mta::style_settings_t, mta::style_settings_t> bold_and_italic() {
    mta::style_settings_t bold, italic;
    mta::font_t f;
    f.bold = 1;
    bold.set_font(f);
    f.bold = 0;
    f.italic = 1;
    italic.set_font(f);
    return {bold, italic};
}

} // namespace

TEST(worksheet_part_xml, new_sheet_writes_views_format_and_empty_data) {
    saved_sheet s;
    ASSERT_TRUE(s.table);
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/worksheets/sheet1.xml")),
              xml_elements(sheet_text(R"(<dimension ref="A1"/>)" + view + format + "<sheetData></sheetData>")));
    EXPECT_EQ(find(saved, "xl/worksheets/_rels/sheet1.xml.rels"), "<absent>");
}

TEST(worksheet_part_xml, cells_of_every_kind_and_row_attributes) {
    saved_sheet s;
    mta::Table& t = *s.table;
    ASSERT_TRUE(t.set_num(1, 1, 3.25));
    ASSERT_TRUE(t.set_num(1, 2, 0.1234567891234));
    ASSERT_TRUE(t.set_num(1, 3, 1e-7));
    ASSERT_TRUE(t.set_num(1, 4, -7));
    t.set_num(1, 5, std::numeric_limits<double>::quiet_NaN());
    ASSERT_TRUE(t.set_text(2, 1, "a<b&c"));
    ASSERT_TRUE(t.set_text(2, 2, "x"));
    ASSERT_TRUE(t.set_text(2, 3, "a<b&c"));
    ASSERT_TRUE(t.set_boolean(3, 1, true));
    ASSERT_TRUE(t.set_error(3, 2, mta::error_value_enum::div0));
    ASSERT_TRUE(t.set_formula(3, 3, "=SUM(A1:D1)"));
    ASSERT_TRUE(t.set_formula_result(3, 3, mta::cell_t::value_type(2.5)));
    ASSERT_TRUE(t.set_formula(3, 4, "A2&\"<\""));
    ASSERT_TRUE(t.set_formula_result(3, 4, mta::cell_t::value_type(std::string_view("a<b&c<"))));
    ASSERT_TRUE(t.set_formula(3, 5, "1/0"));
    t.set_custom_row_height(5, 5, 20, 0);
    t.set_row_hidden(6, true);
    mta::style_settings_t bold;
    mta::font_t f;
    f.bold = 1;
    bold.set_font(f);
    t.set_cell_style(7, 2, bold);
    ASSERT_TRUE(t.set_row_outline_level(8, 8, 2));
    ASSERT_TRUE(t.set_num(8, 1, 1));
    ASSERT_TRUE(t.set_row_outline_level(9, 9, 1));
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/worksheets/sheet1.xml")), xml_elements(sheet_text(R"(
        <dimension ref="A1:E8"/>)" + view + format + R"(
        <sheetData>
          <row r="1"><c r="A1"><v>3.25</v></c><c r="B1"><v>0.1234567891234</v></c><c r="C1"><v>1e-07</v></c>
            <c r="D1"><v>-7</v></c><c r="E1" t="e"><v>#NUM!</v></c></row>
          <row r="2"><c r="A2" t="s"><v>0</v></c><c r="B2" t="s"><v>1</v></c><c r="C2" t="s"><v>0</v></c></row>
          <row r="3"><c r="A3" t="b"><v>1</v></c><c r="B3" t="e"><v>#DIV/0!</v></c>
            <c r="C3"><f>SUM(A1:D1)</f><v>2.5</v></c>
            <c r="D3" t="str"><f>A2&amp;&quot;&lt;&quot;</f><v>a&lt;b&amp;c&lt;</v></c>
            <c r="E3"><f>1/0</f></c></row>
          <row r="5" ht="20" customHeight="1"></row>
          <row r="6" hidden="1"></row>
          <row r="7"><c r="B7" s="1"/></row>
          <row r="8" outlineLevel="2"><c r="A8"><v>1</v></c></row>
          <row r="9" outlineLevel="1"></row>
        </sheetData>)")));
    EXPECT_EQ(xml_elements(find(saved, "xl/sharedStrings.xml")),
              xml_elements(std::string(saved_decl) +
                           R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="3" )"
                           R"(uniqueCount="2"><si><t>a&lt;b&amp;c</t></si><si><t>x</t></si></sst>)"));
}

TEST(worksheet_part_xml, columns_merges_and_links_with_relationships) {
    saved_sheet s;
    mta::Table& t = *s.table;
    ASSERT_TRUE(t.set_text(1, 1, "Title"));
    ASSERT_TRUE(t.merged_cells().merge(rng(1, 1, 1, 3), false));
    t.set_custom_col_width(3, 5, 12.5, 0);
    t.set_col_hidden(7, true);
    ASSERT_TRUE(t.add_hyperlink(rng(2, 1, 2, 1), "Data!A1", false));
    ASSERT_TRUE(t.add_hyperlink(rng(3, 1, 3, 2), "https://example.com/?a=1&b=2", true));
    ASSERT_TRUE(t.add_hyperlink(rng(4, 1, 4, 1), "https://example.org/", true));
    const std::string width(vex::number_text(*t.get_custom_col_width(3, 3, 0)).view());
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/worksheets/sheet1.xml")), xml_elements(sheet_text(R"(
        <dimension ref="A1"/>)" + view + format + R"(
        <cols><col min="3" max="5" width=")" + width + R"(" customWidth="1"/><col min="7" max="7" width="8.625" hidden="1"/></cols>
        <sheetData><row r="1"><c r="A1" t="s"><v>0</v></c></row></sheetData>
        <mergeCells count="1"><mergeCell ref="A1:C1"/></mergeCells>
        <hyperlinks><hyperlink ref="A2" location="Data!A1"/><hyperlink ref="A3:B3" r:id="rId1"/>
          <hyperlink ref="A4" r:id="rId2"/></hyperlinks>)")));
    const std::string link = std::string(od) + "hyperlink";
    EXPECT_EQ(find(saved, "xl/worksheets/_rels/sheet1.xml.rels"),
              rels(R"(<Relationship Id="rId1" Type=")" + link +
                   R"(" Target="https://example.com/?a=1&amp;b=2" TargetMode="External"/>)"
                   R"(<Relationship Id="rId2" Type=")" + link +
                   R"(" Target="https://example.org/" TargetMode="External"/>)"));
}

TEST(worksheet_part_xml, page_setup_protection_views_and_breaks) {
    saved_sheet s;
    vex::worksheet_t& sh = *s.sheet;
    // What the interface makes of 4095: every option but selecting cells.
    ASSERT_TRUE(sh.protect(65532, "test"));
    sh.set_page_orientation(1);
    sh.settings().print.page_setup.flags = 0;
    sh.set_left_margin(1);
    sh.set_print_headings(true);
    sh.set_page_header("&CTop & <1>");
    sh.settings().print.header_footer.first_footer = "first";
    sh.settings().print.header_footer.different_first = true;
    ASSERT_TRUE(sh.set_row_break(3, true));
    ASSERT_TRUE(sh.set_row_break(9, true));
    ASSERT_TRUE(sh.set_col_break(2, true));
    sh.set_zoom(150);
    sh.set_split_cell(2, 2);
    s.table->set_group_summary_below(false);
    const entries_t saved = s.save();
    const std::string text = find(saved, "xl/worksheets/sheet1.xml");
    const auto elements = xml_elements(text);
    ASSERT_GE(elements.size(), 4u);
    EXPECT_EQ(elements[2], R"(<sheetPr>)");
    EXPECT_EQ(elements[3], R"(<outlinePr summaryBelow="0"/>)");
    const auto tail = std::vector<std::string>(elements.begin() + long(elements.size() - 18), elements.end());
    EXPECT_EQ(tail, xml_elements(R"(<sheetData></sheetData>
        <sheetProtection sheet="1" password="CBEB" objects="1" scenarios="1"/>
        <printOptions headings="1"/>
        <pageMargins left="1" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>
        <pageSetup paperSize="9" orientation="landscape" usePrinterDefaults="false"/>
        <headerFooter differentFirst="1"><oddHeader>&amp;CTop &amp; &lt;1&gt;</oddHeader>
          <firstFooter>first</firstFooter></headerFooter>
        <rowBreaks count="2" manualBreakCount="2"><brk id="2" max="9" man="1"/><brk id="8" max="9" man="1"/></rowBreaks>
        <colBreaks count="1" manualBreakCount="1"><brk id="1" max="9" man="1"/></colBreaks>
        </worksheet>)"));
    EXPECT_NE(text.find(R"(zoomScale="150")"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(<pane topLeftCell="B2" activePane="topLeft" state="split"/>)"), std::string::npos) << text;
}

TEST(worksheet_part_xml, stored_error_code_past_the_table_fails_the_save) {
    saved_sheet s;
    ASSERT_TRUE(s.table->set_num(1, 1, 1));
    s.table->find_column(1)->set_value(1, mta::mtv_error_type{12});
    EXPECT_THROW(s.doc.save(s.path().c_str(), 2), std::runtime_error);
}

// Everything the sheet writer writes, read by openpyxl with the same values.
TEST(worksheet_part_xml, openpyxl_reads_the_values_back) {
    saved_sheet s;
    mta::Table& t = *s.table;
    ASSERT_TRUE(t.set_text(1, 1, "Name"));
    ASSERT_TRUE(t.set_text(1, 2, "Value"));
    ASSERT_TRUE(t.set_text(2, 1, "ctrl \x01 and _x0041_"));
    ASSERT_TRUE(t.set_num(2, 2, 0.1234567891234));
    ASSERT_TRUE(t.set_text(3, 1, " spaced "));
    ASSERT_TRUE(t.set_num(3, 2, 1e-7));
    ASSERT_TRUE(t.set_boolean(4, 1, false));
    ASSERT_TRUE(t.set_error(4, 2, mta::error_value_enum::na));
    ASSERT_TRUE(t.set_formula(5, 2, "B2+B3"));
    ASSERT_TRUE(t.set_formula_result(5, 2, mta::cell_t::value_type(0.1234568891234)));
    ASSERT_TRUE(t.merged_cells().merge(rng(6, 1, 6, 2), false));
    t.set_custom_col_width(1, 1, 20, 0);
    t.set_custom_row_height(2, 2, 30, 0);
    t.set_row_hidden(3, true);
    ASSERT_TRUE(t.add_hyperlink(rng(1, 3, 1, 3), "https://example.com/", true));
    ASSERT_TRUE(s.sheet->protect(0, "pw"));
    s.sheet->set_page_orientation(1);
    ASSERT_TRUE(s.sheet->set_row_break(4, true));
    auto pane = std::make_unique<vex::pane_t>();
    pane->y_split = 1;
    pane->top_left_cell.row = 2, pane->top_left_cell.col = 1;
    pane->active_pane = 2;
    pane->state = 0;
    s.sheet->settings().views.at(0).pane = std::move(pane);
    s.save();
    const std::string script = R"(
import sys, warnings, zipfile, xml.dom.minidom
warnings.simplefilter("error")
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb["Data"]
assert ws["A1"].value == "Name", ws["A1"].value
# openpyxl undoes only the escape of an underscore, so the control character stays escaped.
assert ws["A2"].value == "ctrl _x0001_ and _x0041_", repr(ws["A2"].value)
assert ws["B2"].value == 0.1234567891234, ws["B2"].value
assert ws["A3"].value == " spaced ", repr(ws["A3"].value)
assert ws["B3"].value == 1e-7, ws["B3"].value
assert ws["A4"].value is False
assert ws["B4"].value == "#N/A", ws["B4"].value
assert ws["B5"].value == "=B2+B3", ws["B5"].value
assert [str(r) for r in ws.merged_cells.ranges] == ["A6:B6"]
assert ws.column_dimensions["A"].customWidth and ws.column_dimensions["A"].width > 19, ws.column_dimensions["A"].width
assert ws.row_dimensions[2].height == 30
assert ws.row_dimensions[3].hidden
assert ws["C1"].hyperlink.target == "https://example.com/"
assert ws.protection.sheet
assert ws.page_setup.orientation == "landscape"
assert ws.freeze_panes == "A2", ws.freeze_panes
z = zipfile.ZipFile(sys.argv[1])
sheet = xml.dom.minidom.parseString(z.read("xl/worksheets/sheet1.xml"))
vs = [v.firstChild.data for v in sheet.getElementsByTagName("v")]
assert float(vs[3]) == 0.1234567891234 and float(vs[5]) == 1e-7, vs
)";
    EXPECT_EQ(writer_test::run_python(script, s.path()), 0);
}

TEST(worksheet_part_xml, shared_formulas_and_styled_rows_and_columns) {
    saved_sheet s;
    mta::Table& t = *s.table;
    mta::formula::formula_attributes_t master;
    master.type = 1;
    master.ref = rng(1, 2, 3, 2);
    master.flags = 1;
    vex::coord_t at;
    at.row = 1, at.col = 2;
    t.store_formula_cell(new mta::formula::formula_cell(at, "A1*2", master));
    mta::formula::formula_attributes_t follower;
    follower.type = 1;
    at.row = 2;
    t.store_formula_cell(new mta::formula::formula_cell(at, "A2*2", follower));
    ASSERT_TRUE(t.set_formula_result(2, 2, mta::cell_t::value_type(true)));
    mta::style_settings_t bold;
    mta::font_t f;
    f.bold = 1;
    bold.set_font(f);
    t.set_row_style(4, 4, bold);
    t.set_col_style(5, 5, bold);
    EXPECT_EQ(s.saved_from_cols(), xml_elements(R"(
        <cols><col min="5" max="5" width="8.625" style="1"/></cols>
        <sheetData>
          <row r="1"><c r="B1"><f t="shared" ref="B1:B3" si="0" ca="1">A1*2</f></c></row>
          <row r="2"><c r="B2" t="b"><f t="shared" si="0">A2*2</f><v>1</v></c></row>
          <row r="4" s="1" customFormat="1"><c r="B4" s="1"/><c r="E4" s="1"/></row>
        </sheetData></worksheet>)"));
}

// Cells are written by row in column order however far apart; a style laid
// over nearly whole columns is written as theirs, and the cells outside it
// with the style they show: the default one through a look-alike of it.
TEST(worksheet_part_xml, far_cells_and_styles_over_nearly_whole_columns) {
    saved_sheet s;
    mta::Table& t = *s.table;
    const auto [bold, italic] = bold_and_italic();
    // The test sheet is 10 by 10: the range covers 9 rows of each column.
    t.set_range_style(rng(2, 2, 10, 4), bold);
    t.set_cell_style(3, 1, italic);
    t.set_cell_style(1, 3, italic);
    ASSERT_TRUE(t.set_num(1, 10, 7));
    ASSERT_TRUE(t.set_num(2, 1, 1));
    ASSERT_TRUE(t.set_num(5, 3, 2));
    EXPECT_EQ(s.saved_from_cols(), xml_elements(R"(
        <cols><col min="2" max="4" width="8.625" style="1"/></cols>
        <sheetData>
          <row r="1"><c r="B1" s="3"/><c r="C1" s="2"/><c r="D1" s="3"/><c r="J1"><v>7</v></c></row>
          <row r="2"><c r="A2"><v>1</v></c></row>
          <row r="3"><c r="A3" s="2"/></row>
          <row r="5"><c r="C5" s="1"><v>2</v></c></row>
        </sheetData></worksheet>)"));
    const std::string script = R"(
import sys, warnings
warnings.simplefilter("error")
import openpyxl
ws = openpyxl.load_workbook(sys.argv[1])["Data"]
column = ws.column_dimensions["B"]
assert (column.min, column.max, column.font.b) == (2, 4, True), (column.min, column.max)
assert not ws["B1"].font.b and ws["C1"].font.i and ws["C5"].font.b and ws["A3"].font.i
)";
    EXPECT_EQ(writer_test::run_python(script, s.path()), 0);
}

// Styles, protection and links over whole rows or nearly whole rows or
// columns, on sheets with and without a bold row 1: each cell reads back
// showing what it showed, and a style held by most of a row or column is
// written as the row's or the column's.
TEST(worksheet_part_xml, ranges_over_whole_rows_read_back_cell_by_cell) {
    enum call_t { style, protection, link };
    struct case_t {
        call_t call;
        int r1, c1, r2;  // to column J, the last of the 10 by 10 test sheet
        bool bold_row;
        const char* written;  // a part of the sheet entry the form gives
    };
    const case_t cases[] = {
        {style, 1, 1, 3, false, R"(<row r="2" s="1" customFormat="1">)"},                        // whole rows
        {style, 1, 2, 3, false, R"(<row r="2" s="1" customFormat="1"><c r="A2" s="2"/></row>)"}, // but column A
        {style, 1, 2, 6, false, R"(<row r="4" s="1" customFormat="1"><c r="A4" s="2"/></row>)"}, // above half the rows
        {style, 1, 2, 4, false, R"(<row r="2" s="1" customFormat="1"><c r="A2" s="2"/></row>)"}, // below half
        {style, 2, 2, 10, true, R"(<col min="2" max="10" width="8.625" style="2"/>)"},
        {style, 1, 2, 6, true, R"(<row r="3" s="2" customFormat="1"><c r="A3" s="3"/></row>)"},
        {protection, 1, 1, 3, false, R"(<row r="3" s="2" customFormat="1">)"},
        {protection, 2, 2, 10, true, R"(<col min="2" max="10" width="8.625" style="4"/>)"},
        {link, 1, 1, 3, false, R"(<row r="2" s="1" customFormat="1"></row>)"},
        {link, 1, 2, 6, true, R"(<row r="3" s="3" customFormat="1"><c r="A3" s="4"/></row>)"},
    };
    const auto shown = [](const vex::worktable_t& t, int row, int col) {
        const mta::style_settings_t s = t.get_cell_style(row, col);
        return std::to_string(s.font().bold) + std::to_string(s.font().italic) + std::to_string(s.font().underline) +
               std::to_string(s.protection().locked);
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(std::to_string(c.call) + " from row " + std::to_string(c.r1) + " column " + std::to_string(c.c1) +
                     " to row " + std::to_string(c.r2) + (c.bold_row ? ", row 1 bold" : ""));
        saved_sheet s;
        mta::Table& t = *s.table;
        mta::font_t f;
        f.bold = 1;
        mta::style_settings_t bold;
        bold.set_font(f);
        if (c.bold_row) t.set_row_style(1, 1, bold);
        ASSERT_TRUE(t.set_num(5, 1, 7));
        ASSERT_TRUE(t.set_num(c.r2, 10, 8));
        const vex::range_t range = rng(c.r1, c.c1, c.r2, 10);
        f.bold = 0;
        f.italic = 1;
        mta::style_settings_t italic;
        italic.set_font(f);
        if (c.call == style) t.set_range_style(range, italic);
        const bool done = c.call == protection ? s.sheet->protect_range(range)
                          : c.call == link     ? t.hyperlinks().add(range, "Data!A1")
                                               : true;
        ASSERT_TRUE(done);
        std::vector<std::string> before;
        for (int row = 1; row <= 10; ++row)
            for (int col = 1; col <= 10; ++col) before.push_back(shown(*s.table, row, col));
        const std::string entry = find(s.save(), "xl/worksheets/sheet1.xml");
        EXPECT_NE(entry.find(c.written), std::string::npos) << entry;
        vex::xml_document_t back;
        back.load(s.path().c_str(), false);
        const vex::worktable_t& loaded = *back.workbook()->sheet_at(0)->worktable();
        for (int row = 1; row <= 10; ++row)
            for (int col = 1; col <= 10; ++col)
                EXPECT_EQ(shown(loaded, row, col), before[size_t((row - 1) * 10 + col - 1)]) << row << "," << col;
        EXPECT_EQ(mta::cell_getters::get_num(loaded, 5, 1), 7);
        EXPECT_EQ(mta::cell_getters::get_num(loaded, c.r2, 10), 8);
    }
}

// A style over nearly a whole column is the column's, but a cell of a styled
// row keeps its record: a file's row style would win over the column's there.
TEST(worksheet_part_xml, a_styled_row_keeps_its_cells_beside_a_column_wide_style) {
    saved_sheet s;
    mta::Table& t = *s.table;
    const auto [bold, italic] = bold_and_italic();
    t.set_row_style(4, 4, bold);
    t.set_range_style(rng(2, 2, 10, 2), italic);
    EXPECT_EQ(s.saved_from_cols(), xml_elements(R"(
        <cols><col min="2" max="2" width="8.625" style="2"/></cols>
        <sheetData>
          <row r="1"><c r="B1" s="3"/></row>
          <row r="4" s="1" customFormat="1"><c r="B4" s="2"/></row>
        </sheetData></worksheet>)"));
}

// The sheet's children take the first ids, its external links the next ones.
TEST(worksheet_part_xml, links_numbered_after_the_drawing) {
    saved_sheet s;
    ASSERT_TRUE(s.table->get_drawing_part__());
    ASSERT_TRUE(s.table->add_hyperlink(rng(1, 1, 1, 1), "https://a.example/", true));
    ASSERT_TRUE(s.table->add_hyperlink(rng(2, 1, 2, 1), "https://b.example/", true));
    const entries_t saved = s.save();
    const std::string text = find(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(text.find(R"(<hyperlinks><hyperlink ref="A1" r:id="rId2"/><hyperlink ref="A2" r:id="rId3"/></hyperlinks>)"
                        R"(<drawing r:id="rId1"/></worksheet>)"),
              std::string::npos)
        << text;
    const std::string rels_text = find(saved, "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_NE(rels_text.find(R"(<Relationship Id="rId1" Type=")" + std::string(od) + "drawing"), std::string::npos)
        << rels_text;
    EXPECT_NE(rels_text.find(R"(<Relationship Id="rId3" Type=")" + std::string(od) +
                             R"(hyperlink" Target="https://b.example/" TargetMode="External"/>)"),
              std::string::npos)
        << rels_text;
    expect_no_dangling_targets(saved);
}
