// Round trips that need the whole load path, through the exported functions:
// print titles, a chart sheet standing first, and memory over many loads.
#include "plover.h"
#include "tests/heap_in_use.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace package_test;

namespace {

// The document loaded from path, released at scope end.
struct loaded_t {
    plover_document_t* doc;
    plover_workbook_t* wb;
    explicit loaded_t(const std::string& path) : doc(doc_load(path.c_str())), wb(doc ? doc_get_workbook(doc) : nullptr) {}
    loaded_t(const loaded_t&) = delete;
    loaded_t& operator=(const loaded_t&) = delete;
    ~loaded_t() { doc_release(doc); }
};

// What the name's index gives through get, or "<absent>" for a name not defined.
std::string of_name(plover_workbook_t* wb, const std::string& name,
                    const char* (*get)(plover_workbook_t*, int), const char* if_null) {
    for (int i = 0; i < wb_defined_name_num(wb); ++i)
        if (const char* n = wb_get_defined_name(wb, i, nullptr); n && name == n) {
            const char* v = get(wb, i);
            return v ? v : if_null;
        }
    return "<absent>";
}

std::string expr_of(plover_workbook_t* wb, const std::string& name) {
    return of_name(wb, name, wb_get_defined_name_expr, "<null>");
}

std::string local_of(plover_workbook_t* wb, const std::string& name) {
    return of_name(wb, name, wb_get_local_name, "<workbook>");
}

// The entries of a package, with one entry's text replaced.
entries_t with_entry(const std::string& path, const std::string& name, const std::string& text) {
    entries_t entries = read_zip(path);
    for (auto& [n, bytes] : entries)
        if (n == name) bytes = text;
    return entries;
}

} // namespace

TEST(loaded_book, print_titles_survive_a_load_and_save) {
    struct case_t {
        const char* file;
        const char* sheet;
        const char* titles;
    };
    const case_t cases[] = {{"repeat01.xlsx", "Sheet1", "Sheet1!$1:$1"},
                            {"repeat06.xlsx", "Sheet 1", "'Sheet 1'!$A:$A,'Sheet 1'!$1:$1"}};
    scratch_dir dir;
    for (const case_t& c : cases) {
        const std::string saved = dir / c.file;
        {
            loaded_t book(std::string(PLOVER_EXCEL) + c.file);
            ASSERT_NE(book.wb, nullptr) << c.file << ": " << run_msg();
            EXPECT_EQ(expr_of(book.wb, "_xlnm.Print_Titles"), c.titles) << c.file;
            EXPECT_EQ(local_of(book.wb, "_xlnm.Print_Titles"), c.sheet) << c.file;
            ASSERT_EQ(doc_save(book.doc, saved.c_str()), 1) << c.file << ": " << run_msg();
        }
        std::string workbook = find(read_zip(saved), "xl/workbook.xml");
        for (size_t at; (at = workbook.find("&apos;")) != std::string::npos;) workbook.replace(at, 6, 1, '\'');
        EXPECT_NE(workbook.find(std::string("<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">") +
                                c.titles + "</definedName>"),
                  std::string::npos)
            << workbook;
        loaded_t again(saved);
        ASSERT_NE(again.wb, nullptr) << c.file << ": " << run_msg();
        EXPECT_EQ(expr_of(again.wb, "_xlnm.Print_Titles"), c.titles) << c.file;
        EXPECT_EQ(local_of(again.wb, "_xlnm.Print_Titles"), c.sheet) << c.file;
    }
}

// Names read before the first worksheet exists, the chart sheet ahead of it:
// they reach the cell stores, new ones can be added, and the save keeps both
// the sheet order and each local name's sheet index.
TEST(loaded_book, a_chart_sheet_first_keeps_working_names) {
    scratch_dir dir;
    const std::string source = std::string(PLOVER_EXCEL) + "chartsheet01.xlsx";
    std::string workbook = find(read_zip(source), "xl/workbook.xml");
    const std::string sheets =
        "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Chart1\" sheetId=\"2\" r:id=\"rId2\"/></sheets>";
    const size_t at = workbook.find(sheets);
    ASSERT_NE(at, std::string::npos) << workbook;
    workbook.replace(at, sheets.size(),
                     "<sheets><sheet name=\"Chart1\" sheetId=\"2\" r:id=\"rId2\"/><sheet name=\"Sheet1\" sheetId=\"1\" "
                     "r:id=\"rId1\"/></sheets><definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">"
                     "Sheet1!$A$1:$C$5</definedName><definedName name=\"Values\">Sheet1!$A$1:$A$5</definedName>"
                     "</definedNames>");
    const std::string first = dir / "chart_first.xlsx";
    write_zip(first, with_entry(source, "xl/workbook.xml", workbook));

    const std::string saved = dir / "saved.xlsx";
    {
        loaded_t book(first);
        ASSERT_NE(book.wb, nullptr) << run_msg();
        ASSERT_EQ(wb_sheet_count(book.wb), 2u);
        EXPECT_STREQ(wb_sheet_name(book.wb, 0), "Chart1");
        EXPECT_EQ(wb_sheet_type(book.wb, 0), 2);
        EXPECT_EQ(wb_sheet_type(book.wb, 1), 1);
        EXPECT_EQ(wb_get_sheet(book.wb, 0), nullptr);
        ASSERT_EQ(wb_defined_name_num(book.wb), 2);
        EXPECT_EQ(expr_of(book.wb, "Values"), "Sheet1!$A$1:$A$5");
        EXPECT_EQ(local_of(book.wb, "Values"), "<workbook>");
        EXPECT_EQ(local_of(book.wb, "_xlnm.Print_Area"), "Sheet1");
        ASSERT_EQ(wb_set_defined_name(book.wb, "Rate", "Sheet1!$B$1", "Sheet1"), 1) << run_msg();
        EXPECT_EQ(wb_set_defined_name(book.wb, "Values", "Sheet1!$B$1", nullptr), 0);
        EXPECT_STREQ(run_msg(), "Duplicate defined name.");
        // A formula reaches a loaded name.
        plover_worksheet_t* data = wb_get_sheet(book.wb, 1);
        ASSERT_NE(data, nullptr) << run_msg();
        EXPECT_EQ(ws_set_formula(data, 7, 1, "SUM(Values)"), 1) << run_msg();
        ASSERT_EQ(doc_save(book.doc, saved.c_str()), 1) << run_msg();
    }
    const entries_t out = read_zip(saved);
    const std::string saved_book = find(out, "xl/workbook.xml");
    EXPECT_LT(saved_book.find("name=\"Chart1\""), saved_book.find("name=\"Sheet1\"")) << saved_book;
    EXPECT_NE(saved_book.find("<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">Sheet1!$A$1:$C$5</definedName>"),
              std::string::npos)
        << saved_book;
    EXPECT_NE(saved_book.find("<definedName name=\"Rate\" localSheetId=\"1\">Sheet1!$B$1</definedName>"),
              std::string::npos)
        << saved_book;
    EXPECT_EQ(find(out, "xl/chartsheets/sheet1.xml"), find(read_zip(source), "xl/chartsheets/sheet1.xml"));

    loaded_t again(saved);
    ASSERT_NE(again.wb, nullptr) << run_msg();
    EXPECT_EQ(wb_defined_name_num(again.wb), 3);
    EXPECT_EQ(local_of(again.wb, "Rate"), "Sheet1");
    EXPECT_EQ(expr_of(again.wb, "Values"), "Sheet1!$A$1:$A$5");
    plover_worksheet_t* data = wb_get_sheet(again.wb, 1);
    ASSERT_NE(data, nullptr) << run_msg();
    EXPECT_EQ(ws_get_num(data, 2, 2), 4);
    EXPECT_STREQ(ws_get_formula_expr(data, 7, 1), "SUM(Values)");
}

TEST(loaded_book, loading_and_releasing_keeps_memory_flat) {
    using heap_test::heap_in_use;
    // A load under the sanitizers costs some 8 ms: fewer rounds still show a leak.
#if defined(__SANITIZE_ADDRESS__)
    constexpr unsigned rounds = 600;
#else
    constexpr unsigned rounds = heap_test::memory_rounds;
#endif
    scratch_dir dir;
    const std::string path = dir / "strings.xlsx";
    {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* sheet = wb_add_worksheet(doc_get_workbook(doc), "Strings");
        ASSERT_NE(sheet, nullptr);
        for (int r = 1; r <= 1000; ++r)
            ASSERT_EQ(ws_set_text(sheet, r, 1, ("distinct text number " + std::to_string(r)).c_str()), 1);
        ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
        doc_release(doc);
    }
    size_t baseline = 0, peak = 0;
    for (unsigned round = 0; round < rounds; ++round) {
        plover_document_t* doc = doc_load(path.c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        if (round == 0) {
            plover_worksheet_t* sheet = wb_get_sheet(doc_get_workbook(doc), 0);
            ASSERT_NE(sheet, nullptr);
            EXPECT_STREQ(ws_get_text(sheet, 1000, 1), "distinct text number 1000");
        }
        if (round == 100) baseline = heap_in_use();
        if (round > 100) peak = std::max(peak, heap_in_use());
        doc_release(doc);
    }
    EXPECT_LT(peak, baseline + (1u << 20)) << "baseline " << baseline;
}

// Groups collapsed by a host are saved hidden and collapsed, and read back so.
TEST(loaded_book, collapsed_groups_read_back_collapsed) {
    scratch_dir dir;
    const std::string path = dir / "groups.xlsx";
    {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "S");
        ASSERT_NE(ws, nullptr);
        ws_group_cols(ws, 2, 4, 1);
        ws_group_cols(ws, 6, 7, 0);
        ws_group_rows(ws, 3, 5, 1);
        ws_group_rows(ws, 8, 9, 0);
        ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
        doc_release(doc);
    }
    loaded_t book(path);
    ASSERT_NE(book.wb, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(book.wb, 0);
    struct axis_t {
        int (*level)(plover_worksheet_t*, int, int*);
        int (*hidden)(plover_worksheet_t*, int);
        int collapsed_at, open_at, outside;
    };
    const axis_t axes[] = {{ws_col_outline_level, ws_col_hidden, 3, 6, 5}, {ws_row_outline_level, ws_row_hidden, 4, 8, 6}};
    for (const axis_t& a : axes) {
        int collapsed = -1;
        EXPECT_EQ(a.level(ws, a.collapsed_at, &collapsed), 1);
        EXPECT_EQ(collapsed, 1);
        EXPECT_EQ(a.hidden(ws, a.collapsed_at), 1);
        EXPECT_EQ(a.level(ws, a.open_at, &collapsed), 1);
        EXPECT_EQ(collapsed, 0);
        EXPECT_EQ(a.hidden(ws, a.open_at), 0);
        EXPECT_EQ(a.level(ws, a.outside, &collapsed), 0);
    }
}

// Other applications mark the summary row or column after a collapsed group:
// the group reads collapsed, the summary and the open group do not.
TEST(loaded_book, collapsed_summaries_collapse_their_group) {
    scratch_dir dir;
    const std::string made = dir / "made.xlsx", path = dir / "summaries.xlsx";
    {
        plover_document_t* doc = doc_create();
        ASSERT_NE(wb_add_worksheet(doc_get_workbook(doc), "S"), nullptr);
        ASSERT_EQ(doc_save(doc, made.c_str()), 1) << run_msg();
        doc_release(doc);
    }
    const std::string sheet =
        std::string(saved_decl) +
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><cols>"
        "<col min=\"2\" max=\"2\" width=\"9\" hidden=\"1\" outlineLevel=\"2\"/>"
        "<col min=\"3\" max=\"4\" width=\"9\" hidden=\"1\" outlineLevel=\"1\"/>"
        "<col min=\"5\" max=\"5\" width=\"9\" collapsed=\"1\"/><col min=\"7\" max=\"8\" width=\"9\" outlineLevel=\"1\"/>"
        "</cols><sheetData><row r=\"3\" hidden=\"1\" outlineLevel=\"1\"/><row r=\"4\" hidden=\"1\" outlineLevel=\"2\"/>"
        "<row r=\"5\" hidden=\"1\" outlineLevel=\"1\"/><row r=\"6\" collapsed=\"1\"><c r=\"A6\"><v>1</v></c></row>"
        "<row r=\"8\" outlineLevel=\"1\"/><row r=\"9\" outlineLevel=\"1\"/></sheetData></worksheet>";
    write_zip(path, with_entry(made, "xl/worksheets/sheet1.xml", sheet));
    loaded_t book(path);
    ASSERT_NE(book.wb, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(book.wb, 0);
    ASSERT_NE(ws, nullptr);
    for (int col : {2, 3, 4}) {
        int collapsed = 0;
        EXPECT_GT(ws_col_outline_level(ws, col, &collapsed), 0) << col;
        EXPECT_EQ(collapsed, 1) << col;
    }
    for (int row : {3, 4, 5}) {
        int collapsed = 0;
        EXPECT_GT(ws_row_outline_level(ws, row, &collapsed), 0) << row;
        EXPECT_EQ(collapsed, 1) << row;
    }
    for (int at : {5, 7}) {
        int collapsed = -1;
        ws_col_outline_level(ws, at, &collapsed);
        EXPECT_EQ(collapsed, 0) << "column " << at;
    }
    for (int at : {6, 8}) {
        int collapsed = -1;
        ws_row_outline_level(ws, at, &collapsed);
        EXPECT_EQ(collapsed, 0) << "row " << at;
    }
    EXPECT_EQ(ws_get_num(ws, 6, 1), 1);
}

// Formulas and names as a file gives them are parsed, tracked and rewritten
// like those set by the host, and saved as rewritten.
TEST(loaded_book, loaded_formulas_and_names_follow_inserted_rows) {
    const struct {
        const char* text;
        const char* after;  // once two rows are inserted at the top
    } cells[] = {
        {"IF(A1&gt;0,TRUE,FALSE)", "IF(A3>0,TRUE,FALSE)"},
        {"+A1+B1", "+A3+B3"},
        {"A1*+1", "A3*+1"},
        {"A1+\nA2", "A3+\nA4"},
        {"IF(A1&gt;0,\nB1,\nC1)", "IF(A3>0,\nB3,\nC3)"},
        {"A1+\tB1", "A3+\tB3"},
    };
    const struct {
        const char* name;
        const char* expression;
        const char* after;
    } names[] = {
        {"flag", "IF(Sheet1!$A$1&gt;0,TRUE,FALSE)", "IF(Sheet1!$A$3>0,TRUE,FALSE)"},
        {"sum_of", "+Sheet1!$A$1+Sheet1!$B$1", "+Sheet1!$A$3+Sheet1!$B$3"},
        {"broken", "Sheet1!$A$1+\nSheet1!$B$1", "Sheet1!$A$3+\nSheet1!$B$3"},
    };
    scratch_dir dir;
    const std::string made = dir / "made.xlsx", edited = dir / "edited.xlsx", saved = dir / "saved.xlsx";
    {
        plover_document_t* doc = doc_create();
        ASSERT_NE(wb_add_worksheet(doc_get_workbook(doc), "Sheet1"), nullptr);
        ASSERT_EQ(doc_save(doc, made.c_str()), 1) << run_msg();
        doc_release(doc);
    }
    std::string sheet_data = "<sheetData>";
    int row = 0;
    for (const auto& c : cells) {
        const std::string r = std::to_string(++row);
        sheet_data += "<row r=\"" + r + "\"><c r=\"E" + r + "\"><f>" + c.text + "</f><v>0</v></c></row>";
    }
    sheet_data += "</sheetData>";
    std::string defined = "</sheets><definedNames>";
    for (const auto& n : names)
        defined += std::string("<definedName name=\"") + n.name + "\">" + n.expression + "</definedName>";
    defined += "</definedNames>";
    entries_t entries = read_zip(made);
    for (auto& [entry, bytes] : entries) {
        const auto swap = [&bytes](const std::string& from, const std::string& to) {
            const size_t at = bytes.find(from);
            ASSERT_NE(at, std::string::npos) << bytes;
            bytes.replace(at, from.size(), to);
        };
        if (entry == "xl/worksheets/sheet1.xml") swap("<sheetData></sheetData>", sheet_data);
        if (entry == "xl/workbook.xml") swap("</sheets>", defined);
    }
    write_zip(edited, entries);
    {
        loaded_t book(edited);
        ASSERT_NE(book.wb, nullptr) << run_msg();
        plover_worksheet_t* ws = wb_get_sheet(book.wb, 0);
        ASSERT_EQ(ws_insert_row(ws, 1, 2), 1) << run_msg();
        row = 2;
        for (const auto& c : cells) EXPECT_STREQ(ws_get_formula_expr(ws, ++row, 5), c.after) << c.text;
        for (const auto& n : names) EXPECT_EQ(expr_of(book.wb, n.name), n.after) << n.expression;
        ASSERT_EQ(doc_save(book.doc, saved.c_str()), 1) << run_msg();
    }
    loaded_t again(saved);
    ASSERT_NE(again.wb, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(again.wb, 0);
    row = 2;
    for (const auto& c : cells) EXPECT_STREQ(ws_get_formula_expr(ws, ++row, 5), c.after) << c.text;
    for (const auto& n : names) EXPECT_EQ(expr_of(again.wb, n.name), n.after) << n.expression;
}
