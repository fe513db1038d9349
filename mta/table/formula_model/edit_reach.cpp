#include "mta/table/formula_model/edit_reach.h"

#include "mta/formula/formula_interpreter.h"
#include "mta/formula/function_table.h"
#include "mta/formula/model_context.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/utils/band_shift.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>
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

bool reads_its_place(const std::vector<token_t>* tokens) {
    if (!tokens) return true;
    return std::any_of(tokens->begin(), tokens->end(), [](const token_t& t) {
        return reads_position(t) || reads_computed_reference(t) ||
               (t.opcode == op_table_ref && std::get<structured_reference_t>(t.operand).items == 2);
    });
}

int last_row_read(model_context& context, const vex::coord_t& from, const std::vector<token_t>& tokens,
                  bool* by_table) {
    constexpr int unsure = std::numeric_limits<int>::max();
    int last = 0;
    for (const token_t& t : tokens) {
        switch (t.opcode) {
        case op_cell_ref:
        case op_range_ref: {
            if (t.names[0] || t.names[1] || t.names[2]) return unsure;
            const vex::range_t r = reference_range(t, from);
            if (spans_sheets(r)) return unsure;
            if (r.first.grid_id == from.grid_id) last = std::max({last, r.first.row, r.last.row});
            continue;
        }
        case op_range_set:
        case op_name:
        case op_matrix:
            return unsure;
        case op_function:
            if (reads_computed_reference(t) || is_volatile_function(std::get<uint32_t>(t.operand))) return unsure;
            continue;
        case op_table_ref: {
            // The whole table, whatever part is named: a part may grow into the rest.
            const auto& ref = std::get<structured_reference_t>(t.operand);
            const range_set_t all = context.resolve_table_reference(from, ref.table, 16 /* #All */, {}, {});
            if (all.size() != 1 || all.begin()->first.grid_id != from.grid_id) return unsure;
            last = std::max({last, all.begin()->first.row, all.begin()->last.row});
            if (by_table) *by_table = true;
            continue;
        }
        default:
            continue;
        }
    }
    return last;
}

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

bool edit_reach_t::keeps_own_record(model_context& context, const vex::coord_t& from,
                                    const std::vector<token_t>& tokens) const {
    if (!shift.rows || shift.reaches({from, from})) return false;
    bool reads_record = false;
    for (const token_t& t : tokens) {
        switch (t.opcode) {
        case op_cell_ref:
        case op_range_ref:
        case op_range_set:
        case op_name:
        case op_matrix:
            return false;
        case op_function:
            if (reads_position(t) || reads_computed_reference(t)) return false;
            continue;
        case op_table_ref:
            break;
        default:
            continue;
        }
        const auto& ref = std::get<structured_reference_t>(t.operand);
        if (ref.items != 2) return false;
        if (last_data_.first.row == 0 || ref.table != last_table_) {
            const range_set_t data = context.resolve_table_reference(from, ref.table, 4, {}, {});
            if (data.size() != 1) return false;
            last_table_ = ref.table;
            last_data_ = *data.begin();
        }
        if (last_data_.first.grid_id != from.grid_id || !last_data_.holds(from)) return false;
        vex::range_t record = last_data_;
        record.first.row = record.last.row = from.row;
        if (shift.reaches(record)) return false;
        reads_record = true;
    }
    return reads_record;
}

} // namespace vex::mta::formula
