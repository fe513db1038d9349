// Table column names as applications compare them: without regard to case.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> columns_of(plover_tabledef_t* td) {
    std::vector<std::string> out;
    for (int i = 0; const char* name = td_col_name(td, i); ++i) out.push_back(name);
    return out;
}

std::vector<std::string> header_of(plover_worksheet_t* ws, int width) {
    std::vector<std::string> out;
    for (int c = 1; c <= width; ++c) {
        const char* text = ws_get_text(ws, 1, c);
        out.push_back(text ? text : "<none>");
    }
    return out;
}

} // namespace

// Header cells alike but for case give numbered names, as repeated ones do;
// a name another column has in any case is refused; the saved copy reads the
// same names back.
TEST(table_column_names, names_alike_but_for_case_are_one_name) {
    api_test::scratch_dir dir;
    const std::string path = dir / "columns.xlsx";
    const std::vector<std::string> made = {"a", "A2", "h2", "H22", "Column5"};
    const struct {
        const char* call;
        int (*run)(plover_tabledef_t*);
        int result;
        const char* message;  // null: none expected
    } calls[] = {
        {"set_col_name 0 A2", [](plover_tabledef_t* td) { return td_set_col_name(td, 0, "A2"); }, 0,
         "The setting column name already exists."},
        {"set_col_name 0 a2", [](plover_tabledef_t* td) { return td_set_col_name(td, 0, "a2"); }, 0,
         "The setting column name already exists."},
        {"set_col_name 3 h2", [](plover_tabledef_t* td) { return td_set_col_name(td, 3, "h2"); }, 0,
         "The setting column name already exists."},
        {"set_col_name 0 COLUMN5", [](plover_tabledef_t* td) { return td_set_col_name(td, 0, "COLUMN5"); }, 0,
         "The setting column name already exists."},
        {"set_col_name 1 A2", [](plover_tabledef_t* td) { return td_set_col_name(td, 1, "A2"); }, 0,
         "The setting column name already exists."},
        {"insert_col 1 H2", [](plover_tabledef_t* td) { return td_insert_col(td, 1, "H2"); }, 0,
         "The column name already exists."},
        {"insert_col 0 COLUMN5", [](plover_tabledef_t* td) { return td_insert_col(td, 0, "COLUMN5"); }, 0,
         "The column name already exists."},
        // A column may take its own name in another case.
        {"set_col_name 1 a2", [](plover_tabledef_t* td) { return td_set_col_name(td, 1, "a2"); }, 1, nullptr},
    };
    {
        api_test::book_t b;
        plover_worksheet_t* ws = wb_add_worksheet(b.wb, "Sheet1");
        const char* header[] = {"a", "A", "h2", "H2"};
        for (int c = 0; c < 4; ++c) ws_set_text(ws, 1, c + 1, header[c]);
        plover_tabledef_t* td = ws_add_tabledef(ws, "T", 1, 1, 3, 5);
        ASSERT_NE(td, nullptr) << run_msg();
        EXPECT_EQ(columns_of(td), made);
        EXPECT_EQ(header_of(ws, 5), made);
        for (const auto& c : calls) {
            SCOPED_TRACE(c.call);
            a1_to_row_col("1", nullptr, nullptr);  // a message no call gives
            EXPECT_EQ(c.run(td), c.result) << run_msg();
            if (c.message) {
                EXPECT_STREQ(run_msg(), c.message);
            }
        }
        ASSERT_EQ(doc_save(b.doc, path.c_str()), 1) << run_msg();
    }
    const std::vector<std::string> kept = {"a", "a2", "h2", "H22", "Column5"};
    plover_document_t* doc = doc_load(path.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
    plover_tabledef_t* td = ws_get_tabledef_by_name(ws, "T");
    ASSERT_NE(td, nullptr) << run_msg();
    EXPECT_EQ(columns_of(td), kept);
    EXPECT_EQ(header_of(ws, 5), kept);
    EXPECT_EQ(td_set_col_name(td, 4, "H22"), 0);
    EXPECT_STREQ(run_msg(), "The setting column name already exists.");
    doc_release(doc);
}
