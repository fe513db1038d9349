// Arguments a workbook cannot hold, one table per family: each call answers its
// failure value with its message, and the book saved after it is byte for byte
// the book saved before.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Sheet "Data" (the only visible one) holds a number, a formula and the table
// "Sales"; "Back" is hidden; "nm" is a defined name, "Mine" a custom style made
// from the bold style st.
struct sample_t {
    api_test::book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    plover_worksheet_t* back = wb_add_worksheet(b.wb, "Back");
    plover_tabledef_t* td = ws_add_tabledef(ws, "Sales", 1, 1, 3, 3);
    plover_style_t* st = wb_make_normal_style(b.wb);
    plover_richtext_t* rt = wb_make_richtext(b.wb);
    sample_t() {
        ws_set_num(ws, 5, 5, 42);
        ws_set_formula(ws, 5, 6, "E5*2");
        wb_set_sheet_state(b.wb, 1, 1);
        wb_set_defined_name(b.wb, "nm", "Data!$E$5", nullptr);
        style_set_bold(st, 1);  // a refused call that applied it would show
        wb_add_custom_style(b.wb, "Mine", st);
    }
};

struct refusal_t {
    std::string call;
    std::function<bool(sample_t&)> refused;  // makes the call: true when it gave its failure value
    std::string message;
};

using api_test::scratch_dir;

std::string saved(plover_document_t* doc, const fs::path& path) {
    if (doc_save(doc, path.c_str()) != 1) return std::string("not saved: ") + run_msg();
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void expect_refusals(const std::vector<refusal_t>& rows) {
    scratch_dir dir;
    sample_t s;
    ASSERT_NE(s.td, nullptr) << run_msg();
    ASSERT_EQ(wb_get_sheet_state(s.b.wb, 1), 1);
    const std::string before = saved(s.b.doc, dir.path / "before.xlsx");
    for (const refusal_t& r : rows) {
        SCOPED_TRACE(r.call);
        a1_to_row_col("1", nullptr, nullptr);  // a message no row gives
        EXPECT_TRUE(r.refused(s));
        EXPECT_EQ(run_msg(), r.message);
        EXPECT_TRUE(saved(s.b.doc, dir.path / "after.xlsx") == before) << "the saved book changed";
    }
}

// A void call answers with its message alone.
template <typename Call>
std::function<bool(sample_t&)> void_call(Call call) {
    return [call](sample_t& s) {
        call(s);
        return true;
    };
}

std::string repeated(const std::string& unit, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += unit;
    return out;
}

const std::string parse_error = "number format error: parsing error.";
const std::string bad_index = "Index out of range.";
const std::string bad_cell = "Illegal row or column number.";
const std::string long_text = "The text is longer than 32767 characters.";
const std::string table_taken = "Table name already exists.";
const std::string empty_column = "Column name cannot be empty.";
const std::string bad_table_name = "Invalid table name.";

} // namespace

TEST(refused_arguments, style_family) {
    expect_refusals({
        {"set_numfmt [[[[", [](sample_t& s) { return style_set_numfmt(s.st, "[[[[") == -1; }, parse_error},
        {"set_numfmt five sections", [](sample_t& s) { return style_set_numfmt(s.st, "0;0;0;0;0") == -1; }, parse_error},
        {"set_numfmt open quote", [](sample_t& s) { return style_set_numfmt(s.st, "0.0\"kg") == -1; }, parse_error},
        {"set_numfmt open bracket", [](sample_t& s) { return style_set_numfmt(s.st, "0.00[Red") == -1; }, parse_error},
    });
}

TEST(refused_arguments, wb_family) {
    expect_refusals({
        {"add_custom_style Normal", [](sample_t& s) { return !wb_add_custom_style(s.b.wb, "Normal", s.st); },
         "mtads error: Duplicate style name: Normal"},
        {"add_custom_style COMMA", [](sample_t& s) { return !wb_add_custom_style(s.b.wb, "COMMA", s.st); },
         "mtads error: Duplicate style name: COMMA"},
        {"add_custom_style mINE", [](sample_t& s) { return !wb_add_custom_style(s.b.wb, "mINE", s.st); },
         "mtads error: Duplicate style name: mINE"},
        {"set_defined_name SALES", [](sample_t& s) { return !wb_set_defined_name(s.b.wb, "SALES", "Data!$A$1", nullptr); },
         "Invalid defined name."},
        {"set_defined_name NM", [](sample_t& s) { return !wb_set_defined_name(s.b.wb, "NM", "Data!$A$1", nullptr); },
         "Duplicate defined name."},
        {"set_defined_name TRUE", [](sample_t& s) { return !wb_set_defined_name(s.b.wb, "TRUE", "Data!$A$1", nullptr); },
         "Invalid defined name."},
        {"set_defined_name false on Back", [](sample_t& s) { return !wb_set_defined_name(s.b.wb, "false", "Data!$A$1", "Back"); },
         "Invalid defined name."},
        {"set_sheet_state hidden", void_call([](sample_t& s) { wb_set_sheet_state(s.b.wb, 0, 1); }),
         "A workbook needs one visible sheet."},
        {"set_sheet_state very hidden", void_call([](sample_t& s) { wb_set_sheet_state(s.b.wb, 0, 2); }),
         "A workbook needs one visible sheet."},
        {"delete_sheet the one visible", void_call([](sample_t& s) { wb_delete_sheet(s.b.wb, 0); }),
         "A workbook needs one visible sheet."},
        {"set_active_sheet hidden", [](sample_t& s) { return !wb_set_active_sheet(s.b.wb, 1); },
         "A hidden sheet cannot be the active sheet."},
        {"sheet_name 99", [](sample_t& s) { return !wb_sheet_name(s.b.wb, 99); }, bad_index},
        {"sheet_type 99", [](sample_t& s) { return wb_sheet_type(s.b.wb, 99) == 0; }, bad_index},
        {"sheet_type -1", [](sample_t& s) { return wb_sheet_type(s.b.wb, -1) == 0; }, bad_index},
    });
}

TEST(refused_arguments, ws_family) {
    const std::string text(32768, 'x');
    const std::string wide = repeated("\xF0\x9D\x84\x9E", 16384);  // 32,768 UTF-16 units in 65,536 bytes
    const std::string formula = std::string("=").append(repeated("1+", 4096)).append("1");
    expect_refusals({
        {"set_range_style past the last column", void_call([](sample_t& s) { ws_set_range_style(s.ws, 1, 16385, 30, 3, s.st); }), bad_cell},
        {"set_range_style negative row", void_call([](sample_t& s) { ws_set_range_style(s.ws, -1, 1, 3, 3, s.st); }), bad_cell},
        {"set_range_style row 0", void_call([](sample_t& s) { ws_set_range_style(s.ws, 2, 2, 0, 3, s.st); }), bad_cell},
        {"row_style 0", [](sample_t& s) { return !ws_row_style(s.ws, 0); }, "Row out of range."},
        {"col_style 16385", [](sample_t& s) { return !ws_col_style(s.ws, 16385); }, "Column out of range."},
        {"set_text 32768", [&](sample_t& s) { return !ws_set_text(s.ws, 5, 5, text.c_str()); }, long_text},
        {"set_text wide", [&](sample_t& s) { return !ws_set_text(s.ws, 5, 5, wide.c_str()); }, long_text},
        {"set_formula_string", [&](sample_t& s) { return !ws_set_formula_string(s.ws, 5, 6, text.c_str()); }, long_text},
        {"set_richtext", [&](sample_t& s) {
             rt_append(s.rt, text.c_str(), nullptr);
             const bool refused = !ws_set_richtext(s.ws, 5, 5, s.rt);
             rt_remove(s.rt, 0);
             return refused;
         }, long_text},
        {"set_formula 8193", [&](sample_t& s) { return !ws_set_formula(s.ws, 5, 5, formula.c_str()); },
         "The formula is longer than 8192 characters."},
        {"add_tabledef nm", [](sample_t& s) { return !ws_add_tabledef(s.ws, "nm", 10, 1, 12, 2); }, table_taken},
        {"add_tabledef NM", [](sample_t& s) { return !ws_add_tabledef(s.back, "NM", 10, 1, 12, 2); }, table_taken},
        {"add_tabledef sales", [](sample_t& s) { return !ws_add_tabledef(s.ws, "sales", 10, 1, 12, 2); }, table_taken},
        {"add_tabledef SALES elsewhere", [](sample_t& s) { return !ws_add_tabledef(s.back, "SALES", 1, 1, 2, 2); }, table_taken},
        {"set_tabledef_name Nm", [](sample_t& s) { return !ws_set_tabledef_name(s.ws, 0, "Nm"); }, table_taken},
        // Names a formula could not hold: a structured reference would end at
        // the bracket, and the others read as a value or a cell.
        {"add_tabledef a[b2", [](sample_t& s) { return !ws_add_tabledef(s.ws, "a[b2", 10, 1, 12, 2); }, bad_table_name},
        {"add_tabledef TRUE", [](sample_t& s) { return !ws_add_tabledef(s.ws, "TRUE", 10, 1, 12, 2); }, bad_table_name},
        {"set_tabledef_name Net-Sales", [](sample_t& s) { return !ws_set_tabledef_name(s.ws, 0, "Net-Sales"); },
         bad_table_name},
        {"set_tabledef_name false", [](sample_t& s) { return !ws_set_tabledef_name(s.ws, 0, "false"); }, bad_table_name},
        {"unmerge 0 0", [](sample_t& s) { return !ws_unmerge(s.ws, 0, 0); }, bad_cell},
        {"get_image_id 99", [](sample_t& s) { return ws_get_image_id(s.ws, 99) == -1; }, bad_index},
        {"group_rows -1 2000000", void_call([](sample_t& s) { ws_group_rows(s.ws, -1, 2000000, 0); }), bad_cell},
        {"ungroup_cols 0 5", void_call([](sample_t& s) { ws_ungroup_cols(s.ws, 0, 5); }), bad_cell},
        {"set_row_style NULL", void_call([](sample_t& s) { ws_set_row_style(s.ws, 1, 2, nullptr); }), "Style pointer cannot be empty."},
        {"set_col_style NULL", void_call([](sample_t& s) { ws_set_col_style(s.ws, 1, 2, nullptr); }), "Style pointer cannot be empty."},
    });
    // A span of sheets is quoted as one ('S1:My S3'!A1) or written before
    // its corners (Data:Back!A1:B2), whole lines too, and a sheet's name comes
    // with a reference, once; S1 also reads as a cell.
    std::vector<refusal_t> formulas;
    for (const char* bad : {"SUM(S1:'My S3'!A1)", "SUM('S1':'My S3'!A1)", "SUM('S1':S2!A1)", "SUM(Alpha:'My S3'!A1)",
                            "S1!", "SUM(!A1)", "SUM(S1:!A1)", "SUM(A1:'S1'!)", "SUM(S1:S2:S3!A1)",
                            "SUM(Data!A1:Back!B2)", "SUM(S1!A1:S2!B2)", "S1!!A1", "S1!A1!", "SUM(S1!A1!)", "''!A1",
                            "'S1:S2:S3'!A1", "SUM(Data!A:Back!B)", "SUM(Sheet1!1:Sheet2!2)", "SUM(S3!A1:S1:S2!B2)",
                            "SUM(Data:Back!A1:Data!B2)"})
        formulas.push_back({std::string("set_formula ") + bad, [bad](sample_t& s) { return !ws_set_formula(s.ws, 5, 6, bad); },
                            std::string("Error in parsing formula: ") + bad});
    expect_refusals(formulas);
    // The limits themselves are accepted, and a table may take its own name in
    // another case.
    sample_t s;
    EXPECT_EQ(ws_set_text(s.ws, 6, 1, std::string(32767, 'x').c_str()), 1) << run_msg();
    EXPECT_EQ(ws_set_text(s.ws, 6, 2, repeated("\xC3\xA9", 32767).c_str()), 1) << run_msg();
    const std::string longest = std::string("=").append(repeated("1+", 4095)).append("11");
    EXPECT_EQ(ws_set_formula(s.ws, 6, 3, longest.c_str()), 1) << run_msg();
    EXPECT_EQ(ws_set_tabledef_name(s.ws, 0, "SALES"), 1) << run_msg();
    EXPECT_EQ(ws_set_formula(s.ws, 6, 4, "SUM(Data!A1:Data!B2)"), 1) << run_msg();
    EXPECT_EQ(ws_set_formula(s.ws, 6, 5, "SUM('s1'!A1:S1!B2)"), 1) << run_msg();
    EXPECT_EQ(ws_set_formula(s.ws, 6, 6, "SUM(Data!A:data!$B)"), 1) << run_msg();
}

TEST(refused_arguments, td_family) {
    expect_refusals({
        {"col_name 99", [](sample_t& s) { return !td_col_name(s.td, 99); }, bad_index},
        {"col_name -1", [](sample_t& s) { return !td_col_name(s.td, -1); }, bad_index},
        {"totals_row_func 99", [](sample_t& s) { return td_totals_row_func(s.td, 99) == 0; }, bad_index},
        {"delete_col nosuch", void_call([](sample_t& s) { td_delete_col(s.td, "nosuch"); }), "No such column: nosuch"},
        {"set_col_name 0 COLUMN2", [](sample_t& s) { return !td_set_col_name(s.td, 0, "COLUMN2"); },
         "The setting column name already exists."},
        {"insert_col 1 column3", [](sample_t& s) { return !td_insert_col(s.td, 1, "column3"); },
         "The column name already exists."},
        // A table part cannot hold an empty name.
        {"set_col_name 0 empty", [](sample_t& s) { return !td_set_col_name(s.td, 0, ""); }, empty_column},
        {"insert_col 1 empty", [](sample_t& s) { return !td_insert_col(s.td, 1, ""); }, empty_column},
        {"set_display_name empty", void_call([](sample_t& s) { td_set_display_name(s.td, ""); }),
         "Display name cannot be empty."},
    });
    std::vector<refusal_t> display_names;
    for (const char* bad : {"A1", "R1C1", "TRUE", "1abc", "R", "C", "XFD1", "a[b", "Q&A", "a b[c"}) {
        display_names.push_back({std::string("set_display_name ") + bad,
                                 void_call([bad](sample_t& s) { td_set_display_name(s.td, bad); }), bad_table_name});
    }
    expect_refusals(display_names);
    // Letters of any script are letters; blanks become underscores first.
    sample_t s;
    td_set_display_name(s.td, "Ventes \xC3\xA9t\xC3\xA9.2\\b");
    EXPECT_STREQ(td_display_name(s.td), "Ventes_\xC3\xA9t\xC3\xA9.2\\b") << run_msg();
    EXPECT_NE(ws_add_tabledef(s.ws, "Ums\xC3\xA4tze", 10, 1, 12, 2), nullptr) << run_msg();
}
