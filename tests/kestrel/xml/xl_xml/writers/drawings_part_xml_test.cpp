#include "kestrel/core/components/drawings.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/drawings_part.h"
#include "mta/table/utils/drawing/image/image_fixtures.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using writer_test::xml_elements;

namespace {

constexpr const char* root =
    R"(<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing" )"
    R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">)";

std::string picture(int32_t id, const char* embed) {
    const std::string n = std::to_string(id);
    return R"(<xdr:pic><xdr:nvPicPr><xdr:cNvPr id=")" + n + R"(" name="picture )" + n +
           R"("/><xdr:cNvPicPr><a:picLocks noChangeAspect="1"/></xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill>)"
           R"(<a:blip xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" r:embed=")" +
           embed +
           R"("/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom prst="rect"><a:avLst/>)"
           R"(</a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/>)";
}

struct drawing_book {
    vex::xml_document_t doc;
    vex::worktable_t* table = nullptr;
    const fixtures::bytes_t png = fixtures::png(4, 3);

    drawing_book() {
        doc.create_package();
        vex::worksheet_t* sheet = writer_test::add_sheet(*doc.workbook(), "Data");
        table = sheet ? sheet->worktable() : nullptr;
    }
    std::string write() {
        vex::drawings_part_t* d = table->get_drawing_part__();
        d->reset_relationship_ids();
        return writer_test::write_part_text(*d);
    }
};

} // namespace

TEST(drawings_part_xml, one_cell_picture_with_its_size_and_offsets) {
    drawing_book b;
    ASSERT_TRUE(b.table);
    const int32_t id = b.table->add_one_cell_image_from_memory(b.png.data(), b.png.size(), 1, 1, 100, 50, 1.0, 2, 3);
    ASSERT_GT(id, 0);
    const std::string expected = std::string(package_test::saved_decl) + root +
                                 "<xdr:oneCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>19050</xdr:colOff>"
                                 "<xdr:row>0</xdr:row><xdr:rowOff>28575</xdr:rowOff></xdr:from>"
                                 R"(<xdr:ext cx="952500" cy="476250"/>)" +
                                 picture(id, "rId1") + "</xdr:oneCellAnchor></xdr:wsDr>";
    EXPECT_EQ(xml_elements(b.write()), xml_elements(expected));
}

TEST(drawings_part_xml, two_cell_offsets_edit_modes_and_a_shared_image) {
    drawing_book b;
    ASSERT_TRUE(b.table);
    const int32_t first = b.table->add_two_cell_image_from_memory_to_part(2, b.png.data(), b.png.size(), 2, 1, 3, 2,
                                                                          5, 4, 7, 3);
    const int32_t second = b.table->add_two_cell_image_from_memory_to_part(1, b.png.data(), b.png.size(), 1, 0, 1, 0,
                                                                           2, 0, 2, 0);
    const int32_t third = b.table->add_absolute_image_from_memory(b.png.data(), b.png.size(), 10, 20, 0, 0, 2.0);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_GT(third, 0);
    const std::string expected =
        std::string(package_test::saved_decl) + root +
        "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>9525</xdr:colOff><xdr:row>2</xdr:row>"
        "<xdr:rowOff>19050</xdr:rowOff></xdr:from><xdr:to><xdr:col>4</xdr:col><xdr:colOff>38100</xdr:colOff>"
        "<xdr:row>6</xdr:row><xdr:rowOff>28575</xdr:rowOff></xdr:to>" +
        picture(first, "rId1") +
        R"(</xdr:twoCellAnchor><xdr:twoCellAnchor editAs="oneCell"><xdr:from><xdr:col>0</xdr:col>)"
        "<xdr:colOff>0</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to>"
        "<xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>" +
        picture(second, "rId1") +
        R"(</xdr:twoCellAnchor><xdr:absoluteAnchor><xdr:pos x="95250" y="190500"/><xdr:ext cx="76200" cy="57150"/>)" +
        picture(third, "rId1") + "</xdr:absoluteAnchor></xdr:wsDr>";
    EXPECT_EQ(xml_elements(b.write()), xml_elements(expected));
}

TEST(drawings_part_xml, kept_anchors_keep_their_place_among_the_pictures) {
    drawing_book b;
    ASSERT_TRUE(b.table);
    vex::drawings_part_t* d = b.table->get_drawing_part__();
    d->get_drawings()->add_kept_anchor("<xdr:sp>first</xdr:sp>");
    const int32_t id = b.table->add_one_cell_image_from_memory(b.png.data(), b.png.size(), 1, 1, 1, 1, 1.0, 0, 0);
    ASSERT_GT(id, 0);
    vex::picture_anchor_t waiting;  // its image never loaded: kept as read
    waiting.anchor_xml = "<xdr:sp>waiting</xdr:sp>";
    d->get_drawings()->add_picture("rId9", waiting);
    d->get_drawings()->add_kept_anchor("<xdr:sp>last</xdr:sp>");
    const std::string text = b.write();
    const size_t first = text.find("first"), wait = text.find("waiting"), last = text.find("last"),
                 pic = text.find("<xdr:oneCellAnchor>");
    ASSERT_NE(pic, std::string::npos) << text;
    EXPECT_LT(first, wait);
    EXPECT_LT(wait, last);
    EXPECT_LT(last, pic);  // a picture the host added comes after those read
    EXPECT_NE(text.find("xmlns:r="), std::string::npos);
}
