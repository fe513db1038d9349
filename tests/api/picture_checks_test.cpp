// A host's picture file is taken only with its whole header and sides the
// drawing's EMU extents can state.
#include "plover.h"
#include "book_support.h"
#include "../mta/table/utils/drawing/image/image_fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>

using namespace fixtures;

TEST(picture_checks, adding_calls_refuse_cut_headers_and_sides_past_the_drawing) {
    api_test::scratch_dir dir;
    const std::function<int(plover_worksheet_t*, const char*)> calls[] = {
        [](auto ws, auto f) { return ws_add_image_with_one_cell(ws, f, 2, 2, 0, 0, 1.0, 0, 0); },
        [](auto ws, auto f) { return ws_add_cell_image(ws, f, 2, 2, 4, 4); },
        [](auto ws, auto f) { return ws_add_image_with_two_cells(ws, f, 2, 2, 4, 4, 1, 1, 1, 1); },
        [](auto ws, auto f) { return ws_add_absolute_image(ws, f, 10, 10, 0, 0, 1.0); },
        [](auto ws, auto f) {
            ws_set_bg_picture(ws, f);
            return ws_image_num(ws) == 1 ? ws_get_image_id(ws, 0) : -1;
        },
    };
    const auto cut = [](const bytes_t& b, size_t n) { return bytes_t(b.begin(), b.begin() + std::ptrdiff_t(n)); };
    constexpr uint32_t most = 225457;
    const struct {
        int call;
        bytes_t bytes;
        uint32_t w = 0, h = 0;  // refused as too large when set, else as not loaded
        bool taken = false;
    } cases[] = {
        {0, png(most, most), 0, 0, true},
        {0, png(most + 1, 1), most + 1, 1},
        {0, png(1, most + 1), 1, most + 1},
        {0, cut(png(8, 8), 24)},
        {0, cut(gif(8, 8), 10)},
        {0, cut(dib(8, 8, 124), 60)},
        {0, cut(tiff({{256, 8}, {257, 8}, {258, 8}}), 8 + 2 + 24 + 6)},
        {0, cut(ico(1, 2, 16, 16), 6 + 16)},
        {0, {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0, 0xFF, 0xDA, 0, 8, 1, 1}},  // scan header cut
        {1, png(most + 1, 1), most + 1, 1},
        {2, png(1, most + 1), 1, most + 1},
        {3, cut(png(8, 8), 24)},
        {4, png(2147483647, 2147483647), 2147483647, 2147483647},
    };
    const std::string path = dir / "p";
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()), c.bytes.size());
        api_test::book_t book;
        plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Pictures");
        const int id = calls[c.call](ws, path.c_str());
        const std::string at = std::to_string(&c - cases);
        if (c.taken) {
            EXPECT_GT(id, 0) << at << ": " << run_msg();
            continue;
        }
        EXPECT_EQ(id, -1) << at;
        EXPECT_EQ(ws_image_num(ws), 0) << at;
        EXPECT_EQ(std::string(run_msg()), c.w ? "The image is too large: " + path + " is " + std::to_string(c.w) + " x " +
                                                    std::to_string(c.h) + " pixels, more than 225457 on a side."
                                              : "Failed to load file: " + path)
            << at;
    }
}
