// Packages that once failed to load: parts whose content type no model reads
// (embedded objects and documents, ActiveX controls), content types named in
// another letter case, zip64 records. Each loads, saves with those parts byte
// for byte under their content types and relationships, and the copy loads
// again.

#include "plover.h"
#include "tests/kestrel/document/package_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"
#include "tests/kestrel/xml/xl_xml/writers/clients_support.h"
#include "tests/zip64_support.h"

#include "text_utils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace package_test;

namespace {

const std::string ms_rels = "http://schemas.microsoft.com/office/2006/relationships/";
const std::string ole_type = "application/vnd.openxmlformats-officedocument.oleObject";
const std::string docx_type = "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
const std::string activex_type = "application/vnd.ms-office.activeX+xml";
const std::string activex_bin_type = "application/vnd.ms-office.activeX";

// Bytes no reader could take for XML, NULs among them.
std::string binary(const std::string& tag) { return std::string("\xD0\xCF\x11\xE0\0\x01\xFF", 7) + tag + '\0'; }

const std::string ole_bytes = binary("ole object");
const std::string docx_bytes = "PK\x03\x04" + binary("a document package");
const std::string activex_xml = std::string(decl) +
                                "<ax:ocx xmlns:ax=\"http://schemas.microsoft.com/office/2006/activeX\" "
                                "xmlns:r=\"" + reader_test::rel_ns + "\" ax:classid=\"{8BD21D40-EC42-11CE-9E0D-00AA006002F3}\" "
                                "ax:persistence=\"persistStreamInit\" r:id=\"rId1\"/>";
const std::string activex_bin = binary("control state");

const std::string icon_bytes = std::string("\x01\0\0\0", 4) + binary("an icon");

// One sheet with an OLE object (with its icon), an embedded document and an
// ActiveX control whose state is a part of its own, named by Ids out of order.
entries_t embedding_package() {
    const std::string sheet_rels = rel("rId7", std::string(od) + "oleObject", "../embeddings/oleObject1.bin") +
                                   rel("rId4", std::string(od) + "package", "../embeddings/Document1.docx") +
                                   rel("rId9", std::string(od) + "control", "../activeX/activeX1.xml") +
                                   rel("rId2", std::string(od) + "image", "../media/image1.emf");
    const std::string body = "<sheetData/>"
                             "<oleObjects><oleObject progId=\"Package\" shapeId=\"1025\" r:id=\"rId7\">"
                             "<objectPr defaultSize=\"0\" r:id=\"rId2\"><anchor moveWithCells=\"1\"/></objectPr>"
                             "</oleObject>"
                             "<oleObject progId=\"Word.Document.12\" shapeId=\"1026\" r:id=\"rId4\"/></oleObjects>"
                             "<controls><control shapeId=\"1027\" r:id=\"rId9\" name=\"CheckBox1\"/></controls>";
    const std::string types = "<Default Extension=\"bin\" ContentType=\"" + ole_type + "\"/>" +
                              "<Default Extension=\"docx\" ContentType=\"" + docx_type + "\"/>" +
                              "<Default Extension=\"emf\" ContentType=\"image/x-emf\"/>" +
                              override_of("xl/activeX/activeX1.xml", activex_type) +
                              override_of("xl/activeX/activeX1.bin", activex_bin_type);
    return reader_test::sheet_package_with(
        body, sheet_rels,
        {{"xl/embeddings/oleObject1.bin", ole_bytes},
         {"xl/embeddings/Document1.docx", docx_bytes},
         {"xl/media/image1.emf", icon_bytes},
         {"xl/activeX/activeX1.xml", activex_xml},
         {"xl/activeX/_rels/activeX1.xml.rels", rels(rel("rId1", ms_rels + "activeXControlBinary", "activeX1.bin"))},
         {"xl/activeX/activeX1.bin", activex_bin}},
        types);
}

// The attribute value after `name="` in the element that starts at at.
std::string attribute_at(const std::string& text, size_t at, const std::string& name) {
    const size_t end = text.find('>', at);
    const size_t p = text.find(" " + name + "=\"", at);
    if (p == std::string::npos || p > end) return {};
    const size_t from = p + name.size() + 3;
    return text.substr(from, text.find('"', from) - from);
}

struct relationship_t {
    std::string id, type, entry;  // entry: the target resolved from the part
};

// The relationships of the part at entry, as the copy lists them.
std::vector<relationship_t> relationships_of(const entries_t& package, const std::string& entry) {
    const fs::path part(entry);
    const std::string text =
        find(package, (part.parent_path() / "_rels" / (part.filename().string() + ".rels")).string());
    std::vector<relationship_t> out;
    for (size_t at = text.find("<Relationship "); at != std::string::npos; at = text.find("<Relationship ", at + 1))
        out.push_back({attribute_at(text, at, "Id"), attribute_at(text, at, "Type"),
                       (part.parent_path() / attribute_at(text, at, "Target")).lexically_normal().string()});
    return out;
}

relationship_t only_of_type(const entries_t& package, const std::string& entry, const std::string& type) {
    std::vector<relationship_t> found;
    for (const relationship_t& r : relationships_of(package, entry))
        if (r.type == type) found.push_back(r);
    EXPECT_EQ(found.size(), 1u) << entry << " " << type;
    return found.empty() ? relationship_t{} : found.front();
}

// The content type a package gives an entry: its Override, else the Default of
// its extension, both without regard to ASCII case as the packaging rules read them.
std::string content_type_of(const entries_t& package, const std::string& entry) {
    const std::string types = find(package, "[Content_Types].xml");
    const std::string folded = vex::ascii_lower(types);
    const auto type_at = [&](const std::string& key) -> std::string {
        const size_t at = folded.find(vex::ascii_lower(key));
        if (at == std::string::npos) return "(none)";
        return attribute_at(types, types.rfind('<', at), "ContentType");
    };
    if (std::string t = type_at("PartName=\"/" + entry + "\""); t != "(none)") return t;
    return type_at("Extension=\"" + fs::path(entry).extension().string().substr(1) + "\"");
}

struct copy_t {
    std::string loaded;  // the load's message, empty when it loaded
    std::string saved;   // likewise for the save
    std::string reloaded;
    entries_t copy;
};

// The package as the zip wrapper writes it, or as bytes given.
copy_t load_save_reload(const entries_t& package, const std::string& bytes = {}) {
    scratch_dir dir;
    copy_t out;
    if (bytes.empty())
        write_zip(dir / "in.xlsx", package);
    else
        std::ofstream(dir / "in.xlsx", std::ios::binary) << bytes;
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    if (!doc) {
        out.loaded = run_msg();
        return out;
    }
    if (!doc_save(doc, (dir / "out.xlsx").c_str())) out.saved = run_msg();
    doc_release(doc);
    if (!out.saved.empty()) return out;
    out.copy = read_zip(dir / "out.xlsx");
    doc = doc_load((dir / "out.xlsx").c_str());
    if (!doc) out.reloaded = run_msg();
    doc_release(doc);
    return out;
}

const std::string sheet_entry = "xl/worksheets/sheet1.xml";

} // namespace

// Once refused whole: "Content type: application/vnd...oleObject error.".
TEST(embedded_parts, objects_documents_and_controls_are_kept_byte_for_byte) {
    const copy_t c = load_save_reload(embedding_package());
    ASSERT_EQ(c.loaded, "");
    ASSERT_EQ(c.saved, "");
    EXPECT_EQ(c.reloaded, "");
    const struct {
        std::string relationship;  // from the sheet
        std::string bytes, type;
        std::string named_by;  // the sheet's element that names it, up to its r:id
    } kept[] = {
        {std::string(od) + "oleObject", ole_bytes, ole_type, "<oleObject progId=\"Package\" shapeId=\"1025\" r:id="},
        {std::string(od) + "package", docx_bytes, docx_type, "<oleObject progId=\"Word.Document.12\" shapeId=\"1026\" r:id="},
        {std::string(od) + "control", activex_xml, activex_type, "<control shapeId=\"1027\" r:id="},
        {std::string(od) + "image", icon_bytes, "image/x-emf", "<objectPr defaultSize=\"0\" r:id="},
    };
    const std::string sheet = find(c.copy, sheet_entry);
    for (const auto& k : kept) {
        const relationship_t r = only_of_type(c.copy, sheet_entry, k.relationship);
        EXPECT_EQ(find(c.copy, r.entry), k.bytes) << r.entry;
        EXPECT_EQ(content_type_of(c.copy, r.entry), k.type) << r.entry;
        // The sheet still names the part, by the Id its relationship has now.
        EXPECT_NE(sheet.find(k.named_by + "\"" + r.id + "\""), std::string::npos) << r.id << "\n" << sheet;
    }
    // The icon stays the object's: the sheet gets no background.
    EXPECT_EQ(sheet.find("<picture"), std::string::npos) << sheet;
    // The control's own part, under the control.
    const relationship_t control = only_of_type(c.copy, sheet_entry, std::string(od) + "control");
    const relationship_t state = only_of_type(c.copy, control.entry, ms_rels + "activeXControlBinary");
    EXPECT_EQ(state.id, "rId1");  // as the control's kept bytes name it
    EXPECT_EQ(find(c.copy, state.entry), activex_bin);
    EXPECT_EQ(content_type_of(c.copy, state.entry), activex_bin_type);
    EXPECT_NE(sheet.find("<oleObjects>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<controls>"), std::string::npos) << sheet;
}

// Once "Cannot find the content type of xl/media/image1.PNG" and "The content
// type of xl/worksheets/sheet1.xml does not match".
TEST(embedded_parts, part_names_and_extensions_match_in_any_letter_case) {
    const std::string png_rel = std::string(od) + "image";
    const struct {
        const char* what;
        std::string from, to;  // a replacement in "[Content_Types].xml"
    } cases[] = {
        {"override", "PartName=\"/xl/worksheets/sheet1.xml\"", "PartName=\"/XL/Worksheets/Sheet1.xml\""},
        {"override of the workbook", "PartName=\"/xl/workbook.xml\"", "PartName=\"/Xl/WORKBOOK.XML\""},
        {"default", "Extension=\"png\"", "Extension=\"PnG\""},
        {"none", "", ""},
    };
    for (const auto& k : cases) {
        entries_t p = reader_test::sheet_package_with(
            "<sheetData/><picture r:id=\"rId1\"/>", rel("rId1", png_rel, "../media/image1.PNG"),
            {{"xl/media/image1.PNG", red_png}}, "<Default Extension=\"png\" ContentType=\"image/png\"/>");
        for (auto& [name, bytes] : p)
            if (name == "[Content_Types].xml" && !k.from.empty()) bytes.replace(bytes.find(k.from), k.from.size(), k.to);
        const copy_t c = load_save_reload(p);
        ASSERT_EQ(c.loaded, "") << k.what;
        ASSERT_EQ(c.saved, "") << k.what;
        EXPECT_EQ(c.reloaded, "") << k.what;
        const relationship_t picture = only_of_type(c.copy, sheet_entry, png_rel);
        EXPECT_NE(find(c.copy, sheet_entry).find("<picture r:id=\"" + picture.id + "\"/>"), std::string::npos) << k.what;
        EXPECT_EQ(find(c.copy, picture.entry), red_png) << k.what;
        EXPECT_EQ(content_type_of(c.copy, picture.entry), "image/png") << k.what;
        EXPECT_EQ(content_type_of(c.copy, sheet_entry),
                  "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml")
            << k.what;
    }
}

// openpyxl opens the copy and finds the sheet. (The real_clients suite has a
// fixture of its own in another file: this suite also runs with the clients.)
TEST(openpyxl_load, a_copy_with_embedded_parts) {
    scratch_dir dir;
    write_zip(dir / "in.xlsx", embedding_package());
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ASSERT_TRUE(doc_save(doc, (dir / "out.xlsx").c_str())) << run_msg();
    doc_release(doc);
    const std::string script = "import sys, zipfile, openpyxl\n"
                               "wb = openpyxl.load_workbook(sys.argv[1])\n"
                               "assert wb.sheetnames == ['Data'], wb.sheetnames\n"
                               "names = zipfile.ZipFile(sys.argv[1]).namelist()\n"
                               "assert any(n.endswith('.docx') for n in names), names\n";
    EXPECT_EQ(writer_test::run_python_file(dir, script, {dir / "out.xlsx"}), 0);
}

// Once "can not open file in zip: [Content_Types].xml".
TEST(zip64_packages, packages_in_zip64_records_load_and_save) {
    const auto entries_of = [](const entries_t& package, int fillers) {
        std::vector<zip64_test::entry_t> out;
        for (const auto& [name, bytes] : package) out.push_back({name, bytes, name.ends_with(".xml")});
        for (int i = 0; i < fillers; ++i) out.push_back({"filler/" + std::to_string(i), ""});
        return out;
    };
    const entries_t package = reader_test::sheet_package("<sheetData><row r=\"1\"><c r=\"A1\"><v>42</v></c></row></sheetData>");
    const struct {
        const char* what;
        zip64_test::layout_t how;
        int fillers;
    } cases[] = {
        {"sizes", {true, false, false}, 0},
        {"offsets", {false, true, false}, 0},
        {"all, with the zip64 end records", {true, true, true}, 0},
        {"100,018 entries", {true, true, true}, 100018 - int(package.size())},
    };
    for (const auto& k : cases) {
        const copy_t c = load_save_reload({}, zip64_test::build(entries_of(package, k.fillers), k.how));
        ASSERT_EQ(c.loaded, "") << k.what;
        ASSERT_EQ(c.saved, "") << k.what;
        EXPECT_EQ(c.reloaded, "") << k.what;
        EXPECT_NE(find(c.copy, sheet_entry).find("<v>42</v>"), std::string::npos) << k.what;
    }
    // The bound on a part holds for the size its zip64 field declares.
    std::vector<zip64_test::entry_t> large = entries_of(package, 0);
    for (auto& e : large)
        if (e.name == sheet_entry) e.declared_size = 3ull << 30;
    EXPECT_EQ(load_save_reload({}, zip64_test::build(large, {true, true, false})).loaded,
              "load error: The entry xl/worksheets/sheet1.xml is too large.");
}
