#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using package_test::red_png;
using package_test::scratch_dir;

// A loaded picture is held once: the sheet's image record keeps the block its
// part read, not a copy.
TEST(picture_checks, a_loaded_picture_shares_its_part_bytes) {
    scratch_dir dir;
    const std::string picture = dir / "red.png", made = dir / "made.xlsx";
    std::ofstream(picture, std::ios::binary) << red_png;
    plover_document_t* book = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(book), "Pictures");
    ASSERT_GT(ws_add_image_with_one_cell(ws, picture.c_str(), 3, 3, 0, 0, 1.0, 0, 0), 0) << run_msg();
    ASSERT_EQ(doc_save(book, made.c_str()), 1) << run_msg();
    doc_release(book);
    vex::xml_document_t doc;
    doc.load(made.c_str(), false);
    int records = 0;
    for (const auto& sheet : doc.workbook_part()->get_child_parts())
        for (const auto& grid : sheet->get_child_parts())
            for (const auto& drawing : grid->get_child_parts())
                for (const auto& image : drawing->get_child_parts()) {
                    if (image->kind() != vex::part_kind_enum::image_part) continue;
                    const auto* table = dynamic_cast<const vex::worktable_t*>(grid->get_component());
                    ASSERT_NE(table, nullptr);
                    for (const auto& [id, record] : *table->get_image_manager()) {
                        EXPECT_EQ(reinterpret_cast<const char*>(record.image->data()), image->get_raw_data());
                        ++records;
                    }
                }
    EXPECT_EQ(records, 1);
}

// openpyxl refuses a book whose picture claims billions of pixels: a refused
// picture is not in the copy.
TEST(openpyxl_load, a_book_whose_huge_picture_was_refused) {
    scratch_dir dir;
    const std::string huge = dir / "huge.png", red = dir / "red.png", path = dir / "book.xlsx";
    std::string claim = red_png.substr(0, 33);
    claim.replace(16, 8, 8, '\x7F');
    std::ofstream(huge, std::ios::binary) << claim;
    std::ofstream(red, std::ios::binary) << red_png;
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
    EXPECT_EQ(ws_add_image_with_one_cell(ws, huge.c_str(), 1, 1, 0, 0, 1.0, 0, 0), -1);
    EXPECT_GT(ws_add_image_with_one_cell(ws, red.c_str(), 4, 2, 0, 0, 1.0, 0, 0), 0) << run_msg();
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const char* check = R"(import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
assert len(ws._images) == 1, len(ws._images)
)";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {path}), 0);
}
