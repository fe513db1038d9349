#pragma once
// A sheet's formula model. The table makes it over the table's model context and
// owns both. Until the engine stands, the model files formula cells and keeps
// their texts and results; parsing a text into tokens, registering its references
// with the dependency tracker and recalculating are the engine's, at the places
// marked below.

#include "coord.h"
#include "mta/formula/formula_model_context.h"

#include <string_view>
#include <unordered_set>

namespace vex::mta::formula {

class formula_cell;

class table_formula_model {
public:
    explicit table_formula_model(formula_model_context& context) : context_(&context) {}
    formula_model_context& context() const noexcept { return *context_; }

    // Makes the formula cell of a host's text at the position and files it.
    // Engine: parse the text into the cell's tokens, track its references.
    void set_formula(const vex::coord_t& position, std::string_view text);
    // Files a cell built by the sheet reader. Engine: as above.
    void set_formula(formula_cell* cell);
    // Engine: recalculates the cells that depend on the ranges; evaluate false
    // only marks them.
    void recalc(const std::unordered_set<vex::range_t>& ranges, bool evaluate);

    // Forgets the formula cells of the range. The store calls it before it erases
    // or overwrites them, so a dying cell never has to reach back into a column
    // that mdds is in the middle of changing; the store then deletes the cells.
    void remove_formulas(const vex::range_t&) {}

private:
    formula_model_context* context_;
};

} // namespace vex::mta::formula
