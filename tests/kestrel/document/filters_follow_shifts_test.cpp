// Filters and sort states of sheets and tables, read from crafted packages,
// edited through the exports, saved and read again: their ranges follow every
// insert, delete and shift as the cells they cover do, and every sort key is
// kept in order with its attributes.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace package_test;

namespace {

using edit_t = std::function<int(plover_worksheet_t*)>;

plover_worksheet_t* sheet0(plover_document_t* doc) { return wb_get_sheet(doc_get_workbook(doc), 0); }

// The text from the first `from` to the end of the last `to`; empty without `from`.
std::string span(const std::string& xml, const std::string& from, const std::string& to) {
    const size_t a = xml.find(from);
    const size_t b = xml.rfind(to);
    if (a == std::string::npos) return "";
    if (b == std::string::npos || b < a) return xml.substr(a);
    return xml.substr(a, b + to.size() - a);
}

// B2:C9 filtered on C, sorted on C then B, with a sort state of the sheet's own.
const std::string sheet_filter =
    R"(<autoFilter ref="B2:C9"><filterColumn colId="1"><filters><filter val="x"/></filters></filterColumn>)"
    R"(<sortState ref="B3:C9"><sortCondition descending="1" ref="C3:C9"/>)"
    R"(<sortCondition customList="lo,hi" ref="B3:B9"/></sortState></autoFilter>)"
    R"(<sortState ref="B3:C9"><sortCondition descending="1" ref="C3:C9"/>)"
    R"(<sortCondition sortBy="icon" iconId="2" iconSet="3Arrows" ref="B3:B9"/></sortState>)";

entries_t sheet_filter_package() {
    return reader_test::sheet_package(R"(<sheetData><row r="2"><c r="B2"><v>1</v></c></row></sheetData>)" +
                                      sheet_filter);
}

constexpr const char* table_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// "Items" over A2:C6 filtered on C and sorted on C then A.
const std::string items_table =
    R"(<table xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" id="1" name="Items" )"
    R"(displayName="Items" ref="A2:C6"><autoFilter ref="A2:C6"><filterColumn colId="2"><filters><filter val="y"/>)"
    R"(</filters></filterColumn></autoFilter><sortState ref="A3:C6"><sortCondition descending="1" ref="C3:C6"/>)"
    R"(<sortCondition customList="lo,hi" ref="A3:A6"/></sortState><tableColumns count="3">)"
    R"(<tableColumn id="1" name="a"/><tableColumn id="2" name="b"/><tableColumn id="3" name="c"/></tableColumns>)"
    R"(<tableStyleInfo name="TableStyleMedium2" showFirstColumn="0" showLastColumn="0" showRowStripes="1" )"
    R"(showColumnStripes="0"/></table>)";

entries_t table_package() {
    const std::string body =
        R"(<sheetData><row r="2"><c r="A2" t="inlineStr"><is><t>a</t></is></c><c r="B2" t="inlineStr"><is><t>b</t>)"
        R"(</is></c><c r="C2" t="inlineStr"><is><t>c</t></is></c></row></sheetData>)"
        R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)";
    entries_t e = reader_test::sheet_package(body);
    for (auto& [name, bytes] : e)
        if (name == "[Content_Types].xml") bytes.insert(bytes.rfind("</Types>"), override_of("xl/tables/table1.xml", table_type));
    e.push_back({"xl/worksheets/_rels/sheet1.xml.rels", rels(rel("rId1", std::string(od) + "table", "../tables/table1.xml"))});
    e.push_back({"xl/tables/table1.xml", std::string(decl) + items_table});
    return e;
}

struct saved_t {
    std::string first;   // the entry after the edit and a save
    std::string second;  // the same entry once that copy is loaded and saved again
    std::string failure;
};

// Loads the package, edits its sheet, saves, and saves the reloaded copy again.
saved_t edit_and_save(const entries_t& package, const edit_t& edit, const std::string& entry) {
    scratch_dir dir;
    saved_t out;
    write_zip(dir / "in.xlsx", package);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    if (!doc) return {"", "", std::string("load: ") + run_msg()};
    if (edit && !edit(sheet0(doc))) out.failure = std::string("edit: ") + run_msg();
    if (!doc_save(doc, (dir / "out.xlsx").c_str())) out.failure = std::string("save: ") + run_msg();
    doc_release(doc);
    out.first = find(read_zip(dir / "out.xlsx"), entry);
    doc = doc_load((dir / "out.xlsx").c_str());
    if (!doc) return {out.first, "", std::string("reload: ") + run_msg()};
    if (!doc_save(doc, (dir / "again.xlsx").c_str())) out.failure = std::string("second save: ") + run_msg();
    doc_release(doc);
    out.second = find(read_zip(dir / "again.xlsx"), entry);
    return out;
}

// The filter and sort elements as the writer gives them for these ranges.
std::string filters(const std::string& range, int col_id, const std::string& sort, const std::string& keys) {
    std::string f = R"(<autoFilter ref=")" + range + R"(">)";
    if (col_id >= 0)
        f += R"(<filterColumn colId=")" + std::to_string(col_id) + R"("><filters><filter val="x"/></filters></filterColumn>)";
    return f + R"(<sortState ref=")" + sort + R"(">)" + keys + "</sortState></autoFilter>";
}

std::string key(const std::string& ref, const std::string& attributes = "") {
    return "<sortCondition " + attributes + (attributes.empty() ? "" : " ") + R"(ref=")" + ref + R"("/>)";
}

} // namespace

TEST(filters_follow_shifts, every_sort_key_is_kept_in_order_with_its_attributes) {
    const saved_t sheet = edit_and_save(sheet_filter_package(), {}, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheet.failure, "");
    EXPECT_EQ(span(sheet.first, "<autoFilter", "</sortState>"), sheet_filter);
    EXPECT_EQ(span(sheet.second, "<autoFilter", "</sortState>"), sheet_filter);

    const saved_t table = edit_and_save(table_package(), {}, "xl/tables/table1.xml");
    EXPECT_EQ(table.failure, "");
    const std::string expected = R"(<autoFilter ref="A2:C6"><filterColumn colId="2"><filters><filter val="y"/>)"
                                 R"(</filters></filterColumn></autoFilter><sortState ref="A3:C6">)" +
                                 key("C3:C6", R"(descending="1")") + key("A3:A6", R"(customList="lo,hi")") +
                                 "</sortState>";
    EXPECT_EQ(span(table.first, "<autoFilter", "</sortState>"), expected);
    EXPECT_EQ(span(table.second, "<autoFilter", "</sortState>"), expected);
}

TEST(filters_follow_shifts, a_sheet_filter_and_sort_state_follow_every_kind_of_shift) {
    const std::string c_desc = R"(descending="1")", b_list = R"(customList="lo,hi")";
    const std::string b_icon = R"(sortBy="icon" iconId="2" iconSet="3Arrows")";
    const auto both = [&](const std::string& range, int col_id, const std::string& sort, const std::string& c,
                          const std::string& b) {
        std::string keys_f, keys_s;
        if (!c.empty()) keys_f += key(c, c_desc), keys_s += key(c, c_desc);
        if (!b.empty()) keys_f += key(b, b_list), keys_s += key(b, b_icon);
        std::string s = R"(<sortState ref=")" + sort + R"(">)" + keys_s + "</sortState>";
        return filters(range, col_id, sort, keys_f) + s;
    };
    const struct {
        const char* name;
        edit_t edit;
        std::string expected;  // "" when both are gone
    } rows[] = {
        {"rows inserted above", [](auto* ws) { return ws_insert_row(ws, 1, 2); }, both("B4:C11", 1, "B5:C11", "C5:C11", "B5:B11")},
        {"rows inserted inside", [](auto* ws) { return ws_insert_row(ws, 5, 2); }, both("B2:C11", 1, "B3:C11", "C3:C11", "B3:B11")},
        {"rows deleted inside", [](auto* ws) { return ws_delete_row(ws, 4, 5); }, both("B2:C7", 1, "B3:C7", "C3:C7", "B3:B7")},
        {"column inserted before", [](auto* ws) { return ws_insert_col(ws, 2, 1); }, both("C2:D9", 1, "C3:D9", "D3:D9", "C3:C9")},
        {"column inserted inside", [](auto* ws) { return ws_insert_col(ws, 3, 1); }, both("B2:D9", 2, "B3:D9", "D3:D9", "B3:B9")},
        {"first column deleted", [](auto* ws) { return ws_delete_col(ws, 2, 2); }, both("B2:B9", 0, "B3:B9", "B3:B9", "")},
        {"filtered column deleted", [](auto* ws) { return ws_delete_col(ws, 3, 3); }, both("B2:B9", -1, "B3:B9", "", "B3:B9")},
        {"columns deleted across the start", [](auto* ws) { return ws_delete_col(ws, 1, 2); }, both("A2:A9", 0, "A3:A9", "A3:A9", "")},
        {"range shifted down", [](auto* ws) { return ws_shift_range_down(ws, 1, 5, 1, 3); }, both("B5:C12", 1, "B6:C12", "C6:C12", "B6:B12")},
        {"range shifted up", [](auto* ws) { return ws_shift_range_up(ws, 1, 5, 2, 1); }, both("B1:C8", 1, "B2:C8", "C2:C8", "B2:B8")},
        {"range shifted right", [](auto* ws) { return ws_shift_range_right(ws, 1, 20, 1, 2); }, both("D2:E9", 1, "D3:E9", "E3:E9", "D3:D9")},
        {"range shifted left", [](auto* ws) { return ws_shift_range_left(ws, 1, 20, 2, 1); }, both("A2:B9", 1, "A3:B9", "B3:B9", "A3:A9")},
        {"band beside the filter", [](auto* ws) { return ws_shift_range_down(ws, 3, 5, 1, 2); }, sheet_filter},
        {"rows deleted whole", [](auto* ws) { return ws_delete_row(ws, 2, 9); }, ""},
        {"sorted rows deleted whole", [](auto* ws) { return ws_delete_row(ws, 3, 9); }, R"(<autoFilter ref="B2:C2"><filterColumn colId="1"><filters><filter val="x"/></filters></filterColumn></autoFilter>)"},
        {"columns deleted whole", [](auto* ws) { return ws_delete_col(ws, 2, 3); }, ""},
    };
    ASSERT_EQ(both("B2:C9", 1, "B3:C9", "C3:C9", "B3:B9"), sheet_filter);
    for (const auto& r : rows) {
        const saved_t s = edit_and_save(sheet_filter_package(), r.edit, "xl/worksheets/sheet1.xml");
        EXPECT_EQ(s.failure, "") << r.name;
        const std::string end = r.expected.find("</sortState>") != std::string::npos ? "</sortState>" : "</autoFilter>";
        EXPECT_EQ(span(s.first, "<autoFilter", end), r.expected) << r.name << "\n" << s.first;
        EXPECT_EQ(span(s.second, "<autoFilter", end), r.expected) << r.name << " (saved again)";
        if (r.expected.empty()) {
            EXPECT_EQ(s.first.find("sortState"), std::string::npos) << r.name << "\n" << s.first;
        }
    }
}

TEST(filters_follow_shifts, a_table_filter_and_sort_state_follow_every_kind_of_shift) {
    const auto table = [](const std::string& range, int col_id, const std::string& sort, const std::string& c,
                          const std::string& a) {
        std::string f = R"(<autoFilter ref=")" + range + R"(")";
        if (col_id >= 0)
            f += R"(><filterColumn colId=")" + std::to_string(col_id) +
                 R"("><filters><filter val="y"/></filters></filterColumn></autoFilter>)";
        else
            f += "/>";
        f += R"(<sortState ref=")" + sort + R"(">)";
        if (!c.empty()) f += key(c, R"(descending="1")");
        if (!a.empty()) f += key(a, R"(customList="lo,hi")");
        return f + "</sortState>";
    };
    const struct {
        const char* name;
        edit_t edit;
        std::string ref;  // the table's range
        std::string expected;
    } rows[] = {
        {"rows inserted above", [](auto* ws) { return ws_insert_row(ws, 1, 3); }, "A5:C9", table("A5:C9", 2, "A6:C9", "C6:C9", "A6:A9")},
        {"rows inserted inside", [](auto* ws) { return ws_insert_row(ws, 4, 1); }, "A2:C7", table("A2:C7", 2, "A3:C7", "C3:C7", "A3:A7")},
        {"last rows deleted", [](auto* ws) { return ws_delete_row(ws, 5, 6); }, "A2:C4", table("A2:C4", 2, "A3:C4", "C3:C4", "A3:A4")},
        {"rows deleted above", [](auto* ws) { return ws_delete_row(ws, 1, 1); }, "A1:C5", table("A1:C5", 2, "A2:C5", "C2:C5", "A2:A5")},
        {"column inserted before", [](auto* ws) { return ws_insert_col(ws, 1, 1); }, "B2:D6", table("B2:D6", 2, "B3:D6", "D3:D6", "B3:B6")},
        {"column inserted inside", [](auto* ws) { return ws_insert_col(ws, 2, 1); }, "A2:D6", table("A2:D6", 3, "A3:D6", "D3:D6", "A3:A6")},
        {"middle column deleted", [](auto* ws) { return ws_delete_col(ws, 2, 2); }, "A2:B6", table("A2:B6", 1, "A3:B6", "B3:B6", "A3:A6")},
        {"first column deleted", [](auto* ws) { return ws_delete_col(ws, 1, 1); }, "A2:B6", table("A2:B6", 1, "A3:B6", "B3:B6", "")},
        {"filtered column deleted", [](auto* ws) { return ws_delete_col(ws, 3, 3); }, "A2:B6", table("A2:B6", -1, "A3:B6", "", "A3:A6")},
        {"range shifted down", [](auto* ws) { return ws_shift_range_down(ws, 1, 3, 1, 2); }, "A4:C8", table("A4:C8", 2, "A5:C8", "C5:C8", "A5:A8")},
        {"range shifted up", [](auto* ws) { return ws_shift_range_up(ws, 1, 3, 2, 1); }, "A1:C5", table("A1:C5", 2, "A2:C5", "C2:C5", "A2:A5")},
        {"range shifted right", [](auto* ws) { return ws_shift_range_right(ws, 1, 10, 1, 1); }, "B2:D6", table("B2:D6", 2, "B3:D6", "D3:D6", "B3:B6")},
        {"range shifted left", [](auto* ws) { return ws_shift_range_left(ws, 1, 10, 3, 1); }, "A2:B6", table("A2:B6", 1, "A3:B6", "B3:B6", "A3:A6")},
        {"table column put first", [](auto* ws) { return td_insert_col(ws_get_tabledef(ws, 0), 0, "new"); }, "A2:D6", table("A2:D6", 3, "A3:D6", "D3:D6", "B3:B6")},
    };
    for (const auto& r : rows) {
        const saved_t s = edit_and_save(table_package(), r.edit, "xl/tables/table1.xml");
        EXPECT_EQ(s.failure, "") << r.name;
        EXPECT_NE(s.first.find(R"( ref=")" + r.ref + "\""), std::string::npos) << r.name << "\n" << s.first;
        EXPECT_EQ(span(s.first, "<autoFilter", "</sortState>"), r.expected) << r.name << "\n" << s.first;
        EXPECT_EQ(span(s.second, "<autoFilter", "</sortState>"), r.expected) << r.name << " (saved again)";
    }
}

TEST(filters_follow_shifts, a_table_deleted_whole_takes_its_filter_along) {
    const saved_t s = edit_and_save(table_package(), [](auto* ws) { return ws_delete_row(ws, 1, 10); },
                                    "xl/worksheets/sheet1.xml");
    EXPECT_EQ(s.failure, "");
    EXPECT_EQ(s.first.find("autoFilter"), std::string::npos) << s.first;
    EXPECT_EQ(s.first.find("tablePart"), std::string::npos) << s.first;
}

// After rows go in above a sheet's filter and a table, openpyxl finds the
// filters, the sort keys and the table where the cells now are. (A client
// test: the suite is one the clients entry runs, and takes plain tests.)
TEST(table_drawing_round_trip, openpyxl_reads_filters_and_sort_keys_where_their_cells_went) {
    scratch_dir dir;
    for (const auto& [name, package] : {std::pair{"sheet", sheet_filter_package()}, std::pair{"table", table_package()}}) {
        write_zip(dir / (std::string(name) + ".xlsx"), package);
        plover_document_t* doc = doc_load((dir / (std::string(name) + ".xlsx")).c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        EXPECT_EQ(ws_insert_row(sheet0(doc), 1, 3), 1) << run_msg();
        EXPECT_EQ(doc_save(doc, (dir / (std::string(name) + "_saved.xlsx")).c_str()), 1) << run_msg();
        doc_release(doc);
    }
    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
f = ws.auto_filter
assert f.ref == "B5:C12", f.ref
assert [c.colId for c in f.filterColumn] == [1], f.filterColumn
keys = [(k.ref, bool(k.descending), k.customList) for k in f.sortState.sortCondition]
assert keys == [("C6:C12", True, None), ("B6:B12", False, "lo,hi")], keys
ws = openpyxl.load_workbook(sys.argv[2]).active
t = ws.tables["Items"]
assert t.ref == "A5:C9", t.ref
assert t.autoFilter.ref == "A5:C9", t.autoFilter.ref
assert [c.colId for c in t.autoFilter.filterColumn] == [2]
keys = [(k.ref, bool(k.descending), k.customList) for k in t.sortState.sortCondition]
assert keys == [("C6:C9", True, None), ("A6:A9", False, "lo,hi")], keys
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "sheet_saved.xlsx", dir / "table_saved.xlsx"}), 0);
}
