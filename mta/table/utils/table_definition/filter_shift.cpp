#include "mta/table/utils/table_definition/filter_shift.h"

#include "mta/table/utils/band_shift.h"

#include <algorithm>

namespace vex::mta {

namespace {

// Where sheet column x lands, or 0 when it is deleted or pushed off the end.
int moved_column(int x, const band_shift_t& s) noexcept {
    if (s.insert) {
        if (x < s.first) return x;
        return int64_t(x) + s.count > s.edge ? 0 : x + s.count;
    }
    if (x < s.first) return x;
    return x > s.last() ? x - s.count : 0;
}

// The filter columns name columns of the range by offset: those after a change
// inside it take their new offsets.
void follow_columns(vex::autofilter_t& f, const vex::range_t& old, const band_shift_t& s) {
    const int width = f.range.last.col - f.range.first.col;
    std::erase_if(f.columns, [&](vex::filter_column_t& c) {
        if (c.col_id < 0) return false;
        const int x = moved_column(old.first.col + c.col_id, s);
        if (x == 0 || x < f.range.first.col || x - f.range.first.col > width) return true;
        c.col_id = x - f.range.first.col;
        return false;
    });
}

} // namespace

bool follow_shift(vex::autofilter_t& filter, const band_shift_t& s) {
    vex::range_t old = filter.range;
    old.order();
    // A range the band cuts across stays, and what lies inside it with it.
    if (!s.in_band(old.first) || !s.in_band(old.last)) return true;
    if (!s.follow(filter.range)) return false;
    if (!s.rows) follow_columns(filter, old, s);
    if (filter.sort_state && !follow_shift(*filter.sort_state, s)) filter.sort_state.reset();
    return true;
}

bool follow_shift(vex::sort_state_t& sort, const band_shift_t& s) {
    if (!s.in_band(sort.ref.first) || !s.in_band(sort.ref.last)) return true;
    if (!s.follow(sort.ref)) return false;
    std::erase_if(sort.conditions, [&](vex::sort_condition_t& c) { return !s.follow(c.ref); });
    return true;
}

void take_column_before(vex::autofilter_t& filter, int col) {
    if (filter.range.first.col != col || col <= 1) return;
    --filter.range.first.col;
    for (vex::filter_column_t& c : filter.columns)
        if (c.col_id >= 0) ++c.col_id;
    if (filter.sort_state) take_column_before(*filter.sort_state, col);
}

void take_column_before(vex::sort_state_t& sort, int col) {
    if (sort.ref.first.col == col && col > 1) --sort.ref.first.col;
}

} // namespace vex::mta
