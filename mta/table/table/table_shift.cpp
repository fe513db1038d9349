#include "mta/table/table/table.h"

#include <algorithm>

namespace vex::mta {

// The guards and the merged-range and table moves of a column shift within a
// band of rows. The cells, the column records, the defined names and the
// outline levels join this sequence with the sheet's shift driver.
bool Table::shift_range_right(int first_row, int last_row, int col, int count) {
    if (first_row > last_row) std::swap(first_row, last_row);
    if (!merged_cells_.can_insert_cols(first_row, last_row, col, count) ||
        !tabledefs_.check_insert_columns(first_row, last_row, col))
        return false;
    merged_cells_.on_insert_cols(first_row, last_row, col, count);
    tabledefs_.on_insert_columns(first_row, last_row, col, count);
    return true;
}

bool Table::shift_range_left(int first_row, int last_row, int first_col, int last_col) {
    if (first_row > last_row) std::swap(first_row, last_row);
    if (first_col > last_col) std::swap(first_col, last_col);
    if (!merged_cells_.can_delete_cols(first_row, last_row, first_col, last_col) ||
        !tabledefs_.check_delete_columns(first_row, last_row, first_col))
        return false;
    merged_cells_.on_delete_cols(first_row, last_row, first_col, last_col);
    tabledefs_.on_delete_columns(first_row, last_row, first_col, last_col);
    return true;
}

} // namespace vex::mta
