#include "kestrel/core/components/vml_drawing.h"

#include "errors.h"

#include <cstring>
#include <string>
#include <string_view>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

// The parser takes a prefix declared anywhere earlier in the part; a shape
// kept as read must find its prefixes declared around it, or its saved copy
// would not read back. The writer declares v, o and x on the root.
void check_prefix_in_scope(const xml_node_t& node, const char* name) {
    const std::string_view n = name ? name : "";
    const size_t colon = n.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view prefix = n.substr(0, colon);
    if (prefix == "v" || prefix == "o" || prefix == "x" || prefix == "xml" || prefix == "xmlns") return;
    for (const xml_node_t* p = &node; p; p = p->parent)
        for (const auto* a = p->attributes; a; a = a->next) {
            const std::string_view declared = a->name ? a->name : "";
            if (declared.size() == 6 + prefix.size() && declared.starts_with("xmlns:") && declared.ends_with(prefix))
                return;
        }
    throw loading_error("The VML drawing uses the prefix " + std::string(prefix) + " outside its declaration.");
}

} // namespace

status_t vml_drawing_t::assign(const xml_node_t* node) {
    if (!node || !is_element(*node) || !node->name) return status_t::done;
    check_prefix_in_scope(*node, node->name);
    for (const auto* a = node->attributes; a; a = a->next) check_prefix_in_scope(*node, a->name);
    if (!node->parent) {
        // With nothing kept the whole tree goes at once.
        return node->closed && kept_ == 0 ? status_t::done : status_t::keep;
    }
    const xml_node_t* top = node;
    while (top->parent->parent) top = top->parent;
    const std::string_view top_name = top->name;
    if (top_name == "o:shapelayout") return node == top && node->closed ? status_t::done : status_t::keep;
    if (top_name == "v:shape") {
        // A node answered keep keeps that answer when reported closed, so the
        // shape in hand is told by its address.
        if (top != shape_) {
            shape_ = top;
            in_note_ = false;
        }
        if (node->parent == top && std::strcmp(node->name, "x:ClientData") == 0) {
            const char* type = get_attribute_value("ObjectType", node->attributes);
            in_note_ = type && std::strcmp(type, "Note") == 0;
        }
        if (node != top || !node->closed) return status_t::keep;
        // A note's memory may serve the next shape.
        shape_ = nullptr;
        if (in_note_) {
            ++notes_;
            return status_t::done;
        }
    }
    if (node == top && node->closed && top_name != "v:shapetype") ++kept_;
    return status_t::keep;
}

} // namespace vex
