// The worktable handle's rich-text, formula and style slots over the sheet's
// cell store, and the workbook's one slot for handed-out rich texts.
#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/richtext_impl.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "plover.h"
#include "run_message.h"
#include "tests/heap_in_use.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string last_message() { return vex::get_run_message().str(); }
void set_marker() { vex::set_run_message("marker"); }

vex::mta::richtext_t two_runs(std::string first, std::string second) {
    vex::mta::font_t bold;
    bold.bold = 1;
    return vex::mta::richtext_t(std::vector<vex::mta::richtext_segment_t>{{0, std::move(first), {}},
                                                                          {0, std::move(second), bold}});
}

struct book_fixture {
    plover_document_t* doc = doc_create();
    vex::iWorkbook_impl* wb = static_cast<vex::iWorkbook_impl*>(doc_get_workbook(doc));
    vex::iWorktable_impl* wt = static_cast<vex::iWorksheet_impl*>(wb->add_worksheet("Data"))->worktable();
    book_fixture() = default;
    book_fixture(const book_fixture&) = delete;
    book_fixture& operator=(const book_fixture&) = delete;
    ~book_fixture() { doc_release(doc); }

    // A cell holding `text`, set through a handle the workbook owns.
    void set_rich(int row, int col, const vex::mta::richtext_t& text) {
        vex::iRichtext_impl handle(wb, text.segments());
        ASSERT_TRUE(wt->set_richtext(row, col, &handle));
    }
};

} // namespace

TEST(worktable_richtext, a_rich_cell_is_copied_into_the_workbooks_slot) {
    book_fixture b;
    b.set_rich(2, 3, two_runs("ab", "cd"));
    EXPECT_TRUE(b.wt->contains_richtext(2, 3));
    EXPECT_FALSE(b.wt->contains_richtext(2, 4));
    EXPECT_FALSE(b.wt->contains_richtext(0, 4));
    EXPECT_STREQ(b.wt->get_text(2, 3), "abcd");

    auto* got = dynamic_cast<vex::iRichtext_impl*>(b.wt->get_richtext(2, 3));
    ASSERT_NE(got, nullptr);
    EXPECT_TRUE(got->value() == two_runs("ab", "cd"));
    EXPECT_EQ(got->owner(), b.wb);

    set_marker();
    EXPECT_EQ(b.wt->get_richtext(2, 4), nullptr);
    EXPECT_EQ(last_message(), "The cell does not contain a rich text.");
    set_marker();
    EXPECT_EQ(b.wt->get_richtext(0, 4), nullptr);
    EXPECT_EQ(last_message(), "marker");
    // The host's release of the slot's handle empties it and frees nothing.
    got->release();
    EXPECT_EQ(got->value().segments_num(), 0u);
}

TEST(worktable_richtext, each_call_replaces_the_handle_of_the_one_before) {
    book_fixture b;
    b.set_rich(1, 1, two_runs("x", "y"));
    for (int i = 0; i < 20; ++i) ASSERT_NE(b.wt->get_richtext(1, 1), nullptr);
    const size_t before = heap_test::heap_in_use();
    for (unsigned i = 0; i < heap_test::memory_rounds; ++i) ASSERT_NE(b.wt->get_richtext(1, 1), nullptr);
    EXPECT_LT(heap_test::heap_in_use(), before + 4096);
}

TEST(worktable_richtext, a_handle_outlives_calls_on_other_documents) {
    book_fixture one, two;
    one.set_rich(1, 1, two_runs("one", "1"));
    two.set_rich(1, 1, two_runs("two", "2"));
    auto* first = dynamic_cast<vex::iRichtext_impl*>(one.wt->get_richtext(1, 1));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(two.wt->get_richtext(1, 1), nullptr);
    EXPECT_TRUE(first->value() == two_runs("one", "1"));
}

TEST(worktable_richtext, set_richtext_refuses_what_it_cannot_store) {
    book_fixture b;
    ASSERT_TRUE(b.wt->set_num(1, 1, 5));
    set_marker();
    EXPECT_FALSE(b.wt->set_richtext(1, 1, nullptr));
    EXPECT_EQ(last_message(), "Rich text cannot be empty.");
    vex::iRichtext_impl handle(b.wb, two_runs("a", "b").segments());
    EXPECT_FALSE(b.wt->set_richtext(1, 16385, &handle));
    EXPECT_EQ(last_message(), "Illegal row or column number.");
    EXPECT_EQ(b.wt->get_num(1, 1), 5.0);
    // The cell takes a copy: later edits of the handle leave it alone.
    ASSERT_TRUE(b.wt->set_richtext(1, 1, &handle));
    handle.release();
    EXPECT_STREQ(b.wt->get_text(1, 1), "ab");
}

TEST(worktable_styles, a_whole_column_range_becomes_a_column_style) {
    book_fixture b;
    auto* style = dynamic_cast<vex::iStyle_impl*>(b.wb->make_normal_style());
    ASSERT_NE(style, nullptr);
    style->set_italic(true);
    b.wt->set_range_style(1, 4, 1048576, 4, style);
    EXPECT_EQ(b.wt->sheet()->col_style(4).font().italic, 1);
    EXPECT_EQ(b.wt->sheet()->col_style(5).font().italic, 0);
    // No cell of the column was made for it.
    EXPECT_EQ(b.wt->sheet()->last_used_row(4, 4), 0);
}

TEST(worktable_styles, the_shared_handle_belongs_to_the_sheet_and_outlives_release) {
    book_fixture b;
    vex::iStyle* shared = b.wt->cell_style(1, 1);
    ASSERT_EQ(shared, b.wt->style());
    EXPECT_EQ(dynamic_cast<vex::iStyle_impl*>(shared)->owner(), b.wb);
    EXPECT_FALSE(b.wb->release_style(dynamic_cast<vex::iStyle_impl*>(shared)));
    set_marker();
    b.wt->set_cell_style(1, 1, nullptr);
    EXPECT_EQ(last_message(), "Style pointer cannot be empty.");
    // A position outside the sheet is the cell store's to refuse.
    vex::iStyle_impl mine(b.wb);
    mine.set_bold(true);
    b.wt->set_cell_style(0, 1, &mine);
    EXPECT_EQ(last_message(), "Invalid row or column.");
    // Reading there gives the default style.
    auto* outside = dynamic_cast<vex::iStyle_impl*>(b.wt->get_cell_style(0, 1));
    ASSERT_NE(outside, nullptr);
    EXPECT_FALSE(outside->bold());
}

TEST(worktable_formulas, formula_text_reaches_the_store_without_its_equals_sign) {
    book_fixture b;
    ASSERT_TRUE(b.wt->set_formula(3, 3, "  =1+2  "));
    EXPECT_STREQ(b.wt->get_formula_expr(3, 3), "1+2");
    EXPECT_TRUE(b.wt->contains_formula(3, 3));
    EXPECT_FALSE(b.wt->contains_formula(0, 3));
    // A value replaces the formula; the cached-result setters then refuse.
    ASSERT_TRUE(b.wt->set_num(3, 3, 1));
    EXPECT_FALSE(b.wt->contains_formula(3, 3));
    set_marker();
    EXPECT_FALSE(b.wt->set_formula_boolean(3, 3, true));
    EXPECT_EQ(last_message(), "This cell does not contain a formula.");
}

TEST(worktable_formulas, a_merged_cell_other_than_the_anchor_takes_no_formula) {
    book_fixture b;
    ASSERT_TRUE(b.wt->sheet()->merged_cells().merge({{0, 1, 1, 0, 0, 0}, {0, 1, 3, 0, 0, 0}}, false));
    set_marker();
    EXPECT_FALSE(b.wt->set_formula(1, 2, "1+1"));
    EXPECT_EQ(last_message(), "The cell has been merged and cannot set a value.");
    EXPECT_FALSE(b.wt->contains_formula(1, 2));
    ASSERT_TRUE(b.wt->set_formula(1, 1, "1+1"));
    EXPECT_STREQ(b.wt->get_formula_expr(1, 1), "1+1");
}
