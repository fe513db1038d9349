#pragma once
// A sheet's formula model and the formula engine's view of the sheet. The table
// makes both over itself and owns them.

#include "coord.h"

namespace vex::mta {
class Table;
}

namespace vex::mta::formula {

class formula_model_context {
public:
    explicit formula_model_context(Table& table) : table_(&table) {}
    Table& table() const noexcept { return *table_; }

private:
    Table* table_;
};

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
