#include "mta/types/imported_row_cells.h"

#include "errors.h"

#include <string>

namespace vex::mta {

void imported_row_cells::append(const trival_cell_t& cell) {
    if (cells.empty()) row = cell.row;
    if (cell.row != row) throw loading_error("xml file error: row is " + std::to_string(cell.row));
    const bool has_value = cell.value.has_value();
    if (cell.style != 0 || has_value) {
        const uint16_t style = cell.style > 0xFFFF ? 0 : uint16_t(cell.style);
        if (!style_runs.empty() && style_runs.back().style == style && style_runs.back().last_col + 1 == cell.col)
            style_runs.back().last_col = cell.col;
        else
            style_runs.push_back({cell.col, cell.col, style});
    }
    cells.push_back(cell);
    if (has_value || cell.kind == uint8_t(cell_value_kind::formula)) value_indexes.push_back(cells.size() - 1);
}

void imported_row_cells::clear() noexcept {
    row = 0;
    cells.clear();
    style_runs.clear();
    value_indexes.clear();
}

} // namespace vex::mta
