#include "mta/table/style/manager/builtin_numfmts.h"

#include "number_format/number_format.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex::mta;
using vex::numfmt::rule_type_enum;

TEST(builtin_numfmts, codes_by_id) {
    EXPECT_EQ(builtin_numfmt_code(0), "General");
    EXPECT_EQ(builtin_numfmt_code(8), R"("$"#,##0.00_);[Red]("$"#,##0.00))");
    EXPECT_EQ(builtin_numfmt_code(13), R"(# ??/??)");
    EXPECT_EQ(builtin_numfmt_code(44), R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))");
    EXPECT_EQ(builtin_numfmt_code(49), "@");
    EXPECT_EQ(builtin_numfmt_code(59), "0");
    EXPECT_EQ(builtin_numfmt_code(70), R"(# ??/??)");
    EXPECT_EQ(builtin_numfmt_code(81), "mm:ss.0");
    EXPECT_EQ(builtin_numfmt_code(163), "General");
    EXPECT_EQ(builtin_numfmt_code(-1), "");
    EXPECT_EQ(builtin_numfmt_code(164), "");
    for (int id = 0; id < builtin_numfmt_count; ++id) EXPECT_FALSE(builtin_numfmt_code(id).empty()) << id;
}

TEST(builtin_numfmts, ids_by_code) {
    EXPECT_EQ(builtin_numfmt_id("General"), 0);
    EXPECT_EQ(builtin_numfmt_id("m/d/yyyy"), 14);
    EXPECT_EQ(builtin_numfmt_id("h:mm:ss"), 21);
    EXPECT_EQ(builtin_numfmt_id("@"), 49);
    EXPECT_EQ(builtin_numfmt_id("general"), std::nullopt);
    EXPECT_EQ(builtin_numfmt_id("0.00 "), std::nullopt);
    EXPECT_EQ(builtin_numfmt_id(""), std::nullopt);
    // Every code maps back to the first id that holds it.
    for (int id = 0; id < builtin_numfmt_count; ++id) {
        const auto found = builtin_numfmt_id(builtin_numfmt_code(id));
        ASSERT_TRUE(found) << id;
        EXPECT_LE(*found, id);
        EXPECT_TRUE(*found <= 22 || (*found >= 37 && *found <= 49)) << id;
        EXPECT_EQ(builtin_numfmt_code(*found), builtin_numfmt_code(id));
    }
}

TEST(builtin_numfmts, every_builtin_code_classifies) {
    auto expected = [](int id) {
        switch (id) {
        case 0: case 23: case 24: case 25: case 26: return rule_type_enum::general;
        case 11: case 48: return rule_type_enum::scientific;
        case 12: case 13: case 69: case 70: return rule_type_enum::fraction;
        case 49: return rule_type_enum::text;
        }
        if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
            (id >= 50 && id <= 58) || (id >= 71 && id <= 81))
            return rule_type_enum::datetime;
        if (id >= 82) return rule_type_enum::general;
        return rule_type_enum::number;
    };
    for (int id = 0; id < builtin_numfmt_count; ++id) {
        const std::string code(builtin_numfmt_code(id));
        const vex::numfmt::number_format_t f(code.c_str());
        for (double v : {0.0, 2.5, -2.5}) EXPECT_EQ(f.get_format_type(v), expected(id)) << id << " " << v;
    }
}

TEST(builtin_numfmts, table_style_names) {
    EXPECT_EQ(builtin_table_style_name(0), "TableStyleLight1");
    EXPECT_EQ(builtin_table_style_name(20), "TableStyleLight21");
    EXPECT_EQ(builtin_table_style_name(21), "TableStyleMedium1");
    EXPECT_EQ(builtin_table_style_name(22), "TableStyleMedium2");
    EXPECT_EQ(builtin_table_style_name(48), "TableStyleMedium28");
    EXPECT_EQ(builtin_table_style_name(49), "TableStyleDark1");
    EXPECT_EQ(builtin_table_style_name(59), "TableStyleDark11");
    EXPECT_EQ(builtin_table_style_name(60), "");
    EXPECT_EQ(builtin_table_style_name(-1), "");

    EXPECT_TRUE(is_builtin_table_style("TableStyleLight1"));
    EXPECT_TRUE(is_builtin_table_style("TableStyleDark11"));
    EXPECT_FALSE(is_builtin_table_style("tablestylemedium2"));
    EXPECT_FALSE(is_builtin_table_style("TableStyleMedium29"));
    EXPECT_FALSE(is_builtin_table_style("TableStyleLight01"));
    EXPECT_FALSE(is_builtin_table_style(""));
    for (int i = 0; i < builtin_table_style_count; ++i) EXPECT_TRUE(is_builtin_table_style(builtin_table_style_name(i)));
}
