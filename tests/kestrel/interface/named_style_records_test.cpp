// The records behind named styles in a saved styles part: each named style the
// host makes has a style xf of its own, which openpyxl needs; a file's records
// come back as read.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

// Two custom and two built-in styles, all four made from one bold style.
void four_styles_from_one(const std::string& path) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    plover_style_t* st = wb_make_normal_style(wb);
    style_set_bold(st, 1);
    EXPECT_NE(wb_add_custom_style(wb, "StyleA", st), nullptr) << run_msg();
    EXPECT_NE(wb_add_custom_style(wb, "StyleB", st), nullptr) << run_msg();
    EXPECT_EQ(wb_modify_named_style(wb, "good", st), 1) << run_msg();
    EXPECT_EQ(wb_modify_named_style(wb, "bad", st), 1) << run_msg();
    ws_set_text(ws, 1, 1, "x");
    EXPECT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
}

std::string entry_of(const std::string& path, const std::string& name) {
    for (const auto& [n, bytes] : read_zip(path))
        if (n == name) return bytes;
    return "<absent>";
}

// The cellStyles element of a saved styles part.
std::string cell_styles_of(const std::string& path) {
    const std::string styles = entry_of(path, "xl/styles.xml");
    const size_t begin = styles.find("<cellStyles");
    const size_t end = styles.find("</cellStyles>");
    if (begin == std::string::npos || end == std::string::npos) return "<none>";
    return styles.substr(begin, end + 13 - begin);
}

const std::string own_records =
    "<cellStyles count=\"5\"><cellStyle name=\"normal\" xfId=\"0\" builtinId=\"0\"/>"
    "<cellStyle name=\"StyleA\" xfId=\"1\"/><cellStyle name=\"StyleB\" xfId=\"2\"/>"
    "<cellStyle name=\"good\" xfId=\"3\" builtinId=\"26\" customBuiltin=\"1\"/>"
    "<cellStyle name=\"bad\" xfId=\"4\" builtinId=\"27\" customBuiltin=\"1\"/></cellStyles>";

} // namespace

TEST(named_style_records, each_named_style_has_a_style_xf_of_its_own) {
    scratch_dir dir;
    four_styles_from_one(dir / "four.xlsx");
    EXPECT_EQ(cell_styles_of(dir / "four.xlsx"), own_records);
    EXPECT_NE(entry_of(dir / "four.xlsx", "xl/styles.xml").find("<cellStyleXfs count=\"5\">"), std::string::npos);
}

// A file whose named styles share a record keeps it shared: nothing is split
// on load or save.
TEST(named_style_records, shared_records_of_a_file_stay_as_read) {
    scratch_dir dir;
    four_styles_from_one(dir / "four.xlsx");
    std::string styles = entry_of(dir / "four.xlsx", "xl/styles.xml");
    const std::string own_b = "name=\"StyleB\" xfId=\"2\"", shared_b = "name=\"StyleB\" xfId=\"1\"";
    ASSERT_NE(styles.find(own_b), std::string::npos);
    styles.replace(styles.find(own_b), own_b.size(), shared_b);
    entries_t entries = read_zip(dir / "four.xlsx");
    for (auto& [n, bytes] : entries)
        if (n == "xl/styles.xml") bytes = styles;
    write_zip(dir / "shared.xlsx", entries);

    plover_document_t* doc = doc_load((dir / "shared.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ASSERT_EQ(doc_save(doc, (dir / "again.xlsx").c_str()), 1) << run_msg();
    doc_release(doc);
    std::string expected = own_records;
    expected.replace(expected.find(own_b), own_b.size(), shared_b);
    EXPECT_EQ(cell_styles_of(dir / "again.xlsx"), expected);
}

// openpyxl reads the copy, each named style bold on its own record.
TEST(named_style_records, openpyxl_reads_named_styles_made_from_one_style) {
    scratch_dir dir;
    four_styles_from_one(dir / "four.xlsx");
    const std::string check = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
styles = {s.name: s for s in wb._named_styles}
for name in ("StyleA", "StyleB", "good", "bad"):
    assert name in styles, (name, list(styles))
    assert styles[name].font.b, name
)";
    EXPECT_EQ(writer_test::run_python_file(dir, check, {dir / "four.xlsx"}), 0);
}
