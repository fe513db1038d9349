#include "mta/table/utils/range_check.h"

#include "mta/table/table/table.h"
#include "run_message.h"
#include "sheet_limits.h"

#include <algorithm>
#include <cstdint>

namespace vex::mta {

namespace {

void order(int& first, int& last) {
    if (first > last) std::swap(first, last);
}

// The count that fits after the last used index without passing the limit.
int room_after(int last_used, int count, int limit) {
    if (int64_t(last_used) + count <= limit) return count;
    return std::max(limit - last_used, 0);
}

} // namespace

int last_row_of(const Table& table) noexcept {
    return get_sheet_limits().first_row + static_cast<int>(table.row_count()) - 1;
}

int last_col_of(const Table& table) noexcept {
    return get_sheet_limits().first_col + static_cast<int>(table.col_count()) - 1;
}

bool range_check_t::check_row_range(int& first, int& last) const {
    if (!table_->is_valid_row(first) || !table_->is_valid_row(last))
        return refuse("Start row or end row out of range.");
    order(first, last);
    return true;
}

bool range_check_t::check_col_range(int& first, int& last) const {
    if (!table_->is_valid_col(first) || !table_->is_valid_col(last))
        return refuse("Start column or end column out of range.");
    order(first, last);
    return true;
}

bool range_check_t::check_delete_rows(int& first, int& last) const {
    order(first, last);
    if (!table_->is_valid_row(first) || !table_->is_valid_row(last)) return refuse("Delete row out of range.");
    return true;
}

bool range_check_t::check_delete_cols(int& first, int& last) const {
    order(first, last);
    if (!table_->is_valid_col(first) || !table_->is_valid_col(last)) return refuse("Delete column out of range.");
    return true;
}

bool range_check_t::check_insert_rows(int row, int& count) const {
    if (!table_->is_valid_row(row)) return refuse("Insert row out of range.");
    if (count <= 0) return refuse("Insert at least one row.");
    count = room_after(table_->last_used_row(0, 0), count, get_sheet_limits().last_row);
    return true;
}

bool range_check_t::check_insert_cols(int col, int& count) const {
    if (!table_->is_valid_col(col)) return refuse("Insert column out of range.");
    if (count <= 0) return refuse("Insert at least one column.");
    count = room_after(table_->last_used_col(0, 0), count, get_sheet_limits().last_col);
    return true;
}

} // namespace vex::mta
