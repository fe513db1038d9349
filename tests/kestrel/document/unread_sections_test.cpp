// A loaded sheet holding what no reader takes yet is refused by the save, by
// name, rather than saved without it; a sheet the readers take whole saves.
#include "datetime.h"
#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace package_test;

namespace {

const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

entries_t package_with_sheet(const std::string& body, const std::string& sheet_rels = "",
                             bool with_styles = false) {
    entries_t e = {
        {"[Content_Types].xml",
         types(override_of("xl/workbook.xml",
                           "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
               override_of("xl/worksheets/sheet1.xml",
                           "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"))},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns +
                                "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                                "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml"))},
        {"xl/worksheets/sheet1.xml", std::string(decl) + "<worksheet xmlns=\"" + main_ns +
                                         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
                                         body + "</worksheet>"},
    };
    if (with_styles) {
        e[3].second = rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                           rel("rId2", std::string(od) + "styles", "styles.xml"));
        e[0].second = types(override_of("xl/workbook.xml",
                                        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
                            override_of("xl/worksheets/sheet1.xml",
                                        "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml") +
                            override_of("xl/styles.xml",
                                        "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"));
        e.push_back({"xl/styles.xml", std::string(decl) + "<styleSheet xmlns=\"" + main_ns + "\"><cellXfs count=\"1\">"
                                      "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellXfs></styleSheet>"});
    }
    if (!sheet_rels.empty()) e.push_back({"xl/worksheets/_rels/sheet1.xml.rels", rels(sheet_rels)});
    return e;
}

// The save's message, or "" when it succeeds.
std::string save_message(const std::string& body) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package_with_sheet(body));
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    try {
        doc.save((dir / "out.xlsx").c_str(), 2);
    } catch (const general_error& e) {
        EXPECT_FALSE(std::filesystem::exists(dir / "out.xlsx"));
        return e.message();
    }
    return "";
}

} // namespace

TEST(unread_sections, a_save_refuses_to_drop_what_was_not_read) {
    const std::string data = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
    EXPECT_EQ(save_message("<dimension ref=\"A1\"/>" + data + "<pageMargins left=\"1\" right=\"1\" top=\"1\" "
                           "bottom=\"1\" header=\"0.5\" footer=\"0.5\"/>"),
              "");
    EXPECT_EQ(save_message("<cols><col min=\"1\" max=\"1\" width=\"20\" customWidth=\"1\"/></cols>" + data),
              "");
    // Sections without a model are kept as read and saved.
    EXPECT_EQ(save_message(data + "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells>"
                                  "<conditionalFormatting sqref=\"A1\"/>"),
              "");
    EXPECT_EQ(save_message("<sheetData><row r=\"1\"><c r=\"A1\" vm=\"1\"><v>1</v></c></row></sheetData>"), "");
    EXPECT_EQ(save_message(data + "<sortState ref=\"A1:A2\"/>"), "");
}

// Loaded styles are read into the style manager and written from it: a
// format added since the load (a date's) is saved beside the loaded ones.
TEST(unread_sections, styles_added_to_loaded_styles_are_saved) {
    for (const bool add_a_format : {false, true}) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", package_with_sheet("<sheetData/>", "", true));
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        vex::worktable_t* table = doc.workbook()->first_worktable();
        ASSERT_NE(table, nullptr);
        if (add_a_format) table->set_datetime(1, 1, vex::datetime_t{});
        else table->set_num(1, 1, 2.5);
        doc.save((dir / "out.xlsx").c_str(), 2);
        const entries_t saved = read_zip(dir / "out.xlsx");
        const std::string styles = find(saved, "xl/styles.xml");
        const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
        EXPECT_EQ(styles.find("<cellXfs count=\"2\">") != std::string::npos, add_a_format) << styles;
        EXPECT_EQ(styles.find("numFmtId=\"14\"") != std::string::npos, add_a_format) << styles;
        EXPECT_EQ(sheet.find("<c r=\"A1\" s=\"1\"") != std::string::npos, add_a_format) << sheet;
    }
}

// Columns, merged ranges and hyperlinks come back from a load and a save with
// the same meaning, and survive a second round.
TEST(unread_sections, columns_merges_and_links_are_written_back) {
    const std::string body =
        "<cols><col min=\"1\" max=\"2\" width=\"20.5\" customWidth=\"1\"/>"
        "<col min=\"3\" max=\"3\" width=\"12\" customWidth=\"1\" hidden=\"1\"/>"
        "<col min=\"4\" max=\"5\" width=\"9\" customWidth=\"1\" outlineLevel=\"1\"/></cols>"
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"
        "<mergeCells count=\"2\"><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"D5:F9\"/></mergeCells>"
        "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId3\" tooltip=\"Go\"/>"
        "<hyperlink ref=\"C3\" location=\"Data!A7\" display=\"There\" tooltip=\"Tip\"/></hyperlinks>";
    const std::string link_rel = rel("rId3", std::string(od) + "hyperlink", "https://example.com/x?a=1", true);
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package_with_sheet(body, link_rel));
    for (const char* name : {"a.xlsx", "b.xlsx"}) {
        vex::xml_document_t doc;
        doc.load((dir / (name[0] == 'a' ? "in.xlsx" : "a.xlsx")).c_str(), false);
        doc.save((dir / name).c_str(), 2);
        const entries_t saved = read_zip(dir / name);
        const std::string sheet = find(saved, "xl/worksheets/sheet1.xml");
        EXPECT_NE(sheet.find("<col min=\"1\" max=\"2\" width=\"20.5\" customWidth=\"1\"/>"), std::string::npos)
            << sheet;
        EXPECT_NE(sheet.find("<col min=\"3\" max=\"3\" width=\"12\" hidden=\"1\" customWidth=\"1\"/>"),
                  std::string::npos);
        EXPECT_NE(sheet.find("<col min=\"4\" max=\"5\" width=\"9\" customWidth=\"1\" outlineLevel=\"1\"/>"),
                  std::string::npos);
        EXPECT_NE(sheet.find("<mergeCell ref=\"A1:B2\"/>"), std::string::npos);
        EXPECT_NE(sheet.find("<mergeCell ref=\"D5:F9\"/>"), std::string::npos);
        EXPECT_NE(sheet.find("<hyperlink ref=\"C3\" location=\"Data!A7\" display=\"There\" tooltip=\"Tip\"/>"),
                  std::string::npos);
        const size_t ext = sheet.find("<hyperlink ref=\"A1\" r:id=\"");
        ASSERT_NE(ext, std::string::npos) << sheet;
        const size_t id_at = ext + std::string("<hyperlink ref=\"A1\" r:id=\"").size();
        const std::string id = sheet.substr(id_at, sheet.find('"', id_at) - id_at);
        EXPECT_NE(sheet.find("tooltip=\"Go\"", ext), std::string::npos);
        const std::string sheet_rels = find(saved, "xl/worksheets/_rels/sheet1.xml.rels");
        const size_t r = sheet_rels.find("Id=\"" + id + "\"");
        ASSERT_NE(r, std::string::npos) << sheet_rels;
        const std::string record = sheet_rels.substr(sheet_rels.rfind('<', r), sheet_rels.find('>', r) - sheet_rels.rfind('<', r));
        EXPECT_NE(record.find("Target=\"https://example.com/x?a=1\""), std::string::npos) << record;
        EXPECT_NE(record.find("TargetMode=\"External\""), std::string::npos) << record;
    }
}
