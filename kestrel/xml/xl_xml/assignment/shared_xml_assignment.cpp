#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"

#include "errors.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace vex {

using xml::sxml::xml_node_t;

size_t node_depth(const xml_node_t* node) noexcept {
    size_t d = 0;
    for (; node; node = node->parent) ++d;
    return d;
}

const xml_node_t* node_ancestor_at_depth(const xml_node_t* node, size_t depth) noexcept {
    const size_t d = node_depth(node);
    if (depth == 0 || depth > d) return nullptr;
    for (size_t i = d; i > depth; --i) node = node->parent;
    return node;
}

std::string_view local_name(const xml_node_t& n) noexcept {
    std::string_view name = n.name ? n.name : "";
    if (n.prefixed && n.prefix_length < name.size()) name.remove_prefix(n.prefix_length + 1);
    return name;
}

int32_t enum_index_in_list(std::string_view list, std::string_view value) noexcept {
    if (list.data() == nullptr) return -1;
    int32_t index = 0;
    size_t at = 0;
    while (true) {
        const size_t comma = list.find(',', at);
        std::string_view entry = list.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
        if (entry == value) return index;
        if (entry.size() >= 4 && entry.starts_with("___") && entry.substr(3) == value) return index;
        if (comma == std::string_view::npos) return -1;
        at = comma + 1;
        ++index;
    }
}

uint32_t read_enum(std::string_view list, const char* value) {
    const char* v = value ? value : "";
    const int32_t i = enum_index_in_list(list, v);
    if (i < 0) throw std::runtime_error(std::string("invalid enumeration string value: \"") + v + "\"");
    return static_cast<uint32_t>(i);
}

namespace {

enum class parsed { ok, none, range };

parsed leading_int32(const char* text, int32_t& out) noexcept {
    if (!text) return parsed::none;
    while (ascii_is_space(*text)) ++text;
    if (*text == '+' && ascii_is_digit(text[1])) ++text;
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    if (r.ec == std::errc::invalid_argument) return parsed::none;
    if (r.ec == std::errc::result_out_of_range) return parsed::range;
    return parsed::ok;
}

parsed leading_double(const char* text, double& out) noexcept {
    if (!text) return parsed::none;
    while (ascii_is_space(*text)) ++text;
    if (*text == '+' && text[1] != '-') ++text;
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    if (r.ec == std::errc::invalid_argument) return parsed::none;
    if (r.ec == std::errc::result_out_of_range || !std::isfinite(out)) return parsed::range;
    return parsed::ok;
}

} // namespace

int32_t read_int(const char* text) {
    int32_t v = 0;
    switch (leading_int32(text, v)) {
    case parsed::none: throw std::invalid_argument("invalid stoi argument");
    case parsed::range: throw std::out_of_range("stoi argument out of range");
    case parsed::ok: break;
    }
    return v;
}

int32_t int_or(const char* text, int32_t fallback) noexcept {
    int32_t v = 0;
    return leading_int32(text, v) == parsed::ok ? v : fallback;
}

uint32_t uint_or(const char* text, uint32_t fallback) noexcept {
    if (!text) return fallback;
    const char* end = text + std::strlen(text);
    uint32_t v = 0;
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end ? v : fallback;
}

double read_double(const char* text) {
    double v = 0;
    switch (leading_double(text, v)) {
    case parsed::none: throw std::invalid_argument("invalid stod argument");
    case parsed::range: throw std::out_of_range("stod argument out of range");
    case parsed::ok: break;
    }
    return v;
}

double double_or(const char* text, double fallback) noexcept {
    double v = 0;
    return leading_double(text, v) == parsed::ok ? v : fallback;
}

namespace {

// The text between the blanks around it; empty for null.
std::string_view trimmed(const char* text) noexcept {
    std::string_view t = text ? text : "";
    while (!t.empty() && ascii_is_space(t.front())) t.remove_prefix(1);
    while (!t.empty() && ascii_is_space(t.back())) t.remove_suffix(1);
    if (t.size() > 1 && t.front() == '+' && t[1] != '-') t.remove_prefix(1);
    return t;
}

template <class T>
std::optional<T> whole_number(const char* text) noexcept {
    const std::string_view t = trimmed(text);
    T v{};
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

} // namespace

std::optional<uint32_t> whole_uint(const char* text) noexcept { return whole_number<uint32_t>(text); }

namespace {

// Whether a number text too large or too small for a double is the large kind:
// its first significant digit stands at 10^0 or above.
bool past_the_largest(std::string_view t) noexcept {
    if (!t.empty() && t.front() == '-') t.remove_prefix(1);
    int64_t lead = 0;  // the power of ten just above the first significant digit
    bool significant = false, point = false;
    size_t i = 0;
    for (; i < t.size() && (ascii_is_digit(t[i]) || t[i] == '.'); ++i) {
        if (t[i] == '.') {
            point = true;
        } else if (!significant && t[i] == '0') {
            if (point) --lead;
        } else {
            significant = true;
            if (!point) ++lead;
        }
    }
    int64_t exponent = 0;
    if (i < t.size()) {
        std::string_view e = t.substr(i + 1);
        if (!e.empty() && e.front() == '+') e.remove_prefix(1);
        if (std::from_chars(e.data(), e.data() + e.size(), exponent).ec != std::errc())
            return e.front() != '-';  // beyond 64 bits: its sign decides
    }
    return lead + exponent > 0;
}

} // namespace

std::optional<double> cell_double(const char* text) noexcept {
    const std::string_view t = trimmed(text);
    constexpr double largest = std::numeric_limits<double>::max();
    if (t == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (t == "INF") return largest;
    if (t == "-INF") return -largest;
    double v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || r.ptr != t.data() + t.size()) return std::nullopt;
    if (r.ec == std::errc()) return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    if (r.ec != std::errc::result_out_of_range) return std::nullopt;
    const bool negative = t.front() == '-';
    if (past_the_largest(t)) return negative ? -largest : largest;
    return negative ? -0.0 : 0.0;
}

std::string package_text(const char* text) {
    std::string out = text ? text : "";
    decode_x_escapes(out);
    return out;
}

bool parse_cell_reference(const char* text, int64_t& row, int64_t& col) noexcept {
    if (!text) return false;
    const sheet_limits_t& limits = get_sheet_limits();
    const char* p = text;
    int64_t c = 0, r = 0;
    // Bounded as they grow: a long run of letters or digits cannot overflow.
    for (; ascii_is_alpha(*p) && c <= limits.last_col; ++p) c = c * 26 + (ascii_to_upper(*p) - 'A' + 1);
    for (; ascii_is_digit(*p) && r <= limits.last_row; ++p) r = r * 10 + (*p - '0');
    if (*p || !limits.valid_col(c) || !limits.valid_row(r)) return false;
    row = r;
    col = c;
    return true;
}

coord_t read_cell(const char* text) {
    int64_t r = 0, c = 0;
    if (!parse_cell_reference(text, r, c)) throw loading_error(std::string("Wrong cell reference: ") + (text ? text : ""));
    coord_t out{};
    out.row = int32_t(r);
    out.col = int32_t(c);
    return out;
}

range_t read_range(std::string_view text) {
    const size_t colon = text.find(':');
    const std::string first(text.substr(0, colon));
    const std::string last = colon == std::string_view::npos ? first : std::string(text.substr(colon + 1));
    int64_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!parse_cell_reference(first.c_str(), r1, c1) || !parse_cell_reference(last.c_str(), r2, c2))
        throw loading_error("Wrong range reference: " + std::string(text));
    range_t out{};
    out.first.row = int32_t(r1);
    out.first.col = int32_t(c1);
    out.last.row = int32_t(r2);
    out.last.col = int32_t(c2);
    return out;
}

bool flag_or(const char* text, bool fallback) noexcept {
    return text ? string_to_bool(text) : fallback;
}

} // namespace vex
