#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/style/manager/style_manager.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace package_test;
using writer_test::xml_elements;

namespace {

using k = vex::part_kind_enum;
namespace mta = vex::mta;

const std::string head = std::string(saved_decl) +
                         "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";

struct styled_book {
    vex::xml_document_t doc;
    vex::workbook_t* book = nullptr;
    mta::style_manager_t* styles = nullptr;

    styled_book() {
        doc.create_package();
        book = doc.workbook();
        writer_test::add_sheet(*book, "A");
        styles = book->first_worktable()->get_style_manager();
    }
    std::string written() {
        return writer_test::write_part_text(*writer_test::child_of_kind(*doc.workbook_part(), k::workbook_styles_part));
    }
};

} // namespace

TEST(styles_part_xml, default_styles) {
    styled_book b;
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(
        <fonts count="1"><font><sz val="11"/><color theme="1"/><name val="Calibri"/><family val="2"/></font></fonts>
        <fills count="2">
          <fill><patternFill patternType="none"/></fill>
          <fill><patternFill patternType="gray125"/></fill>
        </fills>
        <borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>
        <cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
        <cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs>
        <cellStyles count="1"><cellStyle name="normal" xfId="0" builtinId="0"/></cellStyles>
        </styleSheet>)"));
}

TEST(styles_part_xml, gradient_inner_borders_and_custom_format) {
    styled_book b;
    mta::style_settings_t s;
    s.set_numfmt_code("0.000\" kg\"");
    mta::font_t f;
    f.name = "Cambria";
    f.size = 1000;  // past the largest size the applications take
    f.italic = 1;
    f.color.indexed = 8;
    s.set_font(f);
    mta::fill_t fill;
    fill.gradient.degree = 90;
    fill.gradient.stops = {{mta::color_t::from_rgb(0xFFFF0000), 0.0}, {mta::color_t{}, 1.0}};
    s.set_fill(fill);
    mta::border_t border;
    border.set_edge(mta::border_side::left, 1, mta::color_t::from_rgb(0xFF00FF00));
    border.set_edge(mta::border_side::horizontal, 4, {});
    border.set_edge(mta::border_side::vertical, 13, mta::color_t::from_theme(1, 0.1234567891234));
    border.set_diagonal_up(true);
    s.set_border(border);
    mta::alignment_t a;
    a.horizontal = 2;
    a.wrap_text = 1;
    a.text_rotation = 90;
    s.set_alignment(a);
    s.set_locked(false);
    EXPECT_EQ(b.styles->intern_style(s), 1);
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(
        <numFmts count="1"><numFmt numFmtId="164" formatCode="0.000&quot; kg&quot;"/></numFmts>
        <fonts count="2">
          <font><sz val="11"/><color theme="1"/><name val="Calibri"/><family val="2"/></font>
          <font><i val="1"/><sz val="409"/><color indexed="8"/><name val="Cambria"/></font>
        </fonts>
        <fills count="3">
          <fill><patternFill patternType="none"/></fill>
          <fill><patternFill patternType="gray125"/></fill>
          <fill><gradientFill degree="90">
            <stop position="0"><color rgb="FFFF0000"/></stop>
            <stop position="1"><color/></stop>
          </gradientFill></fill>
        </fills>
        <borders count="2">
          <border><left/><right/><top/><bottom/><diagonal/></border>
          <border diagonalUp="1">
            <left style="thin"><color rgb="FF00FF00"/></left><right/><top/><bottom/><diagonal/>
            <vertical style="thick"><color theme="1" tint="0.1234567891234"/></vertical>
            <horizontal style="dashDotDot"/>
          </border>
        </borders>
        <cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>
        <cellXfs count="2">
          <xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>
          <xf numFmtId="164" fontId="1" fillId="2" borderId="1" xfId="0" applyNumberFormat="1" applyFont="1" applyFill="1" applyBorder="1" applyAlignment="1" applyProtection="1">
            <alignment horizontal="center" textRotation="90" wrapText="1"/><protection locked="0"/>
          </xf>
        </cellXfs>
        <cellStyles count="1"><cellStyle name="normal" xfId="0" builtinId="0"/></cellStyles>
        </styleSheet>)"));
}

TEST(styles_part_xml, saved_package_is_well_formed) {
    scratch_dir dir;
    styled_book b;
    const stand_in_writers others(b.doc, {k::worksheet_part, k::vml_drawing_part});
    mta::style_settings_t s;
    s.set_numfmt_code("#,##0.00;[Red]-#,##0.00");
    mta::fill_t fill;
    fill.pattern.type = 1;
    fill.pattern.fg = mta::color_t::from_theme(4, -0.25);
    s.set_fill(fill);
    b.styles->intern_style(s);
    b.doc.save((dir / "s.xlsx").c_str(), 2);
    writer_test::expect_valid_package(dir / "s.xlsx");
    const entries_t saved = read_zip(dir / "s.xlsx");
    EXPECT_EQ(names(saved), (std::vector<std::string>{"_rels/.rels", "xl/workbook.xml", "xl/worksheets/sheet1.xml",
                                                       "xl/styles.xml", "xl/_rels/workbook.xml.rels",
                                                       "[Content_Types].xml"}));
    EXPECT_EQ(find(saved, "xl/styles.xml"), b.written());
}

TEST(styles_part_xml, loaded_tables_with_differential_formats_and_colours) {
    styled_book b;
    auto t = std::make_unique<mta::style_manager_t::impl>();
    t->register_numfmt_code("0.0%");     // 164
    t->register_numfmt_code("dd/mm");    // 165, freed below
    t->register_numfmt_code("[h]:mm");   // 166
    t->custom_numfmt_codes[1].clear();
    t->free_numfmt_slots.push_back(1);
    mta::font_t font;
    font.size = 11;
    t->fonts = {font};
    t->fills = {mta::fill_t{}};
    mta::fill_t solid;
    solid.pattern.type = 1;
    solid.pattern.fg = mta::color_t::from_theme(4, -0.25);
    solid.pattern.bg.indexed = 64;
    t->fills.push_back(solid);
    t->borders = {mta::border_t{}};
    mta::xf_t style_xf;
    style_xf.applied = 0x3D;   // all but the font
    t->cell_style_xfs = {style_xf};
    mta::xf_t cell_xf;
    cell_xf.xfId = 0;
    cell_xf.fillId = 1;
    cell_xf.numFmtId = 166;
    cell_xf.quotePrefix = 1;
    cell_xf.protection.hidden = 1;
    t->cell_xfs = {cell_xf};
    t->named_styles.insert_or_assign({"normal", 0, 0, 0, 0, 0});
    t->named_styles.insert_or_assign({"Mine", 0, -1, 1, 0, 1});
    mta::dxf_t dxf;
    mta::font_t red;
    red.color = mta::color_t::from_rgb(0xFF9C0006);
    dxf.font = red;
    dxf.numfmt = mta::dxf_numfmt_t{164, "0.0%"};
    dxf.alignment = mta::alignment_t{};
    t->dxfs = {dxf};
    t->indexed_colors = {0xFF000000, 0xFFFFFFFF};
    mta::color_t recent;
    recent.auto_ = 1;
    t->mru_colors = {recent};
    b.styles->assign_loaded_styles(std::move(t));
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(
        <numFmts count="2">
          <numFmt numFmtId="164" formatCode="0.0%"/><numFmt numFmtId="166" formatCode="[h]:mm"/>
        </numFmts>
        <fonts count="1"><font><sz val="11"/></font></fonts>
        <fills count="2">
          <fill><patternFill patternType="none"/></fill>
          <fill><patternFill patternType="solid"><fgColor theme="4" tint="-0.25"/><bgColor indexed="64"/></patternFill></fill>
        </fills>
        <borders count="1"><border><left/><right/><top/><bottom/><diagonal/></border></borders>
        <cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" applyFont="0"/></cellStyleXfs>
        <cellXfs count="1">
          <xf numFmtId="166" fontId="0" fillId="1" borderId="0" xfId="0" quotePrefix="1"><protection hidden="1"/></xf>
        </cellXfs>
        <cellStyles count="2">
          <cellStyle name="normal" xfId="0" builtinId="0"/>
          <cellStyle name="Mine" xfId="0" iLevel="1" hidden="1"/>
        </cellStyles>
        <dxfs count="1"><dxf>
          <font><color rgb="FF9C0006"/></font><numFmt numFmtId="164" formatCode="0.0%"/><alignment/>
        </dxf></dxfs>
        <colors>
          <indexedColors><rgbColor rgb="FF000000"/><rgbColor rgb="FFFFFFFF"/></indexedColors>
          <mruColors><color auto="1"/></mruColors>
        </colors>
        </styleSheet>)"));
}

// A workbook holding every kind of style record loads, and saved again its
// styles and its sheet come out byte for byte.
TEST(styles_part_xml, every_kind_of_style_saves_again_byte_for_byte) {
    scratch_dir dir;
    styled_book b;
    auto t = std::make_unique<mta::style_manager_t::impl>();
    t->register_numfmt_code("0.0%");
    mta::font_t normal;
    normal.name = "Calibri";
    normal.size = 11;
    normal.color = mta::color_t::from_theme(1);
    normal.scheme = 2;
    t->fonts = {normal};
    mta::fill_t path;
    path.gradient.type = 1;
    path.gradient.left = path.gradient.right = 0.5;
    path.gradient.stops = {{mta::color_t::from_theme(0), 0.0}, {mta::color_t::from_theme(4, 0.4), 1.0}};
    t->fills = {mta::fill_t{}, mta::fill_t{}, path};
    t->fills[1].pattern.type = 11;
    t->borders = {mta::border_t{}};
    mta::xf_t style_xf;
    style_xf.applied = 63;
    t->cell_style_xfs = {style_xf};
    mta::xf_t cell_xf;
    cell_xf.fillId = 2;
    cell_xf.numFmtId = 164;
    cell_xf.applied = 5;
    t->cell_xfs = {mta::xf_t{}, cell_xf};
    t->named_styles.insert_or_assign({"Normal", 0, 0, 0, 0, 0});
    mta::dxf_t dxf;
    mta::fill_t pink;
    pink.pattern.bg = mta::color_t::from_rgb(0xFFFFC7CE);
    dxf.fill = pink;
    mta::border_t top;
    top.set_edge(mta::border_side::top, 1, mta::color_t::from_theme(4));
    dxf.border = top;
    dxf.numfmt = mta::dxf_numfmt_t{170, "0.000"};
    dxf.protection = mta::protection_t{};
    mta::font_t bold;
    bold.bold = 1;
    dxf.font = bold;
    dxf.font_flags_off = 0x42;   // italic and shadow off
    t->dxfs = {dxf, mta::dxf_t{}};
    t->default_table_style = "TableStyleMedium2";
    t->default_pivot_style = "PivotStyleLight16";
    t->table_styles = {{true, false, "Mine", {{10, 1, 0}, {27, 0, 2}}}};
    t->indexed_colors = {0xFF000000, 0x00FFFFFF};
    t->mru_colors = {mta::color_t::from_rgb(0xFF123456)};
    b.styles->assign_loaded_styles(std::move(t));

    mta::style_settings_t s;
    s.set_numfmt_code("#,##0.00;[Red]-#,##0.00");
    mta::font_t f;
    f.name = "Arial Narrow";
    f.size = 10.5;
    f.color = mta::color_t::from_theme(4, -0.249977111117893);
    f.family = 2;
    f.charset = 204;
    f.underline = 4;
    f.vert_align = 1;
    f.bold = f.italic = f.strikeout = f.outline = f.shadow = f.condense = f.extend = 1;
    s.set_font(f);
    mta::fill_t solid;
    solid.pattern.type = 17;
    solid.pattern.fg.indexed = 10;
    solid.pattern.bg.auto_ = 1;
    s.set_fill(solid);
    mta::border_t border;
    border.set_edge(mta::border_side::diagonal, 12, mta::color_t::from_rgb(0xFF00FF00));
    border.set_edge(mta::border_side::bottom, 13, {});
    border.set_diagonal_up(true);
    border.set_diagonal_down(true);
    border.set_outline(true);
    s.set_border(border);
    mta::alignment_t a;
    a.horizontal = 7;
    a.vertical = 1;
    a.indent = 2;
    a.text_rotation = 255;
    a.shrink_to_fit = 1;
    a.reading_order = 2;
    s.set_alignment(a);
    s.set_protection(mta::protection_t{1, 0});
    s.set_quote_prefix(true);
    vex::worktable_t& table = *b.book->first_worktable();
    table.set_num(1, 1, 1.5);
    table.set_cell_style(1, 1, s);
    table.set_num(2, 1, 2.5);
    table.set_cell_style(2, 1, b.styles->get_style_settings(1));
    mta::style_settings_t mine = s;
    ASSERT_TRUE(b.styles->add_custom_style("Mine", mine));
    ASSERT_GE(b.styles->register_builtin_style("good"), 0);
    b.doc.save((dir / "first.xlsx").c_str(), 2);

    vex::xml_document_t again;
    again.load((dir / "first.xlsx").c_str(), false);
    again.save((dir / "second.xlsx").c_str(), 2);
    const entries_t first = read_zip(dir / "first.xlsx");
    const entries_t second = read_zip(dir / "second.xlsx");
    const std::string styles = find(first, "xl/styles.xml");
    for (const char* part : {"<dxfs count=\"2\">", "<font><b val=\"1\"/><i val=\"0\"/><shadow val=\"0\"/></font>", "<tableStyles count=\"1\"", "<indexedColors>", "gradientFill",
                             "diagonalUp=\"1\"", "name=\"Mine\"", "builtinId=\"26\""})
        EXPECT_NE(styles.find(part), std::string::npos) << part;
    EXPECT_EQ(xml_elements(find(second, "xl/styles.xml")), xml_elements(styles));
    EXPECT_EQ(find(second, "xl/worksheets/sheet1.xml"), find(first, "xl/worksheets/sheet1.xml"));
}
