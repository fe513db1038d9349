#include "kestrel/parts/part.h"

#include "kestrel/parts/part_tree_support.h"
#include "what_of.h"
#include "xml/sxml_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace part_test;
using vex::xml::sxml::status_t;

namespace {

constexpr const char* not_in_workbook =
    "general error: Serious error: This part is not a child part of the workbook. Except for the workbook, all part "
    "should be sub part of the workbook, and the workbook must be the top-level parent component.";

// A workbook with two sheets, each sheet's cells in a worktable part holding
// what is anchored on the sheet.
struct workbook_tree {
    std::unique_ptr<test_part> book{add(nullptr, workbook)};
    test_part* sheet1 = add(book.get(), worksheet);
    test_part* table1 = add(sheet1, worktable);
    test_part* drawing1 = add(table1, drawing);
    test_part* png = add_image(drawing1, "image/png", "png");
    test_part* list1 = add(table1, table);
    test_part* notes1 = add(table1, comments);
    test_part* style = add(book.get(), styles);
    test_part* strings = add(book.get(), shared_strings);
    test_part* sheet2 = add(book.get(), worksheet);
    test_part* table2 = add(sheet2, worktable);
    test_part* notes2 = add(table2, comments);
};

struct recording_component : vex::component_base_t {
    using component_base_t::component_base_t;
    std::vector<int>* codes = nullptr;
    status_t assign(const vex::xml::sxml::xml_node_t*) override { return status_t::done; }
    void notify(int code) override {
        if (codes) codes->push_back(code);
    }
};

struct counting_handler : vex::output_handler {
    int* writes;
    explicit counting_handler(int* w) : writes(w) {}
    void write() override { ++*writes; }
};

} // namespace

TEST(xml_part, entry_names_on_save) {
    workbook_tree t;
    const struct {
        const test_part* part;
        const char* name;
    } cases[] = {
        {t.book.get(), "xl/workbook.xml"},
        {t.sheet1, "xl/worksheets/sheet1.xml"},
        {t.sheet2, "xl/worksheets/sheet2.xml"},
        {t.style, "xl/styles.xml"},
        {t.strings, "xl/sharedStrings.xml"},
        {t.drawing1, "xl/drawings/drawing1.xml"},
        {t.png, "xl/media/image1.png"},
        {t.list1, "xl/tables/table1.xml"},
        {t.notes1, "xl/comments1.xml"},
        {t.notes2, "xl/comments2.xml"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.part->make_part_file_name(), c.name) << c.name;
}

TEST(xml_part, entry_name_edges) {
    workbook_tree t;
    // The extension field wins over an XML content type.
    t.sheet2->set_extension("bin");
    EXPECT_EQ(t.sheet2->make_part_file_name(), "xl/worksheets/sheet2.bin");
    // Neither an extension nor an XML type: no extension at all.
    t.png->set_content_type("");
    t.png->set_extension("");
    EXPECT_EQ(t.png->make_part_file_name(), "xl/media/image1");
    // A parent that gives no number leaves the name bare.
    t.table1->number_answer = std::optional<unsigned>{};
    EXPECT_EQ(t.drawing1->make_part_file_name(), "xl/drawings/drawing.xml");
    t.table1->number_answer = 6u;
    EXPECT_EQ(t.drawing1->make_part_file_name(), "xl/drawings/drawing7.xml");

    EXPECT_EQ(t.book->get_entry_name(), std::string("xl/workbook.xml"));
    EXPECT_EQ(t.style->get_entry_name(), std::string("./styles.xml"));
    EXPECT_EQ(t.png->get_entry_name(), std::string("../media/image"));
}

TEST(xml_part, numbering_walk) {
    workbook_tree t;
    // Ranks run over the whole tree, per kind, parts without an Id included.
    EXPECT_EQ(t.table1->get_part_number(t.notes1), 0u);
    EXPECT_EQ(t.book->get_part_number(t.notes2), 1u);
    EXPECT_EQ(t.book->get_part_number(t.style), std::nullopt);  // not numbered
    std::unique_ptr<test_part> stray(add(nullptr, comments));
    EXPECT_EQ(t.book->get_part_number(stray.get()), std::nullopt);  // not in the tree
}

TEST(xml_part, numbering_follows_every_change_of_the_tree) {
    workbook_tree t;
    const auto ranks = [&](std::initializer_list<const test_part*> parts) {
        std::string out;
        for (const test_part* p : parts) {
            const auto n = t.book->get_part_number(p);
            out += n ? std::to_string(*n) + " " : "- ";
        }
        return out;
    };
    EXPECT_EQ(ranks({t.notes1, t.notes2}), "0 1 ");
    auto* front = new test_part(t.table2, comments);
    t.table2->add_part(front, true);
    EXPECT_EQ(ranks({t.notes1, front, t.notes2}), "0 1 2 ");
    test_part* loose = add(t.book.get(), comments);
    EXPECT_EQ(ranks({t.notes1, front, t.notes2, loose}), "0 1 2 3 ");
    t.book->children().move_to_back(part_kind_enum::worksheet_part);
    EXPECT_EQ(ranks({loose, t.notes1, front, t.notes2}), "0 1 2 3 ");
    t.table1->remove_part(t.notes1);
    EXPECT_EQ(ranks({loose, front, t.notes2}), "0 1 2 ");
    front->set_kind(part_kind_enum::image_part);
    EXPECT_EQ(ranks({loose, t.notes2, t.png, front}), "0 1 0 1 ");
}

TEST(xml_part, workbook_part_must_be_the_root) {
    workbook_tree t;
    EXPECT_EQ(t.png->get_workbook_part(), t.book.get());
    EXPECT_EQ(t.book->get_workbook_part(), t.book.get());

    std::unique_ptr<test_part> sheet(add(nullptr, worksheet));
    test_part* dr = add(add(sheet.get(), worktable), drawing);
    EXPECT_EQ(what_of([&] { dr->get_workbook_part(); }), not_in_workbook);
    // Numbering starts by finding the workbook, numbered or not.
    EXPECT_EQ(what_of([&] { sheet->get_part_number(dr); }), not_in_workbook);

    // A workbook part below another part is no workbook root.
    test_part* inner = add(t.sheet1, workbook);
    test_part* below = add(inner, styles);
    EXPECT_EQ(what_of([&] { below->get_workbook_part(); }), not_in_workbook);
}

TEST(xml_part, components) {
    workbook_tree t;
    std::vector<int> codes;
    auto book_model = std::make_unique<recording_component>(t.book.get());
    auto* book_component = book_model.get();
    t.book->set_component(std::move(book_model));
    for (test_part* p : {t.style, t.sheet1}) {
        auto c = std::make_unique<recording_component>(p);
        c->codes = &codes;
        p->set_component(std::move(c));
    }
    book_component->notify_children(7);
    EXPECT_EQ(codes, (std::vector<int>{7, 7}));  // strings and sheet2 have no component
    EXPECT_EQ(t.sheet1->get_component()->get_workbook(), book_component);
    EXPECT_EQ(t.png->get_workbook(), book_component);
    // A workbook model that records no document.
    EXPECT_EQ(t.png->get_document(), nullptr);
    EXPECT_EQ(t.sheet1->get_component()->get_document(), nullptr);

    vex::xml::sxml::xml_node_t node{};
    EXPECT_EQ(t.book->assign(&node), status_t::done);
    EXPECT_EQ(t.png->assign(&node), status_t::keep);
}

TEST(xml_part, write) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    test_part* png = add_image(book.get(), "image/png", "png");
    // Raw bytes without a stream writer.
    std::memcpy(png->allocate_buffer(4), "\x89PNG", 4);
    EXPECT_EQ(what_of<std::runtime_error>([&] { png->write(); }), "no xml stream writer.");

    std::string out;
    png->create_xml_writer([&out](const char* p, unsigned n) { out.append(p, n); });
    png->write();
    EXPECT_EQ(out, "\x89PNG");

    // Neither bytes nor a writer: nothing, and no failure.
    out.clear();
    book->create_xml_writer([&out](const char* p, unsigned n) { out.append(p, n); });
    book->write();
    book->release_xml_writer();
    EXPECT_EQ(out, "");
    EXPECT_EQ(book->get_xml_writer(), nullptr);

    int writes = 0;
    book->set_output_handler(std::make_unique<counting_handler>(&writes));
    book->write();
    EXPECT_EQ(writes, 1);
    book->release_output_handler();
    EXPECT_EQ(book->get_output_handler(), nullptr);

    // Buffered text goes out on release, not after a discard.
    book->create_xml_writer([&out](const char* p, unsigned n) { out.append(p, n); });
    book->get_xml_writer()->write_raw("<a/>");
    book->discard_output();
    book->get_xml_writer()->write_raw("<b/>");
    book->release_xml_writer();
    EXPECT_EQ(out, "<b/>");
}

TEST(xml_part, shared_raw_bytes_outlive_a_sharer) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    test_part* first = add_image(book.get(), "image/png", "png");
    test_part* second = add_image(book.get(), "image/png", "png");
    char* bytes = static_cast<char*>(first->allocate_buffer(3));
    std::memcpy(bytes, "abc", 3);
    second->set_raw_data(first->get_raw_block(), first->get_raw_size());
    book->remove_part(first);
    ASSERT_EQ(book->get_child_parts().size(), 1u);
    EXPECT_EQ(std::string(second->get_raw_data(), second->get_raw_size()), "abc");
    // A new block replaces the old one, which goes with its last holder.
    second->allocate_buffer(5);
    second->allocate_buffer(0);
    EXPECT_EQ(second->get_raw_size(), 0u);
    second->set_raw_data(nullptr, 9);
    EXPECT_EQ(second->get_raw_size(), 0u);
}

TEST(xml_part, kept_nodes_live_with_the_part) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    vex::xml::sxml::sxml_parser parser(vex::xml::sxml::load_options);
    const std::string doc = "<pivotTableDefinition><location ref=\"A1:B2\"/></pivotTableDefinition>";
    size_t tail = 0;
    vex::xml::sxml::xml_node_t* root = nullptr;
    parser.parse("p", doc.data(), doc.size(), tail, root, [](const auto*) { return status_t::keep; });
    book->keep_nodes(parser.detach_nodes(), root);
    parser.reset();
    ASSERT_NE(book->get_kept_tree(), nullptr);
    EXPECT_STREQ(book->get_kept_tree()->first_child->name, "location");
}

TEST(xml_part, workbook_part_ids_are_unique_across_threads) {
    std::vector<uint32_t> a(1000), b(1000);
    std::thread ta([&] {
        for (auto& id : a) id = vex::xml_part_t::next_workbook_part_id();
    });
    for (auto& id : b) id = vex::xml_part_t::next_workbook_part_id();
    ta.join();
    std::set<uint32_t> ids(a.begin(), a.end());
    ids.insert(b.begin(), b.end());
    EXPECT_EQ(ids.size(), 2000u);
    EXPECT_EQ(ids.count(0), 0u);
}

TEST(part_container, add_remove_and_renumber) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    std::vector<test_part*> parts;
    for (uint32_t id = 1; id <= 4; ++id) {
        parts.push_back(add(book.get(), worksheet));
        parts.back()->set_part_id(id);
    }
    auto* first = new test_part(book.get(), styles);
    book->add_part(first, true);
    book->add_part(nullptr, false);
    EXPECT_EQ(book->reset_relationship_ids(), 5u);
    EXPECT_STREQ(first->get_relationship_id(), "rId1");
    EXPECT_STREQ(parts[3]->get_relationship_id(), "rId5");

    book->remove_part(4u);                  // the last
    book->remove_part(parts[1]);            // one in the middle
    book->remove_part(99u);                 // none
    book->remove_part(static_cast<vex::xml_part_t*>(nullptr));
    std::vector<const vex::xml_part_t*> left;
    for (const auto& c : book->get_child_parts()) left.push_back(c.get());
    EXPECT_EQ(left, (std::vector<const vex::xml_part_t*>{first, parts[0], parts[2]}));
    EXPECT_EQ(book->child_count(2), 3u);
}
