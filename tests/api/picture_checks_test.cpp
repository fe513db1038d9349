// Pictures a host hands in are taken only with their whole header and a size
// the drawing can state: each call that adds one from a file refuses the rest,
// saying why.
#include "plover.h"
#include "book_support.h"
#include "../mta/table/utils/drawing/image/image_fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using api_test::book_t;
using api_test::scratch_dir;

using namespace fixtures;

// The first n bytes.
bytes_t cut(const bytes_t& b, size_t n) { return bytes_t(b.begin(), b.begin() + std::ptrdiff_t(n)); }

// A file header before an info header of `size` bytes.
bytes_t bmp_of(int32_t w, int32_t h, uint32_t size) {
    builder b = builder().u8({'B', 'M'}).u32(0).u32(0).u32(14 + size);
    for (uint8_t byte : dib(w, h, size)) b.u8({byte});
    return b;
}
bytes_t tiff_of(uint32_t w, uint32_t h) { return tiff({{256, w}, {257, h}, {258, 8}}); }

// Start of image, then a frame header cut inside.
bytes_t jpeg_cut() { return {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x10, 0x00}; }

struct call_t {
    const char* name;
    // The new image id, or -1.
    std::function<int(plover_worksheet_t*, const char*)> add;
};

const std::vector<call_t>& calls() {
    static const std::vector<call_t> all = {
        {"ws_add_cell_image", [](auto ws, auto f) { return ws_add_cell_image(ws, f, 2, 2, 4, 4); }},
        {"ws_add_image_with_two_cells",
         [](auto ws, auto f) { return ws_add_image_with_two_cells(ws, f, 2, 2, 4, 4, 1, 1, 1, 1); }},
        {"ws_add_image_with_one_cell",
         [](auto ws, auto f) { return ws_add_image_with_one_cell(ws, f, 2, 2, 0, 0, 1.0, 0, 0); }},
        {"ws_add_absolute_image", [](auto ws, auto f) { return ws_add_absolute_image(ws, f, 10, 10, 0, 0, 1.0); }},
        {"ws_set_bg_picture",
         [](plover_worksheet_t* ws, const char* f) {
             ws_set_bg_picture(ws, f);
             return ws_image_num(ws) == 1 ? ws_get_image_id(ws, 0) : -1;
         }},
    };
    return all;
}

std::string written(const scratch_dir& dir, const std::string& name, const bytes_t& bytes) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::string too_large(const std::string& path, uint32_t w, uint32_t h) {
    return "The image is too large: " + path + " is " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels, more than 225457 on a side.";
}

} // namespace

TEST(picture_checks, every_adding_call_refuses_cut_headers_and_sizes_past_the_drawing) {
    scratch_dir dir;
    constexpr uint32_t most = 225457;
    struct case_t {
        const char* name;
        bytes_t bytes;
        uint32_t w = 0, h = 0;  // refused as too large when either is set; else as not loaded
        bool taken = false;
    };
    const case_t cases[] = {
        {"png-most.png", png(most, most), 0, 0, true},
        {"png.png", png(most + 1, 1), most + 1, 1},
        {"png-tall.png", png(1, most + 1), 1, most + 1},
        {"png-huge.png", png(2147483647, 2147483647), 2147483647, 2147483647},
        {"png-no-crc.png", cut(png(8, 8), 29)},
        {"png-no-depth.png", cut(png(8, 8), 24)},
        {"gif.gif", gif(65535, 65535), 0, 0, true},
        {"gif-no-flags.gif", cut(gif(8, 8), 10)},
        {"bmp.bmp", bmp_of(most, -int32_t(most), 124), 0, 0, true},
        {"bmp-wide.bmp", bmp_of(int32_t(most) + 1, 1, 40), most + 1, 1},
        {"bmp-v5-cut.bmp", cut(bmp_of(8, 8, 124), 14 + 60)},
        {"tiff.tif", tiff_of(most, most), 0, 0, true},
        {"tiff-tall.tif", tiff_of(1, 4000000), 1, 4000000},
        {"tiff-cut.tif", cut(tiff_of(8, 8), 8 + 2 + 24 + 6)},
        {"ico.ico", ico(1, 2, 16, 16), 0, 0, true},
        {"ico-cut.ico", cut(ico(1, 2, 16, 16), 6 + 16 + 8)},
        {"jpeg-cut.jpg", jpeg_cut()},
    };
    for (const call_t& call : calls()) {
        for (const case_t& c : cases) {
            const std::string path = written(dir, c.name, c.bytes);
            book_t book;
            plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Pictures");
            const int id = call.add(ws, path.c_str());
            const std::string at = std::string(call.name) + " " + c.name;
            if (c.taken) {
                EXPECT_GT(id, 0) << at << ": " << run_msg();
                continue;
            }
            EXPECT_EQ(id, -1) << at;
            EXPECT_EQ(ws_image_num(ws), 0) << at;
            EXPECT_EQ(std::string(run_msg()), c.w || c.h ? too_large(path, c.w, c.h) : "Failed to load file: " + path)
                << at;
        }
    }
}

// A refused picture leaves nothing behind: the book saves and loads as before.
TEST(picture_checks, a_refused_picture_leaves_the_book_as_it_was) {
    scratch_dir dir;
    const std::string huge = written(dir, "huge.png", png(2147483647, 2147483647));
    const std::string small = written(dir, "small.png", png(40, 30));
    const std::string saved = dir / "book.xlsx";
    {
        book_t book;
        plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Pictures");
        EXPECT_EQ(ws_add_image_with_one_cell(ws, huge.c_str(), 1, 1, 0, 0, 1.0, 0, 0), -1);
        const int id = ws_add_image_with_one_cell(ws, small.c_str(), 3, 3, 0, 0, 1.0, 0, 0);
        ASSERT_GT(id, 0) << run_msg();
        ASSERT_EQ(doc_save(book.doc, saved.c_str()), 1) << run_msg();
    }
    plover_document_t* doc = doc_load(saved.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
    EXPECT_EQ(ws_image_num(ws), 1);
    int row = 0, col = 0;
    EXPECT_EQ(ws_get_anchored_cell(ws, ws_get_image_id(ws, 0), &row, &col), 1);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(col, 3);
    doc_release(doc);
}
