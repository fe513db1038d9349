// What XlsxWriter, openpyxl and LibreOffice write comes back from a load and
// three saves as a reader saw it: margins at their usual values, the paper of
// a sheet that names none, the pictures' stacking order, notes as drawn, and
// column and border attributes as written.
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "kestrel/core/components/worktable.h"
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace round_trip_test;

namespace {

namespace mta = vex::mta;

const std::string sheet1 = "xl/worksheets/sheet1.xml";
const std::string od = package_test::od;

struct row_t {
    std::string name;
    entries_t package;  // empty: a new book with one sheet
    std::string entry;
    std::vector<std::string> kept;  // in this order in the entry
    std::vector<std::string> gone;
    host_t host = {};
};

// Each kept text after the one before it, in the first and third saves.
void run_rows(const std::vector<row_t>& rows) {
    for (const row_t& r : rows) {
        const saves_t s = three_saves(r.package, r.host);
        ASSERT_EQ(s.message, "") << r.name;
        expect_entry(s, r.entry, r.kept, r.gone, r.name);
        for (const entries_t* copy : {&s.first, &s.third}) {
            const std::string text = empty_tags_closed(package_test::find(*copy, r.entry));
            size_t at = 0;
            for (const std::string& k : r.kept) {
                const size_t found = text.find(k, at);
                EXPECT_NE(found, std::string::npos) << r.name << ": out of order: " << k << "\n" << text;
                if (found != std::string::npos) at = found + k.size();
            }
        }
        expect_stable(s, r.name);
    }
}

entries_t sheet_package(const std::string& body, const std::string& rels = "", const entries_t& extra = {},
                        const std::string& types = "") {
    return package_of(one_sheet(body, rels, extra, types));
}

plover_worksheet_t* first_sheet(plover_workbook_t* wb) { return wb_get_sheet(wb, 0); }

const std::string cells = R"(<sheetData><row r="2"><c r="B2"><v>1</v></c></row></sheetData>)";

// ---- margins and paper ----

const std::string xlsxwriter_margins =
    R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)";

host_t all_margins(double side, double top, double edge) {
    return [=](plover_workbook_t* wb) {
        plover_worksheet_t* ws = first_sheet(wb);
        ws_set_left_margin(ws, side);
        ws_set_right_margin(ws, side);
        ws_set_top_margin(ws, top);
        ws_set_bottom_margin(ws, top);
        ws_set_header_margin(ws, edge);
        ws_set_footer_margin(ws, edge);
    };
}

host_t landscape = [](plover_workbook_t* wb) { ws_set_page_orientation(first_sheet(wb), PAGEORIENT_LANDSCAPE); };

// ---- pictures ----

const std::string xdr_ns = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
const std::string a_ns = "http://schemas.openxmlformats.org/drawingml/2006/main";

// A picture over B2 named as XlsxWriter names them, showing the image of the
// relationship: XlsxWriter lists an image once however often it is shown.
std::string picture_on_b2(int number, const std::string& embed) {
    const std::string n = std::to_string(number);
    return R"(<xdr:twoCellAnchor editAs="oneCell"><xdr:from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff>)"
           R"(<xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>2</xdr:col>)"
           R"(<xdr:colOff>0</xdr:colOff><xdr:row>3</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:pic>)"
           R"(<xdr:nvPicPr><xdr:cNvPr id=")" + std::to_string(number + 1) + R"(" name="Picture )" + n +
           R"("/><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill><a:blip r:embed=")" + embed +
           R"("/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom prst="rect"><a:avLst/>)"
           R"(</a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>)";
}

// Pictures 1 and 3 show the first image, picture 2 the second.
entries_t stacked_pictures() {
    const std::string drawing = std::string(package_test::decl) + "<xdr:wsDr xmlns:xdr=\"" + xdr_ns +
                                "\" xmlns:a=\"" + a_ns + "\" xmlns:r=\"" + r_ns + "\">" + picture_on_b2(1, "rId1") +
                                picture_on_b2(2, "rId2") + picture_on_b2(3, "rId1") + "</xdr:wsDr>";
    const std::string image = od + "image";
    return sheet_package(cells + R"(<drawing r:id="rId1"/>)", package_test::rel("rId1", od + "drawing", "../drawings/drawing1.xml"),
                     {{"xl/drawings/drawing1.xml", drawing},
                      {"xl/drawings/_rels/drawing1.xml.rels",
                       package_test::rels(package_test::rel("rId1", image, "../media/image1.png") +
                                          package_test::rel("rId2", image, "../media/image2.png"))},
                      {"xl/media/image1.png", package_test::red_png},
                      {"xl/media/image2.png", package_test::red_png}},
                     "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                         package_test::override_of("xl/drawings/drawing1.xml",
                                                   "application/vnd.openxmlformats-officedocument.drawing+xml"));
}

// ---- notes ----

const std::string vml_head =
    R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office" )"
    R"(xmlns:x="urn:schemas-microsoft-com:office:excel"><o:shapelayout v:ext="edit"><o:idmap v:ext="edit" )"
    R"(data="1"/></o:shapelayout><v:shapetype id="_x0000_t202" coordsize="21600,21600" o:spt="202" )"
    R"(path="m,l,21600r21600,l21600,xe"><v:stroke joinstyle="miter"/><v:path gradientshapeok="t" )"
    R"(o:connecttype="rect"/></v:shapetype>)";

// As openpyxl draws a note: sized in pixels, no anchor, no stroke colour.
const std::string openpyxl_note =
    R"(<v:shape id="_x0000_s1026" type="#_x0000_t202" style="position:absolute; margin-left:59.25pt;)"
    R"(margin-top:1.5pt;width:300px;height:150px;z-index:1;visibility:hidden" fillcolor="#ffffe1" )"
    R"(o:insetmode="auto"><v:fill color2="#ffffe1"/><v:shadow color="black" obscured="t"/><v:path )"
    R"(o:connecttype="none"/><v:textbox style="mso-direction-alt:auto"><div style="text-align:left"/></v:textbox>)"
    R"(<x:ClientData ObjectType="Note"><x:MoveWithCells/><x:SizeWithCells/><x:AutoFill>False</x:AutoFill>)"
    R"(<x:Row>1</x:Row><x:Column>1</x:Column></x:ClientData></v:shape>)";

// As LibreOffice draws one: a solid fill, a stroke of its own, aligned text.
const std::string libreoffice_note =
    R"(<v:shape id="shape_0" fillcolor="#ffffe1" stroked="t" type="#_x0000_t202" style="position:absolute;)"
    R"(margin-left:59.25pt;margin-top:1.5pt;width:224.95pt;height:112.45pt;visibility:hidden">)"
    R"(<v:shadow on="t" obscured="t" color="black"/><v:fill o:detectmouseclick="t" type="solid" color2="#00001e"/>)"
    R"(<v:stroke color="black" startarrow="block" joinstyle="miter" endcap="flat"/><x:ClientData )"
    R"(ObjectType="Note"><x:MoveWithCells/><x:SizeWithCells/><x:Anchor>0, 79, 0, 2, 4, 60, 7, 12</x:Anchor>)"
    R"(<x:AutoFill>False</x:AutoFill><x:TextVAlign>Top</x:TextVAlign><x:TextHAlign>Left</x:TextHAlign>)"
    R"(<x:Row>1</x:Row><x:Column>1</x:Column></x:ClientData></v:shape>)";

entries_t noted_sheet(const std::string& shape) {
    const std::string comments = std::string(package_test::decl) + "<comments xmlns=\"" + main_ns +
                                 R"("><authors><author>Ann</author></authors><commentList><comment ref="B2" )"
                                 R"(authorId="0"><text><r><t>note</t></r></text></comment></commentList></comments>)";
    return sheet_package(cells + R"(<legacyDrawing r:id="rId1"/>)",
                     package_test::rel("rId1", od + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                         package_test::rel("rId2", od + "comments", "../comments1.xml"),
                     {{"xl/drawings/vmlDrawing1.vml", vml_head + shape + "</xml>"}, {"xl/comments1.xml", comments}},
                     "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument."
                     "vmlDrawing\"/>" +
                         package_test::override_of(
                             "xl/comments1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml"));
}

host_t note_on(int row, int col) {
    return [=](plover_workbook_t* wb) {
        mta::richtext_segment_t segment;
        segment.text = "new";
        mta::richtext_t text;
        text.append(std::move(segment));
        static_cast<vex::iWorksheet_impl*>(first_sheet(wb))->worktable()->sheet()->comments().add(row, col, std::move(text), "Bo");
    };
}

const std::string saved_vml = "xl/drawings/vmldrawing1.vml";

// The shape a new note is written with, whatever else the drawing holds.
std::string new_note_shape(const std::string& id, const std::string& margins, const std::string& z,
                           const std::string& anchor, const std::string& row, const std::string& col) {
    return R"(<v:shape id="_x0000_s)" + id + R"(" type="#_x0000_t202" style='position:absolute;)" + margins +
           R"(width:96pt;height:55.5pt;z-index:)" + z + R"(;visibility:hidden' fillcolor="infoBackground [80]" )"
           R"(strokecolor="none [81]" o:insetmode="auto"><v:fill color2="infoBackground [80]"/><v:shadow )"
           R"(color="none [81]" obscured="t"/><v:path o:connecttype="none"/><v:textbox )"
           R"(style='mso-direction-alt:auto'><div style='text-align:left'/></v:textbox><x:ClientData )"
           R"(ObjectType="Note"><x:MoveWithCells/><x:SizeWithCells/><x:Anchor>)" + anchor +
           R"(</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>)" + row + "</x:Row><x:Column>" + col +
           "</x:Column></x:ClientData></v:shape>";
}

// ---- columns and borders ----

// The sheet with a styles part of the given borders, the cell B2 in the second.
entries_t bordered_sheet(const std::string& borders) {
    const std::string styles =
        std::string(package_test::decl) + "<styleSheet xmlns=\"" + main_ns +
        R"("><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts><fills count="2"><fill>)"
        R"(<patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)" +
        borders +
        R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs )"
        R"(count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="0" fontId="0" )"
        R"(fillId="0" borderId="1" xfId="0" applyBorder="1"/></cellXfs></styleSheet>)";
    entries_t e = sheet_package(R"(<sheetData><row r="2"><c r="B2" s="1"><v>1</v></c></row></sheetData>)", "",
                            {{"xl/styles.xml", styles}},
                            package_test::override_of(
                                "xl/styles.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"));
    for (auto& [name, bytes] : e)
        if (name == "xl/_rels/workbook.xml.rels")
            bytes.insert(bytes.find("</Relationships>"), package_test::rel("rId9", od + "styles", "styles.xml"));
    return e;
}

} // namespace

// Margins a file had are written whatever their values, so that a reader
// with other defaults prints as the producer meant; a sheet that never had
// them still has none.
TEST(producer_round_trip, margins_written_when_read_or_set) {
    run_rows({
        {"read at the usual values", sheet_package(cells + xlsxwriter_margins), sheet1, {xlsxwriter_margins}, {}},
        {"read partly", sheet_package(cells + R"(<pageMargins left="1"/>)"), sheet1,
         {R"(<pageMargins left="1" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"}, {}},
        {"set by the host at the usual values", {}, sheet1, {xlsxwriter_margins}, {}, all_margins(0.7, 0.75, 0.3)},
        {"set on a loaded sheet", sheet_package(cells), sheet1,
         {R"(<pageMargins left="0.5" right="0.5" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)"}, {},
         all_margins(0.5, 0.75, 0.3)},
        {"never had on a loaded sheet", sheet_package(cells), sheet1, {"<sheetData>"}, {"pageMargins"}},
        {"never had on a new sheet", {}, sheet1, {"<sheetData"}, {"pageMargins"}},
    });
}

// A loaded sheet that names no paper prints on the format's default, and
// keeps it when another page setting is made; a new sheet's paper is A4.
TEST(producer_round_trip, paper_of_a_sheet_without_page_setup) {
    run_rows({
        {"loaded, orientation set", sheet_package(cells), sheet1, {R"(<pageSetup paperSize="1" orientation="landscape"/>)"},
         {R"(paperSize="9")"}, landscape},
        {"loaded, nothing set", sheet_package(cells), sheet1, {"<sheetData>"}, {"pageSetup"}},
        {"loaded with a setup naming no paper", sheet_package(cells + R"(<pageSetup orientation="portrait"/>)"), sheet1,
         {R"(<pageSetup paperSize="1" orientation="portrait"/>)"}, {}},
        {"loaded with A4", sheet_package(cells + R"(<pageSetup paperSize="9"/>)"), sheet1, {R"(<pageSetup paperSize="9"/>)"},
         {}},
        {"loaded, A4 chosen", sheet_package(cells), sheet1, {R"(<pageSetup paperSize="9"/>)"}, {},
         [](plover_workbook_t* wb) { ws_set_paper(first_sheet(wb), 9); }},
        {"new, orientation set", {}, sheet1, {R"(<pageSetup paperSize="9" orientation="landscape"/>)"}, {}, landscape},
    });
    // What the host reads back.
    const saves_t s = three_saves(sheet_package(cells), [](plover_workbook_t* wb) { EXPECT_EQ(ws_paper(first_sheet(wb)), 1); });
    EXPECT_EQ(s.message, "");
}

// Pictures come back stacked as read, also where several show one image;
// pictures added since go on top.
TEST(producer_round_trip, pictures_keep_their_stacking_order) {
    package_test::scratch_dir dir;
    const std::string png = dir / "added.png";
    std::ofstream(png, std::ios::binary) << package_test::red_png;
    run_rows({
        {"three on one cell", stacked_pictures(), "xl/drawings/drawing1.xml",
         {R"(name="Picture 1")", R"(name="Picture 2")", R"(name="Picture 3")"}, {}},
        {"one added", stacked_pictures(), "xl/drawings/drawing1.xml",
         {R"(name="Picture 1")", R"(name="Picture 2")", R"(name="Picture 3")", "<xdr:col>4</xdr:col>"}, {},
         [&](plover_workbook_t* wb) { EXPECT_GT(ws_add_cell_image(first_sheet(wb), png.c_str(), 5, 5, 6, 6), 0); }},
        {"the first removed", stacked_pictures(), "xl/drawings/drawing1.xml",
         {R"(name="Picture 2")", R"(name="Picture 3")"}, {R"(name="Picture 1")"},
         [](plover_workbook_t* wb) {
             plover_worksheet_t* ws = first_sheet(wb);
             // The ids are the library's own: the first is the one read first.
             int first = ws_get_image_id(ws, 0);
             for (int i = 1; i < ws_image_num(ws); ++i) first = std::min(first, ws_get_image_id(ws, i));
             ws_delete_image(ws, first);
         }},
    });
}

// A loaded note is drawn as read; a new one as before.
TEST(producer_round_trip, notes_drawn_as_read) {
    run_rows({
        {"sized without an anchor", noted_sheet(openpyxl_note), saved_vml,
         {"width:300px;height:150px;", R"(fillcolor="#ffffe1" o:insetmode="auto">)",
          R"(<v:fill color2="#ffffe1"/><v:shadow color="black" obscured="t"/>)",
          "<x:SizeWithCells/><x:AutoFill>False</x:AutoFill><x:Row>1</x:Row>"},
         {"<x:Anchor>", "strokecolor", "none [81]"}},
        {"shadow, fill type, stroke and alignment", noted_sheet(libreoffice_note), saved_vml,
         {R"(fillcolor="#ffffe1" o:insetmode="auto">)",
          R"(<v:shadow on="t" obscured="t" color="black"/><v:fill o:detectmouseclick="t" type="solid" )"
          R"(color2="#00001e"/><v:stroke color="black" startarrow="block" joinstyle="miter" endcap="flat"/>)",
          "<x:Anchor>0, 79, 0, 2, 4, 60, 7, 12</x:Anchor><x:AutoFill>False</x:AutoFill><x:TextVAlign>Top"
          "</x:TextVAlign><x:TextHAlign>Left</x:TextHAlign><x:Row>1</x:Row>"},
         {"none [81]", "infoBackground"}},
        {"a new note beside one read", noted_sheet(openpyxl_note), saved_vml,
         {"width:300px;height:150px;",
          new_note_shape("1026", "margin-left:155.25pt;margin-top:7.5pt;", "2", "3, 15, 0, 10, 5, 15, 4, 4", "1", "2")},
         {}, note_on(2, 3)},
        {"a new note on a new sheet", {}, saved_vml,
         {new_note_shape("1025", "margin-left:107.25pt;margin-top:7.5pt;", "1", "2, 15, 0, 10, 4, 15, 4, 4", "1", "1")},
         {}, note_on(2, 2)},
    });
}

// Column and border attributes go back as the producer wrote them.
TEST(producer_round_trip, column_and_border_attributes_as_read) {
    run_rows({
        {"width without customWidth", sheet_package(R"(<cols><col min="1" max="1" width="20"/></cols>)" + cells), sheet1,
         {R"(<col min="1" max="1" width="20"/>)"}, {"customWidth"}},
        {"customWidth false", sheet_package(R"(<cols><col min="1" max="1" width="20" customWidth="false"/></cols>)" + cells),
         sheet1, {R"(<col min="1" max="1" width="20"/>)"}, {"customWidth"}},
        {"width set by the host", sheet_package(R"(<cols><col min="1" max="1" width="20"/></cols>)" + cells), sheet1,
         {R"(<col min="1" max="1" width="30.625" customWidth="1"/>)"}, {},
         [](plover_workbook_t* wb) { ws_set_custom_col_width(first_sheet(wb), 1, 1, 30, 0); }},
        {"collapsed on the summary column",
         sheet_package(R"(<cols><col min="2" max="3" width="12" hidden="1" customWidth="1" outlineLevel="1"/>)"
                   R"(<col min="4" max="4" width="12" customWidth="1" collapsed="1"/></cols>)" + cells),
         sheet1,
         {R"(<col min="2" max="3" width="12" hidden="1" customWidth="1" outlineLevel="1"/>)",
          R"(<col min="4" max="4" width="12" customWidth="1" collapsed="1"/>)"},
         {}},
        {"border outline 0", bordered_sheet(R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/>)"
                                            R"(</border><border outline="0"><left style="thin"/><right/><top/><bottom/>)"
                                            R"(<diagonal/></border></borders>)"),
         "xl/styles.xml", {R"(<border outline="0"><left style="thin"/><right/>)"}, {}},
        {"start and end edges", bordered_sheet(R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/>)"
                                               R"(</border><border><start style="thin"/><end style="thick"/><top/>)"
                                               R"(<bottom/><diagonal/></border></borders>)"),
         "xl/styles.xml", {R"(<border><start style="thin"/><end style="thick"/><top/>)"}, {R"(<left style="thin")"}},
    });
}

// An XlsxWriter book with its usual margins, three pictures stacked on one
// cell (two of one image) and a note, saved by the library: openpyxl reads
// the copy as it reads the original.
TEST(openpyxl_load, producer_margins_pictures_and_notes_read_the_same_after_a_save) {
    package_test::scratch_dir dir;
    const std::string script = R"(import sys, openpyxl, xlsxwriter
from PIL import Image
path = sys.argv[2]
if sys.argv[1] == "make":
    Image.new("RGB", (4, 3), "red").save(sys.argv[3] + "/a.png")
    Image.new("RGB", (2, 2), "blue").save(sys.argv[3] + "/b.png")
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet()
    ws.write("B2", 1)
    for name in ("a", "b", "a"):
        ws.insert_image("B2", sys.argv[3] + "/" + name + ".png")
    ws.write_comment("B2", "hello")
    wb.close()
    sys.exit(0)
ws = openpyxl.load_workbook(path).active
m = ws.page_margins
margins = (m.left, m.right, m.top, m.bottom, m.header, m.footer)
if margins != (0.7, 0.7, 0.75, 0.75, 0.3, 0.3):
    sys.exit("margins %r" % (margins,))
sizes = [(i.width, i.height) for i in ws._images]
if sizes != [(4, 3), (2, 2), (4, 3)]:
    sys.exit("pictures %r" % (sizes,))
if ws["B2"].comment is None or ws["B2"].comment.text != "hello":
    sys.exit("note %r" % (ws["B2"].comment,))
)";
    const std::string original = dir / "xlsxwriter.xlsx", copy = dir / "copy.xlsx";
    ASSERT_EQ(writer_test::run_python_file(dir, script, {"make", original, dir.path.string()}), 0);
    ASSERT_EQ(writer_test::run_python_file(dir, script, {"check", original}), 0);
    plover_document_t* doc = doc_load(original.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(doc_save(doc, copy.c_str()), 1) << run_msg();
    doc_release(doc);
    EXPECT_EQ(writer_test::run_python_file(dir, script, {"check", copy}), 0);
}

namespace {

// What openpyxl reads of the first sheet, as one text.
const std::string openpyxl_dump = R"(import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
m = ws.page_margins
out = [("margins", m.left, m.right, m.top, m.bottom, m.header, m.footer),
       ("paper", ws.page_setup.paperSize, ws.page_setup.orientation)]
for k in sorted(ws.column_dimensions):
    d = ws.column_dimensions[k]
    out.append(("col", k, d.min, d.max, d.width, d.customWidth, d.hidden, d.outline_level, d.collapsed))
out.append(("notes", [(c.coordinate, c.comment.text) for row in ws.iter_rows() for c in row if c.comment]))
open(sys.argv[2], "w").write(repr(out))
)";

// The book openpyxl makes: a note sized in pixels, a wide column, a hidden
// group, a margin of its own.
const std::string openpyxl_book = R"(import sys, openpyxl
from openpyxl.comments import Comment
wb = openpyxl.Workbook()
ws = wb.active
ws["B2"] = 1
ws["B2"].comment = Comment("hello", "me", height=150, width=300)
ws.column_dimensions["B"].width = 20
ws.column_dimensions.group("D", "E", hidden=True)
ws.page_margins.left = 1.0
wb.save(sys.argv[1])
)";

std::string dump_of(const package_test::scratch_dir& dir, const std::string& book) {
    const std::string out = book + ".txt";
    EXPECT_EQ(writer_test::run_python_file(dir, openpyxl_dump, {book, out}), 0) << book;
    return package_test::slurp(out);
}

// Loads and saves the book with the library; the copy's path.
std::string saved_copy(const std::string& book) {
    const std::string copy = book.substr(0, book.size() - 5) + "-copy.xlsx";
    plover_document_t* doc = doc_load(book.c_str());
    EXPECT_NE(doc, nullptr) << run_msg();
    if (!doc) return copy;
    EXPECT_EQ(doc_save(doc, copy.c_str()), 1) << run_msg();
    doc_release(doc);
    return copy;
}

} // namespace

// A book from openpyxl and the same book saved by LibreOffice, each loaded
// and saved by the library: openpyxl reads each copy as its original, and
// LibreOffice shows the openpyxl note at the size openpyxl gave it.
TEST(openpyxl_load, openpyxl_and_libreoffice_books_read_the_same_after_a_save) {
    package_test::scratch_dir dir;
    const std::string from_openpyxl = dir / "openpyxl.xlsx";
    ASSERT_EQ(writer_test::run_python_file(dir, openpyxl_book, {from_openpyxl}), 0);
    const std::string lo_dir = dir / "lo";
    ASSERT_EQ(writer_test::run_soffice(dir, "xlsx:Calc MS Excel 2007 XML", {from_openpyxl}, lo_dir), 0);
    const std::string from_libreoffice = dir / "libreoffice.xlsx";
    std::filesystem::rename(lo_dir + "/openpyxl.xlsx", from_libreoffice);
    for (const std::string& book : {from_openpyxl, from_libreoffice}) {
        const std::string original = dump_of(dir, book);
        EXPECT_NE(original.find("('col', 'B', 2, 2, 20.0, True"), std::string::npos) << original;
        EXPECT_EQ(dump_of(dir, saved_copy(book)), original) << book;
    }

    // LibreOffice writes the note it read from the copy with its size.
    const std::string again = dir / "again";
    ASSERT_EQ(writer_test::run_soffice(dir, "xlsx:Calc MS Excel 2007 XML", {saved_copy(from_openpyxl)}, again), 0);
    const std::string size_check = R"(import sys, re, zipfile
z = zipfile.ZipFile(sys.argv[1])
vml = [z.read(n).decode() for n in z.namelist() if n.endswith(".vml")]
sizes = re.findall(r"width:([0-9.]+)pt;height:([0-9.]+)pt", "".join(vml))
ok = len(sizes) == 1 and abs(float(sizes[0][0]) - 225) < 2 and abs(float(sizes[0][1]) - 112.5) < 2
sys.exit(0 if ok else "note size %r" % (sizes,))
)";
    EXPECT_EQ(writer_test::run_python_file(dir, size_check, {again + "/openpyxl-copy.xlsx"}), 0);
}
