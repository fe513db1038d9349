// Rich texts as a host builds them, segment by segment.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <string>

using api_test::book_t;

namespace {

std::string segments(plover_richtext_t* rt) {
    std::string out;
    for (int i = 0; i < rt_segments_num(rt); ++i) out += std::string(rt_text(rt, i, nullptr)) + "|";
    return out;
}

} // namespace

TEST(richtext, segments_are_added_inserted_changed_and_removed) {
    book_t b;
    plover_richtext_t* rt = wb_make_richtext(b.wb);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(rt_segments_num(rt), 0);
    EXPECT_EQ(rt_plain_text(rt), nullptr);
    EXPECT_EQ(rt_text(rt, 0, nullptr), nullptr);

    rt_append(rt, "ab", nullptr);
    rt_append(rt, " cd", nullptr);
    rt_append(rt, nullptr, nullptr);
    rt_append(rt, "", nullptr);
    EXPECT_EQ(rt_segments_num(rt), 2);
    EXPECT_STREQ(rt_plain_text(rt), "ab cd");

    rt_insert(rt, 0, "<", nullptr);
    rt_insert(rt, 100, ">", nullptr);
    rt_insert(rt, -1, "!", nullptr);
    EXPECT_EQ(segments(rt), "<|ab| cd|>|!|");

    for (int bad : {5, -1}) {
        a1_to_row_col("1", nullptr, nullptr);  // some other message first
        rt_remove(rt, bad);
        EXPECT_STREQ(run_msg(), "Sequence number error.") << bad;
        a1_to_row_col("1", nullptr, nullptr);
        rt_modify(rt, bad, "x", nullptr);
        EXPECT_STREQ(run_msg(), "Sequence number error.") << bad;
        a1_to_row_col("1", nullptr, nullptr);
        EXPECT_EQ(rt_text(rt, bad, nullptr), nullptr);
        EXPECT_STREQ(run_msg(), "Sequence number error.") << bad;
    }
    EXPECT_EQ(segments(rt), "<|ab| cd|>|!|");

    rt_modify(rt, 4, "?", nullptr);
    rt_modify(rt, 3, "", nullptr);
    rt_remove(rt, 0);
    EXPECT_EQ(segments(rt), "ab| cd|>|?|");
    rt_remove(rt, 3);
    rt_remove(rt, 2);
    rt_remove(rt, 1);
    EXPECT_EQ(segments(rt), "ab|");
    rt_release(rt);
}

TEST(richtext, a_segments_font_comes_back_on_a_style_handle) {
    book_t b;
    ASSERT_NE(wb_add_worksheet(b.wb, "Data"), nullptr);
    plover_style_t* normal = wb_make_normal_style(b.wb);
    ASSERT_NE(normal, nullptr);
    plover_richtext_t* rt = wb_make_richtext(b.wb);
    rt_append(rt, "plain", nullptr);
    rt_append(rt, " styled", normal);

    plover_style_t* style = nullptr;
    EXPECT_STREQ(rt_text(rt, 1, &style), " styled");
    EXPECT_NE(style, nullptr);
    EXPECT_NE(style, normal);
    plover_style_t* untouched = normal;
    EXPECT_EQ(rt_text(rt, 7, &untouched), nullptr);
    EXPECT_EQ(untouched, normal);
    style_release(style);
}

TEST(richtext, a_text_needs_no_sheet_but_its_style_does) {
    book_t b;
    plover_richtext_t* rt = wb_make_richtext(b.wb);
    rt_append(rt, "x", nullptr);
    EXPECT_STREQ(rt_text(rt, 0, nullptr), "x");
    plover_style_t* style = nullptr;
    EXPECT_EQ(rt_text(rt, 0, &style), nullptr);
    EXPECT_STREQ(run_msg(), "At least one worksheet is required, please add a worksheet first.");
    EXPECT_EQ(style, nullptr);
}
