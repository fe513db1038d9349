#include "errors.h"

#include <gtest/gtest.h>

TEST(errors, what_is_category_then_message) {
    EXPECT_STREQ(general_error(std::string("disk on fire")).what(), "general error: disk on fire");
    EXPECT_STREQ(general_error("").what(), "general error: ");
    EXPECT_STREQ(mta_error("fatal error: column out of range.").what(), "mtads error: fatal error: column out of range.");
    EXPECT_STREQ(kestrel_error("x").what(), "tarx error: x");
    EXPECT_STREQ(archive_error(std::string_view("y")).what(), "archive error: y");
    EXPECT_STREQ(vex::opendoc_error("z").what(), "open document error: z");
    EXPECT_STREQ(vex::numfmt::numfmt_error("n").what(), "number format error: n");
    EXPECT_STREQ(loading_error("l").what(), "load error: l");
    EXPECT_STREQ(assigning_error("a").what(), "assign error: a");
    EXPECT_STREQ(formula_exception("f").what(), "formula error: f");
}

TEST(errors, location_is_file_name_and_line) {
    const auto here = std::source_location::current();
    const general_error e("m", here);
    EXPECT_EQ(std::string(e.location()), "errors_test.cpp:" + std::to_string(here.line()));
    EXPECT_EQ(vex::detail::file_name_of("a/b\\c/d.cpp"), "d.cpp");
    EXPECT_EQ(vex::detail::file_name_of("c:\\src\\x.h"), "x.h");
    EXPECT_EQ(vex::detail::file_name_of(""), "");

    // A copy keeps both texts.
    const mta_error original("x");
    const mta_error copy = original;  // NOLINT
    EXPECT_STREQ(copy.what(), "mtads error: x");
    EXPECT_STREQ(copy.location(), original.location());
}

TEST(errors, parsing_error_says_where_in_the_xml) {
    const vex::xml::sxml::parsing_error e(3, 7, "expected =: x");
    EXPECT_EQ(std::pair(e.line(), e.column()), std::pair(3ull, 7ull));
    const vex::xml::sxml::parsing_error copy = e;  // NOLINT
    const general_error& base = copy;
    EXPECT_STREQ(base.what(), "xml paring error: expected =: x. line 3, column 7");
    EXPECT_STREQ(base.location(), "line 3, column 7");
}
