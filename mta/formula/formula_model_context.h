#pragma once
// The model context of one sheet's cell store. The table makes it and outlives it;
// it forwards to the table and, through the table, to the document.

#include "mta/formula/model_context.h"

namespace vex::mta::formula {

class formula_model_context final : public model_context {
public:
    explicit formula_model_context(Table* table) : table_(table) {}

    Table& table() const noexcept { return *table_; }

    uint32_t get_reference_mode() const override;
    bool is_arg_separator(char c) const override;
    bool is_array_row_separator(char c) const override;
    bool is_array_col_separator(char c) const override;
    std::string_view get_table_name() const override;
    // Empty for a table without document access.
    std::string get_sheet_name() const override;
    // The own sheet's extent, whatever the argument.
    vex::range_t get_sheet_size(int32_t sheet) const override;
    bool sheet_exists(int32_t sheet) const override;
    Table* get_sheet(int32_t sheet) const override;
    bool get_grid_id(uint32_t& id, std::string_view first, std::string_view second,
                     std::string_view third) const override;
    int32_t get_sheet_id() const override;
    // 0 for a table without document access.
    uint32_t get_sheet_grid_id(std::string_view sheet_name) const override;
    std::vector<uint32_t> get_span_grids(uint32_t first, uint32_t last) const override;
    // Told from the three sheets' places: a span costs nothing of its width.
    bool span_holds(uint32_t first, uint32_t last, uint32_t grid) const override;
    bool has_named_expression(const defined_name_key_t& key) const override;
    defined_name_store_t* get_name_store() const override;
    const defined_name_entry_t* get_named_expression(const defined_name_key_t& key) const override;
    std::optional<cell_t::value_type> get_cell_value(uint32_t row, uint32_t col) const override;
    matrix_t get_range_value(const vex::range_t& range) const override;
    range_set_t resolve_table_reference(const vex::coord_t& position, std::string_view first, uint32_t items,
                                        std::string_view second, std::string_view third) const override;
    std::string table_at(int32_t row, int32_t col) const override;
    table_formula_model* get_formula_model() const override;
    void store_formula_cell(formula_cell* cell) override;
    // The grid id of the position is not looked at: this sheet's cell, or null.
    formula_cell* get_formula_cell(const vex::coord_t& position) const override;
    void remove_formula_at(const vex::coord_t& position) override;

private:
    Table* table_;
};

} // namespace vex::mta::formula
