// A package saved with the workbook, styles and shared-strings writers (the
// sheets through stand-ins) loads in openpyxl without a warning, with what
// the model held.

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/style_manager.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <memory>

using namespace package_test;

namespace {

using k = vex::part_kind_enum;
namespace mta = vex::mta;

} // namespace

TEST(openpyxl_load, workbook_styles_and_strings) {
    writer_test::sheet_texts() = {"_x0041_ \x01 a<b", "plain"};
    scratch_dir dir;
    vex::xml_document_t doc;
    const stand_in_writers others(doc, {k::vml_drawing_part});
    const stand_in_writers sheets(doc, {k::worksheet_part}, &writer_test::numbering_sheet::make);
    doc.create_package();
    vex::workbook_t& book = *doc.workbook();
    ASSERT_TRUE(writer_test::add_sheet(book, "Data & more"));
    ASSERT_TRUE(writer_test::add_sheet(book, "Hidden"));
    book.set_sheet_state(1, 2);
    book.set_date1904(true);
    book.set_calc_mode(2);
    ASSERT_TRUE(book.first_worktable()->add_defined_name("Total", "'Data & more'!$A$1:$A$3", {}, mta::workbook_scope));

    mta::style_manager_t& styles = *book.first_worktable()->get_style_manager();
    mta::style_settings_t s;
    s.set_numfmt_code("0.000\" kg\"");
    mta::font_t f;
    f.name = "Arial";
    f.size = 10.5;
    f.bold = 1;
    f.underline = 3;
    f.color = mta::color_t::from_theme(4, -0.249977111117893);
    s.set_font(f);
    mta::fill_t fill;
    fill.gradient.type = 1;
    fill.gradient.left = 0.5;
    fill.gradient.stops = {{mta::color_t::from_rgb(0xFF0000FF), 0.0}, {mta::color_t::from_rgb(0xFFFFFFFF), 1.0}};
    s.set_fill(fill);
    mta::border_t border;
    border.set_edge(mta::border_side::horizontal, 2, mta::color_t::from_rgb(0xFF123456));
    s.set_border(border);
    styles.intern_style(s);
    // Theme 0 (white) and palette index 0 are colours of their own.
    mta::style_settings_t white;
    mta::font_t wf;
    wf.name = "Calibri";
    wf.color = mta::color_t::from_theme(0);
    white.set_font(wf);
    mta::fill_t shade;
    shade.pattern.type = 1;
    shade.pattern.fg = mta::color_t::from_theme(0, -0.1499);
    shade.pattern.bg.given = mta::color_t::given_indexed;
    white.set_fill(shade);
    mta::border_t edge;
    edge.set_edge(mta::border_side::left, 1, mta::color_t::from_theme(0));
    white.set_border(edge);
    styles.intern_style(white);
    mta::style_settings_t stops;
    mta::fill_t zero_stops;
    zero_stops.gradient.stops = {{mta::color_t::from_theme(0), 0.0}, {shade.pattern.bg, 1.0}};
    stops.set_fill(zero_stops);
    styles.intern_style(stops);

    doc.save((dir / "book.xlsx").c_str(), 2);
    writer_test::sheet_texts().clear();
    writer_test::expect_valid_package(dir / "book.xlsx");
    const std::string script = R"(import sys, warnings
warnings.simplefilter("error")
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
assert wb.sheetnames == ["Data & more", "Hidden"], wb.sheetnames
assert wb["Hidden"].sheet_state == "veryHidden"
assert wb.epoch.year == 1904, wb.epoch
assert wb.calculation.calcMode == "manual"
assert [d.name for d in wb.defined_names.definedName] == ["Total"]
assert wb.defined_names.definedName[0].attr_text == "\u0027Data & more\u0027!$A$1:$A$3"
assert "0.000\" kg\"" in wb._number_formats, wb._number_formats
font = wb._fonts[1]
assert font.name == "Arial" and font.sz == 10.5 and font.b and font.u == "double", font
assert font.color.theme == 4 and font.color.tint == -0.249977111117893, font.color
gradient = wb._fills[2]
assert gradient.type == "path" and gradient.left == 0.5 and len(gradient.stop) == 2, gradient
assert gradient.stop[0].color.rgb == "FF0000FF", gradient.stop[0]
assert wb._borders[1].horizontal.style == "dashed", wb._borders[1]
assert len(wb._cell_styles) == 4, len(wb._cell_styles)
def theme0(c):
    return c is not None and c.type == "theme" and c.theme == 0
def indexed0(c):
    return c is not None and c.type == "indexed" and c.indexed == 0
assert any(theme0(f.color) for f in wb._fonts), wb._fonts
assert any(getattr(f, "fgColor", None) is not None and theme0(f.fgColor) and f.fgColor.tint == -0.1499 and
           indexed0(f.bgColor) for f in wb._fills), wb._fills
assert any(theme0(b.left.color) for b in wb._borders), wb._borders
assert any(getattr(f, "stop", None) and theme0(f.stop[0].color) and indexed0(f.stop[1].color) for f in wb._fills)
import zipfile, xml.dom.minidom
sst = xml.dom.minidom.parseString(zipfile.ZipFile(sys.argv[1]).read("xl/sharedStrings.xml"))
texts = [t.firstChild.data for t in sst.getElementsByTagName("t")]
assert texts == ["_x005F_x0041_ _x0001_ a<b", "plain"], texts
)";
    EXPECT_EQ(writer_test::run_python(script, dir / "book.xlsx"), 0);
}
