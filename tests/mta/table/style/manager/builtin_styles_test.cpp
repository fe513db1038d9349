#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/style/manager/builtin_styles.h"

#include <gtest/gtest.h>

#include <set>

using namespace vex::mta;
using bs = border_side;

TEST(builtin_styles, names_by_builtin_id) {
    EXPECT_EQ(builtin_style_name(0), "normal");
    EXPECT_EQ(builtin_style_name(53), "explanatoryText");
    for (int id : {-1, 1, 2, 8, 9, 12, 13, 14, 54}) EXPECT_EQ(builtin_style_name(id), "") << id;
}

// Every named entry finds its own record, and every record points into the tables.
TEST(builtin_styles, every_entry_is_consistent) {
    std::set<uint32_t> records;
    int named = 0;
    for (int id = 0; id < builtin_style_name_count; ++id) {
        const auto name = builtin_style_name(id);
        if (name.empty()) continue;
        ++named;
        const auto* e = find_builtin_style(name);
        ASSERT_NE(e, nullptr) << name;
        EXPECT_EQ(std::tuple(e->name, e->builtinId, e->iLevel, e->customBuiltin, e->hidden), std::tuple(name, id, 0, 1, 0));
        records.insert(e->record);
        const xf_t& x = builtin_style_record(e->record);
        EXPECT_TRUE(x.fontId < builtin_font_count && x.fillId < builtin_fill_count && x.borderId < builtin_border_count)
            << name;
        EXPECT_FALSE(builtin_numfmt_code(int(x.numFmtId)).empty()) << name;
        EXPECT_EQ(x.protection, (protection_t{0, 1})) << name;
        EXPECT_EQ(x.xfId, 0u) << name;
    }
    EXPECT_EQ(named, 47);
    EXPECT_EQ(records.size(), builtin_style_record_count);
    for (size_t i = 0; i < builtin_border_count; ++i)
        EXPECT_EQ(builtin_border(i).flags, 0) << "no present or diagonal bits in border " << i;
}

TEST(builtin_styles, lookups_are_exact) {
    for (const char* other : {"hyperlink", "Normal", ""}) EXPECT_EQ(find_builtin_style(other), nullptr) << other;
    EXPECT_EQ(find_builtin_style("normal")->record, 0u);
    EXPECT_EQ(builtin_style_record(0).applied, 63u);
    EXPECT_THROW(builtin_fill(builtin_fill_count), std::out_of_range);
}

TEST(builtin_styles, tints_keep_full_precision) {
    const xf_t& accent = builtin_style_record(find_builtin_style("accent3pct40")->record);
    EXPECT_EQ(builtin_fill(accent.fillId).pattern.fg, color_t::from_theme(6, 0.5999938962981048));
    const xf_t& h1 = builtin_style_record(find_builtin_style("heading1")->record);
    EXPECT_EQ(builtin_border(h1.borderId).edge(bs::bottom), (border_edge_t{13, color_t::from_theme(4)}));
    const xf_t& h2 = builtin_style_record(find_builtin_style("heading2")->record);
    EXPECT_EQ(builtin_border(h2.borderId).edge(bs::bottom).color, color_t::from_theme(4, 0.499984740745262));
}
