#include "text_utils.h"

#include "what_of.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

using namespace vex;

TEST(a1_parsing, columns_and_rows) {
    EXPECT_EQ(string_to_column("XFD1"), 16384);
    EXPECT_EQ(string_to_column("a1"), 1);
    EXPECT_EQ(string_to_column("AZ"), 52);
    EXPECT_EQ(what_of([] { string_to_column("1"); }), "Wrong cell reference: 1");
    EXPECT_EQ(string_to_row("B2x"), 2);
    EXPECT_EQ(string_to_row("$A$12"), 12);
    EXPECT_EQ(what_of([] { string_to_row("AB"); }), "Wrong row identifier: AB");
    EXPECT_EQ(what_of<std::out_of_range>([] { string_to_row("A99999999999"); }), "stoi argument out of range");

    coord_t c;
    string_to_coord("AB12", c);
    EXPECT_EQ(std::pair(c.row, c.col), std::pair(12, 28));
}

TEST(a1_parsing, long_column_letters_never_wrap) {
    // CRXQ is 65537: it must not come back as column 1.
    EXPECT_GT(string_to_column("CRXQ1"), 16384);
    EXPECT_GT(string_to_column("XFE1"), 16384);
    EXPECT_GT(string_to_column(std::string(200, 'Z').c_str()), 16384);
    range_t r;
    string_to_cell_range((std::string(50, 'Z') + std::string(40, '9')).c_str(), r);
    EXPECT_GT(r.first.col, 16384);
    EXPECT_GT(r.first.row, 1048576);
}

TEST(a1_parsing, cell_ranges) {
    range_t r;
    string_to_cell_range("B3", r);
    EXPECT_EQ(r.first, (coord_t{0, 3, 2, 0, 0, 0}));
    EXPECT_EQ(r.last, r.first);

    string_to_cell_range("B3:A1", r);  // kept in the given order
    EXPECT_EQ(std::tuple(r.first.row, r.last.row, r.last.col), std::tuple(3, 1, 1));
    string_to_cell_range("A1:$B$2", r);
    EXPECT_EQ(std::pair(r.last.row, r.last.col), std::pair(2, 2));

    string_to_cell_range("", r);
    EXPECT_EQ(r, range_t{});

    for (const std::string bad : {"$A$1", "B3 ", "Sheet1!A1"})
        EXPECT_EQ(what_of([&] { string_to_cell_range(bad.c_str(), r); }), "string_to_cell_range(): Wrong range string: " + bad);
    EXPECT_EQ(what_of([&] { string_to_cell_range("A:B", r); }), "Wrong row identifier: B");
    EXPECT_EQ(what_of([&] { string_to_cell_range("1:2", r); }), "Wrong cell reference: 2");
}

TEST(a1_parsing, range_sets) {
    std::unordered_set<range_t> set{range_t{}};
    string_to_range_set("A1 B2:C3\tA1  D4", set);
    EXPECT_EQ(set.size(), 3u);
    range_t b2c3;
    string_to_cell_range("B2:C3", b2c3);
    EXPECT_EQ(set.count(b2c3), 1u);

    EXPECT_THROW(string_to_range_set("A1 $B2", set), std::runtime_error);
    EXPECT_EQ(set.size(), 1u);  // what came before the bad token stays
}

TEST(a1_parsing, stoi_after_prefix) {
    EXPECT_EQ(stoi_after_prefix("rId5"), 5);
    EXPECT_EQ(stoi_after_prefix("17"), 17);
    EXPECT_EQ(what_of<std::invalid_argument>([] { stoi_after_prefix("rId"); }), "invalid stoi argument");
    EXPECT_EQ(what_of<std::out_of_range>([] { stoi_after_prefix("rId2147483648"); }), "stoi argument out of range");
    EXPECT_EQ(stoi_after_prefix("rId2147483647"), 2147483647);
}

// Texts that name a cell of the sheet cannot name anything else.
TEST(a1_parsing, texts_that_read_as_a_cell) {
    for (const char* cell : {"A1", "n1", "xfd1048576", "R", "c", "RC", "r2", "C16384", "C16385", "R1048576C3"})
        EXPECT_TRUE(reads_as_cell_reference(cell)) << cell;
    for (const char* other : {"", "A", "1", "A0", "XFE1", "A1048577", "R0", "R1C16385", "R1C1x", "RCX", "A1B", "1A"})
        EXPECT_FALSE(reads_as_cell_reference(other)) << other;
}

TEST(a1_formatting, letters_and_limits) {
    for (const auto& [col, letters] : {std::pair{1, "A"}, {26, "Z"}, {27, "AA"}, {52, "AZ"}, {53, "BA"}, {16384, "XFD"},
                                       {0, ""}, {-5, ""}})
        EXPECT_EQ(column_number_to_letters(col), letters) << col;
    EXPECT_EQ(row_col_to_string(7, 2), "B7");
    EXPECT_EQ(row_col_to_string(1048576, 16384), "XFD1048576");
    for (const auto& [row, col] : {std::pair{1048577, 1}, {1, 0}, {1, 16385}, {0, 1}})
        EXPECT_EQ(row_col_to_string(row, col), "") << row << "," << col;

    range_t r{{0, 1, 1}, {0, 2000000, 3}};
    EXPECT_EQ(range_to_string(r), "A1:");
    EXPECT_EQ(range_to_string_unchecked(r), "A1:C2000000");
    EXPECT_EQ(range_to_string_unchecked(range_t{{0, 5, 0}, {0, 6, 2}}), "5:B6");
}

TEST(a1_formatting, every_column_round_trips) {
    for (int col = 1; col <= 16384; ++col)
        ASSERT_EQ(string_to_column(column_number_to_letters(col).c_str()), col) << col;
}

TEST(number_text, fixed_and_trimmed) {
    EXPECT_EQ(double_to_string(-0.25), "-0.250000");
    for (const auto& [v, text] : {std::pair{1.5, "1.5"}, {2.0, "2"}, {100.0, "100"}, {0.0, "0"}, {-0.25, "-0.25"},
                                  {1e20, "100000000000000000000"}})
        EXPECT_EQ(double_to_trimmed_string(v), text) << v;
}

TEST(number_text, hex) {
    char buf[9] = {};
    EXPECT_EQ(uint32_to_hex(buf, 0xFF00FF00u), 0);
    EXPECT_STREQ(buf, "FF00FF00");
    uint32_to_hex(buf, 0x1a);
    EXPECT_STREQ(buf, "0000001A");

    EXPECT_EQ(hex_to_uint32("FF00ff00"), 0xFF00FF00u);
    EXPECT_EQ(hex_to_uint32("FF0000"), 0x00FF0000u);
    EXPECT_EQ(hex_to_uint32("12G4"), 0x12u);
    EXPECT_EQ(hex_to_uint32(""), 0u);
    EXPECT_EQ(hex_to_uint32("123456789"), 0x12345678u);
}

TEST(number_text, storage_kind) {
    // 1: int32, 2: int64, 3: double. Values near an integer, -0.0 and non-finite values keep their bits.
    const std::pair<double, int> cases[] = {
        {2147483647.0, 1}, {-2147483648.0, 1}, {0, 1}, {2147483648.0, 2}, {-2147483649.0, 2},
        {-9223372036854775808.0, 2}, {9223372036854775808.0, 3}, {0.5, 3}, {1e-20, 3}, {0.9999999999999999, 3},
        {-0.0, 3}, {std::nan(""), 3}, {std::numeric_limits<double>::infinity(), 3},
    };
    for (const auto& [v, kind] : cases) EXPECT_EQ(number_storage_kind(v), kind) << v;
}

TEST(number_text, parse_double_stays_inside_the_view) {
    const char* text = "123";
    EXPECT_EQ(parse_double(std::string_view(text, 2)), 12.0);
    EXPECT_EQ(parse_double(std::string_view("12+", 2)), 12.0);
    EXPECT_EQ(parse_double(std::string_view("1.5e3", 3)), 1.5);
    EXPECT_EQ(parse_double("1.5e3"), 1500.0);
    EXPECT_EQ(parse_double("12abc"), 12.0);
    EXPECT_EQ(parse_double("abc"), 0.0);
    EXPECT_FALSE(parse_double("").has_value());
    EXPECT_NEAR(*parse_double(std::string_view("-0.25000", 5)), -0.25, 1e-15);
    EXPECT_NEAR(*parse_double(std::string_view("1.2.3x", 5)), 1.2, 1e-15);
    EXPECT_EQ(parse_double(" 0x10"), 16.0);
}

// Text strtod leaves part of goes through the scan, which keeps the sign.
TEST(number_text, parse_double_keeps_the_sign_past_what_strtod_reads) {
    EXPECT_NEAR(*parse_double("-1.2.3"), -1.2, 1e-15);
    EXPECT_NEAR(*parse_double("-12abc"), -12.0, 1e-15);
    EXPECT_NEAR(*parse_double("+1.2.3"), 1.2, 1e-15);
}

TEST(strings, helpers) {
    std::string name;
    for (int i = 0; i < 31; ++i) name += "\xC3\xA9";
    EXPECT_EQ(utf8_length(name), 31u);
    EXPECT_EQ(utf8_length("\xF0\x9F\x98\x80x"), 2u);
    EXPECT_EQ(utf8_length("\xE2\x82"), 1u);  // a cut sequence still ends the walk
    EXPECT_EQ(utf16_length(name), 31u);
    EXPECT_EQ(utf16_length("\xF0\x9F\x98\x80x\xE2\x82\xAC"), 4u);  // a pair, then one unit each
    EXPECT_EQ(utf16_length(""), 0u);

    EXPECT_TRUE(cstr_equal("a", "a"));
    EXPECT_FALSE(cstr_equal("a", nullptr) || cstr_equal(nullptr, nullptr));
    EXPECT_EQ(safe_strlen(nullptr), 0u);
    EXPECT_FALSE(string_to_bool("FALSE") || string_to_bool("0"));
    EXPECT_TRUE(string_to_bool("no") && string_to_bool(""));
    EXPECT_TRUE(ascii_iequals("Sheet1", "sHEET1"));
    EXPECT_EQ(ascii_upper("\xC3\xA9z"), "\xC3\xA9Z");
}

// The escapes of the package format read back as the characters they stand
// for; text that only looks like one stays.
TEST(strings, x_escapes_decode) {
    struct case_t {
        const char* in;
        const char* out;
        bool kept = false;  // an escape stayed as written
    };
    const case_t cases[] = {
        {"plain", "plain"},
        {"_x0041_", "A"},
        {"_x005F_x0041_", "_x0041_"},
        {"a_x0001_b_x001f_", "a\x01" "b\x1F"},
        {"_x00E9_ _x20AC_", "\xC3\xA9 \xE2\x82\xAC"},
        {"_xD83D__xDE00_", "\xF0\x9F\x98\x80"},          // a surrogate pair
        {"_xD83D_ _xDE00_", "_xD83D_ _xDE00_", true},        // lone surrogates stay
        {"_x0000_", "_x0000_", true},
        {"_x004_ _x00G1_ _x0041 _x", "_x004_ _x00G1_ _x0041 _x"},
        {"__x0041__", "_A_"},
        // A literal one beside a kept escape stays as written, to stay apart.
        {"_x005F_x0000_", "_x0000_"},
        {"_x005F_x0000_|_x0000_", "_x005F_x0000_|_x0000_", true},
        {"_x005F_xD800__xDC00_ _x0041_", "_x005F_xD800__xDC00_ A", true},
        // A literal "_x005F" before a kept escape: the chain stays whole.
        {"a_x005F_x005F_x0000_b", "a_x005F_x005F_x0000_b", true},
    };
    for (const case_t& c : cases) {
        std::string text = c.in;
        EXPECT_EQ(decode_x_escapes(text), c.kept) << c.in;
        EXPECT_EQ(text, c.out) << c.in;
    }
}

TEST(formula_a1_token, absolute_and_relative) {
    using mta::formula::parse_a1_reference;
    const coord_t origin{0, 5, 3};
    auto b7 = parse_a1_reference("$B$7", origin);
    ASSERT_TRUE(b7);
    EXPECT_EQ(*b7, (coord_t{0, 7, 2, 1, 1, 1}));
    EXPECT_EQ(parse_a1_reference("$b$7", origin), b7);

    // Relative parts are kept as offsets from the origin, wrapping round the sheet.
    const auto c5 = parse_a1_reference("C5", origin);
    ASSERT_TRUE(c5);
    EXPECT_EQ(std::tuple(c5->row, c5->col, int(c5->flag1)), std::tuple(1, 1, 0));
    EXPECT_EQ(parse_a1_reference("C4", origin)->row, 1048576);
    EXPECT_EQ(parse_a1_reference("B$4", origin)->col, 16384);

    for (const char* bad : {"", "7B", "B", "7", "B0", "B$$7", "$$B7", "B7$", "B7C", "B 7", "A0B1"})
        EXPECT_FALSE(parse_a1_reference(bad, origin)) << bad;
}
