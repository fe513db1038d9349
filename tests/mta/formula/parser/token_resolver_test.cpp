#include "parser_fixture.h"

#include "mta/formula/parser/token_resolver.h"
#include "mta/table/utils/defined_names/defined_name_store.h"

using vex::coord_t;
using vex::range_t;
using vex::mta::formula::named_expression_t;
using vex::mta::formula::structured_reference_t;
using vex::mta::formula::token_t;
using vex::mta::formula::unknown_sheet_grid;
using parser_test::parser_fixture;

namespace {

constexpr int32_t last_row = 1048576;
constexpr int32_t last_col = 16384;

coord_t cell(int32_t grid, int32_t row, int32_t col, uint8_t row_abs = 0, uint8_t col_abs = 0) {
    return {grid, row, col, 1, row_abs, col_abs};
}

} // namespace

TEST_F(parser_fixture, cells_take_the_grid_of_their_sheet) {
    const std::pair<const char*, coord_t> cases[] = {
        {"A1", cell(7, 1, 1)},
        {"$A$1", cell(7, 1, 1, 1, 1)},
        {"c$3", cell(7, 3, 3, 1, 0)},
        {"XFD1048576", cell(7, last_row, last_col)},
        {"Sheet2!A1", cell(2, 1, 1)},
        {"sheet2!B3", cell(2, 3, 2)},  // sheet names ignore case
        {"Sheet9!A1", cell(unknown_sheet_grid, 1, 1)},
        {"'My sheet'!$B$2", cell(5, 2, 2, 1, 1)},
        {"'It''s'!A1", cell(6, 1, 1)},
    };
    for (const auto& [formula, expected] : cases) {
        const token_t& token = only(formula);
        EXPECT_EQ(token.opcode, 704) << formula;
        EXPECT_EQ(std::get<coord_t>(token.operand), expected) << formula;
        EXPECT_FALSE(token.names[0]) << formula;
    }
    // A qualifier names its sheet.
    EXPECT_FALSE(parse("!A1"));
    EXPECT_EQ(vex::get_run_message().str(), "Error in parsing formula: !A1");
    EXPECT_FALSE(parse("''!A1"));
    // Relative parts are offsets from the origin, wrapping around the sheet.
    EXPECT_EQ(std::get<coord_t>(only("A1").operand), cell(7, 1, 1));
    parse("A1", {7, 2, 2, 0, 0, 0});
    EXPECT_EQ(std::get<coord_t>(tokens.at(0).operand), cell(7, last_row, last_col));
    parse("C5", {3, 2, 2, 0, 0, 0});
    EXPECT_EQ(std::get<coord_t>(tokens.at(0).operand), cell(3, 4, 2));
}

TEST_F(parser_fixture, ranges_fold_on_the_sheet_not_on_offsets) {
    const std::pair<const char*, range_t> at_a1[] = {
        {"A1:B2", {cell(7, 1, 1), cell(7, 2, 2)}},
        {"B2:A1", {cell(7, 1, 1), cell(7, 2, 2)}},
        {"A2:B1", {cell(7, 1, 1), cell(7, 2, 2)}},
        {"A1:B2:C3", {cell(7, 1, 1), cell(7, 3, 3)}},
        {"$B$2:A1", {cell(7, 1, 1), cell(7, 2, 2, 1, 1)}},  // each line keeps its "$"
        {"A1:$B$2", {cell(7, 1, 1), cell(7, 2, 2, 1, 1)}},
        {"Sheet2!A1:B2", {cell(2, 1, 1), cell(2, 2, 2)}},
        {"Sheet2!A1:sheet2!B2", {cell(2, 1, 1), cell(2, 2, 2)}},
        {"Sheet1!$1:$1", {cell(1, 1, 1, 1, 1), cell(1, 1, last_col, 1, 1)}},
        {"'My sheet'!3:1", {cell(5, 1, 1, 0, 1), cell(5, 3, last_col, 0, 1)}},
        {"$A:$C", {cell(7, 1, 1, 1, 1), cell(7, last_row, 3, 1, 1)}},
        {"sheet2!C:a", {cell(2, 1, 1, 1, 0), cell(2, last_row, 3, 1, 0)}},
        {"$1:$1048576", {cell(7, 1, 1, 1, 1), cell(7, last_row, last_col, 1, 1)}},
    };
    for (const auto& [formula, expected] : at_a1) {
        const token_t& token = only(formula);
        EXPECT_EQ(token.opcode, 705) << formula;
        EXPECT_EQ(std::get<range_t>(token.operand), expected) << formula;
    }
    // At B2 "A1:B2" still covers A1 to B2: stored as offsets, compared as cells.
    parse("A1:B2", {7, 2, 2, 0, 0, 0});
    EXPECT_EQ(std::get<range_t>(tokens.at(0).operand), (range_t{cell(7, last_row, last_col), cell(7, 1, 1)}));
    // Corners on two sheets are a span written apart, read as neither.
    EXPECT_FALSE(parse("Sheet2!A1:Sheet1!B2"));
    EXPECT_EQ(vex::get_run_message().str(), "Error in parsing formula: Sheet2!A1:Sheet1!B2");
    // Neither side of a whole-line range may leave the sheet or mix rows and columns.
    for (const char* formula : {"A:1", "0:1", "1:1048577", "A:XFE", "$$A:B", "1.5:2"}) {
        EXPECT_FALSE(parse(formula) && tokens.size() == 1 && tokens[0].opcode == 705) << formula;
    }
}

TEST_F(parser_fixture, another_workbook_is_named_by_its_texts) {
    const token_t& token = only("'C:\\dir\\[Book1]Sheet1'!A1");
    EXPECT_EQ(std::get<coord_t>(token.operand), cell(0, 1, 1));
    ASSERT_TRUE(token.names[0] && token.names[1] && token.names[2]);
    EXPECT_EQ(*token.names[0], "C:\\dir\\Book1");
    EXPECT_EQ(*token.names[1], "");
    EXPECT_EQ(*token.names[2], "Sheet1");

    const token_t& range = only("'[Book 2]Data'!A1:B2");
    EXPECT_EQ(std::get<range_t>(range.operand), (range_t{cell(0, 1, 1), cell(0, 2, 2)}));
    ASSERT_TRUE(range.names[0] && range.names[2]);
    EXPECT_EQ(*range.names[0], "Book 2");
    EXPECT_EQ(*range.names[2], "Data");
}

TEST_F(parser_fixture, names_are_found_with_their_scope) {
    auto& names = *table.get_defined_names();
    names.add({"Total", vex::mta::workbook_scope}, "1", {});
    names.add({"Total", 2}, "2", {});
    names.add({"Vat", vex::mta::workbook_scope}, "3", {});
    const std::pair<const char*, named_expression_t> cases[] = {
        {"Total", {"Total", vex::mta::workbook_scope}},
        {"Vat", {"Vat", vex::mta::workbook_scope}},
        {"Sheet2!Total", {"Total", 2}},
        {"'sheet2'!Total", {"Total", 2}},
        {"total", {"total", vex::mta::workbook_scope}},  // names match without case
    };
    for (const auto& [formula, expected] : cases) {
        const token_t& token = only(formula);
        EXPECT_EQ(token.opcode, 708) << formula;
        EXPECT_EQ(std::get<named_expression_t>(token.operand), expected) << formula;
        EXPECT_EQ(std::get<named_expression_t>(token.operand).name, expected.name) << formula;  // as written
    }
    for (const char* formula : {"Sheet1!Total", "Sheet2!Vat"}) {
        EXPECT_FALSE(parse(formula)) << formula;
        EXPECT_EQ(vex::get_run_message().str(), std::string("Undefined name: ") + formula);
    }
    // A qualifier names its sheet.
    EXPECT_FALSE(parse("!Total"));
    EXPECT_EQ(vex::get_run_message().str(), "Error in parsing formula: !Total");
    EXPECT_EQ(opcodes("Total*Vat"), (std::vector<int32_t>{708, 302, 708}));
}

// A word finds its sheet's own name (this table's grid is 0) before the
// workbook's, and a name before the function of its spelling unless a call follows.
TEST_F(parser_fixture, words_find_the_nearest_name_before_a_function) {
    auto& names = *table.get_defined_names();
    names.add({"Total", vex::mta::workbook_scope}, "1", {});
    names.add({"Total", 0}, "2", {});
    names.add({"Rate", vex::mta::workbook_scope}, "3", {});
    names.add({"Index", 0}, "4", {});
    const struct {
        const char* formula;
        std::vector<int32_t> opcodes;
        named_expression_t first;
    } cases[] = {
        {"Total", {708}, {"Total", 0}},
        {"Rate", {708}, {"Rate", vex::mta::workbook_scope}},
        {"A1*Rate", {704, 302, 708}, {}},
        {"Index+1", {708, 300, 700}, {"Index", 0}},
        {"RATE(1,2,3)", {1000, 100, 700, 110, 700, 110, 700, 101}, {}},
        {"Index (A1:B2,1)", {1000, 100, 705, 110, 700, 101}, {}},
        {"SUM(Rate)", {1000, 100, 708, 101}, {}},
        {"rate*2", {708, 302, 700}, {"Rate", vex::mta::workbook_scope}},
        {"IF(TRUE,FALSE)", {1000, 100, 1000, 110, 1000, 101}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(opcodes(c.formula), c.opcodes) << c.formula;
        if (!c.first.name.empty() && !tokens.empty()) {
            EXPECT_EQ(std::get<named_expression_t>(tokens.front().operand), c.first) << c.formula;
        }
    }
}

TEST_F(parser_fixture, structured_references_keep_table_columns_and_items) {
    const std::pair<const char*, structured_reference_t> cases[] = {
        {"Table1[#Totals]", {"Table1", "", "", 8}},
        {"Table1[#All]", {"Table1", "", "", 16}},
        {"Table1[[#Data],[Amount]]", {"Table1", "Amount", "", 4}},
        {"Table1[[#Amount],[#Data]]", {}},
        {"Table1[[Amount],[#Data]]", {"Table1", "Amount", "", 4}},
        {"Table1[Amount ]", {"Table1", "Amount", "", 4}},
        {"Table1[ Amount]", {"Table1", " Amount", "", 4}},
        {"Table1[@Amount]", {"Table1", "Amount", "", 2}},
        {"Table1[[#Headers],[@ Amount ]]", {"Table1", "Amount", "", 1}},
        {"Table1[@[Unit price]]", {"Table1", "Unit price", "", 2}},
        {"Table1[[#Headers],[Amount]:[Total]]", {"Table1", "Amount", "Total", 1}},
        {"Table1[[#Headers],[#Data],[Amount]]", {"Table1", "Amount", "", 5}},
        {"Table1[[#This Row],[Amount]]", {"Table1", "Amount", "", 2}},
        {"Table1[[#this row],amount]", {"Table1", "amount", "", 2}},  // item words in any case
        {"Table1[#totals]", {"Table1", "", "", 8}},
        {"Table1[[#This Row], Amount ]", {"Table1", "Amount", "", 2}},
        {"Table1[Net'#]", {"Table1", "Net#", "", 4}},
        {"Table1[a']b]", {"Table1", "a]b", "", 4}},
        {"Table1[It''s]", {"Table1", "It's", "", 4}},
        {"Table1[]", {"Table1", "", "", 4}},
        {"Table1[ ]", {"Table1", "", "", 4}},
    };
    for (const auto& [formula, expected] : cases) {
        if (expected.table.empty()) {
            EXPECT_FALSE(parse(formula)) << formula;
            continue;
        }
        const token_t& token = only(formula);
        EXPECT_EQ(token.opcode, 707) << formula;
        EXPECT_EQ(std::get<structured_reference_t>(token.operand), expected) << formula;
    }
    EXPECT_EQ(opcodes("SUM(Table1[Amount],1)"), (std::vector<int32_t>{1000, 100, 707, 110, 700, 101}));
    for (const char* formula : {"Table1[[[a]]]", "Table1[a]]", "Table1[a", "Table1[a]x", "Table1[[a]x[b]]",
                                "Table1[[a],[b],[c]]", "Table1[a'x]"}) {
        EXPECT_FALSE(parse(formula)) << formula;
        EXPECT_EQ(vex::get_run_message().str(), std::string("Undefined name: ") + formula);
    }
}
