#include "kestrel/xml/xl_xml/writers/sheet_periphery_xml.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_sheet_periphery.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>

namespace vex {

using xml::sxml::xml_node_t;

namespace {

// The children of a worksheet, in schema order.
constexpr std::string_view sheet_elements[] = {
    "sheetPr",         "dimension",       "sheetViews",   "sheetFormatPr",   "cols",
    "sheetData",       "sheetCalcPr",     "sheetProtection", "protectedRanges", "scenarios",
    "autoFilter",      "sortState",       "dataConsolidate", "customSheetViews", "mergeCells",
    "phoneticPr",      "conditionalFormatting", "dataValidations", "hyperlinks", "printOptions",
    "pageMargins",     "pageSetup",       "headerFooter", "rowBreaks",       "colBreaks",
    "customProperties", "cellWatches",    "ignoredErrors", "smartTags",      "drawing",
    "legacyDrawing",   "legacyDrawingHF", "drawingHF",    "picture",         "oleObjects",
    "controls",        "webPublishItems", "tableParts",   "extLst"};
constexpr std::size_t element_count = std::size(sheet_elements);

std::size_t element_index(std::string_view name) noexcept {
    const auto* it = std::find(std::begin(sheet_elements), std::end(sheet_elements), name);
    return it == std::end(sheet_elements) ? element_count : std::size_t(it - std::begin(sheet_elements));
}

// Where a kept element goes: an alternate-content wrapper goes where its
// first choice's element does; an unknown name before the extensions.
std::size_t kept_index(const xml_node_t& root) noexcept {
    const xml_node_t* n = &root;
    if (local_name(*n) == "AlternateContent" && n->first_child && n->first_child->first_child)
        n = n->first_child->first_child;
    const std::size_t i = element_index(local_name(*n));
    return i < element_count ? i : element_index("extLst");
}

void write_flag(xml::xml_stream_writer& w, std::string_view name, bool on) {
    if (on) w.write_attribute(name, "1");
}

void write_text_attribute(xml::xml_stream_writer& w, std::string_view name, const std::string& text) {
    if (!text.empty()) w.write_attribute(name, text);
}

} // namespace

void write_kept_element(xml::xml_stream_writer& w, const xml_node_t& root, const relationship_ids_t* ids) {
    for (const xml_node_t* n = &root; n;) {
        w.start_element(n->name);
        if (!ids || ids->empty()) {
            w.write_attributes(n->attributes);
        } else {
            for (const xml::sxml::xml_attribute_t* a = n->attributes; a; a = a->next) {
                const auto it = a->value && std::string_view(a->name).starts_with("r:") ? ids->find(a->value)
                                                                                         : ids->end();
                w.write_parsed_attribute(a->name, it != ids->end() ? std::string_view(it->second)
                                                  : a->value        ? std::string_view(a->value)
                                                                    : std::string_view());
            }
        }
        n = w.write_node_rest(n);
    }
}

relationship_ids_t saved_relationship_ids(const xml_part_t* table_part) {
    relationship_ids_t ids;
    if (!table_part) return ids;
    // The sheet's parts sit under its worktable part, and kept ones beside it.
    for (const xml_part_t* holder : {table_part, static_cast<const xml_part_t*>(table_part->get_parent())}) {
        if (!holder) continue;
        for (const auto& child : holder->get_child_parts())
            if (*child->get_source_id() && child->get_relationship_id())
                ids.emplace(child->get_source_id(), child->get_relationship_id());
    }
    return ids;
}

sheet_periphery_xml::sheet_periphery_xml(xml::xml_stream_writer& w, const worktable_t* table)
    : w_(w), table_(table), model_(table ? &table->periphery() : nullptr) {
    if (table && !model_->kept_sections.empty()) ids_ = saved_relationship_ids(table->get_part());
}

void sheet_periphery_xml::write_root_namespaces() {
    if (!model_) return;
    for (const auto& [name, value] : model_->root_namespaces)
        if (name != "xmlns" && name != "xmlns:r") w_.write_attribute(name, value);
}

void sheet_periphery_xml::write_sheet_pr(bool fit_to_page) {
    position_ = std::max(position_, element_index("sheetPr") + 1);
    const kept_element_t* kept = model_ ? model_->kept_section("sheetPr") : nullptr;
    const bool below = !table_ || table_->group_summary_below();
    const bool right = !table_ || table_->group_summary_right();
    const bool outline = !below || !right;
    if (!kept && !outline && !fit_to_page) return;
    w_.start_element("sheetPr");
    if (kept) w_.write_attributes(kept->root().attributes);
    // The read attributes but those the model writes.
    const auto write_read = [&](const xml_node_t* read, std::initializer_list<std::string_view> modelled) {
        for (const auto* a = read ? read->attributes : nullptr; a; a = a->next) {
            if (std::find(modelled.begin(), modelled.end(), std::string_view(a->name)) != modelled.end()) continue;
            xml::sxml::xml_attribute_t one = *a;
            one.next = nullptr;
            w_.write_attributes(&one);
        }
    };
    const auto write_outline = [&](const xml_node_t* read) {
        w_.start_element("outlinePr");
        write_read(read, {"summaryBelow", "summaryRight"});
        if (!below) w_.write_attribute("summaryBelow", "0");
        if (!right) w_.write_attribute("summaryRight", "0");
        w_.end_empty_element();
    };
    const auto write_page_setup = [&](const xml_node_t* read) {
        w_.start_element("pageSetUpPr");
        write_read(read, {"fitToPage"});
        if (fit_to_page) w_.write_attribute("fitToPage", "1");
        w_.end_empty_element();
    };
    bool open = false, outline_written = false, page_setup_written = false;
    const auto open_tag = [&] {
        if (!open) w_.close_start_tag();
        open = true;
    };
    // Its children are empty elements: tabColor, outlinePr, pageSetUpPr.
    for (const xml_node_t* c = kept ? kept->root().first_child : nullptr; c; c = c->next_sibling) {
        const std::string_view name = local_name(*c);
        if (name == "outlinePr") {
            open_tag();
            write_outline(c);
            outline_written = true;
            continue;
        }
        if (name == "pageSetUpPr" && outline && !outline_written) {
            open_tag();
            write_outline(nullptr);
            outline_written = true;
        }
        open_tag();
        if (name == "pageSetUpPr") {
            write_page_setup(c);
            page_setup_written = true;
            continue;
        }
        w_.start_element(c->name);
        w_.write_attributes(c->attributes);
        w_.end_empty_element();
    }
    if (outline && !outline_written) {
        open_tag();
        write_outline(nullptr);
    }
    if (fit_to_page && !page_setup_written) {
        open_tag();
        write_page_setup(nullptr);
    }
    if (open)
        w_.end_element("sheetPr");
    else
        w_.end_empty_element();
}

void sheet_periphery_xml::write_before(std::string_view next) {
    const std::size_t end = next.empty() ? element_count : element_index(next);
    for (; position_ < end; ++position_) write_section(position_);
}

void sheet_periphery_xml::write_section(std::size_t index) {
    if (!model_) return;
    const std::string_view name = sheet_elements[index];
    if (name == "dataValidations") write_data_validations();
    else if (name == "ignoredErrors") write_ignored_errors();
    else if (name == "cellWatches") write_cell_watches();
    for (const kept_element_t& k : model_->kept_sections)
        if (kept_index(k.root()) == index && name != "sheetPr") write_kept_element(w_, k.root(), &ids_);
}

void sheet_periphery_xml::write_data_validations() {
    const data_validations_t* list = model_->data_validations.get();
    // The element needs a validation.
    if (!list || list->items.empty()) return;
    w_.start_element("dataValidations");
    write_flag(w_, "disablePrompts", list->disable_prompts);
    if (list->x_window_set) w_.write_attribute("xWindow", number_text(list->x_window));
    if (list->y_window_set) w_.write_attribute("yWindow", number_text(list->y_window));
    w_.write_attribute("count", number_text(list->items.size()));
    w_.close_start_tag();
    const data_validation_t defaults;
    for (const data_validation_t& v : list->items) {
        w_.start_element("dataValidation");
        if (v.type != defaults.type) w_.write_attribute("type", enum_name_or_empty(validation_type_names, v.type));
        if (v.error_style != defaults.error_style)
            w_.write_attribute("errorStyle", enum_name_or_empty(validation_error_style_names, v.error_style));
        if (v.ime_mode != defaults.ime_mode)
            w_.write_attribute("imeMode", enum_name_or_empty(validation_ime_mode_names, v.ime_mode));
        if (v.operator_ != defaults.operator_)
            w_.write_attribute("operator", enum_name_or_empty(validation_operator_names, v.operator_));
        write_flag(w_, "allowBlank", v.allow_blank);
        write_flag(w_, "showDropDown", v.show_drop_down);
        write_flag(w_, "showInputMessage", v.show_input_message);
        write_flag(w_, "showErrorMessage", v.show_error_message);
        write_text_attribute(w_, "errorTitle", v.error_title);
        write_text_attribute(w_, "error", v.error);
        write_text_attribute(w_, "promptTitle", v.prompt_title);
        write_text_attribute(w_, "prompt", v.prompt);
        w_.write_attribute("sqref", range_list_text(v.sqref.ranges()));
        if (v.formula1.empty() && v.formula2.empty()) {
            w_.end_empty_element();
            continue;
        }
        w_.close_start_tag();
        for (const auto& [element, text] : {std::pair{"formula1", &v.formula1}, std::pair{"formula2", &v.formula2}}) {
            if (text->empty()) continue;
            w_.start_element(element);
            w_.close_start_tag();
            w_.write_text(*text);
            w_.end_element(element);
        }
        w_.end_element("dataValidation");
    }
    w_.end_element("dataValidations");
}

void sheet_periphery_xml::write_ignored_errors() {
    if (model_->ignored_errors.empty()) return;
    static constexpr std::pair<std::string_view, ignored_error_t::flag> flags[] = {
        {"evalError", ignored_error_t::eval_error},
        {"twoDigitTextYear", ignored_error_t::two_digit_text_year},
        {"numberStoredAsText", ignored_error_t::number_stored_as_text},
        {"formula", ignored_error_t::formula},
        {"formulaRange", ignored_error_t::formula_range},
        {"unlockedFormula", ignored_error_t::unlocked_formula},
        {"emptyCellReference", ignored_error_t::empty_cell_reference},
        {"listDataValidation", ignored_error_t::list_data_validation},
        {"calculatedColumn", ignored_error_t::calculated_column}};
    w_.start_element("ignoredErrors");
    w_.close_start_tag();
    for (const ignored_error_t& e : model_->ignored_errors) {
        w_.start_element("ignoredError");
        w_.write_attribute("sqref", e.sqref);
        for (const auto& [name, bit] : flags) write_flag(w_, name, e.flags & bit);
        w_.end_empty_element();
    }
    w_.end_element("ignoredErrors");
}

void sheet_periphery_xml::write_cell_watches() {
    const auto& watches = model_->cell_watches;
    if (std::none_of(watches.begin(), watches.end(), [](const cell_watch_t& c) { return c.row > 0 && c.col > 0; }))
        return;
    w_.start_element("cellWatches");
    w_.close_start_tag();
    for (const cell_watch_t& c : model_->cell_watches) {
        if (c.row <= 0 || c.col <= 0) continue;
        w_.start_element("cellWatch");
        w_.write_attribute("r", row_col_to_string(c.row, c.col));
        w_.end_empty_element();
    }
    w_.end_element("cellWatches");
}

} // namespace vex
