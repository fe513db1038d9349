#include "mta/table/utils/hyperlink/hyperlink_list.h"

#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/defined_names/defined_name_store.h"

#include <gtest/gtest.h>

#include <string>

using vex::mta::band_shift_t;
using vex::mta::hyperlink_list_t;
using vex::mta::Table;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

vex::range_t area(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1, 1, 0, 0}, {0, r2, c2, 1, 0, 0}};
}

bool linked_look(const Table& t, int row, int col) {
    const auto f = t.get_cell_style(row, col).font();
    return f.color.theme == 10 && f.underline == 1;
}

std::string corners(const vex::range_t& r) {
    return std::to_string(r.first.row) + "," + std::to_string(r.first.col) + ":" + std::to_string(r.last.row) +
           "," + std::to_string(r.last.col);
}

} // namespace

TEST(hyperlink_target, internal_or_external) {
    const auto is_name = [](std::string_view s) { return s == "Totals"; };
    const std::pair<const char*, bool> cases[] = {
        {"B3", true},           {"$A$1:c9", true},      {"A:C", true},         {"2:5", true},
        {"Sheet1!B3", true},    {"'My sheet'!A1", true}, {"'It''s'!A1:B2", true}, {"XFD1048576", true},
        {"Totals", true},       {"Sheet1!Totals", true}, {"XFE1", false},       {"A1048577", false},
        {"A0", false},          {"A", false},            {"A1:", false},        {"A1:B", false},
        {"'open!A1", false},    {"''!A1", false},        {"!A1", false},        {"My sheet!A1", false},
        {"", false},            {"https://example.com/a?b=1", false},      {"mailto:x@example.com", false},
        {"C:\\docs\\a.xlsx", false}, {"Totals2", false},
    };
    for (const auto& [address, internal] : cases)
        EXPECT_EQ(vex::mta::is_internal_link_target(address, is_name), internal) << address;
    EXPECT_FALSE(vex::mta::is_internal_link_target("Totals", nullptr));
}

TEST(hyperlink_list, an_internal_link_styles_its_cells_and_delete_resets_them) {
    Table t({}, all_rows, all_cols);
    t.set_cell_style(2, 2, sample::font_style(1));
    auto& links = t.hyperlinks();
    ASSERT_TRUE(links.add(area(2, 2, 3, 3), "B3"));
    EXPECT_FALSE(links.is_external(0));
    EXPECT_EQ(links.address_at(0), "B3");
    EXPECT_EQ(links.at(0)->external, "");
    for (int r : {2, 3})
        for (int c : {2, 3}) EXPECT_TRUE(linked_look(t, r, c)) << r << "," << c;
    EXPECT_FALSE(linked_look(t, 4, 2));
    EXPECT_FALSE(linked_look(t, 2, 4));
    EXPECT_EQ(t.get_cell_style(2, 2).font().bold, 1);  // the rest of the font stays

    // A defined name the sheet sees is a place in the workbook, not an address.
    ASSERT_TRUE(t.add_defined_name("Totals", "Sheet1!$A$1", {}, vex::mta::workbook_scope));
    ASSERT_TRUE(links.add(area(6, 1, 6, 1), "Totals"));
    EXPECT_FALSE(links.is_external(1));
    links.remove(1);

    ASSERT_TRUE(links.add(area(5, 1, 5, 1), "https://example.com/report"));
    EXPECT_TRUE(links.is_external(1));
    EXPECT_EQ(links.at(1)->external, "yes");
    EXPECT_EQ(vex::mta::hyperlink_count(links), 2u);
    EXPECT_EQ(links.index_of(3, 3), 0);
    EXPECT_EQ(links.index_of(5, 1), 1);
    EXPECT_EQ(links.index_of(1, 1), -1);

    links.remove(0);
    EXPECT_EQ(links.size(), 1u);
    EXPECT_EQ(links.address_at(0), "https://example.com/report");  // moved down
    for (int r : {2, 3})
        for (int c : {2, 3}) {
            const auto f = t.get_cell_style(r, c).font();
            EXPECT_TRUE(f.color.is_blank());
            EXPECT_EQ(f.underline, 0);
        }
    EXPECT_EQ(t.get_cell_style(2, 2).font().bold, 1);
    links.remove(7);  // ignored
    EXPECT_EQ(links.size(), 1u);
}

TEST(hyperlink_list, bad_ranges_and_indexes) {
    Table t({}, all_rows, all_cols);
    auto& links = t.hyperlinks();
    EXPECT_FALSE(links.add(area(0, 1, 2, 2), "A1"));
    EXPECT_FALSE(links.add(area(1, 1, 2, 16385), "A1"));
    EXPECT_EQ(links.size(), 0u);
    const vex::range_t empty = links.range_at(0);
    EXPECT_EQ(empty, (vex::range_t{{0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}}));
    EXPECT_EQ(links.address_at(0), "");
    EXPECT_FALSE(links.is_external(0));
    EXPECT_EQ(links.at(0), nullptr);
}

// The reader's records keep the kind they were read with and leave fonts alone.
TEST(hyperlink_list, read_records_keep_their_kind) {
    Table t({}, all_rows, all_cols);
    ASSERT_TRUE(t.add_hyperlink(area(1, 1, 1, 1), "B3", true));
    EXPECT_TRUE(t.hyperlinks().is_external(0));
    EXPECT_FALSE(linked_look(t, 1, 1));

    auto& links = t.hyperlinks();
    links.add_loaded(area(2, 1, 2, 1), "rId4", "Report", "", "Open the report");
    links.add_loaded(area(3, 1, 3, 1), "", "Back", "Sheet2!A1", "");
    links.set_address(1, "https://example.com/r");
    EXPECT_TRUE(links.is_external(1));
    EXPECT_EQ(links.address_at(1), "https://example.com/r");
    EXPECT_EQ(links.at(1)->rel_id, "rId4");
    EXPECT_EQ(links.at(1)->display, "Report");
    EXPECT_EQ(links.at(1)->tooltip, "Open the report");
    EXPECT_FALSE(links.is_external(2));
    EXPECT_EQ(links.address_at(2), "Sheet2!A1");
}

TEST(hyperlink_list, a_whole_sheet_link_costs_its_runs_not_its_cells) {
    Table t({}, all_rows, all_cols);
    t.set_num(7, 9, 1.5);
    auto& links = t.hyperlinks();
    ASSERT_TRUE(links.add(area(1, 1, 1048576, 16384), "Sheet1!A1"));
    EXPECT_TRUE(linked_look(t, 1, 1));
    EXPECT_TRUE(linked_look(t, 7, 9));
    EXPECT_TRUE(linked_look(t, 1048576, 16384));
    links.remove(0);
    EXPECT_FALSE(linked_look(t, 1048576, 16384));
    EXPECT_EQ(t.get_cell(7, 9).get_num(), 1.5);
}

// Links inside a band move, grow, shrink or go with their cells; others stay.
TEST(hyperlink_list, links_follow_moved_rows_and_columns) {
    Table t({}, all_rows, all_cols);
    auto& links = t.hyperlinks();
    links.add_record(area(5, 2, 8, 3), "a", false, false);    // crosses the change point
    links.add_record(area(10, 2, 10, 2), "b", false, false);  // below it
    links.add_record(area(1, 2, 2, 2), "c", false, false);    // above it
    links.add_record(area(5, 1, 8, 9), "d", false, false);    // reaches outside the band
    links.shift(band_shift_t::inserting(true, 2, 5, 6, 3, 1048576));
    EXPECT_EQ(corners(links.range_at(0)), "5,2:11,3");
    EXPECT_EQ(corners(links.range_at(1)), "13,2:13,2");
    EXPECT_EQ(corners(links.range_at(2)), "1,2:2,2");
    EXPECT_EQ(corners(links.range_at(3)), "5,1:8,9");

    links.shift(band_shift_t::deleting(true, 2, 5, 4, 6, 1048576));  // cuts the top of "a"
    EXPECT_EQ(corners(links.range_at(0)), "4,2:8,3");
    EXPECT_EQ(corners(links.range_at(1)), "10,2:10,2");
    links.shift(band_shift_t::deleting(true, 1, 16384, 10, 10, 1048576));  // "b" goes
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links.address_at(1), "c");

    links.shift(band_shift_t::inserting(false, 1, 1048576, 3, 2, 16384));
    EXPECT_EQ(corners(links.range_at(0)), "4,2:8,5");
    EXPECT_EQ(corners(links.range_at(2)), "5,1:8,11");
    links.shift(band_shift_t::deleting(false, 1, 1048576, 1, 2, 16384));
    EXPECT_EQ(corners(links.range_at(0)), "4,1:8,3");
    EXPECT_EQ(links.size(), 2u);  // "c" sat in column 2 only
    links.shift(band_shift_t::inserting(false, 1, 1048576, 1, 16382, 16384));  // cut at the sheet's edge
    EXPECT_EQ(corners(links.range_at(0)), "4,16383:8,16384");
    EXPECT_EQ(corners(links.range_at(1)), "5,16383:8,16384");
    links.shift(band_shift_t::inserting(false, 1, 1048576, 2, 2, 16384));
    links.shift(band_shift_t::inserting(false, 1, 1048576, 1, 2, 16384));  // pushed off it
    EXPECT_EQ(links.size(), 0u);
}

// A cell's link is the first one holding it, asked between adds, removals and
// shifts alike.
TEST(hyperlink_list, the_first_link_holding_a_cell_through_edits) {
    Table t({}, all_rows, all_cols);
    auto& links = t.hyperlinks();
    ASSERT_TRUE(links.add_record(area(4, 4, 4, 4), "https://example.com/one", false, true));
    ASSERT_TRUE(links.add_record(area(3, 3, 6, 6), "https://example.com/wide", false, true));
    EXPECT_EQ(links.index_of(4, 4), 0);
    EXPECT_EQ(links.index_of(5, 5), 1);
    ASSERT_TRUE(links.add_record(area(5, 5, 5, 5), "https://example.com/late", false, true));
    ASSERT_TRUE(links.add_record(area(8, 8, 8, 8), "https://example.com/alone", false, true));
    EXPECT_EQ(links.index_of(5, 5), 1);
    EXPECT_EQ(links.index_of(8, 8), 3);
    links.remove(1);
    EXPECT_EQ(links.index_of(5, 5), 1);
    EXPECT_EQ(links.index_of(3, 3), -1);
    links.shift(band_shift_t::inserting(true, 1, 16384, 1, 2, 1048576));
    EXPECT_EQ(links.index_of(8, 8), -1);
    EXPECT_EQ(links.index_of(10, 8), 2);
}
