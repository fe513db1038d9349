#include "kestrel/xml/xl_xml/assignment/assign_for_worksheet.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex;
using reader_test::load;
using reader_test::sheet_package;

namespace {

struct sheet_fixture {
    xml_document_t doc;
    std::string error;
    worksheet_t* sheet = nullptr;
    explicit sheet_fixture(const std::string& body) {
        error = load(doc, sheet_package(body));
        if (error.empty()) sheet = doc.workbook()->sheet_at(0);
    }
    worksheet_settings_t& s() { return sheet->settings(); }
};

} // namespace

TEST(assign_for_worksheet, views_panes_and_selections) {
    sheet_fixture f("<sheetViews><sheetView tabSelected=\"1\" view=\"pageLayout\" zoomScale=\"85\" showZeros=\"0\" "
                    "topLeftCell=\"B3\" workbookViewId=\"0\"><pane xSplit=\"3\" ySplit=\"5\" topLeftCell=\"D6\" "
                    "activePane=\"bottomRight\" state=\"frozen\"/><selection pane=\"bottomRight\" activeCell=\"E7\" "
                    "sqref=\"E7 A1:B2 E7\"/></sheetView><sheetView workbookViewId=\"1\"/></sheetViews>"
                    "<sheetData/>");
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.s().views.size(), 2u);  // the default view is replaced, not kept beside
    const sheet_view_t& v = f.s().views[0];
    EXPECT_EQ(v.view, 2u);
    EXPECT_EQ(v.zoom_scale, 85u);
    EXPECT_TRUE(v.has(sheet_view_t::tab_selected));
    EXPECT_FALSE(v.has(sheet_view_t::show_zeros));
    EXPECT_TRUE(v.has(sheet_view_t::show_grid_lines));  // absent: the default
    EXPECT_EQ(v.top_left_cell.row, 3);
    EXPECT_EQ(v.top_left_cell.col, 2);
    ASSERT_NE(v.pane, nullptr);
    EXPECT_EQ(v.pane->x_split, 3.0);
    EXPECT_EQ(v.pane->y_split, 5.0);
    EXPECT_EQ(v.pane->active_pane, 3u);
    EXPECT_EQ(v.pane->state, 0u);
    ASSERT_EQ(v.selections.size(), 1u);
    EXPECT_EQ(v.selections[0].active_cell.col, 5);
    EXPECT_EQ(v.selections[0].sqref.size(), 2u);
    EXPECT_EQ(f.s().views[1].workbook_view_id, 1u);
    EXPECT_EQ(f.s().views[1].pane, nullptr);
}

// Six different margins: each is read from its own attribute.
TEST(assign_for_worksheet, page_margins_each_from_its_attribute) {
    sheet_fixture f("<sheetData/><pageMargins left=\"0.1\" right=\"0.2\" top=\"0.3\" bottom=\"0.4\" "
                    "header=\"0.5\" footer=\"0.6\"/>");
    ASSERT_EQ(f.error, "");
    const page_margins_t& m = f.s().print.margins;
    const double got[] = {m.left, m.right, m.top, m.bottom, m.header, m.footer};
    const double want[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(got[i], want[i]) << i;
}

TEST(assign_for_worksheet, printing_settings) {
    sheet_fixture f("<sheetFormatPr defaultRowHeight=\"15\" outlineLevelRow=\"2\" zeroHeight=\"1\"/><sheetData/>"
                    "<printOptions gridLines=\"1\" headings=\"true\"/><pageMargins left=\"1\"/>"
                    "<pageSetup orientation=\"landscape\" paperSize=\"8\" paperHeight=\"297mm\" fitToWidth=\"2\" "
                    "errors=\"NA\" r:id=\"rId3\"/><headerFooter differentFirst=\"1\"><oddHeader>&amp;CTitle</oddHeader>"
                    "<firstFooter>Page &amp;P</firstFooter></headerFooter>"
                    "<rowBreaks count=\"2\"><brk id=\"5\" max=\"16383\" man=\"1\"/><brk id=\"2\" man=\"0\"/></rowBreaks>"
                    "<colBreaks><brk id=\"3\" man=\"true\"/></colBreaks>");
    ASSERT_EQ(f.error, "");
    const worksheet_settings_t& s = f.s();
    ASSERT_NE(s.sheet_format, nullptr);
    EXPECT_EQ(s.sheet_format->default_row_height, 15.0);
    EXPECT_EQ(s.sheet_format->outline_level_row, 2);
    EXPECT_TRUE(s.sheet_format->zero_height);
    EXPECT_TRUE(s.print.options.grid_lines);
    EXPECT_TRUE(s.print.options.headings);
    EXPECT_EQ(s.print.margins.left, 1.0);
    EXPECT_EQ(s.print.margins.right, 0.7);  // left out: the format's usual margins
    EXPECT_EQ(s.print.margins.top, 0.75);
    EXPECT_EQ(s.print.margins.footer, 0.3);
    EXPECT_EQ(s.print.page_setup.orientation, 1u);
    EXPECT_EQ(s.print.page_setup.paper_size, 8u);
    EXPECT_EQ(s.print.page_setup.paper_height.value, 297.0);
    EXPECT_EQ(s.print.page_setup.paper_height.unit, 3u);
    EXPECT_EQ(s.print.page_setup.fit_to_width, 2u);
    EXPECT_EQ(s.print.page_setup.errors, 3u);
    EXPECT_EQ(s.print.page_setup.relationship_id, "rId3");
    EXPECT_TRUE(s.print.header_footer.different_first);
    EXPECT_EQ(s.print.header_footer.odd_header, "&CTitle");
    EXPECT_EQ(s.print.header_footer.first_footer, "Page &P");
    ASSERT_EQ(s.print.row_breaks.size(), 2u);
    EXPECT_EQ(s.print.row_breaks[0].id, 2u);  // ascending
    EXPECT_FALSE(s.print.row_breaks[0].man);
    EXPECT_TRUE(s.print.row_breaks[1].man);
    ASSERT_EQ(s.print.col_breaks.size(), 1u);
    EXPECT_TRUE(s.print.col_breaks[0].man);  // one flag rule: "true" is on
}

TEST(assign_for_worksheet, sheet_protection) {
    sheet_fixture f("<sheetData/><sheetProtection algorithmName=\"SHA512\" hashValue=\"h\" saltValue=\"s\" "
                    "spinCount=\"100000\" sheet=\"1\" objects=\"1\" formatCells=\"0\" selectLockedCells=\"true\"/>");
    ASSERT_EQ(f.error, "");
    const sheet_protection_record_t& r = f.sheet->protection().record();
    EXPECT_TRUE(f.sheet->is_protected());
    EXPECT_EQ(r.algorithm, "SHA-512");  // with or without the dash
    EXPECT_EQ(r.hash_value, "h");
    EXPECT_EQ(r.salt_value, "s");
    EXPECT_EQ(r.spin_count, 100000u);
    // Absent options take the format's defaults: the first four off, the others on.
    EXPECT_EQ(r.options, (protection_option_mask & ~(option_select_unlocked_cells | option_scenarios | option_format_cells)));
    sheet_fixture legacy("<sheetData/><sheetProtection password=\"CC3D\" sheet=\"1\" algorithmName=\"SHA-512\"/>");
    ASSERT_EQ(legacy.error, "");
    EXPECT_EQ(legacy.sheet->protection().record().password, "CC3D");
    EXPECT_EQ(legacy.sheet->protection().record().algorithm, "SHA-512");
    // A name outside the table is kept as read rather than ending the load.
    sheet_fixture other("<sheetData/><sheetProtection algorithmName=\"SHA-3\"/>");
    EXPECT_EQ(other.error, "");
    EXPECT_EQ(other.sheet->protection().record().algorithm, "SHA-3");
}

TEST(assign_for_worksheet, bad_settings_end_the_load) {
    const struct {
        const char* body;
        const char* message;
    } cases[] = {
        {"<sheetViews><sheetView view=\"wide\"/></sheetViews>", "invalid enumeration string value: \"wide\""},
        {"<sheetViews><sheetView topLeftCell=\"XFE1\"/></sheetViews>", "Wrong cell reference: XFE1"},
        {"<sheetViews><sheetView><selection sqref=\"A1:A0\"/></sheetView></sheetViews>", "Wrong range reference: A1:A0"},
        {"<sheetViews><sheetView><pivotSelection axis=\"axisData\"/></sheetView></sheetViews>",
         "invalid enumeration string value: \"axisData\""},
        {"<sheetViews><sheetView><pivotSelection><pivotArea type=\"cell\"/></pivotSelection></sheetView></sheetViews>",
         "invalid enumeration string value: \"cell\""},
        {"<sheetViews><sheetView><pivotSelection activeRow=\"row\"/></sheetView></sheetViews>",
         "invalid stoi argument"},
        {"<pageSetup paperWidth=\"210px\"/>", "invalid enumeration string value: \"px\""},
        {"<pageSetup paperWidth=\"mm\"/>", "invalid stod argument"},
        {"<pageSetup orientation=\"sideways\"/>", "invalid enumeration string value: \"sideways\""},
    };
    for (const auto& c : cases) {
        sheet_fixture f(c.body + std::string("<sheetData/>"));
        EXPECT_NE(f.error.find(c.message), std::string::npos) << c.body << " -> " << f.error;
    }
    // Harmless oddities load: unknown elements, negative or non-finite sizes, a pane with no view.
    sheet_fixture f("<sheetViews><pane xSplit=\"2\"/><sheetView><pane xSplit=\"-1\" ySplit=\"inf\"/></sheetView>"
                    "</sheetViews><sheetData/><pageMargins left=\"-2\" top=\"nan\"/><unknownThing a=\"b\"/>");
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.s().views.size(), 1u);
    ASSERT_NE(f.s().views[0].pane, nullptr);
    EXPECT_EQ(f.s().views[0].pane->x_split, 0.0);
    EXPECT_EQ(f.s().print.margins.left, 0.7);
    EXPECT_EQ(f.s().print.margins.top, 0.75);
}
