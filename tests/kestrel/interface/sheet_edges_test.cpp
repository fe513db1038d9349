// Edges of sheet objects through the exports: the index one past the last
// picture, merged ranges beside a band that moves, and a loaded note shown
// by its client data alone.
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

namespace {

std::string last_message() {
    const char* m = run_msg();
    return m ? m : "";
}

// "A10:B10" for each merged range, in sheet order.
std::vector<std::string> merges(plover_worksheet_t* ws) {
    std::vector<std::string> out;
    for (int i = 0; i < ws_merged_num(ws); ++i) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        if (!ws_merged_range(ws, i, &r1, &c1, &r2, &c2)) break;
        out.push_back(std::string(1, char('A' + c1 - 1)) + std::to_string(r1) + ":" + std::string(1, char('A' + c2 - 1)) +
                      std::to_string(r2));
    }
    std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
        return std::stoi(a.substr(1)) != std::stoi(b.substr(1)) ? std::stoi(a.substr(1)) < std::stoi(b.substr(1)) : a < b;
    });
    return out;
}

} // namespace

TEST(sheet_edges, the_index_past_the_last_picture_is_out_of_range) {
    package_test::scratch_dir dir;
    const std::string png = dir / "red.png";
    std::ofstream(png, std::ios::binary) << package_test::red_png;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    std::vector<int> ids;
    for (int count = 0; count <= 3; ++count) {
        EXPECT_EQ(ws_image_num(ws), count);
        for (int i = 0; i < count; ++i) EXPECT_EQ(ws_get_image_id(ws, i), ids[size_t(i)]) << count;
        for (int index : {count, count + 1, -1}) {
            EXPECT_EQ(ws_get_image_id(ws, index), -1) << count << " " << index;
            EXPECT_EQ(last_message(), "Index out of range.") << count << " " << index;
        }
        ids.push_back(ws_add_cell_image(ws, png.c_str(), 2 + count, 2, 3 + count, 3));
        ASSERT_GT(ids.back(), 0) << last_message();
    }
    doc_release(doc);
}

// Merged ranges in the moved columns go down with their cells; those beside
// the band, or above it, stay where they are.
TEST(sheet_edges, merges_beside_a_band_shifted_down_stay) {
    const struct {
        int first_col, last_col, row, count;
        std::vector<std::string> after;
    } rows[] = {
        {1, 3, 5, 1, {"A3:C3", "A11:B11", "A13:B13", "A15:B15", "E20:F20"}},
        {1, 3, 5, 4, {"A3:C3", "A14:B14", "A16:B16", "A18:B18", "E20:F20"}},
        {5, 6, 5, 2, {"A3:C3", "A10:B10", "A12:B12", "A14:B14", "E22:F22"}},
        {1, 2, 15, 3, {"A3:C3", "A10:B10", "A12:B12", "A14:B14", "E20:F20"}},
        {7, 9, 1, 3, {"A3:C3", "A10:B10", "A12:B12", "A14:B14", "E20:F20"}},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
        for (const auto [r1, c1, r2, c2] : {std::array{3, 1, 3, 3}, std::array{10, 1, 10, 2}, std::array{12, 1, 12, 2},
                                            std::array{14, 1, 14, 2}, std::array{20, 5, 20, 6}})
            ASSERT_EQ(ws_merge(ws, r1, c1, r2, c2), 1) << last_message();
        ASSERT_EQ(ws_shift_range_down(ws, r.first_col, r.last_col, r.row, r.count), 1)
            << r.first_col << "-" << r.last_col << "@" << r.row << ": " << last_message();
        EXPECT_EQ(merges(ws), r.after) << r.first_col << "-" << r.last_col << "@" << r.row << "+" << r.count;
        doc_release(doc);
    }
}

namespace {

// A note on B2 whose shape says nothing of its visibility in its style; its
// client data shows it (x:Visible) or not.
crafted_t note_package(bool shown) {
    const std::string vml =
        R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office" )"
        R"(xmlns:x="urn:schemas-microsoft-com:office:excel"><o:shapelayout v:ext="edit"><o:idmap v:ext="edit" )"
        R"(data="1"/></o:shapelayout><v:shapetype id="_x0000_t202" coordsize="21600,21600" o:spt="202" )"
        R"(path="m,l,21600r21600,l21600,xe"/><v:shape id="_x0000_s1025" type="#_x0000_t202" )"
        R"(style='position:absolute;margin-left:104pt;margin-top:12pt;width:144pt;height:80pt;z-index:1' )"
        R"(fillcolor="#ffffe1"><v:textbox/><x:ClientData ObjectType="Note"><x:MoveWithCells/><x:SizeWithCells/>)"
        R"(<x:Anchor>2, 8, 0, 16, 5, 20, 6, 4</x:Anchor><x:Row>1</x:Row><x:Column>1</x:Column>)" +
        std::string(shown ? "<x:Visible/>" : "") + "</x:ClientData></v:shape></xml>";
    const std::string comments = std::string(package_test::decl) + "<comments xmlns=\"" + main_ns +
                                 R"("><authors><author>Ann</author></authors><commentList><comment ref="B2" )"
                                 R"(authorId="0"><text><r><t>note</t></r></text></comment></commentList></comments>)";
    crafted_t c;
    c.sheets = {{R"(<sheetData/><legacyDrawing r:id="rId1"/>)",
                 package_test::rel("rId1", std::string(package_test::od) + "vmlDrawing", "../drawings/vmlDrawing1.vml") +
                     package_test::rel("rId2", std::string(package_test::od) + "comments", "../comments1.xml")}};
    c.extra = {{"xl/drawings/vmlDrawing1.vml", vml}, {"xl/comments1.xml", comments}};
    c.extra_types = "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>" +
                    package_test::override_of("xl/comments1.xml",
                                              "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml");
    return c;
}

} // namespace

TEST(sheet_edges, a_note_shown_by_its_client_data_alone_is_saved_shown) {
    for (const bool shown : {true, false}) {
        const saves_t s = three_saves(package_of(note_package(shown)), {});
        ASSERT_EQ(s.message, "") << shown;
        const std::string visible = shown ? "visibility:visible" : "visibility:hidden";
        const std::string other = shown ? "visibility:hidden" : "visibility:visible";
        expect_entry(s, "xl/drawings/vmldrawing1.vml", {visible}, {other}, shown ? "shown" : "hidden");
        for (const entries_t* copy : {&s.first, &s.third}) {
            const std::string vml = package_test::find(*copy, "xl/drawings/vmldrawing1.vml");
            EXPECT_EQ(vml.find("<x:Visible") != std::string::npos, shown) << vml;
        }
    }
}
