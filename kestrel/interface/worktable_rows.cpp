// The worktable slots of the sheet's extent, its current cell, whole rows and
// columns (sizes, styles, visibility) and the four shifts. Coordinates are
// checked against the sheet limits before the lock is taken.
#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "sheet_limits.h"

#include <cmath>
#include <string>
#include <string_view>
#include <utility>

namespace vex {

namespace {

const sheet_limits_t& limits() { return get_sheet_limits(); }

bool rows_ok(int a, int b) { return limits().valid_row(a) && limits().valid_row(b); }
bool cols_ok(int a, int b) { return limits().valid_col(a) && limits().valid_col(b); }

// Refuses with `message` unless `ok`.
bool admit(bool ok, std::string_view message) noexcept {
    if (!ok) detail::report(message);
    return ok;
}

bool admit_unit(int unit, std::string_view enumeration) noexcept {
    if (unit >= 0 && unit <= 2) return true;
    detail::report("unit: Invalid parameter value. Please refer to enum " + std::string(enumeration) + " in enum.h");
    return false;
}

constexpr std::string_view row_message = "The row out of range.";
constexpr std::string_view one_row_message = "Row out of range.";
constexpr std::string_view one_col_message = "Column out of range.";
constexpr std::string_view col_message = "The col out of range.";
constexpr std::string_view row_span_message = "The startRow or stopRow out of range.";
constexpr std::string_view col_span_message = "The startCol or stopCol out of range.";
constexpr std::string_view shift_rows_message = "The startRow or endRow out of range.";
constexpr std::string_view shift_cols_message = "The startCol or endCol out of range.";

} // namespace

// ---- extent and current cell ----

int iWorktable_impl::min_row() { return limits().first_row; }
int iWorktable_impl::min_col() { return limits().first_col; }
int iWorktable_impl::max_row() { return limits().last_row; }
int iWorktable_impl::max_col() { return limits().last_col; }
int iWorktable_impl::row_count() {
    return guarded(0, [&] { return static_cast<int>(sheet_->row_count()); });
}
int iWorktable_impl::col_count() {
    return guarded(0, [&] { return static_cast<int>(sheet_->col_count()); });
}
int iWorktable_impl::sheet_index() {
    return guarded(0, [&] { return static_cast<int>(sheet_->sheet_id()); });
}

void iWorktable_impl::get_current_cell(int* row, int* col) {
    guarded_void([&] {
        const coord_t& at = sheet_->current_cell();
        if (row) *row = at.row;
        if (col) *col = at.col;
    });
}

void iWorktable_impl::set_current_cell(int row, int col) {
    if (!limits().valid_row(row) || !limits().valid_col(col)) return;
    guarded_void([&] { sheet_->set_current_cell(row, col); });
}

// ---- heights and widths ----

bool iWorktable_impl::is_default_row_height(int first, int last) {
    if (last != 0 && first > last) std::swap(first, last);
    return guarded(false, [&] { return sheet_->is_default_row_height(first, last); });
}

bool iWorktable_impl::get_custom_row_height(int first, int last, double* out, int unit) {
    if (!admit(rows_ok(first, last), row_message) || !admit_unit(unit, "RowHeightUnitEnum")) return false;
    return guarded(false, [&] {
        const std::optional<double> sum = sheet_->get_custom_row_height(first, last, unit);
        if (sum && out) *out = *sum;
        return sum.has_value();
    });
}

void iWorktable_impl::set_custom_row_height(int first, int last, double height, int unit) {
    if (!admit(rows_ok(first, last), row_message) || !admit_unit(unit, "RowHeightUnitEnum")) return;
    // An infinite height is ignored like a negative one, not capped.
    if (!std::isfinite(height)) return;
    guarded_void([&] { sheet_->set_custom_row_height(first, last, height, unit); });
}

bool iWorktable_impl::is_default_col_width(int first, int last) {
    if (last != 0 && first > last) std::swap(first, last);
    return guarded(false, [&] { return sheet_->is_default_col_width(first, last); });
}

bool iWorktable_impl::get_custom_col_width(int first, int last, double* out, int unit) {
    if (!admit(cols_ok(first, last), col_message) || !admit_unit(unit, "ColWidthUnitEnum")) return false;
    return guarded(false, [&] {
        const std::optional<double> sum = sheet_->get_custom_col_width(first, last, unit);
        if (sum && out) *out = *sum;
        return sum.has_value();
    });
}

void iWorktable_impl::set_custom_col_width(int first, int last, double width, int unit) {
    if (!admit(cols_ok(first, last), col_message) || !admit_unit(unit, "ColWidthUnitEnum")) return;
    if (!std::isfinite(width)) return;
    guarded_void([&] { sheet_->set_custom_col_width(first, last, width, unit); });
}

// ---- row and column styles ----

iStyle* iWorktable_impl::load_shared_style__(const mta::style_settings_t& settings) {
    if (!style_) style_ = std::make_unique<iStyle_impl>(owner_->owner());
    static_cast<iStyle_impl*>(style_.get())->assign(settings);
    return style_.get();
}

iStyle* iWorktable_impl::row_style(int row) {
    if (!admit(limits().valid_row(row), one_row_message)) return nullptr;
    return guarded(static_cast<iStyle*>(nullptr), [&] { return load_shared_style__(sheet_->row_style(row)); });
}

iStyle* iWorktable_impl::col_style(int col) {
    if (!admit(limits().valid_col(col), one_col_message)) return nullptr;
    return guarded(static_cast<iStyle*>(nullptr), [&] { return load_shared_style__(sheet_->col_style(col)); });
}

void iWorktable_impl::set_row_style(int first, int last, iStyle* style) {
    const auto settings = detail::admit_style_for(style, owner_->owner());
    if (!settings || !admit(rows_ok(first, last), row_span_message)) return;
    guarded_void([&] { sheet_->set_row_style(first, last, *settings); });
}

void iWorktable_impl::set_col_style(int first, int last, iStyle* style) {
    const auto settings = detail::admit_style_for(style, owner_->owner());
    if (!settings || !admit(cols_ok(first, last), col_span_message)) return;
    guarded_void([&] { sheet_->set_col_style(first, last, *settings); });
}

void iWorktable_impl::remove_row_style(int row) {
    if (!admit(limits().valid_row(row), one_row_message)) return;
    guarded_void([&] { sheet_->remove_row_style(row, row); });
}

void iWorktable_impl::remove_col_style(int col) {
    if (!admit(limits().valid_col(col), one_col_message)) return;
    guarded_void([&] { sheet_->remove_col_style(col, col); });
}

// ---- hidden rows and columns ----

bool iWorktable_impl::row_hidden(int row) {
    if (!admit(limits().valid_row(row), row_message)) return false;
    return guarded(false, [&] { return sheet_->row_hidden(row); });
}

bool iWorktable_impl::col_hidden(int col) {
    if (!admit(limits().valid_col(col), col_message)) return false;
    return guarded(false, [&] { return sheet_->col_hidden(col); });
}

void iWorktable_impl::set_row_hidden(int first, int last, bool hidden) {
    if (!admit(rows_ok(first, last), row_span_message)) return;
    if (first > last) std::swap(first, last);
    guarded_void([&] {
        sheet_->change_row_visibility(first, last, [&] {
            for (int r = first; r <= last; ++r) sheet_->set_row_hidden(r, hidden);
        });
    });
}

void iWorktable_impl::set_col_hidden(int first, int last, bool hidden) {
    if (!admit(cols_ok(first, last), col_span_message)) return;
    if (first > last) std::swap(first, last);
    guarded_void([&] {
        for (int c = first; c <= last; ++c) sheet_->set_col_hidden(c, hidden);
    });
}

// ---- shifts ----
// The store refuses a count below 1 before anything moves.

bool iWorktable_impl::shift_range_down(int first_col, int last_col, int row, int count) {
    if (!admit(limits().valid_row(row), "The startRow out of range.") ||
        !admit(cols_ok(first_col, last_col), shift_cols_message))
        return false;
    return guarded(false, [&] { return sheet_->shift_range_down(first_col, last_col, row, count); });
}

bool iWorktable_impl::shift_range_up(int first_col, int last_col, int first_row, int last_row) {
    if (!admit(rows_ok(first_row, last_row), shift_rows_message) ||
        !admit(cols_ok(first_col, last_col), shift_cols_message))
        return false;
    return guarded(false, [&] { return sheet_->shift_range_up(first_col, last_col, first_row, last_row); });
}

bool iWorktable_impl::shift_range_right(int first_row, int last_row, int col, int count) {
    if (!admit(limits().valid_col(col), "The startCol out of range.") ||
        !admit(rows_ok(first_row, last_row), shift_rows_message))
        return false;
    return guarded(false, [&] { return sheet_->shift_range_right(first_row, last_row, col, count); });
}

bool iWorktable_impl::shift_range_left(int first_row, int last_row, int first_col, int last_col) {
    if (!admit(cols_ok(first_col, last_col), shift_cols_message) ||
        !admit(rows_ok(first_row, last_row), shift_rows_message))
        return false;
    return guarded(false, [&] { return sheet_->shift_range_left(first_row, last_row, first_col, last_col); });
}

} // namespace vex
