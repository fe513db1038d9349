#include "unicode.h"

#include "what_of.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vex;

TEST(unicode, host_text_is_strict_utf8) {
    std::string out = "old";
    EXPECT_TRUE(from_ansi_string("", out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(from_ansi_string("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80");

    for (const char* bad : {"\xFF", "a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_FALSE(from_ansi_string(bad, out)) << bad;
    EXPECT_EQ(what_of<std::runtime_error>([] { checked_host_text("\xC3"); }), "Failed to convert from ANSI string");
    EXPECT_EQ(checked_host_text(nullptr), "");
}

TEST(unicode, wide_round_trip_and_surrogates) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::u16string wide = utf8_to_wide(text);
    EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    std::string back;
    ASSERT_TRUE(wide_to_utf8(back, wide.data(), wide.size()));
    EXPECT_EQ(back, text);

    back = "untouched";
    const char16_t lone_high[] = {u'a', 0xD83D};
    EXPECT_FALSE(wide_to_utf8(back, lone_high, 2));
    const char16_t lone_low[] = {0xDE00, u'a'};
    EXPECT_FALSE(wide_to_utf8(back, lone_low, 2));
    EXPECT_EQ(back, "untouched");

    EXPECT_THROW(utf8_to_wide("\xE2\x82"), std::runtime_error);
    EXPECT_TRUE(utf8_to_wide("").empty());
}

TEST(unicode, code_page_of_the_locale) {
    // The test process runs in the "C" locale: plain ASCII, anything else is '?'.
    EXPECT_EQ(utf8_to_codepage("abc", system_code_page), "abc");
    EXPECT_EQ(utf8_to_codepage("a\xC3\xA9z\xF0\x9F\x98\x80", system_code_page), "a?z?");
    EXPECT_EQ(utf8_to_codepage("a\xC3\xA9", 65001), "a\xC3\xA9");
    EXPECT_THROW(utf8_to_codepage("\xFF", system_code_page), std::runtime_error);
}

TEST(unicode, case_blind_comparison_in_every_script) {
    const std::pair<const char*, const char*> same[] = {
        {"Sheet", "sHEET"}, {"ÉTÉ", "été"}, {"ΣΊΣΥΦΟΣ", "σίσυφος"}, {"ΣΊΣΥΦΟΣ", "σίσυφοσ"}, {"МОСКВА", "москва"},
        {"ĀĒĪ", "āēī"}, {"ǅ", "ǆ"}, {"Ǆ", "ǆ"}, {"ẞ", "ß"}, {"ԱՐԱ", "արա"}, {"ＡＢ", "ａｂ"}, {"𐐀", "𐐨"}, {"", ""}};
    for (const auto& [a, b] : same) EXPECT_TRUE(utf8_iequals(a, b)) << a << " / " << b;
    const std::pair<const char*, const char*> differ[] = {
        {"été", "ete"}, {"ß", "ss"}, {"a", "ab"}, {"ĀĒ", "āē ī"}, {"Ꭰ", "ꭰx"}, {"\xC3", "\xC3\xA9"}};
    for (const auto& [a, b] : differ) EXPECT_FALSE(utf8_iequals(a, b)) << a << " / " << b;
    // Malformed text compares by ASCII case alone.
    EXPECT_TRUE(utf8_iequals("A\xFF", "a\xFF"));
}
