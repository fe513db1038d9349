#include "mta/table/cell/cell_getters.h"

#include "datetime.h"

#include "mta/formula/formula_cell.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "run_message.h"
#include "sheet_limits.h"

#include <exception>
#include <string>

namespace vex::mta::cell_getters {

namespace {

bool inside_limits(int row, int col) {
    const auto& limits = get_sheet_limits();
    return limits.valid_row(row) && limits.valid_col(col);
}

// The cached result of a formula cell, null for any other cell or no result.
const formula::formula_result_t* result_of(const cell_t& cell) {
    if (cell.kind() != cell_value_kind::formula) return nullptr;
    const auto& result = std::get<formula::formula_cell*>(*cell.value())->result();
    return result ? &*result : nullptr;
}

// Runs a getter; an exception leaves its text and gives `failed`.
template <class T, class F>
T guarded(T failed, F&& get) {
    try {
        return get();
    } catch (const std::exception& e) {
        set_run_message(e.what());
        return failed;
    }
}

// A shared formula's follower holds no text of its own: its master's, read
// at the follower's cell. Valid until the cell changes.
const char* follower_text(const Table& table, const cell_t& cell) {
    if (cell.kind() != cell_value_kind::formula) return nullptr;
    const formula::formula_cell& f = *std::get<formula::formula_cell*>(*cell.value());
    formula::table_formula_model* model = table.get_formula_model();
    std::optional<std::string> text = model ? model->shared_text(f) : std::nullopt;
    return text ? model->keep_follower_text(f.position(), std::move(*text)) : nullptr;
}

template <class T>
T refused(std::string_view message, T failed) {
    set_run_message(message);
    return failed;
}

} // namespace

int cell_type(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return -1;
    return guarded(-1, [&] {
        const int type = int(table.get_cell(row, col).get_cell_type());
        return type >= 1 && type <= 6 ? type - 1 : -1;
    });
}

double get_num(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return refused("Illegal row or column number.", 0.0);
    return guarded(0.0, [&] {
        const cell_t cell = table.get_cell(row, col);
        if (const auto n = cell.get_num()) return *n;
        if (const auto* r = result_of(cell); r && std::holds_alternative<double>(*r)) return std::get<double>(*r);
        // A date result is a number too, as a date value is.
        if (const auto* r = result_of(cell); r && std::holds_alternative<vex::datetime_t>(*r))
            return ticks_to_serial(std::get<vex::datetime_t>(*r));
        return refused("The cell does not contain a numerical value or is a formula cell that has not been "
                       "calculated yet.",
                       0.0);
    });
}

const char* get_text(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded<const char*>(nullptr, [&]() -> const char* {
        const cell_t cell = table.get_cell(row, col);
        // Pool texts are NUL-terminated strings that never move.
        if (const auto text = cell.get_text()) return text->data() ? text->data() : "";
        if (const auto* r = result_of(cell); r && std::holds_alternative<std::string>(*r))
            return std::get<std::string>(*r).c_str();
        return refused<const char*>(
            "The cell does not contain a string value or is a formula cell that has not been calculated yet.",
            nullptr);
    });
}

bool get_boolean(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return false;
    return guarded(false, [&] {
        const cell_t cell = table.get_cell(row, col);
        if (const auto b = cell.get_boolean()) return *b;
        if (const auto* r = result_of(cell); r && std::holds_alternative<bool>(*r)) return std::get<bool>(*r);
        return refused("The cell does not contain a boolean value or is a formula cell that has not been "
                       "calculated yet.",
                       false);
    });
}

double get_datetime(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return 0.0;
    return guarded(0.0, [&] {
        cell_t cell = table.get_cell(row, col);
        if (const auto* r = result_of(cell); r && std::holds_alternative<vex::datetime_t>(*r))
            return ticks_to_serial(std::get<vex::datetime_t>(*r));
        // A number result under a date format: the cell says it is a date.
        if (const auto* r = result_of(cell);
            r && std::holds_alternative<double>(*r) && cell.get_cell_type() == cell_type_values::datetime) {
            const double serial = std::get<double>(*r);
            if (!serial_fits_ticks(serial)) return refused("Invalid numeric value.", 0.0);
            return ticks_to_serial(serial_to_ticks(serial));
        }
        if (cell.kind() != cell_value_kind::formula) {
            // A date-formatted number past the date range would read back clamped.
            if (const auto n = cell.get_num(); n && !serial_fits_ticks(*n) && cell.get_datetime())
                return refused("Invalid numeric value.", 0.0);
            if (const auto when = cell.get_datetime()) return ticks_to_serial(*when);
        }
        return refused("The cell does not contain a datetime value.", 0.0);
    });
}

std::unique_ptr<richtext_t> get_richtext(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded<std::unique_ptr<richtext_t>>(nullptr, [&]() -> std::unique_ptr<richtext_t> {
        if (const richtext_t* rich = table.get_cell(row, col).get_richtext())
            return std::make_unique<richtext_t>(*rich);
        return refused<std::unique_ptr<richtext_t>>("The cell does not contain a rich text.", nullptr);
    });
}

const char* get_formula_expr(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded<const char*>(nullptr, [&]() -> const char* {
        // A formula's text is a whole std::string, so its view ends in a NUL.
        const cell_t cell = table.get_cell(row, col);
        const std::string_view text = cell.get_formula_expr();
        if (!text.empty()) return text.data();
        if (const char* follower = follower_text(table, cell)) return follower;
        return refused<const char*>("The cell does not contain a formula.", nullptr);
    });
}

int get_error(const Table& table, int row, int col) {
    if (!inside_limits(row, col)) return -1;
    return guarded(-1, [&] {
        const cell_t cell = table.get_cell(row, col);
        if (const auto e = cell.get_error()) return int(*e) > 8 ? 7 : int(*e) + 1;
        if (cell.kind() != cell_value_kind::formula) return 0;
        if (const auto* r = result_of(cell); r && std::holds_alternative<formula::formula_error>(*r))
            return int(std::get<formula::formula_error>(*r).to_error_value()) + 1;
        return refused("The cell is a formula cell that has not been calculated yet", -1);
    });
}

} // namespace vex::mta::cell_getters
