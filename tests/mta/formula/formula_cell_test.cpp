#include "mta/formula/formula_cell.h"

#include "errors.h"
#include "mta/formula/formula_model_context.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "tests/mta/table/formula_model/book_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <variant>
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

// Only a cached text read with its escapes goes back as read: a result set
// or calculated after it is escaped anew.
TEST_F(formula_cell_test, a_cached_text_keeps_its_escapes_until_a_new_result) {
    const std::string read = "c_x0000_d";
    cell.set_result(vex::mta::cell_t::value_type{std::string_view(read)}, true);
    EXPECT_TRUE(cell.result_escapes_kept());
    cell.set_result(vex::mta::cell_t::value_type{static_cast<vex::mta::formula::formula_cell*>(nullptr)});
    EXPECT_TRUE(cell.result_escapes_kept()) << "no result: the cached one stays";
    cell.set_result(vex::mta::cell_t::value_type{std::string_view(read)});
    EXPECT_FALSE(cell.result_escapes_kept());
    cell.set_result(vex::mta::cell_t::value_type{std::string_view(read)}, true);
    evaluate({num(2)});
    EXPECT_FALSE(cell.result_escapes_kept());
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

// A run that computes nothing stores nothing, whatever an earlier run computed.
TEST_F(formula_cell_test, a_run_without_tokens_stores_no_earlier_value) {
    evaluate({num(2), op(op_mul), num(4)});
    ASSERT_TRUE(cell.has_result());
    cell.clear_result();
    evaluate({});
    EXPECT_FALSE(cell.has_result());
    EXPECT_FALSE(cell.stored_value().has_value());
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

// Formulas as a host writes them, set in column B and evaluated where they stand.
// A1 holds 5 and A2 the text "a"; the text of each formula stays as written.
TEST(formula_cell_results, unary_plus_and_boolean_constants) {
    formula_model_test::book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_num(1, 1, 5));
    ASSERT_TRUE(t.set_text(2, 1, "a"));
    const struct {
        const char* text;
        formula_result_t expected;
    } cases[] = {
        {"+1", 1.0},          {"+1+2", 3.0},        {"2*+3", 6.0},        {"-+1", -1.0},
        {"(+1)", 1.0},        {"-(+1)", -1.0},      {"1++2", 3.0},        {"+50%", 0.5},
        {"++-+2", -2.0},      {"+A1", 5.0},         {"A1", 5.0},          {"+A2", std::string("a")},
        {"+(+A1)", 5.0},      {"TRUE", true},       {"FALSE", false},     {"true", true},
        {"TRUE+1", 2.0},      {"-TRUE", -1.0},      {"+FALSE", false},    {"TRUE=FALSE", false},
        {"(TRUE)*3", 3.0},    {"FALSE<TRUE", true}, {"1/FALSE", formula_error(2u)},
    };
    int row = 0;
    for (const auto& c : cases) {
        ++row;
        ASSERT_TRUE(t.set_formula(row, 2, c.text)) << c.text;
        formula_cell* cell = t.get_formula_cell(row, 2);
        ASSERT_TRUE(cell->parsed) << c.text;
        cell->evaluate();
        ASSERT_TRUE(cell->has_result()) << c.text;
        const formula_result_t& got = *cell->result();
        ASSERT_EQ(got.index(), c.expected.index()) << c.text;
        if (const auto* number = std::get_if<double>(&c.expected)) {
            EXPECT_EQ(std::get<double>(got), *number) << c.text;
        } else if (const auto* flag = std::get_if<bool>(&c.expected)) {
            EXPECT_EQ(std::get<bool>(got), *flag) << c.text;
        } else if (const auto* text = std::get_if<std::string>(&c.expected)) {
            EXPECT_EQ(std::get<std::string>(got), *text);
        } else {
            EXPECT_EQ(std::get<formula_error>(got).code(), std::get<formula_error>(c.expected).code()) << c.text;
        }
        EXPECT_EQ(cell->expression(), c.text);
    }

    // A call of TRUE is still a call of a function the engine does not compute.
    ASSERT_TRUE(t.set_formula(30, 2, "TRUE()"));
    EXPECT_THROW(t.get_formula_cell(30, 2)->evaluate(), std::runtime_error);
    EXPECT_FALSE(t.get_formula_cell(30, 2)->has_result());
}

// A formula coming to a range gives a cell's value only when the range is one
// cell ("-": no result).
TEST(formula_cell_results, only_a_one_cell_range_gives_a_value) {
    formula_model_test::book_t book;
    Table& t = book.add("Sheet1");
    ASSERT_TRUE(t.set_num(1, 1, 5));
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {{"(A1):(B1)", "-"}, {"(A1):(A2)", "-"}, {"(A1):(A1)", "5"}};
    int row = 10;
    for (const auto& c : cases) {
        ASSERT_TRUE(t.set_formula(++row, 3, c.text)) << c.text;
        formula_cell* cell = t.get_formula_cell(row, 3);
        cell->evaluate();
        const double* value = cell->has_result() ? std::get_if<double>(&*cell->result()) : nullptr;
        EXPECT_EQ(cell->has_result() ? (value ? std::to_string(int(*value)) : "other") : "-", c.expected) << c.text;
    }
}

} // namespace
