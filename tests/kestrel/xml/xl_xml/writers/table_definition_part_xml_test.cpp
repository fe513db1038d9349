#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/xml/xl_xml/writers/table_definition_part_xml.h"
#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/style/manager/style_manager.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <string>

using writer_test::xml_elements;

namespace {

using k = vex::part_kind_enum;

constexpr const char* table_head =
    R"(<table xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
    R"(xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" mc:Ignorable="xr xr3" )"
    R"(xmlns:xr="http://schemas.microsoft.com/office/spreadsheetml/2014/revision" )"
    R"(xmlns:xr3="http://schemas.microsoft.com/office/spreadsheetml/2016/revision3" )";

vex::range_t rng(int r1, int c1, int r2, int c2) {
    vex::range_t r;
    r.first.row = r1, r.first.col = c1, r.last.row = r2, r.last.col = c2;
    return r;
}

struct table_book {
    vex::xml_document_t doc;
    vex::worktable_t* table = nullptr;

    table_book() {
        doc.create_package();
        vex::worksheet_t* sheet = writer_test::add_sheet(*doc.workbook(), "Data");
        table = sheet ? sheet->worktable() : nullptr;
    }
    std::string write(const char* name) {
        for (const auto& c : table->get_part()->get_child_parts()) {
            const auto* d = dynamic_cast<const vex::table_definition_t*>(c->get_component());
            if (d && d->get_name() == name) return writer_test::write_part_text(*c);
        }
        return "<no part>";
    }
};

std::string id_of(const vex::mta::tabledef_t& t) { return std::to_string(t.get_attributes().id); }

} // namespace

TEST(table_definition_part_xml, a_table_with_a_preset_style_and_a_display_name) {
    table_book b;
    ASSERT_TRUE(b.table);
    const std::string style(vex::mta::builtin_table_style_name(59));
    vex::mta::tabledef_t* t = b.table->add_tabledef("Table1", rng(1, 1, 5, 3), style.c_str());
    ASSERT_TRUE(t);
    t->set_display_name("my tab");
    const std::string expected = std::string(package_test::saved_decl) + table_head +
                                 R"(name="Table1" displayName="my_tab" headerRowCount="1" id=")" + id_of(*t) +
                                 R"(" ref="A1:C5"><tableColumns count="3">)"
                                 R"(<tableColumn id="1" name="Column1"/><tableColumn id="2" name="Column2"/>)"
                                 R"(<tableColumn id="3" name="Column3"/></tableColumns>)"
                                 R"(<tableStyleInfo name=")" + style +
                                 R"(" showFirstColumn="0" showLastColumn="0" showRowStripes="1" showColumnStripes="0"/>)"
                                 "</table>";
    EXPECT_EQ(xml_elements(b.write("Table1")), xml_elements(expected));
}

TEST(table_definition_part_xml, totals_row_filter_with_sort_state_and_no_header_row) {
    table_book b;
    ASSERT_TRUE(b.table);
    vex::mta::tabledef_t* t = b.table->add_tabledef("Sales", rng(2, 2, 6, 3), nullptr);
    ASSERT_TRUE(t);
    vex::mta::tabledef_attributes_t a = t->get_attributes();
    a.headerRowCount = 0;
    a.totalsRowCount = 1;
    a.totalsRowShown = 1;
    a.dataDxfId = 0;  // no dxfs are written: left out
    t->set_attributes(a);
    t->set_totals_row_label("Total");
    t->set_totals_row_func(1, 8);  // sum
    auto filter = std::make_unique<vex::autofilter_t>();
    filter->range = rng(2, 2, 5, 3);
    vex::filter_column_t& column = filter->columns.emplace_back();
    column.col_id = 1;
    column.show_button = 0;
    column.filters = std::make_unique<vex::filters_t>();
    column.filters->values = {"a&b", ""};
    column.filters->date_groups.push_back({5, 2024, 3, 0, 0, 0, 0});
    column.top10 = std::make_unique<vex::top10_t>();  // a column takes one kind: not written
    filter->sort_state = std::make_unique<vex::sort_state_t>();
    filter->sort_state->ref = rng(3, 2, 5, 3);
    vex::sort_condition_t& key = filter->sort_state->conditions.emplace_back();
    key.descending = 1;
    key.ref = rng(3, 3, 5, 3);
    t->set_autofilter(std::move(filter));
    const std::string expected =
        std::string(package_test::saved_decl) + table_head +
        R"(name="Sales" displayName="Sales" headerRowCount="0" id=")" + id_of(*t) +
        R"(" ref="B2:C6" totalsRowCount="1" totalsRowShown="1">)"
        R"(<autoFilter ref="B2:C5"><filterColumn colId="1" showButton="0">)"
        R"(<filters><filter val="a&amp;b"/><filter val=""/><dateGroupItem year="2024" month="3" dateTimeGrouping="year"/></filters>)"
        R"(</filterColumn><sortState ref="B3:C5"><sortCondition descending="1" ref="C3:C5"/></sortState></autoFilter>)"
        R"(<tableColumns count="2"><tableColumn id="1" name="Column1" totalsRowLabel="Total"/>)"
        R"(<tableColumn id="2" name="Column2" totalsRowFunction="sum"/></tableColumns>)"
        R"(<tableStyleInfo name="TableStyleMedium2" showFirstColumn="0" showLastColumn="0" showRowStripes="1" )"
        R"(showColumnStripes="0"/></table>)";
    EXPECT_EQ(xml_elements(b.write("Sales")), xml_elements(expected));
}

TEST(table_definition_part_xml, styles_and_formulas_are_written_only_when_they_name_something) {
    table_book b;
    ASSERT_TRUE(b.table);
    vex::mta::tabledef_t* t = b.table->add_tabledef("T", rng(1, 1, 3, 2), nullptr);
    ASSERT_TRUE(t);
    {
        vex::mta::style_manager_t& m = *b.table->get_style_manager();
        auto loaded = std::make_unique<vex::mta::style_manager_t::impl>(m.get_impl());
        loaded->dxfs.resize(1);
        m.assign_loaded_styles(std::move(loaded));
        vex::mta::style_settings_t good;
        ASSERT_TRUE(m.add_custom_style("Fine", good));
    }
    vex::mta::tabledef_attributes_t a = t->get_attributes();
    a.dataDxfId = 0;
    a.headerRowDxfId = 1;  // past the dxfs
    t->set_attributes(a);
    t->set_header_row_cell_style("Fine");
    t->set_totals_row_cell_style("Missing");
    std::deque<vex::mta::tabledef_column_t> columns(2);
    columns[0].id = 1, columns[0].name = "x", columns[0].totals_func = 4;  // custom without formula
    columns[0].calculated_formula.text = "[@y]*2";
    columns[1].id = 2, columns[1].name = "y", columns[1].totals_func = 4;
    columns[1].totals_formula.text = "SUM(T[y])";
    columns[1].totals_formula.array = true;
    t->set_columns(columns);
    const std::string text = b.write("T");
    EXPECT_NE(text.find(R"(dataDxfId="0")"), std::string::npos) << text;
    EXPECT_EQ(text.find("headerRowDxfId"), std::string::npos) << text;
    EXPECT_NE(text.find(R"(headerRowCellStyle="Fine")"), std::string::npos) << text;
    EXPECT_EQ(text.find("Missing"), std::string::npos) << text;
    EXPECT_EQ(text.find("dataCellStyle"), std::string::npos) << text;  // the table style's name
    EXPECT_NE(text.find(R"(<tableColumn id="1" name="x"><calculatedColumnFormula>[@y]*2</calculatedColumnFormula>)"
                        R"(</tableColumn>)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(R"(<tableColumn id="2" name="y" totalsRowFunction="custom"><totalsRowFormula array="1">)"
                        R"(SUM(T[y])</totalsRowFormula></tableColumn>)"),
              std::string::npos)
        << text;
}

TEST(table_definition_part_xml, sort_state_and_criteria_elements) {
    std::string out;
    vex::xml::xml_stream_writer w([&out](const char* p, unsigned n) { out.append(p, n); });
    vex::sort_state_t s;
    s.sort_method = 2;
    s.case_sensitive = 1;
    s.ref = rng(1, 1, 1, 1);
    vex::sort_condition_t& key = s.conditions.emplace_back();
    key.sort_by = 3;
    key.icon_set = 2;
    key.icon_id = 0;
    key.dxf_id = 0;
    key.ref = rng(1, 1, 4, 1);
    vex::write_sort_state(w, s);
    vex::autofilter_t f;
    f.range = rng(1, 1, 9, 2);
    vex::filter_column_t& c = f.columns.emplace_back();
    c.col_id = 0;
    c.custom_filters = std::make_unique<vex::custom_filters_t>();
    c.custom_filters->filters.push_back({0, "1"});
    vex::write_autofilter(w, f);
    c.custom_filters.reset();
    c.dynamic_filter = std::make_unique<vex::dynamic_filter_t>();
    c.dynamic_filter->type = 1;
    c.dynamic_filter->val_iso = 3;
    vex::write_autofilter(w, f);
    c.dynamic_filter.reset();
    c.top10 = std::make_unique<vex::top10_t>();
    c.top10->top = 0;
    c.top10->val = 10;
    vex::write_autofilter(w, f);
    w.flush();
    EXPECT_EQ(xml_elements(out),
              xml_elements(R"(<sortState sortMethod="stroke" caseSensitive="1" ref="A1:A1">)"
                           R"(<sortCondition sortBy="icon" dxfId="0" iconId="0" iconSet="3Flags" ref="A1:A4"/></sortState>)"
                           R"(<autoFilter ref="A1:B9"><filterColumn colId="0"><customFilters>)"
                           R"(<customFilter operator="equal" val="1"/></customFilters></filterColumn></autoFilter>)"
                           R"(<autoFilter ref="A1:B9"><filterColumn colId="0"><dynamicFilter type="belowAverage"/>)"
                           R"(</filterColumn></autoFilter>)"
                           R"(<autoFilter ref="A1:B9"><filterColumn colId="0"><top10 top="0" val="10"/>)"
                           R"(</filterColumn></autoFilter>)"));
}

// Rows deleted under a whole table take the table and its part along: the
// save lists no part without its table.
TEST(table_definition_part_xml, a_table_whose_rows_are_deleted_leaves_no_part) {
    package_test::scratch_dir dir;
    table_book b;
    ASSERT_TRUE(b.table);
    ASSERT_TRUE(b.table->add_tabledef("Gone", rng(2, 1, 4, 2), nullptr));
    ASSERT_TRUE(b.table->add_tabledef("Kept", rng(8, 1, 9, 2), nullptr));
    ASSERT_TRUE(b.table->shift_range_up(1, 10, 1, 5));
    EXPECT_FALSE(b.table->tabledefs().find("Gone"));
    EXPECT_EQ(b.write("Gone"), "<no part>");
    b.doc.save((dir / "out.xlsx").c_str(), 2);
    const package_test::entries_t saved = package_test::read_zip(dir / "out.xlsx");
    const std::string table = package_test::find(saved, "xl/tables/table1.xml");
    EXPECT_NE(table.find(R"(name="Kept")"), std::string::npos) << table;
    EXPECT_NE(table.find(R"(ref="A3:B4")"), std::string::npos) << table;
    EXPECT_EQ(package_test::find(saved, "xl/tables/table2.xml"), "<absent>");
    package_test::expect_no_dangling_targets(saved);
}
