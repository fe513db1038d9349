#include "mta/table/table/table.h"

#include "mta/table/sample_styles.h"

#include <gtest/gtest.h>

using vex::mta::defined_name_key_t;
using vex::mta::Table;
using vex::mta::workbook_scope;
using sample::last_message;

namespace {

struct table_outline_names : testing::Test {
    void SetUp() override { vex::set_run_message(""); }
    Table t{{}, 1048576, 16384};
};

} // namespace

TEST_F(table_outline_names, outline_setters_and_summary_flags) {
    EXPECT_TRUE(t.group_summary_below());
    EXPECT_TRUE(t.group_summary_right());
    t.set_group_summary_below(false);
    t.set_group_summary_right(false);
    EXPECT_FALSE(t.group_summary_below() || t.group_summary_right());

    EXPECT_TRUE(t.set_row_outline_level(4, 2, 8));
    for (int level : {9, -1}) {
        vex::set_run_message("");
        EXPECT_FALSE(t.set_row_outline_level(2, 4, level)) << level;
        EXPECT_EQ(last_message(), "Illegal outline level.");
    }
    EXPECT_EQ(t.row_outline_level(3), 8);
    EXPECT_EQ(t.row_outline_level(5), 0);
    t.set_col_outline_level(3, 3, -12);  // a file's value, taken as given
    EXPECT_EQ(t.col_outline_level(3), 12);
    EXPECT_EQ(t.col_outline_level(16385), -1);
    EXPECT_EQ(t.row_outline().last(), 1048576);
    EXPECT_EQ(t.col_outline().last(), 16384);
}

TEST_F(table_outline_names, names_by_scope_and_their_refusals) {
    EXPECT_TRUE(t.set_defined_name({"Total", workbook_scope}, "Sheet1!$A$1:$A$10"));
    EXPECT_FALSE(t.set_defined_name({"Total", workbook_scope}, "Sheet1!$B$1"));
    EXPECT_EQ(last_message(), "Duplicate defined name.");
    EXPECT_TRUE(t.set_defined_name({"Total", 2}, "Sheet2!$B$1"));
    vex::set_run_message("");
    EXPECT_FALSE(t.set_defined_name({"Other", 2}, ""));
    EXPECT_EQ(last_message(), "Defined name parsing error.");

    vex::defined_name_props_t props;
    props.function_group_id = 4;
    EXPECT_TRUE(t.add_defined_name("Rate", "0.25", props, workbook_scope));
    vex::set_run_message("");
    EXPECT_FALSE(t.add_defined_name("Total", "=2", {}, 2));
    EXPECT_EQ(last_message(), "Duplicate defined name.");

    EXPECT_TRUE(t.has_defined_name({"Total", 2}));
    EXPECT_FALSE(t.has_defined_name({"Total", 3}));
    EXPECT_EQ(t.find_defined_name({"Total", 3}), nullptr);
    EXPECT_EQ(t.find_defined_name({"Total", 2})->expression, "Sheet2!$B$1");
    EXPECT_EQ(t.find_defined_name({"Rate", workbook_scope})->props.function_group_id, 4);
    const auto& store = *t.get_defined_names();
    ASSERT_EQ(store.size(), 3u);
    EXPECT_EQ(store.expression_at(0), "Sheet1!$A$1:$A$10");
    EXPECT_EQ(store.local_sheet_id_at(1), 2u);
    EXPECT_EQ(store.name_at(2), "Rate");
}
