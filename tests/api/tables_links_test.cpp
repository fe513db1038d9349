// Tables and hyperlinks of a sheet, as a host reaches them.
#include "plover.h"
#include "enum.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using api_test::book_t;

namespace {

struct corners_t {
    int first_row = 0, first_col = 0, last_row = 0, last_col = 0;
};

corners_t range_of(plover_tabledef_t* td) {
    corners_t c;
    td_range(td, &c.first_row, &c.first_col, &c.last_row, &c.last_col);
    return c;
}

std::string col_names(plover_tabledef_t* td) {
    std::string out;
    for (int i = 0;; ++i) {
        const char* name = td_col_name(td, i);
        if (!name) return out;
        out += std::string(name) + "|";
    }
}

} // namespace

TEST(sheet_tables, added_listed_renamed_and_found_by_index_and_name) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    EXPECT_EQ(ws_tabledef_count(ws), 0);

    plover_tabledef_t* sales = ws_add_tabledef(ws, "Sales", 5, 3, 1, 1);
    ASSERT_NE(sales, nullptr) << run_msg();
    const corners_t c = range_of(sales);
    EXPECT_EQ(c.first_row, 1);
    EXPECT_EQ(c.first_col, 1);
    EXPECT_EQ(c.last_row, 5);
    EXPECT_EQ(c.last_col, 3);
    EXPECT_STREQ(td_name(sales), "Sales");
    EXPECT_EQ(col_names(sales), "Column1|Column2|Column3|");
    ASSERT_NE(ws_add_tabledef(ws, "Costs", 10, 1, 12, 2), nullptr);
    ASSERT_NE(ws_add_tabledef(ws, "Assets", 20, 1, 22, 2), nullptr);

    // The order tables were added in, whatever their names hash to.
    ASSERT_EQ(ws_tabledef_count(ws), 3);
    EXPECT_STREQ(ws_get_tabledef_name(ws, 0), "Sales");
    EXPECT_STREQ(ws_get_tabledef_name(ws, 2), "Assets");
    EXPECT_EQ(ws_get_tabledef(ws, 0), sales);
    EXPECT_EQ(ws_get_tabledef_by_name(ws, "Sales"), sales);
    EXPECT_STREQ(td_name(ws_get_tabledef(ws, 1)), "Costs");

    EXPECT_EQ(ws_get_tabledef(ws, 3), nullptr);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(ws_get_tabledef(ws, -1), nullptr);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(ws_get_tabledef_name(ws, 3), nullptr);
    EXPECT_STREQ(run_msg(), "The index out of range.");
    EXPECT_EQ(ws_set_tabledef_name(ws, 3, "Other"), 0);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    EXPECT_EQ(ws_set_tabledef_name(ws, 0, nullptr), 0);
    EXPECT_STREQ(run_msg(), "The oldName or newName is invalid.");
    EXPECT_EQ(ws_get_tabledef_by_name(ws, nullptr), nullptr);
    EXPECT_STREQ(run_msg(), "Name cannot be empty.");
    EXPECT_EQ(ws_get_tabledef_by_name(ws, "sales"), nullptr);
    EXPECT_STREQ(run_msg(), "No table named with the given name.");

    // A rename keeps the table's place and gives it a new handle.
    ASSERT_EQ(ws_set_tabledef_name(ws, 0, "Revenue"), 1) << run_msg();
    EXPECT_EQ(ws_get_tabledef_by_name(ws, "Sales"), nullptr);
    plover_tabledef_t* revenue = ws_get_tabledef_by_name(ws, "Revenue");
    ASSERT_NE(revenue, nullptr);
    EXPECT_EQ(ws_get_tabledef(ws, 0), revenue);
    EXPECT_STREQ(ws_get_tabledef_name(ws, 0), "Revenue");
    EXPECT_EQ(range_of(revenue).last_row, 5);
    EXPECT_EQ(ws_set_tabledef_name(ws, 1, "Assets"), 0);
    EXPECT_STREQ(run_msg(), "The new name already exists.");

    EXPECT_EQ(ws_delete_tabledef(ws, nullptr), 0);
    EXPECT_STREQ(run_msg(), "Name can not be empty.");
    EXPECT_EQ(ws_delete_tabledef(ws, "Nobody"), 1);
    EXPECT_EQ(ws_tabledef_count(ws), 3);
    EXPECT_EQ(ws_delete_tabledef(ws, "Costs"), 1);
    ASSERT_EQ(ws_tabledef_count(ws), 2);
    EXPECT_STREQ(ws_get_tabledef_name(ws, 1), "Assets");

    // Renamed after a delete, a table goes by its new name.
    ASSERT_EQ(ws_set_tabledef_name(ws, 1, "Holdings"), 1) << run_msg();
    EXPECT_EQ(ws_delete_tabledef(ws, "Holdings"), 1);
    ASSERT_EQ(ws_tabledef_count(ws), 1);
    EXPECT_STREQ(ws_get_tabledef_name(ws, 0), "Revenue");
}

TEST(sheet_tables, names_are_refused_that_others_would_repair_or_another_sheet_holds) {
    book_t b;
    plover_worksheet_t* one = wb_add_worksheet(b.wb, "One");
    plover_worksheet_t* two = wb_add_worksheet(b.wb, "Two");
    EXPECT_EQ(ws_add_tabledef(one, nullptr, 1, 1, 3, 3), nullptr);
    EXPECT_STREQ(run_msg(), "The name cannot be empty.");
    EXPECT_EQ(ws_add_tabledef(one, "Wide", 1, 1, 3, 16385), nullptr);
    EXPECT_STREQ(run_msg(), "The table range is invalid.");
    for (const char* bad : {"", "My Table", "2023", "B7", "xfd1048576", "R", "c", "R2C3", "rc"}) {
        EXPECT_EQ(ws_add_tabledef(one, bad, 1, 1, 3, 3), nullptr) << bad;
        EXPECT_STREQ(run_msg(), "Invalid table name.") << bad;
    }
    // Near misses are names.
    for (const char* good : {"XFE1", "Rate", "R2D2", "C1048577", "Table1", "_x"}) {
        EXPECT_NE(ws_add_tabledef(one, good, 1, 1, 3, 3), nullptr) << good << ": " << run_msg();
        EXPECT_EQ(ws_delete_tabledef(one, good), 1);
    }

    ASSERT_NE(ws_add_tabledef(one, "Shared", 1, 1, 3, 3), nullptr);
    EXPECT_EQ(ws_add_tabledef(two, "Shared", 1, 1, 3, 3), nullptr);
    EXPECT_STREQ(run_msg(), "Table name already exists.");
    ASSERT_NE(ws_add_tabledef(two, "Own", 1, 1, 3, 3), nullptr);
    EXPECT_EQ(ws_set_tabledef_name(two, 0, "Shared"), 0);
    EXPECT_STREQ(run_msg(), "Table name already exists.");
    EXPECT_EQ(ws_set_tabledef_name(two, 0, "My Own"), 0);
    EXPECT_STREQ(run_msg(), "Invalid table name.");
    EXPECT_STREQ(ws_get_tabledef_name(two, 0), "Own");
    // The name is free again once its table goes.
    ASSERT_EQ(ws_delete_tabledef(one, "Shared"), 1);
    EXPECT_EQ(ws_set_tabledef_name(two, 0, "Shared"), 1) << run_msg();
}

TEST(sheet_tables, the_header_row_keeps_what_it_holds) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    ASSERT_EQ(ws_set_text(ws, 2, 2, "Name"), 1);
    ASSERT_EQ(ws_set_text(ws, 2, 3, "Name"), 1);
    ASSERT_EQ(ws_set_num(ws, 2, 5, 2024), 1);
    plover_tabledef_t* td = ws_add_tabledef(ws, "People", 2, 2, 6, 5);
    ASSERT_NE(td, nullptr) << run_msg();
    EXPECT_EQ(col_names(td), "Name|Name2|Column3|2024|");
    // The cells say the same.
    EXPECT_STREQ(ws_get_text(ws, 2, 3), "Name2");
    EXPECT_STREQ(ws_get_text(ws, 2, 4), "Column3");
    EXPECT_STREQ(ws_get_text(ws, 2, 5), "2024");
}

TEST(sheet_tables, table_settings_through_the_handle) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    plover_tabledef_t* td = ws_add_tabledef(ws, "Sales", 1, 1, 4, 3);
    ASSERT_NE(td, nullptr);

    td_set_display_name(td, "Sales of the year");
    EXPECT_STREQ(td_display_name(td), "Sales_of_the_year");
    td_set_display_name(td, "");
    EXPECT_STREQ(td_display_name(td), "Sales_of_the_year");
    td_set_display_name(td, nullptr);
    EXPECT_STREQ(run_msg(), "Display name cannot be empty.");

    td_set_preset_style(td, 0);
    EXPECT_STREQ(td_style_name(td), "TableStyleLight1");
    td_set_preset_style(td, 59);
    EXPECT_STREQ(td_style_name(td), "TableStyleDark11");
    for (int n : {60, -1}) {
        td_set_preset_style(td, n);
        EXPECT_STREQ(run_msg(), "No such table list style number.");
        EXPECT_STREQ(td_style_name(td), "TableStyleDark11");
    }
    td_set_style_name(td, "TableStyleMedium9");
    EXPECT_STREQ(td_style_name(td), "TableStyleMedium9");
    td_set_style_name(td, "Fancy");
    EXPECT_STREQ(td_style_name(td), "TableStyleMedium9");

    EXPECT_EQ(td_col_name(td, -1), nullptr);
    EXPECT_EQ(td_col_name(td, 3), nullptr);
    EXPECT_EQ(td_set_col_name(td, 1, "Price"), 1);
    EXPECT_STREQ(ws_get_text(ws, 1, 2), "Price");
    td_range(td, nullptr, nullptr, nullptr, nullptr);
}

TEST(sheet_tables, a_totals_function_on_a_hidden_totals_row_shows_it) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    plover_tabledef_t* td = ws_add_tabledef(ws, "Sales", 1, 1, 4, 2);
    ASSERT_NE(td, nullptr);
    ASSERT_EQ(ws_set_num(ws, 4, 2, 7), 1);

    td_set_totals_row_func(td, 1, TOTALSFUNC_SUM);
    EXPECT_EQ(td_totals_row_func(td, 1), TOTALSFUNC_SUM);
    // A row of its own below the data: the last data row keeps its value.
    EXPECT_EQ(range_of(td).last_row, 5);
    EXPECT_EQ(ws_get_num(ws, 4, 2), 7.0);
    EXPECT_STREQ(ws_get_text(ws, 5, 1), "Total");
    td_set_totals_row_func(td, 0, TOTALSFUNC_VAR);
    EXPECT_EQ(td_totals_row_func(td, 0), TOTALSFUNC_VAR);
    EXPECT_EQ(range_of(td).last_row, 5);
    EXPECT_EQ(td_totals_row_func(td, 2), TOTALSFUNC_NONE);

    for (int bad : {10, -1}) {
        td_set_totals_row_func(td, 0, bad);
        EXPECT_STREQ(run_msg(), "func: Invalid parameter value. Please refer to enum TotalsFuncEnum in enum.h");
        EXPECT_EQ(td_totals_row_func(td, 0), TOTALSFUNC_VAR);
    }

    // Hiding it again gives the data its rows back; a column past the table
    // changes nothing and shows nothing.
    td_set_display_total(td, 0);
    EXPECT_EQ(range_of(td).last_row, 4);
    EXPECT_EQ(ws_get_num(ws, 4, 2), 7.0);
    td_set_totals_row_func(td, 5, TOTALSFUNC_MAX);
    EXPECT_EQ(range_of(td).last_row, 4);

    // No room below: refused, and the function is not stored.
    ASSERT_EQ(ws_set_num(ws, 5, 1, 1), 1);
    td_set_totals_row_func(td, 0, TOTALSFUNC_MIN);
    EXPECT_STREQ(run_msg(), "The totals row would overwrite cells below the table.");
    EXPECT_EQ(range_of(td).last_row, 4);
    EXPECT_EQ(td_totals_row_func(td, 0), TOTALSFUNC_VAR);
}

TEST(sheet_tables, deleting_the_only_column_deletes_the_table) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    plover_tabledef_t* wide = ws_add_tabledef(ws, "Wide", 1, 1, 3, 2);
    plover_tabledef_t* thin = ws_add_tabledef(ws, "Thin", 10, 1, 12, 1);
    ASSERT_NE(wide, nullptr);
    ASSERT_NE(thin, nullptr);

    td_delete_col_by_index(wide, 2);
    EXPECT_STREQ(run_msg(), "Index out of range.");
    td_delete_col_by_index(wide, 0);
    EXPECT_EQ(col_names(wide), "Column2|");
    EXPECT_EQ(ws_tabledef_count(ws), 2);

    td_delete_col_by_index(thin, 0);
    ASSERT_EQ(ws_tabledef_count(ws), 1);
    EXPECT_STREQ(ws_get_tabledef_name(ws, 0), "Wide");
    EXPECT_EQ(ws_get_tabledef_by_name(ws, "Thin"), nullptr);
    // The same through the column's name.
    td_delete_col(wide, "Column2");
    EXPECT_EQ(ws_tabledef_count(ws), 0);
    // The handles stay callable and no longer answer the old name.
    EXPECT_EQ(td_name(wide), nullptr);
    EXPECT_STREQ(run_msg(), "The table no longer exists.");
}

TEST(sheet_links, internal_and_external_links_in_order) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    EXPECT_EQ(ws_hyperlink_num(ws), 0);
    ASSERT_EQ(ws_add_hyperlink(ws, "https://example.com/", 4, 3, 2, 1), 1);
    ASSERT_EQ(ws_add_hyperlink(ws, "Data!B7", 3, 2, 5, 2), 1);
    ASSERT_EQ(ws_add_hyperlink(ws, "mailto:someone@example.com", 9, 9, 9, 9), 1);
    ASSERT_EQ(ws_hyperlink_num(ws), 3);

    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    EXPECT_STREQ(ws_hyperlink(ws, 0, &r1, &c1, &r2, &c2), "https://example.com/");
    EXPECT_EQ(r1, 2);
    EXPECT_EQ(c1, 1);
    EXPECT_EQ(r2, 4);
    EXPECT_EQ(c2, 3);
    EXPECT_STREQ(ws_hyperlink(ws, 1, nullptr, nullptr, nullptr, nullptr), "Data!B7");
    EXPECT_EQ(ws_hyperlink(ws, 3, &r1, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(ws_hyperlink(ws, -1, nullptr, nullptr, nullptr, nullptr), nullptr);

    // The cell both cover belongs to the earlier link.
    EXPECT_EQ(ws_hyperlink_index(ws, 3, 2), 0);
    EXPECT_EQ(ws_hyperlink_index(ws, 5, 2), 1);
    EXPECT_EQ(ws_hyperlink_index(ws, 9, 9), 2);
    EXPECT_EQ(ws_hyperlink_index(ws, 8, 8), -1);

    EXPECT_EQ(ws_delete_hyperlink(ws, 3), 0);
    EXPECT_EQ(ws_delete_hyperlink(ws, -1), 0);
    ASSERT_EQ(ws_delete_hyperlink(ws, 0), 1);
    EXPECT_EQ(ws_hyperlink_num(ws), 2);
    EXPECT_EQ(ws_hyperlink_index(ws, 3, 2), 0);
    EXPECT_STREQ(ws_hyperlink(ws, 1, nullptr, nullptr, nullptr, nullptr), "mailto:someone@example.com");

    EXPECT_EQ(ws_add_hyperlink(ws, nullptr, 1, 1, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "The hyperlink address can not be empty.");
    EXPECT_EQ(ws_add_hyperlink(ws, "", 1, 1, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "The hyperlink address can not be empty.");
    EXPECT_EQ(ws_add_hyperlink(ws, "https://example.com/", 0, 1, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "The row or column for setting hyperlink is out of range.");
    EXPECT_EQ(ws_add_hyperlink(ws, "bad \xC3(", 1, 1, 1, 1), 0);
    EXPECT_STREQ(run_msg(), "Failed to convert from ANSI string");
    EXPECT_EQ(ws_hyperlink_num(ws), 2);
}

// A slot that takes an index says why it fails when the index is outside its list.
TEST(sheet_lists, a_bad_index_is_reported) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    ASSERT_EQ(wb_set_defined_name(b.wb, "rate", "Data!$A$1", nullptr), 1);
    ASSERT_EQ(ws_add_hyperlink(ws, "Data!B7", 1, 1, 1, 1), 1);
    plover_tabledef_t* td = ws_add_tabledef(ws, "T", 3, 1, 5, 2);
    ASSERT_NE(td, nullptr);
    const std::function<void(int)> calls[] = {
        [&](int i) { EXPECT_EQ(wb_get_defined_name(b.wb, i, nullptr), nullptr); },
        [&](int i) { EXPECT_EQ(wb_get_local_name(b.wb, i), nullptr); },
        [&](int i) { EXPECT_EQ(wb_get_defined_name_expr(b.wb, i), nullptr); },
        [&](int i) { wb_delete_defined_name(b.wb, i); },
        [&](int i) { EXPECT_EQ(ws_hyperlink(ws, i, nullptr, nullptr, nullptr, nullptr), nullptr); },
        [&](int i) { EXPECT_EQ(ws_delete_hyperlink(ws, i), 0); },
        [&](int i) { td_set_totals_row_func(td, i * 2, 1); },
        [&](int i) { wb_shift_sheet(b.wb, i, 0); },
        [&](int i) { wb_shift_sheet(b.wb, 0, i); },
    };
    int n = 0;
    for (const auto& call : calls) {
        for (int bad : {-1, 1, 99}) {
            a1_to_row_col("1", nullptr, nullptr);
            call(bad);
            EXPECT_STREQ(run_msg(), "Index out of range.") << "call " << n << ", index " << bad;
        }
        ++n;
    }
    EXPECT_EQ(wb_defined_name_num(b.wb), 1);
    EXPECT_EQ(ws_hyperlink_num(ws), 1);
    // A workbook-wide name has no local sheet: not a failure.
    a1_to_row_col("1", nullptr, nullptr);
    EXPECT_EQ(wb_get_local_name(b.wb, 0), nullptr);
    EXPECT_STREQ(run_msg(), "Wrong cell reference: 1");
}

// Tables alternating between the top and the bottom of the sheet: the index's
// node splits compare squared spans past the range of an int (run under the
// sanitizers).
TEST(sheet_tables, tables_spread_over_the_sheet_are_all_indexed) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    const auto top_row = [](int k) { return k % 2 ? 1048000 : 1; };
    for (int k = 0; k < 24; ++k) {
        const std::string name = "Spread" + std::to_string(k);
        ASSERT_NE(ws_add_tabledef(ws, name.c_str(), top_row(k), 3 * k + 1, top_row(k) + 2, 3 * k + 2), nullptr)
            << name << ": " << run_msg();
        // Each refusal searches the index as it stands.
        EXPECT_EQ(ws_add_tabledef(ws, "Overlap", top_row(k) + 1, 3 * k + 2, top_row(k) + 5, 3 * k + 3), nullptr);
    }
    EXPECT_EQ(ws_tabledef_count(ws), 24);
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(ws_add_tabledef(ws, "Overlap", top_row(k) + 2, 3 * k + 2, top_row(k) + 3, 3 * k + 3), nullptr) << k;
}

// Deleting tables one by one from the top of a long list: each left standing
// still refuses a table laid over it.
TEST(sheet_tables, tables_left_by_deletes_are_all_indexed) {
    book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Data");
    const int n = 1600, deleted = 325;
    for (int k = 0; k < n; ++k)
        ASSERT_NE(ws_add_tabledef(ws, ("Tb_" + std::to_string(k)).c_str(), 4 * k + 1, 1, 4 * k + 3, 2), nullptr) << k;
    for (int k = 0; k < deleted; ++k) ASSERT_EQ(ws_delete_tabledef(ws, ("Tb_" + std::to_string(k)).c_str()), 1) << k;
    EXPECT_EQ(ws_tabledef_count(ws), n - deleted);
    int taken = 0;
    for (int k = deleted; k < n; ++k)
        if (ws_add_tabledef(ws, "Over", 4 * k + 2, 2, 4 * k + 2, 3)) {
            ++taken;
            ws_delete_tabledef(ws, "Over");
        }
    EXPECT_EQ(taken, 0);
}
