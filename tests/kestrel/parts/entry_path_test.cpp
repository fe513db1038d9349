#include "kestrel/parts/entry_path.h"

#include <gtest/gtest.h>

namespace ep = vex::entry_path;

TEST(entry_path, normalize) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"xl/worksheets/../table/../comments2.xml", "xl/comments2.xml"},
        {"xl/./styles.xml", "xl/styles.xml"},
        {"./styles.xml", "styles.xml"},
        {"xl//media///a.png", "xl/media/a.png"},
        {"xl/drawings/../../../x.png", "../x.png"},
        {"../../a", "../../a"},
        {"/../a", "/a"},
        {"a/b/..", "a/"},
        {"a/.", "a/"},
        {"a/..", "."},
        {"", "."},
        {"/", "/"},
    };
    for (const auto& c : cases) EXPECT_EQ(ep::normalize(c.in), c.out) << c.in;
}

TEST(entry_path, relative) {
    const struct {
        const char* target;
        const char* base;
        const char* out;
    } cases[] = {
        {"xl/worksheets/sheet1.xml", "xl", "worksheets/sheet1.xml"},
        {"xl/drawings/drawing1.xml", "xl/worksheets", "../drawings/drawing1.xml"},
        {"xl/media/image1.png", "xl/drawings", "../media/image1.png"},
        {"xl/workbook.xml", "", "xl/workbook.xml"},
        {"xl/styles.xml", "xl/./a/..", "styles.xml"},
        {"xl", "xl", "."},
        {"a", "..", ""},
        {"/a", "b", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ep::relative(c.target, c.base), c.out) << c.target << " from " << c.base;
}

TEST(entry_path, resolve_target) {
    const struct {
        const char* source;
        const char* target;
        const char* out;
    } cases[] = {
        {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/worksheets/sheet1.xml", "../drawings/drawing1.xml", "xl/drawings/drawing1.xml"},
        {"xl/drawings/drawing1.xml", "..\\media\\x.png", "xl/media/x.png"},
        {"xl\\drawings\\drawing1.xml", "..\\media\\x.png", "xl/media/x.png"},
        {"xl/worksheets/sheet1.xml", "/xl/styles.xml", "xl/styles.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"", "/xl/workbook.xml", "xl/workbook.xml"},
        {"workbook.xml", "sheet.xml", "sheet.xml"},
        // Nothing lies above the package root.
        {"xl/workbook.xml", "../../etc/passwd", ""},
        {"", "..", ""},
        {"xl/a.xml", "//b.xml", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ep::resolve_target(c.source, c.target), c.out) << c.target;
}

TEST(entry_path, extension_and_join) {
    EXPECT_EQ(ep::join("xl/", "a"), "xl/a");
    EXPECT_EQ(ep::join("xl", "/a"), "/a");
    const struct {
        const char* path;
        const char* ext;
    } exts[] = {{"xl/media/a.PNG", "PNG"}, {"a.tar.gz", "gz"}, {"xl.d/noext", ""}, {"_rels/.rels", ""},
                {"a/..", ""},            {"a.", ""},         {"a/b.", ""}};
    for (const auto& e : exts) EXPECT_EQ(ep::extension(e.path), e.ext) << e.path;
    EXPECT_EQ(ep::replace_extension("./styles", ".xml"), "./styles.xml");
    EXPECT_EQ(ep::replace_extension("a/item.bin", ".xml"), "a/item.xml");
    EXPECT_EQ(ep::replace_extension("a.d/b", ".xml"), "a.d/b.xml");
}
