// Filled-down formulas saved as shared groups, edited through the exports:
// each cell reads and saves what the same formula written out in full does,
// and every group saved is one a reader can rebuild.

#include "plover.h"
#include "tests/kestrel/interface/round_trip_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace package_test;

namespace {

using edit_t = std::function<int(plover_worksheet_t*)>;
using cells_t = std::map<std::pair<int, int>, std::string>;  // (row, col) to the cell's inner XML

std::string a1(int row, int col) {
    char buffer[16];
    row_col_to_a1(row, col, buffer);
    return buffer;
}

// Cells r1..r2 by c1..c2 reading text(row, col): one shared group, or written out in full.
void group(cells_t& cells, bool shared, const std::string& si, int r1, int c1, int r2, int c2,
           const std::function<std::string(int, int)>& text) {
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c)
            cells[{r, c}] = !shared ? "<f>" + text(r, c) + "</f>"
                            : r == r1 && c == c1
                                ? "<f t=\"shared\" ref=\"" + a1(r1, c1) + ":" + a1(r2, c2) + "\" si=\"" + si + "\">" +
                                      text(r, c) + "</f>"
                                : "<f t=\"shared\" si=\"" + si + "\"/>";
}

std::string sheet_data(const cells_t& cells) {
    std::string out = "<sheetData>";
    int row = 0;
    for (const auto& [at, inner] : cells) {
        if (at.first != row) out += (row ? "</row><row r=\"" : "<row r=\"") + std::to_string(at.first) + "\">";
        row = at.first;
        out += "<c r=\"" + a1(at.first, at.second) + "\">" + inner + "</c>";
    }
    return out + "</row></sheetData>";
}

// Sheet1: B1:B4 fill down C3*2, B8:E8 fill right C7+$H$1, values in C1:C8,
// B7:G7 and H1; Sheet2: A1:A3 fill down Sheet1!C1*10.
entries_t package(bool shared) {
    cells_t data, other;
    for (int r = 1; r <= 8; ++r) data[{r, 3}] = "<v>" + std::to_string(r) + "</v>";
    for (int c : {2, 4, 5, 6, 7}) data[{7, c}] = "<v>" + std::to_string(10 * c) + "</v>";
    data[{1, 8}] = "<v>100</v>";
    group(data, shared, "0", 1, 2, 4, 2, [](int r, int) { return "C" + std::to_string(r + 2) + "*2"; });
    group(data, shared, "1", 8, 2, 8, 5, [](int, int c) { return a1(7, c + 1) + "+$H$1"; });
    group(other, shared, "0", 1, 1, 3, 1, [](int r, int) { return "Sheet1!C" + std::to_string(r) + "*10"; });
    round_trip_test::crafted_t c;
    c.sheets = {{sheet_data(data), ""}, {sheet_data(other), ""}};
    return round_trip_test::package_of(c);
}

// Running totals over A1:A9 as applications save them: down B1:B8 and H3:H6
// from SUM($A$1:A1), right along E1:G1 from the same text and E2:G2 from SUM($C1:C2).
entries_t running_totals(bool shared) {
    cells_t data;
    for (int r = 1; r <= 9; ++r) data[{r, 1}] = "<v>" + std::to_string(r) + "</v>";
    for (int r : {1, 2}) data[{r, 3}] = "<v>" + std::to_string(10 * r) + "</v>";
    const auto total = [](const char* first, int r, int c) { return std::string("SUM(") + first + ":" + a1(r, c) + ")"; };
    group(data, shared, "0", 1, 2, 8, 2, [&](int r, int) { return total("$A$1", r, 1); });
    group(data, shared, "1", 3, 8, 6, 8, [&](int r, int) { return total("$A$1", r - 2, 1); });
    group(data, shared, "2", 1, 5, 1, 7, [&](int, int c) { return total("$A$1", 1, c - 4); });
    group(data, shared, "3", 2, 5, 2, 7, [&](int, int c) { return total("$C1", 2, c - 2); });
    round_trip_test::crafted_t c;
    c.sheets = {{sheet_data(data), ""}, {"<sheetData/>", ""}};
    return round_trip_test::package_of(c);
}

std::string formulas_of(plover_workbook_t* wb) {
    std::string out;
    for (int sheet : {0, 1})
        for (int r = 1; r <= 10; ++r)
            for (int c = 1; c <= 12; ++c)
                if (plover_worksheet_t* ws = wb_get_sheet(wb, sheet); ws_contains_formula(ws, r, c))
                    out += std::to_string(sheet + 1) + "!" + a1(r, c) + "=" + ws_get_formula_expr(ws, r, c) + " ";
    return out;
}

bool inside(const std::string& range, const std::string& cell) {
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0, r = 0, c = 0;
    a1_to_row_col(range.substr(0, range.find(':')).c_str(), &r1, &c1);
    a1_to_row_col(range.substr(range.find(':') + 1).c_str(), &r2, &c2);
    a1_to_row_col(cell.c_str(), &r, &c);
    return r >= r1 && r <= r2 && c >= c1 && c <= c2;
}

std::string attribute(const std::string& xml, size_t tag, const std::string& name) {
    const size_t at = xml.find(" " + name + "=\"", tag);
    if (at > xml.find('>', tag)) return "";
    const size_t value = at + name.size() + 3;
    return xml.substr(value, xml.find('"', value) - value);
}

// The saved cells of shared groups, first cells and followers, that stand
// outside their group's range or follow no first cell.
std::string outside_groups(const std::string& xml) {
    std::map<std::string, std::string> ranges;               // by shared index
    std::vector<std::pair<std::string, std::string>> cells;  // cell, shared index
    for (size_t f = xml.find("<f t=\"shared\""); f != std::string::npos; f = xml.find("<f t=\"shared\"", f + 1)) {
        if (const std::string ref = attribute(xml, f, "ref"); !ref.empty()) ranges[attribute(xml, f, "si")] = ref;
        cells.emplace_back(attribute(xml, xml.rfind("<c ", f), "r"), attribute(xml, f, "si"));
    }
    std::string out;
    for (const auto& [cell, si] : cells)
        if (!inside(ranges[si], cell)) out += cell + " ";
    return out;
}

struct edited_t {
    std::string after, reloaded;  // the formulas after the edit, and in the copies loaded again
    entries_t saved;
};

edited_t edit_and_reload(const entries_t& package, const edit_t& edit) {
    edited_t out;
    const round_trip_test::saves_t saves = round_trip_test::three_saves(
        package,
        [&](plover_workbook_t* wb) {
            out.after = edit(wb_get_sheet(wb, 0)) ? formulas_of(wb) : std::string("edit: ") + run_msg();
        },
        [&](plover_workbook_t* wb) { out.reloaded += formulas_of(wb) + "| "; });
    EXPECT_EQ(saves.message, "");
    out.saved = saves.first;
    return out;
}

} // namespace

TEST(shared_formula_edits, groups_read_and_save_as_written_out_through_shifts_and_merges) {
    const struct {
        const char* name;
        edit_t edit;
        entries_t (*package)(bool shared) = ::package;
    } cases[] = {
        {"row inserted in the group", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 2, 1); }},
        {"rows deleted in the group", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 2, 3); }},
        {"column inserted between a group and its values", [](plover_worksheet_t* ws) { return ws_insert_col(ws, 3, 2); }},
        {"column inside the row group deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 4, 4); }},
        {"down in column B", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 2, 2, 1); }},
        {"right in the first row", [](plover_worksheet_t* ws) { return ws_shift_range_right(ws, 1, 1, 1, 1); }},
        {"left in row 8", [](plover_worksheet_t* ws) { return ws_shift_range_left(ws, 8, 8, 3, 1); }},
        {"down after the first cell was overwritten",
         [](plover_worksheet_t* ws) { return ws_set_num(ws, 1, 2, 5) && ws_shift_range_down(ws, 2, 2, 1, 1); }},
        {"merge over the first cell", [](plover_worksheet_t* ws) { return ws_merge(ws, 1, 1, 1, 2); }},
        {"merge over a follower", [](plover_worksheet_t* ws) { return ws_merge(ws, 2, 1, 2, 2); }},
        {"running totals down in column B", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 2, 4, 1); },
         running_totals},
        {"row inserted in running totals", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 4, 1); }, running_totals},
        {"columns inserted in running totals", [](plover_worksheet_t* ws) { return ws_insert_col(ws, 5, 3); },
         running_totals},
        {"first column of running totals deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 1, 1); },
         running_totals},
        {"first row of running totals deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 1, 1); },
         running_totals},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const edited_t got = edit_and_reload(c.package(true), c.edit), want = edit_and_reload(c.package(false), c.edit);
        EXPECT_EQ(got.after, want.after);
        EXPECT_EQ(got.reloaded, want.reloaded);
        for (const char* sheet : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"})
            EXPECT_EQ(outside_groups(find(got.saved, sheet)), "") << find(got.saved, sheet);
    }
}

TEST(shared_formula_edits, merges_gather_error_values) {
    for (const int code : {ERRORCODE_NULL, ERRORCODE_SPILL}) {
        std::vector<int> read;  // A2's error after the merge and in each copy loaded, once B2 is empty
        const auto errors = [&](plover_workbook_t* wb) {
            plover_worksheet_t* ws = wb_get_sheet(wb, 0);
            read.push_back(ws_cell_type(ws, 2, 2) == CELLTYPE_EMPTY ? ws_get_error(ws, 2, 1) : -1);
        };
        const auto saves = round_trip_test::three_saves({}, [&](plover_workbook_t* wb) {
            ws_set_error(wb_get_sheet(wb, 0), 2, 2, code);
            ws_merge(wb_get_sheet(wb, 0), 2, 1, 2, 2);
            errors(wb);
        }, errors);
        EXPECT_EQ(saves.message, "");
        EXPECT_EQ(read, std::vector<int>(3, code));
    }
}

// openpyxl reads each cell's formula as written out in full, and LibreOffice
// computes the gathered first cell and the followers left behind. (Run with
// the openpyxl suite: the real_clients suite's tests share a fixture.)
TEST(openpyxl_load, shared_groups_after_shifts_and_merges) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package(true));
    const std::pair<const char*, edit_t> edits[] = {
        {"inserted.xlsx", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 2, 1); }},
        {"merged.xlsx", [](plover_worksheet_t* ws) { return ws_merge(ws, 1, 1, 1, 2); }},
    };
    for (const auto& [file, edit] : edits) {
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        ASSERT_TRUE(edit(wb_get_sheet(doc_get_workbook(doc), 0))) << run_msg();
        ASSERT_EQ(doc_save(doc, (dir / file).c_str()), 1) << run_msg();
        doc_release(doc);
    }
    const std::string check = R"PY(import sys, warnings, openpyxl
warnings.simplefilter("error")
want = {"inserted.xlsx": {"B1": "=C4*2", "B3": "=C5*2", "B5": "=C7*2", "C9": "=D8+$H$1"},
        "merged.xlsx": {"A1": "=C3*2", "B1": None, "B2": "=C4*2", "B4": "=C6*2"}}
for name, cells in want.items():
    ws = openpyxl.load_workbook(sys.argv[1] + "/" + name).active
    got = {ref: ws[ref].value for ref in cells}
    assert got == cells, (name, got)
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir.path.string()}), 0);
    ASSERT_EQ(writer_test::convert_to_csv(dir, {dir / "merged.xlsx"}, dir.path.string()), 0);
    std::istringstream csv(slurp(dir / "merged-Sheet1.csv"));
    for (const char* row : {"6,,1", ",8,2", ",10,3", ",12,4"}) {  // C3..C6 hold 3..6
        std::string line;
        std::getline(csv, line);
        EXPECT_TRUE(line.starts_with(row)) << line;
    }
}
