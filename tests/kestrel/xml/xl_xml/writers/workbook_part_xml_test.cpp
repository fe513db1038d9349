#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;
using writer_test::xml_elements;

namespace {

using k = vex::part_kind_enum;

// Everything but the workbook part through stand-ins.
struct saved_book {
    scratch_dir dir;
    vex::xml_document_t doc;
    stand_in_writers others{doc, {k::workbook_styles_part, k::shared_string_table_part, k::worksheet_part,
                                  k::vml_drawing_part}};
    vex::workbook_t* book = nullptr;

    saved_book() {
        doc.create_package();
        book = doc.workbook();
    }
    entries_t save() {
        doc.save((dir / "book.xlsx").c_str(), 2);
        writer_test::expect_valid_package(dir / "book.xlsx");
        return read_zip(dir / "book.xlsx");
    }
};

const std::string head = std::string(saved_decl) +
                         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";

} // namespace

TEST(workbook_part_xml, one_sheet_writes_no_active_tab) {
    saved_book s;
    ASSERT_TRUE(writer_test::add_sheet(*s.book, "Data & more"));
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/workbook.xml")), xml_elements(head + R"(
        <workbookPr/>
        <bookViews><workbookView/></bookViews>
        <sheets><sheet name="Data &amp; more" sheetId="1" r:id="rId1"/></sheets>
        </workbook>)"));
    EXPECT_EQ(find(saved, "xl/_rels/workbook.xml.rels"),
              rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                   rel("rId2", std::string(od) + "styles", "styles.xml")));
}

TEST(workbook_part_xml, very_hidden_sheet_names_and_settings) {
    saved_book s;
    for (const char* name : {"A", "B", "C"}) ASSERT_TRUE(writer_test::add_sheet(*s.book, name));
    s.book->set_sheet_state(1, 2);
    s.book->set_sheet_state(0, 1);
    ASSERT_TRUE(s.book->set_active_sheet(2));
    s.book->views()[0].window_width = 28800;
    s.book->views()[0].window_height = 12300;
    s.book->set_date1904(true);
    s.book->set_calc_mode(2);
    s.book->set_a1_ref_mode(false);
    vex::worktable_t* first = s.book->first_worktable();
    ASSERT_TRUE(first);
    ASSERT_TRUE(s.book->sheet_at(2)->worktable());
    const uint32_t third = s.book->sheet_at(2)->worktable()->sheet_id();
    vex::defined_name_props_t hidden;
    hidden.hidden = true;
    ASSERT_TRUE(first->add_defined_name("Total", "SUM(A!$A$1:$A$3)<10", {}, vex::mta::workbook_scope));
    ASSERT_TRUE(first->add_defined_name("_xlnm.Print_Area", "C!$A$1:$B$2", hidden, third));
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/workbook.xml")), xml_elements(head + R"(
        <workbookPr date1904="1"/>
        <bookViews><workbookView windowWidth="28800" windowHeight="12300" activeTab="2"/></bookViews>
        <sheets>
          <sheet name="A" sheetId="1" state="hidden" r:id="rId1"/>
          <sheet name="B" sheetId="2" state="veryHidden" r:id="rId2"/>
          <sheet name="C" sheetId="3" r:id="rId3"/>
        </sheets>
        <definedNames>
          <definedName name="Total">SUM(A!$A$1:$A$3)&lt;10</definedName>
          <definedName name="_xlnm.Print_Area" localSheetId="2" hidden="1">C!$A$1:$B$2</definedName>
        </definedNames>
        <calcPr calcMode="manual" refMode="R1C1"/>
        </workbook>)"));
}

TEST(workbook_part_xml, state_past_the_list_and_automatic_calculation) {
    saved_book s;
    ASSERT_TRUE(writer_test::add_sheet(*s.book, "A"));
    s.book->sheets()[0].state = 7;
    s.book->set_calc_mode(1);
    const entries_t saved = s.save();
    EXPECT_EQ(xml_elements(find(saved, "xl/workbook.xml")), xml_elements(head + R"(
        <workbookPr/>
        <bookViews><workbookView/></bookViews>
        <sheets><sheet name="A" sheetId="1" state="" r:id="rId1"/></sheets>
        <calcPr calcMode="autoNoTable"/>
        </workbook>)"));
}

TEST(workbook_part_xml, restarts_the_string_numbering) {
    saved_book s;
    ASSERT_TRUE(writer_test::add_sheet(*s.book, "A"));
    vex::shared_string_table_t* strings = s.book->shared_strings();
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->save_index_of(7), 0u);
    EXPECT_EQ(strings->save_index_of(3), 1u);
    EXPECT_EQ(strings->save_index_of(7), 0u);
    EXPECT_EQ(strings->save_reference_count(), 3u);
    s.save();
    EXPECT_TRUE(strings->save_order().empty());
    EXPECT_EQ(strings->save_reference_count(), 0u);
    EXPECT_EQ(strings->save_index_of(3), 0u);
}
