#include "mta/formula/formula_cell.h"

#include "errors.h"
#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_interpreter.h"
#include "mta/formula/model_context.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"

#include <mutex>

namespace vex::mta::formula {

namespace {

template <class... F>
struct overloaded : F... {
    using F::operator()...;
};
template <class... F>
overloaded(F...) -> overloaded<F...>;

} // namespace

int formula_cell::result_type() const {
    if (!result_) return int(cell_type_values::uncalculated);
    if (std::holds_alternative<std::shared_ptr<const matrix_t>>(*result_))
        throw formula_exception("The value type of the formula cannot be an array.");
    static constexpr cell_type_values types[] = {cell_type_values::number, cell_type_values::text,
                                                 cell_type_values::boolean, cell_type_values::datetime,
                                                 cell_type_values::uncalculated, cell_type_values::error};
    return int(types[result_->index()]);
}

void formula_cell::set_result(const std::optional<cell_t::value_type>& value, bool escapes_kept) {
    if (!value) return;
    std::visit(overloaded{
                   [&](int32_t v) { result_ = double(v); },
                   [&](int64_t v) { result_ = double(v); },
                   [&](double v) { result_ = v; },
                   [&](std::string_view v) { result_ = std::string(v); },
                   [&](const vex::datetime_t& v) { result_ = vex::datetime_t{v.ticks, -1, v.flag}; },
                   [&](bool v) { result_ = v; },
                   [&](formula_cell*) {},
                   [&](error_value_enum v) { result_ = formula_error(v); },
               },
               *value);
    if (!std::holds_alternative<formula_cell*>(*value))
        result_escapes_kept_ = escapes_kept && std::holds_alternative<std::string_view>(*value);
    regained__();
}

void formula_cell::unpark__() {
    parked_ = 0;
    if (state_ == formula_cell_state::registered) get_cell_tracker().unpark(formula_range());
}

void formula_cell::take_value_of__(const vex::coord_t& c) {
    Table* sheet = find_table_by_grid_id(c.grid_id);
    // Another formula's result may be in the making on another thread: it is no value here.
    if (!sheet || sheet->get_formula_cell(c.row, c.col)) return;
    set_result(cell_t(sheet, c.row, c.col).value());
}

void formula_cell::evaluate() {
    std::lock_guard lock(mutex_);
    // A value left from an earlier run must not pass for this run's.
    value_.reset();
    formula_interpreter(this).evaluate();
    if (!value_) return;
    const operand_t& value = *value_;
    switch (value.index()) {
    case operand_t::number_index: set_result(formula_result_t(std::get<double>(value))); break;
    case operand_t::boolean_index: set_result(formula_result_t(std::get<bool>(value))); break;
    case operand_t::text_index: set_result(formula_result_t(std::get<std::string>(value))); break;
    case operand_t::datetime_index: {
        const auto& v = std::get<vex::datetime_t>(value);
        set_result(formula_result_t(vex::datetime_t{v.ticks, -1, v.flag}));
        break;
    }
    case operand_t::cell_index: take_value_of__(std::get<vex::coord_t>(value)); break;
    case operand_t::range_index: {
        // A formula that is one cell reference ("A1", "+A1") reaches here as a
        // one-cell range and stands for that cell's value.
        const auto& r = std::get<vex::range_t>(value);
        if (r.first.grid_id == r.last.grid_id && r.first.row == r.last.row && r.first.col == r.last.col)
            take_value_of__(r.first);
        break;
    }
    case operand_t::name_index:
    case operand_t::function_index: throw formula_exception("Fatal error: Calculation not yet completed");
    case operand_t::error_index: set_result(formula_result_t(std::get<formula_error>(value))); break;
    default: break;  // ranges, tables and matrices are no final value
    }
    regained__();
}

const std::vector<token_t>& formula_cell::get_reference_tokens() {
    formula_interpreter(this).get_reference_tokens();
    return reference_tokens;
}

std::vector<vex::range_t> formula_cell::reference_ranges() {
    return formula_interpreter(this).reference_ranges();
}

vex::range_t formula_cell::formula_range() const noexcept {
    if (attributes().type == 2) return attributes().ref;
    const vex::coord_t corner{position_.grid_id, position_.row, position_.col, 1, 0, 0};
    return {corner, corner};
}

} // namespace vex::mta::formula
