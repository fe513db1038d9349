#include "mta/table/style/manager/builtin_styles.h"

#include "text_utils.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>

namespace vex::mta {

namespace {

constexpr std::array<std::string_view, builtin_style_name_count> style_names = {
    "normal", "", "", "comma", "currency", "percent", "comma0", "currency0", "", "",
    "note", "warningText", "", "", "", "title", "heading1", "heading2", "heading3", "heading4",
    "input", "output", "calculation", "checkCell", "linkedCell", "total", "good", "bad", "neutral",
    "accent1", "accent1pct20", "accent1pct40", "accent1pct60",
    "accent2", "accent2pct20", "accent2pct40", "accent2pct60",
    "accent3", "accent3pct20", "accent3pct40", "accent3pct60",
    "accent4", "accent4pct20", "accent4pct40", "accent4pct60",
    "accent5", "accent5pct20", "accent5pct40", "accent5pct60",
    "accent6", "accent6pct20", "accent6pct40", "accent6pct60",
    "explanatoryText"};

struct record_row {
    int32_t builtin_id;
    uint32_t numfmt, font, fill, border, applied;
};

// By record number k; the name is the one of builtin_id.
constexpr record_row fixed_records[] = {
    {0, 0, 0, 0, 0, 63},   {3, 43, 1, 0, 0, 1},   {6, 41, 1, 0, 0, 1},    {4, 44, 1, 0, 0, 1},
    {7, 42, 1, 0, 0, 1},   {5, 9, 1, 0, 0, 1},    {15, 0, 2, 0, 0, 2},    {16, 0, 3, 0, 1, 10},
    {17, 0, 4, 0, 2, 10},  {18, 0, 5, 0, 3, 10},  {19, 0, 5, 0, 0, 10},   {26, 0, 6, 2, 0, 6},
    {27, 0, 7, 3, 0, 6},   {28, 0, 8, 4, 0, 6},   {20, 0, 9, 5, 4, 14},   {21, 0, 10, 6, 5, 14},
    {22, 0, 11, 6, 4, 14}, {24, 0, 12, 0, 6, 10}, {23, 0, 13, 7, 7, 14},  {11, 0, 14, 0, 0, 2},
    {10, 0, 1, 8, 8, 12},  {53, 0, 15, 0, 0, 2},  {25, 0, 16, 0, 9, 10},
};
constexpr size_t fixed_record_count = std::size(fixed_records);   // then the 24 accent records

constexpr double tint_80 = 0.7999816888943144;
constexpr double tint_60 = 0.5999938962981048;
constexpr double tint_40 = 0.3999755851924192;
constexpr double tint_50 = 0.499984740745262;

constexpr uint32_t pattern_solid = 1;
constexpr uint32_t pattern_gray125 = 11;
constexpr uint32_t line_thin = 1;
constexpr uint32_t line_medium = 7;
constexpr uint32_t line_double = 12;
constexpr uint32_t line_thick = 13;

std::vector<xf_t> make_records() {
    std::vector<xf_t> out;
    out.reserve(builtin_style_record_count);
    const auto add = [&](uint32_t numfmt, uint32_t font, uint32_t fill, uint32_t border, uint32_t applied) {
        xf_t x;
        x.numFmtId = numfmt;
        x.fontId = font;
        x.fillId = fill;
        x.borderId = border;
        x.applied = applied;
        out.push_back(x);
    };
    for (const auto& r : fixed_records) add(r.numfmt, r.font, r.fill, r.border, r.applied);
    for (uint32_t n = 1; n <= 6; ++n) {
        const uint32_t fill = 9 + 4 * (n - 1);
        add(0, 17, fill, 0, 6);
        add(0, 1, fill + 1, 0, 6);
        add(0, 1, fill + 2, 0, 6);
        add(0, 1, fill + 3, 0, 6);
    }
    return out;
}

int32_t record_builtin_id(size_t k) {
    if (k < fixed_record_count) return fixed_records[k].builtin_id;
    return static_cast<int32_t>(29 + (k - fixed_record_count));   // accent1 is 29, in record order
}

std::vector<font_t> make_fonts() {
    struct row {
        const char* name;
        double size;
        bool bold, italic;
        color_t color;
        int32_t scheme;
    };
    const color_t none{};
    const color_t theme1 = color_t::from_theme(1);
    const color_t theme3 = color_t::from_theme(3);
    const auto rgb = color_t::from_rgb;
    const row rows[] = {
        {"Calibri", 11, false, false, theme1, 0},
        {"Calibri", 11, false, false, theme1, 1},
        {"Calibri Light", 18, false, false, theme3, 2},
        {"Calibri", 15, true, false, theme3, 1},
        {"Calibri", 13, true, false, theme3, 1},
        {"Calibri", 11, true, false, theme3, 1},
        {"Calibri", 11, false, false, rgb(0xFF006100), 1},
        {"Calibri", 11, false, false, rgb(0xFF9C0006), 1},
        {"Calibri", 11, false, false, rgb(0xFF9C5700), 1},
        {"Calibri", 11, false, false, rgb(0xFF3F3F76), 1},
        {"Calibri", 11, true, false, rgb(0xFF3F3F3F), 1},
        {"Calibri", 11, true, false, rgb(0xFFFA7D00), 1},
        {"Calibri", 11, false, false, rgb(0xFFFA7D00), 1},
        {"Calibri", 11, true, false, none, 1},
        {"Calibri", 11, false, false, rgb(0xFFFF0000), 1},
        {"Calibri", 11, false, true, rgb(0xFF7F7F7F), 1},
        {"Calibri", 11, true, false, theme1, 1},
        {"Calibri", 11, false, false, none, 1},
    };
    std::vector<font_t> out;
    for (const auto& r : rows) {
        font_t f;
        f.name = r.name;
        f.size = r.size;
        f.color = r.color;
        f.family = 2;
        f.scheme = r.scheme;
        f.bold = r.bold;
        f.italic = r.italic;
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<fill_t> make_fills() {
    std::vector<fill_t> out;
    const auto add = [&](uint32_t type, color_t fg, color_t bg) {
        fill_t f;
        f.pattern = {type, fg, bg};
        out.push_back(std::move(f));
    };
    add(0, {}, {});
    add(pattern_gray125, {}, {});
    for (uint32_t argb : {0xFFC6EFCEu, 0xFFFFC7CEu, 0xFFFFEB9Cu, 0xFFFFCC99u, 0xFFF2F2F2u, 0xFFA5A5A5u, 0xFFFFFFCCu})
        add(pattern_solid, color_t::from_rgb(argb), {});
    color_t indexed65;
    indexed65.indexed = 65;
    for (uint16_t n = 1; n <= 6; ++n) {
        const auto theme = static_cast<uint16_t>(3 + n);
        add(pattern_solid, color_t::from_theme(theme), {});
        for (double tint : {tint_80, tint_60, tint_40}) add(pattern_solid, color_t::from_theme(theme, tint), indexed65);
    }
    return out;
}

std::vector<border_t> make_borders() {
    using bs = border_side;
    // Edges as the built-in records have them: set, but not marked present.
    const auto edges = [](std::initializer_list<bs> sides, uint32_t style, color_t color) {
        border_t b;
        for (auto s : sides) b.edge(s) = {style, color};
        return b;
    };
    const auto box = {bs::left, bs::right, bs::top, bs::bottom};
    const auto theme4 = color_t::from_theme(4);
    std::vector<border_t> out;
    out.push_back({});
    out.push_back(edges({bs::bottom}, line_thick, theme4));
    out.push_back(edges({bs::bottom}, line_thick, color_t::from_theme(4, tint_50)));
    out.push_back(edges({bs::bottom}, line_medium, color_t::from_theme(4, tint_40)));
    out.push_back(edges(box, line_thin, color_t::from_rgb(0xFF7F7F7F)));
    out.push_back(edges(box, line_thin, color_t::from_rgb(0xFF3F3F3F)));
    out.push_back(edges({bs::bottom}, line_double, color_t::from_rgb(0xFFFF8001)));
    out.push_back(edges(box, line_double, color_t::from_rgb(0xFF3F3F3F)));
    out.push_back(edges(box, line_thin, color_t::from_rgb(0xFFB2B2B2)));
    border_t total = edges({bs::top}, line_thin, theme4);
    total.edge(bs::bottom) = {line_double, theme4};
    out.push_back(total);
    return out;
}

struct tables {
    std::vector<font_t> fonts = make_fonts();
    std::vector<fill_t> fills = make_fills();
    std::vector<border_t> borders = make_borders();
    std::vector<xf_t> records = make_records();
    std::unordered_map<std::string_view, builtin_style_t> entries;

    tables() {
        for (size_t k = 0; k < records.size(); ++k) {
            const int32_t id = record_builtin_id(k);
            const auto name = style_names[static_cast<size_t>(id)];
            entries.emplace(name, builtin_style_t{name, static_cast<uint32_t>(k), id, 0, 1, 0});
        }
    }
};

const tables& get_tables() {
    static const tables t;
    return t;
}

} // namespace

std::string_view builtin_style_name(int builtin_id) noexcept {
    if (builtin_id < 0 || builtin_id >= builtin_style_name_count) return {};
    return style_names[static_cast<size_t>(builtin_id)];
}

const builtin_style_t* find_builtin_style(std::string_view name) {
    if (name.empty()) return nullptr;
    const auto& e = get_tables().entries;
    const auto it = e.find(name);
    return it == e.end() ? nullptr : &it->second;
}

const builtin_style_t* find_builtin_style_in_any_case(std::string_view name) {
    if (name.empty()) return nullptr;
    const auto it = std::find_if(style_names.begin(), style_names.end(),
                                 [&](std::string_view known) { return ascii_iequals(known, name); });
    return it == style_names.end() ? nullptr : find_builtin_style(*it);
}

const xf_t& builtin_style_record(size_t k) { return get_tables().records.at(k); }
const font_t& builtin_font(size_t i) { return get_tables().fonts.at(i); }
const fill_t& builtin_fill(size_t i) { return get_tables().fills.at(i); }
const border_t& builtin_border(size_t i) { return get_tables().borders.at(i); }

} // namespace vex::mta
