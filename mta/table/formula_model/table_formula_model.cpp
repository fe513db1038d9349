#include "mta/table/formula_model/table_formula_model.h"

#include "mta/formula/formula_cell.h"
#include "mta/table/table/table.h"

#include <memory>
#include <string>

namespace vex::mta::formula {

void formula_model_context::store_formula_cell(formula_cell* cell) {
    table_->store_formula_cell(cell);
}

formula_cell* formula_model_context::get_formula_cell(int row, int col) const {
    return table_->get_formula_cell(row, col);
}

void table_formula_model::set_formula(const vex::coord_t& position, std::string_view text) {
    auto cell = std::make_unique<formula_cell>(position, std::string(text));
    context_->store_formula_cell(cell.get());
    cell.release();  // owned by its column now
}

void table_formula_model::set_formula(formula_cell* cell) {
    context_->store_formula_cell(cell);
}

void table_formula_model::recalc(const std::unordered_set<vex::range_t>&, bool) {}

} // namespace vex::mta::formula
