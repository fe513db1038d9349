#include "kestrel/xml/xl_xml/writers/worksheet_part_xml.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/sheet_periphery_xml.h"
#include "kestrel/xml/xl_xml/writers/worktable_part_xml.h"
#include "text_utils.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace vex {

namespace {

constexpr uint32_t package_format = 2;
constexpr std::string_view view_names[] = {"normal", "pageBreakPreview", "pageLayout"};
constexpr std::string_view pane_names[] = {"topLeft", "topRight", "bottomLeft", "bottomRight"};
constexpr std::string_view pane_state_names[] = {"frozen", "frozenSplit", "split"};
constexpr std::string_view cell_comments_names[] = {"none", "asDisplayed", "atEnd"};
constexpr std::string_view print_errors_names[] = {"blank", "dash", "displayed", "NA"};
constexpr std::string_view orientation_names[] = {"default", "landscape", "portrait"};
constexpr std::string_view page_order_names[] = {"downThenOver", "overThenDown"};
constexpr std::string_view paper_unit_names[] = {"pt", "pc", "pi", "mm", "cm", "in"};
constexpr double default_row_height = 15.0;

// Past its table a code writes an empty value.
template <size_t N>
std::string_view name_of(const std::string_view (&names)[N], uint64_t value) noexcept {
    return value < N ? names[value] : std::string_view{};
}

std::string a1(const coord_t& c) { return row_col_to_string(c.row, c.col); }

// Whether the sheet's view of the first book view was read with its tab selected.
bool read_selected(const worksheet_t* sheet) {
    if (!sheet) return false;
    const auto& views = sheet->settings().views;
    return std::any_of(views.begin(), views.end(), [](const sheet_view_t& v) {
        return v.workbook_view_id == 0 && v.has(sheet_view_t::tab_selected);
    });
}

// The tabs a view shows selected follow the active tab: the active sheet's is,
// a hidden sheet's never is, and another sheet's stays as read only while it
// was read in one group with the active sheet. Views of other book views keep
// theirs, a hidden sheet's aside.
struct tab_selection_t {
    bool placed = false;  // the sheet is one of the book's
    bool hidden = false;
    bool active = false;
    bool grouped = false;

    tab_selection_t(const worksheet_t& sheet, const workbook_t* book) {
        if (!book) return;
        const uint32_t index = book->sheet_index(&sheet);
        if (index >= book->sheet_count()) return;
        placed = true;
        hidden = book->sheet_state(index) != 0;
        const int32_t tab = book->active_sheet();
        active = tab >= 0 && uint32_t(tab) == index;
        grouped = !active && tab >= 0 && read_selected(book->sheet_at(uint64_t(tab)));
    }
    bool selected(const sheet_view_t& v) const {
        if (hidden) return false;
        if (!placed || v.workbook_view_id != 0) return v.has(sheet_view_t::tab_selected);
        return active || (grouped && v.has(sheet_view_t::tab_selected));
    }
};

// The flags among mask whose value is not the format's default.
template <size_t N>
void write_flags(xml::xml_stream_writer& w, const std::array<std::string_view, N>& names, uint32_t flags,
                 uint32_t defaults, uint32_t mask = ~0u) {
    for (size_t bit = 0; bit < N; ++bit) {
        const uint32_t b = 1u << bit;
        if ((mask & b) && (flags & b) != (defaults & b)) w.write_attribute(names[bit], flags & b ? "1" : "0");
    }
}

} // namespace

// After every part the relationships list: those kept whole under the
// worksheet itself as well as the worktable's.
uint64_t worksheet_part_xml::first_link_id() const {
    uint64_t n = 0;
    const xml_part_t* table = part_.get_worktable_part();
    for (const auto& c : part_.get_child_parts())
        if (c.get() != table && c->get_relationship_id()) ++n;
    if (table)
        for (const auto& c : table->get_child_parts())
            if (c->get_relationship_id()) ++n;
    return n + 1;
}

void worksheet_part_xml::write() {
    w_ = part_.get_xml_writer();
    if (!w_) throw std::runtime_error("no xml stream writer.");
    const workbook_t* book = part_.get_workbook();
    if (book && book->document_format() != package_format) return;
    try {
        write_entry(book);
    } catch (...) {
        // The sink may be gone when the failed save lets the writer go.
        w_->clear();
        throw;
    }
}

void worksheet_part_xml::write_entry(const workbook_t* book) {
    const worksheet_t& sheet = *part_.get_worksheet();
    xml_part_t* table_part = part_.get_worktable_part();
    const auto* table = table_part ? dynamic_cast<const worktable_t*>(table_part->get_component()) : nullptr;
    std::unique_ptr<worktable_part_xml> cells;
    if (table) {
        cells = std::make_unique<worktable_part_xml>(*table_part);
        cells->bind(*w_, *table, book ? book->shared_strings() : nullptr);
    }

    sheet_periphery_xml extra(*w_, table);
    w_->write_raw(xml::standalone_declaration);
    w_->start_element("worksheet");
    w_->write_attribute("xmlns", uri::spreadsheetml_main);
    w_->write_attribute("xmlns:r", uri::office_document_relationships);
    extra.write_root_namespaces();
    w_->close_start_tag();
    extra.write_sheet_pr(sheet.settings().print.fit_to_page);
    write_dimension(table);
    write_sheet_views(sheet, book);
    write_sheet_format(sheet);
    if (cells) cells->write_cols();
    if (cells) {
        cells->write_sheet_data();
    } else {
        w_->start_element("sheetData");
        w_->end_empty_element();
    }
    extra.write_before("sheetProtection");
    write_protection(sheet);
    write_protected_ranges(sheet);
    extra.write_before("autoFilter");
    if (cells) cells->write_auto_filter();
    extra.write_before("mergeCells");
    if (cells) cells->write_merge_cells();
    extra.write_before("hyperlinks");
    if (cells) cells->write_hyperlinks(first_link_id());
    write_print_options(sheet);
    write_page_margins(sheet);
    write_page_setup(sheet);
    write_header_footer(sheet);
    write_breaks("rowBreaks", sheet.settings().print.row_breaks);
    write_breaks("colBreaks", sheet.settings().print.col_breaks);
    extra.write_before("drawing");
    if (cells) {
        cells->write_drawing();
        cells->write_legacy_drawing();
    }
    extra.write_before("legacyDrawingHF");
    if (cells) cells->write_legacy_drawing_hf();
    extra.write_before("picture");
    if (cells) cells->write_picture();
    extra.write_before("tableParts");
    if (cells) cells->write_table_parts();
    extra.write_before("");
    w_->end_element("worksheet");
}

void worksheet_part_xml::write_relationships(xml::xml_stream_writer& w) {
    const xml_part_t* table_part = part_.get_worktable_part();
    const auto* table = table_part ? dynamic_cast<const worktable_t*>(table_part->get_component()) : nullptr;
    if (!table) return;
    const mta::hyperlink_list_t& links = table->hyperlinks();
    uint64_t next = first_link_id();
    for (size_t i = 0; i < links.size(); ++i) {
        if (!links.is_external(i)) continue;
        w.start_element("Relationship");
        w.write_attribute("Id", "rId" + std::string(number_text(next++).view()));
        w.write_attribute("Type", uri::hyperlink_relationship);
        w.write_uri_attribute("Target", links.address_at(i));
        w.write_attribute("TargetMode", "External");
        w.end_empty_element();
    }
}

void worksheet_part_xml::write_dimension(const worktable_t* table) {
    // The cells holding values or styles, over every column.
    int r1 = 0, r2 = 0, c1 = 0, c2 = 0;
    const int count = table ? table->columns().count() : 0;
    for (int c = 1; c <= count; ++c) {
        const mta::Column* column = table->columns().at(c);
        const int first = column ? column->first_used_row() : 0;
        if (first <= 0) continue;
        const int last = column->last_used_row();
        if (!c1) c1 = c;
        c2 = c;
        r1 = r1 ? std::min(r1, first) : first;
        r2 = std::max(r2, last);
    }
    range_t used;
    used.first.row = r1, used.first.col = c1, used.last.row = r2, used.last.col = c2;
    const std::string ref = c1 ? range_text(used) : "A1";
    w_->start_element("dimension");
    w_->write_attribute("ref", ref);
    w_->end_empty_element();
}

void worksheet_part_xml::write_sheet_views(const worksheet_t& sheet, const workbook_t* book) {
    // The element may not be empty.
    if (sheet.settings().views.empty()) return;
    const auto& views = sheet.settings().views;
    // Pivot selections name their pivot table by the Id the file gave it.
    const bool names_parts = std::any_of(views.begin(), views.end(), [](const sheet_view_t& v) {
        return std::any_of(v.pivot_selections.begin(), v.pivot_selections.end(),
                           [](const pivot_selection_t& p) { return !p.relationship_id.empty(); });
    });
    const relationship_ids_t ids =
        names_parts ? saved_relationship_ids(part_.get_worktable_part()) : relationship_ids_t{};
    w_->start_element("sheetViews");
    w_->close_start_tag();
    const tab_selection_t tabs(sheet, book);
    for (const sheet_view_t& view : views) write_sheet_view(view, tabs.selected(view), ids);
    w_->end_element("sheetViews");
}

void worksheet_part_xml::write_sheet_view(const sheet_view_t& v, bool selected, const relationship_ids_t& ids) {
    using f = sheet_view_t;
    w_->start_element("sheetView");
    if (v.has(f::window_protection)) w_->write_attribute("windowProtection", "1");
    if (v.has(f::show_formulas)) w_->write_attribute("showFormulas", "1");
    if (!v.has(f::show_grid_lines)) w_->write_attribute("showGridLines", "0");
    if (!v.has(f::show_row_col_headers)) w_->write_attribute("showRowColHeaders", "0");
    if (!v.has(f::show_zeros)) w_->write_attribute("showZeros", "0");
    if (v.has(f::right_to_left)) w_->write_attribute("rightToLeft", "1");
    if (selected) w_->write_attribute("tabSelected", "1");
    if (!v.has(f::show_ruler)) w_->write_attribute("showRuler", "0");
    if (!v.has(f::show_outline_symbols)) w_->write_attribute("showOutlineSymbols", "0");
    if (!v.has(f::default_grid_color)) w_->write_attribute("defaultGridColor", "0");
    if (!v.has(f::show_white_space)) w_->write_attribute("showWhiteSpace", "0");
    if (v.view != 0) w_->write_attribute("view", name_of(view_names, v.view));
    if (v.top_left_cell.row > 0 && v.top_left_cell.col > 0) w_->write_attribute("topLeftCell", a1(v.top_left_cell));
    if (!v.has(f::default_grid_color)) w_->write_attribute("colorId", number_text(v.color_id));
    if (v.zoom_scale) w_->write_attribute("zoomScale", number_text(v.zoom_scale));
    if (v.zoom_scale_normal) w_->write_attribute("zoomScaleNormal", number_text(v.zoom_scale_normal));
    if (v.zoom_scale_sheet_layout_view)
        w_->write_attribute("zoomScaleSheetLayoutView", number_text(v.zoom_scale_sheet_layout_view));
    if (v.zoom_scale_page_layout_view)
        w_->write_attribute("zoomScalePageLayoutView", number_text(v.zoom_scale_page_layout_view));
    w_->write_attribute("workbookViewId", number_text(v.workbook_view_id));
    if (!v.pane && v.selections.empty() && v.pivot_selections.empty()) {
        w_->end_empty_element();
        return;
    }
    w_->close_start_tag();
    if (const pane_t* p = v.pane.get()) {
        w_->start_element("pane");
        if (p->x_split != 0.0) w_->write_attribute("xSplit", number_text(p->x_split));
        if (p->y_split != 0.0) w_->write_attribute("ySplit", number_text(p->y_split));
        if (p->top_left_cell.row > 0 && p->top_left_cell.col > 0)
            w_->write_attribute("topLeftCell", a1(p->top_left_cell));
        w_->write_attribute("activePane", name_of(pane_names, p->active_pane));
        w_->write_attribute("state", name_of(pane_state_names, p->state));
        w_->end_empty_element();
    }
    for (const selection_t& s : v.selections) {
        w_->start_element("selection");
        if (s.pane != 0) w_->write_attribute("pane", name_of(pane_names, s.pane));
        if (s.active_cell.row > 0 && s.active_cell.col > 0) w_->write_attribute("activeCell", a1(s.active_cell));
        if (s.active_cell_id) w_->write_attribute("activeCellId", number_text(s.active_cell_id));
        if (!s.sqref.empty()) w_->write_attribute("sqref", range_list_text(s.sqref.ranges()));
        w_->end_empty_element();
    }
    for (const pivot_selection_t& p : v.pivot_selections) write_pivot_selection(p, ids);
    w_->end_element("sheetView");
}

void worksheet_part_xml::write_pivot_selection(const pivot_selection_t& p, const relationship_ids_t& ids) {
    using n = pivot_selection_t;
    w_->start_element("pivotSelection");
    if (p.pane != 0) w_->write_attribute("pane", name_of(pane_names, p.pane));
    write_flags(*w_, pivot_selection_flag_names, p.flags, 0);
    const auto write_number = [&](size_t i) {
        if (p.numbers[i]) w_->write_attribute(pivot_selection_number_names[i], number_text(p.numbers[i]));
    };
    write_number(n::count);
    if (p.axis) w_->write_attribute("axis", enum_name_or_empty(pivot_axis_names, *p.axis));
    for (size_t i = n::dimension; i < p.numbers.size(); ++i) write_number(i);
    // The target may be gone: the Id would name nothing, or another part.
    if (const auto it = ids.find(p.relationship_id); it != ids.end()) w_->write_attribute("r:id", it->second);
    w_->close_start_tag();
    write_pivot_area(p.area);
    w_->end_element("pivotSelection");
}

void worksheet_part_xml::write_pivot_area(const pivot_area_t& a) {
    w_->start_element("pivotArea");
    if (a.field) w_->write_attribute("field", number_text(*a.field));
    if (a.type != 1) w_->write_attribute("type", enum_name_or_empty(pivot_area_type_names, a.type));
    // offset stands between outline and collapsedLevelsAreSubtotals.
    constexpr uint32_t before_offset = pivot_area_t::collapsed_levels_are_subtotals - 1;
    write_flags(*w_, pivot_area_flag_names, a.flags, pivot_area_t::default_flags, before_offset);
    if (!a.offset.empty()) w_->write_attribute("offset", a.offset);
    write_flags(*w_, pivot_area_flag_names, a.flags, pivot_area_t::default_flags, ~before_offset);
    if (a.axis) w_->write_attribute("axis", enum_name_or_empty(pivot_axis_names, *a.axis));
    if (a.field_position) w_->write_attribute("fieldPosition", number_text(*a.field_position));
    if (!a.has_references) {
        w_->end_empty_element();
        return;
    }
    w_->close_start_tag();
    w_->start_element("references");
    if (a.reference_count) w_->write_attribute("count", number_text(*a.reference_count));
    w_->close_start_tag();
    for (const pivot_reference_t& r : a.references) write_pivot_reference(r);
    w_->end_element("references");
    w_->end_element("pivotArea");
}

void worksheet_part_xml::write_pivot_reference(const pivot_reference_t& r) {
    w_->start_element("reference");
    if (r.field) w_->write_attribute("field", number_text(*r.field));
    if (r.count) w_->write_attribute("count", number_text(*r.count));
    write_flags(*w_, pivot_reference_flag_names, r.flags, pivot_reference_t::default_flags);
    if (r.items.empty()) {
        w_->end_empty_element();
        return;
    }
    w_->close_start_tag();
    for (const uint32_t x : r.items) {
        w_->start_element("x");
        w_->write_attribute("v", number_text(x));
        w_->end_empty_element();
    }
    w_->end_element("reference");
}

void worksheet_part_xml::write_sheet_format(const worksheet_t& sheet) {
    const sheet_format_t* f = sheet.settings().sheet_format.get();
    w_->start_element("sheetFormatPr");
    if (f && f->base_col_width != 8) w_->write_attribute("baseColWidth", number_text(f->base_col_width));
    if (f && f->default_col_width > 0.0) w_->write_attribute("defaultColWidth", number_text(f->default_col_width));
    const double height = f && f->default_row_height > 0.0 ? f->default_row_height : default_row_height;
    w_->write_attribute("defaultRowHeight", number_text(height));
    if (f) {
        if (f->custom_height) w_->write_attribute("customHeight", "1");
        if (f->zero_height) w_->write_attribute("zeroHeight", "1");
        if (f->thick_top) w_->write_attribute("thickTop", "1");
        if (f->thick_bottom) w_->write_attribute("thickBottom", "1");
        if (f->outline_level_row) w_->write_attribute("outlineLevelRow", number_text(f->outline_level_row));
        if (f->outline_level_col) w_->write_attribute("outlineLevelCol", number_text(f->outline_level_col));
    }
    w_->end_empty_element();
}

void worksheet_part_xml::write_protection(const worksheet_t& sheet) {
    const sheet_protection_record_t& p = sheet.protection().record();
    // An unprotected sheet may still hold the password the file gave it.
    const bool has_password = !p.password.empty() || !p.hash_value.empty();
    if (!p.protected_ && !has_password) return;
    w_->start_element("sheetProtection");
    w_->write_attribute("sheet", p.protected_ ? "1" : "0");
    if (!p.password.empty()) w_->write_attribute("password", p.password);
    if (!p.algorithm.empty()) w_->write_attribute("algorithmName", p.algorithm);
    if (!p.hash_value.empty()) w_->write_attribute("hashValue", p.hash_value);
    if (!p.salt_value.empty()) w_->write_attribute("saltValue", p.salt_value);
    if (p.spin_count) w_->write_attribute("spinCount", number_text(p.spin_count));
    for (size_t bit = 0; bit < protection_option_attributes.size(); ++bit) {
        const bool set = p.options & (1u << bit);
        const bool off_by_default = protection_options_off_by_default & (1u << bit);
        if (off_by_default && set) w_->write_attribute(protection_option_attributes[bit], "1");
        if (!off_by_default && !set) w_->write_attribute(protection_option_attributes[bit], "0");
    }
    w_->end_empty_element();
}

void worksheet_part_xml::write_protected_ranges(const worksheet_t& sheet) {
    const auto& ranges = sheet.protection().editable_ranges();
    if (ranges.empty()) return;
    w_->start_element("protectedRanges");
    w_->close_start_tag();
    for (const auto& [name, r] : ranges) {
        w_->start_element("protectedRange");
        if (!r.algorithm.empty()) w_->write_attribute("algorithmName", r.algorithm);
        if (!r.hash_value.empty()) w_->write_attribute("hashValue", r.hash_value);
        if (!r.salt_value.empty()) w_->write_attribute("saltValue", r.salt_value);
        if (r.spin_count) w_->write_attribute("spinCount", number_text(r.spin_count));
        if (!r.password.empty()) w_->write_attribute("password", r.password);
        // A range read without cells is written as read, without an empty sqref.
        const std::string sqref = r.sqref.empty() ? range_text(r.range) : r.sqref;
        if (!sqref.empty()) w_->write_attribute("sqref", sqref);
        w_->write_attribute("name", name);
        if (!r.security_descriptor.empty()) w_->write_attribute("securityDescriptor", r.security_descriptor);
        if (r.security_descriptors.empty()) {
            w_->end_empty_element();
            continue;
        }
        w_->close_start_tag();
        for (const std::string& d : r.security_descriptors) {
            w_->start_element("securityDescriptor");
            w_->close_start_tag();
            w_->write_text(d);
            w_->end_element("securityDescriptor");
        }
        w_->end_element("protectedRange");
    }
    w_->end_element("protectedRanges");
}

void worksheet_part_xml::write_print_options(const worksheet_t& sheet) {
    const print_options_t& o = sheet.settings().print.options;
    if (o == print_options_t{}) return;
    w_->start_element("printOptions");
    if (o.horizontal_centered) w_->write_attribute("horizontalCentered", "1");
    if (o.vertical_centered) w_->write_attribute("verticalCentered", "1");
    if (o.headings) w_->write_attribute("headings", "1");
    if (o.grid_lines) w_->write_attribute("gridLines", "1");
    if (!o.grid_lines_set) w_->write_attribute("gridLinesSet", "0");
    w_->end_empty_element();
}

void worksheet_part_xml::write_page_margins(const worksheet_t& sheet) {
    const page_margins_t& m = sheet.settings().print.margins;
    if (!m.written && m == page_margins_t{}) return;
    w_->start_element("pageMargins");
    w_->write_attribute("left", number_text(m.left));
    w_->write_attribute("right", number_text(m.right));
    w_->write_attribute("top", number_text(m.top));
    w_->write_attribute("bottom", number_text(m.bottom));
    w_->write_attribute("header", number_text(m.header));
    w_->write_attribute("footer", number_text(m.footer));
    w_->end_empty_element();
}

void worksheet_part_xml::write_page_setup(const worksheet_t& sheet) {
    const page_setup_t& p = sheet.settings().print.page_setup;
    const xml_part_t* printer = sheet.printer_settings();
    const std::string_view printer_id = printer ? printer->get_relationship_id() : "";
    page_setup_t defaults;
    defaults.relationship_id = p.relationship_id;
    defaults.paper_size = defaults.unnamed_paper = p.unnamed_paper;
    if (p == defaults && printer_id.empty()) return;
    auto measure = [](const page_measure_t& m) {
        return std::string(number_text(m.value).view()) + std::string(name_of(paper_unit_names, m.unit));
    };
    auto flag = [&](std::string_view name, page_setup_t::flag bit) {
        if (p.has(bit) != defaults.has(bit)) w_->write_attribute(name, p.has(bit) ? "true" : "false");
    };
    w_->start_element("pageSetup");
    w_->write_attribute("paperSize", number_text(p.paper_size));
    if (p.paper_height.value != 0.0) w_->write_attribute("paperHeight", measure(p.paper_height));
    if (p.paper_width.value != 0.0) w_->write_attribute("paperWidth", measure(p.paper_width));
    if (p.scale != 1) w_->write_attribute("scale", number_text(p.scale));
    if (p.first_page_number != 1) w_->write_attribute("firstPageNumber", number_text(p.first_page_number));
    if (p.fit_to_width != 1) w_->write_attribute("fitToWidth", number_text(p.fit_to_width));
    if (p.fit_to_height != 1) w_->write_attribute("fitToHeight", number_text(p.fit_to_height));
    if (p.page_order != 0) w_->write_attribute("pageOrder", name_of(page_order_names, p.page_order));
    if (p.orientation != 0) w_->write_attribute("orientation", name_of(orientation_names, p.orientation));
    flag("usePrinterDefaults", page_setup_t::use_printer_defaults);
    flag("blackAndWhite", page_setup_t::black_and_white);
    flag("draft", page_setup_t::draft);
    if (p.cell_comments != 0) w_->write_attribute("cellComments", name_of(cell_comments_names, p.cell_comments));
    flag("useFirstPageNumber", page_setup_t::use_first_page_number);
    if (p.errors != page_setup_t::errors_displayed) w_->write_attribute("errors", name_of(print_errors_names, p.errors));
    if (p.horizontal_dpi) w_->write_attribute("horizontalDpi", number_text(p.horizontal_dpi));
    if (p.vertical_dpi) w_->write_attribute("verticalDpi", number_text(p.vertical_dpi));
    if (p.copies != 1) w_->write_attribute("copies", number_text(p.copies));
    if (!printer_id.empty()) w_->write_attribute("r:id", printer_id);
    w_->end_empty_element();
}

void worksheet_part_xml::write_header_footer(const worksheet_t& sheet) {
    const header_footer_t& h = sheet.settings().print.header_footer;
    if (h == header_footer_t{}) return;
    const header_footer_t defaults;
    w_->start_element("headerFooter");
    if (h.different_odd_even) w_->write_attribute("differentOddEven", "1");
    if (h.different_first) w_->write_attribute("differentFirst", "1");
    if (h.scale_with_doc != defaults.scale_with_doc) w_->write_attribute("scaleWithDoc", h.scale_with_doc ? "1" : "0");
    if (h.align_with_margins != defaults.align_with_margins)
        w_->write_attribute("alignWithMargins", h.align_with_margins ? "1" : "0");
    const std::pair<std::string_view, const std::string*> texts[] = {
        {"oddHeader", &h.odd_header},     {"oddFooter", &h.odd_footer},     {"evenHeader", &h.even_header},
        {"evenFooter", &h.even_footer},   {"firstHeader", &h.first_header}, {"firstFooter", &h.first_footer},
    };
    bool any = false;
    for (const auto& [name, text] : texts) any = any || !text->empty();
    if (!any) {
        w_->end_empty_element();
        return;
    }
    w_->close_start_tag();
    for (const auto& [name, text] : texts) {
        if (text->empty()) continue;
        w_->start_element(name);
        w_->close_start_tag();
        w_->write_text(*text);
        w_->end_element(name);
    }
    w_->end_element("headerFooter");
}

void worksheet_part_xml::write_breaks(std::string_view element, const page_break_set_t& breaks) {
    if (breaks.empty()) return;
    size_t manual = 0;
    for (const page_break_t& b : breaks) manual += b.man ? 1 : 0;
    w_->start_element(element);
    w_->write_attribute("count", number_text(breaks.size()));
    w_->write_attribute("manualBreakCount", number_text(manual));
    w_->close_start_tag();
    for (const page_break_t& b : breaks) {
        w_->start_element("brk");
        w_->write_attribute("id", number_text(b.id));
        if (b.min) w_->write_attribute("min", number_text(b.min));
        if (b.max) w_->write_attribute("max", number_text(b.max));
        if (b.man) w_->write_attribute("man", "1");
        if (b.pt) w_->write_attribute("pt", "1");
        w_->end_empty_element();
    }
    w_->end_element(element);
}

} // namespace vex
