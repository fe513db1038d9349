// Edges of sheet objects through the exports: the index one past the last
// picture, merged ranges beside a band that moves, and a loaded note shown by
// its client data alone.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

using namespace round_trip_test;

TEST(sheet_edges, the_index_past_the_last_picture_is_out_of_range) {
    package_test::scratch_dir dir;
    const std::string png = dir / "red.png";
    std::ofstream(png, std::ios::binary) << package_test::red_png;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    for (int added = 0; added < 2; ++added) {
        EXPECT_EQ(ws_get_image_id(ws, ws_image_num(ws)), -1) << added;
        EXPECT_STREQ(run_msg(), "Index out of range.") << added;
        ASSERT_GT(ws_add_cell_image(ws, png.c_str(), 2, 2, 3, 3), 0) << run_msg();
    }
    doc_release(doc);
}

TEST(sheet_edges, merges_beside_a_band_shifted_down_stay) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    for (const auto [r1, c1, r2, c2] :
         {std::array{10, 1, 10, 2}, std::array{12, 1, 12, 2}, std::array{14, 1, 14, 2}, std::array{20, 5, 20, 6}})
        ASSERT_EQ(ws_merge(ws, r1, c1, r2, c2), 1) << run_msg();
    ASSERT_EQ(ws_shift_range_down(ws, 1, 3, 5, 1), 1) << run_msg();
    std::vector<std::array<int, 4>> after;
    for (int i = 0; i < ws_merged_num(ws); ++i) {
        std::array<int, 4> m{};
        ASSERT_TRUE(ws_merged_range(ws, i, &m[0], &m[1], &m[2], &m[3]));
        after.push_back(m);
    }
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, (std::vector<std::array<int, 4>>{{11, 1, 11, 2}, {13, 1, 13, 2}, {15, 1, 15, 2}, {20, 5, 20, 6}}));
    doc_release(doc);
}

// A note on B2 whose shape style says nothing of its visibility.
TEST(sheet_edges, a_note_shown_by_its_client_data_alone_is_saved_shown) {
    const std::string vml =
        R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:x="urn:schemas-microsoft-com:office:excel">)"
        R"(<v:shape style="position:absolute"><x:ClientData ObjectType="Note"><x:Anchor>2, 8, 0, 16, 5, 20, 6, 4</x:Anchor>)"
        R"(<x:Row>1</x:Row><x:Column>1</x:Column><x:Visible/></x:ClientData></v:shape></xml>)";
    const std::string comments = std::string(package_test::decl) + "<comments xmlns=\"" + main_ns +
                                 R"("><authors><author>Ann</author></authors><commentList><comment ref="B2" )"
                                 R"(authorId="0"><text><t>note</t></text></comment></commentList></comments>)";
    const crafted_t c = one_sheet(
        R"(<sheetData/><legacyDrawing r:id="rId1"/>)",
        package_test::rel("rId1", std::string(package_test::od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
            package_test::rel("rId2", std::string(package_test::od) + "comments", "../comments1.xml"),
        {{"xl/drawings/vmlDrawing1.vml", vml}, {"xl/comments1.xml", comments}},
        "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>" +
            package_test::override_of("xl/comments1.xml",
                                      "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml"));
    const saves_t s = three_saves(package_of(c), {});
    ASSERT_EQ(s.message, "");
    expect_entry(s, "xl/drawings/vmldrawing1.vml", {"visibility:visible", "<x:Visible"}, {"visibility:hidden"}, "shown");
}
