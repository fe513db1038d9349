#include "kestrel/xml/xl_xml/assignment/assign_for_workbook_styles.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/core/components/worktable.h"
#include "mta/table/style/manager/builtin_styles.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

using namespace vex;
using reader_test::feed;
using tables_t = mta::style_manager_t::impl;

namespace {

// Exits 1 naming each cell whose format openpyxl reads differently in the
// saved copy (argv[1]) and the original (argv[2]).
constexpr const char* same_formats_script = R"(
import sys, warnings
warnings.simplefilter("ignore")
import openpyxl
def color(c):
    return None if c is None else (c.type, str(c.value), round(c.tint or 0, 6))
def side(s):
    return (None, None) if s is None else (s.style, color(s.color))
def fmt(c):
    f, fl, b, a, p = c.font, c.fill, c.border, c.alignment, c.protection
    fill = (fl.tagname, getattr(fl, "fill_type", None), color(getattr(fl, "fgColor", None)),
            color(getattr(fl, "bgColor", None)), getattr(fl, "type", None), getattr(fl, "degree", None),
            tuple((s.position, color(s.color)) for s in getattr(fl, "stop", [])))
    return (c.number_format, f.name, f.sz, f.b, f.i, f.u, f.strike, f.vertAlign, f.family, f.scheme, color(f.color),
            fill, side(b.left), side(b.right), side(b.top), side(b.bottom), side(b.diagonal), b.diagonalUp,
            b.diagonalDown, a.horizontal, a.vertical, a.wrap_text, a.shrink_to_fit, a.indent, a.text_rotation,
            p.locked, p.hidden, c.style)
saved, original = openpyxl.load_workbook(sys.argv[1]), openpyxl.load_workbook(sys.argv[2])
bad = 0
for ws in original.worksheets:
    other = saved[ws.title]
    for row in ws.iter_rows():
        for c in row:
            if fmt(c) != fmt(other[c.coordinate]):
                print(ws.title, c.coordinate, fmt(c), fmt(other[c.coordinate]))
                bad = 1
sys.exit(bad)
)";

// Writes argv[1] with openpyxl: a style of every kind.
constexpr const char* openpyxl_book_script = R"(
import sys
import openpyxl
from openpyxl.styles import Font, PatternFill, GradientFill, Border, Side, Alignment, Protection, NamedStyle, Color
wb = openpyxl.Workbook()
ws = wb.active
ws["A1"].font = Font(name="Arial", sz=14, b=True, i=True, u="doubleAccounting", strike=True, vertAlign="subscript",
                     color=Color(theme=4, tint=-0.25))
ws["A2"].fill = GradientFill(type="path", left=0.5, right=0.5, top=0.5, bottom=0.5, stop=("FF0000", "0000FF"))
ws["A3"].fill = GradientFill(degree=45, stop=("00FF00", "FFFFFF"))
ws["A4"].fill = PatternFill("lightGrid", fgColor="FF123456", bgColor=Color(indexed=22))
ws["A5"].border = Border(left=Side("thin", color="FF0000"), right=Side("double"), top=Side("dashDot"),
                         bottom=Side("thick", color=Color(theme=3)), diagonal=Side("hair"), diagonalUp=True,
                         diagonalDown=True)
ws["A6"].alignment = Alignment(horizontal="distributed", vertical="justify", wrap_text=True, shrink_to_fit=True,
                               indent=3, text_rotation=255)
ws["A7"].protection = Protection(locked=False, hidden=True)
ws["A8"].number_format = "0.000\" kg\";[Red]-0.000"
mine = NamedStyle(name="Mine")
mine.font = Font(name="Courier", sz=9)
mine.border = Border(left=Side("medium"))
wb.add_named_style(mine)
ws["A9"].style = "Mine"
ws["A10"].style = "Good"
ws["A11"].number_format = "dd/mm/yyyy hh:mm"
for row in range(1, 12):
    ws.cell(row, 1).value = row
wb.save(sys.argv[1])
)";

// Puts argv[1] in place of xl/styles.xml in the package argv[2], as argv[3].
constexpr const char* replace_styles_script = R"(
import sys, zipfile
styles = open(sys.argv[1], "rb").read()
source = zipfile.ZipFile(sys.argv[2])
with zipfile.ZipFile(sys.argv[3], "w") as out:
    for name in source.namelist():
        out.writestr(name, styles if name == "xl/styles.xml" else source.read(name))
)";

std::string sheet(const std::string& body) {
    return std::string("<styleSheet xmlns=\"") + reader_test::main_ns + "\">" + body + "</styleSheet>";
}

std::unique_ptr<tables_t> read(const std::string& body) {
    workbook_style_t styles(nullptr);
    feed(styles, sheet(body));
    return styles.take_style_tables();
}

// The reader's message, without the parser's position.
std::string read_error(const std::string& body) {
    try {
        read(body);
    } catch (const std::exception& e) {
        const std::string what = e.what();
        const std::string head = what.substr(0, what.find(" ---at:"));
        const std::string prefix = "xml paring error: ";
        return head.starts_with(prefix) ? head.substr(prefix.size()) : head;
    }
    return "no throw";
}

std::string xfs(const std::string& cell_xfs) { return "<cellXfs>" + cell_xfs + "</cellXfs>"; }

} // namespace

// Each case: a minimal part and what the tables hold after it.
TEST(assign_for_workbook_styles, minimal_parts) {
    struct case_t {
        const char* name;
        std::string body;
        std::function<void(const tables_t&)> check;
    };
    const case_t cases[] = {
        {"nothing: the defaults", "<fonts count=\"0\"/>",
         [](const tables_t& t) {
             EXPECT_EQ(t.fonts.size(), 1u);
             ASSERT_EQ(t.fills.size(), 2u);
             EXPECT_EQ(t.fills[1].pattern.type, 11u) << "gray125";
             EXPECT_EQ(t.borders.size(), 1u);
             EXPECT_EQ(t.cell_style_xfs.size(), 1u);
             EXPECT_EQ(t.cell_xfs.size(), 1u);
             ASSERT_EQ(t.named_styles.size(), 1u);
             EXPECT_EQ(t.named_styles.begin()->name, "normal");
         }},
        {"fonts: flags by one rule, names and numbers",
         "<fonts><font><b val=\"0\"/><i/><strike/><outline val=\"false\"/><u/><sz val=\"10.5\"/>"
         "<color rgb=\"FF00FF00\" theme=\"4\" tint=\"-0.25\"/><name val=\"Arial\"/><family val=\"2\"/>"
         "<charset val=\"204\"/><scheme val=\"minor\"/><vertAlign val=\"superscript\"/></font>"
         "<font><u val=\"double\"/><b val=\"true\"/><color indexed=\"10\" auto=\"1\"/></font></fonts>",
         [](const tables_t& t) {
             ASSERT_EQ(t.fonts.size(), 2u);
             const mta::font_t& f = t.fonts[0];
             EXPECT_EQ(std::tuple(f.bold, f.italic, f.strikeout, f.outline, f.underline), std::tuple(0, 1, 1, 0, 1));
             EXPECT_EQ(f.size, 10.5);
             EXPECT_EQ(f.color, mta::color_t::from_theme(4, -0.25)) << "theme wins over rgb";
             EXPECT_EQ(std::tuple(f.name, f.family, f.charset, f.scheme, f.vert_align),
                       std::tuple(std::string("Arial"), 2, 204, 1, 2));
             EXPECT_EQ(std::tuple(t.fonts[1].underline, t.fonts[1].bold), std::tuple(3, 1));
             EXPECT_EQ(std::tuple(t.fonts[1].color.indexed, t.fonts[1].color.auto_), std::tuple(10, 1));
         }},
        {"fills: pattern and gradient",
         "<fills><fill><patternFill/></fill><fill><patternFill patternType=\"solid\"><fgColor theme=\"4\"/>"
         "<bgColor indexed=\"64\"/></patternFill></fill>"
         "<fill><gradientFill type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.25\" bottom=\"1\" degree=\"90\">"
         "<stop position=\"0\"><color rgb=\"FFFF0000\"/></stop><stop position=\"1\"><color theme=\"1\"/></stop>"
         "</gradientFill></fill></fills>",
         [](const tables_t& t) {
             ASSERT_EQ(t.fills.size(), 3u) << "a part with fills gets none added";
             EXPECT_EQ(t.fills[0], mta::fill_t{});
             EXPECT_EQ(t.fills[1].pattern.type, 1u);
             EXPECT_EQ(t.fills[1].pattern.fg, mta::color_t::from_theme(4));
             EXPECT_EQ(t.fills[1].pattern.bg.indexed, 64);
             const mta::gradient_fill_t& g = t.fills[2].gradient;
             EXPECT_EQ(std::tuple(g.type, g.left, g.right, g.top, g.bottom, g.degree),
                       std::tuple(1, 0.5, 0.5, 0.25, 1.0, 90.0));
             ASSERT_EQ(g.stops.size(), 2u);
             EXPECT_EQ(g.stops[0], (mta::gradient_stop_t{mta::color_t::from_rgb(0xFFFF0000), 0.0}));
             EXPECT_EQ(g.stops[1], (mta::gradient_stop_t{mta::color_t::from_theme(1), 1.0}));
         }},
        {"borders: edges, their aliases, colours and the flags",
         "<borders><border><left/><right/><top/><bottom/><diagonal/></border>"
         "<border diagonalUp=\"1\" diagonalDown=\"true\" outline=\"0\"><start style=\"thin\"><color rgb=\"FF00FF00\"/>"
         "</start><end style=\"double\"/><top/><bottom style=\"medium\"/><horizontal style=\"hair\"/></border></borders>",
         [](const tables_t& t) {
             using side = mta::border_side;
             ASSERT_EQ(t.borders.size(), 2u);
             EXPECT_EQ(t.borders[0], mta::border_t{}) << "blank edges are no edges";
             const mta::border_t& b = t.borders[1];
             EXPECT_EQ(b.edge(side::left).style, 1u);
             EXPECT_EQ(b.edge(side::left).color.rgb, 0xFF00FF00u);
             EXPECT_EQ(b.edge(side::right).style, 12u);
             EXPECT_EQ(b.edge(side::bottom).style, 7u);
             EXPECT_EQ(b.edge(side::horizontal).style, 6u);
             EXPECT_TRUE(b.diagonal_up() && b.diagonal_down() && !b.outline());
             EXPECT_TRUE(b.present(side::left) && b.present(side::horizontal) && !b.present(side::top));
         }},
        {"xfs: apply bits, alignment, protection and flags",
         "<cellStyleXfs><xf numFmtId=\"0\" fontId=\"0\"/><xf applyFont=\"0\" applyFill=\"false\"/></cellStyleXfs>"
         "<cellXfs><xf xfId=\"1\" applyAlignment=\"1\" applyProtection=\"true\" quotePrefix=\"1\" pivotButton=\"1\">"
         "<alignment horizontal=\"centerContinuous\" vertical=\"top\" wrapText=\"1\" shrinkToFit=\"1\" "
         "justifyLastLine=\"1\" indent=\"3\" relativeIndent=\"-1\" readingOrder=\"2\" textRotation=\"255\" x=\"1\"/>"
         "<protection hidden=\"1\"/></xf><xf/></cellXfs>",
         [](const tables_t& t) {
             ASSERT_EQ(t.cell_style_xfs.size(), 2u);
             EXPECT_EQ(t.cell_style_xfs[0].applied, 63u);
             EXPECT_EQ(t.cell_style_xfs[1].applied, 63u & ~6u);
             ASSERT_EQ(t.cell_xfs.size(), 2u);
             const mta::xf_t& x = t.cell_xfs[0];
             EXPECT_EQ(x.applied, 48u);
             EXPECT_EQ(std::tuple(x.xfId, x.quotePrefix, x.pivotButton), std::tuple(1u, 1, 1));
             const mta::alignment_t& a = x.alignment;
             EXPECT_EQ(std::tuple(a.horizontal, a.vertical, a.wrap_text, a.shrink_to_fit, a.justify_last_line),
                       std::tuple(6, 2, 1, 1, 1));
             EXPECT_EQ(std::tuple(a.indent, a.relative_indent, a.reading_order, a.text_rotation),
                       std::tuple(3, -1, 2, 255));
             EXPECT_EQ(x.protection, (mta::protection_t{1, 1}));
             EXPECT_EQ(t.cell_xfs[1].applied, 0u);
         }},
        {"named styles in part order; a name met twice keeps the last",
         "<cellStyleXfs><xf/><xf/></cellStyleXfs><cellStyles><cellStyle name=\"Good\" xfId=\"1\" builtinId=\"26\"/>"
         "<cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/><cellStyle name=\"Mine\" xfId=\"1\" iLevel=\"2\" "
         "hidden=\"1\" customBuiltin=\"1\"/><cellStyle name=\"Good\" xfId=\"0\" builtinId=\"26\"/></cellStyles>",
         [](const tables_t& t) {
             std::vector<std::string> names;
             for (const auto& s : t.named_styles) names.push_back(s.name);
             EXPECT_EQ(names, (std::vector<std::string>{"Good", "Normal", "Mine"})) << "Normal counts as normal";
             EXPECT_EQ(*t.named_styles.find("Mine"), (mta::named_style_t{"Mine", 1, -1, 2, 1, 1}));
             EXPECT_EQ(t.named_styles.find("Good")->xfId, 0u);
         }},
        {"differential formats: the parts they name",
         "<dxfs><dxf><fill><patternFill><bgColor rgb=\"FFFFC7CE\"/></patternFill></fill></dxf>"
         "<dxf><font><b/><i val=\"0\"/><shadow val=\"false\"/><shadow/><color rgb=\"FF9C0006\"/></font><numFmt numFmtId=\"170\" formatCode=\"0.0\"/>"
         "<alignment horizontal=\"left\"/><border><top style=\"thin\"/><bottom/></border>"
         "<protection locked=\"1\"/></dxf></dxfs>",
         [](const tables_t& t) {
             ASSERT_EQ(t.dxfs.size(), 2u);
             const mta::dxf_t& fill_only = t.dxfs[0];
             EXPECT_TRUE(fill_only.fill && !fill_only.font && !fill_only.numfmt && !fill_only.border &&
                         !fill_only.alignment && !fill_only.protection);
             EXPECT_EQ(fill_only.fill->pattern.type, 0u);
             EXPECT_EQ(fill_only.fill->pattern.bg.rgb, 0xFFFFC7CEu);
             const mta::dxf_t& d = t.dxfs[1];
             ASSERT_TRUE(d.font && d.numfmt && d.border && d.alignment && d.protection);
             EXPECT_EQ(d.font->bold, 1);
             EXPECT_EQ(d.font_flags_off, 2) << "italic turned off; shadow on again";
             EXPECT_EQ(fill_only.font_flags_off, 0);
             EXPECT_EQ(*d.numfmt, (mta::dxf_numfmt_t{170, "0.0"})) << "an unlisted code keeps its id";
             EXPECT_EQ(d.alignment->horizontal, 1);
             EXPECT_TRUE(d.border->present(mta::border_side::bottom)) << "named, so it clears the edge";
             EXPECT_FALSE(d.border->present(mta::border_side::left));
             EXPECT_EQ(*d.protection, mta::protection_t{});
         }},
        {"table styles and colours",
         "<tableStyles count=\"1\" defaultTableStyle=\"TableStyleMedium2\" defaultPivotStyle=\"PivotStyleLight16\">"
         "<tableStyle name=\"Mine\" pivot=\"0\"><tableStyleElement type=\"headerRow\" dxfId=\"1\"/>"
         "<tableStyleElement size=\"2\"/></tableStyle></tableStyles><colors><indexedColors>"
         "<rgbColor rgb=\"FF000000\"/><rgbColor rgb=\"00ff00ff00112233\"/></indexedColors>"
         "<mruColors><color rgb=\"FF123456\"/><color theme=\"3\"/></mruColors></colors>",
         [](const tables_t& t) {
             EXPECT_EQ(std::tuple(t.default_table_style, t.default_pivot_style),
                       std::tuple(std::string("TableStyleMedium2"), std::string("PivotStyleLight16")));
             ASSERT_EQ(t.table_styles.size(), 1u);
             EXPECT_EQ(t.table_styles[0],
                       (mta::table_style_t{true, false, "Mine", {{10, 1, 0}, {27, 0, 2}}}));
             EXPECT_EQ(t.indexed_colors, (std::vector<uint32_t>{0xFF000000, 0x00FF00FF}));
             EXPECT_EQ(t.mru_colors,
                       (std::vector<mta::color_t>{mta::color_t::from_rgb(0xFF123456), mta::color_t::from_theme(3)}));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = read(c.body);
        ASSERT_NE(t, nullptr);
        c.check(*t);
    }
}

// The part's own number-format ids become the ids their codes were given,
// in the formats and the differential formats.
TEST(assign_for_workbook_styles, number_formats_are_renumbered) {
    const auto t = read("<numFmts><numFmt numFmtId=\"200\" formatCode=\"0.0%\"/><numFmt numFmtId=\"170\" "
                        "formatCode=\"[h]:mm\"/><numFmt numFmtId=\"201\" formatCode=\"0.0%\"/>"
                        "<numFmt numFmtId=\"14\" formatCode=\"dd/mm/yyyy\"/><numFmt numFmtId=\"180\" formatCode=\"\"/>"
                        "</numFmts>" +
                        xfs("<xf numFmtId=\"200\"/><xf numFmtId=\"201\"/><xf numFmtId=\"170\"/><xf numFmtId=\"14\"/>"
                            "<xf numFmtId=\"22\"/><xf numFmtId=\"164\"/><xf numFmtId=\"180\"/><xf numFmtId=\"-3\"/>") +
                        "<dxfs><dxf><numFmt numFmtId=\"201\" formatCode=\"[h]:mm\"/></dxf></dxfs>");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::vector<std::string>(t->custom_numfmt_codes.begin(), t->custom_numfmt_codes.end()),
              (std::vector<std::string>{"0.0%", "[h]:mm", "dd/mm/yyyy"})) << "one slot per distinct code";
    std::vector<uint32_t> ids;
    for (const auto& x : t->cell_xfs) ids.push_back(x.numFmtId);
    // 164 is not listed by the part: it names nothing, and a built-in id stays.
    EXPECT_EQ(ids, (std::vector<uint32_t>{164, 164, 165, 166, 22, 0, 0, 0}));
    EXPECT_EQ(*t->dxfs[0].numfmt, (mta::dxf_numfmt_t{165, "[h]:mm"})) << "the id its code has";
}

// Codes a host may not set (open brackets, five sections) load as the file
// gives them.
TEST(assign_for_workbook_styles, codes_hosts_may_not_set_are_kept) {
    const auto t = read("<numFmts><numFmt numFmtId=\"170\" formatCode=\"0;0;0;0;0\"/><numFmt numFmtId=\"171\" "
                        "formatCode=\"[[[[\"/><numFmt numFmtId=\"172\" formatCode=\"0&quot;kg\"/></numFmts>" +
                        xfs("<xf numFmtId=\"170\"/><xf numFmtId=\"171\"/><xf numFmtId=\"172\"/>"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::vector<std::string>(t->custom_numfmt_codes.begin(), t->custom_numfmt_codes.end()),
              (std::vector<std::string>{"0;0;0;0;0", "[[[[", "0\"kg"}));
}

// Ids past their lists (or negative) are record 0; a cell-style past the
// style formats too; over 65,536 cell formats is refused.
TEST(assign_for_workbook_styles, hostile_ids_and_counts) {
    const auto t = read("<fonts><font/><font/></fonts><cellStyleXfs><xf fontId=\"9\" fillId=\"2\"/></cellStyleXfs>" +
                        xfs("<xf fontId=\"1\" fillId=\"1\" borderId=\"1\" xfId=\"1\"/>"
                            "<xf fontId=\"-1\" fillId=\"99999999999\" borderId=\"x\" xfId=\"0\"/>") +
                        "<cellStyles><cellStyle name=\"Far\" xfId=\"7\"/></cellStyles>");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::tuple(t->cell_style_xfs[0].fontId, t->cell_style_xfs[0].fillId), std::tuple(0u, 0u));
    const mta::xf_t& x = t->cell_xfs[0];
    EXPECT_EQ(std::tuple(x.fontId, x.fillId, x.borderId, x.xfId), std::tuple(1u, 1u, 0u, 0u));
    const mta::xf_t& y = t->cell_xfs[1];
    EXPECT_EQ(std::tuple(y.fontId, y.fillId, y.borderId), std::tuple(0u, 0u, 0u));
    EXPECT_EQ(t->named_styles.find("Far")->xfId, 0u);
    EXPECT_NE(t->named_styles.find("normal"), nullptr) << "no built-in style 0 in the part";

    std::string many;
    for (size_t i = 0; i < mta::max_cell_xf_count; ++i) many += "<xf/>";
    EXPECT_EQ(read(xfs(many))->cell_xfs.size(), mta::max_cell_xf_count);
    EXPECT_EQ(read_error(xfs(many + "<xf/>")), "load error: The styles part holds more than 65536 cell formats.");
}

// Nodes whose record is missing are passed over; bad values fail the part.
TEST(assign_for_workbook_styles, strays_and_bad_values) {
    const auto t = read("<fonts><b/><font><x><b/></x></font></fonts><fills><stop position=\"1\"/><fill>"
                        "<gradientFill><color rgb=\"FF000000\"/><stop position=\"0.5\"/></gradientFill></fill>"
                        "<fill><patternFill><stop/></patternFill></fill></fills>"
                        "<cellXfs><alignment horizontal=\"left\"/></cellXfs><borders><left style=\"thin\"/></borders>"
                        "<dxfs><font><b/></font></dxfs><colors><rgbColor rgb=\"FF000000\"/></colors>"
                        "<extLst><ext uri=\"x\"><anything/></ext></extLst>");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->fonts.size(), 1u);
    EXPECT_TRUE(t->fonts[0].is_empty());
    ASSERT_EQ(t->fills.size(), 2u);
    ASSERT_EQ(t->fills[0].gradient.stops.size(), 1u);
    EXPECT_TRUE(t->fills[0].gradient.stops[0].color.is_blank());
    EXPECT_EQ(t->fills[1], mta::fill_t{});
    EXPECT_EQ(t->cell_xfs.size(), 1u);
    EXPECT_EQ(t->cell_xfs[0].alignment, mta::alignment_t{});
    EXPECT_EQ(t->borders.size(), 1u);
    EXPECT_TRUE(t->dxfs.empty());
    EXPECT_TRUE(t->indexed_colors.empty());

    const std::pair<std::string, std::string> failures[] = {
        {"<fills><fill><patternFill patternType=\"Solid\"/></fill></fills>", "invalid enumeration string value: \"Solid\""},
        {"<fills><fill><gradientFill type=\"radial\"/></fill></fills>", "invalid enumeration string value: \"radial\""},
        {"<borders><border><left style=\"fat\"/></border></borders>", "invalid enumeration string value: \"fat\""},
        {xfs("<xf><alignment vertical=\"middle\"/></xf>"), "invalid enumeration string value: \"middle\""},
        {"<tableStyles><tableStyle name=\"a\"><tableStyleElement type=\"x\"/></tableStyle></tableStyles>",
         "invalid enumeration string value: \"x\""},
        {"<numFmts><numFmt formatCode=\"0\"/></numFmts>", "invalid stoi argument"},
        {"<fonts><font><color theme=\"dark\"/></font></fonts>", "invalid stoi argument"},
        {"<fonts><font><color indexed=\"99999999999\"/></font></fonts>", "stoi argument out of range"},
        {"<fonts><font><color tint=\"pale\"/></font></fonts>", "invalid stod argument"},
        {"<fonts><font><family val=\"15\"/></font></fonts>", "Enumeration subscript out of bounds: 15\""},
    };
    for (const auto& [body, message] : failures) EXPECT_EQ(read_error(body), message) << body;
}

TEST(assign_for_workbook_styles, read_color_takes_a_copy_of_eight_digits) {
    xml::sxml::xml_attribute_t tint{0, "tint", "-3", nullptr};
    xml::sxml::xml_attribute_t rgb{0, "rgb", "ff00aa11223344556677", &tint};
    xml::sxml::xml_node_t node{};
    node.kind = xml::sxml::node_kind::element;
    node.closed = 1;
    node.name = "color";
    node.attributes = &rgb;
    mta::color_t c = mta::color_t::from_theme(5, 0.5);
    read_color(node, c);
    EXPECT_EQ(c.rgb, 0xFF00AA11u);
    EXPECT_EQ(c.theme, 0);
    EXPECT_EQ(c.tint, -1.0) << "within -1..1";
    EXPECT_EQ(std::string(rgb.value), "ff00aa11223344556677") << "the text is not changed";
}

// Cells, rows and columns whose format index is past the part's cell formats
// read as format 0.
TEST(assign_for_workbook_styles, indexes_past_the_cell_formats_read_as_0) {
    using namespace package_test;
    entries_t e = reader_test::sheet_package(
        "<cols><col min=\"1\" max=\"1\" style=\"1\"/><col min=\"2\" max=\"2\" style=\"2\"/></cols>"
        "<sheetData><row r=\"1\" s=\"2\" customFormat=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c>"
        "<c r=\"B1\" s=\"2\"><v>2</v></c><c r=\"C1\" s=\"70000\"><v>3</v></c></row>"
        "<row r=\"2\" s=\"1\" customFormat=\"1\"/></sheetData>");
    for (auto& [name, bytes] : e) {
        if (name == "[Content_Types].xml")
            bytes = types(override_of("xl/workbook.xml",
                                      "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
                          override_of("xl/worksheets/sheet1.xml",
                                      "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml") +
                          override_of("xl/styles.xml",
                                      "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"));
        if (name == "xl/_rels/workbook.xml.rels")
            bytes = rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                         rel("rId2", std::string(od) + "styles", "styles.xml"));
    }
    e.push_back({"xl/styles.xml", std::string(decl) + sheet(xfs("<xf/><xf numFmtId=\"10\" applyNumberFormat=\"1\"/>"))});
    vex::xml_document_t doc;
    ASSERT_EQ(reader_test::load(doc, e), "");
    const worktable_t& table = *doc.workbook()->first_worktable();
    EXPECT_EQ(table.get_cell(1, 1).style_index(), 1);
    EXPECT_EQ(table.get_cell(1, 2).style_index(), 0);
    EXPECT_EQ(table.get_cell(1, 3).style_index(), 0);
    EXPECT_EQ(table.get_row_record(1) & 0xFFFF, 0u);
    EXPECT_EQ(table.get_row_record(2) & 0xFFFF, 1u);
    EXPECT_EQ(table.get_col_record(1) & 0xFFFF, 1u);
    EXPECT_EQ(table.get_col_record(2) & 0xFFFF, 0u);
    EXPECT_EQ(table.get_cell_style(1, 1).numfmt_id(), 10);
}

// Saved copies of corpus packages show openpyxl every cell's number format,
// font, fill, border, alignment, protection and named style as the originals.
TEST(assign_for_workbook_styles, corpus_formats_survive_a_save) {
    package_test::scratch_dir dir;
    for (const char* file : {"format09.xlsx", "format17.xlsx", "format52.xlsx", "hyperlink31.xlsx", "hyperlink47.xlsx",
                             "merge_range01.xlsx", "protect01.xlsx", "data06.xlsx", "rich_string01.xlsx",
                             "row_col_format06.xlsx", "set_column07.xlsx", "escapes03.xlsx", "table18.xlsx"}) {
        SCOPED_TRACE(file);
        const std::string in = std::string(PLOVER_EXCEL) + file;
        vex::xml_document_t doc;
        doc.load(in.c_str(), false);
        doc.save((dir / file).c_str(), 2);
        EXPECT_EQ(writer_test::run_python(same_formats_script, dir / file + "' '" + in), 0);
    }
}

// A workbook of chart sheets alone has no sheet to take the styles it read:
// the save writes them from the styles part itself.
TEST(assign_for_workbook_styles, a_book_without_worksheets_saves_the_styles_it_read) {
    using namespace package_test;
    const std::string ml = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    const std::string ns = std::string(" xmlns=\"") + reader_test::main_ns + "\"";
    const entries_t e = {
        {"[Content_Types].xml", types(override_of("xl/workbook.xml", ml + "sheet.main+xml") +
                                      override_of("xl/chartsheets/sheet1.xml", ml + "chartsheet+xml") +
                                      override_of("xl/styles.xml", ml + "styles+xml"))},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook" + ns + " xmlns:r=\"" + reader_test::rel_ns +
                                "\"><sheets><sheet name=\"Chart\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "chartsheet", "chartsheets/sheet1.xml") +
                                            rel("rId2", std::string(od) + "styles", "styles.xml"))},
        {"xl/chartsheets/sheet1.xml", std::string(decl) + "<chartsheet" + ns + "><sheetViews/></chartsheet>"},
        {"xl/styles.xml", std::string(decl) + sheet("<fonts><font><sz val=\"9\"/><name val=\"Tahoma\"/></font></fonts>")},
    };
    scratch_dir dir;
    write_zip(dir / "in.xlsx", e);
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    ASSERT_EQ(doc.workbook()->first_worktable(), nullptr);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const std::string styles = find(read_zip(dir / "out.xlsx"), "xl/styles.xml");
    EXPECT_NE(styles.find("<fonts count=\"1\"><font><sz val=\"9\"/><name val=\"Tahoma\"/></font></fonts>"),
              std::string::npos)
        << styles;
}

// A package made by openpyxl: its styles, read and written again in its
// place, show openpyxl every cell's format as before.
TEST(assign_for_workbook_styles, openpyxl_styles_read_and_written_again) {
    package_test::scratch_dir dir;
    ASSERT_EQ(writer_test::run_python(openpyxl_book_script, dir / "made.xlsx"), 0);
    vex::xml_document_t doc;
    doc.load((dir / "made.xlsx").c_str(), false);
    vex::xml_part_t* styles = writer_test::child_of_kind(*doc.workbook_part(), part_kind_enum::workbook_styles_part);
    ASSERT_NE(styles, nullptr);
    {
        std::ofstream out(dir / "styles.xml", std::ios::binary);
        out << writer_test::write_part_text(*styles);
    }
    ASSERT_EQ(writer_test::run_python(replace_styles_script,
                                      dir / "styles.xml" + "' '" + dir / "made.xlsx" + "' '" + dir / "again.xlsx"),
              0);
    EXPECT_EQ(writer_test::run_python(same_formats_script, dir / "again.xlsx" + "' '" + dir / "made.xlsx"), 0);
}
