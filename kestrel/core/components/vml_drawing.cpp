#include "kestrel/core/components/vml_drawing.h"

#include "errors.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <charconv>
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

std::string_view text_of(const xml_node_t& n) noexcept {
    if (n.text) return n.text;
    const xml_node_t* c = n.first_child;
    return c && c->kind == xml::sxml::node_kind::data && c->text ? c->text : "";
}

std::string_view trimmed(std::string_view s) noexcept {
    while (!s.empty() && ascii_is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && ascii_is_space(s.back())) s.remove_suffix(1);
    return s;
}

// Integers from 0 up separated by commas; false unless there are exactly N of
// them, each small enough to move with its cell anywhere on the sheet.
template <size_t N> bool read_numbers(std::string_view text, std::array<int, N>& out) {
    constexpr int largest = 1 << 24;
    size_t i = 0;
    for (size_t at = 0; at <= text.size(); ++i) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string_view one = trimmed(text.substr(at, comma - at));
        if (i == N || one.empty()) return false;
        const auto r = std::from_chars(one.data(), one.data() + one.size(), out[i]);
        if (r.ec != std::errc() || r.ptr != one.data() + one.size() || out[i] < 0 || out[i] > largest) return false;
        at = comma + 1;
    }
    return i == N;
}

// The note's cell (zero-based, from x:Row and x:Column) and how it is shown.
bool read_note_shape(const xml_node_t& shape, std::array<int, 2>& cell, mta::note_shape_t& out) {
    bool has_row = false, has_col = false;
    auto attribute = [&](const char* name) -> std::string_view {
        const char* v = get_attribute_value(name, shape.attributes);
        return v ? v : "";
    };
    for (std::string_view style = attribute("style"); !style.empty();) {
        const size_t end = std::min(style.find(';'), style.size());
        const std::string_view item = style.substr(0, end);
        style.remove_prefix(std::min(end + 1, style.size()));
        const size_t colon = item.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = trimmed(item.substr(0, colon)), value = trimmed(item.substr(colon + 1));
        if (key == "visibility") out.visible = value == "visible";
        if (key == "width") out.width = value;
        if (key == "height") out.height = value;
    }
    out.fill_color = attribute("fillcolor");
    out.stroke_color = attribute("strokecolor");
    for (const xml_node_t* c = shape.first_child; c; c = c->next_sibling) {
        if (!is_element(*c) || !c->name) continue;
        const std::string_view name = c->name;
        if (name == "v:fill" || name == "v:shadow" || name == "v:stroke") {
            mta::note_shape_t::element_t& e = out.look.emplace_back();
            e.name = name;
            for (const auto* a = c->attributes; a; a = a->next)
                e.attributes.emplace_back(a->name, a->value ? a->value : "");
        }
        if (name != "x:ClientData") continue;
        for (const xml_node_t* d = c->first_child; d; d = d->next_sibling) {
            if (!is_element(*d) || !d->name) continue;
            const std::string_view field = d->name;
            std::array<int, 1> one{};
            if (field == "x:TextHAlign" || field == "x:TextVAlign")
                out.text_align.push_back({std::string(field), {}, std::string(text_of(*d))});
            if (field == "x:Visible") out.visible = true;
            if (field == "x:Anchor") out.has_anchor = read_numbers(text_of(*d), out.anchor);
            if (field == "x:Row" && (has_row = read_numbers(text_of(*d), one))) cell[0] = one[0];
            if (field == "x:Column" && (has_col = read_numbers(text_of(*d), one))) cell[1] = one[0];
        }
    }
    return has_row && has_col;
}

} // namespace

void vml_drawing_t::place_note(const xml_node_t& shape) {
    const auto* part = dynamic_cast<const vml_drawing_part*>(get_part());
    if (!part || !part->holds_notes() || !part->get_parent()) return;
    auto* table = dynamic_cast<worktable_t*>(part->get_parent()->get_component());
    std::array<int, 2> cell{};
    mta::note_shape_t read;
    if (!table || !read_note_shape(shape, cell, read)) return;
    if (cell[0] >= get_sheet_limits().last_row || cell[1] >= get_sheet_limits().last_col) return;
    table->comments().set_loaded_shape(cell[0] + 1, cell[1] + 1, std::move(read));
}

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
            place_note(*top);
            return status_t::done;
        }
    }
    if (node == top && node->closed && top_name != "v:shapetype") ++kept_;
    return status_t::keep;
}

} // namespace vex
