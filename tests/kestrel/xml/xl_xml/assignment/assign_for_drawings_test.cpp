#include "kestrel/core/components/drawings.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/utils/drawing/image/image_fixtures.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;
namespace image = vex::mta::image;

namespace {

constexpr const char* drawing_type = "application/vnd.openxmlformats-officedocument.drawing+xml";
constexpr const char* xdr_ns = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
constexpr const char* a_ns = "http://schemas.openxmlformats.org/drawingml/2006/main";

// A sheet "Data" whose drawing holds `anchors`; rId1 of the drawing is a
// picture, rId2 a link, rId3 a chart.
entries_t drawing_package(const std::string& anchors, bool picture_bytes = true) {
    entries_t e = reader_test::sheet_package(R"(<sheetData/><drawing r:id="rId1"/>)");
    for (auto& [name, bytes] : e)
        if (name == "[Content_Types].xml")
            bytes.insert(bytes.rfind("</Types>"),
                         "<Default Extension=\"png\" ContentType=\"image/png\"/>" +
                             override_of("xl/drawings/drawing1.xml", drawing_type) +
                             override_of("xl/charts/chart1.xml",
                                         "application/vnd.openxmlformats-officedocument.drawingml.chart+xml"));
    const fixtures::bytes_t png = fixtures::png(4, 3);
    e.push_back({"xl/worksheets/_rels/sheet1.xml.rels",
                 rels(rel("rId1", std::string(od) + "drawing", "../drawings/drawing1.xml"))});
    e.push_back({"xl/drawings/drawing1.xml", std::string(decl) + "<xdr:wsDr xmlns:xdr=\"" + xdr_ns + "\" xmlns:a=\"" +
                                                 a_ns + "\" xmlns:r=\"" + reader_test::rel_ns + "\">" + anchors +
                                                 "</xdr:wsDr>"});
    e.push_back({"xl/drawings/_rels/drawing1.xml.rels",
                 rels(rel("rId1", std::string(od) + "image", "../media/image1.png") +
                      rel("rId2", std::string(od) + "hyperlink", "https://example.com/", true) +
                      rel("rId3", std::string(od) + "chart", "../charts/chart1.xml"))});
    e.push_back({"xl/media/image1.png", picture_bytes ? std::string(png.begin(), png.end()) : "no picture"});
    e.push_back({"xl/charts/chart1.xml", std::string(decl) + "<c:chartSpace xmlns:c=\"c\"/>"});
    return e;
}

std::string pic(const std::string& blip = R"(<a:blip r:embed="rId1"/>)", const std::string& extra = "") {
    return R"(<xdr:pic><xdr:nvPicPr><xdr:cNvPr id="2" name="P">)" + extra +
           R"(</xdr:cNvPr><xdr:cNvPicPr/></xdr:nvPicPr><xdr:blipFill>)" + blip +
           R"(</xdr:blipFill><xdr:spPr/></xdr:pic><xdr:clientData/>)";
}

std::string from(const std::string& row, const std::string& col = "1", const std::string& off = "19050") {
    return "<xdr:from><xdr:col>" + col + "</xdr:col><xdr:colOff>" + off + "</xdr:colOff><xdr:row>" + row +
           "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>";
}

const image::table_image_manager* images_of(vex::xml_document_t& doc, unsigned& sheet) {
    vex::worktable_t* t = doc.workbook()->sheet_at(0)->worktable();
    sheet = t->sheet_id();
    return t->get_image_manager();
}

} // namespace

TEST(assign_for_drawings, anchors_place_their_pictures) {
    vex::xml_document_t doc;
    const std::string one = "<xdr:oneCellAnchor>" + from("2") + R"(<xdr:ext cx=" 476250 " cy="9525"/>)" + pic() +
                            "</xdr:oneCellAnchor>";
    const std::string two = "<xdr:twoCellAnchor>" + from("0", "0", "0") +
                            "<xdr:to><xdr:col>3</xdr:col><xdr:colOff>28575</xdr:colOff><xdr:row>4</xdr:row>"
                            "<xdr:rowOff>95250</xdr:rowOff></xdr:to>" +
                            pic() + "</xdr:twoCellAnchor>";
    ASSERT_EQ(reader_test::load(doc, drawing_package(one + two)), "");
    unsigned sheet = 0;
    const image::table_image_manager* m = images_of(doc, sheet);
    ASSERT_EQ(m->image_num(sheet), 2);  // two anchors of one image relationship
    const image::image_anchor_t* a = m->find_image(m->get_image_id(sheet, 0));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->type, image::image_anchor_type_enum::one_cell);
    EXPECT_EQ(a->one_cell.row, 3);
    EXPECT_EQ(a->one_cell.col, 2);
    EXPECT_EQ(a->one_cell.col_offset, 2);  // pixels
    EXPECT_EQ(a->one_cell.width, 50);
    EXPECT_EQ(a->one_cell.height, 1);
    const image::image_anchor_t* b = m->find_image(m->get_image_id(sheet, 1));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->edit_as, image::image_anchor_type_enum::two_cell);  // no editAs
    EXPECT_EQ(b->two_cell.to_row, 5);
    EXPECT_EQ(b->two_cell.to_col_offset, 3);
    EXPECT_EQ(b->two_cell.to_row_offset, 10);
}

TEST(assign_for_drawings, bad_numbers_fail_the_load) {
    const struct {
        std::string anchor;
        std::string message;
    } cases[] = {
        {"<xdr:oneCellAnchor>" + from("0") + R"(<xdr:ext cx="9525x" cy="1"/>)" + pic() + "</xdr:oneCellAnchor>",
         "Incorrect image length and width."},
        {"<xdr:absoluteAnchor><xdr:pos x=\"\" y=\"1\"/><xdr:ext cx=\"1\" cy=\"1\"/>" + pic() + "</xdr:absoluteAnchor>",
         "Incorrect image positioning coordinates."},
        {"<xdr:oneCellAnchor>" + from("2147483647") + R"(<xdr:ext cx="1" cy="1"/>)" + pic() + "</xdr:oneCellAnchor>",
         "Errors were detected in drawing file."},
        {"<xdr:oneCellAnchor>" + from("1", "16384") + R"(<xdr:ext cx="1" cy="1"/>)" + pic() + "</xdr:oneCellAnchor>",
         "Errors were detected in drawing file."},
        {"<xdr:oneCellAnchor>" + from("1") + R"(<xdr:ext cx="1" cy="1"/>)" + pic("<a:blip/>") + "</xdr:oneCellAnchor>",
         "Errors were detected in drawing file."},
    };
    for (const auto& c : cases) {
        vex::xml_document_t doc;
        const std::string message = reader_test::load(doc, drawing_package(c.anchor));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.anchor << "\n" << message;
    }
}

TEST(assign_for_drawings, other_anchors_links_and_extras_are_saved_as_read) {
    const std::string chart = R"(<xdr:twoCellAnchor editAs="oneCell">)" + from("5") +
                              "<xdr:to><xdr:col>4</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>9</xdr:row>"
                              "<xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:graphicFrame macro=\"\"><a:graphic>"
                              R"(<c:chart xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" r:id="rId3"/>)"
                              "</a:graphic></xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor>";
    const std::string linked = "<xdr:oneCellAnchor>" + from("1") + R"(<xdr:ext cx="1" cy="1"/>)" +
                               pic(R"(<a:blip r:link="rId2"/>)") + "</xdr:oneCellAnchor>";
    const std::string placed = "<xdr:oneCellAnchor>" + from("3") + R"(<xdr:ext cx="95250" cy="95250"/>)" +
                               pic(R"(<a:blip r:embed="rId1"/>)", R"(<a:hlinkClick r:id="rId2"/>)") +
                               "</xdr:oneCellAnchor>";
    scratch_dir dir;
    write_zip(dir / "in.xlsx", drawing_package(chart + placed + linked));
    {
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        unsigned sheet = 0;
        EXPECT_EQ(images_of(doc, sheet)->image_num(sheet), 1);
        doc.save((dir / "out.xlsx").c_str(), 2);
    }
    const entries_t saved = read_zip(dir / "out.xlsx");
    const std::string drawing = find(saved, "xl/drawings/drawing1.xml");
    const std::string drawing_rels = find(saved, "xl/drawings/_rels/drawing1.xml.rels");
    // Children first (the image, the chart), then the link.
    EXPECT_NE(drawing_rels.find(R"(Id="rId2" Type=")" + std::string(od) + R"(chart" Target="../charts/chart1.xml")"),
              std::string::npos)
        << drawing_rels;
    EXPECT_NE(drawing_rels.find(R"(Id="rId3" Type=")" + std::string(od) +
                                R"(hyperlink" Target="https://example.com/" TargetMode="External")"),
              std::string::npos)
        << drawing_rels;
    // Kept elements come back with end tags of their own.
    const size_t c = drawing.find(R"(r:id="rId2"></c:chart></a:graphic>)");
    const size_t p = drawing.find(R"(<a:hlinkClick r:id="rId3">)");
    const size_t l = drawing.find(R"(<a:blip r:link="rId3">)");
    EXPECT_NE(c, std::string::npos) << drawing;
    EXPECT_NE(p, std::string::npos) << drawing;
    EXPECT_NE(l, std::string::npos) << drawing;
    EXPECT_LT(c, p);
    EXPECT_LT(p, l);
    EXPECT_NE(drawing.find(R"(<a:blip r:embed="rId1">)"), std::string::npos) << drawing;
    EXPECT_EQ(find(saved, "xl/charts/chart1.xml"), std::string(decl) + "<c:chartSpace xmlns:c=\"c\"/>");
    expect_no_dangling_targets(saved);
}

TEST(assign_for_drawings, a_picture_that_cannot_be_placed_is_saved_as_read) {
    const std::string first = "<xdr:oneCellAnchor>" + from("1") + R"(<xdr:ext cx="9525" cy="9525"/>)" +
                              pic(R"(<a:blip r:embed="rId1"/>)") + "</xdr:oneCellAnchor>";
    const std::string shape = "<xdr:oneCellAnchor>" + from("2") + R"(<xdr:ext cx="9525" cy="9525"/><xdr:sp/>)"
                              "<xdr:clientData/></xdr:oneCellAnchor>";
    for (const bool placed : {true, false}) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", drawing_package(first + shape + first, placed));
        {
            vex::xml_document_t doc;
            doc.load((dir / "in.xlsx").c_str(), false);
            unsigned sheet = 0;
            EXPECT_EQ(images_of(doc, sheet)->image_num(sheet), placed ? 2 : 0);
            doc.save((dir / "out.xlsx").c_str(), 2);
        }
        const entries_t saved = read_zip(dir / "out.xlsx");
        const std::string drawing = find(saved, "xl/drawings/drawing1.xml");
        // Two pictures around the shape, whether placed or kept.
        const size_t a = drawing.find("<xdr:pic>"), b = drawing.find("<xdr:sp"), c = drawing.rfind("<xdr:pic>");
        EXPECT_LT(a, b) << drawing;
        EXPECT_LT(b, c) << drawing;
        EXPECT_NE(c, std::string::npos) << drawing;
        EXPECT_NE(find(saved, "xl/drawings/_rels/drawing1.xml.rels").find("../media/image1.png"), std::string::npos);
        expect_no_dangling_targets(saved);
    }
}

TEST(assign_for_drawings, client_data_flags_stay_with_the_picture) {
    const std::string anchor = "<xdr:oneCellAnchor>" + from("1") + R"(<xdr:ext cx="9525" cy="9525"/>)" +
                               R"(<xdr:pic><xdr:nvPicPr><xdr:cNvPr id="2" name="P"/><xdr:cNvPicPr/></xdr:nvPicPr>)"
                               R"(<xdr:blipFill><a:blip r:embed="rId1"/></xdr:blipFill><xdr:spPr/></xdr:pic>)"
                               R"(<xdr:clientData fLocksWithSheet="0"/></xdr:oneCellAnchor>)";
    scratch_dir dir;
    write_zip(dir / "in.xlsx", drawing_package(anchor));
    {
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        doc.save((dir / "out.xlsx").c_str(), 2);
    }
    const std::string drawing = find(read_zip(dir / "out.xlsx"), "xl/drawings/drawing1.xml");
    EXPECT_NE(drawing.find(R"(</xdr:pic><xdr:clientData fLocksWithSheet="0"></xdr:clientData></xdr:oneCellAnchor>)"), std::string::npos)
        << drawing;
}
