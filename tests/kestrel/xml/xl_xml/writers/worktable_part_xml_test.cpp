#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;
using writer_test::xml_elements;

// The worktable part written alone: a whole sheet entry of its cell-level
// elements, strings numbered in the workbook's shared strings.
TEST(worktable_part_xml, own_entry_holds_cells_merges_and_links) {
    vex::xml_document_t doc;
    doc.create_package();
    vex::worksheet_t* sheet = writer_test::add_sheet(*doc.workbook(), "S");
    ASSERT_TRUE(sheet);
    vex::worktable_t& t = *sheet->worktable();
    ASSERT_TRUE(t.set_text(1, 2, "b"));
    ASSERT_TRUE(t.set_text(2, 1, "a"));
    ASSERT_TRUE(t.set_text(3, 1, "b"));
    ASSERT_TRUE(t.set_num(2, 2, 2));
    vex::range_t merged;
    merged.first.row = 4, merged.first.col = 1, merged.last.row = 5, merged.last.col = 2;
    ASSERT_TRUE(t.merged_cells().merge(merged, false));
    vex::range_t link;
    link.first.row = 1, link.first.col = 1, link.last = link.first;
    ASSERT_TRUE(t.add_hyperlink(link, "https://example.com/", true));
    doc.workbook()->shared_strings()->reset_save_indices();
    vex::xml_part_t* part = sheet->worktable_part();
    ASSERT_TRUE(part);
    EXPECT_EQ(xml_elements(writer_test::write_part_text(*part)), xml_elements(std::string(saved_decl) + R"(
        <worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
        <sheetData>
          <row r="1"><c r="B1" t="s"><v>0</v></c></row>
          <row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2"><v>2</v></c></row>
          <row r="3"><c r="A3" t="s"><v>0</v></c></row>
        </sheetData>
        <mergeCells count="1"><mergeCell ref="A4:B5"/></mergeCells>
        <hyperlinks><hyperlink ref="A1" r:id="rId1"/></hyperlinks>
        </worksheet>)"));
    EXPECT_EQ(doc.workbook()->shared_strings()->save_reference_count(), 3u);
}
