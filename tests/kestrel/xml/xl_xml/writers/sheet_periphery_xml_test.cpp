// A loaded sheet saves with what it held beyond the main writers' elements:
// validations, ignored errors and watches from the model, every other
// section as read, all in the sheet schema's order, and the flags of rows,
// columns and views that were read.

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

const std::string root_start = std::string("<worksheet xmlns=\"") + reader_test::main_ns + "\" xmlns:r=\"" +
                               reader_test::rel_ns + "\"";

// Loads a package, saves it under `name` in dir and gives the saved entries.
entries_t load_and_save(const entries_t& in, const scratch_dir& dir, const std::string& name) {
    write_zip(dir / ("in-" + name), in);
    vex::xml_document_t doc;
    doc.load((dir / ("in-" + name)).c_str(), false);
    doc.save((dir / name).c_str(), 2);
    return read_zip(dir / name);
}

std::string after(const std::string& text, const std::string& mark) {
    const size_t at = text.find(mark);
    return at == std::string::npos ? "" : text.substr(at + mark.size());
}

} // namespace

TEST(sheet_periphery_writer, sections_come_back_in_schema_order) {
    const std::string cells = "<sheetData><row r=\"1\"><c r=\"A1\" cm=\"1\"><f>SUM(B1:B2)</f>"
                              "<v>0</v></c><c r=\"B1\" t=\"e\" vm=\"2\"><v>#VALUE!</v></c></row></sheetData>";
    // Out of order on purpose: the writer puts each where the schema does.
    const std::string body =
        "<sheetPr codeName=\"Main\"><tabColor rgb=\"FFFF0000\"/><outlinePr applyStyles=\"1\" summaryBelow=\"0\"/>"
        "<pageSetUpPr fitToPage=\"1\"/></sheetPr><dimension ref=\"A1:B1\"/>" +
        cells +
        "<extLst><ext uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:id>a &amp; b</x14:id>"
        "</ext></extLst>"
        "<ignoredErrors><ignoredError sqref=\"A1 B2\" numberStoredAsText=\"1\"/></ignoredErrors>"
        "<conditionalFormatting sqref=\"A1:A4\" xr:uid=\"{1}\"><cfRule type=\"cellIs\" dxfId=\"0\" priority=\"1\" "
        "operator=\"greaterThan\"><formula>A1&gt;5</formula></cfRule></conditionalFormatting>"
        "<sheetCalcPr fullCalcOnLoad=\"1\"/>"
        "<dataValidations count=\"1\"><dataValidation type=\"whole\" allowBlank=\"1\" sqref=\"A1:A10 C1:C10\">"
        "<formula1>1</formula1><formula2>9</formula2></dataValidation></dataValidations>"
        "<cellWatches><cellWatch r=\"B3\"/></cellWatches>"
        "<scenarios current=\"0\"><scenario name=\"S\" count=\"1\"><inputCells r=\"A1\" val=\"5\"/></scenario>"
        "</scenarios>"
        "<pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>";
    entries_t in = reader_test::sheet_package(body);
    for (auto& [name, text] : in)
        if (name == "xl/worksheets/sheet1.xml")
            text.replace(text.find(root_start), root_start.size(),
                         root_start + " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
                                      "mc:Ignorable=\"xr\" xmlns:xr=\"http://schemas.microsoft.com/office/"
                                      "spreadsheetml/2014/revision\"");
    scratch_dir dir;
    const entries_t saved = load_and_save(in, dir, "a.xlsx");
    const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find(root_start +
                         " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"xr\" "
                         "xmlns:xr=\"http://schemas.microsoft.com/office/spreadsheetml/2014/revision\"><sheetPr "
                         "codeName=\"Main\"><tabColor rgb=\"FFFF0000\"/><outlinePr applyStyles=\"1\" "
                         "summaryBelow=\"0\"/><pageSetUpPr fitToPage=\"1\"/></sheetPr><dimension ref=\"A1:B1\"/>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<c r=\"A1\" cm=\"1\"><f>SUM(B1:B2)</f><v>0</v></c>"
                         "<c r=\"B1\" t=\"e\" vm=\"2\"><v>#VALUE!</v></c>"),
              std::string::npos)
        << sheet;
    EXPECT_EQ(after(sheet, "</sheetData>"),
              "<sheetCalcPr fullCalcOnLoad=\"1\"></sheetCalcPr>"
              "<scenarios current=\"0\"><scenario name=\"S\" count=\"1\"><inputCells r=\"A1\" val=\"5\">"
              "</inputCells></scenario></scenarios>"
              "<conditionalFormatting sqref=\"A1:A4\" xr:uid=\"{1}\"><cfRule type=\"cellIs\" dxfId=\"0\" "
              "priority=\"1\" operator=\"greaterThan\"><formula>A1&gt;5</formula></cfRule></conditionalFormatting>"
              "<dataValidations count=\"1\"><dataValidation type=\"whole\" allowBlank=\"1\" sqref=\"A1:A10 C1:C10\">"
              "<formula1>1</formula1><formula2>9</formula2></dataValidation></dataValidations>"
              "<pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>"
              "<cellWatches><cellWatch r=\"B3\"/></cellWatches>"
              "<ignoredErrors><ignoredError sqref=\"A1 B2\" numberStoredAsText=\"1\"/></ignoredErrors>"
              "<extLst><ext uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\" "
              "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\"><x14:id>a &amp; b</x14:id>"
              "</ext></extLst></worksheet>");
    writer_test::expect_valid_package(dir / "a.xlsx");
    // A second round gives the same sheet.
    EXPECT_EQ(find(load_and_save(saved, dir, "b.xlsx"), "xl/worksheets/sheet1.xml"), sheet);
}

TEST(sheet_periphery_writer, row_column_and_view_flags_come_back) {
    const std::string body =
        "<cols><col min=\"1\" max=\"1\" width=\"9\" customWidth=\"1\" bestFit=\"1\" phonetic=\"1\"/>"
        "<col min=\"2\" max=\"2\" width=\"9\" customWidth=\"1\" collapsed=\"1\"/></cols>"
        "<sheetData><row r=\"1\" thickTop=\"1\" thickBot=\"true\" ph=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
    entries_t in = reader_test::sheet_package(body);
    for (auto& [name, text] : in) {
        if (name == "xl/workbook.xml")
            text.replace(text.find("<sheets>"), 8,
                         "<bookViews><workbookView visibility=\"hidden\" showHorizontalScroll=\"0\" "
                         "showSheetTabs=\"false\" tabRatio=\"300\" autoFilterDateGrouping=\"0\"/></bookViews><sheets>");
        if (name == "xl/worksheets/sheet1.xml") text.replace(text.find("<cols>"), 6, "<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews><cols>");
    }
    scratch_dir dir;
    const entries_t saved = load_and_save(in, dir, "a.xlsx");
    const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
    // An absent showRuler is the format's default, on; the active sheet's tab is selected.
    EXPECT_NE(sheet.find("<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<col min=\"1\" max=\"1\" width=\"9\" customWidth=\"1\" bestFit=\"1\" phonetic=\"1\"/>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<col min=\"2\" max=\"2\" width=\"9\" customWidth=\"1\" collapsed=\"1\"/>"), std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<row r=\"1\" thickTop=\"1\" thickBot=\"1\" ph=\"1\">"), std::string::npos) << sheet;
    EXPECT_NE(find(saved, "xl/workbook.xml")
                  .find("<workbookView visibility=\"hidden\" showHorizontalScroll=\"0\" showSheetTabs=\"0\" "
                        "tabRatio=\"300\" autoFilterDateGrouping=\"0\"/>"),
              std::string::npos)
        << find(saved, "xl/workbook.xml");
}

// openpyxl still finds the conditional formats and validations of files an
// application wrote, once loaded and saved.
TEST(sheet_periphery_writer, openpyxl_reads_saved_formats_and_validations) {
    const std::string corpus = PLOVER_EXCEL;
    scratch_dir dir;
    for (const std::string name : {"cond_format01.xlsx", "data_validation01.xlsx"}) {
        vex::xml_document_t doc;
        doc.load((corpus + name).c_str(), false);
        doc.save((dir / name).c_str(), 2);
        const std::string script = R"(import sys, warnings
warnings.simplefilter("ignore")
import openpyxl
def count(path):
    ws = openpyxl.load_workbook(path).active
    rules = [(str(f.sqref), r.type, r.operator, r.formula) for f in ws.conditional_formatting for r in f.rules]
    checks = [(str(v.sqref), v.type, v.formula1, v.formula2) for v in ws.data_validations.dataValidation]
    return rules, checks
a, b = count(sys.argv[1]), count(")" + corpus + name + R"(")
assert a == b and a[0] + a[1], (a, b)
)";
        EXPECT_EQ(writer_test::run_python(script, dir / name), 0) << name;
    }
}

// Metadata indexes move with their cells and go when a value replaces what
// they describe; the phonetic flag stays through a value, as a style does.
TEST(sheet_periphery_writer, cell_metadata_follows_edits) {
    const std::string body = "<sheetData><row r=\"1\"><c r=\"A1\" cm=\"1\"><f>SUM(B1:B2)</f><v>0</v></c>"
                             "<c r=\"B1\" t=\"e\" vm=\"1\"><v>#VALUE!</v></c><c r=\"C1\" t=\"e\" vm=\"2\"><v>#VALUE!</v>"
                             "</c><c r=\"D1\" ph=\"1\"><v>5</v></c><c r=\"E1\" ph=\"0\"><v>7</v></c>"
                             "<c r=\"F1\" t=\"e\" vm=\"2147483647\"><v>#VALUE!</v></c>"
                             "<c r=\"G1\" t=\"e\" vm=\"2147483649\"><v>#VALUE!</v></c></row></sheetData>";
    scratch_dir dir;
    write_zip(dir / "in.xlsx", reader_test::sheet_package(body));
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    vex::worktable_t* table = doc.workbook()->first_worktable();
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(table->shift_range_down(1, 16384, 1, 2));
    table->set_num(3, 3, 4.0);
    table->set_num(3, 4, 6.0);
    doc.save((dir / "out.xlsx").c_str(), 2);
    const std::string sheet = find(read_zip(dir / "out.xlsx"), "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"A3\" cm=\"1\"><f>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"B3\" t=\"e\" vm=\"1\">"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"C3\"><v>4</v></c>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"D3\" ph=\"1\"><v>6</v></c>"), std::string::npos) << sheet;
    // The largest index is kept; one past it, which no part holds, is none.
    EXPECT_NE(sheet.find("<c r=\"E3\"><v>7</v></c>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"F3\" t=\"e\" vm=\"2147483647\">"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"G3\" t=\"e\"><v>#VALUE!</v></c>"), std::string::npos) << sheet;
}
