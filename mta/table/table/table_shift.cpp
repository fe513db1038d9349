#include "mta/table/table/table.h"

#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/range_check.h"
#include "run_message.h"

#include <algorithm>
#include <cstdint>

namespace vex::mta {

// The moved formula cells keep their recorded position right. A dependency
// tracker, once the formula engine brings one, must hear of the moves at the
// places marked "Engine" below; deleted formula cells are released by their
// column before they go.

namespace {

// The far end on one axis of the ranges meeting the area [lo, hi] x [at, end]
// of the other axis; 0 when none.
template <class Ranges, class Range>
int last_end(const Ranges& ranges, bool rows, int lo, int hi, int at, Range range_of) {
    int best = 0;
    for (const auto& r : ranges) {
        const vex::range_t& g = range_of(r);
        const int band_lo = rows ? g.first.col : g.first.row, band_hi = rows ? g.last.col : g.last.row;
        const int end = rows ? g.last.row : g.last.col;
        if (band_hi < lo || band_lo > hi || end < at) continue;
        best = std::max(best, end);
    }
    return best;
}

} // namespace

int Table::last_pushed_row__(int cl, int ch, int at) const {
    int best = columns_.last_used_row(cl, ch);
    best = std::max(best, last_end(merged_cells_.get_all(), true, cl, ch, at, [](const auto& r) -> const auto& { return r; }));
    return std::max(best, last_end(tabledefs_.all(), true, cl, ch, at,
                                   [](const auto& t) -> const vex::range_t& { return t.second->range(); }));
}

int Table::last_pushed_col__(int rl, int rh, int at) const {
    int best = columns_.last_used_col(rl, rh);
    best = std::max(best, last_end(merged_cells_.get_all(), false, rl, rh, at, [](const auto& r) -> const auto& { return r; }));
    return std::max(best, last_end(tabledefs_.all(), false, rl, rh, at,
                                   [](const auto& t) -> const vex::range_t& { return t.second->range(); }));
}

bool Table::can_insert_rows__(int cl, int ch, int row, int count) const {
    if (!is_valid_row(row)) return refuse("Starting row out of range.");
    if (!is_valid_col(cl) || !is_valid_col(ch)) return refuse("Column out of range.");
    if (count < 1) return refuse("Insert at least one row.");
    if (int64_t(last_pushed_row__(cl, ch, row)) + count > last_row_of(*this))
        return refuse("Cannot insert row because it would push non-empty cells off the end of the table.");
    return merged_cells_.can_insert_rows(cl, ch, row, count) && tabledefs_.check_insert_rows(cl, ch, row);
}

bool Table::can_delete_rows__(int cl, int ch, int rl, int rh) const {
    if (!is_valid_row(rl) || !is_valid_row(rh)) return refuse("Row out of range.");
    if (!is_valid_col(cl) || !is_valid_col(ch)) return refuse("Column out of range.");
    return merged_cells_.can_delete_rows(cl, ch, rl, rh) && tabledefs_.check_delete_rows(cl, ch, rl, rh);
}

bool Table::can_insert_cols__(int rl, int rh, int col, int count) const {
    if (!is_valid_col(col)) return refuse("Starting column out of range.");
    if (!is_valid_row(rl) || !is_valid_row(rh)) return refuse("Row out of range.");
    if (count < 1) return refuse("Insert at least one column.");
    if (!merged_cells_.can_insert_cols(rl, rh, col, count) || !tabledefs_.check_insert_columns(rl, rh, col))
        return false;
    if (int64_t(last_pushed_col__(rl, rh, col)) + count > last_col_of(*this))
        return refuse("Cannot insert column because it would push non-empty cells off the end of the table.");
    return true;
}

bool Table::can_delete_cols__(int rl, int rh, int cl, int ch) const {
    if (!is_valid_col(cl) || !is_valid_col(ch)) return refuse("Column out of range.");
    if (!is_valid_row(rl) || !is_valid_row(rh)) return refuse("Row out of range.");
    return merged_cells_.can_delete_cols(rl, rh, cl, ch) && tabledefs_.check_delete_columns(rl, rh, cl);
}

bool Table::shift_range_down(int first_col, int last_col, int row, int count) {
    if (first_col > last_col) std::swap(first_col, last_col);
    if (!can_insert_rows__(first_col, last_col, row, count)) return false;
    const bool whole_rows = first_col == 1 && last_col == last_col_of(*this);
    if (whole_rows) {
        row_records_.insert(row, count);
        insert_row_sizes(row, count);
    }
    columns_.insert_rows(first_col, last_col, row, count);  // Engine: cells of the band below `row` moved down
    merged_cells_.on_insert_rows(first_col, last_col, row, count);
    if (auto* names = get_defined_names()) names->on_insert_rows(*this, first_col, last_col, row, count);
    tabledefs_.on_insert_rows(first_col, last_col, row, count);
    if (whole_rows) row_outline_.insert(row, count);
    hyperlinks_.insert_rows(first_col, last_col, row, count);
    comments_.insert_rows(first_col, last_col, row, count);
    return true;
}

bool Table::shift_range_up(int first_col, int last_col, int first_row, int last_row) {
    if (first_col > last_col) std::swap(first_col, last_col);
    if (first_row > last_row) std::swap(first_row, last_row);
    if (!can_delete_rows__(first_col, last_col, first_row, last_row)) return false;
    const bool whole_rows = first_col == 1 && last_col == last_col_of(*this);
    if (whole_rows) {
        row_records_.erase(first_row, last_row);
        delete_row_sizes(first_row, last_row);
    }
    // Engine: cells of the band below last_row moved up.
    columns_.delete_rows(first_col, last_col, first_row, last_row - first_row + 1);
    merged_cells_.on_delete_rows(first_col, last_col, first_row, last_row);
    // Engine: defined names referring to the deleted rows are rewritten by the formula engine.
    tabledefs_.on_delete_rows(first_col, last_col, first_row, last_row);
    if (whole_rows) row_outline_.erase(first_row, last_row - first_row + 1);
    hyperlinks_.delete_rows(first_col, last_col, first_row, last_row);
    comments_.delete_rows(first_col, last_col, first_row, last_row);
    return true;
}

bool Table::shift_range_right(int first_row, int last_row, int col, int count) {
    if (first_row > last_row) std::swap(first_row, last_row);
    if (!can_insert_cols__(first_row, last_row, col, count)) return false;
    const bool whole_cols = first_row == 1 && last_row == last_row_of(*this);
    if (whole_cols) {
        col_records_.insert(col, count);
        insert_col_sizes(col, count);
    }
    columns_.insert_cols(first_row, last_row, col, count);  // Engine: cells of the band right of `col` moved
    merged_cells_.on_insert_cols(first_row, last_row, col, count);
    if (auto* names = get_defined_names()) names->on_insert_cols(*this, first_row, last_row, col, count);
    tabledefs_.on_insert_columns(first_row, last_row, col, count);
    if (whole_cols) col_outline_.insert(col, count);
    hyperlinks_.insert_cols(first_row, last_row, col, count);
    comments_.insert_cols(first_row, last_row, col, count);
    return true;
}

bool Table::shift_range_left(int first_row, int last_row, int first_col, int last_col) {
    if (first_row > last_row) std::swap(first_row, last_row);
    if (first_col > last_col) std::swap(first_col, last_col);
    if (!can_delete_cols__(first_row, last_row, first_col, last_col)) return false;
    const bool whole_cols = first_row == 1 && last_row == last_row_of(*this);
    if (whole_cols) {
        col_records_.erase(first_col, last_col);
        delete_col_sizes(first_col, last_col);
    }
    // Engine: cells of the band right of last_col moved left.
    columns_.delete_cols(first_row, last_row, first_col, last_col - first_col + 1);
    merged_cells_.on_delete_cols(first_row, last_row, first_col, last_col);
    // Engine: defined names referring to the deleted columns are rewritten by the formula engine.
    tabledefs_.on_delete_columns(first_row, last_row, first_col, last_col);
    if (whole_cols) col_outline_.erase(first_col, last_col - first_col + 1);
    hyperlinks_.delete_cols(first_row, last_row, first_col, last_col);
    comments_.delete_cols(first_row, last_row, first_col, last_col);
    return true;
}

} // namespace vex::mta
