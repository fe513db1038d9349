// Rows and columns inserted and deleted at random over a loaded sheet of
// formulas: nothing crashes, and every formula left still loses its result
// when the cell it reads changes.
#include "plover.h"
#include "book_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// About 200 formulas in B1:M60, each one more than a value of A1:A60 or N1:N60.
void write_book(const std::string& path, std::mt19937& random) {
    api_test::book_t book;
    plover_worksheet_t* ws = wb_add_worksheet(book.wb, "Sheet1");
    for (int row = 1; row <= 60; ++row) ws_set_num(ws, row, 1, row), ws_set_num(ws, row, 14, -row);
    for (int i = 0; i < 200; ++i) {
        const int row = int(random() % 60) + 1, col = int(random() % 12) + 2, read_col = int(random() % 2);
        const std::string read = (read_col ? "A" : "N") + std::to_string(random() % 60 + 1);
        ASSERT_EQ(ws_set_formula(ws, row, col, (read + "+1").c_str()), 1) << run_msg();
        ws_set_formula_num(ws, row, col, 1);
    }
    ASSERT_EQ(doc_save(book.doc, path.c_str()), 1) << run_msg();
}

void edit(plover_worksheet_t* ws, std::mt19937& random) {
    const int at = int(random() % 40) + 1, count = int(random() % 3) + 1;
    switch (random() % 4) {
    case 0: ws_insert_row(ws, at, count); break;
    case 1: ws_insert_col(ws, at % 14 + 1, count); break;
    case 2: ws_delete_row(ws, at, at + count - 1); break;
    default: ws_delete_col(ws, at % 14 + 1, at % 14 + count); break;
    }
}

struct formula_t {
    int row, col;
    int read_row, read_col;
};

// The formulas left in A1:AN100 that still read a cell.
std::vector<formula_t> formulas_left(plover_worksheet_t* ws) {
    std::vector<formula_t> out;
    for (int row = 1; row <= 100; ++row)
        for (int col = 1; col <= 40; ++col) {
            const char* text = ws_get_formula_expr(ws, row, col);
            if (!text) continue;
            const std::string read(text, std::string(text).find('+'));
            int read_row = 0, read_col = 0;
            if (a1_to_row_col(read.c_str(), &read_row, &read_col)) out.push_back({row, col, read_row, read_col});
        }
    return out;
}

} // namespace

TEST(loaded_formula_edits, random_inserts_and_deletes_keep_every_formula_tracked) {
    api_test::scratch_dir dir;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 random(seed);
        const std::string path = dir / ("book" + std::to_string(seed) + ".xlsx");
        write_book(path, random);
        plover_document_t* doc = doc_load(path.c_str());
        ASSERT_NE(doc, nullptr) << run_msg();
        plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
        for (int i = 0; i < 8; ++i) edit(ws, random);
        const std::vector<formula_t> left = formulas_left(ws);
        EXPECT_GT(left.size(), 20u) << seed;
        for (const formula_t& f : left) ws_set_formula_num(ws, f.row, f.col, 1);
        for (const formula_t& f : left) {
            ASSERT_EQ(ws_contains_formula(ws, f.read_row, f.read_col), 0) << seed;
            ws_set_num(ws, f.read_row, f.read_col, 5);
            EXPECT_NE(ws_cell_type(ws, f.row, f.col), CELLTYPE_NUMBER) << seed << " " << f.row << "," << f.col;
        }
        doc_release(doc);
    }
}
