#pragma once
// What every part reader shares: the polymorphic base a component owns, the
// section lookup, and the one set of text conversions readers use, so that no
// reader depends on the locale, wraps a 32-bit value or lets a non-finite
// number into the model.

#include "coord.h"
#include "xml/sxml_node.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vex {

class shared_xml_assignment {
public:
    shared_xml_assignment() = default;
    virtual ~shared_xml_assignment() = default;
    shared_xml_assignment(const shared_xml_assignment&) = delete;
    shared_xml_assignment& operator=(const shared_xml_assignment&) = delete;
};

// The ancestor at depth (the root is 1); null for depth 0, a null node or a
// depth below the node.
const xml::sxml::xml_node_t* node_ancestor_at_depth(const xml::sxml::xml_node_t* node, size_t depth) noexcept;
// Root is depth 1; 0 for null.
size_t node_depth(const xml::sxml::xml_node_t* node) noexcept;
// The end of the document: the handler frees its reader there.
constexpr bool is_end_of_document(const xml::sxml::xml_node_t* node) noexcept {
    return node && node->kind == xml::sxml::node_kind::document_element && node->closed;
}
// The element's name without its namespace prefix; empty for a null name.
std::string_view local_name(const xml::sxml::xml_node_t& node) noexcept;
// The element's plain name equals name (a null name equals nothing). Called
// for every node of a part: it reads no further than the first difference.
constexpr bool node_named(const xml::sxml::xml_node_t* node, std::string_view name) noexcept {
    if (!node || !node->name) return false;
    const char* n = node->name;
    for (const char c : name)
        if (c == '\0' || *n++ != c) return false;
    return *n == '\0';
}
// An element with children is reported opened and then closed; an empty one,
// or one holding only text, once. The node keeps its first answer: a child
// let go is unlinked, so the children cannot tell the reports apart.
constexpr bool is_start(const xml::sxml::xml_node_t& n) noexcept {
    return !n.closed || n.status == xml::sxml::status_t::keep;
}
constexpr bool is_end(const xml::sxml::xml_node_t& n) noexcept { return n.closed; }

// Index of value in a comma-separated literal ("___name" also matches "name"); -1 when absent.
int32_t enum_index_in_list(std::string_view list, std::string_view value) noexcept;
// As above, throwing std::runtime_error "invalid enumeration string value: \"VALUE\"" on a miss;
// a null value reads as empty.
uint32_t read_enum(std::string_view list, const char* value);

// Integers with std::stoi's reading (leading blanks, trailing text ignored), checked
// to 32 bits: "invalid stoi argument" (std::invalid_argument), "stoi argument out of
// range" (std::out_of_range). A null text has no digits.
int32_t read_int(const char* text);
// The same reading with no error: text without digits or out of range gives fallback.
int32_t int_or(const char* text, int32_t fallback) noexcept;
// Unsigned, 32 bits, whole text; fallback otherwise.
uint32_t uint_or(const char* text, uint32_t fallback) noexcept;
// Doubles as std::stod reads them (locale-free); a non-finite result is out of range.
double read_double(const char* text);
// The same reading with no error: fallback for no number or a non-finite one.
double double_or(const char* text, double fallback) noexcept;
// Numbers that are the whole text, blanks around them allowed as the format
// collapses them: "1e3", "1.5" or "0x10" is no index and no cell value.
// Nothing for any other text.
std::optional<uint32_t> whole_uint(const char* text) noexcept;
// A cell's number, also as producers write the extremes: INF, -INF and a
// text past the largest double (the largest rounded up to 16 digits) read as
// the largest double of their sign, one too small as zero; NaN (the text
// xsd:double gives it) reads as NaN, for the caller to make an error of.
std::optional<double> cell_double(const char* text) noexcept;
// A text the writers escaped (_xHHHH_ for a control character or for a
// literal "_x" that would read as one), decoded so that it reads back as set;
// empty for null.
std::string package_text(const char* text);
// A cell in A1 form (letters then digits, no '$') within the sheet limits;
// false otherwise.
bool parse_cell_reference(const char* text, int64_t& row, int64_t& col) noexcept;
// The same, throwing loading_error "Wrong cell reference: TEXT" for a bad one.
coord_t read_cell(const char* text);
// "A1" or "A1:B2", corners as read_cell takes them; "Wrong range reference: TEXT".
range_t read_range(std::string_view text);

// A blank-separated list of ranges, each as read_range takes it, handed to
// `add` in document order.
template <class F>
void read_range_list(std::string_view list, F&& add) {
    while (!list.empty()) {
        const size_t blank = list.find(' ');
        if (const std::string_view one = list.substr(0, blank); !one.empty()) add(read_range(one));
        if (blank == std::string_view::npos) break;
        list.remove_prefix(blank + 1);
    }
}

// Every reader's flags: "0" and "false" in any case false, any other text
// true, absent gives fallback.
bool flag_or(const char* text, bool fallback) noexcept;

} // namespace vex
