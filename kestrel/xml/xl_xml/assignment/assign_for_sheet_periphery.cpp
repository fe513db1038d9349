#include "kestrel/xml/xl_xml/assignment/assign_for_sheet_periphery.h"

#include "kestrel/xml/xl_xml/enum_names.h"

#include <string>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

const char* attr(const xml_node_t& n, const char* name) noexcept { return get_attribute_value(name, n.attributes); }

std::string text_of(const xml_node_t& n, const char* name) {
    return package_text(attr(n, name));
}

// Absent attributes leave the default.
void read_int_into(const xml_node_t& n, const char* name, int32_t& out) {
    if (const char* v = attr(n, name)) out = read_int(v);
}

void read_flag_into(const xml_node_t& n, const char* name, bool& out) {
    if (const char* v = attr(n, name)) out = flag_or(v, out);
}

void read_cell_into(const xml_node_t& n, int32_t& row, int32_t& col) {
    if (const char* v = attr(n, "r")) {
        const coord_t c = read_cell(v);
        row = c.row;
        col = c.col;
    }
}

// The first report of a node. A kept element with children is reported
// again at its end, still answered keep, with its children linked.
bool opening(const xml_node_t& n) noexcept { return is_start(n) && !(n.closed && n.first_child); }

bool parent_named(const xml_node_t& n, std::string_view name) noexcept {
    return n.parent && local_name(*n.parent) == name;
}

} // namespace

void assign_anchor(const xml_node_t& node, object_anchor_t& anchor) {
    const std::string_view name = local_name(node);
    if (name == "anchor") {
        if (!opening(node)) return;
        read_flag_into(node, "moveWithCells", anchor.move_with_cells);
        read_flag_into(node, "sizeWithCells", anchor.size_with_cells);
        anchor.order = int_or(attr(node, "order"), 0);
        return;
    }
    if (!node.parent || !is_end(node)) return;
    const std::string_view corner = local_name(*node.parent);
    object_anchor_t::corner_t* c = corner == "from" ? &anchor.from : corner == "to" ? &anchor.to : nullptr;
    if (!c) return;
    const int32_t v = read_int(node.text ? node.text : "");
    if (name == "col") c->col = v;
    else if (name == "colOff") c->col_offset = v;
    else if (name == "row") c->row = v;
    else if (name == "rowOff") c->row_offset = v;
}

std::optional<status_t> assign_for_sheet_periphery_t::assign(const xml_node_t& node, const xml_node_t& section) {
    const std::string_view top = local_name(section);
    const std::string_view name = local_name(node);
    if (top == "dataValidations") {
        assign_validations(node);
        return status_t::done;
    }
    if (top == "ignoredErrors") {
        if (name == "ignoredError" && parent_named(node, "ignoredErrors") && opening(node)) {
            static constexpr std::pair<const char*, ignored_error_t::flag> flags[] = {
                {"calculatedColumn", ignored_error_t::calculated_column},
                {"emptyCellReference", ignored_error_t::empty_cell_reference},
                {"evalError", ignored_error_t::eval_error},
                {"formula", ignored_error_t::formula},
                {"formulaRange", ignored_error_t::formula_range},
                {"listDataValidation", ignored_error_t::list_data_validation},
                {"numberStoredAsText", ignored_error_t::number_stored_as_text},
                {"twoDigitTextYear", ignored_error_t::two_digit_text_year},
                {"unlockedFormula", ignored_error_t::unlocked_formula}};
            ignored_error_t e;
            for (const auto& [attribute, bit] : flags)
                if (flag_or(attr(node, attribute), false)) e.flags = uint16_t(e.flags | bit);
            e.sqref = text_of(node, "sqref");
            model_.ignored_errors.push_back(std::move(e));
        }
        return status_t::done;
    }
    if (top == "cellWatches") {
        if (name == "cellWatch" && opening(node)) {
            cell_watch_t w;
            read_cell_into(node, w.row, w.col);
            model_.cell_watches.push_back(w);
        }
        return status_t::done;
    }
    if (top == "customProperties") {
        if (name == "customPr" && opening(node)) {
            custom_property_t p;
            read_int_into(node, "id", p.id);
            p.name = text_of(node, "name");
            model_.custom_properties.push_back(std::move(p));
        }
        return status_t::keep;
    }
    if (top == "dataConsolidate") {
        assign_consolidation(node);
        return status_t::keep;
    }
    if (top == "scenarios") {
        assign_scenarios(node);
        return status_t::keep;
    }
    if (top == "smartTags") {
        assign_smart_tags(node);
        return status_t::keep;
    }
    // Controls stand alone or in an alternate-content wrapper.
    if (top == "controls" || top == "AlternateContent") {
        assign_controls(node);
        return status_t::keep;
    }
    return std::nullopt;
}

void assign_for_sheet_periphery_t::assign_controls(const xml_node_t& node) {
    if (parent_named(node, "controls")) {
        if (!opening(node)) return;
        control_record_t c;
        read_int_into(node, "id", c.id);
        c.name = text_of(node, "name");
        read_int_into(node, "shapeId", c.shape_id);
        model_.controls.push_back(std::move(c));
        return;
    }
    // The anchor of the control read last, found within a controls element.
    if (model_.controls.empty()) return;
    bool in_anchor = false;
    for (const xml_node_t* p = &node; p; p = p->parent) {
        const std::string_view n = local_name(*p);
        if (n == "anchor") in_anchor = true;
        if (n == "controls") {
            if (in_anchor) assign_anchor(node, model_.controls.back().anchor);
            return;
        }
    }
}

void assign_for_sheet_periphery_t::assign_consolidation(const xml_node_t& node) {
    const std::string_view name = local_name(node);
    if (!opening(node)) return;
    if (name == "dataConsolidate" && parent_named(node, "worksheet")) {
        auto d = std::make_unique<data_consolidation_t>();
        if (const char* f = attr(node, "function"))
            d->function = read_enum(enum_lists::consolidation_function, f);
        read_flag_into(node, "link", d->link);
        read_flag_into(node, "startLabels", d->start_labels);
        read_flag_into(node, "topLabels", d->top_labels);
        model_.data_consolidation = std::move(d);
    } else if (name == "dataRef" && model_.data_consolidation && parent_named(node, "dataRefs")) {
        data_reference_t r;
        r.relationship_id = text_of(node, "r:id");
        r.name = text_of(node, "name");
        r.sheet = text_of(node, "sheet");
        if (const char* ref = attr(node, "ref")) r.ref = read_range(ref);
        model_.data_consolidation->references.push_back(std::move(r));
    }
}

void assign_for_sheet_periphery_t::assign_validations(const xml_node_t& node) {
    const std::string_view name = local_name(node);
    if (name == "dataValidations") {
        if (!opening(node) || !parent_named(node, "worksheet")) return;
        auto v = std::make_unique<data_validations_t>();
        read_flag_into(node, "disablePrompts", v->disable_prompts);
        if (const char* x = attr(node, "xWindow")) v->x_window = read_int(x), v->x_window_set = true;
        if (const char* y = attr(node, "yWindow")) v->y_window = read_int(y), v->y_window_set = true;
        model_.data_validations = std::move(v);
        return;
    }
    data_validations_t* list = model_.data_validations.get();
    if (name == "dataValidation") {
        if (!opening(node) || !list || !parent_named(node, "dataValidations")) return;
        data_validation_t v;
        read_flag_into(node, "allowBlank", v.allow_blank);
        read_flag_into(node, "showDropDown", v.show_drop_down);
        read_flag_into(node, "showErrorMessage", v.show_error_message);
        read_flag_into(node, "showInputMessage", v.show_input_message);
        v.error = text_of(node, "error");
        v.error_title = text_of(node, "errorTitle");
        v.prompt = text_of(node, "prompt");
        v.prompt_title = text_of(node, "promptTitle");
        if (const char* s = attr(node, "errorStyle")) v.error_style = read_enum(enum_lists::validation_error_style, s);
        if (const char* s = attr(node, "imeMode"))
            v.ime_mode = read_enum(enum_lists::validation_ime_mode, s);
        if (const char* s = attr(node, "operator"))
            v.operator_ = read_enum(enum_lists::validation_operator, s);
        if (const char* s = attr(node, "type"))
            v.type = read_enum(enum_lists::validation_type, s);
        if (const char* sqref = attr(node, "sqref")) read_range_list(sqref, [&](const range_t& r) { v.sqref.add(r); });
        list->items.push_back(std::move(v));
        return;
    }
    if ((name == "formula1" || name == "formula2") && is_end(node)) {
        if (!list || list->items.empty() || !parent_named(node, "dataValidation")) return;
        (name == "formula1" ? list->items.back().formula1 : list->items.back().formula2) = package_text(node.text);
    }
}

void assign_for_sheet_periphery_t::assign_scenarios(const xml_node_t& node) {
    if (!opening(node)) return;
    const std::string_view name = local_name(node);
    auto& groups = model_.scenario_groups;
    if (name == "scenarios" && parent_named(node, "worksheet")) {
        scenario_group_t g;
        read_int_into(node, "current", g.current);
        read_int_into(node, "show", g.show);
        g.sqref = text_of(node, "sqref");
        groups.push_back(std::move(g));
    } else if (name == "scenario" && !groups.empty() && parent_named(node, "scenarios")) {
        scenario_t s;
        s.comment = text_of(node, "comment");
        s.name = text_of(node, "name");
        s.user = text_of(node, "user");
        read_flag_into(node, "hidden", s.hidden);
        read_flag_into(node, "locked", s.locked);
        groups.back().scenarios.push_back(std::move(s));
    } else if (name == "inputCells" && !groups.empty() && !groups.back().scenarios.empty() &&
               parent_named(node, "scenario")) {
        scenario_input_t in;
        read_flag_into(node, "deleted", in.deleted);
        read_flag_into(node, "undone", in.undone);
        read_int_into(node, "numFmtId", in.num_fmt_id);
        read_cell_into(node, in.row, in.col);
        in.value = text_of(node, "val");
        groups.back().scenarios.back().inputs.push_back(std::move(in));
    }
}

void assign_for_sheet_periphery_t::assign_smart_tags(const xml_node_t& node) {
    if (!opening(node)) return;
    const std::string_view name = local_name(node);
    auto& cells = model_.smart_tags;
    if (name == "cellSmartTags" && parent_named(node, "smartTags")) {
        cell_smart_tags_t c;
        read_cell_into(node, c.row, c.col);
        cells.push_back(std::move(c));
    } else if (name == "cellSmartTag" && !cells.empty() && parent_named(node, "cellSmartTags")) {
        smart_tag_t t;
        read_flag_into(node, "deleted", t.deleted);
        read_flag_into(node, "xmlBased", t.xml_based);
        read_int_into(node, "type", t.type);
        cells.back().tags.push_back(std::move(t));
    } else if (name == "cellSmartTagPr" && !cells.empty() && !cells.back().tags.empty() &&
               parent_named(node, "cellSmartTag")) {
        cells.back().tags.back().properties.emplace_back(text_of(node, "key"), text_of(node, "val"));
    }
}

} // namespace vex
