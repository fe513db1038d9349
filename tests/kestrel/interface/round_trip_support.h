#pragma once
// Round trips of settings: a crafted package (or a new book) edited by a host
// script through the exported functions, saved, then loaded and saved twice
// more. A row names what each saved copy must hold and what it must not.
#include "plover.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace round_trip_test {

using package_test::entries_t;
using host_t = std::function<void(plover_workbook_t*)>;

inline const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const std::string r_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
inline const std::string book_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

// A package of one workbook and its sheets (each sheet's body, its rels);
// `book_body` replaces the sheet list, `book_root` adds to the root's attributes.
struct crafted_t {
    std::vector<std::pair<std::string, std::string>> sheets = {{"<sheetData/>", ""}};
    std::string book_body = {};
    std::string book_root = {};
    entries_t extra = {};  // added as they are, with their overrides in extra_types
    std::string extra_types = {};
};

// One sheet of that body and relationships, with extra entries.
inline crafted_t one_sheet(const std::string& body, const std::string& rels = "", const entries_t& extra = {},
                           const std::string& types = "") {
    crafted_t c;
    c.sheets = {{body, rels}};
    c.extra = extra;
    c.extra_types = types;
    return c;
}

inline entries_t package_of(const crafted_t& c) {
    using namespace package_test;
    std::string overrides = override_of("xl/workbook.xml", book_type);
    std::string book_rels, sheet_list;
    for (size_t i = 0; i < c.sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        overrides += override_of("xl/worksheets/sheet" + n + ".xml", sheet_type);
        book_rels += rel("rId" + n, std::string(od) + "worksheet", "worksheets/sheet" + n + ".xml");
        sheet_list += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    }
    entries_t e = {
        {"[Content_Types].xml", types(overrides + c.extra_types)},
        {"_rels/.rels", rels(rel("rId1", std::string(od) + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", std::string(decl) + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + r_ns + "\"" +
                                c.book_root + ">" +
                                (c.book_body.empty() ? "<sheets>" + sheet_list + "</sheets>" : c.book_body) +
                                "</workbook>"},
        {"xl/_rels/workbook.xml.rels", rels(book_rels)},
    };
    for (size_t i = 0; i < c.sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        e.push_back({"xl/worksheets/sheet" + n + ".xml",
                     std::string(decl) + "<worksheet xmlns=\"" + main_ns + "\" xmlns:r=\"" + r_ns + "\">" +
                         c.sheets[i].first + "</worksheet>"});
        if (!c.sheets[i].second.empty())
            e.push_back({"xl/worksheets/_rels/sheet" + n + ".xml.rels", rels(c.sheets[i].second)});
    }
    e.insert(e.end(), c.extra.begin(), c.extra.end());
    return e;
}

struct saves_t {
    entries_t first, second, third;
    std::string message;  // of the first step that failed, else empty
};

// Loads the package (a new book with one sheet when empty), lets the host edit
// it and saves; then loads each copy and saves it again, twice, handing every
// loaded copy to check.
inline saves_t three_saves(const entries_t& package, const host_t& host, const host_t& check = {}) {
    using namespace package_test;
    scratch_dir dir;
    saves_t out;
    plover_document_t* doc = nullptr;
    if (package.empty()) {
        doc = doc_create();
        if (doc) wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    } else {
        write_zip(dir / "in.xlsx", package);
        doc = doc_load((dir / "in.xlsx").c_str());
    }
    entries_t* copies[] = {&out.first, &out.second, &out.third};
    for (int i = 0; i < 3; ++i) {
        if (!doc) {
            out.message = "load " + std::to_string(i) + ": " + run_msg();
            return out;
        }
        if (i == 0 && host) host(doc_get_workbook(doc));
        if (i > 0 && check) check(doc_get_workbook(doc));
        const std::string path = dir / ("save" + std::to_string(i + 1) + ".xlsx");
        const bool saved = doc_save(doc, path.c_str()) == 1;
        if (!saved) out.message = "save " + std::to_string(i + 1) + ": " + run_msg();
        doc_release(doc);
        if (!saved) return out;
        *copies[i] = read_zip(path);
        doc = i < 2 ? doc_load(path.c_str()) : nullptr;
    }
    return out;
}

// The sheets, workbook and styles entries of the second and third saves are
// byte for byte the same.
inline void expect_stable(const saves_t& s, const std::string& row) {
    for (const auto& [name, bytes] : s.third) {
        if (!(name.starts_with("xl/worksheets/sheet") || name == "xl/workbook.xml" || name == "xl/styles.xml"))
            continue;
        EXPECT_EQ(package_test::find(s.second, name), bytes) << row << ": " << name;
    }
}

// An element kept as read is written with an end tag even when empty: the
// same element as "<a/>".
// (No std::regex: GCC 12 warns inside it at -O1 under the sanitizers.)
inline std::string empty_tags_closed(const std::string& xml) {
    std::string out;
    out.reserve(xml.size());
    size_t i = 0;
    while (i < xml.size()) {
        const size_t close = xml.find("></", i);
        if (close == std::string::npos) break;
        const size_t open = xml.rfind('<', close);
        const size_t name_end = xml.find_first_of(" \t\r\n>", open + 1);
        const std::string_view name(xml.data() + open + 1, name_end - open - 1);
        const size_t after = close + 3 + name.size();
        const bool start_tag = open != std::string::npos && open >= i && xml[open + 1] != '/' && xml[open + 1] != '?' &&
                               xml.compare(close + 3, name.size(), name) == 0 && after < xml.size() && xml[after] == '>';
        if (!start_tag) {
            out.append(xml, i, close + 1 - i);
            i = close + 1;
            continue;
        }
        out.append(xml, i, close - i).append("/>");
        i = after + 1;
    }
    return out.append(xml, i);
}

// Each text is in the entry of the first and third saves, each of `gone` in neither.
inline void expect_entry(const saves_t& s, const std::string& entry, const std::vector<std::string>& kept,
                         const std::vector<std::string>& gone, const std::string& row) {
    for (const entries_t* copy : {&s.first, &s.third}) {
        const std::string text = empty_tags_closed(package_test::find(*copy, entry));
        for (const std::string& k : kept) EXPECT_NE(text.find(k), std::string::npos) << row << ": " << k << "\n" << text;
        for (const std::string& g : gone) EXPECT_EQ(text.find(g), std::string::npos) << row << ": " << g << "\n" << text;
    }
}

} // namespace round_trip_test
