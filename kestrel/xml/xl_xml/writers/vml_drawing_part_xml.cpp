#include "kestrel/xml/xl_xml/writers/vml_drawing_part_xml.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "sheet_limits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

namespace vex {

namespace {

using xml::sxml::xml_node_t;

constexpr uint32_t ids_per_block = 1024;
constexpr uint32_t shapes_per_block = ids_per_block - 1;
constexpr std::string_view shape_prefix = "_x0000_s";
constexpr std::string_view note_type_id = "_x0000_t202";
constexpr std::string_view default_fill = "infoBackground [80]";

constexpr std::string_view note_type =
    "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\">"
    "<v:stroke joinstyle=\"miter\"/><v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";

const char* attribute(const xml_node_t& n, const char* name) noexcept { return get_attribute_value(name, n.attributes); }

// The number of a shape id "_x0000_sNNNN"; 0 for any other text.
uint32_t shape_number(const char* id) noexcept {
    if (!id) return 0;
    const std::string_view s(id);
    if (!s.starts_with(shape_prefix)) return 0;
    uint32_t n = 0;
    const auto r = std::from_chars(s.data() + shape_prefix.size(), s.data() + s.size(), n);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() ? n : 0;
}

void collect_shape_numbers(const xml_node_t* n, std::set<uint32_t>& out) {
    for (; n; n = n->next_sibling) {
        if (!is_element(*n)) continue;
        for (const char* name : {"id", "o:spid"})
            if (const uint32_t id = shape_number(attribute(*n, name))) out.insert(id);
        collect_shape_numbers(n->first_child, out);
    }
}

void collect_drawings(const xml_part_t& part, std::vector<const vml_drawing_part*>& out) {
    for (const auto& c : part.get_child_parts()) {
        if (const auto* vml = dynamic_cast<const vml_drawing_part*>(c.get())) out.push_back(vml);
        collect_drawings(*c, out);
    }
}

const mta::comment_store_t* notes_of(const vml_drawing_part& part) {
    if (!part.holds_notes()) return nullptr;
    const auto* table = dynamic_cast<const worktable_t*>(part.get_parent()->get_component());
    return table ? &table->comments() : nullptr;
}

// What a part holds before notes are placed: the ids of its kept shapes and
// the blocks they, or the bytes kept whole, claim.
struct held_t {
    std::set<uint32_t> ids;
    std::set<uint32_t> blocks;
};

held_t held_by(const vml_drawing_part& part) {
    held_t h;
    if (part.get_raw_data()) {
        for (const uint32_t b : vml_drawing_part_xml::idmap_blocks({part.get_raw_data(), part.get_raw_size()}))
            h.blocks.insert(b);
        return h;
    }
    if (const xml_node_t* root = part.get_kept_tree()) collect_shape_numbers(root->first_child, h.ids);
    for (const uint32_t id : h.ids) h.blocks.insert(id / ids_per_block);
    return h;
}

// Element by element as read: names, attributes and texts are in the
// package's form already.
void write_kept(xml::xml_stream_writer& w, const xml_node_t& n) {
    w.start_element(n.name);
    w.write_attributes(n.attributes);
    const char* text = n.text;
    const xml_node_t* child = n.first_child;
    if (child && child->kind == xml::sxml::node_kind::data) {
        if (!text) text = child->text;
        child = nullptr;
    }
    if (text) {
        w.close_start_tag();
        w.write_parsed_text(text);
        w.end_element(n.name);
    } else if (child) {
        w.close_start_tag();
        for (; child; child = child->next_sibling)
            if (is_element(*child)) write_kept(w, *child);
        w.end_element(n.name);
    } else {
        w.end_empty_element();
    }
}

bool is_named(const xml_node_t& n, std::string_view name) noexcept { return n.name && name == n.name; }

} // namespace

std::vector<uint32_t> vml_drawing_part_xml::idmap_blocks(std::string_view bytes) {
    std::vector<uint32_t> out;
    const size_t map = bytes.find("idmap");
    if (map == std::string_view::npos) return out;
    const size_t end_of_tag = bytes.find('>', map);
    const size_t data = bytes.substr(0, end_of_tag).find("data=", map);
    if (data == std::string_view::npos || data + 6 > bytes.size()) return out;
    const char quote = bytes[data + 5];
    const size_t close = bytes.find(quote, data + 6);
    if (close == std::string_view::npos) return out;
    const std::string_view list = bytes.substr(data + 6, close - data - 6);
    for (size_t at = 0; at < list.size();) {
        while (at < list.size() && (list[at] == ',' || list[at] == ' ')) ++at;
        uint32_t n = 0;
        const auto r = std::from_chars(list.data() + at, list.data() + list.size(), n);
        if (r.ec != std::errc()) break;
        out.push_back(n);
        at = size_t(r.ptr - list.data());
    }
    return out;
}

vml_drawing_part_xml::shape_ids_t vml_drawing_part_xml::plan_shape_ids(const vml_drawing_part& part) {
    std::vector<const vml_drawing_part*> drawings;
    collect_drawings(*part.get_workbook_part(), drawings);
    std::vector<held_t> held;
    std::set<uint32_t> taken;
    for (const vml_drawing_part* d : drawings) {
        held.push_back(held_by(*d));
        taken.insert(held.back().blocks.begin(), held.back().blocks.end());
    }
    for (size_t i = 0; i < drawings.size(); ++i) {
        const mta::comment_store_t* notes = notes_of(*drawings[i]);
        const size_t wanted = notes ? notes->size() : 0;
        if (drawings[i] != &part && wanted == 0) continue;
        held_t& h = held[i];
        shape_ids_t plan;
        // Ids the kept shapes leave free in their blocks first.
        for (const uint32_t b : h.blocks)
            for (uint32_t id = b * ids_per_block + 1; id < (b + 1) * ids_per_block && plan.notes.size() < wanted; ++id)
                if (!h.ids.count(id)) plan.notes.push_back(id);
        if (plan.notes.size() < wanted) {
            const size_t count = (wanted - plan.notes.size() + shapes_per_block - 1) / shapes_per_block;
            uint32_t first = 1;
            for (;;) {
                uint32_t b = first;
                while (b < first + count && !taken.count(b)) ++b;
                if (b == first + count) break;
                first = b + 1;
            }
            for (uint32_t b = first; b < first + count; ++b) {
                taken.insert(b);
                h.blocks.insert(b);
                for (uint32_t id = b * ids_per_block + 1; id < (b + 1) * ids_per_block && plan.notes.size() < wanted; ++id)
                    plan.notes.push_back(id);
            }
        }
        if (drawings[i] == &part) {
            plan.blocks.assign(h.blocks.begin(), h.blocks.end());
            return plan;
        }
    }
    // Not found under its own workbook: its kept blocks only.
    shape_ids_t plan;
    const held_t h = held_by(part);
    plan.blocks.assign(h.blocks.begin(), h.blocks.end());
    return plan;
}

void vml_drawing_part_xml::write() {
    w_ = part_.get_xml_writer();
    if (!w_) throw std::runtime_error("no xml stream writer.");
    const xml_node_t* root = part_.get_kept_tree();
    const mta::comment_store_t* notes = notes_of(part_);
    const bool has_notes = notes && !notes->empty();
    const shape_ids_t ids = plan_shape_ids(part_);

    write_root_start(root);
    if (!ids.blocks.empty()) {
        w_->write_raw("<o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"");
        for (size_t i = 0; i < ids.blocks.size(); ++i) {
            if (i) w_->write_raw(",");
            w_->write_raw(number_text(ids.blocks[i]));
        }
        w_->write_raw("\"/></o:shapelayout>");
    }
    const xml_node_t* kept = root ? root->first_child : nullptr;
    // Shapetypes first, each once: those the kept shapes name, and the notes' one.
    std::set<std::string_view> named;
    for (const xml_node_t* n = kept; n; n = n->next_sibling)
        if (is_element(*n) && !is_named(*n, "v:shapetype"))
            if (const char* type = attribute(*n, "type"); type && *type == '#') named.insert(type + 1);
    bool note_type_written = false;
    for (const xml_node_t* n = kept; n; n = n->next_sibling) {
        if (!is_element(*n) || !is_named(*n, "v:shapetype")) continue;
        const char* id = attribute(*n, "id");
        const std::string_view type = id ? id : "";
        const bool for_notes = has_notes && type == note_type_id;
        if (!for_notes && !named.count(type)) continue;
        if (note_type_written && type == note_type_id) continue;
        write_kept(*w_, *n);
        note_type_written = note_type_written || type == note_type_id;
    }
    if (has_notes && !note_type_written) w_->write_raw(note_type);
    if (has_notes) {
        size_t i = 0;
        for (const auto& entry : notes->entries()) {
            if (i == ids.notes.size()) break;
            const auto& shape = entry.second.shape;
            write_note(entry.first.first - 1, entry.first.second - 1, shape ? &*shape : nullptr, ids.notes[i], i + 1);
            ++i;
        }
    }
    for (const xml_node_t* n = kept; n; n = n->next_sibling)
        if (is_element(*n) && !is_named(*n, "v:shapetype")) write_kept(*w_, *n);
    w_->write_raw("</xml>");
}

void vml_drawing_part_xml::write_root_start(const xml_node_t* root) {
    w_->write_raw("<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\""
                  " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"");
    // Other namespaces the kept shapes may use, as read.
    for (const auto* a = root ? root->attributes : nullptr; a; a = a->next) {
        const std::string_view name = a->name;
        if (name == "xmlns:v" || name == "xmlns:o" || name == "xmlns:x") continue;
        xml::sxml::xml_attribute_t one = *a;
        one.next = nullptr;
        w_->write_attributes(&one);
    }
    w_->write_raw(">");
}

// Zero-based row and column. A new note spans two columns right of its cell
// and four rows from the one above, as spreadsheet applications place new
// notes; a loaded one keeps its place, size, colours and state.
void vml_drawing_part_xml::write_note(int32_t row, int32_t col, const mta::note_shape_t* shape, uint32_t id,
                                      size_t z) {
    const sheet_limits_t& limits = get_sheet_limits();
    const int32_t left = std::min(col + 1, int32_t(limits.last_col) - 3);
    const int32_t top = std::min(std::max(row - 1, 0), int32_t(limits.last_row) - 5);
    const int32_t top_offset = row == 0 ? 2 : 10;
    const int32_t bottom_offset = row == 0 ? 16 : 4;
    std::array<int32_t, 8> anchor = {left, 15, top, top_offset, left + 2, 15, top + (row == 0 ? 3 : 4), bottom_offset};
    if (shape && shape->has_anchor) std::copy(shape->anchor.begin(), shape->anchor.end(), anchor.begin());
    // A loaded note sized by its style alone (as openpyxl writes them) is
    // placed by that size: an anchor would override it.
    const bool write_anchor = !shape || shape->has_anchor || (shape->width.empty() && shape->height.empty());
    // Default columns are 48 points wide and rows 15 points high; offsets are pixels.
    const double margin_left = anchor[0] * 48.0 + anchor[1] * 0.75;
    const double margin_top = anchor[2] * 15.0 + anchor[3] * 0.75;
    xml::xml_stream_writer& w = *w_;
    auto as_read = [&](const std::string* value, std::string_view fallback) {
        if (shape && value && !value->empty())
            w.write_parsed_text(*value);
        else
            w.write_raw(fallback);
    };
    // An attribute of a loaded shape as read; none where empty.
    auto color = [&](std::string_view name, const std::string& value) {
        if (value.empty()) return;
        w.write_raw(" ");
        w.write_raw(name);
        w.write_raw("=\"");
        w.write_parsed_text(value);
        w.write_raw("\"");
    };
    w.write_raw("<v:shape id=\"");
    w.write_raw(shape_prefix);
    w.write_raw(number_text(id));
    w.write_raw("\" type=\"#_x0000_t202\" style='position:absolute;margin-left:");
    w.write_raw(number_text(margin_left));
    w.write_raw("pt;margin-top:");
    w.write_raw(number_text(margin_top));
    w.write_raw("pt;width:");
    as_read(shape ? &shape->width : nullptr, "96pt");
    w.write_raw(";height:");
    as_read(shape ? &shape->height : nullptr, "55.5pt");
    w.write_raw(";z-index:");
    w.write_raw(number_text(z));
    const bool visible = shape && shape->visible;
    w.write_raw(visible ? ";visibility:visible'" : ";visibility:hidden'");
    // A loaded shape's stroke as read: without a colour it is drawn black.
    if (shape) {
        color("fillcolor", shape->fill_color.empty() ? std::string(default_fill) : shape->fill_color);
        color("strokecolor", shape->stroke_color);
    } else {
        w.write_raw(" fillcolor=\"infoBackground [80]\" strokecolor=\"none [81]\"");
    }
    w.write_raw(" o:insetmode=\"auto\">");
    const auto has = [&](std::string_view name) {
        return shape &&
               std::any_of(shape->look.begin(), shape->look.end(), [&](const auto& e) { return e.name == name; });
    };
    if (shape) write_elements(shape->look);
    if (!has("v:fill")) w.write_raw("<v:fill color2=\"infoBackground [80]\"/>");
    if (!has("v:shadow")) w.write_raw("<v:shadow color=\"none [81]\" obscured=\"t\"/>");
    w.write_raw("<v:path o:connecttype=\"none\"/><v:textbox style='mso-direction-alt:auto'>"
                "<div style='text-align:left'/></v:textbox><x:ClientData ObjectType=\"Note\"><x:MoveWithCells/>"
                "<x:SizeWithCells/>");
    if (write_anchor) {
        w.write_raw("<x:Anchor>");
        for (size_t i = 0; i < anchor.size(); ++i) {
            if (i) w.write_raw(", ");
            w.write_raw(number_text(anchor[i]));
        }
        w.write_raw("</x:Anchor>");
    }
    w.write_raw("<x:AutoFill>False</x:AutoFill>");
    if (shape) write_elements(shape->text_align);
    w.write_raw("<x:Row>");
    w.write_raw(number_text(row));
    w.write_raw("</x:Row><x:Column>");
    w.write_raw(number_text(col));
    w.write_raw(visible ? "</x:Column><x:Visible/></x:ClientData></v:shape>" : "</x:Column></x:ClientData></v:shape>");
}

void vml_drawing_part_xml::write_elements(const std::vector<mta::note_shape_t::element_t>& elements) {
    for (const auto& e : elements) {
        w_->start_element(e.name);
        for (const auto& [name, value] : e.attributes) w_->write_parsed_attribute(name, value);
        if (e.text.empty()) {
            w_->end_empty_element();
            continue;
        }
        w_->close_start_tag();
        w_->write_parsed_text(e.text);
        w_->end_element(e.name);
    }
}

} // namespace vex
