#include "mta/table/utils/defined_names/defined_name_store.h"

#include "mta/formula/formula_error.h"
#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vex::coord_t;
using vex::range_t;
using vex::mta::defined_name_key_t;
using vex::mta::defined_name_store_t;
using vex::mta::Table;
using vex::mta::workbook_scope;
using vex::mta::formula::token_t;
using sample::last_message;

namespace {

std::vector<std::string> names_of(const defined_name_store_t& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size(); ++i)
        out.push_back(std::string(s.name_at(i)) + "@" + std::to_string(int32_t(s.local_sheet_id_at(i))));
    return out;
}

// A reference on grid `grid`; `moves` sets the flag that lets row and column follow.
coord_t cell(int row, int col, bool moves = true, int grid = 0) {
    return {grid, row, col, 1, uint8_t(moves), uint8_t(moves)};
}

} // namespace

TEST(defined_name_store, names_keep_the_order_they_were_added_in) {
    defined_name_store_t s;
    const char* added[] = {"Zeta", "Total", "alpha", "Total", "total", "m"};
    const uint32_t scopes[] = {workbook_scope, workbook_scope, 7, 3, workbook_scope, 3};
    for (int i = 0; i < 6; ++i) EXPECT_NE(s.add({added[i], scopes[i]}, "=1", {}), nullptr) << i;
    EXPECT_EQ(names_of(s), (std::vector<std::string>{"Zeta@-1", "Total@-1", "alpha@7", "Total@3", "total@-1", "m@3"}));
    EXPECT_EQ(s.add({"Total", 3}, "=2", {token_t(2.0)}), nullptr);  // the first entry stays
    EXPECT_EQ(s.expression_at(3), "=1");
    EXPECT_TRUE(s.tokens_of({"Total", 3})->empty());
    EXPECT_TRUE(s.contains_name("alpha") && !s.contains({"alpha", workbook_scope}) && !s.contains_name("ALPHA"));
    EXPECT_EQ(std::pair(s.name_at(6), s.local_sheet_id_at(6)), std::pair(std::string_view(), workbook_scope));

    // Looked up in any case: the spelling asked for first, else the first added.
    s.find({"total", workbook_scope})->expression = "=lower";
    EXPECT_EQ(s.find({"TOTAL", workbook_scope}), s.find({"Total", workbook_scope}));
    EXPECT_TRUE(s.contains({"ALPHA", 7}) && !s.contains({"ALPHA", 3}));
    EXPECT_TRUE(s.erase({"Total", workbook_scope}));
    EXPECT_FALSE(s.erase({"Total", workbook_scope}));
    EXPECT_FALSE(s.erase({"TOTAL", workbook_scope}));  // erased by its own spelling only
    EXPECT_EQ(s.find({"TOTAL", workbook_scope})->expression, "=lower");
    s.remove_local_names(3);
    s.remove_local_names(workbook_scope);  // no sheet's id: the workbook's names stay
    EXPECT_EQ(names_of(s), (std::vector<std::string>{"Zeta@-1", "alpha@7", "total@-1"}));
    EXPECT_TRUE(s.contains({"alpha", 7}) && !s.contains({"m", 3}));  // the index follows
    EXPECT_FALSE(s.add_with_props({"alpha", 7}, {}, "=5", {}));
}

TEST(defined_name_store, references_into_the_sheet_follow_inserted_rows_and_columns) {
    Table t({}, 1048576, 16384);  // grid 0; grid 2 stands for another sheet
    const token_t ref_error{vex::mta::formula::formula_error(vex::mta::error_value_enum::ref)};
    const struct {
        bool rows;
        int band_first, band_last, at, count;
        token_t before, after;
    } cases[] = {
        // rows inserted at 5, over every column
        {true, 1, 16384, 5, 2, cell(7, 1), cell(9, 1)},
        {true, 1, 16384, 5, 2, cell(7, 1, false), cell(7, 1, false)},
        {true, 1, 16384, 5, 2, cell(7, 1, true, 2), cell(7, 1, true, 2)},
        {true, 1, 16384, 5, 2, range_t{cell(1, 1), cell(10, 1)}, range_t{cell(1, 1), cell(12, 1)}},
        {true, 1, 16384, 5, 2, range_t{cell(5, 1), cell(10, 1)}, range_t{cell(7, 1), cell(12, 1)}},
        {true, 1, 16384, 5, 2, range_t{cell(1, 1, true, 2), cell(10, 1, true, 2)},
         range_t{cell(1, 1, true, 2), cell(10, 1, true, 2)}},
        {true, 1, 16384, 5, 2, range_t{cell(6, 1), cell(10, 1, false)}, range_t{cell(8, 1), cell(10, 1, false)}},
        {true, 1, 16384, 5, 2, token_t(3.5), token_t(3.5)},
        // within columns B to D only
        {true, 4, 2, 5, 2, cell(7, 1), cell(7, 1)},
        {true, 2, 4, 5, 2, cell(7, 4), cell(9, 4)},
        {true, 2, 4, 5, 2, range_t{cell(1, 1), cell(10, 3)}, range_t{cell(1, 1), cell(10, 3)}},
        // a reference pushed wholly off the sheet names nothing: #REF!; one
        // reaching past the edge is cut at it
        {true, 1, 16384, 5, 4, cell(1048574, 1), ref_error},
        {true, 1, 16384, 5, 4, range_t{cell(1048573, 1), cell(1048576, 1)}, ref_error},
        {true, 1, 16384, 5, 4, cell(1048572, 1), cell(1048576, 1)},
        {true, 1, 16384, 5, 4, range_t{cell(1, 1), cell(1048576, 1)}, range_t{cell(1, 1), cell(1048576, 1)}},
        {true, 1, 16384, 5, 4, range_t{cell(1048570, 1), cell(1048576, 1)}, range_t{cell(1048574, 1), cell(1048576, 1)}},
        {false, 1, 1048576, 2, 2, cell(1, 16383), ref_error},
        // columns inserted at B, over every row
        {false, 1, 1048576, 2, 2, cell(1, 3), cell(1, 5)},
        {false, 1, 1048576, 2, 2, range_t{cell(1, 1), cell(1, 4)}, range_t{cell(1, 1), cell(1, 6)}},
        // refused bounds: nothing moves
        {true, 1, 16384, 0, 2, cell(7, 1), cell(7, 1)},
        {false, 1, 1048576, 16385, 2, cell(1, 3), cell(1, 3)},
    };
    int i = 0;
    for (const auto& c : cases) {
        defined_name_store_t s;
        s.add({"n", workbook_scope}, "Sheet1!$A$1", {c.before});
        s.add({"empty", workbook_scope}, "=1+1", {});
        if (c.rows)
            s.on_insert_rows(t, c.band_first, c.band_last, c.at, c.count);
        else
            s.on_insert_cols(t, c.band_first, c.band_last, c.at, c.count);
        const auto& got = s.tokens_of({"n", workbook_scope})->front();
        EXPECT_EQ(got.opcode, c.after.opcode) << "case " << i;
        EXPECT_EQ(got.operand, c.after.operand) << "case " << i;
        EXPECT_EQ(s.expression_at(0), "Sheet1!$A$1");
        EXPECT_TRUE(s.tokens_of({"empty", workbook_scope})->empty());
        EXPECT_EQ(s.expression_at(1), "=1+1");
        ++i;
    }
    vex::set_run_message("");
    defined_name_store_t s;
    s.on_insert_cols(t, 0, 1, 2, 1);
    EXPECT_EQ(last_message(), "Start row or end row out of range.");
}
