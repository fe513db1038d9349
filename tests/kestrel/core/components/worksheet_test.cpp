#include "kestrel/core/components/worksheet.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

using vex::sheet_view_t;
using vex::xml::sxml::node_kind;
using vex::xml::sxml::status_t;

namespace {

struct sheet_fixture : ::testing::Test {
    factory_test::package p;
    vex::worksheet_part_t* part = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"));
    vex::worksheet_t& sheet = *part->get_worksheet();
    vex::workbook_t& book = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();

    std::pair<int, int> topleft() const { return read(&vex::worksheet_t::topleft_cell); }
    std::pair<int, int> active() const { return read(&vex::worksheet_t::active_cell); }
    std::pair<int, int> split() const { return read(&vex::worksheet_t::split_cell); }

    std::pair<int, int> read(void (vex::worksheet_t::*get)(int32_t*, int32_t*) const noexcept) const {
        int32_t row = -1, col = -1;
        (sheet.*get)(&row, &col);
        return {row, col};
    }
};

vex::xml::sxml::xml_node_t element(const char* name, bool closed = false) {
    vex::xml::sxml::xml_node_t n{};
    n.kind = node_kind::element;
    n.name = name;
    n.closed = closed;
    return n;
}

} // namespace

TEST_F(sheet_fixture, a_new_sheet_has_one_default_view) {
    ASSERT_EQ(sheet.settings().views.size(), 1u);
    const sheet_view_t& v = sheet.settings().views.front();
    EXPECT_EQ(v.flags, 0x1F9);  // the format's defaults, ruler, white space and zeros shown
    EXPECT_TRUE(sheet.display_gridlines());
    EXPECT_EQ(sheet.zoom(), 0u);
    EXPECT_FALSE(sheet.right_to_left());
    EXPECT_EQ(topleft(), std::make_pair(1, 1));
    EXPECT_EQ(active(), std::make_pair(0, 0));
    EXPECT_EQ(split(), std::make_pair(0, 0));
    EXPECT_EQ(sheet.worktable(), nullptr);
}

TEST_F(sheet_fixture, cells_outside_the_sheet_are_refused_and_change_nothing) {
    enum { active, topleft, split };
    const struct {
        int setter;
        int32_t row, col;
    } cases[] = {
        {active, 1048577, 1}, {topleft, 1, 0},  {split, 0, 1},
        {active, 1, 16385},   {topleft, -1, -1}, {split, INT32_MIN, 1},
    };
    for (const auto& c : cases) {
        vex::set_run_message("before");
        if (c.setter == active) sheet.set_active_cell(c.row, c.col);
        if (c.setter == topleft) sheet.set_topleft_cell(c.row, c.col);
        if (c.setter == split) sheet.set_split_cell(c.row, c.col);
        EXPECT_EQ(vex::get_run_message().str(), "Invalid cell coordinate.") << c.row << "," << c.col;
    }
    EXPECT_EQ(this->topleft(), std::make_pair(1, 1));
    EXPECT_EQ(this->active(), std::make_pair(0, 0));
    EXPECT_EQ(this->split(), std::make_pair(0, 0));
    EXPECT_TRUE(sheet.settings().views.front().selections.empty());
    EXPECT_EQ(sheet.settings().views.front().pane, nullptr);

    vex::set_run_message("before");
    sheet.set_topleft_cell(1048576, 16384);
    sheet.set_active_cell(1048576, 16384);
    EXPECT_EQ(vex::get_run_message().str(), "before");
    EXPECT_EQ(this->topleft(), std::make_pair(1048576, 16384));
    EXPECT_EQ(this->active(), std::make_pair(1048576, 16384));
}

TEST_F(sheet_fixture, zoom_and_direction_put_a_view_of_workbook_view_0_in_front) {
    sheet.settings().views.front().workbook_view_id = 1;
    sheet.set_zoom(150);
    ASSERT_EQ(sheet.settings().views.size(), 2u);
    const sheet_view_t& front = sheet.settings().views.front();
    EXPECT_EQ(front.zoom_scale, 150u);
    EXPECT_EQ(front.zoom_scale_normal, 150u);
    EXPECT_EQ(sheet.settings().views.back().zoom_scale, 0u);
    EXPECT_EQ(sheet.zoom(), 150u);

    sheet.set_zoom(80);  // the view is there now: only its zoomScale changes
    EXPECT_EQ(sheet.settings().views.size(), 2u);
    EXPECT_EQ(front.zoom_scale, 80u);
    EXPECT_EQ(front.zoom_scale_normal, 150u);

    sheet.settings().views.erase(sheet.settings().views.begin());
    sheet.set_right_to_left(true);
    ASSERT_EQ(sheet.settings().views.size(), 2u);
    EXPECT_TRUE(sheet.settings().views.front().has(sheet_view_t::right_to_left));
    EXPECT_FALSE(sheet.settings().views.back().has(sheet_view_t::right_to_left));
    EXPECT_TRUE(sheet.right_to_left());
    EXPECT_EQ(sheet.zoom(), 0u);
}

TEST_F(sheet_fixture, split_active_cell_and_gridlines_work_on_the_first_view) {
    sheet.set_split_cell(5, 3);
    const auto& pane = sheet.settings().views.front().pane;
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->state, 2u);
    EXPECT_EQ(pane->active_pane, 0u);
    EXPECT_EQ(pane->x_split, 0.0);
    EXPECT_EQ(split(), std::make_pair(5, 3));

    sheet.set_active_cell(2, 2);
    EXPECT_EQ(active(), std::make_pair(2, 2));
    ASSERT_EQ(sheet.settings().views.front().selections.size(), 1u);
    // Outside every selected range (there is none), the cell is selected alone.
    const vex::sqref_t& selected = sheet.settings().views.front().selections.front().sqref;
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(selected.ranges().front().first.row, 2);
    EXPECT_EQ(selected.ranges().front().last.col, 2);

    sheet.settings().views.front().set(sheet_view_t::show_grid_lines, false);
    EXPECT_FALSE(sheet.display_gridlines());
    sheet.settings().views.emplace_back();  // a later view that shows them
    EXPECT_TRUE(sheet.display_gridlines());
    sheet.settings().views.front().set(sheet_view_t::show_grid_lines, true);
    sheet.set_display_gridlines(false);
    EXPECT_FALSE(sheet.settings().views.front().has(sheet_view_t::show_grid_lines));
    EXPECT_TRUE(sheet.settings().views.back().has(sheet_view_t::show_grid_lines));
    EXPECT_TRUE(sheet.display_gridlines());
}

TEST_F(sheet_fixture, a_sheet_without_views_reads_nothing_and_setters_make_one) {
    sheet.settings().views.clear();
    EXPECT_EQ(topleft(), std::make_pair(0, 0));
    EXPECT_EQ(active(), std::make_pair(0, 0));
    EXPECT_FALSE(sheet.display_gridlines());
    sheet.set_topleft_cell(0, 1);
    EXPECT_TRUE(sheet.settings().views.empty());
    sheet.set_topleft_cell(7, 2);
    ASSERT_EQ(sheet.settings().views.size(), 1u);
    EXPECT_EQ(topleft(), std::make_pair(7, 2));
    sheet.topleft_cell(nullptr, nullptr);  // either output may be left out
}

TEST(sqref, keeps_ranges_in_insertion_order_once) {
    vex::sqref_t s;
    const vex::range_t a{{0, 5, 5}, {0, 6, 6}}, b{{0, 1, 1}, {0, 1, 1}};
    EXPECT_TRUE(s.add(a));
    EXPECT_TRUE(s.add(b));
    EXPECT_FALSE(s.add(a));
    EXPECT_EQ(s.ranges(), (std::vector<vex::range_t>{a, b}));
}

TEST_F(sheet_fixture, worktables_are_made_named_and_found) {
    vex::worktable_t* table = sheet.create_worktable__(100, 20, {1, 2, 3, 4});
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(sheet.worktable(), table);
    EXPECT_EQ(table->get_part()->get_parent(), part);
    EXPECT_EQ(table->row_count(), 100u);
    EXPECT_EQ(table->col_count(), 20u);
    EXPECT_EQ(sheet.pending_worktable_shape(), nullptr);
    EXPECT_EQ(table->extent().height, 4);
    ASSERT_EQ(sheet.worktables().size(), 1u);
    EXPECT_EQ(sheet.worktables().front().worktable, table);
    EXPECT_EQ(sheet.worktable_part(), table->get_part());

    sheet.set_sheet_name("Data");
    sheet.set_sheet_name("");  // ignored
    EXPECT_EQ(table->name(), "Data");
    EXPECT_EQ(sheet.worktable_by_name("Data"), table);
    EXPECT_EQ(sheet.worktable_by_name("data"), nullptr);
    EXPECT_EQ(sheet.worktable_by_name(""), nullptr);
}

TEST_F(sheet_fixture, the_name_is_the_workbook_record_of_this_sheet) {
    EXPECT_EQ(sheet.name(), "");
    book.sheets().push_back({1, 1, 0, "rId1", "Summary", nullptr});
    book.attach_worksheet(&sheet, "rId1");
    EXPECT_EQ(sheet.name(), "Summary");
}

TEST_F(sheet_fixture, finishing_puts_the_hyperlinks_in_front_of_the_worktable_records) {
    vex::worktable_t* table = sheet.create_worktable__(10, 10, {});
    const std::string link = factory_test::rel("hyperlink");
    part->children().add_relationship({false, link, "rId1", "https://a.example"}, false);
    part->children().add_relationship({true, factory_test::rel("drawing"), "rId2", "../drawings/drawing1.xml"}, false);
    part->children().add_relationship({false, link, "rId3", "https://b.example"}, false);
    table->get_part()->children().add_relationship({true, "own", "rId9", "x"}, false);

    book.set_document_format(1);  // not a loaded package: nothing is copied
    EXPECT_TRUE(sheet.finish_relations());
    EXPECT_EQ(table->get_part()->get_relationships().size(), 1u);

    book.set_document_format(2);
    EXPECT_TRUE(sheet.finish_relations());
    std::string ids;
    for (const auto& r : table->get_part()->get_relationships()) ids += r.id + " ";
    EXPECT_EQ(ids, "rId3 rId1 rId9 ");
}

TEST_F(sheet_fixture, a_sheet_without_worktable_finishes) {
    EXPECT_TRUE(sheet.finish_relations());
}

TEST_F(sheet_fixture, reading_a_package_makes_the_worktable_and_routes_through_it) {
    book.set_document_format(2);
    auto root = element("worksheet");
    root.kind = node_kind::document_element;
    auto views = element("sheetViews");
    // The worktable leaves sheet-level nodes (keep), which the sheet reader then takes.
    EXPECT_EQ(sheet.assign(&root), status_t::done);
    ASSERT_NE(sheet.worktable(), nullptr);
    EXPECT_EQ(sheet.worktable()->row_count(), 1048576u);
    EXPECT_EQ(sheet.worktable()->col_count(), 16384u);
    EXPECT_EQ(sheet.assign(&views), status_t::done);
    root.closed = 1;
    EXPECT_EQ(sheet.assign(&root), status_t::done);
    EXPECT_EQ(sheet.worktables().size(), 1u);

    // A second read keeps the worktable it has.
    root.closed = 0;
    EXPECT_EQ(sheet.assign(&root), status_t::done);
    EXPECT_EQ(sheet.worktables().size(), 1u);
}

TEST_F(sheet_fixture, a_package_made_in_memory_reads_without_worktable) {
    book.set_document_format(1);
    auto views = element("sheetViews");
    EXPECT_EQ(sheet.assign(&views), status_t::done);
    EXPECT_EQ(sheet.worktable(), nullptr);
    EXPECT_TRUE(part->get_child_parts().empty());
}
