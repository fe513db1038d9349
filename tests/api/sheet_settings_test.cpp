// A sheet's name, view and page settings through the worksheet exports.
#include "plover.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

namespace {

struct sheet_settings : ::testing::Test {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = nullptr;

    void SetUp() override {
        ASSERT_NE(doc, nullptr);
        ws = wb_add_worksheet(doc_get_workbook(doc), "Report");
        ASSERT_NE(ws, nullptr);
    }
    void TearDown() override { doc_release(doc); }
};

} // namespace

TEST_F(sheet_settings, name_and_zoom) {
    EXPECT_STREQ(ws_name(ws), "Report");
    ws_set_zoom(ws, 150);
    EXPECT_EQ(ws_zoom(ws), 150);
    for (int ignored : {9, 401, -5}) {
        ws_set_zoom(ws, ignored);
        EXPECT_EQ(ws_zoom(ws), 150) << ignored;
    }
    ws_set_zoom(ws, 10);
    EXPECT_EQ(ws_zoom(ws), 10);
    ws_set_zoom(ws, 400);
    EXPECT_EQ(ws_zoom(ws), 400);
}

// The sheet handle renames through its workbook: the same handle answers under
// the new name, and the workbook's refusals reach the host.
TEST_F(sheet_settings, rename_type_and_state) {
    plover_workbook_t* wb = doc_get_workbook(doc);
    ASSERT_NE(wb_add_worksheet(wb, "Other"), nullptr);
    EXPECT_TRUE(ws_set_name(ws, "Sales"));
    EXPECT_STREQ(ws_name(ws), "Sales");
    EXPECT_EQ(wb_get_sheet(wb, 0), ws);
    EXPECT_FALSE(ws_set_name(ws, "Other"));
    EXPECT_STREQ(run_msg(), "Duplicate new sheet name.");
    EXPECT_FALSE(ws_set_name(ws, nullptr));
    EXPECT_STREQ(run_msg(), "The new name can not be empty.");
    EXPECT_FALSE(ws_set_name(ws, std::string(32, 'x').c_str()));
    EXPECT_STREQ(ws_name(ws), "Sales");
    ASSERT_NE(wb_add_worksheet(wb, "Report"), nullptr);  // the old name is free again
    EXPECT_EQ(ws_ws_type(ws), wb_sheet_type(wb, 0));
    wb_set_sheet_state(wb, 0, 1);
    EXPECT_EQ(ws_get_ws_state(ws), wb_get_sheet_state(wb, 0));
    EXPECT_EQ(ws_get_ws_state(ws), 1);
}

TEST_F(sheet_settings, views) {
    int row = -7, col = -7;
    ws_topleft_cell(ws, &row, &col);
    EXPECT_TRUE((row == 0 && col == 0) || (row == 1 && col == 1)) << row << "," << col;
    ws_set_topleft_cell(ws, 5, 3);
    ws_topleft_cell(ws, &row, &col);
    EXPECT_EQ(row, 5);
    EXPECT_EQ(col, 3);
    ws_topleft_cell(ws, nullptr, nullptr);
    ws_set_active_cell(ws, 0, 1);
    EXPECT_STREQ(run_msg(), "Invalid cell coordinate.");
    ws_set_active_cell(ws, 1048576, 16384);
    ws_active_cell(ws, &row, &col);
    EXPECT_EQ(row, 1048576);
    EXPECT_EQ(col, 16384);
    ws_set_right_to_left(ws, 1);
    EXPECT_EQ(ws_right_to_left(ws), 1);
    ws_set_display_gridlines(ws, 0);
    EXPECT_EQ(ws_display_gridlines(ws), 0);
    ws_set_display_gridlines(ws, 1);
    EXPECT_EQ(ws_display_gridlines(ws), 1);
}

TEST_F(sheet_settings, page_setup) {
    ws_set_left_margin(ws, 1.25);
    EXPECT_EQ(ws_left_margin(ws), 1.25);
    ws_set_left_margin(ws, -2);
    EXPECT_EQ(ws_left_margin(ws), 0.0);
    ws_set_footer_margin(ws, -0.5);
    EXPECT_EQ(ws_footer_margin(ws), 0.0);
    ws_set_top_margin(ws, 0.75);
    EXPECT_EQ(ws_top_margin(ws), 0.75);

    EXPECT_EQ(ws_set_paper(ws, 1), 1);
    EXPECT_EQ(ws_set_paper(ws, 118), 1);
    for (int bad : {0, 119}) {
        EXPECT_EQ(ws_set_paper(ws, bad), 0);
        EXPECT_STREQ(run_msg(), "No such paper id, please refer to the paper id in enum.h.");
    }
    EXPECT_EQ(ws_paper(ws), 118);

    ws_set_print_scale(ws, 100);
    for (int ignored : {-1, 5, 401}) ws_set_print_scale(ws, ignored);
    EXPECT_EQ(ws_print_scale(ws), 100);
    ws_set_print_scale(ws, 10);
    EXPECT_EQ(ws_print_scale(ws), 10);
    ws_set_print_scale(ws, 400);
    EXPECT_EQ(ws_print_scale(ws), 400);

    ws_set_page_orientation(ws, 2);
    EXPECT_EQ(ws_page_orientation(ws), 2);
    ws_set_page_orientation(ws, 3);
    EXPECT_STREQ(run_msg(), "orientation: Invalid parameter value. Please refer to enum PageOrientEnum in enum.h");
    ws_set_page_orientation(ws, -1);
    EXPECT_EQ(ws_page_orientation(ws), 2);
}

TEST_F(sheet_settings, breaks) {
    EXPECT_EQ(ws_row_break(ws, 0), -1);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(ws_set_row_break(ws, 0, 1), 0);
    EXPECT_STREQ(run_msg(), "Row out of range.");
    EXPECT_EQ(ws_set_col_break(ws, 16385, 1), 0);
    EXPECT_STREQ(run_msg(), "Column out of range.");
    EXPECT_EQ(ws_set_col_break(ws, 7, 1), 1);
    EXPECT_EQ(ws_set_col_break(ws, 3, 1), 1);
    EXPECT_EQ(ws_col_break_count(ws), 2);
    EXPECT_EQ(ws_col_break(ws, 0), 3);
    EXPECT_EQ(ws_col_break(ws, 1), 7);
    EXPECT_EQ(ws_col_break(ws, 2), -1);
    EXPECT_EQ(ws_set_row_break(ws, 1048576, 1), 1);
    EXPECT_EQ(ws_row_break_count(ws), 1);
    EXPECT_EQ(ws_row_break(ws, 0), 1048576);
    EXPECT_EQ(ws_set_row_break(ws, 1048576, 0), 1);
    EXPECT_EQ(ws_row_break_count(ws), 0);
}

TEST_F(sheet_settings, printing_options_and_texts) {
    EXPECT_EQ(ws_print_errors(ws), 2);
    ws_set_print_errors(ws, 3);
    EXPECT_EQ(ws_print_errors(ws), 3);
    ws_set_print_errors(ws, 4);
    EXPECT_STREQ(run_msg(), "way: Invalid parameter value. Please refer to enum PrintErrorEnum in enum.h");
    EXPECT_EQ(ws_print_errors(ws), 3);

    ws_set_print_gridlines(ws, 1);
    EXPECT_EQ(ws_print_gridlines(ws), 1);
    ws_set_print_gridlines(ws, 0);
    EXPECT_EQ(ws_print_gridlines(ws), 0);

    ws_set_fit_page_width(ws, 2);
    ws_set_fit_page_width(ws, 0);
    EXPECT_EQ(ws_fit_page_width(ws), 2);

    EXPECT_EQ(ws_page_header(ws), nullptr);
    ws_set_page_header(ws, "&CTitle \xc3\xa9");
    EXPECT_STREQ(ws_page_header(ws), "&CTitle \xc3\xa9");
    ws_set_page_header(ws, "bad \xff");
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_STREQ(ws_page_header(ws), "&CTitle \xc3\xa9");
    ws_set_page_footer(ws, "&P");
    EXPECT_STREQ(ws_page_footer(ws), "&P");
    ws_set_page_footer(ws, nullptr);
    EXPECT_EQ(ws_page_footer(ws), nullptr);
}

TEST_F(sheet_settings, two_threads_on_one_sheet) {
    auto work = [&](int base) {
        for (int i = 0; i < 2000; ++i) {
            ws_set_zoom(ws, 10 + (base + i) % 390);
            ws_set_left_margin(ws, (base + i) % 7);
            ws_set_print_scale(ws, 10 + i % 300);
            ws_set_col_break(ws, 1 + (base + i) % 50, i % 3 != 0);
            ws_set_page_header(ws, i % 2 ? "&LLeft" : "&RRight");
            ws_zoom(ws);
            ws_left_margin(ws);
            ws_col_break(ws, 0);
            ws_page_header(ws);
        }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    EXPECT_GE(ws_zoom(ws), 10);
    EXPECT_LE(ws_zoom(ws), 400);
    EXPECT_EQ(ws_left_margin(ws), std::floor(ws_left_margin(ws)));
}
