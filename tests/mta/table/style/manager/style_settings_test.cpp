#include "mta/table/style/manager/style_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>

using namespace vex::mta;
using bs = border_side;

namespace {

style_settings_t with_font_only(const font_t& f) {
    style_settings_t s;
    s.set_font(f);
    return s;
}

font_t bold_font() {
    font_t f;
    f.name = "Arial";
    f.bold = 1;
    return f;
}

// A style with the given edges, each with its line style and no colour.
style_settings_t edged(std::initializer_list<std::pair<bs, uint32_t>> edges) {
    border_t b;
    for (const auto& [side, style] : edges) b.set_edge(side, style, {});
    style_settings_t s;
    s.set_border(b);
    return s;
}

// Every edge present, each with its own line style (1 + edge number) so that a
// projection shows which source edge went where.
style_settings_t boxed() {
    border_t b;
    for (size_t i = 0; i < border_t::edge_count; ++i)
        b.set_edge(static_cast<bs>(i), uint32_t(1 + i), color_t::from_rgb(0xFF000000u + uint32_t(i)));
    b.set_diagonal_up(true);
    style_settings_t s;
    s.set_border(b);
    return s;
}

uint32_t line(const style_settings_t& s, bs side) { return s.border().present(side) ? s.border().edge(side).style : 0; }
using edge_lines = std::array<uint32_t, 7>;  // left, right, top, bottom, horizontal, vertical, diagonal
edge_lines lines(const style_settings_t& s) {
    return {line(s, bs::left), line(s, bs::right), line(s, bs::top), line(s, bs::bottom),
            line(s, bs::horizontal), line(s, bs::vertical), line(s, bs::diagonal)};
}
constexpr uint32_t L = 1, R = 2, T = 3, B = 4, H = 5, V = 6, D = 7;

} // namespace

TEST(style_settings, defaults_and_equality) {
    const style_settings_t d;
    EXPECT_EQ(std::tuple(d.style_id(), d.numfmt_id(), d.numfmt_code(), d.applied(), d.quote_prefix()),
              std::tuple(0, 0, "", 0u, false));
    EXPECT_EQ(d.protection(), (protection_t{0, 1}));

    style_settings_t other = d;
    other.set_style_id(7);
    EXPECT_EQ(other, d) << "the parent style takes no part in equality";
    other.set_quote_prefix(true);
    EXPECT_NE(other, d);

    style_settings_t full = boxed();
    full.set_font(bold_font());
    full.reset();
    EXPECT_EQ(full, d);
}

TEST(style_settings, unapplied_parts_read_like_a_new_style) {
    style_settings_t s = boxed();
    s.set_numfmt_id(14);
    s.set_font(bold_font());
    fill_t fill;
    fill.pattern.type = 1;
    fill.gradient.stops.push_back({color_t::from_rgb(0xFFFF0000), 0.5});
    s.set_fill(fill);
    s.set_alignment({0, 2, 0, 45, 3, 1, 1, 0, 0});
    s.set_protection({1, 0});
    EXPECT_EQ(s.applied(), style_settings_t::all_bits);

    using S = style_settings_t;
    for (auto off : {&S::unapply_numfmt, &S::unapply_font, &S::unapply_fill, &S::unapply_border, &S::unapply_alignment,
                     &S::unapply_protection})
        (s.*off)();
    EXPECT_EQ(s.applied(), 0u);
    EXPECT_EQ(s.numfmt_code(), "General");
    EXPECT_EQ(s.protection(), (protection_t{0, 1})) << "cells stay locked";
    EXPECT_TRUE(s.fill().gradient.stops.empty());

    style_settings_t fresh;
    fresh.unapply_numfmt();
    EXPECT_EQ(s, fresh);
    EXPECT_NE(s, style_settings_t{}) << "only the \"General\" code tells them apart";
}

TEST(style_settings, number_format_setters) {
    style_settings_t s;
    s.set_numfmt_code("");
    EXPECT_EQ(s.applied(), 0u);
    s.set_numfmt_code("0.000");
    EXPECT_EQ(s.numfmt_code(), "0.000");
    EXPECT_TRUE(s.is_applied(style_settings_t::numfmt_bit));
    s.set_numfmt_code("");
    EXPECT_EQ(s.numfmt_code(), "0.000");
    s.set_numfmt_id(10);
    EXPECT_EQ(s.numfmt_id(), 10);
    EXPECT_EQ(s.numfmt_code(), "");

    style_settings_t p;
    p.set_locked(false);
    EXPECT_EQ(p.protection(), (protection_t{0, 0}));
    EXPECT_EQ(p.applied(), style_settings_t::protection_bit);
}

TEST(style_settings, merge_takes_applied_parts_only) {
    style_settings_t target = edged({{bs::left, 13}});
    target.set_numfmt_code("0.0");
    target.set_font(bold_font());

    style_settings_t src;
    src.set_numfmt_id(3);
    src.set_numfmt_code("#,##0");
    src.set_protection({1, 1});
    src.set_quote_prefix(true);

    style_settings_t m = target;
    m.merge(src);
    EXPECT_EQ(m.numfmt_id(), 3);
    EXPECT_EQ(m.numfmt_code(), "") << "merging drops the code even when the source has one";
    EXPECT_EQ(m.font(), bold_font());
    EXPECT_EQ(m.border(), target.border());
    EXPECT_EQ(m.protection(), (protection_t{1, 1}));
    EXPECT_TRUE(m.quote_prefix());
    EXPECT_EQ(m.applied(), style_settings_t::numfmt_bit | style_settings_t::font_bit | style_settings_t::border_bit |
                               style_settings_t::protection_bit);

    m.merge(style_settings_t{});
    EXPECT_FALSE(m.quote_prefix()) << "the cell flags always come from the source";
    EXPECT_EQ(m.font(), bold_font());
}

TEST(style_settings, merge_borders_edge_by_edge) {
    const style_settings_t target = edged({{bs::left, 13}, {bs::top, 13}});
    border_t edges;
    edges.set_edge(bs::top, 1, color_t::from_rgb(0xFF00FF00));
    edges.set_edge(bs::horizontal, 7, {});
    edges.set_edge(bs::diagonal, 12, {});
    edges.set_diagonal_down(true);
    edges.set_outline(true);
    style_settings_t src;
    src.set_border(edges);

    style_settings_t m = target;
    m.merge(src);
    EXPECT_EQ(lines(m), (edge_lines{13, 0, 1, 0, 0, 0, 12}));
    EXPECT_EQ(m.border().edge(bs::top).color.rgb, 0xFF00FF00u);
    EXPECT_TRUE(m.border().diagonal_down() && !m.border().diagonal_up());
    EXPECT_FALSE(m.border().outline()) << "outline is never merged";

    style_settings_t inner = target;
    inner.merge_with_inner_borders(src);
    EXPECT_EQ(line(inner, bs::horizontal), 7u);

    // A source border without present edges marks nothing.
    style_settings_t none, fresh;
    none.set_border(border_t{});
    fresh.merge(none);
    EXPECT_FALSE(fresh.is_applied(style_settings_t::border_bit));
}

TEST(style_settings, a_named_style_or_a_whole_look_takes_the_place) {
    style_settings_t italic_left = edged({{bs::left, 13}});
    font_t italic;
    italic.italic = 1;
    italic_left.set_font(italic);

    style_settings_t named;
    named.set_style_id(2);
    style_settings_t builtin_named;
    builtin_named.set_style_id(-26);
    builtin_named.set_fill(fill_t{{1, color_t::from_rgb(0xFFC6EFCE), {}}, {}});
    style_settings_t whole = with_font_only(bold_font());
    whole.apply_all();
    // What the inner cells of a block take: no edge of the look lands there.
    const style_settings_t whole_inside = whole.for_middle_col().for_middle_row();
    const style_settings_t bold = with_font_only(bold_font());
    const struct {
        const char* what;
        const style_settings_t& src;
        int32_t style_id;
        uint32_t left_edge;
        bool bold;
        uint32_t applied;
    } rows[] = {
        {"named style", named, 2, 0, false, 0},
        {"built-in style not in use", builtin_named, -26, 0, false, style_settings_t::fill_bit},
        {"whole look", whole, 0, 0, true, style_settings_t::all_bits},
        {"whole look inside a block", whole_inside, 0, 0, true, style_settings_t::all_bits},
        {"one part", bold, 0, 13, true, style_settings_t::font_bit | style_settings_t::border_bit},
    };
    for (const auto& r : rows) {
        for (const bool inner : {false, true}) {
            style_settings_t m = italic_left;
            if (inner) m.take_with_inner_borders(r.src);
            else m.take(r.src);
            EXPECT_EQ(std::tuple(m.style_id(), line(m, bs::left), m.font().bold != 0, m.applied()),
                      std::tuple(r.style_id, r.left_edge, r.bold, r.applied))
                << r.what << (inner ? ", inner borders" : "");
        }
    }
}

TEST(style_settings, projections_onto_block_edges) {
    const style_settings_t s = boxed();
    const std::pair<style_settings_t, edge_lines> rows[] = {
        {s.for_first_row(), {L, R, T, H, 0, 0, D}},            {s.for_middle_row(), {L, R, H, H, 0, 0, D}},
        {s.for_last_row(), {L, R, H, B, 0, 0, D}},             {s.for_first_col_single_row(), {L, V, T, B, 0, 0, D}},
        {s.for_middle_col_single_row(), {V, V, T, B, 0, 0, D}}, {s.for_last_col_single_row(), {V, R, T, B, 0, 0, D}},
        {s.for_first_col(), {L, V, T, B, H, 0, D}},            {s.for_middle_col(), {V, V, T, B, H, 0, D}},
        {s.for_last_col(), {V, R, T, B, H, 0, D}},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(lines(rows[i].first), rows[i].second) << "row " << i;
        EXPECT_TRUE(rows[i].first.border().diagonal_up()) << "row " << i;
    }

    // Only present source edges travel: a missing inner vertical edge leaves the
    // facing sides of a one-row block empty.
    style_settings_t outer = edged({{bs::left, 1}, {bs::right, 1}});
    outer.set_font(bold_font());
    const auto middle = outer.for_middle_col_single_row();
    EXPECT_EQ(middle.border(), border_t{});
    EXPECT_FALSE(middle.is_applied(style_settings_t::border_bit));
    EXPECT_EQ(middle.font(), bold_font());
    EXPECT_EQ(outer.for_first_col_single_row().border().edge(bs::left).style, 1u);

    // No border applied: the copy has none, whatever the edges say.
    style_settings_t plain;
    plain.set_numfmt_code("0.0");
    const auto p = plain.for_first_row();
    EXPECT_EQ(p.applied(), style_settings_t::numfmt_bit);
    EXPECT_EQ(p.numfmt_code(), "");
}

TEST(style_settings, datetime_values_follow_the_code) {
    EXPECT_FALSE(style_settings_t{}.is_datetime_value(45000)) << "no code";
    struct row { const char* code; double value; bool datetime; };
    for (const row& r : {row{"m/d/yyyy", 45000, true}, {"[h]:mm:ss", 1.5, true}, {"0.00", 45000, false},
                         {"General", 1, false}, {"0.00;m/d/yyyy", 1, false}, {"0.00;m/d/yyyy", -1, true}}) {
        style_settings_t s;
        s.set_numfmt_code(r.code);
        EXPECT_EQ(s.is_datetime_value(r.value), r.datetime) << r.code << " " << r.value;
    }
}
