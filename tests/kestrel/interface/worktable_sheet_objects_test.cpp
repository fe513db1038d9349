// The worktable handle's row, column, protection and table-moving slots, where
// the sheet model or the saved package must be looked at.
#include "kestrel/core/components/sheet_protection.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "kestrel/interface/worktable_impl.h"
#include "plover.h"
#include "run_message.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>

namespace {

std::string last_message() { return vex::get_run_message().str(); }

struct sheet_objects_fixture : ::testing::Test {
    plover_document_t* doc = doc_create();
    vex::iWorksheet_impl* ws = nullptr;
    vex::iWorktable_impl* wt = nullptr;
    vex::worktable_t* table = nullptr;

    void SetUp() override {
        ASSERT_NE(doc, nullptr);
        ws = static_cast<vex::iWorksheet_impl*>(wb_add_worksheet(doc_get_workbook(doc), "Data"));
        ASSERT_NE(ws, nullptr);
        wt = ws->worktable();
        table = wt->sheet();
    }
    void TearDown() override { doc_release(doc); }

    const vex::sheet_protection_record_t& protection() const { return ws->worksheet()->protection().record(); }
};

using worktable_rows = sheet_objects_fixture;
using worktable_protection = sheet_objects_fixture;

vex::range_t cells(int r1, int c1, int r2, int c2) {
    vex::range_t r;
    r.first.row = r1, r.first.col = c1, r.last.row = r2, r.last.col = c2;
    return r;
}

} // namespace

TEST_F(worktable_rows, extent_and_current_cell) {
    EXPECT_EQ(wt->row_count(), 1048576);
    EXPECT_EQ(wt->col_count(), 16384);
    EXPECT_EQ(wt->sheet_index(), static_cast<int>(table->sheet_id()));
    int row = 0, col = 0;
    wt->get_current_cell(&row, &col);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(1, 1));
    wt->set_current_cell(4, 7);
    vex::set_run_message("marker");
    wt->set_current_cell(0, 5);
    wt->set_current_cell(5, 16385);
    EXPECT_EQ(last_message(), "marker");
    wt->get_current_cell(&row, nullptr);
    wt->get_current_cell(nullptr, &col);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(4, 7));
}

TEST_F(worktable_rows, row_and_column_styles_through_the_shared_handle) {
    vex::mta::style_settings_t bold;
    vex::mta::font_t font;
    font.bold = 1;
    bold.set_font(font);
    vex::iStyle_impl given(ws->owner(), bold);
    wt->set_row_style(4, 2, &given);
    wt->set_col_style(3, 3, &given);

    auto* shared = static_cast<vex::iStyle_impl*>(wt->row_style(3));
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->settings().font().bold, 1);
    EXPECT_EQ(wt->col_style(3), shared);
    EXPECT_EQ(shared->settings().font().bold, 1);
    EXPECT_EQ(wt->col_style(4), shared);  // each call refills the one handle
    EXPECT_EQ(shared->settings().font().bold, 0);

    wt->remove_row_style(3);
    EXPECT_EQ(static_cast<vex::iStyle_impl*>(wt->row_style(3))->settings().font().bold, 0);
    EXPECT_EQ(static_cast<vex::iStyle_impl*>(wt->row_style(4))->settings().font().bold, 1);
    // Outside the sheet: no handle, the shared one left as it was.
    EXPECT_EQ(wt->row_style(0), nullptr);
    EXPECT_EQ(last_message(), "Row out of range.");
    EXPECT_EQ(shared->settings().font().bold, 1);
    EXPECT_EQ(wt->col_style(16385), nullptr);
    EXPECT_EQ(last_message(), "Column out of range.");

    vex::set_run_message("marker");
    wt->set_row_style(0, 1, nullptr);
    EXPECT_EQ(last_message(), "Style pointer cannot be empty.");
    wt->set_row_style(0, 1, &given);
    EXPECT_EQ(last_message(), "The startRow or stopRow out of range.");
    wt->set_col_style(1, 16385, &given);
    EXPECT_EQ(last_message(), "The startCol or stopCol out of range.");
}

TEST_F(worktable_protection, saved_options_and_password_verifier) {
    ASSERT_TRUE(wt->protect(4095, "test"));
    EXPECT_EQ(protection().password, "CBEB");
    EXPECT_EQ(protection().options, 65532u & vex::protection_option_mask);

    package_test::scratch_dir dir;
    const std::string path = dir / "protected.xlsx";
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << last_message();
    const std::string sheet = package_test::find(package_test::read_zip(path), "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find(R"(<sheetProtection sheet="1" password="CBEB" objects="1" scenarios="1"/>)"),
              std::string::npos)
        << sheet;

    // Each host bit sets its own attribute; 32767 sets them all.
    ASSERT_TRUE(wt->protect(1 | 0x2000, nullptr));
    EXPECT_EQ(protection().options, vex::option_select_locked_cells | vex::option_auto_filter);
    EXPECT_EQ(protection().password, "");
    ASSERT_TRUE(wt->protect(0x0010 | 0x0080 | 0x0200 | 0x0800 | 0x1000, ""));
    EXPECT_EQ(protection().options, vex::option_format_cells | vex::option_insert_columns |
                                        vex::option_insert_hyperlinks | vex::option_delete_rows | vex::option_sort);
    ASSERT_TRUE(wt->protect(32767, nullptr));
    EXPECT_EQ(protection().options, vex::protection_option_mask);
    // Bits beyond the last option are not stored.
    ASSERT_TRUE(wt->protect(0x8000 | 0x4000, nullptr));
    EXPECT_EQ(protection().options, vex::option_pivot_tables);

    // A refused password changes nothing.
    EXPECT_FALSE(wt->protect(0, "no space"));
    EXPECT_EQ(protection().options, vex::option_pivot_tables);
}

TEST_F(worktable_protection, unprotect_and_range_protection_keep_the_column_font) {
    vex::mta::style_settings_t bold;
    vex::mta::font_t font;
    font.bold = 1;
    bold.set_font(font);
    table->set_col_style(2, 2, bold);

    ASSERT_TRUE(wt->protect_range(3, 3, 1, 1));
    EXPECT_FALSE(table->col_style(2).protection().locked);
    EXPECT_EQ(table->col_style(2).font().bold, 1);
    EXPECT_TRUE(table->get_cell_style(2, 2).protection().locked);
    EXPECT_EQ(protection().options, vex::range_protection_options & vex::protection_option_mask);

    wt->unprotect();
    EXPECT_FALSE(wt->is_protected());
    EXPECT_TRUE(table->col_style(2).protection().locked);
    EXPECT_EQ(table->col_style(2).font().bold, 1);
    EXPECT_EQ(protection(), vex::sheet_protection_record_t{});
}

// The table goes with its rows, and its part with it; the sanitizers watch
// for anything left pointing at either.
TEST_F(worktable_rows, rows_deleted_over_a_table_take_it_and_its_part) {
    ASSERT_NE(table->add_tabledef("Sales", cells(2, 2, 5, 4), nullptr), nullptr);
    ASSERT_EQ(table->sheet_extras().table_parts.size(), 1u);
    ASSERT_TRUE(wt->set_num(3, 2, 1.0));
    ASSERT_TRUE(wt->set_num(7, 3, 7.0));

    EXPECT_FALSE(ws->delete_row(3, 5));  // all rows but the header
    EXPECT_EQ(last_message(), "The operation would delete all cells in a table.");
    EXPECT_EQ(table->tabledefs().size(), 1u);

    ASSERT_TRUE(ws->delete_row(2, 5));
    EXPECT_EQ(table->tabledefs().size(), 0u);
    EXPECT_TRUE(table->sheet_extras().table_parts.empty());
    for (const auto& child : table->get_part()->get_child_parts())
        EXPECT_NE(child->kind(), vex::part_kind_enum::table_definition_part);
    EXPECT_EQ(wt->get_num(3, 3), 7.0);

    // A new table takes the place and name again.
    ASSERT_NE(table->add_tabledef("Sales", cells(2, 2, 4, 3), nullptr), nullptr);
    EXPECT_EQ(table->sheet_extras().table_parts.size(), 1u);
}

TEST_F(worktable_rows, columns_deleted_over_a_table_take_it_too) {
    ASSERT_NE(table->add_tabledef("Wide", cells(1, 2, 3, 3), nullptr), nullptr);
    ASSERT_TRUE(ws->delete_col(2, 3));
    EXPECT_EQ(table->tabledefs().size(), 0u);
    EXPECT_TRUE(table->sheet_extras().table_parts.empty());
}

// Shifts move the merges, outlines and sizes that other slots change: one
// sheet used from two threads must keep them whole.
TEST_F(worktable_rows, shifts_and_sheet_objects_from_two_threads) {
    std::thread shifter([&] {
        for (int i = 0; i < 200; ++i) {
            ws->insert_row(1, 2);
            ws->delete_row(1, 2);
        }
    });
    for (int i = 0; i < 200; ++i) {
        const int col = 1 + i * 3;
        wt->merge(5, col, 6, col + 1);
        wt->group_cols(col, col, false);
        wt->set_custom_row_height(10, 12, 20.0 + i % 3, 0);
        wt->unmerge(5, col);
    }
    shifter.join();
    // A merge the other thread moved escapes its unmerge, whole.
    for (int i = 0; i < wt->merged_num(); ++i) {
        int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
        ASSERT_TRUE(wt->merged_range(i, &r1, &c1, &r2, &c2));
        EXPECT_EQ(std::make_pair(r2 - r1, c2 - c1), std::make_pair(1, 1));
    }
    double h = 0;
    ASSERT_TRUE(wt->get_custom_row_height(10, 10, &h, 0));
    EXPECT_DOUBLE_EQ(h, 20.0 + 199 % 3);
}
