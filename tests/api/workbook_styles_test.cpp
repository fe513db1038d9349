// Named styles and rich-text handles as a host gets them from a workbook.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* no_sheet = "At least one worksheet is required, please add a worksheet first.";
constexpr const char* empty_name = "The name of style cannot be empty.";
constexpr const char* null_style = "Style pointer cannot be empty.";

using api_test::book_t;

// One call on a workbook with the bold style st: whether it succeeds, and the
// message a failure leaves.
struct style_call_t {
    std::string call;
    std::function<bool(plover_workbook_t*, plover_style_t*)> done;
    std::string message;  // empty: the call succeeds
};

style_call_t found(const char* name) {
    return {std::string("get_named_style ") + name,
            [name](plover_workbook_t* wb, plover_style_t*) { return wb_get_named_style(wb, name) != nullptr; },
            {}};
}

style_call_t not_found(const char* name) {
    return {std::string("get_named_style ") + name,
            [name](plover_workbook_t* wb, plover_style_t*) { return wb_get_named_style(wb, name) != nullptr; },
            std::string("No style named ") + name + "."};
}

style_call_t added(const char* name, std::string message = {}) {
    return {std::string("add_custom_style ") + name,
            [name](plover_workbook_t* wb, plover_style_t* st) { return wb_add_custom_style(wb, name, st) != nullptr; },
            std::move(message)};
}

style_call_t modified(const char* name, std::string message = {}) {
    return {std::string("modify_named_style ") + name,
            [name](plover_workbook_t* wb, plover_style_t* st) { return wb_modify_named_style(wb, name, st) == 1; },
            std::move(message)};
}

void expect_calls(plover_workbook_t* wb, plover_style_t* st, const std::vector<style_call_t>& rows) {
    for (const style_call_t& r : rows) {
        SCOPED_TRACE(r.call);
        a1_to_row_col("1", nullptr, nullptr);  // a message no call gives
        EXPECT_EQ(r.done(wb, st), r.message.empty()) << run_msg();
        if (!r.message.empty()) {
            EXPECT_EQ(run_msg(), r.message);
        }
    }
}

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

// Style names are matched in any ASCII case, on a new book and on the copy it
// saved, where "normal" is written as it is kept.
TEST(workbook_styles, named_styles_are_found_in_any_case) {
    api_test::scratch_dir dir;
    const std::string path = dir / "styles.xlsx";
    {
        book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Sheet1");
        plover_style_t* st = wb_make_normal_style(b.wb);
        style_set_bold(st, 1);
        expect_calls(b.wb, st, {
            added("StyleA"), added("StyleB"), modified("good"), modified("bad"),
            found("STYLEA"), found("styleb"), found("Good"), found("Normal"), found("NORMAL"), found("normal"),
            not_found("Hyperlink"), not_found("StyleC"),
            added("styleb", "mtads error: Duplicate style name: styleb"),
            modified("Nobody", "No style named Nobody."),
        });
        ws_set_text(ws, 1, 1, "x");
        ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
    }
    plover_document_t* doc = doc_load(path.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_style_t* st = wb_get_named_style(wb, "StyleB");
    ASSERT_NE(st, nullptr) << run_msg();
    EXPECT_EQ(style_bold(st), 1);
    style_set_italic(st, 1);
    expect_calls(wb, st, {
        found("Normal"), found("normal"), found("NORMAL"), found("Good"), found("BAD"), found("stylea"),
        not_found("Hyperlink"),
        added("NORMAL", "mtads error: Duplicate style name: NORMAL"),
        modified("Normal"), modified("BAD"),
    });
    // "Normal" is the normal style itself: the default look changed.
    plover_style_t* normal = wb_make_normal_style(wb);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(style_italic(normal), 1);
    EXPECT_EQ(style_italic(wb_get_named_style(wb, "bad")), 1);
    EXPECT_EQ(style_italic(wb_get_named_style(wb, "StyleA")), 0);
    doc_release(doc);
}
