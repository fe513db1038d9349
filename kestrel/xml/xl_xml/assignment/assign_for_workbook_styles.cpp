#include "kestrel/xml/xl_xml/assignment/assign_for_workbook_styles.h"

#include "errors.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "text_utils.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

const char* attr(const xml_node_t& n, const char* name) noexcept { return get_attribute_value(name, n.attributes); }

// An index into a list: negative or unreadable text is record 0.
uint32_t id_of(const xml_node_t& n, const char* name) noexcept {
    const int32_t v = int_or(attr(n, name), 0);
    return v > 0 ? static_cast<uint32_t>(v) : 0u;
}

uint8_t flag_of(const xml_node_t& n, const char* name, bool fallback) noexcept {
    return flag_or(attr(n, name), fallback) ? 1 : 0;
}

// A u16 colour index; anything outside is none.
uint16_t color_index(const char* text) {
    const int32_t v = read_int(text);
    return v >= 0 && v <= 0xFFFF ? static_cast<uint16_t>(v) : uint16_t{0};
}

// At most the first eight characters; the text itself is left as it is.
uint32_t argb_of(const char* text) noexcept { return hex_to_uint32(text ? text : ""); }

// The parent chain: n's parent is named `parent`.
bool under(const xml_node_t& n, std::string_view parent) noexcept { return node_named(n.parent, parent); }

std::optional<mta::border_side> edge_named(const xml_node_t& n) noexcept {
    using side = mta::border_side;
    const std::string_view name = n.name ? n.name : "";
    if (name == "left" || name == "start") return side::left;
    if (name == "right" || name == "end") return side::right;
    if (name == "top") return side::top;
    if (name == "bottom") return side::bottom;
    if (name == "diagonal") return side::diagonal;
    if (name == "horizontal") return side::horizontal;
    if (name == "vertical") return side::vertical;
    return std::nullopt;
}


void read_border_flags(const xml_node_t& n, mta::border_t& b) noexcept {
    b.clear();
    b.set_diagonal_up(flag_or(attr(n, "diagonalUp"), false));
    b.set_diagonal_down(flag_or(attr(n, "diagonalDown"), false));
    const char* outline = attr(n, "outline");
    b.set_outline(flag_or(outline, false));
    b.set_outline_given(outline != nullptr);
}

void read_alignment(const xml_node_t& n, mta::alignment_t& a) {
    if (const char* v = attr(n, "horizontal"))
        a.horizontal = static_cast<int32_t>(read_enum(enum_lists::horizontal_alignment, v));
    if (const char* v = attr(n, "vertical"))
        a.vertical = static_cast<int32_t>(read_enum(enum_lists::vertical_alignment, v));
    a.wrap_text = flag_of(n, "wrapText", false);
    a.shrink_to_fit = flag_of(n, "shrinkToFit", false);
    a.justify_last_line = flag_of(n, "justifyLastLine", false);
    a.relative_indent = int_or(attr(n, "relativeIndent"), 0);
    a.indent = int_or(attr(n, "indent"), 0);
    a.reading_order = int_or(attr(n, "readingOrder"), 0);
    a.text_rotation = int_or(attr(n, "textRotation"), 0);
}

void read_protection(const xml_node_t& n, mta::protection_t& p) noexcept {
    p.hidden = flag_of(n, "hidden", p.hidden != 0);
    p.locked = flag_of(n, "locked", p.locked != 0);
}

} // namespace

void read_color(const xml_node_t& node, mta::color_t& c) {
    c = mta::color_t{};
    c.auto_ = flag_of(node, "auto", false);
    if (const char* v = attr(node, "indexed")) {
        c.indexed = color_index(v);
        c.given |= mta::color_t::given_indexed;
    }
    if (const char* v = attr(node, "rgb")) {
        c.rgb = argb_of(v);
        c.theme = 0;
        c.given = uint8_t((c.given | mta::color_t::given_rgb) & ~mta::color_t::given_theme);
    }
    if (const char* v = attr(node, "theme")) {
        c.theme = color_index(v);
        c.rgb = 0;
        c.given = uint8_t((c.given | mta::color_t::given_theme) & ~mta::color_t::given_rgb);
    }
    if (const char* v = attr(node, "tint")) {
        const double tint = read_double(v);
        c.tint = tint < -1.0 ? -1.0 : tint > 1.0 ? 1.0 : tint;
    }
}

status_t assign_for_workbook_style_t::assign(const xml_node_t* node) {
    if (!node) return status_t::keep;
    const size_t depth = node_depth(node);
    if (depth == 1 && is_element(*node) && is_start(*node)) {
        root_namespaces_.clear();
        for (const auto* a = node->attributes; a; a = a->next)
            if (std::string_view(a->name).starts_with("xmlns:"))
                root_namespaces_.emplace_back(a->name, a->value ? a->value : "");
    }
    if (!is_element(*node) || depth == 1) return status_t::done;
    const char* top = node_ancestor_at_depth(node, 2)->name;
    const std::string_view section = top ? top : "";
    const xml_node_t& n = *node;
    if (section == "numFmts") return num_fmts(n, depth);
    if (section == "fonts") return fonts(n, depth);
    if (section == "fills") return fills(n, depth);
    if (section == "borders") return borders(n, depth);
    if (section == "cellStyleXfs") return xfs(n, depth, true);
    if (section == "cellXfs") return xfs(n, depth, false);
    if (section == "cellStyles") return cell_styles(n, depth);
    if (section == "dxfs") return dxfs(n, depth);
    if (section == "tableStyles") return table_styles(n, depth);
    if (section == "colors") return colors(n, depth);
    if (section == "extLst") return extensions(n, depth);
    return status_t::keep;
}

// The list's nodes stay in the tree until it closes, then go whole, with the
// root's declarations of the prefixes it names.
status_t assign_for_workbook_style_t::extensions(const xml_node_t& n, size_t depth) {
    if (depth != 2 || !is_end(n)) return status_t::keep;
    kept_.extensions.emplace(n);
    std::vector<std::string_view> used;
    const auto use = [&](const char* name, uint32_t prefix_length) {
        if (name && prefix_length) used.emplace_back(name, prefix_length);
    };
    std::vector<const xml_node_t*> work{&kept_.extensions->root()};
    while (!work.empty()) {
        const xml_node_t* e = work.back();
        work.pop_back();
        use(e->name, e->prefixed ? e->prefix_length : 0);
        for (const auto* a = e->attributes; a; a = a->next) use(a->name, a->prefix_length);
        for (const xml_node_t* c = e->first_child; c; c = c->next_sibling) work.push_back(c);
    }
    kept_.namespaces.clear();
    for (const auto& [name, value] : root_namespaces_)
        if (std::find(used.begin(), used.end(), std::string_view(name).substr(6)) != used.end())
            kept_.namespaces.emplace_back(name, value);
    return status_t::done;
}

void assign_for_workbook_style_t::read_num_fmt(const xml_node_t& n, mta::dxf_numfmt_t& out) {
    out.id = read_int(attr(n, "numFmtId"));
    out.code = package_text(attr(n, "formatCode"));
}

status_t assign_for_workbook_style_t::num_fmts(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth != 3 || !node_named(&n, "numFmt")) return status_t::keep;
    if (!is_start(n)) return status_t::done;
    mta::dxf_numfmt_t f;
    read_num_fmt(n, f);
    // A format without a code is nothing: what uses it shows General.
    const int32_t id = f.code.empty() ? 0 : tables_.register_numfmt_code(f.code);
    numfmt_ids_.insert_or_assign(f.id, id);
    return status_t::done;
}

status_t assign_for_workbook_style_t::fonts(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth == 3) {
        if (!node_named(&n, "font")) return status_t::keep;
        if (is_start(n)) font_ = mta::font_t{};
        if (is_end(n)) tables_.fonts.push_back(font_);
        return status_t::done;
    }
    if (depth == 4 && under(n, "font")) return read_rich_run_properties(&n, font_);
    return status_t::keep;
}

status_t assign_for_workbook_style_t::fill_child(const xml_node_t& n, size_t rel, mta::fill_t& fill) {
    auto& g = fill.gradient;
    if (rel == 1) {
        if (node_named(&n, "patternFill")) {
            if (is_start(n))
                if (const char* t = attr(n, "patternType")) fill.pattern.type = read_enum(enum_lists::pattern_type, t);
            return status_t::done;
        }
        if (node_named(&n, "gradientFill")) {
            if (!is_start(n)) return status_t::done;
            g.degree = double_or(attr(n, "degree"), 0.0);
            g.left = double_or(attr(n, "left"), 0.0);
            g.right = double_or(attr(n, "right"), 0.0);
            g.top = double_or(attr(n, "top"), 0.0);
            g.bottom = double_or(attr(n, "bottom"), 0.0);
            if (const char* t = attr(n, "type")) g.type = static_cast<int32_t>(read_enum(enum_lists::gradient_type, t));
            return status_t::done;
        }
        return status_t::keep;
    }
    if (rel == 2 && under(n, "patternFill")) {
        mta::color_t* c = node_named(&n, "fgColor")   ? &fill.pattern.fg
                          : node_named(&n, "bgColor") ? &fill.pattern.bg
                                                      : nullptr;
        if (!c) return status_t::keep;
        if (is_start(n)) read_color(n, *c);
        return status_t::done;
    }
    if (rel == 2 && under(n, "gradientFill") && node_named(&n, "stop")) {
        if (is_start(n)) g.stops.push_back({mta::color_t{}, double_or(attr(n, "position"), 0.0)});
        return status_t::done;
    }
    if (rel == 3 && under(n, "stop") && node_named(&n, "color") && !g.stops.empty()) {
        if (is_start(n)) read_color(n, g.stops.back().color);
        return status_t::done;
    }
    return status_t::keep;
}

status_t assign_for_workbook_style_t::fills(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth == 3) {
        if (!node_named(&n, "fill")) return status_t::keep;
        if (is_start(n)) fill_ = mta::fill_t{};
        if (is_end(n)) tables_.fills.push_back(fill_);
        return status_t::done;
    }
    return fill_child(n, depth - 3, fill_);
}

// An edge takes part when styles are merged once it has a line or a colour;
// in a differential format, once it is named.
status_t assign_for_workbook_style_t::border_child(const xml_node_t& n, size_t rel, mta::border_t& border,
                                                   bool differential) {
    if (rel == 1) {
        const auto s = edge_named(n);
        if (!s) return status_t::keep;
        mta::border_edge_t& edge = border.edge(*s);
        if (node_named(&n, "start") || node_named(&n, "end")) border.set_start_end(true);
        if (is_start(n))
            if (const char* v = attr(n, "style")) edge.style = read_enum(enum_lists::border_style, v);
        if (is_end(n) && (differential || edge.style != 0 || !edge.color.is_blank())) border.set_present(*s, true);
        return status_t::done;
    }
    if (rel == 2 && node_named(&n, "color")) {
        const auto s = n.parent ? edge_named(*n.parent) : std::nullopt;
        if (!s) return status_t::keep;
        if (is_start(n)) read_color(n, border.edge(*s).color);
        return status_t::done;
    }
    return status_t::keep;
}

status_t assign_for_workbook_style_t::borders(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth == 3) {
        if (!node_named(&n, "border")) return status_t::keep;
        if (is_start(n)) read_border_flags(n, border_);
        if (is_end(n)) tables_.borders.push_back(border_);
        return status_t::done;
    }
    return border_child(n, depth - 3, border_, false);
}

status_t assign_for_workbook_style_t::xfs(const xml_node_t& n, size_t depth, bool style_xfs) {
    if (depth == 2) return status_t::done;
    auto& list = style_xfs ? tables_.cell_style_xfs : tables_.cell_xfs;
    if (depth == 3) {
        if (!node_named(&n, "xf")) return status_t::keep;
        if (!is_start(n)) return status_t::done;
        if (!style_xfs && list.size() >= mta::max_cell_xf_count)
            throw loading_error("The styles part holds more than " + std::to_string(mta::max_cell_xf_count) +
                                " cell formats.");
        mta::xf_t x;
        x.xfId = id_of(n, "xfId");
        x.fontId = id_of(n, "fontId");
        x.fillId = id_of(n, "fillId");
        x.borderId = id_of(n, "borderId");
        x.numFmtId = id_of(n, "numFmtId");
        x.applied = style_xfs ? mta::style_settings_t::all_bits : 0u;
        static constexpr const char* apply_names[] = {"applyNumberFormat", "applyFont", "applyFill",
                                                      "applyBorder", "applyAlignment", "applyProtection"};
        for (size_t bit = 0; bit < std::size(apply_names); ++bit)
            if (const char* v = attr(n, apply_names[bit]))
                x.applied = flag_or(v, false) ? (x.applied | (1u << bit)) : (x.applied & ~(1u << bit));
        x.pivotButton = flag_of(n, "pivotButton", false);
        x.quotePrefix = flag_of(n, "quotePrefix", false);
        list.push_back(x);
        return status_t::done;
    }
    if (depth != 4 || !under(n, "xf") || list.empty()) return status_t::keep;
    if (node_named(&n, "alignment")) {
        if (is_start(n)) read_alignment(n, list.back().alignment);
        return status_t::done;
    }
    if (node_named(&n, "protection")) {
        if (is_start(n)) read_protection(n, list.back().protection);
        return status_t::done;
    }
    return status_t::keep;
}

status_t assign_for_workbook_style_t::cell_styles(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth != 3 || !node_named(&n, "cellStyle")) return status_t::keep;
    if (!is_start(n)) return status_t::done;
    mta::named_style_t s;
    s.name = package_text(attr(n, "name"));
    s.xfId = id_of(n, "xfId");
    s.builtinId = int_or(attr(n, "builtinId"), -1);
    s.iLevel = int_or(attr(n, "iLevel"), 0);
    s.customBuiltin = flag_of(n, "customBuiltin", false);
    s.hidden = flag_of(n, "hidden", false);
    tables_.named_styles.insert_or_assign(std::move(s));
    return status_t::done;
}

// A dxf holds the parts whose elements it names, each as read.
status_t assign_for_workbook_style_t::dxfs(const xml_node_t& n, size_t depth) {
    if (depth == 2) return status_t::done;
    if (depth == 3) {
        if (!node_named(&n, "dxf")) return status_t::keep;
        if (is_start(n)) dxf_ = mta::dxf_t{};
        if (is_end(n)) tables_.dxfs.push_back(std::move(dxf_));
        return status_t::done;
    }
    const xml_node_t* part = node_ancestor_at_depth(&n, 4);
    if (!under(*part, "dxf")) return status_t::keep;
    const std::string_view name = part->name ? part->name : "";
    if (depth == 4) {
        const bool start = is_start(n);
        if (name == "font") {
            if (start) dxf_.font.emplace();
        } else if (name == "numFmt") {
            if (start) read_num_fmt(n, dxf_.numfmt.emplace());
        } else if (name == "fill") {
            if (start) dxf_.fill.emplace();
        } else if (name == "alignment") {
            if (start) read_alignment(n, dxf_.alignment.emplace());
        } else if (name == "border") {
            if (start) read_border_flags(n, dxf_.border.emplace());
        } else if (name == "protection") {
            if (start) read_protection(n, dxf_.protection.emplace());
        } else {
            return status_t::keep;
        }
        return status_t::done;
    }
    if (name == "font" && dxf_.font && depth == 5) return dxf_font_child(n);
    if (name == "fill" && dxf_.fill) return fill_child(n, depth - 4, *dxf_.fill);
    if (name == "border" && dxf_.border) return border_child(n, depth - 4, *dxf_.border, true);
    return status_t::keep;
}

// A flag turned off is kept apart: in a differential format it overrides.
status_t assign_for_workbook_style_t::dxf_font_child(const xml_node_t& n) {
    mta::font_t& font = *dxf_.font;
    const status_t s = read_rich_run_properties(&n, font);
    if (!is_start(n)) return s;
    const uint8_t flags[] = {font.bold, font.italic, font.strikeout, font.condense, font.extend, font.outline, font.shadow};
    for (size_t i = 0; i < std::size(flags); ++i) {
        if (!node_named(&n, mta::font_flag_order[i])) continue;
        const auto bit = static_cast<uint8_t>(1u << i);
        dxf_.font_flags_off = flags[i] ? uint8_t(dxf_.font_flags_off & ~bit) : uint8_t(dxf_.font_flags_off | bit);
    }
    return s;
}

status_t assign_for_workbook_style_t::table_styles(const xml_node_t& n, size_t depth) {
    if (depth == 2) {
        if (is_start(n)) {
            const char* table = attr(n, "defaultTableStyle");
            const char* pivot = attr(n, "defaultPivotStyle");
            tables_.default_table_style = package_text(table);
            tables_.default_pivot_style = package_text(pivot);
        }
        return status_t::done;
    }
    if (depth == 3 && node_named(&n, "tableStyle")) {
        if (!is_start(n)) return status_t::done;
        mta::table_style_t s;
        s.name = package_text(attr(n, "name"));
        // Both default to on in the format.
        s.table = flag_or(attr(n, "table"), true);
        s.pivot = flag_or(attr(n, "pivot"), true);
        tables_.table_styles.push_back(std::move(s));
        return status_t::done;
    }
    if (depth == 4 && node_named(&n, "tableStyleElement") && under(n, "tableStyle") && !tables_.table_styles.empty()) {
        if (!is_start(n)) return status_t::done;
        mta::table_style_element_t e;
        if (const char* t = attr(n, "type")) e.type = read_enum(enum_lists::table_style_type, t);
        e.dxfId = int_or(attr(n, "dxfId"), 0);
        e.size = int_or(attr(n, "size"), 0);
        tables_.table_styles.back().elements.push_back(e);
        return status_t::done;
    }
    return status_t::keep;
}

status_t assign_for_workbook_style_t::colors(const xml_node_t& n, size_t depth) {
    if (depth == 2 || (depth == 3 && (node_named(&n, "indexedColors") || node_named(&n, "mruColors"))))
        return status_t::done;
    if (depth != 4) return status_t::keep;
    if (node_named(&n, "rgbColor") && under(n, "indexedColors")) {
        if (is_start(n)) tables_.indexed_colors.push_back(argb_of(attr(n, "rgb")));
        return status_t::done;
    }
    if (node_named(&n, "color") && under(n, "mruColors")) {
        if (is_start(n)) read_color(n, tables_.mru_colors.emplace_back());
        return status_t::done;
    }
    return status_t::keep;
}

void assign_for_workbook_style_t::finish() {
    // Ids the part lists take their code's id; other custom ids name nothing.
    const auto remap = [this](int32_t id) -> int32_t {
        if (const auto it = numfmt_ids_.find(id); it != numfmt_ids_.end()) return it->second;
        return id >= 0 && id < mta::first_custom_numfmt_id ? id : 0;
    };
    for (auto* list : {&tables_.cell_style_xfs, &tables_.cell_xfs})
        for (mta::xf_t& x : *list) x.numFmtId = static_cast<uint32_t>(remap(static_cast<int32_t>(x.numFmtId)));
    // A differential format carries its own code: it keeps the id that code has.
    for (mta::dxf_t& d : tables_.dxfs) {
        if (!d.numfmt) continue;
        if (const auto it = tables_.custom_numfmt_ids.find(d.numfmt->code); it != tables_.custom_numfmt_ids.end())
            d.numfmt->id = it->second;
    }
    tables_.complete_loaded();
}

} // namespace vex
