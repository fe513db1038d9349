#include "kestrel/parts/worksheet_part.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worktable_part.h"
#include "part_factory_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace factory_test;
using vex::xml_part_t;

namespace {

// A sheet whose worktable part is the one its model made, in a package being
// loaded or saved.
struct sheet_tree {
    package p;
    vex::worksheet_part_t* sheet = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"));
    vex::worktable_part_t* table = static_cast<vex::worktable_part_t*>(p.add(sheet, "worktable", "rId1"));

    sheet_tree() {
        sheet->get_worksheet()->record_worktable("rId1", table->get_worktable());
        static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component()->set_document_format(2);
    }
};

std::string id_of(const xml_part_t& p) {
    return std::string(vex::part_kind_name(p.kind())) + "=" +
           (p.get_relationship_id() ? p.get_relationship_id() : "-") + " ";
}

// Children, and indented their own children.
std::string ids_of(const xml_part_t* p) {
    std::string s;
    for (const auto& c : p->get_child_parts()) {
        s += id_of(*c);
        for (const auto& g : c->get_child_parts()) s += "  " + id_of(*g);
    }
    return s;
}

} // namespace

TEST(worksheet_part, anchored_parts_go_under_the_worktable_and_number_from_the_sheet) {
    sheet_tree t;
    xml_part_t* drawing = t.p.add(t.sheet, "drawing", "rId4");
    xml_part_t* comments = t.p.add(t.sheet, "comments", "rId2");
    xml_part_t* vml = t.p.add(t.sheet, "vmlDrawing", "rId3");
    xml_part_t* printer = t.p.add(t.sheet, "printerSettings", "rId5");
    for (xml_part_t* c : {drawing, comments, vml, printer}) EXPECT_EQ(c->get_parent(), t.table);
    EXPECT_EQ(t.sheet->get_child_parts().size(), 1u);
    EXPECT_EQ(t.sheet->get_worktable_part(), t.table);

    EXPECT_EQ(t.sheet->reset_relationship_ids(), 4u);
    EXPECT_EQ(ids_of(t.sheet),
              "WorktablePart=-   DrawingsPart=rId1   WorksheetCommentsPart=rId2   VmlDrawingPart=rId3 "
              "  SpreadsheetPrinterSettingsPart=rId4 ");

    EXPECT_EQ(t.sheet->child_count(1), 1u);
    EXPECT_EQ(t.sheet->child_count(2), 4u);
    t.table->get_worktable()->set_hyperlink_count(3);
    EXPECT_EQ(t.sheet->child_count(2), 7u);
    EXPECT_EQ(t.sheet->get_part_number(t.table), 0u);
}

TEST(worksheet_part, outside_a_load_or_save_the_base_rules) {
    sheet_tree t;
    static_cast<vex::workbook_part_t*>(t.p.book)->get_workbook_component()->set_document_format(0);
    xml_part_t* printer = t.p.add(t.sheet, "printerSettings", "rId5");
    EXPECT_EQ(printer->get_parent(), t.sheet);
    EXPECT_EQ(t.sheet->get_worksheet()->printer_settings(), printer);
    xml_part_t* drawing = t.table->create_part(rel("drawing").c_str(), "rId1");
    EXPECT_EQ(t.sheet->reset_relationship_ids(), 2u);
    EXPECT_EQ(ids_of(t.sheet), "WorktablePart=rId1   DrawingsPart=- SpreadsheetPrinterSettingsPart=rId2 ");
    EXPECT_EQ(drawing->get_parent(), t.table);
    // An empty worktable part leaves nothing to list.
    sheet_tree bare;
    EXPECT_EQ(bare.sheet->child_count(2), 0u);
}

TEST(worksheet_part, worktable_numbers) {
    sheet_tree t;
    xml_part_t* other = t.p.add(t.sheet, "worktable", "rId2");  // not one the sheet made
    EXPECT_EQ(t.sheet->get_part_number(t.table), 0u);
    EXPECT_EQ(t.sheet->get_part_number(other), std::nullopt);
    EXPECT_EQ(t.sheet->get_workbook(), static_cast<vex::workbook_part_t*>(t.p.book)->get_workbook_component());
}

TEST(worksheet_part, partial_sheet_makes_nothing_unreferenced) {
    vex::part_container root;
    xml_part_t* sheet = root.create_child(nullptr, rel("worksheet"), nullptr, false);
    EXPECT_EQ(sheet->create_part(rel("worktable").c_str(), "rId1"), nullptr);
    EXPECT_EQ(sheet->create_part(rel("drawing").c_str(), "rId2"), nullptr);
    EXPECT_TRUE(sheet->get_child_parts().empty());
}

TEST(worksheet_part, printer_settings_loaded_under_the_worktable_are_the_sheets) {
    sheet_tree t;
    xml_part_t* printer = t.p.add(t.sheet, "printerSettings", "rId5");
    EXPECT_EQ(printer->get_parent(), t.table);
    EXPECT_EQ(t.sheet->get_worksheet()->printer_settings(), printer);
}
