#pragma once
// Feeds one part's XML to a component as the loader does: every node, then
// the end of the document.

#include "kestrel/core/components/component_base.h"
#include "kestrel/parts/usual_prefixes.h"
#include "xml/sxml_parser.h"

#include <string>

namespace reader_test {

inline void feed(vex::component_base_t& c, const std::string& xml) {
    vex::xml::sxml::sxml_parser parser(vex::xml::sxml::load_options);
    parser.set_usual_prefixes(vex::uri::usual_prefixes);
    size_t tail = 0;
    vex::xml::sxml::xml_node_t* cursor = nullptr;
    const auto handler = [&c](const vex::xml::sxml::xml_node_t* n) { return c.assign(n); };
    parser.parse("part", xml.data(), xml.size(), tail, cursor, handler);
    parser.parse("part", nullptr, 0, tail, cursor, handler);
}

inline constexpr const char* main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

} // namespace reader_test

#include "kestrel/document/xml_document.h"
#include "tests/kestrel/document/package_support.h"

namespace reader_test {

inline constexpr const char* rel_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A package of one sheet named "Data" with the given body (what goes inside
// worksheet), shared-strings items (none: no part) and workbook properties.
inline package_test::entries_t sheet_package(const std::string& body, const std::string* sst_items = nullptr,
                                             const std::string& workbook_pr = "", const std::string& more_types = "") {
    using namespace package_test;
    const std::string workbook_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    const std::string sst_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
    std::string overrides = override_of("xl/workbook.xml", workbook_type) +
                            override_of("xl/worksheets/sheet1.xml", sheet_type);
    std::string book_rels = rel("rId1", std::string(od) + "worksheet", "worksheets/sheet1.xml");
    entries_t e;
    if (sst_items) {
        overrides += override_of("xl/sharedStrings.xml", sst_type);
        book_rels += rel("rId2", std::string(od) + "sharedStrings", "sharedStrings.xml");
        e.push_back({"xl/sharedStrings.xml",
                     std::string(decl) + "<sst xmlns=\"" + main_ns + "\">" + *sst_items + "</sst>"});
    }
    e.push_back({"[Content_Types].xml", types(overrides + more_types)});
    e.push_back({"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))});
    e.push_back({"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + rel_ns +
                                        "\">" + workbook_pr +
                                        "<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"});
    e.push_back({"xl/_rels/workbook.xml.rels", rels(book_rels)});
    e.push_back({"xl/worksheets/sheet1.xml", std::string(decl) + "<worksheet xmlns=\"" + main_ns + "\" xmlns:r=\"" +
                                                 rel_ns + "\">" + body + "</worksheet>"});
    return e;
}

// The same sheet with parts of its own: its relationships and the entries,
// whose content types more_types gives.
inline package_test::entries_t sheet_package_with(const std::string& body, const std::string& sheet_rels,
                                                  const package_test::entries_t& parts, const std::string& more_types) {
    package_test::entries_t e = sheet_package(body, nullptr, "", more_types);
    e.push_back({"xl/worksheets/_rels/sheet1.xml.rels", package_test::rels(sheet_rels)});
    e.insert(e.end(), parts.begin(), parts.end());
    return e;
}

// The package with a styles part of its own (what goes inside styleSheet).
inline package_test::entries_t with_styles(package_test::entries_t p, const std::string& styles) {
    using namespace package_test;
    const std::string styles_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
    for (auto& [name, bytes] : p) {
        if (name == "[Content_Types].xml") bytes.insert(bytes.find("</Types>"), override_of("xl/styles.xml", styles_type));
        if (name == "xl/_rels/workbook.xml.rels")
            bytes.insert(bytes.find("</Relationships>"), rel("rIdS", std::string(od) + "styles", "styles.xml"));
    }
    p.push_back({"xl/styles.xml", std::string(decl) + "<styleSheet xmlns=\"" + main_ns + "\">" + styles + "</styleSheet>"});
    return p;
}

// Loads entries as a package; the load's failure text, or empty.
inline std::string load(vex::xml_document_t& doc, const package_test::entries_t& entries) {
    package_test::scratch_dir dir;
    package_test::write_zip(dir / "p.xlsx", entries);
    try {
        doc.load((dir / "p.xlsx").c_str(), false);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace reader_test
