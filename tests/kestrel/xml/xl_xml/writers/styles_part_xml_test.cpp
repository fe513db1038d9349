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
    const stand_in_writers others({k::worksheet_part, k::vml_drawing_part});
    scratch_dir dir;
    styled_book b;
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
