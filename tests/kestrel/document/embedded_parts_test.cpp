// Packages once refused: parts of a type no model reads, content types in
// another letter case, zip64 records. Each loads, saves, and the copy loads.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"
#include "tests/zip64_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace package_test;

namespace {

const std::string ole_bytes("\xD0\xCF\x11\xE0\0ole", 8);
const std::string sheet_entry = "xl/worksheets/sheet1.xml";

// As the copy must list them too.
const std::string oxml = "application/vnd.openxmlformats-officedocument.";
const std::vector<std::string> embedded_types = {
    "<Default Extension=\"bin\" ContentType=\"" + oxml + "oleObject\"/>",
    "<Default Extension=\"docx\" ContentType=\"" + oxml + "wordprocessingml.document\"/>",
    "<Default Extension=\"emf\" ContentType=\"image/x-emf\"/>",
    override_of("xl/activeX/activeX1.xml", "application/vnd.ms-office.activeX+xml"),
    override_of("xl/activeX/activeX1.bin", "application/vnd.ms-office.activeX")};

// A sheet with an OLE object and its icon, an embedded document and an ActiveX
// control with a state part of its own, named by Ids out of order.
const entries_t embedded_parts = {
    {"xl/embeddings/oleObject1.bin", ole_bytes},
    {"xl/embeddings/Document1.docx", std::string("PK\x03\x04\0docx", 9)},
    {"xl/media/image1.emf", std::string("\x01\0\0\0icon", 8)},
    {"xl/activeX/activeX1.xml", "<ax:ocx xmlns:ax=\"http://schemas.microsoft.com/office/2006/activeX\" "
                                "xmlns:r=\"" + std::string(reader_test::rel_ns) + "\" r:id=\"rId1\"/>"},
    {"xl/activeX/_rels/activeX1.xml.rels",
     rels(rel("rId1", "http://schemas.microsoft.com/office/2006/relationships/activeXControlBinary", "activeX1.bin"))},
    {"xl/activeX/activeX1.bin", std::string("\0state", 6)}};

entries_t embedding_package() {
    std::string types;
    for (const std::string& t : embedded_types) types += t;
    return reader_test::sheet_package_with(
        "<sheetData/><oleObjects><oleObject progId=\"Package\" r:id=\"rId7\"><objectPr r:id=\"rId2\"/></oleObject>"
        "<oleObject progId=\"Word\" r:id=\"rId4\"/></oleObjects><controls><control r:id=\"rId9\"/></controls>",
        rel("rId7", std::string(od) + "oleObject", "../embeddings/oleObject1.bin") +
            rel("rId4", std::string(od) + "package", "../embeddings/Document1.docx") +
            rel("rId9", std::string(od) + "control", "../activeX/activeX1.xml") +
            rel("rId2", std::string(od) + "image", "../media/image1.emf"),
        embedded_parts, types);
}

struct copy_t {
    std::string message;  // of the step that failed
    entries_t copy;
};

// The package, or the zip given as its bytes.
copy_t load_save_reload(const entries_t& package, const std::string& zip = {}) {
    scratch_dir dir;
    if (zip.empty()) write_zip(dir / "in.xlsx", package);
    std::ofstream(dir / "in.xlsx", std::ios::binary | std::ios::app) << zip;
    copy_t out;
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    if (doc && doc_save(doc, (dir / "out.xlsx").c_str())) {
        doc_release(doc);
        out.copy = read_zip(dir / "out.xlsx");
        doc = doc_load((dir / "out.xlsx").c_str());
    }
    if (!doc) out.message = run_msg();
    doc_release(doc);
    return out;
}

// The target of the sheet's relationship the element starting so names.
std::string target_named_by(const entries_t& copy, const std::string& element) {
    const std::string sheet = find(copy, sheet_entry), rels = find(copy, "xl/worksheets/_rels/sheet1.xml.rels");
    const size_t e = sheet.find(element), id = sheet.find(" r:id=", e) + 6;
    const size_t r = e == std::string::npos ? e : rels.find("Id=" + sheet.substr(id, sheet.find('"', id + 1) - id + 1));
    const size_t t = rels.find("Target=\"", r) + 8;
    return r == std::string::npos ? "(none)" : rels.substr(t, rels.find('"', t) - t);
}

} // namespace

// Once refused whole: "Content type: ...oleObject error.".
TEST(embedded_parts, objects_documents_and_controls_are_kept_byte_for_byte) {
    const copy_t c = load_save_reload(embedding_package());
    ASSERT_EQ(c.message, "");
    for (const auto& [name, bytes] : embedded_parts) EXPECT_EQ(find(c.copy, name), bytes) << name;
    for (const std::string& t : embedded_types)
        EXPECT_NE(find(c.copy, "[Content_Types].xml").find(t), std::string::npos) << t;
    // The save renumbers the relationships: the kept sections follow.
    const std::pair<const char*, const char*> named[] = {
        {"<oleObject progId=\"Package\"", "../embeddings/oleObject1.bin"},
        {"<objectPr", "../media/image1.emf"},
        {"<oleObject progId=\"Word\"", "../embeddings/Document1.docx"},
        {"<control", "../activeX/activeX1.xml"}};
    for (const auto& [element, target] : named) EXPECT_EQ(target_named_by(c.copy, element), target) << element;
    // The object's icon is no sheet background.
    EXPECT_EQ(find(c.copy, sheet_entry).find("<picture"), std::string::npos);
}

// Once "Cannot find the content type of xl/media/image1.PNG" and "The content
// type of xl/worksheets/sheet1.xml does not match".
TEST(embedded_parts, part_names_and_extensions_match_in_any_letter_case) {
    for (const auto& [from, to] : {std::pair{"/xl/worksheets/sheet1.xml\"", "/XL/Worksheets/Sheet1.xml\""},
                                   std::pair{"Extension=\"png\"", "Extension=\"PnG\""}}) {
        entries_t p = reader_test::sheet_package_with(
            "<sheetData/><picture r:id=\"rId1\"/>", rel("rId1", std::string(od) + "image", "../media/image1.PNG"),
            {{"xl/media/image1.PNG", red_png}}, "<Default Extension=\"png\" ContentType=\"image/png\"/>");
        std::string& types = p[0].second;  // [Content_Types].xml
        types.replace(types.find(from), std::string(from).size(), to);
        const copy_t c = load_save_reload(p);
        EXPECT_EQ(c.message, "") << to;
        EXPECT_EQ(find(c.copy, "xl/media/image1.PNG"), red_png) << to;
    }
}

// Once "The content type of xl/worksheets/sä.xml does not match" or "The
// corresponding file ... cannot be found": escapes name the same part.
TEST(embedded_parts, part_names_match_with_their_escapes_decoded) {
    const struct {
        const char* entry;      // as the zip stores it
        const char* part_name;  // of its Override
        const char* target;     // of the workbook's relationship
        const char* refusal;    // empty: loads
    } rows[] = {
        {"xl/worksheets/s\xC3\xA4.xml", "/xl/worksheets/s%C3%A4.xml", "worksheets/s\xC3\xA4.xml", ""},
        {"xl/worksheets/s\xC3\xA4.xml", "/xl/worksheets/s\xC3\xA4.xml", "worksheets/s%c3%a4.xml", ""},
        {"xl/worksheets/s%C3%A4.xml", "/XL/Worksheets/S\xC3\xA4.xml", "Worksheets/S%C3%A4.xml", ""},
        {"xl/worksheets/a b.xml", "/xl/worksheets/a%20b.xml", "worksheets/a%20b.xml", ""},
        // An escaped slash makes no folder.
        {"xl/worksheets/a/b.xml", "/xl/worksheets/a/b.xml", "worksheets/a%2Fb.xml",
         "load error: The corresponding file in the relationship file{0} cannot be found: worksheets/a%2Fb.xml"},
    };
    for (const auto& r : rows) {
        entries_t p = reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c></row></sheetData>");
        for (auto& [name, bytes] : p) {
            const bool types = name == "[Content_Types].xml";
            const std::string from = types ? "/" + sheet_entry : "worksheets/sheet1.xml";
            if (const size_t at = bytes.find(from); at != std::string::npos)
                bytes.replace(at, from.size(), types ? r.part_name : r.target);
            if (name == sheet_entry) name = r.entry;
        }
        const copy_t c = load_save_reload(p);
        EXPECT_EQ(c.message, r.refusal) << r.entry;
        EXPECT_TRUE(*r.refusal || find(c.copy, sheet_entry).find("<v>7</v>") != std::string::npos) << r.entry;
    }
}

// Two kept parts whose extensions differ in case alone: one Default would
// serve both in any reader, so the second keeps its type by an Override.
TEST(embedded_parts, extensions_alike_but_for_case_keep_each_type) {
    const entries_t p = reader_test::sheet_package_with(
        "<sheetData/><oleObjects><oleObject progId=\"Package\" r:id=\"rId7\"/>"
        "<oleObject progId=\"Other\" r:id=\"rId8\"/></oleObjects>",
        rel("rId7", std::string(od) + "oleObject", "../embeddings/oleObject1.bin") +
            rel("rId8", std::string(od) + "package", "../embeddings/Other1.BIN"),
        {{"xl/embeddings/oleObject1.bin", ole_bytes}, {"xl/embeddings/Other1.BIN", "other"}},
        embedded_types[0] + override_of("xl/embeddings/Other1.BIN", "application/x-other"));
    const copy_t c = load_save_reload(p);
    ASSERT_EQ(c.message, "");
    const std::string types = find(c.copy, "[Content_Types].xml");
    EXPECT_EQ(types.find("Extension=\"BIN\""), std::string::npos) << types;
    EXPECT_NE(types.find(override_of("xl/embeddings/Other1.BIN", "application/x-other")), std::string::npos) << types;
}

TEST(openpyxl_load, a_copy_with_embedded_parts) {
    scratch_dir dir;
    write_zip(dir / "out.xlsx", load_save_reload(embedding_package()).copy);
    const std::string script = "import sys, openpyxl\n"
                               "assert openpyxl.load_workbook(sys.argv[1]).sheetnames == ['Data']\n";
    EXPECT_EQ(writer_test::run_python_file(dir, script, {dir / "out.xlsx"}), 0);
}

// Once "can not open file in zip: [Content_Types].xml"; the guards hold for
// what the zip64 fields declare.
TEST(zip64_packages, packages_in_zip64_records_load_and_save) {
    std::vector<zip64_test::entry_t> plain, large, shared, many;
    for (const auto& [name, bytes] : embedding_package()) plain.push_back({name, bytes});
    large = shared = many = plain;
    large[0].declared_size = 3ull << 30;
    shared.push_back({"xl/as_long_a_name__", plain[0].data, 0, 0});  // [Content_Types].xml's header
    for (int i = 0; many.size() < 100018; ++i) many.push_back({"filler/" + std::to_string(i), ""});
    // Once a crash (a held size near 2^64 wrapped the guard), or a short copy
    // saved that no longer loads; activeX1.bin of a type no table knows is kept.
    const std::string ole = "xl/embeddings/oleObject1.bin", kept = "xl/activeX/activeX1.bin";
    const std::string ends = "archive error: file in zip ends before its declared size: ";
    const auto lie = [&](const std::string& name, bool deflated, std::uint64_t held) {
        std::vector<zip64_test::entry_t> v = plain;
        for (auto& e : v) {
            if (e.name == name) e.deflated = deflated, e.held_size = held;
            if (e.name == "xl/activeX/_rels/activeX1.xml.rels") e.data.replace(e.data.find("Binary"), 6, "Blob");
        }
        return v;
    };
    const struct {
        std::vector<zip64_test::entry_t> entries;
        zip64_test::layout_t how;
        std::string message;
    } cases[] = {
        {plain, {true, false, false}, ""},
        {plain, {false, true, false}, ""},
        {many, {true, true, true}, ""},
        {large, {true, true, false}, "load error: The entry [Content_Types].xml is too large."},
        {shared, {true, true, false}, "archive error: zip entries overlap: [Content_Types].xml and xl/as_long_a_name__"},
        {lie(ole, false, ~0ull), {true}, ends + ole}, {lie(ole, false, ~0ull - 9), {true}, ends + ole},
        {lie(sheet_entry, true, ~0ull - 29), {true}, ends + sheet_entry}, {lie(kept, true, ~0ull - 99), {true}, ends + kept},
        {lie(ole, true, 5), {true}, ends + ole}, {lie(sheet_entry, true, 5), {true}, ends + sheet_entry},
        {lie(kept, true, 5), {true}, ends + kept}, {lie(ole, false, 5), {true}, ends + ole}, {lie(kept, false, 0), {true}, ends + kept},
        // The last entry held 500 bytes into the directory: once kept with them.
        {lie(kept, false, 6 + 500), {true}, "archive error: zip entries overlap: " + kept + " and the central directory"},
    };
    ASSERT_EQ(plain.back().name, kept);
    ASSERT_EQ(plain.back().data.size(), 6u);
    for (const auto& k : cases) {
        const copy_t c = load_save_reload({}, zip64_test::build(k.entries, k.how));
        EXPECT_EQ(c.message.substr(0, c.message.find(" /")), k.message) << &k - cases;  // without the path
        EXPECT_EQ(find(c.copy, "xl/embeddings/oleObject1.bin"), k.message.empty() ? ole_bytes : "<absent>");
    }
    // Once "Unrecognized file type": an archive whose directory lies past its end.
    std::string damaged = zip64_test::build(plain, {});
    damaged[damaged.size() - 3] = char(0xF0);
    const std::string got = load_save_reload({}, damaged).message;
    EXPECT_EQ(got.substr(0, got.find(" /")), "archive error: Can not open file:");
}

