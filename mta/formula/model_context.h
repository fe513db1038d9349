#pragma once
// The formula engine's only view of a sheet: the parser, the resolvers, the
// interpreter, formula cells and the formula model reach the sheet, the workbook's
// defined names and other sheets through it alone.

#include "coord.h"
#include "mta/formula/token.h"
#include "mta/table/cell/cell.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::mta {
class Table;
class defined_name_store_t;
struct defined_name_key_t;
struct defined_name_entry_t;
} // namespace vex::mta

namespace vex::mta::formula {

class formula_cell;
class table_formula_model;

class model_context {
public:
    // 3 for A1 references, 4 for R1C1.
    virtual uint32_t get_reference_mode() const = 0;
    virtual bool is_arg_separator(char c) const = 0;
    virtual bool is_array_row_separator(char c) const = 0;
    virtual bool is_array_col_separator(char c) const = 0;
    virtual std::string_view get_table_name() const = 0;
    virtual std::string get_sheet_name() const = 0;
    virtual vex::range_t get_sheet_size(int32_t sheet) const = 0;
    virtual bool sheet_exists(int32_t sheet) const = 0;
    virtual Table* get_sheet(int32_t sheet) const = 0;
    // The grid of a reference qualified by up to three names; an empty third name
    // means this sheet. False when the names cannot be resolved; id is then untouched.
    virtual bool get_grid_id(uint32_t& id, std::string_view first, std::string_view second,
                             std::string_view third) const = 0;
    virtual int32_t get_sheet_id() const = 0;
    // The grid id of the workbook's sheet of that name, ASCII case ignored; 0 when
    // there is none. A context that sees no workbook knows no sheet.
    virtual uint32_t get_sheet_grid_id(std::string_view) const { return 0; }
    // The grids of the workbook's sheets from the one of `first` to the one of
    // `last`, in the workbook's order; the two alone when it lacks either.
    virtual std::vector<uint32_t> get_span_grids(uint32_t first, uint32_t last) const { return {first, last}; }
    // Whether `grid` is among get_span_grids(first, last), without listing them.
    virtual bool span_holds(uint32_t first, uint32_t last, uint32_t grid) const {
        const std::vector<uint32_t> grids = get_span_grids(first, last);
        return std::find(grids.begin(), grids.end(), grid) != grids.end();
    }
    virtual bool has_named_expression(const defined_name_key_t& key) const = 0;
    virtual defined_name_store_t* get_name_store() const = 0;
    virtual const defined_name_entry_t* get_named_expression(const defined_name_key_t& key) const = 0;
    virtual std::optional<cell_t::value_type> get_cell_value(uint32_t row, uint32_t col) const = 0;
    virtual matrix_t get_range_value(const vex::range_t& range) const = 0;
    // The ranges a structured reference covers, made at `position`.
    virtual range_set_t resolve_table_reference(const vex::coord_t& position, std::string_view first,
                                                uint32_t items, std::string_view second,
                                                std::string_view third) const = 0;
    // The display name of this sheet's table holding the cell; empty for none.
    virtual std::string table_at(int32_t /*row*/, int32_t /*col*/) const { return {}; }
    virtual table_formula_model* get_formula_model() const = 0;
    virtual void store_formula_cell(formula_cell* cell) = 0;
    virtual formula_cell* get_formula_cell(const vex::coord_t& position) const = 0;
    virtual void remove_formula_at(const vex::coord_t& position) = 0;
    virtual ~model_context() = default;
};

} // namespace vex::mta::formula
