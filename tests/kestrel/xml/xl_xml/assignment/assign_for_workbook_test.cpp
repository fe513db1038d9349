#include "kestrel/xml/xl_xml/assignment/assign_for_workbook.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/workbook_part.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    EXPECT_EQ(f.wb->calc_mode(), 2u);
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

// The external references keep their order (formulas count on it) and the
// pivot caches their numbers, each with the relationship id its part gets in
// the save.
TEST(assign_for_workbook, external_references_and_pivot_caches_are_written_back) {
    using namespace package_test;
    const std::string ns = std::string(" xmlns=\"") + reader_test::main_ns + "\"";
    const std::string book =
        "<workbook" + ns + " xmlns:r=\"" + reader_test::rel_ns + "\"><sheets><sheet name=\"Data\" sheetId=\"1\" "
        "r:id=\"rId1\"/></sheets><externalReferences><externalReference r:id=\"rId7\"/>"
        "<externalReference r:id=\"rId6\"/></externalReferences><pivotCaches><pivotCache cacheId=\"12\" r:id=\"rId5\"/>"
        "<pivotCache cacheId=\"13\" r:id=\"rId9\"/></pivotCaches></workbook>";
    const std::string ml = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    entries_t e = {
        {"[Content_Types].xml",
         types(override_of("xl/workbook.xml", ml + "sheet.main+xml") +
               override_of("xl/worksheets/sheet1.xml", ml + "worksheet+xml") +
               override_of("xl/externalLinks/externalLink1.xml", ml + "externalLink+xml") +
               override_of("xl/externalLinks/externalLink2.xml", ml + "externalLink+xml") +
               override_of("xl/pivotCache/pivotCacheDefinition1.xml", ml + "pivotCacheDefinition+xml"))},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + book},
        {"xl/_rels/workbook.xml.rels",
         rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
              rel("rId5", std::string(od) + "pivotCacheDefinition", "pivotCache/pivotCacheDefinition1.xml") +
              rel("rId6", std::string(od) + "externalLink", "externalLinks/externalLink1.xml") +
              rel("rId7", std::string(od) + "externalLink", "externalLinks/externalLink2.xml"))},
        {"xl/worksheets/sheet1.xml", std::string(decl) + "<worksheet" + ns + "><sheetData/></worksheet>"},
        {"xl/externalLinks/externalLink1.xml", std::string(decl) + "<externalLink" + ns + "><one/></externalLink>"},
        {"xl/externalLinks/externalLink2.xml", std::string(decl) + "<externalLink" + ns + "><two/></externalLink>"},
        {"xl/pivotCache/pivotCacheDefinition1.xml",
         std::string(decl) + "<pivotCacheDefinition" + ns + " refreshOnLoad=\"1\"/>"},
    };
    scratch_dir dir;
    write_zip(dir / "in.xlsx", e);
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    const workbook_t& wb = *doc.workbook();
    ASSERT_EQ(wb.pivot_caches().size(), 2u);
    EXPECT_EQ(wb.pivot_caches()[0].cache_id, 12u);
    EXPECT_EQ(wb.pivot_caches()[0].relationship_id, "rId5");
    EXPECT_EQ(wb.external_references(), (std::vector<std::string>{"rId7", "rId6"}));
    doc.save((dir / "out.xlsx").c_str(), 2);

    // Each written r:id leads to the part it was read with.
    const entries_t saved = read_zip(dir / "out.xlsx");
    const std::string saved_book = find(saved, "xl/workbook.xml");
    const std::string saved_rels = find(saved, "xl/_rels/workbook.xml.rels");
    // The entries the r:ids of an element name, in order.
    const auto targets_of = [&](const std::string& element) {
        std::vector<std::string> out;
        for (size_t at = saved_book.find("<" + element + " "); at != std::string::npos;
             at = saved_book.find("<" + element + " ", at + 1)) {
            const size_t id = saved_book.find("r:id=\"", at) + 6;
            const std::string rid = saved_book.substr(id, saved_book.find('"', id) - id);
            const size_t r = saved_rels.find("Id=\"" + rid + "\"");
            if (r == std::string::npos) continue;
            const std::string record = saved_rels.substr(saved_rels.rfind('<', r), saved_rels.find('>', r) - saved_rels.rfind('<', r));
            const size_t t = record.find("Target=\"") + 8;
            const std::string target = record.substr(t, record.find('"', t) - t);
            out.push_back(target.starts_with("../") ? target.substr(3) : "xl/" + target);
        }
        return out;
    };
    const std::vector<std::string> links = targets_of("externalReference");
    ASSERT_EQ(links.size(), 2u) << saved_book;
    EXPECT_NE(find(saved, links[0]).find("<two/>"), std::string::npos) << saved_book;
    EXPECT_NE(find(saved, links[1]).find("<one/>"), std::string::npos) << saved_book;
    const std::vector<std::string> caches = targets_of("pivotCache");
    ASSERT_EQ(caches.size(), 1u) << "a cache whose part is not in the package is left out: " << saved_book;
    EXPECT_NE(saved_book.find("<pivotCaches><pivotCache cacheId=\"12\" r:id=\""), std::string::npos) << saved_book;
    EXPECT_NE(find(saved, caches[0]).find("refreshOnLoad"), std::string::npos) << caches[0];
}
