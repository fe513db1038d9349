#include "kestrel/parts/part_kind.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using vex::part_kind_enum;

namespace {

constexpr const char* od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

part_kind_enum kind(uint32_t k) { return part_kind_enum(k); }

} // namespace

TEST(part_kind, names_and_types_of_every_kind) {
    const struct {
        uint32_t kind;
        const char* name;
        std::string type;
    } cases[] = {
        {1, "WorkbookPart", std::string(od) + "officeDocument"},
        {15, "ThumbnailPart", "http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail"},
        {24, "ChartStylePart", "http://schemas.microsoft.com/office/2011/relationships/chartStyle"},
        {45, "WorktablePart", std::string(od) + "worktable"},
        {48, "PivotTableCacheDefinitionPart", std::string(od) + "pivotCacheDefinition"},
        {69, "CoreFilePropertiesPart",
         "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties"},
        {77, "WebExTaskpanesPart", "http://schemas.microsoft.com/office/2011/relationships/webextensiontaskpanes"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vex::part_kind_name(kind(c.kind)), c.name);
        EXPECT_EQ(vex::part_kind_of_relationship_type(c.type), kind(c.kind)) << c.type;
    }
    // Each kind's own type leads back to it, and no two kinds share a name or a type.
    std::set<std::string> names, types;
    for (uint32_t k = 1; k <= vex::part_kind_count; ++k) {
        const vex::part_kind_info* info = vex::part_kind_info_of(kind(k));
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(vex::part_kind_of_relationship_type(info->relationship_type), kind(k)) << k;
        names.insert(info->name);
        types.insert(info->relationship_type);
    }
    EXPECT_EQ(names.size(), vex::part_kind_count);
    EXPECT_EQ(types.size(), vex::part_kind_count);
}

TEST(part_kind, outside_the_kinds) {
    for (uint32_t k : {0u, 78u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        EXPECT_EQ(vex::part_kind_name(kind(k)).data(), nullptr) << k;
        EXPECT_TRUE(vex::part_kind_name(kind(k)).empty());
        EXPECT_EQ(vex::part_kind_info_of(kind(k)), nullptr);
    }
    // Lookups are whole and exact.
    for (const std::string& t : {std::string(od) + "Worksheet", std::string(od) + "worksheet ",
                                std::string(od) + "worksheets", std::string(od), std::string("worksheet"),
                                std::string(), std::string(od) + std::string("worksheet\0x", 11)}) {
        EXPECT_EQ(vex::part_kind_of_relationship_type(t), part_kind_enum::none) << t;
    }
}

TEST(part_kind, placements) {
    using k = part_kind_enum;
    const struct {
        k child, parent;
        bool allowed, several;
    } cases[] = {
        {k::workbook_part, k::none, true, false},
        {k::core_file_properties_part, k::workbook_part, true, false},
        {k::core_file_properties_part, k::none, false, false},
        {k::worksheet_part, k::workbook_part, true, true},
        {k::workbook_styles_part, k::workbook_part, true, false},
        {k::pivot_table_cache_definition_part, k::workbook_part, true, true},
        {k::pivot_table_cache_definition_part, k::pivot_table_part, true, true},
        {k::image_part, k::workbook_part, false, false},
        {k::image_part, k::worksheet_part, false, false},
        {k::image_part, k::worktable_part, true, true},
        {k::image_part, k::vml_drawing_part, false, false},
        {k::single_cell_table_part, k::worktable_part, true, false},
        {k::xml_signature_part, k::digital_signature_origin_part, true, true},
    };
    for (const auto& c : cases) {
        const vex::part_placement p = vex::part_kind_placement(c.child, c.parent);
        EXPECT_EQ(p.allowed, c.allowed) << vex::part_kind_name(c.child) << " under " << uint32_t(c.parent);
        EXPECT_EQ(p.several, c.several) << vex::part_kind_name(c.child) << " under " << uint32_t(c.parent);
    }
    // The library's own worktable sits under a worksheet and nowhere else.
    unsigned rows = 0;
    for (uint32_t child = 1; child <= vex::part_kind_count; ++child)
        for (uint32_t parent = 0; parent <= vex::part_kind_count; ++parent) {
            if (!vex::part_kind_placement(kind(child), kind(parent)).allowed) continue;
            ++rows;
            if (child == 45) {
                EXPECT_EQ(parent, 44u);
            }
        }
    EXPECT_EQ(rows, 94u);
}
