#pragma once
// A workbook saved through the exports and the parts of the copy that tell
// whether its formulas kept their results.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <string>

namespace package_test {

inline plover_worksheet_t* sheet(plover_document_t* doc, int index) {
    return wb_get_sheet(doc_get_workbook(doc), index);
}

inline entries_t saved(plover_document_t* doc, const scratch_dir& dir) {
    EXPECT_EQ(doc_save(doc, (dir / "out.xlsx").c_str()), 1) << run_msg();
    return read_zip(dir / "out.xlsx");
}

inline std::string element(const std::string& xml, const std::string& start, const std::string& end) {
    const size_t at = xml.find(start);
    return at == std::string::npos ? "" : xml.substr(at, xml.find(end, at) + end.size() - at);
}

inline std::string calc_pr(const entries_t& copy) { return element(find(copy, "xl/workbook.xml"), "<calcPr", "/>"); }

// The cell of the first sheet.
inline std::string cell_xml(const entries_t& copy, const std::string& ref) {
    return element(find(copy, "xl/worksheets/sheet1.xml"), "<c r=\"" + ref + "\"", "</c>");
}

} // namespace package_test
