#include "kestrel/parts/kept_part.h"
#include "kestrel/parts/part_container.h"
#include "kestrel/parts/simple_part.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "opendoc_exceptions.h"
#include "part_factory_support.h"
#include "what_of.h"

#include <gtest/gtest.h>

using namespace factory_test;
using vex::part_kind_enum;
using vex::xml_part_t;

// The package layer's error: its category, and this header as its place wherever it is thrown.
TEST(part_factory, container_errors_name_their_category_and_header) {
    EXPECT_STREQ(vex::part_container_error("no such part").what(), "part container error: no such part");
    EXPECT_STREQ(vex::part_container_error("x").location(), "opendoc_exceptions.h:21");
}

TEST(part_factory, refusals) {
    package p;
    xml_part_t* sheet = p.add(p.book, "worksheet", "rId1");
    xml_part_t* table = p.add(sheet, "worktable", "rId1");
    const struct {
        xml_part_t* parent;
        std::string type;
        std::string message;
    } cases[] = {
        {p.book, rel("image"), "part container error: ImagePart cannot be a subpart of WorkbookPart."},
        {p.book, "http://x/y", "part container error: Relationship type http://x/y does not exist."},
        {p.book, rel("Styles"), "part container error: Relationship type " + rel("Styles") + " does not exist."},
        {p.book, rel("worktable"), "part container error: WorktablePart cannot be a subpart of WorkbookPart."},
        {table, rel("worktable"), "part container error: WorktablePart cannot be a subpart of WorktablePart."},
        {sheet, rel("image"), "part container error: ImagePart cannot be a subpart of WorksheetPart."},
        {nullptr, "", "part container error: Relationship type  does not exist."},
    };
    for (const auto& c : cases) {
        const size_t before = c.parent ? c.parent->get_child_parts().size() : p.root.size();
        vex::part_container& owner = c.parent ? c.parent->children() : p.root;
        EXPECT_EQ(what_of<vex::part_container_error>([&] { owner.create_child(c.parent, c.type, "rId9", true); }),
                  c.message);
        EXPECT_EQ(c.parent ? c.parent->get_child_parts().size() : p.root.size(), before);
    }
}

TEST(part_factory, once_or_several) {
    package p;
    xml_part_t* styles = p.add(p.book, "styles", "rId1");
    EXPECT_EQ(p.add(p.book, "styles", "rId7"), styles);
    EXPECT_STREQ(styles->get_source_id(), "rId1");  // the second ask changes nothing
    xml_part_t* s1 = p.add(p.book, "worksheet", "rId2");
    xml_part_t* s2 = p.add(p.book, "worksheet", "rId3");
    EXPECT_NE(s1, s2);
    EXPECT_EQ(p.book->get_child_parts().size(), 3u);
    EXPECT_FALSE(styles->is_numbered());
    EXPECT_TRUE(s1->is_numbered());

    xml_part_t* cache = p.add(p.book, "pivotCacheDefinition", "rId4");
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->kind(), part_kind_enum::pivot_table_cache_definition_part);
    EXPECT_TRUE(cache->is_numbered());
    EXPECT_EQ(cache->get_parent(), p.book);
}

TEST(part_factory, what_a_new_part_carries) {
    package p;
    ASSERT_NE(dynamic_cast<vex::workbook_part_t*>(p.book), nullptr);
    EXPECT_EQ(p.book->kind(), part_kind_enum::workbook_part);
    EXPECT_EQ(p.book->content_type(), "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    EXPECT_STREQ(p.book->get_entry_name(), "xl/workbook.xml");
    EXPECT_STREQ(p.book->get_source_id(), "");
    EXPECT_TRUE(p.book->is_complete());
    EXPECT_STREQ(p.book->get_namespace(), "http://schemas.openxmlformats.org/spreadsheetml/2006/main");

    xml_part_t* sheet = p.add(p.book, "worksheet", "rId2");
    xml_part_t* table = p.add(sheet, "worktable", "rId1");
    xml_part_t* drawing = p.add(table, "drawing", "rId1");
    EXPECT_STREQ(drawing->get_namespace(), "");
    EXPECT_STREQ(drawing->get_static_extension(), nullptr);
    xml_part_t* image = p.add(drawing, "image", "rId1");
    EXPECT_EQ(image->content_type(), "");  // set per part from what it holds
    EXPECT_STREQ(image->get_static_extension(), ".bin");
    EXPECT_STREQ(image->get_entry_name(), "../media/image");

    // A worksheet made at the root is not checked and not numbered.
    xml_part_t* loose = p.root.create_child(nullptr, rel("worksheet"), "rId5", false);
    EXPECT_EQ(loose->kind(), part_kind_enum::worksheet_part);
    EXPECT_FALSE(loose->is_numbered());
    EXPECT_FALSE(loose->is_complete());
    EXPECT_EQ(p.root.size(), 2u);
}

TEST(part_factory, kept_parts) {
    package p;
    xml_part_t* sheet = p.add(p.book, "worksheet", "rId1");
    xml_part_t* vml = p.add(sheet, "vmlDrawing", "rId2");
    xml_part_t* chartsheet = p.add(p.book, "chartsheet", "rId2");
    const std::string rich = "http://schemas.microsoft.com/office/2017/06/relationships/richValueRel";
    const struct {
        xml_part_t* parent;
        std::string type;
    } cases[] = {
        {p.book, rich},
        {vml, rel("image")},
        {chartsheet, rel("drawing")},
    };
    for (const auto& c : cases) {
        xml_part_t* kept = c.parent->children().create_or_keep_child(c.parent, c.type, "rId8", true);
        ASSERT_NE(dynamic_cast<vex::kept_part_t*>(kept), nullptr) << c.type;
        EXPECT_EQ(kept->kind(), vex::part_kind_kept);
        EXPECT_EQ(kept->get_relationship_type(), c.type);
        EXPECT_STREQ(kept->get_source_id(), "rId8");
        EXPECT_EQ(kept->get_parent(), c.parent);
        EXPECT_EQ(c.parent->get_child_parts().back().get(), kept);
        // Its subtree: known kinds as themselves, each its own part; unknown ones kept.
        xml_part_t* a = kept->children().create_or_keep_child(kept, rel("image"), "rId1", true);
        xml_part_t* b = kept->children().create_or_keep_child(kept, rel("image"), "rId2", true);
        xml_part_t* c2 = kept->children().create_or_keep_child(kept, "urn:x", "rId3", true);
        EXPECT_EQ(a->kind(), part_kind_enum::image_part);
        EXPECT_NE(a, b);
        EXPECT_EQ(c2->kind(), vex::part_kind_kept);
    }
    // What the tables allow is made as usual, through the parent's own routing.
    xml_part_t* styles = p.book->children().create_or_keep_child(p.book, rel("styles"), "rId9", true);
    EXPECT_EQ(styles->kind(), part_kind_enum::workbook_styles_part);
    EXPECT_EQ(p.book->get_child_parts().front().get(), styles);
}
