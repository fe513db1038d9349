// Formulas, cached formula results, style handles and cell styles through the
// exports, as a host uses them.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <unistd.h>

namespace {

using api_test::book_t;

void set_marker() { a1_to_row_col("1", nullptr, nullptr); }
constexpr const char* marker = "Wrong cell reference: 1";

struct sheet_book : ::testing::Test {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    void SetUp() override { ASSERT_NE(ws, nullptr); }
};

using formulas = sheet_book;
using cell_styles = sheet_book;

} // namespace

TEST_F(formulas, texts_are_trimmed_and_checked) {
    EXPECT_EQ(ws_set_formula(ws, 1, 1, "  "), 0);
    EXPECT_STREQ(run_msg(), "The formula expression can not be empty.");
    EXPECT_EQ(ws_set_formula(ws, 1, 1, " = "), 0);
    EXPECT_STREQ(run_msg(), "The formula expression can not be empty.");
    EXPECT_EQ(ws_set_formula(ws, 1, 1, nullptr), 0);
    EXPECT_STREQ(run_msg(), "The formula expression can not be empty.");
    EXPECT_EQ(ws_set_formula(ws, 1, 1, "=\"\xc3(\""), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_EQ(ws_set_formula(ws, 0, 1, "1"), 0);
    EXPECT_STREQ(run_msg(), "Illegal row or column number.");
    EXPECT_EQ(ws_cell_type(ws, 1, 1), 0);
    EXPECT_EQ(ws_contains_formula(ws, 1, 1), 0);

    ASSERT_EQ(ws_set_num(ws, 2, 1, 4), 1);
    ASSERT_EQ(ws_set_num(ws, 3, 1, 5), 1);
    ASSERT_EQ(ws_set_formula(ws, 1, 1, "=SUM(A2:A3)"), 1);
    EXPECT_EQ(ws_contains_formula(ws, 1, 1), 1);
    EXPECT_STREQ(ws_get_formula_expr(ws, 1, 1), "SUM(A2:A3)");

    set_marker();
    EXPECT_EQ(ws_get_formula_expr(ws, 5, 5), nullptr);
    EXPECT_STREQ(run_msg(), "The cell does not contain a formula.");
    set_marker();
    EXPECT_EQ(ws_get_formula_expr(ws, 0, 5), nullptr);
    EXPECT_EQ(ws_contains_formula(ws, 0, 5), 0);
    EXPECT_STREQ(run_msg(), marker);
}

TEST_F(formulas, cached_results_read_back_through_the_getters) {
    for (int row = 1; row <= 5; ++row) ASSERT_EQ(ws_set_formula(ws, row, 1, "1+1"), 1);
    ASSERT_EQ(ws_set_formula_num(ws, 1, 1, 7.5), 1);
    EXPECT_EQ(ws_get_num(ws, 1, 1), 7.5);
    EXPECT_EQ(ws_cell_type(ws, 1, 1), 1);
    ASSERT_EQ(ws_set_formula_string(ws, 2, 1, "abc"), 1);
    EXPECT_STREQ(ws_get_text(ws, 2, 1), "abc");
    EXPECT_EQ(ws_cell_type(ws, 2, 1), 2);
    ASSERT_EQ(ws_set_formula_boolean(ws, 3, 1, 1), 1);
    EXPECT_EQ(ws_get_boolean(ws, 3, 1), 1);
    EXPECT_EQ(ws_cell_type(ws, 3, 1), 3);
    ASSERT_EQ(ws_set_formula_datetime(ws, 4, 1, 45000.5), 1);
    EXPECT_EQ(ws_get_datetime(ws, 4, 1), 45000.5);
    EXPECT_EQ(ws_get_num(ws, 4, 1), 45000.5);
    ASSERT_EQ(ws_set_formula_error(ws, 5, 1, 2), 1);
    EXPECT_EQ(ws_get_error(ws, 5, 1), 2);
    EXPECT_EQ(ws_cell_type(ws, 5, 1), 5);
    // The formula itself stays.
    EXPECT_STREQ(ws_get_formula_expr(ws, 5, 1), "1+1");
}

TEST_F(formulas, cached_results_are_refused_where_they_cannot_go) {
    ASSERT_EQ(ws_set_num(ws, 1, 1, 3), 1);
    EXPECT_EQ(ws_set_formula_num(ws, 1, 1, 4), 0);
    EXPECT_STREQ(run_msg(), "This cell does not contain a formula.");
    EXPECT_EQ(ws_get_num(ws, 1, 1), 3.0);
    EXPECT_EQ(ws_set_formula_string(ws, 2, 2, "x"), 0);
    EXPECT_STREQ(run_msg(), "This cell does not contain a formula.");

    ASSERT_EQ(ws_set_formula(ws, 2, 1, "1"), 1);
    ASSERT_EQ(ws_set_formula_num(ws, 2, 1, 1.0), 1);
    for (int code : {0, 10, -1}) {
        set_marker();
        EXPECT_EQ(ws_set_formula_error(ws, 2, 1, code), 0);
        EXPECT_STREQ(run_msg(), "Incorrect error code.");
    }
    EXPECT_EQ(ws_set_formula_string(ws, 2, 1, nullptr), 0);
    EXPECT_STREQ(run_msg(), "Text cannot be empty.");
    EXPECT_EQ(ws_set_formula_string(ws, 2, 1, "\xff"), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_EQ(ws_set_formula_num(ws, 2, 1, 0.0 / 0.0), 0);
    EXPECT_STREQ(run_msg(), "Invalid numeric value.");
    EXPECT_EQ(ws_set_formula_datetime(ws, 2, 1, 1.0 / 0.0), 0);
    EXPECT_STREQ(run_msg(), "Invalid numeric value.");
    EXPECT_EQ(ws_get_num(ws, 2, 1), 1.0);
    EXPECT_EQ(ws_set_formula_boolean(ws, 1048577, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "Illegal row or column number.");
}

TEST_F(cell_styles, the_shared_handle_is_refilled_and_new_handles_are_made) {
    plover_style_t* bold = wb_make_normal_style(b.wb);
    ASSERT_NE(bold, nullptr);
    style_set_bold(bold, 1);
    ws_set_cell_style(ws, 2, 2, bold);

    plover_style_t* first = ws_cell_style(ws, 1, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(style_bold(first), 0);
    plover_style_t* second = ws_cell_style(ws, 2, 2);
    EXPECT_EQ(second, first);
    EXPECT_EQ(style_bold(first), 1);

    plover_style_t* copy = ws_get_cell_style(ws, 2, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, first);
    EXPECT_NE(ws_get_cell_style(ws, 2, 2), copy);
    EXPECT_EQ(style_bold(copy), 1);
    style_release(copy);

    // Releasing the shared handle only empties it.
    style_release(first);
    EXPECT_EQ(style_bold(first), 0);
    EXPECT_EQ(ws_cell_style(ws, 2, 2), first);
    EXPECT_EQ(style_bold(first), 1);

    ws_set_cell_style(ws, 3, 3, nullptr);
    EXPECT_STREQ(run_msg(), "Style pointer cannot be empty.");
    ws_set_cell_style(ws, 0, 1, bold);
    EXPECT_STREQ(run_msg(), "invalid cell.");
    ws_set_cell_style(ws, 1, 16385, bold);
    EXPECT_STREQ(run_msg(), "invalid cell.");
    EXPECT_EQ(style_bold(ws_cell_style(ws, 1, 1)), 0);
    set_marker();
    ws_set_range_style(ws, 3, 3, 4, 4, nullptr);
    EXPECT_STREQ(run_msg(), "Style pointer cannot be empty.");
}

TEST_F(cell_styles, a_cell_style_off_the_sheet_is_refused_at_each_edge) {
    plover_style_t* bold = wb_make_normal_style(b.wb);
    style_set_bold(bold, 1);
    for (const auto& [row, col] : {std::pair{1048577, 1}, {1, 16385}, {0, 1}, {1, 0}}) {
        set_marker();
        ws_set_cell_style(ws, row, col, bold);
        EXPECT_STREQ(run_msg(), "invalid cell.") << row << "," << col;
    }
    for (const auto& [row, col] : {std::pair{1048576, 1}, {1, 16384}}) {
        set_marker();
        ws_set_cell_style(ws, row, col, bold);
        EXPECT_STREQ(run_msg(), marker) << row << "," << col;
        EXPECT_EQ(style_bold(ws_cell_style(ws, row, col)), 1) << row << "," << col;
    }
}

TEST_F(cell_styles, ranges_take_either_corner_order_and_whole_columns_become_column_styles) {
    plover_style_t* s = wb_make_normal_style(b.wb);
    style_set_fill_pattern(s, 1);
    ws_set_range_style(ws, 5, 5, 1, 1, s);
    style_set_fill_pattern(s, 2);
    ws_set_range_style(ws, 1, 7, 5, 11, s);
    for (int row = 1; row <= 6; ++row)
        for (int col = 1; col <= 12; ++col) {
            const int expected = row > 5 ? 0 : col <= 5 ? 1 : col >= 7 && col <= 11 ? 2 : 0;
            EXPECT_EQ(style_fill_pattern(ws_cell_style(ws, row, col)), expected) << row << "," << col;
        }

    style_set_bold(s, 1);
    ws_set_range_style(ws, 1048576, 20, 1, 20, s);
    EXPECT_EQ(style_bold(ws_cell_style(ws, 700000, 20)), 1);
    EXPECT_EQ(style_bold(ws_cell_style(ws, 700000, 21)), 0);
    // A value stored later in that column takes the column's style.
    ASSERT_EQ(ws_set_num(ws, 9, 20, 1), 1);
    EXPECT_EQ(style_bold(ws_cell_style(ws, 9, 20)), 1);
}

// A style, a protection or a link over all but the first row and column is
// saved as column styles with the first row's cells written apart: the file
// stays the size of a row, and every cell reads back as it showed.
TEST(cell_styles_saved, a_range_over_nearly_the_whole_sheet_saves_as_its_columns) {
    enum { style, protection, link };
    const auto shown = [](plover_worksheet_t* sheet, int call, int row, int col) {
        plover_style_t* s = ws_cell_style(sheet, row, col);
        return call == style ? style_bold(s) : call == protection ? style_cell_locked(s) : int(style_underlined(s) != 0);
    };
    struct cell_t {
        int row, col, covered;
    };
    const cell_t cells[] = {{2, 2, 1}, {1048576, 16384, 1}, {9, 300, 1}, {1, 1, 0}, {1, 2, 0}, {2, 1, 0}, {1, 16384, 0}};
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("plover_range_" + std::to_string(::getpid()) + ".xlsx")).string();
    const auto expect_shown = [&](plover_worksheet_t* sheet, int call) {
        for (const cell_t& c : cells) EXPECT_EQ(shown(sheet, call, c.row, c.col), c.covered) << c.row << "," << c.col;
    };
    for (int call : {style, protection, link}) {
        SCOPED_TRACE(call);
        {
            book_t b;
            plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
            plover_style_t* italic = wb_make_normal_style(b.wb);
            style_set_italic(italic, 1);
            ws_set_cell_style(ws, 1, 1, italic);
            ASSERT_EQ(ws_set_num(ws, 1, 2, 5), 1);
            plover_style_t* bold = wb_make_normal_style(b.wb);
            style_set_bold(bold, 1);
            const int done = call == style       ? (ws_set_range_style(ws, 2, 2, 1048576, 16384, bold), 1)
                             : call == protection ? ws_protect_range(ws, 2, 2, 1048576, 16384)
                                                  : ws_add_hyperlink(ws, "Data!A1", 2, 2, 1048576, 16384);
            ASSERT_EQ(done, 1) << run_msg();
            expect_shown(ws, call);
            ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
        }
        EXPECT_LT(std::filesystem::file_size(path), 200000u);
        plover_document_t* back = doc_load(path.c_str());
        ASSERT_NE(back, nullptr) << run_msg();
        plover_worksheet_t* loaded = wb_get_sheet(doc_get_workbook(back), 0);
        expect_shown(loaded, call);
        EXPECT_EQ(style_italic(ws_cell_style(loaded, 1, 1)), 1);
        EXPECT_EQ(ws_get_num(loaded, 1, 2), 5);
        doc_release(back);
    }
    std::filesystem::remove(path);
}

// A style over nearly the whole sheet on a sheet whose row 1 is bold, a link
// over whole rows but column A and protection of row 1: they save small, and
// each cell reads back as it showed, B1 bold and row 1 of the third locked.
TEST(cell_styles_saved, nearly_whole_columns_beside_a_bold_row_and_links_over_whole_rows) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("plover_rows_" + std::to_string(::getpid()) + ".xlsx")).string();
    const auto shown = [](plover_worksheet_t* sheet, int row, int col) {
        plover_style_t* s = ws_cell_style(sheet, row, col);
        return std::to_string(style_bold(s)) + std::to_string(style_italic(s)) + std::to_string(style_underlined(s) != 0) +
               std::to_string(style_cell_locked(s));
    };
    const int cells[][2] = {{1, 1}, {1, 2}, {1, 16384}, {2, 1}, {2, 2}, {1048576, 16384}, {5, 1}, {5, 2}, {6, 3}};
    std::vector<std::string> before;
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
        plover_worksheet_t* linked = wb_add_worksheet(b.wb, "Linked");
        plover_style_t* style = wb_make_normal_style(b.wb);
        style_set_bold(style, 1);
        ws_set_range_style(ws, 1, 1, 1, 16384, style);
        style_set_bold(style, 0);
        style_set_italic(style, 1);
        ws_set_range_style(ws, 2, 2, 1048576, 16384, style);
        ASSERT_EQ(ws_add_hyperlink(linked, "Data!A1", 1, 2, 5, 16384), 1) << run_msg();
        plover_worksheet_t* locked = wb_add_worksheet(b.wb, "Locked");
        ASSERT_EQ(ws_protect_range(locked, 1, 1, 1, 16384), 1) << run_msg();
        for (plover_worksheet_t* sheet : {ws, linked, locked})
            for (const auto& c : cells) before.push_back(shown(sheet, c[0], c[1]));
        ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
    }
    EXPECT_EQ(before[1], "1001");  // B1
    const size_t n = std::size(cells);
    EXPECT_EQ(std::vector<std::string>(before.begin() + 2 * n, before.begin() + 2 * n + 3),
              std::vector<std::string>(3, "0001"));  // A1, B1 and XFD1 of the third
    EXPECT_LT(std::filesystem::file_size(path), 200000u);
    plover_document_t* back = doc_load(path.c_str());
    ASSERT_NE(back, nullptr) << run_msg();
    std::vector<std::string> after;
    for (unsigned i = 0; i < 3; ++i)
        for (const auto& c : cells) after.push_back(shown(wb_get_sheet(doc_get_workbook(back), i), c[0], c[1]));
    EXPECT_EQ(after, before);
    doc_release(back);
    std::filesystem::remove(path);
}

TEST_F(cell_styles, number_formats_survive_the_deletion_of_every_sheet) {
    plover_style_t* s = wb_make_normal_style(b.wb);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(style_set_numfmt(s, "0.00"), 2);
    wb_delete_sheet(b.wb, 0);
    ASSERT_EQ(wb_sheet_count(b.wb), 0u);
    const int id = style_set_numfmt(s, "0.000");
    EXPECT_GE(id, 164);
    EXPECT_EQ(style_set_numfmt(s, "0.000"), id);
    EXPECT_STREQ(style_numfmt_code(s), "0.000");
    EXPECT_EQ(style_set_numfmt_id(s, 3), 1);
    EXPECT_STREQ(style_numfmt_code(s), "#,##0");
    EXPECT_EQ(style_set_numfmt_id(s, 165), 0);
    EXPECT_STREQ(run_msg(), "No such number format ID.");
    EXPECT_EQ(style_set_numfmt(s, ""), -1);
    EXPECT_STREQ(run_msg(), "Failed to set number format.");
    EXPECT_EQ(style_set_numfmt(s, nullptr), -1);
    EXPECT_STREQ(run_msg(), "Number format code cannot be empty.");
}

TEST_F(cell_styles, a_styled_cell_keeps_its_number_format_through_a_saved_id) {
    plover_style_t* s = wb_make_normal_style(b.wb);
    const int id = style_set_numfmt(s, "0.0000");
    ws_set_cell_style(ws, 1, 1, s);
    EXPECT_EQ(style_numfmt_id(ws_cell_style(ws, 1, 1)), id);
    EXPECT_STREQ(style_numfmt_code(ws_cell_style(ws, 1, 1)), "0.0000");
}

// Custom ids are per workbook: A's 164 and B's 164 are different codes, so a
// style carries its code to the workbook it is used in.
TEST(cell_styles_across_books, a_style_keeps_its_number_format_in_another_workbook) {
    book_t a, b;
    plover_worksheet_t* wa = wb_add_worksheet(a.wb, "A");
    plover_worksheet_t* wbs = wb_add_worksheet(b.wb, "B");
    ASSERT_NE(wa, nullptr);
    ASSERT_NE(wbs, nullptr);
    plover_style_t* sa = wb_make_normal_style(a.wb);
    plover_style_t* sb = wb_make_normal_style(b.wb);
    ASSERT_EQ(style_set_numfmt(sa, "0.000%"), 164);
    ASSERT_EQ(style_set_numfmt(sb, "#,##0.0000"), 164);
    plover_style_t* by_id = wb_make_normal_style(a.wb);
    ASSERT_EQ(style_set_numfmt_id(by_id, 164), 1);

    ws_set_cell_style(wbs, 1, 1, sa);
    ws_set_range_style(wbs, 2, 1, 3, 2, sa);
    ws_set_row_style(wbs, 5, 5, sa);
    ws_set_num(wbs, 5, 9, 1);  // takes the row's style
    ws_set_cell_style(wbs, 6, 1, by_id);
    ws_set_cell_style(wbs, 7, 1, sb);
    for (const auto& [row, col, code] : {std::tuple{1, 1, "0.000%"}, std::tuple{3, 2, "0.000%"},
                                         std::tuple{5, 9, "0.000%"}, std::tuple{6, 1, "0.000%"},
                                         std::tuple{7, 1, "#,##0.0000"}}) {
        plover_style_t* got = ws_cell_style(wbs, row, col);
        ASSERT_NE(got, nullptr) << row;
        EXPECT_STREQ(style_numfmt_code(got), code) << row << "," << col;
    }
    plover_style_t* named = wb_add_custom_style(b.wb, "From A", sa);
    ASSERT_NE(named, nullptr) << run_msg();
    EXPECT_STREQ(style_numfmt_code(named), "0.000%");
    ASSERT_EQ(wb_modify_named_style(b.wb, "From A", by_id), 1);
    EXPECT_STREQ(style_numfmt_code(wb_get_named_style(b.wb, "From A")), "0.000%");
    // A's own cells are untouched.
    ws_set_cell_style(wa, 1, 1, sb);
    EXPECT_STREQ(style_numfmt_code(ws_cell_style(wa, 1, 1)), "#,##0.0000");
    EXPECT_STREQ(style_numfmt_code(sa), "0.000%");
}

// Values no application reads back are refused when set.
TEST_F(cell_styles, unreadable_formats_and_indents_are_refused) {
    plover_style_t* s = wb_make_normal_style(b.wb);
    ASSERT_NE(s, nullptr);
    const int kept = style_set_numfmt(s, "0.0%");
    ASSERT_GE(kept, 164);
    for (const char* bad : {"[>1x]0;m/d/yyyy", "[<=2.5.1]0", "[=1e]0"}) {
        set_marker();
        EXPECT_EQ(style_set_numfmt(s, bad), -1) << bad;
        EXPECT_STREQ(run_msg(), "number format error: parsing error.") << bad;
    }
    EXPECT_EQ(style_numfmt_id(s), kept);
    ws_set_cell_style(ws, 1, 1, s);
    ASSERT_EQ(ws_set_num(ws, 1, 1, 2.0), 1);
    EXPECT_EQ(ws_cell_type(ws, 1, 1), 1);

    style_set_indent(s, 250);
    EXPECT_EQ(style_indent(s), 250);
    for (int far : {251, 1000, 2147483647}) {
        set_marker();
        style_set_indent(s, far);
        EXPECT_STREQ(run_msg(), "Indent cannot be more than 250.");
    }
    EXPECT_EQ(style_indent(s), 250);
}

TEST(cell_styles_threads, two_threads_style_cells_of_two_sheets) {
    book_t b;
    plover_worksheet_t* sheets[] = {wb_add_worksheet(b.wb, "A"), wb_add_worksheet(b.wb, "B")};
    ASSERT_NE(sheets[0], nullptr);
    ASSERT_NE(sheets[1], nullptr);
    constexpr int cells = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            plover_worksheet_t* ws = sheets[t];
            for (int i = 0; i < cells; ++i) {
                plover_style_t* s = wb_make_normal_style(b.wb);
                style_set_font_size(s, 8 + (i % 20));
                style_set_border(s, 8, 1 + t);
                style_set_numfmt(s, i % 2 ? "0.0%" : "#,##0.000");
                ws_set_cell_style(ws, i + 1, 1, s);
                ws_set_num(ws, i + 1, 2, i);
                style_release(s);
                ws_get_cell_style(ws, i + 1, 1);
            }
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < cells; ++i) {
            plover_style_t* s = ws_cell_style(sheets[t], i + 1, 1);
            ASSERT_EQ(style_font_size(s), 8 + (i % 20));
            ASSERT_EQ(style_border(s, 0), 1 + t);
            ASSERT_STREQ(style_numfmt_code(s), i % 2 ? "0.0%" : "#,##0.000");
        }
}

TEST_F(formulas, incomplete_expressions_are_refused_and_valid_texts_kept) {
    for (const char* bad : {"1+", "(1+2", "A1:", "SUM(1,2", "\"abc", "& A1", "&A1"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ws_set_formula(ws, 1, 1, bad), 0);
        EXPECT_NE(std::string(run_msg()), "");
        EXPECT_EQ(ws_contains_formula(ws, 1, 1), 0);
    }
    set_marker();
    // Texts the parser lacks the vocabulary for are stored as written.
    EXPECT_EQ(ws_set_formula(ws, 1, 1, "A1&B1"), 1);
    EXPECT_STREQ(ws_get_formula_expr(ws, 1, 1), "A1&B1");
    EXPECT_STREQ(run_msg(), marker);
}

TEST_F(formulas, references_follow_inserted_and_deleted_rows_and_columns) {
    ASSERT_EQ(ws_set_formula(ws, 1, 2, "=A10*2"), 1);
    ASSERT_EQ(ws_insert_row(ws, 5, 1), 1);
    EXPECT_STREQ(ws_get_formula_expr(ws, 1, 2), "A11*2");

    plover_worksheet_t* other = wb_add_worksheet(b.wb, "Other");
    ASSERT_EQ(ws_set_formula(other, 1, 1, "=Data!B3+C1"), 1);
    ASSERT_EQ(ws_insert_col(ws, 1, 1), 1);
    EXPECT_STREQ(ws_get_formula_expr(other, 1, 1), "Data!C3+C1");

    ASSERT_EQ(ws_set_formula(other, 2, 1, "=B1+C1"), 1);
    ASSERT_EQ(ws_delete_col(other, 2, 2), 1);
    EXPECT_STREQ(ws_get_formula_expr(other, 2, 1), "#REF!+B1");
}

TEST_F(formulas, valid_texts_are_kept_and_follow_inserted_rows) {
    const struct {
        const char* text;
        const char* after;  // once two rows are inserted at the top
    } cases[] = {
        {"TRUE", "TRUE"},
        {"IF(A1>0,TRUE,FALSE)", "IF(A3>0,TRUE,FALSE)"},
        {"A1=TRUE", "A3=TRUE"},
        {"NOT(TRUE)", "NOT(TRUE)"},
        {"AND(A1,TRUE)", "AND(A3,TRUE)"},
        {"{TRUE,FALSE}", "{TRUE,FALSE}"},
        {"+1", "+1"},
        {"+A1+B1", "+A3+B3"},
        {"-+1", "-+1"},
        {"A1*+1", "A3*+1"},
        {"(+1)", "(+1)"},
        {"SUM(+1)", "SUM(+1)"},
        {"A1<=B1", "A3<=B3"},
        {"SUM((A1),B1)", "SUM((A3),B3)"},
        // Tabs and line breaks between tokens are layout; the text keeps them.
        {"A1+\tB1", "A3+\tB3"},
        {"IF(A1>0,\nB1,\nC1)", "IF(A3>0,\nB3,\nC3)"},
        {"A1+\r\nA2", "A3+\r\nA4"},
        {"SUM(A1:B2\n C1:D2)", "SUM(A3:B4\n C3:D4)"},
        {"LEN(\"a\tb\")+A1", "LEN(\"a\tb\")+A3"},
        {"A1 & \" \" & B1", "A3 & \" \" & B3"},
        {"A1& B1", "A3& B3"},
        {"\"a\" & \"b\"", "\"a\" & \"b\""},
    };
    int row = 0;
    for (const auto& c : cases) {
        ++row;
        ASSERT_EQ(ws_set_formula(ws, row, 5, c.text), 1) << c.text << ": " << run_msg();
    }
    ASSERT_EQ(ws_insert_row(ws, 1, 2), 1) << run_msg();
    row = 2;
    for (const auto& c : cases) EXPECT_STREQ(ws_get_formula_expr(ws, ++row, 5), c.after) << c.text;
}

// References a sheet's height apart: the tracker's node splits compare squared
// spans past the range of an int (run under the sanitizers).
TEST_F(formulas, references_spread_over_the_sheet_are_tracked) {
    for (int i = 1; i <= 12; ++i) {
        const std::string text =
            std::string("A").append(std::to_string(i)).append("+A").append(std::to_string(100000 + i));
        ASSERT_EQ(ws_set_formula(ws, i, 2, text.c_str()), 1) << text << ": " << run_msg();
    }
    for (int i = 1; i <= 12; ++i) {
        const std::string text =
            std::string("A").append(std::to_string(i)).append("*XFD").append(std::to_string(1048576 - i));
        ASSERT_EQ(ws_set_formula(ws, 1048576 - i, 16384 - i, text.c_str()), 1) << text << ": " << run_msg();
    }
    ASSERT_EQ(ws_insert_row(ws, 1, 1), 1) << run_msg();
    EXPECT_STREQ(ws_get_formula_expr(ws, 7, 2), "A7+A100007");
    EXPECT_STREQ(ws_get_formula_expr(ws, 1048576, 16383), "A2*XFD1048576");
}
