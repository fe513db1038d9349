#pragma once
// A workbook saved through the exports and the parts of the copy that tell
// whether its formulas kept their results.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <functional>
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

// A workbook built through the exports and saved in `dir`, the sheetData of
// its entry replaced by `data` (a shared group, which the exports never
// write), loaded again; null when the load fails.
inline plover_document_t* loaded_with_sheet_data(const scratch_dir& dir,
                                                 const std::function<void(plover_workbook_t*)>& build,
                                                 const std::string& entry, const std::string& data) {
    plover_document_t* made = doc_create();
    build(doc_get_workbook(made));
    entries_t book = saved(made, dir);
    doc_release(made);
    for (auto& [name, bytes] : book) {
        if (name != entry) continue;
        const size_t at = bytes.find("<sheetData");
        if (at == std::string::npos) return nullptr;
        const size_t closed = bytes.find("</sheetData>", at);
        const size_t end = closed == std::string::npos ? bytes.find("/>", at) + 2 : closed + 12;
        bytes.replace(at, end - at, data);
    }
    write_zip(dir / "in.xlsx", book);
    return doc_load((dir / "in.xlsx").c_str());
}

// The cell of the first sheet.
inline std::string cell_xml(const entries_t& copy, const std::string& ref) {
    return element(find(copy, "xl/worksheets/sheet1.xml"), "<c r=\"" + ref + "\"", "</c>");
}

// The crafted sheets with `table`, a table part's root element, as
// xl/tables/table1.xml.
inline entries_t with_table_part(round_trip_test::crafted_t c, const std::string& table) {
    c.extra = {{"xl/tables/table1.xml", std::string(decl) + table}};
    c.extra_types =
        override_of("xl/tables/table1.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml");
    return round_trip_test::package_of(c);
}

inline std::string inline_text(const char* ref, const char* t) {
    return std::string("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + t + "</t></is></c>";
}

// One sheet of `sheet_data` with the table T over `ref` (a totals row below),
// its columns `columns`.
inline entries_t table_book(const std::string& sheet_data, const char* ref, const std::string& columns) {
    round_trip_test::crafted_t c;
    c.sheets = {{sheet_data + "<tableParts count=\"1\"><tablePart r:id=\"rId1\"/></tableParts>",
                 rel("rId1", std::string(od) + "table", "../tables/table1.xml")}};
    return with_table_part(c, "<table xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"1\" "
                              "name=\"T\" displayName=\"T\" ref=\"" + std::string(ref) +
                              "\" totalsRowCount=\"1\"><tableColumns>" + columns + "</tableColumns></table>");
}

// As XlsxWriter writes a totals row: the table T over A1:B4 (Item, Qty; Qty 1
// and 2), B4 SUBTOTAL(109,[Qty]) (3), D1 T[[#Totals],[Qty]]*10 (30), and the
// cells of `extra` after them in row 1.
inline entries_t totals_table_book(const std::string& extra = "") {
    const auto text = inline_text;
    return table_book("<sheetData><row r=\"1\">" + text("A1", "Item") + text("B1", "Qty") +
                          "<c r=\"D1\"><f>T[[#Totals],[Qty]]*10</f><v>30</v></c>" + extra + "</row><row r=\"2\">" +
                          text("A2", "a") + "<c r=\"B2\"><v>1</v></c></row><row r=\"3\">" + text("A3", "b") +
                          "<c r=\"B3\"><v>2</v></c></row><row r=\"4\">" + text("A4", "Total") +
                          "<c r=\"B4\"><f>SUBTOTAL(109,[Qty])</f><v>3</v></c></row></sheetData>",
                      "A1:B4",
                      "<tableColumn id=\"1\" name=\"Item\" totalsRowLabel=\"Total\"/>"
                      "<tableColumn id=\"2\" name=\"Qty\" totalsRowFunction=\"sum\"/>");
}

} // namespace package_test
