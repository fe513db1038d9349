// A sheet's and a table's filters and sort states, read from a package, edited
// through the exports and saved: each range follows its cells, and every sort
// key is kept in order with its attributes.

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

const std::string sheet_filter =
    R"(<autoFilter ref="B2:C9"><filterColumn colId="1"><filters><filter val="x"/></filters></filterColumn>)"
    R"(<sortState ref="B3:C9"><sortCondition descending="1" ref="C3:C9"/>)"
    R"(<sortCondition customList="lo,hi" ref="B3:B9"/></sortState></autoFilter>)"
    R"(<sortState ref="B3:C9"><sortCondition descending="1" ref="C3:C9"/>)"
    R"(<sortCondition sortBy="icon" iconId="2" iconSet="3Arrows" ref="B3:B9"/></sortState>)";
const std::string table_filter =
    R"(<autoFilter ref="E12:G16"><filterColumn colId="2"><filters><filter val="y"/></filters></filterColumn>)"
    R"(</autoFilter><sortState ref="E13:G16"><sortCondition descending="1" ref="G13:G16"/>)"
    R"(<sortCondition customList="lo,hi" ref="E13:E16"/></sortState>)";

// The sheet above with a table over E12:G16.
entries_t package() {
    const std::string table = std::string(decl) + "<table xmlns=\"" + reader_test::main_ns +
                              R"(" id="1" name="T" displayName="T" ref="E12:G16">)" + table_filter +
                              R"(<tableColumns count="3"><tableColumn id="1" name="a"/><tableColumn id="2" name="b"/>)"
                              R"(<tableColumn id="3" name="c"/></tableColumns></table>)";
    return reader_test::sheet_package_with(
        "<sheetData/>" + sheet_filter + R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)",
        rel("rId1", std::string(od) + "table", "../tables/table1.xml"), {{"xl/tables/table1.xml", table}},
        override_of("xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"));
}

// The sheet part from its filter on and the table part, once the package is
// loaded, edited and saved.
std::pair<std::string, std::string> saved(const std::function<int(plover_worksheet_t*)>& edit) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package());
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    EXPECT_NE(doc, nullptr) << run_msg();
    if (!doc) return {};
    EXPECT_EQ(edit(wb_get_sheet(doc_get_workbook(doc), 0)), 1) << run_msg();
    EXPECT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    const entries_t out = read_zip(dir / "out.xlsx");
    const std::string sheet = find(out, "xl/worksheets/sheet1.xml");
    return {sheet.substr(std::min({sheet.find("<autoFilter"), sheet.find("<sortState"), sheet.size()})),
            find(out, "xl/tables/table1.xml")};
}

// Every ref and colId, in order.
std::string refs(const std::string& xml) {
    static const std::regex attribute(R"re(\s(?:ref|colId)="([^"]*)")re");
    std::string out;
    for (std::sregex_iterator i(xml.begin(), xml.end(), attribute), end; i != end; ++i) out += (*i)[1].str() + " ";
    return out;
}

} // namespace

TEST(filters_follow_shifts, every_sort_key_is_kept_in_order_with_its_attributes) {
    const auto [sheet, table] = saved([](plover_worksheet_t*) { return 1; });
    EXPECT_EQ(sheet.substr(0, sheet_filter.size()), sheet_filter);
    EXPECT_NE(table.find(table_filter), std::string::npos) << table;
}

TEST(filters_follow_shifts, filters_and_sort_states_follow_every_kind_of_shift) {
    const struct {
        const char* name;
        std::function<int(plover_worksheet_t*)> edit;
        const char* sheet;  // the sheet's filter, filter sort, own sort
        const char* table;  // the table's range, filter, sort
    } rows[] = {
        {"rows inserted above", [](auto* ws) { return ws_insert_row(ws, 1, 2); },
         "B4:C11 1 B5:C11 C5:C11 B5:B11 B5:C11 C5:C11 B5:B11 ", "E14:G18 E14:G18 2 E15:G18 G15:G18 E15:E18 "},
        {"column inserted inside", [](auto* ws) { return ws_insert_col(ws, 6, 1); },
         "B2:C9 1 B3:C9 C3:C9 B3:B9 B3:C9 C3:C9 B3:B9 ", "E12:H16 E12:H16 3 E13:H16 H13:H16 E13:E16 "},
        {"filtered column deleted", [](auto* ws) { return ws_delete_col(ws, 3, 3); },
         "B2:B9 B3:B9 B3:B9 B3:B9 B3:B9 ", "D12:F16 D12:F16 2 D13:F16 F13:F16 D13:D16 "},
        {"columns deleted across the start", [](auto* ws) { return ws_delete_col(ws, 1, 2); },
         "A2:A9 0 A3:A9 A3:A9 A3:A9 A3:A9 ", "C12:E16 C12:E16 2 C13:E16 E13:E16 C13:C16 "},
        {"range shifted right", [](auto* ws) { return ws_shift_range_right(ws, 1, 20, 1, 2); },
         "D2:E9 1 D3:E9 E3:E9 D3:D9 D3:E9 E3:E9 D3:D9 ", "G12:I16 G12:I16 2 G13:I16 I13:I16 G13:G16 "},
        {"band across the filter", [](auto* ws) { return ws_shift_range_down(ws, 3, 3, 1, 2); },
         "B2:C9 1 B3:C9 C3:C9 B3:B9 B3:C9 C3:C9 B3:B9 ", "E12:G16 E12:G16 2 E13:G16 G13:G16 E13:E16 "},
        {"sorted rows deleted whole", [](auto* ws) { return ws_delete_row(ws, 3, 9); }, "B2:C2 1 ",
         "E5:G9 E5:G9 2 E6:G9 G6:G9 E6:E9 "},
        {"rows deleted whole", [](auto* ws) { return ws_delete_row(ws, 2, 9); }, "",
         "E4:G8 E4:G8 2 E5:G8 G5:G8 E5:E8 "},
        {"table column put first", [](auto* ws) { return td_insert_col(ws_get_tabledef(ws, 0), 0, "new"); },
         "B2:C9 1 B3:C9 C3:C9 B3:B9 B3:C9 C3:C9 B3:B9 ", "E12:H16 E12:H16 3 E13:H16 H13:H16 F13:F16 "},
    };
    for (const auto& r : rows) {
        const auto [sheet, table] = saved(r.edit);
        EXPECT_EQ(refs(sheet), r.sheet) << r.name << "\n" << sheet;
        EXPECT_EQ(refs(table), r.table) << r.name << "\n" << table;
    }
}

// As XlsxWriter writes a table with a totals row: T over A1:B4, its filter
// over the header and the records, A1:B3. Each edit that grows, shrinks or
// moves the table leaves the filter over its header and records.
TEST(filters_follow_shifts, a_table_filter_covers_the_header_and_records_after_every_edit) {
    const std::string table = std::string(decl) + "<table xmlns=\"" + reader_test::main_ns +
                              R"(" id="1" name="T" displayName="T" ref="A1:B4" totalsRowCount="1">)"
                              R"(<autoFilter ref="A1:B3"/><tableColumns count="2"><tableColumn id="1" name="a"/>)"
                              R"(<tableColumn id="2" name="b" totalsRowFunction="sum"/></tableColumns></table>)";
    const entries_t package = reader_test::sheet_package_with(
        R"(<sheetData/><tableParts count="1"><tablePart r:id="rId1"/></tableParts>)",
        rel("rId1", std::string(od) + "table", "../tables/table1.xml"), {{"xl/tables/table1.xml", table}},
        override_of("xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"));
    const struct {
        const char* name;
        std::function<int(plover_worksheet_t*)> edit;
        const char* refs;  // the table's range and its filter's
    } rows[] = {
        {"records appended at the totals row", [](auto* ws) { return ws_insert_row(ws, 4, 2); }, "A1:B6 A1:B5 "},
        {"a record appended at the last record", [](auto* ws) { return ws_insert_row(ws, 3, 1); }, "A1:B5 A1:B4 "},
        {"the totals row hidden", [](auto* ws) { return td_set_display_total(ws_get_tabledef(ws, 0), 0), 1; },
         "A1:B3 A1:B3 "},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", package);
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        EXPECT_EQ(r.edit(wb_get_sheet(doc_get_workbook(doc), 0)), 1) << r.name << ": " << run_msg();
        EXPECT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
        doc_release(doc);
        const std::string part = find(read_zip(dir / "out.xlsx"), "xl/tables/table1.xml");
        EXPECT_EQ(refs(part), r.refs) << r.name << "\n" << part;
    }
}
