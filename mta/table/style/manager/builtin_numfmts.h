#pragma once
// The fixed vocabularies of the format: the built-in number formats (ids 0 to
// 163, one code each) and the 60 built-in table-style names, with their reverse
// lookups. Both tables are compile-time data; the reverse maps are built on first use.

#include <optional>
#include <string_view>

namespace vex::mta {

inline constexpr int builtin_numfmt_count = 164;       // custom ids start here
inline constexpr int builtin_table_style_count = 60;

// The code of a built-in id; an empty view outside 0..163.
std::string_view builtin_numfmt_code(int id) noexcept;

// The id of an exactly equal built-in code. Ids that repeat an earlier code are
// never returned: "m/d/yyyy" is 14, "h:mm:ss" 21.
std::optional<int> builtin_numfmt_id(std::string_view code);

// "TableStyleLight1".."21", "TableStyleMedium1".."28", "TableStyleDark1".."11"
// at 0..59; an empty view otherwise.
std::string_view builtin_table_style_name(int index) noexcept;

// Exact and case-sensitive; false for an empty name.
bool is_builtin_table_style(std::string_view name);

} // namespace vex::mta
