#pragma once
// Finding a sheet's cell store by its grid id, for formulas that reach other sheets.

#include <cstdint>

namespace vex::mta {

class Table;

// Null for an id below 1 or an id that no registered table has.
Table* find_table_by_grid_id(int32_t grid_id) noexcept;

} // namespace vex::mta
