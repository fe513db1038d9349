#pragma once
// What the pull parser hands to its handler: one parsed node with its attributes,
// linked into the tree of the open elements. Names, texts and values are
// NUL-terminated copies owned by the parser's arena, so a handler that wants to
// keep one past its answer copies it (or answers `keep`).

#include <cstddef>
#include <cstdint>

namespace vex::xml::sxml {

// The handler's answer for each node it is given.
enum class status_t : uint32_t {
    done = 1,   // the node may be freed once it is closed
    keep = 2,   // the node stays linked in the tree (the initial value)
    stop = 3,   // hand the rest of the chunk back unparsed
    error = 4,  // fail the parse
};

enum class node_kind : uint32_t {
    document_element = 0,
    element = 1,
    data = 2,  // an element's text as a child node; never reported
    cdata = 3,
    comment = 4,
    declaration = 5,
    doctype = 6,
    processing_instruction = 7,
};

struct xml_attribute_t {
    uint32_t prefix_length;  // characters before the ':' of a prefixed name; 0 for xml: and xmlns:
    const char* name;
    const char* value;  // decoded
    xml_attribute_t* next;
};

struct xml_node_t {
    node_kind kind;
    status_t status;
    uint8_t closed;    // 0 while an element is open; 1 once its end is parsed, and for every other kind
    uint8_t prefixed;  // the element's name has a namespace prefix
    uint32_t prefix_length;
    const char* name;  // qualified element name, or a processing instruction's target
    const char* text;  // decoded text, or the content of the other kinds; null when there is none
    xml_attribute_t* attributes;  // in document order
    xml_node_t* parent;
    xml_node_t* first_child;
    xml_node_t* prev_sibling;
    xml_node_t* next_sibling;
};

constexpr bool is_element(const xml_node_t& n) noexcept {
    return n.kind == node_kind::document_element || n.kind == node_kind::element;
}

} // namespace vex::xml::sxml

namespace vex {

// The value of the first attribute called `name`; null when there is none or
// `name` is null.
const char* get_attribute_value(const char* name, const xml::sxml::xml_attribute_t* list) noexcept;

// Replaces each of the `count` names by the value of the first attribute of that
// name (null when absent) and returns how many were found.
int get_attribute_values(const char** names, size_t count, const xml::sxml::xml_attribute_t* list) noexcept;

} // namespace vex
