// Sheets and tables renamed or deleted through the exports: every formula and
// defined name names them by their new names (and keeps its result), or names
// a table that went as #REF! (and loses its result with its dependents'), so
// that a saved copy names nothing the workbook no longer has.

#include "plover.h"
#include "tests/kestrel/document/stale_results_support.h"
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace package_test;

namespace {

std::string cell_of(const entries_t& copy, int n, const std::string& ref) {
    return element(find(copy, "xl/worksheets/sheet" + std::to_string(n) + ".xml"), "<c r=\"" + ref + "\"", "</c>");
}

// The package written to the scratch folder and loaded; null when refused.
plover_document_t* loaded(const scratch_dir& dir, const entries_t& package) {
    write_zip(dir / "in.xlsx", package);
    return doc_load((dir / "in.xlsx").c_str());
}

std::string defined_names(const entries_t& copy) {
    return element(find(copy, "xl/workbook.xml"), "<definedNames>", "</definedNames>");
}

// Sheet1 A1:A3 1, 2, 3; Sheet2 A1:A3 a shared group of Sheet1!A1*10, B1:B3 an
// array of Sheet1!A1:A3*2, C1 a text naming the sheet beside a reference, D1
// a reference to its own sheet; a workbook name and Sheet1's print area.
entries_t loaded_book() {
    round_trip_test::crafted_t c;
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
                 "<row r=\"3\"><c r=\"A3\"><v>3</v></c></row></sheetData>",
                 ""},
                {"<sheetData><row r=\"1\">"
                 "<c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">Sheet1!A1*10</f><v>10</v></c>"
                 "<c r=\"B1\"><f t=\"array\" ref=\"B1:B3\">Sheet1!A1:A3*2</f><v>2</v></c>"
                 "<c r=\"C1\" t=\"str\"><f>'Sheet1'!A1&amp;\"Sheet1!A1\"</f><v>1Sheet1!A1</v></c>"
                 "<c r=\"D1\"><f>Sheet2!A1+1</f><v>11</v></c></row>"
                 "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>20</v></c><c r=\"B2\"><v>4</v></c></row>"
                 "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>30</v></c><c r=\"B3\"><v>6</v></c></row>"
                 "</sheetData>",
                 ""}};
    c.book_body = "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"
                  "<sheet name=\"Sheet2\" sheetId=\"2\" r:id=\"rId2\"/></sheets><definedNames>"
                  "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">Sheet1!$A$1:$C$3</definedName>"
                  "<definedName name=\"Val\">sheet1!$A$2</definedName></definedNames>";
    return round_trip_test::package_of(c);
}

} // namespace

TEST(renamed_references, a_renamed_sheet_is_named_so_by_every_formula_and_name) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, loaded_book());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* out = sheet(doc, 1);
    ASSERT_EQ(ws_set_formula(out, 1, 5, "Sheet1!A2+Val"), 1) << run_msg();
    ASSERT_EQ(ws_set_formula_num(out, 1, 5, 4), 1) << run_msg();
    wb_rename_sheet(wb, 0, "My Data");
    ASSERT_EQ(ws_set_name(out, "Out"), 1) << run_msg();
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 5)), "'My Data'!A2+Val");
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 2, 1)), "'My Data'!A2*10");
    const entries_t copy = saved(doc, dir);
    // Every result kept: nothing asks readers to recalculate.
    EXPECT_EQ(calc_pr(copy), "");
    const std::pair<const char*, const char*> cells[] = {
        {"A1", "<c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">&apos;My Data&apos;!A1*10</f><v>10</v></c>"},
        {"A3", "<c r=\"A3\"><f t=\"shared\" si=\"0\"></f><v>30</v></c>"},
        {"B1", "<c r=\"B1\"><f t=\"array\" ref=\"B1:B3\">&apos;My Data&apos;!A1:A3*2</f><v>2</v></c>"},
        {"C1", "<c r=\"C1\" t=\"str\"><f>&apos;My Data&apos;!A1&amp;&quot;Sheet1!A1&quot;</f><v>1Sheet1!A1</v></c>"},
        {"D1", "<c r=\"D1\"><f>Out!A1+1</f><v>11</v></c>"},
        {"E1", "<c r=\"E1\"><f>&apos;My Data&apos;!A2+Val</f><v>4</v></c>"},
    };
    for (const auto& [ref, xml] : cells) EXPECT_EQ(cell_of(copy, 2, ref), xml) << ref;
    EXPECT_EQ(defined_names(copy),
              "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"0\">&apos;My "
              "Data&apos;!$A$1:$C$3</definedName><definedName name=\"Val\">&apos;My Data&apos;!$A$2</definedName>"
              "</definedNames>");
    // The references still read their cells.
    ws_set_num(sheet(doc, 0), 2, 1, 7);
    EXPECT_NE(ws_cell_type(out, 1, 5), CELLTYPE_NUMBER);
    EXPECT_NE(ws_cell_type(out, 2, 1), CELLTYPE_NUMBER);
    doc_release(doc);
}

// A shared group whose first cell went still gives its followers its text:
// they follow the rename of the sheet they read, and its deletion.
TEST(renamed_references, followers_of_a_group_without_its_first_cell_follow_the_sheet) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, loaded_book());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* out = sheet(doc, 1);
    ASSERT_EQ(ws_set_num(out, 1, 1, 5), 1) << run_msg();
    wb_rename_sheet(doc_get_workbook(doc), 0, "Data");
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 2, 1)), "Data!A2*10");
    EXPECT_NE(cell_of(saved(doc, dir), 2, "A3").find("<f>Data!A3*10</f>"), std::string::npos);
    wb_delete_sheet(doc_get_workbook(doc), 0);
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 2, 1)), "#REF!*10");
    doc_release(doc);
}

// A loaded span of sheets shared down a column is kept unparsed, its
// followers filed by the words of their group's text; a sheet deleted at its
// end leaves it one sheet, which parses once a name comes. Either way its
// followers, standing alone once their first cell moves out, still follow
// each rename of that sheet, and its deletion.
TEST(renamed_references, a_group_read_anew_follows_each_rename_of_its_sheet) {
    round_trip_test::crafted_t c;
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A3\" si=\"0\">SUM(A:B!B1)</f>"
                 "<v>0</v></c></row><row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row>"
                 "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"0\"/><v>0</v></c></row></sheetData>",
                 ""},
                {"<sheetData/>", ""},
                {"<sheetData/>", ""}};
    c.book_body = "<sheets><sheet name=\"Out\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"A\" sheetId=\"2\" "
                  "r:id=\"rId2\"/><sheet name=\"B\" sheetId=\"3\" r:id=\"rId3\"/></sheets>";
    scratch_dir dir;
    write_zip(dir / "in.xlsx", round_trip_test::package_of(c));
    for (const bool parsed : {false, true}) {
        plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* out = sheet(doc, 0);
        const std::string span = parsed ? "" : "A:";
        if (parsed) wb_delete_sheet(wb, 1);
        const int b = parsed ? 1 : 2;
        wb_rename_sheet(wb, b, "Data");
        if (parsed) {
            ASSERT_EQ(wb_set_defined_name(wb, "Rate", "Out!$C$1", nullptr), 1) << run_msg();
        }
        wb_rename_sheet(wb, b, "Info");
        ASSERT_EQ(ws_shift_range_right(out, 1, 1, 1, 1), 1) << run_msg();
        wb_rename_sheet(wb, b, "Last");
        EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 2)), "SUM(" + span + "Last!B1)") << parsed;
        for (int row = 2; row <= 3; ++row)
            EXPECT_EQ(std::string(ws_get_formula_expr(out, row, 1)), "SUM(" + span + "Last!B" + std::to_string(row) + ")")
                << parsed << row;
        // Nor does the sheet's deletion leave its name behind.
        wb_delete_sheet(wb, b);
        for (int row = 2; row <= 3; ++row)
            EXPECT_EQ(std::string(ws_get_formula_expr(out, row, 1)).find("Last"), std::string::npos) << parsed << row;
        doc_release(doc);
    }
}

// Sheet names are alike in any case, beyond ASCII too, as the workbook
// refuses them: a formula spelling one so reads the sheet and follows its rename.
TEST(renamed_references, a_sheet_is_named_in_any_case_beyond_ascii) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* data = wb_add_worksheet(wb, "Ärger");
    plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
    ws_set_num(data, 1, 1, 1);
    ASSERT_EQ(ws_set_formula(out, 1, 1, "ärger!A1*2") + ws_set_formula_num(out, 1, 1, 2), 2) << run_msg();
    wb_rename_sheet(wb, 0, "Neu");
    EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), "Neu!A1*2");
    EXPECT_EQ(ws_get_num(out, 1, 1), 2);
    ws_set_num(data, 1, 1, 5);
    EXPECT_NE(ws_cell_type(out, 1, 1), CELLTYPE_NUMBER);
    doc_release(doc);
}

// A renamed sheet is written quoted unless its name holds nothing but letters
// of any script, digits, "_" and ".", as other readers take it; a span is
// quoted as one where either end needs it, whatever its reference reads.
TEST(renamed_references, sheet_names_other_readers_take_bare_are_the_only_ones_unquoted) {
    const struct {
        const char* formula;
        const char* name;  // for S3
        const char* written;
    } rows[] = {
        {"S3!B1", "a\xC2\xA0" "b", "'a\xC2\xA0" "b'!B1"},
        {"S3!B1", "a\xE2\x80\x93" "b", "'a\xE2\x80\x93" "b'!B1"},
        {"S3!B1", "a\xE2\x82\xAC" "b", "'a\xE2\x82\xAC" "b'!B1"},
        {"S3!B1", "a\xE2\x80\x99" "b", "'a\xE2\x80\x99" "b'!B1"},
        {"S3!B1", "a\xEF\xBC\x81" "b", "'a\xEF\xBC\x81" "b'!B1"},
        {"S3!B1", "a\xE3\x80\x80" "b", "'a\xE3\x80\x80" "b'!B1"},
        {"S3!B1", "\xC3\x84rger", "\xC3\x84rger!B1"},
        {"S3!B1", "\xE6\x9D\xB1\xE4\xBA\xAC_1.x", "\xE6\x9D\xB1\xE4\xBA\xAC_1.x!B1"},
        {"SUM(S1:S3!Foo)", "x y", "SUM('S1:x y'!Foo)"},
        {"SUM(Later:S3!B1)", "x y", "SUM('Later:x y'!B1)"},
    };
    for (const auto& row : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        for (const char* name : {"S1", "S2", "S3"}) wb_add_worksheet(wb, name);
        plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
        ASSERT_EQ(ws_set_formula(out, 1, 1, row.formula), 1) << row.formula << ": " << run_msg();
        wb_rename_sheet(wb, 2, row.name);
        const char* written = ws_get_formula_expr(out, 1, 1);
        ASSERT_NE(written, nullptr) << row.name;
        EXPECT_EQ(std::string(written), row.written);
        // What is written is what a host may set.
        EXPECT_EQ(ws_set_formula(out, 2, 1, written), 1) << written << ": " << run_msg();
        doc_release(doc);
    }
}

// A formula holding a table's name alone follows its display name, also
// where folding the name lengthens it.
TEST(renamed_references, a_table_named_alone_follows_its_display_name) {
    const struct {
        const char* old_name;
        const char* new_name;
    } rows[] = {{"Abc", "Xyz"}, {"ȺȺȺȺ", "Tnew"}};
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        ws_set_text(ws, 1, 1, "Val");
        ws_set_num(ws, 2, 1, 2);
        plover_tabledef_t* td = ws_add_tabledef(ws, r.old_name, 1, 1, 2, 1);
        ASSERT_NE(td, nullptr) << run_msg();
        ASSERT_EQ(ws_set_formula(ws, 1, 3, r.old_name), 1) << run_msg();
        td_set_display_name(td, r.new_name);
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, 1, 3)), r.new_name) << r.old_name;
        doc_release(doc);
    }
}

// The only formula of a sheet reads a table and goes: its table renamed or
// deleted afterwards rewrites the formulas left, not the one gone (the
// sanitizer pass reads freed memory otherwise).
TEST(renamed_references, a_formula_gone_is_no_reader_of_its_table) {
    const struct {
        const char* what;
        std::function<void(plover_worksheet_t*)> edit;
    } edits[] = {
        {"overwritten", [](auto* ws) { ASSERT_EQ(ws_set_num(ws, 3, 4, 7), 1); }},
        {"its column deleted", [](auto* ws) { ASSERT_EQ(ws_delete_col(ws, 4, 4), 1); }},
        {"its row deleted", [](auto* ws) { ASSERT_EQ(ws_delete_row(ws, 3, 3), 1) << run_msg(); }},
    };
    for (const auto& e : edits) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        ws_set_num(ws, 3, 1, 4);
        plover_tabledef_t* td = ws_add_tabledef(ws, "Sales", 1, 1, 3, 2);
        ASSERT_NE(td, nullptr) << run_msg();
        ASSERT_EQ(ws_set_formula(ws, 3, 4, "Sales[@Column1]*2"), 1) << run_msg();
        e.edit(ws);
        ASSERT_EQ(ws_set_formula(ws, 3, 5, "SUM(Sales[Column1])"), 1) << run_msg();
        td_set_display_name(td, "Orders");
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, 3, 5)), "SUM(Orders[Column1])") << e.what;
        EXPECT_EQ(ws_contains_formula(ws, 3, 4), 0) << e.what;
        EXPECT_EQ(ws_delete_tabledef(ws, "Sales"), 1) << e.what;
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, 3, 5)), "SUM(#REF!)") << e.what;
        doc_release(doc);
    }
}

// Sheet1 A1:B4 the table Tbl (Val 2, 3, 4; Qty 1, 1, 1); Sheet2 formulas
// reading it (F2 reads F1) and the name Vals. Each edit gives the texts after
// it and which results stay (k) or go (d), the saved name and calcPr; a table
// losing a column loses the results of every formula reading it.
TEST(renamed_references, structured_references_follow_their_table_or_become_ref_errors) {
    const char* const formulas[] = {"SUM(Tbl[Val])", "F1*2", "SUM(tbl[[#Data],[Qty]])", "SUM(Tbl)",
                                    "SUM(Vals)",     "LEN(Tbl[[#Headers],[Val]])"};
    const double results[] = {9, 18, 3, 12, 9, 3};
    const struct {
        const char* what;
        std::function<void(plover_workbook_t*, plover_worksheet_t*, plover_tabledef_t*)> edit;
        std::vector<std::string> texts;
        const char* kept;
        const char* name;
    } edits[] = {
        {"display name", [](auto*, auto*, auto* td) { td_set_display_name(td, "Sales"); },
         {"SUM(Sales[Val])", "F1*2", "SUM(Sales[[#Data],[Qty]])", "SUM(Sales)", "SUM(Vals)",
          "LEN(Sales[[#Headers],[Val]])"},
         "kkkkkk", "Sales[Val]"},
        {"column name", [](auto*, auto*, auto* td) { ASSERT_EQ(td_set_col_name(td, 0, "Unit [net]"), 1); },
         {"SUM(Tbl[Unit '[net']])", "F1*2", "SUM(tbl[[#Data],[Qty]])", "SUM(Tbl)", "SUM(Vals)",
          "LEN(Tbl[[#Headers],[Unit '[net']]])"},
         "kkkkkd", "Tbl[Unit &apos;[net&apos;]]"},
        {"list name", [](auto*, auto* ws, auto*) { ASSERT_EQ(ws_set_tabledef_name(ws, 0, "Table9"), 1); },
         {"SUM(Tbl[Val])", "F1*2", "SUM(tbl[[#Data],[Qty]])", "SUM(Tbl)", "SUM(Vals)",
          "LEN(Tbl[[#Headers],[Val]])"},
         "kkkkkk", "Tbl[Val]"},
        {"column deleted", [](auto*, auto*, auto* td) { td_delete_col(td, "Val"); },
         {"SUM(#REF!)", "F1*2", "SUM(tbl[[#Data],[Qty]])", "SUM(Tbl)", "SUM(Vals)", "LEN(#REF!)"}, "dddddd", "#REF!"},
        {"sheet column deleted", [](auto*, auto* ws, auto*) { ASSERT_EQ(ws_delete_col(ws, 1, 1), 1); },
         {"SUM(#REF!)", "F1*2", "SUM(tbl[[#Data],[Qty]])", "SUM(Tbl)", "SUM(Vals)", "LEN(#REF!)"}, "dddddd", "#REF!"},
        {"sheet columns of the whole table deleted", [](auto*, auto* ws, auto*) { ASSERT_EQ(ws_delete_col(ws, 1, 2), 1); },
         {"SUM(#REF!)", "F1*2", "SUM(#REF!)", "SUM(#REF!)", "SUM(Vals)", "LEN(#REF!)"}, "dddddd", "#REF!"},
        {"table deleted", [](auto*, auto* ws, auto*) { ASSERT_EQ(ws_delete_tabledef(ws, "Tbl"), 1); },
         {"SUM(#REF!)", "F1*2", "SUM(#REF!)", "SUM(#REF!)", "SUM(Vals)", "LEN(#REF!)"}, "dddddd", "#REF!"},
        {"sheet deleted", [](auto* wb, auto*, auto*) { wb_delete_sheet(wb, 0); },
         {"SUM(#REF!)", "F1*2", "SUM(#REF!)", "SUM(#REF!)", "SUM(Vals)", "LEN(#REF!)"}, "dddddd", "#REF!"},
    };
    for (const auto& e : edits) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        plover_worksheet_t* out = wb_add_worksheet(wb, "Sheet2");
        ws_set_text(ws, 1, 1, "Val");
        ws_set_text(ws, 1, 2, "Qty");
        for (int r = 2; r <= 4; ++r) ws_set_num(ws, r, 1, r), ws_set_num(ws, r, 2, 1);
        plover_tabledef_t* td = ws_add_tabledef(ws, "Tbl", 1, 1, 4, 2);
        ASSERT_NE(td, nullptr) << run_msg();
        ASSERT_EQ(wb_set_defined_name(wb, "Vals", "Tbl[Val]", nullptr), 1) << run_msg();
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(ws_set_formula(out, i + 1, 6, formulas[i]), 1) << formulas[i] << ": " << run_msg();
            ASSERT_EQ(ws_set_formula_num(out, i + 1, 6, results[i]), 1) << run_msg();
        }
        e.edit(wb, ws, td);
        std::string kept;
        scratch_dir dir;
        const entries_t copy = saved(doc, dir);
        const int n = std::string(e.what) == "sheet deleted" ? 1 : 2;
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(std::string(ws_get_formula_expr(out, i + 1, 6)), e.texts[size_t(i)]) << e.what;
            const bool has = cell_of(copy, n, "F" + std::to_string(i + 1)).find("<v>") != std::string::npos;
            kept += ws_cell_type(out, i + 1, 6) == CELLTYPE_NUMBER && has ? 'k' : !has ? 'd' : '?';
        }
        EXPECT_EQ(kept, e.kept) << e.what;
        EXPECT_EQ(defined_names(copy),
                  "<definedNames><definedName name=\"Vals\">" + std::string(e.name) + "</definedName></definedNames>")
            << e.what;
        EXPECT_EQ(calc_pr(copy), std::string(e.kept).find('d') != std::string::npos ? "<calcPr fullCalcOnLoad=\"1\"/>" : "")
            << e.what;
        doc_release(doc);
    }
}

// Formulas name a table by its display name in any case, or by that name
// alone; saved with a list name of its own and read again, the table is read
// all the same, and a value changed in it drops the results.
TEST(renamed_references, tables_are_found_by_their_display_names_in_any_case) {
    const char* const formulas[] = {"SUM(Sales[Amount])", "SUM(sales[amount])", "SUM(Sales)", "SUM(SALES)"};
    scratch_dir dir;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    ws_set_text(ws, 1, 1, "Amount");
    for (int r = 2; r <= 4; ++r) ws_set_num(ws, r, 1, r);
    ASSERT_NE(ws_add_tabledef(ws, "Sales", 1, 1, 4, 1), nullptr) << run_msg();
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(ws_set_formula(ws, i + 1, 4, formulas[i]), 1) << formulas[i] << ": " << run_msg();
        ASSERT_EQ(ws_set_formula_num(ws, i + 1, 4, 9), 1);
    }
    ASSERT_EQ(ws_set_tabledef_name(ws, 0, "Table1"), 1) << run_msg();
    ASSERT_EQ(doc_save(doc, (dir / "t.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    EXPECT_NE(find(read_zip(dir / "t.xlsx"), "xl/tables/table1.xml").find("name=\"Table1\" displayName=\"Sales\""),
              std::string::npos);
    doc = doc_load((dir / "t.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ws = sheet(doc, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ws_get_num(ws, i + 1, 4), 9) << formulas[i];
    ws_set_num(ws, 3, 1, 10);
    for (int i = 0; i < 4; ++i) EXPECT_NE(ws_cell_type(ws, i + 1, 4), CELLTYPE_NUMBER) << formulas[i];
    doc_release(doc);
}

// A span losing its first or last sheet narrows to the sheets left; its sheet
// names never move as cells do.
TEST(renamed_references, a_span_narrows_to_the_sheets_left) {
    const struct {
        int deleted;  // of S1, S2, S3
        const char* cell;
        const char* lines;
    } rows[] = {
        {2, "SUM(S1:S2!A1)", "SUM(S1:S2!C:C)"},
        {0, "SUM(S2:S3!A1)", "SUM(S2:S3!C:C)"},
        {1, "SUM(S1:S3!A1)", "SUM(S1:S3!C:C)"},
    };
    for (const auto& row : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        for (const char* name : {"S1", "S2", "S3"}) ws_set_num(wb_add_worksheet(wb, name), 1, 1, 1);
        plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
        ASSERT_EQ(ws_set_formula(out, 1, 1, "SUM(S1:S3!A1)"), 1) << run_msg();
        ASSERT_EQ(ws_set_formula(out, 2, 1, "SUM(S1:S3!C:C)"), 1) << run_msg();
        ws_set_formula_num(out, 1, 1, 3);
        ws_set_formula_num(out, 2, 1, 0);
        wb_delete_sheet(wb, row.deleted);
        EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), row.cell);
        EXPECT_EQ(std::string(ws_get_formula_expr(out, 2, 1)), row.lines);
        EXPECT_NE(ws_cell_type(out, 1, 1), CELLTYPE_NUMBER) << row.deleted;
        doc_release(doc);
    }
    {
        // Quotes a span did not need go with the narrowing: few readers take a quoted span.
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        for (const char* name : {"Alpha", "Beta", "Gamma"}) ws_set_num(wb_add_worksheet(wb, name), 1, 1, 1);
        plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
        ASSERT_EQ(ws_set_formula(out, 1, 1, "SUM('Alpha:Gamma'!A1)"), 1) << run_msg();
        wb_delete_sheet(wb, 2);
        EXPECT_EQ(std::string(ws_get_formula_expr(out, 1, 1)), "SUM(Alpha:Beta!A1)");
        doc_release(doc);
    }
    // On S1 itself: its name reads like a cell, and the columns the span reads moved.
    plover_document_t* doc = doc_create();
    plover_worksheet_t* s1 = wb_add_worksheet(doc_get_workbook(doc), "S1");
    for (const char* name : {"S2", "S3"}) wb_add_worksheet(doc_get_workbook(doc), name);
    ASSERT_EQ(ws_set_formula(s1, 1, 5, "SUM(S1:S3!C:C)"), 1) << run_msg();
    ws_set_formula_num(s1, 1, 5, 0);
    ASSERT_EQ(ws_delete_col(s1, 1, 1), 1) << run_msg();
    EXPECT_EQ(std::string(ws_get_formula_expr(s1, 1, 4)), "SUM(S1:S3!C:C)");
    EXPECT_NE(ws_cell_type(s1, 1, 4), CELLTYPE_NUMBER);
    doc_release(doc);
}

namespace {

// A1:A4 the table Table1, shown as Sales (Val 2, 3, 4); C1:C2 1, 2; D1:D2 a
// shared group of SUM(Sales[Val])+C1.
entries_t loaded_table() {
    round_trip_test::crafted_t c;
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Val</t></is></c><c r=\"C1\"><v>1</v></c>"
                 "<c r=\"D1\"><f t=\"shared\" ref=\"D1:D2\" si=\"0\">SUM(Sales[Val])+C1</f><v>10</v></c></row>"
                 "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"C2\"><v>2</v></c>"
                 "<c r=\"D2\"><f t=\"shared\" si=\"0\"/><v>11</v></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c></row>"
                 "<row r=\"4\"><c r=\"A4\"><v>4</v></c></row></sheetData>"
                 "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
                 rel("rId1", std::string(od) + "table", "../tables/table1.xml")}};
    c.extra = {{"xl/tables/table1.xml",
                std::string(decl) + "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" "
                                    "name=\"Table1\" displayName=\"Sales\" ref=\"A1:A4\"><tableColumns count=\"1\">"
                                    "<tableColumn id=\"1\" name=\"Val\"/></tableColumns></table>"}};
    c.extra_types =
        override_of("xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml");
    return round_trip_test::package_of(c);
}

} // namespace

// A loaded shared group naming a table by its display name: renamed with it,
// filed again by its own tokens when moved, and gone with it.
TEST(renamed_references, a_loaded_group_follows_its_table) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, loaded_table());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = sheet(doc, 0);
    td_set_display_name(ws_get_tabledef_by_name(ws, "Table1"), "Totals");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 4)), "SUM(Totals[Val])+C2");
    EXPECT_EQ(ws_get_num(ws, 2, 4), 11);
    ws_insert_row(ws, 1, 1);
    ws_delete_row(ws, 1, 1);
    ws_set_formula_num(ws, 1, 4, 10), ws_set_formula_num(ws, 2, 4, 11);
    ws_set_num(ws, 3, 1, 30);
    for (int row : {1, 2}) EXPECT_NE(ws_cell_type(ws, row, 4), CELLTYPE_NUMBER) << row;
    ws_delete_tabledef(ws, "Table1");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 1, 4)), "SUM(#REF!)+C1");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 4)), "SUM(#REF!)+C2");
    doc_release(doc);
}

// Formulas find tables by display name: no two tables may show one name.
TEST(renamed_references, a_display_name_another_table_has_is_refused) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    plover_tabledef_t* one = ws_add_tabledef(ws, "One", 1, 1, 3, 1);
    plover_tabledef_t* two = ws_add_tabledef(ws, "Two", 1, 3, 3, 3);
    td_set_display_name(two, "one");
    EXPECT_EQ(std::string(run_msg()), "Table name already exists.");
    EXPECT_EQ(std::string(td_display_name(two)), "Two");
    td_set_display_name(one, "ONE");  // its own name in another case
    EXPECT_EQ(std::string(td_display_name(one)), "ONE");
    doc_release(doc);
}

// "[Qty]" alone names the column of the table it stands in: it follows the
// column's new name as "T[Qty]" does; outside any table it names nothing and
// keeps its text.
TEST(renamed_references, a_bare_column_follows_the_table_it_stands_in) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, totals_table_book("<c r=\"F1\"><f>[Qty]*2</f></c>"));
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = sheet(doc, 0);
    // Its text does not spell the table's name.
    ASSERT_EQ(ws_set_formula(ws, 2, 1, "[Qty]*2"), 1) << run_msg();
    ASSERT_EQ(td_set_col_name(ws_get_tabledef_by_name(ws, "T"), 1, "Units"), 1) << run_msg();
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 4, 2)), "SUBTOTAL(109,[Units])");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 1)), "[Units]*2");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 1, 6)), "[Qty]*2");
    EXPECT_EQ(ws_get_num(ws, 4, 2), 3);
    ws_set_num(ws, 3, 2, 5);  // still read
    EXPECT_NE(ws_cell_type(ws, 4, 2), CELLTYPE_NUMBER);
    doc_release(doc);
}

namespace {

// A1:C4 the table Sales (Qty, Price, Total; a totals row) as one producer
// writes it: "[@Qty]" spelled "[[#This Row],Qty]", in its cells and in the
// table part's calculated column; the totals row's formula spans two columns.
// E1 counts the table's rows. Another producer writes the item words in
// lower case ("#this row", "#all").
entries_t spelled_table(const std::string& this_row = "#This Row", const std::string& all = "#All") {
    round_trip_test::crafted_t c;
    const auto num = [](const char* ref, int v) {
        return std::string("<c r=\"") + ref + "\"><v>" + std::to_string(v) + "</v></c>";
    };
    const auto text = [](const char* ref, const char* t) {
        return std::string("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + t + "</t></is></c>";
    };
    c.sheets = {{"<sheetData><row r=\"1\">" + text("A1", "Qty") + text("B1", "Price") + text("C1", "Total") +
                     "</row><row r=\"2\">" + num("A2", 2) + num("B2", 10) +
                     "<c r=\"C2\"><f>Sales[[" + this_row + "],Qty]*Sales[[" + this_row + "],Price]</f><v>20</v></c>"
                     "<c r=\"E2\"><f>ROWS(Sales[" + all + "])</f><v>4</v></c></row>"
                     "<row r=\"3\">" + num("A3", 3) + num("B3", 20) +
                     "<c r=\"C3\"><f>[[" + this_row + "],Qty]*[[" + this_row + "],Price]</f><v>60</v></c></row><row r=\"4\">" +
                     "<c r=\"C4\"><f>SUM(Sales[[Qty]:[Price]])</f><v>35</v></c></row></sheetData>"
                     "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
                 rel("rId1", std::string(od) + "table", "../tables/table1.xml")}};
    return with_table_part(
        c, "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" name=\"Sales\" "
           "displayName=\"Sales\" ref=\"A1:C4\" totalsRowCount=\"1\"><tableColumns count=\"3\">"
           "<tableColumn id=\"1\" name=\"Qty\"/><tableColumn id=\"2\" name=\"Price\"/>"
           "<tableColumn id=\"3\" name=\"Total\" totalsRowFunction=\"custom\"><calculatedColumnFormula>"
           "[[" + this_row + "],Qty]*[[" + this_row + "],Price]</calculatedColumnFormula><totalsRowFormula>"
           "SUM(Sales[[Qty]:[Price]])</totalsRowFormula></tableColumn></tableColumns></table>");
}

std::string column_formulas(const entries_t& copy) {
    const std::string part = find(copy, "xl/tables/table1.xml");
    return element(part, "<calculatedColumnFormula>", "</calculatedColumnFormula>") + " " +
           element(part, "<totalsRowFormula>", "</totalsRowFormula>");
}

} // namespace

// Every spelling of a column follows its rename, in cells and in the table
// part's own formulas, and so does the table's; a deleted column leaves #REF!
// where a reference named it alone, and a span of columns narrows.
// A name reads a bare column at its sheet's first cell: there it names the
// table standing over that cell, and follows the column's rename.
TEST(renamed_references, a_bare_column_in_a_name_follows_the_table_at_the_first_cell) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    ws_set_text(ws, 1, 1, "Val");
    for (int r = 2; r <= 4; ++r) ws_set_num(ws, r, 1, r);
    plover_tabledef_t* td = ws_add_tabledef(ws, "Tbl", 1, 1, 4, 1);
    ASSERT_NE(td, nullptr) << run_msg();
    ASSERT_EQ(wb_set_defined_name(wb, "Vals", "SUM([Val])", nullptr), 1) << run_msg();
    ASSERT_EQ(td_set_col_name(td, 0, "Units"), 1) << run_msg();
    EXPECT_EQ(std::string(wb_get_defined_name_expr(wb, 0)), "SUM([Units])");
    doc_release(doc);
}

TEST(renamed_references, every_spelling_of_a_column_follows_it) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, spelled_table());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = sheet(doc, 0);
    plover_tabledef_t* td = ws_get_tabledef_by_name(ws, "Sales");
    ASSERT_EQ(td_set_col_name(td, 0, "Units"), 1) << run_msg();
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 3)), "Sales[[#This Row],Units]*Sales[[#This Row],Price]");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 3, 3)), "[[#This Row],Units]*[[#This Row],Price]");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 4, 3)), "SUM(Sales[[Units]:[Price]])");
    EXPECT_EQ(ws_get_num(ws, 3, 3), 60);
    EXPECT_EQ(column_formulas(saved(doc, dir)),
              "<calculatedColumnFormula>[[#This Row],Units]*[[#This Row],Price]</calculatedColumnFormula> "
              "<totalsRowFormula>SUM(Sales[[Units]:[Price]])</totalsRowFormula>");
    td_set_display_name(td, "Orders");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 3)), "Orders[[#This Row],Units]*Orders[[#This Row],Price]");
    EXPECT_EQ(column_formulas(saved(doc, dir)),
              "<calculatedColumnFormula>[[#This Row],Units]*[[#This Row],Price]</calculatedColumnFormula> "
              "<totalsRowFormula>SUM(Orders[[Units]:[Price]])</totalsRowFormula>");
    td_delete_col_by_index(td, 0);
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 2)), "#REF!*Orders[[#This Row],Price]");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 3, 2)), "#REF!*[[#This Row],Price]");
    EXPECT_EQ(std::string(ws_get_formula_expr(ws, 4, 2)), "SUM(Orders[[Price]:[Price]])");
    EXPECT_NE(ws_cell_type(ws, 4, 2), CELLTYPE_NUMBER);
    EXPECT_EQ(column_formulas(saved(doc, dir)),
              "<calculatedColumnFormula>#REF!*[[#This Row],Price]</calculatedColumnFormula> "
              "<totalsRowFormula>SUM(Orders[[Price]:[Price]])</totalsRowFormula>");
    doc_release(doc);
}

namespace {

// Sheet1 A1:B4 the table T (Qty, Total; a totals row) whose calculated column
// reads a cell beside the table and one of Sheet2, in its cells and its part.
entries_t calculated_table() {
    round_trip_test::crafted_t c;
    const std::string calculated = "<f>[@Qty]*$K$1+Sheet2!$A$1</f>";
    c.sheets = {{"<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Qty</t></is></c><c r=\"B1\" "
                 "t=\"inlineStr\"><is><t>Total</t></is></c><c r=\"K1\"><v>10</v></c></row><row r=\"2\"><c r=\"A2\">"
                 "<v>2</v></c><c r=\"B2\">" + calculated + "</c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c>"
                 "<c r=\"B3\">" + calculated + "</c></row><row r=\"4\"><c r=\"B4\"><f>SUM([Total])*$K$1</f></c>"
                 "</row></sheetData><tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
                 rel("rId1", std::string(od) + "table", "../tables/table1.xml")},
                {"<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>", ""}};
    return with_table_part(
        c, "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" name=\"T\" "
           "displayName=\"T\" ref=\"A1:B4\" totalsRowCount=\"1\"><tableColumns count=\"2\">"
           "<tableColumn id=\"1\" name=\"Qty\"/><tableColumn id=\"2\" name=\"Total\" "
           "totalsRowFunction=\"custom\"><calculatedColumnFormula>[@Qty]*$K$1+Sheet2!$A$1"
           "</calculatedColumnFormula><totalsRowFormula>SUM([Total])*$K$1</totalsRowFormula></tableColumn>"
           "</tableColumns></table>");
}

} // namespace

// The table part's formulas are what an application copies into the rows the
// table gains: they follow every edit the column's cells follow.
TEST(renamed_references, a_tables_own_formulas_follow_its_cells) {
    scratch_dir dir;
    plover_document_t* doc = loaded(dir, calculated_table());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = sheet(doc, 0);
    const auto part_reads_as_cells = [&](int row, int col, const std::string& calculated, const std::string& totals) {
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, row, col)), calculated);
        EXPECT_EQ(column_formulas(saved(doc, dir)), "<calculatedColumnFormula>" + calculated +
                                                        "</calculatedColumnFormula> <totalsRowFormula>" + totals +
                                                        "</totalsRowFormula>");
    };
    ASSERT_EQ(ws_insert_row(ws, 1, 1), 1) << run_msg();
    part_reads_as_cells(3, 2, "[@Qty]*$K$2+Sheet2!$A$1", "SUM([Total])*$K$2");
    wb_delete_sheet(doc_get_workbook(doc), 1);
    part_reads_as_cells(3, 2, "[@Qty]*$K$2+#REF!", "SUM([Total])*$K$2");
    td_delete_col_by_index(ws_get_tabledef_by_name(ws, "T"), 0);
    part_reads_as_cells(3, 1, "#REF!*$J$2+#REF!", "SUM([Total])*$J$2");
    doc_release(doc);
}

// Item words match in any case wherever a reference is read, renamed or cut;
// each keeps its own spelling.
TEST(renamed_references, item_words_in_any_case_follow_their_table) {
    const struct {
        const char* what;
        std::function<void(plover_tabledef_t*)> edit;
        const char* cells;  // C2 (B2 after a delete), C3 (B3) and E2 (D2)
    } rows[] = {
        {"column renamed", [](auto* td) { ASSERT_EQ(td_set_col_name(td, 0, "Units"), 1) << run_msg(); },
         "Sales[[#this row],Units]*Sales[[#this row],Price] | [[#this row],Units]*[[#this row],Price] | ROWS(Sales[#all])"},
        {"column deleted", [](auto* td) { td_delete_col(td, "Qty"); },
         "#REF!*Sales[[#this row],Price] | #REF!*[[#this row],Price] | ROWS(Sales[#all])"},
        {"display name", [](auto* td) { td_set_display_name(td, "Orders"); },
         "Orders[[#this row],Qty]*Orders[[#this row],Price] | [[#this row],Qty]*[[#this row],Price] | ROWS(Orders[#all])"},
    };
    for (const auto& r : rows) {
        scratch_dir dir;
        plover_document_t* doc = loaded(dir, spelled_table("#this row", "#all"));
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_worksheet_t* ws = sheet(doc, 0);
        r.edit(ws_get_tabledef_by_name(ws, "Sales"));
        const int shift = std::string(r.what) == "column deleted" ? 1 : 0;
        const std::string rows_cell = ws_get_formula_expr(ws, 3, 3 - shift);
        EXPECT_EQ(std::string(ws_get_formula_expr(ws, 2, 3 - shift)) + " | " + rows_cell + " | " +
                      ws_get_formula_expr(ws, 2, 5 - shift),
                  r.cells)
            << r.what;
        // The part's calculated column reads as its cells do.
        EXPECT_EQ(element(find(saved(doc, dir), "xl/tables/table1.xml"), "<calculatedColumnFormula>",
                          "</calculatedColumnFormula>"),
                  "<calculatedColumnFormula>" + rows_cell + "</calculatedColumnFormula>")
            << r.what;
        doc_release(doc);
    }
}

// Random qualifier texts a host may set, then sheets renamed, inserted,
// deleted and moved: every text the library writes is one it takes again.
TEST(renamed_references, every_text_written_after_sheet_edits_is_taken_again) {
    const char* const names[] = {"S1",   "S2",  "x y", "a\xE2\x82\xAC" "b", "\xC3\x84rger", "It's", "A1",  "TRUE",
                                 "1a",   "a.b", "_x",  "Foo",             "XFD1",         "q'q",  "a-b", "R1C1"};
    const char* const bodies[] = {"A1", "$B$2", "A1:B2", "A:B", "1:2", "Foo", "#REF!", "B2"};
    std::mt19937 rng;
    const auto pick = [&](size_t n) { return size_t(rng() % n); };
    const auto sheet = [&] {
        const std::string name = names[pick(std::size(names))];
        std::string quoted;
        for (const char c : name) quoted += c == '\'' ? std::string("''") : std::string(1, c);
        return pick(3) == 0 ? "'" + quoted + "'" : name;
    };
    const auto reference = [&] {
        std::string prefix;
        switch (pick(4)) {
        case 0: prefix = sheet() + "!"; break;
        case 1: prefix = sheet() + ":" + sheet() + "!"; break;
        case 2: break;
        default: prefix = sheet() + "!";
        }
        return prefix + bodies[pick(std::size(bodies))];
    };
    std::vector<std::string> refused;
    for (unsigned seed = 0; seed < 300; ++seed) {
        rng.seed(seed);
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        for (int i = 0; i < 4; ++i) wb_add_worksheet(wb, names[pick(std::size(names))]);
        plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
        plover_worksheet_t* check = wb_add_worksheet(wb, "Check");
        for (int r = 1; r <= 6; ++r) {
            std::string text = reference();
            if (pick(3) == 0) text += ":" + reference();
            ws_set_formula(out, r, 1, ("SUM(" + text + "," + reference() + ")").c_str());
        }
        for (int step = 0; step < 4; ++step) {
            const int n = int(wb_sheet_count(wb)) - 2;
            const int i = int(pick(size_t(n)));
            switch (pick(4)) {
            case 0: wb_rename_sheet(wb, unsigned(i), names[pick(std::size(names))]); break;
            case 1: if (n > 1) wb_delete_sheet(wb, i); break;
            case 2: wb_insert_worksheet(wb, i, names[pick(std::size(names))]); break;
            default: wb_shift_sheet(wb, i, int(pick(size_t(n))));
            }
            for (int r = 1; r <= 6; ++r) {
                const char* text = ws_get_formula_expr(out, r, 1);
                if (text && ws_set_formula(check, 1, 1, text) != 1) refused.push_back(text);
            }
        }
        doc_release(doc);
    }
    EXPECT_EQ(refused, std::vector<std::string>());
}
