#include "kestrel/core/components/page_setup.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/worksheet_part.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

struct print_fixture : ::testing::Test {
    factory_test::package p;
    vex::worksheet_part_t* part = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"));
    vex::worksheet_t& sheet = *part->get_worksheet();

    std::vector<uint32_t> rows() const {
        std::vector<uint32_t> out;
        for (int32_t i = 0; i < int32_t(sheet.row_break_count()); ++i) out.push_back(sheet.row_break(i));
        return out;
    }
};

std::string last_message() { return vex::get_run_message().str(); }

} // namespace

TEST_F(print_fixture, a_new_sheet_prints_with_the_format_defaults) {
    EXPECT_EQ(sheet.row_break_count(), 0u);
    EXPECT_EQ(sheet.col_break_count(), 0u);
    EXPECT_FALSE(sheet.print_gridlines());
    EXPECT_FALSE(sheet.print_headings());
    EXPECT_FALSE(sheet.h_centered_printing());
    EXPECT_FALSE(sheet.v_centered_printing());
    EXPECT_EQ(sheet.left_margin(), 0.7);
    EXPECT_EQ(sheet.right_margin(), 0.7);
    EXPECT_EQ(sheet.top_margin(), 0.75);
    EXPECT_EQ(sheet.bottom_margin(), 0.75);
    EXPECT_EQ(sheet.header_margin(), 0.3);
    EXPECT_EQ(sheet.footer_margin(), 0.3);
    EXPECT_EQ(sheet.paper(), 9);
    EXPECT_EQ(sheet.print_scale(), 1);
    EXPECT_EQ(sheet.page_orientation(), 0u);
    EXPECT_EQ(sheet.print_errors(), 2u);
    EXPECT_EQ(sheet.fit_page_height(), 1);
    EXPECT_EQ(sheet.fit_page_width(), 1);
    EXPECT_EQ(sheet.page_header(), "");
    EXPECT_EQ(sheet.page_footer(), "");
    EXPECT_TRUE(sheet.settings().print.page_setup.has(vex::page_setup_t::use_printer_defaults));
    // A custom view starts from the same records, so neither is written as changed.
    const vex::custom_sheet_view_t view;
    EXPECT_EQ(view.print.margins, sheet.settings().print.margins);
    EXPECT_EQ(view.print.page_setup, sheet.settings().print.page_setup);
    EXPECT_EQ(view.print.header_footer, sheet.settings().print.header_footer);
    EXPECT_EQ(view.print.options, sheet.settings().print.options);
}

TEST_F(print_fixture, breaks_are_kept_once_in_ascending_order_and_span_the_worktable) {
    ASSERT_NE(sheet.create_worktable__(1048576, 16384, {}), nullptr);
    EXPECT_TRUE(sheet.set_row_break(5, true));
    EXPECT_TRUE(sheet.set_row_break(5, true));
    EXPECT_EQ(rows(), std::vector<uint32_t>{5});
    EXPECT_TRUE(sheet.set_row_break(6, false));  // never set
    EXPECT_EQ(rows(), std::vector<uint32_t>{5});

    EXPECT_TRUE(sheet.set_row_break(7, true));
    EXPECT_TRUE(sheet.set_row_break(3, true));
    EXPECT_EQ(rows(), (std::vector<uint32_t>{3, 5, 7}));
    EXPECT_TRUE(sheet.set_row_break(5, false));
    EXPECT_EQ(rows(), (std::vector<uint32_t>{3, 7}));

    EXPECT_TRUE(sheet.set_col_break(4, true));
    EXPECT_EQ(sheet.col_break_count(), 1u);
    EXPECT_EQ(sheet.col_break(0), 4u);
    EXPECT_TRUE(sheet.set_col_break(3, true));
    EXPECT_EQ(sheet.col_break(0), 3u);

    const vex::page_break_t* col = sheet.settings().print.col_breaks.find(2);
    ASSERT_NE(col, nullptr);
    EXPECT_EQ(*col, (vex::page_break_t{2, true, false, 1048575, 0}));
    const vex::page_break_t* row = sheet.settings().print.row_breaks.find(6);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(*row, (vex::page_break_t{6, true, false, 16383, 0}));
    EXPECT_TRUE(sheet.set_row_break(1048576, true));
    EXPECT_EQ(sheet.row_break(2), 1048576u);
}

TEST_F(print_fixture, breaks_refuse_positions_and_indexes_outside) {
    sheet.set_row_break(2, true);
    sheet.set_col_break(2, true);
    const std::pair<bool (vex::worksheet_t::*)(int32_t, bool), int32_t> refused[] = {
        {&vex::worksheet_t::set_row_break, 0},    {&vex::worksheet_t::set_row_break, 1048577},
        {&vex::worksheet_t::set_row_break, -3},   {&vex::worksheet_t::set_col_break, 0},
        {&vex::worksheet_t::set_col_break, 16385}};
    for (const auto& [set, position] : refused) {
        for (bool add : {true, false}) {
            vex::set_run_message("");
            EXPECT_FALSE((sheet.*set)(position, add)) << position;
            EXPECT_EQ(last_message(), set == &vex::worksheet_t::set_row_break ? "Row out of range."
                                                                             : "Column out of range.");
        }
    }
    EXPECT_EQ(sheet.row_break(0), 2u);
    EXPECT_EQ(sheet.col_break(0), 2u);

    for (int32_t index : {-1, 1, std::numeric_limits<int32_t>::min()}) {
        vex::set_run_message("");
        EXPECT_EQ(sheet.row_break(index), 0xFFFFFFFFu);
        EXPECT_EQ(last_message(), "Index out of range.");
        vex::set_run_message("");
        EXPECT_EQ(sheet.col_break(index), 0xFFFFFFFFu);
        EXPECT_EQ(last_message(), "Index out of range.");
    }
}

TEST_F(print_fixture, values_outside_their_ranges_are_clamped_ignored_or_refused) {
    sheet.set_left_margin(-1.5);
    EXPECT_EQ(sheet.left_margin(), 0.0);
    sheet.set_top_margin(1.25);
    sheet.set_top_margin(std::numeric_limits<double>::infinity());
    sheet.set_top_margin(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(sheet.top_margin(), 1.25);
    sheet.set_footer_margin(-0.0);
    EXPECT_FALSE(std::signbit(sheet.footer_margin()));

    vex::set_run_message("");
    EXPECT_FALSE(sheet.set_paper(0));
    EXPECT_EQ(last_message(), "No such paper id, please refer to the paper id in enum.h.");
    EXPECT_FALSE(sheet.set_paper(119));
    EXPECT_EQ(sheet.paper(), 9);
    EXPECT_TRUE(sheet.set_paper(118));
    EXPECT_EQ(sheet.paper(), 118);

    for (int32_t ignored : {9, 401, 0, -100}) sheet.set_print_scale(ignored);
    EXPECT_EQ(sheet.print_scale(), 1);
    sheet.set_print_scale(10);
    EXPECT_EQ(sheet.print_scale(), 10);
    sheet.set_print_scale(400);
    EXPECT_EQ(sheet.print_scale(), 400);

    sheet.set_fit_page_height(0);
    sheet.set_fit_page_width(-2);
    EXPECT_EQ(sheet.fit_page_height(), 1);
    EXPECT_EQ(sheet.fit_page_width(), 1);
    sheet.set_fit_page_height(3);
    EXPECT_EQ(sheet.fit_page_height(), 3);

    sheet.set_print_gridlines(true);
    EXPECT_TRUE(sheet.print_gridlines());
    sheet.set_print_gridlines(false);
    EXPECT_FALSE(sheet.print_gridlines());
    EXPECT_TRUE(sheet.settings().print.options.grid_lines_set);

    sheet.set_page_header("&C\xC3\xA9t\xC3\xA9");
    sheet.set_page_footer("&P / &N");
    EXPECT_EQ(sheet.page_header(), "&C\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(sheet.settings().print.header_footer.odd_footer, "&P / &N");
    EXPECT_EQ(sheet.settings().print.header_footer.even_header, "");
}
