#include "text_utils.h"

#include "sheet_limits.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <stdexcept>

namespace vex {

namespace {

// Letters and digits accumulate up to this value and stay there: far past every
// sheet limit, far from overflow.
constexpr int64_t saturation = 1 << 30;

} // namespace

int64_t add_column_letter(int64_t col, char letter) noexcept {
    return std::min<int64_t>(col * 26 + (ascii_to_upper(letter) - 'A' + 1), saturation);
}

int64_t add_row_digit(int64_t row, char digit) noexcept {
    return std::min<int64_t>(row * 10 + (digit - '0'), saturation);
}

namespace {

// Reads a run of letters (a column) or digits (a row) from the front; false
// when there is none or it lies beyond the sheet.
bool take_line(std::string_view& s, bool letters) noexcept {
    int64_t v = 0;
    size_t n = 0;
    for (; n < s.size() && (letters ? ascii_is_alpha(s[n]) : ascii_is_digit(s[n])); ++n)
        v = letters ? add_column_letter(v, s[n]) : add_row_digit(v, s[n]);
    const auto& limits = get_sheet_limits();
    if (n == 0 || !(letters ? limits.valid_col(v) : limits.valid_row(v))) return false;
    s.remove_prefix(n);
    return true;
}

// "B7", "xfd1048576".
bool reads_as_a1(std::string_view s) noexcept { return take_line(s, true) && take_line(s, false) && s.empty(); }

// "R", "C", "RC", "R2", "C3", "R2C3", in either case; a number, when given,
// lies on the sheet.
bool reads_as_r1c1(std::string_view s) noexcept {
    const auto axis = [&](char letter, bool rows) {
        if (s.empty() || ascii_to_upper(s.front()) != letter) return false;
        s.remove_prefix(1);
        if (s.empty() || !ascii_is_digit(s.front())) return true;
        int64_t v = 0;
        while (!s.empty() && ascii_is_digit(s.front())) {
            v = add_row_digit(v, s.front());
            s.remove_prefix(1);
        }
        const auto& limits = get_sheet_limits();
        return rows ? limits.valid_row(v) : limits.valid_col(v);
    };
    if (s.empty()) return false;
    const bool row = ascii_to_upper(s.front()) == 'R';
    if (row && !axis('R', true)) return false;
    if (s.empty()) return row;
    return axis('C', false) && s.empty();
}

// The digits from p as std::stoi reads them; p points at a digit.
int stoi_digits(const char* p) {
    int64_t n = 0;
    for (; ascii_is_digit(*p); ++p) {
        n = n * 10 + (*p - '0');
        if (n > INT_MAX) throw std::out_of_range("stoi argument out of range");
    }
    return static_cast<int>(n);
}

const char* skip_non_digits(const char* p) noexcept {
    while (*p && !ascii_is_digit(*p)) ++p;
    return p;
}

} // namespace

std::string concat(std::initializer_list<std::string_view> pieces) {
    size_t size = 0;
    for (const auto piece : pieces) size += piece.size();
    std::string out;
    out.reserve(size);
    for (const auto piece : pieces) out.append(piece);
    return out;
}

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = ascii_to_lower(c);
    return out;
}

std::string ascii_upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = ascii_to_upper(c);
    return out;
}

bool ascii_iequals(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_to_lower(a[i]) != ascii_to_lower(b[i])) return false;
    return true;
}

int string_to_column(const char* text) {
    int64_t n = 0;
    const char* p = text;
    if (*p == '$') ++p;  // an absolute marker ("$B$2")
    for (; ascii_is_alpha(*p); ++p) n = add_column_letter(n, *p);
    if (n == 0) throw std::runtime_error(std::string("Wrong cell reference: ") + text);
    return static_cast<int>(n);
}

int string_to_row(const char* text) {
    const char* p = skip_non_digits(text);
    if (!*p) throw std::runtime_error(std::string("Wrong row identifier: ") + text);
    return stoi_digits(p);
}

void string_to_coord(const char* text, coord_t& out) {
    out.col = string_to_column(text);
    out.row = string_to_row(text);
}

void string_to_cell_range(const char* text, range_t& out) {
    out = range_t{};
    const char* p = text;
    int64_t col = 0, row = 0;
    for (; ascii_is_alpha(*p); ++p) col = add_column_letter(col, *p);
    for (; ascii_is_digit(*p); ++p) row = add_row_digit(row, *p);
    out.first.col = static_cast<int32_t>(col);
    out.first.row = static_cast<int32_t>(row);
    if (*p == ':') {
        out.last.col = string_to_column(p + 1);
        out.last.row = string_to_row(p + 1);
        return;
    }
    if (*p == '\0') {
        out.last.row = out.first.row;
        out.last.col = out.first.col;
        return;
    }
    throw std::runtime_error(std::string("string_to_cell_range(): Wrong range string: ") + text);
}

void string_to_range_set(const char* const& text, std::unordered_set<range_t>& out) {
    out.clear();
    if (!text) return;
    std::string token;
    const char* p = text;
    while (*p) {
        while (*p && ascii_is_space(*p)) ++p;
        const char* start = p;
        while (*p && !ascii_is_space(*p)) ++p;
        if (p == start) break;
        token.assign(start, p);
        range_t r;
        string_to_cell_range(token.c_str(), r);
        out.insert(r);
    }
}

int stoi_after_prefix(const char* text) {
    const char* p = skip_non_digits(text);
    if (!*p) throw std::invalid_argument("invalid stoi argument");
    return stoi_digits(p);
}

bool reads_as_cell_reference(std::string_view text) noexcept { return reads_as_a1(text) || reads_as_r1c1(text); }

bool is_valid_defined_name(std::string_view name) noexcept {
    if (name.empty() || utf8_length(name) > max_defined_name_length) return false;
    // Bytes of multi-byte characters count as letters.
    const auto letter = [](char c) { return ascii_is_alpha(c) || static_cast<unsigned char>(c) >= 0x80; };
    const char first = name.front();
    if (!letter(first) && first != '_' && first != '\\') return false;
    for (char c : name.substr(1))
        if (!letter(c) && !ascii_is_digit(c) && c != '_' && c != '\\' && c != '.' && c != '?') return false;
    // A formula reads these as the two logical values, so no formula could
    // reach a name spelt so.
    if (ascii_iequals(name, "TRUE") || ascii_iequals(name, "FALSE")) return false;
    return !reads_as_cell_reference(name);
}

std::string column_number_to_letters(int32_t col) {
    char letters[8];
    int n = 0;
    while (col > 0 && n < 8) {
        letters[n++] = static_cast<char>('A' + (col - 1) % 26);
        col = (col - 1) / 26;
    }
    std::reverse(letters, letters + n);
    return std::string(letters, n);
}

std::string row_col_to_string(int row, int col) {
    const auto& lim = get_sheet_limits();
    if (!lim.valid_row(row) || !lim.valid_col(col)) return {};
    std::string out = column_number_to_letters(col);
    char digits[16];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, row).ptr);
    return out;
}

std::string range_to_string(const range_t& r) {
    return row_col_to_string(r.first.row, r.first.col) + ":" + row_col_to_string(r.last.row, r.last.col);
}

std::string range_to_string_unchecked(const range_t& r) {
    char digits[16];
    std::string out = column_number_to_letters(r.first.col);
    out.append(digits, std::to_chars(digits, digits + sizeof digits, r.first.row).ptr);
    out += ':';
    out += column_number_to_letters(r.last.col);
    out.append(digits, std::to_chars(digits, digits + sizeof digits, r.last.row).ptr);
    return out;
}

std::string double_to_string(double v) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return std::string(buf, res.ptr);
}

std::string double_to_trimmed_string(double v) {
    std::string s = double_to_string(v);
    if (s.find('.') == std::string::npos) return s;  // inf, nan
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

int uint32_to_hex(char* out, uint32_t v) {
    static constexpr char digits[] = "0123456789ABCDEF";
    for (int i = 7; i >= 0; --i, v >>= 4) out[i] = digits[v & 0xF];
    return 0;
}

uint32_t hex_to_uint32(std::string_view text) {
    uint32_t v = 0;
    for (size_t i = 0; i < text.size() && i < 8; ++i) {
        const char c = ascii_to_upper(text[i]);
        uint32_t d;
        if (ascii_is_digit(c)) d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        v = v << 4 | d;
    }
    return v;
}

int number_storage_kind(double x) noexcept {
    // -0.0 is kept as a double so that its sign survives.
    if (!std::isfinite(x) || std::trunc(x) != x || (x == 0 && std::signbit(x))) return 3;
    if (x >= -2147483648.0 && x <= 2147483647.0) return 1;
    if (x >= -9223372036854775808.0 && x < 9223372036854775808.0) return 2;
    return 3;
}

double c_strtod(const char* text, char** end) noexcept {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(text, end, loc);
}

bool leading_int64(std::string_view text, int64_t& out) noexcept {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p != end && ascii_is_space(*p)) ++p;
    // from_chars takes no '+', and must not read "+-5" as -5.
    if (p != end && *p == '+' && p + 1 != end && p[1] != '-') ++p;
    return std::from_chars(p, end, out).ec == std::errc();
}

std::optional<double> parse_double(std::string_view text) {
    if (text.empty()) return std::nullopt;
    // A bounded copy: strtod must not run past the view.
    const std::string copy(text);
    char* end = nullptr;
    const double v = c_strtod(copy.c_str(), &end);
    if (end == copy.c_str() + copy.size()) return v;

    double value = 0, scale = 1, sign = 1;
    bool point = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 0 && (c == '+' || c == '-')) {
            if (c == '-') sign = -1;
        } else if (c == '.') {
            if (point) break;
            point = true;
        } else if (ascii_is_digit(c)) {
            if (!point) {
                value = value * 10 + (c - '0');
            } else {
                scale *= 0.1;
                value += scale * (c - '0');
            }
        } else {
            break;
        }
    }
    return sign * value;
}

size_t utf8_length(std::string_view s) noexcept {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) i += 1;
        else if ((b & 0xE0) == 0xC0) i += 2;
        else if ((b & 0xF0) == 0xE0) i += 3;
        else if ((b & 0xF8) == 0xF0) i += 4;
        else i += 1;
    }
    return count;
}

size_t utf16_length(std::string_view s) noexcept {
    size_t count = 0;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) ++count;   // a character starts here
        if ((b & 0xF8) == 0xF0) ++count;   // beyond the first plane: a surrogate pair
    }
    return count;
}

bool cstr_equal(const char* a, const char* b) noexcept { return a && b && std::strcmp(a, b) == 0; }

size_t safe_strlen(const char* s) noexcept { return s ? std::strlen(s) : 0; }

bool string_to_bool(std::string_view s) {
    return !(s == "0" || ascii_iequals(s, "false"));
}

namespace {

// The code unit of an escape at text[at], or -1.
int32_t x_escape_at(std::string_view text, size_t at) noexcept {
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') return -1;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const char c = ascii_to_upper(text[i]);
        if (!ascii_is_digit(c) && !(c >= 'A' && c <= 'F')) return -1;
    }
    return int32_t(hex_to_uint32(text.substr(at + 2, 4)));
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// NUL would end the text early for a C reader, and UTF-8 has no lone surrogate.
bool kept_unit(int32_t unit) noexcept {
    return unit == 0 || (unit >= 0xD800 && unit <= 0xDFFF);
}

struct decoded_t {
    bool kept = false;     // an escape stayed as written
    bool literal = false;  // a literal one was met
};

decoded_t decode_from(const std::string& text, size_t at, std::string& out, bool keep_literals) {
    decoded_t d;
    while (at < text.size()) {
        const int32_t unit = x_escape_at(text, at);
        if (unit < 0) {
            out += text[at++];
            continue;
        }
        if (const size_t literal = unit == 0x5F ? kept_x_escape_at(text, at) : 0) {
            d.literal = true;
            if (keep_literals) {
                out.append(text, at, literal);
                at += literal;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const int32_t low = x_escape_at(text, at + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((uint32_t(unit) - 0xD800) << 10) + (uint32_t(low) - 0xDC00));
                at += 14;
                continue;
            }
        }
        if (kept_unit(unit)) {
            d.kept = true;
            out.append(text, at, 7);
        } else {
            append_utf8(out, uint32_t(unit));
        }
        at += 7;
    }
    return d;
}

} // namespace

bool decode_x_escapes(std::string& text) {
    const size_t at = text.find("_x");
    if (at == std::string::npos) return false;
    std::string out(text, 0, at);
    const decoded_t d = decode_from(text, at, out, false);
    if (d.kept && d.literal) {
        out.assign(text, 0, at);
        decode_from(text, at, out, true);
    }
    text = std::move(out);
    return d.kept;
}

size_t kept_x_escape_at(std::string_view text, size_t at) noexcept {
    const int32_t unit = x_escape_at(text, at);
    if (unit < 0) return 0;
    if (kept_unit(unit)) return 7;
    // Each _x005F_ ends on the '_' the next one begins with: a chain of them
    // before a kept escape stays whole, or a literal "_x005F" would join it.
    size_t last = at;
    while (x_escape_at(text, last) == 0x5F) last += 6;
    return last > at && kept_unit(x_escape_at(text, last)) ? last - at + 7 : 0;
}

} // namespace vex

namespace vex::mta::formula {

std::optional<vex::coord_t> parse_a1_reference(std::string_view text, const vex::coord_t& origin) {
    if (text.empty()) return std::nullopt;
    int64_t col = 0, row = 0;
    bool letters = false, digits = false, col_abs = false, row_abs = false;
    for (const char raw : text) {
        const char c = ascii_to_upper(raw);
        if (ascii_is_upper(c)) {
            if (digits) return std::nullopt;
            letters = true;
            col = add_column_letter(col, c);
        } else if (ascii_is_digit(c)) {
            if (!letters) return std::nullopt;
            digits = true;
            row = add_row_digit(row, c);
        } else if (c == '$') {
            if (digits) return std::nullopt;
            bool& which = letters ? row_abs : col_abs;
            if (which) return std::nullopt;
            which = true;
        } else {
            return std::nullopt;
        }
    }
    if (row == 0 || col == 0) return std::nullopt;
    const auto& lim = get_sheet_limits();
    auto offset = [](int64_t value, int64_t base, int64_t count) {
        return value >= base ? value - base + 1 : value - base + 1 + count;
    };
    if (!row_abs) row = offset(row, origin.row, lim.row_count());
    if (!col_abs) col = offset(col, origin.col, lim.col_count());
    return vex::coord_t{0, static_cast<int32_t>(row), static_cast<int32_t>(col), 1,
                        static_cast<uint8_t>(row_abs), static_cast<uint8_t>(col_abs)};
}

} // namespace vex::mta::formula
