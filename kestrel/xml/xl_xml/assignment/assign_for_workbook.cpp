#include "kestrel/xml/xl_xml/assignment/assign_for_workbook.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/enum_names.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

std::string text_or_empty(const char* text) { return package_text(text); }

uint32_t enum_or(std::string_view list, const char* text, uint32_t fallback) {
    return text ? read_enum(list, text) : fallback;
}

// The attributes but those the model holds.
void keep_attributes(const xml_node_t& node, workbook_kept_t::attributes_t& out,
                     std::initializer_list<std::string_view> modelled) {
    out.clear();
    for (const auto* a = node.attributes; a; a = a->next)
        if (a->name && std::find(modelled.begin(), modelled.end(), std::string_view(a->name)) == modelled.end())
            out.emplace_back(a->name, a->value ? a->value : "");
}

uint32_t count_or_zero(const char* text) noexcept {
    const int32_t v = int_or(text, 0);
    return v > 0 ? uint32_t(v) : 0;
}

} // namespace

const xml_node_t* top_element_of(const xml_node_t* node) noexcept {
    if (!node || !node->parent) return node;
    while (node->parent->parent) node = node->parent;
    return node;
}

status_t assign_for_workbook_t::assign(const xml_node_t* node) {
    const xml_node_t* top = top_element_of(node);
    if (!top) return status_t::keep;
    if (top == node && !node->parent) {
        if (is_element(*node) && !node_named(node, "workbook")) {
            const xml_part_t* part = book_.get_part();
            throw loading_error("The workbook part " + std::string(part ? part->get_entry_name() : "") +
                                " holds no workbook element.");
        }
        if (node_named(node, "workbook") && is_start(*node)) {
            if (const char* c = get_attribute_value("conformance", node->attributes))
                read_enum("strict, transitional", c);
            keep_attributes(*node, book_.kept().root, {});
            return status_t::done;
        }
        return status_t::keep;
    }
    if (top == node && is_start(*node))
        if (const int32_t i = enum_index_in_list(enum_lists::workbook_elements, local_name(*node)); i >= 0) place_ = i;
    if (node_named(top, "bookViews")) return assign_book_views(node);
    if (node_named(top, "definedNames")) return assign_defined_names(node);
    if (node_named(top, "externalReferences")) return assign_external_references(node);
    if (node_named(top, "pivotCaches")) return assign_pivot_caches(node);
    if (node_named(top, "sheets")) return assign_sheets(node);
    if (node_named(top, "workbookPr")) return assign_workbook_pr(node);
    if (node_named(top, "calcPr")) return assign_calc_pr(node);
    return keep_element(*node, *top);
}

status_t assign_for_workbook_t::keep_element(const xml_node_t& node, const xml_node_t& top) {
    // The element's nodes stay in the tree until it closes.
    if (&node != &top || !is_end(node)) return status_t::keep;
    book_.kept().elements.push_back({place_, kept_element_t(node)});
    return status_t::done;
}

status_t assign_for_workbook_t::assign_book_views(const xml_node_t* node) {
    if (node_named(node, "bookViews")) return status_t::done;
    if (!node_named(node, "workbookView")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    const auto* a = node->attributes;
    workbook_view_t v;
    v.active_tab = count_or_zero(get_attribute_value("activeTab", a));
    v.auto_filter_date_grouping = flag_or(get_attribute_value("autoFilterDateGrouping", a), v.auto_filter_date_grouping);
    v.first_sheet = count_or_zero(get_attribute_value("firstSheet", a));
    v.minimized = flag_or(get_attribute_value("minimized", a), v.minimized);
    v.show_horizontal_scroll = flag_or(get_attribute_value("showHorizontalScroll", a), v.show_horizontal_scroll);
    v.show_sheet_tabs = flag_or(get_attribute_value("showSheetTabs", a), v.show_sheet_tabs);
    v.show_vertical_scroll = flag_or(get_attribute_value("showVerticalScroll", a), v.show_vertical_scroll);
    if (const char* ratio = get_attribute_value("tabRatio", a)) v.tab_ratio = count_or_zero(ratio);
    v.visibility = enum_or(enum_lists::sheet_state, get_attribute_value("visibility", a), 0);
    v.window_height = count_or_zero(get_attribute_value("windowHeight", a));
    v.window_width = count_or_zero(get_attribute_value("windowWidth", a));
    v.x_window = int_or(get_attribute_value("xWindow", a), 0);
    v.y_window = int_or(get_attribute_value("yWindow", a), 0);
    v.uid = text_or_empty(get_attribute_value("xr2:uid", a));
    book_.views().push_back(v);
    return status_t::done;
}

status_t assign_for_workbook_t::assign_sheets(const xml_node_t* node) {
    if (node_named(node, "sheets")) return status_t::done;
    if (!node || !node_named(node, "sheet")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    const auto* a = node->attributes;
    sheet_entry_t s;
    s.sheet_id = uint_or(get_attribute_value("sheetId", a), 0);
    s.state = enum_or(enum_lists::sheet_state, get_attribute_value("state", a), 0);
    const char* rid = get_attribute_value("r:id", a);
    const char* name = get_attribute_value("name", a);
    if (!name) throw loading_error("The sheet element has no name attribute.");
    if (!rid) throw loading_error("The sheet element \"" + std::string(name) + "\" has no r:id attribute.");
    s.relationship_id = rid;
    s.name = package_text(name);
    // A decoding that gives characters no sheet name holds was never meant
    // as an escape: the stored text stays the name and goes back as read.
    if (s.name != name && sheet_name_has_invalid_characters(s.name)) {
        s.name = name;
        s.name_as_stored = true;
    }
    book_.sheets().push_back(std::move(s));
    return status_t::done;
}

status_t assign_for_workbook_t::assign_external_references(const xml_node_t* node) {
    if (node_named(node, "externalReferences")) return status_t::done;
    if (!node_named(node, "externalReference")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    // Without an id there is no part to point at.
    if (const char* rid = get_attribute_value("r:id", node->attributes)) book_.external_references().emplace_back(rid);
    return status_t::done;
}

status_t assign_for_workbook_t::assign_pivot_caches(const xml_node_t* node) {
    if (node_named(node, "pivotCaches")) return status_t::done;
    if (!node_named(node, "pivotCache")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    const auto* a = node->attributes;
    if (const char* rid = get_attribute_value("r:id", a))
        book_.pivot_caches().push_back({uint_or(get_attribute_value("cacheId", a), 0), rid});
    return status_t::done;
}

status_t assign_for_workbook_t::assign_defined_names(const xml_node_t* node) {
    if (node_named(node, "definedNames")) return status_t::done;
    if (!node || !node_named(node, "definedName")) return status_t::keep;
    if (!is_end(*node)) return status_t::done;  // the text comes with the end
    const auto* a = node->attributes;
    defined_name_t d;
    d.name = text_or_empty(get_attribute_value("name", a));
    d.local_sheet_id = int_or(get_attribute_value("localSheetId", a), -1);
    d.text = text_or_empty(node->text);
    d.props.function = flag_or(get_attribute_value("function", a), false);
    d.props.hidden = flag_or(get_attribute_value("hidden", a), false);
    d.props.publish_to_server = flag_or(get_attribute_value("publishToServer", a), false);
    d.props.workbook_parameter = flag_or(get_attribute_value("workbookParameter", a), false);
    d.props.xlm = flag_or(get_attribute_value("xlm", a), false);
    d.props.vb_procedure = flag_or(get_attribute_value("vbProcedure", a), false);
    d.props.function_group_id = int_or(get_attribute_value("functionGroupId", a), -1);
    d.props.comment = text_or_empty(get_attribute_value("comment", a));
    d.props.custom_menu = text_or_empty(get_attribute_value("customMenu", a));
    d.props.description = text_or_empty(get_attribute_value("description", a));
    d.props.help = text_or_empty(get_attribute_value("help", a));
    d.props.shortcut_key = text_or_empty(get_attribute_value("shortcutKey", a));
    d.props.status_bar = text_or_empty(get_attribute_value("statusBar", a));
    book_.pending_names().push_back(std::move(d));
    return status_t::done;
}

status_t assign_for_workbook_t::assign_workbook_pr(const xml_node_t* node) {
    if (!node_named(node, "workbookPr")) return status_t::keep;
    if (!is_start(*node)) return status_t::done;
    book_.set_date1904(flag_or(get_attribute_value("date1904", node->attributes), false));
    keep_attributes(*node, book_.kept().workbook_pr, {"date1904"});
    return status_t::done;
}

status_t assign_for_workbook_t::assign_calc_pr(const xml_node_t* node) {
    if (!node_named(node, "calcPr")) return status_t::keep;
    if (is_start(*node)) {
        const auto* a = node->attributes;
        book_.set_calc_mode(enum_or(enum_lists::calc_mode, get_attribute_value("calcMode", a), 0));
        if (const char* ref = get_attribute_value("refMode", a)) book_.set_a1_ref_mode(read_enum("A1, R1C1", ref) == 0);
        keep_attributes(*node, book_.kept().calc_pr, {"calcMode", "refMode"});
    }
    return status_t::done;
}

} // namespace vex
