// What other producers write comes back from a load and three saves: every
// filter column and value, notes as they were shown, small attributes the
// model once dropped, and hyperlink targets as the URIs they are.
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace round_trip_test;

namespace {

namespace mta = vex::mta;

const std::string sheet1 = "xl/worksheets/sheet1.xml";
const std::string sheet1_rels = "xl/worksheets/_rels/sheet1.xml.rels";
const std::string od = package_test::od;

struct row_t {
    std::string name;
    crafted_t package;
    std::string entry;  // of the saved copies, holding every kept text and no gone one
    std::vector<std::string> kept;
    std::vector<std::string> gone;
    host_t host = {};
    host_t check = {};  // each reloaded copy
};

void run_rows(const std::vector<row_t>& rows) {
    for (const row_t& r : rows) {
        const saves_t s = three_saves(package_of(r.package), r.host, r.check);
        ASSERT_EQ(s.message, "") << r.name;
        for (const entries_t* copy : {&s.first, &s.third}) {
            const std::string text = package_test::find(*copy, r.entry);
            for (const std::string& k : r.kept) EXPECT_NE(text.find(k), std::string::npos) << r.name << ": " << k << "\n" << text;
            for (const std::string& g : r.gone) EXPECT_EQ(text.find(g), std::string::npos) << r.name << ": " << g << "\n" << text;
        }
        expect_stable(s, r.name);
    }
}

plover_worksheet_t* first_sheet(plover_workbook_t* wb) { return wb_get_sheet(wb, 0); }

mta::comment_store_t& comments_of(plover_workbook_t* wb) {
    return static_cast<vex::iWorksheet_impl*>(first_sheet(wb))->worktable()->sheet()->comments();
}

const std::string cells = R"(<sheetData><row r="1"><c r="A1"><v>1</v></c><c r="B1"><v>2</v></c></row></sheetData>)";

// ---- filters ----

const std::string two_columns =
    R"(<filterColumn colId="1"><customFilters><customFilter operator="greaterThan" val="2000"/></customFilters>)"
    R"(</filterColumn><filterColumn colId="2"><filters><filter val="East"/><filter val="West"/></filters>)"
    R"(</filterColumn>)";

crafted_t table_with(const std::string& table_attributes, const std::string& inside) {
    const std::string table = std::string(package_test::decl) + "<table xmlns=\"" + main_ns +
                              R"(" id="1" name="T" displayName="T" ref="A1:D5" )" + table_attributes + ">" + inside +
                              R"(<tableColumns count="4"><tableColumn id="1" name="a"/><tableColumn id="2" name="b"/>)"
                              R"(<tableColumn id="3" name="c"/><tableColumn id="4" name="d"/></tableColumns>)"
                              R"(<tableStyleInfo name="TableStyleLight1" showRowStripes="1"/></table>)";
    return one_sheet(
        R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c><c r="B1" t="inlineStr"><is><t>b</t>)"
        R"(</is></c><c r="C1" t="inlineStr"><is><t>c</t></is></c><c r="D1" t="inlineStr"><is><t>d</t></is></c></row>)"
        R"(</sheetData><tableParts count="1"><tablePart r:id="rId1"/></tableParts>)",
        package_test::rel("rId1", od + "table", "../tables/table1.xml"), {{"xl/tables/table1.xml", table}},
        package_test::override_of("xl/tables/table1.xml",
                                  "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"));
}

// ---- notes ----

const std::string vml_type = "application/vnd.openxmlformats-officedocument.vmlDrawing";
const std::string comments_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";

// A note on B2 as a spreadsheet application shows it: visible, 144pt wide,
// light green, anchored where the user dragged it.
const std::string shown_note =
    R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office" )"
    R"(xmlns:x="urn:schemas-microsoft-com:office:excel"><o:shapelayout v:ext="edit"><o:idmap v:ext="edit" )"
    R"(data="1"/></o:shapelayout><v:shapetype id="_x0000_t202" coordsize="21600,21600" o:spt="202" )"
    R"(path="m,l,21600r21600,l21600,xe"><v:stroke joinstyle="miter"/><v:path gradientshapeok="t" )"
    R"(o:connecttype="rect"/></v:shapetype><v:shape id="_x0000_s1025" type="#_x0000_t202" )"
    R"(style='position:absolute;margin-left:104pt;margin-top:12pt;width:144pt;height:80pt;z-index:1;)"
    R"(visibility:visible' fillcolor="#ccffcc" strokecolor="#333333" o:insetmode="auto">)"
    R"(<v:fill color2="#ccffcc"/><v:textbox/><x:ClientData ObjectType="Note"><x:MoveWithCells/>)"
    R"(<x:SizeWithCells/><x:Anchor>2, 8, 0, 16, 5, 20, 6, 4</x:Anchor><x:AutoFill>False</x:AutoFill>)"
    R"(<x:Row>1</x:Row><x:Column>1</x:Column><x:Visible/></x:ClientData></v:shape></xml>)";

crafted_t noted_sheet() {
    const std::string comments = std::string(package_test::decl) + "<comments xmlns=\"" + main_ns +
                                 R"("><authors><author>Ann</author></authors><commentList><comment ref="B2" )"
                                 R"(authorId="0"><text><r><t>note</t></r></text></comment></commentList></comments>)";
    // The drawing comes first, as XlsxWriter lists it: its shapes wait for their comments.
    return one_sheet(cells + R"(<legacyDrawing r:id="rId1"/>)",
                     package_test::rel("rId1", od + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                         package_test::rel("rId2", od + "comments", "../comments1.xml"),
                     {{"xl/drawings/vmlDrawing1.vml", shown_note}, {"xl/comments1.xml", comments}},
                     "<Default Extension=\"vml\" ContentType=\"" + vml_type + "\"/>" +
                         package_test::override_of("xl/comments1.xml", comments_type));
}

const std::string saved_vml = "xl/drawings/vmldrawing1.vml";

// ---- pictures ----

crafted_t pictured_sheet() {
    const std::string drawing =
        std::string(package_test::decl) +
        R"(<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing" )"
        R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:r=")" + r_ns + R"(">)"
        R"(<xdr:twoCellAnchor editAs="oneCell"><xdr:from><xdr:col>1</xdr:col><xdr:colOff>47520</xdr:colOff>)"
        R"(<xdr:row>1</xdr:row><xdr:rowOff>19050</xdr:rowOff></xdr:from><xdr:to><xdr:col>2</xdr:col>)"
        R"(<xdr:colOff>-4763</xdr:colOff><xdr:row>3</xdr:row><xdr:rowOff>95249</xdr:rowOff></xdr:to><xdr:pic>)"
        R"(<xdr:nvPicPr><xdr:cNvPr id="2" name="Picture 1"/><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill>)"
        R"(<a:blip r:embed="rId1"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom )"
        R"(prst="rect"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor></xdr:wsDr>)";
    return one_sheet(cells + R"(<drawing r:id="rId1"/>)", package_test::rel("rId1", od + "drawing", "../drawings/drawing1.xml"),
                     {{"xl/drawings/drawing1.xml", drawing},
                      {"xl/drawings/_rels/drawing1.xml.rels",
                       package_test::rels(package_test::rel("rId1", od + "image", "../media/image1.png"))},
                      {"xl/media/image1.png", package_test::red_png}},
                     "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                         package_test::override_of("xl/drawings/drawing1.xml",
                                                   "application/vnd.openxmlformats-officedocument.drawing+xml"));
}

crafted_t book_with(const std::string& root, const std::string& body) {
    crafted_t c;
    c.book_root = root;
    c.book_body = body + R"(<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets>)";
    return c;
}

const std::string link_target = "https://example.com/file_x0041_.pdf";

} // namespace

// Several filter columns, and several values in one, on a sheet and in a table.
TEST(foreign_round_trip, every_filter_column_and_value_is_kept) {
    const std::vector<std::string> both = {
        R"(<filterColumn colId="1"><customFilters><customFilter operator="greaterThan" val="2000"/>)",
        R"(<filterColumn colId="2"><filters><filter val="East"/><filter val="West"/></filters></filterColumn>)"};
    run_rows({
        {"sheet", one_sheet(cells + R"(<autoFilter ref="A1:D5">)" + two_columns + "</autoFilter>"), sheet1, both, {}},
        {"table", table_with("", R"(<autoFilter ref="A1:D5">)" + two_columns + "</autoFilter>"),
         "xl/tables/table1.xml", both, {}},
    });
}

// A shown note keeps its state, size, colours and place; a shift moves it
// with its cell; a note made here is hidden in the default place.
TEST(foreign_round_trip, notes_keep_how_they_were_shown) {
    const std::string shown = R"(width:144pt;height:80pt;z-index:1;visibility:visible' fillcolor="#ccffcc" )"
                              R"(strokecolor="#333333" o:insetmode="auto"><v:fill color2="#ccffcc"/>)";
    const std::string defaults = R"(width:96pt;height:55.5pt;z-index:2;visibility:hidden' )"
                                 R"(fillcolor="infoBackground [80]" strokecolor="none [81]")";
    run_rows({
        {"as read", noted_sheet(), saved_vml,
         {shown, "<x:Anchor>2, 8, 0, 16, 5, 20, 6, 4</x:Anchor>", "<x:Row>1</x:Row><x:Column>1</x:Column><x:Visible/>"},
         {"visibility:hidden"},
         {},
         [](plover_workbook_t* wb) {
             const auto& notes = comments_of(wb).entries();
             ASSERT_EQ(notes.size(), 1u);
             ASSERT_TRUE(notes.begin()->second.shape);
             EXPECT_TRUE(notes.begin()->second.shape->visible);
         }},
        {"two rows and a column inserted above and left", noted_sheet(), saved_vml,
         {shown, "<x:Anchor>3, 8, 2, 16, 6, 20, 8, 4</x:Anchor>", "<x:Row>3</x:Row><x:Column>2</x:Column><x:Visible/>"},
         {},
         [](plover_workbook_t* wb) {
             ws_insert_row(first_sheet(wb), 1, 2);
             ws_insert_col(first_sheet(wb), 1, 1);
         }},
        {"a note made beside it", noted_sheet(), saved_vml,
         {shown, defaults, "<x:Row>9</x:Row><x:Column>0</x:Column></x:ClientData>"},
         {},
         [](plover_workbook_t* wb) {
             mta::richtext_segment_t segment;
             segment.text = "new";
             mta::richtext_t text;
             text.append(std::move(segment));
             comments_of(wb).add(10, 1, std::move(text), "Bo");
         }},
    });
}

// Each row once lost what it keeps.
TEST(foreign_round_trip, small_attributes_are_kept) {
    run_rows({
        {"table totals row not shown", table_with(R"(totalsRowShown="0")", ""), "xl/tables/table1.xml",
         {R"(totalsRowShown="0")"}, {}},
        {"picture offsets in EMU", pictured_sheet(), "xl/drawings/drawing1.xml",
         {"<xdr:colOff>47520</xdr:colOff>", "<xdr:rowOff>19050</xdr:rowOff>", "<xdr:colOff>-4763</xdr:colOff>",
          "<xdr:rowOff>95249</xdr:rowOff>"},
         {"38100"}},
        {"macro name", book_with("", R"(<definedNames><definedName name="Go" function="1" vbProcedure="1">)"
                                     R"(Sheet1!$A$1</definedName></definedNames>)"),
         "xl/workbook.xml", {R"(function="1" vbProcedure="1")"}, {}},
        {"workbook view uid",
         book_with(R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="xr2")"
                   R"( xmlns:xr2="http://schemas.microsoft.com/office/spreadsheetml/2015/revision2")",
                   R"(<bookViews><workbookView xWindow="10" xr2:uid="{7D2B8E4A-0000-4000-8000-000000000001}"/>)"
                   R"(</bookViews>)"),
         "xl/workbook.xml", {R"(xr2:uid="{7D2B8E4A-0000-4000-8000-000000000001}")"}, {}},
        {"strict conformance", book_with(R"( conformance="strict")", ""), "xl/workbook.xml", {"<sheets>"},
         {"conformance"}},
        {"unprotected sheet with a password", one_sheet(cells + R"(<sheetProtection sheet="0" password="CC1A"/>)"),
         sheet1, {R"(<sheetProtection sheet="0" password="CC1A"/>)"}, {}},
        {"protected range without cells",
         one_sheet(cells + R"(<protectedRanges><protectedRange password="CC1A" name="R1"/></protectedRanges>)"),
         sheet1, {R"(<protectedRange password="CC1A" name="R1"/>)"}, {"sqref"}},
        {"column width as read",
         one_sheet(R"(<cols><col min="1" max="2" width="20.7109375" customWidth="1"/></cols>)" + cells), sheet1,
         {R"(<col min="1" max="2" width="20.7109375" customWidth="1"/>)"}, {}},
        {"column width changed", one_sheet(R"(<cols><col min="1" max="2" width="20.7109375" customWidth="1"/></cols>)" + cells),
         sheet1, {R"(<col min="1" max="1" width="30.625" customWidth="1"/>)", R"(<col min="2" max="2" width="20.7109375")"},
         {}, [](plover_workbook_t* wb) { ws_set_custom_col_width(first_sheet(wb), 1, 1, 30, 0); }},
    });
}

// A relationship target is a URI: no _xHHHH_ decoding, no escaping.
TEST(foreign_round_trip, hyperlink_targets_stay_as_written) {
    const auto link_is = [](const std::string& address) {
        return [address](plover_workbook_t* wb) {
            const char* got = ws_hyperlink(first_sheet(wb), 0, nullptr, nullptr, nullptr, nullptr);
            EXPECT_EQ(std::string(got ? got : "(null)"), address);
        };
    };
    run_rows({
        {"read", one_sheet(cells + R"(<hyperlinks><hyperlink ref="A1" r:id="rId1"/></hyperlinks>)",
                           package_test::rel("rId1", od + "hyperlink", link_target, true)),
         sheet1_rels, {"Target=\"" + link_target + "\""}, {"_x005F_"}, link_is(link_target), link_is(link_target)},
        {"set by the host", one_sheet(cells), sheet1_rels, {R"(Target="https://example.com/a_x0041_b?q=1&amp;r=2")"}, {"_x005F_"},
         [](plover_workbook_t* wb) {
             ws_add_hyperlink(first_sheet(wb), "https://example.com/a_x0041_b?q=1&r=2", 1, 1, 1, 1);
         },
         link_is("https://example.com/a_x0041_b?q=1&r=2")},
    });
}
