// A sheet's data validations and conditional formats, with their copies in
// its extension list, read from a package, edited through the exports and
// saved: each range follows its cells, and each formula reads as one at the
// record's first cell would.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>

using namespace package_test;

namespace {

const std::string x14 = R"( xmlns:x14="http://schemas.microsoft.com/office/spreadsheetml/2009/9/main")";
const std::string xm = R"( xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main")";

// A rule, a data bar with its extension copy, two validations and one kept
// as an extension, over rows first to last; the extension's list reads
// another sheet. A third validation spreads over `spread`, its first cell A2
// before any edit. Written with end tags, as the save writes every element.
std::string sections(int first, int last, const std::string& spread = "A7 A2:A3") {
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
    EXPECT_EQ(sheet, sections(2, 4, "A6 A2"));
}

TEST(kept_ranges_follow_edits, ranges_and_formulas_follow_every_kind_of_edit) {
    const auto data = [](plover_workbook_t* wb) { return wb_get_sheet(wb, 0); };
    const struct {
        const char* name;
        std::function<int(plover_workbook_t*)> edit;
        const char* refs;
    } rows[] = {
        {"nothing edited", [](auto*) { return 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A7 A2:A3 A2&gt;0 $E$1 D2:D5 Lists!$A$1:$A$3 F2:F5 "},
        {"rows inserted above", [&](auto* wb) { return ws_insert_row(data(wb), 1, 2); },
         "C4:C7 $C4&gt;$E$3 D4:D7 $E$3 B4:B7 0 C4:C7 $E$3*3 A9 A4:A5 A4&gt;0 $E$3 D4:D7 Lists!$A$1:$A$3 F4:F7 "},
        {"columns of a rule and a bar deleted", [&](auto* wb) { return ws_delete_col(data(wb), 3, 4); },
         "B2:B5 0 A7 A2:A3 A2&gt;0 Lists!$A$1:$A$3 D2:D5 "},
        {"range shifted down under a rule", [&](auto* wb) { return ws_shift_range_down(data(wb), 3, 3, 1, 1); },
         "C3:C6 $C3&gt;$E$1 D2:D5 $E$1 B2:B5 0 C3:C6 $E$1*3 A7 A2:A3 A2&gt;0 $E$1 D2:D5 Lists!$A$1:$A$3 F2:F5 "},
        {"rows of the sheet read inserted", [](auto* wb) { return ws_insert_row(wb_get_sheet(wb, 1), 1, 1); },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A7 A2:A3 A2&gt;0 $E$1 D2:D5 Lists!$A$2:$A$4 F2:F5 "},
        {"the sheet read renamed", [](auto* wb) { return wb_rename_sheet(wb, 1, "My Lists"), 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A7 A2:A3 A2&gt;0 $E$1 D2:D5 &apos;My Lists&apos;!$A$1:$A$3 F2:F5 "},
        {"the sheet read deleted", [](auto* wb) { return wb_delete_sheet(wb, 1), 1; },
         "C2:C5 $C2&gt;$E$1 D2:D5 $E$1 B2:B5 0 C2:C5 $E$1*3 A7 A2:A3 A2&gt;0 $E$1 D2:D5 #REF! F2:F5 "},
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
