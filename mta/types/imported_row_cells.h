#pragma once
// One parsed sheet row on its way from the sheet reader to the cell store: the
// cells in document order, which of them carry a value, and the style runs.

#include "mta/formula/formula_cell.h"
#include "mta/table/cell/cell.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vex::mta {

// One parsed cell. The kind uses the codes of cell_value_kind; a formula (kind 8)
// keeps in value_kind how its cached value is stored (4: a string-pool index).
struct trival_cell_t {
    uint32_t row = 0;
    uint32_t col = 0;
    uint8_t kind = 0;
    uint32_t style = 0;
    formula::formula_attributes_t attributes;
    std::string_view formula;  // into the parsed text, alive until the row is handed over
    bool formula_escapes_kept = false;  // see formula_cell::expression_escapes_kept
    uint8_t value_kind = 0;
    std::optional<cell_t::value_type> value;
};

struct imported_style_run_t {
    uint32_t first_col = 0;
    uint32_t last_col = 0;
    uint16_t style = 0;
};

class imported_row_cells {
public:
    uint32_t row = 0;
    std::vector<trival_cell_t> cells;
    std::vector<imported_style_run_t> style_runs;
    std::vector<uint64_t> value_indexes;  // into cells: the cells with a value, and every formula

    // Throws loading_error "xml file error: row is <n>" for a cell of another row.
    // A style id beyond 16 bits is no cell format and counts as the default.
    void append(const trival_cell_t& cell);
    void clear() noexcept;
};

} // namespace vex::mta
