// The comments part and the notes of the VML drawing part, written from the
// sheets' comment stores in a save, and what a load keeps of a VML drawing.

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/xml/xl_xml/writers/vml_drawing_part_xml.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace package_test;
using writer_test::xml_elements;

namespace {

namespace mta = vex::mta;

mta::richtext_segment_t run(const char* text, bool bold = false) {
    mta::richtext_segment_t s;
    s.text = text;
    s.font.bold = bold ? 1 : 0;
    return s;
}

mta::richtext_t note(std::vector<mta::richtext_segment_t> runs) {
    mta::richtext_t t;
    for (auto& r : runs) t.append(std::move(r));
    return t;
}

struct commented_book {
    scratch_dir dir;
    vex::xml_document_t doc;
    commented_book() { doc.create_package(); }
    mta::comment_store_t& add_sheet(const char* name) {
        return writer_test::add_sheet(*doc.workbook(), name)->worktable()->comments();
    }
    entries_t save() {
        const std::string path = dir / "book.xlsx";
        doc.save(path.c_str(), 2);
        writer_test::expect_valid_package(path);
        return read_zip(path);
    }
};

const std::string comments_head =
    "<comments xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
    "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\" mc:Ignorable=\"xr\">";
const std::string vml_head =
    "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\">";
const std::string note_type =
    "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\">"
    "<v:stroke joinstyle=\"miter\"/><v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";

std::string layout(const std::string& blocks) {
    return "<o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"" + blocks + "\"/></o:shapelayout>";
}

std::string note_shape(int id, const std::string& margins, int z, const std::string& anchor, int row, int col) {
    return "<v:shape id=\"_x0000_s" + std::to_string(id) + "\" type=\"#_x0000_t202\" style='position:absolute;" +
           margins + ";width:96pt;height:55.5pt;z-index:" + std::to_string(z) +
           ";visibility:hidden' fillcolor=\"infoBackground [80]\" strokecolor=\"none [81]\" o:insetmode=\"auto\">"
           "<v:fill color2=\"infoBackground [80]\"/><v:shadow color=\"none [81]\" obscured=\"t\"/>"
           "<v:path o:connecttype=\"none\"/><v:textbox style='mso-direction-alt:auto'><div style='text-align:left'/>"
           "</v:textbox><x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/><x:Anchor>" +
           anchor + "</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>" + std::to_string(row) + "</x:Row><x:Column>" +
           std::to_string(col) + "</x:Column></x:ClientData></v:shape>";
}

size_t count_of(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(comments_part_xml, comments_at_c5_and_a1_on_two_sheets) {
    commented_book b;
    mta::comment_store_t& first = b.add_sheet("Data");
    ASSERT_TRUE(first.add(5, 3, note({run("Ann: ", true), run("check <5 & go")}), "Ann"));
    ASSERT_TRUE(first.add(1, 1, note({run(" first")}), ""));  // names no author
    mta::comment_store_t& second = b.add_sheet("Other");
    ASSERT_TRUE(second.add(1, 1, note({}), "Bo & Co"));
    const entries_t saved = b.save();

    EXPECT_EQ(xml_elements(find(saved, "xl/comments1.xml")),
              xml_elements(comments_head + "<authors><author>Ann</author><author></author></authors><commentList>"
                           "<comment ref=\"A1\" authorId=\"1\" shapeId=\"0\"><text><r><rPr></rPr>"
                           "<t xml:space=\"preserve\"> first</t></r></text></comment>"
                           "<comment ref=\"C5\" authorId=\"0\" shapeId=\"0\"><text>"
                           "<r><rPr><b val=\"1\"/></rPr><t xml:space=\"preserve\">Ann: </t></r>"
                           "<r><rPr></rPr><t>check &lt;5 &amp; go</t></r></text></comment>"
                           "</commentList></comments>"));
    EXPECT_EQ(xml_elements(find(saved, "xl/comments2.xml")),
              xml_elements(comments_head + "<authors><author>Bo &amp; Co</author></authors><commentList>"
                           "<comment ref=\"A1\" authorId=\"0\" shapeId=\"0\"><text></text></comment>"
                           "</commentList></comments>"));

    EXPECT_EQ(xml_elements(find(saved, "xl/drawings/vmldrawing1.vml")),
              xml_elements(vml_head + layout("1") + note_type +
                           note_shape(1025, "margin-left:59.25pt;margin-top:1.5pt", 1, "1, 15, 0, 2, 3, 15, 3, 16", 0, 0) +
                           note_shape(1026, "margin-left:155.25pt;margin-top:52.5pt", 2, "3, 15, 3, 10, 5, 15, 7, 4", 4, 2) +
                           "</xml>"));
    EXPECT_EQ(xml_elements(find(saved, "xl/drawings/vmldrawing2.vml")),
              xml_elements(vml_head + layout("2") + note_type +
                           note_shape(2049, "margin-left:59.25pt;margin-top:1.5pt", 1, "1, 15, 0, 2, 3, 15, 3, 16", 0, 0) +
                           "</xml>"));

    for (const char* n : {"1", "2"}) {
        const std::string sheet = find(saved, std::string("xl/worksheets/sheet") + n + ".xml");
        EXPECT_TRUE(sheet.ends_with("<legacyDrawing r:id=\"rId2\"/></worksheet>")) << sheet;
        EXPECT_EQ(find(saved, std::string("xl/worksheets/_rels/sheet") + n + ".xml.rels"),
                  rels(rel("rId1", std::string(od) + "comments", std::string("../comments") + n + ".xml") +
                       rel("rId2", std::string(od) + "vmlDrawing", std::string("../drawings/vmldrawing") + n + ".vml")));
    }
    const std::string content = find(saved, "[Content_Types].xml");
    EXPECT_NE(content.find("<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument."
                           "vmlDrawing\"/>"),
              std::string::npos);
    EXPECT_NE(content.find(override_of("xl/comments2.xml",
                                       "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml")),
              std::string::npos);

    // Without comments the parts go, and the sheet names no drawing.
    first.remove(5, 3);
    first.remove(1, 1);
    const entries_t again = b.save();
    EXPECT_EQ(find(again, "xl/comments1.xml"), "<absent>");
    EXPECT_EQ(find(again, "xl/drawings/vmldrawing1.vml"), "<absent>");
    EXPECT_EQ(find(again, "xl/worksheets/sheet1.xml").find("legacyDrawing"), std::string::npos);
    EXPECT_NE(find(again, "xl/drawings/vmldrawing2.vml"), "<absent>");
}

TEST(comments_part_xml, shape_ids_in_blocks_of_1024_never_shared_between_sheets) {
    commented_book b;
    for (const char* name : {"One", "Two"}) {
        mta::comment_store_t& store = b.add_sheet(name);
        for (int r = 1; r <= 2500; ++r) ASSERT_TRUE(store.add(r, 2, note({run("n")}), "Ann"));
    }
    const entries_t saved = b.save();
    const std::string one = find(saved, "xl/drawings/vmldrawing1.vml");
    const std::string two = find(saved, "xl/drawings/vmldrawing2.vml");
    EXPECT_NE(one.find(layout("1,2,3")), std::string::npos);
    EXPECT_NE(two.find(layout("4,5,6")), std::string::npos);
    std::set<std::string> ids;
    for (const std::string* part : {&one, &two}) {
        EXPECT_EQ(count_of(*part, "<v:shape "), 2500u);
        EXPECT_EQ(count_of(*part, "<v:shapetype "), 1u);
        for (size_t at = part->find("id=\"_x0000_s"); at != std::string::npos; at = part->find("id=\"_x0000_s", at + 1)) {
            const std::string id = part->substr(at + 12, part->find('"', at + 12) - at - 12);
            const int n = std::stoi(id);
            EXPECT_NE(n % 1024, 0) << id;
            EXPECT_TRUE(ids.insert(id).second) << id;
        }
    }
    EXPECT_NE(two.find("id=\"_x0000_s4097\""), std::string::npos);

    // A note at the last cell stays on the sheet.
    commented_book corner;
    ASSERT_TRUE(corner.add_sheet("Edge").add(1048576, 16384, note({run("x")}), "Ann"));
    const std::string edge = find(corner.save(), "xl/drawings/vmldrawing1.vml");
    EXPECT_NE(edge.find("<x:Anchor>16381, 15, 1048571, 10, 16383, 15, 1048575, 4</x:Anchor><x:AutoFill>False</x:AutoFill>"
                        "<x:Row>1048575</x:Row><x:Column>16383</x:Column>"),
              std::string::npos)
        << edge;
    EXPECT_EQ(vex::vml_drawing_part_xml::idmap_blocks("<o:idmap v:ext='edit' data='3, 7,9'/>"),
              (std::vector<uint32_t>{3, 7, 9}));
    EXPECT_TRUE(vex::vml_drawing_part_xml::idmap_blocks("<xml/>").empty());
}

namespace {

const std::string vml_type = "application/vnd.openxmlformats-officedocument.vmlDrawing";
const std::string comments_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";

// One sheet with a VML drawing (and comments when given), as read by the loader.
entries_t package_with_drawing(const std::string& sheet_tail, const std::string& vml, const std::string* comments,
                               const std::string& sheet_rels, entries_t more = {}, const std::string& types_more = "") {
    more.push_back({"xl/drawings/vmlDrawing1.vml", vml});
    if (comments) more.push_back({"xl/comments1.xml", *comments});
    return reader_test::sheet_package_with("<sheetData/>" + sheet_tail, sheet_rels, more,
                                           "<Default Extension=\"vml\" ContentType=\"" + vml_type + "\"/>" +
                                               (comments ? override_of("xl/comments1.xml", comments_type) : "") +
                                               types_more);
}

const std::string button_type =
    "<v:shapetype id=\"_x0000_t201\" coordsize=\"21600,21600\" o:spt=\"201\" path=\"m,l,21600r21600,l21600,xe\">"
    "<v:stroke joinstyle=\"miter\"/><o:lock v:ext=\"edit\" shapetype=\"t\"/></v:shapetype>";
const std::string button =
    "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t201\" style='position:absolute;margin-left:96pt' o:button=\"t\">"
    "<v:textbox><div style='text-align:center'><font face=\"Calibri\">Button &amp; 1</font></div></v:textbox>"
    "<x:ClientData ObjectType=\"Button\"><x:Anchor>2, 0, 1, 0, 3, 0, 2, 0</x:Anchor>"
    "<x:FmlaMacro>[0]!Button1_Click</x:FmlaMacro></x:ClientData></v:shape>";
// As written back: attribute values in double quotes.
const std::string button_written =
    "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t201\" style=\"position:absolute;margin-left:96pt\" o:button=\"t\">"
    "<v:textbox><div style=\"text-align:center\"><font face=\"Calibri\">Button &amp; 1</font></div></v:textbox>"
    "<x:ClientData ObjectType=\"Button\"><x:Anchor>2, 0, 1, 0, 3, 0, 2, 0</x:Anchor>"
    "<x:FmlaMacro>[0]!Button1_Click</x:FmlaMacro></x:ClientData></v:shape>";
const std::string unused_type = "<v:shapetype id=\"_x0000_t75\" o:spt=\"75\"/>";

} // namespace

TEST(comments_part_xml, a_button_beside_the_notes_is_kept_and_the_notes_are_written_anew) {
    const std::string file_note =
        "<v:shape id=\"_x0000_s1026\" type=\"#_x0000_t202\"><x:ClientData ObjectType=\"Note\"><x:Row>0</x:Row>"
        "<x:Column>0</x:Column></x:ClientData></v:shape>";
    const std::string vml = vml_head + layout("1") + button_type + button + unused_type + note_type + file_note + "</xml>";
    const std::string comments = std::string(decl) + "<comments xmlns=\"" + reader_test::main_ns +
                                 "\"><authors><author>Jo</author></authors><commentList>"
                                 "<comment ref=\"A1\" authorId=\"0\"><text><t>hi</t></text></comment>"
                                 "</commentList></comments>";
    const std::string sheet_rels = rel("rId1", std::string(od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                                   rel("rId2", std::string(od) + "comments", "../comments1.xml");
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package_with_drawing("<legacyDrawing r:id=\"rId1\"/>", vml, &comments, sheet_rels));
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    mta::comment_store_t& store = doc.workbook()->sheet_at(0)->worktable()->comments();
    ASSERT_EQ(store.size(), 1u);
    ASSERT_TRUE(store.add(2, 2, note({run("new")}), "Jo"));
    doc.save((dir / "out.xlsx").c_str(), 2);
    writer_test::expect_valid_package(dir / "out.xlsx");
    const entries_t saved = read_zip(dir / "out.xlsx");

    // The kept shape's block is the part's; the notes take the ids it leaves.
    // The loaded note named no stroke colour and is written with none.
    std::string loaded = note_shape(1026, "margin-left:59.25pt;margin-top:1.5pt", 1, "1, 15, 0, 2, 3, 15, 3, 16", 0, 0);
    const std::string stroke = " strokecolor=\"none [81]\"";
    loaded.erase(loaded.find(stroke), stroke.size());
    EXPECT_EQ(xml_elements(find(saved, "xl/drawings/vmldrawing1.vml")),
              xml_elements(vml_head + layout("1") + button_type + note_type + loaded +
                           note_shape(1027, "margin-left:107.25pt;margin-top:7.5pt", 2, "2, 15, 0, 10, 4, 15, 4, 4", 1, 1) +
                           button_written + "</xml>"));
    const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(count_of(sheet, "<legacyDrawing "), 1u);

    // Without comments the button stays, alone in its part.
    store.remove(1, 1);
    store.remove(2, 2);
    doc.save((dir / "out2.xlsx").c_str(), 2);
    const entries_t alone = read_zip(dir / "out2.xlsx");
    EXPECT_EQ(xml_elements(find(alone, "xl/drawings/vmldrawing1.vml")),
              xml_elements(vml_head + layout("1") + button_type + button_written + "</xml>"));
    EXPECT_EQ(find(alone, "xl/comments1.xml"), "<absent>");
    EXPECT_NE(find(alone, "xl/worksheets/sheet1.xml").find("<legacyDrawing r:id=\"rId1\"/>"), std::string::npos);
}

TEST(comments_part_xml, header_footer_drawing_kept_byte_for_byte_beside_the_notes) {
    const std::string hf_vml = "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\"\n"
                               " xmlns:o=\"urn:schemas-microsoft-com:office:office\">\n <o:shapelayout v:ext=\"edit\">"
                               "<o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout><v:shape id=\"LH\" "
                               "o:spid=\"_x0000_s1025\"><v:imagedata o:relid=\"rId1\" o:title=\"red\"/></v:shape></xml>";
    const std::string comments = std::string(decl) + "<comments xmlns=\"" + reader_test::main_ns +
                                 "\"><authors><author>Jo</author></authors><commentList>"
                                 "<comment ref=\"B2\" authorId=\"0\"><text><t>hi</t></text></comment>"
                                 "</commentList></comments>";
    const std::string sheet_rels = rel("rId1", std::string(od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                                   rel("rId2", std::string(od) + "comments", "../comments1.xml");
    const entries_t more = {
        {"xl/drawings/_rels/vmlDrawing1.vml.rels",
         rels(rel("rId1", std::string(od) + "image", "../media/image1.png"))},
        {"xl/media/image1.png", std::string("\x89PNG\r\n\x1a\n", 8) + "pixels"},
    };
    scratch_dir dir;
    write_zip(dir / "in.xlsx",
              package_with_drawing("<headerFooter><oddHeader>&amp;L&amp;G</oddHeader></headerFooter>"
                                   "<legacyDrawingHF r:id=\"rId1\"/>",
                                   hf_vml, &comments, sheet_rels, more, "<Default Extension=\"png\" ContentType=\"image/png\"/>"));
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    writer_test::expect_valid_package(dir / "out.xlsx");
    const entries_t saved = read_zip(dir / "out.xlsx");

    const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<legacyDrawing r:id=\"rId3\"/><legacyDrawingHF r:id=\"rId1\"/></worksheet>"),
              std::string::npos)
        << sheet;
    EXPECT_EQ(find(saved, "xl/drawings/vmldrawing1.vml"), hf_vml);
    EXPECT_EQ(find(saved, "xl/drawings/_rels/vmldrawing1.vml.rels"),
              rels(rel("rId1", std::string(od) + "image", "../media/image1.png")));
    EXPECT_NE(find(saved, "xl/media/image1.png"), "<absent>");
    // The notes go to a part of their own, in a block the kept part does not hold.
    EXPECT_EQ(xml_elements(find(saved, "xl/drawings/vmldrawing2.vml")),
              xml_elements(vml_head + layout("2") + note_type +
                           note_shape(2049, "margin-left:107.25pt;margin-top:7.5pt", 1, "2, 15, 0, 10, 4, 15, 4, 4", 1, 1) +
                           "</xml>"));
}

TEST(comments_part_xml, both_drawing_elements_naming_one_entry_save_as_two_parts) {
    const std::string hf_vml = vml_head + layout("1") + "<v:shape id=\"LH\" o:spid=\"_x0000_s1025\"/></xml>";
    const std::string comments = std::string(decl) + "<comments xmlns=\"" + reader_test::main_ns +
                                 "\"><authors><author>Jo</author></authors><commentList>"
                                 "<comment ref=\"A1\" authorId=\"0\"><text><t>hi</t></text></comment>"
                                 "</commentList></comments>";
    const std::string sheet_rels = rel("rId1", std::string(od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                                   rel("rId2", std::string(od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                                   rel("rId3", std::string(od) + "comments", "../comments1.xml");
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package_with_drawing("<legacyDrawing r:id=\"rId2\"/><legacyDrawingHF r:id=\"rId1\"/>",
                                                    hf_vml, &comments, sheet_rels));
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const entries_t saved = read_zip(dir / "out.xlsx");
    EXPECT_NE(find(saved, "xl/worksheets/sheet1.xml").find("<legacyDrawing r:id=\"rId3\"/><legacyDrawingHF r:id=\"rId1\"/>"),
              std::string::npos);
    EXPECT_EQ(find(saved, "xl/worksheets/_rels/sheet1.xml.rels"),
              rels(rel("rId1", std::string(od) + "vmlDrawing", "../drawings/vmldrawing1.vml") +
                   rel("rId2", std::string(od) + "comments", "../comments1.xml") +
                   rel("rId3", std::string(od) + "vmlDrawing", "../drawings/vmldrawing2.vml")));
    EXPECT_EQ(find(saved, "xl/drawings/vmldrawing1.vml"), hf_vml);
    EXPECT_EQ(count_of(find(saved, "xl/drawings/vmldrawing2.vml"), "ObjectType=\"Note\""), 1u);
}
