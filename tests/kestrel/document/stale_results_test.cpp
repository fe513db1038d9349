// A change to a cell makes the cached results of the formulas that read it,
// directly or through other formulas, stale: they are dropped, and a saved
// copy then asks its readers to recompute (calcPr fullCalcOnLoad). Error
// literals of later applications go when a value replaces them.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace package_test;

namespace {

using edit_t = std::function<void(plover_document_t*)>;

plover_worksheet_t* sheet(plover_document_t* doc, int index) { return wb_get_sheet(doc_get_workbook(doc), index); }

// "B1=2" for a calculated number, "B1=-" for a formula without a result.
std::string result_at(plover_worksheet_t* ws, int row, int col) {
    const std::string name = std::string(1, char('A' + col - 1)) + std::to_string(row);
    if (ws_cell_type(ws, row, col) != CELLTYPE_NUMBER) return name + "=-";
    return name + "=" + std::to_string(int(ws_get_num(ws, row, col)));
}

// The sheet of the issue: A1 1, B1 A1+1 (2), C1 B1*2 (4); D1 E1+1 (7) reads
// nothing that changes.
void chain(plover_worksheet_t* ws) {
    ws_set_num(ws, 1, 1, 1);
    ws_set_formula(ws, 1, 2, "A1+1");
    ws_set_formula_num(ws, 1, 2, 2);
    ws_set_formula(ws, 1, 3, "B1*2");
    ws_set_formula_num(ws, 1, 3, 4);
    ws_set_formula(ws, 1, 4, "E1+1");
    ws_set_formula_num(ws, 1, 4, 7);
}

std::string chain_results(plover_worksheet_t* ws) {
    return result_at(ws, 1, 2) + " " + result_at(ws, 1, 3) + " " + result_at(ws, 1, 4);
}

// Saves and returns the copy's entries.
entries_t saved(plover_document_t* doc, const scratch_dir& dir, const std::string& name = "out.xlsx") {
    EXPECT_EQ(doc_save(doc, (dir / name).c_str()), 1) << run_msg();
    return read_zip(dir / name);
}

// The calcPr element of a saved workbook, or "" without one.
std::string calc_pr(const entries_t& copy) {
    const std::string book = find(copy, "xl/workbook.xml");
    const size_t at = book.find("<calcPr");
    return at == std::string::npos ? "" : book.substr(at, book.find("/>", at) + 2 - at);
}

std::string cell_xml(const entries_t& copy, const std::string& ref, int sheet_number = 1) {
    const std::string xml = find(copy, "xl/worksheets/sheet" + std::to_string(sheet_number) + ".xml");
    const size_t at = xml.find("<c r=\"" + ref + "\"");
    return at == std::string::npos ? "" : xml.substr(at, xml.find("</c>", at) + 4 - at);
}

} // namespace

TEST(stale_results, every_value_setter_drops_the_results_of_the_formulas_reading_the_cell) {
    const struct {
        const char* name;
        std::function<void(plover_document_t*, plover_worksheet_t*)> edit;
        const char* results;
    } rows[] = {
        {"number", [](auto*, auto* ws) { ws_set_num(ws, 1, 1, 10); }, "B1=- C1=- D1=7"},
        {"formula", [](auto*, auto* ws) { ws_set_formula(ws, 1, 1, "10"); }, "B1=- C1=- D1=7"},
        {"text", [](auto*, auto* ws) { ws_set_text(ws, 1, 1, "ten"); }, "B1=- C1=- D1=7"},
        {"boolean", [](auto*, auto* ws) { ws_set_boolean(ws, 1, 1, 1); }, "B1=- C1=- D1=7"},
        {"date", [](auto*, auto* ws) { ws_set_datetime(ws, 1, 1, 45000); }, "B1=- C1=- D1=7"},
        {"error", [](auto*, auto* ws) { ws_set_error(ws, 1, 1, ERRORCODE_NA); }, "B1=- C1=- D1=7"},
        {"rich text",
         [](auto* doc, auto* ws) {
             plover_richtext_t* rt = wb_make_richtext(doc_get_workbook(doc));
             rt_append(rt, "ten", nullptr);
             ws_set_richtext(ws, 1, 1, rt);
             rt_release(rt);
         },
         "B1=- C1=- D1=7"},
        {"contents cleared", [](auto*, auto* ws) { ws_clear_contents(ws, 1, 1, 1, 1); }, "B1=- C1=- D1=7"},
        {"a range over it cleared", [](auto*, auto* ws) { ws_clear_contents(ws, 5, 1, 1, 1); }, "B1=- C1=- D1=7"},
        // Only B1 changed: what reads B1 goes stale, B1 keeps its own result.
        {"the middle formula's text", [](auto*, auto* ws) { ws_set_formula(ws, 1, 2, "A1+2"); }, "B1=- C1=- D1=7"},
        {"a cell nothing reads", [](auto*, auto* ws) { ws_set_num(ws, 2, 1, 10); }, "B1=2 C1=4 D1=7"},
        {"a refused value", [](auto*, auto* ws) { ws_set_num(ws, 0, 1, 10); }, "B1=2 C1=4 D1=7"},
        {"a style", [](auto* doc, auto* ws) {
             plover_style_t* bold = wb_make_normal_style(doc_get_workbook(doc));
             style_set_bold(bold, 1);
             ws_set_cell_style(ws, 1, 1, bold);
         }, "B1=2 C1=4 D1=7"},
        // A result the host gives is its own: what it computed from it stays.
        {"a result given", [](auto*, auto* ws) { ws_set_formula_num(ws, 1, 2, 3); }, "B1=3 C1=4 D1=7"},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        chain(ws);
        ASSERT_EQ(chain_results(ws), "B1=2 C1=4 D1=7");
        r.edit(doc, ws);
        EXPECT_EQ(chain_results(ws), r.results) << r.name;
        if (std::string(r.results) == "B1=- C1=- D1=7") {
            EXPECT_EQ(ws_get_num(ws, 1, 3), 0.0) << r.name;
            EXPECT_STREQ(run_msg(),
                         "The cell does not contain a numerical value or is a formula cell that has not been "
                         "calculated yet.")
                << r.name;
        }
        doc_release(doc);
    }
}

TEST(stale_results, formulas_on_other_sheets_lose_their_results_and_other_workbooks_keep_theirs) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* first = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    plover_worksheet_t* second = wb_add_worksheet(doc_get_workbook(doc), "Sheet2");
    plover_document_t* other = doc_create();
    plover_worksheet_t* alike = wb_add_worksheet(doc_get_workbook(other), "Sheet1");
    for (plover_worksheet_t* ws : {first, alike}) ws_set_num(ws, 1, 1, 1);
    for (plover_worksheet_t* ws : {second, wb_add_worksheet(doc_get_workbook(other), "Sheet2")}) {
        ws_set_formula(ws, 1, 2, "Sheet1!A1+1");
        ws_set_formula_num(ws, 1, 2, 2);
        ws_set_formula(ws, 1, 3, "B1*2");
        ws_set_formula_num(ws, 1, 3, 4);
    }
    ws_set_num(first, 1, 1, 10);
    EXPECT_EQ(result_at(second, 1, 2) + " " + result_at(second, 1, 3), "B1=- C1=-");
    plover_worksheet_t* other_second = sheet(other, 1);
    EXPECT_EQ(result_at(other_second, 1, 2) + " " + result_at(other_second, 1, 3), "B1=2 C1=4");

    scratch_dir dir;
    const entries_t copy = saved(doc, dir);
    EXPECT_EQ(cell_xml(copy, "B1", 2), "<c r=\"B1\"><f>Sheet1!A1+1</f></c>");
    EXPECT_EQ(calc_pr(copy), "<calcPr fullCalcOnLoad=\"1\"/>");
    const entries_t untouched = saved(other, dir, "other.xlsx");
    EXPECT_EQ(cell_xml(untouched, "B1", 2), "<c r=\"B1\"><f>Sheet1!A1+1</f><v>2</v></c>");
    EXPECT_EQ(calc_pr(untouched), "");
    doc_release(other);
    doc_release(doc);
}

// The save of the issue: B1 and C1 go without their stale values, and the
// workbook asks for a recalculation; results given again make it needless.
TEST(stale_results, a_save_asks_readers_to_recompute_only_while_a_dropped_result_is_missing) {
    const struct {
        const char* name;
        std::function<void(plover_worksheet_t*)> edit;
        const char* b1;
        const char* calc;
    } rows[] = {
        {"precedent set", [](auto* ws) { ws_set_formula(ws, 1, 1, "10"); }, "<c r=\"B1\"><f>A1+1</f></c>",
         "<calcPr fullCalcOnLoad=\"1\"/>"},
        {"nothing changed", [](auto*) {}, "<c r=\"B1\"><f>A1+1</f><v>2</v></c>", ""},
        {"results given again",
         [](auto* ws) {
             ws_set_formula(ws, 1, 1, "10");
             ws_set_formula_num(ws, 1, 2, 11);
             ws_set_formula_num(ws, 1, 3, 22);
         },
         "<c r=\"B1\"><f>A1+1</f><v>11</v></c>", ""},
        {"stale formulas replaced by numbers",
         [](auto* ws) {
             ws_set_num(ws, 1, 1, 10);
             ws_set_num(ws, 1, 2, 11);
             ws_set_num(ws, 1, 3, 22);
         },
         "<c r=\"B1\"><v>11</v></c>", ""},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        chain(ws);
        r.edit(ws);
        scratch_dir dir;
        const entries_t copy = saved(doc, dir);
        EXPECT_EQ(cell_xml(copy, "B1"), r.b1) << r.name;
        EXPECT_EQ(calc_pr(copy), r.calc) << r.name;
        doc_release(doc);
    }
}

namespace {

// A workbook saved elsewhere with cached values: A1 1, B1 A1+1 (2), C1 B1*2 (4).
entries_t cached_package(const std::string& calc_pr_element) {
    entries_t p = reader_test::sheet_package(
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>A1+1</f><v>2</v></c>"
        "<c r=\"C1\"><f>B1*2</f><v>4</v></c></row></sheetData>");
    for (auto& [name, bytes] : p)
        if (name == "xl/workbook.xml") bytes.insert(bytes.find("</workbook>"), calc_pr_element);
    return p;
}

} // namespace

TEST(stale_results, a_loaded_workbook_keeps_its_calculation_settings_beside_the_recalculation) {
    const struct {
        const char* read;   // calcPr as the file has it
        bool edited;        // A1 set to 10
        const char* saved;  // calcPr of the copy
    } rows[] = {
        {"<calcPr calcId=\"191029\"/>", true, "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\"/>"},
        {"<calcPr calcId=\"191029\"/>", false, "<calcPr calcId=\"191029\"/>"},
        {"<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>", true,
         "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\" iterate=\"1\"/>"},
        {"<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>", false,
         "<calcPr calcId=\"191029\" fullCalcOnLoad=\"0\" iterate=\"1\"/>"},
        {"<calcPr calcId=\"191029\" calcMode=\"manual\"/>", true,
         "<calcPr calcId=\"191029\" fullCalcOnLoad=\"1\" calcMode=\"manual\"/>"},
        {"", true, "<calcPr fullCalcOnLoad=\"1\"/>"},
        {"", false, ""},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", cached_package(r.read));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_worksheet_t* ws = sheet(doc, 0);
        ASSERT_EQ(result_at(ws, 1, 2) + " " + result_at(ws, 1, 3), "B1=2 C1=4");
        if (r.edited) ws_set_num(ws, 1, 1, 10);
        EXPECT_EQ(result_at(ws, 1, 2) + " " + result_at(ws, 1, 3), r.edited ? "B1=- C1=-" : "B1=2 C1=4") << r.read;
        const entries_t copy = saved(doc, dir);
        doc_release(doc);
        EXPECT_EQ(calc_pr(copy), r.saved) << r.read;
        EXPECT_EQ(cell_xml(copy, "C1"), r.edited ? "<c r=\"C1\"><f>B1*2</f></c>" : "<c r=\"C1\"><f>B1*2</f><v>4</v></c>")
            << r.read;
        // The copy reads back as saved: the stale values stay gone.
        plover_document_t* back = doc_load((dir / "out.xlsx").c_str());
        ASSERT_NE(back, nullptr) << run_msg();
        EXPECT_EQ(result_at(sheet(back, 0), 1, 3), r.edited ? "C1=-" : "C1=4") << r.read;
        doc_release(back);
    }
}

// A value set in a cell read with a literal the model has no code for
// (#CALC!) replaces that literal: #VALUE! set afterwards saves as #VALUE!.
TEST(stale_results, a_value_set_forgets_the_error_literal_read_in_the_cell) {
    const std::string calc = "<c r=\"A1\" t=\"e\"><v>#CALC!</v></c>";
    const std::string calc_formula = "<c r=\"A1\" t=\"e\"><f>B1/0</f><v>#CALC!</v></c>";
    const auto set_value_error = [](plover_worksheet_t* ws) { ws_set_error(ws, 1, 1, ERRORCODE_VALUE); };
    const struct {
        const char* name;
        std::string cell;
        std::function<void(plover_document_t*, plover_worksheet_t*)> edit;
        const char* saved;  // A1 in the copy
    } rows[] = {
        {"number", calc, [&](auto*, auto* ws) { ws_set_num(ws, 1, 1, 5), set_value_error(ws); },
         "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"text", calc, [&](auto*, auto* ws) { ws_set_text(ws, 1, 1, "x"), set_value_error(ws); },
         "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"boolean", calc, [&](auto*, auto* ws) { ws_set_boolean(ws, 1, 1, 0), set_value_error(ws); },
         "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"date", calc, [&](auto*, auto* ws) { ws_set_datetime(ws, 1, 1, 45000), set_value_error(ws); },
         "<c r=\"A1\" s=\"1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"the same error", calc, [&](auto*, auto* ws) { set_value_error(ws); }, "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"contents cleared", calc, [&](auto*, auto* ws) { ws_clear_contents(ws, 1, 1, 3, 3), set_value_error(ws); },
         "<c r=\"A1\" t=\"e\"><v>#VALUE!</v></c>"},
        {"formula", calc,
         [](auto*, auto* ws) {
             ws_set_formula(ws, 1, 1, "1/0");
             ws_set_formula_error(ws, 1, 1, ERRORCODE_VALUE);
         },
         "<c r=\"A1\" t=\"e\"><f>1/0</f><v>#VALUE!</v></c>"},
        {"result", calc_formula,
         [](auto*, auto* ws) {
             ws_set_formula_num(ws, 1, 1, 5);
             ws_set_formula_error(ws, 1, 1, ERRORCODE_VALUE);
         },
         "<c r=\"A1\" t=\"e\"><f>B1/0</f><v>#VALUE!</v></c>"},
        {"a style", calc,
         [](auto* doc, auto* ws) {
             plover_style_t* bold = wb_make_normal_style(doc_get_workbook(doc));
             style_set_bold(bold, 1);
             ws_set_cell_style(ws, 1, 1, bold);
         },
         "<c r=\"A1\" s=\"1\" t=\"e\"><v>#CALC!</v></c>"},
        {"another cell's value", calc, [&](auto*, auto* ws) { ws_set_num(ws, 1, 2, 5); },
         "<c r=\"A1\" t=\"e\"><v>#CALC!</v></c>"},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", reader_test::sheet_package("<sheetData><row r=\"1\">" + r.cell + "</row></sheetData>"));
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        r.edit(doc, sheet(doc, 0));
        const entries_t copy = saved(doc, dir);
        doc_release(doc);
        EXPECT_EQ(cell_xml(copy, "A1"), r.saved) << r.name;
    }
}

// LibreOffice recomputes what the save left without its stale value.
TEST(real_clients_stale_results, libreoffice_recomputes_the_results_a_change_made_stale) {
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    chain(ws);
    ws_set_formula(ws, 1, 1, "10");
    const std::string path = dir / "stale.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const std::string csv_dir = dir / "csv";
    ASSERT_EQ(writer_test::convert_to_csv(dir, {path}, csv_dir), 0) << slurp(dir / "soffice.log");
    EXPECT_EQ(slurp(csv_dir + "/stale-Sheet1.csv"), "10,11,22,7\n");
}
