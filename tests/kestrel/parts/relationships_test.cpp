#include "kestrel/parts/relationships.h"

#include "kestrel/parts/part_tree_support.h"
#include "xml/sxml_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace part_test;
using vex::relationship_t;
using vex::xml::sxml::status_t;

namespace {

constexpr const char* head =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
#define REL "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"

std::string written(const vex::xml_part_t& part) {
    std::string out;
    auto w = string_writer(out);
    vex::write_relationships(w, part);
    return out;
}

struct hyperlink_handler : vex::output_handler {
    void write() override {}
    void write_relationships(vex::xml::xml_stream_writer& w) override {
        w.start_element("Relationship");
        w.write_attribute("Id", "rId9");
        w.write_attribute("Type", REL "hyperlink");
        w.write_attribute("Target", "https://example.com/?a=1&b=2");
        w.write_attribute("TargetMode", "External");
        w.end_empty_element();
    }
};

// The records a relationship part gives, or the parser's message.
struct read_result {
    std::vector<relationship_t> records;
    std::string error;
};

read_result read(const std::string& doc) {
    vex::part_container c;
    vex::xml::sxml::sxml_parser parser(vex::xml::sxml::load_options);
    size_t tail = 0;
    vex::xml::sxml::xml_node_t* cursor = nullptr;
    read_result r;
    try {
        parser.parse("xl/_rels/workbook.xml.rels", doc.data(), doc.size(), tail, cursor,
                     [&c](const auto* n) { return c.on_relationship_node(n); });
        parser.parse("xl/_rels/workbook.xml.rels", nullptr, 0, tail, cursor, nullptr);
    } catch (const vex::xml::sxml::parsing_error& e) {
        r.error = e.message();
    }
    r.records = c.relationships();
    return r;
}

bool same(const relationship_t& a, const relationship_t& b) {
    return a.internal == b.internal && a.type == b.type && a.id == b.id && a.target == b.target;
}

} // namespace

TEST(relationships_writer, package_root) {
    vex::part_container root;
    auto* book = new test_part(nullptr, workbook);
    root.add(book, false);
    root.add(new test_part(nullptr, styles), false);
    root.reset_relationship_ids();
    root.children()[1]->set_relationship_id("");  // not listed
    std::string out;
    auto w = string_writer(out);
    vex::write_relationships(w, root);
    EXPECT_EQ(out, std::string(head) + R"(<Relationship Id="rId1" Type=")" REL
                                       R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)");
    EXPECT_EQ(vex::relationship_entry_name(""), "_rels/.rels");
}

TEST(relationships_writer, workbook) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    add(book.get(), worksheet);
    add(book.get(), styles);
    add(book.get(), shared_strings);
    name_tree(*book);
    EXPECT_EQ(written(*book),
              std::string(head) +
                  R"(<Relationship Id="rId1" Type=")" REL R"(worksheet" Target="worksheets/sheet1.xml"/>)"
                  R"(<Relationship Id="rId2" Type=")" REL R"(styles" Target="styles.xml"/>)"
                  R"(<Relationship Id="rId3" Type=")" REL R"(sharedStrings" Target="sharedStrings.xml"/>)"
                  "</Relationships>");
    EXPECT_EQ(vex::relationship_entry_name(book->get_entry_name()), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(vex::relationship_entry_name("xl/worksheets/sheet1.xml"), "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_EQ(vex::relationship_entry_name("workbook.xml"), "_rels/workbook.xml.rels");
}

TEST(relationships_writer, worksheet_lists_its_worktable_children) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    test_part* sheet = add(book.get(), worksheet);
    add(sheet, worktable);  // an earlier worktable without children
    test_part* cells = add(sheet, worktable);
    add(cells, drawing);
    add(cells, table);
    add(sheet, comments);  // beside the worktable, as a part kept whole on load: listed too
    name_tree(*book);
    sheet->set_output_handler(std::make_unique<hyperlink_handler>());
    EXPECT_EQ(written(*sheet),
              std::string(head) +
                  R"(<Relationship Id="rId1" Type=")" REL R"(drawing" Target="../drawings/drawing1.xml"/>)"
                  R"(<Relationship Id="rId2" Type=")" REL R"(table" Target="../tables/table1.xml"/>)"
                  R"(<Relationship Id="rId3" Type=")" REL R"(comments" Target="../comments1.xml"/>)"
                  R"(<Relationship Id="rId9" Type=")" REL
                  R"(hyperlink" Target="https://example.com/?a=1&amp;b=2" TargetMode="External"/>)"
                  "</Relationships>");
}

TEST(relationships_writer, children_without_ids) {
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    add(book.get(), styles);
    add(book.get(), shared_strings);
    name_tree(*book);
    for (const auto& c : book->get_child_parts()) c->set_relationship_id("");
    EXPECT_EQ(written(*book), std::string(head) + "</Relationships>");
}

TEST(relationships_reader, records) {
    const read_result r = read(
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId3" Type="t/styles" Target="styles.xml"/>)"
        R"(<Relationship Target="https://x/" TargetMode="External" Id="rId1" Type="t/hyperlink"/>)"
        R"(<Relationship Id="rId2" Type="t/a" Target="a.xml" TargetMode="external"/>)"
        R"(<Relationship Id="rId4" Type="t/b" Target="b.xml" TargetMode="Internal" Extra="1"/>)"
        R"(<Relationship Id="rId5" Type="t/c" Target="/c.xml" TargetMode="EXTERNAL"/>)"
        "</Relationships>");
    EXPECT_EQ(r.error, "");
    const relationship_t expected[] = {
        {true, "t/styles", "rId3", "styles.xml"},
        {false, "t/hyperlink", "rId1", "https://x/"},
        {true, "t/a", "rId2", "a.xml"},
        {true, "t/b", "rId4", "b.xml"},
        {true, "t/c", "rId5", "/c.xml"},
    };
    ASSERT_EQ(r.records.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_TRUE(same(r.records[i], expected[i])) << i;
}

TEST(relationships_reader, refusals) {
    const struct {
        const char* doc;
        const char* error;
        size_t records;
    } cases[] = {
        {"<Relationships/>", "", 0},
        {"<Relationships></Relationships>", "", 0},
        {R"(<Relationships><Relationship Type="t" Target="a"/></Relationships>)",
         "An error occurred while assigning node: Relationship", 0},
        {R"(<Relationships><Relationship Id="r" Type="" Target="a"/></Relationships>)",
         "An error occurred while assigning node: Relationship", 0},
        {R"(<Relationships><Relationship Id="r1" Type="t" Target="a"/><Other/></Relationships>)",
         "An error occurred while assigning node: Other", 1},
        {R"(<Types/>)", "An error occurred while assigning node: Types", 0},
    };
    for (const auto& c : cases) {
        const read_result r = read(c.doc);
        if (*c.error)
            EXPECT_EQ(r.error.substr(0, std::strlen(c.error)), c.error) << c.doc;
        else
            EXPECT_EQ(r.error, "") << c.doc;
        EXPECT_EQ(r.records.size(), c.records) << c.doc;
    }
}

// A relationship leads somewhere: without a target, or with an empty one, it is refused.
TEST(relationships_reader, a_relationship_without_a_target_is_refused) {
    for (const char* doc : {R"(<Relationships><Relationship Id="r1" Type="t"/></Relationships>)",
                            R"(<Relationships><Relationship Id="r1" Type="t" Target=""/></Relationships>)"}) {
        const read_result r = read(doc);
        EXPECT_EQ(r.error.substr(0, 52), "An error occurred while assigning node: Relationship") << doc;
        EXPECT_TRUE(r.records.empty()) << doc;
    }
}
