#include "kestrel/core/components/workbook.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/workbook_part.h"
#include "mta/table/table/table_registry.h"
#include "run_message.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace factory_test;
using vex::sheet_entry_t;
using vex::workbook_t;
using vex::xml_part_t;

namespace {

struct book_fixture {
    package p;
    workbook_t& wb = *static_cast<vex::workbook_part_t*>(p.book)->get_workbook_component();

    // A record as the reader makes it, bound to a worksheet part with a
    // worktable, as the loader binds it.
    vex::worksheet_t* loaded_sheet(const std::string& name, uint32_t id, const std::string& rid) {
        wb.sheets().push_back({id, 1, 0, rid, name, nullptr});
        xml_part_t* sheet = p.add(p.book, "worksheet", rid.c_str());
        p.add(sheet, "worktable", "rId1");
        return wb.sheets().back().component;
    }
    void chart_record(const std::string& name, uint32_t id) { wb.sheets().push_back({id, 1, 0, "rId99", name, nullptr}); }
    std::string names() const {
        std::string s;
        for (const sheet_entry_t& e : wb.sheets()) s += e.name + " ";
        return s;
    }
};

void clear_message() { vex::set_run_message(""); }
std::string kinds_of(const xml_part_t* p) {
    std::string s;
    for (const auto& c : p->get_child_parts()) s += std::string(vex::part_kind_name(c->kind())) + " ";
    return s;
}

std::string message() { return vex::get_run_message().str(); }

std::string times(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

} // namespace

TEST(workbook, default_names_count_on_from_the_highest) {
    book_fixture f;
    for (int i = 0; i < 3; ++i) ASSERT_NE(f.wb.insert_worksheet("", ~0ull), nullptr);
    EXPECT_EQ(f.names(), "Sheet1 Sheet2 Sheet3 ");
    ASSERT_TRUE(f.wb.rename_sheet(1, "Data"));
    EXPECT_EQ(f.wb.next_sheet_name(), "Sheet4");

    const struct {
        std::vector<std::string> present;
        const char* next;
    } cases[] = {
        {{"Sheet9", "Sheetx"}, "Sheet10"},
        {{"Sheet7b"}, "Sheet8"},
        {{"sheet3"}, "Sheet1"},
        {{"Sheet"}, "Sheet1"},
        {{"Sheet 5"}, "Sheet6"},
        {{"Sheet+3"}, "Sheet4"},
        {{"Sheet-4"}, "Sheet1"},
        {{"Sheet2147483647"}, "Sheet2147483648"},
        {{"Sheet9223372036854775807"}, "Sheet9223372036854775808"},
        {{"Sheet99999999999999999999", "Sheet2"}, "Sheet3"},
    };
    for (const auto& c : cases) {
        book_fixture g;
        for (const std::string& n : c.present) g.chart_record(n, 1);
        EXPECT_EQ(g.wb.next_sheet_name(), c.next) << c.present.front();
    }
}

TEST(workbook, sheet_ids_fill_the_first_gap) {
    const struct {
        std::vector<uint32_t> ids;
        uint32_t next;
    } cases[] = {{{}, 1}, {{1, 2, 4}, 3}, {{2, 3}, 1}, {{1, 2, 3}, 4}, {{3, 1, 2}, 4}, {{1, 1, 2}, 3}};
    for (const auto& c : cases) {
        book_fixture f;
        for (uint32_t id : c.ids) f.chart_record(vex::concat({"s", std::to_string(id)}), id);
        EXPECT_EQ(f.wb.next_sheet_id(), c.next) << c.ids.size();
    }

    book_fixture f;
    for (int i = 0; i < 3; ++i) f.wb.insert_worksheet("", ~0ull);
    ASSERT_TRUE(f.wb.delete_worksheet("Sheet1"));
    f.wb.insert_worksheet("New", ~0ull);
    EXPECT_EQ(f.wb.sheets().back().sheet_id, 1u);
    EXPECT_EQ(f.wb.sheet_at(2)->get_part()->get_part_id(), 1u);
}

// Each step changes the records one way; after it, every sheet is found at
// its record and the next name and id are those the records give.
TEST(workbook, sheet_lookups_follow_every_change) {
    book_fixture f;
    std::vector<vex::worksheet_t*> held;
    for (int i = 0; i < 4; ++i) held.push_back(f.wb.insert_worksheet("", ~0ull));
    const auto state = [&] {
        std::string out;
        for (const vex::worksheet_t* s : held)
            out += std::to_string(f.wb.sheet_index(s)) + ":" + std::string(f.wb.sheet_name_of(s)) + " ";
        return out + "| " + f.wb.next_sheet_name() + " " + std::to_string(f.wb.next_sheet_id());
    };
    EXPECT_EQ(state(), "0:Sheet1 1:Sheet2 2:Sheet3 3:Sheet4 | Sheet5 5");

    ASSERT_TRUE(f.wb.rename_sheet(1, "Sheet9"));
    EXPECT_EQ(state(), "0:Sheet1 1:Sheet9 2:Sheet3 3:Sheet4 | Sheet10 5");
    ASSERT_TRUE(f.wb.delete_worksheet("Sheet9"));
    held.erase(held.begin() + 1);
    EXPECT_EQ(state(), "0:Sheet1 1:Sheet3 2:Sheet4 | Sheet5 2");
    held.insert(held.begin(), f.wb.insert_worksheet("", 0));
    EXPECT_EQ(state(), "0:Sheet5 1:Sheet1 2:Sheet3 3:Sheet4 | Sheet6 5");
    f.wb.shift_sheet(0, 3);
    EXPECT_EQ(state(), "3:Sheet5 0:Sheet1 1:Sheet3 2:Sheet4 | Sheet6 5");

    // Records a reader adds, one bound to its part after the lookups were asked.
    f.wb.sheets().push_back({7, 1, 0, "rId7", "Sheet40", nullptr});
    f.wb.sheets().push_back({5, 1, 0, "rId8", "Sheet41", nullptr});
    EXPECT_EQ(state(), "3:Sheet5 0:Sheet1 1:Sheet3 2:Sheet4 | Sheet42 6");
    f.p.add(f.p.book, "worksheet", "rId8");
    held.push_back(f.wb.sheet_at(5));
    EXPECT_EQ(state(), "3:Sheet5 0:Sheet1 1:Sheet3 2:Sheet4 5:Sheet41 | Sheet42 6");
    held.push_back(f.wb.insert_worksheet("", ~0ull));
    EXPECT_EQ(state(), "3:Sheet5 0:Sheet1 1:Sheet3 2:Sheet4 5:Sheet41 6:Sheet42 | Sheet43 8");
}

TEST(workbook, names_refused_on_insert_and_rename) {
    const std::string e31 = times("\xC3\xA9", 31);
    const std::string e32 = e31 + "\xC3\xA9";
    const char* too_long = "Worksheet name cannot contain more than 31 characters.";
    const char* bad = "Worksheet name contains invalid characters.";
    const struct {
        std::string name;
        const char* insert_msg;  // null: accepted
        const char* rename_msg;
    } cases[] = {
        {e31, nullptr, nullptr},
        {e32, too_long, too_long},
        {"Sheet1", "Duplicate sheet name.", "Duplicate new sheet name."},
        {"sheet1", "Duplicate sheet name.", "Duplicate new sheet name."},
        {"Q1/Q2", bad, bad},
        {"'x", bad, bad},
        {"x'", bad, bad},
        {"it's", nullptr, nullptr},
        {"a[b", bad, bad},
        {"a]", bad, bad},
        {"a:b", bad, bad},
        {"a*", bad, bad},
        {"a?", bad, bad},
        {"a\\b", bad, bad},
        {"", nullptr, "The new name can not be empty."},
    };
    for (const auto& c : cases) {
        book_fixture f;
        f.wb.insert_worksheet("Sheet1", 0);
        f.wb.insert_worksheet("Other", 1);
        clear_message();
        vex::worksheet_t* added = f.wb.insert_worksheet(c.name, ~0ull);
        EXPECT_EQ(added == nullptr, c.insert_msg != nullptr) << c.name;
        EXPECT_EQ(message(), c.insert_msg ? c.insert_msg : "") << c.name;

        book_fixture g;
        g.wb.insert_worksheet("Sheet1", 0);
        g.wb.insert_worksheet("Other", 1);
        clear_message();
        EXPECT_EQ(g.wb.rename_sheet(1, c.name), c.rename_msg == nullptr) << c.name;
        EXPECT_EQ(message(), c.rename_msg ? c.rename_msg : "") << c.name;
        EXPECT_EQ(g.names(), c.rename_msg ? "Sheet1 Other " : "Sheet1 " + c.name + " ") << c.name;
    }

    // Unattached records count too.
    book_fixture f;
    f.chart_record("Chart1", 1);
    EXPECT_EQ(f.wb.insert_worksheet("CHART1", 0), nullptr);
    EXPECT_EQ(message(), "Duplicate sheet name.");
}

TEST(workbook, rename_checks_in_order) {
    book_fixture f;
    f.wb.insert_worksheet("Data", 0);
    const struct {
        uint64_t index;
        std::string name;
        bool ok;
        const char* msg;
    } cases[] = {
        {5, "", false, "The new name can not be empty."},
        {5, times("x", 32), false, "Worksheet name cannot contain more than 31 characters."},
        {1, "Data", false, "Sheet index out of range."},
        {0, "Data", false, "Duplicate new sheet name."},
        {0, "DATA", true, ""},
    };
    for (const auto& c : cases) {
        clear_message();
        EXPECT_EQ(f.wb.rename_sheet(c.index, c.name), c.ok) << c.msg;
        EXPECT_EQ(message(), c.msg);
    }
    EXPECT_EQ(f.wb.sheet_name(0), "DATA");
}

TEST(workbook, rename_follows_into_the_table) {
    book_fixture f;
    vex::worksheet_t* s = f.loaded_sheet("Old", 1, "rId1");
    ASSERT_TRUE(f.wb.after_loading__());
    vex::worktable_t* table = s->worktable_by_name("Old");
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(f.wb.rename_sheet(0, "New"));
    EXPECT_EQ(table->name(), "New");
    EXPECT_EQ(s->worktable_by_name("New"), table);
    EXPECT_EQ(f.wb.sheet_index_by_table_id(table->sheet_id()), 0u);
    EXPECT_EQ(f.wb.sheet_index_by_table_id(table->sheet_id() + 7), 0xFFFFFFFFu);
}

TEST(workbook, shift_moves_one_record) {
    const struct {
        uint64_t from, to;
        const char* order;
    } cases[] = {
        {0, 2, "B C A D "}, {3, 0, "D A B C "}, {1, 3, "A C D B "}, {2, 1, "A C B D "},
        {2, 2, "A B C D "}, {0, 5, "A B C D "}, {~0ull, 0, "A B C D "}, {4, 0, "A B C D "},
    };
    for (const auto& c : cases) {
        book_fixture f;
        for (const char* n : {"A", "B", "C", "D"}) f.wb.insert_worksheet(n, ~0ull);
        f.wb.shift_sheet(c.from, c.to);
        EXPECT_EQ(f.names(), c.order) << c.from << "->" << c.to;
        EXPECT_EQ(f.wb.views().front().active_tab, 0u);
    }
}

TEST(workbook, delete_repairs_the_active_tab) {
    book_fixture f;
    for (int i = 0; i < 3; ++i) f.wb.insert_worksheet("", ~0ull);
    EXPECT_FALSE(f.wb.delete_worksheet(""));
    EXPECT_FALSE(f.wb.delete_worksheet("sheet1"));
    ASSERT_TRUE(f.wb.set_active_sheet(2));
    ASSERT_TRUE(f.wb.delete_worksheet("Sheet3"));
    EXPECT_EQ(f.wb.active_sheet(), 1);
    EXPECT_EQ(f.p.book->get_child_parts().size(), 2u);
    ASSERT_TRUE(f.wb.delete_worksheet("Sheet1"));
    EXPECT_EQ(f.wb.active_sheet(), 0);
    EXPECT_EQ(f.wb.sheet_name(0), "Sheet2");
    ASSERT_TRUE(f.wb.delete_worksheet("Sheet2"));
    EXPECT_EQ(f.wb.views().front().active_tab, 0u);
    EXPECT_EQ(f.wb.active_sheet(), 0);
    EXPECT_TRUE(f.p.book->get_child_parts().empty());

    // A loaded workbook without views: the sheet goes, the repair reports.
    book_fixture g;
    g.loaded_sheet("Only", 1, "rId1");
    g.chart_record("Chart", 2);
    clear_message();
    EXPECT_FALSE(g.wb.delete_worksheet("Chart"));
    ASSERT_TRUE(g.wb.delete_worksheet("Only"));
    EXPECT_EQ(message(), "There are no sheets yet.");
    EXPECT_EQ(g.names(), "Chart ");
}

TEST(workbook, active_sheet_and_views) {
    book_fixture none;
    clear_message();
    EXPECT_EQ(none.wb.active_sheet(), -1);
    EXPECT_EQ(message(), "There are no sheets yet.");
    EXPECT_FALSE(none.wb.set_active_sheet(0));
    EXPECT_EQ(message(), "Invalid sheet tab or no sheet yet available.");

    // Views are optional: without one the first sheet is active, and setting
    // another makes the view.
    book_fixture f;
    f.chart_record("Loaded", 1);
    EXPECT_EQ(f.wb.active_sheet(), 0);
    EXPECT_FALSE(f.wb.set_active_sheet(1));
    EXPECT_TRUE(f.wb.views().empty());

    f.wb.insert_worksheet("Added", 0);
    ASSERT_EQ(f.wb.views().size(), 1u);
    EXPECT_EQ(f.wb.active_sheet(), 0);
    f.wb.insert_worksheet("Later", ~0ull);
    EXPECT_EQ(f.wb.active_sheet(), 0);
    for (int32_t bad : {3, -1}) {
        clear_message();
        EXPECT_FALSE(f.wb.set_active_sheet(bad)) << bad;
        EXPECT_EQ(message(), "Invalid sheet tab or no sheet yet available.");
    }
    EXPECT_TRUE(f.wb.set_active_sheet(2));
    EXPECT_EQ(f.wb.active_sheet(), 2);

    // The first view is made where the first sheet lands.
    book_fixture g;
    g.chart_record("A", 1);
    g.chart_record("B", 2);
    g.wb.insert_worksheet("C", ~0ull);
    EXPECT_EQ(g.wb.active_sheet(), 2);
}

TEST(workbook, lookups_state_and_modes) {
    book_fixture f;
    vex::worksheet_t* s = f.wb.insert_worksheet("One", 0);
    EXPECT_EQ(f.wb.sheet_at(0), s);
    EXPECT_EQ(f.wb.sheet_at(1), nullptr);
    EXPECT_EQ(f.wb.sheet_name(1), "");
    EXPECT_EQ(f.wb.sheet_name_of(s), "One");
    EXPECT_EQ(f.wb.sheet_index(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(f.wb.sheet_type(0), 1u);
    EXPECT_EQ(f.wb.sheet_type(1), 0u);
    // The only sheet stays visible: a workbook needs one.
    clear_message();
    f.wb.set_sheet_state(0, 2);
    EXPECT_EQ(f.wb.sheet_state(0), 0u);
    EXPECT_EQ(message(), "A workbook needs one visible sheet.");
    clear_message();
    f.wb.set_sheet_state(1, 1);
    EXPECT_EQ(message(), "Index out of range.");
    clear_message();
    EXPECT_EQ(f.wb.sheet_state(1), 0u);
    EXPECT_EQ(message(), "Index out of range.");

    EXPECT_FALSE(f.wb.is_date1904());
    EXPECT_TRUE(f.wb.is_a1_ref_mode());
    EXPECT_EQ(f.wb.calc_mode(), 0u);
    f.wb.set_a1_ref_mode(false);
    f.wb.set_date1904(true);
    f.wb.set_calc_mode(7);
    EXPECT_FALSE(f.wb.is_a1_ref_mode());
    EXPECT_TRUE(f.wb.is_date1904());
    EXPECT_EQ(f.wb.calc_mode(), 7u);

    vex::table_index_t& t = f.wb.tables();
    auto* def = reinterpret_cast<vex::table_definition_t*>(&t);
    EXPECT_TRUE(t.add("Sales", def));
    EXPECT_FALSE(t.add("Sales", nullptr));
    EXPECT_FALSE(t.add("", def));
    EXPECT_EQ(f.wb.find_table("Sales"), def);
    EXPECT_EQ(f.wb.find_table("sales"), nullptr);
    EXPECT_TRUE(t.remove("Sales"));
    EXPECT_EQ(f.wb.find_table("Sales"), nullptr);
}

TEST(workbook, attach_binds_by_relationship_id) {
    book_fixture f;
    f.chart_record("A", 1);
    f.wb.sheets().push_back({2, 1, 0, "rId2", "B", nullptr});
    xml_part_t* part = f.p.add(f.p.book, "worksheet", "rId2");
    auto* s = static_cast<vex::worksheet_t*>(part->get_component());
    EXPECT_EQ(f.wb.sheets()[1].component, s);
    EXPECT_EQ(part->get_part_id(), 2u);
    EXPECT_EQ(f.wb.attach_worksheet(s, "rId2"), 2u);
    EXPECT_EQ(f.wb.attach_worksheet(s, ""), 2u);
    EXPECT_EQ(f.wb.attach_worksheet(s, "rId7"), 2u);
    EXPECT_EQ(f.wb.attach_worksheet(nullptr, "rId2"), 0xFFFFFFFFu);
    EXPECT_EQ(f.wb.sheet_id_by_rid("rId2"), 2u);
    EXPECT_EQ(f.wb.sheet_id_by_rid(""), 0xFFFFFFFFu);
    EXPECT_EQ(f.wb.sheet_id_by_rid(nullptr), 0xFFFFFFFFu);
}

TEST(workbook, relationship_index_finds_the_first_record_and_reports_a_repeat) {
    book_fixture f;
    f.wb.sheets().push_back({1, 1, 0, "rId1", "A", nullptr});
    f.wb.sheets().push_back({2, 1, 0, "", "B", nullptr});
    f.wb.sheets().push_back({3, 1, 0, "rId3", "C", nullptr});
    EXPECT_TRUE(f.wb.index_relationship_ids().empty());
    EXPECT_EQ(f.wb.sheet_id_by_rid("rId3"), 3u);
    EXPECT_EQ(f.wb.sheet_id_by_rid("rId2"), 0xFFFFFFFFu);
    EXPECT_EQ(f.wb.sheet_id_by_rid(""), 0xFFFFFFFFu);
    f.wb.drop_relationship_index();

    f.wb.sheets().push_back({4, 1, 0, "rId1", "D", nullptr});
    f.wb.sheets().push_back({5, 1, 0, "rId3", "E", nullptr});
    const std::vector<const vex::sheet_entry_t*> repeated = f.wb.index_relationship_ids();
    ASSERT_EQ(repeated.size(), 2u);
    EXPECT_EQ(repeated[0]->name, "D");
    EXPECT_EQ(repeated[1]->name, "E");
    // Indexed or not, the first record of an Id answers.
    EXPECT_EQ(f.wb.sheet_id_by_rid("rId1"), 1u);
    xml_part_t* part = f.p.add(f.p.book, "worksheet", "rId3");
    EXPECT_EQ(f.wb.sheets()[2].component, part->get_component());
    EXPECT_EQ(f.wb.sheets()[4].component, nullptr);
    f.wb.drop_relationship_index();
    EXPECT_EQ(f.wb.sheet_id_by_rid("rId1"), 1u);
}

TEST(workbook, after_loading_names_tables_and_hands_over_names) {
    book_fixture f;
    f.chart_record("Chart", 1);
    vex::worksheet_t* first = f.loaded_sheet("First", 2, "rId2");
    vex::worksheet_t* second = f.loaded_sheet("Second", 3, "rId3");
    auto name = [](const char* n, int local, const char* text) {
        vex::defined_name_t d;
        d.name = n;
        d.local_sheet_id = local;
        d.text = text;
        return d;
    };
    auto& pending = f.wb.pending_names();
    pending.push_back(name("Global", -1, "First!$A$1"));
    pending.push_back(name("OnChart", 0, "Chart!$A$1"));
    pending.push_back(name("Local", 2, "Second!$B$2"));
    pending.push_back(name("Global", -1, "First!$C$3"));
    pending.push_back(name("Beyond", 9, "First!$A$1"));
    pending.push_back(name("Late", -1, "First!$D$4"));
    clear_message();
    EXPECT_FALSE(f.wb.after_loading__());
    EXPECT_EQ(message(), "Failed to parse definition name.");
    EXPECT_TRUE(f.wb.pending_names().empty());
    EXPECT_EQ(kinds_of(f.p.book), "SharedStringTablePart WorkbookStylesPart WorksheetPart WorksheetPart ");
    EXPECT_NE(f.wb.shared_strings(), nullptr);

    vex::worktable_t* t1 = first->worktable_by_name("First");
    vex::worktable_t* t2 = second->worktable_by_name("Second");
    ASSERT_NE(t1, nullptr);
    ASSERT_NE(t2, nullptr);
    EXPECT_EQ(f.wb.first_worktable(), t1);
    const vex::mta::defined_name_entry_t* global = t1->find_defined_name({"Global", vex::mta::workbook_scope});
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->expression, "First!$A$1");
    // Handed over with the tokens the formula model parsed.
    ASSERT_EQ(global->tokens.size(), 1u);
    EXPECT_EQ(global->tokens[0].opcode, vex::mta::formula::op_cell_ref);
    EXPECT_NE(t1->find_defined_name({"Late", vex::mta::workbook_scope}), nullptr);
    const vex::mta::defined_name_entry_t* local = t2->find_defined_name({"Local", t2->sheet_id()});
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->expression, "Second!$B$2");
    // Registered sheets share the workbook's store: the name is Second's, not global.
    EXPECT_TRUE(t1->has_defined_name({"Local", t2->sheet_id()}));
    EXPECT_FALSE(t1->has_defined_name({"Local", vex::mta::workbook_scope}));

    // The strings are not made a second time.
    EXPECT_TRUE(f.wb.after_loading__());
    EXPECT_EQ(kinds_of(f.p.book), "SharedStringTablePart WorkbookStylesPart WorksheetPart WorksheetPart ");
}

TEST(workbook, reads_sheets_and_names_whole_or_partial) {
    const std::string xml =
        R"(<workbook xmlns:r="r"><bookViews><workbookView activeTab="1"/></bookViews>)"
        R"(<sheets><sheet name="A" sheetId="4" r:id="rId1"/><sheet name="B" sheetId="2" state="veryHidden" r:id="rId2"/></sheets>)"
        R"(<definedNames><definedName name="N" localSheetId="1" hidden="1" comment="c">A!$A$1</definedName>)"
        R"(<definedName name="G">B!$B$2</definedName></definedNames></workbook>)";
    for (bool complete : {true, false}) {
        vex::part_container root;
        xml_part_t* book = root.create_child(nullptr, rel("officeDocument"), nullptr, complete);
        auto& wb = *static_cast<vex::workbook_part_t*>(book)->get_workbook_component();
        read_part(*book, xml);
        ASSERT_EQ(wb.sheets().size(), 2u) << complete;
        EXPECT_EQ(wb.sheets()[0].sheet_id, 4u);
        EXPECT_EQ(wb.sheets()[0].relationship_id, "rId1");
        EXPECT_EQ(wb.sheets()[1].name, "B");
        EXPECT_EQ(wb.sheets()[1].state, 2u);
        EXPECT_EQ(wb.sheets()[1].component, nullptr);
        ASSERT_EQ(wb.pending_names().size(), 2u);
        const vex::defined_name_t& n = wb.pending_names()[0];
        EXPECT_EQ(n.name, "N");
        EXPECT_EQ(n.local_sheet_id, 1);
        EXPECT_EQ(n.text, "A!$A$1");
        EXPECT_TRUE(n.props.hidden);
        EXPECT_EQ(n.props.comment, "c");
        EXPECT_EQ(wb.pending_names()[1].local_sheet_id, -1);
    }
}

TEST(workbook, partial_reading_passes_on_only_sheets_and_names) {
    using namespace vex::xml::sxml;
    xml_node_t root{}, views{}, view{}, sheets{}, sheet{}, end{};
    root.kind = end.kind = node_kind::document_element;
    root.name = end.name = "workbook";
    end.closed = 1;
    views.kind = view.kind = sheets.kind = sheet.kind = node_kind::element;
    views.name = "bookViews";
    view.name = "workbookView";
    sheets.name = "sheets";
    sheet.name = "sheet";
    views.parent = sheets.parent = &root;
    view.parent = &views;
    sheet.parent = &sheets;
    view.closed = sheet.closed = 1;
    view.status = sheet.status = status_t::keep;  // not answered yet: reported once
    xml_attribute_t rid{2, "r:id", "rId1", nullptr};
    xml_attribute_t name{0, "name", "A", &rid};
    sheet.attributes = &name;
    // A whole read takes the views as well.
    for (bool complete : {true, false}) {
        vex::part_container c;
        xml_part_t* book = c.create_child(nullptr, rel("officeDocument"), nullptr, complete);
        auto& wb = *static_cast<vex::workbook_part_t*>(book)->get_workbook_component();
        const status_t other = complete ? status_t::done : status_t::keep;
        EXPECT_EQ(wb.assign(&root), other);
        EXPECT_EQ(wb.assign(&views), other);
        EXPECT_EQ(wb.assign(&view), other);
        EXPECT_EQ(wb.assign(&sheets), status_t::done);
        EXPECT_EQ(wb.assign(&sheet), status_t::done);
        EXPECT_EQ(wb.assign(&end), status_t::done);
        EXPECT_EQ(wb.sheets().size(), 1u);
        EXPECT_EQ(wb.views().size(), complete ? 1u : 0u);
    }
}

TEST(workbook, registered_sheets_share_names_and_go_with_the_workbook) {
    vex::mta::table_registry_t& registry = vex::mta::get_table_registry();
    const size_t before = registry.workbook_count();
    {
        book_fixture f;
        const uint32_t number = f.p.book->get_part_id();
        vex::worksheet_t* a = f.loaded_sheet("A", 1, "rId1");
        vex::worksheet_t* b = f.loaded_sheet("B", 2, "rId2");
        ASSERT_TRUE(f.wb.after_loading__());
        vex::worktable_t* ta = a->worktable_by_name("A");
        vex::worktable_t* tb = b->worktable_by_name("B");
        ta->register_grid(1, number);
        tb->register_grid(2, number);
        ASSERT_EQ(registry.workbook_count(), before + 1);
        ASSERT_NE(tb->sheet_id(), 0u);

        vex::defined_name_t local;
        local.name = "Here";
        local.local_sheet_id = 1;
        local.text = "B!$A$1";
        f.wb.pending_names().push_back(local);
        ASSERT_TRUE(f.wb.after_loading__());
        // One store for the workbook, the name scoped to B's grid id.
        EXPECT_NE(ta->find_defined_name({"Here", tb->sheet_id()}), nullptr);
        EXPECT_EQ(f.wb.sheet_index_by_table_id(tb->sheet_id()), 1u);
        ASSERT_TRUE(f.wb.rename_sheet(1, "Renamed"));
        EXPECT_EQ(f.wb.sheet_index_by_table_id(tb->sheet_id()), 1u);
        EXPECT_EQ(vex::mta::find_table_by_name(number, "Renamed"), tb);
    }
    EXPECT_EQ(registry.workbook_count(), before);
}
