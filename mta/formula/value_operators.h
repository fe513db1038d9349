#pragma once
// The two-operand operators of the formula engine: arithmetic and comparisons over
// operand_t values. Each returns a new value and leaves its operands alone; error
// values are results, not exceptions. Unary minus and percent multiply.

#include "mta/formula/token.h"

#include <cstdint>

namespace vex::mta::formula {

enum class arith_op : uint8_t { add, subtract, multiply, divide, power };

// A finite double as a number, anything else as error code 6.
operand_t number_result(double value);

// Empty matrices of the right operand's size for matrix pairs the engine does not
// compute; std::bad_variant_access when the right operand is no matrix.
operand_t matrix_operation(const operand_t& left, const operand_t& right);

operand_t value_add(const operand_t& left, const operand_t& right);
operand_t value_subtract(const operand_t& left, const operand_t& right);
operand_t value_multiply(const operand_t& left, const operand_t& right);
operand_t value_divide(const operand_t& left, const operand_t& right);
operand_t value_power(const operand_t& left, const operand_t& right);
operand_t value_equal(const operand_t& left, const operand_t& right);
operand_t value_not_equal(const operand_t& left, const operand_t& right);
operand_t value_less(const operand_t& left, const operand_t& right);
operand_t value_greater(const operand_t& left, const operand_t& right);
operand_t value_less_equal(const operand_t& left, const operand_t& right);
operand_t value_greater_equal(const operand_t& left, const operand_t& right);

// The text of every failure for value kinds the engine does not combine.
[[noreturn]] void throw_unsupported_combination();

} // namespace vex::mta::formula
