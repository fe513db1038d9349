#pragma once
// A formula cell as the cell store keeps it: its position and its formula text.
// The store's formula block owns it; the formula engine fills in the rest.

#include "coord.h"

#include <string>
#include <string_view>

namespace vex::mta::formula {

class formula_cell {
public:
    formula_cell(const vex::coord_t& position, std::string expression)
        : position_(position), expression_(std::move(expression)) {}
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

private:
    vex::coord_t position_;
    std::string expression_;
};

} // namespace vex::mta::formula
