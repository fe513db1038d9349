#include "mta/formula/formula_model_context.h"

#include "errors.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/table_definition/tabledef.h"
#include "mta/types/document_model_access.h"
#include "sheet_limits.h"

#include <algorithm>

namespace vex::mta::formula {

namespace {

// Every reference mode the parser knows (1 to 4) separates the same way; any
// other recognises no separator at all.
bool separates(uint32_t mode) noexcept {
    return mode >= 1 && mode <= 4;
}

} // namespace

uint32_t formula_model_context::get_reference_mode() const {
    return table_->get_reference_mode();
}

bool formula_model_context::is_arg_separator(char c) const {
    return c == ',' && separates(get_reference_mode());
}

bool formula_model_context::is_array_row_separator(char c) const {
    return c == ';' && separates(get_reference_mode());
}

bool formula_model_context::is_array_col_separator(char c) const {
    return is_arg_separator(c);
}

std::string_view formula_model_context::get_table_name() const {
    return table_->name();
}

std::string formula_model_context::get_sheet_name() const {
    std::string name;
    table_->get_sheet_name(name);
    return name;
}

vex::range_t formula_model_context::get_sheet_size(int32_t) const {
    const auto& limits = get_sheet_limits();
    const auto id = get_sheet_id();
    const auto rows = static_cast<int32_t>(table_->row_count());
    const auto cols = static_cast<int32_t>(table_->col_count());
    return {{id, std::min(limits.first_row, rows), std::min(limits.first_col, cols), 1, 0, 0},
            {id, std::max(limits.first_row, rows), std::max(limits.first_col, cols), 1, 0, 0}};
}

bool formula_model_context::sheet_exists(int32_t sheet) const {
    return get_sheet(sheet) != nullptr;
}

Table* formula_model_context::get_sheet(int32_t sheet) const {
    return find_table_by_grid_id(sheet);
}

bool formula_model_context::get_grid_id(uint32_t& id, std::string_view first, std::string_view second,
                                        std::string_view third) const {
    unsigned found = 0;
    if (!table_->resolve_grid_id(&found, first, second, third)) return false;
    id = found;
    return true;
}

int32_t formula_model_context::get_sheet_id() const {
    return static_cast<int32_t>(table_->sheet_id());
}

uint32_t formula_model_context::get_sheet_grid_id(std::string_view sheet_name) const {
    const auto* access = table_->get_document_access();
    return access ? access->get_sheet_grid_id(sheet_name) : 0;
}

std::vector<uint32_t> formula_model_context::get_span_grids(uint32_t first, uint32_t last) const {
    const auto* access = table_->get_document_access();
    return access ? access->get_sheet_span(first, last) : std::vector<uint32_t>{first, last};
}

bool formula_model_context::span_holds(uint32_t first, uint32_t last, uint32_t grid) const {
    if (grid == first || grid == last) return true;
    const auto* access = table_->get_document_access();
    if (!access) return false;
    const uint32_t a = access->get_sheet_position(first), b = access->get_sheet_position(last);
    // A span lacking an end reads its two ends alone.
    if (a == UINT32_MAX || b == UINT32_MAX) return false;
    const uint32_t at = access->get_sheet_position(grid);
    return at != UINT32_MAX && at >= std::min(a, b) && at <= std::max(a, b);
}

bool formula_model_context::has_named_expression(const defined_name_key_t& key) const {
    const auto* names = table_->get_defined_names();
    return names && names->contains(key);
}

defined_name_store_t* formula_model_context::get_name_store() const {
    return table_->get_defined_names();
}

const defined_name_entry_t* formula_model_context::get_named_expression(const defined_name_key_t& key) const {
    const auto* names = table_->get_defined_names();
    return names ? names->find(key) : nullptr;
}

std::optional<cell_t::value_type> formula_model_context::get_cell_value(uint32_t row, uint32_t col) const {
    return cell_t(table_, static_cast<int>(row), static_cast<int>(col)).value();
}

matrix_t formula_model_context::get_range_value(const vex::range_t& range) const {
    return table_->get_range_value(range);
}

range_set_t formula_model_context::resolve_table_reference(const vex::coord_t& position, std::string_view first,
                                                           uint32_t items, std::string_view second,
                                                           std::string_view third) const {
    const auto* access = table_->get_document_access();
    if (!access) return {};
    return access->resolve_table_reference(position, first, items, second, third);
}

std::string formula_model_context::table_at(int32_t row, int32_t col) const {
    for (const auto& [name, table] : table_->tabledefs().all())
        if (table->range().holds({0, row, col, 0, 0, 0})) return std::string(table->display_name());
    return {};
}

table_formula_model* formula_model_context::get_formula_model() const {
    return table_->get_formula_model();
}

void formula_model_context::store_formula_cell(formula_cell* cell) {
    if (cell) table_->store_formula_cell(cell);
}

formula_cell* formula_model_context::get_formula_cell(const vex::coord_t& position) const {
    return table_->get_formula_cell(position.row, position.col);
}

void formula_model_context::remove_formula_at(const vex::coord_t& position) {
    const vex::coord_t cell{position.grid_id, position.row, position.col, 1, 0, 0};
    table_->get_formula_model()->remove_formulas({cell, cell});
}

} // namespace vex::mta::formula
