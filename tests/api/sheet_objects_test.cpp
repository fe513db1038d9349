// Pictures, the used area, merged ranges, protection and outlines of a sheet,
// through the worksheet exports.
#include "plover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string last_message() {
    const char* m = run_msg();
    return m ? m : "";
}

// A PNG header stating its pixel size is all the sniffer reads.
std::vector<char> png(uint32_t w, uint32_t h) {
    std::vector<char> b = {'\x89', 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<char>((v >> shift) & 0xFF));
    b.resize(33, 0);
    return b;
}

struct sheet_objects : ::testing::Test {
    fs::path dir;
    std::string picture;  // 40 x 30 pixels
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = nullptr;

    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "plover_api_XXXXXX").string();
        ASSERT_NE(::mkdtemp(t.data()), nullptr);
        dir = t;
        picture = (dir / "small.png").string();
        const std::vector<char> bytes = png(40, 30);
        std::ofstream(picture, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_NE(doc, nullptr);
        ws = wb_add_worksheet(doc_get_workbook(doc), "Objects");
        ASSERT_NE(ws, nullptr);
    }
    void TearDown() override {
        doc_release(doc);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

} // namespace

TEST_F(sheet_objects, cell_pictures_are_reported_at_their_cell) {
    const int id = ws_add_cell_image(ws, picture.c_str(), 2, 2, 3, 3);
    ASSERT_GT(id, 0) << last_message();
    EXPECT_EQ(ws_image_num(ws), 1);
    EXPECT_EQ(ws_get_image_id(ws, 0), id);
    EXPECT_EQ(ws_get_image_id(ws, 1), -1);
    EXPECT_EQ(ws_image_anchor_type(ws, id), 3);
    int row = 0, col = 0;
    ASSERT_EQ(ws_get_anchored_cell(ws, id, &row, &col), 1);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(2, 2));
    ASSERT_EQ(ws_get_anchored_cell(ws, id, nullptr, nullptr), 1);

    // The corners come in either order: 5 is compared with 2 + 1.
    const int swapped = ws_add_image_with_two_cells(ws, picture.c_str(), 5, 5, 2, 2, 1, 2, 3, 4);
    ASSERT_GT(swapped, id);
    ASSERT_EQ(ws_get_anchored_cell(ws, swapped, &row, &col), 1);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(3, 3));

    EXPECT_EQ(ws_add_cell_image(ws, picture.c_str(), 1, 1, 1048576, 1), -1);
    EXPECT_EQ(last_message(), "Row or column is out of range.");
    EXPECT_EQ(ws_add_cell_image(ws, picture.c_str(), 1, 1, 1, 16384), -1);
    EXPECT_EQ(ws_add_cell_image(ws, picture.c_str(), 0, 1, 1, 1), -1);
    EXPECT_EQ(ws_add_cell_image(ws, nullptr, 1, 1, 1, 1), -1);
    EXPECT_EQ(last_message(), "The image file cannot be empty.");
    EXPECT_EQ(ws_add_cell_image(ws, (dir / "absent.png").string().c_str(), 1, 1, 1, 1), -1);
    EXPECT_EQ(last_message(), "Failed to load file: " + (dir / "absent.png").string());
    EXPECT_EQ(ws_image_num(ws), 2);

    ws_remove_image(ws, 2, 2);
    EXPECT_EQ(ws_image_num(ws), 1);
    EXPECT_EQ(ws_image_anchor_type(ws, id), 0);
    EXPECT_EQ(last_message(), "No such image id.");
    ws_delete_image(ws, swapped);
    EXPECT_EQ(ws_image_num(ws), 0);
    ws_delete_image(ws, swapped);
    EXPECT_EQ(last_message(), "No such image id.");
}

TEST_F(sheet_objects, one_cell_and_absolute_size_rules) {
    EXPECT_EQ(ws_add_image_with_one_cell(ws, picture.c_str(), 1, 1, 0, 0, 0.0, 0, 0), -1);
    EXPECT_EQ(last_message(), "Incorrect image size or scaling factor.");
    EXPECT_EQ(ws_add_image_with_one_cell(ws, picture.c_str(), 1, 1, 10, 0, 1.0, 0, 0), -1);
    EXPECT_EQ(ws_add_image_with_one_cell(ws, picture.c_str(), 0, 1, 10, 10, 1.0, 0, 0), -1);
    EXPECT_EQ(last_message(), "Incorrect image size or scaling factor.");
    const int one = ws_add_image_with_one_cell(ws, picture.c_str(), 4, 6, 0, 0, 1.0, 3, 5);
    ASSERT_GT(one, 0);
    EXPECT_EQ(ws_image_anchor_type(ws, one), 2);
    int row = 0, col = 0;
    ASSERT_EQ(ws_get_anchored_cell(ws, one, &row, &col), 1);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(4, 6));

    EXPECT_EQ(ws_add_absolute_image(ws, picture.c_str(), 0, 0, 100, 0, 1.0), -1);
    EXPECT_EQ(last_message(), "Incorrect image dimensions or scaling factor.");
    EXPECT_EQ(ws_add_absolute_image(ws, picture.c_str(), -1, 0, 100, 50, 1.0), -1);
    EXPECT_EQ(ws_add_absolute_image(ws, nullptr, 0, 0, 100, 50, 1.0), -1);
    EXPECT_EQ(last_message(), "The image file cannot be empty.");
    const int absolute = ws_add_absolute_image(ws, picture.c_str(), 7, 9, 0, 0, 2.0);
    ASSERT_GT(absolute, 0);
    EXPECT_EQ(ws_image_anchor_type(ws, absolute), 1);
    int x = 0, y = 0;
    ASSERT_EQ(ws_get_absolute_coord(ws, absolute, &x, &y), 1);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(7, 9));

    // The wrong kind of lookup writes 0 and 0 and fails with its message.
    row = col = 5;
    EXPECT_EQ(ws_get_anchored_cell(ws, absolute, &row, &col), 0);
    EXPECT_EQ(last_message(), "This image is not anchored with cells.");
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(0, 0));
    x = y = 5;
    EXPECT_EQ(ws_get_absolute_coord(ws, one, &x, &y), 0);
    EXPECT_EQ(last_message(), "This image is not absolutely anchored.");
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0, 0));
    EXPECT_EQ(ws_get_absolute_coord(ws, 1000, &x, &y), 0);
    EXPECT_EQ(last_message(), "No such image id.");
    EXPECT_EQ(ws_image_anchor_type(ws, 1000), 0);

    ws_remove_absolute_image(ws, 7, 8);
    EXPECT_EQ(ws_image_num(ws), 2);
    ws_remove_absolute_image(ws, 7, 9);
    EXPECT_EQ(ws_image_num(ws), 1);
}

// The workbook keeps the pictures of all its sheets; one sheet's ids mean
// nothing on another.
TEST_F(sheet_objects, pictures_belong_to_their_sheet) {
    plover_worksheet_t* other = wb_add_worksheet(doc_get_workbook(doc), "Other");
    ASSERT_NE(other, nullptr);
    const int id = ws_add_cell_image(ws, picture.c_str(), 1, 1, 2, 2);
    ASSERT_GT(id, 0);
    EXPECT_EQ(ws_image_num(other), 0);
    EXPECT_EQ(ws_image_anchor_type(other, id), 0);
    EXPECT_EQ(ws_get_anchored_cell(other, id, nullptr, nullptr), 0);
    ws_delete_image(other, id);
    EXPECT_EQ(last_message(), "No such image id.");
    ws_remove_image(other, 1, 1);
    EXPECT_EQ(ws_image_anchor_type(ws, id), 3);
}

TEST_F(sheet_objects, used_area_and_merges) {
    int row = -1, col = -1;
    EXPECT_EQ(ws_first_data_cell(ws, &row, &col), 0);
    EXPECT_EQ(ws_last_data_cell(ws, &row, &col), 0);
    EXPECT_EQ(row, -1);
    ASSERT_EQ(ws_set_num(ws, 5, 1, 1.0), 1);
    ASSERT_EQ(ws_set_text(ws, 2, 3, "x"), 1);
    ASSERT_EQ(ws_first_data_cell(ws, &row, &col), 1);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(2, 1));
    ASSERT_EQ(ws_last_data_cell(ws, &row, &col), 1);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(5, 3));
    EXPECT_EQ(ws_last_data_cell(ws, nullptr, nullptr), 1);

    EXPECT_EQ(ws_merged_num(ws), 0);
    ASSERT_EQ(ws_merge(ws, 3, 3, 1, 1), 1);
    EXPECT_EQ(ws_merged_num(ws), 1);
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    ASSERT_EQ(ws_merged_range(ws, 0, &r1, &c1, &r2, &c2), 1);
    EXPECT_EQ(std::make_pair(r1, c1), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(r2, c2), std::make_pair(3, 3));
    EXPECT_EQ(ws_merged_range(ws, 1, &r1, &c1, &r2, &c2), 0);
    EXPECT_EQ(last_message(), "Index out of range.");
    EXPECT_EQ(ws_merge(ws, 0, 1, 2, 2), 0);
    EXPECT_NE(last_message().find("is invalid."), std::string::npos) << last_message();

    // Whole rows move the merge; a shift that would cut it is refused.
    EXPECT_EQ(ws_shift_range_down(ws, 2, 5, 2, 1), 0);
    EXPECT_EQ(last_message(), "This operation will cause some merged cells to unmerge.");
    ASSERT_EQ(ws_insert_row(ws, 1, 1), 1);
    ASSERT_EQ(ws_merged_range(ws, 0, &r1, &c1, &r2, &c2), 1);
    EXPECT_EQ(r1, 2);
    EXPECT_EQ(r2, 4);
    EXPECT_EQ(ws_unmerge(ws, 3, 2), 1);
    EXPECT_EQ(ws_unmerge(ws, 2, 2), 0);
    EXPECT_EQ(ws_unmerge(ws, 0, 0), 0);
    EXPECT_EQ(ws_merged_num(ws), 0);
}

TEST_F(sheet_objects, protection_password_rule) {
    EXPECT_EQ(ws_protect(ws, 4095, "with space"), 0);
    EXPECT_EQ(last_message(),
              "The password contains illegal characters.\n"
              "Use strong passwords that combine uppercase and lowercase letters, numbers, and symbols.");
    for (const char* refused : {"a`b", "tilde~", "\xC3\xA9t\xC3\xA9", "tab\there"})
        EXPECT_EQ(ws_protect(ws, 0, refused), 0) << refused;
    EXPECT_EQ(ws_is_protected(ws), 0);
    ASSERT_EQ(ws_protect(ws, 0, "{Az09!/:@[_}"), 1);
    EXPECT_EQ(ws_is_protected(ws), 1);
    ws_unprotect(ws);
    ASSERT_EQ(ws_protect(ws, 0, nullptr), 1);
    ws_unprotect(ws);
    ws_unprotect(ws);
    EXPECT_EQ(ws_is_protected(ws), 0);
}

TEST_F(sheet_objects, editable_ranges_and_range_protection) {
    ASSERT_EQ(ws_set_editable_range(ws, 4, 4, 2, 2), 1);
    ASSERT_EQ(ws_set_editable_range(ws, 5, 1, 6, 1), 1);
    EXPECT_EQ(ws_is_protected(ws), 1);
    EXPECT_EQ(ws_editable_range_count(ws), 2);
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    EXPECT_STREQ(ws_get_editable_range(ws, 0, &r1, &c1, &r2, &c2), "Range 1");
    EXPECT_EQ(std::make_pair(r1, c1), std::make_pair(2, 2));
    EXPECT_EQ(std::make_pair(r2, c2), std::make_pair(4, 4));
    EXPECT_STREQ(ws_get_editable_range(ws, 1, nullptr, nullptr, nullptr, nullptr), "Range 2");
    EXPECT_EQ(ws_get_editable_range(ws, 2, &r1, &c1, &r2, &c2), nullptr);
    EXPECT_EQ(last_message(), "Index out of range.");
    EXPECT_EQ(ws_delete_editable_range(ws, -1), 0);
    EXPECT_EQ(last_message(), "Index out of range.");
    ASSERT_EQ(ws_delete_editable_range(ws, 0), 1);
    ASSERT_EQ(ws_set_editable_range(ws, 1, 1, 1, 1), 1);
    EXPECT_STREQ(ws_get_editable_range(ws, 1, nullptr, nullptr, nullptr, nullptr), "Range 3");
    EXPECT_EQ(ws_set_editable_range(ws, 0, 1, 1, 1), 0);
    EXPECT_EQ(last_message(), "The range is invalid.");

    ws_unprotect(ws);
    ASSERT_EQ(ws_protect_range(ws, 3, 3, 1, 1), 1);
    EXPECT_EQ(ws_is_protected(ws), 1);
    EXPECT_EQ(ws_protect_range(ws, 1, 1, 1, 16385), 0);
    EXPECT_EQ(last_message(), "The range is invalid.");
}

TEST_F(sheet_objects, outlines_and_summary_flags) {
    EXPECT_EQ(ws_group_summary_below(ws), 1);
    EXPECT_EQ(ws_group_summary_right(ws), 1);
    ws_set_group_summary_below(ws, 0);
    ws_set_group_summary_right(ws, 0);
    EXPECT_EQ(ws_group_summary_below(ws), 0);
    EXPECT_EQ(ws_group_summary_right(ws), 0);

    for (int i = 0; i < 8; ++i) ws_group_rows(ws, 5, 7, 0);
    EXPECT_EQ(ws_max_row_outline_level(ws), 8);
    ws_group_rows(ws, 7, 5, 0);
    EXPECT_EQ(last_message(), "The highest level of the outline is 8.");
    EXPECT_EQ(ws_max_row_outline_level(ws), 8);
    int collapsed = -1;
    EXPECT_EQ(ws_row_outline_level(ws, 6, &collapsed), 8);
    EXPECT_EQ(collapsed, 0);
    EXPECT_EQ(ws_row_outline_level(ws, 8, nullptr), 0);
    EXPECT_EQ(ws_row_outline_level(ws, 0, nullptr), -1);
    ws_ungroup_rows(ws, 5, 5);
    EXPECT_EQ(ws_row_outline_level(ws, 5, nullptr), 7);
    ws_delete_row_outline(ws);
    EXPECT_EQ(ws_max_row_outline_level(ws), 0);

    ws_group_cols(ws, 2, 3, 1);
    EXPECT_EQ(ws_col_outline_level(ws, 3, &collapsed), 1);
    EXPECT_EQ(collapsed, 1);
    EXPECT_EQ(ws_max_col_outline_level(ws), 1);
    // Whole columns inserted before the group move it.
    ASSERT_EQ(ws_insert_col(ws, 1, 2), 1);
    EXPECT_EQ(ws_col_outline_level(ws, 5, nullptr), 1);
    EXPECT_EQ(ws_col_outline_level(ws, 2, nullptr), 0);
    ws_ungroup_cols(ws, 4, 5);
    EXPECT_EQ(ws_max_col_outline_level(ws), 0);
    ws_group_cols(ws, 1, 1, 0);
    ws_delete_col_outline(ws);
    EXPECT_EQ(ws_max_col_outline_level(ws), 0);
    // A span leaving the sheet changes nothing.
    ws_group_cols(ws, 1, 16385, 0);
    EXPECT_EQ(ws_max_col_outline_level(ws), 0);
}

namespace {

// Corners as "r1,c1:r2,c2" in index order.
std::vector<std::string> merges_by_index(plover_worksheet_t* ws) {
    std::vector<std::string> out;
    for (int i = 0, n = ws_merged_num(ws); i < n; ++i) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        if (ws_merged_range(ws, i, &r1, &c1, &r2, &c2) != 1) return {"index " + std::to_string(i) + " failed"};
        out.push_back(std::to_string(r1) + "," + std::to_string(c1) + ":" + std::to_string(r2) + "," +
                      std::to_string(c2));
    }
    return out;
}

} // namespace

// 2,000 merged ranges through every kind of shift (the 1,578th crashed a row
// insert), read by index after each, saved and loaded back, then unmerged.
TEST_F(sheet_objects, thousands_of_merges_follow_shifts_save_and_unmerge) {
    constexpr int n = 2000;
    for (int i = 0; i < n; ++i) ASSERT_EQ(ws_merge(ws, 2 * i + 2, 3, 2 * i + 2, 4), 1) << i;
    ASSERT_EQ(ws_insert_row(ws, 1, 2), 1) << last_message();
    ASSERT_EQ(ws_delete_row(ws, 1, 1), 1) << last_message();
    ASSERT_EQ(ws_insert_col(ws, 1, 3), 1) << last_message();
    ASSERT_EQ(ws_delete_col(ws, 1, 1), 1) << last_message();
    ASSERT_EQ(ws_shift_range_down(ws, 1, 8, 1, 1), 1) << last_message();
    ASSERT_EQ(ws_shift_range_up(ws, 1, 8, 2, 1), 1) << last_message();
    ASSERT_EQ(ws_shift_range_right(ws, 1, 2 * n + 10, 1, 1), 1) << last_message();
    ASSERT_EQ(ws_shift_range_left(ws, 1, 2 * n + 10, 2, 1), 1) << last_message();
    // Rows moved by one, columns by two.
    std::vector<std::string> got = merges_by_index(ws);
    ASSERT_EQ(got.size(), size_t(n));
    std::vector<std::string> want;
    for (int i = 0; i < n; ++i)
        want.push_back(std::to_string(2 * i + 3) + ",5:" + std::to_string(2 * i + 3) + ",6");
    std::sort(got.begin(), got.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);
    for (int r = 1; r <= 40; ++r) ws_set_custom_row_height(ws, r, r, r % 2 ? 21.0 : 15.0, 0);

    const std::string path = (dir / "merges.xlsx").string();
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << last_message();
    const std::string copy = (dir / "copy.xlsx").string();  // the document holds its own path
    fs::copy_file(path, copy);
    plover_document_t* back = doc_load(copy.c_str());
    ASSERT_NE(back, nullptr) << last_message();
    plover_worksheet_t* loaded = wb_get_sheet(doc_get_workbook(back), 0);
    std::vector<std::string> reloaded = merges_by_index(loaded);
    std::sort(reloaded.begin(), reloaded.end());
    EXPECT_EQ(reloaded, want);
    for (int r = 1; r <= 40; ++r) {
        double h = 0;
        ASSERT_EQ(ws_get_custom_row_height(loaded, r, r, &h, 0), 1) << r;
        EXPECT_EQ(h, r % 2 ? 21.0 : 15.0) << r;
    }
    ASSERT_EQ(ws_insert_row(loaded, 1, 1), 1) << last_message();
    for (int i = 0; i < n; ++i) ASSERT_EQ(ws_unmerge(loaded, 2 * i + 4, 6), 1) << i;
    EXPECT_EQ(ws_merged_num(loaded), 0);
    doc_release(back);
}
