#include "kestrel/parts/pivot_table_part.h"
#include "kestrel/parts/printer_settings_part.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "part_factory_support.h"
#include "text_utils.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using namespace factory_test;
using vex::xml_part_t;

namespace {

struct sheet_parts {
    package p;
    xml_part_t* sheet = p.add(p.book, "worksheet", "rId1");
    xml_part_t* make(const char* type) { return p.add(sheet, type, "rId2"); }
};

} // namespace

TEST(pivot_table_part, written_back_with_its_new_location) {
    sheet_parts s;
    auto* pivot = dynamic_cast<vex::pivot_table_part_t*>(s.make("pivotTable"));
    ASSERT_NE(pivot, nullptr);
    const std::string head = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
    const std::string body =
        R"(<pivotTableDefinition xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" name="P&amp;1" )"
        R"(cacheId="3"><location ref="%" firstHeaderRow="1" firstDataRow="2"/><pivotFields count="1">)"
        R"(<pivotField showAll="0"><items count="1"><item t="default"/></items></pivotField></pivotFields>)"
        R"(<rowFields><field x="0"/></rowFields><pivotTableStyleInfo name="_x0001_ &lt;"/>)"
        R"(<extra>a &amp; b</extra></pivotTableDefinition>)";
    auto with = [&](const char* ref) {
        std::string s = body;
        s.replace(s.find('%'), 1, ref);
        return s;
    };
    // Elements come back whole; empty ones as a start and an end tag.
    auto written = [&](const char* ref) {
        std::string s = with(ref);
        for (size_t end = s.find("/>"); end != std::string::npos; end = s.find("/>", end)) {
            const size_t open = s.rfind('<', end);
            const std::string name = s.substr(open + 1, s.find_first_of(" />", open + 1) - open - 1);
            s.replace(end, 2, "></" + name + ">");
        }
        return head + s;
    };
    read_part(*pivot, head + with("A3:C20"));
    const vex::range_t read = pivot->get_pivot_table()->location();
    EXPECT_EQ(vex::range_to_string(read), "A3:C20");
    EXPECT_EQ(write_part(*pivot), written("A3:C20"));

    vex::range_t moved{};
    vex::string_to_cell_range("B5:D30", moved);
    pivot->get_pivot_table()->set_location(moved);
    pivot->children().create_child(pivot, rel("pivotCacheDefinition"), "rId1", true);
    EXPECT_EQ(write_part(*pivot), written("B5:D30"));
    EXPECT_TRUE(pivot->get_relationships().empty());
}

TEST(pivot_table_part, without_a_tree_or_a_ref) {
    sheet_parts s;
    xml_part_t* pivot = s.make("pivotTable");
    EXPECT_EQ(write_part(*pivot), "");
    EXPECT_EQ(what_of([&] { read_part(*pivot, "<pivotTableDefinition><location/></pivotTableDefinition>"); }),
              "xml paring error: An error occurred while assigning node: location. line 1, column 34");
}

TEST(printer_settings_part, written_back_byte_for_byte) {
    sheet_parts s;
    xml_part_t* printer = s.make("printerSettings");
    EXPECT_STREQ(printer->get_static_extension(), ".bin");
    const std::string bytes("\0\x01<devmode>\xff\xfe\0&", 14);
    void* block = printer->allocate_buffer(bytes.size());
    std::memcpy(block, bytes.data(), bytes.size());
    EXPECT_EQ(write_part(*printer), bytes);
    ASSERT_NE(printer->get_output_handler(), nullptr);
    printer->create_output_handler(1);  // other modes leave the writer as it is
    EXPECT_NE(printer->get_output_handler(), nullptr);
}

TEST(vml_drawing_part, lets_notes_go_and_keeps_other_shapes) {
    const struct {
        const char* body;
        size_t notes;
        size_t kept;
    } cases[] = {
        {"<xml></xml>", 0, 0},
        {"<xml><o:shapelayout><o:idmap data=\"1\"/></o:shapelayout><v:shapetype id=\"t\"/></xml>", 0, 0},
        {"<xml><v:shape><x:ClientData ObjectType=\"Note\"><x:Row>0</x:Row><x:Column>0</x:Column></x:ClientData>"
         "</v:shape><v:shape><x:ClientData ObjectType=\"Note\"/></v:shape></xml>",
         2, 0},
        // What decides is the shape's own client data, not a note before it.
        {"<xml><v:shape><x:ClientData ObjectType=\"Note\"/></v:shape><v:shape><x:ClientData ObjectType=\"Button\"/>"
         "</v:shape></xml>",
         1, 1},
        {"<xml><v:shape/><v:group><v:shape><x:ClientData ObjectType=\"Note\"/></v:shape></v:group></xml>", 0, 2},
    };
    for (const auto& c : cases) {
        sheet_parts s;
        auto* vml = dynamic_cast<vex::vml_drawing_part*>(s.make("vmlDrawing"));
        ASSERT_NE(vml, nullptr);
        EXPECT_TRUE(vml->is_empty());
        read_part(*vml, std::string("<?xml version=\"1.0\"?>") +
                            std::string(c.body).insert(4, " xmlns:v=\"urn:v\" xmlns:o=\"urn:o\" xmlns:x=\"urn:x\""));
        EXPECT_EQ(vml->get_drawing()->shape_count(), c.notes) << c.body;
        EXPECT_EQ(vml->get_drawing()->kept_shape_count(), c.kept) << c.body;
        // Nothing worth keeping: every node was let go.
        EXPECT_EQ(vml->get_kept_tree() != nullptr, c.kept != 0) << c.body;
        EXPECT_EQ(vml->is_empty(), c.notes + c.kept == 0) << c.body;
    }
}

TEST(part_classes, content_types_by_index) {
    package p;
    xml_part_t* custom = p.add(p.book, "customXml", "rId1");
    xml_part_t* thumb = p.book->children().create_child(
        p.book, "http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail", "rId2", true);
    xml_part_t* sheet = p.add(p.book, "worksheet", "rId3");
    xml_part_t* prop = p.add(sheet, "customProperty", "rId1");
    const char* ct = "application/vnd.openxmlformats-officedocument.spreadsheetml.customProperty";
    const struct {
        xml_part_t* part;
        int index;
        const char* type;
        const char* ext;
    } cases[] = {
        {custom, -1, nullptr, nullptr}, {custom, 0, "application/xml", ".xml"},
        {custom, 2, "application/xml", ".xml"}, {custom, 3, "application/inkml+xml", ".xml"},
        {custom, 4, nullptr, nullptr},  {prop, 0, ct, ".xml"},
        {prop, 1, "application/xml", ".xml"}, {prop, 2, nullptr, nullptr},
        {thumb, 2, "application/xml", ".xml"}, {thumb, 3, nullptr, nullptr},
        {sheet, 0, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.part->get_content_type_by_index(c.index), c.type) << c.index;
        EXPECT_STREQ(c.part->get_extension_by_index(c.index), c.ext) << c.index;
    }
}
