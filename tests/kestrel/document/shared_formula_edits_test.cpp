// Filled-down formulas saved as shared groups, as spreadsheet applications
// write them, edited through the exports: after every shift and merge each
// cell of a group reads and saves what the same formula written out in full
// reads and saves, and every group saved is one a reader can rebuild.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace package_test;

namespace {

using edit_t = std::function<int(plover_worksheet_t*)>;

std::string a1(int row, int col) {
    char buffer[16];
    row_col_to_a1(row, col, buffer);
    return buffer;
}

// B1:B4 fill down C3*2 and B8:E8 fill right C7+$H$1, as shared groups or
// written out in full; values in H1, C1:C8 and B7:G7.
std::string sheet_data(bool shared) {
    std::string out = "<sheetData>";
    for (int r = 1; r <= 8; ++r) {
        out += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 1; c <= 8; ++c) {
            const bool down = c == 2 && r <= 4, right = r == 8 && c >= 2 && c <= 5;
            const bool first = (down && r == 1) || (right && c == 2);
            std::string inner;
            if (down || right) {
                const std::string text = down ? "C" + std::to_string(r + 2) + "*2" : a1(7, c + 1) + "+$H$1";
                const std::string si = down ? "0" : "1", ref = down ? "B1:B4" : "B8:E8";
                if (!shared) inner = "<f>" + text + "</f>";
                else if (first) inner = "<f t=\"shared\" ref=\"" + ref + "\" si=\"" + si + "\">" + text + "</f>";
                else inner = "<f t=\"shared\" si=\"" + si + "\"/>";
            } else if (c == 3 || (r == 7 && c >= 2 && c <= 7) || (r == 1 && c == 8)) {
                inner = "<v>" + std::to_string(c == 8 ? 100 : r == 7 ? 10 * (c - 1) : r) + "</v>";
            }
            if (!inner.empty()) out += "<c r=\"" + a1(r, c) + "\">" + inner + "</c>";
        }
        out += "</row>";
    }
    return out + "</sheetData>";
}

// A workbook of the named sheets with the given sheetData.
entries_t book(const std::vector<std::pair<std::string, std::string>>& sheets) {
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    std::string overrides =
        override_of("xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
    std::string list, book_rels;
    entries_t parts;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1), part = "worksheets/sheet" + n + ".xml";
        overrides += override_of("xl/" + part, sheet_type);
        list += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        book_rels += rel("rId" + n, std::string(od) + "worksheet", part);
        parts.push_back({"xl/" + part, std::string(decl) + "<worksheet xmlns=\"" + reader_test::main_ns + "\">" +
                                           sheets[i].second + "</worksheet>"});
    }
    entries_t e = {{"[Content_Types].xml", types(overrides)},
                   {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
                   {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + reader_test::main_ns +
                                           "\" xmlns:r=\"" + reader_test::rel_ns + "\"><sheets>" + list +
                                           "</sheets></workbook>"},
                   {"xl/_rels/workbook.xml.rels", rels(book_rels)}};
    e.insert(e.end(), parts.begin(), parts.end());
    return e;
}

// Every formula of A1:H10 as "B1=C3*2 B2=...", row by row.
std::string formulas_of(plover_worksheet_t* ws) {
    std::string out;
    for (int r = 1; r <= 10; ++r)
        for (int c = 1; c <= 8; ++c)
            if (const char* f = ws_contains_formula(ws, r, c) ? ws_get_formula_expr(ws, r, c) : nullptr)
                out += a1(r, c) + "=" + f + " ";
    return out;
}

struct edited_t {
    std::string after;     // the formulas after the edit
    std::string reloaded;  // and in the saved copy, loaded again
    std::string xml;       // the saved sheet
};

// Loads the book, edits sheet `at` (0-based), saves, reloads; probes that sheet.
edited_t edit_and_reload(const entries_t& package, const edit_t& edit, int at = 0, int probe = 0) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package);
    edited_t out;
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    if (!doc) {
        out.after = std::string("load: ") + run_msg();
        return out;
    }
    plover_workbook_t* wb = doc_get_workbook(doc);
    if (!edit(wb_get_sheet(wb, at))) out.after = std::string("edit: ") + run_msg() + " ";
    out.after += formulas_of(wb_get_sheet(wb, probe));
    const int saved = doc_save(doc, (dir / "out.xlsx").c_str());
    doc_release(doc);
    if (!saved) {
        out.reloaded = std::string("save: ") + run_msg();
        return out;
    }
    const entries_t copy = read_zip(dir / "out.xlsx");
    out.xml = find(copy, "xl/worksheets/sheet" + std::to_string(probe + 1) + ".xml");
    doc = doc_load((dir / "out.xlsx").c_str());
    out.reloaded = doc ? formulas_of(wb_get_sheet(doc_get_workbook(doc), probe)) : std::string("load: ") + run_msg();
    doc_release(doc);
    return out;
}

bool inside(const std::string& range, const std::string& cell) {
    const size_t colon = range.find(':');
    int r1, c1, r2, c2, r, c;
    a1_to_row_col(range.substr(0, colon).c_str(), &r1, &c1);
    a1_to_row_col(range.substr(colon + 1).c_str(), &r2, &c2);
    a1_to_row_col(cell.c_str(), &r, &c);
    return r >= r1 && r <= r2 && c >= c1 && c <= c2;
}

// What is wrong with the saved groups: a first cell outside its range, a
// follower without a first cell or outside its range. Empty when sound.
std::string unsound_groups(const std::string& xml) {
    static const std::regex cell(R"re(<c r="([A-Z]+[0-9]+)"[^>]*>(<f [^>]*>))re");
    static const std::regex attr(R"re(([a-z]+)="([^"]*)")re");
    std::map<std::string, std::string> ranges;                      // shared index, range
    std::vector<std::pair<std::string, std::string>> followers;   // cell, shared index
    std::string faults;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), cell); it != std::sregex_iterator(); ++it) {
        const std::string at = (*it)[1], tag = (*it)[2];
        std::map<std::string, std::string> a;
        for (auto m = std::sregex_iterator(tag.begin(), tag.end(), attr); m != std::sregex_iterator(); ++m)
            a[(*m)[1]] = (*m)[2];
        if (a["t"] != "shared") continue;
        if (a.count("ref")) {
            if (ranges.count(a["si"])) faults += "si " + a["si"] + " has two first cells; ";
            ranges[a["si"]] = a["ref"];
            if (!inside(a["ref"], at)) faults += at + " outside its range " + a["ref"] + "; ";
        } else {
            followers.push_back({at, a["si"]});
        }
    }
    for (const auto& [at, si] : followers) {
        if (!ranges.count(si)) faults += at + " follows no first cell; ";
        else if (!inside(ranges[si], at)) faults += at + " outside " + ranges[si] + "; ";
    }
    return faults;
}

int shared_followers(const std::string& xml) {
    int n = 0;
    for (size_t at = xml.find("<f t=\"shared\" si="); at != std::string::npos; at = xml.find("<f t=\"shared\" si=", at + 1))
        ++n;
    return n;
}

struct edit_case_t {
    const char* name;
    edit_t edit;
    const char* pinned = "";  // formulas that must read so after the edit
    bool still_shared = false;  // followers stay in their groups
};

// Each edit on the shared sheet and on the same sheet written out in full:
// the same formulas after it and after a save and load, and sound groups.
void expect_as_written_out(const std::vector<edit_case_t>& cases) {
    const entries_t shared = book({{"Data", sheet_data(true)}});
    const entries_t full = book({{"Data", sheet_data(false)}});
    for (const edit_case_t& c : cases) {
        SCOPED_TRACE(c.name);
        const edited_t got = edit_and_reload(shared, c.edit);
        const edited_t want = edit_and_reload(full, c.edit);
        EXPECT_EQ(got.after, want.after);
        EXPECT_EQ(got.reloaded, want.after);
        EXPECT_EQ(want.reloaded, want.after);
        EXPECT_NE(got.after.find(c.pinned), std::string::npos) << got.after;
        EXPECT_EQ(unsound_groups(got.xml), "") << got.xml;
        if (c.still_shared) {
            EXPECT_EQ(shared_followers(got.xml), 6) << got.xml;
        }
    }
}

} // namespace

// Rows and columns inserted or deleted across the whole sheet.
TEST(shared_formula_edits, followers_read_as_written_out_after_inserts_and_deletes) {
    expect_as_written_out({
        {"row inserted in the group", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 2, 1); },
         "B1=C4*2 B3=C5*2 B4=C6*2 B5=C7*2 "},
        {"rows inserted above", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 1, 2); }, "B3=C5*2 B4=C6*2 ", true},
        {"row inserted between the groups", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 6, 1); },
         "B4=C7*2 "},
        {"first row deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 1, 1); }, "B1=C3*2 B2=C4*2 B3=C5*2 "},
        {"middle rows deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 2, 3); }, "B1=#REF!*2 B2=C4*2 "},
        {"last rows deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 4, 8); }, "B3=#REF!*2 "},
        {"row of the referenced values deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 7, 7); }},
        {"column inserted before", [](plover_worksheet_t* ws) { return ws_insert_col(ws, 1, 1); },
         "C1=D3*2 C2=D4*2 ", true},
        {"column inserted between a group and its values", [](plover_worksheet_t* ws) { return ws_insert_col(ws, 3, 2); },
         "B1=E3*2 B2=E4*2 "},
        {"column of the group deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 2, 2); }},
        {"column with $H$1 deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 8, 8); },
         "B8=C7+#REF! C8=D7+#REF! "},
        {"first column deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 1, 1); },
         "A1=B3*2 A2=B4*2 A3=B5*2 A4=B6*2 A8=B7+$G$1 ", true},
        {"referenced column deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 3, 3); },
         "B1=#REF!*2 B2=#REF!*2 "},
        {"column inside the row group deleted", [](plover_worksheet_t* ws) { return ws_delete_col(ws, 4, 4); },
         "B8=C7+$G$1 C8=#REF!+$G$1 D8=E7+$G$1 "},
    });
}

// Cells shifted within a band: the group's cells in the band move, the others
// stay, and references outside the band stay.
TEST(shared_formula_edits, followers_read_as_written_out_after_range_shifts) {
    expect_as_written_out({
        {"down in column B", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 2, 2, 1); },
         "B1=C3*2 B3=C4*2 B4=C5*2 B5=C6*2 "},
        {"down in columns B:C", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 3, 2, 1); },
         "B1=C4*2 B3=C5*2 "},
        {"down in column C", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 3, 3, 4, 2); },
         "B1=C3*2 B2=C6*2 "},
        {"up in column B", [](plover_worksheet_t* ws) { return ws_shift_range_up(ws, 2, 2, 2, 1); },
         "B1=C4*2 B2=C5*2 B3=C6*2 "},
        {"up in column B from the second row", [](plover_worksheet_t* ws) { return ws_shift_range_up(ws, 2, 2, 4, 2); },
         "B1=C3*2 B2=C6*2 "},
        {"right in the first row", [](plover_worksheet_t* ws) { return ws_shift_range_right(ws, 1, 1, 1, 1); },
         "C1=C3*2 B2=C4*2 "},
        {"right in rows 2 to 3", [](plover_worksheet_t* ws) { return ws_shift_range_right(ws, 2, 3, 2, 1); },
         "B1=D3*2 C2=C4*2 C3=C5*2 B4=C6*2 "},
        {"right in row 8 from column C", [](plover_worksheet_t* ws) { return ws_shift_range_right(ws, 8, 8, 3, 1); },
         "B8=C7+$H$1 D8=D7+$H$1 E8=E7+$H$1 F8=F7+$H$1 "},
        {"right in rows 7 to 8", [](plover_worksheet_t* ws) { return ws_shift_range_right(ws, 7, 8, 1, 1); },
         "C8=D7+$H$1 D8=E7+$H$1 ", false},
        {"left in row 8", [](plover_worksheet_t* ws) { return ws_shift_range_left(ws, 8, 8, 3, 1); },
         "B8=D7+$H$1 C8=E7+$H$1 D8=F7+$H$1 "},
        {"left in rows 2 to 3", [](plover_worksheet_t* ws) { return ws_shift_range_left(ws, 2, 3, 2, 1); },
         "B1=B3*2 A2=C4*2 A3=C5*2 B4=C6*2 "},
    });
}

// A merge gathers a group's cell into its top-left as a formula of its own,
// with the text it read where it was; the rest of the group keeps theirs.
TEST(shared_formula_edits, merges_gather_a_cell_of_a_group_with_its_own_text) {
    expect_as_written_out({
        {"over the first cell", [](plover_worksheet_t* ws) { return ws_merge(ws, 1, 1, 1, 2); },
         "A1=C3*2 B2=C4*2 B3=C5*2 B4=C6*2 "},
        {"over a follower", [](plover_worksheet_t* ws) { return ws_merge(ws, 2, 1, 2, 2); },
         "B1=C3*2 A2=C4*2 B3=C5*2 "},
        {"over the first cell of a row group", [](plover_worksheet_t* ws) { return ws_merge(ws, 8, 1, 8, 2); },
         "A8=C7+$H$1 C8=D7+$H$1 "},
        {"over a follower and its neighbour", [](plover_worksheet_t* ws) { return ws_merge(ws, 2, 1, 3, 2); },
         "B1=C3*2 A2=C4*2 B4=C6*2 "},
    });
    // The first cell gathered is saved as a formula of its own.
    const edited_t merged = edit_and_reload(book({{"Data", sheet_data(true)}}),
                                            [](plover_worksheet_t* ws) { return ws_merge(ws, 1, 1, 1, 2); });
    EXPECT_NE(merged.xml.find("<c r=\"A1\"><f>C3*2</f>"), std::string::npos) << merged.xml;
}

// A sheet's followers naming another sheet follow its shifts as their own
// texts would.
TEST(shared_formula_edits, followers_on_another_sheet_follow_its_shifts) {
    std::string rows;
    const char* first[] = {"<f t=\"shared\" ref=\"A1:A3\" si=\"0\">Sheet1!A1*10</f>",
                           "<f t=\"shared\" ref=\"B1:B3\" si=\"1\">Sheet1!$A$1+A1</f>"};
    for (int r = 1; r <= 3; ++r) {
        rows += "<row r=\"" + std::to_string(r) + "\">";
        for (int c : {0, 1})
            rows += "<c r=\"" + a1(r, c + 1) + "\">" +
                    (r == 1 ? first[c] : "<f t=\"shared\" si=\"" + std::to_string(c) + "\"/>") + "</c>";
        rows += "</row>";
    }
    const entries_t package = book({{"Sheet1", "<sheetData/>"}, {"Sheet2", "<sheetData>" + rows + "</sheetData>"}});
    const struct {
        const char* name;
        edit_t edit;
        const char* formulas;  // on Sheet2
        bool still_shared;
    } cases[] = {
        {"row inserted", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 2, 1); },
         "A1=Sheet1!A1*10 B1=Sheet1!$A$1+A1 A2=Sheet1!A3*10 B2=Sheet1!$A$1+A2 A3=Sheet1!A4*10 B3=Sheet1!$A$1+A3 ", false},
        {"rows inserted above", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 1, 1); },
         "A1=Sheet1!A2*10 B1=Sheet1!$A$2+A1 A2=Sheet1!A3*10 B2=Sheet1!$A$2+A2 A3=Sheet1!A4*10 B3=Sheet1!$A$2+A3 ", true},
        {"row deleted", [](plover_worksheet_t* ws) { return ws_delete_row(ws, 2, 2); },
         "A1=Sheet1!A1*10 B1=Sheet1!$A$1+A1 A2=Sheet1!#REF!*10 B2=Sheet1!$A$1+A2 A3=Sheet1!A2*10 B3=Sheet1!$A$1+A3 ", false},
        {"column inserted", [](plover_worksheet_t* ws) { return ws_insert_col(ws, 1, 1); },
         "A1=Sheet1!B1*10 B1=Sheet1!$B$1+A1 A2=Sheet1!B2*10 B2=Sheet1!$B$1+A2 A3=Sheet1!B3*10 B3=Sheet1!$B$1+A3 ", true},
        {"shifted down in column B", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 2, 1, 1); },
         "A1=Sheet1!A1*10 B1=Sheet1!$A$1+A1 A2=Sheet1!A2*10 B2=Sheet1!$A$1+A2 A3=Sheet1!A3*10 B3=Sheet1!$A$1+A3 ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const edited_t got = edit_and_reload(package, c.edit, 0, 1);
        EXPECT_EQ(got.after, c.formulas);
        EXPECT_EQ(got.reloaded, c.formulas);
        EXPECT_EQ(unsound_groups(got.xml), "") << got.xml;
        EXPECT_EQ(shared_followers(got.xml) == 4, c.still_shared) << got.xml;
    }
}

// A merge gathers an error value as it gathers numbers and booleans.
TEST(shared_formula_edits, merges_gather_error_values) {
    for (const int code : {ERRORCODE_NULL, ERRORCODE_DIV0, ERRORCODE_NA, ERRORCODE_SPILL}) {
        SCOPED_TRACE(code);
        const auto edit = [code](plover_worksheet_t* ws) {
            return ws_set_error(ws, 2, 2, code) && ws_merge(ws, 2, 1, 2, 2);
        };
        scratch_dir dir;
        plover_document_t* doc = create_document();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        ASSERT_TRUE(edit(ws)) << run_msg();
        EXPECT_EQ(ws_get_error(ws, 2, 1), code);
        EXPECT_EQ(ws_cell_type(ws, 2, 2), CELLTYPE_EMPTY);
        ASSERT_EQ(doc_save(doc, (dir / "e.xlsx").c_str()), 1) << run_msg();
        doc_release(doc);
        doc = doc_load((dir / "e.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        EXPECT_EQ(ws_get_error(wb_get_sheet(doc_get_workbook(doc), 0), 2, 1), code);
        doc_release(doc);
    }
}

// openpyxl reads every cell's formula as written out in full, and LibreOffice
// computes the gathered first cell and the followers left behind. (The suite
// of the client tests that share a fixture takes no plain test: this one runs
// with the other clients through the openpyxl suite.)
TEST(openpyxl_load, shared_groups_after_shifts_and_merges) {
    scratch_dir dir;
    const entries_t shared = book({{"Data", sheet_data(true)}});
    const struct {
        const char* file;
        edit_t edit;
    } edits[] = {
        {"inserted.xlsx", [](plover_worksheet_t* ws) { return ws_insert_row(ws, 2, 1); }},
        {"shifted.xlsx", [](plover_worksheet_t* ws) { return ws_shift_range_down(ws, 2, 2, 2, 1); }},
        {"merged.xlsx", [](plover_worksheet_t* ws) { return ws_merge(ws, 1, 1, 1, 2); }},
    };
    write_zip(dir / "in.xlsx", shared);
    for (const auto& e : edits) {
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        ASSERT_TRUE(e.edit(wb_get_sheet(doc_get_workbook(doc), 0))) << run_msg();
        ASSERT_EQ(doc_save(doc, (dir / e.file).c_str()), 1) << run_msg();
        doc_release(doc);
    }
    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
want = {
    "inserted.xlsx": {"B1": "=C4*2", "B3": "=C5*2", "B4": "=C6*2", "B5": "=C7*2", "B9": "=C8+$H$1", "C9": "=D8+$H$1"},
    "shifted.xlsx": {"B1": "=C3*2", "B3": "=C4*2", "B4": "=C5*2", "B5": "=C6*2", "B8": 10, "B9": "=C7+$H$1",
                     "C8": "=D7+$H$1", "E8": "=F7+$H$1"},
    "merged.xlsx": {"A1": "=C3*2", "B1": None, "B2": "=C4*2", "B3": "=C5*2", "B4": "=C6*2"},
}
for name, cells in want.items():
    ws = openpyxl.load_workbook(sys.argv[1] + "/" + name).active
    got = {ref: ws[ref].value for ref in cells}
    assert got == cells, (name, got)
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir.path.string()}), 0);

    ASSERT_EQ(writer_test::convert_to_csv(dir, {dir / "merged.xlsx"}, dir.path.string()), 0);
    const std::string csv = slurp(dir / "merged-Data.csv");
    // C3..C6 hold 3..6: A1 gathers C3*2, B2:B4 read C4*2..C6*2.
    std::vector<std::string> lines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 4u) << csv;
    EXPECT_EQ(lines[0].substr(0, 2), "6,") << csv;
    EXPECT_EQ(lines[1].substr(0, 4), ",8,2") << csv;
    EXPECT_EQ(lines[2].substr(0, 5), ",10,3") << csv;
    EXPECT_EQ(lines[3].substr(0, 5), ",12,4") << csv;
}
