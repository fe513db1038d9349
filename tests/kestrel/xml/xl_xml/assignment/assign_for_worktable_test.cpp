#include "kestrel/xml/xl_xml/assignment/assign_for_worktable.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "mta/formula/formula_cell.h"
#include "mta/table/cell/cell.h"
#include "mta/table/cell/richtext.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex;
using mta::cell_value_kind;
using reader_test::load;
using reader_test::sheet_package;

namespace {

struct sheet_fixture {
    xml_document_t doc;
    std::string error;
    worktable_t* table = nullptr;
    sheet_fixture(const std::string& data, const std::string* sst = nullptr, const std::string& book_pr = "") {
        error = load(doc, sheet_package("<sheetData>" + data + "</sheetData>", sst, book_pr));
        if (error.empty() && doc.workbook() && doc.workbook()->sheet_at(0))
            table = doc.workbook()->sheet_at(0)->worktable();
    }
    mta::cell_t cell(int row, int col) const { return table->get_cell(row, col); }
};

std::string load_error(const std::string& data, const std::string* sst = nullptr) {
    return sheet_fixture(data, sst).error;
}

} // namespace

TEST(assign_for_worktable, numbers_booleans_errors_and_dates) {
    sheet_fixture s("<row r=\"1\"><c r=\"A1\"><v>42</v></c><c r=\"B1\"><v>2147483648</v></c>"
                    "<c r=\"C1\"><v>-2147483649</v></c><c r=\"D1\"><v>2.5</v></c><c r=\"E1\" t=\"n\"><v>1e300</v></c>"
                    "<c r=\"F1\" t=\"b\"><v>1</v></c><c r=\"G1\" t=\"e\"><v>#N/A</v></c>"
                    "<c r=\"H1\" t=\"e\"><v>#SPILL!</v></c><c r=\"I1\" t=\"e\"><v>#BOGUS!</v></c>"
                    "<c r=\"J1\" t=\"d\"><v>2024-03-01T12:00:00Z</v></c><c r=\"K1\" t=\"b\"><v>false</v></c></row>");
    ASSERT_EQ(s.error, "");
    ASSERT_NE(s.table, nullptr);
    EXPECT_EQ(s.cell(1, 1).get_num(), 42.0);
    EXPECT_EQ(s.cell(1, 2).get_num(), 2147483648.0);
    EXPECT_EQ(s.cell(1, 3).get_num(), -2147483649.0);
    EXPECT_EQ(s.cell(1, 4).get_num(), 2.5);
    EXPECT_EQ(s.cell(1, 5).get_num(), 1e300);
    EXPECT_EQ(s.cell(1, 6).get_boolean(), true);
    EXPECT_EQ(s.cell(1, 7).get_error(), mta::error_value_enum::na);
    EXPECT_EQ(s.cell(1, 8).get_error(), mta::error_value_enum::spill);
    EXPECT_EQ(s.cell(1, 9).get_error(), mta::error_value_enum::value);
    EXPECT_EQ(s.cell(1, 10).get_num(), 45352.5);
    EXPECT_EQ(s.cell(1, 11).get_boolean(), false);
}

TEST(assign_for_worktable, dates_follow_the_workbook_system) {
    sheet_fixture s("<row r=\"1\"><c r=\"A1\" t=\"d\"><v>1904-01-02</v></c></row>", nullptr,
                    "<workbookPr date1904=\"1\"/>");
    ASSERT_EQ(s.error, "");
    EXPECT_TRUE(s.doc.workbook()->is_date1904());
    EXPECT_EQ(s.cell(1, 1).get_num(), 1.0);
}

TEST(assign_for_worktable, date_texts) {
    EXPECT_EQ(parse_date_text("1900-03-01", false), 61.0);
    EXPECT_EQ(parse_date_text("2024-03-01 06:00", false), 45352.25);
    EXPECT_EQ(parse_date_text("2024-03-01T00:00:00.5+02:00", false), 45352.0 + 0.5 / 86400);
    EXPECT_EQ(parse_date_text("1904-01-01", true), 0.0);
    for (const char* bad : {"", "2024-3-01", "2024-02-30", "2024-01-01T25:00", "2024-01-01x", "2024-01-01T10:00+2",
                            "2024-01-01T10:00:00."})
        EXPECT_FALSE(parse_date_text(bad, false).has_value()) << bad;
}

TEST(assign_for_worktable, shared_inline_and_formula_text) {
    const std::string sst = "<si><t>first</t></si><si><r><t>ri</t></r><r><rPr><b/></rPr><t>ch</t></r></si>";
    sheet_fixture s("<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\" t=\"s\"><v>1</v></c>"
                    "<c r=\"C2\" t=\"inlineStr\"><is><t>inline</t></is></c>"
                    "<c r=\"D2\" t=\"inlineStr\"><is><r><rPr><i/></rPr><t>in</t></r><r><t>rich</t></r></is></c>"
                    "<c r=\"E2\" t=\"str\"><v>plain str</v></c>"
                    "<c r=\"F2\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c>"
                    "<c r=\"G2\"><f>1+1</f><v>2</v></c>"
                    "<c r=\"H2\" s=\"0\"><f t=\"shared\" ref=\"H2:H3\" si=\"0\" ca=\"1\">A1*2</f><v>84</v></c></row>",
                    &sst);
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.cell(2, 1).get_text(), "first");
    EXPECT_EQ(s.cell(2, 2).get_text(), "rich");
    ASSERT_NE(s.cell(2, 2).get_richtext(), nullptr);
    EXPECT_EQ(s.cell(2, 3).get_text(), "inline");
    ASSERT_NE(s.cell(2, 4).get_richtext(), nullptr);
    EXPECT_EQ(s.cell(2, 4).get_text(), "inrich");
    EXPECT_EQ(s.cell(2, 5).get_text(), "plain str");
    EXPECT_EQ(s.cell(2, 6).kind(), cell_value_kind::formula);
    EXPECT_EQ(s.cell(2, 6).get_formula_expr(), "\"a\"&\"b\"");
    const mta::formula::formula_cell* text_result = s.table->get_formula_cell(2, 6);
    ASSERT_NE(text_result, nullptr);
    ASSERT_TRUE(text_result->has_result());
    EXPECT_EQ(std::get<std::string>(*text_result->result()), "ab");
    EXPECT_EQ(s.cell(2, 7).get_formula_expr(), "1+1");
    const mta::formula::formula_cell* number_result = s.table->get_formula_cell(2, 7);
    ASSERT_NE(number_result, nullptr);
    ASSERT_TRUE(number_result->has_result());
    EXPECT_EQ(std::get<double>(*number_result->result()), 2.0);
    const mta::formula::formula_cell* shared = s.table->get_formula_cell(2, 8);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->attributes().type, 1u);
    EXPECT_EQ(shared->attributes().flags & 1, 1);
    EXPECT_EQ(shared->attributes().ref.last.row, 3);
}

TEST(assign_for_worktable, an_empty_formula_value_is_no_result_unless_it_is_a_text) {
    sheet_fixture s("<row r=\"1\"><c r=\"A1\"><f>1+1</f><v></v></c><c r=\"B1\" t=\"str\"><f>\"\"</f><v></v></c>"
                    "<c r=\"C1\" t=\"b\"><f>TRUE</f><v/></c></row>");
    ASSERT_EQ(s.error, "");
    for (int col : {1, 3}) {
        const mta::formula::formula_cell* f = s.table->get_formula_cell(1, col);
        ASSERT_NE(f, nullptr) << col;
        EXPECT_FALSE(f->has_result()) << col;
    }
    const mta::formula::formula_cell* text = s.table->get_formula_cell(1, 2);
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(text->has_result());
    EXPECT_EQ(std::get<std::string>(*text->result()), "");
    // A plain cell has no such reading: its empty value is still bad data.
    sheet_fixture plain("<row r=\"1\"><c r=\"A1\"><v></v></c></row>");
    EXPECT_NE(plain.error.find("Cell data error."), std::string::npos) << plain.error;
}

TEST(assign_for_worktable, inline_strings_without_a_strings_part) {
    sheet_fixture s("<row><c t=\"inlineStr\"><is><t xml:space=\"preserve\"> x </t></is></c><c><v>7</v></c></row>"
                    "<row><c><v>8</v></c></row>");
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.cell(1, 1).get_text(), " x ");  // r omitted on rows and cells: the next position
    EXPECT_EQ(s.cell(1, 2).get_num(), 7.0);
    EXPECT_EQ(s.cell(2, 1).get_num(), 8.0);
}

TEST(assign_for_worktable, cell_attributes_in_any_order_and_lookalike_names) {
    sheet_fixture s("<row r=\"1\"><c vm=\"2\" t=\"b\" cm=\"1\" r=\"C1\" rr=\"A9\" ts=\"e\"><v>1</v></c>"
                    "<c tt=\"e\" r=\"D1\" xm=\"5\" m=\"6\"><v>5</v></c><c s=\"0\" vm=\"3\"><v>6</v></c></row>");
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.cell(1, 3).get_boolean(), true);
    EXPECT_EQ(s.cell(1, 4).get_num(), 5.0);
    EXPECT_EQ(s.cell(1, 5).get_num(), 6.0);  // after D1: no r of its own
    const auto& metadata = s.table->periphery().cell_metadata;
    ASSERT_EQ(metadata.size(), 2u);
    EXPECT_EQ(metadata.at({1, 3}).cell, 1u);
    EXPECT_EQ(metadata.at({1, 3}).value, 2u);
    EXPECT_EQ(metadata.at({1, 5}).cell, 0u);
    EXPECT_EQ(metadata.at({1, 5}).value, 3u);
}

TEST(assign_for_worktable, row_attributes) {
    sheet_fixture s("<row r=\"1\" customHeight=\"1\" ht=\"20\"/><row r=\"2\" ht=\"30\"/>"
                    "<row r=\"3\" hidden=\"0\"/><row r=\"4\" hidden=\"1\"><c r=\"A4\" s=\"0\"/></row>"
                    "<row r=\"5\" outlineLevel=\"2\"/><row r=\"6\" customHeight=\"true\" ht=\"nan\"/>"
                    "<row r=\"7\" outlineLevel=\"9\"/>");
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.table->get_custom_row_height(1, 1, 0), 20.0);
    EXPECT_FALSE(s.table->get_custom_row_height(2, 2, 0).has_value());
    // Kept for the writer, in EMU.
    EXPECT_EQ(s.table->row_records().value_at(2).flags, mta::rc_record_t::read_height);
    EXPECT_EQ(s.table->row_records().value_at(2).height, 30 * 12700);
    EXPECT_FALSE(s.table->get_custom_row_height(6, 6, 0).has_value());
    EXPECT_FALSE(s.table->row_hidden(3));  // one flag rule: "0" is off
    EXPECT_TRUE(s.table->row_hidden(4));
    EXPECT_EQ(s.table->row_outline_level(5), 2);
    EXPECT_EQ(s.table->row_outline_level(7), 0);  // refused, the load goes on
}

TEST(assign_for_worktable, hostile_sheets_fail_cleanly) {
    const std::string sst = "<si><t>only</t></si>";
    const struct {
        const char* data;
        const char* message;
    } cases[] = {
        {"<row r=\"1\"><c r=\"A0\"><v>1</v></c></row>", "Wrong cell reference: A0"},
        {"<row r=\"1\"><c r=\"XFD1048577\"><v>1</v></c></row>", "Wrong cell reference: XFD1048577"},
        {"<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>", "Wrong cell reference: XFE1"},
        {"<row r=\"1\"><c r=\"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1\"/></row>",
         "Wrong cell reference: AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1"},
        {"<row r=\"1\"><c r=\"A99999999999999999999\"/></row>", "Wrong cell reference: A99999999999999999999"},
        {"<row r=\"1048577\"/>", "Wrong row identifier: 1048577"},
        {"<row r=\"-1\"/>", "Wrong row identifier: -1"},
        {"<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>", "xml file error: row is 2"},
        {"<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\" t=\"s\"><v>-1</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\" t=\"s\"><v>x</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\"><v>nan</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\"><v>inf</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\" t=\"b\"><v>yes</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\" t=\"d\"><v>yesterday</v></c></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\" s=\"x\"/></row>", "Cell data error."},
        {"<row r=\"1\"><c r=\"A1\"><f t=\"bogus\">1</f></c></row>", "invalid enumeration string value: \"bogus\""},
        {"<row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:XFE2\">1</f></c></row>", "Wrong range reference: A1:XFE2"},
    };
    for (const auto& c : cases) {
        const std::string e = load_error(c.data, &sst);
        EXPECT_NE(e.find(c.message), std::string::npos) << c.data << " -> " << e;
    }
    std::string deep = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>";
    for (int i = 0; i < 300; ++i) deep += "<r>";
    for (int i = 0; i < 300; ++i) deep += "</r>";
    EXPECT_NE(load_error(deep + "</is></c></row>").find("nests deeper than 256"), std::string::npos);
    // Stray nodes without their parent record are ignored.
    sheet_fixture s("<c r=\"B1\"><v>5</v></c><row r=\"1\"><v>6</v><f>1</f><is><t>x</t></is>"
                    "<c r=\"A1\"><v>7</v></c></row>");
    ASSERT_EQ(s.error, "");
    EXPECT_EQ(s.cell(1, 1).get_num(), 7.0);
    EXPECT_EQ(s.cell(1, 2).kind(), cell_value_kind::none);
}

namespace {

const std::string one_cell = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
const std::string sheet_rels_name = "xl/worksheets/_rels/sheet1.xml.rels";

// A sheet whose whole body is given, with the sheet's relationships when any.
struct body_fixture {
    xml_document_t doc;
    std::string error;
    worktable_t* table = nullptr;
    explicit body_fixture(const std::string& body, const std::string& sheet_rels = "") {
        package_test::entries_t e = sheet_package(body);
        if (!sheet_rels.empty()) e.push_back({sheet_rels_name, package_test::rels(sheet_rels)});
        error = load(doc, e);
        if (error.empty() && doc.workbook() && doc.workbook()->sheet_at(0))
            table = doc.workbook()->sheet_at(0)->worktable();
    }
};

} // namespace

TEST(assign_for_worktable, columns) {
    body_fixture s("<cols><col min=\"1\" max=\"2\" width=\"20.5\" customWidth=\"1\"/>"
                   "<col min=\"3\" max=\"3\" width=\"9\" hidden=\"true\"/>"
                   "<col min=\"4\" max=\"5\" width=\"9\" hidden=\"0\" outlineLevel=\"2\" collapsed=\"0\"/>"
                   "<col min=\"6\" max=\"6\" outlineLevel=\"1\" collapsed=\"1\"/></cols>" +
                   one_cell);
    ASSERT_EQ(s.error, "");
    EXPECT_NEAR(*s.table->get_custom_col_width(1, 1, 0), 20.5, 0.01);
    EXPECT_NEAR(*s.table->get_custom_col_width(2, 2, 0), 20.5, 0.01);
    EXPECT_TRUE(s.table->col_hidden(3));
    EXPECT_FALSE(s.table->col_hidden(4));
    EXPECT_EQ(s.table->col_outline_level(4), 2);
    EXPECT_EQ(s.table->col_outline_level(5), 2);
    EXPECT_EQ(s.table->col_outline_level(6), 1);
    EXPECT_EQ(s.table->col_outline_level(7), 0);
    EXPECT_FALSE(s.table->get_custom_col_width(7, 7, 0).has_value());
}

TEST(assign_for_worktable, merged_ranges_are_recorded_without_moving_cells) {
    body_fixture s("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c></row></sheetData>"
                   "<mergeCells count=\"2\"><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"D4:C3\"/>"
                   "<mergeCell ref=\"E5\"/></mergeCells>");
    ASSERT_EQ(s.error, "");
    const std::vector<range_t> all = s.table->merged_cells().get_all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(s.table->merged_cells().is_covered(2, 2));
    EXPECT_TRUE(s.table->merged_cells().is_covered(4, 4));
    EXPECT_FALSE(s.table->merged_cells().is_covered(5, 5));
    // A covered cell keeps what the file gave it.
    EXPECT_EQ(s.table->get_cell(1, 2).get_num(), 2.0);
}

TEST(assign_for_worktable, hyperlinks) {
    body_fixture s(one_cell + "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId7\" display=\"Site\" tooltip=\"Go\"/>"
                              "<hyperlink ref=\"B2:C3\" location=\"Data!D4\" display=\"There\"/></hyperlinks>",
                   package_test::rel("rId7", std::string(package_test::od) + "hyperlink", "https://example.com/a",
                                     true));
    ASSERT_EQ(s.error, "");
    const mta::hyperlink_list_t& links = s.table->hyperlinks();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_TRUE(links.is_external(0));
    EXPECT_EQ(links.address_at(0), "https://example.com/a");
    EXPECT_EQ(links.at(0)->display, "Site");
    EXPECT_EQ(links.at(0)->tooltip, "Go");
    EXPECT_FALSE(links.is_external(1));
    EXPECT_EQ(links.address_at(1), "Data!D4");
    EXPECT_EQ(links.range_at(1).last.col, 3);
    EXPECT_EQ(links.at(1)->display, "There");
    // A relationship id naming nothing fails the load.
    EXPECT_NE(body_fixture(one_cell + "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId9\"/></hyperlinks>")
                  .error.find("External hyperlink target not found."),
              std::string::npos);
}

TEST(assign_for_worktable, hostile_body_sections) {
    const struct {
        const char* body;
        const char* message;
    } failing[] = {
        {"<mergeCells><mergeCell ref=\"A1:C3\"/><mergeCell ref=\"B2:D4\"/></mergeCells>", "Merged ranges overlap"},
        {"<mergeCells><mergeCell ref=\"B2:B3\"/><mergeCell ref=\"A1:C3\"/></mergeCells>", "Merged ranges overlap"},
        {"<mergeCells><mergeCell ref=\"A0:B2\"/></mergeCells>", "Wrong range reference: A0:B2"},
        {"<mergeCells><mergeCell ref=\"A1:XFE2\"/></mergeCells>", "Wrong range reference: A1:XFE2"},
        {"<mergeCells><mergeCell/></mergeCells>", "Wrong range reference"},
        {"<hyperlinks><hyperlink ref=\"XFD1048577\" location=\"A1\"/></hyperlinks>", "Wrong range reference"},
    };
    for (const auto& c : failing) {
        const std::string e = body_fixture(std::string(c.body) + one_cell).error;
        EXPECT_NE(e.find(c.message), std::string::npos) << c.body << " -> " << e;
    }
    // Column ranges outside the sheet or reversed are ignored, the load goes on.
    body_fixture s("<cols><col width=\"30\" customWidth=\"1\"/><col min=\"5\" max=\"3\" width=\"30\"/>"
                   "<col min=\"16384\" max=\"16385\" hidden=\"1\"/><col min=\"-1\" max=\"2\" hidden=\"1\"/>"
                   "<col min=\"x\" max=\"y\"/><col min=\"1\" max=\"1\" width=\"nan\" style=\"99999999999\"/></cols>"
                   "<mergeCells><mergeCell ref=\"A1:XFD1048576\"/></mergeCells>" + one_cell);
    ASSERT_EQ(s.error, "");
    for (int c : {1, 2, 3, 4, 5, 16384}) {
        EXPECT_FALSE(s.table->get_custom_col_width(c, c, 0).has_value()) << c;
        EXPECT_FALSE(s.table->col_hidden(c)) << c;
    }
    EXPECT_EQ(s.table->merged_cells().get_all().size(), 1u);
}
