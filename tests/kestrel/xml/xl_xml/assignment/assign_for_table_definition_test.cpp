#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/utils/table_definition/tabledef_list.h"
#include "run_message.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

constexpr const char* table_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// A sheet "Data" with cells A1:C4 and one table part holding `table`.
entries_t table_package(const std::string& table, const std::string& sheet_extra = "") {
    const std::string body =
        R"(<sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c><c r="B1" t="inlineStr"><is><t>b</t></is>)"
        R"(</c><c r="C1" t="inlineStr"><is><t>c</t></is></c></row><row r="2"><c r="A2"><v>1</v></c></row></sheetData>)" +
        sheet_extra + R"(<tableParts count="1"><tablePart r:id="rId1"/></tableParts>)";
    entries_t e = reader_test::sheet_package(body);
    for (auto& [name, bytes] : e)
        if (name == "[Content_Types].xml")
            bytes.insert(bytes.rfind("</Types>"), override_of("xl/tables/table1.xml", table_type));
    e.push_back({"xl/worksheets/_rels/sheet1.xml.rels", rels(rel("rId1", std::string(od) + "table", "../tables/table1.xml"))});
    e.push_back({"xl/tables/table1.xml", std::string(decl) + table});
    return e;
}

std::string table_xml(const std::string& attributes, const std::string& content) {
    return std::string("<table xmlns=\"") + reader_test::main_ns + "\" " + attributes + ">" + content + "</table>";
}

const vex::mta::tabledef_list_t* tables_of(vex::xml_document_t& doc) {
    vex::worksheet_t* sheet = doc.workbook()->sheet_at(0);
    return sheet && sheet->worktable() ? &sheet->worktable()->tabledefs() : nullptr;
}

const std::string three_columns = R"(<tableColumns count="3"><tableColumn id="1" name="a"/>)"
                                  R"(<tableColumn id="2" name="b" totalsRowFunction="sum"/>)"
                                  R"(<tableColumn id="3" name="c"><calculatedColumnFormula>A2*2</calculatedColumnFormula>)"
                                  R"(</tableColumn></tableColumns>)";

} // namespace

TEST(assign_for_table_definition, a_table_enters_the_sheet_with_what_its_part_holds) {
    vex::xml_document_t doc;
    const std::string filter = R"(<autoFilter ref="A1:C4"><filterColumn colId="1" showButton="0"><filters>)"
                               R"(<filter val="x"/><filter val="y"/></filters></filterColumn>)"
                               R"(<filterColumn colId="2"><top10 val="3"/></filterColumn>)"
                               R"(<sortState caseSensitive="true" ref="A2:C4"><sortCondition descending="1" ref="B2:B4"/>)"
                               R"(</sortState></autoFilter>)";
    ASSERT_EQ(reader_test::load(doc, table_package(table_xml(R"(id="7" name="T" displayName="Tee" ref="A1:C4" )"
                                                             R"(totalsRowShown="0" headerRowCount="1")",
                                                             filter + three_columns))),
              "");
    const vex::mta::tabledef_list_t* list = tables_of(doc);
    ASSERT_TRUE(list);
    const vex::mta::tabledef_t* t = list->find("T");
    ASSERT_TRUE(t);
    // No tableStyleInfo: no style, and none is written.
    EXPECT_EQ(t->style_name(), "");
    EXPECT_FALSE(t->has_style_info());
    EXPECT_EQ(t->display_name(), "Tee");
    EXPECT_EQ(t->get_attributes().id, 7u);
    EXPECT_EQ(t->totals_row_func(1), 8);  // sum
    EXPECT_EQ(t->column_at(2).calculated_formula.text, "A2*2");
    const vex::autofilter_t* f = t->autofilter();
    ASSERT_TRUE(f);
    ASSERT_EQ(f->columns.size(), 2u);  // every column, in order
    EXPECT_EQ(f->columns[0].col_id, 1);
    EXPECT_EQ(f->columns[0].show_button, 0);
    ASSERT_TRUE(f->columns[0].filters);
    EXPECT_EQ(f->columns[0].filters->values, (std::vector<std::string>{"x", "y"}));
    EXPECT_FALSE(f->columns[0].top10);
    EXPECT_EQ(f->columns[1].col_id, 2);
    ASSERT_TRUE(f->columns[1].top10);
    EXPECT_EQ(f->columns[1].top10->val, 3);
    ASSERT_TRUE(f->sort_state);
    EXPECT_EQ(f->sort_state->case_sensitive, 1);  // a flag: "true" is on
    ASSERT_EQ(f->sort_state->conditions.size(), 1u);
    EXPECT_EQ(f->sort_state->conditions[0].descending, 1);
}

TEST(assign_for_table_definition, flags_and_failures) {
    {
        vex::xml_document_t doc;
        ASSERT_EQ(reader_test::load(doc, table_package(table_xml(R"(id="1" name="T" ref="A1:C4")",
                                                                 three_columns +
                                                                     R"(<tableStyleInfo name="TableStyleLight1" )"
                                                                     R"(showRowStripes="FALSE" showColumnStripes=""/>)"))),
                  "");
        const vex::mta::tabledef_t* t = tables_of(doc)->find("T");
        ASSERT_TRUE(t);
        EXPECT_EQ(t->style_name(), "TableStyleLight1");
        EXPECT_EQ(t->style_info().row_stripes, 0);
        EXPECT_EQ(t->style_info().col_stripes, 1);
    }
    {
        vex::xml_document_t doc;
        const std::string bad = R"(<tableColumns count="1"><tableColumn id="1" name="a" totalsRowFunction="product"/>)"
                                R"(</tableColumns>)";
        const std::string message = reader_test::load(doc, table_package(table_xml(R"(name="T" ref="A1:A4")", bad)));
        EXPECT_NE(message.find("invalid enumeration string value: \"product\""), std::string::npos) << message;
    }
    {
        vex::xml_document_t doc;
        const std::string message =
            reader_test::load(doc, table_package(table_xml(R"(name="T" ref="A1:A4" id="x")", "")));
        EXPECT_NE(message.find("invalid stoi argument"), std::string::npos) << "[" << message << "]";
    }
}

TEST(assign_for_table_definition, a_query_table_is_kept_and_saved_as_read) {
    scratch_dir dir;
    // End tags of their own, as a kept part is written.
    const std::string columns = R"(<tableColumns count="2"><tableColumn id="1" name="a"></tableColumn>)"
                                R"(<tableColumn id="2" name="b&amp;c"><calculatedColumnFormula>A2*2)"
                                R"(</calculatedColumnFormula></tableColumn></tableColumns>)";
    const std::string part = table_xml(R"(id="3" name="Q" ref="A1:B4" tableType="queryTable")", columns);
    write_zip(dir / "in.xlsx", table_package(part));
    {
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        EXPECT_EQ(tables_of(doc)->size(), 0u);
        EXPECT_EQ(vex::get_run_message().str(), "This table type is not supported.");
        doc.save((dir / "out.xlsx").c_str(), 2);
    }
    const entries_t saved = read_zip(dir / "out.xlsx");
    EXPECT_EQ(find(saved, "xl/tables/table1.xml"), std::string(saved_decl) + part);
    EXPECT_NE(find(saved, "xl/worksheets/sheet1.xml").find(R"(<tablePart r:id="rId1"/>)"), std::string::npos);
    EXPECT_NE(find(saved, "xl/worksheets/_rels/sheet1.xml.rels").find("../tables/table1.xml"), std::string::npos);
}

TEST(assign_for_table_definition, a_sheet_keeps_its_own_filter_and_sort_state) {
    scratch_dir dir;
    const std::string extra = R"(<autoFilter ref="A1:C4"><filterColumn colId="0"><customFilters and="1">)"
                              R"(<customFilter operator="greaterThan" val="0"/></customFilters></filterColumn>)"
                              R"(</autoFilter><sortState ref="A2:C4"><sortCondition ref="A2:A4"/></sortState>)";
    const std::string part = table_xml(R"(id="3" name="T" ref="E1:E2")", R"(<tableColumns count="1">)"
                                                                          R"(<tableColumn id="1" name="e"/></tableColumns>)");
    write_zip(dir / "in.xlsx", table_package(part, extra));
    {
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        doc.save((dir / "out.xlsx").c_str(), 2);
    }
    const std::string sheet = find(read_zip(dir / "out.xlsx"), "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find(R"(</sheetData><autoFilter ref="A1:C4"><filterColumn colId="0"><customFilters and="1">)"
                         R"(<customFilter operator="greaterThan" val="0"/></customFilters></filterColumn></autoFilter>)"
                         R"(<sortState ref="A2:C4"><sortCondition ref="A2:A4"/></sortState>)"),
              std::string::npos)
        << sheet;
}
