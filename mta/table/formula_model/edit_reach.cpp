#include "mta/table/formula_model/edit_reach.h"

#include "mta/formula/function_table.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/utils/band_shift.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <variant>

namespace vex::mta::formula {

namespace {

template <size_t N>
bool calls_one_of(const token_t& t, const uint32_t (&ids)[N]) {
    return t.opcode == op_function &&
           std::find(std::begin(ids), std::end(ids), std::get<uint32_t>(t.operand)) != std::end(ids);
}

// Functions whose answer depends on where a cell stands, not only on what it holds.
bool reads_position(const token_t& t) {
    static const uint32_t ids[] = {lookup_function_id("ROW"), lookup_function_id("COLUMN"),
                                   lookup_function_id("CELL"), lookup_function_id("ADDRESS")};
    return calls_one_of(t, ids);
}

// Functions that name cells by a computed position or text: what they read
// cannot be told from the formula.
bool reads_computed_reference(const token_t& t) {
    static const uint32_t ids[] = {lookup_function_id("OFFSET"), lookup_function_id("INDIRECT")};
    return calls_one_of(t, ids);
}

} // namespace

bool edit_reach_t::drops(model_context& context, const vex::coord_t& from, const vex::coord_t& to,
                         const std::vector<token_t>* tokens, std::string_view text) const {
    std::vector<token_t> lenient;
    if (!tokens) {
        lenient = read_leniently(context, from, text);
        tokens = &lenient;
    }
    if (shift_changes_reading(context, from, tokens, text, grid, shift, false)) return true;
    if (!named.empty() && names_any_of(*tokens, named)) return true;
    if (std::any_of(tokens->begin(), tokens->end(), reads_computed_reference)) return true;
    if (std::none_of(tokens->begin(), tokens->end(), reads_position)) return false;
    // ROW() gives its own cell's row; ROW(A5) gives A5's, which the edit may move.
    if (from.row != to.row || from.col != to.col) return true;
    return std::any_of(tokens->begin(), tokens->end(), [&](const token_t& t) {
        return token_on_grid(t, grid) && shift.reaches(reference_range(t, from));
    });
}

} // namespace vex::mta::formula
