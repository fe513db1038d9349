#include "mta/table/table/table_registry.h"

namespace vex::mta {

// No table registers yet, so no grid id names one.
Table* find_table_by_grid_id(int32_t) noexcept {
    return nullptr;
}

} // namespace vex::mta
