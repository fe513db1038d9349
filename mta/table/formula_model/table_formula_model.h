#pragma once
// A sheet's formula model. The table makes it over the table's model context and
// owns both.

#include "coord.h"
#include "mta/formula/formula_model_context.h"

namespace vex::mta::formula {

class table_formula_model {
public:
    explicit table_formula_model(formula_model_context& context) : context_(&context) {}
    formula_model_context& context() const noexcept { return *context_; }

    // Forgets the formula cells of the range. The store calls it before it erases
    // or overwrites them, so a dying cell never has to reach back into a column
    // that mdds is in the middle of changing; the store then deletes the cells.
    void remove_formulas(const vex::range_t&) {}

private:
    formula_model_context* context_;
};

} // namespace vex::mta::formula
