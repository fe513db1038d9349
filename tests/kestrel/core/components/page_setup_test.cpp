#include "kestrel/core/components/page_setup.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/worksheet_part.h"
#include "run_message.h"

#include <gtest/gtest.h>

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
    std::vector<double> margins() const {
        return {sheet.left_margin(), sheet.right_margin(),  sheet.top_margin(),
                sheet.bottom_margin(), sheet.header_margin(), sheet.footer_margin()};
    }
};

std::string last_message() { return vex::get_run_message().str(); }

} // namespace

TEST_F(print_fixture, a_new_sheet_and_a_custom_view_print_with_the_format_defaults) {
    EXPECT_EQ(sheet.row_break_count() + sheet.col_break_count(), 0u);
    EXPECT_FALSE(sheet.print_gridlines() || sheet.print_headings() || sheet.h_centered_printing() ||
                 sheet.v_centered_printing());
    EXPECT_EQ(margins(), (std::vector<double>{0.7, 0.7, 0.75, 0.75, 0.3, 0.3}));
    EXPECT_EQ((std::vector<int64_t>{sheet.paper(), sheet.print_scale(), sheet.page_orientation(), sheet.print_errors(),
                                    sheet.fit_page_height(), sheet.fit_page_width()}),
              (std::vector<int64_t>{9, 1, 0, 2, 1, 1}));
    EXPECT_EQ(sheet.page_header(), "");
    EXPECT_EQ(sheet.page_footer(), "");
    const vex::custom_sheet_view_t view;
    EXPECT_EQ(view.print.margins, sheet.settings().print.margins);
    EXPECT_EQ(view.print.page_setup, sheet.settings().print.page_setup);
}

TEST_F(print_fixture, breaks_are_kept_once_in_ascending_order_and_span_the_worktable) {
    ASSERT_NE(sheet.create_worktable__(1048576, 16384, {}), nullptr);
    EXPECT_TRUE(sheet.set_row_break(5, true));
    EXPECT_TRUE(sheet.set_row_break(5, true));
    EXPECT_TRUE(sheet.set_row_break(6, false));  // never set
    EXPECT_EQ(rows(), std::vector<uint32_t>{5});
    EXPECT_TRUE(sheet.set_row_break(7, true));
    EXPECT_TRUE(sheet.set_row_break(3, true));
    EXPECT_TRUE(sheet.set_row_break(1048576, true));
    EXPECT_TRUE(sheet.set_row_break(5, false));
    EXPECT_EQ(rows(), (std::vector<uint32_t>{3, 7, 1048576}));

    EXPECT_TRUE(sheet.set_col_break(4, true));
    EXPECT_TRUE(sheet.set_col_break(3, true));
    EXPECT_EQ(sheet.col_break_count(), 2u);
    EXPECT_EQ(sheet.col_break(0), 3u);
    EXPECT_EQ(*sheet.settings().print.col_breaks.find(2), (vex::page_break_t{2, true, false, 1048575, 0}));
    EXPECT_EQ(*sheet.settings().print.row_breaks.find(6), (vex::page_break_t{6, true, false, 16383, 0}));
}

TEST_F(print_fixture, breaks_refuse_positions_and_indexes_outside) {
    sheet.set_row_break(2, true);
    sheet.set_col_break(2, true);
    for (int32_t position : {0, 1048577}) {
        EXPECT_FALSE(sheet.set_row_break(position, false));
        EXPECT_EQ(last_message(), "Row out of range.");
    }
    for (int32_t position : {0, 16385}) {
        EXPECT_FALSE(sheet.set_col_break(position, true));
        EXPECT_EQ(last_message(), "Column out of range.");
    }
    EXPECT_EQ(rows(), std::vector<uint32_t>{2});
    for (int32_t index : {-1, 1, std::numeric_limits<int32_t>::min()}) {
        vex::set_run_message("");
        EXPECT_EQ(sheet.row_break(index), 0xFFFFFFFFu);
        EXPECT_EQ(sheet.col_break(index), 0xFFFFFFFFu);
        EXPECT_EQ(last_message(), "Index out of range.");
    }
}

TEST_F(print_fixture, values_outside_their_ranges_are_clamped_ignored_or_refused) {
    sheet.set_left_margin(-1.5);
    sheet.set_top_margin(std::numeric_limits<double>::infinity());
    sheet.set_bottom_margin(std::numeric_limits<double>::quiet_NaN());
    sheet.set_footer_margin(-0.0);
    EXPECT_EQ(margins(), (std::vector<double>{0.0, 0.7, 0.75, 0.75, 0.3, 0.0}));
    EXPECT_FALSE(std::signbit(sheet.footer_margin()));

    EXPECT_FALSE(sheet.set_paper(0));
    EXPECT_EQ(last_message(), "No such paper id, please refer to the paper id in enum.h.");
    EXPECT_FALSE(sheet.set_paper(119));
    EXPECT_EQ(sheet.paper(), 9);
    EXPECT_TRUE(sheet.set_paper(118));
    EXPECT_EQ(sheet.paper(), 118);

    sheet.set_print_scale(10);
    for (int32_t ignored : {9, 401, 0}) sheet.set_print_scale(ignored);
    EXPECT_EQ(sheet.print_scale(), 10);
    sheet.set_print_scale(400);
    EXPECT_EQ(sheet.print_scale(), 400);
    sheet.set_fit_page_height(0);
    sheet.set_fit_page_width(3);
    EXPECT_EQ(std::make_pair(sheet.fit_page_height(), sheet.fit_page_width()), std::make_pair(1, 3));

    sheet.set_print_gridlines(true);
    EXPECT_TRUE(sheet.print_gridlines());
    sheet.set_print_gridlines(false);
    EXPECT_FALSE(sheet.print_gridlines());
    EXPECT_TRUE(sheet.settings().print.options.grid_lines_set);

    sheet.set_page_footer("&P / &N");
    EXPECT_EQ(sheet.settings().print.header_footer.odd_footer, "&P / &N");
}
