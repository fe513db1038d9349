#include "mta/table/utils/drawing/image/table_image.h"

#include "errors.h"
#include "run_message.h"
#include "image_fixtures.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <thread>

using namespace fixtures;
using vex::coord_t;
using vex::mta::image::absolute_anchor_t;
using vex::mta::image::image_anchor_type_enum;
using vex::mta::image::one_cell_anchor_t;
using vex::mta::image::table_image_manager;
using vex::mta::image::two_cell_anchor_t;

namespace {

const bytes_t picture = png(200, 100);
constexpr auto two_cell = image_anchor_type_enum::two_cell;

int32_t add_absolute(table_image_manager& m, uint32_t grid, absolute_anchor_t at, const bytes_t& b = picture) {
    return m.add_absolute_image_from_memory(grid, b.data(), b.size(), at);
}
int32_t add_one_cell(table_image_manager& m, uint32_t grid, one_cell_anchor_t at, const bytes_t& b = picture) {
    return m.add_one_cell_image_from_memory(grid, b.data(), b.size(), at);
}
int32_t add_two_cell(table_image_manager& m, uint32_t grid, two_cell_anchor_t at, const bytes_t& b = picture) {
    return m.add_two_cell_image_from_memory(grid, two_cell, b.data(), b.size(), at);
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
    EXPECT_EQ(m.find_image(3), nullptr);

    // A refused add does not move the counter.
    EXPECT_EQ(add_absolute(m, 1, {-1, 0}), -1);
    EXPECT_EQ(set_background(m, 1), 9);
}

TEST(table_image_manager, absolute_sizes_come_from_the_picture_times_the_scale) {
    const struct {
        absolute_anchor_t at;
        int32_t width, height;  // stored; -1 refused
    } cases[] = {
        {{5, 6, 0, 0, 0.5}, 100, 50},
        {{0, 0, 0, 0, 1.0}, 200, 100},
        {{0, 0, 0, 0, 0.333}, 66, 33},  // truncated
        {{0, 0, 40, 30, 0.0}, 40, 30},  // given sizes need no scale
        {{0, 0, 40, 30, 3.0}, 40, 30},
        {{0, 0, 0, 10, 1.0}, -1, -1},
        {{0, 0, 10, 0, 1.0}, -1, -1},
        {{0, 0, 0, 0, 0.0}, -1, -1},
        {{-1, 0, 10, 10, 1.0}, -1, -1},
        {{0, -1, 10, 10, 1.0}, -1, -1},
        {{0, 0, -10, 10, 1.0}, -1, -1},
        {{0, 0, 10, 10, -1.0}, -1, -1},
        {{0, 0, 0, 0, std::nan("")}, -1, -1},
        {{0, 0, 0, 0, std::numeric_limits<double>::infinity()}, -1, -1},
        {{0, 0, 0, 0, 2e7}, -1, -1},  // beyond 32 bits
    };
    for (const auto& c : cases) {
        table_image_manager m;
        mark();
        const int32_t id = add_absolute(m, 1, c.at);
        if (c.width < 0) {
            EXPECT_EQ(id, -1) << c.at.width << "x" << c.at.height << " at " << c.at.scale;
            EXPECT_EQ(last_message(), "Incorrect image dimensions or scaling factor.");
            EXPECT_EQ(m.image_num(1), 0);
            continue;
        }
        ASSERT_EQ(id, 3);
        const auto& stored = m.find_image(id)->absolute;
        EXPECT_EQ(stored.width, c.width) << c.at.scale;
        EXPECT_EQ(stored.height, c.height) << c.at.scale;
        EXPECT_EQ(stored.scale, c.at.scale);
        EXPECT_EQ(m.get_absolute_coord(id), (coord_t{0, c.at.y, c.at.x}));
        EXPECT_EQ(last_message(), "untouched");
    }
}

TEST(table_image_manager, one_cell_anchors_lie_on_the_sheet) {
    const struct {
        one_cell_anchor_t at;
        bool accepted;
    } cases[] = {
        {{1, 1, 7, 8, 0, 0, 0.5}, true},
        {{1048576, 16384, 0, 0, 10, 10, 1.0}, true},
        {{0, 1, 0, 0, 10, 10, 1.0}, false},
        {{1, 0, 0, 0, 10, 10, 1.0}, false},
        {{1048577, 1, 0, 0, 10, 10, 1.0}, false},
        {{1, 16385, 0, 0, 10, 10, 1.0}, false},
        {{1, 1, 0, 0, 10, 0, 1.0}, false},
        {{1, 1, 0, 0, 0, 0, 0.0}, false},
        {{1, 1, 0, 0, 10, 10, -0.5}, false},
    };
    for (const auto& c : cases) {
        table_image_manager m;
        mark();
        const int32_t id = add_one_cell(m, 4, c.at);
        EXPECT_EQ(id > 0, c.accepted) << c.at.row << "," << c.at.col;
        if (!c.accepted) {
            EXPECT_EQ(last_message(), "Incorrect image size or scaling factor.");
            continue;
        }
        EXPECT_EQ(m.get_anchor_type(id), image_anchor_type_enum::one_cell);
        EXPECT_EQ(m.get_anchor_cell(id), (coord_t{0, c.at.row, c.at.col})) << "reported as stored, 1-based";
        const auto& stored = m.find_image(id)->one_cell;
        EXPECT_EQ(stored.col_offset, c.at.col_offset);
        EXPECT_EQ(stored.row_offset, c.at.row_offset);
    }
    table_image_manager m;
    const auto& scaled = m.find_image(add_one_cell(m, 4, {2, 3, 0, 0, 0, 0, 0.5}))->one_cell;
    EXPECT_EQ(scaled.width, 100);
    EXPECT_EQ(scaled.height, 50);
}

TEST(table_image_manager, two_cell_corners_are_stored_top_left_first) {
    table_image_manager m;
    const int32_t id = m.add_two_cell_image_from_memory(1, image_anchor_type_enum::one_cell, picture.data(),
                                                         picture.size(), {10, 8, 2, 3, 11, 12, 13, 14});
    ASSERT_EQ(id, 3);
    const auto* r = m.find_image(id);
    EXPECT_EQ(r->edit_as, image_anchor_type_enum::one_cell);
    const auto& a = r->two_cell;
    EXPECT_EQ((std::vector<int32_t>{a.from_row, a.from_col, a.to_row, a.to_col, a.from_col_offset,
                                    a.from_row_offset, a.to_col_offset, a.to_row_offset}),
              (std::vector<int32_t>{2, 3, 10, 8, 13, 14, 11, 12}));
    EXPECT_EQ(m.get_anchor_cell(id), (coord_t{0, 2, 3}));

    for (two_cell_anchor_t bad : {two_cell_anchor_t{0, 1, 5, 5}, two_cell_anchor_t{1, 1, 1048577, 5},
                                  two_cell_anchor_t{1, 16385, 1, 1}, two_cell_anchor_t{-3, 1, 2, 2}}) {
        mark();
        EXPECT_EQ(add_two_cell(m, 1, bad), -1);
        EXPECT_EQ(last_message(), "Incorrect cell parameters for inserting image.");
    }
    EXPECT_EQ(m.image_num(1), 1);
}

TEST(table_image_manager, loading_failures_are_recorded) {
    table_image_manager m;
    const bytes_t text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '!', '!', '!'};
    const struct {
        const char* name;
        std::function<int32_t()> add;
        const char* message;
    } cases[] = {
        {"empty name", [&] { return m.add_absolute_image_from_file(1, "", {}); },
         "The image file name cannot be empty."},
        {"missing file", [&] { return m.add_one_cell_image_from_file(1, "/nonexistent/p.png", {1, 1}); },
         "Failed to load file: /nonexistent/p.png"},
        {"two-cell from a missing file",
         [&] { return m.add_two_cell_image_from_file(1, two_cell, "/nonexistent/q", {1, 1, 1, 1}); },
         "Failed to load file: /nonexistent/q"},
        {"null bytes", [&] { return m.add_absolute_image_from_memory(1, nullptr, 5, {}); },
         "The image cannot be empty."},
        {"no bytes", [&] { return m.add_one_cell_image_from_memory(1, text.data(), 0, {1, 1}); },
         "The image cannot be empty."},
        {"not a picture", [&] { return add_two_cell(m, 1, {1, 1, 1, 1}, text); }, "Failed to load memory image."},
        {"background from a missing file", [&] { return m.set_background_image_from_file(1, "/nonexistent/bg"); },
         "Failed to load file: /nonexistent/bg"},
        {"background not a picture", [&] { return set_background(m, 1, text); }, "Failed to load memory image."},
        // A background without a name or bytes fails without a word.
        {"background without a name", [&] { return m.set_background_image_from_file(1, ""); }, "untouched"},
        {"background without bytes", [&] { return m.set_background_image_from_memory(1, nullptr, 4); }, "untouched"},
        {"background of 0 bytes", [&] { return m.set_background_image_from_memory(1, text.data(), 0); },
         "untouched"},
    };
    for (const auto& c : cases) {
        mark();
        EXPECT_EQ(c.add(), -1) << c.name;
        EXPECT_EQ(last_message(), c.message) << c.name;
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
    ASSERT_NE(m.find_image(second), nullptr);
    EXPECT_EQ(m.find_image(second)->background, 1u);
    EXPECT_EQ(m.get_anchor_type(second), image_anchor_type_enum::two_cell);
    EXPECT_EQ(m.image_num(1), 2) << "the background counts";
    EXPECT_EQ(m.get_image_id(1, 0), picture_id);
    EXPECT_EQ(m.get_image_id(1, 1), second);
    EXPECT_NE(m.find_image(other_sheet), nullptr) << "another sheet keeps its own";
    EXPECT_EQ(m.image_num(2), 1);
}

TEST(table_image_manager, equal_pictures_share_one_image) {
    table_image_manager m;
    const int32_t a = add_one_cell(m, 1, {1, 1});
    const int32_t b = add_absolute(m, 2, {}, bytes_t(picture));
    const int32_t c = add_one_cell(m, 1, {1, 1}, png(200, 101));
    EXPECT_EQ(m.find_image(a)->image.get(), m.find_image(b)->image.get());
    EXPECT_NE(m.find_image(a)->image.get(), m.find_image(c)->image.get());
    EXPECT_EQ(m.find_image(a)->image.use_count(), 3) << "two records and the set of pictures";

    // The set keeps a deleted record's picture for the next one that shows it.
    const auto* shared = m.find_image(a)->image.get();
    m.delete_image(a);
    m.delete_image(b);
    EXPECT_EQ(m.find_image(add_two_cell(m, 3, {1, 1, 2, 2}))->image.get(), shared);
}

TEST(table_image_manager, lookups_by_id) {
    table_image_manager m;
    const int32_t abs_id = add_absolute(m, 1, {30, 40, 10, 10});
    const int32_t cell_id = add_one_cell(m, 1, {5, 6});

    EXPECT_EQ(what_of<mta_error>([&] { m.get_anchor_type(99); }), "mtads error: No such image id.");
    EXPECT_EQ(what_of<mta_error>([&] { m.get_absolute_coord(-1); }), "mtads error: No such image id.");
    EXPECT_EQ(what_of<mta_error>([&] { m.get_anchor_cell(4); }), "mtads error: No such image id.");
    EXPECT_EQ(m.find_image(99), nullptr);

    mark();
    EXPECT_EQ(m.get_anchor_cell(abs_id), coord_t{});
    EXPECT_EQ(last_message(), "This image is not anchored with cells.");
    EXPECT_EQ(m.get_absolute_coord(cell_id), coord_t{});
    EXPECT_EQ(last_message(), "This image is not absolutely anchored.");

    mark();
    m.delete_image(99);
    EXPECT_EQ(last_message(), "No such image id.");

    for (int32_t n : {-1, 2}) EXPECT_EQ(m.get_image_id(1, n), -1) << n;
    EXPECT_EQ(m.get_image_id(2, 0), -1);
}

TEST(table_image_manager, removals_touch_one_sheet) {
    table_image_manager m;
    const int32_t a1 = add_absolute(m, 1, {10, 20, 5, 5});
    add_absolute(m, 1, {10, 20, 7, 7});
    const int32_t a1_elsewhere = add_absolute(m, 1, {20, 10, 5, 5});
    const int32_t a2 = add_absolute(m, 2, {10, 20, 5, 5});
    m.remove_absolute_image(1, 10, 20);
    EXPECT_EQ(m.image_num(1), 1);
    EXPECT_NE(m.find_image(a1_elsewhere), nullptr);
    EXPECT_NE(m.find_image(a2), nullptr);
    EXPECT_EQ(m.find_image(a1), nullptr);

    table_image_manager cells;
    add_one_cell(cells, 1, {3, 4});
    add_two_cell(cells, 1, {9, 9, 3, 4});  // stored from (3, 4)
    const int32_t to_corner = add_two_cell(cells, 1, {1, 1, 3, 4});
    const int32_t background = set_background(cells, 1);
    const int32_t other_sheet = add_one_cell(cells, 2, {3, 4});
    cells.remove_image(1, 3, 4);
    cells.remove_image(1, 0, 0);  // where a background's unused corners sit
    EXPECT_EQ(cells.image_num(1), 2);
    EXPECT_NE(cells.find_image(to_corner), nullptr);
    EXPECT_NE(cells.find_image(background), nullptr);
    EXPECT_NE(cells.find_image(other_sheet), nullptr);

    cells.remove_grid_images(1);
    EXPECT_EQ(cells.image_num(1), 0);
    EXPECT_EQ(cells.image_num(2), 1);
    int walked = 0;
    for (const auto& [id, record] : cells) walked += id == other_sheet && record.grid_id == 2;
    EXPECT_EQ(walked, 1);
}

TEST(table_image_manager, sheets_add_from_their_own_threads) {
    table_image_manager m;
    constexpr int per_sheet = 50;
    std::vector<std::thread> sheets;
    std::vector<std::vector<int32_t>> ids(4);
    for (uint32_t grid = 0; grid < 4; ++grid) {
        sheets.emplace_back([&, grid] {
            for (int i = 0; i < per_sheet; ++i) ids[grid].push_back(add_one_cell(m, grid + 1, {1, i + 1}));
            set_background(m, grid + 1);
        });
    }
    for (auto& t : sheets) t.join();
    std::set<int32_t> all;
    for (const auto& v : ids) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), 4u * per_sheet);
    EXPECT_EQ(all.count(-1), 0u);
    for (uint32_t grid = 1; grid <= 4; ++grid) EXPECT_EQ(m.image_num(grid), per_sheet + 1);
}
