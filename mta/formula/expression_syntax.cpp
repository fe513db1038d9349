#include "mta/formula/expression_syntax.h"

#include "mta/formula/function_table.h"

#include <cstddef>

namespace vex::mta::formula {

namespace {

// Deeper nesting is refused rather than followed: no list may exhaust the stack.
constexpr int max_nesting = 1000;

bool is_infix(int32_t op) noexcept {
    return (op >= op_range && op <= op_intersect) || (op >= op_add && op <= op_div) || op == op_pow ||
           (op >= 400 && op <= 499);
}

bool is_operand(int32_t op) noexcept {
    return (op >= op_number && op <= op_name) || op == op_function || op == op_matrix;
}

bool is_constant(int32_t op) noexcept {
    return op >= op_number && op <= op_datetime;
}

// "+" and "-" may lead any operand: "+A1", "-+1", "A1*+1".
bool is_sign(int32_t op) noexcept { return op == op_neg || op == op_add || op == op_sub; }

bool is_bare_boolean(const token_t& token) noexcept {
    if (token.opcode != op_function) return false;
    const auto* id = std::get_if<uint32_t>(&token.operand);
    return id && is_bare_function(*id);
}

class syntax_walk {
public:
    explicit syntax_walk(std::span<const token_t> tokens) : tokens_(tokens) {}

    bool complete() { return expression(0) && at_ == tokens_.size(); }

private:
    int32_t peek() const noexcept { return at_ < tokens_.size() ? tokens_[at_].opcode : 0; }
    bool take(int32_t op) noexcept {
        if (peek() != op || at_ == tokens_.size()) return false;
        ++at_;
        return true;
    }

    // Operands joined by infix operators; each may carry prefix signs and
    // trailing percent signs.
    bool expression(int depth) {
        if (depth > max_nesting) return false;
        for (;;) {
            while (at_ < tokens_.size() && is_sign(peek())) ++at_;
            if (!operand(depth)) return false;
            while (take(op_percent)) {
            }
            if (at_ == tokens_.size() || !is_infix(peek())) return true;
            ++at_;
        }
    }

    bool operand(int depth) {
        if (at_ == tokens_.size()) return false;
        const int32_t op = peek();
        if (is_operand(op)) {
            ++at_;
            if (op != op_function) return true;
            if (peek() != op_open_paren && is_bare_boolean(tokens_[at_ - 1])) return true;
            return arguments(depth);
        }
        if (take(op_open_paren)) return expression(depth + 1) && take(op_close_paren);
        if (take(op_open_array)) return array();
        return false;
    }

    // "(", arguments separated by 110, each of which may be empty, and ")".
    bool arguments(int depth) {
        if (!take(op_open_paren)) return false;
        for (;;) {
            if (peek() != op_arg_sep && peek() != op_close_paren && !expression(depth + 1)) return false;
            if (take(op_close_paren)) return true;
            if (!take(op_arg_sep)) return false;
        }
    }

    // Constants, each optionally signed, in rows of columns; "{}" is an array too.
    bool array() {
        if (take(op_close_array)) return true;
        for (;;) {
            while (at_ < tokens_.size() && is_sign(peek())) ++at_;
            if (at_ == tokens_.size() || !(is_constant(peek()) || is_bare_boolean(tokens_[at_]))) return false;
            ++at_;
            if (take(op_close_array)) return true;
            if (!take(op_array_col_sep) && !take(op_array_row_sep)) return false;
        }
    }

    std::span<const token_t> tokens_;
    size_t at_ = 0;
};

} // namespace

bool is_complete_expression(std::span<const token_t> tokens) {
    return syntax_walk(tokens).complete();
}

} // namespace vex::mta::formula
