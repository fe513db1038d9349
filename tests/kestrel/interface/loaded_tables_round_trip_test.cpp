// Sheets and tables as other producers write them, which the model once took
// half-way: each package loads (or is refused), is edited, saved and reloaded.
#include "plover.h"
#include "run_message.h"
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace round_trip_test;

namespace {

const std::string taken = "Table name already exists.";

std::string message() { return run_msg() ? run_msg() : "(null)"; }

// A table over A1:B4 of the first of two sheets; `merge`, if any, is merged.
crafted_t table_sheet(const std::string& name, const std::string& style_info, const std::string& merge = "") {
    crafted_t c;
    c.sheets = {{R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>Item</t></is></c><c r="B1" t="inlineStr">)"
                 R"(<is><t>Price</t></is></c></row></sheetData>)" +
                     (merge.empty() ? "" : "<mergeCells count=\"1\"><mergeCell ref=\"" + merge + "\"/></mergeCells>") +
                     R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)",
                 package_test::rel("rId1", std::string(package_test::od) + "table", "../tables/table1.xml")},
                {"<sheetData/>", ""}};
    c.extra = {{"xl/tables/table1.xml", std::string(package_test::decl) + "<table xmlns=\"" + main_ns +
                                            "\" id=\"1\" name=\"" + name + "\" displayName=\"" + name +
                                            R"(" ref="A1:B4"><tableColumns count="2"><tableColumn id="1" name="Item"/>)"
                                            R"(<tableColumn id="2" name="Price"/></tableColumns>)" + style_info + "</table>"}};
    c.extra_types = package_test::override_of(
        "xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml");
    return c;
}

// The sheet's table "Sales" stays out of the model; the host's own table
// "Other" on the second sheet may not take its name, in any case.
const host_t sales_taken = [](plover_workbook_t* wb) {
    EXPECT_EQ(ws_add_tabledef(wb_get_sheet(wb, 0), "Sales", 10, 1, 12, 2), nullptr);
    EXPECT_EQ(ws_add_tabledef(wb_get_sheet(wb, 1), "sALES", 10, 1, 12, 2), nullptr);
    EXPECT_EQ(message(), taken);
    EXPECT_EQ(ws_set_tabledef_name(wb_get_sheet(wb, 1), 0, "SALES"), 0);
    EXPECT_EQ(message(), taken);
};
const host_t add_other = [](plover_workbook_t* wb) {
    ASSERT_NE(ws_add_tabledef(wb_get_sheet(wb, 1), "Other", 1, 1, 3, 2), nullptr) << message();
    sales_taken(wb);
};

} // namespace

TEST(loaded_tables_round_trip, a_sheet_name_two_sheets_share_is_refused) {
    const struct {
        std::string third;
        std::string refusal;  // empty: loads
    } rows[] = {{"One", "The sheet name \"One\" is used by more than one sheet."}, {"ONE", ""}};
    for (const auto& r : rows) {
        crafted_t c;
        c.sheets.resize(3, {"<sheetData/>", ""});
        c.book_body = R"(<sheets><sheet name="One" sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/>)"
                      R"(<sheet name=")" + r.third + R"(" sheetId="3" r:id="rId3"/></sheets>)";
        const saves_t s = three_saves(package_of(c), {});
        if (r.refusal.empty())
            expect_entry(s, "xl/workbook.xml", {R"(name="One")", R"(name="ONE")"}, {}, r.third);
        else
            EXPECT_NE(s.message.find(r.refusal), std::string::npos) << s.message;
    }
}

TEST(loaded_tables_round_trip, the_name_of_a_table_the_loader_leaves_out_stays_taken) {
    for (const bool cut_by_merge : {true, false}) {
        crafted_t c = table_sheet("Sales", "", cut_by_merge ? "B4:C4" : "");
        if (!cut_by_merge) c.extra[0].second.erase(c.extra[0].second.find(R"( ref="A1:B4")"), 12);
        const saves_t s = three_saves(package_of(c), add_other, sales_taken);
        ASSERT_EQ(s.message, "") << cut_by_merge;
        expect_entry(s, "xl/tables/table1.xml", {R"(name="Sales")"}, {}, "kept table");
    }
}

// A table keeps the style element it is read with, the workbook's own style or
// none; the host's style or stripes bring one back.
TEST(loaded_tables_round_trip, tables_keep_the_workbooks_own_style_or_none) {
    const std::string own = R"(<tableStyles count="1"><tableStyle name="Own" count="0"/></tableStyles>)";
    const std::string flags = R"( showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)";
    const struct {
        std::string read;
        void (*edit)(plover_tabledef_t*);
        std::string style, saved;  // saved: "" for as read
    } rows[] = {
        {"<tableStyleInfo name=\"Own\"" + flags, nullptr, "Own", ""},
        {"", nullptr, "", ""},
        {"<tableStyleInfo" + flags, nullptr, "", ""},
        {"<tableStyleInfo name=\"Missing\"" + flags, nullptr, "TableStyleMedium2",
         "<tableStyleInfo name=\"TableStyleMedium2\"" + flags},
        {"", [](plover_tabledef_t* td) { td_set_row_strips(td, 1); }, "", "<tableStyleInfo" + flags},
        {"", [](plover_tabledef_t* td) { td_set_style_name(td, "TableStyleLight2"); }, "TableStyleLight2",
         R"(<tableStyleInfo name="TableStyleLight2" showFirstColumn="0" showLastColumn="0" showRowStripes="0" )"
         R"(showColumnStripes="0"/>)"},
    };
    for (const auto& r : rows) {
        const auto t_of = [](plover_workbook_t* wb) { return ws_get_tabledef_by_name(wb_get_sheet(wb, 0), "T"); };
        const host_t check = [&](plover_workbook_t* wb) {
            ASSERT_NE(t_of(wb), nullptr) << r.read;
            EXPECT_STREQ(td_style_name(t_of(wb)), r.style.c_str()) << r.read;
        };
        const host_t host = [&](plover_workbook_t* wb) {
            if (r.edit && t_of(wb)) r.edit(t_of(wb));
            check(wb);
        };
        const saves_t s = three_saves(reader_test::with_styles(package_of(table_sheet("T", r.read)), own), host, check);
        ASSERT_EQ(s.message, "") << r.read;
        const std::string part = package_test::find(s.third, "xl/tables/table1.xml");
        const size_t at = part.find("<tableStyleInfo");
        EXPECT_EQ(at == std::string::npos ? "" : part.substr(at, part.find("/>", at) + 2 - at),
                  r.saved.empty() ? r.read : r.saved);
    }
}

// openpyxl reads a table the loader left out beside the host's, and a table
// whose style element has no name, each once.
TEST(openpyxl_load, kept_tables_and_their_styles) {
    REQUIRE_CLIENT("openpyxl");
    package_test::scratch_dir dir;
    const saves_t kept = three_saves(package_of(table_sheet("Sales", "", "B4:C4")), add_other);
    const saves_t plain = three_saves(package_of(table_sheet("Plain", R"(<tableStyleInfo showRowStripes="1"/>)")), {});
    ASSERT_EQ(kept.message + plain.message, "");
    package_test::write_zip(dir / "kept.xlsx", kept.first);
    package_test::write_zip(dir / "plain.xlsx", plain.first);
    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
seen = [(ws.title, t.name, t.tableStyleInfo.name if t.tableStyleInfo else None)
        for path in sys.argv[1:] for ws in openpyxl.load_workbook(path).worksheets for t in ws.tables.values()]
if seen != [("Sheet1", "Sales", None), ("Sheet2", "Other", "TableStyleMedium2"), ("Sheet1", "Plain", None)]:
    sys.exit("tables: %r" % (seen,))
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "kept.xlsx", dir / "plain.xlsx"}), 0);
}
