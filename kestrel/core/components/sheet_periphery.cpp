#include "kestrel/core/components/sheet_periphery.h"

#include <vector>

namespace vex {

using xml::sxml::xml_attribute_t;
using xml::sxml::xml_node_t;

kept_element_t::kept_element_t(const xml_node_t& node) {
    copy_tree(node, nullptr, nullptr);
}

xml_node_t& kept_element_t::copy_after(xml_node_t& node) {
    xml_node_t* const next = node.next_sibling;
    xml_node_t* made = copy_tree(node, node.parent, &node);
    made->next_sibling = next;
    if (next) next->prev_sibling = made;
    return *made;
}

xml_node_t* kept_element_t::copy_tree(const xml_node_t& node, xml_node_t* parent, xml_node_t* prev) {
    xml_node_t* const top = copy_one(node, parent, prev);
    // Iterative, so that a deep element cannot exhaust the stack.
    std::vector<std::pair<const xml_node_t*, xml_node_t*>> work{{&node, top}};
    while (!work.empty()) {
        const auto [source, made] = work.back();
        work.pop_back();
        xml_node_t* last = nullptr;
        for (const xml_node_t* c = source->first_child; c; c = c->next_sibling) {
            if (!xml::sxml::is_element(*c)) continue;
            last = copy_one(*c, made, last);
            work.emplace_back(c, last);
        }
    }
    return top;
}

const char* kept_element_t::keep(const char* text) {
    if (!text) return nullptr;
    return texts_.emplace_back(text).c_str();
}

void kept_element_t::set_text(xml_node_t& node, std::string_view text) {
    node.text = edited_[&node].assign(text).c_str();
}

void kept_element_t::set_value(xml_attribute_t& attribute, std::string_view value) {
    attribute.value = edited_[&attribute].assign(value).c_str();
}

void kept_element_t::unlink(xml_node_t& node) noexcept {
    if (node.prev_sibling) node.prev_sibling->next_sibling = node.next_sibling;
    else if (node.parent) node.parent->first_child = node.next_sibling;
    if (node.next_sibling) node.next_sibling->prev_sibling = node.prev_sibling;
    node.parent = node.prev_sibling = node.next_sibling = nullptr;
}

xml_node_t* kept_element_t::copy_one(const xml_node_t& s, xml_node_t* parent, xml_node_t* prev) {
    xml_node_t& n = nodes_.emplace_back();
    n.kind = xml::sxml::node_kind::element;
    n.status = xml::sxml::status_t::keep;
    n.closed = 1;
    n.prefixed = s.prefixed;
    n.prefix_length = s.prefix_length;
    n.name = keep(s.name);
    n.text = keep(s.text);
    n.parent = parent;
    xml_attribute_t* last = nullptr;
    for (const xml_attribute_t* a = s.attributes; a; a = a->next) {
        xml_attribute_t& c = attributes_.emplace_back();
        c.prefix_length = a->prefix_length;
        c.name = keep(a->name);
        c.value = keep(a->value);
        (last ? last->next : n.attributes) = &c;
        last = &c;
    }
    if (prev) {
        prev->next_sibling = &n;
        n.prev_sibling = prev;
    } else if (parent) {
        parent->first_child = &n;
    }
    return &n;
}

const kept_element_t* sheet_periphery_t::kept_section(std::string_view name) const noexcept {
    for (const kept_element_t& k : kept_sections)
        if (k.name() == name) return &k;
    return nullptr;
}

const cell_metadata_t* sheet_periphery_t::metadata_at(int32_t row, int32_t col) const noexcept {
    if (cell_metadata.empty()) return nullptr;
    const auto it = cell_metadata.find({row, col});
    return it == cell_metadata.end() ? nullptr : &it->second;
}

const std::string* sheet_periphery_t::error_literal_at(int32_t row, int32_t col) const noexcept {
    if (error_literals.empty()) return nullptr;
    const auto it = error_literals.find({row, col});
    return it == error_literals.end() ? nullptr : &it->second;
}

} // namespace vex
