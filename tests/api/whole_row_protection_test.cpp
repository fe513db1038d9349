// Protecting every column of a band of rows locks the rows through their
// styles, so the file stays small, and each cell reads back as it showed.

#include "book_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using api_test::book_t;
using api_test::scratch_dir;

TEST(whole_row_protection, rows_lock_through_their_styles_and_read_back_cell_by_cell) {
    constexpr int last_row = 1048576, last_col = 16384;
    const struct {
        std::function<void(plover_workbook_t*, plover_worksheet_t*)> edit;  // after A1:XFD1000 is protected
        std::vector<std::tuple<int, int, std::string>> cells;                // locked, bold, italic
    } cases[] = {
        {[](plover_workbook_t* wb, plover_worksheet_t* ws) {
             ws_set_num(ws, 5, 5, 1);
             plover_style_t* bold = wb_make_normal_style(wb);
             style_set_bold(bold, 1);
             ws_set_range_style(ws, 500, 1, 1000, last_col, bold);
             plover_style_t* italic = wb_make_normal_style(wb);
             style_set_italic(italic, 1);
             ws_set_range_style(ws, 1, 3, last_row, 3, italic);
         },
         {{1, 1, "100"}, {5, 5, "100"}, {1000, last_col, "110"}, {1001, 2, "000"}, {700, 3, "101"},
          {1200, 3, "001"}, {last_row, last_col, "000"}}},
        {[](plover_workbook_t*, plover_worksheet_t* ws) { ws_protect_range(ws, 2000, 1, 2100, last_col); },
         {{1000, last_col, "000"}, {2000, 1, "100"}, {2100, last_col, "100"}, {2101, 5, "000"}}},
        {[](plover_workbook_t* wb, plover_worksheet_t* ws) {  // rows in turn across bold columns of no cells
             ws_delete_row(ws, 1, 1000);
             plover_style_t* bold = wb_make_normal_style(wb);
             style_set_bold(bold, 1);
             ws_set_col_style(ws, 20, 30, bold);
             for (const int row : {2000, 2002}) ws_protect_range(ws, row, 1, row, last_col);
         },
         {{2000, 25, "010"}, {2002, 25, "110"}, {2002, 31, "100"}, {2001, 20, "010"}, {2002, last_col, "100"},
          {500, 30, "010"}, {2000, 1, "000"}}},
    };
    for (const auto& c : cases) {
        scratch_dir dir;
        const std::string path = dir / "locked.xlsx";
        {
            book_t b;
            plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Locked");
            ASSERT_EQ(ws_protect_range(ws, 1, 1, 1000, last_col), 1) << run_msg();
            c.edit(b.wb, ws);
            ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
        }
        EXPECT_LT(std::filesystem::file_size(path), 20000u);  // a record per cell was 31 MB
        plover_document_t* back = doc_load(path.c_str());
        ASSERT_NE(back, nullptr) << run_msg();
        for (const auto& [row, col, shown] : c.cells) {
            plover_style_t* s = ws_cell_style(wb_get_sheet(doc_get_workbook(back), 0), row, col);
            EXPECT_EQ(std::to_string(style_cell_locked(s)) + std::to_string(style_bold(s)) +
                          std::to_string(style_italic(s)), shown) << row << "," << col;
        }
        doc_release(back);
    }
}
