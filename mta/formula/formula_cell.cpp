#include "mta/formula/formula_cell.h"

namespace vex::mta::formula {

namespace {

template <class... F>
struct overloaded : F... {
    using F::operator()...;
};
template <class... F>
overloaded(F...) -> overloaded<F...>;

} // namespace

int formula_cell::result_type() const noexcept {
    if (!result_) return int(cell_type_values::uncalculated);
    static constexpr cell_type_values types[] = {cell_type_values::number, cell_type_values::text,
                                                 cell_type_values::boolean, cell_type_values::datetime,
                                                 cell_type_values::error};
    return int(types[result_->index()]);
}

void formula_cell::set_result(const std::optional<cell_t::value_type>& value) {
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
}

} // namespace vex::mta::formula
