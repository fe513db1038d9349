#pragma once
// Writer tests compare whole parts: a saved package is read back and each
// entry is split into its elements, so a failure names the element.

#include "tests/clients.h"
#include "tests/kestrel/document/package_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace writer_test {

// The markup split at each "><", with the layout between tags dropped.
inline std::vector<std::string> xml_elements(const std::string& text) {
    std::string flat;
    bool in_tag = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') in_tag = true;
        if (c == '>') in_tag = false;
        // Indentation of the expected text: a line break and the blanks after it.
        if (!in_tag && c == '\n') {
            while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
            continue;
        }
        flat += c;
    }
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = flat.find("><", start)) != std::string::npos; start = at + 1)
        out.push_back(flat.substr(start, at + 1 - start));
    out.push_back(flat.substr(start));
    return out;
}

// Runs a script (no single quotes in it) over a saved package with Debian's
// Python, which sees the packaged clients; its exit status, 0 when all held.
inline int run_python(const std::string& script, const std::string& path) {
    if (const std::string missing = test_clients::missing_for_script(script); !missing.empty()) {
        ADD_FAILURE() << test_clients::missing_text(missing);
        return -1;
    }
    const std::string command = "/usr/bin/python3 -c '" + script + "' '" + path + "'";
    return std::system(command.c_str());
}

// Python's zipfile checks every entry's CRC and an XML parse takes each XML one.
inline void expect_valid_package(const std::string& path) {
    const std::string script =
        "import sys, zipfile, xml.dom.minidom\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "for n in z.namelist():\n"
        "    if n.endswith((\".xml\", \".rels\", \".vml\")): xml.dom.minidom.parseString(z.read(n))\n";
    EXPECT_EQ(run_python(script, path), 0) << path;
}

} // namespace writer_test

namespace writer_test {

// What one part's writer writes, outside a save: the part gets a stream
// writer over a string and writes itself.
inline std::string write_part_text(vex::xml_part_t& part) {
    std::string out;
    part.create_xml_writer([&out](const char* data, unsigned size) { out.append(data, size); });
    part.create_output_handler(2);
    part.write();
    part.release_xml_writer();
    part.release_output_handler();
    return out;
}

// The workbook part's first child of a kind.
inline vex::xml_part_t* child_of_kind(vex::xml_part_t& parent, vex::part_kind_enum kind) {
    for (const auto& child : parent.get_child_parts())
        if (child->kind() == kind) return child.get();
    return nullptr;
}

} // namespace writer_test

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"

namespace writer_test {

// A sheet with its cell store, registered with the workbook's shared objects
// (strings, styles, names), as a host's first cell would make it.
inline vex::worksheet_t* add_sheet(vex::workbook_t& book, std::string_view name) {
    vex::worksheet_t* sheet = book.insert_worksheet(name, ~0ull);
    if (!sheet) return nullptr;
    vex::worktable_t* table = sheet->worktable() ? sheet->worktable() : sheet->create_worktable__(10, 10, {});
    if (table && !table->registered()) table->register_grid(book.sheets().back().sheet_id, book.get_part()->get_part_id());
    return sheet;
}

} // namespace writer_test

#include "kestrel/core/components/shared_string_table.h"
#include "mta/table/cell/string_pool.h"

namespace writer_test {

// The texts every stand-in sheet writes as string cells, in order.
inline std::vector<std::string>& sheet_texts() {
    static std::vector<std::string> texts;
    return texts;
}

// A stand-in sheet that numbers its texts in the shared strings as the sheet
// writer does for its string cells.
class numbering_sheet : public package_test::stand_in_part_xml {
public:
    using stand_in_part_xml::stand_in_part_xml;
    void write() override {
        stand_in_part_xml::write();
        auto* book = static_cast<vex::workbook_t*>(part_.get_workbook());
        vex::mta::string_pool_t& pool = book->first_worktable()->get_string_pool();
        for (const std::string& text : sheet_texts())
            book->shared_strings()->save_index_of(static_cast<uint32_t>(pool.add_string(0, text)));
    }
    static std::unique_ptr<vex::output_handler> make(vex::xml_part_t& part) {
        return std::make_unique<numbering_sheet>(part);
    }
};

} // namespace writer_test
