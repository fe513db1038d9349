#include "mta/formula/value_operators.h"

#include "datetime.h"
#include "text_utils.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <variant>

namespace vex::mta::formula {

namespace {

using index_t = size_t;

// What an operator does with a pair of alternatives, chosen once per pair.
enum class rule_t : uint8_t { scalar, reference, matrix_matrix, scalar_matrix, matrix_scalar, error_left, error_right };

constexpr bool is_reference_kind(index_t i) noexcept {
    return i >= operand_t::cell_index && i <= operand_t::function_index;
}

constexpr rule_t rule_of(index_t left, index_t right) noexcept {
    // An error operand is the result, the left one first.
    if (left == operand_t::error_index) return rule_t::error_left;
    if (right == operand_t::error_index) return rule_t::error_right;
    if (is_reference_kind(left) || is_reference_kind(right)) return rule_t::reference;
    if (left == operand_t::matrix_index)
        return right == operand_t::matrix_index ? rule_t::matrix_matrix : rule_t::matrix_scalar;
    if (right == operand_t::matrix_index) return rule_t::scalar_matrix;
    return rule_t::scalar;
}

constexpr size_t kinds = std::variant_size_v<operand_t::variant>;

constexpr auto rules = [] {
    std::array<std::array<rule_t, kinds>, kinds> table{};
    for (index_t l = 0; l < kinds; ++l)
        for (index_t r = 0; r < kinds; ++r) table[l][r] = rule_of(l, r);
    return table;
}();

rule_t rule_for(const operand_t& left, const operand_t& right) noexcept {
    return rules[left.index()][right.index()];
}

enum class compare_op : uint8_t { eq, ne, lt, gt, le, ge };

bool is_ordering(compare_op op) noexcept {
    return op != compare_op::eq && op != compare_op::ne;
}

// ---- numeric readings -------------------------------------------------------------

bool is_text(const operand_t& v) noexcept {
    return v.index() == operand_t::text_index;
}

bool is_datetime(const operand_t& v) noexcept {
    return v.index() == operand_t::datetime_index;
}

std::optional<double> reading(const operand_t& v, bool empty_text_is_zero) {
    switch (v.index()) {
    case operand_t::number_index:
        return std::get<double>(v);
    case operand_t::boolean_index:
        return std::get<bool>(v) ? 1.0 : 0.0;
    case operand_t::text_index: {
        const std::string& text = std::get<std::string>(v);
        if (text.empty() && empty_text_is_zero) return 0.0;
        return vex::parse_double(text);
    }
    case operand_t::datetime_index:
        return vex::ticks_to_serial(std::get<vex::datetime_t>(v));
    default:
        return std::nullopt;
    }
}

double apply(arith_op op, double a, double b) {
    switch (op) {
    case arith_op::add:
        return a + b;
    case arith_op::subtract:
        return a - b;
    case arith_op::multiply:
        return a * b;
    case arith_op::divide:
        return a / b;
    case arith_op::power:
        return std::pow(a, b);
    }
    throw std::runtime_error("unsupported argument operation.");
}

operand_t scalar_arith(arith_op op, const operand_t& left, const operand_t& right) {
    // An empty text counts as 0 only beside another text.
    const bool both_texts = is_text(left) && is_text(right);
    const auto a = reading(left, both_texts);
    const auto b = reading(right, both_texts);
    if (!a || !b) return formula_error(3u);
    if (op == arith_op::divide && *b == 0.0) return formula_error(2u);
    const double result = apply(op, *a, *b);
    if (is_datetime(left) || is_datetime(right)) {
        // No serial outside the codec's range reaches the tick conversion.
        if (!vex::serial_fits_ticks(result)) return formula_error(6u);
        return vex::serial_to_ticks(result);
    }
    return number_result(result);
}

// ---- comparisons --------------------------------------------------------------------

template <class T>
bool holds(compare_op op, const T& a, const T& b) {
    switch (op) {
    case compare_op::eq:
        return a == b;
    case compare_op::ne:
        return a != b;
    case compare_op::lt:
        return a < b;
    case compare_op::gt:
        return a > b;
    case compare_op::le:
        return a <= b;
    case compare_op::ge:
        return a >= b;
    }
    return false;
}

// Bytes compare as unsigned, then the shorter text is the smaller.
int compare_texts(std::string_view a, std::string_view b) noexcept {
    const size_t n = std::min(a.size(), b.size());
    if (n != 0)
        if (const int c = std::memcmp(a.data(), b.data(), n); c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Different kinds never equal; ordered as numbers, then texts, then booleans.
int kind_rank(const operand_t& v) noexcept {
    switch (v.index()) {
    case operand_t::text_index:
        return 1;
    case operand_t::boolean_index:
        return 2;
    default:
        return 0;
    }
}

bool scalar_compare(compare_op op, const operand_t& left, const operand_t& right) {
    const auto l = left.index(), r = right.index();
    if (l == operand_t::datetime_index && r == operand_t::datetime_index)
        return holds(op, std::get<vex::datetime_t>(left).ticks, std::get<vex::datetime_t>(right).ticks);
    const bool l_numeric = l == operand_t::number_index || l == operand_t::datetime_index;
    const bool r_numeric = r == operand_t::number_index || r == operand_t::datetime_index;
    if (l_numeric && r_numeric) return holds(op, *reading(left, false), *reading(right, false));
    if (l == r && l == operand_t::boolean_index) return holds(op, std::get<bool>(left), std::get<bool>(right));
    if (l == r && l == operand_t::text_index)
        return holds(op, compare_texts(std::get<std::string>(left), std::get<std::string>(right)), 0);
    switch (op) {
    case compare_op::eq:
        return false;
    case compare_op::ne:
        return true;
    case compare_op::lt:
    case compare_op::le:
        return kind_rank(left) < kind_rank(right);
    case compare_op::gt:
    case compare_op::ge:
        return kind_rank(left) > kind_rank(right);
    }
    return false;
}

// ---- the two operator families ----------------------------------------------------

const operand_t* error_operand(rule_t rule, const operand_t& left, const operand_t& right) noexcept {
    return rule == rule_t::error_left ? &left : rule == rule_t::error_right ? &right : nullptr;
}

operand_t arithmetic(arith_op op, const operand_t& left, const operand_t& right) {
    const rule_t rule = rule_for(left, right);
    if (const operand_t* error = error_operand(rule, left, right)) return *error;
    switch (rule) {
    case rule_t::scalar:
        return scalar_arith(op, left, right);
    case rule_t::matrix_matrix:
        return matrix_operation(left, right);
    case rule_t::scalar_matrix:
    case rule_t::matrix_scalar:
        throw std::bad_variant_access();
    default:
        break;
    }
    throw_unsupported_combination();
}

operand_t comparison(compare_op op, const operand_t& left, const operand_t& right) {
    const rule_t rule = rule_for(left, right);
    if (const operand_t* error = error_operand(rule, left, right)) return *error;
    switch (rule) {
    case rule_t::scalar:
        return scalar_compare(op, left, right);
    case rule_t::matrix_matrix:
        return matrix_operation(left, right);
    case rule_t::scalar_matrix:
        if (is_ordering(op)) {
            if (left.index() == operand_t::number_index) throw std::bad_variant_access();
            return matrix_operation(left, right);
        }
        if (is_text(left)) return op == compare_op::ne;
        throw std::bad_variant_access();
    case rule_t::matrix_scalar:
        throw std::bad_variant_access();
    default:
        if (!is_ordering(op)) return op == compare_op::ne;
        break;
    }
    throw_unsupported_combination();
}

} // namespace

void throw_unsupported_combination() {
    throw std::runtime_error("unsupported parameter combination");
}

operand_t number_result(double value) {
    if (!std::isfinite(value)) return formula_error(6u);
    return value;
}

operand_t matrix_operation(const operand_t& left, const operand_t& right) {
    if (left.index() == operand_t::cell_index) throw std::bad_variant_access();
    const auto size = std::get<matrix_t>(right).size();
    return matrix_t(size.row, size.column);
}

operand_t value_add(const operand_t& l, const operand_t& r) { return arithmetic(arith_op::add, l, r); }
operand_t value_subtract(const operand_t& l, const operand_t& r) { return arithmetic(arith_op::subtract, l, r); }
operand_t value_multiply(const operand_t& l, const operand_t& r) { return arithmetic(arith_op::multiply, l, r); }
operand_t value_divide(const operand_t& l, const operand_t& r) { return arithmetic(arith_op::divide, l, r); }
operand_t value_power(const operand_t& l, const operand_t& r) { return arithmetic(arith_op::power, l, r); }
operand_t value_equal(const operand_t& l, const operand_t& r) { return comparison(compare_op::eq, l, r); }
operand_t value_not_equal(const operand_t& l, const operand_t& r) { return comparison(compare_op::ne, l, r); }
operand_t value_less(const operand_t& l, const operand_t& r) { return comparison(compare_op::lt, l, r); }
operand_t value_greater(const operand_t& l, const operand_t& r) { return comparison(compare_op::gt, l, r); }
operand_t value_less_equal(const operand_t& l, const operand_t& r) { return comparison(compare_op::le, l, r); }
operand_t value_greater_equal(const operand_t& l, const operand_t& r) { return comparison(compare_op::ge, l, r); }

} // namespace vex::mta::formula
