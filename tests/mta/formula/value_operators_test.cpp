#include "mta/formula/value_operators.h"

#include "datetime.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <variant>

using namespace vex::mta::formula;

namespace {

using op_fn = operand_t (*)(const operand_t&, const operand_t&);

const op_fn arithmetic_ops[] = {value_add, value_subtract, value_multiply, value_divide, value_power};
const op_fn ordering_ops[] = {value_less, value_greater, value_less_equal, value_greater_equal};

operand_t text(const char* s) {
    return operand_t(std::in_place_type<std::string>, s);
}

uint32_t error_code(const operand_t& v) {
    const auto* e = std::get_if<formula_error>(&v);
    return e ? e->code() : 0;
}

matrix_t::size_pair_type size_of(const operand_t& v) {
    return std::get<matrix_t>(v).size();
}

} // namespace

TEST(value_operators, arithmetic_reads_booleans_and_texts_as_numbers) {
    const struct {
        op_fn op;
        operand_t left, right;
        double expected;
    } cases[] = {
        {value_subtract, text("3"), 1.0, 2.0},
        {value_subtract, 1.0, text("3"), -2.0},
        {value_add, text(""), text(""), 0.0},  // an empty text is 0 only beside a text
        {value_add, true, true, 2.0},
        {value_multiply, text("2.5"), text("4"), 10.0},
        {value_power, 2.0, 3.0, 8.0},
        {value_divide, 7.0, true, 7.0},
    };
    for (const auto& c : cases) {
        const operand_t got = c.op(c.left, c.right);
        ASSERT_EQ(got.index(), operand_t::number_index);
        EXPECT_EQ(std::get<double>(got), c.expected);
    }
    EXPECT_NEAR(std::get<double>(value_power(2.0, 0.5)), std::sqrt(2.0), 1e-12);
}

TEST(value_operators, arithmetic_failures_are_error_values) {
    const struct {
        op_fn op;
        operand_t left, right;
        uint32_t code;
    } cases[] = {
        {value_add, text(""), 1.0, 3},
        {value_add, true, text(""), 3},
        {value_divide, 1.0, false, 2},  // the divisor reads as 0
        {value_divide, 0.0, 0.0, 2},
        {value_divide, 1.0, text("0"), 2},
        {value_power, -8.0, 1.0 / 3.0, 6},  // NaN from pow
        {value_multiply, 1e308, 10.0, 6},
        {value_power, 0.0, -1.0, 6},
        {value_add, 1.0, INFINITY, 6},
    };
    for (const auto& c : cases) EXPECT_EQ(error_code(c.op(c.left, c.right)), c.code);
}

TEST(value_operators, date_times_stay_date_times) {
    const vex::datetime_t day = vex::serial_to_ticks(45000.25);
    const operand_t later = value_add(day, 1.0);
    ASSERT_EQ(later.index(), operand_t::datetime_index);
    EXPECT_EQ(std::get<vex::datetime_t>(later).ticks, day.ticks + vex::ticks_per_day);

    const operand_t difference = value_subtract(day, vex::serial_to_ticks(44990.0));
    ASSERT_EQ(difference.index(), operand_t::datetime_index);
    EXPECT_DOUBLE_EQ(vex::ticks_to_serial(std::get<vex::datetime_t>(difference)), 10.25);

    EXPECT_EQ(error_code(value_add(day, text(""))), 3u);
    // Results that are not finite or that the codec cannot hold never become ticks.
    EXPECT_EQ(error_code(value_multiply(day, 1e300)), 6u);
    EXPECT_EQ(error_code(value_power(day, 1e10)), 6u);
    EXPECT_EQ(error_code(value_divide(day, 0.0)), 2u);
}

TEST(value_operators, comparisons_of_scalars) {
    const vex::datetime_t day = vex::serial_to_ticks(100.0);
    const struct {
        op_fn op;
        operand_t left, right;
        bool expected;
    } cases[] = {
        {value_equal, 1.0, true, false},
        {value_not_equal, 1.0, true, true},
        {value_equal, text("1"), 1.0, false},
        {value_equal, text("A"), text("a"), false},
        {value_less, text("A"), text("a"), true},
        {value_less, text("ab"), text("abc"), true},
        {value_greater, text("b"), text("abc"), true},
        {value_less, text("z"), text("\xC3\xA9"), true},  // bytes compare unsigned
        {value_less, 5.0, text("x"), true},
        {value_less, text("x"), true, true},
        {value_greater, true, 100.0, true},
        {value_less, day, text(""), true},
        {value_less_equal, 5.0, text("x"), true},  // different kinds never equal
        {value_greater_equal, 5.0, text("x"), false},
        {value_equal, 100.0, day, true},
        {value_less, 99.5, day, true},
        {value_less, false, true, true},
        {value_equal, std::nan(""), std::nan(""), false},
        {value_less_equal, std::nan(""), 1.0, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const operand_t got = c.op(c.left, c.right);
        ASSERT_EQ(got.index(), operand_t::boolean_index) << i;
        EXPECT_EQ(std::get<bool>(got), c.expected) << i;
    }
}

TEST(value_operators, an_error_operand_is_the_result_left_first) {
    const operand_t left_error = formula_error(2u), right_error = formula_error(7u);
    for (op_fn op : {value_add, value_divide, value_equal, value_not_equal, value_less}) {
        EXPECT_EQ(error_code(op(left_error, right_error)), 2u);
        EXPECT_EQ(error_code(op(1.0, right_error)), 7u);
        EXPECT_EQ(error_code(op(matrix_t(2, 2), right_error)), 7u);
        EXPECT_EQ(error_code(op(left_error, vex::coord_t{})), 2u);
    }
    // 1/0=1
    EXPECT_EQ(error_code(value_equal(value_divide(1.0, 0.0), 1.0)), 2u);
}

TEST(value_operators, references_and_names_are_not_combined) {
    const vex::coord_t cell{1, 1, 1, 1, 0, 0};
    const operand_t others[] = {cell, vex::range_t{cell, cell}, range_set_t{}, named_expression_t{"x", 1},
                                structured_reference_t{}, operand_t(uint32_t(420))};
    for (const auto& other : others) {
        for (op_fn op : arithmetic_ops)
            EXPECT_EQ(what_of<std::runtime_error>([&] { op(1.0, other); }), "unsupported parameter combination");
        for (op_fn op : ordering_ops)
            EXPECT_EQ(what_of<std::runtime_error>([&] { op(other, text("a")); }), "unsupported parameter combination");
        EXPECT_FALSE(std::get<bool>(value_equal(other, other)));
        EXPECT_TRUE(std::get<bool>(value_not_equal(matrix_t(1, 1), other)));
    }
}

TEST(value_operators, matrices_give_empty_matrices_or_refuse) {
    const operand_t small = matrix_t(2, 3), big = matrix_t(4, 5);
    for (op_fn op : arithmetic_ops) {
        const auto size = size_of(op(small, big));
        EXPECT_EQ(size.row, 4u);
        EXPECT_EQ(size.column, 5u);
        EXPECT_THROW(op(text("1"), big), std::bad_variant_access);
        EXPECT_THROW(op(big, 1.0), std::bad_variant_access);
    }
    for (op_fn op : ordering_ops) {
        EXPECT_EQ(size_of(op(text("a"), big)).row, 4u);
        EXPECT_EQ(size_of(op(true, small)).column, 3u);
        EXPECT_THROW(op(1.0, big), std::bad_variant_access);
    }
    EXPECT_FALSE(std::get<bool>(value_equal(text("a"), big)));
    EXPECT_TRUE(std::get<bool>(value_not_equal(text("a"), big)));
    EXPECT_THROW(value_equal(1.0, big), std::bad_variant_access);
    EXPECT_THROW(value_equal(true, big), std::bad_variant_access);
    EXPECT_THROW(value_equal(big, text("a")), std::bad_variant_access);
    EXPECT_TRUE(std::get<matrix_t>(value_add(small, big)).get_type(3, 4) == mdds::mtm::element_empty);
    EXPECT_THROW(matrix_operation(vex::coord_t{}, big), std::bad_variant_access);
    EXPECT_THROW(matrix_operation(big, 1.0), std::bad_variant_access);
}
