#include "kestrel/xml/xl_xml/content_type/content_types.h"

#include "kestrel/parts/part_tree_support.h"
#include "what_of.h"
#include "xml/sxml_parser.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex::xml;
using sxml::status_t;

namespace {

#define SML "application/vnd.openxmlformats-officedocument.spreadsheetml."
constexpr const char* head = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                             R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                             R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
                             R"(<Default Extension="xml" ContentType="application/xml"/>)";

std::string written(const content_types_t& ct) {
    std::string out;
    auto w = part_test::string_writer(out);
    ct.write(w);
    return out;
}

// Registers the part and its subtree as the save does: a worktable part has no
// entry of its own.
void register_tree(content_types_t& ct, const vex::xml_part_t& part) {
    if (part.kind() != vex::part_kind_enum::worktable_part)
        ct.add(part.content_type().ends_with("+xml") ? part.get_entry_name() : part.extension(), part.content_type());
    for (const auto& c : part.get_child_parts()) register_tree(ct, *c);
}

// The registry after reading doc as the loader reads "[Content_Types].xml".
struct loaded {
    content_types_t ct;
    uint32_t format = 0;
    explicit loaded(const std::string& doc) {
        sxml::sxml_parser parser(sxml::load_options);
        size_t tail = 0;
        sxml::xml_node_t* root = nullptr;
        auto handler = [this](const sxml::xml_node_t* n) { return content_types_t::on_node(n, format); };
        parser.parse(content_types_entry.data(), doc.data(), doc.size(), tail, root, handler);
        parser.parse(content_types_entry.data(), nullptr, 0, tail, root, handler);
        ct.set_tree(parser.detach_nodes(), root);
    }
};

const std::string package_types =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="png" ContentType="image/png"/>)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType=")" SML R"(sheet.main+xml"/>)"
    R"(<Override ContentType="image/x-special" PartName="/xl/media/special.png"/>)"
    R"(<Override PartName="/docProps/noext" ContentType="text/plain"/>)"
    R"(</Types>)";

} // namespace

TEST(content_type_table, extension_and_mode) {
    const struct {
        const char* type;
        const char* extension;
        xml_part_mode_enum mode;
    } cases[] = {
        {"application/xml", "xml", xml_part_mode_enum::xml},
        {"application/vnd.openxmlformats-package.relationships+xml", "rels", xml_part_mode_enum::xml},
        {SML "worksheet+xml", "xml", xml_part_mode_enum::xml},
        {"application/vnd.ms-office.vbaProject", "xml", xml_part_mode_enum::xml},
        {"application/vnd.openxmlformats-officedocument.vmlDrawing", "vml", xml_part_mode_enum::xml},
        {"image/jpeg", "jpg", xml_part_mode_enum::raw},
        {"image/png", "png", xml_part_mode_enum::raw},
        {"image/x-pcx", "pcx", xml_part_mode_enum::raw},
        {"application/octet-stream", "bin", xml_part_mode_enum::raw},
        {"application/binary", "", xml_part_mode_enum::raw},
        {SML "printerSettings", "bin", xml_part_mode_enum::raw},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(get_extension(c.type), c.extension) << c.type;
        EXPECT_EQ(get_open_mode(c.type), c.mode) << c.type;
    }
    for (const char* unknown : {SML "worktable+xml", SML "grid-entity+xml", "IMAGE/PNG", ""}) {
        const std::string message = std::string("general error: Content type: ") + unknown + " error.";
        EXPECT_EQ(what_of([&] { get_extension(unknown); }), message);
        EXPECT_EQ(what_of([&] { get_open_mode(unknown); }), message);
    }
}

TEST(content_types_reader, lookups) {
    loaded l(package_types);
    const struct {
        const char* name;
        const char* type;  // null: none
    } cases[] = {
        {"xl/workbook.xml", SML "sheet.main+xml"},
        {"xl/media/image1.png", "image/png"},
        {"xl/media/special.png", "image/x-special"},  // an Override beats a Default
        {"xl/media/IMAGE2.PNG", "image/png"},         // extensions in any letter case
        {"docProps/noext", "text/plain"},
        {"docProps/other", nullptr},  // no dot, no Override
        {"xl/styles.xml", "application/xml"},
        {"xl\\media\\a.png", "image/png"},
        {"/xl/workbook.xml", "application/xml"},  // names have no leading '/': only the Default
        {"xl/_rels/.rels", nullptr},
        {"", nullptr},
        {nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const char* got = l.ct.get_content_type(c.name);
        EXPECT_EQ(got ? std::string(got) : "(none)", c.type ? c.type : "(none)") << (c.name ? c.name : "null");
    }
    l.ct.release_tree();
    EXPECT_EQ(l.ct.root(), nullptr);
    EXPECT_EQ(l.ct.get_content_type("xl/workbook.xml"), nullptr);
}

TEST(content_types_reader, format_code_from_the_last_override) {
    const std::string grid = R"(<Override PartName="/g.xml" ContentType=")" SML R"(grid-entity+xml"/>)";
    const std::string other = R"(<Override PartName="/w.xml" ContentType=")" SML R"(sheet.main+xml"/>)";
    const struct {
        std::string body;
        uint32_t format;
    } cases[] = {
        {other + grid, 1},
        {grid + other, 2},
        {grid + R"(<Override PartName="/x"/>)", 2},
        {grid + R"(<Default Extension="png" ContentType="image/png"/>)", 1},
        {"", 0},
    };
    for (const auto& c : cases) {
        loaded l("<Types>" + c.body + "</Types>");
        EXPECT_EQ(l.format, c.format) << c.body;
    }
}

TEST(content_types_writer, built_tree) {
    using namespace part_test;
    std::unique_ptr<test_part> book(add(nullptr, workbook));
    add_image(add(add(book.get(), worksheet), worktable), "image/png", "png");  // a background picture
    add(book.get(), styles);
    add(book.get(), shared_strings);
    name_tree(*book);
    content_types_t ct;
    register_tree(ct, *book);
    EXPECT_EQ(written(ct),
              std::string(head) + R"(<Default Extension="png" ContentType="image/png"/>)"
                                  R"(<Override PartName="/xl/sharedStrings.xml" ContentType=")" SML R"(sharedStrings+xml"/>)"
                                  R"(<Override PartName="/xl/styles.xml" ContentType=")" SML R"(styles+xml"/>)"
                                  R"(<Override PartName="/xl/workbook.xml" ContentType=")" SML R"(sheet.main+xml"/>)"
                                  R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType=")" SML
                                  R"(worksheet+xml"/>)"
                                  "</Types>");
}

TEST(content_types_writer, entries) {
    content_types_t ct;
    EXPECT_EQ(written(ct), std::string(head) + "</Types>");

    EXPECT_TRUE(ct.add("png", "image/png"));
    EXPECT_FALSE(ct.add("png", "image/x-png"));  // the first type stays
    EXPECT_TRUE(ct.add("bin", SML "printerSettings"));
    EXPECT_FALSE(ct.add_default("xml", "application/xml"));  // no second Default
    EXPECT_FALSE(ct.add_default("rels", "application/octet-stream"));
    EXPECT_FALSE(ct.add_default("Png", "image/png"));  // the Default "png" serves it: readers ignore case
    // A raw part whose extension is taken lists itself.
    EXPECT_TRUE(ct.add_override("xl/embeddings/a&b.xml", "application/octet-stream"));
    EXPECT_TRUE(ct.add("xl/a.xml", SML "comments+xml"));
    EXPECT_FALSE(ct.add("xl/a.xml", SML "table+xml"));
    EXPECT_EQ(ct.default_type("png"), "image/png");
    EXPECT_EQ(ct.default_type("xml"), "application/xml");
    EXPECT_EQ(ct.default_type("rels"), "application/vnd.openxmlformats-package.relationships+xml");
    EXPECT_EQ(ct.default_type("jpeg"), std::nullopt);
    EXPECT_EQ(written(ct), std::string(head) +
                               R"(<Default Extension="bin" ContentType=")" SML R"(printerSettings"/>)"
                               R"(<Default Extension="png" ContentType="image/png"/>)"
                               R"(<Override PartName="/xl/a.xml" ContentType=")" SML R"(comments+xml"/>)"
                               R"(<Override PartName="/xl/embeddings/a&amp;b.xml" ContentType="application/octet-stream"/>)"
                               "</Types>");
    ct.clear();
    EXPECT_EQ(written(ct), std::string(head) + "</Types>");
}

TEST(content_types_reader, the_first_element_with_a_type_answers) {
    loaded l(R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
             R"(<Override PartName="/a.xml"/>)"
             R"(<Override PartName="/a.xml" ContentType="first"/>)"
             R"(<Override PartName="/a.xml" ContentType="second"/>)"
             R"(<Default Extension="bin" ContentType="one"/><Default Extension="bin" ContentType="two"/>)"
             R"(<Other PartName="/b.bin" ContentType="any element"/>)"
             R"(</Types>)");
    EXPECT_STREQ(l.ct.get_content_type("a.xml"), "first");
    EXPECT_STREQ(l.ct.get_content_type("c.bin"), "one");
    EXPECT_STREQ(l.ct.get_content_type("b.bin"), "any element");
    EXPECT_EQ(l.ct.get_content_type("a.xm"), nullptr);
}
