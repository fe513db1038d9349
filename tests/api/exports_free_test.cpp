// The free exports as a host sees them: through the shared library and its header.
#include "plover.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

void set_marker() {
    // A failing conversion leaves a known message that later calls must not touch.
    to_ansi_string("\xFF", nullptr);
    ASSERT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

} // namespace

TEST(a1_to_row_col, parses_and_refuses) {
    int row = -1, col = -1;
    EXPECT_EQ(a1_to_row_col(nullptr, &row, &col), 1);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(col, 0);

    EXPECT_EQ(a1_to_row_col("A1", &row, &col), 1);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(a1_to_row_col("xfd1048576", &row, &col), 1);
    EXPECT_EQ(row, 1048576);
    EXPECT_EQ(col, 16384);
    EXPECT_EQ(a1_to_row_col("B2", nullptr, nullptr), 1);

    EXPECT_EQ(a1_to_row_col("A", &row, &col), 0);
    EXPECT_STREQ(run_msg(), "Wrong row identifier: A");
    EXPECT_EQ(a1_to_row_col("1", &row, &col), 0);
    EXPECT_STREQ(run_msg(), "Wrong cell reference: 1");
    EXPECT_EQ(a1_to_row_col("A99999999999", &row, &col), 0);
    EXPECT_STREQ(run_msg(), "stoi argument out of range");

    set_marker();
    row = col = 7;
    for (const char* outside : {"A0", "A1048577", "XFE1", "CRXQ1", "ZZZZZZZZZZZZ1"})
        EXPECT_EQ(a1_to_row_col(outside, &row, &col), 0) << outside;
    EXPECT_EQ(row, 7);
    EXPECT_EQ(col, 7);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

TEST(a1_to_row_col, wide_text) {
    int row = 0, col = 0;
    EXPECT_EQ(wide_a1_to_row_col(u"AB12", &row, &col), 1);
    EXPECT_EQ(row, 12);
    EXPECT_EQ(col, 28);
    EXPECT_EQ(wide_a1_to_row_col(nullptr, &row, &col), 1);
    EXPECT_EQ(row, 0);
    const char16_t lone[] = {u'A', 0xD800, u'1', 0};
    EXPECT_EQ(wide_a1_to_row_col(lone, &row, &col), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from wide string");
    EXPECT_EQ(wide_a1_to_row_col(u"", &row, &col), 0);
    EXPECT_STREQ(run_msg(), "Wrong cell reference: ");
}

TEST(row_col_to_a1, writes_text_and_length) {
    char buf[16] = "xxxxxxxxxxxxxxx";
    EXPECT_EQ(row_col_to_a1(1, 1, buf), 2);
    EXPECT_STREQ(buf, "A1");
    EXPECT_EQ(row_col_to_a1(1048576, 16384, nullptr), 10);
    EXPECT_EQ(row_col_to_a1(1048576, 16384, buf), 10);
    EXPECT_STREQ(buf, "XFD1048576");
    EXPECT_EQ(row_col_to_a1(1048577, 1, buf), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(row_col_to_a1(1, 16385, nullptr), 0);
    EXPECT_EQ(row_col_to_a1(0, 0, nullptr), 0);
}

TEST(text_conversions, wide_lengths_and_nuls) {
    char16_t buf[16];
    buf[0] = u'x';
    EXPECT_EQ(to_wide_string("", buf), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(to_wide_string(nullptr, buf), 0xFFFFFFFFu);
    EXPECT_EQ(to_wide_string("\xF0\x9F\x98\x80" "a", nullptr), 3u);  // a surrogate pair and one unit
    EXPECT_EQ(to_wide_string("\xC3\xA9t\xC3\xA9", buf), 3u);
    EXPECT_EQ(std::u16string(buf), u"\u00e9t\u00e9");

    EXPECT_EQ(to_wide_string("ok\xC3", buf), 0xFFFFFFFFu);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

TEST(text_conversions, ansi_follows_the_process_locale) {
    char buf[16];
    EXPECT_EQ(to_ansi_string("plain", buf), 5u);
    EXPECT_STREQ(buf, "plain");
    EXPECT_EQ(to_ansi_string("", buf), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(to_ansi_string(nullptr, buf), 0xFFFFFFFFu);
    // The "C" locale holds ASCII only.
    EXPECT_EQ(to_ansi_string("caf\xC3\xA9", buf), 4u);
    EXPECT_STREQ(buf, "caf?");
    EXPECT_EQ(to_ansi_string("\xC0\x80", buf), 0xFFFFFFFFu);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

TEST(colours, packing) {
    const unsigned argb = encode_argb(1, 2, 3, 4);
    EXPECT_EQ(argb, 0x04010203u);
    EXPECT_EQ(encode_rgb(1, 2, 3), 0x010203u);
    EXPECT_EQ(encode_rgb(256, 0, 0), 0x01000000u);  // not masked
    int r = 0, g = 0, b = 0, a = 0;
    decode_argb(argb, &r, &g, &b, &a);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 2);
    EXPECT_EQ(b, 3);
    EXPECT_EQ(a, 4);
    decode_rgb(0xFFFFFFFFu, &r, nullptr, &b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(b, 255);
    decode_argb(0x80000000u, nullptr, nullptr, nullptr, &a);
    EXPECT_EQ(a, 128);
}

TEST(status, run_msg_survives_other_threads) {
    set_marker();
    const char* mine = run_msg();
    std::thread([] { a1_to_row_col("1", nullptr, nullptr); }).join();
    EXPECT_STREQ(mine, "Failed to convert from ANSI string");  // this thread's copy is intact
    EXPECT_STREQ(run_msg(), "Wrong cell reference: 1");
}
