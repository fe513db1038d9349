#include "kestrel/document/xml_document.h"

#include "errors.h"
#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part.h"
#include "mta/table/cell/string_pool.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/interface/round_trip_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace package_test;

namespace {

const std::string workbook_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const std::string workbook_xml = std::string(decl) +
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheets/></workbook>";

// A workbook whose elements nest depth deep, the innermost holding text.
std::string nested(int depth) {
    std::string open, close;
    for (int i = 2; i < depth; ++i) {
        open += "<x>";
        close = "</x>" + close;
    }
    return "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + open + "<y>t</y>" +
           close + "</workbook>";
}

// The message of the error load throws, or "" when it loads.
std::string load_failure(const std::string& path) {
    vex::xml_document_t doc;
    try {
        doc.load(path.c_str(), false);
    } catch (const general_error& e) {
        return e.message();
    }
    return "";
}

// The grid id of the sheet's cell store, made and registered as the sheet's
// handle does when it has none.
unsigned grid_of(const vex::xml_document_t& doc, vex::worksheet_t& sheet) {
    vex::worktable_t* table = sheet.worktable() ? sheet.worktable() : sheet.create_worktable__(10, 10, {});
    table->register_grid(sheet.get_part()->get_part_id(), doc.workbook_part()->get_part_id());
    return table->sheet_id();
}

// Makes the next document's grid ids differ from its sheet ids.
void use_up_a_grid() {
    vex::xml_document_t first;
    first.create_package();
    grid_of(first, *first.workbook()->insert_worksheet("First", ~0ull));
}

std::string sheet_name(const vex::xml_document_t& doc, uint32_t id) {
    std::string name = "stale";
    doc.sheet_name(name, id);
    return name;
}

} // namespace

TEST(xml_document, sheet_name_finds_the_sheet_by_grid_id_in_a_second_created_document) {
    use_up_a_grid();
    vex::xml_document_t doc;
    doc.create_package();
    vex::workbook_t& book = *doc.workbook();
    const unsigned data = grid_of(doc, *book.insert_worksheet("Data", ~0ull));
    const unsigned other = grid_of(doc, *book.insert_worksheet("Other", ~0ull));
    ASSERT_NE(data, book.sheets()[0].sheet_id);
    EXPECT_EQ(sheet_name(doc, data), "Data");
    EXPECT_EQ(sheet_name(doc, other), "Other");
    EXPECT_EQ(sheet_name(doc, book.sheets()[0].sheet_id), "");  // a sheet id is no grid id
    EXPECT_EQ(sheet_name(doc, 0), "");
    ASSERT_TRUE(book.rename_sheet(0, "Renamed"));
    EXPECT_EQ(sheet_name(doc, data), "Renamed");
}

TEST(xml_document, sheet_name_finds_the_sheet_by_grid_id_in_a_second_loaded_document) {
    use_up_a_grid();
    scratch_dir dir;
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    write_zip(dir / "in.xlsx",
              {{"[Content_Types].xml", types(override_of("xl/workbook.xml", workbook_type) +
                                             override_of("xl/worksheets/sheet1.xml", sheet_type))},
               {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
               {"xl/workbook.xml",
                std::string(decl) +
                    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\""
                    "http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                    "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
               {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml"))},
               {"xl/worksheets/sheet1.xml",
                std::string(decl) +
                    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
                    "</worksheet>"}});
    vex::xml_document_t doc;
    doc.load((dir / "in.xlsx").c_str(), false);
    vex::worksheet_t* sheet = doc.workbook()->sheet_at(0);
    ASSERT_NE(sheet, nullptr);
    ASSERT_NE(sheet->worktable(), nullptr);  // made by the load
    EXPECT_EQ(sheet->worktable()->name(), "Data");
    // The package has no styles part: the post-load step made one.
    const auto& children = doc.workbook_part()->get_child_parts();
    EXPECT_TRUE(std::any_of(children.begin(), children.end(),
                            [](const auto& c) { return c->kind() == vex::part_kind_enum::workbook_styles_part; }));
    const unsigned grid = grid_of(doc, *sheet);
    ASSERT_NE(grid, 1u);
    EXPECT_EQ(sheet_name(doc, grid), "Data");
    EXPECT_EQ(sheet_name(doc, 1), "");
}

TEST(xml_document, refuses_what_is_not_a_package) {
    scratch_dir dir;
    std::ofstream(dir / "text.xlsx") << "plain text";
    std::ofstream(dir / "empty.xlsx");
    write_zip(dir / "odf.xlsx", {{"content.xml", "<x/>"}});
    for (const std::string name : {"text.xlsx", "empty.xlsx", "odf.xlsx", "missing.xlsx"})
        EXPECT_EQ(load_failure(dir / name), "Unrecognized file type: " + (dir / name)) << name;
}

TEST(xml_document, structural_faults_name_the_fault) {
    const std::string ct = types(override_of("xl/workbook.xml", workbook_type));
    const std::string core = rel("rId1", "http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                                         "core-properties", "docProps/core.xml");
    const std::string main = rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml");
    const std::string sheet = rels(rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml"));
    const struct {
        const char* name;
        entries_t entries;
        std::string message;
    } cases[] = {
        {"types only at the end of a longer name", {{"x[Content_Types].xml", ct}}, "no content types in data file."},
        {"no package relationships", {{"[Content_Types].xml", ct}}, "Missing main relationship file."},
        {"no main part", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(core)}}, "Missing main part in file."},
        {"missing sheet",
         {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)}, {"xl/workbook.xml", workbook_xml},
          {"xl/_rels/workbook.xml.rels", sheet}},
         "The corresponding file in the relationship file{0} cannot be found: worksheets/sheet1.xml"},
        {"default type of another kind", {{"[Content_Types].xml", types("")}, {"_rels/.rels", rels(main)},
                                          {"xl/workbook.xml", workbook_xml}},
         "The content type of xl/workbook.xml does not match: application/xml"},
        {"no content type",
         {{"[Content_Types].xml", ct},
          {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.bin"))},
          {"xl/workbook.bin", workbook_xml}},
         "Cannot find the content type of xl/workbook.bin"},
        {"nesting too deep", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)},
                              {"xl/workbook.xml", nested(257)}},
         "load error: The XML of xl/workbook.xml nests deeper than 256 elements. ---at: xl/workbook.xml"},
        {"nesting at the limit", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)},
                                  {"xl/workbook.xml", nested(256)}},
         ""},
        {"bytes that are no UTF-8", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)},
                                     {"xl/workbook.xml", std::string(decl) + "<workbook>caf\xE9</workbook>"}},
         "invalid UTF-8 in xl/workbook.xml at offset 69"},
        {"a character XML forbids", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)},
                                     {"xl/workbook.xml", std::string(decl) + "<workbook>\x1B</workbook>"}},
         "character U+001B not allowed in xl/workbook.xml at offset 66"},
        {"unclosed element", {{"[Content_Types].xml", ct}, {"_rels/.rels", rels(main)},
                              {"xl/workbook.xml", std::string(decl) + "<workbook>"}},
         "@incomplete"},
    };
    for (const auto& c : cases) {
        scratch_dir dir;
        write_zip(dir / "p.xlsx", c.entries);
        const std::string got = load_failure(dir / "p.xlsx");
        if (c.message == "@incomplete")
            EXPECT_NE(got.find("incomplete xml text"), std::string::npos) << c.name << ": " << got;
        else if (c.message.empty())
            EXPECT_EQ(got, "") << c.name;
        else  // a handler's error comes back with where the parser was
            EXPECT_EQ(got.substr(0, c.message.size()), c.message) << c.name;
    }
}

// Some producers bind the main namespace to x: and others to their own
// prefixes: the package reads as one written with the usual ones.
TEST(xml_document, any_prefix_of_a_namespace_loads_like_the_usual_one) {
    const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string ct_ns = "http://schemas.openxmlformats.org/package/2006/content-types";
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    const auto package = [&](bool prefixed) {
        const std::string x = prefixed ? "x:" : "", p = prefixed ? "p:" : "", c = prefixed ? "c:" : "";
        const std::string r = prefixed ? "rel:" : "r:";
        const auto bind = [&](const std::string& prefix, const std::string& uri) {
            return " xmlns" + (prefix.empty() ? "" : ":" + prefix.substr(0, prefix.size() - 1)) + "=\"" + uri + "\"";
        };
        const auto relationships = [&](const std::string& type, const std::string& target) {
            return std::string(decl) + "<" + p + "Relationships" + bind(p, pr) + "><" + p + "Relationship Id=\"rId1\" Type=\"" +
                   od + type + "\" Target=\"" + target + "\"/></" + p + "Relationships>";
        };
        return entries_t{
            {"[Content_Types].xml",
             std::string(decl) + "<" + c + "Types" + bind(c, ct_ns) + "><" + c +
                 "Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><" +
                 c + "Override PartName=\"/xl/workbook.xml\" ContentType=\"" + workbook_type + "\"/><" + c +
                 "Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + sheet_type + "\"/></" + c + "Types>"},
            {"_rels/.rels", relationships("officeDocument", "xl/workbook.xml")},
            {"xl/workbook.xml", std::string(decl) + "<" + x + "workbook" + bind(x, main_ns) +
                                    bind(r, std::string(od).substr(0, std::string(od).size() - 1)) + "><" + x +
                                    "sheets><" + x + "sheet name=\"Data\" sheetId=\"1\" " + r + "id=\"rId1\"/></" + x +
                                    "sheets></" + x + "workbook>"},
            {"xl/_rels/workbook.xml.rels", relationships("worksheet", "worksheets/sheet1.xml")},
            {"xl/worksheets/sheet1.xml",
             std::string(decl) + "<" + x + "worksheet" + bind(x, main_ns) + "><" + x + "sheetData/></" + x + "worksheet>"},
        };
    };
    for (bool prefixed : {false, true}) {
        scratch_dir dir;
        write_zip(dir / "p.xlsx", package(prefixed));
        vex::xml_document_t doc;
        ASSERT_NO_THROW(doc.load((dir / "p.xlsx").c_str(), false)) << prefixed;
        const vex::workbook_t* book = doc.workbook();
        ASSERT_NE(book, nullptr);
        ASSERT_EQ(book->sheet_count(), 1u) << prefixed;
        EXPECT_EQ(book->sheet_name(0), "Data");
        EXPECT_EQ(book->sheets()[0].relationship_id, "rId1");
        EXPECT_NE(book->sheet_at(0), nullptr);
    }
}

// The shared-strings part is read as it streams by, with usual prefixes and
// CDATA read as text; no tree or bytes are kept.
TEST(xml_document, shared_strings_are_read_on_load) {
    const std::string sst_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
    const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    scratch_dir dir;
    write_zip(dir / "p.xlsx",
              {{"[Content_Types].xml", types(override_of("xl/workbook.xml", workbook_type) +
                                             override_of("xl/sharedStrings.xml", sst_type))},
               {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
               {"xl/workbook.xml", workbook_xml},
               {"xl/_rels/workbook.xml.rels", rels(rel("rId1", std::string(od) + "sharedStrings", "sharedStrings.xml"))},
               {"xl/sharedStrings.xml", "\xEF\xBB\xBF" + std::string(decl) + "<x:sst xmlns:x=\"" + main_ns +
                                            "\"><x:si><x:t>a &amp; b</x:t></x:si><x:si><x:t><![CDATA[<c>]]></x:t></x:si>"
                                            "</x:sst>\n"}});
    vex::xml_document_t doc;
    ASSERT_NO_THROW(doc.load((dir / "p.xlsx").c_str(), false));
    const vex::xml_part_t* strings = nullptr;
    for (const auto& child : doc.workbook_part()->get_child_parts())
        if (child->kind() == vex::part_kind_enum::shared_string_table_part) strings = child.get();
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(strings->get_kept_tree(), nullptr);
    vex::shared_string_table_t* table = doc.workbook()->shared_strings();
    ASSERT_NE(table, nullptr);
    vex::mta::string_pool_t pool;
    table->intern_loaded(pool);
    EXPECT_EQ(pool.string_at(table->lookup_loaded_index(0)), "a & b");
    EXPECT_EQ(pool.string_at(table->lookup_loaded_index(1)), "<c>");
}

TEST(xml_document, new_package_has_workbook_styles_and_strings) {
    vex::xml_document_t doc;
    ASSERT_TRUE(doc.create_package());
    ASSERT_EQ(doc.package_root().size(), 1u);
    vex::xml_part_t* book = doc.workbook_part();
    ASSERT_NE(book, nullptr);
    EXPECT_EQ(book->get_child_parts().size(), 2u);
    EXPECT_EQ(book->get_child_parts()[0]->kind(), vex::part_kind_enum::shared_string_table_part);
    EXPECT_EQ(book->get_child_parts()[1]->kind(), vex::part_kind_enum::workbook_styles_part);
    for (const auto& child : book->get_child_parts()) {
        EXPECT_EQ(child->get_document(), &doc);
        ASSERT_NE(child->get_component(), nullptr);
        EXPECT_EQ(child->get_component()->get_document(), &doc);
    }
    EXPECT_NE(doc.workbook()->shared_strings(), nullptr);
    EXPECT_EQ(doc.reference_mode(), 3u);
    std::string name = "stale";
    doc.sheet_name(name, 7);
    EXPECT_EQ(name, "");
}

TEST(xml_document, saves_only_the_package_format) {
    scratch_dir dir;
    vex::xml_document_t doc;
    const stand_in_writers writers(doc);
    doc.create_package();
    doc.save((dir / "one.xlsx").c_str(), 1);
    doc.save((dir / "three.xlsx").c_str(), 3);
    EXPECT_TRUE(dir.files().empty());
    doc.save((dir / "two.xlsx").c_str(), 2);
    EXPECT_EQ(doc.format_code(), 0u);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"two.xlsx"});
}

TEST(xml_document, the_workbook_knows_its_path_after_a_load_and_a_save) {
    scratch_dir dir;
    write_zip(dir / "made.xlsx", round_trip_test::package_of({}));
    vex::xml_document_t doc;
    doc.load((dir / "made.xlsx").c_str(), false);
    EXPECT_EQ(doc.workbook()->document_path(), dir / "made.xlsx");
    doc.save((dir / "renamed.xlsx").c_str(), 2);
    EXPECT_EQ(doc.workbook()->document_path(), dir / "renamed.xlsx");
}
