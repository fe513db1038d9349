// A picture whose header claims more pixels than a drawing can state: a host
// cannot add one, but a package that holds one loads and saves it unchanged.
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

using package_test::entries_t;
using package_test::read_zip;
using package_test::red_png;
using package_test::scratch_dir;
using package_test::write_zip;

namespace {

// A PNG header stating its pixel size, the IHDR chunk whole.
std::string png_header(uint32_t w, uint32_t h) {
    std::string b = {'\x89', 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<char>((v >> shift) & 0xFF));
    b.resize(33, 0);
    return b;
}

std::string written(const scratch_dir& dir, const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
}

// A book of one sheet with the picture at C3 and as its background.
void save_book_with(const std::string& picture, const std::string& path) {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
    ASSERT_GT(ws_add_image_with_one_cell(ws, picture.c_str(), 3, 3, 0, 0, 1.0, 0, 0), 0) << run_msg();
    ws_set_bg_picture(ws, picture.c_str());
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
}

// Every image part under part, depth first.
void image_parts(const vex::xml_part_t& part, std::vector<const vex::xml_part_t*>& found) {
    for (const auto& c : part.get_child_parts()) {
        if (c->kind() == vex::part_kind_enum::image_part) found.push_back(c.get());
        image_parts(*c, found);
    }
}

} // namespace

// A picture read from a package is held once: the sheet's image record keeps
// the block its part read, not a copy of it.
TEST(picture_checks, a_loaded_picture_shares_its_part_bytes) {
    scratch_dir dir;
    const std::string made = dir / "made.xlsx";
    std::string picture = png_header(40, 30);
    picture.resize(4096, 'p');
    save_book_with(written(dir, "p.png", picture), made);
    vex::xml_document_t doc;
    doc.load(made.c_str(), false);
    std::vector<const vex::xml_part_t*> parts;
    for (const auto& root : doc.package_root()) image_parts(*root, parts);
    const vex::xml_part_t* in_drawing = nullptr;
    for (const vex::xml_part_t* p : parts)
        if (p->get_parent()->kind() == vex::part_kind_enum::drawings_part) in_drawing = p;
    ASSERT_NE(in_drawing, nullptr);
    const vex::xml_part_t* sheet = in_drawing->get_parent()->get_parent();
    const auto* table = dynamic_cast<const vex::worktable_t*>(sheet->get_component());
    ASSERT_NE(table, nullptr);
    int records = 0;
    for (const auto& [id, record] : *table->get_image_manager()) {
        if (record.background) continue;
        ++records;
        EXPECT_EQ(reinterpret_cast<const char*>(record.image->data()), in_drawing->get_raw_data()) << id;
        EXPECT_EQ(record.image->byte_size(), picture.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.image->data()), record.image->byte_size()), picture);
    }
    EXPECT_EQ(records, 1);
}

TEST(picture_checks, a_loaded_package_keeps_a_picture_whose_header_claims_any_size) {
    scratch_dir dir;
    const std::string made = dir / "made.xlsx", huge = dir / "huge.xlsx", saved = dir / "saved.xlsx";
    save_book_with(written(dir, "small.png", png_header(40, 30)), made);
    plover_document_t* doc = doc_load(made.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    const int pictures = ws_image_num(wb_get_sheet(doc_get_workbook(doc), 0));
    EXPECT_GT(pictures, 0);
    doc_release(doc);
    const std::string claim = png_header(2147483647, 2147483647);
    entries_t entries = read_zip(made);
    int media = 0;
    for (auto& [name, bytes] : entries)
        if (name.starts_with("xl/media/")) bytes = claim, ++media;
    ASSERT_GT(media, 0);
    write_zip(huge, entries);
    doc = doc_load(huge.c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    EXPECT_EQ(ws_image_num(wb_get_sheet(doc_get_workbook(doc), 0)), pictures);
    ASSERT_EQ(doc_save(doc, saved.c_str()), 1) << run_msg();
    doc_release(doc);
    int kept = 0;
    for (const auto& [name, bytes] : read_zip(saved)) {
        if (!name.starts_with("xl/media/")) continue;
        EXPECT_EQ(bytes, claim) << name;
        ++kept;
    }
    EXPECT_GT(kept, 0);
}

// openpyxl refuses a book whose picture claims billions of pixels; a refused
// picture is not in the copy.
TEST(openpyxl_load, a_book_whose_huge_picture_was_refused) {
    scratch_dir dir;
    const std::string huge = written(dir, "huge.png", png_header(2147483647, 2147483647));
    const std::string red = written(dir, "red.png", red_png);
    const std::string path = dir / "book.xlsx";
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
    EXPECT_EQ(ws_add_image_with_one_cell(ws, huge.c_str(), 1, 1, 0, 0, 1.0, 0, 0), -1);
    EXPECT_EQ(ws_add_cell_image(ws, huge.c_str(), 1, 1, 2, 2), -1);
    EXPECT_GT(ws_add_image_with_one_cell(ws, red.c_str(), 4, 2, 0, 0, 1.0, 0, 0), 0) << run_msg();
    ASSERT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    const char* check = R"(import sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
assert len(ws._images) == 1, len(ws._images)
anchor = ws._images[0].anchor._from
assert (anchor.row, anchor.col) == (3, 1), (anchor.row, anchor.col)
)";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {path}), 0);
}
