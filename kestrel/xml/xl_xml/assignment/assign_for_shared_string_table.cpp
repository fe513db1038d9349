#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_workbook_styles.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/font.h"
#include "text_utils.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

const char* val_of(const xml_node_t& n) noexcept { return get_attribute_value("val", n.attributes); }

// Space flag of a t element: its xml:space, default when absent.
uint32_t space_of(const xml_node_t& n) {
    const char* v = get_attribute_value("xml:space", n.attributes);
    return v ? read_enum(enum_lists::space, v) : 0;
}

[[noreturn]] void out_of_bounds(int64_t value) {
    throw std::runtime_error("Enumeration subscript out of bounds: " + std::to_string(value) + "\"");
}

// A number within 0..max, or a name of the list.
int32_t number_or_name(const char* v, std::string_view list, int32_t max) {
    if (v && (ascii_is_digit(*v) || *v == '-' || *v == '+')) {
        const int32_t n = read_int(v);
        if (n < 0 || n > max) out_of_bounds(n);
        return n;
    }
    return static_cast<int32_t>(read_enum(list, v));
}

} // namespace

status_t read_rich_run_properties(const xml_node_t* node, mta::font_t& font) {
    if (!node || !node->name || !is_start(*node)) return node && node->name ? status_t::done : status_t::keep;
    const std::string_view name = node->name;
    const char* v = val_of(*node);
    const auto set_flag = [v](uint8_t& f) { f = flag_or(v, true) ? 1 : 0; };
    if (name == "b") set_flag(font.bold);
    else if (name == "i") set_flag(font.italic);
    else if (name == "strike") set_flag(font.strikeout);
    else if (name == "condense") set_flag(font.condense);
    else if (name == "extend") set_flag(font.extend);
    else if (name == "outline") set_flag(font.outline);
    else if (name == "shadow") set_flag(font.shadow);
    else if (name == "color") read_color(*node, font.color);
    else if (name == "u") font.underline = v ? number_or_name(v, enum_lists::underline, 4) : 1;
    else if (name == "vertAlign") {
        if (v) font.vert_align = number_or_name(v, enum_lists::vert_align, 2);
    } else if (name == "charset") {
        if (v) font.charset = read_int(v);
    } else if (name == "family") {
        if (v) {
            const int32_t f = read_int(v);
            if (f < 0 || f > 14) out_of_bounds(f);
            font.family = f;
        }
    } else if (name == "rFont" || name == "name") {
        if (v) font.name = package_text(v);
    } else if (name == "scheme") {
        if (v) font.scheme = static_cast<int32_t>(read_enum(enum_lists::font_scheme, v));
    } else if (name == "sz") {
        // A non-finite or negative size is ignored.
        const double s = double_or(v, -1.0);
        if (s >= 0) font.size = s;
    } else {
        return status_t::keep;
    }
    return status_t::done;
}

status_t read_phonetic_properties(const xml_node_t* node, phonetic_properties_t& record) {
    if (!node_named(node, "phoneticPr")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    phonetic_properties_t r;
    const auto* a = node->attributes;
    if (const char* t = get_attribute_value("type", a))
        r.type = read_enum(enum_lists::phonetic_type, t);
    if (const char* al = get_attribute_value("alignment", a))
        r.alignment = read_enum(enum_lists::phonetic_alignment, al);
    r.font_id = int_or(get_attribute_value("fontId", a), 0);
    record = r;
    return status_t::done;
}

status_t assign_for_shared_string_table_t::assign(const xml_node_t* node) {
    if (!node || !node->parent) return status_t::keep;
    if (!node->parent->parent) {
        if (node_named(node, "si") && is_end(*node)) finish_item();
        return node_named(node, "si") ? status_t::done : status_t::keep;
    }
    const auto is_item = [](const xml_node_t* n) { return node_named(n, "si") || node_named(n, "is"); };
    const xml_node_t& parent = *node->parent;
    if (is_item(&parent)) return item_child(*node);
    // Only the runs of an item: a stray run would lend its text or font to the next item.
    const bool in_run = node_named(&parent, "r") && is_item(parent.parent);
    if (in_run) return run_child(*node);
    if (node_named(&parent, "rPh") && is_item(parent.parent)) return reading_child(*node);
    if (node_named(&parent, "rPr") && parent.parent && node_named(parent.parent, "r") && is_item(parent.parent->parent))
        return read_rich_run_properties(node, run_.font);
    return status_t::keep;
}

status_t assign_for_shared_string_table_t::item_child(const xml_node_t& node) {
    if (node_named(&node, "t")) {
        if (is_end(node)) {
            preserve_ = space_of(node);
            text_ = node.text ? node.text : "";
            escapes_kept_ = decode_x_escapes(text_);
        }
        return status_t::done;
    }
    if (node_named(&node, "r")) {
        if (is_end(node)) {
            rich_.append(std::move(run_));
            run_ = mta::richtext_segment_t{};
        }
        return status_t::done;
    }
    // Readings go back to the file with their item, though the value is the text alone.
    if (node_named(&node, "rPh")) {
        if (is_end(node)) {
            reading_.first = uint_or(get_attribute_value("sb", node.attributes), 0);
            reading_.end = uint_or(get_attribute_value("eb", node.attributes), 0);
            phonetic_.runs.push_back(std::move(reading_));
            reading_ = mta::phonetic_run_t{};
        }
        return status_t::done;
    }
    if (node_named(&node, "phoneticPr")) {
        if (is_start(node)) {
            const auto* a = node.attributes;
            phonetic_.has_properties = true;
            phonetic_.font_id = uint_or(get_attribute_value("fontId", a), 0);
            // A name the format does not know leaves its default, as an absent one: the
            // readings are only kept, and the item must not fail the load for them.
            const auto named = [a](const char* name) {
                const char* v = get_attribute_value(name, a);
                return std::string_view(v ? v : "");
            };
            phonetic_.type = enum_value_of(phonetic_type_names, named("type"), 0);
            phonetic_.alignment = enum_value_of(phonetic_alignment_names, named("alignment"), 2);
        }
        return status_t::done;
    }
    return status_t::keep;
}

status_t assign_for_shared_string_table_t::reading_child(const xml_node_t& node) {
    if (node_named(&node, "t") && is_end(node)) {
        reading_.preserve_space = space_of(node);
        reading_.text = node.text ? node.text : "";
        reading_.escapes_kept = decode_x_escapes(reading_.text);
    }
    return status_t::done;
}

status_t assign_for_shared_string_table_t::run_child(const xml_node_t& node) {
    if (node_named(&node, "t")) {
        if (is_end(node)) {
            run_.preserve_space = space_of(node);
            run_.text = node.text ? node.text : "";
            run_.escapes_kept = decode_x_escapes(run_.text);
        }
        return status_t::done;
    }
    return node_named(&node, "rPr") ? status_t::done : status_t::keep;
}

int32_t assign_for_shared_string_table_t::finish_item() {
    int32_t index = -1;
    const mta::phonetic_text_t* phonetic = phonetic_.empty() ? nullptr : &phonetic_;
    if (!rich_.segments().empty()) {
        if (pool_)
            index = pool_->add_rich_text(std::move(rich_), phonetic);
        else
            table_->add_loaded_rich_text(std::move(rich_), phonetic);
        rich_ = mta::richtext_t{};
    } else if (pool_) {
        index = pool_->add_string(preserve_, text_, escapes_kept_, phonetic);
    } else {
        table_->add_loaded_string(preserve_, std::move(text_), escapes_kept_, phonetic);
    }
    text_.clear();
    preserve_ = 0;
    escapes_kept_ = false;
    run_ = mta::richtext_segment_t{};
    reading_ = mta::phonetic_run_t{};
    phonetic_ = mta::phonetic_text_t{};
    return index;
}

} // namespace vex
