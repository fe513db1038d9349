// The free exports as a host sees them: through the shared library and its header.
#include "plover.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>

namespace {

void set_marker() {
    // A failing conversion leaves a known message that later calls must not touch.
    to_ansi_string("\xFF", nullptr);
    ASSERT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

// The result, the row and the column of a parse; -1 marks what was not written.
std::array<int, 3> a1(const char* ref) {
    int row = -1, col = -1;
    const int ok = a1_to_row_col(ref, &row, &col);
    return {ok, row, col};
}

std::array<int, 3> wide_a1(const char16_t* ref) {
    int row = -1, col = -1;
    const int ok = wide_a1_to_row_col(ref, &row, &col);
    return {ok, row, col};
}

} // namespace

TEST(a1_to_row_col, parses_and_refuses) {
    EXPECT_EQ(a1(nullptr), (std::array{1, 0, 0}));
    EXPECT_EQ(a1("A1"), (std::array{1, 1, 1}));
    EXPECT_EQ(a1("xfd1048576"), (std::array{1, 1048576, 16384}));
    EXPECT_EQ(a1_to_row_col("B2", nullptr, nullptr), 1);

    EXPECT_EQ(a1("A")[0], 0);
    EXPECT_STREQ(run_msg(), "Wrong row identifier: A");
    EXPECT_EQ(a1("1")[0], 0);
    EXPECT_STREQ(run_msg(), "Wrong cell reference: 1");
    // A row that overflows keeps the conversion's own text, in either form.
    for (const char* huge : {"A99999999999", "$B$2147483648"}) {
        EXPECT_EQ(a1(huge), (std::array{0, -1, -1})) << huge;
        EXPECT_STREQ(run_msg(), "stoi argument out of range") << huge;
    }
    EXPECT_EQ(wide_a1(u"XFD99999999999"), (std::array{0, -1, -1}));
    EXPECT_STREQ(run_msg(), "stoi argument out of range");

    // One past each limit: refused, nothing written, the last message left alone.
    set_marker();
    for (const char* outside : {"A0", "A1048577", "XFE1", "CRXQ1", "ZZZZZZZZZZZZ1"})
        EXPECT_EQ(a1(outside), (std::array{0, -1, -1})) << outside;
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
}

TEST(a1_to_row_col, wide_text) {
    EXPECT_EQ(wide_a1(u"AB12"), (std::array{1, 12, 28}));
    EXPECT_EQ(wide_a1(nullptr), (std::array{1, 0, 0}));
    const char16_t lone[] = {u'A', 0xD800, u'1', 0};
    EXPECT_EQ(wide_a1(lone)[0], 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from wide string");
    EXPECT_EQ(wide_a1(u"")[0], 0);
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
}

TEST(colours, packing) {
    EXPECT_EQ(encode_argb(1, 2, 3, 4), 0x04010203u);
    EXPECT_EQ(encode_rgb(1, 2, 3), 0x010203u);
    EXPECT_EQ(encode_rgb(256, 0, 0), 0x01000000u);  // not masked
    std::array<int, 4> rgba{};
    decode_argb(0x04010203u, &rgba[0], &rgba[1], &rgba[2], &rgba[3]);
    EXPECT_EQ(rgba, (std::array{1, 2, 3, 4}));
    decode_rgb(0xFFFFFFFFu, &rgba[0], nullptr, &rgba[2]);
    decode_argb(0x80000000u, nullptr, nullptr, nullptr, &rgba[3]);
    EXPECT_EQ(rgba, (std::array{255, 2, 255, 128}));
}

TEST(status, run_msg_survives_other_threads) {
    set_marker();
    const char* mine = run_msg();
    std::thread([] { a1_to_row_col("1", nullptr, nullptr); }).join();
    EXPECT_STREQ(mine, "Failed to convert from ANSI string");  // this thread's copy is intact
    EXPECT_STREQ(run_msg(), "Wrong cell reference: 1");
}
