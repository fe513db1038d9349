// The sheet list and the workbook settings as a host reaches them through the
// wb_ exports.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using api_test::book_t;

std::string names(plover_workbook_t* wb) {
    std::string out;
    for (unsigned i = 0; i < wb_sheet_count(wb); ++i) {
        const char* n = wb_sheet_name(wb, int(i));
        out += n ? n : "(null)";
        out += ',';
    }
    return out;
}

} // namespace

TEST(workbook_sheets, new_book_has_none_and_default_names_follow) {
    book_t b;
    ASSERT_NE(b.wb, nullptr);
    EXPECT_EQ(wb_sheet_count(b.wb), 0u);
    EXPECT_EQ(wb_sheet_name(b.wb, 0), nullptr);
    EXPECT_EQ(wb_get_sheet(b.wb, 0), nullptr);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(wb_get_active_sheet(b.wb), -1);
    EXPECT_STREQ(run_msg(), "There are no sheets yet.");
    EXPECT_EQ(wb_set_active_sheet(b.wb, 0), 0);
    EXPECT_STREQ(run_msg(), "Invalid sheet tab or no sheet yet available.");

    plover_worksheet_t* s1 = wb_add_worksheet(b.wb, nullptr);
    plover_worksheet_t* s2 = wb_add_worksheet(b.wb, "");
    ASSERT_NE(s1, nullptr);
    ASSERT_NE(s2, nullptr);
    EXPECT_EQ(names(b.wb), "Sheet1,Sheet2,");
    EXPECT_EQ(wb_get_sheet(b.wb, 0), s1);
    EXPECT_EQ(wb_get_sheet(b.wb, 1), s2);
    EXPECT_EQ(wb_get_sheet(b.wb, 2), nullptr);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(wb_get_sheet(b.wb, -1), nullptr);
    EXPECT_EQ(wb_sheet_type(b.wb, 0), 1);
    EXPECT_EQ(wb_sheet_type(b.wb, 2), 0);
    EXPECT_EQ(wb_sheet_type(b.wb, -1), 0);

    EXPECT_EQ(wb_add_worksheet(b.wb, "Sheet1"), nullptr);
    EXPECT_STREQ(run_msg(), "Duplicate sheet name.");
    EXPECT_EQ(wb_add_worksheet(b.wb, std::string(32, 'x').c_str()), nullptr);
    EXPECT_STREQ(run_msg(), "Worksheet name cannot contain more than 31 characters.");
    // 31 characters of two bytes each pass.
    std::string wide;
    for (int i = 0; i < 31; ++i) wide += "\xC3\xA9";
    EXPECT_NE(wb_add_worksheet(b.wb, wide.c_str()), nullptr);
    EXPECT_EQ(wb_sheet_count(b.wb), 3u);
}

TEST(workbook_sheets, insert_shift_and_delete_keep_names_and_handles_in_step) {
    book_t b;
    plover_worksheet_t* a = wb_add_worksheet(b.wb, "A");
    plover_worksheet_t* c = wb_add_worksheet(b.wb, "C");
    plover_worksheet_t* bb = wb_insert_worksheet(b.wb, 1, "B");
    plover_worksheet_t* d = wb_insert_worksheet(b.wb, 99, "D");
    ASSERT_TRUE(a && bb && c && d);
    EXPECT_EQ(names(b.wb), "A,B,C,D,");

    wb_shift_sheet(b.wb, 1, 3);
    EXPECT_EQ(names(b.wb), "A,C,D,B,");
    EXPECT_EQ(wb_get_sheet(b.wb, 3), bb);
    wb_shift_sheet(b.wb, 3, 1);
    EXPECT_EQ(names(b.wb), "A,B,C,D,");
    wb_shift_sheet(b.wb, 3, 1);
    EXPECT_EQ(names(b.wb), "A,D,B,C,");
    wb_shift_sheet(b.wb, 0, 0);
    wb_shift_sheet(b.wb, 0, 4);
    wb_shift_sheet(b.wb, -1, 2);
    EXPECT_EQ(names(b.wb), "A,D,B,C,");
    EXPECT_EQ(wb_get_sheet(b.wb, 1), d);

    wb_delete_sheet(b.wb, 2);
    EXPECT_EQ(names(b.wb), "A,D,C,");
    EXPECT_EQ(wb_get_sheet(b.wb, 2), c);
    wb_delete_sheet(b.wb, 3);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    wb_delete_sheet(b.wb, -1);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(wb_sheet_count(b.wb), 3u);
    // The deleted name is free again and gets a new handle.
    plover_worksheet_t* again = wb_add_worksheet(b.wb, "B");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(names(b.wb), "A,D,C,B,");
    // Deleting the active last sheet moves the tab back inside the list.
    ASSERT_EQ(wb_set_active_sheet(b.wb, 3), 1);
    wb_delete_sheet(b.wb, 3);
    EXPECT_EQ(wb_get_active_sheet(b.wb), 2);
}

// Each row edits Sheet1..Sheet4, then the book is asked what its sheet lookup
// knows: each handle's name and place, the next default name, and a name
// taken in another case.
TEST(workbook_sheets, the_sheet_lookup_follows_every_edit_of_the_list) {
    using edit_t = std::function<void(plover_workbook_t*)>;
    const struct {
        const char* what;
        edit_t edit;
        const char* names;
        const char* next;   // the next default name
        const char* taken;  // refused as a duplicate in another case
    } rows[] = {
        {"inserted in the middle", [](auto* wb) { wb_insert_worksheet(wb, 1, "Mid"); },
         "Sheet1,Mid,Sheet2,Sheet3,Sheet4,", "Sheet5", "MID"},
        {"the first deleted", [](auto* wb) { wb_delete_sheet(wb, 0); }, "Sheet2,Sheet3,Sheet4,", "Sheet5", "SHEET2"},
        {"the last deleted", [](auto* wb) { wb_delete_sheet(wb, 3); }, "Sheet1,Sheet2,Sheet3,", "Sheet4", "sheet3"},
        {"moved to the front", [](auto* wb) { wb_shift_sheet(wb, 3, 0); }, "Sheet4,Sheet1,Sheet2,Sheet3,", "Sheet5",
         "SHEET4"},
        {"renamed to a higher number", [](auto* wb) { wb_rename_sheet(wb, 1, "Sheet9"); },
         "Sheet1,Sheet9,Sheet3,Sheet4,", "Sheet10", "sheet9"},
        {"renamed in another case, then moved and deleted",
         [](auto* wb) {
             wb_rename_sheet(wb, 3, "SHEET4");
             wb_shift_sheet(wb, 0, 2);
             wb_delete_sheet(wb, 1);
         },
         "Sheet2,Sheet1,SHEET4,", "Sheet3", "sheet4"},
        {"one deleted, one inserted in its stead, then moved and deleted by turns",
         [](auto* wb) {
             wb_delete_sheet(wb, 1);
             wb_insert_worksheet(wb, 0, "First");
             wb_shift_sheet(wb, 3, 1);
             wb_delete_sheet(wb, 0);
             wb_insert_worksheet(wb, 3, "Last");
         },
         "Sheet4,Sheet1,Sheet3,Last,", "Sheet5", "LAST"},
    };
    for (const auto& r : rows) {
        book_t b;
        for (int i = 0; i < 4; ++i) wb_add_worksheet(b.wb, nullptr);
        r.edit(b.wb);
        EXPECT_EQ(names(b.wb), r.names) << r.what;
        for (unsigned i = 0; i < wb_sheet_count(b.wb); ++i)
            EXPECT_STREQ(ws_name(wb_get_sheet(b.wb, int(i))), wb_sheet_name(b.wb, int(i))) << r.what;
        EXPECT_EQ(wb_add_worksheet(b.wb, r.taken), nullptr) << r.what;
        plover_worksheet_t* added = wb_add_worksheet(b.wb, nullptr);
        ASSERT_NE(added, nullptr) << r.what;
        EXPECT_STREQ(ws_name(added), r.next) << r.what;
        // A span over the list finds its ends by name and the sheets between by place.
        const int count = int(wb_sheet_count(b.wb));
        const std::string span = std::string("SUM(") + wb_sheet_name(b.wb, 0) + ":" + wb_sheet_name(b.wb, count - 1) + "!A1)";
        plover_worksheet_t* out = wb_add_worksheet(b.wb, "Out");
        ASSERT_EQ(ws_set_formula(out, 1, 1, span.c_str()), 1) << r.what << ": " << run_msg();
        ASSERT_EQ(ws_set_formula_num(out, 1, 1, 42), 1) << r.what;
        ws_set_num(out, 1, 2, 1);
        EXPECT_EQ(ws_cell_type(out, 1, 1), CELLTYPE_NUMBER) << r.what << ": a cell outside the span";
        ws_set_num(wb_get_sheet(b.wb, 1), 1, 1, 7);
        EXPECT_NE(ws_cell_type(out, 1, 1), CELLTYPE_NUMBER) << r.what << ": a sheet inside the span";
    }
}

// A text kept unparsed follows a rename, and then the sheet's delete.
TEST(workbook_sheets, a_text_naming_a_renamed_sheet_loses_it_with_the_sheet) {
    book_t b;
    plover_worksheet_t* out = wb_add_worksheet(b.wb, "Out");
    wb_add_worksheet(b.wb, "Sheet2");
    ASSERT_EQ(ws_set_formula(out, 1, 1, "Sheet2!A1&\"x\""), 1) << run_msg();
    wb_rename_sheet(b.wb, 1, "Data");
    EXPECT_STREQ(ws_get_formula_expr(out, 1, 1), "Data!A1&\"x\"");
    wb_delete_sheet(b.wb, 1);
    EXPECT_STREQ(ws_get_formula_expr(out, 1, 1), "#REF!&\"x\"");
}

// A sheet's name pointer outlives whatever happens to the other sheets.
TEST(workbook_sheets, name_pointers_survive_changes_to_other_sheets) {
    book_t b;
    plover_worksheet_t* keep = wb_add_worksheet(b.wb, "Keep");
    wb_add_worksheet(b.wb, "Other");
    ASSERT_NE(keep, nullptr);
    const char* from_sheet = ws_name(keep);
    const char* from_book = wb_sheet_name(b.wb, 0);
    for (int i = 0; i < 40; ++i) wb_add_worksheet(b.wb, nullptr);
    wb_insert_worksheet(b.wb, 0, "Front");
    wb_shift_sheet(b.wb, 1, 30);
    wb_delete_sheet(b.wb, 0);
    wb_delete_sheet(b.wb, 0);
    EXPECT_STREQ(from_sheet, "Keep");
    EXPECT_STREQ(from_book, "Keep");
    EXPECT_STREQ(ws_name(keep), "Keep");
}

// The same address, not only the same text: a pointer into a moved sheet
// record would read freed memory that may still say "Keep".
TEST(workbook_sheets, a_name_pointer_stays_the_same_address) {
    book_t b;
    plover_worksheet_t* keep = wb_add_worksheet(b.wb, "Keep");
    ASSERT_NE(keep, nullptr);
    const char* name = ws_name(keep);
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"add", [&] { for (int i = 0; i < 40; ++i) wb_add_worksheet(b.wb, nullptr); }},
        {"insert", [&] { wb_insert_worksheet(b.wb, 0, "Front"); }},
        {"move", [&] { wb_shift_sheet(b.wb, 1, 30); }},
        {"delete", [&] { wb_delete_sheet(b.wb, 0); wb_delete_sheet(b.wb, 0); }},
    };
    for (const auto& [what, change] : changes) {
        change();
        EXPECT_EQ(ws_name(keep), name) << what;
        EXPECT_STREQ(name, "Keep") << what;
    }
}

TEST(workbook_sheets, rename_keeps_the_handle_and_frees_the_old_name) {
    book_t b;
    plover_worksheet_t* a = wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    wb_rename_sheet(b.wb, 0, "First");
    EXPECT_EQ(wb_get_sheet(b.wb, 0), a);
    EXPECT_STREQ(wb_sheet_name(b.wb, 0), "First");
    plover_worksheet_t* fresh = wb_add_worksheet(b.wb, "A");
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, a);
    EXPECT_EQ(names(b.wb), "First,B,A,");

    wb_rename_sheet(b.wb, 0, nullptr);
    EXPECT_STREQ(run_msg(), "The new name can not be empty.");
    wb_rename_sheet(b.wb, 0, "");
    EXPECT_STREQ(run_msg(), "The new name can not be empty.");
    wb_rename_sheet(b.wb, 3, "X");
    EXPECT_STREQ(run_msg(), "Sheet index out of range.");
    wb_rename_sheet(b.wb, 0, "B");
    EXPECT_STREQ(run_msg(), "Duplicate new sheet name.");
    wb_rename_sheet(b.wb, 0, "First");
    EXPECT_STREQ(run_msg(), "Duplicate new sheet name.");
    wb_rename_sheet(b.wb, 0, std::string(32, 'y').c_str());
    EXPECT_STREQ(run_msg(), "Worksheet name cannot contain more than 31 characters.");
    wb_rename_sheet(b.wb, 0, "bad \xC3(");
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_EQ(names(b.wb), "First,B,A,");
    EXPECT_EQ(wb_get_sheet(b.wb, 0), a);
    // Renamed twice, still the one handle; the first name is free.
    wb_rename_sheet(b.wb, 0, "Again");
    EXPECT_EQ(wb_get_sheet(b.wb, 0), a);
    EXPECT_NE(wb_add_worksheet(b.wb, "First"), nullptr);
}

// Applications compare sheet names without regard to case in any script and
// cannot read a blank name or one with control characters.
TEST(workbook_sheets, names_others_would_refuse_are_refused) {
    book_t b;
    plover_worksheet_t* summer = wb_add_worksheet(b.wb, "été");
    ASSERT_NE(summer, nullptr);
    for (const char* twin : {"ÉTÉ", "Été", "ÉtÉ"}) {
        EXPECT_EQ(wb_add_worksheet(b.wb, twin), nullptr) << twin;
        EXPECT_STREQ(run_msg(), "Duplicate sheet name.");
    }
    ASSERT_NE(wb_add_worksheet(b.wb, "ΣΕΛΊΔΑ"), nullptr);
    EXPECT_EQ(wb_insert_worksheet(b.wb, 0, "σελίδα"), nullptr);
    EXPECT_STREQ(run_msg(), "Duplicate sheet name.");
    EXPECT_EQ(ws_set_name(summer, "ΣΕΛΊΔΑ"), 0);
    EXPECT_STREQ(run_msg(), "Duplicate new sheet name.");
    // A sheet may change the case of its own name.
    EXPECT_EQ(ws_set_name(summer, "ÉTÉ"), 1);

    for (const char* blank : {" ", "   "}) {
        EXPECT_EQ(wb_add_worksheet(b.wb, blank), nullptr);
        EXPECT_STREQ(run_msg(), "Worksheet name cannot be blank.");
        EXPECT_EQ(ws_set_name(summer, blank), 0);
        EXPECT_STREQ(run_msg(), "Worksheet name cannot be blank.");
    }
    for (const char* control : {"a\tb", "\x01", "line\nbreak", "del\x7F"}) {
        EXPECT_EQ(wb_add_worksheet(b.wb, control), nullptr);
        EXPECT_STREQ(run_msg(), "Worksheet name contains invalid characters.");
        wb_rename_sheet(b.wb, 0, control);
        EXPECT_STREQ(run_msg(), "Worksheet name contains invalid characters.");
    }
    EXPECT_EQ(names(b.wb), "ÉTÉ,ΣΕΛΊΔΑ,");
    EXPECT_NE(wb_add_worksheet(b.wb, " padded "), nullptr);
}

TEST(workbook_sheets, states_and_active_sheet_check_their_arguments) {
    book_t b;
    wb_add_worksheet(b.wb, "A");
    wb_add_worksheet(b.wb, "B");
    EXPECT_EQ(wb_get_sheet_state(b.wb, 1), 0);
    wb_set_sheet_state(b.wb, 1, 2);
    EXPECT_EQ(wb_get_sheet_state(b.wb, 1), 2);
    wb_set_sheet_state(b.wb, 1, 1);
    EXPECT_EQ(wb_get_sheet_state(b.wb, 1), 1);
    wb_set_sheet_state(b.wb, 1, 3);
    EXPECT_STREQ(run_msg(), "state: Invalid parameter value. Please refer to enum SheetStateEnum in enum.h");
    wb_set_sheet_state(b.wb, 1, -1);
    EXPECT_STREQ(run_msg(), "state: Invalid parameter value. Please refer to enum SheetStateEnum in enum.h");
    EXPECT_EQ(wb_get_sheet_state(b.wb, 1), 1);
    wb_set_sheet_state(b.wb, 2, 0);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(wb_get_sheet_state(b.wb, 5), 0);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(wb_get_sheet_state(b.wb, -1), 0);
    EXPECT_STREQ(run_msg(), "Index out of range.");

    EXPECT_EQ(wb_get_active_sheet(b.wb), 0);
    EXPECT_EQ(wb_set_active_sheet(b.wb, 1), 0);
    EXPECT_STREQ(run_msg(), "A hidden sheet cannot be the active sheet.");
    wb_set_sheet_state(b.wb, 1, 0);
    EXPECT_EQ(wb_set_active_sheet(b.wb, 1), 1);
    EXPECT_EQ(wb_get_active_sheet(b.wb), 1);
    for (int bad : {2, -1}) {
        EXPECT_EQ(wb_set_active_sheet(b.wb, bad), 0);
        EXPECT_STREQ(run_msg(), "Invalid sheet tab or no sheet yet available.");
    }
    EXPECT_EQ(wb_get_active_sheet(b.wb), 1);
}

// The active tab never rests on a hidden sheet: hidden, deleted, or left on
// one by an insert or a move (the tab is an index), the active sheet passes it
// to the first visible one. Each row starts from sheets A, B and C.
TEST(workbook_sheets, the_active_tab_stays_on_a_visible_sheet) {
    const struct {
        const char* name;
        std::function<void(plover_workbook_t*)> edit;
        const char* names;
        int active;
    } rows[] = {
        {"the active sheet hidden",
         [](auto* wb) {
             wb_set_active_sheet(wb, 1);
             wb_set_sheet_state(wb, 1, 1);
         },
         "A,B,C,", 0},
        {"the active sheet deleted, the tab falling to a hidden one",
         [](auto* wb) {
             wb_set_sheet_state(wb, 1, 1);
             wb_set_active_sheet(wb, 2);
             wb_delete_sheet(wb, 2);
         },
         "A,B,", 0},
        {"a sheet inserted before a visible active one keeps the index",
         [](auto* wb) {
             wb_set_active_sheet(wb, 2);
             wb_insert_worksheet(wb, 0, "New");
         },
         "New,A,B,C,", 2},
        {"a sheet inserted before the active one, the tab falling to a hidden one",
         [](auto* wb) {
             wb_set_sheet_state(wb, 1, 1);
             wb_set_active_sheet(wb, 2);
             wb_insert_worksheet(wb, 0, "New");
         },
         "New,A,B,C,", 0},
        {"a hidden sheet moved to the active index",
         [](auto* wb) {
             wb_set_sheet_state(wb, 1, 1);
             wb_shift_sheet(wb, 1, 0);
         },
         "B,A,C,", 1},
        {"the only visible sheet, not the first, is not deleted",
         [](auto* wb) {
             wb_set_active_sheet(wb, 1);
             wb_set_sheet_state(wb, 0, 1);
             wb_set_sheet_state(wb, 2, 1);
             wb_delete_sheet(wb, 1);
             EXPECT_STREQ(run_msg(), "A workbook needs one visible sheet.");
         },
         "A,B,C,", 1},
    };
    for (const auto& r : rows) {
        book_t b;
        for (const char* name : {"A", "B", "C"}) wb_add_worksheet(b.wb, name);
        r.edit(b.wb);
        EXPECT_EQ(names(b.wb), r.names) << r.name;
        EXPECT_EQ(wb_get_active_sheet(b.wb), r.active) << r.name;
    }
}

TEST(workbook_settings, date_system_reference_style_and_calc_mode_round_trip) {
    book_t b;
    EXPECT_EQ(wb_is_date1904(b.wb), 0);
    wb_set_date1904(b.wb, 7);
    EXPECT_EQ(wb_is_date1904(b.wb), 1);
    wb_set_date1904(b.wb, 0);
    EXPECT_EQ(wb_is_date1904(b.wb), 0);

    EXPECT_EQ(wb_is_a1_ref_mode(b.wb), 1);
    wb_set_a1_ref_mode(b.wb, 0);
    EXPECT_EQ(wb_is_a1_ref_mode(b.wb), 0);
    wb_set_a1_ref_mode(b.wb, 1);
    EXPECT_EQ(wb_is_a1_ref_mode(b.wb), 1);

    EXPECT_EQ(wb_get_calc_mode(b.wb), 0);
    for (int mode : {1, 2, 0, 2, 1}) {
        wb_set_calc_mode(b.wb, mode);
        EXPECT_EQ(wb_get_calc_mode(b.wb), mode);
    }
    for (int bad : {3, -1}) {
        wb_set_calc_mode(b.wb, bad);
        EXPECT_STREQ(run_msg(), "type: Invalid parameter value. Please refer to enum CalcTypeEnum in enum.h");
        EXPECT_EQ(wb_get_calc_mode(b.wb), 1);
    }
}

TEST(workbook_sheets, threads_edit_their_own_books_and_share_one) {
    auto churn = [](plover_workbook_t* wb, int id) {
        for (int i = 0; i < 50; ++i) {
            const std::string name = std::string("t").append(std::to_string(id)).append("_").append(std::to_string(i));
            if (!wb_add_worksheet(wb, name.c_str())) continue;
            const unsigned n = wb_sheet_count(wb);
            wb_rename_sheet(wb, n - 1, (name + "r").c_str());
            wb_get_sheet(wb, int(n - 1));
            wb_sheet_name(wb, int(n - 1));
            if (i % 2) wb_delete_sheet(wb, 0);
        }
    };
    {
        std::vector<book_t> books(2);
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t) threads.emplace_back(churn, books[size_t(t)].wb, t);
        for (auto& t : threads) t.join();
        for (auto& b : books) EXPECT_EQ(wb_sheet_count(b.wb), 25u);
    }
    book_t shared;
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) threads.emplace_back(churn, shared.wb, t);
    for (auto& t : threads) t.join();
    EXPECT_EQ(wb_sheet_count(shared.wb), 50u);
    for (unsigned i = 0; i < wb_sheet_count(shared.wb); ++i) EXPECT_NE(wb_get_sheet(shared.wb, int(i)), nullptr);
}
