// A change to a cell drops the cached results of the formulas that read it,
// directly, through other formulas or from other sheets; a save then asks its
// readers to recompute (calcPr fullCalcOnLoad). An error literal the model has
// no code for goes when a value replaces it.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/document/stale_results_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace package_test;

namespace {

using edit_t = std::function<void(plover_document_t*, plover_worksheet_t*)>;

// A1 1, B1 A1+1 (2), C1 B1*2 (4), D1 E1+1 (7), Sheet2!A1 Sheet1!C1+1 (5).
plover_document_t* chain_book() {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    plover_worksheet_t* next = wb_add_worksheet(doc_get_workbook(doc), "Sheet2");
    ws_set_num(ws, 1, 1, 1);
    const struct { plover_worksheet_t* ws; int col; const char* text; double result; } formulas[] = {
        {ws, 2, "A1+1", 2}, {ws, 3, "B1*2", 4}, {ws, 4, "E1+1", 7}, {next, 1, "Sheet1!C1+1", 5}};
    for (const auto& f : formulas) {
        ws_set_formula(f.ws, 1, f.col, f.text);
        ws_set_formula_num(f.ws, 1, f.col, f.result);
    }
    return doc;
}

// The results of B1, C1, D1 and Sheet2!A1; "-" where there is none.
std::string results(plover_document_t* doc) {
    std::string out;
    for (const auto& [index, col] : {std::pair{0, 2}, {0, 3}, {0, 4}, {1, 1}}) {
        plover_worksheet_t* ws = sheet(doc, index);
        out += out.empty() ? "" : " ";
        out += ws_cell_type(ws, 1, col) == CELLTYPE_NUMBER ? std::to_string(int(ws_get_num(ws, 1, col))) : "-";
    }
    return out;
}

// The package loaded, edited and saved again.
entries_t edited_copy(const entries_t& package, const edit_t& edit) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package);
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    EXPECT_NE(doc, nullptr) << run_msg();
    if (!doc) return {};
    edit(doc, sheet(doc, 0));
    const entries_t copy = saved(doc, dir);
    doc_release(doc);
    return copy;
}

void set_bold(plover_document_t* doc, plover_worksheet_t* ws) {
    plover_style_t* bold = wb_make_normal_style(doc_get_workbook(doc));
    style_set_bold(bold, 1);
    ws_set_cell_style(ws, 1, 1, bold);
}

} // namespace

// Each row: the results left and whether the save asks for a recalculation.
TEST(stale_results, a_value_set_drops_the_results_of_the_formulas_reading_the_cell) {
    const struct {
        const char* name;
        edit_t edit;
        const char* results;
    } rows[] = {
        {"number", [](auto*, auto* ws) { ws_set_num(ws, 1, 1, 10); }, "- - 7 - full"},
        {"formula", [](auto*, auto* ws) { ws_set_formula(ws, 1, 1, "10"); }, "- - 7 - full"},
        {"text", [](auto*, auto* ws) { ws_set_text(ws, 1, 1, "ten"); }, "- - 7 - full"},
        {"a range over it cleared", [](auto*, auto* ws) { ws_clear_contents(ws, 5, 1, 1, 1); }, "- - 7 - full"},
        {"the middle formula's text", [](auto*, auto* ws) { ws_set_formula(ws, 1, 2, "A1+2"); }, "- - 7 - full"},
        {"a cell nothing reads", [](auto*, auto* ws) { ws_set_num(ws, 2, 1, 10); }, "2 4 7 5"},
        {"a style", set_bold, "2 4 7 5"},
        // A result the host gives replaces the one its readers computed from.
        {"a result given", [](auto*, auto* ws) { ws_set_formula_num(ws, 1, 2, 3); }, "3 - 7 - full"},
        {"a text result given", [](auto*, auto* ws) { ws_set_formula_string(ws, 1, 2, "x"); }, "- - 7 - full"},
        {"a boolean result given", [](auto*, auto* ws) { ws_set_formula_boolean(ws, 1, 2, 1); }, "- - 7 - full"},
        {"an error result given", [](auto*, auto* ws) { ws_set_formula_error(ws, 1, 2, ERRORCODE_NA); },
         "- - 7 - full"},
        {"results given again",
         [](auto* doc, auto* ws) {
             ws_set_formula(ws, 1, 1, "10");
             for (const auto& [col, result] : {std::pair{2, 11}, {3, 22}}) ws_set_formula_num(ws, 1, col, result);
             ws_set_formula_num(sheet(doc, 1), 1, 1, 23);
         },
         "11 22 7 23"},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = chain_book();
        plover_document_t* other = chain_book();  // alike grid positions in another workbook
        r.edit(doc, sheet(doc, 0));
        scratch_dir dir;
        const bool full = calc_pr(saved(doc, dir)) == "<calcPr fullCalcOnLoad=\"1\"/>";
        EXPECT_EQ(results(doc) + (full ? " full" : ""), r.results) << r.name;
        EXPECT_EQ(results(other), "2 4 7 5") << r.name;
        doc_release(other);
        doc_release(doc);
    }
}

TEST(stale_results, a_loaded_workbook_keeps_its_calculation_settings_beside_the_recalculation) {
    const struct {
        const char* read;
        bool edited;  // A1 set to 10
        const char* saved;
    } rows[] = {
        {"<calcPr calcId=\"191029\"/>", true, "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>"},
        {"<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>", true,
         "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\" iterate=\"1\"/>"},
        {"<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>", false,
         "<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>"},
    };
    for (const auto& r : rows) {
        entries_t package = reader_test::sheet_package(
            "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>A1+1</f><v>2</v></c></row></sheetData>");
        for (auto& [name, bytes] : package)
            if (name == "xl/workbook.xml") bytes.insert(bytes.find("</workbook>"), r.read);
        const entries_t copy = edited_copy(package, [&](auto*, auto* ws) {
            if (r.edited) ws_set_num(ws, 1, 1, 10);
        });
        EXPECT_EQ(calc_pr(copy), r.saved) << r.read;
        EXPECT_EQ(cell_xml(copy, "B1"), r.edited ? "<c r=\"B1\"><f>A1+1</f></c>" : "<c r=\"B1\"><f>A1+1</f><v>2</v></c>");
    }
}

// A merge that brings a value to its first cell changes that cell as a setter does.
TEST(stale_results, a_merge_gathering_a_value_drops_the_results_reading_its_first_cell) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    ws_set_num(ws, 2, 1, 5);
    ws_set_formula(ws, 1, 2, "A1+1");
    ws_set_formula_num(ws, 1, 2, 1);
    ASSERT_EQ(ws_merge(ws, 1, 1, 2, 1), 1) << run_msg();
    EXPECT_EQ(ws_get_num(ws, 1, 1), 5);
    EXPECT_NE(ws_cell_type(ws, 1, 2), CELLTYPE_NUMBER);
    // A formula gathered reads from its new place: ROW() there is another row.
    ws_set_formula(ws, 2, 3, "ROW()*10");
    ws_set_formula_num(ws, 2, 3, 20);
    ASSERT_EQ(ws_merge(ws, 1, 3, 2, 3), 1) << run_msg();
    EXPECT_NE(ws_cell_type(ws, 1, 3), CELLTYPE_NUMBER);
    doc_release(doc);
}

// B1 reads A1 and has lost its result (or never had one) when C1, written
// later, comes to read B1: a change to A1 reaches C1 through B1.
TEST(stale_results, a_formula_written_over_a_parked_one_is_reached_through_it) {
    for (const bool b1_had_a_result : {false, true}) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        ws_set_num(ws, 1, 1, 1);
        ws_set_formula(ws, 1, 2, "A1*10");
        if (b1_had_a_result) ws_set_formula_num(ws, 1, 2, 10);
        ws_set_num(ws, 1, 1, 2);
        ws_set_formula(ws, 1, 3, "B1+1");
        ws_set_formula_num(ws, 1, 3, 21);
        ws_set_num(ws, 1, 1, 3);
        EXPECT_NE(ws_cell_type(ws, 1, 3), CELLTYPE_NUMBER) << b1_had_a_result;
        scratch_dir dir;
        const entries_t copy = saved(doc, dir);
        EXPECT_EQ(cell_xml(copy, "C1"), "<c r=\"C1\"><f>B1+1</f></c>") << b1_had_a_result;
        EXPECT_EQ(calc_pr(copy), "<calcPr fullCalcOnLoad=\"1\"/>") << b1_had_a_result;
        doc_release(doc);
    }
}

// A1 read as #CALC!, a literal the model has no code for: #VALUE! set after
// another value saves as #VALUE!.
TEST(stale_results, a_value_set_forgets_the_error_literal_read_in_the_cell) {
    const struct {
        const char* name;
        edit_t edit;
        const char* saved;
    } rows[] = {
        {"number", [](auto*, auto* ws) { ws_set_num(ws, 1, 1, 5), ws_set_error(ws, 1, 1, ERRORCODE_VALUE); },
         "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"formula", [](auto*, auto* ws) { ws_set_formula(ws, 1, 1, "1/0"), ws_set_formula_error(ws, 1, 1, ERRORCODE_VALUE); },
         "<c r=\"A1\" t=\"e\"><f>1/0</f><v>#VALUE!</v></c>"},
        {"a style", set_bold, "<c r=\"A1\" s=\"1\" t=\"e\"><v>#CALC!</v></c>"},
    };
    const entries_t package =
        reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\" t=\"e\"><v>#CALC!</v></c></row></sheetData>");
    for (const auto& r : rows) EXPECT_EQ(cell_xml(edited_copy(package, r.edit), "A1"), r.saved) << r.name;
}

// B1 a one-cell array formula, B2 #CALC!, A3:A4 an array formula of two
// cells: a merge gathers the first two whole into its first cell, and refuses
// to cut the third.
TEST(stale_results, merges_gather_one_cell_arrays_and_error_literals_whole) {
    const struct {
        int row;
        const char* message;
        const char* cell;
        const char* saved;
    } rows[] = {
        {1, "", "A1", "<c r=\"A1\"><f t=\"array\" ref=\"A1:A1\">SUM(C1:C2)</f><v>3</v></c>"},
        {2, "", "A2", "<c r=\"A2\" t=\"e\"><v>#CALC!</v></c>"},
        {4, "Merge cell range includes an array formula of several cells.", "A3",
         "<c r=\"A3\"><f t=\"array\" ref=\"A3:A4\">C1:C2</f><v>1</v></c>"},
    };
    const entries_t package = reader_test::sheet_package(
        "<sheetData><row r=\"1\"><c r=\"B1\"><f t=\"array\" ref=\"B1\">SUM(C1:C2)</f><v>3</v></c>"
        "<c r=\"C1\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\" t=\"e\"><v>#CALC!</v></c><c r=\"C2\"><v>2</v></c></row>"
        "<row r=\"3\"><c r=\"A3\"><f t=\"array\" ref=\"A3:A4\">C1:C2</f><v>1</v></c></row>"
        "<row r=\"4\"><c r=\"A4\"><v>2</v></c></row></sheetData>");
    for (const auto& r : rows) {
        std::string message;
        const entries_t copy = edited_copy(package, [&](auto*, auto* ws) {
            message = ws_merge(ws, r.row, 1, r.row, 2) ? "" : run_msg();
        });
        EXPECT_EQ(message, r.message) << r.cell;
        EXPECT_EQ(cell_xml(copy, r.cell), r.saved);
    }
}

// A2:A4 and B6:C6 array formulas: an edit that would move, delete or set some
// of an array's cells and not the others is refused and changes nothing, as a
// merge over one is; one that moves, deletes or clears a whole array is done,
// and so is a style set on one of its cells.
TEST(stale_results, edits_to_part_of_an_array_formula_are_refused) {
    const char* refused = "This operation will change part of an array formula of several cells.";
    const struct {
        const char* name;
        std::function<int(plover_worksheet_t*)> edit;
        bool done;
    } rows[] = {
        {"a row inserted inside A2:A4", [](auto* ws) { return ws_insert_row(ws, 3, 1); }, false},
        {"a row inserted at its first row", [](auto* ws) { return ws_insert_row(ws, 2, 1); }, true},
        {"a row deleted inside it", [](auto* ws) { return ws_delete_row(ws, 3, 3); }, false},
        {"rows deleted across its first row", [](auto* ws) { return ws_delete_row(ws, 1, 2); }, false},
        {"its rows deleted whole", [](auto* ws) { return ws_delete_row(ws, 2, 5); }, true},
        {"a column inserted inside B6:C6", [](auto* ws) { return ws_insert_col(ws, 3, 1); }, false},
        {"a column deleted inside it", [](auto* ws) { return ws_delete_col(ws, 3, 3); }, false},
        {"a column inserted before it", [](auto* ws) { return ws_insert_col(ws, 2, 1); }, true},
        {"column A shifted down from row 3", [](auto* ws) { return ws_shift_range_down(ws, 1, 1, 3, 1); }, false},
        {"column B shifted down from row 6", [](auto* ws) { return ws_shift_range_down(ws, 2, 2, 6, 1); }, false},
        {"columns B:C shifted down from row 6", [](auto* ws) { return ws_shift_range_down(ws, 2, 3, 6, 1); }, true},
        {"row 3 shifted right", [](auto* ws) { return ws_shift_range_right(ws, 3, 3, 1, 1); }, false},
        {"a number set inside A2:A4", [](auto* ws) { return ws_set_num(ws, 3, 1, 99); }, false},
        {"a text set on its last cell", [](auto* ws) { return ws_set_text(ws, 4, 1, "x"); }, false},
        {"an error set inside B6:C6", [](auto* ws) { return ws_set_error(ws, 6, 3, 1); }, false},
        {"a formula set on its first cell", [](auto* ws) { return ws_set_formula(ws, 2, 1, "C1*3"); }, false},
        {"a result set on its first cell", [](auto* ws) { return ws_set_formula_num(ws, 2, 1, 7); }, true},
        {"a date set on its first cell", [](auto* ws) { return ws_set_formula_datetime(ws, 6, 2, 45000); }, true},
        {"a result set inside it", [](auto* ws) { return ws_set_formula_num(ws, 3, 1, 7); }, false},
        {"a table added over part of it", [](auto* ws) { return ws_add_tabledef(ws, "T", 1, 1, 3, 2) != nullptr; }, false},
        {"a table added over all of it", [](auto* ws) { return ws_add_tabledef(ws, "T", 5, 2, 7, 3) != nullptr; }, false},
        {"a table added beside it", [](auto* ws) { return ws_add_tabledef(ws, "T", 2, 4, 3, 5) != nullptr; }, true},
        {"a style set inside it", [](auto* ws) {
             plover_style_t* bold = ws_get_cell_style(ws, 1, 4);
             style_set_bold(bold, 1);
             return ws_set_cell_style(ws, 3, 1, bold), 1;
         }, true},
        {"its range cleared whole", [](auto* ws) { return ws_clear_contents(ws, 2, 1, 4, 1), 1; }, true},
        {"its first cells cleared", [](auto* ws) { return ws_clear_contents(ws, 1, 1, 3, 1), 0; }, false},
        {"a number set beside it", [](auto* ws) { return ws_set_num(ws, 5, 1, 99); }, true},
    };
    const entries_t package = reader_test::sheet_package(
        "<sheetData><row r=\"1\"><c r=\"C1\"><v>1</v></c><c r=\"D1\"><v>5</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><f t=\"array\" ref=\"A2:A4\">C1:C3*2</f><v>2</v></c><c r=\"C2\"><v>2</v></c></row>"
        "<row r=\"3\"><c r=\"A3\"><v>4</v></c><c r=\"C3\"><v>3</v></c></row><row r=\"4\"><c r=\"A4\"><v>6</v></c></row>"
        "<row r=\"6\"><c r=\"B6\"><f t=\"array\" ref=\"B6:C6\">C1:D1</f><v>1</v></c><c r=\"C6\"><v>5</v></c></row>"
        "</sheetData>");
    const auto sheet_data = [](const entries_t& copy) {
        return element(find(copy, "xl/worksheets/sheet1.xml"), "<sheetData", "</sheetData>");
    };
    const std::string unedited = sheet_data(edited_copy(package, [](auto*, auto*) {}));
    ASSERT_NE(unedited, "");
    for (const auto& r : rows) {
        std::string message;
        const entries_t copy = edited_copy(package, [&](auto*, auto* ws) {
            message = r.edit(ws) ? "" : run_msg();
        });
        EXPECT_EQ(message, r.done ? "" : refused) << r.name;
        if (!r.done) {
            EXPECT_EQ(sheet_data(copy), unedited) << r.name;
        }
    }
    // Cleared whole, an array leaves nothing in its cells.
    const entries_t cleared = edited_copy(package, [](auto*, auto* ws) { ws_clear_contents(ws, 2, 1, 4, 1); });
    EXPECT_EQ(sheet_data(cleared).find("<c r=\"A"), std::string::npos) << sheet_data(cleared);
    // Moved by an insert, an array guards the cells it now covers.
    edited_copy(package, [&](auto*, auto* ws) {
        ASSERT_EQ(ws_insert_row(ws, 1, 1), 1) << run_msg();
        EXPECT_EQ(ws_set_num(ws, 5, 1, 99), 0);
        EXPECT_EQ(run_msg(), std::string(refused));
        EXPECT_EQ(ws_set_num(ws, 2, 1, 99), 1) << run_msg();
    });
}

// Table T over A1:B3 and an array formula over B3:B4 crossing its last row: a
// delete would clear part of the array, so it is refused and changes nothing.
TEST(stale_results, a_table_deleted_across_an_array_formula_is_refused) {
    const std::string table = std::string(decl) + "<table xmlns=\"" + reader_test::main_ns +
                              "\" id=\"1\" name=\"T\" displayName=\"T\" ref=\"A1:B3\"><tableColumns count=\"2\">"
                              "<tableColumn id=\"1\" name=\"a\"/><tableColumn id=\"2\" name=\"b\"/></tableColumns></table>";
    const entries_t package = reader_test::sheet_package_with(
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c><c r=\"B1\" t=\"inlineStr\"><is>"
        "<t>b</t></is></c></row><row r=\"2\"><c r=\"A2\"><v>1</v></c></row><row r=\"3\"><c r=\"A3\"><v>2</v></c>"
        "<c r=\"B3\"><f t=\"array\" ref=\"B3:B4\">A2:A3</f><v>1</v></c></row><row r=\"4\"><c r=\"B4\"><v>2</v></c></row>"
        "</sheetData><tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
        rel("rId1", std::string(od) + "table", "../tables/table1.xml"), {{"xl/tables/table1.xml", table}},
        override_of("xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml"));
    const auto sheet_data = [](const entries_t& copy) {
        return element(find(copy, "xl/worksheets/sheet1.xml"), "<sheetData", "</sheetData>");
    };
    const entries_t copy = edited_copy(package, [](auto*, auto* ws) {
        EXPECT_EQ(ws_delete_tabledef(ws, "T"), 0);
        EXPECT_EQ(run_msg(), std::string("This operation will change part of an array formula of several cells."));
        EXPECT_EQ(ws_tabledef_count(ws), 1);
    });
    EXPECT_EQ(sheet_data(copy), sheet_data(edited_copy(package, [](auto*, auto*) {})));
}

// Loaded beside a copy of itself: Sheet1 A1 1, A2 2, B1 A1+A2, B2 $A$1*2,
// B3 SUM(A1:A2); Sheet2 A1 Sheet1!A1+1, A2 SUM(Sheet1!1:2), A3 Sheet3!A1;
// Sheet3 A1 5, read by no formula of its own. One cell set in the first.
TEST(stale_results, loaded_formulas_drop_their_results_on_every_sheet_they_read) {
    const struct {
        int sheet, row;
        const char* results;  // Sheet1 B1:B3, Sheet2 A1:A3
    } rows[] = {{0, 1, "- - - - - 5"}, {0, 2, "- 2 - 2 - 5"}, {2, 1, "3 2 3 2 3 -"}, {0, 3, "3 2 3 2 3 5"}};
    scratch_dir dir;
    {
        plover_document_t* doc = doc_create();
        for (const char* name : {"Sheet1", "Sheet2", "Sheet3"}) wb_add_worksheet(doc_get_workbook(doc), name);
        for (const auto& [index, row, col, value] : {std::tuple{0, 1, 1, 1}, {0, 2, 1, 2}, {2, 1, 1, 5}})
            ws_set_num(sheet(doc, index), row, col, value);
        const struct { int sheet, row, col; const char* text; double result; } formulas[] = {
            {0, 1, 2, "A1+A2", 3}, {0, 2, 2, "$A$1*2", 2}, {0, 3, 2, "SUM(A1:A2)", 3},
            {1, 1, 1, "Sheet1!A1+1", 2}, {1, 2, 1, "SUM(Sheet1!1:2)", 3}, {1, 3, 1, "Sheet3!A1", 5}};
        for (const auto& f : formulas) {
            ASSERT_EQ(ws_set_formula(sheet(doc, f.sheet), f.row, f.col, f.text), 1) << run_msg();
            ws_set_formula_num(sheet(doc, f.sheet), f.row, f.col, f.result);
        }
        saved(doc, dir);
        doc_release(doc);
    }
    std::filesystem::copy_file(dir / "out.xlsx", dir / "copy.xlsx");  // one file opens once
    const auto kept = [](plover_document_t* doc) {
        std::string out;
        for (const auto& [index, row, col] :
             {std::tuple{0, 1, 2}, {0, 2, 2}, {0, 3, 2}, {1, 1, 1}, {1, 2, 1}, {1, 3, 1}}) {
            plover_worksheet_t* ws = sheet(doc, index);
            out += out.empty() ? "" : " ";
            out += ws_cell_type(ws, row, col) == CELLTYPE_NUMBER ? std::to_string(int(ws_get_num(ws, row, col))) : "-";
        }
        return out;
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_load((dir / "out.xlsx").c_str());
        plover_document_t* other = doc_load((dir / "copy.xlsx").c_str());
        ASSERT_TRUE(doc && other) << run_msg();
        ws_set_num(sheet(doc, r.sheet), r.row, 1, 10);
        EXPECT_EQ(kept(doc), r.results) << r.sheet << " " << r.row;
        EXPECT_EQ(kept(other), "3 2 3 2 3 5") << r.sheet << " " << r.row;
        doc_release(other);
        doc_release(doc);
    }
}

namespace {

// Sheets A, B and S (A!B1 1, B!B1 2) and the names of `names`; S holds `cells`.
entries_t named_book(const std::string& names, const std::string& cells) {
    round_trip_test::crafted_t c;
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"B1\"><v>1</v></c></row></sheetData>", ""},
                {"<sheetData><row r=\"1\"><c r=\"B1\"><v>2</v></c></row></sheetData>", ""},
                {"<sheetData><row r=\"1\">" + cells + "</row></sheetData>", ""}};
    c.book_body = "<sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"B\" sheetId=\"2\" "
                  "r:id=\"rId2\"/><sheet name=\"S\" sheetId=\"3\" r:id=\"rId3\"/></sheets><definedNames>" +
                  names + "</definedNames>";
    return round_trip_test::package_of(c);
}

std::string formula(const char* ref, const char* text, double result) {
    return std::string("<c r=\"") + ref + "\"><f>" + text + "</f><v>" + std::to_string(int(result)) + "</v></c>";
}

// Sheets S1, S2 and My S3 (A1 10, 20, 30) and Out holding `cells`.
entries_t three_sheets_book(const std::string& cells) {
    round_trip_test::crafted_t c;
    c.sheets.clear();
    for (const char* value : {"10", "20", "30"})
        c.sheets.push_back({std::string("<sheetData><row r=\"1\"><c r=\"A1\"><v>") + value + "</v></c></row></sheetData>", ""});
    c.sheets.push_back({"<sheetData><row r=\"1\">" + cells + "</row></sheetData>", ""});
    c.book_body = "<sheets><sheet name=\"S1\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"S2\" sheetId=\"2\" "
                  "r:id=\"rId2\"/><sheet name=\"My S3\" sheetId=\"3\" r:id=\"rId3\"/><sheet name=\"Out\" "
                  "sheetId=\"4\" r:id=\"rId4\"/></sheets>";
    return round_trip_test::package_of(c);
}

// As producers save a calculated column: T over A1:C4 (Qty 1, 2; Price 10,
// 20; Amount each record's Qty*Price, 10 and 40), C4 SUBTOTAL(109,T[Amount])
// (50), E1 SUM(T[Qty]) (3) and E2 ROWS(T) (2).
entries_t records_table_book() {
    const auto record = [](int row, int qty, int price) {
        const std::string r = std::to_string(row);
        return "<row r=\"" + r + "\"><c r=\"A" + r + "\"><v>" + std::to_string(qty) + "</v></c><c r=\"B" + r +
               "\"><v>" + std::to_string(price) + "</v></c>" +
               formula(("C" + r).c_str(), "T[[#This Row],[Qty]]*T[[#This Row],[Price]]", qty * price);
    };
    return table_book("<sheetData><row r=\"1\">" + inline_text("A1", "Qty") + inline_text("B1", "Price") +
                          inline_text("C1", "Amount") + formula("E1", "SUM(T[Qty])", 3) + "</row>" + record(2, 1, 10) +
                          formula("E2", "ROWS(T)", 2) + "</row>" + record(3, 2, 20) + "</row><row r=\"4\">" +
                          formula("C4", "SUBTOTAL(109,T[Amount])", 50) + "</row></sheetData>",
                      "A1:C4",
                      "<tableColumn id=\"1\" name=\"Qty\"/><tableColumn id=\"2\" name=\"Price\"/>"
                      "<tableColumn id=\"3\" name=\"Amount\" totalsRowFunction=\"sum\"><calculatedColumnFormula>"
                      "T[[#This Row],[Qty]]*T[[#This Row],[Price]]</calculatedColumnFormula></tableColumn>");
}

} // namespace

// Each row: the cells of the sheet `at` and whether each kept its result
// (getter and saved <v>: k) or lost it (d). What the tracker cannot file
// precisely loses its result with any change; references into another
// workbook, which no edit here changes, keep theirs.
TEST(stale_results, formulas_read_through_tables_names_and_unread_texts_drop_their_results) {
    const entries_t span = named_book("<definedName name=\"Q\">A:B!$B$1</definedName>", formula("A1", "SUM(Q)", 3));
    const std::string followed = formula("D1", "B1+1", 2);
    // Mid (4) reads Rate, Scaled (15) reads RateB, the cell S!D1.
    const entries_t nested =
        named_book("<definedName name=\"Rate\">A!$B$1</definedName><definedName name=\"Mid\">SUM(A:B!$B$1)+Rate"
                   "</definedName><definedName name=\"RateB\">S!$D$1</definedName><definedName name=\"Scaled\">"
                   "SUM(A:B!$B$1)*RateB</definedName>",
                   formula("A1", "Mid", 4) + formula("B1", "Scaled", 15) + "<c r=\"D1\"><v>5</v></c>");
    const std::string span_to_c = "<definedName name=\"Sp\">SUM(A:C!$B$1)</definedName>";
    const entries_t spans_beside =
        three_sheets_book(formula("A1", "SUM(S1:S2!A1)", 30) + formula("B1", "SUM('S2:My S3'!A1)", 50));
    const entries_t part = named_book("<definedName name=\"Part\">S!$B$2*S!Missing</definedName>",
                                      formula("A1", "Part+1", 2) + followed);
    const entries_t dates = named_book("", formula("A1", "DATE(2024,1,1)", 45292) + "<c r=\"C1\"><v>45292</v></c>" +
                                               formula("D1", "YEAR(C1)", 2024));
    // A1:A8 10..80 read by B1:E1, which but the last leave hidden rows out.
    std::string column;
    for (int r = 1; r <= 8; ++r) {
        const std::string n = std::to_string(r);
        column += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(10 * r) + "</v></c>";
        if (r == 1)
            column += formula("B1", "SUBTOTAL(109,A1:A8)", 360) + formula("C1", "SUBTOTAL(103,A1:A8)", 8) +
                      formula("D1", "AGGREGATE(9,5,A1:A8)", 360) + formula("E1", "SUM(A1:A8)", 360);
        column += "</row>";
    }
    const entries_t subtotals = reader_test::sheet_package("<sheetData>" + column + "</sheetData>");
    // A1:A5 1..5, row 3 hidden: B1 leaves it out, E1 does not.
    std::string past_hidden;
    for (int r = 1; r <= 5; ++r) {
        const std::string n = std::to_string(r);
        past_hidden += "<row r=\"" + n + (r == 3 ? "\" hidden=\"1\">" : "\">") + "<c r=\"A" + n + "\"><v>" + n + "</v></c>";
        if (r == 1) past_hidden += formula("B1", "SUBTOTAL(109,A1:A5)", 12) + formula("E1", "SUM(A1:A5)", 15);
        past_hidden += "</row>";
    }
    const entries_t hidden_band = reader_test::sheet_package("<sheetData>" + past_hidden + "</sheetData>");
    // The table T over A1:A6 (x; 1..5), row 4 hidden, read by C1.
    round_trip_test::crafted_t in_table;
    std::string table_rows = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c>" +
                             formula("C1", "SUBTOTAL(109,T[x])", 12) + "</row>";
    for (int r = 2; r <= 6; ++r)
        table_rows += "<row r=\"" + std::to_string(r) + (r == 4 ? "\" hidden=\"1\">" : "\">") + "<c r=\"A" +
                      std::to_string(r) + "\"><v>" + std::to_string(r - 1) + "</v></c></row>";
    in_table.sheets = {{"<sheetData>" + table_rows + "</sheetData><tableParts count=\"1\"><tablePart r:id=\"rId1\"/>"
                        "</tableParts>",
                        rel("rId1", std::string(od) + "table", "../tables/table1.xml")}};
    const entries_t hidden_table = with_table_part(
        in_table, "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" name=\"T\" "
                  "displayName=\"T\" ref=\"A1:A6\"><tableColumns count=\"1\"><tableColumn id=\"1\" name=\"x\"/>"
                  "</tableColumns></table>");
    // S reads the list of sheets (A, B, S) and B!B1.
    const entries_t listing = named_book("", formula("A1", "SHEETS()", 3) + formula("B1", "SHEET(B!B1)", 2) +
                                                 formula("C1", "B!B1*2", 4));
    // A1 shows the text of D1.
    const entries_t texts = named_book("", "<c r=\"A1\" t=\"str\"><f>FORMULATEXT(D1)</f><v>=A!B1+1</v></c>" +
                                               formula("D1", "A!B1+1", 2) + formula("E1", "B!B1+1", 3));
    // Read by a name that leaves hidden rows out.
    const entries_t subtotal_name = named_book("<definedName name=\"SubT\">SUBTOTAL(109,A!$B$1:$B$5)</definedName>",
                                               formula("A1", "SubT*2", 2) + followed);
    const auto give_back = [](plover_worksheet_t* ws) {
        for (const auto& [col, result] : {std::pair{2, 360}, {3, 8}, {4, 360}}) ws_set_formula_num(ws, 1, col, result);
    };
    // Volatile: what they read shows when they are evaluated.
    const entries_t built = named_book(
        "", formula("A1", "INDIRECT(\"A!B1\")+1", 2) + formula("D1", "IFERROR(INDIRECT(\"Extra!B1\"),-1)", -1));
    const struct {
        const char* what;
        entries_t package;
        edit_t edit;
        int at;
        std::vector<std::string> refs;
        const char* kept;
    } rows[] = {
        {"a bare column in its totals row", totals_table_book(),
         [](auto*, auto* ws) { ws_set_num(ws, 2, 2, 10); }, 0, {"B4", "D1"}, "dd"},
        {"a row inserted at the totals row", totals_table_book(formula("E1", "ROWS(T)", 2)),
         [](auto*, auto* ws) { ASSERT_EQ(ws_insert_row(ws, 4, 1), 1) << run_msg(); }, 0, {"E1"}, "d"},
        {"a row inserted at a totals row shown since the last row shift", totals_table_book(formula("E1", "ROWS(T[#All])", 4)),
         [](auto*, auto* ws) {
             plover_tabledef_t* td = ws_get_tabledef(ws, 0);
             td_set_display_total(td, 0);
             ASSERT_EQ(ws_insert_row(ws, 10, 1), 1) << run_msg();
             td_set_display_total(td, 1);
             ws_set_formula_num(ws, 1, 5, 4);
             ASSERT_EQ(ws_insert_row(ws, 4, 1), 1) << run_msg();
         },
         0, {"E1"}, "d"},
        {"a record appended at a totals row shown since the last row shift, below a count of them",
         totals_table_book(formula("E1", "ROWS(T)", 2)),
         [](auto*, auto* ws) {
             plover_tabledef_t* td = ws_get_tabledef(ws, 0);
             td_set_display_total(td, 0);
             ASSERT_EQ(ws_insert_row(ws, 10, 1), 1) << run_msg();
             td_set_display_total(td, 1);
             ASSERT_EQ(ws_insert_row(ws, 4, 1), 1) << run_msg();
         },
         0, {"E1"}, "d"},
        {"a row inserted at the totals row of a table added since the last row shift", subtotals,
         [](auto*, auto* ws) {
             ASSERT_EQ(ws_insert_row(ws, 20, 1), 1) << run_msg();
             plover_tabledef_t* td = ws_add_tabledef(ws, "Tn", 1, 7, 3, 7);
             ws_set_formula(ws, 1, 9, "ROWS(Tn[#All])");
             td_set_display_total(td, 1);
             ws_set_formula_num(ws, 1, 9, 4);
             ASSERT_EQ(ws_insert_row(ws, 4, 1), 1) << run_msg();
         },
         0, {"I1"}, "d"},
        {"a value set in a record beside a calculated column", records_table_book(),
         [](auto*, auto* ws) { ws_set_num(ws, 2, 1, 5); }, 0, {"C2", "C3", "C4", "E1", "E2"}, "dkddd"},
        {"a record appended at the totals row beside a calculated column", records_table_book(),
         [](auto*, auto* ws) { ASSERT_EQ(ws_insert_row(ws, 4, 1), 1) << run_msg(); }, 0, {"C2", "C3", "E2"}, "kkd"},
        {"the last record deleted beside a calculated column", records_table_book(),
         [](auto*, auto* ws) { ASSERT_EQ(ws_delete_row(ws, 3, 4), 1) << run_msg(); }, 0, {"C2", "E2"}, "kd"},
        {"a name over a span of sheets", span,
         [](auto*, auto* ws) { ws_set_num(ws, 1, 2, 100); }, 2, {"A1"}, "d"},
        {"a name over a span of sheets, a sheet set inside it", span,
         [](auto* doc, auto*) {
             plover_worksheet_t* inside = wb_insert_worksheet(doc_get_workbook(doc), 1, "C");
             ws_set_formula_num(sheet(doc, 3), 1, 1, 3);
             ws_set_num(inside, 1, 2, 100);
         },
         3, {"A1"}, "d"},
        {"a name over a span of sheets, the sheet beside it moved before it", span,
         [](auto* doc, auto*) { wb_shift_sheet(doc_get_workbook(doc), 2, 0); }, 0, {"A1"}, "k"},
        {"a name over a span of sheets, a sheet moved inside it", span,
         [](auto* doc, auto*) {
             plover_workbook_t* wb = doc_get_workbook(doc);
             wb_insert_worksheet(wb, 1, "C");
             wb_insert_worksheet(wb, 1, "D");  // A, D, C, B, S
             ws_set_formula_num(sheet(doc, 4), 1, 1, 3);
             wb_shift_sheet(wb, 1, 2);
         },
         4, {"A1"}, "d"},
        {"a name over a span of sheets, a row inserted above its cell", span,
         [](auto*, auto* ws) { ws_insert_row(ws, 1, 1); }, 2, {"A1"}, "d"},
        {"a name over a span of sheets, a column deleted before its cell", span,
         [](auto* doc, auto*) { ws_delete_col(sheet(doc, 1), 1, 1); }, 2, {"A1"}, "d"},
        {"a name over a span of sheets, a row inserted below its cell", span,
         [](auto*, auto* ws) { ws_insert_row(ws, 2, 1); }, 2, {"A1"}, "k"},
        {"a name over a span reading a name, that name deleted", nested,
         [](auto* doc, auto*) { wb_delete_defined_name(doc_get_workbook(doc), 0); }, 2, {"A1", "B1"}, "dk"},
        {"a name over a span reading a name, that name defined again", nested,
         [](auto* doc, auto*) {
             wb_delete_defined_name(doc_get_workbook(doc), 0);
             wb_set_defined_name(doc_get_workbook(doc), "Rate", "2", nullptr);
         },
         2, {"A1", "B1"}, "dk"},
        {"a name over a span reading a name, the cell that name reads set", nested,
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 2), 1, 4, 7); }, 2, {"A1", "B1"}, "kd"},
        {"a name read in part, a value set elsewhere", part,
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "D1"}, "dk"},
        {"a name read in part, a row inserted elsewhere", part, [](auto*, auto* ws) { ws_insert_row(ws, 5, 1); },
         2, {"A1", "D1"}, "dk"},
        {"a name read in part, a name defined", part,
         [](auto* doc, auto*) { wb_set_defined_name(doc_get_workbook(doc), "Other", "A!$C$3", nullptr); }, 2,
         {"A1", "D1"}, "dk"},
        {"a text read in part, its name defined, its result given again",
         named_book("", formula("A1", "B1*S!Late", 0) + followed),
         [](auto* doc, auto*) {
             wb_set_defined_name(doc_get_workbook(doc), "Late", "2", "S");
             ws_set_formula_num(sheet(doc, 2), 1, 1, 0);
             ws_set_num(sheet(doc, 1), 9, 9, 5);
         },
         2, {"A1", "D1"}, "kk"},
        {"a text read in part", named_book("", formula("A1", "B1&amp;S!Missing", 1) + followed),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "D1"}, "dk"},
        {"a span quoted in parts, its first sheet renamed", three_sheets_book(formula("A1", "SUM(S1:'My S3'!A1)", 60)),
         [](auto* doc, auto*) {
             wb_rename_sheet(doc_get_workbook(doc), 0, "Neu 1");
             EXPECT_STREQ(ws_get_formula_expr(sheet(doc, 3), 1, 1), "SUM('Neu 1:My S3'!A1)");
             ws_set_num(sheet(doc, 1), 1, 1, 5);
         },
         3, {"A1"}, "d"},
        {"a span quoted as one, a cell inside it set", three_sheets_book(formula("A1", "SUM('S1:S2'!A1)", 30)),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 1, 1, 5); }, 3, {"A1"}, "d"},
        {"a sheet inserted inside one of two spans", spans_beside,
         [](auto* doc, auto*) { ASSERT_NE(wb_insert_worksheet(doc_get_workbook(doc), 1, "New"), nullptr); }, 4,
         {"A1", "B1"}, "dk"},
        {"a sheet inserted before two spans", spans_beside,
         [](auto* doc, auto*) { ASSERT_NE(wb_insert_worksheet(doc_get_workbook(doc), 0, "New"), nullptr); }, 4,
         {"A1", "B1"}, "kk"},
        {"a range whose corners name two sheets", named_book("", formula("A1", "SUM(A!B1:B!B1)", 3) + followed),
         [](auto* doc, auto*) {
             ws_set_num(sheet(doc, 1), 1, 2, 5);
             EXPECT_STREQ(ws_get_formula_expr(sheet(doc, 2), 1, 1), "SUM(A!B1:B!B1)");
         },
         2, {"A1", "D1"}, "dk"},
        {"whole columns whose ends name two sheets", named_book("", formula("A1", "SUM(A!B:B!B)", 3) + followed),
         [](auto* doc, auto*) {
             ws_set_num(sheet(doc, 1), 9, 9, 5);
             EXPECT_STREQ(ws_get_formula_expr(sheet(doc, 2), 1, 1), "SUM(A!B:B!B)");
         },
         2, {"A1", "D1"}, "dk"},
        {"whole rows whose ends name two sheets", named_book("", formula("A1", "SUM(A!1:B!1)", 3) + followed),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "D1"}, "dk"},
        {"a range joining a cell to a span", named_book("", formula("A1", "SUM(S!B1:A:B!B1)", 3) + followed),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "D1"}, "dk"},
        // The group's text stays: its follower hears of the sheet through its first cell.
        {"a sheet deleted from inside a span a group reads",
         three_sheets_book("<c r=\"A1\"><f t=\"shared\" ref=\"A1:B1\" si=\"0\">SUM(S1:'My S3'!A1)</f><v>60</v></c>"
                           "<c r=\"B1\"><f t=\"shared\" si=\"0\"/><v>0</v></c><c r=\"C1\"><v>1</v></c>"),
         [](auto* doc, auto*) { wb_delete_sheet(doc_get_workbook(doc), 1); }, 2, {"A1", "B1", "C1"}, "ddk"},
        {"a group over a sheet whose name holds a quote, the sheet added",
         named_book("", "<c r=\"A1\"><f t=\"shared\" ref=\"A1:B1\" si=\"0\">'It''s'!A1*2</f><v>42</v></c>"
                        "<c r=\"B1\"><f t=\"shared\" si=\"0\"/><v>42</v></c>"),
         [](auto* doc, auto*) {
             plover_worksheet_t* added = wb_add_worksheet(doc_get_workbook(doc), "It's");
             ws_set_num(added, 1, 1, 7);
             ws_set_num(added, 1, 2, 7);
         },
         2, {"A1", "B1"}, "dd"},
        // The span ends at a sheet the file lacks: the exports refuse such a name.
        {"a name over a span, its last sheet inserted", named_book(span_to_c, formula("A1", "Sp*2", 6)),
         [](auto* doc, auto*) { ws_set_num(wb_insert_worksheet(doc_get_workbook(doc), 2, "C"), 1, 2, 5); }, 3, {"A1"},
         "d"},
        {"a name over a span, its last sheet added", named_book(span_to_c, formula("A1", "Sp*2", 6)),
         [](auto* doc, auto*) { ws_set_num(wb_add_worksheet(doc_get_workbook(doc), "C"), 1, 2, 5); }, 2, {"A1"}, "d"},
        {"a name over a span, a sheet renamed into its last", named_book(span_to_c, formula("A1", "Sp*2", 6)),
         [](auto* doc, auto*) {
             wb_rename_sheet(doc_get_workbook(doc), 1, "C");
             ws_set_num(sheet(doc, 1), 1, 2, 5);
         },
         2, {"A1"}, "d"},
        {"rows hidden", subtotals, [](auto*, auto* ws) { ws_set_row_hidden(ws, 2, 3, 1); }, 0,
         {"B1", "C1", "D1", "E1"}, "dddk"},
        {"rows collapsed in a group", subtotals, [](auto*, auto* ws) { ws_group_rows(ws, 2, 3, 1); }, 0,
         {"B1", "C1", "D1", "E1"}, "dddk"},
        {"one row hidden", subtotals, [](auto*, auto* ws) { ws_set_row_hidden(ws, 2, 2, 1); }, 0,
         {"B1", "C1", "D1", "E1"}, "dddk"},
        {"a row hidden beside hidden ones", subtotals,
         [&](auto*, auto* ws) {
             ws_set_row_hidden(ws, 2, 3, 1);
             give_back(ws);
             ws_set_row_hidden(ws, 4, 4, 1);
         },
         0, {"B1", "C1", "D1", "E1"}, "dddk"},
        {"rows hidden again", subtotals,
         [&](auto*, auto* ws) {
             ws_set_row_hidden(ws, 2, 3, 1);
             give_back(ws);
             ws_set_row_hidden(ws, 2, 3, 1);
         },
         0, {"B1", "C1", "D1", "E1"}, "kkkk"},
        {"a collapsed group ungrouped", subtotals,
         [&](auto*, auto* ws) {
             ws_group_rows(ws, 2, 3, 1);
             give_back(ws);
             ws_ungroup_rows(ws, 2, 3);
         },
         0, {"B1", "C1", "D1", "E1"}, "dddk"},
        {"the outline of a collapsed group deleted", subtotals,
         [&](auto*, auto* ws) {
             ws_group_rows(ws, 2, 3, 1);
             give_back(ws);
             ws_delete_row_outline(ws);
         },
         0, {"B1", "C1", "D1", "E1"}, "dddk"},
        {"a row hidden under a name leaving hidden rows out", subtotal_name,
         [](auto* doc, auto*) { ws_set_row_hidden(sheet(doc, 0), 1, 1, 1); }, 2, {"A1", "D1"}, "dk"},
        {"a row hidden under a span leaving hidden rows out",
         three_sheets_book(formula("A1", "SUBTOTAL(109,S1:S2!A1:A5)", 30)),
         [](auto* doc, auto*) { ws_set_row_hidden(sheet(doc, 0), 1, 1, 1); }, 3, {"A1"}, "d"},
        {"cells shifted down past a hidden row", hidden_band,
         [](auto*, auto* ws) { ASSERT_EQ(ws_shift_range_down(ws, 1, 1, 1, 1), 1) << run_msg(); }, 0, {"B1", "E1"},
         "dk"},
        {"a table shifted down past a hidden row", hidden_table,
         [](auto*, auto* ws) { ASSERT_EQ(ws_shift_range_down(ws, 1, 1, 1, 1), 1) << run_msg(); }, 0, {"C1"}, "d"},
        {"a sheet inserted before what reads the list of sheets", listing,
         [](auto* doc, auto*) { ASSERT_NE(wb_insert_worksheet(doc_get_workbook(doc), 1, "New"), nullptr); }, 3,
         {"A1", "B1", "C1"}, "ddk"},
        {"a sheet added beside what reads the list of sheets", listing,
         [](auto* doc, auto*) { ASSERT_NE(wb_add_worksheet(doc_get_workbook(doc), "New"), nullptr); }, 2,
         {"A1", "B1", "C1"}, "ddk"},
        {"a sheet renamed beside what reads the list of sheets", listing,
         [](auto* doc, auto*) { wb_rename_sheet(doc_get_workbook(doc), 0, "New"); }, 2, {"A1", "B1", "C1"}, "ddk"},
        {"sheets moved beside what reads the list of sheets", listing,
         [](auto* doc, auto*) { wb_shift_sheet(doc_get_workbook(doc), 0, 1); }, 2, {"A1", "B1", "C1"}, "ddk"},
        {"a sheet added after a rename beside a text read in part reading the list of sheets",
         named_book("", formula("A1", "SHEETS()&amp;A!B1", 31)),
         [](auto* doc, auto*) {
             wb_rename_sheet(doc_get_workbook(doc), 0, "C");
             ws_set_formula_num(sheet(doc, 2), 1, 1, 31);
             ASSERT_NE(wb_add_worksheet(doc_get_workbook(doc), "New"), nullptr);
         },
         2, {"A1"}, "d"},
        {"a sheet deleted beside what reads the list of sheets", listing,
         [](auto* doc, auto*) { wb_delete_sheet(doc_get_workbook(doc), 0); }, 1, {"A1", "B1", "C1"}, "ddk"},
        {"a formula text rewritten by a row inserted", texts,
         [](auto* doc, auto*) { ws_insert_row(sheet(doc, 2), 1, 1); }, 2, {"A2", "D2", "E2"}, "dkk"},
        {"a formula text rewritten by a sheet renamed", texts,
         [](auto* doc, auto*) { wb_rename_sheet(doc_get_workbook(doc), 0, "Z"); }, 2, {"A1", "D1", "E1"}, "dkk"},
        {"functions reading the workbook's state, a value set elsewhere",
         named_book("", formula("A1", "RANDARRAY()", 0) + formula("C1", "CELL(\"row\",B!B1)", 1) + followed +
                            formula("E1", "INFO(\"numfile\")", 3)),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "C1", "E1", "D1"}, "dddk"},
        {"the date system changed", dates, [](auto* doc, auto*) { wb_set_date1904(doc_get_workbook(doc), 1); }, 2,
         {"A1", "D1"}, "dd"},
        {"the date system set as it was", dates, [](auto* doc, auto*) { wb_set_date1904(doc_get_workbook(doc), 0); },
         2, {"A1", "D1"}, "kk"},
        {"the date system switched back", dates,
         [](auto* doc, auto*) {
             wb_set_date1904(doc_get_workbook(doc), 1);
             ws_set_formula_num(sheet(doc, 2), 1, 1, 45292);
             ws_set_formula_num(sheet(doc, 2), 1, 4, 2024);
             wb_set_date1904(doc_get_workbook(doc), 0);
         },
         2, {"A1", "D1"}, "dd"},
        {"a sheet a volatile formula builds renamed", built,
         [](auto* doc, auto*) { wb_rename_sheet(doc_get_workbook(doc), 0, "New Name"); }, 2, {"A1", "D1"}, "dd"},
        {"a sheet a volatile formula builds deleted", built,
         [](auto* doc, auto*) { wb_delete_sheet(doc_get_workbook(doc), 0); }, 1, {"A1", "D1"}, "dd"},
        {"a sheet a volatile formula builds added", built,
         [](auto* doc, auto*) { wb_add_worksheet(doc_get_workbook(doc), "Extra"); }, 2, {"A1", "D1"}, "dd"},
        {"a row inserted on a sheet a volatile formula builds", built,
         [](auto* doc, auto*) { ASSERT_EQ(ws_insert_row(sheet(doc, 0), 1, 1), 1) << run_msg(); }, 2, {"A1", "D1"}, "dd"},
        {"sheets moved beside volatile formulas", built,
         [](auto* doc, auto*) { wb_shift_sheet(doc_get_workbook(doc), 0, 1); }, 2, {"A1", "D1"}, "dd"},
        {"a reference into another workbook", named_book("", formula("A1", "[1]Sheet1!A1+1", 2) + followed),
         [](auto* doc, auto*) { ws_set_num(sheet(doc, 1), 9, 9, 5); }, 2, {"A1", "D1"}, "kk"},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", r.package);
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << r.what << ": " << run_msg();
        r.edit(doc, sheet(doc, 0));
        const std::string xml = find(saved(doc, dir), "xl/worksheets/sheet" + std::to_string(r.at + 1) + ".xml");
        std::string kept;
        for (const std::string& ref : r.refs) {
            int row = 0, col = 0;
            a1_to_row_col(ref.c_str(), &row, &col);
            const int type = ws_cell_type(sheet(doc, r.at), row, col);
            const bool held = type == CELLTYPE_NUMBER || type == CELLTYPE_TEXT;
            const bool written = element(xml, "<c r=\"" + ref + "\"", "</c>").find("<v>") != std::string::npos;
            kept += held && written ? 'k' : !held && !written ? 'd' : '?';
        }
        EXPECT_EQ(kept, r.kept) << r.what;
        doc_release(doc);
    }
}

// Sheet1 A1:A3 Qty, 1, 2. Each row readies the book, writes the formula at
// `ref` with the result 42, then makes the sheet, name or table it spells and
// sets a cell that now reads: the result goes (getter and saved <v>).
TEST(stale_results, formulas_written_before_what_they_spell_exists_drop_their_results) {
    using step_t = std::function<void(plover_workbook_t*, plover_worksheet_t*)>;
    const auto sheet9_set = [](plover_workbook_t* wb, plover_worksheet_t*) {
        ws_set_num(wb_add_worksheet(wb, "Sheet9"), 1, 1, 7);
    };
    const auto qty_set = [](plover_worksheet_t* ws) { ws_set_num(ws, 2, 1, 5); };
    const auto alpha_beta_gamma = [](plover_workbook_t* wb, plover_worksheet_t*) {
        for (const char* name : {"Alpha", "Beta", "Gamma"}) wb_add_worksheet(wb, name);
    };
    // Tb over A1:B3, its columns Qty and Old.
    const auto old_set = [](plover_workbook_t*, plover_worksheet_t* ws) {
        ws_set_text(ws, 1, 2, "Old");
        ASSERT_NE(ws_add_tabledef(ws, "Tb", 1, 1, 3, 2), nullptr) << run_msg();
    };
    const struct {
        const char* what;
        step_t ready;
        const char* ref;
        const char* text;
        step_t make;
    } rows[] = {
        {"a sheet added", {}, "D1", "Sheet9!A1+A1", sheet9_set},
        {"a sheet renamed into the name", [](auto* wb, auto*) { wb_add_worksheet(wb, "Other"); }, "D1",
         "Sheet9!A1+A1",
         [](auto* wb, auto*) {
             wb_rename_sheet(wb, 1, "Sheet9");
             ws_set_num(wb_get_sheet(wb, 1), 1, 1, 7);
         }},
        {"a name over a sheet added later",
         [](auto* wb, auto*) { ASSERT_EQ(wb_set_defined_name(wb, "Late9", "Sheet9!$A$1", nullptr), 1) << run_msg(); },
         "D1", "Late9*2", sheet9_set},
        {"a table made", {}, "D1", "SUM(Sales[Qty])",
         [&](auto*, auto* ws) {
             ASSERT_NE(ws_add_tabledef(ws, "Sales", 1, 1, 3, 1), nullptr) << run_msg();
             qty_set(ws);
         }},
        {"a table given the display name", [](auto*, auto* ws) { ws_add_tabledef(ws, "Tbl", 1, 1, 3, 1); }, "D1",
         "SUM(Sales[Qty])",
         [&](auto*, auto* ws) { td_set_display_name(ws_get_tabledef_by_name(ws, "Tbl"), "Sales"), qty_set(ws); }},
        {"a sheet added, nothing set on it", {}, "D1", "Sheet9!A1+A1",
         [](auto* wb, auto*) { wb_add_worksheet(wb, "Sheet9"); }},
        {"a sheet whose name holds a quote renamed into the name, in another case",
         [](auto* wb, auto*) { wb_add_worksheet(wb, "Other"); }, "D1", "'It''s'!A1*2",
         [](auto* wb, auto*) {
             wb_rename_sheet(wb, 1, "IT'S");
             ws_set_num(wb_get_sheet(wb, 1), 1, 1, 7);
         }},
        {"a name over a sheet whose name holds a quote",
         [](auto* wb, auto*) { ASSERT_EQ(wb_set_defined_name(wb, "Late", "'It''s'!$A$1", nullptr), 1) << run_msg(); },
         "D1", "Late*2", [](auto* wb, auto*) { ws_set_num(wb_add_worksheet(wb, "It's"), 1, 1, 7); }},
        // Read as one cell of an unknown sheet before, as a span once both ends came.
        {"a span quoted as one", {}, "D1", "SUM('Xa''s:Later'!A1)",
         [](auto* wb, auto*) {
             wb_add_worksheet(wb, "Xa's");
             ws_set_num(wb_add_worksheet(wb, "Later"), 1, 1, 7);
         }},
        {"a name over a span quoted as one",
         [](auto* wb, auto*) {
             ASSERT_EQ(wb_set_defined_name(wb, "Span", "'Later:Later2'!$A$1", nullptr), 1) << run_msg();
         },
         "D1", "SUM(Span)",
         [](auto* wb, auto*) {
             ws_set_num(wb_add_worksheet(wb, "Later"), 1, 1, 7);
             wb_add_worksheet(wb, "Later2");
         }},
        {"a sheet inserted before the last of a span",
         [](auto* wb, auto*) {
             wb_add_worksheet(wb, "Alpha");
             wb_add_worksheet(wb, "Gamma");
         },
         "D1", "SUM(Alpha:Gamma!A1)",
         [](auto* wb, auto*) { ws_set_num(wb_insert_worksheet(wb, 2, "Beta"), 1, 1, 7); }},
        // The span keeps what it read and gains the sheet alone: a value set
        // there still reaches it, its result set again in between.
        {"a sheet inserted inside a span after one deleted from it",
         [](auto* wb, auto*) {
             for (const char* name : {"Alpha", "Beta", "Gamma"}) wb_add_worksheet(wb, name);
         },
         "D1", "SUM(Alpha:Gamma!A1)",
         [](auto* wb, auto* ws) {
             wb_delete_sheet(wb, 2);
             ws_set_formula_num(ws, 1, 4, 42);
             plover_worksheet_t* inside = wb_insert_worksheet(wb, 2, "Delta");
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(inside, 1, 1, 7);
         }},
        // Its filing kept, the span still hears of the sheets left in it.
        {"a sheet deleted from inside a span, a sheet left in it set", alpha_beta_gamma, "D1",
         "SUM(Alpha:Gamma!A1)",
         [](auto* wb, auto* ws) {
             wb_delete_sheet(wb, 2);
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(wb_get_sheet(wb, 2), 1, 1, 7);
         }},
        {"a sheet inserted inside a span read after other references", alpha_beta_gamma, "D1",
         "A1+Alpha!A1+SUM(Alpha:Gamma!A1)",
         [](auto* wb, auto* ws) {
             plover_worksheet_t* inside = wb_insert_worksheet(wb, 3, "Delta");
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(inside, 1, 1, 7);
         }},
        {"a sheet inserted inside two spans of one formula", alpha_beta_gamma, "D1",
         "SUM(Alpha:Gamma!A1)+SUM(Beta:Gamma!B2)",
         [](auto* wb, auto* ws) {
             plover_worksheet_t* inside = wb_insert_worksheet(wb, 3, "Delta");
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(inside, 2, 2, 7);
         }},
        {"two sheets inserted inside a span, one after the other",
         [](auto* wb, auto*) {
             for (const char* name : {"Alpha", "Gamma"}) wb_add_worksheet(wb, name);
         },
         "D1", "SUM(Alpha:Gamma!A1:B2)",
         [](auto* wb, auto* ws) {
             wb_insert_worksheet(wb, 2, "Beta");
             plover_worksheet_t* inside = wb_insert_worksheet(wb, 2, "Delta");
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(inside, 2, 2, 7);
         }},
        {"a sheet inserted inside a span written from its last sheet", alpha_beta_gamma, "D1",
         "SUM(Gamma:Alpha!A1)",
         [](auto* wb, auto* ws) {
             plover_worksheet_t* inside = wb_insert_worksheet(wb, 2, "Delta");
             ws_set_formula_num(ws, 1, 4, 42);
             ws_set_num(inside, 1, 1, 7);
         }},
        {"a sheet renamed to complete a span", [](auto* wb, auto*) { ws_set_num(wb_add_worksheet(wb, "M3"), 2, 2, 32); },
         "D1", "IFERROR(SUM(Later:M3!B2),-1)", [](auto* wb, auto*) { wb_rename_sheet(wb, 1, "Later"); }},
        {"a sheet renamed to complete a span, in another case",
         [](auto* wb, auto*) { ws_set_num(wb_add_worksheet(wb, "M3"), 2, 2, 32); }, "D1",
         "IFERROR(SUM(Later:M3!B2),-1)", [](auto* wb, auto*) { wb_rename_sheet(wb, 1, "later"); }},
        {"a sheet deleted while the name is missing, then added",
         // The sheet going holds a formula naming it too.
         [](auto* wb, auto*) { ws_set_formula(wb_add_worksheet(wb, "Other"), 1, 1, "Sheet9!A1*2"); }, "D1",
         "Sheet9!A1+A1",
         [](auto* wb, auto* ws) {
             wb_delete_sheet(wb, 1);
             plover_worksheet_t* added = wb_add_worksheet(wb, "Sheet9");
             ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 42), 1) << run_msg();
             ws_set_num(added, 1, 1, 7);
         }},
        // Read in part before, filed by the table after: the column's cell reaches it either way.
        {"a bare column in a table made around it", {}, "B2", "[Qty]+1",
         [&](auto*, auto* ws) {
             ASSERT_NE(ws_add_tabledef(ws, "Sales", 1, 1, 3, 2), nullptr) << run_msg();
             ASSERT_EQ(ws_set_formula_num(ws, 2, 2, 42), 1) << run_msg();
             qty_set(ws);
         }},
        {"a table made, before any of its cells is set", [](auto*, auto* ws) { ws_set_text(ws, 1, 3, "X"); }, "D1",
         "SUM(Tab[X])", [](auto*, auto* ws) { ASSERT_NE(ws_add_tabledef(ws, "Tab", 1, 3, 3, 3), nullptr) << run_msg(); }},
        {"a table given the display name its name alone spells",
         [](auto*, auto* ws) { ws_add_tabledef(ws, "Tbl", 1, 1, 3, 1); }, "D1", "SUM(Dn)",
         [&](auto*, auto* ws) { td_set_display_name(ws_get_tabledef_by_name(ws, "Tbl"), "Dn"), qty_set(ws); }},
        {"a column renamed into the name", old_set, "A6", "SUM(Tb[New])",
         [](auto*, auto* ws) {
             ASSERT_EQ(td_set_col_name(ws_get_tabledef_by_name(ws, "Tb"), 1, "New"), 1) << run_msg();
             ws_set_num(ws, 2, 2, 5);
         }},
        {"a column inserted under the name", old_set, "A6", "SUM(Tb[Ins])",
         [](auto*, auto* ws) {
             ASSERT_EQ(td_insert_col(ws_get_tabledef_by_name(ws, "Tb"), 1, "Ins"), 1) << run_msg();
             ws_set_num(ws, 2, 2, 5);
         }},
        {"a column inserted under the name, nothing set in it", old_set, "A6", "SUM(Tb[Ins])",
         [](auto*, auto* ws) { ASSERT_EQ(td_insert_col(ws_get_tabledef_by_name(ws, "Tb"), 1, "Ins"), 1) << run_msg(); }},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        ws_set_text(ws, 1, 1, "Qty");
        ws_set_num(ws, 2, 1, 1);
        ws_set_num(ws, 3, 1, 2);
        if (r.ready) r.ready(wb, ws);
        int row = 0, col = 0;
        a1_to_row_col(r.ref, &row, &col);
        ASSERT_EQ(ws_set_formula(ws, row, col, r.text), 1) << r.what << ": " << run_msg();
        ASSERT_EQ(ws_set_formula_num(ws, row, col, 42), 1) << r.what << ": " << run_msg();
        r.make(wb, ws);
        scratch_dir dir;
        const std::string xml = cell_xml(saved(doc, dir), r.ref);
        EXPECT_NE(ws_cell_type(ws, row, col), CELLTYPE_NUMBER) << r.what;
        EXPECT_EQ(xml.find("<v>"), std::string::npos) << r.what << ": " << xml;
        doc_release(doc);
    }
}

// A span is filed by what changed in it: a sheet moved out of it is read no
// more, one moved inside it still is, and the span's result goes with each move.
TEST(stale_results, a_span_follows_sheets_moved_out_of_and_inside_it) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    for (const char* name : {"Alpha", "Beta", "Inner", "Gamma"}) wb_add_worksheet(wb, name);
    ASSERT_EQ(ws_set_formula(ws, 1, 4, "SUM(Alpha:Gamma!A1)"), 1) << run_msg();
    const auto held = [&] { return ws_cell_type(ws, 1, 4) == CELLTYPE_NUMBER; };
    const auto set_on = [&](const char* name) {
        ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 42), 1) << run_msg();
        for (int i = 0; i < int(wb_sheet_count(wb)); ++i)
            if (std::string(wb_sheet_name(wb, i)) == name) ws_set_num(wb_get_sheet(wb, i), 1, 1, 7);
    };
    set_on("Beta");
    EXPECT_FALSE(held());
    ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 42), 1) << run_msg();
    wb_shift_sheet(wb, 3, 2);  // Inner moved before Beta
    EXPECT_FALSE(held());
    for (const char* name : {"Beta", "Inner"}) {
        set_on(name);
        EXPECT_FALSE(held()) << name << ", moved inside the span";
    }
    wb_shift_sheet(wb, 3, 4);  // Beta moved after Gamma
    EXPECT_FALSE(held());
    set_on("Beta");
    EXPECT_TRUE(held()) << "a sheet moved out of the span";
    set_on("Gamma");
    EXPECT_FALSE(held()) << "the span's last sheet";
    // Sheets moved inside the span and sheets joining it are read, whatever
    // came between.
    ASSERT_NE(wb_insert_worksheet(wb, 3, "Joined"), nullptr) << run_msg();
    ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 42), 1) << run_msg();
    wb_shift_sheet(wb, 2, 3);  // Alpha, Joined, Inner, Gamma
    EXPECT_FALSE(held());
    ASSERT_NE(wb_insert_worksheet(wb, 3, "Late"), nullptr) << run_msg();  // Alpha, Joined, Late, Inner, Gamma
    for (const char* name : {"Alpha", "Joined", "Late", "Inner", "Gamma"}) {
        set_on(name);
        EXPECT_FALSE(held()) << name << ", in the span after moves inside it";
    }
    ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 42), 1) << run_msg();
    wb_shift_sheet(wb, 2, 6);  // Joined moved to the end
    EXPECT_FALSE(held());
    set_on("Joined");
    EXPECT_TRUE(held()) << "a sheet moved out after moves inside the span";
    doc_release(doc);
}

TEST(real_clients_stale_results, libreoffice_recomputes_the_results_a_change_made_stale) {
    scratch_dir dir;
    plover_document_t* doc = chain_book();
    ws_set_formula(sheet(doc, 0), 1, 1, "10");
    const std::string path = dir / "stale.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string csv_dir = dir / "csv";
    ASSERT_EQ(writer_test::convert_to_csv(dir, {path}, csv_dir), 0) << slurp(dir / "soffice.log");
    EXPECT_EQ(slurp(csv_dir + "/stale-Sheet1.csv"), "10,11,22,7\n");
}
