#include "errors.h"
#include "opendoc_exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(errors, what_is_category_then_message) {
    const general_error plain(std::string("disk on fire"));
    EXPECT_STREQ(plain.what(), "general error: disk on fire");
    EXPECT_STREQ(plain.what(), "general error: disk on fire");

    EXPECT_STREQ(mta_error("fatal error: column out of range.").what(),
                 "mtads error: fatal error: column out of range.");
    EXPECT_STREQ(kestrel_error("x").what(), "tarx error: x");
    EXPECT_STREQ(archive_error(std::string_view("y")).what(), "archive error: y");
    EXPECT_STREQ(vex::opendoc_error("z").what(), "open document error: z");
    EXPECT_STREQ(vex::numfmt::numfmt_error("n").what(), "number format error: n");
    EXPECT_STREQ(loading_error("l").what(), "load error: l");
    EXPECT_STREQ(assigning_error("a").what(), "assign error: a");
    EXPECT_STREQ(formula_exception("f").what(), "formula error: f");
}

TEST(errors, empty_message_keeps_trailing_blank) {
    EXPECT_STREQ(general_error("").what(), "general error: ");
}

TEST(errors, location_is_file_name_and_line) {
    const auto here = std::source_location::current();
    const general_error e("m", here);
    EXPECT_EQ(std::string(e.location()), "errors_test.cpp:" + std::to_string(here.line()));
    EXPECT_EQ(vex::detail::file_name_of("a/b\\c/d.cpp"), "d.cpp");
    EXPECT_EQ(vex::detail::file_name_of("c:\\src\\x.h"), "x.h");
    EXPECT_EQ(vex::detail::file_name_of("plain.cpp"), "plain.cpp");
    EXPECT_EQ(vex::detail::file_name_of(""), "");
}

TEST(errors, part_container_error_names_its_header) {
    const vex::part_container_error e("no such part");
    EXPECT_STREQ(e.location(), "opendoc_exceptions.h:21");
    EXPECT_STREQ(e.what(), "part container error: no such part");
}

TEST(errors, caught_by_base_and_copyable) {
    try {
        throw archive_error("Failed to close the compressed file.");
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "archive error: Failed to close the compressed file.");
    }
    const mta_error original("x");
    const mta_error copy = original;  // NOLINT
    EXPECT_STREQ(copy.what(), original.what());
    EXPECT_STREQ(copy.location(), original.location());
}

TEST(errors, parsing_error_says_where_in_the_xml) {
    const vex::xml::sxml::parsing_error e(3, 7, "expected =: x");
    EXPECT_STREQ(e.what(), "xml paring error: expected =: x. line 3, column 7");
    EXPECT_STREQ(e.location(), "line 3, column 7");
    EXPECT_EQ(e.line(), 3u);
    EXPECT_EQ(e.column(), 7u);
    const vex::xml::sxml::parsing_error copy = e;  // NOLINT
    const general_error& base = copy;
    EXPECT_STREQ(base.what(), e.what());
    EXPECT_STREQ(base.location(), "line 3, column 7");
}
