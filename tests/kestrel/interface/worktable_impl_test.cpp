// The worktable handle behind a worksheet handle: its frame (ownership, lock,
// exceptions) and its cell-value slots over the sheet's cell store.
#include "kestrel/interface/worktable_impl.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "plover.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>

namespace {

std::string last_message() { return vex::get_run_message().str(); }
void set_marker() { vex::set_run_message("marker"); }

struct sheet_fixture : ::testing::Test {
    plover_document_t* doc = doc_create();
    vex::iWorksheet_impl* ws = nullptr;
    vex::iWorktable_impl* wt = nullptr;

    void SetUp() override {
        ASSERT_NE(doc, nullptr);
        ws = static_cast<vex::iWorksheet_impl*>(wb_add_worksheet(doc_get_workbook(doc), "Data"));
        ASSERT_NE(ws, nullptr);
        wt = ws->worktable();
        ASSERT_NE(wt, nullptr);
    }
    void TearDown() override { doc_release(doc); }
};

using worktable_frame = sheet_fixture;
using worktable_values = sheet_fixture;

} // namespace

TEST_F(worktable_frame, handle_works_on_the_sheets_own_table) {
    EXPECT_EQ(wt->owner(), ws);
    EXPECT_EQ(wt->sheet(), ws->worksheet()->worktable());
    EXPECT_EQ(wt->sheet()->name(), "Data");
    EXPECT_EQ(wt->tabledef_count(), 0);
    ASSERT_TRUE(wt->set_num(3, 2, 4.5));
    EXPECT_EQ(wt->sheet()->get_cell(3, 2).get_num(), 4.5);
}

TEST_F(worktable_frame, exceptions_become_messages_and_release_the_lock) {
    set_marker();
    EXPECT_EQ(wt->guarded(-1, []() -> int { throw std::runtime_error("boom"); }), -1);
    EXPECT_EQ(last_message(), "boom");
    EXPECT_EQ(wt->guarded(7, []() -> int { throw 3; }), 7);
    EXPECT_EQ(last_message(), "Unknown error occurred.");
    wt->guarded_void([] { throw std::logic_error("void boom"); });
    EXPECT_EQ(last_message(), "void boom");

    // Another thread gets the lock after the failures.
    auto other = std::async(std::launch::async, [&] { return wt->guarded(0, [] { return 5; }); });
    EXPECT_EQ(other.get(), 5);
    // The holding thread may take the lock again.
    EXPECT_EQ(wt->guarded(0, [&] { return wt->guarded(0, [] { return 6; }); }), 6);
}

TEST_F(worktable_values, coordinate_checks_come_first) {
    set_marker();
    EXPECT_EQ(wt->cell_type(0, 1), -1);
    EXPECT_EQ(wt->cell_type(1, 16385), -1);
    EXPECT_EQ(wt->get_text(1048577, 1), nullptr);
    EXPECT_FALSE(wt->get_boolean(0, 1));
    EXPECT_EQ(wt->get_datetime(1, 0), 0.0);
    EXPECT_EQ(wt->get_error(0, 0), -1);
    EXPECT_EQ(last_message(), "marker");
    EXPECT_EQ(wt->get_num(0, 1), 0.0);
    EXPECT_EQ(last_message(), "Illegal row or column number.");
    for (auto set : {+[](vex::iWorktable_impl* t) { return t->set_num(1, 0, 1); },
                     +[](vex::iWorktable_impl* t) { return t->set_boolean(1048577, 1, true); },
                     +[](vex::iWorktable_impl* t) { return t->set_datetime(0, 1, 1); },
                     +[](vex::iWorktable_impl* t) { return t->set_error(0, 1, 0); }}) {
        set_marker();
        EXPECT_FALSE(set(wt));
        EXPECT_EQ(last_message(), "Illegal row or column number.");
    }
    EXPECT_FALSE(wt->set_text(1, 16385, "x"));
    EXPECT_EQ(last_message(), "Row or column out of range.");
    EXPECT_FALSE(wt->set_text(1, 16385, nullptr));
    EXPECT_EQ(last_message(), "Row or column out of range.");
}

TEST_F(worktable_values, guarded_cells_keep_their_values) {
    vex::worktable_t& t = *wt->sheet();
    ASSERT_TRUE(t.merged_cells().merge({{0, 1, 1, 0, 0, 0}, {0, 1, 3, 0, 0, 0}}, false));
    EXPECT_FALSE(wt->set_text(1, 2, "x"));
    EXPECT_EQ(last_message(), "The cell has been merged and cannot set a value.");
    EXPECT_FALSE(wt->set_boolean(1, 3, true));
    EXPECT_EQ(last_message(), "The cell has been merged and cannot set a value.");
    EXPECT_EQ(wt->cell_type(1, 2), 0);
    EXPECT_EQ(wt->cell_type(1, 3), 0);
    EXPECT_TRUE(wt->set_num(1, 1, 1));

    ASSERT_NE(t.tabledefs().add(0, "T", {{0, 5, 2, 0, 0, 0}, {0, 8, 4, 0, 0, 0}}), nullptr);
    ASSERT_TRUE(t.set_text(5, 2, "Head", true));
    EXPECT_FALSE(wt->set_num(5, 2, 1));
    EXPECT_EQ(last_message(), "The cell is the header cell of table and cannot have a value set.");
    EXPECT_FALSE(wt->set_error(5, 2, 3));
    EXPECT_STREQ(wt->get_text(5, 2), "Head");
    EXPECT_TRUE(wt->set_num(6, 2, 1));
}

TEST_F(worktable_values, clear_contents_orders_its_corners) {
    for (int r = 1; r <= 6; ++r)
        for (int c = 1; c <= 6; ++c) ASSERT_TRUE(wt->set_num(r, c, r * 10 + c));
    wt->clear_contents(5, 5, 1, 1);
    EXPECT_EQ(wt->cell_type(1, 1), 0);
    EXPECT_EQ(wt->cell_type(5, 5), 0);
    EXPECT_EQ(wt->cell_type(5, 1), 0);
    EXPECT_EQ(wt->get_num(6, 6), 66.0);
    EXPECT_EQ(wt->get_num(1, 6), 16.0);
    wt->clear_contents(6, 1, 6, 6);
    EXPECT_EQ(wt->cell_type(6, 3), 0);
    EXPECT_EQ(wt->get_num(1, 6), 16.0);
    set_marker();
    wt->clear_contents(0, 0, -4, -4);
    EXPECT_EQ(wt->get_num(1, 6), 16.0);
    EXPECT_EQ(last_message(), "marker");
}

TEST_F(worktable_values, background_picture_paths) {
    wt->set_bg_picture(nullptr);
    EXPECT_EQ(last_message(), "The image file name cannot be empty.");
    wt->set_bg_picture("\xff\xfe.png");
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    set_marker();
    // A missing file is the component's to report; the handle stays usable.
    wt->set_bg_picture("/nonexistent/plover/none.png");
    EXPECT_TRUE(wt->set_num(1, 1, 1));
}
