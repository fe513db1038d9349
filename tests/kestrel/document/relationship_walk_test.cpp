// The relationship walk of a load: targets named several times, cycles, and
// sheets that would share a part.
#include "kestrel/document/concrete_resolver/excel_resolver.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "tests/kestrel/document/package_support.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace package_test;

namespace {

const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string r_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const std::string workbook_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
const std::string theme_type = "application/vnd.openxmlformats-officedocument.theme+xml";

std::string workbook_xml(const std::string& sheets) {
    return std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + r_ns + "\"><sheets>" + sheets +
           "</sheets></workbook>";
}

std::string sheet_record(const std::string& name, int id, const std::string& rid) {
    return "<sheet name=\"" + name + "\" sheetId=\"" + std::to_string(id) + "\" r:id=\"" + rid + "\"/>";
}

const std::string empty_sheet = std::string(decl) + "<worksheet xmlns=\"" + main_ns + "\"><sheetData/></worksheet>";

// A workbook of one sheet; extra relationships of the workbook and extra
// entries come from the case.
entries_t one_sheet_package(const std::string& more_rels, const entries_t& more_entries,
                            const std::string& more_types = "") {
    entries_t e = {
        {"[Content_Types].xml", types(override_of("xl/workbook.xml", workbook_type) +
                                      override_of("xl/worksheets/sheet1.xml", sheet_type) + more_types)},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", workbook_xml(sheet_record("Sheet1", 1, "rId1"))},
        {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml") +
                                            more_rels)},
        {"xl/worksheets/sheet1.xml", empty_sheet},
    };
    e.insert(e.end(), more_entries.begin(), more_entries.end());
    return e;
}

// Loads the package and expects every entry of it read exactly once.
void expect_each_entry_read_once(const entries_t& package) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package);
    vex::xml_document_t doc;
    vex::excel_resolver resolver(&doc, vex::xml::sxml::load_options);
    resolver.load((dir / "in.xlsx").c_str(), false);
    for (const auto& [name, bytes] : package) EXPECT_EQ(resolver.times_read(name), 1u) << name;
}

std::string load_failure(const entries_t& package) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package);
    vex::xml_document_t doc;
    try {
        doc.load((dir / "in.xlsx").c_str(), false);
    } catch (const loading_error& e) {
        return e.what();
    }
    return "<loaded>";
}

// Writes the root element of its kind for the modelled parts of these
// packages until their own writers exist.
class stand_in final : public vex::output_handler {
public:
    explicit stand_in(vex::xml_part_t& part) : part_(part) {}
    void write() override {
        const bool book = part_.kind() == vex::part_kind_enum::workbook_part;
        part_.get_xml_writer()->write_raw(book ? workbook_xml("") : empty_sheet);
    }

private:
    vex::xml_part_t& part_;
};

std::unique_ptr<vex::output_handler> make_stand_in(vex::xml_part_t& part) { return std::make_unique<stand_in>(part); }

// The shared stand-ins, with these for the workbook and its sheets.
struct stand_in_writers {
    explicit stand_in_writers(vex::xml_document_t& doc)
        : rest(doc),
          mine(doc, {vex::part_kind_enum::workbook_part, vex::part_kind_enum::worksheet_part}, make_stand_in) {}
    package_test::stand_in_writers rest;
    package_test::stand_in_writers mine;
};

entries_t load_and_save(const entries_t& package) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", package);
    vex::xml_document_t doc;
    stand_in_writers writers(doc);
    doc.load((dir / "in.xlsx").c_str(), false);
    doc.save((dir / "out.xlsx").c_str(), 2);
    EXPECT_EQ(std::system(("unzip -tqq " + (dir / "out.xlsx") + " >/dev/null").c_str()), 0);
    return read_zip(dir / "out.xlsx");
}

// The value of each attribute name="..." in text.
std::vector<std::string> attribute_values(const std::string& text, const std::string& name) {
    std::vector<std::string> out;
    const std::string key = " " + name + "=\"";
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const size_t from = at + key.size();
        out.push_back(text.substr(from, text.find('"', from) - from));
    }
    return out;
}

} // namespace

TEST(relationship_walk, a_part_naming_itself_is_read_once) {
    const std::string theme = std::string(decl) + "<a:theme xmlns:a=\"t\" name=\"T\"/>";
    expect_each_entry_read_once(one_sheet_package(
        rel("rId2", std::string(od) + "theme", "theme/theme1.xml"),
        {{"xl/theme/theme1.xml", theme},
         {"xl/theme/_rels/theme1.xml.rels", rels(rel("rId1", "http://example.com/self", "theme1.xml"))}},
        override_of("xl/theme/theme1.xml", theme_type)));
}

TEST(relationship_walk, a_cycle_through_the_workbook_is_read_once) {
    expect_each_entry_read_once(one_sheet_package(rel("rId9", "http://example.com/loop", "workbook.xml"), {}));
    // Through a sheet and back.
    expect_each_entry_read_once(one_sheet_package(
        "", {{"xl/worksheets/_rels/sheet1.xml.rels", rels(rel("rId1", "http://example.com/up", "../workbook.xml"))}}));
}

TEST(relationship_walk, a_diamond_chain_is_read_once_per_entry) {
    // Each part names the next twice: without sharing, 2^40 visits.
    constexpr int depth = 40;
    entries_t more;
    for (int i = 1; i <= depth; ++i) {
        const std::string n = std::to_string(i);
        more.push_back({"xl/chain/part" + n + ".xml", "<p n=\"" + n + "\"/>"});
        if (i == depth) continue;
        const std::string next = "part" + std::to_string(i + 1) + ".xml";
        more.push_back({"xl/chain/_rels/part" + n + ".xml.rels",
                        rels(rel("rId1", "http://example.com/next", next) + rel("rId2", "http://example.com/next", next))});
    }
    expect_each_entry_read_once(one_sheet_package(
        rel("rId2", "http://example.com/next", "chain/part1.xml") + rel("rId3", "http://example.com/next", "chain/part1.xml"),
        more));
}

TEST(relationship_walk, two_sheets_on_one_worksheet_part_fail_the_load) {
    const std::string expected = "load error: The worksheet part xl/worksheets/sheet1.xml is used by more than one sheet.";
    // Two records naming one relationship.
    entries_t same_id = one_sheet_package("", {});
    same_id[2].second = workbook_xml(sheet_record("A", 1, "rId1") + sheet_record("B", 2, "rId1"));
    EXPECT_EQ(load_failure(same_id), expected);
    // Two relationships to one entry.
    entries_t same_target = one_sheet_package(rel("rId2", std::string(od) + "worksheet", "worksheets/sheet1.xml"), {});
    same_target[2].second = workbook_xml(sheet_record("A", 1, "rId1") + sheet_record("B", 2, "rId2"));
    EXPECT_EQ(load_failure(same_target), expected);
    // A repeated chart sheet record does not hide a repeated worksheet one.
    entries_t behind_chart =
        one_sheet_package(rel("rId2", std::string(od) + "chartsheet", "chartsheets/sheet1.xml"),
                          {{"xl/chartsheets/sheet1.xml", "<chartsheet/>"}},
                          override_of("xl/chartsheets/sheet1.xml",
                                      "application/vnd.openxmlformats-officedocument.spreadsheetml.chartsheet+xml"));
    behind_chart[2].second = workbook_xml(sheet_record("C", 1, "rId2") + sheet_record("D", 2, "rId2") +
                                          sheet_record("A", 3, "rId1") + sheet_record("B", 4, "rId1"));
    EXPECT_EQ(load_failure(behind_chart), expected);
    // Many records on one part.
    std::string many;
    for (int i = 1; i <= 10000; ++i) many += sheet_record(vex::concat({"S", std::to_string(i)}), i, "rId1");
    entries_t crowd = one_sheet_package("", {});
    crowd[2].second = workbook_xml(many);
    EXPECT_EQ(load_failure(crowd), expected);
    // One record per part still loads, and a second name for a kept part is shared.
    entries_t fine = one_sheet_package(rel("rId2", std::string(od) + "worksheet", "worksheets/sheet2.xml") +
                                           rel("rId3", "http://example.com/again", "worksheets/sheet1.xml"),
                                       {{"xl/worksheets/sheet2.xml", empty_sheet}},
                                       override_of("xl/worksheets/sheet2.xml", sheet_type));
    fine[2].second = workbook_xml(sheet_record("A", 1, "rId1") + sheet_record("B", 2, "rId2"));
    EXPECT_EQ(load_failure(fine), "<loaded>");
}

TEST(relationship_walk, a_target_named_again_is_saved_once_and_pointed_to) {
    std::string chain_rels;
    entries_t more = {{"xl/chain/part1.xml", "<p n=\"1\"/>"}, {"xl/chain/part2.xml", "<p n=\"2\"/>"},
                      {"xl/chain/_rels/part1.xml.rels",
                       rels(rel("rId1", "http://example.com/next", "part2.xml") +
                            rel("rId2", "http://example.com/next", "part2.xml") +
                            rel("rId3", "http://example.com/up", "../workbook.xml"))}};
    const entries_t saved = load_and_save(
        one_sheet_package(rel("rId9", "http://example.com/loop", "workbook.xml") +
                              rel("rId10", "http://example.com/next", "chain/part1.xml"),
                          more));
    std::vector<std::string> written = names(saved);
    // The load adds the styles part every workbook has.
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                                  "xl/chain/_rels/part1.xml.rels", "xl/chain/part1.xml",
                                                  "xl/chain/part2.xml", "xl/styles.xml", "xl/workbook.xml",
                                                  "xl/worksheets/sheet1.xml"}));
    const std::string book_rels = find(saved, "xl/_rels/workbook.xml.rels");
    EXPECT_NE(book_rels.find("Type=\"http://example.com/loop\" Target=\"workbook.xml\""), std::string::npos)
        << book_rels;
    // The kept part keeps its Ids, each pointing where it did.
    const std::string part_rels = find(saved, "xl/chain/_rels/part1.xml.rels");
    EXPECT_EQ(part_rels, find(more, "xl/chain/_rels/part1.xml.rels"));
    EXPECT_EQ(find(saved, "xl/chain/part2.xml"), "<p n=\"2\"/>");
}

TEST(relationship_walk, picture_hyperlinks_to_places_are_kept_as_links) {
    const std::string drawing =
        std::string(decl) + "<xdr:wsDr xmlns:xdr=\"d\" xmlns:a=\"a\" xmlns:r=\"" + r_ns +
        "\"><xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"2\" name=\"P\"><a:hlinkClick r:id=\"rId2\"/></xdr:cNvPr>"
        "</xdr:nvPicPr><xdr:blipFill><a:blip r:embed=\"rId1\"/></xdr:blipFill></xdr:pic></xdr:wsDr>";
    const std::string link_type = std::string(od) + "hyperlink";
    for (const std::string target : {"#Sheet1!A1", "#'Sheet 1'!A1"}) {
        // Beside the picture's link, links with either TargetMode keep it as read.
        const std::string drawing_rels =
            rels(rel("rId1", std::string(od) + "image", "../media/image1.png") + rel("rId2", link_type, target) +
                 "<Relationship Id=\"rId3\" Type=\"" + link_type + "\" Target=\"#C!D4\" TargetMode=\"Internal\"/>" +
                 rel("rId4", link_type, "https://x.example/", true));
        const entries_t saved = load_and_save(one_sheet_package(
            "",
            {{"xl/worksheets/_rels/sheet1.xml.rels",
              rels(rel("rId1", std::string(od) + "drawing", "../drawings/drawing1.xml"))},
             {"xl/drawings/drawing1.xml", drawing},
             {"xl/drawings/_rels/drawing1.xml.rels", drawing_rels},
             {"xl/media/image1.png", "\x89PNG not really"}},
            override_of("xl/drawings/drawing1.xml", "application/vnd.openxmlformats-officedocument.drawing+xml") +
                "<Default Extension=\"png\" ContentType=\"image/png\"/>"));
        // Written from the drawing's model: the element in names the reader
        // does not know is kept with the ids it names.
        const std::string saved_drawing = find(saved, "xl/drawings/drawing1.xml");
        EXPECT_NE(saved_drawing.find("hlinkClick r:id=\"rId2\""), std::string::npos) << saved_drawing;
        EXPECT_NE(saved_drawing.find("blip r:embed=\"rId1\""), std::string::npos) << saved_drawing;
        EXPECT_EQ(find(saved, "xl/media/image1.png"), "\x89PNG not really");
        std::string escaped = drawing_rels;  // the writer escapes the apostrophe
        for (size_t at; (at = escaped.find('\'')) != std::string::npos;) escaped.replace(at, 1, "&apos;");
        const std::string saved_rels = find(saved, "xl/drawings/_rels/drawing1.xml.rels");
        EXPECT_EQ(saved_rels, escaped) << target;
        for (const std::string attribute : {"r:id", "r:embed"})
            for (const std::string& id : attribute_values(saved_drawing, attribute))
                EXPECT_NE(saved_rels.find("Id=\"" + id + "\""), std::string::npos) << id;
    }
}
