// Table handles of a worktable handle: what they do once their table is gone,
// the texts only the slots see (the exports refuse bad UTF-8 earlier), and the
// defined names a worktable handle reaches.
#include "kestrel/interface/tabledef_impl.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "plover.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

namespace {

std::string last_message() { return vex::get_run_message().str(); }

constexpr const char* gone = "The table no longer exists.";
constexpr const char* bad_text = "bad \xC3(";

struct table_fixture : ::testing::Test {
    plover_document_t* doc = doc_create();
    vex::iWorktable_impl* wt = nullptr;

    void SetUp() override {
        auto* ws = static_cast<vex::iWorksheet_impl*>(wb_add_worksheet(doc_get_workbook(doc), "Data"));
        ASSERT_NE(ws, nullptr);
        wt = ws->worktable();
    }
    void TearDown() override { doc_release(doc); }

    // Every slot of a handle whose table went fails the same way.
    static void expect_gone(vex::iTabledef* td) {
        int row = -7;
        td->range(&row, nullptr, nullptr, nullptr);
        EXPECT_EQ(last_message(), gone);
        EXPECT_EQ(row, -7);
        EXPECT_EQ(td->display_name(), nullptr);
        EXPECT_EQ(td->col_name(0), nullptr);
        EXPECT_FALSE(td->set_col_name(0, "x"));
        EXPECT_FALSE(td->insert_col(0, "x"));
        td->set_preset_style(3);
        EXPECT_EQ(last_message(), gone);
        td->delete_col_by_index(0);
        EXPECT_EQ(last_message(), gone);
        td->set_totals_row_func(0, 1);
        EXPECT_EQ(last_message(), gone);
        EXPECT_EQ(td->totals_row_func(0), 0);
        EXPECT_FALSE(td->row_strips());
        EXPECT_EQ(last_message(), gone);
        vex::set_run_message("marker");
        EXPECT_EQ(td->name(), nullptr);
        EXPECT_EQ(last_message(), gone);
    }
};

using table_handles = table_fixture;
using worktable_names = table_fixture;

} // namespace

TEST_F(table_handles, a_handle_outlives_its_table_safely) {
    vex::iTabledef* cleared = wt->add_tabledef("Cleared", 1, 1, 3, 2);
    vex::iTabledef* renamed = wt->add_tabledef("Renamed", 10, 1, 12, 2);
    vex::iTabledef* deleted = wt->add_tabledef("Deleted", 20, 1, 22, 2);
    vex::iTabledef* rows = wt->add_tabledef("Rows", 30, 1, 32, 2);
    ASSERT_TRUE(cleared && renamed && deleted && rows);

    // The sheet lets a table go when all its cells are cleared or deleted;
    // the handle learns it on its next call.
    wt->clear_contents(1, 1, 3, 2);
    expect_gone(cleared);
    ASSERT_TRUE(wt->sheet()->shift_range_up(1, 16384, 30, 32));
    expect_gone(rows);

    vex::iTabledef* successor = wt->set_tabledef_name(0, "Successor");
    ASSERT_NE(successor, nullptr);
    EXPECT_NE(successor, renamed);
    expect_gone(renamed);
    int row = 0;
    successor->range(&row, nullptr, nullptr, nullptr);
    EXPECT_EQ(row, 10);

    ASSERT_TRUE(wt->delete_tabledef("Deleted"));
    expect_gone(deleted);
    // A new table under the old name does not revive the old handle.
    vex::iTabledef* again = wt->add_tabledef("Deleted", 20, 1, 22, 3);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, deleted);
    expect_gone(deleted);
    EXPECT_STREQ(again->col_name(2), "Column3");
    EXPECT_EQ(wt->tabledef_count(), 2);
    EXPECT_EQ(wt->get_tabledef(1), again);
}

TEST_F(table_handles, a_sheet_handle_adopts_the_tables_its_sheet_holds) {
    vex::worktable_t& sheet = *wt->sheet();
    ASSERT_NE(sheet.add_tabledef("First", {{0, 1, 1, 0, 0, 0}, {0, 3, 2, 0, 0, 0}}, nullptr), nullptr);
    ASSERT_NE(sheet.add_tabledef("Second", {{0, 5, 1, 0, 0, 0}, {0, 7, 2, 0, 0, 0}}, nullptr), nullptr);
    vex::iWorktable_impl fresh(wt->owner(), &sheet);
    ASSERT_EQ(fresh.tabledef_count(), 2);
    EXPECT_STREQ(fresh.get_tabledef(1)->name(), "Second");
    EXPECT_EQ(fresh.get_tabledef_by_name("First"), fresh.get_tabledef(0));
    // Tables the store took without the handle get one when asked for.
    ASSERT_NE(sheet.tabledefs().add(0, "Third", {{0, 9, 1, 0, 0, 0}, {0, 10, 1, 0, 0, 0}}), nullptr);
    EXPECT_EQ(wt->tabledef_count(), 3);
    ASSERT_NE(wt->get_tabledef(2), nullptr);
    EXPECT_STREQ(wt->get_tabledef(2)->name(), "Third");
}

TEST_F(table_handles, slots_check_their_texts) {
    vex::iTabledef* td = wt->add_tabledef("Sales", 1, 1, 3, 2);
    ASSERT_NE(td, nullptr);
    const auto refused = [&](auto call) {
        vex::set_run_message("marker");
        call();
        EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    };
    refused([&] { td->set_display_name(bad_text); });
    refused([&] { td->set_comment(bad_text); });
    refused([&] { EXPECT_FALSE(td->set_col_name(0, bad_text)); });
    refused([&] { EXPECT_FALSE(td->insert_col(0, bad_text)); });
    refused([&] { td->delete_col(bad_text); });
    refused([&] { td->set_totals_row_label(bad_text); });
    refused([&] { td->set_style_name(bad_text); });
    refused([&] { EXPECT_EQ(wt->add_tabledef(bad_text, 10, 1, 12, 1), nullptr); });
    refused([&] { EXPECT_EQ(wt->get_tabledef_by_name(bad_text), nullptr); });
    refused([&] { EXPECT_EQ(wt->set_tabledef_name(0, bad_text), nullptr); });
    EXPECT_STREQ(td->display_name(), "Sales");
    EXPECT_EQ(td->comment(), nullptr);
}

TEST_F(table_handles, table_slots_wait_for_the_sheets_lock) {
    vex::iTabledef* td = wt->add_tabledef("Sales", 1, 1, 3, 2);
    ASSERT_NE(td, nullptr);
    std::promise<void> holding;
    std::promise<void> release;
    auto holder = std::async(std::launch::async, [&] {
        wt->guarded_void([&] {
            holding.set_value();
            release.get_future().wait();
            // The other thread's change waits for this lock.
            EXPECT_STREQ(td->display_name(), "Sales");
        });
    });
    holding.get_future().wait();
    auto renamer = std::async(std::launch::async, [&] { td->set_display_name("Renamed"); });
    release.set_value();
    holder.get();
    renamer.get();
    EXPECT_STREQ(td->display_name(), "Renamed");
}

TEST_F(worktable_names, names_of_any_scope_are_found) {
    ASSERT_TRUE(wt->set_defined_name("wide", "Data!$A$1", nullptr));
    ASSERT_TRUE(wt->set_defined_name("own", "Data!$A$1", "Data"));
    EXPECT_TRUE(wt->defined_name_exists("wide"));
    EXPECT_TRUE(wt->defined_name_exists("own"));
    EXPECT_FALSE(wt->defined_name_exists("Own"));
    EXPECT_FALSE(wt->defined_name_exists(nullptr));
    vex::set_run_message("marker");
    EXPECT_FALSE(wt->defined_name_exists(bad_text));
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_FALSE(wt->set_defined_name(bad_text, "Data!$A$1", nullptr));
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_FALSE(wt->set_defined_name("x", bad_text, nullptr));
    EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
    EXPECT_EQ(wt->defined_name_num(), 2);
    bool local = false;
    EXPECT_STREQ(wt->get_defined_name(1, &local), "own");
    EXPECT_TRUE(local);
    EXPECT_STREQ(wt->get_local_name(1), "Data");
}
