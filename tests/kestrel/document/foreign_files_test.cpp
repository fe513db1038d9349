// Packages as other producers write them (XlsxWriter, openpyxl, LibreOffice,
// a current spreadsheet application), crafted where the producer's own run
// is not needed: each loads, an optional edit is made, the save is checked
// in its XML and loaded again with the same reading.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <functional>
#include <string>
#include <vector>

using namespace package_test;

namespace {

using probe_t = std::function<std::string(plover_document_t*)>;
using edit_t = std::function<void(plover_document_t*)>;

plover_worksheet_t* sheet0(plover_document_t* doc) { return wb_get_sheet(doc_get_workbook(doc), 0); }

struct saved_t {
    std::string loaded;    // the probe after the load, or "load: TEXT"
    std::string reloaded;  // the probe on the saved copy
    entries_t copy;
};

// Loads, edits, saves and loads the copy.
saved_t save_and_reload(const entries_t& package, const probe_t& probe, const edit_t& edit = {}) {
    scratch_dir dir;
    saved_t out;
    write_zip(dir / "in.xlsx", package);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    if (!doc) {
        out.loaded = std::string("load: ") + run_msg();
        return out;
    }
    out.loaded = probe(doc);
    if (edit) edit(doc);
    const int saved = doc_save(doc, (dir / "out.xlsx").c_str());
    doc_release(doc);
    if (!saved) {
        out.reloaded = std::string("save: ") + run_msg();
        return out;
    }
    out.copy = read_zip(dir / "out.xlsx");
    doc = doc_load((dir / "out.xlsx").c_str());
    out.reloaded = doc ? probe(doc) : std::string("load: ") + run_msg();
    doc_release(doc);
    return out;
}

std::string sheet_xml(const saved_t& s) { return find(s.copy, "xl/worksheets/sheet1.xml"); }

std::string one_row(const std::string& cells) { return "<sheetData><row r=\"1\">" + cells + "</row></sheetData>"; }

// A1 as number, error code or text.
std::string a1_value(plover_document_t* d) {
    plover_worksheet_t* ws = sheet0(d);
    char buffer[40];
    switch (ws_cell_type(ws, 1, 1)) {
    case CELLTYPE_NUMBER: std::snprintf(buffer, sizeof buffer, "%.17g", ws_get_num(ws, 1, 1)); return buffer;
    case CELLTYPE_ERROR: return "error " + std::to_string(ws_get_error(ws, 1, 1));
    default: return "other";
    }
}

} // namespace

// XlsxWriter and openpyxl round the largest double up past it; LibreOffice
// writes xsd:double's INF. A cell holds neither infinity nor NaN.
TEST(foreign_files, the_largest_numbers_read_as_the_nearest_a_cell_holds) {
    const std::string max = "1.7976931348623157e+308";
    const struct {
        const char* v;
        std::string value;  // after the load and the reload
        const char* saved;  // the value element saved
    } rows[] = {
        {"1.797693134862316E+308", max, "<v>1.7976931348623157e+308</v>"},
        {"-1.797693134862316E+308", "-" + max, "<v>-1.7976931348623157e+308</v>"},
        {"1e400", max, "<v>1.7976931348623157e+308</v>"},
        {"0.00001e400", max, "<v>1.7976931348623157e+308</v>"},
        {"INF", max, "<v>1.7976931348623157e+308</v>"},
        {" -INF ", "-" + max, "<v>-1.7976931348623157e+308</v>"},
        {"NaN", "error " + std::to_string(ERRORCODE_NUM), "<v>#NUM!</v>"},
        {"1e-400", "0", "<v>0</v>"},
        {"100000e-400", "0", "<v>0</v>"},
    };
    for (const auto& r : rows) {
        const saved_t s = save_and_reload(reader_test::sheet_package(one_row("<c r=\"A1\"><v>" + std::string(r.v) + "</v></c>")), a1_value);
        EXPECT_EQ(s.loaded, r.value) << r.v;
        EXPECT_EQ(s.reloaded, r.value) << r.v;
        EXPECT_NE(sheet_xml(s).find(r.saved), std::string::npos) << r.v << "\n" << sheet_xml(s);
    }
    // A formula's cached result reads the same way.
    const saved_t f = save_and_reload(reader_test::sheet_package(one_row("<c r=\"A1\"><f>B1*2</f><v>INF</v></c>")),
                                      [](plover_document_t* d) { return std::to_string(ws_get_num(sheet0(d), 1, 1) == DBL_MAX); });
    EXPECT_EQ(f.loaded, "1");
    // Texts that are no number stay refused.
    for (const char* v : {"abc", "0x10", "inf", "nan", "Infinity", "INF1", "1e400x"}) {
        const saved_t s = save_and_reload(reader_test::sheet_package(one_row("<c r=\"A1\"><v>" + std::string(v) + "</v></c>")), a1_value);
        EXPECT_NE(s.loaded.find("Cell data error."), std::string::npos) << v << ": " << s.loaded;
    }
}

// Literals of later applications load as #VALUE!, as the model has no code
// for them, and go back as read while the cell holds that error.
TEST(foreign_files, error_literals_outside_the_table_are_written_back) {
    const auto error_at = [](int row) {
        return [row](plover_document_t* d) { return std::to_string(ws_get_error(sheet0(d), row, 1)); };
    };
    const std::string value = std::to_string(ERRORCODE_VALUE);
    for (const char* literal : {"#CALC!", "#BLOCKED!", "#FIELD!", "#CONNECT!", "#BUSY!", "#UNKNOWN!", "#PYTHON!", "#X"}) {
        const saved_t s = save_and_reload(
            reader_test::sheet_package(one_row("<c r=\"A1\" t=\"e\"><v>" + std::string(literal) + "</v></c>")), error_at(1));
        EXPECT_EQ(s.loaded, value) << literal;
        EXPECT_EQ(s.reloaded, value) << literal;
        EXPECT_NE(sheet_xml(s).find("<v>" + std::string(literal) + "</v>"), std::string::npos) << sheet_xml(s);
    }
    struct row {
        const char* name;
        std::string cells;
        edit_t edit;
        std::string saved;  // in the saved sheet
        int at;             // the cell's row after the edit
        std::string error;  // its error code after the reload
    };
    const std::string calc = "<c r=\"A1\" t=\"e\"><v>#CALC!</v></c>";
    const std::vector<row> rows = {
        {"formula result", "<c r=\"A1\" t=\"e\"><f>FILTER(B1:B2,B1:B2&gt;5)</f><v>#CALC!</v></c>", {},
         "<v>#CALC!</v>", 1, value},
        {"in the table", "<c r=\"A1\" t=\"e\"><v>#SPILL!</v></c>", {}, "<v>#SPILL!</v>", 1,
         std::to_string(ERRORCODE_SPILL)},
        {"moved with its row", calc, [](plover_document_t* d) { ws_insert_row(sheet0(d), 1, 2); }, "<c r=\"A3\" t=\"e\"><v>#CALC!</v>", 3, value},
        {"another error set", calc, [](plover_document_t* d) { ws_set_error(sheet0(d), 1, 1, ERRORCODE_DIV0); },
         "<v>#DIV/0!</v>", 1, std::to_string(ERRORCODE_DIV0)},
        {"a number set", calc, [](plover_document_t* d) { ws_set_num(sheet0(d), 1, 1, 5); }, "<v>5</v>", 1, "0"},
        {"its row deleted", calc + "<c r=\"B1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\" t=\"e\"><v>#VALUE!</v></c>",
         [](plover_document_t* d) { ws_delete_row(sheet0(d), 1, 1); }, "<v>#VALUE!</v>", 1, value},
    };
    for (const row& r : rows) {
        const saved_t s = save_and_reload(reader_test::sheet_package(one_row(r.cells)), error_at(r.at), r.edit);
        EXPECT_NE(sheet_xml(s).find(r.saved), std::string::npos) << r.name << "\n" << sheet_xml(s);
        EXPECT_EQ(sheet_xml(s).find("#CALC!") != std::string::npos, r.saved.find("#CALC!") != std::string::npos) << r.name;
        EXPECT_EQ(s.reloaded, r.error) << r.name;
    }
}

// Rows holding attributes only come back with them, on the row they were
// read from: a summary row's collapsed flag stays on it.
TEST(foreign_files, rows_without_cells_keep_their_attributes) {
    const std::string rows = "<sheetData><row r=\"2\" hidden=\"1\" outlineLevel=\"1\"><c r=\"A2\"><v>1</v></c></row>"
                             "<row r=\"3\" collapsed=\"1\"/><row r=\"5\" thickBot=\"1\"/><row r=\"6\" thickTop=\"1\"/>"
                             "<row r=\"7\" hidden=\"1\"/><row r=\"8\" outlineLevel=\"2\"/>"
                             "<row r=\"9\" ht=\"20\" customHeight=\"1\"/>"
                             "<row r=\"10\" ht=\"13.8\" customHeight=\"false\"/>"
                             "<row r=\"14\" ht=\"14.4\"><c r=\"A14\"><v>1</v></c></row>"
                             "<row r=\"16\" s=\"1\" customFormat=\"1\"/></sheetData>";
    const entries_t package = reader_test::with_styles(
        reader_test::sheet_package(rows),
        "<fonts count=\"2\"><font/><font><b/></font></fonts><fills count=\"1\"><fill/></fills><borders count=\"1\">"
        "<border/></borders><cellXfs count=\"2\"><xf/><xf fontId=\"1\" applyFont=\"1\"/></cellXfs>");
    // A height read without customHeight is none of the row's own for the host.
    const auto hidden = [](plover_document_t* d) {
        double ht = 0;
        plover_worksheet_t* ws = sheet0(d);
        return std::to_string(ws_row_hidden(ws, 2)) + std::to_string(ws_row_hidden(ws, 3)) +
               std::to_string(ws_row_hidden(ws, 7)) + std::to_string(ws_get_custom_row_height(ws, 10, 10, &ht, 0)) +
               std::to_string(ws_get_custom_row_height(ws, 14, 14, &ht, 0));
    };
    const saved_t s = save_and_reload(package, hidden);
    EXPECT_EQ(s.loaded, "10100");
    EXPECT_EQ(s.reloaded, "10100");
    const std::string xml = sheet_xml(s);
    for (const char* row : {"<row r=\"2\" hidden=\"1\" outlineLevel=\"1\">", "<row r=\"3\" collapsed=\"1\">",
                            "<row r=\"5\" thickBot=\"1\">", "<row r=\"6\" thickTop=\"1\">", "<row r=\"7\" hidden=\"1\">",
                            "<row r=\"8\" outlineLevel=\"2\">", "<row r=\"9\" ht=\"20\" customHeight=\"1\">",
                            "<row r=\"10\" ht=\"13.8\">", "<row r=\"14\" ht=\"14.4\">",
                            "<row r=\"16\" s=\"1\" customFormat=\"1\">"})
        EXPECT_NE(xml.find(row), std::string::npos) << row << "\n" << xml;
    // Kept heights move with their rows; one the host sets replaces them.
    const saved_t moved = save_and_reload(package, hidden, [](plover_document_t* d) {
        ws_delete_row(sheet0(d), 1, 1);
        ws_set_custom_row_height(sheet0(d), 13, 13, 30, 0);
    });
    EXPECT_NE(sheet_xml(moved).find("<row r=\"9\" ht=\"13.8\"></row><row r=\"13\" ht=\"30\" customHeight=\"1\">"),
              std::string::npos)
        << sheet_xml(moved);
    // Rows the host groups collapsed still carry the flag themselves.
    const saved_t grouped = save_and_reload(package, hidden,
                                            [](plover_document_t* d) { ws_group_rows(sheet0(d), 11, 12, 1); });
    EXPECT_NE(sheet_xml(grouped).find("<row r=\"11\" hidden=\"1\" outlineLevel=\"1\" collapsed=\"1\">"), std::string::npos)
        << sheet_xml(grouped);
    // A summary's flag goes back only while its group is collapsed: shown
    // again by the host, the group is not read back collapsed.
    const saved_t shown = save_and_reload(package, hidden, [](plover_document_t* d) {
        ws_ungroup_rows(sheet0(d), 2, 2);
        ws_group_rows(sheet0(d), 2, 2, 0);
    });
    EXPECT_EQ(sheet_xml(shown).find("collapsed"), std::string::npos) << sheet_xml(shown);
    const entries_t cols = reader_test::sheet_package("<cols><col min=\"2\" max=\"2\" width=\"9\" hidden=\"1\" "
                                                      "outlineLevel=\"1\"/><col min=\"3\" max=\"3\" width=\"9\" "
                                                      "collapsed=\"1\"/></cols><sheetData/>");
    const saved_t cols_shown = save_and_reload(cols, [](plover_document_t*) { return std::string(); },
                                               [](plover_document_t* d) {
                                                   ws_ungroup_cols(sheet0(d), 2, 2);
                                                   ws_group_cols(sheet0(d), 2, 2, 0);
                                               });
    EXPECT_EQ(sheet_xml(cols_shown).find("collapsed"), std::string::npos) << sheet_xml(cols_shown);
    // A collapsed group's first row closing an expanded deeper group carries
    // no mark, which would read back collapsing that group.
    const saved_t nested = save_and_reload(
        cols,
        [](plover_document_t* d) {
            int collapsed = 0;
            ws_row_outline_level(sheet0(d), 6, &collapsed);
            return std::to_string(collapsed);
        },
        [](plover_document_t* d) {
            ws_group_rows(sheet0(d), 8, 9, 1);
            ws_group_rows(sheet0(d), 6, 7, 0);
            ws_group_rows(sheet0(d), 6, 7, 0);
        });
    EXPECT_EQ(nested.reloaded, "0") << sheet_xml(nested);
}

// A pageSetup without paperSize is on Letter, the format's default.
TEST(foreign_files, paper_size_absent_reads_as_letter) {
    const auto paper = [](plover_document_t* d) { return std::to_string(ws_paper(sheet0(d))); };
    const struct {
        const char* setup;
        const char* paper;
    } rows[] = {
        {"<pageSetup orientation=\"landscape\"/>", "1"},
        {"<pageSetup paperSize=\"9\" orientation=\"landscape\"/>", "9"},
        {"<pageSetup paperSize=\"5\"/>", "5"},
    };
    for (const auto& r : rows) {
        const saved_t s = save_and_reload(reader_test::sheet_package("<sheetData/>" + std::string(r.setup)), paper);
        EXPECT_EQ(s.loaded, r.paper) << r.setup;
        EXPECT_EQ(s.reloaded, r.paper) << r.setup;
        EXPECT_NE(sheet_xml(s).find("paperSize=\"" + std::string(r.paper) + "\""), std::string::npos) << sheet_xml(s);
    }
}

namespace {

// D1:D3 share A1+B1, as spreadsheet applications write a filled-down formula.
entries_t shared_group() {
    std::string rows;
    for (int r = 1; r <= 3; ++r) {
        const std::string n = std::to_string(r);
        const std::string f = r == 1 ? "<f t=\"shared\" ref=\"D1:D3\" si=\"0\">A1+B1</f>" : "<f t=\"shared\" si=\"0\"/>";
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n + "\"><v>10</v></c><c r=\"D" +
                n + "\">" + f + "<v>" + std::to_string(r + 10) + "</v></c></row>";
    }
    return reader_test::sheet_package("<sheetData>" + rows + "</sheetData>");
}

std::string column_d(plover_document_t* d) {
    std::string out;
    for (int r = 1; r <= 3; ++r) {
        const char* f = ws_get_formula_expr(sheet0(d), r, 4);
        out += std::string(f ? f : "-") + ";";
    }
    return out;
}

} // namespace

// The group's first cell overwritten, cleared or deleted: the followers keep
// their formulas, each written with its own text.
TEST(foreign_files, shared_formula_followers_outlive_their_first_cell) {
    const struct {
        const char* name;
        edit_t edit;
        const char* formulas;  // D1:D3 after the reload
        std::vector<std::string> saved;
    } rows[] = {
        {"kept", {}, "A1+B1;A2+B2;A3+B3;", {"<f t=\"shared\" ref=\"D1:D3\" si=\"0\">A1+B1</f>", "<f t=\"shared\" si=\"0\"></f>"}},
        {"number set", [](plover_document_t* d) { ws_set_num(sheet0(d), 1, 4, 7); }, "-;A2+B2;A3+B3;",
         {"<c r=\"D1\"><v>7</v></c>", "<f>A2+B2</f>", "<f>A3+B3</f>"}},
        {"formula set", [](plover_document_t* d) { ws_set_formula(sheet0(d), 1, 4, "A1*2"); }, "A1*2;A2+B2;A3+B3;",
         {"<f>A1*2</f>", "<f>A2+B2</f>", "<f>A3+B3</f>"}},
        {"cleared", [](plover_document_t* d) { ws_clear_contents(sheet0(d), 1, 4, 1, 4); }, "-;A2+B2;A3+B3;",
         {"<f>A2+B2</f>", "<f>A3+B3</f>"}},
        {"row deleted", [](plover_document_t* d) { ws_delete_row(sheet0(d), 1, 1); }, "A1+B1;A2+B2;-;",
         {"<c r=\"D1\"><f>A1+B1</f>", "<c r=\"D2\"><f>A2+B2</f>"}},
    };
    for (const auto& r : rows) {
        const saved_t s = save_and_reload(shared_group(), column_d, r.edit);
        EXPECT_EQ(s.loaded, "A1+B1;A2+B2;A3+B3;") << r.name;
        EXPECT_EQ(s.reloaded, r.formulas) << r.name;
        for (const std::string& f : r.saved) EXPECT_NE(sheet_xml(s).find(f), std::string::npos) << r.name << ": " << f << "\n" << sheet_xml(s);
        if (r.edit) {
            EXPECT_EQ(sheet_xml(s).find("si=\"0\""), std::string::npos) << r.name << "\n" << sheet_xml(s);
        }
    }
}

namespace {

// The sheet package with `old` replaced by `now` in one entry.
entries_t with(entries_t p, const std::string& entry, const std::string& old, const std::string& now) {
    for (auto& [name, bytes] : p)
        if (name == entry) {
            const size_t at = bytes.find(old);
            EXPECT_NE(at, std::string::npos) << entry << ": " << old;
            if (at != std::string::npos) bytes.replace(at, old.size(), now);
        }
    return p;
}

// A second sheet, "Two", on rId3.
entries_t two_sheets(const std::string& second_rid) {
    entries_t p = reader_test::sheet_package("<sheetData/>");
    p = with(p, "xl/workbook.xml", "</sheets>", "<sheet name=\"Two\" sheetId=\"2\" r:id=\"" + second_rid + "\"/></sheets>");
    p = with(p, "xl/_rels/workbook.xml.rels", "</Relationships>",
             rel("rId3", std::string(od) + "worksheet", "worksheets/sheet2.xml") + "</Relationships>");
    p = with(p, "[Content_Types].xml", "</Types>",
             override_of("xl/worksheets/sheet2.xml",
                         "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml") + "</Types>");
    p.push_back({"xl/worksheets/sheet2.xml", find(p, "xl/worksheets/sheet1.xml")});
    return p;
}

} // namespace

// A package that would load half-way is refused, naming the sheet or part.
TEST(foreign_files, damaged_packages_are_refused_at_load) {
    const std::string sheet_rel = rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml");
    const std::string book_rel = rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml");
    const struct {
        const char* name;
        entries_t package;
        std::string refusal;
    } rows[] = {
        {"sheet naming no relationship", with(reader_test::sheet_package("<sheetData/>"), "xl/workbook.xml", "r:id=\"rId1\"", "r:id=\"rId9\""),
         "The sheet \"Data\" names no part of the package: rId9"},
        {"second sheet naming no relationship", two_sheets("rId7"), "The sheet \"Two\" names no part of the package: rId7"},
        {"sheet naming an external target",
         with(with(reader_test::sheet_package("<sheetData/>"), "xl/_rels/workbook.xml.rels", sheet_rel,
                   sheet_rel + rel("rId5", std::string(od) + "worksheet", "https://example.com/s.xml", true)),
              "xl/workbook.xml", "r:id=\"rId1\"", "r:id=\"rId5\""),
         "The sheet \"Data\" names no part of the package: rId5"},
        {"workbook root of another name",
         with(with(reader_test::sheet_package("<sheetData/>"), "xl/workbook.xml", "<workbook ", "<worksheet "),
              "xl/workbook.xml", "</workbook>", "</worksheet>"),
         "The workbook part xl/workbook.xml holds no workbook element."},
        {"package relationships repeating an Id",
         with(reader_test::sheet_package("<sheetData/>"), "_rels/.rels", book_rel,
              book_rel + rel("rId1", "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
                             "docProps/core.xml")),
         "The relationship part _rels/.rels repeats the Id rId1."},
    };
    for (const auto& r : rows) {
        const saved_t s = save_and_reload(r.package, [](plover_document_t*) { return std::string("loaded"); });
        EXPECT_NE(s.loaded.find(r.refusal), std::string::npos) << r.name << ": " << s.loaded;
    }
    // The sheet naming an external target, as the book's second sheet.
    const saved_t external = save_and_reload(
        with(two_sheets("rId3"), "xl/_rels/workbook.xml.rels", "Target=\"worksheets/sheet2.xml\"",
             "Target=\"https://example.com/s.xml\" TargetMode=\"External\""),
        [](plover_document_t*) { return std::string("loaded"); });
    EXPECT_NE(external.loaded.find("The sheet \"Two\" names no part of the package: rId3"), std::string::npos)
        << external.loaded;
}

// An active tab past the sheets reads as the first; a sheet name whose
// decoding no sheet name may hold keeps its stored text, written back so.
TEST(foreign_files, workbook_views_and_names_read_as_sound) {
    const auto active = [](plover_document_t* d) { return std::to_string(wb_get_active_sheet(doc_get_workbook(d))); };
    for (const entries_t& p : {reader_test::sheet_package("<sheetData/>", nullptr, "<bookViews><workbookView activeTab=\"99\"/></bookViews>"),
                               with(two_sheets("rId3"), "xl/workbook.xml", "<sheets>", "<bookViews><workbookView activeTab=\"2\"/></bookViews><sheets>")}) {
        const saved_t s = save_and_reload(p, active);
        EXPECT_EQ(s.loaded, "0");
        EXPECT_EQ(s.reloaded, "0");
    }
    const struct {
        const char* stored;
        const char* name;  // as the host reads it
    } names[] = {
        {"a_x003A_b", "a_x003A_b"},
        {"_x005B_x", "_x005B_x"},
        {"a_x000D__x000A_b", "a_x000D__x000A_b"},
        {"x_x0027_", "x_x0027_"},
        {"_x0041_b", "Ab"},
        {"a_x005F_x0041_", "a_x0041_"},
    };
    for (const auto& n : names) {
        const entries_t p = with(reader_test::sheet_package("<sheetData/>"), "xl/workbook.xml", "name=\"Data\"",
                                 "name=\"" + std::string(n.stored) + "\"");
        const saved_t s = save_and_reload(p, [](plover_document_t* d) { return std::string(ws_name(sheet0(d))); });
        EXPECT_EQ(s.loaded, n.name) << n.stored;
        EXPECT_EQ(s.reloaded, n.name) << n.stored;
        if (std::string(n.stored) != "_x0041_b" && std::string(n.stored) != "a_x005F_x0041_") {
            EXPECT_NE(find(s.copy, "xl/workbook.xml").find("name=\"" + std::string(n.stored) + "\""), std::string::npos)
                << find(s.copy, "xl/workbook.xml");
        }
    }
}

// XlsxWriter's largest numbers and a shared group that lost its first cell,
// saved by the library: openpyxl reads the numbers and every follower's formula.
TEST(foreign_files, openpyxl_reads_the_largest_numbers_and_lone_followers) {
    scratch_dir dir;
    const std::string make = R"PY(import sys, xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1])
ws = wb.add_worksheet()
ws.write_number("A1", sys.float_info.max)
ws.write_number("A2", -sys.float_info.max)
wb.close()
)PY";
    ASSERT_EQ(writer_test::run_python_file(dir, make, {dir / "largest.xlsx"}), 0);
    plover_document_t* doc = doc_load((dir / "largest.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(ws_get_num(sheet0(doc), 1, 1), DBL_MAX);
    EXPECT_EQ(ws_get_num(sheet0(doc), 2, 1), -DBL_MAX);
    EXPECT_EQ(doc_save(doc, (dir / "largest_saved.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);

    write_zip(dir / "shared.xlsx", shared_group());
    doc = doc_load((dir / "shared.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ws_set_num(sheet0(doc), 1, 4, 7);
    EXPECT_EQ(doc_save(doc, (dir / "shared_saved.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);

    const std::string check = R"PY(import sys, warnings
warnings.simplefilter("error")
import openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
assert ws["A1"].value == sys.float_info.max and ws["A2"].value == -sys.float_info.max, (ws["A1"].value, ws["A2"].value)
ws = openpyxl.load_workbook(sys.argv[2]).active
got = [ws.cell(r, 4).value for r in (1, 2, 3)]
assert got == [7, "=A2+B2", "=A3+B3"], got
)PY";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "largest_saved.xlsx", dir / "shared_saved.xlsx"}), 0);
}
