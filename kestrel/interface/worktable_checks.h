#pragma once
// The checks a worktable slot makes before it takes its lock.

#include "kestrel/interface/entry.h"

#include "coord.h"
#include "datetime.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vex::detail {

inline constexpr std::string_view illegal_cell_message = "Illegal row or column number.";

inline bool inside_limits(int row, int col) noexcept {
    const sheet_limits_t& limits = get_sheet_limits();
    return limits.valid_row(row) && limits.valid_col(col);
}

// A position outside the sheet, refused before the lock.
inline bool admit_cell(int row, int col) noexcept {
    if (inside_limits(row, col)) return true;
    report(illegal_cell_message);
    return false;
}

// NaN and the infinities cannot be saved, and NaN would reach integer
// conversions.
inline bool admit_number(double value) noexcept {
    if (std::isfinite(value)) return true;
    report("Invalid numeric value.");
    return false;
}

// A serial beyond the date-time range would be stored clamped to its end.
inline bool admit_serial(double serial) noexcept {
    if (serial_fits_ticks(serial)) return true;
    report("Invalid numeric value.");
    return false;
}

// Longer cell texts and formulas make other applications refuse or repair the
// saved file. Only what hosts hand in is held to them: files load as they are.
inline constexpr size_t max_text_units = 32767;
inline constexpr size_t max_formula_units = 8192;

// Throws "The <what> is longer than <limit> characters.", counted in UTF-16
// units; those never outnumber the UTF-8 bytes, so short texts are not counted.
inline void check_length(std::string_view text, size_t limit, std::string_view what) {
    if (text.size() <= limit || utf16_length(text) <= limit) return;
    throw std::runtime_error("The " + std::string(what) + " is longer than " + std::to_string(limit) + " characters.");
}

// Throws "Invalid table name." for a name no formula could hold; every route
// that names a table checks it so.
void check_table_name(std::string_view name);

// The range of two corners given in any order.
inline range_t ordered_range(int first_row, int first_col, int last_row, int last_col) noexcept {
    range_t range;
    range.first.row = first_row;
    range.first.col = first_col;
    range.last.row = last_row;
    range.last.col = last_col;
    return range.order();
}

} // namespace vex::detail
