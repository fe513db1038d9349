#include "mta/table/formula_model/table_formula_model.h"

#include "mta/formula/formula_cell.h"

#include <memory>
#include <string>

namespace vex::mta::formula {

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
