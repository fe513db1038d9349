#include "kestrel/xml/xl_xml/assignment/assign_for_drawings.h"

#include "errors.h"
#include "sheet_limits.h"
#include "text_utils.h"
#include "xml/xml_stream_writer.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

constexpr int64_t emu_per_pixel = 9525;
constexpr const char* drawing_error = "Errors were detected in drawing file.";

// Blanks around an optional "+", an optional "-" and digits; false for
// anything else or a value past 64 bits.
bool strict_integer(const char* text, int64_t& out) noexcept {
    if (!text) return false;
    std::string_view s = text;
    while (!s.empty() && ascii_is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && ascii_is_space(s.back())) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || (s.front() != '-' && !ascii_is_digit(s.front()))) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// EMU to whole pixels, truncating toward zero; false past 32 bits.
bool pixels_of(const char* text, int32_t& out) noexcept {
    int64_t emu = 0;
    if (!strict_integer(text, emu)) return false;
    const int64_t px = emu / emu_per_pixel;
    if (px < std::numeric_limits<int32_t>::min() || px > std::numeric_limits<int32_t>::max()) return false;
    out = int32_t(px);
    return true;
}

// A zero-based anchor cell made 1-based, checked against the sheet.
bool anchor_cell(int64_t row, int64_t col, int32_t& r, int32_t& c) noexcept {
    const sheet_limits_t& limits = get_sheet_limits();
    if (row < 0 || col < 0 || !limits.valid_row(row + 1) || !limits.valid_col(col + 1)) return false;
    r = int32_t(row + 1);
    c = int32_t(col + 1);
    return true;
}

bool offset_pixels(int64_t emu, int32_t& out) noexcept {
    const int64_t px = emu / emu_per_pixel;
    if (px < std::numeric_limits<int32_t>::min() || px > std::numeric_limits<int32_t>::max()) return false;
    out = int32_t(px);
    return true;
}

} // namespace

std::string node_subtree_xml(const xml_node_t& root) {
    std::string out;
    {
        xml::xml_stream_writer w([&out](const char* p, unsigned n) { out.append(p, n); });
        const xml_node_t* n = &root;
        while (n) {
            w.start_element(n->name);
            w.write_attributes(n->attributes);
            n = w.write_node_rest(n);
            // The walk leaves the element: through a sibling of it or an
            // ancestor, or by closing the ancestors to the document's end.
            bool inside = false;
            for (const xml_node_t* p = n; p && !inside; p = p->parent) inside = p == &root;
            if (!inside) break;
        }
        w.flush();
    }
    // Closing the document writes the end tags of the element's ancestors.
    std::string tail;
    for (const xml_node_t* p = root.parent; p; p = p->parent) tail += "</" + std::string(p->name) + ">";
    if (!tail.empty() && out.ends_with(tail)) out.resize(out.size() - tail.size());
    return out;
}

void assign_for_drawings_t::reset() noexcept {
    open_ = false;
    picture_ = false;
    linked_ = false;
    relationship_id_.clear();
    anchor_ = picture_anchor_t{};
    from_ = to_ = cell_t{};
}

status_t assign_for_drawings_t::assign(const xml_node_t* node) {
    if (!node || !node->name) return status_t::done;
    const size_t depth = node_depth(node);
    if (depth == 1) {
        if (!node->closed) {
            for (const auto* a = node->attributes; a; a = a->next)
                if (std::string_view(a->name).starts_with("xmlns")) drawings_.add_root_namespace(a->name, a->value);
        }
        return status_t::done;
    }
    if (depth == 2) {
        if (!node->closed) {
            start_anchor(*node);
            return status_t::keep;
        }
        if (!open_) start_anchor(*node);
        end_anchor(*node);
        return status_t::done;
    }
    // The anchor's content stays in the tree until the anchor ends.
    const xml_node_t* third = node_ancestor_at_depth(node, 3);
    if (node_named(third, "xdr:from")) {
        read_cell(*node, from_);
    } else if (node_named(third, "xdr:to")) {
        read_cell(*node, to_);
    } else if (node_named(third, "xdr:pic")) {
        picture_ = true;
        read_picture(*node);
    } else if (node_named(third, "xdr:pos")) {
        read_position(*node);
    } else if (node_named(third, "xdr:ext")) {
        read_size(*node);
    }
    return status_t::keep;
}

void assign_for_drawings_t::start_anchor(const xml_node_t& node) {
    reset();
    open_ = true;
    if (node_named(&node, "xdr:twoCellAnchor")) {
        anchor_.type = 2;
        // A missing or unknown editAs moves and sizes with the cells.
        anchor_.edit_as = 2;
        if (const char* e = get_attribute_value("editAs", node.attributes)) {
            const std::string_view v = e;
            if (v == "oneCell") anchor_.edit_as = 1;
            else if (v == "absolute") anchor_.edit_as = 0;
        }
    } else if (node_named(&node, "xdr:oneCellAnchor")) {
        anchor_.type = 1;
    } else if (node_named(&node, "xdr:absoluteAnchor")) {
        anchor_.type = 0;
    } else {
        anchor_.type = -1;  // kept as read
    }
}

void assign_for_drawings_t::end_anchor(const xml_node_t& node) {
    const bool placed = anchor_.type >= 0 && picture_ && !linked_ && !relationship_id_.empty();
    if (!placed) {
        drawings_.add_kept_anchor(node_subtree_xml(node));
        reset();
        return;
    }
    if (from_.bad || (anchor_.type == 2 && to_.bad)) throw loading_error(drawing_error);
    if (anchor_.type == 2) {
        if (!anchor_cell(from_.row, from_.col, anchor_.from_row, anchor_.from_col) ||
            !anchor_cell(to_.row, to_.col, anchor_.to_row, anchor_.to_col) ||
            !offset_pixels(from_.row_offset, anchor_.from_row_offset) ||
            !offset_pixels(from_.col_offset, anchor_.from_col_offset) ||
            !offset_pixels(to_.row_offset, anchor_.to_row_offset) ||
            !offset_pixels(to_.col_offset, anchor_.to_col_offset))
            throw loading_error(drawing_error);
    } else if (anchor_.type == 1) {
        if (!anchor_cell(from_.row, from_.col, anchor_.row, anchor_.col) ||
            !offset_pixels(from_.row_offset, anchor_.row_offset) || !offset_pixels(from_.col_offset, anchor_.col_offset))
            throw loading_error(drawing_error);
    }
    for (const xml_node_t* c = node.first_child; c; c = c->next_sibling) {
        if (node_named(c, "xdr:pic")) anchor_.picture_xml = node_subtree_xml(*c);
        if (node_named(c, "xdr:clientData")) anchor_.client_xml = node_subtree_xml(*c);
    }
    anchor_.anchor_xml = node_subtree_xml(node);
    anchor_.offsets_emu = {from_.col_offset, from_.row_offset, to_.col_offset, to_.row_offset};
    drawings_.add_picture(relationship_id_, anchor_);
    reset();
}

void assign_for_drawings_t::read_cell(const xml_node_t& node, cell_t& cell) {
    if (node_depth(&node) != 4 || !node.closed) return;
    int64_t* field = node_named(&node, "xdr:row")      ? &cell.row
                     : node_named(&node, "xdr:col")    ? &cell.col
                     : node_named(&node, "xdr:rowOff") ? &cell.row_offset
                     : node_named(&node, "xdr:colOff") ? &cell.col_offset
                                                       : nullptr;
    if (!field) return;
    int64_t v = 0;
    if (!strict_integer(node.text, v)) {
        cell.bad = true;
        return;
    }
    *field = v;
}

void assign_for_drawings_t::read_picture(const xml_node_t& node) {
    if (!node_named(&node, "a:blip") || !node_named(node.parent, "xdr:blipFill")) return;
    if (const char* embed = get_attribute_value("r:embed", node.attributes)) {
        relationship_id_ = embed;
        return;
    }
    // A picture linked to a file outside the package is kept as read.
    if (get_attribute_value("r:link", node.attributes)) {
        linked_ = true;
        return;
    }
    throw loading_error(drawing_error);
}

void assign_for_drawings_t::read_position(const xml_node_t& node) {
    if (!node_named(&node, "xdr:pos")) return;
    if (!pixels_of(get_attribute_value("x", node.attributes), anchor_.x) ||
        !pixels_of(get_attribute_value("y", node.attributes), anchor_.y))
        throw loading_error("Incorrect image positioning coordinates.");
}

void assign_for_drawings_t::read_size(const xml_node_t& node) {
    if (!node_named(&node, "xdr:ext")) return;
    int32_t cx = 0, cy = 0;
    if (!pixels_of(get_attribute_value("cx", node.attributes), cx) ||
        !pixels_of(get_attribute_value("cy", node.attributes), cy))
        throw loading_error("Incorrect image length and width.");
    anchor_.width = cx;
    anchor_.height = cy;
}

} // namespace vex
