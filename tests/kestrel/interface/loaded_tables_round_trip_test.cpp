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
