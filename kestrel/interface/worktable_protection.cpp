// The worktable slots of sheet protection, editable ranges and outlines.
// Protection lives in the sheet's settings component; it locks and unlocks
// cells through this sheet's cell store, so it runs under this handle's lock.
#include "kestrel/interface/worktable_impl.h"
#include "kestrel/interface/worktable_checks.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vex {

namespace {

// The host's option bits, from 0x0001 up, and the stored bit each sets.
constexpr std::array<uint32_t, 15> stored_option_of_host_bit = {
    option_select_locked_cells, option_select_unlocked_cells, option_objects,        option_scenarios,
    option_format_cells,        option_format_columns,        option_format_rows,    option_insert_columns,
    option_insert_rows,         option_insert_hyperlinks,     option_delete_columns, option_delete_rows,
    option_sort,                option_auto_filter,           option_pivot_tables,
};

uint32_t stored_options(int host) noexcept {
    if (host == 4095) return range_protection_options & protection_option_mask;
    if (host == 32767) return protection_option_mask;
    uint32_t out = 0;
    for (size_t bit = 0; bit < stored_option_of_host_bit.size(); ++bit)
        if (static_cast<uint32_t>(host) & (1u << bit)) out |= stored_option_of_host_bit[bit];
    return out;
}

// A span reaching outside the sheet groups nothing; the host is told so.
bool admit_span(bool inside) noexcept {
    if (!inside) detail::report(detail::illegal_cell_message);
    return inside;
}
bool admit_rows(int a, int b) noexcept {
    return admit_span(get_sheet_limits().valid_row(a) && get_sheet_limits().valid_row(b));
}
bool admit_cols(int a, int b) noexcept {
    return admit_span(get_sheet_limits().valid_col(a) && get_sheet_limits().valid_col(b));
}

int outline_level(const mta::outline_store_t& store, int index, bool* collapsed) noexcept {
    bool c = false;
    const int64_t level = store.outline_level(index, c);
    if (collapsed) *collapsed = c;
    return static_cast<int>(level);
}

} // namespace

// ---- protection ----

bool iWorktable_impl::is_protected() {
    return guarded(false, [&] { return owner_->worksheet()->is_protected(); });
}

bool iWorktable_impl::protect(int options, const char* password) {
    return guarded(false, [&] {
        return owner_->worksheet()->protect(stored_options(options), password ? password : "");
    });
}

void iWorktable_impl::unprotect() {
    guarded_void([&] { owner_->worksheet()->unprotect(); });
}

bool iWorktable_impl::protect_range(int first_row, int first_col, int last_row, int last_col) {
    const range_t r = detail::ordered_range(first_row, first_col, last_row, last_col);
    return guarded(false, [&] { return owner_->worksheet()->protect_range(r); });
}

bool iWorktable_impl::set_editable_range(int first_row, int first_col, int last_row, int last_col) {
    const range_t r = detail::ordered_range(first_row, first_col, last_row, last_col);
    return guarded(false, [&] { return owner_->worksheet()->set_editable_range(r); });
}

int iWorktable_impl::editable_range_count() {
    return guarded(-1, [&] { return static_cast<int>(owner_->worksheet()->editable_range_count()); });
}

const char* iWorktable_impl::get_editable_range(int index, int* first_row, int* first_col, int* last_row,
                                                int* last_col) {
    return guarded(static_cast<const char*>(nullptr), [&] {
        return owner_->worksheet()->get_editable_range(index, first_row, first_col, last_row, last_col);
    });
}

bool iWorktable_impl::delete_editable_range(int index) {
    return guarded(false, [&] { return owner_->worksheet()->delete_editable_range(index); });
}

// ---- outlines ----

void iWorktable_impl::group_rows(int first, int last, bool collapsed) {
    if (!admit_rows(first, last)) return;
    guarded_void([&] {
        sheet_->change_row_visibility(first, last, [&] { sheet_->row_outline().group_outline(first, last, collapsed); });
    });
}

void iWorktable_impl::ungroup_rows(int first, int last) {
    if (!admit_rows(first, last)) return;
    guarded_void([&] {
        sheet_->change_row_visibility(first, last, [&] { sheet_->row_outline().ungroup_outline(first, last); });
    });
}

void iWorktable_impl::group_cols(int first, int last, bool collapsed) {
    if (!admit_cols(first, last)) return;
    guarded_void([&] { sheet_->col_outline().group_outline(first, last, collapsed); });
}

void iWorktable_impl::ungroup_cols(int first, int last) {
    if (!admit_cols(first, last)) return;
    guarded_void([&] { sheet_->col_outline().ungroup_outline(first, last); });
}

int iWorktable_impl::row_outline_level(int row, bool* collapsed) {
    return guarded(-1, [&] { return outline_level(sheet_->row_outline(), row, collapsed); });
}

int iWorktable_impl::col_outline_level(int col, bool* collapsed) {
    return guarded(-1, [&] { return outline_level(sheet_->col_outline(), col, collapsed); });
}

int iWorktable_impl::max_row_outline_level() {
    return guarded(-1, [&] { return static_cast<int>(sheet_->row_outline().max_outline_level()); });
}

int iWorktable_impl::max_col_outline_level() {
    return guarded(-1, [&] { return static_cast<int>(sheet_->col_outline().max_outline_level()); });
}

void iWorktable_impl::delete_row_outline() {
    guarded_void([&] {
        const mta::outline_store_t& outline = sheet_->row_outline();
        sheet_->change_row_visibility(outline.first(), outline.last(), [&] { sheet_->row_outline().reset(); });
    });
}

void iWorktable_impl::delete_col_outline() {
    guarded_void([&] { sheet_->col_outline().reset(); });
}

bool iWorktable_impl::group_summary_below() {
    return guarded(false, [&] { return sheet_->group_summary_below(); });
}

void iWorktable_impl::set_group_summary_below(bool below) {
    guarded_void([&] { sheet_->set_group_summary_below(below); });
}

bool iWorktable_impl::group_summary_right() {
    return guarded(false, [&] { return sheet_->group_summary_right(); });
}

void iWorktable_impl::set_group_summary_right(bool right) {
    guarded_void([&] { sheet_->set_group_summary_right(right); });
}

} // namespace vex
