// Setting and reading cell values through the worksheet exports, as a host does.
#include "plover.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

// Leaves "Wrong cell reference: 1" as the last message.
void set_marker() { a1_to_row_col("1", nullptr, nullptr); }
constexpr const char* marker = "Wrong cell reference: 1";

struct cell_values : ::testing::Test {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = nullptr;
    plover_worksheet_t* ws = nullptr;

    void SetUp() override {
        ASSERT_NE(doc, nullptr);
        wb = doc_get_workbook(doc);
        ws = wb_add_worksheet(wb, "Values");
        ASSERT_NE(ws, nullptr);
    }
    void TearDown() override { doc_release(doc); }
};

} // namespace

TEST_F(cell_values, coordinates_outside_the_sheet) {
    set_marker();
    EXPECT_EQ(ws_cell_type(ws, 0, 1), -1);
    EXPECT_EQ(ws_cell_type(ws, 1, 16385), -1);
    EXPECT_EQ(ws_get_text(ws, 0, 1), nullptr);
    EXPECT_EQ(ws_get_error(ws, 1048577, 1), -1);
    EXPECT_STREQ(run_msg(), marker);
    EXPECT_EQ(ws_get_num(ws, 0, 1), 0.0);
    EXPECT_STREQ(run_msg(), "Illegal row or column number.");
    EXPECT_EQ(ws_set_text(ws, 1, 16385, "x"), 0);
    EXPECT_STREQ(run_msg(), "Row or column out of range.");
    EXPECT_EQ(ws_set_num(ws, 1048577, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "Illegal row or column number.");
    EXPECT_EQ(ws_cell_type(ws, 1048576, 16384), 0);
    EXPECT_EQ(ws_set_num(ws, 1048576, 16384, 5), 1);
    EXPECT_EQ(ws_get_num(ws, 1048576, 16384), 5.0);
}

TEST_F(cell_values, numbers_read_back_bit_for_bit) {
    const double values[] = {2.0, 3000000000.0, -3000000000.0, -0.0, 1e-17, 1e20, 0.1, 9007199254740994.0, 2.5};
    int row = 1;
    for (double v : values) {
        ASSERT_EQ(ws_set_num(ws, row, 1, v), 1) << v;
        EXPECT_EQ(std::bit_cast<uint64_t>(ws_get_num(ws, row, 1)), std::bit_cast<uint64_t>(v)) << v;
        EXPECT_EQ(ws_cell_type(ws, row, 1), 1);
        ++row;
    }
    ASSERT_EQ(ws_set_num(ws, 1, 2, 7.0), 1);
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        set_marker();
        EXPECT_EQ(ws_set_num(ws, 1, 2, bad), 0);
        EXPECT_STREQ(run_msg(), "Invalid numeric value.");
        EXPECT_EQ(ws_set_datetime(ws, 1, 2, bad), 0);
        EXPECT_STREQ(run_msg(), "Invalid numeric value.");
        EXPECT_EQ(ws_get_num(ws, 1, 2), 7.0);
    }
}

// Serials past the date range would be stored clamped, or overflow on the way.
TEST_F(cell_values, serials_past_the_date_range_are_refused) {
    ASSERT_EQ(ws_set_datetime(ws, 1, 1, 45000.5), 1);
    ASSERT_EQ(ws_set_formula(ws, 2, 1, "1"), 1);
    for (double far : {-1e300, 1e300, 1e15, -1.1e7, 1.1e7}) {
        set_marker();
        EXPECT_EQ(ws_set_datetime(ws, 1, 1, far), 0) << far;
        EXPECT_STREQ(run_msg(), "Invalid numeric value.");
        set_marker();
        EXPECT_EQ(ws_set_formula_datetime(ws, 2, 1, far), 0) << far;
        EXPECT_STREQ(run_msg(), "Invalid numeric value.");
        // A plain number is stored as it is; on a date-formatted cell it cannot
        // be read as a date.
        ASSERT_EQ(ws_set_num(ws, 1, 1, far), 1);
        EXPECT_EQ(ws_cell_type(ws, 1, 1), 4);
        set_marker();
        EXPECT_EQ(ws_get_datetime(ws, 1, 1), 0.0);
        EXPECT_STREQ(run_msg(), "Invalid numeric value.");
        EXPECT_EQ(ws_get_num(ws, 1, 1), far);
    }
    EXPECT_EQ(ws_set_datetime(ws, 1, 1, 1e7), 1);
    EXPECT_EQ(ws_get_datetime(ws, 1, 1), 1e7);
}

TEST_F(cell_values, dates_booleans_and_texts) {
    ASSERT_EQ(ws_set_datetime(ws, 2, 2, 45000.25), 1);
    EXPECT_EQ(ws_get_datetime(ws, 2, 2), 45000.25);
    EXPECT_EQ(ws_get_num(ws, 2, 2), 45000.25);
    EXPECT_EQ(ws_cell_type(ws, 2, 2), 4);

    ASSERT_EQ(ws_set_boolean(ws, 3, 2, 1), 1);
    EXPECT_EQ(ws_get_boolean(ws, 3, 2), 1);
    EXPECT_EQ(ws_cell_type(ws, 3, 2), 3);
    ASSERT_EQ(ws_set_boolean(ws, 3, 2, 0), 1);
    EXPECT_EQ(ws_get_boolean(ws, 3, 2), 0);

    ASSERT_EQ(ws_set_text(ws, 4, 2, "caf\xc3\xa9"), 1);
    EXPECT_STREQ(ws_get_text(ws, 4, 2), "caf\xc3\xa9");
    EXPECT_EQ(ws_cell_type(ws, 4, 2), 2);
    // Control characters are kept as given; the writer escapes them.
    ASSERT_EQ(ws_set_text(ws, 5, 2, "a\x01\tb\r\n"), 1);
    EXPECT_STREQ(ws_get_text(ws, 5, 2), "a\x01\tb\r\n");
    // A text replaces a number and the reverse.
    ASSERT_EQ(ws_set_num(ws, 4, 2, 1.5), 1);
    EXPECT_EQ(ws_cell_type(ws, 4, 2), 1);

    EXPECT_EQ(ws_set_text(ws, 6, 2, nullptr), 0);
    EXPECT_STREQ(run_msg(), "Text cannot be empty.");
    EXPECT_EQ(ws_set_text(ws, 5, 2, "bad \xc3("), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_STREQ(ws_get_text(ws, 5, 2), "a\x01\tb\r\n");
    EXPECT_EQ(ws_set_text(ws, 5, 2, ""), 1);
    EXPECT_EQ(ws_cell_type(ws, 5, 2), 0);
}

TEST_F(cell_values, getters_of_the_wrong_kind) {
    ASSERT_EQ(ws_set_text(ws, 1, 1, "t"), 1);
    ASSERT_EQ(ws_set_num(ws, 1, 2, 3), 1);
    EXPECT_EQ(ws_get_num(ws, 1, 1), 0.0);
    EXPECT_STREQ(run_msg(),
                 "The cell does not contain a numerical value or is a formula cell that has not been calculated yet.");
    EXPECT_EQ(ws_get_text(ws, 1, 2), nullptr);
    EXPECT_STREQ(run_msg(),
                 "The cell does not contain a string value or is a formula cell that has not been calculated yet.");
    EXPECT_EQ(ws_get_boolean(ws, 1, 2), 0);
    EXPECT_STREQ(run_msg(),
                 "The cell does not contain a boolean value or is a formula cell that has not been calculated yet.");
    EXPECT_EQ(ws_get_datetime(ws, 1, 2), 0.0);
    EXPECT_STREQ(run_msg(), "The cell does not contain a datetime value.");
    EXPECT_EQ(ws_get_num(ws, 9, 9), 0.0);
    EXPECT_STREQ(run_msg(),
                 "The cell does not contain a numerical value or is a formula cell that has not been calculated yet.");
    EXPECT_EQ(ws_cell_type(ws, 9, 9), 0);
}

TEST_F(cell_values, error_codes) {
    ASSERT_EQ(ws_set_num(ws, 1, 1, 4), 1);
    for (int bad : {0, 10, -1}) {
        EXPECT_EQ(ws_set_error(ws, 1, 1, bad), 0);
        EXPECT_STREQ(run_msg(), "code: Invalid parameter value. Please refer to enum ErrorCodeEnum in enum.h");
        EXPECT_EQ(ws_get_num(ws, 1, 1), 4.0);
    }
    set_marker();
    EXPECT_EQ(ws_get_error(ws, 1, 1), 0);
    EXPECT_STREQ(run_msg(), marker);
    for (int code = 1; code <= 9; ++code) {
        ASSERT_EQ(ws_set_error(ws, 2, code, code), 1);
        EXPECT_EQ(ws_get_error(ws, 2, code), code);
        EXPECT_EQ(ws_cell_type(ws, 2, code), 5);
    }
}

TEST_F(cell_values, clearing_and_null_handles) {
    for (int r = 1; r <= 3; ++r) ASSERT_EQ(ws_set_num(ws, r, r, r), 1);
    ws_clear_contents(ws, 2, 2, 1, 1);
    EXPECT_EQ(ws_cell_type(ws, 1, 1), 0);
    EXPECT_EQ(ws_cell_type(ws, 2, 2), 0);
    EXPECT_EQ(ws_get_num(ws, 3, 3), 3.0);

    EXPECT_EQ(ws_set_num(nullptr, 1, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "The handle cannot be empty.");
    ws_set_bg_picture(ws, nullptr);
    EXPECT_STREQ(run_msg(), "The image file name cannot be empty.");
}

TEST_F(cell_values, threads_on_two_sheets_and_on_one) {
    plover_worksheet_t* other = wb_add_worksheet(wb, "Other");
    ASSERT_NE(other, nullptr);
    constexpr int rows = 2000;
    auto fill = [](plover_worksheet_t* sheet, int col) {
        for (int r = 1; r <= rows; ++r) {
            ws_set_num(sheet, r, col, r + 0.5);
            ws_set_text(sheet, r, col + 1, "shared text");
            ws_get_num(sheet, r, col);
            ws_cell_type(sheet, r, col + 1);
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(fill, ws, 1);
    threads.emplace_back(fill, other, 1);
    threads.emplace_back(fill, ws, 3);
    for (auto& t : threads) t.join();
    for (plover_worksheet_t* sheet : {ws, other})
        for (int r = 1; r <= rows; r += 97) {
            EXPECT_EQ(ws_get_num(sheet, r, 1), r + 0.5);
            EXPECT_STREQ(ws_get_text(sheet, r, 2), "shared text");
        }
    for (int r = 1; r <= rows; r += 97) EXPECT_EQ(ws_get_num(ws, r, 3), r + 0.5);
}
