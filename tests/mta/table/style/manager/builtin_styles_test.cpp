#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/style/manager/builtin_styles.h"

#include <gtest/gtest.h>

#include <set>

using namespace vex::mta;
using bs = border_side;

TEST(builtin_styles, names_by_builtin_id) {
    EXPECT_EQ(builtin_style_name(0), "normal");
    EXPECT_EQ(builtin_style_name(3), "comma");
    EXPECT_EQ(builtin_style_name(8), "");
    EXPECT_EQ(builtin_style_name(29), "accent1");
    EXPECT_EQ(builtin_style_name(39), "accent3pct40");
    EXPECT_EQ(builtin_style_name(52), "accent6pct60");
    EXPECT_EQ(builtin_style_name(53), "explanatoryText");
    EXPECT_EQ(builtin_style_name(-1), "");
    EXPECT_EQ(builtin_style_name(54), "");
    for (int id : {1, 2, 8, 9, 12, 13, 14}) EXPECT_EQ(builtin_style_name(id), "") << id;
}

TEST(builtin_styles, every_entry_is_consistent) {
    std::set<uint32_t> records;
    int named = 0;
    for (int id = 0; id < builtin_style_name_count; ++id) {
        const auto name = builtin_style_name(id);
        if (name.empty()) continue;
        ++named;
        const auto* e = find_builtin_style(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(e->name, name);
        EXPECT_EQ(e->builtinId, id);
        EXPECT_EQ(e->iLevel, 0);
        EXPECT_EQ(e->customBuiltin, 1);
        EXPECT_EQ(e->hidden, 0);
        records.insert(e->record);
        const xf_t& x = builtin_style_record(e->record);
        EXPECT_LT(x.fontId, builtin_font_count);
        EXPECT_LT(x.fillId, builtin_fill_count);
        EXPECT_LT(x.borderId, builtin_border_count);
        EXPECT_FALSE(builtin_numfmt_code(int(x.numFmtId)).empty());
        EXPECT_EQ(x.protection, (protection_t{0, 1}));
        EXPECT_EQ(x.xfId, 0u);
    }
    EXPECT_EQ(named, 47);
    EXPECT_EQ(records.size(), builtin_style_record_count);
    for (size_t i = 0; i < builtin_border_count; ++i)
        EXPECT_EQ(builtin_border(i).flags, 0) << "no present or diagonal bits in border " << i;
}

TEST(builtin_styles, lookups_are_exact) {
    EXPECT_EQ(find_builtin_style("hyperlink"), nullptr);
    EXPECT_EQ(find_builtin_style("Normal"), nullptr);
    EXPECT_EQ(find_builtin_style(""), nullptr);
    EXPECT_EQ(find_builtin_style("normal")->record, 0u);
    EXPECT_EQ(builtin_style_record(0).applied, 63u);
}

TEST(builtin_styles, records_fonts_fills_borders) {
    const auto* a = find_builtin_style("accent3pct40");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->record, 33u);
    EXPECT_EQ(a->builtinId, 39);
    const xf_t& x = builtin_style_record(33);
    EXPECT_EQ(x.fontId, 1u);
    EXPECT_EQ(x.fillId, 19u);
    EXPECT_EQ(x.applied, 6u);
    const fill_t& f = builtin_fill(19);
    EXPECT_EQ(f.pattern.type, 1u);
    EXPECT_EQ(f.pattern.fg, color_t::from_theme(6, 0.5999938962981048));
    EXPECT_EQ(f.pattern.bg.indexed, 65);

    const xf_t& h1 = builtin_style_record(find_builtin_style("heading1")->record);
    const font_t& font = builtin_font(h1.fontId);
    EXPECT_EQ(font.name, "Calibri");
    EXPECT_EQ(font.size, 15);
    EXPECT_TRUE(font.bold);
    EXPECT_EQ(font.color, color_t::from_theme(3));
    EXPECT_EQ(font.scheme, 1);
    EXPECT_EQ(font.family, 2);
    const border_t& b1 = builtin_border(h1.borderId);
    EXPECT_EQ(b1.edge(bs::bottom), (border_edge_t{13, color_t::from_theme(4)}));
    EXPECT_EQ(b1.edge(bs::top).style, 0u);

    const xf_t& h2 = builtin_style_record(find_builtin_style("heading2")->record);
    EXPECT_EQ(builtin_font(h2.fontId).size, 13);
    EXPECT_EQ(builtin_border(h2.borderId).edge(bs::bottom).color, color_t::from_theme(4, 0.499984740745262));

    const border_t& total = builtin_border(builtin_style_record(find_builtin_style("total")->record).borderId);
    EXPECT_EQ(total.edge(bs::top).style, 1u);
    EXPECT_EQ(total.edge(bs::bottom).style, 12u);

    EXPECT_EQ(builtin_style_record(find_builtin_style("percent")->record).numFmtId, 9u);
    EXPECT_EQ(builtin_font(0).scheme, 0);
    EXPECT_EQ(builtin_font(15).italic, 1);
    EXPECT_EQ(builtin_fill(1).pattern.type, 11u);
    EXPECT_EQ(builtin_fill(32).pattern.fg, color_t::from_theme(9, 0.3999755851924192));
    EXPECT_THROW(builtin_fill(builtin_fill_count), std::out_of_range);
}
