#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_checks.h"
#include "mta/table/cell/cell_getters.h"
#include "datetime.h"
#include "sheet_limits.h"
#include "unicode.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace vex {

using detail::admit_cell;
using detail::admit_number;
using detail::admit_serial;
using detail::inside_limits;

namespace {

document_lock_t& lock_of(iWorksheet_impl* owner) {
    if (!owner || !owner->owner()) throw std::logic_error("Internal logic error: a worktable handle without its sheet.");
    return owner->owner()->document_lock();
}

} // namespace

iWorktable_impl::iWorktable_impl(iWorksheet_impl* owner, worktable_t* sheet)
    : mutex_(lock_of(owner)), owner_(owner), sheet_(sheet) {
    if (!sheet_) throw std::logic_error("Internal logic error: a worktable handle without its worktable.");
    tabledefs_.adopt_all();
}

iWorktable_impl::~iWorktable_impl() {
    tabledefs_.clear();
    style_.reset();
}

void iWorktable_impl::set_bg_picture(const char* path) {
    if (!path) {
        detail::report("The image file name cannot be empty.");
        return;
    }
    guarded_void([&] { sheet_->set_bg_picture(checked_host_text(path)); });
}

int iWorktable_impl::cell_type(int row, int col) {
    if (!inside_limits(row, col)) return -1;
    return guarded(-1, [&] { return mta::cell_getters::cell_type(*sheet_, row, col); });
}

double iWorktable_impl::get_num(int row, int col) {
    if (!admit_cell(row, col)) return 0.0;
    return guarded(0.0, [&] { return mta::cell_getters::get_num(*sheet_, row, col); });
}

const char* iWorktable_impl::get_text(int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded(static_cast<const char*>(nullptr), [&] { return mta::cell_getters::get_text(*sheet_, row, col); });
}

bool iWorktable_impl::get_boolean(int row, int col) {
    if (!inside_limits(row, col)) return false;
    return guarded(false, [&] { return mta::cell_getters::get_boolean(*sheet_, row, col); });
}

double iWorktable_impl::get_datetime(int row, int col) {
    if (!inside_limits(row, col)) return 0.0;
    return guarded(0.0, [&] { return mta::cell_getters::get_datetime(*sheet_, row, col); });
}

int iWorktable_impl::get_error(int row, int col) {
    if (!inside_limits(row, col)) return -1;
    return guarded(-1, [&] { return mta::cell_getters::get_error(*sheet_, row, col); });
}

bool iWorktable_impl::set_num(int row, int col, double value) {
    if (!admit_cell(row, col) || !admit_number(value)) return false;
    return guarded(false, [&] { return sheet_->set_num(row, col, value); });
}

bool iWorktable_impl::set_text(int row, int col, const char* text) {
    if (!inside_limits(row, col)) {
        detail::report("Row or column out of range.");
        return false;
    }
    if (!text) {
        detail::report("Text cannot be empty.");
        return false;
    }
    return guarded(false, [&] {
        // Checked in place: a copy per cell would cost more than the store.
        if (!detail::host_texts_ok({text})) throw std::runtime_error(std::string(detail::bad_text_message));
        detail::check_length(text, detail::max_text_units, "text");
        return sheet_->set_text(row, col, text);
    });
}

bool iWorktable_impl::set_datetime(int row, int col, double serial) {
    if (!admit_cell(row, col) || !admit_serial(serial)) return false;
    return guarded(false, [&] { return sheet_->set_datetime(row, col, serial_to_ticks(serial)); });
}

bool iWorktable_impl::set_boolean(int row, int col, bool value) {
    if (!admit_cell(row, col)) return false;
    return guarded(false, [&] { return sheet_->set_boolean(row, col, value); });
}

bool iWorktable_impl::set_error(int row, int col, int code) {
    if (!admit_cell(row, col)) return false;
    if (code < 1 || code > mta::error_value_count) {
        detail::report("code: Invalid parameter value. Please refer to enum ErrorCodeEnum in enum.h");
        return false;
    }
    return guarded(false, [&] { return sheet_->set_error(row, col, static_cast<mta::error_value_enum>(code - 1)); });
}

void iWorktable_impl::clear_contents(int first_row, int first_col, int last_row, int last_col) {
    const range_t range = detail::ordered_range(first_row, first_col, last_row, last_col);
    guarded_void([&] {
        if (sheet_->is_valid_range(range) && sheet_->can_clear(range)) sheet_->clear_contents(range);
    });
}

} // namespace vex
