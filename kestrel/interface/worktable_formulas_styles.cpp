// The worktable slots for formulas, cached formula results, cell styles and
// rich text.
#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/richtext_impl.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/workbook_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_checks.h"
#include "mta/table/cell/cell_getters.h"
#include "datetime.h"
#include "text_utils.h"
#include "unicode.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vex {

namespace {

using detail::admit_cell;
using detail::admit_number;
using detail::admit_serial;
using detail::inside_limits;

constexpr std::string_view msg_empty_formula = "The formula expression can not be empty.";

std::string_view trim_blanks(std::string_view s) noexcept {
    while (!s.empty() && ascii_is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && ascii_is_space(s.back())) s.remove_suffix(1);
    return s;
}

// The formula without surrounding blanks and one leading '='; empty when
// nothing is left.
std::string_view formula_body(std::string_view text) noexcept {
    text = trim_blanks(text);
    if (!text.empty() && text.front() == '=') text = trim_blanks(text.substr(1));
    return text;
}

} // namespace

// ---- formulas ----

bool iWorktable_impl::contains_formula(int row, int col) {
    return guarded(false, [&] { return sheet_->contains_formula(row, col); });
}

bool iWorktable_impl::contains_richtext(int row, int col) {
    if (!inside_limits(row, col)) return false;
    return guarded(false, [&] {
        return sheet_->is_valid_cell(row, col) && sheet_->get_cell(row, col).get_richtext() != nullptr;
    });
}

const char* iWorktable_impl::get_formula_expr(int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded(static_cast<const char*>(nullptr),
                   [&] { return mta::cell_getters::get_formula_expr(*sheet_, row, col); });
}

bool iWorktable_impl::set_formula(int row, int col, const char* formula) {
    if (!admit_cell(row, col)) return false;
    if (!formula) {
        detail::report(msg_empty_formula);
        return false;
    }
    return guarded(false, [&] {
        // Invalid bytes would make the saved sheet unreadable.
        if (!detail::host_texts_ok({formula})) throw std::runtime_error(std::string(detail::bad_text_message));
        const std::string_view body = formula_body(formula);
        if (body.empty()) throw std::runtime_error(std::string(msg_empty_formula));
        detail::check_length(body, detail::max_formula_units, "formula");
        return sheet_->set_formula(row, col, body);
    });
}

namespace {

// The frame of the cached-result setters: the value reaches a formula cell's
// result only; any other cell refuses.
template <typename Value>
bool store_result(worktable_t& sheet, int row, int col, const Value& value) {
    return sheet.set_formula_result(row, col, std::optional<mta::cell_t::value_type>(value));
}

} // namespace

bool iWorktable_impl::set_formula_num(int row, int col, double value) {
    if (!admit_cell(row, col) || !admit_number(value)) return false;
    return guarded(false, [&] { return store_result(*sheet_, row, col, value); });
}

bool iWorktable_impl::set_formula_string(int row, int col, const char* text) {
    if (!admit_cell(row, col)) return false;
    if (!text) {
        detail::report("Text cannot be empty.");
        return false;
    }
    return guarded(false, [&] {
        if (!detail::host_texts_ok({text})) throw std::runtime_error(std::string(detail::bad_text_message));
        detail::check_length(text, detail::max_text_units, "text");
        return store_result(*sheet_, row, col, std::string_view(text));
    });
}

bool iWorktable_impl::set_formula_boolean(int row, int col, bool value) {
    if (!admit_cell(row, col)) return false;
    return guarded(false, [&] { return store_result(*sheet_, row, col, value); });
}

bool iWorktable_impl::set_formula_datetime(int row, int col, double serial) {
    if (!admit_cell(row, col) || !admit_serial(serial)) return false;
    return guarded(false, [&] { return store_result(*sheet_, row, col, serial_to_ticks(serial)); });
}

bool iWorktable_impl::set_formula_error(int row, int col, int code) {
    if (!admit_cell(row, col)) return false;
    if (code < 1 || code > mta::error_value_count) {
        detail::report("Incorrect error code.");
        return false;
    }
    return guarded(false, [&] { return store_result(*sheet_, row, col, static_cast<mta::error_value_enum>(code - 1)); });
}

// ---- cell styles ----

namespace {

// What a cell shows, whole: set on another cell it gives the same look, even
// where the file marked no part as applied.
mta::style_settings_t shown_look(const mta::Table& sheet, int row, int col) {
    mta::style_settings_t look = sheet.get_cell_style(row, col);
    look.apply_all();
    return look;
}

} // namespace

iStyle* iWorktable_impl::cell_style(int row, int col) {
    return guarded(static_cast<iStyle*>(nullptr), [&]() -> iStyle* {
        return load_shared_style__(shown_look(*sheet_, row, col));
    });
}

iStyle* iWorktable_impl::get_cell_style(int row, int col) {
    return guarded(static_cast<iStyle*>(nullptr), [&]() -> iStyle* {
        const mta::style_settings_t settings = shown_look(*sheet_, row, col);
        auto* handle = dynamic_cast<iStyle_impl*>(owner_->owner()->make_normal_style());
        if (!handle) return nullptr;
        handle->assign(settings);
        return handle;
    });
}

void iWorktable_impl::set_cell_style(int row, int col, iStyle* style) {
    try {
        const std::optional<mta::style_settings_t> settings = detail::admit_style_for(style, owner_->owner());
        if (!settings) return;
        guarded_void([&] { sheet_->set_cell_style(row, col, *settings); });
    } catch (...) {
        detail::report_exception();
    }
}

void iWorktable_impl::set_range_style(int first_row, int first_col, int last_row, int last_col, iStyle* style) {
    // A corner outside the sheet would be clamped to its edge and style far
    // more cells than the host named.
    if (!admit_cell(first_row, first_col) || !admit_cell(last_row, last_col)) return;
    try {
        const std::optional<mta::style_settings_t> settings = detail::admit_style_for(style, owner_->owner());
        if (!settings) return;
        const range_t range = detail::ordered_range(first_row, first_col, last_row, last_col);
        guarded_void([&] { sheet_->set_range_style(range, *settings); });
    } catch (...) {
        detail::report_exception();
    }
}

// ---- rich text ----

iRichtext* iWorktable_impl::get_richtext(int row, int col) {
    if (!inside_limits(row, col)) return nullptr;
    return guarded(static_cast<iRichtext*>(nullptr), [&]() -> iRichtext* {
        const std::unique_ptr<mta::richtext_t> copy = mta::cell_getters::get_richtext(*sheet_, row, col);
        if (!copy) return nullptr;
        iWorkbook_impl* workbook = owner_->owner();
        return workbook->keep_cell_richtext(std::make_unique<iRichtext_impl>(workbook, copy->segments()));
    });
}

bool iWorktable_impl::set_richtext(int row, int col, iRichtext* text) {
    if (!admit_cell(row, col)) return false;
    const auto* handle =
        detail::admit_own<iRichtext_impl>(text, detail::null_richtext_message, detail::foreign_richtext_message);
    if (!handle) return false;
    try {
        mta::richtext_t value = handle->value();
        detail::check_length(value.plain_text(), detail::max_text_units, "text");
        return guarded(false, [&] { return sheet_->set_richtext(row, col, std::move(value)); });
    } catch (...) {
        detail::report_exception();
    }
    return false;
}

} // namespace vex
