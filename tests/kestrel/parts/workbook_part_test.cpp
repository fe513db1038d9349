#include "kestrel/parts/workbook_part.h"

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/worksheet_part.h"
#include "part_factory_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace factory_test;
using vex::xml_part_t;

namespace {

vex::workbook_t& model(xml_part_t* book) { return *static_cast<vex::workbook_part_t*>(book)->get_workbook_component(); }

std::string children_of(const xml_part_t* p) {
    std::string s;
    for (const auto& c : p->get_child_parts())
        s += std::string(vex::part_kind_name(c->kind())) + ":" + c->get_source_id() + " ";
    return s;
}

void add_record(vex::part_container& c, const std::string& type, const std::string& id) {
    using namespace vex::xml::sxml;
    const std::string full = rel(type);
    xml_attribute_t target{0, "Target", "t", nullptr};
    xml_attribute_t kind{0, "Type", full.c_str(), &target};
    xml_attribute_t rid{0, "Id", id.c_str(), &kind};
    xml_node_t n{};
    n.kind = node_kind::element;
    n.name = "Relationship";
    n.attributes = &rid;
    ASSERT_EQ(c.on_relationship_node(&n), status_t::done);
}

std::string records_of(const vex::part_container& c) {
    std::string s;
    for (const auto& r : c.relationships()) s += r.type.substr(r.type.rfind('/') + 1) + ":" + r.id + " ";
    return s;
}

} // namespace

TEST(workbook_part, load_reads_styles_then_shared_strings_first) {
    const struct {
        std::vector<std::string> types;
        const char* order;
    } cases[] = {
        {{"worksheet", "theme", "sharedStrings", "worksheet", "styles"},
         "styles:rId5 sharedStrings:rId3 worksheet:rId1 theme:rId2 worksheet:rId4 "},
        {{"worksheet", "sharedStrings", "worksheet"}, "sharedStrings:rId2 worksheet:rId1 worksheet:rId3 "},
        {{"worksheet", "theme"}, "worksheet:rId1 theme:rId2 "},
        {{}, ""},
    };
    for (const auto& c : cases) {
        package p;
        for (size_t i = 0; i < c.types.size(); ++i)
            add_record(p.book->children(), c.types[i], "rId" + std::to_string(i + 1));
        p.book->prepare_saving(false);
        EXPECT_EQ(records_of(p.book->children()), c.order);
    }
}

TEST(workbook_part, children_are_routed_and_saved_styles_then_strings_last) {
    package p;
    vex::workbook_t& book = model(p.book);
    book.sheets().push_back({7, 1, 0, "rId2", "First", nullptr});
    book.sheets().push_back({3, 1, 0, "rId1", "Second", nullptr});
    xml_part_t* second = p.add(p.book, "worksheet", "rId1");
    xml_part_t* theme = p.add(p.book, "theme", "rId3");
    xml_part_t* styles = p.add(p.book, "styles", "rId4");
    xml_part_t* first = p.add(p.book, "worksheet", "rId2");
    xml_part_t* strings = p.add(p.book, "sharedStrings", "rId5");
    xml_part_t* stray = p.add(p.book, "worksheet", "rId6");

    // Styles and strings go first as they arrive; sheets are bound to their records.
    EXPECT_EQ(children_of(p.book),
              "SharedStringTablePart:rId5 WorkbookStylesPart:rId4 WorksheetPart:rId1 ThemePart:rId3 "
              "WorksheetPart:rId2 WorksheetPart:rId6 ");
    EXPECT_EQ(book.shared_strings(), strings->get_component());
    EXPECT_EQ(book.styles(), styles->get_component());
    EXPECT_EQ(second->get_part_id(), 3u);
    EXPECT_EQ(first->get_part_id(), 7u);
    EXPECT_EQ(stray->get_part_id(), 0xFFFFFFFFu);
    EXPECT_EQ(book.sheets()[0].component, first->get_component());
    EXPECT_EQ(book.sheets()[1].component, second->get_component());

    // Sheets are numbered by tab order; one without a record is left bare.
    EXPECT_EQ(p.book->get_part_number(first), 0u);
    EXPECT_EQ(p.book->get_part_number(second), 1u);
    EXPECT_EQ(p.book->get_part_number(stray), std::nullopt);
    EXPECT_EQ(second->make_part_file_name(), "xl/worksheets/sheet2.xml");
    EXPECT_EQ(p.book->get_part_number(theme), 0u);

    p.book->prepare_saving(true);
    EXPECT_EQ(children_of(p.book),
              "WorksheetPart:rId1 ThemePart:rId3 WorksheetPart:rId2 WorksheetPart:rId6 WorkbookStylesPart:rId4 "
              "SharedStringTablePart:rId5 ");

    // Numbers follow the records when the tabs move or one goes.
    std::swap(book.sheets()[0], book.sheets()[1]);
    EXPECT_EQ(p.book->get_part_number(first), 1u);
    EXPECT_EQ(p.book->get_part_number(second), 0u);
    book.sheets().erase(book.sheets().begin());
    EXPECT_EQ(p.book->get_part_number(first), 0u);
    EXPECT_EQ(p.book->get_part_number(second), std::nullopt);
}

TEST(workbook_part, shared_strings_keep_their_id_only_when_used) {
    for (bool used : {false, true}) {
        package p;
        p.add(p.book, "worksheet", "rId1");
        xml_part_t* strings = p.add(p.book, "sharedStrings", "rId2");
        p.add(p.book, "styles", "rId3");
        p.book->prepare_saving(true);
        p.book->reset_relationship_ids();
        auto* table = static_cast<vex::shared_string_table_t*>(strings->get_component());
        if (used) table->add_string_to_save("a");
        p.book->after_child_saved();
        EXPECT_EQ(strings->get_relationship_id() ? std::string(strings->get_relationship_id()) : "none",
                  used ? "rId3" : "none");
        // A later sheet's strings give them their Id back.
        table->add_string_to_save("b");
        p.book->after_child_saved();
        EXPECT_STREQ(strings->get_relationship_id(), "rId3");
    }
    package none;
    none.add(none.book, "worksheet", "rId1");
    none.book->after_child_saved();  // no shared strings: nothing to do
    EXPECT_EQ(none.book->get_child_parts().front()->get_relationship_id(), nullptr);
}

TEST(workbook_part, partial_workbook_makes_only_its_strings) {
    vex::part_container root;
    xml_part_t* book = root.create_child(nullptr, rel("officeDocument"), nullptr, false);
    EXPECT_FALSE(book->is_complete());
    EXPECT_EQ(book->create_part(rel("styles").c_str(), "rId1"), nullptr);
    EXPECT_EQ(book->create_part(rel("worksheet").c_str(), "rId2"), nullptr);
    xml_part_t* strings = book->create_part(rel("sharedStrings").c_str(), "rId3");
    ASSERT_NE(strings, nullptr);
    EXPECT_FALSE(strings->is_complete());
    EXPECT_EQ(book->get_child_parts().size(), 1u);
}

TEST(workbook_part, worktables_in_sheet_order) {
    package p;
    model(p.book).sheets().push_back({1, 1, 0, "rId1", "S1", nullptr});
    model(p.book).sheets().push_back({2, 1, 0, "rId3", "S2", nullptr});
    xml_part_t* s1 = p.add(p.book, "worksheet", "rId1");
    p.add(p.book, "styles", "rId2");
    xml_part_t* s2 = p.add(p.book, "worksheet", "rId3");
    auto& wb = static_cast<vex::workbook_part_t&>(*p.book);
    EXPECT_EQ(wb.first_worktable(), nullptr);
    xml_part_t* t2 = p.add(s2, "worktable", "rId1");
    xml_part_t* t1 = p.add(s1, "worktable", "rId1");
    const std::vector<vex::worktable_t*> want{dynamic_cast<vex::worktable_t*>(t1->get_component()),
                                              dynamic_cast<vex::worktable_t*>(t2->get_component())};
    EXPECT_EQ(wb.get_worktables(), want);
    EXPECT_EQ(model(p.book).worktables(), want);
    EXPECT_EQ(model(p.book).first_worktable(), want.front());
    EXPECT_EQ(vex::workbook_part_of(*t1), &wb);
}

TEST(workbook_part, content_types_it_may_carry) {
    for (const char* t : {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                          "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
                          "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
                          "application/vnd.ms-excel.template.macroEnabled.main+xml"})
        EXPECT_TRUE(vex::is_workbook_content_type(t)) << t;
    for (const char* t : {"", "application/vnd.ms-excel.sheet.macroenabled.main+xml",
                          "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml",
                          "application/vnd.ms-excel.sheet.binary.macroEnabled.main"})
        EXPECT_FALSE(vex::is_workbook_content_type(t)) << t;
}
