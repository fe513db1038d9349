// Protecting every column of a band of rows: the locked state goes to the
// rows' styles, as a style over whole rows does, so the file stays small; each
// cell reads back locked or unlocked as it was, after a reload too, and later
// styles over whole rows or columns keep each cell's lock.

#include "book_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using api_test::book_t;
using api_test::scratch_dir;

namespace {

constexpr int last_row = 1048576, last_col = 16384;

struct cell_t {
    int row, col;
    const char* shown;  // locked, bold, italic as three digits
};

std::string shown(plover_worksheet_t* ws, int row, int col) {
    plover_style_t* s = ws_cell_style(ws, row, col);
    return std::to_string(style_cell_locked(s)) + std::to_string(style_bold(s)) + std::to_string(style_italic(s));
}

void expect_cells(plover_worksheet_t* ws, const std::vector<cell_t>& cells, const char* when) {
    for (const cell_t& c : cells) EXPECT_EQ(shown(ws, c.row, c.col), c.shown) << when << " " << c.row << "," << c.col;
}

// The saved file is small and each cell reads back as it showed.
void expect_reloaded(const std::string& path, const std::vector<cell_t>& cells) {
    EXPECT_LT(std::filesystem::file_size(path), 20000u);  // a record per covered cell was 31 MB
    plover_document_t* back = doc_load(path.c_str());
    ASSERT_NE(back, nullptr) << run_msg();
    expect_cells(wb_get_sheet(doc_get_workbook(back), 0), cells, "reloaded");
    doc_release(back);
}

} // namespace

TEST(whole_row_protection, locks_rows_through_their_styles_and_reads_back_cell_by_cell) {
    scratch_dir dir;
    const std::vector<cell_t> cells = {
        {1, 1, "100"},       {1, last_col, "100"}, {500, 7, "100"},   {1000, 1, "100"},  {1000, last_col, "100"},
        {1001, 1, "000"},    {1001, last_col, "000"}, {5000, 3, "000"}, {last_row, 1, "000"}, {last_row, last_col, "000"},
    };
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Locked");
        ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, last_col), 1) << run_msg();
        EXPECT_EQ(ws_is_protected(ws), 1);
        expect_cells(ws, cells, "set");
        ASSERT_EQ(ws_set_num(ws, 5, 5, 1), 1);  // a value takes what its cell shows
        ASSERT_EQ(ws_set_num(ws, 2000, 5, 2), 1);
        ASSERT_EQ(doc_save(b.doc, (dir / "locked.xlsx").c_str()), 1) << run_msg();
    }
    expect_reloaded(dir / "locked.xlsx", cells);
    plover_document_t* back = doc_load((dir / "locked.xlsx").c_str());
    ASSERT_NE(back, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(back), 0);
    EXPECT_EQ(ws_is_protected(ws), 1);
    EXPECT_EQ(shown(ws, 5, 5), "100");
    EXPECT_EQ(shown(ws, 2000, 5), "000");
    EXPECT_EQ(ws_get_num(ws, 5, 5), 1);
    doc_release(back);
}

// Bold rows 500 to 1000 and an italic column C over the protected rows: a
// cell keeps its lock and takes the new style over it (the italic font in
// place of the bold one).
TEST(whole_row_protection, later_row_and_column_styles_keep_each_cell_lock) {
    scratch_dir dir;
    const std::vector<cell_t> cells = {
        {1, 1, "100"},   {499, 2, "100"},  {500, 2, "110"},   {1000, last_col, "110"}, {1001, 2, "000"},
        {1, 3, "101"},   {700, 3, "101"},  {1200, 3, "001"},  {last_row, 3, "001"},
    };
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Locked");
        ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, last_col), 1) << run_msg();
        plover_style_t* bold = wb_make_normal_style(b.wb);
        style_set_bold(bold, 1);
        ws_set_range_style(ws, 500, 1, 1000, last_col, bold);
        plover_style_t* italic = wb_make_normal_style(b.wb);
        style_set_italic(italic, 1);
        ws_set_range_style(ws, 1, 3, last_row, 3, italic);
        expect_cells(ws, cells, "set");
        ASSERT_EQ(doc_save(b.doc, (dir / "styled.xlsx").c_str()), 1) << run_msg();
    }
    expect_reloaded(dir / "styled.xlsx", cells);
}

// A second band protected unlocks the first, still through the rows' styles.
TEST(whole_row_protection, a_second_band_leaves_only_itself_locked) {
    scratch_dir dir;
    const std::vector<cell_t> cells = {{1, 1, "000"},    {1000, last_col, "000"}, {1999, 3, "000"},
                                       {2000, 1, "100"}, {2100, last_col, "100"}, {2101, 5, "000"}};
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Locked");
        ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, last_col), 1) << run_msg();
        ASSERT_EQ(ws_protect_range(ws, 2000, 1, 2100, last_col), 1) << run_msg();
        expect_cells(ws, cells, "set");
        ASSERT_EQ(doc_save(b.doc, (dir / "second.xlsx").c_str()), 1) << run_msg();
    }
    expect_reloaded(dir / "second.xlsx", cells);
}
