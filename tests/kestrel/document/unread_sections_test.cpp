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

entries_t package_with_sheet(const std::string& body, bool with_styles = false) {
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
        {"xl/worksheets/sheet1.xml", std::string(decl) + "<worksheet xmlns=\"" + main_ns + "\">" + body + "</worksheet>"},
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
              "Cannot save sheet \"Data\": its cols would be lost.");
    EXPECT_EQ(save_message(data + "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells>"
                                  "<conditionalFormatting sqref=\"A1\"/>"),
              "Cannot save sheet \"Data\": its mergeCells would be lost.");
    EXPECT_EQ(save_message("<sheetData><row r=\"1\"><c r=\"A1\" vm=\"1\"><v>1</v></c></row></sheetData>"),
              "Cannot save sheet \"Data\": its cell metadata would be lost.");
}

// Loaded styles are saved as their bytes until the styles reader comes: a
// format added since the load (a date's) makes the save refuse, not write
// cells pointing at formats the bytes lack.
TEST(unread_sections, styles_added_to_loaded_styles_refuse_the_save) {
    for (const bool add_a_format : {false, true}) {
        scratch_dir dir;
        write_zip(dir / "in.xlsx", package_with_sheet("<sheetData/>", true));
        vex::xml_document_t doc;
        doc.load((dir / "in.xlsx").c_str(), false);
        vex::worktable_t* table = doc.workbook()->first_worktable();
        ASSERT_NE(table, nullptr);
        if (add_a_format) table->set_datetime(1, 1, vex::datetime_t{});
        else table->set_num(1, 1, 2.5);
        if (!add_a_format) {
            doc.save((dir / "out.xlsx").c_str(), 2);
            EXPECT_EQ(find(read_zip(dir / "out.xlsx"), "xl/styles.xml"), find(read_zip(dir / "in.xlsx"), "xl/styles.xml"));
            continue;
        }
        try {
            doc.save((dir / "out.xlsx").c_str(), 2);
            ADD_FAILURE() << "saved";
        } catch (const general_error& e) {
            EXPECT_EQ(e.message(), "Cannot save xl/styles.xml: what was added since the load would be lost.");
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "out.xlsx"));
    }
}
