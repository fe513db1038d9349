#include "kestrel/xml/xl_xml/assignment/assign_for_worktable_comment.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex;
using namespace package_test;

namespace {

struct commented_sheet {
    xml_document_t doc;
    std::string error;
    const mta::comment_store_t* store = nullptr;
    // authors and comment elements go inside the part's root.
    explicit commented_sheet(const std::string& inside) {
        const std::string part = std::string(decl) + "<comments xmlns=\"" + reader_test::main_ns + "\">" + inside +
                                 "</comments>";
        error = reader_test::load(
            doc, reader_test::sheet_package_with(
                     "<sheetData/>", rel("rId1", std::string(od) + "comments", "../comments1.xml"),
                     {{"xl/comments1.xml", part}},
                     override_of("xl/comments1.xml",
                                 "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml")));
        if (error.empty()) store = &doc.workbook()->sheet_at(0)->worktable()->comments();
    }
    std::string author(int row, int col) const {
        const int id = store->author_id(row, col);
        return id < 0 ? "<none>" : store->authors()[size_t(id)];
    }
};

const std::string two_authors = "<authors><author>A</author><author>B</author></authors>";

} // namespace

TEST(assign_for_worktable_comment, runs_authors_and_plain_text) {
    commented_sheet s(two_authors +
                      "<commentList><comment ref=\"C5\" authorId=\"1\" shapeId=\"1025\"><text>"
                      "<r><rPr><b/><sz val=\"9\"/><rFont val=\"Tahoma\"/></rPr><t xml:space=\"preserve\">Bold </t></r>"
                      "<r><t>plain</t></r></text></comment>"
                      "<comment ref=\"A1\" authorId=\"0\" shapeId=\"0\"><text><t>one &amp; only</t></text></comment>"
                      "</commentList>");
    ASSERT_EQ(s.error, "");
    ASSERT_EQ(s.store->size(), 2u);
    const mta::richtext_t* c5 = s.store->find(5, 3);
    ASSERT_NE(c5, nullptr);
    ASSERT_EQ(c5->segments_num(), 2u);
    EXPECT_EQ(c5->segments()[0].text, "Bold ");
    EXPECT_EQ(c5->segments()[0].preserve_space, 1u);
    EXPECT_EQ(c5->segments()[0].font.bold, 1);
    EXPECT_EQ(c5->segments()[0].font.size, 9.0);
    EXPECT_EQ(c5->segments()[0].font.name, "Tahoma");
    EXPECT_EQ(c5->segments()[1].text, "plain");
    EXPECT_EQ(c5->segments()[1].font.bold, 0);
    EXPECT_EQ(s.author(5, 3), "B");
    // Text without a run is one plain segment.
    const mta::richtext_t* a1 = s.store->find(1, 1);
    ASSERT_NE(a1, nullptr);
    ASSERT_EQ(a1->segments_num(), 1u);
    EXPECT_EQ(a1->segments()[0].text, "one & only");
    EXPECT_EQ(a1->segments()[0].font, mta::font_t{});
    EXPECT_EQ(s.author(1, 1), "A");
}

TEST(assign_for_worktable_comment, missing_or_unknown_author_keeps_the_comment) {
    commented_sheet s(two_authors +
                      "<commentList><comment ref=\"A1\" authorId=\"2\"><text><t>past the list</t></text></comment>"
                      "<comment ref=\"A2\" authorId=\"-1\"><text><t>negative</t></text></comment>"
                      "<comment ref=\"A3\"><text><t>no id</t></text></comment>"
                      "<comment ref=\"A4\" authorId=\"0\"><text/></comment></commentList>");
    ASSERT_EQ(s.error, "");
    ASSERT_EQ(s.store->size(), 4u);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(s.author(row, 1), "<none>") << row;
        EXPECT_NE(s.store->find(row, 1), nullptr) << row;
    }
    EXPECT_EQ(s.store->find(4, 1)->segments_num(), 0u);
    EXPECT_EQ(s.author(4, 1), "A");
}

TEST(assign_for_worktable_comment, bad_numbers_and_references_fail_the_load) {
    const struct {
        const char* comment;
        const char* message;
    } cases[] = {
        {"<comment ref=\"A1\" authorId=\"0\" shapeId=\"x\"/>", "invalid stoi argument"},
        {"<comment ref=\"A1\" authorId=\"99999999999\"/>", "stoi argument out of range"},
        {"<comment ref=\"1A\" authorId=\"0\"/>", "Wrong cell reference: 1A"},
        {"<comment ref=\"XFE1\" authorId=\"0\"/>", "Wrong cell reference: XFE1"},
    };
    for (const auto& c : cases) {
        commented_sheet s(two_authors + "<commentList>" + c.comment + "</commentList>");
        EXPECT_NE(s.error.find(c.message), std::string::npos) << c.comment << ": " << s.error;
    }
}
