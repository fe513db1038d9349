// Each named style the host makes has a style xf of its own, however alike:
// openpyxl refuses a file where two share one.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

// Two custom and two built-in styles (named in another case), all from one
// bold style; the saved file's path.
std::string four_styles_from_one(const scratch_dir& dir) {
    const std::string path = dir / "four.xlsx";
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    wb_add_worksheet(wb, "Sheet1");
    plover_style_t* st = wb_make_normal_style(wb);
    style_set_bold(st, 1);
    EXPECT_NE(wb_add_custom_style(wb, "StyleA", st), nullptr) << run_msg();
    EXPECT_NE(wb_add_custom_style(wb, "StyleB", st), nullptr) << run_msg();
    EXPECT_EQ(wb_modify_named_style(wb, "Good", st), 1) << run_msg();
    EXPECT_EQ(wb_modify_named_style(wb, "BAD", st), 1) << run_msg();
    EXPECT_EQ(doc_save(doc, path.c_str()), 1) << run_msg();
    doc_release(doc);
    return path;
}

} // namespace

TEST(named_style_records, each_named_style_has_a_style_xf_of_its_own) {
    scratch_dir dir;
    const std::string styles = find(read_zip(four_styles_from_one(dir)), "xl/styles.xml");
    EXPECT_NE(styles.find("<cellStyleXfs count=\"5\">"), std::string::npos) << styles;
    EXPECT_NE(styles.find("<cellStyle name=\"StyleA\" xfId=\"1\"/><cellStyle name=\"StyleB\" xfId=\"2\"/>"
                          "<cellStyle name=\"good\" xfId=\"3\" builtinId=\"26\" customBuiltin=\"1\"/>"
                          "<cellStyle name=\"bad\" xfId=\"4\" builtinId=\"27\" customBuiltin=\"1\"/>"),
              std::string::npos)
        << styles;
}

TEST(named_style_records, openpyxl_reads_named_styles_made_from_one_style) {
    scratch_dir dir;
    const std::string path = four_styles_from_one(dir);
    EXPECT_EQ(writer_test::run_python_file(dir, R"(
import sys, openpyxl
styles = {s.name: s for s in openpyxl.load_workbook(sys.argv[1])._named_styles}
assert all(styles[n].font.b for n in ("StyleA", "StyleB", "good", "bad")), list(styles)
)", {path}), 0);
}
