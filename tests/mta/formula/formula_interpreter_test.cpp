#include "mta/formula/formula_interpreter.h"

#include "mta/formula/expression_syntax.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/formula_model_context.h"
#include "mta/formula/function_table.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/types/document_model_access.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::range_t;
using vex::mta::Table;

namespace {

// Tokens as the parser stores them, written short.
token_t num(double v) { return token_t(v); }
token_t str(const char* s) { return token_t(s); }
token_t op(int32_t opcode) { return token_t(opcode); }
token_t fn(uint32_t id) { return token_t(id); }
token_t name(const char* n) { return token_t(named_expression_t{n, vex::mta::workbook_scope}); }
// A relative reference holds offsets from the formula's cell; an absolute one the cell.
token_t rel(int32_t row_offset, int32_t col_offset, int32_t grid = 0) {
    return token_t(coord_t{grid, row_offset, col_offset, 1, 0, 0});
}
token_t abs(int32_t row, int32_t col, int32_t grid = 0) { return token_t(coord_t{grid, row, col, 1, 1, 1}); }

range_t cells(int32_t r1, int32_t c1, int32_t r2, int32_t c2, int32_t grid = 0, uint8_t rabs = 0, uint8_t cabs = 0) {
    return {{grid, r1, c1, 1, rabs, cabs}, {grid, r2, c2, 1, rabs, cabs}};
}

struct table_access : vex::mta::document_model_access {
    std::unordered_set<range_t> ranges;
    mutable std::vector<std::string> asked;
    unsigned get_reference_mode() const override { return 3; }
    std::string get_sheet_name(unsigned) const override { return "Sheet1"; }
    std::unordered_set<range_t> resolve_table_reference(const coord_t&, std::string_view first, uint32_t items,
                                                        std::string_view second,
                                                        std::string_view third) const override {
        asked.assign({std::string(first), std::to_string(items), std::string(second), std::string(third)});
        return ranges;
    }
    unsigned get_sheet_grid_id(std::string_view) const override { return 0; }
    unsigned get_grid_id(std::string_view, std::string_view, std::string_view) const override { return 0; }
};

struct interpreter_test : ::testing::Test {
    Table table{{}, 100, 20};
    formula_model_context& context = table.get_formula_model()->context();
    formula_cell cell{&context, coord_t{0, 5, 3, 1, 0, 0}, "formula"};  // C5

    const operand_t& run(std::vector<token_t> tokens) {
        cell.tokens = std::move(tokens);
        formula_interpreter(&cell).evaluate();
        EXPECT_TRUE(cell.stored_value().has_value());
        return *cell.stored_value();
    }
    double number(std::vector<token_t> tokens) {
        const operand_t& v = run(std::move(tokens));
        EXPECT_EQ(v.index(), operand_t::number_index);
        return v.index() == operand_t::number_index ? std::get<double>(v) : NAN;
    }
    formula_error error(std::vector<token_t> tokens) {
        const operand_t& v = run(std::move(tokens));
        EXPECT_EQ(v.index(), operand_t::error_index);
        return v.index() == operand_t::error_index ? std::get<formula_error>(v) : formula_error(0u);
    }
    void define(const char* n, std::vector<token_t> tokens) {
        context.get_name_store()->add({n, vex::mta::workbook_scope}, "", std::move(tokens));
    }
};

} // namespace

TEST_F(interpreter_test, precedence_and_grouping) {
    const struct {
        std::vector<token_t> tokens;
        double expected;
    } cases[] = {
        {{num(1), op(300), num(2), op(302), num(3)}, 7},                             // 1+2*3
        {{op(100), num(1), op(300), num(2), op(101), op(302), num(3)}, 9},           // (1+2)*3
        {{num(2), op(305), num(3), op(305), num(2)}, 64},                            // 2^3^2
        {{op(304), num(2), op(305), num(2)}, 4},                                     // -2^2
        {{num(10), op(301), num(2), op(301), num(3)}, 5},                            // 10-2-3
        {{num(50), op(306)}, 0.5},                                                   // 50%
        {{op(304), op(304), num(3)}, 3},                                             // --3
        {{op(100), num(1), op(101), op(301), num(2)}, -1},                           // (1)-2
        {{str("3"), op(301), num(1)}, 2},                                            // "3"-1
        {{str(""), op(300), str("")}, 0},                                            // ""+""
        {{num(1), op(300), num(2), op(400), num(3), op(300), num(0)}, NAN},          // 1+2=3+0 is TRUE
    };
    for (const auto& c : cases) {
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::get<bool>(run(c.tokens)));
            continue;
        }
        EXPECT_EQ(number(c.tokens), c.expected);
    }
    EXPECT_NEAR(number({num(2), op(305), num(0.5)}), std::sqrt(2.0), 1e-12);
}

// "+" where an operand is due changes nothing; TRUE and FALSE without a call are constants.
TEST_F(interpreter_test, unary_plus_and_boolean_words) {
    const uint32_t true_id = lookup_function_id("TRUE"), false_id = lookup_function_id("FALSE");
    std::vector<token_t> pluses(100000, op(op_add));
    pluses.push_back(num(4));
    EXPECT_EQ(number(pluses), 4);
    EXPECT_EQ(number({op(op_add), op(op_neg), op(op_add), num(2), op(op_mul), op(op_add), num(3)}), -6);  // +-+2*+3
    EXPECT_EQ(std::get<bool>(run({fn(true_id)})), true);
    EXPECT_EQ(std::get<bool>(run({op(op_add), fn(false_id)})), false);
    EXPECT_EQ(number({fn(true_id), op(op_add), fn(true_id)}), 2);
    EXPECT_EQ(error({num(1), op(op_add)}).code(), 3u);  // a plus with nothing after it still wants an operand
}

TEST_F(interpreter_test, error_values_end_the_evaluation) {
    EXPECT_EQ(error({str(""), op(300), num(1)}).code(), 3u);
    EXPECT_EQ(error({num(1), op(303), token_t(false)}).code(), 2u);
    // (-8)^(1/3)
    EXPECT_EQ(error({op(100), op(304), num(8), op(101), op(305), op(100), num(1), op(303), num(3), op(101)}).code(), 6u);
    EXPECT_EQ(error({num(1), op(300), num(1), op(303), num(0)}).code(), 2u);  // 1+1/0

    const struct {
        std::vector<token_t> tokens;
        uint32_t code;
        const char* text;
    } cases[] = {
        {{op(104), num(1), op(108), num(2), op(105)}, 3, "An error ocured while interpreting constant array."},
        {{token_t(cells(1, 1, 2, 2))}, 3, "#VALUE"},            // A1:B2
        {{rel(1, 1), op(201), rel(1, 2)}, 3, "#VALUE"},         // A1,B1
        {{num(1), op(300)}, 3, "#VALUE"},                       // ends where an operand is due
        {{op(100), num(1), num(2)}, 11, "incomplete paren."},
        {{op(104)}, 3, "An error ocured while interpreting constant array."},
    };
    for (const auto& c : cases) {
        const formula_error e = error(c.tokens);
        EXPECT_EQ(e.code(), c.code) << c.text;
        EXPECT_EQ(e.message(), c.text);
    }
}

TEST_F(interpreter_test, names_expand_in_place) {
    define("two", {num(1), op(300), num(1)});
    define("four", {name("two"), op(302), name("two")});
    EXPECT_EQ(number({name("four"), op(301), num(1)}), 3);  // (1+1)*(1+1)-1

    // Each name reading the next twice: 2^59, each name worked out once.
    for (int i = 59; i >= 0; --i) {
        const std::string next = "n" + std::to_string(i + 1);
        define(("n" + std::to_string(i)).c_str(), i == 59 ? std::vector<token_t>{num(1)}
                                                          : std::vector<token_t>{name(next.c_str()), op(300), name(next.c_str())});
    }
    EXPECT_EQ(number({name("n0")}), std::ldexp(1.0, 59));

    // A name deleted after the formula was parsed.
    context.get_name_store()->erase({"two", vex::mta::workbook_scope});
    for (auto tokens : {std::vector<token_t>{name("two")}, std::vector<token_t>{num(1), op(300), name("two")}}) {
        const formula_error e = error(tokens);
        EXPECT_EQ(e.code(), 4u);
        EXPECT_EQ(e.message(), "undefined name");
    }
}

TEST_F(interpreter_test, hostile_nesting_ends_in_an_error_value) {
    define("self", {num(1), op(300), name("self")});
    define("ping", {name("pong")});
    define("pong", {op(304), name("ping")});
    EXPECT_EQ(error({name("self")}).code(), 4u);
    EXPECT_EQ(error({num(2), op(302), name("ping")}).code(), 4u);

    std::vector<token_t> deep;
    for (int i = 0; i < 100000; ++i) deep.push_back(op(100));
    deep.push_back(num(1));
    for (int i = 0; i < 100000; ++i) deep.push_back(op(101));
    EXPECT_EQ(error(deep).code(), 3u);

    std::vector<token_t> minus(100000, op(304));
    minus.push_back(num(1));
    EXPECT_EQ(error(minus).code(), 3u);

    std::vector<token_t> fine(999, op(100));
    fine.push_back(num(1));
    fine.insert(fine.end(), 999, op(101));
    EXPECT_EQ(number(fine), 1);
}

TEST_F(interpreter_test, results_of_other_kinds) {
    const auto& empty_array = run({op(104), op(105)});
    ASSERT_EQ(empty_array.index(), operand_t::matrix_index);
    EXPECT_EQ(std::get<matrix_t>(empty_array).size().row, 1u);

    EXPECT_EQ(std::get<std::string>(run({str("ab")})), "ab");
    EXPECT_EQ(std::get<range_t>(run({rel(1, 1)})), cells(5, 3, 5, 3));

    // Nothing to compute keeps the earlier value.
    cell.tokens.clear();
    formula_interpreter(&cell).evaluate();
    EXPECT_EQ(std::get<range_t>(*cell.stored_value()), cells(5, 3, 5, 3));
}

TEST_F(interpreter_test, what_the_engine_does_not_compute_is_thrown) {
    cell.tokens = {num(1), op(300), fn(321), op(100), op(101)};  // 1+NOW()
    formula_interpreter now(&cell);
    EXPECT_EQ(what_of<std::runtime_error>([&] { now.evaluate(); }), "unsupported parameter combination");
    EXPECT_EQ(cell.volatile_flag, 1);
    EXPECT_FALSE(cell.stored_value().has_value());

    cell.tokens = {rel(1, 1), op(202), rel(1, 2)};  // A1 B1
    formula_interpreter intersection(&cell);
    EXPECT_EQ(what_of<std::runtime_error>([&] { intersection.evaluate(); }), "unsupported parameter combination");
    EXPECT_EQ(intersection.error_code(), 13u);

    cell.tokens = {rel(1, 1, 1), op(200), rel(1, 2, 2)};  // two grids
    formula_interpreter region(&cell);
    EXPECT_EQ(what_of<formula_error>([&] { region.evaluate(); }), "Type mismatch, region operation cannot be performed.");
    cell.tokens = {num(1), op(200), rel(1, 2)};
    EXPECT_THROW(formula_interpreter(&cell).evaluate(), formula_error);
}

TEST_F(interpreter_test, relative_references_wrap_around_the_grid) {
    const struct {
        token_t token;
        range_t expected;
    } cases[] = {
        {rel(1048575, 1), cells(3, 3, 3, 3)},                     // row 5 - 2
        {rel(3, 1), cells(7, 3, 7, 3)},                           // row 5 + 2
        {rel(1048576 - 5 + 1, 16384 - 3 + 1), cells(1048576, 16384, 1048576, 16384)},  // the last cell
        {abs(9, 4), cells(9, 4, 9, 4, 0, 1, 1)},                  // absolute: the origin plays no part
        {rel(1, 1, 7), cells(5, 3, 5, 3, 7)},                     // the reference's own grid
        {rel(-5, -1), cells(1048575, 1, 1048575, 1)},               // hostile offsets still land on the grid
    };
    for (const auto& c : cases) {
        cell.tokens = {c.token};
        formula_interpreter(&cell).get_reference_tokens();
        ASSERT_EQ(cell.reference_tokens.size(), 1u);
        EXPECT_EQ(cell.reference_tokens[0].opcode, op_range_ref);
        EXPECT_EQ(std::get<range_t>(cell.reference_tokens[0].operand), c.expected);
    }
}

TEST_F(interpreter_test, range_operator_bounds_two_cells) {
    define("b3", {abs(3, 2)});
    define("a5", {abs(5, 1)});
    EXPECT_EQ(std::get<range_t>(run({name("b3"), op(200), name("a5")})), cells(3, 1, 5, 2));
    // The entry of the right operand now holds the bounding range.
    ASSERT_EQ(cell.reference_tokens.size(), 2u);
    EXPECT_EQ(std::get<range_t>(cell.reference_tokens[1].operand), cells(3, 1, 5, 2));
    EXPECT_EQ(cell.tokens[2].opcode, op_name);
}

TEST_F(interpreter_test, the_walk_lists_every_cell_reference) {
    define("stamp", {fn(321), op(100), op(101)});
    cell.tokens = {rel(1, 1), op(300), rel(1, 1), op(300), token_t(cells(1, 1, 2, 2)), op(300), name("stamp")};
    formula_interpreter(&cell).get_reference_tokens();
    ASSERT_EQ(cell.reference_tokens.size(), 3u);
    EXPECT_EQ(std::get<range_t>(cell.reference_tokens[1].operand), cells(5, 3, 5, 3));
    // The range token too, its relative corners taken from the formula's cell.
    EXPECT_EQ(std::get<range_t>(cell.reference_tokens[2].operand), cells(5, 3, 6, 4));
    EXPECT_EQ(cell.volatile_flag, 1);
}

TEST_F(interpreter_test, structured_references_resolve_through_the_context) {
    auto* access = new table_access;
    table.set_document_access(access);
    const token_t ref(structured_reference_t{"Sales", "Amount", "Total", 4});

    access->ranges = {cells(2, 1, 9, 1)};
    EXPECT_EQ(std::get<range_t>(run({ref})), cells(2, 1, 9, 1));
    EXPECT_EQ(access->asked, (std::vector<std::string>{"Sales", "4", "Amount", "Total"}));
    EXPECT_EQ(std::get<range_t>(run({ref, op(200), rel(12, 1)})), cells(2, 1, 16, 3, 0));

    access->ranges = {cells(2, 1, 9, 1), cells(2, 3, 9, 3)};
    EXPECT_EQ(std::get<range_set_t>(run({ref})).size(), 2u);
    EXPECT_TRUE(cell.reference_tokens.empty());
}

TEST(expression_syntax, complete_and_incomplete_lists) {
    const auto r = [](int32_t rows, int32_t cols) { return token_t(coord_t{0, rows, cols, 1, 0, 0}); };
    const uint32_t true_id = lookup_function_id("TRUE"), false_id = lookup_function_id("FALSE");
    const struct {
        std::vector<token_t> tokens;
        bool complete;
    } cases[] = {
        {{fn(420), op(100), token_t(cells(2, 1, 3, 1)), op(101)}, true},                    // SUM(A2:A3)
        {{fn(209), op(100), r(1, 1), op(110), op(110), num(1), op(101)}, true},             // IF(A1,,1)
        {{op(304), op(100), num(1), op(101)}, true},                                        // -(1)
        {{op(104), num(1), op(108), num(2), op(109), num(3), op(108), num(4), op(105)}, true},
        {{name("x"), op(306), op(202), token_t(structured_reference_t{})}, true},
        {{fn(321), op(100), op(101)}, true},
        {{fn(true_id)}, true},                                                              // TRUE
        {{fn(true_id), op(op_open_paren), op(op_close_paren)}, true},                       // TRUE()
        {{op(op_open_array), fn(true_id), op(op_array_col_sep), fn(false_id), op(op_close_array)}, true},
        {{op(op_add), num(1)}, true},                                                       // +1
        {{op(op_neg), op(op_add), num(1)}, true},                                           // -+1
        {{num(1), op(op_mul), op(op_add), num(1)}, true},                                   // 1*+1
        {{op(op_add)}, false},                                                              // +
        {{fn(true_id), num(1)}, false},
        {{num(1), op(300)}, false},                                                         // 1+
        {{num(2), op(302)}, false},
        {{op(100), num(1), op(300), num(2)}, false},                                        // (1+2
        {{op(100), num(1), op(101), op(100), num(2), op(101)}, false},                      // (1)(2)
        {{fn(420), num(1)}, false},
        {{op(104), num(1), op(300), num(2), op(105)}, false},
        {{}, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(is_complete_expression(cases[i].tokens), cases[i].complete) << i;

    std::vector<token_t> deep(100000, op(100));
    deep.push_back(num(1));
    deep.insert(deep.end(), 100000, op(101));
    EXPECT_FALSE(is_complete_expression(deep));
}
