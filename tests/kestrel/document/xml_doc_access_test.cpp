#include "kestrel/document/xml_doc_access.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"

#include <gtest/gtest.h>

using vex::range_t;

namespace {

constexpr unsigned top = 4294967295u;

range_t cells(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1}, {0, r2, c2}};
}

} // namespace

TEST(xml_doc_access, ids_count_down_from_the_top_once_per_triple) {
    vex::xml_doc_access a(nullptr);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet1", "path"), top);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet2", "path"), top - 1);
    EXPECT_EQ(a.get_grid_id("book.xlsx", "Sheet1", "path"), top);
    EXPECT_EQ(a.range_tree_count(), 2u);
    EXPECT_TRUE(a.has_grid_id("book.xlsx", "Sheet1", "path"));
    EXPECT_FALSE(a.has_grid_id("book.xlsx", "sheet1", "path"));  // byte for byte
    EXPECT_TRUE(a.find_named_item("path", "Sheet2"));
    EXPECT_FALSE(a.find_named_item("Sheet2", "path"));
    EXPECT_EQ(a.get_reference_mode(), 3u);
}

TEST(xml_doc_access, clearing_keeps_references_without_a_third_name) {
    vex::xml_doc_access a(nullptr);
    a.get_grid_id("a", "b", "c");
    const unsigned local = a.get_grid_id("a", "b", "");
    a.clear_external_references();
    EXPECT_FALSE(a.has_grid_id("a", "b", "c"));
    EXPECT_TRUE(a.has_grid_id("a", "b", ""));
    EXPECT_EQ(a.get_grid_id("a", "b", ""), local);
    EXPECT_EQ(a.get_grid_id("x", "y", "z"), top - 2);  // the counter went on

    vex::xml_doc_access b(nullptr);
    b.get_grid_id("a", "b", "c");
    b.clear_external_references();
    EXPECT_EQ(b.range_tree_count(), 0u);
    EXPECT_EQ(b.get_grid_id("x", "y", "z"), top);  // none left: ids start again
}

TEST(xml_doc_access, recorded_ranges_are_searched_by_overlap_and_by_first_cell) {
    vex::xml_doc_access a(nullptr);
    const unsigned id = a.get_grid_id("f", "s", "t");
    a.add_reference_range(id, cells(1, 1, 3, 3));
    a.add_reference_range(id - 7, cells(10, 10, 20, 20));  // no such id: ignored
    EXPECT_EQ(a.range_tree_count(), 1u);

    const struct {
        range_t r;
        bool overlap, first_cell;
    } cases[] = {
        {cells(3, 3, 5, 5), true, true},    // touching at one corner
        {cells(4, 4, 5, 5), false, false},  // beside it
        {cells(2, 0, 2, 9), true, false},   // across, first cell outside
        {cells(1, 3, 1, 3), true, true},
        {cells(10, 10, 20, 20), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(a.search_sheet_ranges("f", "s", "t", c.r), c.overlap) << c.r.first.row << "," << c.r.first.col;
        EXPECT_EQ(a.search_sheet_ranges_2("f", "s", "t", c.r), c.first_cell) << c.r.first.row << "," << c.r.first.col;
    }
    EXPECT_FALSE(a.search_sheet_ranges("f", "s", "other", cells(1, 1, 1, 1)));
    EXPECT_FALSE(a.search_sheet_ranges_2("f", "s", "other", cells(1, 1, 1, 1)));
}

TEST(xml_doc_access, table_references_resolve_to_nothing) {
    vex::xml_doc_access a(nullptr);
    EXPECT_TRUE(a.resolve_table_reference({0, 1, 1}, "Table1", 4, "Amount", "").empty());
}

TEST(xml_doc_access, sheets_are_found_by_name_and_by_grid_id) {
    factory_test::package p;
    auto& book = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();
    book.sheets().push_back({1, 1, 0, "rId1", "Sales", nullptr});
    book.sheets().push_back({2, 1, 0, "rId2", "Chart", nullptr});  // no component
    auto* part = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"));
    book.attach_worksheet(part->get_worksheet(), "rId1");
    vex::worktable_t* table = part->get_worksheet()->create_worktable__(10, 10, {});
    table->register_grid(1, 99);
    const unsigned grid = table->sheet_id();

    vex::xml_doc_access a(&book);
    EXPECT_EQ(a.get_sheet_grid_id("sales"), grid);
    EXPECT_EQ(a.get_sheet_grid_id("Chart"), 0u);
    EXPECT_EQ(a.get_sheet_grid_id("Other"), 0u);
    EXPECT_EQ(a.get_sheet_name(grid), "Sales");
    EXPECT_EQ(a.get_sheet_name(grid + 1), "");
    EXPECT_EQ(vex::xml_doc_access(nullptr).get_sheet_grid_id("Sales"), 0u);
}
