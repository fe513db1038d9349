#include "mta/table/utils/cell_comment/comment_store.h"

#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"

#include <gtest/gtest.h>

using vex::mta::band_shift_t;
using vex::mta::comment_store_t;
using vex::mta::richtext_t;
using positions_t = std::vector<std::pair<int, int>>;

namespace {

richtext_t text(const char* s) {
    richtext_t t;
    vex::mta::richtext_segment_t seg;
    seg.text = s;
    t.append(seg);
    return t;
}

std::string first_text(const richtext_t* t) { return t && t->segments_num() ? t->segments()[0].text : "none"; }

} // namespace

TEST(comment_store, authors_comments_and_lookup) {
    vex::mta::Table t({}, 1048576, 16384);
    comment_store_t& store = t.comments();
    EXPECT_TRUE(store.add(5, 3, text("check"), "Ann"));
    EXPECT_TRUE(store.add(1, 1, text("first"), "Bo"));
    EXPECT_TRUE(store.add(1, 7, text("again"), "Ann"));
    EXPECT_EQ(store.authors(), (std::vector<std::string>{"Ann", "Bo"}));
    EXPECT_EQ(store.author_id(5, 3), 0);
    EXPECT_EQ(store.author_id(1, 1), 1);
    EXPECT_EQ(store.author_id(2, 2), -1);
    EXPECT_EQ(first_text(store.find(1, 7)), "again");
    EXPECT_EQ(store.find(2, 2), nullptr);
    EXPECT_EQ(store.positions(), (positions_t{{1, 1}, {1, 7}, {5, 3}}));  // row by row

    // A second comment on a cell replaces the first; no author names none.
    EXPECT_TRUE(store.add(5, 3, text("fixed"), ""));
    EXPECT_EQ(store.size(), 3u);
    EXPECT_EQ(first_text(store.find(5, 3)), "fixed");
    EXPECT_EQ(store.author_id(5, 3), -1);
    EXPECT_EQ(store.authors().size(), 2u);

    EXPECT_FALSE(store.add(0, 1, text("x"), "Cy"));
    EXPECT_FALSE(store.add(1, 16385, text("x"), "Cy"));
    EXPECT_EQ(store.authors().size(), 2u);
    EXPECT_TRUE(store.remove(1, 7));
    EXPECT_FALSE(store.remove(1, 7));
}

TEST(comment_store, positions_follow_moved_rows_and_columns) {
    comment_store_t store;
    store.add(2, 2, text("a"), "Ann");
    store.add(6, 2, text("b"), "Ann");
    store.add(6, 9, text("c"), "Ann");  // outside the band below
    store.shift(band_shift_t::inserting(true, 1, 5, 3, 2, 1048576));
    EXPECT_EQ(store.positions(), (positions_t{{2, 2}, {6, 9}, {8, 2}}));
    EXPECT_EQ(first_text(store.find(8, 2)), "b");

    store.shift(band_shift_t::deleting(true, 1, 16384, 5, 6, 1048576));  // "c" goes
    EXPECT_EQ(store.positions(), (positions_t{{2, 2}, {6, 2}}));
    store.shift(band_shift_t::inserting(false, 1, 1048576, 2, 3, 16384));
    EXPECT_EQ(store.positions(), (positions_t{{2, 5}, {6, 5}}));
    store.shift(band_shift_t::deleting(false, 3, 10, 1, 5, 16384));  // only rows 3..10
    EXPECT_EQ(store.positions(), (positions_t{{2, 5}}));
    store.shift(band_shift_t::inserting(true, 1, 16384, 1, 1048575, 1048576));  // pushed off the sheet
    EXPECT_TRUE(store.empty());
}

// A loaded shape waits for its comment (the drawing may come first), stays
// through an edit of the text, and moves with its cell keeping its offsets.
TEST(comment_store, loaded_shapes_follow_their_comments) {
    comment_store_t store;
    vex::mta::note_shape_t shape;
    shape.visible = true;
    shape.has_anchor = true;
    shape.anchor = {2, 8, 0, 16, 5, 20, 6, 4};
    store.set_loaded_shape(2, 2, shape);
    store.set_loaded_shape(9, 9, shape);  // no comment comes for it
    store.add(2, 2, text("a"), "Ann");
    store.add(2, 2, text("edited"), "Ann");
    store.forget_unplaced_shapes();
    store.add(9, 9, text("new"), "Bo");
    EXPECT_FALSE(store.entries().at({9, 9}).shape);
    store.shift(band_shift_t::inserting(true, 1, 16384, 1, 2, 1048576));
    store.shift(band_shift_t::inserting(false, 1, 1048576, 1, 1, 16384));
    const auto& moved = store.entries().at({4, 3}).shape;
    ASSERT_TRUE(moved);
    EXPECT_TRUE(moved->visible);
    EXPECT_EQ(moved->anchor, (std::array<int, 8>{3, 8, 2, 16, 6, 20, 8, 4}));
}
