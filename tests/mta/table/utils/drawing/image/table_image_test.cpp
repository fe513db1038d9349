#include "mta/table/utils/drawing/image/table_image.h"

#include "errors.h"
#include "image_fixtures.h"
#include "run_message.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <thread>
#include <vector>

using namespace fixtures;
using vex::coord_t;
using vex::mta::image::absolute_anchor_t;
using vex::mta::image::one_cell_anchor_t;
using vex::mta::image::table_image_manager;
using vex::mta::image::two_cell_anchor_t;
using anchor = vex::mta::image::image_anchor_type_enum;

namespace {

const bytes_t picture = png(200, 100);

int32_t add_absolute(table_image_manager& m, uint32_t grid, absolute_anchor_t at, const bytes_t& b = picture) {
    return m.add_absolute_image_from_memory(grid, b.data(), b.size(), at);
}
int32_t add_one_cell(table_image_manager& m, uint32_t grid, one_cell_anchor_t at, const bytes_t& b = picture) {
    return m.add_one_cell_image_from_memory(grid, b.data(), b.size(), at);
}
int32_t add_two_cell(table_image_manager& m, uint32_t grid, two_cell_anchor_t at, const bytes_t& b = picture) {
    return m.add_two_cell_image_from_memory(grid, anchor::two_cell, b.data(), b.size(), at);
}
int32_t set_background(table_image_manager& m, uint32_t grid, const bytes_t& b = picture) {
    return m.set_background_image_from_memory(grid, b.data(), b.size());
}

std::string last_message() { return vex::get_run_message().str(); }
void mark() { vex::set_run_message("untouched"); }

} // namespace

TEST(table_image_manager, ids_run_by_two_and_are_never_reused) {
    table_image_manager m;
    EXPECT_EQ(add_absolute(m, 1, {}), 3);
    EXPECT_EQ(add_one_cell(m, 1, {1, 1}), 5);
    m.delete_image(3);
    EXPECT_EQ(add_two_cell(m, 2, {1, 1, 2, 2}), 7);
    EXPECT_EQ(add_absolute(m, 1, {-1, 0}), -1);  // a refusal does not move the counter
    EXPECT_EQ(set_background(m, 1), 9);
}

TEST(table_image_manager, sizes_and_their_checks) {
    const double nan = std::nan(""), inf = INFINITY;
    const struct {
        int32_t w, h;
        double scale;
        int32_t width, height;  // stored; -1 refused
    } cases[] = {
        {0, 0, 0.5, 100, 50}, {0, 0, 0.333, 66, 33}, {40, 30, 0.0, 40, 30}, {0, 10, 1, -1, -1},
        {10, 0, 1, -1, -1},   {0, 0, 0.0, -1, -1},   {-10, 10, 1, -1, -1},  {10, 10, -1, -1, -1},
        {0, 0, nan, -1, -1},  {0, 0, inf, -1, -1},   {0, 0, 2e7, -1, -1},  // beyond 32 bits
    };
    for (const auto& c : cases) {
        table_image_manager m;
        mark();
        const int32_t id = add_absolute(m, 1, {5, 6, c.w, c.h, c.scale});
        const int32_t cell_id = add_one_cell(m, 1, {1, 1, 0, 0, c.w, c.h, c.scale});
        if (c.width < 0) {
            EXPECT_EQ(last_message(), "Incorrect image size or scaling factor.");
            mark();
            EXPECT_EQ(add_absolute(m, 1, {5, 6, c.w, c.h, c.scale}), -1) << c.w << "x" << c.h << " at " << c.scale;
            EXPECT_EQ(last_message(), "Incorrect image dimensions or scaling factor.");
            EXPECT_EQ(m.image_num(1), 0);
            continue;
        }
        const auto& stored = m.find_image(id)->absolute;
        EXPECT_EQ(std::pair(stored.width, stored.height), std::pair(c.width, c.height)) << c.scale;
        EXPECT_EQ(stored.scale, c.scale);
        EXPECT_EQ(m.find_image(cell_id)->one_cell.height, c.height);
        EXPECT_EQ(m.get_absolute_coord(id), (coord_t{0, 6, 5}));
        EXPECT_EQ(last_message(), "untouched");
    }
    table_image_manager m;
    EXPECT_EQ(add_absolute(m, 1, {-1, 0, 1, 1}), -1);
    EXPECT_EQ(add_absolute(m, 1, {0, -1, 1, 1}), -1);
}

TEST(table_image_manager, anchor_cells_lie_on_the_sheet_counted_from_1) {
    table_image_manager m;
    for (one_cell_anchor_t bad : {one_cell_anchor_t{0, 1, 0, 0, 1, 1}, one_cell_anchor_t{1, 0, 0, 0, 1, 1},
                                  one_cell_anchor_t{1048577, 1, 0, 0, 1, 1}, one_cell_anchor_t{1, 16385, 0, 0, 1, 1}})
        EXPECT_EQ(add_one_cell(m, 1, bad), -1) << bad.row << "," << bad.col;
    const int32_t corner = add_one_cell(m, 1, {1048576, 16384, 7, 8, 1, 1});
    EXPECT_EQ(m.get_anchor_cell(corner), (coord_t{0, 1048576, 16384}));
    EXPECT_EQ(m.find_image(corner)->one_cell.col_offset, 7);

    for (two_cell_anchor_t bad : {two_cell_anchor_t{0, 1, 5, 5}, two_cell_anchor_t{1, 1, 1048577, 5},
                                  two_cell_anchor_t{1, 16385, 1, 1}, two_cell_anchor_t{-3, 1, 2, 2}}) {
        mark();
        EXPECT_EQ(add_two_cell(m, 1, bad), -1);
        EXPECT_EQ(last_message(), "Incorrect cell parameters for inserting image.");
    }
    // Given bottom-up and right-to-left: stored top-down with the offsets following their corners.
    const int32_t id = m.add_two_cell_image_from_memory(1, anchor::one_cell, picture.data(), picture.size(),
                                                         {10, 8, 2, 3, 11, 12, 13, 14});
    const auto& a = m.find_image(id)->two_cell;
    EXPECT_EQ((std::vector{a.from_row, a.from_col, a.to_row, a.to_col, a.from_col_offset, a.from_row_offset,
                           a.to_col_offset, a.to_row_offset}),
              (std::vector{2, 3, 10, 8, 13, 14, 11, 12}));
    EXPECT_EQ(m.find_image(id)->edit_as, anchor::one_cell);
    EXPECT_EQ(m.get_anchor_cell(id), (coord_t{0, 2, 3}));
    EXPECT_EQ(m.image_num(1), 2);
}

TEST(table_image_manager, loading_failures_are_recorded) {
    table_image_manager m;
    const bytes_t text(20, 'x');
    const struct {
        std::function<int32_t()> add;
        const char* message;
    } cases[] = {
        {[&] { return m.add_absolute_image_from_file(1, "", {}); }, "The image file name cannot be empty."},
        {[&] { return m.add_one_cell_image_from_file(1, "/nonexistent/p.png", {1, 1}); },
         "Failed to load file: /nonexistent/p.png"},
        {[&] { return m.set_background_image_from_file(1, "/nonexistent/bg"); }, "Failed to load file: /nonexistent/bg"},
        {[&] { return m.add_absolute_image_from_memory(1, nullptr, 5, {}); }, "The image cannot be empty."},
        {[&] { return m.add_one_cell_image_from_memory(1, text.data(), 0, {1, 1}); }, "The image cannot be empty."},
        {[&] { return add_two_cell(m, 1, {1, 1, 1, 1}, text); }, "Failed to load memory image."},
        {[&] { return set_background(m, 1, text); }, "Failed to load memory image."},
        // A background without a name or bytes fails without a word.
        {[&] { return m.set_background_image_from_file(1, ""); }, "untouched"},
        {[&] { return m.set_background_image_from_memory(1, nullptr, 4); }, "untouched"},
    };
    for (const auto& c : cases) {
        mark();
        EXPECT_EQ(c.add(), -1) << c.message;
        EXPECT_EQ(last_message(), c.message);
    }
    EXPECT_EQ(m.image_num(1), 0);
}

TEST(table_image_manager, one_background_per_sheet) {
    table_image_manager m;
    const int32_t first = set_background(m, 1);
    const int32_t other_sheet = set_background(m, 2, gif(3, 3));
    const int32_t picture_id = add_one_cell(m, 1, {1, 1});
    const int32_t second = set_background(m, 1, bmp(2, 2));
    EXPECT_EQ(m.find_image(first), nullptr);
    EXPECT_EQ(m.find_image(second)->background, 1u);
    EXPECT_EQ(m.get_anchor_type(second), anchor::two_cell);
    EXPECT_EQ(m.image_num(1), 2) << "the background counts";
    EXPECT_EQ(std::pair(m.get_image_id(1, 0), m.get_image_id(1, 1)), std::pair(picture_id, second));
    EXPECT_EQ(m.ids_of(1), (std::vector{picture_id, second}));
    EXPECT_NE(m.find_image(other_sheet), nullptr) << "another sheet keeps its own";
}

TEST(table_image_manager, equal_pictures_share_one_image) {
    table_image_manager m;
    const int32_t a = add_one_cell(m, 1, {1, 1});
    const int32_t b = add_absolute(m, 2, {}, bytes_t(picture));
    const int32_t c = add_one_cell(m, 1, {1, 1}, png(200, 101));
    const auto* shared = m.find_image(a)->image.get();
    EXPECT_EQ(m.find_image(b)->image.get(), shared);
    EXPECT_NE(m.find_image(c)->image.get(), shared);
    // The set keeps a deleted record's picture for the next one that shows it.
    m.delete_image(a);
    m.delete_image(b);
    EXPECT_EQ(m.ids_of(1), (std::vector{c}));
    EXPECT_TRUE(m.ids_of(2).empty());
    EXPECT_EQ(m.find_image(add_two_cell(m, 3, {1, 1, 2, 2}))->image.get(), shared);
}

TEST(table_image_manager, lookups_by_id) {
    table_image_manager m;
    const int32_t abs_id = add_absolute(m, 1, {30, 40, 10, 10});
    const int32_t cell_id = add_one_cell(m, 1, {5, 6});
    for (auto lookup : {std::function([&] { m.get_anchor_type(99); }), std::function([&] { m.get_absolute_coord(-1); }),
                        std::function([&] { m.get_anchor_cell(4); })})
        EXPECT_EQ(what_of<mta_error>(lookup), "mtads error: No such image id.");
    EXPECT_EQ(m.find_image(99), nullptr);
    EXPECT_EQ(m.get_anchor_cell(abs_id), coord_t{});
    EXPECT_EQ(last_message(), "This image is not anchored with cells.");
    EXPECT_EQ(m.get_absolute_coord(cell_id), coord_t{});
    EXPECT_EQ(last_message(), "This image is not absolutely anchored.");
    mark();
    m.delete_image(99);
    EXPECT_EQ(last_message(), "No such image id.");
    for (auto [grid, n] : {std::pair(1u, -1), std::pair(1u, 2), std::pair(2u, 0)}) EXPECT_EQ(m.get_image_id(grid, n), -1);
}

TEST(table_image_manager, removals_touch_one_sheet) {
    table_image_manager m;
    add_absolute(m, 1, {10, 20, 5, 5});
    add_absolute(m, 1, {10, 20, 7, 7});
    const int32_t elsewhere = add_absolute(m, 1, {20, 10, 5, 5});
    add_absolute(m, 2, {10, 20, 5, 5});
    add_one_cell(m, 1, {3, 4});
    add_two_cell(m, 1, {9, 9, 3, 4});  // stored from (3, 4)
    const int32_t to_corner = add_two_cell(m, 1, {1, 1, 3, 4});
    const int32_t background = set_background(m, 1);
    add_one_cell(m, 2, {3, 4});
    m.remove_absolute_image(1, 10, 20);
    m.remove_image(1, 3, 4);
    m.remove_image(1, 0, 0);  // where a background's unused corners sit
    std::set<int32_t> left;
    for (const auto& [id, record] : m) {
        if (record.grid_id == 1) left.insert(id);
    }
    EXPECT_EQ(left, (std::set{elsewhere, to_corner, background}));
    EXPECT_EQ(m.ids_of(1), (std::vector{elsewhere, to_corner, background}));
    EXPECT_EQ(m.image_num(2), 2);
    EXPECT_TRUE(m.holds(1, elsewhere));
    EXPECT_FALSE(m.holds(2, elsewhere));
    EXPECT_FALSE(m.holds(1, elsewhere + 100));
    m.remove_grid_images(1);
    EXPECT_TRUE(m.ids_of(1).empty());
    EXPECT_EQ(m.image_num(1), 0);
    EXPECT_EQ(m.image_num(2), 2);
    EXPECT_FALSE(m.holds(1, elsewhere));
    // A cell's pictures are found as they come and go.
    const int32_t again = add_one_cell(m, 1, {3, 4});
    m.delete_image(again);
    const int32_t last = add_one_cell(m, 1, {3, 4});
    m.remove_image(1, 3, 4);
    EXPECT_FALSE(m.holds(1, last));
    EXPECT_EQ(m.image_num(2), 2);
}

TEST(table_image_manager, sheets_add_from_their_own_threads) {
    table_image_manager m;
    std::vector<std::thread> sheets;
    for (uint32_t grid = 1; grid <= 4; ++grid) {
        sheets.emplace_back([&m, grid] {
            for (int i = 1; i <= 50; ++i) add_one_cell(m, grid, {1, i});
            set_background(m, grid);
        });
    }
    for (auto& t : sheets) t.join();
    std::set<int32_t> ids;
    for (const auto& [id, record] : m) ids.insert(id);
    EXPECT_EQ(ids.size(), 204u);
    EXPECT_EQ(*ids.rbegin(), 1 + 2 * 204);
    for (uint32_t grid = 1; grid <= 4; ++grid) EXPECT_EQ(m.image_num(grid), 51);
}
