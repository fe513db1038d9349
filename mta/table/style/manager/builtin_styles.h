#pragma once
// The built-in cell styles ("normal", "comma", "title", "heading1", "good",
// "accent1pct20", ...): their names by builtinId, their format records and the
// fonts, fills and borders those records use. Fixed data, built on first use and
// read without a lock.

#include "mta/table/style/manager/border.h"
#include "mta/table/style/manager/fill.h"
#include "mta/table/style/manager/font.h"
#include "mta/table/style/manager/xf.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vex::mta {

inline constexpr int builtin_style_name_count = 54;
inline constexpr size_t builtin_style_record_count = 47;
inline constexpr size_t builtin_font_count = 18;
inline constexpr size_t builtin_fill_count = 33;
inline constexpr size_t builtin_border_count = 10;

struct builtin_style_t {
    std::string_view name;
    uint32_t record = 0;       // the built-in format record
    int32_t builtinId = 0;
    int32_t iLevel = 0;
    uint8_t customBuiltin = 1;
    uint8_t hidden = 0;
};

// The name of a builtinId; empty for an id without a built-in style here and
// for any id outside 0..53.
std::string_view builtin_style_name(int builtin_id) noexcept;

// Exact and case-sensitive: "Normal" is not "normal".
const builtin_style_t* find_builtin_style(std::string_view name);
// The built-in style of the name in any ASCII case, as applications read
// style names; null for none.
const builtin_style_t* find_builtin_style_in_any_case(std::string_view name);
inline bool is_builtin_style_name_in_any_case(std::string_view name) {
    return find_builtin_style_in_any_case(name) != nullptr;
}

// The elements of the fixed tables; the index must be below the counts above.
const xf_t& builtin_style_record(size_t k);
const font_t& builtin_font(size_t i);
const fill_t& builtin_fill(size_t i);
const border_t& builtin_border(size_t i);

} // namespace vex::mta
