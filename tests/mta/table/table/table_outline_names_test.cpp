#include "mta/table/table/table.h"

#include "mta/table/sample_styles.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using vex::mta::workbook_scope;
using sample::last_message;

TEST(table_outline_names, outline_setters_and_summary_flags) {
    vex::mta::Table t({}, 1048576, 16384);
    EXPECT_TRUE(t.group_summary_below() && t.group_summary_right());
    t.set_group_summary_right(false);
    EXPECT_TRUE(t.group_summary_below() && !t.group_summary_right());

    EXPECT_TRUE(t.set_row_outline_level(4, 2, 8));
    for (int level : {9, -1}) {
        vex::set_run_message("");
        EXPECT_FALSE(t.set_row_outline_level(2, 4, level)) << level;
        EXPECT_EQ(last_message(), "Illegal outline level.");
    }
    EXPECT_EQ(t.row_outline_level(3), 8);
    t.set_col_outline_level(3, 3, -12);  // a file's value, taken as given
    EXPECT_EQ(t.col_outline_level(3), 12);
}

TEST(table_outline_names, names_by_scope_and_their_refusals) {
    vex::mta::Table t({}, 1048576, 16384);
    EXPECT_TRUE(t.set_defined_name({"Total", workbook_scope}, "Sheet1!$A$1:$A$10"));
    EXPECT_TRUE(t.set_defined_name({"Total", 2}, "Sheet2!$B$1"));
    vex::defined_name_props_t props;
    props.function_group_id = 4;
    EXPECT_TRUE(t.add_defined_name("Rate", "0.25", props, workbook_scope));
    const std::pair<std::function<bool()>, const char*> refused[] = {
        {[&] { return t.set_defined_name({"Total", workbook_scope}, "Sheet1!$B$1"); }, "Duplicate defined name."},
        {[&] { return t.add_defined_name("Total", "=2", {}, 2); }, "Duplicate defined name."},
        {[&] { return t.set_defined_name({"Other", 2}, ""); }, "Defined name parsing error."},
    };
    for (const auto& [call, message] : refused) {
        vex::set_run_message("");
        EXPECT_FALSE(call());
        EXPECT_EQ(last_message(), message);
    }
    EXPECT_FALSE(t.has_defined_name({"Total", 3}));
    EXPECT_EQ(t.find_defined_name({"Total", 2})->expression, "Sheet2!$B$1");
    EXPECT_EQ(t.find_defined_name({"Rate", workbook_scope})->props.function_group_id, 4);
    EXPECT_EQ(t.get_defined_names()->size(), 3u);
}
