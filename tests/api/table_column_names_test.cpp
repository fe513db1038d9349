// Table column names as applications compare them: without regard to case
// (the refusals of td_set_col_name and td_insert_col are in refused_arguments).
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

// Header cells alike but for case are numbered, as repeated texts are, past a
// name another header cell holds, and the cells show it; a column may take its
// own name in another case.
TEST(table_column_names, header_cells_alike_but_for_case) {
    api_test::book_t b;
    plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Sheet1");
    const char* header[] = {"a", "A", "a2", "É", "é"};
    for (int c = 0; c < 5; ++c) ws_set_text(ws, 1, c + 1, header[c]);
    plover_tabledef_t* td = ws_add_tabledef(ws, "T", 1, 1, 3, 5);
    ASSERT_NE(td, nullptr) << run_msg();
    const char* made[] = {"a", "A3", "a2", "É", "é2"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_STREQ(td_col_name(td, c), made[c]);
        EXPECT_STREQ(ws_get_text(ws, 1, c + 1), made[c]);
    }
    EXPECT_EQ(td_set_col_name(td, 1, "a3"), 1) << run_msg();
    EXPECT_STREQ(td_col_name(td, 1), "a3");
}
