#include "kestrel/xml/xl_xml/assignment/assign_for_workbook.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/parts/workbook_part.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace vex;

namespace {

std::string book_xml(const std::string& root_attributes, const std::string& body) {
    return std::string("<workbook xmlns=\"") + reader_test::main_ns + "\" xmlns:r=\"" + reader_test::rel_ns + "\"" +
           root_attributes + ">" + body + "</workbook>";
}

struct book_fixture {
    part_container root;
    workbook_t* wb = nullptr;
    book_fixture() {
        xml_part_t* part = root.create_child(
            nullptr, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument", nullptr,
            true);
        wb = static_cast<workbook_part_t*>(part)->get_workbook_component();
    }
    std::string read(const std::string& xml) {
        try {
            reader_test::feed(*wb, xml);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
};

} // namespace

TEST(assign_for_workbook, views_modes_and_sheets) {
    book_fixture f;
    ASSERT_EQ(f.read(book_xml(" conformance=\"transitional\"",
                              "<workbookPr date1904=\"true\"/><bookViews><workbookView xWindow=\"-120\" yWindow=\"5\" "
                              "windowWidth=\"2000\" windowHeight=\"900\" activeTab=\"1\" firstSheet=\"99999999999\" "
                              "showSheetTabs=\"0\" visibility=\"hidden\" unknown=\"x\"/></bookViews>"
                              "<sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
                              "<sheet name=\"B\" sheetId=\"2\" state=\"veryHidden\" r:id=\"rId2\"/></sheets>"
                              "<definedNames><definedName name=\"E\"/></definedNames>"
                              "<calcPr calcId=\"191029\" calcMode=\"manual\" refMode=\"R1C1\"/>")),
              "");
    EXPECT_TRUE(f.wb->is_date1904());
    EXPECT_EQ(f.wb->calc_mode(), 1u);
    EXPECT_FALSE(f.wb->is_a1_ref_mode());
    ASSERT_EQ(f.wb->views().size(), 1u);
    const workbook_view_t& v = f.wb->views()[0];
    EXPECT_EQ(int32_t(v.x_window), -120);
    EXPECT_EQ(v.y_window, 5u);
    EXPECT_EQ(v.window_width, 2000u);
    EXPECT_EQ(v.window_height, 900u);
    EXPECT_EQ(v.active_tab, 1u);
    EXPECT_EQ(v.first_sheet, 0u);  // beyond 32 bits reads as 0
    EXPECT_FALSE(v.show_sheet_tabs);
    EXPECT_EQ(v.visibility, 1u);
    ASSERT_EQ(f.wb->sheets().size(), 2u);
    EXPECT_EQ(f.wb->sheets()[0].state, 0u);
    EXPECT_EQ(f.wb->sheets()[1].state, 2u);
    ASSERT_EQ(f.wb->pending_names().size(), 1u);
    EXPECT_EQ(f.wb->pending_names()[0].text, "");  // no text: an empty formula
}

TEST(assign_for_workbook, absent_attributes_keep_their_defaults) {
    book_fixture f;
    ASSERT_EQ(f.read(book_xml("", "<workbookPr/><calcPr/><sheets/>")), "");
    EXPECT_FALSE(f.wb->is_date1904());
    EXPECT_EQ(f.wb->calc_mode(), 0u);
    EXPECT_TRUE(f.wb->is_a1_ref_mode());
}

TEST(assign_for_workbook, bad_values_fail_naming_the_fault) {
    const struct {
        std::string root;
        std::string body;
        const char* message;
    } cases[] = {
        {" conformance=\"Transitional\"", "<sheets/>", "invalid enumeration string value: \"Transitional\""},
        {"", "<bookViews><workbookView visibility=\"shown\"/></bookViews>", "invalid enumeration string value: \"shown\""},
        {"", "<sheets><sheet name=\"A\" sheetId=\"1\" state=\"gone\" r:id=\"rId1\"/></sheets>",
         "invalid enumeration string value: \"gone\""},
        {"", "<sheets><sheet sheetId=\"1\" r:id=\"rId1\"/></sheets>", "The sheet element has no name attribute."},
        {"", "<sheets><sheet name=\"A\" sheetId=\"1\"/></sheets>", "The sheet element \"A\" has no r:id attribute."},
        {"", "<calcPr calcMode=\"sometimes\"/>", "invalid enumeration string value: \"sometimes\""},
    };
    for (const auto& c : cases) {
        book_fixture f;
        const std::string e = f.read(book_xml(c.root, c.body));
        EXPECT_NE(e.find(c.message), std::string::npos) << c.body << " -> " << e;
    }
}
