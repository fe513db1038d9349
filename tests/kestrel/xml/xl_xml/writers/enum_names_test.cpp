#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

using namespace vex;

TEST(enum_names, entries_as_written) {
    EXPECT_EQ(enum_name_string(space_names[0]), "default");
    EXPECT_EQ(enum_name_string(space_names[1]), "preserve");
    EXPECT_EQ(enum_name_string(sheet_state_names[0]), "visible");
    EXPECT_EQ(enum_name_string(sheet_state_names[2]), "veryHidden");
    EXPECT_EQ(enum_name_string(enum_name_entry_t{}), "");
    EXPECT_EQ(enum_name_string(enum_name_entry_t{"x", 0}), "");
    // Every list splits into names without blanks, as many as its commas say.
    EXPECT_EQ(pattern_type_names.size(), 19u);
    EXPECT_EQ(border_style_names.size(), 14u);
    EXPECT_EQ(horizontal_alignment_names.size(), 8u);
    EXPECT_EQ(enum_name_string(pattern_type_names[18]), "lightGrid");
    EXPECT_EQ(enum_name_string(border_style_names[13]), "thick");
    for (const auto& e : pattern_type_names) {
        EXPECT_GT(e.length, 0u);
        EXPECT_EQ(std::string(e.text, e.length).find_first_of(", "), std::string::npos);
    }
}

TEST(enum_names, bounds) {
    EXPECT_EQ(enum_name_or_empty(sheet_state_names, 1), "hidden");
    EXPECT_EQ(enum_name_or_empty(sheet_state_names, 3), "");
    EXPECT_EQ(enum_name_checked(calc_mode_names, 2), "manual");
    try {
        enum_name_checked(calc_mode_names, 7);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Enumeration subscript out of bounds: 7\"");
    }
    EXPECT_THROW(enum_name_checked(calc_mode_names, -1), std::runtime_error);
    // Readers find values by the same names.
    EXPECT_EQ(enum_value_of(space_names, "default", 9), 0u);
    EXPECT_EQ(enum_value_of(space_names, "___default", 9), 9u);
    EXPECT_EQ(enum_value_of(underline_names, "doubleAccounting", 9), 4u);
    EXPECT_EQ(enum_value_of(underline_names, "", 9), 9u);
}

TEST(part_number_text, shortest_round_trip) {
    EXPECT_EQ(number_text(11.0).view(), "11");
    EXPECT_EQ(number_text(0.1234567891234).view(), "0.1234567891234");
    EXPECT_EQ(number_text(1e-7).view(), "1e-07");
    EXPECT_EQ(number_text(-0.25).view(), "-0.25");
    EXPECT_EQ(number_text(0.1 + 0.2).view(), "0.30000000000000004");
    EXPECT_EQ(number_text(-0.0).view(), "0");
    EXPECT_EQ(number_text(std::nan("")).view(), "0");
    EXPECT_EQ(number_text(std::numeric_limits<double>::infinity()).view(), "0");
    EXPECT_EQ(number_text(-1.7976931348623157e308).view(), "-1.7976931348623157e+308");
    EXPECT_EQ(number_text(int32_t{-42}).view(), "-42");
    EXPECT_EQ(number_text(uint32_t{4294967295u}).view(), "4294967295");
    EXPECT_EQ(number_text(int64_t{-9223372036854775807 - 1}).view(), "-9223372036854775808");
}

// Readers take 1e+07 for a float where the book had a whole number.
TEST(part_number_text, whole_numbers_go_out_in_digits) {
    const std::pair<double, std::string_view> rows[] = {
        {1e7, "10000000"}, {-1.2e8, "-120000000"}, {9007199254740991.0, "9007199254740991"},
        {-9007199254740991.0, "-9007199254740991"}, {1e16, "1e+16"}, {1e7 + 0.25, "10000000.25"},
    };
    for (const auto& [v, text] : rows) {
        EXPECT_EQ(number_text(v).view(), text) << v;
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, v) << text;
    }
}

} // namespace
