#include "mta/table/style/manager/style_settings.h"

#include <gtest/gtest.h>

using namespace vex::mta;
using bs = border_side;

namespace {

font_t bold_font() {
    font_t f;
    f.name = "Arial";
    f.size = 10;
    f.bold = 1;
    return f;
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
constexpr uint32_t L = 1, R = 2, T = 3, B = 4, H = 5, V = 6, D = 7;

} // namespace

TEST(style_settings, defaults_and_equality) {
    const style_settings_t d;
    EXPECT_EQ(d.style_id(), 0);
    EXPECT_EQ(d.numfmt_id(), 0);
    EXPECT_EQ(d.numfmt_code(), "");
    EXPECT_EQ(d.protection(), (protection_t{0, 1}));
    EXPECT_EQ(d.applied(), 0u);
    EXPECT_FALSE(d.quote_prefix());

    style_settings_t other = d;
    other.set_style_id(7);
    EXPECT_EQ(other, d) << "the parent style takes no part in equality";
    other.set_quote_prefix(true);
    EXPECT_NE(other, d);

    style_settings_t copy = boxed();
    copy.set_font(bold_font());
    EXPECT_EQ(style_settings_t(copy), copy);
    copy.reset();
    EXPECT_EQ(copy, d);
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

    s.unapply_numfmt();
    s.unapply_font();
    s.unapply_fill();
    s.unapply_border();
    s.unapply_alignment();
    s.unapply_protection();
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
    style_settings_t target;
    target.set_numfmt_code("0.0");
    target.set_font(bold_font());
    border_t b;
    b.set_edge(bs::left, 13, color_t::from_theme(4));
    target.set_border(b);

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
    EXPECT_EQ(m.border(), b);
    EXPECT_EQ(m.protection(), (protection_t{1, 1}));
    EXPECT_TRUE(m.quote_prefix());
    EXPECT_EQ(m.applied(), style_settings_t::numfmt_bit | style_settings_t::font_bit | style_settings_t::border_bit |
                               style_settings_t::protection_bit);

    m.merge(style_settings_t{});
    EXPECT_FALSE(m.quote_prefix()) << "the cell flags always come from the source";
    EXPECT_EQ(m.font(), bold_font());
}

TEST(style_settings, merge_borders_edge_by_edge) {
    style_settings_t target;
    border_t b;
    b.set_edge(bs::left, 13, {});
    b.set_edge(bs::top, 13, {});
    target.set_border(b);

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
    EXPECT_EQ(line(m, bs::left), 13u);
    EXPECT_EQ(line(m, bs::top), 1u);
    EXPECT_EQ(m.border().edge(bs::top).color.rgb, 0xFF00FF00u);
    EXPECT_EQ(line(m, bs::horizontal), 0u);
    EXPECT_EQ(line(m, bs::diagonal), 12u);
    EXPECT_TRUE(m.border().diagonal_down());
    EXPECT_FALSE(m.border().diagonal_up());
    EXPECT_FALSE(m.border().outline()) << "outline is never merged";

    style_settings_t inner = target;
    inner.merge_with_inner_borders(src);
    EXPECT_EQ(line(inner, bs::horizontal), 7u);

    // A source border without present edges marks nothing.
    style_settings_t none;
    none.set_border(border_t{});
    style_settings_t fresh;
    fresh.merge(none);
    EXPECT_FALSE(fresh.is_applied(style_settings_t::border_bit));
}

TEST(style_settings, projections_onto_block_edges) {
    const style_settings_t s = boxed();
    struct row {
        style_settings_t got;
        uint32_t l, r, t, b, h;
    };
    const row rows[] = {
        {s.for_first_row(), L, R, T, H, 0},
        {s.for_middle_row(), L, R, H, H, 0},
        {s.for_last_row(), L, R, H, B, 0},
        {s.for_first_col_single_row(), L, V, T, B, 0},
        {s.for_middle_col_single_row(), V, V, T, B, 0},
        {s.for_last_col_single_row(), V, R, T, B, 0},
        {s.for_first_col(), L, V, T, B, H},
        {s.for_middle_col(), V, V, T, B, H},
        {s.for_last_col(), V, R, T, B, H},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& p = rows[i].got;
        SCOPED_TRACE(i);
        EXPECT_EQ(line(p, bs::left), rows[i].l);
        EXPECT_EQ(line(p, bs::right), rows[i].r);
        EXPECT_EQ(line(p, bs::top), rows[i].t);
        EXPECT_EQ(line(p, bs::bottom), rows[i].b);
        EXPECT_EQ(line(p, bs::horizontal), rows[i].h);
        EXPECT_EQ(line(p, bs::vertical), 0u);
        EXPECT_EQ(line(p, bs::diagonal), D);
        EXPECT_TRUE(p.border().diagonal_up());
    }

    // Only present source edges travel: a missing inner vertical edge leaves the
    // facing sides of a one-row block empty.
    style_settings_t outer;
    border_t b;
    b.set_edge(bs::left, 1, {});
    b.set_edge(bs::right, 1, {});
    outer.set_border(b);
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
    style_settings_t s;
    EXPECT_FALSE(s.is_datetime_value(45000)) << "no code";
    s.set_numfmt_code("m/d/yyyy");
    EXPECT_TRUE(s.is_datetime_value(45000));
    s.set_numfmt_code("[h]:mm:ss");
    EXPECT_TRUE(s.is_datetime_value(1.5));
    s.set_numfmt_code("0.00");
    EXPECT_FALSE(s.is_datetime_value(45000));
    s.set_numfmt_code("General");
    EXPECT_FALSE(s.is_datetime_value(1));
    s.set_numfmt_code("0.00;m/d/yyyy");
    EXPECT_FALSE(s.is_datetime_value(1));
    EXPECT_TRUE(s.is_datetime_value(-1)) << "the section of the value decides";
}
