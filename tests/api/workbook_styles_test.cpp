// Named styles and rich-text handles as a host gets them from a workbook.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* no_sheet = "At least one worksheet is required, please add a worksheet first.";
constexpr const char* empty_name = "The name of style cannot be empty.";
constexpr const char* null_style = "Style pointer cannot be empty.";

using api_test::book_t;

} // namespace

TEST(workbook_styles, a_book_without_sheets_refuses_styles) {
    book_t b;
    EXPECT_EQ(wb_get_named_style(b.wb, "normal"), nullptr);
    EXPECT_STREQ(run_msg(), no_sheet);
    EXPECT_EQ(wb_make_normal_style(b.wb), nullptr);
    EXPECT_STREQ(run_msg(), no_sheet);
    EXPECT_EQ(wb_modify_named_style(b.wb, "normal", nullptr), 0);
    EXPECT_STREQ(run_msg(), no_sheet);
    // The name and pointer checks come first for these two.
    EXPECT_EQ(wb_get_named_style(b.wb, ""), nullptr);
    EXPECT_STREQ(run_msg(), empty_name);
    EXPECT_EQ(wb_add_custom_style(b.wb, "mine", nullptr), nullptr);
    EXPECT_STREQ(run_msg(), null_style);
    // A rich text needs no sheet.
    plover_richtext_t* rt = wb_make_richtext(b.wb);
    ASSERT_NE(rt, nullptr);
    rt_release(rt);
}

TEST(workbook_styles, named_styles_give_new_handles_each_time) {
    book_t b;
    ASSERT_NE(wb_add_worksheet(b.wb, nullptr), nullptr);
    plover_style_t* normal = wb_make_normal_style(b.wb);
    ASSERT_NE(normal, nullptr);
    plover_style_t* again = wb_get_named_style(b.wb, "normal");
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, normal);
    EXPECT_NE(wb_get_named_style(b.wb, "comma"), nullptr);
    // An unknown name gives nothing and says so.
    a1_to_row_col("1", nullptr, nullptr);
    EXPECT_EQ(wb_get_named_style(b.wb, "Sheet1"), nullptr);
    EXPECT_STREQ(run_msg(), "No style named Sheet1.");

    plover_style_t* mine = wb_add_custom_style(b.wb, "mine", normal);
    ASSERT_NE(mine, nullptr);
    plover_style_t* found = wb_get_named_style(b.wb, "mine");
    ASSERT_NE(found, nullptr);
    EXPECT_NE(found, mine);
    EXPECT_EQ(wb_add_custom_style(b.wb, "mine", normal), nullptr);
    EXPECT_STREQ(run_msg(), "mtads error: Duplicate style name: mine");
    EXPECT_EQ(wb_add_custom_style(b.wb, "comma", normal), nullptr);
    EXPECT_STREQ(run_msg(), "mtads error: Duplicate style name: comma");
    EXPECT_EQ(wb_add_custom_style(b.wb, nullptr, normal), nullptr);
    EXPECT_STREQ(run_msg(), empty_name);
    EXPECT_EQ(wb_add_custom_style(b.wb, "bad \xC3(", normal), nullptr);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");

    EXPECT_EQ(wb_modify_named_style(b.wb, "mine", found), 1);
    EXPECT_EQ(wb_modify_named_style(b.wb, "mine", nullptr), 0);
    EXPECT_STREQ(run_msg(), null_style);
    EXPECT_EQ(wb_modify_named_style(b.wb, "", found), 0);
    EXPECT_STREQ(run_msg(), empty_name);
    EXPECT_EQ(wb_modify_named_style(b.wb, "nobody", found), 0);
    EXPECT_STREQ(run_msg(), "No style named nobody.");

    // Released handles go now, the others with the workbook.
    style_release(again);
    style_release(found);
    rt_release(wb_make_richtext(b.wb));
    wb_make_richtext(b.wb);
}

TEST(workbook_styles, styles_survive_the_first_sheet_going) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    plover_style_t* normal = wb_make_normal_style(b.wb);
    ASSERT_NE(wb_add_custom_style(b.wb, "mine", normal), nullptr);
    wb_shift_sheet(b.wb, 0, 1);
    wb_delete_sheet(b.wb, 0);
    EXPECT_NE(wb_get_named_style(b.wb, "mine"), nullptr);
    wb_delete_sheet(b.wb, 0);
    EXPECT_EQ(wb_get_named_style(b.wb, "mine"), nullptr);
    EXPECT_STREQ(run_msg(), no_sheet);
}

// Style names are matched in any ASCII case, also in a book the library saved,
// which holds the normal style as "normal".
TEST(workbook_styles, named_styles_are_found_in_any_case) {
    api_test::scratch_dir dir;
    const std::string path = dir / "styles.xlsx";
    {
        book_t b;
        wb_add_worksheet(b.wb, "Sheet1");
        ASSERT_NE(wb_add_custom_style(b.wb, "StyleA", wb_make_normal_style(b.wb)), nullptr) << run_msg();
        ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
    }
    plover_document_t* doc = doc_load(path.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_workbook_t* wb = doc_get_workbook(doc);
    for (const char* name : {"Normal", "NORMAL", "stylea", "Good"})
        EXPECT_NE(wb_get_named_style(wb, name), nullptr) << name << ": " << run_msg();
    // "Normal" is the normal style itself: a cell without a style shows it.
    plover_style_t* st = wb_make_normal_style(wb);
    style_set_italic(st, 1);
    EXPECT_EQ(wb_modify_named_style(wb, "Normal", st), 1) << run_msg();
    EXPECT_EQ(style_italic(ws_cell_style(wb_get_sheet(wb, 0), 2, 2)), 1);
    doc_release(doc);
}
