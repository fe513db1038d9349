// What XlsxWriter, openpyxl and LibreOffice write comes back from a load and
// three saves as they wrote it: margins at their usual values, the paper of a
// sheet naming none, stacked pictures, notes, column and border attributes.
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace round_trip_test;
using namespace package_test;

namespace {

const std::string sheet1 = "xl/worksheets/sheet1.xml";
const std::string cells = R"(<sheetData><row r="2"><c r="B2" s="1"><v>1</v></c></row></sheetData>)";
const std::string office = "application/vnd.openxmlformats-officedocument.";

struct row_t {
    std::string name;
    entries_t package;  // empty: a new book with one sheet
    std::string entry;
    std::vector<std::string> kept;  // in this order in the entry
    std::vector<std::string> gone = {};
    host_t host = {};
};

void run_rows(const std::vector<row_t>& rows) {
    for (const row_t& r : rows) {
        const saves_t s = three_saves(r.package, r.host);
        ASSERT_EQ(s.message, "") << r.name;
        for (const entries_t* copy : {&s.first, &s.third}) {
            const std::string text = empty_tags_closed(find(*copy, r.entry));
            size_t at = 0;
            for (const std::string& k : r.kept) {
                at = text.find(k, at);
                ASSERT_NE(at, std::string::npos) << r.name << ": " << k << "\n" << text;
            }
            for (const std::string& g : r.gone) EXPECT_EQ(text.find(g), std::string::npos) << r.name << ": " << g;
        }
        expect_stable(s, r.name);
    }
}

plover_worksheet_t* first_sheet(plover_workbook_t* wb) { return wb_get_sheet(wb, 0); }

// A note on B2 drawn by the given shape attributes and children, ended by its cell.
entries_t noted_sheet(const std::string& shape) {
    const std::string vml = R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office" )"
                            R"(xmlns:x="urn:schemas-microsoft-com:office:excel"><v:shape type="#_x0000_t202" )" +
                            shape + "<x:Row>1</x:Row><x:Column>1</x:Column></x:ClientData></v:shape></xml>";
    const std::string comments = decl + ("<comments xmlns=\"" + main_ns) + R"("><authors><author>A</author></authors>)" +
                                 R"(<commentList><comment ref="B2" authorId="0"><text><t>n</t></text></comment></commentList>)" +
                                 "</comments>";
    return package_of(one_sheet(cells + R"(<legacyDrawing r:id="rId1"/>)",
                                rel("rId1", od + std::string("vmlDrawing"), "../drawings/vmlDrawing1.vml") +
                                    rel("rId2", od + std::string("comments"), "../comments1.xml"),
                                {{"xl/drawings/vmlDrawing1.vml", vml}, {"xl/comments1.xml", comments}},
                                R"(<Default Extension="vml" ContentType=")" + office + R"(vmlDrawing"/>)" +
                                    override_of("xl/comments1.xml", office + "spreadsheetml.comments+xml")));
}

// A picture over B2 showing the image of relationship `embed`.
std::string picture(int n, const std::string& embed) {
    return "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row>"
           "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>3"
           "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"" +
           std::to_string(n + 1) + "\" name=\"Picture " + std::to_string(n) + "\"/></xdr:nvPicPr><xdr:blipFill>" +
           "<a:blip r:embed=\"" + embed + "\"/></xdr:blipFill></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>";
}

} // namespace

// Margins a sheet was read or set with are written whatever their values; a
// loaded sheet naming no paper reads, and keeps, the format's Letter.
TEST(producer_round_trip, margins_and_paper_as_read_or_set) {
    const std::string usual = R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>)";
    const host_t landscape = [](auto wb) { ws_set_page_orientation(first_sheet(wb), PAGEORIENT_LANDSCAPE); };
    const auto setup = [](const std::string& attributes) { return "<pageSetup " + attributes + "/>"; };
    const entries_t bare = package_of(one_sheet(cells));
    run_rows({
        {"margins read at the usual values", package_of(one_sheet(cells + usual)), sheet1, {usual}},
        {"a margin set at its usual value", {}, sheet1, {usual}, {}, [](auto wb) { ws_set_top_margin(first_sheet(wb), 0.75); }},
        {"loaded without either", bare, sheet1, {"<sheetData"}, {"pageMargins", "pageSetup"}},
        {"loaded without paper, landscape", bare, sheet1, {setup(R"(paperSize="1" orientation="landscape")")}, {},
         [&](auto wb) { EXPECT_EQ(ws_paper(first_sheet(wb)), 1); landscape(wb); }},
        {"loaded without paper, A4 chosen", bare, sheet1, {setup(R"(paperSize="9")")}, {},
         [](auto wb) { ws_set_paper(first_sheet(wb), 9); }},
    });
}

// Pictures come back stacked as read where two show one image, as XlsxWriter
// lists an image once; one added goes on top.
TEST(producer_round_trip, pictures_keep_their_stacking_order) {
    scratch_dir dir;
    const std::string png = dir / "added.png", image = od + std::string("image");
    std::ofstream(png, std::ios::binary) << red_png;
    const std::string drawing =
        decl + std::string(R"(<xdr:wsDr xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:r=")") + r_ns +
        R"(" xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing">)" + picture(1, "rId1") +
        picture(2, "rId2") + picture(3, "rId1") + "</xdr:wsDr>";
    const entries_t book = package_of(one_sheet(
        cells + R"(<drawing r:id="rId1"/>)", rel("rId1", od + std::string("drawing"), "../drawings/drawing1.xml"),
        {{"xl/drawings/drawing1.xml", drawing},
         {"xl/drawings/_rels/drawing1.xml.rels",
          rels(rel("rId1", image, "../media/image1.png") + rel("rId2", image, "../media/image2.png"))},
         {"xl/media/image1.png", red_png},
         {"xl/media/image2.png", red_png}},
        R"(<Default Extension="png" ContentType="image/png"/>)" +
            override_of("xl/drawings/drawing1.xml", office + "drawing+xml")));
    run_rows({{"three on B2, one added", book, "xl/drawings/drawing1.xml",
               {R"(name="Picture 1")", R"(name="Picture 2")", R"(name="Picture 3")", "<xdr:col>4</xdr:col>"}, {},
               [&](auto wb) { EXPECT_GT(ws_add_cell_image(first_sheet(wb), png.c_str(), 5, 5, 6, 6), 0); }}});
}

// A loaded note is drawn as read: sized by its style without an anchor, its
// fill, shadow, stroke and alignment its own; what it lacks takes the defaults.
TEST(producer_round_trip, notes_drawn_as_read) {
    const std::string vml = "xl/drawings/vmldrawing1.vml";
    const std::string look =
        R"(<v:fill type="solid" color2="#00001e"/><v:shadow color="black" obscured="t"/><v:stroke color="black"/>)";
    run_rows({
        {"openpyxl's and LibreOffice's",
         noted_sheet(R"(style="width:300px;height:150px" fillcolor="#ffffe1">)" + look +
                     R"(<x:ClientData ObjectType="Note"><x:TextHAlign>Left</x:TextHAlign>)"),
         vml,
         {"width:300px;height:150px;", R"(fillcolor="#ffffe1" o:insetmode="auto">)" + look,
          "<x:AutoFill>False</x:AutoFill><x:TextHAlign>Left</x:TextHAlign><x:Row>"},
         {"<x:Anchor>", "strokecolor", "none [81]"}},
        {"nothing of its own", noted_sheet(R"(><x:ClientData ObjectType="Note">)"), vml,
         {R"(fillcolor="infoBackground [80]" o:insetmode="auto"><v:fill color2="infoBackground [80]"/>)"
          R"(<v:shadow color="none [81]" obscured="t"/>)",
          "<x:Anchor>"}},
    });
}

// Column and border attributes go back as the producer wrote them.
TEST(producer_round_trip, column_and_border_attributes_as_read) {
    const std::string styles = decl + ("<styleSheet xmlns=\"" + main_ns) +
                               R"("><borders count="2"><border/><border outline="0"><start style="thin"/><end/><top/>)"
                               R"(<bottom/><diagonal/></border></borders><cellXfs count="2"><xf/><xf borderId="1"/></cellXfs>)"
                               "</styleSheet>";
    const std::vector<std::string> cols = {R"(<col min="1" max="1" width="20"/>)",
                                           R"(<col min="2" max="3" width="12" hidden="1" customWidth="1" outlineLevel="1"/>)",
                                           R"(<col min="4" max="4" width="12" customWidth="1" collapsed="1"/>)"};
    entries_t book = package_of(one_sheet("<cols>" + cols[0] + cols[1] + cols[2] + "</cols>" + cells, "",
                                          {{"xl/styles.xml", styles}},
                                          override_of("xl/styles.xml", office + "spreadsheetml.styles+xml")));
    std::string& book_rels = book[3].second;  // as package_of lists them
    book_rels.insert(book_rels.find("</R"), rel("rId9", od + std::string("styles"), "styles.xml"));
    run_rows({
        {"columns", book, sheet1, cols},
        {"border", book, "xl/styles.xml", {R"(<border outline="0"><start style="thin"/><end/><top/>)"}},
    });
}

// An openpyxl book (usual margins, a note sized by its style, a wide column, a
// hidden group) and LibreOffice's copy, each saved by the library: openpyxl reads
// each copy as its original, and LibreOffice shows the note at openpyxl's size.
TEST(openpyxl_load, openpyxl_and_libreoffice_books_read_the_same_after_a_save) {
    const std::string script = R"(import sys, re, zipfile, openpyxl
from openpyxl.comments import Comment
from openpyxl.worksheet.page import PageMargins
if sys.argv[1] == "make":
    wb = openpyxl.Workbook()
    ws = wb.active
    ws["B2"].comment = Comment("hello", "me", height=150, width=300)
    ws.column_dimensions["B"].width = 20
    ws.column_dimensions.group("D", "E", hidden=True)
    ws.page_margins = PageMargins(0.7, 0.7, 0.75, 0.75, 0.3, 0.3)
    wb.save(sys.argv[2])
elif sys.argv[1] == "read":
    ws = openpyxl.load_workbook(sys.argv[2]).active
    cols = [dict(d) for k, d in sorted(ws.column_dimensions.items())]
    open(sys.argv[3], "w").write(repr((dict(ws.page_margins), ws["B2"].comment.text, cols)))
else:
    vml = "".join(z.read(n).decode() for z in [zipfile.ZipFile(sys.argv[2])] for n in z.namelist() if n.endswith(".vml"))
    w, h = re.search(r"width:([0-9.]+)pt;height:([0-9.]+)pt", vml).groups()
    sys.exit(abs(float(w) - 225) > 2 or abs(float(h) - 112.5) > 2)
)";
    scratch_dir dir;
    const std::string from_openpyxl = dir / "openpyxl.xlsx", lo = "xlsx:Calc MS Excel 2007 XML";
    ASSERT_EQ(writer_test::run_python_file(dir, script, {"make", from_openpyxl}), 0);
    ASSERT_EQ(writer_test::run_soffice(dir, lo, {from_openpyxl}, dir / "lo"), 0);
    const auto read = [&](const std::string& book) {
        EXPECT_EQ(writer_test::run_python_file(dir, script, {"read", book, book + ".txt"}), 0);
        return slurp(book + ".txt");
    };
    for (const std::string& book : {from_openpyxl, dir / "lo/openpyxl.xlsx"}) {
        plover_document_t* doc = doc_load(book.c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        EXPECT_EQ(doc_save(doc, (book + "-copy.xlsx").c_str()), 1) << run_msg();
        doc_release(doc);
        EXPECT_EQ(read(book + "-copy.xlsx"), read(book));
    }
    ASSERT_EQ(writer_test::run_soffice(dir, lo, {from_openpyxl + "-copy.xlsx"}, dir / "again"), 0);
    EXPECT_EQ(writer_test::run_python_file(dir, script, {"size", dir / "again/openpyxl.xlsx-copy.xlsx"}), 0);
}
