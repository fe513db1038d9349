// A sheet's data validations and conditional formats, with their copies in
// its extension list, read from a package, edited through the exports and
// saved: each range follows its cells, and each formula reads as one at the
// record's first cell would.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"
#include "unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace package_test;

namespace {

const std::string x14 = R"( xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main")";
const std::string xm = R"( xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main")";

// A rule, a data bar with its extension copy, two validations and one kept
// as an extension, over rows first to last; the extension's list reads
// another sheet. A third validation spreads over `spread`, its first cell A2
// before any edit. Written with end tags, as the save writes every element.
std::string sections(int first, int last, const std::string& spread = "A2:A3 A7") {
    const std::string bar_id = "{00000000-0000-0000-0000-000000000001}";
    const auto over = [&](const char* col) {
        return col + std::to_string(first) + ":" + col + std::to_string(last);
    };
    return R"(<conditionalFormatting sqref=")" + over("C") + R"("><cfRule type="expression" dxfId="0" priority="2">)"
           R"(<formula>$C2&gt;$E$1</formula></cfRule></conditionalFormatting><conditionalFormatting sqref=")" + over("D") +
           R"("><cfRule type="dataBar" priority="1"><dataBar><cfvo type="min"></cfvo><cfvo type="formula" val="$E$1"></cfvo>)"
           R"(<color rgb="FF638EC6"></color></dataBar><extLst><ext uri="{B025F937-C7B1-47D3-B67F-A62EFF666E3E}")" + x14 +
           "><x14:id>" + bar_id + "</x14:id></ext></extLst></cfRule></conditionalFormatting>" +
           R"(<dataValidations count="3"><dataValidation type="whole" operator="greaterThan" sqref=")" + over("B") +
           R"("><formula1>0</formula1></dataValidation><dataValidation type="custom" sqref=")" + over("C") +
           R"("><formula1>$E$1*3</formula1></dataValidation><dataValidation type="custom" sqref=")" + spread +
           R"("><formula1>A2&gt;0</formula1></dataValidation></dataValidations>)" +
           R"(<extLst><ext uri="{78C0D931-6437-407d-A8EE-F0AAD7539E65}")" + x14 +
           "><x14:conditionalFormattings><x14:conditionalFormatting" + xm + R"(><x14:cfRule type="dataBar" id=")" +
           bar_id + R"("><x14:dataBar minLength="0" maxLength="100"><x14:cfvo type="autoMin"></x14:cfvo>)"
           R"(<x14:cfvo type="formula"><xm:f>$E$1</xm:f></x14:cfvo></x14:dataBar></x14:cfRule><xm:sqref>)" + over("D") +
           "</xm:sqref></x14:conditionalFormatting></x14:conditionalFormattings></ext>" +
           R"(<ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}")" + x14 + R"(><x14:dataValidations count="1")" + xm +
           R"(><x14:dataValidation type="list" allowBlank="1"><x14:formula1><xm:f>Lists!$A$1:$A$3</xm:f>)"
           "</x14:formula1><xm:sqref>" + over("F") + "</xm:sqref></x14:dataValidation></x14:dataValidations>"
           "</ext></extLst>";
}

// The saved sheet after the edit, from its first kept section on; a sheet
// "Lists" follows the loaded one.
std::string saved(const std::function<int(plover_workbook_t*)>& edit, const std::string& kept = sections(2, 5)) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", reader_test::sheet_package("<sheetData/>" + kept));
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    EXPECT_NE(doc, nullptr) << run_msg();
    if (!doc) return {};
    plover_workbook_t* wb = doc_get_workbook(doc);
    EXPECT_NE(wb_add_worksheet(wb, "Lists"), nullptr) << run_msg();
    EXPECT_EQ(edit(wb), 1) << run_msg();
    EXPECT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string sheet = find(read_zip(dir / "out.xlsx"), "xl/worksheets/sheet1.xml");
    const size_t from =
        std::min({sheet.find("<conditionalFormatting"), sheet.find("<dataValidations"), sheet.find("<extLst")});
    return from == std::string::npos ? "" : sheet.substr(from, sheet.find("</worksheet>") - from);
}

// Every range list and formula, in document order.
std::string refs(const std::string& xml) {
    static const std::regex item(R"re((?:sqref|val)="([^"]*)"|<(?:formula1?|xm:f|xm:sqref)>([^<]*)<)re");
    std::string out;
    for (std::sregex_iterator i(xml.begin(), xml.end(), item), end; i != end; ++i)
        out += (*i)[1].str() + (*i)[2].str() + " ";
    return out;
}

} // namespace

TEST(kept_ranges_follow_edits, the_first_row_of_a_rules_range_deleted) {
    const std::string sheet = saved([](plover_workbook_t* wb) { return ws_delete_row(wb_get_sheet(wb, 0), 2, 2); });
    // Rows 3-5 move up: the rule keeps reading its own row.
    EXPECT_EQ(sheet, sections(2, 4, "A2 A6"));
}

TEST(kept_ranges_follow_edits, ranges_and_formulas_follow_every_kind_of_edit) {
    const auto data = [](plover_workbook_t* wb) { return wb_get_sheet(wb, 0); };
    const struct {
        const char* name;
        std::function<int(plover_workbook_t*)> edit;
        const char* refs;
    } rows[] = {
        {"nothing edited", [](auto*) { return 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A2:A3 A7 A2&gt;0 $E$1 D2:D5 Lists!$A$1:$A$3 F2:F5 "},
        {"rows inserted above", [&](auto* wb) { return ws_insert_row(data(wb), 1, 2); },
         "C4:C7 $C4&gt;$E$3 D4:D7 $E$3 B4:B7 0 C4:C7 $E$3*3 A4:A5 A9 A4&gt;0 $E$3 D4:D7 Lists!$A$1:$A$3 F4:F7 "},
        {"columns of a rule and a bar deleted", [&](auto* wb) { return ws_delete_col(data(wb), 3, 4); },
         "B2:B5 0 A2:A3 A7 A2&gt;0 Lists!$A$1:$A$3 D2:D5 "},
        {"range shifted down under a rule", [&](auto* wb) { return ws_shift_range_down(data(wb), 3, 3, 1, 1); },
         "C3:C6 $C3&gt;$E$1 D2:D5 $E$1 B2:B5 0 C3:C6 $E$1*3 A2:A3 A7 A2&gt;0 $E$1 D2:D5 Lists!$A$1:$A$3 F2:F5 "},
        {"rows of the sheet read inserted", [](auto* wb) { return ws_insert_row(wb_get_sheet(wb, 1), 1, 1); },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A2:A3 A7 A2&gt;0 $E$1 D2:D5 Lists!$A$2:$A$4 F2:F5 "},
        {"the sheet read renamed", [](auto* wb) { return wb_rename_sheet(wb, 1, "My Lists"), 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A2:A3 A7 A2&gt;0 $E$1 D2:D5 &apos;My Lists&apos;!$A$1:$A$3 F2:F5 "},
        {"the sheet read deleted", [](auto* wb) { return wb_delete_sheet(wb, 1), 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A2:A3 A7 A2&gt;0 $E$1 D2:D5 #REF! F2:F5 "},
        // The range left is first now: the formula reads its own row still.
        {"every row of the first ranges deleted", [&](auto* wb) { return ws_delete_row(data(wb), 2, 5); },
         "A3 A3&gt;0 "},
    };
    static const std::regex empty_list(R"re(<((\w+:)?(extLst|ext|conditionalFormattings|dataValidations))\b[^>]*></\1>)re");
    for (const auto& r : rows) {
        const std::string sheet = saved(r.edit);
        EXPECT_EQ(refs(sheet), r.refs) << r.name << "\n" << sheet;
        // A list whose records all went goes with them.
        EXPECT_FALSE(std::regex_search(sheet, empty_list)) << r.name << "\n" << sheet;
    }
}

// D2 reads A2 and F7 reads C7: the cells that moved and the one that stayed
// each keep reading theirs, as records of their own; the rule's copy comes
// right after it in priority.
TEST(kept_ranges_follow_edits, areas_moved_apart_keep_their_meaning) {
    const std::string kept =
        R"(<conditionalFormatting sqref="D2:D5 F7"><cfRule type="expression" dxfId="0" priority="1">)"
        R"(<formula>$A$1+A2&gt;0</formula></cfRule></conditionalFormatting><conditionalFormatting sqref="H1">)"
        R"(<cfRule type="expression" dxfId="0" priority="2"><formula>H1</formula></cfRule></conditionalFormatting>)"
        R"(<dataValidations count="1"><dataValidation type="custom" sqref="D2:D5 F7"><formula1>$A$1+A2</formula1>)"
        R"(</dataValidation></dataValidations><extLst><ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}")" + x14 +
        R"(><x14:dataValidations count="1")" + xm + R"(><x14:dataValidation type="custom"><x14:formula1>)"
        R"(<xm:f>$A$1+A2</xm:f></x14:formula1><xm:sqref>D2:D5 F7</xm:sqref></x14:dataValidation>)"
        "</x14:dataValidations></ext></extLst>";
    const std::string sheet =
        saved([](plover_workbook_t* wb) { return ws_shift_range_right(wb_get_sheet(wb, 0), 2, 5, 4, 1); }, kept);
    EXPECT_EQ(sheet,
              R"(<conditionalFormatting sqref="E2:E5"><cfRule type="expression" dxfId="0" priority="1"><formula>)"
              R"($A$1+A2&gt;0</formula></cfRule></conditionalFormatting><conditionalFormatting sqref="F7"><cfRule )"
              R"(type="expression" dxfId="0" priority="2"><formula>$A$1+C7&gt;0</formula></cfRule>)"
              R"(</conditionalFormatting><conditionalFormatting sqref="H1"><cfRule type="expression" dxfId="0" )"
              R"(priority="3"><formula>H1</formula></cfRule></conditionalFormatting><dataValidations count="2">)"
              R"(<dataValidation type="custom" sqref="E2:E5"><formula1>$A$1+A2</formula1></dataValidation>)"
              R"(<dataValidation type="custom" sqref="F7"><formula1>$A$1+C7</formula1></dataValidation>)"
              R"(</dataValidations><extLst><ext uri="{CCE6A557-97BC-4b89-ADB6-D9C93CAAB3DF}")" + x14 +
                  R"(><x14:dataValidations count="2")" + xm + R"(><x14:dataValidation type="custom"><x14:formula1>)"
                  R"(<xm:f>$A$1+A2</xm:f></x14:formula1><xm:sqref>E2:E5</xm:sqref></x14:dataValidation>)"
                  R"(<x14:dataValidation type="custom"><x14:formula1><xm:f>$A$1+C7</xm:f></x14:formula1>)"
                  "<xm:sqref>F7</xm:sqref></x14:dataValidation></x14:dataValidations></ext></extLst>");
}

namespace {

// A rule, a validation and an extension's rule over one range list, each
// reading `formula` at the list's first cell.
std::string records(const std::string& sqref, const std::string& formula) {
    return R"(<conditionalFormatting sqref=")" + sqref + R"("><cfRule type="expression" dxfId="0" priority="1">)"
           "<formula>" + formula + "</formula></cfRule></conditionalFormatting><dataValidations count=\"1\">"
           R"(<dataValidation type="custom" sqref=")" + sqref + R"("><formula1>)" + formula +
           "</formula1></dataValidation></dataValidations><extLst><ext uri=\"{78C0D931-6437-407d-A8EE-F0AAD7539E65}\"" +
           x14 + "><x14:conditionalFormattings><x14:conditionalFormatting" + xm +
           R"(><x14:cfRule type="expression" priority="2" id="{00000000-0000-0000-0000-000000000002}"><xm:f>)" +
           formula + "</xm:f><x14:dxf></x14:dxf></x14:cfRule><xm:sqref>" + sqref +
           "</xm:sqref></x14:conditionalFormatting></x14:conditionalFormattings></ext></extLst>";
}

} // namespace

// The cells of an area a shift's band cuts across keep their records: those
// the shift moves take them along, those beside the band keep them, and a
// record whose cells moved apart reads at each part's first listed cell.
TEST(kept_ranges_follow_edits, shifted_cells_keep_their_records) {
    const auto data = [](plover_workbook_t* wb) { return wb_get_sheet(wb, 0); };
    const struct {
        const char* name;
        const char* sqref;
        const char* formula;
        std::function<int(plover_workbook_t*)> edit;
        std::vector<std::pair<std::string, std::string>> parts;  // each part's ranges and formula
    } rows[] = {
        {"cells pushed down in the middle columns", "A1:D10", "A1&gt;0",
         [&](auto* wb) { return ws_shift_range_down(data(wb), 2, 3, 5, 2); }, {{"A1:D10 B11:C12", "A1&gt;0"}}},
        {"cells pushed right in the middle rows", "A1:D10", "A1&gt;0",
         [&](auto* wb) { return ws_shift_range_right(data(wb), 5, 6, 2, 1); }, {{"A1:D10 E5:E6", "A1&gt;0"}}},
        {"cells pulled up over part of an area", "A2:A31 C2:H31", "A2&gt;0",
         [&](auto* wb) { return ws_shift_range_up(data(wb), 1, 4, 20, 2); }, {{"A2:A29 C2:H29 E30:H31", "A2&gt;0"}}},
        // The cells opened keep the record; those pushed down read as they did, in a record of their own.
        {"cells pushed down from an area's first row", "A5:D10", "A4&gt;0",
         [&](auto* wb) { return ws_shift_range_down(data(wb), 2, 3, 5, 2); },
         {{"A5:D6 A7:A10 D7:D10", "A4&gt;0"}, {"B7:C12", "B4&gt;0"}}},
        {"cells pulled left out of an area", "B2:D31", "B2&gt;0",
         [&](auto* wb) { return ws_shift_range_left(data(wb), 20, 21, 5, 1); }, {{"B2:C31 D2:D19 D22:D31", "B2&gt;0"}}},
        {"cells pulled left into another's column", "E2:E31", "E2&gt;0",
         [&](auto* wb) { return ws_shift_range_left(data(wb), 20, 21, 5, 1); },
         {{"E2:E19 E22:E31", "E2&gt;0"}, {"D20:D21", "D20&gt;0"}}},
        // Read at B4, the first listed range's first cell, not at G2.
        {"a first range below a later one", "B4:E4 G2", "B3&gt;0",
         [&](auto* wb) { return ws_shift_range_down(data(wb), 2, 5, 4, 1); }, {{"B5:E5", "B3&gt;0"}, {"G2", "G1&gt;0"}}},
    };
    for (const auto& r : rows) {
        std::string rules, extension;
        for (const auto& [sqref, formula] : r.parts) {
            rules += sqref + " " + formula + " ";
            extension += formula + " " + sqref + " ";
        }
        const std::string sheet = saved(r.edit, records(r.sqref, r.formula));
        EXPECT_EQ(refs(sheet), rules + rules + extension) << r.name << "\n" << sheet;
    }
}

// openpyxl reads the records a shift split as the parts they are.
TEST(openpyxl_load, records_split_by_a_shift) {
    // Without a format the styles would lack.
    std::string kept = records("A5:D10", "A4&gt;0");
    kept.erase(kept.find(" dxfId=\"0\""), 10);
    scratch_dir dir;
    write_zip(dir / "in.xlsx", reader_test::sheet_package("<sheetData/>" + kept));
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ASSERT_EQ(ws_shift_range_down(wb_get_sheet(doc_get_workbook(doc), 0), 2, 3, 5, 2), 1) << run_msg();
    ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string script = R"(import sys, warnings
warnings.simplefilter("ignore")
import openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
parts = [("A5:D6 A7:A10 D7:D10", "A4>0"), ("B7:C12", "B4>0")]
rules = sorted((str(f.sqref), r.formula[0]) for f in ws.conditional_formatting for r in f.rules)
checks = [(str(v.sqref), v.formula1) for v in ws.data_validations.dataValidation]
assert rules == parts and checks == parts, (rules, checks)
)";
    EXPECT_EQ(writer_test::run_python_file(dir, script, {dir / "out.xlsx"}), 0);
}

TEST(kept_ranges_follow_edits, editable_ranges_ignored_errors_and_breaks_follow_their_cells) {
    // Edited after an editable range over A3:B5, a row break at row 5 and a
    // column break at column 3 are set on a sheet read with an ignored error.
    const struct {
        const char* name;
        std::function<int(plover_worksheet_t*)> edit;
        const char* refs;
    } rows[] = {
        {"rows and columns inserted before",
         [](auto* ws) { return ws_insert_row(ws, 2, 3) && ws_insert_col(ws, 1, 2); },
         "protectedRange C6:D8 row 7 col 4 ignoredError J6:J9 "},
        {"then the rows above deleted",
         [](auto* ws) { return ws_insert_row(ws, 2, 3) && ws_insert_col(ws, 1, 2) && ws_delete_row(ws, 1, 6); },
         "protectedRange C1:D2 row 1 col 4 ignoredError J1:J3 "},
        {"the columns of the range and the break deleted", [](auto* ws) { return ws_delete_col(ws, 1, 3); },
         "row 4 ignoredError E3:E6 "},
        {"cells shifted under part of the columns", [](auto* ws) { return ws_shift_range_down(ws, 1, 2, 1, 2); },
         "protectedRange A5:B7 row 4 col 2 ignoredError H3:H6 "},
        // Row 4's cells move right: each range keeps its cells where they went.
        {"cells pushed right in a row across the ranges", [](auto* ws) { return ws_shift_range_right(ws, 4, 4, 1, 1); },
         "protectedRange A3:A5 B3 B5 B4:C4 row 4 col 2 ignoredError H3 H5:H6 I4 "},
        // Column A stays: so do the rows, and the break between them; the
        // range keeps the cells opened in it and those pushed out of it.
        {"cells shifted under every column from B on",
         [](auto* ws) { return ws_shift_range_down(ws, 2, 16384, 1, 10); },
         "protectedRange A3:B5 B13:B15 row 4 col 2 ignoredError H13:H16 "},
        // The name of the range gone is free again.
        {"a second range gone with its row, then another added",
         [](auto* ws) {
             const bool done = ws_set_editable_range(ws, 9, 1, 9, 2) && ws_delete_row(ws, 9, 9) &&
                               ws_set_editable_range(ws, 12, 1, 12, 1);
             const char* name = ws_get_editable_range(ws, 1, nullptr, nullptr, nullptr, nullptr);
             return int(done && name && std::string(name) == "Range 2");
         },
         "protectedRange A3:B5 protectedRange A12 row 4 col 2 ignoredError H3:H6 "},
    };
    static const std::regex item(
        R"re(<(protectedRange|ignoredError) sqref="([^"]*)"|<(row|col)Breaks[^>]*><brk id="(\d+)")re");
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::sheet_package(
                                       R"(<sheetData/><ignoredErrors><ignoredError sqref="H3:H6" )"
                                       R"(numberStoredAsText="1"/></ignoredErrors>)"));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
        ASSERT_EQ(ws_set_editable_range(ws, 3, 1, 5, 2) && ws_set_row_break(ws, 5, 1) && ws_set_col_break(ws, 3, 1), 1);
        EXPECT_EQ(r.edit(ws), 1) << r.name << ": " << run_msg();
        ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
        doc_release(doc);
        const std::string sheet = find(read_zip(dir / "out.xlsx"), "xl/worksheets/sheet1.xml");
        std::string got;
        for (std::sregex_iterator i(sheet.begin(), sheet.end(), item), end; i != end; ++i)
            got += (*i)[1].matched ? (*i)[1].str() + " " + (*i)[2].str() + " " : (*i)[3].str() + " " + (*i)[4].str() + " ";
        EXPECT_EQ(got, r.refs) << r.name << "\n" << sheet;
    }
}

namespace {

// The series references of a chart as openpyxl writes it, a category axis
// read from a sheet "Lists" added.
std::string chart_xml(const std::string& values, const std::string& categories) {
    return R"(<chartSpace xmlns="http://schemas.openxmlformats.org/drawingml/2006/chart"><chart><plotArea>)"
           R"(<barChart><barDir val="col"/><grouping val="clustered"/><ser><idx val="0"/><order val="0"/>)"
           "<cat><numRef><f>" + categories + "</f></numRef></cat><val><numRef><f>" + values +
           R"(</f><numCache><formatCode>General</formatCode><ptCount val="1"/><pt idx="0"><v>1</v></pt></numCache>)"
           R"(</numRef></val></ser><axId val="10"/><axId val="100"/></barChart></plotArea></chart></chartSpace>)";
}

} // namespace

TEST(kept_ranges_follow_edits, charts_and_sparklines_read_their_data_through_edits) {
    const std::string sheet_body =
        R"(<sheetData/><drawing r:id="rId1"/><extLst><ext xmlns:x14="http://schemas.microsoft.com/office/)"
        R"(spreadsheetml/2009/9/main" uri="{05C60535-1F16-4fd2-B633-F4F36F0B64E0}"><x14:sparklineGroups)" + xm +
        R"(><x14:sparklineGroup displayEmptyCellsAs="gap"><x14:colorSeries theme="4"/><x14:sparklines>)"
        "<x14:sparkline><xm:f>Data!A1:D1</xm:f><xm:sqref>F1</xm:sqref></x14:sparkline>"
        "</x14:sparklines></x14:sparklineGroup></x14:sparklineGroups></ext></extLst>";
    const std::string drawing =
        R"(<wsDr xmlns="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"><oneCellAnchor>)"
        R"(<from><col>4</col><colOff>0</colOff><row>1</row><rowOff>0</rowOff></from><ext cx="5400000" cy="2700000"/>)"
        R"(<graphicFrame><nvGraphicFramePr><cNvPr id="1" name="Chart 1"/><cNvGraphicFramePr/></nvGraphicFramePr><xfrm/>)"
        R"(<a:graphic xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><a:graphicData )"
        R"(uri="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart xmlns:c="http://schemas.openxmlformats.)"
        R"(org/drawingml/2006/chart" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
        R"(r:id="rId1"/></a:graphicData></a:graphic></graphicFrame><clientData/></oneCellAnchor></wsDr>)";
    const std::string chart = chart_xml("'Data'!$B$1:$B$10", "'Lists'!$A$1:$A$10");
    entries_t package = reader_test::sheet_package_with(
        sheet_body, rel("rId1", std::string(od) + "drawing", "../drawings/drawing1.xml"),
        {{"xl/drawings/drawing1.xml", std::string(decl) + drawing},
         {"xl/drawings/_rels/drawing1.xml.rels", rels(rel("rId1", std::string(od) + "chart", "../charts/chart1.xml"))},
         {"xl/charts/chart1.xml", std::string(decl) + chart}},
        override_of("xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml") +
            override_of("xl/charts/chart1.xml", "application/vnd.openxmlformats-officedocument.drawingml.chart+xml"));
    // A chart sheet after the sheet shows the same chart in a copy of its own.
    const std::string types = "application/vnd.openxmlformats-officedocument.";
    for (auto& [name, bytes] : package) {
        if (name == "[Content_Types].xml")
            bytes.insert(bytes.find("</Types>"),
                         override_of("xl/chartsheets/sheet1.xml", types + "spreadsheetml.chartsheet+xml") +
                             override_of("xl/drawings/drawing2.xml", types + "drawing+xml") +
                             override_of("xl/charts/chart2.xml", types + "drawingml.chart+xml"));
        if (name == "xl/_rels/workbook.xml.rels")
            bytes.insert(bytes.find("</Relationships>"),
                         rel("rIdC", std::string(od) + "chartsheet", "chartsheets/sheet1.xml"));
        if (name == "xl/workbook.xml") bytes.insert(bytes.find("</sheets>"), R"(<sheet name="CS" sheetId="2" r:id="rIdC"/>)");
    }
    package.push_back({"xl/chartsheets/sheet1.xml",
                       std::string(decl) + R"(<chartsheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/)"
                                           R"(2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/)"
                                           R"(2006/relationships"><drawing r:id="rId1"/></chartsheet>)"});
    package.push_back({"xl/chartsheets/_rels/sheet1.xml.rels",
                       rels(rel("rId1", std::string(od) + "drawing", "../drawings/drawing2.xml"))});
    package.push_back({"xl/drawings/drawing2.xml", std::string(decl) + drawing});
    package.push_back(
        {"xl/drawings/_rels/drawing2.xml.rels", rels(rel("rId1", std::string(od) + "chart", "../charts/chart2.xml"))});
    package.push_back({"xl/charts/chart2.xml", std::string(decl) + chart});
    const struct {
        const char* name;
        std::function<int(plover_workbook_t*)> edit;
        std::string chart;
        const char* sparkline;
    } rows[] = {
        {"nothing edited", [](auto*) { return 1; }, chart, "Data!A1:D1 F1 "},
        {"rows inserted above the data", [](auto* wb) { return ws_insert_row(wb_get_sheet(wb, 0), 1, 2); },
         chart_xml("'Data'!$B$3:$B$12", "'Lists'!$A$1:$A$10"), "Data!A3:D3 F3 "},
        {"the sheet renamed", [](auto* wb) { return wb_rename_sheet(wb, 0, "New Data"), 1; },
         chart_xml("'New Data'!$B$1:$B$10", "'Lists'!$A$1:$A$10"), "&apos;New Data&apos;!A1:D1 F1 "},
        {"the values' column deleted", [](auto* wb) { return ws_delete_col(wb_get_sheet(wb, 0), 2, 2); },
         chart_xml("'Data'!#REF!", "'Lists'!$A$1:$A$10"), "Data!A1:C1 E1 "},
        {"the categories' sheet deleted", [](auto* wb) { return wb_delete_sheet(wb, int(wb_sheet_count(wb)) - 1), 1; },
         chart_xml("'Data'!$B$1:$B$10", "#REF!"), "Data!A1:D1 F1 "},
        {"the sparkline's cell deleted", [](auto* wb) { return ws_delete_col(wb_get_sheet(wb, 0), 6, 6); }, chart, ""},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", package);
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_workbook_t* wb = doc_get_workbook(doc);
        ASSERT_NE(wb_add_worksheet(wb, "Lists"), nullptr) << run_msg();
        EXPECT_EQ(r.edit(wb), 1) << r.name << ": " << run_msg();
        ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
        doc_release(doc);
        const entries_t saved = read_zip(dir / "out.xlsx");
        EXPECT_EQ(find(saved, "xl/charts/chart1.xml"), decl + r.chart) << r.name;
        EXPECT_EQ(find(saved, "xl/charts/chart2.xml"), decl + r.chart) << r.name;
        const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
        EXPECT_EQ(refs(sheet.substr(std::min(sheet.find("<extLst"), sheet.size()))), r.sparkline) << r.name << "\n" << sheet;
    }
}

namespace {

const std::string chart_ns = "http://schemas.openxmlformats.org/drawingml/2006/chart";

// A chart whose series reads `ref` through the chart namespace's f, with an f
// of another namespace beside it reading `other`, and a title `title`.
std::string prefixed_chart(const std::string& ref, const std::string& other, const std::string& title = "Size") {
    return R"(<c:chartSpace xmlns:c=")" + chart_ns + R"(" xmlns:x="urn:other"><c:chart><c:title><c:tx><c:v>)" + title +
           "</c:v></c:tx></c:title><c:plotArea><c:barChart><c:ser><c:val><c:numRef><c:f>" + ref +
           R"(</c:f></c:numRef></c:val><c:extLst><c:ext uri="{0}"><x:f>)" + other + R"(</x:f><f xmlns="urn:other">)" +
           other + "</f></c:ext></c:extLst></c:ser></c:barChart></c:plotArea></c:chart></c:chartSpace>";
}

// The text as UTF-16 little-endian bytes after their mark.
std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (const char16_t unit : vex::utf8_to_wide(utf8)) {
        out += char(unit & 0xFF);
        out += char(unit >> 8);
    }
    return out;
}

// A sheet "Data" whose drawing shows the chart, named through `type`.
entries_t chart_package(const std::string& chart, const std::string& type) {
    const std::string drawing =
        R"(<wsDr xmlns="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing"><oneCellAnchor>)"
        R"(<from><col>4</col><colOff>0</colOff><row>1</row><rowOff>0</rowOff></from><ext cx="5400000" cy="2700000"/>)"
        R"(<graphicFrame><nvGraphicFramePr><cNvPr id="1" name="Chart 1"/><cNvGraphicFramePr/></nvGraphicFramePr><xfrm/>)"
        R"(<a:graphic xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><a:graphicData uri=")" + chart_ns +
        R"("><c:chart xmlns:c=")" + chart_ns + R"(" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/)"
        R"(relationships" r:id="rId1"/></a:graphicData></a:graphic></graphicFrame><clientData/></oneCellAnchor></wsDr>)";
    return reader_test::sheet_package_with(
        R"(<sheetData/><drawing r:id="rId1"/>)", rel("rId1", std::string(od) + "drawing", "../drawings/drawing1.xml"),
        {{"xl/drawings/drawing1.xml", std::string(decl) + drawing},
         {"xl/drawings/_rels/drawing1.xml.rels", rels(rel("rId1", type, "../charts/chart1.xml"))},
         {"xl/charts/chart1.xml", chart}},
        override_of("xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml") +
            override_of("xl/charts/chart1.xml", "application/vnd.openxmlformats-officedocument.drawingml.chart+xml"));
}

} // namespace

// A chart's own references follow an edit, in the encoding its part is
// written in; an f of another namespace is no reference of the chart's, and a
// part in an encoding the library cannot write stays as read.
TEST(kept_ranges_follow_edits, charts_follow_in_their_own_namespace_and_encoding) {
    const std::string transitional = std::string(od) + "chart";
    const std::string latin1 = R"(<?xml version="1.0" encoding="ISO-8859-1"?>)";
    const std::string ref = "Data!$A$1:$A$10";
    const auto delete_rows = [](plover_workbook_t* wb) { return ws_delete_row(wb_get_sheet(wb, 0), 2, 3); };
    const auto rename = [](const char* name) {
        return [name](plover_workbook_t* wb) { return wb_rename_sheet(wb, 0, name), 1; };
    };
    const struct {
        const char* name;
        std::string chart, type;
        std::function<int(plover_workbook_t*)> edit;
        std::string saved;
    } rows[] = {
        {"f of another namespace beside the chart's", decl + prefixed_chart(ref, ref), transitional, delete_rows,
         decl + prefixed_chart("Data!$A$1:$A$8", ref)},
        {"the strict relationship type", decl + prefixed_chart(ref, ref),
         "http://purl.oclc.org/ooxml/officeDocument/relationships/chart", delete_rows,
         decl + prefixed_chart("Data!$A$1:$A$8", ref)},
        {"ISO-8859-1", latin1 + prefixed_chart(ref, ref, "Gr\xF6\xDF" "e"), transitional, rename("\xC3\x84rger"),
         latin1 + prefixed_chart("\xC4rger!$A$1:$A$10", ref, "Gr\xF6\xDF" "e")},
        {"ISO-8859-1, a name it cannot hold", latin1 + prefixed_chart(ref, ref), transitional,
         rename("Kosten \xE2\x82\xAC"), latin1 + prefixed_chart("'Kosten &#x20ac;'!$A$1:$A$10", ref)},
        {"UTF-16", utf16le(R"(<?xml version="1.0" encoding="UTF-16"?>)" + prefixed_chart(ref, ref, "Gr\xC3\xB6\xC3\x9F" "e")),
         transitional, rename("\xC3\x84rger"),
         utf16le(R"(<?xml version="1.0" encoding="UTF-16"?>)" +
                 prefixed_chart("\xC3\x84rger!$A$1:$A$10", ref, "Gr\xC3\xB6\xC3\x9F" "e"))},
        {"an encoding the library cannot write", R"(<?xml version="1.0" encoding="x-none-such"?>)" + prefixed_chart(ref, ref),
         transitional, delete_rows, R"(<?xml version="1.0" encoding="x-none-such"?>)" + prefixed_chart(ref, ref)},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", chart_package(r.chart, r.type));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << r.name << ": " << run_msg();
        EXPECT_EQ(r.edit(doc_get_workbook(doc)), 1) << r.name << ": " << run_msg();
        ASSERT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << r.name << ": " << run_msg();
        doc_release(doc);
        EXPECT_EQ(find(read_zip(dir / "out.xlsx"), "xl/charts/chart1.xml"), r.saved) << r.name;
    }
}

// An extension's list counts the records left, and goes with its last one.
TEST(kept_ranges_follow_edits, extension_validations_count_the_records_left) {
    const auto delete_rows = [](plover_workbook_t* wb) { return ws_delete_row(wb_get_sheet(wb, 0), 2, 5); };
    EXPECT_EQ(saved(delete_rows).find("x14:dataValidation"), std::string::npos);
    std::string two = sections(2, 5);
    const std::string one = "<x14:dataValidations count=\"1\"";
    two.replace(two.find(one), one.size(), "<x14:dataValidations count=\"2\"");
    two.insert(two.find("</x14:dataValidations>"), "<x14:dataValidation type=\"list\"><x14:formula1><xm:f>"
                                                  "Lists!$B$1:$B$3</xm:f></x14:formula1><xm:sqref>G9</xm:sqref>"
                                                  "</x14:dataValidation>");
    const std::string left = saved(delete_rows, two);
    EXPECT_NE(left.find("<x14:dataValidations count=\"1\""), std::string::npos) << left;
    EXPECT_EQ(refs(left), "A3 A3&gt;0 Lists!$B$1:$B$3 G5 ");
}
