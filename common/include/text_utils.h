#pragma once
// Text and A1-reference utilities shared by every layer. Rows and columns are
// 1-based; column letters are bijective base 26 (A = 1, XFD = 16384) in either case.

#include "coord.h"

#include <cstdint>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vex {

// ---- ASCII helpers: never follow the host's locale --------------------------
constexpr bool ascii_is_upper(char c) noexcept { return c >= 'A' && c <= 'Z'; }
constexpr bool ascii_is_lower(char c) noexcept { return c >= 'a' && c <= 'z'; }
constexpr bool ascii_is_alpha(char c) noexcept { return ascii_is_upper(c) || ascii_is_lower(c); }
constexpr bool ascii_is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr bool ascii_is_space(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
constexpr char ascii_to_upper(char c) noexcept { return ascii_is_lower(c) ? char(c - 'a' + 'A') : c; }
constexpr char ascii_to_lower(char c) noexcept { return ascii_is_upper(c) ? char(c - 'A' + 'a') : c; }
std::string ascii_lower(std::string_view s);
std::string ascii_upper(std::string_view s);
bool ascii_iequals(std::string_view a, std::string_view b) noexcept;
// The pieces as one text, allocated once. Texts are joined with it rather than
// with "literal" + std::string, in which GCC 12 at -O3 sees overlapping copies
// that cannot happen (-Wrestrict).
std::string concat(std::initializer_list<std::string_view> pieces);

// ---- A1 parsing ---------------------------------------------------------------
// One more column letter (either case) or row digit on the number read so far.
// The number stops growing far past every sheet limit, far from overflow.
int64_t add_column_letter(int64_t col, char letter) noexcept;
int64_t add_row_digit(int64_t row, char digit) noexcept;
// A column past XFD reads as a value beyond the sheet's last column (it never
// wraps), so callers refuse it with their limit check.
int string_to_column(const char* text);
int string_to_row(const char* text);
void string_to_coord(const char* text, coord_t& out);
void string_to_cell_range(const char* text, range_t& out);
void string_to_range_set(const char* const& text, std::unordered_set<range_t>& out);
int stoi_after_prefix(const char* text);
// Whether the text reads as one cell of the sheet in A1 ("B7", "xfd1048576") or
// R1C1 form ("R", "C", "RC", "R2", "C3", "R2C3", either case).
bool reads_as_cell_reference(std::string_view text) noexcept;

// ---- Names ------------------------------------------------------------------------
// Whether other applications accept a defined name: a letter, "_" or "\" first,
// then letters, digits, "_", "\", "." and "?", at most 255 characters, and
// neither a cell reference nor TRUE or FALSE (in any case).
constexpr size_t max_defined_name_length = 255;
bool is_valid_defined_name(std::string_view name) noexcept;

// ---- A1 formatting --------------------------------------------------------------
std::string column_number_to_letters(int32_t col);
std::string row_col_to_string(int row, int col);
std::string range_to_string(const range_t& r);
std::string range_to_string_unchecked(const range_t& r);

// ---- Number text ---------------------------------------------------------------
std::string double_to_string(double v);           // six decimals, as "%f"
std::string double_to_trimmed_string(double v);   // "%f" less trailing zeros and point
int uint32_to_hex(char* out, uint32_t v);         // eight upper-case digits, no NUL
uint32_t hex_to_uint32(std::string_view text);    // up to eight hex digits
// 1: store as int32, 2: as int64, 3: as double. Integers only when exactly integral.
int number_storage_kind(double x) noexcept;
std::optional<double> parse_double(std::string_view text);
// strtod in the "C" locale, whatever locale the host has set.
double c_strtod(const char* text, char** end) noexcept;
// The integer text starts with, read as strtoll reads it: leading white space
// and a sign, trailing characters ignored. False for no digits or overflow.
bool leading_int64(std::string_view text, int64_t& out) noexcept;

// ---- Strings ----------------------------------------------------------------------
size_t utf8_length(std::string_view s) noexcept;
// The UTF-16 code units of UTF-8 text: what the spreadsheet limits count.
size_t utf16_length(std::string_view s) noexcept;
bool cstr_equal(const char* a, const char* b) noexcept;
size_t safe_strlen(const char* s) noexcept;
bool string_to_bool(std::string_view s);
// Decodes the package format's _xHHHH_ escapes (UTF-16 code units, a pair of
// them for a surrogate pair) in place. _x0000_ and a lone surrogate, which no
// UTF-8 text holds, stay as written, and then the result is true: the caller
// marks the text so that a save writes them back as escapes. In such a text a
// literal one (_x005F_x0000_) stays as written too, to stay apart from them,
// and so does every _x005F_ chained before one (_x005F_x005F_x0000_).
bool decode_x_escapes(std::string& text);
// The length of the escape at text[at] that decode_x_escapes keeps as written
// (7), or of the chain of _x005F_ and the escape it ends in (13, 19, ...); 0
// for neither.
size_t kept_x_escape_at(std::string_view text, size_t at) noexcept;

} // namespace vex

namespace vex::mta::formula {
// One A1 reference as the formula parser meets it; relative parts become offsets
// from the origin cell, counted from 1 and wrapped around the sheet.
std::optional<vex::coord_t> parse_a1_reference(std::string_view text, const vex::coord_t& origin);
}
