// The sheet handle's own row and column moves: whole rows and columns span
// every column or row, and an upward or leftward shift by `count` deletes the
// `count` rows or columns before its start.
#include "kestrel/interface/worksheet_impl.h"

#include "sheet_limits.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace vex {

namespace {

// The first of the `count` indexes before `at`; a number the worktable refuses
// when it leaves int.
int before(int at, int count) noexcept {
    const int64_t first = int64_t(at) - count;
    return first < std::numeric_limits<int>::min() ? 0 : static_cast<int>(first);
}

} // namespace

bool iWorksheet_impl::insert_row(int row, int count) {
    const sheet_limits_t& limits = get_sheet_limits();
    return worktable_->shift_range_down(limits.first_col, limits.last_col, row, count);
}

bool iWorksheet_impl::delete_row(int first_row, int last_row) {
    const sheet_limits_t& limits = get_sheet_limits();
    return worktable_->shift_range_up(limits.first_col, limits.last_col, first_row, last_row ? last_row : first_row);
}

bool iWorksheet_impl::insert_col(int col, int count) {
    const sheet_limits_t& limits = get_sheet_limits();
    return worktable_->shift_range_right(limits.first_row, limits.last_row, col, count);
}

bool iWorksheet_impl::delete_col(int first_col, int last_col) {
    const sheet_limits_t& limits = get_sheet_limits();
    return worktable_->shift_range_left(limits.first_row, limits.last_row, first_col, last_col ? last_col : first_col);
}

// A count below 1 would turn into a span that deletes rows above the start.
bool iWorksheet_impl::shift_range_up(int first_col, int last_col, int row, int count) {
    if (count < 1) {
        detail::report("The startRow or endRow out of range.");
        return false;
    }
    return worktable_->shift_range_up(first_col, last_col, before(row, count), before(row, 1));
}

bool iWorksheet_impl::shift_range_left(int first_row, int last_row, int col, int count) {
    if (count < 1) {
        detail::report("The startCol or endCol out of range.");
        return false;
    }
    return worktable_->shift_range_left(first_row, last_row, before(col, count), before(col, 1));
}

} // namespace vex
