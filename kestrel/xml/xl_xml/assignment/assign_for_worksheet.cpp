#include "kestrel/xml/xl_xml/assignment/assign_for_worksheet.h"

#include "errors.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

constexpr const char* pane_names = "topLeft, topRight, bottomLeft, bottomRight";

uint32_t count_or(const char* text, uint32_t fallback) noexcept {
    const int32_t v = int_or(text, -1);
    return v >= 0 ? uint32_t(v) : fallback;
}

const char* attr(const xml_node_t& n, const char* name) noexcept { return get_attribute_value(name, n.attributes); }

// A finite size that is not negative, else the fallback.
double size_or(const char* text, double fallback) noexcept {
    const double v = double_or(text, -1.0);
    return v >= 0 ? v : fallback;
}

page_measure_t read_measure(const char* text) {
    page_measure_t m;
    const std::string_view t = text;
    size_t end = 0;
    while (end < t.size() && (ascii_is_digit(t[end]) || t[end] == '.' || t[end] == '-' || t[end] == '+' ||
                              t[end] == 'e' || t[end] == 'E'))
        ++end;
    m.value = read_double(std::string(t.substr(0, end)).c_str());
    m.unit = read_enum("pt, pc, pi, mm, cm, in", std::string(t.substr(end)).c_str());
    return m;
}

// An unsigned attribute read as std::stoi reads it, failing as it does;
// values past the signed range are valid, negative ones read as 0.
uint32_t read_count(const char* text) {
    const std::optional<uint32_t> whole = whole_uint(text);
    const int32_t n = whole ? 0 : read_int(text);
    return whole ? *whole : n > 0 ? uint32_t(n) : 0;
}

std::optional<uint32_t> optional_count(const char* text) {
    return text ? std::optional<uint32_t>(read_count(text)) : std::nullopt;
}

// Bit i of flags follows the attribute names[i] where the element has it.
template <class T, size_t N>
T read_flags(const xml_node_t& node, const std::array<std::string_view, N>& names, T flags) {
    for (size_t bit = 0; bit < N; ++bit)
        if (const char* v = attr(node, std::string(names[bit]).c_str()))
            flags = flag_or(v, false) ? T(flags | (1u << bit)) : T(flags & ~(1u << bit));
    return flags;
}

// The password hash attributes a sheet's and a range's protection share.
template <class R>
void read_password_hash(const xml_node_t& node, R& r) {
    if (const char* a = attr(node, "algorithmName")) r.algorithm = hash_algorithm_name(a);
    if (const char* v = attr(node, "hashValue")) r.hash_value = v;
    if (const char* v = attr(node, "saltValue")) r.salt_value = v;
    if (const char* v = attr(node, "password")) r.password = v;
    if (const char* v = attr(node, "spinCount")) r.spin_count = read_count(v);
}

// A pivotSelection starts a record of the view; its pivotArea, references,
// reference and x elements fill the last one.
void read_pivot_selection(const xml_node_t& node, std::vector<pivot_selection_t>& list) {
    if (node_named(&node, "pivotSelection") && node_named(node.parent, "sheetView")) {
        pivot_selection_t p;
        if (const char* a = attr(node, "pane")) p.pane = read_enum(pane_names, a);
        p.flags = read_flags(node, pivot_selection_flag_names, p.flags);
        for (size_t i = 0; i < p.numbers.size(); ++i)
            if (const char* v = attr(node, std::string(pivot_selection_number_names[i]).c_str()))
                p.numbers[i] = read_count(v);
        if (const char* a = attr(node, "axis")) p.axis = read_enum(enum_lists::pivot_axis, a);
        if (const char* id = attr(node, "r:id")) p.relationship_id = id;
        list.push_back(std::move(p));
        return;
    }
    if (list.empty()) return;
    pivot_area_t& area = list.back().area;
    if (node_named(&node, "pivotArea") && node_named(node.parent, "pivotSelection")) {
        if (const char* v = attr(node, "field")) area.field = read_int(v);
        if (const char* v = attr(node, "type")) area.type = read_enum(enum_lists::pivot_area_type, v);
        area.flags = read_flags(node, pivot_area_flag_names, area.flags);
        if (const char* v = attr(node, "offset")) area.offset = v;
        if (const char* v = attr(node, "axis")) area.axis = read_enum(enum_lists::pivot_axis, v);
        area.field_position = optional_count(attr(node, "fieldPosition"));
    } else if (node_named(&node, "references") && node_named(node.parent, "pivotArea")) {
        area.has_references = true;
        area.reference_count = optional_count(attr(node, "count"));
    } else if (node_named(&node, "reference") && node_named(node.parent, "references")) {
        pivot_reference_t r;
        r.field = optional_count(attr(node, "field"));
        r.count = optional_count(attr(node, "count"));
        r.flags = read_flags(node, pivot_reference_flag_names, r.flags);
        area.references.push_back(std::move(r));
    } else if (node_named(&node, "x") && node_named(node.parent, "reference") && !area.references.empty()) {
        area.references.back().items.push_back(optional_count(attr(node, "v")).value_or(0));
    }
}

} // namespace

status_t assign_for_worksheet_t::assign(const xml_node_t* node) {
    keep_node_ = false;
    const xml_node_t* section = node_ancestor_at_depth(node, 2);
    if (!section && node && node->parent == nullptr && is_start(*node)) {
        keep_root_namespaces(*node);
        // Without a pageSetup element the sheet prints on the format's default paper.
        sheet_.settings().print.page_setup = page_setup_t::loaded();
    }
    if (!section || !node->name) return status_t::keep;
    worksheet_settings_t& s = sheet_.settings();
    if (node_named(section, "sheetViews")) return assign_sheet_views(*node);
    if (node_named(section, "pageSetup")) return assign_page_setup(*node);
    if (node_named(section, "printOptions")) return assign_print_options(*node);
    if (node_named(section, "pageMargins")) return assign_page_margins(*node);
    if (node_named(section, "rowBreaks")) return assign_breaks(*node, s.print.row_breaks);
    if (node_named(section, "colBreaks")) return assign_breaks(*node, s.print.col_breaks);
    if (node_named(section, "headerFooter")) return assign_header_footer(*node);
    if (node_named(section, "sheetFormatPr")) return assign_sheet_format(*node);
    if (node_named(section, "sheetProtection")) return assign_sheet_protection(*node);
    if (node_named(section, "protectedRanges")) return assign_protected_ranges(*node);
    if (node_named(section, "legacyDrawingHF")) {
        // Its part is kept as read; the element is written again from the part tree.
        if (node == section && is_start(*node))
            if (const char* id = attr(*node, "r:id")) sheet_.set_header_footer_drawing_id(id);
        return status_t::done;
    }
    if (node == section && is_start(*node) && node_named(node, "picture"))
        if (const char* id = attr(*node, "r:id")) sheet_.set_background_picture_id(id);
    return keep_section(*node, *section);
}

// The dimension is computed again on save; the anchored parts' elements are
// written from the part tree; every other section no reader took is kept as
// read and written back in its place.
status_t assign_for_worksheet_t::keep_section(const xml_node_t& node, const xml_node_t& section) {
    static constexpr std::string_view rewritten[] = {"dimension", "drawing", "legacyDrawing", "picture",
                                                     "tableParts"};
    // Sections the sheet-data reader takes; reaching here, they were not read.
    static constexpr std::string_view not_kept[] = {"autoFilter", "sortState"};
    const std::string_view name = section.name;
    if (std::find(std::begin(rewritten), std::end(rewritten), name) != std::end(rewritten)) return status_t::keep;
    worktable_t* table = sheet_.worktable();
    if (!table || std::find(std::begin(not_kept), std::end(not_kept), name) != std::end(not_kept)) {
        if (&node == &section && is_start(node)) sheet_.note_unread_section(name);
        return status_t::keep;
    }
    // The outline flags live in the cell store, the fit to page in the print
    // settings; the rest of sheetPr is kept.
    if (node_named(&node, "outlinePr") && node_named(node.parent, "sheetPr") && is_start(node)) {
        table->set_group_summary_below(flag_or(attr(node, "summaryBelow"), true));
        table->set_group_summary_right(flag_or(attr(node, "summaryRight"), true));
    }
    if (node_named(&node, "pageSetUpPr") && node_named(node.parent, "sheetPr") && is_start(node))
        sheet_.settings().print.fit_to_page = flag_or(attr(node, "fitToPage"), false);
    if (&node == &section && is_end(node)) {
        table->periphery().kept_sections.emplace_back(node);
        return status_t::done;
    }
    // The section's nodes stay in the tree until it closes.
    keep_node_ = true;
    return status_t::keep;
}

void assign_for_worksheet_t::keep_root_namespaces(const xml_node_t& root) {
    worktable_t* table = sheet_.worktable();
    if (!table) return;
    // What a loaded sheet keeps beside its cells follows other sheets' edits.
    table->note_kept_texts();
    auto& kept = table->periphery().root_namespaces;
    kept.clear();
    for (const auto* a = root.attributes; a; a = a->next) {
        const std::string_view name = a->name;
        if (name.starts_with("xmlns") || name == "mc:Ignorable") kept.emplace_back(name, a->value ? a->value : "");
    }
}

status_t assign_for_worksheet_t::assign_sheet_views(const xml_node_t& node) {
    std::vector<sheet_view_t>& views = sheet_.settings().views;
    if (node_named(&node, "sheetViews")) return status_t::done;
    if (!is_start(node)) return status_t::done;
    if (node_named(&node, "sheetView")) {
        if (!views_read_) views.clear();
        views_read_ = true;
        sheet_view_t v;
        static constexpr struct {
            const char* name;
            sheet_view_t::flag flag;
        } flags[] = {{"defaultGridColor", sheet_view_t::default_grid_color},
                     {"rightToLeft", sheet_view_t::right_to_left},
                     {"showFormulas", sheet_view_t::show_formulas},
                     {"showGridLines", sheet_view_t::show_grid_lines},
                     {"showOutlineSymbols", sheet_view_t::show_outline_symbols},
                     {"showRowColHeaders", sheet_view_t::show_row_col_headers},
                     {"showRuler", sheet_view_t::show_ruler},
                     {"showWhiteSpace", sheet_view_t::show_white_space},
                     {"showZeros", sheet_view_t::show_zeros},
                     {"tabSelected", sheet_view_t::tab_selected},
                     {"windowProtection", sheet_view_t::window_protection}};
        for (const auto& f : flags) v.set(f.flag, flag_or(attr(node, f.name), v.has(f.flag)));
        if (const char* view = attr(node, "view")) v.view = read_enum("normal, pageBreakPreview, pageLayout", view);
        if (const char* cell = attr(node, "topLeftCell")) v.top_left_cell = read_cell(cell);
        v.color_id = count_or(attr(node, "colorId"), 0);
        v.workbook_view_id = count_or(attr(node, "workbookViewId"), 0);
        v.zoom_scale = count_or(attr(node, "zoomScale"), 0);
        v.zoom_scale_normal = count_or(attr(node, "zoomScaleNormal"), 0);
        v.zoom_scale_page_layout_view = count_or(attr(node, "zoomScalePageLayoutView"), 0);
        v.zoom_scale_sheet_layout_view = count_or(attr(node, "zoomScaleSheetLayoutView"), 0);
        views.push_back(std::move(v));
        return status_t::done;
    }
    // Children need the view their parent made.
    if (!views_read_ || views.empty()) return status_t::done;
    sheet_view_t& v = views.back();
    if (!node_named(node.parent, "sheetView") || node_named(&node, "pivotSelection")) {
        read_pivot_selection(node, v.pivot_selections);
    } else if (node_named(&node, "pane")) {
        auto p = std::make_unique<pane_t>();
        if (const char* a = attr(node, "activePane")) p->active_pane = read_enum(pane_names, a);
        if (const char* st = attr(node, "state")) p->state = read_enum("frozen, frozenSplit, split", st);
        if (const char* cell = attr(node, "topLeftCell")) p->top_left_cell = read_cell(cell);
        p->x_split = size_or(attr(node, "xSplit"), 0.0);
        p->y_split = size_or(attr(node, "ySplit"), 0.0);
        v.pane = std::move(p);
    } else if (node_named(&node, "selection")) {
        selection_t sel;
        if (const char* p = attr(node, "pane")) sel.pane = read_enum(pane_names, p);
        if (const char* cell = attr(node, "activeCell")) sel.active_cell = read_cell(cell);
        sel.active_cell_id = count_or(attr(node, "activeCellId"), 0);
        if (const char* sqref = attr(node, "sqref")) read_range_list(sqref, [&](const range_t& r) { sel.sqref.add(r); });
        v.selections.push_back(std::move(sel));
    }
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_sheet_format(const xml_node_t& node) {
    if (!node_named(&node, "sheetFormatPr")) return status_t::done;
    if (!is_start(node)) return status_t::done;
    auto f = std::make_unique<sheet_format_t>();
    f->base_col_width = count_or(attr(node, "baseColWidth"), f->base_col_width);
    f->custom_height = flag_or(attr(node, "customHeight"), false);
    f->default_col_width = size_or(attr(node, "defaultColWidth"), 0.0);
    f->default_row_height = size_or(attr(node, "defaultRowHeight"), 0.0);
    f->outline_level_col = uint8_t(std::min<uint32_t>(count_or(attr(node, "outlineLevelCol"), 0), 7));
    f->outline_level_row = uint8_t(std::min<uint32_t>(count_or(attr(node, "outlineLevelRow"), 0), 7));
    f->thick_bottom = flag_or(attr(node, "thickBottom"), false);
    f->thick_top = flag_or(attr(node, "thickTop"), false);
    f->zero_height = flag_or(attr(node, "zeroHeight"), false);
    sheet_.settings().sheet_format = std::move(f);
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_print_options(const xml_node_t& node) {
    if (!node_named(&node, "printOptions") || !is_start(node)) return status_t::done;
    print_options_t& o = sheet_.settings().print.options;
    o.grid_lines = flag_or(attr(node, "gridLines"), false);
    o.grid_lines_set = flag_or(attr(node, "gridLinesSet"), true);
    o.headings = flag_or(attr(node, "headings"), false);
    o.horizontal_centered = flag_or(attr(node, "horizontalCentered"), false);
    o.vertical_centered = flag_or(attr(node, "verticalCentered"), false);
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_page_margins(const xml_node_t& node) {
    if (!node_named(&node, "pageMargins") || !is_start(node)) return status_t::done;
    // What the file leaves out keeps the format's usual margins.
    page_margins_t m;
    m.left = size_or(attr(node, "left"), m.left);
    m.right = size_or(attr(node, "right"), m.right);
    m.top = size_or(attr(node, "top"), m.top);
    m.bottom = size_or(attr(node, "bottom"), m.bottom);
    m.header = size_or(attr(node, "header"), m.header);
    m.footer = size_or(attr(node, "footer"), m.footer);
    m.written = true;
    sheet_.settings().print.margins = m;
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_page_setup(const xml_node_t& node) {
    if (!node_named(&node, "pageSetup") || !is_start(node)) return status_t::done;
    page_setup_t p = page_setup_t::loaded();
    const auto set_flag = [&](const char* name, page_setup_t::flag f) {
        if (const char* v = attr(node, name)) p.flags = flag_or(v, false) ? uint8_t(p.flags | f) : uint8_t(p.flags & ~f);
    };
    set_flag("blackAndWhite", page_setup_t::black_and_white);
    set_flag("draft", page_setup_t::draft);
    set_flag("useFirstPageNumber", page_setup_t::use_first_page_number);
    set_flag("usePrinterDefaults", page_setup_t::use_printer_defaults);
    if (const char* v = attr(node, "cellComments")) p.cell_comments = read_enum("none, asDisplayed, atEnd", v);
    if (const char* v = attr(node, "errors")) p.errors = read_enum("blank, dash, displayed, NA", v);
    if (const char* v = attr(node, "orientation")) p.orientation = read_enum("___default, landscape, portrait", v);
    if (const char* v = attr(node, "pageOrder")) p.page_order = read_enum("downThenOver, overThenDown", v);
    p.copies = count_or(attr(node, "copies"), p.copies);
    p.first_page_number = count_or(attr(node, "firstPageNumber"), p.first_page_number);
    p.fit_to_height = count_or(attr(node, "fitToHeight"), p.fit_to_height);
    p.fit_to_width = count_or(attr(node, "fitToWidth"), p.fit_to_width);
    p.horizontal_dpi = count_or(attr(node, "horizontalDpi"), p.horizontal_dpi);
    p.vertical_dpi = count_or(attr(node, "verticalDpi"), p.vertical_dpi);
    p.paper_size = count_or(attr(node, "paperSize"), p.paper_size);
    p.scale = count_or(attr(node, "scale"), p.scale);
    if (const char* v = attr(node, "paperHeight")) p.paper_height = read_measure(v);
    if (const char* v = attr(node, "paperWidth")) p.paper_width = read_measure(v);
    if (const char* v = attr(node, "r:id")) p.relationship_id = v;
    sheet_.settings().print.page_setup = std::move(p);
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_header_footer(const xml_node_t& node) {
    header_footer_t& h = sheet_.settings().print.header_footer;
    if (node_named(&node, "headerFooter")) {
        if (is_start(node)) {
            h = header_footer_t{};
            h.align_with_margins = flag_or(attr(node, "alignWithMargins"), h.align_with_margins);
            h.different_first = flag_or(attr(node, "differentFirst"), false);
            h.different_odd_even = flag_or(attr(node, "differentOddEven"), false);
            h.scale_with_doc = flag_or(attr(node, "scaleWithDoc"), h.scale_with_doc);
        }
        return status_t::done;
    }
    if (!is_end(node) || !node_named(node.parent, "headerFooter")) return status_t::done;
    const std::string text = package_text(node.text);
    const std::string_view name = node.name;
    if (name == "oddHeader") h.odd_header = text;
    else if (name == "oddFooter") h.odd_footer = text;
    else if (name == "evenHeader") h.even_header = text;
    else if (name == "evenFooter") h.even_footer = text;
    else if (name == "firstHeader") h.first_header = text;
    else if (name == "firstFooter") h.first_footer = text;
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_sheet_protection(const xml_node_t& node) {
    if (!node_named(&node, "sheetProtection") || !is_start(node)) return status_t::done;
    sheet_protection_record_t r;
    r.protected_ = flag_or(attr(node, "sheet"), false) ? 1 : 0;
    // Absent options take the format's defaults: the first four off, the others on.
    r.options = protection_option_mask & ~protection_options_off_by_default;
    for (size_t bit = 0; bit < protection_option_attributes.size(); ++bit) {
        const std::string name(protection_option_attributes[bit]);
        const bool default_on = ((protection_option_mask & ~protection_options_off_by_default) >> bit) & 1u;
        if (flag_or(attr(node, name.c_str()), default_on))
            r.options |= 1u << bit;
        else
            r.options &= ~(1u << bit);
    }
    read_password_hash(node, r);
    sheet_.protection().record() = std::move(r);
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_protected_ranges(const xml_node_t& node) {
    sheet_protection_t& p = sheet_.protection();
    if (node_named(&node, "securityDescriptor") && node_named(node.parent, "protectedRange") && is_end(node)) {
        if (editable_range_t* r = p.last_editable_range(); r && node.text) r->security_descriptors.emplace_back(node.text);
        return status_t::done;
    }
    if (!node_named(&node, "protectedRange") || !is_start(node)) return status_t::done;
    editable_range_t r;
    read_password_hash(node, r);
    if (const char* v = attr(node, "securityDescriptor")) r.security_descriptor = v;
    if (const char* sqref = attr(node, "sqref")) {
        size_t areas = 0;
        read_range_list(sqref, [&](const range_t& one) {
            if (areas++ == 0) r.range = one;
        });
        if (areas > 1) r.sqref = sqref;
    }
    // Names must be unique: a range without one, or with one held, gets the next free name.
    const std::string name = package_text(attr(node, "name"));
    if (name.empty() || !p.add_editable_range(name, r)) p.add_editable_range(p.next_range_name__(), std::move(r));
    return status_t::done;
}

status_t assign_for_worksheet_t::assign_breaks(const xml_node_t& node, page_break_set_t& breaks) {
    if (!node_named(&node, "brk") || !is_start(node)) return status_t::done;
    page_break_t b;
    b.id = count_or(attr(node, "id"), 0);
    b.min = count_or(attr(node, "min"), 0);
    b.max = count_or(attr(node, "max"), 0);
    b.man = flag_or(attr(node, "man"), false);  // absent: an automatic break
    b.pt = flag_or(attr(node, "pt"), b.pt);
    breaks.set(b);
    return status_t::done;
}

} // namespace vex
