// The style handle: its value, the public numbering of line styles, patterns
// and border indexes, and the number formats it reaches in the workbook.
#include "kestrel/interface/style_impl.h"

#include "kestrel/interface/workbook_impl.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "plover.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using vex::iStyle_impl;
using vex::mta::border_side;

std::string last_message() { return vex::get_run_message().str(); }
void set_marker() { vex::set_run_message("marker"); }
std::string enum_message(std::string_view parameter, std::string_view enumeration) {
    return std::string(parameter) + ": Invalid parameter value. Please refer to enum " + std::string(enumeration) +
           " in enum.h";
}

// A handle without a workbook: everything but the number formats works.
struct style_handle : ::testing::Test {
    iStyle_impl style{nullptr};
    vex::mta::border_t border() const { return style.settings().border(); }
};

} // namespace

TEST_F(style_handle, a_new_handle_reads_the_default_style) {
    EXPECT_EQ(style.numfmt_id(), 0);
    EXPECT_STREQ(style.font_name(), "");
    EXPECT_EQ(style.font_size(), 0);
    EXPECT_FALSE(style.bold() || style.italic() || style.strikeout() || style.wrap() || style.shrink_to_fit());
    EXPECT_EQ(style.font_vert_align() + style.underlined() + style.fill_pattern() + style.align_h() + style.align_v(), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(style.border(i), 0);
        EXPECT_EQ(style.border_color(i), 0u);
    }
    EXPECT_EQ(style.font_color() | style.pattern_fg_color() | style.pattern_bg_color(), 0u);
    EXPECT_EQ(style.rotation(), 0);
    EXPECT_EQ(style.indent(), 0);
    EXPECT_TRUE(style.cell_locked());
    EXPECT_FALSE(style.cell_hidden());
    EXPECT_EQ(style.settings().applied(), 0u);
}

TEST_F(style_handle, line_styles_and_patterns_are_stored_by_their_styles_part_names) {
    const char* lines[] = {"none",          "thin",      "medium",           "thick",        "double",
                           "dashed",        "mediumDashed", "dashDot",      "mediumDashDot", "dashDotDot",
                           "mediumDashDotDot", "slantDashDot", "dotted",     "hair"};
    for (int v = 0; v < 14; ++v) {
        ASSERT_TRUE(style.set_border(0, v));
        EXPECT_EQ(vex::enum_name_or_empty(vex::border_style_names, border().edge(border_side::left).style), lines[v]);
        EXPECT_EQ(style.border(0), v);
    }
    const char* patterns[] = {"none",          "solid",        "darkGray",     "mediumGray",     "lightGray",
                              "gray125",       "gray0625",     "darkHorizontal", "darkVertical", "darkUp",
                              "darkDown",      "darkTrellis",  "darkGrid",     "lightHorizontal", "lightVertical",
                              "lightUp",       "lightDown",    "lightTrellis", "lightGrid"};
    for (int v = 0; v < 19; ++v) {
        style.set_fill_pattern(v);
        EXPECT_EQ(vex::enum_name_or_empty(vex::pattern_type_names, style.settings().fill().pattern.type), patterns[v]);
        EXPECT_EQ(style.fill_pattern(), v);
    }
}

TEST_F(style_handle, rotation_is_clamped_and_downward_angles_read_back_negative) {
    const int given[][2] = {{120, 90}, {-120, -90}, {-45, -45}, {-1, -1}, {45, 45}, {0, 0}};
    for (const auto& [degrees, read] : given) {
        style.set_rotation(degrees);
        EXPECT_EQ(style.rotation(), read) << degrees;
    }
    style.set_rotation(-45);
    EXPECT_EQ(style.settings().alignment().text_rotation, 135);
}

TEST_F(style_handle, border_index_eight_sets_the_outer_edges_and_reads_nothing) {
    ASSERT_TRUE(style.set_border_color(0, 0xFF112233u));
    ASSERT_TRUE(style.set_border(8, 1));
    const vex::mta::border_t b = border();
    for (border_side s : {border_side::left, border_side::right, border_side::top, border_side::bottom}) {
        EXPECT_EQ(b.edge(s).style, 1u);
        EXPECT_TRUE(b.present(s));
    }
    EXPECT_EQ(b.edge(border_side::left).color.rgb, 0xFF112233u);
    EXPECT_FALSE(b.present(border_side::horizontal));
    EXPECT_EQ(style.border(8), 0);
    EXPECT_EQ(style.border(3), 1);

    ASSERT_TRUE(style.set_border(9, 3));
    EXPECT_EQ(style.border(4), 3);
    EXPECT_EQ(style.border(5), 3);
    EXPECT_EQ(style.border(9), 0);
    EXPECT_TRUE(style.settings().is_applied(vex::mta::style_settings_t::border_bit));
}

TEST_F(style_handle, the_two_diagonals_share_one_edge) {
    ASSERT_TRUE(style.set_border(6, 1));
    EXPECT_EQ(style.border(6), 1);
    EXPECT_EQ(style.border(7), 0);
    // Clearing the up diagonal keeps the line the down diagonal draws.
    ASSERT_TRUE(style.set_border(7, 0));
    EXPECT_FALSE(border().diagonal_up());
    EXPECT_TRUE(border().diagonal_down());
    EXPECT_EQ(style.border(6), 1);
    ASSERT_TRUE(style.set_border(7, 2));
    EXPECT_EQ(style.border(6), 2);
    EXPECT_EQ(style.border(7), 2);
    ASSERT_TRUE(style.set_border(6, 0));
    EXPECT_EQ(style.border(6), 0);
    EXPECT_EQ(style.border(7), 2);  // still drawn by the up diagonal
    ASSERT_TRUE(style.set_border(7, 0));
    EXPECT_EQ(border().edge(border_side::diagonal).style, 0u);
    EXPECT_TRUE(border().present(border_side::diagonal));
}

TEST_F(style_handle, a_diagonal_colour_alone_selects_its_diagonal) {
    ASSERT_TRUE(style.set_border_color(7, 0xFF00FF00u));
    EXPECT_EQ(style.border_color(7), 0xFF00FF00u);
    EXPECT_EQ(style.border_color(6), 0u);
    EXPECT_TRUE(border().diagonal_up());
    EXPECT_TRUE(border().present(border_side::diagonal));
    ASSERT_TRUE(style.set_border_color(8, 0xFF0000FFu));
    EXPECT_EQ(style.border_color(2), 0xFF0000FFu);
    EXPECT_EQ(style.border_color(8), 0u);
}

TEST_F(style_handle, colours_replace_the_value_and_theme_and_keep_the_rest) {
    vex::mta::style_settings_t s;
    vex::mta::font_t f;
    f.color = vex::mta::color_t::from_theme(4, 0.5);
    f.color.indexed = 9;
    s.set_font(f);
    style.assign(s);
    style.set_font_color(0xFF102030u);
    const vex::mta::color_t c = style.settings().font().color;
    EXPECT_EQ(c.rgb, 0xFF102030u);
    EXPECT_EQ(c.theme, 0);
    EXPECT_EQ(c.indexed, 9);
    EXPECT_EQ(c.tint, 0.5);
    style.set_pattern_fg_color(1u);
    style.set_pattern_bg_color(2u);
    EXPECT_EQ(style.pattern_fg_color(), 1u);
    EXPECT_EQ(style.pattern_bg_color(), 2u);
}

TEST_F(style_handle, enumeration_arguments_out_of_range_change_nothing) {
    const vex::mta::style_settings_t before = style.settings();
    const auto refused = [&](auto call, std::string_view parameter, std::string_view enumeration) {
        set_marker();
        call();
        EXPECT_EQ(last_message(), enum_message(parameter, enumeration));
        EXPECT_TRUE(style.settings() == before) << parameter;
    };
    refused([&] { EXPECT_FALSE(style.set_border(10, 1)); }, "index", "BorderIndexEnum");
    refused([&] { EXPECT_FALSE(style.set_border(-1, 1)); }, "index", "BorderIndexEnum");
    refused([&] { EXPECT_FALSE(style.set_border(0, 14)); }, "style", "BorderStyleEnum");
    refused([&] { EXPECT_FALSE(style.set_border_color(10, 1u)); }, "index", "BorderIndexEnum");
    refused([&] { EXPECT_FALSE(style.set_border_color(-1, 1u)); }, "index", "BorderIndexEnum");
    refused([&] { EXPECT_EQ(style.border(10), 0); }, "index", "BorderIndexEnum");
    refused([&] { EXPECT_EQ(style.border_color(-3), 0u); }, "index", "BorderIndexEnum");
    refused([&] { style.set_fill_pattern(19); }, "pattern", "PatternTypeEnum");
    refused([&] { style.set_fill_pattern(-1); }, "pattern", "PatternTypeEnum");
    refused([&] { style.set_align_h(8); }, "h_alignment", "HAlignEnum");
    refused([&] { style.set_align_v(5); }, "v_alignment", "VAlignEnum");
    refused([&] { style.set_underline(5); }, "underline", "UnderlineEnum");
    refused([&] { style.set_font_vert_align(3); }, "v_alignRun", "VertAlignRunEnum");
    // A negative indent is ignored without a word.
    set_marker();
    style.set_indent(-2);
    EXPECT_EQ(last_message(), "marker");
    EXPECT_TRUE(style.settings() == before);
}

TEST_F(style_handle, enumerations_in_range_read_back) {
    style.set_align_h(7);
    style.set_align_v(4);
    style.set_underline(4);
    style.set_font_vert_align(2);
    EXPECT_EQ(style.align_h(), 7);
    EXPECT_EQ(style.align_v(), 4);
    EXPECT_EQ(style.underlined(), 4);
    EXPECT_EQ(style.font_vert_align(), 2);
    // Values a file may hold beyond the public ranges read as 0.
    vex::mta::style_settings_t s = style.settings();
    vex::mta::alignment_t a = s.alignment();
    a.horizontal = 9;
    s.set_alignment(a);
    style.assign(s);
    EXPECT_EQ(style.align_h(), 0);
}

TEST_F(style_handle, fonts_flags_and_protection) {
    style.set_font("Arial", 12);
    style.set_font("Calibri", 0);
    EXPECT_STREQ(style.font_name(), "Calibri");
    EXPECT_EQ(style.font_size(), 12);
    set_marker();
    style.set_font(nullptr, 20);
    EXPECT_EQ(last_message(), "Font name cannot be empty.");
    EXPECT_EQ(style.font_size(), 12);
    style.set_font("bad \xc3(", 30);
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_STREQ(style.font_name(), "Calibri");
    style.set_font_size(-4);  // stored as given
    EXPECT_EQ(style.font_size(), -4);
    style.set_bold(true);
    style.set_italic(true);
    style.set_strikeout(true);
    EXPECT_TRUE(style.bold() && style.italic() && style.strikeout());

    style.set_cell_hidden(true);
    style.set_cell_locked(false);
    EXPECT_TRUE(style.cell_hidden());
    EXPECT_FALSE(style.cell_locked());
    style.unapply_protection();
    EXPECT_TRUE(style.cell_locked());
    EXPECT_FALSE(style.cell_hidden());
    EXPECT_FALSE(style.settings().is_applied(vex::mta::style_settings_t::protection_bit));
}

TEST_F(style_handle, unapply_all_clears_every_part) {
    style.set_font("Arial", 11);
    style.set_fill_pattern(1);
    style.set_border(8, 2);
    style.set_wrap(true);
    style.set_cell_locked(false);
    style.unapply_all();
    const vex::mta::style_settings_t s = style.settings();
    EXPECT_EQ(s.applied(), 0u);
    EXPECT_EQ(s.numfmt_code(), "General");
    EXPECT_TRUE(s.font().is_empty());
    EXPECT_EQ(style.fill_pattern(), 0);
    EXPECT_EQ(s.border(), vex::mta::border_t{});
    EXPECT_FALSE(style.wrap());
    EXPECT_TRUE(style.cell_locked());
}

TEST(style_numfmts, a_workbook_that_never_had_a_sheet_has_no_number_formats) {
    plover_document_t* doc = doc_create();
    auto* wb = static_cast<vex::iWorkbook_impl*>(doc_get_workbook(doc));
    iStyle_impl style(wb);
    const std::string no_sheet = "At least one worksheet is required, please add a worksheet first.";
    set_marker();
    EXPECT_EQ(style.set_numfmt("0.00"), -1);
    EXPECT_EQ(last_message(), no_sheet);
    set_marker();
    EXPECT_EQ(style.numfmt_code(), nullptr);
    EXPECT_EQ(last_message(), no_sheet);
    set_marker();
    EXPECT_FALSE(style.set_numfmt_id(2));
    EXPECT_EQ(last_message(), no_sheet);
    EXPECT_EQ(style.settings().applied(), 0u);
    // So does a handle with no workbook at all.
    iStyle_impl orphan(nullptr);
    EXPECT_EQ(orphan.set_numfmt("0.00"), -1);
    EXPECT_EQ(last_message(), no_sheet);
    doc_release(doc);
}

// What the exports check before the slot: the slot checks it too.
TEST(style_numfmts, codes_are_checked_and_unapplied_to_general) {
    plover_document_t* doc = doc_create();
    auto* wb = static_cast<vex::iWorkbook_impl*>(doc_get_workbook(doc));
    ASSERT_NE(wb->add_worksheet("A"), nullptr);
    iStyle_impl style(wb);
    const int custom = style.set_numfmt("0.000");
    EXPECT_GE(custom, 164);
    EXPECT_EQ(style.set_numfmt("0.0\xff"), -1);
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_EQ(style.numfmt_id(), custom);
    EXPECT_TRUE(style.set_numfmt_id(14));
    EXPECT_TRUE(style.settings().numfmt_code().empty());
    style.unapply_numfmt();
    EXPECT_EQ(style.numfmt_id(), 0);
    EXPECT_STREQ(style.numfmt_code(), "General");
    doc_release(doc);
}
