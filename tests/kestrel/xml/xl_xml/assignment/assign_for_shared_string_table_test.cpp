#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"

#include "kestrel/core/components/shared_string_table.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/manager/font.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace vex;
using reader_test::feed;

namespace {

std::string sst(const std::string& items, const std::string& prefix = "") {
    const std::string p = prefix.empty() ? "" : prefix + ":";
    const std::string decl = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    return "<" + p + "sst " + decl + "=\"" + reader_test::main_ns + "\" count=\"9\">" + items + "</" + p + "sst>";
}

struct loaded {
    shared_string_table_t table{nullptr};
    mta::string_pool_t pool;
    explicit loaded(const std::string& xml) {
        feed(table, xml);
        table.intern_loaded(pool);
    }
    std::string text(int64_t position, uint32_t* preserve = nullptr) {
        return std::string(pool.string_at(table.lookup_loaded_index(position), preserve));
    }
};

// The parser adds where the failure happened after the message.
std::string load_error(const std::string& items) {
    try {
        loaded l(sst(items));
    } catch (const std::exception& e) {
        const std::string what = e.what();
        const size_t at = what.find(" ---at:");
        const std::string head = what.substr(0, at);
        const std::string prefix = "xml paring error: ";
        return head.starts_with(prefix) ? head.substr(prefix.size()) : head;
    }
    return "no throw";
}

} // namespace

TEST(assign_for_shared_string_table, plain_items_in_part_order) {
    loaded l(sst("<si><t xml:space=\"preserve\"> a </t></si><si><t>b</t></si><si/><si><t/></si>"
                 "<si><t>b</t></si><si><t>x</t><rPh sb=\"0\" eb=\"1\"><t>ph</t></rPh><phoneticPr fontId=\"1\"/></si>"
                 "<si><t>b</t></si>"));
    uint32_t preserve = 9;
    EXPECT_EQ(l.text(0, &preserve), " a ");
    EXPECT_EQ(preserve, 1u);
    EXPECT_EQ(l.text(1, &preserve), "b");
    EXPECT_EQ(preserve, 0u);
    EXPECT_EQ(l.text(2), "");
    EXPECT_EQ(l.text(3), "");
    EXPECT_EQ(l.text(5), "x");  // phonetic runs are not kept
    EXPECT_EQ(l.table.lookup_loaded_index(1), l.table.lookup_loaded_index(4));
    EXPECT_EQ(l.table.lookup_loaded_index(4), l.table.lookup_loaded_index(6));
    EXPECT_EQ(l.table.lookup_loaded_index(7), 0x7FFFFFFF);
    EXPECT_EQ(l.table.lookup_loaded_index(-1), 0x7FFFFFFF);
    EXPECT_EQ(l.table.pending_count(), 0u);
}

TEST(assign_for_shared_string_table, prefixed_main_namespace_reads_alike) {
    loaded l(sst("<x:si><x:t>a &amp; b</x:t></x:si><x:si><x:t><![CDATA[<c>]]></x:t></x:si>", "x"));
    EXPECT_EQ(l.text(0), "a & b");
    EXPECT_EQ(l.text(1), "<c>");
}

TEST(assign_for_shared_string_table, runs_become_rich_text) {
    loaded l(sst("<si><r><rPr><b/><i val=\"0\"/><u/><sz val=\"11\"/><color rgb=\"FFFF0000112233\"/>"
                 "<rFont val=\"Calibri\"/><family val=\"2\"/><scheme val=\"minor\"/><vertAlign val=\"superscript\"/>"
                 "</rPr><t>Bold</t></r><r><t xml:space=\"preserve\"> tail</t></r></si>"
                 "<si><r><rPr><u val=\"double\"/><vertAlign val=\"1\"/><b val=\"false\"/></rPr><t>x</t></r></si>"));
    const mta::richtext_t* rich = l.pool.rich_text_at(l.table.lookup_loaded_index(0));
    ASSERT_NE(rich, nullptr);
    ASSERT_EQ(rich->segments().size(), 2u);
    const mta::font_t& f = rich->segments()[0].font;
    EXPECT_EQ(rich->segments()[0].text, "Bold");
    EXPECT_EQ(f.bold, 1);
    EXPECT_EQ(f.italic, 0);
    EXPECT_EQ(f.underline, 1);  // a bare <u/> is single
    EXPECT_EQ(f.size, 11.0);
    EXPECT_EQ(f.color.rgb, 0xFFFF0000u);  // at most eight hex digits are read
    EXPECT_EQ(f.name, "Calibri");
    EXPECT_EQ(f.family, 2);
    EXPECT_EQ(f.scheme, 1);
    EXPECT_EQ(f.vert_align, 2);
    EXPECT_EQ(rich->segments()[1].text, " tail");
    EXPECT_EQ(rich->segments()[1].preserve_space, 1u);
    EXPECT_TRUE(rich->segments()[1].font.is_empty());  // each run starts from a zero font
    EXPECT_EQ(l.text(0), "Bold tail");
    const mta::richtext_t* second = l.pool.rich_text_at(l.table.lookup_loaded_index(1));
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->segments().size(), 1u);  // the first item's runs are not carried over
    EXPECT_EQ(second->segments()[0].font.underline, 3);
    EXPECT_EQ(second->segments()[0].font.vert_align, 1);
    EXPECT_EQ(second->segments()[0].font.bold, 0);
}

TEST(assign_for_shared_string_table, bad_values_fail_the_part) {
    EXPECT_EQ(load_error("<si><t xml:space=\"keep\">a</t></si>"), "invalid enumeration string value: \"keep\"");
    EXPECT_EQ(load_error("<si><r><rPr><u val=\"5\"/></rPr><t>a</t></r></si>"),
              "Enumeration subscript out of bounds: 5\"");
    EXPECT_EQ(load_error("<si><r><rPr><family val=\"15\"/></rPr><t>a</t></r></si>"),
              "Enumeration subscript out of bounds: 15\"");
    EXPECT_EQ(load_error("<si><r><rPr><scheme val=\"Minor\"/></rPr><t>a</t></r></si>"),
              "invalid enumeration string value: \"Minor\"");
    EXPECT_EQ(load_error("<si><r><rPr><charset val=\"99999999999\"/></rPr><t>a</t></r></si>"),
              "stoi argument out of range");
    // Harmless oddities load: a negative or non-finite size, an element without val.
    loaded l(sst("<si><r><rPr><sz val=\"-3\"/><sz val=\"nan\"/><family/><vertAlign/><rFont/></rPr><t>a</t></r></si>"
                 "<r><t>stray run outside an item</t></r>"));
    const mta::richtext_t* rich = l.pool.rich_text_at(l.table.lookup_loaded_index(0));
    ASSERT_NE(rich, nullptr);
    EXPECT_EQ(rich->segments()[0].font.size, 0.0);
    EXPECT_EQ(l.table.lookup_loaded_index(1), 0x7FFFFFFF);
}

TEST(assign_for_shared_string_table, phonetic_properties_replace_the_record) {
    xml::sxml::xml_attribute_t font{0, "fontId", "2", nullptr};
    xml::sxml::xml_attribute_t align{0, "alignment", "center", &font};
    xml::sxml::xml_attribute_t type{0, "type", "Hiragana", &align};
    xml::sxml::xml_node_t node{};
    node.kind = xml::sxml::node_kind::element;
    node.closed = 1;
    node.status = xml::sxml::status_t::keep;  // not answered yet
    node.name = "phoneticPr";
    node.attributes = &type;
    phonetic_properties_t r;
    EXPECT_EQ(read_phonetic_properties(&node, r), xml::sxml::status_t::done);
    EXPECT_EQ(r.type, 2u);
    EXPECT_EQ(r.alignment, 1u);
    EXPECT_EQ(r.font_id, 2);
    node.attributes = nullptr;
    read_phonetic_properties(&node, r);
    EXPECT_EQ(r.type, 3u);
    EXPECT_EQ(r.font_id, 0);
    node.name = "rPh";
    EXPECT_EQ(read_phonetic_properties(&node, r), xml::sxml::status_t::keep);
}

// Items are interned as they are read; a pool that holds texts already takes
// them one by one, and what is read after a hand-over follows it.
TEST(assign_for_shared_string_table, items_reach_a_pool_that_holds_texts_already) {
    shared_string_table_t table{nullptr};
    mta::string_pool_t pool;
    ASSERT_EQ(pool.add_string(0, "b"), 0);
    ASSERT_EQ(pool.add_string(0, "z"), 1);
    table.add_loaded_string(0, "a");
    table.add_loaded_string(1, "b");
    table.add_loaded_string(0, "a");
    mta::richtext_t rich;
    rich.append({0, "r", mta::font_t{}});
    table.add_loaded_rich_text(rich);
    EXPECT_EQ(table.pending_count(), 4u);
    EXPECT_EQ(table.lookup_loaded_index(0), 0x7FFFFFFF);  // not in the pool yet
    table.intern_loaded(pool);
    EXPECT_EQ(table.pending_count(), 0u);
    EXPECT_EQ(table.lookup_loaded_index(1), 0);  // the pool's own "b", now preserved
    uint32_t preserve = 0;
    EXPECT_EQ(pool.string_at(0, &preserve), "b");
    EXPECT_EQ(preserve, 1u);
    EXPECT_EQ(table.lookup_loaded_index(0), 2);
    EXPECT_EQ(table.lookup_loaded_index(2), 2);
    ASSERT_NE(pool.rich_text_at(table.lookup_loaded_index(3)), nullptr);
    EXPECT_EQ(pool.string_at(table.lookup_loaded_index(3)), "r");

    table.add_loaded_string(0, "z");
    table.add_loaded_string(0, "new");
    table.intern_loaded(pool);
    EXPECT_EQ(table.lookup_loaded_index(4), 1);
    EXPECT_EQ(pool.string_at(table.lookup_loaded_index(5)), "new");
    EXPECT_EQ(table.lookup_loaded_index(2), 2);
    EXPECT_EQ(pool.size(), 5u);
}
