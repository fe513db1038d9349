#pragma once
// A formula cell as the cell store keeps it: its position and its formula text.
// The store's formula block owns it; the formula engine fills in the rest.

#include "coord.h"
#include "mta/formula/token.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::mta::formula {

class model_context;

class formula_cell {
public:
    formula_cell(const vex::coord_t& position, std::string expression)
        : position_(position), expression_(std::move(expression)) {}
    // A cell the interpreter can evaluate: it reads the sheet through `owner`.
    formula_cell(model_context* owner, const vex::coord_t& position, std::string_view expression)
        : owner_(owner), position_(position), expression_(expression) {}
    formula_cell(const formula_cell&) = delete;
    formula_cell& operator=(const formula_cell&) = delete;

    const vex::coord_t& position() const noexcept { return position_; }
    int row() const noexcept { return position_.row; }
    int col() const noexcept { return position_.col; }
    // The store moves a cell it owns, as when a merge gathers it into the top-left.
    void set_position(const vex::coord_t& position) noexcept { position_ = position; }

    std::string_view expression() const noexcept { return expression_; }

    // Public cell type of the result: 0 while nothing has been calculated.
    int result_type() const noexcept { return 0; }

    model_context* owner() const noexcept { return owner_; }

    // The interpreter's final value; what each kind becomes as the cell's result is
    // the result store's to decide.
    void store_value(operand_t value) { value_ = std::move(value); }
    const std::optional<operand_t>& stored_value() const noexcept { return value_; }

    std::vector<token_t> tokens;            // the parsed expression
    std::vector<token_t> reference_tokens;  // one-cell ranges of its cell references
    uint8_t volatile_flag = 0;              // set when the formula calls NOW

private:
    model_context* owner_ = nullptr;
    vex::coord_t position_;
    std::string expression_;
    std::optional<operand_t> value_;
};

} // namespace vex::mta::formula
