#include "kestrel/core/components/worktable.h"

#include "errors.h"
#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/workbook_style.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "kestrel/parts/worksheet_part.h"
#include "kestrel/parts/worktable_part.h"
#include "mta/table/cell/cell_getters.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/utils/hyperlink/hyperlink_list.h"
#include "run_message.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <string>

using vex::range_t;
using vex::xml::sxml::node_kind;
using vex::xml::sxml::status_t;
using vex::xml::sxml::xml_node_t;

namespace {

range_t cells(int r1, int c1, int r2, int c2) { return {{0, r1, c1, 1, 0, 0}, {0, r2, c2, 1, 0, 0}}; }

std::string message() { return vex::get_run_message().str(); }

struct table_fixture : ::testing::Test {
    factory_test::package p;
    vex::workbook_t& book = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();
    vex::worksheet_part_t* sheet_part = make_sheet("Data", 1, "rId1");
    vex::worksheet_t& sheet = *sheet_part->get_worksheet();
    vex::worktable_t& table = *sheet.create_worktable__(100, 20, {});
    vex::xml_part_t& part = *table.get_part();

    vex::worksheet_part_t* make_sheet(const char* name, uint32_t id, const char* rid) {
        book.sheets().push_back({id, 1, 0, rid, name, nullptr});
        auto* s = static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", rid));
        book.attach_worksheet(s->get_worksheet(), rid);
        return s;
    }
    std::string text(int row, int col) const {
        const char* t = vex::mta::cell_getters::get_text(table, row, col);
        return t ? t : "<null>";
    }
    std::string table_part_names() const {
        std::string s;
        for (const vex::xml_part_t* t : table.sheet_extras().table_parts)
            s += std::string(static_cast<vex::table_definition_t*>(t->get_component())->get_name()) + " ";
        return s;
    }
};

xml_node_t element(const char* name, xml_node_t* parent = nullptr, node_kind kind = node_kind::element) {
    xml_node_t n{};
    n.kind = kind;
    n.name = name;
    n.parent = parent;
    return n;
}

} // namespace

TEST(range_intersect, narrows_to_the_overlap_or_becomes_the_default_range) {
    range_t a{{7, 2, 3, 0, 1, 1}, {7, 10, 8, 0, 1, 1}};
    EXPECT_EQ(&a.intersect(cells(5, 1, 20, 5)), &a);
    EXPECT_EQ(a, (range_t{{7, 5, 3, 0, 1, 1}, {7, 10, 5, 0, 1, 1}}));  // grid and flags kept
    range_t edge = cells(1, 1, 4, 4);
    EXPECT_EQ(edge.intersect(cells(4, 4, 9, 9)), cells(4, 4, 4, 4));  // touching corners overlap
    const range_t none{{0, 0, 0, 1, 0, 0}, {0, 0, 0, 1, 0, 0}};
    for (const range_t& other : {cells(5, 1, 9, 4), cells(1, 5, 4, 9), cells(5, 5, 9, 9)}) {
        range_t r = cells(1, 1, 4, 4);
        EXPECT_EQ(r.intersect(other), none);
    }
}

TEST_F(table_fixture, construction_registers_the_grid_then_attaches_the_document) {
    EXPECT_EQ(table.row_count(), 100u);
    EXPECT_EQ(table.col_count(), 20u);
    ASSERT_TRUE(table.registered());
    EXPECT_EQ(table.workbook_number(), p.book->get_part_id());
    EXPECT_EQ(vex::mta::find_table_by_grid_id(table.sheet_id()), &table);
    ASSERT_NE(table.get_document_access(), nullptr);
    EXPECT_EQ(table.get_reference_mode(), 3u);
    std::string name;
    table.get_sheet_name(name);
    EXPECT_EQ(name, "Data");
    EXPECT_EQ(table.get_worksheet(), &sheet);

    // Outside a workbook tree there is no workbook to register with.
    vex::worktable_part_t alone(nullptr);
    EXPECT_FALSE(alone.get_worktable()->registered());
    EXPECT_EQ(alone.get_worktable()->row_count(), 1048576u);
    EXPECT_NE(alone.get_worktable()->get_document_access(), nullptr);
}

TEST_F(table_fixture, adding_tables_checks_in_order_and_changes_nothing_when_refused) {
    const struct {
        const char* name;
        range_t range;
        const char* message;
    } refused[] = {
        {"", cells(1, 1, 3, 2), "Table name can not be empty."},
        {"T", cells(1, 1, 101, 2), "Table range is out of scope."},
        {"T", cells(0, 1, 3, 2), "Table range is out of scope."},
    };
    for (const auto& c : refused) {
        vex::set_run_message("");
        EXPECT_EQ(table.add_tabledef(c.name, c.range, nullptr), nullptr);
        EXPECT_EQ(message(), c.message);
    }
    ASSERT_TRUE(table.merged_cells().merge(cells(5, 5, 6, 6), false));
    vex::set_run_message("");
    EXPECT_EQ(table.add_tabledef("Out", cells(6, 1, 9, 5), nullptr), nullptr);
    EXPECT_EQ(message(), "The range of the table conflicts with a merged cell range.");
    EXPECT_EQ(table.merged_cells().size(), 1u);

    ASSERT_NE(table.add_tabledef("T1", cells(1, 1, 3, 2), "TableStyleMedium2"), nullptr);
    vex::set_run_message("");
    EXPECT_EQ(table.add_tabledef("T1", cells(20, 1, 22, 2), nullptr), nullptr);
    EXPECT_EQ(message(), "Table already exists.");
    // Refused by the table list: the merge inside stays merged.
    EXPECT_EQ(table.add_tabledef("Over", cells(2, 1, 8, 8), nullptr), nullptr);
    EXPECT_EQ(table.merged_cells().size(), 1u);
    EXPECT_EQ(table_part_names(), "T1 ");
}

TEST_F(table_fixture, a_table_unmerges_inside_writes_its_header_and_gets_a_part) {
    ASSERT_TRUE(table.merged_cells().merge(cells(2, 2, 3, 3), false));
    ASSERT_TRUE(table.merged_cells().merge(cells(30, 1, 31, 1), false));
    vex::mta::tabledef_t* t = table.add_tabledef("T1", cells(1, 1, 3, 3), "TableStyleLight9");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->style_name(), "TableStyleLight9");
    EXPECT_EQ(table.merged_cells().size(), 1u);  // the one outside stays
    EXPECT_EQ(text(1, 1) + text(1, 2) + text(1, 3), "Column1Column2Column3");
    // The header refuses ordinary values; the table wrote it anyway.
    EXPECT_FALSE(table.set_text(1, 2, "x"));
    EXPECT_EQ(text(1, 2), "Column2");

    ASSERT_NE(table.add_tabledef("T2", cells(10, 1, 12, 2), nullptr), nullptr);
    EXPECT_EQ(table_part_names(), "T1 T2 ");
    ASSERT_EQ(part.get_child_parts().size(), 2u);
    const auto& definition = *static_cast<vex::table_definition_t*>(part.get_child_parts()[0]->get_component());
    EXPECT_TRUE(definition.resolve_reference({0, 5, 5}, "T1", 4, "Column1", "").empty());
}

TEST_F(table_fixture, tables_are_renamed_and_deleted_with_their_parts) {
    ASSERT_NE(table.add_tabledef("T1", cells(1, 1, 3, 2), nullptr), nullptr);
    ASSERT_TRUE(table.set_num(2, 1, 5));
    ASSERT_NE(table.add_tabledef("T2", cells(10, 1, 12, 2), nullptr), nullptr);

    EXPECT_EQ(table.rename_tabledef("T1", "T2"), nullptr);  // the list refuses
    EXPECT_EQ(table_part_names(), "T1 T2 ");
    ASSERT_NE(table.rename_tabledef("T1", "Sales"), nullptr);
    EXPECT_EQ(table_part_names(), "Sales T2 ");

    EXPECT_FALSE(table.delete_tabledef("T1"));
    EXPECT_TRUE(table.delete_tabledef("Sales"));
    EXPECT_EQ(table.tabledefs().find("Sales"), nullptr);
    EXPECT_EQ(table_part_names(), "T2 ");
    EXPECT_EQ(part.get_child_parts().size(), 1u);
    EXPECT_EQ(text(1, 1), "<null>");
    EXPECT_EQ(vex::mta::cell_getters::cell_type(table, 2, 1), 0);

    // Deleting its rows or columns takes a table's part along.
    ASSERT_NE(table.add_tabledef("T3", cells(20, 5, 22, 6), nullptr), nullptr);
    ASSERT_TRUE(table.shift_range_up(1, 20, 10, 12));
    EXPECT_EQ(table_part_names(), "T3 ");
    ASSERT_TRUE(table.shift_range_left(1, 100, 5, 6));
    EXPECT_EQ(table_part_names(), "");
    EXPECT_TRUE(part.get_child_parts().empty());

    // A table the list holds without a part of its own.
    ASSERT_NE(table.tabledefs().add(0, "Bare", cells(40, 1, 41, 1)), nullptr);
    EXPECT_EQ(what_of<kestrel_error>([&] { table.rename_tabledef("Bare", "Renamed"); }),
              "tarx error: Fatal error: Cannot find a child table definition named Renamed in sub parts.");
}

TEST_F(table_fixture, pending_hyperlinks_resolve_against_the_relationships) {
    part.children().add_relationship({false, factory_test::rel("hyperlink"), "rId4", "https://example.com/"}, false);
    // A repeated Id: the first record is the one the link names.
    part.children().add_relationship({false, factory_test::rel("hyperlink"), "rId4", "https://second.example/"}, false);
    auto& pending = table.sheet_extras().pending_hyperlinks;
    pending.push_back({cells(1, 1, 1, 1), "", "Data!B2", "to B2", "tip"});
    pending.push_back({cells(2, 1, 2, 2), "rId4", "", "site", ""});
    EXPECT_TRUE(table.after_loading__());
    EXPECT_TRUE(pending.empty());
    const vex::mta::hyperlink_list_t& links = table.hyperlinks();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_FALSE(links.is_external(0));
    EXPECT_EQ(links.address_at(0), "Data!B2");
    EXPECT_EQ(links.at(0)->tooltip, "tip");
    EXPECT_TRUE(links.is_external(1));
    EXPECT_EQ(links.address_at(1), "https://example.com/");
    EXPECT_EQ(links.at(1)->display, "site");

    pending.push_back({cells(3, 1, 3, 1), "rId9", "", "", ""});
    EXPECT_EQ(what_of<vex::opendoc_error>([&] { table.after_loading__(); }),
              "open document error: External hyperlink target not found.");
}

TEST_F(table_fixture, shared_strings_are_read_from_text_cells_only) {
    ASSERT_TRUE(table.set_text(2, 3, "hello"));
    ASSERT_TRUE(table.set_num(2, 4, 1.5));
    EXPECT_STREQ(table.get_shared_string(2, 3), "hello");
    EXPECT_STREQ(static_cast<const vex::mta::Table&>(table).shared_string_at(2, 3), "hello");
    EXPECT_EQ(table.get_shared_string(2, 4), nullptr);
    EXPECT_EQ(table.get_shared_string(3, 3), nullptr);
    EXPECT_EQ(table.get_shared_string(101, 1), nullptr);
    EXPECT_EQ(table.get_shared_string(0, 0), nullptr);
}

TEST_F(table_fixture, a_selective_load_reads_only_sheet_data) {
    xml_node_t root = element("worksheet", nullptr, node_kind::document_element);
    xml_node_t data = element("x:sheetData", &root);
    data.prefixed = 1;
    data.prefix_length = 1;
    xml_node_t row = element("row", &data);
    xml_node_t grid = element("gridData", &root);
    xml_node_t inside_grid = element("row", &grid);
    xml_node_t other = element("pageMargins", &root);
    xml_node_t cols = element("cols", &root);
    xml_node_t end = element("worksheet", nullptr, node_kind::document_element);
    end.closed = 1;

    // A full load hands every node to the reader, which leaves it to the sheet.
    for (const xml_node_t* n : {&root, &data, &row, &grid, &other}) EXPECT_EQ(table.assign(n), status_t::keep);
    EXPECT_EQ(table.assign(&cols), status_t::done);  // the columns are the table's own
    EXPECT_EQ(table.assign(&end), status_t::done);

    part.set_complete(false);
    EXPECT_EQ(table.assign(&data), status_t::keep);
    EXPECT_EQ(table.assign(&row), status_t::keep);
    for (const xml_node_t* n : {&root, &grid, &inside_grid, &other}) EXPECT_EQ(table.assign(n), status_t::done);
    EXPECT_EQ(table.assign(nullptr), status_t::done);
    data.closed = 1;  // a closed parent is not the open element around the node
    EXPECT_EQ(table.assign(&row), status_t::done);
}

TEST_F(table_fixture, loaded_styles_reach_the_style_manager_once) {
    vex::xml_part_t* styles_part = p.add(p.book, "styles");
    auto* styles = static_cast<vex::workbook_style_t*>(styles_part->get_component());
    ASSERT_EQ(book.styles(), styles);
    EXPECT_EQ(styles->workbook(), &book);
    xml_node_t root = element("styleSheet", nullptr, node_kind::document_element);
    EXPECT_EQ(styles_part->assign(&root), status_t::done);
    ASSERT_NE(styles->style_tables(), nullptr);
    ASSERT_EQ(styles->style_tables()->register_numfmt_code("0.000"), 164);

    xml_node_t sheet_root = element("worksheet", nullptr, node_kind::document_element);
    table.assign(&sheet_root);
    EXPECT_EQ(styles->style_tables(), nullptr);
    vex::mta::style_manager_t& manager = *table.get_style_manager();
    EXPECT_EQ(manager.get_numfmt_code(164), "0.000");
    EXPECT_EQ(manager.add_numfmt_code("0.0000"), 165);

    // The second sheet of the load finds no tables: what the manager holds stays.
    vex::worktable_t& second = *make_sheet("More", 2, "rId2")->get_worksheet()->create_worktable__(10, 10, {});
    second.assign(&sheet_root);
    EXPECT_EQ(second.get_style_manager(), &manager);
    EXPECT_EQ(manager.get_numfmt_code(165), "0.0000");
}
