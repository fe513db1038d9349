// Formulas of a loaded workbook are parsed once every sheet is known, so a
// reference to a later sheet names that sheet's grid; a text that does not
// parse is kept with its loaded result.

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/sample_styles.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/mta/table/formula_model/book_fixture.h"

#include <gtest/gtest.h>

#include <string>

using formula_model_test::cell_range;
using formula_model_test::dependents;
using formula_model_test::text_at;
using formula_model_test::tracked;
using sample::last_message;

namespace {

constexpr const char* main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* rel_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string sheet_xml(const std::string& cells) {
    return std::string(package_test::decl) + "<worksheet xmlns=\"" + main_ns + "\" xmlns:r=\"" + rel_ns +
           "\"><sheetData>" + cells + "</sheetData></worksheet>";
}

std::string formula_cell(const char* ref, const char* text, const char* value) {
    return std::string("<c r=\"") + ref + "\"><f>" + text + "</f><v>" + value + "</v></c>";
}

package_test::entries_t two_sheets() {
    using namespace package_test;
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    const std::string overrides =
        override_of("xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
        override_of("xl/worksheets/sheet1.xml", sheet_type) + override_of("xl/worksheets/sheet2.xml", sheet_type);
    const std::string first = "<row r=\"1\">" + formula_cell("A1", "Sheet2!A7", "3") +
                              formula_cell("B1", "Sheet9!A1", "4") + formula_cell("C1", "1+", "5") +
                              formula_cell("D1", "A1&amp;B1", "6") + formula_cell("E1", "Total*2", "7") + "</row>";
    return {
        {"[Content_Types].xml", types(overrides)},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + rel_ns +
                                "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"
                                "<sheet name=\"Sheet2\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                                            rel("rId2", std::string(od) + "worksheet", "worksheets/sheet2.xml"))},
        {"xl/worksheets/sheet1.xml", sheet_xml(first)},
        {"xl/worksheets/sheet2.xml", sheet_xml("<row r=\"7\"><c r=\"A7\"><v>3</v></c></row>")},
    };
}

} // namespace

TEST(loaded_formulas, later_sheets_resolve_and_failed_texts_keep_their_results) {
    package_test::scratch_dir dir;
    package_test::write_zip(dir / "book.xlsx", two_sheets());
    vex::xml_document_t doc;
    vex::set_run_message("before");
    doc.load((dir / "book.xlsx").c_str(), false);
    EXPECT_EQ(last_message(), "before");
    const auto tables = doc.workbook()->worktables();
    ASSERT_EQ(tables.size(), 2u);
    vex::mta::Table& s1 = *tables[0];
    vex::mta::Table& s2 = *tables[1];

    EXPECT_TRUE(tracked(s1, 1, 1) && tracked(s1, 1, 2));
    EXPECT_EQ(dependents(s2, 7, 1), std::vector{cell_range(s1, 1, 1)});
    for (int col : {3, 4, 5}) {
        const auto* cell = s1.get_formula_cell(1, col);
        ASSERT_NE(cell, nullptr);
        EXPECT_FALSE(cell->parsed) << col;
        EXPECT_EQ(std::get<double>(*cell->result()), col + 2.0);
    }
    EXPECT_EQ(text_at(s1, 1, 4), "A1&B1");

    // Rows inserted in the first sheet move neither reference; rows inserted in
    // Sheet2 above row 7 move the first.
    ASSERT_TRUE(s1.shift_range_down(1, 16384, 1, 2));
    EXPECT_EQ(text_at(s1, 3, 1) + " " + text_at(s1, 3, 2), "Sheet2!A7 Sheet9!A1");
    ASSERT_TRUE(s2.shift_range_down(1, 16384, 3, 1));
    EXPECT_EQ(text_at(s1, 3, 1) + " " + text_at(s1, 3, 2), "Sheet2!A8 Sheet9!A1");
    EXPECT_EQ(dependents(s2, 8, 1), std::vector{cell_range(s1, 3, 1)});
}
