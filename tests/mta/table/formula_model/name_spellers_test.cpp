// The formulas of a sheet by the names they spell: found in any case, by
// their tokens or, kept unparsed, by the words and sheets of their text, and no more
// once they go or spell other names.

#include "mta/formula/formula_cell.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/spelling_sheets.h"

#include <gtest/gtest.h>

#include <vector>

using vex::mta::formula::formula_cell;
using vex::mta::formula::named_expression_t;
using vex::mta::formula::token_t;

TEST(name_spellers, cells_are_found_by_the_names_they_spell_in_any_case) {
    vex::mta::formula::name_spellers_t spellers;
    formula_cell parsed({1, 1, 1, 0, 0, 0}, "Rate*2");
    formula_cell kept({1, 2, 1, 0, 0, 0}, "Sheet1!BONUS&rate");
    spellers.file(&parsed, std::vector<token_t>{token_t(named_expression_t{"Rate"}), token_t(2.0)});
    spellers.file(&kept, kept.expression());
    using cells = std::vector<formula_cell*>;
    EXPECT_EQ(spellers.spelling("RATE").size(), 2u);
    EXPECT_EQ(spellers.spelling("Bonus"), cells{&kept});
    // The sheet it names too, for a sheet that comes later.
    EXPECT_EQ(spellers.spelling("sheet1"), cells{&kept});

    // Filed again, a cell spells only its new names; forgotten, none.
    spellers.file(&parsed, std::vector<token_t>{token_t(named_expression_t{"Bonus"})});
    EXPECT_EQ(spellers.spelling("rate"), cells{&kept});
    spellers.forget(&kept);
    EXPECT_EQ(spellers.spelling("rate"), cells{});
    EXPECT_EQ(spellers.spelling("bonus"), cells{&parsed});
    spellers.forget(&parsed);
    EXPECT_TRUE(spellers.empty());
}

// The workbook's index lists a sheet under a name while one of its cells
// spells it: from when it is told, and no more once left.
TEST(name_spellers, the_workbook_hears_which_names_a_sheet_spells) {
    vex::mta::formula::name_spellers_t spellers;
    vex::mta::formula::spelling_sheets_t index;
    int stand_in = 0;  // the index only compares sheets
    auto* sheet = reinterpret_cast<vex::mta::Table*>(&stand_in);
    using sheets = std::vector<vex::mta::Table*>;
    formula_cell first({1, 1, 1, 0, 0, 0}, "Rate*2");
    formula_cell second({1, 2, 1, 0, 0, 0}, "Later!A1+rate");
    spellers.file(&first, std::vector<token_t>{token_t(named_expression_t{"Rate"})});
    spellers.report_to(&index, sheet);
    spellers.file(&second, second.expression());
    EXPECT_EQ(index.sheets("rate"), sheets{sheet});
    EXPECT_EQ(index.sheets("later"), sheets{sheet});
    spellers.forget(&first);
    EXPECT_EQ(index.sheets("rate"), sheets{sheet});
    spellers.forget(&second);
    EXPECT_EQ(index.sheets("rate"), sheets{});
    spellers.file(&first, std::vector<token_t>{token_t(named_expression_t{"Rate"})});
    spellers.report_to(nullptr, nullptr);
    EXPECT_EQ(index.sheets("rate"), sheets{});
}
