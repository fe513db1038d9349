#include "mta/formula/formula_cell.h"

#include "errors.h"
#include "mta/formula/formula_model_context.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::range_t;
using vex::mta::Table;

namespace {

token_t num(double v) { return token_t(v); }
token_t op(int32_t opcode) { return token_t(opcode); }
token_t ref(int32_t row, int32_t col) { return token_t(coord_t{0, row, col, 1, 1, 1}); }

struct formula_cell_test : ::testing::Test {
    Table table{{}, 100, 20};
    formula_model_context& context = table.get_formula_model()->context();
    formula_cell cell{&context, coord_t{0, 5, 3, 1, 0, 0}, "formula"};

    void evaluate(std::vector<token_t> tokens) {
        cell.tokens = std::move(tokens);
        cell.evaluate();
    }
};

TEST_F(formula_cell_test, new_cell_and_cached_results) {
    EXPECT_FALSE(cell.has_result());
    EXPECT_EQ(cell.result_type(), 0);
    EXPECT_EQ(cell.state(), formula_cell_state::created);
    EXPECT_EQ(cell.parsed, 0);

    cell.set_result(vex::mta::cell_t::value_type{static_cast<vex::mta::error_value_enum>(1)});
    ASSERT_TRUE(cell.has_result());
    EXPECT_EQ(std::get<formula_error>(*cell.result()).code(), 2u);
    EXPECT_EQ(cell.result_type(), 6);

    auto matrix = std::make_shared<const matrix_t>(2, 2);
    cell.set_result(formula_result_t{matrix});
    try {
        (void)cell.result_type();
        FAIL() << "a matrix result has no cell type";
    } catch (const ::formula_exception& e) {
        EXPECT_TRUE(std::string_view(e.what()).ends_with("The value type of the formula cannot be an array."));
    }
    cell.clear_result();
    EXPECT_EQ(cell.result_type(), 0);
}

TEST_F(formula_cell_test, formula_range_of_array_and_plain_formulas) {
    formula_attributes_t array;
    array.type = 2;
    array.ref = {{2, 1, 1, 1, 0, 0}, {2, 3, 2, 1, 0, 0}};
    formula_cell a(coord_t{2, 1, 1, 1, 0, 0}, "1", array);
    EXPECT_EQ(a.formula_range(), array.ref);

    for (uint32_t type : {0u, 1u}) {
        formula_attributes_t attributes;
        attributes.type = type;
        attributes.shared_index = 4;
        formula_cell c(coord_t{2, 4, 3, 0, 1, 1}, "1", attributes);
        const coord_t c4{2, 4, 3, 1, 0, 0};
        EXPECT_EQ(c.formula_range(), (range_t{c4, c4}));
    }
}

TEST_F(formula_cell_test, evaluation_stores_final_values_and_keeps_non_values) {
    evaluate({num(2), op(op_add), num(3)});
    ASSERT_TRUE(cell.has_result());
    EXPECT_EQ(std::get<double>(*cell.result()), 5.0);

    // No tokens, a range as the final value, a failing run: the result stays.
    evaluate({});
    EXPECT_EQ(std::get<double>(*cell.result()), 5.0);
    evaluate({ref(1, 1)});
    EXPECT_EQ(std::get<double>(*cell.result()), 5.0);
    EXPECT_THROW(evaluate({num(1), op(op_range), ref(1, 2)}), formula_error);
    EXPECT_EQ(std::get<double>(*cell.result()), 5.0);

    // The lock was released by the failure.
    evaluate({token_t("ab")});
    EXPECT_EQ(std::get<std::string>(*cell.result()), "ab");
    EXPECT_EQ(cell.result_type(), 3);
    evaluate({num(1), op(op_div), num(0)});
    EXPECT_EQ(cell.result_type(), 6);
}

TEST_F(formula_cell_test, reference_tokens_are_one_cell_ranges) {
    cell.tokens = {ref(1, 1), op(op_add), ref(2, 4)};
    const auto& refs = cell.get_reference_tokens();
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(std::get<range_t>(refs[0].operand).first.row, 1);
    EXPECT_EQ(std::get<range_t>(refs[1].operand).last.col, 4);
    EXPECT_FALSE(cell.has_result());
}

TEST_F(formula_cell_test, evaluations_of_one_cell_are_serialised) {
    cell.tokens = {num(2), op(op_mul), num(4)};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) cell.evaluate();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::get<double>(*cell.result()), 8.0);
}

} // namespace
