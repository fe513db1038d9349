// Sheets and tables as other producers write them, which the model once took
// half-way: a sheet name two sheets share, a table the loader leaves out, and
// tables showing a style of the workbook's own or none. Each package loads (or
// is refused, naming why), is edited through the exports, saved and loaded again.
#include "plover.h"
#include "run_message.h"
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace round_trip_test;

namespace {

const std::string od = package_test::od;
const std::string table_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";
const std::string taken = "Table name already exists.";

std::string message() { return run_msg() ? run_msg() : "(null)"; }

// Sheets of the given names, each holding a number in A1.
crafted_t named_sheets(const std::vector<std::string>& names) {
    crafted_t c;
    c.sheets.clear();
    c.book_body = "<sheets>";
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        c.sheets.push_back({"<sheetData><row r=\"1\"><c r=\"A1\"><v>" + n + "</v></c></row></sheetData>", ""});
        c.book_body += "<sheet name=\"" + names[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    }
    c.book_body += "</sheets>";
    return c;
}

// A table over A1:B4 of the first sheet, its part holding `style_info`;
// `merge` (empty for none) is the sheet's one merged range.
crafted_t table_sheet(const std::string& name, const std::string& style_info, const std::string& merge = "") {
    const std::string table = std::string(package_test::decl) + "<table xmlns=\"" + main_ns + "\" id=\"1\" name=\"" +
                              name + "\" displayName=\"" + name + "\" ref=\"A1:B4\" totalsRowShown=\"0\">" +
                              R"(<autoFilter ref="A1:B4"/><tableColumns count="2"><tableColumn id="1" name="Item"/>)"
                              R"(<tableColumn id="2" name="Price"/></tableColumns>)" + style_info + "</table>";
    crafted_t c;
    c.sheets = {{R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>Item</t></is></c><c r="B1" t="inlineStr">)"
                 R"(<is><t>Price</t></is></c></row><row r="2"><c r="A2" t="inlineStr"><is><t>Tea</t></is></c>)"
                 R"(<c r="B2"><v>3</v></c></row></sheetData>)" +
                     (merge.empty() ? "" : "<mergeCells count=\"1\"><mergeCell ref=\"" + merge + "\"/></mergeCells>") +
                     R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)",
                 package_test::rel("rId1", od + "table", "../tables/table1.xml")},
                {"<sheetData/>", ""}};
    c.extra = {{"xl/tables/table1.xml", table}};
    c.extra_types = package_test::override_of("xl/tables/table1.xml", table_type);
    return c;
}

// The values of `attribute` on every element of every table part of a copy.
std::vector<std::string> table_part_values(const entries_t& copy, const std::string& attribute) {
    std::vector<std::string> out;
    for (const auto& [entry, bytes] : copy) {
        if (!entry.starts_with("xl/tables/")) continue;
        const std::string key = " " + attribute + "=\"";
        for (size_t at = bytes.find(key); at != std::string::npos; at = bytes.find(key, at + 1)) {
            const size_t from = at + key.size();
            out.push_back(bytes.substr(from, bytes.find('"', from) - from));
        }
    }
    return out;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

} // namespace

TEST(loaded_tables_round_trip, a_sheet_name_two_sheets_share_is_refused_and_names_alike_but_for_case_stay) {
    const struct {
        const char* name;
        std::vector<std::string> sheets;
        std::string refusal;  // empty: loads
    } rows[] = {
        {"two sheets of one name", {"Data", "Data"}, "The sheet name \"Data\" is used by more than one sheet."},
        {"first and third alike", {"One", "Two", "One"}, "The sheet name \"One\" is used by more than one sheet."},
        {"alike but for case", {"Data", "DATA"}, ""},
        {"alike but for a letter's case beyond ASCII", {"\xC3\x84rger", "\xC3\xA4rger"}, ""},
    };
    for (const auto& r : rows) {
        // Every sheet is reachable by its index and name, and keeps its value.
        const host_t every_sheet = [&](plover_workbook_t* wb) {
            ASSERT_EQ(wb_sheet_count(wb), r.sheets.size()) << r.name;
            for (size_t i = 0; i < r.sheets.size(); ++i) {
                const char* name = wb_sheet_name(wb, int(i));
                EXPECT_EQ(std::string(name ? name : "(null)"), r.sheets[i]) << r.name << " " << i;
                plover_worksheet_t* ws = wb_get_sheet(wb, int(i));
                ASSERT_NE(ws, nullptr) << r.name << " " << i << ": " << message();
                EXPECT_EQ(ws_get_num(ws, 1, 1), double(i + 1)) << r.name << " " << i;
            }
        };
        const saves_t s = three_saves(package_of(named_sheets(r.sheets)), every_sheet, every_sheet);
        if (!r.refusal.empty()) {
            EXPECT_NE(s.message.find(r.refusal), std::string::npos) << r.name << ": " << s.message;
            EXPECT_TRUE(s.first.empty()) << r.name;
            continue;
        }
        ASSERT_EQ(s.message, "") << r.name;
        std::vector<std::string> kept;
        for (const std::string& n : r.sheets) kept.push_back("name=\"" + n + "\"");
        expect_entry(s, "xl/workbook.xml", kept, {}, r.name);
    }
}

// A table cutting a merged range stays out of the model and goes back as read:
// its name stays taken, in any case and on every sheet.
TEST(loaded_tables_round_trip, the_name_of_a_table_the_loader_leaves_out_stays_taken) {
    const crafted_t c = table_sheet("Sales", R"(<tableStyleInfo name="TableStyleLight1" showRowStripes="1"/>)", "B4:C4");
    const auto refuses_the_name = [](plover_workbook_t* wb) {
        plover_worksheet_t* first = wb_get_sheet(wb, 0);
        plover_worksheet_t* second = wb_get_sheet(wb, 1);
        EXPECT_EQ(ws_tabledef_count(first), 0);
        const struct {
            plover_worksheet_t* ws;
            const char* name;
        } adds[] = {{first, "Sales"}, {first, "SALES"}, {second, "sales"}, {second, "sAlEs"}};
        for (const auto& a : adds) {
            EXPECT_EQ(ws_add_tabledef(a.ws, a.name, 10, 1, 12, 2), nullptr) << a.name;
            EXPECT_EQ(message(), taken) << a.name;
        }
        // Renaming another table to it is refused alike.
        ASSERT_EQ(ws_tabledef_count(second), 1);
        EXPECT_EQ(ws_set_tabledef_name(second, 0, "SaLeS"), 0);
        EXPECT_EQ(message(), taken);
        EXPECT_STREQ(ws_get_tabledef_name(second, 0), "Other");
    };
    const host_t host = [&](plover_workbook_t* wb) {
        EXPECT_EQ(message(), "The range of the table includes a partial area of merged cells.");
        ASSERT_NE(ws_add_tabledef(wb_get_sheet(wb, 1), "Other", 1, 1, 3, 2), nullptr) << message();
        refuses_the_name(wb);
    };
    vex::set_run_message("");
    const saves_t s = three_saves(package_of(c), host, refuses_the_name);
    ASSERT_EQ(s.message, "");
    for (const entries_t* copy : {&s.first, &s.third}) {
        std::vector<std::string> names;
        for (const std::string& n : table_part_values(*copy, "name"))
            if (lower(n) == "sales" || lower(n) == "other") names.push_back(n);
        // Each tableColumn has a name too: the table elements' come first in their parts.
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Other", "Sales"}));
    }
    expect_entry(s, "xl/tables/table1.xml", {R"(name="Sales")", R"(ref="A1:B4")", R"(name="TableStyleLight1")"}, {},
                 "kept table");
    expect_entry(s, "xl/worksheets/sheet1.xml", {R"(<mergeCell ref="B4:C4"/>)", R"(<tablePart r:id=")"}, {},
                 "kept table");
}

// A table keeps the style element its producer wrote: a style the workbook
// defines, or none at all (XlsxWriter's tables without a style, LibreOffice's
// tables). A name neither built in nor defined shows the default.
TEST(loaded_tables_round_trip, tables_keep_the_workbooks_own_style_or_none) {
    const std::string styles =
        R"(<dxfs count="1"><dxf><fill><patternFill patternType="solid"><bgColor rgb="FFFFC000"/></patternFill></fill>)"
        R"(</dxf></dxfs><tableStyles count="1" defaultTableStyle="TableStyleMedium2" )"
        R"(defaultPivotStyle="PivotStyleLight16"><tableStyle name="MyStyle" pivot="0" count="1">)"
        R"(<tableStyleElement type="wholeTable" dxfId="0"/></tableStyle></tableStyles>)";
    const struct {
        const char* name;
        std::string style_info;  // as the table part holds it
        bool workbook_styles;
        std::string style;      // td_style_name, after the load and each reload
        int row_strips;
        std::string saved;      // the element saved, or "" for none
        std::string message;    // left by the load
    } rows[] = {
        {"the workbook's own style",
         R"(<tableStyleInfo name="MyStyle" showFirstColumn="1" showLastColumn="0" showRowStripes="0" showColumnStripes="1"/>)",
         true, "MyStyle", 0,
         R"(<tableStyleInfo name="MyStyle" showFirstColumn="1" showLastColumn="0" showRowStripes="0" showColumnStripes="1"/>)",
         ""},
        {"no style element", "", false, "", 0, "", ""},
        {"no style name, as XlsxWriter writes it",
         R"(<tableStyleInfo showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)", false,
         "", 1, R"(<tableStyleInfo showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)",
         ""},
        {"no style name, as LibreOffice writes it",
         R"(<tableStyleInfo showFirstColumn="false" showLastColumn="false" showRowStripes="true" showColumnStripes="false"/>)",
         true, "", 1,
         R"(<tableStyleInfo showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)", ""},
        {"a built-in style", R"(<tableStyleInfo name="TableStyleLight9" showRowStripes="0"/>)", true,
         "TableStyleLight9", 0,
         R"(<tableStyleInfo name="TableStyleLight9" showFirstColumn="0" showLastColumn="0" showRowStripes="0" showColumnStripes="0"/>)",
         ""},
        {"a style nobody defines", R"(<tableStyleInfo name="Missing" showRowStripes="0"/>)", true, "TableStyleMedium2", 1,
         R"(<tableStyleInfo name="TableStyleMedium2" showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)",
         "No such table style: Missing"},
    };
    for (const auto& r : rows) {
        const auto style_of_t = [&](plover_workbook_t* wb) {
            plover_tabledef_t* td = ws_get_tabledef_by_name(wb_get_sheet(wb, 0), "T");
            ASSERT_NE(td, nullptr) << r.name << ": " << message();
            const char* style = td_style_name(td);
            EXPECT_EQ(std::string(style ? style : "(null)"), r.style) << r.name;
            EXPECT_EQ(td_row_strips(td), r.row_strips) << r.name;
        };
        const host_t host = [&](plover_workbook_t* wb) {
            EXPECT_EQ(message(), r.message) << r.name;
            style_of_t(wb);
            // A table the host adds shows the default style.
            plover_tabledef_t* fresh = ws_add_tabledef(wb_get_sheet(wb, 1), "Fresh", 1, 1, 3, 2);
            ASSERT_NE(fresh, nullptr) << r.name << ": " << message();
            EXPECT_STREQ(td_style_name(fresh), "TableStyleMedium2") << r.name;
        };
        entries_t package = package_of(table_sheet("T", r.style_info));
        if (r.workbook_styles) package = reader_test::with_styles(package, styles);
        vex::set_run_message("");  // what the load leaves is checked
        const saves_t s = three_saves(package, host, style_of_t);
        ASSERT_EQ(s.message, "") << r.name;
        for (const entries_t* copy : {&s.first, &s.third}) {
            const std::string part = package_test::find(*copy, "xl/tables/table1.xml");
            const size_t at = part.find("<tableStyleInfo");
            const std::string element = at == std::string::npos ? "" : part.substr(at, part.find("/>", at) + 2 - at);
            EXPECT_EQ(element, r.saved) << r.name << "\n" << part;
            // The rest of the table as read.
            EXPECT_NE(part.find(R"(<tableColumn id="2" name="Price"/>)"), std::string::npos) << r.name << "\n" << part;
            for (const auto& [entry, bytes] : *copy) {
                if (entry.starts_with("xl/tables/") && bytes.find(R"(name="Fresh")") != std::string::npos) {
                    EXPECT_NE(bytes.find(R"(<tableStyleInfo name="TableStyleMedium2")"), std::string::npos) << r.name;
                }
            }
        }
        if (r.workbook_styles) {
            expect_entry(s, "xl/styles.xml", {R"(<tableStyle name="MyStyle")"}, {}, r.name);
        }
    }
}

// openpyxl opens a copy holding a table the loader left out, one of the
// workbook's own style and one without a style, and sees each table once.
// (The clients entry runs this suite; real_clients is another file's fixture.)
TEST(openpyxl_load, kept_tables_and_their_styles) {
    REQUIRE_CLIENT("openpyxl");
    const std::string styles =
        R"(<dxfs count="1"><dxf><font><b/></font></dxf></dxfs><tableStyles count="1"><tableStyle name="MyStyle" )"
        R"(pivot="0" count="1"><tableStyleElement type="headerRow" dxfId="0"/></tableStyle></tableStyles>)";
    const std::string table2 =
        std::string(package_test::decl) + "<table xmlns=\"" + main_ns +
        R"(" id="2" name="Mine" displayName="Mine" ref="D1:E3"><tableColumns count="2"><tableColumn id="1" name="a"/>)"
        R"(<tableColumn id="2" name="b"/></tableColumns><tableStyleInfo name="MyStyle" showRowStripes="1"/></table>)";
    const std::string table3 =
        std::string(package_test::decl) + "<table xmlns=\"" + main_ns +
        R"(" id="3" name="Plain" displayName="Plain" ref="G1:H3"><tableColumns count="2"><tableColumn id="1" name="c"/>)"
        R"(<tableColumn id="2" name="d"/></tableColumns></table>)";
    crafted_t c = table_sheet("Sales", R"(<tableStyleInfo name="TableStyleLight1" showRowStripes="1"/>)", "B4:C4");
    std::string& body = c.sheets[0].first;
    body.insert(body.find(R"(</row><row r="2">)"),
                R"(<c r="D1" t="inlineStr"><is><t>a</t></is></c><c r="E1" t="inlineStr"><is><t>b</t></is></c>)"
                R"(<c r="G1" t="inlineStr"><is><t>c</t></is></c><c r="H1" t="inlineStr"><is><t>d</t></is></c>)");
    const std::string one_part = R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)";
    body.replace(body.find(one_part), one_part.size(),
                 R"(<tableParts count="3"><tablePart r:id="rId1"/><tablePart r:id="rId2"/><tablePart r:id="rId3"/></tableParts>)");
    c.sheets[0].second += package_test::rel("rId2", od + "table", "../tables/table2.xml") +
                          package_test::rel("rId3", od + "table", "../tables/table3.xml");
    c.extra.push_back({"xl/tables/table2.xml", table2});
    c.extra.push_back({"xl/tables/table3.xml", table3});
    c.extra_types += package_test::override_of("xl/tables/table2.xml", table_type) +
                     package_test::override_of("xl/tables/table3.xml", table_type);
    const host_t host = [](plover_workbook_t* wb) {
        EXPECT_EQ(ws_add_tabledef(wb_get_sheet(wb, 1), "SALES", 1, 1, 3, 2), nullptr);
        EXPECT_NE(ws_add_tabledef(wb_get_sheet(wb, 1), "Other", 1, 1, 3, 2), nullptr) << message();
    };
    const saves_t s = three_saves(reader_test::with_styles(package_of(c), styles), host);
    ASSERT_EQ(s.message, "");
    package_test::scratch_dir dir;
    const std::string path = dir / "copy.xlsx";
    package_test::write_zip(path, s.first);
    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
seen = []
for ws in wb.worksheets:
    for table in sorted(ws.tables.values(), key=lambda t: t.name):
        info = table.tableStyleInfo
        seen.append((ws.title, table.name, info.name if info is not None else None))
expected = [("Sheet1", "Mine", "MyStyle"), ("Sheet1", "Plain", None), ("Sheet1", "Sales", "TableStyleLight1"),
            ("Sheet2", "Other", "TableStyleMedium2")]
if seen != expected:
    sys.exit("tables: %r" % (seen,))
names = [table.name for sheet in wb.worksheets for table in sheet.tables.values()]
assert len({n.lower() for n in names}) == len(names), names
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {path}), 0);
}
