#include "kestrel/xml/xl_xml/assignment/assign_for_workbook.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/xml/xl_xml/enum_names.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

// An element with children comes twice, opened and closed; act on the first.
bool first_report(const xml_node_t& n) noexcept { return is_element(n) && (!n.closed || !n.first_child); }

bool named(const xml_node_t& n, const char* name) noexcept { return n.name && std::strcmp(n.name, name) == 0; }

template <typename T>
T number_or(const char* text, T fallback) noexcept {
    if (!text) return fallback;
    T v{};
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, v);
    return r.ec == std::errc() && r.ptr == end ? v : fallback;
}

bool flag(const char* text) noexcept {
    return text && (std::strcmp(text, "1") == 0 || std::strcmp(text, "true") == 0);
}

uint32_t sheet_state_of(const char* text) noexcept {
    return text ? enum_value_of(sheet_state_names, text, 0) : 0;
}

std::string text_or_empty(const char* text) { return text ? text : ""; }

} // namespace

const xml_node_t* top_element_of(const xml_node_t* node) noexcept {
    if (!node || !node->parent) return node;
    while (node->parent->parent) node = node->parent;
    return node;
}

status_t assign_for_workbook_t::assign(const xml_node_t* node) {
    const xml_node_t* top = top_element_of(node);
    if (!top) return status_t::keep;
    if (named(*top, "sheets")) return assign_sheets(node);
    if (named(*top, "definedNames")) return assign_defined_names(node);
    return status_t::keep;
}

status_t assign_for_workbook_t::assign_sheets(const xml_node_t* node) {
    if (!node || !first_report(*node) || !named(*node, "sheet")) return status_t::done;
    const auto* a = node->attributes;
    sheet_entry_t s;
    s.sheet_id = number_or<uint32_t>(get_attribute_value("sheetId", a), 0);
    s.state = sheet_state_of(get_attribute_value("state", a));
    s.relationship_id = text_or_empty(get_attribute_value("r:id", a));
    s.name = text_or_empty(get_attribute_value("name", a));
    book_.sheets().push_back(std::move(s));
    return status_t::done;
}

status_t assign_for_workbook_t::assign_defined_names(const xml_node_t* node) {
    if (!node || !first_report(*node) || !named(*node, "definedName")) return status_t::done;
    const auto* a = node->attributes;
    defined_name_t d;
    d.name = text_or_empty(get_attribute_value("name", a));
    d.local_sheet_id = number_or<int>(get_attribute_value("localSheetId", a), -1);
    d.text = text_or_empty(node->text);
    d.props.function = flag(get_attribute_value("function", a));
    d.props.hidden = flag(get_attribute_value("hidden", a));
    d.props.publish_to_server = flag(get_attribute_value("publishToServer", a));
    d.props.workbook_parameter = flag(get_attribute_value("workbookParameter", a));
    d.props.xlm = flag(get_attribute_value("xlm", a));
    d.props.function_group_id = number_or<int>(get_attribute_value("functionGroupId", a), -1);
    d.props.comment = text_or_empty(get_attribute_value("comment", a));
    d.props.custom_menu = text_or_empty(get_attribute_value("customMenu", a));
    d.props.description = text_or_empty(get_attribute_value("description", a));
    d.props.help = text_or_empty(get_attribute_value("help", a));
    d.props.shortcut_key = text_or_empty(get_attribute_value("shortcutKey", a));
    d.props.status_bar = text_or_empty(get_attribute_value("statusBar", a));
    book_.pending_names().push_back(std::move(d));
    return status_t::done;
}

} // namespace vex
