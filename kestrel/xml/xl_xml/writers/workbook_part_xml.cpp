#include "kestrel/xml/xl_xml/writers/workbook_part_xml.h"

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/sheet_periphery_xml.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>
#include <string_view>

namespace vex {

namespace {

// The relationship id a sheet's part has in this save; null when it has none
// (a sheet whose part is not written gets no entry, never a dangling r:id).
const char* sheet_relationship_id(const workbook_part_t& part, const sheet_entry_t& s) {
    if (s.component && s.component->get_part()) return s.component->get_part()->get_relationship_id();
    if (s.relationship_id.empty()) return nullptr;
    for (const auto& child : part.get_child_parts())
        if (s.relationship_id == child->get_source_id()) return child->get_relationship_id();
    return nullptr;
}

// The child of a kind read with that relationship id, when it is written in
// this save; null otherwise.
const xml_part_t* child_read_as(const workbook_part_t& part, part_kind_enum kind, const std::string& rid) {
    if (rid.empty()) return nullptr;
    for (const auto& child : part.get_child_parts())
        if (child->kind() == kind && rid == child->get_source_id() && child->get_relationship_id()) return child.get();
    return nullptr;
}

// An attribute kept as read, escaped as the parser's are.
void write_read_attribute(xml::xml_stream_writer& w, const std::pair<std::string, std::string>& a) {
    xml::sxml::xml_attribute_t one{0, a.first.c_str(), a.second.c_str(), nullptr};
    w.write_attributes(&one);
}

} // namespace

void workbook_part_xml::write() {
    w_ = part_.get_xml_writer();
    if (!w_) throw std::runtime_error("no xml stream writer.");
    book_ = part_.get_workbook_component();
    // The sheets written after this part number their strings from 0.
    if (shared_string_table_t* strings = book_->shared_strings()) strings->reset_save_indices();
    part_.children().clear_relationships();

    w_->write_raw(xml::standalone_declaration);
    w_->start_element("workbook");
    w_->write_attribute("xmlns", uri::spreadsheetml_main);
    w_->write_attribute("xmlns:r", uri::office_document_relationships);
    // The kept elements may use the loaded root's namespaces. The namespaces
    // written are the transitional ones, whatever conformance the file claimed.
    for (const auto& a : book_->kept().root)
        if (a.first != "xmlns" && a.first != "xmlns:r" && a.first != "conformance") write_read_attribute(*w_, a);
    w_->close_start_tag();
    // The model's elements and the kept ones, each at its schema place.
    write_kept(-1);
    for (size_t place = 0; place < workbook_element_names.size(); ++place) {
        const std::string_view name = enum_name_string(workbook_element_names[place]);
        if (name == "workbookPr") write_workbook_pr();
        else if (name == "bookViews") write_book_views();
        else if (name == "sheets") write_sheets();
        else if (name == "externalReferences") write_external_references();
        else if (name == "definedNames") write_defined_names();
        else if (name == "calcPr") write_calc_pr();
        else if (name == "pivotCaches") write_pivot_caches();
        write_kept(int32_t(place));
    }
    w_->end_element("workbook");
}

void workbook_part_xml::write_kept(int32_t place) {
    for (const workbook_kept_t::element_t& k : book_->kept().elements)
        if (k.place == place) write_kept_element(*w_, k.element.root());
}

void workbook_part_xml::write_workbook_pr() {
    w_->start_element("workbookPr");
    for (const auto& a : book_->kept().workbook_pr) write_read_attribute(*w_, a);
    if (book_->is_date1904()) w_->write_attribute("date1904", "1");
    w_->end_empty_element();
}

void workbook_part_xml::write_book_views() {
    if (book_->views().empty()) return;
    w_->start_element("bookViews");
    w_->close_start_tag();
    const auto& root = book_->kept().root;
    const bool declares_xr2 =
        std::any_of(root.begin(), root.end(), [](const auto& a) { return a.first == "xmlns:xr2"; });
    for (const workbook_view_t& v : book_->views()) {
        w_->start_element("workbookView");
        const workbook_view_t defaults;
        if (v.visibility != defaults.visibility)
            w_->write_attribute("visibility", enum_name_or_empty(sheet_state_names, v.visibility));
        if (v.minimized) w_->write_attribute("minimized", "1");
        if (!v.show_horizontal_scroll) w_->write_attribute("showHorizontalScroll", "0");
        if (!v.show_vertical_scroll) w_->write_attribute("showVerticalScroll", "0");
        if (!v.show_sheet_tabs) w_->write_attribute("showSheetTabs", "0");
        // A zero size or place means "unknown": the application picks its own.
        if (v.x_window) w_->write_attribute("xWindow", number_text(v.x_window));
        if (v.y_window) w_->write_attribute("yWindow", number_text(v.y_window));
        if (v.window_width) w_->write_attribute("windowWidth", number_text(v.window_width));
        if (v.window_height) w_->write_attribute("windowHeight", number_text(v.window_height));
        if (v.tab_ratio != defaults.tab_ratio) w_->write_attribute("tabRatio", number_text(v.tab_ratio));
        if (v.first_sheet) w_->write_attribute("firstSheet", number_text(v.first_sheet));
        if (book_->sheet_count() > 1) w_->write_attribute("activeTab", number_text(v.active_tab));
        if (!v.auto_filter_date_grouping) w_->write_attribute("autoFilterDateGrouping", "0");
        if (!v.uid.empty() && declares_xr2) w_->write_attribute("xr2:uid", v.uid);
        w_->end_empty_element();
    }
    w_->end_element("bookViews");
}

void workbook_part_xml::write_sheets() {
    w_->start_element("sheets");
    w_->close_start_tag();
    for (const sheet_entry_t& s : book_->sheets()) {
        const char* rid = sheet_relationship_id(part_, s);
        if (!rid) continue;
        w_->start_element("sheet");
        if (s.name_as_stored)
            w_->write_parsed_attribute("name", s.name);
        else
            w_->write_attribute("name", s.name);
        w_->write_attribute("sheetId", number_text(s.sheet_id));
        if (s.state != 0) w_->write_attribute("state", enum_name_or_empty(sheet_state_names, s.state));
        w_->write_attribute("r:id", rid);
        w_->end_empty_element();
    }
    w_->end_element("sheets");
}

// The loaded references first, in their order (formulas count on it), then
// any other external workbook the package holds.
void workbook_part_xml::write_external_references() {
    std::vector<const xml_part_t*> parts;
    for (const std::string& rid : book_->external_references())
        if (const xml_part_t* p = child_read_as(part_, part_kind_enum::external_workbook_part, rid)) parts.push_back(p);
    for (const auto& child : part_.get_child_parts())
        if (child->kind() == part_kind_enum::external_workbook_part && child->get_relationship_id() &&
            std::find(parts.begin(), parts.end(), child.get()) == parts.end())
            parts.push_back(child.get());
    if (parts.empty()) return;
    w_->start_element("externalReferences");
    w_->close_start_tag();
    for (const xml_part_t* p : parts) {
        w_->start_element("externalReference");
        w_->write_attribute("r:id", p->get_relationship_id());
        w_->end_empty_element();
    }
    w_->end_element("externalReferences");
}

void workbook_part_xml::write_defined_names() {
    const worktable_t* first = book_->first_worktable();
    const mta::defined_name_store_t* names = first ? first->get_defined_names() : nullptr;
    if (!names || names->size() == 0) return;
    w_->start_element("definedNames");
    w_->close_start_tag();
    for (size_t i = 0; i < names->size(); ++i) {
        const mta::defined_name_key_t key{names->name_at(i), names->local_sheet_id_at(i)};
        uint32_t sheet = mta::workbook_scope;
        if (key.local_sheet_id != mta::workbook_scope) {
            sheet = book_->sheet_index_by_table_id(key.local_sheet_id);
            // Its sheet is gone: written as global, the name would change meaning.
            if (sheet == mta::workbook_scope) continue;
        }
        const mta::defined_name_entry_t* entry = names->find(key);
        const defined_name_props_t props = entry ? entry->props : defined_name_props_t{};
        w_->start_element("definedName");
        w_->write_attribute("name", key.name);
        if (!props.comment.empty()) w_->write_attribute("comment", props.comment);
        if (!props.custom_menu.empty()) w_->write_attribute("customMenu", props.custom_menu);
        if (!props.description.empty()) w_->write_attribute("description", props.description);
        if (!props.help.empty()) w_->write_attribute("help", props.help);
        if (!props.status_bar.empty()) w_->write_attribute("statusBar", props.status_bar);
        if (sheet != mta::workbook_scope) w_->write_attribute("localSheetId", number_text(sheet));
        if (props.hidden) w_->write_attribute("hidden", "1");
        if (props.function) w_->write_attribute("function", "1");
        if (props.vb_procedure) w_->write_attribute("vbProcedure", "1");
        if (props.xlm) w_->write_attribute("xlm", "1");
        if (props.function_group_id >= 0) w_->write_attribute("functionGroupId", number_text(props.function_group_id));
        if (!props.shortcut_key.empty()) w_->write_attribute("shortcutKey", props.shortcut_key);
        if (props.publish_to_server) w_->write_attribute("publishToServer", "1");
        if (props.workbook_parameter) w_->write_attribute("workbookParameter", "1");
        w_->close_start_tag();
        w_->write_text(names->expression_at(i));
        w_->end_element("definedName");
    }
    w_->end_element("definedNames");
}

void workbook_part_xml::write_calc_pr() {
    const uint32_t mode = book_->calc_mode();
    const bool r1c1 = !book_->is_a1_ref_mode();
    const auto& kept = book_->kept().calc_pr;
    // A formula written without the result an edit made stale: readers recompute.
    const std::vector<worktable_t*> tables = book_->worktables();
    const bool recompute =
        std::any_of(tables.begin(), tables.end(), [](const worktable_t* t) { return t && t->holds_dropped_results(); });
    if ((mode == 0 || mode >= calc_mode_names.size()) && !r1c1 && kept.empty() && !recompute) return;
    constexpr std::string_view full_calc = "fullCalcOnLoad";
    w_->start_element("calcPr");
    bool full_calc_written = false;
    for (const auto& a : kept) {
        if (recompute && a.first == full_calc) {
            w_->write_attribute(full_calc, "1");
            full_calc_written = true;
        } else {
            write_read_attribute(*w_, a);
        }
    }
    if (recompute && !full_calc_written) w_->write_attribute(full_calc, "1");
    if (mode != 0 && mode < calc_mode_names.size()) w_->write_attribute("calcMode", enum_name_or_empty(calc_mode_names, mode));
    if (r1c1) w_->write_attribute("refMode", "R1C1");
    w_->end_empty_element();
}

// A cache whose definition part is not written is left out: its r:id would
// dangle.
void workbook_part_xml::write_pivot_caches() {
    bool open = false;
    for (const pivot_cache_entry_t& c : book_->pivot_caches()) {
        const xml_part_t* p = child_read_as(part_, part_kind_enum::pivot_table_cache_definition_part, c.relationship_id);
        if (!p) continue;
        if (!open) {
            w_->start_element("pivotCaches");
            w_->close_start_tag();
            open = true;
        }
        w_->start_element("pivotCache");
        w_->write_attribute("cacheId", number_text(c.cache_id));
        w_->write_attribute("r:id", p->get_relationship_id());
        w_->end_empty_element();
    }
    if (open) w_->end_element("pivotCaches");
}

} // namespace vex
