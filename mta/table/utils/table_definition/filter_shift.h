#pragma once
// Filter and sort ranges follow the cells they cover when rows or columns are
// inserted, deleted or shifted, as the table ranges and the names do.

#include "mta/table/utils/table_definition/autofilter.h"

namespace vex::mta {

struct band_shift_t;

// False when every cell of the filter's range is gone. A filter column keeps
// naming its sheet column; one whose column is gone goes.
bool follow_shift(vex::autofilter_t& filter, const band_shift_t& s);
// False when every cell of the sort range is gone; a sort key whose cells are
// all gone goes.
bool follow_shift(vex::sort_state_t& sort, const band_shift_t& s);

// A filter or sort range that began at column `col` takes the column before it
// as its first, as a table does with a column put at its front.
void take_column_before(vex::autofilter_t& filter, int col);
void take_column_before(vex::sort_state_t& sort, int col);

} // namespace vex::mta
