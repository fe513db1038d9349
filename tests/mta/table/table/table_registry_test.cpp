#include "mta/table/table/table_registry.h"

#include "mta/table/cell/string_pool.h"
#include "mta/table/sample_styles.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/drawing/image/image_fixtures.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "tests/heap_in_use.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

using vex::mta::find_table_by_grid_id;
using vex::mta::style_manager_t;
using vex::mta::Table;
using vex::mta::table_registry_t;
using vex::mta::workbook_scope;
using namespace sample;

namespace {

std::unique_ptr<Table> make_table(const std::string& name = {}) {
    auto t = std::make_unique<Table>(vex::mta::extent_t{}, 1048576, 16384);
    t->set_name(name);
    return t;
}

std::unique_ptr<Table> registered(table_registry_t& r, uint32_t workbook, const std::string& name = {},
                                  uint32_t sheet_id = 1) {
    auto t = make_table(name);
    r.register_table(*t, sheet_id, workbook);
    return t;
}

constexpr uint32_t workbook_rounds = heap_test::memory_rounds;
using heap_test::heap_in_use;

} // namespace

TEST(table_registry, grid_ids_rise_and_are_never_reused) {
    table_registry_t r;
    auto a = registered(r, 1);
    r.register_table(*a, 5, 1);  // a second time: nothing changes, no id is used
    auto b = registered(r, 1);
    EXPECT_EQ(a->sheet_id(), 1u);
    EXPECT_EQ(b->sheet_id(), 2u);
    EXPECT_EQ(r.find_by_grid_id(2), b.get());
    a.reset();
    b.reset();
    EXPECT_EQ(r.find_by_grid_id(2), nullptr);
    EXPECT_EQ(registered(r, 1)->sheet_id(), 3u);
    r.unregister_table(99);  // unknown: nothing happens

    // The process's registry, as a worktable joins it.
    auto t = make_table("process-wide sheet");
    t->register_grid(1, 0xFEEDu);
    const auto id = static_cast<int32_t>(t->sheet_id());
    EXPECT_EQ(find_table_by_grid_id(id), t.get());
    EXPECT_EQ(vex::mta::find_table_by_name(0xFEEDu, "process-wide sheet"), t.get());
    t.reset();
    vex::mta::get_table_registry().release_workbook(0xFEEDu);
    for (int32_t bad : {id, 0, -1, std::numeric_limits<int32_t>::min()}) EXPECT_EQ(find_table_by_grid_id(bad), nullptr);
}

TEST(table_registry, sheets_of_one_workbook_share_its_objects) {
    table_registry_t r;
    auto a = registered(r, 1), b = registered(r, 1), other = registered(r, 2);
    EXPECT_EQ(a->get_defined_names(), b->get_defined_names());
    EXPECT_EQ(a->get_image_manager(), b->get_image_manager());
    EXPECT_NE(a->get_defined_names(), other->get_defined_names());
    EXPECT_NE(a->get_image_manager(), other->get_image_manager());

    // A style and a text set through one sheet have the same index on the other.
    b->set_cell_style(7, 3, fill_style(0xFF00FF));
    b->set_cell_style(2, 2, font_style(1, 1));
    a->set_cell_style(1, 1, font_style(1, 1));
    EXPECT_EQ(own_xf(*a, 1, 1), own_xf(*b, 2, 2));
    ASSERT_TRUE(a->set_text(1, 1, "first text of workbook 1"));
    ASSERT_TRUE(b->set_text(9, 9, "shared text"));
    ASSERT_TRUE(a->set_text(3, 3, "shared text"));
    EXPECT_EQ(a->get_cell(3, 3).string_index(), b->get_cell(9, 9).string_index());
    // The other workbook interns on its own.
    other->set_cell_style(1, 1, font_style(1, 1));
    EXPECT_NE(own_xf(*other, 1, 1), own_xf(*a, 1, 1));
    ASSERT_TRUE(other->set_text(1, 1, "shared text"));
    EXPECT_EQ(other->get_cell(1, 1).get_text(), "shared text");
    EXPECT_EQ(other->get_string_pool().size(), 1u);
}

TEST(table_registry, names_are_looked_up_within_a_workbook) {
    table_registry_t r;
    auto a = registered(r, 1, "Sheet1"), b = registered(r, 1, "Sheet2"), c = registered(r, 2, "Sheet1");
    auto unnamed = registered(r, 3);
    const struct {
        uint32_t workbook;
        const char* name;
        const Table* expected;
    } cases[] = {
        {1, "Sheet1", a.get()}, {1, "Sheet2", b.get()}, {2, "Sheet1", c.get()}, {2, "Sheet2", nullptr},
        {1, "sheet1", nullptr}, {3, "", unnamed.get()}, {4, "Sheet1", nullptr},
    };
    for (const auto& k : cases) EXPECT_EQ(r.find_by_name(k.workbook, k.name), k.expected) << k.workbook << k.name;

    b->set_name("Renamed");
    EXPECT_EQ(r.find_by_name(1, "Sheet2"), nullptr);
    EXPECT_EQ(r.find_by_name(1, "Renamed"), b.get());
    b->set_name("");  // ignored
    EXPECT_EQ(r.find_by_name(1, "Renamed"), b.get());
    a.reset();
    EXPECT_EQ(r.find_by_name(1, "Sheet1"), nullptr);
    EXPECT_EQ(r.find_by_name(2, "Sheet1"), c.get());
}

TEST(table_registry, a_destroyed_sheet_takes_only_its_pictures_and_local_names) {
    table_registry_t r;
    auto a = registered(r, 1), b = registered(r, 1);
    auto* images = a->get_image_manager();
    auto* names = a->get_defined_names();
    const auto png = fixtures::png(20, 10);
    for (Table* t : {a.get(), b.get()}) {
        ASSERT_GT(images->add_absolute_image_from_memory(t->sheet_id(), png.data(), png.size(), {}), 0);
        ASSERT_TRUE(t->add_defined_name("Local", "1", {}, t->sheet_id()));
    }
    ASSERT_TRUE(a->add_defined_name("Global", "2", {}, workbook_scope));
    const uint32_t a_id = a->sheet_id(), b_id = b->sheet_id();

    a.reset();
    EXPECT_EQ(images->image_num(a_id), 0);
    EXPECT_EQ(images->image_num(b_id), 1);
    EXPECT_FALSE(names->contains({"Local", a_id}));
    EXPECT_TRUE(names->contains({"Local", b_id}));
    EXPECT_TRUE(names->contains({"Global", workbook_scope}));
    EXPECT_EQ(b->get_defined_names(), names);  // the workbook keeps its objects
}

TEST(table_registry, released_workbooks_free_their_objects_after_their_last_sheet) {
    table_registry_t r;
    // Every sheet deleted, the workbook still open: its objects stay.
    registered(r, 1).reset();
    EXPECT_EQ(r.workbook_count(), 1u);
    auto again = registered(r, 1);
    again->set_text(1, 1, "kept");
    r.release_workbook(1);  // a sheet is still there: freed when it goes
    EXPECT_EQ(r.workbook_count(), 1u);
    EXPECT_EQ(again->get_cell(1, 1).get_text(), "kept");
    again.reset();
    EXPECT_EQ(r.workbook_count(), 0u);

    auto c = registered(r, 2);
    c.reset();
    r.release_workbook(2);  // no sheet left: freed at once
    r.release_workbook(2);
    r.release_workbook(77);  // unknown
    EXPECT_EQ(r.workbook_count(), 0u);
}

TEST(table_registry, a_workbooks_style_manager_outlives_its_sheets) {
    table_registry_t r;
    EXPECT_EQ(r.workbook_styles(5), nullptr);
    auto sheet = registered(r, 5);
    style_manager_t* styles = r.workbook_styles(5);
    ASSERT_NE(styles, nullptr);
    EXPECT_EQ(sheet->get_style_manager(), styles);
    sheet.reset();
    EXPECT_EQ(r.workbook_styles(5), styles);
    r.release_workbook(5);
    EXPECT_EQ(r.workbook_styles(5), nullptr);
}

TEST(table_registry, lookups_run_while_other_threads_register_and_unregister) {
    table_registry_t r;
    auto stable = registered(r, 1, "stable");
    const auto stable_id = stable->sheet_id();
    constexpr int writers = 2, readers = 4, tables_per_writer = 60;
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};
    std::vector<std::vector<uint32_t>> ids(writers);
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([&, w] {
            for (int k = 0; k < tables_per_writer; ++k) {
                auto t = registered(r, 10 + uint32_t(w), "volatile");
                ids[w].push_back(t->sheet_id());
                t->set_name("renamed");
                if (k % 10 == 0) r.release_workbook(10 + uint32_t(w));
            }
        });
    for (int k = 0; k < readers; ++k)
        threads.emplace_back([&] {
            uint32_t probe = 1;
            while (!done.load()) {
                if (r.find_by_grid_id(stable_id) != stable.get()) ++mismatches;
                if (r.find_by_name(1, "stable") != stable.get()) ++mismatches;
                (void)r.find_by_grid_id(probe);  // may vanish at once: never followed
                (void)r.find_by_name(10, "renamed");
                probe = probe % (writers * tables_per_writer + 1) + 1;
            }
        });
    for (int w = 0; w < writers; ++w) threads[size_t(w)].join();
    done = true;
    for (size_t k = writers; k < threads.size(); ++k) threads[k].join();

    EXPECT_EQ(mismatches.load(), 0);
    std::set<uint32_t> all;
    for (const auto& v : ids) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), size_t(writers * tables_per_writer)) << "every grid id handed out once";
    EXPECT_EQ(r.table_count(), 1u);
}

TEST(table_registry, released_workbooks_give_their_memory_back) {
    // Each workbook's texts differ from every other's; a pool that outlived its
    // workbook would hold millions of them by the end.
    constexpr uint32_t workbooks = workbook_rounds, strings = 1000, first = 0x40000000u;
    auto& registry = vex::mta::get_table_registry();
    size_t baseline = 0, peak = 0;
    std::string text;
    for (uint32_t w = 0; w < workbooks; ++w) {
        {
            auto t = make_table();
            t->register_grid(1, first + w);
            auto& column = t->create_column_if_not_exists(1);
            for (uint32_t s = 0; s < strings; ++s) {
                text = "workbook " + std::to_string(w) + " text " + std::to_string(s);
                column.set_value(int(s) + 1, vex::mta::mtv_string_type{t->get_string_pool().add_string(0, text)});
            }
            if (w == 100) baseline = heap_in_use();
            if (w > 100) peak = std::max(peak, heap_in_use());
            if (w % 2) registry.release_workbook(first + w);  // before its sheet goes
        }
        if (w % 2 == 0) registry.release_workbook(first + w);
    }
    EXPECT_LT(peak, baseline + (1u << 20)) << "baseline " << baseline;
}

TEST(table_registry, a_filled_table_is_refused_and_keeps_what_it_held) {
    table_registry_t r;
    auto other = registered(r, 1);
    ASSERT_TRUE(other->set_text(1, 1, "OTHER"));

    auto t = make_table();
    ASSERT_TRUE(t->set_text(1, 1, "zero"));
    ASSERT_TRUE(t->set_text(1, 2, "one"));
    ASSERT_TRUE(t->add_defined_name("Total", "1", {}, workbook_scope));
    auto* own_names = t->get_defined_names();
    vex::set_run_message("");
    EXPECT_FALSE(r.register_table(*t, 2, 1));
    EXPECT_EQ(last_message(), "A sheet that holds cells, names, styles or pictures cannot join a workbook.");
    EXPECT_FALSE(t->registered());
    EXPECT_EQ(t->get_cell(1, 1).get_text(), "zero");
    EXPECT_EQ(t->get_cell(1, 2).get_text(), "one");
    EXPECT_EQ(t->get_defined_names(), own_names);
    EXPECT_TRUE(t->has_defined_name({"Total", workbook_scope}));
    EXPECT_EQ(r.table_count(), 1u);

    // Each kind alone is enough; an emptied or untouched table joins.
    auto styled = make_table();
    styled->set_cell_style(3, 3, font_style(1));
    auto named = make_table();
    ASSERT_TRUE(named->add_defined_name("N", "2", {}, workbook_scope));
    auto pictured = make_table();
    const auto png = fixtures::png(4, 4);
    ASSERT_GT(pictured->get_image_manager()->add_absolute_image_from_memory(0, png.data(), png.size(), {}), 0);
    auto numbered = make_table();
    ASSERT_TRUE(numbered->set_num(7, 7, 1.5));
    for (Table* refused : {styled.get(), named.get(), pictured.get(), numbered.get()}) {
        EXPECT_FALSE(r.register_table(*refused, 3, 1));
        EXPECT_FALSE(refused->registered());
    }
    EXPECT_EQ(styled->get_cell_style(3, 3).font().bold, 1);

    auto fresh = make_table();
    EXPECT_TRUE(r.register_table(*fresh, 4, 1));
    EXPECT_EQ(&fresh->get_string_pool(), &other->get_string_pool());
    EXPECT_EQ(other->get_cell(1, 1).get_text(), "OTHER");
}
