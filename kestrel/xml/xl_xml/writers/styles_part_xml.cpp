#include "kestrel/xml/xl_xml/writers/styles_part_xml.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/sheet_periphery_xml.h"
#include "kestrel/xml/xl_xml/writers/style_elements_xml.h"
#include "text_utils.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vex {

namespace {

constexpr mta::xf_t default_style_xf{};

bool is_default_gradient(const mta::gradient_fill_t& g) noexcept { return g == mta::gradient_fill_t{}; }

bool has_alignment(const mta::alignment_t& a) noexcept { return !(a == mta::alignment_t{}); }

bool has_protection(const mta::protection_t& p) noexcept { return !(p == mta::protection_t{}); }

// The apply attributes in the order of their bits.
constexpr std::string_view apply_names[] = {"applyNumberFormat", "applyFont", "applyFill",
                                            "applyBorder", "applyAlignment", "applyProtection"};

} // namespace

void styles_part_xml::write() {
    w_ = part_.get_xml_writer();
    if (!w_) throw std::runtime_error("no xml stream writer.");
    const auto* book = dynamic_cast<const workbook_t*>(part_.get_workbook());
    const worktable_t* first = book ? book->first_worktable() : nullptr;
    const mta::style_manager_t* manager = first ? first->get_style_manager() : nullptr;
    // A loaded workbook without a worksheet still holds the tables it read.
    const auto* component = dynamic_cast<const workbook_style_t*>(part_.get_component());
    const impl_t* loaded = !manager && component ? component->style_tables() : nullptr;
    if (!manager && !loaded) throw std::runtime_error("no style manager for the styles part.");
    std::unique_lock<std::recursive_mutex> lock;
    if (manager) lock = manager->lock();
    const impl_t& t = manager ? manager->get_impl() : *loaded;
    const styles_kept_t* kept = component ? &component->kept() : nullptr;

    w_->write_raw(xml::standalone_declaration);
    w_->start_element("styleSheet");
    w_->write_attribute("xmlns", uri::spreadsheetml_main);
    if (kept)
        for (const auto& [name, value] : kept->namespaces) w_->write_parsed_attribute(name, value);
    w_->close_start_tag();
    write_num_fmts(t);
    write_fonts(t);
    write_fills(t);
    write_borders(t);
    write_cell_style_xfs(t);
    write_cell_xfs(t);
    write_cell_styles(t);
    write_dxfs(t);
    write_table_styles(t);
    write_colors(t);
    if (kept && kept->extensions) write_kept_element(*w_, kept->extensions->root());
    w_->end_element("styleSheet");
}

void styles_part_xml::start_list(std::string_view element, size_t count) {
    w_->start_element(element);
    w_->write_attribute("count", number_text(count));
    w_->close_start_tag();
}

void styles_part_xml::write_num_fmts(const impl_t& t) {
    // A slot's position is its id less 164, so the slots come in id order; an
    // empty slot is free.
    const size_t used = static_cast<size_t>(std::count_if(t.custom_numfmt_codes.begin(), t.custom_numfmt_codes.end(),
                                                          [](const std::string& c) { return !c.empty(); }));
    if (used == 0) return;
    start_list("numFmts", used);
    for (size_t slot = 0; slot < t.custom_numfmt_codes.size(); ++slot)
        if (!t.custom_numfmt_codes[slot].empty())
            write_num_fmt(mta::first_custom_numfmt_id + static_cast<int32_t>(slot), t.custom_numfmt_codes[slot]);
    w_->end_element("numFmts");
}

void styles_part_xml::write_num_fmt(int32_t id, std::string_view code) {
    w_->start_element("numFmt");
    w_->write_attribute("numFmtId", number_text(id));
    w_->write_attribute("formatCode", code);
    w_->end_empty_element();
}

void styles_part_xml::write_fonts(const impl_t& t) {
    start_list("fonts", t.fonts.size());
    for (const mta::font_t& f : t.fonts) write_font("font", f);
    w_->end_element("fonts");
}

void styles_part_xml::write_font(std::string_view element, const mta::font_t& f, uint8_t flags_off) {
    w_->start_element(element);
    w_->close_start_tag();
    write_font_properties(*w_, f, "name", flags_off);
    w_->end_element(element);
}

void styles_part_xml::write_fills(const impl_t& t) {
    start_list("fills", t.fills.size());
    for (const mta::fill_t& f : t.fills) write_fill(f);
    w_->end_element("fills");
}

void styles_part_xml::write_fill(const mta::fill_t& f, bool differential) {
    w_->start_element("fill");
    w_->close_start_tag();
    // A fill holds one of the two; a set gradient is what the format shows.
    if (is_default_gradient(f.gradient))
        write_pattern_fill(f.pattern, differential);
    else
        write_gradient_fill(f.gradient);
    w_->end_element("fill");
}

// A differential fill with colours and no pattern leaves the pattern to what
// it is applied over (solid in practice): "none" would hide its colours.
void styles_part_xml::write_pattern_fill(const mta::pattern_fill_t& p, bool differential) {
    w_->start_element("patternFill");
    const bool blank = p.fg.is_blank() && p.bg.is_blank();
    if (!(differential && p.type == 0 && !blank))
        w_->write_attribute("patternType", enum_name_or_empty(pattern_type_names, p.type));
    if (blank) return w_->end_empty_element();
    w_->close_start_tag();
    write_color(*w_, "fgColor", p.fg);
    write_color(*w_, "bgColor", p.bg);
    w_->end_element("patternFill");
}

void styles_part_xml::write_gradient_fill(const mta::gradient_fill_t& g) {
    w_->start_element("gradientFill");
    if (g.type != 0) w_->write_attribute("type", enum_name_or_empty(gradient_type_names, static_cast<uint32_t>(g.type)));
    if (g.degree != 0.0) w_->write_attribute("degree", number_text(g.degree));
    if (g.left != 0.0) w_->write_attribute("left", number_text(g.left));
    if (g.right != 0.0) w_->write_attribute("right", number_text(g.right));
    if (g.top != 0.0) w_->write_attribute("top", number_text(g.top));
    if (g.bottom != 0.0) w_->write_attribute("bottom", number_text(g.bottom));
    if (g.stops.empty()) return w_->end_empty_element();
    w_->close_start_tag();
    for (const mta::gradient_stop_t& s : g.stops) {
        w_->start_element("stop");
        w_->write_attribute("position", number_text(s.position));
        w_->close_start_tag();
        // The schema requires a colour in every stop.
        write_color(*w_, "color", s.color, true);
        w_->end_element("stop");
    }
    w_->end_element("gradientFill");
}

void styles_part_xml::write_borders(const impl_t& t) {
    start_list("borders", t.borders.size());
    for (const mta::border_t& b : t.borders) write_border(b);
    w_->end_element("borders");
}

// A differential border names only the edges it sets: a blank edge there
// would take the line away.
void styles_part_xml::write_border(const mta::border_t& b, bool differential) {
    using side = mta::border_side;
    w_->start_element("border");
    if (b.diagonal_up()) w_->write_attribute("diagonalUp", "1");
    if (b.diagonal_down()) w_->write_attribute("diagonalDown", "1");
    if (b.outline() || b.outline_given()) w_->write_attribute("outline", b.outline() ? "1" : "0");
    w_->close_start_tag();
    const auto edge = [&](std::string_view element, side s, bool always) {
        if (differential ? b.present(s) : always || b.edge(s).style) write_edge(element, b.edge(s));
    };
    edge(b.start_end() ? "start" : "left", side::left, true);
    edge(b.start_end() ? "end" : "right", side::right, true);
    edge("top", side::top, true);
    edge("bottom", side::bottom, true);
    edge("diagonal", side::diagonal, true);
    // The inner edges of a range only when set.
    edge("vertical", side::vertical, false);
    edge("horizontal", side::horizontal, false);
    w_->end_element("border");
}

void styles_part_xml::write_edge(std::string_view element, const mta::border_edge_t& e) {
    w_->start_element(element);
    if (e.style) w_->write_attribute("style", enum_name_or_empty(border_style_names, e.style));
    if (e.color.is_blank()) return w_->end_empty_element();
    w_->close_start_tag();
    write_color(*w_, "color", e.color);
    w_->end_element(element);
}

void styles_part_xml::write_cell_style_xfs(const impl_t& t) {
    // Every cell format names a style format, so there is always one.
    style_xf_count_ = std::max<size_t>(t.cell_style_xfs.size(), 1);
    start_list("cellStyleXfs", style_xf_count_);
    if (t.cell_style_xfs.empty()) write_xf(default_style_xf, true);
    for (const mta::xf_t& x : t.cell_style_xfs) write_xf(x, true);
    w_->end_element("cellStyleXfs");
}

void styles_part_xml::write_cell_xfs(const impl_t& t) {
    start_list("cellXfs", t.cell_xfs.size());
    for (const mta::xf_t& x : t.cell_xfs) write_xf(x, false);
    w_->end_element("cellXfs");
}

// A style format lists the parts it leaves out ("0"), a cell format those it
// sets ("1").
void styles_part_xml::write_xf(const mta::xf_t& x, bool style_xf) {
    w_->start_element("xf");
    w_->write_attribute("numFmtId", number_text(x.numFmtId));
    w_->write_attribute("fontId", number_text(x.fontId));
    w_->write_attribute("fillId", number_text(x.fillId));
    w_->write_attribute("borderId", number_text(x.borderId));
    if (!style_xf) w_->write_attribute("xfId", number_text(x.xfId < style_xf_count_ ? x.xfId : 0u));
    if (x.quotePrefix) w_->write_attribute("quotePrefix", "1");
    if (x.pivotButton) w_->write_attribute("pivotButton", "1");
    for (size_t bit = 0; bit < std::size(apply_names); ++bit) {
        const bool set = (x.applied >> bit) & 1u;
        if (style_xf && !set) w_->write_attribute(apply_names[bit], "0");
        if (!style_xf && set) w_->write_attribute(apply_names[bit], "1");
    }
    if (!has_alignment(x.alignment) && !has_protection(x.protection)) return w_->end_empty_element();
    w_->close_start_tag();
    write_alignment(x.alignment);
    write_protection(x.protection);
    w_->end_element("xf");
}

void styles_part_xml::write_alignment(const mta::alignment_t& a, bool always) {
    if (!has_alignment(a) && !always) return;
    w_->start_element("alignment");
    if (a.horizontal)
        w_->write_attribute("horizontal", enum_name_or_empty(horizontal_alignment_names, static_cast<uint32_t>(a.horizontal)));
    if (a.vertical)
        w_->write_attribute("vertical", enum_name_or_empty(vertical_alignment_names, static_cast<uint32_t>(a.vertical)));
    if (a.text_rotation) w_->write_attribute("textRotation", number_text(a.text_rotation));
    if (a.wrap_text) w_->write_attribute("wrapText", "1");
    if (a.indent) w_->write_attribute("indent", number_text(a.indent));
    if (a.relative_indent) w_->write_attribute("relativeIndent", number_text(a.relative_indent));
    if (a.justify_last_line) w_->write_attribute("justifyLastLine", "1");
    if (a.shrink_to_fit) w_->write_attribute("shrinkToFit", "1");
    if (a.reading_order) w_->write_attribute("readingOrder", number_text(a.reading_order));
    w_->end_empty_element();
}

void styles_part_xml::write_protection(const mta::protection_t& p, bool always) {
    if (!has_protection(p) && !always) return;
    w_->start_element("protection");
    if (!p.locked) w_->write_attribute("locked", "0");
    if (p.hidden) w_->write_attribute("hidden", "1");
    w_->end_empty_element();
}

void styles_part_xml::write_cell_styles(const impl_t& t) {
    // "Normal" always exists for the applications, on the first style format.
    const bool has_normal = std::any_of(t.named_styles.begin(), t.named_styles.end(),
                                        [](const mta::named_style_t& s) { return s.builtinId == 0; });
    start_list("cellStyles", t.named_styles.size() + (has_normal ? 0 : 1));
    if (!has_normal) write_cell_style({.name = "Normal", .xfId = 0, .builtinId = 0});
    for (const mta::named_style_t& s : t.named_styles) write_cell_style(s);
    w_->end_element("cellStyles");
}

void styles_part_xml::write_cell_style(const mta::named_style_t& s) {
    w_->start_element("cellStyle");
    w_->write_attribute("name", s.name);
    w_->write_attribute("xfId", number_text(s.xfId < style_xf_count_ ? s.xfId : 0u));
    if (s.builtinId >= 0) w_->write_attribute("builtinId", number_text(s.builtinId));
    if (s.iLevel) w_->write_attribute("iLevel", number_text(s.iLevel));
    if (s.hidden) w_->write_attribute("hidden", "1");
    if (s.customBuiltin) w_->write_attribute("customBuiltin", "1");
    w_->end_empty_element();
}

void styles_part_xml::write_dxfs(const impl_t& t) {
    if (t.dxfs.empty()) return;
    start_list("dxfs", t.dxfs.size());
    for (const mta::dxf_t& d : t.dxfs) write_dxf(d);
    w_->end_element("dxfs");
}

void styles_part_xml::write_dxf(const mta::dxf_t& d) {
    w_->start_element("dxf");
    w_->close_start_tag();
    if (d.font) write_font("font", *d.font, d.font_flags_off);
    if (d.numfmt) write_num_fmt(d.numfmt->id, d.numfmt->code);
    if (d.fill) write_fill(*d.fill, true);
    // Present but default still says the format sets that part.
    if (d.alignment) write_alignment(*d.alignment, true);
    if (d.border) write_border(*d.border, true);
    if (d.protection) write_protection(*d.protection, true);
    w_->end_element("dxf");
}

void styles_part_xml::write_table_styles(const impl_t& t) {
    if (t.table_styles.empty() && t.default_table_style.empty() && t.default_pivot_style.empty()) return;
    w_->start_element("tableStyles");
    w_->write_attribute("count", number_text(t.table_styles.size()));
    if (!t.default_table_style.empty()) w_->write_attribute("defaultTableStyle", t.default_table_style);
    if (!t.default_pivot_style.empty()) w_->write_attribute("defaultPivotStyle", t.default_pivot_style);
    if (t.table_styles.empty()) return w_->end_empty_element();
    w_->close_start_tag();
    for (const mta::table_style_t& s : t.table_styles) {
        w_->start_element("tableStyle");
        w_->write_attribute("name", s.name);
        // Both are on unless said.
        if (!s.pivot) w_->write_attribute("pivot", "0");
        if (!s.table) w_->write_attribute("table", "0");
        w_->write_attribute("count", number_text(s.elements.size()));
        if (s.elements.empty()) {
            w_->end_empty_element();
            continue;
        }
        w_->close_start_tag();
        for (const mta::table_style_element_t& e : s.elements) {
            w_->start_element("tableStyleElement");
            w_->write_attribute("type", enum_name_or_empty(table_style_type_names, e.type));
            if (e.size) w_->write_attribute("size", number_text(e.size));
            w_->write_attribute("dxfId", number_text(e.dxfId));
            w_->end_empty_element();
        }
        w_->end_element("tableStyle");
    }
    w_->end_element("tableStyles");
}

void styles_part_xml::write_colors(const impl_t& t) {
    if (t.indexed_colors.empty() && t.mru_colors.empty()) return;
    w_->start_element("colors");
    w_->close_start_tag();
    if (!t.indexed_colors.empty()) {
        w_->start_element("indexedColors");
        w_->close_start_tag();
        for (const uint32_t argb : t.indexed_colors) {
            char hex[8];
            uint32_to_hex(hex, argb);
            w_->start_element("rgbColor");
            w_->write_attribute("rgb", std::string_view(hex, sizeof hex));
            w_->end_empty_element();
        }
        w_->end_element("indexedColors");
    }
    if (!t.mru_colors.empty()) {
        w_->start_element("mruColors");
        w_->close_start_tag();
        for (const mta::color_t& c : t.mru_colors) write_color(*w_, "color", c, true);
        w_->end_element("mruColors");
    }
    w_->end_element("colors");
}

} // namespace vex
