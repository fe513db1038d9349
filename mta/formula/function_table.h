#pragma once
// The spreadsheet functions the formula engine knows, by number. Ids run from 1
// in list order and never change: parsed formulas keep them.

#include <cstdint>
#include <string_view>

namespace vex::mta::formula {

inline constexpr uint32_t function_count = 489;

// The id of a function name in any ASCII case, 0 for a name that is not one.
// Nothing is trimmed: " SUM" and "SUM(" give 0.
uint32_t lookup_function_id(std::string_view name) noexcept;

// The upper-case name of an id from 1 to function_count, else empty.
std::string_view function_name(uint32_t id) noexcept;

// TRUE and FALSE, the functions that may stand without parentheses.
bool is_bare_function(uint32_t id) noexcept;

} // namespace vex::mta::formula
